// The entry order of the results file as every export walks it, the records
// of one entry, and the MADWD rule that hides a model's values.
#ifndef KM_REPORTS_KMEXPORTENTRIES_H
#define KM_REPORTS_KMEXPORTENTRIES_H

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/KmVector.h"
#include "results/kmCalcData.h"

class kmCalcHandler;
class kmCombos;
class kmSession;

// Entries. A results file holds one record per cohort and, after them, one
// per pairwise comparison. An export walks the entries e = 0 .. n - 1 with
// n = NumExportEntries (cohorts first, then comparisons). For entry e the
// handler's GetCalcDataVector yields its record list: a cohort's own record,
// or for a comparison the records of its two cohorts followed by the
// comparison's own record. The row source of an entry is always the last
// record of its list, and a list of more than one record marks a
// comparison entry.

// The number of stored cohort records plus comparison records.
int32_t NumExportEntries(const kmCalcHandler& handler);

// The by-variable level codes of entry e of combos: a cohort's codes (one
// per by-variable, in session order); for a comparison entry the codes of
// its first cohort followed by those of its second, so its rows carry twice
// as many by-variable cells. Empty when the table holds no such entry (a
// run without by-variables).
// Throws: the KmVector index error for a negative e or a comparison that
// names an unknown cohort.
KmVector<int> EntryByVarCodes(const kmCombos& combos, int32_t e);

// The records of one entry, read anew from the results file and owned here
// (they are deleted with this object).
class kmEntryRecords {
 public:
  // The record list of entry iEntry (GetCalcDataVector(iEntry)).
  // Throws: the handler's errors (index out of range, unreadable record).
  kmEntryRecords(kmCalcHandler& handler, int32_t iEntry);
  // The record list of cohort iCohort's comparison row iRow
  // (GetCalcDataVector(iCohort, iRow)): for a row of 1 or more the two
  // cohorts' records and then their comparison's record.
  // Throws: the handler's errors.
  kmEntryRecords(kmCalcHandler& handler, int32_t iCohort, int32_t iRow);

  int32_t Size() const { return static_cast<int32_t>(vRecords_.size()); }
  // True when the list holds more than one record (a comparison).
  bool IsComparison() const { return vRecords_.size() > 1; }
  // The entry's own record, the last of the list.
  // Throws: KmException "The results file returned no record for this
  // entry." for an empty list.
  const kmCalcData& Last() const;
  // Record i of the list (0 is the first).
  // Throws: the KmVector index error for i outside the list.
  const kmCalcData& At(int32_t i) const;

 private:
  void TakeOver(KmVector<kmCalcData*>& vFetched);

  std::vector<std::unique_ptr<kmCalcData> > vRecords_;
};

// The model index (position in the record's models, from 0) of a model with
// iKinkmarks kinkmarks: iKinkmarks - kmOptMinKinkmarks, and 0 when that is
// negative.
int32_t ModelIndexOfKinkmarks(const kmSession& session, int32_t iKinkmarks);

// True when record has a final selected model. Records of a pairwise
// comparison under data-dependent selection and records of clustering carry
// none (65535): they have no best-fit row.
bool HasFinalModel(const kmCalcData& record);

// The MADWD rule. Model iModel (index from 0) of record is hidden when all
// of these hold: the session's kmOptMADWD is on; the record is valid; the
// record's own MADWD switch (its copy of kmOptMADWD) is set; and the
// model's MADWD pass flag is clear. A model index the record does not hold
// counts as hidden. A hidden model's values are written as "-".
bool IsModelMADWDExcluded(const kmSession& session, const kmCalcData& record,
                          int32_t iModel);

// The first letter of the session's rate unit ("A" for "Annual"), which
// titles such as "APC" carry in place of their "A"; an empty rate unit
// reads as annual.
char RateUnitLetter(const kmSession& session);

#endif  // KM_REPORTS_KMEXPORTENTRIES_H
