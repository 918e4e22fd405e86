// Tests of IniExportDict, the reader of the export-options file.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "session/IniExportDict.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::CatchKmException;

// Writes an export-options file whose section "Export Options" holds sKeys
// and returns its path.
std::string ExportFile(const km_test::ScratchDir& dir,
                       const std::string& sKeys) {
  return dir.Write("export.ini", "[Export Options]\r\n" + sKeys);
}

IniExportDict ReadDict(const std::string& path) {
  IniExportDict dict;
  dict.CreateDictFromFile(path.c_str());
  return dict;
}

// Every member that Init sets, as one comparable list.
std::vector<int32_t> Members(const IniExportDict& d) {
  return {d.bAllModelsInSameColumn,
          d.bIncludeKinkmarkEstimates,
          d.bOutputByGroupHeaders,
          d.bRemoveBestFitFlags,
          d.bRemoveKinkmarkFlags,
          d.bAAPCLastObs,
          d.bAAPCFullRange,
          d.bIncludeAPCsInDataExport,
          d.bExportBadCohorts,
          d.bExportReport,
          d.bExportData,
          d.bExportAPC,
          d.bExportAllAPCSegments,
          d.bExportAAPC,
          d.bExportFTest,
          d.bExportJumpCR,
          d.bExportSelectionResults,
          d.bExportPairwise,
          d.iXValuesPrecision,
          d.iYValuesPrecision,
          d.iModelStatisticsPrecision,
          d.iEstimatedKinkmarksPrecision,
          d.iRegressionCoefficientsPrecision,
          d.iCovarianceMatrixPrecision,
          d.iCorrelationMatrixPrecision,
          d.iAPCPrecision,
          d.iAAPCPrecision,
          d.iAAPCSegmentRangesPrecision,
          d.iPValuePrecision,
          d.iByVarFormat,
          d.iExportType,
          d.iFieldDelimiter,
          d.iLineDelimiter,
          d.iMissingCharacter,
          d.iModels};
}

const std::vector<int32_t> kDefaults = {
    false, false, true, false, true, false, false, true, true, true, true, true,
    true,  true,  true, true,  true, true,  9,     9,    3,    3,    3,    3,
    3,     3,     3,    3,     3,    2,     0,     0,    0,    0,    0};

TEST(IniExportDict, NewDictionaryHoldsTheDefaults) {
  const IniExportDict d;
  EXPECT_EQ(Members(d), kDefaults);
  EXPECT_TRUE(d.dAAPCStartRanges.empty());
  EXPECT_TRUE(d.dAAPCEndRanges.empty());
}

TEST(IniExportDict, OneKeyChangesOneMember) {
  km_test::ScratchDir dir;
  struct Case {
    const char* sLine;
    int32_t IniExportDict::*pInt;  // or null with pBool set
    bool IniExportDict::*pBool;
    int32_t iExpected;
  };
  const Case kCases[] = {
      {"field delimiter = Comma", &IniExportDict::iFieldDelimiter, nullptr, 1},
      {"field delimiter=semi-colon", &IniExportDict::iFieldDelimiter, nullptr,
       2},
      {"models=Best Fit", &IniExportDict::iModels, nullptr, 1},
      {"line delimiter=UNIX", &IniExportDict::iLineDelimiter, nullptr, 1},
      {"missing character=NA", &IniExportDict::iMissingCharacter, nullptr, 2},
      {"missing character=period", &IniExportDict::iMissingCharacter, nullptr,
       1},
      {"by-var format=numeric", &IniExportDict::iByVarFormat, nullptr, 0},
      {"by-var format=quoted labels", &IniExportDict::iByVarFormat, nullptr, 1},
      {"export type=text", &IniExportDict::iExportType, nullptr, 1},
      {"x values precision=4", &IniExportDict::iXValuesPrecision, nullptr, 4},
      {"x values precision=", &IniExportDict::iXValuesPrecision, nullptr, 9},
      {"p-value precision=1.2e1", &IniExportDict::iPValuePrecision, nullptr,
       12},
      {"aapc segment ranges precision=1",
       &IniExportDict::iAAPCSegmentRangesPrecision, nullptr, 1},
      {"export selection results=false", nullptr,
       &IniExportDict::bExportSelectionResults, false},
      {"Export Report=FALSE", nullptr, &IniExportDict::bExportReport, false},
      {"aapc full range=true", nullptr, &IniExportDict::bAAPCFullRange, true},
      {"aapc last obs=True", nullptr, &IniExportDict::bAAPCLastObs, true},
      {"include apcs in data export=false", nullptr,
       &IniExportDict::bIncludeAPCsInDataExport, false},
      {"remove km flags=false", nullptr, &IniExportDict::bRemoveKinkmarkFlags,
       false},
      {"include km estimates=true", nullptr,
       &IniExportDict::bIncludeKinkmarkEstimates, true},
      {"export jump_cr=false", nullptr, &IniExportDict::bExportJumpCR, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sLine);
    const IniExportDict d = ReadDict(ExportFile(dir, std::string(c.sLine)));
    IniExportDict expected;
    if (c.pInt != nullptr) {
      expected.*c.pInt = c.iExpected;
    } else {
      expected.*c.pBool = c.iExpected != 0;
    }
    EXPECT_EQ(Members(d), Members(expected));
  }
}

TEST(IniExportDict, PrecisionBeyondThirtyTwoBitsIsClamped) {
  km_test::ScratchDir dir;
  const IniExportDict d =
      ReadDict(ExportFile(dir, "apc precision=99999999999\n"));
  EXPECT_EQ(d.iAPCPrecision, std::numeric_limits<int32_t>::max());
}

TEST(IniExportDict, WordsOutsideTheirKeyRaiseKindThree) {
  km_test::ScratchDir dir;
  struct Case {
    const char* sLines;
    const char* sMessage;
  };
  const Case kCases[] = {
      {"models=best\n", "Invalid value: best for variable: models"},
      {"export report=1x\n", "Invalid value: 1x for variable: export report"},
      {"export bad cohorts=Maybe\n",
       "Invalid value: maybe for variable: export bad cohorts"},
      {"field delimiter=space\n",
       "Invalid value: space for variable: field delimiter"},
      {"line delimiter=mac\n",
       "Invalid value: mac for variable: line delimiter"},
      // Fault: numbers were read by their leading digits ("12 digits" as 12,
      // "abc" as 0).
      {"x values precision=abc\n",
       "@, line 2: \"x values precision\" = \"abc\" is not a number; the key "
       "takes 0 to 17."},
      {"p-value precision=12 digits\n",
       "@, line 2: \"p-value precision\" = \"12 digits\" is not a number; "
       "the key takes 0 to 17."},
      {"aapc start range1=1990\naapc end range1=2e999\n",
       "@, line 3: \"aapc end range1\" = \"2e999\" is not a number a double "
       "holds; the key takes a finite number."},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sLines);
    const std::string path = ExportFile(dir, c.sLines);
    IniExportDict d;
    const KmException e =
        CatchKmException([&] { d.CreateDictFromFile(path.c_str()); });
    // "@" stands for the file's place.
    EXPECT_EQ(std::string(e.GetMessage()),
              c.sMessage[0] == '@'
                  ? "The file \"" + path + "\"" + (c.sMessage + 1)
                  : std::string(c.sMessage));
    EXPECT_EQ(e.GetKind(), 3);
    EXPECT_STREQ(e.GetSource(), "ReadExportOptionsSection");
    EXPECT_STREQ(e.GetCallPath(),
                 "ReadExportOptionsSection(KmIniFile &theIniFile) of "
                 "IniExportDict\r\n"
                 "Setup(const char*) of IniExportDict\r\n"
                 "IniExportDict(const char*) of IniExportDict");
  }
}

TEST(IniExportDict, KeysReadBeforeAnInvalidOneKeepTheirValues) {
  km_test::ScratchDir dir;
  const std::string path = ExportFile(dir,
                                      "models=best fit\n"
                                      "x values precision=2\n"
                                      "export type=graph\n"
                                      "export data=false\n");
  IniExportDict d;
  CatchKmException([&] { d.CreateDictFromFile(path.c_str()); });
  EXPECT_EQ(d.iModels, 1);
  EXPECT_EQ(d.iXValuesPrecision, 2);
  EXPECT_TRUE(d.bExportData);  // read after the failing key
}

TEST(IniExportDict, ReadsGaplessNumberedRangePairs) {
  km_test::ScratchDir dir;
  const IniExportDict d = ReadDict(ExportFile(dir,
                                              "aapc start range1=1990\n"
                                              "aapc end range1=2000\n"
                                              "aapc start range2=2000.5\n"
                                              "AAPC End Range2=2010\n"
                                              "aapc start range4=1975\n"
                                              "aapc end range4=1980\n"));
  EXPECT_EQ(d.dAAPCStartRanges, (std::vector<double>{1990, 2000.5}));
  EXPECT_EQ(d.dAAPCEndRanges, (std::vector<double>{2000, 2010}));
}

TEST(IniExportDict, StartRangeWithoutItsEndIsReadAlone) {
  // Fault: a start range without its end failed the whole run; the start
  // is now read alone, and the unequal lists give the run no custom ranges.
  km_test::ScratchDir dir;
  const std::string path = ExportFile(dir,
                                      "aapc start range1=1990\n"
                                      "aapc end range1=2000\n"
                                      "aapc start range2=2005\n"
                                      "aapc start range3=2008\n"
                                      "aapc end range3=2012\n"
                                      "export data=false\n");
  IniExportDict d;
  d.CreateDictFromFile(path.c_str());
  EXPECT_EQ(d.dAAPCStartRanges, (std::vector<double>{1990, 2005, 2008}));
  EXPECT_EQ(d.dAAPCEndRanges, (std::vector<double>{2000, 2012}));
  EXPECT_FALSE(d.bExportData);  // read after the ranges
}

TEST(IniExportDict, ReadingAgainStartsFromTheDefaults) {
  km_test::ScratchDir dir;
  IniExportDict d;
  const std::string first = dir.File("first.ini");
  km_test::WriteAll(first,
                    "[Export Options]\nmodels=best fit\n"
                    "aapc start range1=1\naapc end range1=2\n");
  d.CreateDictFromFile(first.c_str());
  d.CreateDictFromFile(ExportFile(dir, "export aapc=false\n").c_str());
  IniExportDict expected;
  expected.bExportAAPC = false;
  EXPECT_EQ(Members(d), Members(expected));
  EXPECT_TRUE(d.dAAPCStartRanges.empty());
}

TEST(IniExportDict, MissingSectionOrFileRaisesKindThree) {
  km_test::ScratchDir dir;
  const std::string other = dir.File("other.ini");
  km_test::WriteAll(other, "[Session Options]\nmodels=all\n");
  for (const std::string& path : {other, dir.File("absent.ini")}) {
    SCOPED_TRACE(path);
    IniExportDict d;
    const KmException e =
        CatchKmException([&] { d.CreateDictFromFile(path.c_str()); });
    EXPECT_EQ(std::string(e.GetMessage()),
              "Section \"[Export Options]\" not found in " + path);
    EXPECT_EQ(e.GetKind(), 3);
    EXPECT_STREQ(e.GetSource(), "IniExportDict");
  }
}

TEST(IniExportDict, RefusesAnEmptyFileName) {
  for (const char* sName : {static_cast<const char*>(nullptr), ""}) {
    IniExportDict d;
    const KmException e =
        CatchKmException([&] { d.CreateDictFromFile(sName); });
    EXPECT_STREQ(e.GetMessage(),
                 "Empty string pointer passed to CreateDictFromFile.");
    EXPECT_STREQ(e.GetSource(), "IniExportDict");
  }
}

}  // namespace
