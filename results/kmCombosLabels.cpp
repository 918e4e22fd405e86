// kmCombos: the label builders (GetCohortLabelEachLevel, GetComboLabel,
// GetComparisonLabel, GetLabel).
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "results/kmCombos.h"
#include "session/kmAnalysisCopies.h"
#include "session/kmSession.h"
#include "session/kmVariable.h"

namespace {

const char* const kClassName = "kmCombos";
const char* const kLevelSeparator = " / ";

const kmSession& RequireSession(const kmSession* pSession) {
  if (pSession == nullptr) ThrowKmException("Invalid kmSession.", kClassName);
  return *pSession;
}

}  // namespace

KmString kmCombos::LevelLabel(const kmSession& session, int j, int iValue,
                              bool bByLine) {
  KmString sLabel;
  const kmVariable& byVar = session.GetByVar(static_cast<int16_t>(j));
  // A numeric by-variable without value labels is labelled by its codes.
  if (!byVar.HasFormat()) return sLabel << iValue;
  byVar.GetLabel(iValue, sLabel, bByLine);
  return sLabel;
}

KmVector<KmString> kmCombos::GetCohortLabelEachLevel(
    int iCohort, const kmSession* pSession) const {
  return WithCallPath(
      "GetCohortLabelEachLevel()", kClassName, [&]() -> KmVector<KmString> {
        const kmSession& session = RequireSession(pSession);
        const KmVector<int>& vCombination = vCombinations_[iCohort];
        KmVector<KmString> vLabels;
        for (int j = 0; j < session.GetNumByVars(); ++j) {
          vLabels.push_back(LevelLabel(session, j, vCombination[j], false));
        }
        return vLabels;
      });
}

KmVector<KmString> kmCombos::GetCohortLabelEachLevel(
    int iCohort1, int iCohort2, const kmSession* pSession) const {
  return WithCallPath(
      "GetCohortLabelEachLevel()", kClassName, [&]() -> KmVector<KmString> {
        KmVector<KmString> vLabels =
            GetCohortLabelEachLevel(iCohort1, pSession);
        const KmVector<KmString> vSecond =
            GetCohortLabelEachLevel(iCohort2, pSession);
        vLabels.insert(vLabels.end(), vSecond.begin(), vSecond.end());
        return vLabels;
      });
}

KmString kmCombos::GetComboLabel(int i, const kmSession* pSession,
                                 bool bByLine) const {
  return WithCallPath("GetComboLabel()", kClassName, [&]() -> KmString {
    const kmSession& session = RequireSession(pSession);
    const KmVector<int>& vCombination = vCombinations_[i];
    int n = session.GetNumByVars();
    if (kmAnalysisCopies::LastByVarIsSynthetic(session)) --n;
    KmString sLabel;
    for (int j = 0; j < n; ++j) {
      if (j > 0) sLabel << kLevelSeparator;
      sLabel << LevelLabel(session, j, vCombination[j], bByLine);
    }
    return sLabel;
  });
}

KmString kmCombos::GetComparisonLabel(int k, const kmSession* pSession) const {
  return WithCallPath("GetComparisonLabel()", kClassName, [&]() -> KmString {
    const kmSession& session = RequireSession(pSession);
    const KmVector<int>& vPair = vComparisons_[k];
    const KmVector<int>& vFirst = vCombinations_[vPair[0]];
    const KmVector<int>& vSecond = vCombinations_[vPair[1]];
    const int n = session.GetNumByVars();
    KmString sLabel;
    for (int j = 0; j < n; ++j) {
      if (j > 0) sLabel << kLevelSeparator;
      sLabel << LevelLabel(session, j, vFirst[j], false);
    }
    sLabel << " vs. ";
    // The two sides usually differ only in the last by-variable, so the
    // right-hand side names just that level.
    const int iLast = n - 1;
    const int iValue = vSecond[iLast];
    sLabel << LevelLabel(session, iLast, iValue, false);
    return sLabel;
  });
}

KmString kmCombos::GetLabel(int i, const kmSession* pSession,
                            bool bByLine) const {
  return WithCallPath("GetLabel()", kClassName, [&]() -> KmString {
    const int nc = GetNumCombinations();
    const int nTotal = nc + GetNumComparisons();
    if (i < nc) return GetComboLabel(i, pSession, bByLine);
    if (i < nTotal) return GetComparisonLabel(i - nc, pSession);
    GenerateKmExceptionF(
        "Label index (%d) greater than number of comparisons and combinations "
        "combined (%d).",
        "GetLabel()", i, nTotal);
  });
}
