// The plain observation scan of the data file, fed line by line.
#ifndef KM_SESSION_KMOBSERVATIONSCAN_H
#define KM_SESSION_KMOBSERVATIONSCAN_H

#include <cstdint>

#include "foundation/KmString.h"
#include "foundation/KmVector.h"
#include "session/NumOfObs.h"

class kmSession;

// The scan of kmSession::DetermineMaximumObservations as a consumer of the
// data file's lines, fed one line at a time in file order. The lines are
// taken in file order, as read: blank lines are passed over, the others
// trimmed (KmLineSource::TrimDataLine); with kmOptVarNamesIncluded the first is
// the header and is dropped; kmOptHeaderLines further lines open every cohort,
// the last of them its first counted line; a line whose independent value
// (kmTools::ReadIndependentNumber) does not exceed the previous one starts
// the next cohort. Without
// such lines, a line whose independent value the format leaves out of the
// fits is passed over as the data reader passes it over; one whose
// independent value is blank or the missing text counts in its cohort.
class kmObservationScan {
 public:
  // Takes from session the independent variable's column, the field
  // delimiter, kmOptHeaderLines and kmOptVarNamesIncluded.
  // Throws: KmException "KM variable 0 not yet defined." when the session
  // has no independent variable; "Invalid call to GetDelimiterChar()" for a
  // delimiter code outside 0 to 3.
  explicit kmObservationScan(const kmSession& session);

  // The next line of the data file.
  void AddLine(const KmString& sLine);
  // After the last line: appends the cohorts' counts to the session's
  // observation counts and replaces its observation records and maximum
  // observations; *pbVarying becomes true when the counts differ.
  void Finish(kmSession& session, bool* pbVarying);

 private:
  // Field iIndepColumn_ of the trimmed line sLine.
  KmString IndependentValue(const KmString& sLine) const;

  int32_t iIndepColumn_;
  // The session, whose independent variable's format may leave records out.
  const kmSession& session_;
  int32_t iSkip_;
  char sDelimiter_[2];
  // The missing-value text, trimmed.
  KmString sMissing_;
  // The header line of variable names is still to come.
  bool bHeaderPending_;
  // A first data line has been read.
  bool bStarted_ = false;
  // Lines still to skip before the next counted line.
  int32_t iSkipLeft_ = 0;
  // The number of the last counted line's independent value (0 when it is
  // none), by kmTools::ReadIndependentNumber.
  double dPrevious_ = 0.0;
  int32_t iCount_ = 0;
  int32_t iCohortIndex_ = 0;
  KmVector<int32_t> vCounts_;
  KmVector<NumOfObs> vRecords_;
};

#endif  // KM_SESSION_KMOBSERVATIONSCAN_H
