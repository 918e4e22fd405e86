#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "foundation/AllocateMemory.h"
#include "foundation/KmConvertValue.h"
#include "foundation/KmException.h"
#include "tests/test_util/CatchKmException.h"

namespace {

// The outcome of one conversion as text: the value, or "<letter>: <message>
// | <call path>" for a KmMalformedDataException.
template <typename T>
std::string Convert(const char* sText, bool bAllowLeadingBlanks) {
  T value{};
  try {
    KmConvertValue(value, sText, bAllowLeadingBlanks);
  } catch (const KmMalformedDataException& e) {
    EXPECT_STREQ(e.GetSource(), "KmConvertValue()");
    EXPECT_EQ(e.GetKind(), 0);
    EXPECT_EQ(e.GetText(), sText);
    return std::string(1, e.GetDataType()) + ": " + e.GetMessage() + " | " +
           e.GetCallPath();
  }
  return std::to_string(value);
}

// Range failures pass the family's handler, syntax failures do not.
const char kRangePath[] = " | KmConvertValue of KmConvertValue";

TEST(KmConvertValue, IntegerTargets) {
  struct Case {
    const char* sText;
    bool bAllow;
    std::string sShort, sUnsignedShort, sLong, sUnsignedLong;
  };
  const std::string kInvalid = "\" is not a valid ";
  const Case cases[] = {
      {"123", false, "123", "123", "123", "123"},
      {"+7", false, "7", "7", "7", "7"},
      {"-7", false, "-7", "U: \"-7\" is not a valid unsigned short | ", "-7",
       "W: \"-7\" is not a valid unsigned long | "},
      {"32768", false,
       std::string("S: \"32768\" does not fit in a short") + kRangePath,
       "32768", "32768", "32768"},
      {"-32768", false, "-32768",
       "U: \"-32768\" is not a valid unsigned short | ", "-32768",
       "W: \"-32768\" is not a valid unsigned long | "},
      {"65535", false,
       std::string("S: \"65535\" does not fit in a short") + kRangePath,
       "65535", "65535", "65535"},
      {"65536", false,
       std::string("S: \"65536\" does not fit in a short") + kRangePath,
       std::string("U: \"65536\" does not fit in an unsigned short") +
           kRangePath,
       "65536", "65536"},
      {"-2147483648", false,
       std::string("S: \"-2147483648\" does not fit in a short") + kRangePath,
       "U: \"-2147483648\" is not a valid unsigned short | ", "-2147483648",
       "W: \"-2147483648\" is not a valid unsigned long | "},
      {"4294967295", false,
       std::string("S: \"4294967295\" does not fit in a short") + kRangePath,
       std::string("U: \"4294967295\" does not fit in an unsigned short") +
           kRangePath,
       std::string("I: \"4294967295\" does not fit in a long") + kRangePath,
       "4294967295"},
      {"99999999999999999999", false,
       std::string("S: \"99999999999999999999\" does not fit in a short") +
           kRangePath,
       std::string(
           "U: \"99999999999999999999\" does not fit in an unsigned short") +
           kRangePath,
       std::string("I: \"99999999999999999999\" does not fit in a long") +
           kRangePath,
       std::string(
           "W: \"99999999999999999999\" does not fit in an unsigned long") +
           kRangePath},
      {"12a", false, "S: \"12a\" is not a valid short | ",
       "U: \"12a\" is not a valid unsigned short | ",
       "I: \"12a\" is not a valid long | ",
       "W: \"12a\" is not a valid unsigned long | "},
      {"1.5", false, "S: \"1.5\" is not a valid short | ",
       "U: \"1.5\" is not a valid unsigned short | ",
       "I: \"1.5\" is not a valid long | ",
       "W: \"1.5\" is not a valid unsigned long | "},
      {"1e3", true, "S: \"1e3\" is not a valid short | ",
       "U: \"1e3\" is not a valid unsigned short | ",
       "I: \"1e3\" is not a valid long | ",
       "W: \"1e3\" is not a valid unsigned long | "},
      {"12 ", true, "S: \"12 \" is not a valid short | ",
       "U: \"12 \" is not a valid unsigned short | ",
       "I: \"12 \" is not a valid long | ",
       "W: \"12 \" is not a valid unsigned long | "},
      {" 12", false, "S: \" 12\" is not a valid short | ",
       "U: \" 12\" is not a valid unsigned short | ",
       "I: \" 12\" is not a valid long | ",
       "W: \" 12\" is not a valid unsigned long | "},
      {" \t\r\n12", true, "12", "12", "12", "12"},
      {"", false, "0", "0", "0", "0"},
      {"+", false, "0", "0", "0", "0"},
      {"-", false, "0", "U: \"-\" is not a valid unsigned short | ", "0",
       "W: \"-\" is not a valid unsigned long | "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("text \"") + c.sText + "\"");
    EXPECT_EQ(Convert<int16_t>(c.sText, c.bAllow), c.sShort);
    EXPECT_EQ(Convert<uint16_t>(c.sText, c.bAllow), c.sUnsignedShort);
    EXPECT_EQ(Convert<int32_t>(c.sText, c.bAllow), c.sLong);
    EXPECT_EQ(Convert<uint32_t>(c.sText, c.bAllow), c.sUnsignedLong);
  }
}

TEST(KmConvertValue, DoubleTarget) {
  struct Case {
    const char* sText;
    bool bAllow;
    bool bValid;
    double dValue;
  };
  const Case cases[] = {
      {"1e3", false, true, 1000.0},
      {"-0.5", false, true, -0.5},
      {"", false, true, 0.0},
      {"\n12", false, true, 12.0},
      {" 12", true, true, 12.0},
      {"\t12", true, true, 12.0},
      {" 12", false, false, 0},
      {"\t12", false, false, 0},
      {"1,5", true, false, 0},
      {"12e", true, false, 0},
      {"1.5E+", false, false, 0},
      {"12 ", true, false, 0},
      {"abc", true, false, 0},
      {"  ", true, false, 0},
      // Only decimal numbers: the standard conversion's other forms are
      // text.
      {"0x10", true, false, 0},
      {"0x1p0", false, false, 0},
      {"inf", false, false, 0},
      {"-Infinity", true, false, 0},
      {" nan", true, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("text \"") + c.sText + "\"");
    double d = -99.0;
    if (c.bValid) {
      KmConvertValue(d, c.sText, c.bAllow);
      EXPECT_EQ(d, c.dValue);
      continue;
    }
    const KmMalformedDataException e =
        km_test::CatchKmException<KmMalformedDataException>(
            [&] { KmConvertValue(d, c.sText, c.bAllow); });
    EXPECT_EQ(std::string(e.GetMessage()),
              std::string("\"") + c.sText + "\" is not a valid double");
    EXPECT_EQ(e.GetDataType(), 'N');
    EXPECT_STREQ(e.GetCallPath(), "");
    EXPECT_EQ(d, -99.0);
  }
}

// The one rule of a code: a decimal number whose value is whole.
TEST(ReadCode, WholeNumbersHoweverWrittenAreCodes) {
  for (const char* s : {"+01.00", "1e0", "1.", "-0"}) {
    int32_t lCode = -9;
    EXPECT_EQ(ReadCode(s, &lCode), CodeText::kCode) << s;
    EXPECT_EQ(lCode, s[0] == '-' ? 0 : 1) << s;
  }
  // Fault: a code was whole by its rounded double, so 0.99999999999999999
  // was the code 1, and 1e-999 the code 0.
  for (const char* s : {"1.5", "3e9", "1e999", "0.99999999999999999", "1e-999"})
    EXPECT_EQ(ReadCode(s, nullptr), CodeText::kNumberNoCode) << s;
  for (const char* s : {"", " 1", "0x10"})
    EXPECT_EQ(ReadCode(s, nullptr), CodeText::kText) << s;
}

// Fault: a number under the smallest double read as 0 (1e-999 the year 0),
// and wholeness was the rounded double's, not the text's.
TEST(ReadNumber, TellsEachKindOnce) {
  const double kNone = 0.0;
  const struct {
    const char* sText;
    bool bAllow;
    NumberKind kind;
    double dValue;
  } kCases[] = {
      {"12", false, NumberKind::kWholeNumber, 12.0},
      {"+12.00", false, NumberKind::kWholeNumber, 12.0},
      {"1.2e1", false, NumberKind::kWholeNumber, 12.0},
      {"120e-1", false, NumberKind::kWholeNumber, 12.0},
      {"-0.0", false, NumberKind::kWholeNumber, 0.0},
      {"0e-999", false, NumberKind::kWholeNumber, 0.0},
      {" 3", true, NumberKind::kWholeNumber, 3.0},
      {"0.5", false, NumberKind::kNumber, 0.5},
      {"125e-2", false, NumberKind::kNumber, 1.25},
      {"0.99999999999999999", false, NumberKind::kNumber, 1.0},
      {"2.2250738585072014e-308", false, NumberKind::kNumber,
       2.2250738585072014e-308},
      {"1e999", false, NumberKind::kBeyondDouble, kNone},
      {"-1e999", false, NumberKind::kBeyondDouble, kNone},
      {"1e-999", false, NumberKind::kBeyondDouble, kNone},
      {"1e-310", false, NumberKind::kBeyondDouble, kNone},
      {"1e99999999999999999999", false, NumberKind::kBeyondDouble, kNone},
      {"", false, NumberKind::kNoNumber, kNone},
      {" 3", false, NumberKind::kNoNumber, kNone},
      {"inf", false, NumberKind::kNoNumber, kNone},
      {"0x10", false, NumberKind::kNoNumber, kNone},
      {"12e", false, NumberKind::kNoNumber, kNone},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string("\"") + c.sText + "\"");
    double dValue = -99.0;
    EXPECT_EQ(ReadNumber(c.sText, c.bAllow, &dValue), c.kind);
    EXPECT_EQ(dValue, c.dValue);
    EXPECT_FALSE(std::signbit(dValue));
  }
  // The conversion to a double refuses what no double holds, by name.
  for (const char* s : {"1e999", "1e-999"}) {
    double d = -99.0;
    const KmMalformedDataException e =
        km_test::CatchKmException<KmMalformedDataException>(
            [&] { KmConvertValue(d, s, false); });
    EXPECT_EQ(
        std::string(e.GetMessage()),
        std::string("\"") + s + "\" is beyond the numbers a double holds");
    EXPECT_EQ(d, -99.0);
  }
}

TEST(IsValidIntegerText, SignsAndBlanks) {
  EXPECT_TRUE(IsValidSignedIntegerText("-12", false));
  EXPECT_FALSE(IsValidUnsignedIntegerText("-12", false));
  EXPECT_TRUE(IsValidUnsignedIntegerText("+12", false));
  EXPECT_TRUE(IsValidSignedIntegerText("\n+1", true));
  EXPECT_FALSE(IsValidSignedIntegerText("\n+1", false));
  EXPECT_FALSE(IsValidSignedIntegerText("+-1", true));
  EXPECT_FALSE(IsValidSignedIntegerText(nullptr, true));
}

TEST(AllocateMemory, BuffersAndBadRequests) {
  char* pEmpty = AllocateMemory(0);
  EXPECT_NE(pEmpty, nullptr);
  delete[] pEmpty;
  char* pBuffer = AllocateMemory(16);
  ASSERT_NE(pBuffer, nullptr);
  EXPECT_EQ(pBuffer[0], '\0');
  delete[] pBuffer;

  const KmException e = km_test::CatchKmException([] { AllocateMemory(-1); });
  EXPECT_STREQ(e.GetMessage(),
               "Bad memory allocation request - tried to allocate -1 bytes.");
  EXPECT_STREQ(e.GetSource(), "Memory");
  EXPECT_EQ(e.GetKind(), 0);
  // After the reserve is released, allocation goes on.
  char* pAgain = AllocateMemory(4);
  EXPECT_NE(pAgain, nullptr);
  delete[] pAgain;
}

TEST(AllocateMemory, OutOfMemoryMessageIsCutTo127Characters) {
  const std::string sFormat = std::string(200, 'm') + " %d";
  const KmException e =
      km_test::CatchKmException([&] { ThrowOutOfMemory(sFormat.c_str(), 5); });
  EXPECT_EQ(std::string(e.GetMessage()), std::string(127, 'm'));
  EXPECT_STREQ(e.GetSource(), "Memory");
}

}  // namespace
