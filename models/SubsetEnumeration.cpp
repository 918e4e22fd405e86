// Holds build_BinomialTable, find_SubsetPivot, next_KSubset,
// enumerate_KSubsets, set_Difference, gather_ByIndexArray,
// strip_IndexArrayEnds and bracket_IndexArray.
#include "models/SubsetEnumeration.h"

#include <cstdint>

#include "foundation/KmVector.h"
#include "foundation/OneDimensionArray.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

namespace {

using IndexArray = OneDimensionArray<int>;

constexpr int64_t kInt32Max = INT32_MAX;

// The array [first, first + 1, ..., first + size - 1].
IndexArray MakeRun(int32_t size, int first) {
  IndexArray result;
  result.Resize(size);
  for (int32_t i = 0; i < size; ++i) result[i] = first + i;
  return result;
}

// The element index of 1-based position p; the lowest position maps to an
// index the checked access rejects rather than overflowing.
int32_t ElementOf(int p) { return p > INT32_MIN ? p - 1 : -1; }

int32_t FindSubsetPivot(const IndexArray& A, int32_t k, int32_t n) {
  if (A.GetSize() == 0) return 0;
  for (int32_t p = k; p >= 1; --p) {
    // The largest value position p can hold with room for the later ones.
    const int64_t iBound = static_cast<int64_t>(n) - k + p;
    if (A[p - 1] != iBound) return p;
  }
  return 0;
}

IndexArray NextKSubset(const IndexArray& A, int32_t k, int32_t n) {
  if (k <= 0 || n <= 0 || k > n) return IndexArray();
  if (A.GetSize() == 0) return MakeRun(k, 1);
  const int32_t p = FindSubsetPivot(A, k, n);
  if (p < 1) return IndexArray();
  IndexArray result;
  result.Resize(k);
  for (int32_t i = 1; i < p; ++i) result[i - 1] = A[i - 1];
  // Computed wide: a malformed A with an entry at INT_MAX must not overflow.
  const int64_t iMoved = static_cast<int64_t>(A[p - 1]) + 1;
  for (int32_t i = p; i <= k; ++i) {
    result[i - 1] = static_cast<int>(iMoved + (i - p));
  }
  return result;
}

}  // namespace

void build_BinomialTable(BinomialTable& table, int32_t n) {
  WithStandardCatch([&] {
    if (n < 0) return;
    table.push_back(KmVector<int32_t>(static_cast<size_t>(n), 0));
    // Pascal's rule on the previous row. Every entry is at most 2^31 - 1, so
    // a sum fits 64 bits and a coefficient too large for 32 bits is held at
    // 2^31 - 1; a held value is then at most the true one, and any sum that
    // involves it is too large as well, so holding stays exact-or-capped.
    KmVector<int32_t> previous;
    for (int32_t m = 1; m <= n; ++m) {
      KmVector<int32_t> row(static_cast<size_t>(m) + 1, 1);
      for (int32_t j = 1; j < m; ++j) {
        const int64_t iSum = static_cast<int64_t>(previous[j - 1]) +
                             static_cast<int64_t>(previous[j]);
        row[j] = static_cast<int32_t>(iSum > kInt32Max ? kInt32Max : iSum);
      }
      table.push_back(row);
      previous = row;
    }
  });
}

int32_t find_SubsetPivot(const OneDimensionArray<int>& A, int32_t k,
                         int32_t n) {
  return WithStandardCatch([&] { return FindSubsetPivot(A, k, n); });
}

OneDimensionArray<int> next_KSubset(const OneDimensionArray<int>& A, int32_t k,
                                    int32_t n) {
  return WithStandardCatch([&] { return NextKSubset(A, k, n); });
}

OneDimensionArray<int> enumerate_KSubsets(const OneDimensionArray<int>& A,
                                          int32_t k, int32_t n) {
  return WithStandardCatch([&] {
    if (k <= 0 || n <= 0 || k > n) return IndexArray();
    const int32_t s = A.GetSize();
    if (s == 0) return NextKSubset(IndexArray(), 1, n);
    if (s > k) return IndexArray();
    IndexArray next = NextKSubset(A, s, n);
    // The s-subsets are exhausted: the next size starts at [1, ..., s + 1].
    if (next.GetSize() == 0 && s < k)
      return NextKSubset(IndexArray(), s + 1, n);
    return next;
  });
}

OneDimensionArray<int> set_Difference(const OneDimensionArray<int>& A,
                                      const OneDimensionArray<int>& B) {
  return WithStandardCatch([&] {
    const int32_t a = A.GetSize();
    const int32_t b = B.GetSize();
    if (a <= 0 || b >= a || b < 0) return IndexArray();
    IndexArray result;
    result.Resize(a - b);
    int32_t r = 0;
    int32_t q = 1;
    for (int32_t i = 1; i <= a; ++i) {
      if (q <= b && i >= B[q - 1]) {
        ++q;
      } else {
        result[r] = A[i - 1];
        ++r;
      }
    }
    return result;
  });
}

OneDimensionArray<int> gather_ByIndexArray(const OneDimensionArray<int>& A,
                                           const OneDimensionArray<int>& I,
                                           int v) {
  return WithStandardCatch([&] {
    const int32_t a = A.GetSize();
    const int32_t m = I.GetSize();
    if (a < 0 || m + 1 > a) return IndexArray();
    IndexArray result;
    result.Resize(m + 1);
    result[0] = v;
    for (int32_t t = 1; t <= m; ++t) result[t] = A[ElementOf(I[t - 1])];
    return result;
  });
}

OneDimensionArray<int> strip_IndexArrayEnds(const OneDimensionArray<int>& A) {
  return WithStandardCatch([&] {
    const int32_t a = A.GetSize();
    if (a <= 0) return IndexArray();
    IndexArray result;
    result.Resize(a > 2 ? a - 2 : 0);
    for (int32_t t = 1; t <= a - 2; ++t) result[t - 1] = A[t];
    return result;
  });
}

OneDimensionArray<int> bracket_IndexArray(const OneDimensionArray<int>& A,
                                          int v) {
  return WithStandardCatch([&] {
    const int32_t a = A.GetSize();
    IndexArray result;
    result.Resize(a + 2);
    result[0] = 0;
    for (int32_t t = 1; t <= a; ++t) result[t] = A[t - 1];
    result[a + 1] = v;
    return result;
  });
}
