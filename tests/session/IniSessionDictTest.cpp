// Tests of IniSessionDict, the reader of the run-options file.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "session/IniSessionDict.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::CatchKmException;

// Writes a run-options file whose section "Session Options" holds sKeys
// (lines "key=value", each ended by "\n") and returns its path.
std::string OptionsFile(const km_test::ScratchDir& dir,
                        const std::string& sKeys) {
  return dir.Write("options.ini", "[Session Options]\n" + sKeys);
}

void ExpectDefaults(const IniSessionDict& d) {
  EXPECT_EQ(d.GetDataFileName(), "EMPTY");
  EXPECT_EQ(d.GetModel(), "ln");
  EXPECT_EQ(d.dDataShift, 0.0);
  EXPECT_EQ(d.iMinKinkmarks, 0);
  EXPECT_EQ(d.iMaxKinkmarks, -1);
  EXPECT_EQ(d.iHetErrorModel, -1);
  EXPECT_FALSE(d.bPairwise);
  EXPECT_EQ(d.iPairwiseType, 0);
  EXPECT_EQ(d.iMethod, 0);
  EXPECT_EQ(d.dAutocorrelation, 0.0);
  EXPECT_EQ(d.iMinObsEnd, 2);
  EXPECT_EQ(d.iMinObsBetween, 2);
  EXPECT_EQ(d.iNumObsBetween, 0);
  EXPECT_EQ(d.iModelSelectionMethod, 0);
  EXPECT_EQ(d.dPermSignificanceLevel, 0.05);
  EXPECT_EQ(d.iNumPermutations, 4499);
  EXPECT_EQ(d.iEarlyStopping, 2);
  EXPECT_EQ(d.iCIMethod, 0);
  EXPECT_EQ(d.iEmpQuantileMethod, 2);
  EXPECT_EQ(d.iNumResamples, 1000);
  EXPECT_EQ(d.iNumCores, 9999);
  EXPECT_EQ(d.iRatesPerN, 100000);
  EXPECT_EQ(d.iRunType, 1);
  EXPECT_EQ(d.iDependentVarType, -1);
  EXPECT_EQ(d.iDelayType, -1);
  EXPECT_FALSE(d.bJumpModel);
  EXPECT_FALSE(d.bComparabilityRatio);
  EXPECT_FALSE(d.bStandardAnalysis);
  EXPECT_EQ(d.dJumpLocation, 9999.0);
  EXPECT_EQ(d.dCRValue, 0.0);
  EXPECT_EQ(d.dCRVariance, 0.0);
  EXPECT_EQ(d.dKinkmarkAlpha, 0.05);
  EXPECT_EQ(d.dAPCAlpha, 0.05);
  EXPECT_EQ(d.dAAPCAlpha, 0.05);
  EXPECT_EQ(d.dJumpCRAlpha, 0.05);
  EXPECT_EQ(d.dPairwiseSignificanceLevel, 0.05);
  EXPECT_EQ(d.iPairwisePermutations, 4499);
  EXPECT_EQ(d.iRandomSeed, 7160);
  EXPECT_EQ(d.iEmpQuantileSeed, 10000);
  EXPECT_EQ(d.iEmpQuantileSeedType, 0);
  EXPECT_FALSE(d.bMADWD);
  EXPECT_EQ(d.dMADWDPsi, 0.0);
  EXPECT_FALSE(d.bFSMOnly);
}

TEST(IniSessionDict, FileWithoutTheSectionGivesTheDefaults) {
  km_test::ScratchDir dir;
  const std::string path = dir.File("other.ini");
  km_test::WriteAll(path, "[Other]\nmethod=hudsons\nnum cores=4\n");
  {
    SCOPED_TRACE("other section only");
    ExpectDefaults(IniSessionDict(path.c_str()));
  }
  {
    SCOPED_TRACE("file does not exist");
    ExpectDefaults(IniSessionDict(dir.File("missing.ini").c_str()));
  }
  {
    SCOPED_TRACE("empty section");
    ExpectDefaults(IniSessionDict(OptionsFile(dir, "").c_str()));
  }
}

TEST(IniSessionDict, RefusesAnEmptyFileName) {
  for (const char* sName : {static_cast<const char*>(nullptr), ""}) {
    const KmException e = CatchKmException([&] { IniSessionDict d(sName); });
    EXPECT_STREQ(e.GetMessage(), "Empty string pointer passed to constructor.");
    EXPECT_STREQ(e.GetSource(), "IniSessionDict");
    EXPECT_EQ(e.GetKind(), 0);
  }
}

TEST(IniSessionDict, ReadsWordsWithoutRegardToCase) {
  km_test::ScratchDir dir;
  const IniSessionDict d(OptionsFile(dir,
                                     "Method=HUDSONS\n"
                                     "MODEL=LN\n"
                                     "datafile name=Data\\Cancer.TXT\n"
                                     "Early Stopping=Curtailed\n"
                                     "model selection method=WBIC-Alt\n")
                             .c_str());
  EXPECT_EQ(d.iMethod, 1);
  EXPECT_EQ(d.GetModel(), "ln");
  EXPECT_EQ(d.GetDataFileName(), "Data\\Cancer.TXT");  // not lower-cased
  EXPECT_EQ(d.iEarlyStopping, 1);
  EXPECT_EQ(d.iModelSelectionMethod, 5);
}

TEST(IniSessionDict, InvalidWordsRaiseKindThreeNamingTheFile) {
  km_test::ScratchDir dir;
  struct Case {
    const char* sKeys;
    const char* sTail;  // message after "Error in ini file: <file>.  "
  };
  const Case kCases[] = {
      {"method=Simplex\n",
       "simplex is not a valid value for variable 'Method'."},
      {"model selection method=AIC\n",
       "aic is not a valid value for variable 'Model selection method'."},
      {"method=hudsons\nearly stopping=never\n",
       "never is not a valid value for variable 'Early stopping'."},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sKeys);
    const std::string path = OptionsFile(dir, c.sKeys);
    const KmException e =
        CatchKmException([&] { IniSessionDict d(path.c_str()); });
    EXPECT_EQ(std::string(e.GetMessage()),
              "Error in ini file: " + path + ".  " + c.sTail);
    EXPECT_EQ(e.GetKind(), 3);
    EXPECT_EQ(std::string(e.GetSource()), path);
    EXPECT_NE(std::string(e.GetCallPath())
                  .find("IniSessionDict(const char*) "
                        "of IniSessionDict"),
              std::string::npos);
  }
}

TEST(IniSessionDict, CodedWordsMapToTheirCodes) {
  km_test::ScratchDir dir;
  struct Case {
    const char* sKeys;
    int32_t IniSessionDict::*pField;
    int32_t iExpected;
  };
  const Case kCases[] = {
      {"run type=Calculated\n", &IniSessionDict::iRunType, 0},
      {"run type=provided\n", &IniSessionDict::iRunType, 1},
      {"dependent variable type=Count\n", &IniSessionDict::iDependentVarType,
       0},
      {"dependent variable type=crude rate\n",
       &IniSessionDict::iDependentVarType, 1},
      {"dependent variable type=proportion\n",
       &IniSessionDict::iDependentVarType, 2},
      {"dependent variable type=percent\n", &IniSessionDict::iDependentVarType,
       3},
      {"dependent variable type=age-adjusted rate\n",
       &IniSessionDict::iDependentVarType, 4},
      {"het error=constant variance\n", &IniSessionDict::iHetErrorModel, 0},
      {"het error=Poisson Count\n", &IniSessionDict::iHetErrorModel, 1},
      {"het error=unknown\n", &IniSessionDict::iHetErrorModel, -1},
      {"run type=calculated\nhet error=poisson rate\n",
       &IniSessionDict::iHetErrorModel, 4},
      {"model selection method=permutation test\n",
       &IniSessionDict::iModelSelectionMethod, 0},
      {"model selection method=bic\n", &IniSessionDict::iModelSelectionMethod,
       1},
      {"model selection method=mbic\n", &IniSessionDict::iModelSelectionMethod,
       2},
      {"model selection method=bic3\n", &IniSessionDict::iModelSelectionMethod,
       3},
      {"model selection method=data dependent selection\n",
       &IniSessionDict::iModelSelectionMethod, 4},
      {"model selection method=wbic\n", &IniSessionDict::iModelSelectionMethod,
       6},
      {"method=grid\n", &IniSessionDict::iMethod, 0},
      {"method=hudsons\nearly stopping=b-value\n",
       &IniSessionDict::iEarlyStopping, 0},
      {"method=hudsons\nearly stopping=fixed\n",
       &IniSessionDict::iEarlyStopping, 2},
      // Without Hudson's method early stopping is not read at all.
      {"early stopping=curtailed\n", &IniSessionDict::iEarlyStopping, 2},
      {"early stopping=nonsense\n", &IniSessionDict::iEarlyStopping, 2},
      {"delay type=Delay\n", &IniSessionDict::iDelayType, 1},
      {"delay type=non-delay\n", &IniSessionDict::iDelayType, 0},
      {"delay type=both\n", &IniSessionDict::iDelayType, 2},
      {"delay type=other\n", &IniSessionDict::iDelayType, -1},
      {"empirical quantile seed type=Constant\n",
       &IniSessionDict::iEmpQuantileSeedType, 0},
      {"empirical quantile seed type=varying\n",
       &IniSessionDict::iEmpQuantileSeedType, 1},
      {"pairwise=parallel\n", &IniSessionDict::iPairwiseType, 0},
      {"pairwise=coincident\n", &IniSessionDict::iPairwiseType, 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sKeys);
    const IniSessionDict d(OptionsFile(dir, c.sKeys).c_str());
    EXPECT_EQ(d.*c.pField, c.iExpected);
  }
}

TEST(IniSessionDict, NumbersFollowTheirConditions) {
  km_test::ScratchDir dir;
  {
    SCOPED_TRACE("bic: the permutation keys are not read");
    const IniSessionDict d(OptionsFile(dir,
                                       "model selection method=bic\n"
                                       "num permutations=999\n"
                                       "permutations significance level=0.1\n")
                               .c_str());
    EXPECT_EQ(d.iNumPermutations, 4499);
    EXPECT_EQ(d.dPermSignificanceLevel, 0.05);
  }
  {
    SCOPED_TRACE("permutation test: they are");
    const IniSessionDict d(OptionsFile(dir,
                                       "num permutations=999\n"
                                       "permutations significance level=0.1\n")
                               .c_str());
    EXPECT_EQ(d.iNumPermutations, 999);
    EXPECT_EQ(d.dPermSignificanceLevel, 0.1);
  }
  {
    SCOPED_TRACE("pairwise keys only with pairwise");
    const IniSessionDict without(
        OptionsFile(dir,
                    "pairwise significance level=0.01\n"
                    "pairwise number of permutations=99\n")
            .c_str());
    EXPECT_FALSE(without.bPairwise);
    EXPECT_EQ(without.dPairwiseSignificanceLevel, 0.05);
    EXPECT_EQ(without.iPairwisePermutations, 4499);
    const IniSessionDict with(
        OptionsFile(dir,
                    "pairwise=coincident\n"
                    "pairwise significance level=0.01\n"
                    "pairwise number of permutations=99\n")
            .c_str());
    EXPECT_TRUE(with.bPairwise);
    EXPECT_EQ(with.dPairwiseSignificanceLevel, 0.01);
    EXPECT_EQ(with.iPairwisePermutations, 99);
  }
  {
    SCOPED_TRACE("rates per n");
    EXPECT_EQ(IniSessionDict(OptionsFile(dir, "rates per n=1000\n").c_str())
                  .iRatesPerN,
              1000);
    EXPECT_EQ(
        IniSessionDict(OptionsFile(dir, "rates per n=\n").c_str()).iRatesPerN,
        100000);
  }
  {
    SCOPED_TRACE("plain numbers");
    const IniSessionDict d(OptionsFile(dir,
                                       "minimum kinkmarks=1\n"
                                       "maximum kinkmarks=5e0\n"
                                       "num cores=0\n"
                                       "data shift=-0.5\n"
                                       "min obs end=3\n"
                                       "min obs between=4\n"
                                       "num obs between=7\n"
                                       "number of resamples=2000\n"
                                       "jump location=2001.5\n"
                                       "comparability ratio value=1.02\n"
                                       "cr variance=0.0004\n"
                                       "kinkmark alpha level=0.01\n"
                                       "apc alpha level=0.02\n"
                                       "aapc alpha level=0.03\n"
                                       "jump cr alpha level=0.04\n"
                                       "random number generator seed=-12\n"
                                       "empirical quantile seed=42\n"
                                       "madwd=TRUE\n"
                                       "madwd psi value=1.5\n")
                               .c_str());
    EXPECT_EQ(d.iMinKinkmarks, 1);
    EXPECT_EQ(d.iMaxKinkmarks, 5);
    EXPECT_EQ(d.iNumCores, 0);
    EXPECT_EQ(d.dDataShift, -0.5);
    EXPECT_EQ(d.iMinObsEnd, 3);
    EXPECT_EQ(d.iMinObsBetween, 4);
    EXPECT_EQ(d.iNumObsBetween, 7);
    EXPECT_EQ(d.iNumResamples, 2000);
    EXPECT_EQ(d.dJumpLocation, 2001.5);
    EXPECT_EQ(d.dCRValue, 1.02);
    EXPECT_EQ(d.dCRVariance, 0.0004);
    EXPECT_EQ(d.dKinkmarkAlpha, 0.01);
    EXPECT_EQ(d.dAPCAlpha, 0.02);
    EXPECT_EQ(d.dAAPCAlpha, 0.03);
    EXPECT_EQ(d.dJumpCRAlpha, 0.04);
    EXPECT_EQ(d.iRandomSeed, -12);
    EXPECT_EQ(d.iEmpQuantileSeed, 42);
    EXPECT_TRUE(d.bMADWD);
    EXPECT_EQ(d.dMADWDPsi, 1.5);
  }
  {
    SCOPED_TRACE("autocorrelation");
    EXPECT_EQ(
        IniSessionDict(OptionsFile(dir, "autocorr errors=Estimated\n").c_str())
            .dAutocorrelation,
        1.0);
    EXPECT_EQ(IniSessionDict(OptionsFile(dir, "autocorr errors=0.3\n").c_str())
                  .dAutocorrelation,
              0.3);
  }
}

TEST(IniSessionDict, CiMethodSetsIntervalAndQuantileMethod) {
  km_test::ScratchDir dir;
  struct Case {
    const char* sValue;
    int32_t iCIMethod;
    int32_t iEmpQuantileMethod;
    bool bFSMOnly;
  };
  const Case kCases[] = {
      {"parametric", 0, 2, false},
      {"empirical quantile method 1", 3, 0, false},
      {"Empirical Quantile Method 2", 3, 1, false},
      {"empirical quantile method 1 fsm only", 3, 0, true},
      {"empirical quantile method 2 fsm only", 3, 1, true},
      {"something else", 0, 2, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sValue);
    const IniSessionDict d(
        OptionsFile(dir, std::string("ci method=") + c.sValue + "\n").c_str());
    EXPECT_EQ(d.iCIMethod, c.iCIMethod);
    EXPECT_EQ(d.iEmpQuantileMethod, c.iEmpQuantileMethod);
    EXPECT_EQ(d.bFSMOnly, c.bFSMOnly);
  }
}

// Fault: "yes" and "1" cleared a switch that every other file reads as yes.
TEST(IniSessionDict, SwitchesAreReadAsEveryFileReadsThem) {
  km_test::ScratchDir dir;
  const IniSessionDict d(OptionsFile(dir,
                                     "jump model=true\n"
                                     "include standard analysis=Yes\n"
                                     "comparability ratio=1.0\n"
                                     "madwd=NO\n")
                             .c_str());
  EXPECT_TRUE(d.bJumpModel);
  EXPECT_TRUE(d.bStandardAnalysis);
  EXPECT_TRUE(d.bComparabilityRatio);
  EXPECT_FALSE(d.bMADWD);
}

TEST(IniSessionDict, ProvidedStandardErrorsNeedTheirLocation) {
  km_test::ScratchDir dir;
  {
    SCOPED_TRACE("location given");
    const IniSessionDict d(OptionsFile(dir,
                                       "het error=standard error\n"
                                       "het error variable location=6\n")
                               .c_str());
    EXPECT_EQ(d.iHetErrorModel, 2);
    EXPECT_EQ(d.iHetErrorVarLocation, 6);
  }
  // Fault: the message named no key to write, though a file that leaves
  // out "run type" (an age-adjusted run) needs "run type = calculated".
  for (const auto& [sKeys, sRunType] :
       {std::pair{"het error=standard error\n",
                  "standard error\" with the run type \"provided\" (its "
                  "default: the file gives no \"run type\")"},
        std::pair{"run type=provided\nhet error=poisson rate\n"
                  "het error variable location=\n",
                  "poisson rate\" with the run type \"provided\" (as \"run "
                  "type\" says)"}}) {
    SCOPED_TRACE(sKeys);
    const std::string path = OptionsFile(dir, sKeys);
    const KmException e =
        CatchKmException([&] { IniSessionDict d(path.c_str()); });
    EXPECT_EQ(std::string(e.GetMessage()),
              "The file \"" + path +
                  "\", [Session Options]: \"het error = " + sRunType +
                  " weights the rates the data file holds by their standard "
                  "errors, but no \"het error variable location\" names the "
                  "data file's column of them.  Write \"het error variable "
                  "location = <column>\", or \"run type = calculated\" to "
                  "have the run compute the rates from counts and populations "
                  "(\"dependent variable type = age-adjusted rate\" or \"crude "
                  "rate\").");
    EXPECT_EQ(e.GetKind(), 3);
    EXPECT_STREQ(e.GetSource(), "IniSessionDict");
  }
  {
    SCOPED_TRACE("calculated rates need no location");
    const IniSessionDict d(OptionsFile(dir,
                                       "run type=calculated\n"
                                       "het error=standard error\n")
                               .c_str());
    EXPECT_EQ(d.iHetErrorModel, 2);
    EXPECT_EQ(d.iHetErrorVarLocation, -1);
  }
}

TEST(IniSessionDict, LargeWholeNumbersAreKeptOrRefusedNeverCut) {
  // Fault: 16-bit fields kept the low 16 bits of the number read, so 40000
  // permutations became -25536. Counts are now held in 32 bits, and a number
  // that does not fit its field is refused with a kind-3 message.
  km_test::ScratchDir dir;
  {
    const IniSessionDict d(OptionsFile(dir,
                                       "num permutations=40000\n"
                                       "pairwise=parallel\n"
                                       "pairwise number of permutations=70000\n"
                                       "number of resamples=100000\n")
                               .c_str());
    EXPECT_EQ(d.iNumPermutations, 40000);
    EXPECT_EQ(d.iPairwisePermutations, 70000);
    EXPECT_EQ(d.iNumResamples, 100000);
  }
  struct Case {
    const char* sKey;
    const char* sValue;
    const char* sRefusal = nullptr;  // null: the out-of-range message
  };
  // Fault: a value was read by its leading digits, "3x" as 3 and "2.5" as 2.
  const Case kCases[] = {
      {"num permutations", "99999999999"},
      {"minimum kinkmarks", "-3000000000"},
      {"num cores", "40000"},  // the session holds the thread count in 16 bits
      {"num permutations", "3x", "a number; the key takes 1 to 100000"},
      {"min obs end", "2.5", "a whole number; the key takes 1 to 1000"},
      {"data shift", "1e999",
       "a number a double holds; the key takes a finite number"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sKey);
    const std::string path =
        OptionsFile(dir, std::string(c.sKey) + "=" + c.sValue + "\n");
    const KmException e =
        CatchKmException([&] { IniSessionDict d(path.c_str()); });
    EXPECT_EQ(std::string(e.GetMessage()),
              c.sRefusal == nullptr
                  ? "Error in ini file: " + path + ".  " + c.sValue +
                        " is out of range for variable '" + c.sKey + "'."
                  : "The file \"" + path + "\", line 2: \"" + c.sKey +
                        "\" = \"" + c.sValue + "\" is not " + c.sRefusal + ".");
    EXPECT_EQ(e.GetKind(), 3);
  }
  EXPECT_EQ(
      IniSessionDict(OptionsFile(dir, "num cores=32767\n").c_str()).iNumCores,
      32767);
}

}  // namespace
