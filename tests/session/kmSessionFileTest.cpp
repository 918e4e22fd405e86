// Tests of the session file: the block's bytes, reading back what was
// written for sessions built in several ways, the version gates of older
// blocks, and the refusal of foreign, newer, truncated and corrupted
// blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/KmFormat.h"
#include "foundation/KmIO_File.h"
#include "session/kmSession.h"
#include "tests/session/SessionBlockBuilder.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::BlockBuilder;
using km_test::CatchKmException;

const char* const kNotValid = "Error:  This file is not a valid Kinkmark file.";

// ---- Helpers --------------------------------------------------------------

std::string Written(kmSession& session, const km_test::ScratchDir& dir) {
  const std::string path = dir.File("written.kms");
  session.Write(path.c_str());
  return km_test::ReadAll(path);
}

std::string PathOf(const std::string& bytes, const km_test::ScratchDir& dir) {
  const std::string path = dir.File("input.kms");
  km_test::WriteAll(path, bytes);
  return path;
}

// Reads a block from bytes into session through an open file, as the
// results-file reader does.
void ReadBlock(kmSession& session, const std::string& bytes,
               const km_test::ScratchDir& dir) {
  const std::string path = PathOf(bytes, dir);
  KmIO_File file(path.c_str(), 1);
  session.Read(&file);
}

KmString Text(const kmSession& session, int i) {
  KmString s;
  session.GetString(i, s);
  return s;
}

// Compares everything the session block stores.
void ExpectSameStoredContent(const kmSession& a, const kmSession& b) {
  for (int id = 0; id < kmNumOptions; ++id) {
    SCOPED_TRACE(id);
    switch (kmSession::GetOptionType(id)) {
      case kmOptTypeInt:
        EXPECT_EQ(a.GetInt(id), b.GetInt(id));
        break;
      case kmOptTypeBool:
        EXPECT_EQ(a.GetBool(id), b.GetBool(id));
        break;
      case kmOptTypeDouble:
        EXPECT_EQ(a.GetDouble(id), b.GetDouble(id));
        break;
      default:
        break;
    }
  }
  for (int i = 0; i < kmNumStrings; ++i) EXPECT_EQ(Text(a, i), Text(b, i));
  ASSERT_EQ(a.GetNumVars(), b.GetNumVars());
  for (int16_t i = 0; i < a.GetNumVars(); ++i) {
    EXPECT_TRUE(a.GetVar(i) == b.GetVar(i)) << "variable " << i;
  }
  EXPECT_EQ(a.GetByVarPositions(), b.GetByVarPositions());
  ASSERT_EQ(a.GetNumKMVarPositions(), b.GetNumKMVarPositions());
  for (int r = 0; r < a.GetNumKMVarPositions(); ++r) {
    EXPECT_EQ(a.GetKMVarPosition(r), b.GetKMVarPosition(r)) << "role " << r;
  }
  EXPECT_TRUE(a.GetAAPCRanges() == b.GetAAPCRanges());
  const KmVector<kmAdjustVarFormat>& fa = a.GetStoredAdjustVarFormats();
  const KmVector<kmAdjustVarFormat>& fb = b.GetStoredAdjustVarFormats();
  ASSERT_EQ(fa.size(), fb.size());
  for (size_t i = 0; i < fa.size(); ++i) {
    EXPECT_EQ(fa.at(i).sLabel, fb.at(i).sLabel);
    EXPECT_EQ(fa.at(i).codes, fb.at(i).codes);
  }
  EXPECT_EQ(a.GetSelectCohortsVector(), b.GetSelectCohortsVector());
}

kmAdjustVarFormat Group(const char* sLabel, int32_t iFirst, int32_t iLast) {
  kmAdjustVarFormat group;
  group.sLabel = sLabel;
  for (int32_t i = iFirst; i <= iLast; ++i) group.codes.push_back(i);
  return group;
}

// A session with formatted variables, roles, by-variables and the option
// and text changes a run makes.
kmSession FullSession() {
  kmSession session;
  KmFormat sex;
  sex.SetName("[Format=Sex]");
  sex.AddLine("1", "Male", -1);
  sex.AddLine("2", "Female", -1);
  KmFormat age;
  age.SetDataType('N');
  age.SetWholeFormat("0-<15=Children=Kids\n15-64=Adults\n", true);
  KmFormat site;
  site.SetDataType('A');
  site.SetWholeFormat("lung=Lung\nbreast=Breast\n", false);
  session.AddVariable(kmVariable("Sex", 1, &sex));
  session.AddVariable(kmVariable("Year", 2, nullptr));
  session.AddVariable(kmVariable("Age", 3, &age));
  session.AddVariable(kmVariable("Site", 4, &site));
  session.AddVariable(kmVariable("Rate", 5, nullptr));
  session.AddVariable(kmVariable("SE", 6, nullptr));
  session.AddByVarPosition(1);
  session.AddByVarPosition(4);
  session.SetKMVarPosition(kmVarIndependent, 2);
  session.SetKMVarPosition(kmVarDependent, 5);
  session.SetKMVarPosition(kmVarStdError, 6);
  session.SetKMVarPosition(kmVarAdjustment, 3);
  session.SetInt(kmOptMaxKinkmarks, 3);
  session.SetBool(kmOptLogLinear, false);
  session.SetDouble(kmOptJumpLocation, 2001.5);
  session.SetString(kmStrDataFile, "/data/run.txt");
  session.SetVersion("V4.9.0.0");
  return session;
}

// ---- Golden bytes ---------------------------------------------------------

TEST(kmSessionFile, DefaultBlockHeadBytes) {
  kmSession session;
  km_test::ScratchDir dir;
  const std::string bytes = Written(session, dir);
  // CString "KinkMarkSession": length 16 (text and zero byte), then Short 64.
  const std::string head("\x10\x00\x00\x00KinkMarkSession\x00\x40\x00", 22);
  ASSERT_GE(bytes.size(), head.size());
  EXPECT_EQ(bytes.substr(0, head.size()), head);
  // Option 2 (error model) is 2.0 and option 12 (significance) 0.05.
  EXPECT_EQ(bytes.substr(22 + 2 * 8, 8), BlockBuilder().Double(2.0).Bytes());
  EXPECT_EQ(bytes.substr(22 + 12 * 8, 8), BlockBuilder().Double(0.05).Bytes());
}

TEST(kmSessionFile, DefaultBlockWholeLayout) {
  kmSession session;
  BlockBuilder expected;
  expected.CString("KinkMarkSession").Short(64);
  for (int id = 0; id < kmNumOptions; ++id) {
    double d = 0.0;
    switch (kmSession::GetOptionType(id)) {
      case kmOptTypeInt:
        d = session.GetInt(id);
        break;
      case kmOptTypeBool:
        d = session.GetBool(id) ? 1.0 : 0.0;
        break;
      case kmOptTypeDouble:
        d = session.GetDouble(id);
        break;
      default:
        break;
    }
    expected.Double(d);
  }
  expected.Short(8);
  for (const char* s : {"", "", "4.900", "", "", "", "", "Annual"}) {
    expected.CString(s);
  }
  expected.Short(0);   // variables
  expected.Short(0);   // by-variables
  expected.Short(12);  // roles
  for (int r = 0; r < 12; ++r) expected.Int(0);
  expected.Short(0).Int(0).Int(0).Int(0);  // AAPC ranges
  expected.Short(0);                       // adjustment formats
  expected.Int(0);                         // selection flags
  km_test::ScratchDir dir;
  EXPECT_EQ(Written(session, dir), expected.Bytes());
  EXPECT_EQ(Text(session, kmStrFileVersion), "4.900");
}

// ---- Reading back ---------------------------------------------------------

TEST(kmSessionFile, SessionsReadBackEqual) {
  struct Built {
    const char* sName;
    kmSession session;
  };
  std::vector<Built> built;
  built.push_back({"default", kmSession()});
  built.push_back({"full", FullSession()});
  {
    kmSession s = FullSession();
    s.SetInt(kmOptDelayType, 2);
    s.SetInt(kmOptJumpCRMode, 6);
    s.AddByVar();
    s.AddByVarJump();
    built.push_back({"synthetic by-variables", s});
  }
  {
    kmSession s = FullSession();
    kmAAPCRanges ranges;
    ranges.SetFullRange(true);
    ranges.SetLastObsRanges({5, 10});
    ranges.SetStartRange({1990, 1995});
    ranges.SetEndRange({2000});
    s.SetAAPCRanges(ranges);
    KmVector<kmAdjustVarFormat> groups;
    groups.push_back(Group("00-14", 0, 2));
    groups.push_back(Group("15-64", 3, 12));
    groups.push_back(Group("65+", 13, 13));
    s.SetStoredAdjustVarFormats(groups);
    for (const char* c : {"Male", "Female", "Both"}) s.AddCohortLabel(c);
    s.SetSelectCohortsVector(false);
    built.push_back({"ranges, adjustment formats, selection", s});
  }
  {
    kmSession copy(FullSession());
    copy.SetString(5, "reserved text");
    built.push_back({"copied", copy});
  }

  km_test::ScratchDir dir;
  for (Built& b : built) {
    SCOPED_TRACE(b.sName);
    const std::string path = dir.File("roundtrip.kms");
    b.session.Write(path.c_str());
    kmSession read(path.c_str(), "ignored.txt");
    ExpectSameStoredContent(read, b.session);
    // Writing what was read gives the same bytes.
    EXPECT_EQ(Written(read, dir), km_test::ReadAll(path));
  }
}

TEST(kmSessionFile, NotStoredMembersStayOut) {
  kmSession session = FullSession();
  session.SetNumCores(3);
  session.AddCohortLabel("Male");
  km_test::ScratchDir dir;
  const std::string path = dir.File("s.kms");
  session.Write(path.c_str());
  kmSession read(path.c_str(), nullptr);
  EXPECT_EQ(read.GetNumCores(), 9999);
  EXPECT_EQ(read.GetNumCohorts(), 0);
}

TEST(kmSessionFile, EmptyAdjustmentCodeListReadsBackEmpty) {
  // Fault: an empty code list was written with garbage first and last codes
  // and read back as a non-empty range.
  kmSession session;
  KmVector<kmAdjustVarFormat> groups;
  groups.push_back(Group("empty", 1, 0));
  groups.push_back(Group("one", 4, 4));
  session.SetStoredAdjustVarFormats(groups);
  km_test::ScratchDir dir;
  kmSession read;
  ReadBlock(read, Written(session, dir), dir);
  ASSERT_EQ(read.GetStoredAdjustVarFormats().size(), 2u);
  EXPECT_TRUE(read.GetStoredAdjustVarFormats().at(0).codes.empty());
  EXPECT_EQ(read.GetStoredAdjustVarFormats().at(0).sLabel, "empty");
  EXPECT_EQ(read.GetStoredAdjustVarFormats().at(1).codes,
            KmVector<int32_t>({4}));
}

// ---- Hand-built blocks of other shapes and versions -----------------------

// Block pieces, so tests can vary one field at a time.
struct BlockSpec {
  std::string sMagic = "KinkMarkSession";
  int16_t iNumOptions = 64;
  double dOptionValue = 1.0;  // every stored option
  std::vector<std::string> strings = {"", "", "4.900", "",
                                      "", "", "",      "Annual"};
  std::string variables = BlockBuilder().Short(0).Bytes();
  std::string byVars = BlockBuilder().Short(0).Bytes();
  std::string roles;  // default: 12 zeros
  std::string tail;   // default: empty AAPC ranges, no formats, Int 0 flags
};

std::string Build(const BlockSpec& spec) {
  BlockBuilder b;
  b.CString(spec.sMagic).Short(spec.iNumOptions);
  for (int i = 0; i < spec.iNumOptions; ++i) b.Double(spec.dOptionValue);
  b.Short(static_cast<int16_t>(spec.strings.size()));
  for (const std::string& s : spec.strings) b.CString(s);
  b.Raw(spec.variables).Raw(spec.byVars);
  if (spec.roles.empty()) {
    b.Short(12);
    for (int i = 0; i < 12; ++i) b.Int(0);
  } else {
    b.Raw(spec.roles);
  }
  if (spec.tail.empty()) {
    b.Short(0).Int(0).Int(0).Int(0).Short(0).Int(0);
  } else {
    b.Raw(spec.tail);
  }
  return b.Bytes();
}

TEST(kmSessionFile, OptionCountSetsTheOptionSlots) {
  km_test::ScratchDir dir;
  {
    BlockSpec spec;
    spec.iNumOptions = 70;
    spec.dOptionValue = 3.0;
    kmSession session;
    ReadBlock(session, Build(spec), dir);
    EXPECT_EQ(session.GetInt(kmOptMaxKinkmarks), 3);
    // Only 64 are written again.
    const std::string bytes = Written(session, dir);
    EXPECT_EQ(bytes.substr(20, 2), BlockBuilder().Short(64).Bytes());
    EXPECT_EQ(bytes.substr(22 + 64 * 8, 2), BlockBuilder().Short(8).Bytes());
  }
  {
    BlockSpec spec;
    spec.iNumOptions = 60;
    spec.dOptionValue = 3.0;
    kmSession session;
    ReadBlock(session, Build(spec), dir);
    EXPECT_EQ(session.GetInt(kmOptMaxKinkmarks), 3);
    EXPECT_DOUBLE_EQ(session.GetDouble(kmOptMADWDPsi), 0.0);     // 60
    EXPECT_FALSE(session.GetBool(kmOptMADWD));                   // 61
    EXPECT_EQ(session.GetInt(kmOptMaxKinkmarksFeasibility), 0);  // 63
  }
}

TEST(kmSessionFile, VersionGatesOfOlderBlocks) {
  // Versions: 4.0 has no AAPC ranges; 4.1 has them but no adjustment
  // formats or selection flags; 4.5 stores a Short selection count; 4.802
  // an Int one.
  const std::string ranges =
      BlockBuilder().Short(1).Int(1).Int(5).Int(0).Int(0).Bytes();
  const std::string formats =
      BlockBuilder().Short(1).Short(2).Short(4).String("Group").Bytes();
  struct Case {
    const char* sVersion;
    std::string tail;
    bool bRanges;
    bool bFormats;
    size_t nFlags;
  };
  const std::string shortFlags =
      BlockBuilder().Short(2).Bool(true).Bool(false).Bytes();
  const std::string intFlags =
      BlockBuilder().Int(3).Bool(true).Bool(false).Bool(true).Bytes();
  // Each gate is tried at its version and just below it.
  const Case kCases[] = {
      {"4.000", "", false, false, 0},
      {"4.049", "", false, false, 0},
      {"4.05", ranges, true, false, 0},
      {"4.100", ranges, true, false, 0},
      {"4.119", ranges, true, false, 0},
      {"4.12", ranges + formats, true, true, 0},
      {"4.200", ranges + formats, true, true, 0},
      {"4.321", ranges + formats, true, true, 0},
      {"4.322", ranges + formats + shortFlags, true, true, 2},
      {"4.500", ranges + formats + shortFlags, true, true, 2},
      {"4.801", ranges + formats + shortFlags, true, true, 2},
      {"4.802", ranges + formats + intFlags, true, true, 3},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sVersion);
    BlockSpec spec;
    spec.strings[2] = c.sVersion;
    spec.tail = c.tail.empty() ? std::string() : c.tail;
    std::string bytes = Build(spec);
    if (c.tail.empty()) {
      // Nothing after the roles in a 4.0 block.
      bytes.resize(bytes.size() - 14 - 2 - 4);
    }
    kmSession session;
    ReadBlock(session, bytes, dir);
    EXPECT_EQ(session.GetAAPCRanges().GetFullRange(), c.bRanges);
    EXPECT_EQ(session.GetStoredAdjustVarFormats().size(), c.bFormats ? 1u : 0u);
    if (c.bFormats) {
      EXPECT_EQ(session.GetStoredAdjustVarFormats().at(0).codes,
                KmVector<int32_t>({2, 3, 4}));
    }
    EXPECT_EQ(session.GetSelectCohortsVector().size(), c.nFlags);
    EXPECT_EQ(Text(session, kmStrFileVersion), c.sVersion);
  }
}

TEST(kmSessionFile, StoredOptionValuesReadByTruncationTowardZero) {
  km_test::ScratchDir dir;
  struct Case {
    double dStored;
    int iInt;
  };
  const Case kCases[] = {{2.9, 2}, {-2.9, -2}, {2147483647.0, 2147483647}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.dStored);
    BlockSpec spec;
    spec.dOptionValue = c.dStored;
    kmSession session;
    ReadBlock(session, Build(spec), dir);
    EXPECT_EQ(session.GetInt(kmOptMaxKinkmarks), c.iInt);
    EXPECT_EQ(session.GetDouble(kmOptDataShift), c.dStored);
    EXPECT_TRUE(session.GetBool(kmOptLogLinear));
  }
}

TEST(kmSessionFile, StoredOptionNoIntCanHoldIsRefusedByGetInt) {
  // Fault: an int option read from a damaged file holding a NaN or a value
  // beyond the int range was converted to int, which is undefined.
  km_test::ScratchDir dir;
  for (double dStored : {std::nan(""), 1e300, -2147483649.0, 2147483648.0}) {
    SCOPED_TRACE(dStored);
    BlockSpec spec;
    spec.dOptionValue = dStored;
    kmSession session;
    ReadBlock(session, Build(spec), dir);
    KmException e =
        CatchKmException([&] { session.GetInt(kmOptMaxKinkmarks); });
    EXPECT_NE(std::string(e.GetMessage()).find("which is not an integer"),
              std::string::npos);
    EXPECT_STREQ(e.GetCallPath(), "GetInt of kmSession");
  }
}

TEST(kmSessionFile, NewerBlockIsRefusedWithTheUpgradeMessage) {
  BlockSpec spec;
  spec.strings[2] = "4.91";
  km_test::ScratchDir dir;
  kmSession session;
  KmException e =
      CatchKmException([&] { ReadBlock(session, Build(spec), dir); });
  EXPECT_STREQ(e.GetMessage(),
               "Kinkmark cannot open this file.  The file you are trying to "
               "open was created by a more recent version of Kinkmark "
               "(Version = 4.91).  In order to open this file you will need "
               "to upgrade your version of Kinkmark.");
  EXPECT_STREQ(e.GetSource(), "kmSession.cpp");
  EXPECT_EQ(Text(session, kmStrFileVersion), "");

  spec.strings[2] = "4.900";
  ReadBlock(session, Build(spec), dir);
  EXPECT_EQ(Text(session, kmStrFileVersion), "4.900");
}

TEST(kmSessionFile, ForeignBlockIsRefused) {
  const std::string kForeign[] = {
      Build([] {
        BlockSpec s;
        s.sMagic = "KinkMarkSessioN";
        return s;
      }()),
      Build([] {
        BlockSpec s;
        s.sMagic = "KinkMarkSession2";
        return s;
      }()),
      Build([] {
        BlockSpec s;
        s.sMagic = "Kink";
        return s;
      }()),
      std::string("plain text that is no session\n"),
      std::string(),
  };
  km_test::ScratchDir dir;
  for (const std::string& bytes : kForeign) {
    SCOPED_TRACE(bytes.substr(0, 24));
    kmSession session;
    KmException e = CatchKmException([&] { ReadBlock(session, bytes, dir); });
    EXPECT_STREQ(e.GetMessage(), kNotValid);
    EXPECT_STREQ(e.GetSource(), "kmSession.cpp");
  }
}

TEST(kmSessionFile, MissingFileIsRefusedAndLeavesDefaults) {
  km_test::ScratchDir dir;
  kmSession session = FullSession();
  KmException e =
      CatchKmException([&] { session.Read(dir.File("absent.kms").c_str()); });
  EXPECT_STREQ(e.GetMessage(), kNotValid);
  EXPECT_EQ(session.GetNumVars(), 0);
  EXPECT_EQ(session.GetInt(kmOptMaxKinkmarks), 4);
}

TEST(kmSessionFile, UnwritableFileIsReported) {
  // Fault: a session file that could not be created was reported as saved.
  km_test::ScratchDir dir;
  kmSession session;
  KmException e = CatchKmException(
      [&] { session.Write(dir.File("no/such/dir/s.kms").c_str()); });
  EXPECT_NE(std::string(e.GetMessage()).find("Unable to open the session file"),
            std::string::npos);
}

TEST(kmSessionFile, TruncatedBlockIsRefusedNeverHalfRead) {
  // Fault: a block cut short read zeros as options, counts and positions
  // and left a half-read session.
  kmSession full = FullSession();
  full.SetStoredAdjustVarFormats(KmVector<kmAdjustVarFormat>{Group("g", 0, 3)});
  full.AddCohortLabel("x");
  full.SetSelectCohortsVector(true);
  km_test::ScratchDir dir;
  const std::string whole = Written(full, dir);
  for (size_t n = 0; n < whole.size(); ++n) {
    SCOPED_TRACE(n);
    kmSession session;
    session.SetInt(kmOptMaxKinkmarks, 1);
    KmException e =
        CatchKmException([&] { ReadBlock(session, whole.substr(0, n), dir); });
    EXPECT_STREQ(e.GetMessage(), kNotValid);
    EXPECT_EQ(session.GetInt(kmOptMaxKinkmarks), 1);
    EXPECT_EQ(session.GetNumVars(), 0);
    EXPECT_EQ(Text(session, kmStrFileVersion), "");
  }
}

TEST(kmSessionFile, CorruptedCountsAndPositionsAreRefused) {
  // Fault: negative or huge stored counts and positions outside the
  // variable list were trusted (no data read, loops over the rest of the
  // file, a role naming no variable).
  const std::string oneVar =
      BlockBuilder().Short(1).CString("Year").Short(1).Bool(false).Bytes();
  std::vector<std::pair<const char*, BlockSpec>> cases;
  {
    BlockSpec s;
    s.iNumOptions = -3;
    cases.push_back({"negative option count", s});
  }
  {
    BlockSpec s;
    s.strings = {"", "", "4.900"};
    s.variables = BlockBuilder().Short(-1).Bytes();
    cases.push_back({"negative variable count", s});
  }
  {
    BlockSpec s;
    s.variables = BlockBuilder().Short(32000).Bytes();
    cases.push_back({"huge variable count", s});
  }
  {
    BlockSpec s;
    s.variables = oneVar;
    s.byVars = BlockBuilder().Short(1).Int(2).Bytes();
    cases.push_back({"by-variable beyond the variables", s});
  }
  {
    BlockSpec s;
    s.variables = oneVar;
    s.byVars = BlockBuilder().Short(-4).Bytes();
    cases.push_back({"negative by-variable count", s});
  }
  {
    BlockSpec s;
    s.variables = oneVar;
    s.roles = BlockBuilder().Short(1).Int(-1).Bytes();
    cases.push_back({"negative role position", s});
  }
  {
    BlockSpec s;
    s.roles = BlockBuilder().Short(-12).Bytes();
    cases.push_back({"negative role count", s});
  }
  {
    BlockSpec s;
    s.tail =
        BlockBuilder().Short(0).Int(-1).Int(0).Int(0).Short(0).Int(0).Bytes();
    cases.push_back({"negative range count", s});
  }
  {
    BlockSpec s;
    s.tail =
        BlockBuilder().Short(0).Int(0).Int(0).Int(0).Short(-1).Int(0).Bytes();
    cases.push_back({"negative adjustment-format count", s});
  }
  {
    BlockSpec s;
    s.tail = BlockBuilder()
                 .Short(0)
                 .Int(0)
                 .Int(0)
                 .Int(0)
                 .Short(0)
                 .Int(0x40000000)
                 .Bool(true)
                 .Bytes();
    cases.push_back({"huge selection count", s});
  }
  {
    BlockSpec s;
    s.tail =
        BlockBuilder().Short(0).Int(0).Int(0).Int(0).Short(0).Int(-2).Bytes();
    cases.push_back({"negative selection count", s});
  }
  {
    BlockSpec s;
    s.strings[2] = "nan";
    cases.push_back({"version that is no number", s});
  }
  km_test::ScratchDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    kmSession session;
    KmException e =
        CatchKmException([&] { ReadBlock(session, Build(c.second), dir); });
    EXPECT_STREQ(e.GetMessage(), kNotValid);
    EXPECT_EQ(session.GetNumVars(), 0);
    EXPECT_EQ(session.GetInt(kmOptMaxKinkmarks), 4);
  }
}

TEST(kmSessionFile, BlockAtTheHeadOfALargerFile) {
  // The results file continues after the session block; the reader stops at
  // the block's end.
  kmSession session = FullSession();
  km_test::ScratchDir dir;
  const std::string path = dir.File("results.kmo");
  {
    KmIO_File file(path.c_str(), 0x0B);
    session.Write(&file);
    file.WriteInt(12345);
  }
  KmIO_File file(path.c_str(), 1);
  kmSession read;
  read.Read(&file);
  EXPECT_EQ(file.ReadInt(), 12345);
  ExpectSameStoredContent(read, session);
}

TEST(kmSessionFile, AdjustmentRangesBeyondTheVariablesCodesAreRefused) {
  // Fault: each stored (first, last) range was expanded code by code before
  // anything bounded it; 32,767 ranges of -32768..32767 in a 164 KB file
  // asked for some 8 GB.
  struct Case {
    const char* sWhat;
    int iRanges;
    int16_t iFirst, iLast;
  };
  const Case kCases[] = {
      {"32,767 full ranges", 32767, -32768, 32767},
      {"4,000 full ranges", 4000, -32768, 32767},
      {"two full ranges", 2, -32768, 32767},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sWhat);
    BlockBuilder tail;
    tail.Short(0).Int(0).Int(0).Int(0).Short(static_cast<int16_t>(c.iRanges));
    for (int i = 0; i < c.iRanges; ++i)
      tail.Short(c.iFirst).Short(c.iLast).String("");
    tail.Int(0);
    BlockSpec spec;
    spec.tail = tail.Bytes();
    kmSession session;
    KmException e =
        CatchKmException([&] { ReadBlock(session, Build(spec), dir); });
    EXPECT_STREQ(e.GetMessage(), kNotValid);
    EXPECT_TRUE(session.GetStoredAdjustVarFormats().empty());
  }
  // One range over every code is still a block that can be read.
  BlockSpec spec;
  spec.tail = BlockBuilder()
                  .Short(0)
                  .Int(0)
                  .Int(0)
                  .Int(0)
                  .Short(1)
                  .Short(-32768)
                  .Short(32767)
                  .String("all")
                  .Int(0)
                  .Bytes();
  kmSession session;
  ReadBlock(session, Build(spec), dir);
  ASSERT_EQ(session.GetStoredAdjustVarFormats().size(), 1u);
  EXPECT_EQ(session.GetStoredAdjustVarFormats().at(0).codes.size(), 65536u);
}

TEST(kmSessionFile, DamagedSessionFileIsRefusedNotReadWithDataLost) {
  // Fault: the last byte of the magic text was overwritten before the
  // comparison, so a file without it read as success with its variables
  // lost; and a changed version read as success with the later fields
  // dropped and left unread at the end of the file.
  kmSession full = FullSession();
  full.SetStoredAdjustVarFormats(KmVector<kmAdjustVarFormat>{Group("g", 0, 3)});
  km_test::ScratchDir dir;
  const std::string whole = Written(full, dir);
  const size_t iMagicNul = 4 + std::strlen("KinkMarkSession");
  ASSERT_EQ(whole[iMagicNul], '\0');
  const size_t iVersion = whole.find("4.900");
  ASSERT_NE(iVersion, std::string::npos);

  std::string noNul = whole;
  noNul.erase(iMagicNul, 1);
  std::string otherNul = whole;
  otherNul[iMagicNul] = 'X';
  std::string olderVersion = whole;
  olderVersion.replace(iVersion, 5, "4.000");
  const struct {
    const char* sWhat;
    std::string bytes;
  } kCases[] = {
      {"magic without its zero byte", noNul},
      {"magic with another last byte", otherNul},
      {"version changed to 4.000", olderVersion},
      {"one byte after the block", whole + std::string(1, '\0')},
      {"a second block after the block", whole + whole},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sWhat);
    kmSession session = FullSession();
    KmException e =
        CatchKmException([&] { session.Read(PathOf(c.bytes, dir).c_str()); });
    EXPECT_STREQ(e.GetMessage(), kNotValid);
    EXPECT_EQ(session.GetNumVars(), 0);
  }
  kmSession session;
  session.Read(PathOf(whole, dir).c_str());
  ExpectSameStoredContent(session, full);
}

TEST(kmSessionFile, SavedOptionsOutsideTheirValuesAreRefused) {
  // Fault: a session file with one byte flipped was read with values the
  // run-options file refuses (-499 permutations left every cohort without
  // kinkmarks, an unknown error model, 768 maximum kinkmarks).
  const char* const kStart = "The session file \"";
  const struct {
    int iOption;
    double dValue;
    const char* sRefusal;  // after the file name; nullptr: read
  } kCases[] = {
      {kmOptNumPermutations, -499,
       "holds -499 for the option \"num permutations\", which takes 1 to "
       "100000."},
      {kmOptHetErrorModel, 3,
       "holds 3 for the option \"het error\", which takes 0 (constant "
       "variance), 1 (poisson count), 2 (standard error), 4 (poisson rate) "
       "or 5 (variance-covariance matrix from a file)."},
      {kmOptMaxKinkmarks, 768,
       "holds 768 for the option \"maximum kinkmarks\", which takes 0 to 9."},
      {kmOptAPCAlpha, 1.5,
       "holds 1.5 for the option \"apc alpha level\", which takes a level "
       "above 0 and below 1."},
      {kmOptLogLinear, 2,
       "holds 2 for the option \"log-linear model\", which takes 0 (false) or "
       "1 "
       "(true)."},
      // Fault: printed with 10 digits, as the whole number 2 it refuses.
      {kmOptHetErrorModel, 2.0000000000000004,
       "holds 2.0000000000000004 for the option \"het error\", which takes "
       "a whole number."},
      {kmOptDataShift, NAN,
       "holds nan for the option \"data shift\", which takes a finite "
       "number."},
      {kmOptMADWDPsi, 1.5,
       "holds 1.5 for the option \"madwd psi value\", which takes 0 to 1."},
      {kmOptDelayStatKind, 7,
       "holds 7 for the option \"delay statistic kind\", which takes -1 to "
       "6."},
      {kmOptHeaderLines, 2.5,
       "holds 2.5 for the option \"header lines\", which takes a whole "
       "number."},
      // Fault: a negative merging threshold stopped the run with a matrix
      // library's index error once a count was 0.
      {kmOptCompressionThreshold, -1,
       "holds -1 for the option \"merging threshold\", which takes a number "
       "from 0."},
      {kmOptHetErrorModel, 5, nullptr},
      {kmOptComparisonType, 2, nullptr},
      {kmOptNumPermutations, 100000, nullptr},
  };
  km_test::ScratchDir dir;
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.iOption) + " = " + std::to_string(c.dValue));
    kmSession saved = FullSession();
    std::string bytes = Written(saved, dir);
    const size_t iOptions = 4 + std::strlen("KinkMarkSession") + 1 + 2;
    std::memcpy(&bytes[iOptions + 8 * c.iOption], &c.dValue, 8);
    const std::string path = PathOf(bytes, dir);
    kmSession session;
    if (c.sRefusal == nullptr) {
      session.Read(path.c_str());
      continue;
    }
    const KmException e = CatchKmException([&] { session.Read(path.c_str()); });
    EXPECT_EQ(std::string(e.GetMessage()),
              kStart + path + "\" " + c.sRefusal + "\n");
    EXPECT_EQ(session.GetNumVars(), 0);
  }
}

}  // namespace
