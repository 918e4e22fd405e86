// Shared setup of the per-cohort reader tests: sessions over two small
// comma-delimited layouts, and a run that verifies the data set and opens
// the file the way the calculation control does before its tasks read.
#ifndef KM_TESTS_DATA_READERFIXTURES_H
#define KM_TESTS_DATA_READERFIXTURES_H

#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>

#include "data/kmReadData.h"
#include "foundation/KmFormat.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"
#include "tests/test_util/TestUtil.h"

// Failure messages show a KmString as its text.
inline void PrintTo(const KmString& sText, std::ostream* pOut) {
  *pOut << '"' << sText.GetCString() << '"';
}

namespace reader_test {

// Rate layout (1-based columns): Sex, Year, Count, Pop, Rate, SE, DRate,
// DSE. Sex is the by-variable, Year the independent variable; Count, Pop,
// Rate, SE, DRate and DSE play the count, population, dependent, standard
// error and the two delay-adjusted roles. Comma-delimited, missing text
// ".", no header line, every cohort fittable (no kinkmarks asked for).
inline std::unique_ptr<kmSession> MakeRateSession(const std::string& sFile) {
  auto pSession = std::make_unique<kmSession>();
  const char* aNames[] = {"Sex",  "Year", "Count", "Pop",
                          "Rate", "SE",   "DRate", "DSE"};
  for (int i = 0; i < 8; ++i) {
    pSession->AddVariable(
        kmVariable(aNames[i], static_cast<uint16_t>(i + 1), nullptr));
  }
  pSession->AddByVarPosition(1);
  pSession->SetKMVarPosition(kmVarIndependent, 2);
  pSession->SetKMVarPosition(kmVarCount, 3);
  pSession->SetKMVarPosition(kmVarPopulation, 4);
  pSession->SetKMVarPosition(kmVarDependent, 5);
  pSession->SetKMVarPosition(kmVarStdError, 6);
  pSession->SetKMVarPosition(kmVarDelayRate, 7);
  pSession->SetKMVarPosition(kmVarDelaySE, 8);
  pSession->SetInt(kmOptFieldDelimiter, 2);
  pSession->SetInt(kmOptMissingCharacter, 1);
  pSession->SetInt(kmOptMaxKinkmarks, 0);
  pSession->SetInt(kmOptMinObsEnd, 1);
  pSession->SetInt(kmOptMinObsBetween, 0);
  pSession->SetBool(kmOptLogLinear, false);
  pSession->SetInt(kmOptHetErrorModel, 0);
  pSession->SetString(kmStrDataFile, sFile.c_str());
  return pSession;
}

// Age-adjusted layout: Sex, Year, Age, Count, Pop, StdPop; Age is the
// adjustment variable with a format of three groups. Rates are computed
// by the program (kmOptDependentType 4), otherwise as MakeRateSession.
inline std::unique_ptr<kmSession> MakeAgeAdjustedSession(
    const std::string& sFile) {
  auto pSession = std::make_unique<kmSession>();
  KmFormat ages;
  ages.SetDataType('S');
  ages.AddLine("1", "0-19", -1);
  ages.AddLine("2", "20-64", -1);
  ages.AddLine("3", "65+", -1);
  const char* aNames[] = {"Sex", "Year", "Age", "Count", "Pop", "StdPop"};
  for (int i = 0; i < 6; ++i) {
    pSession->AddVariable(kmVariable(aNames[i], static_cast<uint16_t>(i + 1),
                                     i == 2 ? &ages : nullptr));
  }
  pSession->AddByVarPosition(1);
  pSession->SetKMVarPosition(kmVarIndependent, 2);
  pSession->SetKMVarPosition(kmVarAdjustment, 3);
  pSession->SetKMVarPosition(kmVarCount, 4);
  pSession->SetKMVarPosition(kmVarPopulation, 5);
  pSession->SetKMVarPosition(kmVarStdPopulation, 6);
  pSession->SetInt(kmOptFieldDelimiter, 2);
  pSession->SetInt(kmOptMissingCharacter, 1);
  pSession->SetInt(kmOptMaxKinkmarks, 0);
  pSession->SetInt(kmOptMinObsEnd, 1);
  pSession->SetInt(kmOptMinObsBetween, 0);
  pSession->SetBool(kmOptLogLinear, false);
  pSession->SetInt(kmOptHetErrorModel, 0);
  pSession->SetBool(kmOptDependentCalculated, true);
  pSession->SetInt(kmOptDependentType, 4);
  pSession->SetString(kmStrDataFile, sFile.c_str());
  return pSession;
}

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
