// kmTable: the kinkmark, segment, slope-difference and AAPC lists, the
// matrices and the flags.
#include <cassert>
#include <cmath>
#include <vector>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "results/kmTable.h"

namespace {
const char kClass[] = "kmTable";
// p-value and test statistic of an estimate that was never tested.
constexpr double kUntested = 9999.0;
// The observed value of a data row that is not an observation.
constexpr double kNoObservedValue = -9999.0;

// Checked access to element i of a list, adding sMethod to the call path of
// the list's range error.
template <typename T>
const T& CheckedElement(const KmVector<T>& values, int32_t i,
                        const char* sMethod) {
  return WithCallPath(sMethod, kClass, [&]() -> const T& { return values[i]; });
}

template <typename T>
int32_t Count(const KmVector<T>& values) {
  return static_cast<int32_t>(values.size());
}
}  // namespace

int32_t kmTable::GetNumKinkmarks() const { return Count(kinkmarks_); }

const kmEstValue& kmTable::GetKinkmark(int32_t i) const {
  return CheckedElement(kinkmarks_, i, "GetKinkmark(int i)");
}

kmEstValue& kmTable::GetKinkmarkRef(int32_t i) {
  assert(i >= 0 && i < Count(kinkmarks_));
  return static_cast<std::vector<kmEstValue>&>(
      kinkmarks_)[static_cast<size_t>(i)];
}

void kmTable::AddKinkmark(double dEstimate, double dLower, double dUpper,
                          bool bComputed) {
  kmEstValue kinkmark;
  kinkmark.Set(dEstimate, dLower, dUpper, bComputed, kUntested, kUntested);
  kinkmarks_.push_back(kinkmark);
}

int32_t kmTable::GetNumLineSegments() const { return Count(segments_); }

const kmLineSegment& kmTable::GetLineSegment(int32_t i) const {
  return CheckedElement(segments_, i, "GetLineSegment(int i)");
}

void kmTable::AddLineSegments(const KmVector<kmLineSegment>& segments) {
  segments_.insert(segments_.end(), segments.begin(), segments.end());
}

int32_t kmTable::GetNumParallelLineSegments() const {
  return Count(parallelSegments_);
}

const kmLineSegment& kmTable::GetParallelLineSegment(int32_t i) const {
  return CheckedElement(parallelSegments_, i, "GetParallelLineSegment(int i)");
}

void kmTable::AddParallelLineSegments(const KmVector<kmLineSegment>& segments) {
  parallelSegments_.insert(parallelSegments_.end(), segments.begin(),
                           segments.end());
}

int32_t kmTable::GetNumSlopeDiffs() const { return Count(slopeDiffs_); }

const kmBetaCoefficient& kmTable::GetSlopeDiff(int32_t i) const {
  return CheckedElement(slopeDiffs_, i, "GetSlopeDiff(int i)");
}

void kmTable::AddSlopeDiff(double dEstimate, double dStdErr, double dTestStat,
                           double dPValue, bool bComputed) {
  kmBetaCoefficient slopeDiff;
  slopeDiff.Set(dEstimate, dStdErr, dTestStat, dPValue, bComputed);
  slopeDiffs_.push_back(slopeDiff);
}

int32_t kmTable::GetNumAAPCs() const { return Count(aapcs_); }

kmAAPCValue& kmTable::GetAAPC(int32_t iIndex) {
  const kmTable& self = *this;
  return const_cast<kmAAPCValue&>(self.GetAAPC(iIndex));
}

const kmAAPCValue& kmTable::GetAAPC(int32_t iIndex) const {
  return WithCallPath("GetAAPC(int iIndex)", kClass,
                      [&]() -> const kmAAPCValue& {
                        if (iIndex < 0 || iIndex >= Count(aapcs_)) {
                          GenerateKmException("Invalid AAPC range requested.",
                                              "kmTable::GetAAPC(int iIndex)");
                        }
                        return aapcs_[iIndex];
                      });
}

KmVector<kmAAPCValue> kmTable::GetAAPCs() const { return aapcs_; }

void kmTable::ClearAAPCs() { aapcs_.clear(); }

void kmTable::AddAAPC(double dStart, double dEnd, double dEstimate,
                      double dLower, double dUpper, double dTestStat,
                      double dPValue) {
  kmAAPCValue aapc;
  aapc.Init();
  aapc.SetRange(dStart, dEnd);
  aapc.SetAAPC(dEstimate, dLower, dUpper, false, dTestStat, dPValue);
  aapcs_.push_back(aapc);
}

const NEWMAT::Matrix& kmTable::GetCovariance() const { return covariance_; }

void kmTable::SetCovariance(const NEWMAT::Matrix& mCovariance) {
  covariance_ = mCovariance;
}

const NEWMAT::Matrix& kmTable::GetData() const { return data_; }

void kmTable::SetData(const NEWMAT::Matrix& mData) { data_ = mData; }

std::vector<double> kmTable::GetObservationValues() const {
  std::vector<double> vX;
  if (data_.Ncols() < 1) return vX;
  for (int32_t r = 1; r <= data_.Nrows(); ++r) {
    if (data_.Ncols() >= 2 && data_(r, 2) == kNoObservedValue) continue;
    vX.push_back(data_(r, 1));
  }
  return vX;
}

void kmTable::GetCorrelationMatrix(NEWMAT::Matrix& out) const {
  WithCallPath("GetCorrelationMatrix(Matrix &mCorr)", kClass, [&] {
    const int iRows = covariance_.Nrows();
    const int iCols = covariance_.Ncols();
    if (iRows != iCols) {
      // A covariance read from a damaged file may not be square; its
      // diagonal would then run outside the matrix.
      GenerateKmExceptionF(
          "The covariance matrix is %d x %d; a correlation matrix needs a "
          "square one.",
          kClass, iRows, iCols);
    }
    out.ReSize(iRows, iCols);
    out = 0.0;
    for (int i = 1; i <= iRows; ++i) {
      for (int j = 1; j <= iCols; ++j) {
        // A coefficient without a positive variance has no correlation:
        // the cell is missing rather than NaN or infinite.
        const bool bDefined =
            covariance_(i, i) > 0.0 && covariance_(j, j) > 0.0;
        out(i, j) = bDefined ? covariance_(i, j) / std::sqrt(covariance_(j, j) *
                                                             covariance_(i, i))
                             : kmEstValue::kUnset;
      }
    }
  });
}

bool kmTable::GetMADWDPass() const { return bMADWDPass_; }
void kmTable::SetMADWDPass(bool bPass) { bMADWDPass_ = bPass; }
bool kmTable::GetSpareFlag() const { return bSpare_; }
void kmTable::SetSpareFlag(bool bValue) { bSpare_ = bValue; }
