// The one way a matrix-library exception becomes a KmException.
//
// newmat's exceptions are not std::exceptions: they derive from its own
// BaseException, whose text lives in one process-wide buffer that the next
// matrix error (in any thread) overwrites. The text is therefore copied out
// at once, under a process-wide lock, so that two fits failing on different
// worker threads at the same moment each keep a whole message of their own.
#ifndef KM_FOUNDATION_KMMATRIXERRORS_H
#define KM_FOUNDATION_KMMATRIXERRORS_H

#include <newmat.h>

#include <string>

#include "foundation/KmException.h"

// A copy of the matrix library's current error text ("detected by Newmat:
// ..."), taken under the lock that every copy shares.
std::string CopyMatrixErrorText();

// Runs body and returns its result. A matrix-library exception thrown by body
// becomes a KmException whose message is the library's text and whose source
// is sQualifiedName (such as "BaseKMRegModel::findTheBestTau()").
// Every other exception passes unchanged.
template <typename Body>
auto WithMatrixErrorsAsKm(const char* sQualifiedName, Body&& body)
    -> decltype(body()) {
  try {
    return body();
  } catch (NEWMAT::BaseException&) {
    const std::string sText = CopyMatrixErrorText();
    ThrowKmException(sText.c_str(), sQualifiedName);
  }
}

#endif  // KM_FOUNDATION_KMMATRIXERRORS_H
