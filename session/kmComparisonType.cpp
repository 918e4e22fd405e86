#include "session/kmComparisonType.h"

#include "session/internal/CodeTable.h"

namespace {

const char* const kComparisonTexts[] = {"None", "Pairwise Comparison",
                                        "Multi-Group Clustering"};

}  // namespace

const char* kmComparisonTypeText(kmComparisonType type) {
  return CodeTableText(kComparisonTexts, type);
}
