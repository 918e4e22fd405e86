// The catch block shared by the numeric operations of the model framework:
// a KmException passing through collects one "Standard exception" report,
// which the driver writes on standard output; any other exception passes
// through untouched. Nothing is printed here: the operations run on the
// pool's threads.
#ifndef KM_MODELS_INTERNAL_STANDARDCATCH_H
#define KM_MODELS_INTERNAL_STANDARDCATCH_H

#include "foundation/KmException.h"

namespace km_models_internal {

// Runs body and returns its result. A KmException thrown by body gets one
// more standard-exception report and is rethrown as the same object.
template <typename Body>
auto WithStandardCatch(Body&& body) -> decltype(body()) {
  try {
    return body();
  } catch (KmException& e) {
    e.AddStandardReport();
    throw;
  }
}

}  // namespace km_models_internal

#endif  // KM_MODELS_INTERNAL_STANDARDCATCH_H
