// km_grid::CandidateFit.
#include "engine/kmCandidateFit.h"

#include <algorithm>

#include "models/SymmetricInverse.h"

namespace km_grid {

CandidateFit::CandidateFit(const NEWMAT::SymmetricMatrix& mXWX,
                           const NEWMAT::Matrix& mXWYAll, int iNumCols)
    : pXWX_(mXWX.Store()),
      pXWY_(mXWYAll.Store()),
      iStride_(mXWYAll.Ncols()),
      iDataSets_(std::min(mXWYAll.Ncols(), kMaxDataSets)),
      p_(iNumCols) {
  for (int i = 0; i < kMaxCols; ++i) iCols_[i] = i + 1;
  std::fill(a_, a_ + kMaxCols * kMaxCols, 0.0);
  std::fill(inv_, inv_ + kMaxCols * kMaxCols, 0.0);
  std::fill(y_, y_ + kMaxCols * kMaxDataSets, 0.0);
  // The base columns stay; each fit loads the rows of the hinges.
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 2; ++c) a_[r * p_ + c] = FullXWX(r + 1, c + 1);
    for (int d = 0; d < iDataSets_; ++d) {
      y_[r * kMaxDataSets + d] = pXWY_[r * iStride_ + d];
    }
  }
}

void CandidateFit::Fit() {
  WithSymmetricOrder(p_, [this](auto order) {
    const int p = order;
    for (int cc = 3; cc <= p; ++cc) {
      const int iColC = iCols_[cc - 1];
      for (int r = 1; r <= cc; ++r) {
        const double d = FullXWX(iColC, iCols_[r - 1]);
        a_[(cc - 1) * p + r - 1] = d;
        a_[(r - 1) * p + cc - 1] = d;
      }
      for (int d = 0; d < iDataSets_; ++d) {
        y_[(cc - 1) * kMaxDataSets + d] = pXWY_[(iColC - 1) * iStride_ + d];
      }
    }
    int16_t iAccepted = static_cast<int16_t>(p);
    // A negative pivot leaves the unfinished work matrix, which WLS uses as
    // it stands; so does this fit.
    InvertSymmetricMirrored(order, a_, p, inv_, iAccepted);
  });
}

double CandidateFit::Sse(int d, double dYWY) const {
  return WithSymmetricOrder(p_, [&](auto order) {
    return SymmetricResidualSum(order, inv_, y_ + (d - 1), kMaxDataSets, dYWY);
  });
}

void CandidateFit::CopyCoefficients(NEWMAT::ColumnVector& vBeta) const {
  if (vBeta.Nrows() != p_) vBeta.ReSize(p_);
  for (int i = 0; i < p_; ++i)
    vBeta(i + 1) = SymmetricSolveRow(p_, inv_, i, y_, kMaxDataSets);
}

void CandidateFit::CopyCrossProducts(NEWMAT::SymmetricMatrix& mXWX) const {
  if (mXWX.Nrows() != p_) mXWX.ReSize(p_);
  // The library keeps the lower triangle, row by row.
  double* pOut = mXWX.Store();
  for (int i = 0; i < p_; ++i) {
    for (int j = 0; j <= i; ++j) *pOut++ = a_[i * p_ + j];
  }
}

}  // namespace km_grid
