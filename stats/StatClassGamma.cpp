// StatClass incomplete gamma ratios (Didonato and Morris, ACM TOMS 654):
// gratio, grat1 and the small-a branches they share (gratHalf, gratSmallX),
// with the series, continued fraction, asymptotic and Temme expansions they
// choose between.
#include <cmath>

#include "stats/StatClass.h"
#include "stats/internal/StatConstants.h"

namespace {

constexpr double kRt2pin = .398942280401433e0;  // 1/sqrt(2π)
constexpr double kRtpi = 1.77245385090552e0;    // sqrt(π)
constexpr double kThird = .333333333333333e0;

// Coefficients of Temme's expansion.
constexpr double d10 = -.185185185185185e-02;
constexpr double d20 = .413359788359788e-02;
constexpr double d30 = .649434156378601e-03;
constexpr double d40 = -.861888290916712e-03;
constexpr double d50 = -.336798553366358e-03;
constexpr double d60 = .531307936463992e-03;
constexpr double d70 = .344367606892378e-03;
constexpr double d0[13] = {
    .833333333333333e-01,  -.148148148148148e-01, .115740740740741e-02,
    .352733686067019e-03,  -.178755144032922e-03, .391926317852244e-04,
    -.218544851067999e-05, -.185406221071516e-05, .829671134095309e-06,
    -.176659527368261e-06, .670785354340150e-08,  .102618097842403e-07,
    -.438203601845335e-08};
constexpr double d1[12] = {
    -.347222222222222e-02, .264550264550265e-02,  -.990226337448560e-03,
    .205761316872428e-03,  -.401877572016461e-06, -.180985503344900e-04,
    .764916091608111e-05,  -.161209008945634e-05, .464712780280743e-08,
    .137863344691572e-06,  -.575254560351770e-07, .119516285997781e-07};
constexpr double d2[10] = {-.268132716049383e-02, .771604938271605e-03,
                           .200938786008230e-05,  -.107366532263652e-03,
                           .529234488291201e-04,  -.127606351886187e-04,
                           .342357873409614e-07,  .137219573090629e-05,
                           -.629899213838006e-06, .142806142060642e-06};
constexpr double d3[8] = {.229472093621399e-03,  -.469189494395256e-03,
                          .267720632062839e-03,  -.756180167188398e-04,
                          -.239650511386730e-06, .110826541153473e-04,
                          -.567495282699160e-05, .142309007324359e-05};
constexpr double d4[6] = {.784039221720067e-03,  -.299072480303190e-03,
                          -.146384525788434e-05, .664149821546512e-04,
                          -.396836504717943e-04, .113757269706784e-04};
constexpr double d5[4] = {-.697281375836586e-04, .277275324495939e-03,
                          -.199325705161888e-03, .679778047793721e-04};
constexpr double d6[2] = {-.592166437353694e-03, .270878209671804e-03};

// Sum of c_k u^k in Temme's expansion for full accuracy; each c_k is a
// polynomial in z.
double TemmeFull(double z, double u) {
  using km_stats::Horner;
  const double c[8] = {
      Horner(d0, 13, z) * z - kThird, Horner(d1, 12, z) * z + d10,
      Horner(d2, 10, z) * z + d20,    Horner(d3, 8, z) * z + d30,
      Horner(d4, 6, z) * z + d40,     Horner(d5, 4, z) * z + d50,
      Horner(d6, 2, z) * z + d60,     d70};
  return Horner(c, 8, u);
}

// The same for x close to a (|1 - x/a| small), where fewer terms suffice.
double TemmeNearOne(double z, double u) {
  using km_stats::Horner;
  const double c[8] = {Horner(d0, 7, z) * z - kThird,
                       Horner(d1, 6, z) * z + d10,
                       Horner(d2, 5, z) * z + d20,
                       Horner(d3, 4, z) * z + d30,
                       Horner(d4, 2, z) * z + d40,
                       Horner(d5, 2, z) * z + d50,
                       d6[0] * z + d60,
                       d70};
  return Horner(c, 8, u);
}

// P and Q as 0/1 limits: P = 0 when x <= a, else P = 1.
void SetLimit(double a, double x, double* ans, double* qans) {
  if (x <= a) {
    *ans = 0.0;
    *qans = 1.0;
  } else {
    *ans = 1.0;
    *qans = 0.0;
  }
}

}  // namespace

void StatClass::gratio(const double* pa, const double* px, double* ans,
                       double* qans, const int* ind) {
  constexpr double alog10 = 2.30258509299405e0;
  static constexpr double acc0[3] = {5.e-15, 5.e-7, 5.e-4};
  static constexpr double big[3] = {20.0, 14.0, 10.0};
  static constexpr double e00[3] = {.25e-3, .25e-1, .14e0};
  static constexpr double x00[3] = {31.0, 17.0, 9.7};
  const double a = *pa;
  const double x = *px;
  const double e = km_stats::kEpsilon;
  // Written so that NaN arguments are refused too.
  if (!(a >= 0.0) || !(x >= 0.0) || (a == 0.0 && x == 0.0)) {
    *ans = 2.0;
    return;
  }
  if (a * x == 0.0) {
    SetLimit(a, x, ans, qans);
    return;
  }
  int iop = *ind + 1;
  if (iop != 1 && iop != 2) iop = 3;
  const double acc = km_stats::Max1(acc0[iop - 1], e);
  const double e0 = e00[iop - 1];
  const double x0 = x00[iop - 1];

  // r = exp(-x) x^a / Γ(a), the common factor of the expansions below.
  double r;
  bool bContinuedFraction = false;
  if (a < 1.0) {
    if (a == 0.5) {
      gratHalf(x, ans, qans);
      return;
    }
    if (x < 1.1) {
      gratSmallX(a, x, 3.0 * acc / (a + 1.0), ans, qans);
      return;
    }
    const double t1 = a * std::log(x) - x;
    const double u = a * std::exp(t1);
    if (u == 0.0) {
      *ans = 1.0;
      *qans = 0.0;
      return;
    }
    r = u * (1.0 + gam1(a));
    bContinuedFraction = true;
  } else if (a < big[iop - 1]) {
    if (a <= x && x < x0) {
      const double twoa = a + a;
      const int m = static_cast<int>(twoa);
      if (twoa == static_cast<double>(m)) {
        // Finite sums for Q when 2a is an integer.
        const int i = m / 2;
        double sum;
        double t;
        int n;
        double c;
        if (a == static_cast<double>(i)) {
          sum = std::exp(-x);
          t = sum;
          n = 1;
          c = 0.0;
        } else {
          const double rtx = std::sqrt(x);
          sum = erfc1(0, rtx);
          t = std::exp(-x) / (kRtpi * rtx);
          n = 0;
          c = -0.5;
        }
        while (n != i) {
          n += 1;
          c += 1.0;
          t = x * t / c;
          sum += t;
        }
        *qans = sum;
        *ans = 0.5 + (0.5 - *qans);
        return;
      }
    }
    const double t1 = a * std::log(x) - x;
    r = std::exp(t1) / Xgamm(a);
  } else {
    const double l = x / a;
    if (l == 0.0) {
      *ans = 0.0;
      *qans = 1.0;
      return;
    }
    const double s = 0.5 + (0.5 - l);
    double z = rlog(l);
    if (z >= 700.0 / a) {
      if (std::fabs(s) <= 2.0 * e) {
        *ans = 2.0;
        return;
      }
      SetLimit(a, x, ans, qans);
      return;
    }
    const double y = a * z;
    const double rta = std::sqrt(a);
    if (std::fabs(s) <= e0 / rta || std::fabs(s) <= 0.4) {
      // Temme's expansions: near x = a, and in general for |1 - x/a| <= 0.4.
      const bool bNearOne = std::fabs(s) <= e0 / rta;
      if (bNearOne ? (a * e * e > 3.28e-3)
                   : (std::fabs(s) <= 2.0 * e && a * e * e > 3.28e-3)) {
        *ans = 2.0;
        return;
      }
      double c;
      double w;
      if (bNearOne) {
        c = 0.5 + (0.5 - y);
        w = (0.5 - std::sqrt(y) * (0.5 + (0.5 - y / 3.0)) / kRtpi) / c;
      } else {
        c = std::exp(-y);
        w = 0.5 * erfc1(1, std::sqrt(y));
      }
      const double u = 1.0 / a;
      z = std::sqrt(z + z);
      if (l < 1.0) z = -z;
      double t;
      if (iop == 1) {
        t = (bNearOne || std::fabs(s) <= 1.e-3) ? TemmeNearOne(z, u)
                                                : TemmeFull(z, u);
      } else if (iop == 2) {
        if (bNearOne) {
          const double c0 = (d0[1] * z + d0[0]) * z - kThird;
          const double c1 = d1[0] * z + d10;
          t = (d20 * u + c1) * u + c0;
        } else {
          const double c0 = km_stats::Horner(d0, 6, z) * z - kThird;
          const double c1 = km_stats::Horner(d1, 4, z) * z + d10;
          const double c2 = d2[0] * z + d20;
          t = (c2 * u + c1) * u + c0;
        }
      } else {
        t = bNearOne ? d0[0] * z - kThird
                     : ((d0[2] * z + d0[1]) * z + d0[0]) * z - kThird;
      }
      if (l >= 1.0) {
        *qans = c * (w + kRt2pin * t / rta);
        *ans = 0.5 + (0.5 - *qans);
      } else {
        *ans = c * (w - kRt2pin * t / rta);
        *qans = 0.5 + (0.5 - *ans);
      }
      return;
    }
    const double t = (1.0 / a) * (1.0 / a);
    double t1 = (((0.75 * t - 1.0) * t + 3.5) * t - 105.0) / (a * 1260.0);
    t1 -= y;
    r = kRt2pin * rta * std::exp(t1);
  }

  if (!bContinuedFraction) {
    if (r == 0.0) {
      SetLimit(a, x, ans, qans);
      return;
    }
    if (x <= km_stats::Max1(a, alog10)) {
      // Taylor series for P / r; the first terms are kept and added last,
      // smallest first.
      double wk[20];
      double apn = a + 1.0;
      double t = x / apn;
      wk[0] = t;
      int n = 2;
      for (; n <= 20; ++n) {
        apn += 1.0;
        t *= (x / apn);
        if (t <= 1.e-3) break;
        wk[n - 1] = t;
      }
      if (n > 20) n = 20;
      double sum = t;
      const double tol = 0.5 * acc;
      do {
        apn += 1.0;
        t *= (x / apn);
        sum += t;
      } while (t > tol);
      for (int m = 1; m <= n - 1; ++m) sum += wk[n - m - 1];
      *ans = r / a * (1.0 + sum);
      *qans = 0.5 + (0.5 - *ans);
      return;
    }
    if (x >= x0) {
      // Asymptotic expansion for Q / r.
      double wk[20];
      double amn = a - 1.0;
      double t = amn / x;
      wk[0] = t;
      int n = 2;
      for (; n <= 20; ++n) {
        amn -= 1.0;
        t *= (amn / x);
        if (std::fabs(t) <= 1.e-3) break;
        wk[n - 1] = t;
      }
      if (n > 20) n = 20;
      double sum = t;
      // Written so that a NaN ends the loop instead of running it forever.
      while (std::fabs(t) > acc) {
        amn -= 1.0;
        t *= (amn / x);
        sum += t;
      }
      for (int m = 1; m <= n - 1; ++m) sum += wk[n - m - 1];
      *qans = r / x * (1.0 + sum);
      *ans = 0.5 + (0.5 - *qans);
      return;
    }
  }
  // Continued fraction for Q / r.
  const double tol = km_stats::Max1(5.0 * e, acc);
  double a2nm1 = 1.0;
  double a2n = 1.0;
  double b2nm1 = x;
  double b2n = x + (1.0 - a);
  double c = 1.0;
  double am0;
  double an0;
  do {
    a2nm1 = x * a2n + c * a2nm1;
    b2nm1 = x * b2n + c * b2nm1;
    am0 = a2nm1 / b2nm1;
    c += 1.0;
    const double cma = c - a;
    a2n = a2nm1 + cma * a2n;
    b2n = b2nm1 + cma * b2n;
    an0 = a2n / b2n;
  } while (std::fabs(an0 - am0) >= tol * an0);
  *qans = r * an0;
  *ans = 0.5 + (0.5 - *qans);
}

void StatClass::gratHalf(double x, double* p, double* q) {
  if (x < 0.25) {
    *p = erf1(std::sqrt(x));
    *q = 0.5 + (0.5 - *p);
  } else {
    *q = erfc1(0, std::sqrt(x));
    *p = 0.5 + (0.5 - *q);
  }
}

void StatClass::gratSmallX(double a, double x, double tol, double* p,
                           double* q) {
  double an = 3.0;
  double c = x;
  double sum = x / (a + 3.0);
  double t;
  do {
    an += 1.0;
    c = -(c * (x / an));
    t = c / (a + an);
    sum += t;
  } while (std::fabs(t) > tol);
  const double j =
      a * x * ((sum / 6.0 - 0.5 / (a + 2.0)) * x + 1.0 / (a + 1.0));
  const double z = a * std::log(x);
  const double h = gam1(a);
  const double g = 1.0 + h;
  const bool bFromQ = (x < 0.25) ? (z > -.13394) : (a < x / 2.59);
  if (bFromQ) {
    const double l = rexp(z);
    const double w = 0.5 + (0.5 + l);
    *q = (w * j - l) * g - h;
    if (*q < 0.0) {
      *p = 1.0;
      *q = 0.0;
      return;
    }
    *p = 0.5 + (0.5 - *q);
  } else {
    const double w = std::exp(z);
    *p = w * g * (0.5 + (0.5 - j));
    *q = 0.5 + (0.5 - *p);
  }
}

void StatClass::grat1(double a, double x, double r, double* p, double* q,
                      double eps) {
  // P(a, x) and Q(a, x) for a <= 1, given r = exp(-x) x^a / Γ(a).
  if (a * x == 0.0) {
    SetLimit(a, x, p, q);
    return;
  }
  if (a == 0.5) {
    gratHalf(x, p, q);
    return;
  }
  if (x < 1.1) {
    gratSmallX(a, x, 0.1 * eps / (a + 1.0), p, q);
    return;
  }
  // Continued fraction.
  double a2nm1 = 1.0;
  double a2n = 1.0;
  double b2nm1 = x;
  double b2n = x + (1.0 - a);
  double c = 1.0;
  double am0;
  double an0;
  do {
    a2nm1 = x * a2n + c * a2nm1;
    b2nm1 = x * b2n + c * b2nm1;
    am0 = a2nm1 / b2nm1;
    c += 1.0;
    const double cma = c - a;
    a2n = a2nm1 + cma * a2n;
    b2n = b2nm1 + cma * b2n;
    an0 = a2n / b2n;
  } while (std::fabs(an0 - am0) >= eps * an0);
  *q = r * an0;
  *p = 0.5 + (0.5 - *q);
}
