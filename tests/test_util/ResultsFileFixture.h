// Results files for the tests of the results handler, the comparison and
// the export writers: sessions with by-variables, cohort records built by
// hand, whole files written through the writing handler in the order the
// calculation control uses, read back, and the golden export files.
#ifndef KM_TESTS_TEST_UTIL_RESULTSFILEFIXTURE_H
#define KM_TESTS_TEST_UTIL_RESULTSFILEFIXTURE_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/KmIO_File.h"
#include "results/kmCalcData.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"
#include "session/DataExportOptions.h"
#include "session/kmSession.h"
#include "tests/test_util/TestUtil.h"

namespace km_test {

// ---- Any results file ----

// A by-variable of a results-file session: its name, the labels of its
// codes 1, 2, ... (none: no value format), the number of its levels in the
// data and its column (0: the next one).
struct ByVariable {
  std::string sName;
  std::vector<std::string> vLabels;
  int iLevels = 0;
  int iColumn = 0;
};

// A session with the variables "Year" (independent) and "Rate" (response)
// and the by-variables, program version "V4.9.0.0"; pairwise comparisons
// (kmOptComparisonType 1) when bPairwise.
kmSession ResultsSession(const std::vector<ByVariable>& vByVars,
                         bool bPairwise);

// Every level combination of the by-variables in cohort order, the last
// by-variable varying fastest (no combination without by-variables).
kmCombos AllCombinations(const std::vector<ByVariable>& vByVars);

// A writing handler on sPath brought up to state 3 (combinations written):
// cohort c is valid as vValid[c] says and labelled "cohort c"; comparisons
// run in blocks of iGroupSize cohorts (0: none).
void PrepareWriter(kmCalcHandler& handler, const std::string& sPath,
                   const kmCombos& combos, const std::vector<bool>& vValid,
                   int iGroupSize);

// Writes the cohort records, then the comparison records (marked as
// comparisons), the offsets and the numeric data, and closes the file.
void FinishFile(kmCalcHandler& handler, const std::vector<kmCalcData>& vCohorts,
                const std::vector<kmCalcData>& vComparisons);

// The bytes write() puts into a fresh file.
std::string BytesOf(const std::function<void(KmIO_File*)>& write);

// ---- The handler's own files ----

// A session with the first iNumByVars of the by-variables "Sex" (1 "M",
// 2 "W") and "Race" (1 "White", 2 "Black", 3 "Other").
kmSession MakeSession(int iNumByVars, bool bPairwise);

// The combination table of such a session.
kmCombos MakeCombos(int iNumByVars);
// Number of cohorts of a session with iNumByVars by-variables (1 without
// any) and the group size of its pairwise comparisons (levels of the last
// by-variable, 0 without by-variables).
int32_t NumCohorts(int iNumByVars);
int32_t GroupSize(int iNumByVars);

// A small record whose every stored field depends on iSeed: two models
// (with kinkmark, segment, slope change, AAPC, matrices), one F test,
// labels, selection values, a 2 x 2 variance-covariance block and one
// MADWD row. Odd seeds give an invalid record with a bad description.
kmCalcData MakeRecord(int iSeed);

// Expects every stored field of actual to equal those of expected.
void ExpectSameRecord(const kmCalcData& actual, const kmCalcData& expected);

// What a whole file was written from.
struct WrittenFile {
  std::vector<kmCalcData> vCohorts;
  std::vector<kmCalcData> vComparisons;
  KmVector<bool> vFlags;
  KmVector<KmString> vLabels;
};

// Writes a complete results file at sPath for a session with iNumByVars
// by-variables, every other cohort valid; one record per cohort and per
// comparison (MakeRecord with seeds 0, 1, ...; comparison records carry no
// label).
WrittenFile WriteWholeFile(const std::string& sPath, int iNumByVars,
                           bool bPairwise);

// A damaged results file that an earlier reader accepted or hung on: its
// bytes and the reason the reader now gives when refusing it (the text
// after the opening sentence of every refusal of a damaged file).
struct DamagedFile {
  std::string sName;
  std::string sBytes;
  std::string sReason;
};

// The damaged files, made from a whole file of two by-variables (six
// cohorts, the last one invalid with a bad description) written at sPath:
// a matrix of 0 columns whose row count overflowed the reader's loop, and
// a byte deleted from the last record that shifted a text into its valid
// flag.
std::vector<DamagedFile> DamagedFiles(const std::string& sPath);

// A writing handler brought up to state 3 for a session with iNumByVars
// by-variables, file sPath.
void PrepareWriter(kmCalcHandler& handler, const std::string& sPath,
                   int iNumByVars);

// ---- Small runs for the export writers ----

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

// The session of spec (also stored in the results file).
kmSession MakeSession(const RunSpec& spec);

// A results file written through the results handler and read back.
class ReportsRun {
 public:
  // Writes the file for spec with the given cohort records (one per cohort,
  // every cohort valid) and comparison records (one per comparison, in
  // comparison order; their F tests' last is the comparison test), then
  // opens a reading handler.
  ReportsRun(const RunSpec& spec, const std::vector<kmCalcData>& vCohorts,
             const std::vector<kmCalcData>& vComparisons);

  kmCalcHandler& Handler() { return *pHandler_; }
  // Path of a file in the run's scratch directory.
  std::string Path(const std::string& sName) const { return dir_.File(sName); }

 private:
  ScratchDir dir_;
  std::unique_ptr<kmCalcHandler> pHandler_;
};

// Export options: the given field delimiter, line delimiter, missing
// character and by-variable format; all models.
DataExportOptions MakeOptions(int iField, int iLine, int iMissing = 1,
                              int iByVarFormat = 2, int iModels = 0);

// Compares sActual with the golden file sName below the export fixtures
// (tests/fixtures/reports); with KM_REGENERATE_GOLDEN set in the
// environment it writes the file instead.
void ExpectGolden(const std::string& sName, const std::string& sActual);

// The cell below the header sColumn in data line iLine (1 = the line after
// the header) of the golden file sName, whose cells are split at
// cDelimiter.
std::string GoldenCell(const std::string& sName, char cDelimiter, int iLine,
                       const std::string& sColumn);

}  // namespace km_test

#endif  // KM_TESTS_TEST_UTIL_RESULTSFILEFIXTURE_H
