// kmTextReport: apcexport.txt, the APC of the segments of the fitted models.
#include "foundation/KmCallPath.h"
#include "reports/kmExportEntries.h"
#include "reports/kmExportLine.h"
#include "reports/kmTextReport.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"
#include "session/kmIntervalMethod.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char* const kClassName = "kmTextReport";
// The first file version that stores the APC tests.
const double kFirstVersionWithTests = 4.05;

// A header line: iGroups times the by-variable names, then the fixed
// titles; cUnit replaces the "A" of the four APC titles.
void WriteAPCHeader(KmIO_File* pFile, const kmSession& session,
                    const DataExportOptions& options, int32_t iGroups,
                    char cUnit) {
  kmExportLine line(options);
  line.AddByVarHeaderCells(session, iGroups);
  for (const char* sTitle :
       {"Model", "Segment", "Segment Start", "Segment End"}) {
    line.AddHeaderCell(sTitle);
  }
  for (const char* sSuffix :
       {"PC", "PC 95% LCL", "PC 95% UCL", "PC Significant"}) {
    line.AddHeaderCell(KmString() << cUnit << sSuffix);
  }
  line.AddHeaderCell("Test Statistic");
  line.AddHeaderCell("P-Value");
  line.Write(pFile);
}

}  // namespace

void kmTextReport::WriteAPCExportFile(const KmFileTarget& sPath,
                                      const DataExportOptions* pOptions,
                                      bool bAllSegments) {
  WithCallPath("WriteAPCExportFile(const char*, const DataExportOptions*)",
               kClassName, [&] {
                 std::unique_ptr<KmIO_File> pFile =
                     OpenExportFile(sPath, kClassName);
                 WriteAPCExportFile(pFile.get(), pOptions, bAllSegments);
                 pFile->Close();
               });
}

void kmTextReport::WriteAPCExportFile(KmIO_File* pFile,
                                      const DataExportOptions* pOptions,
                                      bool bAllSegments) {
  WithCallPath(
      "WriteAPCExportFile(KmIO_File*, const DataExportOptions*)", kClassName,
      [&] {
        const kmSession& session = Session();
        const DataExportOptions& options =
            RequireExportOptions(pOptions, kClassName);
        // A run without records gets its header and no rows.
        WriteAPCHeader(pFile, session, options, 1, RateUnitLetter(session));
        bSecondHeaderWritten_ = false;
        const int32_t n = NumExportEntries(Handler());
        for (int32_t e = 0; e < n; ++e) {
          kmEntryRecords records(Handler(), e);
          if (records.IsComparison() && !bSecondHeaderWritten_) {
            WriteAPCHeader(pFile, session, options, 2, 'A');
            bSecondHeaderWritten_ = true;
          }
          const kmCalcData& record = records.Last();
          auto writeModel = [&](int32_t m) {
            const int32_t nSegments = record.GetModel(m).GetNumLineSegments();
            for (int32_t s = bAllSegments || nSegments == 0 ? 0 : nSegments - 1;
                 s < nSegments; ++s) {
              WriteAPCSegment(pFile, record, m, e, s, pOptions);
            }
          };
          if (options.iModels == 0) {
            const int32_t nModels = static_cast<int32_t>(record.vModels.size());
            for (int32_t m = 0; m < nModels; ++m) writeModel(m);
          } else if (record.bValid && HasFinalModel(record)) {
            writeModel(record.uFinalSelectedModel -
                       session.GetInt(kmOptMinKinkmarks));
          }
        }
      });
}

void kmTextReport::WriteAPCSegment(KmIO_File* pFile, const kmCalcData& record,
                                   int32_t iModel, int32_t iEntry,
                                   int32_t iSegment,
                                   const DataExportOptions* pOptions) {
  WithCallPath(
      "WriteAPCSegment(KmIO_File*,const kmTable&,int,int,const "
      "DataExportOptions*)",
      kClassName, [&] {
        const kmSession& session = Session();
        const kmCalcHandler& handler = Handler();
        const kmTable& model = record.GetModel(iModel);
        const kmLineSegment& seg = model.GetLineSegment(iSegment);
        const bool bShown = !IsModelMADWDExcluded(session, record, iModel);
        kmExportLine line(RequireExportOptions(pOptions, kClassName));
        line.AddByVarCells(session,
                           EntryByVarCodes(*handler.GetCombos(), iEntry));
        line.AddCell(KmString() << (bShown ? model.GetNumKinkmarks() : iModel));
        if (bShown) {
          line.AddNumber(kCountFormat, iSegment);
        } else {
          line.AddNotAvailable();
        }
        if (!session.GetBool(kmOptLogLinear)) {
          line.AddCell("");
          line.Write(pFile);
          return;
        }
        if (!bShown) {
          line.AddNotAvailable(8);
          line.Write(pFile);
          return;
        }
        // Segment ranges follow "aapc segment ranges precision", so a
        // kinkmark between observations (1864.424) keeps its decimals.
        const KmString sRange = PrecisionFormat(
            handler.GetIntDisplayOption(kmDispSegmentRangePrec));
        const KmString sAPC =
            PrecisionFormat(handler.GetIntDisplayOption(kmDispTrendAPCPrec));
        const KmString sPValue =
            PrecisionFormat(handler.GetIntDisplayOption(kmDispTrendPtPrec));
        const kmEstValue& apc = seg.apc;
        line.AddNumber(sRange, seg.range.dStart);
        line.AddNumber(sRange, seg.range.dEnd);
        line.AddNumber(sAPC, apc.dEstimate);
        if (apc.bComputed) {
          line.AddNumber(sAPC, apc.dLower);
          line.AddNumber(sAPC, apc.dUpper);
          line.AddCell(seg.IsSignificant() ? "1" : "0");
        } else {
          line.AddMissing(3);
        }
        // Empirical quantile intervals give no tests.
        if (session.Get<kmIntervalMethod>() ==
            kmIntervalMethod::kEmpiricalQuantile) {
          line.AddCell("--");
          line.AddCell("--");
        } else if (session.GetFileVersionAsDouble() >=
                   kFirstVersionWithTests - 1e-9) {
          line.AddNumber(sAPC, apc.dTestStat);
          line.AddNumber(sPValue, apc.dPValue);
        } else {
          line.AddMissing(2);
        }
        line.Write(pFile);
      });
}
