// The comparison's members, for the tests that install a pair or read the
// cohorts' data of a pass directly.
//
// kmPairwiseComparisonTestPeer is the friend the comparison declares: it
// binds a reference to each member under the member's own name. Library
// code reaches the comparison through its services instead.
#ifndef KM_TESTS_ENGINE_KMPAIRWISECOMPARISONTESTPEER_H
#define KM_TESTS_ENGINE_KMPAIRWISECOMPARISONTESTPEER_H

#include <newmat.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/kmPairwiseComparison.h"

class kmPairwiseComparisonTestPeer {
 public:
  explicit kmPairwiseComparisonTestPeer(kmPairwiseComparison& comparison)
      : calc_(comparison.calc_),
        vGroupDesigns_(comparison.vGroupDesigns_),
        vGroupResponses_(comparison.vGroupResponses_),
        vGroupWeights_(comparison.vGroupWeights_),
        vGroupStdErrors_(comparison.vGroupStdErrors_),
        iNumGroups_(comparison.iNumGroups_),
        iGroupValue_(comparison.iGroupValue_),
        pair_(comparison.pair_) {}

  kmCalculator& calc_;
  std::vector<std::unique_ptr<NEWMAT::Matrix>>& vGroupDesigns_;
  std::vector<std::unique_ptr<NEWMAT::Matrix>>& vGroupResponses_;
  std::vector<std::unique_ptr<NEWMAT::ColumnVector>>& vGroupWeights_;
  std::vector<std::unique_ptr<NEWMAT::Matrix>>& vGroupStdErrors_;
  int32_t& iNumGroups_;
  int32_t& iGroupValue_;
  kmPairwiseComparison::PairData& pair_;
};

// The peer of comparison, as ComparisonMembers(cmp).pair_ reads.
inline kmPairwiseComparisonTestPeer ComparisonMembers(
    kmPairwiseComparison& comparison) {
  return kmPairwiseComparisonTestPeer(comparison);
}

#endif  // KM_TESTS_ENGINE_KMPAIRWISECOMPARISONTESTPEER_H
