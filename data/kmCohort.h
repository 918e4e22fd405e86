// One cohort of the data file as the pre-read found it.
#ifndef KM_DATA_KMCOHORT_H
#define KM_DATA_KMCOHORT_H

#include <cstdint>

#include "foundation/KmString.h"
#include "foundation/KmVector.h"

// kmCohort: one cohort (by-group) of the data file as the driver's pre-read
// found it: its by-group key (the trimmed by-variable fields joined by "/"),
// its display label, its number of records and of observations as its fit
// counts them, and, when the pre-read keeps them, the independent-value text
// of each record and each record's 1-based ordinal among the data records of
// the file. A plain value, copied (and moved) member-wise and held by value
// in KmVector<kmCohort>.
class kmCohort {
 public:
  // Empty key and label and three empty lists.
  kmCohort();
  kmCohort(const kmCohort& other) = default;
  kmCohort& operator=(const kmCohort& other) = default;
  // A list of cohorts that grows moves its records instead of copying them.
  kmCohort(kmCohort&& other) noexcept = default;
  kmCohort& operator=(kmCohort&& other) noexcept = default;
  virtual ~kmCohort();

  const KmString& GetKey() const { return sKey_; }
  void SetKey(const KmString& sKey) { sKey_ = sKey; }
  const KmString& GetLabel() const { return sLabel_; }
  void SetLabel(const KmString& sLabel) { sLabel_ = sLabel; }

  // Empties the independent values and the record numbers, and counts no
  // record and no observation.
  void ClearObservations();
  // Appends one record: its independent-value text and its 1-based ordinal
  // among the data records of the file.
  void AddObservation(const KmString& sIndepValue, int iRecordNumber);
  // Counts one record without keeping its text or number.
  void CountObservation() { ++iNumObservations_; }
  // Number of records of the cohort, kept or only counted.
  int32_t GetNumObservations() const { return iNumObservations_; }
  // The observations its fit counts (its years where the rates are formed
  // over the groups of an adjustment variable); set by the pre-read.
  int32_t GetFittedObservations() const { return iFittedObservations_; }
  void SetFittedObservations(int32_t n) { iFittedObservations_ = n; }
  // A copy of the independent-value text of record i (0-based) among the
  // records kept.
  // Throws: KmException "Requested observation (i) is out of Range.  Number
  // of obseravtions is: n" plus a line break (source
  // "kmCohort::GetObservations(int)") when i is outside 0 to n - 1, n the
  // records kept.
  KmString GetObservation(int i) const;
  const KmVector<KmString>& GetObservations() const { return vObservations_; }
  const KmVector<int>& GetRecordNumbers() const { return vRecordNumbers_; }
  // Further texts of the cohort; the pre-read leaves them empty.
  const KmVector<KmString>& GetFurtherTexts() const { return vFurtherTexts_; }

 private:
  // By-variable fields joined by "/"; empty without by-variables.
  KmString sKey_;
  // Per by-variable its format label or its field text, joined by "/".
  KmString sLabel_;
  // The trimmed independent-variable field of each record, in file order.
  KmVector<KmString> vObservations_;
  // Each record's 1-based ordinal among the data records of the file.
  KmVector<int> vRecordNumbers_;
  // Never filled by the pre-read.
  KmVector<KmString> vFurtherTexts_;
  int32_t iNumObservations_ = 0;
  int32_t iFittedObservations_ = 0;
};

#endif  // KM_DATA_KMCOHORT_H
