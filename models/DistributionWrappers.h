// Quantiles and probabilities of the normal, Student t and F distributions
// with a fixed answer for invalid arguments, over StatClass.
//
// Every wrapper returns kInvalidDistributionValue (-1e30) when an argument
// lies outside its domain (NaN included) or the StatClass routine reports a
// nonzero status. The t and F wrappers build a fresh StatClass for each call
// and also answer -1e30 when anything is thrown inside them, so any thread
// may call them at any time. The normal wrappers need no StatClass state and
// catch nothing.
//
// Quantiles and the t and F probabilities carry the accuracy of StatClass:
// probabilities and the normal quantile to about 1e-15 relative, the t and F
// quantiles (a bracketing search) to 1e-8 relative.
#ifndef KM_MODELS_DISTRIBUTIONWRAPPERS_H
#define KM_MODELS_DISTRIBUTIONWRAPPERS_H

// The answer of a wrapper whose arguments it cannot use.
inline constexpr double kInvalidDistributionValue = -1e30;

// Returns x with P(N(dMean, dSD^2) <= x) = p. Domain: 0 < p < 1, dSD > 0.
double calc_NormalQuantile(double p, double dMean, double dSD);

// Returns P(N(dMean, dSD^2) <= x). Domain: x >= 0, dSD > 0 (callers pass
// absolute values of statistics).
double calc_NormalCDF(double x, double dMean, double dSD);

// Returns P(N(dMean, dSD^2) > x), computed directly rather than as 1 minus
// the CDF, so that small tail probabilities keep their digits. Domain as
// calc_NormalCDF.
double calc_NormalUpperTail(double x, double dMean, double dSD);

// Returns t with P(T_df <= t) = p. Domain: 0 < p < 1, dDF > 0.
double calc_TQuantile(double p, double dDF);

// Returns P(T_df <= t). Domain: t >= 0, dDF > 0; t = 0 gives 0.5 (callers
// pass absolute values of statistics, and a zero statistic is a valid one).
double calc_TCDF(double t, double dDF);

// Returns P(T_df > t), computed directly. Domain as calc_TCDF.
double calc_TUpperTail(double t, double dDF);

// The two-sided p-value 2 Q of a statistic whose absolute value has the
// upper-tail probability Q (from calc_NormalUpperTail or calc_TUpperTail).
// An invalid Q (-1e30) gives the invalid marker: the p-value is missing.
double TwoSidedPValue(double dUpperTail);

// Returns f with P(F(iDF1, iDF2) <= f) = p. Domain: 0 < p < 1, iDF1 > 0,
// iDF2 > 0. Note the order: the probability comes first.
double calc_FQuantile(double p, int iDF1, int iDF2);

// Returns the upper-tail probability P(F(iDF1, iDF2) > f), the p-value of an
// F statistic. Domain: f > 0, iDF1 > 0, iDF2 > 0 (f = 0 gives -1e30). Note
// the order: the statistic comes first.
double calc_FUpperTail(double f, int iDF1, int iDF2);

#endif  // KM_MODELS_DISTRIBUTIONWRAPPERS_H
