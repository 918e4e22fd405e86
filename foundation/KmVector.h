// The list type of every record list in the session, the results records
// and the reports.
#ifndef KM_FOUNDATION_KMVECTOR_H
#define KM_FOUNDATION_KMVECTOR_H

#include <cstdint>
#include <vector>

#include "foundation/KmException.h"

// KmVector<T>: a standard vector of T (all its operations stay available)
// with a virtual destructor, so lists can be deleted through a pointer, and
// an element access that checks its index. Held by value; copying copies the
// elements.
template <typename T>
class KmVector : public std::vector<T> {
 public:
  using Base = std::vector<T>;
  using Base::Base;
  using typename Base::const_reference;
  using typename Base::reference;

  KmVector() = default;
  KmVector(const KmVector&) = default;
  KmVector(KmVector&&) noexcept = default;
  KmVector& operator=(const KmVector&) = default;
  KmVector& operator=(KmVector&&) noexcept = default;
  virtual ~KmVector() = default;

  // Element i. Throws KmException "Index i out of range; vector is from 0 to
  // size - 1" (source "KmVector", kind 0) when i < 0 or i >= size.
  reference operator[](int32_t i) {
    CheckIndex(i);
    return Base::operator[](static_cast<size_t>(i));
  }
  const_reference operator[](int32_t i) const {
    CheckIndex(i);
    return Base::operator[](static_cast<size_t>(i));
  }

  // out = element i; throws as operator[] does.
  void GetAt(T& out, int32_t i) const {
    CheckIndex(i);
    out = Base::operator[](static_cast<size_t>(i));
  }
  // Element i = value; throws as operator[] does.
  void SetAt(const T& value, int32_t i) {
    CheckIndex(i);
    Base::operator[](static_cast<size_t>(i)) = value;
  }

 private:
  void CheckIndex(int32_t i) const {
    if (static_cast<uint32_t>(i) >= Base::size()) {
      GenerateKmExceptionF("Index %d out of range; vector is from %d to %d",
                           "KmVector", i, 0,
                           static_cast<int>(Base::size()) - 1);
    }
  }
};

#endif  // KM_FOUNDATION_KMVECTOR_H
