// The run file and the names of a run's files.
#include "driver/KmRunFiles.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "driver/ExportOptions.h"
#include "driver/OptionValidation.h"
#include "driver/RunOptions.h"
#include "foundation/KmException.h"
#include "foundation/KmIniFile.h"

namespace {

// Replaces sName by the value of sKey when that is not empty.
void ReadName(const KmIniSection& section, const char* sKey, KmString& sName) {
  KmString sValue;
  section.GetString(sValue, sKey);
  if (!sValue.IsEmpty()) sName = sValue;
}

// A data file that is a results file (".kmo") is read back for its
// exports only and is also the output file.
void SetExportOnlyMode(KmRunFiles& files) {
  if (!files.sDataFile.EndsWith(".kmo")) return;
  files.bExportOnly = true;
  files.sOutputFile = files.sDataFile;
}

}  // namespace

bool SameFile(const KmString& a, const KmString& b) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path pathA(a.GetCString());
  const fs::path pathB(b.GetCString());
  if (fs::exists(pathA, error) && fs::exists(pathB, error)) {
    return fs::equivalent(pathA, pathB, error);
  }
  const fs::path canonicalA = fs::weakly_canonical(pathA, error);
  const fs::path canonicalB = fs::weakly_canonical(pathB, error);
  return !error && canonicalA == canonicalB;
}

KmString DropLastChars(const KmString& sName, int iCount) {
  KmString sResult(sName);
  if (sResult.GetLength() > iCount) {
    sResult.Truncate(static_cast<uint32_t>(sResult.GetLength() - iCount));
  }
  return sResult;
}

void SetDefaultRunFiles(KmRunFiles& files, const char* sProgram,
                        const char* sRunFile) {
  files.sProgram = sProgram;
  files.sRunFile = sRunFile;
  files.sSessionFile = sRunFile;
  files.sDataFile = sRunFile;
  files.sRunOptionsFile = sRunFile;
  files.sExportOptionsFile = sRunFile;
  files.sBase = DropLastChars(files.sRunFile, 4);
  files.sErrorFile = files.sBase;
  files.sErrorFile << ".ErrorFile.txt";
  files.sSavedSessionFile = files.sBase;
  files.sSavedSessionFile << ".kms";
  files.sOutputFile = files.sBase;
  files.sOutputFile << ".kmo";
}

void ReadRunFile(KmRunFiles& files) {
  const KmIniFile runFile(files.sRunFile.GetCString());
  const KmIniSection* pSection = runFile.GetSection("Kinkmark Input Files");
  if (pSection != nullptr) {
    ReadName(*pSection, "Session File", files.sSessionFile);
    ReadName(*pSection, "Data File", files.sDataFile);
    // The output names are known before an options file can fail, so that
    // a failed run clears the outputs of its own names.
    ReadName(*pSection, "Output File", files.sOutputFile);
    SetExportOnlyMode(files);
    KmString sName;
    pSection->GetString(sName, "Run Options File");
    if (!sName.IsEmpty()) {
      files.sRunOptionsFile = sName;
      if (!ValidateRunOptions(sName.GetCString())) {
        throw KmException(GetValidationText().GetCString(),
                          "ValidateRunOptions()");
      }
      files.bRunOptions = true;
    }
    pSection->GetString(sName, "Export Options File");
    if (!sName.IsEmpty()) {
      files.sExportOptionsFile = sName;
      if (!ValidateExportOptions(sName.GetCString())) {
        throw KmException(GetValidationText().GetCString(),
                          "ValidateExportOptions()");
      }
      files.bExportOptions = true;
    }
  }
  SetExportOnlyMode(files);
}

void CheckOutputIsNotInput(const KmRunFiles& files,
                           const KmString& sSessionDataFile) {
  const KmString* inputs[] = {
      &files.sRunFile,   &files.sSessionFile,    &files.sDataFile,
      &sSessionDataFile, &files.sRunOptionsFile, &files.sExportOptionsFile};
  for (const KmString* pInput : inputs) {
    if (!SameFile(files.sOutputFile, *pInput)) continue;
    KmString sMessage;
    sMessage << "The output file \"" << files.sOutputFile
             << "\" is also an input of the run; name another \"Output "
                "File\" in the run file.";
    throw KmException(sMessage.GetCString(), "main");
  }
}
