// KMModelScoreRec: reset.
#include "models/KMModelScoreRec.h"

#include <limits>

void KMModelScoreRec::reset() {
  const double kMinusInf = -std::numeric_limits<double>::infinity();
  k0 = -1;
  k1 = -1;
  df1 = -1;
  df2 = -1;
  N = 0;
  pPerm = -1.0;
  alpha = -1.0;
  F = kMinusInf;
  pF = kMinusInf;
  selected = -1;
  retained = false;
}
