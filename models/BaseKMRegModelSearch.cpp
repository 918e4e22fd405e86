// Holds BaseKMRegModel::findTheBestTau and test_TauStep: the exhaustive
// kinkmark-location search and the profile intervals of the locations.
//
// findTheBestTau minimises the weighted RSS over every admissible
// placement of k kinkmarks on the candidate grid (first_TauIndices /
// next_TauIndices over the successor table `limits`), scoring each
// placement from the all-candidates products of
// prepare_BaseKMRegModel_FittingData: for the placement's columns C,
//   A = (X'WX)[C, C],  B = (X'WY)[C, .],  Bhat = A^-1 B,
//   RSS_1 = (y_1 - X_C beta)' W (y_1 - X_C beta),  beta = Bhat(., 1),
//   RSS_r = y_r'Wy_r - sum_l Bhat(l, r) B(l, r)      (r = 2..m).
// A^-1 is the generalised inverse of isPositiveDefinite
// (models/PositiveDefinite.h): a column that adds nothing to the others
// gets a zero coefficient. Ties keep the first placement in enumeration
// order (strict <).
//
// Full-design column layout read here (Ng candidates): base 1..p;
// candidate c at p + c; the step at p + Ng + 1 with the jump switch; with
// spline code 2 the Ng + 1 squares (x, then each candidate) and then the
// Ng + 1 cubes follow.
#include <newmat.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "models/BaseKMRegModel.h"
#include "models/DistributionWrappers.h"
#include "models/PositiveDefinite.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

// The profile value of a candidate location that no placement used.
constexpr double kNotScored = 1e50;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr char kSearchSource[] = "BaseKMRegModel::findTheBestTau()";

// The full-design column of each column of the candidate design of one
// placement (1-based numbers; entry 0 unused). See BaseKMRegModel.h for the
// layout of both designs.
std::vector<int> SelectColumns(const ColumnVector& idx, int p, int Ng,
                               bool bJump, bool bSpline) {
  const int k = idx.Nrows();
  const int iJump = bJump ? 1 : 0;
  const int qBase = p + k + iJump;
  const int q = qBase + (bSpline ? 2 * k + 2 : 0);
  std::vector<int> cols(static_cast<size_t>(q) + 1, 0);
  for (int c = 1; c <= p; ++c) cols[c] = c;
  for (int i = 1; i <= k; ++i) cols[p + i] = p + static_cast<int>(idx(i));
  if (bJump) cols[p + k + 1] = p + Ng + 1;
  if (bSpline) {
    const int iSquares = p + Ng + iJump;
    const int iCubes = iSquares + Ng + 1;
    for (int t = 0; t <= k; ++t) {
      const int iOffset = t == 0 ? 1 : static_cast<int>(idx(t)) + 1;
      cols[qBase + 1 + t] = iSquares + iOffset;
      cols[qBase + k + 2 + t] = iCubes + iOffset;
    }
  }
  return cols;
}

// The library leaks the temporaries of a product that fails, so the
// operands of the RSS products are checked before the search.
void CheckConformity(int32_t N, const OneDimensionArray<ColumnVector>& xValues,
                     const ColumnVector& y1, const Matrix& W) {
  int32_t iSeriesRows = 0;
  for (int j = 0; j < xValues.GetSize(); ++j) iSeriesRows += xValues[j].Nrows();
  if (iSeriesRows != N || y1.Nrows() != N || W.Nrows() != N || W.Ncols() != N) {
    GenerateKmExceptionF(
        "The design has %d rows, the series %d observations, the observed "
        "response %d entries and the weighting matrix is %d x %d.",
        kSearchSource, N, iSeriesRows, y1.Nrows(), W.Nrows(), W.Ncols());
  }
}

// The grid locations of a placement's indices.
ColumnVector LocationsOf(const ColumnVector& idx, const ColumnVector& grid) {
  ColumnVector tau(idx.Nrows());
  for (int i = 1; i <= idx.Nrows(); ++i) {
    tau(i) = grid(static_cast<int>(idx(i)));
  }
  return tau;
}

// The responses 2..m less their weighted least-squares fit on the base
// columns 1..p, which every placement contains, so that their residual sums
// by the quick formula keep their precision however far the data lie from
// zero. Column r of XtWZ and zWz[r - 1] take the place of response r's
// products (column 1, the observed response's, is copied as it is);
// column r of aBase holds the base coefficients taken out, which go back
// into the response's coefficients.
void ResponsesAboutBase(const OneDimensionArray<ColumnVector>& responses,
                        const Matrix& X, const Matrix& XtWX, const Matrix& XtWY,
                        const OneDimensionArray<double>& yWy, const Matrix& W,
                        int32_t p, Matrix& XtWZ, std::vector<double>& zWz,
                        Matrix& aBase) {
  const int m = responses.GetSize();
  XtWZ = XtWY;
  zWz.assign(static_cast<size_t>(m), 0.0);
  for (int r = 1; r <= m; ++r) zWz[static_cast<size_t>(r - 1)] = yWy[r - 1];
  aBase.ReSize(p > 0 ? p : 0, m);
  aBase = 0.0;
  if (m < 2 || p < 1) return;
  Matrix G0inv;
  int16_t iRank = 0;
  isPositiveDefinite(XtWX.SubMatrix(1, p, 1, p), G0inv, iRank);
  const Matrix X0 = X.Columns(1, p);
  const int N = X.Nrows();
  for (int r = 2; r <= m; ++r) {
    // First the level, on column 1: a subtraction without rounding for
    // values near their mean.
    const ColumnVector& y = responses[r - 1];
    const double dLevel = y.Sum() / N;
    const ColumnVector yLevel = y - dLevel * X0.Column(1);
    ColumnVector a = G0inv * (X0.t() * (W * yLevel));
    const ColumnVector z = yLevel - X0 * a;
    const ColumnVector Wz = W * z;
    XtWZ.Column(r) = X.t() * Wz;
    zWz[static_cast<size_t>(r - 1)] = NEWMAT::DotProduct(z, Wz);
    a(1) += dLevel;
    aBase.Column(r) = a;
  }
}

// The best placement's fitted values, residuals and values at the
// kinkmarks, series by series (empty arrays of g series when unfitted).
void StoreSeriesFits(KMRegFitRecord& record,
                     const OneDimensionArray<ColumnVector>& xValues,
                     const ColumnVector& y1, const Matrix& bestX,
                     const ColumnVector& beta, int32_t p, bool bFitted) {
  const int32_t g = xValues.GetSize();
  record.fittedValues.Resize(g);
  record.valuesAtTau.Resize(g);
  record.residuals.Resize(g);
  if (bFitted) {
    const ColumnVector fitted = bestX * beta;
    const ColumnVector residual = y1 - fitted;
    int32_t iFirst = 1;
    for (int j = 0; j < g; ++j) {
      const int32_t nj = xValues[j].Nrows();
      ColumnVector fj(nj);
      ColumnVector ej(nj);
      for (int i = 1; i <= nj; ++i) {
        fj(i) = fitted(iFirst + i - 1);
        ej(i) = residual(iFirst + i - 1);
      }
      record.fittedValues[j] = fj;
      record.residuals[j] = ej;
      record.valuesAtTau[j] = BaseKMRegModel::calc_FittedValues(
          record.tau, beta, p, j + 1, record.tau);
      iFirst += nj;
    }
  }
}

}  // namespace

void BaseKMRegModel::findTheBestTau(
    KMRegFitRecord& record, const OneDimensionArray<ColumnVector>& xValues,
    const OneDimensionArray<ColumnVector>& responses, const ColumnVector& grid,
    const ColumnVector& limits, int32_t k, int32_t p, double alpha,
    int32_t jump, const Matrix& W, const Matrix& XtWX, const Matrix& X,
    const Matrix& XtWY, const OneDimensionArray<double>& yWy,
    int32_t splineCode, std::string mode) {
  WithMatrixErrorsAsKm(kSearchSource, [&] {
    WithStandardCatch([&] {
      // 1. Nothing to search.
      const int32_t kk = k > 0 ? k : 0;
      const int32_t Ng = grid.Nrows();
      const int32_t m = responses.GetSize();
      if (kk > Ng || m == 0) return;

      // 2. Start values.
      const bool bResampling = mode == "CalcForResampling";
      const bool bJump = jump != 0;
      const bool bSpline = splineCode == 2;
      record.rssPerResponse.ReSize(m);
      record.rssPerResponse = kInfinity;
      record.rss = kInfinity;
      if (bResampling) {
        record.responseBetas.Resize(m);
        record.responseTaus.Resize(m);
      }
      record.k = kk;
      record.p0 = p;

      // 3. The kept best design and normal matrix, and the profile.
      const int32_t N = X.Nrows();
      CheckConformity(N, xValues, responses[0], W);
      const int32_t qBase = p + kk + (bJump ? 1 : 0);
      Matrix bestX(N, qBase);
      bestX = 0.0;
      record.normalMatrix.ReSize(qBase, qBase);
      record.normalMatrix = 0.0;
      record.profile.ReSize(Ng, kk);
      record.profile = kNotScored;
      ColumnVector beta;
      ColumnVector bestIdx;
      // Best placement of each response (empty until one is found).
      std::vector<ColumnVector> responseIdx(static_cast<size_t>(m));

      // 4, 5. Every admissible placement, in enumeration order.
      ColumnVector idx(kk);
      idx = 0.0;
      const ColumnVector& y1 = responses[0];
      Matrix XtWZ;
      std::vector<double> zWz;
      Matrix aBase;
      ResponsesAboutBase(responses, X, XtWX, XtWY, yWy, W, p, XtWZ, zWz, aBase);
      record.searchDone = 0;
      if (first_TauIndices(idx, limits)) {
        do {
          const std::vector<int> cols =
              SelectColumns(idx, p, Ng, bJump, bSpline);
          const int q = static_cast<int>(cols.size()) - 1;
          Matrix Xc(N, q);
          Matrix A(q, q);
          Matrix B(q, m);
          for (int a = 1; a <= q; ++a) {
            for (int r = 1; r <= N; ++r) Xc(r, a) = X(r, cols[a]);
            for (int b = 1; b <= q; ++b) A(a, b) = XtWX(cols[a], cols[b]);
            for (int r = 1; r <= m; ++r) B(a, r) = XtWZ(cols[a], r);
          }
          Matrix Ainv;
          int16_t iRank = 0;
          isPositiveDefinite(A, Ainv, iRank);
          const Matrix Bhat = Ainv * B;
          const ColumnVector b1 = Bhat.Column(1);
          const ColumnVector e = y1 - Xc * b1;
          const double rss = (e.t() * W * e).AsScalar();
          if (record.rss > rss) {
            record.rss = rss;
            record.rssPerResponse(1) = rss;
            bestIdx = idx;
            bestX = Xc;
            beta = b1;
            record.normalMatrix = A;
            if (bResampling) {
              record.responseBetas[0] = b1;
              responseIdx[0] = idx;
            }
          }
          for (int i = 1; i <= kk; ++i) {
            double& cell = record.profile(static_cast<int>(idx(i)), i);
            if (rss < cell) cell = rss;
          }
          // The other responses by the quick formula, no refit.
          for (int r = 2; r <= m; ++r) {
            double rssR = zWz[static_cast<size_t>(r - 1)];
            for (int l = 1; l <= q; ++l) rssR -= Bhat(l, r) * B(l, r);
            if (record.rssPerResponse(r) > rssR) {
              record.rssPerResponse(r) = rssR;
              if (bResampling) {
                ColumnVector bR = Bhat.Column(r);
                for (int l = 1; l <= p; ++l) bR(l) += aBase(l, r);
                record.responseBetas[r - 1] = bR;
                responseIdx[static_cast<size_t>(r - 1)] = idx;
              }
            }
          }
        } while (next_TauIndices(idx, limits));
        record.searchDone = 1;
      }
      const bool bFitted =
          record.searchDone != 0 && bestIdx.Nrows() == kk && beta.Nrows() > 0;

      // 6. Locations.
      record.beta = beta;
      record.tau = bFitted ? LocationsOf(bestIdx, grid) : ColumnVector(0);
      if (bResampling) {
        for (int r = 0; r < m; ++r) {
          const ColumnVector& ri = responseIdx[static_cast<size_t>(r)];
          record.responseTaus[r] =
              ri.Nrows() == kk && record.responseBetas[r].Nrows() > 0
                  ? LocationsOf(ri, grid)
                  : ColumnVector(0);
        }
      }

      // 7. Per-series fitted values, values at the kinkmarks, residuals.
      StoreSeriesFits(record, xValues, y1, bestX, beta, p, bFitted);

      // 8. Location intervals.
      test_TauStep(record.tauInterval, record.profile, N, grid, record.rss, p,
                   kk, alpha);

      // 9. The jump coefficient.
      if (bJump) {
        record.jumpVector.ReSize(9);
        record.jumpVector = 0.0;
        if (bFitted) record.jumpVector(1) = beta(p + kk + 1);
      }
    });
  });
}

void BaseKMRegModel::test_TauStep(Matrix& interval, const Matrix& profile,
                                  int32_t N, const ColumnVector& grid,
                                  double bestRSS, int32_t p, int32_t k,
                                  double alpha) {
  WithStandardCatch([&] {
    interval.ReSize(2, k);
    const int32_t df = N - (p + 2 * k);
    const double s2 = df > 0 ? bestRSS / df : 0.0;
    const double F = calc_FQuantile(1.0 - alpha, k, df);
    const double T = k * s2 * F + bestRSS;
    const int32_t Ng = grid.Nrows();
    for (int j = 1; j <= k; ++j) {
      int lo = 0;
      int hi = 0;
      for (int i = 1; i <= Ng; ++i) {
        if (profile(i, j) <= T) {
          if (lo == 0) lo = i;
          hi = i;
        }
      }
      // Reach out to the first scored location outside the region.
      if (lo == 0) {
        lo = 1;
      } else if (lo > 1 && profile(lo - 1, j) != kNotScored) {
        --lo;
      }
      if (hi == 0) {
        hi = Ng;
      } else if (hi < Ng && profile(hi + 1, j) != kNotScored) {
        ++hi;
      }
      interval(1, j) = grid(hi);
      interval(2, j) = grid(lo);
    }
  });
}
