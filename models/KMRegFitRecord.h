// KMRegFitRecord: one fitted model, as the best-model fit and the
// resampling code keep it.
#ifndef KM_MODELS_KMREGFITRECORD_H
#define KM_MODELS_KMREGFITRECORD_H

#include <newmat.h>

#include <cstdint>

#include "foundation/OneDimensionArray.h"
#include "models/KMRegFit.h"
#include "models/KMRegFitStats.h"

// One fitted model: the location search (BaseKMRegModel::findTheBestTau)
// writes the best placement and its fit, the resampling fit
// (BaseKMRegModel::calcForResampling) the counts, the refit's tables and
// the goodness of fit, and the resampled refits their slopes and locations.
// Records live in arrays (one per number of kinkmarks, or one per resample)
// and keep their derived results after resetFit has dropped the fit's data.
// Each scalar's comment gives the value reset writes.
//
// A value class (no virtual operations): the constructor runs reset;
// copies are deep; destruction runs clear. Every routine but the
// constructor passes every exception on; a KmException passing one collects a
// "Standard exception: <text>" report, which the driver writes to standard
// output.
class KMRegFitRecord {
 public:
  // reset; every container empty.
  KMRegFitRecord();
  // A deep copy of src (built empty, then assigned).
  KMRegFitRecord(const KMRegFitRecord& src);
  // Copies every member in declaration order. Returns this object.
  KMRegFitRecord& operator=(const KMRegFitRecord& src);
  // Calls clear.
  ~KMRegFitRecord();

  // Writes the start value of every scalar (see each member). Vectors,
  // matrices, arrays and the fit keep their contents.
  void reset();
  // Resets only the fit (KMRegFit::reset): drops its data and design and
  // keeps every result of the record.
  void resetFit();
  // Releases every container, the fit and the statistics included. Scalars
  // keep their values.
  void clear();

  // 1. n, the number of observations. 0.
  int32_t n;
  // 2. The fit: its data, design and settings.
  KMRegFit fit;
  // 3. k, the number of kinkmarks; p0, the number of base columns (2 for
  // one intercept, else series + 1); and the search's done flag, non-zero
  // when at least one placement was evaluated. 0 each.
  int32_t k;
  int32_t p0;
  int32_t searchDone;
  // 4. Residual degrees of freedom n - p. 0.0.
  double residualDF;
  // 5. RSS, the weighted residual sum of squares of the best placement.
  // +infinity.
  double rss;
  // 6. Best RSS of each scored response (entry 1 the observed one).
  NEWMAT::ColumnVector rssPerResponse;
  // 7. p, the number of regression parameters: p0 + 2k, plus 1 with the
  // jump. 0.
  int32_t p;
  // 8. The coefficients of the best placement: intercepts, first slope,
  // one slope change per kinkmark (then the jump coefficient).
  NEWMAT::ColumnVector beta;
  // 9. Statistics of the segment-form refit.
  KMRegFitStats fitStats;
  // 10. The reduced normal matrix X'WX of the best placement: the fit matrix
  // whose log-determinant the log-gamma criterion uses, moved with the
  // coefficients when x is shifted.
  NEWMAT::Matrix normalMatrix;
  // 11. The kinkmark locations (k, increasing).
  NEWMAT::ColumnVector tau;
  // 12. The RSS profile (candidates x k; 1e50 where never scored) and the
  // location intervals (2 x k: upper bound in row 1, lower in row 2).
  NEWMAT::Matrix profile;
  NEWMAT::Matrix tauInterval;
  // 13. Per series: the fitted values, the model's values at the kinkmark
  // locations, and the residuals.
  OneDimensionArray<NEWMAT::ColumnVector> fittedValues;
  OneDimensionArray<NEWMAT::ColumnVector> valuesAtTau;
  OneDimensionArray<NEWMAT::ColumnVector> residuals;
  // 14. Perfect fit: set when the RSS is exactly 0. false.
  bool perfectFit;
  // 15. The stacked independent values of the design, the first stacked
  // design vector and a third vector on the scale of x; all three move with
  // the fit when x is shifted.
  NEWMAT::ColumnVector stackedX;
  NEWMAT::ColumnVector stackedDesignX;
  NEWMAT::ColumnVector vMember15_3;
  // Mean squared error RSS / (n - p), written only when n - p > 0.
  // +infinity.
  double mse;
  // Goodness of fit: the stacked observed responses y, fitted values f and
  // residuals e of all series in series order.
  NEWMAT::ColumnVector gofObserved;
  NEWMAT::ColumnVector gofFitted;
  NEWMAT::ColumnVector gofResiduals;
  // The number of residuals m (0), the weighted centred sums of squares of
  // y, f, e and y - e (0.0 each), R-squared and adjusted R-squared (0.0).
  int32_t nResiduals;
  double ssTotal;
  double ssModel;
  double ssResidual;
  double ssData;
  double rSquared;
  double adjustedRSquared;
  // y - e.
  NEWMAT::ColumnVector gofData;
  // 16. The APC table, the range list and the AAPC table of the refit.
  NEWMAT::Matrix apcTable;
  NEWMAT::Matrix rangeList;
  NEWMAT::Matrix aapcTable;
  // The 9-entry jump test vector (entry 1 the jump coefficient) and the
  // segment slopes (k + 1; empty when not filled).
  NEWMAT::ColumnVector jumpVector;
  NEWMAT::ColumnVector segmentSlopes;
  // In the mode "CalcForResampling", one entry per scored response: the
  // coefficient vectors, the kinkmark locations and the segment slopes.
  OneDimensionArray<NEWMAT::ColumnVector> responseBetas;
  OneDimensionArray<NEWMAT::ColumnVector> responseTaus;
  OneDimensionArray<NEWMAT::ColumnVector> responseSlopes;
  NEWMAT::ColumnVector vMember16_9;
  // 17. 0.0.
  double dMember17;
};

#endif  // KM_MODELS_KMREGFITRECORD_H
