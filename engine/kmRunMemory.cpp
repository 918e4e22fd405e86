// km_run_memory: per-worker memory need and the workers that fit.
#include "engine/kmRunMemory.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

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

// dBytes in whole megabytes, rounded up.
std::string Megabytes(double dBytes) {
  return std::to_string(static_cast<long long>(std::ceil(dBytes / kMegabyte)));
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

CohortTaskNeed CohortTaskParts(const kmSession& session, int n) {
  const double dN = std::max(n, 1);
  CohortTaskNeed need;
  need.iObservations = static_cast<int32_t>(dN);
  need.iGridPointsBetween = std::max(0, session.GetInt(kmOptGridPointsBetween));
  // Every observation can be a candidate: n hinge columns at most per
  // observation gap and grid point between them.
  const double dK = dN * (1.0 + need.iGridPointsBetween);
  need.dCandidates = dK;
  const double dCols = dK + 2.0;
  const double dSets = std::max(0, session.GetInt(kmOptNumPermutations)) + 1.0;
  need.dDataSets = dSets;
  // Weights (W, A, B and L'L) n x n, the design n x (K + 2) and its cross
  // products (K + 2)^2, twice for the copies the searches hand on.
  need.dWeightBytes = kDouble * 4.0 * dN * dN;
  need.dGridBytes = kDouble * 2.0 * (dN * dCols + dCols * dCols);
  // The data sets: responses n, cross products K + 2, both copied once.
  need.dDataSetBytes =
      dSets * (2.0 * kDouble * (dN + dCols) + kDataSetRecordBytes);
  if (kmIsHudsons(session.Get<kmFitMethod>())) {
    need.dHudsonBytes = kSegmentFitBytes * dN * dN / 2.0;
  }
  if (session.Get<kmComparisonType>() == kmComparisonType::kClustering) {
    need.dClusteringBytes = ClusteringBytes(session, dN);
  }
  return need;
}

double CohortTaskNeed::Total() const {
  return kTaskBase + dWeightBytes + dGridBytes + dDataSetBytes + dHudsonBytes +
         dClusteringBytes;
}

double CohortTaskBytes(const kmSession& session, int n) {
  return CohortTaskParts(session, n).Total();
}

KmString CohortNeedText(const kmSession& session, int n, double dAvailable) {
  const CohortTaskNeed need = CohortTaskParts(session, n);
  struct Part {
    double dBytes;
    std::string sWhat;   // the part, its size to follow
    std::string sLower;  // what lowers it
  };
  const std::string sN = std::to_string(need.iObservations);
  std::vector<Part> vParts = {
      {need.dWeightBytes, "its weights (four " + sN + " x " + sN + " matrices)",
       "fewer observations per cohort (split a long series into cohorts by "
       "a by-variable)"},
      {need.dGridBytes,
       "the design and cross products of its " +
           std::to_string(static_cast<long long>(need.dCandidates)) +
           " candidate kinkmark locations",
       need.iGridPointsBetween > 0
           ? "a lower \"num obs between\" (" +
                 std::to_string(need.iGridPointsBetween) +
                 " candidates more per observation)"
           : "fewer observations per cohort (split a long series into "
             "cohorts by a by-variable)"},
      {need.dDataSetBytes,
       "the " + std::to_string(static_cast<long long>(need.dDataSets)) +
           " data sets of a permutation test",
       "fewer \"num permutations\", or an information criterion "
       "(\"model selection method = bic\")"},
      {need.dHudsonBytes,
       "the fits of its runs of observations in Hudson's table",
       "\"method = grid\", which keeps no such table"},
      {need.dClusteringBytes,
       "the clustering's fits of every subset of its adjustment groups",
       "fewer groups of the adjustment variable"},
  };
  std::stable_sort(
      vParts.begin(), vParts.end(),
      [](const Part& a, const Part& b) { return a.dBytes > b.dBytes; });
  // The parts that matter: a hundredth of the need or more.
  std::vector<Part> vShown;
  for (const Part& part : vParts) {
    if (part.dBytes >= need.Total() / 100.0) vShown.push_back(part);
  }
  KmString sText;
  sText << "Its largest cohort has " << sN.c_str()
        << " observations, and a cohort's memory grows as the square of "
           "its observations: ";
  for (size_t i = 0; i < vShown.size(); ++i) {
    if (i > 0) sText << (i + 1 == vShown.size() ? " and " : ", ");
    sText << vShown[i].sWhat.c_str() << " take about "
          << Megabytes(vShown[i].dBytes).c_str() << " MB";
  }
  sText << ".";
  // The largest cohort that fits.
  int32_t iLow = 0;
  int32_t iHigh = need.iObservations;
  while (iLow < iHigh) {
    const int32_t iMid = iLow + (iHigh - iLow + 1) / 2;
    if (CohortTaskBytes(session, iMid) <= dAvailable) {
      iLow = iMid;
    } else {
      iHigh = iMid - 1;
    }
  }
  if (iLow > 1) {
    sText << "  About " << std::to_string(iLow).c_str()
          << " observations per cohort fit in the memory available.";
  }
  sText << "  Lower what takes the most: ";
  std::vector<std::string> vLower;
  for (const Part& part : vShown) {
    if (std::find(vLower.begin(), vLower.end(), part.sLower) == vLower.end()) {
      vLower.push_back(part.sLower);
    }
  }
  for (size_t i = 0; i < vLower.size(); ++i) {
    if (i > 0) sText << "; ";
    sText << vLower[i].c_str();
  }
  sText << ".";
  return sText;
}

double AvailableBytes() {
  double dAvailable = MemInfoBytes("MemAvailable:");
  const double dRoom = CgroupRoomBytes();
  if (dRoom > 0.0)
    dAvailable = dAvailable > 0.0 ? std::min(dAvailable, dRoom) : dRoom;
  return dAvailable;
}

int32_t WorkersWithinMemory(int32_t iWorkers, double dNeed, double dAvailable,
                            const KmString& sWhy) {
  iWorkers = std::max<int32_t>(iWorkers, 1);
  if (!(dAvailable > 0.0) || !(dNeed > 0.0)) return iWorkers;
  const double dFit = std::floor(dAvailable / dNeed);
  if (dFit < 1.0) {
    GenerateKmExceptionF(
        "The run needs about %.0f MB of memory for each cohort, but only %.0f "
        "MB are available.%s%s",
        "kmCalculationHandler", std::ceil(dNeed / kMegabyte),
        std::floor(dAvailable / kMegabyte), sWhy.IsEmpty() ? "" : "  ",
        sWhy.GetCString());
  }
  return dFit < iWorkers ? static_cast<int32_t>(dFit) : iWorkers;
}

}  // namespace km_run_memory
