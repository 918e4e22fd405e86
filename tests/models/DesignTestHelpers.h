// Builders shared by the tests of the design matrices, weighting matrices
// and location search.
#ifndef KM_TESTS_MODELS_DESIGNTESTHELPERS_H
#define KM_TESTS_MODELS_DESIGNTESTHELPERS_H

#include <newmat.h>

#include <vector>

#include "foundation/OneDimensionArray.h"
#include "models/KMSeriesSet.h"
#include "tests/models/UtilityTestHelpers.h"

namespace km_test {

// An array of vectors, one per list.
inline OneDimensionArray<NEWMAT::ColumnVector> VecArray(
    const std::vector<std::vector<double>>& lists) {
  OneDimensionArray<NEWMAT::ColumnVector> a;
  a.Resize(static_cast<int>(lists.size()));
  for (size_t i = 0; i < lists.size(); ++i) {
    a[static_cast<int>(i)] = Vec(lists[i]);
  }
  return a;
}

// A series set of the given x and y lists (labels left empty).
inline KMSeriesSet MakeSeriesSet(const std::vector<std::vector<double>>& xs,
                                 const std::vector<std::vector<double>>& ys) {
  KMSeriesSet set;
  set.xValues = VecArray(xs);
  set.yValues = VecArray(ys);
  return set;
}

// The diagonal matrix of 1 / v(i): the weights of independent errors.
inline NEWMAT::Matrix InverseDiagonal(const std::vector<double>& v) {
  const int n = static_cast<int>(v.size());
  NEWMAT::Matrix W(n, n);
  W = 0.0;
  for (int i = 1; i <= n; ++i) W(i, i) = 1.0 / v[static_cast<size_t>(i - 1)];
  return W;
}

// The rows of a matrix as lists, for whole-matrix comparisons.
inline std::vector<std::vector<double>> Rows(const NEWMAT::Matrix& m) {
  std::vector<std::vector<double>> rows;
  for (int i = 1; i <= m.Nrows(); ++i) {
    std::vector<double> row;
    for (int j = 1; j <= m.Ncols(); ++j) row.push_back(m(i, j));
    rows.push_back(row);
  }
  return rows;
}

}  // namespace km_test

#endif  // KM_TESTS_MODELS_DESIGNTESTHELPERS_H
