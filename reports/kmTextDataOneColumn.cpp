// kmTextData: the one-model-column layout (every written model of an entry
// is a block of rows with its fitted values in one column).
#include <cmath>

#include "foundation/KmCallPath.h"
#include "reports/kmExportEntries.h"
#include "reports/kmExportLine.h"
#include "reports/kmTextData.h"
#include "reports/kmTextDataLayout.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"
#include "session/kmComparisonType.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char* const kClassName = "kmTextData";

// What the rows of one model share.
struct ModelBlock {
  const kmSession& session;
  const kmTextDataLayout& layout;
  const kmEntryRecords& records;
  const KmVector<int>& vCodes;
  int32_t iModel;
  bool bShown;
};

// The value of column c of a data row, or the no-value marker when the data
// has no such column.
double DataValue(const NEWMAT::Matrix& data, int32_t r, int32_t c) {
  return c <= data.Ncols() ? data(r, c) : kDataNoValue;
}

// The data cells of row r: x, observed, fitted and, with standard errors,
// the standard error. A row without an observed value (one drawn at a
// kinkmark between two observations) has no standard error either: the
// results keep the next observation's there, which is not this row's.
void AddDataCells(kmExportLine& line, const ModelBlock& b,
                  const NEWMAT::Matrix& data, int32_t r) {
  const kmTextDataLayout& layout = b.layout;
  const bool bValid = b.records.Last().bValid;
  const bool bObserved = DataValue(data, r, 2) != kDataNoValue;
  const int32_t nColumns = layout.bStandardErrors ? 4 : 3;
  for (int32_t c = 1; c <= nColumns; ++c) {
    const double v = DataValue(data, r, c);
    if (v == kDataNoValue || (c == 3 && !(bValid && b.bShown)) ||
        (c == 4 && !bObserved)) {
      line.AddUnavailable(1, b.bShown);
    } else if (c == 1) {
      line.AddNumber(layout.sXFormat, v);
    } else if (c <= 3) {
      line.AddNumber(layout.sYFormat, v);
    } else {
      line.AddNumber(layout.sSEFormat, v);
    }
  }
}

// Appends the rows of model b.iModel to sOut.
void AppendModelRows(KmString& sOut, const ModelBlock& b,
                     const DataExportOptions& options) {
  const kmTextDataLayout& layout = b.layout;
  const kmCalcData& record = b.records.Last();
  const kmTable& model = record.GetModel(b.iModel);
  const NEWMAT::Matrix& data = model.GetData();
  const bool bComparisonColumn =
      b.session.Get<kmComparisonType>() == kmComparisonType::kPairwise;
  const bool bTwoCohorts = b.records.IsComparison();
  const int32_t iComparisonCode =
      !bTwoCohorts
          ? 0
          : (b.session.Get<kmPairwiseType>() == kmPairwiseType::kParallel ? 1
                                                                          : 2);
  static const char* const kComparisonWords[] = {"No Comparison", "Parallel",
                                                 "Coincident"};
  // A comparison stacks its second cohort after its first: the cohort
  // changes where the independent value falls back, and its rows pass the
  // model's kinkmarks from the first again.
  int32_t iCohort = 0;
  double dPreviousX = std::trunc(data(1, 1));
  int32_t iPassed = 0;
  kmExportLine line(options);
  for (int32_t r = 1; r <= data.Nrows(); ++r) {
    const double x = data(r, 1);
    if (bComparisonColumn) {
      AddCodedWordCell(line, iComparisonCode,
                       kComparisonWords[iComparisonCode]);
    }
    line.AddByVarCells(b.session, b.vCodes);
    if (bTwoCohorts) {
      if (iCohort == 0 && std::trunc(x) < dPreviousX) {
        iCohort = 1;
        iPassed = 0;
      }
      dPreviousX = std::trunc(x);
      AddCodedWordCell(line, iCohort,
                       iCohort == 0 ? "Cohort One" : "Cohort Two");
    }
    AddDataCells(line, b, data, r);
    const bool bKinkmarkRow = b.bShown && PassKinkmark(model, x, iPassed);
    if (layout.bKinkmarkFlags) {
      AddKinkmarkFlagCell(line, b.bShown, bKinkmarkRow, iPassed);
    }
    if (layout.bAPCColumn) {
      if (!b.bShown || bKinkmarkRow || !record.bValid) {
        line.AddUnavailable(1, b.bShown);
      } else {
        AddSegmentAPCCell(line, model, iPassed, !layout.bLogLinear,
                          layout.sAPCFormat);
      }
    }
    if (!layout.bByGroupHeaders) {
      if (record.bValid) {
        line.AddCell(KmString() << layout.iMinKinkmarks + b.iModel);
      } else {
        line.AddMissing();
      }
      if (layout.bBestFitFlags) {
        if (!b.bShown) {
          line.AddNotAvailable();
        } else if (record.bValid && HasFinalModel(record)) {
          line.AddCell(KmString() << record.uFinalSelectedModel);
        } else {
          line.AddMissing();
        }
      }
    }
    sOut << line.Finish();
  }
}

}  // namespace

void kmTextData::writeOneModelColumn(KmIO_File* pFile,
                                     const DataExportOptions* pOptions) {
  WithCallPath("writeOneModelColumn()", kClassName, [&] {
    const kmSession& session = Session();
    const DataExportOptions& options =
        RequireExportOptions(pOptions, kClassName);
    const kmTextDataLayout layout(Handler(), session, options,
                                  bStandardErrorColumn_);
    const bool bComparisonType =
        session.Get<kmComparisonType>() == kmComparisonType::kPairwise;
    if (!layout.bByGroupHeaders) {
      WriteColumnHeader(pFile, pOptions, 0, bComparisonType, false);
    }
    const bool bPermutations = session.GetInt(kmOptNumPermutations) > 1;
    const int32_t n = NumExportEntries(Handler());
    bool bComparisonHeaderWritten = false;
    for (int32_t e = 0; e < n; ++e) {
      kmEntryRecords records(Handler(), e);
      // Comparison rows carry both cohorts' by-variables and the cohort
      // cell: without headers per block they get a header line of their
      // own before the first comparison.
      if (IsFirstComparisonHeader(layout.bByGroupHeaders, records,
                                  bComparisonHeaderWritten)) {
        WriteColumnHeader(pFile, pOptions, e, bComparisonType, true);
      }
      const kmCalcData& record = records.Last();
      if (!record.bValid && !options.bExportBadCohorts) continue;
      const KmVector<int> vCodes = EntryByVarCodes(*Handler().GetCombos(), e);
      const int32_t nModels = static_cast<int32_t>(record.vModels.size());
      for (int32_t m = 0; m < nModels; ++m) {
        const bool bFinal =
            bPermutations &&
            layout.iMinKinkmarks + m ==
                static_cast<int32_t>(record.uFinalSelectedModel);
        // "best fit" writes only the final model of a valid record.
        if (bPermutations && options.iModels == 1 && record.bValid && !bFinal) {
          continue;
        }
        // A model without data rows has nothing to write.
        const NEWMAT::Matrix& data = record.GetModel(m).GetData();
        if (data.Nrows() < 1 || data.Ncols() < 1) continue;
        KmString sOut;
        if (layout.bByGroupHeaders) {
          GetColumnHeader(pOptions, sOut, e, m, bComparisonType,
                          records.IsComparison());
        }
        const ModelBlock block{
            session, layout, records,
            vCodes,  m,      !IsModelMADWDExcluded(session, record, m)};
        AppendModelRows(sOut, block, options);
        pFile->WriteString(sOut.GetCString(), false);
      }
    }
  });
}
