// First-order autocorrelation of the errors of groups of series, for the
// weighting matrices of the multi-group clustering.
//
// The errors of a fit are taken as an AR(1) process, e_t = phi e_(t-1) +
// u_t. phi is estimated from the residuals e(1..n) of a plain (unweighted)
// kinkmark fit, stacked over the series of the fitted range, by the lag-one
// ratio
//
//   phi = min(1, B / A),  A = sum_{i=1..n-1} e(i)^2,
//                         B = sum_{i=1..n-1} e(i) e(i+1),
//
// and 0 when A = 0 (the last residual never enters A; there is no lower cap).
// See e.g. Box, Jenkins and Reinsel, Time Series Analysis, sect. 2.1.
//
// Error-model codes: 0 uncorrelated errors (phi = 0), 1 phi estimated from
// the data, 2 phi given by the caller; any other code counts as 0.
//
// The fitting settings of the estimate are handed on unchanged into the
// KMRegFit of the preliminary fit (models/KMRegFit.h); in the order of the
// arguments they fill: userLocations, useUserLocations, modelType, k,
// iMember8, splineCode, jumpLocation, minObsAtEnds, minObsBetween,
// gridPointsBetween and alpha. The fit's other settings are fixed: jump 0,
// iMember12 0, xShift 0.0, and tauAlpha, apcAlpha, aapcAlpha and dMember15
// -1.0 (the preliminary fit computes no intervals).
//
// Every routine touches only its arguments and locals and passes every
// exception on; a KmException passing one collects a "Standard exception:
// <text>" report, which the driver writes to standard output.
#ifndef KM_MODELS_GROUPAUTOCORRELATION_H
#define KM_MODELS_GROUPAUTOCORRELATION_H

#include <newmat.h>

#include <cstdint>

#include "foundation/OneDimensionArray.h"
#include "models/KMSeriesSet.h"

// Resizes out to G + 1 (G = number of series of groups) and fills it:
// out(1) = phi of all groups pooled, out(g + 1) = phi of group g alone, each
// by estimate_RangeAutocorrelation over a set holding the label, x and y of
// the range's groups (its covariance 0 x 0). The settings are handed on as
// they are (see the file comment).
// Throws: what estimate_RangeAutocorrelation throws.
void estimate_GroupAutocorrelations(
    NEWMAT::ColumnVector& out, int32_t iErrorModel, double dPhiGiven,
    const KMSeriesSet& groups, const NEWMAT::ColumnVector& userLocations,
    bool bUseUserLocations, int32_t iModelType, int32_t iNumKinkmarks,
    int32_t iFitMember8, int32_t iSplineCode, double dJumpLocation,
    int32_t iMinObsAtEnds, int32_t iMinObsBetween, int32_t iGridPointsBetween,
    double dAlpha);

// Returns phi of one range of groups: 0.0 for error model 0 (and any code
// other than 1 and 2) without fitting; dPhiGiven for error model 2; for
// error model 1 the lag-one autocorrelation (calc_LagOneAutocorrelation) of
// the per-series residuals of the best kinkmark fit of the range with
// identity weights (BaseKMRegModel::calcForResampling, refit skipped, mode
// "NO").
// Throws: what the fit throws (KmException for data it cannot fit, the
// matrix library's exceptions).
double estimate_RangeAutocorrelation(
    int32_t iErrorModel, const KMSeriesSet& range, double dPhiGiven,
    const NEWMAT::ColumnVector& userLocations, bool bUseUserLocations,
    int32_t iModelType, int32_t iNumKinkmarks, int32_t iFitMember8,
    int32_t iSplineCode, double dJumpLocation, int32_t iMinObsAtEnds,
    int32_t iMinObsBetween, int32_t iGridPointsBetween, double dAlpha);

// Returns B / A bounded to [-1, 1] of the vectors stacked in array order (see
// the file comment), 0.0 when A is not positive (fewer than two values, all but
// the last zero).
double calc_LagOneAutocorrelation(
    const OneDimensionArray<NEWMAT::ColumnVector>& residuals);

#endif  // KM_MODELS_GROUPAUTOCORRELATION_H
