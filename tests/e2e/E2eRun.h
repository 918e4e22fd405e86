// Helpers of the whole-run tests: start the built kinkmark in a scratch
// folder filled from a fixture folder, and read what it wrote.
#ifndef KM_TESTS_E2E_E2ERUN_H
#define KM_TESTS_E2E_E2ERUN_H

#include <string>
#include <vector>

#include "tests/test_util/TestUtil.h"

namespace km_e2e {

struct RunResult {
  int iStatus;           // exit status, -1 when the process did not exit
  std::string sConsole;  // standard output and standard error together
};

// Runs kinkmark on sRunFile with dir as working folder.
RunResult RunKinkmark(const km_test::ScratchDir& dir,
                      const std::string& sRunFile);

// As RunKinkmark, with the soft limit of the resource iResource
// (RLIMIT_NOFILE, RLIMIT_STACK, ...) set to iLimit for kinkmark alone, and
// no descriptor open in it beyond its standard ones (none of this
// process's), so a limit on open files counts only kinkmark's own. Status
// 126 when the limit cannot be set (above the hard limit).
RunResult RunKinkmarkUnderLimit(const km_test::ScratchDir& dir,
                                const std::string& sRunFile, int iResource,
                                unsigned long long iLimit);

// Copies every file of the fixture folder sFolder (relative to the whole-run
// fixtures) into dir.
void CopyFixtureFolder(const std::string& sFolder,
                       const km_test::ScratchDir& dir);

// The lines of a text file, each without its line end ("\n" or "\r\n").
std::vector<std::string> ReadLines(const std::string& sPath);

// sLine split at cDelimiter as a CSV reader splits it: not inside double
// quotes, which the cells keep; empty cells are kept.
std::vector<std::string> SplitCells(const std::string& sLine, char cDelimiter);

// Writes sClustering: the saved session sSaved of a run changed to cluster
// each cohort's age groups (options 18, 41, 43 and 44: clustering, at most
// 3 clusters, unordered, by the BIC).
void MakeClusteringSession(const std::string& sSaved,
                           const std::string& sClustering);

// True when the console shows a sanitizer's report.
bool HasSanitizerReport(const std::string& sConsole);

}  // namespace km_e2e

#endif  // KM_TESTS_E2E_E2ERUN_H
