// Tests of DataExportOptions: the defaults and the texts by code.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "session/DataExportOptions.h"
#include "tests/test_util/CatchKmException.h"

namespace {

using km_test::CatchKmException;

TEST(DataExportOptions, DefaultsAreTheLayoutWithoutAnExportOptionsFile) {
  const DataExportOptions o;
  EXPECT_EQ(o.iModels, 1);
  EXPECT_EQ(o.iByVarFormat, 2);
  EXPECT_EQ(o.iExportType, 0);
  EXPECT_TRUE(o.bRemoveKinkmarkFlags);
  EXPECT_TRUE(o.bRemoveBestFitFlags);
  EXPECT_FALSE(o.bOutputByGroupHeaders);
  EXPECT_TRUE(o.bAllModelsInSameColumn);
  EXPECT_TRUE(o.bIncludeKinkmarkEstimates);
  EXPECT_TRUE(o.bExportBadCohorts);
}

TEST(DataExportOptions, ConstructorPutsEachParameterInItsMember) {
  // The parameters in the constructor's order. No two columns of the
  // same type hold the same values (codes are stored unchecked), so a
  // parameter stored in the wrong member shows in some row.
  struct Args {
    int32_t iModels, iLine, iMissing, iField, iByVar, iType, iGraphs;
    bool bRemoveKm, bRemoveBest, bHeaders, bSameColumn, bEstimates, bHighRes;
    int32_t iWidth, iHeight;
    bool bBadCohorts;
    auto Tie() const {
      return std::tie(iModels, iLine, iMissing, iField, iByVar, iType, iGraphs,
                      bRemoveKm, bRemoveBest, bHeaders, bSameColumn, bEstimates,
                      bHighRes, iWidth, iHeight, bBadCohorts);
    }
  };
  const Args kRows[] = {
      {1, 0, 2, 1, 0, 1, 7, true, false, false, true, true, false, 640, 480,
       true},
      {0, 1, 0, 2, 1, 0, 8, false, true, false, true, false, true, 800, 600,
       true},
      {3, 4, 1, 0, 2, 5, 9, false, false, true, false, true, true, 1024, 768,
       true},
  };
  for (const Args& a : kRows) {
    SCOPED_TRACE(a.iGraphs);
    const DataExportOptions o(
        a.iModels, a.iLine, a.iMissing, a.iField, a.iByVar, a.iType, a.iGraphs,
        a.bRemoveKm, a.bRemoveBest, a.bHeaders, a.bSameColumn, a.bEstimates,
        a.bHighRes, a.iWidth, a.iHeight, a.bBadCohorts);
    EXPECT_EQ(
        std::make_tuple(o.iModels, o.iLineDelimiter, o.iMissingCharacter,
                        o.iFieldDelimiter, o.iByVarFormat, o.iExportType,
                        o.iGraphs, o.bRemoveKinkmarkFlags,
                        o.bRemoveBestFitFlags, o.bOutputByGroupHeaders,
                        o.bAllModelsInSameColumn, o.bIncludeKinkmarkEstimates,
                        o.bUseHighResGraphs, o.iHighResGraphWidth,
                        o.iHighResGraphHeight, o.bExportBadCohorts),
        a.Tie());
  }
}

TEST(DataExportOptions, DefaultTextsAreSemicolonNewlineAndPeriod) {
  const DataExportOptions o;
  EXPECT_EQ(o.GetFieldDelimeter(), ';');
  EXPECT_EQ(o.GetLineDelimeter(), "\n");
  EXPECT_EQ(o.GetMissingChar(), ".");
}

TEST(DataExportOptions, TextsByCode) {
  struct Case {
    int32_t iCode;
    char cField;
    const char* sLine;  // null: unsupported
    const char* sMissing;
  };
  const Case kCases[] = {
      {0, '\t', "\r\n", " "},
      {1, ',', "\n", "."},
      {2, ';', nullptr, "NA"},  // "NA" in capitals, though the key says "na"
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.iCode);
    DataExportOptions o;
    o.iFieldDelimiter = c.iCode;
    o.iMissingCharacter = c.iCode;
    o.iLineDelimiter = c.iCode;
    EXPECT_EQ(o.GetFieldDelimeter(), c.cField);
    EXPECT_EQ(o.GetMissingChar(), c.sMissing);
    if (c.sLine != nullptr) {
      KmString sOut("old");
      EXPECT_EQ(&o.GetLineDelimeter(sOut), &sOut);
      EXPECT_EQ(sOut, c.sLine);
      EXPECT_EQ(o.GetLineDelimeter(), c.sLine);
    }
  }
}

TEST(DataExportOptions, UnsupportedCodesRaise) {
  DataExportOptions o;
  o.iFieldDelimiter = 3;
  o.iLineDelimiter = 2;
  o.iMissingCharacter = -1;
  struct Case {
    const char* sName;
    KmException e;
    const char* sMessage;
    const char* sCallPath;
  };
  KmString sLine("keep");
  const Case kCases[] = {
      {"field", CatchKmException([&] { o.GetFieldDelimeter(); }),
       "Unsupported field delimiter.",
       "GetFieldDelimeter() of "
       "DataExportOptions"},
      {"line", CatchKmException([&] { o.GetLineDelimeter(sLine); }),
       "Unsupported line delimiter.",
       "GetLineDelimeter() of "
       "DataExportOptions"},
      {"missing", CatchKmException([&] { o.GetMissingChar(); }),
       "Unsupported missing character.",
       "GetMissingChar() of "
       "DataExportOptions"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    EXPECT_STREQ(c.e.GetMessage(), c.sMessage);
    EXPECT_STREQ(c.e.GetSource(), "DataExportOptions");
    EXPECT_STREQ(c.e.GetCallPath(), c.sCallPath);
  }
  EXPECT_EQ(sLine, "keep");
}

}  // namespace
