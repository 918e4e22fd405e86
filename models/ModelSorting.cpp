// The heap sorts: sort_IndexValuePairs, sort_ColumnVector, sort_IntArray,
// order_IntArray.
#include <utility>

#include "models/ModelNumerics.h"
#include "models/internal/StandardCatch.h"

namespace {

// Restores the max-heap property below position iRoot of pData[0..iEnd).
void SiftDown(KMIndexValuePair* pData, int iRoot, int iEnd) {
  while (true) {
    int iChild = 2 * iRoot + 1;
    if (iChild >= iEnd) return;
    if (iChild + 1 < iEnd && pData[iChild].value < pData[iChild + 1].value) {
      ++iChild;
    }
    if (!(pData[iRoot].value < pData[iChild].value)) return;
    std::swap(pData[iRoot], pData[iChild]);
    iRoot = iChild;
  }
}

}  // namespace

void sort_IndexValuePairs(OneDimensionArray<KMIndexValuePair>& pairs) {
  const int n = pairs.GetSize();
  if (n <= 1) return;
  KMIndexValuePair* pData = &pairs[0];
  for (int i = n / 2 - 1; i >= 0; --i) SiftDown(pData, i, n);
  for (int iEnd = n - 1; iEnd > 0; --iEnd) {
    std::swap(pData[0], pData[iEnd]);
    SiftDown(pData, 0, iEnd);
  }
}

void sort_ColumnVector(NEWMAT::ColumnVector& v) {
  const int n = v.Nrows();
  if (n <= 1) return;
  OneDimensionArray<KMIndexValuePair> pairs;
  pairs.Resize(n);
  for (int i = 0; i < n; ++i) pairs[i] = {i + 1, v(i + 1)};
  sort_IndexValuePairs(pairs);
  for (int i = 0; i < n; ++i) v(i + 1) = pairs[i].value;
}

void sort_IntArray(OneDimensionArray<int>& values) {
  const int n = values.GetSize();
  if (n <= 1) return;
  OneDimensionArray<KMIndexValuePair> pairs;
  pairs.Resize(n);
  for (int i = 0; i < n; ++i) {
    pairs[i] = {i + 1, static_cast<double>(values[i])};
  }
  sort_IndexValuePairs(pairs);
  // Every int is exactly representable as a double, so this is exact.
  for (int i = 0; i < n; ++i) values[i] = static_cast<int>(pairs[i].value);
}

OneDimensionArray<int> order_IntArray(const OneDimensionArray<int>& values) {
  return km_models_internal::WithStandardCatch([&]() {
    OneDimensionArray<int> sorted = values;
    sort_IntArray(sorted);
    return sorted;
  });
}
