// The candidate grid of kinkmark locations (FindGridPoints), checked on
// hand-worked grids: the candidates of interval x_i..x_{i+1} are
// x_i + j (x_{i+1} - x_i) / (g + 1), j = 0..g, the first interval without
// its left end; the spacing index of interval e + m is (g + 1)(b + m) + 1.
#include <gtest/gtest.h>
#include <newmat.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/engine/LoadedCalculator.h"
#include "tests/engine/kmCalculatorTestPeer.h"
#include "tests/test_util/CatchKmException.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

// A calculator holding the independent values xs, its grid vectors sized by
// LoadCalcMembers for g grid points between observations.
struct GridCalculator : km_engine_test::LoadedCalculator {
  GridCalculator(const std::vector<double>& xs, int g)
      : LoadedCalculator(
            km_engine_test::Observations(xs, std::vector<double>(xs.size())),
            [g](kmSession& s) { s.SetInt(kmOptGridPointsBetween, g); }) {}
};

std::vector<double> Range(int n, double dStart) {
  std::vector<double> xs;
  for (int i = 0; i < n; ++i) xs.push_back(dStart + i);
  return xs;
}

struct GridCase {
  const char* sName;
  std::vector<double> xs;
  int e, b, g;
  std::vector<double> values;  // expected candidates 1..K
  std::vector<double> aux;     // expected spacing indices 1..K
};

const GridCase kGridCases[] = {
    // n = 10, e = 2, b = 2, g = 0: candidates x_3..x_8, aux p + b + 1.
    {"data points only",
     Range(10, 0.0),
     2,
     2,
     0,
     {2, 3, 4, 5, 6, 7},
     {4, 5, 6, 7, 8, 9}},
    // n = 10, e = 2, b = 1, g = 1: midpoint of x_2..x_3, then left end and
    // midpoint of each interval x_3..x_9; K = 1 + 2 * 6 = 13; aux of
    // interval e + m is 2 (1 + m) + 1.
    {"one point between",
     Range(10, 0.0),
     2,
     1,
     1,
     {1.5, 2, 2.5, 3, 3.5, 4, 4.5, 5, 5.5, 6, 6.5, 7, 7.5},
     {3, 5, 5, 7, 7, 9, 9, 11, 11, 13, 13, 15, 15}},
    // Uneven spacing, g = 2: thirds of each interval.
    {"thirds of uneven intervals",
     {0, 3, 9, 12, 18},
     1,
     0,
     2,
     {1, 2, 3, 5, 7, 9, 10, 11, 12, 14, 16},
     {1, 1, 4, 4, 4, 7, 7, 7, 10, 10, 10}},
    // n = 2e: only the first interval, without its left end: K = g.
    {"n equals 2e",
     Range(6, 10.0),
     3,
     0,
     2,
     {12 + 1.0 / 3.0, 12 + 2.0 / 3.0},
     {1, 1}},
    {"n equals 2e without grid points", Range(6, 10.0), 3, 0, 0, {}, {}},
    // n < 2e: no interval is visited.
    {"too few observations", Range(5, 0.0), 3, 1, 3, {}, {}},
    // Equal neighbours give a zero step; all their candidates are kept.
    {"tied independent values",
     {0, 1, 1, 2, 3},
     1,
     0,
     1,
     {0.5, 1, 1, 1, 1.5, 2, 2.5},
     {1, 3, 3, 5, 5, 7, 7}},
};

TEST(FindGridPoints, CandidatesSpacingAndCount) {
  for (const GridCase& c : kGridCases) {
    SCOPED_TRACE(c.sName);
    GridCalculator gc(c.xs, c.g);
    const ColumnVector vBefore = *CalcMembers(*gc.calc).pGridValues;
    const int16_t K =
        gc.calc->FindGridPoints(static_cast<int16_t>(c.e), c.b, c.g);
    ASSERT_EQ(K, static_cast<int16_t>(c.values.size()));
    for (int p = 1; p <= K; ++p) {
      EXPECT_DOUBLE_EQ((*CalcMembers(*gc.calc).pGridValues)(p), c.values[p - 1])
          << p;
      EXPECT_EQ((*CalcMembers(*gc.calc).pGridAux)(p), c.aux[p - 1]) << p;
    }
    // Entries past K keep what they held.
    for (int p = K + 1; p <= vBefore.Nrows(); ++p) {
      EXPECT_EQ((*CalcMembers(*gc.calc).pGridValues)(p), vBefore(p)) << p;
    }
    EXPECT_EQ(CalcMembers(*gc.calc).pX0->Ncols(), K + 2);
  }
}

TEST(FindGridPoints, DesignHoldsDataColumnsThenHinges) {
  // x = 0, 3, 9, 12, 18 with g = 2, e = 1: candidate 4 is 5, so its hinge
  // column is max(x - 5, 0) = 0, 0, 4, 7, 13; candidate 6 lies on x_3 = 9
  // and gives exactly 0 in row 3.
  GridCalculator gc({0, 3, 9, 12, 18}, 2);
  const int16_t K = gc.calc->FindGridPoints(1, 0, 2);
  ASSERT_EQ(K, 11);
  const Matrix& m = *CalcMembers(*gc.calc).pX0;
  ASSERT_EQ(m.Nrows(), 5);
  const double kHinge4[] = {0, 0, 4, 7, 13};
  const double kHinge6[] = {0, 0, 0, 3, 9};
  for (int r = 1; r <= 5; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(m(r, 1), 1.0);
    EXPECT_EQ(m(r, 2), (*CalcMembers(*gc.calc).pDataX)(r, 2));
    EXPECT_EQ(m(r, 4 + 2), kHinge4[r - 1]);
    EXPECT_EQ(m(r, 6 + 2), kHinge6[r - 1]);
  }
}

TEST(FindGridPoints, RejectsBadSettingsWithCallPath) {
  // With no observation kept at the ends the first interval would start at
  // row 0; the call must fail cleanly instead of reading outside the data.
  struct BadCase {
    const char* sName;
    int e, g;
  };
  const BadCase kCases[] = {{"no end observations", 0, 0},
                            {"negative grid points", 1, -1}};
  for (const BadCase& c : kCases) {
    SCOPED_TRACE(c.sName);
    GridCalculator gc(Range(6, 0.0), 0);
    const KmException ex = km_test::CatchKmException(
        [&] { gc.calc->FindGridPoints(static_cast<int16_t>(c.e), 0, c.g); });
    EXPECT_NE(std::string(ex.GetCallPath()).find("FindGridPoints()"),
              std::string::npos)
        << ex.GetCallPath();
  }
}

TEST(FindGridPoints, GridVectorsTooShortForTheGridThrow) {
  // Vectors sized for g = 0 cannot take the candidates of g = 3.
  GridCalculator gc(Range(6, 0.0), 0);
  EXPECT_THROW(gc.calc->FindGridPoints(1, 0, 3), KmException);
}

}  // namespace
