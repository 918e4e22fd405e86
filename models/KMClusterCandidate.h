// KMClusterCandidate: the candidate record carried through a clustering
// subset fit, and its index reset.
#ifndef KM_MODELS_KMCLUSTERCANDIDATE_H
#define KM_MODELS_KMCLUSTERCANDIDATE_H

#include <cstdint>
#include <limits>

#include "stats/MTRandomGenerator.h"

// The candidate record of the multi-group clustering: three index fields,
// a count, four values, a flag and the generator of the candidate. It
// travels with a subset fit and is copied into its result; no decision
// reads it, and the model framework only resets it. A plain value record.
struct KMClusterCandidate {
  int32_t index1 = -1;
  int32_t index2 = -1;
  int32_t index3 = -1;
  int32_t count = 0;
  double value = -1.0;
  double value2 = -1.0;
  double value3 = -std::numeric_limits<double>::infinity();
  double value4 = -std::numeric_limits<double>::infinity();
  bool flag = true;
  MTRandomGenerator generator;
};

// Sets the three index fields of candidate to -1, its count to 0 and its
// first value to 0.0; the rest is untouched.
void resetClusterCandidateIndices(KMClusterCandidate& candidate);

#endif  // KM_MODELS_KMCLUSTERCANDIDATE_H
