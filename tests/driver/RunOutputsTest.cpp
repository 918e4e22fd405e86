// The check of the files a run writes against the files it reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "driver/KmRunFiles.h"
#include "driver/RunOutputs.h"
#include "foundation/KmException.h"
#include "session/kmSession.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

// A data file named like the lock file, the clustering result file or its
// journal of a clustering run is refused before the run writes to it.
TEST(CheckRunOutputs, DataFileNamedLikeAWrittenFileIsRefused) {
  km_test::ScratchDir dir;
  kmSession session;
  session.SetInt(kmOptComparisonType, 2);
  KmRunFiles files;
  files.sRunFile = dir.File("run.ini").c_str();
  files.sOutputFile = dir.File("out.kmo").c_str();
  files.sErrorFile = dir.File("run.ErrorFile.txt").c_str();
  files.sSavedSessionFile = dir.File("run.kms").c_str();
  files.sBase = dir.File("run").c_str();
  RunOutputNames outputs = MakeRunOutputNames(files);
  AddSessionOutputs(outputs, files, session);
  const struct {
    std::string sData;
    const char* sRole;
  } kCases[] = {
      {dir.File("out.lock"), "lock file"},
      {outputs.sClusteringFile.GetCString(), "clustering result file"},
      {outputs.sClusteringFile.GetCString() + std::string(".journal"),
       "clustering journal"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sRole);
    const std::string& sData = c.sData;
    km_test::WriteAll(sData, "1,2000,1,1\n");
    files.sDataFile = sData.c_str();
    const KmException e = km_test::CatchKmException(
        [&] { CheckRunOutputs(outputs, files, &session); });
    EXPECT_EQ(std::string(e.GetMessage()),
              "The " + std::string(c.sRole) + " \"" + sData +
                  "\" is also an input of the run (the data file \"" + sData +
                  "\"); name another \"Output File\" in the run "
                  "file.");
  }
}

// The run file's base takes a lock of its own only where it is another name
// than the results file's stem (fault: "./run" and "run" took two locks on
// one file, and the run refused itself).
TEST(MakeRunOutputNames, TheBaseTakesALockOnlyWhenItIsNotTheStem) {
  const struct {
    const char* sOutput;
    size_t iLocks;
  } kCases[] = {{"run.kmo", 1}, {"./run.kmo", 1}, {"run", 1}, {"out.kmo", 2}};
  for (const auto& c : kCases) {
    KmRunFiles files;
    SetDefaultRunFiles(files, "kinkmark", "run.ini");
    files.sOutputFile = c.sOutput;
    EXPECT_EQ(MakeRunOutputNames(files).lockFiles.size(), c.iLocks)
        << c.sOutput;
  }
}

// Fault: the name of an export of an unknown suffix was the run summary's in
// a build without assertions, so that export would have replaced it.
TEST(MakeRunOutputNames, AnUnknownExportSuffixHasNoName) {
  KmRunFiles files;
  SetDefaultRunFiles(files, "kinkmark", "run.ini");
  const RunOutputNames outputs = MakeRunOutputNames(files);
  EXPECT_EQ(outputs.ExportFile("report.txt"), KmString("run.report.txt"));
  const KmException e =
      km_test::CatchKmException([&] { outputs.ExportFile("summary.txt"); });
  EXPECT_EQ(std::string(e.GetMessage()),
            "No export of the run has the suffix \"summary.txt\".");
}

// A lock file is written where it stands: one that is a link to the file
// another output reaches is refused, whichever of the two is listed first
// (an export comes before the lock files, the saved session after).
TEST(CheckRunOutputs, AnOutputLinkedToALockFileIsRefused) {
  for (const char* sOther : {"out.report.txt", "run.kms"}) {
    km_test::ScratchDir dir;
    KmRunFiles files;
    SetDefaultRunFiles(files, "kinkmark", dir.File("run.ini").c_str());
    files.sOutputFile = dir.File("out.kmo").c_str();
    km_test::WriteAll(dir.File(sOther), "");
    std::filesystem::create_symlink(dir.File(sOther), dir.File("out.lock"));
    const KmException e = km_test::CatchKmException(
        [&] { CheckRunOutputs(MakeRunOutputNames(files), files, nullptr); });
    EXPECT_NE(std::string(e.GetMessage()).find("links to one file"),
              std::string::npos)
        << sOther;
  }
}

}  // namespace
