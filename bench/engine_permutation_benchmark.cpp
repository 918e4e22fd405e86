// Benchmarks of one cohort's model selection by permutation tests, and of
// the cost of one candidate placement of the grid search:
//   BM_HudsonPermutationTest/<rule>  SelModESR with the B-value (0),
//                                    curtailed (1) and fixed (2) stopping
//                                    rules;
//   BM_GridPermutationTest           SelMod, the grid-search driver, on the
//                                    same cohort and options;
//   BM_PlacementCost/k               the searches with k kinkmarks over
//                                    that cohort's candidates, per placement,
//                                    against a plain Cholesky loop over the
//                                    same cross products (see below);
//   BM_SelectionGrowth/n/kmax/method one cohort's selection by BIC for
//                                    series of n observations;
//   BM_HudsonTableBytes/k            the bytes Hudson's tables keep per
//                                    cell.
// Thread CPU times, so that other load on the machine enters the ratios
// as little as it can.
// The cohort: 30 yearly observations with one clear change of slope and a
// small fixed disturbance; 0 to 3 kinkmarks, 4499 permutations per test,
// alpha 0.05, no grid points between observations. The counter "data_sets"
// is the number of data sets the tests fitted (observed one included).
//
// Figures and the machine they were taken on: the README's performance
// section.
#include <benchmark/benchmark.h>
#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <memory>
#include <vector>

#include "engine/kmCalculator.h"
#include "engine/kmQMatrix.h"
#include "engine/kmUpperTriangularMatrix.h"
#include "foundation/KmProgressInterface.h"
#include "models/ForAllKinkMKAction.h"
#include "results/kmCalcData.h"
#include "results/kmFTest.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/engine/kmCalculatorTestPeer.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr int kN = 30;

// Slope 0.03 for twelve years, then -0.02, plus a disturbance of at most
// 0.02 from a fixed linear congruential sequence.
double Response(int i) {
  static unsigned uState = 0;
  if (i == 0) uState = 2024u;
  uState = uState * 1103515245u + 12345u;
  const double e = ((uState >> 8) % 20001) / 10000.0 - 1.0;
  return 1.0 + 0.03 * i - 0.05 * (i > 12 ? i - 12 : 0) + 0.02 * e;
}

// Runs the selection of one cohort of n observations with the given fitting
// method (0 grid search, 1 Hudson's), stopping rule, maximum number of
// kinkmarks and selection method (0 permutation tests, 1 BIC) and returns
// the data sets its tests fitted.
long RunCohort(int iFitMethod, int iStopping, int n = kN, int iMaxKinkmarks = 3,
               int iSelection = 0) {
  kmSession session;
  session.SetInt(kmOptMethod, iFitMethod);
  session.SetInt(kmOptModelSelection, iSelection);
  session.SetInt(kmOptMinKinkmarks, 0);
  session.SetInt(kmOptMaxKinkmarks, iMaxKinkmarks);
  session.SetInt(kmOptMinObsEnd, 2);
  session.SetInt(kmOptMinObsBetween, 2);
  session.SetInt(kmOptGridPointsBetween, 0);
  session.SetBool(kmOptLogLinear, true);
  session.SetInt(kmOptAutocorrErrors, 0);
  session.SetInt(kmOptNumPermutations, 4499);
  session.SetInt(kmOptEarlyStopping, iStopping);
  session.SetInt(kmOptPermutationSeed, 7160);
  session.SetDouble(kmOptPermSignificance, 0.05);
  session.SetInt(kmOptAAPCCIMethod, 0);
  session.ClearObservationCounts();
  session.AddObservationCount(n);
  kmCalculator calc(&session);
  calc.LoadCalcMembers(nullptr, 0);
  calc.SetNumObservations(n);
  calc.CreateObservations(n);
  for (int i = 1; i <= n; ++i) {
    calc.SetObservation(i, 1990.0 + i - 1, Response(i - 1), 1.0, 0.1);
  }
  kmCalcData data;
  if (iFitMethod == 1) {
    calc.SelModESR(&data, nullptr, 0);
  } else {
    calc.SelMod(&data, nullptr, 0, 0);
  }
  long lDataSets = 0;
  for (const kmFTest& test : data.vFTests) lDataSets += test.lNumPermutations;
  return lDataSets;
}

void BM_HudsonPermutationTest(benchmark::State& state) {
  long lDataSets = 0;
  for (auto _ : state) {
    lDataSets = RunCohort(1, static_cast<int>(state.range(0)));
  }
  state.counters["data_sets"] = static_cast<double>(lDataSets);
}
BENCHMARK(BM_HudsonPermutationTest)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_GridPermutationTest(benchmark::State& state) {
  long lDataSets = 0;
  for (auto _ : state) lDataSets = RunCohort(0, 2);
  state.counters["data_sets"] = static_cast<double>(lDataSets);
}
BENCHMARK(BM_GridPermutationTest)->Unit(benchmark::kMillisecond)->Iterations(1);

// CPU seconds of the calling thread.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Thread CPU seconds per call of f: f runs in batches, doubling until one
// batch takes a tenth of a second, so that reading the clock does not enter
// the figure.
template <typename F>
double SecondsPerCall(F&& f) {
  for (long lCalls = 1;; lCalls *= 2) {
    const double dStart = ThreadSeconds();
    for (long i = 0; i < lCalls; ++i) f();
    const double dElapsed = ThreadSeconds() - dStart;
    if (dElapsed >= 0.1) return dElapsed / static_cast<double>(lCalls);
  }
}

// The growth of one cohort's selection by BIC (every number of kinkmarks
// fitted once, no permutations) with the number of observations n and the
// maximum number of kinkmarks: arguments n, kmax and the fitting method (0
// grid search, 1 Hudson's). Reports the CPU seconds; kinkmarks on the
// observations, two observations kept at the ends and between kinkmarks.
void BM_SelectionGrowth(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const int kmax = static_cast<int>(state.range(1));
  const int iFitMethod = static_cast<int>(state.range(2));
  double dSeconds = 0.0;
  for (auto _ : state) {
    const double dStart = ThreadSeconds();
    RunCohort(iFitMethod, 2, n, kmax, 1);
    dSeconds = ThreadSeconds() - dStart;
  }
  state.counters["seconds"] = dSeconds;
}
BENCHMARK(BM_SelectionGrowth)
    ->ArgsProduct({{20, 30, 50, 100, 200}, {2, 3, 4, 5}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// A calculator holding the benchmark cohort with its candidate grid (no
// points between observations, two observations at the ends and between
// kinkmarks), cross products and weights prepared as the grid-search
// driver prepares them, and the observed data in column 1 of D response
// columns, the others the observed data plus a small fixed disturbance.
struct PreparedCohort {
  explicit PreparedCohort(int D) {
    session.SetInt(kmOptMinObsEnd, 2);
    session.SetInt(kmOptMinObsBetween, 2);
    session.SetInt(kmOptGridPointsBetween, 0);
    session.SetInt(kmOptAutocorrErrors, 0);
    session.ClearObservationCounts();
    session.AddObservationCount(kN);
    calc = std::make_unique<kmCalculator>(&session);
    calc->LoadCalcMembers(nullptr, 0);
    calc->SetNumObservations(kN);
    Matrix mX(kN, 2);
    Matrix mY(kN, D);
    ColumnVector vW(kN);
    Matrix mAux(kN, 1);
    unsigned uState = 99u;
    for (int i = 1; i <= kN; ++i) {
      mX(i, 1) = 1.0;
      mX(i, 2) = i - 1.0;
      const double y = Response(i - 1);
      for (int d = 1; d <= D; ++d) {
        uState = uState * 1103515245u + 12345u;
        mY(i, d) = y + (d > 1 ? ((uState >> 8) % 2001) / 100000.0 : 0.0);
      }
      vW(i) = 1.0;
      mAux(i, 1) = 0.1;
    }
    calc->LoadObservations(mX, 2, mY, vW, mAux);
    Matrix mA;
    Matrix mL;
    calc->WLSWgt(0.0, mA, mL);
    calc->SetWeightRoots(mA, mL);
    K = calc->FindGridPoints(2, 2, 0);
    calc->PreCalcXWX();
  }

  // Admissible placements of k kinkmarks on the grid, counted with the
  // search's own enumeration.
  long Placements(int k) const {
    if (k == 0) return 1;
    ColumnVector vSuccessors(K);
    for (int p = 1; p <= K; ++p)
      vSuccessors(p) = (*CalcMembers(*calc).pGridAux)(p);
    ColumnVector T(k);
    long lCount = 0;
    if (!ForAllKinkMKAction::first_TauIndices(T, vSuccessors)) return 0;
    do {
      ++lCount;
    } while (ForAllKinkMKAction::next_TauIndices(T, vSuccessors));
    return lCount;
  }

  kmSession session;
  std::unique_ptr<kmCalculator> calc;
  int16_t K = 0;
};

// The yardstick of a placement: the same enumeration of placements as the
// searches, each fitted by a plain Cholesky solve of its (k + 2) x (k + 2)
// system gathered by index from the same precomputed cross products, with
// its residual sum Y'WY - b'X'WY. No aliased columns, no library objects.
// This file is built at the flags that make this loop fastest
// (bench/CMakeLists.txt).
class PlainCholeskyLoop {
 public:
  PlainCholeskyLoop(const PreparedCohort& cohort, int k) : k_(k), K_(cohort.K) {
    const NEWMAT::SymmetricMatrix& mXWX = *CalcMembers(*cohort.calc).pXWX;
    const int iCols = K_ + 2;
    xwx_.assign(static_cast<size_t>(iCols * iCols), 0.0);
    for (int i = 1; i <= iCols; ++i) {
      for (int j = 1; j <= iCols; ++j)
        xwx_[(i - 1) * iCols + j - 1] = mXWX(i, j);
    }
    Matrix mXWY;
    ColumnVector vYWY(1);
    Matrix mLine;
    ColumnVector vOnes(kN);
    vOnes = 1.0;
    cohort.calc->PreCalcXWYAboutLine(1, vOnes, mXWY, vYWY, mLine);
    xwy_.resize(static_cast<size_t>(iCols));
    for (int i = 1; i <= iCols; ++i) xwy_[i - 1] = mXWY(i, 1);
    ywy_ = vYWY(1);
    for (int c = 1; c <= K_; ++c) {
      next_.push_back(
          static_cast<int>((*CalcMembers(*cohort.calc).pGridAux)(c)));
    }
  }

  // The smallest residual sum over every placement.
  double Run() {
    best_ = 1e50;
    cols_[0] = 1;
    cols_[1] = 2;
    Place(0, 1);
    return best_;
  }

 private:
  void Place(int iLevel, int iFirst) {
    if (iLevel == k_) {
      Fit();
      return;
    }
    for (int c = iFirst; c <= K_; ++c) {
      cols_[iLevel + 2] = c + 2;
      Place(iLevel + 1, std::max(next_[c - 1], c + 1));
    }
  }

  void Fit() {
    const int p = k_ + 2;
    const int iCols = K_ + 2;
    double l[16 * 16];
    double b[16];
    for (int i = 0; i < p; ++i) {
      const double* pRow = &xwx_[(cols_[i] - 1) * iCols];
      for (int j = 0; j <= i; ++j) l[i * p + j] = pRow[cols_[j] - 1];
      b[i] = xwy_[cols_[i] - 1];
    }
    // A = L L', then L z = b; b'A^-1 b = z'z.
    double dFit = 0.0;
    for (int i = 0; i < p; ++i) {
      for (int j = 0; j <= i; ++j) {
        double dSum = l[i * p + j];
        for (int m = 0; m < j; ++m) dSum -= l[i * p + m] * l[j * p + m];
        l[i * p + j] = i == j ? std::sqrt(dSum) : dSum / l[j * p + j];
      }
      double dZ = b[i];
      for (int m = 0; m < i; ++m) dZ -= l[i * p + m] * b[m];
      b[i] = dZ / l[i * p + i];
      dFit += b[i] * b[i];
    }
    const double dSse = ywy_ - dFit;
    if (dSse < best_) best_ = dSse;
  }

  int k_;
  int K_;
  std::vector<double> xwx_;
  std::vector<double> xwy_;
  double ywy_ = 0.0;
  std::vector<int> next_;
  int cols_[16] = {};
  double best_ = 0.0;
};

// Per placement of k kinkmarks, in one run: the search of the observed data
// alone (GridSearch), the search of one permuted data set under Hudson's
// method (GridSearchForHudsons), the plain Cholesky loop over the same
// cross products, and the search over the 4500 data sets of a permutation
// test at once (GridSearch_WithJumpModel), each as a ratio to the plain
// loop; for the two single-data-set searches also the ratio of what they
// cost beyond their setup (the search of the same data without kinkmarks,
// ns_setup_observed), which the plain loop is given precomputed.
void BM_PlacementCost(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  constexpr int kDataSets = 4500;
  PreparedCohort observed(1);
  PreparedCohort paired(2);
  PreparedCohort permuted(kDataSets);
  const long lPlacements = observed.Placements(k);
  double dPlain = 0.0;
  double dObserved = 0.0;
  double dHudsons = 0.0;
  double dPermuted = 0.0;
  double dObservedSetup = 0.0;
  double dHudsonsSetup = 0.0;
  for (auto _ : state) {
    PlainCholeskyLoop plain(observed, k);
    dPlain = SecondsPerCall([&] { benchmark::DoNotOptimize(plain.Run()); });
    ColumnVector vLocations, vEstimates, vResidSum(2);
    Matrix mProfile;
    KmNullProgress progress;
    auto observedSearch = [&](int iKinkmarks) {
      return SecondsPerCall([&] {
        observed.calc->GridSearch(1, static_cast<uint16_t>(iKinkmarks),
                                  vLocations, vEstimates, vResidSum, observed.K,
                                  mProfile, &progress);
      });
    };
    auto hudsonsSearch = [&](int iKinkmarks) {
      return SecondsPerCall([&] {
        paired.calc->GridSearchForHudsons(
            2, 2, static_cast<uint16_t>(iKinkmarks), vLocations, vEstimates,
            vResidSum, paired.K, mProfile, &progress);
      });
    };
    dObserved = observedSearch(k);
    dHudsons = hudsonsSearch(k);
    // The search without kinkmarks (one fit) is what a search costs before
    // its placements: the data set's cross products and the work objects.
    dObservedSetup = observedSearch(0);
    dHudsonsSetup = hudsonsSearch(0);
    dPermuted = SecondsPerCall([&] {
      permuted.calc->GridSearch_WithJumpModel(
          kDataSets, static_cast<uint16_t>(k), vLocations, vEstimates,
          vResidSum, permuted.K, mProfile, 0, &progress);
    });
  }
  const double dPerPlain = dPlain / lPlacements;
  const double dPerObserved = dObserved / lPlacements;
  const double dPerHudsons = dHudsons / lPlacements;
  const double dMarginObserved = (dObserved - dObservedSetup) / lPlacements;
  const double dMarginHudsons = (dHudsons - dHudsonsSetup) / lPlacements;
  const double dPerSet = dPermuted / lPlacements / kDataSets;
  state.counters["placements"] = static_cast<double>(lPlacements);
  state.counters["ns_plain_loop"] = 1e9 * dPerPlain;
  state.counters["ns_observed"] = 1e9 * dPerObserved;
  state.counters["ratio_observed"] = dPerObserved / dPerPlain;
  state.counters["ns_hudsons_set"] = 1e9 * dPerHudsons;
  state.counters["ratio_hudsons_set"] = dPerHudsons / dPerPlain;
  state.counters["ns_setup_observed"] = 1e9 * dObservedSetup;
  state.counters["ratio_observed_beyond_setup"] = dMarginObserved / dPerPlain;
  state.counters["ratio_hudsons_set_beyond_setup"] = dMarginHudsons / dPerPlain;
  state.counters["ns_per_set_4500"] = 1e9 * dPerSet;
  state.counters["ratio_per_set_4500"] = dPerSet / dPerPlain;
}
BENCHMARK(BM_PlacementCost)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Bytes one matrix of the library holds: its object and its elements with
// the allocation's header.
double MatrixBytes(const NEWMAT::GeneralMatrix& m) {
  return sizeof(m) + (m.Storage() > 0 ? 16.0 + 8.0 * m.Storage() : 0.0);
}

// The memory of Hudson's tables per cell, for k kinkmarks on the benchmark
// cohort: a cell of the segmentation table as it was kept for every
// segmentation (its object and its three filled matrices; the driver sized
// kmax + 1 rows of C(n, kmax) such cells), against what the search now
// keeps per segmentation (nothing: it forms each searched segmentation's
// constraints in two work matrices of its own); and a cell of the segment
// table (one fitted run), which the search still reads.
void BM_HudsonTableBytes(benchmark::State& state) {
  const int16_t k = static_cast<int16_t>(state.range(0));
  PreparedCohort cohort(1);
  kmCalculator& calc = *cohort.calc;
  double dSegmentation = 0.0;
  double dRun = 0.0;
  for (auto _ : state) {
    kmUpperTriangularMatrix table(kN, kN);
    calc.Partitions(table);
    kmQMatrix qTable(k, kmCalculator::NChooseK(kN, k));
    calc.PrecomputeQ(k, table, qTable);
    const kmQ& cell = qTable.GetQ(k, 1);
    dSegmentation = MatrixBytes(cell.kinkmarkIndices) +
                    MatrixBytes(cell.constraint) +
                    MatrixBytes(cell.constraintCovariance);
    const kmPartition& run = table.GetPartition(1, kN);
    dRun = MatrixBytes(run.rss) + MatrixBytes(run.beta) +
           MatrixBytes(run.xwxInverse);
  }
  state.counters["bytes_per_segmentation_before"] = dSegmentation;
  state.counters["bytes_per_segmentation_after"] = 0.0;
  state.counters["segmentation_cells_before"] =
      static_cast<double>(k + 1) * kmCalculator::NChooseK(kN, k);
  state.counters["bytes_per_run_cell"] = dRun;
}
BENCHMARK(BM_HudsonTableBytes)->Arg(3)->Arg(4)->Iterations(1);

}  // namespace
