// Every key of the run-options and export-options files, through whole
// runs: one row per key (a few keys have a row per value). Each row runs
// twice on the same tiny data set, once with the row's option lines and
// once with the comparison lines, and names the file that shows the key's
// effect: a text that the file holds after the first run and not after the
// second, the file itself written only by the first run, or (for seeds,
// resampling counts and levels whose figures cannot be read off by eye)
// the file's contents differing between the two runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/E2eRun.h"
#include "tests/test_util/TestUtil.h"

namespace {

namespace fs = std::filesystem;

// How a row's effect shows in its file.
enum class Effect {
  kText,    // sText is in the file after the run with the key only
  kFile,    // the file is written by the run with the key only
  kDiffers  // the file's contents differ between the two runs
};

// Option lines are "S:key = value" (section "Session Options") or
// "E:key = value" (section "Export Options").
struct OptionRow {
  const char* sName;
  std::vector<const char*> with;     // the key and what it needs to show
  std::vector<const char*> without;  // the comparison run's lines
  const char* sFile;                 // output file, without the "out." prefix
  Effect effect;
  const char* sText = nullptr;
  const char* sSession = "rates.ini";
  const char* sData = "data.csv";
  // Option lines both runs hold before the row's own.
  std::vector<const char*> context = {};
};

constexpr Effect T = Effect::kText;
constexpr Effect F = Effect::kFile;
constexpr Effect D = Effect::kDiffers;

const char kRates[] = "rates.ini";
const char kCounts[] = "counts.ini";
const char kData[] = "data.csv";
// A third cohort whose observations are all missing.
const char kBad[] = "bad.csv";
// Crude rates beside delay-adjusted ones.
const char kDelay[] = "delay.dic";
const char kDelayData[] = "delay.csv";
// One cohort whose kinkmark changes the slope only slightly.
const char kSmallKink[] = "madwd.csv";

// Permutation tests of Hudson's method, whose second test in West is far
// from significant.
const std::vector<const char*> kHudsonsTests = {
    "S:maximum kinkmarks = 2", "S:method = hudsons",
    "S:model selection method = permutation test", "S:num permutations = 199"};

// Reached by every run: a quick fit with at most one kinkmark.
const std::vector<const char*> kBase = {"S:maximum kinkmarks = 1",
                                        "S:model selection method = bic",
                                        "E:line delimiter = unix"};

const OptionRow kRows[] = {
    // -- Run options --
    {"model",
     {"S:model = linear"},
     {"S:model = ln"},
     "bicexport.txt",
     T,
     "15.594"},
    {"pairwise", {"S:pairwise = parallel"}, {}, "pairwise_comparison.txt", F},
    {"pairwise coincident",
     {"S:pairwise = coincident"},
     {"S:pairwise = parallel"},
     "report.txt",
     T,
     "6527.855"},
    {"empirical quantile seed type",
     {"S:ci method = empirical quantile method 1",
      "S:empirical quantile seed type = varying"},
     {"S:ci method = empirical quantile method 1",
      "S:empirical quantile seed type = constant"},
     "apcexport.txt",
     D},
    {"method", {"S:method = hudsons"}, {"S:method = grid"}, "report.txt", D},
    {"model selection permutation test",
     {"S:model selection method = permutation test", "S:num permutations = 19"},
     {},
     "permtestexport.txt",
     F},
    {"model selection bic",
     {"S:model selection method = bic"},
     {"S:model selection method = mbic"},
     "bicexport.txt",
     F},
    {"model selection mbic",
     {"S:model selection method = mbic"},
     {},
     "mbicexport.txt",
     F},
    {"model selection bic3",
     {"S:model selection method = bic3"},
     {},
     "bic3export.txt",
     F},
    {"model selection data dependent",
     {"S:model selection method = data dependent selection"},
     {},
     "ddcexport.txt",
     F},
    {"model selection wbic-alt",
     {"S:model selection method = wbic-alt"},
     {},
     "wbicaltexport.txt",
     F},
    {"model selection wbic",
     {"S:model selection method = wbic"},
     {},
     "wbicexport.txt",
     F},
    {"early stopping b-value",
     {"S:early stopping = b-value"},
     {"S:early stopping = fixed"},
     "permtestexport.txt",
     T,
     "\t  29\t",
     kRates,
     kData,
     kHudsonsTests},
    {"early stopping curtailed",
     {"S:num permutations = 999", "S:early stopping = curtailed"},
     {"S:num permutations = 999", "S:early stopping = fixed"},
     "permtestexport.txt",
     T,
     "\t 216\t",
     kRates,
     kData,
     kHudsonsTests},
    {"run type",
     {"S:dependent variable type = crude rate", "S:run type = calculated"},
     {"S:dependent variable type = crude rate", "S:run type = provided"},
     "dataexport.txt",
     T,
     "\"Crude Rate\"",
     kCounts},
    {"dependent variable type",
     {"S:dependent variable type = count"},
     {},
     "RunSummary.txt",
     T,
     "=  Count"},
    {"het error",
     {"S:het error = constant variance"},
     {},
     "bicexport.txt",
     T,
     "0.002"},
    {"het error poisson count",
     {"S:het error = poisson count"},
     {"S:het error = constant variance"},
     "RunSummary.txt",
     T,
     "=  Poisson Variance",
     kCounts},
    {"het error variable location",
     {"S:het error = standard error", "S:het error variable location = 3"},
     {"S:het error = standard error", "S:het error variable location = 4"},
     "report.txt",
     D},
    {"ci method",
     {"S:ci method = empirical quantile method 1"},
     {"S:ci method = parametric"},
     "apcexport.txt",
     T,
     "\t--\t--"},
    {"delay type delay",
     {"S:delay type = delay"},
     {"S:delay type = non-delay"},
     "dataexport.txt",
     T,
     "\"Delay Crude Rate\"",
     kDelay,
     kDelayData},
    {"delay type both",
     {"S:delay type = both"},
     {"S:delay type = non-delay"},
     "dataexport.txt",
     T,
     "\"Delay and NonDelay\"",
     kDelay,
     kDelayData},
    {"autocorr errors estimated",
     {"S:autocorr errors = estimated"},
     {"S:autocorr errors = 0"},
     "report.txt",
     T,
     "\t-0.674\t"},
    // The estimate prints at the coefficients' precision (3 by default).
    {"autocorr errors estimated, its decimals",
     {"E:regression coefficients precision = 5"},
     {},
     "report.txt",
     T,
     "\t-0.67380\t",
     kRates,
     kData,
     {"S:autocorr errors = estimated"}},
    {"autocorr errors fixed",
     {"S:autocorr errors = 0.3"},
     {},
     "report.txt",
     T,
     "\t0.300\t"},
    {"kinkmark alpha level",
     {"S:kinkmark alpha level = 0.1"},
     {},
     "report.txt",
     T,
     "\t2009.000\t2008.000\t2009.000\t"},
    {"apc alpha level",
     {"S:apc alpha level = 0.1"},
     {},
     "apcexport.txt",
     T,
     "\t2.664\t"},
    {"jump cr alpha level",
     {"S:jump model = true", "S:jump location = 2006",
      "S:jump cr alpha level = 0.1"},
     {"S:jump model = true", "S:jump location = 2006"},
     "jumpcrexport.txt",
     D},
    {"aapc alpha level",
     {"E:aapc full range = true", "S:aapc alpha level = 0.1"},
     {"E:aapc full range = true"},
     "aapcexport.txt",
     D},
    {"madwd",
     {"S:madwd = true", "S:madwd psi value = 0.5"},
     {"S:madwd psi value = 0.5"},
     "report.txt",
     T,
     "East\t-\t",
     kRates,
     kSmallKink},
    {"madwd psi value",
     {"S:madwd = true", "S:madwd psi value = 0.5"},
     {"S:madwd = true", "S:madwd psi value = 0.1"},
     "report.txt",
     T,
     "East\t-\t",
     kRates,
     kSmallKink},
    {"jump model",
     {"S:jump model = true", "S:jump location = 2006"},
     {"S:jump location = 2006"},
     "jumpcrexport.txt",
     F},
    // Fault: a switch written yes, 1.0, no or 0, as the other files take
    // it, was refused.
    {"jump model written YES and 0",
     {"S:jump model = YES", "S:jump location = 2006"},
     {"S:jump model = 0", "S:jump location = 2006"},
     "jumpcrexport.txt",
     F},
    // A log-linear jump model's ratio columns hold exp(jump), East's 1.021
    // for its jump of 0.020; a linear model has no ratio.
    {"jump model ratio",
     {"S:jump model = true", "S:jump location = 2006", "S:model = ln"},
     {"S:jump model = true", "S:jump location = 2006", "S:model = linear"},
     "jumpcrexport.txt",
     T,
     "\t0.020\t0.016\t-0.016\t0.057\t0\t1.252\t0.242\t1.021\t0.017\t"},
    {"comparability ratio",
     {"S:comparability ratio = true", "S:comparability ratio value = 1.1",
      "S:cr variance = 0.01", "S:jump location = 2006"},
     {"S:comparability ratio value = 1.1", "S:cr variance = 0.01",
      "S:jump location = 2006"},
     "jumpcrexport.txt",
     F},
    {"include standard analysis",
     {"S:jump model = true", "S:jump location = 2006",
      "S:include standard analysis = true"},
     {"S:jump model = true", "S:jump location = 2006"},
     "report.txt",
     D},
    {"minimum kinkmarks",
     {"S:minimum kinkmarks = 0"},
     {"S:minimum kinkmarks = 1"},
     "dataexport.txt",
     T,
     "\"KM0"},
    {"maximum kinkmarks",
     {"S:maximum kinkmarks = 1"},
     {"S:maximum kinkmarks = 0"},
     "dataexport.txt",
     T,
     "\"KM1"},
    // Fault: -1 written -1.0 (or -1e0, -01) was refused, where -1 keeps the
    // session's maximum (here the default for 12 years, 2).
    {"maximum kinkmarks written -1.0",
     {"S:maximum kinkmarks = -1.0"},
     {"S:maximum kinkmarks = 0"},
     "dataexport.txt",
     T,
     "\"KM2"},
    {"min obs end",
     {"S:min obs end = 4"},
     {},
     "apcexport.txt",
     T,
     "\t2000.000\t2007.000\t"},
    {"min obs between",
     {"S:maximum kinkmarks = 2", "S:min obs between = 5"},
     {"S:maximum kinkmarks = 2"},
     "bicexport.txt",
     D},
    // Fault: 0 was refused, though the engine fits kinkmarks on neighbouring
    // observations.
    {"min obs between 0",
     {"S:maximum kinkmarks = 3", "S:min obs end = 1", "S:min obs between = 0"},
     {"S:maximum kinkmarks = 3", "S:min obs end = 1"},
     "bicexport.txt",
     D},
    // Fault: the model without kinkmarks was refused for want of the end
    // segments it does not have.
    {"min obs end beyond the kinkmarked models",
     {"S:minimum kinkmarks = 0", "S:min obs end = 8"},
     {"S:minimum kinkmarks = 0"},
     "finalselectedmodelexport.txt",
     T,
     "\nEast\t0\n"},
    {"num obs between",
     {"S:num obs between = 1"},
     {},
     "report.txt",
     T,
     "\t2009.500\t"},
    {"num permutations",
     {"S:model selection method = permutation test", "S:num permutations = 9"},
     {"S:model selection method = permutation test", "S:num permutations = 19"},
     "permtestexport.txt",
     D},
    {"pairwise number of permutations",
     {"S:pairwise = parallel", "S:pairwise number of permutations = 9"},
     {"S:pairwise = parallel", "S:pairwise number of permutations = 19"},
     "pairwise_comparison.txt",
     D},
    {"pairwise significance level",
     {"S:pairwise = parallel", "S:pairwise number of permutations = 9",
      "S:pairwise significance level = 0.01"},
     {"S:pairwise = parallel", "S:pairwise number of permutations = 9"},
     "pairwise_comparison.txt",
     D},
    {"number of resamples",
     {"S:ci method = empirical quantile method 1",
      "S:number of resamples = 30"},
     {"S:ci method = empirical quantile method 1",
      "S:number of resamples = 20"},
     "apcexport.txt",
     D},
    {"data shift",
     {"S:data shift = 1"},
     {},
     "apcexport.txt",
     T,
     "\t2001.000\t2012.000\t"},
    {"permutations significance level",
     {"S:model selection method = permutation test", "S:num permutations = 19",
      "S:permutations significance level = 0.2"},
     {"S:model selection method = permutation test", "S:num permutations = 19"},
     "permtestexport.txt",
     D},
    {"jump location",
     {"S:jump model = true", "S:jump location = 2005"},
     {"S:jump model = true", "S:jump location = 2007"},
     "jumpcrexport.txt",
     D},
    {"comparability ratio value",
     {"S:comparability ratio = true", "S:comparability ratio value = 1.2",
      "S:cr variance = 0.01", "S:jump location = 2006"},
     {"S:comparability ratio = true", "S:comparability ratio value = 1.1",
      "S:cr variance = 0.01", "S:jump location = 2006"},
     "jumpcrexport.txt",
     D},
    {"cr variance",
     {"S:comparability ratio = true", "S:comparability ratio value = 1.1",
      "S:cr variance = 0.02", "S:jump location = 2006"},
     {"S:comparability ratio = true", "S:comparability ratio value = 1.1",
      "S:cr variance = 0.01", "S:jump location = 2006"},
     "jumpcrexport.txt",
     D},
    {"rates per n",
     {"S:dependent variable type = crude rate", "S:run type = calculated",
      "S:rates per n = 1000"},
     {"S:dependent variable type = crude rate", "S:run type = calculated"},
     "dataexport.txt",
     T,
     "\t0.498000000\t",
     kCounts},
    {"random number generator seed",
     {"S:maximum kinkmarks = 2", "S:model selection method = permutation test",
      "S:num permutations = 199", "S:random number generator seed = 5"},
     {"S:maximum kinkmarks = 2", "S:model selection method = permutation test",
      "S:num permutations = 199"},
     "permtestexport.txt",
     D},
    {"empirical quantile seed",
     {"S:ci method = empirical quantile method 1",
      "S:empirical quantile seed = 5"},
     {"S:ci method = empirical quantile method 1"},
     "apcexport.txt",
     D},

    // -- Export options --
    // "include km estimates" is read and kept with the layout, but no
    // export has columns for it to add, so it has no row.
    {"models",
     {"E:models = all"},
     {"E:models = best fit"},
     "dataexport.txt",
     T,
     "\"KM0\""},
    {"line delimiter",
     {"E:line delimiter = dos/windows"},
     {},
     "report.txt",
     T,
     "\r\n"},
    {"missing character na",
     {"E:missing character = na"},
     {},
     "report.txt",
     T,
     "\tNA\t"},
    {"missing character period",
     {"E:missing character = period"},
     {},
     "report.txt",
     T,
     "\t.\t"},
    {"field delimiter comma",
     {"E:field delimiter = comma"},
     {},
     "report.txt",
     T,
     "\"Site\",\"Model\""},
    {"field delimiter semi-colon",
     {"E:field delimiter = semi-colon"},
     {},
     "report.txt",
     T,
     "\"Site\";\"Model\""},
    {"by-var format numeric",
     {"E:by-var format = numeric"},
     {},
     "finalselectedmodelexport.txt",
     T,
     "\n2\t1"},
    {"by-var format quoted labels",
     {"E:by-var format = quoted labels"},
     {},
     "report.txt",
     T,
     "\n\"West\"\t"},
    {"export type",
     {"E:export type = text"},
     {},
     "RunSummary.txt",
     T,
     "Export Type = Text"},
    {"remove km flags",
     {"E:remove km flags = false"},
     {},
     "dataexport.txt",
     T,
     "\"Flag0\""},
    {"remove best fit flags",
     {"E:remove best fit flags = false"},
     {"E:remove best fit flags = true"},
     "dataexport.txt",
     T,
     "\"KM1^\""},
    {"output by-group headers",
     {"E:output by-group headers = false"},
     {},
     "dataexport.txt",
     T,
     "\"Final Selected Model\""},
    {"all models in same column",
     {"E:all models in same column = true"},
     {},
     "dataexport.txt",
     T,
     "\"Standard Error\""},
    {"include apcs in data export",
     {"E:include apcs in data export = true"},
     {"E:include apcs in data export = false"},
     "dataexport.txt",
     T,
     "\"APC0\""},
    {"aapc full range",
     {"E:aapc full range = true"},
     {},
     "aapcexport.txt",
     T,
     "Full Range"},
    {"aapc last obs",
     {"E:aapc last obs = true"},
     {},
     "aapcexport.txt",
     T,
     "Last 5 Obs."},
    {"aapc start and end range",
     {"E:aapc start range1 = 2002", "E:aapc end range1 = 2008"},
     {},
     "aapcexport.txt",
     T,
     "\t2002.000\t2008.000\t"},
    {"export bad cohorts",
     {"E:all models in same column = true", "E:export bad cohorts = true"},
     {"E:all models in same column = true", "E:export bad cohorts = false"},
     "dataexport.txt",
     T,
     "North",
     kRates,
     kBad},
    {"export report", {}, {"E:export report = false"}, "report.txt", F},
    {"export report written 1.0 and No",
     {"E:export report = 1.0"},
     {"E:export report = No"},
     "report.txt",
     F},
    {"export data", {}, {"E:export data = false"}, "dataexport.txt", F},
    {"export apc", {}, {"E:export apc = false"}, "apcexport.txt", F},
    {"export all apc segments",
     {},
     {"E:export all apc segments = false"},
     "apcexport.txt",
     D},
    {"export aapc", {}, {"E:export aapc = false"}, "aapcexport.txt", F},
    {"export ftest", {}, {"E:export ftest = false"}, "bicexport.txt", F},
    {"export jump_cr",
     {"S:jump model = true", "S:jump location = 2006"},
     {"S:jump model = true", "S:jump location = 2006",
      "E:export jump_cr = false"},
     "jumpcrexport.txt",
     F},
    {"export selection results",
     {"S:model selection method = data dependent selection"},
     {"S:model selection method = data dependent selection",
      "E:export selection results = false"},
     "selectionresultsexport.txt",
     F},
    {"export pairwise",
     {"S:pairwise = parallel", "S:pairwise number of permutations = 9"},
     {"S:pairwise = parallel", "S:pairwise number of permutations = 9",
      "E:export pairwise = false"},
     "pairwise_comparison.txt",
     F},
    {"x values precision",
     {"E:x values precision = 2"},
     {},
     "dataexport.txt",
     T,
     "\t2000.00\t"},
    {"y values precision",
     {"E:y values precision = 2"},
     {},
     "dataexport.txt",
     T,
     "\t49.80\t"},
    {"model statistics precision",
     {"S:jump model = true", "S:jump location = 2006",
      "E:model statistics precision = 5"},
     {"S:jump model = true", "S:jump location = 2006"},
     "jumpcrexport.txt",
     T,
     "\t2006.00000\t"},
    {"estimated kinkmarks precision",
     {"E:estimated kinkmarks precision = 5"},
     {},
     "report.txt",
     T,
     "\t2009.00000\t"},
    {"regression coefficients precision",
     {"E:regression coefficients precision = 5"},
     {},
     "report.txt",
     T,
     "\t-53.01724\t"},
    {"covariance matrix precision",
     {"E:covariance matrix precision = 5"},
     {},
     "RunSummary.txt",
     T,
     "Covariance Matrix Precision = 5"},
    {"correlation matrix precision",
     {"E:correlation matrix precision = 5"},
     {},
     "RunSummary.txt",
     T,
     "Correlation Matrix Precision = 5"},
    {"apc precision",
     {"E:apc precision = 5"},
     {},
     "apcexport.txt",
     T,
     "\t2.88752\t"},
    {"apc precision of the data export",
     {"E:include apcs in data export = true", "E:apc precision = 5"},
     {"E:include apcs in data export = true"},
     "dataexport.txt",
     T,
     "\t2.88752*\t"},
    {"y values precision of the data export's standard errors",
     {"E:models = best fit", "E:y values precision = 6"},
     {"E:models = best fit"},
     "dataexport.txt",
     T,
     "\t0.498000\t"},
    {"aapc segment ranges precision of the apc export",
     {"E:aapc segment ranges precision = 1"},
     {},
     "apcexport.txt",
     T,
     "\t2000.0\t2011.0\t"},
    {"aapc precision",
     {"E:aapc full range = true", "E:aapc precision = 5"},
     {"E:aapc full range = true"},
     "aapcexport.txt",
     T,
     "\t2.88752\t"},
    {"aapc segment ranges precision",
     {"E:aapc full range = true", "E:aapc segment ranges precision = 5"},
     {"E:aapc full range = true"},
     "aapcexport.txt",
     T,
     "\t2000.00000\t"},
    {"p-value precision",
     {"E:p-value precision = 5"},
     {},
     "bicexport.txt",
     T,
     "20.61565"},
};

// The options file of a run: the base lines, the row's context, then the
// row's lines, each in its section; a later line of a key takes the place
// of the earlier one (a key given twice with another value is refused).
std::string OptionsFile(const std::vector<const char*>& context,
                        const std::vector<const char*>& lines) {
  std::string sRun = "[Session Options]\n";
  std::string sExport = "[Export Options]\n";
  std::vector<const char*> all = kBase;
  all.insert(all.end(), context.begin(), context.end());
  all.insert(all.end(), lines.begin(), lines.end());
  std::vector<std::string> kept;
  const auto Key = [](const std::string& s) {
    return s.substr(0, s.find('='));
  };
  for (const char* sLine : all) {
    const std::string s(sLine);
    const auto same =
        std::find_if(kept.begin(), kept.end(),
                     [&](const auto& k) { return Key(k) == Key(s); });
    if (same != kept.end()) {
      *same = s;
    } else {
      kept.push_back(s);
    }
  }
  for (const std::string& s : kept) {
    (s[0] == 'S' ? sRun : sExport) += s.substr(2) + "\n";
  }
  return sRun + "\n" + sExport;
}

// Runs kinkmark in dir with the row's session and data and the given
// option lines, and checks that the run ended well.
void RunWith(const OptionRow& row, const std::vector<const char*>& lines,
             const km_test::ScratchDir& dir) {
  km_test::WriteAll(dir.File("options.ini"), OptionsFile(row.context, lines));
  km_test::WriteAll(dir.File("run.ini"),
                    std::string("[Kinkmark Input Files]\nSession File = ") +
                        row.sSession + "\nData File = " + row.sData +
                        "\nRun Options File = options.ini\n"
                        "Export Options File = options.ini\n"
                        "Output File = out.kmo\n");
  const km_e2e::RunResult result = km_e2e::RunKinkmark(dir, "run.ini");
  EXPECT_EQ(result.iStatus, 0) << result.sConsole;
  EXPECT_FALSE(fs::exists(dir.File("run.ErrorFile.txt")))
      << km_test::ReadAll(dir.File("run.ErrorFile.txt"));
  EXPECT_NE(result.sConsole.find("has finished running."), std::string::npos)
      << result.sConsole;
}

// Reads the file into sContent; false when it was not written.
bool ReadIfWritten(const std::string& sPath, std::string& sContent) {
  if (!fs::exists(sPath)) return false;
  sContent = km_test::ReadAll(sPath);
  return true;
}

TEST(OptionKeys, EveryKeyReachesItsEffect) {
  for (const OptionRow& row : kRows) {
    SCOPED_TRACE(row.sName);
    const std::string sFile = std::string("out.") + row.sFile;
    km_test::ScratchDir with;
    km_test::ScratchDir without;
    km_e2e::CopyFixtureFolder("options", with);
    km_e2e::CopyFixtureFolder("options", without);
    RunWith(row, row.with, with);
    RunWith(row, row.without, without);

    std::string sWith;
    std::string sWithout;
    const bool bWith = ReadIfWritten(with.File(sFile), sWith);
    const bool bWithout = ReadIfWritten(without.File(sFile), sWithout);
    ASSERT_TRUE(bWith) << sFile << " not written";
    switch (row.effect) {
      case Effect::kText:
        EXPECT_NE(sWith.find(row.sText), std::string::npos) << sWith;
        EXPECT_EQ(sWithout.find(row.sText), std::string::npos) << sWithout;
        break;
      case Effect::kFile:
        EXPECT_FALSE(bWithout) << sFile << " written without the key";
        break;
      case Effect::kDiffers:
        EXPECT_TRUE(bWithout) << sFile << " not written without the key";
        EXPECT_NE(sWith, sWithout) << sWith;
        break;
    }
  }
}

// The number of workers is no figure of the analysis: one worker and four
// write the same files.
TEST(OptionKeys, NumCoresLeavesTheFiguresAlone) {
  const OptionRow row{"num cores", {}, {}, "", T};
  km_test::ScratchDir one;
  km_test::ScratchDir four;
  km_e2e::CopyFixtureFolder("options", one);
  km_e2e::CopyFixtureFolder("options", four);
  RunWith(row, {"S:num cores = 1"}, one);
  RunWith(row, {"S:num cores = 4"}, four);
  for (const char* sFile :
       {"out.report.txt", "out.dataexport.txt", "out.apcexport.txt",
        "out.bicexport.txt", "out.finalselectedmodelexport.txt"}) {
    SCOPED_TRACE(sFile);
    EXPECT_EQ(km_test::ReadAll(one.File(sFile)),
              km_test::ReadAll(four.File(sFile)));
  }
}

}  // namespace
