// KMClusterCandidate: resetClusterCandidateIndices.
#include "models/KMClusterCandidate.h"

void resetClusterCandidateIndices(KMClusterCandidate& candidate) {
  candidate.index1 = -1;
  candidate.index2 = -1;
  candidate.index3 = -1;
  candidate.count = 0;
  candidate.value = 0.0;
}
