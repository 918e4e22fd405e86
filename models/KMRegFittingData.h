// KMRegFittingData: the candidate kinkmark-location grid of one fit.
#ifndef KM_MODELS_KMREGFITTINGDATA_H
#define KM_MODELS_KMREGFITTINGDATA_H

#include <newmat.h>

#include "foundation/OneDimensionArray.h"
#include "models/KMRegModelSettings.h"

// The grid of candidate kinkmark locations of one fit, built from the
// series' independent values and the grid settings by
// fill_FittingDataArrays, or filled directly by a caller that has its own
// grid (the calculator's grid searches fill candidates and candidateIndices).
//
// The grid: let U(1) < ... < U(D) be the distinct independent values of all
// series, and a, b, c the settings' minObsAtEnds, minObsBetween and
// gridPointsBetween. Each gap g = a .. D - a between U(g) and U(g + 1) is
// split into c + 1 equal steps. The first gap (g = a) contributes its c
// inner points; every later gap contributes U(g) itself and its c inner
// points. So the candidates lie strictly between U(a) and U(D - a + 1),
// M = max(0, (D - 2a)(c + 1) + c) of them, in increasing order. All
// candidates of one gap share its index number: (c + 1) b + 1 for the first
// gap, growing by c + 1 per gap. The location search reads these numbers as
// its successor table.
//
// A value class (no virtual operations); copies are deep; destruction runs
// clear.
class KMRegFittingData {
 public:
  // Empty arrays and vectors; settings at their defaults.
  KMRegFittingData() = default;
  KMRegFittingData(const KMRegFittingData& src) = default;
  KMRegFittingData& operator=(const KMRegFittingData& src) = default;
  // Calls clear.
  ~KMRegFittingData();

  // Fills candidates, candidateIndices and distinctX from xValues and
  // settings:
  //  - distinctX = the distinct independent values of all series in
  //    increasing order (exact comparison);
  //  - when settings.useUserLocations is set: candidates = the user's
  //    locations (n of them) and candidateIndices = (2, 3, ..., n + 1);
  //  - otherwise the grid described above.
  // Throws: the matrix library's index error when the grid is used with
  // a < 1 while a gap exists (the first gap would need U(a) with a < 1).
  // A KmException passing it collects a "Standard exception: <text>" report,
  // which the driver writes to standard output.
  void fill_FittingDataArrays();

  // Empties candidates, candidateIndices and distinctX.
  void clear();

  // 1. The independent values of each series.
  OneDimensionArray<NEWMAT::ColumnVector> xValues;
  // 2. The grid settings (minObsAtEnds, minObsBetween, gridPointsBetween,
  // userLocations, useUserLocations).
  KMRegModelSettings settings;
  // 3. Candidate kinkmark locations, increasing.
  NEWMAT::ColumnVector candidates;
  // 4. Index number of each candidate (whole numbers held as doubles).
  NEWMAT::ColumnVector candidateIndices;
  // 5. The distinct independent values, increasing.
  NEWMAT::ColumnVector distinctX;
};

#endif  // KM_MODELS_KMREGFITTINGDATA_H
