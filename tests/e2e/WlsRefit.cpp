#include "tests/e2e/WlsRefit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

#include "tests/e2e/E2eRun.h"

namespace km_e2e {

namespace {

// Solves min |A b - r| for the m x p matrix A (rows) by Householder QR;
// A and r are overwritten. *pR, when given, receives the p x p triangle R.
std::vector<double> LeastSquares(
    std::vector<std::vector<double>> a, std::vector<double> r,
    std::vector<std::vector<double>>* pR = nullptr) {
  const size_t m = a.size(), p = a[0].size();
  for (size_t j = 0; j < p; ++j) {
    double dNorm = 0.0;
    for (size_t i = j; i < m; ++i) dNorm += a[i][j] * a[i][j];
    dNorm = std::sqrt(dNorm);
    const double dAlpha = a[j][j] > 0 ? -dNorm : dNorm;
    std::vector<double> v(m, 0.0);
    for (size_t i = j; i < m; ++i) v[i] = a[i][j];
    v[j] -= dAlpha;
    double dVV = 0.0;
    for (size_t i = j; i < m; ++i) dVV += v[i] * v[i];
    auto reflect = [&](auto column) {
      double dDot = 0.0;
      for (size_t i = j; i < m; ++i) dDot += v[i] * column(i);
      const double f = 2.0 * dDot / dVV;
      for (size_t i = j; i < m; ++i) column(i) -= f * v[i];
    };
    for (size_t c = j; c < p; ++c) {
      reflect([&](size_t i) -> double& { return a[i][c]; });
    }
    reflect([&](size_t i) -> double& { return r[i]; });
  }
  if (pR != nullptr) pR->assign(a.begin(), a.begin() + p);
  std::vector<double> b(p);
  for (size_t j = p; j-- > 0;) {
    double d = r[j];
    for (size_t c = j + 1; c < p; ++c) d -= a[j][c] * b[c];
    b[j] = d / a[j][j];
  }
  return b;
}

// c'(R'R)^-1 c for the upper triangle R: |z|^2 where R'z = c.
double InverseForm(const std::vector<std::vector<double>>& R,
                   std::vector<double> c) {
  double dSum = 0.0;
  for (size_t j = 0; j < c.size(); ++j) {
    for (size_t i = 0; i < j; ++i) c[j] -= R[i][j] * c[i];
    c[j] /= R[j][j];
    dSum += c[j] * c[j];
  }
  return dSum;
}

// |r - a b|^2: the residual sum of squares of the least-squares fit b.
double ResidualSumOfSquares(const std::vector<std::vector<double>>& a,
                            const std::vector<double>& r,
                            const std::vector<double>& b) {
  double dSSE = 0.0;
  for (size_t i = 0; i < r.size(); ++i) {
    double e = r[i];
    for (size_t j = 0; j < b.size(); ++j) e -= a[i][j] * b[j];
    dSSE += e * e;
  }
  return dSSE;
}

}  // namespace

Refitted FitWithKinkmarks(const Series& s, const std::vector<double>& kinkmarks,
                          double dJumpAt) {
  std::vector<std::vector<double>> a;
  std::vector<double> r;
  for (size_t i = 0; i < s.x.size(); ++i) {
    const double dRoot = std::sqrt(s.w[i]);
    std::vector<double> row = {dRoot, dRoot * s.x[i]};
    for (double k : kinkmarks) {
      row.push_back(dRoot * (s.x[i] > k ? s.x[i] - k : 0.0));
    }
    if (dJumpAt != 0.0) row.push_back(s.x[i] >= dJumpAt ? dRoot : 0.0);
    a.push_back(row);
    r.push_back(dRoot * s.y[i]);
  }
  std::vector<std::vector<double>> R;
  const std::vector<double> b = LeastSquares(a, r, &R);
  Refitted fit;
  fit.nParams = static_cast<int>(b.size());
  std::vector<double> c(b.size(), 0.0);
  c.back() = 1.0;
  if (dJumpAt != 0.0)
    fit.dJump = b.back(), fit.dJumpInverse = InverseForm(R, c);
  for (size_t i = 0; i < s.x.size(); ++i) {
    double dFitted = b[0] + b[1] * s.x[i];
    if (dJumpAt != 0.0 && s.x[i] >= dJumpAt) dFitted += b.back();
    for (size_t j = 0; j < kinkmarks.size(); ++j) {
      if (s.x[i] > kinkmarks[j]) dFitted += b[2 + j] * (s.x[i] - kinkmarks[j]);
    }
    fit.dSSE += s.w[i] * (s.y[i] - dFitted) * (s.y[i] - dFitted);
    fit.residuals.push_back(s.y[i] - dFitted);
  }
  double dIntercept = b[0], dSlope = b[1];
  fit.intercepts.push_back(dIntercept);
  fit.slopes.push_back(dSlope);
  for (size_t j = 0; j < kinkmarks.size(); ++j) {
    dSlope += b[2 + j];
    dIntercept -= b[2 + j] * kinkmarks[j];
    fit.intercepts.push_back(dIntercept);
    fit.slopes.push_back(dSlope);
  }
  return fit;
}

double ArOneSSE(const Series& s, const std::vector<double>& kinkmarks,
                double dPhi) {
  const size_t n = s.x.size();
  // Lower triangle L of S C S = L L'.
  std::vector<std::vector<double>> L(n, std::vector<double>(n, 0.0));
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = 0; j <= i; ++j) {
      double d = std::pow(dPhi, static_cast<double>(i - j)) /
                 std::sqrt(s.w[i] * s.w[j]);
      for (size_t c = 0; c < j; ++c) d -= L[i][c] * L[j][c];
      L[i][j] = i == j ? std::sqrt(d) : d / L[j][j];
    }
  }
  // The rows [1, x, hinges | y] whitened by L^-1.
  std::vector<std::vector<double>> a;
  std::vector<double> r;
  for (size_t i = 0; i < n; ++i) {
    std::vector<double> row = {1.0, s.x[i]};
    for (double k : kinkmarks) row.push_back(s.x[i] > k ? s.x[i] - k : 0.0);
    double y = s.y[i];
    for (size_t c = 0; c < i; ++c) {
      for (size_t j = 0; j < row.size(); ++j) row[j] -= L[i][c] * a[c][j];
      y -= L[i][c] * r[c];
    }
    for (double& v : row) v /= L[i][i];
    a.push_back(row);
    r.push_back(y / L[i][i]);
  }
  return ResidualSumOfSquares(a, r, LeastSquares(a, r));
}

SegmentErrors SegmentStdErrors(const Series& s,
                               const std::vector<double>& kinkmarks,
                               double dJumpAt) {
  const size_t n = s.x.size(), S = kinkmarks.size() + 1;
  const double h = 0.117 * 0.5 * n * std::pow(std::log(std::log(n)), 0.6) /
                   std::sqrt(static_cast<double>(n));
  std::vector<std::vector<double>> a;
  std::vector<double> r;
  double dFactors = 0.0;
  for (size_t i = 0; i < n; ++i) {
    double u = 1.0;
    for (double k : kinkmarks) {
      if (std::fabs(s.x[i] - k) < h) u = std::fabs(s.x[i] - k) / h;
    }
    dFactors += u;
    size_t iSegment = 0;
    while (iSegment + 1 < S && s.x[i] > kinkmarks[iSegment]) ++iSegment;
    const double dRoot = std::sqrt(s.w[i]) * u;
    std::vector<double> row(2 * S, 0.0);
    row[iSegment] = dRoot;
    row[S + iSegment] = dRoot * s.x[i];
    if (dJumpAt != 0.0) row.push_back(s.x[i] >= dJumpAt ? dRoot : 0.0);
    a.push_back(row);
    r.push_back(dRoot * s.y[i]);
  }
  std::vector<std::vector<double>> R;
  const std::vector<double> b = LeastSquares(a, r, &R);
  if (dJumpAt != 0.0 &&
      !(std::fabs(R.back().back()) >= 1e-9 * std::fabs(R[0][0])))
    return SegmentStdErrors(s, kinkmarks, 0.0);
  const double dSSE = ResidualSumOfSquares(a, r, b);
  SegmentErrors errors;
  errors.df = dFactors - static_cast<double>(b.size());
  const double dMSE = dSSE / errors.df;
  // Standard error of coefficient i less coefficient iLess (none when equal).
  auto se = [&](size_t i, size_t iLess) {
    std::vector<double> c(b.size(), 0.0);
    c[i] = 1.0;
    if (iLess != i) c[iLess] = -1.0;
    return std::sqrt(dMSE * InverseForm(R, c));
  };
  if (dJumpAt != 0.0) errors.jump = se(2 * S, 2 * S);
  for (size_t j = 0; j < S; ++j) {
    errors.intercepts.push_back(se(j, j));
    errors.slopes.push_back(se(S + j, S + j));
    if (j > 0) errors.slopeChanges.push_back(se(S + j, S + j - 1));
  }
  return errors;
}

std::vector<double> OptimalKinkmarks(const Series& s,
                                     std::vector<double> kinkmarks) {
  // Sum of w r over the observations beyond kinkmark j.
  auto beyond = [&](size_t j, double dLocation) {
    std::vector<double> trial = kinkmarks;
    trial[j] = dLocation;
    const Refitted fit = FitWithKinkmarks(s, trial);
    double dSum = 0.0;
    for (size_t i = 0; i < s.x.size(); ++i) {
      if (s.x[i] > dLocation) dSum += s.w[i] * fit.residuals[i];
    }
    return dSum;
  };
  for (int iSweep = 0; iSweep < 20; ++iSweep) {
    for (size_t j = 0; j < kinkmarks.size(); ++j) {
      if (std::find(s.x.begin(), s.x.end(), kinkmarks[j]) != s.x.end()) {
        continue;
      }
      // Secant steps from both sides of the given location.
      double t0 = kinkmarks[j] - 1e-4, t1 = kinkmarks[j] + 1e-4;
      double g0 = beyond(j, t0), g1 = beyond(j, t1);
      for (int i = 0; i < 50 && g1 != g0 && std::fabs(t1 - t0) > 1e-13; ++i) {
        const double t2 = t1 - g1 * (t1 - t0) / (g1 - g0);
        t0 = t1;
        g0 = g1;
        t1 = t2;
        g1 = beyond(j, t1);
      }
      kinkmarks[j] = t1;
    }
  }
  return kinkmarks;
}

std::vector<Series> ReadSeries(const std::string& sPath, Response response,
                               bool bLog, double dRatesPerN) {
  // Per site and year: the response and its variance (the age groups of
  // one year are summed first).
  std::map<int, std::map<double, std::pair<double, double>>> cells;
  for (const std::string& sLine : ReadLines(sPath)) {
    if (sLine.empty()) continue;
    std::vector<double> v;
    for (const std::string& sCell : SplitCells(sLine, ',')) {
      v.push_back(std::strtod(sCell.c_str(), nullptr));
    }
    auto& cell = cells[static_cast<int>(v[0])][v[1]];
    switch (response) {
      case Response::kRateStdError:
        cell = {v[2], v[3] * v[3]};
        break;
      case Response::kRateConstant:
        cell = {v[2], 1.0};
        break;
      case Response::kPoissonRate:
        cell = {v[4] / v[5] * dRatesPerN,
                v[4] * dRatesPerN * dRatesPerN / (v[5] * v[5])};
        break;
      case Response::kPoissonCount:
        cell = {v[4], v[4]};
        break;
      case Response::kAgeAdjusted:
        // Standard population weights 500, 300 and 200 of 1000.
        cell.first += 1e5 * v[5] / 1000.0 * v[3] / v[4];
        cell.second = 1.0;
        break;
    }
  }
  const bool bConstant =
      response == Response::kRateConstant || response == Response::kAgeAdjusted;
  std::vector<Series> series;
  for (const auto& [iSite, years] : cells) {
    Series s;
    for (const auto& [dYear, cell] : years) {
      double y = cell.first, dVar = cell.second;
      if (bLog) {
        dVar /= y * y;
        y = std::log(y);
      }
      s.x.push_back(dYear);
      s.y.push_back(y);
      s.w.push_back(bConstant ? 1.0 : 1.0 / dVar);
    }
    series.push_back(s);
  }
  return series;
}

}  // namespace km_e2e
