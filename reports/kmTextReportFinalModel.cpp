// kmTextReport: finalselectedmodelexport.txt, the number of kinkmarks of
// every record's final selected model.
#include "foundation/KmCallPath.h"
#include "reports/kmExportEntries.h"
#include "reports/kmExportLine.h"
#include "reports/kmTextReport.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {
const char* const kClassName = "kmTextReport";
}  // namespace

void kmTextReport::WriteFinalSelectedModelExportFile(
    const KmFileTarget& sPath, const DataExportOptions* pOptions) {
  WithCallPath(
      "WriteFinalSelectedModelExportFile(const char*, const "
      "DataExportOptions*, bool)",
      kClassName, [&] {
        std::unique_ptr<KmIO_File> pFile = OpenExportFile(sPath, kClassName);
        WriteTableExportFile(pFile.get(), pOptions);
        pFile->Close();
      });
}

void kmTextReport::WriteTableExportFile(KmIO_File* pFile,
                                        const DataExportOptions* pOptions) {
  WithCallPath(
      "WriteTableExportFile(KmIO_File*, const DataExportOptions*, bool)",
      kClassName, [&] {
        WriteFinalSelectedModelHeader(pFile, pOptions);
        bSecondHeaderWritten_ = false;
        const int32_t n = NumExportEntries(Handler());
        for (int32_t i = 0; i < n; ++i) {
          WriteFinalSelectedModelReport(pFile, i, pOptions);
        }
      });
}

void kmTextReport::WriteFinalSelectedModelHeader(
    KmIO_File* pFile, const DataExportOptions* pOptions, int32_t iGroups) {
  WithCallPath("WriteFinalSelectedModelHeader()", kClassName, [&] {
    kmExportLine line(RequireExportOptions(pOptions, kClassName));
    line.AddByVarHeaderCells(Session(), iGroups);
    line.AddHeaderCell("Model");
    line.Write(pFile);
  });
}

void kmTextReport::WriteFinalSelectedModelReport(
    KmIO_File* pFile, int32_t iRecord, const DataExportOptions* pOptions) {
  WithCallPath(
      "WriteFinalSelectedModelReport(KmIO_File*, int, const "
      "DataExportOptions)",
      kClassName, [&] {
        kmEntryRecords records(Handler(), iRecord);
        if (records.IsComparison() && !bSecondHeaderWritten_) {
          WriteFinalSelectedModelHeader(pFile, pOptions, 2);
          bSecondHeaderWritten_ = true;
        }
        const kmCalcData& record = records.Last();
        if (!record.bValid || !HasFinalModel(record)) return;
        const int32_t m =
            record.uFinalSelectedModel - Session().GetInt(kmOptMinKinkmarks);
        WriteFinalSelectedModelSegment(pFile, record.GetModel(m), iRecord,
                                       pOptions);
      });
}

void kmTextReport::WriteFinalSelectedModelSegment(
    KmIO_File* pFile, const kmTable& model, int32_t iRecord,
    const DataExportOptions* pOptions) {
  WithCallPath(
      "WriteFinalSelectedModelSegment(KmIO_File, const kmTable&, int, int, "
      "const DataExportOptions*",
      kClassName, [&] {
        kmExportLine line(RequireExportOptions(pOptions, kClassName));
        line.AddByVarCells(
            Session(), EntryByVarCodes(*Handler().GetCombos(), iRecord), true);
        line.AddCell(KmString() << model.GetNumKinkmarks());
        line.Write(pFile);
      });
}
