// kmTable: lifetime and the statistics and counts getters and setters.
#include "results/kmTable.h"

#include <cassert>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"

namespace {
const char kClass[] = "kmTable";

// Indices of the statistics.
enum StatisticIndex : int32_t {
  kBIC = 0,
  kCMSE = 1,
  kSSE = 2,
  kUDF = 3,
  kJumpValue = 4,
  kJumpSE = 5,
  kJumpLocation = 6,
  kJumpStat = 7,
  kJumpPValue = 8,
  kJumpLowerCI = 9,
  kJumpUpperCI = 10,
  kComparabilityRatio = 11,
  kComparabilitySE = 12,
  kComparabilityStat = 13,
  kComparabilityPValue = 14,
  kComparabilityLowerCI = 15,
  kComparabilityUpperCI = 16,
  kComparabilityIsSig = 17,
  kJumpIsSig = 18,
  kBIC3 = 19,
};

// Indices of the counts.
enum CountIndex : int32_t {
  kDF = 0,
  kReducedRank = 1,
  kNObs = 2,
  kNParm = 3,
};

// Checked read of element i of a list, adding sMethod to the call path of
// the list's range error.
template <typename T>
T CheckedGet(const KmVector<T>& values, int32_t i, const char* sMethod) {
  return WithCallPath(sMethod, kClass, [&]() -> T { return values[i]; });
}

// Unchecked write: statistics and counts never hold fewer than 20 and 4
// entries (Init and Read only let them grow).
template <typename T>
void UncheckedSet(KmVector<T>& values, int32_t i, T value) {
  assert(i >= 0 && static_cast<size_t>(i) < values.size());
  static_cast<std::vector<T>&>(values)[static_cast<size_t>(i)] = value;
}
}  // namespace

kmTable::kmTable()
    : bSpare_(false),
      bMADWDPass_(true),
      dAutocorrelation_(0.0),
      iErrorType_(0),
      iMinObsEnd_(0),
      iMinObsBetween_(0),
      iGridPointsBetween_(0),
      iNumResamples_(0) {
  Init();
}

kmTable::kmTable(const kmTable& other)
    : covariance_(other.covariance_),
      data_(other.data_),
      statistics_(other.statistics_),
      counts_(other.counts_),
      slopeDiffs_(other.slopeDiffs_),
      kinkmarks_(other.kinkmarks_),
      segments_(other.segments_),
      parallelSegments_(other.parallelSegments_),
      aapcs_(other.aapcs_),
      bSpare_(other.bSpare_),
      bMADWDPass_(other.bMADWDPass_),
      firstLastCovariance_(other.firstLastCovariance_),
      dAutocorrelation_(other.dAutocorrelation_),
      iErrorType_(other.iErrorType_),
      sCIMethodName_(other.sCIMethodName_),
      seriesSet_(other.seriesSet_),
      sModelType_(other.sModelType_),
      sModelScale_(other.sModelScale_),
      sFittingMethod_(other.sFittingMethod_),
      iMinObsEnd_(other.iMinObsEnd_),
      iMinObsBetween_(other.iMinObsBetween_),
      iGridPointsBetween_(other.iGridPointsBetween_),
      fittedValues_(other.fittedValues_),
      residuals_(other.residuals_),
      iNumResamples_(other.iNumResamples_) {}

kmTable& kmTable::operator=(const kmTable& other) {
  if (this == &other) return *this;
  covariance_ = other.covariance_;
  data_ = other.data_;
  statistics_ = other.statistics_;
  counts_ = other.counts_;
  slopeDiffs_ = other.slopeDiffs_;
  kinkmarks_ = other.kinkmarks_;
  segments_ = other.segments_;
  parallelSegments_ = other.parallelSegments_;
  aapcs_ = other.aapcs_;
  bSpare_ = other.bSpare_;
  bMADWDPass_ = other.bMADWDPass_;
  firstLastCovariance_ = other.firstLastCovariance_;
  dAutocorrelation_ = other.dAutocorrelation_;
  iErrorType_ = other.iErrorType_;
  sCIMethodName_ = other.sCIMethodName_;
  seriesSet_ = other.seriesSet_;
  sModelType_ = other.sModelType_;
  sModelScale_ = other.sModelScale_;
  sFittingMethod_ = other.sFittingMethod_;
  iMinObsEnd_ = other.iMinObsEnd_;
  iMinObsBetween_ = other.iMinObsBetween_;
  iGridPointsBetween_ = other.iGridPointsBetween_;
  fittedValues_ = other.fittedValues_;
  residuals_ = other.residuals_;
  iNumResamples_ = other.iNumResamples_;
  return *this;
}

kmTable::~kmTable() = default;

void kmTable::Init() {
  statistics_.assign(kNumStatistics, 0.0);
  counts_.assign(kNumCounts, 0);
  bSpare_ = false;
  bMADWDPass_ = true;
}

#define KM_TABLE_STATISTIC(Name, Index)                      \
  double kmTable::Get##Name() const {                        \
    return CheckedGet(statistics_, Index, "Get" #Name "()"); \
  }                                                          \
  void kmTable::Set##Name(double dValue) {                   \
    UncheckedSet(statistics_, Index, dValue);                \
  }

KM_TABLE_STATISTIC(BIC, kBIC)
KM_TABLE_STATISTIC(CMSE, kCMSE)
KM_TABLE_STATISTIC(SSE, kSSE)
KM_TABLE_STATISTIC(UDF, kUDF)
KM_TABLE_STATISTIC(JumpValue, kJumpValue)
KM_TABLE_STATISTIC(JumpSE, kJumpSE)
KM_TABLE_STATISTIC(JumpStat, kJumpStat)
KM_TABLE_STATISTIC(JumpPValue, kJumpPValue)
KM_TABLE_STATISTIC(JumpLowerCI, kJumpLowerCI)
KM_TABLE_STATISTIC(JumpUpperCI, kJumpUpperCI)
KM_TABLE_STATISTIC(ComparabilityRatio, kComparabilityRatio)
KM_TABLE_STATISTIC(ComparabilitySE, kComparabilitySE)
KM_TABLE_STATISTIC(ComparabilityStat, kComparabilityStat)
KM_TABLE_STATISTIC(ComparabilityPValue, kComparabilityPValue)
KM_TABLE_STATISTIC(ComparabilityLowerCI, kComparabilityLowerCI)
KM_TABLE_STATISTIC(ComparabilityUpperCI, kComparabilityUpperCI)
KM_TABLE_STATISTIC(BIC3, kBIC3)
#undef KM_TABLE_STATISTIC

void kmTable::SetJumpLocation(double dValue) {
  UncheckedSet(statistics_, kJumpLocation, dValue);
}

bool kmTable::GetComparabilityIsSig() const {
  return CheckedGet(statistics_, kComparabilityIsSig,
                    "GetComparabilityIsSig()") == 1.0;
}
void kmTable::SetComparabilityIsSig(double dValue) {
  UncheckedSet(statistics_, kComparabilityIsSig, dValue);
}

bool kmTable::GetJumpIsSig() const {
  return CheckedGet(statistics_, kJumpIsSig, "GetJumpIsSig()") == 1.0;
}
void kmTable::SetJumpIsSig(double dValue) {
  UncheckedSet(statistics_, kJumpIsSig, dValue);
}

int32_t kmTable::GetNumStatistics() const {
  return static_cast<int32_t>(statistics_.size());
}

int16_t kmTable::GetDF() const { return CheckedGet(counts_, kDF, "GetDF()"); }
void kmTable::SetDF(int16_t iValue) { UncheckedSet(counts_, kDF, iValue); }
int16_t kmTable::GetReducedRank() const {
  return CheckedGet(counts_, kReducedRank, "GetReducedRank()");
}
void kmTable::SetReducedRank(int16_t iValue) {
  UncheckedSet(counts_, kReducedRank, iValue);
}
int16_t kmTable::GetNObs() const {
  return CheckedGet(counts_, kNObs, "GetNObs()");
}
void kmTable::SetNObs(int16_t iValue) { UncheckedSet(counts_, kNObs, iValue); }
int16_t kmTable::GetNParm() const {
  return CheckedGet(counts_, kNParm, "GetNParm()");
}
void kmTable::SetNParm(int16_t iValue) {
  UncheckedSet(counts_, kNParm, iValue);
}
