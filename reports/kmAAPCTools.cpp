// kmAAPCTools: aapcexport.txt (WriteAAPCExport, WriteAllAAPCsForModel).
// The range labels and ranges are in kmAAPCToolsRanges.cpp.
#include "reports/kmAAPCTools.h"

#include "foundation/KmCallPath.h"
#include "reports/kmAAPCRangeLabels.h"
#include "reports/kmExportEntries.h"
#include "reports/kmExportLine.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"
#include "session/kmIntervalMethod.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char* const kClassName = "kmAAPCTools";

kmCalcHandler& RequireHandler(kmCalcHandler* pHandler) {
  if (pHandler == nullptr) {
    ThrowKmException("No results handler was given to the export writer.",
                     kClassName);
  }
  return *pHandler;
}

const kmSession& RequireSession(const kmCalcHandler& handler) {
  const kmSession* pSession = handler.GetSession();
  if (pSession == nullptr) {
    ThrowKmException("The results handler holds no session.", kClassName);
  }
  return *pSession;
}

// A header line: one by-variable name per entry of vCodes (or per session
// by-variable), then the fixed titles; cUnit replaces the second letter of
// the four AAPC titles.
void WriteAAPCHeader(KmIO_File* pFile, const kmSession& session,
                     const DataExportOptions& options, int32_t nByVarCells,
                     char cUnit) {
  kmExportLine line(options);
  const int32_t nByVars = session.GetNumByVars();
  for (int32_t i = 0; i < nByVarCells && nByVars > 0; ++i) {
    line.AddHeaderCell(
        session.GetByVar(static_cast<int16_t>(i % nByVars)).GetName());
  }
  const KmString sAAPC = KmString("A") << cUnit << "PC";
  line.AddHeaderCell("Kinkmark Model");
  line.AddHeaderCell(KmString(sAAPC) << " Index");
  line.AddHeaderCell("Start Obs");
  line.AddHeaderCell("End Obs");
  line.AddHeaderCell(sAAPC);
  line.AddHeaderCell(KmString(sAAPC) << " C.I. Low");
  line.AddHeaderCell(KmString(sAAPC) << " C.I. High");
  line.AddHeaderCell("Statistically Significant (0=No  1=Yes)");
  line.AddHeaderCell("Test Statistic");
  line.AddHeaderCell("P-Value");
  line.Write(pFile);
}

// The cells of one AAPC after its range: estimate, limits, significance and
// tests; "-" for a hidden model. A linear model's slopes are changes of the
// value itself: no percent change follows from them alone, so its six cells
// hold the missing-value text.
void AddAAPCValueCells(kmExportLine& line, const kmAAPCValue& value,
                       bool bShown, bool bLogLinear, bool bQuantileMethod,
                       const KmString& sAAPC, const KmString& sPValue) {
  if (!value.bInRange) {
    line.AddMissing(6);
    return;
  }
  const kmEstValue& est = value.aapc;
  if (!bShown) {
    line.AddNotAvailable(6);
    return;
  }
  if (!bLogLinear) {
    line.AddMissing(6);
    return;
  }
  line.AddNumber(sAAPC, est.dEstimate);
  if (est.bComputed) {
    line.AddNumber(sAAPC, est.dLower);
    line.AddNumber(sAAPC, est.dUpper);
  } else {
    line.AddMissing(2);
  }
  const bool bSignificant = (est.dLower < 0.0 && est.dUpper < 0.0) ||
                            (est.dLower > 0.0 && est.dUpper > 0.0);
  line.AddCell(bSignificant ? "1" : "0");
  if (bQuantileMethod) {
    line.AddCell("--");
    line.AddCell("--");
  } else if (!est.bComputed) {
    line.AddMissing(2);
  } else {
    line.AddNumber(sAAPC, est.dTestStat);
    line.AddNumber(sPValue, est.dPValue);
  }
}

}  // namespace

void kmAAPCTools::WriteAAPCExportFile(kmCalcHandler* pHandler,
                                      const KmFileTarget& sPath,
                                      const DataExportOptions* pOptions) {
  WriteAAPCExport(pHandler, sPath, pOptions);
}

void kmAAPCTools::WriteAAPCExport(kmCalcHandler* pHandler,
                                  const KmFileTarget& sPath,
                                  const DataExportOptions* pOptions) {
  WithCallPath(
      "WriteAAPCExport(const char*, const DataExportOptions*)", kClassName,
      [&] {
        kmCalcHandler& handler = RequireHandler(pHandler);
        const kmSession& session = RequireSession(handler);
        const DataExportOptions& options =
            RequireExportOptions(pOptions, kClassName);
        std::unique_ptr<KmIO_File> pFile = OpenExportFile(sPath, kClassName);
        WriteAAPCHeader(pFile.get(), session, options, session.GetNumByVars(),
                        RateUnitLetter(session));
        bool bComparisonHeader = false;
        const int32_t n = NumExportEntries(handler);
        for (int32_t e = 0; e < n; ++e) {
          kmEntryRecords records(handler, e);
          if (records.IsComparison() && !bComparisonHeader) {
            const int32_t nCodes = static_cast<int32_t>(
                EntryByVarCodes(*handler.GetCombos(), e).size());
            WriteAAPCHeader(pFile.get(), session, options, nCodes, 'A');
            bComparisonHeader = true;
          }
          const kmCalcData& record = records.Last();
          // An invalid record has no models to write.
          if (!record.bValid) continue;
          if (options.iModels == 0) {
            const int32_t nModels = static_cast<int32_t>(record.vModels.size());
            for (int32_t m = 0; m < nModels; ++m) {
              WriteAllAAPCsForModel(pHandler, pFile.get(), record, e, m,
                                    pOptions);
            }
          } else if (HasFinalModel(record)) {
            WriteAllAAPCsForModel(
                pHandler, pFile.get(), record, e,
                record.uFinalSelectedModel - session.GetInt(kmOptMinKinkmarks),
                pOptions);
          }
        }
        pFile->Close();
      });
}

void kmAAPCTools::WriteAllAAPCsForModel(kmCalcHandler* pHandler,
                                        KmIO_File* pFile,
                                        const kmCalcData& record,
                                        int32_t iEntry, int32_t iModel,
                                        const DataExportOptions* pOptions) {
  WithCallPath(
      "WriteAllAAPCsForModel(KmIO_File*, int, int, const DataExportOptions*, "
      "kmTable*)",
      kClassName, [&] {
        kmCalcHandler& handler = RequireHandler(pHandler);
        const kmSession& session = RequireSession(handler);
        const DataExportOptions& options =
            RequireExportOptions(pOptions, kClassName);
        if (!record.bValid) return;
        const KmVector<int> vCodes =
            EntryByVarCodes(*handler.GetCombos(), iEntry);
        const bool bShown = !IsModelMADWDExcluded(session, record, iModel);
        kmTable model = record.GetModel(iModel);

        const kmIntervalMethod method = session.Get<kmIntervalMethod>();
        const bool bFinal = session.GetInt(kmOptMinKinkmarks) + iModel ==
                            static_cast<int32_t>(record.uFinalSelectedModel);
        // The comparison pass stores no AAPCs (it resamples nothing): its
        // models get parametric ones, as the models left out of the
        // resampling of the final model only.
        const bool bNotResampled =
            (session.GetBool(kmOptFSMOnly) && !bFinal) ||
            handler.GetCombos()->IsComparisonIndex(iEntry);
        if (method == kmIntervalMethod::kParametric ||
            method == kmIntervalMethod::kFirstLast) {
          model.ClearAAPCs();
          model.RunAAPCCalc(&session, -1);
        } else if (method == kmIntervalMethod::kEmpiricalQuantile &&
                   bNotResampled) {
          model.ClearAAPCs();
          model.RunAAPCCalc(
              &session, static_cast<int32_t>(kmIntervalMethod::kParametric));
        }

        const KmString sRange = PrecisionFormat(
            handler.GetIntDisplayOption(kmDispSegmentRangePrec));
        const KmString sAAPC =
            PrecisionFormat(handler.GetIntDisplayOption(kmDispAAPCPrec));
        const KmString sPValue =
            PrecisionFormat(handler.GetIntDisplayOption(kmDispTrendPValuePrec));
        const std::vector<kmAAPCRangeLabel> vSessionRanges = SessionAAPCRanges(
            session, model,
            handler.GetIntDisplayOption(kmDispSegmentRangePrec));
        const KmVector<kmAAPCValue> vValues = model.GetAAPCs();
        kmExportLine line(options);
        for (int32_t k = 0; k < static_cast<int32_t>(vValues.size()); ++k) {
          const kmAAPCValue& value = vValues[static_cast<size_t>(k)];
          line.AddByVarCells(session, vCodes);
          line.AddCell(KmString()
                       << session.GetInt(kmOptMinKinkmarks) + iModel);
          if (line.GetByVarFormat() == kByVarNumeric) {
            line.AddCell(KmString() << k);
          } else {
            line.AddFormattedLabelCell(LabelOfRange(
                vSessionRanges, k, value.range,
                handler.GetIntDisplayOption(kmDispSegmentRangePrec)));
          }
          line.AddNumber(sRange, value.range.dStart);
          line.AddNumber(sRange, value.range.dEnd);
          AddAAPCValueCells(
              line, value, bShown, session.GetBool(kmOptLogLinear),
              method == kmIntervalMethod::kEmpiricalQuantile, sAAPC, sPValue);
          line.Write(pFile);
        }
      });
}
