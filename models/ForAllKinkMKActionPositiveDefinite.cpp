// ForAllKinkMKAction: isPositiveDefinite.
#include "models/ForAllKinkMKAction.h"
#include "models/PositiveDefinite.h"

// check_PositiveDefinite reports a passing standard exception itself, so
// the forward adds no second report.
bool ForAllKinkMKAction::isPositiveDefinite(int n, const NEWMAT::Matrix& A,
                                            NEWMAT::Matrix& inverse,
                                            int16_t& rank) {
  return check_PositiveDefinite(n, A, inverse, rank);
}
