// Tests of kmCalculateRates (rate shares of the clustering) and
// SwapFirstTwoColumns. Expected values come from R; the script is in the
// comment beside each table.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "data/kmCalculateRates.h"
#include "foundation/KmException.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::kTightRelTol;
using km_test::RelNear;

constexpr double kMissing = -1e30;

// A cluster format with one group per code list.
KmVector<kmClusterFormat> Format(const std::vector<std::vector<int>>& codes) {
  kmClusterFormat format;
  for (size_t i = 0; i < codes.size(); ++i) {
    kmAdjustVarFormat group;
    group.sLabel = ("G" + std::to_string(i + 1)).c_str();
    group.codes.assign(codes[i].begin(), codes[i].end());
    format.groups.push_back(group);
  }
  return KmVector<kmClusterFormat>{format};
}

// Checks one result row against (count, pop, std pop, share, SE).
void ExpectRow(const kmValueRow& row, const std::vector<double>& expected) {
  ASSERT_EQ(row.size(), 5u);
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("element " + std::to_string(i));
    if (expected[i] == 0.0 || expected[i] == kMissing) {
      EXPECT_EQ(row[i], expected[i]);
    } else {
      EXPECT_TRUE(RelNear(row[i], expected[i], kTightRelTol));
    }
  }
}

// R:
//   share <- function(c, p, s, T) {
//     w <- if (T > 0) s / T else 0
//     r <- if (p > 0) c / p * 1e5 else 0
//     v <- if (p > 0 && T != 0) c / p^2 * (s / T)^2 else 0
//     se <- if (p > 0 && r > 0 && v >= 0) sqrt(v) * 1e5 else -1e30
//     c(c, p, s, r * w, se) }
//   options(digits = 17)
//   share(10, 1000, 600, 1000)  # 10 1000 600 600 189.73665961010278
//   share(0, 500, 400, 1000)    # 0 500 400 0 -1e30
TEST(kmCalculateRates, TwoGroupsOfOneValue) {
  kmCalculateRates rates(nullptr);
  kmValueTable table{kmValueRows{{1, 10, 1000, 600}, {2, 0, 500, 400}}};
  rates.ComputeAgeAdjRates_Clustering(table, 0, 1, 2, 3, Format({{1}, {2}}));
  const kmValueTable result = rates.GetAgeAdjRateTable();
  ASSERT_EQ(result.size(), 1u);
  ASSERT_EQ(result[0].size(), 2u);
  ExpectRow(result[0][0], {10, 1000, 600, 600, 189.73665961010278});
  ExpectRow(result[0][1], {0, 500, 400, 0, kMissing});
}

// Groups A = codes {0, 1}, B = {2}, C = {3}; code 9 is in no group but its
// standard population counts in T. R (share() as above):
//   d1 <- data.frame(code=c(0,1,2,3), c=c(3,7,20,50),
//                    p=c(1000,2000,4000,5000), s=c(100,200,300,400))
//   d2 <- data.frame(code=c(0,1,2,3,9), c=c(1,0,15,0,4),
//                    p=c(900,1500,3000,0,800), s=c(100,200,300,400,250))
//   grp <- function(code) ifelse(code %in% c(0,1), "A", ifelse(code == 2,
//     "B", ifelse(code == 3, "C", NA)))
//   for (d in list(d1, d2)) {
//     T <- sum(d$s); d$g <- grp(d$code); d <- d[!is.na(d$g), ]
//     a <- aggregate(cbind(c, p, s) ~ g, data = d, FUN = sum)
//     print(t(sapply(seq_len(nrow(a)), function(i)
//       share(a$c[i], a$p[i], a$s[i], T))))
//     ok <- a$p > 0
//     cat(sum(a$c[ok]/a$p[ok] * a$s[ok]/T) * 1e5,                  # rate
//         sqrt(sum(a$c[ok]/a$p[ok]^2 * (a$s[ok]/T)^2)) * 1e5, "\n") # its SE
//   }
struct ValueCase {
  std::vector<std::vector<double>> rows;  // per group
  double dAdjustedRate;
  double dAdjustedRateSE;
};
const ValueCase kTwoYears[] = {
    {{{10, 3000, 300, 100.00000000000001, 31.622776601683793},
      {20, 4000, 300, 150.0, 33.541019662496851},
      {50, 5000, 400, 400.0, 56.568542494923804}},
     650.00000000000011,
     72.972597596632127},
    {{{1, 2400, 300, 10.0, 10.0},
      {15, 3000, 300, 120.0, 30.983866769659333},
      {0, 0, 400, 0, kMissing}},
     130.0,
     32.557641192199412},
};

TEST(kmCalculateRates, MergedGroupsOverTwoValuesMatchR) {
  kmCalculateRates rates(nullptr);
  // Columns in the order (count, code, std pop, pop) to check that the
  // column numbers are honoured.
  kmValueTable table{
      kmValueRows{{3, 0, 100, 1000},
                  {7, 1, 200, 2000},
                  {20, 2, 300, 4000},
                  {50, 3, 400, 5000}},
      kmValueRows{{1, 0, 100, 900},
                  {0, 1, 200, 1500},
                  {15, 2, 300, 3000},
                  {0, 3, 400, 0},
                  {4, 9, 250, 800}},
  };
  rates.ComputeAgeAdjRates_Clustering(table, 1, 0, 3, 2,
                                      Format({{0, 1}, {2}, {3}}));
  const kmValueTable result = rates.GetAgeAdjRateTable();
  ASSERT_EQ(result.size(), 2u);
  for (size_t v = 0; v < 2; ++v) {
    SCOPED_TRACE("value " + std::to_string(v));
    const ValueCase& expected = kTwoYears[v];
    ASSERT_EQ(result[v].size(), expected.rows.size());
    double dRate = 0.0;
    double dVariance = 0.0;
    for (size_t g = 0; g < expected.rows.size(); ++g) {
      SCOPED_TRACE("group " + std::to_string(g));
      ExpectRow(result[v][g], expected.rows[g]);
      dRate += result[v][g][3];
      if (result[v][g][4] != kMissing)
        dVariance += std::pow(result[v][g][4], 2);
    }
    // The shares add up to the directly standardised rate and the squared
    // standard errors to its variance.
    EXPECT_TRUE(RelNear(dRate, expected.dAdjustedRate, kTightRelTol));
    EXPECT_TRUE(
        RelNear(std::sqrt(dVariance), expected.dAdjustedRateSE, kTightRelTol));
  }
}

TEST(kmCalculateRates, EdgeCasesOfOneValue) {
  struct Case {
    const char* name;
    kmValueRows rows;  // (code, count, pop, std pop)
    std::vector<std::vector<double>> expected;
  };
  const Case cases[] = {
      // T = 0: every share is 0; positive count and population give SE 0.
      {"no standard population",
       {{0, 5, 1000, 0}, {1, 0, 800, 0}},
       {{5, 1000, 0, 0, 0}, {0, 800, 0, 0, kMissing}}},
      {"zero population",
       {{0, 5, 0, 500}, {1, 2, 1000, 500}},
       // R: share(2, 1000, 500, 1000) -> 100, 70.710678118654755
       {{5, 0, 500, 0, kMissing}, {2, 1000, 500, 100, 70.710678118654755}}},
      // A missing or out-of-range code joins no group; its standard
      // population still counts in T; code 1.9 truncates to 1 (R:
      // share(3, 1100, 750, 1500) -> 136.36363636363637,
      // 78.729582162221689).
      {"codes in no group",
       {{0, 0, 700, 0},
        {1, 2, 1000, 500},
        {-1e30, 3, 100, 500},
        {5e9, 1, 100, 250},
        {1.9, 1, 100, 250}},
       {{0, 700, 0, 0, kMissing},
        {3, 1100, 750, 136.36363636363637, 78.729582162221689}}},
      {"group without records",
       {{0, 4, 400, 100}},
       // R: share(4, 400, 100, 100) -> 1000, 500
       {{4, 400, 100, 1000, 500}, {0, 0, 0, 0, kMissing}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    kmCalculateRates rates(nullptr);
    rates.ComputeAgeAdjRates_Clustering(kmValueTable{c.rows}, 0, 1, 2, 3,
                                        Format({{0}, {1}}));
    const kmValueTable result = rates.GetAgeAdjRateTable();
    ASSERT_EQ(result.size(), 1u);
    ASSERT_EQ(result[0].size(), c.expected.size());
    for (size_t g = 0; g < c.expected.size(); ++g) {
      SCOPED_TRACE("group " + std::to_string(g));
      ExpectRow(result[0][g], c.expected[g]);
    }
  }
}

TEST(kmCalculateRates, EmptyTableGivesEmptyResult) {
  kmCalculateRates rates(nullptr);
  rates.ComputeAgeAdjRates_Clustering(
      kmValueTable{kmValueRows{{0, 1, 100, 100}}}, 0, 1, 2, 3, Format({{0}}));
  rates.ComputeAgeAdjRates_Clustering(kmValueTable(), 0, 1, 2, 3,
                                      KmVector<kmClusterFormat>());
  EXPECT_TRUE(rates.GetAgeAdjRateTable().empty());
}

TEST(kmCalculateRates, MalformedInputIsAClearError) {
  struct Case {
    const char* name;
    kmValueTable table;
    int iStdCol;
    KmVector<kmClusterFormat> formats;
    const char* message;
  };
  const Case cases[] = {
      {"short record", kmValueTable{kmValueRows{{0, 1, 100, 50}, {1, 2, 100}}},
       3, Format({{0}, {1}}),
       "Record 2 of independent value number 1 holds 3 values; the "
       "age-adjusted rate calculation reads column 3."},
      {"negative column", kmValueTable{kmValueRows{{0, 1, 100, 50}}}, -1,
       Format({{0}}),
       "Invalid column number -1 for the age-adjusted rate calculation."},
      {"no cluster format", kmValueTable{kmValueRows{{0, 1, 100, 50}}}, 3,
       KmVector<kmClusterFormat>(),
       "No adjustment-group format was given for the age-adjusted rates of "
       "the cohort."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    kmCalculateRates rates(nullptr);
    rates.ComputeAgeAdjRates_Clustering(
        kmValueTable{kmValueRows{{0, 1, 100, 50}}}, 0, 1, 2, 3, Format({{0}}));
    const KmException e = km_test::CatchKmException([&] {
      rates.ComputeAgeAdjRates_Clustering(c.table, 0, 1, 2, c.iStdCol,
                                          c.formats);
    });
    EXPECT_STREQ(e.GetMessage(), c.message);
    EXPECT_NE(std::string(e.GetCallPath())
                  .find("ComputeAgeAdjRates_Clustering() of "
                        "kmCalculateRates"),
              std::string::npos);
    // No result of an earlier cohort survives a failed computation.
    EXPECT_TRUE(rates.GetAgeAdjRateTable().empty());
  }
}

TEST(SwapFirstTwoColumns, SwapsEveryRowThatHasTwoValues) {
  kmValueRows rows{{1, 2, 3, 4}, {5, 6}, {7}, {}};
  SwapFirstTwoColumns(&rows);
  EXPECT_EQ(rows, (kmValueRows{{2, 1, 3, 4}, {6, 5}, {7}, {}}));
  SwapFirstTwoColumns(nullptr);
}

}  // namespace
