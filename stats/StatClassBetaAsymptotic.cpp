// StatClass asymptotic expansions of the incomplete beta ratio: bgrat (a much
// larger than b) and basym (a and b both large), from ACM TOMS 708.
#include <cmath>

#include "stats/StatClass.h"

void StatClass::bgrat(double a, double b, double x, double y, double* w,
                      double eps, int* ierr) {
  // Adds the expansion of I_x(a, b) to *w. Assumes a >= 15 and b <= 1.
  // *ierr = 1 when the expansion cannot be computed (*w is then unchanged).
  double c[30];
  double d[30];
  const double bm1 = b - 0.5 - 0.5;
  const double nu = a + 0.5 * bm1;
  const double lnx = (y > 0.375) ? std::log(x) : alnrel(-y);
  const double z = -(nu * lnx);
  if (b * z == 0.0) {
    *ierr = 1;
    return;
  }
  // r = exp(-z) z^b / Γ(b).
  double r = b * (1.0 + gam1(b)) * std::exp(b * std::log(z));
  r *= (std::exp(a * lnx) * std::exp(0.5 * bm1 * lnx));
  double u = algdiv(b, a) + b * std::log(nu);
  u = r * std::exp(-u);
  if (u == 0.0) {
    *ierr = 1;
    return;
  }
  double p;
  double q;
  grat1(b, z, r, &p, &q, eps);
  const double v = 0.25 * (1.0 / nu) * (1.0 / nu);
  const double t2 = 0.25 * lnx * lnx;
  const double l = *w / u;
  double j = q / r;
  double sum = j;
  double t = 1.0;
  double cn = 1.0;
  double n2 = 0.0;
  for (int n = 1; n <= 30; ++n) {
    const double bp2n = b + n2;
    j = (bp2n * (bp2n + 1.0) * j + (z + bp2n + 1.0) * t) * v;
    n2 += 2.0;
    t *= t2;
    cn /= (n2 * (n2 + 1.0));
    c[n - 1] = cn;
    double s = 0.0;
    if (n != 1) {
      double coef = b - static_cast<double>(n);
      for (int i = 1; i <= n - 1; ++i) {
        s += (coef * c[i - 1] * d[n - i - 1]);
        coef += b;
      }
    }
    d[n - 1] = bm1 * cn + s / static_cast<double>(n);
    const double dj = d[n - 1] * j;
    sum += dj;
    if (sum <= 0.0) {
      *ierr = 1;
      return;
    }
    if (std::fabs(dj) <= eps * (sum + l)) break;
  }
  *ierr = 0;
  *w += (u * sum);
}

double StatClass::basym(double a, double b, double lambda, double eps) {
  // I_x(a, b) for a, b >= 15 with lambda = (a + b) y - b >= 0.
  constexpr double e0 = 1.12837916709551e0;  // 2/sqrt(π)
  constexpr double e1 = .353553390593274e0;  // 2^(-3/2)
  constexpr int kNum = 20;  // the largest n of the expansion; must be even
  double a0[kNum + 1];
  double b0[kNum + 1];
  double c[kNum + 1];
  double d[kNum + 1];
  double h;
  double r0;
  double r1;
  double w0;
  if (a < b) {
    h = a / b;
    r0 = 1.0 / (1.0 + h);
    r1 = (b - a) / b;
    w0 = 1.0 / std::sqrt(a * (1.0 + h));
  } else {
    h = b / a;
    r0 = 1.0 / (1.0 + h);
    r1 = (b - a) / a;
    w0 = 1.0 / std::sqrt(b * (1.0 + h));
  }
  const double f = a * rlog1(-(lambda / a)) + b * rlog1(lambda / b);
  const double t = std::exp(-f);
  if (t == 0.0) return 0.0;
  const double z0 = std::sqrt(f);
  const double z = 0.5 * (z0 / e1);
  const double z2 = f + f;
  a0[0] = 2.0 / 3.0 * r1;
  c[0] = -(0.5 * a0[0]);
  d[0] = -c[0];
  double j0 = 0.5 / e0 * erfc1(1, z0);
  double j1 = e1;
  double sum = j0 + d[0] * w0 * j1;
  double s = 1.0;
  const double h2 = h * h;
  double hn = 1.0;
  double w = w0;
  double znm1 = z;
  double zn = z2;
  for (int n = 2; n <= kNum; n += 2) {
    hn = h2 * hn;
    a0[n - 1] = 2.0 * r0 * (1.0 + h * hn) / (static_cast<double>(n) + 2.0);
    const int np1 = n + 1;
    s += hn;
    a0[np1 - 1] = 2.0 * r1 * s / (static_cast<double>(n) + 3.0);
    for (int i = n; i <= np1; ++i) {
      const double r = -(0.5 * (static_cast<double>(i) + 1.0));
      b0[0] = r * a0[0];
      for (int m = 2; m <= i; ++m) {
        double bsum = 0.0;
        for (int jj = 1; jj <= m - 1; ++jj) {
          const int mmj = m - jj;
          bsum += ((static_cast<double>(jj) * r - static_cast<double>(mmj)) *
                   a0[jj - 1] * b0[mmj - 1]);
        }
        b0[m - 1] = r * a0[m - 1] + bsum / static_cast<double>(m);
      }
      c[i - 1] = b0[i - 1] / (static_cast<double>(i) + 1.0);
      double dsum = 0.0;
      for (int jj = 1; jj <= i - 1; ++jj) {
        const int imj = i - jj;
        dsum += (d[imj - 1] * c[jj - 1]);
      }
      d[i - 1] = -(dsum + c[i - 1]);
    }
    j0 = e1 * znm1 + (static_cast<double>(n) - 1.0) * j0;
    j1 = e1 * zn + static_cast<double>(n) * j1;
    znm1 = z2 * znm1;
    zn = z2 * zn;
    w = w0 * w;
    const double t0 = d[n - 1] * w * j0;
    w = w0 * w;
    const double t1 = d[np1 - 1] * w * j1;
    sum += (t0 + t1);
    if (std::fabs(t0) + std::fabs(t1) <= eps * sum) break;
  }
  const double u = std::exp(-bcorr(a, b));
  return e0 * t * u * sum;
}
