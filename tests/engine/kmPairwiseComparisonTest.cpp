// Pairwise comparison of cohorts: the comparison grid, pair-swap shuffle,
// residuals, F tests and standard errors, and whole comparison passes over
// synthetic cohorts written to a results file and read back.
//
// The independent expectations: for straight lines (0 kinkmarks) the joint
// and the separate fits are ordinary least squares, computed here from the
// closed form of a simple regression; the coincident standard errors must
// equal the single-cohort routine's on the stacked data.
#include <gtest/gtest.h>
#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/kmCalculator.h"
#include "engine/kmPairwiseComparison.h"
#include "foundation/KmException.h"
#include "foundation/KmProgressInterface.h"
#include "reports/kmExports.h"
#include "results/kmCalcData.h"
#include "results/kmCalcHandler.h"
#include "results/kmFTest.h"
#include "results/kmTable.h"
#include "session/DataExportOptions.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "stats/MersenneTwister.h"
#include "tests/engine/kmCalculatorTestPeer.h"
#include "tests/engine/kmPairwiseComparisonTestPeer.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/ResultsFileFixture.h"
#include "tests/test_util/TestUtil.h"

using NEWMAT::ColumnVector;
using NEWMAT::IdentityMatrix;
using NEWMAT::Matrix;

namespace {

// A tracker that can be cancelled from the test.
class CancellableProgress : public KmNullProgress {
 public:
  bool IsCancelled() const override { return bCancelled; }
  bool bCancelled = false;
};

struct Cohort {
  std::vector<double> x;
  std::vector<double> y;
};

// Normal noise of standard deviation sd, by the Box-Muller transform of a
// seeded generator.
std::vector<double> Noise(int n, double sd, int iSeed) {
  MersenneTwister mt;
  mt.sgenrand(static_cast<uint32_t>(iSeed));
  std::vector<double> e;
  for (int i = 0; i < n; ++i) {
    const double u1 = 1.0 - mt.genrand();
    const double u2 = mt.genrand();
    e.push_back(sd * std::sqrt(-2.0 * std::log(u1)) *
                std::cos(6.283185307179586 * u2));
  }
  return e;
}

// Cohort of m years from x0 with y = a + b t (t = year - 2000) + noise.
Cohort Line(int m, double x0, double a, double b, double sd, int iSeed) {
  Cohort c;
  const std::vector<double> e = Noise(m, sd, iSeed);
  for (int i = 0; i < m; ++i) {
    c.x.push_back(x0 + i);
    c.y.push_back(a + b * (x0 + i - 2000) + e[i]);
  }
  return c;
}

// A calculator whose results handler is ready for comparison records, for
// a session with iNumByVars by-variables and pairwise comparisons.
class ComparisonRun {
 public:
  ComparisonRun(int iNumByVars, int kmin, int kmax, int iType, int iMethod,
                int16_t iCores = 1, int iSeed = 7160)
      : session_(km_test::MakeSession(iNumByVars, true)) {
    session_.SetNumCores(iCores);
    session_.SetBool(kmOptLogLinear, false);
    session_.SetInt(kmOptMinKinkmarks, kmin);
    session_.SetInt(kmOptMaxKinkmarks, kmax);
    session_.SetInt(kmOptPairwiseType, iType);
    session_.SetInt(kmOptModelSelection, iMethod);
    session_.SetInt(kmOptNumPermutations, 19);
    session_.SetInt(kmOptPairwisePermutations, 199);
    session_.SetInt(kmOptPermutationSeed, iSeed);
    calc_ = std::make_unique<kmCalculator>(&session_);
    comparison_ = std::make_unique<kmPairwiseComparison>(*calc_);
    sPath_ = dir_.File("pairs.kmo");
    kmCalcHandler& h = *calc_->GetCalcHandler();
    km_test::PrepareWriter(h, sPath_, iNumByVars);
    nCohorts_ = km_test::NumCohorts(iNumByVars);
    const kmCalcData record = km_test::MakeRecord(0);
    for (int c = 0; c < nCohorts_; ++c) h.WriteCohortCalcData(&record);
  }

  // Installs the cohorts' data as the comparison pass does: every array R
  // rows long (R the longest cohort), unused rows 0.
  void Install(const std::vector<Cohort>& cohorts) {
    size_t R = 0;
    for (const Cohort& c : cohorts) R = std::max(R, c.x.size());
    const int n = static_cast<int>(cohorts.size());
    std::vector<Matrix> X(n, Matrix(R, 2)), Y(n, Matrix(R, 1)),
        S(n, Matrix(R, 1));
    std::vector<ColumnVector> W(n, ColumnVector(R));
    kmPairwiseComparison::GroupArray<Matrix> pX, pY, pS;
    kmPairwiseComparison::GroupArray<ColumnVector> pW;
    for (int i = 0; i < n; ++i) {
      X[i] = 0.0;
      Y[i] = 0.0;
      S[i] = 0.0;
      W[i] = 0.0;
      for (size_t r = 1; r <= cohorts[i].x.size(); ++r) {
        X[i](r, 1) = 1.0;
        X[i](r, 2) = cohorts[i].x[r - 1];
        Y[i](r, 1) = cohorts[i].y[r - 1];
        S[i](r, 1) = 0.5;
        W[i](r) = 1.0;
      }
      pX.push_back(&X[i]);
      pY.push_back(&Y[i]);
      pS.push_back(&S[i]);
      pW.push_back(&W[i]);
    }
    comparison_->SetTwoGroupMatrices(n, static_cast<int>(R), pX, pY, pW, pS);
  }

  // The pass, then the file completed and read back.
  void Run(const std::vector<bool>& vGood, KmProgressInterface* pTracker) {
    ColumnVector vFinal(nCohorts_);
    vFinal = session_.GetInt(kmOptMinKinkmarks);
    KmVector<bool> vFlags(vGood.begin(), vGood.end());
    comparison_->TwoGroupComp(pTracker, vFinal, vFlags);
    kmCalcHandler& h = *calc_->GetCalcHandler();
    h.WriteOffsets();
    h.WriteNumericData();
    h.CloseOutFile();
    reader_ = std::make_unique<kmCalcHandler>(sPath_.c_str(), nullptr);
  }

  const kmCalcData& Comparison(int k) const {
    return reader_->GetCalcData(nCohorts_ + k);
  }
  kmCalculator& Calc() { return *calc_; }
  kmPairwiseComparison& Pass() { return *comparison_; }
  kmCalcHandler& Reader() { return *reader_; }

 private:
  km_test::ScratchDir dir_;
  kmSession session_;
  std::unique_ptr<kmCalculator> calc_;
  std::unique_ptr<kmPairwiseComparison> comparison_;
  std::string sPath_;
  int nCohorts_ = 0;
  std::unique_ptr<kmCalcHandler> reader_;
};

// Residual sum of squares of the least-squares fit of y on the columns of
// Z, by the normal equations.
double LeastSquaresSSE(const Matrix& Z, const ColumnVector& y) {
  const ColumnVector beta = (Z.t() * Z).i() * (Z.t() * y);
  const ColumnVector e = y - Z * beta;
  return e.SumSquare();
}

// The design of the lines through cohorts a and b (12 rows each): with
// bOwnIntercepts a level per cohort, with bOwnSlopes a slope per cohort.
Matrix LineDesign(const Cohort& a, const Cohort& b, bool bOwnIntercepts,
                  bool bOwnSlopes) {
  const int m = static_cast<int>(a.x.size());
  const int p = 2 + (bOwnIntercepts ? 1 : 0) + (bOwnSlopes ? 1 : 0);
  Matrix Z(2 * m, p);
  Z = 0.0;
  for (int r = 1; r <= 2 * m; ++r) {
    const bool bSecond = r > m;
    const double x = bSecond ? b.x[r - m - 1] : a.x[r - 1];
    Z(r, 1) = 1.0;
    Z(r, 2) = x - 2000;
    int c = 3;
    if (bOwnIntercepts) Z(r, c++) = bSecond ? 1.0 : 0.0;
    if (bOwnSlopes) Z(r, c) = bSecond ? x - 2000 : 0.0;
  }
  return Z;
}

// A bare calculator on a session with the given pairwise type.
struct BareCalc {
  explicit BareCalc(int iType = 1) {
    session.SetBool(kmOptLogLinear, false);
    session.SetInt(kmOptPairwiseType, iType);
    calc = std::make_unique<kmCalculator>(&session);
  }
  // The comparison on the current calculator (made anew when calc is).
  kmPairwiseComparison& Cmp() {
    if (comparison == nullptr ||
        &ComparisonMembers(*comparison).calc_ != calc.get()) {
      comparison = std::make_unique<kmPairwiseComparison>(*calc);
    }
    return *comparison;
  }
  kmSession session;
  std::unique_ptr<kmCalculator> calc;
  std::unique_ptr<kmPairwiseComparison> comparison;
};

// Makes design X (responses 0, weights 1, standard errors 0.1) the fit in
// hand of cmp, with the independent values in column c.
void LoadDesign(kmPairwiseComparison& cmp, const Matrix& X, int c = 2,
                const Matrix* pY = nullptr) {
  const int n = X.Nrows();
  Matrix Y(n, 1), Z(n, 1);
  Y = 0.0;
  Z = 0.1;
  ColumnVector w(n);
  w = 1.0;
  cmp.LoadFit(X, static_cast<int16_t>(c), pY != nullptr ? *pY : Y, w, Z);
}

TEST(FindGridPointsComp, CandidatesIndicesAndHinges) {
  struct Case {
    int g;
    int iExpectedG;
    std::vector<double> firstValues;
    std::vector<double> firstIndices;
  };
  // x = 1, 2, 4, 7, ... (gaps 1, 2, 3, ...), m = 10, a = 2, b = 2.
  const Case kCases[] = {{0, 6, {4, 7, 11}, {4, 5, 6}},
                         {1, 13, {3, 4, 5.5, 7}, {5, 7, 7, 9}}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.g);
    BareCalc b;
    kmCalculator& k = *b.calc;
    kmPairwiseComparison cmp(k);
    Matrix X(10, 2);
    double x = 1.0;
    for (int r = 1; r <= 10; ++r) {
      X(r, 1) = 1.0;
      X(r, 2) = x;
      x += r;
    }
    LoadDesign(cmp, X);
    ComparisonMembers(cmp).pair_.iObsPerCohort = 10;
    const int G = cmp.FindGridPointsComp(2, 2, static_cast<uint16_t>(c.g));
    EXPECT_EQ(G, c.iExpectedG);
    const ColumnVector& vValues = *CalcMembers(k).pGridValues;
    const ColumnVector& vIndices = *CalcMembers(k).pGridAux;
    const Matrix& H = *CalcMembers(k).pX0;
    for (size_t i = 0; i < c.firstValues.size(); ++i) {
      EXPECT_DOUBLE_EQ(vValues(i + 1), c.firstValues[i]) << i;
      EXPECT_EQ(vIndices(i + 1), c.firstIndices[i]) << i;
    }
    if (c.g == 0) {
      EXPECT_EQ(vIndices(6), 9);
    }
    ASSERT_EQ(H.Ncols(), 2 + G);
    // Hinge of the first candidate at every row: max(0, x - value).
    for (int r = 1; r <= 10; ++r) {
      EXPECT_DOUBLE_EQ(H(r, 3), std::max(0.0, X(r, 2) - vValues(1)));
    }
  }
  // Fewer than 2a observations: no candidate and H = X0.
  BareCalc b;
  Matrix X(3, 2);
  X = 1.0;
  LoadDesign(b.Cmp(), X);
  ComparisonMembers(b.Cmp()).pair_.iObsPerCohort = 3;
  EXPECT_EQ(b.Cmp().FindGridPointsComp(2, 2, 0), 0);
  EXPECT_EQ(CalcMembers(*b.calc).pX0->Ncols(), 2);
}

// A search runs on the calculator's cross products of the current design:
// before they are formed for it, and again once new data are loaded (also
// of the same size), the search is refused.
TEST(GridSearchComp, SearchBeforeItsCrossProductsIsRefused) {
  BareCalc b;
  Matrix X(8, 2);
  for (int r = 1; r <= 8; ++r) {
    X(r, 1) = 1.0;
    X(r, 2) = r;
  }
  ComparisonMembers(b.Cmp()).pair_.iObsPerCohort = 4;
  const struct {
    const char* sStep;
    bool bCrossProducts, bReloaded, bRefused;
  } kSteps[] = {{"grid only", false, false, true},
                {"grid and cross products", true, false, false},
                {"new data after them", true, true, true}};
  for (const auto& step : kSteps) {
    SCOPED_TRACE(step.sStep);
    LoadDesign(b.Cmp(), X);
    const int G = b.Cmp().FindGridPointsComp(1, 0, 0);
    if (step.bCrossProducts) {
      Matrix mA, mB;
      b.calc->WLSWgt(0.0, mA, mB);
      b.calc->SetWeightRoot(mA);
      b.calc->PreCalcXWX();
    }
    if (step.bReloaded) LoadDesign(b.Cmp(), X);
    ColumnVector vKinkmarks, vCoefs, vSumSq(1);
    Matrix mGrid;
    auto search = [&] {
      b.Cmp().GridSearchComp(1, 1, vKinkmarks, vCoefs, vSumSq,
                             static_cast<int16_t>(G), mGrid, nullptr);
    };
    if (!step.bRefused) {
      EXPECT_NO_THROW(search());
      continue;
    }
    const KmException e = km_test::CatchKmException(search);
    EXPECT_NE(std::string(e.GetMessage()).find("not prepared"),
              std::string::npos);
    EXPECT_STREQ(e.GetCallPath(), "GridSearchComp() of kmCalculator");
  }
}

TEST(Shuffle2, SwapsOnlyThePairsOfOnePosition) {
  for (int n : {20, 21}) {
    SCOPED_TRACE(n);
    BareCalc b;
    b.calc->SetNumObservations(static_cast<int16_t>(n));
    b.calc->SeedGenerator(7160);
    ColumnVector v(n);
    for (int i = 1; i <= n; ++i) v(i) = i;
    b.Cmp().Shuffle2(v);
    const int h = n / 2;
    int iSwapped = 0;
    for (int i = 1; i <= h; ++i) {
      const bool bSwapped = v(i) == i + h && v(i + h) == i;
      EXPECT_TRUE(bSwapped || (v(i) == i && v(i + h) == i + h)) << i;
      iSwapped += bSwapped ? 1 : 0;
    }
    EXPECT_GT(iSwapped, 0);
    EXPECT_LT(iSwapped, h);
    if (n % 2 == 1) {
      EXPECT_EQ(v(n), n);
    }
  }
}

// Two cohorts at x = 0 .. m - 1 on the model with first intercept a, slopes
// b and kinkmarks tau; the second cohort of the parallel design lies 5
// above the first. Expected: f(x) = a + b1 x + sum (b(s+1) - bs)(x - taus)+,
// and one data row more per kinkmark strictly between observations.
// Fault (second row): the walk moved at most one segment per observation, so
// with two kinkmarks between x = 9 and x = 10 the fit at 10 stayed on the
// middle segment.
TEST(ResidsComp, FitsFollowEveryKinkmarkInBothDesigns) {
  struct Case {
    int m;
    double a;
    std::vector<double> b, tau;
    int iBetween;
  };
  const Case kCases[] = {{5, 1.0, {1.0, 3.0}, {2.0}, 0},
                         {20, 0.0, {1.0, -10.0, 0.5}, {9.25, 9.5}, 2}};
  for (const Case& t : kCases) {
    for (int iType : {1, 0}) {
      SCOPED_TRACE(testing::Message() << t.m << (iType == 1 ? " co" : " par"));
      const int k = static_cast<int>(t.tau.size());
      const int c = iType == 1 ? 2 : 3;
      const int n = 2 * t.m;
      auto f = [&](double x) {
        double y = t.a + t.b[0] * x;
        for (int s = 0; s < k; ++s) {
          y += (t.b[s + 1] - t.b[s]) * std::max(0.0, x - t.tau[s]);
        }
        return y;
      };
      BareCalc bare(iType);
      kmCalculator& calc = *bare.calc;
      kmPairwiseComparison cmp(calc);
      Matrix X0(n, c), Y(n, 1), Z(n, 1);
      X0 = 0.0;
      Z = 0.1;
      for (int r = 1; r <= t.m; ++r) {
        X0(r, 1) = X0(t.m + r, c == 2 ? 1 : 2) = 1.0;
        X0(r, c) = X0(t.m + r, c) = r - 1;
        Y(r, 1) = Y(t.m + r, 1) = r;
      }
      ColumnVector w(n);
      w = 1.0;
      cmp.LoadFit(X0, static_cast<int16_t>(c), Y, w, Z);
      // B: first intercept (and the second cohort's), the other segments'
      // intercepts, the slopes, the slope changes.
      std::vector<double> vB = {t.a};
      if (c == 3) vB.push_back(t.a + 5.0);
      double dIntercept = t.a;
      for (int s = 0; s < k; ++s) {
        dIntercept += (t.b[s] - t.b[s + 1]) * t.tau[s];
        vB.push_back(dIntercept);
      }
      vB.insert(vB.end(), t.b.begin(), t.b.end());
      for (int s = 0; s < k; ++s) vB.push_back(t.b[s + 1] - t.b[s]);
      ColumnVector B(static_cast<int>(vB.size())), tau(k);
      for (size_t i = 0; i < vB.size(); ++i) B(i + 1) = vB[i];
      for (int s = 0; s < k; ++s) tau(s + 1) = t.tau[s];
      Matrix mFits(k + 1, n), mResid(k + 1, n);
      kmTable model;
      cmp.ResidsComp(static_cast<uint16_t>(k), 2000, IdentityMatrix(n), B, tau,
                     mFits, mResid, model);
      const double dOffset = c == 2 ? 0.0 : 5.0;
      for (int r = 1; r <= t.m; ++r) {
        EXPECT_NEAR(mFits(k + 1, r), f(r - 1), 1e-12) << r;
        EXPECT_NEAR(mFits(k + 1, t.m + r), f(r - 1) + dOffset, 1e-12) << r;
        EXPECT_NEAR(mResid(k + 1, r), r - f(r - 1), 1e-12) << r;
      }
      const Matrix& mData = model.GetData();
      const int iRows = t.m + t.iBetween;
      ASSERT_EQ(mData.Nrows(), 2 * iRows);
      for (int r = 1; r <= 2 * iRows; ++r) {
        const double x = mData(r, 1) - 2000;
        EXPECT_NEAR(mData(r, 3), f(x) + (r > iRows ? dOffset : 0.0), 1e-12)
            << r;
      }
    }
  }
}

TEST(FTestComp, DegreesOfFreedomSecondTestAndPermutationShare) {
  BareCalc b;
  b.calc->SetNumObservations(20);
  CalcMembers(*b.calc).iXColumn = 2;
  ColumnVector s0(4), s1(4);
  s0 << 10.0 << 10.0 << 10.0 << 10.0;
  s1 << 5.0 << 9.0 << 4.0 << 5.0;
  kmFTest one(1, 2);
  EXPECT_EQ(b.Cmp().FTestComp(1, 2, 0.025, 1, s0, s1, one), 0.025);
  EXPECT_EQ(one.lNumeratorDF, 2);
  EXPECT_EQ(one.lDenominatorDF, 14);
  EXPECT_TRUE(one.bSecondStat);
  EXPECT_EQ(one.lSecondNumeratorDF, 3);
  EXPECT_DOUBLE_EQ(one.dF, (10.0 - 5.0) / 5.0 * 14 / 2);
  EXPECT_DOUBLE_EQ(one.dSecondF, one.dF * 2 / 3);
  EXPECT_EQ(one.dPermPValue, 0.0);  // as constructed
  kmFTest perm(1, 2);
  // F_d >= F for data sets 1, 3 (larger) and 4 (equal).
  EXPECT_DOUBLE_EQ(b.Cmp().FTestComp(1, 2, 0.025, 4, s0, s1, perm), 0.75);
  EXPECT_EQ(perm.dAlpha, 0.025);
}

TEST(FTestComp, TiesCountWithinTheToleranceOfTheCohortTest) {
  // One residual degree of freedom over two added parameters (r = 0.5): a
  // permuted S0 one step below the observed one gives an F a rounding error
  // below the observed F, a tie in the comparison test as in the cohort
  // test. A clearly smaller F counts in neither.
  struct Row {
    double dS0;
    double dExpected;
  };
  const Row rows[] = {{10.2, 1.0},
                      {std::nextafter(10.2, 0.0), 1.0},
                      {std::nextafter(10.2, 20.0), 1.0},
                      {10.1, 0.5}};
  BareCalc b;
  CalcMembers(*b.calc).iXColumn = 2;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.dS0);
    ColumnVector s0(2), s1(2);
    s0 << 10.2 << row.dS0;
    s1 << 10.0 << 10.0;
    kmFTest comp(1, 2);
    b.calc->SetNumObservations(7);  // p1 = 6
    EXPECT_EQ(b.Cmp().FTestComp(1, 2, 0.05, 2, s0, s1, comp), row.dExpected);
    kmFTest cohort(0, 1);
    b.calc->SetNumObservations(5);  // 4 parameters with one kinkmark
    EXPECT_EQ(b.calc->FTest(1, 0, 1, 0.05, 2, s0, s1, cohort), row.dExpected);
  }
}

TEST(CompFTest, DegreesOfFreedomAndPermutationPValue) {
  struct Case {
    const char* sName;
    kmPairwiseType type;
    int K;
    int16_t N;
    std::vector<double> sse0, sse1, sse2;
    int df1, df2;
    double F, dPerm;
  };
  const Case kCases[] = {
      // K = 0, m = 4, coincident: p0 = 2, p1 = 4.
      {"coincident K 0",
       kmPairwiseType::kCoincident,
       0,
       8,
       {6, 6, 6},
       {1, 4, 1},
       {1, 1, 0.5},
       2,
       4,
       (6.0 - 2) / 2 * 4 / 2,
       2.0 / 3},
      {"parallel K 1",
       kmPairwiseType::kParallel,
       1,
       20,
       {6, 6, 6},
       {1, 1, 1},
       {1, 1, 1},
       3,
       12,
       (6.0 - 2) / 2 * 12 / 3,
       1.0},
      {"F of 0",
       kmPairwiseType::kCoincident,
       0,
       8,
       {2, 6, 6},
       {1, 1, 1},
       {1, 1, 1},
       2,
       4,
       0.0,
       1.0},
      // Data set 2 is data set 1 times 7: its F falls one rounding step
      // below the observed one and still counts as reaching it.
      {"tie within rounding",
       kmPairwiseType::kCoincident,
       0,
       8,
       {0.5, 0.5 * 7, 1},
       {0.1, 0.1 * 7, 1},
       {0.3, 0.3 * 7, 1},
       2,
       4,
       (0.5 - 0.4) / 0.4 * 2,
       2.0 / 3},
      {"no df2",
       kmPairwiseType::kCoincident,
       1,
       8,
       {6, 6, 6},
       {1, 1, 1},
       {1, 1, 1},
       4,
       0,
       0.0,
       1.0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    BareCalc b;
    b.session.SetInt(kmOptPairwisePermutations, 2);
    b.calc = std::make_unique<kmCalculator>(&b.session);
    ColumnVector s0(3), s1(3), s2(3);
    for (int d = 0; d < 3; ++d) {
      s0(d + 1) = c.sse0[d];
      s1(d + 1) = c.sse1[d];
      s2(d + 1) = c.sse2[d];
    }
    kmFTest test(0, 1);
    b.Cmp().CompFTest(c.type, c.K, c.N, s0, s1, s2, test);
    EXPECT_EQ(test.lNumeratorDF, c.df1);
    EXPECT_EQ(test.lDenominatorDF, c.df2);
    EXPECT_DOUBLE_EQ(test.dF, c.F);
    EXPECT_DOUBLE_EQ(test.dPermPValue, c.dPerm);
    EXPECT_EQ(test.lNumPermutations, 3);
    if (c.F == 0.0) {
      EXPECT_EQ(test.dPValue, 1.0);
    }
  }
}

TEST(KinkMkSEsComp, CoincidentDesignMatchesTheSingleCohortRoutine) {
  for (int k : {0, 1}) {
    SCOPED_TRACE(k);
    BareCalc b;
    kmCalculator& calc = *b.calc;
    kmPairwiseComparison cmp(calc);
    const int n = 16;
    const Cohort a = Line(8, 2000, 1.0, 0.3, 0.2, 1);
    const Cohort s = Line(8, 2000, 1.2, 0.3, 0.2, 2);
    Matrix X0(n, 2), Y(n, 1);
    for (int r = 1; r <= 8; ++r) {
      X0(r, 1) = X0(8 + r, 1) = 1.0;
      X0(r, 2) = X0(8 + r, 2) = r - 1;
      Y(r, 1) = a.y[r - 1];
      Y(8 + r, 1) = s.y[r - 1];
    }
    LoadDesign(cmp, X0, 2, &Y);
    // The single-cohort routine reads the design of the searches.
    calc.LoadCandidateGrid(ColumnVector(0), ColumnVector(0), X0);
    Matrix mA, mB;
    calc.WLSWgt(0.0, mA, mB);
    calc.SetWeightRoot(mA);
    ColumnVector tau(k);
    if (k == 1) tau(1) = 3.5;
    Matrix mComp, mSingle;
    kmTable tComp, tSingle;
    const double dComp = cmp.KinkMkSEsComp(k, tau, mComp, tComp);
    const double dSingle =
        calc.KinkMkSEs(static_cast<uint16_t>(k), tau, &mSingle, &tSingle);
    EXPECT_DOUBLE_EQ(dComp, dSingle);
    ASSERT_EQ(mComp.Nrows(), 2 + 3 * k);
    for (int i = 1; i <= mComp.Nrows(); ++i) {
      for (int j = 1; j <= mComp.Ncols(); ++j) {
        EXPECT_NEAR(mComp(i, j), mSingle(i, j), 1e-10) << i << "," << j;
      }
    }
  }
}

// Fault: the residual sum came from cross products, Y'WY - b'X'WY, which
// cancels at count-like levels (var(slope 1) fell to 0 at 1e8). A shift of
// the data's level changes no residual, so no variance may change.
TEST(KinkMkSEsComp, CovarianceDoesNotDependOnTheDataLevel) {
  const int m = 30;
  const int n = 2 * m;
  const std::vector<double> e = Noise(n, 0.3, 11);
  std::vector<Matrix> covs;
  for (double dLevel : {0.0, 1e7, 1e8}) {
    SCOPED_TRACE(dLevel);
    BareCalc b;
    kmCalculator& calc = *b.calc;
    kmPairwiseComparison cmp(calc);
    Matrix X0(n, 2), Y(n, 1);
    for (int r = 1; r <= n; ++r) {
      const double x = (r - 1) % m;
      X0(r, 1) = 1.0;
      X0(r, 2) = x;
      Y(r, 1) =
          dLevel + 2.0 + 0.5 * x - 0.8 * std::max(0.0, x - 14.5) + e[r - 1];
    }
    LoadDesign(cmp, X0, 2, &Y);
    Matrix mA, mB;
    calc.WLSWgt(0.0, mA, mB);
    calc.SetWeightRoot(mA);
    ColumnVector tau(1);
    tau(1) = 14.5;
    Matrix mCov;
    kmTable table;
    cmp.KinkMkSEsComp(1, tau, mCov, table);
    covs.push_back(mCov);
  }
  ASSERT_GT(covs[0](3, 3), 0.0);
  for (const Matrix& mCov : {covs[1], covs[2]}) {
    for (int i = 1; i <= 5; ++i) {
      for (int j = 1; j <= 5; ++j) {
        const double dScale = std::sqrt(covs[0](i, i) * covs[0](j, j));
        EXPECT_NEAR(mCov(i, j), covs[0](i, j), 1e-6 * dScale) << i << "," << j;
      }
    }
  }
}

// Fault: the parallel design's refit measured the second cohort's intercept
// as an offset from the first's, while B(2) and the model table read it as
// the second cohort's own intercept, so its standard error was that of the
// offset. For k = 0 the covariance must be s2 (Z'Z)^-1 of Z = (first-cohort
// indicator, second-cohort indicator, x), computed here by least squares.
TEST(KinkMkSEsComp, ParallelCovarianceIsThatOfTheCohortIntercepts) {
  BareCalc b(0);
  kmCalculator& calc = *b.calc;
  kmPairwiseComparison cmp(calc);
  const int m = 8;
  const int n = 2 * m;
  const Cohort a = Line(m, 2000, 1.0, 0.3, 0.2, 1);
  const Cohort s = Line(m, 2000, 2.0, 0.3, 0.2, 2);
  Matrix Z(n, 3);
  Z = 0.0;
  ColumnVector y(n);
  for (int r = 1; r <= m; ++r) {
    Z(r, 1) = 1.0;
    Z(m + r, 2) = 1.0;
    Z(r, 3) = Z(m + r, 3) = r - 1;
    y(r) = a.y[r - 1];
    y(m + r) = s.y[r - 1];
  }
  const Matrix Y = y;
  LoadDesign(cmp, Z, 3, &Y);
  Matrix mA, mB;
  calc.WLSWgt(0.0, mA, mB);
  calc.SetWeightRoot(mA);
  Matrix mCov;
  kmTable table;
  EXPECT_DOUBLE_EQ(cmp.KinkMkSEsComp(0, ColumnVector(0), mCov, table), n - 3.0);

  const Matrix mInv = (Z.t() * Z).i();
  const ColumnVector beta = mInv * Z.t() * y;
  const ColumnVector e = y - Z * beta;
  const double s2 = e.SumSquare() / (n - 3);
  ASSERT_EQ(mCov.Nrows(), 3);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) {
      EXPECT_NEAR(mCov(i, j), s2 * mInv(i, j), 1e-12) << i << "," << j;
    }
  }
}

TEST(TwoGroupComp, OneByGroupIsRefused) {
  ComparisonRun run(1, 0, 0, 1, 1);
  run.Install({Line(8, 2000, 1, 0.2, 0.1, 1)});
  CancellableProgress tracker;
  const KmException e = km_test::CatchKmException([&] {
    run.Pass().TwoGroupComp(&tracker, ColumnVector(1), KmVector<bool>{true});
  });
  EXPECT_STREQ(e.GetMessage(), "Not enough byGroups to compare.");
  EXPECT_STREQ(e.GetSource(), "TwoGroupComp()");
  EXPECT_STREQ(e.GetCallPath(), "TwoGroupComp() of kmCalculator");
}

// The straight-line comparison of one pair against least squares computed
// here, and the decisions on data generated each way.
TEST(TwoGroupComp, StraightLineTestsMatchLeastSquaresAndDecideAsGenerated) {
  struct Case {
    const char* sName;
    int iType;  // 1 coincident, 0 parallel
    double a2, b2;
    bool bAccept;
  };
  // The accepting cases share the first cohort's noise: the data then lie
  // exactly on coincident (or parallel) curves with one residual pattern,
  // F is 0 and every permuted F reaches it. The rejecting ones have noise
  // of their own.
  const Case kCases[] = {
      {"same line, coincident test", 1, 1.0, 0.2, true},
      {"other level, coincident test", 1, 3.0, 0.2, false},
      {"other level, parallel test", 0, 3.0, 0.2, true},
      {"other slope, parallel test", 0, 1.0, 0.6, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    ComparisonRun run(1, 0, 0, c.iType, 1);
    const Cohort a = Line(12, 2000, 1.0, 0.2, 0.3, 1);
    const Cohort b = Line(12, 2000, c.a2, c.b2, 0.3, c.bAccept ? 1 : 2);
    run.Install({a, b});
    CancellableProgress tracker;
    run.Run({true, true}, &tracker);
    const kmCalcData& rec = run.Comparison(0);
    ASSERT_TRUE(rec.bValid);
    ASSERT_TRUE(rec.bComparison);
    ASSERT_EQ(rec.vFTests.size(), 1u);
    const kmFTest& test = rec.vFTests[0];

    // The joint model (one line, or one slope with two levels) and the
    // two separate lines, by least squares.
    ColumnVector y(24);
    for (int i = 0; i < 12; ++i) {
      y(i + 1) = a.y[i];
      y(i + 13) = b.y[i];
    }
    const double sse0 =
        LeastSquaresSSE(LineDesign(a, b, c.iType == 0, false), y);
    const double sse1 = LeastSquaresSSE(LineDesign(a, b, true, true), y);
    const int df1 = c.iType == 1 ? 2 : 1;
    const int df2 = 24 - 4;
    EXPECT_EQ(test.lNumeratorDF, df1);
    EXPECT_EQ(test.lDenominatorDF, df2);
    const double F = (sse0 - sse1) / sse1 * df2 / df1;
    EXPECT_NEAR(test.dF, F < 1e-8 ? 0.0 : F, 1e-8 * std::max(1.0, F));
    EXPECT_EQ(test.lNumPermutations, 200);
    EXPECT_EQ(test.dAlpha, 0.05);
    EXPECT_EQ(rec.IsComparisonParallel(), c.bAccept) << test.dPermPValue;
    if (c.bAccept) {
      EXPECT_EQ(test.dPermPValue, 1.0);
    } else {
      EXPECT_LE(test.dPermPValue, 0.01);
    }
  }
}

// The selection tests between 0 and 2 kinkmarks each decide at the level
// divided by the kinkmarks above the null's: 0 vs 2 and, the straight
// lines keeping the null, 0 vs 1 both at 0.05 / 2.
TEST(TwoGroupComp, SelectionTestsShareTheLevelAboveTheNull) {
  ComparisonRun run(1, 0, 2, 1, 0);
  run.Install({Line(12, 2000, 1, 0.2, 0.3, 1), Line(12, 2000, 1, 0.2, 0.3, 2)});
  CancellableProgress tracker;
  run.Run({true, true}, &tracker);
  const KmVector<kmFTest>& vTests = run.Comparison(0).vFTests;
  ASSERT_EQ(vTests.size(), 3u);  // two selection tests, then the comparison
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(vTests[i].uNullKinkmarks, 0);
    EXPECT_EQ(vTests[i].uAltKinkmarks, 2 - i);
    EXPECT_EQ(vTests[i].dAlpha, 0.025);
  }
}

TEST(TwoGroupComp, NoiseFreeKinkedCurvesAreRecoveredExactly) {
  // y = 10 + 0.5 t, slope -0.3 from t = 5, both cohorts (second one 2
  // higher in the parallel case).
  for (int iType : {1, 0}) {
    SCOPED_TRACE(iType);
    ComparisonRun run(1, 1, 1, iType, 1);
    Cohort a, b;
    for (int t = 0; t < 12; ++t) {
      const double y = 10 + 0.5 * t - 0.8 * std::max(0, t - 5);
      a.x.push_back(2000 + t);
      a.y.push_back(y);
      b.x.push_back(2000 + t);
      b.y.push_back(y + (iType == 0 ? 2.0 : 0.0));
    }
    run.Install({a, b});
    CancellableProgress tracker;
    run.Run({true, true}, &tracker);
    const kmCalcData& rec = run.Comparison(0);
    ASSERT_TRUE(rec.bValid);
    ASSERT_EQ(rec.vModels.size(), 1u);
    const kmTable& model = rec.vModels[0];
    EXPECT_NEAR(model.GetKinkmark(0).dEstimate, 2005.0, 1e-9);
    EXPECT_NEAR(model.GetLineSegment(0).slope.dEstimate, 0.5, 1e-9);
    EXPECT_NEAR(model.GetLineSegment(1).slope.dEstimate, -0.3, 1e-9);
    EXPECT_NEAR(model.GetLineSegment(0).intercept.dEstimate, 10 - 0.5 * 2000,
                1e-6);
    if (iType == 0) {
      EXPECT_NEAR(model.GetParallelLineSegment(0).intercept.dEstimate,
                  12 - 0.5 * 2000, 1e-6);
    }
    EXPECT_NEAR(model.GetSSE(), 0.0, 1e-12);
  }
}

// Fault: every pair was fitted on the first cohort's x values and the last
// cohort's count; a pair now uses its own cohorts' data, and a pair whose
// cohorts differ in count or x values is recorded as a bad comparison.
TEST(TwoGroupComp, EachPairUsesItsOwnCohortsOrIsRecordedBad) {
  ComparisonRun run(2, 0, 1, 1, 0);
  run.Install({Line(12, 2000, 1, 0.2, 0.3, 1), Line(12, 2010, 1, 0.2, 0.3, 2),
               Line(12, 2010, 1, 0.2, 0.3, 3), Line(12, 2000, 1, 0.2, 0.3, 4),
               Line(12, 2000, 1, 0.2, 0.3, 5), Line(11, 2000, 1, 0.2, 0.3, 6)});
  CancellableProgress tracker;
  run.Run({true, true, true, true, false, true}, &tracker);
  struct Expected {
    bool bValid;
    const char* sDescription;
  };
  const char* kX =
      "The comparison cohorts do not have the same independent values.";
  const char* kBad = "One or more of the comparison cohorts is invalid.";
  // Pairs (0,1) (0,2) (1,2) (3,4) (3,5) (4,5); cohort 4 is not good.
  const Expected kPairs[] = {{false, kX},   {false, kX}, {true, ""},
                             {false, kBad}, {false, kX}, {false, kBad}};
  EXPECT_EQ(run.Reader().GetNumComparisonRecords(), 6);
  for (int k = 0; k < 6; ++k) {
    SCOPED_TRACE(k);
    const kmCalcData& rec = run.Comparison(k);
    EXPECT_EQ(rec.bValid, kPairs[k].bValid);
    EXPECT_TRUE(rec.bComparison);
    EXPECT_STREQ(rec.sBadDescription.GetCString(), kPairs[k].sDescription);
    EXPECT_EQ(rec.vCohortLabel.size(), 4u);
  }
  // The good pair's models lie on its own years.
  const kmCalcData& good = run.Comparison(2);
  ASSERT_EQ(good.vModels.size(), 2u);
  EXPECT_DOUBLE_EQ(good.vModels[0].GetData()(1, 1), 2010.0);
  // Selection tests and the comparison test last.
  ASSERT_GE(good.vFTests.size(), 2u);
  EXPECT_EQ(good.vFTests.back().lNumPermutations, 200);
}

// Fault: a good pair met after a cancel left the handler's record as it
// was, so the previous pair's record was written again under this pair.
TEST(TwoGroupComp, CancelledPairsGetPlaceholdersOfTheirOwn) {
  ComparisonRun run(2, 0, 0, 1, 1);
  std::vector<Cohort> cohorts;
  for (int i = 0; i < 6; ++i) cohorts.push_back(Line(10, 2000, 1, 0.1, 0.2, i));
  run.Install(cohorts);
  CancellableProgress tracker;
  tracker.bCancelled = true;
  ColumnVector vFinal(6);
  vFinal = 0.0;
  run.Pass().TwoGroupComp(&tracker, vFinal, KmVector<bool>(6, true));
  kmCalcHandler& h = *run.Calc().GetCalcHandler();
  EXPECT_EQ(h.GetNumComparisonRecords(), 6);
  const kmCalcData& last = h.GetCurrentCalcData();
  EXPECT_FALSE(last.bValid);
  EXPECT_STREQ(last.sBadDescription.GetCString(),
               "The comparison was cancelled.");
  EXPECT_TRUE(last.vFTests.empty());
}

TEST(TwoGroupComp, PairwiseExportListsEveryPair) {
  ComparisonRun run(2, 0, 1, 0, 1);
  std::vector<Cohort> cohorts;
  for (int i = 0; i < 6; ++i) {
    cohorts.push_back(Line(12, 2000, 1 + 0.1 * i, 0.2, 0.3, i + 1));
  }
  run.Install(cohorts);
  CancellableProgress tracker;
  run.Run(std::vector<bool>(6, true), &tracker);
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("pairwise_comparison.txt");
  WritePairwiseComparisonExport(run.Reader(), sPath.c_str(),
                                DataExportOptions());
  // One row per pair in list order, under the header; the cohorts were
  // generated parallel (levels apart, one slope), so none is rejected.
  const std::string sText = km_test::ReadAll(sPath);
  std::vector<std::string> vLines;
  for (size_t i = 0, j; i < sText.size(); i = j + 1) {
    j = sText.find('\n', i);
    if (j == std::string::npos) j = sText.size();
    vLines.push_back(sText.substr(i, j - i));
  }
  const char* kPairs[6][2] = {
      {"M / White", "M / Black"}, {"M / White", "M / Other"},
      {"M / Black", "M / Other"}, {"W / White", "W / Black"},
      {"W / White", "W / Other"}, {"W / Black", "W / Other"}};
  ASSERT_EQ(vLines.size(), 7u);
  for (int k = 0; k < 6; ++k) {
    SCOPED_TRACE(k);
    const std::string& sRow = vLines[k + 1];
    EXPECT_EQ(
        sRow.rfind(std::string(kPairs[k][0]) + ";" + kPairs[k][1] + ";", 0), 0u)
        << sRow;
    EXPECT_NE(sRow.find("Failed to reject"), std::string::npos) << sRow;
  }
}

// The pairs are fitted on a pool; each starts its own generator, so neither
// the number of workers nor draws made before the pass change a record.
TEST(TwoGroupComp, RecordsDoNotDependOnWorkersOrEarlierDraws) {
  std::vector<Cohort> cohorts;
  for (int i = 0; i < 6; ++i) {
    cohorts.push_back(Line(12, 2000, 1 + 0.3 * i, 0.2 + 0.02 * i, 0.3, i + 7));
  }
  std::vector<std::unique_ptr<ComparisonRun>> runs;
  for (int16_t iCores : {1, 4}) {
    runs.push_back(std::make_unique<ComparisonRun>(2, 0, 1, 1, 1, iCores));
    runs.back()->Install(cohorts);
    for (int d = 0; d < 3 * iCores; ++d)
      runs.back()->Calc().GetRandomIndex(1, 2);
    CancellableProgress tracker;
    runs.back()->Run(std::vector<bool>(6, true), &tracker);
  }
  for (int k = 0; k < 6; ++k) {
    SCOPED_TRACE(k);
    ASSERT_TRUE(runs[0]->Comparison(k).bValid);
    km_test::ExpectSameRecord(runs[1]->Comparison(k), runs[0]->Comparison(k));
  }
}

TEST(TwoGroupComp, PermutationSeedChoosesTheDrawsAndRepeatsThem) {
  // Levels apart by about the noise: the permuted p-value lies well inside
  // (0, 1), where other draws move it.
  const std::vector<Cohort> cohorts = {Line(12, 2000, 1.0, 0.2, 0.3, 1),
                                       Line(12, 2000, 1.25, 0.2, 0.3, 2)};
  std::vector<double> pValues;
  for (int iSeed : {7160, 7160, 99}) {
    ComparisonRun run(1, 0, 0, 1, 1, 1, iSeed);
    run.Install(cohorts);
    CancellableProgress tracker;
    run.Run({true, true}, &tracker);
    ASSERT_FALSE(run.Comparison(0).vFTests.empty());
    pValues.push_back(run.Comparison(0).vFTests.back().dPermPValue);
  }
  EXPECT_GT(pValues[0], 0.02);
  EXPECT_LT(pValues[0], 0.98);
  EXPECT_EQ(pValues[1], pValues[0]);
  EXPECT_NE(pValues[2], pValues[0]);
}

TEST(TwoGroupComp, FailureOfOnePairStopsThePassWithItsCallPath) {
  // Four observations leave no candidate for the one kinkmark asked for.
  ComparisonRun run(2, 1, 1, 1, 1, 4);
  std::vector<Cohort> cohorts;
  for (int i = 0; i < 6; ++i) cohorts.push_back(Line(4, 2000, 1, 0.2, 0.3, i));
  run.Install(cohorts);
  CancellableProgress tracker;
  ColumnVector vFinal(6);
  vFinal = 1.0;
  const KmException e = km_test::CatchKmException([&] {
    run.Pass().TwoGroupComp(&tracker, vFinal, KmVector<bool>(6, true));
  });
  EXPECT_STREQ(e.GetMessage(),
               "The stacked cohorts leave no room for 1 kinkmarks.");
  EXPECT_NE(std::string(e.GetCallPath()).find("CompMod() of kmCalculator"),
            std::string::npos);
  EXPECT_NE(std::string(e.GetCallPath()).find("TwoGroupComp() of kmCalculator"),
            std::string::npos);
}

}  // namespace
