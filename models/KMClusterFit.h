// KMClusterFit: the result of one best-model fit.
#ifndef KM_MODELS_KMCLUSTERFIT_H
#define KM_MODELS_KMCLUSTERFIT_H

#include <newmat.h>

#include <cstdint>

#include "foundation/OneDimensionArray.h"
#include "models/KMModelScoreRec.h"
#include "models/KMRegFitRecord.h"
#include "stats/MTRandomGenerator.h"

// The output of BestKMRegModel::fit_BestKMRegModel for one series set
// fitted with every number of kinkmarks k = kMin..kMax: the fitted model of
// each k, its criterion value, the chosen number and the permutation tests
// that chose it. The multi-group clustering keeps one per candidate group
// and per subset of groups. Each scalar's comment gives the value at
// construction and the value the fit writes.
//
// A value class (no virtual operations): construction sets the scalars and
// leaves the containers empty; copies are deep (arrays element by element,
// the generator by its state); destruction releases them. Assignment and clear
// pass every exception on; a KmException passing them collects a "Standard
// exception: <text>" report, which the driver writes to standard output.
class KMClusterFit {
 public:
  KMClusterFit();
  // A deep copy of src (built empty, then assigned).
  KMClusterFit(const KMClusterFit& src);
  // Copies the nine members in declaration order. Returns this object.
  KMClusterFit& operator=(const KMClusterFit& src);
  // Releases every member.
  ~KMClusterFit();

  // Frees both arrays, empties both vectors and puts the generator back in
  // its unseeded state. Scalars keep their values.
  void clear();

  // 1. The fitted model of each number of kinkmarks: entry i for
  // k = kMin + i. Their fit data and designs are dropped (resetFit).
  OneDimensionArray<KMRegFitRecord> records;
  // 2. The criterion value of each k: entry i + 1 for k = kMin + i
  // (+infinity throughout when the permutation tests choose).
  NEWMAT::ColumnVector criterionValues;
  // 3. The selected number of kinkmarks. -1 at construction.
  int32_t selectedK;
  // 4. The permutation tests that chose the number (empty when none ran).
  OneDimensionArray<KMModelScoreRec> scores;
  // 5. Fitted flag: 0 at construction, 1 once the fit has filled the record.
  int32_t fitted;
  // 6. The generator in the state the permutation tests left it.
  MTRandomGenerator generator;
  // 7. 0.0 at construction and after the fit; -1 at construction and after
  // the fit.
  double dMember7;
  int32_t iMember7;
  // 8. The BIC3 value of each k under the "kDeltaStar" rule: entry i + 1 for
  // k = kMin + i (+infinity throughout when the rule is not in force).
  NEWMAT::ColumnVector kDeltaStarValues;
  // 9. The number of kinkmarks that the "kDeltaStar" rule chooses; -1 when
  // it is not in force (and at construction).
  int32_t kDeltaStarK;
};

#endif  // KM_MODELS_KMCLUSTERFIT_H
