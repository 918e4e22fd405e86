// kmTextPermTest: selectionresultsexport.txt, the outcome of data-dependent
// selection for every entry.
#include <cmath>

#include "foundation/KmCallPath.h"
#include "reports/kmExportEntries.h"
#include "reports/kmExportLine.h"
#include "reports/kmTextPermTest.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"

namespace {

const char* const kClassName = "kmTextPermTest";
// The thresholds data-dependent selection compares the delta statistics
// with; a results file stores them with every record.
constexpr double kMaxDeltaThreshold = 10.0;
constexpr double kDiffDeltaThreshold = 200.0;
// Chosen-method codes.
constexpr int32_t kChoseBIC = 1;
constexpr int32_t kChoseBIC3 = 3;

// dThreshold truncated toward zero, as a header title's number; dDefault
// when dThreshold has no integer value.
int64_t ThresholdTitleValue(double dThreshold, double dDefault) {
  if (!(std::fabs(dThreshold) < 1e15)) dThreshold = dDefault;
  return static_cast<int64_t>(std::trunc(dThreshold));
}

}  // namespace

void kmTextPermTest::WriteSelectionResultsExportFile(
    const KmFileTarget& sPath, const DataExportOptions* pOptions) {
  WithCallPath(
      "WriteSelectionResultsExportFile(const char*, const "
      "DataExportOptions*)",
      kClassName, [&] {
        std::unique_ptr<KmIO_File> pFile = OpenExportFile(sPath, kClassName);
        WriteSelectionResultsExportFile(pFile.get(), pOptions);
        pFile->Close();
      });
}

void kmTextPermTest::WriteTableSelectionResultsHeader(
    KmIO_File* pFile, const DataExportOptions* pOptions) {
  WithCallPath(
      "WriteTableSelectionResultsHeader(KmIO_File*, DataExportOptions*",
      kClassName, [&] {
        const kmSession& session = Session();
        kmCalcHandler& handler = Handler();
        kmExportLine line(RequireExportOptions(pOptions, kClassName));
        // An invalid record never reached the selection and holds no
        // thresholds; a run without records still gets its header.
        double dMaxDelta = kMaxDeltaThreshold;
        double dDiffDelta = kDiffDeltaThreshold;
        const int32_t nEntries = NumExportEntries(handler);
        for (int32_t e = 0; e < nEntries; ++e) {
          const kmCalcData& record = handler.GetCalcData(e);
          if (record.bValid && HasFinalModel(record)) {
            dMaxDelta = record.dSelectionValues[2];
            dDiffDelta = record.dSelectionValues[3];
            break;
          }
        }
        line.AddByVarHeaderCells(session);
        line.AddHeaderCell("BIC Selected Model");
        line.AddHeaderCell("BIC3 Selected Model");
        line.AddHeaderCell("Delta BIC");
        line.AddHeaderCell("Delta BIC3");
        KmString sTitle;
        sTitle.printf("maxDelta <= %lld",
                      static_cast<long long>(
                          ThresholdTitleValue(dMaxDelta, kMaxDeltaThreshold)));
        line.AddHeaderCell(sTitle);
        sTitle.printf("diffDelta > %lld",
                      static_cast<long long>(ThresholdTitleValue(
                          dDiffDelta, kDiffDeltaThreshold)));
        line.AddHeaderCell(sTitle);
        line.AddHeaderCell("Chosen Method");
        line.AddHeaderCell("Final Selected Model");
        line.Write(pFile);
      });
}

void kmTextPermTest::AddSelectionWord(kmExportLine& line, int32_t iCode,
                                      const char* sWord) const {
  if (line.GetByVarFormat() == kByVarNumeric) {
    line.AddPrinted("%4d", iCode);
  } else if (sWord == nullptr) {
    line.AddMissing();
  } else {
    line.AddFormattedLabelCell(sWord);
  }
}

void kmTextPermTest::AddSelectionCells(kmExportLine& line,
                                       const kmCalcData& record) const {
  const double d1 = record.dSelectionValues[0];
  const double d2 = record.dSelectionValues[1];
  line.AddPrinted("%4d", record.uBICSelectedModel);
  line.AddPrinted("%4d", record.uBIC3SelectedModel);
  AddPaddedReal(line, d1);
  AddPaddedReal(line, d2);
  // Comparisons with a NaN are false, so a NaN answers no to both tests.
  const bool bNumbers = !std::isnan(d1) && !std::isnan(d2);
  const double dLarger = d1 > d2 ? d1 : d2;
  const double dSmaller = d1 > d2 ? d2 : d1;
  const bool bMaxDelta = bNumbers && dLarger <= record.dSelectionValues[2];
  const bool bDiffDelta =
      bNumbers && dLarger - dSmaller > record.dSelectionValues[3];
  AddSelectionWord(line, bMaxDelta ? 1 : 0, bMaxDelta ? "Yes" : "No");
  AddSelectionWord(line, bDiffDelta ? 1 : 0, bDiffDelta ? "Yes" : "No");
  const int32_t iMethod = record.lSelectionCriterion;
  AddSelectionWord(line, iMethod,
                   iMethod == kChoseBIC    ? "BIC"
                   : iMethod == kChoseBIC3 ? "BIC3"
                                           : nullptr);
  line.AddPrinted("%4d", record.uFinalSelectedModel);
}

void kmTextPermTest::WriteSelectionResultsExportFile(
    KmIO_File* pFile, const DataExportOptions* pOptions) {
  WithCallPath(
      "WriteSelectionResultsExportFile(KmIO_File*, const DataExportOptions*)",
      kClassName, [&] {
        const kmSession& session = Session();
        kmCalcHandler& handler = Handler();
        WriteTableSelectionResultsHeader(pFile, pOptions);
        const int32_t nEntries = NumExportEntries(handler);
        for (int32_t e = 0; e < nEntries; ++e) {
          const kmCalcData& record = handler.GetCalcData(e);
          kmExportLine line(RequireExportOptions(pOptions, kClassName));
          line.AddByVarCells(session, EntryByVarCodes(*handler.GetCombos(), e));
          if (!record.bValid || !HasFinalModel(record)) {
            line.AddMissing(8);
          } else if (IsModelMADWDExcluded(
                         session, record,
                         ModelIndexOfKinkmarks(session,
                                               record.uFinalSelectedModel))) {
            line.AddNotAvailable(8);
          } else {
            AddSelectionCells(line, record);
          }
          line.Write(pFile);
        }
      });
}
