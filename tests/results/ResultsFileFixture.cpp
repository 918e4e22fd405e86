// Sessions, records and whole results files for the handler tests.
#include "tests/results/ResultsFileFixture.h"

#include <gtest/gtest.h>
#include <newmat.h>

#include "foundation/KmIO_File.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"
#include "tests/test_util/TestUtil.h"

namespace km_results_test {

namespace {

KmFormat MakeFormat(std::vector<std::pair<const char*, const char*> > lines) {
  KmFormat format;
  format.SetDataType('I');
  for (const auto& line : lines) format.AddLine(line.first, line.second, -1);
  return format;
}

const int kLevels[] = {2, 3};  // Sex, Race

// The stored bytes of one model, to compare models whole.
std::string ModelBytes(const kmTable& model) {
  return BytesOf([&](KmIO_File* f) { model.Write(f); });
}

kmTable MakeModel(int iSeed, int iKinkmarks) {
  const double s = iSeed + 0.25 * iKinkmarks;
  kmTable model;
  model.SetBIC(-2.5 + s);
  model.SetCMSE(0.125 * (s + 1));
  model.SetSSE(3.75 + s);
  model.SetBIC3(-1.5 - s);
  model.SetJumpValue(0.5 * s);
  model.SetComparabilityRatio(1.0 + 0.01 * s);
  model.SetDF(static_cast<int16_t>(10 - iKinkmarks));
  model.SetNObs(static_cast<int16_t>(14 + iSeed));
  model.SetNParm(static_cast<int16_t>(2 + 2 * iKinkmarks));
  for (int k = 0; k < iKinkmarks; ++k) {
    model.AddKinkmark(2000.0 + s + k, 1998.0 + k, 2003.0 + k, true);
    model.AddSlopeDiff(-0.02 * s, 0.01, -2.0, 0.04, true);
  }
  KmVector<kmLineSegment> segments(static_cast<size_t>(iKinkmarks + 1));
  for (int i = 0; i <= iKinkmarks; ++i) {
    segments[i].SetSlope(0.01 * (i + 1) + s, 0.002, 5.0, 0.001, true);
    segments[i].SetAPC(1.5 + s, 0.5, 2.5, true, 3.25, 0.002);
    segments[i].SetRange(1990.0 + 5 * i, 1995.0 + 5 * i);
  }
  model.AddLineSegments(segments);
  model.AddAAPC(1990.0, 2005.0, 1.25 + s, 0.75, 1.75, 4.5, 0.0001);
  NEWMAT::Matrix mCovariance(2, 2);
  mCovariance << 0.5 + s << 0.25 << 0.25 << 0.75;
  model.SetCovariance(mCovariance);
  NEWMAT::Matrix mData(3, 2);
  mData << 1990 << 5.5 + s << 1991 << 5.75 << 1992 << 6.0;
  model.SetData(mData);
  model.SetMADWDPass(iSeed % 3 != 0);
  return model;
}

}  // namespace

std::string BytesOf(const std::function<void(KmIO_File*)>& write) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("part.bin");
  {
    KmIO_File file(sPath.c_str(), KmIO_File::kWrite);
    write(&file);
  }
  return km_test::ReadAll(sPath);
}

kmSession MakeSession(int iNumByVars, bool bPairwise) {
  kmSession session;
  session.SetVersion("V4.9.0.0");
  session.SetKMVarPosition(kmVarIndependent,
                           session.AddVariable(kmVariable("Year", 1, nullptr)));
  session.SetKMVarPosition(kmVarDependent,
                           session.AddVariable(kmVariable("Rate", 2, nullptr)));
  const KmFormat sex = MakeFormat({{"1", "M"}, {"2", "W"}});
  const KmFormat race =
      MakeFormat({{"1", "White"}, {"2", "Black"}, {"3", "Other"}});
  const KmFormat* formats[] = {&sex, &race};
  const char* names[] = {"Sex", "Race"};
  for (int j = 0; j < iNumByVars; ++j) {
    const int32_t iPos = session.AddVariable(kmVariable(
        names[j], static_cast<uint16_t>(session.GetNumVars() + 1), formats[j]));
    session.AddByVarPosition(iPos);
  }
  session.SetInt(kmOptComparisonType, bPairwise ? 1 : 0);
  return session;
}

int32_t NumCohorts(int iNumByVars) {
  int32_t n = 1;
  for (int j = 0; j < iNumByVars; ++j) n *= kLevels[j];
  return n;
}

int32_t GroupSize(int iNumByVars) {
  return iNumByVars == 0 ? 0 : kLevels[iNumByVars - 1];
}

kmCombos MakeCombos(int iNumByVars) {
  kmCombos combos(iNumByVars);
  if (iNumByVars == 0) return combos;
  for (int32_t c = 0; c < NumCohorts(iNumByVars); ++c) {
    KmVector<int> vValues(static_cast<size_t>(iNumByVars));
    int32_t iRest = c;
    for (int j = iNumByVars - 1; j >= 0; --j) {
      vValues[j] = iRest % kLevels[j] + 1;
      iRest /= kLevels[j];
    }
    combos.AddCombination(vValues);
  }
  return combos;
}

kmCalcData MakeRecord(int iSeed) {
  kmCalcData record;
  record.uFinalSelectedModel = static_cast<uint16_t>(iSeed % 2);
  record.dAutocorrelation = 0.125 * iSeed;
  record.vModels.push_back(MakeModel(iSeed, 0));
  record.vModels.push_back(MakeModel(iSeed, 1));
  kmFTest test(0, 1);
  test.dAlpha = 0.05;
  test.dF = 12.5 + iSeed;
  test.dPValue = 0.001;
  test.dPermPValue = 0.0125 * (iSeed + 1);
  test.lDenominatorDF = 10;
  test.lNumeratorDF = 2;
  test.lNumPermutations = 4499;
  record.vFTests.push_back(test);
  record.bValid = iSeed % 2 == 0;
  // The file stores the description; its display form is rebuilt on
  // reading, so even a valid record's is "** ".
  record.SetCohortBadDescription(record.bValid ? "" : "Too few observations.");
  record.SetCohortLabel(
      KmVector<KmString>{KmString("Level"), KmString("L") << iSeed});
  record.bJumpModel = iSeed % 3 == 1;
  record.bComparabilityRatio = iSeed % 3 == 2;
  record.bCohortData = iSeed % 2 == 1;
  record.lSelectionCriterion = iSeed % 2 == 0 ? 1 : 3;
  record.uBICSelectedModel = 1;
  record.uBIC3SelectedModel = 0;
  record.dSelectionValues[0] = 1.5 + iSeed;
  record.dSelectionValues[1] = 2.5;
  record.dSelectionValues[2] = 10.0;
  record.dSelectionValues[3] = 200.0;
  record.vVarCovRows = KmVector<KmVector<double> >{
      KmVector<double>{0.5 + iSeed, 0.125}, KmVector<double>{0.125, 0.75}};
  record.bMADWD = true;
  record.dMADWDPsi = 0.25 + iSeed;
  record.vMADWDValues =
      KmVector<KmVector<double> >{KmVector<double>{1, 2, 3, 4, 5, 6.0 + iSeed}};
  return record;
}

void ExpectSameRecord(const kmCalcData& actual, const kmCalcData& expected) {
  EXPECT_EQ(actual.uFinalSelectedModel, expected.uFinalSelectedModel);
  EXPECT_EQ(actual.dAutocorrelation, expected.dAutocorrelation);
  ASSERT_EQ(actual.vModels.size(), expected.vModels.size());
  for (size_t i = 0; i < actual.vModels.size(); ++i) {
    SCOPED_TRACE(i);
    const kmTable& a = actual.vModels[static_cast<int32_t>(i)];
    const kmTable& e = expected.vModels[static_cast<int32_t>(i)];
    EXPECT_EQ(a.GetBIC(), e.GetBIC());
    EXPECT_EQ(a.GetSSE(), e.GetSSE());
    EXPECT_EQ(a.GetNObs(), e.GetNObs());
    EXPECT_EQ(a.GetNumKinkmarks(), e.GetNumKinkmarks());
    EXPECT_EQ(ModelBytes(a), ModelBytes(e));
  }
  ASSERT_EQ(actual.vFTests.size(), expected.vFTests.size());
  for (size_t i = 0; i < actual.vFTests.size(); ++i) {
    const kmFTest& a = actual.vFTests[static_cast<int32_t>(i)];
    const kmFTest& e = expected.vFTests[static_cast<int32_t>(i)];
    EXPECT_EQ(a.dAlpha, e.dAlpha);
    EXPECT_EQ(a.dF, e.dF);
    EXPECT_EQ(a.dPermPValue, e.dPermPValue);
    EXPECT_EQ(a.lNumPermutations, e.lNumPermutations);
    EXPECT_EQ(a.uAltKinkmarks, e.uAltKinkmarks);
    EXPECT_EQ(a.uNullKinkmarks, e.uNullKinkmarks);
  }
  EXPECT_EQ(actual.bComparison, expected.bComparison);
  EXPECT_EQ(actual.bValid, expected.bValid);
  EXPECT_EQ(actual.sBadDescription, expected.sBadDescription);
  EXPECT_EQ(actual.sBadDescriptionDisplay, expected.sBadDescriptionDisplay);
  EXPECT_EQ(actual.vCohortLabel, expected.vCohortLabel);
  EXPECT_EQ(actual.bJumpModel, expected.bJumpModel);
  EXPECT_EQ(actual.bComparabilityRatio, expected.bComparabilityRatio);
  EXPECT_EQ(actual.bCohortData, expected.bCohortData);
  EXPECT_EQ(actual.lSelectionCriterion, expected.lSelectionCriterion);
  EXPECT_EQ(actual.uBICSelectedModel, expected.uBICSelectedModel);
  EXPECT_EQ(actual.uBIC3SelectedModel, expected.uBIC3SelectedModel);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(actual.dSelectionValues[i], expected.dSelectionValues[i]);
  }
  EXPECT_EQ(actual.vVarCovRows, expected.vVarCovRows);
  EXPECT_EQ(actual.bMADWD, expected.bMADWD);
  EXPECT_EQ(actual.dMADWDPsi, expected.dMADWDPsi);
  EXPECT_EQ(actual.vMADWDValues, expected.vMADWDValues);
}

void PrepareWriter(kmCalcHandler& handler, const std::string& sPath,
                   int iNumByVars) {
  const int32_t n = NumCohorts(iNumByVars);
  KmVector<bool> vFlags;
  KmVector<KmString> vLabels;
  for (int32_t c = 0; c < n; ++c) {
    vFlags.push_back(c % 2 == 0);
    vLabels.push_back(KmString("cohort ") << c);
  }
  kmCombos combos = MakeCombos(iNumByVars);
  handler.SetValidCohorts(vFlags, vLabels);
  handler.SetupComparisonVector(GroupSize(iNumByVars), &combos);
  handler.SetCombos(combos);
  handler.SetOutFile(sPath.c_str());
  handler.WriteSession();
  handler.WriteCombos();
}

WrittenFile WriteWholeFile(const std::string& sPath, int iNumByVars,
                           bool bPairwise) {
  kmSession session = MakeSession(iNumByVars, bPairwise);
  kmCalcHandler handler(&session);
  PrepareWriter(handler, sPath, iNumByVars);
  WrittenFile written;
  written.vFlags = handler.GetValidCohorts();
  written.vLabels = handler.GetCohortLabels();
  int iSeed = 0;
  for (int32_t c = 0; c < NumCohorts(iNumByVars); ++c) {
    written.vCohorts.push_back(MakeRecord(iSeed++));
    handler.WriteCohortCalcData(&written.vCohorts.back());
  }
  for (int32_t k = 0; k < handler.GetCombos()->GetNumComparisons(); ++k) {
    kmCalcData record = MakeRecord(iSeed++);
    record.bComparison = true;
    record.SetCohortLabel(KmVector<KmString>());
    written.vComparisons.push_back(record);
    handler.GetCurrentCalcData() = record;
    handler.WriteComparisonCalcData();
  }
  handler.WriteOffsets();
  handler.WriteNumericData();
  handler.CloseOutFile();
  return written;
}

std::vector<DamagedFile> DamagedFiles(const std::string& sPath) {
  const WrittenFile written = WriteWholeFile(sPath, 2, false);
  const std::string bytes = km_test::ReadAll(sPath);
  size_t lLast = 0;
  {
    kmCalcHandler reader(sPath.c_str(), nullptr);
    lLast = static_cast<size_t>(reader.GetCohortOffsets().back());
  }
  // The first model's data matrix: Int 2 columns, Int 3 rows, then 1990.0.
  const size_t iData = bytes.find(
      std::string("\x02\0\0\0\x03\0\0\0\0\0\0\0\0\x18\x9f\x40", 16), lLast);
  // The last record is invalid: its flags 0 (comparison), 0 (valid) come
  // right before its bad description.
  const std::string sText =
      written.vCohorts.back().sBadDescription.GetCString();
  const size_t iValid = bytes.find(std::string("\0\0", 2) + sText, lLast) + 1;
  std::vector<DamagedFile> files;
  for (int32_t iRows : {2147483647, 2147483646}) {
    std::string damaged = bytes;
    for (int i = 0; i < 8; ++i) {
      const uint32_t u = i < 4 ? 0u : static_cast<uint32_t>(iRows);
      damaged.at(iData + i) = static_cast<char>((u >> (8 * (i % 4))) & 0xFF);
    }
    files.push_back(
        {"data matrix of 0 columns x " + std::to_string(iRows) + " rows",
         damaged,
         "The KMO read process found a " + std::to_string(iRows) +
             " x 0 data matrix."});
  }
  // The byte before the flags: the text's first letter becomes the valid
  // flag.
  std::string deleted = bytes;
  deleted.erase(iValid - 2, 1);
  files.push_back({"byte deleted before the valid flag", deleted,
                   "The KMO read process found the valid flag of " +
                       std::to_string(static_cast<int>(sText[0])) +
                       ", outside 0 to 1."});
  return files;
}

}  // namespace km_results_test
