// StatClass normal-distribution kernels: cumnor, dinvnr, stvaln, dt1 (the t
// quantile's start value, built on the normal quantile) and devlpl.
#include <cmath>

#include "stats/StatClass.h"
#include "stats/internal/StatConstants.h"

void StatClass::cumnor(const double* arg, double* result, double* ccum) {
  // W. J. Cody, "Rational Chebyshev approximations for the error function",
  // Math. Comp. 1969, 631-637, as in his ANORM (ACM TOMS 715).
  static constexpr double a[5] = {
      2.2352520354606839287e00, 1.6102823106855587881e02,
      1.0676894854603709582e03, 1.8154981253343561249e04,
      6.5682337918207449113e-2};
  static constexpr double b[4] = {
      4.7202581904688241870e01, 9.7609855173777669322e02,
      1.0260932208618978205e04, 4.5507789335026729956e04};
  static constexpr double c[9] = {
      3.9894151208813466764e-1, 8.8831497943883759412e00,
      9.3506656132177855979e01, 5.9727027639480026226e02,
      2.4945375852903726711e03, 6.8481904505362823326e03,
      1.1602651437647350124e04, 9.8427148383839780218e03,
      1.0765576773720192317e-8};
  static constexpr double d[8] = {
      2.2266688044328115691e01, 2.3538790178262499861e02,
      1.5193775994075548050e03, 6.4855582982667607550e03,
      1.8615571640885098091e04, 3.4900952721145977266e04,
      3.8912003286093271411e04, 1.9685429676859990727e04};
  static constexpr double p[6] = {
      2.1589853405795699e-1, 1.274011611602473639e-1,
      2.2235277870649807e-2, 1.421619193227893466e-3,
      2.9112874951168792e-5, 2.307344176494017303e-2};
  static constexpr double q[5] = {
      1.28426009614491121e00, 4.68238212480865118e-1, 6.59881378689285515e-2,
      3.78239633202758244e-3, 7.29751555083966205e-5};
  constexpr double half = 0.5;
  constexpr double sixten = 1.60;
  constexpr double sqrpi = 3.9894228040143267794e-1;  // 1/sqrt(2π)
  constexpr double thrsh = 0.66291;
  constexpr double root32 = 5.656854248;
  constexpr double eps = km_stats::kEpsilon * 0.5;
  constexpr double min = km_stats::kSmallestSubnormal;

  const double x = *arg;
  const double y = std::fabs(x);
  if (y <= thrsh) {
    // |x| <= 0.66291.
    double xsq = 0.0;
    if (y > eps) xsq = x * x;
    double xnum = a[4] * xsq;
    double xden = xsq;
    for (int i = 0; i < 3; ++i) {
      xnum = (xnum + a[i]) * xsq;
      xden = (xden + b[i]) * xsq;
    }
    const double temp = x * (xnum + a[3]) / (xden + b[3]);
    *result = half + temp;
    *ccum = half - temp;
  } else {
    double r;
    double xsq;
    if (y <= root32) {
      // 0.66291 < |x| <= sqrt(32).
      double xnum = c[8] * y;
      double xden = y;
      for (int i = 0; i < 7; ++i) {
        xnum = (xnum + c[i]) * y;
        xden = (xden + d[i]) * y;
      }
      r = (xnum + c[7]) / (xden + d[7]);
      xsq = std::trunc(y * sixten) / sixten;
    } else {
      // |x| > sqrt(32).
      const double z = 1.0 / (x * x);
      double xnum = p[5] * z;
      double xden = z;
      for (int i = 0; i < 4; ++i) {
        xnum = (xnum + p[i]) * z;
        xden = (xden + q[i]) * z;
      }
      r = z * (xnum + p[4]) / (xden + q[4]);
      r = (sqrpi - r) / y;
      xsq = std::trunc(x * sixten) / sixten;
    }
    // exp(-x^2/2) split at a short xsq so that the square loses no digits.
    const double del = (y - xsq) * (y + xsq);
    r = std::exp(-(xsq * xsq * half)) * std::exp(-(del * half)) * r;
    *result = r;
    *ccum = 1.0 - r;
    if (x > 0.0) {
      *result = 1.0 - r;
      *ccum = r;
    }
  }
  if (*result < min) *result = 0.0;
  if (*ccum < min) *ccum = 0.0;
}

double StatClass::devlpl(const double a[], int n, double x) {
  // a[0] + a[1] x + ... + a[n-1] x^(n-1) by Horner's rule.
  double term = a[n - 1];
  for (int i = n - 2; i >= 0; --i) term = a[i] + term * x;
  return term;
}

double StatClass::stvaln(double p) {
  // Kennedy and Gentle, Statistical Computing (1980), p. 95.
  static constexpr double xden[5] = {0.993484626060e-1, 0.588581570495e0,
                                     0.531103462366e0, 0.103537752850e0,
                                     0.38560700634e-2};
  static constexpr double xnum[5] = {-0.322232431088e0, -1.000000000000e0,
                                     -0.342242088547e0, -0.204231210245e-1,
                                     -0.453642210148e-4};
  double sign;
  double z;
  if (p <= 0.5) {
    sign = -1.0;
    z = p;
  } else {
    sign = 1.0;
    z = 1.0 - p;
  }
  const double y = std::sqrt(-(2.0 * std::log(z)));
  const double result = y + devlpl(xnum, 5, y) / devlpl(xden, 5, y);
  return sign * result;
}

double StatClass::dinvnr(const double* p, const double* q) {
  constexpr int maxit = 100;
  constexpr double eps = 1.0e-13;
  constexpr double r2pi = 0.3989422804014326e0;  // 1/sqrt(2π)
  const bool qporq = *p <= *q;
  const double pp = qporq ? *p : *q;
  const double strtx = stvaln(pp);
  double xcur = strtx;
  for (int i = 1; i <= maxit; ++i) {
    double cum;
    double ccum;
    cumnor(&xcur, &cum, &ccum);
    const double dx = (cum - pp) / (r2pi * std::exp(-0.5 * xcur * xcur));
    xcur -= dx;
    if (std::fabs(dx / xcur) < eps) return qporq ? xcur : -xcur;
  }
  // Newton did not converge: fall back on the start value.
  return qporq ? strtx : -strtx;
}

double StatClass::dt1(const double* p, const double* q, const double* df) {
  static constexpr double coef[4][5] = {{1.0, 1.0, 0.0, 0.0, 0.0},
                                        {3.0, 16.0, 5.0, 0.0, 0.0},
                                        {-15.0, 17.0, 19.0, 3.0, 0.0},
                                        {-945.0, -1920.0, 1482.0, 776.0, 79.0}};
  static constexpr double denom[4] = {4.0, 96.0, 384.0, 92160.0};
  static constexpr int ideg[4] = {2, 3, 4, 5};
  const double x = std::fabs(dinvnr(p, q));
  const double xx = x * x;
  double sum = x;
  double denpow = 1.0;
  for (int i = 0; i < 4; ++i) {
    const double term = devlpl(coef[i], ideg[i], xx) * x;
    denpow *= *df;
    sum += (term / (denpow * denom[i]));
  }
  return (*p >= 0.5) ? sum : -sum;
}
