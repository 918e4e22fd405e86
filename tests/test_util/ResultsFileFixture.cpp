// Sessions, records and whole results files for the results, comparison and
// export tests.
#include "tests/test_util/ResultsFileFixture.h"

#include <gtest/gtest.h>
#include <newmat.h>

#include <cstdlib>

#include "session/kmSessionOptionIds.h"
#include "tests/test_util/TestSession.h"

namespace km_test {

// ---- Any results file ----

kmSession ResultsSession(const std::vector<ByVariable>& vByVars,
                         bool bPairwise) {
  kmSession session;
  session.SetVersion("V4.9.0.0");
  AddVariables(session, {{"Year", kmVarIndependent}, {"Rate", kmVarDependent}});
  for (const ByVariable& by : vByVars) {
    const KmFormat format = LabelFormat(by.vLabels, 1, 'I');
    AddVariables(session,
                 {{by.sName, kNoRole, true,
                   by.vLabels.empty() ? nullptr : &format, by.iColumn}});
  }
  session.SetInt(kmOptComparisonType, bPairwise ? 1 : 0);
  return session;
}

kmCombos AllCombinations(const std::vector<ByVariable>& vByVars) {
  const int nByVars = static_cast<int>(vByVars.size());
  kmCombos combos(nByVars);
  if (nByVars == 0) return combos;
  int nCohorts = 1;
  for (const ByVariable& by : vByVars) nCohorts *= by.iLevels;
  for (int c = 0; c < nCohorts; ++c) {
    KmVector<int> vValues(static_cast<size_t>(nByVars));
    int iRest = c;
    for (int j = nByVars - 1; j >= 0; --j) {
      vValues[j] = iRest % vByVars[j].iLevels + 1;
      iRest /= vByVars[j].iLevels;
    }
    combos.AddCombination(vValues);
  }
  return combos;
}

void PrepareWriter(kmCalcHandler& handler, const std::string& sPath,
                   const kmCombos& combos, const std::vector<bool>& vValid,
                   int iGroupSize) {
  KmVector<bool> vFlags;
  KmVector<KmString> vLabels;
  for (size_t c = 0; c < vValid.size(); ++c) {
    vFlags.push_back(vValid[c]);
    vLabels.push_back(KmString("cohort ") << static_cast<int>(c));
  }
  kmCombos copy = combos;
  handler.SetValidCohorts(vFlags, vLabels);
  handler.SetupComparisonVector(iGroupSize, &copy);
  handler.SetCombos(copy);
  handler.SetOutFile(sPath.c_str());
  handler.WriteSession();
  handler.WriteCombos();
}

void FinishFile(kmCalcHandler& handler, const std::vector<kmCalcData>& vCohorts,
                const std::vector<kmCalcData>& vComparisons) {
  for (const kmCalcData& record : vCohorts) {
    handler.WriteCohortCalcData(&record);
  }
  for (const kmCalcData& record : vComparisons) {
    handler.GetCurrentCalcData() = record;
    handler.GetCurrentCalcData().bComparison = true;
    handler.WriteComparisonCalcData();
  }
  handler.WriteOffsets();
  handler.WriteNumericData();
  handler.CloseOutFile();
}

std::string BytesOf(const std::function<void(KmIO_File*)>& write) {
  return WrittenBytes([&](const char* sPath) {
    KmIO_File file(sPath, KmIO_File::kWrite);
    write(&file);
  });
}

// ---- The handler's own files ----

namespace {

// The by-variables of the handler's files, Sex then Race.
std::vector<ByVariable> HandlerByVars(int iNumByVars) {
  const std::vector<ByVariable> vAll = {
      {"Sex", {"M", "W"}, 2}, {"Race", {"White", "Black", "Other"}, 3}};
  return std::vector<ByVariable>(vAll.begin(), vAll.begin() + iNumByVars);
}

// The stored bytes of one model, to compare models whole.
std::string ModelBytes(const kmTable& model) {
  return BytesOf([&](KmIO_File* f) { model.Write(f); });
}

kmTable SeededModel(int iSeed, int iKinkmarks) {
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

kmSession MakeSession(int iNumByVars, bool bPairwise) {
  return ResultsSession(HandlerByVars(iNumByVars), bPairwise);
}

int32_t NumCohorts(int iNumByVars) {
  int32_t n = 1;
  for (const ByVariable& by : HandlerByVars(iNumByVars)) n *= by.iLevels;
  return n;
}

int32_t GroupSize(int iNumByVars) {
  return iNumByVars == 0 ? 0 : HandlerByVars(iNumByVars).back().iLevels;
}

kmCombos MakeCombos(int iNumByVars) {
  return AllCombinations(HandlerByVars(iNumByVars));
}

kmCalcData MakeRecord(int iSeed) {
  kmCalcData record;
  record.uFinalSelectedModel = static_cast<uint16_t>(iSeed % 2);
  record.dAutocorrelation = 0.125 * iSeed;
  record.vModels.push_back(SeededModel(iSeed, 0));
  record.vModels.push_back(SeededModel(iSeed, 1));
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
  std::vector<bool> vValid;
  for (int32_t c = 0; c < NumCohorts(iNumByVars); ++c) {
    vValid.push_back(c % 2 == 0);
  }
  PrepareWriter(handler, sPath, MakeCombos(iNumByVars), vValid,
                GroupSize(iNumByVars));
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
  }
  for (int32_t k = 0; k < handler.GetCombos()->GetNumComparisons(); ++k) {
    kmCalcData record = MakeRecord(iSeed++);
    record.bComparison = true;
    record.SetCohortLabel(KmVector<KmString>());
    written.vComparisons.push_back(record);
  }
  FinishFile(handler, written.vCohorts, written.vComparisons);
  return written;
}

std::vector<DamagedFile> DamagedFiles(const std::string& sPath) {
  const WrittenFile written = WriteWholeFile(sPath, 2, false);
  const std::string bytes = ReadAll(sPath);
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

// ---- Small runs for the export writers ----

namespace {

// The by-variables of a run: Sex (column 3) when asked for, then Area
// (column 4).
std::vector<ByVariable> RunByVars(const RunSpec& spec) {
  std::vector<ByVariable> vByVars;
  if (spec.bSexByVar) vByVars.push_back({"Sex", {"Male", "Female"}, 2, 3});
  ByVariable area{"Area", {"North", "South", "East"}, spec.iAreaLevels, 4};
  if (!spec.bLabelledArea) area.vLabels.clear();
  vByVars.push_back(area);
  return vByVars;
}

kmLineSegment MakeSegment(int s, double dSeed, bool bInterceptComputed) {
  kmLineSegment seg;
  seg.intercept.Set(1.5 + dSeed + s, 0.25, 6.0 + s, 0.0625, bInterceptComputed);
  seg.slope.Set(0.0125 * (s + 1), 0.005, 2.5, 0.015625, true);
  seg.apc.Set(1.25 * (s + 1) - 1.0, 0.5 * s - 0.75, 1.5 * s + 1.0, true,
              0.03125, 2.75);
  seg.range.Set(1990.0 + 5 * s, 1995.0 + 5 * s);
  return seg;
}

}  // namespace

kmTable MakeModel(int iKinkmarks, double dSeed) {
  const int k = iKinkmarks;
  kmTable model;
  model.SetNObs(20);
  model.SetNParm(static_cast<int16_t>(2 + 2 * k));
  model.SetDF(static_cast<int16_t>(18 - 2 * k));
  model.SetSSE(10.5 - k + dSeed);
  model.SetCMSE(0.625 + 0.125 * k);
  model.SetBIC(-1.25 - 0.5 * k + dSeed);
  model.SetBIC3(-2.5 + 0.25 * k);
  KmVector<kmLineSegment> vSegments, vParallel;
  for (int s = 0; s <= k; ++s) {
    vSegments.push_back(MakeSegment(s, dSeed, s < k));
    vParallel.push_back(MakeSegment(s, dSeed + 10.0, true));
  }
  model.AddLineSegments(vSegments);
  model.AddParallelLineSegments(vParallel);
  for (int j = 0; j < k; ++j) {
    model.AddKinkmark(1995.0 + 5 * j + 0.5, 1993.0 + 5 * j, 1997.0 + 5 * j,
                      j % 2 == 0);
    model.AddSlopeDiff(0.0125, 0.0078125, 1.6, 0.125, j % 2 == 1);
  }
  const int n = 2 * (k + 1);
  NEWMAT::Matrix mCovariance(n, n);
  for (int r = 1; r <= n; ++r) {
    for (int c = 1; c <= n; ++c) {
      mCovariance(r, c) = r == c ? 0.25 * r : 0.03125 * (r + c);
    }
  }
  model.SetCovariance(mCovariance);
  return model;
}

kmCalcData MakeRecord(int iMin, int iModels, int iFinal, double dSeed) {
  kmCalcData record;
  record.uFinalSelectedModel = static_cast<uint16_t>(iFinal);
  record.dAutocorrelation = 0.3125;
  for (int m = 0; m < iModels; ++m) {
    record.vModels.push_back(MakeModel(iMin + m, dSeed));
    if (m + 1 < iModels) {
      kmFTest test(static_cast<uint16_t>(iMin + m),
                   static_cast<uint16_t>(iMin + m + 1));
      test.dAlpha = 0.05 / (m + 1);
      test.dPermPValue = 0.0125 * (m + 1);
      test.lNumeratorDF = 2;
      test.lDenominatorDF = 16 - 2 * m;
      test.lNumPermutations = 4499;
      record.vFTests.push_back(test);
    }
  }
  // A stored label spares the handler labelling the record from value
  // formats, which an unlabelled by-variable does not have.
  record.SetCohortLabel(KmVector<KmString>{KmString("cohort")});
  record.lSelectionCriterion = 3;
  record.uBICSelectedModel = 1;
  record.uBIC3SelectedModel = static_cast<uint16_t>(iFinal);
  record.dSelectionValues[0] = 3.0;
  record.dSelectionValues[1] = 12.5;
  record.dSelectionValues[2] = 10.0;
  record.dSelectionValues[3] = 200.0;
  return record;
}

int NumCohorts(const RunSpec& spec) {
  return (spec.bSexByVar ? 2 : 1) * spec.iAreaLevels;
}

kmSession MakeSession(const RunSpec& spec) {
  kmSession session = ResultsSession(RunByVars(spec), spec.bPairwise);
  session.SetInt(kmOptPairwiseType, spec.iPairwiseType);
  session.SetInt(kmOptModelSelection, spec.iModelSelection);
  session.SetInt(kmOptMinKinkmarks, spec.iMinKinkmarks);
  session.SetInt(kmOptAutocorrErrors, spec.iAutocorrErrors);
  session.SetBool(kmOptMADWD, spec.bMADWD);
  if (spec.adjustSession) spec.adjustSession(session);
  return session;
}

ReportsRun::ReportsRun(const RunSpec& spec,
                       const std::vector<kmCalcData>& vCohorts,
                       const std::vector<kmCalcData>& vComparisons) {
  const std::string sPath = dir_.File("run.kmo");
  {
    kmSession session = MakeSession(spec);
    kmCalcHandler writer(&session);
    PrepareWriter(writer, sPath, AllCombinations(RunByVars(spec)),
                  std::vector<bool>(NumCohorts(spec), true),
                  spec.bPairwise ? spec.iAreaLevels : 0);
    FinishFile(writer, vCohorts, vComparisons);
  }
  pHandler_ = std::make_unique<kmCalcHandler>(sPath.c_str(), nullptr);
}

DataExportOptions MakeOptions(int iField, int iLine, int iMissing,
                              int iByVarFormat, int iModels) {
  DataExportOptions options;
  options.iModels = iModels;
  options.iLineDelimiter = iLine;
  options.iMissingCharacter = iMissing;
  options.iFieldDelimiter = iField;
  options.iByVarFormat = iByVarFormat;
  return options;
}

void ExpectGolden(const std::string& sName, const std::string& sActual) {
  const std::string sPath = DataPath("reports/" + sName);
  if (std::getenv("KM_REGENERATE_GOLDEN") != nullptr) {
    WriteAll(sPath, sActual);
    return;
  }
  EXPECT_EQ(sActual, ReadAll(sPath)) << "golden file " << sPath;
  EXPECT_EQ(sActual.find('\0'), std::string::npos);
}

std::string GoldenCell(const std::string& sName, char cDelimiter, int iLine,
                       const std::string& sColumn) {
  const std::vector<std::string> vLines =
      Lines(ReadAll(DataPath("reports/" + sName)));
  if (iLine < 1 || iLine >= static_cast<int>(vLines.size())) return "<no line>";
  const std::vector<std::string> vHeader = Cells(vLines[0], cDelimiter);
  const std::vector<std::string> vRow = Cells(vLines[iLine], cDelimiter);
  for (size_t i = 0; i < vHeader.size() && i < vRow.size(); ++i) {
    if (vHeader[i] == sColumn) return vRow[i];
  }
  return "<no column>";
}

}  // namespace km_test
