// The grid search for a given number of kinkmarks (GridSearch), checked
// against a brute-force search in R over every admissible placement, and on
// its tie rule, cancellation and refusals.
#include <gtest/gtest.h>
#include <newmat.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "foundation/KmProgressInterface.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/engine/LoadedCalculator.h"
#include "tests/engine/kmCalculatorTestPeer.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr double kNoFit = 1e50;
// Q and the estimates come from a (k + 2)-dimensional solve of cross
// products; R fits by QR on the observations.
constexpr double kQTol = 1e-9;
constexpr double kCoefTol = 1e-7;

// A calculator with the cohort (xs, ys, weights), the grid of (e, b, g), the
// cross products of the full design and diagonal weights (mode 0).
struct SearchCalculator : km_engine_test::LoadedCalculator {
  SearchCalculator(const std::vector<double>& xs, const std::vector<double>& ys,
                   const std::vector<double>& ws, int e, int b, int g)
      : LoadedCalculator(km_engine_test::Observations(xs, ys, ws),
                         [g](kmSession& s) {
                           s.SetInt(kmOptGridPointsBetween, g);
                           s.SetInt(kmOptAutocorrErrors, 0);
                         }) {
    K = calc->FindGridPoints(static_cast<int16_t>(e), b, g);
    calc->PreCalcXWX();
  }
  int16_t K = 0;
};

// Outputs of one GridSearch call.
struct SearchOut {
  ColumnVector vLocations, vEstimates, vResidSum;
  Matrix mProfile;
};

SearchOut RunSearch(SearchCalculator& sc, uint16_t k,
                    KmProgressInterface* pProgress) {
  SearchOut out;
  out.vResidSum.ReSize(1);
  sc.calc->GridSearch(1, k, out.vLocations, out.vEstimates, out.vResidSum, sc.K,
                      out.mProfile, pProgress);
  return out;
}

std::vector<double> Range(int n) {
  std::vector<double> xs;
  for (int i = 0; i < n; ++i) xs.push_back(i);
  return xs;
}

// Cohort of the R brute force: x = 0..11, e = 2, b = 2, g = 1 (17
// candidates 1.5, 2, ..., 9.5; a following kinkmark starts 3 intervals on).
const std::vector<double> kY = {3.1, 2.4, 2.9, 4.8, 6.1, 7.9,
                                8.2, 7.1, 6.0, 6.4, 7.9, 9.6};
const std::vector<double> kW = {1, 2, 0.5, 1.5, 1, 3, 2, 1, 0.7, 1.2, 2.5, 1};

struct BruteCase {
  uint16_t k;
  int iNumFits;
  double dQ;
  std::vector<double> locations;
  std::vector<double> estimates;
  // Row p of the profile matrix (k values each); K rows.
  std::vector<std::vector<double>> profile;
};

// Expected values: R 4, for each k every admissible combination p_1 < ... <
// p_k (p_1 from 1, p_{j+1} from aux[p_j]) fitted by
//   f <- lm.wfit(cbind(1, x, pmax(x - G[p_1], 0), ...), y, w)
//   Q <- sum(w * f$residuals^2)
// keeping the first strictly smaller Q and per (p, j) the smallest Q;
// estimates unpacked to segment intercepts, slopes and slope changes.
const double N = kNoFit;
const BruteCase kBruteCases[] = {
    {0, 1, 29.27352776087, {}, {3.41512582868828, 0.527648729119754}, {}},
    {1,
     17,
     11.9963724016428,
     {5},
     {1.73357431549566, 7.03546286879091, 1.14495313180543, 0.0845754211463798,
      -1.06037771065905},
     {{26.5656489017279},
      {24.4904648843814},
      {21.9888020259398},
      {20.4148391779528},
      {17.480737048237},
      {15.4202088706238},
      {13.3128400914703},
      {11.9963724016428},
      {12.7940699489422},
      {14.3037213488317},
      {16.8700832033347},
      {20.0015527835932},
      {22.4382387104662},
      {25.2955145249636},
      {27.0128351670024},
      {28.7594593717117},
      {29.1556920213971}}},
    {2,
     85,
     4.09153815638556,
     {5.5, 8.5},
     {1.62145317965774, 13.2158822671295, -7.36722037545423, 1.21963964745965,
      -0.888438368444307, 1.53310311891849, -2.10807801590396,
      2.42154148736279},
     {{8.72941436800319, N},
      {9.23299623476052, N},
      {9.80227014002361, N},
      {12.2314701471362, N},
      {12.4833737923231, 11.652142215813},
      {11.9621745167006, 10.4736480545441},
      {8.21096043124638, 8.91412490392163},
      {5.5095474351868, 8.72941436800319},
      {4.09153815638556, 10.5415309757707},
      {4.10879060655467, 13.2104877272279},
      {5.02009661548045, 13.2064041040372},
      {11.6518838098425, 12.5547111462268},
      {13.8659161358895, 5.96902357661916},
      {N, 4.80399761363708},
      {N, 4.09153815638556},
      {N, 4.43059297261253},
      {N, 5.23520998951386}}},
    {3,
     129,
     0.10148964402644,
     {1.5, 5.5, 8.5},
     {3.06162284129824, -0.306970876060368, 14.6034862464433, -8.2339427884486,
      -0.604057103245594, 1.64167204166014, -1.06932016243144, 1.61743619461467,
      2.24572914490574, -2.71099220409158, 2.68675635704611},
     {{0.10148964402644, N, N},
      {0.567715652262602, N, N},
      {1.22341920973621, N, N},
      {1.92895519089874, N, N},
      {2.02596809169245, 7.9947135540577, N},
      {5.00466427563865, 5.86370991814867, N},
      {4.73031134436695, 2.30405749030444, N},
      {5.86811831028186, 1.25025455727882, N},
      {4.47367383019081, 0.10148964402644, 9.76538051731459},
      {N, 1.86938017825018, 10.6304181300756},
      {N, 3.325464373525, 7.93396290898828},
      {N, 7.75802197717042, 6.82697732990151},
      {N, 4.47367383019081, 1.57370275764795},
      {N, N, 0.639430287876766},
      {N, N, 0.10148964402644},
      {N, N, 0.860395034293652},
      {N, N, 1.78271473638248}}},
};

void ExpectNearOrNoFit(double actual, double expected) {
  if (expected == kNoFit) {
    EXPECT_EQ(actual, kNoFit);
  } else {
    EXPECT_TRUE(km_test::RelNear(actual, expected, kQTol));
  }
}

TEST(GridSearch, MatchesBruteForceOverEveryPlacement) {
  for (const BruteCase& c : kBruteCases) {
    SCOPED_TRACE(testing::Message() << "k = " << c.k);
    SearchCalculator sc(Range(12), kY, kW, 2, 2, 1);
    ASSERT_EQ(sc.K, 17);
    KmNullProgress progress;
    const SearchOut out = RunSearch(sc, c.k, &progress);
    EXPECT_TRUE(km_test::RelNear(out.vResidSum(1), c.dQ, kQTol));
    ASSERT_EQ(out.vLocations.Nrows(), c.k);
    for (int j = 1; j <= c.k; ++j) {
      EXPECT_DOUBLE_EQ(out.vLocations(j), c.locations[j - 1]) << j;
    }
    ASSERT_EQ(out.vEstimates.Nrows(), 3 * c.k + 2);
    for (int i = 1; i <= 3 * c.k + 2; ++i) {
      EXPECT_TRUE(
          km_test::RelNear(out.vEstimates(i), c.estimates[i - 1], kCoefTol))
          << i;
    }
    ASSERT_EQ(out.mProfile.Nrows(), sc.K);
    ASSERT_EQ(out.mProfile.Ncols(), c.k);
    for (int p = 1; p <= sc.K && c.k > 0; ++p) {
      for (int j = 1; j <= c.k; ++j) {
        SCOPED_TRACE(testing::Message() << "profile " << p << "," << j);
        ExpectNearOrNoFit(out.mProfile(p, j), c.profile[p - 1][j - 1]);
      }
    }
    // mWork is the X'WX of the best model: the intercept column's weight
    // total and, for k >= 1, the hinge columns of the best candidates.
    ASSERT_EQ(CalcMembers(*sc.calc).mWork.Nrows(), c.k + 2);
    EXPECT_DOUBLE_EQ(CalcMembers(*sc.calc).mWork(1, 1),
                     (*CalcMembers(*sc.calc).pXWX)(1, 1));
    for (int j = 1; j <= c.k; ++j) {
      const int col = static_cast<int>(2 * (c.locations[j - 1] - 1.0)) + 2;
      EXPECT_EQ(CalcMembers(*sc.calc).mWork(j + 2, j + 2),
                (*CalcMembers(*sc.calc).pXWX)(col, col));
    }
  }
}

TEST(GridSearch, SegmentLinesMeetAtEachKinkmark) {
  SearchCalculator sc(Range(12), kY, kW, 2, 2, 1);
  const SearchOut out = RunSearch(sc, 3, nullptr);
  for (int j = 1; j <= 3; ++j) {
    SCOPED_TRACE(j);
    const double tau = out.vLocations(j);
    const double left = out.vEstimates(j) + out.vEstimates(3 + 1 + j) * tau;
    const double right =
        out.vEstimates(j + 1) + out.vEstimates(3 + 2 + j) * tau;
    EXPECT_NEAR(left, right, 1e-9);
  }
}

TEST(GridSearch, FirstOfEqualFitsWins) {
  // Candidate 1 (x = 2) is given the hinge column of candidate 3 (x = 4,
  // the true kink), so both fit exactly with bit-for-bit the same Q but
  // different locations: the search must keep the earlier one (strict
  // comparison), and both profile cells hold that Q.
  SearchCalculator sc(Range(10), {1, 2, 3, 4, 5, 9, 13, 17, 21, 25},
                      std::vector<double>(10, 1.0), 2, 0, 0);
  ASSERT_EQ(sc.K, 6);  // candidates x = 2..7
  for (int r = 1; r <= 10; ++r) {
    (*CalcMembers(*sc.calc).pX0)(r, 1 + 2) =
        (*CalcMembers(*sc.calc).pX0)(r, 3 + 2);
  }
  sc.calc->PreCalcXWX();
  const SearchOut out = RunSearch(sc, 1, nullptr);
  EXPECT_EQ(out.vLocations(1), 2.0);
  EXPECT_EQ(out.mProfile(1, 1), out.mProfile(3, 1));
  EXPECT_EQ(out.vResidSum(1), out.mProfile(1, 1));
  for (int p = 1; p <= 6; ++p)
    EXPECT_LE(out.mProfile(1, 1), out.mProfile(p, 1));
}

TEST(GridSearch, PairsRespectTheSpacingRule) {
  // n = 10, g = 0, e = b = 2: the pairs are (1,4), (1,5), (1,6), (2,5),
  // (2,6), (3,6); cells (4..6, 1) and (1..3, 2) are never fitted.
  SearchCalculator sc(Range(10), {2, 1, 4, 3, 6, 5, 8, 7, 10, 9},
                      std::vector<double>(10, 1.0), 2, 2, 0);
  ASSERT_EQ(sc.K, 6);
  const SearchOut out = RunSearch(sc, 2, nullptr);
  for (int p = 1; p <= 6; ++p) {
    SCOPED_TRACE(p);
    EXPECT_EQ(out.mProfile(p, 1) == kNoFit, p >= 4);
    EXPECT_EQ(out.mProfile(p, 2) == kNoFit, p <= 3);
  }
}

TEST(GridSearch, KinkmarksNeverShareACandidate) {
  // With no observations required between kinkmarks, the spacing index of
  // candidate 1 points at candidate 1 itself (tied years, e = 1, b = 0,
  // g = 1); the search used to fit the same hinge twice as a "two-kinkmark"
  // model. Kinkmark 2 must never stand at candidate 1.
  SearchCalculator sc({0, 1, 1, 2, 3}, {1, 3, 2, 5, 4}, {1, 1, 1, 1, 1}, 1, 0,
                      1);
  ASSERT_EQ(sc.K, 7);
  ASSERT_EQ((*CalcMembers(*sc.calc).pGridAux)(1), 1.0);
  const SearchOut out = RunSearch(sc, 2, nullptr);
  EXPECT_EQ(out.mProfile(1, 2), kNoFit);
  EXPECT_LT(out.vLocations(1), out.vLocations(2));
}

TEST(GridSearch, RefusesWhatCannotBeSearched) {
  struct Case {
    const char* sName;
    int iNumDataSets;
    uint16_t k;
    const char* sMessage;  // empty: any message
  };
  const Case kCases[] = {
      // Three kinkmarks need 3 (b + 1) candidates; only 6 exist.
      {"too many kinkmarks for the grid", 1, 3,
       "Cannot place kinkmark 3 in GridSearch."},
      {"more than nine kinkmarks", 1, 10, ""},
      {"several data sets", 2, 1, ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    SearchCalculator sc(Range(10), Range(10), std::vector<double>(10, 1.0), 2,
                        2, 0);
    SearchOut out;
    const KmException ex = km_test::CatchKmException([&] {
      sc.calc->GridSearch(c.iNumDataSets, c.k, out.vLocations, out.vEstimates,
                          out.vResidSum, sc.K, out.mProfile, nullptr);
    });
    if (*c.sMessage != '\0') {
      EXPECT_STREQ(ex.GetMessage(), c.sMessage);
    }
    EXPECT_NE(std::string(ex.GetCallPath()).find("GridSearch()"),
              std::string::npos)
        << ex.GetCallPath();
  }
}

// Reports a cancellation from the (iAllowed + 1)-th query on.
class CancelAfter : public KmNullProgress {
 public:
  explicit CancelAfter(int iAllowed) : iAllowed_(iAllowed) {}
  bool IsCancelled() const override { return iCalls_++ >= iAllowed_; }

 private:
  int iAllowed_;
  mutable int iCalls_ = 0;
};

TEST(GridSearch, CancelledSearchReturnsWithoutUnpacking) {
  // p_1 = 1 takes 1 + 13 queries (one per fit of kinkmark 2).
  const int kAllowed[] = {0, 14};
  for (int iAllowed : kAllowed) {
    SCOPED_TRACE(iAllowed);
    SearchCalculator sc(Range(12), kY, kW, 2, 2, 1);
    CancelAfter progress(iAllowed);
    const SearchOut out = RunSearch(sc, 2, &progress);
    for (int j = 1; j <= 2; ++j) EXPECT_EQ(out.vLocations(j), 0.0);
    for (int i = 1; i <= 8; ++i) EXPECT_EQ(out.vEstimates(i), 0.0);
    // Cells visited before the cancellation keep their Q; kinkmark 1 never
    // reaches candidate 13.
    EXPECT_EQ(out.mProfile(13, 1), kNoFit);
    if (iAllowed == 0) {
      EXPECT_EQ(out.vResidSum(1), kNoFit);
      EXPECT_EQ(out.mProfile(1, 1), kNoFit);
    } else {
      EXPECT_LT(out.vResidSum(1), kNoFit);
      EXPECT_TRUE(
          km_test::RelNear(out.mProfile(1, 1), 8.72941436800319, kQTol));
    }
  }
}

}  // namespace
