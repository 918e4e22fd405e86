// The run's inputs and outputs, and the checks between them.
#include "driver/RunOutputs.h"

#include <string>

#include "driver/ExportSequence.h"
#include "engine/kmCohortClustering.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "session/kmComparisonType.h"
#include "session/kmLabels.h"
#include "session/kmSession.h"

namespace {

constexpr const char* kOutputRemedy =
    "name another \"Output File\" in the run file";
constexpr const char* kRunFileRemedy = "give the run file another name";

void AddFile(std::vector<RunFile>& list, const KmString& sName,
             const char* sRole, bool bFollowsRunFile = false) {
  if (!sName.IsEmpty()) list.push_back(RunFile{sName, sRole, bFollowsRunFile});
}

[[noreturn]] void Refuse(const RunFile& output, const std::string& sWhy) {
  KmString sMessage;
  sMessage << "The " << output.sRole << " \"" << output.sName << "\" "
           << sWhy.c_str() << "; "
           << (output.bFollowsRunFile ? kRunFileRemedy : kOutputRemedy) << ".";
  throw KmException(sMessage.GetCString(), "main");
}

// The input that sName reaches, or null.
const RunFile* InputReached(const std::vector<RunFile>& inputs,
                            const KmString& sName) {
  for (const RunFile& input : inputs) {
    if (SameFile(sName, input.sName)) return &input;
  }
  return nullptr;
}

}  // namespace

KmString OutputLockName(const KmString& sOutputFile) {
  KmString sName(sOutputFile);
  sName << ".lock";
  return sName;
}

std::vector<RunFile> RunInputFiles(const KmRunFiles& files,
                                   const kmSession* pSession) {
  std::vector<RunFile> inputs;
  AddFile(inputs, files.sRunFile, "run file");
  AddFile(inputs, files.sSessionFile, "session file");
  AddFile(inputs, files.sDataFile, "data file");
  AddFile(inputs, files.sNamedRunOptionsFile, "run-options file");
  AddFile(inputs, files.sNamedExportOptionsFile, "export-options file");
  if (pSession != nullptr && !files.bExportOnly) {
    KmString sName;
    pSession->GetString(kmStrDataFile, sName);
    AddFile(inputs, sName, "data file");
    pSession->GetString(kmStrVarCovarFile, sName);
    AddFile(inputs, sName, "variance-covariance file");
  }
  return inputs;
}

std::vector<RunFile> RunOutputFiles(const KmRunFiles& files,
                                    const kmSession* pSession) {
  std::vector<RunFile> outputs;
  if (!files.bExportOnly) AddFile(outputs, files.sOutputFile, "output file");
  for (const KmString& sName : AllExportFileNames(files.sOutputFile)) {
    AddFile(outputs, sName, "export");
  }
  AddFile(outputs, OutputSiblingName(files.sOutputFile, "RunSummary.txt"),
          "run summary");
  AddFile(outputs, OutputLockName(files.sOutputFile), "lock file");
  if (!files.bExportOnly &&
      !SameFile(files.sSavedSessionFile, files.sSessionFile)) {
    AddFile(outputs, files.sSavedSessionFile, "saved session", true);
  }
  AddFile(outputs, files.sErrorFile, "error file", true);
  if (pSession != nullptr && !files.bExportOnly &&
      pSession->Get<kmComparisonType>() == kmComparisonType::kClustering) {
    AddFile(outputs, ClusteringResultFile(*pSession, files.sOutputFile),
            "clustering result file");
  }
  return outputs;
}

void CheckRunOutputs(const KmRunFiles& files, const kmSession* pSession) {
  const std::vector<RunFile> inputs = RunInputFiles(files, pSession);
  for (const RunFile& output : RunOutputFiles(files, pSession)) {
    if (KmIO_File::IsSpecialFile(output.sName.GetCString())) {
      Refuse(output,
             "is not a regular file (a device, a pipe, a folder or a link to "
             "one)");
    }
    if (const RunFile* pInput = InputReached(inputs, output.sName)) {
      Refuse(output, std::string("is also an input of the run (the ") +
                         pInput->sRole + " \"" + pInput->sName.GetCString() +
                         "\")");
    }
  }
}

bool ErrorFileIsInput(const KmRunFiles& files) {
  return IsRunInput(files, nullptr, files.sErrorFile);
}

bool IsRunInput(const KmRunFiles& files, const kmSession* pSession,
                const KmString& sName) {
  return InputReached(RunInputFiles(files, pSession), sName) != nullptr;
}

bool ReadsAsResultsFile(const KmString& sName) {
  if (!KmIO_File::FileExists(sName.GetCString()) ||
      KmIO_File::IsSpecialFile(sName.GetCString())) {
    return false;
  }
  KmIO_File file(sName.GetCString(), KmIO_File::kRead);
  const int32_t lExpected = KinkMarkSession.GetLength() + 1;
  if (!file.IsOpen() || file.ReadLong() != lExpected) return false;
  std::string sText(static_cast<size_t>(lExpected), '\0');
  return file.Read(&sText[0], lExpected) == lExpected &&
         sText.compare(0, std::string::npos, KinkMarkSession.GetCString(),
                       static_cast<size_t>(lExpected)) == 0;
}
