// The run's outputs, its inputs, and the checks between them.
#include "driver/RunOutputs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "driver/KmClusteringJournal.h"
#include "driver/RunLocks.h"
#include "engine/kmCohortClustering.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmPendingFile.h"
#include "foundation/platform/KmFileSystem.h"
#include "reports/kmTextPermTest.h"
#include "session/kmComparisonType.h"
#include "session/kmLabels.h"
#include "session/kmModelSelection.h"
#include "session/kmSession.h"

namespace {

constexpr const char* kOutputRemedy =
    "name another \"Output File\" in the run file";
constexpr const char* kRunFileRemedy = "give the run file another name";
constexpr const char* kRunSummarySuffix = "RunSummary.txt";

void AddFile(std::vector<RunFile>& list, const KmString& sName,
             const char* sRole, bool bFollowsRunFile = false,
             bool bInPlace = false) {
  if (!sName.IsEmpty()) {
    list.push_back(RunFile{sName, sRole, bFollowsRunFile, bInPlace});
  }
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

// Where the last name of sPath starts, after its folder.
size_t LastNameStart(const std::string& sPath) {
  const size_t iSlash = sPath.find_last_of("/\\");
  return iSlash == std::string::npos ? 0 : iSlash + 1;
}

// Folder and name of the results file less its ending, whatever its name
// looks like: "out/r" gives "out/r", never "ou" (a three-letter ending
// "x.kmo" is dropped as before).
KmString OutputStem(const KmString& sOutputFile) {
  const std::string sOutput(sOutputFile.GetCString());
  const size_t iNameStart = LastNameStart(sOutput);
  const size_t iDot = sOutput.find_last_of('.');
  const size_t iStemEnd =
      iDot != std::string::npos && iDot >= iNameStart ? iDot : sOutput.size();
  return KmString(sOutput.substr(0, iStemEnd).c_str());
}

// The folder sName is in: "." for a name without one.
std::string FolderOf(const KmString& sName) {
  return KmFolder::FolderOf(sName.GetCString());
}

// The last name of sName, after its folder.
std::string LastName(const KmString& sName) {
  const std::string sPath(sName.GetCString());
  return sPath.substr(LastNameStart(sPath));
}

// True when the two names are one entry of one folder, however written
// ("./out.dat" and "out.dat", or through a link to the folder). Unlike
// SameFile, two names that are links to one file are two entries.
bool SameEntry(const KmString& a, const KmString& b) {
  return LastName(a) == LastName(b) &&
         SameFile(FolderOf(a).c_str(), FolderOf(b).c_str());
}

// True when a and b are links to one file and either is written where it
// stands (a lock file, the clustering result file, which is appended to), so
// that writing it would reach the other. Any other two outputs that are links
// to one file do not clash: each is renamed into place, which replaces the
// link and leaves the file it reached as it was.
bool LinksReachingInPlace(const RunFile& a, const RunFile& b) {
  return (a.bInPlace || b.bInPlace) && SameFile(a.sName, b.sName);
}

// What a run would name sName, when sName has the name a run gives one of
// the files it derives from the name of its results file or of its run
// file (the others are shared through the locks on those names), else "".
// A results file of such a name would be the output of two runs holding
// different locks, neither barring the other.
std::string DerivedFileNamed(const KmString& sName) {
  const std::string sFile = LastName(sName);
  const auto EndsWith = [&sFile](const std::string& sEnding) {
    return sFile.size() >= sEnding.size() &&
           sFile.compare(sFile.size() - sEnding.size(), std::string::npos,
                         sEnding) == 0;
  };
  constexpr const char* kStem = "<results file less its ending>";
  for (const char* sSuffix : AllExportSuffixes()) {
    if (EndsWith(std::string(".") + sSuffix)) {
      return std::string("the export \"") + sSuffix +
             "\" of its results file (\"" + kStem + "." + sSuffix + "\")";
    }
  }
  if (EndsWith(std::string(".") + kRunSummarySuffix)) {
    return std::string("its run summary (\"") + kStem + "." +
           kRunSummarySuffix + "\")";
  }
  if (EndsWith(kErrorFileEnding)) {
    return std::string("its error file (\"<run file less its ending>") +
           kErrorFileEnding + "\")";
  }
  if (KmPendingFile::IsPartialName(sFile)) {
    return "a file it writes before moving it into place "
           "(\"<name>.<6 letters or digits>.partial\")";
  }
  if (sFile.rfind("ClusteringResult-", 0) == 0 && EndsWith(".txt")) {
    return "its clustering result file "
           "(\"ClusteringResult-<criterion>-Type-<order>.txt\")";
  }
  if (sFile.rfind("ClusteringResult-", 0) == 0 && EndsWith(".txt.journal")) {
    return "the journal of its clustering result file "
           "(\"ClusteringResult-<criterion>-Type-<order>.txt.journal\")";
  }
  return "";
}

// Refuses a results file named as a run names a file it derives
// (DerivedFileNamed).
void RefuseDerivedResultsName(const RunOutputNames& names) {
  if (!names.bWritesResults) return;
  const std::string sDerived = DerivedFileNamed(names.sResultsFile);
  if (sDerived.empty()) return;
  Refuse(RunFile{names.sResultsFile, "output file"},
         "has the name a run gives " + sDerived +
             ", which no results file may have");
}
// The model-selection methods, each naming its export: every code up to
// the last, WBIC.
constexpr int kSelectionMethods = static_cast<int>(kmModelSelection::kWBIC) + 1;

}  // namespace

std::vector<const char*> AllExportSuffixes() {
  std::vector<const char*> suffixes = {kReportSuffix,
                                       kDataSuffix,
                                       kAPCSuffix,
                                       kAAPCSuffix,
                                       kPairwiseSuffix,
                                       kJumpCRSuffix,
                                       kSelectionResultsSuffix,
                                       kFinalSelectedModelSuffix};
  for (int i = 0; i < kSelectionMethods; ++i) {
    suffixes.push_back(
        ModelSelectionExportSuffix(static_cast<kmModelSelection>(i)));
  }
  return suffixes;
}

const KmString& RunOutputNames::ExportFile(const char* sSuffix) const {
  for (const auto& entry : exports) {
    if (entry.first == sSuffix) return entry.second;
  }
  // A name the run did not check is never written, in any build.
  KmString sMessage("No export of the run has the suffix \"");
  sMessage << sSuffix << "\".";
  throw KmException(sMessage.GetCString(), "RunOutputNames");
}

void RunFolders::Hold(const std::vector<RunFile>& files) {
  for (const RunFile& file : files) {
    const std::string sFolder = FolderOf(file.sName);
    bool bTried = false;
    for (const KmFolder& folder : folders_) {
      bTried = bTried || folder.GetPath() == sFolder;
    }
    if (bTried) continue;
    folders_.emplace_back();
    folders_.back().Open(sFolder);
  }
}

const KmFolder& RunFolders::Of(const KmString& sName) const {
  const std::string sFolder = FolderOf(sName);
  for (const KmFolder& folder : folders_) {
    if (folder.GetPath() == sFolder) return folder;
  }
  return none_;
}

void RunFolders::RequireStillNamed(const char* sWhile) const {
  for (const KmFolder& folder : folders_) {
    if (folder.IsStillNamed()) continue;
    KmString sMessage;
    sMessage << "The folder \"" << folder.GetPath().c_str()
             << "\" of the run's outputs was moved or replaced while the run "
             << sWhile << "; nothing was written to the folder it names now.";
    throw KmException(sMessage.GetCString(), "main");
  }
}

bool RunFolders::Sync(std::string* pFailed) const {
  for (const KmFolder& folder : folders_) {
    if (!folder.IsOpen() || folder.Sync()) continue;
    if (pFailed != nullptr) *pFailed = folder.GetPath();
    return false;
  }
  return true;
}

std::vector<RunFile> RunOutputNames::Files() const {
  std::vector<RunFile> files;
  if (bWritesResults) AddFile(files, sResultsFile, "output file");
  for (const auto& entry : exports) AddFile(files, entry.second, "export");
  AddFile(files, sRunSummary, "run summary");
  for (const KmString& sLock : lockFiles) {
    KmString sStemLock(sStem);
    sStemLock << ".lock";
    AddFile(files, sLock, "lock file", sLock != sStemLock, true);
  }
  AddFile(files, sSavedSession, "saved session", true);
  AddFile(files, sErrorFile, "error file", true);
  AddFile(files, sClusteringFile, "clustering result file", false, true);
  AddFile(files, sClusteringJournal, "clustering journal", false, true);
  AddFile(files, sCommitRecord, "commit record", false, true);
  return files;
}

std::vector<KmString> RunOutputNames::RenamedFiles() const {
  std::vector<KmString> names;
  if (bWritesResults) names.push_back(sResultsFile);
  for (const auto& entry : exports) names.push_back(entry.second);
  names.push_back(sRunSummary);
  if (!sSavedSession.IsEmpty()) names.push_back(sSavedSession);
  return names;
}

RunOutputNames MakeRunOutputNames(const KmRunFiles& files) {
  RunOutputNames outputs;
  outputs.sResultsFile = files.sOutputFile;
  outputs.bWritesResults = !files.bExportOnly;
  outputs.sStem = OutputStem(files.sOutputFile);
  const auto Derived = [&](const char* sSuffix) {
    KmString sName(outputs.sStem);
    sName << "." << sSuffix;
    return sName;
  };
  outputs.lockFiles.push_back(Derived("lock"));
  KmString sBaseLock(files.sBase);
  sBaseLock << ".lock";
  if (!SameFile(sBaseLock, outputs.lockFiles.front())) {
    outputs.lockFiles.push_back(sBaseLock);
    std::sort(outputs.lockFiles.begin(), outputs.lockFiles.end(),
              [](const KmString& a, const KmString& b) {
                return std::strcmp(a.GetCString(), b.GetCString()) < 0;
              });
  }
  for (const char* sSuffix : AllExportSuffixes()) {
    outputs.exports.emplace_back(sSuffix, Derived(sSuffix));
  }
  outputs.sRunSummary = Derived(kRunSummarySuffix);
  outputs.sCommitRecord = Derived("commit");
  // Also where it is the session file the run reads (run.ini reading
  // run.kms): CheckRunOutputs refuses that clash as any other, since leaving
  // the input unwritten would keep a session of other options under the name
  // of this run's.
  if (!files.bExportOnly) outputs.sSavedSession = files.sSavedSessionFile;
  outputs.sErrorFile = files.sErrorFile;
  return outputs;
}

void AddSessionOutputs(RunOutputNames& outputs, const KmRunFiles& files,
                       const kmSession& session) {
  if (!files.bExportOnly &&
      session.Get<kmComparisonType>() == kmComparisonType::kClustering) {
    outputs.sClusteringFile = ClusteringResultFile(session, files.sOutputFile);
    outputs.sClusteringJournal =
        KmClusteringJournal::NameOf(outputs.sClusteringFile);
  }
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

void CheckRunOutputs(const RunOutputNames& names, const KmRunFiles& files,
                     const kmSession* pSession) {
  const std::vector<RunFile> inputs = RunInputFiles(files, pSession);
  const std::vector<RunFile> outputs = names.Files();
  for (size_t i = 0; i < outputs.size(); ++i) {
    const RunFile& output = outputs[i];
    const std::string sFolder = FolderOf(output.sName);
    if (!KmIO_File::FileExists(sFolder.c_str())) {
      KmString sMessage;
      sMessage << "The folder \"" << sFolder.c_str() << "\" of the "
               << output.sRole << " \"" << output.sName
               << "\" does not exist; it must be created before the run.";
      throw KmException(sMessage.GetCString(), "main");
    }
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
    for (size_t j = 0; j < i; ++j) {
      const bool bSameName = SameEntry(outputs[j].sName, output.sName);
      // A link at the journal's name is no journal: it is named so.
      if (!bSameName && output.sName == names.sClusteringJournal &&
          LinksReachingInPlace(outputs[j], output)) {
        Refuse(output, std::string("is not a journal but a second name of "
                                   "the ") +
                           outputs[j].sRole + " \"" +
                           outputs[j].sName.GetCString() +
                           "\" of the run (the two names are links to one "
                           "file)");
      }
      if (bSameName || LinksReachingInPlace(outputs[j], output)) {
        // The name "Output File" sets is the one to change.
        const bool bFirst = !outputs[j].bFollowsRunFile;
        const RunFile& named = bFirst ? outputs[j] : output;
        const RunFile& other = bFirst ? output : outputs[j];
        Refuse(named, std::string("is also the ") + other.sRole + " \"" +
                          other.sName.GetCString() + "\" of the run" +
                          (bSameName ? ""
                                     : " (the two names are links to one "
                                       "file)"));
      }
    }
  }
  RefuseDerivedResultsName(names);
}

void CheckOutputsReplaceable(const RunOutputNames& outputs,
                             const RunFolders& folders, ReplaceablePass pass) {
  for (const RunFile& output : outputs.Files()) {
    const bool bJournal = output.sName == outputs.sClusteringJournal;
    // A file that comes under the error file's name while the run works is
    // not replaced by its last step (RemoveEarlierErrorFile keeps it).
    if ((output.bInPlace && !bJournal) || (output.sName == outputs.sErrorFile &&
                                           pass == ReplaceablePass::kLast)) {
      continue;
    }
    const KmFolder& folder = folders.Of(output.sName);
    const std::string sLeaf = KmFolder::LeafOf(output.sName.GetCString());
    struct stat info;
    if (!folder.Stat(sLeaf, info)) continue;
    const bool bMayRemove = MayRemoveFrom(folder, sLeaf);
    // Another account's journal would be refused under the lock, once every
    // fit is done, by every clustering run into the folder.
    const bool bOthersJournal =
        bJournal && info.st_uid != KmGetFileSystem().UserId();
    if (bMayRemove && !bOthersJournal) continue;
    KmString sMessage;
    sMessage << "The " << output.sRole << " \"" << output.sName
             << "\" is another account's ("
             << AccountInWords(info.st_uid).c_str() << ")";
    if (bMayRemove) {
      sMessage << ", and a run obeys only a journal of its own account: this "
                  "run could not append its clustering block, and moved and "
                  "removed nothing. Remove \"";
    } else {
      // Its rename would be refused, after the outputs before it had moved.
      sMessage << ", in a folder with the sticky bit where only a file's "
                  "owner, or the folder's, may replace it: this run could not "
                  "put its own in its place, and moved and removed nothing. "
                  "Ask that account to remove \"";
    }
    sMessage << output.sName << "\", or "
             << (output.bFollowsRunFile ? kRunFileRemedy : kOutputRemedy)
             << ".";
    throw KmException(sMessage.GetCString(), "main");
  }
}

bool IsRunInput(const KmRunFiles& files, const kmSession* pSession,
                const KmString& sName) {
  return InputReached(RunInputFiles(files, pSession), sName) != nullptr;
}

bool ReadsAsResultsFile(const KmFolder& folder, const KmString& sName) {
  const std::string sLeaf = KmFolder::LeafOf(sName.GetCString());
  if (!folder.IsRegularFile(sLeaf)) return false;
  const int iFd = folder.OpenFile(sLeaf, O_RDONLY | O_NONBLOCK);
  if (iFd < 0) return false;
  KmIO_File file(KmFileTarget(sName.GetCString(), iFd), KmIO_File::kRead);
  close(iFd);
  const int32_t lExpected = KinkMarkSession.GetLength() + 1;
  if (!file.IsOpen() || file.ReadLong() != lExpected) return false;
  std::string sText(static_cast<size_t>(lExpected), '\0');
  return file.Read(&sText[0], lExpected) == lExpected &&
         sText.compare(0, std::string::npos, KinkMarkSession.GetCString(),
                       static_cast<size_t>(lExpected)) == 0;
}
