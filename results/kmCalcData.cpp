// kmCalcData: lifetime, model and F-test access, labels and descriptions
// (file record in kmCalcDataFile.cpp, weighting matrix in
// kmCalcDataVarCov.cpp).
#include "results/kmCalcData.h"

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"

namespace {
const char* const kClassName = "kmCalcData";
}  // namespace

kmCalcData::kmCalcData()
    : uFinalSelectedModel(kNoModel),
      bComparison(false),
      bJumpModel(false),
      bComparabilityRatio(false),
      bValid(true),
      bVarCovMatrix(false),
      dAutocorrelation(0.0),
      lSelectionCriterion(-1),
      uBICSelectedModel(kNoModel),
      uBIC3SelectedModel(kNoModel),
      dSelectionValues{0.0, 0.0, 0.0, 0.0},
      bCohortData(false),
      bMADWD(false),
      dMADWDPsi(0.0) {}

kmCalcData::kmCalcData(const kmCalcData& other)
    : mWork(other.mWork),
      uFinalSelectedModel(other.uFinalSelectedModel),
      vModels(other.vModels),
      vFTests(other.vFTests),
      bComparison(other.bComparison),
      bJumpModel(other.bJumpModel),
      bComparabilityRatio(other.bComparabilityRatio),
      bValid(other.bValid),
      bVarCovMatrix(other.bVarCovMatrix),
      sBadDescription(other.sBadDescription),
      sBadDescriptionDisplay(other.sBadDescriptionDisplay),
      vCohortLabel(other.vCohortLabel),
      dAutocorrelation(other.dAutocorrelation),
      lSelectionCriterion(other.lSelectionCriterion),
      uBICSelectedModel(other.uBICSelectedModel),
      uBIC3SelectedModel(other.uBIC3SelectedModel),
      dSelectionValues{other.dSelectionValues[0], other.dSelectionValues[1],
                       other.dSelectionValues[2], other.dSelectionValues[3]},
      vVarCovRows(other.vVarCovRows),
      bCohortData(other.bCohortData),
      bMADWD(other.bMADWD),
      dMADWDPsi(other.dMADWDPsi),
      vMADWDValues(other.vMADWDValues),
      pWeightingMatrix_(other.pWeightingMatrix_
                            ? new NEWMAT::Matrix(*other.pWeightingMatrix_)
                            : nullptr) {}

kmCalcData& kmCalcData::operator=(const kmCalcData& other) {
  if (this == &other) return *this;
  // Copy first, then take the copy over, so a failing copy (a matrix or
  // list allocation) leaves this record as it was.
  kmCalcData copy(other);
  TakeOver(copy);
  return *this;
}

void kmCalcData::TakeOver(kmCalcData& copy) {
  mWork = copy.mWork;
  uFinalSelectedModel = copy.uFinalSelectedModel;
  vModels.swap(copy.vModels);
  vFTests.swap(copy.vFTests);
  bComparison = copy.bComparison;
  bJumpModel = copy.bJumpModel;
  bComparabilityRatio = copy.bComparabilityRatio;
  bValid = copy.bValid;
  bVarCovMatrix = copy.bVarCovMatrix;
  sBadDescription = copy.sBadDescription;
  sBadDescriptionDisplay = copy.sBadDescriptionDisplay;
  vCohortLabel.swap(copy.vCohortLabel);
  dAutocorrelation = copy.dAutocorrelation;
  lSelectionCriterion = copy.lSelectionCriterion;
  uBICSelectedModel = copy.uBICSelectedModel;
  uBIC3SelectedModel = copy.uBIC3SelectedModel;
  for (int i = 0; i < 4; ++i) dSelectionValues[i] = copy.dSelectionValues[i];
  vVarCovRows.swap(copy.vVarCovRows);
  bCohortData = copy.bCohortData;
  bMADWD = copy.bMADWD;
  dMADWDPsi = copy.dMADWDPsi;
  vMADWDValues.swap(copy.vMADWDValues);
  pWeightingMatrix_.swap(copy.pWeightingMatrix_);
}

kmCalcData::~kmCalcData() = default;

const kmTable& kmCalcData::GetModel(int iIndex) const {
  return WithCallPath("GetModel()", kClassName, [&]() -> const kmTable& {
    const int nModels = static_cast<int>(vModels.size());
    if (iIndex < 0 || iIndex >= nModels) {
      KmString sMessage;
      sMessage << "Requested model number:  " << iIndex
               << " is not a valid model number for this cohort.  The number "
                  "of models for the cohort is:  "
               << nModels;
      ThrowKmException(sMessage.GetCString(),
                       "const kmTable& kmCalcData::GetModel(int iIndex) const");
    }
    return vModels[iIndex];
  });
}

const kmFTest& kmCalcData::GetFTest(int iIndex) const {
  return WithCallPath("GetFTest()", kClassName, [&]() -> const kmFTest& {
    const int nTests = static_cast<int>(vFTests.size());
    if (iIndex >= nTests) {
      KmString sMessage;
      sMessage << "Requested FTest index  (" << iIndex
               << " is beyond the number of F Tests:  " << nTests;
      ThrowKmException(sMessage.GetCString(),
                       "const kmTable& kmCalcData::GetFTest(int iIndex) const");
    }
    return vFTests[iIndex];
  });
}

bool kmCalcData::IsComparisonParallel() const {
  return WithCallPath("IsComparisonParallel()", kClassName, [&]() -> bool {
    if (!bValid) return false;
    const kmFTest& test = GetFTest(static_cast<int>(vFTests.size()) - 1);
    return test.dPermPValue > test.dAlpha;
  });
}

void kmCalcData::SetCohortBadDescription(const KmString& sText) {
  WithCallPath("SetCohortBadDescription()", kClassName, [&] {
    sBadDescription = sText;
    sBadDescriptionDisplay = "** ";
    sBadDescriptionDisplay << sText;
  });
}

void kmCalcData::SetCohortLabel(const KmVector<KmString>& vLabels) {
  WithCallPath("SetCohortLabel()", kClassName, [&] {
    vCohortLabel.clear();
    for (const KmString& sLabel : vLabels) vCohortLabel.push_back(sLabel);
  });
}

void kmCalcData::SetMADWDValues(KmVector<KmVector<double> > vValues) {
  WithCallPath("SetMADWDValues()", kClassName,
               [&] { vMADWDValues.swap(vValues); });
}
