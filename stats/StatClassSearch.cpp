// StatClass reverse-communication search: E0000 (step search dinvr / dstinv),
// E0001 (Bus and Dekker's zero finder dzror / dstzr) and their wrappers.
// Each step that needs F(x) stores where it resumes, sets *status = 1 and
// returns; the caller evaluates F(x) - target into *fx and calls again.
#include <cmath>

#include "stats/StatClass.h"
#include "stats/internal/StatConstants.h"

using km_stats::Max1;
using km_stats::Min1;

void StatClass::dstinv(double* zsmall, double* zbig, double* zabsst,
                       double* zrelst, double* zstpmu, double* zabsto,
                       double* zrelto) {
  E0000(1, nullptr, nullptr, nullptr, nullptr, nullptr, zabsst, zabsto, zbig,
        zrelst, zrelto, zsmall, zstpmu);
}

void StatClass::dinvr(int* status, double* x, double* fx, uint32_t* qleft,
                      uint32_t* qhi) {
  E0000(0, status, x, fx, qleft, qhi, nullptr, nullptr, nullptr, nullptr,
        nullptr, nullptr, nullptr);
}

void StatClass::dstzr(double* zxlo, double* zxhi, double* zabstl,
                      double* zreltl) {
  E0001(1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
        zabstl, zreltl, zxhi, zxlo);
}

void StatClass::dzror(int* status, double* x, double* fx, double* xlo,
                      double* xhi, uint32_t* qleft, uint32_t* qhi) {
  E0001(0, status, x, fx, xlo, xhi, qleft, qhi, nullptr, nullptr, nullptr,
        nullptr);
}

void StatClass::RequestValue(int32_t iResume, int* status) {
  m_E0000.i99999 = iResume;
  *status = 1;
}

void StatClass::E0000(int IENTRY, int* status, double* x, double* fx,
                      uint32_t* qleft, uint32_t* qhi, double* zabsst,
                      double* zabsto, double* zbig, double* zrelst,
                      double* zrelto, double* zsmall, double* zstpmu) {
  StepSearchState& s = m_E0000;
  if (IENTRY == 1) {
    s.small = *zsmall;
    s.big = *zbig;
    s.absstp = *zabsst;
    s.relstp = *zrelst;
    s.stpmul = *zstpmu;
    s.abstol = *zabsto;
    s.reltol = *zrelto;
    return;
  }
  if (*status <= 0) {
    // Start: see whether small and big bound the zero, and which way F runs.
    s.xsave = *x;
    *x = s.small;
    RequestValue(1, status);
    return;
  }
  switch (s.i99999) {
    case 1:
      s.fsmall = *fx;
      *x = s.big;
      RequestValue(2, status);
      return;
    case 2:
      s.fbig = *fx;
      s.qincr = s.fbig > s.fsmall;
      if (s.qincr) {
        if (s.fsmall > 0.0) {
          *status = -1;
          *qleft = 1;
          *qhi = 1;
          return;
        }
        if (s.fbig < 0.0) {
          *status = -1;
          *qleft = 0;
          *qhi = 0;
          return;
        }
      } else {
        if (s.fsmall < 0.0) {
          *status = -1;
          *qleft = 1;
          *qhi = 0;
          return;
        }
        if (s.fbig > 0.0) {
          *status = -1;
          *qleft = 0;
          *qhi = 1;
          return;
        }
      }
      *x = s.xsave;
      s.step = Max1(s.absstp, s.relstp * std::fabs(*x));
      RequestValue(3, status);
      return;
    case 3:
      s.yy = *fx;
      if (s.yy == 0.0) {
        *status = 0;
        return;
      }
      s.qup = (s.qincr && s.yy < 0.0) || (!s.qincr && s.yy > 0.0);
      if (s.qup) {
        // Step higher.
        s.xlb = s.xsave;
        s.xub = Min1(s.xlb + s.step, s.big);
        *x = s.xub;
        RequestValue(4, status);
      } else {
        // Step lower.
        s.xub = s.xsave;
        s.xlb = Max1(s.xub - s.step, s.small);
        *x = s.xlb;
        RequestValue(5, status);
      }
      return;
    case 4:
      s.yy = *fx;
      s.qbdd = (s.qincr && s.yy >= 0.0) || (!s.qincr && s.yy <= 0.0);
      s.qlim = s.xub >= s.big;
      s.qcond = s.qbdd || s.qlim;
      if (!s.qcond) {
        s.step = s.stpmul * s.step;
        s.xlb = s.xub;
        s.xub = Min1(s.xlb + s.step, s.big);
        *x = s.xub;
        RequestValue(4, status);
        return;
      }
      if (s.qlim && !s.qbdd) {
        *status = -1;
        *qleft = 0;
        *qhi = !s.qincr;
        *x = s.big;
        return;
      }
      StartZeroFinder(status, x, fx);
      return;
    case 5:
      s.yy = *fx;
      s.qbdd = (s.qincr && s.yy <= 0.0) || (!s.qincr && s.yy >= 0.0);
      s.qlim = s.xlb <= s.small;
      s.qcond = s.qbdd || s.qlim;
      if (!s.qcond) {
        s.step = s.stpmul * s.step;
        s.xub = s.xlb;
        s.xlb = Max1(s.xub - s.step, s.small);
        *x = s.xlb;
        RequestValue(5, status);
        return;
      }
      if (s.qlim && !s.qbdd) {
        *status = -1;
        *qleft = 1;
        *qhi = s.qincr;
        *x = s.small;
        return;
      }
      StartZeroFinder(status, x, fx);
      return;
    case 6:
      dzror(status, x, fx, &s.xlo, &s.xhi, &s.qdum1, &s.qdum2);
      if (*status == 1) {
        RequestValue(6, status);
        return;
      }
      *x = s.xlo;
      *status = 0;
      return;
    default:
      // Resumed without a search in progress: nothing to do.
      return;
  }
}

void StatClass::StartZeroFinder(int* status, double* x, double* fx) {
  // [xlb, xub] brackets the zero; the zero finder's own failure (no sign
  // change) is not passed on: the answer is then its last xlo.
  StepSearchState& s = m_E0000;
  dstzr(&s.xlb, &s.xub, &s.abstol, &s.reltol);
  *status = 0;
  dzror(status, x, fx, &s.xlo, &s.xhi, &s.qdum1, &s.qdum2);
  if (*status == 1) {
    RequestValue(6, status);
    return;
  }
  *x = s.xlo;
  *status = 0;
}

void StatClass::E0001(int IENTRY, int* status, double* x, double* fx,
                      double* xlo, double* xhi, uint32_t* qleft, uint32_t* qhi,
                      double* zabstl, double* zreltl, double* zxhi,
                      double* zxlo) {
  ZeroFinderState& z = m_E0001;
  if (IENTRY == 1) {
    z.xxlo = *zxlo;
    z.xxhi = *zxhi;
    z.abstol = *zabstl;
    z.reltol = *zreltl;
    return;
  }
  if (*status <= 0) {
    *xlo = z.xxlo;
    *xhi = z.xxhi;
    z.b = *xlo;
    *x = *xlo;
    z.i99999 = 1;
    *status = 1;
    return;
  }
  switch (z.i99999) {
    case 1:
      z.fb = *fx;
      *xlo = *xhi;
      z.a = *xlo;
      *x = *xlo;
      z.i99999 = 2;
      *status = 1;
      return;
    case 2:
      // F must change sign between the two ends.
      if (z.fb < 0.0 && *fx < 0.0) {
        *status = -1;
        *qleft = *fx < z.fb;
        *qhi = 0;
        return;
      }
      if (z.fb > 0.0 && *fx > 0.0) {
        *status = -1;
        *qleft = *fx > z.fb;
        *qhi = 1;
        return;
      }
      z.fa = *fx;
      z.first = 1;
      z.c = z.a;
      z.fc = z.fa;
      z.ext = 0;
      break;
    case 3:
      z.fb = *fx;
      if (z.fc * z.fb >= 0.0) {
        // The new point and the contrapoint agree in sign: the old point
        // becomes the contrapoint.
        z.c = z.a;
        z.fc = z.fa;
        z.ext = 0;
      } else if (z.w == z.mb) {
        z.ext = 0;
      } else {
        z.ext += 1;
      }
      break;
    default:
      // Resumed without a search in progress: nothing to do.
      return;
  }
  ZeroFinderIterate(status, x, xlo, xhi);
}

void StatClass::ZeroFinderIterate(int* status, double* x, double* xlo,
                                  double* xhi) {
  ZeroFinderState& z = m_E0001;
  // Keep b the best point: |F(b)| <= |F(c)|.
  if (std::fabs(z.fc) < std::fabs(z.fb)) {
    if (z.c != z.a) {
      z.d = z.a;
      z.fd = z.fa;
    }
    z.a = z.b;
    z.fa = z.fb;
    *xlo = z.c;
    z.b = *xlo;
    z.fb = z.fc;
    z.c = z.a;
    z.fc = z.fa;
  }
  z.tol = 0.5 * Max1(z.abstol, z.reltol * std::fabs(*xlo));
  z.m = (z.c + z.b) * .5;
  z.mb = z.m - z.b;
  if (!(std::fabs(z.mb) > z.tol)) {
    // Converged: [b, c] brackets the zero if F changes sign across it.
    *xhi = z.c;
    z.qrzero = (z.fc >= 0.0 && z.fb <= 0.0) || (z.fc < 0.0 && z.fb >= 0.0);
    *status = z.qrzero ? 0 : -1;
    return;
  }
  if (z.ext > 3) {
    z.w = z.mb;  // too many interpolations in a row: bisect
  } else {
    z.tol = km_stats::TransferSign(z.tol, z.mb);
    z.p = (z.b - z.a) * z.fb;
    if (z.first) {
      // Secant step.
      z.q = z.fa - z.fb;
      z.first = 0;
    } else {
      // Inverse quadratic interpolation through a, b and d.
      z.fdb = (z.fd - z.fb) / (z.d - z.b);
      z.fda = (z.fd - z.fa) / (z.d - z.a);
      z.p = z.fda * z.p;
      z.q = z.fdb * z.fa - z.fda * z.fb;
    }
    if (z.p < 0.0) {
      z.p = -z.p;
      z.q = -z.q;
    }
    if (z.ext == 3) z.p *= 2.0;
    if (z.p * 1.0 == 0.0 || z.p <= z.q * z.tol) {
      z.w = z.tol;
    } else if (z.p < z.mb * z.q) {
      z.w = z.p / z.q;
    } else {
      z.w = z.mb;
    }
  }
  z.d = z.a;
  z.fd = z.fa;
  z.a = z.b;
  z.fa = z.fb;
  z.b += z.w;
  *xlo = z.b;
  *x = *xlo;
  z.i99999 = 3;
  *status = 1;
}
