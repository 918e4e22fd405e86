// The catch block of the APC, AAPC and search-and-refit operations: every
// exception passes through as it is (whoever raised a KmException has
// already reported what it needed, and nothing is printed from the pool's
// threads).
#ifndef KM_MODELS_INTERNAL_ESTIMATECATCH_H
#define KM_MODELS_INTERNAL_ESTIMATECATCH_H

namespace km_models_internal {

// Runs body and returns its result; exceptions pass through unchanged.
template <typename Body>
auto WithEstimateCatch(Body&& body) -> decltype(body()) {
  return body();
}

}  // namespace km_models_internal

#endif  // KM_MODELS_INTERNAL_ESTIMATECATCH_H
