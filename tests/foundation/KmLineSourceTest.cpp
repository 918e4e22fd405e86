// Tests of KmLineSource, the one reader of text input lines: the same rules
// for a plain and a gzip file.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "foundation/KmLineSource.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::CatchKmException;
using km_test::ScratchDir;

void WriteGzip(const std::string& sPath, const std::string& sData) {
  gzFile out = gzopen(sPath.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(gzwrite(out, sData.data(), static_cast<unsigned>(sData.size())),
            static_cast<int>(sData.size()));
  gzclose(out);
}

// Writes sText as name (plain) or name.gz, and returns the path.
std::string WriteText(const ScratchDir& dir, const std::string& sText,
                      bool bGzip) {
  const std::string sPath = dir.File(bGzip ? "lines.txt.gz" : "lines.txt");
  if (bGzip) {
    WriteGzip(sPath, sText);
  } else {
    km_test::WriteAll(sPath, sText);
  }
  return sPath;
}

// All lines of sPath, or the message of the error that ended the reading.
std::vector<std::string> ReadAllLines(const std::string& sPath,
                                      std::string& sError) {
  std::vector<std::string> vLines;
  KmLineSource source("Data file");
  EXPECT_TRUE(source.Open(sPath.c_str()));
  try {
    KmString sLine;
    while (source.ReadLine(sLine)) {
      vLines.emplace_back(sLine.GetCString(),
                          static_cast<size_t>(sLine.GetLength()));
    }
  } catch (KmException& e) {
    sError = e.GetMessage();
  }
  return vLines;
}

TEST(KmLineSource, PlainAndGzipFilesGiveTheSameLines) {
  const std::string kBom = "\xEF\xBB\xBF";
  const std::string kLong(KmLineSource::kMaxLineBytes + 1, 'x');
  const struct {
    const char* sWhat;
    std::string sText;
    std::vector<std::string> vLines;
    std::string sError;  // end of the error's message; "" for none
  } kCases[] = {
      {"line feeds, the last line without one",
       "a\nb\n\nc",
       {"a", "b", "", "c"},
       ""},
      {"a final line feed ends the text", "a\nb\n", {"a", "b"}, ""},
      {"carriage returns of line ends go",
       "a\r\nb\r\r\nc\r",
       {"a", "b", "c"},
       ""},
      // Fault: lines ending in carriage returns alone were read as one line.
      {"line end of a carriage return alone",
       "a\r\nb\rc\rd",
       {"a"},
       "\" has lines that end in carriage returns alone (from line 2): a line "
       "ends at a line feed, or a carriage return and a line feed.  Save the "
       "file with those line ends."},
      // Fault: it was said to end the file's lines.
      {"carriage return inside a line",
       "a\r\nb\rc\r\nd\n",
       {"a"},
       "\", line 2 holds a carriage return inside it (character 2): a "
       "carriage return may only stand just before the line feed that ends a "
       "line.  Remove it from the line."},
      {"empty file", "", {}, ""},
      // Fault: a byte-order mark stuck to the first field, so the first
      // record's code read as a text and made a phantom cohort.
      {"byte-order mark skipped",
       kBom + "1,2000\n1,2001\n",
       {"1,2000", "1,2001"},
       ""},
      {"byte-order mark only at the start",
       "a\n" + kBom + "b\n",
       {"a", kBom + "b"},
       ""},
      {"NUL byte",
       "a\nb" + std::string(1, '\0') + "c\n",
       {"a"},
       "\" is damaged: line 2 holds a NUL byte."},
      // Fault: counting the lines for the message met the same line again
      // and again, past the mark, until the stack overflowed.
      {"NUL byte on the first line after a byte-order mark",
       kBom + "a" + std::string(1, '\0') + "b\n",
       {},
       "\" is damaged: line 1 holds a NUL byte."},
      // Fault: a spreadsheet under any name was said to be damaged by a NUL
      // byte, or with none before its first line feed read as text.
      {"a compound document",
       "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\n",
       {},
       "\" is a spreadsheet, which Kinkmark does not read: export it as "
       "delimited text (fields separated by tabs, blanks, commas or "
       "semicolons) and name that file in its place."},
      {"text beginning as a zip container's signature does",
       "PK,2000\nPK\x03\x04\n",
       {"PK,2000", "PK\x03\x04"},
       ""},
      // Fault: a file without line ends (a device of zeros) was read into
      // memory until the allocation failed.
      {"no line end",
       "a\n" + kLong,
       {"a"},
       "\" has no line end within 16777216 bytes at line 2; it is not a text "
       "file of lines."},
  };
  ScratchDir dir;
  for (const auto& c : kCases) {
    for (bool bGzip : {false, true}) {
      SCOPED_TRACE(std::string(c.sWhat) + (bGzip ? ", gzip" : ", plain"));
      const std::string sPath = WriteText(dir, c.sText, bGzip);
      std::string sError;
      EXPECT_EQ(ReadAllLines(sPath, sError), c.vLines);
      if (c.sError.empty()) {
        EXPECT_EQ(sError, "");
      } else {
        EXPECT_EQ(sError, "Data file \"" + sPath + c.sError);
      }
    }
  }
}

TEST(KmLineSource, DataLinesLoseTheirBlanksButNotALeadingTabDelimiter) {
  const struct {
    const char* sLine;
    char cDelimiter;
    const char* sTrimmed;
  } kCases[] = {
      {" \t 1,2000 \r", ',', "1,2000"},
      {"  1\t2000\t ", '\t', "1\t2000"},
      {" \t1\t2000", '\t', "\t1\t2000"},
      {" \t ", ',', ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sLine);
    KmString sLine(c.sLine);
    KmLineSource::TrimDataLine(sLine, c.cDelimiter);
    EXPECT_STREQ(sLine.GetCString(), c.sTrimmed);
  }
}

// The number of leading bytes of the gzip file sCompressed whose
// decompressed text first exceeds uBytes.
size_t CutDeliveringJustPast(const std::string& sCompressed, size_t uBytes) {
  z_stream stream{};
  EXPECT_EQ(inflateInit2(&stream, 15 + 16), Z_OK);
  std::vector<unsigned char> out(1 << 20);
  size_t uCut = 0;
  while (uCut < sCompressed.size() && stream.total_out <= uBytes) {
    stream.next_in =
        reinterpret_cast<Bytef*>(const_cast<char*>(sCompressed.data() + uCut));
    stream.avail_in = 1;
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    inflate(&stream, Z_NO_FLUSH);
    ++uCut;
  }
  inflateEnd(&stream);
  return uCut;
}

// Fault: when the text decompressed from a cut gzip file ended just past a
// multiple of the gzip reader's 128 KiB buffer, zlib answered an ordinary
// end with no error, and the run went on without the file's last records.
TEST(KmLineSource, GzipCutJustPastTheReaderBufferIsAnError) {
  std::string sText;
  for (int i = 0; sText.size() < 300000; ++i) {
    sText += "1," + std::to_string(2000 + i) + "," +
             std::to_string((i * 7919) % 10007) + "\n";
  }
  ScratchDir dir;
  const std::string sFull = dir.File("full.gz");
  WriteGzip(sFull, sText);
  const std::string sCompressed = km_test::ReadAll(sFull);
  const size_t uCut = CutDeliveringJustPast(sCompressed, 128 * 1024);
  const std::string sPath = dir.File("cut.gz");
  for (size_t uKeep = uCut - 2; uKeep <= uCut + 2; ++uKeep) {
    SCOPED_TRACE(uKeep);
    km_test::WriteAll(sPath, sCompressed.substr(0, uKeep));
    std::string sError;
    ReadAllLines(sPath, sError);
    EXPECT_EQ(sError, "Cannot read compressed file: " + sPath +
                          ": unexpected end of file");
  }
  // The whole file passes the same check.
  std::string sError;
  EXPECT_EQ(ReadAllLines(sFull, sError).size(),
            static_cast<size_t>(std::count(sText.begin(), sText.end(), '\n')));
  EXPECT_EQ(sError, "");
}

TEST(KmLineSource, SeekReturnsToALineStartAndSkipsNoMarkTwice) {
  ScratchDir dir;
  for (bool bGzip : {false, true}) {
    SCOPED_TRACE(bGzip ? "gzip" : "plain");
    const std::string sPath = WriteText(dir,
                                        "\xEF\xBB\xBF"
                                        "ab\r\ncd\nef",
                                        bGzip);
    KmLineSource source("Data file");
    ASSERT_TRUE(source.Open(sPath.c_str()));
    KmString sLine;
    ASSERT_TRUE(source.ReadLine(sLine));
    EXPECT_EQ(source.GetLineNumber(), 1);
    const int64_t lSecond = source.Tell();
    EXPECT_EQ(lSecond, 7);
    ASSERT_TRUE(source.ReadLine(sLine));
    ASSERT_TRUE(source.ReadLine(sLine));
    EXPECT_TRUE(source.AtEnd());
    ASSERT_TRUE(source.Seek(lSecond));
    ASSERT_TRUE(source.ReadLine(sLine));
    EXPECT_STREQ(sLine.GetCString(), "cd");
    // Past a seek into the file the line number is not known.
    EXPECT_EQ(source.GetLineNumber(), -1);
    ASSERT_TRUE(source.Seek(0));
    ASSERT_TRUE(source.ReadLine(sLine));
    EXPECT_STREQ(sLine.GetCString(), "ab");
    EXPECT_EQ(source.GetLineNumber(), 1);
  }
}

TEST(KmLineSource, ANulByteAfterASeekIntoTheFileNamesNoLineNumber) {
  ScratchDir dir;
  const std::string sPath =
      WriteText(dir, "ab\ncd" + std::string(1, '\0') + "\n", false);
  KmLineSource source("Data file");
  ASSERT_TRUE(source.Open(sPath.c_str()));
  ASSERT_TRUE(source.Seek(3));
  KmString sLine;
  const std::string sError =
      CatchKmException([&] { source.ReadLine(sLine); }).GetMessage();
  EXPECT_NE(sError.find("is damaged: a line holds a NUL byte."),
            std::string::npos)
      << sError;
}

}  // namespace
