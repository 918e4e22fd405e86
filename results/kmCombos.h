// The table of by-variable combinations and pairwise comparisons that
// indexes a results file, with the builders of their display labels.
#ifndef KM_RESULTS_KMCOMBOS_H
#define KM_RESULTS_KMCOMBOS_H

#include <cstdint>

#include "foundation/KmString.h"
#include "foundation/KmVector.h"

class KmIO_File;
class KmProgressInterface;
class kmSession;

// kmCombos is the index of everything a results file holds. Entries are
// numbered with the combinations first (0 to nc - 1, one per cohort, in
// cohort order) and the pairwise comparisons after them (nc to
// nc + np - 1); the results file stores one record per entry in that order.
// A combination holds one coded value per by-variable, in the session's
// by-variable order; a comparison holds the two combination indices {a, b}
// it compares. The cohort index vectors hold, per entry, the cohort indices
// it involves: {e} for a combination, {a, b} for a comparison.
//
// The data reader registers the combinations, the results-file handler
// builds the comparisons and writes and reads the table; the reports turn
// entries into labels through the session's by-variable value formats.
//
// Record in the results file (little-endian): Long nc; Long np; per
// combination, then per comparison, an entry: Int 0, Short 0, Long k, Long 0,
// k Ints (the values); then Int number of by-variables. The cohort index
// vectors are not stored; Read rebuilds them.
//
// Every operation catches KmException, adds its method name and "kmCombos"
// to the call path and rethrows.
class kmCombos {
 public:
  // Largest number of by-variables a table can have.
  static constexpr int32_t kMaxByVars = 10;

  // An empty table for nByVars by-variables.
  // Throws: KmException of the input kind "Cannot have more than 10 by
  // variables." (source "kmCombos") when nByVars > 10.
  explicit kmCombos(int32_t nByVars);
  kmCombos(const kmCombos& other) = default;
  kmCombos& operator=(const kmCombos& other) = default;
  virtual ~kmCombos();

  // Appends combination v.
  // Throws: KmException "Combination vector does not contain <n> elements."
  // (source "AddCombination()") unless v holds exactly one value per
  // by-variable.
  void AddCombination(KmVector<int> v);
  // Appends comparison v ({a, b}); not checked.
  void AddComparison(KmVector<int> v);
  // Appends one cohort index vector; not checked.
  void AddCohortIndices(KmVector<int> v);
  // Empty the comparisons, or the cohort index vectors.
  void ResetComparisons();
  void ResetCohortIndices();

  // Copies of combination i and comparison i.
  // Throws: the KmVector index error "Index %d out of range; vector is from
  // %d to %d" when i is outside the list.
  KmVector<int> GetCombination(int i) const;
  KmVector<int> GetComparison(int i) const;
  // Entry i: combination i when i < nc; otherwise comparison i - nc, or an
  // empty vector when there are no comparisons.
  // Throws: the KmVector index error for a negative i or i >= nc + np
  // (with comparisons).
  KmVector<int> GetComboOrComparison(int i) const;
  // True when entry i is a comparison: nc > 0 and nc <= i <= nc + np - 1.
  bool IsComparisonIndex(int i) const;

  int32_t GetNumCombinations() const {
    return static_cast<int32_t>(vCombinations_.size());
  }
  int32_t GetNumComparisons() const {
    return static_cast<int32_t>(vComparisons_.size());
  }
  int32_t GetNumByVars() const { return nByVars_; }
  // The cohort index vectors, one per entry once built.
  const KmVector<KmVector<int> >& GetCohortIndices() const {
    return vCohortIndices_;
  }

  // The level labels of combination iCohort: for every by-variable j of the
  // session, in order, the value-format label of the combination's value j.
  // Throws: KmException "Invalid kmSession." for a null session; the
  // KmVector index error for an unknown combination or a combination with
  // fewer values than the session has by-variables; kmVariable's "Requesting
  // label for value ..." for a by-variable without a format, and its line
  // error for a value that no format line holds.
  KmVector<KmString> GetCohortLabelEachLevel(int iCohort,
                                             const kmSession* pSession) const;
  // The labels of iCohort1 followed by those of iCohort2 (the cohort label
  // of a comparison record). Throws as above.
  KmVector<KmString> GetCohortLabelEachLevel(int iCohort1, int iCohort2,
                                             const kmSession* pSession) const;

  // The label of combination i: its level labels joined with " / ". The
  // last, synthetic by-variable is left out when the session has one
  // (kmAnalysisCopies::LastByVarIsSynthetic). With bByLine each value is passed
  // to kmVariable::GetLabel as a format line number. Throws as
  // GetCohortLabelEachLevel.
  KmString GetComboLabel(int i, const kmSession* pSession, bool bByLine) const;
  // The label of comparison k = {a, b}: every level label of combination a
  // joined with " / ", then " vs. ", then the label of combination b's value
  // of the last by-variable (its decimal value when that by-variable has no
  // format). Throws as GetCohortLabelEachLevel.
  KmString GetComparisonLabel(int k, const kmSession* pSession) const;
  // The label of entry i: GetComboLabel for a combination, GetComparisonLabel
  // for a comparison.
  // Throws: KmException "Label index (i) greater than number of comparisons
  // and combinations combined (nc + np)." (source "GetLabel()") for
  // i >= nc + np; the errors above.
  KmString GetLabel(int i, const kmSession* pSession, bool bByLine) const;

  // Writes the table at the file's current position.
  // Throws: KmException "Invalid KmIO_File." (source "kmCombos") for a null
  // pIO; "Cannot store ..." when a list is too long for its Long count.
  void Write(KmIO_File* pIO) const;
  // Reads a table written by a file of version dFileVersion (files older
  // than 3.300 have no comparison count and no comparisons) and rebuilds the
  // cohort index vectors: {u} for every combination, then a copy of every
  // comparison. With a progress interface, StepBy(1) follows every
  // step-th comparison (step 1 for fewer than 5 comparisons, else np / 5)
  // and the rebuilding stops once the interface reports cancellation.
  // Throws: KmException "Invalid KmIO_File." for a null pIO; "This KMO is
  // either corrupt or not compatible with this version of Kinkmark.  The KMO
  // read process found a negative count (<n>) of <what>." for a negative
  // count; "Unexpected end of the results file while reading a kmCombos
  // record." for a file that ends inside the table. The table is unchanged
  // when the read fails.
  void Read(KmIO_File* pIO, double dFileVersion,
            KmProgressInterface* pProgress);

 private:
  // The value-format label of value iValue of by-variable j (its line with
  // bByLine); the value itself when the by-variable has no format.
  static KmString LevelLabel(const kmSession& session, int j, int iValue,
                             bool bByLine);

  KmVector<KmVector<int> > vCombinations_;
  int32_t nByVars_;
  KmVector<KmVector<int> > vComparisons_;
  KmVector<KmVector<int> > vCohortIndices_;
};

#endif  // KM_RESULTS_KMCOMBOS_H
