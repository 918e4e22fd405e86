// Tests of KMBestModelFit: start values and copies that carry the random
// generator's state.
#include <gtest/gtest.h>
#include <newmat.h>

#include <vector>

#include "models/KMBestModelFit.h"
#include "tests/models/DataClassTestHelpers.h"

namespace {

using km_data_test::Mat;
using km_data_test::Values;
using km_data_test::Vec;

TEST(KMBestModelFit, InitGivesTheTabledValues) {
  const KMBestModelFit input;
  EXPECT_EQ(input.kMax, 0);
  EXPECT_EQ(input.kMin, 0);
  EXPECT_EQ(input.criterionCode, 0);
  EXPECT_EQ(input.selection, "");
  EXPECT_EQ(input.N, 0);
  EXPECT_EQ(input.alpha, 0.05);
  EXPECT_EQ(input.templateFit.modelType, 2);
  EXPECT_EQ(input.seriesSet.xValues.GetSize(), 0);
}

TEST(KMBestModelFit, CopiesCarryTheGeneratorStateAndAreIndependent) {
  KMBestModelFit source;
  source.seriesSet.xValues.Resize(1);
  source.seriesSet.xValues[0] = Vec({1, 2, 3});
  source.weight = Mat(3, 3, 1);
  source.covariance = Mat(3, 3, 2);
  source.transform = Mat(3, 3, 3);
  source.backTransform = Mat(3, 3, 4);
  source.kMax = 3;
  source.kMin = 1;
  source.criterionCode = 4;
  source.selection = "kDeltaStar";
  source.N = 100;
  source.templateFit.jumpLocation = 2005;
  source.templateFit.userLocations = Vec({2001});
  source.alpha = 0.01;
  source.generator.sgenrand(20240607u);
  for (int i = 0; i < 700; ++i) source.generator.genrand();  // past a refill

  KMBestModelFit copied(source);
  KMBestModelFit assigned;
  assigned = source;
  source.seriesSet.xValues[0](1) = -1;
  source.transform(1, 1) = -1;
  source.templateFit.userLocations(1) = -1;
  for (const KMBestModelFit* copy : {&copied, &assigned}) {
    EXPECT_EQ(Values(copy->seriesSet.xValues[0]), Values(Vec({1, 2, 3})));
    EXPECT_EQ(Values(copy->weight), Values(Mat(3, 3, 1)));
    EXPECT_EQ(Values(copy->covariance), Values(Mat(3, 3, 2)));
    EXPECT_EQ(Values(copy->transform), Values(Mat(3, 3, 3)));
    EXPECT_EQ(Values(copy->backTransform), Values(Mat(3, 3, 4)));
    EXPECT_EQ(copy->kMax, 3);
    EXPECT_EQ(copy->kMin, 1);
    EXPECT_EQ(copy->criterionCode, 4);
    EXPECT_EQ(copy->selection, "kDeltaStar");
    EXPECT_EQ(copy->N, 100);
    EXPECT_EQ(copy->templateFit.jumpLocation, 2005);
    EXPECT_EQ(Values(copy->templateFit.userLocations), Values(Vec({2001})));
    EXPECT_EQ(copy->alpha, 0.01);
  }

  // All three continue the same sequence, each advancing only itself.
  for (int i = 0; i < 1000; ++i) {
    const double expected = source.generator.genrand();
    ASSERT_EQ(copied.generator.genrand(), expected) << "draw " << i;
    ASSERT_EQ(assigned.generator.genrand(), expected) << "draw " << i;
  }
  const double d1 = source.generator.genrand();
  const double d2 = source.generator.genrand();
  EXPECT_EQ(copied.generator.genrand(), d1);
  EXPECT_EQ(assigned.generator.genrand(), d1);
  EXPECT_EQ(copied.generator.genrand(), d2);
}

}  // namespace
