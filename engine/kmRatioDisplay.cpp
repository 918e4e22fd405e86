#include "engine/kmRatioDisplay.h"

#include <cmath>

#include "session/kmAnalysisCopies.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

kmRatioDisplay::kmRatioDisplay(const kmSession& session)
    : dRatio_(session.GetDouble(kmOptCRValue)),
      dVariance_(session.GetDouble(kmOptCRVariance)),
      dLocation_(session.GetDouble(kmOptJumpLocation)) {}

bool kmRatioDisplay::ShowsCopy(const kmSession& session, int iCopy) {
  return kmAnalysisCopies(session).IsComparabilityRatioCopy(iCopy);
}

double kmRatioDisplay::ShownSE(double x, double y, double s,
                               double dNoValue) const {
  if (!Adjusted(x)) return s;
  // SE of y / c when y is the product of y / c and the independent factor
  // c of variance v. The readers widened s by exactly the part subtracted
  // here, so a difference below zero by no more than rounding (an
  // observation read with standard error 0) is 0; a standard error that
  // cannot be formed (a negative or unset variance of the ratio, a ratio
  // of 0) is marked absent rather than NaN.
  const double c = dRatio_;
  const double v = dVariance_;
  const double yc = y / c;
  const double dPart = yc * yc * v;
  double dDiff = s * s - dPart;
  const double dDenominator = c * c + v;
  if (dDiff < 0.0 && -dDiff <= 1e-12 * std::fabs(dPart)) dDiff = 0.0;
  const double dSquare = dDiff / dDenominator;
  if (!(dDenominator > 0.0) || !(dSquare >= 0.0) || !std::isfinite(dSquare)) {
    return dNoValue;
  }
  return std::sqrt(dSquare);
}
