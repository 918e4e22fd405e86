// Small runs for the export writers: a session, fitted-model records built
// by hand, a results file written and read back through the results
// handler, and the bytes of an export written from it.
#ifndef KM_TESTS_REPORTS_REPORTSFIXTURE_H
#define KM_TESTS_REPORTS_REPORTSFIXTURE_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "results/kmCalcData.h"
#include "results/kmCalcHandler.h"
#include "session/DataExportOptions.h"
#include "session/kmSession.h"
#include "tests/test_util/TestUtil.h"

namespace km_reports_test {

// How a run is set up. By-variables: "Sex" (1 "Male", 2 "Female"), then
// "Area" (codes 1 .. iAreaLevels, labelled "North", "South", "East" when
// bLabelledArea, else unlabelled). Cohorts: every Sex x Area combination,
// Area varying fastest (just Area when bSexByVar is false). With bPairwise
// the cohorts of one Sex form a comparison block.
struct RunSpec {
  bool bSexByVar = true;
  int iAreaLevels = 2;
  bool bLabelledArea = true;
  bool bPairwise = false;
  int iPairwiseType = 0;
  int iModelSelection = 0;
  int iMinKinkmarks = 0;
  int iAutocorrErrors = 0;
  bool bMADWD = false;
  // Further session settings of a test, applied last.
  std::function<void(kmSession&)> adjustSession;
};

// A model with iKinkmarks kinkmarks whose values all follow from dSeed:
// counts, SSE, MSE, BIC, BIC3, kinkmark estimates (even ones with limits),
// segments with intercept, slope, APC and range (the last segment's
// intercept without a standard error), slope changes, parallel segments and
// a 2(k + 1) square covariance matrix.
kmTable MakeModel(int iKinkmarks, double dSeed);

// A valid cohort record with models for iMin .. iMin + iModels - 1
// kinkmarks, final selected model iFinal, permutation F tests k vs k + 1
// for every model but the last, and data-dependent selection values.
kmCalcData MakeRecord(int iMin, int iModels, int iFinal, double dSeed);

// The number of cohorts of a run.
int NumCohorts(const RunSpec& spec);

// A results file written through the results handler and read back.
class ReportsRun {
 public:
  // Writes the file for spec with the given cohort records (one per cohort)
  // and comparison records (one per comparison, in comparison order; their
  // F tests' last is the comparison test), then opens a reading handler.
  ReportsRun(const RunSpec& spec, const std::vector<kmCalcData>& vCohorts,
             const std::vector<kmCalcData>& vComparisons);

  kmCalcHandler& Handler() { return *pHandler_; }
  // Path of a file in the run's scratch directory.
  std::string Path(const std::string& sName) const { return dir_.File(sName); }

 private:
  km_test::ScratchDir dir_;
  std::unique_ptr<kmCalcHandler> pHandler_;
};

// The session of spec (also stored in the results file).
kmSession MakeSession(const RunSpec& spec);

// Export options: the given field delimiter, line delimiter, missing
// character and by-variable format; all models.
DataExportOptions MakeOptions(int iField, int iLine, int iMissing = 1,
                              int iByVarFormat = 2, int iModels = 0);

// Runs write(path) for a fresh file path and returns the file's bytes.
std::string WrittenBytes(const std::function<void(const char*)>& write);

// The lines of text (split at "\n", each "\r" kept) and the cells of a line.
std::vector<std::string> Lines(const std::string& sText);
std::vector<std::string> Cells(const std::string& sLine, char cDelimiter);

// Compares sActual with the golden file sName below the reports fixtures;
// with KM_REGENERATE_GOLDEN set in the environment it writes the file
// instead.
void ExpectGolden(const std::string& sName, const std::string& sActual);

// The cell below the header sColumn in data line iLine (1 = the line after
// the header) of the golden file sName, whose cells are split at
// cDelimiter.
std::string GoldenCell(const std::string& sName, char cDelimiter, int iLine,
                       const std::string& sColumn);

}  // namespace km_reports_test

#endif  // KM_TESTS_REPORTS_REPORTSFIXTURE_H
