// The memory a calculation run needs per worker, the memory the process may
// use, and the number of workers that fit in it, so that a run too large
// for the machine is sized down or refused before its pool starts rather
// than failing in the middle.
#ifndef KM_ENGINE_KMRUNMEMORY_H
#define KM_ENGINE_KMRUNMEMORY_H

#include <cstdint>

#include "foundation/KmString.h"

class kmSession;

namespace km_run_memory {

// An upper estimate of the bytes one cohort task holds while it fits a
// cohort of n observations under the session's options: the weight and
// design matrices and cross products of the candidate grid, the response
// and cross products of every data set of a permutation test (P + 1
// of them), under Hudson's method its table of segment fits, and, in a
// multi-group clustering over the adjustment variable's groups of n
// observations each, the fits of every candidate subset of groups.
double CohortTaskBytes(const kmSession& session, int n);

// The parts of CohortTaskBytes, in bytes, with what sizes them.
struct CohortTaskNeed {
  int32_t iObservations = 0;  // n (at least 1)
  int32_t iGridPointsBetween = 0;
  double dCandidates = 0.0;  // candidate kinkmark locations
  double dDataSets = 0.0;    // data sets of a permutation test
  double dWeightBytes = 0.0;
  double dGridBytes = 0.0;  // the design and cross products of the grid
  double dDataSetBytes = 0.0;
  double dHudsonBytes = 0.0;
  double dClusteringBytes = 0.0;
  // CohortTaskBytes: the parts and the task's own objects.
  double Total() const;
};
CohortTaskNeed CohortTaskParts(const kmSession& session, int n);

// Why a task for a cohort of n observations needs what it needs, for the
// refusal of WorkersWithinMemory: the cohort's observations, the parts of
// the need that take a hundredth of it or more, largest first, with their
// megabytes, the largest cohort that fits in dAvailable bytes, and what
// lowers each part (fewer observations per cohort, "num obs between",
// "num permutations", "method = grid", fewer adjustment groups).
KmString CohortNeedText(const kmSession& session, int n, double dAvailable);

// The bytes the process may still take: the system's available memory,
// lowered to what its control group's memory limit leaves; 0 when neither
// can be read.
double AvailableBytes();

// The number of workers (at most iWorkers, at least 1) whose tasks of
// dNeed bytes each fit in dAvailable bytes; iWorkers when dAvailable is 0
// (unknown).
// Throws: KmException "The run needs about <N> MB of memory for each cohort,
// but only <M> MB are available." followed by two blanks and sWhy when it
// is not empty (source "kmCalculationHandler") when not even one task fits.
int32_t WorkersWithinMemory(int32_t iWorkers, double dNeed, double dAvailable,
                            const KmString& sWhy = KmString());

}  // namespace km_run_memory

#endif  // KM_ENGINE_KMRUNMEMORY_H
