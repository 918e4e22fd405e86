// Tests of the shared tools (kmTools).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "foundation/KmException.h"
#include "foundation/kmTools.h"
#include "tests/test_util/CatchKmException.h"

namespace {

TEST(kmTools, CompareVersionNumbersAtThreeDecimals) {
  struct Case {
    double dFirst;
    double dSecond;
    int iExpected;
  };
  const Case kCases[] = {
      {4.9, 4.9, 0},    {4.9, 4.9004, 0},  {4.9004, 4.9, 0}, {3.0, 3.001, 1},
      {4.9, 3.001, -1}, {4.9, 4.9006, 1},  {3.3, 3.2995, 0}, {4.802, 4.9, 1},
      {4.91, 4.9, -1},  {-0.0001, 0.0, 1}, {0.0, 0.0, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::to_string(c.dFirst) + " vs " + std::to_string(c.dSecond));
    EXPECT_EQ(kmTools::CompareVersionNumbers(c.dFirst, c.dSecond), c.iExpected);
  }
}

TEST(kmTools, CompareVersionNumbersRefusesUnorderedVersions) {
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double dFirst;
    double dSecond;
    const char* sMessage;
  };
  const Case kCases[] = {
      {kNaN, 4.9,
       "Unknown error occurred while comparing file versions: Version 1 =   "
       "nan, Version 2 = 4.900\n"},
      {0.0, -0.0,
       "Unknown error occurred while comparing file versions: Version 1 = "
       "0.000, Version 2 = -0.000\n"},
  };
  for (const Case& c : kCases) {
    const KmException e = km_test::CatchKmException(
        [&] { kmTools::CompareVersionNumbers(c.dFirst, c.dSecond); });
    EXPECT_STREQ(e.GetMessage(), c.sMessage);
    EXPECT_STREQ(e.GetSource(), "kmTools");
    EXPECT_STREQ(e.GetCallPath(), "CompareVersionNumbers() of kmTools");
  }
}

TEST(kmTools, ErrorMessageHoldsThePlaceholder) {
  const KmString sMessage =
      kmTools::GetErrorMessage(kmTools::TooFewObservations);
  EXPECT_STREQ(sMessage.GetCString(),
               "Too few observations to fit the specified model. Minimum "
               "observations required: $$. Lower \"minimum kinkmarks\", "
               "\"min obs end\" or \"min obs between\" in the run options, "
               "otherwise Kinkmark will not process this cohort.");
  EXPECT_TRUE(kmTools::GetErrorMessage(static_cast<kmTools::ErrorMessages>(1))
                  .IsEmpty());
}

// The whole table of the default maximum, for every count from far below
// its first row to far above its last, in both columns.
TEST(kmTools, MaxKinkmarksForObservationsOverTheWholeTable) {
  struct Row {
    int iFrom;
    int iTo;
    int iMax;
    int iMaxExtended;
  };
  const Row kRows[] = {
      {INT16_MIN, 6, 0, 0},  {7, 11, 1, 1},  {12, 16, 2, 2},
      {17, 21, 3, 3},        {22, 26, 4, 4}, {27, 31, 5, 5},
      {32, 36, 5, 6},        {37, 41, 5, 7}, {42, 46, 5, 8},
      {47, INT16_MAX, 5, 9},
  };
  int iChecked = 0;
  for (int n = INT16_MIN; n <= INT16_MAX; ++n) {
    for (const Row& row : kRows) {
      if (n < row.iFrom || n > row.iTo) continue;
      const int16_t iObservations = static_cast<int16_t>(n);
      ASSERT_EQ(kmTools::MaxKinkmarksForObservations(iObservations, false),
                row.iMax)
          << "n = " << n;
      ASSERT_EQ(kmTools::MaxKinkmarksForObservations(iObservations, true),
                row.iMaxExtended)
          << "n = " << n << " extended";
      ++iChecked;
    }
  }
  EXPECT_EQ(iChecked, 65536);
  // The values the fits rely on most.
  EXPECT_EQ(kmTools::MaxKinkmarksForObservations(6, false), 0);
  EXPECT_EQ(kmTools::MaxKinkmarksForObservations(26, false), 4);
  EXPECT_EQ(kmTools::MaxKinkmarksForObservations(27, false), 5);
}

// Places k kinkmarks as early as the spacing allows and tells whether the
// last one still leaves iEnd observations after it: an independent account
// of the spacing rule for k >= 1.
bool PlacementFits(int n, int k, int iEnd, int iBetween) {
  int iPosition = iEnd + 1;  // 1-based observation of the first kinkmark
  for (int i = 1; i < k; ++i) iPosition += iBetween + 1;
  return iPosition <= n && n - iPosition >= iEnd;
}

TEST(kmTools, KinkmarkCountFeasibleMatchesPlacementOverTheGrid) {
  for (int k = 1; k <= 9; ++k) {
    for (int iEnd = 0; iEnd <= 6; ++iEnd) {
      for (int iBetween = 0; iBetween <= 6; ++iBetween) {
        for (int n = 0; n <= 90; ++n) {
          ASSERT_EQ(kmTools::KinkmarkCountFeasible(n, k, iEnd, iBetween),
                    PlacementFits(n, k, iEnd, iBetween))
              << "n=" << n << " k=" << k << " end=" << iEnd
              << " between=" << iBetween;
        }
      }
    }
  }
  // 3 kinkmarks, 2 at each end and 2 between: 2*2 + 3 + 4 = 11.
  EXPECT_TRUE(kmTools::KinkmarkCountFeasible(11, 3, 2, 2));
  EXPECT_FALSE(kmTools::KinkmarkCountFeasible(10, 3, 2, 2));
  // Fault: the line without kinkmarks needed the two ends less one
  // spacing. It has no end segments: 3 observations.
  EXPECT_TRUE(kmTools::KinkmarkCountFeasible(3, 0, 14, 2));
  EXPECT_FALSE(kmTools::KinkmarkCountFeasible(2, 0, 1, 1));
}

// The default maximum is always a count the default spacing (2 at each end,
// 2 between) can place, so lowering it never starts from an impossible fit.
TEST(kmTools, DefaultMaximumIsFeasibleWithDefaultSpacing) {
  for (int n = 0; n <= 200; ++n) {
    const int k =
        kmTools::MaxKinkmarksForObservations(static_cast<int16_t>(n), false);
    if (k == 0) continue;
    EXPECT_TRUE(kmTools::KinkmarkCountFeasible(n, k, 2, 2)) << "n=" << n;
  }
}

// The cohort's maximum is the user's, lowered to what the method places:
// Hudson's segmentations keep one more observation at each end and two
// more between, so 13 observations hold 3 kinkmarks on the grid, 2 there.
TEST(kmTools, PlaceableKinkmarksFollowsTheMethodsSpacing) {
  const struct {
    int n, iMax;
    bool bHudsons;
    int iExpected;
  } cases[] = {
      {13, 3, false, 3}, {13, 3, true, 2},  {14, 3, true, 3},
      {10, 4, false, 2}, {5, 3, true, 0},   {6, 3, true, 1},
      {1, 2, true, -1},  {1, 0, false, -1}, {40, 2, true, 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(kmTools::PlaceableKinkmarks(c.n, c.iMax, 2, 2, c.bHudsons),
              c.iExpected)
        << "n=" << c.n << " max=" << c.iMax << " hudsons=" << c.bHudsons;
  }
}

// Fault: the need was cut to 16 bits before the comparison, so a large
// spacing wrapped it round to a negative number and a count that cannot fit
// was reported feasible.
TEST(kmTools, KinkmarkCountFeasibleDoesNotWrapLargeNeeds) {
  // 4 * 10000 + 5 + 4 = 40009 observations needed.
  EXPECT_FALSE(kmTools::KinkmarkCountFeasible(100, 5, 2, 10000));
  EXPECT_FALSE(kmTools::KinkmarkCountFeasible(32767, 9, 20000, 20000));
  EXPECT_FALSE(kmTools::KinkmarkCountFeasible(INT32_MAX, INT32_MAX, INT32_MAX,
                                              INT32_MAX));
  EXPECT_TRUE(kmTools::KinkmarkCountFeasible(40009, 5, 2, 10000));
}

TEST(kmTools, GetPrecisionCountsWrittenDecimals) {
  struct Case {
    const char* sText;
    int iExpected;
  };
  const Case kCases[] = {
      {"12", 0},     {"0.000", 0},   {"0", 0},    {"12.50", 1},
      {"3.14 ", 2},  {"", 0},        {"2.5", 1},  {"1.0", 0},
      {"1.25e3", 2}, {"1.2.3", 1},   {"100", 0},  {"10.0", 0},
      {"0.05", 2},   {"1.5\t\r", 1}, {".125", 3}, {"-2.750", 2},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string("\"") + c.sText + "\"");
    EXPECT_EQ(kmTools::GetPrecision(c.sText), c.iExpected);
  }
  EXPECT_EQ(kmTools::GetPrecision(nullptr), 0);
}

TEST(kmTools, StringToDoubleNeedsTheWholeText) {
  struct Case {
    const char* sText;
    bool bAllowLeadingBlank;
    bool bExpected;
    double dValue;
  };
  const Case kCases[] = {
      {"1.5", false, true, 1.5},
      {"1.5 ", false, false, 1.5},
      {"abc", false, false, 0.0},
      {" 2", false, false, 2.0},
      {" 2", true, true, 2.0},
      {"\t2", false, false, 2.0},
      {"", false, true, 0.0},
      {"-3e2", false, true, -300.0},
      {"12a", true, false, 12.0},
      {"0x10", true, false, 16.0},
      {"nan", true, false, std::nan("")},
      {"1e-999", false, false, 0.0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string("\"") + c.sText + "\"");
    double dValue = 99.0;
    EXPECT_EQ(kmTools::StringToDouble(dValue, c.sText, c.bAllowLeadingBlank),
              c.bExpected);
    if (!std::isnan(c.dValue)) {
      EXPECT_EQ(dValue, c.dValue);
    }
  }
  double dValue = 99.0;
  EXPECT_FALSE(kmTools::StringToDouble(dValue, nullptr, true));
  EXPECT_EQ(dValue, 0.0);
}

// The one number rule of the data readers, at each of its edges.
TEST(kmTools, ReadFieldNumberDecidesEachEdgeOnce) {
  using kmTools::FieldNumber;
  const struct {
    const char* sField;
    const char* sMissing;
    FieldNumber expected;
    double dValue;
  } kCases[] = {
      {" 12.5\t", ".", FieldNumber::kNumber, 12.5},
      {"\" 1200 \"", ".", FieldNumber::kNumber, 1200.0},
      {"-1.5e3", "NA", FieldNumber::kNumber, -1500.0},
      {"", ".", FieldNumber::kMissing, 0.0},
      {"  ", ".", FieldNumber::kMissing, 0.0},
      {" . ", ".", FieldNumber::kMissing, 0.0},
      {" -999 ", "-999", FieldNumber::kMissing, 0.0},
      {"\"NA\"", " NA", FieldNumber::kMissing, 0.0},
      {"12e", ".", FieldNumber::kNotNumber, 0.0},
      {"1e999", ".", FieldNumber::kBeyondDouble, 0.0},
      // Fault: a number under the smallest double was the number 0.
      {"1e-999", ".", FieldNumber::kBeyondDouble, 0.0},
      {"inf", ".", FieldNumber::kNotNumber, 0.0},
      {"0x10", ".", FieldNumber::kNotNumber, 0.0},
      {"1,5", ".", FieldNumber::kNotNumber, 0.0},
      {"12 3", ".", FieldNumber::kNotNumber, 0.0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string("\"") + c.sField + "\"");
    double dValue = 99.0;
    EXPECT_EQ(kmTools::ReadFieldNumber(c.sField, c.sMissing, dValue),
              c.expected);
    EXPECT_EQ(dValue, c.dValue);
  }
}

TEST(kmTools, RemoveUnecessaryQuotesCleansDataLines) {
  struct Case {
    const char* sLine;
    const char* sDelimiter;
    const char* sMissing;
    const char* sExpected;
  };
  const Case kCases[] = {
      {"\"a\",\"b\",c", ",", ".", "a,b,c"},
      {",x,y", ",", ".", ".,x,y"},
      {"a,,b", ",", ".", "a,.,b"},
      // The last field is kept as it stands.
      {"a,\"b\"", ",", ".", "a,\"b\""},
      {"a,", ",", ".", "a,"},
      {"abc", ",", ".", "abc"},
      {"\"\"x\"\",y", ",", ".", "x,y"},
      {"\",y", ",", ".", ",y"},
      {"\"\",y", ",", "NA", ",y"},
      {" a, b", ",", ".", "a,b"},
      {"1\t\"2\"\t\t4", "\t", " ", "1\t2\t \t4"},
      {"a;b", ",", ".", "a;b"},
      {"a,b", "", ".", "a,b"},
      // A quoted text holding a quote keeps its quotes, the doubled quote
      // at its start, middle or end, with each delimiter: with a quote
      // left bare the line would split otherwise.
      {"\"No\"\"rth\",y", ",", ".", "\"No\"\"rth\",y"},
      {"1;\"\"\"\";\"A\"\"B\"\"C\";y", ";", ".",
       "1;\"\"\"\";\"A\"\"B\"\"C\";y"},
      {"\"\"\"A\"\t\"A\"\"\"\t1", "\t", " ", "\"\"\"A\"\t\"A\"\"\"\t1"},
      {"\"No\"\"rth \"\"A\"\"\" 1", " ", ".", "\"No\"\"rth \"\"A\"\"\" 1"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sLine);
    KmString sLine(c.sLine);
    kmTools::RemoveUnecessaryQuotes(sLine, KmString(c.sDelimiter),
                                    KmString(c.sMissing));
    EXPECT_STREQ(sLine.GetCString(), c.sExpected);
  }
}

kmTools::kmNumericTable MakeTable(int iRows, int iColumns) {
  kmTools::kmNumericTable mTable;
  for (int r = 0; r < iRows; ++r) {
    KmVector<double> vRow;
    for (int c = 0; c < iColumns; ++c) vRow.push_back(10.0 * r + c);
    mTable.push_back(vRow);
  }
  return mTable;
}

TEST(kmTools, ExtractNumericTableDropsFirstRowAndColumn) {
  const kmTools::kmNumericTable mTable = MakeTable(3, 3);
  kmTools::kmNumericTable mOut =
      kmTools::ExtractNumericTable(mTable, false, false);
  EXPECT_EQ(mOut, mTable);

  mOut = kmTools::ExtractNumericTable(mTable, true, true);
  ASSERT_EQ(mOut.size(), 2u);
  EXPECT_EQ(mOut[0], (KmVector<double>{11.0, 12.0}));
  EXPECT_EQ(mOut[1], (KmVector<double>{21.0, 22.0}));

  mOut = kmTools::ExtractNumericTable(mTable, false, true);
  ASSERT_EQ(mOut.size(), 2u);
  EXPECT_EQ(mOut[0], (KmVector<double>{10.0, 11.0, 12.0}));

  mOut = kmTools::ExtractNumericTable(mTable, true, false);
  ASSERT_EQ(mOut.size(), 3u);
  EXPECT_EQ(mOut[0], (KmVector<double>{1.0, 2.0}));

  // One row, and rows of one value, leave nothing behind.
  EXPECT_TRUE(
      kmTools::ExtractNumericTable(MakeTable(1, 3), false, true).empty());
  EXPECT_TRUE(
      kmTools::ExtractNumericTable(MakeTable(0, 0), true, true).empty());
  mOut = kmTools::ExtractNumericTable(MakeTable(2, 1), true, false);
  ASSERT_EQ(mOut.size(), 2u);
  EXPECT_TRUE(mOut[0].empty());
  EXPECT_TRUE(mOut[1].empty());
}

TEST(kmTools, DebugColumnVectorTextUsesNineDecimals) {
  NEWMAT::ColumnVector vValues(3);
  vValues(1) = 1.0;
  vValues(2) = 2.5;
  vValues(3) = -0.1234567891;
  EXPECT_EQ(kmTools::Get_Debug_ColumnVectorString(vValues, true),
            "1.000000000\t2.500000000\t-0.123456789");
  EXPECT_EQ(kmTools::Get_Debug_ColumnVectorString(vValues, false),
            "1.000000000, 2.500000000, -0.123456789");
  EXPECT_EQ(
      kmTools::Get_Debug_ColumnVectorString(NEWMAT::ColumnVector(), false), "");
}

}  // namespace
