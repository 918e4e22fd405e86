// Benchmarks of the calculation control, whole runs through
// kmCalculationHandler::ExecuteThreaded:
//   BM_RunOnThreads/T   200 cohorts of 30 observations needing 0 to 3
//                       kinkmarks, grid search with 999 permutations, on T
//                       workers; reports cohorts per second.
//   BM_RunMemory/N      N cohorts of 8 observations without kinkmarks on 8
//                       workers; reports the resident memory that the run
//                       adds at its peak (sampled every 20 ms) over what the
//                       prepared session holds, which stays flat in N since
//                       records leave the result map once written.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "tests/engine/RunFixture.h"

namespace {

// A scratch directory for the data and results files of the benchmarks.
class BenchDir {
 public:
  BenchDir() {
    char sTemplate[] = "/tmp/km_bench_XXXXXX";
    const char* sDir = mkdtemp(sTemplate);
    path_ = sDir != nullptr ? sDir : "/tmp";
  }
  ~BenchDir() {
    std::remove(File("data.csv").c_str());
    std::remove(File("out.kmo").c_str());
    std::remove(path_.c_str());
  }
  std::string File(const char* sName) const { return path_ + "/" + sName; }

 private:
  std::string path_;
};

void WriteText(const std::string& sPath, const std::string& sText) {
  FILE* pFile = std::fopen(sPath.c_str(), "wb");
  if (pFile == nullptr) return;
  std::fwrite(sText.data(), 1, sText.size(), pFile);
  std::fclose(pFile);
}

// The process's resident set in kB (VmRSS), 0 when it cannot be read.
long ResidentKb() {
  FILE* pFile = std::fopen("/proc/self/status", "r");
  if (pFile == nullptr) return 0;
  char sLine[256];
  long kb = 0;
  while (std::fgets(sLine, sizeof sLine, pFile) != nullptr) {
    if (std::strncmp(sLine, "VmRSS:", 6) == 0) kb = std::atol(sLine + 6);
  }
  std::fclose(pFile);
  return kb;
}

// One run over spec with the given permutations and workers.
void RunOnce(benchmark::State& state, const BenchDir& dir,
             const run_test::DataSpec& spec, int iPermutations,
             int16_t iThreads) {
  run_test::Run run(run_test::MakeSession(dir.File("data.csv"), spec,
                                          iPermutations, iThreads));
  if (!run.Execute(dir.File("out.kmo"))) state.SkipWithError("cancelled");
}

void BM_RunOnThreads(benchmark::State& state) {
  BenchDir dir;
  run_test::DataSpec spec;
  spec.iCohorts = 200;
  spec.iYears = 30;
  WriteText(dir.File("data.csv"), run_test::MakeData(spec));
  const int16_t iThreads = static_cast<int16_t>(state.range(0));
  for (auto _ : state) RunOnce(state, dir, spec, 999, iThreads);
  state.counters["cohorts_per_s"] = benchmark::Counter(
      static_cast<double>(spec.iCohorts) * state.iterations(),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RunOnThreads)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

void BM_RunMemory(benchmark::State& state) {
  BenchDir dir;
  run_test::DataSpec spec;
  spec.iCohorts = static_cast<int>(state.range(0));
  spec.iYears = 8;
  spec.iKinkCycle = 1;
  WriteText(dir.File("data.csv"), run_test::MakeData(spec));
  long peakKb = 0;
  long startKb = 0;
  for (auto _ : state) {
    // The session, its formats and the per-cohort progress entries are made
    // before the measurement starts: what is measured is the run itself.
    run_test::Run run(
        run_test::MakeSession(dir.File("data.csv"), spec, 0, 8, 0));
    startKb = ResidentKb();
    peakKb = startKb;
    std::atomic<bool> done{false};
    std::thread sampler([&] {
      while (!done.load()) {
        const long kb = ResidentKb();
        if (kb > peakKb) peakKb = kb;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    if (!run.Execute(dir.File("out.kmo"))) state.SkipWithError("cancelled");
    done.store(true);
    sampler.join();
  }
  state.counters["rss_added_kb"] = static_cast<double>(peakKb - startKb);
  state.counters["cohorts_per_s"] = benchmark::Counter(
      static_cast<double>(spec.iCohorts) * state.iterations(),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RunMemory)
    ->Arg(1000)
    ->Arg(5000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
