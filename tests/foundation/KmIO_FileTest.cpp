#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "foundation/KmIO_File.h"
#include "foundation/platform/KmFileMark.h"
#include "foundation/platform/KmFolder.h"
#include "tests/foundation/FaultyFileSystem.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::ReadAll;
using km_test::ReadBytes;
using km_test::ScratchDir;
using km_test::WriteAll;
using Bytes = std::vector<unsigned char>;

// Modes the system's writers and readers use.
constexpr int32_t kBinaryRead = 1;
constexpr int32_t kTextRead = 5;
constexpr int32_t kBinaryWrite = 0x0A;
constexpr int32_t kTextWrite = 0x0E;
constexpr int32_t kTruncateWrite = 0x1A;
constexpr int32_t kAppendWrite = 0x2E;

// Upper bound on iterations of reading loops that must end by themselves.
constexpr int kLoopGuard = 1000;

std::string Text(const KmString& s) { return s.GetCString(); }

TEST(KmIO_File, WritesLittleEndianLayouts) {
  struct Case {
    const char* sName;
    std::function<void(KmIO_File&)> write;
    Bytes expected;
  };
  const Case cases[] = {
      {"CString abc",
       [](KmIO_File& f) { f.WriteCString("abc"); },
       {0x04, 0, 0, 0, 'a', 'b', 'c', 0}},
      {"CString empty",
       [](KmIO_File& f) { f.WriteCString(""); },
       {0x01, 0, 0, 0, 0}},
      {"CString null",
       [](KmIO_File& f) { f.WriteCString(nullptr); },
       {0, 0, 0, 0}},
      {"Short -2", [](KmIO_File& f) { f.WriteShort(-2); }, {0xFE, 0xFF}},
      {"Short 0x1234",
       [](KmIO_File& f) { f.WriteShort(0x1234); },
       {0x34, 0x12}},
      {"Long 1", [](KmIO_File& f) { f.WriteLong(1); }, {1, 0, 0, 0}},
      {"Long min",
       [](KmIO_File& f) { f.WriteLong(INT32_MIN); },
       {0, 0, 0, 0x80}},
      {"Int 0x01020304",
       [](KmIO_File& f) { f.WriteInt(0x01020304); },
       {4, 3, 2, 1}},
      {"Double 1.0",
       [](KmIO_File& f) { f.WriteDouble(1.0); },
       {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
      {"Double -2.5",
       [](KmIO_File& f) { f.WriteDouble(-2.5); },
       {0, 0, 0, 0, 0, 0, 0x04, 0xC0}},
      {"Bool true", [](KmIO_File& f) { f.WriteBool(true); }, {1}},
      {"String with zero",
       [](KmIO_File& f) { f.WriteString("abc"); },
       {'a', 'b', 'c', 0}},
      {"String without zero",
       [](KmIO_File& f) { f.WriteString("abc", false); },
       {'a', 'b', 'c'}},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    const std::string sPath = dir.File("layout.bin");
    {
      KmIO_File file(sPath.c_str(), kBinaryWrite);
      c.write(file);
    }
    EXPECT_EQ(ReadBytes(sPath), c.expected);
  }
}

TEST(KmIO_File, ReadsBackWhatItWrote) {
  ScratchDir dir;
  const std::string sPath = dir.File("values.bin");
  {
    KmIO_File file(sPath.c_str(), kBinaryWrite);
    file.WriteCString("abc");
    file.WriteCString("");
    file.WriteCString(nullptr);
    file.WriteShort(-2);
    file.WriteLong(INT32_MIN);
    file.WriteInt(-7);
    file.WriteDouble(-0.1);
    file.WriteBool(true);
    file.WriteString("tail");
    file.WriteLong(99);
  }
  KmIO_File file(sPath.c_str(), kBinaryRead);
  KmString s;
  file.ReadCString(s);
  EXPECT_EQ(Text(s), "abc");
  file.ReadCString(s);
  EXPECT_EQ(Text(s), "");
  file.ReadCString(s);
  EXPECT_EQ(Text(s), "");
  EXPECT_EQ(file.ReadShort(), -2);
  EXPECT_EQ(file.ReadLong(), INT32_MIN);
  EXPECT_EQ(file.ReadInt(), -7);
  EXPECT_EQ(file.ReadDouble(), -0.1);
  EXPECT_TRUE(file.ReadBool());
  file.ReadString(s);
  EXPECT_EQ(Text(s), "tail");
  // ReadString leaves the position just after the zero byte.
  EXPECT_EQ(file.ReadLong(), 99);
  EXPECT_FALSE(file.IsEOF());
  EXPECT_EQ(file.Tell(), static_cast<int32_t>(ReadAll(sPath).size()));
}

TEST(KmIO_File, LineReaderDropsCarriageReturns) {
  struct Case {
    const char* sName;
    std::string sContent;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"CRLF, no final line feed", "a\r\nb", {"a", "b"}},
      {"carriage return inside a line", "x\ry\n", {"xy", ""}},
      {"empty lines kept", "\n\nz", {"", "", "z"}},
      {"empty file", "", {""}},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    const std::string sPath = dir.File("lines.txt");
    WriteAll(sPath, c.sContent);
    KmIO_File file(sPath.c_str(), kTextRead);
    std::vector<std::string> lines;
    KmString sLine;
    for (int i = 0; i < kLoopGuard && !file.IsEOF(); ++i) {
      const int32_t iReturned = file.Read(sLine);
      EXPECT_EQ(iReturned, sLine.GetLength() + 2);
      lines.push_back(Text(sLine));
    }
    EXPECT_EQ(lines, c.lines);
  }
}

TEST(KmIO_File, ModeBitsChooseTruncationOrAppending) {
  struct Case {
    const char* sName;
    int32_t lMode;
    std::string sExpected;
  };
  const Case cases[] = {
      {"plain write starts empty", kBinaryWrite, "new"},
      {"truncate", kTruncateWrite, "new"},
      {"append", kAppendWrite, "oldnew"},
      // Text mode writes line feeds as given, with no carriage returns.
      {"text", kTextWrite, "n\ne\nw"},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    const std::string sPath = dir.File("mode.txt");
    WriteAll(sPath, "old");
    {
      KmIO_File file(sPath.c_str(), c.lMode);
      EXPECT_TRUE(file.IsOpen());
      file.WriteString(c.lMode == kTextWrite ? "n\ne\nw" : "new", false);
    }
    EXPECT_EQ(ReadAll(sPath), c.sExpected);
  }
}

TEST(KmIO_File, OperationsOfTheOtherDirectionDoNothing) {
  ScratchDir dir;
  const std::string sPath = dir.File("dir.bin");
  WriteAll(sPath, std::string("\x05\x00\x00\x00", 4));
  {
    KmIO_File file(sPath.c_str(), kBinaryRead);
    file.WriteLong(7);
    file.WriteString("x");
    EXPECT_EQ(file.ReadLong(), 5);
  }
  EXPECT_EQ(ReadBytes(sPath), (Bytes{5, 0, 0, 0}));

  KmIO_File file(sPath.c_str(), kBinaryWrite);
  EXPECT_EQ(file.ReadLong(), 0);
  EXPECT_FALSE(file.ReadBool());
  KmString sLine("stale");
  EXPECT_EQ(file.Read(sLine), 0);
  EXPECT_EQ(Text(sLine), "");
}

TEST(KmIO_File, ReadPastEndGivesZerosUntilSeek) {
  ScratchDir dir;
  const std::string sPath = dir.File("short.bin");
  WriteAll(sPath, std::string("\x01\x02", 2));
  KmIO_File file(sPath.c_str(), kBinaryRead);
  // The two bytes that are there, then zeros for the two that are not.
  EXPECT_EQ(file.ReadLong(), 0x0201);
  EXPECT_TRUE(file.IsEOF());
  EXPECT_EQ(file.ReadDouble(), 0.0);
  EXPECT_EQ(file.Tell(), 2);
  file.Seek(0);
  EXPECT_FALSE(file.IsEOF());
  EXPECT_EQ(file.ReadShort(), 0x0201);
  // A String without its terminator ends at the end of the file.
  file.Seek(1);
  KmString s;
  file.ReadString(s);
  EXPECT_EQ(Text(s), "\x02");
  EXPECT_TRUE(file.IsEOF());
}

// The reader measures the size once, as every count a record stores asks for
// it; a file changed under it is measured again once a read finds it longer
// or shorter, so no count is checked against a size the file no longer has.
TEST(KmIO_File, SizeFollowsAFileChangedUnderTheReader) {
  ScratchDir dir;
  const std::string sPath = dir.File("changing.bin");
  for (const std::string sAfter : {"0123456789ab", "012"}) {
    WriteAll(sPath, "01234567");
    KmIO_File file(sPath.c_str(), kBinaryRead);
    EXPECT_EQ(file.GetSize(), 8);
    WriteAll(sPath, sAfter);
    char buffer[16];
    EXPECT_EQ(file.Read(buffer, 16), static_cast<int32_t>(sAfter.size()));
    EXPECT_EQ(file.GetSize(), static_cast<int64_t>(sAfter.size()));
  }
}

TEST(KmIO_File, ReadCStringSurvivesCorruptLengths) {
  struct Case {
    const char* sName;
    std::string sBytes;
    std::string sExpected;
  };
  const Case cases[] = {
      // A flipped length byte claims about 2 GB: only what is there is read.
      {"length beyond the file",
       std::string("\xFF\xFF\xFF\x7F"
                   "abc",
                   7),
       "abc"},
      {"negative length",
       std::string("\xFE\xFF\xFF\xFF"
                   "abc",
                   7),
       ""},
      {"zero byte inside",
       std::string("\x04\x00\x00\x00"
                   "a\0c\0",
                   8),
       "a"},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    const std::string sPath = dir.File("cstring.bin");
    WriteAll(sPath, c.sBytes);
    KmIO_File file(sPath.c_str(), kBinaryRead);
    KmString s;
    file.ReadCString(s);
    EXPECT_EQ(Text(s), c.sExpected);
  }
}

TEST(KmIO_File, WriteStringRefusesNull) {
  ScratchDir dir;
  KmIO_File file(dir.File("null.txt").c_str(), kBinaryWrite);
  const KmException e =
      km_test::CatchKmException([&] { file.WriteString(nullptr); });
  EXPECT_STREQ(e.GetMessage(), "Null pointer passed to WriteString");
  EXPECT_STREQ(e.GetSource(), "KmIO_File");
  EXPECT_STREQ(e.GetCallPath(), "WriteString() of KmIO_File");
}

TEST(KmIO_File, FailedWriteNamesTheTypedWriter) {
  // Fault: the typed writers let a failed write pass without their own
  // line, so a full disk reported only "Write()" and not what was written.
  ScratchDir dir;
  const std::string sPath = dir.File("full.bin");
  km_test::FaultyFileSystem faulty;
  faulty.sFullDiskPath = sPath;
  km_test::ScopedFileSystem installed(&faulty);
  struct Case {
    std::function<void(KmIO_File&)> write;
    const char* sCallPath;
  };
  const Case kCases[] = {
      {[](KmIO_File& f) { f.WriteBool(true); }, "WriteBool()"},
      {[](KmIO_File& f) { f.WriteShort(-2); }, "WriteShort()"},
      {[](KmIO_File& f) { f.WriteInt(1); }, "WriteLong()"},
      {[](KmIO_File& f) { f.WriteDouble(1.0); }, "WriteDouble()"},
      {[](KmIO_File& f) { f.WriteCString("abc"); },
       "WriteLong() of KmIO_File\r\nWriteCString()"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sCallPath);
    KmIO_File file(sPath.c_str(), kBinaryWrite);
    const KmException e = km_test::CatchKmException([&] { c.write(file); });
    EXPECT_EQ(std::string(e.GetMessage()).rfind("Unable to write the file", 0),
              0u);
    EXPECT_EQ(e.GetCallPath(), "Write() of KmIO_File\r\n" +
                                   std::string(c.sCallPath) + " of KmIO_File");
  }
}

TEST(KmIO_File, ClosedObjectIsHarmless) {
  ScratchDir dir;
  const std::string sPath = dir.File("never.txt");
  // Neither the read nor the write bit: nothing is opened or created.
  KmIO_File file(sPath.c_str(), 0x08);
  EXPECT_FALSE(file.IsOpen());
  file.WriteString("x");
  EXPECT_FALSE(KmIO_File::FileExists(sPath.c_str()));
  EXPECT_TRUE(file.IsEOF());
  EXPECT_EQ(file.Tell(), -1);
  file.Seek(10);
  file.Flush();
  EXPECT_EQ(file.ReadLong(), 0);
}

// Fault: a stream that failed to open never reached its end-of-file state,
// so "while (!IsEOF()) Read(line)" ran for ever on a missing or unreadable
// file, and likewise after a read error part-way through a file.
TEST(KmIO_File, ReadingLoopEndsOnStreamsThatCannotRead) {
  ScratchDir dir;
  const std::string sMissing = dir.File("missing.txt");
  const std::string sUnreadable = dir.File("locked.txt");
  const std::string sBroken = dir.File("broken.txt");
  WriteAll(sUnreadable, "a\nb\n");
  WriteAll(sBroken, "ignored");
  km_test::FaultyFileSystem faulty;
  faulty.unreadable.insert(sUnreadable);
  faulty.sReadErrorPath = sBroken;
  faulty.sReadErrorPrefix = "first\nsec";
  km_test::ScopedFileSystem installed(&faulty);

  struct Case {
    const char* sName;
    std::string sPath;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"missing", sMissing, {}},
      {"unreadable", sUnreadable, {}},
      {"read error after a line", sBroken, {"first", "sec"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    KmIO_File file(c.sPath.c_str(), kTextRead);
    std::vector<std::string> lines;
    KmString sLine;
    int iIterations = 0;
    while (!file.IsEOF() && iIterations < kLoopGuard) {
      ++iIterations;
      if (file.Read(sLine) > 0) lines.push_back(Text(sLine));
    }
    EXPECT_LT(iIterations, kLoopGuard) << "reading loop did not end";
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(file.ReadLong(), 0);
  }
}

TEST(KmIO_File, DirectoryDoesNotOpenAsAnEmptyFile) {
  // Fault: a directory opened for reading like an empty file (the open
  // succeeded and the first read failed), so a directory named where a file
  // belongs passed for an empty one instead of a file that cannot be opened.
  ScratchDir dir;
  EXPECT_TRUE(KmIO_File::FileExists(dir.Path().c_str()));
  KmIO_File file(dir.Path().c_str(), kTextRead);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_TRUE(file.IsEOF());
  KmString sLine("stale");
  EXPECT_EQ(file.Read(sLine), 0);
  EXPECT_EQ(Text(sLine), "");
}

TEST(KmIO_File, ExistsAndRemoveAcceptEitherSeparator) {
  ScratchDir dir;
  const std::string sPath = dir.File("gone.txt");
  const std::string sBackslashed = dir.Path() + "\\gone.txt";
  EXPECT_FALSE(KmIO_File::FileExists(sPath.c_str()));
  EXPECT_FALSE(KmIO_File::FileExists(nullptr));
  {
    KmIO_File file(sBackslashed.c_str(), kBinaryWrite);
    file.WriteBool(true);
  }
  EXPECT_TRUE(KmIO_File::FileExists(sPath.c_str()));
  EXPECT_TRUE(KmIO_File::FileExists(sBackslashed.c_str()));
  EXPECT_TRUE(KmIO_File::RemoveFile(sBackslashed.c_str()));
  EXPECT_FALSE(KmIO_File::FileExists(sPath.c_str()));
  EXPECT_FALSE(KmIO_File::RemoveFile(sPath.c_str()));
}

// A held folder tells a file from another put under its name, and from a
// link to it: a name reaches an open file only as that file itself.
TEST(KmFolder, ANameReachesOnlyTheFileItself) {
  ScratchDir dir;
  KmFolder folder;
  ASSERT_TRUE(folder.Open(dir.Path()));
  WriteAll(dir.File("f"), "first");
  KmFileMark mark;
  mark.Mark(folder, "f");
  EXPECT_TRUE(mark.IsNamedBy(folder, "f"));
  std::filesystem::remove(dir.File("f"));
  WriteAll(dir.File("f"), "a file written since");
  EXPECT_FALSE(mark.IsNamedBy(folder, "f"));
  std::filesystem::create_symlink("f", dir.File("link"));
  const int iFd = folder.OpenFile("f", O_RDONLY);
  EXPECT_TRUE(folder.Reaches("f", iFd));
  EXPECT_FALSE(folder.Reaches("link", iFd));
  close(iFd);
}

}  // namespace
