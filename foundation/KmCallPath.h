// The one way a method adds its line to a passing KmException's call path.
//
// Every layer between the point of failure and the driver names itself in
// the call path: a method wraps its body in WithCallPath, and a KmException
// leaving the body gains the line "<method> of <class>" before it travels on
// as the same object. Other exceptions pass through untouched.
#ifndef KM_FOUNDATION_KMCALLPATH_H
#define KM_FOUNDATION_KMCALLPATH_H

#include "foundation/KmException.h"

// Runs body and returns its result. A KmException thrown by body gets the
// call-path line for sMethod of sClassName (either may be null) and is
// rethrown unchanged otherwise.
template <typename Body>
auto WithCallPath(const char* sMethod, const char* sClassName, Body&& body)
    -> decltype(body()) {
  try {
    return body();
  } catch (KmException& e) {
    e.AddCallPath(sMethod, sClassName);
    throw;
  }
}

// As above, with sDetail (may be null) added to the line in parentheses, as
// KmException::AddCallPath writes it (for instance the file being read).
template <typename Body>
auto WithCallPath(const char* sMethod, const char* sClassName,
                  const char* sDetail, Body&& body) -> decltype(body()) {
  try {
    return body();
  } catch (KmException& e) {
    e.AddCallPath(sMethod, sClassName, sDetail);
    throw;
  }
}

#endif  // KM_FOUNDATION_KMCALLPATH_H
