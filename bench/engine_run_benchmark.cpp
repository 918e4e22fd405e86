// Benchmarks of the calculation control, whole runs through
// kmCalculationHandler::ExecuteThreaded:
//   BM_RunOnThreads/T   200 cohorts of 30 observations needing 0 to 3
//                       kinkmarks, grid search with 999 permutations, on T
//                       workers; reports cohorts per second.
//   BM_RunSpeedUp/N     N cohorts of 30 observations needing 0 to 3
//                       kinkmarks, grid search with 4499 permutations,
//                       first on 1 worker, then on 8, in one iteration;
//                       reports cohorts per second of each, the speed-up,
//                       the cores the 8 workers kept busy and the load
//                       average when it started.
//   BM_RunMemory/N      N cohorts of 8 observations without kinkmarks on 8
//                       workers; reports the resident memory that the run
//                       adds at its peak (sampled every 20 ms) over what the
//                       prepared session holds, which stays flat in N since
//                       records leave the result map once written.
//   BM_RunPeakMemory/N  N cohorts as BM_RunSpeedUp on 8 workers; reports the
//                       process's peak resident memory during the run and
//                       the part the run added.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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

// The one-minute load average of the machine, -1 when it cannot be read.
double LoadAverage() {
  FILE* pFile = std::fopen("/proc/loadavg", "r");
  if (pFile == nullptr) return -1.0;
  double dLoad = -1.0;
  if (std::fscanf(pFile, "%lf", &dLoad) != 1) dLoad = -1.0;
  std::fclose(pFile);
  return dLoad;
}

// CPU seconds of the whole process, all threads.
double ProcessSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Wall-clock seconds of one run over spec; pCores, when given, receives the
// cores the run kept busy on average (process CPU time over wall time),
// which falls short of the workers when other load takes the machine.
double TimedRun(benchmark::State& state, const BenchDir& dir,
                const run_test::DataSpec& spec, int iPermutations,
                int16_t iThreads, double* pCores = nullptr) {
  const double dCpuStart = ProcessSeconds();
  const auto start = std::chrono::steady_clock::now();
  RunOnce(state, dir, spec, iPermutations, iThreads);
  const double dWall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
          .count();
  if (pCores != nullptr) *pCores = (ProcessSeconds() - dCpuStart) / dWall;
  return dWall;
}

// The cohorts of the speed-up and peak-memory runs: 30 yearly observations
// bending 0 to 3 times, fitted with 0 to 3 kinkmarks and 4499 permutations.
constexpr int kRunPermutations = 4499;

run_test::DataSpec RunSpec(int iCohorts) {
  run_test::DataSpec spec;
  spec.iCohorts = iCohorts;
  spec.iYears = 30;
  return spec;
}

void BM_RunSpeedUp(benchmark::State& state) {
  BenchDir dir;
  const run_test::DataSpec spec = RunSpec(static_cast<int>(state.range(0)));
  WriteText(dir.File("data.csv"), run_test::MakeData(spec));
  state.counters["load_1min"] = LoadAverage();
  double dOne = 0.0;
  double dEight = 0.0;
  double dCoresEight = 0.0;
  for (auto _ : state) {
    dOne = TimedRun(state, dir, spec, kRunPermutations, 1);
    dEight = TimedRun(state, dir, spec, kRunPermutations, 8, &dCoresEight);
  }
  state.counters["cohorts_per_s_1"] = spec.iCohorts / dOne;
  state.counters["cohorts_per_s_8"] = spec.iCohorts / dEight;
  state.counters["speedup_8"] = dOne / dEight;
  state.counters["cores_busy_8"] = dCoresEight;
  state.counters["threads_available"] =
      static_cast<double>(std::thread::hardware_concurrency());
}
BENCHMARK(BM_RunSpeedUp)
    ->Arg(500)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

// Samples the resident set every 20 ms while it lives; Peak() is the
// largest value seen.
class ResidentSampler {
 public:
  ResidentSampler()
      : thread_([this] {
          while (!bDone_.load()) {
            const long kb = ResidentKb();
            if (kb > lPeakKb_.load()) lPeakKb_.store(kb);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
        }) {}
  ~ResidentSampler() { Stop(); }
  void Stop() {
    bDone_.store(true);
    if (thread_.joinable()) thread_.join();
  }
  long Peak() const { return lPeakKb_.load(); }

 private:
  std::atomic<bool> bDone_{false};
  std::atomic<long> lPeakKb_{0};
  std::thread thread_;
};

void BM_RunPeakMemory(benchmark::State& state) {
  BenchDir dir;
  const run_test::DataSpec spec = RunSpec(static_cast<int>(state.range(0)));
  WriteText(dir.File("data.csv"), run_test::MakeData(spec));
  state.counters["load_1min"] = LoadAverage();
  long lStartKb = 0;
  long lPeakKb = 0;
  double dSeconds = 0.0;
  for (auto _ : state) {
    lStartKb = ResidentKb();
    ResidentSampler sampler;
    dSeconds = TimedRun(state, dir, spec, kRunPermutations, 8);
    sampler.Stop();
    lPeakKb = std::max(lStartKb, sampler.Peak());
  }
  state.counters["peak_rss_kb"] = static_cast<double>(lPeakKb);
  state.counters["rss_added_kb"] = static_cast<double>(lPeakKb - lStartKb);
  state.counters["cohorts_per_s"] = spec.iCohorts / dSeconds;
}
BENCHMARK(BM_RunPeakMemory)
    ->Arg(5000)
    ->Unit(benchmark::kSecond)
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
    ResidentSampler sampler;
    if (!run.Execute(dir.File("out.kmo"))) state.SkipWithError("cancelled");
    sampler.Stop();
    peakKb = std::max(startKb, sampler.Peak());
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
