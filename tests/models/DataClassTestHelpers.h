// Small builders and readers of newmat objects for the data-class tests.
#ifndef KM_TESTS_MODELS_DATACLASSTESTHELPERS_H
#define KM_TESTS_MODELS_DATACLASSTESTHELPERS_H

#include <gtest/gtest.h>
#include <newmat.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "foundation/OneDimensionArray.h"

namespace km_data_test {

// A ColumnVector holding values in order.
inline NEWMAT::ColumnVector Vec(std::initializer_list<double> values) {
  NEWMAT::ColumnVector v(static_cast<int>(values.size()));
  int i = 1;
  for (double d : values) v(i++) = d;
  return v;
}

// A rows x cols Matrix whose element (r, c) is base + 10 r + c.
inline NEWMAT::Matrix Mat(int rows, int cols, double base) {
  NEWMAT::Matrix m(rows, cols);
  for (int r = 1; r <= rows; ++r) {
    for (int c = 1; c <= cols; ++c) m(r, c) = base + 10 * r + c;
  }
  return m;
}

// The elements of a vector or matrix, row by row.
inline std::vector<double> Values(const NEWMAT::Matrix& m) {
  std::vector<double> out;
  for (int r = 1; r <= m.Nrows(); ++r) {
    for (int c = 1; c <= m.Ncols(); ++c) out.push_back(m(r, c));
  }
  return out;
}
inline std::vector<double> Values(const NEWMAT::ColumnVector& v) {
  std::vector<double> out;
  for (int i = 1; i <= v.Nrows(); ++i) out.push_back(v(i));
  return out;
}

// Rows x columns of a matrix, for size checks.
inline std::vector<int> Dims(const NEWMAT::GeneralMatrix& m) {
  return {m.Nrows(), m.Ncols()};
}

// The contents of a record, member by member: each member's name and its
// values (a scalar as one value, a container as its elements in order, an
// array as its vectors one after another, each preceded by its length).
using Snapshot = std::vector<std::pair<std::string, std::vector<double>>>;

inline void Add(Snapshot& s, const char* name, double value) {
  s.push_back({name, {value}});
}
inline void Add(Snapshot& s, const char* name, const NEWMAT::Matrix& m) {
  std::vector<double> values = {double(m.Nrows()), double(m.Ncols())};
  for (double v : Values(m)) values.push_back(v);
  s.push_back({name, values});
}
inline void Add(Snapshot& s, const char* name,
                const OneDimensionArray<NEWMAT::ColumnVector>& a) {
  std::vector<double> values = {double(a.GetSize())};
  for (int i = 0; i < a.GetSize(); ++i) {
    values.push_back(a[i].Nrows());
    for (double v : Values(a[i])) values.push_back(v);
  }
  s.push_back({name, values});
}

// Expects the two snapshots to agree member by member.
inline void ExpectSameSnapshot(const Snapshot& actual,
                               const Snapshot& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    SCOPED_TRACE(expected[i].first);
    EXPECT_EQ(actual[i].first, expected[i].first);
    EXPECT_EQ(actual[i].second, expected[i].second);
  }
}

}  // namespace km_data_test

#endif  // KM_TESTS_MODELS_DATACLASSTESTHELPERS_H
