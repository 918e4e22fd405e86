// Tests of the kinkmark design matrices, the prepared fitting data and the
// small vector routines of BaseKMRegModel, and of the engine's all-columns
// design (ForAllKinkMKAction::calculateX0AllXAllY).
#include <gtest/gtest.h>
#include <newmat.h>

#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "models/BaseKMRegModel.h"
#include "models/ForAllKinkMKAction.h"
#include "models/KMRegModelSettings.h"
#include "tests/models/DesignTestHelpers.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::InverseDiagonal;
using km_test::MakeSeriesSet;
using km_test::RelNear;
using km_test::Rows;
using km_test::ToVector;
using km_test::Vec;
using km_test::VecArray;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;
using Table = std::vector<std::vector<double>>;

// Two series, series 1 at x = 1, 2, 3 and series 2 at x = 2, 4; kinkmarks at
// 2 and 3 and the jump at J = 3. Worked by hand: a hinge is 0 at its own
// location (rows 2 and 3), the step is on at J itself (row 3).
const std::vector<std::vector<double>> kTwoX = {{1, 2, 3}, {2, 4}};
const std::vector<std::vector<double>> kTwoY = {{10, 11, 12}, {20, 21}};

struct DesignCase {
  const char* name;
  int modelType;
  int p;
  int jump;
  int splineCode;
  Table expected;
};

TEST(CalculateX0AllXAllY, BuildsTheColumnsInModelOrder) {
  const DesignCase cases[] = {
      {"parallel, hinges only",
       2,
       3,
       0,
       0,
       {{1, 0, 1, 0, 0},
        {1, 0, 2, 0, 0},
        {1, 0, 3, 1, 0},
        {0, 1, 2, 0, 0},
        {0, 1, 4, 2, 1}}},
      {"common intercept with the jump step",
       1,
       2,
       1,
       0,
       {{1, 1, 0, 0, 0},
        {1, 2, 0, 0, 0},
        {1, 3, 1, 0, 1},
        {1, 2, 0, 0, 0},
        {1, 4, 2, 1, 1}}},
      // Squares of x, (x-2)+, (x-3)+, then their cubes, after the step.
      {"parallel, jump and cubic spline",
       2,
       3,
       1,
       2,
       {{1, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0},
        {1, 0, 2, 0, 0, 0, 4, 0, 0, 8, 0, 0},
        {1, 0, 3, 1, 0, 1, 9, 1, 0, 27, 1, 0},
        {0, 1, 2, 0, 0, 0, 4, 0, 0, 8, 0, 0},
        {0, 1, 4, 2, 1, 1, 16, 4, 1, 64, 8, 1}}},
  };
  for (const DesignCase& c : cases) {
    SCOPED_TRACE(c.name);
    Matrix X(1, 1);
    ColumnVector allX(7);
    ColumnVector allY(7);
    BaseKMRegModel::calculateX0AllXAllY(X, allX, allY, VecArray(kTwoX),
                                        VecArray(kTwoY), c.p, Vec({2, 3}),
                                        c.modelType, c.jump, 3.0, c.splineCode);
    EXPECT_EQ(Rows(X), c.expected);
    EXPECT_EQ(ToVector(allX), (std::vector<double>{1, 2, 3, 2, 4}));
    EXPECT_EQ(ToVector(allY), (std::vector<double>{10, 11, 12, 20, 21}));
  }
}

TEST(CalculateX0AllXAllY, WithoutKinkmarksKeepsBaseStepAndTwoSplineColumns) {
  Matrix X;
  ColumnVector allX;
  ColumnVector allY;
  BaseKMRegModel::calculateX0AllXAllY(X, allX, allY, VecArray({{1, 2}}),
                                      VecArray({{5, 6}}), 2, ColumnVector(0), 1,
                                      1, 2.0, 2);
  // 1, x, step, x^2, x^3.
  EXPECT_EQ(Rows(X), (Table{{1, 1, 0, 1, 1}, {1, 2, 1, 4, 8}}));
}

TEST(CalculateX0AllXAllY, InterceptColumnsFollowTheModelType) {
  const auto xs = VecArray({{1, 2}, {3}, {4}});
  const auto ys = VecArray({{0, 0}, {0}, {0}});
  Matrix X;
  ColumnVector allX;
  ColumnVector allY;
  BaseKMRegModel::calculateX0AllXAllY(X, allX, allY, xs, ys, 2, ColumnVector(0),
                                      1, 0, 0.0, 0);
  EXPECT_EQ(Rows(X), (Table{{1, 1}, {1, 2}, {1, 3}, {1, 4}}));
  BaseKMRegModel::calculateX0AllXAllY(X, allX, allY, xs, ys, 4, ColumnVector(0),
                                      2, 0, 0.0, 0);
  EXPECT_EQ(Rows(X),
            (Table{{1, 0, 0, 1}, {1, 0, 0, 2}, {0, 1, 0, 3}, {0, 0, 1, 4}}));
}

TEST(CalculateX0AllXAllY, RefusesSeriesWhoseXAndYDiffer) {
  // Fault: a series whose x and y differ in length was stacked out of step,
  // so the rows of X no longer matched the responses; such series, and a
  // design without its x column (p < 1), are refused.
  Matrix X;
  ColumnVector allX;
  ColumnVector allY;
  const KmException e = km_test::CatchKmException([&] {
    BaseKMRegModel::calculateX0AllXAllY(X, allX, allY, VecArray({{1, 2, 3}}),
                                        VecArray({{1, 2}}), 2, ColumnVector(0),
                                        1, 0, 0.0, 0);
  });
  EXPECT_EQ(std::string(e.GetSource()),
            "BaseKMRegModel::calculateX0AllXAllY()");
  EXPECT_THROW(BaseKMRegModel::calculateX0AllXAllY(
                   X, allX, allY, VecArray({{1}}), VecArray({{1}}), 0,
                   ColumnVector(0), 1, 0, 0.0, 0),
               KmException);
}

// Data set A: one series, x = 1..12, variances v, weights 1 / v.
const std::vector<double> kX = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
const std::vector<double> kY = {2.1, 2.9, 4.2, 5.1, 5.8, 7.2,
                                6.9, 6.1, 5.2, 4.8, 3.9, 3.1};
const std::vector<double> kV = {1,   1.5, 0.8, 1.2, 1,   0.9,
                                1.1, 1.3, 0.7, 1,   1.2, 0.95};
const std::vector<double> kY2 = {5,   4.6, 4.1, 3.0, 2.9, 2.2,
                                 2.8, 3.9, 4.4, 5.2, 5.9, 6.8};

TEST(PrepareFittingData, FormsTheCrossProductsOverEveryCandidate) {
  // R:
  //   h <- function(x, t) pmax(x - t, 0); x <- 1:12; y, v, y2 as above
  //   X <- cbind(1, x, sapply(3:10, function(t) h(x, t))); W <- diag(1 / v)
  //   XtWX <- t(X) %*% W %*% X; XtWY <- t(X) %*% W %*% cbind(y, y2)
  //   sum(y^2 / v); sum(y2^2 / v)
  //   XtWX[1,1]; XtWX[2,2]; XtWX[3,10]; XtWX[10,10]
  //   XtWY[1,1]; XtWY[3,1]; XtWY[10,2]
  KMRegFitMatrices data;
  data.weight = InverseDiagonal(kV);
  // Entry 0 of the extra responses stands for the observed one and is not
  // read: a wrong-length placeholder proves it.
  OneDimensionArray<ColumnVector> extra = VecArray({{0}, kY2});
  BaseKMRegModel::prepare_BaseKMRegModel_FittingData(
      data, MakeSeriesSet({kX}, {kY}), extra, ColumnVector(0), false, 1, 0,
      -1.0, 2, 1, 0, 0);
  EXPECT_EQ(data.p, 2);
  EXPECT_EQ(ToVector(data.candidates),
            (std::vector<double>{3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(data.X.Nrows(), 12);
  EXPECT_EQ(data.X.Ncols(), 10);
  EXPECT_EQ(data.XtWY.Ncols(), 2);
  ASSERT_EQ(data.responses.GetSize(), 2);
  EXPECT_EQ(ToVector(data.responses[0]), kY);
  EXPECT_EQ(ToVector(data.responses[1]), kY2);
  ASSERT_EQ(data.yWy.GetSize(), 2);
  const double kTol = 1e-13;
  EXPECT_TRUE(RelNear(data.yWy[0], 301.34592267381743, kTol));
  EXPECT_TRUE(RelNear(data.yWy[1], 232.61337757271968, kTol));
  EXPECT_TRUE(RelNear(data.XtWX(1, 1), 11.85396913028492, kTol));
  EXPECT_TRUE(RelNear(data.XtWX(2, 2), 655.15279019226386, kTol));
  EXPECT_TRUE(RelNear(data.XtWX(3, 10), 25.614035087719298, kTol));
  EXPECT_TRUE(RelNear(data.XtWX(10, 10), 5.0438596491228065, kTol));
  EXPECT_TRUE(RelNear(data.XtWY(1, 1), 57.040097621676566, kTol));
  EXPECT_TRUE(RelNear(data.XtWY(3, 1), 221.94229717650768, kTol));
  EXPECT_TRUE(RelNear(data.XtWY(10, 2), 19.232456140350877, kTol));
}

TEST(PrepareFittingData, ScoresOnlyTheObservedResponseWithFewerThanTwoExtras) {
  for (int iExtra : {0, 1}) {
    SCOPED_TRACE(iExtra);
    KMRegFitMatrices data;
    data.weight = InverseDiagonal(kV);
    OneDimensionArray<ColumnVector> extra;
    extra.Resize(iExtra);
    BaseKMRegModel::prepare_BaseKMRegModel_FittingData(
        data, MakeSeriesSet({kX}, {kY}), extra, ColumnVector(0), false, 1, 0,
        -1.0, 2, 1, 0, 0);
    EXPECT_EQ(data.responses.GetSize(), 1);
    EXPECT_EQ(data.yWy.GetSize(), 1);
    EXPECT_EQ(data.XtWY.Ncols(), 1);
  }
}

TEST(PrepareFittingData, ParallelModelUsesUserLocationsAndOneInterceptEach) {
  KMRegFitMatrices data;
  data.weight = InverseDiagonal({1, 1, 1, 1, 1});
  BaseKMRegModel::prepare_BaseKMRegModel_FittingData(
      data, MakeSeriesSet(kTwoX, kTwoY), OneDimensionArray<ColumnVector>(),
      Vec({2, 3}), true, 2, 1, 3.0, 2, 2, 0, 0);
  EXPECT_EQ(data.p, 3);
  EXPECT_EQ(ToVector(data.candidateIndices), (std::vector<double>{2, 3}));
  // The design is the hand-worked one of BuildsTheColumnsInModelOrder with
  // the step column after the two hinges.
  EXPECT_EQ(Rows(data.X), (Table{{1, 0, 1, 0, 0, 0},
                                 {1, 0, 2, 0, 0, 0},
                                 {1, 0, 3, 1, 0, 1},
                                 {0, 1, 2, 0, 0, 0},
                                 {0, 1, 4, 2, 1, 1}}));
}

TEST(PrepareFittingData, RefusesInputsThatDoNotConform) {
  // Fault: a product that fails inside the matrix library leaks its
  // temporaries, and an empty series set went on to a product of no rows;
  // such inputs are refused before any product, under the method's name.
  struct Case {
    const char* name;
    std::vector<std::vector<double>> xs;
    std::vector<std::vector<double>> ys;
    int weightOrder;
    std::vector<std::vector<double>> extra;
  };
  const Case cases[] = {
      {"weighting matrix of the wrong order", {kX}, {kY}, 11, {}},
      {"extra response of the wrong length", {kX}, {kY}, 12, {{0}, {1, 2}}},
      {"no observations", {}, {}, 0, {}},
      {"x and y of different lengths", {{1, 2, 3}}, {{1, 2}}, 3, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KMRegFitMatrices data;
    data.weight = InverseDiagonal(
        std::vector<double>(static_cast<size_t>(c.weightOrder), 1.0));
    const KmException e = km_test::CatchKmException([&] {
      BaseKMRegModel::prepare_BaseKMRegModel_FittingData(
          data, MakeSeriesSet(c.xs, c.ys), VecArray(c.extra), Vec({2}), true, 1,
          0, -1.0, 2, 1, 0, 0);
    });
    EXPECT_EQ(std::string(e.GetSource()),
              "BaseKMRegModel::prepare_BaseKMRegModel_FittingData()");
  }
}

TEST(ForAllCalculateX0AllXAllY, BuildsHingesStepAndTheShiftedSecondDesign) {
  KMRegModelSettings settings;
  settings.modelType = 2;
  settings.jump = 1;
  settings.jumpLocation = 3.0;
  settings.xOffset = 100.0;
  Matrix allX;
  ColumnVector stackedX;
  ColumnVector stackedY;
  ForAllKinkMKAction::calculateX0AllXAllY(3, VecArray(kTwoX), VecArray(kTwoY),
                                          settings, Vec({2, 3}), allX, stackedX,
                                          stackedY);
  const Table expected = {{1, 0, 1, 0, 0, 0},
                          {1, 0, 2, 0, 0, 0},
                          {1, 0, 3, 1, 0, 1},
                          {0, 1, 2, 0, 0, 0},
                          {0, 1, 4, 2, 1, 1}};
  EXPECT_EQ(Rows(allX), expected);
  EXPECT_EQ(ToVector(stackedX), (std::vector<double>{1, 2, 3, 2, 4}));
  EXPECT_EQ(ToVector(stackedY), (std::vector<double>{10, 11, 12, 20, 21}));
  // Only the x column moves; the hinges keep the unshifted x.
  Table shifted = expected;
  for (auto& row : shifted) row[2] += 100.0;
  EXPECT_EQ(Rows(settings.secondDesign), shifted);
}

TEST(ForAllCalculateX0AllXAllY, CommonModelHasOnesInEveryInterceptColumn) {
  KMRegModelSettings settings;
  settings.modelType = 1;
  Matrix allX;
  ColumnVector stackedX;
  ColumnVector stackedY;
  ForAllKinkMKAction::calculateX0AllXAllY(2, VecArray(kTwoX), VecArray(kTwoY),
                                          settings, Vec({3}), allX, stackedX,
                                          stackedY);
  EXPECT_EQ(Rows(allX),
            (Table{{1, 1, 0}, {1, 2, 0}, {1, 3, 0}, {1, 2, 0}, {1, 4, 1}}));
  EXPECT_EQ(Rows(settings.secondDesign), Rows(allX));
}

TEST(FittedValues, EvaluateTheKinkedLine) {
  // y = 1 + 2x - 3 (x - 2)+ + 0.5 (x - 5)+; the hinge is off at x = tau.
  const ColumnVector tau = Vec({2, 5});
  const ColumnVector delta = Vec({-3, 0.5});
  const struct {
    double x;
    double expected;
  } cases[] = {{0, 1}, {2, 5}, {3, 4}, {5, 2}, {7, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_DOUBLE_EQ(
        BaseKMRegModel::calc_FittedValueAt(tau, delta, 2.0, c.x, 1.0),
        c.expected);
  }
  EXPECT_ANY_THROW(
      BaseKMRegModel::calc_FittedValueAt(tau, Vec({-3}), 2.0, 0.0, 1.0));
}

TEST(FittedValues, PickTheInterceptBySlopeIndex) {
  const ColumnVector x = Vec({0, 3, 7});
  // Slope index 2: beta = (a, b, d1, d2), intercept beta(1).
  EXPECT_EQ(ToVector(BaseKMRegModel::calc_FittedValues(
                Vec({2, 5}), Vec({1, 2, -3, 0.5}), 2, 7, x)),
            (std::vector<double>{1, 4, 1}));
  // Parallel model of two series: beta = (a1, a2, b, d1, d2).
  const ColumnVector beta = Vec({1, 10, 2, -3, 0.5});
  EXPECT_EQ(
      ToVector(BaseKMRegModel::calc_FittedValues(Vec({2, 5}), beta, 3, 2, x)),
      (std::vector<double>{10, 13, 10}));
  EXPECT_EQ(
      ToVector(BaseKMRegModel::calc_FittedValues(Vec({2, 5}), beta, 3, 0, x)),
      (std::vector<double>{0, 3, 0}));
}

TEST(VectorRoutines, StackDifferenceAndShift) {
  OneDimensionArray<ColumnVector> parts = VecArray({{1, 2}, {}, {3}});
  EXPECT_EQ(ToVector(BaseKMRegModel::stack_ColumnVectors(parts)),
            (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(BaseKMRegModel::stack_ColumnVectors(VecArray({})).Nrows(), 0);
  EXPECT_EQ(ToVector(BaseKMRegModel::calc_CumulativeVector(Vec({5, 7}),
                                                           Vec({1, 2, 9}))),
            (std::vector<double>{4, 5}));
  EXPECT_ANY_THROW(
      BaseKMRegModel::calc_CumulativeVector(Vec({5, 7}), Vec({1})));
  BaseKMRegModel::shift_AllVectors(parts, -0.5);
  EXPECT_EQ(ToVector(parts[0]), (std::vector<double>{0.5, 1.5}));
  EXPECT_EQ(parts[1].Nrows(), 0);
  EXPECT_EQ(ToVector(parts[2]), (std::vector<double>{2.5}));
}

TEST(ShiftMatrix, HoldsTheShiftAboveTheDiagonalOfOneColumn) {
  EXPECT_EQ(
      Rows(BaseKMRegModel::get_mShfitInv(3, 4, 2.5)),
      (Table{{1, 0, 2.5, 0}, {0, 1, 2.5, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}));
  EXPECT_EQ(Rows(BaseKMRegModel::get_mShfitInv(1, 3, 2.5)),
            (Table{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}));
  const KmException e = km_test::CatchKmException(
      [] { BaseKMRegModel::get_mShfitInv(5, 3, 1.0); });
  EXPECT_EQ(std::string(e.GetSource()), "BaseKMRegModel::get_mShfitInv()");
}

TEST(ShiftMatrix, NegativeOrderGivesNoRows) {
  // Fault: the matrix library builds a matrix of negative order without
  // complaint, which later code would index; a negative order gives 0 x 0.
  const Matrix shift = BaseKMRegModel::get_mShfitInv(1, -1, 1.0);
  EXPECT_EQ(shift.Nrows(), 0);
  EXPECT_EQ(shift.Ncols(), 0);
}

}  // namespace
