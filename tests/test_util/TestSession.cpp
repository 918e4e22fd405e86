// Sessions built by hand for the tests.
#include "tests/test_util/TestSession.h"

#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"

namespace km_test {

void AddVariables(kmSession& session,
                  const std::vector<SessionVariable>& vVariables) {
  for (const SessionVariable& v : vVariables) {
    const int iColumn = v.iColumn > 0 ? v.iColumn : session.GetNumVars() + 1;
    const int32_t iPosition = session.AddVariable(
        kmVariable(v.sName.c_str(), static_cast<uint16_t>(iColumn), v.pFormat));
    if (v.iRole != kNoRole) session.SetKMVarPosition(v.iRole, iPosition);
    if (v.bByVar) session.AddByVarPosition(iPosition);
  }
}

KmFormat LabelFormat(const std::vector<std::string>& vLabels, int iFirstCode,
                     char cType) {
  KmFormat format;
  format.SetDataType(cType);
  for (size_t i = 0; i < vLabels.size(); ++i) {
    const std::string sCode = std::to_string(iFirstCode + static_cast<int>(i));
    format.AddLine(sCode.c_str(), vLabels[i].c_str(), -1);
  }
  return format;
}

void SetCommaDelimitedData(kmSession& session, const std::string& sFile) {
  session.SetInt(kmOptFieldDelimiter, 2);
  session.SetInt(kmOptMissingCharacter, 1);
  session.SetString(kmStrDataFile, sFile.c_str());
}

}  // namespace km_test
