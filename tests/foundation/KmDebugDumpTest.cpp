#include <gtest/gtest.h>
#include <newmat.h>

#include <string>

#include "foundation/KmDebugDump.h"
#include "foundation/KmIO_File.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::ReadAll;
using km_test::ScratchDir;

TEST(KmDebugDump, WriteMatrixAppendsLabelDimensionsAndRows) {
  ScratchDir dir;
  const std::string sPath = dir.File("dump.txt");
  NEWMAT::Matrix ones(2, 3);
  ones = 1.0;
  NEWMAT::Matrix mixed(1, 2);
  mixed(1, 1) = -0.5;
  mixed(1, 2) = 1e-7;
  DebugWriteMatrix(sPath.c_str(), "L", ones);
  DebugWriteMatrix(sPath.c_str(), "M", mixed);
  DebugWriteMatrix(sPath.c_str(), "E", NEWMAT::Matrix());
  EXPECT_EQ(ReadAll(sPath),
            "\nL\nDinmenstions:(2,3)\n"
            "1.000000,1.000000,1.000000,\n"
            "1.000000,1.000000,1.000000,\n"
            "\nM\nDinmenstions:(1,2)\n"
            "-0.500000,0.000000,\n"
            "\nE\nDinmenstions:(0,0)\n");
}

TEST(KmDebugDump, WriteMatrixFormatsHugeValuesWhole) {
  ScratchDir dir;
  const std::string sPath = dir.File("huge.txt");
  NEWMAT::Matrix big(1, 1);
  big(1, 1) = 1e300;
  DebugWriteMatrix(sPath.c_str(), "B", big);
  const std::string sText = ReadAll(sPath);
  // "1" followed by 300 digits, the decimals and the comma.
  EXPECT_NE(sText.find("1" + std::string(10, '0')), std::string::npos);
  EXPECT_NE(sText.find(".000000,\n"), std::string::npos);
}

TEST(KmDebugDump, LinesAppendAndClearEmpties) {
  ScratchDir dir;
  // Written with the backslash the fitting code uses in its file names.
  const std::string sPath = dir.Path() + "\\log.txt";
  DebugClearFile(sPath.c_str());
  EXPECT_TRUE(KmIO_File::FileExists(dir.File("log.txt").c_str()));
  EXPECT_EQ(ReadAll(dir.File("log.txt")), "");
  DebugWriteLine(sPath.c_str(), "first");
  DebugWriteLine(sPath.c_str(), "second");
  EXPECT_EQ(ReadAll(dir.File("log.txt")), "first\nsecond\n");
  DebugClearFile(sPath.c_str());
  EXPECT_TRUE(KmIO_File::FileExists(dir.File("log.txt").c_str()));
  EXPECT_EQ(ReadAll(dir.File("log.txt")), "");
}

TEST(KmDebugDump, MissingDirectoryWritesNothingAndRaisesNothing) {
  ScratchDir dir;
  const std::string sPath = dir.File("no/such/dir/log.txt");
  NEWMAT::Matrix m(1, 1);
  m = 2.0;
  EXPECT_NO_THROW(DebugWriteLine(sPath.c_str(), "x"));
  EXPECT_NO_THROW(DebugWriteMatrix(sPath.c_str(), "L", m));
  EXPECT_NO_THROW(DebugClearFile(sPath.c_str()));
  EXPECT_FALSE(KmIO_File::FileExists(sPath.c_str()));
}

}  // namespace
