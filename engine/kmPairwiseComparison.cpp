// kmPairwiseComparison: CompMod, CompFTest.
//
// The pairwise comparison of cohorts. For each pair of the results file's
// comparison list, the two cohorts are stacked into one series of 2m rows
// and a joint kinkmark model is fitted (one curve, or one curve per cohort
// with common kinkmarks and slopes); its number of kinkmarks is chosen as
// for a single cohort, and the joint model with K kinkmarks is then tested
// against two separate K-kinkmark fits by a permutation F test whose data
// sets swap the two cohorts' residuals at each position at random. A
// permutation p-value above the pairwise level means the two trends cannot
// be told apart from coincident (or parallel) curves.
//
// Every pair starts its generator from kmOptPermutationSeed, so its data
// sets depend on the pair alone: not on the pairs before it, nor on which
// calculator fits it or on which thread.
#include "engine/kmPairwiseComparison.h"

#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "engine/kmCalculator.h"
#include "engine/kmFitScores.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/KmProgressInterface.h"
#include "models/KMSeriesSet.h"
#include "results/kmCalcData.h"
#include "results/kmFTest.h"
#include "results/kmTable.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "stats/MersenneTwister.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

// The class text of call-path lines and messages, as the error files have
// always carried it.
constexpr const char* kClassName = "kmCalculator";
// An F statistic below this is taken as 0.
constexpr double kSmallF = 1e-8;

// Rows r0..r1 of every column of m.
Matrix RowBlock(const Matrix& mValues, int r0, int r1) {
  return mValues.SubMatrix(r0, r1, 1, mValues.Ncols());
}

// The options CompMod reads once.
struct CompOptions {
  kmModelSelection selection = kmModelSelection::kPermutationTest;
  int kmin = 0;
  int kmax = 0;
  int iSelectionSets = 1;
  double dAlpha1 = 0.05;
  uint16_t iMinEnd = 0;
  int iMinBetween = 0;
  uint16_t iGridPoints = 0;
  kmPairwiseType pairwiseType = kmPairwiseType::kParallel;
  int iCompSets = 1;
  double dAlpha2 = 0.05;
  uint32_t uSeed = 0;
  bool bLogLinear = false;
};

CompOptions ReadCompOptions(const kmSession& session) {
  CompOptions o;
  o.selection = session.Get<kmModelSelection>();
  o.kmin = session.GetInt(kmOptMinKinkmarks);
  o.kmax = session.GetInt(kmOptMaxKinkmarks);
  o.iSelectionSets = session.GetInt(kmOptNumPermutations) + 1;
  o.dAlpha1 = session.GetDouble(kmOptPermSignificance);
  o.iMinEnd = static_cast<uint16_t>(session.GetInt(kmOptMinObsEnd));
  o.iMinBetween = session.GetInt(kmOptMinObsBetween);
  o.iGridPoints = static_cast<uint16_t>(session.GetInt(kmOptGridPointsBetween));
  o.pairwiseType = session.Get<kmPairwiseType>();
  o.iCompSets = session.GetInt(kmOptPairwisePermutations) + 1;
  o.dAlpha2 = session.GetDouble(kmOptPairwiseAlpha);
  o.uSeed = static_cast<uint32_t>(session.GetInt(kmOptPermutationSeed));
  o.bLogLinear = session.GetBool(kmOptLogLinear);
  return o;
}

// Block-diagonal diag(mA, mB).
Matrix BlockDiagonal(const Matrix& mA, const Matrix& mB) {
  const int a = mA.Nrows();
  const int b = mB.Nrows();
  Matrix mOut(a + b, a + b);
  mOut = 0.0;
  mOut.SubMatrix(1, a, 1, a) = mA;
  mOut.SubMatrix(a + 1, a + b, a + 1, a + b) = mB;
  return mOut;
}

}  // namespace

// Everything CompMod keeps between its phases.
struct kmPairwiseComparison::CompWork {
  CompOptions o;
  int m = 0;
  int c = 2;
  double dShift = 0.0;
  int16_t G = 0;
  Matrix mDesign1;  // the shifted one-cohort design (1, x), m rows
  ColumnVector va, vb;
  Matrix ya, yb, sa, sb;
  Matrix A1, B1, A2, B2, As, Bs;
  Matrix mFits, mResid;
  KMSeriesSet seriesSet;
  int iSteps = 1;
  int iStepsDone = 0;

  // Progress after one more of CompMod's steps.
  void Step(KmProgressInterface* pSub) {
    ++iStepsDone;
    const int iPercent =
        static_cast<int>(static_cast<double>(iStepsDone) / iSteps * 100.0);
    pSub->SetPosition(std::min(100, iPercent));
    if (pSub->IsCancelled()) pSub->SetProcessText("Cancelling...");
  }
};

// ---------------------------------------------------------------------------
// One pair.

// Prepares the searches of the fit in hand: the candidate grid of its
// design, the weighting of WLSWgt (root mA, inverse root mB) and the cross
// products of the hinge design. Returns the number of candidates.
int16_t kmPairwiseComparison::PrepareSearch(const CompWork& w, Matrix& mA,
                                            Matrix& mB) {
  const int16_t G = static_cast<int16_t>(
      FindGridPointsComp(w.o.iMinEnd, w.o.iMinBetween, w.o.iGridPoints));
  calc_.WLSWgt(0.0, mA, mB);
  calc_.PreCalcXWX();
  return G;
}

// Sets up the joint model of the pair: the integer shift of the
// independent values, each cohort's own weight root, then the stacked fit
// (design, responses, weights, standard errors) with its candidate grid,
// cross products and block-diagonal weight roots, and the two cohorts as
// the series set of the weighted criteria.
void kmPairwiseComparison::PrepareStacked(CompWork& w) {
  const PairData& pair = pair_;
  const int m = w.m;
  const Matrix& X = pair.mDesign;
  double dMin = X(1, 2);
  for (int r = 2; r <= m; ++r) dMin = std::min(dMin, X(r, 2));
  w.dShift = std::trunc(dMin);
  w.mDesign1 = X.SubMatrix(1, m, 1, 2);
  for (int r = 1; r <= m; ++r) w.mDesign1(r, 2) -= w.dShift;

  w.ya = pair.mFirstResponse;
  w.yb = pair.mSecondResponse;
  w.sa = pair.mFirstStdErrors;
  w.sb = pair.mSecondStdErrors;
  w.va = pair.vFirstWeights;
  w.vb = pair.vSecondWeights;

  LoadFit(w.mDesign1, 2, w.ya, w.va, w.sa);
  calc_.WLSWgt(0.0, w.A1, w.B1);
  LoadFit(w.mDesign1, 2, w.yb, w.vb, w.sb);
  calc_.WLSWgt(0.0, w.A2, w.B2);

  // Base design of the joint model.
  w.c = w.o.pairwiseType == kmPairwiseType::kCoincident ? 2 : 3;
  Matrix X0(2 * m, w.c);
  X0 = 0.0;
  for (int r = 1; r <= m; ++r) {
    const double x = w.mDesign1(r, 2);
    X0(r, 1) = 1.0;
    X0(r, w.c) = x;
    X0(m + r, w.c == 2 ? 1 : 2) = 1.0;
    X0(m + r, w.c) = x;
  }
  Matrix Y(2 * m, 1), Z(2 * m, 1);
  ColumnVector v(2 * m);
  for (int r = 1; r <= m; ++r) {
    Y(r, 1) = w.ya(r, 1);
    Y(m + r, 1) = w.yb(r, 1);
    Z(r, 1) = w.sa(r, 1);
    Z(m + r, 1) = w.sb(r, 1);
    v(r) = w.va(r);
    v(m + r) = w.vb(r);
  }
  LoadFit(X0, static_cast<int16_t>(w.c), Y, v, Z);
  // The stacked weighting sets the calculator's weight matrix; the roots
  // of the comparison are those of each cohort alone.
  w.G = PrepareSearch(w, w.As, w.Bs);
  w.As = BlockDiagonal(w.A1, w.A2);
  w.Bs = BlockDiagonal(w.B1, w.B2);
  calc_.SetWeightRoot(w.As);

  // The two cohorts as the series set of the weighted criteria, on the
  // unshifted scale of the table's kinkmarks.
  w.seriesSet.labels.SetSize(2);
  w.seriesSet.xValues.SetSize(2);
  w.seriesSet.yValues.SetSize(2);
  for (int g = 0; g < 2; ++g) {
    w.seriesSet.xValues[g] = w.mDesign1.Column(2);
    for (int r = 1; r <= m; ++r) w.seriesSet.xValues[g](r) += w.dShift;
  }
  w.seriesSet.yValues[0] = w.ya.Column(1);
  w.seriesSet.yValues[1] = w.yb.Column(1);
}

// Fits the joint model for every k = kmin..kmax, one model table each;
// returns the first exactly fitting k (or -1) and sets kBest to the
// smallest-BIC k. A k that cannot be placed ends the models there.
int kmPairwiseComparison::FitJointModels(CompWork& w, kmCalcData& record,
                                         int& kBest) {
  int kPerfect = -1;
  kBest = w.o.kmin;
  ColumnVector vKinkmarks, vCoefs, vSSE(1);
  Matrix mGrid;
  KmNullProgress nullProgress;
  for (int k = w.o.kmin; k <= w.o.kmax; ++k) {
    GridSearchComp(1, static_cast<uint16_t>(k), vKinkmarks, vCoefs, vSSE, w.G,
                   mGrid, &nullProgress);
    if (!(vSSE(1) < kNoFit)) {
      if (k == w.o.kmin) {
        GenerateKmExceptionF(
            "The stacked cohorts leave no room for %d kinkmarks.", kClassName,
            k);
      }
      w.o.kmax = k - 1;
      break;
    }
    kmTable table;
    table.SetSeriesSet(w.seriesSet);
    table.SetGridSettings(w.o.iMinEnd, w.o.iMinBetween, w.o.iGridPoints);
    table.SetNumResamples(w.o.iSelectionSets);
    calc_.Table(true, static_cast<uint16_t>(k), vKinkmarks, vSSE, vCoefs,
                static_cast<uint16_t>(w.G), mGrid, &table, w.o.selection,
                w.dShift, false,
                [this](int16_t kk, const ColumnVector& vTau, Matrix& mCov,
                       kmTable& model) {
                  return KinkMkSEsComp(kk, vTau, mCov, model);
                });
    ResidsComp(static_cast<uint16_t>(k), static_cast<int>(w.dShift), w.As,
               vCoefs, vKinkmarks, w.mFits, w.mResid, table);
    if (kmIsWeightedBIC(w.o.selection)) {
      calc_.SetWeightedBIC(w.o.selection, &table, static_cast<int16_t>(k), true,
                           vSSE(1));
    }
    record.vModels.push_back(table);
    if (calc_.IsPerfectFit(vSSE(1))) {
      w.o.iSelectionSets = 1;
      if (kPerfect < 0) kPerfect = k;
    }
    if (kmIsCriterion(w.o.selection) && k > w.o.kmin &&
        table.GetBIC() < record.GetModel(kBest - w.o.kmin).GetBIC()) {
      kBest = k;
    }
  }
  return kPerfect;
}

// Chooses the joint model's number of kinkmarks by sequential permutation
// tests (selection method 0), k0 = kmin against k1 = kmax narrowed by each
// outcome; each test is appended to the record. Returns k0.
int kmPairwiseComparison::SelectByPermutation(CompWork& w, kmCalcData& record,
                                              KmProgressInterface* pSub) {
  calc_.SeedGenerator(w.o.uSeed);
  int k0 = w.o.kmin;
  int k1 = w.o.kmax;
  const int D = w.o.iSelectionSets;
  ColumnVector vKinkmarks, vCoefs, vSSE0(D), vSSE1(D);
  Matrix mGrid;
  KmNullProgress nullProgress;
  pSub->SetPosition(0);
  while (k0 < k1 && D >= 2) {
    if (pSub->IsCancelled()) break;
    shuffleMode_ = ShuffleMode::kFull;
    PermuteComp(static_cast<int16_t>(k0), w.Bs, w.mFits, w.mResid, D);
    if (pSub->IsCancelled()) break;
    GridSearchComp(D, static_cast<uint16_t>(k0), vKinkmarks, vCoefs, vSSE0, w.G,
                   mGrid, &nullProgress);
    w.Step(pSub);
    GridSearchComp(D, static_cast<uint16_t>(k1), vKinkmarks, vCoefs, vSSE1, w.G,
                   mGrid, &nullProgress);
    w.Step(pSub);
    // A cancel during the searches leaves sums of unfinished data sets.
    if (pSub->IsCancelled()) break;
    const double dAlphaK =
        k0 >= w.o.kmax ? w.o.dAlpha1 : w.o.dAlpha1 / (w.o.kmax - k0);
    kmFTest test(static_cast<uint16_t>(k0), static_cast<uint16_t>(k1));
    const double p =
        FTestComp(static_cast<uint16_t>(k0), static_cast<uint16_t>(k1), dAlphaK,
                  D, vSSE0, vSSE1, test);
    record.vFTests.push_back(test);
    if (dAlphaK >= p) {
      ++k0;
    } else {
      --k1;
    }
  }
  return k0;
}

// Fits one cohort alone (rows r0..r0+m-1 of the permuted stacked
// responses, its weights v and standard errors s) with K kinkmarks, the
// residual sum of each data set into vSSE: the separate fits of the
// comparison test.
void kmPairwiseComparison::FitOneCohort(CompWork& w, const Matrix& mStackedY,
                                        int r0, const ColumnVector& v,
                                        const Matrix& s, int K,
                                        ColumnVector& vSSE,
                                        KmProgressInterface* pSub) {
  LoadFit(w.mDesign1, 2, RowBlock(mStackedY, r0, r0 + w.m - 1), v, s);
  Matrix A, B;
  const int16_t G = PrepareSearch(w, A, B);
  if (pSub->IsCancelled()) return;
  calc_.SetWeightRoot(A);
  ColumnVector vKinkmarks, vCoefs;
  Matrix mGrid;
  KmNullProgress nullProgress;
  GridSearchComp(w.o.iCompSets, static_cast<uint16_t>(K), vKinkmarks, vCoefs,
                 vSSE, G, mGrid, &nullProgress);
}

// The comparison test: the joint model with K = max(K0, chosen) kinkmarks
// against the two cohorts' separate fits, over data sets that swap the
// cohorts' residuals by position; the test is appended to the record.
void kmPairwiseComparison::CompareJointModel(CompWork& w, kmCalcData& record,
                                             int K0,
                                             KmProgressInterface* pSub) {
  const int R = w.o.iCompSets;
  ColumnVector vSSE0(R), vSSE1(R), vSSE2(R);
  vSSE0 = kNoFit;
  vSSE1 = kNoFit;
  vSSE2 = kNoFit;
  shuffleMode_ = ShuffleMode::kPairSwap;
  int K = std::max(
      K0, static_cast<int>(static_cast<int16_t>(record.uFinalSelectedModel)));
  // Only the numbers of kinkmarks fitted above have residuals to permute.
  K = std::min(std::max(K, w.o.kmin), w.o.kmax);

  PermuteComp(static_cast<int16_t>(K), w.Bs, w.mFits, w.mResid, R);
  if (!pSub->IsCancelled()) {
    ColumnVector vKinkmarks, vCoefs;
    Matrix mGrid;
    KmNullProgress nullProgress;
    GridSearchComp(R, static_cast<uint16_t>(K), vKinkmarks, vCoefs, vSSE0, w.G,
                   mGrid, &nullProgress);
  }
  w.Step(pSub);
  const Matrix mStackedY = *calc_.GetDataY();
  FitOneCohort(w, mStackedY, 1, w.va, w.sa, K, vSSE1, pSub);
  w.Step(pSub);
  FitOneCohort(w, mStackedY, w.m + 1, w.vb, w.sb, K, vSSE2, pSub);
  pSub->SetPosition(
      std::min(100, static_cast<int>(static_cast<double>(w.iStepsDone + 1) /
                                     w.iSteps * 100.0)));

  kmFTest test(static_cast<uint16_t>(K), 1);
  CompFTest(w.o.pairwiseType, K, static_cast<int16_t>(2 * w.m), vSSE0, vSSE1,
            vSSE2, test);
  test.uNullKinkmarks = static_cast<uint16_t>(K);
  test.dAlpha = w.o.dAlpha2;
  record.vFTests.push_back(test);
}

void kmPairwiseComparison::CompMod(kmCalcData* pRecord,
                                   KmProgressInterface* pSub, int iK0) {
  WithCallPath("CompMod()", kClassName, [&] {
    if (pRecord == nullptr || pSub == nullptr || !pair_.IsInstalled()) {
      GenerateKmException(
          "The comparison's record, progress and cohort data must be "
          "installed before CompMod.",
          kClassName);
    }
    CompWork w;
    w.o = ReadCompOptions(*calc_.GetCalcSession());
    w.m = pair_.iObsPerCohort;
    calc_.SeedGenerator(w.o.uSeed);
    if (w.o.kmin < 0 || w.o.kmax < w.o.kmin || w.m < 2) {
      GenerateKmExceptionF(
          "The comparison cannot be fitted with %d to %d kinkmarks on %d "
          "observations per cohort.",
          kClassName, w.o.kmin, w.o.kmax, w.m);
    }
    try {
      PrepareStacked(w);
      w.mFits.ReSize(w.o.kmax + 1, 2 * w.m);
      w.mResid.ReSize(w.o.kmax + 1, 2 * w.m);
      w.mFits = 0.0;
      w.mResid = 0.0;
      int kBest = w.o.kmin;
      const int kPerfect = FitJointModels(w, *pRecord, kBest);
      pSub->SetRange(0, (w.o.kmax - w.o.kmin + 1) * 200);
      w.iSteps = 2 * (w.o.kmax - w.o.kmin) + 3;
      const kmModelSelection selection = w.o.selection;
      if (kPerfect >= 0) {
        pRecord->uFinalSelectedModel = static_cast<uint16_t>(kPerfect);
      } else if (kmIsCriterion(selection) &&
                 selection != kmModelSelection::kDataDependent) {
        pRecord->uFinalSelectedModel = static_cast<uint16_t>(kBest);
      } else if (selection == kmModelSelection::kPermutationTest) {
        pRecord->uFinalSelectedModel =
            static_cast<uint16_t>(SelectByPermutation(w, *pRecord, pSub));
      }
      calc_.SetAPCIntervals(pRecord, false);
      CompareJointModel(w, *pRecord, iK0, pSub);
    } catch (NEWMAT::BaseException&) {
      KmString sText(CopyMatrixErrorText().c_str());
      sText << "kmCalculation::CompMod()";
      ThrowKmException(sText.GetCString(), "kmCalculator::CompMod()");
    }
    shuffleMode_ = ShuffleMode::kFull;
    pSub->SetPosition(100);
  });
}

void kmPairwiseComparison::CompFTest(kmPairwiseType type, int K, int16_t N,
                                     const ColumnVector& vSSE0,
                                     const ColumnVector& vSSE1,
                                     const ColumnVector& vSSE2, kmFTest& test) {
  WithCallPath("CompFTest()", kClassName, [&] {
    const int R = calc_.GetCalcSession()->GetInt(kmOptPairwisePermutations) + 1;
    const int iNeeded = std::max(R, 1);
    if (vSSE0.Nrows() < iNeeded || vSSE1.Nrows() < iNeeded ||
        vSSE2.Nrows() < iNeeded) {
      GenerateKmExceptionF(
          "The residual sums of the comparison hold fewer than %d data sets.",
          kClassName, iNeeded);
    }
    WithMatrixErrorsAsKm("kmCalculator::CompFTest()", [&] {
      const int p = 2 * K + 2;
      const int p0 =
          type == kmPairwiseType::kCoincident ? 2 * K + 2 : 2 * K + 3;
      const int p1 = 2 * p;
      const int df1 = p1 - p0;
      const int df2 = N - p1;
      auto fOf = [&](int d) {
        if (df1 < 1 || df2 < 1) return 0.0;
        const double S = vSSE1(d) + vSSE2(d);
        if (!(S > 0.0)) return 0.0;
        const double F = (vSSE0(d) - S) / S * (static_cast<double>(df2) / df1);
        return F < kSmallF ? 0.0 : F;
      };
      const double F = fOf(1);
      // F = 0 is no evidence against the joint model: p-value 1, not the
      // 0.0 that the distribution routine answers for a statistic of 0.
      test.dF = F;
      test.dPValue = F > 0.0 ? calc_.FPValue(F, df1, df2) : 1.0;
      test.lNumeratorDF = df1;
      test.lDenominatorDF = df2;
      test.lNumPermutations = R;
      if (R > 1) {
        int iCount = 0;
        for (int d = 1; d <= R; ++d) {
          if (ReachesObservedF(fOf(d), F)) ++iCount;
        }
        test.dPermPValue = static_cast<double>(iCount) / R;
      }
    });
  });
}
