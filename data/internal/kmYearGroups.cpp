#include "data/internal/kmYearGroups.h"

#include <algorithm>
#include <utility>

#include "data/internal/kmCohortReadHelpers.h"
#include "foundation/KmFormat.h"
#include "session/kmSession.h"
#include "session/kmVariable.h"

namespace km_read_internal {

YearGroups::YearGroups(const kmSession& session, std::vector<KmString> vCodes)
    : session_(session) {
  const kmVariable& adjust = session.GetKMVar(kmVarAdjustment);
  size_t nGroups = vCodes.size();
  if (adjust.HasFormat()) {
    nGroups = static_cast<size_t>(adjust.GetFormat().GetNumLines());
  } else {
    vCodes_ = std::move(vCodes);
  }
  vSeen_.assign(nGroups, false);
  vThisYear_.assign(nGroups, 0);
}

void YearGroups::StartYear() { std::fill(vSeen_.begin(), vSeen_.end(), false); }

int32_t YearGroups::GroupIndex(const KmString& sCode) {
  const kmVariable& adjust = session_.GetKMVar(kmVarAdjustment);
  if (adjust.HasFormat()) return FindAdjustmentGroup(adjust.GetFormat(), sCode);
  return FindCodeGroup(vCodes_, sCode);
}

YearGroups::Outcome YearGroups::Add(const KmString& sCode, int64_t lTag,
                                    int32_t* piGroup, int64_t* plEarlier) {
  const int32_t iGroup = GroupIndex(KmString(sCode).Trim());
  *piGroup = iGroup;
  if (iGroup < 0) return Outcome::kUnknown;
  const size_t i = static_cast<size_t>(iGroup);
  if (vSeen_[i]) {
    *plEarlier = vThisYear_[i];
    return Outcome::kRepeated;
  }
  vSeen_[i] = true;
  vThisYear_[i] = lTag;
  return Outcome::kFirst;
}

std::vector<size_t> YearGroups::MissingGroups() const {
  std::vector<size_t> vMissing;
  for (size_t i = 0; i < vThisYear_.size(); ++i) {
    if (!vSeen_[i]) vMissing.push_back(i);
  }
  return vMissing;
}

KmString YearGroups::Code(int32_t i) const {
  return i >= 0 && static_cast<size_t>(i) < vCodes_.size()
             ? vCodes_[static_cast<size_t>(i)]
             : KmString();
}

}  // namespace km_read_internal
