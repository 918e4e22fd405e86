// Tests of the results-file writer: the write-once state machine, the bytes
// of the file head, the patched offset table and numeric block, and the
// refusal of files that cannot be written.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <functional>
#include <string>

#include "foundation/KmIO_File.h"
#include "results/kmCalcHandler.h"
#include "tests/foundation/FaultyFileSystem.h"
#include "tests/session/SessionBlockBuilder.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/ResultsFileFixture.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::BlockBuilder;
using km_test::BytesOf;
using km_test::CatchKmException;
using km_test::MakeRecord;
using km_test::MakeSession;
using km_test::PrepareWriter;

const char* const kAlreadyWritten =
    "This output file has already been written. You cannot add to it.";
const char* const kMismatch =
    "Number of by-variable value combinations does not match the number of "
    "CalcDatas.";

int32_t IntAt(const std::string& bytes, size_t iPos) {
  uint32_t u = 0;
  for (int i = 3; i >= 0; --i) {
    u = (u << 8) | static_cast<unsigned char>(bytes.at(iPos + i));
  }
  return static_cast<int32_t>(u);
}

double DoubleAt(const std::string& bytes, size_t iPos) {
  uint64_t u = 0;
  for (int i = 7; i >= 0; --i) {
    u = (u << 8) | static_cast<unsigned char>(bytes.at(iPos + i));
  }
  double d;
  std::memcpy(&d, &u, sizeof d);
  return d;
}

// ---- State machine ----------------------------------------------------------

enum Op {
  kSetOutFile,
  kWriteSession,
  kWriteCombos,
  kWriteCohort,
  kWriteComparison,
  kWriteOffsets,
  kWriteNumeric,
  kSetCombos
};

struct OpRule {
  Op op;
  const char* sName;
  int32_t iRequired;     // the state the operation accepts (-1: below 3)
  const char* sMessage;  // its message in any other state but 6
  const char* sSource;
  int32_t iAfter;  // state after success (-1: unchanged)
};

const OpRule kRules[] = {
    {kSetOutFile, "SetOutFile", 0,
     "You cannot call SetOutFile() if the file name is already set.", "Error",
     1},
    {kWriteSession, "WriteSession", 1,
     "You must call SetOutFile() before calling WriteSession().", "State Error",
     2},
    {kWriteCombos, "WriteCombos", 2,
     "You must call WriteSession() before calling WriteCombos().",
     "State Error", 3},
    {kWriteCohort, "WriteCohortCalcData", 3,
     "You must call WriteCombos() before calling WriteCalcData().",
     "State Error", 3},
    {kWriteComparison, "WriteComparisonCalcData", 3,
     "You must call WriteCombos() before calling WriteCalcData().",
     "State Error", 3},
    {kWriteOffsets, "WriteOffsets", 3,
     "You must call WriteCombos() before calling WriteOffsets().",
     "State Error", 4},
    {kWriteNumeric, "WriteNumericData", 4,
     "You must call WriteOffsets() before calling WriteNumericData().",
     "State Error", 5},
    {kSetCombos, "SetCombos", -1,
     "You cannot call SetCombos() after the combos have been written to the "
     "file",
     "State Error", -1},
};

// A handler for a session without by-variables, brought to iState (0 to 5)
// by the write operations in order; state 6 is a handler that read the
// finished file.
std::unique_ptr<kmCalcHandler> HandlerInState(int32_t iState,
                                              const km_test::ScratchDir& dir,
                                              kmSession& session) {
  const std::string sPath = dir.File("state.kmo");
  if (iState == 6) {
    km_test::WriteWholeFile(sPath, 0, false);
    return std::make_unique<kmCalcHandler>(sPath.c_str(), nullptr);
  }
  auto pHandler = std::make_unique<kmCalcHandler>(&session);
  kmCalcData record = MakeRecord(0);
  if (iState >= 1) pHandler->SetOutFile(sPath.c_str());
  if (iState >= 2) pHandler->WriteSession();
  if (iState >= 3) {
    pHandler->WriteCombos();
    pHandler->WriteCohortCalcData(&record);
  }
  if (iState >= 4) pHandler->WriteOffsets();
  if (iState >= 5) pHandler->WriteNumericData();
  return pHandler;
}

void RunOp(kmCalcHandler& handler, Op op, const std::string& sPath) {
  kmCalcData record = MakeRecord(1);
  switch (op) {
    case kSetOutFile:
      handler.SetOutFile(sPath.c_str());
      break;
    case kWriteSession:
      handler.WriteSession();
      break;
    case kWriteCombos:
      handler.WriteCombos();
      break;
    case kWriteCohort:
      handler.WriteCohortCalcData(&record);
      break;
    case kWriteComparison:
      handler.WriteComparisonCalcData();
      break;
    case kWriteOffsets:
      handler.WriteOffsets();
      break;
    case kWriteNumeric:
      handler.WriteNumericData();
      break;
    case kSetCombos:
      handler.SetCombos(kmCombos(0));
      break;
  }
}

TEST(kmCalcHandlerWrite, StateMachineRefusesEveryOutOfOrderCall) {
  for (const OpRule& rule : kRules) {
    for (int32_t iState = 0; iState <= 6; ++iState) {
      SCOPED_TRACE(std::string(rule.sName) + " in state " +
                   std::to_string(iState));
      km_test::ScratchDir dir;
      kmSession session = MakeSession(0, false);
      std::unique_ptr<kmCalcHandler> pHandler =
          HandlerInState(iState, dir, session);
      const bool bAccepted =
          rule.iRequired == -1 ? iState < 3 : iState == rule.iRequired;
      if (bAccepted) {
        RunOp(*pHandler, rule.op, dir.File("out.kmo"));
        EXPECT_EQ(pHandler->GetState(),
                  rule.iAfter == -1 ? iState : rule.iAfter);
        continue;
      }
      KmException e = CatchKmException(
          [&] { RunOp(*pHandler, rule.op, dir.File("out.kmo")); });
      // A handler that has read a file refuses with one message; SetOutFile
      // keeps its own.
      if (iState == 6 && rule.op != kSetOutFile) {
        EXPECT_STREQ(e.GetMessage(), kAlreadyWritten);
        EXPECT_STREQ(e.GetSource(), "Error");
      } else {
        EXPECT_STREQ(e.GetMessage(), rule.sMessage);
        EXPECT_STREQ(e.GetSource(), rule.sSource);
      }
      EXPECT_NE(std::string(e.GetCallPath()).find(" of kmCalcHandler"),
                std::string::npos);
      EXPECT_EQ(pHandler->GetState(), iState);
    }
  }
}

TEST(kmCalcHandlerWrite, WriteCombosRightAfterSetOutFileLeavesStateOne) {
  km_test::ScratchDir dir;
  kmSession session = MakeSession(1, false);
  kmCalcHandler handler(&session);
  handler.SetOutFile(dir.File("a.kmo").c_str());
  KmException e = CatchKmException([&] { handler.WriteCombos(); });
  EXPECT_STREQ(e.GetMessage(),
               "You must call WriteSession() before calling WriteCombos().");
  EXPECT_STREQ(e.GetSource(), "State Error");
  EXPECT_STREQ(e.GetCallPath(), "WriteCombos() of kmCalcHandler");
  EXPECT_EQ(handler.GetState(), kmCalcHandler::kStateFileSet);
}

TEST(kmCalcHandlerWrite, RefusesNullNamesAndPointers) {
  kmSession session = MakeSession(0, false);
  kmCalcHandler handler(&session);
  KmException e = CatchKmException([&] { handler.SetOutFile(nullptr); });
  EXPECT_STREQ(e.GetMessage(), "Invalid file name received.");
  EXPECT_STREQ(e.GetSource(), "Error");
  EXPECT_EQ(handler.GetState(), kmCalcHandler::kStateNone);

  km_test::ScratchDir dir;
  PrepareWriter(handler, dir.File("b.kmo"), 0);
  e = CatchKmException([&] { handler.WriteCohortCalcData(nullptr); });
  EXPECT_STREQ(e.GetMessage(), "Invalid kmCalcData pointer.");

  e = CatchKmException(
      [] { kmCalcHandler bad(static_cast<kmSession*>(nullptr)); });
  EXPECT_STREQ(
      e.GetMessage(),
      "Cannot create a kmCalcHandler without a valid session pointer.");
  EXPECT_STREQ(e.GetSource(), "kmCalcHandler");
  EXPECT_STREQ(e.GetCallPath(), "kmCalcHandler(kmSession*) of kmCalcHandler");
}

// ---- Layout
// -------------------------------------------------------------------

// One by-variable of two levels with pairwise comparisons: two cohorts and
// one comparison. Every block after the session is pinned byte for byte.
TEST(kmCalcHandlerWrite, HeadBytesFollowTheLayout) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("head.kmo");
  kmSession session = MakeSession(1, true);
  kmCalcHandler handler(&session);
  const double dBefore = static_cast<double>(std::time(nullptr));
  PrepareWriter(handler, sPath, 1);
  const std::string sHead = km_test::ReadAll(sPath);

  kmSession sessionCopy(session);
  const std::string sSession =
      BytesOf([&](KmIO_File* f) { sessionCopy.Write(f); });
  const std::string sGraph =
      BytesOf([&](KmIO_File* f) { handler.GetGraphDisplayOptions().Write(f); });
  const std::string sOutput =
      BytesOf([&](KmIO_File* f) { OutputDisplayOptions().Write(f); });

  BlockBuilder expected;
  expected.Raw(sSession);
  expected.Int(4).Double(0.0).Double(0.0).Double(0.0).Double(0.0);
  expected.Raw(sGraph).Raw(sOutput);
  // Combination table: Long nc, Long np, entries {Int 0, Short 0, Long k,
  // Long 0, k Ints}, Int number of by-variables.
  expected.Int(2).Int(1);
  expected.Int(0).Short(0).Int(1).Int(0).Int(1);
  expected.Int(0).Short(0).Int(1).Int(0).Int(2);
  expected.Int(0).Short(0).Int(2).Int(0).Int(0).Int(1);
  expected.Int(1);
  // Valid-cohort flags, labels, comparison group size, offset placeholders.
  expected.Int(2).Bool(true).Bool(false);
  expected.String("cohort 0").String("cohort 1");
  expected.Int(2);
  expected.Int(-1).Int(-1).Int(-1);
  EXPECT_EQ(sHead, expected.Bytes());

  // The start time is taken when the session is written.
  const double dStart = handler.GetNumericData()[1];
  EXPECT_GE(dStart, dBefore);
  EXPECT_LE(dStart, static_cast<double>(std::time(nullptr)));
}

TEST(kmCalcHandlerWrite, PatchesOffsetsAndNumericDataAtTheEnd) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("patched.kmo");
  kmSession session = MakeSession(1, true);
  kmCalcHandler handler(&session);
  PrepareWriter(handler, sPath, 1);
  const size_t iHeadSize = km_test::ReadAll(sPath).size();
  const size_t iOffsetTable = iHeadSize - 12;
  const std::string sSession =
      BytesOf([&](KmIO_File* f) { kmSession(session).Write(f); });
  const size_t iNumeric = sSession.size();

  kmCalcData records[] = {MakeRecord(0), MakeRecord(1), MakeRecord(2)};
  handler.WriteCohortCalcData(&records[0]);
  handler.WriteCohortCalcData(&records[1]);
  handler.GetCurrentCalcData() = records[2];
  handler.WriteComparisonCalcData();
  const std::string sRecord0 =
      BytesOf([&](KmIO_File* f) { records[0].Write(f); });
  const std::string sRecord1 =
      BytesOf([&](KmIO_File* f) { records[1].Write(f); });
  const std::string sRecord2 =
      BytesOf([&](KmIO_File* f) { records[2].Write(f); });

  // Until patched the table holds -1 and the numeric block zeros.
  std::string bytes = km_test::ReadAll(sPath);
  EXPECT_EQ(IntAt(bytes, iOffsetTable), -1);
  EXPECT_EQ(DoubleAt(bytes, iNumeric + 4 + 24), 0.0);

  handler.WriteOffsets();
  handler.WriteNumericData();
  handler.CloseOutFile();
  bytes = km_test::ReadAll(sPath);
  ASSERT_EQ(bytes.size(),
            iHeadSize + sRecord0.size() + sRecord1.size() + sRecord2.size());

  // The first record begins right after the table of nc + np = 3 Ints.
  const int32_t lFirst = static_cast<int32_t>(iOffsetTable + 4 * 3);
  EXPECT_EQ(IntAt(bytes, iOffsetTable), lFirst);
  EXPECT_EQ(IntAt(bytes, iOffsetTable + 4),
            lFirst + static_cast<int32_t>(sRecord0.size()));
  EXPECT_EQ(IntAt(bytes, iOffsetTable + 8),
            lFirst + static_cast<int32_t>(sRecord0.size() + sRecord1.size()));
  EXPECT_EQ(bytes.substr(static_cast<size_t>(lFirst), sRecord0.size()),
            sRecord0);
  EXPECT_EQ(bytes.substr(bytes.size() - sRecord2.size()), sRecord2);

  // Numeric block: Int 4, elapsed seconds, start time, 0.0, 4.9, in exactly
  // the 36 bytes reserved for it.
  EXPECT_EQ(IntAt(bytes, iNumeric), 4);
  const KmVector<double>& vNumeric = handler.GetNumericData();
  EXPECT_EQ(DoubleAt(bytes, iNumeric + 4), vNumeric[0]);
  EXPECT_GE(vNumeric[0], 0.0);
  EXPECT_LT(vNumeric[0], 60.0);
  EXPECT_EQ(DoubleAt(bytes, iNumeric + 12), vNumeric[1]);
  EXPECT_EQ(DoubleAt(bytes, iNumeric + 20), 0.0);
  EXPECT_EQ(DoubleAt(bytes, iNumeric + 28), 4.9);
  EXPECT_EQ(bytes.substr(iNumeric + 28, 8),
            std::string("\x9a\x99\x99\x99\x99\x99\x13\x40", 8));
  EXPECT_EQ(handler.GetState(), kmCalcHandler::kStateNumericWritten);
}

TEST(kmCalcHandlerWrite, WithoutByVariablesTheTableHoldsOneOffset) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("single.kmo");
  kmSession session = MakeSession(0, false);
  kmCalcHandler handler(&session);
  PrepareWriter(handler, sPath, 0);
  const size_t iOffsetTable = km_test::ReadAll(sPath).size() - 4;
  kmCalcData record = MakeRecord(0);
  handler.WriteCohortCalcData(&record);
  handler.WriteOffsets();
  handler.WriteNumericData();
  handler.CloseOutFile();
  const std::string bytes = km_test::ReadAll(sPath);
  EXPECT_EQ(IntAt(bytes, iOffsetTable), static_cast<int32_t>(iOffsetTable + 4));
  EXPECT_EQ(handler.GetCohortOffsets(),
            KmVector<int32_t>{static_cast<int32_t>(iOffsetTable + 4)});
}

TEST(kmCalcHandlerWrite, RecordCountMustMatchTheCombinationTable) {
  struct Case {
    int iNumByVars;
    int iCohortRecords;
  };
  // Six combinations with five records; no combinations (one cohort) with
  // two records.
  const Case kCases[] = {{2, 5}, {0, 2}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.iNumByVars);
    km_test::ScratchDir dir;
    const std::string sPath = dir.File("short.kmo");
    kmSession session = MakeSession(c.iNumByVars, false);
    kmCalcHandler handler(&session);
    PrepareWriter(handler, sPath, c.iNumByVars);
    const std::string sHead = km_test::ReadAll(sPath);
    kmCalcData record = MakeRecord(0);
    for (int i = 0; i < c.iCohortRecords; ++i)
      handler.WriteCohortCalcData(&record);
    KmException e = CatchKmException([&] { handler.WriteOffsets(); });
    EXPECT_STREQ(e.GetMessage(), kMismatch);
    EXPECT_STREQ(e.GetSource(), "Error");
    EXPECT_EQ(handler.GetState(), kmCalcHandler::kStateCombosWritten);
    // The placeholders keep their -1 values.
    handler.CloseOutFile();
    EXPECT_EQ(km_test::ReadAll(sPath).substr(0, sHead.size()), sHead);
  }
}

// Fault: a run without combinations that wrote no record at all was
// accepted, leaving the one offset slot at -1: a file reported as written
// that the reader then refuses as unfinished. Its one record is required.
TEST(kmCalcHandlerWrite, TableWithoutCombinationsNeedsItsOneRecord) {
  km_test::ScratchDir dir;
  kmSession session = MakeSession(0, false);
  kmCalcHandler handler(&session);
  handler.SetOutFile(dir.File("empty.kmo").c_str());
  handler.WriteSession();
  handler.WriteCombos();
  KmException e = CatchKmException([&] { handler.WriteOffsets(); });
  EXPECT_STREQ(e.GetMessage(), kMismatch);
  EXPECT_EQ(handler.GetState(), kmCalcHandler::kStateCombosWritten);
}

// Fault: the cohort labels are stored without a count of their own, so a
// label list shorter or longer than the flags wrote a file whose every later
// block the reader misplaced. The lists must now have one length.
TEST(kmCalcHandlerWrite, RefusesLabelsThatDoNotMatchTheFlags) {
  kmSession session = MakeSession(1, false);
  kmCalcHandler handler(&session);
  KmException e = CatchKmException([&] {
    handler.SetValidCohorts(KmVector<bool>{true, true},
                            KmVector<KmString>{KmString("only one")});
  });
  EXPECT_STREQ(e.GetMessage(),
               "The number of cohort labels (1) does not match the number of "
               "valid-cohort flags (2).");
  EXPECT_TRUE(handler.GetValidCohorts().empty());
}

// ---- Files that cannot be written
// --------------------------------------------

// A stream that accepts iLimit bytes in all and then fails, as a full disk
// does; it can seek, so the patches at the end reach it.
class LimitedBuf : public std::streambuf {
 public:
  explicit LimitedBuf(int64_t iLimit) : iLimit_(iLimit) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return 0;
    if (iPos_ >= iLimit_) return traits_type::eof();
    ++iPos_;
    return c;
  }
  pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                   std::ios_base::openmode) override {
    if (dir == std::ios_base::beg) iPos_ = off;
    if (dir == std::ios_base::cur) iPos_ += off;
    return pos_type(iPos_);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode) override {
    iPos_ = pos;
    return pos;
  }

 private:
  int64_t iLimit_;
  int64_t iPos_ = 0;
};

class LimitedStream : public std::ostream {
 public:
  explicit LimitedStream(int64_t iLimit) : std::ostream(nullptr), buf_(iLimit) {
    rdbuf(&buf_);
  }

 private:
  LimitedBuf buf_;
};

class FullDiskFileSystem : public KmFileSystem {
 public:
  int64_t iLimit = 0;
  std::unique_ptr<std::ostream> OpenOutput(const std::string& sPath,
                                           bool bAppend) override {
    if (sPath.size() >= 5 && sPath.substr(sPath.size() - 4) == ".kmo") {
      return std::make_unique<LimitedStream>(iLimit);
    }
    return KmFileSystem::OpenOutput(sPath, bAppend);
  }
};

// Fault: the file layer reports no write errors, so a results file cut
// short by a full disk was reported as written. Every write now checks the
// stream and refuses.
TEST(kmCalcHandlerWrite, RefusesAFileThatCannotBeWrittenWhole) {
  struct Case {
    int64_t iLimit;
    const char* sFailingStep;
  };
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("full.kmo");
  // The real file, to put each limit inside one block: the session block,
  // the offset table (last bytes before the first record) and the first
  // record.
  km_test::WriteWholeFile(sPath, 1, false);
  const int64_t lFirstRecord =
      kmCalcHandler(sPath.c_str(), nullptr).GetCohortOffsets()[0];
  const Case kCases[] = {
      {0, "WriteSession()"},
      {100, "WriteSession()"},
      {lFirstRecord - 2, "WriteCombos()"},
      {lFirstRecord + 10, "WriteCohortCalcData(kmCalcData *)"}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.iLimit);
    FullDiskFileSystem fileSystem;
    fileSystem.iLimit = c.iLimit;
    km_test::ScopedFileSystem scoped(&fileSystem);
    kmSession session = MakeSession(1, false);
    kmCalcHandler handler(&session);
    KmException e = CatchKmException([&] {
      PrepareWriter(handler, sPath, 1);
      kmCalcData record = MakeRecord(0);
      for (int i = 0; i < 2; ++i) handler.WriteCohortCalcData(&record);
      handler.WriteOffsets();
      handler.WriteNumericData();
    });
    EXPECT_EQ(std::string(e.GetMessage())
                  .rfind("Unable to write the file \"" + sPath + "\": ", 0),
              0u)
        << e.GetMessage();
    EXPECT_NE(std::string(e.GetCallPath()).find(c.sFailingStep),
              std::string::npos)
        << e.GetCallPath();
  }
}

// Fault: a results file that could not be created was taken as set, and
// every later write went nowhere without an error.
TEST(kmCalcHandlerWrite, RefusesAFileThatCannotBeCreated) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("missing-dir") + "/x.kmo";
  kmSession session = MakeSession(0, false);
  kmCalcHandler handler(&session);
  KmException e = CatchKmException([&] { handler.SetOutFile(sPath.c_str()); });
  EXPECT_EQ(std::string(e.GetMessage()),
            "Unable to open the results file " + sPath +
                " for writing: No such file or directory.");
  EXPECT_EQ(handler.GetState(), kmCalcHandler::kStateNone);
}

}  // namespace
