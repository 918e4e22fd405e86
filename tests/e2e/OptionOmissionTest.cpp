// Every default held by a test of its omission. The rows come from the
// option tables themselves (IniSessionDict::Rows, ExportOptionRows): for
// each kind of analysis, a run that leaves every key out writes the same
// files as a run that sets each key to its default, where the default is
// the table's, or, where a key keeps what the session or the data give
// ("maximum kinkmarks", "dependent variable type", "het error", "delay
// type"), the value that rule gives. The rows of one context run together
// (in as few runs as give each key once) against one run without them;
// when they differ, each row runs alone to name the ones that differ. Cohorts
// of several lengths (the first short, the last short) are fitted as each is
// alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "foundation/kmTools.h"
#include "session/IniExportDict.h"
#include "session/IniSessionDict.h"
#include "session/KmUserParamsDict.h"
#include "tests/e2e/E2eRun.h"
#include "tests/test_util/TestUtil.h"

namespace {

namespace fs = std::filesystem;

// Option lines are "S:key = value" (section "Session Options" of the
// run-options file), "E:key = value" (section "Export Options") or
// "D:key = value" (section "Datafile Options" of a session-parameter file).
using Lines = std::vector<std::string>;

// The years of every cohort of the one-length runs: few, so that the
// default number of permutations (and of resamples) stays quick.
constexpr int kYears = 8;
// Cohorts of the one-length runs: one pair for the comparisons.
constexpr int kCohorts = 2;
// Cohorts of several lengths: the first and the last short.
const std::vector<int> kSeveralLengths = {8, 12, 8};

// The data files' layouts.
enum class Layout {
  kRates,      // site, year, rate, standard error, count, population
  kAgeGroups,  // site, year, age group, count, population, standard
  kDelay       // site, year, rate, standard error, delay rate, its error
};

// One kind of analysis: its session definition (of the fixture folder
// "omission"), its data and the lines that make it.
struct Kind {
  const char* sName;
  const char* sSession;
  Layout layout;
  Lines lines;
  // The lines that set a key which keeps the session's own value when left
  // out, as the session holds it.
  std::map<std::string, Lines> sessionValues;
  bool bAlone = true;        // its cohorts can be fitted one by one
  bool bClustering = false;  // the run's saved session then clusters
  // Lines of the contexts the kind refuses to combine with its own, left
  // out of its runs.
  Lines refused = {};
};

// The kind's name for the test's messages.
void PrintTo(const Kind& kind, std::ostream* pStream) {
  *pStream << kind.sName;
}

// Context lines that some kinds refuse.
const char kResampled[] = "S:ci method = empirical quantile method 1";
const char kDataDependent[] =
    "S:model selection method = data dependent selection";

const Lines kStandardError = {"S:het error = standard error",
                              "S:het error variable location = 4"};

const Kind kKinds[] = {
    {"rates with standard errors",
     "se.ini",
     Layout::kRates,
     {},
     {{"dependent variable type", {"S:dependent variable type = crude rate"}},
      {"het error", kStandardError}}},
    {"counts as crude rates",
     "counts.ini",
     Layout::kRates,
     {"S:run type = calculated", "S:dependent variable type = crude rate"},
     {{"het error", {"S:het error = poisson rate"}}}},
    {"Poisson counts",
     "poissoncount.ini",
     Layout::kRates,
     {"S:dependent variable type = count"},
     {{"het error", {"S:het error = poisson count"}}}},
    {"age-adjusted rates",
     "agegroups.ini",
     Layout::kAgeGroups,
     {"S:run type = calculated",
      "S:dependent variable type = age-adjusted rate"},
     {{"het error", {"S:het error = constant variance"}}}},
    {"proportions",
     "counts.ini",
     Layout::kRates,
     {"S:run type = calculated", "S:dependent variable type = proportion"},
     {{"het error", {"S:het error = poisson rate"}}}},
    {"percents",
     "counts.ini",
     Layout::kRates,
     {"S:run type = calculated", "S:dependent variable type = percent"},
     {{"het error", {"S:het error = poisson rate"}}}},
    {"jump",
     "se.ini",
     Layout::kRates,
     {"S:jump model = true", "S:jump location = 2004"},
     {{"dependent variable type", {"S:dependent variable type = crude rate"}},
      {"het error", kStandardError}},
     true,
     false,
     {kResampled}},
    {"comparability ratio",
     "se.ini",
     Layout::kRates,
     {"S:comparability ratio = true", "S:jump location = 2004",
      "S:comparability ratio value = 1.1", "S:cr variance = 0.0004"},
     {{"dependent variable type", {"S:dependent variable type = crude rate"}},
      {"het error", kStandardError}},
     true,
     false,
     {kResampled}},
    {"pairwise",
     "se.ini",
     Layout::kRates,
     {"S:pairwise = parallel"},
     {{"dependent variable type", {"S:dependent variable type = crude rate"}},
      {"het error", kStandardError}},
     false,
     false,
     {kDataDependent}},
    {"clustering",
     "agegroups.ini",
     Layout::kAgeGroups,
     {"S:run type = calculated",
      "S:dependent variable type = age-adjusted rate"},
     {{"het error", {"S:het error = constant variance"}}},
     false,
     true},
    {"delay-adjusted",
     "delay.dic",
     Layout::kDelay,
     {"S:delay type = delay"},
     {{"dependent variable type", {"S:dependent variable type = crude rate"}}}},
    {"Hudson's method",
     "se.ini",
     Layout::kRates,
     {"S:method = hudsons"},
     {{"dependent variable type", {"S:dependent variable type = crude rate"}},
      {"het error", kStandardError}}},
};

// The contexts each kind runs in: what the run selects and resamples by,
// so that every key reaches the figures it changes.
struct Context {
  const char* sName;
  Lines lines;
};
const Context kContexts[] = {
    // Permutation tests of the default count: no key of the selection.
    {"every default", {}},
    {"data-dependent selection with resampled intervals",
     {kDataDependent, kResampled, "E:aapc full range = true",
      "S:madwd = true"}},
};

// Keys of the tables for which no value writes the default: leaving them
// out is the only way to have it.
const std::set<std::string> kNoWrittenDefault = {
    // Any value asks for a comparison; without the key there is none.
    "pairwise",
    // Read only with "het error", where the kinds give it.
    "het error variable location",
    // The run file names the data file.
    "datafile name",
};

// Keys whose default is the session's own value: written where the kind
// gives it (Kind::sessionValues).
const std::set<std::string> kSessionKeys = {"dependent variable type",
                                            "het error", "delay type"};

// The defaults of the section "Datafile Options" of a session-parameter
// file (KmUserParamsDict::DatafileOptionRows, whose rows hold none).
const std::map<std::string, std::string> kDatafileDefaults = {
    {"file format", "DOS"},
    {"field delimiter", "tab"},
    {"missing character", "space"},
    {"fields with delimiter in quotes", "false"},
    {"variable names included", "false"},
};

// The keys read by hand (RunOptionRead::kByHand) whose default is a word
// or a number of their own.
const std::map<std::string, std::string> kByHandDefaults = {
    {"model", "ln"},
    {"num cores", "9999"},
    {"autocorr errors", "0"},
    {"ci method", "parametric"},
};

std::string NumberText(double dValue) {
  char sText[32];
  std::snprintf(sText, sizeof(sText), "%g", dValue);
  return sText;
}

// The key of an option line with its section's letter ("S:model").
std::string KeyOf(const std::string& sLine) {
  return sLine.substr(0, sLine.find(" ="));
}

bool HoldsKey(const Lines& lines, const std::string& sKey) {
  for (const std::string& sLine : lines) {
    if (KeyOf(sLine) == sKey) return true;
  }
  return false;
}

// True when kind's session is a session-parameter file, whose section
// "Datafile Options" the test writes (lines "D:key = value").
bool IsParametersFile(const Kind& kind) {
  const std::string sSession = kind.sSession;
  return sSession.substr(sSession.size() - 4) == ".ini";
}

// One option left out, and the lines that set it to its default.
struct DefaultRow {
  std::string sKey;  // with its section's letter (KeyOf)
  Lines lines;
};

// The default of a run-options row in kind: empty when none is written.
Lines RunDefault(const RunOptionRow& row, const Kind& kind) {
  const std::string sKey = row.option.sKey;
  if (sKey == "maximum kinkmarks") {
    // The table's value for the cohorts' observations, their years.
    return {"S:maximum kinkmarks = " +
            NumberText(kmTools::MaxKinkmarksForObservations(kYears, false))};
  }
  const auto session = kind.sessionValues.find(sKey);
  if (session != kind.sessionValues.end()) return session->second;
  const std::string sPrefix = "S:" + sKey + " = ";
  switch (row.read) {
    case RunOptionRead::kInt:
    case RunOptionRead::kDouble:
      return {sPrefix + NumberText(row.dDefault)};
    case RunOptionRead::kFlag:
      return {sPrefix + (row.dDefault != 0.0 ? "true" : "false")};
    case RunOptionRead::kCode:
      if (row.dDefault < 0.0) return {};  // the session's, given above
      return {sPrefix +
              WordAt(row.option.sWords, static_cast<int32_t>(row.dDefault))
                  .GetCString()};
    case RunOptionRead::kByHand: {
      const auto byHand = kByHandDefaults.find(sKey);
      if (byHand == kByHandDefaults.end()) return {};
      return {sPrefix + byHand->second};
    }
  }
  return {};
}

// The default of an export-options row: empty for the numbered ranges.
Lines ExportDefault(const ExportOptionRow& row) {
  const OptionRow& option = row.option;
  const std::string sPrefix = std::string("E:") + option.sKey + " = ";
  switch (option.valueClass) {
    case OptionValueClass::kBool:
      return {sPrefix + (row.dDefault != 0.0 ? "true" : "false")};
    case OptionValueClass::kWord:
      return {sPrefix +
              WordAt(option.sWords, static_cast<int32_t>(row.dDefault))
                  .GetCString()};
    default:
      if (option.bPrefix) return {};
      return {sPrefix + NumberText(row.dDefault)};
  }
}

// Every row of both tables with the default written for kind; a row
// neither written nor named in kNoWrittenDefault fails the test.
std::vector<DefaultRow> DefaultRows(const Kind& kind) {
  std::vector<DefaultRow> rows;
  size_t iNumRows = 0;
  const RunOptionRow* pRunRows = IniSessionDict::Rows(iNumRows);
  for (size_t i = 0; i < iNumRows; ++i) {
    const std::string sKey = pRunRows[i].option.sKey;
    Lines lines = RunDefault(pRunRows[i], kind);
    if (lines.empty()) {
      EXPECT_TRUE(kNoWrittenDefault.count(sKey) > 0 ||
                  kSessionKeys.count(sKey) > 0)
          << "no default written for \"" << sKey << "\"";
      continue;
    }
    rows.push_back({"S:" + sKey, lines});
    // A default the row also takes as one of its words ("maximum
    // kinkmarks = -1": the session's own) is a second row.
    const std::string sDefault = NumberText(pRunRows[i].dDefault);
    const char* sWords = pRunRows[i].option.sWords;
    if (sWords != nullptr && WordCode(sWords, sDefault.c_str()) >= 0) {
      rows.push_back({"S:" + sKey, {"S:" + sKey + " = " + sDefault}});
    }
  }
  const ExportOptionRow* pExportRows = ExportOptionRows(iNumRows);
  for (size_t i = 0; i < iNumRows; ++i) {
    Lines lines = ExportDefault(pExportRows[i]);
    if (lines.empty()) {
      EXPECT_TRUE(pExportRows[i].option.bPrefix) << pExportRows[i].option.sKey;
      continue;
    }
    rows.push_back({KeyOf(lines.front()), lines});
  }
  if (!IsParametersFile(kind)) return rows;
  const OptionRow* pDatafileRows =
      KmUserParamsDict::DatafileOptionRows(iNumRows);
  for (size_t i = 0; i < iNumRows; ++i) {
    const std::string sKey = pDatafileRows[i].sKey;
    const auto value = kDatafileDefaults.find(sKey);
    if (value == kDatafileDefaults.end()) {
      EXPECT_TRUE(kNoWrittenDefault.count(sKey) > 0) << sKey;
      continue;
    }
    rows.push_back({"D:" + sKey, {"D:" + sKey + " = " + value->second}});
  }
  return rows;
}

// -- Data --

// The log rate of cohort iSite (0-based) in its year i: a kinked line with
// a small wobble, so that fits differ by their options.
double LogRate(int iSite, int i) {
  const double dBase[] = {3.9, 4.4, 3.4};
  const double dSlope[] = {0.03, -0.01, 0.02};
  const double dAfter[] = {-0.02, 0.04, -0.01};
  const int iKink[] = {3, 5, 4};
  return dBase[iSite] + dSlope[iSite] * i +
         (dAfter[iSite] - dSlope[iSite]) * std::max(0, i - iKink[iSite]) +
         0.01 * std::sin(1.7 * i + iSite);
}

std::string Format(const char* sFormat, double a, double b, double c,
                   double d) {
  char sText[128];
  std::snprintf(sText, sizeof(sText), sFormat, a, b, c, d);
  return sText;
}

// The data of the cohorts (sites 1, 2, 3, ...) with years[i] years each
// from 2000; iOnly > 0 keeps that site alone.
std::string DataText(Layout layout, const std::vector<int>& years,
                     int iOnly = 0) {
  std::string sText;
  for (int iSite = 0; iSite < static_cast<int>(years.size()); ++iSite) {
    if (iOnly > 0 && iSite + 1 != iOnly) continue;
    for (int i = 0; i < years[iSite]; ++i) {
      const std::string sHead =
          std::to_string(iSite + 1) + "," + std::to_string(2000 + i) + ",";
      const double dRate = std::exp(LogRate(iSite, i));
      switch (layout) {
        case Layout::kRates:
          sText += sHead + Format("%.2f,%.4f,%.0f,%.0f\n", dRate, dRate / 100,
                                  std::round(dRate * 20), 2000000);
          break;
        case Layout::kAgeGroups:
          for (int iAge = 0; iAge < 3; ++iAge) {
            const double dPopulation[] = {400000, 300000, 100000};
            const double dStandard[] = {500, 300, 200};
            sText += sHead + std::to_string(iAge) +
                     Format(",%.0f,%.0f,%.0f\n",
                            std::round(dRate * (0.5 + iAge) *
                                       dPopulation[iAge] / 100000),
                            dPopulation[iAge], dStandard[iAge], 0);
          }
          break;
        case Layout::kDelay:
          sText += sHead + Format("%.2f,%.4f,%.2f,%.4f\n", dRate, dRate / 100,
                                  dRate * 1.05, dRate * 1.05 / 100);
          break;
      }
    }
  }
  return sText;
}

// -- Runs --

const char kData[] = "data.csv";

// The options file: the lines in their sections, a later line of a key
// taking the place of an earlier one.
std::string OptionsFile(const Lines& lines) {
  std::string sRun = "[Session Options]\n";
  std::string sExport = "[Export Options]\n";
  std::map<std::string, std::string> kept;
  Lines order;
  for (const std::string& sLine : lines) {
    if (kept.count(KeyOf(sLine)) == 0) order.push_back(KeyOf(sLine));
    kept[KeyOf(sLine)] = sLine;
  }
  for (const std::string& sKey : order) {
    const std::string& sLine = kept[sKey];
    if (sLine[0] == 'S') sRun += sLine.substr(2) + "\n";
    if (sLine[0] == 'E') sExport += sLine.substr(2) + "\n";
  }
  return sRun + "\n" + sExport;
}

// What a run wrote: each file by its name, its execution time masked.
using Outputs = std::map<std::string, std::string>;

// The text with its folder sFolder hidden under as many '#' (the
// dictionary route names the data file by its full path; the saved
// session keeps its length) and its execution time left out.
std::string Masked(std::string sText, const std::string& sFolder) {
  for (size_t i = sText.find(sFolder); i != std::string::npos;
       i = sText.find(sFolder, i)) {
    sText.replace(i, sFolder.size(), std::string(sFolder.size(), '#'));
  }
  std::string sMasked;
  for (const std::string& sLine : km_test::Lines(sText)) {
    sMasked +=
        (sLine.rfind("Execution Time", 0) == 0 ? "Execution Time" : sLine) +
        "\n";
  }
  return sMasked;
}

void RunOnce(const km_test::ScratchDir& dir, const std::string& sRunFile) {
  const km_e2e::RunResult result = km_e2e::RunKinkmark(dir, sRunFile);
  EXPECT_EQ(result.iStatus, 0) << result.sConsole;
  EXPECT_FALSE(km_e2e::HasSanitizerReport(result.sConsole)) << result.sConsole;
  const std::string sError =
      dir.File(sRunFile.substr(0, sRunFile.size() - 4) + ".ErrorFile.txt");
  EXPECT_FALSE(fs::exists(sError)) << km_test::ReadAll(sError);
}

// Runs kind with the option lines on the data, and returns every file the
// run wrote but its binary results.
Outputs RunKind(const Kind& kind, const Lines& lines,
                const std::string& sData) {
  km_test::ScratchDir dir;
  km_e2e::CopyFixtureFolder("omission", dir);
  if (IsParametersFile(kind)) {
    // Its section "Datafile Options" from the lines "D:key = value", over a
    // data file of the default delimiter, the tab.
    std::string sDatafile = "[Datafile Options]\n";
    for (const std::string& sLine : lines) {
      if (sLine[0] == 'D') sDatafile += sLine.substr(2) + "\n";
    }
    km_test::WriteAll(
        dir.File(kind.sSession),
        sDatafile + "\n" + km_test::ReadAll(dir.File(kind.sSession)));
    std::string sTabbed = sData;
    std::replace(sTabbed.begin(), sTabbed.end(), ',', '\t');
    km_test::WriteAll(dir.File(kData), sTabbed);
  } else {
    km_test::WriteAll(dir.File(kData), sData);
  }
  km_test::WriteAll(dir.File("options.ini"), OptionsFile(lines));
  km_test::WriteAll(dir.File("run.ini"),
                    std::string("[Kinkmark Input Files]\nSession File = ") +
                        kind.sSession + "\nData File = " + kData +
                        "\nRun Options File = options.ini\n"
                        "Export Options File = options.ini\n"
                        "Output File = out.kmo\n");
  std::set<std::string> inputs;
  for (const auto& entry : fs::directory_iterator(dir.Path())) {
    inputs.insert(entry.path().filename().string());
  }
  RunOnce(dir, "run.ini");
  if (kind.bClustering) {
    // No run options: they would set the comparison type back to none.
    km_e2e::MakeClusteringSession(dir.File("run.kms"),
                                  dir.File("clustered.kms"));
    km_test::WriteAll(dir.File("clustering.ini"),
                      std::string("[Kinkmark Input Files]\n"
                                  "Session File = clustered.kms\n"
                                  "Data File = ") +
                          kData +
                          "\nExport Options File = options.ini\n"
                          "Output File = clustered.kmo\n");
    inputs.insert({"clustered.kms", "clustering.ini"});
    RunOnce(dir, "clustering.ini");
  }
  Outputs outputs;
  for (const auto& entry : fs::directory_iterator(dir.Path())) {
    const std::string sName = entry.path().filename().string();
    if (inputs.count(sName) > 0 || entry.path().extension() == ".kmo") {
      continue;
    }
    outputs[sName] =
        Masked(km_test::ReadAll(entry.path().string()), dir.Path());
  }
  return outputs;
}

// The names of the files that differ between two runs.
std::string Differences(const Outputs& left, const Outputs& right) {
  std::string sNames;
  std::set<std::string> names;
  for (const auto& [sName, sText] : left) names.insert(sName);
  for (const auto& [sName, sText] : right) names.insert(sName);
  for (const std::string& sName : names) {
    const auto l = left.find(sName);
    const auto r = right.find(sName);
    if (l == left.end() || r == right.end()) {
      sNames += "\n" + sName + " written by one run only";
    } else if (l->second != r->second) {
      // The first line that differs.
      const std::vector<std::string> lLines = km_test::Lines(l->second);
      const std::vector<std::string> rLines = km_test::Lines(r->second);
      size_t i = 0;
      while (i < lLines.size() && i < rLines.size() && lLines[i] == rLines[i]) {
        ++i;
      }
      const auto Shown = [](const std::vector<std::string>& lines, size_t i) {
        return i < lines.size() ? lines[i].substr(0, 200) : "(none)";
      };
      sNames += "\n" + sName + " line " + std::to_string(i + 1) + ": " +
                Shown(lLines, i) + " | " + Shown(rLines, i);
    }
  }
  return sNames;
}

class OptionOmission : public testing::TestWithParam<Kind> {};

// A run without a key writes what a run with its default writes.
TEST_P(OptionOmission, EveryDefaultIsTheRunWithoutItsKey) {
  const Kind& kind = GetParam();
  const std::string sData =
      DataText(kind.layout, std::vector<int>(kCohorts, kYears));
  const std::vector<DefaultRow> rows = DefaultRows(kind);
  for (const Context& context : kContexts) {
    SCOPED_TRACE(std::string("context: ") + context.sName);
    Lines base = kind.lines;
    for (const std::string& sLine : context.lines) {
      if (!HoldsKey(kind.refused, KeyOf(sLine))) base.push_back(sLine);
    }
    // The rows in batches that give each key once.
    std::vector<const DefaultRow*> tested;
    std::vector<Lines> batches;
    for (const DefaultRow& row : rows) {
      if (HoldsKey(base, row.sKey)) continue;
      tested.push_back(&row);
      size_t i = 0;
      while (i < batches.size() && HoldsKey(batches[i], row.sKey)) ++i;
      if (i == batches.size()) batches.push_back(base);
      batches[i].insert(batches[i].end(), row.lines.begin(), row.lines.end());
    }
    const Outputs without = RunKind(kind, base, sData);
    ASSERT_FALSE(HasFailure()) << "the run without the keys failed";
    bool bSame = true;
    for (const Lines& batch : batches) {
      bSame =
          bSame && Differences(without, RunKind(kind, batch, sData)).empty();
    }
    if (bSame) continue;
    // Name the rows that differ, in this context alone.
    for (const DefaultRow* pRow : tested) {
      Lines with = base;
      with.insert(with.end(), pRow->lines.begin(), pRow->lines.end());
      const std::string sDiffer =
          Differences(without, RunKind(kind, with, sData));
      EXPECT_EQ(sDiffer, "") << "\"" << pRow->sKey << "\" left out differs "
                             << "from " << pRow->lines.front();
    }
    return;
  }
}

// The lines of every export that begin with the label sLabel.
std::string LinesOf(const Outputs& outputs, const std::string& sLabel) {
  std::string sLines;
  for (const auto& [sName, sText] : outputs) {
    if (sName.rfind("out.", 0) != 0 || sName == "out.RunSummary.txt") {
      continue;
    }
    for (std::string sLine : km_test::Lines(sText)) {
      if (sLine.rfind(sLabel + "\t", 0) != 0) continue;
      // The data export pads every row to the run's widest model.
      while (!sLine.empty() && (sLine.back() == '\r' || sLine.back() == ' ' ||
                                sLine.back() == '\t')) {
        sLine.pop_back();
      }
      sLines += sName + ": " + sLine + "\n";
    }
  }
  return sLines;
}

// Without "maximum kinkmarks", cohorts of several lengths are each fitted
// with the maximum of their own years, as each is alone.
class CohortsAlone : public testing::TestWithParam<Kind> {};

TEST_P(CohortsAlone, EachCohortIsFittedAsAlone) {
  const Kind& kind = GetParam();
  Lines lines = kind.lines;
  lines.push_back("S:model selection method = bic");
  const Outputs together =
      RunKind(kind, lines, DataText(kind.layout, kSeveralLengths));
  const char* sLabels[] = {"East", "West", "North"};
  for (int iSite = 1; iSite <= 3; ++iSite) {
    SCOPED_TRACE(sLabels[iSite - 1]);
    const std::string sTogether = LinesOf(together, sLabels[iSite - 1]);
    EXPECT_NE(sTogether, "");
    EXPECT_EQ(sTogether,
              LinesOf(RunKind(kind, lines,
                              DataText(kind.layout, kSeveralLengths, iSite)),
                      sLabels[iSite - 1]));
  }
}

// The kinds whose cohorts can be fitted one by one.
std::vector<Kind> AloneKinds() {
  std::vector<Kind> kinds;
  for (const Kind& kind : kKinds) {
    if (kind.bAlone) kinds.push_back(kind);
  }
  return kinds;
}

std::string KindName(const testing::TestParamInfo<Kind>& info) {
  std::string sName;
  for (const char c : std::string(info.param.sName)) {
    if (std::isalnum(static_cast<unsigned char>(c))) sName += c;
  }
  return sName;
}

INSTANTIATE_TEST_SUITE_P(Kinds, OptionOmission, testing::ValuesIn(kKinds),
                         KindName);
INSTANTIATE_TEST_SUITE_P(Kinds, CohortsAlone, testing::ValuesIn(AloneKinds()),
                         KindName);

}  // namespace
