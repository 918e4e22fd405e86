// kmCombos: construction and the lists of combinations, comparisons and
// cohort index vectors (labels in kmCombosLabels.cpp, file record in
// kmCombosFile.cpp).
#include "results/kmCombos.h"

#include <utility>

#include "foundation/KmException.h"

namespace {
const char* const kClassName = "kmCombos";
}  // namespace

kmCombos::kmCombos(int32_t nByVars) : nByVars_(nByVars) {
  try {
    if (nByVars > kMaxByVars) {
      GenerateKmInputExceptionN("Cannot have more than %d by variables.",
                                kClassName, kMaxByVars);
    }
  } catch (KmException& e) {
    e.AddCallPath("kmCombos()", kClassName);
    throw;
  }
}

kmCombos::~kmCombos() = default;

void kmCombos::AddCombination(KmVector<int> v) {
  try {
    if (static_cast<int64_t>(v.size()) != nByVars_) {
      GenerateKmExceptionF("Combination vector does not contain %d elements.",
                           "AddCombination()", nByVars_);
    }
    vCombinations_.push_back(std::move(v));
  } catch (KmException& e) {
    e.AddCallPath("AddCombination()", kClassName);
    throw;
  }
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
  try {
    return vCombinations_[i];
  } catch (KmException& e) {
    e.AddCallPath("GetCombination()", kClassName);
    throw;
  }
}

KmVector<int> kmCombos::GetComparison(int i) const {
  try {
    return vComparisons_[i];
  } catch (KmException& e) {
    e.AddCallPath("GetComparison()", kClassName);
    throw;
  }
}

KmVector<int> kmCombos::GetComboOrComparison(int i) const {
  try {
    const int nc = GetNumCombinations();
    if (i < nc) return vCombinations_[i];
    if (vComparisons_.empty()) return KmVector<int>();
    return vComparisons_[i - nc];
  } catch (KmException& e) {
    e.AddCallPath("GetComboOrComparison()", kClassName);
    throw;
  }
}

bool kmCombos::IsComparisonIndex(int i) const {
  const int64_t nc = GetNumCombinations();
  if (nc == 0) return false;
  return nc <= i && i <= nc + GetNumComparisons() - 1;
}
