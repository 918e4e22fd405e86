// Builders of small newmat vectors and index arrays for the tests of the
// numeric utilities.
#ifndef KM_TESTS_MODELS_UTILITYTESTHELPERS_H
#define KM_TESTS_MODELS_UTILITYTESTHELPERS_H

#include <newmat.h>

#include <vector>

#include "foundation/OneDimensionArray.h"

namespace km_test {

inline NEWMAT::ColumnVector Vec(const std::vector<double>& values) {
  NEWMAT::ColumnVector v(static_cast<int>(values.size()));
  for (size_t i = 0; i < values.size(); ++i) {
    v(static_cast<int>(i) + 1) = values[i];
  }
  return v;
}

inline std::vector<double> ToVector(const NEWMAT::ColumnVector& v) {
  std::vector<double> out;
  for (int i = 1; i <= v.Nrows(); ++i) out.push_back(v(i));
  return out;
}

inline OneDimensionArray<int> IntArray(const std::vector<int>& values) {
  OneDimensionArray<int> a;
  a.Resize(static_cast<int>(values.size()));
  for (size_t i = 0; i < values.size(); ++i) {
    a[static_cast<int>(i)] = values[i];
  }
  return a;
}

inline std::vector<int> ToVector(const OneDimensionArray<int>& a) {
  std::vector<int> out;
  for (int i = 0; i < a.GetSize(); ++i) out.push_back(a[i]);
  return out;
}

// An array of index arrays: a partition, or the blocks of a shuffle.
inline OneDimensionArray<OneDimensionArray<int>> IntArrays(
    const std::vector<std::vector<int>>& lists) {
  OneDimensionArray<OneDimensionArray<int>> arrays;
  arrays.Resize(static_cast<int>(lists.size()));
  for (size_t g = 0; g < lists.size(); ++g) {
    arrays[static_cast<int>(g)] = IntArray(lists[g]);
  }
  return arrays;
}

}  // namespace km_test

#endif  // KM_TESTS_MODELS_UTILITYTESTHELPERS_H
