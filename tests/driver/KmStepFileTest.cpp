// A file of the last step, as the run and the next one see it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "driver/CommitRecord.h"
#include "driver/KmStepFile.h"
#include "foundation/KmException.h"
#include "tests/foundation/FaultyFileSystem.h"
#include "tests/test_util/TestUtil.h"

namespace {

// Reads fail as a device error does; writes as a full disk does; a
// folder's sync as a device error does.
struct BrokenDisk : KmFileSystem {
  bool bNoRead = false;
  bool bFull = false;
  bool bNoFolderSync = false;
  bool Sync(int iFd) override {
    struct stat info;
    if (!bNoFolderSync || fstat(iFd, &info) != 0 || !S_ISDIR(info.st_mode)) {
      return KmFileSystem::Sync(iFd);
    }
    errno = EIO;
    return false;
  }
  ssize_t Read(int iFd, void* pBuffer, size_t iBytes) override {
    if (!bNoRead) return KmFileSystem::Read(iFd, pBuffer, iBytes);
    errno = EIO;
    return -1;
  }
  ssize_t Write(int iFd, const void* pBuffer, size_t iBytes) override {
    if (!bFull) return KmFileSystem::Write(iFd, pBuffer, iBytes);
    errno = ENOSPC;
    return -1;
  }
};

enum class Act { kRead, kReplaceThenRemove, kCreate };

TEST(KmStepFile, EachOperationLeavesOnlyWhatItSays) {
  const std::string sLeft = "kinkmark commit record version 5 0123";
  const struct {
    Act act;
    bool bNoRead;
    bool bFull;
    bool bNoFolderSync;
    const char* sWhy;   // the refusal, or the failure's message, "" none
    const char* sLeft;  // what stays under the name (nullptr: nothing)
    bool bHeld;         // the file is held after it
  } cases[] = {
      // Fault: a record that could not be read was "not a record of this
      // program".
      {Act::kRead, true, false, false,
       "it could not be read: Input/output error", sLeft.c_str(), false},
      {Act::kRead, false, false, false, "", sLeft.c_str(), true},
      // Fault: the record read was removed by its name, whatever the name
      // reached by then: a file put there since went in its place.
      {Act::kReplaceThenRemove, false, false, false, "", "another run's\n",
       false},
      {Act::kCreate, false, true, false, "No space left on device", nullptr,
       false},
      // One whose folder cannot be synced is not written: it goes.
      {Act::kCreate, false, false, true, "Input/output error", nullptr, false},
      {Act::kCreate, false, false, false, "", "a new record\n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.act)) + c.sWhy);
    km_test::ScratchDir dir;
    if (c.act != Act::kCreate) dir.Write("out.commit", sLeft);
    BrokenDisk disk;
    disk.bNoRead = c.bNoRead;
    disk.bFull = c.bFull;
    disk.bNoFolderSync = c.bNoFolderSync;
    const km_test::ScopedFileSystem installed(&disk);
    KmFolder folder;
    ASSERT_TRUE(folder.Open(dir.Path()));
    KmStepFile file(folder, "out.commit");
    std::string sWhy;
    if (c.act == Act::kCreate) {
      try {
        file.Create("a new record\n");
      } catch (const KmException& e) {
        sWhy = e.GetMessage();
        // A failure of either file of the step is the step's.
        EXPECT_STREQ(e.GetSource(), "KmLastStep");
      }
    } else {
      CommitPlan plan;
      CommitRecord::Read(file, plan, sWhy);
    }
    if (c.act == Act::kReplaceThenRemove) {
      dir.Write("out.new", "another run's\n");
      ASSERT_EQ(std::rename(dir.File("out.new").c_str(),
                            dir.File("out.commit").c_str()),
                0);
      EXPECT_TRUE(file.Remove());
    }
    EXPECT_EQ(*c.sWhy == '\0' ? sWhy.empty() : sWhy.find(c.sWhy) != sWhy.npos,
              true)
        << sWhy;
    EXPECT_EQ(folder.Exists("out.commit"), c.sLeft != nullptr);
    if (c.sLeft != nullptr) {
      EXPECT_EQ(km_test::ReadAll(dir.File("out.commit")), c.sLeft);
    }
    EXPECT_EQ(file.IsHeld(), c.bHeld);
  }
}

}  // namespace
