// Stopping tables of the sequential permutation tests.
//
// A permutation test that may stop early asks, after each data set, whether
// the pair (data sets done i, exceedances so far j) is a stopping point of
// its table; the observed data set counts as the first data set and as the
// first exceedance. EarlyStopper is the interface the fitting engine reads;
// EarlyStopper_File holds one decoded table and EarlyStopperSet the
// process-wide cache of the twelve tables the engine carries.
#ifndef KM_ENGINE_EARLYSTOPPER_H
#define KM_ENGINE_EARLYSTOPPER_H

#include <cstdint>

// One stopping table: a grid of cell codes over i = 0..GetNumRows() and
// j = 0..GetNumCols(). Code 0 is no stopping point; 1, 2 and 3 are stopping
// points whose decision is 1.0 (reject), 0.0 (accept) or the table's
// boundary probability. Tables are read-only once built, so one object may
// be asked from many threads at once.
class EarlyStopper {
 public:
  virtual ~EarlyStopper() = default;

  // The cell of (i, j), without a range check.
  // REQUIRES: 0 <= i <= GetNumRows() and 0 <= j <= GetNumCols().
  virtual const uint8_t* GetCell(int i, int j) const = 0;
  // The decision of the table's boundary row (0.0 when it has none).
  virtual double GetProbability() const = 0;
  // The largest exceedance count j of the table.
  virtual int GetNumCols() const = 0;
  // The largest number of data sets i of the table.
  virtual int GetNumRows() const = 0;

  // True when the test may stop after i data sets with j exceedances: any
  // stopping point ends the test, whatever its decision.
  // Throws: KmException "Attempt to access element[i][j] in array with
  // dimensions <rows> by <cols>." (source "EarlyStopper") when i or j lies
  // outside the table; no cell outside it is ever read.
  bool CanStop(int i, int j) const;
};

#endif  // KM_ENGINE_EARLYSTOPPER_H
