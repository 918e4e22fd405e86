// Tests of kmAnalysisCopies: the analyses of each jump mode and the
// numbering of the analysis copies of a cohort.
#include <gtest/gtest.h>

#include "session/kmAnalysisCopies.h"

namespace {

TEST(kmAnalysisCopies, AnalysisKindsFollowJumpModeAndDelayType) {
  struct Case {
    int iMode, iDelay, iCopy;
    bool bJump, bCR, bDelay;
  };
  const Case kCases[] = {
      {0, 0, 0, false, false, false},
      {1, 0, 5, true, false, false},
      {2, 1, 0, false, true, true},
      {3, 0, 0, true, false, false},
      {3, 0, 1, false, true, false},
      {4, 0, 1, false, false, false},
      {5, 0, 0, false, true, false},
      {5, 0, 1, false, false, false},
      // Mode 6 with both delay variants: copies 0-2 are the jump,
      // comparability-ratio and standard copies of the delay cohort, 3-5
      // those of the non-delay cohort.
      {6, 2, 0, true, false, true},
      {6, 2, 1, false, true, true},
      {6, 2, 2, false, false, true},
      {6, 2, 3, true, false, false},
      {6, 2, 4, false, true, false},
      {6, 2, 5, false, false, false},
      {0, 2, 0, false, false, true},
      {0, 2, 1, false, false, false},
      {3, 2, 3, false, true, false},
      {3, 2, 2, true, false, false},
      {7, 0, 0, false, false, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.iMode << " delay "
                                    << c.iDelay << " copy " << c.iCopy);
    // The rows give stored codes, one of them outside the modes.
    const kmAnalysisCopies copies(static_cast<kmJumpCRMode>(c.iMode),
                                  static_cast<kmDelayType>(c.iDelay));
    EXPECT_EQ(copies.IsJumpCopy(c.iCopy), c.bJump);
    EXPECT_EQ(copies.IsComparabilityRatioCopy(c.iCopy), c.bCR);
    EXPECT_EQ(copies.IsDelayCopy(c.iCopy), c.bDelay);
  }
}

TEST(kmAnalysisCopies, JumpModeHasItsJumpAndComparabilityRatioAnalyses) {
  const struct {
    int iMode;
    bool bJump, bCR;
  } kCases[] = {{0, false, false}, {1, true, false}, {2, false, true},
                {3, true, true},   {4, true, false}, {5, false, true},
                {6, true, true},   {7, false, false}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.iMode);
    const kmAnalysisCopies copies(static_cast<kmJumpCRMode>(c.iMode),
                                  kmDelayType::kBoth);
    EXPECT_EQ(copies.HasJumpAnalysis(), c.bJump);
    EXPECT_EQ(copies.HasComparabilityRatioAnalysis(), c.bCR);
  }
}

}  // namespace
