// Tests of kmCalcData outside the results file: the new record, model and
// F-test access, descriptions and labels, copies, and the weighting matrix
// of a given variance-covariance matrix.
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <string>

#include "results/kmCalcData.h"
#include "tests/test_util/CatchKmException.h"

namespace {

using km_test::CatchKmException;

KmVector<KmVector<double>> Rows(
    std::initializer_list<std::initializer_list<double>> rows) {
  KmVector<KmVector<double>> out;
  for (const auto& row : rows) out.push_back(KmVector<double>(row));
  return out;
}

NEWMAT::Matrix Column(std::initializer_list<double> values) {
  NEWMAT::Matrix m(static_cast<int>(values.size()), 1);
  int i = 1;
  for (double v : values) m(i++, 1) = v;
  return m;
}

void ExpectMatrixNear(const NEWMAT::Matrix& actual,
                      const NEWMAT::Matrix& expected) {
  ASSERT_EQ(actual.Nrows(), expected.Nrows());
  ASSERT_EQ(actual.Ncols(), expected.Ncols());
  for (int i = 1; i <= expected.Nrows(); ++i) {
    for (int j = 1; j <= expected.Ncols(); ++j) {
      SCOPED_TRACE(testing::Message() << "(" << i << ", " << j << ")");
      EXPECT_NEAR(actual(i, j), expected(i, j), 1e-12);
    }
  }
}

TEST(kmCalcData, NewRecordIsValidWithNothingSelected) {
  kmCalcData data;
  EXPECT_EQ(data.uFinalSelectedModel, 65535);
  EXPECT_EQ(data.uBICSelectedModel, 65535);
  EXPECT_EQ(data.uBIC3SelectedModel, 65535);
  EXPECT_EQ(data.lSelectionCriterion, -1);
  EXPECT_TRUE(data.bValid);
  EXPECT_FALSE(data.bComparison || data.bJumpModel ||
               data.bComparabilityRatio || data.bVarCovMatrix ||
               data.bCohortData || data.bMADWD);
  EXPECT_EQ(data.dAutocorrelation, 0.0);
  for (double d : data.dSelectionValues) EXPECT_EQ(d, 0.0);
  EXPECT_TRUE(data.vModels.empty() && data.vFTests.empty() &&
              data.vCohortLabel.empty() && data.vVarCovRows.empty() &&
              data.vMADWDValues.empty());
  EXPECT_EQ(data.GetWeightingMatrix(), nullptr);
  EXPECT_EQ(data.mWork.Nrows(), 0);
}

TEST(kmCalcData, ModelIndexOutsideTheModelsIsRefused) {
  kmCalcData data;
  data.vModels.resize(2);
  data.vModels[1].SetBIC(7.5);
  EXPECT_EQ(data.GetModel(1).GetBIC(), 7.5);
  for (int i : {-1, 2}) {
    SCOPED_TRACE(i);
    KmException e = CatchKmException([&] { data.GetModel(i); });
    EXPECT_EQ(std::string(e.GetMessage()),
              "Requested model number:  " + std::to_string(i) +
                  " is not a valid model number for this cohort.  The number "
                  "of models for the cohort is:  2");
    EXPECT_STREQ(e.GetSource(),
                 "const kmTable& kmCalcData::GetModel(int iIndex) const");
    EXPECT_STREQ(e.GetCallPath(), "GetModel() of kmCalcData");
  }
}

TEST(kmCalcData, FTestIndexOutsideTheTestsIsRefused) {
  kmCalcData data;
  data.vFTests.push_back(kmFTest(0, 1));
  data.vFTests.push_back(kmFTest(1, 2));
  EXPECT_EQ(data.GetFTest(1).uAltKinkmarks, 2);
  KmException e = CatchKmException([&] { data.GetFTest(2); });
  EXPECT_STREQ(e.GetMessage(),
               "Requested FTest index  (2 is beyond the number of F Tests:  2");
  EXPECT_STREQ(e.GetSource(),
               "const kmTable& kmCalcData::GetFTest(int iIndex) const");
  e = CatchKmException([&] { data.GetFTest(-1); });
  EXPECT_STREQ(e.GetMessage(), "Index -1 out of range; vector is from 0 to 1");
  EXPECT_STREQ(e.GetCallPath(), "GetFTest() of kmCalcData");
}

TEST(kmCalcData, ComparisonIsParallelWhenTheLastTestDoesNotReject) {
  const struct {
    const char* sName;
    bool bValid;
    double dPermPValue;
    bool bParallel;
  } kCases[] = {
      {"p above alpha", true, 0.2, true},
      {"p equal to alpha", true, 0.05, false},
      {"p below alpha", true, 0.01, false},
      {"invalid record", false, 0.2, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sName);
    kmCalcData data;
    data.bValid = c.bValid;
    kmFTest first(0, 1);
    first.dAlpha = 0.05;
    first.dPermPValue = 0.9;  // only the last test counts
    kmFTest last(0, 1);
    last.dAlpha = 0.05;
    last.dPermPValue = c.dPermPValue;
    data.vFTests.push_back(first);
    data.vFTests.push_back(last);
    EXPECT_EQ(data.IsComparisonParallel(), c.bParallel);
  }
}

TEST(kmCalcData, ValidComparisonWithoutTestsCannotBeJudged) {
  kmCalcData data;
  KmException e = CatchKmException([&] { data.IsComparisonParallel(); });
  EXPECT_STREQ(e.GetSource(), "KmVector");
  EXPECT_STREQ(e.GetCallPath(),
               "GetFTest() of kmCalcData\r\nIsComparisonParallel() of "
               "kmCalcData");
  data.bValid = false;
  EXPECT_FALSE(data.IsComparisonParallel());
}

TEST(kmCalcData, BadDescriptionLabelsAndMADWDValuesAreReplacedWhole) {
  kmCalcData data;
  data.SetCohortBadDescription("Too few observations");
  EXPECT_EQ(data.sBadDescription, "Too few observations");
  EXPECT_EQ(data.sBadDescriptionDisplay, "** Too few observations");
  data.SetCohortBadDescription("");
  EXPECT_EQ(data.sBadDescriptionDisplay, "** ");
  data.SetCohortLabel(KmVector<KmString>{"Male", "White"});
  data.SetCohortLabel(KmVector<KmString>{"Female"});
  EXPECT_EQ(data.vCohortLabel, KmVector<KmString>{"Female"});
  data.SetMADWDValues(Rows({{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}}));
  data.SetMADWDValues(Rows({{0.5, 0, 1, 0, 2, 1}}));
  EXPECT_EQ(data.vMADWDValues, Rows({{0.5, 0, 1, 0, 2, 1}}));
  data.SetMADWDValues(Rows({}));
  EXPECT_TRUE(data.vMADWDValues.empty());
}

TEST(kmCalcData, UnloggedCovarianceIsInvertedAsGiven) {
  kmCalcData data;
  const auto rows = Rows({{4.0, 1.0}, {1.0, 2.0}});
  data.SetVarianceCovarianceMatrix(rows, NEWMAT::Matrix(), false);
  EXPECT_TRUE(data.bVarCovMatrix);
  EXPECT_EQ(data.vVarCovRows, rows);
  NEWMAT::Matrix w(2, 2);
  w << 4.0 << 1.0 << 1.0 << 2.0;
  ExpectMatrixNear(data.mWork, w);
  // inverse of [[4, 1], [1, 2]] = [[2, -1], [-1, 4]] / 7
  NEWMAT::Matrix inverse(2, 2);
  inverse << 2.0 / 7 << -1.0 / 7 << -1.0 / 7 << 4.0 / 7;
  ASSERT_NE(data.GetWeightingMatrix(), nullptr);
  ExpectMatrixNear(*data.GetWeightingMatrix(), inverse);
}

TEST(kmCalcData, LogLinearCovarianceIsScaledByTheDeltaMethod) {
  // y = (2, 4): var(log y_i) = var_i / y_i^2, cov = cov_ij / (y_i y_j).
  const struct {
    const char* sName;
    double dUpper, dLower;  // rows[0][1], rows[1][0]
    double dScaled;         // expected W(1, 2) = W(2, 1)
  } kCases[] = {
      {"correlated", 2.0, 2.0, 0.25},
      {"zero covariance", 0.0, 0.0, 0.0},
      {"only the upper triangle counts", 0.0, 5.0, 0.0},
      {"upper triangle mirrored", 4.0, 0.0, 0.5},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sName);
    kmCalcData data;
    data.SetVarianceCovarianceMatrix(Rows({{4.0, c.dUpper}, {c.dLower, 32.0}}),
                                     Column({std::log(2.0), std::log(4.0)}),
                                     true);
    NEWMAT::Matrix w(2, 2);
    w << 1.0 << c.dScaled << c.dScaled << 2.0;
    ExpectMatrixNear(data.mWork, w);
    ExpectMatrixNear(*data.GetWeightingMatrix(), w.i());
  }
}

TEST(kmCalcData, InvalidCovarianceIsRefusedAndChangesNothing) {
  kmCalcData data;
  data.SetVarianceCovarianceMatrix(Rows({{1.0}}), NEWMAT::Matrix(), false);
  const NEWMAT::Matrix* pBefore = data.GetWeightingMatrix();
  KmException e = CatchKmException([&] {
    data.SetVarianceCovarianceMatrix(Rows({{1.0, 0.0}, {0.0}}),
                                     NEWMAT::Matrix(), false);
  });
  EXPECT_STREQ(e.GetMessage(),
               "The variance-covariance matrix must be square: row 2 holds 1 "
               "values, not 2.");
  EXPECT_STREQ(e.GetCallPath(), "SetVarianceCovarianceMatrix() of kmCalcData");
  EXPECT_EQ(data.vVarCovRows.size(), 1u);
  EXPECT_EQ(data.GetWeightingMatrix(), pBefore);
  // Fault: a negative pivot left the partial factor as the weights
  // ([[1, 0], [0, 0]] here, dropping observation 2).
  e = CatchKmException([&] {
    data.SetVarianceCovarianceMatrix(Rows({{1.0, 0.0}, {0.0, -1.0}}),
                                     NEWMAT::Matrix(), false);
  });
  EXPECT_STREQ(e.GetMessage(),
               "The variance-covariance matrix is not positive definite.");
  EXPECT_EQ(data.GetWeightingMatrix(), pBefore);
}

TEST(kmCalcData, CopiesOwnTheirWeightingMatrix) {
  auto pOriginal = std::make_unique<kmCalcData>();
  pOriginal->SetVarianceCovarianceMatrix(Rows({{2.0, 0.0}, {0.0, 8.0}}),
                                         NEWMAT::Matrix(), false);
  pOriginal->vModels.resize(1);
  pOriginal->SetCohortLabel(KmVector<KmString>{"M"});
  kmCalcData copy(*pOriginal);
  kmCalcData assigned;
  assigned.SetVarianceCovarianceMatrix(Rows({{1.0}}), NEWMAT::Matrix(), false);
  assigned = *pOriginal;
  const kmCalcData& same = assigned;
  assigned = same;  // harmless (through a reference: no self-assign warning)
  EXPECT_NE(copy.GetWeightingMatrix(), pOriginal->GetWeightingMatrix());
  pOriginal.reset();
  NEWMAT::Matrix inverse(2, 2);
  inverse << 0.5 << 0.0 << 0.0 << 0.125;
  for (const kmCalcData* p : {&copy, &assigned}) {
    ASSERT_NE(p->GetWeightingMatrix(), nullptr);
    ExpectMatrixNear(*p->GetWeightingMatrix(), inverse);
    EXPECT_TRUE(p->bVarCovMatrix);
    EXPECT_EQ(p->vModels.size(), 1u);
    EXPECT_EQ(p->vCohortLabel, KmVector<KmString>{"M"});
  }
}

}  // namespace
