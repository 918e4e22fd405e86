// Cumulative distribution functions of the normal, Student t, F and
// chi-square distributions, their inverses, and ln Γ(x).
#ifndef KM_STATS_STATCLASS_H
#define KM_STATS_STATCLASS_H

#include <cstdint>

// StatClass computes any one of the quantities of a distribution (the
// probabilities p and q = 1 - p, the variate, or a parameter) from the
// others. The routines, their argument order and their status conventions are
// those of the double-precision cumulative distribution function library of
// Brown, Lovato and Russell (DCDFLIB); the kernels are the published ones:
//   - normal:      W. J. Cody's rational Chebyshev approximation (cumnor);
//                  Newton's method from the Kennedy and Gentle start value
//                  for the quantile (dinvnr);
//   - t and F:     the incomplete beta ratio I_x(a, b), Didonato and Morris,
//                  ACM TOMS Algorithm 708 (bratio), with
//                    t:  P(T <= t) from I_{df/(df+t^2)}(df/2, 1/2)
//                        (Abramowitz and Stegun 26.5.27),
//                    F:  P(F > f) = I_{dfd/(dfd+dfn f)}(dfd/2, dfn/2)
//                        (Abramowitz and Stegun 26.5.28);
//   - chi-square:  the incomplete gamma ratios P(a, x), Q(a, x), Didonato and
//                  Morris, ACM TOMS Algorithm 654 (gratio), with
//                  P(X <= x) = P(df/2, x/2) (Abramowitz and Stegun 26.4.19).
//
// Inverses other than the normal one are found by a reverse-communication
// search: a step search that brackets the answer (dinvr) followed by Bus and
// Dekker's Algorithm R (dzror; ACM TOMS 1, 1975). The search keeps its state in
// the object between the steps of one call, so one object serves one thread at
// a time; every user makes its own object. Everything else is class-level and
// keeps no state.
//
// Distribution routines take every argument by address. `which` names the
// quantity to compute; `status` and `bound` are outputs, both set to 0 on
// entry. Status values:
//    0      success (bound 0)
//   -1      `which` out of range; bound 1.0 when `which` < 1, else the highest
//           mode (3.0 or 4.0)
//   -I      the I-th argument (I = 2 ... 6) is out of range; bound is the
//           limit it violated (0.0 or 1.0). A NaN argument is reported the
//           same way, with bound 0.0.
//    1      the answer lies below the search interval; bound = its lower end
//    2      the answer lies above the search interval; bound = its upper end
//    3      |p + q - 1| > 3 epsilon; bound 0.0 when p + q < 0, else 1.0
//   10      the incomplete gamma ratio failed in a chi-square search
// After a failed check the output arguments keep their values. Searches stop
// when the bracket is within max(1e-50, 1e-8 |x|) of the answer, so inverses
// other than the normal one carry a relative error of up to 1e-8.
class StatClass final {
 public:
  // Sets the search constants below; the search state needs no initial value.
  StatClass();
  StatClass(const StatClass&) = delete;
  StatClass& operator=(const StatClass&) = delete;

  // -- Distribution routines --

  // Normal distribution N(mean, sd^2). which: 1 p and q from x, mean, sd;
  // 2 x; 3 mean; 4 sd. Checks (first failure returns): which outside 1..4;
  // for which != 1 p in (0, 1], q in (0, 1], p + q = 1; x (which != 2) and
  // mean (which != 3) not NaN; for which != 4 sd > 0.
  static void cdfnor(int* which, double* p, double* q, double* x, double* mean,
                     double* sd, int* status, double* bound);

  // Student t with df degrees of freedom. which: 1 p and q from t and df;
  // 2 t (searched over [-1e300, 1e300] from dt1); 3 df (searched over
  // [1e-300, 1e10] from 5). Checks: which outside 1..3; for which != 1 p in
  // (0, 1], q in (0, 1], p + q = 1; t not NaN (which != 2); df > 0
  // (which != 3). The p + q test comes before the df test.
  void cdft(int* which, double* p, double* q, double* t, double* df,
            int* status, double* bound);

  // F distribution with dfn and dfd degrees of freedom. which: 1 p and q from
  // f, dfn, dfd; 2 f (searched over [0, 1e300]); 3 dfn; 4 dfd (both searched
  // over [1, 1e300]); every search starts from 5. Checks: which outside 1..4;
  // for which != 1 p in [0, 1], q in (0, 1]; f >= 0 (which != 2); dfn > 0
  // (which != 3); dfd > 0 (which != 4); then, for which != 1, p + q = 1.
  void cdff(int* which, double* p, double* q, double* f, double* dfn,
            double* dfd, int* status, double* bound);

  // Chi-square with df degrees of freedom. which: 1 p and q from x and df;
  // 2 x (searched over [0, 1e300]); 3 df (searched over [1e-300, 1e300]);
  // both from 5. Checks: which outside 1..3; for which != 1 p in [0, 1],
  // q in (0, 1]; x >= 0 (which != 2); df > 0 (which != 3); then, for
  // which != 1, p + q = 1. Status 10 when the incomplete gamma ratio fails
  // during a search on the lower tail (p <= q).
  void cdfchi(int* which, double* p, double* q, double* x, double* df,
              int* status, double* bound);

  // -- Cumulative routines (no state, no status) --

  // Standard normal: *result = P(Z <= arg), *ccum = P(Z > arg). Values below
  // the smallest subnormal double are returned as 0.
  static void cumnor(const double* arg, double* result, double* ccum);
  // Student t: *cum = P(T <= t), *ccum = P(T > t). REQUIRES: df > 0.
  static void cumt(const double* t, const double* df, double* cum,
                   double* ccum);
  // F: *cum = P(F <= f), *ccum = P(F > f); f <= 0 gives 0 and 1.
  // REQUIRES: dfn > 0, dfd > 0.
  static void cumf(const double* f, const double* dfn, const double* dfd,
                   double* cum, double* ccum);
  // Chi-square: *cum = P(X <= x), *ccum = P(X > x); x <= 0 gives 0 and 1.
  // A failed incomplete gamma ratio leaves *cum = 2 and *ccum = 0.
  static void cumchi(const double* x, const double* df, double* cum,
                     double* ccum);

  // Normal quantile z with P(Z <= z) = p, given q = 1 - p. Newton's method on
  // cumnor from the Kennedy and Gentle start value, at most 100 steps, until
  // |dx/x| < 1e-13; returns the start value when Newton does not converge.
  // REQUIRES: 0 < p, q and p + q = 1.
  static double dinvnr(const double* p, const double* q);
  // Start value of the t quantile: the expansion of Abramowitz and Stegun
  // 26.7.5 in powers of 1/df around |dinvnr(p, q)|, negative when p < 0.5.
  static double dt1(const double* p, const double* q, const double* df);

  // Incomplete beta ratio: *w = I_x(a, b), *w1 = 1 - I_x(a, b), computed to
  // about 1e-15 relative accuracy (TOMS 708). *ierr: 0 success; 1 a or b
  // negative; 2 a = b = 0; 3 x outside [0, 1]; 4 y outside [0, 1];
  // 5 |x + y - 1| > 3 epsilon; 6 x = a = 0; 7 y = b = 0. NaN arguments give
  // code 1, 3 or 4. On error *w = *w1 = 0.
  static void bratio(const double* a, const double* b, const double* x,
                     const double* y, double* w, double* w1, int* ierr);
  // Incomplete gamma ratios *ans = P(a, x), *qans = Q(a, x) (TOMS 654).
  // *ind = 0 asks for full accuracy (5e-15), 1 for 6 digits, else 3 digits.
  // *ans = 2 when a or x is negative or NaN, a = x = 0, or the result is
  // indeterminate (x extremely close to a very large a).
  static void gratio(const double* a, const double* x, double* ans,
                     double* qans, const int* ind);
  // ln Γ(x): for x <= 6, recurrence into [2, 3] and a rational approximation
  // (Hart et al. 5236); above 6, recurrence to x >= 12 and Stirling's series
  // (Hart et al. 5423). REQUIRES: x > 0.
  static double alngam(const double* x);

  // -- Reverse-communication search --
  //
  // A search: dstinv once; write the start value into x; *status = 0; dinvr;
  // then, while *status == 1, put F(x) - target into *fx and call dinvr again.
  // It ends with *status 0 (answer in *x) or -1: *qleft = 1 when the answer
  // lies below `small`, 0 when above `big`; *qhi = 1 when F - target > 0
  // where the search stopped. The zero finder is driven the same way through
  // dstzr and dzror; its -1 means the bracket held no sign change.

  // The search engines. IENTRY 0 runs one step (dinvr / dzror), IENTRY 1 the
  // set-up (dstinv / dstzr); arguments the entry does not use may be null.
  virtual void E0000(int IENTRY, int* status, double* x, double* fx,
                     uint32_t* qleft, uint32_t* qhi, double* zabsst,
                     double* zabsto, double* zbig, double* zrelst,
                     double* zrelto, double* zsmall, double* zstpmu);
  virtual void E0001(int IENTRY, int* status, double* x, double* fx,
                     double* xlo, double* xhi, uint32_t* qleft, uint32_t* qhi,
                     double* zabstl, double* zreltl, double* zxhi,
                     double* zxlo);

  // Sets up the step search over [zsmall, zbig]: first step
  // max(zabsst, zrelst |x|), each further step zstpmu times the last; the zero
  // finder then runs with tolerances zabsto and zrelto.
  void dstinv(double* zsmall, double* zbig, double* zabsst, double* zrelst,
              double* zstpmu, double* zabsto, double* zrelto);
  // One step of the step search (see above).
  void dinvr(int* status, double* x, double* fx, uint32_t* qleft,
             uint32_t* qhi);
  // Sets up the zero finder on [zxlo, zxhi] with the stopping tolerance
  // 0.5 max(zabstl, zreltl |xlo|) on half the bracket.
  void dstzr(double* zxlo, double* zxhi, double* zabstl, double* zreltl);
  // One step of the zero finder. On *status 0, [*xlo, *xhi] brackets the
  // zero and *xlo is the end with the smaller |F|.
  void dzror(int* status, double* x, double* fx, double* xlo, double* xhi,
             uint32_t* qleft, uint32_t* qhi);

 private:
  // Working values of the zero finder (E0001) between the steps of a search.
  struct ZeroFinderState {
    double a = 0, abstol = 0, b = 0, c = 0, d = 0, fa = 0, fb = 0, fc = 0,
           fd = 0, fda = 0, fdb = 0, m = 0, mb = 0, p = 0, q = 0, reltol = 0,
           tol = 0, w = 0, xxhi = 0, xxlo = 0;
    int32_t ext = 0;     // interpolation steps in a row that kept c
    int32_t i99999 = 0;  // resume point 1 to 3
    int32_t first = 0;   // the next interpolation is the first (linear)
    int32_t qrzero = 0;  // the final bracket holds a sign change
  };
  // Working values of the step search (E0000) between the steps of a search.
  struct StepSearchState {
    double absstp = 0, abstol = 0, big = 0, fbig = 0, fsmall = 0, relstp = 0,
           reltol = 0, small = 0, step = 0, stpmul = 0, xhi = 0, xlb = 0,
           xlo = 0, xsave = 0, xub = 0, yy = 0;
    int32_t i99999 = 0;             // resume point 1 to 6
    int32_t qbdd = 0;               // the last step crossed the root
    int32_t qcond = 0;              // the stepping has ended
    uint32_t qdum1 = 0, qdum2 = 0;  // the zero finder's qleft and qhi
    int32_t qincr = 0;              // F - target increases with x
    int32_t qlim = 0;               // the step reached an end of the interval
    int32_t qup = 0;                // the root lies above the start value
  };

  // Runs one search of cdft/cdff/cdfchi: writes dStart into *pSought,
  // searches [dSmall, dBig] for cum = p (p <= q) or ccum = q (p > q), where
  // cumFn(cum, ccum) evaluates the distribution at the current *pSought, and
  // maps a failed bracket to status 1 or 2. bGammaCheck adds the chi-square
  // check for a failed incomplete gamma ratio (status 10).
  template <typename CumFn>
  void RunSearch(CumFn cumFn, const double* p, const double* q, double* pSought,
                 double dStart, double dSmall, double dBig, bool bGammaCheck,
                 int* status, double* bound);
  // E0000 helpers: request F at *x with resume point iResume; start the zero
  // finder on the bracket [xlb, xub].
  void RequestValue(int32_t iResume, int* status);
  void StartZeroFinder(int* status, double* x, double* fx);
  // E0001 helper: the body of Algorithm R from its convergence test onwards.
  void ZeroFinderIterate(int* status, double* x, double* xlo, double* xhi);

  // -- Kernels of bratio and gratio (TOMS 708 and 654) --
  static double algdiv(double a, double b);  // ln(Γ(b)/Γ(a+b)), b >= 8
  static double alnrel(double a);            // ln(1 + a)
  // I_{1-x}(b, a) for very small a.
  static double apser(double a, double b, double x, double eps);
  // I_x(a, b) for large a and b; lambda = (a + b) y - b.
  static double basym(double a, double b, double lambda, double eps);
  static double bcorr(double a0, double b0);   // del(a0)+del(b0)-del(a0+b0)
  static double betaln(double a0, double b0);  // ln B(a0, b0)
  // Continued fraction for I_x(a, b), a, b > 1.
  static double bfrac(double a, double b, double x, double y, double lambda,
                      double eps);
  // Adds the expansion of I_x(a, b) for a much larger than b to *w.
  static void bgrat(double a, double b, double x, double y, double* w,
                    double eps, int* ierr);
  // Power series for I_x(a, b).
  static double bpser(double a, double b, double x, double eps);
  // exp(mu) x^a y^b / B(a, b).
  static double brcmp1(int mu, double a, double b, double x, double y);
  // x^a y^b / B(a, b).
  static double brcomp(double a, double b, double x, double y);
  // I_x(a, b) - I_x(a + n, b).
  static double bup(double a, double b, double x, double y, int n, double eps);
  // I_x(a, b) for very small b.
  static double fpser(double a, double b, double x, double eps);
  static double erf1(double x);            // the error function
  static double erfc1(int ind, double x);  // erfc(x), or exp(x^2) erfc(x)
  static double esum(int mu, double x);    // exp(mu + x)
  static double exparg(int l);             // largest exp argument
  static double gam1(double a);            // 1/Γ(a+1) - 1
  static double gamln(double a);           // ln Γ(a), a > 0
  static double gamln1(double a);          // ln Γ(1 + a)
  // P(a, x) and Q(a, x) for a <= 1, given r = exp(-x) x^a / Γ(a).
  static void grat1(double a, double x, double r, double* p, double* q,
                    double eps);
  // P(a, x) and Q(a, x) for a = 0.5, through the error function.
  static void gratHalf(double x, double* p, double* q);
  // P(a, x) and Q(a, x) for a < 1 and x < 1.1 by the Taylor series of
  // P(a, x) / x^a, summed until a term falls below tol.
  static void gratSmallX(double a, double x, double tol, double* p, double* q);
  static double gsumln(double a, double b);  // ln Γ(a + b), 1 <= a, b <= 2
  static double psi(double x);               // digamma
  static double rexp(double x);              // exp(x) - 1
  static double rlog(double x);              // x - 1 - ln x
  static double rlog1(double x);             // x - ln(1 + x)
  static double Xgamm(double a);             // Γ(a)
  static double devlpl(const double a[], int n, double x);  // polynomial
  static double stvaln(double p);  // start value of the normal quantile

  ZeroFinderState m_E0001;
  StepSearchState m_E0000;

  const double tol;   // relative tolerance of every search (1e-8)
  const double atol;  // absolute tolerance of every search (1e-50)
  const double zero;  // lower end of the chi-square and t df searches
  const double inf;   // upper end of the searches (t df search: 1e10)
};

#endif  // KM_STATS_STATCLASS_H
