// EarlyStopper: CanStop.
#include "engine/EarlyStopper.h"

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"

bool EarlyStopper::CanStop(int i, int j) const {
  return WithCallPath("CanStop()", "EarlyStopper_A05_E1", [&]() -> bool {
    if (i < 0 || i > GetNumRows() || j < 0 || j > GetNumCols()) {
      GenerateKmExceptionF(
          "Attempt to access element[%d][%d] in array with dimensions %d by "
          "%d.",
          "EarlyStopper", i, j, GetNumRows(), GetNumCols());
    }
    return *GetCell(i, j) != 0;
  });
}
