// The twelve stopping tables: their descriptions and the rules that build
// their rows.
#include "engine/EarlyStoppingTables.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "stats/StatClass.h"

namespace {

// Largest number of data sets of the curtailed tables (5840 data sets).
constexpr int kCurtailedN = 5839;
// Error rates of the B-value design: the boundary stops upward at the
// 0.9 quantile and downward at the 0.1 quantile of the standard normal.
constexpr double kUpperTail = 0.9;

// Level 1/den expressed through the table sizes: floor(alpha (N + 1)) is
// (N + 1) / den exactly, with no rounding of 1/den in between.
int ExceedanceLimit(int iLevelDenominator, int N) {
  return (N + 1) / iLevelDenominator;
}

double NormalQuantile(double p) {
  const double q = 1.0 - p;
  return StatClass::dinvnr(&p, &q);
}

// The boundary points without their masses: the upper boundary for
// a = 0..r0-1 non-exceedances, then the lower one for b = 0..r1-1
// exceedances (stored by increasing b here).
void BoundaryPoints(int iLevelDenominator, int N,
                    std::vector<BValueBoundaryPoint>& vUpper,
                    std::vector<BValueBoundaryPoint>& vLower) {
  const double alpha = 1.0 / iLevelDenominator;
  const int r1 = ExceedanceLimit(iLevelDenominator, N);
  const int r0 = N + 1 - r1;
  const double dScale = std::sqrt(N * alpha * (1.0 - alpha));
  const double zHi = NormalQuantile(kUpperTail);
  const double zLo = NormalQuantile(1.0 - kUpperTail);
  auto B = [&](int i, int w) { return (w - i * alpha) / dScale; };

  int bMin = 1;
  for (int a = 0; a < r0; ++a) {
    int b = bMin;
    while (b <= r1 && B(a + b, b) < zHi) ++b;
    if (b > r1) b = r1;
    vUpper.push_back({b, a + b, 0.0, 0.0});
    bMin = b;
  }
  int aMin = 1;
  for (int b = 0; b < r1; ++b) {
    int a = aMin;
    while (a <= r0 && B(a + b, b) > zLo) ++a;
    if (a > r0) a = r0;
    vLower.push_back({b, a + b, 0.0, 0.0});
    aMin = a;
  }
}

// The probability of stopping at each point when the exceedance
// probability p is uniform on (0, 1): after i data sets with j exceedances
// the next one exceeds with probability (j + 1) / (i + 2). At most one
// upper and one lower point share an i, so the walk keeps one stop per
// boundary and i.
void StoppingMasses(int N, std::vector<BValueBoundaryPoint>& vUpper,
                    std::vector<BValueBoundaryPoint>& vLower) {
  std::vector<BValueBoundaryPoint*> vUpperAt(N + 2, nullptr);
  std::vector<BValueBoundaryPoint*> vLowerAt(N + 2, nullptr);
  int iLast = 0;
  int jLast = 0;
  for (std::vector<BValueBoundaryPoint>* pList : {&vUpper, &vLower}) {
    for (BValueBoundaryPoint& pt : *pList) {
      (pList == &vUpper ? vUpperAt : vLowerAt)[pt.i] = &pt;
      iLast = std::max(iLast, pt.i);
      jLast = std::max(jLast, pt.j);
    }
  }
  std::vector<double> vMass(jLast + 2, 0.0);
  std::vector<double> vNext(jLast + 2, 0.0);
  vMass[0] = 1.0;
  // No mass passes the upper boundary, so no count beyond its largest j
  // carries any.
  for (int i = 0; i < iLast; ++i) {
    const int jTop = std::min(i, jLast);
    std::fill(vNext.begin(), vNext.begin() + jTop + 2, 0.0);
    for (int j = 0; j <= jTop; ++j) {
      if (vMass[j] == 0.0) continue;
      const double dUp = (j + 1.0) / (i + 2.0);
      vNext[j + 1] += vMass[j] * dUp;
      vNext[j] += vMass[j] * (1.0 - dUp);
    }
    for (BValueBoundaryPoint* pt : {vUpperAt[i + 1], vLowerAt[i + 1]}) {
      if (pt == nullptr) continue;
      pt->dMass = vNext[pt->j];
      vNext[pt->j] = 0.0;
    }
    vMass.swap(vNext);
  }
}

// Decisions: by increasing j / i, 1.0 until the running mass passes alpha,
// the randomised decision at that point, 0.0 after it.
void Decisions(int iLevelDenominator,
               std::vector<BValueBoundaryPoint*>& vPoints) {
  const double alpha = 1.0 / iLevelDenominator;
  // j/i compared exactly as j1 i2 < j2 i1; equal ratios keep table order.
  std::stable_sort(
      vPoints.begin(), vPoints.end(),
      [](const BValueBoundaryPoint* x, const BValueBoundaryPoint* y) {
        return static_cast<long long>(x->j) * y->i <
               static_cast<long long>(y->j) * x->i;
      });
  double dSum = 0.0;
  bool bPassed = false;
  for (BValueBoundaryPoint* pt : vPoints) {
    if (bPassed) {
      pt->dDecision = 0.0;
    } else if (dSum + pt->dMass > alpha) {
      pt->dDecision = (alpha - dSum) / pt->dMass;
      bPassed = true;
    } else {
      pt->dDecision = 1.0;
    }
    dSum += pt->dMass;
  }
}

}  // namespace

const std::vector<EarlyStoppingTableSpec>& EarlyStoppingTableSpecs() {
  static const std::vector<EarlyStoppingTableSpec> kSpecs = {
      {"Curtailed.1.txt", true, 10, kCurtailedN},
      {"Curtailed.1ov3.txt", true, 30, kCurtailedN},
      {"Curtailed.05.txt", true, 20, kCurtailedN},
      {"Curtailed.05ov2.txt", true, 40, kCurtailedN},
      {"Curtailed.05ov3.txt", true, 60, kCurtailedN},
      {"Curtailed.05ov4.txt", true, 80, kCurtailedN},
      {"Alpha.1.eps.1.txt", false, 10, 2573},
      {"Alpha.1ov3.eps.1.txt", false, 30, 4619},
      {"Alpha.05.eps.1.txt", false, 20, 3679},
      {"Alpha.05ov2.eps.1.txt", false, 40, 5479},
      {"Alpha.05ov3.eps.1.txt", false, 60, 7019},
      {"Alpha.05ov4.eps.1.txt", false, 80, 8399},
  };
  return kSpecs;
}

const EarlyStoppingTableSpec* FindEarlyStoppingTable(bool bCurtailed,
                                                     int iLevelDenominator) {
  for (const EarlyStoppingTableSpec& spec : EarlyStoppingTableSpecs()) {
    if (spec.bCurtailed == bCurtailed &&
        spec.iLevelDenominator == iLevelDenominator) {
      return &spec;
    }
  }
  return nullptr;
}

std::vector<EarlyStopperRow> CurtailedTableRows(int iLevelDenominator, int N) {
  const int J = ExceedanceLimit(iLevelDenominator, N);
  std::vector<EarlyStopperRow> vRows;
  vRows.reserve(static_cast<size_t>(N) + 2);
  for (int i = J; i <= N; ++i) vRows.push_back({double(J), double(i), 0.0});
  for (int j = J - 1; j >= 1; --j) {
    vRows.push_back({double(j), double(N - J + j + 1), 1.0});
  }
  vRows.push_back({0.0, double(N - J + 1), 1.0});
  vRows.push_back({-1.0, -1.0, -1.0});
  return vRows;
}

std::vector<BValueBoundaryPoint> BValueBoundary(int iLevelDenominator, int N) {
  std::vector<BValueBoundaryPoint> vUpper;
  std::vector<BValueBoundaryPoint> vLower;
  BoundaryPoints(iLevelDenominator, N, vUpper, vLower);
  StoppingMasses(N, vUpper, vLower);
  std::vector<BValueBoundaryPoint*> vAll;
  for (BValueBoundaryPoint& pt : vUpper) vAll.push_back(&pt);
  for (BValueBoundaryPoint& pt : vLower) vAll.push_back(&pt);
  Decisions(iLevelDenominator, vAll);
  std::vector<BValueBoundaryPoint> vPoints(vUpper);
  vPoints.insert(vPoints.end(), vLower.rbegin(), vLower.rend());
  return vPoints;
}

std::vector<EarlyStopperRow> BValueTableRows(int iLevelDenominator, int N) {
  std::vector<EarlyStopperRow> vRows;
  for (const BValueBoundaryPoint& pt : BValueBoundary(iLevelDenominator, N)) {
    vRows.push_back({double(pt.j), double(pt.i), pt.dDecision});
  }
  vRows.push_back({-1.0, -1.0, -1.0});
  return vRows;
}

std::vector<EarlyStopperRow> EarlyStoppingTableRows(
    const EarlyStoppingTableSpec& spec) {
  return spec.bCurtailed
             ? CurtailedTableRows(spec.iLevelDenominator, spec.iLargestI)
             : BValueTableRows(spec.iLevelDenominator, spec.iLargestI);
}
