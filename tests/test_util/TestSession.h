// Helpers shared by the tests that build a session by hand: its variables
// with their roles, by-variables and value formats, and the layout of a
// comma-delimited data file.
#ifndef KM_TESTS_TEST_UTIL_TESTSESSION_H
#define KM_TESTS_TEST_UTIL_TESTSESSION_H

#include <string>
#include <vector>

#include "foundation/KmFormat.h"
#include "session/kmSession.h"

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
void AddVariables(kmSession& session,
                  const std::vector<SessionVariable>& vVariables);

// A value format of data type cType whose codes iFirstCode, iFirstCode + 1,
// ... carry vLabels in order.
KmFormat LabelFormat(const std::vector<std::string>& vLabels,
                     int iFirstCode = 1, char cType = 'S');

// The data file sFile, comma-delimited with missing text ".".
void SetCommaDelimitedData(kmSession& session, const std::string& sFile);

}  // namespace km_test

#endif  // KM_TESTS_TEST_UTIL_TESTSESSION_H
