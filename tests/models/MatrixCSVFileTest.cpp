// The comma-separated matrix file reader: labels, rows, the echo of every
// line, and the refusal of files that would give a wrong matrix.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "models/MatrixCSVFile.h"
#include "tests/foundation/FaultyFileSystem.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::CatchKmException;

std::vector<double> Row(const KMPartitionMatrix& m, int r) {
  std::vector<double> row;
  for (int c = 1; c <= m.matrix.Ncols(); ++c) row.push_back(m.matrix(r, c));
  return row;
}

// Writes sContents to a scratch file, reads it and returns what was echoed
// to standard output.
std::string ReadFile(const std::string& sContents, KMPartitionMatrix& result,
                     const km_test::ScratchDir& dir) {
  const std::string sPath = dir.File("matrix.csv");
  km_test::WriteAll(sPath, sContents);
  testing::internal::CaptureStdout();
  try {
    readMatrixFromCSVFile(result, sPath);
  } catch (...) {
    testing::internal::GetCapturedStdout();
    throw;
  }
  return testing::internal::GetCapturedStdout();
}

TEST(ReadMatrixFromCSVFile, ReadsLabelledRowsInFileOrder) {
  km_test::ScratchDir dir;
  KMPartitionMatrix m;
  const std::string sEcho = ReadFile(
      "label,x,y,se\n"
      "Group A,2000,1.5,0.25\n"
      " b ,2001, -2e-3 ,7\n"
      "c,1,2,3,4,5\n",
      m, dir);
  EXPECT_EQ(m.labels, (std::vector<std::string>{"Group A", " b ", "c"}));
  ASSERT_EQ(m.matrix.Nrows(), 3);
  ASSERT_EQ(m.matrix.Ncols(), 3);
  EXPECT_EQ(Row(m, 1), (std::vector<double>{2000, 1.5, 0.25}));
  EXPECT_EQ(Row(m, 2), (std::vector<double>{2001, -2e-3, 7}));
  // Fields after the fourth are ignored.
  EXPECT_EQ(Row(m, 3), (std::vector<double>{1, 2, 3}));
  // Every line is echoed, the header included.
  EXPECT_EQ(sEcho,
            "label,x,y,se\nGroup A,2000,1.5,0.25\n b ,2001, -2e-3 ,7\n"
            "c,1,2,3,4,5\n");
}

TEST(ReadMatrixFromCSVFile, FilesWithoutDataGiveAnEmptyThreeColumnMatrix) {
  struct Case {
    const char* sName;
    const char* sContents;
    const char* sEcho;
  };
  const Case kCases[] = {
      {"empty file", "", ""},
      {"header only", "label,x,y,se\n", "label,x,y,se\n"},
      {"header without line end", "label,x,y,se", "label,x,y,se\n"},
      {"blank lines", "h\n\n   \n", "h\n\n   \n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    km_test::ScratchDir dir;
    KMPartitionMatrix m;
    m.labels = {"stale"};
    EXPECT_EQ(ReadFile(c.sContents, m, dir), c.sEcho);
    EXPECT_TRUE(m.labels.empty());
    EXPECT_EQ(m.matrix.Nrows(), 0);
    EXPECT_EQ(m.matrix.Ncols(), 3);
  }
}

TEST(ReadMatrixFromCSVFile, CarriageReturnsAreDropped) {
  km_test::ScratchDir dir;
  KMPartitionMatrix m;
  const std::string sEcho = ReadFile("h\r\nA,1,2,3\r\n\r\nB,4,5,6\r\n", m, dir);
  EXPECT_EQ(m.labels, (std::vector<std::string>{"A", "B"}));
  ASSERT_EQ(m.matrix.Nrows(), 2);
  EXPECT_EQ(Row(m, 2), (std::vector<double>{4, 5, 6}));
  EXPECT_EQ(sEcho, "h\nA,1,2,3\n\nB,4,5,6\n");
}

TEST(ReadMatrixFromCSVFile, MalformedDataLinesAreRefused) {
  // Fault: a line with fewer than four fields added its label but no row,
  // leaving labels and rows out of step, and a number field that was not a
  // number was read as 0 (or as its leading digits), putting values into
  // the matrix that the file does not hold. Both are now input errors
  // naming the file, the line and the field.
  struct Case {
    const char* sName;
    const char* sLine;
    const char* sMessagePart;
  };
  const Case kCases[] = {
      {"three fields", "A,1,2", "Line 3 of the matrix file"},
      {"label only", "A", "has 1 field(s)"},
      {"letter", "A,x,2,3", "Invalid number \"x\" in field 2 of line 3"},
      {"trailing text", "A,1,2.5abc,3", "\"2.5abc\" in field 3 of line 3"},
      {"empty number", "A,1,2,", "\"\" in field 4 of line 3"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    km_test::ScratchDir dir;
    KMPartitionMatrix m;
    const std::string sContents =
        std::string("h\nfirst,1,2,3\n") + c.sLine + "\nlast,4,5,6\n";
    const KmException e =
        CatchKmException([&] { ReadFile(sContents, m, dir); });
    EXPECT_NE(std::string(e.GetMessage()).find(c.sMessagePart),
              std::string::npos)
        << e.GetMessage();
    EXPECT_NE(std::string(e.GetMessage()).find(dir.File("matrix.csv")),
              std::string::npos);
    EXPECT_EQ(e.GetKind(), KmException::kInputErrorKind);
    EXPECT_STREQ(e.GetSource(), "readMatrixFromCSVFile");
    EXPECT_EQ(std::string(e.GetCallPath()),
              "readMatrixFromCSVFile() (" + dir.File("matrix.csv") + ")");
    // Nothing of the refused file is kept.
    EXPECT_TRUE(m.labels.empty());
    EXPECT_EQ(m.matrix.Nrows(), 0);
  }
}

TEST(ReadMatrixFromCSVFile, MissingFileIsAnError) {
  // Fault: a file that could not be opened printed a message and returned an
  // empty matrix, so the caller went on as if the file had no rows.
  km_test::ScratchDir dir;
  KMPartitionMatrix m;
  m.labels = {"stale"};
  const std::string sPath = dir.File("absent.csv");
  testing::internal::CaptureStdout();
  const KmException e =
      CatchKmException([&] { readMatrixFromCSVFile(m, sPath); });
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(std::string(e.GetMessage()),
            "Unable to open file \"" + sPath + "\" for reading.");
  EXPECT_TRUE(m.labels.empty());
  EXPECT_EQ(m.matrix.Ncols(), 3);
}

TEST(ReadMatrixFromCSVFile, ReadErrorPartWayIsAnError) {
  // Fault: a read failing part-way ended the loop as the end of the file
  // would, giving a matrix of the rows read so far.
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("broken.csv");
  km_test::WriteAll(sPath, "h\nA,1,2,3\nB,4,5,6\n");
  km_test::FaultyFileSystem fs;
  fs.sReadErrorPath = KmNativePath(sPath);
  fs.sReadErrorPrefix = "h\nA,1,2,3\n";
  km_test::ScopedFileSystem installed(&fs);
  KMPartitionMatrix m;
  testing::internal::CaptureStdout();
  const KmException e =
      CatchKmException([&] { readMatrixFromCSVFile(m, sPath); });
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(std::string(e.GetMessage()),
            "Matrix file \"" + sPath +
                "\" could not be read to its end: a read error struck after "
                "10 bytes.");
  EXPECT_TRUE(m.labels.empty());
  EXPECT_EQ(m.matrix.Nrows(), 0);
}

}  // namespace
