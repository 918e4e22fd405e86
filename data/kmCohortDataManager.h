// Validation of one cohort's raw records by the kind of dependent variable,
// with the rate checks done on the way.
#ifndef KM_DATA_KMCOHORTDATAMANAGER_H
#define KM_DATA_KMCOHORTDATAMANAGER_H

#include <cstdint>
#include <functional>
#include <utility>

#include "data/kmCohortRows.h"
#include "foundation/KmString.h"

class kmSession;

// kmCohortDataManager checks the records of one cohort before any fit: the
// counts and populations of crude and age-adjusted rates computed by the
// program, the numerators and denominators of proportions and percents, or
// the dependent values given in the data. A problem of the data never
// throws: it clears the manager's valid flag and adds a sentence to its
// message,
//   "  <sentence> (Row = r, Col = c)  "
// with r = (cohort number - 1) x (records in the cohort) + the record's
// 0-based index and c = the field's 1-based location - 1. Only broken
// structure (no records, undefined locations, a first record shorter than a
// location) is thrown, as KmException of kind 0 with the method name as its
// source.
//
// One manager serves one verification pass: the total standard population
// of age-adjusted rates is computed from the first cohort that reaches that
// check still valid, and every later cohort uses the same total.
//
// Every method catches KmException, adds its name with "()" and the class
// "kmCohortDataManager" to the call path and rethrows.
//
// Thread safety: none; one manager is used by one thread.
class kmCohortDataManager {
 public:
  // Records of a cohort: one vector of field texts per record, in file
  // order, as split by the data reader (an empty field arrives as " ").
  typedef kmCohortRows Rows;

  // Empty message, total standard population -1.0, then Setup(pSession).
  // Throws: the errors of Setup, with "kmCohortDataManager()" added.
  explicit kmCohortDataManager(kmSession* pSession);
  kmCohortDataManager(const kmCohortDataManager&) = delete;
  kmCohortDataManager& operator=(const kmCohortDataManager&) = delete;
  virtual ~kmCohortDataManager();

  // Stores the session (not owned), reads its missing-value text and copies
  // the 1-based field locations of the variable roles (0 = undefined). The
  // delay-adjusted locations are copied only when the session file version
  // is at least 4.2, kmOptDictDelayStats is not 0 and kmOptDelayType is 2.
  // Throws: KmException "Session does not exist - invalid pointer." (source
  // "kmCalculationHandler") for a null pSession; the session's option and
  // missing-text errors.
  void Setup(kmSession* pSession);

  // Validates the records of one cohort for the dependent-variable type of
  // the session and appends the sentences to *psErrorText (when not null).
  // Dependent calculated: crude rates (type 1), age-adjusted rates (4),
  // proportions or percents (2, 3); other types are not checked. Dependent
  // given: the count (type 0) or the provided value (other types) is
  // checked, the delay-adjusted field when bDelay.
  // Returns: true when no problem was found. iNumAdjustGroups is the number
  // of adjustment-variable groups per independent value (age-adjusted rates
  // only); iCohortNumber (1-based) is not read by this or the Validate
  // methods: the sentences name records and columns only.
  // Throws: KmException for broken structure (see the Validate methods).
  // REQUIRES: vRows outlives the call.
  bool VerifyCohortData(const Rows& vRows, int iNumAdjustGroups,
                        KmString* psErrorText, int iCohortNumber, bool bDelay);

  // Checks count c and population p of every record for a crude rate,
  // stopping after the first record that cleared valid.
  // Throws: KmException "Cohort Data Vector Empty.", "Count or Population
  // variable offset is zero or less.", "Cohort row vector is empty.  This
  // most likely means ..." or "Cohort Row Vector does not contain enough
  // elements for rate calculations.  ..." (source "ValidateCrudeRates").
  void ValidateCrudeRates(KmString sMissing, int iCohortNumber);

  // Checks counts, populations and (bAgeAdjusted) standard populations of
  // every record, in groups of iNumAdjustGroups records per independent
  // value, and forms each group's age-adjusted rate to catch a zero rate of
  // a log-linear analysis. Computes the total standard population on first
  // use. A zero total population is reported only for a cohort that passed
  // every other check.
  // Throws: KmException "Cohort Data Vector Empty.", "Count variable offset
  // is zero or less.", "Pop variable offset is zero or less.", "Stnd Pop
  // variable offset is zero or less.", "Cohort row vector is empty.",
  // "Cohort Row Vector does not contain enough elements ...", "Adjustment
  // variable has less than 2 groups.  ..." (source
  // "ValidateCrudeOrAgeAdjRate").
  void ValidateCrudeOrAgeAdjRate(bool bAgeAdjusted, int iNumAdjustGroups,
                                 int iCohortNumber, KmString sMissing);

  // Checks the dependent field at 1-based iLocation of every record that
  // has one: missing, and for proportions and percents not numeric or
  // blank. iUnused is not read.
  void ValidateDependentVar(int iLocation, int iUnused, KmString sMissing,
                            int iCohortNumber);

  // Checks numerator (count location) and denominator (population location)
  // of every record of a proportion or percent. Refused besides missing,
  // non-numeric, negative and zero-denominator records and a numerator
  // above its denominator: a zero numerator under non-constant variance,
  // and a numerator equal to its denominator under the standard-error
  // model (both have a standard error of 0). A zero numerator of a
  // log-linear constant-variance model, fitted as 0.5, adds the zero-count
  // note once and leaves the cohort valid.
  // Throws: KmException "Cohort Data Vector Empty.", "Numerator or
  // Denominator variable offset is zero or less.", "Cohort row vector is
  // empty.", "Cohort Row Vector does not contain enough elements for percent
  // or proportion calculations." (source "ValidateProportionPercent").
  void ValidateProportionPercent(KmString sMissing, int iCohortNumber);

  // Where record r (0-based) of the cohort being verified stands, field at
  // 1-based column c: "Data file \"<name>\", line <n>, column <c>".
  typedef std::function<KmString(int32_t r, int c)> RecordPlaces;
  // Names the place and the value of each field the checks find no number
  // in, after its sentence: "<place>: the count \"<text>\" is not a
  // number." (or "is a number beyond those a double holds ..."). Without
  // it the sentence names the record and column only.
  void SetRecordPlaces(RecordPlaces places) { places_ = std::move(places); }

  // The result and the sentences of the last VerifyCohortData call.
  bool IsValid() const { return bValid_; }
  const KmString& GetMessage() const { return sMessage_; }
  // The total standard population; -1.0 until computed.
  double GetTotalStandardPopulation() const { return dTotalStdPopulation_; }

 private:
  // " (record r, column c)  " of record iRecord (0-based) of the current
  // cohort: its 1-based record and the 1-based column iLocation.
  KmString RowColText(int32_t iRecord, int iLocation) const;
  // Appends sSentence and its row and column to the message; clears valid.
  void Report(const char* sSentence, int32_t iRecord, int iLocation);
  // Report of sField, the sWhat at 1-based iLocation of record iRecord,
  // which holds no number a double holds (sSentence, whose "were not
  // numeric" reads "were beyond the numbers a double holds" for a number no
  // double holds); then its place, its text and the kind the one number
  // rule found, when the places are known.
  void ReportNoNumber(const char* sSentence, int32_t iRecord, int iLocation,
                      const char* sWhat, const KmString& sField);
  // Sums the standard populations of the first nGroup records (fewer when
  // the cohort is shorter) into the total standard population. A missing,
  // non-numeric or negative field is reported (every one) and leaves the
  // total uncomputed (-1.0), so that the next cohort computes it.
  void ComputeTotalStdPopulation(int32_t nGroup, const KmString& sMissing);
  // Refuses an empty cohort and count, population or standard population
  // locations that are unset or lie past the first record's fields.
  void CheckRateLayout(bool bAgeAdjusted, const char* sSource) const;
  // Poisson-type errors: kmOptHetErrorModel 4 or 1, or 0 in a log-linear
  // analysis.
  bool IsPoissonType() const;

  kmSession* pSession_;
  const Rows* pRows_;
  bool bValid_;
  KmString sMessage_;
  KmString sMissing_;
  int iIndependentLoc_;
  int iCountLoc_;
  int iPopulationLoc_;
  int iRateLoc_;
  int iStdErrorLoc_;
  int iAdjustLoc_;
  int iStdPopulationLoc_;
  int iDelayCountLoc_;
  int iDelayDependentLoc_;
  int iDelayStdErrorLoc_;
  double dTotalStdPopulation_;
  RecordPlaces places_;
};

#endif  // KM_DATA_KMCOHORTDATAMANAGER_H
