// KmCheckedReader: values read whole, and every damaged count, length or
// end handed to the caller's refusal with its fault.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "foundation/KmCheckedReader.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::CatchKmException;

// A refusal that names the fault, the part and the value in its message.
KmCheckedReader::Refusal Naming() {
  return [](const KmCheckedReader::Failure& f) {
    GenerateKmExceptionF("fault %d in %s (%lld)", "test",
                         static_cast<int>(f.eFault), f.sPart,
                         static_cast<long long>(f.iValue));
  };
}

std::string Message(KmCheckedReader::Fault eFault, const char* sPart,
                    long long iValue) {
  return "fault " + std::to_string(static_cast<int>(eFault)) + " in " + sPart +
         " (" + std::to_string(iValue) + ")";
}

TEST(KmCheckedReader, ReadsTheLayoutsOfTheFileLayer) {
  km_test::ScratchDir dir;
  const std::string path = dir.File("values.bin");
  {
    KmIO_File out(path.c_str(), KmIO_File::kWrite);
    out.WriteBool(true);
    out.WriteShort(-2);
    out.WriteInt(-70000);
    out.WriteLong(123456);
    out.WriteDouble(-0.125);
    out.WriteCString("text");
    out.WriteCString(nullptr);
    out.WriteString("plain");
    out.WriteShort(3);
  }
  KmIO_File file(path.c_str(), KmIO_File::kRead);
  KmCheckedReader in(&file, Naming(), "values");
  EXPECT_EQ(in.BytesLeft(), 1 + 2 + 4 + 4 + 8 + 9 + 4 + 6 + 2);
  EXPECT_TRUE(in.ReadBool());
  EXPECT_EQ(in.ReadShort(), -2);
  EXPECT_EQ(in.ReadInt(), -70000);
  EXPECT_EQ(in.ReadLong(), 123456);
  EXPECT_EQ(in.ReadDouble(), -0.125);
  KmString sText;
  in.ReadCString(sText);
  EXPECT_EQ(sText, "text");
  in.ReadCString(sText);
  EXPECT_EQ(sText, "");
  in.ReadString(sText);
  EXPECT_EQ(sText, "plain");
  EXPECT_EQ(in.ReadShortCount(), 3);
  EXPECT_EQ(in.BytesLeft(), 0);
  in.CheckAtEnd();
}

TEST(KmCheckedReader, DamagedBytesAreRefusedWithTheirFault) {
  using R = KmCheckedReader;
  struct Case {
    const char* sName;
    std::string bytes;
    std::function<void(R&)> read;
    R::Fault eFault;
    long long iValue;
  };
  const std::string kFourBytes("\x05\0\0\0", 4);
  const Case kCases[] = {
      {"empty file, Bool", "", [](R& r) { r.ReadBool(); }, R::kEnded, 0},
      {"one byte, Short", "\x01", [](R& r) { r.ReadShort(); }, R::kEnded, 0},
      {"three bytes, Int", "abc", [](R& r) { r.ReadInt(); }, R::kEnded, 0},
      {"seven bytes, Double", "1234567", [](R& r) { r.ReadDouble(); },
       R::kEnded, 0},
      {"negative Short count", "\xfe\xff", [](R& r) { r.ReadShortCount(); },
       R::kNegativeCount, -2},
      {"count beyond the file", "\x01\x02", [](R& r) { r.CheckCount(3, 1); },
       R::kCountBeyondFile, 3},
      {"count beyond any file", "",
       [](R& r) { r.CheckCount(int64_t{1} << 31); }, R::kCountBeyondFile,
       int64_t{1} << 31},
      {"CString length past the end", kFourBytes + "ab",
       [](R& r) {
         KmString s;
         r.ReadCString(s);
       },
       R::kEnded, 0},
      {"CString without its zero byte", kFourBytes + "abcde",
       [](R& r) {
         KmString s;
         r.ReadCString(s);
       },
       R::kBadText, 0},
      {"CString of huge length", std::string("\xff\xff\xff\x7f", 4) + "ab",
       [](R& r) {
         KmString s;
         r.ReadCString(s);
       },
       R::kEnded, 0},
      {"negative CString length", std::string("\xff\xff\xff\xff", 4),
       [](R& r) {
         KmString s;
         r.ReadCString(s);
       },
       R::kNegativeCount, -1},
      {"String without its zero byte", "abc",
       [](R& r) {
         KmString s;
         r.ReadString(s);
       },
       R::kEnded, 0},
      {"bytes after the block", "\x01\x02\x03",
       [](R& r) {
         r.ReadShort();
         r.CheckAtEnd();
       },
       R::kTrailingBytes, 1},
      {"caller's own refusal", "", [](R& r) { r.Refuse(); }, R::kBadValue, 0},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    const std::string path = dir.File("damaged.bin");
    km_test::WriteAll(path, c.bytes);
    KmIO_File file(path.c_str(), KmIO_File::kRead);
    KmCheckedReader in(&file, Naming(), "the part");
    const KmException e = CatchKmException([&] { c.read(in); });
    EXPECT_EQ(e.GetMessage(), Message(c.eFault, "the part", c.iValue));
  }
}

TEST(KmCheckedReader, CountsNameTheirElementsAndPlainRefusalsOneMessage) {
  km_test::ScratchDir dir;
  const std::string path = dir.File("short.bin");
  km_test::WriteAll(path, "ab");
  KmIO_File file(path.c_str(), KmIO_File::kRead);
  KmCheckedReader in(&file, Naming(), "the table");
  KmException e = CatchKmException([&] { in.CheckCount(-4, 0, "rows"); });
  EXPECT_EQ(e.GetMessage(),
            Message(KmCheckedReader::kNegativeCount, "rows", -4));
  // A count that fits passes, whatever its elements.
  EXPECT_EQ(in.CheckCount(2, 1), 2);

  KmCheckedReader plain(&file, KmCheckedReader::Plain("not valid", "src"));
  e = CatchKmException([&] { plain.ReadDouble(); });
  EXPECT_STREQ(e.GetMessage(), "not valid");
  EXPECT_STREQ(e.GetSource(), "src");
  // The reader of a closed file reads an empty one.
  KmIO_File closed;
  KmCheckedReader none(&closed, KmCheckedReader::Plain("not valid", "src"));
  e = CatchKmException([&] { none.ReadBool(); });
  EXPECT_STREQ(e.GetMessage(), "not valid");
}

}  // namespace
