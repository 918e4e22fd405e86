// The run file and the names of a run's files.
#include "driver/KmRunFiles.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "driver/ExportOptions.h"
#include "driver/InputFileValidation.h"
#include "driver/OptionValidation.h"
#include "driver/RunOptions.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmIniFile.h"
#include "session/kmSession.h"

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

// Why sName, a name that does not exist, is none: ": \"<name>\" is a file,
// ..." for a file's name written with a separator at its end, as a
// folder's; "" for any other.
std::string NotFoundReason(const std::string& sName) {
  std::string sBare = sName;
  while (sBare.size() > 1 && (sBare.back() == '/' || sBare.back() == '\\')) {
    sBare.pop_back();
  }
  if (sBare.size() == sName.size() || !KmIO_File::FileExists(sBare.c_str())) {
    return "";
  }
  const std::string sEnd = sName.substr(sBare.size(), 1);
  return ": \"" + sBare + "\" is a file, and a name that ends in \"" + sEnd +
         "\" names a folder; write it without the \"" + sEnd + "\"";
}

// The folder relative names are read from (the folder the run was started
// in).
std::string WorkingFolder() {
  std::error_code error;
  return std::filesystem::current_path(error).string();
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
  KmString sMessage;
  sMessage << "The run file \"" << sRunFile << "\" names "
           << (vMissing.size() == 1 ? "a file that does not exist"
                                    : "files that do not exist")
           << " (relative names are read from the folder \""
           << WorkingFolder().c_str() << "\"):\n";
  for (size_t i = 0; i < vMissing.size(); ++i) {
    sMessage << " " << vMissing[i].c_str() << " (" << vKeys[i].c_str()
             << ") was not found" << NotFoundReason(vMissing[i]).c_str()
             << ".\n";
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
  // weakly_canonical keeps a name relative when no leading part of it
  // exists ("run.lock"), so both are made absolute first ("./run.lock").
  const auto Canonical = [&error](const fs::path& path) {
    const fs::path absolute = fs::absolute(path, error);
    return error ? absolute : fs::weakly_canonical(absolute, error);
  };
  const fs::path canonicalA = Canonical(pathA);
  if (error) return false;
  const fs::path canonicalB = Canonical(pathB);
  return !error && canonicalA == canonicalB;
}

KmString DropLastChars(const KmString& sName, int iCount) {
  KmString sResult(sName);
  if (sResult.GetLength() > iCount) {
    sResult.Truncate(static_cast<uint32_t>(sResult.GetLength() - iCount));
  }
  return sResult;
}

KmString RunFileBase(const KmString& sRunFile) {
  const std::string sName(sRunFile.GetCString());
  const size_t iLength = sName.size();
  const bool bEnding =
      iLength > 4 && sName[iLength - 4] == '.' &&
      sName.find_first_of("/\\", iLength - 3) == std::string::npos;
  return bEnding ? DropLastChars(sRunFile, 4) : sRunFile;
}

bool IsDeviceOrPipe(const char* sRunFile) {
  std::error_code error;
  return KmIO_File::IsSpecialFile(sRunFile) &&
         !std::filesystem::is_directory(sRunFile, error);
}

void SetDefaultRunFiles(KmRunFiles& files, const char* sProgram,
                        const char* sRunFile) {
  files.sProgram = sProgram;
  files.sRunFile = sRunFile;
  files.sSessionFile = sRunFile;
  files.sDataFile = sRunFile;
  files.sRunOptionsFile = sRunFile;
  files.sExportOptionsFile = sRunFile;
  files.sBase = RunFileBase(files.sRunFile);
  files.sErrorFile = files.sBase;
  files.sErrorFile << kErrorFileEnding;
  files.sSavedSessionFile = files.sBase;
  files.sSavedSessionFile << ".kms";
  files.sOutputFile = files.sBase;
  files.sOutputFile << ".kmo";
}

void ReadRunFileNames(KmRunFiles& files) {
  const KmIniFile runFile(files.sRunFile.GetCString());
  const KmIniSection* pSection = runFile.GetSection(kRunFileSection);
  // Every name is read before anything can fail, so that a failed run
  // clears the outputs of its own names and never one of its inputs.
  if (pSection != nullptr) {
    KmString sSession;
    ReadName(*pSection, "Session File", sSession);
    files.bSessionFileNamed = !sSession.IsEmpty();
    if (files.bSessionFileNamed) files.sSessionFile = sSession;
    KmString sData;
    ReadName(*pSection, "Data File", sData);
    files.bDataFileNamed = !sData.IsEmpty();
    if (files.bDataFileNamed) files.sDataFile = sData;
    ReadName(*pSection, "Run Options File", files.sNamedRunOptionsFile);
    ReadName(*pSection, "Export Options File", files.sNamedExportOptionsFile);
    ReadName(*pSection, "Output File", files.sOutputFile);
  }
  if (files.sDataFile.EndsWith(".kmo")) {
    files.bExportOnly = true;
    files.sOutputFile = files.sDataFile;
  }
}

void CheckRunFile(KmRunFiles& files) {
  // A run started from another folder than meant misses its run file first.
  if (!KmIO_File::FileExists(files.sRunFile.GetCString())) {
    KmString sMessage;
    sMessage << "The run file \"" << files.sRunFile
             << "\" does not exist (relative names are read from the folder \""
             << WorkingFolder().c_str() << "\").";
    throw KmException(sMessage.GetCString(), "ReadRunFile()",
                      KmException::kInputErrorKind);
  }
  const KmIniFile runFile(files.sRunFile.GetCString());
  const KmIniSection* pSection = runFile.GetSection(kRunFileSection);
  const KmString sRunOptions = files.sNamedRunOptionsFile;
  const KmString sExportOptions = files.sNamedExportOptionsFile;
  // Without its section the run file is read as the session file, unless a
  // header spells the section with other blanks: that is refused here.
  KmString sRunFileMessages;
  if (!ValidateRunFileKeys(files.sRunFile.GetCString(), sRunFileMessages)) {
    throw KmException(sRunFileMessages.GetCString(), "ValidateRunFile()");
  }
  // No run reads a spreadsheet: refused before any file is looked for.
  if (files.bDataFileNamed) {
    kmSession::RefuseSpreadsheet(files.sDataFile, "ReadRunFile()");
  }
  if (pSection != nullptr) CheckNamedInputsExist(*pSection, files.sRunFile);
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
  if (!files.bExportOnly && files.sSessionFile.EndsWith(".dic") &&
      !ValidateDictionarySections(files.sSessionFile.GetCString(), sMessages)) {
    throw KmException(sMessages.GetCString(), "ValidateDictionarySections()");
  }
}
