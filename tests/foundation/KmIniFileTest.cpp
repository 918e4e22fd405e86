#include <gtest/gtest.h>

#include <string>

#include "foundation/KmFileName.h"
#include "foundation/KmIniFile.h"
#include "tests/foundation/FaultyFileSystem.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::CatchKmException;
using km_test::ScratchDir;
using km_test::WriteAll;

std::string Text(const KmString& s) { return s.GetCString(); }

std::string Value(const KmIniSection& section, const char* sKey) {
  KmString sOut("stale");
  section.GetString(sOut, sKey);
  return Text(sOut);
}

// A run file as it may come from either platform: CRLF and LF line ends,
// comments, blank lines, repeated and differently cased sections, and no
// line feed after the last line.
const char kRunFile[] =
    "orphan=before any section\n"
    "; comment line\r\n"
    "[Kinkmark Input Files]\r\n"
    "Session File = C:\\runs\\s.ini\r\n"
    "a=b=c\r\n"
    "flag\r\n"
    "=no key\r\n"
    "tab\t=\tkept\r\n"
    "k=1\r\n"
    "K=2\r\n"
    "\r\n"
    "  [export options]  \n"
    "x = 1 ; not a comment\n"
    "[Export Options]\n"
    "y=2\n"
    "[Last]\n"
    "last=no line feed";

class KmIniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sPath_ = dir_.File("run.ini");
    WriteAll(sPath_, kRunFile);
  }

  ScratchDir dir_;
  std::string sPath_;
};

TEST_F(KmIniFileTest, ReadsSectionsInFileOrder) {
  const KmIniFile ini(sPath_.c_str());
  EXPECT_EQ(Text(ini.GetFileName()), sPath_);
  ASSERT_EQ(ini.GetNumSections(), 4);
  EXPECT_EQ(Text(ini.GetSectionByIndex(0)->GetName()),
            "[Kinkmark Input Files]");
  EXPECT_EQ(Text(ini.GetSectionByIndex(1)->GetName()), "[export options]");
  EXPECT_EQ(Text(ini.GetSectionByIndex(2)->GetName()), "[Export Options]");
  EXPECT_EQ(ini.GetSectionByIndex(4), nullptr);
  EXPECT_EQ(ini.GetSectionByIndex(-1), nullptr);

  // Lookups ignore case, take the name with or without brackets and find
  // the first of two sections of one name.
  EXPECT_EQ(ini.GetSectionIndex("EXPORT OPTIONS"), 1);
  EXPECT_EQ(ini.GetSectionIndex("[Export Options]"), 1);
  EXPECT_EQ(ini.GetSectionIndex("Missing"), -1);
  EXPECT_EQ(ini.GetSection("Missing"), nullptr);
  const KmIniSection* pLast = ini.GetSection("last");
  ASSERT_NE(pLast, nullptr);
  EXPECT_EQ(Value(*pLast, "last"), "no line feed");
}

TEST_F(KmIniFileTest, SplitsKeyLines) {
  const KmIniFile ini(sPath_.c_str());
  const KmIniSection* pInput = ini.GetSection("Kinkmark Input Files");
  ASSERT_NE(pInput, nullptr);
  struct Case {
    const char* sKey;
    const char* sValue;
  };
  const Case cases[] = {
      {"session file", "C:\\runs\\s.ini"},
      {"a", "b=c"},
      {"flag", ""},
      {"", "no key"},
      {"tab", "kept"},  // a tab is a blank like a space
      {"k", "2"},
      {"orphan", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sKey);
    EXPECT_EQ(Value(*pInput, c.sKey), c.sValue);
  }
  // "k=1" then "K=2": one key, renamed K, with the later value.
  ASSERT_EQ(pInput->GetNumKeys(), 6);
  KmString sKey;
  pInput->GetKeyByIndex(sKey, 5);
  EXPECT_EQ(Text(sKey), "K");
  pInput->GetValueByIndex(sKey, 5);
  EXPECT_EQ(Text(sKey), "2");
  pInput->GetKeyByIndex(sKey, 6);
  EXPECT_EQ(Text(sKey), "");

  const KmIniSection* pExport = ini.GetSection("export options");
  ASSERT_NE(pExport, nullptr);
  EXPECT_EQ(Value(*pExport, "x"), "1 ; not a comment");
}

// Faults: a value neither yes nor no ("1x", "2", "Y", "0x1") read as no
// without a word, and "1.0" was yes in a dictionary but refused in a
// session-parameter file. One rule now: the words and the numbers 1 and 0
// however written; anything else is refused naming the file and the line.
TEST(KmIniSection, GetBoolReadsYesOrNoAndRefusesTheRest) {
  const int kRefused = -1;
  struct Case {
    const char* sValue;
    int iExpected;  // 1 yes, 0 no, kRefused
  };
  const Case cases[] = {
      {"TRUE", 1},         {"Yes", 1},        {"1", 1},
      {"01", 1},           {"1.0", 1},        {"1e0", 1},
      {"10e-1", 1},        {"+1", 1},         {"false", 0},
      {"NO", 0},           {"0", 0},          {"0.0", 0},
      {"-0", 0},           {"1x", kRefused},  {"2", kRefused},
      {"on", kRefused},    {"Y", kRefused},   {"0x1", kRefused},
      {"11", kRefused},    {"1.5", kRefused}, {"1 2", kRefused},
      {"\"1\"", kRefused},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sValue);
    WriteAll(dir.File("f.ini"),
             std::string("[S]\n; note\nFlag Key =  ") + c.sValue + " \n");
    const KmIniFile ini(dir.File("f.ini").c_str());
    const KmIniSection& section = *ini.GetSection("S");
    if (c.iExpected != kRefused) {
      EXPECT_EQ(section.GetBool("flag key", c.iExpected == 0, "f.ini"),
                c.iExpected == 1);
      continue;
    }
    const KmException e =
        CatchKmException([&] { section.GetBool("flag key", false, "f.ini"); });
    EXPECT_EQ(std::string(e.GetMessage()),
              std::string("The file \"f.ini\", line 3: \"") + c.sValue +
                  "\" is not a yes or no for \"Flag Key\"; write yes "
                  "(\"yes\", \"true\" or the number 1) or no (\"no\", "
                  "\"false\" or the number 0), in any case.");
  }
  KmIniSection section("Options");
  section.SetString("empty", "");
  for (bool bDefault : {false, true}) {
    EXPECT_EQ(section.GetBool("empty", bDefault, "f.ini"), bDefault);
    EXPECT_EQ(section.GetBool("absent", bDefault, "f.ini"), bDefault);
  }
}

TEST(KmIniSection, GetStringWithDefault) {
  KmIniSection section("[S]");
  EXPECT_EQ(Text(section.GetName()), "[S]");
  section.SetString("padded", "  v  ");
  section.SetString("empty", "");
  section.SetString("blank", "   ");
  struct Case {
    const char* sKey;
    const char* sExpected;
  };
  const Case cases[] = {{"padded", "v"},
                        {"empty", "dflt"},
                        {"blank", "dflt"},
                        {"absent", "dflt"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sKey);
    KmString sOut;
    section.GetString(sOut, c.sKey, "dflt");
    EXPECT_EQ(Text(sOut), c.sExpected);
  }
  section.SetName("Renamed");
  EXPECT_EQ(Text(section.GetName()), "[Renamed]");
  EXPECT_EQ(Text(KmIniSection(nullptr).GetName()), "");
}

TEST(KmIniFile, MissingFileHasNoSections) {
  ScratchDir dir;
  const KmIniFile ini(dir.File("absent.ini").c_str());
  EXPECT_EQ(ini.GetNumSections(), 0);
  EXPECT_EQ(ini.GetSection("Kinkmark Input Files"), nullptr);
}

TEST(KmIniFile, AddSectionAppendsACopy) {
  ScratchDir dir;
  KmIniFile ini(dir.File("absent.ini").c_str());
  KmIniSection section("Added");
  section.AddLine("key = value");
  ini.AddSection(&section);
  section.SetString("key", "changed");
  ASSERT_NE(ini.GetSection("added"), nullptr);
  EXPECT_EQ(Value(*ini.GetSection("added"), "KEY"), "value");
}

TEST(KmIniFile, EmptySectionNameRaisesTheIndexError) {
  ScratchDir dir;
  const KmIniFile ini(dir.File("absent.ini").c_str());
  const KmException e = CatchKmException([&] { ini.GetSectionIndex(""); });
  EXPECT_STREQ(e.GetSource(), "KmString");
  EXPECT_NE(std::string(e.GetCallPath()).find("GetSectionIndex() of KmIniFile"),
            std::string::npos);
}

// Fault: an option file that exists but cannot be read passed for an empty
// one, so the run went on with every option at its default.
TEST(KmIniFile, UnreadableFileIsAnError) {
  ScratchDir dir;
  const std::string sPath = dir.File("locked.ini");
  WriteAll(sPath, "[Session Options]\nmethod=grid\n");
  km_test::FaultyFileSystem faulty;
  faulty.unreadable.insert(sPath);
  km_test::ScopedFileSystem installed(&faulty);
  const KmException e = CatchKmException([&] { KmIniFile ini(sPath.c_str()); });
  EXPECT_EQ(std::string(e.GetMessage()),
            "Unable to open file \"" + sPath + "\" for reading.");
  EXPECT_STREQ(e.GetSource(), "KmIniFile");
  EXPECT_STREQ(e.GetCallPath(), "Constructor() of KmIniFile");
}

// Fault: a directory named as an option file read like an empty file, so
// the run went on with every option at its default.
TEST(KmIniFile, DirectoryIsAnError) {
  ScratchDir dir;
  const KmException e =
      CatchKmException([&] { KmIniFile ini(dir.Path().c_str()); });
  EXPECT_EQ(std::string(e.GetMessage()),
            "Unable to open file \"" + dir.Path() + "\" for reading.");
  EXPECT_STREQ(e.GetCallPath(), "Constructor() of KmIniFile");
}

// Fault: a read error part-way left the stream failed but not at its end,
// and the reading loop never finished; then it passed for the file's end,
// and the keys after it were lost unseen.
TEST(KmIniFile, ReadErrorIsRefused) {
  ScratchDir dir;
  const std::string sPath = dir.File("broken.ini");
  WriteAll(sPath, "ignored");
  km_test::FaultyFileSystem faulty;
  faulty.sReadErrorPath = sPath;
  faulty.sReadErrorPrefix = "[A]\nx=1\ny=";
  km_test::ScopedFileSystem installed(&faulty);
  const KmException e =
      CatchKmException([&] { const KmIniFile ini(sPath.c_str()); });
  EXPECT_NE(std::string(e.GetMessage())
                .find("\"" + sPath + "\" could not be read to its end"),
            std::string::npos)
      << e.GetMessage();
}

// Fault: a zero byte cut the text of its line short, "method=hud\0sons"
// reading as "hud" and "[Sec\0tion]" as "[Sec".
TEST(KmIniFile, ZeroByteIsRefusedNamingFileAndLine) {
  const struct {
    const char* sWhat;
    std::string text;
    int iLine;
  } kCases[] = {
      {"in a value", std::string("[Session Options]\nmethod=hud\0sons\n", 33),
       2},
      {"in a section name", std::string("; c\r\n\n[Sec\0tion]\nx=1\n", 20), 3},
      {"in a comment", std::string("[A]\n;\0\n", 7), 2},
      {"on the last line, without line feed", std::string("[A]\nx=1\n\0", 9),
       3},
  };
  ScratchDir dir;
  const std::string sPath = dir.File("options.ini");
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sWhat);
    WriteAll(sPath, c.text);
    const KmException e =
        CatchKmException([&] { KmIniFile ini(sPath.c_str()); });
    EXPECT_EQ(std::string(e.GetMessage()),
              "The file \"" + sPath + "\" is damaged: line " +
                  std::to_string(c.iLine) + " holds a NUL byte.");
    EXPECT_EQ(e.GetKind(), KmException::kInputErrorKind);
    EXPECT_STREQ(e.GetCallPath(), "Constructor() of KmIniFile");
  }
}

// Fault: a header with blanks inside its brackets or around '=', or with a
// comment after it, named another section than the one it spells, and its
// keys were ignored in silence; a header that holds no name was a section.
TEST(KmIniFile, HeadersAreReadAsTheNamesTheyHoldOrRefused) {
  const struct {
    const char* sHeader;
    const char* sName;  // nullptr: refused
  } kCases[] = {
      {"[ Session Options ]", "[Session Options]"},
      {"[Format = Region]", "[Format=Region]"},
      {"[Session Options] ; run options", "[Session Options]"},
      {"[\tFormat =\t\"a]b; c\" ];x", "[Format=a]b; c]"},
      {"[Format='Region']", "[Format=Region]"},
      {"[Session Options", nullptr},
      {"[Session Options] x", nullptr},
      {"[ ]", nullptr},
  };
  ScratchDir dir;
  const std::string sPath = dir.File("options.ini");
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sHeader);
    WriteAll(sPath, std::string("; note\n\n") + c.sHeader + "\nk = 1\nk = 2\n");
    if (c.sName == nullptr) {
      const KmException e =
          CatchKmException([&] { KmIniFile ini(sPath.c_str()); });
      EXPECT_EQ(std::string(e.GetMessage()),
                "The file \"" + sPath + "\", line 3: the section header \"" +
                    c.sHeader +
                    "\" cannot be read; write the section's name between "
                    "\"[\" and \"]\", with nothing after the \"]\" but a "
                    "comment beginning with \";\".");
      EXPECT_EQ(e.GetKind(), KmException::kInputErrorKind);
      continue;
    }
    const KmIniFile ini(sPath.c_str());
    const KmIniSection* pSection = ini.GetSection(c.sName);
    ASSERT_NE(pSection, nullptr);
    EXPECT_EQ(Text(pSection->GetName()), c.sName);
    EXPECT_EQ(Text(pSection->GetHeaderText()), c.sHeader);
    // Where each line stands, and the key given again.
    EXPECT_EQ(pSection->GetLine(), 3);
    EXPECT_EQ(ini.GetKeyLine(c.sName, "K"), 4);
    const auto repeats = pSection->GetKeysGivenTwice();
    ASSERT_EQ(repeats.size(), 1u);
    EXPECT_EQ(repeats[0].pAgain->iLine, 5);
  }
}

// Fault: each added key searched all earlier ones, so a section of 100,000
// keys (a large value-label format) took seconds, 200,000 most of a minute.
TEST(KmIniFile, ManyKeysReadInLinearTime) {
  ScratchDir dir;
  // The file of nKeys keys and a last one that repeats key 7 in other case.
  const auto KeysFile = [&](int nKeys) {
    std::string text = "[Format=Big]\n";
    for (int i = 0; i < nKeys; ++i) {
      text += "Key" + std::to_string(i) + "=v" + std::to_string(i) + "\n";
    }
    return dir.Write(std::to_string(nKeys) + ".ini", text + "KEY7=replaced\n");
  };
  constexpr int kKeys = 100000;
  const std::string sPath = KeysFile(kKeys);
  const std::string sSmall = KeysFile(kKeys / 8);
  const KmIniFile ini(sPath.c_str());
  const KmIniSection* pSection = ini.GetSection("Format=Big");
  ASSERT_NE(pSection, nullptr);
  EXPECT_EQ(pSection->GetNumKeys(), kKeys);
  EXPECT_EQ(Value(*pSection, "key99999"), "v99999");
  // A key given again in other case replaces the first in place.
  EXPECT_EQ(pSection->GetKeyIndex("kEy7"), 7);
  EXPECT_EQ(Value(*pSection, "Key7"), "replaced");
  KmString sKey;
  pSection->GetKeyByIndex(sKey, 7);
  EXPECT_EQ(Text(sKey), "KEY7");
  EXPECT_TRUE(km_test::GrowsLinearly(
      [&](int nKeys) {
        const KmIniFile timed((nKeys == kKeys ? sPath : sSmall).c_str());
      },
      kKeys / 8));
}

}  // namespace
