// Tests of the session built from a VESK*Stat data dictionary
// (kmSession(const VSExportDict&, bool), ReadIniDictionary, GetStatType,
// SetHeterFromDict).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/KmFormat.h"
#include "session/VSExportDict.h"
#include "session/kmSession.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::CatchKmException;
using km_test::DataPath;

// Reads dictionaries/<name>.dic with its data file dictionaries/<name>.txt,
// as the driver does.
VSExportDict ReadDictionary(const std::string& sName) {
  VSExportDict dict(DataPath("dictionaries/" + sName + ".dic").c_str());
  dict.SetDataFile(DataPath("dictionaries/" + sName + ".txt").c_str());
  return dict;
}

// The role positions 0 to 11 of a session.
std::vector<int32_t> Roles(const kmSession& session) {
  std::vector<int32_t> roles;
  for (int iRole = 0; iRole < kmNumVarRoles; ++iRole) {
    roles.push_back(session.GetKMVarPosition(iRole));
  }
  return roles;
}

TEST(kmSessionFromDictionary, StatTypeKeywords) {
  struct Case {
    const char* sName;
    int iType;
  };
  const Case kCases[] = {
      {"Count", 0},
      {"  std pop\t", 11},
      {"Standard Population", 11},
      {"Crude Rate", 3},
      {"crude rate/trend", 5},
      {"Age-Adjusted Rate", 2},
      {"Standard Error/P-Value", 8},
      {"Delay SE/P-Value", 35},
      {"Composite Delay Factor (Rate)", 40},
      {"Disparity", 41},
      {"Year", 42},
      {"", 42},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    EXPECT_EQ(kmSession::GetStatType(KmString(c.sName)), c.iType);
  }
}

TEST(kmSessionFromDictionary, CrudeRateWithStandardErrorCountAndPopulation) {
  VSExportDict dict = ReadDictionary("rate_crude");
  kmSession session(dict, false);
  // Sex, Year, Crude Rate, Standard Error, Count, Population.
  EXPECT_EQ(Roles(session),
            (std::vector<int32_t>{2, 3, 4, 6, 0, 5, 0, 3, 0, 0, 0, 0}));
  ASSERT_EQ(session.GetNumByVars(), 1);
  EXPECT_EQ(session.GetByVar(0).GetName(), "Sex");
  EXPECT_EQ(session.GetInt(kmOptHetErrorModel), 2);
  EXPECT_EQ(session.GetInt(kmOptDependentType), 1);
  EXPECT_FALSE(session.GetBool(kmOptDependentCalculated));
  EXPECT_FALSE(session.GetBool(kmOptDisparityDict));
  EXPECT_EQ(session.GetInt(kmOptFieldDelimiter), 0);
  EXPECT_EQ(session.GetInt(kmOptMissingCharacter), 1);
  EXPECT_FALSE(session.GetBool(kmOptVarNamesIncluded));
  EXPECT_EQ(session.GetInt(kmOptHeaderLines), 0);
  EXPECT_EQ(session.GetInt(kmOptDictDelayStats), 0);
  EXPECT_EQ(session.GetInt(kmOptDelayType), 0);
  KmString sDataFile;
  session.GetString(kmStrDataFile, sDataFile);
  EXPECT_EQ(std::string(sDataFile.GetCString()),
            DataPath("dictionaries/rate_crude.txt"));
  EXPECT_FALSE(session.GetDictionaryError());
  ASSERT_EQ(session.GetNumVars(), 6);
  EXPECT_EQ(session.GetVar(1).GetPosition(), 2);
  EXPECT_EQ(session.GetVar(1).GetFormat().GetLabel(0), "2000");
}

TEST(kmSessionFromDictionary, SessionAndDependentVariableTypes) {
  struct Case {
    const char* sName;
    std::vector<int32_t> roles;
    int iModel;
    int iDependentType;
    bool bCalculated;
    bool bDisparity;
    int iFieldDelimiter;
  };
  const Case kCases[] = {
      // Race, Year, Count, Population: a Poisson rate of the count.
      {"frequency_count",
       {2, 3, 0, 4, 0, 3, 0, 0, 0, 0, 0, 0},
       4,
       0,
       false,
       false,
       2},
      // Sex, Year, Age, Count, Population, Std Pop: the program calculates
      // age-adjusted rates over the age groups from the counts. Fault: no
      // response role, and the type of a count.
      {"rate_adjusted",
       {2, 4, 0, 5, 6, 4, 3, 0, 0, 0, 0, 0},
       2,
       4,
       true,
       false,
       3},
      // Group, Year, Disparity, Standard Error.
      {"disparity", {2, 3, 4, 0, 0, 3, 0, 0, 0, 0, 0, 3}, 2, 5, false, true, 1},
      // Year, Age-Adjusted Rate/Trend, Standard Error.
      {"rate_trend",
       {1, 2, 3, 0, 0, 0, 0, 2, 0, 0, 0, 0},
       2,
       4,
       false,
       false,
       0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    kmSession session(ReadDictionary(c.sName), false);
    EXPECT_EQ(Roles(session), c.roles);
    EXPECT_EQ(session.GetInt(kmOptHetErrorModel), c.iModel);
    EXPECT_EQ(session.GetInt(kmOptDependentType), c.iDependentType);
    EXPECT_EQ(session.GetBool(kmOptDependentCalculated), c.bCalculated);
    EXPECT_EQ(session.GetBool(kmOptDisparityDict), c.bDisparity);
    EXPECT_EQ(session.GetInt(kmOptFieldDelimiter), c.iFieldDelimiter);
  }
}

TEST(kmSessionFromDictionary, DelayStatisticsSetTheDelayOptions) {
  kmSession delay(ReadDictionary("rate_delay"), false);
  EXPECT_EQ(delay.GetInt(kmOptDictDelayStats), 1);
  EXPECT_EQ(delay.GetInt(kmOptDelayStatKind), 1);  // delay crude rate
  EXPECT_EQ(delay.GetInt(kmOptDelayType), 2);      // both
  EXPECT_EQ(delay.GetKMVarPosition(kmVarDelayRate), 5);
  EXPECT_EQ(delay.GetKMVarPosition(kmVarDelaySE), 6);
  EXPECT_EQ(delay.GetKMVarPosition(kmVarDependent), 3);
  EXPECT_EQ(delay.GetInt(kmOptDependentType), 1);

  kmSession delayCount(ReadDictionary("frequency_delay_count"), false);
  EXPECT_EQ(delayCount.GetInt(kmOptDictDelayStats), 1);
  EXPECT_EQ(delayCount.GetInt(kmOptDelayStatKind), 6);
  EXPECT_EQ(delayCount.GetInt(kmOptDelayType), 2);  // a count beside it
  EXPECT_EQ(delayCount.GetKMVarPosition(kmVarDelayCount), 3);
  EXPECT_EQ(delayCount.GetKMVarPosition(kmVarDependent), 2);
  EXPECT_EQ(delayCount.GetInt(kmOptHetErrorModel), 1);
  EXPECT_EQ(delayCount.GetNumByVars(), 0);
  EXPECT_EQ(delayCount.GetKMVarPosition(kmVarIndependent), 1);
}

TEST(kmSessionFromDictionary, StatisticsPresentChooseTypeAndDelayOptions) {
  // Each dictionary lists its variables by name; the last table variable
  // (Year) is the independent variable.
  struct Case {
    const char* sVariables;  // comma-separated names
    int iDependentType;      // option 26 (4 is its default)
    int iDictDelayStats;     // option 35
    int iDelayType;          // option 36
    int iDelayStatKind;      // option 38 (-1 is its default)
    int iModel;              // option 2
    int iDependent;          // role 1
  };
  const Case kCases[] = {
      {"Year,Crude Rate", 1, 0, 0, -1, 0, 2},
      // A crude rate wins over an age-adjusted rate, which wins over a
      // count.
      {"Year,Age-Adjusted Rate,Crude Rate", 1, 0, 0, -1, 0, 3},
      {"Year,Count,Age-Adjusted Rate", 4, 0, 0, -1, 0, 3},
      {"Group,Year,Disparity", 5, 0, 0, -1, 0, 3},
      // Delay statistics alone: delay only.
      {"Year,Delay Rate", 4, 1, 1, 0, 0, 0},
      {"Year,Delay Count", 0, 1, 1, 6, 1, 2},
      {"Year,Count,Delay Count", 0, 1, 2, 6, 1, 2},
      // A rate beside a delay rate of the same kind: both analyses.
      {"Year,Age-Adjusted Rate,Delay Age-Adjusted Rate,Delay SE", 4, 1, 2, 2, 0,
       2},
      {"Year,Crude Rate,Delay Trend", 1, 1, 2, 3, 0, 2},
      // A plain delay rate beside a rate: delay only.
      {"Year,Crude Rate,Delay Rate", 1, 1, 1, 0, 0, 2},
      // The delay crude rate with trend counts as a crude rate.
      {"Year,Count,Delay Crude Rate/Trend", 1, 1, 2, 4, 0, 0},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sVariables);
    std::string sVariables;
    int n = 0;
    std::string sNames = c.sVariables;
    for (size_t iStart = 0; iStart <= sNames.size();) {
      size_t iEnd = sNames.find(',', iStart);
      if (iEnd == std::string::npos) iEnd = sNames.size();
      sVariables += "Var" + std::to_string(++n) +
                    "Name=" + sNames.substr(iStart, iEnd - iStart) + "\n";
      iStart = iEnd + 1;
    }
    const std::string path = dir.File("dict.dic");
    km_test::WriteAll(path,
                      "[System]\n[Session Options]\nType=Rate\n"
                      "[Export Options]\nVariable format=numeric\n"
                      "Field delimiter=tab\n[Variables]\n" +
                          sVariables);
    VSExportDict dict(path.c_str());
    kmSession session;
    EXPECT_TRUE(session.ReadIniDictionary(dict, false))
        << session.GetDictionaryMessages().GetCString();
    EXPECT_EQ(session.GetInt(kmOptDependentType), c.iDependentType);
    EXPECT_EQ(session.GetInt(kmOptDictDelayStats), c.iDictDelayStats);
    EXPECT_EQ(session.GetInt(kmOptDelayType), c.iDelayType);
    EXPECT_EQ(session.GetInt(kmOptDelayStatKind), c.iDelayStatKind);
    EXPECT_EQ(session.GetInt(kmOptHetErrorModel), c.iModel);
    EXPECT_EQ(session.GetKMVarPosition(kmVarDependent), c.iDependent);
  }
}

TEST(kmSessionFromDictionary, LabelsThatAreNoYearsAreMarkedNotUsed) {
  kmSession session(ReadDictionary("rate_trend"), false);
  const KmFormat& years = session.GetKMVar(kmVarIndependent).GetFormat();
  ASSERT_EQ(years.GetNumLines(), 11);
  EXPECT_EQ(years.GetLabel(0), "2000-2009 (not used in calculations)");
  EXPECT_EQ(years.GetLabel(1), "2000");  // " Rate" dropped
  EXPECT_EQ(years.GetLabel(4), "2003");
  EXPECT_EQ(years.GetLabel(9), "Total (not used in calculations)");
  EXPECT_EQ(years.GetLabel(10), "2000-2007 APC (not used in calculations)");
  // Fault: the count of marked labels was stored as lines to pass over at
  // the start of every cohort, dropping as many years of each.
  EXPECT_EQ(session.GetInt(kmOptHeaderLines), 0);
  EXPECT_TRUE(session.GetDictionaryFlag());

  // A disparity dictionary keeps its labels and reads its values as
  // numbers.
  kmSession disparity(ReadDictionary("disparity"), false);
  const KmFormat& periods = disparity.GetKMVar(kmVarIndependent).GetFormat();
  EXPECT_EQ(periods.GetDataType(), 'N');
  EXPECT_EQ(periods.GetLabel(2), "2002.5");
  EXPECT_EQ(disparity.GetInt(kmOptHeaderLines), 0);
}

TEST(kmSessionFromDictionary, UnsupportedSessionTypeGivesTheProblemText) {
  const char kProblem[] =
      "Only VESK*Stat dictionaries from Rate and Frequency sessions or Parlex "
      "Disparity session are supported.\n";
  VSExportDict dict(DataPath("dictionaries/survival.dic").c_str());
  ASSERT_EQ(dict.GetSessionType(), kVSSurvivalLife);

  kmSession session;
  EXPECT_FALSE(session.ReadIniDictionary(dict, false));
  EXPECT_TRUE(session.GetDictionaryError());
  EXPECT_STREQ(session.GetDictionaryMessages().GetCString(), kProblem);
}

TEST(kmSessionFromDictionary, ConstructorRaisesTheRecordedProblems) {
  // A dictionary whose problems were only recorded still gave a session,
  // and the run went on with it as if it had been converted. The
  // constructor now raises the problems as an error in the user's input.
  VSExportDict dict(DataPath("dictionaries/survival.dic").c_str());
  KmException e = CatchKmException([&] { kmSession bad(dict, false); });
  EXPECT_STREQ(e.GetMessage(),
               "Only VESK*Stat dictionaries from Rate and Frequency sessions "
               "or Parlex Disparity session are supported.\n");
  EXPECT_EQ(e.GetKind(), 3);
  EXPECT_NE(std::string(e.GetCallPath()).find("survival.dic"),
            std::string::npos);

  // An error raised by the conversion itself is an input error too.
  km_test::ScratchDir dir;
  const std::string path = dir.File("dict.dic");
  km_test::WriteAll(path,
                    "[System]\n[Session Options]\nType=Rate\n"
                    "[Export Options]\nVariable format=numeric\n"
                    "Field delimiter=tab\n[Variables]\n"
                    "Var1Name=Year\nVar2Name=Population\n");
  VSExportDict noStatistic(path.c_str());
  e = CatchKmException([&] { kmSession bad(noStatistic, false); });
  EXPECT_STREQ(e.GetMessage(),
               "Error in dictionary.  Rate, count, or disparity required.");
  EXPECT_EQ(e.GetKind(), 3);
}

// Problems of the data file's settings, each ending the conversion with its
// own text. The dictionaries are variants of a small rate dictionary.
TEST(kmSessionFromDictionary, DataFileSettingsTheReaderCannotHandle) {
  struct Case {
    const char* sName;
    const char* sExportLines;
    const char* sProblemStart;
    const char* sThen = "";  // after the dictionary's name
  };
  const Case kCases[] = {
      {"comma thousands", "Field delimiter=comma\n",
       "The input data file can not include commas as thousands separators "
       "if commas are used as the field delimiter.  \nPlease use the export "
       "feature of VESK*Stat to create a new data file.  Check 'Remove All "
       "Thousands Separators' or use a field delimiter other than the "
       "comma.\n"},
      {"flags",
       "Field delimiter=tab\nRemove thousands separators=true\n"
       "Flags included=true\n",
       "The input data file can not include flag characters.  \nPlease use "
       "the export feature of VESK*Stat to create a new data file. Be sure to "
       "check 'Remove Flags' on the VESK*Stat export dialog.\n"},
      {"quoted labels", "Field delimiter=tab\nVariable format=quotedlabels\n",
       "The input file data file can not contain quotes around any "
       "variables.  \nPlease use the export feature of VESK*Stat to create a "
       "new data file.  Chose 'Output variables as - Numeric "
       "Representation'.\n"},
      {"quoted header names",
       "Field delimiter=tab\nFields with delimiter in quotes=true\n"
       "Variable names included=true\n",
       "The input file data file can not contain quotes around the header "
       "row variable names.  \nThis is likely caused from field delimiter "
       "appearing in the hearder row.Please use the export feature of "
       "VESK*Stat to create a new data file and chose a different field "
       "delimiter.\nSession file \"",
       // Fault: this refusal named no file.
       "\" sets both \"Fields with delimiter in quotes\" and \"Variable "
       "names included\" in [Export Options].\n"},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    const std::string path = dir.File("dict.dic");
    std::string sExport = c.sExportLines;
    if (sExport.find("Variable format") == std::string::npos) {
      sExport += "Variable format=numeric\n";
    }
    km_test::WriteAll(path,
                      "[System]\n[Session Options]\nType=Rate\n"
                      "[Export Options]\n" +
                          sExport +
                          "[Variables]\nVar1Name=Year\nVar2Name=Count\n");
    VSExportDict dict(path.c_str());
    kmSession session;
    EXPECT_FALSE(session.ReadIniDictionary(dict, false));
    EXPECT_EQ(std::string(session.GetDictionaryMessages().GetCString()),
              c.sProblemStart + (*c.sThen ? path + c.sThen : ""));
  }
}

TEST(kmSessionFromDictionary, IndependentVariableProblems) {
  struct Case {
    const char* sName;
    const char* sVariables;
    const char* sProblem;
    const char* sLabelAt;  // the refused label and its line (nullptr: none)
  };
  const Case kCases[] = {
      {"labels are no years",
       "Var1Name=Year\nVar2Name=Crude Rate\n[Format=Year]\n0=Early\n1=Late\n",
       "The independent variable (e.g. year) must be a numeric value.\n\n "
       "Please use the export feature of VESK*Stat to create a new data file. "
       "On the VESK*Stat Table tab put all table variables in the row "
       "dimension. List the Independent variable (year) last and export as "
       "a numeric value",
       "line 11: the label \"Early\" of the independent value 0"},
      {"populations without adjustment variable",
       // Year, the last table variable, is taken for the age groups, and
       // Sex for the independent variable.
       "Var1Name=Sex\nVar2Name=Year\nVar3Name=Count\nVar4Name=Population\n"
       "Var5Name=Std Pop\n[Format=Year]\n0=2000\n1=2001\n"
       "[Format=Sex]\n0=Male\n1=Female\n",
       "Kinkmark detected Count, Population and Standard Population variables "
       "but no Adjustment Variable.\nPlease double check your VESK*Stat "
       "session and add an Adjustment Variable.  If you are not trying to "
       "calculate Age-Adjusted Rates, please remove your Standard Population "
       "variable from your VESK*Stat session and re-export your results.",
       "line 17: the label \"Male\" of the independent value 0"},
      // Fault: taken for the independent variable, the year a by-variable.
      {"a delay statistic's name the reader does not know",
       "Var1Name=Year\nVar2Name=Delay Standard Error\nVar3Name=Crude Rate\n",
       "The variable \"Delay Standard Error\" (Var2Name) is named as a "
       "delay-adjusted statistic, but it is none that Kinkmark knows, so it "
       "would be taken for the independent variable.  Give it the name of the "
       "statistic it holds (the README's \"A data dictionary\" lists them, "
       "the delay-adjusted ones as \"Delay Rate\", \"Delay SE\" and the "
       "like) or remove it.\n",
       nullptr},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    const std::string path = dir.File("dict.dic");
    km_test::WriteAll(path, std::string("[System]\n[Session Options]\n"
                                        "Type=Rate\n[Export Options]\n"
                                        "Variable format=numeric\n"
                                        "Field delimiter=tab\n[Variables]\n") +
                                c.sVariables);
    VSExportDict dict(path.c_str());
    kmSession session;
    EXPECT_FALSE(session.ReadIniDictionary(dict, false));
    // Only the first problem is recorded, naming its label where it has one.
    const std::string sMessages = session.GetDictionaryMessages().GetCString();
    if (c.sLabelAt == nullptr) {
      EXPECT_EQ(sMessages, c.sProblem);
      continue;
    }
    EXPECT_EQ(sMessages.rfind(std::string(c.sProblem) + "\nSession file \"", 0),
              0u)
        << sMessages;
    EXPECT_NE(sMessages.find(c.sLabelAt), std::string::npos) << sMessages;
  }
}

TEST(kmSessionFromDictionary, NoTableVariableRemovesNoByVariable) {
  // The last by-variable was removed even when no table variable had made
  // one, popping an empty list. Now the missing independent variable is
  // reported instead.
  km_test::ScratchDir dir;
  const std::string path = dir.File("dict.dic");
  km_test::WriteAll(path,
                    "[System]\n[Session Options]\nType=Rate\n"
                    "[Export Options]\nVariable format=numeric\n"
                    "Field delimiter=tab\n[Variables]\n"
                    "Var1Name=Crude Rate\nVar2Name=Standard Error\n");
  VSExportDict dict(path.c_str());
  kmSession session;
  EXPECT_FALSE(session.ReadIniDictionary(dict, false));
  EXPECT_EQ(session.GetNumByVars(), 0);
  EXPECT_STREQ(
      session.GetDictionaryMessages().GetCString(),
      "The independent variable (e.g. year) is required and must be the data "
      "column just before the VESK*Stat statistics (rate, se, or "
      "count).\n\nPlease use the export feature of VESK*Stat to create a new "
      "data file.  On the VESK*Stat Table tab put all table variables in the "
      "row dimension. List the Independent variable (year) last.\n");
}

TEST(kmSessionFromDictionary, StoredPositionsGiveOnlyTheIndependentRole) {
  // A dictionary stores no positions, so building from them finds no
  // independent variable.
  VSExportDict dict = ReadDictionary("rate_crude");
  kmSession session;
  EXPECT_FALSE(session.ReadIniDictionary(dict, true));
  EXPECT_EQ(session.GetNumByVars(), 0);
  EXPECT_EQ(session.GetKMVarPosition(kmVarDependent), 0);
}

TEST(kmSessionFromDictionary, SetHeterFromDictModels) {
  struct Case {
    const char* sName;
    int16_t aArgs[9];  // rate, count, se, pop, stdPop, delayRate,
                       // delayCount, delaySE, disparity
    int iModel;
    int iDependent;
  };
  const Case kCases[] = {
      {"rate without se", {3, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 3},
      {"rate with se", {3, 0, 4, 0, 0, 0, 0, 0, 0}, 2, 3},
      {"delay rate with delay se", {0, 0, 0, 0, 0, 5, 0, 6, 0}, 2, 0},
      {"count with both populations", {0, 2, 0, 3, 4, 0, 0, 0, 0}, 2, 2},
      {"count with population", {0, 2, 0, 3, 0, 0, 0, 0, 0}, 4, 2},
      {"count alone", {0, 2, 0, 0, 0, 0, 0, 0, 0}, 1, 2},
      {"delay count alone", {0, 0, 0, 0, 0, 0, 5, 0, 0}, 1, 5},
      {"disparity with se", {0, 0, 4, 0, 0, 0, 0, 0, 6}, 2, 6},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    kmSession session;
    for (int i = 1; i <= 6; ++i) {
      session.AddVariable(kmVariable("v", static_cast<uint16_t>(i), nullptr));
    }
    const int16_t* a = c.aArgs;
    session.SetHeterFromDict(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7],
                             a[8]);
    EXPECT_EQ(session.GetInt(kmOptHetErrorModel), c.iModel);
    EXPECT_EQ(session.GetKMVarPosition(kmVarDependent), c.iDependent);
  }

  kmSession session;
  KmException e = CatchKmException(
      [&] { session.SetHeterFromDict(0, 0, 0, 3, 0, 0, 0, 0, 0); });
  EXPECT_STREQ(e.GetMessage(),
               "Error in dictionary.  Rate, count, or disparity required.");
  e = CatchKmException(
      [&] { session.SetHeterFromDict(0, -1, 0, 0, 0, 0, 0, 0, 0); });
  EXPECT_STREQ(e.GetMessage(),
               "Error setting positions from VESK*Stat dictionary.");
}

}  // namespace
