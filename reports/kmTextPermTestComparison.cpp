// kmTextPermTest: pairwise_comparison.txt, the permutation test of every
// pairwise comparison of two cohorts.
#include "foundation/KmCallPath.h"
#include "reports/kmExportEntries.h"
#include "reports/kmExportLine.h"
#include "reports/kmTextPermTest.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"
#include "session/kmComparisonType.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char* const kClassName = "kmTextPermTest";

// The label of cohort iCohort: the texts of its levels joined by " / ",
// bare (the line quotes it when it holds the field delimiter): the level
// codes with the "numeric" by-variable format, otherwise the value labels
// of the by-variables that have them and the codes of those that do not.
// A synthetic last by-variable (a cohort's delay and non-delay variants, or
// its jump, comparability-ratio and standard analyses) is named too: the
// comparisons of such a run pair one cohort's series, which only its level
// tells apart ("East / Delay" with "East / Non-Delay").
KmString CohortLabel(const kmSession& session, const kmCombos& combos,
                     int32_t iCohort, int32_t iByVarFormat) {
  const KmVector<int> vCodes = combos.GetCombination(iCohort);
  const int32_t n = session.GetNumByVars();
  KmString sLabel;
  for (int32_t j = 0; j < n && j < static_cast<int32_t>(vCodes.size()); ++j) {
    if (j > 0) sLabel << " / ";
    sLabel << ByVarLabelText(session, j, vCodes[j], iByVarFormat);
  }
  return sLabel;
}

}  // namespace

void kmTextPermTest::WriteComparisonExportFile(
    const KmFileTarget& sPath, const DataExportOptions* pOptions) {
  WithCallPath(
      "WriteComparisonExportFile(const char*, const DataExportOptions*)",
      kClassName, [&] {
        std::unique_ptr<KmIO_File> pFile = OpenExportFile(sPath, kClassName);
        WriteComparisonExportFile(pFile.get(), pOptions);
        pFile->Close();
      });
}

void kmTextPermTest::AppendComparisonRow(KmString& sRows, int32_t i, int32_t j,
                                         int32_t iBlockSize,
                                         const DataExportOptions& options) {
  kmEntryRecords records(Handler(), i, j % iBlockSize);
  const kmCalcData& comparison = records.Last();
  if (!comparison.bValid) return;
  const int32_t nTests = static_cast<int32_t>(comparison.vFTests.size());
  const kmFTest& test = comparison.GetFTest(nTests - 1);
  const kmSession& session = Session();
  const kmCombos& combos = *Handler().GetCombos();
  kmExportLine line(options);
  line.AddLabelCell(CohortLabel(session, combos, i, line.GetByVarFormat()));
  line.AddLabelCell(CohortLabel(session, combos, j, line.GetByVarFormat()));
  line.AddPrinted("%d Kinkmark(s) ", test.uNullKinkmarks);
  line.AddPrinted("%14d", test.lNumeratorDF);
  line.AddPrinted("%14d", test.lDenominatorDF);
  line.AddPrinted("%14d", test.lNumPermutations);
  line.AddPrinted("%14f", test.dPermPValue);
  line.AddPrinted("%14f", test.dAlpha);
  line.AddCell(comparison.IsComparisonParallel() ? "Failed to reject"
                                                 : "Rejected");
  sRows << line.Finish();
}

void kmTextPermTest::WriteComparisonExportFile(
    KmIO_File* pFile, const DataExportOptions* pOptions) {
  WithCallPath(
      "WriteComparisonExportFile(KmIO_File*, constDataExportOptions*)",
      kClassName, [&] {
        const DataExportOptions& options =
            RequireExportOptions(pOptions, kClassName);
        kmExportLine header(options);
        for (const char* sTitle :
             {"Cohort 1", "Cohort 2", "Kmax", "Numerator Degrees of Freedom",
              "Denominator Degrees of Freedom", "# of Permutations", "P-Value",
              "Significance Level"}) {
          header.AddHeaderCell(sTitle);
        }
        header.AddHeaderCell(Session().Get<kmPairwiseType>() ==
                                     kmPairwiseType::kCoincident
                                 ? "Coincidence"
                                 : "Parallelism");
        header.Write(pFile);

        // Cohorts form consecutive blocks of b; each cohort is paired with
        // every later cohort of its block that the file holds.
        const int32_t b = Handler().GetComparisonGroupSize();
        if (b <= 0) return;
        const int32_t nCohorts = Handler().GetCombos()->GetNumCombinations();
        KmString sRows;
        for (int32_t i = 0; i < nCohorts; ++i) {
          const int32_t iBlockEnd = i - i % b + b;
          for (int32_t j = i + 1; j < iBlockEnd && j < nCohorts; ++j) {
            AppendComparisonRow(sRows, i, j, b, options);
          }
        }
        pFile->WriteString(sRows.GetCString(), false);
      });
}
