// km_run_memory: per-worker memory need and the workers that fit.
#include "engine/kmRunMemory.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>

#include "foundation/KmException.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

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
  if (session.GetInt(kmOptMethod) == 1) {
    dBytes += kSegmentFitBytes * dN * dN / 2.0;
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
