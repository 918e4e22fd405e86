// kmTable: the record of one fitted kinkmark model.
#ifndef KM_RESULTS_KMTABLE_H
#define KM_RESULTS_KMTABLE_H

#include <newmat.h>

#include <cstdint>
#include <vector>

#include "foundation/KmIO_File.h"
#include "foundation/KmString.h"
#include "foundation/KmVector.h"
#include "foundation/OneDimensionArray.h"
#include "models/KMSeriesSet.h"
#include "results/kmAAPCValue.h"
#include "results/kmBetaCoefficient.h"
#include "results/kmEstValue.h"
#include "results/kmLineSegment.h"

class kmSession;
class KMRegFitRecord;

// The record of one fitted kinkmark model of one cohort: its fit statistics
// and counts, its segments with their APCs, its kinkmark estimates, the
// slope changes at the kinkmarks, the segments of the parallel-model fit,
// its AAPCs, the coefficient covariance matrix, the data matrix (one row per
// observation, x in column 1) and the MADWD pass flag. The fitting engine
// fills one per number of kinkmarks through the setters; the results file
// stores the persisted part (Write/Read); the reports read it back.
//
// Besides the persisted part the record carries working state for its own
// APC and AAPC confidence intervals (first-last covariance, autocorrelation
// coefficient and error type, interval-method name, series set, settings
// words and integers, fitted-value and residual arrays, number of
// resamples). It is set by the fitting engine on grid-search models, copied
// with the record and never written to the results file.
//
// A value class with no virtual operations; copies are deep. Every
// operation that can fail adds its method name and "kmTable" to the call
// path of a KmException passing through it.
class kmTable {
 public:
  // Number of statistics and counts of a new record.
  static constexpr int32_t kNumStatistics = 20;
  static constexpr int32_t kNumCounts = 4;
  // Largest statistics count that Read accepts.
  static constexpr int32_t kMaxStoredStatistics = 100;

  // Empty matrices, lists and texts, then Init().
  kmTable();
  kmTable(const kmTable& other);
  // Copies every member, the working state included; self-assignment is
  // harmless.
  kmTable& operator=(const kmTable& other);
  ~kmTable();

  // Statistics = 20 zeros, counts = 4 zeros, spare flag false, MADWD pass
  // flag true. Leaves lists, matrices and working state alone.
  void Init();

  // ---- Statistics (doubles, by index 0..19). Getters throw the list's
  // "Index %d out of range; vector is from %d to %d" when the index is
  // missing; setters write without a check.
  double GetBIC() const;  // 0
  void SetBIC(double dValue);
  double GetCMSE() const;  // 1: mean squared error
  void SetCMSE(double dValue);
  double GetSSE() const;  // 2: sum of squared errors
  void SetSSE(double dValue);
  double GetUDF() const;  // 3: df of the t quantiles
  void SetUDF(double dValue);
  double GetJumpValue() const;  // 4
  void SetJumpValue(double dValue);
  double GetJumpSE() const;  // 5
  void SetJumpSE(double dValue);
  void SetJumpLocation(double dValue);  // 6 (no getter)
  double GetJumpStat() const;           // 7
  void SetJumpStat(double dValue);
  double GetJumpPValue() const;  // 8
  void SetJumpPValue(double dValue);
  double GetJumpLowerCI() const;  // 9
  void SetJumpLowerCI(double dValue);
  double GetJumpUpperCI() const;  // 10
  void SetJumpUpperCI(double dValue);
  double GetComparabilityRatio() const;  // 11
  void SetComparabilityRatio(double dValue);
  double GetComparabilitySE() const;  // 12
  void SetComparabilitySE(double dValue);
  double GetComparabilityStat() const;  // 13
  void SetComparabilityStat(double dValue);
  double GetComparabilityPValue() const;  // 14
  void SetComparabilityPValue(double dValue);
  double GetComparabilityLowerCI() const;  // 15
  void SetComparabilityLowerCI(double dValue);
  double GetComparabilityUpperCI() const;  // 16
  void SetComparabilityUpperCI(double dValue);
  // 17: true exactly when the stored value equals 1.0.
  bool GetComparabilityIsSig() const;
  void SetComparabilityIsSig(double dValue);
  // 18: true exactly when the stored value equals 1.0.
  bool GetJumpIsSig() const;
  void SetJumpIsSig(double dValue);
  double GetBIC3() const;  // 19
  void SetBIC3(double dValue);
  // Number of stored statistics (20, or more when read from a file that
  // carried more).
  int32_t GetNumStatistics() const;

  // ---- Counts (shorts, by index 0..3); checked getters, unchecked setters.
  int16_t GetDF() const;  // 0: degrees of freedom
  void SetDF(int16_t iValue);
  int16_t GetReducedRank() const;       // 1: 1 when the weighted fit was
  void SetReducedRank(int16_t iValue);  // rank deficient
  int16_t GetNObs() const;              // 2: number of observations
  void SetNObs(int16_t iValue);
  int16_t GetNParm() const;  // 3: number of parameters
  void SetNParm(int16_t iValue);

  // ---- Kinkmarks, segments, slope differences. Index getters are 0-based
  // and throw the list's range error for a missing index.
  int32_t GetNumKinkmarks() const;
  const kmEstValue& GetKinkmark(int32_t i) const;
  // Kinkmark i for the interval code to write into. REQUIRES: 0 <= i <
  // GetNumKinkmarks() (not checked).
  kmEstValue& GetKinkmarkRef(int32_t i);
  // The first and last segments (from 0) that a range (a, b) covers, a
  // bound on a kinkmark belonging to the earlier segment; false, leaving
  // them unset, when the range cannot give an AAPC (CoversAAPCRange).
  bool CoveringSegments(double a, double b, int32_t& s1, int32_t& s2) const;
  // Appends a kinkmark estimate with p-value and test statistic 9999.0
  // (untested).
  void AddKinkmark(double dEstimate, double dLower, double dUpper,
                   bool bComputed);

  int32_t GetNumLineSegments() const;
  const kmLineSegment& GetLineSegment(int32_t i) const;
  // Appends every segment of segments, in order.
  void AddLineSegments(const KmVector<kmLineSegment>& segments);

  int32_t GetNumParallelLineSegments() const;
  const kmLineSegment& GetParallelLineSegment(int32_t i) const;
  // Appends every segment of segments, in order, to the parallel segments.
  void AddParallelLineSegments(const KmVector<kmLineSegment>& segments);

  int32_t GetNumSlopeDiffs() const;
  const kmBetaCoefficient& GetSlopeDiff(int32_t i) const;
  // Appends the change of slope at the next kinkmark.
  void AddSlopeDiff(double dEstimate, double dStdErr, double dTestStat,
                    double dPValue, bool bComputed);

  // ---- AAPCs.
  int32_t GetNumAAPCs() const;
  // AAPC iIndex. Throws KmException "Invalid AAPC range requested." (source
  // "kmTable::GetAAPC(int iIndex)") when iIndex is outside 0..n-1.
  kmAAPCValue& GetAAPC(int32_t iIndex);
  const kmAAPCValue& GetAAPC(int32_t iIndex) const;
  // A copy of the whole AAPC list, in range order.
  KmVector<kmAAPCValue> GetAAPCs() const;
  // Removes every AAPC (before the AAPCs are computed anew).
  void ClearAAPCs();
  // Appends a reset AAPC over (dStart, dEnd) (range-set flag true) whose
  // estimate fields are the given values with the computed flag false.
  void AddAAPC(double dStart, double dEnd, double dEstimate, double dLower,
               double dUpper, double dTestStat, double dPValue);
  // True when an AAPC over (dStart, dEnd) can be computed (CalculateAAPC):
  // the range lies within the segments' span and its end is after its
  // start.
  bool CoversAAPCRange(double dStart, double dEnd) const;

  // ---- Matrices and flags.
  // Covariance matrix of the regression coefficients.
  const NEWMAT::Matrix& GetCovariance() const;
  void SetCovariance(const NEWMAT::Matrix& mCovariance);
  // The model's data rows; column 1 holds x.
  const NEWMAT::Matrix& GetData() const;
  void SetData(const NEWMAT::Matrix& mData);
  // The x values of the observation rows of the data, in row order. The
  // rows that only draw a kinkmark or the jump hold no observed value
  // (-9999.0 in column 2) and are left out.
  std::vector<double> GetObservationValues() const;
  // out = the correlation matrix of the covariance c: out(i,j) =
  // c(i,j) / sqrt(c(j,j) c(i,i)), of c's size (empty for an empty c).
  void GetCorrelationMatrix(NEWMAT::Matrix& out) const;
  // MADWD pass flag: true in a new record; set by model selection.
  bool GetMADWDPass() const;
  void SetMADWDPass(bool bPass);
  // Stored and restored with the record; no other use.
  bool GetSpareFlag() const;
  void SetSpareFlag(bool bValue);

  // ---- Working state of the interval calculations (not persisted).
  void SetAutocorrelation(double dPhi);
  double GetAutocorrelation() const;
  // 0 uncorrelated, 1 estimated, 2 specified.
  void SetErrorType(int32_t iErrorType);
  int32_t GetErrorType() const;
  // Name of the confidence-interval method ("UncorrelatedVariance",
  // "EmpCDFT", "EmpCDFQuantile", ...).
  void SetCIMethodName(const KmString& sName);
  const KmString& GetCIMethodName() const;
  void SetSeriesSet(const KMSeriesSet& seriesSet);
  const KMSeriesSet& GetSeriesSet() const;
  // The three settings words: model type ("Identical" or "Parallel"), scale
  // ("Log") and fitting method ("GridSearch").
  void SetModelWords(const KmString& sModelType, const KmString& sModelScale,
                     const KmString& sFittingMethod);
  const KmString& GetModelTypeWord() const;
  const KmString& GetModelScaleWord() const;
  const KmString& GetFittingMethodWord() const;
  // The grid settings handed to the framework unchanged.
  void SetGridSettings(int32_t iMinObsEnd, int32_t iMinObsBetween,
                       int32_t iGridPointsBetween);
  int32_t GetMinObsEnd() const;
  int32_t GetMinObsBetween() const;
  int32_t GetGridPointsBetween() const;
  // The fitted values and the raw residuals of the observed fit.
  void SetSampleArrays(const OneDimensionArray<NEWMAT::ColumnVector>& fitted,
                       const OneDimensionArray<NEWMAT::ColumnVector>& resids);
  const OneDimensionArray<NEWMAT::ColumnVector>& GetFittedValues() const;
  const OneDimensionArray<NEWMAT::ColumnVector>& GetResiduals() const;
  void SetNumResamples(int32_t iNumResamples);
  int32_t GetNumResamples() const;

  // ---- Results file.
  // Writes the persisted members (counts as Short, matrix dimensions as Int
  // columns then rows, elements row by row). Throws KmException "Invalid
  // KmIO_File." (source "kmTable") for a null pIO, and a KmException when a
  // list holds more than 32767 elements (its count would not fit a Short).
  void Write(KmIO_File* pIO) const;
  // Reads a record of file version dFileVersion, gating the fields by
  // version. Throws KmException "Invalid KmIO_File." for a null pIO; the
  // corrupt-file message for a statistics count outside 0..100; a
  // KmException for any other negative count or matrix dimension and for a
  // file that ends inside the record.
  void Read(KmIO_File* pIO, double dFileVersion);

  // ---- APC and AAPC confidence intervals ----
  // Declarations of the interval calculations go here; their bodies live
  // in their own source files.
  //
  // Interval method codes (iCIMethod; a negative code takes the session's
  // kmOptAAPCCIMethod) and the names handed to the model framework:
  //   0 "UncorrelatedVariance"  the model's standard errors;
  //   1 "FirstLastT"            AAPC: chord between the fitted values at the
  //                             range ends, variance from the covariance
  //                             matrix; APC: as "UncorrelatedVariance";
  //   2 "EmpCDFT"               standard error of the resampled refits, t;
  //   3 "EmpCDFQuantile"        empirical quantiles of the resampled refits;
  //   4 "EmpCDFZ"               standard error of the resampled refits, z.
  // A percent change is 100 (e^b - 1) of a log-scale slope b, its bounds
  // 100 (e^(b -/+ c se) - 1) with c a t (dUDF = GetUDF() degrees of freedom)
  // or normal quantile at 1 - alpha/2.
  //
  // The resampled methods (2 to 4) refit the model to data simulated from
  // its fitted curve, its fitted-value and residual arrays and its series
  // set (BaseKMRegModel::resample_new), with the resampling seed of the
  // session (kmOptEmpQuantileSeed; with kmOptEmpQuantileSeedType 1 it
  // becomes (c + 1) s + c for cohort number c > 0). The refits go into
  // fitRecords, made only while it is empty: pass the same array to every
  // interval call of one model (its AAPC ranges and its APCs) and free it
  // afterwards. The parametric methods never read it.
  //
  // The covariance matrix must hold segment intercept and slope
  // alternating (intercept 1, slope 1, intercept 2, ...), 2(k + 1) square,
  // as the model-table builder fills it.

  // Replaces the APC of every segment by the estimate, interval and tests
  // of the method (SetAPC with the computed flag true), and for method 3
  // ("EmpCDFQuantile") the bounds of every kinkmark by the empirical
  // quantiles of the resampled locations at dKinkmarkAlpha (computed flag
  // true; estimate, p-value and statistic kept). Sets the number of
  // resamples to the session's kmOptNumResamples. iCohortNumber varies the
  // resampling seed. iModelIndex (the model's index in its cohort record),
  // dPermAlpha and dJumpCRAlpha are taken for the caller and read by no
  // method.
  // Throws KmException (call path "CalculateAPC_CIs(int iIndex)" of
  // kmTable): when the segments, kinkmarks and slope differences do not
  // agree (k + 1, k and k); for a method code outside 0..4 (the framework
  // knows no empty method name); for a resampled method on a model without
  // its fitted values, residuals and series set; a matrix-library error
  // becomes a KmException with source "kmCalculator::CalculateAPC_CIs()".
  // On any failure the segments and kinkmarks are unchanged.
  // REQUIRES: pSession is not null.
  void CalculateAPC_CIs(double dAAPCAlpha, double dPermAlpha,
                        double dKinkmarkAlpha, double dAPCAlpha,
                        double dJumpCRAlpha, const kmSession* pSession,
                        int32_t iCohortNumber, int32_t iModelIndex,
                        int32_t iCIMethod,
                        OneDimensionArray<KMRegFitRecord>& fitRecords);

  // Sets the APC of every segment, and the same values on every
  // parallel-model segment, by the model's own fit: with b the segment's
  // slope estimate and v its variance (the covariance matrix's diagonal at
  // that slope), APC = 100 (e^b - 1); when 0 < v < 100 the bounds are
  // 100 (e^(b -/+ t sqrt(v)) - 1), t the 1 - dAPCAlpha / 2 quantile of
  // Student's t with GetUDF() degrees of freedom, and the computed flag is
  // true; otherwise both bounds are 0 and the flag false. The test
  // statistic and p-value are those of BaseKMRegModel::calc_APC_OneSlope
  // over the segment's range. These are the intervals of every model that
  // the resampled intervals (CalculateAPC_CIs) do not cover.
  // REQUIRES: the covariance matrix holds intercept and slope alternating
  // per segment, as the model-table builder fills it.
  void SetParametricAPCs(double dAPCAlpha);

  // Computes AAPC iIndex over its range (a, b): the weighted mean E of the
  // slopes of the segments the range covers, each weighted by its share of
  // b - a, with the interval of the method. The AAPC's alpha becomes
  // dAAPCAlpha. A range outside the segments' span, of zero or negative
  // width, or with a NaN end gets the in-range flag false and keeps its
  // values. When a covered slope has no standard error (computed flag
  // false) only the estimate 100 (e^E - 1) is stored (bounds, statistic and
  // p-value 0.0, computed flag false). Otherwise the framework's result is
  // stored with the computed flag true. For codes 0 to 4 the method's name
  // becomes the CI method name; any other code uses the name already
  // stored. "FirstLastT" keeps a copy of the covariance matrix as its
  // first-last covariance, taken once.
  // Throws KmException (call path "CalculateAAPC(int iIndex)" of kmTable):
  // "Invalid AAPC range requested." for a missing index; "The AAPC range
  // must be set before an AAPC calculation can be performed" (source
  // "Error") for a range never set; the errors of CalculateAPC_CIs for a
  // model whose parts do not agree or that lacks resampling data; for
  // "FirstLastT" a covariance matrix that is not 2(k + 1) square; the
  // framework's errors (an unknown method name among them).
  // REQUIRES: pSession is not null.
  void CalculateAAPC(int32_t iIndex, double dAAPCAlpha, double dKinkmarkAlpha,
                     double dAPCAlpha, double dJumpCRAlpha,
                     const kmSession* pSession, int32_t iCohortNumber,
                     int32_t iModelIndex, int32_t iCIMethod,
                     OneDimensionArray<KMRegFitRecord>& fitRecords);

  // Appends and computes the session's AAPC ranges, in this order, with x
  // the n values of column 1 of the data matrix: the full range (x(1),
  // x(n)) when its flag is set; (x(n - m + 1), x(n)) for each last-
  // observations length m with 1 <= m <= n; each custom range (start i,
  // end i) for i below the shorter of the two lists. Each is computed by
  // CalculateAAPC with the session's levels, cohort number 0, model index
  // 0, the method iCIMethod (negative: the session's) and one fit-record
  // array for all ranges. AAPCs already in the table are left as they are.
  // Throws KmException (call path "RunAAPCCalc()" of kmTable): the errors
  // of CalculateAAPC; a data matrix without rows when the full range is
  // asked for; a matrix-library error becomes a KmException with source
  // "kmTable::RunAAPCCalc()".
  // REQUIRES: pSession is not null.
  void RunAAPCCalc(const kmSession* pSession, int32_t iCIMethod);

  // ---- end of APC and AAPC confidence intervals ----

 private:
  // Reads the counted statistics and counts of a current-layout record,
  // refusing a statistics count outside 0..kMaxStoredStatistics and a
  // negative counts count.
  void ReadCurrentCounts(KmIO_File* pIO);

  // Persisted.
  NEWMAT::Matrix covariance_;
  NEWMAT::Matrix data_;
  KmVector<double> statistics_;
  KmVector<int16_t> counts_;
  KmVector<kmBetaCoefficient> slopeDiffs_;
  KmVector<kmEstValue> kinkmarks_;
  KmVector<kmLineSegment> segments_;
  KmVector<kmLineSegment> parallelSegments_;
  KmVector<kmAAPCValue> aapcs_;
  bool bSpare_;
  bool bMADWDPass_;
  // Working state.
  NEWMAT::Matrix firstLastCovariance_;  // empty until a "FirstLastT" AAPC
  double dAutocorrelation_;
  int32_t iErrorType_;
  KmString sCIMethodName_;
  KMSeriesSet seriesSet_;
  KmString sModelType_;
  KmString sModelScale_;
  KmString sFittingMethod_;
  int32_t iMinObsEnd_;
  int32_t iMinObsBetween_;
  int32_t iGridPointsBetween_;
  OneDimensionArray<NEWMAT::ColumnVector> fittedValues_;
  OneDimensionArray<NEWMAT::ColumnVector> residuals_;
  int32_t iNumResamples_;
};

#endif  // KM_RESULTS_KMTABLE_H
