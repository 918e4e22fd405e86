// Tests of KinkMKFitResult: start values, the members assignment copies and
// leaves, and clear. Members are addressed by their numbers 1 to 54.
#include <gtest/gtest.h>
#include <newmat.h>

#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "foundation/OneDimensionArray.h"
#include "models/KinkMKFitResult.h"
#include "tests/models/DataClassTestHelpers.h"

namespace {

using km_data_test::Dims;
using km_data_test::Mat;
using km_data_test::Vec;

const double kInf = std::numeric_limits<double>::infinity();

// What init does to a member.
enum class Start { kValue, kEmpty, kNotReset };

struct MemberSpec {
  int number;
  bool copied;
  Start start;
  double startValue;  // for Start::kValue
};

// The member table: whether assignment copies it and what init gives it.
const MemberSpec kMembers[] = {
    {1, true, Start::kValue, 0},      {2, true, Start::kValue, 0},
    {3, true, Start::kEmpty, 0},      {4, true, Start::kEmpty, 0},
    {5, true, Start::kNotReset, 0},   {6, true, Start::kNotReset, 0},
    {7, true, Start::kValue, 0.0},    {8, true, Start::kValue, 0},
    {9, true, Start::kEmpty, 0},      {10, true, Start::kEmpty, 0},
    {11, true, Start::kEmpty, 0},     {12, true, Start::kEmpty, 0},
    {13, true, Start::kEmpty, 0},     {14, true, Start::kEmpty, 0},
    {15, true, Start::kEmpty, 0},     {16, true, Start::kValue, kInf},
    {17, true, Start::kValue, 0.0},   {18, true, Start::kValue, 0},
    {19, true, Start::kValue, 0.0},   {20, true, Start::kValue, 0.0},
    {21, false, Start::kValue, 1},    {22, true, Start::kNotReset, 0},
    {23, true, Start::kValue, 0.0},   {24, true, Start::kValue, 0.05},
    {25, true, Start::kValue, 0.05},  {26, true, Start::kValue, 0.05},
    {27, true, Start::kValue, 0.05},  {28, true, Start::kEmpty, 0},
    {29, true, Start::kEmpty, 0},     {30, true, Start::kEmpty, 0},
    {31, true, Start::kEmpty, 0},     {32, true, Start::kEmpty, 0},
    {33, true, Start::kEmpty, 0},     {34, true, Start::kEmpty, 0},
    {35, true, Start::kEmpty, 0},     {36, true, Start::kNotReset, 0},
    {37, true, Start::kNotReset, 0},  {38, true, Start::kNotReset, 0},
    {39, true, Start::kValue, 10},    {40, false, Start::kNotReset, 0},
    {41, false, Start::kNotReset, 0}, {42, false, Start::kNotReset, 0},
    {43, false, Start::kNotReset, 0}, {44, false, Start::kNotReset, 0},
    {45, true, Start::kValue, 10},    {46, false, Start::kNotReset, 0},
    {47, false, Start::kNotReset, 0}, {48, false, Start::kNotReset, 0},
    {49, false, Start::kNotReset, 0}, {50, false, Start::kNotReset, 0},
    {51, false, Start::kNotReset, 0}, {52, false, Start::kNotReset, 0},
    {53, false, Start::kNotReset, 0}, {54, false, Start::kNotReset, 0},
};

std::optional<double> First(const NEWMAT::Matrix& m) {
  if (m.Nrows() == 0 || m.Ncols() == 0) return std::nullopt;
  return m(1, 1);
}
std::optional<double> First(const OneDimensionArray<NEWMAT::ColumnVector>& a) {
  if (a.GetSize() == 0) return std::nullopt;
  return First(a[0]);
}

// The value that identifies member `number` of r: a scalar itself, the
// first element of a vector, matrix or array; nothing when it is empty.
std::optional<double> Read(const KinkMKFitResult& r, int number) {
  switch (number) {
    case 1:
      return r.k;
    case 2:
      return r.p;
    case 3:
      return First(r.beta);
    case 4:
      return First(r.tau);
    case 5:
      return First(r.fittedValues);
    case 6:
      return First(r.residuals);
    case 7:
      return r.sse;
    case 8:
      return r.bMember8;
    case 9:
      return First(r.xtwx);
    case 10:
      return First(r.secondXtwx);
    case 11:
      return First(r.jumpVector);
    case 12:
      return First(r.levelVector);
    case 13:
      return First(r.jumpRetest);
    case 14:
      return First(r.profile);
    case 15:
      return First(r.tauLimits);
    case 16:
      return r.dMember16;
    case 17:
      return r.residualDF;
    case 18:
      return r.q;
    case 19:
      return r.dMember19;
    case 20:
      return r.phi;
    case 21:
      return r.bMember21;
    case 22:
      return r.fitStats.df;
    case 23:
      return r.dMember23;
    case 24:
      return r.alpha;
    case 25:
      return r.dMember25;
    case 26:
      return r.dMember26;
    case 27:
      return r.dMember27;
    case 28:
      return First(r.vMember28);
    case 29:
      return First(r.vMember29);
    case 30:
      return First(r.mMember30);
    case 31:
      return First(r.mMember31);
    case 32:
      return First(r.mMember32);
    case 33:
      return First(r.mMember33);
    case 34:
      return First(r.mMember34);
    case 35:
      return First(r.mMember35);
    case 36:
      if (r.labels.GetSize() == 0) return std::nullopt;
      return std::atof(r.labels[0].GetCString());
    case 37:
      return First(r.seriesSet.xValues);
    case 38:
      return r.settings.jumpLocation;
    case 39:
      return r.iMember39;
    case 40:
      return First(r.vMember40);
    case 41:
      return First(r.vMember41);
    case 42:
      return First(r.vMember42);
    case 43:
      return First(r.vMember43);
    case 44:
      return First(r.avMember44);
    case 45:
      return r.iMember45;
    case 46:
      return First(r.avMember46);
    case 47:
      return First(r.avMember47);
    case 48:
      return First(r.avMember48);
    case 49:
      return First(r.avMember49);
    case 50:
      return First(r.avMember50);
    case 51:
      return First(r.vMember51);
    case 52:
      return First(r.vMember52);
    case 53:
      return First(r.vMember53);
    case 54:
      return First(r.vMember54);
  }
  ADD_FAILURE() << "no member " << number;
  return std::nullopt;
}

// The value Fill gives member `number` (flags take `flag`).
double Filled(int number, double base, bool flag) {
  if (number == 8 || number == 21) return flag ? 1 : 0;
  return base + number;
}

OneDimensionArray<NEWMAT::ColumnVector> OneVector(double v) {
  OneDimensionArray<NEWMAT::ColumnVector> a;
  a.Resize(1);
  a[0] = Vec({v, v});
  return a;
}

// Gives every member of r a value that identifies it: base + its number
// (flags: `flag`).
void Fill(KinkMKFitResult& r, double base, bool flag) {
  auto v = [&](int n) { return Filled(n, base, flag); };
  r.k = static_cast<int32_t>(v(1));
  r.p = static_cast<int32_t>(v(2));
  r.beta = Vec({v(3), 0});
  r.tau = Vec({v(4)});
  r.fittedValues = OneVector(v(5));
  r.residuals = OneVector(v(6));
  r.sse = v(7);
  r.bMember8 = flag;
  r.xtwx = Mat(2, 2, v(9) - 11);
  r.secondXtwx = Mat(1, 1, v(10) - 11);
  r.jumpVector = Vec({v(11)});
  r.levelVector = Vec({v(12)});
  r.jumpRetest = Vec({v(13)});
  r.profile = Mat(3, 1, v(14) - 11);
  r.tauLimits = Mat(2, 1, v(15) - 11);
  r.dMember16 = v(16);
  r.residualDF = v(17);
  r.q = static_cast<int32_t>(v(18));
  r.dMember19 = v(19);
  r.phi = v(20);
  r.bMember21 = flag;
  r.fitStats.df = v(22);
  r.fitStats.theta = Vec({1, 2});
  r.dMember23 = v(23);
  r.alpha = v(24);
  r.dMember25 = v(25);
  r.dMember26 = v(26);
  r.dMember27 = v(27);
  r.vMember28 = Vec({v(28)});
  r.vMember29 = Vec({v(29)});
  NEWMAT::Matrix* matrices[] = {&r.mMember30, &r.mMember31, &r.mMember32,
                                &r.mMember33, &r.mMember34, &r.mMember35};
  for (int i = 0; i < 6; ++i) *matrices[i] = Mat(1, 1, v(30 + i) - 11);
  r.labels.Resize(1);
  r.labels[0] = KmString(std::to_string(v(36)));
  r.seriesSet.xValues = OneVector(v(37));
  r.seriesSet.covariance.ReSize(2);
  r.seriesSet.covariance = 1.0;
  r.settings.jumpLocation = v(38);
  r.settings.order = "filled";
  r.iMember39 = static_cast<int32_t>(v(39));
  r.vMember40 = Vec({v(40)});
  r.vMember41 = Vec({v(41)});
  r.vMember42 = Vec({v(42)});
  r.vMember43 = Vec({v(43)});
  r.avMember44 = OneVector(v(44));
  r.iMember45 = static_cast<int32_t>(v(45));
  r.avMember46 = OneVector(v(46));
  r.avMember47 = OneVector(v(47));
  r.avMember48 = OneVector(v(48));
  r.avMember49 = OneVector(v(49));
  r.avMember50 = OneVector(v(50));
  r.vMember51 = Vec({v(51)});
  r.vMember52 = Vec({v(52)});
  r.vMember53 = Vec({v(53)});
  r.vMember54 = Vec({v(54)});
}

TEST(KinkMKFitResult, ConstructionGivesTheStartValues) {
  const KinkMKFitResult r;
  for (const MemberSpec& m : kMembers) {
    SCOPED_TRACE("member " + std::to_string(m.number));
    const std::optional<double> value = Read(r, m.number);
    if (m.start == Start::kValue) {
      ASSERT_TRUE(value.has_value());
      EXPECT_EQ(*value, m.startValue);
    } else if (m.number != 22 && m.number != 38) {
      // Every container starts empty (22 and 38 are records, read below).
      EXPECT_FALSE(value.has_value());
    }
  }
  EXPECT_EQ(r.fitStats.df, 0.0);
  EXPECT_EQ(r.settings.modelType, 2);  // the settings' defaults
}

TEST(KinkMKFitResult, InitKeepsTheMembersItDoesNotReset) {
  KinkMKFitResult r;
  Fill(r, 1000, false);
  r.init();
  for (const MemberSpec& m : kMembers) {
    SCOPED_TRACE("member " + std::to_string(m.number));
    const std::optional<double> value = Read(r, m.number);
    switch (m.start) {
      case Start::kValue:
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(*value, m.startValue);
        break;
      case Start::kEmpty:
        EXPECT_FALSE(value.has_value());
        break;
      case Start::kNotReset:
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(*value, Filled(m.number, 1000, false));
        break;
    }
  }
}

TEST(KinkMKFitResult, AssignmentCopiesExactlyTheMarkedMembers) {
  KinkMKFitResult source;
  Fill(source, 1000, true);
  KinkMKFitResult target;
  Fill(target, 2000, false);
  target = source;
  for (const MemberSpec& m : kMembers) {
    SCOPED_TRACE("member " + std::to_string(m.number));
    const std::optional<double> value = Read(target, m.number);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(*value, m.copied ? Filled(m.number, 1000, true)
                               : Filled(m.number, 2000, false));
  }
  // Embedded records are copied whole, and deeply.
  EXPECT_STREQ(target.settings.order.GetCString(), "filled");
  EXPECT_EQ(target.fitStats.theta.Nrows(), 2);
  EXPECT_EQ(target.seriesSet.covariance.Nrows(), 2);
  EXPECT_EQ(Dims(target.xtwx), (std::vector<int>{2, 2}));
  source.beta(1) = -1;
  source.fittedValues[0](1) = -1;
  source.seriesSet.xValues[0](1) = -1;
  source.xtwx(1, 1) = -1;
  EXPECT_EQ(*Read(target, 3), 1003);
  EXPECT_EQ(*Read(target, 5), 1005);
  EXPECT_EQ(*Read(target, 37), 1037);
  EXPECT_EQ(*Read(target, 9), 1009);
}

TEST(KinkMKFitResult, CopyConstructionStartsTheUncopiedMembersFresh) {
  KinkMKFitResult source;
  Fill(source, 1000, false);
  const KinkMKFitResult copy(source);
  for (const MemberSpec& m : kMembers) {
    SCOPED_TRACE("member " + std::to_string(m.number));
    const std::optional<double> value = Read(copy, m.number);
    if (m.copied) {
      ASSERT_TRUE(value.has_value());
      EXPECT_EQ(*value, Filled(m.number, 1000, false));
    } else if (m.number == 21) {
      EXPECT_EQ(*value, 1.0);  // its start value, true
    } else {
      EXPECT_FALSE(value.has_value());
    }
  }
}

TEST(KinkMKFitResult, ArraysOfResultsCopyElementByElement) {
  OneDimensionArray<KinkMKFitResult> results;
  results.Resize(2);
  Fill(results[1], 1000, false);
  OneDimensionArray<KinkMKFitResult> copy;
  copy = results;
  ASSERT_EQ(copy.GetSize(), 2);
  EXPECT_EQ(copy[0].dMember16, kInf);
  EXPECT_EQ(copy[1].sse, 1007);
  EXPECT_TRUE(copy[1].bMember21);  // not copied: the fresh element's true
  EXPECT_EQ(copy[1].vMember40.Nrows(), 0);
}

TEST(KinkMKFitResult, ClearEmptiesEveryContainer) {
  KinkMKFitResult r;
  Fill(r, 1000, true);
  r.clear();
  for (const MemberSpec& m : kMembers) {
    SCOPED_TRACE("member " + std::to_string(m.number));
    const std::optional<double> value = Read(r, m.number);
    ASSERT_EQ(value.has_value(),
              m.start == Start::kValue || m.number == 22 || m.number == 38);
    if (m.start == Start::kValue) {
      EXPECT_EQ(*value, Filled(m.number, 1000, true));  // scalars stay
    }
  }
  EXPECT_EQ(r.fitStats.theta.Nrows(), 0);
  EXPECT_EQ(Dims(r.seriesSet.covariance), (std::vector<int>{0, 0}));
  EXPECT_STREQ(r.settings.order.GetCString(), "");
}

}  // namespace
