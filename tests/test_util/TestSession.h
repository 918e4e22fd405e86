// Helpers shared by the tests that build a session by hand: its variables
// with their roles, by-variables and value formats, the layout of a
// comma-delimited data file, and the two common rate layouts. Header-only,
// so that the fuzzers and benchmarks that reuse a suite's session need no
// further library.
#ifndef KM_TESTS_TEST_UTIL_TESTSESSION_H
#define KM_TESTS_TEST_UTIL_TESTSESSION_H

#include <memory>
#include <string>
#include <vector>

#include "foundation/KmFormat.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"

namespace km_test {

// The role of a variable that plays none.
constexpr int kNoRole = -1;

// One variable of a test session: its name, the role it plays (kmVarRole or
// kNoRole), whether it splits the data into cohorts, its value format
// (nullptr: none) and its column (0: its 1-based place among the session's
// variables).
struct SessionVariable {
  std::string sName;
  int iRole = kNoRole;
  bool bByVar = false;
  const KmFormat* pFormat = nullptr;
  int iColumn = 0;
};

// Appends the variables in order, sets the role of each that plays one and
// appends the by-variables in order.
inline void AddVariables(kmSession& session,
                         const std::vector<SessionVariable>& vVariables) {
  for (const SessionVariable& v : vVariables) {
    const int iColumn = v.iColumn > 0 ? v.iColumn : session.GetNumVars() + 1;
    const int32_t iPosition = session.AddVariable(
        kmVariable(v.sName.c_str(), static_cast<uint16_t>(iColumn), v.pFormat));
    if (v.iRole != kNoRole) session.SetKMVarPosition(v.iRole, iPosition);
    if (v.bByVar) session.AddByVarPosition(iPosition);
  }
}

// A value format of data type cType whose codes iFirstCode, iFirstCode + 1,
// ... carry vLabels in order.
inline KmFormat LabelFormat(const std::vector<std::string>& vLabels,
                            int iFirstCode = 1, char cType = 'S') {
  KmFormat format;
  format.SetDataType(cType);
  for (size_t i = 0; i < vLabels.size(); ++i) {
    const std::string sCode = std::to_string(iFirstCode + static_cast<int>(i));
    format.AddLine(sCode.c_str(), vLabels[i].c_str(), -1);
  }
  return format;
}

// The data file sFile, comma-delimited with missing text ".".
inline void SetCommaDelimitedData(kmSession& session,
                                  const std::string& sFile) {
  session.SetInt(kmOptFieldDelimiter, 2);
  session.SetInt(kmOptMissingCharacter, 1);
  session.SetString(kmStrDataFile, sFile.c_str());
}

// Straight lines on the response as given: no kinkmarks, one observation
// at each end, homoscedastic errors.
inline void SetStraightLineFits(kmSession& session) {
  session.SetInt(kmOptMaxKinkmarks, 0);
  session.SetInt(kmOptMinObsEnd, 1);
  session.SetInt(kmOptMinObsBetween, 0);
  session.SetBool(kmOptLogLinear, false);
  session.SetInt(kmOptHetErrorModel, 0);
}

// Rate layout (1-based columns): Sex, Year, Count, Pop, Rate, SE, DRate,
// DSE. Sex is the by-variable, Year the independent variable; Count, Pop,
// Rate, SE, DRate and DSE play the count, population, dependent, standard
// error and the two delay-adjusted roles. Comma-delimited, missing text
// ".", no header line, every cohort fittable (no kinkmarks asked for).
inline std::unique_ptr<kmSession> MakeRateSession(const std::string& sFile) {
  auto pSession = std::make_unique<kmSession>();
  AddVariables(*pSession, {{"Sex", kNoRole, true},
                           {"Year", kmVarIndependent},
                           {"Count", kmVarCount},
                           {"Pop", kmVarPopulation},
                           {"Rate", kmVarDependent},
                           {"SE", kmVarStdError},
                           {"DRate", kmVarDelayRate},
                           {"DSE", kmVarDelaySE}});
  SetCommaDelimitedData(*pSession, sFile);
  SetStraightLineFits(*pSession);
  return pSession;
}

// Age-adjusted layout: Sex, Year, Age, Count, Pop, StdPop; Age is the
// adjustment variable with a format of three groups ("0-19", "20-64",
// "65+", codes 1 to 3). Rates are computed by the program
// (kmOptDependentType 4), otherwise as MakeRateSession.
inline std::unique_ptr<kmSession> MakeAgeAdjustedSession(
    const std::string& sFile) {
  auto pSession = std::make_unique<kmSession>();
  const KmFormat ages = LabelFormat({"0-19", "20-64", "65+"});
  AddVariables(*pSession, {{"Sex", kNoRole, true},
                           {"Year", kmVarIndependent},
                           {"Age", kmVarAdjustment, false, &ages},
                           {"Count", kmVarCount},
                           {"Pop", kmVarPopulation},
                           {"StdPop", kmVarStdPopulation}});
  SetCommaDelimitedData(*pSession, sFile);
  SetStraightLineFits(*pSession);
  pSession->SetBool(kmOptDependentCalculated, true);
  pSession->SetInt(kmOptDependentType, 4);
  return pSession;
}

}  // namespace km_test

#endif  // KM_TESTS_TEST_UTIL_TESTSESSION_H
