// KMModelScoreRec: the result of one permutation test between two numbers
// of kinkmarks.
#ifndef KM_MODELS_KMMODELSCOREREC_H
#define KM_MODELS_KMMODELSCOREREC_H

#include <cstdint>

// The result of one permutation test of k0 against k1 kinkmarks (k0 < k1).
// Each field's comment gives the value reset writes.
//
// A plain value record: the constructor runs reset; copies copy the fields;
// destruction has nothing to release.
struct KMModelScoreRec {
  KMModelScoreRec() { reset(); }

  // Writes the start value of every field.
  void reset();

  // The smaller number of kinkmarks. -1.
  int32_t k0;
  // The larger number of kinkmarks. -1.
  int32_t k1;
  // Numerator degrees of freedom, 2 (k1 - k0). -1.
  int32_t df1;
  // Denominator degrees of freedom, n - p - 2 k1 (one less with the jump).
  // -1.
  int32_t df2;
  // Number of data sets: the observed one plus N - 1 permuted ones. 0.
  int32_t N;
  // Permutation p-value. -1.0.
  double pPerm;
  // The significance level this test used. -1.0.
  double alpha;
  // The observed F statistic. -infinity.
  double F;
  // Upper-tail probability of F with (df1, df2) degrees of freedom.
  // -infinity.
  double pF;
  // The number of kinkmarks this test favours. -1.
  int32_t selected;
  // True when the smaller model is retained (pPerm > alpha). false.
  bool retained;
};

#endif  // KM_MODELS_KMMODELSCOREREC_H
