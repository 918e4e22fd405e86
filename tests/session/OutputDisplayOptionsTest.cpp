// Tests of OutputDisplayOptions: defaults, typed access and the
// results-file record with its version rules.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "foundation/KmIO_File.h"
#include "session/OutputDisplayOptions.h"
#include "tests/session/SessionBlockBuilder.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::BlockBuilder;
using km_test::CatchKmException;

// The defaults, index by index (booleans as 1 or 0).
const double kDefaults[44] = {0, 2, 5, 0, 6, 7,   1, 1, 1, 1, 0, 0, 2, 0, 6,
                              0, 6, 1, 1, 0, 192, 0, 1, 4, 0, 0, 0, 1, 0, 1,
                              2, 7, 7, 1, 5, 5,   1, 1, 4, 1, 2, 3, 0, 3};

std::string Record(const std::vector<double>& options,
                   const std::vector<std::string>* pStrings) {
  BlockBuilder block;
  block.Short(static_cast<int16_t>(options.size()));
  for (double d : options) block.Double(d);
  if (pStrings != nullptr) {
    block.Short(static_cast<int16_t>(pStrings->size()));
    for (const std::string& s : *pStrings) block.String(s);
  }
  return block.Bytes();
}

std::vector<double> Sequence(int iCount) {
  std::vector<double> values;
  for (int i = 0; i < iCount; ++i) values.push_back(100 + i);
  return values;
}

std::string Written(const OutputDisplayOptions& options,
                    const km_test::ScratchDir& dir) {
  const std::string path = dir.File("odo.bin");
  {
    KmIO_File file(path.c_str(), 0x0A);
    options.Write(&file);
  }
  return km_test::ReadAll(path);
}

void ReadFrom(OutputDisplayOptions& options, const std::string& bytes,
              double dVersion, const km_test::ScratchDir& dir) {
  const std::string path = dir.File("odo_in.bin");
  km_test::WriteAll(path, bytes);
  KmIO_File file(path.c_str(), 1);
  options.Read(&file, dVersion);
}

KmString Text(const OutputDisplayOptions& options, int i) {
  KmString s;
  options.GetString(i, s);
  return s;
}

TEST(OutputDisplayOptions, NewObjectWritesTheDefaults) {
  OutputDisplayOptions options;
  EXPECT_EQ(options.GetInt(1), 2);
  EXPECT_TRUE(options.GetBool(6));
  EXPECT_FALSE(options.GetBool(13));
  EXPECT_EQ(options.GetInt(20), 192);
  EXPECT_EQ(options.GetInt(23), 4);
  EXPECT_EQ(Text(options, 0), "5,10");
  const std::vector<std::string> texts = {"5,10", "", "", ""};
  km_test::ScratchDir dir;
  EXPECT_EQ(Written(options, dir),
            Record(std::vector<double>(kDefaults, kDefaults + 44), &texts));
}

TEST(OutputDisplayOptions, BooleanAccessOnlyOnBooleanOptions) {
  OutputDisplayOptions options;
  for (int i : {0, 5, 43}) {
    SCOPED_TRACE(i);
    KmException e = CatchKmException([&] { options.GetBool(i); });
    EXPECT_EQ(std::string(e.GetMessage()),
              "Non-Boolean Output Display Option " + std::to_string(i) +
                  " received by function");
    e = CatchKmException([&] { options.SetBool(i, true); });
    EXPECT_EQ(std::string(e.GetMessage()),
              "Non-Boolean Output Display Option " + std::to_string(i) +
                  " received by function");
  }
  options.SetInt(6, 0);
  EXPECT_FALSE(options.GetBool(6));
  // The boolean test comes before the range test.
  KmException e = CatchKmException([&] { options.GetBool(44); });
  EXPECT_STREQ(e.GetMessage(),
               "Non-Boolean Output Display Option 44 received by function");
}

TEST(OutputDisplayOptions, IndexOutsideTheOptionsIsTheVectorError) {
  OutputDisplayOptions options;
  KmException e = CatchKmException([&] { options.GetInt(44); });
  EXPECT_STREQ(e.GetMessage(), "Index 44 out of range; vector is from 0 to 43");
  e = CatchKmException([&] { options.SetInt(-1, 3); });
  EXPECT_STREQ(e.GetMessage(), "Index -1 out of range; vector is from 0 to 43");
  KmString s;
  e = CatchKmException([&] { options.GetString(4, s); });
  EXPECT_STREQ(e.GetMessage(), "Index 4 out of range; vector is from 0 to 3");
}

TEST(OutputDisplayOptions, StoredValuesReadByTruncationAndExactTruth) {
  struct Case {
    int iIndex;
    double dStored;
    int iInt;
    bool bBool;
  };
  const Case kCases[] = {
      {6, 0.9999, 0, false}, {6, 2.0, 2, false},   {6, 1.0, 1, true},
      {7, 3.7, 3, false},    {7, -3.7, -3, false}, {7, 9999.0, 9999, false},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.dStored);
    std::vector<double> values(kDefaults, kDefaults + 44);
    values[c.iIndex] = c.dStored;
    OutputDisplayOptions options;
    ReadFrom(options, Record(values, nullptr), 3.0, dir);
    EXPECT_EQ(options.GetInt(c.iIndex), c.iInt);
    EXPECT_EQ(options.GetBool(c.iIndex), c.bBool);
  }
}

TEST(OutputDisplayOptions, StoredValueNoIntCanHoldIsRefusedByGetInt) {
  // Fault: GetInt converted whatever double a results file stored; a NaN or
  // a value beyond the int range made the conversion undefined.
  const double kDamaged[] = {std::nan(""), 1e300, -1e300, 2147483648.0,
                             -2147483649.0};
  km_test::ScratchDir dir;
  for (double dStored : kDamaged) {
    SCOPED_TRACE(dStored);
    std::vector<double> values(kDefaults, kDefaults + 44);
    values[1] = dStored;
    OutputDisplayOptions options;
    ReadFrom(options, Record(values, nullptr), 3.0, dir);
    KmException e = CatchKmException([&] { options.GetInt(1); });
    EXPECT_NE(std::string(e.GetMessage()).find("Output Display Option 1 holds"),
              std::string::npos);
    EXPECT_STREQ(e.GetCallPath(), "GetInt() of OutputDisplayOptions");
    EXPECT_EQ(options.GetInt(2), 5);
  }
  // The extreme values an int can take still read.
  std::vector<double> values(kDefaults, kDefaults + 44);
  values[1] = 2147483647.0;
  values[2] = -2147483648.0;
  OutputDisplayOptions options;
  ReadFrom(options, Record(values, nullptr), 3.0, dir);
  EXPECT_EQ(options.GetInt(1), 2147483647);
  EXPECT_EQ(options.GetInt(2), -2147483647 - 1);
}

TEST(OutputDisplayOptions, VersionRulesOfTheRecord) {
  const std::vector<double> values = Sequence(44);
  const std::vector<std::string> texts = {"1,2", "3", "4,5,6", "7"};
  const std::string record = Record(values, &texts);
  km_test::ScratchDir dir;
  {
    OutputDisplayOptions options;
    ReadFrom(options, record, 4.8, dir);
    EXPECT_EQ(options.GetInt(42), 128);  // option 28
  }
  {
    OutputDisplayOptions options;
    ReadFrom(options, record, 4.9, dir);
    EXPECT_EQ(options.GetInt(42), 142);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Text(options, i), texts[i].c_str());
  }
  {
    // Before 3.1 the record ends after the options.
    OutputDisplayOptions options;
    ReadFrom(options, Record(values, nullptr), 3.0, dir);
    EXPECT_EQ(options.GetInt(43), 143);
    EXPECT_EQ(Text(options, 0), "5,10");
    EXPECT_EQ(Text(options, 2), "");
  }
  {
    OutputDisplayOptions options;
    ReadFrom(options, record, 3.1, dir);
    EXPECT_EQ(Text(options, 2), "4,5,6");
  }
}

TEST(OutputDisplayOptions, ShortOptionCountKeepsTheRestAndLongOneIsSkipped) {
  km_test::ScratchDir dir;
  const std::vector<std::string> texts = {"a", "b", "c", "d"};
  {
    OutputDisplayOptions options;
    ReadFrom(options, Record(Sequence(40), &texts), 4.9, dir);
    EXPECT_EQ(options.GetInt(39), 139);
    EXPECT_EQ(options.GetInt(40), 2);
    EXPECT_EQ(options.GetInt(43), 3);
    EXPECT_EQ(Text(options, 3), "d");
  }
  {
    // More stored options than slots: the surplus is read past, so the
    // texts after it are still found.
    OutputDisplayOptions options;
    ReadFrom(options, Record(Sequence(50), &texts), 4.9, dir);
    EXPECT_EQ(options.GetInt(43), 143);
    EXPECT_EQ(Text(options, 0), "a");
    EXPECT_EQ(Text(options, 3), "d");
  }
}

TEST(OutputDisplayOptions, WriteThenReadRestoresEverything) {
  OutputDisplayOptions written;
  for (int i = 0; i < 44; ++i) {
    if (!OutputDisplayOptions::IsBooleanOption(i)) written.SetInt(i, 3 * i - 7);
  }
  written.SetBool(6, false);
  written.SetBool(19, true);
  km_test::ScratchDir dir;
  OutputDisplayOptions read;
  ReadFrom(read, Written(written, dir), 4.9, dir);
  EXPECT_EQ(Written(read, dir), Written(written, dir));
}

TEST(OutputDisplayOptions, TooManyTextsIsTheVectorError) {
  const std::vector<std::string> texts = {"a", "b", "c", "d", "e"};
  OutputDisplayOptions options;
  km_test::ScratchDir dir;
  KmException e = CatchKmException(
      [&] { ReadFrom(options, Record(Sequence(44), &texts), 4.9, dir); });
  EXPECT_STREQ(e.GetMessage(), "Index 4 out of range; vector is from 0 to 3");
  EXPECT_EQ(Text(options, 3), "d");
}

TEST(OutputDisplayOptions, RecordCutShortIsRefused) {
  // Fault: a record cut short read zeros as precisions and switches.
  const std::vector<std::string> texts = {"5,10", "", "", ""};
  const std::string whole = Record(Sequence(44), &texts);
  km_test::ScratchDir dir;
  for (size_t n :
       {size_t{0}, size_t{1}, size_t{9}, size_t{354}, whole.size() - 1}) {
    SCOPED_TRACE(n);
    OutputDisplayOptions options;
    KmException e = CatchKmException(
        [&] { ReadFrom(options, whole.substr(0, n), 4.9, dir); });
    EXPECT_STREQ(e.GetMessage(),
                 "Error:  This file is not a valid Kinkmark file.");
  }
}

}  // namespace
