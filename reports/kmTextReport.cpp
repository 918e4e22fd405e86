// kmTextReport: construction, the numeric cell, the export file, and the
// table and header of report.txt (rows in kmTextReportRows.cpp, the final
// selected model export in kmTextReportFinalModel.cpp).
#include "reports/kmTextReport.h"

#include <cmath>
#include <initializer_list>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "reports/kmExportEntries.h"
#include "reports/kmExportLine.h"
#include "results/kmCalcHandler.h"
#include "results/kmEstValue.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {
const char* const kClassName = "kmTextReport";
}  // namespace

kmTextReport::kmTextReport(kmCalcHandler* pHandler)
    : pHandler_(pHandler), bSecondHeaderWritten_(false) {}

kmTextReport::~kmTextReport() = default;

bool kmTextReport::IsMissingValue(double dValue) {
  return std::isinf(dValue) || dValue == kmEstValue::kUnset;
}

const char* kmTextReport::FormatTableValue(KmString& sOut,
                                           const KmString& sFormat,
                                           const KmString& sInfinity,
                                           double dValue) {
  if (IsMissingValue(dValue)) {
    sOut = sInfinity;
  } else {
    sOut.printf(sFormat.GetCString(), dValue);
    sOut.Trim();
  }
  return sOut.GetCString();
}

kmCalcHandler& kmTextReport::Handler() const {
  if (pHandler_ == nullptr) {
    ThrowKmException("No results handler was given to the export writer.",
                     kClassName);
  }
  return *pHandler_;
}

const kmSession& kmTextReport::Session() const {
  const kmSession* pSession = Handler().GetSession();
  if (pSession == nullptr) {
    ThrowKmException("The results handler holds no session.", kClassName);
  }
  return *pSession;
}

void kmTextReport::WriteExportFile(const KmFileTarget& sPath,
                                   const DataExportOptions* pOptions,
                                   bool bAllSegments) {
  WithCallPath("WriteExportFile(const char*, const DataExportOptions*, bool)",
               kClassName, [&] {
                 std::unique_ptr<KmIO_File> pFile =
                     OpenExportFile(sPath, kClassName);
                 WriteTableExportFile(pFile.get(), pOptions, bAllSegments);
                 pFile->Close();
               });
}

void kmTextReport::WriteTableExportFile(KmIO_File* pFile,
                                        const DataExportOptions* pOptions,
                                        bool bAllSegments) {
  WithCallPath(
      "WriteTableExportFile(KmIO_File*, const DataExportOptions*, bool)",
      kClassName, [&] {
        // Refuses unsupported delimiters before any byte is written.
        kmExportLine checked(RequireExportOptions(pOptions, kClassName));
        WriteTableHeader(pFile, pOptions, bAllSegments, 1);
        bSecondHeaderWritten_ = false;
        const int32_t n = NumExportEntries(Handler());
        for (int32_t i = 0; i < n; ++i) {
          WriteTableReportModels(pFile, i, pOptions, bAllSegments);
        }
      });
}

void kmTextReport::WriteTableHeader(KmIO_File* pFile,
                                    const DataExportOptions* pOptions,
                                    bool bAllSegments, int32_t iGroups) {
  WithCallPath(
      "WriteTableHeader(KmIO_File*, const DataExportOptions*, bool)",
      kClassName, [&] {
        const kmSession& session = Session();
        const kmCalcHandler& handler = Handler();
        kmExportLine line(RequireExportOptions(pOptions, kClassName));
        auto add = [&](std::initializer_list<const char*> titles) {
          for (const char* sTitle : titles) line.AddHeaderCell(sTitle);
        };
        line.AddByVarHeaderCells(session, iGroups);
        add({"Model"});
        if (handler.GetBoolDisplayOption(kmDispShowModelInfo)) {
          add({"#Obs", "#Param", "DF", "SSE", "MSE", "Auto Corr"});
        }
        add({"Segment"});
        if (handler.GetBoolDisplayOption(kmDispShowKinkmarks)) {
          add({"Kinkmark", "Kinkmark 95% LCL", "Kinkmark 95% UCL"});
        }
        if (bAllSegments && handler.GetBoolDisplayOption(kmDispShowAPCs) &&
            session.GetBool(kmOptLogLinear)) {
          add({"Segment Start", "Segment End", "APC", "APC 95% LCL",
               "APC 95% UCL", "APC Significant"});
        }
        if (handler.GetBoolDisplayOption(kmDispShowCoefficients)) {
          for (int32_t g = 0; g < iGroups; ++g) {
            add({"Intercept Estimate", "Intercept Std Error",
                 "Intercept Test Statistic", "Intercept P-Value"});
          }
          add({"Slope Estimate", "Slope Std Error", "Slope Test Statistic",
               "Slope P-Value", "SlopeChg Estimate", "SlopeChg Std Error",
               "SlopeChg Test Statistic", "SlopeChg P-Value"});
        }
        if (handler.GetBoolDisplayOption(kmDispShowCovariance)) {
          add({"Covar-Int vs Int", "Covar-Int vs Slope",
               "Covar-Slope vs Slope"});
        }
        if (handler.GetBoolDisplayOption(kmDispShowCorrelation)) {
          add({"Corr-Int vs Int", "Corr-Int vs Slope", "Corr-Slope vs Slope"});
        }
        line.Write(pFile);
      });
}
