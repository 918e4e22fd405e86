// Tests of the verification pass's cohort boundaries: ReadInNextCohort's
// line counts and file positions, by-variable codes, cohort labels and the
// number of adjustment groups.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data/kmReadData.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "results/kmCalcHandler.h"
#include "tests/data/PrereadFixtures.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using preread_test::MakeSession;
using preread_test::WriteDataFile;

struct ReaderRig {
  explicit ReaderRig(std::unique_ptr<kmSession> pSessionIn)
      : pSession(std::move(pSessionIn)),
        pHandler(std::make_unique<kmCalcHandler>(pSession.get())),
        pReader(std::make_unique<kmReadData>(pSession.get(), pHandler.get())) {}
  std::unique_ptr<kmSession> pSession;
  std::unique_ptr<kmCalcHandler> pHandler;
  std::unique_ptr<kmReadData> pReader;
};

struct CohortRead {
  std::vector<int> vCodes;
  std::vector<std::string> vFirstFields;  // field 0 of every row
  bool bEOF;
};

// Calls ReadInNextCohort until it reports the end of the file, resetting
// the line counter between cohorts as the verification pass does.
std::vector<CohortRead> ReadAll(kmReadData& reader, int* piBlankLines) {
  std::vector<CohortRead> v;
  bool bEOF = false;
  *piBlankLines = 0;
  for (int guard = 0; !bEOF && guard < 100; ++guard) {
    kmCohortRows rows;
    KmVector<int> codes;
    int iLineCount = 0;
    reader.ReadInNextCohort(rows, bEOF, iLineCount, *piBlankLines, codes);
    if (rows.empty()) continue;
    CohortRead read{std::vector<int>(codes.begin(), codes.end()), {}, bEOF};
    for (const kmRecordRow& row : rows)
      read.vFirstFields.push_back(std::string(row[0].GetCString()) + "|" +
                                  row[2].GetCString());
    v.push_back(read);
  }
  return v;
}

TEST(kmReadDataCohorts, CohortsEndWhereTheCodesChange) {
  // Blank lines between cohorts belong to the cohort after them; a blank
  // line inside a cohort belongs to it; a line of blanks is blank when the
  // missing text is not a blank.
  const std::string sText =
      "1,A,2000\n1,A,2001\n\n2,A,2000\n  \n2,A,2001\n1,A,2002\n";
  for (bool bGzip : {false, true}) {
    SCOPED_TRACE(bGzip ? "gzip" : "plain");
    km_test::ScratchDir dir;
    const std::string sPath = WriteDataFile(dir, "cohorts", sText, bGzip);
    ReaderRig rig(MakeSession(2, sPath));
    rig.pReader->OpenInputFile(true);
    int iBlankLines = 0;
    const std::vector<CohortRead> v = ReadAll(*rig.pReader, &iBlankLines);
    rig.pReader->CloseInputFile();

    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0].vCodes, (std::vector<int>{1, 0}));
    EXPECT_EQ(v[1].vCodes, (std::vector<int>{2, 0}));
    EXPECT_EQ(v[2].vCodes, (std::vector<int>{1, 0}));
    EXPECT_EQ(v[0].vFirstFields,
              (std::vector<std::string>{"1|2000", "1|2001"}));
    EXPECT_EQ(v[1].vFirstFields,
              (std::vector<std::string>{"2|2000", "2|2001"}));
    EXPECT_EQ(v[2].vFirstFields, (std::vector<std::string>{"1|2002"}));
    EXPECT_FALSE(v[1].bEOF);
    EXPECT_TRUE(v[2].bEOF);
    EXPECT_EQ(iBlankLines, 2);
    const KmVector<int>& counts = rig.pReader->GetLineCounts();
    EXPECT_EQ(std::vector<int>(counts.begin(), counts.end()),
              (std::vector<int>{2, 4, 1}));
    // Offsets of "1,A,2000", of the blank line before "2,A,2000", and of
    // "1,A,2002".
    EXPECT_EQ(rig.pReader->GetFilePositions(),
              (std::vector<int64_t>{0, 18, 40}));
  }
}

TEST(kmReadDataCohorts, EachCohortYieldsOneEntryPerAnalysisCopy) {
  km_test::ScratchDir dir;
  const std::string sPath =
      WriteDataFile(dir, "copies", "1,A,2000\n1,A,2001\n2,A,2000\n", false);
  auto pSession = MakeSession(1, sPath);
  pSession->SetInt(kmOptJumpCRMode, 6);
  pSession->SetInt(kmOptDelayType, 2);
  pSession->AddByVar();
  pSession->AddByVarJump();
  ReaderRig rig(std::move(pSession));
  rig.pReader->OpenInputFile(true);
  int iBlankLines = 0;
  const std::vector<CohortRead> v = ReadAll(*rig.pReader, &iBlankLines);
  rig.pReader->CloseInputFile();
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[0].vCodes, (std::vector<int>{1}));  // synthetic codes not read
  const KmVector<int>& counts = rig.pReader->GetLineCounts();
  EXPECT_EQ(std::vector<int>(counts.begin(), counts.end()),
            (std::vector<int>{2, 2, 2, 2, 2, 2, 1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(rig.pReader->GetFilePositions(),
            (std::vector<int64_t>{0, 0, 0, 0, 0, 0, 18, 18, 18, 18, 18, 18}));
}

TEST(kmReadDataCohorts, LineEndsAreNoBlankLines) {
  // Fault: the empty text read after a file's last line end was counted as
  // a blank line (the note then reported blank lines a file did not have),
  // and a compressed file's blank line kept its line feed, so with the
  // blank missing text it was read as a record of missing values.
  struct Case {
    const char* sName;
    int iMissing;
    std::string sText;
    int nBlank;
    int nLines;
    size_t nRecords;
  };
  const Case cases[] = {
      {"last line ended", 1, "1,A,2000\n1,A,2001\n", 0, 2, 2},
      {"blank line, blank missing text", 0, "1,A,2000\n\n1,A,2001\n", 1, 3, 2},
      {"CRLF blank line, blank missing text", 0, "1,A,2000\r\n\r\n1,A,2001\r\n",
       1, 3, 2},
      {"blank lines at the end", 1, "1,A,2000\n\n\n", 2, 3, 1},
  };
  for (const Case& c : cases) {
    for (bool bGzip : {false, true}) {
      SCOPED_TRACE(std::string(c.sName) + (bGzip ? " (gzip)" : " (plain)"));
      km_test::ScratchDir dir;
      const std::string sPath = WriteDataFile(dir, "ends", c.sText, bGzip);
      auto pSession = MakeSession(1, sPath);
      pSession->SetInt(kmOptMissingCharacter, c.iMissing);
      ReaderRig rig(std::move(pSession));
      rig.pReader->OpenInputFile(true);
      int iBlankLines = 0;
      const std::vector<CohortRead> v = ReadAll(*rig.pReader, &iBlankLines);
      rig.pReader->CloseInputFile();
      ASSERT_EQ(v.size(), 1u);
      EXPECT_EQ(v[0].vFirstFields.size(), c.nRecords);
      EXPECT_EQ(iBlankLines, c.nBlank);
      ASSERT_EQ(rig.pReader->GetLineCounts().size(), 1u);
      EXPECT_EQ(rig.pReader->GetLineCounts()[0], c.nLines);
    }
  }
}

TEST(kmReadDataCohorts, TextByVariableValuesAreCodedInOrderOfFirstAppearance) {
  km_test::ScratchDir dir;
  ReaderRig rig(MakeSession(2, dir.File("none.csv")));
  struct Case {
    const char* sLine;
    std::vector<int> vCodes;
  };
  const Case cases[] = {
      {"1,B,2000", {1, 0}},     {"2,A,2000", {2, 1}}, {"1,B,2001", {1, 0}},
      {",7,2000", {0, 7}},  // empty field 0; integer without format
      {" 2 , A ,2000", {2, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sLine);
    const KmVector<int> codes = rig.pReader->GetByCodes(c.sLine);
    EXPECT_EQ(std::vector<int>(codes.begin(), codes.end()), c.vCodes);
  }
  // The handler's session learnt the texts; the reader's own did not.
  const kmVariable& site = rig.pHandler->GetSession()->GetByVar(1);
  ASSERT_TRUE(site.HasFormat());
  EXPECT_EQ(site.GetFormat().GetDataType(), 'A');
  ASSERT_EQ(site.GetFormat().GetNumLines(), 2);
  EXPECT_STREQ(site.GetFormat().GetValue(0).GetCString(), "0");
  EXPECT_STREQ(site.GetFormat().GetLabel(0).GetCString(), "B");
  EXPECT_STREQ(site.GetFormat().GetValue(1).GetCString(), "1");
  EXPECT_STREQ(site.GetFormat().GetLabel(1).GetCString(), "A");
  EXPECT_FALSE(rig.pSession->GetByVar(1).HasFormat());

  EXPECT_STREQ(
      rig.pReader->GetCohortLabel_Test(KmVector<int>{2, 1}).GetCString(),
      "Female // A");
  // A code without a label stands for itself.
  EXPECT_STREQ(
      rig.pReader->GetCohortLabel_Test(KmVector<int>{5, 9}).GetCString(),
      "5 // 9");
  EXPECT_STREQ(rig.pReader->GetCohortLabel_Test(KmVector<int>{1}).GetCString(),
               "Mismatch between number of by variables and variable "
               "combinations read from data file.");
}

TEST(kmReadDataCohorts, BadByVariableFieldsStopTheRun) {
  km_test::ScratchDir dir;
  ReaderRig rig(MakeSession(2, dir.File("none.csv")));
  struct Case {
    const char* sLine;
    const char* sMessage;
    int iKind;
  };
  const Case cases[] = {
      {"3,A,2000",
       "\"3\" is an invalid code for the Sex by variable.  You must redefine "
       "the Sex variable format.",
       KmException::kInputErrorKind},
      {"1",
       "Invalid position for by-variable.  By-Variable 1 is in variable "
       "location 2.   But the number of variables on the data is only 1",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sLine);
    const KmException e =
        km_test::CatchKmException([&] { rig.pReader->GetByCodes(c.sLine); });
    EXPECT_STREQ(e.GetMessage(), c.sMessage);
    EXPECT_STREQ(e.GetSource(), "kmCalculator");
    EXPECT_EQ(e.GetKind(), c.iKind);
    EXPECT_NE(std::string(e.GetCallPath()).find("GetByCodes() of kmReadData"),
              std::string::npos);
  }
}

TEST(kmReadDataCohorts, AdjustmentGroupsAreTheCodesOfTheFirstYear) {
  km_test::ScratchDir dir;
  auto pSession = MakeSession(0, dir.File("none.csv"));
  pSession->SetKMVarPosition(kmVarAdjustment, preread_test::kSiteCol);
  ReaderRig rig(std::move(pSession));
  // Codes "<code>@<year>".
  auto rowsOf = [](const std::vector<std::string>& vCodes) {
    kmCohortRows rows;
    for (const std::string& s : vCodes) {
      const size_t i = s.find('@');
      rows.push_back({"1", s.substr(0, i).c_str(),
                      i == std::string::npos ? "2000" : s.c_str() + i + 1});
    }
    return rows;
  };
  EXPECT_EQ(rig.pReader->DetermineNumGroupVarCats(
                rowsOf({"a", "b", "c", "a", "b", "c"})),
            3);
  EXPECT_EQ(rig.pReader->DetermineNumGroupVarCats(rowsOf({"a", "b", "c"})), 3);
  EXPECT_EQ(rig.pReader->DetermineNumGroupVarCats(rowsOf({"a"})), 1);
  // Fault: the groups ran until the first code came back, so a later year
  // beginning with another code gave them one too many.
  EXPECT_EQ(rig.pReader->DetermineNumGroupVarCats(
                rowsOf({"b", "a", "a@2001", "b@2001"})),
            2);
  // Codes of one number are one group, the first spelling kept, in the
  // order of their numbers.
  EXPECT_EQ(rig.pReader->FirstYearAdjustCodes(
                rowsOf({"1", "01", "0", "+2", "2@2001", "1@2001", "0@2001"})),
            (std::vector<KmString>{"0", "1", "+2"}));
  const KmException e = km_test::CatchKmException(
      [&] { rig.pReader->DetermineNumGroupVarCats(kmCohortRows()); });
  EXPECT_STREQ(e.GetMessage(), "Cohort vector has no entries.");
}

}  // namespace
