// The checks of a session-parameter file's keys and words and of the run
// file's keys: what the readers take passes, in the case they take it.
#include <gtest/gtest.h>

#include <string>

#include "driver/InputFileValidation.h"
#include "tests/test_util/TestUtil.h"

namespace {

struct ParameterCase {
  const char* sLine;     // one line of the section
  const char* sSection;  // "Datafile Options" or "Kinkmark Session Parameters"
  const char* sMessage;  // "" when the line passes
};

const char kData[] = "Datafile Options";
const char kParams[] = "Kinkmark Session Parameters";

const ParameterCase kParameterCases[] = {
    {"Field delimiter = semi-colon", kData, ""},
    {"field delimiter = tab", kData, ""},
    {"Variable names included = YES", kData, ""},
    {"Fields with delimiter in quotes = 0", kData, ""},
    // Fault: 1.0, 1e0 and 10e-1, yes in a dictionary, were refused here.
    {"Variable names included = 1.0", kData, ""},
    {"Variable names included = 1x", kData,
     "\"1x\" is not a yes or no for \"Variable names included\"; write yes "
     "(\"yes\", \"true\" or the number 1) or no (\"no\", \"false\" or the "
     "number 0), in any case.\n"},
    {"File format = DOS", kData, ""},
    {"Datafile name = any name.csv", kData, ""},
    // The reader compares these words with their case.
    {"Field delimiter = Comma", kData,
     "\"Comma\" is not a valid value for the \"Field delimiter\" Session "
     "Parameter; use \"tab\", \"space\", \"comma\" or \"semi-colon\".\n"},
    {"Field delimiter = semicolon", kData,
     "\"semicolon\" is not a valid value for the \"Field delimiter\" Session "
     "Parameter; use \"tab\", \"space\", \"comma\" or \"semi-colon\".\n"},
    {"Missing character = NA", kData,
     "\"NA\" is not a valid value for the \"Missing character\" Session "
     "Parameter; use \"period\" or \"space\".\n"},
    {"Delimiter = tab", kData,
     "\"Delimiter\" is not a valid Session Parameter; use \"datafile name\", "
     "\"file format\", \"field delimiter\", \"missing character\", \"fields "
     "with delimiter in quotes\" or \"variable names included\".\n"},
    // Fault: a no-break space beside a key was shown as a plain blank.
    {"Field delimiter\xC2\xA0= comma", kData,
     "\"Field delimiter\\xC2\\xA0\" is not a valid Session Parameter; use "
     "...\n"},
    {"By-Var2 Location = 3", kParams, ""},
    {"by-var12 = Region", kParams, ""},
    {"het error variable location = standard error", kParams, ""},
    {"standard population = Std", kParams, ""},
    {"by-var location = 3", kParams,
     "\"by-var location\" is not a valid Session Parameter; use ...\n"},
    {"by-var1 locaton = 3", kParams,
     "\"by-var1 locaton\" is not a valid Session Parameter; use ...\n"},
};

TEST(ValidateSessionParameters, KeysAndWordsAsTheReaderTakesThem) {
  km_test::ScratchDir dir;
  const std::string path = dir.File("session.ini");
  for (const ParameterCase& c : kParameterCases) {
    SCOPED_TRACE(c.sLine);
    km_test::WriteAll(path,
                      std::string("[") + c.sSection + "]\n" + c.sLine + "\n");
    KmString sMessages;
    EXPECT_EQ(ValidateSessionParameters(path.c_str(), sMessages),
              *c.sMessage == '\0');
    // Each message follows the place of its line; "use ..." stands for a
    // long list of keys.
    const std::string sExpected =
        *c.sMessage == '\0'
            ? ""
            : "The file \"" + path + "\", line 2: " + c.sMessage;
    const std::string sActual = sMessages.GetCString();
    EXPECT_EQ(sExpected.find("; use ...") == std::string::npos
                  ? sActual
                  : km_test::ElidedKeyLists(sActual),
              sExpected);
  }
}

TEST(ValidateRunFileKeys, TheFiveKeysInAnyCase) {
  km_test::ScratchDir dir;
  const std::string path = dir.File("run.ini");
  km_test::WriteAll(path,
                    "[Kinkmark Input Files]\nsession file = a.ini\n"
                    "DATA FILE = a.csv\nRun Options File = r.ini\n"
                    "Export Options File = e.ini\nOutput File = o.kmo\n");
  KmString sMessages;
  EXPECT_TRUE(ValidateRunFileKeys(path.c_str(), sMessages));
  EXPECT_EQ(std::string(sMessages.GetCString()), "");
}

// Every section a dictionary's reader reads, and every format, is refused
// when given twice, naming it; a section no reader reads may be.
TEST(ValidateDictionarySections, EverySectionTheReaderReadsGivenOnce) {
  km_test::ScratchDir dir;
  const std::string path = dir.File("session.dic");
  for (const char* sSection :
       {"System", "Session Options", "Export Options", "Variables",
        "Life Page Variables", "Summary Page Variables",
        "Z-Statistics Page Variables", "Prevalence Page Variables",
        "MPSir O/E Page Variables", "Format=Site", "Notes"}) {
    SCOPED_TRACE(sSection);
    const std::string sHeader = std::string("[") + sSection + "]";
    const bool bRead = sHeader != "[Notes]";
    km_test::WriteAll(path,
                      sHeader + "\na = 1\n[Other]\n" + sHeader + "\nb = 2\n");
    KmString sMessages;
    EXPECT_EQ(ValidateDictionarySections(path.c_str(), sMessages), !bRead);
    EXPECT_EQ(
        std::string(sMessages.GetCString())
                .find("gives the section \"" + sHeader + "\" twice: line 1 \"" +
                      sHeader + "\" and line 4") != std::string::npos,
        bRead);
  }
}

// Faults: a key with an ideographic space beside it was passed over (a
// variable list cut short, refused naming no file); a switch neither yes
// nor no was read as no.
TEST(ValidateDictionarySections, KeysAndSwitchesAsTheReaderTakesThem) {
  const char* const kCases[][2] = {
      {"Flags included = 1.0", ""},
      // Fault: an empty switch was refused here and the default elsewhere.
      {"Flags included = ", ""},
      {"Flags included = Y",
       "\"Y\" is not a yes or no for \"Flags included\"; write yes"},
      {"[Variables]\nVar1Name\xE3\x80\x80=Year",
       "the key \"Var1Name\\xE3\\x80\\x80\" has a character beside it"},
  };
  km_test::ScratchDir dir;
  const std::string path = dir.File("session.dic");
  for (const auto& c : kCases) {
    SCOPED_TRACE(c[0]);
    km_test::WriteAll(path, std::string("[Export Options]\n") + c[0] + "\n");
    KmString sMessages;
    EXPECT_EQ(ValidateDictionarySections(path.c_str(), sMessages), !*c[1]);
    const std::string sShown = sMessages.GetCString();
    if (!*c[1]) {
      EXPECT_EQ(sShown, "");
      continue;
    }
    EXPECT_EQ(sShown.rfind("The file \"" + path + "\", line ", 0), 0u);
    EXPECT_NE(sShown.find(c[1]), std::string::npos) << sShown;
  }
}

}  // namespace
