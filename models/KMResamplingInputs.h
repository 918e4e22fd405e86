// KMResamplingInputs: the observed fit that the empirical interval methods
// resample.
#ifndef KM_MODELS_KMRESAMPLINGINPUTS_H
#define KM_MODELS_KMRESAMPLINGINPUTS_H

#include <newmat.h>

#include <cstdint>
#include <string>

#include "foundation/OneDimensionArray.h"
#include "models/KMSeriesSet.h"

// Everything BaseKMRegModel::resample_new needs of an observed fit, beyond
// its kinkmark locations and the settings words, to simulate new responses
// from it and refit them. The owner of a fitted model fills one per model
// and hands the same contents to every interval request of that model; the
// interval code only reads it.
//
// With N stacked observations (all series in series order):
//   y_r = f + P2 e_r,   f the fitted curve b0 + b1 x + sum d_i (x - tau_i)+,
//   e_r(i) drawn from the sorted pool of transformed residuals P1 (y - f),
// P1 and P2 being `transform` and `backTransform` (P1'P1 = W, P2 = P1^-1).
struct KMResamplingInputs {
  // The observed data: per series its x values and its responses (and the
  // covariance of the observations, which the refit does not read).
  KMSeriesSet seriesSet;
  // Per series the raw residuals y - f of the observed fit (a single block
  // holding all series in order is fine).
  OneDimensionArray<NEWMAT::ColumnVector> residuals;
  // Per series the fitted values of the observed fit, laid out like
  // `residuals`.
  OneDimensionArray<NEWMAT::ColumnVector> fittedValues;
  // The observed coefficients: intercept b0, slope b1 of the first segment,
  // then the change of slope at each of the k kinkmarks (k + 2 entries).
  NEWMAT::ColumnVector coefficients;
  // The residual sum of squares of the observed fit and its divisor (the
  // residual degrees of freedom): the residual scale is sqrt(rss / divisor).
  double rss = 0.0;
  double rssDivisor = 0.0;
  // The weighting matrices of the fit, N x N each, in the fixed order
  // W (weights), V (covariance), P1 (applied to stacked residuals) and P2
  // (applied to the simulated errors).
  NEWMAT::Matrix weight;
  NEWMAT::Matrix covariance;
  NEWMAT::Matrix transform;
  NEWMAT::Matrix backTransform;
  // N, the number of resamples counting the observed fit as resample 1.
  // At least 2.
  int32_t numResamples = 0;
  // The resampling seed (taken modulo 2^32 after truncation toward zero) and
  // the reseed setting: exactly "NO" seeds the generator with the seed before
  // the draws; any other text continues the generator's sequence.
  double seed = 0.0;
  std::string reseed = "NO";
  // The grid integers handed to the location search of every refit
  // (KMRegFit::minObsAtEnds, minObsBetween, gridPointsBetween).
  int32_t minObsAtEnds = 2;
  int32_t minObsBetween = 2;
  int32_t gridPointsBetween = 0;
};

#endif  // KM_MODELS_KMRESAMPLINGINPUTS_H
