// KMClusterCandidate: the candidate record carried through a clustering
// subset fit, and its index reset.
#ifndef KM_MODELS_KMCLUSTERCANDIDATE_H
#define KM_MODELS_KMCLUSTERCANDIDATE_H

#include <cstdint>

// The candidate record of the multi-group clustering: three index fields,
// a count and a value. It travels with a subset fit and is copied into its
// result; the model framework only resets it. A plain value record.
struct KMClusterCandidate {
  int32_t index1 = -1;
  int32_t index2 = -1;
  int32_t index3 = -1;
  int32_t count = 0;
  double value = -1.0;
};

// Sets the three index fields of candidate to -1, its count to 0 and its
// value to 0.0.
void resetClusterCandidateIndices(KMClusterCandidate& candidate);

#endif  // KM_MODELS_KMCLUSTERCANDIDATE_H
