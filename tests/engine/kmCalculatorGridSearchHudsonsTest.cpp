// The grid search of a permuted data set under Hudson's method
// (GridSearchForHudsons): the smallest residual sum of squares of column 2
// of the data, checked against a brute-force search in R and against
// GridSearch, and what the call must leave untouched.
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
// The SSE comes from a (k + 2)-dimensional solve of cross products; R fits
// by QR on the observations.
constexpr double kQTol = 1e-9;
// Entries of the residual-sum vector and profile the call must not touch.
constexpr double kUntouched = 7.25;

// Cohort x = 0..11 with weights kW; grid e = 2, b = 2, g = 1 (17
// candidates 1.5, 2, ..., 9.5; a following kinkmark starts 3 intervals on).
const std::vector<double> kY = {3.1, 2.4, 2.9, 4.8, 6.1, 7.9,
                                8.2, 7.1, 6.0, 6.4, 7.9, 9.6};
const std::vector<double> kW = {1, 2, 0.5, 1.5, 1, 3, 2, 1, 0.7, 1.2, 2.5, 1};
// A first (observed) column unlike kY, so a search that read it would fail.
const std::vector<double> kObserved = {9.0, 1.0, 8.0, 2.0, 7.0, 3.0,
                                       6.0, 4.0, 5.0, 5.5, 0.5, 10.0};

// A calculator whose pDataY holds col1 and col2, with the grid and the
// cross products of the full design, diagonal weights (mode 0).
struct PermCalculator : km_engine_test::LoadedCalculator {
  PermCalculator(const std::vector<double>& col1,
                 const std::vector<double>& col2, int iNumCols = 2)
      : LoadedCalculator(
            km_engine_test::Observations(
                km_engine_test::Sequence(static_cast<int>(col1.size())), col1,
                kW),
            [](kmSession& s) {
              s.SetInt(kmOptGridPointsBetween, 1);
              s.SetInt(kmOptAutocorrErrors, 0);
            }) {
    if (iNumCols >= 2) SetResponseColumns({col1, col2});
    K = calc->FindGridPoints(2, 2, 1);
    calc->PreCalcXWX();
  }
  int16_t K = 0;
};

// Inputs and outputs of one call, with sentinels in what must not change.
struct PermOut {
  ColumnVector vLocations, vEstimates, vResidSum;
  Matrix mProfile;
};

PermOut RunPerm(PermCalculator& pc, int j, uint16_t k,
                KmProgressInterface* pProgress) {
  PermOut out;
  out.vResidSum.ReSize(4);
  out.vResidSum = kUntouched;
  out.vEstimates.ReSize(1);
  out.vEstimates = 3.0;
  out.mProfile.ReSize(3, 2);
  out.mProfile = kUntouched;
  pc.calc->GridSearchForHudsons(j, 2, k, out.vLocations, out.vEstimates,
                                out.vResidSum, pc.K, out.mProfile, pProgress);
  return out;
}

// Reports a cancellation after iAllowed polls.
class CancelAfter : public KmNullProgress {
 public:
  explicit CancelAfter(int iAllowed) : iAllowed_(iAllowed) {}
  bool IsCancelled() const override { return iCalls_++ >= iAllowed_; }

 private:
  int iAllowed_;
  mutable int iCalls_ = 0;
};

// Expected values: R 4, brute force over every admissible combination
// p_1 < ... < p_k of the grid, the smallest weighted SSE for each k:
//   x <- 0:11; y <- kY; w <- kW
//   G <- c(1.5, seq(2, 9.5, 0.5)); K <- length(G)
//   aux <- function(p) 2 * (p %/% 2) + 5
//   Q <- function(ps) { X <- cbind(1, x)
//     for (p in ps) X <- cbind(X, pmax(x - G[p], 0))
//     f <- lm.wfit(X, y, w); sum(w * f$residuals^2) }
//   best <- function(k) { b <- 1e50
//     rec <- function(ps, from) {
//       if (length(ps) == k) { b <<- min(b, Q(ps)); return() }
//       if (from > K) return()
//       for (p in from:K) rec(c(ps, p), aux(p)) }
//     rec(integer(0), 1); b }
//   for (k in 0:3) cat(k, sprintf("%.13g", best(k)), "\n")
struct BruteCase {
  uint16_t k;
  double dQ;
};
const BruteCase kBruteCases[] = {
    {0, 29.27352776087},
    {1, 11.99637240164},
    {2, 4.091538156386},
    {3, 0.1014896440264},
};

TEST(GridSearchForHudsons, RecordsSmallestPermutedSSEOnlyInItsEntry) {
  PermCalculator pc(kObserved, kY);
  ASSERT_EQ(pc.K, 17);
  for (const BruteCase& bc : kBruteCases) {
    SCOPED_TRACE("k = " + std::to_string(bc.k));
    const int j = 3;
    PermOut out = RunPerm(pc, j, bc.k, nullptr);
    EXPECT_TRUE(km_test::RelNear(out.vResidSum(j), bc.dQ, kQTol))
        << out.vResidSum(j) << " vs " << bc.dQ;
    for (int i = 1; i <= out.vResidSum.Nrows(); ++i) {
      if (i != j) {
        EXPECT_EQ(out.vResidSum(i), kUntouched) << "entry " << i;
      }
    }
    ASSERT_EQ(out.vEstimates.Nrows(), 3 * bc.k + 2);
    for (int i = 1; i <= out.vEstimates.Nrows(); ++i) {
      EXPECT_EQ(out.vEstimates(i), 0.0);
    }
    ASSERT_EQ(out.mProfile.Nrows(), 3);
    ASSERT_EQ(out.mProfile.Ncols(), 2);
    for (int r = 1; r <= 3; ++r) {
      for (int c = 1; c <= 2; ++c) EXPECT_EQ(out.mProfile(r, c), kUntouched);
    }
    // mWork: the leading 2 x 2 block of the full X'WX, zeros elsewhere.
    ASSERT_EQ(CalcMembers(*pc.calc).mWork.Nrows(), bc.k + 2);
    for (int r = 1; r <= bc.k + 2; ++r) {
      for (int c = 1; c <= bc.k + 2; ++c) {
        EXPECT_EQ(CalcMembers(*pc.calc).mWork(r, c),
                  r <= 2 && c <= 2 ? (*CalcMembers(*pc.calc).pXWX)(r, c) : 0.0);
      }
    }
  }
}

TEST(GridSearchForHudsons, IdenticalDataSetMatchesGridSearch) {
  PermCalculator pc(kY, kY);
  for (uint16_t k = 0; k <= 3; ++k) {
    SCOPED_TRACE("k = " + std::to_string(k));
    ColumnVector vLoc, vEst, vGrid(1);
    Matrix mProfile;
    pc.calc->GridSearch(1, k, vLoc, vEst, vGrid, pc.K, mProfile, nullptr);
    PermOut out = RunPerm(pc, 2, k, nullptr);
    EXPECT_TRUE(km_test::RelNear(out.vResidSum(2), vGrid(1), kQTol))
        << out.vResidSum(2) << " vs " << vGrid(1);
  }
}

TEST(GridSearchForHudsons, NoAdmissibleCombinationLeavesNoFitWithoutError) {
  // Six kinkmarks 3 intervals apart do not fit on 17 candidates.
  PermCalculator pc(kObserved, kY);
  PermOut out;
  ASSERT_NO_THROW(out = RunPerm(pc, 2, 6, nullptr));
  EXPECT_EQ(out.vResidSum(2), kNoFit);
  EXPECT_EQ(out.vResidSum(1), kUntouched);
  EXPECT_EQ(out.vEstimates.Nrows(), 20);
}

TEST(GridSearchForHudsons, CancellationStopsWithoutRaising) {
  PermCalculator pc(kObserved, kY);
  // Cancelled before the first candidate: nothing fitted.
  CancelAfter none(0);
  PermOut out = RunPerm(pc, 2, 1, &none);
  EXPECT_EQ(out.vResidSum(2), kNoFit);
  // Cancelled part-way (each one-kinkmark model takes nine polls, one per
  // level): the value is one of the models fitted so far, no smaller than
  // the full search's.
  CancelAfter some(30);
  out = RunPerm(pc, 2, 1, &some);
  EXPECT_LT(out.vResidSum(2), kNoFit);
  EXPECT_GE(out.vResidSum(2), kBruteCases[1].dQ * (1 - kQTol));
}

// Records the range the search announces and the first and last position
// it sets.
class RangeRecorder : public KmNullProgress {
 public:
  void SetRange(int32_t iMinimum, int32_t iMaximum) override {
    iMin = iMinimum;
    iMax = iMaximum;
  }
  int32_t GetMinimum() const override { return iMin; }
  int32_t GetMaximum() const override { return iMax; }
  void SetPosition(int32_t iPosition) override {
    if (iFirstPos < 0) iFirstPos = iPosition;
    iPos = iPosition;
  }
  int32_t iMin = -1, iMax = -1, iFirstPos = -1, iPos = -1;
};

TEST(GridSearchForHudsons, AnnouncesCandidateRangeToProgress) {
  PermCalculator pc(kObserved, kY);
  const struct {
    uint16_t k;
    int32_t iFirst;
  } kCases[] = {{0, 17}, {1, 1}, {2, 1}};
  for (const auto& tc : kCases) {
    SCOPED_TRACE("k = " + std::to_string(tc.k));
    RangeRecorder progress;
    RunPerm(pc, 2, tc.k, &progress);
    EXPECT_EQ(progress.iMin, tc.iFirst);
    EXPECT_EQ(progress.iMax, 17);
    // From the minimum to the maximum as the combinations are fitted.
    EXPECT_EQ(progress.iFirstPos, tc.iFirst);
    EXPECT_EQ(progress.iPos, 17);
  }
}

TEST(GridSearchForHudsons, RefusesBadArguments) {
  struct RefusalCase {
    const char* name;
    int j;
    uint16_t k;
    int iNumDataCols;
  };
  const RefusalCase kCases[] = {
      {"data set 0", 0, 1, 2},
      {"data set past the residual-sum vector", 5, 1, 2},
      {"ten kinkmarks", 2, 10, 2},
      {"no permuted column", 2, 1, 1},
  };
  for (const RefusalCase& rc : kCases) {
    SCOPED_TRACE(rc.name);
    PermCalculator pc(kObserved, kY, rc.iNumDataCols);
    const KmException e =
        km_test::CatchKmException([&] { RunPerm(pc, rc.j, rc.k, nullptr); });
    EXPECT_NE(std::string(e.GetCallPath()).find("GridSearchForHudson()"),
              std::string::npos)
        << e.GetCallPath();
  }
}

}  // namespace
