#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "foundation/KmFileName.h"
#include "foundation/KmIO_File.h"
#include "foundation/platform/KmFolder.h"
#include "foundation/platform/KmPlatform.h"
#include "tests/foundation/FaultyFileSystem.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::CatchKmException;

std::string Text(const KmString& s) { return s.GetCString(); }

struct SplitCase {
  const char* sPath;
  const char* sDrive;
  const char* sDirectory;
  const char* sName;
  const char* sExtension;
  const char* sFull;
};

void ExpectSplit(const SplitCase& c) {
  SCOPED_TRACE(c.sPath);
  KmFileName name(c.sPath);
  EXPECT_EQ(Text(name.GetDrive()), c.sDrive);
  EXPECT_EQ(Text(name.GetDirectory()), c.sDirectory);
  EXPECT_EQ(Text(name.GetName()), c.sName);
  EXPECT_EQ(Text(name.GetExtension()), c.sExtension);
  EXPECT_STREQ(name.GetFullName(), c.sFull);
}

TEST(KmFileName, SplitsWindowsFormPaths) {
  const SplitCase cases[] = {
      {"D:\\data\\run.ini", "D:", "\\data\\", "run", ".ini",
       "D:\\data\\run.ini"},
      {"D:\\data.old\\run", "D:", "\\data.old\\", "run", "",
       "D:\\data.old\\run"},
      {"D:/data/run.ini", "D:", "\\data\\", "run", ".ini", "D:\\data\\run.ini"},
      {"D:\\a\\..\\b\\.\\c.tar.gz", "D:", "\\b\\", "c.tar", ".gz",
       "D:\\b\\c.tar.gz"},
      {"D:run.ini", "D:", "\\", "run", ".ini", "D:\\run.ini"},
      {"D:\\data\\", "D:", "\\data\\", "", "", "D:\\data\\"},
      {"\\\\srv\\share\\dir\\f.txt", "\\\\srv\\share", "\\dir\\", "f", ".txt",
       "\\\\srv\\share\\dir\\f.txt"},
      {"\\\\srv\\share\\..\\..\\f.txt", "\\\\srv\\share", "\\", "f", ".txt",
       "\\\\srv\\share\\f.txt"},
      {"", "", "", "", "", ""},
  };
  for (const SplitCase& c : cases) ExpectSplit(c);
}

// Fault: the share name's closing backslash was searched from the third
// character after the server's, so a one-character share ("\\srv\a\...")
// swallowed the next directory into the drive, or was refused.
TEST(KmFileName, OneCharacterShareNamesSplitCorrectly) {
  const SplitCase cases[] = {
      {"\\\\srv\\a\\dir\\f.txt", "\\\\srv\\a", "\\dir\\", "f", ".txt",
       "\\\\srv\\a\\dir\\f.txt"},
      {"\\\\srv\\a\\f.txt", "\\\\srv\\a", "\\", "f", ".txt",
       "\\\\srv\\a\\f.txt"},
  };
  for (const SplitCase& c : cases) ExpectSplit(c);
}

TEST(KmFileName, ResolvesNativePathsAgainstTheWorkingDirectory) {
  km_test::FaultyFileSystem faulty;
  faulty.sWorkingDirectory = "/work/runs";
  km_test::ScopedFileSystem installed(&faulty);
  const SplitCase cases[] = {
      {"/tmp/x/run.ini", "", "/tmp/x/", "run", ".ini", "/tmp/x/run.ini"},
      {"/tmp\\x//./run.ini", "", "/tmp/x/", "run", ".ini", "/tmp/x/run.ini"},
      {"run.ini", "", "/work/runs/", "run", ".ini", "/work/runs/run.ini"},
      {"in\\s.kms", "", "/work/runs/in/", "s", ".kms", "/work/runs/in/s.kms"},
      // ".." stays: /work/runs may be a symbolic link.
      {"../in/s.kms", "", "/work/runs/../in/", "s", ".kms",
       "/work/runs/../in/s.kms"},
      {"/data.d/plain", "", "/data.d/", "plain", "", "/data.d/plain"},
  };
  for (const SplitCase& c : cases) ExpectSplit(c);
}

TEST(KmFileName, FullNameNamesTheSameFileAfterTheDirectoryMoves) {
  km_test::ScratchDir dir;
  km_test::FaultyFileSystem faulty;
  faulty.sWorkingDirectory = dir.Path();
  // Deeper than the 260 bytes a full path once had to fit in.
  std::string sRelative;
  for (int i = 0; i < 8; ++i) sRelative += std::string(40, 'd') + "\\";
  sRelative += "opts.ini";
  std::string sFull;
  {
    km_test::ScopedFileSystem installed(&faulty);
    KmFileName name(sRelative.c_str());
    sFull = name.GetFullName();
  }
  EXPECT_GT(sFull.size(), 260u);
  EXPECT_EQ(sFull.rfind(dir.Path(), 0), 0u);

  std::string sDirs = dir.Path();
  for (int i = 0; i < 8; ++i) {
    sDirs += "/" + std::string(40, 'd');
    ASSERT_EQ(mkdir(sDirs.c_str(), 0755), 0);
  }
  km_test::WriteAll(sDirs + "/opts.ini", "[s]\n");
  // Resolved while the working directory was the scratch directory, the
  // name still finds the file now that it is not.
  EXPECT_TRUE(KmIO_File::FileExists(sFull.c_str()));
}

TEST(KmFileName, SettersNormaliseTheirParts) {
  KmFileName name(nullptr);
  EXPECT_STREQ(name.GetFullName(), "");
  name.SetDrive("D");
  EXPECT_EQ(Text(name.GetDrive()), "D:");
  name.SetDrive("D:");
  EXPECT_EQ(Text(name.GetDrive()), "D:");
  name.SetDrive("\\\\srv\\share");
  EXPECT_EQ(Text(name.GetDrive()), "\\\\srv\\share");
  name.SetDirectory("\\a");
  EXPECT_EQ(Text(name.GetDirectory()), "\\a\\");
  name.SetDirectory("/home/a");
  EXPECT_EQ(Text(name.GetDirectory()), "/home/a/");
  name.SetName("run");
  name.SetExtension("txt");
  EXPECT_EQ(Text(name.GetExtension()), ".txt");
  name.SetExtension(".ini");
  EXPECT_EQ(Text(name.GetExtension()), ".ini");
  name.SetDrive("");
  EXPECT_STREQ(name.GetFullName(), "/home/a/run.ini");

  const KmFileName copy(name);
  KmFileName assigned(nullptr);
  assigned = copy;
  EXPECT_EQ(Text(assigned.GetDirectory()), "/home/a/");
  EXPECT_STREQ(assigned.GetFullName(), "/home/a/run.ini");
}

TEST(KmFileName, ReportsFailuresWithItsCallPath) {
  km_test::FaultyFileSystem faulty;
  faulty.bNoWorkingDirectory = true;
  km_test::ScopedFileSystem installed(&faulty);
  struct Case {
    const char* sName;
    std::function<void()> act;
    const char* sMessage;
  };
  const Case cases[] = {
      {"server only", [] { KmFileName name("\\\\srv"); }, "Invalid UNC name"},
      {"server and slash", [] { KmFileName name("\\\\srv\\"); },
       "Invalid UNC name"},
      {"no working directory", [] { KmFileName name("relative.txt"); },
       "Could not get full path name -- "},
      {"null path", [] { KmFileName(nullptr).SetFullPath(nullptr); },
       "Null pointer"},
      {"null name", [] { KmFileName(nullptr).SetName(nullptr); },
       "Null parameter"},
      {"null extension", [] { KmFileName(nullptr).SetExtension(nullptr); },
       "Null parameter"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    const KmException e = CatchKmException(c.act);
    EXPECT_STREQ(e.GetMessage(), c.sMessage);
    EXPECT_STREQ(e.GetSource(), "KmFileName");
    EXPECT_STREQ(e.GetCallPath(), "Constructor of KmFileName");
    EXPECT_EQ(e.GetKind(), 0);
  }
}

TEST(KmPlatform, StricmpIgnoresAsciiCaseOnly) {
  EXPECT_EQ(KmStricmp("Export Options", "EXPORT options"), 0);
  EXPECT_LT(KmStricmp("a", "B"), 0);
  EXPECT_GT(KmStricmp("b", "A"), 0);
  EXPECT_LT(KmStricmp("ab", "abc"), 0);
  EXPECT_NE(KmStricmp("\xC9", "\xE9"), 0);
}

TEST(KmPlatform, FullPathRefusesEmptyInput) {
  std::string sOut = "unchanged";
  EXPECT_FALSE(KmGetFullPathName("", sOut));
  EXPECT_FALSE(KmGetFullPathName(nullptr, sOut));
  EXPECT_EQ(sOut, "unchanged");
}

// KmFolder had no move operations: a growing vector of folders duplicated
// and closed every held descriptor, and a moved-from folder kept one.
TEST(KmFolder, MovesHandTheDescriptorOverAndCopiesHoldTheirOwn) {
  EXPECT_TRUE(std::is_nothrow_move_constructible<KmFolder>::value);
  std::vector<KmFolder> folders(1);
  ASSERT_TRUE(folders[0].Open("."));
  const int iFd = folders[0].GetFd();
  for (int i = 0; i < 8; ++i) folders.emplace_back();  // reallocates
  EXPECT_EQ(folders[0].GetFd(), iFd);
  KmFolder moved(std::move(folders[0]));
  EXPECT_FALSE(folders[0].IsOpen());
  KmFolder assigned;
  assigned = std::move(moved);
  EXPECT_FALSE(moved.IsOpen());
  EXPECT_EQ(assigned.GetFd(), iFd);
  EXPECT_EQ(assigned.GetPath(), ".");
  const KmFolder copy(assigned);
  EXPECT_TRUE(copy.IsOpen());
  EXPECT_NE(copy.GetFd(), iFd);
  // A folder moved onto one that holds a folder closes the descriptor the
  // latter held: a leaked one would stay open for the whole run.
  KmFolder holding;
  ASSERT_TRUE(holding.Open("."));
  const int iHeld = holding.GetFd();
  holding = std::move(assigned);
  EXPECT_EQ(holding.GetFd(), iFd);
  EXPECT_EQ(fcntl(iHeld, F_GETFD), -1);
}

}  // namespace
