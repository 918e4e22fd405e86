// kmCandidateFit: the weighted fit of one candidate model of the exhaustive
// grid searches on plain arrays, without the matrix library.
//
// A search fits every admissible placement of its kinkmarks, so the cost of
// one fit is the cost of the search. This class assembles a candidate's
// X'WX and X'WY by index from the full cross products, as the search's work
// matrices would hold them, and evaluates them with the arithmetic of
// kmCalculator::WLS for small systems (the same generalised inverse, the
// same sums in the same order), so that every residual sum and coefficient
// is WLS's to the last bit.
#ifndef KM_ENGINE_KMCANDIDATEFIT_H
#define KM_ENGINE_KMCANDIDATEFIT_H

#include <newmat.h>

#include <cstdint>

namespace km_grid {

class CandidateFit {
 public:
  // The largest model: nine kinkmarks with the intercept and the slope.
  static constexpr int kMaxCols = 11;
  // The most data columns whose residual sums are formed.
  static constexpr int kMaxDataSets = 2;

  // Fits of iNumCols design columns (1 and 2, then one per kinkmark) from
  // the full cross products mXWX ((K + 2) x (K + 2)) and mXWYAll ((K + 2)
  // x D, D <= kMaxDataSets). The objects must outlive the fit.
  // REQUIRES: 2 <= iNumCols <= kMaxCols, mXWYAll has at least 2 rows.
  CandidateFit(const NEWMAT::SymmetricMatrix& mXWX,
               const NEWMAT::Matrix& mXWYAll, int iNumCols);

  // Design column of model column iPos (3..iNumCols): the hinge of a
  // candidate, at column candidate + 2.
  void SetColumn(int iPos, int iDesignColumn) {
    iCols_[iPos - 1] = iDesignColumn;
  }
  int Column(int iPos) const { return iCols_[iPos - 1]; }

  // Fits the model of the columns set, with the generalised inverse of its
  // X'WX. Must precede Sse and the copies below.
  void Fit();

  // The weighted residual sum of data column d (1-based) of the last fit:
  // Y'WY(d) - b_d'X'WY(d), b_d = G X'WY(d).
  double Sse(int d, double dYWY) const;

  // The coefficients of data column 1 of the last fit, into vBeta (resized
  // to the number of columns), and the model's X'WX into mXWX.
  void CopyCoefficients(NEWMAT::ColumnVector& vBeta) const;
  void CopyCrossProducts(NEWMAT::SymmetricMatrix& mXWX) const;

 private:
  // Element (i, j), 1-based, of the full symmetric cross products.
  double FullXWX(int i, int j) const {
    return i >= j ? pXWX_[i * (i - 1) / 2 + j - 1]
                  : pXWX_[j * (j - 1) / 2 + i - 1];
  }

  const double* pXWX_;
  const double* pXWY_;
  // Values from one row of mXWYAll to the next.
  int iStride_;
  int iDataSets_;
  int p_;
  int iCols_[kMaxCols];
  double a_[kMaxCols * kMaxCols];
  double inv_[kMaxCols * kMaxCols];
  double y_[kMaxCols * kMaxDataSets];
};

}  // namespace km_grid

#endif  // KM_ENGINE_KMCANDIDATEFIT_H
