// Tests of the value-label formats (KmFormat, KmFormatLine, KmFormatRange).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/KmIniSection.h"
#include "tests/test_util/CatchKmException.h"

namespace {

// Index of the line holding the text value (blanks allowed), or -1.
int32_t IndexOf(const KmFormat& format, const char* sValue) {
  return format.GetIndexFromValue(sValue, true, true);
}

TEST(KmFormat, ParsesOneLineOfText) {
  struct Case {
    const char* sLine;
    bool bWithDisplay;
    const char* sValue;
    const char* sLabel;
    const char* sDisplay;
  };
  const Case kCases[] = {
      {"1=Male", false, "1", "Male", ""},
      {"  1 = Male \t", false, "1", "Male", ""},
      {"a=b=c", false, "a", "b=c", ""},
      {"a=b=c", true, "a", "b", "c"},
      {"a = b", true, "a", "b", ""},
      {"x=", false, "x", "", ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sLine);
    KmFormat format;
    format.SetDataType('A');
    format.AddLine(c.sLine, -1, c.bWithDisplay);
    ASSERT_EQ(format.GetNumLines(), 1);
    EXPECT_EQ(format.GetValue(0), c.sValue);
    EXPECT_EQ(format.GetLabel(0), c.sLabel);
    EXPECT_EQ(format.GetDisplayLabel(0), c.sDisplay);
  }
}

TEST(KmFormat, RefusesLinesItCannotSplit) {
  KmFormat format;
  KmException e =
      km_test::CatchKmException([&] { format.AddLine("Male", -1, false); });
  EXPECT_STREQ(e.GetMessage(), "Invalid line - AddLine(char *sLine)");
  EXPECT_STREQ(e.GetSource(), "KmFormat");
  EXPECT_STREQ(e.GetCallPath(), "AddLine(char *sLine) of KmFormat");

  e = km_test::CatchKmException([&] { format.AddLine("Male", -1, true); });
  EXPECT_STREQ(e.GetMessage(),
               "Invalid line - AddLine(char *sLine, long lIndex)");
  format.SetDataType('A');
  e = km_test::CatchKmException([&] { format.AddLine("a=b=c=d", -1, true); });
  EXPECT_STREQ(e.GetMessage(),
               "Invalid line - AddLine(char *sLine, long lIndex)");
  EXPECT_EQ(format.GetNumLines(), 0);
}

TEST(KmFormat, IntegerListsAndBlankValues) {
  KmFormat format;
  format.AddLine("1,3,5", "odd", -1);
  format.AddLine("", "blank", -1);
  format.AddLine("\"12\"", "twelve", -1);
  // Fault: a code written 1e1 or +020.0, its number by the one number rule,
  // was refused; 1.5 is no code.
  format.AddLine("1e1, +020.0", "spelt", -1);
  // Fault: a number that is no code was "not a valid long" whatever it
  // was; each now says what it is.
  const struct {
    const char* sLine;
    const char* sMessage;
  } kNoCodes[] = {
      {"1.5", "\"1.5\" is a number, but not a whole one: no code"},
      {"3e9",
       "\"3e9\" is a whole number outside -2147483648 to 2147483647, the "
       "codes this format holds"},
      {"1e999", "\"1e999\" is a number beyond those a double holds: no code"},
  };
  for (const auto& c : kNoCodes) {
    const KmMalformedDataException e =
        km_test::CatchKmException<KmMalformedDataException>(
            [&] { format.AddLine(c.sLine, "no code", -1); });
    EXPECT_STREQ(e.GetMessage(), c.sMessage);
  }
  struct Case {
    const char* sValue;
    int32_t iExpected;
  };
  const Case kCases[] = {
      {"3", 0},  {"5", 0},  {"2", -1}, {"-2147483648", 1}, {"0", -1},
      {"12", 2}, {"8", -1}, {"10", 3}, {"20", 3},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sValue);
    EXPECT_EQ(IndexOf(format, c.sValue), c.iExpected);
  }
}

// Fault: an empty piece of a value list (two commas in a row, or a comma at
// the end) was converted like any bound, and the conversion reads an empty
// text as 0, so the line silently took the value 0, which it never names.
// An empty piece now stands for no value, in every type.
TEST(KmFormat, EmptyPiecesOfAListStandForNoValue) {
  KmFormat numbers;
  numbers.AddLine("7,,9,", "seven or nine", -1);
  EXPECT_EQ(numbers.GetLine(0).GetNumRanges(), 2);
  KmFormat texts;
  texts.SetDataType('A');
  texts.AddLine("a,,b", "a or b", -1);
  struct Case {
    const KmFormat* pFormat;
    const char* sValue;
    int32_t iExpected;
  };
  const Case kCases[] = {
      {&numbers, "7", 0}, {&numbers, "9", 0}, {&numbers, "0", -1},
      {&texts, "b", 0},   {&texts, "", -1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sValue);
    EXPECT_EQ(IndexOf(*c.pFormat, c.sValue), c.iExpected);
  }
}

TEST(KmFormat, QuotedValueIsTakenWhole) {
  KmFormat format;
  format.SetDataType('A');
  format.AddLine("\"1-2,3\"", "quoted", -1);
  format.AddLine("\"\"", "two quotes", -1);
  EXPECT_EQ(format.GetLine(0).GetNumRanges(), 1);
  EXPECT_EQ(format.GetLine(0).GetRange(0).GetKind(), 0);
  EXPECT_EQ(IndexOf(format, "1-2,3"), 0);
  EXPECT_EQ(IndexOf(format, "3"), -1);
  // Two characters are not a quoted value: the text itself is the value.
  EXPECT_EQ(IndexOf(format, "\"\""), 1);
}

// Every kind of range, and what it holds, for an integer format.
TEST(KmFormat, RangeEndsFollowTheMarkersBesideTheDash) {
  struct Case {
    const char* sRange;
    int32_t lKind;
    const char* sInside;
    const char* sOutside;
  };
  const Case kCases[] = {
      {"1-5", 1, "1,3,5", "0,6"}, {"1 - 5", 1, "1,5", "0,6"},
      {"1-<5", 2, "1,4", "0,5"},  {"1<-5", 3, "2,5", "1,6"},
      {"1<-<5", 4, "2,4", "1,5"}, {"1 <-< 5", 4, "2,4", "1,5"},
      {"-5--1", -1, "", ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sRange);
    KmFormat format;
    if (c.lKind < 0) {
      KmException e =
          km_test::CatchKmException([&] { format.AddLine(c.sRange, "r", -1); });
      EXPECT_STREQ(e.GetMessage(), "Invalid range");
      EXPECT_STREQ(e.GetSource(), "KmFormatLine");
      continue;
    }
    format.AddLine(c.sRange, "r", -1);
    EXPECT_EQ(format.GetLine(0).GetRange(0).GetKind(), c.lKind);
    for (const std::string& sList :
         {std::string(c.sInside), std::string(c.sOutside)}) {
      size_t uStart = 0;
      while (uStart < sList.size()) {
        size_t uComma = sList.find(',', uStart);
        if (uComma == std::string::npos) uComma = sList.size();
        const std::string sValue = sList.substr(uStart, uComma - uStart);
        const bool bInside = sList == c.sInside;
        EXPECT_EQ(IndexOf(format, sValue.c_str()), bInside ? 0 : -1)
            << "value " << sValue;
        uStart = uComma + 1;
      }
    }
  }
}

// A dash at the end leaves an empty high bound, which reads as 0, so the
// range "5-" holds no value; a dash in the first place is refused.
TEST(KmFormat, RangeWithEmptyHighEndEndsAtZero) {
  KmFormat format;
  format.AddLine("5-", "five up", -1);
  EXPECT_EQ(format.GetLine(0).GetRange(0).GetKind(), 1);
  for (const char* sValue : {"0", "5", "6", "-2147483648"}) {
    SCOPED_TRACE(sValue);
    EXPECT_EQ(IndexOf(format, sValue), -1);
  }
  EXPECT_THROW(format.AddLine("-3-", "minus three", -1), KmException);
  EXPECT_EQ(format.GetNumLines(), 1);
}

TEST(KmFormat, NumberTypesMatchValuesGivenAsNumbers) {
  KmFormat shorts;
  shorts.SetDataType('S');
  shorts.AddLine("1-3", "low", -1);
  const int16_t iTwo = 2;
  const int16_t iFour = 4;
  EXPECT_EQ(shorts.GetIndexFromValue(&iTwo, false, false), 0);
  EXPECT_EQ(shorts.GetIndexFromValue(&iFour, false, false), -1);

  KmFormat unsignedLongs;
  unsignedLongs.SetDataType('W');
  unsignedLongs.AddLine("4000000000-4294967295", "high", -1);
  const uint32_t ulValue = 4100000000u;
  EXPECT_EQ(unsignedLongs.GetIndexFromValue(&ulValue, false, false), 0);
  EXPECT_EQ(IndexOf(unsignedLongs, "4294967295"), 0);

  KmFormat unsignedShorts;
  unsignedShorts.SetDataType('U');
  unsignedShorts.AddLine("", "blank", -1);
  const uint16_t uiZero = 0;
  EXPECT_EQ(unsignedShorts.GetIndexFromValue(&uiZero, false, false), 0);

  KmFormat doubles;
  doubles.SetDataType('N');
  doubles.AddLine("0.5-<1.5", "about one", -1);
  doubles.AddLine("", "blank", -1);
  const double dOne = 1.0;
  const double dNaN = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(doubles.GetIndexFromValue(&dOne, false, false), 0);
  EXPECT_EQ(doubles.GetIndexFromValue(&dNaN, false, false), -1);
  EXPECT_EQ(IndexOf(doubles, "1.5"), -1);
  EXPECT_EQ(IndexOf(doubles, "0.5"), 0);
  EXPECT_EQ(IndexOf(doubles, "-1e30"), 1);
}

TEST(KmFormat, BoundsMustBeWholeNumbersOfTheType) {
  struct Case {
    char cType;
    const char* sValue;
  };
  const Case kCases[] = {
      {'S', "32768"}, {'U', "70000"}, {'I', "1.5"}, {'W', "4294967296"},
      {'N', "1,5x"},  {'I', "1 "},    {'I', "a-b"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(1, c.cType) + " " + c.sValue);
    KmFormat format;
    format.SetDataType(c.cType);
    EXPECT_THROW(format.AddLine(c.sValue, "x", -1), KmMalformedDataException);
    EXPECT_EQ(format.GetNumLines(), 0);
  }
}

TEST(KmFormat, UnknownTypeLetterIsRefused) {
  KmFormat format;
  format.SetDataType('X');
  for (const char* sValue : {"1", "", "1-2", "\"abc\""}) {
    SCOPED_TRACE(sValue);
    KmException e =
        km_test::CatchKmException([&] { format.AddLine(sValue, "x", -1); });
    EXPECT_STREQ(e.GetMessage(), "Invalid character type");
    EXPECT_STREQ(e.GetSource(), "KmFormatLine");
  }
  KmFormatLine line("1", "one", 'I');
  const int32_t lOne = 1;
  EXPECT_THROW(line.GetIsInFormatLine(&lOne, 'Q', false, false, true),
               KmException);
}

TEST(KmFormat, TextBoundsHoldAtMostThirtyTwoCharacters) {
  const std::string s32(32, 'x');
  const std::string s33(33, 'x');
  KmFormat format;
  format.SetDataType('A');
  format.AddLine(s32.c_str(), "long", -1);
  EXPECT_EQ(IndexOf(format, s32.c_str()), 0);
  KmException e = km_test::CatchKmException(
      [&] { format.AddLine(s33.c_str(), "too long", -1); });
  EXPECT_STREQ(e.GetMessage(), "Invalid format range");
  EXPECT_STREQ(e.GetSource(), "KmFormatRange");
  EXPECT_THROW(KmFormatRange(nullptr, "a", 1), KmException);
}

TEST(KmFormat, TextRangesFollowTheCaseFlag) {
  KmFormat format;
  format.SetDataType('A');
  format.AddLine("b-d", "b to d", -1);
  format.AddLine("Male", "M", -1);
  struct Case {
    bool bCaseSensitive;
    const char* sValue;
    int32_t iExpected;
  };
  const Case kCases[] = {
      {true, "c", 0},     {true, "C", -1}, {false, "C", 0},  {true, "male", -1},
      {false, "MALE", 1}, {true, "d", 0},  {true, "da", -1}, {true, " c", -1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sValue);
    format.SetCaseSensitive(c.bCaseSensitive);
    EXPECT_EQ(format.GetIndexFromValue(c.sValue, true, false), c.iExpected);
  }
}

TEST(KmFormat, ValueLookUpTakesTheFirstMatchingLine) {
  KmFormat format;
  format.AddLine("1-10", "decade", -1);
  format.AddLine("5", "five", -1);
  EXPECT_EQ(IndexOf(format, "5"), 0);
  // A leading blank is refused without a conversion unless allowed.
  EXPECT_EQ(format.GetIndexFromValue(" 5", true, false), -1);
  EXPECT_EQ(format.GetIndexFromValue(" 5", true, true), 0);
  // A text that is no number stops the search with the conversion error.
  const KmMalformedDataException e =
      km_test::CatchKmException<KmMalformedDataException>(
          [&] { format.GetIndexFromValue("abc", true, true); });
  EXPECT_STREQ(e.GetMessage(), "\"abc\" is not a valid long");
  EXPECT_NE(
      std::string(e.GetCallPath()).find("GetIndexFromValue() of KmFormat"),
      std::string::npos);
  KmException eNull = km_test::CatchKmException(
      [&] { format.GetIndexFromValue(nullptr, true, true); });
  EXPECT_STREQ(eNull.GetMessage(), "Null buffer");
}

TEST(KmFormat, LabelLookUpFollowsTheCaseFlag) {
  KmFormat format;
  format.AddLine("1", "Male", -1);
  format.AddLine("2", "Female", -1);
  format.AddLine("3", "Male", -1);
  EXPECT_EQ(format.GetIndexFromLabel("Male"), 0);
  EXPECT_EQ(format.GetIndexFromLabel("male"), -1);
  EXPECT_EQ(format.GetIndexFromLabel("Other"), -1);
  format.SetCaseSensitive(false);
  EXPECT_EQ(format.GetIndexFromLabel("male"), 0);
  EXPECT_EQ(format.GetIndexFromLabel("FEMALE"), 1);
}

TEST(KmFormat, WholeFormatTextRoundTrip) {
  KmFormat format;
  format.SetDataType('A');
  format.AddLine("1", "Male", "M", -1);
  format.AddLine("2", "Female", -1);
  format.AddLine("3-<9", "Other", "O", -1);
  KmString sText;
  format.GetWholeFormat(sText);
  EXPECT_EQ(sText, "1=Male=M\n2=Female\n3-<9=Other=O\n");

  KmFormat copy;
  copy.SetDataType('A');
  copy.SetWholeFormat(sText.GetCString(), true);
  KmString sAgain;
  copy.GetWholeFormat(sAgain);
  EXPECT_EQ(sAgain, sText);
  ASSERT_EQ(copy.GetNumLines(), 3);
  EXPECT_EQ(copy.GetDisplayLabel(0), "M");
  EXPECT_EQ(copy.GetDisplayLabel(1), "");

  // Without display labels the rest of the line is the label; text after
  // the last line end is ignored; carriage returns are trimmed away.
  copy.SetWholeFormat("1=Male=M\r\n2=Female\nleft over", false);
  ASSERT_EQ(copy.GetNumLines(), 2);
  EXPECT_EQ(copy.GetLabel(0), "Male=M");
  EXPECT_EQ(copy.GetLabel(1), "Female");

  KmFormat empty;
  empty.GetWholeFormat(sText);
  EXPECT_TRUE(sText.IsEmpty());
}

TEST(KmFormat, WholeFormatWithAnEmptyLineIsRefusedAndChangesNothing) {
  KmFormat format;
  format.AddLine("1", "one", -1);
  KmException e = km_test::CatchKmException(
      [&] { format.SetWholeFormat("1=a\n\n2=b\n", false); });
  EXPECT_STREQ(e.GetMessage(), "Invalid line - AddLine(char *sLine)");
  EXPECT_NE(std::string(e.GetCallPath()).find("SetWholeFormat() of KmFormat"),
            std::string::npos);
  ASSERT_EQ(format.GetNumLines(), 1);
  EXPECT_EQ(format.GetLabel(0), "one");
}

// Fault: the line accessors did not test their index, so an index outside
// the lines read past the end of the list.
TEST(KmFormat, LineAccessorsCheckTheirIndex) {
  KmFormat format;
  format.AddLine("1", "one", "One", -1);
  format.AddLine("2", "two", -1);
  for (int32_t i : {-1, 2, 100}) {
    SCOPED_TRACE(i);
    const std::string sMessage =
        "Index " + std::to_string(i) + " out of range; vector is from 0 to 1";
    KmException e = km_test::CatchKmException([&] { format.GetLine(i); });
    EXPECT_EQ(std::string(e.GetMessage()), sMessage);
    EXPECT_STREQ(e.GetSource(), "KmFormat");
    EXPECT_STREQ(e.GetCallPath(), "GetLine() of KmFormat");
    EXPECT_THROW(format.GetValue(i), KmException);
    EXPECT_THROW(format.GetLabel(i), KmException);
    EXPECT_THROW(format.GetDisplayLabel(i), KmException);
  }
  KmFormat empty;
  KmException e = km_test::CatchKmException([&] { empty.GetLabel(0); });
  EXPECT_STREQ(e.GetMessage(), "Index 0 out of range; vector is from 0 to -1");
  EXPECT_EQ(format.GetValue(1), "2");
  EXPECT_EQ(format.GetDisplayLabel(0), "One");
}

// Fault: AddLine inserted before an index past the end of the lines without
// testing it; an index at or past the count now appends.
TEST(KmFormat, AddLinePlacesLinesByIndex) {
  KmFormat format;
  format.AddLine("1", "a", -1);
  format.AddLine("2", "b", 1);   // at the count: appends
  format.AddLine("3", "c", 10);  // past the count: appends
  format.AddLine("0", "z", 0);   // inserts first
  format.AddLine("9", "y", -5);  // negative: appends
  format.AddLine("5=m", 2, false);
  KmString sText;
  format.GetWholeFormat(sText);
  EXPECT_EQ(sText, "0=z\n1=a\n5=m\n2=b\n3=c\n9=y\n");
}

TEST(KmFormat, AddLineFromALineReparsesWithTheFormatsType) {
  KmFormatLine textLine("7", "seven", 'A', "VII");
  KmFormat format;  // type 'I'
  format.AddLine(textLine);
  EXPECT_EQ(IndexOf(format, "7"), 0);
  EXPECT_EQ(format.GetDisplayLabel(0), "VII");
  EXPECT_EQ(format.GetLine(0).GetDataType(), 'I');
}

TEST(KmFormat, LineKeepsItsValueWhenANewOneCannotBeRead) {
  KmFormatLine line("1-3", "low", 'I');
  EXPECT_THROW(line.SetValue("-3"), KmException);
  EXPECT_EQ(line.GetValue(), "1-3");
  ASSERT_EQ(line.GetNumRanges(), 1);
  const int32_t lTwo = 2;
  EXPECT_TRUE(line.GetIsInFormatLine(&lTwo, 'I', false, false, true));
  EXPECT_FALSE(line.GetIsInFormatLine(nullptr, 'I', false, false, true));
  line.DeleteAllRanges();
  EXPECT_FALSE(line.GetIsInFormatLine(&lTwo, 'I', false, false, true));
  EXPECT_THROW(line.DeleteRange(0), KmException);
}

TEST(KmFormat, CopiesCarryLinesAndFlags) {
  KmFormat format;
  format.SetName("[Format=Sex]");
  format.SetDataType('S');
  format.SetCaseSensitive(false);
  format.SetSecondFlag(false);
  format.AddLine("1", "Male", -1);

  std::unique_ptr<KmFormat> clone(format.Clone());
  KmFormat assigned;
  assigned = format;
  for (const KmFormat* copy : {clone.get(), &assigned}) {
    EXPECT_EQ(copy->GetName(), "[Format=Sex]");
    EXPECT_EQ(copy->GetDataType(), 'S');
    EXPECT_FALSE(copy->GetCaseSensitive());
    EXPECT_FALSE(copy->GetSecondFlag());
    ASSERT_EQ(copy->GetNumLines(), 1);
    EXPECT_EQ(copy->GetLabel(0), "Male");
  }

  KmFormat partial;
  partial.AddLine("9", "nine", -1);
  partial.Copy(format);
  EXPECT_EQ(partial.GetName(), "[Format=Sex]");
  ASSERT_EQ(partial.GetNumLines(), 1);
  EXPECT_EQ(partial.GetLabel(0), "nine");

  // Assignment to itself keeps everything (through a reference, which
  // compilers do not warn about).
  const KmFormat& same = assigned;
  assigned = same;
  EXPECT_EQ(assigned.GetNumLines(), 1);
}

TEST(KmFormat, ReadTakesTheLinesOfAnIniSection) {
  KmIniSection section("Format=Sex");
  section.AddLine("1 = Male");
  section.AddLine("2=Female");
  section.AddLine("3-9=Unknown");
  KmFormat format;
  format.AddLine("0", "old", -1);
  format.Read(&section, 'I');
  EXPECT_EQ(format.GetName(), "[Format=Sex]");
  EXPECT_EQ(format.GetDataType(), 'I');
  EXPECT_TRUE(format.GetCaseSensitive());
  EXPECT_TRUE(format.GetSecondFlag());
  ASSERT_EQ(format.GetNumLines(), 3);
  EXPECT_EQ(format.GetLabel(0), "Male");
  EXPECT_EQ(IndexOf(format, "5"), 2);

  KmIniSection caseSection("Case");
  caseSection.SetString("[Format=Sex]", "false");
  KmIniSection typeSection("Types");
  typeSection.SetString("[Format=Sex]", "Alpha");
  format.Read(&section, 'I', &caseSection, nullptr, &typeSection);
  EXPECT_FALSE(format.GetCaseSensitive());
  EXPECT_EQ(format.GetDataType(), 'A');
  EXPECT_EQ(IndexOf(format, "3-9"), 2);

  KmException e = km_test::CatchKmException([&] { format.Read(nullptr, 'I'); });
  EXPECT_STREQ(e.GetMessage(), "Null buffer");
}

TEST(KmFormat, ReadKeepsTheOldLinesWhenASectionCannotBeRead) {
  KmIniSection section("Format=Bad");
  section.AddLine("1=one");
  section.AddLine("x=not a number");
  KmFormat format;
  format.AddLine("0", "old", -1);
  EXPECT_THROW(format.Read(&section, 'I'), KmException);
  ASSERT_EQ(format.GetNumLines(), 1);
  EXPECT_EQ(format.GetLabel(0), "old");
}

}  // namespace

// The first line holding the value, scanning the lines in order: what every
// look-up of a format must give, whatever its size.
int32_t ScanFor(const KmFormat& format, const char* sValue) {
  for (int32_t i = 0; i < format.GetNumLines(); ++i) {
    if (format.GetLine(i).GetIsInFormatLine(sValue, format.GetDataType(), true,
                                            true, format.GetCaseSensitive())) {
      return i;
    }
  }
  return -1;
}

// A value text of a large format: single values, lists and ranges of every
// kind of end, overlapping one another, drawn from the seed.
std::string RandomValueText(std::mt19937& random, char cType) {
  std::uniform_int_distribution<int> number(0, 3000);
  std::uniform_int_distribution<int> shape(0, 5);
  auto one = [&]() -> std::string {
    const int n = number(random);
    if (cType == 'A') return "k" + std::to_string(n);
    if (cType == 'N') return std::to_string(n) + ".5";
    return std::to_string(n);
  };
  auto range = [&]() {
    static const char* const kDashes[] = {"-", "<-", "-<", "<-<"};
    return one() + kDashes[number(random) % 4] + one();
  };
  switch (shape(random)) {
    case 0:
      return range();
    case 1:
      return one() + "," + range() + "," + one();
    case 2:
      return one() + "," + one();
    default:
      return one();
  }
}

TEST(KmFormat, LargeFormatsGiveTheLinesOfAScanInOrder) {
  struct Case {
    char cType;
    bool bCaseSensitive;
  };
  const Case kCases[] = {
      {'I', true}, {'N', true}, {'W', true}, {'A', true}, {'A', false}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(1, c.cType) + (c.bCaseSensitive ? "" : " nocase"));
    std::mt19937 random(20261207);
    KmFormat format;
    format.SetDataType(c.cType);
    format.SetCaseSensitive(c.bCaseSensitive);
    for (int i = 0; i < 5000; ++i) {
      const std::string sLabel = "L" + std::to_string(i % 4000);
      format.AddLine(RandomValueText(random, c.cType).c_str(), sLabel.c_str(),
                     -1);
    }
    format.AddLine("", "blank", -1);
    for (int v = c.cType == 'W' ? 0 : -2; v <= 3002; ++v) {
      const std::string sNumber = std::to_string(v);
      std::vector<std::string> vValues = {sNumber};
      if (c.cType == 'N') vValues.push_back(sNumber + ".5");
      if (c.cType == 'A') vValues = {sNumber, "k" + sNumber, "K" + sNumber};
      for (const std::string& sValue : vValues) {
        ASSERT_EQ(IndexOf(format, sValue.c_str()),
                  ScanFor(format, sValue.c_str()))
            << sValue;
      }
    }
    if (c.cType == 'A') {
      EXPECT_EQ(IndexOf(format, ""), ScanFor(format, ""));
      EXPECT_EQ(IndexOf(format, "zzz"), ScanFor(format, "zzz"));
    }
    EXPECT_EQ(format.GetIndexFromLabel("L3999"), 3999);
    EXPECT_EQ(format.GetIndexFromLabel("L5"), 5);
    EXPECT_EQ(format.GetIndexFromLabel("blank"), 5000);
    EXPECT_EQ(format.GetIndexFromLabel("L4000"), -1);
  }
}

TEST(KmFormat, LookUpsFollowChangesOfLinesTypeAndCase) {
  KmFormat format;
  format.SetDataType('A');
  format.AddLine("b-d", "Range", -1);
  EXPECT_EQ(IndexOf(format, "c"), 0);
  EXPECT_EQ(IndexOf(format, "C"), -1);
  format.SetCaseSensitive(false);
  EXPECT_EQ(IndexOf(format, "C"), 0);
  EXPECT_EQ(format.GetIndexFromLabel("RANGE"), 0);
  format.AddLine("c", "Single", 0);
  EXPECT_EQ(IndexOf(format, "C"), 0);
  EXPECT_EQ(IndexOf(format, "b"), 1);
  format.SetWholeFormat("1-<5=Low\n5=Five\n", false);
  EXPECT_EQ(IndexOf(format, "c"), -1);
  // Lines read as text stay text ranges, which hold no number.
  format.SetDataType('I');
  EXPECT_EQ(IndexOf(format, "5"), -1);
  format.SetWholeFormat("1-<5=Low\n5=Five\n", false);
  EXPECT_EQ(IndexOf(format, "4"), 0);
  EXPECT_EQ(IndexOf(format, "5"), 1);
  KmFormat copy;
  copy = format;
  EXPECT_EQ(IndexOf(copy, "5"), 1);
  // A text that is no number fails as the scan of the lines fails.
  EXPECT_STREQ(
      km_test::CatchKmException([&] { IndexOf(copy, "x5"); }).GetMessage(),
      km_test::CatchKmException([&] { ScanFor(copy, "x5"); }).GetMessage());
}
