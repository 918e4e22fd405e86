// Benchmarks of one cohort's model selection by permutation tests:
//   BM_HudsonPermutationTest/<rule>  SelModESR with the B-value (0),
//                                    curtailed (1) and fixed (2) stopping
//                                    rules;
//   BM_GridPermutationTest           SelMod, the grid-search driver, on the
//                                    same cohort and options.
// The cohort: 30 yearly observations with one clear change of slope and a
// small fixed disturbance; 0 to 3 kinkmarks, 4499 permutations per test,
// alpha 0.05, no grid points between observations. The counter "data_sets"
// is the number of data sets the tests fitted (observed one included).
//
// Baseline (Release, GCC 12, 8-core AMD EPYC KVM guest under a load of
// about 30; CPU time of one cohort):
//   B-value       939 data sets    6.9 s
//   curtailed    4839 data sets   37.7 s
//   fixed       13500 data sets   50.3 s
//   grid search 13500 data sets    0.7 s (a test's data sets in one search)
// Hudson's continuous search of every data set dominates the cost.
#include <benchmark/benchmark.h>
#include <newmat.h>

#include <memory>

#include "engine/kmCalculator.h"
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
  calc.pDataX = new Matrix(kN, 2);
  calc.pDataY = new Matrix(kN, 1);
  calc.pDataWeightInput = new ColumnVector(kN);
  calc.pDataAux = new Matrix(kN, 1);
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

}  // namespace
