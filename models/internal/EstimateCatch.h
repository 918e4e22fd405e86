// The catch block of the APC, AAPC and search-and-refit operations: a
// KmException passes through silently (whoever raised it has already
// reported what it needed), any other standard exception is reported on
// standard output and passed on unchanged; the matrix library's exceptions
// pass through untouched.
#ifndef KM_MODELS_INTERNAL_ESTIMATECATCH_H
#define KM_MODELS_INTERNAL_ESTIMATECATCH_H

#include <exception>

#include "foundation/KmException.h"
#include "models/internal/StandardCatch.h"

namespace km_models_internal {

// Runs body and returns its result. A KmException is rethrown as it is; any
// other std::exception is reported by ReportStandardException and rethrown
// as the same object.
template <typename Body>
auto WithEstimateCatch(Body&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const KmException&) {
    throw;
  } catch (const std::exception& e) {
    ReportStandardException(e);
    throw;
  }
}

}  // namespace km_models_internal

#endif  // KM_MODELS_INTERNAL_ESTIMATECATCH_H
