// Holds BaseKMRegModel::update_ResampledResponse: carrying a fit made on a
// shifted independent variable back to the scale of the data.
#include <newmat.h>

#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/KMRegFitRecord.h"
#include "models/internal/StandardCatch.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

void AddToEntries(ColumnVector& v, double c) {
  for (int i = 1; i <= v.Nrows(); ++i) v(i) += c;
}

void AddToEntries(Matrix& m, double c) {
  for (int r = 1; r <= m.Nrows(); ++r) {
    for (int col = 1; col <= m.Ncols(); ++col) m(r, col) += c;
  }
}

// A fit on x' = x - c has the design X' = X T^-1 with T = get_mShfitInv:
// the intercept columns add up to 1, so x' = x - c (their sum). Only the
// intercepts change: beta(i) = beta'(i) - c beta'(p) for i < p.
void MoveIntercepts(ColumnVector& beta, int p, double c) {
  if (beta.Nrows() < p) return;
  const double dSlope = beta(p);
  for (int i = 1; i <= p - 1; ++i) beta(i) -= c * dSlope;
}

}  // namespace

void BaseKMRegModel::update_ResampledResponse(KMRegFitRecord& record,
                                              double c) {
  km_models_internal::WithStandardCatch([&] {
    AddToEntries(record.tau, c);
    AddToEntries(record.tauInterval, c);
    AddToEntries(record.stackedX, c);
    AddToEntries(record.stackedDesignX, c);
    AddToEntries(record.vMember15_3, c);
    for (int r = 0; r < record.responseTaus.GetSize(); ++r) {
      AddToEntries(record.responseTaus[r], c);
    }
    if (record.fit.jump != 0) record.fit.jumpLocation += c;

    const int p = record.p0;
    if (record.normalMatrix.Nrows() > 0) {
      const Matrix T = get_mShfitInv(p, record.beta.Nrows(), c);
      record.normalMatrix = T.t() * record.normalMatrix * T;
    }
    MoveIntercepts(record.beta, p, c);
    for (int r = 0; r < record.responseBetas.GetSize(); ++r) {
      MoveIntercepts(record.responseBetas[r], p, c);
    }
  });
}
