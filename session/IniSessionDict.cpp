// IniSessionDict: defaults and the reader of the section "Session Options".
#include "session/IniSessionDict.h"

#include <limits>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIniFile.h"
#include "session/internal/OptionText.h"

namespace {

const char kClassName[] = "IniSessionDict";
const char kSectionName[] = "Session Options";
const char kHetErrorLocationKey[] = "het error variable location";

using km_session_internal::ValueOf;

// Reads a flag key into bMember: "true" in any case sets it and any other
// value clears it; absent or empty leaves it.
void ReadTrueFlag(const KmIniSection& section, const char* sKey,
                  bool& bMember) {
  const KmString sValue = km_session_internal::Lowered(ValueOf(section, sKey));
  if (!sValue.IsEmpty()) bMember = (sValue == "true");
}

}  // namespace

IniSessionDict::IniSessionDict(const char* sFileName) {
  WithCallPath("IniSessionDict(const char*)", kClassName, [&] {
    if (sFileName == nullptr || sFileName[0] == '\0') {
      GenerateKmException("Empty string pointer passed to constructor.",
                          kClassName);
    }
    Setup(sFileName);
  });
}

void IniSessionDict::Setup(const char* sFileName) {
  WithCallPath("Setup(const char*)", kClassName, [&] {
    sFileName_ = sFileName;
    KmIniFile theIniFile(sFileName);
    Init();
    IniReadSessionOptionsSection(theIniFile);
  });
}

void IniSessionDict::Init() {
  sDataFileName_ = "EMPTY";
  sModel_ = "ln";
  dDataShift = 0.0;
  iMinKinkmarks = 0;
  iMaxKinkmarks = -1;
  iHetErrorModel = -1;
  iHetErrorVarLocation = -1;
  bPairwise = false;
  iPairwiseType = 0;
  iMethod = 0;
  dAutocorrelation = 0.0;
  iMinObsEnd = 2;
  iMinObsBetween = 2;
  iNumObsBetween = 0;
  iModelSelectionMethod = 0;
  dPermSignificanceLevel = 0.05;
  iNumPermutations = 4499;
  iEarlyStopping = 2;
  iCIMethod = 0;
  iEmpQuantileMethod = 2;
  iNumResamples = 1000;
  iNumCores = 9999;
  iRatesPerN = 100000;
  iRunType = 1;
  iDependentVarType = -1;
  iDelayType = -1;
  bJumpModel = false;
  bComparabilityRatio = false;
  bStandardAnalysis = false;
  dJumpLocation = 9999.0;
  dCRValue = 0.0;
  dCRVariance = 0.0;
  dKinkmarkAlpha = 0.05;
  dAPCAlpha = 0.05;
  dAAPCAlpha = 0.05;
  dJumpCRAlpha = 0.05;
  dPairwiseSignificanceLevel = 0.05;
  iPairwisePermutations = 4499;
  iRandomSeed = 7160;
  iEmpQuantileSeed = 10000;
  iEmpQuantileSeedType = 0;
  bMADWD = false;
  dMADWDPsi = 0.0;
  bFSMOnly = false;
}

bool IniSessionDict::ReadInt(const KmIniSection& section, const char* sKey,
                             int32_t& iField) const {
  const KmString sValue = ValueOf(section, sKey);
  if (sValue.IsEmpty()) return false;
  if (!km_session_internal::LeadingInt32(sValue.GetCString(), iField)) {
    ThrowOutOfRange(sValue, sKey);
  }
  return true;
}

void IniSessionDict::ThrowOutOfRange(const KmString& sValue,
                                     const char* sKey) const {
  GenerateKmInputExceptionF(
      "Error in ini file: %s.  %s is out of range for variable '%s'.",
      sFileName_.GetCString(), sFileName_.GetCString(), sValue.GetCString(),
      sKey);
}

void IniSessionDict::ReadDouble(const KmIniSection& section, const char* sKey,
                                double& dField) {
  const KmString sValue = ValueOf(section, sKey);
  if (sValue.IsEmpty()) return;
  dField = km_session_internal::LeadingDouble(sValue.GetCString());
}

void IniSessionDict::ThrowInvalidValue(const KmString& sLowerValue,
                                       const char* sVariable) const {
  GenerateKmInputExceptionF(
      "Error in ini file: %s.  %s is not a valid value for variable '%s'.",
      sFileName_.GetCString(), sFileName_.GetCString(),
      sLowerValue.GetCString(), sVariable);
}

void IniSessionDict::IniReadSessionOptionsSection(KmIniFile& theIniFile) {
  WithCallPath("IniReadSessionOptionsSection(KmIniFile&)", kClassName, [&] {
    const KmIniSection* pSection = theIniFile.GetSection(kSectionName);
    if (pSection == nullptr) return;
    ReadModelKeys(*pSection);
    ReadSelectionKeys(*pSection);
    ReadEstimateKeys(*pSection);
  });
}

void IniSessionDict::ReadModelKeys(const KmIniSection& section) {
  using km_session_internal::Lowered;
  KmString sValue;
  sValue = ValueOf(section, "datafile name");
  if (!sValue.IsEmpty()) sDataFileName_ = sValue;
  sValue = ValueOf(section, "model");
  if (!sValue.IsEmpty()) sModel_ = Lowered(sValue);

  ReadInt(section, "minimum kinkmarks", iMinKinkmarks);
  ReadInt(section, "maximum kinkmarks", iMaxKinkmarks);
  int32_t iCores = iNumCores;
  if (ReadInt(section, "num cores", iCores)) {
    // The session keeps the thread count in 16 bits.
    if (iCores < std::numeric_limits<int16_t>::min() ||
        iCores > std::numeric_limits<int16_t>::max()) {
      ThrowOutOfRange(ValueOf(section, "num cores"), "num cores");
    }
    iNumCores = static_cast<int16_t>(iCores);
  }
  ReadDouble(section, "data shift", dDataShift);

  sValue = Lowered(ValueOf(section, "run type"));
  if (!sValue.IsEmpty()) iRunType = (sValue == "calculated") ? 0 : 1;

  sValue = Lowered(ValueOf(section, "dependent variable type"));
  if (!sValue.IsEmpty()) {
    if (sValue == "crude rate") {
      iDependentVarType = 1;
    } else if (sValue == "count") {
      iDependentVarType = 0;
    } else if (sValue == "proportion") {
      iDependentVarType = 2;
    } else if (sValue == "percent") {
      iDependentVarType = 3;
    } else {
      iDependentVarType = 4;
    }
  }

  sValue = Lowered(ValueOf(section, "het error"));
  if (!sValue.IsEmpty()) {
    if (sValue == "constant variance") {
      iHetErrorModel = 0;
    } else if (sValue == "poisson count") {
      iHetErrorModel = 1;
    } else if (sValue == "standard error") {
      iHetErrorModel = 2;
    } else if (sValue == "poisson rate") {
      iHetErrorModel = 4;
    }
    // Provided standard errors and Poisson rates need the column of the
    // standard-error variable.
    if (iRunType == 1 && (iHetErrorModel == 2 || iHetErrorModel == 4)) {
      if (!ReadInt(section, kHetErrorLocationKey, iHetErrorVarLocation)) {
        GenerateKmInputExceptionF(
            "Variable definition \"[%s]\" not found in %s", kClassName,
            kHetErrorLocationKey, sFileName_.GetCString());
      }
    }
  }
}

void IniSessionDict::ReadSelectionKeys(const KmIniSection& section) {
  using km_session_internal::Lowered;
  KmString sValue;
  sValue = Lowered(ValueOf(section, "pairwise"));
  if (!sValue.IsEmpty()) {
    bPairwise = true;
    iPairwiseType = (sValue == "parallel") ? 0 : 1;
    ReadDouble(section, "pairwise significance level",
               dPairwiseSignificanceLevel);
    ReadInt(section, "pairwise number of permutations", iPairwisePermutations);
  }

  sValue = Lowered(ValueOf(section, "method"));
  if (!sValue.IsEmpty()) {
    if (sValue == "grid") {
      iMethod = 0;
    } else if (sValue == "hudsons") {
      iMethod = 1;
    } else {
      ThrowInvalidValue(sValue, "Method");
    }
  }

  ReadInt(section, "min obs end", iMinObsEnd);
  ReadInt(section, "min obs between", iMinObsBetween);
  ReadInt(section, "num obs between", iNumObsBetween);

  sValue = Lowered(ValueOf(section, "autocorr errors"));
  if (!sValue.IsEmpty()) {
    dAutocorrelation =
        (sValue == "estimated")
            ? 1.0
            : km_session_internal::LeadingDouble(sValue.GetCString());
  }

  sValue = Lowered(ValueOf(section, "model selection method"));
  if (!sValue.IsEmpty()) {
    if (sValue == "permutation test") {
      iModelSelectionMethod = 0;
    } else if (sValue == "bic") {
      iModelSelectionMethod = 1;
    } else if (sValue == "mbic") {
      iModelSelectionMethod = 2;
    } else if (sValue == "bic3") {
      iModelSelectionMethod = 3;
    } else if (sValue == "wbic-alt") {
      iModelSelectionMethod = 5;
    } else if (sValue == "wbic") {
      iModelSelectionMethod = 6;
    } else if (sValue == "data dependent selection") {
      iModelSelectionMethod = 4;
    } else {
      ThrowInvalidValue(sValue, "Model selection method");
    }
  }
  if (iModelSelectionMethod == 0) {
    ReadDouble(section, "permutations significance level",
               dPermSignificanceLevel);
    ReadInt(section, "num permutations", iNumPermutations);
  }

  if (iMethod == 1) {
    sValue = Lowered(ValueOf(section, "early stopping"));
    if (!sValue.IsEmpty()) {
      if (sValue == "b-value") {
        iEarlyStopping = 0;
      } else if (sValue == "curtailed") {
        iEarlyStopping = 1;
      } else if (sValue == "fixed") {
        iEarlyStopping = 2;
      } else {
        ThrowInvalidValue(sValue, "Early stopping");
      }
    }
  }
}

void IniSessionDict::ReadEstimateKeys(const KmIniSection& section) {
  using km_session_internal::Lowered;
  KmString sValue;
  if (!ReadInt(section, "rates per n", iRatesPerN)) iRatesPerN = 100000;

  sValue = Lowered(ValueOf(section, "ci method"));
  if (!sValue.IsEmpty()) {
    bFSMOnly = false;
    if (sValue == "parametric") {
      iCIMethod = 0;
    } else if (sValue == "empirical quantile method 1") {
      iCIMethod = 3;
      iEmpQuantileMethod = 0;
    } else if (sValue == "empirical quantile method 2") {
      iCIMethod = 3;
      iEmpQuantileMethod = 1;
    } else if (sValue == "empirical quantile method 1 fsm only") {
      iCIMethod = 3;
      iEmpQuantileMethod = 0;
      bFSMOnly = true;
    } else if (sValue == "empirical quantile method 2 fsm only") {
      iCIMethod = 3;
      iEmpQuantileMethod = 1;
      bFSMOnly = true;
    }
  }
  ReadInt(section, "number of resamples", iNumResamples);

  sValue = Lowered(ValueOf(section, "delay type"));
  if (sValue == "delay") {
    iDelayType = 1;
  } else if (sValue == "non-delay") {
    iDelayType = 0;
  } else if (sValue == "both") {
    iDelayType = 2;
  }

  ReadTrueFlag(section, "jump model", bJumpModel);
  ReadDouble(section, "jump location", dJumpLocation);
  ReadTrueFlag(section, "comparability ratio", bComparabilityRatio);
  ReadDouble(section, "comparability ratio value", dCRValue);
  ReadDouble(section, "cr variance", dCRVariance);
  ReadTrueFlag(section, "include standard analysis", bStandardAnalysis);

  ReadDouble(section, "kinkmark alpha level", dKinkmarkAlpha);
  ReadDouble(section, "apc alpha level", dAPCAlpha);
  ReadDouble(section, "aapc alpha level", dAAPCAlpha);
  ReadDouble(section, "jump cr alpha level", dJumpCRAlpha);

  ReadInt(section, "random number generator seed", iRandomSeed);
  ReadInt(section, "empirical quantile seed", iEmpQuantileSeed);
  sValue = Lowered(ValueOf(section, "empirical quantile seed type"));
  if (!sValue.IsEmpty()) {
    iEmpQuantileSeedType = (sValue == "constant") ? 0 : 1;
  }

  ReadTrueFlag(section, "madwd", bMADWD);
  ReadDouble(section, "madwd psi value", dMADWDPsi);
}
