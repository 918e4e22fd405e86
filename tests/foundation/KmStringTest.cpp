#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "foundation/KmString.h"
#include "tests/test_util/CatchKmException.h"

namespace {

using km_test::CatchKmException;

std::string Text(const KmString& s) { return std::string(s.GetCString()); }

TEST(KmString, ConstructionAndAssignment) {
  EXPECT_EQ(Text(KmString(static_cast<const char*>(nullptr))), "");
  EXPECT_EQ(Text(KmString('\0')), "");
  EXPECT_EQ(Text(KmString('x')), "x");
  EXPECT_EQ(Text(KmString(std::string("std"))), "std");
  KmString s("old");
  s = 'c';
  EXPECT_EQ(Text(s), "c");
  s = '\0';
  EXPECT_TRUE(s.IsEmpty());
  s = 42;
  EXPECT_EQ(Text(s), "42");
  s = 1.5;
  EXPECT_EQ(Text(s), "1.500000");
  s = static_cast<const char*>(nullptr);
  EXPECT_EQ(s.GetLength(), 0);
}

TEST(KmString, AppendsNumbersInFixedFormats) {
  struct Case {
    const char* sName;
    std::function<void(KmString&)> append;
    const char* sExpected;
  };
  const Case cases[] = {
      {"int 1", [](KmString& s) { s << 1; }, "1"},
      {"short -32768", [](KmString& s) { s << static_cast<short>(-32768); },
       "-32768"},
      {"unsigned int", [](KmString& s) { s << 4000000000u; }, "4000000000"},
      {"long -5", [](KmString& s) { s << -5L; }, "-5"},
      {"unsigned long max", [](KmString& s) { s << 4294967295UL; },
       "4294967295"},
      {"int32 min", [](KmString& s) { s << INT32_MIN; }, "-2147483648"},
      {"uint32 max", [](KmString& s) { s << UINT32_MAX; }, "4294967295"},
      // A long is a 32-bit value: a wider host long is cut to 32 bits.
      {"host long above 32 bits", [](KmString& s) { s << 0x100000005L; }, "5"},
      {"double 2", [](KmString& s) { s << 2.0; }, "2.000000"},
      {"double 0.0000004", [](KmString& s) { s << 0.0000004; }, "0.000000"},
      {"double -0.5", [](KmString& s) { s << -0.5; }, "-0.500000"},
      {"char", [](KmString& s) { s << 'z'; }, "z"},
      {"NUL char", [](KmString& s) { s << '\0'; }, ""},
      {"null text", [](KmString& s) { s << static_cast<const char*>(nullptr); },
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    KmString s("<");
    c.append(s);
    EXPECT_EQ(Text(s), std::string("<") + c.sExpected);
  }
}

TEST(KmString, AppendsHugeDoubleInFull) {
  // Fault: a double whose "%-lf" text exceeds the 64-byte number buffer was
  // cut short; the buffer is now sized from the formatter's answer.
  for (double d : {1e60, -1e200, 1.7976931348623157e308}) {
    char expected[400];
    std::snprintf(expected, sizeof expected, "%lf", d);
    SCOPED_TRACE(expected);
    KmString s;
    s << d;
    EXPECT_EQ(Text(s), expected);
    EXPECT_GT(s.GetLength(), 64);
  }
}

TEST(KmString, Manipulators) {
  KmString s("ab");
  s << KmEndl;
  EXPECT_EQ(Text(s), "ab\r\n");
  s << "x" << KmClear << "y" << 1;
  EXPECT_EQ(Text(s), "y1");
  s << static_cast<KmStringManipulator>(7);
  EXPECT_EQ(Text(s), "y1");
}

TEST(KmString, Trimming) {
  struct Case {
    const char* sInput;
    KmString& (KmString::*trim)();
    const char* sExpected;
  };
  const Case cases[] = {
      {"\t ab \r", &KmString::Trim, "ab"},
      {"\t ab \r", &KmString::TrimSpaces, "\t ab \r"},
      {"  ab  ", &KmString::TrimSpaces, "ab"},
      {"  ab  ", &KmString::TrimLeftSpaces, "ab  "},
      {"  ab  ", &KmString::TrimRightSpaces, "  ab"},
      {" \t\n ", &KmString::Trim, ""},
      {"\t ab \r", &KmString::TrimLeft, "ab \r"},
      {"\t ab \r", &KmString::TrimRight, "\t ab"},
      {"\xE9 ab", &KmString::Trim, "\xE9 ab"},
      {"\xE9 ab", &KmString::TrimLeft, "\xE9 ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sInput);
    KmString s(c.sInput);
    EXPECT_EQ(Text((s.*c.trim)()), c.sExpected);
  }
  EXPECT_EQ(ZdDeblank("\x01x\x20", true, true), "x");
  EXPECT_EQ(ZdDeblankSpaces("\x01x\x20", true, true), "\x01x");
  const KmException e =
      CatchKmException([] { ZdDeblank(nullptr, true, true); });
  EXPECT_STREQ(e.GetMessage(), "null pointer: sString");
  EXPECT_STREQ(e.GetSource(), "ZdDeblank");
}

TEST(KmString, SearchAndCompare) {
  const KmString banana("banana");
  EXPECT_EQ(banana.Find("a", 0, true), 5);
  EXPECT_EQ(banana.Find("a", 2, false), 3);
  EXPECT_EQ(banana.Find("a", 2, true), 3);
  EXPECT_EQ(banana.Find("z"), -1);
  EXPECT_EQ(banana.Find(KmString("nan")), 2);
  EXPECT_EQ(banana.Find("a", -4), 1);
  EXPECT_EQ(KmString("aaaa").GetCharCount("aa"), 3);
  EXPECT_EQ(banana.GetCharCount("x"), 0);

  const KmString abc("abc");
  EXPECT_FALSE(abc.EndsWith("abcd"));
  EXPECT_TRUE(abc.EndsWith("bc"));
  EXPECT_TRUE(abc.EndsWith(""));
  EXPECT_TRUE(abc.EndsWith('c'));
  EXPECT_FALSE(KmString().EndsWith('x'));
  EXPECT_TRUE(abc.StartsWith(""));
  EXPECT_TRUE(abc.StartsWith("ab"));
  EXPECT_FALSE(abc.StartsWith("abcd"));

  EXPECT_TRUE(abc == "abc");
  EXPECT_TRUE(abc != "ABC");
  EXPECT_TRUE(abc == KmString("abc"));
  EXPECT_TRUE(abc != KmString("ab"));
}

TEST(KmString, RangeErrorsCarryMessageAndCallPath) {
  struct Case {
    const char* sName;
    std::function<void()> call;
    const char* sMessage;
    const char* sCallPath;
  };
  KmString abc("abc");
  const KmString& constAbc = abc;
  KmString empty;
  KmString out;
  const Case cases[] = {
      {"operator[] -1", [&] { abc[-1]; },
       "Index (value=-1) is out of range, [0, 2]", "operator[] of KmString"},
      {"const operator[] 3", [&] { constAbc[3]; },
       "Index (value=3) is out of range, [0, 2]", "operator[] of KmString"},
      {"operator[] on empty", [&] { empty[0]; },
       "Index (value=0) is out of range, [0, -1]", "operator[] of KmString"},
      {"GetCharAt -1", [&] { abc.GetCharAt(-1); },
       "index (value=-1) is out of range, [0, 2]", "GetCharAt of KmString"},
      {"GetCharAt 3", [&] { abc.GetCharAt(3); },
       "index (value=3) is out of range, [0, 2]", "GetCharAt of KmString"},
      {"GetSubstring from 4", [&] { abc.GetSubstring(out, 4, -1); },
       "lStart (value=4) must not be greater than GetLength (value=3)",
       "GetSubstring() of KmString"},
      {"GetSubstring too long", [&] { abc.GetSubstring(out, 1, 3); },
       "Substring length (value=3) must be less than or equal to GetLength "
       "(value=3) minus lStart (value=1).",
       "GetSubstring() of KmString"},
      {"Remove past end", [&] { abc.Remove(2, 2); },
       "Cannot remove 2 characters starting at position 2 from string of "
       "length 3.",
       "Remove() of KmString"},
      {"Truncate longer", [&] { abc.Truncate(4); },
       "ulLength (value=4) must not be greater than string length (value=3).",
       "Truncate() of KmString"},
      {"GetCharCount null", [&] { abc.GetCharCount(nullptr); },
       "null pointer: pFindChars", "GetCharCount() of KmString"},
      {"Replace null original", [&] { abc.Replace(nullptr, "x"); },
       "null pointer: sOriginal", "Replace() of KmString"},
      {"Replace null replacement", [&] { abc.Replace("a", nullptr); },
       "null pointer: sReplace", "Replace() of KmString"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    const KmException e = CatchKmException(c.call);
    EXPECT_STREQ(e.GetMessage(), c.sMessage);
    EXPECT_STREQ(e.GetSource(), "KmString");
    EXPECT_STREQ(e.GetCallPath(), c.sCallPath);
    EXPECT_EQ(e.GetKind(), 0);
    // A failed check leaves the string unchanged.
    EXPECT_EQ(Text(abc), "abc");
  }
}

TEST(KmString, Substrings) {
  KmString s("abcdef");
  KmString out("junk");
  EXPECT_EQ(Text(s.GetSubstring(out, 3, -1)), "abcdef");
  EXPECT_EQ(Text(out), "def");
  s.GetSubstring(out, 6, 0);
  EXPECT_EQ(Text(out), "");
  s.GetSubstring(out, 1, 2);
  EXPECT_EQ(Text(out), "bc");
  s.GetSubstring(s, 2, 2);
  EXPECT_EQ(Text(s), "cd");
}

TEST(KmString, ReplaceDoesNotRescanReplacements) {
  KmString all("aXa");
  EXPECT_EQ(Text(all.Replace("a", "aa", true)), "aaXaa");
  KmString first("aXa");
  EXPECT_EQ(Text(first.Replace("a", "aa", false)), "aaXa");
  KmString message("at least $$ points, $$");
  EXPECT_EQ(Text(message.Replace("$$", "12")), "at least 12 points, 12");
}

TEST(KmString, ReplaceWithEmptySearchTextTerminates) {
  // Fault: an empty search text matched at every step without consuming
  // text, so Replace never ended; it now leaves the string unchanged.
  KmString s("abc");
  EXPECT_EQ(Text(s.Replace("", "x", true)), "abc");
  EXPECT_EQ(Text(s.Replace("", "x", false)), "abc");
}

TEST(KmString, InsertRemoveAndCase) {
  KmString s("ad");
  s.Insert("bc", 1);
  EXPECT_EQ(Text(s), "abcd");
  s.Insert("!", 4);
  EXPECT_EQ(Text(s), "abcd!");
  s.Remove(1, 2);
  EXPECT_EQ(Text(s), "ad!");
  KmString cr("a\rb\r\n");
  EXPECT_EQ(Text(cr.RemoveAll('\r')), "ab\n");
  KmString mixed("aB1\xC9z");
  EXPECT_EQ(Text(mixed.MakeUpper()), "AB1\xC9Z");
  EXPECT_EQ(Text(mixed.MakeLower()), "ab1\xC9z");
  EXPECT_EQ(Text(mixed.Truncate(2)), "ab");
  EXPECT_TRUE(mixed.Clear().IsEmpty());
}

TEST(KmString, InsertPastEndRaisesKmException) {
  // Fault: inserting beyond the end escaped as a foreign exception of the
  // standard string type, which the call-path handlers do not catch.
  for (int32_t lPos : {4, -1}) {
    SCOPED_TRACE(lPos);
    KmString s("abc");
    const KmException e = CatchKmException([&] { s.Insert("x", lPos); });
    EXPECT_STREQ(e.GetSource(), "KmString");
    EXPECT_STREQ(e.GetCallPath(), "Insert() of KmString");
    EXPECT_NE(std::string(e.GetMessage()).find("length 3"), std::string::npos);
    EXPECT_EQ(Text(s), "abc");
  }
}

TEST(KmString, PrintfReplacesContentWithExactText) {
  KmString s("a much longer previous content");
  s.printf("%d-%s", 7, "x");
  EXPECT_EQ(Text(s), "7-x");
  const std::string sLong(1000, 'y');
  s.printf("[%s]", sLong.c_str());
  EXPECT_EQ(Text(s), "[" + sLong + "]");
  s.printf("%s", "");
  EXPECT_TRUE(s.IsEmpty());
}

}  // namespace
