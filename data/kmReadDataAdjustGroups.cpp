// kmReadData: the layout of an age-adjusted cohort's records
// (AdjustmentGroupsRefusal). The reader forms one rate of each year's
// records, so each year must hold one record of every group, the years in
// ascending order, each with a population above 0, and each group must keep
// one standard population throughout. The rate is a weighted sum over the
// groups, so within a year they may come in any order, the first year as
// well as the others. A clustering run forms the rates of its merged groups,
// so there a group's summed population must be above 0.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "data/internal/kmCohortReadHelpers.h"
#include "data/internal/kmYearGroups.h"
#include "data/kmClusterCompression.h"
#include "data/kmReadData.h"
#include "foundation/KmFormat.h"
#include "session/kmComparisonType.h"
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

// The "%g" text of dValue: 0, 1e-310, 2.5e+06.
KmString ShortNumber(double dValue) {
  char sText[32];
  std::snprintf(sText, sizeof sText, "%g", dValue);
  return KmString(sText);
}

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

// The records of one year of a clustering run, as the clustering reads
// them: per record {group, count, population, standard population}, and the
// record's row.
struct ClusterYear {
  KmString sYear;
  kmValueRows rows;
  std::vector<size_t> vRows;
};

// One walk over the records of a cohort; the first fault found ends it.
class kmReadData::AdjustmentGroupWalk {
 public:
  AdjustmentGroupWalk(const kmReadData& reader, const kmCohortRows& rows)
      : reader_(reader),
        session_(*reader.pSession_),
        pFormat_(session_.GetKMVar(kmVarAdjustment).HasFormat()
                     ? &session_.GetKMVar(kmVarAdjustment).GetFormat()
                     : nullptr),
        rows_(rows),
        groups_(pFormat_ != nullptr
                    ? static_cast<size_t>(pFormat_->GetNumLines())
                    : reader.vAdjustCodes_.size()),
        yearGroups_(session_, reader.vAdjustCodes_),
        iAdjustCol_(RoleColumn(session_, kmVarAdjustment)),
        iYearCol_(RoleColumn(session_, kmVarIndependent)),
        iStdCol_(RoleColumn(session_, kmVarStdPopulation)),
        iPopCol_(RoleColumn(session_, kmVarPopulation)),
        bClustering_(session_.Get<kmComparisonType>() ==
                     kmComparisonType::kClustering),
        iCountCol_(RoleColumn(session_, kmVarCount)) {
    session_.GetMissingString(sMissing_);
    session_.GetString(kmStrDataFile, sDataFile_);
  }

  KmString Run() {
    for (size_t r = 0; r < rows_.size() && sRefusal_.IsEmpty(); ++r) {
      Record(r);
    }
    if (sRefusal_.IsEmpty() && bHaveYear_) CheckYearComplete();
    if (bClustering_ && sRefusal_.IsEmpty() && sIncomplete_.IsEmpty()) {
      CheckClusterPopulations();
    }
    // A year short of a group is named only when no record is out of
    // order: records sorted by group, then year, leave every year short.
    return sRefusal_.IsEmpty() ? sIncomplete_ : sRefusal_;
  }

 private:
  void Record(size_t r) {
    const kmRecordRow& row = rows_[r];
    lLine_ = reader_.RowLine(r);
    const KmString sCode = FieldAt(row, iAdjustCol_);
    // Without a format the year tally knows the codes.
    int32_t iGroup =
        pFormat_ != nullptr ? FindAdjustmentGroup(*pFormat_, sCode) : 0;
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
    const auto outcome = yearGroups_.Add(sCode, lLine_, &iSame, &lFirst);
    if (outcome == km_read_internal::YearGroups::Outcome::kUnknown) {
      UnknownCode(r, sCode);
      return;
    }
    if (pFormat_ == nullptr) iGroup = iSame;
    if (outcome == km_read_internal::YearGroups::Outcome::kRepeated) {
      GroupRepeated(iGroup, lFirst);
      return;
    }
    GroupSeen& group = groups_[static_cast<size_t>(iGroup)];
    lLastLine_ = lLine_;
    if (bClustering_) {
      KeepClusterRecord(r, iGroup);
    } else {
      CheckPopulation(r, iGroup);
    }
    if (sRefusal_.IsEmpty()) CheckStandardPopulation(r, iGroup, group);
  }

  // A population of 0 forms no rate, and one so small that the rate of
  // the count over it leaves the range of numbers forms none the fit can
  // use. Missing, non-numeric and negative populations are refused by the
  // rate checks.
  void CheckPopulation(size_t r, int32_t iGroup) {
    const KmString sPop = FieldAt(rows_[r], iPopCol_);
    double dPop = 0.0;
    if (!ReadNumber(sPop, sMissing_, dPop) || dPop < 0.0) return;
    double dCount = 0.0;
    if (dPop != 0.0 &&
        !(ReadNumber(FieldAt(rows_[r], iCountCol_), sMissing_, dCount) &&
          RateOutOfRange(dCount, dPop, false))) {
      return;
    }
    sRefusal_ << reader_.RecordPlace(static_cast<int32_t>(r), iPopCol_)
              << ": the population of the group " << GroupName(iGroup) << " of "
              << AdjustName() << " is " << sPop << " in the year " << sYear_
              << PopulationFault(dPop, dCount, false);
  }

  // True when the rate of dCount (above 0) over the population dPop (above
  // 0), per the session's rates-per-N, leaves the range of numbers the fit
  // can use; with bVariance (a rate fitted on its own, as a clustering
  // fits each group's) also when the rate's variance does.
  bool RateOutOfRange(double dCount, double dPop, bool bVariance) const {
    if (!(dCount > 0.0)) return false;
    const double dRate = dCount / dPop * RatesPerN();
    const double dVariance = dRate / dPop * RatesPerN();
    return !std::isfinite(dRate) ||
           (bVariance && (dVariance == 0.0 || !std::isfinite(dVariance)));
  }

  double RatesPerN() const {
    const double dRatesPerN = session_.GetInt(kmOptRatesPerN);
    return dRatesPerN < 1.0 ? 100000.0 : dRatesPerN;
  }

  // The end of a population refusal: what a population of 0 needs, else
  // the range the rate of dCount over dPop leaves.
  static KmString PopulationFault(double dPop, double dCount, bool bMerged) {
    KmString sText;
    if (dPop == 0.0) {
      sText << (bMerged ? "; a merged group needs a population greater than 0."
                        : "; a population must be a number greater than 0.");
      return sText;
    }
    sText << "; the rate of the count " << ShortNumber(dCount)
          << " over it, or that rate's variance, lies outside the range of "
             "numbers the fit can use (about 1e-300 to 1e300).";
    return sText;
  }

  // A clustering run forms the rate of each group of its clustering (the
  // groups merged as the clustering merges them), over the group's summed
  // count and population: keeps the record's values as it reads them.
  void KeepClusterRecord(size_t r, int32_t iGroup) {
    kmValueRow values(4, km_read_internal::kMissingValue);
    values[0] = iGroup;
    for (const auto& [k, iCol] :
         {std::pair{1, iCountCol_}, std::pair{2, iPopCol_},
          std::pair{3, iStdCol_}}) {
      ReadNumber(FieldAt(rows_[r], iCol), sMissing_, values[k]);
    }
    if (values[1] < 0.0 || values[2] < 0.0 || values[3] < 0.0) {
      values[1] = values[2] = values[3] = km_read_internal::kMissingValue;
    }
    clusterYears_.back().rows.push_back(values);
    clusterYears_.back().vRows.push_back(r);
  }

  // Refuses the first year with a group of the clustering whose summed
  // population is 0: it forms no rate. A code of population 0 inside a
  // group whose population is above 0 does.
  void CheckClusterPopulations() {
    kmValueTable table;
    for (const ClusterYear& year : clusterYears_) table.push_back(year.rows);
    kmClusterCompression compression(reader_.pSession_);
    compression.SetCodeGroups(reader_.vAdjustCodes_);
    compression.CompressCohort(table);
    const kmClusterFormat format = compression.GetClusterFormats().front();
    for (const ClusterYear& year : clusterYears_) {
      for (size_t g = 0; g < format.groups.size(); ++g) {
        std::vector<size_t> vMembers;
        double dCount = 0.0;
        double dPopulation = 0.0;
        for (size_t k = 0; k < year.rows.size(); ++k) {
          const kmValueRow& row = year.rows[k];
          if (format.FindFormatIndexOfCode(static_cast<int32_t>(row[0])) !=
              static_cast<int32_t>(g)) {
            continue;
          }
          vMembers.push_back(k);
          dCount += row[1];
          dPopulation += row[2];
        }
        // A missing or negative population (the sum is then negative) is
        // the rate checks' to report.
        if (vMembers.empty() || dPopulation < 0.0) continue;
        if (dPopulation != 0.0 && !RateOutOfRange(dCount, dPopulation, true)) {
          continue;
        }
        GroupWithoutPopulation(year, vMembers, dPopulation, dCount);
        return;
      }
    }
  }

  void GroupWithoutPopulation(const ClusterYear& year,
                              const std::vector<size_t>& vMembers,
                              double dPopulation, double dCount) {
    const size_t r = year.vRows[vMembers.front()];
    // A population that forms a rate, whose count's rate is out of range,
    // leaves the count at fault.
    const bool bCountAtFault =
        dPopulation != 0.0 && std::isfinite(dCount / dPopulation);
    sRefusal_ << reader_.RecordPlace(static_cast<int32_t>(r),
                                     bCountAtFault ? iCountCol_ : iPopCol_);
    if (vMembers.size() == 1) {
      const auto iGroup = static_cast<int32_t>(year.rows[vMembers[0]][0]);
      sRefusal_ << ": the population of the group " << GroupName(iGroup)
                << " of " << AdjustName() << " is "
                << FieldAt(rows_[r], iPopCol_) << " in the year " << year.sYear
                << PopulationFault(dPopulation, dCount, false);
      return;
    }
    KmString sGroups;
    for (const size_t k : vMembers) {
      sGroups << (sGroups.IsEmpty() ? "" : ", ")
              << GroupName(static_cast<int32_t>(year.rows[k][0]));
    }
    sRefusal_ << ": the groups " << sGroups << " of " << AdjustName()
              << ", which the clustering merges into one, have a population "
                 "of "
              << ShortNumber(dPopulation) << " in the year " << year.sYear
              << PopulationFault(dPopulation, dCount, true);
  }

  void StartYear(const KmString& sYear, double dYear) {
    if (bClustering_) clusterYears_.push_back(ClusterYear{sYear, {}, {}});
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
                     << GroupName(static_cast<int32_t>(i));
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
              << ": the standard population of the group " << GroupName(iGroup)
              << " of " << AdjustName() << " is " << sStd << " in the year "
              << sYear_ << ", but " << group.sStd << " on line "
              << static_cast<long>(group.lStdLine)
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
              << ": the standard population of the group " << GroupName(iGroup)
              << " of " << AdjustName();
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
              << static_cast<int32_t>(groups_.size());
    if (pFormat_ == nullptr) {
      sRefusal_ << " groups the records of the data's first year give it ("
                << GroupList() << ").  Give every year a record of each of "
                << "those groups, or define the groups in a format of "
                << AdjustName() << " in the session.";
      return;
    }
    sRefusal_ << " groups the session defines for it (" << GroupList()
              << ").  Add the group to the format of " << AdjustName()
              << " in the session, or remove its records.";
  }

  // "<value> = <label>" of format line i; without a format, the code of
  // group i.
  KmString GroupName(int32_t i) const {
    if (pFormat_ == nullptr) return yearGroups_.Code(i);
    KmString sName;
    sName << pFormat_->GetValue(i) << " = " << pFormat_->GetLabel(i);
    return sName;
  }

  // Every group's GroupName, joined by ", ".
  KmString GroupList() const {
    KmString sList;
    for (size_t i = 0; i < groups_.size(); ++i) {
      sList << (i == 0 ? "" : ", ") << GroupName(static_cast<int32_t>(i));
    }
    return sList;
  }

  void YearOutOfOrder(const KmString& sYear) {
    sRefusal_ << LinePlace() << ": the year " << sYear << " follows " << sYear_
              << " on line " << static_cast<long>(lLastLine_) << "."
              << OrderRequired(session_);
  }

  void GroupRepeated(int32_t iGroup, int64_t lFirst) {
    sRefusal_ << LinePlace() << ": the group " << GroupName(iGroup) << " of "
              << AdjustName() << " comes a second time in the year " << sYear_
              << " (first on line " << static_cast<long>(lFirst) << ")."
              << OrderRequired(session_);
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
  // Null when the adjustment variable has no format: its groups are then
  // the codes of the records, as the year tally meets them.
  const KmFormat* pFormat_;
  const kmCohortRows& rows_;
  std::vector<GroupSeen> groups_;
  km_read_internal::YearGroups yearGroups_;
  const int iAdjustCol_;
  const int iYearCol_;
  const int iStdCol_;
  const int iPopCol_;
  const bool bClustering_;
  const int iCountCol_;
  std::vector<ClusterYear> clusterYears_;
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
      pSession_->GetKMVarPosition(kmVarAdjustment) < 1) {
    return KmString();
  }
  return AdjustmentGroupWalk(*this, rows).Run();
}
