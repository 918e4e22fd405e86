// Whole runs of the built kinkmark binary, as a user starts it: exit
// statuses, console text, the files written and the error file's layout.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "driver/CommitRecord.h"
#include "driver/KmDriver.h"
#include "driver/RunLocks.h"
#include "foundation/platform/KmFileSystem.h"
#include "tests/e2e/E2eRun.h"
#include "tests/test_util/TestUtil.h"

namespace {

namespace fs = std::filesystem;
using km_e2e::RunKinkmark;
using km_e2e::RunResult;
using km_test::ReadAll;
using km_test::WriteAll;

const std::string kDashes(32, '-');

// Runs kinkmark on sRunFile in this process, in dir, with its files made
// through fileSystem; the console output is captured.
RunResult RunInProcess(KmFileSystem& fileSystem, const km_test::ScratchDir& dir,
                       std::string sRunFile) {
  const fs::path home = fs::current_path();
  fs::current_path(dir.Path());
  KmSetFileSystem(&fileSystem);
  char sProgram[] = "kinkmark";
  char* argv[] = {sProgram, &sRunFile[0], nullptr};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int iStatus = KmRunDriver(2, argv);
  const std::string sConsole = testing::internal::GetCapturedStdout() +
                               testing::internal::GetCapturedStderr();
  KmSetFileSystem(nullptr);
  fs::current_path(home);
  return {iStatus, sConsole};
}

// The names of the files in a directory, sorted.
std::vector<std::string> Files(const km_test::ScratchDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.Path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Copies the fixtures of the whole-run tests into dir.
void CopyFixtures(const km_test::ScratchDir& dir) {
  for (const char* sName :
       {"session.ini", "rates.txt", "options.ini", "run.ini"}) {
    fs::copy_file(fs::path(KM_E2E_FIXTURES) / sName, dir.File(sName));
  }
}

// Copies the session sSession and the data file sData from folder into dir,
// with a run file "run.ini" that runs them into "out.dat".
void UseSessionAndData(const km_test::ScratchDir& dir, const fs::path& folder,
                       const std::string& sSession, const std::string& sData) {
  for (const std::string& sName : {sSession, sData}) {
    fs::copy_file(folder / sName, dir.File(sName));
  }
  WriteAll(dir.File("run.ini"),
           "[Kinkmark Input Files]\nSession File = " + sSession +
               "\nData File = " + sData + "\nOutput File = out.dat\n");
}

// A command line that names no single run file runs nothing and writes no
// file: the usage goes to standard output when asked for, else to standard
// error with a status that is not 0. Fault: a wrong count returned 0 and
// printed nothing, and "--help" was read as a run file (status 2 and a
// file "--help.ErrorFile.txt").
TEST(KinkmarkRun, CommandLinesWithoutOneRunFileShowTheUsage) {
  const struct {
    const char* sArguments;
    int iStatus;
    const char* sOut;  // the start of standard output
    const char* sErr;  // the start of standard error
  } cases[] = {
      {"", kExitUsage, "",
       "Error: kinkmark takes one argument, the run file, and was given 0.\n"
       "Usage: kinkmark <run file>\n"},
      {"run.ini other.ini", kExitUsage, "",
       "Error: kinkmark takes one argument, the run file, and was given 2.\n"
       "Usage: kinkmark <run file>\n"},
      {"--help", 0, "Usage: kinkmark <run file>\n", ""},
      {"-h", 0, "Usage: kinkmark <run file>\n", ""},
      // Fault: options were taken as run files ("-v.ErrorFile.txt").
      {"-v", kExitUsage, "", "Error: \"-v\" is no option of kinkmark"},
      {"--version", kExitUsage, "", "Error: \"--version\" is no option"},
      // Fault: an empty name was a run file, and its error file the hidden
      // ".ErrorFile.txt".
      {"''", kExitUsage, "",
       "Error: The run file's name is empty; nothing was read or written.\n"
       "Usage: kinkmark <run file>\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sArguments);
    km_test::ScratchDir dir;
    km_test::ScratchDir console;
    WriteAll(dir.File("run.ini"), "[Kinkmark Input Files]\n");
    const std::string sCommand = "cd '" + dir.Path() + "' && '" KM_BINARY "' " +
                                 c.sArguments + " > '" + console.File("out") +
                                 "' 2> '" + console.File("err") + "'";
    const int iRaw = std::system(sCommand.c_str());
    EXPECT_EQ(WIFEXITED(iRaw) ? WEXITSTATUS(iRaw) : -1, c.iStatus);
    const std::string sOut = ReadAll(console.File("out"));
    const std::string sErr = ReadAll(console.File("err"));
    EXPECT_EQ(sOut.rfind(c.sOut, 0), 0u) << sOut;
    EXPECT_EQ(sErr.rfind(c.sErr, 0), 0u) << sErr;
    EXPECT_NE((sOut + sErr).find("README.md"), std::string::npos);
    EXPECT_EQ(*c.sOut == '\0' ? sOut : sErr, "");
    EXPECT_EQ(Files(dir), std::vector<std::string>{"run.ini"});
  }
}

TEST(KinkmarkRun, UnknownSessionKindEndsWithStatusOne) {
  km_test::ScratchDir dir;
  WriteAll(dir.File("a.KMS"), "");
  WriteAll(dir.File("d.txt"), "");
  WriteAll(dir.File("run.ini"),
           "[kinkmark input files]\nSession File = a.KMS\nData File = d.txt\n");
  // A failed run leaves every file it found, an earlier error file too.
  WriteAll(dir.File("run.ErrorFile.txt"), "an earlier run's failure");
  const RunResult result = RunKinkmark(dir, "run.ini");
  EXPECT_EQ(result.iStatus, 1);
  EXPECT_NE(result.sConsole.find(
                "\n\nError:  Session file name must end in .kms, .dic, or "
                ".ini!\n\n"),
            std::string::npos);
  EXPECT_NE(result.sConsole.find("Error: Session file name must end in "
                                 ".kms, .dic, or .ini!\n"),
            std::string::npos);
  EXPECT_EQ(ReadAll(dir.File("run.ErrorFile.txt")), "an earlier run's failure");
}

TEST(KinkmarkRun, ErrorFileLayout) {
  km_test::ScratchDir dir;
  // The session names a data file that does not exist.
  WriteAll(
      dir.File("a.ini"),
      "[Datafile Options]\nDatafile name = d.txt\n"
      "[Kinkmark Session Parameters]\nindependent variable location = 1\n");
  WriteAll(dir.File("run.ini"),
           "[Kinkmark Input Files]\nSession File = a.ini\n");
  const RunResult result = RunKinkmark(dir, "run.ini");
  EXPECT_EQ(result.iStatus, 2);
  EXPECT_EQ(result.sConsole,
            "\n\nrun.ErrorFile.txt\n\nError: The following files do not "
            "exists:\n " +
                fs::canonical(dir.File("")).string() + "/d.txt\n\n");
  EXPECT_EQ(ReadAll(dir.File("run.ErrorFile.txt")),
            "Error Message\n" + kDashes +
                "\nThe following files do not exists:\n " +
                fs::canonical(dir.File("")).string() +
                "/d.txt\n"
                "\n\nCall Path\n" +
                kDashes +
                "\nCreateSession(KmString sSessionParamsFile) of kmSession\n"
                "\n\nSource Module\n" +
                kDashes + "\nCreateSession()\n\n\nExecution Command\n" +
                kDashes + "\n" KM_BINARY " run.ini ");
}

// Runs that end in an error file: its name, the message and the source,
// status 2 and the message on standard error.
TEST(KinkmarkRun, FailuresEndInTheErrorFile) {
  const struct {
    const char* sRunFile;
    const char* sRunBody;  // nullptr: the run file is a folder
    const char* sOptions;
    const char* sErrorFile;
    const char* sMessage;
    const char* sSource;
  } cases[] = {
      {"run.ini", "[Kinkmark Input Files]\nRun Options File = opts.ini\n",
       "[Export Options]\n", "run.ErrorFile.txt",
       "Missing [Session Options] in Options file: opts.ini\n",
       "ValidateRunOptions()"},
      {"run.ini", "[Kinkmark Input Files]\nExport Options File = opts.ini\n",
       "[Export Options]\nmodels = best\nexport pdf = true\n",
       "run.ErrorFile.txt",
       "The file \"opts.ini\", line 2: \"best\" is not a valid value for the "
       "\"models\" Export Option; use \"all\" or \"best fit\".\nThe file "
       "\"opts.ini\", line 3: \"export "
       "pdf\" is not a valid Export Option; use ...\n",
       "ValidateExportOptions()"},
      // A run file name shorter than its four-character ending.
      {"r.i", "[Kinkmark Input Files]\nRun Options File = opts.ini\n",
       "[Export Options]\n", "r.i.ErrorFile.txt",
       "Missing [Session Options] in Options file: opts.ini\n",
       "ValidateRunOptions()"},
      // A run file name without a four-character ending keeps its whole
      // name (it gave "myrun.ErrorFile.txt").
      {"myrunfile", "[Kinkmark Input Files]\nRun Options File = opts.ini\n",
       "[Export Options]\n", "myrunfile.ErrorFile.txt",
       "Missing [Session Options] in Options file: opts.ini\n",
       "ValidateRunOptions()"},
      // Started from another folder than its inputs': they are named as
      // missing, not the output folder (it said the lock file "cannot be
      // used").
      {"run.ini",
       "[Kinkmark Input Files]\nSession File = case/session.ini\n"
       "Data File = case/rates.txt\nOutput File = case/out.dat\n",
       "", "run.ErrorFile.txt",
       "The run file \"run.ini\" names files that do not exist (relative "
       "names are read from the folder \"<folder>\"):\n case/session.ini "
       "(\"Session File\") was not found.\n case/rates.txt (\"Data File\") "
       "was not found.\n",
       "ReadRunFile()"},
      // A run file that cannot be read is named in its error file. Fault:
      // no error file (status 3).
      {"run.ini", nullptr, "", "run.ErrorFile.txt",
       "Unable to open file \"<folder>/run.ini\" for reading.", "KmIniFile"},
      // The results file would overwrite the data file.
      {"run.ini",
       "[Kinkmark Input Files]\nSession File = session.ini\n"
       "Data File = rates.txt\nOutput File = ./rates.txt\n",
       "", "run.ErrorFile.txt",
       "The output file \"./rates.txt\" is also an input of the run (the "
       "data file \"rates.txt\"); name another \"Output File\" in the run "
       "file.",
       "main"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sRunBody);
    km_test::ScratchDir dir;
    CopyFixtures(dir);
    const std::string sData = ReadAll(dir.File("rates.txt"));
    if (c.sRunBody == nullptr) {
      fs::remove(dir.File(c.sRunFile));
      fs::create_directory(dir.File(c.sRunFile));
    } else {
      WriteAll(dir.File(c.sRunFile), c.sRunBody);
    }
    WriteAll(dir.File("opts.ini"), c.sOptions);
    std::string sMessage = c.sMessage;
    const size_t iFolder = sMessage.find("<folder>");
    if (iFolder != std::string::npos) {
      sMessage.replace(iFolder, 8, fs::canonical(dir.Path()).string());
    }
    const RunResult result = RunKinkmark(dir, c.sRunFile);
    EXPECT_EQ(result.iStatus, 2);
    // "use ..." stands for the list of valid keys.
    EXPECT_NE(
        km_test::ElidedKeyLists(result.sConsole).find("Error: " + sMessage),
        std::string::npos)
        << result.sConsole;
    const std::string sError =
        km_test::ElidedKeyLists(ReadAll(dir.File(c.sErrorFile)));
    EXPECT_EQ(sError.substr(0, sError.find("\n\nCall Path")),
              "Error Message\n" + kDashes + "\n" + sMessage);
    EXPECT_NE(
        sError.find("Source Module\n" + kDashes + "\n" + c.sSource + "\n"),
        std::string::npos);
    EXPECT_EQ(sError.find('\0'), std::string::npos);
    EXPECT_EQ(ReadAll(dir.File("rates.txt")), sData);
    EXPECT_FALSE(fs::exists(dir.File("run.kms")));
  }
}

// Fault: a leftover "<output>.partial" link was opened and truncated, so
// the run wrote its results, an export, its summary, saved session or error
// file into the file the link reached (here the data file). Partial files
// are now new files of the run: the link and the data stay as they were.
// Fault: an input named as a partial file, or a hard link to one named so,
// was removed by the sweep; finished results files of other analyses under
// an export's or the error file's name were removed by name.
TEST(KinkmarkRun, LeftoverPartialLinksAreNeverFollowed) {
  enum Plant { kLink, kHardLink, kResults };
  const struct {
    const char* sLink;    // the planted partial name, a link to rates.txt
    bool bFail;           // the run fails (and writes its error file)
    Plant plant = kLink;  // or a hard link to sInput, or a results file
    const char* sInput = "rates.txt";
    bool bNamed = false;  // the run file names sLink in place of sInput
  } cases[] = {
      {"out.dat.partial", false},
      // Named like partial files a killed run left, which a completed run
      // and a failed run sweep: only regular files are removed.
      {"run.ErrorFile.txt.abc123.partial", false},
      // A link to a file that is not an input stays all the same.
      {"out.dat.abc123.partial", false, kLink, "notes.txt"},
      {"out.dat.abc123.partial", true},
      {"out.report.txt.partial", false},
      {"out.RunSummary.txt.partial", false},
      {"run.kms.partial", false},
      {"run.ErrorFile.txt.partial", true},
      {"out.dat.abc123.partial", false, kHardLink},
      {"out.report.txt.abc123.partial", true, kHardLink, "session.ini"},
      {"out.dat.abcdef.partial", false, kHardLink, "rates.txt", true},
      {"out.report.txt.myopts.partial", false, kHardLink, "options.ini", true},
      {"run.ErrorFile.txt", false, kResults},
      {"out.pairwise_comparison.txt", false, kResults},
      {"out.jumpcrexport.txt", true, kResults},
      // Not replaced by the error file: its text goes to the console.
      {"run.ErrorFile.txt", true, kResults},
  };
  km_test::ScratchDir finished;
  CopyFixtures(finished);
  ASSERT_EQ(RunKinkmark(finished, "run.ini").iStatus, 0);
  const std::string sResults = ReadAll(finished.File("out.dat"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sLink + std::to_string(c.plant));
    km_test::ScratchDir dir;
    CopyFixtures(dir);
    if (c.bFail) WriteAll(dir.File("options.ini"), "[Session Options]\n");
    if (c.bNamed) {
      WriteAll(dir.File("run.ini"),
               std::regex_replace(ReadAll(dir.File("run.ini")),
                                  std::regex(c.sInput), c.sLink));
    }
    if (!fs::exists(dir.File(c.sInput))) WriteAll(dir.File(c.sInput), "a");
    const std::string sData = ReadAll(dir.File(c.sInput));
    if (c.plant == kLink) fs::create_symlink(c.sInput, dir.File(c.sLink));
    if (c.plant == kHardLink) {
      fs::create_hard_link(dir.File(c.sInput), dir.File(c.sLink));
    }
    for (const char* sName : {c.sLink, "out.dat"}) {
      if (c.plant == kResults) WriteAll(dir.File(sName), sResults);
    }
    const bool bErrorFile = std::string(c.sLink) == "run.ErrorFile.txt";
    const RunResult result = RunKinkmark(dir, "run.ini");
    EXPECT_EQ(result.iStatus, c.bFail ? 2 + bErrorFile : 0) << result.sConsole;
    EXPECT_EQ(ReadAll(dir.File(c.sInput)), sData);
    EXPECT_EQ(fs::is_symlink(dir.File(c.sLink)), c.plant == kLink);
    EXPECT_TRUE(c.plant == kResults
                    ? ReadAll(dir.File(c.sLink)) == sResults
                    : fs::equivalent(dir.File(c.sLink), dir.File(c.sInput)));
    EXPECT_EQ(fs::exists(dir.File("run.ErrorFile.txt")), c.bFail || bErrorFile);
    for (const std::string& sName : Files(dir)) {
      if (sName != c.sLink) {
        EXPECT_EQ(sName.find(".partial"), std::string::npos);
      }
    }
  }
}

// A file system whose first partial file of sTarget is replaced, right after
// its creation, by a hard link to sOutside: what anyone who may create names
// in the output folder can do.
// With bFailData, the data file cannot be read again once the link is made,
// which fails the run while the partial file is being written.
class LinkingFileSystem : public KmFileSystem {
 public:
  LinkingFileSystem(std::string sTarget, std::string sOutside, bool bFailData)
      : sTarget_(std::move(sTarget)),
        sOutside_(std::move(sOutside)),
        bFailData_(bFailData) {}
  int CreateExclusiveAt(int iFolder, const std::string& sName) override {
    const int iFd = KmFileSystem::CreateExclusiveAt(iFolder, sName);
    if (iFd >= 0 && sLinked_.empty() && sName.rfind(sTarget_ + ".", 0) == 0) {
      sLinked_ = sName;
      unlinkat(iFolder, sName.c_str(), 0);
      linkat(AT_FDCWD, sOutside_.c_str(), iFolder, sName.c_str(), 0);
    }
    return iFd;
  }
  std::unique_ptr<std::istream> OpenInput(const std::string& sPath) override {
    if (bFailData_ && !sLinked_.empty() &&
        fs::path(sPath).filename() == "rates.txt") {
      return KmFileSystem::OpenInput("");
    }
    return KmFileSystem::OpenInput(sPath);
  }
  // The partial name replaced by the link, once made.
  const std::string& GetLinked() const { return sLinked_; }

 private:
  std::string sTarget_;
  std::string sOutside_;
  bool bFailData_;
  std::string sLinked_;
};

// Fault: a partial file was reopened by its name, so a hard link put in its
// place after its creation had a file outside the folder truncated and
// overwritten, and the run still ended well. The run, in this process with
// the linking file system, leaves the outside file as it was and writes the
// outputs a run alone writes.
TEST(KinkmarkRun, APartialFileReplacedByALinkIsNeverWritten) {
  km_test::ScratchDir lone;
  CopyFixtures(lone);
  ASSERT_EQ(RunKinkmark(lone, "run.ini").iStatus, 0);
  const struct {
    const char* sTarget;
    bool bFail;  // the run fails while the partial file is written
  } cases[] = {{"out.dat", false},
               {"out.report.txt", false},
               {"out.RunSummary.txt", false},
               {"run.kms", false},
               {"out.dat", true}};
  for (const auto& [sTarget, bFail] : cases) {
    SCOPED_TRACE(sTarget + std::to_string(bFail));
    km_test::ScratchDir dir;
    km_test::ScratchDir outside;
    CopyFixtures(dir);
    const std::string sOutside = outside.Write("notes.txt", "a user's notes\n");
    LinkingFileSystem linking(sTarget, sOutside, bFail);
    const int iStatus = RunInProcess(linking, dir, "run.ini").iStatus;
    EXPECT_EQ(iStatus, bFail ? 2 : 0);
    EXPECT_TRUE(ReadAll(sOutside) == "a user's notes\n");
    if (bFail) {
      // The failed run leaves the name it no longer owns (fault: the
      // outside file's link was removed as the run's partial file).
      EXPECT_TRUE(fs::equivalent(dir.File(linking.GetLinked()), sOutside));
      continue;
    }
    for (const std::string& sName : Files(lone)) {
      // The summary names the program; the results file holds the time.
      if (sName == "out.RunSummary.txt") continue;
      const std::string sWritten = ReadAll(dir.File(sName));
      const std::string sAlone = ReadAll(lone.File(sName));
      EXPECT_TRUE(sName == "out.dat" ? sWritten.size() == sAlone.size()
                                     : sWritten == sAlone)
          << sName;
    }
  }
}

// A file system that calls onCreate once, right after the first partial
// file whose name begins with sTrigger is created: a moment at which the run
// holds its outputs and writes them.
class CallingFileSystem : public KmFileSystem {
 public:
  CallingFileSystem(std::string sTrigger, std::function<void()> onCreate)
      : sTrigger_(std::move(sTrigger)), onCreate_(std::move(onCreate)) {}
  int CreateExclusiveAt(int iFolder, const std::string& sName) override {
    const int iFd = KmFileSystem::CreateExclusiveAt(iFolder, sName);
    if (iFd >= 0 && onCreate_ && sName.rfind(sTrigger_, 0) == 0) {
      const std::function<void()> call = std::move(onCreate_);
      onCreate_ = nullptr;
      call();
    }
    return iFd;
  }

 private:
  std::string sTrigger_;
  std::function<void()> onCreate_;
};

// A file system with faults: a full disk for the files whose names begin
// with sPrefix (none when it is empty), whose partial files cannot be
// created, or, with iAfter >= 0, which fills once iAfter bytes of their
// writes have been accepted; a rename onto the name sNoMove refused, as a
// folder at that name or a sticky folder refuses it; and, as a kill would,
// the process ended at once before its rename number iStop (from 0), or
// once the commit record is created, when it is about to be removed, or
// where the disk fills; or, without ending it, the record's removal refused,
// or a folder's sync once a rename was made, or once the record is removed;
// or ended as the clustering journal is about to be removed, its block
// synced. With bBornLater the clustering result file is born after its
// journal; with bNoBirthTime no file's birth time is told; with
// bNoJournalRead its journal cannot be read. With bNoSync the
// files of sPrefix cannot be synced, with bNoFirstSync only the first sync
// of one; with bNoLock the clustering result
// file's lock is never taken, and with iBusyLocks > 0 it is refused that
// many times when tried without waiting (-1: every time, then granted when
// waited for), as another process holding it refuses it, and onBusy is
// called the first time it is so refused; with iLockRefusal a lock file's
// lock fails with that errno. With iStepFault >= 0, once the
// clustering journal or the record is created (whichever is first), the
// operation of that number (from 0) ends the process, or with bFailStep
// fails, and with iThenKill > 0 the process ends that many operations
// later: the step's operations are the journal's creation, the writes of
// the journal and of the clustering block, and every sync, cut back, rename
// and removal. With bNoCutBack the files of sPrefix cannot be cut back;
// with bNoJournalRemoval a journal is never removed; with
// bOtherUserFromLock every file is another account's once the clustering
// result file's lock is taken.
struct FaultyFileSystem : KmFileSystem {
  static constexpr int kStopped = 9;  // the stopped process's status
  static constexpr int kAtRecordCreated = -1;
  static constexpr int kAtRecordRemoved = -2;
  static constexpr int kWhenFull = -3;
  static constexpr int kKeepRecord = -5;
  static constexpr int kNoFolderSync = -6;
  static constexpr int kNoSyncOfRemoval = -7;
  static constexpr int kAtJournalRemoved = -8;
  static constexpr int kNoStop = -4;
  bool bBornLater = false;
  bool bNoBirthTime = false;
  bool bNoJournalRead = false;
  bool BirthTime(int iFd, long long& iBorn) override {
    if (bNoBirthTime) return false;
    if (!bBornLater) return KmFileSystem::BirthTime(iFd, iBorn);
    iBorn = IsJournal(NameOf(iFd)) ? 0 : 1;
    return true;
  }
  ssize_t Read(int iFd, void* pBuffer, size_t iBytes) override {
    if (!bNoJournalRead || !IsJournal(NameOf(iFd))) {
      return KmFileSystem::Read(iFd, pBuffer, iBytes);
    }
    errno = EIO;
    return -1;
  }
  static bool IsJournal(const std::string& sName) {
    return sName.size() > 8 &&
           sName.compare(sName.size() - 8, 8, ".journal") == 0;
  }
  bool bRecordRemoved = false;
  bool bNoSync = false;
  bool bNoLock = false;
  int iStepFault = -1;
  bool bFailStep = false;
  int iThenKill = 0;
  int iSteps = -1;      // the step's operations so far, from its first file on
  int iStepsTaken = 0;  // every step's operations, in all
  int iFirstRename = -1;     // the number of the step's first rename
  bool bNoDiskSync = false;  // a sync succeeds without reaching the disk
  bool bNoCutBack = false;
  bool bNoJournalRemoval = false;
  bool IsStepFault() {
    if (iSteps < 0) return false;
    const int iStep = iSteps++;
    ++iStepsTaken;
    if (iThenKill > 0 && iStep == iStepFault + iThenKill) _exit(kStopped);
    if (iStep != iStepFault) return false;
    if (!bFailStep) _exit(kStopped);
    errno = EIO;
    return true;
  }
  bool Truncate(int iFd, off_t iLength) override {
    if (IsStepFault()) return false;
    if (bNoCutBack && Named(NameOf(iFd))) {
      errno = EIO;
      return false;
    }
    return KmFileSystem::Truncate(iFd, iLength);
  }
  bool bNoFirstSync = false;
  bool Sync(int iFd) override {
    if (IsStepFault()) return false;
    if (bNoFirstSync && Named(NameOf(iFd))) {
      bNoFirstSync = false;
      errno = EIO;
      return false;
    }
    if (bRecordRemoved) iSteps = -1;  // the step ends with this sync
    struct stat info;
    const bool bFolder = fstat(iFd, &info) == 0 && S_ISDIR(info.st_mode);
    if ((bNoSync && Named(NameOf(iFd))) ||
        (iStop == kNoFolderSync && bFolder && iRenames > 0) ||
        (iStop == kNoSyncOfRemoval && bFolder && bRecordRemoved)) {
      errno = EIO;
      return false;
    }
    return bNoDiskSync || KmFileSystem::Sync(iFd);
  }
  int iBusyLocks = 0;
  std::function<void()> onBusy;
  int iLockRefusal = 0;
  bool Lock(int iFd, int iOperation) override {
    const std::string sName = NameOf(iFd);
    const bool bClustering = sName.rfind("ClusteringResult-", 0) == 0;
    const bool bTried = (iOperation & LOCK_NB) != 0;
    errno = bClustering && bNoLock && (iOperation & LOCK_EX) != 0 ? ENOLCK
            : bClustering && bTried && iBusyLocks != 0            ? EWOULDBLOCK
            : iLockRefusal != 0 && sName.find(".lock") != std::string::npos
                ? iLockRefusal
                : 0;
    if (errno == EWOULDBLOCK && iBusyLocks > 0) --iBusyLocks;
    const bool bLocked = errno == 0 && KmFileSystem::Lock(iFd, iOperation);
    if (bClustering && errno == EWOULDBLOCK && onBusy) {
      std::exchange(onBusy, nullptr)();
      errno = EWOULDBLOCK;
    }
    bOtherUser = bOtherUser || (bOtherUserFromLock && bClustering && bLocked &&
                                (iOperation & LOCK_EX) != 0);
    return bLocked;
  }
  // The holders of a lock the system names, where set.
  std::optional<std::vector<KmLockHolder>> holders;
  std::vector<KmLockHolder> LockHolders(const struct stat& file) override {
    return holders ? *holders : KmFileSystem::LockHolders(file);
  }
  // The names of accounts the system gives, where set.
  std::map<uid_t, std::string> accountNames;
  std::string AccountName(uid_t iUid) override {
    const auto named = accountNames.find(iUid);
    return named != accountNames.end() ? named->second
                                       : KmFileSystem::AccountName(iUid);
  }
  bool bOtherUserFromLock = false;
  bool bOtherUser = false;  // every file is another account's
  // With iAs, this process acts as that account (not root): the files it
  // creates are that account's, and a rename over another account's file in
  // a folder with the sticky bit not of its own is refused (EPERM), as the
  // system refuses it; onSummary is called as the run summary's partial
  // file is created. REQUIRES for iAs: root, to give files owners.
  uid_t iAs = 0;
  std::function<void()> onSummary;
  uid_t UserId() override {
    return iAs != 0 ? iAs : KmFileSystem::UserId() + (bOtherUser ? 1 : 0);
  }
  static std::string NameOf(int iFd) {
    std::error_code error;  // an unknown file is not one of them
    return fs::read_symlink("/proc/self/fd/" + std::to_string(iFd), error)
        .filename()
        .string();
  }
  explicit FaultyFileSystem(std::string s, long i = -1, std::string m = "",
                            int k = kNoStop)
      : sPrefix(s), sNoMove(m), iAfter(i), iStop(k) {}
  int CreateExclusiveAt(int iFolder, const std::string& sName) override {
    if (iAfter < 0 && Named(sName)) {
      // A lock file, the first file a run makes, as in a read-only folder.
      errno = sName.find(".lock") != std::string::npos ? EROFS : ENOSPC;
      return -1;
    }
    // The step begins with its journal, or without one with its record.
    if (iSteps < 0 && IsJournal(sName)) iSteps = 0;
    if (IsJournal(sName) && IsStepFault()) return -1;
    const int iFd = KmFileSystem::CreateExclusiveAt(iFolder, sName);
    if (iStop == kAtRecordCreated && IsRecord(sName)) _exit(kStopped);
    if (iSteps < 0 && IsRecord(sName)) iSteps = 0;
    EXPECT_TRUE(iFd < 0 || iAs == 0 || fchown(iFd, iAs, -1) == 0);
    if (iFd >= 0 && onSummary && sName.rfind("out.RunSummary.txt.", 0) == 0) {
      std::exchange(onSummary, nullptr)();
    }
    return iFd;
  }
  bool RenameAt(int iFolder, const std::string& sFrom,
                const std::string& sTo) override {
    if (iRenames++ == iStop) _exit(kStopped);
    if (iFirstRename < 0) iFirstRename = iSteps;
    if (IsStepFault()) return false;
    struct stat file;
    struct stat folder;
    errno = EPERM;
    if (iAs != 0 &&
        fstatat(iFolder, sTo.c_str(), &file, AT_SYMLINK_NOFOLLOW) == 0 &&
        fstat(iFolder, &folder) == 0 && (folder.st_mode & S_ISVTX) != 0 &&
        file.st_uid != iAs && folder.st_uid != iAs) {
      return false;
    }
    if (sTo != sNoMove) return KmFileSystem::RenameAt(iFolder, sFrom, sTo);
    errno = EACCES;
    return false;
  }
  bool RemoveAt(int iFolder, const std::string& sName) override {
    if (iStop == kAtRecordRemoved && IsRecord(sName)) _exit(kStopped);
    if (iStop == kAtJournalRemoved && IsJournal(sName)) _exit(kStopped);
    if (bNoJournalRemoval && IsJournal(sName)) {
      errno = EACCES;
      return false;
    }
    if (IsStepFault()) return false;
    if (iStop == kKeepRecord && IsRecord(sName)) {
      errno = EACCES;
      return false;
    }
    bRecordRemoved = bRecordRemoved || IsRecord(sName);
    return KmFileSystem::RemoveAt(iFolder, sName);
  }
  ssize_t Write(int iFd, const void* pBuffer, size_t iBytes) override {
    if (iSteps >= 0 && (IsJournal(NameOf(iFd)) ||
                        NameOf(iFd).rfind("ClusteringResult-", 0) == 0)) {
      if (IsStepFault()) return -1;
    }
    if (iAfter < 0 || !Named(NameOf(iFd))) {
      return KmFileSystem::Write(iFd, pBuffer, iBytes);
    }
    const long iTaken = std::min(static_cast<long>(iBytes), iAfter.load());
    iAfter -= iTaken;
    if (iStop == kWhenFull && iTaken < static_cast<long>(iBytes)) {
      KmFileSystem::Write(iFd, pBuffer, iTaken);
      _exit(kStopped);
    }
    errno = ENOSPC;
    return iTaken == 0 ? -1 : KmFileSystem::Write(iFd, pBuffer, iTaken);
  }
  // A clustering result file's journal, or a lock file, only where sPrefix
  // names journals or lock files.
  bool Named(const std::string& sName) const {
    const auto Kept = [&](const char* sKind) {
      return sName.find(sKind) == std::string::npos ||
             sPrefix.find(sKind) != std::string::npos;
    };
    return !sPrefix.empty() && sName.rfind(sPrefix, 0) == 0 &&
           Kept(".journal") && Kept(".lock");
  }
  static bool IsRecord(const std::string& sName) {
    return sName == "out.commit" || sName == "ages.commit";
  }
  std::string sPrefix;
  std::string sNoMove;
  std::atomic<long> iAfter;
  int iStop;
  int iRenames = 0;
};

// The clustering example's result file, from the top folder.
const char* const kClusteringResult =
    "examples/clustering/output/ClusteringResult-KBIC-CBIC-Type-unordered.txt";

// Copies the example folder sFolder, less its results files, into dir's
// examples/ with an empty output/; returns the copy's path.
fs::path CopyExample(const std::string& sFolder,
                     const km_test::ScratchDir& dir) {
  const fs::path example = fs::path(dir.Path()) / "examples" / sFolder;
  fs::create_directories(example / "output");
  for (const fs::directory_entry& entry :
       fs::directory_iterator(fs::path(KM_EXAMPLES) / sFolder)) {
    if (entry.is_regular_file() && entry.path().extension() != ".kmo") {
      fs::copy_file(entry.path(), example / entry.path().filename());
    }
  }
  return example;
}

// The bytes of every regular file of dir, by name.
std::map<std::string, std::string> Contents(const km_test::ScratchDir& dir) {
  std::map<std::string, std::string> contents;
  for (const std::string& sName : Files(dir)) {
    if (fs::is_regular_file(dir.File(sName))) {
      contents[sName] = ReadAll(dir.File(sName));
    }
  }
  return contents;
}

// The inode of the file at sPath (0 when there is none).
ino_t Inode(const std::string& sPath) {
  struct stat info;
  return lstat(sPath.c_str(), &info) == 0 ? info.st_ino : 0;
}

// Fault: a failed run removed the finished analysis under its names (a
// mistyped run file, the data or session file given as the run file, a bad
// option), wrote its error file over a results file when its run file could
// not be read, and kept what it had moved into place before it failed (the
// results file and saved session before every cohort was refused, the first
// exports before a full disk). Now, at every stage, every file stays.
TEST(KinkmarkRun, AFailedRunChangesNoFileItFound) {
  const std::string sJob =
      "[Kinkmark Input Files]\nSession File = run.ini\nRun Options File = "
      "options.ini\nExport Options File = options.ini\nData File = ";
  const struct {
    const char* sRunFile;
    std::string sBody;   // "": no such file; "/": a folder; "-": as it is
    const char* sExtra;  // "name=bytes" written first ("name=": results)
    const char* sFullDisk;
    int iStatus;
    const char* sMessage;
    const char* sNoMove = "";  // the rename onto this name is refused
    const char* sMoved = "";   // the error file's names of those moved
    long iFullAfter = -1;      // the disk fills after these bytes of the file
    bool bNoSync = false;      // the files of sFullDisk cannot be synced
  } cases[] = {
      // Fault: the commit record was written past the file-system layer: a
      // full disk left an empty record, a failed sync a whole one, and the
      // next run took it for a run stopped part-way.
      {"run.job", sJob + "run.csv", "", "run.commit", 2,
       "Unable to write the file \"run.commit\": No space left", "", "", 30},
      {"run.job", sJob + "run.csv", "", "run.commit", 2,
       "Unable to write the file \"run.commit\": Input/output error", "", "",
       1 << 20, true},
      {"run.job", sJob + "run.csv", "", "run.lock", 2,
       "The folder \".\" of the run's outputs cannot be written (the lock "
       "file \"run.lock\" cannot be created in it): Read-only file system."},
      {"run.inn", "", "", "", 2, "The run file \"run.inn\" does not exist"},
      {"run.dir", "/", "", "", 2, "Unable to open file"},
      {"run.nul", std::string("[Kinkmark\0", 10), "run.ErrorFile.txt=", "", 3,
       "written: the file \"run.ErrorFile.txt\" is not an error file"},
      // Fault: the data file given as the run file was refused as a
      // session file.
      {"run.csv", "-", "", "", 1,
       "Error: The file \"run.csv\" given as the run file is no run file: a "
       "run file names the session file and the data file in its section "
       "[Kinkmark Input Files], and this file names no session file.\n"},
      {"run.ini", "-", "", "", 2, "Error: Data file \"run.ini\", line 1"},
      {"run.job", sJob + "run.csv", "options.ini=[Session Options]\nmodel=x",
       "", 2, "\"x\""},
      {"run.job", sJob + "run.csv", "run.ini=[Datafile Options]\n", "", 2,
       "Session Parameters]\" not found"},
      {"run.job", sJob + "d.csv", "d.csv=1\t2000\n", "", 2, "has 2 fields"},
      {"run.job", sJob + "d.csv", "d.csv=1\t2000\t1\t0\n1\t2001\t2\t0\n", "", 2,
       "could not be fitted"},
      {"run.job", sJob + "run.csv", "", "run.apcexport.txt.", 2,
       "Unable to write the file \"run.apcexport.txt\": No space left"},
      // Fault: the error file said only that every output "may be this
      // run's or an earlier run's", and then not which were the earlier's.
      {"run.job", sJob + "run.csv", "", "", 2,
       "this run's; \"run.apcexport.txt\", \"run.aapcexport.txt\", "
       "\"run.finalselectedmodelexport.txt\", \"run.permtestexport.txt\" and "
       "\"run.RunSummary.txt\" are from before it (an earlier run's outputs, "
       "or other files).",
       "run.apcexport.txt",
       "are not all of one run: the run failed while it moved its outputs "
       "into place. \"run.kmo\", \"run.kms\", \"run.report.txt\" and "
       "\"run.dataexport.txt\" are this run's; "},
      // Fault: a disk full part-way named the partial file the run removes.
      {"run.job", sJob + "run.csv", "", "run.dataexport.txt.", 2,
       "Unable to write the file \"run.dataexport.txt\": No space left", "", "",
       40},
      // Fault: a device as run file was read, and the run wrote beside it.
      {"dev.ini", "@/dev/null", "", "", 5, "\"dev.ini\" is not a regular file"},
  };
  // A finished analysis, its saved session also under the failed runs' name,
  // and an unrelated results file.
  km_test::ScratchDir finished;
  CopyFixtures(finished);
  fs::rename(finished.File("session.ini"), finished.File("run.ini"));
  fs::rename(finished.File("rates.txt"), finished.File("run.csv"));
  WriteAll(finished.File("job.ini"), sJob + "run.csv\nOutput File = run.kmo");
  ASSERT_EQ(RunKinkmark(finished, "job.ini").iStatus, 0);
  fs::copy_file(finished.File("job.kms"), finished.File("run.kms"));
  fs::copy_file(finished.File("run.kmo"), finished.File("other.kmo"));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.sRunFile) + c.sExtra + c.sFullDisk);
    km_test::ScratchDir dir;
    fs::copy(finished.Path(), dir.Path());
    const std::string sExtra = c.sExtra;
    const size_t iEqual = sExtra.find('=');
    if (iEqual != std::string::npos) {
      WriteAll(dir.File(sExtra.substr(0, iEqual)),
               iEqual + 1 == sExtra.size() ? ReadAll(dir.File("run.kmo"))
                                           : sExtra.substr(iEqual + 1));
    }
    if (c.sBody == "/") fs::create_directory(dir.File(c.sRunFile));
    if (c.sBody[0] == '@') {
      fs::create_symlink(c.sBody.substr(1), dir.File(c.sRunFile));
    } else if (c.sBody.size() > 1) {
      WriteAll(dir.File(c.sRunFile), c.sBody + "\n");
    }
    std::map<std::string, std::string> before = Contents(dir);
    // The outputs moved before the refused rename, by their inodes.
    std::map<std::string, ino_t> moved;
    const std::string sMoved = c.sMoved;
    const std::regex quoted("\"([^\"]+)\"");
    for (auto it = std::sregex_iterator(sMoved.begin(), sMoved.end(), quoted);
         it != std::sregex_iterator(); ++it) {
      moved[(*it)[1]] = Inode(dir.File((*it)[1]));
    }
    FaultyFileSystem full(c.sFullDisk, c.iFullAfter, c.sNoMove);
    full.bNoSync = c.bNoSync;
    const RunResult result = RunInProcess(full, dir, c.sRunFile);
    EXPECT_EQ(result.iStatus, c.iStatus);
    EXPECT_NE(result.sConsole.find(c.sMessage), std::string::npos)
        << result.sConsole;
    std::map<std::string, std::string> after = Contents(dir);
    if (c.iStatus == 2) {
      EXPECT_NE(after["run.ErrorFile.txt"].find(
                    "names (\"run.kmo\", \"run.report.txt\", \"run.data"),
                std::string::npos);
      EXPECT_NE(after["run.ErrorFile.txt"].find(c.sMoved), std::string::npos)
          << after["run.ErrorFile.txt"];
      after.erase("run.ErrorFile.txt");
    }
    // The outputs moved are new files (the results file among them); every
    // other file stays byte for byte.
    for (const auto& [sName, iInode] : moved) {
      EXPECT_NE(Inode(dir.File(sName)), iInode) << sName;
      before.erase(sName);
      after.erase(sName);
    }
    EXPECT_EQ(after.count("run.kmo") == 0, *c.sNoMove != '\0');
    EXPECT_TRUE(after == before);
  }
}

// AddressSanitizer's call that empties its quarantine and returns its free
// memory to the system; null where the build has no sanitizer.
extern "C" void __sanitizer_purge_allocator() __attribute__((weak));

// Runs sRunFile in dir in a child process whose files are made through
// fileSystem; the child's exit status.
int RunInChild(KmFileSystem& fileSystem, const km_test::ScratchDir& dir,
               const std::string& sRunFile) {
  std::fflush(stdout);
  std::fflush(stderr);
  // Under AddressSanitizer this process holds the freed blocks of every run
  // before in its quarantine, hundreds of megabytes that each child would
  // copy page by page as it allocates: they are released first. The
  // child's own frees are quarantined as ever.
  if (__sanitizer_purge_allocator != nullptr) __sanitizer_purge_allocator();
  const pid_t pid = fork();
  if (pid == 0) _exit(RunInProcess(fileSystem, dir, sRunFile).iStatus);
  int iRaw = 0;
  waitpid(pid, &iRaw, 0);
  return WIFEXITED(iRaw) ? WEXITSTATUS(iRaw) : -1;
}

// Fault: a run killed while it moved its outputs into place left some of
// them new and the rest an earlier run's, no error file, and the next run
// swept its partial files without a word. The next run of those outputs
// now finishes the moves first and says so (here it then fails itself at
// its run summary, so what the stopped run left is seen), or, when it does
// not write what is left to move, refuses having changed nothing.
// Fault: a clustering run stopped in its last step had moved its outputs
// before it appended its block, and one stopped in the append left a cut-off
// block that the next run kept. The block is appended first; the next run
// keeps a whole block and cuts a cut-off one back.
TEST(KinkmarkRun, ARunStoppedInItsLastStepIsFinishedByTheNext) {
  km_test::ScratchDir lone;
  CopyFixtures(lone);
  ASSERT_EQ(RunKinkmark(lone, "run.ini").iStatus, 0);
  using Faulty = FaultyFileSystem;
  const std::string sCluster = "examples/clustering/run.ini";
  const struct {
    int iStop;
    std::string sNextRun;  // the clustering example's: its block checked
    const char* sConsole;  // "": the next run says nothing of it
    bool bFinished;        // the stopped run's outputs are all in place
    int iStatus = Faulty::kStopped;  // of the run stopped (or failed)
    long iAfter = 100;  // its disk fills after these bytes of its block
    // Another clustering run appends before the next: 1 a block of its own,
    // 2 one the stopped run's block begins with (its first cohort group's);
    // 3 the file is replaced by a copy of itself.
    int iBetween = 0;
    const char* sStoppedError = "";  // in the stopped run's error file
    int iNextStop = -4;              // the next run's fault (Faulty::iStop)
    const char* sRunFile = "";  // the clustering run file copied to this name
    int iBusyLocks = 0;  // the next run's clustering lock, tried at once,
                         // refused so often (-1: until it waits)
  } cases[] = {
      // The next run waits for the lock of the file it cuts back, and says
      // so (fault: in silence).
      {Faulty::kWhenFull, sCluster,
       "The run waits for the lock of the clustering result file", true,
       Faulty::kStopped, 100, 0, "", -4, "", -1},
      // A folder sync refused while the next run finishes the step: the
      // record stays for the run after it.
      {0, "run.ini", "Unable to write the file \".\": Input/output error", true,
       Faulty::kStopped, 100, 0, "", Faulty::kNoFolderSync},
      {0, sCluster,
       "The clustering result file \"examples/clustering/output/"
       "ClusteringResult-KBIC-CBIC-Type-unordered.txt\" is not the file that "
       "run appended to (another device and inode): it was left as it is.",
       true, Faulty::kStopped, 100, 3},
      // Fault: a run that could not remove its record, or sync its folders
      // once it had moved its outputs, ended with status 0 and said nothing.
      {Faulty::kKeepRecord, "run.ini", "every one had reached its name", true,
       2, 100, 0, "its commit record could not be removed: "},
      {Faulty::kNoFolderSync, "run.ini", "every one had reached its name", true,
       2, 100, 0, "the folder \""},
      // Fault: a failed sync of the folder of a removed record was reported
      // as a record that could not be removed.
      {Faulty::kNoSyncOfRemoval, "run.ini", "", true, 2, 100, 0,
       "the folder of its removed commit record could not be synced: "},
      // Fault: a run stopped before any byte of its block had the next run
      // cut off the block another run appended since.
      {Faulty::kWhenFull, sCluster,
       "Its clustering block is not in \"examples/clustering/output/"
       "ClusteringResult-KBIC-CBIC-Type-unordered.txt\" (bytes 8192 to ",
       true, Faulty::kStopped, 0, 1},
      // Fault: the whole block of another run that the stopped run's block
      // begins with (of one of its cohort groups) was taken for a cut-off
      // block of the stopped run and cut off.
      {Faulty::kWhenFull, sCluster,
       "it was cut off, and a run that found it so has cut it away.", true,
       Faulty::kStopped, 0, 2},
      {Faulty::kAtRecordCreated, "run.ini", "", false},
      {0, "run.ini", "this run moved the rest of them into place first", true},
      {3, "run.ini", "first (\"out.dataexport.txt\", ", true},
      {Faulty::kAtRecordRemoved, "run.ini", "every one had reached its name",
       true},
      {0, "other.ini",
       "(its record \"out.commit\" is there): it names \"run.kms.", false},
      {Faulty::kWhenFull, sCluster,
       "Its clustering block in \"examples/clustering/output/"
       "ClusteringResult-KBIC-CBIC-Type-unordered.txt\" was not whole: this "
       "run cut that file back from 8292 to the 8192 bytes it held before ",
       true},
      // Fault: it said the block "was not whole" and cut back to its length.
      {Faulty::kWhenFull, sCluster, "No byte of its clustering block", true,
       Faulty::kStopped, 0},
      {0, sCluster, "(\"examples/clustering/output/ages.kmo\", ", true},
      {Faulty::kAtRecordRemoved, sCluster,
       "every one had reached its name, so the files under these names are "
       "all of that run. Its clustering block in \"examples/clustering/"
       "output/ClusteringResult-KBIC-CBIC-Type-unordered.txt\" is whole "
       "(bytes 8192 to ",
       true},
      // Fault: its whole block, synced before the kill, was called "not
      // whole" and cut away, and its outputs moved into place without it.
      {Faulty::kAtJournalRemoved, sCluster,
       "ClusteringResult-KBIC-CBIC-Type-unordered.txt\" was whole (bytes 8192 "
       "to ",
       true},
      // Fault: a run file whose name held a line break left a journal and a
      // record (its saved session's partial name) that every run refused.
      {Faulty::kWhenFull, sCluster,
       "was not whole: this run cut that file back from 8292 to the 8192 "
       "bytes it held before ",
       true, Faulty::kStopped, 100, 0, "", -4, "a\nlength 0 1 1.ini"},
      // Its names are shown on one line, their controls escaped.
      {1, sCluster, "first (\" \\r\\nend 0123456789abcdef\\n.kms\", ", true,
       Faulty::kStopped, 100, 0, "", -4, " \r\nend 0123456789abcdef\n.ini"},
      // A backslash (a folder's mark) before what reads as an escape.
      {0, sCluster,
       "(\"examples/clustering/output/ages.kmo\", "
       "\"examples\\clustering\\\\x0a.kms\", ",
       true, Faulty::kStopped, 100, 0, "", -4, "examples\\clustering\\x0a.ini"},
  };
  // The clustering example's whole block, as a run through writes it.
  km_test::ScratchDir whole;
  CopyExample("clustering", whole);
  ASSERT_EQ(RunKinkmark(whole, sCluster).iStatus, 0);
  const std::string sBlock = ReadAll(whole.File(kClusteringResult));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.iStop) + c.sNextRun + c.sRunFile);
    km_test::ScratchDir dir;
    const bool bClustering = c.sNextRun == sCluster;
    const std::string sRunFile = *c.sRunFile != '\0' ? c.sRunFile : sCluster;
    // Its name on disk: a backslash parts folders as "/" does.
    const auto Native = [](std::string sName) {
      std::replace(sName.begin(), sName.end(), '\\', '/');
      return sName;
    };
    const std::string sResult = dir.File(kClusteringResult);
    const std::string sEarlier(8192, 'x');
    if (bClustering) {
      CopyExample("clustering", dir);
      WriteAll(dir.File(Native(sRunFile)), ReadAll(dir.File(sCluster)));
      WriteAll(sResult, sEarlier);
    } else {
      CopyFixtures(dir);
      fs::copy_file(dir.File("run.ini"), dir.File("other.ini"));
      for (const std::string& sName : Files(lone)) {
        if (!fs::exists(dir.File(sName))) {
          WriteAll(dir.File(sName), "earlier\n");
        }
      }
    }
    const bool bInAppend = c.iStop == Faulty::kWhenFull;
    Faulty stopping(bInAppend ? "ClusteringResult-" : "",
                    bInAppend ? c.iAfter : -1, "", c.iStop);
    if (RunInChild(stopping, dir, bClustering ? sRunFile : "run.ini") !=
        c.iStatus) {
      ADD_FAILURE() << "the run was not stopped";
      continue;
    }
    EXPECT_NE(ReadAll(dir.File("run.ErrorFile.txt")).find(c.sStoppedError),
              std::string::npos);
    // As a clustering run of other data into other outputs appends: it
    // finds the stopped run's journal, with nothing to cut, and removes it.
    if (c.iBetween > 0) {
      fs::remove(sResult + ".journal");
      if (c.iBetween == 3) {
        WriteAll(sResult + ".new", ReadAll(sResult));
        fs::rename(sResult + ".new", sResult);
      } else {
        WriteAll(sResult, sEarlier + (c.iBetween == 1
                                          ? "another run's block\n"
                                          : sBlock.substr(
                                                0, sBlock.find("\nlKMax", 1))));
      }
    }
    const std::string sBetween = ReadAll(sResult);
    const std::map<std::string, std::string> stopped = Contents(dir);
    Faulty full(bClustering ? "ages.RunSummary.txt." : "out.RunSummary.txt.",
                -1, "", c.iNextStop);
    full.iBusyLocks = c.iBusyLocks;
    const RunResult next =
        RunInProcess(full, dir, bClustering ? sRunFile : c.sNextRun);
    const bool bNextFails = c.iNextStop != -4;
    EXPECT_EQ(next.iStatus, 2);
    EXPECT_EQ(next.sConsole.find("was stopped") != std::string::npos,
              *c.sConsole != '\0' && !bNextFails)
        << next.sConsole;
    EXPECT_NE(next.sConsole.find(c.sConsole), std::string::npos)
        << next.sConsole;
    // Fault: its error file said every file under its names was left as it
    // was, though it had moved the stopped run's outputs into place.
    const std::string sError = ReadAll(dir.File(
        bClustering
            ? Native(sRunFile.substr(0, sRunFile.size() - 4)) + ".ErrorFile.txt"
            : "run.ErrorFile.txt"));
    EXPECT_EQ(sError.find("which this run moved into place first (\"") !=
                  std::string::npos,
              next.sConsole.find("moved the rest") != std::string::npos)
        << sError;
    // The record and partial files stay only for the run that can finish
    // them.
    const bool bLeft = (!c.bFinished && c.iStop == 0) || bNextFails;
    EXPECT_EQ(fs::exists(dir.File(bClustering ? "examples/clustering/output/"
                                                "ages.commit"
                                              : "out.commit")),
              bLeft);
    for (const std::string& sName : Files(dir)) {
      EXPECT_TRUE(bLeft || sName.find(".partial") == std::string::npos)
          << sName;
    }
    if (bClustering) {
      const std::string sNow = ReadAll(sResult);
      EXPECT_EQ(sNow.rfind(sEarlier, 0), 0u);
      EXPECT_EQ(sNow.size() > sEarlier.size(), !bInAppend || c.iBetween > 0);
      EXPECT_TRUE(c.iBetween == 0 || sNow == sBetween);
      continue;
    }
    if (!c.bFinished) {
      for (const auto& [sName, sBytes] : Contents(dir)) {
        if (sName.find("ErrorFile") != std::string::npos) continue;
        const auto found = stopped.find(sName);
        EXPECT_TRUE(found != stopped.end() && found->second == sBytes) << sName;
      }
      continue;
    }
    for (const std::string& sName : Files(lone)) {
      const std::string sWritten = ReadAll(dir.File(sName));
      EXPECT_NE(sWritten, "earlier\n") << sName;
      if (sName != "out.RunSummary.txt" && sName != "out.dat") {
        EXPECT_EQ(sWritten, ReadAll(lone.File(sName))) << sName;
      }
    }
  }
}

// Fault: only the next run of a stopped run's outputs cut its cut-off block
// away, deciding by the bytes: blocks of one session's data begin alike, so
// it cut away another run's whole block after a stopped run that had written
// none, and left a cut-off block between whole ones when another run had
// appended since. Whoever takes the file's lock next now cuts the file back
// to the length the stopped run's journal names, and refuses a journal that
// proves nothing. Runs: 1 the clustering example, 2 its first 80 lines, 3
// its last 80 (other outputs, one result file); each may be killed once it
// has written some bytes of its block; 4 is 3 under a run file name whose
// line breaks, backslashes and blanks the journal must hold. Fault: a run
// file name with a line break left a journal that every run refused.
TEST(KinkmarkRun, ACutOffClusteringBlockIsCutAwayByWhoeverAppendsNext) {
  // How a run of a step ends, where it is not killed once it has written
  // that many bytes (0 or more) of its block.
  enum Stop : long {
    kRunsThrough = -1,
    kKilledAsJournalGoes = -2,  // its block synced
    kFullCannotCutBack = -3,    // its disk full after 100 bytes of its block
    kFullCannotSync = -4,       // ... cut back, but not synced
    kJournalNotRemoved = -5,    // its journal's removal refused
    kFirstSyncFails = -6,       // the clustering result file's first sync
  };
  // What is done before the last step.
  enum Edit {
    kAsLeft,
    kJournalEdited,
    kFileReplaced,
    kFileReplacedUntimed,  // ... where the file system tells no birth time
    kFileCutShort,
    kLongerBackupInPlace,  // a longer backup restored in place
    kOtherBytesInPlace,    // as long, other bytes
    kFileBornLater,        // the file born after the journal
    kJournalUnreadable,
    kJournalCutBeforeLastLine,
    kLineAfterLastLine,
    kOtherAccounts,
    kVersionBefore,  // the journal as the version before this one wrote it
    kNoRunFileLine,  // whole, without its run file line
  };
  const struct {
    // Runs in order, each with how it ends.
    std::vector<std::pair<char, long>> steps;
    const char* sBlocks;   // the file after the last step: 'E' its earlier
                           // bytes, '1'..'3' a run's whole block; "" as before
    const char* sConsole;  // the last step's
    Edit edit = kAsLeft;
  } cases[] = {
      {{{'1', 0}, {'2', kRunsThrough}, {'3', 281}, {'1', kRunsThrough}},
       "E21",
       "a run of \"examples/clustering/r3.ini\" into \"examples/clustering/"
       "output/ages3.kmo\" that stopped while it appended its block: this run "
       "cut that file back from "},
      {{{'1', 1276}, {'2', kRunsThrough}, {'1', kRunsThrough}},
       "E21",
       "it was cut off, and a run that found it so has cut it away."},
      {{{'1', 500}, {'3', 300}, {'2', kRunsThrough}}, "E2", "r3.ini"},
      {{{'1', 0}, {'2', kRunsThrough}},
       "E2",
       "no byte of that block had reached"},
      {{{'1', 700}, {'1', kRunsThrough}},
       "E1",
       "was not whole: this run cut that file "
       "back from 708 to the 8 bytes it held before"},
      {{{'1', 700}, {'2', kRunsThrough}},
       "",
       "proves nothing: it is not whole",
       kJournalEdited},
      {{{'1', 700}, {'1', kRunsThrough}},
       "",
       "it names another file",
       kFileReplaced},
      {{{'1', 700}, {'1', kRunsThrough}},
       "",
       "it names another file (another device and inode)",
       kFileReplacedUntimed},
      {{{'1', 700}, {'2', kRunsThrough}},
       "",
       "it names 8 bytes before its block",
       kFileCutShort},
      {{{'1', 500}, {'4', 300}, {'2', kRunsThrough}},
       "E2",
       "a run of \"examples\\clustering\\\\x0a\\r\\nrun file x\\n.ini\" "
       "into \"examples/clustering/output/ages3.kmo\" that stopped"},
      // Fault: a backup restored over the stopped run's file, in place or
      // at its freed inode, was cut back to the journal's length.
      {{{'1', 700}, {'2', kRunsThrough}},
       "",
       "proves nothing: it names another file (that file holds ",
       kLongerBackupInPlace},
      {{{'1', 700}, {'2', kRunsThrough}},
       "",
       "do not hold its block's checksum",
       kOtherBytesInPlace},
      {{{'1', 700}, {'2', kRunsThrough}},
       "",
       "born after the journal",
       kFileBornLater},
      // Fault: a journal that could not be read was "not a journal".
      {{{'1', 700}, {'2', kRunsThrough}},
       "",
       "it could not be read: Input/output",
       kJournalUnreadable},
      // Fault: a block synced whole before its run was killed was cut away.
      {{{'1', kKilledAsJournalGoes}, {'2', kRunsThrough}, {'1', kRunsThrough}},
       "E121",
       "is whole (bytes 8 to "},
      {{{'1', kKilledAsJournalGoes}, {'2', kRunsThrough}},
       "E12",
       "that block was whole (bytes 8 to "},
      {{{'1', kKilledAsJournalGoes}, {'1', kRunsThrough}},
       "E11",
       "kept it and removed its journal"},
      // A journal cut before its last line: its run wrote no byte of its
      // block; the journal goes, nothing is cut.
      {{{'1', 0}, {'2', kRunsThrough}}, "E2", "", kJournalCutBeforeLastLine},
      // Fault: one written past its last line was taken for one cut before
      // it: removed, and the torn block left in the file for good.
      {{{'1', 700}, {'2', kRunsThrough}},
       "",
       "it holds lines after its last line",
       kLineAfterLastLine},
      {{{'1', 700}, {'2', kRunsThrough}},
       "",
       "it is not this account's own",
       kOtherAccounts},
      // Fault: a journal of the version before this one, which names no
      // block, was one whose "lines are not those of a journal".
      {{{'1', 700}, {'2', kRunsThrough}},
       "",
       "Type-unordered.txt.journal\" of a run that stopped while it appended "
       "its block: it is a journal of another version of this program; this "
       "run appended nothing to that file and cut nothing back. Run that run's "
       "run file \"examples/clustering/run.ini\" again with the version of "
       "the program that wrote the journal, which cuts that file back",
       kVersionBefore},
      {{{'1', 700}, {'2', kRunsThrough}},
       "",
       "that proves nothing: its lines are not those of a journal",
       kNoRunFileLine},
      // A block its run could not cut back, or not sync so, keeps its
      // journal for the next run.
      {{{'1', kFullCannotCutBack}, {'2', kRunsThrough}},
       "E2",
       "this run cut that file back from 108 to the 8 bytes"},
      {{{'1', kFullCannotSync}}, "", "; the part written could not be removed"},
      // Fault: a journal that could not be removed beside a whole block was
      // left there by a run that ended well.
      // A cut back that cannot be synced keeps the journal that asks for
      // it, and the run fails: the next run finds no byte of the block left.
      {{{'1', 700}, {'2', kFirstSyncFails}, {'2', kRunsThrough}},
       "E2",
       "no byte of that block had reached the file (it holds the 8 bytes"},
      {{{'1', kJournalNotRemoved}},
       "",
       "output/ClusteringResult-KBIC-CBIC-Type-unordered.txt.journal\": "
       "Permission denied"},
  };
  const std::string sFolder = "examples/clustering/";
  // A backslash parts folders as "/" does.
  const std::string sAwkward = "x0a\r\nrun file x\n.ini";
  const auto MakeRuns = [&sFolder, &sAwkward](const km_test::ScratchDir& dir) {
    CopyExample("clustering", dir);
    const std::string sData = ReadAll(dir.File(sFolder + "ages.csv"));
    const size_t iHalf = sData.find("\n2,") + 1;
    for (const char* sRun : {"2", "3"}) {
      WriteAll(dir.File(sFolder + "ages" + sRun + ".csv"),
               *sRun == '2' ? sData.substr(0, iHalf) : sData.substr(iHalf));
      WriteAll(dir.File(sFolder + "r" + sRun + ".ini"),
               "[Kinkmark Input Files]\nSession File = " + sFolder +
                   "ages.kms\nData File = " + sFolder + "ages" + sRun +
                   ".csv\nExport Options File = " + sFolder +
                   "export-options.ini\nOutput File = " + sFolder +
                   "output/ages" + sRun + ".kmo\n");
    }
    WriteAll(dir.File(sFolder + sAwkward),
             ReadAll(dir.File(sFolder + "r3.ini")));
  };
  const auto RunFile = [&sFolder, &sAwkward](char cRun) {
    if (cRun == '4') return "examples\\clustering\\" + sAwkward;
    return sFolder +
           (cRun == '1' ? "run.ini" : std::string("r") + cRun + ".ini");
  };
  // Each run's block, from runs one after another on one file.
  km_test::ScratchDir lone;
  MakeRuns(lone);
  std::map<char, std::string> blocks = {{'E', "earlier\n"}};
  size_t iBefore = 0;
  for (char cRun : {'1', '2', '3'}) {
    ASSERT_EQ(RunKinkmark(lone, RunFile(cRun)).iStatus, 0);
    const std::string sFile = ReadAll(lone.File(kClusteringResult));
    blocks[cRun] = sFile.substr(iBefore);
    iBefore = sFile.size();
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    km_test::ScratchDir dir;
    MakeRuns(dir);
    const std::string sResult = dir.File(kClusteringResult);
    WriteAll(sResult, blocks['E']);
    RunResult last{0, ""};
    std::string sBefore;
    for (const auto& [cRun, iStop] : c.steps) {
      const std::string sJournal = sResult + ".journal";
      std::string sText = ReadAll(sJournal);
      // Made before a step that is not killed inside its block.
      const Edit edit = iStop < 0 ? c.edit : kAsLeft;
      if (edit == kJournalEdited) {
        sText[sText.find("length ") + 7] ^= 1;
        WriteAll(sJournal, sText);
      }
      if (edit == kFileReplaced || edit == kFileReplacedUntimed) {
        WriteAll(sResult + ".new", ReadAll(sResult));
        fs::rename(sResult + ".new", sResult);
      }
      if (edit == kFileCutShort) fs::resize_file(sResult, 5);
      if (edit == kLineAfterLastLine) WriteAll(sJournal, sText + "x\n");
      if (edit == kVersionBefore || edit == kNoRunFileLine) {
        const size_t iLine =
            sText.find(edit == kVersionBefore ? "\nblock " : "\nrun file ") + 1;
        sText.erase(iLine, sText.find('\n', iLine) + 1 - iLine);
        sText.erase(sText.rfind("end "));
        WriteAll(sJournal,
                 sText + "end " + CommitChecksum(sText, sText.size()) + "\n");
      }
      if (edit == kJournalCutBeforeLastLine) {
        WriteAll(sJournal, sText.substr(0, sText.rfind("end ") + 2));
      }
      // Written over the file's bytes, at its inode.
      if (edit == kLongerBackupInPlace || edit == kOtherBytesInPlace) {
        std::string sBackup = blocks['E'] + blocks['1'] + blocks['2'];
        if (edit == kOtherBytesInPlace) sBackup = blocks['E'] + blocks['1'];
        if (edit == kOtherBytesInPlace) sBackup.back() ^= 1;
        std::ofstream(sResult, std::ios::binary | std::ios::in) << sBackup;
      }
      sBefore = ReadAll(sResult);
      const bool bKilled = iStop >= 0 || iStop == kKilledAsJournalGoes;
      const bool bFull =
          iStop >= 0 || iStop == kFullCannotCutBack || iStop == kFullCannotSync;
      FaultyFileSystem killing(
          bFull || iStop == kFirstSyncFails ? "ClusteringResult-" : "",
          iStop >= 0 ? iStop
          : bFull    ? 100
                     : -1,
          "",
          iStop == kKilledAsJournalGoes ? FaultyFileSystem::kAtJournalRemoved
          : iStop <= kFullCannotCutBack ? FaultyFileSystem::kNoStop
                                        : FaultyFileSystem::kWhenFull);
      killing.bBornLater = !bKilled && edit == kFileBornLater;
      killing.bNoBirthTime = !bKilled && edit == kFileReplacedUntimed;
      killing.bNoJournalRead = !bKilled && edit == kJournalUnreadable;
      killing.bOtherUserFromLock = !bKilled && edit == kOtherAccounts;
      killing.bNoCutBack = iStop == kFullCannotCutBack;
      killing.bNoSync = iStop == kFullCannotSync;
      killing.bNoFirstSync = iStop == kFirstSyncFails;
      killing.bNoJournalRemoval = iStop == kJournalNotRemoved;
      if (bKilled) {
        ASSERT_EQ(RunInChild(killing, dir, RunFile(cRun)),
                  FaultyFileSystem::kStopped);
      } else {
        last = RunInProcess(killing, dir, RunFile(cRun));
      }
    }
    EXPECT_EQ(last.iStatus, *c.sBlocks == '\0' ? 2 : 0) << last.sConsole;
    EXPECT_NE(last.sConsole.find(c.sConsole), std::string::npos)
        << last.sConsole;
    std::string sExpected = *c.sBlocks == '\0' ? sBefore : "";
    for (const char* p = c.sBlocks; *p != '\0'; ++p) sExpected += blocks[*p];
    EXPECT_EQ(ReadAll(sResult), sExpected);
    EXPECT_EQ(fs::exists(sResult + ".journal"), *c.sBlocks == '\0');
  }
}

// Fault: the next run obeyed any record under its outputs' commit record's
// name whose lines had the right shape: one cut, edited or written by hand
// cut the clustering result file, removed the results file or moved another
// account's file into place. A record is now obeyed only where it proves
// itself; else the run is refused, every file as it was. One cut before its
// last line is a record of a step that never began: nothing is moved.
TEST(KinkmarkRun, ARecordIsObeyedOnlyWhereItProvesItself) {
  enum Edit {
    kLastLineCut,
    kLineAfterLast,
    kMoveLineCut,
    kOtherFirstLine,
    kVersionFour,
    kRemovesResults,
    kRemovesReport,
    kOtherAccount,
    kOtherPartial,
    kAppendsElsewhere,
    kPartialLinked,
    kRemovesMoved,
    kOtherAccountsFolder
  };
  const struct {
    Edit edit;
    const char* sWhy;          // "": the record is not refused
    bool bBlockNamed = false;  // the refusal says where its block is
  } cases[] = {
      {kLastLineCut, ""},
      // Fault: a whole record written past its last line was taken for one
      // cut before it and removed, its step left half done.
      {kLineAfterLast, "it holds lines after its last line"},
      // Fault: the advice to run that run file again gave the same refusal.
      {kMoveLineCut,
       "match its lines); this run moved and removed nothing. "
       "Check the files under its output names and remove"},
      {kOtherFirstLine,
       "another version of this program; this run moved and removed nothing. "
       "Run that run's run file again with the version of the program"},
      // Its names are as they are, not escaped: read by that version only.
      {kVersionFour, "another version of this program; this run moved"},
      {kRemovesResults, "output/ages.kmo\", which is no export of this run",
       true},
      {kRemovesReport, "ages.report.txt\", which is no export of this run",
       true},
      {kOtherAccount, "it is not this account's own"},
      // Fault: the refusal did not say that the file holds its whole block.
      {kOtherPartial, "is not the file that run wrote", true},
      {kAppendsElsewhere, "Type-ordered.txt\", which is no clustering result"},
      {kPartialLinked, "is not the file that run wrote", true},
      {kRemovesMoved,
       "ages.apcexport.txt\", which is no export of this run that the run of",
       true},
      // Fault: the advice was to remove a record this account cannot remove.
      {kOtherAccountsFolder,
       "own; this run moved and removed nothing. It is another account's, in "
       "a folder of another account where only a file's owner may remove it: "
       "ask its owner"},
  };
  const std::string sOutput = "examples/clustering/output/";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.edit);
    km_test::ScratchDir dir;
    CopyExample("clustering", dir);
    FaultyFileSystem stopping("", -1, "", 0);
    ASSERT_EQ(RunInChild(stopping, dir, "examples/clustering/run.ini"),
              FaultyFileSystem::kStopped);
    const std::string sRecordFile = dir.File(sOutput + "ages.commit");
    std::string sRecord = ReadAll(sRecordFile);
    CommitPlan plan;
    std::string sWhy;
    ASSERT_EQ(CommitRecord::Parse(sRecord, plan, sWhy),
              CommitRecord::Found::kComplete);
    const size_t iMove = sRecord.find("\nmove ") + 1;
    if (c.edit == kLastLineCut) sRecord.erase(sRecord.rfind("end "));
    if (c.edit == kLineAfterLast) sRecord += "x\n";
    if (c.edit == kMoveLineCut) {
      sRecord.erase(iMove, sRecord.find('\n', iMove) + 1 - iMove);
    }
    // As a record of an earlier version of the program begins.
    if (c.edit == kOtherFirstLine || c.edit == kVersionFour) {
      sRecord = (c.edit == kVersionFour
                     ? "kinkmark commit record version 4 0123456789abcdef"
                     : "kinkmark commit record 0123456789abcdef") +
                sRecord.substr(sRecord.find('\n'));
    }
    // A sticky folder: only a file's owner, or the folder's, removes a file.
    if (c.edit == kOtherAccountsFolder) {
      fs::permissions(dir.File(sOutput), fs::perms::sticky_bit,
                      fs::perm_options::add);
    }
    // Edited by a run of this account: whole, but for no run of these
    // outputs.
    if (c.edit == kRemovesResults || c.edit == kRemovesReport) {
      plan.removals.emplace_back(
          (sOutput +
           (c.edit == kRemovesResults ? "ages.kmo" : "ages.report.txt"))
              .c_str());
    }
    if (c.edit == kAppendsElsewhere) {
      plan.sAppendedTo =
          (sOutput + "ClusteringResult-KBIC-CBIC-Type-ordered.txt").c_str();
    }
    if (c.edit == kRemovesMoved) {
      plan.removals.emplace_back((sOutput + "ages.apcexport.txt").c_str());
    }
    if (c.edit == kRemovesResults || c.edit == kRemovesReport ||
        c.edit == kAppendsElsewhere || c.edit == kRemovesMoved) {
      sRecord = CommitRecord::Text(plan);
    }
    WriteAll(sRecordFile, sRecord);
    // A second name of the partial file, where the record names its first.
    if (c.edit == kPartialLinked) {
      fs::create_hard_link(dir.File(plan.moves[2].sPartial.GetCString()),
                           dir.File("second name"));
    }
    if (c.edit == kOtherPartial) {
      const std::string sPartial =
          dir.File(plan.moves[2].sPartial.GetCString());
      WriteAll(sPartial + "x", "ATTACKER TEXT");
      fs::rename(sPartial + "x", sPartial);
    }
    // Every file but the error file; with a record not refused, but the
    // record and the partial files, which the next run removes.
    const auto Snapshot = [&dir, &c] {
      std::map<std::string, std::string> files;
      for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
        const std::string sName = entry.path().string();
        if (entry.is_regular_file() &&
            sName.find("ErrorFile") == std::string::npos &&
            (*c.sWhy != '\0' || (sName.find(".partial") == std::string::npos &&
                                 sName.find(".commit") == std::string::npos))) {
          files[sName] = ReadAll(sName);
        }
      }
      return files;
    };
    const std::map<std::string, std::string> before = Snapshot();
    FaultyFileSystem full("ages.RunSummary.txt.");
    full.bOtherUser = c.edit == kOtherAccount || c.edit == kOtherAccountsFolder;
    const RunResult next =
        RunInProcess(full, dir, "examples/clustering/run.ini");
    EXPECT_EQ(next.iStatus, 2);
    EXPECT_EQ(
        next.sConsole.find("(its record \"" + sOutput +
                           "ages.commit\" is there): ") == std::string::npos,
        *c.sWhy == '\0');
    EXPECT_NE(next.sConsole.find(c.sWhy), std::string::npos) << next.sConsole;
    EXPECT_EQ(next.sConsole.find("ClusteringResult-KBIC-CBIC-Type-unordered."
                                 "txt\" holds that run's whole clustering "
                                 "block, bytes 0 to ") != std::string::npos,
              c.bBlockNamed);
    EXPECT_TRUE(Snapshot() == before);
    EXPECT_EQ(fs::exists(sRecordFile), *c.sWhy != '\0');
  }
}

// Fault: a run without its report, an earlier one there, left a record
// every later run refused; a partial file removed by hand counted as moved,
// and the next run said the outputs were the stopped run's and removed
// earlier exports; a failed step whose record stayed said nothing; an
// earlier export with a second name, to remove, left a refused record. For
// every set of exports and a kill or failure at each operation of the step
// (the variants below), the next run obeys what is left, says "all of that
// run" and removes an earlier export only where they are. A clustering run,
// stopped at each operation of its journal, record and block and its first
// move, leaves its next run nothing to refuse: that run cuts away or keeps
// the block, and an output a killed run moved into place never goes
// without its block.
class EveryStopOfTheLastStep : public testing::TestWithParam<int> {};

TEST_P(EveryStopOfTheLastStep, IsFinishedOrReportedByTheNextRun) {
  const struct {
    const char* sName;
    int iEvery;          // for the sets of exports whose number it divides
    bool bFail = false;  // the operation fails; else the process ends there
    int iThenKill = 0;   // failed, then ended so many operations later
    bool bClustering = false;       // the clustering example's run
    bool bPartialsRemoved = false;  // by hand, after the kill
    bool bRecordKept = false;       // its removal refused as well
    bool bSecondName = false;       // the earlier aapcexport has one
  } variants[] = {
      {"killed", 1},
      {"failed", 1, true},
      {"killed, its partial files then removed", 8, false, 0, false, true},
      {"failed, its record's removal refused", 8, true, 0, false, false, true},
      {"killed, an earlier export with a second name", 8, false, 0, false,
       false, false, true},
      {"a clustering run killed", 32, false, 0, true},
      {"a clustering run failed", 32, true, 0, true},
      {"a clustering run failed, then killed at its next operation", 32, true,
       1, true},
  };
  const std::string keys[] = {"report", "data", "apc", "aapc", "ftest", ""};
  const std::string names[] = {"report.txt",         "dataexport.txt",
                               "apcexport.txt",      "aapcexport.txt",
                               "permtestexport.txt", "RunSummary.txt"};
  std::string sSwitches;
  for (int i = 0; i < 6; ++i) {
    if ((GetParam() >> i & 1) != 0)
      sSwitches += "export " + keys[i] + " = false\n";
  }
  km_test::ScratchDir earlier;
  km_test::ScratchDir done;  // the outputs of that run, all in place
  CopyFixtures(earlier);
  ASSERT_EQ(RunKinkmark(earlier, "run.ini").iStatus, 0);
  fs::rename(earlier.File("out.dat"), earlier.File("out.kmo"));
  WriteAll(earlier.File("ex.ini"),
           "[Kinkmark Input Files]\nData File = out.kmo\nExport Options File "
           "= ex.ini\n[Export Options]\n" +
               sSwitches);
  // The clustering example's, its result file and exports there before.
  const std::string sOutput = "examples/clustering/output/";
  CopyExample("clustering", earlier);
  const std::string sOptions =
      earlier.File("examples/clustering/export-options.ini");
  WriteAll(sOptions, ReadAll(sOptions) + sSwitches);
  WriteAll(earlier.File(kClusteringResult), "earlier\n");
  for (const std::string& sName : names) {
    WriteAll(earlier.File("out." + sName), "earlier\n");
    WriteAll(earlier.File(sOutput + "ages." + sName), "earlier\n");
  }
  fs::copy(earlier.Path(), done.Path(), fs::copy_options::recursive);
  // Each run's operations in its step, counted where it runs through.
  FaultyFileSystem exportOnly("");
  FaultyFileSystem clustering("");
  const bool bClustering = GetParam() % variants[5].iEvery == 0;
  for (FaultyFileSystem* pCounting : {&exportOnly, &clustering}) {
    if (pCounting == &clustering && !bClustering) continue;
    pCounting->bNoDiskSync = true;
    ASSERT_EQ(
        RunInProcess(
            *pCounting, done,
            pCounting == &exportOnly ? "ex.ini" : "examples/clustering/run.ini")
            .iStatus,
        0);
  }
  const std::string sBlocks = ReadAll(done.File(kClusteringResult));
  const std::string sTwoBlocks = sBlocks + sBlocks.substr(8);
  for (const auto& v : variants) {
    if (GetParam() % v.iEvery != 0) continue;
    const std::string sRunFile =
        v.bClustering ? "examples/clustering/run.ini" : "ex.ini";
    const std::string sOut = v.bClustering ? sOutput + "ages." : "out.";
    const std::string sRecord = sOut + "commit";
    // A clustering run's, through its first move: the moves and removals
    // after it are those of the export-only run.
    const int iPoints =
        v.bClustering ? clustering.iFirstRename + 1 : exportOnly.iStepsTaken;
    for (int iPoint = 0; iPoint < iPoints; ++iPoint) {
      SCOPED_TRACE(std::string(v.sName) + " at " + std::to_string(iPoint));
      km_test::ScratchDir dir;
      fs::copy(earlier.Path(), dir.Path(), fs::copy_options::recursive);
      if (v.bSecondName) {
        fs::create_hard_link(dir.File("out.aapcexport.txt"), dir.File("x"));
      }
      FaultyFileSystem stopping(
          "", -1, "", v.bRecordKept ? FaultyFileSystem::kKeepRecord : -4);
      stopping.iStepFault = iPoint;
      stopping.bFailStep = v.bFail;
      stopping.iThenKill = v.iThenKill;
      stopping.bNoDiskSync = true;
      const int iStatus = RunInChild(stopping, dir, sRunFile);
      if (iStatus == 2 && v.iThenKill > 0) continue;  // not stopped so
      for (const std::string& sName : Files(dir)) {
        if (v.bPartialsRemoved && sName.find(".partial") != std::string::npos) {
          fs::remove(dir.File(sName));
        }
      }
      const bool bRecord = !ReadAll(dir.File(sRecord)).empty();
      const std::string sJournal = dir.File(kClusteringResult) + ".journal";
      // A run that ends well leaves neither record nor journal.
      EXPECT_TRUE(iStatus != 0 || (!bRecord && !fs::exists(sJournal)));
      EXPECT_TRUE(iStatus != 2 || !bRecord ||
                  ReadAll(dir.File(sRunFile.substr(0, sRunFile.size() - 4) +
                                   ".ErrorFile.txt"))
                          .find("Its commit record \"" + sRecord + "\"") !=
                      std::string::npos);
      bool bMoved = false;  // an output of the stopped run is in place
      for (const std::string& sName : names) {
        bMoved = bMoved || ReadAll(dir.File(sOut + sName)) != "earlier\n";
      }
      // A clustering run that left neither record nor journal left its
      // block whole or not at all.
      const std::string sResult = dir.File(kClusteringResult);
      if (v.bClustering && !fs::exists(dir.File(sRecord)) &&
          !fs::exists(sJournal)) {
        EXPECT_TRUE(ReadAll(sResult) == sBlocks ||
                    ((!bMoved || v.bFail) && ReadAll(sResult) == "earlier\n"));
        continue;
      }
      // The next run writes no file of its own, or, of the clustering
      // example, appends as the next run does whoever's the journal.
      FaultyFileSystem full(v.bClustering ? "" : "out.");
      full.bNoDiskSync = true;
      const RunResult next = RunInProcess(full, dir, sRunFile);
      EXPECT_FALSE(fs::exists(dir.File(sRecord)));
      if (v.bClustering) {
        EXPECT_EQ(next.iStatus, 0) << next.sConsole;
        EXPECT_FALSE(fs::exists(sJournal));
        const std::string sNow = ReadAll(sResult);
        // A failed run's error file names the outputs it moved.
        EXPECT_TRUE(sNow == sTwoBlocks ||
                    ((!bMoved || v.bFail) && sNow == sBlocks));
        for (const std::string& sName : Files(dir)) {
          EXPECT_EQ(sName.find(".partial"), std::string::npos) << sName;
        }
        continue;
      }
      bool bAllOfIt = true;
      bool bEarlierKept = true;
      for (const std::string& sName : names) {
        const std::string sNow = ReadAll(dir.File("out." + sName));
        const std::string sDone = ReadAll(done.File("out." + sName));
        bAllOfIt = bAllOfIt && sNow == sDone;
        bEarlierKept = bEarlierKept && (!sDone.empty() || sNow == "earlier\n");
      }
      const bool bDisturbed =
          v.bPartialsRemoved || v.bRecordKept || v.bSecondName;
      EXPECT_TRUE(bAllOfIt || (bEarlierKept && (!bRecord || bDisturbed)));
      EXPECT_EQ(next.sConsole.find("all of that run") != std::string::npos,
                bRecord && bAllOfIt)
          << next.sConsole;
      // An earlier export with a second name is never removed.
      if (v.bSecondName) {
        EXPECT_TRUE(fs::exists(dir.File("out.aapcexport.txt")));
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EverySetOfExports, EveryStopOfTheLastStep,
                         testing::Range(0, 32));

// Fault: only the last name of each output was guarded, so a folder swapped
// for a link after the checks had every later output (results, exports,
// summary, or the saved session and error file of the run file's folder)
// moved into the folder the link reached, replacing its files, and the run
// ended well. The run now writes in the folder it checked and fails, having
// replaced nothing elsewhere.
TEST(KinkmarkRun, AFolderSwappedMidRunRedirectsNothing) {
  const struct {
    const char* sFolder;   // the folder swapped
    const char* sTrigger;  // at the first partial file of this output
    bool bHoldsErrorFile;  // the error file is written in the held folder
  } cases[] = {
      {"out", "res.kmo.", false},
      {"out", "res.report.txt.", false},
      {"out", "res.RunSummary.txt.", false},
      {"cfg", "run.kms.", true},
  };
  const char* const names[] = {"res.report.txt",
                               "res.RunSummary.txt",
                               "res.finalselectedmodelexport.txt",
                               "res.kmo",
                               "run.kms",
                               "run.ErrorFile.txt"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sTrigger);
    km_test::ScratchDir dir;
    CopyFixtures(dir);
    fs::create_directory(dir.File("out"));
    fs::create_directory(dir.File("cfg"));
    fs::create_directory(dir.File("elsewhere"));
    for (const std::string sName : names) {
      WriteAll(dir.File("elsewhere/" + sName), "a user's file\n");
      // An earlier run's outputs in the folder swapped stay as they were.
      if (sName.rfind(*c.sFolder == 'o' ? "res." : "run.kms", 0) == 0) {
        WriteAll(dir.File(c.sFolder + ("/" + sName)), "earlier");
      }
    }
    WriteAll(dir.File("cfg/run.ini"),
             "[Kinkmark Input Files]\nSession File = session.ini\n"
             "Data File = rates.txt\nRun Options File = options.ini\n"
             "Output File = out/res.kmo\n");
    // The folder is renamed away and a link to "elsewhere" put in its
    // place, as anyone who may rename entries beside it can do.
    CallingFileSystem swapping(c.sTrigger, [&] {
      fs::rename(dir.File(c.sFolder), dir.File("held"));
      fs::create_directory_symlink("elsewhere", dir.File(c.sFolder));
    });
    const int iStatus = RunInProcess(swapping, dir, "cfg/run.ini").iStatus;
    EXPECT_EQ(iStatus, 2);
    for (const std::string sName : names) {
      EXPECT_EQ(ReadAll(dir.File("elsewhere/" + sName)), "a user's file\n")
          << sName;
      const std::string sHeld = dir.File("held/" + sName);
      if (fs::exists(sHeld) && sName != "run.ErrorFile.txt") {
        EXPECT_EQ(ReadAll(sHeld), "earlier") << sName;
      }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("elsewhere")),
                            fs::directory_iterator()),
              6);
    const std::string sError =
        ReadAll(dir.File(c.bHoldsErrorFile ? "held/run.ErrorFile.txt"
                                           : "cfg/run.ErrorFile.txt"));
    EXPECT_NE(sError.find(std::string("The folder \"") + c.sFolder +
                          "\" of the run's outputs was moved or replaced "
                          "while the run wrote them"),
              std::string::npos)
        << sError;
  }
}

// Fault: the clustering result file was opened by its name for every
// append, so a hard link planted there had a file outside the folder grow,
// and a symbolic link failed the run only after the whole calculation. Both
// are refused before any fit; a genuine result file keeps being appended to.
// Fault: an append that failed part-way (a full disk, or the file-size limit,
// whose signal killed the process) left a cut-off block. The file now keeps
// its bytes (one the run created stays empty), and so does every other file
// the run did not write.
// Fault: a run whose clustering result file another process held locked
// (another account's shared lock on a file readable by others) waited at
// its last step in silence, for as long as the lock was held. It now says
// so after a second, and what the user can do, and goes on once it is free.
TEST(KinkmarkRun, TheClusteringResultFileIsAppendedOnlyWhereItIsSafe) {
  enum Kind {
    kHardLink,
    kSymbolicLink,
    kGenuine,
    kFailedRun,
    kOtherAccount,
    kJournalLink
  };
  const std::string sLong(8192, 'x');
  const std::string sWaits =
      std::string(
          "Finished Run Summary Export\nThe run waits for the lock "
          "of the clustering result file \"") +
      kClusteringResult + "\", which ";
  const std::string sTurns =
      "; runs that append to one file take turns, so it goes on once that "
      "lock is let go. If it waits on, ";
  // Fault: the wait named no holder, and its advice (fuser) saw only this
  // account's processes.
  const std::string sNamed = sWaits + "process 4242 (kinkmark, " +
                             AccountInWords(54322) + ") holds" + sTurns +
                             "have its account stop that process (kill "
                             "4242), or stop this run and name another";
  const std::vector<KmLockHolder> kBob = {{4242, true, 54322, "kinkmark"}};
  const std::vector<KmLockHolder> kBobAndEnded = {kBob[0],
                                                  {4243, false, 0, ""}};
  const std::string sEnded =
      sWaits + "process 4242 (kinkmark, " + AccountInWords(54322) +
      ") and process 4243 (no longer running: a process it started holds the "
      "lock) hold" +
      sTurns +
      "have its account stop that process (kill 4242), have the account that "
      "started process 4243 find the process that holds the lock with fuser "
      "-v \"" +
      kClusteringResult +
      "\" (run as that account, it lists the processes that have the file "
      "open; this run is process " +
      std::to_string(getpid()) + ") and stop it, or stop this run and name";
  const std::string sUnnamed = sWaits +
                               "another process holds (the system does not "
                               "say which)" +
                               sTurns + "stop this run and name another";
  const struct {
    Kind kind;
    std::string sEarlier;      // the result file's bytes ("": none)
    const char* sConsole;      // what the run says
    const char* sFull = "";    // a full disk for these files,
    long iAfter = -1;          // once these bytes are written
    const char* sNoMove = "";  // the rename onto this name is refused
    bool bSizeLimit = false;   // room for every output but the block
    bool bMoved = false;       // moved away mid-run, a copy put under its name
    int iBusyLocks = 0;        // its lock refused so often when tried at once
    std::vector<KmLockHolder> holders = {};  // as the system names them
  } cases[] = {
      // Held by another process for a moment, or until the run waits.
      {kGenuine, "an earlier run\n", "", "", -1, "", false, false, 3},
      {kGenuine, "an earlier run\n", sUnnamed.c_str(), "", -1, "", false, false,
       -1},
      {kGenuine, "an earlier run\n", sNamed.c_str(), "", -1, "", false, false,
       -1, kBob},
      // Fault: a process that had ended was to be stopped by its id.
      {kGenuine, "an earlier run\n", sEnded.c_str(), "", -1, "", false, false,
       -1, kBobAndEnded},
      {kHardLink, "", "is not a regular file with one name"},
      {kSymbolicLink, "", "is not a regular file with one name"},
      {kGenuine, "an earlier run\n", ""},
      {kFailedRun, "an earlier run\n", "RunSummary", "ages.RunSummary"},
      {kFailedRun, sLong, "No space left", "ClusteringResult-", 100},
      {kFailedRun, sLong, "File too large", "", -1, "", true},
      {kFailedRun, "", "RunSummary", "ages.RunSummary"},
      {kFailedRun, sLong, "Permission denied", "", -1, "ages.RunSummary.txt"},
      // Fault: a lock refused went unnoticed: the step ran unguarded.
      {kFailedRun, sLong, "Unable to lock the clustering result file"},
      {kFailedRun, sLong, "No space left",
       "ClusteringResult-KBIC-CBIC-Type-unordered.txt.journal"},
      // Fault: a file another account made first in a shared folder was
      // appended to, and that account could rewrite or empty the results.
      {kOtherAccount, "another account's line\n",
       "is not this account's own (another account could rewrite"},
      // Fault: the block went to the file moved away, and the run ended well.
      {kFailedRun, sLong, "was moved or replaced", "", -1, "", false, true},
      // Fault: a link at the journal's name was told as the result file
      // being the journal.
      {kJournalLink, "an earlier run\n",
       "Type-unordered.txt.journal\" is not a journal but a second name of "
       "the clustering result file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.sConsole) + c.sFull + c.sNoMove);
    const bool bAppendFails = c.iAfter >= 0;
    km_test::ScratchDir dir;
    km_test::ScratchDir outside;
    const fs::path example = CopyExample("clustering", dir);
    const std::string sResult = dir.File(kClusteringResult);
    // Fault: a failed append left the outputs moved before it the new run's.
    if (bAppendFails) {
      WriteAll((example / "output/ages.kmo").string(), "earlier\n");
    }
    const std::string sOutside = outside.Write("notes.txt", "a user's notes\n");
    if (c.kind == kHardLink) fs::create_hard_link(sOutside, sResult);
    if (c.kind == kSymbolicLink) fs::create_symlink(sOutside, sResult);
    if (!c.sEarlier.empty()) WriteAll(sResult, c.sEarlier);
    if (c.kind == kJournalLink) {
      fs::create_hard_link(sResult, sResult + ".journal");
    }
    // Every file but the run's outputs ("run.*" beside its run file, "ages.*"
    // in output/), inputs included; after a failed append, every file but
    // the error file.
    const auto Unwritten = [&example, bAppendFails] {
      std::map<std::string, std::string> files;
      for (const auto& entry : fs::recursive_directory_iterator(example)) {
        const std::string sName = entry.path().filename().string();
        const bool bBeside = entry.path().parent_path() == example;
        if (entry.is_regular_file() &&
            (sName == "run.ini" ||
             sName.rfind(bBeside ? "run." : "ages.", 0) != 0 ||
             (bAppendFails && sName != "run.ErrorFile.txt"))) {
          files[entry.path().string()] = ReadAll(entry.path().string());
        }
      }
      return files;
    };
    const std::map<std::string, std::string> before = Unwritten();
    FaultyFileSystem full(c.sFull, c.iAfter, c.sNoMove);
    full.bNoLock =
        c.kind == kFailedRun && *c.sFull == '\0' && *c.sNoMove == '\0';
    full.iBusyLocks = c.iBusyLocks;
    if (!c.holders.empty()) full.holders = c.holders;
    const char* sRunFile = "examples/clustering/run.ini";
    RunResult run{0, ""};
    if (c.bSizeLimit) {
      rlimit limit;
      getrlimit(RLIMIT_FSIZE, &limit);
      const rlimit was = limit;
      limit.rlim_cur = c.sEarlier.size() + 1000;
      const auto previous = std::signal(SIGXFSZ, SIG_DFL);
      setrlimit(RLIMIT_FSIZE, &limit);
      run = RunKinkmark(dir, sRunFile);
      setrlimit(RLIMIT_FSIZE, &was);
      std::signal(SIGXFSZ, previous);
    } else if (c.bMoved) {
      CallingFileSystem moving("ages.report.txt", [&] {
        fs::rename(sResult, (example / "output/ages.moved").string());
        WriteAll(sResult, c.sEarlier);
      });
      run = RunInProcess(moving, dir, sRunFile);
    } else if (c.kind != kGenuine || c.iBusyLocks != 0) {
      full.bOtherUser = c.kind == kOtherAccount;
      run = RunInProcess(full, dir, sRunFile);
    } else {
      run = RunKinkmark(dir, sRunFile);
    }
    EXPECT_EQ(ReadAll(sOutside), "a user's notes\n");
    EXPECT_EQ(run.iStatus, c.kind == kGenuine ? 0 : 2) << run.sConsole;
    EXPECT_NE(run.sConsole.find(c.sConsole), std::string::npos) << run.sConsole;
    // Fault: a run that failed after its fits kept its block appended.
    if (c.kind == kFailedRun) {
      std::map<std::string, std::string> after = Unwritten();
      // One it created stays, empty: another run may append to it.
      const auto created = after.find(
          (example / "output/ClusteringResult-KBIC-CBIC-Type-unordered.txt")
              .string());
      if (c.sEarlier.empty() && created != after.end()) {
        EXPECT_EQ(created->second, "");
        after.erase(created);
      }
      EXPECT_TRUE(after == before);
      if (bAppendFails) {
        EXPECT_NE(ReadAll((example / "run.ErrorFile.txt").string())
                      .find("(\"examples/clustering/output/ages.kmo\") are "
                            "from before it"),
                  std::string::npos);
      }
      continue;
    }
    if (c.kind == kGenuine) {
      EXPECT_EQ(ReadAll(sResult).rfind("an earlier run\n", 0), 0u);
      EXPECT_GT(fs::file_size(sResult), 20u);
      continue;
    }
    EXPECT_EQ(run.sConsole.find("Executing"), std::string::npos);
    if (c.kind == kOtherAccount) {
      EXPECT_EQ(ReadAll(sResult), c.sEarlier);
    }
  }
}

// Fault: a clustering run that failed removed the result file it had
// created, though another clustering run into other outputs held it open to
// append its block: that run ended with status 0 and its block was lost.
TEST(KinkmarkRun, AFailedRunLeavesTheResultFileItCreated) {
  km_test::ScratchDir dir;
  CopyExample("clustering", dir);
  // The other run opens the file the failing run created, as it holds its
  // outputs; it appends once the failing run has ended.
  struct SharingFileSystem : FaultyFileSystem {
    using FaultyFileSystem::FaultyFileSystem;
    int CreateExclusiveAt(int iFolder, const std::string& sName) override {
      if (iOther < 0) iOther = open(sResult.c_str(), O_WRONLY | O_APPEND);
      return FaultyFileSystem::CreateExclusiveAt(iFolder, sName);
    }
    std::string sResult;
    int iOther = -1;
  } sharing("ages.RunSummary.txt.");
  sharing.sResult = dir.File(kClusteringResult);
  EXPECT_EQ(RunInProcess(sharing, dir, "examples/clustering/run.ini").iStatus,
            2);
  ASSERT_GE(sharing.iOther, 0);
  EXPECT_EQ(write(sharing.iOther, "a block\n", 8), 8);
  close(sharing.iOther);
  EXPECT_EQ(ReadAll(sharing.sResult), "a block\n");
}

// Forks a process that takes an fcntl (POSIX) lock on the whole file open
// as iFd and holds it until the write end of release is closed; its id,
// once it holds the lock (-1 when it could not take it).
pid_t HoldFcntlLock(int iFd, const int release[2]) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(release[1]);
    struct flock whole = {};
    whole.l_type = F_WRLCK;
    const char cHeld = fcntl(iFd, F_SETLK, &whole) == 0 ? 'y' : 'n';
    char cEnd = 0;
    if (write(ready[1], &cHeld, 1) == 1) (void)!read(release[0], &cEnd, 1);
    _exit(0);
  }
  close(ready[1]);
  char cHeld = 'n';
  const bool bHeld = read(ready[0], &cHeld, 1) == 1 && cHeld == 'y';
  close(ready[0]);
  return bHeld ? pid : -1;
}

// Fault: another account's lock file of the outputs was "Another run is
// writing the outputs" when a process held it, and "cannot be used:
// Permission denied", with no advice, when this account could not open it.
// Each now says whose the lock file is and what the user can do; the run
// writes and removes nothing.
// Fault: a lock of the outputs was "Another run is writing the outputs"
// whoever held it, another account's process on a lock file of the user's
// too, with no advice that works across accounts. The refusal now names the
// holder and its account, as the system tells them (here this process,
// whose lock the kernel's list shows, or one injected).
// Fault: a process with an fcntl lock on the lock file, which never holds
// back the run's lock, was named as a holder beside the real one; and where
// the process that took the lock had ended, nothing said how to find the
// one holding it now.
TEST(KinkmarkRun, AnotherAccountsLockFileIsNamedSo) {
  using Holders = std::optional<std::vector<KmLockHolder>>;
  const Holders kNone = std::vector<KmLockHolder>();
  std::string sCommand = ReadAll("/proc/self/comm");
  sCommand.pop_back();
  const std::string sOwner = AccountInWords(geteuid());
  const std::string sRun =
      "Error: Another run is writing the outputs of \"out.dat\" (process ";
  const struct {
    int iRefusal;  // the lock fails so (0: a process holds it)
    bool bSticky;  // the folder has the sticky bit
    int iStatus;
    std::string sMessage;
    Holders holders;         // as the system names them
    bool bOtherFile = true;  // the lock file is another account's
    bool bFcntl = false;     // another process holds an fcntl lock on it
  } cases[] = {
      {0, false, 4,
       "Error: Another process holds the lock file \"out.lock\" of the "
       "outputs of \"out.dat\", and that file is another account's (" +
           sOwner,
       kNone},
      {EACCES, false, 2,
       "the lock file \"out.lock\" is another account's (" + sOwner, kNone},
      {EACCES, true, 2, "once none is, ask that account to remove", kNone},
      {0, false, 4,
       sRun + std::to_string(getpid()) + " (" + sCommand + ", " + sOwner +
           "), it holds \"out.lock\"); this run wrote and removed nothing.",
       std::nullopt, false},
      {0, false, 4,
       "Error: Process 4242 (kinkmark, " + AccountInWords(54322) +
           ") holds the lock file \"out.lock\" of the outputs of \"out.dat\": "
           "a run of that account may be writing these outputs; this run "
           "wrote and removed nothing. Wait for that run to end, or ask that "
           "account to stop it, or name another \"Output File\" in the run "
           "file, in another folder.",
       std::vector<KmLockHolder>{{4242, true, 54322, "kinkmark"}}, false},
      {0, false, 4,
       sRun + std::to_string(getpid()) + " (" + sCommand + ", " + sOwner +
           "), it holds \"out.lock\"); this run wrote and removed nothing.",
       std::nullopt, false, true},
      {0, false, 4,
       sRun + "4243 (no longer running: a process it started holds the "
              "lock), it holds \"out.lock\"); this run wrote and removed "
              "nothing. The account that started process 4243 finds the "
              "process that holds the lock with fuser -v \"out.lock\" (run "
              "as that account, it lists the processes that have the file "
              "open).",
       std::vector<KmLockHolder>{{4243, false, 0, ""}}, false},
      {0, false, 4,
       "in another folder. The accounts that started processes 4243 and 4245 "
       "find the processes that hold the lock with fuser -v \"out.lock\" (run "
       "as those accounts, it lists the processes that have the file open).",
       std::vector<KmLockHolder>{{4244, true, 54322, "kinkmark"},
                                 {4243, false, 0, ""},
                                 {4245, false, 0, ""}},
       false},
      // A process name any account chooses is shown, not obeyed.
      {0, false, 4,
       "Error: Process 4242 (x \\x1B[2J EVIL, " + AccountInWords(54322) +
           ") holds the lock file \"out.lock\"",
       std::vector<KmLockHolder>{{4242, true, 54322, "x \x1B[2J EVIL"}}, false},
      // Another account's lock file, held by a process of this account.
      {0, false, 4, sRun + "4244 (kinkmark, " + AccountInWords(geteuid() + 1),
       std::vector<KmLockHolder>{{4244, true, geteuid() + 1, "kinkmark"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sMessage);
    km_test::ScratchDir dir;
    CopyFixtures(dir);
    const int iHeld = open(dir.Write("out.lock", "").c_str(), O_RDWR);
    ASSERT_EQ(flock(iHeld, c.iRefusal == 0 ? LOCK_EX : LOCK_UN), 0);
    int release[2];
    ASSERT_EQ(pipe(release), 0);
    const pid_t iFcntl = c.bFcntl ? HoldFcntlLock(iHeld, release) : 0;
    ASSERT_NE(iFcntl, -1);
    if (c.bSticky) {
      fs::permissions(dir.Path(), fs::perms::sticky_bit, fs::perm_options::add);
    }
    const std::map<std::string, std::string> before = Contents(dir);
    FaultyFileSystem locking("");
    locking.bOtherUser = c.bOtherFile;
    locking.iLockRefusal = c.iRefusal;
    locking.holders = c.holders;
    const RunResult run = RunInProcess(locking, dir, "run.ini");
    close(release[1]);
    close(release[0]);
    if (iFcntl > 0) waitpid(iFcntl, nullptr, 0);
    close(iHeld);
    EXPECT_EQ(run.iStatus, c.iStatus);
    EXPECT_NE(run.sConsole.find(c.sMessage), std::string::npos) << run.sConsole;
    EXPECT_EQ(
        run.sConsole.find("name another \"Output File\" in the run "
                          "file, in another folder.") != std::string::npos,
        c.sMessage.rfind(sRun, 0) != 0);
    std::map<std::string, std::string> after = Contents(dir);
    after.erase("run.ErrorFile.txt");
    EXPECT_TRUE(after == before);
  }
}

// Fault: a message printed what it quoted from outside as its bytes held
// it: a data value, a label or a key holding "ESC[2J" cleared the user's
// screen, and a lock holder's process name, which any account chooses,
// could hide the rest of a refusal and its advice ("ESC[8m"). Each kind of
// text a message quotes, written where that kind stands, now shows every
// control escaped, on the console and in the error file alike.
TEST(KinkmarkRun, TextFromOutsideIsShownNotObeyed) {
  // ESC (here clearing the screen), BEL, CR, backspace, DEL, the 8-bit CSI
  // 0x9b and U+202E, which shows the text after it backwards.
  const std::string kText = "a\x1B[2J\a\r\b\x7F\x9B\xE2\x80\xAEz";
  const std::string kShown = "a\\x1B[2J\\a\\r\\b\\x7F\\x9B\\xE2\\x80\\xAEz";
  using Dir = km_test::ScratchDir;
  // sFind replaced by sWith in the file sName of dir.
  const auto Edit = [](const Dir& dir, const std::string& sName,
                       const std::string& sFind, const std::string& sWith) {
    std::string sFile = ReadAll(dir.File(sName));
    ASSERT_NE(sFile.find(sFind), std::string::npos) << sName << ": " << sFind;
    WriteAll(dir.File(sName),
             sFile.replace(sFile.find(sFind), sFind.size(), sWith));
  };
  // What a kind needs besides the edit that writes the text t; returns a
  // descriptor to close once the run has ended, or -1.
  using Make =
      std::function<int(const Dir&, const std::string&, FaultyFileSystem&)>;
  const Make kMissingRate = [&](const Dir& dir, const std::string&,
                                FaultyFileSystem&) {
    Edit(dir, "rates.txt", "\t46.868", "\t.");
    return -1;
  };
  const Make kDictionary = [](const Dir& dir, const std::string&,
                              FaultyFileSystem&) {
    UseSessionAndData(dir, fs::path(KM_E2E_FIXTURES) / "common", "kinked.dic",
                      "kinked.csv");
    return -1;
  };
  // Another account's run holds the outputs' lock: its process as the
  // system names it.
  const auto HoldLock = [](const Dir& dir, FaultyFileSystem& system,
                           const std::string& sCommand) {
    system.holders = std::vector<KmLockHolder>{{4242, true, 54322, sCommand}};
    const int iHeld =
        open(dir.File("out.lock").c_str(), O_RDWR | O_CREAT, 0644);
    EXPECT_EQ(flock(iHeld, LOCK_EX), 0);
    return iHeld;
  };
  const struct {
    const char* sKind;
    const char* sFile;  // where sFind is replaced by sWith, whose "@" is
    const char* sFind;  // the text ("": no edit)
    const char* sWith;
    Make make = nullptr;  // run before the edit
    // The text is read by lines, which refuse a carriage return inside a
    // line (naming only where it stands): here the text is without it.
    bool bByLines = true;
    std::string sRunFile = "run.ini";
  } rows[] = {
      {"a data value", "rates.txt", "\t46.868", "\t46@"},
      {"a label", "session.ini", "1=East", "1=Ea@st", kMissingRate},
      {"a code", "rates.txt", "\n2\t2001", "\n2@\t2001"},
      {"a format label's code", "session.ini", "2=West", "2@=West"},
      {"a run-options key", "options.ini", "maximum kinkmarks", "maximum@"},
      {"a run-options value", "options.ini", "kinkmarks = 1", "kinkmarks = 1@"},
      {"an export-options key", "options.ini", "line delimiter", "line@"},
      {"an export-options value", "options.ini", "= unix", "= unix@"},
      {"a session-parameter key", "session.ini", "by-var1 location",
       "by-var1@"},
      {"a session-parameter value", "session.ini", "location = 1",
       "location = 1@"},
      {"a dictionary's variable name", "kinked.dic", "Var1Name=Site",
       "Var1Name=Si@", kDictionary},
      {"a dictionary value", "kinked.dic", "delimiter=comma",
       "delimiter=comma@", kDictionary},
      {"a run-file key", "run.ini", "Output File", "Output@"},
      // Its note on a number read with a thousands separator names it.
      {"a data file's name", "run.ini", "= rates.txt", "= rates@",
       [&](const Dir& dir, const std::string& t, FaultyFileSystem&) {
         Edit(dir, "rates.txt", "\t46.868", "\t1,046.868");
         fs::rename(dir.File("rates.txt"), dir.File("rates" + t));
         return -1;
       }},
      {"a folder's name", "run.ini", "= out.dat", "= out@/out.dat"},
      // A data file given as the run file, named on the command line.
      {"a run file's name", "", "", "",
       [](const Dir& dir, const std::string& t, FaultyFileSystem&) {
         fs::copy_file(dir.File("rates.txt"), dir.File("r" + t + ".csv"));
         return -1;
       },
       false, "ra\x1B[2J\a\r\b\x7F\x9B\xE2\x80\xAEz.csv"},
      {"a saved session's string", "rates.txt", "\t46.868", "\t.",
       [](const Dir& dir, const std::string& t, FaultyFileSystem&) {
         EXPECT_EQ(RunKinkmark(dir, "run.ini").iStatus, 0);
         std::string sSaved = ReadAll(dir.File("run.kms"));
         const std::string sLabels = "1=East\n2=West\n";
         const size_t iAt = sSaved.find(sLabels);
         EXPECT_NE(iAt, std::string::npos);
         const std::string sEdited = "1=Ea" + t + "st\n2=West\n";
         const uint32_t iSize = static_cast<uint32_t>(sEdited.size() + 1);
         sSaved.replace(
             iAt - 4, 4 + sLabels.size(),
             std::string(reinterpret_cast<const char*>(&iSize), 4) + sEdited);
         WriteAll(dir.File("run.kms"), sSaved);
         WriteAll(dir.File("again.ini"),
                  "[Kinkmark Input Files]\nSession File = run.kms\nData File "
                  "= rates.txt\nOutput File = again.kmo\n");
         return -1;
       },
       false, "again.ini"},
      // A journal of the version before this one names its run file as
      // the run file held it.
      {"a journal's field", "", "", "",
       [](const Dir& dir, const std::string& t, FaultyFileSystem&) {
         CopyExample("clustering", dir);
         WriteAll(dir.File(kClusteringResult), "earlier\n");
         std::string sJournal =
             "kinkmark clustering journal 0123456789abcdef\nlength 8 1 2\n"
             "run file r" +
             t + ".ini\noutput file o.kmo\n";
         sJournal += "end " + CommitChecksum(sJournal, sJournal.size()) + "\n";
         WriteAll(dir.File(kClusteringResult) + ".journal", sJournal);
         return -1;
       },
       false, "examples/clustering/run.ini"},
      {"a record's field", "", "", "",
       [](const Dir& dir, const std::string& t, FaultyFileSystem&) {
         CommitPlan plan;
         plan.sTag = CommitRecord::NewTag();
         plan.removals.emplace_back(("out" + t + ".txt").c_str());
         WriteAll(dir.File("out.commit"), CommitRecord::Text(plan));
         return -1;
       },
       false},
      {"a lock holder", "", "", "",
       [&](const Dir& dir, const std::string& t, FaultyFileSystem& system) {
         return HoldLock(dir, system, t);
       },
       false},
      {"an account", "", "", "",
       [&](const Dir& dir, const std::string& t, FaultyFileSystem& system) {
         system.accountNames[54322] = t;
         return HoldLock(dir, system, "kinkmark");
       },
       false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.sKind);
    std::string sText = kText;
    std::string sShown = kShown;
    if (row.bByLines) {
      sText.erase(sText.find('\r'), 1);
      sShown.erase(sShown.find("\\r"), 2);
    }
    Dir dir;
    CopyFixtures(dir);
    FaultyFileSystem system("");
    const int iHeld = row.make ? row.make(dir, sText, system) : -1;
    if (*row.sFind != '\0') {
      std::string sWith = row.sWith;
      const size_t iAt = sWith.find('@');
      Edit(dir, row.sFile, row.sFind,
           iAt == std::string::npos ? sWith : sWith.replace(iAt, 1, sText));
    }
    const RunResult run = RunInProcess(system, dir, row.sRunFile);
    if (iHeld >= 0) close(iHeld);
    // What the user is shown: the console and every error file.
    std::string sShownToUser = run.sConsole;
    for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
      if (entry.path().filename().string().find("ErrorFile") !=
          std::string::npos) {
        sShownToUser += ReadAll(entry.path().string());
      }
    }
    // The first byte a terminal would obey; none: the end.
    const size_t iObeyed =
        std::find_if(sShownToUser.begin(), sShownToUser.end(),
                     [](unsigned char c) {
                       return c != '\n' && c != '\t' && (c < 0x20 || c >= 0x7F);
                     }) -
        sShownToUser.begin();
    EXPECT_EQ(iObeyed, sShownToUser.size()) << sShownToUser;
    // A key is shown as its reader lowers it.
    std::transform(sShownToUser.begin(), sShownToUser.end(),
                   sShownToUser.begin(), ::tolower);
    std::transform(sShown.begin(), sShown.end(), sShown.begin(), ::tolower);
    EXPECT_NE(sShownToUser.find(sShown), std::string::npos) << sShownToUser;
  }
}

// Fault: in a folder with the sticky bit, another account's file under one
// output name had the run move the outputs before that name into place and
// then fail at its rename ("Operation not permitted"), leaving a set mixed
// of two runs. The run now refuses before its first move (before its fits,
// or at its last step where the file came while it ran), naming the file,
// its owner and what to do, and every file stays as it was; a file this
// account may replace (its own folder, no sticky bit, root) is replaced.
// Fault: the last check came before the wait for the clustering result
// file's lock, so a file put there during that wait had the run replace 8
// of its 9 outputs and fail at the ninth. Fault: another account's file at
// the clustering journal's name, or at the error file's, was found only
// once every fit was done (or not at all, the run ending with a stale error
// file it could not remove).
TEST(KinkmarkRun, AnOutputNameThisAccountCannotReplaceMovesNothing) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a file an owner needs root";
  constexpr uid_t kUser = 54321;   // the account the run acts as
  constexpr uid_t kOther = 54322;  // the owner of the file in its way
  const std::string sJournal =
      "ClusteringResult-KBIC-CBIC-Type-unordered.txt.journal";
  enum When {
    kBefore,        // there before the run
    kWhileRunning,  // comes while the run writes its outputs
    kWhileWaiting,  // comes while a clustering run waits for its file's lock
  };
  const struct {
    std::string sName;  // holds another account's file
    int iStatus;
    uid_t iAs = kUser;         // the account the run acts as (0: root)
    bool bSticky = true;       // the folder has the sticky bit
    uid_t iFolder = 0;         // the folder's owner
    When when = kBefore;       // when the file comes
    bool bClustering = false;  // the run clusters its cohorts
  } cases[] = {
      {"out.dat", 2},
      {"out.report.txt", 2},
      {"out.dataexport.txt", 2},
      {"out.apcexport.txt", 2},
      {"out.aapcexport.txt", 2},
      {"out.permtestexport.txt", 2},
      {"out.finalselectedmodelexport.txt", 2},
      {"out.RunSummary.txt", 2},
      {"run.kms", 2},
      {"run.ErrorFile.txt", 3},
      {"out.report.txt", 2, kUser, true, 0, kWhileRunning},
      {"out.RunSummary.txt", 2, kUser, true, 0, kWhileWaiting, true},
      {sJournal, 2, kUser, true, 0, kBefore, true},
      {sJournal, 2, kUser, false, 0, kBefore, true},
      {"out.dat", 0, kUser, true, kUser},
      {"run.kms", 0, kUser, false},
      {"out.RunSummary.txt", 0, 0, true, kOther},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sName + " " + std::to_string(c.iStatus));
    km_test::ScratchDir dir;
    CopyFixtures(dir);
    if (c.bClustering) {
      UseSessionAndData(dir, fs::path(KM_EXAMPLES) / "clustering", "ages.kms",
                        "ages.csv");
      // The run's own, which it appends to.
      const std::string sResult = dir.File(sJournal.substr(0, 45));
      WriteAll(sResult, "an earlier run\n");
      ASSERT_EQ(chown(sResult.c_str(), kUser, -1), 0);
    }
    const auto GiveAway = [&] {
      WriteAll(dir.File(c.sName), "another account's\n");
      ASSERT_EQ(chown(dir.File(c.sName).c_str(), kOther, -1), 0);
    };
    if (c.when == kBefore) GiveAway();
    if (c.bSticky) {
      fs::permissions(dir.Path(), fs::perms::sticky_bit, fs::perm_options::add);
    }
    ASSERT_EQ(chown(dir.Path().c_str(), c.iFolder, -1), 0);
    std::map<std::string, std::string> before = Contents(dir);
    FaultyFileSystem account("");
    account.iAs = c.iAs;
    if (c.when == kWhileRunning) account.onSummary = GiveAway;
    if (c.when == kWhileWaiting) {
      account.iBusyLocks = 1;
      account.onBusy = GiveAway;
    }
    const RunResult run = RunInProcess(account, dir, "run.ini");
    std::map<std::string, std::string> after = Contents(dir);
    EXPECT_EQ(run.iStatus, c.iStatus) << run.sConsole;
    if (c.iStatus == 0) {
      EXPECT_NE(after[c.sName], "another account's\n");
      continue;
    }
    const bool bFollowsRunFile = c.sName.rfind("run.", 0) == 0;
    EXPECT_NE(run.sConsole.find(
                  "\"" + c.sName + "\" is another account's (" +
                  AccountInWords(kOther) + ")" +
                  (c.bSticky ? ", in a folder with the sticky bit where only "
                               "a file's owner, or the folder's, may replace "
                               "it: this run could not put its own in its "
                               "place, and moved and removed nothing. Ask "
                               "that account to remove \""
                             : ", and a run obeys only a journal of its own "
                               "account: this run could not append its "
                               "clustering block, and moved and removed "
                               "nothing. Remove \"") +
                  c.sName + "\", or " +
                  (bFollowsRunFile ? "give the run file another name."
                                   : "name another \"Output File\"")),
              std::string::npos)
        << run.sConsole;
    // Refused before the fits unless the file came while the run wrote.
    EXPECT_EQ(run.sConsole.find("Executing") == std::string::npos,
              c.when == kBefore);
    if (c.when != kBefore) before[c.sName] = "another account's\n";
    if (c.sName != "run.ErrorFile.txt") after.erase("run.ErrorFile.txt");
    EXPECT_TRUE(after == before);
  }
}

// Output names that are not regular files, or links to something that is
// not, are refused before anything is written, and stay what they were
// (fault: a link to a pipe or a folder was replaced by a regular file); an
// output folder that does not exist, or an error file that cannot be
// written, end the run all the same.
TEST(KinkmarkRun, OutputNamesThatAreNotFilesAreRefused) {
  enum Kind { kPipe, kFolder, kLinkToPipe, kLinkToFolder, kNone };
  const struct {
    const char* sName;  // the output name made so
    Kind kind;
    const char* sOutput;  // "Output File"
    int iStatus;
    const char* sMessage;
  } cases[] = {
      {"out.dat", kPipe, "out.dat", 2,
       "The output file \"out.dat\" is not a regular file"},
      {"out.report.txt", kPipe, "out.dat", 2,
       "The export \"out.report.txt\" is not a regular file"},
      {"out.dat", kLinkToPipe, "out.dat", 2,
       "The output file \"out.dat\" is not a regular file"},
      {"out.dat", kLinkToFolder, "out.dat", 2,
       "The output file \"out.dat\" is not a regular file"},
      {"out.RunSummary.txt", kLinkToFolder, "out.dat", 2,
       "The run summary \"out.RunSummary.txt\" is not a regular file"},
      {"run.kms", kFolder, "out.dat", 2,
       "The saved session \"run.kms\" is not a regular file"},
      {"run.ErrorFile.txt", kLinkToPipe, "out.dat", 3,
       "The error file \"run.ErrorFile.txt\" is not a regular file"},
      {"", kNone, "no-folder/out.dat", 2,
       "Error: The folder \"no-folder\" of the output file "
       "\"no-folder/out.dat\" does not exist; it must be created before the "
       "run."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sName + std::to_string(c.kind));
    km_test::ScratchDir dir;
    CopyFixtures(dir);
    WriteAll(dir.File("run.ini"),
             "[Kinkmark Input Files]\nSession File = session.ini\n"
             "Data File = rates.txt\nRun Options File = options.ini\n"
             "Output File = " +
                 std::string(c.sOutput) + "\n");
    ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
    fs::create_directory(dir.File("folder"));
    if (c.kind == kPipe) mkfifo(dir.File(c.sName).c_str(), 0600);
    if (c.kind == kFolder) fs::create_directory(dir.File(c.sName));
    if (c.kind == kLinkToPipe) fs::create_symlink("pipe", dir.File(c.sName));
    if (c.kind == kLinkToFolder)
      fs::create_symlink("folder", dir.File(c.sName));
    const std::vector<std::string> before = Files(dir);
    const RunResult result = RunKinkmark(dir, "run.ini");
    EXPECT_EQ(result.iStatus, c.iStatus) << result.sConsole;
    EXPECT_NE(result.sConsole.find(c.sMessage), std::string::npos)
        << result.sConsole;
    EXPECT_EQ(result.sConsole.find("has finished running"), std::string::npos);
    std::vector<std::string> after = Files(dir);
    after.erase(std::remove(after.begin(), after.end(), "run.ErrorFile.txt"),
                after.end());
    if (c.iStatus == 3) after.push_back("run.ErrorFile.txt");
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before);
    EXPECT_TRUE(fs::is_fifo(dir.File("pipe")));
    if (c.kind == kPipe) {
      EXPECT_TRUE(fs::is_fifo(dir.File(c.sName)));
    }
    if (c.kind >= kLinkToPipe && c.kind != kNone) {
      EXPECT_TRUE(fs::is_symlink(dir.File(c.sName)));
    }
  }
}

// Output names that are links to one file outside the folder: every output
// is renamed into place, replacing the link, so the run goes on and the
// outside file stays as it was (fault: refused as one output named twice).
TEST(KinkmarkRun, OutputsLinkedToOneFile) {
  for (const bool bHard : {false, true}) {
    km_test::ScratchDir dir;
    km_test::ScratchDir outside;
    CopyFixtures(dir);
    const std::string sOutside = outside.Write("notes.txt", "a user's notes\n");
    const char* const names[] = {"out.dat", "out.report.txt", "run.kms"};
    for (const char* sName : names) {
      if (bHard) fs::create_hard_link(sOutside, dir.File(sName));
      if (!bHard) fs::create_symlink(sOutside, dir.File(sName));
    }
    EXPECT_EQ(RunKinkmark(dir, "run.ini").iStatus, 0) << bHard;
    EXPECT_EQ(ReadAll(sOutside), "a user's notes\n");
    for (const char* sName : names) {
      EXPECT_FALSE(fs::equivalent(dir.File(sName), sOutside)) << sName;
    }
  }
}

// Fault: inputs named as an output the run writes (an export, the run
// summary, the saved session, the error file, or the results file through
// a link) were replaced by it. Each is refused before anything is written,
// naming both, and the input stays as it was.
TEST(KinkmarkRun, InputsNamedLikeOutputsAreRefused) {
  const struct {
    const char* sData;    // the data file's name
    const char* sOutput;  // "Output File"; a link to the data when sLink
    bool bLink;
    int iStatus;
    const char* sMessage;
  } cases[] = {
      {"out.dataexport.txt", "out.dat", false, 2,
       "The export \"out.dataexport.txt\" is also an input of the run (the "
       "data file \"out.dataexport.txt\"); name another \"Output File\""},
      {"out.RunSummary.txt", "out.dat", false, 2,
       "The run summary \"out.RunSummary.txt\" is also an input of the run"},
      {"run.kms", "out.dat", false, 2,
       "The saved session \"run.kms\" is also an input of the run (the data "
       "file \"run.kms\"); give the run file another name."},
      {"run.ErrorFile.txt", "out.dat", false, 3,
       "The error file \"run.ErrorFile.txt\" is also an input of the run"},
      {"rates.txt", "alias.dat", true, 2,
       "The output file \"alias.dat\" is also an input of the run (the data "
       "file \"rates.txt\")"},
      // Outputs named as each other: the completed run removed its own
      // results file as an earlier error file, or replaced the saved
      // session by the results file.
      {"rates.txt", "run.ErrorFile.txt", false, 2,
       "The output file \"run.ErrorFile.txt\" is also the error file "
       "\"run.ErrorFile.txt\" of the run; name another \"Output File\""},
      {"rates.txt", "run.kms", false, 2,
       "The output file \"run.kms\" is also the saved session \"run.kms\" "
       "of the run; name another \"Output File\""},
      // Named as another run names a file it derives: a run into "out.dat"
      // writes "out.report.txt" holding "out.lock", a run into
      // "out.report.txt" held "out.report.lock", and both finished.
      {"rates.txt", "out.report.txt", false, 2,
       "The output file \"out.report.txt\" has the name a run gives the "
       "export \"report.txt\" of its results file (\"<results file less its "
       "ending>.report.txt\"), which no results file may have; name another "
       "\"Output File\" in the run file."},
      {"rates.txt", "job.ErrorFile.txt", false, 2,
       "has the name a run gives its error file"},
      {"rates.txt", "res.kmo.abc123.partial", false, 2,
       "has the name a run gives a file it writes before moving it into "
       "place"},
      {"rates.txt", "ClusteringResult-KBIC-CBIC-Type-unordered.txt", false, 2,
       "has the name a run gives its clustering result file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sOutput);
    km_test::ScratchDir dir;
    CopyFixtures(dir);
    const std::string sData = ReadAll(dir.File("rates.txt"));
    if (std::string(c.sData) != "rates.txt") {
      fs::rename(dir.File("rates.txt"), dir.File(c.sData));
    }
    if (c.bLink) fs::create_symlink("rates.txt", dir.File(c.sOutput));
    WriteAll(
        dir.File("run.ini"),
        "[Kinkmark Input Files]\nSession File = session.ini\nData File = " +
            std::string(c.sData) +
            "\nRun Options File = options.ini\nOutput File = " + c.sOutput +
            "\n");
    const std::vector<std::string> before = Files(dir);
    const RunResult result = RunKinkmark(dir, "run.ini");
    EXPECT_EQ(result.iStatus, c.iStatus) << result.sConsole;
    EXPECT_NE(result.sConsole.find(c.sMessage), std::string::npos)
        << result.sConsole;
    EXPECT_EQ(ReadAll(dir.File(c.sData)), sData);
    std::vector<std::string> after = Files(dir);
    if (c.iStatus == 2) {
      after.erase(std::find(after.begin(), after.end(), "run.ErrorFile.txt"));
    }
    EXPECT_EQ(after, before);
  }
}

// Fault: a run that failed removed whatever its "Output File" named (here
// a text file named by mistake), and "Output File = out/r" wrote its
// exports as "oureport.txt" in the working folder.
TEST(KinkmarkRun, OutputsFollowTheResultsFileAndAFailedRunKeepsOthers) {
  km_test::ScratchDir dir;
  CopyFixtures(dir);
  WriteAll(dir.File("notes.txt"), "not a results file\n");
  WriteAll(dir.File("run.ini"),
           "[Kinkmark Input Files]\nSession File = session.ini\n"
           "Data File = rates.txt\nRun Options File = bad.ini\n"
           "Output File = notes.txt\n");
  WriteAll(dir.File("bad.ini"), "[Session Options]\nmodel = cubic\n");
  const RunResult failed = RunKinkmark(dir, "run.ini");
  EXPECT_EQ(failed.iStatus, 2) << failed.sConsole;
  EXPECT_EQ(ReadAll(dir.File("notes.txt")), "not a results file\n");
  EXPECT_NE(ReadAll(dir.File("run.ErrorFile.txt"))
                .find("The files under this run's output names "
                      "(\"notes.txt\") are from before it (an earlier run's "
                      "outputs, or other files) and were left as they were."),
            std::string::npos);

  // A name without an ending is the stem whole, also in a folder whose
  // name has a dot (not "out.report.txt" for "out.d/res").
  fs::create_directory(dir.File("out"));
  fs::create_directory(dir.File("out.d"));
  for (const std::string sOutput : {"out/r", "./res", "out.d/res"}) {
    WriteAll(dir.File("run.ini"),
             "[Kinkmark Input Files]\nSession File = session.ini\n"
             "Data File = rates.txt\nRun Options File = options.ini\n"
             "Output File = " +
                 sOutput + "\n");
    EXPECT_EQ(RunKinkmark(dir, "run.ini").iStatus, 0) << sOutput;
    for (const char* sEnding : {"", ".report.txt", ".RunSummary.txt",
                                ".finalselectedmodelexport.txt"}) {
      EXPECT_TRUE(fs::exists(dir.File(sOutput + sEnding)))
          << sOutput << sEnding;
    }
  }
  for (const char* sName : {"oureport.txt", "out.report.txt", ".report.txt"}) {
    EXPECT_FALSE(fs::exists(dir.File(sName))) << sName;
  }

  // A run file without a four-character ending saves its session under its
  // whole name (it wrote "myrun.kms").
  fs::copy_file(dir.File("run.ini"), dir.File("myrunfile"));
  EXPECT_EQ(RunKinkmark(dir, "myrunfile").iStatus, 0);
  EXPECT_TRUE(fs::exists(dir.File("myrunfile.kms")));
  EXPECT_FALSE(fs::exists(dir.File("myrun.kms")));
}

// The files under a run's names belong to one run: a completed run removes
// an earlier error file, and a failed run or one killed part-way leaves the
// earlier finished files as they were.
TEST(KinkmarkRun, OutputsBelongToOneRun) {
  km_test::ScratchDir dir;
  CopyFixtures(dir);
  WriteAll(dir.File("run.ErrorFile.txt"), "an earlier failure");
  ASSERT_EQ(RunKinkmark(dir, "run.ini").iStatus, 0);
  EXPECT_FALSE(fs::exists(dir.File("run.ErrorFile.txt")));
  const std::string sResults = ReadAll(dir.File("out.dat"));
  const std::string sReport = ReadAll(dir.File("out.report.txt"));

  // A failing run into "out.kmo" shares the outputs' stem: it leaves the
  // outputs of "out.dat" as they were (fault: it removed them).
  WriteAll(dir.File("bad.ini"), "[Session Options]\nmodel = cubic\n");
  WriteAll(dir.File("other.ini"),
           "[Kinkmark Input Files]\nSession File = session.ini\n"
           "Data File = rates.txt\nRun Options File = bad.ini\n"
           "Output File = out.kmo\n");
  EXPECT_EQ(RunKinkmark(dir, "other.ini").iStatus, 2);
  EXPECT_TRUE(ReadAll(dir.File("out.dat")) == sResults);
  EXPECT_TRUE(ReadAll(dir.File("out.report.txt")) == sReport);

  // Killed while fitting a long series: the partial results file is not
  // under the output name, and the finished files stay.
  std::string sRates;
  for (int iYear = 1900; iYear < 1980; ++iYear) {
    sRates += "1\t" + std::to_string(iYear) + "\t" +
              std::to_string(40 + iYear % 7) + "\t0.8\n";
  }
  WriteAll(dir.File("rates.txt"), sRates);
  WriteAll(dir.File("options.ini"),
           "[Session Options]\nmaximum kinkmarks = 4\nnum permutations = "
           "999\nnum cores = 1\n\n[Export Options]\n");
  std::system(("cd '" + dir.Path() +
               "' && { '" KM_BINARY
               "' run.ini > /dev/null 2>&1 & echo $! > pid.txt; }")
                  .c_str());
  const auto Partial = [&] {
    for (const std::string& sName : Files(dir)) {
      if (sName.rfind("out.dat.", 0) == 0 &&
          sName.find(".partial") != std::string::npos) {
        return true;
      }
    }
    return false;
  };
  for (int i = 0; i < 6000 && !Partial(); ++i) std::system("sleep 0.01");
  EXPECT_TRUE(Partial());
  const std::string sPid = ReadAll(dir.File("pid.txt"));
  std::system(
      ("kill -9 " + sPid.substr(0, sPid.find('\n')) + "; sleep 0.2").c_str());
  EXPECT_TRUE(ReadAll(dir.File("out.dat")) == sResults);
  EXPECT_TRUE(ReadAll(dir.File("out.report.txt")) == sReport);

  // A completed rerun removes the partial files killed runs left under
  // every name it writes (fault: those of the results file, the report, the
  // run summary and the saved session stayed).
  for (const char* sName :
       {"run.kms.k1ll3d.partial", "out.report.txt.k1ll3d.partial",
        "out.RunSummary.txt.k1ll3d.partial"}) {
    WriteAll(dir.File(sName), "left by a killed run");
  }
  WriteAll(dir.File("options.ini"),
           "[Session Options]\nmaximum kinkmarks = 1\nnum permutations = "
           "19\n\n[Export Options]\n");
  EXPECT_EQ(RunKinkmark(dir, "run.ini").iStatus, 0);
  for (const std::string& sName : Files(dir)) {
    EXPECT_EQ(sName.find(".partial"), std::string::npos) << sName;
  }

  // A failed run leaves the earlier run's outputs as they were (fault: it
  // removed them), and its error file says whose they are.
  WriteAll(dir.File("options.ini"), "[Session Options]\nmodel = cubic\n");
  const std::map<std::string, std::string> before = Contents(dir);
  const RunResult failed = RunKinkmark(dir, "run.ini");
  EXPECT_EQ(failed.iStatus, 2);
  std::map<std::string, std::string> after = Contents(dir);
  EXPECT_NE(after["run.ErrorFile.txt"].find("an earlier run's outputs"),
            std::string::npos);
  after.erase("run.ErrorFile.txt");
  EXPECT_TRUE(after == before);
}

// Fault: two runs into the same outputs shared one partial name; one
// finished while the other failed and removed everything. The second run
// is now refused at once, touching nothing, and the first run's outputs
// are those of a run alone. The first run runs in this process and holds
// its locks while the others start, as it writes its results file.
TEST(KinkmarkRun, ASecondRunIntoTheSameOutputsIsRefused) {
  km_test::ScratchDir lone;
  km_test::ScratchDir dir;
  CopyFixtures(lone);
  CopyFixtures(dir);
  ASSERT_EQ(RunKinkmark(lone, "run.ini").iStatus, 0);
  bool bCalled = false;
  CallingFileSystem calling("out.dat.", [&] {
    bCalled = true;
    // A run into "out.kmo" writes the same exports and run summary: it is a
    // run into the same outputs (fault: it took another lock, wrote them
    // and swept the first run's partial file).
    WriteAll(dir.File("other.ini"),
             "[Kinkmark Input Files]\nSession File = session.ini\n"
             "Data File = rates.txt\nOutput File = out.kmo\n");
    // "run.txt" writes other exports but run.ini's saved session and error
    // file (fault: it took only the lock of "out2", replaced "run.kms").
    WriteAll(dir.File("run.txt"),
             "[Kinkmark Input Files]\nSession File = session.ini\n"
             "Data File = rates.txt\nOutput File = out2.dat\n");
    for (const char* sRunFile : {"run.ini", "other.ini", "run.txt"}) {
      const RunResult second = RunKinkmark(dir, sRunFile);
      EXPECT_EQ(second.iStatus, 4) << sRunFile;
      EXPECT_NE(second.sConsole.find("Error: Another run is writing the "
                                     "outputs of \"out"),
                std::string::npos)
          << second.sConsole;
    }
    // A run of the same base whose options are refused before it can hold
    // its outputs writes its error file; the first run, completed, leaves
    // it (fault: removed as an earlier error file of its name).
    WriteAll(dir.File("run.bad"),
             "[Kinkmark Input Files]\nSession File = session.ini\n"
             "Data File = rates.txt\nRun Options File = bad.ini\n"
             "Output File = out3.dat\n");
    WriteAll(dir.File("bad.ini"), "[Session Options]\nmodel = cubic\n");
    EXPECT_EQ(RunKinkmark(dir, "run.bad").iStatus, 2);
  });
  const int iStatus = RunInProcess(calling, dir, "run.ini").iStatus;
  ASSERT_TRUE(bCalled);
  EXPECT_EQ(iStatus, 0);
  for (const char* sName : {"other.ini", "run.txt", "run.bad", "bad.ini"}) {
    fs::remove(dir.File(sName));
  }
  EXPECT_NE(ReadAll(dir.File("run.ErrorFile.txt")).find("cubic"),
            std::string::npos);
  fs::remove(dir.File("run.ErrorFile.txt"));
  EXPECT_EQ(Files(dir), Files(lone));
  for (const std::string& sName : Files(lone)) {
    if (sName == "out.dat" || sName == "out.RunSummary.txt") continue;
    EXPECT_TRUE(ReadAll(dir.File(sName)) == ReadAll(lone.File(sName))) << sName;
  }
}

// The session names its own data file, which the run file's "Data File"
// does not: naming it as the output, or as the lock file of the outputs, is
// refused all the same, and the data stay as they were (fault: the run
// locked the data file "d.lock", refused, then removed it).
TEST(KinkmarkRun, OutputNamedAsTheSessionsDataFileIsRefused) {
  const struct {
    const char* sData;    // the data file the session names
    const char* sOutput;  // "Output File"
    const char* sMessage;
  } cases[] = {
      {"rates.txt", "rates.txt",
       "The output file \"rates.txt\" is also an input of the run (the data "
       "file \""},
      {"d.lock", "d",
       "The lock file \"d.lock\" is also an input of the run (the data file "
       "\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sData);
    km_test::ScratchDir dir;
    CopyFixtures(dir);
    fs::rename(dir.File("rates.txt"), dir.File(c.sData));
    std::string sSession = ReadAll(dir.File("session.ini"));
    const std::string sDelimiter = "Field delimiter = tab\n";
    sSession.insert(sSession.find(sDelimiter) + sDelimiter.size(),
                    "Datafile name = " + std::string(c.sData) + "\n");
    WriteAll(dir.File("own.ini"), sSession);
    WriteAll(dir.File("run.ini"),
             "[Kinkmark Input Files]\nSession File = own.ini\nOutput File = " +
                 std::string(c.sOutput) + "\n");
    const std::string sData = ReadAll(dir.File(c.sData));
    EXPECT_EQ(RunKinkmark(dir, "run.ini").iStatus, 2);
    EXPECT_NE(ReadAll(dir.File("run.ErrorFile.txt")).find(c.sMessage),
              std::string::npos);
    EXPECT_EQ(ReadAll(dir.File(c.sData)), sData);
  }
}

// A whole run, then the exports again from its results file alone.
TEST(KinkmarkRun, WholeRunThenExportOnly) {
  km_test::ScratchDir dir;
  CopyFixtures(dir);
  const RunResult run = RunKinkmark(dir, "run.ini");
  EXPECT_EQ(run.iStatus, 0) << run.sConsole;
  const std::string sExpectedStart =
      "Creating Session\nSession Created\n\nCreating Calc-Handler\n"
      "Done creating Calc-Handler\n\nVerify\nDone Verify\n\nExecuting\n"
      "Done Executing\n\n";
  EXPECT_EQ(run.sConsole.substr(0, sExpectedStart.size()), sExpectedStart);
  const std::string sExpectedEnd =
      "Start Run Summary Export\nFinished Run Summary Export\n"
      "out.dat has finished running.\n";
  ASSERT_GE(run.sConsole.size(), sExpectedEnd.size());
  EXPECT_EQ(run.sConsole.substr(run.sConsole.size() - sExpectedEnd.size()),
            sExpectedEnd);
  // The results and exports follow "Output File"; the saved session and the
  // error file follow the run file.
  EXPECT_TRUE(fs::exists(dir.File("out.dat")));
  EXPECT_TRUE(fs::exists(dir.File("run.kms")));
  EXPECT_FALSE(fs::exists(dir.File("run.ErrorFile.txt")));
  const std::string sSummary = ReadAll(dir.File("out.RunSummary.txt"));
  EXPECT_EQ(
      sSummary.rfind("----------------------\nKinkmark Version Info\n", 0), 0u);
  EXPECT_NE(sSummary.find("\nProgram Version = V4.9.0.0.1\n"),
            std::string::npos);
  EXPECT_NE(sSummary.find("\nKinkmark Output File = out.dat\n"),
            std::string::npos);
  // The session names a crude rate location, and the run options leave the
  // type alone; the summary is plain text, without a zero byte.
  EXPECT_NE(
      sSummary.find("      Type" + std::string(42, ' ') + "=  Crude Rate\n"),
      std::string::npos);
  EXPECT_EQ(sSummary.find('\0'), std::string::npos);
  // The summary lists exactly the exports written, and ends without a line
  // end.
  std::string sListed = "Reports Exported\n----------------";
  const std::pair<const char*, const char*> kListed[] = {
      {"out.report.txt", "Report"},
      {"out.dataexport.txt", "Data"},
      {"out.apcexport.txt", "APC"},
      {"out.aapcexport.txt", "AAPC"},
      {"out.permtestexport.txt", "F-Test"}};
  for (const auto& [sFile, sName] : kListed) {
    if (fs::exists(dir.File(sFile))) sListed += std::string("\n") + sName;
  }
  ASSERT_GE(sSummary.size(), sListed.size());
  EXPECT_EQ(sSummary.substr(sSummary.size() - sListed.size()), sListed);
  EXPECT_TRUE(fs::exists(dir.File("out.report.txt")));
  EXPECT_TRUE(fs::exists(dir.File("out.finalselectedmodelexport.txt")));
  for (const char* sFile :
       {"out.dataexport.txt", "out.apcexport.txt", "out.aapcexport.txt"}) {
    EXPECT_TRUE(fs::exists(dir.File(sFile))) << sFile;
  }

  fs::copy_file(dir.File("out.dat"), dir.File("old.kmo"));
  WriteAll(dir.File("again.ini"),
           "[Kinkmark Input Files]\nData File = old.kmo\n");
  const RunResult again = RunKinkmark(dir, "again.ini");
  EXPECT_EQ(again.iStatus, 0) << again.sConsole;
  EXPECT_EQ(again.sConsole.find("Executing"), std::string::npos);
  EXPECT_NE(again.sConsole.find("old.kmo has finished running.\n"),
            std::string::npos);
  EXPECT_TRUE(fs::exists(dir.File("old.RunSummary.txt")));
  EXPECT_FALSE(fs::exists(dir.File("again.kms")));
}

// A saved session run again under its own run file's name (run.ini reading
// run.kms) must not be replaced by the run's copy, which carries the run
// options of that run; nor can the run keep it, a session of other options
// under its own name. Fault: kept, with status 0. It is refused, as any
// output that is also an input.
TEST(KinkmarkRun, SavedSessionInputIsKept) {
  km_test::ScratchDir dir;
  CopyFixtures(dir);
  ASSERT_EQ(RunKinkmark(dir, "run.ini").iStatus, 0);
  const std::string sSaved = ReadAll(dir.File("run.kms"));
  WriteAll(dir.File("options.ini"),
           "[Session Options]\nmaximum kinkmarks = 0\n");
  WriteAll(dir.File("run.ini"),
           "[Kinkmark Input Files]\nSession File = run.kms\n"
           "Data File = rates.txt\nRun Options File = options.ini\n"
           "Output File = second.kmo\n");
  const RunResult again = RunKinkmark(dir, "run.ini");
  EXPECT_EQ(again.iStatus, 2) << again.sConsole;
  EXPECT_NE(again.sConsole.find("The saved session \"run.kms\" is also an "
                                "input of the run (the session file "
                                "\"run.kms\"); give the run file another "
                                "name."),
            std::string::npos);
  EXPECT_FALSE(fs::exists(dir.File("second.RunSummary.txt")));
  EXPECT_EQ(ReadAll(dir.File("run.kms")), sSaved);
}

// Every example folder of the README, run as run.sh runs the bundled one
// (from the top directory, on a copy of the folder): it finishes and
// writes the outputs the README quotes, and the rows it quotes.
struct ExampleRow {
  const char* sFolder;
  std::vector<const char*> outputs;  // in the folder's output/, non-empty
  const char* sRunFile = "run.ini";
  // Outputs equal, byte for byte, to the named output of the folder's
  // run.ini: another way to the same results.
  std::vector<std::pair<const char*, const char*>> sameAsRun = {};
  std::vector<std::pair<const char*, const char*>> quoted = {};  // file, row
};

const ExampleRow kExamples[] = {
    {"basic",
     {"rates.kmo", "rates.report.txt", "rates.RunSummary.txt"},
     "run.ini",
     {},
     // The tests of 0 kinkmarks against 3, 2, then 1, each at 0.05 / 3.
     {{"rates.permtestexport.txt",
       "Female,South,0,0,3,0,   6,  22, 500,           0.676,           0.017\n"
       "Female,South,1,0,2,0,   4,  24, 500,           0.818,           0.017\n"
       "Female,South,2,0,1,0,   2,  26, 500,           0.870,           "
       "0.017\n"},
      {"rates.aapcexport.txt",
       "Male,North,2,Full Range,1991.000,2020.000,0.089,-0.111,0.290,0,0.874,"
       "0.382\n"}}},
    {"header", {"rates.kmo", "rates.apcexport.txt"}},
    {"counts", {"cases.kmo", "cases.dataexport.txt"}},
    {"ageadjusted", {"ages.dataexport.txt", "ages.report.txt"}},
    // Fault: a dictionary of counts and populations stopped every run with
    // "Invalid position for the response variable.  Position is:  0".
    {"ageadjusted",
     {"dictionary.dataexport.txt"},
     "dictionary.ini",
     {{"dictionary.dataexport.txt", "ages.dataexport.txt"},
      {"dictionary.report.txt", "ages.report.txt"},
      {"dictionary.aapcexport.txt", "ages.aapcexport.txt"}}},
    {"jump",
     {"deaths.jumpcrexport.txt", "deaths.report.txt", "deaths.dataexport.txt"}},
    {"selection",
     {"rates.ddcexport.txt", "rates.selectionresultsexport.txt",
      "rates.finalselectedmodelexport.txt"}},
    {"dictionary", {"rates.report.txt", "rates.finalselectedmodelexport.txt"}},
    {"clustering",
     {"ClusteringResult-KBIC-CBIC-Type-unordered.txt", "ages.kmo"}},
    {"varcov", {"rates.report.txt", "rates.finalselectedmodelexport.txt"}},
};

TEST(KinkmarkRun, ExamplesRunAndWriteTheirMainOutputs) {
  for (const ExampleRow& row : kExamples) {
    SCOPED_TRACE(row.sFolder);
    km_test::ScratchDir dir;
    const fs::path example = CopyExample(row.sFolder, dir);
    const std::string sFolder = std::string("examples/") + row.sFolder + "/";
    const RunResult run = RunKinkmark(dir, sFolder + row.sRunFile);
    EXPECT_EQ(run.iStatus, 0) << run.sConsole;
    EXPECT_NE(run.sConsole.find(" has finished running.\n"), std::string::npos)
        << run.sConsole;
    EXPECT_FALSE(fs::exists(
        example / fs::path(row.sRunFile).replace_extension(".ErrorFile.txt")));
    for (const char* sName : row.outputs) {
      SCOPED_TRACE(sName);
      ASSERT_TRUE(fs::exists(example / "output" / sName));
      EXPECT_GT(fs::file_size(example / "output" / sName), 0u);
    }
    for (const auto& [sName, sRow] : row.quoted) {
      EXPECT_NE(ReadAll((example / "output" / sName).string()).find(sRow),
                std::string::npos)
          << sName << " lacks " << sRow;
    }
    if (row.sameAsRun.empty()) continue;
    ASSERT_EQ(RunKinkmark(dir, sFolder + "run.ini").iStatus, 0);
    for (const auto& [sName, sRunName] : row.sameAsRun) {
      SCOPED_TRACE(sName);
      EXPECT_EQ(ReadAll((example / "output" / sName).string()),
                ReadAll((example / "output" / sRunName).string()));
    }
  }
}

// A saved session's AAPC ranges are its own: without an export-options
// file, which would replace them, the run exports them
// (examples/varcov/rates.kms holds the full range, the last 5 and 10
// observations and 1991-2000, the ranges of the run that saved it).
TEST(KinkmarkRun, ASavedSessionWithoutExportOptionsExportsItsOwnRanges) {
  km_test::ScratchDir dir;
  CopyExample("varcov", dir);
  WriteAll(dir.File("own.ini"),
           "[Kinkmark Input Files]\nSession File = "
           "examples/varcov/rates.kms\nData File = "
           "examples/varcov/rates.csv\nOutput File = own.kmo\n");
  ASSERT_EQ(RunKinkmark(dir, "own.ini").iStatus, 0);
  const std::string sAAPC = ReadAll(dir.File("own.aapcexport.txt"));
  for (const char* sRange : {"Female;North;1;Full Range;1991;2020;",
                             "Female;North;1;Last 5 Obs.;"}) {
    EXPECT_NE(sAAPC.find(sRange), std::string::npos) << sAAPC;
  }
}

// A run, then the same data again with the session it saved as the session
// file: every export is that of the first run, byte for byte (the run
// summary from its options on, below the run's files and time). Fault: a
// run with several analyses per cohort saved the by-variable it adds to
// tell them apart as a data variable; the rerun read it from the data and
// was refused ("the record has 6 fields, but the session reads column 7"),
// or, where that column held a valid code, gave every export a second
// analysis column with wrong labels.
struct RerunRow {
  const char* sSource;  // fixture folder, or a folder of the examples
  const char* sRunFile;
  const char* sData;  // the paths the run file names, from the top folder
  const char* sExportOptions;
  const char* sOutputBase;      // the results file's name less ".kmo"
  const char* sCode = nullptr;  // written into every record's fifth field
};

const RerunRow kReruns[] = {
    {"jumpratiostandard", "run.ini", "kinked.csv", "options.ini", "out"},
    {"jump", "run.ini", "kinked.csv", "options.ini", "out"},  // and standard
    {"ratiostandard", "run.ini", "kinked.csv", "options.ini", "out"},
    {"pairwisedelay", "run.ini", "delay.csv", "options.ini", "out"},
    // Fault: a session saved by a run that adds two by-variables (the delay
    // split and the analysis split) kept the first as a data variable.
    {"delayjump", "run.ini", "delay.csv", "options.ini", "out"},
    {"permutation", "run.ini", "kinked.csv", "options.ini", "out"},
    {"examples/jump", "examples/jump/run.ini", "examples/jump/deaths.csv",
     "examples/jump/export-options.ini", "examples/jump/output/deaths"},
    {"jumpratiostandard", "run.ini", "kinked.csv", "options.ini", "out", "1"},
};

TEST(KinkmarkRun, ASavedSessionRunsAgainToTheSameExports) {
  for (const RerunRow& row : kReruns) {
    SCOPED_TRACE(std::string(row.sSource) + (row.sCode ? " with a code" : ""));
    km_test::ScratchDir dir;
    const std::string sSource(row.sSource);
    if (sSource.rfind("examples/", 0) == 0) {
      CopyExample(sSource.substr(9), dir);
    } else {
      km_e2e::CopyFixtureFolder("common", dir);
      km_e2e::CopyFixtureFolder(sSource, dir);
    }
    if (row.sCode != nullptr) {
      // Each record of six fields holds the code as its fifth.
      const std::regex fields("([^,\n]*,[^,\n]*,[^,\n]*,[^,\n]*),[^,\n]*");
      WriteAll(dir.File(row.sData),
               std::regex_replace(ReadAll(dir.File(row.sData)), fields,
                                  std::string("$1,") + row.sCode));
    }
    const RunResult first = RunKinkmark(dir, row.sRunFile);
    ASSERT_EQ(first.iStatus, 0) << first.sConsole;
    const std::string sRunFile(row.sRunFile);
    WriteAll(dir.File("again.ini"),
             "[Kinkmark Input Files]\nSession File = " +
                 sRunFile.substr(0, sRunFile.size() - 4) +
                 ".kms\nData File = " + row.sData + "\nExport Options File = " +
                 row.sExportOptions + "\nOutput File = again.kmo\n");
    const RunResult again = RunKinkmark(dir, "again.ini");
    EXPECT_EQ(again.iStatus, 0) << again.sConsole;
    if (again.iStatus != 0) continue;
    const fs::path output = fs::path(dir.File(row.sOutputBase));
    const std::string sPrefix = output.filename().string() + ".";
    int nCompared = 0;
    for (const auto& entry : fs::directory_iterator(output.parent_path())) {
      const std::string sName = entry.path().filename().string();
      if (sName.rfind(sPrefix, 0) != 0 || sName == sPrefix + "kmo") continue;
      SCOPED_TRACE(sName);
      std::string sFirst = ReadAll(entry.path().string());
      std::string sAgain =
          ReadAll(dir.File("again." + sName.substr(sPrefix.size())));
      if (sName == sPrefix + "RunSummary.txt") {
        const std::string sOptions = "Kinkmark Session Options";
        sFirst.erase(0, sFirst.find(sOptions));
        sAgain.erase(0, sAgain.find(sOptions));
      }
      EXPECT_EQ(sAgain, sFirst);
      ++nCompared;
    }
    EXPECT_GE(nCompared, 5);
  }
}

}  // namespace
