// kmTable: the working state of the interval calculations (setters and
// getters; none of it is written to the results file).
#include "results/kmTable.h"

void kmTable::SetAutocorrelation(double dPhi) { dAutocorrelation_ = dPhi; }
double kmTable::GetAutocorrelation() const { return dAutocorrelation_; }

void kmTable::SetErrorType(int32_t iErrorType) { iErrorType_ = iErrorType; }
int32_t kmTable::GetErrorType() const { return iErrorType_; }

void kmTable::SetCIMethodName(const KmString& sName) { sCIMethodName_ = sName; }
const KmString& kmTable::GetCIMethodName() const { return sCIMethodName_; }

void kmTable::SetSeriesSet(const KMSeriesSet& seriesSet) {
  seriesSet_ = seriesSet;
}
const KMSeriesSet& kmTable::GetSeriesSet() const { return seriesSet_; }

void kmTable::SetModelWords(const KmString& sModelType,
                            const KmString& sModelScale,
                            const KmString& sFittingMethod) {
  sModelType_ = sModelType;
  sModelScale_ = sModelScale;
  sFittingMethod_ = sFittingMethod;
}
const KmString& kmTable::GetModelTypeWord() const { return sModelType_; }
const KmString& kmTable::GetModelScaleWord() const { return sModelScale_; }
const KmString& kmTable::GetFittingMethodWord() const {
  return sFittingMethod_;
}

void kmTable::SetGridSettings(int32_t iMinObsEnd, int32_t iMinObsBetween,
                              int32_t iGridPointsBetween) {
  iMinObsEnd_ = iMinObsEnd;
  iMinObsBetween_ = iMinObsBetween;
  iGridPointsBetween_ = iGridPointsBetween;
}
int32_t kmTable::GetMinObsEnd() const { return iMinObsEnd_; }
int32_t kmTable::GetMinObsBetween() const { return iMinObsBetween_; }
int32_t kmTable::GetGridPointsBetween() const { return iGridPointsBetween_; }

void kmTable::SetSampleArrays(
    const OneDimensionArray<NEWMAT::ColumnVector>& fitted,
    const OneDimensionArray<NEWMAT::ColumnVector>& resids) {
  fittedValues_ = fitted;
  residuals_ = resids;
}
const OneDimensionArray<NEWMAT::ColumnVector>& kmTable::GetFittedValues()
    const {
  return fittedValues_;
}
const OneDimensionArray<NEWMAT::ColumnVector>& kmTable::GetResiduals() const {
  return residuals_;
}

void kmTable::SetNumResamples(int32_t iNumResamples) {
  iNumResamples_ = iNumResamples;
}
int32_t kmTable::GetNumResamples() const { return iNumResamples_; }
