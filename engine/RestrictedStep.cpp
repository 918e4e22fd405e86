// RestrictedStep: t = Rq beta, u = (Rq B Rq')^-1 t, dBeta = B Rq' u, t'u.
//
// Every sum below is formed in the order the matrix library forms it, so
// that the step gives the library's numbers exactly:
//  - a product of dense matrices starts from its first term and adds the
//    others in index order;
//  - a product with the band matrix B (as left or right factor) starts
//    from 0.0 and adds the terms of B's band, at most three, in index order;
//  - the LU factorisation pivots and eliminates as the library's outer-
//    product algorithm does, and the solve skips the leading zeros of the
//    right-hand side as the library's does.
#include "engine/RestrictedStep.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxPinned = kRestrictedStepMaxKinkmarks;
constexpr int kMaxCoefs = 2 * kRestrictedStepMaxKinkmarks + 2;

// Sum over j = c - 1, c, c + 1 (within 1..N) of v(j) B(j, c), 1-based, for
// the symmetric band matrix B of bandwidth 1 in band storage (row r keeps
// B(r, r - 1), then B(r, r)): from 0.0, the terms in that order.
double BandTimes(const double* pBand, int N, int c, const double* v) {
  double dSum = 0.0;
  if (c > 1) dSum += v[c - 2] * pBand[2 * (c - 1)];
  dSum += v[c - 1] * pBand[2 * (c - 1) + 1];
  if (c < N) dSum += v[c] * pBand[2 * c];
  return dSum;
}

// LU factorisation in place of the n x n row-major a, with partial pivoting:
// multipliers below the diagonal, U on and above it, the pivot row of step
// k in indx[k]. The next pivot is chosen while step k eliminates, from the
// absolute values of the updated column k + 1. False when a pivot is 0.
bool LuFactor(double* a, int n, int* indx) {
  bool bSingular = false;
  double dBig = std::fabs(a[0]);
  int mu = 0;
  for (int r = 1; r < n; ++r) {
    const double dTry = std::fabs(a[r * n]);
    if (dBig < dTry) {
      dBig = dTry;
      mu = r;
    }
  }
  for (int k = 0; k < n; ++k) {
    indx[k] = mu;
    if (mu != k) {
      for (int c = 0; c < n; ++c) std::swap(a[k * n + c], a[mu * n + c]);
    }
    const double dDiag = a[k * n + k];
    dBig = 0.0;
    mu = k + 1;
    if (dDiag == 0.0) {
      bSingular = true;
      continue;
    }
    for (int r = k + 1; r < n; ++r) {
      double* pRow = a + r * n;
      const double dMult = pRow[k] / dDiag;
      pRow[k] = dMult;
      if (k + 1 >= n) continue;
      pRow[k + 1] -= dMult * a[k * n + k + 1];
      const double dTry = std::fabs(pRow[k + 1]);
      if (dBig < dTry) {
        dBig = dTry;
        mu = r;
      }
      for (int c = k + 2; c < n; ++c) pRow[c] -= dMult * a[k * n + c];
    }
  }
  return !bSingular;
}

// Solves LU x = P b in place on b, for the factorisation of LuFactor.
void LuSolve(const double* a, int n, const int* indx, double* b) {
  // Rows exchange while the right-hand side is zero; the forward pass
  // starts at its first nonzero entry.
  int ii = n;
  for (int i = 0; i < n; ++i) {
    const int ip = indx[i];
    const double dTemp = b[ip];
    b[ip] = b[i];
    b[i] = dTemp;
    if (dTemp != 0.0) {
      ii = i;
      break;
    }
  }
  for (int i = ii + 1; i < n; ++i) {
    const int ip = indx[i];
    double dSum = b[ip];
    b[ip] = b[i];
    for (int j = ii; j < i; ++j) dSum -= a[i * n + j] * b[j];
    b[i] = dSum;
  }
  for (int i = n - 1; i >= 0; --i) {
    double dSum = b[i];
    for (int j = i + 1; j < n; ++j) dSum -= a[i * n + j] * b[j];
    b[i] = dSum / a[i * n + i];
  }
}

// Sq = (Rq B) Rq' for the q x N row-major rows Rq and the band storage of B
// (order N, bandwidth 1), into the q x q row-major Sq.
void BandQuadraticForm(const double* pB, const double* pRq, int q, int N,
                       double* pSq) {
  double mRqB[kMaxPinned * kMaxCoefs];
  for (int i = 0; i < q; ++i) {
    for (int c = 1; c <= N; ++c) {
      mRqB[i * N + c - 1] = BandTimes(pB, N, c, pRq + i * N);
    }
  }
  for (int i = 0; i < q; ++i) {
    for (int c = 0; c < q; ++c) {
      double dSum = mRqB[i * N] * pRq[c * N];
      for (int j = 1; j < N; ++j) dSum += mRqB[i * N + j] * pRq[c * N + j];
      pSq[i * q + c] = dSum;
    }
  }
}

// The pinned kinkmarks (choice code >= 2) in increasing order; bAfterGap
// when one of them is pinned after its gap (code > 2).
int PinnedKinkmarks(const NEWMAT::ColumnVector& choices, int k, int* pPinned,
                    bool& bAfterGap) {
  int q = 0;
  bAfterGap = false;
  const double* pChoices = choices.Store();
  for (int m = 1; m <= k; ++m) {
    if (pChoices[m - 1] >= 2.0) pPinned[q++] = m;
    if (pChoices[m - 1] > 2.0) bAfterGap = true;
  }
  return q;
}

}  // namespace

bool RestrictedStep(const NEWMAT::SymmetricBandMatrix& B,
                    const NEWMAT::Matrix& R, const NEWMAT::Matrix& S,
                    const NEWMAT::ColumnVector& beta,
                    NEWMAT::ColumnVector& dBeta,
                    const NEWMAT::ColumnVector& locations,
                    const NEWMAT::ColumnVector& choices, int16_t k,
                    double& dIncrease) {
  const int N = 2 * k + 2;
  if (k < 1 || k > kMaxPinned || choices.Nrows() < k || beta.Nrows() != N ||
      B.Nrows() != N || B.BandWidth().Lower() != 1) {
    return false;
  }
  int vPinned[kMaxPinned];
  bool bAfterGap = false;
  const int q = PinnedKinkmarks(choices, k, vPinned, bAfterGap);
  dIncrease = 0.0;
  if (q == 0) return true;
  if (bAfterGap
          ? locations.Nrows() < vPinned[q - 1]
          : R.Nrows() < k || R.Ncols() != N || S.Nrows() < k || S.Ncols() < k) {
    return false;
  }

  const double* pB = B.Store();
  const double* pBeta = beta.Store();
  // Only the q rows in use are cleared: the step runs for every choice
  // combination, and clearing the whole array took as long as the rest.
  double mRq[kMaxPinned * kMaxCoefs];
  std::fill(mRq, mRq + q * N, 0.0);
  double mSq[kMaxPinned * kMaxPinned];
  for (int r = 0; r < q; ++r) {
    const int m = vPinned[r];
    double* pRow = mRq + r * N;
    if (bAfterGap) {
      const double dLocation = locations.Store()[m - 1];
      pRow[2 * m - 2] = 1.0;
      pRow[2 * m - 1] = dLocation;
      pRow[2 * m] = -1.0;
      pRow[2 * m + 1] = -dLocation;
    } else {
      const double* pR = R.Store() + (m - 1) * N;
      std::copy(pR, pR + N, pRow);
      const double* pS = S.Store() + (m - 1) * S.Ncols();
      for (int r2 = 0; r2 < q; ++r2) mSq[r * q + r2] = pS[vPinned[r2] - 1];
    }
  }
  if (bAfterGap) BandQuadraticForm(pB, mRq, q, N, mSq);

  double t[kMaxPinned];
  for (int i = 0; i < q; ++i) {
    double dSum = mRq[i * N] * pBeta[0];
    for (int j = 1; j < N; ++j) dSum += mRq[i * N + j] * pBeta[j];
    t[i] = dSum;
  }
  int indx[kMaxPinned];
  if (!LuFactor(mSq, q, indx)) return false;
  double u[kMaxPinned];
  std::copy(t, t + q, u);
  LuSolve(mSq, q, indx, u);

  // dBeta = (B Rq') u.
  if (dBeta.Nrows() != N) dBeta.ReSize(N);
  double* pDBeta = dBeta.Store();
  for (int r = 1; r <= N; ++r) {
    double dSum = BandTimes(pB, N, r, mRq) * u[0];
    for (int c = 1; c < q; ++c) dSum += BandTimes(pB, N, r, mRq + c * N) * u[c];
    pDBeta[r - 1] = dSum;
  }
  double dTU = t[0] * u[0];
  for (int i = 1; i < q; ++i) dTU += t[i] * u[i];
  dIncrease = dTU;
  return true;
}

void ConstraintCovariance(const NEWMAT::SymmetricBandMatrix& B,
                          const NEWMAT::Matrix& R, NEWMAT::Matrix& S) {
  const int q = R.Nrows();
  const int N = R.Ncols();
  if (q < 1 || q > kMaxPinned || N > kMaxCoefs || B.Nrows() != N ||
      B.BandWidth().Lower() != 1) {
    S = R * B * R.t();
    return;
  }
  if (S.Nrows() != q || S.Ncols() != q) S.ReSize(q, q);
  BandQuadraticForm(B.Store(), R.Store(), q, N, S.Store());
}
