// Shared routines of the per-cohort readers: role columns, splitting,
// cleaning, number reading and the comparability-ratio arithmetic.
#include "data/internal/kmCohortReadHelpers.h"

#include <cmath>
#include <cstdlib>

#include "foundation/KmFormat.h"
#include "foundation/KmStringTokenizer.h"
#include "foundation/kmTools.h"
#include "session/kmSession.h"

namespace km_read_internal {

int RoleColumn(const kmSession& session, int iRole) {
  const int32_t iPosition = session.GetKMVarPosition(iRole);
  // An unset role: let the session raise its own message for it.
  if (iPosition < 1) session.GetKMVar(iRole);
  return iPosition - 1;
}

void SplitRecord(const KmString& sLine, const KmString& sDelimiter,
                 std::vector<KmString>& vTokens) {
  KmStringTokenizer tokenizer;
  tokenizer.SetDelimiter(sDelimiter.GetCString());
  tokenizer.ParseStringWithIgnoredSections(sLine.GetCString(), "\"");
  const int32_t lCount = tokenizer.GetNumTokens();
  vTokens.assign(static_cast<size_t>(lCount), KmString());
  for (int32_t t = 0; t < lCount; ++t) {
    tokenizer.GetToken(vTokens[static_cast<size_t>(t)], t);
  }
}

KmString CleanField(const KmString& sToken) {
  KmString sField(sToken);
  sField.RemoveAll(',');
  sField.TrimLeft();
  sField.TrimRight();
  return sField;
}

bool ReadNumber(const KmString& sField, const KmString& sMissing,
                double& dValue) {
  if (sField == sMissing) return false;
  double dRead = 0.0;
  if (!kmTools::StringToDouble(dRead, sField.GetCString(), true)) return false;
  dValue = dRead;
  return true;
}

bool IsMissingField(const KmString& sField, const KmString& sMissing) {
  if (sField == sMissing) return true;
  KmString sTrimmed(sField);
  sTrimmed.TrimLeft();
  sTrimmed.TrimRight();
  return sTrimmed.IsEmpty();
}

KmString FixedText(double dValue) {
  KmString sText;
  sText.printf("%20.10f", dValue);
  return sText;
}

double AdjustedStandardError(double dRatio, double dVariance, double dRate,
                             double dSE) {
  return std::sqrt(dRatio * dRatio * dSE * dSE + dVariance * dSE * dSE +
                   dVariance * dRate * dRate);
}

double IndependentValue(const kmSession& session, const KmString& sField,
                        const char* sSource) {
  const kmVariable& independent = session.GetKMVar(0);
  if (!independent.HasFormat()) return std::atof(sField.GetCString());
  const KmFormat& format = independent.GetFormat();
  const int32_t lLine = format.GetIndexFromValue(sField.GetCString(), true, true);
  if (lLine < 0) {
    KmString sMessage(
        "Could not locate the following Independent Variable value in the "
        "format:  ");
    sMessage << sField;
    ThrowKmException(sMessage.GetCString(), sSource);
  }
  return std::atof(format.GetLabel(lLine).GetCString());
}

}  // namespace km_read_internal
