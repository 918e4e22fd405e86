// kmTextReport: the rows of report.txt (WriteTableReportModels,
// WriteModelSegmentAndAPC).
#include <cstdlib>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "reports/kmExportEntries.h"
#include "reports/kmExportLine.h"
#include "reports/kmTextReport.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char* const kClassName = "kmTextReport";
const char* const kUncorrelated = "Uncorrelated";

// The display settings of one row: which groups are shown and the number
// formats (P3 kinkmark values, P4 coefficients, P10 segment ends, P14
// covariances, P16 correlations).
struct RowFormats {
  explicit RowFormats(const kmCalcHandler& handler)
      : bModelInfo(handler.GetBoolDisplayOption(kmDispShowModelInfo)),
        bKinkmarks(handler.GetBoolDisplayOption(kmDispShowKinkmarks)),
        bCoefficients(handler.GetBoolDisplayOption(kmDispShowCoefficients)),
        bAPCs(handler.GetBoolDisplayOption(kmDispShowAPCs)),
        bCovariance(handler.GetBoolDisplayOption(kmDispShowCovariance)),
        bCorrelation(handler.GetBoolDisplayOption(kmDispShowCorrelation)),
        sKinkmark(
            PrecisionFormat(handler.GetIntDisplayOption(kmDispKinkmarkPrec))),
        sEstimate(PrecisionFormat(
            handler.GetIntDisplayOption(kmDispCoefficientsPrec))),
        sRange(PrecisionFormat(
            handler.GetIntDisplayOption(kmDispSegmentRangePrec))),
        sCovariance(
            PrecisionFormat(handler.GetIntDisplayOption(kmDispCovariancePrec))),
        sCorrelation(PrecisionFormat(
            handler.GetIntDisplayOption(kmDispCorrelationPrec))) {}
  bool bModelInfo, bKinkmarks, bCoefficients, bAPCs, bCovariance, bCorrelation;
  KmString sKinkmark, sEstimate, sRange, sCovariance, sCorrelation;
};

// A shown value in sFormat, or "-" for a hidden model.
void AddShownNumber(kmExportLine& line, bool bShown, const KmString& sFormat,
                    double dValue) {
  if (bShown) {
    line.AddNumber(sFormat, dValue);
  } else {
    line.AddNotAvailable();
  }
}

// The estimate of a coefficient ("-" for a hidden model unless
// bEstimateAlways), then its standard error, test statistic and p-value
// when it was computed and the model is shown.
void AddCoefficient(kmExportLine& line, const kmBetaCoefficient& beta,
                    bool bShown, bool bEstimateAlways,
                    const KmString& sFormat) {
  AddShownNumber(line, bShown || bEstimateAlways, sFormat, beta.dEstimate);
  if (beta.bComputed && bShown) {
    line.AddNumber(sFormat, beta.dStdErr);
    line.AddNumber(sFormat, beta.dTestStat);
    line.AddNumber(sFormat, beta.dPValue);
  } else {
    line.AddUnavailable(3, bShown);
  }
}

void AddKinkmarkCells(kmExportLine& line, const kmTable& model, int32_t s,
                      bool bShown, const RowFormats& f) {
  if (s < 1 || !bShown) {
    line.AddUnavailable(3, bShown);
    return;
  }
  const kmEstValue& kinkmark = model.GetKinkmark(s - 1);
  line.AddNumber(f.sKinkmark, kinkmark.dEstimate);
  if (kinkmark.bComputed) {
    line.AddNumber(f.sKinkmark, kinkmark.dLower);
    line.AddNumber(f.sKinkmark, kinkmark.dUpper);
  } else {
    line.AddMissing(2);
  }
}

void AddAPCCells(kmExportLine& line, const kmLineSegment& seg, bool bShown,
                 const RowFormats& f) {
  AddShownNumber(line, bShown, f.sRange, seg.range.dStart);
  AddShownNumber(line, bShown, f.sRange, seg.range.dEnd);
  AddShownNumber(line, bShown, f.sEstimate, seg.apc.dEstimate);
  if (seg.apc.bComputed && bShown) {
    line.AddNumber(f.sEstimate, seg.apc.dLower);
    line.AddNumber(f.sEstimate, seg.apc.dUpper);
    line.AddCell(seg.IsSignificant() ? "1" : "0");
  } else {
    line.AddUnavailable(3, bShown);
  }
}

void AddSlopeChangeCells(kmExportLine& line, const kmTable& model, int32_t s,
                         bool bShown, const RowFormats& f) {
  if (s < 1 || !bShown) {
    line.AddUnavailable(4, bShown);
    return;
  }
  const kmBetaCoefficient& change = model.GetSlopeDiff(s - 1);
  line.AddNumber(f.sEstimate, change.dEstimate);
  if (change.bComputed) {
    line.AddNumber(f.sEstimate, change.dStdErr);
    line.AddNumber(f.sEstimate, change.dTestStat);
    line.AddNumber(f.sEstimate, change.dPValue);
  } else {
    line.AddMissing(3);
  }
}

// The variance of segment s's intercept, its covariance with the segment's
// slope and the variance of the slope, from a matrix over the segment
// coefficients as the model stores them: intercept and slope alternating
// per segment (intercept 0, slope 0, intercept 1, ...), so segment s is at
// 0-based rows and columns 2s and 2s + 1.
void AddMatrixCells(kmExportLine& line, const NEWMAT::Matrix& m, int32_t k,
                    int32_t s, const KmString& sFormat) {
  const int32_t iIntercept = 2 * s + 1;  // 1-based
  const int32_t iSlope = iIntercept + 1;
  if (m.Nrows() < iSlope || m.Ncols() < iSlope) {
    GenerateKmExceptionF(
        "The covariance matrix of a model with %d kinkmarks has %d rows and "
        "%d columns; %d are needed.",
        kClassName, k, m.Nrows(), m.Ncols(), iSlope);
  }
  line.AddNumber(sFormat, m(iIntercept, iIntercept));
  line.AddNumber(sFormat, m(iIntercept, iSlope));
  line.AddNumber(sFormat, m(iSlope, iSlope));
}

}  // namespace

void kmTextReport::WriteTableReportModels(KmIO_File* pFile, int32_t iRecord,
                                          const DataExportOptions* pOptions,
                                          bool bAllSegments) {
  WithCallPath(
      "WriteTableReportModels(KmIO_File*, int, const DataExportOptions)",
      kClassName, [&] {
        const kmSession& session = Session();
        const DataExportOptions& options =
            RequireExportOptions(pOptions, kClassName);
        kmEntryRecords records(Handler(), iRecord);
        if (records.IsComparison() && !bSecondHeaderWritten_) {
          WriteTableHeader(pFile, pOptions, bAllSegments, 2);
          bSecondHeaderWritten_ = true;
        }
        const kmCalcData& record = records.Last();
        if (!record.bValid) return;
        KmString sAutoCorr(kUncorrelated);
        if (session.Get<kmAutocorrErrors>() !=
            kmAutocorrErrors::kUncorrelated) {
          sAutoCorr.Clear();
          sAutoCorr << record.dAutocorrelation;
        }
        const bool bParallel = records.IsComparison();
        auto writeModel = [&](int32_t m) {
          const int32_t nSegments = record.GetModel(m).GetNumLineSegments();
          for (int32_t s = 0; s < nSegments; ++s) {
            WriteModelSegmentAndAPC(pFile, record, m, iRecord, s, pOptions,
                                    bAllSegments, sAutoCorr, bParallel);
          }
        };
        if (options.iModels == 0) {
          const int32_t nModels = static_cast<int32_t>(record.vModels.size());
          for (int32_t m = 0; m < nModels; ++m) writeModel(m);
        } else if (HasFinalModel(record)) {
          writeModel(record.uFinalSelectedModel -
                     session.GetInt(kmOptMinKinkmarks));
        }
      });
}

void kmTextReport::WriteModelSegmentAndAPC(
    KmIO_File* pFile, const kmCalcData& record, int32_t iModel, int32_t iRecord,
    int32_t iSegment, const DataExportOptions* pOptions, bool bAllSegments,
    const KmString& sAutoCorr, bool bParallel) {
  WithCallPath(
      "WriteModelSegmentAndAPC(KmIO_File*,const kmTable&,int,int,const "
      "DataExportOptions*)",
      kClassName, [&] {
        const kmSession& session = Session();
        const kmCalcHandler& handler = Handler();
        const RowFormats f(handler);
        const kmTable& model = record.GetModel(iModel);
        const int32_t k = model.GetNumKinkmarks();
        const int32_t s = iSegment;
        const kmLineSegment& seg = model.GetLineSegment(s);
        const bool bShown = !IsModelMADWDExcluded(session, record, iModel);
        kmExportLine line(RequireExportOptions(pOptions, kClassName));
        // A row refuses an unsupported missing-value code whether or not it
        // has a missing cell.
        line.GetMissingText();
        line.AddByVarCells(session,
                           EntryByVarCodes(*handler.GetCombos(), iRecord));
        line.AddCell(bShown ? KmString() << k : KmString("-"));
        if (f.bModelInfo) {
          line.AddNumber(kCountFormat, model.GetNObs());
          line.AddNumber(kCountFormat, model.GetNParm());
          line.AddNumber(kCountFormat, model.GetDF());
          AddShownNumber(line, bShown, f.sEstimate, model.GetSSE());
          // A fit without residual degrees of freedom has no mean square.
          AddShownNumber(
              line, bShown, f.sEstimate,
              model.GetDF() >= 1 ? model.GetCMSE() : kmEstValue::kUnset);
          if (sAutoCorr == kUncorrelated) {
            line.AddCell(sAutoCorr);
          } else {
            line.AddNumber(f.sEstimate,
                           std::strtod(sAutoCorr.GetCString(), nullptr));
          }
        }
        AddShownNumber(line, bShown, kCountFormat, s);
        if (f.bKinkmarks) AddKinkmarkCells(line, model, s, bShown, f);
        if (bAllSegments && f.bAPCs && session.GetBool(kmOptLogLinear)) {
          AddAPCCells(line, seg, bShown, f);
        }
        if (f.bCoefficients) {
          AddCoefficient(line, seg.intercept, bShown, false, f.sEstimate);
          // A coincidence comparison fits no parallel model: its cells
          // stay empty.
          if (bParallel && s < model.GetNumParallelLineSegments()) {
            AddCoefficient(line, model.GetParallelLineSegment(s).intercept,
                           bShown, true, f.sEstimate);
          } else if (bParallel) {
            line.AddUnavailable(4, bShown);
          }
          AddCoefficient(line, seg.slope, bShown, false, f.sEstimate);
          AddSlopeChangeCells(line, model, s, bShown, f);
        }
        const bool bMatrices = seg.slope.bComputed && bShown;
        if (f.bCovariance) {
          if (bMatrices) {
            AddMatrixCells(line, model.GetCovariance(), k, s, f.sCovariance);
          } else {
            line.AddUnavailable(3, bShown);
          }
        }
        if (f.bCorrelation) {
          if (bMatrices) {
            NEWMAT::Matrix mCorrelation;
            model.GetCorrelationMatrix(mCorrelation);
            AddMatrixCells(line, mCorrelation, k, s, f.sCorrelation);
          } else {
            line.AddUnavailable(3, bShown);
          }
        }
        line.Write(pFile);
      });
}
