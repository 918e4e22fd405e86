// KMBestModelFit: the input of one best-model fit.
#ifndef KM_MODELS_KMBESTMODELFIT_H
#define KM_MODELS_KMBESTMODELFIT_H

#include <newmat.h>

#include <cstdint>
#include <string>

#include "models/KMRegFit.h"
#include "models/KMSeriesSet.h"
#include "stats/MTRandomGenerator.h"

// The input of BestKMRegModel::fit_BestKMRegModel: one series set fitted
// with every number of kinkmarks from kMin to kMax, and how to choose
// among them. Each scalar's comment gives the value init writes.
//
// A value class (no virtual operations): the constructor runs init; copies
// are deep, the generator's state included, so a copy continues the same
// random sequence independently; destruction runs clear. Every routine but
// the constructor passes every exception on; a KmException passing one
// collects a "Standard exception: <text>" report, which the driver writes to
// standard output.
class KMBestModelFit {
 public:
  // init; every container empty; the generator unseeded.
  KMBestModelFit();
  // A deep copy of src (built empty, then assigned).
  KMBestModelFit(const KMBestModelFit& src);
  // Copies every member in declaration order (the generator by its
  // 624-word state and index). Returns this object.
  KMBestModelFit& operator=(const KMBestModelFit& src);
  // Calls clear.
  ~KMBestModelFit();

  // Writes the start value of every scalar and of the selection text. The
  // series set, the matrices, the template fit and the generator keep their
  // state.
  void init();
  // Releases the series set, the four matrices and the template fit's
  // containers. Scalars and the generator keep their values.
  void clear();

  // 1. The series fitted together.
  KMSeriesSet seriesSet;
  // 2. The weighting matrix W, the covariance V, the residual
  // transformation T and the back-transformation B of the permutation
  // tests (T also feeds the model statistic of the weighted criteria).
  NEWMAT::Matrix weight;
  NEWMAT::Matrix covariance;
  NEWMAT::Matrix transform;
  NEWMAT::Matrix backTransform;
  // 3. Largest and smallest number of kinkmarks. 0 each.
  int32_t kMax;
  int32_t kMin;
  // 4. Criterion code 0 to 9 (0: permutation tests). 0.
  int32_t criterionCode;
  // 5. Selection text; only "kDeltaStar" has a meaning. "".
  std::string selection;
  // 6. N, the number of data sets of a permutation test, the observed one
  // included. 0.
  int32_t N;
  // 7. The template fit: model type, jump, spline code, grid integers and
  // the user's candidate locations.
  KMRegFit templateFit;
  // 8. The random generator of the permutation tests.
  MTRandomGenerator generator;
  // 9. Significance level. 0.05.
  double alpha;
};

#endif  // KM_MODELS_KMBESTMODELFIT_H
