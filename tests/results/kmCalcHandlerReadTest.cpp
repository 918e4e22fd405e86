// Tests of the results-file reader: a whole file written and read back
// field by field, the lazy record getters and their labels, the version
// gates (too old, the pre-3.300 layout, too new), Reset, and the reading
// constructor's refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "foundation/KmIO_File.h"
#include "results/kmCalcHandler.h"
#include "session/kmSessionOptionIds.h"
#include "tests/session/SessionBlockBuilder.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/ResultsFileFixture.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::BlockBuilder;
using km_test::BytesOf;
using km_test::CatchKmException;
using km_test::ExpectSameRecord;
using km_test::MakeCombos;
using km_test::MakeSession;
using km_test::WriteWholeFile;
using km_test::WrittenFile;

// Takes the records of a GetCalcDataVector call over, as its callers do.
std::vector<std::unique_ptr<kmCalcData> > TakeOver(KmVector<kmCalcData*>& v) {
  std::vector<std::unique_ptr<kmCalcData> > vOwned;
  for (kmCalcData* p : v) vOwned.emplace_back(p);
  v.clear();
  return vOwned;
}

KmVector<KmString> Labels(std::initializer_list<const char*> texts) {
  KmVector<KmString> v;
  for (const char* s : texts) v.push_back(KmString(s));
  return v;
}

// Two by-variables (Sex x Race, six cohorts) with pairwise comparisons
// within each sex: six comparisons.
class WholeFile : public ::testing::Test {
 protected:
  void SetUp() override {
    sPath_ = dir_.File("whole.kmo");
    written_ = WriteWholeFile(sPath_, 2, true);
    pReader_ = std::make_unique<kmCalcHandler>(sPath_.c_str(), nullptr);
  }

  km_test::ScratchDir dir_;
  std::string sPath_;
  WrittenFile written_;
  std::unique_ptr<kmCalcHandler> pReader_;
};

TEST_F(WholeFile, HeadIsReadBack) {
  kmCalcHandler& reader = *pReader_;
  EXPECT_EQ(reader.GetState(), kmCalcHandler::kStateReadFromFile);
  ASSERT_NE(reader.GetSession(), nullptr);
  EXPECT_EQ(reader.GetSession()->GetNumByVars(), 2);
  EXPECT_EQ(reader.GetSession()->GetInt(kmOptComparisonType), 1);
  EXPECT_EQ(reader.GetSession()->GetProgramVersAsDouble(), 4.9);

  const KmVector<double>& vNumeric = reader.GetNumericData();
  ASSERT_EQ(vNumeric.size(), 4u);
  EXPECT_GE(vNumeric[0], 0.0);
  EXPECT_GT(vNumeric[1], 1.6e9);  // a start time after 2020
  EXPECT_EQ(vNumeric[2], 0.0);
  EXPECT_EQ(vNumeric[3], 4.9);

  EXPECT_EQ(reader.GetIndependentVariableLabel(), "Year");
  EXPECT_EQ(reader.GetDependentVariableLabel(), "Rate");
  EXPECT_EQ(reader.GetIntDisplayOption(5), 7);  // "Model Tab F Stat Prec"
  EXPECT_TRUE(reader.GetBoolDisplayOption(6));

  EXPECT_EQ(reader.GetValidCohorts(), written_.vFlags);
  EXPECT_EQ(reader.GetCohortLabels(), written_.vLabels);
  EXPECT_EQ(reader.GetComparisonGroupSize(), 3);
  EXPECT_EQ(reader.GetNumCohortRecords(), 6);
  EXPECT_EQ(reader.GetNumComparisonRecords(), 6);

  // The combination table holds the written combinations and the
  // comparisons rebuilt from the group size, in comparison order.
  const kmCombos& combos = *reader.GetCombos();
  const kmCombos expected = MakeCombos(2);
  ASSERT_EQ(combos.GetNumCombinations(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(combos.GetCombination(i), expected.GetCombination(i));
  }
  const int kPairs[6][2] = {{0, 1}, {0, 2}, {1, 2}, {3, 4}, {3, 5}, {4, 5}};
  ASSERT_EQ(combos.GetNumComparisons(), 6);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(combos.GetComparison(k),
              (KmVector<int>{kPairs[k][0], kPairs[k][1]}));
  }
  EXPECT_EQ(combos.GetCohortIndices().size(), 12u);
}

TEST_F(WholeFile, EveryRecordIsReadBackFieldByField) {
  for (int32_t i = 0; i < 12; ++i) {
    SCOPED_TRACE(i);
    const kmCalcData& record = pReader_->GetCalcData(i);
    ExpectSameRecord(
        record, i < 6 ? written_.vCohorts[i] : written_.vComparisons[i - 6]);
  }
  // Entries can be fetched in any order: each is found by its offset.
  ExpectSameRecord(pReader_->GetCalcData(3), written_.vCohorts[3]);
  ExpectSameRecord(pReader_->GetCalcData(11), written_.vComparisons[5]);
}

TEST_F(WholeFile, RecordGettersRefuseIndexesOutsideTheFile) {
  for (int32_t i : {-1, 12, 1 << 30}) {
    SCOPED_TRACE(i);
    for (int form = 0; form < 2; ++form) {
      KmException e = CatchKmException([&] {
        if (form == 0) {
          pReader_->GetCalcData(i);
        } else {
          pReader_->GetCalcDataVector(i);
        }
      });
      EXPECT_EQ(std::string(e.GetMessage()), "Attempt to access element " +
                                                 std::to_string(i) +
                                                 " in vector of size 12.");
      EXPECT_STREQ(e.GetSource(), "kmCalcHandler");
    }
  }
}

// Fault: an unlabelled comparison record was labelled with the levels of
// "combination i" for its entry number i, which names no combination, so
// the fetch failed; it now gets the levels of both of its cohorts.
TEST_F(WholeFile, ComparisonEntryGivesBothCohortsThenItsOwnRecord) {
  // Entry 6 + 4 is comparison 4: cohorts 3 and 5 (W / White against
  // W / Other).
  auto vRecords = TakeOver(pReader_->GetCalcDataVector(10));
  ASSERT_EQ(vRecords.size(), 3u);
  ExpectSameRecord(*vRecords[0], written_.vCohorts[3]);
  ExpectSameRecord(*vRecords[1], written_.vCohorts[5]);
  kmCalcData comparison = written_.vComparisons[4];
  // Written without a label, it is labelled by the levels of both cohorts.
  comparison.SetCohortLabel(Labels({"W", "White", "W", "Other"}));
  ExpectSameRecord(*vRecords[2], comparison);

  auto vCohort = TakeOver(pReader_->GetCalcDataVector(2));
  ASSERT_EQ(vCohort.size(), 1u);
  ExpectSameRecord(*vCohort[0], written_.vCohorts[2]);
}

TEST_F(WholeFile, PerCohortEntriesNameTheCohortItsPartnerAndTheirComparison) {
  struct Case {
    int32_t iCohort;
    int32_t iEntry;
    std::vector<int> vExpected;  // cohort, cohort, comparison (+6)
  };
  const Case kCases[] = {{4, 0, {4}},           {4, -3, {4}},
                         {4, 1, {4, 3, 6 + 3}}, {4, 2, {4, 5, 6 + 5}},
                         {0, 2, {0, 2, 6 + 1}}, {2, 1, {2, 0, 6 + 1}}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::to_string(c.iCohort) + "/" + std::to_string(c.iEntry));
    auto vRecords = TakeOver(pReader_->GetCalcDataVector(c.iCohort, c.iEntry));
    ASSERT_EQ(vRecords.size(), c.vExpected.size());
    for (size_t k = 0; k < vRecords.size(); ++k) {
      const int e = c.vExpected[k];
      if (e < 6) {
        ExpectSameRecord(*vRecords[k], written_.vCohorts[e]);
      } else {
        EXPECT_EQ(vRecords[k]->dMADWDPsi,
                  written_.vComparisons[e - 6].dMADWDPsi);
        EXPECT_TRUE(vRecords[k]->bComparison);
      }
    }
  }
  // Each cohort has its own row and one per partner of its group.
  KmException e = CatchKmException([&] { pReader_->GetCalcDataVector(6, 0); });
  EXPECT_STREQ(e.GetMessage(),
               "Attempt to access element 6 in vector of size 6.");
  e = CatchKmException([&] { pReader_->GetCalcDataVector(1, 3); });
  EXPECT_STREQ(e.GetMessage(),
               "Attempt to access element 3 in vector of size 3.");
}

TEST_F(WholeFile, ResetEmptiesTheHandler) {
  pReader_->GetCalcData(0);
  pReader_->Reset();
  EXPECT_EQ(pReader_->GetState(), kmCalcHandler::kStateNone);
  EXPECT_EQ(pReader_->GetSession(), nullptr);
  EXPECT_EQ(pReader_->GetNumCohortRecords(), 0);
  EXPECT_EQ(pReader_->GetNumComparisonRecords(), 0);
  EXPECT_EQ(pReader_->GetCombos()->GetNumCombinations(), 0);
  EXPECT_TRUE(pReader_->GetValidCohorts().empty());
  EXPECT_EQ(pReader_->GetNumericData(), KmVector<double>(4, 0.0));
  EXPECT_EQ(pReader_->GetMinFieldCount(), -1);
  KmException e = CatchKmException([&] { pReader_->GetCalcData(0); });
  EXPECT_STREQ(e.GetMessage(),
               "Attempt to access element 0 in vector of size 0.");
  // The same handler can read the file again.
  pReader_->Read(sPath_.c_str());
  ExpectSameRecord(pReader_->GetCalcData(7), written_.vComparisons[1]);
}

// Fault: fetched through the per-cohort table, every unlabelled record was
// labelled with the levels of the cohort asked for, so the partner cohort
// carried the first cohort's label; each record now gets its own levels and
// the comparison those of both of its cohorts.
TEST(kmCalcHandlerRead, PerCohortEntryLabelsEachRecordByItsOwnCohorts) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("unlabelled.kmo");
  kmSession session = MakeSession(2, true);
  {
    kmCalcHandler writer(&session);
    km_test::PrepareWriter(writer, sPath, 2);
    kmCalcData record = km_test::MakeRecord(0);
    record.SetCohortLabel(KmVector<KmString>());
    for (int c = 0; c < 6; ++c) writer.WriteCohortCalcData(&record);
    writer.GetCurrentCalcData() = record;
    for (int k = 0; k < 6; ++k) writer.WriteComparisonCalcData();
    writer.WriteOffsets();
    writer.WriteNumericData();
  }
  kmCalcHandler reader(sPath.c_str(), nullptr);
  // Cohort 4 (W / Black), row 1: its partner cohort 3 (W / White) and
  // comparison 3, of cohorts 3 and 4.
  auto vRecords = TakeOver(reader.GetCalcDataVector(4, 1));
  ASSERT_EQ(vRecords.size(), 3u);
  EXPECT_EQ(vRecords[0]->vCohortLabel, Labels({"W", "Black"}));
  EXPECT_EQ(vRecords[1]->vCohortLabel, Labels({"W", "White"}));
  EXPECT_EQ(vRecords[2]->vCohortLabel, Labels({"W", "White", "W", "Black"}));
  vRecords = TakeOver(reader.GetCalcDataVector(4, 0));
  ASSERT_EQ(vRecords.size(), 1u);
  EXPECT_EQ(vRecords[0]->vCohortLabel, Labels({"W", "Black"}));
}

// Fault: without pairwise comparisons the writer stores any group size it is
// given, a negative one included, but the reader refused a negative size as
// damage, so the run's own file could not be read back for its exports.
TEST(kmCalcHandlerRead, GroupSizeWithoutPairwiseComparisonsIsNotChecked) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("nopairs.kmo");
  kmSession session = MakeSession(1, false);
  {
    kmCalcHandler writer(&session);
    writer.SetValidCohorts(KmVector<bool>{true, true}, Labels({"M", "W"}));
    writer.SetCombos(MakeCombos(1));
    writer.SetupComparisonVector(-1, writer.GetCombos());
    writer.SetOutFile(sPath.c_str());
    writer.WriteSession();
    writer.WriteCombos();
    kmCalcData record = km_test::MakeRecord(0);
    for (int c = 0; c < 2; ++c) writer.WriteCohortCalcData(&record);
    writer.WriteOffsets();
    writer.WriteNumericData();
  }
  kmCalcHandler reader(sPath.c_str(), nullptr);
  EXPECT_EQ(reader.GetNumCohortRecords(), 2);
  EXPECT_EQ(reader.GetNumComparisonRecords(), 0);
  ExpectSameRecord(reader.GetCalcData(1), km_test::MakeRecord(0));
}

// Fault: a cohort of a file without by-variables has no level labels; the
// reader asked the empty combination table for them and failed, so no
// export of such a run could be written.
TEST(kmCalcHandlerRead, FileWithoutByVariablesHasOneCohortRecord) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("single.kmo");
  WrittenFile written = WriteWholeFile(sPath, 0, false);
  kmCalcHandler reader(sPath.c_str(), nullptr);
  EXPECT_EQ(reader.GetNumCohortRecords(), 1);
  EXPECT_EQ(reader.GetNumComparisonRecords(), 0);
  ExpectSameRecord(reader.GetCalcData(0), written.vCohorts[0]);

  kmCalcData unlabelled = written.vCohorts[0];
  unlabelled.SetCohortLabel(KmVector<KmString>());
  // Rewrite the file with an unlabelled record.
  kmSession session = MakeSession(0, false);
  {
    kmCalcHandler writer(&session);
    km_test::PrepareWriter(writer, sPath, 0);
    writer.WriteCohortCalcData(&unlabelled);
    writer.WriteOffsets();
    writer.WriteNumericData();
  }
  kmCalcHandler again(sPath.c_str(), nullptr);
  auto vRecords = TakeOver(again.GetCalcDataVector(0));
  ASSERT_EQ(vRecords.size(), 1u);
  EXPECT_TRUE(vRecords[0]->vCohortLabel.empty());
  EXPECT_EQ(again.GetCohortComparisonTable().size(), 1u);
}

TEST(kmCalcHandlerRead, ConstructorRefusesMissingFiles) {
  km_test::ScratchDir dir;
  const std::string sMissing = dir.File("nope.kmo");
  for (const char* sName :
       {static_cast<const char*>(nullptr), "", sMissing.c_str()}) {
    SCOPED_TRACE(sName == nullptr ? "null" : sName);
    KmException e =
        CatchKmException([&] { kmCalcHandler reader(sName, nullptr); });
    EXPECT_STREQ(e.GetMessage(), "Invalid file name passed to constructor.");
    EXPECT_STREQ(e.GetSource(), "kmCalcHandler");
    EXPECT_STREQ(e.GetCallPath(),
                 "kmCalcHandler(const char*) of kmCalcHandler");
  }
}

// ---- Versions
// -----------------------------------------------------------------

// Replaces the stored file version (numeric data [3]) of a written file.
void PatchVersion(const std::string& sPath, double dVersion) {
  std::string bytes = km_test::ReadAll(sPath);
  kmSession session = MakeSession(2, true);
  const size_t iNumeric =
      BytesOf([&](KmIO_File* f) { session.Write(f); }).size();
  std::string sDouble(8, '\0');
  std::memcpy(&sDouble[0], &dVersion, 8);
  bytes.replace(iNumeric + 4 + 24, 8, sDouble);
  km_test::WriteAll(sPath, bytes);
}

// A results file in the layout of files up to version 3.300 (no flags,
// labels, group size or comparison records) for a session with one
// by-variable of two levels: two cohort records of 14 bytes, each a final
// model, an autocorrelation and no models or tests. Below 3.1 the output
// display options store no texts; below 3.300 the combination table has no
// comparison count.
std::string OldLayoutFile(double dVersion) {
  kmSession session = MakeSession(1, false);
  const std::string sOutput =
      BytesOf([](KmIO_File* f) { OutputDisplayOptions().Write(f); });
  BlockBuilder b;
  b.Raw(BytesOf([&](KmIO_File* f) { session.Write(f); }));
  b.Int(4).Double(12.0).Double(1.0e9).Double(0.0).Double(dVersion);
  b.Raw(BytesOf([](KmIO_File* f) { GraphDisplayOptions().Write(f); }));
  b.Raw(dVersion < 3.1 - 1e-9 ? sOutput.substr(0, 2 + 44 * 8) : sOutput);
  b.Int(2);
  if (dVersion >= 3.3 - 1e-9) b.Int(0);
  b.Int(0).Short(0).Int(1).Int(0).Int(1);
  b.Int(0).Short(0).Int(1).Int(0).Int(2);
  b.Int(1);
  const int32_t lFirst = static_cast<int32_t>(b.Bytes().size()) + 8;
  b.Int(lFirst).Int(lFirst + 14);
  for (int c = 0; c < 2; ++c)
    b.Short(static_cast<int16_t>(c)).Double(0.5 * c).Short(0).Short(0);
  return b.Bytes();
}

TEST(kmCalcHandlerRead, RefusesFilesOlderThan3001) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("old.kmo");
  for (double dVersion : {3.0, 2.5, 1.0, 3.0004}) {
    SCOPED_TRACE(dVersion);
    km_test::WriteAll(sPath, OldLayoutFile(dVersion));
    KmException e =
        CatchKmException([&] { kmCalcHandler reader(sPath.c_str(), nullptr); });
    EXPECT_STREQ(e.GetMessage(),
                 "The session you are trying to read was saved with a version "
                 "of Kinkmark prior to 3.001. Kinkmark cannot read this "
                 "session.");
    EXPECT_STREQ(e.GetSource(), "Error");
    EXPECT_STREQ(e.GetCallPath(),
                 "Read() of kmCalcHandler\r\nkmCalcHandler(const char*) of "
                 "kmCalcHandler");
  }
}

TEST(kmCalcHandlerRead, ReadsTheLayoutOfOlderFiles) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("old.kmo");
  for (double dVersion : {3.001, 3.2, 3.3}) {
    SCOPED_TRACE(dVersion);
    km_test::WriteAll(sPath, OldLayoutFile(dVersion));
    kmCalcHandler reader(sPath.c_str(), nullptr);
    EXPECT_EQ(reader.GetNumericData()[3], dVersion);
    EXPECT_EQ(reader.GetValidCohorts(), (KmVector<bool>{true, true}));
    EXPECT_EQ(reader.GetCohortLabels(), Labels({"", ""}));
    EXPECT_EQ(reader.GetComparisonGroupSize(), 0);
    EXPECT_EQ(reader.GetNumCohortRecords(), 2);
    EXPECT_EQ(reader.GetNumComparisonRecords(), 0);
    ASSERT_EQ(reader.GetCohortComparisonTable().size(), 2u);
    EXPECT_EQ(reader.GetCohortComparisonTable()[1],
              (KmVector<KmVector<int> >{KmVector<int>{1}}));
    EXPECT_EQ(reader.GetCalcData(1).uFinalSelectedModel, 1);
    EXPECT_EQ(reader.GetCalcData(1).dAutocorrelation, 0.5);
    // Records of these files carry no label; it is built from the
    // combination table.
    auto vRecords = TakeOver(reader.GetCalcDataVector(1));
    ASSERT_EQ(vRecords.size(), 1u);
    EXPECT_EQ(vRecords[0]->vCohortLabel, Labels({"W"}));
    EXPECT_TRUE(vRecords[0]->bValid);
  }
}

// Fault: only the session block's version was checked, so a file whose run
// data names a newer program was read by this program's layout.
TEST(kmCalcHandlerRead, RefusesFilesOfANewerVersion) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("new.kmo");
  WriteWholeFile(sPath, 2, true);
  PatchVersion(sPath, 5.0);
  KmException e =
      CatchKmException([&] { kmCalcHandler reader(sPath.c_str(), nullptr); });
  EXPECT_STREQ(e.GetMessage(),
               "Kinkmark cannot open this file.  The file you are trying to "
               "open was created by a more recent version of Kinkmark (Version "
               "= 5.000).  In order to open this file you will need to upgrade "
               "your version of Kinkmark.");
  EXPECT_STREQ(e.GetSource(), "Error");

  // 4.9004 prints as 4.900: the same version.
  PatchVersion(sPath, 4.9004);
  EXPECT_EQ(kmCalcHandler(sPath.c_str(), nullptr).GetNumCohortRecords(), 6);

  // A session block of a newer program is refused by the session itself.
  WriteWholeFile(sPath, 2, true);
  std::string bytes = km_test::ReadAll(sPath);
  const size_t iVersion = bytes.find("4.900");
  ASSERT_NE(iVersion, std::string::npos);
  bytes.replace(iVersion, 5, "5.100");
  km_test::WriteAll(sPath, bytes);
  e = CatchKmException([&] { kmCalcHandler reader(sPath.c_str(), nullptr); });
  EXPECT_NE(std::string(e.GetMessage()).find("more recent version"),
            std::string::npos);
  EXPECT_NE(std::string(e.GetCallPath()).find("Read() of kmCalcHandler"),
            std::string::npos);
}

}  // namespace
