// Tests of the driver's pre-read of the data file (kmCohortManager,
// kmCohort): cohort boundaries, labels, record numbers, header lines, the
// session's observation counts, plain and gzip files alike.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/kmCohort.h"
#include "data/kmCohortManager.h"
#include "data/kmCohortPreRead.h"
#include "foundation/KmException.h"
#include "tests/data/PrereadFixtures.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

// The test session less its count and population: the pre-read reads the
// by-variables and the independent value, and refuses records shorter than
// the columns of the session's variables.
std::unique_ptr<kmSession> MakeSession(int nByVars,
                                       const std::string& sDataFile) {
  return preread_test::MakeSession(nByVars, sDataFile, false);
}
using preread_test::WriteDataFile;

struct ExpectedCohort {
  std::string sKey;
  std::string sLabel;
  std::vector<std::string> vObservations;
  std::vector<int> vRecordNumbers;
};

void ExpectCohorts(const kmCohortManager& manager, const kmSession& session,
                   const std::vector<ExpectedCohort>& expected) {
  ASSERT_EQ(manager.GetNumCohorts(), static_cast<int>(expected.size()));
  ASSERT_EQ(session.GetObservationCounts().size(), expected.size());
  for (size_t c = 0; c < expected.size(); ++c) {
    SCOPED_TRACE("cohort " + std::to_string(c));
    const kmCohort& cohort = manager.GetCohorts()[static_cast<int>(c)];
    EXPECT_EQ(cohort.GetKey().GetCString(), expected[c].sKey);
    EXPECT_EQ(cohort.GetLabel().GetCString(), expected[c].sLabel);
    EXPECT_EQ(manager.GetCohortLabel(static_cast<int>(c)).GetCString(),
              expected[c].sLabel);
    std::vector<std::string> vObs;
    for (const KmString& s : cohort.GetObservations()) {
      vObs.push_back(s.GetCString());
    }
    EXPECT_EQ(vObs, expected[c].vObservations);
    EXPECT_EQ(std::vector<int>(cohort.GetRecordNumbers().begin(),
                               cohort.GetRecordNumbers().end()),
              expected[c].vRecordNumbers);
    EXPECT_EQ(session.GetNumObservationsThisCohort(static_cast<int>(c)),
              static_cast<int>(expected[c].vObservations.size()));
    EXPECT_TRUE(cohort.GetFurtherTexts().empty());
  }
}

TEST(kmCohortManager, RefusesFixtureCohortThatComesBackInPlainAndGzipTwins) {
  for (const char* sName : {"preread/blocks.csv", "preread/blocks.csv.gz"}) {
    SCOPED_TRACE(sName);
    const std::string sPath = km_test::DataPath(sName);
    auto pSession = MakeSession(2, sPath);
    kmCohortManager manager(pSession.get(), sPath.c_str(), ",", false, true);
    // Blank lines, lines of blanks or a tab, and carriage returns are not
    // records but count as lines; the last line has no line end. The
    // records of a cohort must stand together: the repeated key is refused.
    const KmException e =
        km_test::CatchKmException([&] { manager.ReadAllCohorts(); });
    EXPECT_EQ(std::string(e.GetMessage()),
              "Data file \"" + sPath +
                  "\", line 9: the cohort \"Male/A\" comes back after its "
                  "records ended at line 4.  The data file must be sorted by "
                  "the by variables, with all records of a cohort together.");
    EXPECT_EQ(e.GetKind(), KmException::kInputErrorKind);
  }
}

struct PreReadCase {
  const char* sName;
  int nByVars;
  bool bVarNames;
  int iHeaderLines;
  std::string sText;
  std::vector<ExpectedCohort> expected;
  bool bVarying;
  const char* sError = nullptr;  // the refusal after "Data file <path>, "
  bool bRateColumns = false;     // Count and Pop read as numbers too
};

TEST(kmCohortManager, FindsCohortsLabelsAndRecordNumbers) {
  const std::string s10a = [] {
    std::string s;
    for (int y = 0; y < 10; ++y) s += "1,A," + std::to_string(1990 + y) + "\n";
    return s;
  }();
  const PreReadCase cases[] = {
      {"no data lines", 2, false, 0, "", {}, false},
      {"only blank lines", 2, false, 0, "\n  \n\t\n", {}, false},
      {"names line only", 2, true, 0, "Sex,Site,Year\n", {}, false},
      {"no by-variables: one cohort, empty key and label",
       0,
       false,
       0,
       "1,A,2000\n2,B,2001\n",
       {{"", "", {"2000", "2001"}, {1, 2}}},
       false},
      {"same key in two blocks",
       1,
       false,
       0,
       "1,A,2000\n2,A,2000\n1,A,2001\n",
       {},
       false,
       "line 3: the cohort \"Male\" comes back after its records ended at "
       "line 1.  The data file must be sorted by the by variables, with all "
       "records of a cohort together."},
      {"names line and two header lines per block",
       1,
       true,
       2,
       "Sex,Site,Year\nh1\nh2\n1,A,2000\n1,A,2001\nx\nh\n2,A,2000\n",
       {{"1", "Male", {"2000", "2001"}, {1, 2}},
        {"2", "Female", {"2000"}, {3}}},
       true},
      {"labels: numeric format, text field without format",
       2,
       false,
       0,
       "2,North,2000\n1, South ,2000\n",
       {{"2/North", "Female/North", {"2000"}, {1}},
        {"1/South", "Male/South", {"2000"}, {2}}},
       false},
      // Fault: the quoted value was split at its comma: the label became
      // "North and the year was read from the field after it.
      {"quoted text with the delimiter",
       2,
       false,
       0,
       "1,\"North, coast\",2000\n1,\"North, coast\",2001\n",
       {{"1/North, coast", "Male/North, coast", {"2000", "2001"}, {1, 2}}},
       false},
      // Faults: quotes out of place were refused as records of too few
      // fields, or read on into the fields after them.
      {"a double quote inside an unquoted name of the header row",
       2,
       true,
       0,
       "Sex,Si\"te,Year\n1,A,2000\n",
       {},
       false,
       "line 1, column 2: the double quote at character 7 of the line stands "
       "inside the field Si\"te, which does not begin with one."},
      {"a line break inside quotes",
       2,
       false,
       0,
       "1,A,2000\n1,\"North\ncoast\",2001\n",
       {},
       false,
       "line 2, column 2: the double quote at character 3 of the line opens "
       "a field that no quote closes on the line."},
      {"decimal code of a numeric format",
       1,
       false,
       0,
       " 2.7 , A , 2000 \n",
       {},
       false,
       "line 1, column 1: the by variable Sex holds \"2.7\", a number that "
       "is no code: a code is a whole number"},
      {"numbers and texts of a by-variable without format",
       2,
       false,
       0,
       "1,North,2000\n1,3,2000\n",
       {},
       false,
       "line 2, column 2: the by variable Site holds \"3\", but \"North\" at "
       "line 1: a by variable without a format section holds whole-number "
       "codes only or texts only."},
      {"comma group beginning with 0",
       0,
       false,
       0,
       "1,A,2000,\"1,234.5\",9\n1,A,2001,\"0,597\",9\n",
       {},
       false,
       "line 2, column 4: \"0,597\" is not a number",
       true},
      {"record shorter than the session's columns",
       2,
       false,
       0,
       "1\n",
       {},
       false,
       "line 1: the record has 1 field, but the session reads column 3 (the "
       "variable Year).  Every record needs a field in each column the "
       "session reads (the field delimiter is comma)."},
      {"a header row holding a number among its names",
       2,
       true,
       0,
       "Sex,Site,Year,2000,Pop\n1,A,2001,5,100\n",
       {{"1/A", "Male/A", {"2001"}, {1}}},
       false,
       nullptr,
       true},
      // The header row is declared already: the first record is a record
      // like any other, whose text year the record checks refuse.
      {"a text year in the first record after the header row",
       2,
       true,
       0,
       "Sex,Site,Year,Count,Pop\n1,A,Year,5,100\n",
       {{"1/A", "Male/A", {"Year"}, {1}}},
       false},
      // Fault: a record shorter than the header row or the first record
      // was taken, its values read from the wrong columns.
      {"a record ending before the header row's last column",
       2,
       true,
       0,
       "Sex,Site,Year,Rate\n1,A,2000,\n1,A,2001\n",
       {},
       false,
       "line 3: the record has 3 fields, but the header row of variable names "
       "(line 1) has 4, so its values would be read from the wrong columns.  "
       "A missing value is written as an empty field, the delimiters around "
       "it kept, or as the missing character \".\"; a field may not be left "
       "out."},
      {"a first record split at its comma",
       2,
       false,
       0,
       "1,A,2000,63,597,9\n1,A,2001,62.786,9\n",
       {},
       false,
       "line 2: the record has 5 fields, but the first record (line 1) has 6, "
       "so its values would be read from the wrong columns.  Columns 4 and 5 "
       "of line 1 (\"63\" and \"597\") look like",
       true},
      {"a first record split at its comma after the header row",
       2,
       true,
       0,
       "Sex,Site,Year,Count,Pop\n1,A,2000,63,597,9\n1,A,2001,62.786,9\n",
       {},
       false,
       "line 2: the record has 6 fields, but the header row of variable names "
       "(line 1) has 5, so its values would be read from the wrong columns.  "
       "Columns 4 and 5 (\"63\"",
       true},
      {"a middle field left out beside a column no variable reads",
       2,
       false,
       0,
       "1,A,2000,5,100,7,\n1,A,2001,,100,7\n1,A,2002,100,7\n",
       {},
       false,
       "line 3: the record has 5 fields, but the first record (line 1) has 6, "
       "so its values would be read from the wrong columns.  A missing value",
       true},
      {"record longer than the first, a trailing empty field taken",
       2,
       false,
       0,
       "1,A,2000\n1,A,2001,\n1,A,2002,5\n",
       {},
       false,
       "line 3: the record has 4 fields, but the first record (line 1) has 3, "
       "so its values would be read from the wrong columns.  A number written "
       "with a decimal comma, or a field that holds a comma outside double "
       "quotes, splits in two."},
      {"record longer than the header row",
       2,
       true,
       0,
       "Sex,Site,Year,Rate,Pop\n1,A,2000,1.5,1500\n1,A,2001,1,500,1600\n",
       {},
       false,
       "line 3: the record has 6 fields, but the header row of variable "
       "names (line 1) has 5, so its values would be read from the wrong "
       "columns.  Columns 4 and 5 (\"1\" and \"500\") look like one number "
       "split at its comma: write decimals with a point (1.500), and a "
       "number with thousands commas in double quotes (\"1,500\")."},
      // Fault: a delimiter that ends the header row or the first record
      // (or every line) was counted as a field of the width, so a later
      // record split at its comma was taken, read from the wrong columns
      // (the other shapes: the route table of whole runs).
      {"every line ending in a delimiter, the second record split",
       2,
       false,
       0,
       "1,A,2000,63.597,1.27,\r\n1,A,2001,67,721,1.3,\r\n"
       "1,A,2002,64.1,1.3,\r\n",
       {},
       false,
       "line 2: the record has 6 fields, but the first record (line 1) has 5, "
       "so its values would be read from the wrong columns.  Columns 4 and 5 "
       "(\"67\""},
      // The first record's last value is missing: the records after it
      // give the width.
      {"a first record without its last value, a later record split",
       2,
       false,
       0,
       "1,A,2000,63.597,\n1,A,2001,64.1,1.3\n1,A,2002,64.2,1.4\n"
       "1,A,2003,67,721,1.3\n",
       {},
       false,
       "line 4: the record has 6 fields, but the record at line 2 has 5, so "
       "its values would be read from the wrong columns.  Columns 4 and 5 "
       "(\"67\""},
      {"a first record without its last value",
       2,
       false,
       0,
       "1,A,2000,63.597,\n1,A,2001,64.1,1.3\n1,A,2002,64.2,1.4\n",
       {{"1/A", "Male/A", {"2000", "2001", "2002"}, {1, 2, 3}}},
       false},
      // Fault: where the first record or the header row differed from the
      // records after it, the second line was refused, with advice for it.
      {"a first record split, the records after it agreeing",
       2,
       false,
       0,
       "1,A,2000,63,597,9\n1,A,2001,62.786,\n\n1,A,2002,61.5,9\n",
       {},
       false,
       "line 1: the record has 6 fields, but the records at lines 2 and 4 "
       "have 5, so its values would be read from the wrong columns.  Columns "
       "4 and 5 (\"63\" and \"597\") look like one number split at its "
       "comma: write decimals with a point (63.597), and a number with "
       "thousands commas in double quotes (\"63,597\").\n"},
      {"a first record with a field left out, the records after it agreeing",
       2,
       false,
       0,
       "1,A,2000,9\n1,A,2001,62.786,9\n1,A,2002,61.5,9\n",
       {},
       false,
       "line 1: the record has 4 fields, but the records at lines 2 and 3 "
       "have 5, so its values would be read from the wrong columns.  A "
       "missing value is written"},
      {"a header row ending in a delimiter, a name short of the records",
       2,
       true,
       0,
       "Sex,Site,Year,Rate,\n1,A,2000,1.5,7\n1,A,2001,1.6,8\n",
       {},
       false,
       "line 1: the header row of variable names has 4 fields, but the "
       "records at lines 2 and 3 have 5, so it does not name the columns the "
       "records hold.  Give it one name for each field of a record; a name "
       "that holds the field delimiter, comma, splits in two unless it "
       "stands in double quotes.\n"},
      // The split-number hint: two numbers split, and a record that reads
      // in two ways with numbers joined (no hint can tell which).
      {"two numbers split at their commas",
       2,
       false,
       0,
       "1,A,2000,1.5,2.5\n1,A,2001,1.6,2.6\n1,A,2002,1,7,2,7\n",
       {},
       false,
       "line 3: the record has 7 fields, but the first record (line 1) has 5, "
       "so its values would be read from the wrong columns.  Columns 4 and 5 "
       "(\"1\" and \"7\") look like one number split at its comma: write "
       "decimals with a point (1.7).\n"},
      {"a record that reads in two ways with numbers joined",
       2,
       false,
       0,
       "1,A,2000,,7,,2.5\n1,A,2001,,7,,2.5\n1,A,2002,1,2,3,4,2,5\n",
       {},
       false,
       "line 3: the record has 9 fields, but the first record (line 1) has 7, "
       "so its values would be read from the wrong columns.  A number written "
       "with a decimal comma, or a field that holds a comma outside double "
       "quotes, splits in two.\n"},
      {"10, 10 and 9 records",
       2,
       false,
       0,
       s10a +
           [] {
             std::string s;
             for (int y = 0; y < 10; ++y)
               s += "2,A," + std::to_string(1990 + y) + "\n";
             for (int y = 0; y < 9; ++y)
               s += "1,B," + std::to_string(1990 + y) + "\n";
             return s;
           }(),
       {},
       true},
      // Each year has one record: a repeated year is two observations (the
      // verification refuses its cohort, keeping both records).
      {"a repeated year",
       2,
       false,
       0,
       "1,A,2005\n1,A,2005\n1,A,2006\n",
       {{"1/A", "Male/A", {"2005", "2005", "2006"}, {1, 2, 3}}},
       false},
  };
  for (const PreReadCase& c : cases) {
    for (bool bGzip : {false, true}) {
      SCOPED_TRACE(std::string(c.sName) + (bGzip ? " (gzip)" : " (plain)"));
      km_test::ScratchDir dir;
      const std::string sPath = WriteDataFile(dir, "data", c.sText, bGzip);
      auto pSession =
          preread_test::MakeSession(c.nByVars, sPath, c.bRateColumns);
      pSession->SetInt(kmOptHeaderLines, c.iHeaderLines);
      kmCohortManager manager(pSession.get(), sPath.c_str(), ",", false,
                              c.bVarNames);
      if (c.sError != nullptr) {
        const KmException e =
            km_test::CatchKmException([&] { manager.ReadAllCohorts(); });
        // An error that ends in a line end is the end of the message.
        const std::string sMessage = std::string(e.GetMessage()) + "\n";
        EXPECT_NE(sMessage.find(c.sError), std::string::npos) << sMessage;
        EXPECT_EQ(e.GetKind(), KmException::kInputErrorKind);
        continue;
      }
      manager.ReadAllCohorts();
      if (std::string(c.sName) == "10, 10 and 9 records") {
        std::vector<int> vCounts(pSession->GetObservationCounts().begin(),
                                 pSession->GetObservationCounts().end());
        EXPECT_EQ(vCounts, (std::vector<int>{10, 10, 9}));
      } else {
        ExpectCohorts(manager, *pSession, c.expected);
      }
      // The pre-read of a run, over the same file, says whether the
      // cohorts' observation counts differ (a file of none it refuses).
      if (manager.GetNumCohorts() == 0) continue;
      pSession->SetBool(kmOptVarNamesIncluded, c.bVarNames);
      bool bVarying = !c.bVarying;
      PreReadCohorts(*pSession, false, &bVarying);
      EXPECT_EQ(bVarying, c.bVarying);
    }
  }
}

TEST(kmCohortManager, EmptyLeadingTabFieldIsRefusedAsAnEmptyByVariable) {
  // Fault: the whole line was trimmed before splitting, so with the tab
  // delimiter an empty first field lost its column: the year became the
  // key and every record of the block a cohort of its own.
  // Fault: an empty by-variable field was taken with an empty label, and
  // its cohort was later labelled with another cohort's code (or the run
  // stopped in the calculation with "Requesting line -1 of format ...").
  for (bool bGzip : {false, true}) {
    SCOPED_TRACE(bGzip ? "gzip" : "plain");
    km_test::ScratchDir dir;
    const std::string sPath = WriteDataFile(
        dir, "tabs", "1\tA\t2000\n\tA\t2000\n\tA\t2001\n2\tA\t2000\n", bGzip);
    auto pSession = MakeSession(1, sPath);
    kmCohortManager manager(pSession.get(), sPath.c_str(), "\t", false, false);
    const KmException e =
        km_test::CatchKmException([&] { manager.ReadAllCohorts(); });
    EXPECT_NE(std::string(e.GetMessage())
                  .find("\", line 2, column 1: the by variable Sex is empty."),
              std::string::npos)
        << e.GetMessage();
  }
}

TEST(kmCohortManager, KeepsCohortWithMissingIndependentValue) {
  // Fault: a cohort with a record that lacked its independent value was
  // dropped from the list and the session's counts, while the verification
  // pass still finds it, so every later cohort took its neighbour's count
  // and label.
  km_test::ScratchDir dir;
  const std::string sPath =
      WriteDataFile(dir, "data", "1,A,2000\n2,A,\n2,A,2001\n1,B,2002\n", false);
  auto pSession = MakeSession(2, sPath);
  kmCohortManager manager(pSession.get(), sPath.c_str(), ",", false, false);
  manager.ReadAllCohorts();
  ExpectCohorts(manager, *pSession,
                {{"1/A", "Male/A", {"2000"}, {1}},
                 {"2/A", "Female/A", {"", "2001"}, {2, 3}},
                 {"1/B", "Male/B", {"2002"}, {4}}});
}

TEST(kmCohortManager, ReadsLongCompressedLineAsOneRecord) {
  // Fault: a compressed line longer than 8191 bytes arrived in pieces and
  // each piece was taken for a record of its own (the plain file and the
  // session's scans see one record).
  const std::string sLong = "1,A,2000," + std::string(9000, '7') + "\n";
  for (bool bGzip : {false, true}) {
    SCOPED_TRACE(bGzip ? "gzip" : "plain");
    km_test::ScratchDir dir;
    const std::string sPath =
        WriteDataFile(dir, "data", sLong + "1,A,2001,1\n", bGzip);
    auto pSession = MakeSession(1, sPath);
    kmCohortManager manager(pSession.get(), sPath.c_str(), ",", false, false);
    manager.ReadAllCohorts();
    ExpectCohorts(manager, *pSession,
                  {{"1", "Male", {"2000", "2001"}, {1, 2}}});
  }
}

TEST(kmCohortManager, HeaderLineCountBeyondTheFileEndsTheRead) {
  // Fault: the header lines were read in a loop to the option's value
  // whatever the file held, so a count of 2147483647 never ended and its
  // counter overflowed.
  for (bool bGzip : {false, true}) {
    SCOPED_TRACE(bGzip ? "gzip" : "plain");
    km_test::ScratchDir dir;
    const std::string sPath =
        WriteDataFile(dir, "data", "1,A,2000\n1,A,2001\n", bGzip);
    auto pSession = MakeSession(1, sPath);
    pSession->SetInt(kmOptHeaderLines, 2147483647);
    kmCohortManager manager(pSession.get(), sPath.c_str(), ",", false, false);
    manager.ReadAllCohorts();
    EXPECT_EQ(manager.GetNumCohorts(), 0);
    EXPECT_TRUE(manager.IsEndOfFile());
  }
}

TEST(kmCohortManager, LineWithNulByteIsRefusedInPlainAndGzipFiles) {
  // Fault: a NUL byte ended a line's text unseen: the plain file lost the
  // rest of the record, and in the gzip twin the bytes after the NUL (more
  // than 8 KB) became a record and a cohort of their own.
  const std::string sText = "1,A,2000\n1,A,2001\n2,A,2002" +
                            std::string(1, '\0') + "," +
                            std::string(9000, '7') + "\n2,A,2003\n";
  for (bool bGzip : {false, true}) {
    SCOPED_TRACE(bGzip ? "gzip" : "plain");
    km_test::ScratchDir dir;
    const std::string sPath = WriteDataFile(dir, "data", sText, bGzip);
    auto pSession = MakeSession(1, sPath);
    kmCohortManager manager(pSession.get(), sPath.c_str(), ",", false, false);
    const KmException e =
        km_test::CatchKmException([&] { manager.ReadAllCohorts(); });
    EXPECT_EQ(
        std::string(e.GetMessage()),
        "Data file \"" + sPath + "\" is damaged: line 3 holds a NUL byte.");
  }
}

TEST(kmCohortManager, RefillsObservationCountsOnEveryRead) {
  // Fault: the end-of-file flag of a first read was never reset, so a
  // second read found no cohort and emptied the session's counts.
  km_test::ScratchDir dir;
  const std::string sPath = WriteDataFile(dir, "data", "1,A,2000\n", false);
  auto pSession = MakeSession(1, sPath);
  pSession->AddObservationCount(99);
  kmCohortManager manager(pSession.get(), sPath.c_str(), ",", false, false);
  manager.ReadAllCohorts();
  manager.ReadAllCohorts();
  ASSERT_EQ(pSession->GetObservationCounts().size(), 1u);
  EXPECT_EQ(pSession->GetObservationCounts()[0], 1);
  EXPECT_EQ(manager.GetNumCohorts(), 1);
}

TEST(kmCohortManager, NumericValueWithoutFormatLineStopsTheRun) {
  km_test::ScratchDir dir;
  const std::string sPath = WriteDataFile(dir, "data", "3,A,2000\n", false);
  auto pSession = MakeSession(1, sPath);
  kmCohortManager manager(pSession.get(), sPath.c_str(), ",", false, false);
  const KmException e =
      km_test::CatchKmException([&] { manager.ReadAllCohorts(); });
  // Fault: the refusal named neither the data file nor the line.
  EXPECT_STREQ(e.GetMessage(),
               ("Data file \"" + sPath +
                "\", line 1, column 1: \"3\" is an invalid code for the Sex "
                "by variable.  You must redefine the Sex variable format.")
                   .c_str());
  EXPECT_EQ(e.GetKind(), KmException::kInputErrorKind);
  const std::string sPathText = e.GetCallPath();
  EXPECT_NE(sPathText.find("BuildCohort(KmString) of kmCohortManager"),
            std::string::npos);
  EXPECT_NE(sPathText.find("ReadAllCohorts() of kmCohortManager"),
            std::string::npos);
}

TEST(kmCohortManager, UnreadableFileRaisesInsteadOfWaiting) {
  // Fault: the refusal gave no reason, so a folder, a missing file and a
  // process out of file descriptors (ulimit -n) read alike.
  km_test::ScratchDir dir;
  km_test::WriteAll(dir.File("data.csv"), "1,A,2000\n");
  std::filesystem::create_directory(dir.File("folder.csv"));
  const struct {
    const char* sName;
    bool bFilesUsedUp;
    const char* sReason;
  } kCases[] = {
      {"absent.csv", false, "No such file or directory."},
      {"absent.csv.gz", false, "No such file or directory."},
      {"folder.csv", false, "Is a directory."},
      {"data.csv", true, km_test::kOpenFilesUsedUp},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sName);
    const std::string sPath = dir.File(c.sName);
    auto pSession = MakeSession(1, sPath);
    kmCohortManager manager(pSession.get(), sPath.c_str(), ",", false, false);
    KmException e;
    if (c.bFilesUsedUp) {
      km_test::WithOpenFilesUsedUp([&] {
        e = km_test::CatchKmException([&] { manager.ReadAllCohorts(); });
      });
    } else {
      e = km_test::CatchKmException([&] { manager.ReadAllCohorts(); });
    }
    EXPECT_EQ(
        std::string(e.GetMessage()),
        "Unable to open data file \"" + sPath + "\" for reading: " + c.sReason);
  }
}

TEST(kmCohortManager, TruncatedGzipFileRaises) {
  km_test::ScratchDir dir;
  std::string sText;
  for (int i = 0; i < 2000; ++i) sText += "1,A," + std::to_string(i) + "\n";
  const std::string sFull = WriteDataFile(dir, "full", sText, true);
  std::vector<unsigned char> bytes = km_test::ReadBytes(sFull);
  const std::string sCut = dir.File("cut.csv.gz");
  km_test::WriteAll(
      sCut, std::string(bytes.begin(), bytes.begin() + bytes.size() / 2));
  auto pSession = MakeSession(1, sCut);
  kmCohortManager manager(pSession.get(), sCut.c_str(), ",", false, false);
  EXPECT_THROW(manager.ReadAllCohorts(), KmException);
}

TEST(kmCohortManager, NullSessionIsRefused) {
  EXPECT_THROW(kmCohortManager(nullptr, "x.csv", ",", false, false),
               KmException);
}

TEST(kmCohort, GetObservationChecksItsIndex) {
  kmCohort cohort;
  EXPECT_TRUE(cohort.GetKey().IsEmpty());
  EXPECT_TRUE(cohort.GetLabel().IsEmpty());
  cohort.AddObservation("2000", 1);
  cohort.AddObservation("2001", 2);
  EXPECT_STREQ(cohort.GetObservation(1).GetCString(), "2001");
  for (int i : {-1, 2}) {
    SCOPED_TRACE(i);
    const KmException e =
        km_test::CatchKmException([&] { cohort.GetObservation(i); });
    EXPECT_EQ(std::string(e.GetMessage()),
              "Requested observation (" + std::to_string(i) +
                  ") is out of Range.  Number of obseravtions is: 2\r\n");
    EXPECT_STREQ(e.GetSource(), "kmCohort::GetObservations(int)");
    EXPECT_NE(
        std::string(e.GetCallPath()).find("GetObservation(int) of kmCohort"),
        std::string::npos);
  }
}

}  // namespace
