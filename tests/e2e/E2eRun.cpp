#include "tests/e2e/E2eRun.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <utility>

namespace km_e2e {

namespace fs = std::filesystem;

RunResult RunKinkmark(const km_test::ScratchDir& dir,
                      const std::string& sRunFile) {
  static km_test::ScratchDir console;
  const std::string sConsole = console.File("console.txt");
  const std::string sCommand = "cd '" + dir.Path() + "' && '" KM_BINARY "' '" +
                               sRunFile + "' > '" + sConsole + "' 2>&1";
  const int iRaw = std::system(sCommand.c_str());
  return {WIFEXITED(iRaw) ? WEXITSTATUS(iRaw) : -1, km_test::ReadAll(sConsole)};
}

void CopyFixtureFolder(const std::string& sFolder,
                       const km_test::ScratchDir& dir) {
  for (const auto& entry :
       fs::directory_iterator(fs::path(KM_E2E_FIXTURES) / sFolder)) {
    const fs::path target = dir.File(entry.path().filename().string());
    if (entry.is_directory()) {
      fs::create_directory(target);
    } else {
      fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing);
    }
  }
}

void MakeClusteringSession(const std::string& sSaved,
                           const std::string& sClustering) {
  std::string sBytes = km_test::ReadAll(sSaved);
  for (const auto& [iOption, dValue] : std::vector<std::pair<int, double>>{
           {18, 2}, {41, 3}, {43, 1}, {44, 2}}) {
    ASSERT_LE(static_cast<size_t>(22 + 8 * iOption + 8), sBytes.size());
    std::memcpy(&sBytes[22 + 8 * iOption], &dValue, 8);
  }
  km_test::WriteAll(sClustering, sBytes);
}

std::vector<std::string> ReadLines(const std::string& sPath) {
  std::vector<std::string> lines;
  std::istringstream in(km_test::ReadAll(sPath));
  std::string sLine;
  while (std::getline(in, sLine)) {
    if (!sLine.empty() && sLine.back() == '\r') sLine.pop_back();
    lines.push_back(sLine);
  }
  return lines;
}

std::vector<std::string> SplitCells(const std::string& sLine, char cDelimiter) {
  std::vector<std::string> cells(1);
  bool bQuoted = false;
  for (char c : sLine) {
    if (c == '"') bQuoted = !bQuoted;
    if (c == cDelimiter && !bQuoted) {
      cells.emplace_back();
    } else {
      cells.back() += c;
    }
  }
  return cells;
}

bool HasSanitizerReport(const std::string& sConsole) {
  return sConsole.find("Sanitizer") != std::string::npos ||
         sConsole.find("runtime error:") != std::string::npos;
}

}  // namespace km_e2e
