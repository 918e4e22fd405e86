// Small runs, results files and golden-file checks for the writer tests.
#include "tests/reports/ReportsFixture.h"

#include <gtest/gtest.h>
#include <newmat.h>

#include <cstdlib>

#include "foundation/KmFormat.h"
#include "results/kmCombos.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"

namespace km_reports_test {

namespace {

KmFormat MakeFormat(const std::vector<const char*>& vLabels) {
  KmFormat format;
  format.SetDataType('I');
  for (size_t i = 0; i < vLabels.size(); ++i) {
    format.AddLine(std::to_string(i + 1).c_str(), vLabels[i], -1);
  }
  return format;
}

kmCombos MakeCombos(const RunSpec& spec) {
  kmCombos combos(spec.bSexByVar ? 2 : 1);
  const int nSex = spec.bSexByVar ? 2 : 1;
  for (int sex = 1; sex <= nSex; ++sex) {
    for (int area = 1; area <= spec.iAreaLevels; ++area) {
      combos.AddCombination(spec.bSexByVar ? KmVector<int>{sex, area}
                                           : KmVector<int>{area});
    }
  }
  return combos;
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
  kmSession session;
  session.SetVersion("V4.9.0.0");
  session.SetKMVarPosition(kmVarIndependent,
                           session.AddVariable(kmVariable("Year", 1, nullptr)));
  session.SetKMVarPosition(kmVarDependent,
                           session.AddVariable(kmVariable("Rate", 2, nullptr)));
  if (spec.bSexByVar) {
    const KmFormat sex = MakeFormat({"Male", "Female"});
    session.AddByVarPosition(session.AddVariable(kmVariable("Sex", 3, &sex)));
  }
  const KmFormat area = MakeFormat({"North", "South", "East"});
  session.AddByVarPosition(session.AddVariable(
      kmVariable("Area", 4, spec.bLabelledArea ? &area : nullptr)));
  session.SetInt(kmOptComparisonType, spec.bPairwise ? 1 : 0);
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
    KmVector<bool> vFlags;
    KmVector<KmString> vLabels;
    for (int c = 0; c < NumCohorts(spec); ++c) {
      vFlags.push_back(true);
      vLabels.push_back(KmString("cohort ") << c);
    }
    kmCombos combos = MakeCombos(spec);
    writer.SetValidCohorts(vFlags, vLabels);
    writer.SetupComparisonVector(spec.bPairwise ? spec.iAreaLevels : 0,
                                 &combos);
    writer.SetCombos(combos);
    writer.SetOutFile(sPath.c_str());
    writer.WriteSession();
    writer.WriteCombos();
    for (const kmCalcData& record : vCohorts) {
      writer.WriteCohortCalcData(&record);
    }
    for (const kmCalcData& record : vComparisons) {
      writer.GetCurrentCalcData() = record;
      writer.GetCurrentCalcData().bComparison = true;
      writer.WriteComparisonCalcData();
    }
    writer.WriteOffsets();
    writer.WriteNumericData();
    writer.CloseOutFile();
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

std::string WrittenBytes(const std::function<void(const char*)>& write) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("export.txt");
  write(sPath.c_str());
  return km_test::ReadAll(sPath);
}

std::vector<std::string> Lines(const std::string& sText) {
  std::vector<std::string> vLines;
  size_t iStart = 0;
  while (iStart < sText.size()) {
    size_t iEnd = sText.find('\n', iStart);
    if (iEnd == std::string::npos) iEnd = sText.size();
    vLines.push_back(sText.substr(iStart, iEnd - iStart));
    iStart = iEnd + 1;
  }
  return vLines;
}

std::vector<std::string> Cells(const std::string& sLine, char cDelimiter) {
  std::vector<std::string> vCells;
  size_t iStart = 0;
  for (;;) {
    const size_t iEnd = sLine.find(cDelimiter, iStart);
    vCells.push_back(sLine.substr(iStart, iEnd - iStart));
    if (iEnd == std::string::npos) break;
    iStart = iEnd + 1;
  }
  return vCells;
}

void ExpectGolden(const std::string& sName, const std::string& sActual) {
  const std::string sPath = std::string(KM_REPORTS_GOLDEN_DIR) + "/" + sName;
  if (std::getenv("KM_REGENERATE_GOLDEN") != nullptr) {
    km_test::WriteAll(sPath, sActual);
    return;
  }
  EXPECT_EQ(sActual, km_test::ReadAll(sPath)) << "golden file " << sPath;
  EXPECT_EQ(sActual.find('\0'), std::string::npos);
}

std::string GoldenCell(const std::string& sName, char cDelimiter, int iLine,
                       const std::string& sColumn) {
  const std::vector<std::string> vLines =
      Lines(km_test::ReadAll(std::string(KM_REPORTS_GOLDEN_DIR) + "/" + sName));
  if (iLine < 1 || iLine >= static_cast<int>(vLines.size())) return "<no line>";
  const std::vector<std::string> vHeader = Cells(vLines[0], cDelimiter);
  const std::vector<std::string> vRow = Cells(vLines[iLine], cDelimiter);
  for (size_t i = 0; i < vHeader.size() && i < vRow.size(); ++i) {
    if (vHeader[i] == sColumn) return vRow[i];
  }
  return "<no column>";
}

}  // namespace km_reports_test
