// StatClass gamma-function kernels: alngam, gam1, gamln, gamln1, gsumln,
// algdiv, bcorr, betaln, Xgamm, psi. Throughout, del(x) is the Stirling
// remainder ln Γ(x) - ((x - 0.5) ln x - x + 0.5 ln 2π).
#include <cmath>

#include "stats/StatClass.h"
#include "stats/internal/StatConstants.h"

namespace {

// Stirling series coefficients of del(x) in powers of 1/x^2, shared by algdiv,
// bcorr and gamln.
constexpr double kC0 = .833333333333333e-01;
constexpr double kC1 = -.277777777760991e-02;
constexpr double kC2 = .793650666825390e-03;
constexpr double kC3 = -.595202931351870e-03;
constexpr double kC4 = .837308034031215e-03;
constexpr double kC5 = -.165322962780713e-02;
constexpr double kStirling[6] = {kC0, kC1, kC2, kC3, kC4, kC5};

// del(b) - del(a + b) for b >= 8, given c = a/(a + b) and x = b/(a + b) as
// the callers form them; sn below is (1 - x^n)/(1 - x).
double StirlingDifference(double b, double c, double x) {
  const double x2 = x * x;
  const double s3 = 1.0 + (x + x2);
  const double s5 = 1.0 + (x + x2 * s3);
  const double s7 = 1.0 + (x + x2 * s5);
  const double s9 = 1.0 + (x + x2 * s7);
  const double s11 = 1.0 + (x + x2 * s9);
  const double t = (1.0 / b) * (1.0 / b);
  double w = kC5 * s11 * t + kC4 * s9;
  w = w * t + kC3 * s7;
  w = w * t + kC2 * s5;
  w = w * t + kC1 * s3;
  w = w * t + kC0;
  w *= (c / b);
  return w;
}

}  // namespace

double StatClass::alngam(const double* px) {
  constexpr double hln2pi = 0.91893853320467274178e0;  // 0.5 ln 2π
  static constexpr double coef[5] = {
      0.83333333333333023564e-1, -0.27777777768818808e-2, 0.79365006754279e-3,
      -0.594997310889e-3, 0.8065880899e-3};
  static constexpr double scoefd[4] = {
      0.62003838007126989331e2, 0.9822521104713994894e1,
      -0.8906016659497461257e1, 0.1000000000000000000e1};
  static constexpr double scoefn[9] = {
      0.62003838007127258804e2, 0.36036772530024836321e2,
      0.20782472531792126786e2, 0.6338067999387272343e1,
      0.215994312846059073e1,   0.3980671310203570498e0,
      0.1093115956710439502e0,  0.92381945590275995e-2,
      0.29737866448101651e-2};
  const double x = *px;
  if (x <= 6.0) {
    // Move the argument into [2, 3] by recurrence, keeping the product.
    double prod = 1.0;
    double xx = x;
    while (xx > 3.0) {
      xx -= 1.0;
      prod *= xx;
    }
    while (xx < 2.0) {
      prod /= xx;
      xx += 1.0;
    }
    const double gamma =
        devlpl(scoefn, 9, xx - 2.0) / devlpl(scoefd, 4, xx - 2.0) * prod;
    return std::log(gamma);
  }
  // Raise the argument to at least 12, carrying the product in the offset.
  double offset = hln2pi;
  const int n = x < 12.0 ? static_cast<int>(12.0 - x) : 0;
  double xx = x;
  if (n > 0) {
    double prod = 1.0;
    for (int i = 1; i <= n; ++i) prod *= (x + static_cast<double>(i - 1));
    offset -= std::log(prod);
    xx = x + static_cast<double>(n);
  }
  const double t = 1.0 / (xx * xx);
  double result = devlpl(coef, 5, t) / xx;
  result += (offset + (xx - 0.5) * std::log(xx) - xx);
  return result;
}

double StatClass::gam1(double a) {
  constexpr double s1 = .273076135303957e+00;
  constexpr double s2 = .559398236957378e-01;
  static constexpr double p[7] = {.577215664901533e+00,  -.409078193005776e+00,
                                  -.230975380857675e+00, .597275330452234e-01,
                                  .766968181649490e-02,  -.514889771323592e-02,
                                  .589597428611429e-03};
  static constexpr double q[5] = {.100000000000000e+01, .427569613095214e+00,
                                  .158451672430138e+00, .261132021441447e-01,
                                  .423244297896961e-02};
  static constexpr double r[9] = {
      -.422784335098468e+00, -.771330383816272e+00, -.244757765222226e+00,
      .118378989872749e+00,  .930357293360349e-03,  -.118290993445146e-01,
      .223047661158249e-02,  .266505979058923e-03,  -.132674909766242e-03};
  double t = a;
  const double d = a - 0.5;
  if (d > 0.0) t = d - 0.5;
  if (t < 0.0) {
    const double top = km_stats::Horner(r, 9, t);
    const double bot = (s2 * t + s1) * t + 1.0;
    const double w = top / bot;
    if (d > 0.0) return t * w / a;
    return a * (w + 0.5 + 0.5);
  }
  if (t == 0.0) return 0.0;
  const double top = km_stats::Horner(p, 7, t);
  // q[0] is 1.
  const double bot = km_stats::Horner(q, 5, t);
  const double w = top / bot;
  if (d > 0.0) return t / a * (w - 0.5 - 0.5);
  return a * w;
}

double StatClass::gamln1(double a) {
  constexpr double p0 = .577215664901533e+00, p1 = .844203922187225e+00,
                   p2 = -.168860593646662e+00, p3 = -.780427615533591e+00,
                   p4 = -.402055799310489e+00, p5 = -.673562214325671e-01,
                   p6 = -.271935708322958e-02;
  constexpr double q1 = .288743195473681e+01, q2 = .312755088914843e+01,
                   q3 = .156875193295039e+01, q4 = .361951990101499e+00,
                   q5 = .325038868253937e-01, q6 = .667465618796164e-03;
  constexpr double r0 = .422784335098467e+00, r1 = .848044614534529e+00,
                   r2 = .565221050691933e+00, r3 = .156513060486551e+00,
                   r4 = .170502484022650e-01, r5 = .497958207639485e-03;
  constexpr double s1 = .124313399877507e+01, s2 = .548042109832463e+00,
                   s3 = .101552187439830e+00, s4 = .713309612391000e-02,
                   s5 = .116165475989616e-03;
  if (a < 0.6) {
    const double w =
        ((((((p6 * a + p5) * a + p4) * a + p3) * a + p2) * a + p1) * a + p0) /
        ((((((q6 * a + q5) * a + q4) * a + q3) * a + q2) * a + q1) * a + 1.0);
    return -(a * w);
  }
  const double x = a - 0.5 - 0.5;
  const double w = (((((r5 * x + r4) * x + r3) * x + r2) * x + r1) * x + r0) /
                   (((((s5 * x + s4) * x + s3) * x + s2) * x + s1) * x + 1.0);
  return x * w;
}

double StatClass::gamln(double a) {
  constexpr double d = .418938533204673e0;  // 0.5 (ln 2π - 1)
  if (a <= 0.8) return gamln1(a) - std::log(a);
  if (a <= 2.25) return gamln1(a - 0.5 - 0.5);
  if (a < 10.0) {
    const int n = static_cast<int>(a - 1.25);
    double t = a;
    double w = 1.0;
    for (int i = 1; i <= n; ++i) {
      t -= 1.0;
      w = t * w;
    }
    return gamln1(t - 1.0) + std::log(w);
  }
  const double t = (1.0 / a) * (1.0 / a);
  const double w = km_stats::Horner(kStirling, 6, t) / a;
  return d + w + (a - 0.5) * (std::log(a) - 1.0);
}

double StatClass::gsumln(double a, double b) {
  const double x = a + b - 2.0;
  if (x <= 0.25) return gamln1(1.0 + x);
  if (x <= 1.25) return gamln1(x) + alnrel(x);
  return gamln1(x - 1.0) + std::log(x * (1.0 + x));
}

double StatClass::algdiv(double a, double b) {
  double c;
  double x;
  double d;
  if (a <= b) {
    const double h = a / b;
    c = h / (1.0 + h);
    x = 1.0 / (1.0 + h);
    d = b + (a - 0.5);
  } else {
    const double h = b / a;
    c = 1.0 / (1.0 + h);
    x = h / (1.0 + h);
    d = a + (b - 0.5);
  }
  // w = del(b) - del(a + b).
  const double w = StirlingDifference(b, c, x);
  const double u = d * alnrel(a / b);
  const double v = a * (std::log(b) - 1.0);
  if (u > v) return w - v - u;
  return w - u - v;
}

double StatClass::bcorr(double a0, double b0) {
  const double a = km_stats::Min1(a0, b0);
  const double b = km_stats::Max1(a0, b0);
  const double h = a / b;
  const double c = h / (1.0 + h);
  const double x = 1.0 / (1.0 + h);
  const double w = StirlingDifference(b, c, x);
  const double t = (1.0 / a) * (1.0 / a);
  return km_stats::Horner(kStirling, 6, t) / a + w;
}

double StatClass::betaln(double a0, double b0) {
  constexpr double e = .918938533204673e0;  // 0.5 ln 2π
  double a = km_stats::Min1(a0, b0);
  double b = km_stats::Max1(a0, b0);
  if (a >= 8.0) {
    const double w = bcorr(a, b);
    const double h = a / b;
    const double c = h / (1.0 + h);
    const double u = -((a - 0.5) * std::log(c));
    const double v = b * alnrel(h);
    if (u > v) return -(0.5 * std::log(b)) + e + w - v - u;
    return -(0.5 * std::log(b)) + e + w - u - v;
  }
  if (a < 1.0) {
    if (b < 8.0) return gamln(a) + (gamln(b) - gamln(a + b));
    return gamln(a) + algdiv(a, b);
  }
  // 1 <= a < 8.
  double w;
  if (a <= 2.0) {
    if (b <= 2.0) return gamln(a) + gamln(b) - gsumln(a, b);
    if (b >= 8.0) return gamln(a) + algdiv(a, b);
    w = 0.0;
  } else if (b > 1000.0) {
    // Reduction of a when b > 1000.
    const int n = static_cast<int>(a - 1.0);
    w = 1.0;
    for (int i = 1; i <= n; ++i) {
      a -= 1.0;
      w *= (a / (1.0 + a / b));
    }
    return std::log(w) - static_cast<double>(n) * std::log(b) +
           (gamln(a) + algdiv(a, b));
  } else {
    // Reduction of a when b <= 1000.
    const int n = static_cast<int>(a - 1.0);
    w = 1.0;
    for (int i = 1; i <= n; ++i) {
      a -= 1.0;
      const double h = a / b;
      w *= (h / (1.0 + h));
    }
    w = std::log(w);
    if (b >= 8.0) return w + gamln(a) + algdiv(a, b);
  }
  // Reduction of b when b < 8.
  const int n = static_cast<int>(b - 1.0);
  double z = 1.0;
  for (int i = 1; i <= n; ++i) {
    b -= 1.0;
    z *= (b / (a + b));
  }
  return w + std::log(z) + (gamln(a) + (gamln(b) - gsumln(a, b)));
}

double StatClass::Xgamm(double a) {
  constexpr double d = .41893853320467274178e0;  // 0.5 (ln 2π - 1)
  constexpr double pi = 3.1415926535898e0;
  constexpr double r1 = .820756370353826e-03, r2 = -.595156336428591e-03,
                   r3 = .793650663183693e-03, r4 = -.277777777770481e-02,
                   r5 = .833333333333333e-01;
  static constexpr double p[7] = {.539637273585445e-03,
                                  .261939260042690e-02,
                                  .204493667594920e-01,
                                  .730981088720487e-01,
                                  .279648642639792e+00,
                                  .553413866010467e+00,
                                  1.0e0};
  static constexpr double q[7] = {-.832979206704073e-03,
                                  .470059485860584e-02,
                                  .225211131035340e-01,
                                  -.170458969313360e+00,
                                  -.567902761974940e-01,
                                  .113062953091122e+01,
                                  1.0e0};
  double x = a;
  if (std::fabs(a) < 15.0) {
    // Γ(1 + x) for 0 <= x < 1 after moving a there; t carries the product.
    double t = 1.0;
    int m = static_cast<int>(a) - 1;
    if (m >= 0) {
      for (int j = 1; j <= m; ++j) {
        x -= 1.0;
        t = x * t;
      }
      x -= 1.0;
    } else {
      t = a;
      if (a <= 0.0) {
        m = -m - 1;
        for (int j = 1; j <= m; ++j) {
          x += 1.0;
          t = x * t;
        }
        x += (0.5 + 0.5);
        t = x * t;
        if (t == 0.0) return 0.0;
      }
      // 1/t would overflow.
      if (std::fabs(t) < 1.e-30) {
        if (std::fabs(t) * km_stats::kLargest <= 1.0001) return 0.0;
        return 1.0 / t;
      }
    }
    double top = p[0];
    double bot = q[0];
    for (int i = 1; i < 7; ++i) {
      top = p[i] + x * top;
      bot = q[i] + x * bot;
    }
    const double g = top / bot;
    if (a < 1.0) return g / t;
    return g * t;
  }
  // |a| >= 15: Stirling's series, with reflection for negative a.
  if (std::fabs(a) >= 1.e3) return 0.0;
  double s = 0.0;
  if (a <= 0.0) {
    x = -a;
    const int n = static_cast<int>(x);
    double t = x - static_cast<double>(n);
    if (t > 0.9) t = 1.0 - t;
    s = std::sin(pi * t) / pi;
    if (n % 2 == 0) s = -s;
    if (s == 0.0) return 0.0;
  }
  const double t = 1.0 / (x * x);
  double g = ((((r1 * t + r2) * t + r3) * t + r4) * t + r5) / x;
  const double lnx = std::log(x);
  g = d + g + (x - 0.5) * (lnx - 1.e0);
  if (g > 0.99999e0 * exparg(0)) return 0.0;
  double result = std::exp(g);
  if (a < 0.0) result = 1.0 / (result * s) / x;
  return result;
}

double StatClass::psi(double xx) {
  constexpr double dx0 = 1.461632144968362341262659542325721325e0;
  constexpr double piov4 = .785398163397448e0;
  static constexpr double p1[7] = {.895385022981970e-02, .477762828042627e+01,
                                   .142441585084029e+03, .118645200713425e+04,
                                   .363351846806499e+04, .413810161269013e+04,
                                   .130560269827897e+04};
  static constexpr double p2[4] = {-.212940445131011e+01, -.701677227766759e+01,
                                   -.448616543918019e+01,
                                   -.648157123766197e+00};
  static constexpr double q1[6] = {.448452573429826e+02, .520752771467162e+03,
                                   .221000799247830e+04, .364127349079381e+04,
                                   .190831076596300e+04, .691091682714533e-05};
  static constexpr double q2[4] = {.322703493791143e+02, .892920700481861e+02,
                                   .546117738103215e+02, .777788548522962e+01};
  // Largest argument handled by the series; beyond it psi(x) = ln x.
  const double xmax1 =
      km_stats::Min1(km_stats::kLargestInt, 1.0 / km_stats::kEpsilon);
  constexpr double xsmall = 1.e-9;
  double x = xx;
  double aug = 0.0;
  if (x < 0.5) {
    // Reflection: psi(1 - x) = psi(x) + π cot(πx).
    if (std::fabs(x) <= xsmall) {
      if (x == 0.0) return 0.0;
      aug = -(1.0 / x);
    } else {
      double w = -x;
      double sgn = piov4;
      if (w <= 0.0) {
        w = -w;
        sgn = -sgn;
      }
      if (w >= xmax1) return 0.0;
      int nq = static_cast<int>(w);
      w -= static_cast<double>(nq);
      nq = static_cast<int>(w * 4.0);
      w = 4.0 * (w - static_cast<double>(nq) * .25e0);
      // w is now the fractional part of 4x; fold it into the first quadrant.
      int n = nq / 2;
      if (n + n != nq) w = 1.0 - w;
      const double z = piov4 * w;
      int m = n / 2;
      if (m + m != n) sgn = -sgn;
      n = (nq + 1) / 2;
      m = n / 2;
      m += m;
      if (m == n) {
        if (z == 0.0) return 0.0;  // a pole
        aug = sgn * (std::cos(z) / std::sin(z) * 4.0);
      } else {
        aug = sgn * (std::sin(z) / std::cos(z) * 4.0);
      }
    }
    x = 1.0 - x;
  }
  if (x <= 3.0) {
    double den = x;
    double upper = p1[0] * x;
    for (int i = 1; i <= 5; ++i) {
      den = (den + q1[i - 1]) * x;
      upper = (upper + p1[i]) * x;
    }
    den = (upper + p1[6]) / (den + q1[5]);
    return den * (x - dx0) + aug;
  }
  if (x < xmax1) {
    const double w = 1.0 / (x * x);
    double den = w;
    double upper = p2[0] * w;
    for (int i = 1; i <= 3; ++i) {
      den = (den + q2[i - 1]) * w;
      upper = (upper + p2[i]) * w;
    }
    aug = upper / (den + q2[3]) - 0.5 / x + aug;
  }
  return aug + std::log(x);
}
