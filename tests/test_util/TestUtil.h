// Helpers shared by the test binaries: named numerical tolerances, relative
// comparison, scratch files that clean up after themselves and the lines and
// cells of a written text.
#ifndef KM_TESTS_TEST_UTIL_TESTUTIL_H
#define KM_TESTS_TEST_UTIL_TESTUTIL_H

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace km_test {

// Agreement with an independent tool's output for well-conditioned values.
constexpr double kTightRelTol = 1e-12;
// Agreement for values that come out of an iterative search.
constexpr double kSearchRelTol = 1e-8;

// Succeeds when |actual - expected| <= tol * max(|expected|, tiny).
::testing::AssertionResult RelNear(double actual, double expected, double tol);

// Path of a fixture below tests/fixtures.
std::string DataPath(const std::string& relative);

// A fresh directory below the system's temporary directory, removed with its
// contents when the object goes out of scope.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& Path() const { return path_; }
  // Full path of `name` inside the directory.
  std::string File(const std::string& name) const;
  // Writes `bytes` as `name` inside the directory; returns its full path.
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

// Whole-file helpers for fixtures and golden comparisons (binary-exact).
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);
std::vector<unsigned char> ReadBytes(const std::string& path);

// Runs write(path) for a fresh file path and returns the file's bytes.
std::string WrittenBytes(const std::function<void(const char*)>& write);

// The lines of a text (split at "\n", each "\r" kept) and the cells of a
// line.
std::vector<std::string> Lines(const std::string& text);
std::vector<std::string> Cells(const std::string& line, char delimiter);

// text with the list of valid keys of each unknown-key message shown as
// "...": "\"foo\" is not a valid Session Option; use ...\n".
std::string ElidedKeyLists(const std::string& text);

// Hang guard: runs body on this thread while a watchdog waits a minute for
// it. A body that has not returned by then cannot be failed in any other
// way: the watchdog prints "<sWhat> did not end within a minute" and ends
// the process with a failure status. A slow body on a busy machine passes.
void EndsWithinAMinute(const std::string& sWhat,
                       const std::function<void()>& body);

// Runs body while the process can open no further file: its limit on open
// files lowered (to 256 at most) and every descriptor below it taken, so
// each open in body fails with "Too many open files" (EMFILE). The
// descriptors are given back and the limit restored afterwards, also when
// body throws. Code that a sanitizer checks the first time it runs (its
// types' virtual calls) should have run once before, as the check needs
// descriptors of its own.
void WithOpenFilesUsedUp(const std::function<void()>& body);

// The system's reason an open gives inside WithOpenFilesUsedUp, as the
// program words it.
inline const char kOpenFilesUsedUp[] =
    "Too many open files (this process may hold 256 files open at once; "
    "raise that limit, ulimit -n, to at least 64).";

// Guards linear work without a time limit: runs work(n) and work(8 n) three
// times each and compares the best processor times of the two sizes.
// Succeeds when the larger size took less than 40 times as long: linear
// work takes about 8 times, quadratic work 64 times. Only the ratio of two
// times taken in the same test counts, so a busy machine slows both alike.
// REQUIRES: work(n) does enough to be timed (some milliseconds) and does
// more than the fixed cost of its setup.
::testing::AssertionResult GrowsLinearly(const std::function<void(int)>& work,
                                         int n);

}  // namespace km_test

#endif  // KM_TESTS_TEST_UTIL_TESTUTIL_H
