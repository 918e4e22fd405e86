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

}  // namespace km_test

#endif  // KM_TESTS_TEST_UTIL_TESTUTIL_H
