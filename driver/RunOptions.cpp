// ValidateRunOptions, IsValidRunOption and ApplyRunOptions.
#include "driver/RunOptions.h"

#include "driver/OptionValidation.h"
#include "foundation/KmCallPath.h"
#include "session/kmComparisonType.h"
#include "session/kmJumpCRMode.h"
#include "session/kmSession.h"

namespace {

// kmOptJumpCRMode from the three switches: jump, comparability ratio and
// standard analysis. The standard analysis alone is no jump mode.
kmJumpCRMode JumpCRMode(bool bJump, bool bCR, bool bStandard) {
  using M = kmJumpCRMode;
  if (bJump && bCR) {
    return bStandard ? M::kJumpComparabilityRatioAndStandard
                     : M::kJumpAndComparabilityRatio;
  }
  if (bCR) {
    return bStandard ? M::kComparabilityRatioAndStandard
                     : M::kComparabilityRatio;
  }
  if (bJump) return bStandard ? M::kJumpAndStandard : M::kJump;
  return M::kOff;
}

// "autocorr errors" from the record's number: 0 uncorrelated, 1 estimated
// (the record's 1.0 for "estimated"), any other value a fixed AR(1)
// parameter. A parameter between 0 and 1 is a fixed phi, not a code: cutting
// it to an integer would turn phi = 0.5 into "uncorrelated".
void ApplyAutocorrelation(double dValue, kmSession* pSession) {
  if (dValue == 0.0 || dValue == 1.0) {
    pSession->Set(dValue == 0.0 ? kmAutocorrErrors::kUncorrelated
                                : kmAutocorrErrors::kEstimated);
  } else {
    pSession->Set(kmAutocorrErrors::kSpecified);
    pSession->SetDouble(kmOptAutocorrParameter, dValue);
  }
}

// "het error" and "het error variable location": given, they replace the
// session definition's error-variance model and standard-error column;
// absent, the definition's stay.
void ApplyErrorModel(const IniSessionDict& dict, kmSession* pSession) {
  if (dict.iHetErrorModel >= 0) {
    pSession->SetHeterOptions(static_cast<kmErrorModel>(dict.iHetErrorModel));
  }
  if (dict.iHetErrorVarLocation > 0) {
    pSession->SetKMVarPosition(kmVarStdError, dict.iHetErrorVarLocation);
  }
}

// The options of the rows that name their session option: copied as they
// are, given in the file or not.
void ApplyTableOptions(const IniSessionDict& dict, kmSession* pSession) {
  size_t iNumRows = 0;
  const RunOptionRow* pRows = IniSessionDict::Rows(iNumRows);
  for (size_t i = 0; i < iNumRows; ++i) {
    const RunOptionRow& row = pRows[i];
    if (row.iSessionOption < 0) continue;
    if (row.piField != nullptr) {
      pSession->SetInt(row.iSessionOption, dict.*row.piField);
    } else if (row.pdField != nullptr) {
      pSession->SetDouble(row.iSessionOption, dict.*row.pdField);
    } else if (row.pbField != nullptr) {
      pSession->SetBool(row.iSessionOption, dict.*row.pbField);
    }
  }
}

// The options with rules of their own: the ones that keep the session's
// value when not given, and the ones that combine several fields.
void ApplyOwnRuleOptions(const IniSessionDict& dict, kmSession* pSession) {
  if (dict.GetDataFileName() != "EMPTY") {
    pSession->SetString(kmStrDataFile, dict.GetDataFileName().GetCString());
  }
  pSession->SetBool(kmOptLogLinear, dict.GetModel() == "ln");
  if (dict.iMaxKinkmarks != -1) {
    pSession->SetInt(kmOptMaxKinkmarks, dict.iMaxKinkmarks);
  }
  pSession->Set(dict.bPairwise ? kmComparisonType::kPairwise
                               : kmComparisonType::kNone);
  pSession->SetInt(kmOptPairwiseType, dict.iPairwiseType);
  pSession->SetInt(kmOptAAPCCIMethod, dict.iCIMethod);
  pSession->SetInt(kmOptEmpQuantileMethod, dict.iEmpQuantileMethod);
  pSession->SetBool(kmOptFSMOnly, dict.bFSMOnly);
  pSession->SetNumCores(dict.iNumCores);
  pSession->SetBool(
      kmOptDependentCalculated,
      dict.iRunType == 0 && pSession->GetInt(kmOptDictDelayStats) == 0);
  if (dict.iDependentVarType >= 0) {
    pSession->SetInt(kmOptDependentType, dict.iDependentVarType);
  }
  ApplyAutocorrelation(dict.dAutocorrelation, pSession);
  ApplyErrorModel(dict, pSession);
  if (dict.iDelayType != -1) pSession->SetInt(kmOptDelayType, dict.iDelayType);
  pSession->Set(JumpCRMode(dict.bJumpModel, dict.bComparabilityRatio,
                           dict.bStandardAnalysis));
}

}  // namespace

bool ValidateRunOptions(const char* sFileName, KmString& sMessages) {
  return ValidateOptionsSection(
      sFileName, "Session Options",
      [](const KmString& sKey, const KmString& sValue,
         KmString& sLineMessages) {
        return IsValidRunOption(sKey, sValue, sLineMessages);
      },
      sMessages);
}

bool IsValidRunOption(KmString sKey, KmString sValue, KmString& sMessages) {
  size_t iNumRows = 0;
  const RunOptionRow* pRows = IniSessionDict::Rows(iNumRows);
  return IsValidTableOption(pRows, iNumRows, "Session", sKey, sValue,
                            sMessages);
}

void ApplyRunOptions(IniSessionDict dict, kmSession* pSession) {
  WithCallPath("ApplyRunOptions()", "main", [&] {
    ApplyTableOptions(dict, pSession);
    ApplyOwnRuleOptions(dict, pSession);
  });
}
