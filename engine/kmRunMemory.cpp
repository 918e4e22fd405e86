// km_run_memory: per-worker memory need and the workers that fit.
#include "engine/kmRunMemory.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>

#include "engine/KMClusteringAnalysis.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "session/kmClusterOptions.h"
#include "session/kmComparisonType.h"
#include "session/kmFitMethod.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"

namespace {

constexpr double kDouble = sizeof(double);
// A task's own objects, its calculator and result record, beside the
// matrices counted below.
constexpr double kTaskBase = 4.0 * 1024 * 1024;
// One segment fit of Hudson's table: the cell and its three small matrices
// with their allocation headers.
constexpr double kSegmentFitBytes = 256.0;
// Per data set of a permutation test beyond its response column and cross
// products: the search's record of the data set's best fit.
constexpr double kDataSetRecordBytes = 1024.0;
constexpr double kMegabyte = 1024.0 * 1024.0;
// A clustering keeps every fitted model of every candidate subset of groups
// until its partitions are scored, each with its weighting matrices over
// the subset's observations: measured, 68 bytes per squared observation of
// the subset and model (12 unordered groups of 20 observations, models of 0
// and 1 kinkmarks: 10.1 GB at the peak, 10.0 GB estimated).
constexpr double kClusterBytesPerSquaredObservation = 68.0;

// The number of groups a clustering of session forms: the labels of its
// adjustment variable; 0 when it has none.
int ClusterGroups(const kmSession& session) {
  if (session.GetKMVarPosition(kmVarAdjustment) == 0) return 0;
  const kmVariable& adjust = session.GetKMVar(kmVarAdjustment);
  return adjust.HasFormat() ? adjust.GetFormat().GetNumLines() : 0;
}

// The bytes the subset fits of a clustering hold at its peak, for groups
// of dN observations: for every candidate subset of m groups, its joint
// fit over m dN observations and the fit of each of its groups alone, one
// model per number of kinkmarks. 0 for a group count the clustering
// refuses.
double ClusteringBytes(const kmSession& session, double dN) {
  const int iGroups = ClusterGroups(session);
  const bool bOrdered =
      session.Get<kmClusterOrdering>() == kmClusterOrdering::kOrdered;
  if (iGroups < 1 || iGroups > (bOrdered ? kMaxOrderedClusterGroups
                                         : kMaxUnorderedClusterGroups)) {
    return 0.0;
  }
  // Sum over the subsets of m (m + 1), in squared group sizes: the ordered
  // mode has G - m + 1 runs of m groups, the unordered C(G, m) subsets.
  double dSquares = 0.0;
  double dSubsets = 1.0;
  for (int m = 1; m <= iGroups; ++m) {
    dSubsets =
        bOrdered ? iGroups - m + 1.0 : dSubsets * (iGroups - m + 1.0) / m;
    dSquares += dSubsets * m * (m + 1.0);
  }
  const double dModels = std::max(1, session.GetInt(kmOptMaxKinkmarks) -
                                         session.GetInt(kmOptMinKinkmarks) + 1);
  return kClusterBytesPerSquaredObservation * dModels * dN * dN * dSquares;
}

// The first number after sKey in /proc/meminfo, in bytes; 0 when absent.
double MemInfoBytes(const std::string& sKey) {
  std::ifstream in("/proc/meminfo");
  std::string sName;
  double dKb = 0.0;
  std::string sUnit;
  while (in >> sName >> dKb) {
    std::getline(in, sUnit);
    if (sName == sKey) return dKb * 1024.0;
  }
  return 0.0;
}

// The control group's memory limit less its use; 0 when it has none.
double CgroupRoomBytes() {
  std::ifstream max("/sys/fs/cgroup/memory.max");
  std::ifstream current("/sys/fs/cgroup/memory.current");
  std::string sMax;
  double dCurrent = 0.0;
  if (!(max >> sMax) || sMax == "max" || !(current >> dCurrent)) return 0.0;
  const double dLimit = std::atof(sMax.c_str());
  return dLimit > dCurrent ? dLimit - dCurrent : 1.0;
}

}  // namespace

namespace km_run_memory {

double CohortTaskBytes(const kmSession& session, int n) {
  const double dN = std::max(n, 1);
  // Every observation can be a candidate: n hinge columns at most per
  // observation gap and grid point between them.
  const double dK =
      dN * (1.0 + std::max(0, session.GetInt(kmOptGridPointsBetween)));
  const double dCols = dK + 2.0;
  const double dSets = std::max(0, session.GetInt(kmOptNumPermutations)) + 1.0;
  // Weights (W, A, B and L'L) n x n, the design n x (K + 2) and its cross
  // products (K + 2)^2, twice for the copies the searches hand on.
  double dBytes =
      kDouble * (4.0 * dN * dN + 2.0 * (dN * dCols + dCols * dCols));
  // The data sets: responses n, cross products K + 2, both copied once.
  dBytes += dSets * (2.0 * kDouble * (dN + dCols) + kDataSetRecordBytes);
  if (kmIsHudsons(session.Get<kmFitMethod>())) {
    dBytes += kSegmentFitBytes * dN * dN / 2.0;
  }
  if (session.Get<kmComparisonType>() == kmComparisonType::kClustering) {
    dBytes += ClusteringBytes(session, dN);
  }
  return kTaskBase + dBytes;
}

double AvailableBytes() {
  double dAvailable = MemInfoBytes("MemAvailable:");
  const double dRoom = CgroupRoomBytes();
  if (dRoom > 0.0)
    dAvailable = dAvailable > 0.0 ? std::min(dAvailable, dRoom) : dRoom;
  return dAvailable;
}

int32_t WorkersWithinMemory(int32_t iWorkers, double dNeed, double dAvailable) {
  iWorkers = std::max<int32_t>(iWorkers, 1);
  if (!(dAvailable > 0.0) || !(dNeed > 0.0)) return iWorkers;
  const double dFit = std::floor(dAvailable / dNeed);
  if (dFit < 1.0) {
    GenerateKmExceptionF(
        "The run needs about %.0f MB of memory for each cohort, but only %.0f "
        "MB are available.",
        "kmCalculationHandler", std::ceil(dNeed / kMegabyte),
        std::floor(dAvailable / kMegabyte));
  }
  return dFit < iWorkers ? static_cast<int32_t>(dFit) : iWorkers;
}

}  // namespace km_run_memory
