// The one rule of the groups of an age-adjusted year: each group of the
// adjustment variable once.
#ifndef KM_DATA_INTERNAL_KMYEARGROUPS_H
#define KM_DATA_INTERNAL_KMYEARGROUPS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/KmString.h"

class kmSession;

namespace km_read_internal {

// The records of one year of an age-adjusted cohort, taken one at a time:
// an age-adjusted rate is formed of a year only when its records hold every
// group of the adjustment variable once. A group is a line of the
// variable's format; without a format it is one of the codes the data's
// first year gives (SameAdjustmentCode: "01" and "1" are one). Both the
// verification walk
// (which names the fault) and the reader (which gives a faulty year no
// rate) keep their years by this one tally.
class YearGroups {
 public:
  // What Add found.
  enum class Outcome { kFirst, kRepeated, kUnknown };

  // The groups of the session's adjustment variable; vCodes are they when
  // the variable has no format.
  YearGroups(const kmSession& session, std::vector<KmString> vCodes);

  // Begins a new year: no group seen.
  void StartYear();

  // Takes the record whose adjustment code is sCode (trimmed), tagged
  // lTag (its line or position). kFirst: its group's first record
  // of the year; kRepeated: the group came before, *plEarlier receives that
  // record's tag; kUnknown: no group of the format (or, without a format,
  // none of the codes). *piGroup receives the group's
  // index (-1 for kUnknown).
  Outcome Add(const KmString& sCode, int64_t lTag, int32_t* piGroup,
              int64_t* plEarlier);

  // The groups (0-based) without a record in the year so far.
  std::vector<size_t> MissingGroups() const;

  // Without a format, the code of group i; with one, "".
  KmString Code(int32_t i) const;

 private:
  int32_t GroupIndex(const KmString& sCode);

  const kmSession& session_;
  // The groups of a variable without a format.
  std::vector<KmString> vCodes_;
  // Per group, whether it has a record in the current year, and that
  // record's tag.
  std::vector<bool> vSeen_;
  std::vector<int64_t> vThisYear_;
};

}  // namespace km_read_internal

#endif  // KM_DATA_INTERNAL_KMYEARGROUPS_H
