// KinkMKFitResult: one fitted model of the ForAllKinkMKAction engine.
#ifndef KM_MODELS_KINKMKFITRESULT_H
#define KM_MODELS_KINKMKFITRESULT_H

#include <newmat.h>

#include <cstdint>

#include "foundation/KmString.h"
#include "foundation/OneDimensionArray.h"
#include "models/KMRegFitStats.h"
#include "models/KMRegModelSettings.h"
#include "models/KMSeriesSet.h"

// One fitted model of the engine: filled by the location search
// (ForAllKinkMKAction::findTheBestTau), completed by the segment-form refit
// (ForAllKinkMKAction::fit_KinkMKModel) and read by the information
// criteria and the calculator. Members are numbered 1 to 54 in declaration
// order; each comment gives the number, the value init writes ("not reset":
// init leaves the member as it is; it is empty at construction) and "not
// copied" for the members that assignment leaves alone. Members named only
// by type and number carry values between the engine's routines and have
// no meaning of their own here.
//
// With p base columns and k kinkmarks, the coefficients are the p - 1
// intercepts, the common slope of the first segment b(p), the k slope
// changes (and the jump coefficient in the jump model).
//
// A value class (no virtual operations): the constructor runs init; the
// copy constructor runs init and then assigns; destruction runs clear.
// Every routine but the constructor passes every exception on; a KmException
// passing one collects a "Standard exception: <text>" report, which the driver
// writes to standard output.
class KinkMKFitResult {
 public:
  // Every member empty, then init.
  KinkMKFitResult();
  // init, then assignment from src (members not copied keep init's state).
  KinkMKFitResult(const KinkMKFitResult& src);
  // Copies, in order, every member not marked "not copied" (vectors,
  // matrices and arrays by value; fitStats, seriesSet and settings by their
  // own assignment). The others keep this object's values. Returns this
  // object.
  KinkMKFitResult& operator=(const KinkMKFitResult& src);
  // Calls clear.
  ~KinkMKFitResult();

  // Writes the start values; members marked "not reset" keep their state.
  void init();
  // Empties every vector and matrix, releases every array and clears the
  // embedded seriesSet (its matrix too), settings and fitStats. Numbers and
  // flags keep their values.
  void clear();

  // 1. k, the number of kinkmarks. 0.
  int32_t k;
  // 2. p, the number of level parameters (base columns); coefficient p is
  // the common slope of the first segment. 0.
  int32_t p;
  // 3. The coefficients b of the fitted placement (p + k values, then the
  // jump coefficient in the jump model). Empty.
  NEWMAT::ColumnVector beta;
  // 4. The k kinkmark locations, increasing. Empty.
  NEWMAT::ColumnVector tau;
  // 5, 6. The fitted values and the residuals, one vector per series (or
  // group). Not reset.
  OneDimensionArray<NEWMAT::ColumnVector> fittedValues;
  OneDimensionArray<NEWMAT::ColumnVector> residuals;
  // 7. The weighted residual sum of squares (SSE) of the fit. 0.0.
  double sse;
  // 8. false.
  bool bMember8;
  // 9. The cross-product X'WX of the fitted design (q x q): the matrix
  // whose log-determinant the log-gamma criterion uses. 0 x 0.
  NEWMAT::Matrix xtwx;
  // 10. The matching block of the settings' optional second cross-product.
  // 0 x 0.
  NEWMAT::Matrix secondXtwx;
  // 11. Jump model only: the 9-entry test vector of the jump, entry 1 the
  // jump coefficient. Empty.
  NEWMAT::ColumnVector jumpVector;
  // 12. The 9-entry test vector of the level reached after the jump.
  // Empty.
  NEWMAT::ColumnVector levelVector;
  // 13. The jump's re-test (on the exp scale for the log-linear model).
  // Empty.
  NEWMAT::ColumnVector jumpRetest;
  // 14. The profile matrix (m candidates x k): the smallest SSE with
  // kinkmark j at candidate i, 1e50 where never fitted. 0 x 0.
  NEWMAT::Matrix profile;
  // 15. The confidence limits of the kinkmark locations (2 x k: upper in
  // row 1, lower in row 2). 0 x 0.
  NEWMAT::Matrix tauLimits;
  // 16. +infinity.
  double dMember16;
  // 17. The residual degrees of freedom: the divisor of sse in the variance
  // estimate (the refit scales the inverse of xtwx by sse / residualDF), and
  // the degrees of freedom of the tests of that estimate.
  // 0.0.
  double residualDF;
  // 18. q, the penalty count (number of parameters) of the information
  // criteria, set by the caller before a criterion is computed. 0.
  int32_t q;
  // 19. 0.0.
  double dMember19;
  // 20. phi, the first-order autocorrelation coefficient handed to the
  // weighting step of the refit. 0.0.
  double phi;
  // 21. true. Not copied.
  bool bMember21;
  // 22. Statistics of the segment-form refit. Not reset.
  KMRegFitStats fitStats;
  // 23. 0.0.
  double dMember23;
  // 24. The level alpha, copied from the settings by the search. 0.05.
  double alpha;
  // 25 to 27. 0.05 each.
  double dMember25;
  double dMember26;
  double dMember27;
  // 28, 29. Empty.
  NEWMAT::ColumnVector vMember28;
  NEWMAT::ColumnVector vMember29;
  // 30 to 35. 0 x 0.
  NEWMAT::Matrix mMember30;
  NEWMAT::Matrix mMember31;
  NEWMAT::Matrix mMember32;
  NEWMAT::Matrix mMember33;
  NEWMAT::Matrix mMember34;
  NEWMAT::Matrix mMember35;
  // 36. Labels. Not reset.
  OneDimensionArray<KmString> labels;
  // 37. The series set of the fit. Not reset.
  KMSeriesSet seriesSet;
  // 38. The settings of the fit, handed to the refit by
  // ForAllKinkMKAction::run_Fit. Not reset.
  KMRegModelSettings settings;
  // 39. 10.
  int32_t iMember39;
  // 40 to 43. Not reset; not copied.
  NEWMAT::ColumnVector vMember40;
  NEWMAT::ColumnVector vMember41;
  NEWMAT::ColumnVector vMember42;
  NEWMAT::ColumnVector vMember43;
  // 44. Not reset; not copied.
  OneDimensionArray<NEWMAT::ColumnVector> avMember44;
  // 45. 10.
  int32_t iMember45;
  // 46 to 50. Not reset; not copied.
  OneDimensionArray<NEWMAT::ColumnVector> avMember46;
  OneDimensionArray<NEWMAT::ColumnVector> avMember47;
  OneDimensionArray<NEWMAT::ColumnVector> avMember48;
  OneDimensionArray<NEWMAT::ColumnVector> avMember49;
  OneDimensionArray<NEWMAT::ColumnVector> avMember50;
  // 51 to 54. Not reset; not copied.
  NEWMAT::ColumnVector vMember51;
  NEWMAT::ColumnVector vMember52;
  NEWMAT::ColumnVector vMember53;
  NEWMAT::ColumnVector vMember54;
};

#endif  // KM_MODELS_KINKMKFITRESULT_H
