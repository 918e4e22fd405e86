// KMRegFit: one model to be fitted, with its data, design and settings.
#ifndef KM_MODELS_KMREGFIT_H
#define KM_MODELS_KMREGFIT_H

#include <newmat.h>

#include <cstdint>

#include "foundation/OneDimensionArray.h"
#include "models/KMRegFitCounts.h"
#include "models/KMRegFitMatrices.h"
#include "models/KMSeriesSet.h"

// One model to be fitted by the resampling fit (BaseKMRegModel::
// calcForResampling): the series set, the extra (simulated or permuted)
// responses, the four weighting matrices of the fit, its prepared design and
// its settings. Each setting's comment gives the value init writes.
//
// The four matrices, all N x N over the stacked observations, are in the
// fixed order: W (the weights, the inverse of the covariance), the
// covariance V, the transformation T (T'T = W, applied to stacked residuals
// and observations) and the back-transformation B (the inverse of T).
//
// A value class (no virtual operations): the constructor runs init; copies
// are deep; destruction runs clear. Every routine but the constructor passes
// every exception on; a KmException passing one collects a "Standard
// exception: <text>" report, which the driver writes to standard output.
class KMRegFit {
 public:
  // Every container empty; settings as init gives them.
  KMRegFit();
  // A deep copy of src (built empty, then assigned).
  KMRegFit(const KMRegFit& src);
  // Copies every member in declaration order. Returns this object.
  KMRegFit& operator=(const KMRegFit& src);
  // Calls clear.
  ~KMRegFit();

  // Writes the settings' start values (see each member); the data, the
  // matrices and the design keep their contents.
  void init();
  // Empties the series set (labels, vectors and its matrix) and the
  // prepared design, so that a fit record keeps no heavy data.
  void reset();
  // Releases every container: the series set, the responses, the four
  // matrices, the design, the counts' matrix and userLocations. Numbers and
  // flags keep their values.
  void clear();

  // 1. The data of the fit.
  KMSeriesSet seriesSet;
  // 2. Extra responses fitted beside the observed one (simulated or
  // permuted), each as long as the stacked observations.
  OneDimensionArray<NEWMAT::ColumnVector> responses;
  // 3. W, V, T and B (see above).
  NEWMAT::Matrix weight;
  NEWMAT::Matrix covariance;
  NEWMAT::Matrix transform;
  NEWMAT::Matrix backTransform;
  // 4. The prepared design; prepared when design.X has at least one row.
  KMRegFitMatrices design;
  // Counts carried with the fit (reset to 0 at construction).
  KMRegFitCounts counts;
  // 5. The shift already subtracted from all independent values. 0.0.
  double xShift;
  // 6. Model type: 1 = one intercept for all series, other = one intercept
  // per series. 2.
  int32_t modelType;
  // 7. Number of kinkmarks k. 0.
  int32_t k;
  // 8. 0.
  int32_t iMember8;
  // 9. Spline code: 2 = "CubicSpline" adds square and cube columns. 0.
  int32_t splineCode;
  // 10. Jump switch: non-zero puts a step at jumpLocation. 0.
  int32_t jump;
  // 11. Jump location J. -1.0.
  double jumpLocation;
  // 12. Grid integers a, b, c (see KMRegFittingData): 2, 2, 0; and an
  // int, 0.
  int32_t minObsAtEnds;
  int32_t minObsBetween;
  int32_t gridPointsBetween;
  int32_t iMember12;
  // 13. The user's candidate locations (empty) and the switch to use them
  // instead of the grid (false).
  NEWMAT::ColumnVector userLocations;
  bool useUserLocations;
  // 14. Significance level of the fit; level of the kinkmark-location
  // intervals handed to the search; APC level; AAPC level. 0.05 each.
  double alpha;
  double tauAlpha;
  double apcAlpha;
  double aapcAlpha;
  // 15. 0.05.
  double dMember15;
};

#endif  // KM_MODELS_KMREGFIT_H
