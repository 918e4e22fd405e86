// Tests of the data reader's file access and record format: opening plain,
// compressed and spreadsheet-named files, line reads and their end-of-file
// states, the header line, record splitting and the inclusion test.
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

// A reader over a configured session, with the results handler the
// calculation control would give it.
struct ReaderRig {
  explicit ReaderRig(std::unique_ptr<kmSession> pSessionIn)
      : pSession(std::move(pSessionIn)),
        pHandler(std::make_unique<kmCalcHandler>(pSession.get())),
        pReader(std::make_unique<kmReadData>(pSession.get(), pHandler.get())) {}
  std::unique_ptr<kmSession> pSession;
  std::unique_ptr<kmCalcHandler> pHandler;
  std::unique_ptr<kmReadData> pReader;
};

struct LineRead {
  std::string sLine;
  bool bEOF;
};

std::vector<LineRead> ReadLines(kmReadData& reader, bool bEOFBeforeRead,
                                int nReads) {
  std::vector<LineRead> v;
  for (int i = 0; i < nReads; ++i) {
    KmString sLine;
    const bool bEOF =
        reader.ReadLineFromInputFile(sLine, bEOFBeforeRead, nullptr);
    v.push_back({sLine.GetCString(), bEOF});
  }
  return v;
}

TEST(kmReadDataFile, LineReadsReportTheEndOfFileBeforeOrAfterTheRead) {
  km_test::ScratchDir dir;
  for (bool bGzip : {false, true}) {
    SCOPED_TRACE(bGzip ? "gzip" : "plain");
    const std::string sPath = WriteDataFile(dir, "lines", "a\nb", bGzip);
    ReaderRig rig(MakeSession(1, sPath));
    rig.pReader->OpenInputFile(false);
    EXPECT_EQ(rig.pReader->IsCompressed(), bGzip);
    std::vector<LineRead> v = ReadLines(*rig.pReader, true, 3);
    EXPECT_EQ(v[0].sLine, "a");  // plain and gzip lines alike lose the break
    EXPECT_FALSE(v[0].bEOF);
    EXPECT_EQ(v[1].sLine, "b");  // no line feed ends it, still not the end
    EXPECT_FALSE(v[1].bEOF);
    EXPECT_EQ(v[2].sLine, "");
    EXPECT_TRUE(v[2].bEOF);
    rig.pReader->CloseInputFile();

    rig.pReader->OpenInputFile(false);
    v = ReadLines(*rig.pReader, false, 2);
    EXPECT_FALSE(v[0].bEOF);
    EXPECT_EQ(v[1].sLine, "b");
    EXPECT_TRUE(v[1].bEOF);
    rig.pReader->CloseInputFile();
  }
}

TEST(kmReadDataFile, ReportsThePositionBeforeEachRead) {
  km_test::ScratchDir dir;
  for (bool bGzip : {false, true}) {
    SCOPED_TRACE(bGzip ? "gzip" : "plain");
    const std::string sPath =
        WriteDataFile(dir, "pos", "ab\r\ncde\nf\n", bGzip);
    ReaderRig rig(MakeSession(1, sPath));
    rig.pReader->OpenInputFile(false);
    std::vector<int64_t> vPositions;
    KmString sLine;
    for (int i = 0; i < 3; ++i) {
      int64_t lPos = -2;
      rig.pReader->ReadLineFromInputFile(sLine, true, &lPos);
      vPositions.push_back(lPos);
    }
    EXPECT_EQ(vPositions, (std::vector<int64_t>{0, 4, 8}));
    rig.pReader->CloseInputFile();
  }
}

TEST(kmReadDataFile, HeaderLineIsTheFirstNonBlankLine) {
  km_test::ScratchDir dir;
  const std::string sText = "\n   \n\t\nSex,Site,Year\n1,A,2000\n";
  for (bool bGzip : {false, true}) {
    for (bool bNames : {true, false}) {
      SCOPED_TRACE(std::string(bGzip ? "gzip" : "plain") +
                   (bNames ? ", names" : ", no names"));
      const std::string sPath = WriteDataFile(dir, "hdr", sText, bGzip);
      auto pSession = MakeSession(1, sPath);
      pSession->SetBool(kmOptVarNamesIncluded, bNames);
      ReaderRig rig(std::move(pSession));
      rig.pReader->OpenInputFile(true);
      KmString sLine;
      rig.pReader->ReadLineFromInputFile(sLine, true, nullptr);
      sLine.TrimRight();
      EXPECT_STREQ(sLine.GetCString(), bNames ? "1,A,2000" : "");
      rig.pReader->CloseInputFile();
    }
  }
}

TEST(kmReadDataFile, ResetDataFileRewindsPastTheHeader) {
  km_test::ScratchDir dir;
  const std::string sPath =
      WriteDataFile(dir, "reset", "Sex,Site,Year\n1,A,2000\n1,A,2001\n", true);
  auto pSession = MakeSession(1, sPath);
  pSession->SetBool(kmOptVarNamesIncluded, true);
  ReaderRig rig(std::move(pSession));
  rig.pReader->OpenInputFile(true);
  ReadLines(*rig.pReader, true, 2);
  rig.pReader->CloseInputFile();
  rig.pReader->ResetDataFile();
  EXPECT_EQ(rig.pReader->GetNextCohort(), 0);
  EXPECT_EQ(ReadLines(*rig.pReader, true, 1)[0].sLine, "1,A,2000");
  rig.pReader->CloseInputFile();
}

TEST(kmReadDataFile, GzipNameHoldingPlainTextReadsLineByLine) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("plain.csv.gz");
  km_test::WriteAll(sPath, "1,A,2000\n1,A,2001\n");
  ReaderRig rig(MakeSession(1, sPath));
  rig.pReader->OpenInputFile(false);
  std::vector<LineRead> v = ReadLines(*rig.pReader, true, 3);
  EXPECT_EQ(v[0].sLine, "1,A,2000");
  EXPECT_EQ(v[1].sLine, "1,A,2001");
  EXPECT_TRUE(rig.pReader->IsCompressed());
  rig.pReader->CloseInputFile();
}

TEST(kmReadDataFile, ReadsLongCompressedLineWhole) {
  // Fault: a compressed line longer than 8191 bytes came back in pieces,
  // each taken for a record of its own.
  km_test::ScratchDir dir;
  const std::string sLong = "1,A,2000," + std::string(20000, '9');
  const std::string sPath = WriteDataFile(dir, "long", sLong + "\nx\n", true);
  ReaderRig rig(MakeSession(1, sPath));
  rig.pReader->OpenInputFile(false);
  std::vector<LineRead> v = ReadLines(*rig.pReader, true, 2);
  EXPECT_EQ(v[0].sLine, sLong);
  EXPECT_EQ(v[1].sLine, "x");
  rig.pReader->CloseInputFile();
}

TEST(kmReadDataFile, FileThatCannotBeOpenedRaisesNamingIt) {
  // Fault: a failed gzip open left no handle, and reads through it returned
  // empty lines without ever reporting the end of the file.
  km_test::ScratchDir dir;
  for (const char* sName : {"absent.csv", "absent.csv.gz"}) {
    SCOPED_TRACE(sName);
    const std::string sPath = dir.File(sName);
    ReaderRig rig(MakeSession(1, sPath));
    const KmException e =
        km_test::CatchKmException([&] { rig.pReader->OpenInputFile(true); });
    EXPECT_NE(std::string(e.GetMessage()).find(sPath), std::string::npos);
    EXPECT_NE(
        std::string(e.GetCallPath()).find("OpenInputFile() of kmReadData"),
        std::string::npos);
    // A reader with nothing open reads the end of the file at once.
    KmString sLine;
    EXPECT_TRUE(rig.pReader->ReadLineFromInputFile(sLine, true, nullptr));
    rig.pReader->CloseInputFile();
  }
}

struct SplitCase {
  const char* sName;
  int iDelimiter;
  const char* sLine;
  std::vector<std::string> vFields;
};

TEST(kmReadDataFile, ProcessDataRecordSplitsByTheRecordFormat) {
  const SplitCase cases[] = {
      // Fault: the quotes stayed in the field ("\"1234\""), which no check
      // reads as a number, so every quoted thousands value of a
      // comma-delimited file was refused as a missing value.
      {"quoted thousands with comma delimiter",
       2,
       "2000,\"1,234\",5",
       {"2000", "1234", "5"}},
      {"quoted empty field becomes one blank",
       2,
       "2000,\"\",5",
       {"2000", " ", "5"}},
      {"thousands comma with tab delimiter",
       0,
       "2000\t1,234\t5",
       {"2000", "1234", "5"}},
      {"field of blanks becomes one blank", 2, "2000,  ,5", {"2000", " ", "5"}},
      {"semicolon, padded fields, empty last field",
       3,
       " 2000 ; 7 ;",
       {"2000", "7", " "}},
      {"space delimiter", 1, "2000 7", {"2000", "7"}},
      {"line break of a compressed line is trimmed",
       2,
       "2000,7\r\n",
       {"2000", "7"}},
  };
  km_test::ScratchDir dir;
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.sName);
    auto pSession = MakeSession(1, dir.File("none.csv"));
    pSession->SetInt(kmOptFieldDelimiter, c.iDelimiter);
    ReaderRig rig(std::move(pSession));
    kmCohortRows rows;
    EXPECT_TRUE(rig.pReader->ProcessDataRecord(c.sLine, &rows));
    ASSERT_EQ(rows.size(), 1u);
    std::vector<std::string> vFields;
    for (const KmString& s : rows[0]) vFields.push_back(s.GetCString());
    EXPECT_EQ(vFields, c.vFields);
  }
}

TEST(kmReadDataFile, RecordsMarkedNotUsedAreLeftOutAndNewValuesLearnt) {
  km_test::ScratchDir dir;
  auto pSession = MakeSession(1, dir.File("none.csv"));
  KmFormat years;
  years.SetDataType('N');
  years.AddLine("2000", "2000", -1);
  years.AddLine("2001", "2001 (not used in calculations)", -1);
  years.AddLine("2003", "", -1);
  pSession->SetVarFormat(preread_test::kYearCol - 1, years);
  ReaderRig rig(std::move(pSession));
  const kmSession& session = *rig.pSession;

  struct Case {
    const char* sLine;
    bool bUsed;
    int nFormatLines;
  };
  const Case cases[] = {
      {"1,A,2000,5", true, 3},
      {"1,A,2001,5", false, 3},
      {"1,A,2003,5", false, 3},  // a value whose label is empty
      {"1,A,2002,5", true, 4},   // a value the format does not hold
      {"1,A,2002,6", true, 4},   // learnt once
      // Fault: an empty independent field was recorded as a format line
      // with an empty label, which dropped the record without a word.
      {"1,A,,5", true, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sLine);
    kmCohortRows rows;
    EXPECT_EQ(rig.pReader->ProcessDataRecord(c.sLine, &rows), c.bUsed);
    EXPECT_EQ(rows.size(), c.bUsed ? 1u : 0u);
    const KmFormat& format = session.GetKMVar(kmVarIndependent).GetFormat();
    EXPECT_EQ(format.GetNumLines(), c.nFormatLines);
  }
  const KmFormat& format = session.GetKMVar(kmVarIndependent).GetFormat();
  EXPECT_STREQ(format.GetLabel(3).GetCString(), "2002");
  EXPECT_EQ(format.GetIndexFromValue("2002", true, true), 3);
}

}  // namespace
