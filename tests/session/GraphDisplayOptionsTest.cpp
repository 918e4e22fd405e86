// Tests of GraphDisplayOptions: defaults, setters and the results-file
// record.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/KmIO_File.h"
#include "session/GraphDisplayOptions.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::CatchKmException;

// Little-endian encoders of the record's primitives.
void PutShort(std::string& out, int16_t iValue) {
  const uint16_t u = static_cast<uint16_t>(iValue);
  out.push_back(static_cast<char>(u & 0xFF));
  out.push_back(static_cast<char>(u >> 8));
}

void PutDouble(std::string& out, double dValue) {
  uint64_t u = 0;
  std::memcpy(&u, &dValue, sizeof u);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>(u >> (8 * i)));
}

void PutCString(std::string& out, const std::string& sText) {
  const uint32_t n = static_cast<uint32_t>(sText.size() + 1);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(n >> (8 * i)));
  out += sText;
  out.push_back('\0');
}

// The record as Write should lay it out.
std::string Record(const std::vector<double>& regOptions,
                   const std::vector<double>& options,
                   const std::vector<std::string>& strings) {
  std::string out;
  PutShort(out, static_cast<int16_t>(regOptions.size()));
  for (double d : regOptions) PutDouble(out, d);
  PutShort(out, static_cast<int16_t>(options.size()));
  for (double d : options) PutDouble(out, d);
  PutShort(out, static_cast<int16_t>(strings.size()));
  for (const std::string& s : strings) PutCString(out, s);
  return out;
}

const std::vector<double> kDefaultRegOptions = {0, 1, 6, 1, 1,         1, 2,
                                                2, 1, 0, 0, -16776961, 1, 4};
const std::vector<double> kDefaultOptions = {0, 0, 1, 0,  0,  0.1, 0,
                                             0, 0, 0, -1, -1, 0,   45};

std::string Written(const GraphDisplayOptions& options,
                    const km_test::ScratchDir& dir) {
  const std::string path = dir.File("graph.bin");
  {
    KmIO_File file(path.c_str(), 0x0A);
    options.Write(&file);
  }
  return km_test::ReadAll(path);
}

void ReadFrom(GraphDisplayOptions& options, const std::string& bytes,
              const km_test::ScratchDir& dir) {
  const std::string path = dir.File("graph_in.bin");
  km_test::WriteAll(path, bytes);
  KmIO_File file(path.c_str(), 1);
  options.Read(&file);
}

TEST(GraphDisplayOptions, NewObjectWritesTheDefaultRecord) {
  km_test::ScratchDir dir;
  const std::string expected =
      Record(kDefaultRegOptions, kDefaultOptions, {"", "", ""});
  EXPECT_EQ(Written(GraphDisplayOptions(), dir), expected);
  // The three empty texts are each the bytes 01 00 00 00 00.
  EXPECT_EQ(expected.substr(expected.size() - 15),
            std::string("\x01\0\0\0\0\x01\0\0\0\0\x01\0\0\0\0", 15));
}

TEST(GraphDisplayOptions, SettersStoreIntoTheirBlock) {
  km_test::ScratchDir dir;
  GraphDisplayOptions options;
  options.SetBool(GraphDisplayOptions::kGraphFlagOption, true);
  options.SetRegInt(3, 0);  // a boolean registry option also takes an int
  options.SetRegBool(10, true);
  options.SetRegInt(11, 255);
  options.SetString(GraphDisplayOptions::kIndependentNameString, "Year");
  options.SetString(GraphDisplayOptions::kDependentNameString, "Rate");

  std::vector<double> regOptions = kDefaultRegOptions;
  regOptions[3] = 0.0;
  regOptions[10] = 1.0;
  regOptions[11] = 255.0;
  std::vector<double> optionValues = kDefaultOptions;
  optionValues[12] = 1.0;
  EXPECT_EQ(Written(options, dir),
            Record(regOptions, optionValues, {"", "Year", "Rate"}));
}

TEST(GraphDisplayOptions, RejectsIndicesOutsideTheirSet) {
  struct Case {
    const char* sName;
    void (*call)(GraphDisplayOptions&);
    const char* sMessage;
    const char* sSource;
  };
  const Case kCases[] = {
      {"SetRegBool on an int option",
       [](GraphDisplayOptions& g) { g.SetRegBool(4, true); },
       "Non-Boolean Graph Display Option 4 received by function",
       "GraphDisplayOptions"},
      {"SetRegBool past the end",
       [](GraphDisplayOptions& g) { g.SetRegBool(14, true); },
       "Non-Boolean Graph Display Option 14 received by function",
       "GraphDisplayOptions"},
      {"SetBool past the end",
       [](GraphDisplayOptions& g) { g.SetBool(14, true); },
       "Index 14 out of range; vector is from 0 to 13", "KmVector"},
      {"SetRegInt below 0", [](GraphDisplayOptions& g) { g.SetRegInt(-1, 1); },
       "Index -1 out of range; vector is from 0 to 13", "KmVector"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    GraphDisplayOptions options;
    const KmException e = CatchKmException([&] { c.call(options); });
    EXPECT_STREQ(e.GetMessage(), c.sMessage);
    EXPECT_STREQ(e.GetSource(), c.sSource);
  }
}

TEST(GraphDisplayOptions, SetStringChecksItsIndex) {
  // Fault: SetString trusted its caller and wrote past the three texts for
  // an index outside 0 to 2. It now refuses the index and changes nothing.
  km_test::ScratchDir dir;
  GraphDisplayOptions options;
  for (int32_t iIndex : {3, -1}) {
    SCOPED_TRACE(iIndex);
    const KmException e =
        CatchKmException([&] { options.SetString(iIndex, "x"); });
    EXPECT_STREQ(e.GetSource(), "KmVector");
    EXPECT_NE(std::string(e.GetCallPath())
                  .find("SetString() of "
                        "GraphDisplayOptions"),
              std::string::npos);
  }
  EXPECT_EQ(Written(options, dir), Written(GraphDisplayOptions(), dir));
}

TEST(GraphDisplayOptions, WriteThenReadRestoresEveryValue) {
  km_test::ScratchDir dir;
  GraphDisplayOptions source;
  for (int32_t i = 0; i < GraphDisplayOptions::kNumRegistryOptions; ++i) {
    if (i == 3 || i == 5 || i == 8 || i == 10) {
      source.SetRegBool(i, i % 2 == 0);
    } else {
      source.SetRegInt(i, 100 + i);
    }
  }
  for (int32_t i = 0; i < GraphDisplayOptions::kNumOptions; ++i) {
    source.SetBool(i, i % 3 == 0);
  }
  source.SetString(0, "zero");
  source.SetString(1, "Year of diagnosis");
  source.SetString(2, "");

  const std::string bytes = Written(source, dir);
  GraphDisplayOptions copy;
  ReadFrom(copy, bytes, dir);
  EXPECT_EQ(Written(copy, dir), bytes);
}

TEST(GraphDisplayOptions, ReadKeepsValuesBeyondShortCounts) {
  km_test::ScratchDir dir;
  // Two registry options, no options, one text: the rest keep the defaults.
  const std::string bytes = Record({7, 8}, {}, {"a"});
  GraphDisplayOptions options;
  ReadFrom(options, bytes, dir);

  std::vector<double> regOptions = kDefaultRegOptions;
  regOptions[0] = 7;
  regOptions[1] = 8;
  EXPECT_EQ(Written(options, dir),
            Record(regOptions, kDefaultOptions, {"a", "", ""}));
}

TEST(GraphDisplayOptions, ReadRefusesCountsLargerThanTheBlocks) {
  km_test::ScratchDir dir;
  struct Case {
    const char* sName;
    std::string bytes;
    const char* sMessage;
  };
  const Case kCases[] = {
      {"15 registry options",
       Record(std::vector<double>(15, 1.0), kDefaultOptions, {}),
       "Index 14 out of range; vector is from 0 to 13"},
      {"15 options",
       Record(kDefaultRegOptions, std::vector<double>(15, 1.0), {}),
       "Index 14 out of range; vector is from 0 to 13"},
      {"4 texts",
       Record(kDefaultRegOptions, kDefaultOptions, {"a", "b", "c", "d"}),
       "Index 3 out of range; vector is from 0 to 2"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    GraphDisplayOptions options;
    const KmException e =
        CatchKmException([&] { ReadFrom(options, c.bytes, dir); });
    EXPECT_STREQ(e.GetMessage(), c.sMessage);
    EXPECT_NE(std::string(e.GetCallPath())
                  .find("Read() of "
                        "GraphDisplayOptions"),
              std::string::npos);
  }
}

}  // namespace
