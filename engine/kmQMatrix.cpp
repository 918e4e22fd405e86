// kmQMatrix: construction and GetQ.
#include "engine/kmQMatrix.h"

#include <new>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"

namespace {
constexpr const char* kClassName = "kmQMatrix";
}  // namespace

kmQMatrix::kmQMatrix(int16_t a, int b) {
  // A throw from here destroys the rows already built with the base vector.
  WithCallPath("kmQMatrix()", kClassName, [&] {
    if (a < -1) {
      GenerateKmExceptionF(
          "kmQMatrix(%d,%d): the number of rows cannot be negative.",
          kClassName, static_cast<int>(a), b);
    }
    const int iRows = a + 1;
    try {
      resize(static_cast<size_t>(iRows));
      for (int r = 0; r < iRows; ++r) {
        const int iLength = b - r;
        (*this)[r].resize(static_cast<size_t>(iLength > 0 ? iLength : 0));
      }
    } catch (std::bad_alloc&) {
      // A long series with many kinkmarks asks for a very large table; say
      // so instead of letting the allocator's exception escape the engine.
      clear();
      shrink_to_fit();
      GenerateKmExceptionF("kmQMatrix(%d,%d): not enough memory for the table.",
                           kClassName, static_cast<int>(a), b);
    }
  });
}

kmQ& kmQMatrix::GetQ(int16_t k, int c) {
  return WithCallPath("GetQ()", kClassName, [&]() -> kmQ& {
    if (k <= 0) {
      GenerateKmExceptionF("Q(%d,%d) is out of bounds.", "",
                           static_cast<int>(k), c);
    }
    // c - 1 in 64 bits: c = INT_MIN must still reach the index check.
    const long long iPos = static_cast<long long>(c) - 1;
    const int32_t iIndex =
        iPos < INT32_MIN ? INT32_MIN : static_cast<int32_t>(iPos);
    return (*this)[k - 1][iIndex];
  });
}
