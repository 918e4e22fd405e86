// Tests of the session built from a session-parameter file
// (kmSession(KmUserParamsDict), CreateSessionFromUserDict).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/KmFormat.h"
#include "session/KmUserParamsDict.h"
#include "session/kmSession.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::CatchKmException;
using km_test::DataPath;

KmUserParamsDict ReadParams(const std::string& sName) {
  return KmUserParamsDict(DataPath("params/" + sName + ".ini").c_str());
}

std::vector<int32_t> Roles(const kmSession& session) {
  std::vector<int32_t> roles;
  for (int iRole = 0; iRole < kmNumVarRoles; ++iRole) {
    roles.push_back(session.GetKMVarPosition(iRole));
  }
  return roles;
}

TEST(kmSessionFromParams, OnlyTheTwoVariablesGiveTheDefaults) {
  // The dependent variable's second assignment also takes roles 5 and 7.
  kmSession session(ReadParams("independent_dependent"));
  EXPECT_EQ(Roles(session),
            (std::vector<int32_t>{3, 1, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(session.GetNumVars(), 3);
  EXPECT_EQ(session.GetVar(2).GetName(), "Independent Variable");
  EXPECT_EQ(session.GetVar(2).GetPosition(), 3);
  EXPECT_EQ(session.GetNumByVars(), 0);
  KmString sText;
  EXPECT_STREQ(session.GetString(kmStrProgramVersion, sText), "V4.9.0.0");
  EXPECT_STREQ(session.GetString(kmStrFileVersion, sText), "4.900");
  EXPECT_STREQ(session.GetString(kmStrDataFile, sText), "");
  // Empirical quantile intervals, unlike the 0 of a new session.
  EXPECT_EQ(session.GetInt(kmOptAAPCCIMethod), 3);
  EXPECT_EQ(session.GetInt(kmOptFieldDelimiter), 0);
  EXPECT_EQ(session.GetInt(kmOptMissingCharacter), 0);
  EXPECT_FALSE(session.GetBool(kmOptVarNamesIncluded));
  EXPECT_EQ(session.GetInt(kmOptHetErrorModel), 0);
  EXPECT_DOUBLE_EQ(session.GetProgramVersAsDouble(), 4.9);
}

TEST(kmSessionFromParams, RolesFromTheLocationKeys) {
  struct Case {
    const char* sName;
    std::vector<int32_t> roles;
    int iModel;
    int iFieldDelimiter;
    int iMissing;
    std::vector<int32_t> byVars;
    int iDependentType;  // what the fitted column holds
  };
  const Case kCases[] = {
      // by-var Sex 1, Year 2, crude rate 3, standard error 4 (het error
      // variable location), count 5, population 6.
      {"rate_se", {2, 3, 4, 6, 0, 5, 0, 3, 0, 0, 0, 0}, 2, 2, 1, {1}, 1},
      // Year 1, count 2, population 3, dependent 4, Poisson rate: the
      // dependent variable's second assignment takes roles 7, 1 and 5, and
      // the Poisson rate then fits the count, whose type is a count as a
      // dictionary's Count beside a Population is. Fault: an age-adjusted
      // rate here, a count through a dictionary.
      {"poisson_rate", {1, 2, 0, 3, 0, 4, 0, 4, 0, 0, 0, 0}, 4, 3, 0, {}, 0},
      // Registry 1, year 2, age 3, numerator 4 (the count), denominator 5
      // (the population), standard population 6.
      {"age_adjusted", {2, 4, 0, 5, 6, 4, 3, 0, 0, 0, 0, 0}, 0, 0, 0, {1}, 4},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    kmSession session(ReadParams(c.sName));
    EXPECT_EQ(Roles(session), c.roles);
    EXPECT_EQ(session.GetInt(kmOptHetErrorModel), c.iModel);
    EXPECT_EQ(session.GetInt(kmOptFieldDelimiter), c.iFieldDelimiter);
    EXPECT_EQ(session.GetInt(kmOptMissingCharacter), c.iMissing);
    EXPECT_EQ(session.GetInt(kmOptDependentType), c.iDependentType);
    EXPECT_EQ(std::vector<int32_t>(session.GetByVarPositions().begin(),
                                   session.GetByVarPositions().end()),
              c.byVars);
  }
}

TEST(kmSessionFromParams, VariablesKeepTheirFormats) {
  kmSession session(ReadParams("age_adjusted"));
  const KmFormat& ages = session.GetKMVar(kmVarAdjustment).GetFormat();
  EXPECT_EQ(ages.GetDataType(), 'A');
  EXPECT_EQ(ages.GetLabel(2), "Old");
  EXPECT_EQ(session.GetByVar(0).GetName(), "Registry");
  EXPECT_EQ(session.GetByVar(0).GetFormat().GetLabel(0), "North");

  kmSession rates(ReadParams("rate_se"));
  KmString sDataFile;
  rates.GetString(kmStrDataFile, sDataFile);
  EXPECT_TRUE(sDataFile.EndsWith("rate_se.txt")) << sDataFile.GetCString();
}

TEST(kmSessionFromParams, MissingLocationsAreInputErrors) {
  struct Case {
    const char* sName;
    const char* sParameters;
    const char* sMessage;
  };
  const Case kCases[] = {
      {"no independent variable", "count location = 2\n",
       "Every record needs its independent variable, but the session "
       "parameter file gives no \"independent variable location\"."},
      {"no dependent value",
       "independent variable location = 1\npopulation location = 2\n",
       "Every record needs the value to be fitted, but the session parameter "
       "file gives none of \"dependent variable location\", \"crude rate "
       "location\", \"age-adjusted rate location\" and \"count "
       "location\"."},
      {"poisson rate without count",
       "independent variable location = 1\npopulation location = 2\n"
       "het error variable location = poisson rate\n",
       "The \"poisson rate\" het error model needs the count of each "
       "record, but the session parameter file gives no \"count "
       "location\"."},
      {"standard error model without its column",
       "independent variable location = 1\ndependent variable location = 2\n"
       "het error variable location = standard error\n",
       "The \"standard error\" het error model needs the standard error of "
       "each record, but the session parameter file gives no \"standard "
       "error location\"."},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    const std::string path = dir.File("params.ini");
    km_test::WriteAll(path, std::string("[Datafile Options]\n"
                                        "[Kinkmark Session Parameters]\n") +
                                c.sParameters);
    KmUserParamsDict dict(path.c_str());
    KmException e = CatchKmException([&] { kmSession session(dict); });
    EXPECT_STREQ(e.GetMessage(), c.sMessage);
    EXPECT_EQ(e.GetKind(), 3);
    EXPECT_NE(std::string(e.GetCallPath()).find(path), std::string::npos)
        << e.GetCallPath();
  }
}

}  // namespace
