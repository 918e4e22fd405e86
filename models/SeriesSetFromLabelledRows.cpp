// build_SeriesSetFromLabelledRows.
#include "models/SeriesSetFromLabelledRows.h"

#include <cmath>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

namespace {

constexpr const char kSource[] = "build_SeriesSetFromLabelledRows";

// The 1-based rows of each distinct label, labels in order of first
// appearance and rows in table order.
std::vector<std::vector<int>> GroupRowsByLabel(
    const std::vector<std::string>& labels) {
  std::vector<std::vector<int>> groups;
  std::vector<int> pending;
  for (int r = 1; r <= static_cast<int>(labels.size()); ++r) {
    pending.push_back(r);
  }
  while (!pending.empty()) {
    const std::string& sLabel = labels[pending.front() - 1];
    std::vector<int> group;
    std::vector<int> rest;
    for (int r : pending) {
      (labels[r - 1] == sLabel ? group : rest).push_back(r);
    }
    groups.push_back(group);
    pending.swap(rest);
  }
  return groups;
}

}  // namespace

KMSeriesSet& build_SeriesSetFromLabelledRows(KMSeriesSet& out,
                                             const KMPartitionMatrix& rows,
                                             int32_t logFlag,
                                             int32_t weightFlag) {
  return WithStandardCatch([&]() -> KMSeriesSet& {
    const std::vector<std::string> labels = rows.labels;
    const NEWMAT::Matrix M = rows.matrix;
    const int N = M.Nrows();
    if (static_cast<int>(labels.size()) != N) {
      GenerateKmExceptionF(
          "The labelled rows hold %d labels but %d rows of numbers.", kSource,
          static_cast<int>(labels.size()), N);
    }
    const std::vector<std::vector<int>> groups = GroupRowsByLabel(labels);
    const int G = static_cast<int>(groups.size());

    out.clear();
    out.labels.Resize(G);
    out.xValues.Resize(G);
    out.yValues.Resize(G);
    out.covariance.ReSize(N);
    out.covariance = 0.0;

    int m = 0;  // row of the covariance, in output order
    for (int g = 0; g < G; ++g) {
      const std::vector<int>& group = groups[g];
      const int nRows = static_cast<int>(group.size());
      out.labels[g] = KmString(labels[group.front() - 1]);
      NEWMAT::ColumnVector x(nRows);
      NEWMAT::ColumnVector y(nRows);
      for (int t = 1; t <= nRows; ++t) {
        const int r = group[t - 1];
        ++m;
        const double dY = M(r, 2);
        const double dSE = M(r, 3);
        x(t) = M(r, 1);
        y(t) = dY;
        double dVariance = dSE * dSE;
        if (logFlag == 1) {
          y(t) = std::log(dY);
          dVariance = dSE * dSE / (dY * dY);
        }
        if (weightFlag == 0) dVariance = 1.0;
        out.covariance(m, m) = dVariance;
      }
      out.xValues[g] = x;
      out.yValues[g] = y;
    }
    return out;
  });
}
