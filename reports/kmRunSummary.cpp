// WriteKinkmarkRunInfo and GetCreationTime.
#include "reports/kmRunSummary.h"

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"

namespace {

// Write, binary, truncated.
constexpr int32_t kWriteNewMode =
    KmIO_File::kWrite | KmIO_File::kShared | KmIO_File::kTruncate;
constexpr const char* kVersion = "V4.9.0.0";
constexpr int kBuildNumber = 1;

// Appends " <n> <unit>" for n >= 1: the singular for 1, else with "s".
void AppendPart(KmString& sText, int n, const char* sUnit, bool bLast) {
  if (n < 1) return;
  sText << n << " " << sUnit << (n == 1 ? "" : "s") << (bLast ? "" : ", ");
}

}  // namespace

void WriteRunSummaryText(const KmFileTarget& sFileName, int32_t iMode,
                         const char* sPurpose, const char* sSource,
                         const KmString& sText) {
  KmIO_File file(sFileName, iMode);
  if (!file.IsOpen()) {
    GenerateKmExceptionF(
        "Unable to open file \"%s\" for %s: %s.", sSource,
        sFileName.GetName() != nullptr ? sFileName.GetName() : "", sPurpose,
        file.GetErrorText().GetCString());
  }
  file.WriteString(sText.GetCString(), false);
  file.Close();
}

void GetCreationTime(KmString& sText, int iSeconds) {
  const int iDays = iSeconds / 86400;
  const int iHours = (iSeconds - iDays * 86400) / 3600;
  const int iRest = iSeconds - iDays * 86400 - iHours * 3600;
  sText.Clear();
  AppendPart(sText, iDays, "day", false);
  AppendPart(sText, iHours, "hour", false);
  AppendPart(sText, iRest / 60, "minute", false);
  AppendPart(sText, iRest % 60, "second", true);
  if (sText.EndsWith(", ")) sText.Truncate(sText.GetLength() - 2);
}

void WriteKinkmarkRunInfo(const KmFileTarget& sSummaryFile,
                          const char* sProgram, int iElapsedSeconds,
                          const char* sRunFile, const char* sSessionFile,
                          const char* sDataFile, const char* sRunOptionsFile,
                          const char* sExportOptionsFile,
                          const char* sOutputFile, KmString sLineDelimiter) {
  WithCallPath("WriteKinkmarkRunInfo()", "main", [&] {
    const KmString& D = sLineDelimiter;
    KmString sTime;
    GetCreationTime(sTime, iElapsedSeconds);
    KmString s("----------------------");
    s << D << "Kinkmark Version Info" << D << "----------------------";
    s << D << "Program Name = " << sProgram;
    s << D << "Program Version = " << kVersion << "." << kBuildNumber;
    s << D << "Execution Time = " << sTime;
    s << D << D << "-------------------" << D << "Kinkmark Run Files" << D
      << "-------------------";
    s << D << "Run File = " << sRunFile << D
      << "Session File = " << sSessionFile << D << "Data File = " << sDataFile
      << D << "Session Options File = " << sRunOptionsFile << D
      << "Output Options File = " << sExportOptionsFile << D
      << "Kinkmark Output File = " << sOutputFile;
    s << D << D << "-------------------------" << D
      << "Kinkmark Session Options" << D << "-------------------------";

    WriteRunSummaryText(sSummaryFile, kWriteNewMode, "writing", "KmIO_File", s);
  });
}
