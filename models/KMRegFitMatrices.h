// KMRegFitMatrices: the prepared design-side products of one fit.
#ifndef KM_MODELS_KMREGFITMATRICES_H
#define KM_MODELS_KMREGFITMATRICES_H

#include <newmat.h>

#include <cstdint>

#include "foundation/OneDimensionArray.h"

// The design of one fit with every candidate location as a kinkmark column,
// and the weighted cross-products that the location search reuses for every
// candidate placement and every extra response, filled by
// BaseKMRegModel::prepare_BaseKMRegModel_FittingData. With N stacked
// observations, q design columns and m responses:
//   X (N x q), X'W (q x N), X'WX (q x q), X'WY (q x m), y'Wy (m values).
// The fit counts as prepared when X has at least one row.
//
// A value class (no virtual operations): the constructor runs init; copies
// are deep; destruction runs clear. Every routine but the constructor passes
// every exception on; a KmException passing one collects a "Standard
// exception: <text>" report, which the driver writes to standard output.
class KMRegFitMatrices {
 public:
  // Every container empty; p = 0.
  KMRegFitMatrices();
  // A deep copy of src (built empty, then assigned).
  KMRegFitMatrices(const KMRegFitMatrices& src);
  // Copies every member in declaration order. Returns this object.
  KMRegFitMatrices& operator=(const KMRegFitMatrices& src);
  // Calls clear.
  ~KMRegFitMatrices();

  // Sets p to 0. Containers keep their contents.
  void init();
  // Frees both arrays and empties every vector and matrix. p keeps its
  // value.
  void clear();

  // Candidate locations, their index numbers and the distinct independent
  // values, copied from a KMRegFittingData.
  NEWMAT::ColumnVector candidates;
  NEWMAT::ColumnVector candidateIndices;
  NEWMAT::ColumnVector distinctX;
  // The weighting matrix W (N x N), set by the caller before preparation.
  NEWMAT::Matrix weight;
  // The covariance of the errors (the inverse of W).
  NEWMAT::Matrix covariance;
  // T: the residual transformation of the permutation tests.
  NEWMAT::Matrix transform;
  // B: the back-transformation of the permutation tests.
  NEWMAT::Matrix backTransform;
  // Number of base columns: 2 for one intercept, else series + 1.
  int32_t p;
  // The independent values of all series, stacked in series order.
  NEWMAT::ColumnVector allX;
  // The responses of all series, stacked in series order.
  NEWMAT::ColumnVector allY;
  // The design over all candidate columns.
  NEWMAT::Matrix X;
  // X'W.
  NEWMAT::Matrix XtW;
  // X'WX.
  NEWMAT::Matrix XtWX;
  // The m responses scored: allY first, then the extra responses.
  OneDimensionArray<NEWMAT::ColumnVector> responses;
  // y'Wy of each response.
  OneDimensionArray<double> yWy;
  // X'WY, one column per response.
  NEWMAT::Matrix XtWY;
};

#endif  // KM_MODELS_KMREGFITMATRICES_H
