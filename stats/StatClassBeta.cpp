// StatClass incomplete beta ratio: bratio and its series and continued
// fraction kernels fpser, apser, bpser, bup, bfrac, brcomp, brcmp1
// (Didonato and Morris, ACM TOMS 708). The asymptotic kernels bgrat and basym
// are in StatClassBetaAsymptotic.cpp.
#include <cmath>
#include <utility>

#include "stats/StatClass.h"
#include "stats/internal/StatConstants.h"

using km_stats::Max1;
using km_stats::Min1;

namespace {

// The kernel bratio hands the computation to, named after the published
// branch that evaluates it.
enum class BetaMethod {
  kFpser,            // tiny b
  kApser,            // tiny a
  kBpser,            // power series for I_x(a, b)
  kBpserComplement,  // power series for 1 - I_x(a, b)
  kBupThenBgrat,     // raise b by 20 terms, then the asymptotic expansion
  kBgrat,            // asymptotic expansion for a much larger than b
  kBupThenSeries,    // b reduced into (0, 1] by bup, then bpser or bgrat
  kBfrac,            // continued fraction
  kBasym,            // asymptotic expansion for large a and b
};

}  // namespace

void StatClass::bratio(const double* pa, const double* pb, const double* px,
                       const double* py, double* w, double* w1, int* ierr) {
  const double a = *pa;
  const double b = *pb;
  const double x = *px;
  const double y = *py;
  double eps = km_stats::kEpsilon;
  *w = 0.0;
  *w1 = 0.0;
  // The range tests are written so that a NaN fails them: a NaN reaching the
  // kernels could keep the continued fraction from ever converging.
  if (!(a >= 0.0) || !(b >= 0.0)) {
    *ierr = 1;
    return;
  }
  if (a == 0.0 && b == 0.0) {
    *ierr = 2;
    return;
  }
  if (!(x >= 0.0 && x <= 1.0)) {
    *ierr = 3;
    return;
  }
  if (!(y >= 0.0 && y <= 1.0)) {
    *ierr = 4;
    return;
  }
  const double z = x + y - 0.5 - 0.5;
  if (std::fabs(z) > 3.0 * eps) {
    *ierr = 5;
    return;
  }
  *ierr = 0;
  if (x == 0.0) {
    if (a == 0.0) {
      *ierr = 6;
      return;
    }
    *w1 = 1.0;
    return;
  }
  if (y == 0.0) {
    if (b == 0.0) {
      *ierr = 7;
      return;
    }
    *w = 1.0;
    return;
  }
  if (a == 0.0) {
    *w = 1.0;
    return;
  }
  if (b == 0.0) {
    *w1 = 1.0;
    return;
  }
  eps = Max1(eps, 1.e-15);
  if (Max1(a, b) < 1.e-3 * eps) {
    // a and b both below 1e-3 eps.
    *w = b / (a + b);
    *w1 = a / (a + b);
    return;
  }

  // Choose the kernel; ind marks that a, b and x, y were exchanged, so that
  // the results must be exchanged back.
  bool ind = false;
  double a0 = a;
  double b0 = b;
  double x0 = x;
  double y0 = y;
  double lambda = 0.0;
  int n = 0;
  BetaMethod method;
  if (Min1(a0, b0) <= 1.0) {
    if (x > 0.5) {
      ind = true;
      a0 = b;
      b0 = a;
      x0 = y;
      y0 = x;
    }
    if (b0 < Min1(eps, eps * a0)) {
      method = BetaMethod::kFpser;
    } else if (a0 < Min1(eps, eps * b0) && b0 * x0 <= 1.0) {
      method = BetaMethod::kApser;
    } else if (Max1(a0, b0) <= 1.0) {
      if (a0 >= Min1(0.2, b0) || std::pow(x0, a0) <= 0.9) {
        method = BetaMethod::kBpser;
      } else if (x0 >= 0.3) {
        method = BetaMethod::kBpserComplement;
      } else {
        n = 20;
        method = BetaMethod::kBupThenBgrat;
      }
    } else if (b0 <= 1.0) {
      method = BetaMethod::kBpser;
    } else if (x0 >= 0.3) {
      method = BetaMethod::kBpserComplement;
    } else if (x0 < 0.1 && std::pow(x0 * b0, a0) <= 0.7) {
      method = BetaMethod::kBpser;
    } else if (b0 > 15.0) {
      method = BetaMethod::kBgrat;
    } else {
      n = 20;
      method = BetaMethod::kBupThenBgrat;
    }
  } else {
    // a > 1 and b > 1.
    lambda = (a > b) ? (a + b) * y - b : a - (a + b) * x;
    if (!(lambda >= 0.0)) {
      ind = true;
      a0 = b;
      b0 = a;
      x0 = y;
      y0 = x;
      lambda = std::fabs(lambda);
    }
    if (b0 < 40.0 && b0 * x0 <= 0.7) {
      method = BetaMethod::kBpser;
    } else if (b0 < 40.0) {
      method = BetaMethod::kBupThenSeries;
    } else if (a0 > b0) {
      method = (b0 <= 100.0 || lambda > 0.03 * b0) ? BetaMethod::kBfrac
                                                   : BetaMethod::kBasym;
    } else {
      method = (a0 <= 100.0 || lambda > 0.03 * a0) ? BetaMethod::kBfrac
                                                   : BetaMethod::kBasym;
    }
  }

  int ierr1 = 0;
  switch (method) {
    case BetaMethod::kFpser:
      *w = fpser(a0, b0, x0, eps);
      *w1 = 0.5 + (0.5 - *w);
      break;
    case BetaMethod::kApser:
      *w1 = apser(a0, b0, x0, eps);
      *w = 0.5 + (0.5 - *w1);
      break;
    case BetaMethod::kBpser:
      *w = bpser(a0, b0, x0, eps);
      *w1 = 0.5 + (0.5 - *w);
      break;
    case BetaMethod::kBpserComplement:
      *w1 = bpser(b0, a0, y0, eps);
      *w = 0.5 + (0.5 - *w1);
      break;
    case BetaMethod::kBupThenBgrat:
      *w1 = bup(b0, a0, y0, x0, n, eps);
      b0 += static_cast<double>(n);
      bgrat(b0, a0, y0, x0, w1, 15.0 * eps, &ierr1);
      *w = 0.5 + (0.5 - *w1);
      break;
    case BetaMethod::kBgrat:
      bgrat(b0, a0, y0, x0, w1, 15.0 * eps, &ierr1);
      *w = 0.5 + (0.5 - *w1);
      break;
    case BetaMethod::kBupThenSeries:
      n = static_cast<int>(b0);
      b0 -= static_cast<double>(n);
      if (b0 == 0.0) {
        n -= 1;
        b0 = 1.0;
      }
      *w = bup(b0, a0, y0, x0, n, eps);
      if (x0 <= 0.7) {
        *w += bpser(a0, b0, x0, eps);
        *w1 = 0.5 + (0.5 - *w);
        break;
      }
      if (a0 <= 15.0) {
        n = 20;
        *w += bup(a0, b0, x0, y0, n, eps);
        a0 += static_cast<double>(n);
      }
      bgrat(a0, b0, x0, y0, w, 15.0 * eps, &ierr1);
      *w1 = 0.5 + (0.5 - *w);
      break;
    case BetaMethod::kBfrac:
      *w = bfrac(a0, b0, x0, y0, lambda, 15.0 * eps);
      *w1 = 0.5 + (0.5 - *w);
      break;
    case BetaMethod::kBasym:
      *w = basym(a0, b0, lambda, 100.0 * eps);
      *w1 = 0.5 + (0.5 - *w);
      break;
  }
  if (ind) std::swap(*w, *w1);
}

double StatClass::fpser(double a, double b, double x, double eps) {
  // I_x(a, b) for b < min(eps, eps a) and x <= 0.5; note 1/B(a, b) ~ b.
  double result = 1.0;
  if (a > 1.e-3 * eps) {
    const double t = a * std::log(x);
    if (t < exparg(1)) return 0.0;
    result = std::exp(t);
  }
  result = b / a * result;
  const double tol = eps / a;
  double an = a + 1.0;
  double t = x;
  double s = t / an;
  double c;
  do {
    an += 1.0;
    t = x * t;
    c = t / an;
    s += c;
  } while (std::fabs(c) > tol);
  result *= (1.0 + a * s);
  return result;
}

double StatClass::apser(double a, double b, double x, double eps) {
  // I_{1-x}(b, a) for a <= min(eps, eps b), b x <= 1 and x <= 0.5.
  constexpr double g = .577215664901533e0;  // Euler's constant
  const double bx = b * x;
  double t = x - bx;
  const double c =
      (b * eps <= 2.e-2) ? std::log(x) + psi(b) + g + t : std::log(bx) + g + t;
  const double tol = 5.0 * eps * std::fabs(c);
  double j = 1.0;
  double s = 0.0;
  double aj;
  do {
    j += 1.0;
    t *= (x - bx / j);
    aj = t / j;
    s += aj;
  } while (std::fabs(aj) > tol);
  return -(a * (c + s));
}

double StatClass::bpser(double a, double b, double x, double eps) {
  // Power series for I_x(a, b) when b <= 1 or b x <= 0.7.
  if (x == 0.0) return 0.0;
  // The factor x^a / (a B(a, b)).
  double result;
  const double a0 = Min1(a, b);
  if (a0 >= 1.0) {
    const double z = a * std::log(x) - betaln(a, b);
    result = std::exp(z) / a;
  } else {
    double b0 = Max1(a, b);
    if (b0 >= 8.0) {
      const double u = gamln1(a0) + algdiv(a0, b0);
      const double z = a * std::log(x) - u;
      result = a0 / a * std::exp(z);
    } else if (b0 <= 1.0) {
      result = std::pow(x, a);
      if (result == 0.0) return result;
      const double apb = a + b;
      const double z =
          (apb <= 1.0) ? 1.0 + gam1(apb) : (1.0 + gam1(a + b - 1.e0)) / apb;
      const double c = (1.0 + gam1(a)) * (1.0 + gam1(b)) / z;
      result *= (c * (b / apb));
    } else {
      // a0 < 1 and 1 < b0 < 8.
      double u = gamln1(a0);
      const int m = static_cast<int>(b0 - 1.0);
      if (m >= 1) {
        double c = 1.0;
        for (int i = 1; i <= m; ++i) {
          b0 -= 1.0;
          c *= (b0 / (a0 + b0));
        }
        u = std::log(c) + u;
      }
      const double z = a * std::log(x) - u;
      b0 -= 1.0;
      const double apb = a0 + b0;
      const double t =
          (apb <= 1.0) ? 1.0 + gam1(apb) : (1.0 + gam1(a0 + b0 - 1.e0)) / apb;
      result = std::exp(z) * (a0 / a) * (1.0 + gam1(b0)) / t;
    }
  }
  if (result == 0.0 || a <= 0.1 * eps) return result;
  // The series.
  double sum = 0.0;
  double n = 0.0;
  double c = 1.0;
  const double tol = eps / a;
  double w;
  do {
    n += 1.0;
    c *= ((0.5 + (0.5 - b / n)) * x);
    w = c / (a + n);
    sum += w;
  } while (std::fabs(w) > tol);
  result *= (1.0 + a * sum);
  return result;
}

double StatClass::bup(double a, double b, double x, double y, int n,
                      double eps) {
  // I_x(a, b) - I_x(a + n, b) for a positive integer n. The terms are scaled
  // by exp(-mu) while summing so that they cannot overflow.
  const double apb = a + b;
  const double ap1 = a + 1.0;
  int mu = 0;
  double d = 1.0;
  if (n != 1 && a >= 1.0 && apb >= 1.1 * ap1) {
    mu = static_cast<int>(std::fabs(exparg(1)));
    const int k = static_cast<int>(exparg(0));
    if (k < mu) mu = k;
    d = std::exp(-static_cast<double>(mu));
  }
  double result = brcmp1(mu, a, b, x, y) / a;
  if (n == 1 || result == 0.0) return result;
  const int nm1 = n - 1;
  double w = d;
  // k is the index of the largest term; the terms up to it increase.
  int k = 0;
  if (b > 1.0) {
    if (y <= 1.e-4) {
      k = nm1;
    } else {
      const double r = (b - 1.0) * x / y - a;
      if (r >= 1.0) {
        const double t = nm1;
        k = static_cast<int>(t);
        if (r < t) k = static_cast<int>(r);
      }
    }
    for (int i = 1; i <= k; ++i) {
      const double l = i - 1;
      d = (apb + l) / (ap1 + l) * x * d;
      w += d;
    }
  }
  if (k != nm1) {
    for (int i = k + 1; i <= nm1; ++i) {
      const double l = i - 1;
      d = (apb + l) / (ap1 + l) * x * d;
      w += d;
      if (d <= eps * w) break;
    }
  }
  result *= w;
  return result;
}

double StatClass::bfrac(double a, double b, double x, double y, double lambda,
                        double eps) {
  // Continued fraction for I_x(a, b) when a, b > 1; lambda = (a + b) y - b.
  double result = brcomp(a, b, x, y);
  if (result == 0.0) return result;
  const double c = 1.0 + lambda;
  const double c0 = b / a;
  const double c1 = 1.0 + 1.0 / a;
  const double yp1 = y + 1.0;
  double n = 0.0;
  double p = 1.0;
  double s = a + 1.0;
  double an = 0.0;
  double bn = 1.0;
  double anp1 = 1.0;
  double bnp1 = c / c1;
  double r = c1 / c;
  for (;;) {
    n += 1.0;
    double t = n / a;
    const double w = n * (b - n) * x;
    double e = a / s;
    const double alpha = p * (p + c0) * e * e * (w * x);
    e = (1.0 + t) / (c1 + t + t);
    const double beta = n + w / s + e * (c + n * yp1);
    p = 1.0 + t;
    s += 2.0;
    // Update an, bn, anp1 and bnp1.
    t = alpha * an + beta * anp1;
    an = anp1;
    anp1 = t;
    t = alpha * bn + beta * bnp1;
    bn = bnp1;
    bnp1 = t;
    const double r0 = r;
    r = anp1 / bnp1;
    // Written so that a NaN ends the loop instead of running it forever.
    if (!(std::fabs(r - r0) > eps * r)) break;
    // Rescale.
    an /= bnp1;
    bn /= bnp1;
    anp1 = r;
    bnp1 = 1.0;
  }
  result *= r;
  return result;
}

double StatClass::brcomp(double a, double b, double x, double y) {
  // x^a y^b / B(a, b).
  constexpr double kConst = .398942280401433e0;  // 1/sqrt(2π)
  if (x == 0.0 || y == 0.0) return 0.0;
  const double a0 = Min1(a, b);
  if (a0 >= 8.0) {
    double h;
    double x0;
    double y0;
    double lambda;
    if (a > b) {
      h = b / a;
      x0 = 1.0 / (1.0 + h);
      y0 = h / (1.0 + h);
      lambda = (a + b) * y - b;
    } else {
      h = a / b;
      x0 = h / (1.0 + h);
      y0 = 1.0 / (1.0 + h);
      lambda = a - (a + b) * x;
    }
    double e = -(lambda / a);
    const double u = (std::fabs(e) > 0.6) ? e - std::log(x / x0) : rlog1(e);
    e = lambda / b;
    const double v = (std::fabs(e) > 0.6) ? e - std::log(y / y0) : rlog1(e);
    const double z = std::exp(-(a * u + b * v));
    return kConst * std::sqrt(b * x0) * z * std::exp(-bcorr(a, b));
  }
  double lnx;
  double lny;
  if (x <= 0.375) {
    lnx = std::log(x);
    lny = alnrel(-x);
  } else if (y <= 0.375) {
    lnx = alnrel(-y);
    lny = std::log(y);
  } else {
    lnx = std::log(x);
    lny = std::log(y);
  }
  double z = a * lnx + b * lny;
  if (a0 >= 1.0) {
    z -= betaln(a, b);
    return std::exp(z);
  }
  // a < 1 or b < 1.
  double b0 = Max1(a, b);
  if (b0 >= 8.0) {
    const double u = gamln1(a0) + algdiv(a0, b0);
    return a0 * std::exp(z - u);
  }
  if (b0 <= 1.0) {
    double result = std::exp(z);
    if (result == 0.0) return result;
    const double apb = a + b;
    const double zz =
        (apb <= 1.0) ? 1.0 + gam1(apb) : (1.0 + gam1(a + b - 1.e0)) / apb;
    const double c = (1.0 + gam1(a)) * (1.0 + gam1(b)) / zz;
    return result * (a0 * c) / (1.0 + a0 / b0);
  }
  // 1 < b0 < 8.
  double u = gamln1(a0);
  const int n = static_cast<int>(b0 - 1.0);
  if (n >= 1) {
    double c = 1.0;
    for (int i = 1; i <= n; ++i) {
      b0 -= 1.0;
      c *= (b0 / (a0 + b0));
    }
    u = std::log(c) + u;
  }
  z -= u;
  b0 -= 1.0;
  const double apb = a0 + b0;
  const double t =
      (apb <= 1.0) ? 1.0 + gam1(apb) : (1.0 + gam1(a0 + b0 - 1.e0)) / apb;
  return a0 * std::exp(z) * (1.0 + gam1(b0)) / t;
}

double StatClass::brcmp1(int mu, double a, double b, double x, double y) {
  // exp(mu) x^a y^b / B(a, b); the same steps as brcomp with esum for exp.
  constexpr double kConst = .398942280401433e0;  // 1/sqrt(2π)
  const double a0 = Min1(a, b);
  if (a0 >= 8.0) {
    double h;
    double x0;
    double y0;
    double lambda;
    if (a > b) {
      h = b / a;
      x0 = 1.0 / (1.0 + h);
      y0 = h / (1.0 + h);
      lambda = (a + b) * y - b;
    } else {
      h = a / b;
      x0 = h / (1.0 + h);
      y0 = 1.0 / (1.0 + h);
      lambda = a - (a + b) * x;
    }
    double e = -(lambda / a);
    const double u = (std::fabs(e) > 0.6) ? e - std::log(x / x0) : rlog1(e);
    e = lambda / b;
    const double v = (std::fabs(e) > 0.6) ? e - std::log(y / y0) : rlog1(e);
    const double z = esum(mu, -(a * u + b * v));
    return kConst * std::sqrt(b * x0) * z * std::exp(-bcorr(a, b));
  }
  double lnx;
  double lny;
  if (x <= 0.375) {
    lnx = std::log(x);
    lny = alnrel(-x);
  } else if (y <= 0.375) {
    lnx = alnrel(-y);
    lny = std::log(y);
  } else {
    lnx = std::log(x);
    lny = std::log(y);
  }
  double z = a * lnx + b * lny;
  if (a0 >= 1.0) {
    z -= betaln(a, b);
    return esum(mu, z);
  }
  double b0 = Max1(a, b);
  if (b0 >= 8.0) {
    const double u = gamln1(a0) + algdiv(a0, b0);
    return a0 * esum(mu, z - u);
  }
  if (b0 <= 1.0) {
    double result = esum(mu, z);
    if (result == 0.0) return result;
    const double apb = a + b;
    const double zz =
        (apb <= 1.0) ? 1.0 + gam1(apb) : (1.0 + gam1(a + b - 1.e0)) / apb;
    const double c = (1.0 + gam1(a)) * (1.0 + gam1(b)) / zz;
    return result * (a0 * c) / (1.0 + a0 / b0);
  }
  double u = gamln1(a0);
  const int n = static_cast<int>(b0 - 1.0);
  if (n >= 1) {
    double c = 1.0;
    for (int i = 1; i <= n; ++i) {
      b0 -= 1.0;
      c *= (b0 / (a0 + b0));
    }
    u = std::log(c) + u;
  }
  z -= u;
  b0 -= 1.0;
  const double apb = a0 + b0;
  const double t =
      (apb <= 1.0) ? 1.0 + gam1(apb) : (1.0 + gam1(a0 + b0 - 1.e0)) / apb;
  return a0 * esum(mu, z) * (1.0 + gam1(b0)) / t;
}
