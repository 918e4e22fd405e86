// kmTextData: construction, the file, the column headers and the cell rules
// both layouts share (rows in kmTextDataOneColumn.cpp and
// kmTextDataSeparate.cpp).
#include "reports/kmTextData.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "reports/kmExportEntries.h"
#include "reports/kmExportLine.h"
#include "reports/kmTextDataLayout.h"
#include "reports/kmTextReport.h"
#include "results/kmCalcHandler.h"
#include "session/kmComparisonType.h"
#include "session/kmDelayType.h"
#include "session/kmDependentType.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char* const kClassName = "kmTextData";
// The first file version that stores standard errors in the data rows.
const double kFirstVersionWithSEs = 4.03;

KmString DataFormat(const char* sWidth, int32_t iPrecision) {
  KmString sFormat(sWidth);
  sFormat << (iPrecision < 0 ? 0 : iPrecision) << "f";
  return sFormat;
}

// The title of the observed values.
KmString DependentLabel(const kmSession& session) {
  if (session.Get<kmDelayType>() == kmDelayType::kDelay) {
    return session.GetKMVar(kmVarDelayRate).GetName();
  }
  if (session.GetBool(kmOptDependentCalculated)) {
    const char* sType = kmDependentTypeText(session.Get<kmDependentType>());
    return sType != nullptr ? sType : "";
  }
  return session.GetKMVar(kmVarDependent).GetName();
}

// What group g of a comparison's separate-columns row holds, for its
// titles: each cohort fitted alone, then the comparison's model at the
// first cohort's observations and, for a parallel comparison, at the
// second's. The by-variable columns name Cohort One first.
KmString ComparisonGroupName(int32_t g, int32_t nRecords, bool bParallel) {
  const int32_t iComparison = nRecords - 1;
  if (g < iComparison) return g == 0 ? "Cohort One" : "Cohort Two";
  KmString sName(bParallel ? "Parallel, " : "Coincident, ");
  sName << (g == iComparison ? "Cohort One" : "Cohort Two");
  return sName;
}

}  // namespace

kmTextDataLayout::kmTextDataLayout(const kmCalcHandler& handler,
                                   const kmSession& session,
                                   const DataExportOptions& options,
                                   bool bStandardErrorColumn)
    : bOneModelColumn(options.bAllModelsInSameColumn || options.iModels == 1),
      bByGroupHeaders(options.bOutputByGroupHeaders),
      bBestFitFlags(!options.bRemoveBestFitFlags &&
                    session.GetInt(kmOptNumPermutations) > 1),
      bKinkmarkFlags(!options.bRemoveKinkmarkFlags),
      bAPCColumn(handler.GetBoolDisplayOption(kmDispDataShowAPCs)),
      bStandardErrors(bStandardErrorColumn &&
                      handler.GetBoolDisplayOption(kmDispDataShowSEs)),
      iMinKinkmarks(session.GetInt(kmOptMinKinkmarks)),
      iMaxKinkmarks(session.GetInt(kmOptMaxKinkmarks)),
      bLogLinear(session.GetBool(kmOptLogLinear)),
      sXFormat(
          DataFormat("%20.", handler.GetIntDisplayOption(kmDispXValuesPrec))),
      sYFormat(
          DataFormat("%20.", handler.GetIntDisplayOption(kmDispYValuesPrec))),
      // APCs follow "apc precision" and standard errors "y values
      // precision", as in the other exports: the data export's own
      // precisions no option sets, and 2 decimals print small standard
      // errors as 0.00.
      sAPCFormat(
          DataFormat("%19.", handler.GetIntDisplayOption(kmDispTrendAPCPrec))),
      sSEFormat(
          DataFormat("%20.", handler.GetIntDisplayOption(kmDispYValuesPrec))) {}

bool PassKinkmark(const kmTable& model, double x, int32_t& iPassed) {
  if (iPassed >= model.GetNumKinkmarks()) return false;
  // The data row of a kinkmark holds the kinkmark's own estimate; allow for
  // the rounding of a value stored two ways.
  const double k = model.GetKinkmark(iPassed).dEstimate;
  if (std::fabs(x - k) > 1e-9 * std::max(1.0, std::fabs(k))) return false;
  ++iPassed;
  return true;
}

void AddSegmentAPCCell(kmExportLine& line, const kmTable& model,
                       int32_t iSegment, bool bSlope, const KmString& sFormat) {
  if (iSegment >= model.GetNumLineSegments()) {
    line.AddMissing();
    return;
  }
  const kmLineSegment& seg = model.GetLineSegment(iSegment);
  if (bSlope) {
    line.AddNumber(sFormat, seg.slope.dEstimate);
    return;
  }
  if (kmTextReport::IsMissingValue(seg.apc.dEstimate)) {
    line.AddMissing();
    return;
  }
  KmString sCell;
  kmTextReport::FormatTableValue(sCell, sFormat, KmString(), seg.apc.dEstimate);
  if (seg.IsSignificant()) sCell << "*";
  line.AddCell(sCell);
}

void AddKinkmarkFlagCell(kmExportLine& line, bool bShown, bool bKinkmarkRow,
                         int32_t iPassed) {
  if (!bShown) {
    line.AddNotAvailable();
  } else if (bKinkmarkRow) {
    line.AddCell(KmString("Kinkmark ") << iPassed);
  } else {
    line.AddMissing();
  }
}

void AddCodedWordCell(kmExportLine& line, int32_t iCode, const char* sWord) {
  if (line.GetByVarFormat() == kByVarNumeric) {
    line.AddCell(KmString() << iCode);
  } else {
    line.AddFormattedLabelCell(sWord);
  }
}

kmTextData::kmTextData(kmCalcHandler* pHandler)
    : pHandler_(pHandler), bStandardErrorColumn_(false) {
  const kmSession* pSession =
      pHandler == nullptr ? nullptr : pHandler->GetSession();
  if (pSession != nullptr) {
    // The models that read a standard error: given standard errors and
    // Poisson rates.
    const kmErrorModel model = pSession->Get<kmErrorModel>();
    KmString sVersion;
    pSession->GetString(kmStrFileVersion, sVersion);
    bStandardErrorColumn_ =
        model >= kmErrorModel::kStandardError &&
        model <= kmErrorModel::kPoissonRate &&
        std::atof(sVersion.GetCString()) >= kFirstVersionWithSEs - 1e-9;
  }
}

kmCalcHandler& kmTextData::Handler() const {
  if (pHandler_ == nullptr) {
    ThrowKmException("No results handler was given to the export writer.",
                     kClassName);
  }
  return *pHandler_;
}

const kmSession& kmTextData::Session() const {
  const kmSession* pSession = Handler().GetSession();
  if (pSession == nullptr) {
    ThrowKmException("The results handler holds no session.", kClassName);
  }
  return *pSession;
}

void kmTextData::Write(const KmFileTarget& sPath,
                       const DataExportOptions* pOptions) {
  WithCallPath("Write()", kClassName, [&] {
    const DataExportOptions& options =
        RequireExportOptions(pOptions, kClassName);
    std::unique_ptr<KmIO_File> pFile = OpenExportFile(sPath, kClassName);
    if (!options.bAllModelsInSameColumn && options.iModels != 1) {
      writeSeparateColumns(pFile.get(), pOptions);
    } else {
      writeOneModelColumn(pFile.get(), pOptions);
    }
    pFile->Close();
  });
}

void kmTextData::WriteColumnHeader(KmIO_File* pFile,
                                   const DataExportOptions* pOptions,
                                   int32_t iEntry, bool bComparisonColumn,
                                   bool bCohortColumn) {
  KmString sHeader;
  GetColumnHeader(pOptions, sHeader, iEntry, -1, bComparisonColumn,
                  bCohortColumn);
  pFile->WriteString(sHeader.GetCString(), false);
}

bool kmTextData::IsFirstComparisonHeader(bool bByGroupHeaders,
                                         const kmEntryRecords& records,
                                         bool& bWritten) {
  if (bByGroupHeaders || !records.IsComparison() || bWritten) return false;
  bWritten = true;
  return true;
}

const char* kmTextData::GetColumnHeader(const DataExportOptions* pOptions,
                                        KmString& sLine, int32_t iEntry,
                                        int32_t iModel, bool bComparisonColumn,
                                        bool bCohortColumn) {
  return WithCallPath("GetColumnHeader()", kClassName, [&]() -> const char* {
    const kmSession& session = Session();
    const DataExportOptions& options =
        RequireExportOptions(pOptions, kClassName);
    const kmTextDataLayout layout(Handler(), session, options,
                                  bStandardErrorColumn_);
    // The final selected model of each group (-1 for none).
    std::vector<int32_t> vFinal(1, -1);
    bool bComparison = false;
    int32_t nGroups = 1;
    int32_t nRecords = 1;
    const bool bParallel =
        session.Get<kmPairwiseType>() == kmPairwiseType::kParallel;
    if (iEntry < NumExportEntries(Handler())) {
      kmEntryRecords records(Handler(), iEntry);
      bComparison = records.Last().bComparison;
      nRecords = records.Size();
      // The rows of the one-model-column layout carry one group.
      if (records.IsComparison() && !layout.bOneModelColumn) {
        nGroups = records.Size() + (bParallel ? 1 : 0);
      }
      vFinal.assign(static_cast<size_t>(nGroups), -1);
      // A comparison's one group is its own record, whose final model the
      // block's title marks.
      for (int32_t i = 0; i < nGroups; ++i) {
        const kmCalcData& r = nGroups == 1
                                  ? records.Last()
                                  : records.At(std::min(i, records.Size() - 1));
        if (HasFinalModel(r))
          vFinal[static_cast<size_t>(i)] = r.uFinalSelectedModel;
      }
    }
    kmExportLine line(options);
    if (bComparisonColumn) line.AddHeaderCell("Comparison");
    line.AddByVarHeaderCells(session, bComparison ? 2 : 1);
    if (bCohortColumn) line.AddHeaderCell("Cohort ID");
    line.AddHeaderCell(session.GetKMVar(kmVarIndependent).GetName());
    const KmString sDependent = DependentLabel(session);
    for (int32_t g = 0; g < nGroups; ++g) {
      const int32_t iFinal = vFinal[static_cast<size_t>(g)];
      // A comparison's groups repeat the same titles: each names its group.
      KmString sGroup;
      if (nGroups > 1) {
        sGroup << " (" << ComparisonGroupName(g, nRecords, bParallel) << ")";
      }
      auto addTitle = [&](KmString sTitle) {
        line.AddHeaderCell(sTitle << sGroup);
      };
      addTitle(sDependent);
      auto addModelTitles = [&](int32_t k, bool bMark) {
        KmString sKM("KM");
        sKM << k;
        if (bMark && layout.bBestFitFlags && k == iFinal) sKM << "^";
        addTitle(sKM);
        if (layout.bOneModelColumn && layout.bStandardErrors) {
          line.AddHeaderCell("Standard Error");
        }
        if (layout.bKinkmarkFlags) addTitle(KmString("Flag") << k);
        if (layout.bAPCColumn) {
          addTitle(KmString(layout.bLogLinear ? "APC" : "Slope") << k);
        }
      };
      if (!layout.bOneModelColumn) {
        for (int32_t k = layout.iMinKinkmarks; k <= layout.iMaxKinkmarks; ++k) {
          addModelTitles(k, layout.bByGroupHeaders);
        }
      } else if (layout.bByGroupHeaders) {
        addModelTitles(layout.iMinKinkmarks + std::max(0, iModel), true);
      } else {
        line.AddHeaderCell("Model");
        if (layout.bStandardErrors) line.AddHeaderCell("Standard Error");
        if (layout.bKinkmarkFlags) line.AddHeaderCell("Flag");
        if (layout.bAPCColumn) {
          line.AddHeaderCell(layout.bLogLinear ? "APC" : "Slope");
        }
        line.AddHeaderCell("Kinkmarks");
      }
    }
    if (!layout.bByGroupHeaders && layout.bBestFitFlags) {
      line.AddHeaderCell("Final Selected Model");
    }
    sLine << line.Finish();
    return sLine.GetCString();
  });
}
