#include "tests/test_util/TestUtil.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace km_test {

::testing::AssertionResult RelNear(double actual, double expected, double tol) {
  if (std::isnan(expected) && std::isnan(actual)) {
    return ::testing::AssertionSuccess();
  }
  if (actual == expected) return ::testing::AssertionSuccess();
  const double scale = std::max(std::fabs(expected), 1e-300);
  const double rel = std::fabs(actual - expected) / scale;
  if (rel <= tol) return ::testing::AssertionSuccess();
  std::ostringstream out;
  out.precision(17);
  out << "actual " << actual << " differs from expected " << expected
      << " by relative " << rel << " > " << tol;
  return ::testing::AssertionFailure() << out.str();
}

namespace {

// Best processor time in seconds of three runs of work(n).
double BestOfThree(const std::function<void(int)>& work, int n) {
  double dBest = 0.0;
  for (int iTry = 0; iTry < 3; ++iTry) {
    const std::clock_t start = std::clock();
    work(n);
    const double dTaken =
        static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    dBest = iTry == 0 ? dTaken : std::min(dBest, dTaken);
  }
  return dBest;
}

}  // namespace

void WithOpenFilesUsedUp(const std::function<void()>& body) {
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  struct rlimit low = saved;
  low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 256);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  std::vector<int> vTaken;
  for (int iFd = open("/dev/null", O_RDONLY | O_CLOEXEC); iFd >= 0;
       iFd = open("/dev/null", O_RDONLY | O_CLOEXEC)) {
    vTaken.push_back(iFd);
  }
  const auto giveBack = [&] {
    for (int iFd : vTaken) close(iFd);
    setrlimit(RLIMIT_NOFILE, &saved);
  };
  try {
    body();
  } catch (...) {
    giveBack();
    throw;
  }
  giveBack();
}

void EndsWithinAMinute(const std::string& sWhat,
                       const std::function<void()>& body) {
  std::mutex mutex;
  std::condition_variable ended;
  bool bEnded = false;
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> lock(mutex);
    if (!ended.wait_for(lock, std::chrono::minutes(1),
                        [&] { return bEnded; })) {
      std::fprintf(stderr, "%s did not end within a minute\n", sWhat.c_str());
      std::fflush(stderr);
      std::_Exit(EXIT_FAILURE);
    }
  });
  // The watchdog is released however body ends, a failed assertion or an
  // exception included.
  struct Release {
    std::mutex& mutex;
    std::condition_variable& ended;
    bool& bEnded;
    std::thread& watchdog;
    ~Release() {
      {
        std::lock_guard<std::mutex> lock(mutex);
        bEnded = true;
      }
      ended.notify_all();
      watchdog.join();
    }
  } release{mutex, ended, bEnded, watchdog};
  body();
}

::testing::AssertionResult GrowsLinearly(const std::function<void(int)>& work,
                                         int n) {
  constexpr int kGrowth = 8;
  constexpr double kMostRatio = 40.0;
  const double dSmall = BestOfThree(work, n);
  const double dLarge = BestOfThree(work, kGrowth * n);
  std::ostringstream out;
  out << kGrowth << " times the input took " << dLarge << " against " << dSmall;
  // A clock too coarse to see the small size makes no ratio; the large
  // size then has to stay below the ratio times one clock step.
  const double dFloor = std::max(dSmall, 1.0 / CLOCKS_PER_SEC);
  if (dLarge < kMostRatio * dFloor)
    return ::testing::AssertionSuccess() << out.str();
  return ::testing::AssertionFailure()
         << out.str() << ", more than " << kMostRatio << " times as long";
}

std::string DataPath(const std::string& relative) {
  return std::string(KM_TEST_DATA_DIR_VALUE) + "/" + relative;
}

ScratchDir::ScratchDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base && *base ? base : "/tmp") + "/kmtest-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) {
    throw std::runtime_error("cannot create scratch directory");
  }
  path_ = buf.data();
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::File(const std::string& name) const {
  return path_ + "/" + name;
}

std::string ScratchDir::Write(const std::string& name,
                              const std::string& bytes) const {
  const std::string path = File(name);
  WriteAll(path, bytes);
  return path;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in),
                     std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
  const std::string all = ReadAll(path);
  return std::vector<unsigned char>(all.begin(), all.end());
}

std::string WrittenBytes(const std::function<void(const char*)>& write) {
  ScratchDir dir;
  const std::string path = dir.File("written.bin");
  write(path.c_str());
  return ReadAll(path);
}

std::string ElidedKeyLists(const std::string& text) {
  static const std::regex kList("(is not a valid [A-Za-z ]+); use [^\n]*\n");
  return std::regex_replace(text, kList, "$1; use ...\n");
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> Cells(const std::string& line, char delimiter) {
  std::vector<std::string> cells;
  size_t start = 0;
  for (;;) {
    const size_t end = line.find(delimiter, start);
    cells.push_back(line.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return cells;
}

}  // namespace km_test
