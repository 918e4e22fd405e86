// Benchmarks of one cohort's model selection by permutation tests, and of
// the cost of one candidate placement of the grid search:
//   BM_HudsonPermutationTest/<rule>  SelModESR with the B-value (0),
//                                    curtailed (1) and fixed (2) stopping
//                                    rules;
//   BM_GridPermutationTest           SelMod, the grid-search driver, on the
//                                    same cohort and options;
//   BM_PlacementCost/k               the grid search with k kinkmarks over
//                                    that cohort's candidates, per placement
//                                    of the kinkmarks: for the observed data
//                                    alone (GridSearch) and for the 4500
//                                    data sets of a permutation test at once
//                                    (GridSearch_WithJumpModel), each as a
//                                    ratio to one LU solve of the same
//                                    (k + 2) x (k + 2) system. Thread CPU
//                                    times, so that other load on the
//                                    machine does not enter the ratios.
// The cohort: 30 yearly observations with one clear change of slope and a
// small fixed disturbance; 0 to 3 kinkmarks, 4499 permutations per test,
// alpha 0.05, no grid points between observations. The counter "data_sets"
// is the number of data sets the tests fitted (observed one included).
//
// CPU time of one cohort (Release, GCC 12, 8-core AMD EPYC KVM guest under
// a load of about 30 before, 13 after the removal of the matrix-library
// temporaries from the searches):
//                  data sets    before    after
//   B-value              939     6.9 s    1.7 s
//   curtailed           4839    37.7 s    9.8 s
//   fixed              13500    50.3 s   14.9 s
//   grid search        13500     0.7 s    0.21 s (a test's data sets in
//                                                  one search)
// Hudson's continuous search of every data set dominates the cost.
#include <benchmark/benchmark.h>
#include <newmat.h>

#include <ctime>
#include <memory>

#include "engine/kmCalculator.h"
#include "foundation/KmProgressInterface.h"
#include "models/ForAllKinkMKAction.h"
#include "results/kmCalcData.h"
#include "results/kmFTest.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

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

// Runs one cohort's selection with the given fitting method and stopping
// rule and returns the data sets its tests fitted.
long RunCohort(int iFitMethod, int iStopping) {
  kmSession session;
  session.SetInt(kmOptMethod, iFitMethod);
  session.SetInt(kmOptModelSelection, 0);
  session.SetInt(kmOptMinKinkmarks, 0);
  session.SetInt(kmOptMaxKinkmarks, 3);
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
  session.AddObservationCount(kN);
  kmCalculator calc(&session);
  calc.LoadCalcMembers(nullptr, 0);
  calc.SetNumObservations(kN);
  calc.pDataX = std::make_unique<Matrix>(kN, 2);
  calc.pDataY = std::make_unique<Matrix>(kN, 1);
  calc.pDataWeightInput = std::make_unique<ColumnVector>(kN);
  calc.pDataAux = std::make_unique<Matrix>(kN, 1);
  for (int i = 1; i <= kN; ++i) {
    (*calc.pDataX)(i, 1) = 1.0;
    (*calc.pDataX)(i, 2) = 1990.0 + i - 1;
    (*calc.pDataY)(i, 1) = Response(i - 1);
    (*calc.pDataWeightInput)(i) = 1.0;
    (*calc.pDataAux)(i, 1) = 0.1;
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

// Thread CPU seconds per call of f, repeated until a tenth of a second has
// passed.
template <typename F>
double SecondsPerCall(F&& f) {
  long lCalls = 0;
  const double dStart = ThreadSeconds();
  double dElapsed = 0.0;
  do {
    f();
    ++lCalls;
    dElapsed = ThreadSeconds() - dStart;
  } while (dElapsed < 0.1);
  return dElapsed / static_cast<double>(lCalls);
}

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
    calc->pDataX = std::make_unique<Matrix>(kN, 2);
    calc->pDataY = std::make_unique<Matrix>(kN, D);
    calc->pDataWeightInput = std::make_unique<ColumnVector>(kN);
    calc->pDataAux = std::make_unique<Matrix>(kN, 1);
    unsigned uState = 99u;
    for (int i = 1; i <= kN; ++i) {
      (*calc->pDataX)(i, 1) = 1.0;
      (*calc->pDataX)(i, 2) = i - 1.0;
      const double y = Response(i - 1);
      for (int d = 1; d <= D; ++d) {
        uState = uState * 1103515245u + 12345u;
        (*calc->pDataY)(i, d) =
            y + (d > 1 ? ((uState >> 8) % 2001) / 100000.0 : 0.0);
      }
      (*calc->pDataWeightInput)(i) = 1.0;
      (*calc->pDataAux)(i, 1) = 0.1;
    }
    Matrix mA;
    Matrix mL;
    calc->WLSWgt(0.0, mA, mL);
    calc->mWorkA = mA;
    calc->mWorkB = mL.t() * mL;
    K = calc->FindGridPoints(2, 2, 0);
    calc->PreCalcXWX();
  }

  // Admissible placements of k kinkmarks on the grid, counted with the
  // search's own enumeration.
  long Placements(int k) const {
    if (k == 0) return 1;
    ColumnVector vSuccessors(K);
    for (int p = 1; p <= K; ++p) vSuccessors(p) = (*calc->pGridAux)(p);
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

// Seconds of one LU solve of a (k + 2) x (k + 2) system: the cross products
// of the cohort's intercept, slope and first k hinge columns.
double SolveSeconds(const PreparedCohort& cohort, int k) {
  const int q = k + 2;
  Matrix mA(q, q);
  ColumnVector b(q);
  for (int r = 1; r <= q; ++r) {
    b(r) = r;
    for (int c = 1; c <= q; ++c) mA(r, c) = (*cohort.calc->pXWX)(r, c);
  }
  ColumnVector x;
  return SecondsPerCall([&] {
    x = mA.i() * b;
    benchmark::DoNotOptimize(x.Store());
  });
}

void BM_PlacementCost(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  constexpr int kDataSets = 4500;
  PreparedCohort observed(1);
  PreparedCohort permuted(kDataSets);
  const long lPlacements = observed.Placements(k);
  double dSolve = 0.0;
  double dObserved = 0.0;
  double dPermuted = 0.0;
  for (auto _ : state) {
    dSolve = SolveSeconds(observed, k);
    ColumnVector vLocations, vEstimates, vResidSum;
    Matrix mProfile;
    KmNullProgress progress;
    dObserved = SecondsPerCall([&] {
      observed.calc->GridSearch(1, static_cast<uint16_t>(k), vLocations,
                                vEstimates, vResidSum, observed.K, mProfile,
                                &progress);
    });
    dPermuted = SecondsPerCall([&] {
      permuted.calc->GridSearch_WithJumpModel(
          kDataSets, static_cast<uint16_t>(k), vLocations, vEstimates,
          vResidSum, permuted.K, mProfile, 0, &progress);
    });
  }
  const double dPerPlacement = dObserved / lPlacements;
  const double dPerPlacementAndSet = dPermuted / lPlacements / kDataSets;
  state.counters["placements"] = static_cast<double>(lPlacements);
  state.counters["ns_solve"] = 1e9 * dSolve;
  state.counters["ns_placement_observed"] = 1e9 * dPerPlacement;
  state.counters["ratio_observed"] = dPerPlacement / dSolve;
  state.counters["ns_placement_4500_sets"] = 1e9 * dPermuted / lPlacements;
  state.counters["ns_placement_per_set"] = 1e9 * dPerPlacementAndSet;
  state.counters["ratio_per_set"] = dPerPlacementAndSet / dSolve;
}
BENCHMARK(BM_PlacementCost)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
