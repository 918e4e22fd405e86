// kmPieceWalk: the segments of a fitted continuous piecewise-linear model,
// walked along increasing independent values.
#ifndef KM_ENGINE_KMPIECEWALK_H
#define KM_ENGINE_KMPIECEWALK_H

#include <newmat.h>

#include <cstdint>

// Segment s (1..k+1) of a model with k kinkmarks has intercept vCoef(s) and
// slope vCoef(k + 1 + s); the breaks are the kinkmarks vTau(1..k), increasing.
// An observation takes the segment after every break it has reached, also
// when two or more kinkmarks lie between it and the previous observation;
// one at a kinkmark takes the next segment (both give the same value, the fit
// being continuous). The walk keeps references: vCoef and vTau must outlive
// it.
//
// Usage, for x_1 <= x_2 <= ...:
//   kmPieceWalk walk(k, vCoef, vTau, x_1);
//   for each x: while (walk.Reaches(x)) walk.Advance(); walk.ValueAt(x);
class kmPieceWalk {
 public:
  // Break that follows the last kinkmark: no observation reaches it.
  static constexpr double kNoMoreBreaks = 99999999.0;

  // dFirstX is the first observation's value: the first break, so that it
  // takes segment 1.
  kmPieceWalk(int16_t k, const NEWMAT::ColumnVector& vCoef,
              const NEWMAT::ColumnVector& vTau, double dFirstX)
      : k_(k), vCoef_(vCoef), vTau_(vTau), dBreak_(dFirstX) {}

  // True when x is at or past the next break and a segment follows it; the
  // walk then needs Advance.
  bool Reaches(double x) const { return iSegment_ <= k_ && x >= dBreak_; }
  // The break about to be passed.
  double Break() const { return dBreak_; }
  // Takes the next segment and moves the break to the following kinkmark
  // (kNoMoreBreaks after the last one).
  void Advance() {
    dIntercept_ = vCoef_(iSegment_ + 1);
    dSlope_ = vCoef_(k_ + 2 + iSegment_);
    ++iSegment_;
    dBreak_ = iSegment_ <= k_ ? vTau_(iSegment_) : kNoMoreBreaks;
  }
  // Passes every break up to x and returns the value there of the segment
  // then in force.
  double ValueAfterBreaks(double x) {
    return ValueAfterBreaks(x, [](double, double) {});
  }
  // As ValueAfterBreaks, also calling onPassed(break, value there of the
  // segment that starts at it) for every break passed that lies strictly
  // before x: the points where the fitted line bends between observations.
  template <class OnPassed>
  double ValueAfterBreaks(double x, OnPassed onPassed) {
    while (Reaches(x)) {
      const double dBreak = dBreak_;
      Advance();
      if (x > dBreak) onPassed(dBreak, ValueAt(dBreak));
    }
    return ValueAt(x);
  }
  // Intercept and slope of the segment in force.
  double Intercept() const { return dIntercept_; }
  double Slope() const { return dSlope_; }
  double ValueAt(double x) const { return dSlope_ * x + dIntercept_; }

 private:
  int16_t k_;
  const NEWMAT::ColumnVector& vCoef_;
  const NEWMAT::ColumnVector& vTau_;
  double dBreak_;
  int iSegment_ = 0;
  double dIntercept_ = 0.0;
  double dSlope_ = 0.0;
};

#endif  // KM_ENGINE_KMPIECEWALK_H
