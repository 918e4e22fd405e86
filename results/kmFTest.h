// The record of one F test between two numbers of kinkmarks.
#ifndef KM_RESULTS_KMFTEST_H
#define KM_RESULTS_KMFTEST_H

#include <cstdint>

class KmIO_File;

// kmFTest holds one parametric and permutation F test of a null number of
// kinkmarks against a larger alternative number. The fitting engine fills
// the statistics; the record is stored with the models of its cohort
// (kmCalcData) and read back by the reports.
//
// A plain record copied member-wise. Record in the results file (69 bytes,
// little-endian): Bool second-statistic flag; Double alpha, F, second F,
// p-value of F, p-value of second F, permutation p-value; Long denominator
// df, numerator df, numerator df of the second statistic, permutations;
// Short alternative kinkmarks; Short null kinkmarks.
class kmFTest {
 public:
  // Stores the two kinkmark counts, sets both parametric p-values to 1.0 and
  // every other field to 0 or false.
  explicit kmFTest(uint16_t uNullKinkmarks = 0, uint16_t uAltKinkmarks = 0);

  // The alternative's number of kinkmarks when dAlpha >= dPermPValue (a tie
  // selects the alternative), else the null's.
  uint16_t GetSelectedHypothesis() const;

  // Reads the record at the file's current position.
  // Throws: KmException "Invalid KmIO_File." (source "kmFTest") for a null
  // pIO; "Unexpected end of the results file while reading a kmFTest
  // record." when the file ends inside the record. Each adds "Read()" of
  // "kmFTest" to the call path. The record is unchanged when the read fails.
  void Read(KmIO_File* pIO);
  // Writes the record at the file's current position.
  // Throws: KmException "Invalid KmIO_File." (source "kmCalcData") for a
  // null pIO, with "Write()" of "kmFTest" in the call path.
  void Write(KmIO_File* pIO) const;

  // 1. Set when the engine also computed the second F statistic (only for a
  // numerator of 2 degrees of freedom).
  bool bSecondStat;
  // 2. Significance level against which this test decides.
  double dAlpha;
  // 3. F statistic.
  double dF;
  // 4. Second F statistic.
  double dSecondF;
  // 5. p-value of the F statistic from the F distribution; 1.0 in a new
  // record.
  double dPValue;
  // 6. p-value of the second F statistic; 1.0 in a new record.
  double dSecondPValue;
  // 7. Permutation p-value: the value compared with dAlpha.
  double dPermPValue;
  // 8. Denominator degrees of freedom: observations - 2 x alternative
  // kinkmarks - 2.
  int32_t lDenominatorDF;
  // 9. Numerator degrees of freedom: 2 x (alternative - null kinkmarks).
  int32_t lNumeratorDF;
  // 10. Numerator degrees of freedom of the second statistic: 3 when it was
  // computed, else 0.
  int32_t lSecondNumeratorDF;
  // 11. Number of permutations (data sets, the observed one included).
  int32_t lNumPermutations;
  // 12. Kinkmarks of the alternative model.
  uint16_t uAltKinkmarks;
  // 13. Kinkmarks of the null model.
  uint16_t uNullKinkmarks;
};

#endif  // KM_RESULTS_KMFTEST_H
