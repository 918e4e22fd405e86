// kmCombos: construction and the lists of combinations, comparisons and
// cohort index vectors (labels in kmCombosLabels.cpp, file record in
// kmCombosFile.cpp).
#include "results/kmCombos.h"

#include <utility>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"

namespace {
const char* const kClassName = "kmCombos";
}  // namespace

kmCombos::kmCombos(int32_t nByVars) : nByVars_(nByVars) {
  WithCallPath("kmCombos()", kClassName, [&] {
    if (nByVars > kMaxByVars) {
      GenerateKmInputExceptionN("Cannot have more than %d by variables.",
                                kClassName, kMaxByVars);
    }
  });
}

kmCombos::~kmCombos() = default;

void kmCombos::AddCombination(KmVector<int> v) {
  WithCallPath("AddCombination()", kClassName, [&] {
    if (static_cast<int64_t>(v.size()) != nByVars_) {
      GenerateKmExceptionF("Combination vector does not contain %d elements.",
                           "AddCombination()", nByVars_);
    }
    vCombinations_.push_back(std::move(v));
  });
}

void kmCombos::AddComparison(KmVector<int> v) {
  vComparisons_.push_back(std::move(v));
}

void kmCombos::AddCohortIndices(KmVector<int> v) {
  vCohortIndices_.push_back(std::move(v));
}

void kmCombos::ResetComparisons() { vComparisons_.clear(); }

void kmCombos::ResetCohortIndices() { vCohortIndices_.clear(); }

KmVector<int> kmCombos::GetCombination(int i) const {
  return WithCallPath("GetCombination()", kClassName,
                      [&]() -> KmVector<int> { return vCombinations_[i]; });
}

KmVector<int> kmCombos::GetComparison(int i) const {
  return WithCallPath("GetComparison()", kClassName,
                      [&]() -> KmVector<int> { return vComparisons_[i]; });
}

KmVector<int> kmCombos::GetComboOrComparison(int i) const {
  return WithCallPath("GetComboOrComparison()", kClassName,
                      [&]() -> KmVector<int> {
                        const int nc = GetNumCombinations();
                        if (i < nc) return vCombinations_[i];
                        if (vComparisons_.empty()) return KmVector<int>();
                        return vComparisons_[i - nc];
                      });
}

bool kmCombos::IsComparisonIndex(int i) const {
  const int64_t nc = GetNumCombinations();
  if (nc == 0) return false;
  return nc <= i && i <= nc + GetNumComparisons() - 1;
}
