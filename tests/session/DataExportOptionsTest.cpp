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
  // Codes are stored unchecked, so distinct values (and switches unlike
  // their neighbours) show a parameter stored in the wrong member.
  const DataExportOptions o(11, 12, 13, 14, 15, 16, 17, true, false, true,
                            false, true, false, 640, 480, true);
  EXPECT_EQ(
      std::make_tuple(o.iModels, o.iLineDelimiter, o.iMissingCharacter,
                      o.iFieldDelimiter, o.iByVarFormat, o.iExportType,
                      o.iGraphs, o.bRemoveKinkmarkFlags, o.bRemoveBestFitFlags,
                      o.bOutputByGroupHeaders, o.bAllModelsInSameColumn,
                      o.bIncludeKinkmarkEstimates, o.bUseHighResGraphs,
                      o.iHighResGraphWidth, o.iHighResGraphHeight,
                      o.bExportBadCohorts),
      std::make_tuple(11, 12, 13, 14, 15, 16, 17, true, false, true, false,
                      true, false, 640, 480, true));
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
