// The memory a calculation run needs per worker, the memory the process may
// use, and the number of workers that fit in it, so that a run too large
// for the machine is sized down or refused before its pool starts rather
// than failing in the middle.
#ifndef KM_ENGINE_KMRUNMEMORY_H
#define KM_ENGINE_KMRUNMEMORY_H

#include <cstdint>

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

// The bytes the process may still take: the system's available memory,
// lowered to what its control group's memory limit leaves; 0 when neither
// can be read.
double AvailableBytes();

// The number of workers (at most iWorkers, at least 1) whose tasks of
// dNeed bytes each fit in dAvailable bytes; iWorkers when dAvailable is 0
// (unknown).
// Throws: KmException "The run needs about <N> MB of memory for each cohort,
// but only <M> MB are available." (source "kmCalculationHandler") when not
// even one task fits.
int32_t WorkersWithinMemory(int32_t iWorkers, double dNeed, double dAvailable);

}  // namespace km_run_memory

#endif  // KM_ENGINE_KMRUNMEMORY_H
