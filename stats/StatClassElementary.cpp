// StatClass elementary kernels: alnrel, rexp, rlog, rlog1, erf1, erfc1, esum,
// exparg. Rational approximations of TOMS 708 / 654, accurate near the points
// where the plain library functions lose digits (ln(1+a) and exp(x)-1 near 0,
// x-1-ln x near 1).
#include <cmath>

#include "stats/StatClass.h"
#include "stats/internal/StatConstants.h"

namespace {

// Coefficients shared by erf1 and erfc1.
constexpr double kErfC = .564189583547756e0;  // 1/sqrt(pi)
constexpr double kErfA[5] = {.771058495001320e-04, -.133733772997339e-02,
                             .323076579225834e-01, .479137145607681e-01,
                             .128379167095513e+00};
constexpr double kErfB[3] = {.301048631703895e-02, .538971687740286e-01,
                             .375795757275549e+00};
constexpr double kErfP[8] = {-1.36864857382717e-07, 5.64195517478974e-01,
                             7.21175825088309e+00,  4.31622272220567e+01,
                             1.52989285046940e+02,  3.39320816734344e+02,
                             4.51918953711873e+02,  3.00459261020162e+02};
constexpr double kErfQ[8] = {1.00000000000000e+00, 1.27827273196294e+01,
                             7.70001529352295e+01, 2.77585444743988e+02,
                             6.38980264465631e+02, 9.31354094850610e+02,
                             7.90950925327898e+02, 3.00459260956983e+02};
constexpr double kErfR[5] = {2.10144126479064e+00, 2.62370141675169e+01,
                             2.13688200555087e+01, 4.65807828718470e+00,
                             2.82094791773523e-01};
constexpr double kErfS[4] = {9.41537750555460e+01, 1.87114811799590e+02,
                             9.90191814623914e+01, 1.80124575948747e+01};

// Rational part of erf on |x| <= 0.5, evaluated at t = x^2.
double ErfSmallRatio(double t) {
  const double top =
      (((kErfA[0] * t + kErfA[1]) * t + kErfA[2]) * t + kErfA[3]) * t +
      kErfA[4] + 1.0;
  const double bot = ((kErfB[0] * t + kErfB[1]) * t + kErfB[2]) * t + 1.0;
  return top / bot;
}

// Numerator and denominator of a rational approximation. The callers divide
// in the order of the published routines (for example exp(-x^2) top / bot,
// not exp(-x^2) (top / bot)) so that the results agree to the last bit.
struct Rational {
  double top;
  double bot;
};

// exp(x^2) erfc(x) on 0.5 < x <= 4, evaluated at ax = |x|.
Rational ErfcMiddle(double ax) {
  double top = kErfP[0];
  double bot = kErfQ[0];
  for (int i = 1; i < 8; ++i) {
    top = top * ax + kErfP[i];
    bot = bot * ax + kErfQ[i];
  }
  return {top, bot};
}

// Rational part of the asymptotic form of erfc for |x| > 4, at t = 1/x^2.
Rational ErfcTail(double t) {
  const double top =
      (((kErfR[0] * t + kErfR[1]) * t + kErfR[2]) * t + kErfR[3]) * t +
      kErfR[4];
  const double bot =
      (((kErfS[0] * t + kErfS[1]) * t + kErfS[2]) * t + kErfS[3]) * t + 1.0;
  return {top, bot};
}

// Shared by rlog and rlog1: 2 t (1/(1-r) - r w(t)) + w1 with r = u/(u+2).
constexpr double kRlogA = .566749439387324e-01;
constexpr double kRlogB = .456512608815524e-01;
double RlogSeries(double u, double w1) {
  constexpr double p0 = .333333333333333e+00;
  constexpr double p1 = -.224696413112536e+00;
  constexpr double p2 = .620886815375787e-02;
  constexpr double q1 = -.127408923933623e+01;
  constexpr double q2 = .354508718369557e+00;
  const double r = u / (u + 2.0);
  const double t = r * r;
  const double w = ((p2 * t + p1) * t + p0) / ((q2 * t + q1) * t + 1.0);
  return 2.0 * t * (1.0 / (1.0 - r) - r * w) + w1;
}

}  // namespace

double StatClass::alnrel(double a) {
  constexpr double p1 = -.129418923021993e+01;
  constexpr double p2 = .405303492862024e+00;
  constexpr double p3 = -.178874546012214e-01;
  constexpr double q1 = -.162752256355323e+01;
  constexpr double q2 = .747811014037616e+00;
  constexpr double q3 = -.845104217945565e-01;
  if (std::fabs(a) > 0.375) return std::log(1.0 + a);
  const double t = a / (a + 2.0);
  const double t2 = t * t;
  const double w = (((p3 * t2 + p2) * t2 + p1) * t2 + 1.0) /
                   (((q3 * t2 + q2) * t2 + q1) * t2 + 1.0);
  return 2.0 * t * w;
}

double StatClass::rexp(double x) {
  constexpr double p1 = .914041914819518e-09;
  constexpr double p2 = .238082361044469e-01;
  constexpr double q1 = -.499999999085958e+00;
  constexpr double q2 = .107141568980644e+00;
  constexpr double q3 = -.119041179760821e-01;
  constexpr double q4 = .595130811860248e-03;
  if (!(std::fabs(x) > 0.15)) {
    return x * (((p2 * x + p1) * x + 1.0) /
                ((((q4 * x + q3) * x + q2) * x + q1) * x + 1.0));
  }
  const double w = std::exp(x);
  if (x > 0.0) return w * (0.5 + (0.5 - 1.0 / w));
  return w - 0.5 - 0.5;
}

double StatClass::rlog(double x) {
  if (x < 0.61 || x > 1.57) return (x - 0.5 - 0.5) - std::log(x);
  if (x < 0.82) {
    const double u = (x - 0.7) / 0.7;
    return RlogSeries(u, kRlogA - u * 0.3);
  }
  if (x > 1.18) {
    const double u = 0.75 * x - 1.0;
    return RlogSeries(u, kRlogB + u / 3.0);
  }
  return RlogSeries(x - 0.5 - 0.5, 0.0);
}

double StatClass::rlog1(double x) {
  if (x < -0.39 || x > 0.57) return x - std::log(x + 0.5 + 0.5);
  if (x < -0.18) {
    const double h = (x + 0.3) / 0.7;
    return RlogSeries(h, kRlogA - h * 0.3);
  }
  if (x > 0.18) {
    const double h = 0.75 * x - 0.25;
    return RlogSeries(h, kRlogB + h / 3.0);
  }
  return RlogSeries(x, 0.0);
}

double StatClass::erf1(double x) {
  const double ax = std::fabs(x);
  if (!(ax > 0.5)) return x * ErfSmallRatio(x * x);
  if (ax <= 4.0) {
    const Rational m = ErfcMiddle(ax);
    const double r = 0.5 + (0.5 - std::exp(-(x * x)) * m.top / m.bot);
    return x < 0.0 ? -r : r;
  }
  if (ax >= 5.8) return km_stats::TransferSign(1.0, x);
  const double x2 = x * x;
  const double t = 1.0 / x2;
  const Rational tail = ErfcTail(t);
  const double r = (kErfC - tail.top / (x2 * tail.bot)) / ax;
  const double e = 0.5 + (0.5 - std::exp(-x2) * r);
  return x < 0.0 ? -e : e;
}

double StatClass::erfc1(int ind, double x) {
  const double ax = std::fabs(x);
  if (!(ax > 0.5)) {
    const double t = x * x;
    double r = 0.5 + (0.5 - x * ErfSmallRatio(t));
    if (ind != 0) r = std::exp(t) * r;
    return r;
  }
  double r;
  if (ax <= 4.0) {
    const Rational m = ErfcMiddle(ax);
    r = m.top / m.bot;
  } else {
    if (x <= -5.6) {
      // Limit for large negative x.
      return ind != 0 ? 2.0 * std::exp(x * x) : 2.0;
    }
    // Limit for large positive x when the scaled form is not asked for.
    if (ind == 0 && (x > 100.0 || x * x > -exparg(1))) return 0.0;
    const double t = (1.0 / x) * (1.0 / x);
    const Rational tail = ErfcTail(t);
    r = (kErfC - t * tail.top / tail.bot) / ax;
  }
  if (ind != 0) {
    if (x < 0.0) r = 2.0 * std::exp(x * x) - r;
    return r;
  }
  r = std::exp(-(x * x)) * r;
  if (x < 0.0) r = 2.0 - r;
  return r;
}

double StatClass::esum(int mu, double x) {
  // exp(mu + x) in one step only when mu and x have opposite signs, so that
  // neither overflow nor underflow can come from adding them first.
  if (x > 0.0) {
    if (mu <= 0) {
      const double w = mu + x;
      if (!(w < 0.0)) return std::exp(w);
    }
  } else if (mu >= 0) {
    const double w = mu + x;
    if (!(w > 0.0)) return std::exp(w);
  }
  return std::exp(static_cast<double>(mu)) * std::exp(x);
}

double StatClass::exparg(int l) {
  // IEEE double: base 2, exponents from -1021 to 1024.
  constexpr double lnb = .69314718055995e0;
  if (l == 0) return 0.99999e0 * (1024.0 * lnb);
  return 0.99999e0 * (-1022.0 * lnb);
}
