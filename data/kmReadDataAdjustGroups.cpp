// kmReadData: the layout of an age-adjusted cohort's records
// (AdjustmentGroupsRefusal). The reader forms one rate of each year's
// records, so each year must hold one record of every group, the years in
// ascending order, each with a population above 0, and each group must keep
// one standard population throughout. The rate is a weighted sum over the
// groups, so within a year they may come in any order, the first year as
// well as the others.
#include <cstdint>
#include <vector>

#include "data/internal/kmCohortReadHelpers.h"
#include "data/internal/kmYearGroups.h"
#include "data/kmReadData.h"
#include "foundation/KmFormat.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"

using km_read_internal::FindAdjustmentGroup;
using km_read_internal::IsMissingField;
using km_read_internal::ReadNumber;
using km_read_internal::RoleColumn;
using km_read_internal::SameNumber;

namespace {

const char kSource[] = "kmReadData";

// What the walk remembers of one group of the adjustment variable: its
// standard population as first read, with its text and line.
struct GroupSeen {
  bool bHaveStd = false;
  double dStd = 0.0;
  KmString sStd;
  int64_t lStdLine = 0;
};

// The trimmed field of row at the 0-based column iColumn ("" when none).
KmString FieldAt(const kmRecordRow& row, int iColumn) {
  if (iColumn < 0 || static_cast<size_t>(iColumn) >= row.size()) {
    return KmString();
  }
  return KmString(row[static_cast<size_t>(iColumn)]).Trim();
}

// "<value> = <label>" of format line i.
KmString GroupName(const KmFormat& format, int32_t i) {
  KmString sName;
  sName << format.GetValue(i) << " = " << format.GetLabel(i);
  return sName;
}

// The groups the format defines, "<value> = <label>" joined by ", ".
KmString GroupList(const KmFormat& format) {
  KmString sList;
  for (int32_t i = 0; i < format.GetNumLines(); ++i) {
    sList << (i == 0 ? "" : ", ") << GroupName(format, i);
  }
  return sList;
}

// The sentence that closes a refusal of the records' order.
KmString OrderRequired(const kmSession& session) {
  KmString sText;
  sText << "  The records of an age-adjusted cohort must be sorted by the "
           "independent variable "
        << session.GetKMVar(kmVarIndependent).GetName()
        << ", the years in ascending order, with one record for every group "
           "of the adjustment variable "
        << session.GetKMVar(kmVarAdjustment).GetName()
        << " in each year; within a year the groups may come in any order.";
  return sText;
}

}  // namespace

// One walk over the records of a cohort; the first fault found ends it.
class kmReadData::AdjustmentGroupWalk {
 public:
  AdjustmentGroupWalk(const kmReadData& reader, const kmCohortRows& rows)
      : reader_(reader),
        session_(*reader.pSession_),
        format_(session_.GetKMVar(kmVarAdjustment).GetFormat()),
        rows_(rows),
        groups_(static_cast<size_t>(format_.GetNumLines())),
        yearGroups_(session_, groups_.size()),
        iAdjustCol_(RoleColumn(session_, kmVarAdjustment)),
        iYearCol_(RoleColumn(session_, kmVarIndependent)),
        iStdCol_(RoleColumn(session_, kmVarStdPopulation)),
        iPopCol_(RoleColumn(session_, kmVarPopulation)) {
    session_.GetMissingString(sMissing_);
    session_.GetString(kmStrDataFile, sDataFile_);
  }

  KmString Run() {
    for (size_t r = 0; r < rows_.size() && sRefusal_.IsEmpty(); ++r) {
      Record(r);
    }
    if (sRefusal_.IsEmpty() && bHaveYear_) CheckYearComplete();
    // A year short of a group is named only when no record is out of
    // order: records sorted by group, then year, leave every year short.
    return sRefusal_.IsEmpty() ? sIncomplete_ : sRefusal_;
  }

 private:
  void Record(size_t r) {
    const kmRecordRow& row = rows_[r];
    lLine_ = reader_.RowLine(r);
    const KmString sCode = FieldAt(row, iAdjustCol_);
    const int32_t iGroup = FindAdjustmentGroup(format_, sCode);
    if (iGroup < 0) {
      UnknownCode(r, sCode);
      return;
    }
    const KmString sYear = FieldAt(row, iYearCol_);
    const double dYear =
        km_read_internal::IndependentValue(session_, sYear, kSource);
    if (!bHaveYear_ || !SameNumber(dYear, dYear_)) {
      if (bHaveYear_ && dYear < dYear_) {
        YearOutOfOrder(sYear);
        return;
      }
      if (bHaveYear_) CheckYearComplete();
      StartYear(sYear, dYear);
    }
    int32_t iSame = -1;
    int64_t lFirst = 0;
    if (yearGroups_.Add(sCode, lLine_, &iSame, &lFirst) ==
        km_read_internal::YearGroups::Outcome::kRepeated) {
      GroupRepeated(iGroup, lFirst);
      return;
    }
    GroupSeen& group = groups_[static_cast<size_t>(iGroup)];
    lLastLine_ = lLine_;
    CheckPopulation(r, iGroup);
    if (sRefusal_.IsEmpty()) CheckStandardPopulation(r, iGroup, group);
  }

  // A population of 0 forms no rate, in a clustering run too (whose rates
  // would give such a group a share of 0 and understate its year). Missing,
  // non-numeric and negative populations are refused by the rate checks.
  void CheckPopulation(size_t r, int32_t iGroup) {
    const KmString sPop = FieldAt(rows_[r], iPopCol_);
    double dPop = 0.0;
    if (!ReadNumber(sPop, sMissing_, dPop) || dPop != 0.0) {
      return;
    }
    sRefusal_ << reader_.RecordPlace(static_cast<int32_t>(r), iPopCol_)
              << ": the population of the group " << GroupName(format_, iGroup)
              << " of " << AdjustName() << " is " << sPop << " in the year "
              << sYear_ << "; a population must be a number greater than 0.";
  }

  void StartYear(const KmString& sYear, double dYear) {
    bHaveYear_ = true;
    sYear_ = sYear;
    dYear_ = dYear;
    lYearLine_ = lLine_;
    yearGroups_.StartYear();
  }

  // Keeps the refusal of the first year that has no record of a group.
  void CheckYearComplete() {
    const std::vector<size_t> vMissing = yearGroups_.MissingGroups();
    if (vMissing.empty() || !sIncomplete_.IsEmpty()) return;
    KmString sMissingGroups;
    for (const size_t i : vMissing) {
      sMissingGroups << (sMissingGroups.IsEmpty() ? "" : ", ")
                     << GroupName(format_, static_cast<int32_t>(i));
    }
    const int nHave = static_cast<int>(groups_.size() - vMissing.size());
    sIncomplete_ << "Data file \"" << sDataFile_ << "\", lines "
                 << static_cast<long>(lYearLine_) << " to "
                 << static_cast<long>(lLastLine_) << ": the year " << sYear_
                 << " has records for " << nHave << " of the "
                 << static_cast<int32_t>(groups_.size())
                 << " groups of the adjustment variable " << AdjustName()
                 << "; no record for " << sMissingGroups
                 << ".  An age-adjusted rate needs a record for every group "
                    "in each year.";
  }

  void CheckStandardPopulation(size_t r, int32_t iGroup, GroupSeen& group) {
    const KmString sStd = FieldAt(rows_[r], iStdCol_);
    double dStd = 0.0;
    if (IsMissingField(sStd, sMissing_) || !ReadNumber(sStd, sMissing_, dStd)) {
      StandardPopulationUnread(r, iGroup, sStd);
      return;
    }
    if (!group.bHaveStd) {
      group.bHaveStd = true;
      group.dStd = dStd;
      group.sStd = sStd;
      group.lStdLine = lLine_;
      return;
    }
    if (SameNumber(dStd, group.dStd)) return;
    sRefusal_ << reader_.RecordPlace(static_cast<int32_t>(r), iStdCol_)
              << ": the standard population of the group "
              << GroupName(format_, iGroup) << " of " << AdjustName() << " is "
              << sStd << " in the year " << sYear_ << ", but " << group.sStd
              << " on line " << static_cast<long>(group.lStdLine)
              << ".  A standard population is one set of weights: give each "
                 "group the same standard population in every year.";
  }

  // Every group's standard population weights every year's rate: one that
  // is missing or no number refuses the cohort, wherever it stands.
  void StandardPopulationUnread(size_t r, int32_t iGroup,
                                const KmString& sStd) {
    const bool bMissing = IsMissingField(sStd, sMissing_);
    sRefusal_ << "The standard population value read from the data line is "
              << (bMissing ? "missing" : "not numeric")
              << ".  Kinkmark cannot calculate age-adjusted rates for this "
                 "cohort.  "
              << reader_.RecordPlace(static_cast<int32_t>(r), iStdCol_)
              << ": the standard population of the group "
              << GroupName(format_, iGroup) << " of " << AdjustName();
    if (bMissing) {
      sRefusal_ << " is missing";
    } else {
      sRefusal_ << " is \"" << sStd << "\", which is not a number,";
    }
    sRefusal_ << " in the year " << sYear_ << ".";
  }

  void UnknownCode(size_t r, const KmString& sCode) {
    sRefusal_ << reader_.RecordPlace(static_cast<int32_t>(r), iAdjustCol_)
              << ": the adjustment variable " << AdjustName()
              << " holds the code \"" << sCode << "\", which is none of the "
              << format_.GetNumLines() << " groups the session defines for it ("
              << GroupList(format_) << ").  Add the group to the format of "
              << AdjustName() << " in the session, or remove its records.";
  }

  void YearOutOfOrder(const KmString& sYear) {
    sRefusal_ << LinePlace() << ": the year " << sYear << " follows " << sYear_
              << " on line " << static_cast<long>(lLastLine_) << "."
              << OrderRequired(session_);
  }

  void GroupRepeated(int32_t iGroup, int64_t lFirst) {
    sRefusal_ << LinePlace() << ": the group " << GroupName(format_, iGroup)
              << " of " << AdjustName() << " comes a second time in the year "
              << sYear_ << " (first on line " << static_cast<long>(lFirst)
              << ")." << OrderRequired(session_);
  }

  KmString LinePlace() const {
    KmString sPlace;
    sPlace << "Data file \"" << sDataFile_ << "\", line "
           << static_cast<long>(lLine_);
    return sPlace;
  }

  KmString AdjustName() const {
    return session_.GetKMVar(kmVarAdjustment).GetName();
  }

  const kmReadData& reader_;
  const kmSession& session_;
  const KmFormat& format_;
  const kmCohortRows& rows_;
  std::vector<GroupSeen> groups_;
  km_read_internal::YearGroups yearGroups_;
  const int iAdjustCol_;
  const int iYearCol_;
  const int iStdCol_;
  const int iPopCol_;
  KmString sMissing_;
  KmString sDataFile_;
  KmString sRefusal_;
  KmString sIncomplete_;
  // The record being read and its line; the current year, its first line
  // and the line of its last record so far.
  int64_t lLine_ = 0;
  bool bHaveYear_ = false;
  KmString sYear_;
  double dYear_ = 0.0;
  int64_t lYearLine_ = 0;
  int64_t lLastLine_ = 0;
};

int64_t kmReadData::RowLine(size_t r) const {
  return r < vRowLines_.size() ? vRowLines_[r] : -1;
}

KmString kmReadData::AdjustmentGroupsRefusal(const kmCohortRows& rows) const {
  if (!bClustered_ || iNumAdjustGroups_ < 1 ||
      pSession_->GetKMVarPosition(kmVarAdjustment) < 1 ||
      !pSession_->GetKMVar(kmVarAdjustment).HasFormat()) {
    return KmString();
  }
  return AdjustmentGroupWalk(*this, rows).Run();
}
