// The fixed-size array of the fitting and clustering code.
#ifndef KM_FOUNDATION_ONEDIMENSIONARRAY_H
#define KM_FOUNDATION_ONEDIMENSIONARRAY_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

// The text thrown by OneDimensionArray<T>::operator[] for an index outside
// the array.
inline constexpr const char kOneDimensionArrayIndexError[] =
    "Index Limit Exceeded! inside MyOwnArray:: operator[]() of "
    "OneDimensionArray";

// OneDimensionArray<T>: an owned array of size elements (none when size is
// 0). It has no capacity: every Resize and every assignment releases the
// elements and allocates anew, so callers size an array once and fill it by
// index.
//
// Its index check throws a plain text, kOneDimensionArrayIndexError (as a
// const char*), not a KmException, so handlers for KmException do not catch
// it. Such a throw can pass out of the fitting and clustering code into a
// worker task of the calculation control and from there to the driver: both
// boundaries must catch `const char*` as well and keep its text as the
// message.
template <typename T>
class OneDimensionArray {
 public:
  OneDimensionArray() = default;
  // Copies as assignment does.
  OneDimensionArray(const OneDimensionArray& src) { *this = src; }
  virtual ~OneDimensionArray() { Clear(); }

  // Element i. Throws kOneDimensionArrayIndexError (const char*) unless
  // 0 <= i < size.
  T& operator[](int i) {
    if (i < 0 || i >= iSize_) throw kOneDimensionArrayIndexError;
    return pData_[i];
  }
  const T& operator[](int i) const {
    if (i < 0 || i >= iSize_) throw kOneDimensionArrayIndexError;
    return pData_[i];
  }

  // The number of elements.
  int32_t GetSize() const { return iSize_; }

  // Destroys all elements and releases the array; size 0.
  void Clear() {
    delete[] pData_;
    pData_ = nullptr;
    iSize_ = 0;
  }

  // The same as Resize.
  void SetSize(int n) { Resize(n); }

  // Clear, then n new elements (none when n <= 0). Each new element is
  // default-constructed and then assigned the number 0 where its type takes
  // a number: 0 / 0.0 / false / null for plain types, the text "0" for a
  // KmString, the scalar 0 for a matrix; other records keep their
  // default-constructed state. The old contents are never kept.
  void Resize(int n) {
    Clear();
    if (n <= 0) return;
    pData_ = new T[static_cast<size_t>(n)]();
    iSize_ = n;
    if constexpr (std::is_class_v<T> && std::is_assignable_v<T&, int>) {
      for (int i = 0; i < iSize_; ++i) pData_[i] = 0;
    }
  }

  // Clear, Resize to the size of src, then copy element by element.
  // Assigning an array to itself leaves it unchanged.
  OneDimensionArray& operator=(const OneDimensionArray& src) {
    if (this == &src) return *this;
    Resize(src.iSize_);
    for (int i = 0; i < iSize_; ++i) pData_[i] = src.pData_[i];
    return *this;
  }

  // Element i = pSource[i] for i in 0 to size - 1.
  // REQUIRES: pSource holds at least size elements.
  void CopyElements(const T* pSource) {
    for (int i = 0; i < iSize_; ++i) pData_[i] = pSource[i];
  }

 private:
  T* pData_ = nullptr;
  int32_t iSize_ = 0;
};

#endif  // KM_FOUNDATION_ONEDIMENSIONARRAY_H
