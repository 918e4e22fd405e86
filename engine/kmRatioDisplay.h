// How a comparability-ratio analysis shows its values: the fit ran on the
// values at or before the jump location multiplied by the ratio, and the
// rows of its data show those values divided back, as observed.
#ifndef KM_ENGINE_KMRATIODISPLAY_H
#define KM_ENGINE_KMRATIODISPLAY_H

class kmSession;

// The ratio c, its variance v and the jump location J of a session. Every
// value at an independent value x (unshifted) with x <= J was read as y c,
// its standard error widened to sqrt(c^2 s^2 + v s^2 + v y^2); the display
// divides such values by c and narrows the standard error back. A cohort's
// rows and the rows of a comparison of two cohorts both show their values
// through it.
class kmRatioDisplay {
 public:
  explicit kmRatioDisplay(const kmSession& session);

  // True when copy iCopy of the session's cohorts (a combination of the
  // results file) is a comparability-ratio analysis, whose values are shown
  // through the ratio also where a comparison pairs it with another copy.
  static bool ShowsCopy(const kmSession& session, int iCopy);

  // True when values at x were adjusted by the ratio: x is at or before J.
  bool Adjusted(double x) const { return !(x > dLocation_); }
  // The value y at x (on the data's scale) as shown: y / c when adjusted.
  double Shown(double x, double y) const {
    return Adjusted(x) ? y / dRatio_ : y;
  }
  // The standard error s of the value y at x (both as read) as shown: s
  // when not adjusted, else the standard error of y / c, or dNoValue when
  // it cannot be formed.
  double ShownSE(double x, double y, double s, double dNoValue) const;

 private:
  double dRatio_;
  double dVariance_;
  double dLocation_;
};

#endif  // KM_ENGINE_KMRATIODISPLAY_H
