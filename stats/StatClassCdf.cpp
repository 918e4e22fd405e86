// StatClass distribution routines and their cumulative functions: the
// constructor, cdfnor, cdft, cdff, cdfchi, cumt, cumf, cumchi, and the search
// driver they share (RunSearch).
#include <cmath>

#include "stats/StatClass.h"
#include "stats/internal/StatConstants.h"

namespace {

// Search set-up shared by every inverse: first step max(0.5, 0.5 |start|),
// each further step five times the last.
constexpr double kAbsStep = 0.5;
constexpr double kRelStep = 0.5;
constexpr double kStepMultiplier = 5.0;
// Upper end of the search for the t degrees of freedom.
constexpr double kMaxTDf = 1.0e10;

// Sets status and bound; always returns true so that checks read as
// `if (bad) return Fail(...)`.
bool Fail(int iStatus, double dBound, int* status, double* bound) {
  *status = iStatus;
  *bound = dBound;
  return true;
}

// Checks `which` against 1..iHighest.
bool WhichFails(int which, int iHighest, int* status, double* bound) {
  if (which < 1) return Fail(-1, 1.0, status, bound);
  if (which > iHighest) {
    return Fail(-1, static_cast<double>(iHighest), status, bound);
  }
  return false;
}

// p in (0, 1] (bZeroAllowed: [0, 1]) as argument 2, then q in (0, 1] as
// argument 3. The tests are written so that NaN fails them with bound 0.0.
bool ProbabilitiesFail(double p, double q, bool bZeroAllowed, int* status,
                       double* bound) {
  const bool bPLow = bZeroAllowed ? !(p >= 0.0) : !(p > 0.0);
  if (bPLow) return Fail(-2, 0.0, status, bound);
  if (p > 1.0) return Fail(-2, 1.0, status, bound);
  if (!(q > 0.0)) return Fail(-3, 0.0, status, bound);
  if (q > 1.0) return Fail(-3, 1.0, status, bound);
  return false;
}

// |p + q - 1| > 3 epsilon gives status 3.
bool SumFails(double p, double q, int* status, double* bound) {
  const double pq = p + q;
  if (std::fabs(pq - 0.5 - 0.5) > km_stats::kPqTolerance) {
    return Fail(3, pq < 0.0 ? 0.0 : 1.0, status, bound);
  }
  return false;
}

}  // namespace

StatClass::StatClass()
    : tol(1.0e-8), atol(1.0e-50), zero(1.0e-300), inf(1.0e300) {}

void StatClass::cdfnor(int* which, double* p, double* q, double* x,
                       double* mean, double* sd, int* status, double* bound) {
  *status = 0;
  *bound = 0.0;
  if (WhichFails(*which, 4, status, bound)) return;
  if (*which != 1) {
    if (ProbabilitiesFail(*p, *q, false, status, bound)) return;
    if (SumFails(*p, *q, status, bound)) return;
  }
  if (*which != 2 && std::isnan(*x)) {
    Fail(-4, 0.0, status, bound);
    return;
  }
  if (*which != 3 && std::isnan(*mean)) {
    Fail(-5, 0.0, status, bound);
    return;
  }
  if (*which != 4 && !(*sd > 0.0)) {
    Fail(-6, 0.0, status, bound);
    return;
  }
  if (*which == 1) {
    const double z = (*x - *mean) / *sd;
    cumnor(&z, p, q);
  } else {
    const double z = dinvnr(p, q);
    if (*which == 2) {
      *x = *sd * z + *mean;
    } else if (*which == 3) {
      *mean = *x - *sd * z;
    } else {
      *sd = (*x - *mean) / z;
    }
  }
}

void StatClass::cdft(int* which, double* p, double* q, double* t, double* df,
                     int* status, double* bound) {
  *status = 0;
  *bound = 0.0;
  if (WhichFails(*which, 3, status, bound)) return;
  if (*which != 1) {
    if (ProbabilitiesFail(*p, *q, false, status, bound)) return;
    if (SumFails(*p, *q, status, bound)) return;
  }
  if (*which != 2 && std::isnan(*t)) {
    Fail(-4, 0.0, status, bound);
    return;
  }
  if (*which != 3 && !(*df > 0.0)) {
    Fail(-5, 0.0, status, bound);
    return;
  }
  if (*which == 1) {
    cumt(t, df, p, q);
  } else if (*which == 2) {
    const double dStart = dt1(p, q, df);
    RunSearch([&](double* cum, double* ccum) { cumt(t, df, cum, ccum); }, p, q,
              t, dStart, -inf, inf, false, status, bound);
  } else {
    RunSearch([&](double* cum, double* ccum) { cumt(t, df, cum, ccum); }, p, q,
              df, 5.0, zero, kMaxTDf, false, status, bound);
  }
}

void StatClass::cdff(int* which, double* p, double* q, double* f, double* dfn,
                     double* dfd, int* status, double* bound) {
  *status = 0;
  *bound = 0.0;
  if (WhichFails(*which, 4, status, bound)) return;
  if (*which != 1 && ProbabilitiesFail(*p, *q, true, status, bound)) return;
  if (*which != 2 && !(*f >= 0.0)) {
    Fail(-4, 0.0, status, bound);
    return;
  }
  if (*which != 3 && !(*dfn > 0.0)) {
    Fail(-5, 0.0, status, bound);
    return;
  }
  if (*which != 4 && !(*dfd > 0.0)) {
    Fail(-6, 0.0, status, bound);
    return;
  }
  if (*which != 1 && SumFails(*p, *q, status, bound)) return;
  auto cum = [&](double* pCum, double* pCcum) {
    cumf(f, dfn, dfd, pCum, pCcum);
  };
  switch (*which) {
    case 1:
      cumf(f, dfn, dfd, p, q);
      break;
    case 2:
      RunSearch(cum, p, q, f, 5.0, 0.0, inf, false, status, bound);
      break;
    case 3:
      // Degrees of freedom are searched from 1 upwards.
      RunSearch(cum, p, q, dfn, 5.0, 1.0, inf, false, status, bound);
      break;
    default:
      RunSearch(cum, p, q, dfd, 5.0, 1.0, inf, false, status, bound);
      break;
  }
}

void StatClass::cdfchi(int* which, double* p, double* q, double* x, double* df,
                       int* status, double* bound) {
  *status = 0;
  *bound = 0.0;
  if (WhichFails(*which, 3, status, bound)) return;
  if (*which != 1 && ProbabilitiesFail(*p, *q, true, status, bound)) return;
  if (*which != 2 && !(*x >= 0.0)) {
    Fail(-4, 0.0, status, bound);
    return;
  }
  if (*which != 3 && !(*df > 0.0)) {
    Fail(-5, 0.0, status, bound);
    return;
  }
  if (*which != 1 && SumFails(*p, *q, status, bound)) return;
  auto cum = [&](double* pCum, double* pCcum) { cumchi(x, df, pCum, pCcum); };
  if (*which == 1) {
    cumchi(x, df, p, q);
  } else if (*which == 2) {
    RunSearch(cum, p, q, x, 5.0, 0.0, inf, true, status, bound);
  } else {
    RunSearch(cum, p, q, df, 5.0, zero, inf, true, status, bound);
  }
}

template <typename CumFn>
void StatClass::RunSearch(CumFn cumFn, const double* p, const double* q,
                          double* pSought, double dStart, double dSmall,
                          double dBig, bool bGammaCheck, int* status,
                          double* bound) {
  // Search on the smaller tail: it carries the digits.
  const bool qporq = *p <= *q;
  const double porq = qporq ? *p : *q;
  double small = dSmall;
  double big = dBig;
  double absstp = kAbsStep;
  double relstp = kRelStep;
  double stpmul = kStepMultiplier;
  double abstol = atol;
  double reltol = tol;
  *pSought = dStart;
  dstinv(&small, &big, &absstp, &relstp, &stpmul, &abstol, &reltol);
  double fx = 0.0;
  uint32_t qleft = 0;
  uint32_t qhi = 0;
  *status = 0;
  dinvr(status, pSought, &fx, &qleft, &qhi);
  while (*status == 1) {
    double cum;
    double ccum;
    cumFn(&cum, &ccum);
    fx = qporq ? cum - *p : ccum - *q;
    // The incomplete gamma ratio reports failure as cum = 2.
    if (bGammaCheck && fx + porq > 1.5) {
      *status = 10;
      return;
    }
    dinvr(status, pSought, &fx, &qleft, &qhi);
  }
  if (*status == -1) {
    if (qleft) {
      *status = 1;
      *bound = dSmall;
    } else {
      *status = 2;
      *bound = dBig;
    }
  }
}

void StatClass::cumt(const double* t, const double* df, double* cum,
                     double* ccum) {
  // Abramowitz and Stegun 26.5.27: P(|T| > |t|) = I_x(df/2, 1/2) with
  // x = df/(df + t^2).
  const double tt = *t * *t;
  const double xx = *df / (*df + tt);
  const double yy = tt / (*df + tt);
  double a;
  double oma;
  if (xx <= 0.0) {
    a = 0.0;
    oma = 1.0;
  } else if (yy <= 0.0) {
    a = 1.0;
    oma = 0.0;
  } else {
    const double halfDf = 0.5 * *df;
    const double half = 0.5;
    int ierr;
    bratio(&halfDf, &half, &xx, &yy, &a, &oma, &ierr);
  }
  if (*t <= 0.0) {
    *cum = 0.5 * a;
    *ccum = oma + *cum;
  } else {
    *ccum = 0.5 * a;
    *cum = oma + *ccum;
  }
}

void StatClass::cumf(const double* f, const double* dfn, const double* dfd,
                     double* cum, double* ccum) {
  // Abramowitz and Stegun 26.5.28: P(F > f) = I_x(dfd/2, dfn/2) with
  // x = dfd/(dfd + dfn f); the smaller of x and 1 - x is formed directly.
  if (*f <= 0.0) {
    *cum = 0.0;
    *ccum = 1.0;
    return;
  }
  const double prod = *dfn * *f;
  const double dsum = *dfd + prod;
  double xx = *dfd / dsum;
  double yy;
  if (xx > 0.5) {
    yy = prod / dsum;
    xx = 1.0 - yy;
  } else {
    yy = 1.0 - xx;
  }
  const double halfDfd = *dfd * 0.5;
  const double halfDfn = *dfn * 0.5;
  int ierr;
  bratio(&halfDfd, &halfDfn, &xx, &yy, ccum, cum, &ierr);
}

void StatClass::cumchi(const double* x, const double* df, double* cum,
                       double* ccum) {
  // Abramowitz and Stegun 26.4.19: P(X <= x) = P(df/2, x/2).
  const double a = *df * 0.5;
  const double xx = *x * 0.5;
  if (xx <= 0.0) {
    *cum = 0.0;
    *ccum = 1.0;
    return;
  }
  *cum = 0.0;
  *ccum = 0.0;
  const int ind = 0;
  gratio(&a, &xx, cum, ccum, &ind);
}
