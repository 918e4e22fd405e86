// Tests of kmVariable: format ownership, labels and the session-block
// record with its version gates.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "foundation/KmFormat.h"
#include "foundation/KmIO_File.h"
#include "session/kmVariable.h"
#include "tests/session/SessionBlockBuilder.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::BlockBuilder;
using km_test::CatchKmException;

const char* const kNotValid = "Error:  This file is not a valid Kinkmark file.";

KmFormat SexFormat() {
  KmFormat format;
  format.SetDataType('I');
  format.AddLine("1", "Male", -1);
  format.AddLine("2", "Female", -1);
  return format;
}

std::string Written(const kmVariable& variable,
                    const km_test::ScratchDir& dir) {
  const std::string path = dir.File("var.bin");
  {
    KmIO_File file(path.c_str(), 0x0A);
    variable.Write(&file);
  }
  return km_test::ReadAll(path);
}

void ReadFrom(kmVariable& variable, const std::string& bytes, double dVersion,
              const km_test::ScratchDir& dir) {
  const std::string path = dir.File("var_in.bin");
  km_test::WriteAll(path, bytes);
  KmIO_File file(path.c_str(), 1);
  variable.Read(&file, dVersion);
}

TEST(kmVariable, DefaultHasNoNameNoPositionAndNoFormat) {
  kmVariable variable;
  EXPECT_EQ(variable.GetName(), "");
  EXPECT_EQ(variable.GetPosition(), 65535);
  EXPECT_FALSE(variable.HasFormat());
  KmException e = CatchKmException([&] { variable.GetFormat(); });
  EXPECT_STREQ(e.GetMessage(), "No Format found for variable .");
}

TEST(kmVariable, CopyOwnsItsOwnFormat) {
  KmFormat format = SexFormat();
  auto pFirst = std::make_unique<kmVariable>("Sex", 2, &format);
  kmVariable copy(*pFirst);
  kmVariable assigned;
  assigned = *pFirst;
  pFirst.reset();
  for (const kmVariable* pVar : {&copy, &assigned}) {
    ASSERT_TRUE(pVar->HasFormat());
    EXPECT_EQ(pVar->GetFormat().GetNumLines(), 2);
    EXPECT_EQ(pVar->GetFormat().GetLabel(1), "Female");
  }
  EXPECT_NE(&copy.GetFormat(), &assigned.GetFormat());
}

TEST(kmVariable, NullFormatWritesOnlyTheHead) {
  KmFormat format = SexFormat();
  kmVariable variable("Age", 7, &format);
  variable.SetFormat(nullptr);
  EXPECT_FALSE(variable.HasFormat());
  km_test::ScratchDir dir;
  EXPECT_EQ(Written(variable, dir),
            BlockBuilder().CString("Age").Short(7).Bool(false).Bytes());
}

TEST(kmVariable, WritesTypeByteAndWholeFormat) {
  KmFormat format = SexFormat();
  kmVariable variable("Sex", 3, &format);
  km_test::ScratchDir dir;
  EXPECT_EQ(Written(variable, dir), BlockBuilder()
                                        .CString("Sex")
                                        .Short(3)
                                        .Bool(true)
                                        .Byte('I')
                                        .CString("1=Male\n2=Female\n")
                                        .Bytes());
}

TEST(kmVariable, RecordRoundTripsForEveryFormatType) {
  struct Case {
    char cType;
    const char* sWhole;
  };
  const Case kCases[] = {
      {'I', "1=Male\n2=Female\n"},
      {'N', "1.5=Low=L\n2.5-3.5=High\n"},
      {'A', "a=Alpha\nb=Beta\n"},
      {'S', "0=Delay\n1=Non-Delay\n"},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.cType);
    KmFormat format;
    format.SetDataType(c.cType);
    format.SetWholeFormat(c.sWhole, c.cType == 'N');
    kmVariable written("Var", 4, &format);
    kmVariable read;
    ReadFrom(read, Written(written, dir), 4.9, dir);
    EXPECT_TRUE(read == written);
    EXPECT_EQ(read.GetFormat().GetDataType(), c.cType);
  }
}

TEST(kmVariable, OlderRecordsFollowTheirVersion) {
  struct Case {
    double dVersion;
    bool bTypeByte;
    char cExpectedType;
    const char* sExpectedLabel1;
  };
  // The stored lines end in "=" as writers before 4.8 left them.
  const Case kCases[] = {
      {4.31, false, 'N', "Two"},
      {4.32, true, 'I', "Two"},
      {4.79, true, 'I', "Two"},
      {4.8, true, 'I', "Two="},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.dVersion);
    BlockBuilder block;
    block.CString("Year").Short(1).Bool(true);
    if (c.bTypeByte) block.Byte('I');
    block.CString("1=One=\n2=Two=\n");
    kmVariable variable;
    ReadFrom(variable, block.Bytes(), c.dVersion, dir);
    ASSERT_TRUE(variable.HasFormat());
    EXPECT_EQ(variable.GetFormat().GetDataType(), c.cExpectedType);
    ASSERT_EQ(variable.GetFormat().GetNumLines(), 2);
    EXPECT_EQ(variable.GetFormat().GetLabel(1), c.sExpectedLabel1);
  }
}

TEST(kmVariable, EmptyWholeFormatGivesFormatWithoutLines) {
  km_test::ScratchDir dir;
  kmVariable variable;
  ReadFrom(variable,
           BlockBuilder()
               .CString("X")
               .Short(2)
               .Bool(true)
               .Byte('I')
               .CString("")
               .Bytes(),
           4.9, dir);
  ASSERT_TRUE(variable.HasFormat());
  EXPECT_EQ(variable.GetFormat().GetNumLines(), 0);
}

TEST(kmVariable, GetLabelByTextLineOrByValue) {
  KmFormat text;
  text.SetDataType('A');
  text.SetWholeFormat("x=First\ny=Second\nz=Third\n", false);
  kmVariable textVar("T", 1, &text);
  KmString sLabel;
  EXPECT_STREQ(textVar.GetLabel(2, sLabel, false), "Third");

  KmFormat numbers;
  numbers.SetDataType('I');
  numbers.SetWholeFormat("1-3=Low\n2=Two\n5=Five\n", false);
  kmVariable numVar("N", 1, &numbers);
  EXPECT_STREQ(numVar.GetLabel(2, sLabel, false), "Low");
  EXPECT_STREQ(numVar.GetLabel(5, sLabel, true), "2");
  EXPECT_STREQ(numVar.GetLabel(9, sLabel, true), "-1");
  KmException e = CatchKmException([&] { numVar.GetLabel(9, sLabel, false); });
  EXPECT_STREQ(e.GetMessage(),
               "Requesting line -1 of format for variable N which has only 3 "
               "lines.");

  kmVariable bare("B", 1, nullptr);
  e = CatchKmException([&] { bare.GetLabel(4, sLabel, true); });
  EXPECT_STREQ(e.GetMessage(),
               "Requesting label for value 4 of variable B which has no "
               "format.");
}

TEST(kmVariable, ValueOutsideTheFormatTypeMatchesNoLine) {
  // Fault: a value that does not fit the format's type (40000 for a short
  // format, -1 for an unsigned one) raised a conversion error from GetLabel,
  // even with the line-number flag, instead of matching no line.
  struct Case {
    char cType;
    int32_t iValue;
  };
  const Case kCases[] = {
      {'S', 40000}, {'S', -2147483647 - 1}, {'U', -1}, {'U', 70000},
      {'W', -1},    {'I', 2147483647},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(1, c.cType) + " " + std::to_string(c.iValue));
    KmFormat format;
    format.SetDataType(c.cType);
    format.AddLine("0", "Zero", -1);
    format.AddLine("1", "One", -1);
    kmVariable variable("V", 1, &format);
    KmString sLabel;
    EXPECT_STREQ(variable.GetLabel(c.iValue, sLabel, true), "-1");
    KmException e =
        CatchKmException([&] { variable.GetLabel(c.iValue, sLabel, false); });
    EXPECT_STREQ(e.GetMessage(),
                 "Requesting line -1 of format for variable V which has only "
                 "2 lines.");
    EXPECT_STREQ(variable.GetLabel(1, sLabel, false), "One");
  }
}

TEST(kmVariable, TruncatedRecordIsRefusedAndLeavesVariableUnchanged) {
  // Fault: a record cut short read as zeros and an empty format instead of
  // being refused.
  const std::string whole = BlockBuilder()
                                .CString("Sex")
                                .Short(3)
                                .Bool(true)
                                .Byte('I')
                                .CString("1=Male\n2=Female\n")
                                .Bytes();
  km_test::ScratchDir dir;
  for (size_t n = 0; n < whole.size(); ++n) {
    SCOPED_TRACE(n);
    kmVariable variable("Before", 9, nullptr);
    KmException e = CatchKmException(
        [&] { ReadFrom(variable, whole.substr(0, n), 4.9, dir); });
    EXPECT_STREQ(e.GetMessage(), kNotValid);
    EXPECT_EQ(variable.GetName(), "Before");
    EXPECT_EQ(variable.GetPosition(), 9);
    EXPECT_FALSE(variable.HasFormat());
  }
}

TEST(kmVariable, CorruptedRecordIsRefused) {
  // Fault: a negative or oversized stored length, or an unknown type
  // letter, was taken as data.
  const std::string kBad[] = {
      BlockBuilder().Int(-5).Bytes(),
      BlockBuilder().Int(0x7FFFFFFF).Raw("abc").Bytes(),
      BlockBuilder().Int(3).Raw("abc").Short(1).Bool(false).Bytes(),
      BlockBuilder()
          .CString("V")
          .Short(1)
          .Bool(true)
          .Byte('Q')
          .CString("1=a\n")
          .Bytes(),
  };
  km_test::ScratchDir dir;
  for (const std::string& bytes : kBad) {
    SCOPED_TRACE(bytes.size());
    kmVariable variable;
    KmException e =
        CatchKmException([&] { ReadFrom(variable, bytes, 4.9, dir); });
    EXPECT_STREQ(e.GetMessage(), kNotValid);
  }
}

}  // namespace
