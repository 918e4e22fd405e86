// kmUpperTriangularMatrix: construction and GetPartition.
#include "engine/kmUpperTriangularMatrix.h"

#include <new>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"

namespace {
constexpr const char* kClassName = "kmUpperTriangularMatrix";
}  // namespace

kmUpperTriangularMatrix::kmUpperTriangularMatrix(int a, int b) {
  // A throw from here destroys the rows already built with the base vector,
  // so a failed construction leaves nothing behind.
  WithCallPath("kmUpperTriangularMatrix()", kClassName, [&] {
    if (a < 1) {
      // a - 1 rows would be negative: a resize to that would ask for an
      // enormous unsigned count instead of failing clearly.
      GenerateKmExceptionF(
          "kmUpperTriangularMatrix(%d,%d): the number of rows cannot be "
          "negative.",
          kClassName, a, b);
    }
    const int iRows = a - 1;
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
      GenerateKmExceptionF(
          "kmUpperTriangularMatrix(%d,%d): not enough memory for the table.",
          kClassName, a, b);
    }
  });
}

kmPartition& kmUpperTriangularMatrix::GetPartition(int i, int j) {
  return WithCallPath("GetPartition()", kClassName, [&]() -> kmPartition& {
    const int iRows = static_cast<int>(size());
    if (i < 1 || i > iRows || i >= j ||
        j > static_cast<int>((*this)[0].size()) + 1) {
      GenerateKmExceptionF("Partition(%d,%d) is out of bounds.", "", i, j);
    }
    return (*this)[i - 1][j - i - 1];
  });
}
