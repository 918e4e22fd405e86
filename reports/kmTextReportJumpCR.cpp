// kmTextReport: jumpcrexport.txt, the jump and comparability-ratio
// statistics of the fitted models.
#include <cmath>

#include "foundation/KmCallPath.h"
#include "reports/kmExportEntries.h"
#include "reports/kmExportLine.h"
#include "reports/kmTextReport.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char* const kClassName = "kmTextReport";
// Standard errors smaller than this in size are written as 0.
const double kNegligibleSE = 1e-13;
// Results of this program version stored comparability ratios that are
// computed anew.
const double kRecomputeCRVersion = 4.4;

// The seven statistics of a jump or of a comparability ratio.
struct SevenStats {
  double dValue, dSE, dLower, dUpper;
  bool bSignificant;
  double dStat, dPValue;
};

SevenStats JumpStats(const kmTable& model) {
  return {model.GetJumpValue(),   model.GetJumpSE(),    model.GetJumpLowerCI(),
          model.GetJumpUpperCI(), model.GetJumpIsSig(), model.GetJumpStat(),
          model.GetJumpPValue()};
}

SevenStats CRStats(const kmTable& model) {
  return {model.GetComparabilityRatio(),   model.GetComparabilitySE(),
          model.GetComparabilityLowerCI(), model.GetComparabilityUpperCI(),
          model.GetComparabilityIsSig(),   model.GetComparabilityStat(),
          model.GetComparabilityPValue()};
}

void AddSevenStats(kmExportLine& line, const KmString& sFormat,
                   const SevenStats& s) {
  line.AddNumber(sFormat, s.dValue);
  line.AddNumber(sFormat, std::fabs(s.dSE) < kNegligibleSE ? 0.0 : s.dSE);
  line.AddNumber(sFormat, s.dLower);
  line.AddNumber(sFormat, s.dUpper);
  line.AddCell(s.bSignificant ? "1" : "0");
  line.AddNumber(sFormat, s.dStat);
  line.AddNumber(sFormat, s.dPValue);
}

// The seven comparability-ratio cells: the statistics of a log-linear
// model; missing-value cells for a linear one, which has no ratio.
void AddRatioStats(kmExportLine& line, const KmString& sFormat, bool bLogLinear,
                   const SevenStats& s) {
  if (bLogLinear) {
    AddSevenStats(line, sFormat, s);
  } else {
    line.AddMissing(7);
  }
}

}  // namespace

void kmTextReport::WriteJumpCRExportFile(const KmFileTarget& sPath,
                                         const DataExportOptions* pOptions) {
  WithCallPath("WriteJumpCRExportFile(const char*, const DataExportOptions*)",
               kClassName, [&] {
                 std::unique_ptr<KmIO_File> pFile =
                     OpenExportFile(sPath, kClassName);
                 WriteJumpCRHeader(pFile.get(), pOptions);
                 bSecondHeaderWritten_ = false;
                 const int32_t n = NumExportEntries(Handler());
                 for (int32_t i = 0; i < n; ++i) {
                   WriteTableReportJumpCR(pFile.get(), i, pOptions);
                 }
                 pFile->Close();
               });
}

void kmTextReport::WriteJumpCRHeader(KmIO_File* pFile,
                                     const DataExportOptions* pOptions,
                                     int32_t iGroups) {
  WithCallPath("WriteJumpCRHeader(const char *)", kClassName, [&] {
    kmExportLine line(RequireExportOptions(pOptions, kClassName));
    line.AddByVarHeaderCells(Session(), iGroups);
    for (const char* sTitle : {
             "Kinkmark",
             "Jump Location",
             "Jump Value",
             "Jump Standard Error",
             "Jump Lower CI",
             "Jump Upper CI",
             "Jump Statistically Significant (0=No  1=Yes)",
             "Jump Test Statistic (t)",
             "Jump Prob > |t|",
             "Comparability Ratio (CR)",
             "Comparability Ratio Standard Error of CR",
             "Comparability Ratio Lower CI",
             "Comparability Ratio Upper CI",
             "Comparability Ratio Statistically Significant (0=No  1=Yes)",
             "Comparability Ratio Test Statistic",
             "Comparability Ratio P-Value",
         }) {
      line.AddHeaderCell(sTitle);
    }
    line.Write(pFile);
  });
}

void kmTextReport::WriteTableReportJumpCR(KmIO_File* pFile, int32_t iRecord,
                                          const DataExportOptions* pOptions) {
  WithCallPath(
      "WriteTableReportJumpCR(KmIO_File *, int, const DataExportOptions*, "
      "bool)",
      kClassName, [&] {
        const DataExportOptions& options =
            RequireExportOptions(pOptions, kClassName);
        kmEntryRecords records(Handler(), iRecord);
        if (records.IsComparison() && !bSecondHeaderWritten_) {
          WriteJumpCRHeader(pFile, pOptions, 2);
          bSecondHeaderWritten_ = true;
        }
        const kmCalcData& record = records.Last();
        if (!record.bValid) return;
        auto writeModel = [&](int32_t m) {
          WriteJumpAndCRSegment(pFile, record.GetModel(m), pOptions, iRecord,
                                record.bJumpModel, record.bComparabilityRatio);
        };
        if (options.iModels == 0) {
          const int32_t nModels = static_cast<int32_t>(record.vModels.size());
          for (int32_t m = 0; m < nModels; ++m) writeModel(m);
        } else if (HasFinalModel(record)) {
          writeModel(record.uFinalSelectedModel -
                     Session().GetInt(kmOptMinKinkmarks));
        }
      });
}

void kmTextReport::WriteJumpAndCRSegment(KmIO_File* pFile, const kmTable& model,
                                         const DataExportOptions* pOptions,
                                         int32_t iRecord, bool bJump,
                                         bool bCR) {
  WithCallPath("WriteJumpAndCRSegment()", kClassName, [&] {
    const kmSession& session = Session();
    kmCalcHandler& handler = Handler();
    const KmString sFormat =
        PrecisionFormat(handler.GetIntDisplayOption(kmDispModelStatisticsPrec));
    kmExportLine line(RequireExportOptions(pOptions, kClassName));
    line.AddByVarCells(session, EntryByVarCodes(*handler.GetCombos(), iRecord));
    line.AddCell(KmString() << model.GetNumKinkmarks());
    line.AddNumber(sFormat, session.GetDouble(kmOptJumpLocation));
    const bool bLogLinear = session.GetBool(kmOptLogLinear);
    // Every cell without a value holds the missing-value text, so that the
    // statistics columns load as numbers.
    if (bCR) {
      line.AddMissing(7);
      SevenStats cr = CRStats(model);
      if (bLogLinear && std::fabs(session.GetProgramVersAsDouble() -
                                  kRecomputeCRVersion) < 1e-9) {
        kmTable recomputed(model);
        handler.CalculateComparabilityRatioCI(recomputed);
        cr = CRStats(recomputed);
      }
      AddRatioStats(line, sFormat, bLogLinear, cr);
    } else if (bJump) {
      AddSevenStats(line, sFormat, JumpStats(model));
      AddRatioStats(line, sFormat, bLogLinear, CRStats(model));
    } else {
      // A standard analysis or a comparison has neither statistic.
      line.AddMissing(14);
    }
    line.Write(pFile);
  });
}
