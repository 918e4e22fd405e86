// Tests of KMRegModelSettings: defaults, deep copies, clear.
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "models/KMRegModelSettings.h"
#include "tests/models/DataClassTestHelpers.h"

namespace {

using km_data_test::Dims;
using km_data_test::Mat;
using km_data_test::Values;
using km_data_test::Vec;

const double kInf = std::numeric_limits<double>::infinity();

// One numeric member: its position, how to read it, and its default.
struct NumericMember {
  int number;
  std::function<double(const KMRegModelSettings&)> read;
  double defaultValue;
};

#define KM_MEMBER(n, field, value)                                        \
  {                                                                       \
    n, [](const KMRegModelSettings& s) { return double(s.field); }, value \
  }

const std::vector<NumericMember>& NumericMembers() {
  static const std::vector<NumericMember> kMembers = {
      KM_MEMBER(1, nDataSets, 0),
      KM_MEMBER(2, iMember2, 0),
      KM_MEMBER(3, iMember3, 0),
      KM_MEMBER(4, xOffset, 0.0),
      KM_MEMBER(5, permutationAlpha, 0.05),
      KM_MEMBER(6, alpha, 0.05),
      KM_MEMBER(7, dMember7, 0.05),
      KM_MEMBER(8, dMember8, 0.05),
      KM_MEMBER(9, jumpAlpha, 0.05),
      KM_MEMBER(10, modelType, 2),
      KM_MEMBER(11, testKind, 1),
      KM_MEMBER(12, jump, 0),
      KM_MEMBER(13, jumpLocation, -1.0),
      KM_MEMBER(14, errorType, 0),
      KM_MEMBER(15, bMember15, 0),
      KM_MEMBER(16, scale, 1.0),
      KM_MEMBER(17, minObsAtEnds, 0),
      KM_MEMBER(18, minObsBetween, 0),
      KM_MEMBER(19, gridPointsBetween, 0),
      KM_MEMBER(21, minKinkmarks, 0),
      KM_MEMBER(22, maxKinkmarks, 0),
      KM_MEMBER(23, iMember23, 0),
      KM_MEMBER(24, dMember24, 0.0),
      KM_MEMBER(26, useUserLocations, 0),
      KM_MEMBER(30, iMember30, -1),
      KM_MEMBER(31, bMember31, 0),
      KM_MEMBER(32, iMember32, 0),
      KM_MEMBER(33, dMember33, 0.0),
      KM_MEMBER(36, dMember36, 0.0),
      KM_MEMBER(37, dMember37, -kInf),
      KM_MEMBER(38, dMember38, -kInf),
      KM_MEMBER(40, bMember40, 0),
      KM_MEMBER(41, dMember41, 0.0),
  };
  return kMembers;
}

#undef KM_MEMBER

// Settings whose every member differs from its default.
KMRegModelSettings NonDefaultSettings() {
  KMRegModelSettings s;
  s.nDataSets = 7;
  s.iMember2 = 3;
  s.iMember3 = 4;
  s.xOffset = 2.5;
  s.permutationAlpha = 0.01;
  s.alpha = 0.02;
  s.dMember7 = 0.03;
  s.dMember8 = 0.04;
  s.jumpAlpha = 0.06;
  s.modelType = 1;
  s.testKind = 0;
  s.jump = 1;
  s.jumpLocation = 2005.5;
  s.errorType = 2;
  s.bMember15 = true;
  s.scale = 3.0;
  s.minObsAtEnds = 3;
  s.minObsBetween = 4;
  s.gridPointsBetween = 5;
  s.sMember20 = "twenty";
  s.minKinkmarks = 1;
  s.maxKinkmarks = 4;
  s.iMember23 = 23;
  s.dMember24 = 24.5;
  s.userLocations = Vec({2001, 2003});
  s.useUserLocations = true;
  s.resamplingMode = "SimulatingQuantile";
  s.ciMethod = "EmpCDFT";
  s.order = "unordered";
  s.iMember30 = 30;
  s.bMember31 = true;
  s.iMember32 = 32;
  s.dMember33 = 33.5;
  s.secondCrossProduct = Mat(2, 2, 100);
  s.secondDesign = Mat(3, 2, 200);
  s.dMember36 = 36.5;
  s.dMember37 = 37.5;
  s.dMember38 = 38.5;
  s.vMember39 = Vec({39, 40});
  s.bMember40 = true;
  s.dMember41 = 41.5;
  return s;
}

// Expects b to hold every member of a.
void ExpectSameMembers(const KMRegModelSettings& a,
                       const KMRegModelSettings& b) {
  for (const NumericMember& m : NumericMembers()) {
    SCOPED_TRACE("member " + std::to_string(m.number));
    EXPECT_EQ(m.read(a), m.read(b));
  }
  EXPECT_STREQ(a.sMember20.GetCString(), b.sMember20.GetCString());
  EXPECT_EQ(Values(a.userLocations), Values(b.userLocations));
  EXPECT_EQ(a.resamplingMode, b.resamplingMode);
  EXPECT_EQ(a.ciMethod, b.ciMethod);
  EXPECT_STREQ(a.order.GetCString(), b.order.GetCString());
  EXPECT_EQ(Dims(a.secondCrossProduct), Dims(b.secondCrossProduct));
  EXPECT_EQ(Values(a.secondCrossProduct), Values(b.secondCrossProduct));
  EXPECT_EQ(Dims(a.secondDesign), Dims(b.secondDesign));
  EXPECT_EQ(Values(a.secondDesign), Values(b.secondDesign));
  EXPECT_EQ(Values(a.vMember39), Values(b.vMember39));
}

TEST(KMRegModelSettings, ConstructionGivesTheTabledDefaults) {
  const KMRegModelSettings s;
  for (const NumericMember& m : NumericMembers()) {
    SCOPED_TRACE("member " + std::to_string(m.number));
    EXPECT_EQ(m.read(s), m.defaultValue);
  }
  EXPECT_STREQ(s.sMember20.GetCString(), "");
  EXPECT_EQ(s.userLocations.Nrows(), 0);
  EXPECT_EQ(s.resamplingMode, "Simulating");
  EXPECT_EQ(s.ciMethod, "ZValue");
  EXPECT_STREQ(s.order.GetCString(), "ordered");
  EXPECT_EQ(Dims(s.secondCrossProduct), (std::vector<int>{0, 0}));
  EXPECT_EQ(Dims(s.secondDesign), (std::vector<int>{0, 0}));
  EXPECT_EQ(s.vMember39.Nrows(), 0);
}

TEST(KMRegModelSettings, SetDefaultsRestoresAllButMember39) {
  KMRegModelSettings s = NonDefaultSettings();
  s.setDefaults();
  ExpectSameMembers(s, [] {
    KMRegModelSettings expected;
    expected.vMember39 = Vec({39, 40});
    return expected;
  }());
}

TEST(KMRegModelSettings, CopyAndAssignmentCopyEveryMemberDeeply) {
  const KMRegModelSettings source = NonDefaultSettings();
  KMRegModelSettings copied(source);
  KMRegModelSettings assigned;
  assigned = source;
  ExpectSameMembers(source, copied);
  ExpectSameMembers(source, assigned);

  // Changing a copy's vectors, matrices and texts leaves the source alone.
  copied.userLocations(1) = -1;
  copied.secondDesign(1, 1) = -1;
  copied.order = "changed";
  assigned.vMember39(2) = -1;
  ExpectSameMembers(source, NonDefaultSettings());
}

TEST(KMRegModelSettings, SelfAssignmentKeepsEverything) {
  KMRegModelSettings s = NonDefaultSettings();
  KMRegModelSettings& alias = s;
  s = alias;
  ExpectSameMembers(s, NonDefaultSettings());
}

TEST(KMRegModelSettings, ClearEmptiesTextsVectorsAndMatricesOnly) {
  KMRegModelSettings s = NonDefaultSettings();
  s.clear();
  EXPECT_STREQ(s.sMember20.GetCString(), "");
  EXPECT_STREQ(s.order.GetCString(), "");
  EXPECT_EQ(s.resamplingMode, "");
  EXPECT_EQ(s.ciMethod, "");
  EXPECT_EQ(s.userLocations.Nrows(), 0);
  EXPECT_EQ(s.vMember39.Nrows(), 0);
  EXPECT_EQ(Dims(s.secondCrossProduct), (std::vector<int>{0, 0}));
  EXPECT_EQ(Dims(s.secondDesign), (std::vector<int>{0, 0}));
  // Numbers and flags keep their values.
  EXPECT_EQ(s.modelType, 1);
  EXPECT_EQ(s.jumpLocation, 2005.5);
  EXPECT_TRUE(s.useUserLocations);
}

}  // namespace
