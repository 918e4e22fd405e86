// Shared setup of the per-cohort reader tests: sessions over two small
// comma-delimited layouts (from the shared test sessions), and a run that
// verifies the data set and opens the file the way the calculation control does
// before its tasks read.
#ifndef KM_TESTS_DATA_READERFIXTURES_H
#define KM_TESTS_DATA_READERFIXTURES_H

#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>

#include "data/kmReadData.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"
#include "tests/test_util/TestSession.h"
#include "tests/test_util/TestUtil.h"

// Failure messages show a KmString as its text.
inline void PrintTo(const KmString& sText, std::ostream* pOut) {
  *pOut << '"' << sText.GetCString() << '"';
}

namespace reader_test {

// The rate and age-adjusted layouts of the reader tests.
using km_test::MakeAgeAdjustedSession;
using km_test::MakeRateSession;

// One calculation run's reader: built on the session and a results
// handler, the data set verified, the data file opened for the tasks.
struct ReaderRun {
  explicit ReaderRun(std::unique_ptr<kmSession> pNewSession)
      : pSession(std::move(pNewSession)),
        handler(pSession.get()),
        reader(pSession.get(), &handler) {
    KmString sMessage;
    reader.VerifyDelayRateCalcNEW(sMessage, false);
    reader.OpenInputFile(true);
  }
  ~ReaderRun() { reader.CloseInputFile(); }

  std::unique_ptr<kmSession> pSession;
  kmCalcHandler handler;
  kmReadData reader;
};

// " (record r, column c)  " of 0-based record iRecord and column iCol, as
// the record checks name a faulty field.
inline std::string At(int iRecord, int iCol) {
  return " (record " + std::to_string(iRecord + 1) + ", column " +
         std::to_string(iCol + 1) + ")  ";
}

// The record checks' message for a missing dependent value.
inline const std::string kMissingDep =
    "  Kinkmark cannot process records with missing dependent variable "
    "values.  Kinkmark will not analyze by-groups that have this error.";

// The number at the start of a field text ("%20.10f" fields included).
inline double Num(const KmString& sField) {
  return std::atof(sField.GetCString());
}

}  // namespace reader_test

#endif  // KM_TESTS_DATA_READERFIXTURES_H
