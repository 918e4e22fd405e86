// Test helper: runs a callable that is expected to throw KmException (or a
// type derived from it) and hands back a copy of what was thrown.
#ifndef KM_TESTS_TEST_UTIL_CATCHKMEXCEPTION_H
#define KM_TESTS_TEST_UTIL_CATCHKMEXCEPTION_H

#include <gtest/gtest.h>

#include "foundation/KmException.h"

namespace km_test {

// Returns the KmException thrown by f; records a test failure and returns an
// empty exception when f throws nothing. Name a derived type as E to keep
// what it adds (a conversion's letter and text).
template <typename E = KmException, typename F>
E CatchKmException(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e;
  }
  ADD_FAILURE() << "expected a KmException";
  return E();
}

}  // namespace km_test

#endif  // KM_TESTS_TEST_UTIL_CATCHKMEXCEPTION_H
