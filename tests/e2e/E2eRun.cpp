#include "tests/e2e/E2eRun.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

RunResult RunKinkmarkUnderLimit(const km_test::ScratchDir& dir,
                                const std::string& sRunFile, int iResource,
                                unsigned long long iLimit) {
  static km_test::ScratchDir console;
  const std::string sConsole = console.File("console.txt");
  const pid_t iChild = fork();
  if (iChild == 0) {
    const int iOut = open(sConsole.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (iOut < 0 || chdir(dir.Path().c_str()) != 0) _exit(127);
    dup2(iOut, STDOUT_FILENO);
    dup2(iOut, STDERR_FILENO);
    for (int iFd = STDERR_FILENO + 1; iFd < 1024; ++iFd) close(iFd);
    struct rlimit limit;
    if (getrlimit(iResource, &limit) != 0) _exit(126);
    limit.rlim_cur = static_cast<rlim_t>(iLimit);
    if (setrlimit(iResource, &limit) != 0) _exit(126);
    execl(KM_BINARY, KM_BINARY, sRunFile.c_str(), static_cast<char*>(nullptr));
    _exit(125);
  }
  int iRaw = 0;
  if (iChild < 0 || waitpid(iChild, &iRaw, 0) != iChild) return {-1, ""};
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
