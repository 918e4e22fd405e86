// The export-options file: validation and the copying of its values into
// the export layout, the session's AAPC ranges and the display options.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/ExportOptions.h"
#include "session/kmSession.h"
#include "tests/driver/OptionTable.h"
#include "tests/test_util/TestUtil.h"

namespace {

// The messages of the last validation.
std::string sText;

std::string Text() { return sText; }

// Validates the file path; the messages are left in sText.
bool Validate(const std::string& path) {
  KmString sMessages;
  const bool bValid = ValidateExportOptions(path.c_str(), sMessages);
  sText = sMessages.GetCString();
  return bValid;
}

// Reads `body` (after the section header) into an IniExportDict.
IniExportDict ReadBody(const std::string& body) {
  km_test::ScratchDir dir;
  const std::string path = dir.Write("export.ini", "[Export Options]\n" + body);
  IniExportDict dict;
  dict.CreateDictFromFile(path.c_str());
  return dict;
}

TEST(ValidateExportOptions, MissingSectionAndMessages) {
  km_test::ScratchDir dir;
  const std::string path = dir.File("export.ini");
  km_test::WriteAll(path, "[Session Options]\n");
  EXPECT_FALSE(Validate(path));
  EXPECT_EQ(Text(), "Missing [Export Options] in Options file: " + path + "\n");

  km_test::WriteAll(path,
                    "[export options]\nExport Report = TRUE\n\n"
                    "export graphs = true\nx values precision = -1\n");
  EXPECT_FALSE(Validate(path));
  EXPECT_EQ(km_test::ElidedKeyLists(Text()),
            "The file \"" + path +
                "\", line 4: \"export graphs\" is not a valid Export Option; "
                "use ...\nThe file \"" +
                path +
                "\", line 5: \"-1\" is not a valid value for the \"x values "
                "precision\" Export Option (the number -1); use 0 to 17.\n");

  // A numbered range without its partner would be left out silently (or,
  // an end alone, taken from the first year), range 1 as any other.
  const struct {
    const char* sRanges;
    const char* sMessages;
  } kUnpaired[] = {
      {"aapc start range1 = 1990\naapc end range1 = 2000\n"
       "aapc start range2 = 2005\naapc end range3 = 2010\n",
       "aapc start range2 found but no corresponding End Range found: the "
       "Export Options need \"aapc end range2\" as well.\n\"aapc end range3\" "
       "has no matching \"aapc start "
       "range3\" Export Option.\n"},
      {"aapc start range1 = 2000\n",
       "aapc start range1 found but no corresponding End Range found: the "
       "Export Options need \"aapc end range1\" as well.\n"},
      {"aapc end range1 = 2010\naapc start range2 = 1990\n"
       "aapc end range2 = 2000\n",
       "\"aapc end range1\" has no matching \"aapc start range1\" Export "
       "Option.\n\"aapc start range1\" is missing: the AAPC ranges are read "
       "from range 1 up to the first start missing, so range 2 would be left "
       "out.  Number the ranges 1, 2, 3, ... without a gap.\n"},
      // Every range after the first number missing would be left out, and
      // a range that does not run forwards has no AAPC in any cohort.
      {"aapc start range1 = 1990\naapc end range1 = 2000\n"
       "aapc start range4 = 1990\naapc end range4 = 2000\n"
       "aapc start range7 = 2005\naapc end range7 = 2005\n"
       "aapc start range2 = 1990\naapc end range2 = 2000\n",
       "\"aapc start range3\" is missing: the AAPC ranges are read from range "
       "1 up to the first start missing, so ranges 4 and 7 would be left out. "
       " Number the ranges 1, 2, 3, ... without a gap.\nAAPC range 7 does not "
       "run forwards: \"aapc start range7\" (2005) is not before \"aapc end "
       "range7\" (2005).  Give each range an end later than its start.\n"},
      // Neither an empty end nor a key the reader never asks for is read.
      {"aapc start range1 = 1990\naapc end range1 =\n",
       "aapc start range1 found but no corresponding End Range found: the "
       "Export Options need \"aapc end range1\" as well.\n"},
      {"aapc start range 1 = 1990\naapc end range1 = 2000\n",
       "\"aapc start range 1\" is never read: an AAPC range key ends in the "
       "range's number, written without a blank or a leading zero, as in "
       "\"aapc start range1\".\n"},
      {"aapc start range01 = 1990\naapc end range01 = 2000\n",
       "\"aapc start range01\" is never read: an AAPC range key ends in the "
       "range's number, written without a blank or a leading zero, as in "
       "\"aapc start range1\".\n\"aapc end range01\" is never read: an AAPC "
       "range key ends in the range's number, written without a blank or a "
       "leading zero, as in \"aapc end range1\".\n"},
  };
  for (const auto& c : kUnpaired) {
    km_test::WriteAll(path, std::string("[Export Options]\n") + c.sRanges);
    EXPECT_FALSE(Validate(path));
    EXPECT_EQ(Text(), c.sMessages);
  }
}

using option_table::OptionCase;

const char* const kSwitches[] = {"remove km flags",
                                 "remove best fit flags",
                                 "output by-group headers",
                                 "all models in same column",
                                 "include km estimates",
                                 "include apcs in data export",
                                 "aapc full range",
                                 "aapc last obs",
                                 "export bad cohorts",
                                 "export report",
                                 "export data",
                                 "export apc",
                                 "export all apc segments",
                                 "export aapc",
                                 "export ftest",
                                 "export jump_cr",
                                 "export selection results",
                                 "export pairwise"};

const char* const kPrecisions[] = {"x values precision",
                                   "y values precision",
                                   "model statistics precision",
                                   "estimated kinkmarks precision",
                                   "regression coefficients precision",
                                   "covariance matrix precision",
                                   "correlation matrix precision",
                                   "apc precision",
                                   "aapc precision",
                                   "aapc segment ranges precision",
                                   "p-value precision"};

TEST(IsValidExportOption, EveryKeyAcceptsItsValuesAndRefusesAWrongOne) {
  std::vector<OptionCase> cases = {
      {"models", {"all", "Best Fit"}, {"best"}},
      {"line delimiter", {"dos/windows", "unix"}, {"mac"}},
      {"missing character", {"space", "period", "na"}, {"dash"}},
      {"field delimiter", {"tab", "Comma", "semi-colon"}, {"pipe"}},
      {"by-var format",
       {"numeric", "quoted labels", "unquoted labels"},
       {"labels"}},
      {"export type", {"table", "text"}, {"graph"}},
      {"aapc start range", {"1990", "-5", ""}, {"x"}},
      {"aapc start range 3", {"2000.5"}, {"2000-"}},
      {"aapc end range12", {"2010"}, {"end"}},
  };
  for (const char* sKey : kSwitches) {
    cases.push_back({sKey, {"true", "FALSE", "Yes", "0"}, {"0x1", "-1"}, true});
  }
  for (const char* sKey : kPrecisions) {
    cases.push_back({sKey,
                     {"3", "12", "17", "", "4.0"},
                     {"-1", "18", "2000000000", "3.5"}});
  }
  option_table::ExpectOptionTable(IsValidExportOption, "Export Option", cases);
}

TEST(ApplyExportOptions, OneSwitchLeavesTheOthersOnAndResetsTheLayout) {
  const IniExportDict dict = ReadBody("export data = false\n");
  EXPECT_FALSE(dict.bExportData);
  for (bool bSwitch : {dict.bExportReport, dict.bExportAPC, dict.bExportAAPC,
                       dict.bExportFTest, dict.bExportPairwise,
                       dict.bExportJumpCR, dict.bExportSelectionResults}) {
    EXPECT_TRUE(bSwitch);
  }
  DataExportOptions options;
  ApplyExportOptions(dict, options);
  EXPECT_EQ(options.GetFieldDelimeter(), '\t');
  EXPECT_EQ(options.GetLineDelimeter(), "\r\n");
  EXPECT_EQ(options.GetMissingChar(), " ");
  EXPECT_EQ(options.iModels, 0);
  EXPECT_FALSE(options.bAllModelsInSameColumn);
  EXPECT_TRUE(options.bOutputByGroupHeaders);
  EXPECT_FALSE(options.bRemoveBestFitFlags);
}

TEST(ApplyAAPCRanges, ReplacesTheSessionRangesWhole) {
  struct Case {
    const char* sBody;
    bool bFull;
    std::vector<int32_t> lastObs;
    std::vector<double> starts;
    std::vector<double> ends;
  };
  const Case cases[] = {
      {"aapc full range = true\naapc last obs = true\n", true, {5, 10}, {}, {}},
      {"aapc start range1 = 1990\naapc end range1 = 2000\n"
       "aapc start range2 = 2000\naapc end range2 = 2010\n",
       false,
       {},
       {1990, 2000},
       {2000, 2010}},
      // An end value without its start is not read: one range stays.
      {"aapc start range1 = 1990\naapc end range1 = 2000\n"
       "aapc end range2 = 2010\n",
       false,
       {},
       {1990},
       {2000}},
      // A start without its end: unequal lists, no custom ranges.
      {"aapc start range1 = 1990\naapc end range1 = 2000\n"
       "aapc start range2 = 2005\n",
       false,
       {},
       {},
       {}},
      {"", false, {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sBody);
    kmSession session;
    kmAAPCRanges old;
    old.SetStartRange({1, 2, 3});
    old.SetEndRange({4, 5, 6});
    session.SetAAPCRanges(old);
    ApplyAAPCRanges(&session, ReadBody(c.sBody));
    const kmAAPCRanges r = session.GetAAPCRanges();
    EXPECT_EQ(r.GetFullRange(), c.bFull);
    EXPECT_EQ(r.GetLastObsRanges(), c.lastObs);
    EXPECT_EQ(r.GetStartRange(), c.starts);
    EXPECT_EQ(r.GetEndRange(), c.ends);
  }
}

TEST(ApplyDisplayPrecisions, SetsTheNumberedOptions) {
  const IniExportDict dict = ReadBody(
      "x values precision = 1\ny values precision = 2\n"
      "model statistics precision = 4\nestimated kinkmarks precision = 5\n"
      "apc precision = 6\np-value precision = 7\naapc full range = true\n"
      "include apcs in data export = false\n");
  OutputDisplayOptions options;
  ApplyDisplayPrecisions(dict, options);
  EXPECT_EQ(options.GetInt(kmDispXValuesPrec), 1);
  EXPECT_EQ(options.GetInt(kmDispYValuesPrec), 2);
  EXPECT_EQ(options.GetInt(kmDispModelStatisticsPrec), 4);
  EXPECT_EQ(options.GetInt(kmDispKinkmarkPrec), 5);
  EXPECT_EQ(options.GetInt(kmDispTrendKinkmarkPrec), 5);
  EXPECT_EQ(options.GetInt(kmDispTrendAPCPrec), 6);
  EXPECT_EQ(options.GetInt(kmDispPValuePrec), 7);
  EXPECT_EQ(options.GetInt(kmDispAAPCPrec), 3);
  EXPECT_TRUE(options.GetBool(kmDispAAPCFullRange));
  EXPECT_FALSE(options.GetBool(kmDispDataShowAPCs));
}

}  // namespace
