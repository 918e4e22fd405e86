// kmTextData: the separate-columns layout (one row per distinct independent
// value of an entry, one fitted-value column per model and cohort).
#include <algorithm>
#include <vector>

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

// The grid of one entry: its distinct independent values, and per grid row
// and column the value (kDataNoValue for none) and whether it is shown (a
// fitted value of a model the MADWD rule hides is not).
struct EntryGrid {
  std::vector<double> vX;
  int32_t nByVars = 0;  // by-variable columns (B)
  int32_t nModels = 0;  // model columns per group
  int32_t nGroups = 0;  // cohort groups
  std::vector<std::vector<double> > vValues;
  std::vector<std::vector<bool> > vShown;

  int32_t Width() const { return nByVars + 1 + nGroups * (nModels + 1); }
  // 0-based column of group g's observed values.
  int32_t ObservedColumn(int32_t g) const {
    return nByVars + 1 + g * (nModels + 1);
  }
};

std::vector<double> DistinctValues(const kmEntryRecords& records) {
  std::vector<double> vX;
  for (int32_t k = 0; k < records.Size(); ++k) {
    for (const kmTable& model : records.At(k).vModels) {
      const NEWMAT::Matrix& data = model.GetData();
      if (data.Ncols() < 1) continue;
      for (int32_t r = 1; r <= data.Nrows(); ++r) vX.push_back(data(r, 1));
    }
  }
  std::sort(vX.begin(), vX.end());
  vX.erase(std::unique(vX.begin(), vX.end()), vX.end());
  return vX;
}

// Walks the grid rows and the data rows of model from iFirstRow together,
// filling group g's observed column and the model's fitted column where the
// independent values agree; of data rows sharing one value the first is
// used.
void FillModel(EntryGrid& grid, const kmTable& model, int32_t g, int32_t m,
               int32_t iFirstRow, bool bShown) {
  const NEWMAT::Matrix& data = model.GetData();
  if (data.Ncols() < 1) return;
  const int32_t iObserved = grid.ObservedColumn(g);
  int32_t t = iFirstRow;
  for (size_t rho = 0; rho < grid.vX.size() && t <= data.Nrows(); ++rho) {
    if (data(t, 1) != grid.vX[rho]) continue;
    grid.vValues[rho][static_cast<size_t>(iObserved)] =
        data.Ncols() >= 2 ? data(t, 2) : kDataNoValue;
    const size_t iFitted = static_cast<size_t>(iObserved + 1 + m);
    grid.vValues[rho][iFitted] = data.Ncols() >= 3 ? data(t, 3) : kDataNoValue;
    grid.vShown[rho][iFitted] = bShown;
    // A jump stands on two rows of one independent value (the fit up to it
    // and from it); the grid row shows the first, as the one-model-column
    // layout's first row there, and the walk goes on after both.
    for (++t; t <= data.Nrows() && data(t, 1) == grid.vX[rho];) ++t;
  }
}

// The first data row of a comparison's second cohort (stacked after the
// first, where the independent value falls back); past the end when there
// is none.
int32_t SecondCohortRow(const kmTable& model) {
  const NEWMAT::Matrix& data = model.GetData();
  for (int32_t t = 2; t <= data.Nrows(); ++t) {
    if (data.Ncols() >= 1 && data(t, 1) < data(t - 1, 1)) return t;
  }
  return data.Nrows() + 1;
}

EntryGrid BuildGrid(const kmSession& session, const kmTextDataLayout& layout,
                    const kmEntryRecords& records,
                    const KmVector<int>& vCodes) {
  EntryGrid grid;
  grid.vX = DistinctValues(records);
  grid.nByVars = static_cast<int32_t>(vCodes.size());
  grid.nModels = std::max(0, layout.iMaxKinkmarks - layout.iMinKinkmarks + 1);
  const int32_t n = records.Size();
  const bool bParallel =
      n > 1 && session.Get<kmPairwiseType>() == kmPairwiseType::kParallel;
  grid.nGroups = n + (bParallel ? 1 : 0);
  const size_t W = static_cast<size_t>(grid.Width());
  grid.vValues.assign(grid.vX.size(), std::vector<double>(W, kDataNoValue));
  grid.vShown.assign(grid.vX.size(), std::vector<bool>(W, true));
  for (size_t rho = 0; rho < grid.vX.size(); ++rho) {
    for (int32_t i = 0; i < grid.nByVars; ++i) {
      grid.vValues[rho][static_cast<size_t>(i)] =
          vCodes[static_cast<size_t>(i)];
    }
    grid.vValues[rho][static_cast<size_t>(grid.nByVars)] = grid.vX[rho];
  }
  for (int32_t g = 0; g < grid.nGroups; ++g) {
    // The parallel comparison's extra group is the second cohort of the
    // comparison's own (last) record.
    const kmCalcData& record = records.At(std::min(g, n - 1));
    const int32_t nModels =
        std::min(grid.nModels, static_cast<int32_t>(record.vModels.size()));
    for (int32_t m = 0; m < nModels; ++m) {
      const kmTable& model = record.GetModel(m);
      FillModel(grid, model, g, m, g >= n ? SecondCohortRow(model) : 1,
                !IsModelMADWDExcluded(session, record, m));
    }
  }
  return grid;
}

// The flag and APC cells after model m's fitted column of group g.
void AddModelMarks(kmExportLine& line, const kmSession& session,
                   const kmTextDataLayout& layout, const kmCalcData& record,
                   int32_t m, double x, int32_t& iPassed) {
  if (!record.bValid || m >= static_cast<int32_t>(record.vModels.size())) {
    if (layout.bKinkmarkFlags) line.AddMissing();
    if (layout.bAPCColumn) line.AddMissing();
    return;
  }
  const bool bShown = !IsModelMADWDExcluded(session, record, m);
  const kmTable& model = record.GetModel(m);
  const bool bKinkmarkRow = bShown && PassKinkmark(model, x, iPassed);
  if (layout.bKinkmarkFlags) {
    AddKinkmarkFlagCell(line, bShown, bKinkmarkRow, iPassed);
  }
  if (layout.bAPCColumn) {
    if (!bShown || bKinkmarkRow) {
      line.AddUnavailable(1, bShown);
    } else {
      AddSegmentAPCCell(line, model, iPassed, !layout.bLogLinear,
                        layout.sAPCFormat);
    }
  }
}

// Grid row rho: the by-variable cells, the independent value, then per
// group its observed values and per model the fitted value with its marks,
// and the final selected model when asked for.
void WriteGridRow(kmExportLine& line, const kmSession& session,
                  const kmTextDataLayout& layout, const kmEntryRecords& records,
                  const EntryGrid& grid, size_t rho,
                  std::vector<std::vector<int32_t> >& vPassed) {
  const std::vector<double>& vRow = grid.vValues[rho];
  const int32_t nSessionByVars = session.GetNumByVars();
  for (int32_t c = 0; c < grid.Width(); ++c) {
    const double v = vRow[static_cast<size_t>(c)];
    if (c < grid.nByVars) {
      const int32_t iCode = static_cast<int32_t>(v);
      if (nSessionByVars == 0) {
        line.AddLabelCell(KmString() << iCode);
      } else {
        line.AddFormattedLabelCell(ByVarLabelText(
            session, c % nSessionByVars, iCode, line.GetByVarFormat()));
      }
      continue;
    }
    if (c == grid.nByVars) {
      line.AddNumber(layout.sXFormat, v);
      continue;
    }
    const int32_t iOffset = c - grid.ObservedColumn(0);
    const int32_t g = iOffset / (grid.nModels + 1);
    const int32_t m = iOffset % (grid.nModels + 1) - 1;
    const kmCalcData& record = records.At(std::min(g, records.Size() - 1));
    // A refused cohort, or a comparison that could not be computed, keeps
    // its observed values; it has no fitted ones.
    if (!record.bValid && m >= 0) {
      line.AddMissing();
    } else if (!grid.vShown[rho][static_cast<size_t>(c)]) {
      line.AddNotAvailable();
    } else if (v == kDataNoValue) {
      line.AddMissing();
    } else {
      line.AddNumber(layout.sYFormat, v);
    }
    if (m >= 0 && (layout.bKinkmarkFlags || layout.bAPCColumn)) {
      AddModelMarks(line, session, layout, record, m, grid.vX[rho],
                    vPassed[static_cast<size_t>(g)][static_cast<size_t>(m)]);
    }
  }
  if (!layout.bByGroupHeaders && layout.bBestFitFlags) {
    const kmCalcData& last = records.Last();
    if (!last.bValid || !HasFinalModel(last)) {
      line.AddMissing();
    } else {
      const int32_t iFinal = static_cast<int32_t>(last.uFinalSelectedModel);
      const int32_t iModel = std::max(0, iFinal - layout.iMinKinkmarks);
      if (IsModelMADWDExcluded(session, last, iModel)) {
        line.AddNotAvailable();
      } else {
        line.AddCell(KmString() << iFinal);
      }
    }
  }
}

}  // namespace

void kmTextData::writeSeparateColumns(KmIO_File* pFile,
                                      const DataExportOptions* pOptions) {
  WithCallPath("writeSeparateColumns()", kClassName, [&] {
    const kmSession& session = Session();
    const DataExportOptions& options =
        RequireExportOptions(pOptions, kClassName);
    const kmTextDataLayout layout(Handler(), session, options,
                                  bStandardErrorColumn_);
    if (!layout.bByGroupHeaders) {
      WriteColumnHeader(pFile, pOptions, 0, false, false);
    }
    const int32_t n = NumExportEntries(Handler());
    bool bComparisonHeaderWritten = false;
    for (int32_t e = 0; e < n; ++e) {
      kmEntryRecords records(Handler(), e);
      // Without headers per entry, the wider rows of the comparisons get a
      // header line of their own before the first of them.
      const bool bLeftOut =
          !records.Last().bValid && !options.bExportBadCohorts;
      if (IsFirstComparisonHeader(layout.bByGroupHeaders, records,
                                  bComparisonHeaderWritten) ||
          (layout.bByGroupHeaders && !bLeftOut)) {
        WriteColumnHeader(pFile, pOptions, e, false, false);
      }
      if (bLeftOut) continue;
      const KmVector<int> vCodes = EntryByVarCodes(*Handler().GetCombos(), e);
      const EntryGrid grid = BuildGrid(session, layout, records, vCodes);
      // Kinkmarks passed so far, per group and model.
      std::vector<std::vector<int32_t> > vPassed(
          static_cast<size_t>(grid.nGroups),
          std::vector<int32_t>(static_cast<size_t>(grid.nModels), 0));
      kmExportLine line(options);
      for (size_t rho = 0; rho < grid.vX.size(); ++rho) {
        WriteGridRow(line, session, layout, records, grid, rho, vPassed);
        line.Write(pFile);
      }
    }
  });
}
