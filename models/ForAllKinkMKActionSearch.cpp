// ForAllKinkMKAction: findTheBestTau, test_TauStep.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <exception>
#include <vector>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/KmWorkProgress.h"
#include "models/DistributionWrappers.h"
#include "models/ForAllKinkMKAction.h"
#include "models/internal/StandardCatch.h"
#include "models/internal/TauIndexSteps.h"

using km_models_internal::WithStandardCatch;

namespace {

// The profile value of a grid location that no placement put a kinkmark at.
constexpr double kNotVisited = 1e50;

// Destroys the old records and allocates n fresh ones (none when n <= 0),
// each constructed, cleared and initialised.
void ResizeResults(OneDimensionArray<KinkMKFitResult>& results, int n) {
  results.Resize(n);
  for (int i = 0; i < results.GetSize(); ++i) {
    results[i].clear();
    results[i].init();
  }
}

// The design columns of a placement: 1..p, then p + T(j) for each
// kinkmark, then the jump column p + m + 1 in the jump model.
void SelectColumns(std::vector<int>& columns, const NEWMAT::ColumnVector& T,
                   int p, int m, bool bJump) {
  columns.clear();
  for (int c = 1; c <= p; ++c) columns.push_back(c);
  for (int j = 1; j <= T.Nrows(); ++j) {
    columns.push_back(p + static_cast<int>(T(j)));
  }
  if (bJump) columns.push_back(p + m + 1);
}

// The columns of allX at the selected column numbers.
NEWMAT::Matrix SelectedDesign(const NEWMAT::Matrix& allX,
                              const std::vector<int>& columns) {
  const int n = allX.Nrows();
  const int q = static_cast<int>(columns.size());
  NEWMAT::Matrix X(n, q);
  for (int j = 1; j <= q; ++j) {
    const int c = columns[static_cast<size_t>(j - 1)];
    for (int i = 1; i <= n; ++i) X(i, j) = allX(i, c);
  }
  return X;
}

// The rows and columns of a square matrix at the selected numbers. The
// block keeps its storage when it already has the right size.
void SelectBlock(NEWMAT::Matrix& block, const NEWMAT::Matrix& M,
                 const std::vector<int>& columns) {
  const int q = static_cast<int>(columns.size());
  if (block.Nrows() != q || block.Ncols() != q) block.ReSize(q, q);
  for (int a = 1; a <= q; ++a) {
    const int r = columns[static_cast<size_t>(a - 1)];
    for (int b = 1; b <= q; ++b) {
      block(a, b) = M(r, columns[static_cast<size_t>(b - 1)]);
    }
  }
}

// Row i (1-based) of a row-major newmat matrix. The caller has checked that
// the row and the columns it reads lie inside the matrix.
const double* RowOf(const NEWMAT::Matrix& M, int i) {
  return M.Store() + static_cast<ptrdiff_t>(i - 1) * M.Ncols();
}

// Confirms that rows `rows` and columns 1..nCols lie inside M. A position
// outside is read through the library's checked access, which raises the
// same index error that an element-by-element read would have met first.
void CheckReadable(const NEWMAT::Matrix& M, const std::vector<int>& rows,
                   int nCols) {
  for (const int r : rows) {
    if (r < 1 || r > M.Nrows()) static_cast<void>(M(r, 1));
    if (nCols > M.Ncols()) static_cast<void>(M(r, M.Ncols() + 1));
  }
}

// The work space of one search, sized once so that no placement allocates:
// the placement's block of X'WX and its inverse, one row of the solution
// matrix B = Ginv Hc over every series, the explained sums b_s'X'Wy_s, the
// smallest SSE of each series, the observed series' coefficients and
// residuals, and the nonzero entries of W by row.
struct SearchWork {
  NEWMAT::Matrix Gc;
  NEWMAT::Matrix Ginv;
  std::vector<const double*> hRows;
  std::vector<double> bRow;
  std::vector<double> explained;
  std::vector<double> seriesSSE;
  std::vector<double> yWy;
  NEWMAT::ColumnVector beta;
  std::vector<double> residual;
  // Row i of W holds entries wStart[i - 1] .. wStart[i] - 1 of wColumn
  // (0-based columns) and wValue.
  std::vector<int> wStart;
  std::vector<int> wColumn;
  std::vector<double> wValue;
  bool bReady = false;
};

// Reads the products that do not change between placements (yWy, W) on the
// first placement, through the library's checked access, so that a
// misshapen input fails where it failed before.
void PrepareWork(SearchWork& w, const OneDimensionArray<double>& yWy, int S,
                 const NEWMAT::Matrix& W, int n) {
  w.yWy.assign(static_cast<size_t>(S), 0.0);
  for (int s = 1; s < S; ++s) w.yWy[static_cast<size_t>(s)] = yWy[s];
  w.wStart.assign(1, 0);
  w.wColumn.clear();
  w.wValue.clear();
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      const double dValue = W(i, j);
      if (dValue == 0.0) continue;
      w.wColumn.push_back(j - 1);
      w.wValue.push_back(dValue);
    }
    w.wStart.push_back(static_cast<int>(w.wColumn.size()));
  }
  w.residual.assign(static_cast<size_t>(n), 0.0);
  w.bReady = true;
}

// Series per block of SolveAllSeries: the block's slices of B, of the
// explained sums and of the q rows of Hc stay in the first-level cache.
constexpr int kSeriesBlock = 256;

// B = Ginv Hc row by row, with Hc's rows read in place from xtwy, in the
// order of the library's matrix product (b_is = sum over j of Ginv(i, j)
// Hc(j, s), j ascending); column 1 of B goes to w.beta and, for the other
// series, the explained sums b_s'Hc_s accumulate row by row. Each series'
// sums are independent of the others', so working through the series in
// blocks changes no result.
void SolveAllSeries(SearchWork& w, int q, int S) {
  double* b = w.bRow.data();
  double* e = w.explained.data();
  for (int s0 = 0; s0 < S; s0 += kSeriesBlock) {
    const int s1 = std::min(S, s0 + kSeriesBlock);
    for (int s = s0; s < s1; ++s) e[s] = 0.0;
    for (int i = 1; i <= q; ++i) {
      const double* g = RowOf(w.Ginv, i);
      const double* h = w.hRows[0];
      double f = g[0];
      for (int s = s0; s < s1; ++s) b[s] = f * h[s];
      for (int j = 1; j < q; ++j) {
        f = g[j];
        h = w.hRows[static_cast<size_t>(j)];
        for (int s = s0; s < s1; ++s) b[s] += f * h[s];
      }
      if (s0 == 0) w.beta(i) = b[0];
      const double* hi = w.hRows[static_cast<size_t>(i - 1)];
      for (int s = std::max(s0, 1); s < s1; ++s) e[s] += b[s] * hi[s];
    }
  }
}

// (y - X_c b)' W (y - X_c b), X_c read straight from allX and b = w.beta.
// Terms of W that are exactly zero contribute exactly nothing to a sum that
// starts at +0 while every residual is finite, so only the nonzero entries
// are visited; a non-finite residual takes the full product, which keeps
// its NaN.
double WeightedSSE(SearchWork& w, const NEWMAT::ColumnVector& y,
                   const NEWMAT::Matrix& allX, const std::vector<int>& columns,
                   const NEWMAT::Matrix& W) {
  const int n = y.Nrows();
  if (allX.Nrows() < n) static_cast<void>(allX(allX.Nrows() + 1, 1));
  for (const int c : columns) {
    if (c < 1 || c > allX.Ncols()) static_cast<void>(allX(1, c));
  }
  const int q = static_cast<int>(columns.size());
  bool bFinite = true;
  for (int i = 1; i <= n; ++i) {
    const double* x = RowOf(allX, i);
    double dFit = 0.0;
    for (int j = 0; j < q; ++j) {
      dFit += x[columns[static_cast<size_t>(j)] - 1] * w.beta(j + 1);
    }
    const double r = y(i) - dFit;
    w.residual[static_cast<size_t>(i - 1)] = r;
    if (!std::isfinite(r)) bFinite = false;
  }
  double dSSE = 0.0;
  for (int i = 1; i <= n; ++i) {
    double dRow = 0.0;
    if (bFinite) {
      for (int e = w.wStart[i - 1]; e < w.wStart[i]; ++e) {
        dRow += w.wValue[static_cast<size_t>(e)] *
                w.residual[static_cast<size_t>(w.wColumn[e])];
      }
    } else {
      for (int j = 1; j <= n; ++j) {
        dRow += W(i, j) * w.residual[static_cast<size_t>(j - 1)];
      }
    }
    dSSE += w.residual[static_cast<size_t>(i - 1)] * dRow;
  }
  return dSSE;
}

// Cuts v into consecutive pieces as long as the groups' vectors.
void CutIntoGroups(OneDimensionArray<NEWMAT::ColumnVector>& pieces,
                   const NEWMAT::ColumnVector& v,
                   const OneDimensionArray<NEWMAT::ColumnVector>& groups) {
  pieces.Resize(groups.GetSize());
  int iOffset = 0;
  for (int g = 0; g < groups.GetSize(); ++g) {
    const int iLength = groups[g].Nrows();
    NEWMAT::ColumnVector piece(iLength);
    for (int i = 1; i <= iLength; ++i) piece(i) = v(iOffset + i);
    pieces[g] = piece;
    iOffset += iLength;
  }
}

bool IsCancelled(const KmProgressInterface* progress) {
  return progress != nullptr && progress->IsCancelled();
}

// The confidence limits of test_TauStep (see the header), without its
// report of a passing standard exception.
void FillTauLimits(KinkMKFitResult& r, int32_t n,
                   const NEWMAT::ColumnVector& gridValues) {
  const int k = r.k;
  const int iDF = n - (r.p + 2 * k);
  const double s2 = iDF >= 1 ? r.sse / iDF : 0.0;
  // -1e30 for k = 0 or iDF <= 0; then k = 0 or s2 = 0 makes it vanish.
  const double F = calc_FQuantile(1.0 - r.alpha, k, iDF);
  const double dThreshold = r.sse + k * s2 * F;
  const NEWMAT::Matrix& profile = r.profile;
  const int m = profile.Nrows();
  r.tauLimits.ReSize(2, k);
  for (int j = 1; j <= k; ++j) {
    int lo = 0;
    int hi = 0;
    for (int row = 1; row <= m; ++row) {
      if (profile(row, j) <= dThreshold) {
        if (lo == 0) lo = row;
        hi = row;
      }
    }
    if (lo == 0) lo = 1;
    if (hi == 0) hi = m;
    // One step further out, unless that location was never fitted.
    if (lo > 1 && profile(lo - 1, j) != kNotVisited) --lo;
    if (hi < m && profile(hi + 1, j) != kNotVisited) ++hi;
    r.tauLimits(1, j) = gridValues(hi);
    r.tauLimits(2, j) = gridValues(lo);
  }
}

// The grid locations the jump model's search takes no kinkmark at. A kinkmark
// anywhere from the last observation before the jump location to the first
// observation at or after it gives the same fitted values: its hinge
// differs from the hinge at the earlier observation only by a constant on
// the observations the step covers, which the step absorbs. Those
// placements would tie, and the jump each reports would depend on which
// rounding won; the kinkmark is taken at the earlier observation, so a
// placement with a location strictly after it and at or before the later
// one is never the best of any series. It still counts in the profile,
// from which the kinkmark's interval comes: the data cannot tell those
// locations apart. Without observations on both sides of the jump none is
// left out.
std::vector<bool> StepTiedLocations(
    const NEWMAT::ColumnVector& gridValues,
    const OneDimensionArray<NEWMAT::ColumnVector>& groups,
    double dJumpLocation) {
  double dBefore = -INFINITY;
  double dAfter = INFINITY;
  for (int g = 0; g < groups.GetSize(); ++g) {
    for (int i = 1; i <= groups[g].Nrows(); ++i) {
      const double x = groups[g](i);
      if (x < dJumpLocation) dBefore = std::max(dBefore, x);
      if (x >= dJumpLocation) dAfter = std::min(dAfter, x);
    }
  }
  std::vector<bool> tied(static_cast<size_t>(gridValues.Nrows()) + 1, false);
  if (std::isinf(dBefore) || std::isinf(dAfter)) return tied;
  for (int c = 1; c <= gridValues.Nrows(); ++c) {
    tied[static_cast<size_t>(c)] =
        dBefore < gridValues(c) && gridValues(c) <= dAfter;
  }
  return tied;
}

// True when a kinkmark of placement T sits on a left-out location.
bool HoldsTiedLocation(const NEWMAT::ColumnVector& T,
                       const std::vector<bool>& tied) {
  for (int j = 1; j <= T.Nrows(); ++j) {
    if (tied[static_cast<size_t>(T(j))]) return true;
  }
  return false;
}

// True when some placement of the successor table holds no left-out
// location; when none does (a grid too short to leave them out), the
// search keeps every placement.
bool AnyUntiedPlacement(NEWMAT::ColumnVector T,
                        const NEWMAT::ColumnVector& successors,
                        const std::vector<bool>& tied) {
  if (!ForAllKinkMKAction::first_TauIndices(T, successors)) return false;
  do {
    if (!HoldsTiedLocation(T, tied)) return true;
  } while (ForAllKinkMKAction::next_TauIndices(T, successors));
  return false;
}

// The search itself (see the header); exceptions pass to findTheBestTau.
void SearchBestTau(const OneDimensionArray<NEWMAT::ColumnVector>& groups,
                   const OneDimensionArray<NEWMAT::ColumnVector>& series,
                   const KMRegFittingData& grid,
                   const KMRegModelSettings& settings, int32_t k, int32_t p,
                   const NEWMAT::Matrix& xtwx, const NEWMAT::Matrix& allX,
                   const NEWMAT::Matrix& xtwy,
                   const OneDimensionArray<double>& yWy,
                   OneDimensionArray<KinkMKFitResult>& results,
                   const NEWMAT::Matrix& W, KmProgressInterface* progress) {
  const int S = series.GetSize();
  if (S == 0) return;
  const int n = series[0].Nrows();
  ResizeResults(results, S);
  if (k < 0) k = 0;
  const NEWMAT::ColumnVector& gridValues = grid.candidates;
  const int m = gridValues.Nrows();

  for (int s = 0; s < S; ++s) {
    results[s].sse = INFINITY;
    results[s].p = p;
    results[s].k = k;
  }
  // More kinkmarks than grid locations: no placement exists. The records
  // say so by an infinite SSE rather than the 0.0 of a fresh record, which
  // would read as a perfect fit.
  if (k > m) return;

  KinkMKFitResult& best = results[0];
  const bool bJump = settings.jump != 0;
  const bool bSecond = settings.secondCrossProduct.Nrows() > 0 &&
                       settings.secondCrossProduct.Ncols() > 0;
  const NEWMAT::ColumnVector& y0 = series[0];

  NEWMAT::ColumnVector bestT(k);
  for (int j = 1; j <= k; ++j) bestT(j) = j;
  bool bHaveFit = false;

  NEWMAT::ColumnVector T(k);
  const NEWMAT::ColumnVector& successors = grid.candidateIndices;
  KmWorkProgress work(progress, km_models_internal::CountTauPlacements(
                                    k, successors, successors.Nrows()));
  if (ForAllKinkMKAction::first_TauIndices(T, successors)) {
    best.profile.ReSize(m, k);
    best.profile = kNotVisited;
    std::vector<int> columns;
    SearchWork w;
    std::vector<bool> tied(static_cast<size_t>(m) + 1, false);
    if (bJump) {
      tied = StepTiedLocations(gridValues, groups, settings.jumpLocation);
      if (!AnyUntiedPlacement(T, successors, tied))
        tied.assign(tied.size(), false);
    }
    do {
      const bool bTied = HoldsTiedLocation(T, tied);
      SelectColumns(columns, T, p, m, bJump);
      const int q = static_cast<int>(columns.size());
      SelectBlock(w.Gc, xtwx, columns);
      CheckReadable(xtwy, columns, S);
      if (!w.bReady) {
        PrepareWork(w, yWy, S, W, n);
        w.bRow.assign(static_cast<size_t>(S), 0.0);
        w.explained.assign(static_cast<size_t>(S), 0.0);
        w.seriesSSE.assign(static_cast<size_t>(S), INFINITY);
        w.beta.ReSize(q);
      }
      w.hRows.clear();
      for (const int r : columns) w.hRows.push_back(RowOf(xtwy, r));
      int16_t iRank = 0;
      // A singular G_c is used through its generalised inverse.
      ForAllKinkMKAction::isPositiveDefinite(q, w.Gc, w.Ginv, iRank);
      SolveAllSeries(w, q, S);

      const double dSSE = WeightedSSE(w, y0, allX, columns, W);
      if (!bTied && dSSE < best.sse) {
        best.sse = dSSE;
        bestT = T;
        best.beta = w.beta;
        best.xtwx = w.Gc;
        if (bSecond)
          SelectBlock(best.secondXtwx, settings.secondCrossProduct, columns);
        bHaveFit = true;
      }
      for (int j = 1; j <= k; ++j) {
        double& dProfile = best.profile(static_cast<int>(T(j)), j);
        if (dSSE < dProfile) dProfile = dSSE;
      }
      // The further series need only y'Wy - b'X'Wy.
      for (int s = 1; s < S && !bTied; ++s) {
        const size_t i = static_cast<size_t>(s);
        const double dSSEs = w.yWy[i] - w.explained[i];
        if (dSSEs < w.seriesSSE[i]) w.seriesSSE[i] = dSSEs;
      }
      work.StepIt();
      if (IsCancelled(progress)) break;
    } while (ForAllKinkMKAction::next_TauIndices(T, successors));
    if (w.bReady) {
      for (int s = 1; s < S; ++s) {
        results[s].sse = w.seriesSSE[static_cast<size_t>(s)];
      }
    }
  }

  // Locations of the best placement (the first k grid values when no
  // placement was admissible). Entries left after a cancellation stay 0.
  best.tau.ReSize(k);
  best.tau = 0.0;
  for (int j = 1; j <= k; ++j) {
    if (IsCancelled(progress)) break;
    best.tau(j) = gridValues(static_cast<int>(bestT(j)));
  }
  // Without a fitted placement there is no design, coefficient or profile
  // to work on: the record keeps its infinite SSE and empty fit members.
  if (!bHaveFit) return;

  std::vector<int> columns;
  SelectColumns(columns, bestT, p, m, bJump);
  const NEWMAT::ColumnVector fitted = SelectedDesign(allX, columns) * best.beta;
  const NEWMAT::ColumnVector residual = y0 - fitted;
  CutIntoGroups(best.fittedValues, fitted, groups);
  CutIntoGroups(best.residuals, residual, groups);

  best.alpha = settings.alpha;
  FillTauLimits(best, n, gridValues);

  if (bJump) {
    best.jumpVector.ReSize(9);
    best.jumpVector = 0.0;
    best.jumpVector(1) = best.beta(static_cast<int>(columns.size()));
  }
}

}  // namespace

void ForAllKinkMKAction::findTheBestTau(
    const OneDimensionArray<NEWMAT::ColumnVector>& groups,
    const OneDimensionArray<NEWMAT::ColumnVector>& series,
    const KMRegFittingData& grid, KMRegModelSettings settings, int32_t k,
    int32_t p, const NEWMAT::Matrix& xtwx, const NEWMAT::Matrix& allX,
    const NEWMAT::Matrix& xtwy, const OneDimensionArray<double>& yWy,
    OneDimensionArray<KinkMKFitResult>& results, const NEWMAT::Matrix& W,
    KmProgressInterface* progress) {
  // Matrix errors become a KmException outside the inner handlers, so the
  // converted exception carries no call-path line of its own.
  WithMatrixErrorsAsKm("ForAllKinkMKAction::findTheBestTau()", [&] {
    WithCallPath("findTheBestTau()", "ClassesKinkMarkCalculations.cpp", [&] {
      SearchBestTau(groups, series, grid, settings, k, p, xtwx, allX, xtwy, yWy,
                    results, W, progress);
    });
  });
}

void ForAllKinkMKAction::test_TauStep(KinkMKFitResult& r, int32_t n,
                                      const NEWMAT::ColumnVector& gridValues) {
  WithStandardCatch([&] { FillTauLimits(r, n, gridValues); });
}
