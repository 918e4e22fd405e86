// ValidateRunOptions, IsValidRunOption and ApplyRunOptions.
#include "driver/RunOptions.h"

#include <iterator>

#include "driver/OptionValidation.h"
#include "foundation/KmCallPath.h"
#include "session/kmSession.h"

namespace {

using C = OptionValueClass;

// Every key of the section "Session Options" with its values.
const OptionRecord kRunOptions[] = {
    {"model", C::kWord, "ln|linear", false},
    {"pairwise", C::kWord, "parallel|coincident", false},
    {"empirical quantile seed type", C::kWord, "constant|varying", false},
    {"method", C::kWord, "grid|hudsons", false},
    {"model selection method", C::kWord,
     "permutation test|bic|mbic|bic3|data dependent selection|wbic-alt|wbic",
     false},
    {"early stopping", C::kWord, "b-value|curtailed|fixed", false},
    {"run type", C::kWord, "calculated|provided", false},
    {"dependent variable type", C::kWord,
     "age-adjusted rate|count|crude rate|percent|proportion", false},
    {"het error", C::kWord,
     "constant variance|standard error|poisson rate|poisson count", false},
    {"ci method", C::kWord,
     "parametric|empirical quantile method 1|empirical quantile method 2|"
     "empirical quantile method 1 fsm only|"
     "empirical quantile method 2 fsm only",
     false},
    {"delay type", C::kWord, "delay|non-delay|both", false},
    {"autocorr errors", C::kProbability, "estimated", false},
    {"kinkmark alpha level", C::kProbability, nullptr, false},
    {"apc alpha level", C::kProbability, nullptr, false},
    {"jump cr alpha level", C::kProbability, nullptr, false},
    {"aapc alpha level", C::kProbability, nullptr, false},
    {"madwd psi value", C::kProbability, nullptr, false},
    {"pairwise significance level", C::kProbability, nullptr, false},
    {"jump model", C::kBool, nullptr, false},
    {"comparability ratio", C::kBool, nullptr, false},
    {"include standard analysis", C::kBool, nullptr, false},
    {"madwd", C::kBool, nullptr, false},
    {"minimum kinkmarks", C::kCount, nullptr, false},
    {"maximum kinkmarks", C::kCount, "-1", false},
    {"min obs end", C::kCount, nullptr, false},
    {"min obs between", C::kCount, nullptr, false},
    {"num obs between", C::kCount, nullptr, false},
    {"num permutations", C::kCount, nullptr, false},
    {"pairwise number of permutations", C::kCount, nullptr, false},
    {"number of resamples", C::kCount, nullptr, false},
    {"data shift", C::kNumber, nullptr, false},
    {"permutations significance level", C::kNumber, nullptr, false},
    {"jump location", C::kNumber, nullptr, false},
    {"comparability ratio value", C::kNumber, nullptr, false},
    {"cr variance", C::kNumber, nullptr, false},
    {"rates per n", C::kNumber, nullptr, false},
    {"het error variable location", C::kNumber, nullptr, false},
    {"num cores", C::kNumber, nullptr, false},
    {"random number generator seed", C::kNumber, nullptr, false},
    {"empirical quantile seed", C::kNumber, nullptr, false},
};

// kmOptJumpCRMode from the three switches: jump, comparability ratio and
// standard analysis. The standard analysis alone is no jump mode.
int JumpCRMode(bool bJump, bool bCR, bool bStandard) {
  if (bJump && bCR) return bStandard ? 6 : 3;
  if (bCR) return bStandard ? 5 : 2;
  if (bJump) return bStandard ? 4 : 1;
  return 0;
}

// "autocorr errors" from the record's number: 0 uncorrelated, 1 estimated
// (the record's 1.0 for "estimated"), any other value a fixed AR(1)
// parameter. A parameter between 0 and 1 is a fixed phi, not a code: cutting
// it to an integer would turn phi = 0.5 into "uncorrelated".
void ApplyAutocorrelation(double dValue, kmSession* pSession) {
  if (dValue == 0.0 || dValue == 1.0) {
    pSession->SetInt(kmOptAutocorrErrors, static_cast<int>(dValue));
  } else {
    pSession->SetInt(kmOptAutocorrErrors, 2);
    pSession->SetDouble(kmOptAutocorrParameter, dValue);
  }
}

// "het error" and "het error variable location": given, they replace the
// session definition's error-variance model and standard-error column;
// absent, the definition's stay.
void ApplyErrorModel(const IniSessionDict& dict, kmSession* pSession) {
  if (dict.iHetErrorModel >= 0) pSession->SetHeterOptions(dict.iHetErrorModel);
  if (dict.iHetErrorVarLocation > 0) {
    pSession->SetKMVarPosition(kmVarStdError, dict.iHetErrorVarLocation);
  }
}

// The model and search settings of the record.
void ApplyModelOptions(const IniSessionDict& dict, kmSession* pSession) {
  if (dict.GetDataFileName() != "EMPTY") {
    pSession->SetString(kmStrDataFile, dict.GetDataFileName().GetCString());
  }
  pSession->SetBool(kmOptLogLinear, dict.GetModel() == "ln");
  pSession->SetInt(kmOptMinKinkmarks, dict.iMinKinkmarks);
  if (dict.iMaxKinkmarks != -1) {
    pSession->SetInt(kmOptMaxKinkmarks, dict.iMaxKinkmarks);
  }
  pSession->SetDouble(kmOptDataShift, dict.dDataShift);
  pSession->SetInt(kmOptComparisonType, dict.bPairwise ? 1 : 0);
  pSession->SetInt(kmOptPairwiseType, dict.iPairwiseType);
  pSession->SetInt(kmOptMethod, dict.iMethod);
  pSession->SetInt(kmOptMinObsEnd, dict.iMinObsEnd);
  pSession->SetInt(kmOptMinObsBetween, dict.iMinObsBetween);
  pSession->SetInt(kmOptGridPointsBetween, dict.iNumObsBetween);
  pSession->SetInt(kmOptModelSelection, dict.iModelSelectionMethod);
  pSession->SetDouble(kmOptPermSignificance, dict.dPermSignificanceLevel);
  pSession->SetInt(kmOptNumPermutations, dict.iNumPermutations);
  pSession->SetInt(kmOptEarlyStopping, dict.iEarlyStopping);
  pSession->SetInt(kmOptAAPCCIMethod, dict.iCIMethod);
  pSession->SetInt(kmOptEmpQuantileMethod, dict.iEmpQuantileMethod);
  pSession->SetBool(kmOptFSMOnly, dict.bFSMOnly);
  pSession->SetNumCores(dict.iNumCores);
  pSession->SetInt(kmOptRatesPerN, dict.iRatesPerN);
  pSession->SetBool(
      kmOptDependentCalculated,
      dict.iRunType == 0 && pSession->GetInt(kmOptDictDelayStats) == 0);
  if (dict.iDependentVarType >= 0) {
    pSession->SetInt(kmOptDependentType, dict.iDependentVarType);
  }
  ApplyAutocorrelation(dict.dAutocorrelation, pSession);
  ApplyErrorModel(dict, pSession);
  if (dict.iDelayType != -1) pSession->SetInt(kmOptDelayType, dict.iDelayType);
}

// The jump, comparability-ratio, significance and resampling settings.
void ApplyTestOptions(const IniSessionDict& dict, kmSession* pSession) {
  pSession->SetInt(kmOptJumpCRMode,
                   JumpCRMode(dict.bJumpModel, dict.bComparabilityRatio,
                              dict.bStandardAnalysis));
  pSession->SetDouble(kmOptJumpLocation, dict.dJumpLocation);
  pSession->SetDouble(kmOptCRValue, dict.dCRValue);
  pSession->SetDouble(kmOptCRVariance, dict.dCRVariance);
  pSession->SetDouble(kmOptKinkmarkAlpha, dict.dKinkmarkAlpha);
  pSession->SetDouble(kmOptAPCAlpha, dict.dAPCAlpha);
  pSession->SetDouble(kmOptAAPCAlpha, dict.dAAPCAlpha);
  pSession->SetDouble(kmOptJumpCRAlpha, dict.dJumpCRAlpha);
  pSession->SetDouble(kmOptPairwiseAlpha, dict.dPairwiseSignificanceLevel);
  pSession->SetInt(kmOptPairwisePermutations, dict.iPairwisePermutations);
  pSession->SetInt(kmOptPermutationSeed, dict.iRandomSeed);
  pSession->SetInt(kmOptEmpQuantileSeed, dict.iEmpQuantileSeed);
  pSession->SetInt(kmOptEmpQuantileSeedType, dict.iEmpQuantileSeedType);
  pSession->SetInt(kmOptNumResamples, dict.iNumResamples);
  pSession->SetBool(kmOptMADWD, dict.bMADWD);
  pSession->SetDouble(kmOptMADWDPsi, dict.dMADWDPsi);
}

}  // namespace

bool ValidateRunOptions(const char* sFileName) {
  return ValidateOptionsSection(sFileName, "Session Options",
                                [](const KmString& sKey, const KmString& sV) {
                                  return IsValidRunOption(sKey, sV);
                                });
}

bool IsValidRunOption(KmString sKey, KmString sValue) {
  return IsValidTableOption(kRunOptions, std::size(kRunOptions), "Session",
                            sKey, sValue);
}

void ApplyRunOptions(IniSessionDict dict, kmSession* pSession) {
  WithCallPath("ApplyRunOptions()", "main", [&] {
    ApplyModelOptions(dict, pSession);
    ApplyTestOptions(dict, pSession);
  });
}
