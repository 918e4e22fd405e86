// The run file and the names of a run's files.
#include "driver/KmRunFiles.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "driver/ExportOptions.h"
#include "driver/InputFileValidation.h"
#include "driver/RunOptions.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmIniFile.h"

namespace {

// Replaces sName by the value of sKey when that is not empty.
void ReadName(const KmIniSection& section, const char* sKey, KmString& sName) {
  KmString sValue;
  section.GetString(sValue, sKey);
  if (!sValue.IsEmpty()) sName = sValue;
}

// An options file the run file names (sName not empty): it becomes the
// run's sFile once Validate accepts it, and bValid is set; a refused file
// throws the validation text with the source sSource.
void ValidateNamedOptions(const KmString& sName,
                          bool (*Validate)(const char*, KmString&),
                          const char* sSource, KmString& sFile, bool& bValid) {
  if (sName.IsEmpty()) return;
  sFile = sName;
  KmString sMessages;
  if (!Validate(sName.GetCString(), sMessages)) {
    throw KmException(sMessages.GetCString(), sSource);
  }
  bValid = true;
}

// Refuses a run whose run file names inputs that do not exist: every such
// file once, with the keys that name it, and the folder that relative names
// are read from (the folder the run was started in).
void CheckNamedInputsExist(const KmIniSection& section,
                           const KmString& sRunFile) {
  const char* const keys[] = {"Session File", "Data File", "Run Options File",
                              "Export Options File"};
  std::vector<std::string> vMissing;
  std::vector<std::string> vKeys;
  for (const char* sKey : keys) {
    KmString sName;
    section.GetString(sName, sKey);
    if (sName.IsEmpty() || KmIO_File::FileExists(sName.GetCString())) continue;
    const std::string sFile(sName.GetCString());
    size_t i = 0;
    while (i < vMissing.size() && vMissing[i] != sFile) ++i;
    if (i == vMissing.size()) {
      vMissing.push_back(sFile);
      vKeys.push_back(std::string("\"") + sKey + "\"");
    } else {
      vKeys[i] += std::string(", \"") + sKey + "\"";
    }
  }
  if (vMissing.empty()) return;
  std::error_code error;
  const std::string sFolder = std::filesystem::current_path(error).string();
  KmString sMessage;
  sMessage << "The run file \"" << sRunFile << "\" names "
           << (vMissing.size() == 1 ? "a file that does not exist"
                                    : "files that do not exist")
           << " (relative names are read from the folder \"" << sFolder.c_str()
           << "\"):\n";
  for (size_t i = 0; i < vMissing.size(); ++i) {
    sMessage << " " << vMissing[i].c_str() << " (" << vKeys[i].c_str()
             << ") was not found.\n";
  }
  throw KmException(sMessage.GetCString(), "ReadRunFile()",
                    KmException::kInputErrorKind);
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

KmString OutputSiblingName(const KmString& sOutputFile, const char* sSuffix) {
  KmString sName = DropLastChars(sOutputFile, 3);
  sName << sSuffix;
  return sName;
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
  KmString sRunOptions;
  KmString sExportOptions;
  // Every name is read before anything can fail, so that a failed run
  // clears the outputs of its own names and never one of its inputs.
  if (pSection != nullptr) {
    ReadName(*pSection, "Session File", files.sSessionFile);
    KmString sData;
    ReadName(*pSection, "Data File", sData);
    files.bDataFileNamed = !sData.IsEmpty();
    if (files.bDataFileNamed) files.sDataFile = sData;
    ReadName(*pSection, "Run Options File", sRunOptions);
    ReadName(*pSection, "Export Options File", sExportOptions);
    ReadName(*pSection, "Output File", files.sOutputFile);
  }
  if (files.sDataFile.EndsWith(".kmo")) {
    files.bExportOnly = true;
    files.sOutputFile = files.sDataFile;
  }
  if (pSection != nullptr) {
    KmString sMessages;
    if (!ValidateRunFileKeys(*pSection, sMessages)) {
      throw KmException(sMessages.GetCString(), "ValidateRunFile()");
    }
    CheckNamedInputsExist(*pSection, files.sRunFile);
  }
  ValidateNamedOptions(sRunOptions, ValidateRunOptions, "ValidateRunOptions()",
                       files.sRunOptionsFile, files.bRunOptions);
  ValidateNamedOptions(sExportOptions, ValidateExportOptions,
                       "ValidateExportOptions()", files.sExportOptionsFile,
                       files.bExportOptions);
  KmString sMessages;
  if (!files.bExportOnly && files.sSessionFile.EndsWith(".ini") &&
      !ValidateSessionParameters(files.sSessionFile.GetCString(), sMessages)) {
    throw KmException(sMessages.GetCString(), "ValidateSessionParameters()");
  }
}

bool IsRunInput(const KmRunFiles& files, const KmString& sSessionDataFile,
                const KmString& sName) {
  const KmString* inputs[] = {
      &files.sRunFile,   &files.sSessionFile,    &files.sDataFile,
      &sSessionDataFile, &files.sRunOptionsFile, &files.sExportOptionsFile};
  for (const KmString* pInput : inputs) {
    if (!pInput->IsEmpty() && SameFile(sName, *pInput)) return true;
  }
  return false;
}

void CheckOutputIsNotInput(const KmRunFiles& files,
                           const KmString& sSessionDataFile) {
  if (KmIO_File::IsSpecialFile(files.sOutputFile.GetCString())) {
    KmString sMessage;
    sMessage << "The output file \"" << files.sOutputFile
             << "\" is not a regular file (a device, a pipe or a folder); "
                "name a file as \"Output File\" in the run file.";
    throw KmException(sMessage.GetCString(), "main");
  }
  if (IsRunInput(files, sSessionDataFile, files.sOutputFile)) {
    KmString sMessage;
    sMessage << "The output file \"" << files.sOutputFile
             << "\" is also an input of the run; name another \"Output "
                "File\" in the run file.";
    throw KmException(sMessage.GetCString(), "main");
  }
}
