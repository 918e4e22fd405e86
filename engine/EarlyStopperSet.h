// The process-wide cache of stopping tables.
#ifndef KM_ENGINE_EARLYSTOPPERSET_H
#define KM_ENGINE_EARLYSTOPPERSET_H

#include <vector>

#include "engine/EarlyStopper.h"
#include "engine/EarlyStopper_File.h"
#include "foundation/KmString.h"

// Hands out the stopping tables of the permutation tests. Each table is
// built at its first request and kept until the process ends; every later
// request with the same name gets the same object. The cache is searched
// and filled under one lock, so cohort tasks on several threads may ask at
// once and a table is built only once. The tables themselves are read-only.
class EarlyStopperSet {
 public:
  // The table for the overall level alpha of numberOfTests tests, each run
  // at level alpha / numberOfTests: alpha < 0.06 is taken as 0.05 and
  // 0.06 <= alpha < 0.2 as 0.1; numberOfTests runs from 1 to 4; curtailed
  // chooses the curtailed tables, otherwise the B-value tables.
  // Throws: KmException "Early Stopping is not available for these values.
  // You will have to generate early stopping tables yourself." (source
  // "EarlyStopperSet") for any other alpha or numberOfTests; call path
  // "GetEarlyStopper()".
  static const EarlyStopper* GetEarlyStopper(double alpha, int numberOfTests,
                                             bool curtailed);

  // The cached table named sName; when there is none, a table built from
  // vRows is cached under that name and returned. An empty name that is
  // not cached gives null.
  // Throws: the errors of EarlyStopper_File::ReadTableArray (nothing is
  // cached then); call path "GetEarlyStopper(KmString)".
  static const EarlyStopper* GetEarlyStopper(
      const KmString& sName, const std::vector<EarlyStopperRow>& vRows);
};

#endif  // KM_ENGINE_EARLYSTOPPERSET_H
