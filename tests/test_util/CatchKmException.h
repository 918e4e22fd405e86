// Test helper: runs a callable that is expected to throw KmException (or a
// type derived from it) and hands back a copy of what was thrown.
#ifndef KM_TESTS_TEST_UTIL_CATCHKMEXCEPTION_H
#define KM_TESTS_TEST_UTIL_CATCHKMEXCEPTION_H

#include <gtest/gtest.h>

#include "foundation/KmException.h"

namespace km_test {

// Returns the KmException thrown by f; records a test failure and returns an
// empty exception when f throws nothing.
template <typename F>
KmException CatchKmException(F&& f) {
  try {
    f();
  } catch (const KmException& e) {
    return e;
  }
  ADD_FAILURE() << "expected a KmException";
  return KmException();
}

}  // namespace km_test

#endif  // KM_TESTS_TEST_UTIL_CATCHKMEXCEPTION_H
