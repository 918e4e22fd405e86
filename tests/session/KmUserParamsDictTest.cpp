// Tests of KmUserParamsDict, the reader of session-parameter files.
#include <gtest/gtest.h>

#include <string>

#include "foundation/KmFormat.h"
#include "session/KmUserParamsDict.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::CatchKmException;
using km_test::DataPath;

// Writes a parameter file from its two sections' lines (and any further
// sections) and returns its path.
std::string WriteParams(const km_test::ScratchDir& dir,
                        const std::string& sDatafileLines,
                        const std::string& sParameterLines,
                        const std::string& sMore = "") {
  return dir.Write("params.ini", "[Datafile Options]\n" + sDatafileLines +
                                     "[Kinkmark Session Parameters]\n" +
                                     sParameterLines + sMore);
}

TEST(KmUserParamsDict, OnlyTheIndependentVariableGivesTheDefaults) {
  KmUserParamsDict dict(DataPath("params/independent_only.ini").c_str());
  EXPECT_FALSE(dict.GetQuotes());
  EXPECT_FALSE(dict.GetFlagsIncluded());
  EXPECT_FALSE(dict.GetGZipped());
  EXPECT_TRUE(dict.GetRemoveThousandsSeparators());
  EXPECT_FALSE(dict.GetUnixFileFormat());
  EXPECT_FALSE(dict.GetVariableNamesIncluded());
  EXPECT_EQ(dict.GetFieldDelimiter(), '\t');
  EXPECT_EQ(dict.GetMissingCharacter(), ' ');
  EXPECT_EQ(dict.GetSessionType(), 0);
  EXPECT_EQ(dict.GetVariableFormat(), 0);
  EXPECT_TRUE(KmFileName(dict.GetDataFile()).GetFullName()[0] == '\0');
  EXPECT_TRUE(dict.GetHeaderNames().empty());
  EXPECT_TRUE(dict.GetByVarLocations().empty());
  EXPECT_EQ(dict.GetIndependentVariableLocation(), 3);
  for (int16_t iLocation :
       {dict.GetAdjustmentVariableLocation(), dict.GetAgeAdjustedRateLocation(),
        dict.GetCrudeRateLocation(), dict.GetDependentVariableLocation(),
        dict.GetDenominatorLocation(), dict.GetNumeratorLocation(),
        dict.GetPercentLocation(), dict.GetProportionLocation(),
        dict.GetPopulationLocation(), dict.GetStandardErrorLocation(),
        dict.GetStandardPopulationLocation()}) {
    EXPECT_EQ(iLocation, -1);
  }
  EXPECT_EQ(dict.GetCountLocation(), -1);
  EXPECT_EQ(dict.GetHetErrorModel(), kmErrorModel::kConstantVariance);
  // Two unnamed columns, then the independent variable.
  ASSERT_EQ(dict.GetNumVariables(), 3);
  EXPECT_TRUE(dict.GetVariables()[0].GetName().IsEmpty());
  EXPECT_TRUE(dict.GetVariables()[1].GetName().IsEmpty());
  EXPECT_EQ(dict.GetVariables()[2].GetName(), "Independent Variable");
  EXPECT_FALSE(dict.GetVariables()[2].HasFormat());
}

TEST(KmUserParamsDict, ReadsVariablesByRoleWithTheirFormats) {
  KmUserParamsDict dict(DataPath("params/rate_se.ini").c_str());
  EXPECT_EQ(dict.GetFieldDelimiter(), ',');
  EXPECT_EQ(dict.GetMissingCharacter(), '.');
  EXPECT_TRUE(dict.GetUnixFileFormat());
  EXPECT_EQ(KmFileName(dict.GetDataFile()).GetName(), "rate_se");
  ASSERT_EQ(dict.GetNumVariables(), 6);
  const char* kNames[] = {"Sex",
                          "Year",
                          "Crude Rate",
                          "Standard Error",
                          "Count Variable",
                          "Population Variable"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(dict.GetVariables()[i].GetName(), kNames[i]) << i;
  }
  EXPECT_EQ(dict.GetStandardErrorLocation(), 4);
  EXPECT_EQ(dict.GetHetErrorModel(), kmErrorModel::kStandardError);
  EXPECT_EQ(dict.GetCountLocation(), 5);
  EXPECT_EQ(dict.GetPopulationLocation(), 6);
  ASSERT_EQ(dict.GetByVarLocations().size(), 1u);
  EXPECT_EQ(dict.GetByVarLocations()[0], 1);
  ASSERT_TRUE(dict.GetVariables()[0].HasFormat());
  EXPECT_EQ(dict.GetVariables()[0].GetFormat().GetLabel(1), "Female");
  const KmFormat& years = dict.GetVariables()[1].GetFormat();
  EXPECT_EQ(years.GetDataType(), 'I');
  const char* sValue = "2005";
  EXPECT_EQ(years.GetIndexFromValue(sValue, true, true), 1);
  EXPECT_FALSE(dict.GetVariables()[2].HasFormat());
}

TEST(KmUserParamsDict, LaterKeysOfARoleWinAsTheFileLaysDown) {
  struct Case {
    const char* sName;
    const char* sLines;
    int16_t iPopulation;
    int32_t iCount;
    int16_t iDenominator;
    int16_t iNumerator;
  };
  const Case kCases[] = {
      {"denominator and population",
       "denominator location = 5\n"
       "population location = 6\n",
       6, -1, 5, -1},
      {"denominator alone", "denominator location = 5\n", 5, -1, 5, -1},
      {"count and numerator", "count location = 2\nnumerator location = 4\n",
       -1, 4, -1, 4},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    const std::string path = WriteParams(
        dir, "", std::string("independent variable location = 1\n") + c.sLines);
    KmUserParamsDict dict(path.c_str());
    EXPECT_EQ(dict.GetPopulationLocation(), c.iPopulation);
    EXPECT_EQ(dict.GetCountLocation(), c.iCount);
    EXPECT_EQ(dict.GetDenominatorLocation(), c.iDenominator);
    EXPECT_EQ(dict.GetNumeratorLocation(), c.iNumerator);
  }
}

TEST(KmUserParamsDict, HetErrorVariableLocationGivesColumnOrModel) {
  struct Case {
    const char* sLines;
    int16_t iStandardError;
    kmErrorModel model;
  };
  const Case kCases[] = {
      {"het error variable location = 4\n", 4, kmErrorModel::kStandardError},
      {"standard error location = 3\nhet error variable location = 4\n", 3,
       kmErrorModel::kStandardError},
      {"het error variable location = poisson rate\n", -1,
       kmErrorModel::kPoissonRate},
      {"het error variable location = poisson count\n", -1,
       kmErrorModel::kPoissonCount},
      {"het error variable location = constant variance\n", -1,
       kmErrorModel::kConstantVariance},
      {"standard error location = 3\n"
       "het error variable location = standard error\n",
       3, kmErrorModel::kStandardError},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sLines);
    const std::string path = WriteParams(
        dir, "", std::string("independent variable location = 1\n") + c.sLines);
    KmUserParamsDict dict(path.c_str());
    EXPECT_EQ(dict.GetStandardErrorLocation(), c.iStandardError);
    EXPECT_EQ(dict.GetHetErrorModel(), c.model);
    if (c.iStandardError > 0) {
      EXPECT_EQ(dict.GetVariables()[c.iStandardError - 1].GetName(),
                "Standard Error");
    }
  }
}

TEST(KmUserParamsDict, ByVariablesWithoutLocationAreSkipped) {
  km_test::ScratchDir dir;
  const std::string path = WriteParams(dir, "",
                                       "independent variable location = 3\n"
                                       "by-var1 = Registry\n"
                                       "by-var2 = Sex\nby-var2 location = 2\n"
                                       "by-var4 = Race\nby-var4 location = 1\n",
                                       "[Format=Sex]\n1=Male\n2=Female\n");
  KmUserParamsDict dict(path.c_str());
  // by-var3 is missing, so by-var4 is never read.
  ASSERT_EQ(dict.GetByVarLocations().size(), 1u);
  EXPECT_EQ(dict.GetByVarLocations()[0], 2);
  EXPECT_EQ(dict.GetVariables()[1].GetName(), "Sex");
  EXPECT_EQ(dict.GetVariables()[1].GetFormat().GetLabel(0), "Male");
  EXPECT_TRUE(dict.GetVariables()[0].GetName().IsEmpty());
}

TEST(KmUserParamsDict, DatafileOptionWords) {
  struct Case {
    const char* sLines;
    char cDelimiter;
    char cMissing;
  };
  const Case kCases[] = {
      {"Field delimiter = space\nMissing character = period\n", ' ', '.'},
      {"Field delimiter = semi-colon\nMissing character = NA\n", ';', ' '},
      {"Field delimiter = pipe\n", '\t', ' '},
      {"Field delimiter = Comma\n", '\t', ' '},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sLines);
    const std::string path =
        WriteParams(dir, c.sLines, "independent variable location = 1\n");
    KmUserParamsDict dict(path.c_str());
    EXPECT_EQ(dict.GetFieldDelimiter(), c.cDelimiter);
    EXPECT_EQ(dict.GetMissingCharacter(), c.cMissing);
  }
}

TEST(KmUserParamsDict, NamesOfTheFirstRolesComeFromTheDataFileHeader) {
  // The compressed twin must give the same names: the header line of a
  // gzip data file is read through the gzip reader, not as raw bytes.
  for (const char* sData :
       {"scans/cohorts_10_12.txt", "scans/cohorts_10_12.txt.gz"}) {
    SCOPED_TRACE(sData);
    km_test::ScratchDir dir;
    const std::string path = WriteParams(
        dir,
        "Datafile name = " + DataPath(sData) +
            "\nVariable names included = true\n",
        "independent variable location = 2\nindependent variable = Period\n"
        "count location = 3\ncount = Cases\n"
        "by-var1 = Sex\nby-var1 location = 1\n");
    KmUserParamsDict dict(path.c_str());
    ASSERT_EQ(dict.GetHeaderNames().size(), 3u);
    EXPECT_EQ(dict.GetHeaderNames()[0], "Sex");
    EXPECT_EQ(dict.GetHeaderNames()[2], "Count");
    EXPECT_EQ(dict.GetVariables()[1].GetName(), "Year");
    // Roles beyond the first three keep the names of their keys.
    EXPECT_EQ(dict.GetVariables()[2].GetName(), "Cases");
  }
}

TEST(KmUserParamsDict, MissingSectionsNameTheSectionAndTheFile) {
  km_test::ScratchDir dir;
  const std::string sNoDatafile = dir.File("a.ini");
  km_test::WriteAll(sNoDatafile,
                    "[Kinkmark Session Parameters]\n"
                    "independent variable location = 1\n");
  KmException e =
      CatchKmException([&] { KmUserParamsDict dict(sNoDatafile.c_str()); });
  EXPECT_EQ(std::string(e.GetMessage()),
            "Section \"[Datafile Options]\" not found in " + sNoDatafile);
  EXPECT_EQ(e.GetKind(), 3);

  const std::string sNoParameters = dir.File("b.ini");
  km_test::WriteAll(sNoParameters, "[Datafile Options]\nField delimiter=tab\n");
  e = CatchKmException([&] { KmUserParamsDict dict(sNoParameters.c_str()); });
  EXPECT_EQ(std::string(e.GetMessage()),
            "Section \"[Kinkmark Session Parameters]\" not found in " +
                sNoParameters);
  EXPECT_EQ(e.GetKind(), 3);

  e = CatchKmException([&] { KmUserParamsDict dict(""); });
  EXPECT_STREQ(e.GetMessage(), "Empty string pointer passed to constructor.");
}

TEST(KmUserParamsDict, ErrorsInTheVariableSectionsAreRaisedNotSwallowed) {
  // A location of 0 (or any text that is no column number) used to be
  // printed and swallowed, leaving a dictionary without the later roles; a
  // session built from it lost its standard-error column without a word.
  struct Case {
    const char* sName;
    std::string sParameters;
    std::string sMore;
    const char* sInMessage;
  };
  const Case kCases[] = {
      {"zero location",
       "independent variable location = 0\nstandard error location = 4\n", "",
       "\"independent variable location\" = \"0\""},
      {"text location",
       "independent variable location = 2\ncount location = "
       "third\nstandard error location = 4\n",
       "", "line 4: \"count location\" = \"third\" is not a column"},
      {"negative location", "independent variable location = -2.0\n", "",
       "\"independent variable location\" = \"-2.0\" is not a column number "
       "from 1 to 32767 (the number -2)."},
      {"location 2.5", "independent variable location = 2.5\n", "",
       "\"independent variable location\" = \"2.5\" is not a column number "
       "from 1 to 32767 (not a whole number)."},
      {"location past 16 bits", "independent variable location = 70000\n", "",
       "\"independent variable location\" = \"70000\""},
      {"by-var location",
       "independent variable location = 1\n"
       "by-var1 = Sex\nby-var1 location = x\n",
       "", "\"by-var1 location\" = \"x\""},
      {"bad format section",
       "independent variable location = 1\nindependent variable = Year\n",
       "[Format=Year]\n-3=Before\n", "Invalid range"},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    const std::string path = WriteParams(dir, "", c.sParameters, c.sMore);
    KmException e =
        CatchKmException([&] { KmUserParamsDict dict(path.c_str()); });
    EXPECT_NE(std::string(e.GetMessage()).find(c.sInMessage), std::string::npos)
        << e.GetMessage();
    EXPECT_EQ(e.GetKind(), 3);
    const std::string sWhere = std::string(e.GetMessage()) + e.GetCallPath();
    EXPECT_NE(sWhere.find(path), std::string::npos) << sWhere;
  }
}

TEST(KmUserParamsDict, HeaderNamesMustCoverTheLocationsThatUseThem) {
  km_test::ScratchDir dir;
  const std::string path =
      WriteParams(dir,
                  "Datafile name = " + DataPath("scans/cohorts_10_12.txt") +
                      "\nVariable names included = true\n",
                  "independent variable location = 5\n");
  KmException e =
      CatchKmException([&] { KmUserParamsDict dict(path.c_str()); });
  EXPECT_NE(std::string(e.GetMessage()).find("beyond the 3 variable names"),
            std::string::npos)
      << e.GetMessage();
  EXPECT_EQ(e.GetKind(), 3);

  // Names included but no data file to take them from, or one that is not
  // there.
  for (const std::string& sDatafile :
       {std::string(""), "Datafile name = " + dir.File("absent.txt") + "\n"}) {
    const std::string sPath =
        WriteParams(dir, sDatafile + "Variable names included = true\n",
                    "independent variable location = 1\n");
    e = CatchKmException([&] { KmUserParamsDict dict(sPath.c_str()); });
    EXPECT_EQ(e.GetKind(), 3) << e.GetMessage();
  }
}

}  // namespace
