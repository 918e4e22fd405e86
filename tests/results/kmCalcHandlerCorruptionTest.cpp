// Fault-injection tests of the results-file reader: truncated files, every
// single flipped byte, damaged counts, offsets and versions, and read errors
// part-way through the file. A damaged file is either read or refused with
// a KmException; nothing else may happen.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "foundation/KmIO_File.h"
#include "foundation/platform/KmPlatform.h"
#include "results/kmCalcHandler.h"
#include "tests/foundation/FaultyFileSystem.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/ResultsFileFixture.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::CatchKmException;
using km_test::MakeSession;
using km_test::WriteWholeFile;

const char* const kCorrupt =
    "This KMO is either corrupt or not compatible with this version of "
    "Kinkmark.  ";

enum Outcome { kRead, kRefused, kOther };

// Reads a file as the exports do: the head, then every entry through both
// record getters and every row of the per-cohort comparison table.
void ReadEverything(const std::string& sPath) {
  kmCalcHandler reader(sPath.c_str(), nullptr);
  const int32_t t =
      reader.GetNumCohortRecords() + reader.GetNumComparisonRecords();
  for (int32_t i = 0; i < t; ++i) {
    reader.GetCalcData(i);
    KmVector<kmCalcData*>& v = reader.GetCalcDataVector(i);
    for (kmCalcData* p : v) delete p;
    v.clear();
  }
  const auto& vTable = reader.GetCohortComparisonTable();
  for (int32_t c = 0; c < static_cast<int32_t>(vTable.size()); ++c) {
    for (int32_t e = 0; e < static_cast<int32_t>(vTable[c].size()); ++e) {
      KmVector<kmCalcData*>& v = reader.GetCalcDataVector(c, e);
      for (kmCalcData* p : v) delete p;
      v.clear();
    }
  }
}

Outcome TryRead(const std::string& sPath, std::string* pMessage = nullptr) {
  try {
    ReadEverything(sPath);
  } catch (const KmException& e) {
    if (pMessage != nullptr) *pMessage = e.GetMessage();
    return kRefused;
  } catch (...) {
    return kOther;
  }
  return kRead;
}

// The position of the numeric block: right after the session block.
size_t NumericPos(int iNumByVars, bool bPairwise) {
  kmSession session = MakeSession(iNumByVars, bPairwise);
  return km_test::BytesOf([&](KmIO_File* f) { session.Write(f); }).size();
}

void PutInt(std::string& bytes, size_t iPos, int32_t iValue) {
  for (int i = 0; i < 4; ++i) {
    bytes.at(iPos + i) =
        static_cast<char>((static_cast<uint32_t>(iValue) >> (8 * i)) & 0xFF);
  }
}

void PutDouble(std::string& bytes, size_t iPos, double dValue) {
  std::memcpy(&bytes.at(iPos), &dValue, 8);
}

// One by-variable of two levels with pairwise comparisons: two cohort
// records and one comparison record.
class DamagedFile : public ::testing::Test {
 protected:
  void SetUp() override {
    sPath_ = dir_.File("damaged.kmo");
    written_ = WriteWholeFile(sPath_, 1, true);
    bytes_ = km_test::ReadAll(sPath_);
    kmCalcHandler reader(sPath_.c_str(), nullptr);
    lFirstRecord_ = reader.GetCohortOffsets()[0];
    lComparison_ = reader.GetComparisonOffsets()[0];
    // Layout before the records: ... flags (Long 2, two Bools), labels
    // "cohort 0" and "cohort 1", Long group size, three offsets.
    iOffsetTable_ = static_cast<size_t>(lFirstRecord_) - 12;
    iGroupSize_ = iOffsetTable_ - 4;
    iFlagCount_ = iGroupSize_ - 18 - 2 - 4;
    iNumeric_ = NumericPos(1, true);
  }

  // The Int stored at iPos of the undamaged file.
  int32_t GetIntAt(size_t iPos) const {
    uint32_t u = 0;
    for (int i = 3; i >= 0; --i) {
      u = (u << 8) | static_cast<unsigned char>(bytes_.at(iPos + i));
    }
    return static_cast<int32_t>(u);
  }

  // Writes bytes as the file and reads it; returns the outcome.
  Outcome ReadBytes(const std::string& bytes, std::string* pMessage = nullptr) {
    km_test::WriteAll(sPath_, bytes);
    return TryRead(sPath_, pMessage);
  }

  km_test::ScratchDir dir_;
  km_test::WrittenFile written_;
  std::string sPath_;
  std::string bytes_;
  int32_t lFirstRecord_ = 0;
  int32_t lComparison_ = 0;
  size_t iOffsetTable_ = 0;
  size_t iGroupSize_ = 0;
  size_t iFlagCount_ = 0;
  size_t iNumeric_ = 0;
};

TEST_F(DamagedFile, TheUndamagedFileIsRead) {
  EXPECT_EQ(ReadBytes(bytes_), kRead);
  EXPECT_EQ(bytes_.substr(iFlagCount_, 6), std::string("\x02\0\0\0\x01\0", 6));
  EXPECT_EQ(bytes_.substr(iGroupSize_, 4), std::string("\x02\0\0\0", 4));
}

// Fault: the file layer answers zeros past the end of a file, and the reader
// took them for data; a file cut anywhere is now refused.
TEST_F(DamagedFile, EveryTruncationIsRefused) {
  for (size_t iLength = 0; iLength < bytes_.size(); ++iLength) {
    SCOPED_TRACE(iLength);
    ASSERT_EQ(ReadBytes(bytes_.substr(0, iLength)), kRefused);
  }
}

TEST_F(DamagedFile, EveryFlippedByteIsReadOrRefused) {
  int iRefused = 0;
  for (size_t iPos = 0; iPos < bytes_.size(); ++iPos) {
    SCOPED_TRACE(iPos);
    std::string damaged = bytes_;
    damaged[iPos] = static_cast<char>(damaged[iPos] ^ 0xFF);
    const Outcome outcome = ReadBytes(damaged);
    ASSERT_NE(outcome, kOther);
    if (outcome == kRefused) ++iRefused;
  }
  // Counts, offsets and texts are refused when damaged; most values are not
  // checkable and read back changed.
  EXPECT_GT(iRefused, 50);
}

// Fault: the reader trusted the counts, the group size and the offsets
// stored in the file: it seeked to any offset, looped over any count and
// divided by any group size. Each is now checked against the file.
TEST_F(DamagedFile, DamagedHeadValuesAreRefusedWithTheirReason) {
  struct Case {
    const char* sName;
    std::function<void(std::string&)> damage;
    std::string sReason;
  };
  const std::string sEnd = std::to_string(bytes_.size());
  const Case kCases[] = {
      {"offset beyond the end",
       [&](std::string& b) {
         PutInt(b, iOffsetTable_, static_cast<int32_t>(b.size()));
       },
       "A record offset (" + sEnd + ") lies outside the records of the file."},
      {"offset into the head",
       [&](std::string& b) { PutInt(b, iOffsetTable_ + 8, 0); },
       "A record offset (0) lies outside the records of the file."},
      {"negative offset",
       [&](std::string& b) { PutInt(b, iOffsetTable_ + 4, -7); },
       "A record offset (-7) lies outside the records of the file."},
      {"offsets never patched",
       [&](std::string& b) {
         for (int i = 0; i < 3; ++i) PutInt(b, iOffsetTable_ + 4 * i, -1);
       },
       "Its record offsets were never written: the run that wrote it did not "
       "finish."},
      {"negative flag count",
       [&](std::string& b) { PutInt(b, iFlagCount_, -5); },
       "The KMO read process found a count of -5 valid-cohort flags."},
      {"huge flag count",
       [&](std::string& b) {
         PutInt(b, iFlagCount_, std::numeric_limits<int32_t>::max());
       },
       "The KMO read process found a count of 2147483647 valid-cohort flags, "
       "more than the rest of the file can hold."},
      {"group size that does not divide the cohorts",
       [&](std::string& b) { PutInt(b, iGroupSize_, 3); },
       "The comparison group size (3) does not divide the 2 cohorts."},
      {"negative group size",
       [&](std::string& b) { PutInt(b, iGroupSize_, -2); },
       "The comparison group size (-2) does not divide the 2 cohorts."},
      {"group size that gives other comparisons",
       [&](std::string& b) { PutInt(b, iGroupSize_, 1); },
       "The file stores 1 comparisons where its cohorts and group size give "
       "0."},
      {"numeric count", [&](std::string& b) { PutInt(b, iNumeric_, 5); },
       "The numeric run data holds 5 values instead of 4."},
      {"version not a number",
       [&](std::string& b) {
         PutDouble(b, iNumeric_ + 28, std::numeric_limits<double>::quiet_NaN());
       },
       "The file version stored in the numeric run data is not a number."},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    std::string damaged = bytes_;
    c.damage(damaged);
    std::string sMessage;
    ASSERT_EQ(ReadBytes(damaged, &sMessage), kRefused);
    EXPECT_EQ(sMessage, kCorrupt + c.sReason);
  }
}

// Fault: the offsets were checked only against the records region: a
// duplicated offset served cohort 0's record as cohort 1's, swapped offsets
// swapped two cohorts, and bytes inserted into or deleted from the last
// record could read as success with other contents.
TEST_F(DamagedFile, OffsetsMustFollowTheRecordsAsWritten) {
  const int32_t lSecond = GetIntAt(iOffsetTable_ + 4);
  const struct {
    const char* sName;
    std::function<void(std::string&)> damage;
    std::string sReason;
  } kCases[] = {
      {"cohort 0's offset given twice",
       [&](std::string& b) { PutInt(b, iOffsetTable_ + 4, lFirstRecord_); },
       "Its record offsets do not increase (" + std::to_string(lFirstRecord_) +
           " is followed by " + std::to_string(lFirstRecord_) + ")."},
      {"cohort offsets swapped",
       [&](std::string& b) {
         PutInt(b, iOffsetTable_, lSecond);
         PutInt(b, iOffsetTable_ + 4, lFirstRecord_);
       },
       "Its record offsets do not increase (" + std::to_string(lSecond) +
           " is followed by " + std::to_string(lFirstRecord_) + ")."},
      {"comparison sharing cohort 1's offset",
       [&](std::string& b) { PutInt(b, iOffsetTable_ + 8, lSecond); },
       "Two of its records share one offset."},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sName);
    std::string damaged = bytes_;
    c.damage(damaged);
    std::string sMessage;
    ASSERT_EQ(ReadBytes(damaged, &sMessage), kRefused);
    EXPECT_EQ(sMessage, kCorrupt + c.sReason);
  }

  // The bytes of the last record after its texts: values of fixed size,
  // found by writing the record with a marked text.
  kmCalcData marked = written_.vComparisons[0];
  marked.sBadDescription = "\x7f";
  const std::string sMarked =
      km_test::BytesOf([&](KmIO_File* f) { marked.Write(f); });
  const size_t iTailLength = sMarked.size() - (sMarked.rfind("\x7f") + 2);
  // The tail begins after the Short count of the record's labels (it has
  // none): a byte added before that count makes it 1 and the next byte an
  // empty label.
  ASSERT_TRUE(written_.vComparisons[0].vCohortLabel.empty());
  const size_t iTail = bytes_.size() - iTailLength + 2;
  // A byte taken from the last record, or added to it after its texts or
  // after the record, makes it end elsewhere than the records region. (A
  // byte added before a text can be absorbed by that text unnoticed.)
  for (size_t iPos = static_cast<size_t>(lComparison_); iPos <= bytes_.size();
       ++iPos) {
    SCOPED_TRACE(iPos);
    if (iPos < bytes_.size()) {
      std::string deleted = bytes_;
      deleted.erase(iPos, 1);
      ASSERT_EQ(ReadBytes(deleted), kRefused);
    }
    if (iPos >= iTail) {
      std::string inserted = bytes_;
      inserted.insert(iPos, 1, '\x01');
      ASSERT_EQ(ReadBytes(inserted), kRefused);
    }
  }
}

// Fault: a matrix of 0 columns and 2^31 - 1 rows in the last record never
// finished reading (one row fewer took 16 s), and a byte deleted before the
// last record's flags read back as success with the cohort valid. Each
// damaged file now ends quickly in its reason.
TEST(kmCalcHandlerCorruption, DamagedLastRecordsAreRefusedWithTheirReason) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("six.kmo");
  for (const km_test::DamagedFile& file : km_test::DamagedFiles(sPath)) {
    SCOPED_TRACE(file.sName);
    km_test::WriteAll(sPath, file.sBytes);
    std::string sMessage;
    ASSERT_EQ(TryRead(sPath, &sMessage), kRefused);
    EXPECT_EQ(sMessage, kCorrupt + file.sReason);
  }
}

// Fault: a failed fetch left a half-read current record, and the records
// the vector getter had read before the failure were lost.
TEST_F(DamagedFile, AFileEndingInsideARecordIsRefusedWhenTheRecordIsFetched) {
  // The head is whole; the comparison record, the last, lacks its end.
  km_test::WriteAll(sPath_, bytes_.substr(0, bytes_.size() - 3));
  kmCalcHandler reader(sPath_.c_str(), nullptr);
  reader.GetCalcData(0);
  reader.GetCalcData(1);
  const std::string sCut =
      std::string(kCorrupt) +
      "The KMO read process found a count of 6 MADWD values, more than the "
      "rest of the file can hold.";
  KmException e = CatchKmException([&] { reader.GetCalcData(2); });
  EXPECT_EQ(std::string(e.GetMessage()), sCut);
  EXPECT_NE(std::string(e.GetCallPath()).find("GetCalcData() of kmCalcHandler"),
            std::string::npos);
  // The failed read leaves no half-read record behind.
  EXPECT_TRUE(reader.GetCurrentCalcData().vModels.empty());
  EXPECT_EQ(reader.GetCalcData(0).vModels.size(), 2u);
  // The vector getter hands out nothing when one of its records fails.
  e = CatchKmException([&] { reader.GetCalcDataVector(2); });
  EXPECT_EQ(std::string(e.GetMessage()), sCut);
}

// A run that stopped before the offsets and the numeric data were patched
// leaves a file whose version is still the placeholder 0.0: it is refused
// as unfinished, not as a file of an earlier version.
TEST(kmCalcHandlerCorruption, UnfinishedFileIsRefusedAsIncomplete) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("unfinished.kmo");
  kmSession session = MakeSession(1, false);
  {
    kmCalcHandler writer(&session);
    km_test::PrepareWriter(writer, sPath, 1);
    kmCalcData record = km_test::MakeRecord(0);
    writer.WriteCohortCalcData(&record);
  }
  KmException e =
      CatchKmException([&] { kmCalcHandler reader(sPath.c_str(), nullptr); });
  EXPECT_STREQ(e.GetMessage(),
               "This KMO is either corrupt or not compatible with this version "
               "of Kinkmark.  The run that wrote it did not finish: the file "
               "is incomplete and holds no usable results.");
  EXPECT_STREQ(e.GetSource(), "kmCalcHandler");
}

TEST_F(DamagedFile, ReadErrorsPartWayAreRefused) {
  const size_t kStops[] = {0,
                           10,
                           iNumeric_ + 8,
                           iFlagCount_ + 3,
                           static_cast<size_t>(lFirstRecord_) + 20,
                           static_cast<size_t>(lComparison_) + 1,
                           bytes_.size()};
  for (size_t iStop : kStops) {
    SCOPED_TRACE(iStop);
    km_test::FaultyFileSystem fileSystem;
    fileSystem.sReadErrorPath = KmNativePath(sPath_);
    fileSystem.sReadErrorPrefix = bytes_.substr(0, iStop);
    km_test::ScopedFileSystem scoped(&fileSystem);
    EXPECT_EQ(TryRead(sPath_), kRefused);
  }
}

TEST(kmCalcHandlerCorruption, AnUnreadableFileIsRefused) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("locked.kmo");
  WriteWholeFile(sPath, 0, false);
  km_test::FaultyFileSystem fileSystem;
  fileSystem.unreadable.insert(KmNativePath(sPath));
  km_test::ScopedFileSystem scoped(&fileSystem);
  KmException e =
      CatchKmException([&] { kmCalcHandler reader(sPath.c_str(), nullptr); });
  EXPECT_EQ(std::string(e.GetMessage()),
            "Unable to open the results file " + sPath + " for reading.");
}

}  // namespace
