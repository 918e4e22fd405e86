// The per-cohort (or per-comparison) result record.
#ifndef KM_RESULTS_KMCALCDATA_H
#define KM_RESULTS_KMCALCDATA_H

#include <newmat.h>

#include <cstdint>
#include <memory>

#include "foundation/KmString.h"
#include "foundation/KmVector.h"
#include "results/kmFTest.h"
#include "results/kmTable.h"

class KmIO_File;

// kmCalcData is everything the fitting engine produces for one cohort or for
// one pairwise comparison: every fitted model (element i of the models has
// i kinkmarks counted from the session's minimum), every F test, the final
// selected model, the cohort's labels and validity, the outcome of
// data-dependent selection, an optional variance-covariance matrix and the
// MADWD settings. The results-file writer appends one per entry; the reader
// fetches them by offset; every report reads the results through it.
//
// The members below are public data that the engine sets and the reports
// read, except the weighting matrix, which the record owns (each copy holds
// its own duplicate).
//
// Record in the results file (little-endian, full current layout):
//   Short final selected model; Double autocorrelation;
//   Short m, m kmTable records; Short t, t kmFTest records;
//   Bool comparison; Bool valid; String bad description;
//   Short l, l Strings (cohort label);
//   Bool jump model; Bool comparability ratio; Bool cohort data;
//   Long selection criterion; Short BIC-selected; Short BIC3-selected;
//   4 Doubles selection values;
//   Short n, n x n Doubles row by row (variance-covariance rows);
//   Bool MADWD; Double MADWD psi;
//   Short r, Short c (length of the first row, 0 when r = 0), r x c Doubles
//   (MADWD values).
// Not stored: the working matrix, the weighting matrix and the
// variance-covariance flag.
//
// Every operation catches KmException, adds its method name and
// "kmCalcData" to the call path and rethrows.
class kmCalcData {
 public:
  // Final-model and selected-model value meaning "none".
  static constexpr uint16_t kNoModel = 65535;

  // An empty, valid record: no model selected (65535), no models, tests,
  // labels or rows, selection criterion -1.
  kmCalcData();
  // Copies every member; the weighting matrix is duplicated.
  kmCalcData(const kmCalcData& other);
  kmCalcData& operator=(const kmCalcData& other);
  ~kmCalcData();

  // Model iIndex (0-based).
  // Throws: KmException "Requested model number:  <i> is not a valid model
  // number for this cohort.  The number of models for the cohort is:  <n>"
  // (source "const kmTable& kmCalcData::GetModel(int iIndex) const") for
  // an index outside 0..n-1.
  const kmTable& GetModel(int iIndex) const;
  // F test iIndex (0-based).
  // Throws: KmException "Requested FTest index  (<i> is beyond the number of
  // F Tests:  <n>" (source "const kmTable& kmCalcData::GetFTest(int iIndex)
  // const") for iIndex >= n; the KmVector index error for a negative index.
  const kmFTest& GetFTest(int iIndex) const;
  // False when the record is not valid; otherwise true when the last F test
  // does not reject parallelism (its permutation p-value > its alpha).
  // Throws: the KmVector index error of GetFTest(-1) when a valid record
  // has no F test.
  bool IsComparisonParallel() const;

  // Bad description = sText; display form = "** " + sText.
  void SetCohortBadDescription(const KmString& sText);
  // Replaces the cohort label by the given labels, in order.
  void SetCohortLabel(const KmVector<KmString>& vLabels);
  // Replaces the MADWD detail rows by the given rows (taken over).
  void SetMADWDValues(KmVector<KmVector<double> > vValues);
  // Stores the given variance-covariance rows (n rows of n values) and sets
  // the variance-covariance flag, then builds the weighting matrix: the
  // generalised inverse (isPositiveDefinite) of W, where W = the rows as
  // given when bLogLinear is false; when true the responses hold logarithms,
  // y(i) = exp(mResponses(i, 1)), and by the delta method W(i, i) =
  // rows[i][i] / y(i)^2 and W(i, j) = W(j, i) = rows[i][j] / (y(i) y(j)) for
  // i < j where rows[i][j] is nonzero (only the upper triangle is read).
  // Throws: KmException "The variance-covariance matrix must be square: row
  // <r> holds <m> values, not <n>." when a row has another length, or "The
  // variance-covariance matrix is not positive definite." when W has a
  // negative pivot or is singular (the record is then unchanged);
  // matrix-library errors
  // (for instance fewer than n responses) pass out as they are.
  void SetVarianceCovarianceMatrix(const KmVector<KmVector<double> >& vRows,
                                   const NEWMAT::Matrix& mResponses,
                                   bool bLogLinear);
  // The weighting matrix built by SetVarianceCovarianceMatrix; null before.
  const NEWMAT::Matrix* GetWeightingMatrix() const {
    return pWeightingMatrix_.get();
  }
  NEWMAT::Matrix* GetWeightingMatrix() { return pWeightingMatrix_.get(); }

  // Reads a record. dFileVersion is the program version in the results
  // file's numeric data (4.9 for this program); dSessionProgramVersion the
  // program version of the session stored in the same file. Older files
  // lack fields, which then keep their constructor values:
  //   autocorrelation: present when dSessionProgramVersion > 3.54, or when
  //     dFileVersion >= 3.42 and dSessionProgramVersion < 3.44;
  //   flags, description, labels: dFileVersion > 3.3;
  //   jump and comparability-ratio flags: >= 4.321; cohort data: >= 4.402;
  //   selection fields: >= 4.6; MADWD: >= 4.702; var-cov rows: >= 4.802.
  // The record becomes exactly what the file holds (a fresh record filled
  // from the file), whatever it held before; the working matrix, weighting
  // matrix and variance-covariance flag are reset.
  // Throws: KmException "Invalid KmIO_File." (source "kmCalcData") for a null
  // pIO; "This KMO is either corrupt or not compatible with this version of
  // Kinkmark.  The KMO read process found a negative count (<n>) of <what>."
  // for a negative count; "Unexpected end of the results file while reading
  // a kmCalcData record." (or of the kmTable or kmFTest record) for a file
  // that ends inside the record; kmTable::Read's errors. The record is
  // unchanged when the read fails.
  void Read(KmIO_File* pIO, double dFileVersion, double dSessionProgramVersion);
  // Writes the record in the current layout.
  // Throws: KmException "Invalid KmIO_File." (source "kmCalcData") for a null
  // pIO; "Cannot store <n> <what> in the results file (at most 32767)." for
  // a list longer than 32767; "Cannot store the <what>: row <r> holds <m>
  // values where <n> are expected." when the variance-covariance rows are not
  // square or the MADWD rows differ in length (the file could not be read
  // back), before any byte is written.
  void Write(KmIO_File* pIO) const;

  // 1. Working matrix of the engine; empty at construction; not stored.
  NEWMAT::Matrix mWork;
  // 3. Number of kinkmarks of the final selected model; 65535 for none.
  uint16_t uFinalSelectedModel;
  // 4. Fitted models, one per number of kinkmarks.
  KmVector<kmTable> vModels;
  // 5. F tests, in the order the engine ran them.
  KmVector<kmFTest> vFTests;
  // 6. The record belongs to a pairwise comparison. false.
  bool bComparison;
  // 7. This cohort is the jump-model fit of a jump or comparability-ratio
  // analysis. false.
  bool bJumpModel;
  // 8. This cohort is the comparability-ratio fit. false.
  bool bComparabilityRatio;
  // 9. The cohort could be fitted; when false the bad description says why.
  // true.
  bool bValid;
  // 10. A variance-covariance matrix was given (SetVarianceCovarianceMatrix);
  // not stored. false.
  bool bVarCovMatrix;
  // 11. Why the cohort was not fitted. "".
  KmString sBadDescription;
  // 12. "** " followed by the bad description. "".
  KmString sBadDescriptionDisplay;
  // 13. One label per by-variable level (a comparison: both sides).
  KmVector<KmString> vCohortLabel;
  // 14. Error autocorrelation of the fit (estimated or given). 0.0.
  double dAutocorrelation;
  // 15. Criterion chosen by data-dependent selection: 1 BIC, 3 BIC3. -1.
  int32_t lSelectionCriterion;
  // 16. Number of kinkmarks chosen by BIC. 65535.
  uint16_t uBICSelectedModel;
  // 17. Number of kinkmarks chosen by BIC3. 65535.
  uint16_t uBIC3SelectedModel;
  // 18. Selection statistic of the BIC-selected model, that of the
  // BIC3-selected model, and the thresholds 10.0 and 200.0, as
  // data-dependent selection returns them. 0.0 each.
  double dSelectionValues[4];
  // 19. The given variance-covariance matrix, one row per observation.
  KmVector<KmVector<double> > vVarCovRows;
  // 20. A flag the engine's cohort reader reports for this cohort. false.
  bool bCohortData;
  // 21. Copy of the session's MADWD switch when the cohort was fitted.
  // false.
  bool bMADWD;
  // 22. Copy of the session's MADWD psi. 0.0.
  double dMADWDPsi;
  // 23. MADWD detail rows (six doubles per row), all of one length.
  KmVector<KmVector<double> > vMADWDValues;

 private:
  // Takes over the contents of copy (lists and the weighting matrix are
  // swapped, the rest copied); copy is left in an unspecified state.
  void TakeOver(kmCalcData& copy);

  // 2. Weighting matrix built by SetVarianceCovarianceMatrix; null until
  // then; owned.
  std::unique_ptr<NEWMAT::Matrix> pWeightingMatrix_;
};

#endif  // KM_RESULTS_KMCALCDATA_H
