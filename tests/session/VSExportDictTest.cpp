// Tests of VSExportDict and VSVariable, the reader of VESK*Stat data
// dictionaries.
#include <gtest/gtest.h>

#include <string>

#include "foundation/KmFormat.h"
#include "session/VSExportDict.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::CatchKmException;
using km_test::DataPath;

// Sections of a small valid rate dictionary, to be combined by the tests.
const char kSystem[] = "[System]\nOutput filename=data.txt\nDatabase name=DB\n";
const char kRateOptions[] = "[Session Options]\nType=Rate\n";
const char kExportOptions[] =
    "[Export Options]\nVariable format=numeric\nField delimiter=tab\n";
const char kVariables[] = "[Variables]\nVar1Name=Year\nVar2Name=Count\n";

// Writes sText as dict.dic in dir and returns its path.
std::string WriteDictionary(const km_test::ScratchDir& dir,
                            const std::string& sText) {
  return dir.Write("dict.dic", sText);
}

TEST(VSExportDict, ReadsEveryFieldOfARateDictionary) {
  VSExportDict dict(DataPath("dictionaries/rate_crude.dic").c_str());
  EXPECT_EQ(dict.GetSessionType(), kVSRate);
  EXPECT_EQ(dict.GetFieldDelimiter(), '\t');
  EXPECT_EQ(dict.GetMissingCharacter(), ".");
  EXPECT_EQ(dict.GetVariableFormat(), 0);
  EXPECT_TRUE(dict.GetUnixFileFormat());
  EXPECT_TRUE(dict.GetRemoveThousandsSeparators());
  EXPECT_FALSE(dict.GetFlagsIncluded());
  EXPECT_FALSE(dict.GetQuotes());
  EXPECT_FALSE(dict.GetGZipped());
  EXPECT_FALSE(dict.GetVariableNamesIncluded());
  EXPECT_EQ(dict.GetDatabaseName(), "Test Incidence Database");
  ASSERT_EQ(dict.GetTitles().size(), 2u);
  EXPECT_EQ(dict.GetTitles()[1], "Years 2000-2011");
  EXPECT_TRUE(dict.GetOutputFile().GetName() == "rate_crude");
  EXPECT_TRUE(dict.GetMatrixFile().GetExtension() == ".mat");
  EXPECT_EQ(dict.GetSessionOptionsSection().GetName(), "[Session Options]");
  EXPECT_TRUE(dict.GetByVarLocations().empty());
  EXPECT_EQ(dict.GetIndependentVariableLocation(), -1);

  ASSERT_EQ(dict.GetNumVariables(), 6);
  EXPECT_EQ(dict.GetVariable(1).GetName(), "Sex");
  EXPECT_EQ(dict.GetVariable(6).GetName(), "Population");
  ASSERT_TRUE(dict.GetVariable(2).HasFormat());
  const KmFormat& years = dict.GetVariable(2).GetFormat();
  EXPECT_EQ(years.GetNumLines(), 12);
  EXPECT_EQ(years.GetLabel(11), "2011");
  EXPECT_EQ(years.GetDataType(), 'I');
  EXPECT_FALSE(dict.GetVariable(3).HasFormat());
}

TEST(VSExportDict, SessionTypeFromTypeOrFromThePagesPresent) {
  struct Case {
    const char* sName;
    std::string sOptionsAndPages;
    int32_t iType;
  };
  const Case kCases[] = {
      {"frequency", "[Session Options]\nType=Frequency\n[Variables]\n", 4},
      {"disparity", "[Session Options]\nType=Disparity\n[Variables]\n", 11},
      {"case listing", "[Session Options]\nType=Case Listing\n[Variables]\n",
       3},
      {"survival life page",
       "[Session Options]\nType=Survival\n[Variables]\n"
       "[Life Page Variables]\n",
       1},
      {"survival variables", "[Session Options]\nType=Survival\n[Variables]\n",
       2},
      {"survival summary",
       "[Session Options]\nType=Survival\n[Summary Page Variables]\n", 8},
      {"survival z statistics",
       "[Session Options]\nType=Survival\n[Z-Statistics Page Variables]\n", 9},
      {"mp-sir", "[Session Options]\nType=MP-SIR\n[Life Page Variables]\n", 1},
      {"prevalence",
       "[Session Options]\nType=Limited-Duration Prevalence\n"
       "[Prevalence Page Variables]\n",
       7},
      // A detected type 1 reads the life page, whichever page told it.
      {"detected summary page",
       "[Summary Page Variables]\n[Life Page Variables]\n", 1},
      {"detected prevalence", "[Prevalence Page Variables]\n", 7},
      {"detected mpsir", "[MPSir O/E Page Variables]\n[Life Page Variables]\n",
       1},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    // The variables section is the last one of each case, so the name key
    // lands in it.
    const std::string path =
        WriteDictionary(dir, std::string(kSystem) + kExportOptions +
                                 c.sOptionsAndPages + "Var1Name=Year\n");
    VSExportDict dict(path.c_str());
    EXPECT_EQ(dict.GetSessionType(), c.iType);
    EXPECT_EQ(dict.GetNumVariables(), 1);
  }
}

TEST(VSExportDict, DetectedTypeKeepsAnEmptySessionOptionsSection) {
  VSExportDict dict(DataPath("dictionaries/prevalence_detected.dic").c_str());
  EXPECT_EQ(dict.GetSessionType(), kVSPrevalence);
  EXPECT_EQ(dict.GetSessionOptionsSection().GetName(), "[Session Options]");
  EXPECT_EQ(dict.GetSessionOptionsSection().GetNumKeys(), 0);
  EXPECT_EQ(dict.GetVariable(3).GetName(), "Prevalence");
}

TEST(VSExportDict, MissingSectionsNameTheSectionAndTheFile) {
  const std::string path = DataPath("dictionaries/no_system.dic");
  KmException e = CatchKmException([&] { VSExportDict dict(path.c_str()); });
  EXPECT_EQ(std::string(e.GetMessage()),
            "Section \"[System]\" not found in " + path);
  EXPECT_EQ(e.GetKind(), 3);

  km_test::ScratchDir dir;
  const std::string sNoExport =
      WriteDictionary(dir, std::string(kSystem) + kRateOptions + kVariables);
  e = CatchKmException([&] { VSExportDict dict(sNoExport.c_str()); });
  EXPECT_EQ(std::string(e.GetMessage()),
            "\"Export Options\" section could not be found in " + sNoExport);
  EXPECT_EQ(e.GetKind(), 3);

  const std::string sNoType =
      WriteDictionary(dir, std::string(kSystem) + kExportOptions + kVariables);
  e = CatchKmException([&] { VSExportDict dict(sNoType.c_str()); });
  EXPECT_EQ(std::string(e.GetMessage()),
            "\"" + sNoType +
                "\" is out of date. \n\"Session Options\" section could not "
                "be found, and session type could not be auto-detected.");
  EXPECT_EQ(e.GetKind(), 3);
}

TEST(VSExportDict, BadDictionariesRaiseTheirKindNamingTheFile) {
  // Kind 3 for a missing section, kind 0 for a value the reader cannot use.
  struct Case {
    const char* sName;
    std::string sText;
    std::string sMessage;
    int32_t iKind;
  };
  const std::string sBase = std::string(kSystem) + kExportOptions;
  km_test::ScratchDir dir;
  const Case kCases[] = {
      {"empty type", sBase + "[Session Options]\nType=\n" + kVariables,
       "No session type specified in dictionary file.", 0},
      // Fault: the refusal of a type named no file, line or type taken.
      {"type in lower case",
       sBase + "[Session Options]\nType=disparity\n" + kVariables,
       "This type of Dictionary is not supported at this time.  Session file "
       "\"" +
           dir.File("dict.dic") +
           "\", line 8 of [Session Options]: "
           "\"disparity\" is not a supported Type; use \"Rate\", \"Frequency\" "
           "or \"Disparity\".",
       0},
      // Fault: a switch neither yes nor no read as no without a word.
      {"switch neither yes nor no",
       std::string(kSystem) + kRateOptions + kExportOptions +
           "Flags included = Y\n" + kVariables,
       "dict.dic\", line 9: \"Y\" is not a yes or no for \"Flags "
       "included\"; write yes (",
       3},
      {"survival without pages", sBase + "[Session Options]\nType=Survival\n",
       "The Variable Section could not be found.", 0},
      {"rate without variables", sBase + kRateOptions,
       "The Variable Section could not be found.", 0},
      {"format type",
       std::string(kSystem) + kRateOptions +
           "[Export Options]\nVariable format=text\nField delimiter=tab\n" +
           kVariables,
       "dict.dic\", line 7 of [Export Options]: \"text\" is not a supported "
       "Variable format; use \"numeric\", ",
       0},
      {"absent format type",
       std::string(kSystem) + kRateOptions +
           "[Export Options]\nField delimiter=tab\n" + kVariables,
       "dict.dic\" gives no Variable format in [Export Options]; use ", 0},
      {"delimiter",
       std::string(kSystem) + kRateOptions +
           "[Export Options]\nVariable format=labels\nField delimiter=pipe\n" +
           kVariables,
       "dict.dic\", line 8 of [Export Options]: \"pipe\" is not a supported "
       "Field delimiter; use \"tab\", ",
       0},
      {"unparsable format",
       sBase + kRateOptions + kVariables + "[Format=Year]\n-5=Minus five\n",
       "Session file \"", 0},
      {"no system section",
       std::string(kRateOptions) + kExportOptions + kVariables,
       "Section \"[System]\" not found in ", 3},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    const std::string path = WriteDictionary(dir, c.sText);
    KmException e = CatchKmException([&] { VSExportDict dict(path.c_str()); });
    EXPECT_NE(std::string(e.GetMessage()).find(c.sMessage), std::string::npos)
        << e.GetMessage();
    EXPECT_EQ(e.GetKind(), c.iKind);
    EXPECT_NE(std::string(e.GetCallPath()).find(path), std::string::npos)
        << e.GetCallPath();
  }
}

TEST(VSExportDict, ExportOptionWords) {
  struct Case {
    const char* sLines;
    char cDelimiter;
    const char* sMissing;
    int32_t iFormat;
  };
  const Case kCases[] = {
      {"Field delimiter=space\nMissing character=NA\nVariable format=labels\n",
       ' ', "NA", 2},
      {"Field delimiter=comma\nVariable format=quotedlabels\n", ',', " ", 1},
      {"Field delimiter=semi-colon\nMissing character=period\n"
       "Variable format=numeric\n",
       ';', ".", 0},
      {"Field delimiter=tab\nMissing character=dot\nVariable format=numeric\n",
       '\t', " ", 0},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sLines);
    const std::string path = WriteDictionary(
        dir, std::string(kSystem) + kRateOptions + "[Export Options]\n" +
                 c.sLines + "GZipped=yes\nFile format=DOS\n" + kVariables);
    VSExportDict dict(path.c_str());
    EXPECT_EQ(dict.GetFieldDelimiter(), c.cDelimiter);
    EXPECT_EQ(dict.GetMissingCharacter(), c.sMissing);
    EXPECT_EQ(dict.GetVariableFormat(), c.iFormat);
    EXPECT_TRUE(dict.GetGZipped());
    EXPECT_FALSE(dict.GetUnixFileFormat());
  }
}

TEST(VSExportDict, VariablesStopAtTheFirstMissingNameKey) {
  km_test::ScratchDir dir;
  const std::string path = WriteDictionary(
      dir, std::string(kSystem) + kRateOptions + kExportOptions +
               "[Variables]\nVar1Name=Sex\nVar2Name=Year\nVar3Name=Count\n"
               "Var5Name=Population\n"
               "[Format=\"Sex\"]\n1=Male\n2=Female\n");
  VSExportDict dict(path.c_str());
  ASSERT_EQ(dict.GetNumVariables(), 3);
  // A format section whose name is quoted still belongs to the variable.
  ASSERT_TRUE(dict.GetVariable(1).HasFormat());
  EXPECT_EQ(dict.GetVariable(1).GetFormat().GetLabel(1), "Female");

  KmException e = CatchKmException([&] { dict.GetVariable(2).GetFormat(); });
  EXPECT_STREQ(e.GetMessage(), "Variable \"Year\" does not have a format.");
  e = CatchKmException([&] { dict.GetVariable(0); });
  EXPECT_STREQ(e.GetMessage(), "Index -1 out of range; vector is from 0 to 2");
  e = CatchKmException([&] { dict.GetVariable(4); });
  EXPECT_STREQ(e.GetMessage(), "Index 3 out of range; vector is from 0 to 2");
}

// Fault: a value its format cannot read was refused naming neither the
// file nor the line.
TEST(VSExportDict, UnparsableFormatSectionNamesTheSection) {
  km_test::ScratchDir dir;
  const std::string path = WriteDictionary(
      dir, std::string(kSystem) + kRateOptions + kExportOptions + kVariables +
               "[Format=Year]\n-5=Minus five\n");
  KmException e = CatchKmException([&] { VSExportDict dict(path.c_str()); });
  EXPECT_EQ(std::string(e.GetMessage()),
            "Session file \"" + path + "\", line " +
                std::to_string(km_test::Lines(km_test::ReadAll(path)).size()) +
                " of [Format=Year]: Invalid range.  A line of a format "
                "section is a code, a list of codes or a range of them, then "
                "\"=\" and the label (\"1=Female\", \"1,3,5=Odd\", "
                "\"1-4=Low\"); a code is a whole number of 0 or more (01, "
                "+1, 1.0 and 1e0 are all the code 1).");
  const std::string sCallPath = e.GetCallPath();
  EXPECT_NE(sCallPath.find("Format=Year"), std::string::npos) << sCallPath;
  EXPECT_NE(sCallPath.find(path), std::string::npos) << sCallPath;
}

TEST(VSExportDict, EmptyFileNameIsRefused) {
  for (const char* sName : {static_cast<const char*>(nullptr), ""}) {
    KmException e = CatchKmException([&] { VSExportDict dict(sName); });
    EXPECT_STREQ(e.GetMessage(), "Empty string pointer passed to constructor.");
  }
}

TEST(VSExportDict, SetDataFileReplacesTheOutputFile) {
  VSExportDict dict(DataPath("dictionaries/rate_crude.dic").c_str());
  const std::string sData = DataPath("scans/cohorts_10_12.txt");
  dict.SetDataFile(sData.c_str());
  EXPECT_EQ(std::string(KmFileName(dict.GetOutputFile()).GetFullName()), sData);
}

TEST(VSVariable, OwnsItsFormatAcrossCopies) {
  KmFormat format;
  format.AddLine("1", "Male", -1);
  VSVariable* pFirst = new VSVariable("Sex");
  pFirst->SetFormat(format);
  VSVariable copy(*pFirst);
  VSVariable assigned;
  assigned = *pFirst;
  const VSVariable& alias = assigned;
  assigned = alias;
  delete pFirst;
  EXPECT_EQ(copy.GetName(), "Sex");
  EXPECT_EQ(copy.GetFormat().GetLabel(0), "Male");
  EXPECT_EQ(assigned.GetFormat().GetLabel(0), "Male");
  assigned.Copy(assigned);
  EXPECT_EQ(assigned.GetName(), "Sex");
  EXPECT_TRUE(assigned.HasFormat());
  assigned.Clear();
  EXPECT_TRUE(assigned.GetName().IsEmpty());
  EXPECT_FALSE(assigned.HasFormat());
}

}  // namespace
