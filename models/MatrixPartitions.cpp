// Partition utilities: count_PartitionMembers, reorder_MatrixByPartition,
// collect_PartitionGroups, partitionsToMatrix.
#include <cstddef>

#include "models/MatrixBuilders.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

int count_PartitionMembers(
    const OneDimensionArray<OneDimensionArray<int>>& partition) {
  return WithStandardCatch([&]() {
    int iTotal = 0;
    for (int g = 0; g < partition.GetSize(); ++g) {
      iTotal += partition[g].GetSize();
    }
    return iTotal;
  });
}

NEWMAT::Matrix reorder_MatrixByPartition(
    const OneDimensionArray<OneDimensionArray<int>>& partition,
    const NEWMAT::Matrix& M) {
  return WithStandardCatch([&]() {
    const int n = count_PartitionMembers(partition);
    std::vector<int> order;
    order.reserve(static_cast<size_t>(n));
    for (int g = 0; g < partition.GetSize(); ++g) {
      const OneDimensionArray<int>& group = partition[g];
      for (int i = 0; i < group.GetSize(); ++i) order.push_back(group[i]);
    }
    NEWMAT::Matrix reordered(n, n);
    for (int a = 0; a < n; ++a) {
      for (int b = 0; b < n; ++b) {
        reordered(a + 1, b + 1) =
            M(order[static_cast<size_t>(a)], order[static_cast<size_t>(b)]);
      }
    }
    return reordered;
  });
}

std::vector<std::vector<int>> collect_PartitionGroups(
    const OneDimensionArray<OneDimensionArray<int>>& partition) {
  return WithStandardCatch([&]() {
    std::vector<std::vector<int>> groups;
    groups.reserve(static_cast<size_t>(partition.GetSize()));
    for (int g = 0; g < partition.GetSize(); ++g) {
      const OneDimensionArray<int>& group = partition[g];
      std::vector<int> members;
      members.reserve(static_cast<size_t>(group.GetSize()));
      for (int i = 0; i < group.GetSize(); ++i) members.push_back(group[i]);
      groups.push_back(members);
    }
    return groups;
  });
}

NEWMAT::Matrix partitionsToMatrix(const std::vector<std::vector<int>>& lists) {
  return WithStandardCatch([&]() {
    size_t iWidth = 0;
    for (const std::vector<int>& list : lists) {
      if (list.size() > iWidth) iWidth = list.size();
    }
    NEWMAT::Matrix m(static_cast<int>(lists.size()), static_cast<int>(iWidth));
    m = 0.0;
    for (size_t i = 0; i < lists.size(); ++i) {
      for (size_t j = 0; j < lists[i].size(); ++j) {
        m(static_cast<int>(i) + 1, static_cast<int>(j) + 1) = lists[i][j];
      }
    }
    return m;
  });
}
