// kmPairwiseComparison: the constructor, PairData::IsInstalled,
// SetTwoGroupMatrices, AddBadComparison and TwoGroupComp, the pass over
// every pair of the results file's comparison list.
//
// A pair is fitted only when both cohorts are good and have the same
// observation count and independent values: the stacked design uses one
// set of x values for both halves, so any other pair is recorded as a bad
// comparison instead of being fitted on the wrong x.
//
// The pairs are independent (each seeds its own generator), so the good
// ones are fitted on a thread pool, each by a calculator and a comparison
// of its own that read the cohorts' data from this one, while this thread
// writes the records in list order as they are finished. The records are
// the same whatever the number of workers.
#include <newmat.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "engine/kmCalculator.h"
#include "engine/kmFinishedResults.h"
#include "engine/kmPairwiseComparison.h"
#include "engine/kmRatioDisplay.h"
#include "engine/thread_pool.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/KmProgressInterface.h"
#include "results/kmCalcData.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

// The class text of call-path lines and messages, as the error files have
// always carried it.
constexpr const char* kClassName = "kmCalculator";
constexpr const char* kInvalidPair =
    "One or more of the comparison cohorts is invalid.";
constexpr const char* kDifferentX =
    "The comparison cohorts do not have the same independent values.";
constexpr const char* kUserWeights =
    "Pairwise comparisons cannot use a user-supplied variance-covariance "
    "matrix.";
constexpr const char* kCancelledPair = "The comparison was cancelled.";
// An observed value or standard error a placeholder row has none of.
constexpr double kNoObservation = -1e30;

// The number of rows a cohort filled in its design: the reader writes 1.0
// into column 1 of every row it stores and leaves the others 0.
int FilledRows(const Matrix& mDesign) {
  int m = 0;
  while (m < mDesign.Nrows() && mDesign(m + 1, 1) != 0.0) ++m;
  return m;
}

bool SameX(double a, double b) {
  return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(a));
}

// The observations of a cohort (design X, responses Y, standard errors S)
// at the independent values of mDesign, as a placeholder shows them: on
// the data's own scale (the responses of a cohort read for fitting under a
// log-linear model are logarithms; those of a refused cohort were never
// transformed; with pRatio, the values the ratio adjusted are divided
// back), and missing where the cohort has no observation at that value (its
// rows end earlier or its years differ from the first cohort's).
void ObserveAt(const Matrix& X, const Matrix& Y, const Matrix& S,
               bool bLogScale, const kmRatioDisplay* pRatio,
               const Matrix& mDesign, Matrix& mY, Matrix& mSE) {
  const int m = mDesign.Nrows();
  mY.ReSize(m, 1);
  mSE.ReSize(m, 1);
  mY = kNoObservation;
  mSE = kNoObservation;
  const int n = std::min({FilledRows(X), Y.Nrows(), S.Nrows()});
  // Both sets of independent values are sorted: one walk matches them.
  int j = 1;
  for (int r = 1; r <= m; ++r) {
    const double x = mDesign(r, 2);
    while (j <= n && X(j, 2) < x && !SameX(X(j, 2), x)) ++j;
    if (j > n || !SameX(X(j, 2), x)) continue;
    const double y = bLogScale ? std::exp(Y(j, 1)) : Y(j, 1);
    mY(r, 1) = pRatio != nullptr ? pRatio->Shown(x, y) : y;
    mSE(r, 1) = pRatio != nullptr
                    ? pRatio->ShownSE(x, y, S(j, 1), kNoObservation)
                    : S(j, 1);
  }
}

// One pair of the list and whether it can be fitted.
struct Pair {
  int a = 0;
  int b = 0;
  // Observations of the first cohort (0 when it has no data).
  int m = 0;
  // Why the pair cannot be compared, or null.
  const char* sProblem = nullptr;
  int K0 = 0;
};

// The plan of comparison c: its cohorts, whether it can be fitted and its
// K0. designOf(i) is the design of cohort i, null when its data are
// incomplete.
Pair Plan(const std::function<const Matrix*(int)>& designOf,
          const kmSession& session, const kmCombos& combos, int c,
          const KmVector<bool>& vGood, const ColumnVector& vFinalModels) {
  Pair p;
  const KmVector<int> pair = combos.GetComparison(c);
  p.a = pair[0];
  p.b = pair[1];
  const Matrix* pXa = designOf(p.a);
  const Matrix* pXb = designOf(p.b);
  if (pXa != nullptr) p.m = FilledRows(*pXa);
  auto good = [&](int i, const Matrix* pX) {
    return pX != nullptr && static_cast<size_t>(i) < vGood.size() && vGood[i];
  };
  if (!good(p.a, pXa) || !good(p.b, pXb)) {
    p.sProblem = kInvalidPair;
    if (pXb == nullptr) p.m = 0;
    return p;
  }
  const Matrix& Xa = *pXa;
  const Matrix& Xb = *pXb;
  bool bSame = FilledRows(Xb) == p.m && p.m >= 2;
  for (int r = 1; bSame && r <= p.m; ++r) bSame = SameX(Xa(r, 2), Xb(r, 2));
  if (!bSame) {
    p.sProblem = kDifferentX;
  } else if (session.Get<kmAutocorrErrors>() ==
             kmAutocorrErrors::kVarCovMatrix) {
    p.sProblem = kUserWeights;
  } else {
    p.K0 = static_cast<int>(
        std::max(vFinalModels(p.a + 1), vFinalModels(p.b + 1)));
  }
  return p;
}

// Fits one good pair into its record, reporting to the given progress.
using PairFit =
    std::function<void(const Pair&, kmCalcData&, KmProgressInterface&)>;

// The progress interface of a pair fitted on a worker: it reports the run's
// cancellation (or an abandoned pass) and records nothing, since several
// pairs run at once.
class PairProgress : public KmNullProgress {
 public:
  PairProgress(const KmProgressInterface* pTracker,
               const std::atomic<bool>* pAbandoned)
      : pTracker_(pTracker), pAbandoned_(pAbandoned) {}
  bool IsCancelled() const override {
    return pTracker_->IsCancelled() || pAbandoned_->load();
  }

 private:
  const KmProgressInterface* pTracker_;
  const std::atomic<bool>* pAbandoned_;
};

// Fits the good pairs of plans on a pool of iWorkers threads started by
// the returned thread, each by fitPair; each record goes to records as it
// is finished.
std::thread StartPairPool(const std::vector<Pair>& plans, int16_t iWorkers,
                          const KmProgressInterface* pTracker,
                          const std::atomic<bool>* pAbandoned,
                          kmFinishedResults& records,
                          std::exception_ptr& failure, PairFit fitPair) {
  auto pPool = std::make_shared<thread_pool>();
  for (size_t c = 0; c < plans.size(); ++c) {
    if (plans[c].sProblem != nullptr) continue;
    pPool->submit([&plans, pTracker, pAbandoned, &records, c, fitPair] {
      try {
        // A pair cancelled before its fit is done without a record.
        std::unique_ptr<kmCalcData> pRecord;
        PairProgress progress(pTracker, pAbandoned);
        if (!progress.IsCancelled()) {
          pRecord = std::make_unique<kmCalcData>();
          fitPair(plans[c], *pRecord, progress);
        }
        records.StoreFinishedResult(static_cast<int>(c), std::move(pRecord));
      } catch (...) {
        records.Close();
        throw;
      }
    });
  }
  return std::thread([pPool, iWorkers, &records, &failure] {
    try {
      pPool->start(iWorkers);
    } catch (...) {
      failure = std::current_exception();
      records.Close();
    }
  });
}

// Copies of the objects of vSource (null stays null).
template <typename T>
std::vector<std::unique_ptr<T>> CopyArray(
    const std::vector<const T*>& vSource) {
  std::vector<std::unique_ptr<T>> copies(vSource.size());
  for (size_t i = 0; i < vSource.size(); ++i) {
    if (vSource[i] != nullptr) copies[i] = std::make_unique<T>(*vSource[i]);
  }
  return copies;
}

}  // namespace

kmPairwiseComparison::kmPairwiseComparison(kmCalculator& calc) : calc_(calc) {}

const Matrix* kmPairwiseComparison::CompleteGroupDesign(int i) const {
  if (i < 0 || i >= iNumGroups_) return nullptr;
  const size_t u = static_cast<size_t>(i);
  if (vGroupDesigns_[u] == nullptr || vGroupResponses_[u] == nullptr ||
      vGroupStdErrors_[u] == nullptr || vGroupWeights_[u] == nullptr) {
    return nullptr;
  }
  return vGroupDesigns_[u].get();
}

// Installs the pair (a, b) of source's cohort data as the pair in hand: the
// first cohort's design, both cohorts' responses, weights and standard
// errors (the second cohort's cut or padded with 0 to m rows), and m as the
// observation count per cohort.
void kmPairwiseComparison::InstallPair(const kmPairwiseComparison& source,
                                       int a, int b, int m) {
  PairData& pair = pair_;
  const size_t ua = static_cast<size_t>(a);
  const size_t ub = static_cast<size_t>(b);
  pair.mDesign = source.vGroupDesigns_[ua]->SubMatrix(1, m, 1, 2);
  pair.mFirstResponse = source.vGroupResponses_[ua]->SubMatrix(1, m, 1, 1);
  pair.mFirstStdErrors = source.vGroupStdErrors_[ua]->SubMatrix(1, m, 1, 1);
  pair.vFirstWeights = source.vGroupWeights_[ua]->Rows(1, m);
  const int mb = std::min(m, source.vGroupResponses_[ub]->Nrows());
  Matrix yb(m, 1), sb(m, 1);
  ColumnVector wb(m);
  yb = 0.0;
  sb = 0.0;
  wb = 0.0;
  if (mb > 0) {
    yb.SubMatrix(1, mb, 1, 1) =
        source.vGroupResponses_[ub]->SubMatrix(1, mb, 1, 1);
    sb.SubMatrix(1, mb, 1, 1) =
        source.vGroupStdErrors_[ub]->SubMatrix(1, mb, 1, 1);
    wb.Rows(1, mb) = source.vGroupWeights_[ub]->Rows(1, mb);
  }
  pair.mSecondResponse = yb;
  pair.mSecondStdErrors = sb;
  pair.vSecondWeights = wb;
  pair.iObsPerCohort = static_cast<int16_t>(m);
  const kmSession& session = *source.calc_.GetCalcSession();
  pair.bRatioShown[0] = kmRatioDisplay::ShowsCopy(session, a);
  pair.bRatioShown[1] = kmRatioDisplay::ShowsCopy(session, b);
}

bool kmPairwiseComparison::PairData::IsInstalled() const {
  const int m = iObsPerCohort;
  return m >= 1 && mDesign.Nrows() >= m && mFirstResponse.Nrows() >= m &&
         vFirstWeights.Nrows() >= m && mFirstStdErrors.Nrows() >= m &&
         mSecondResponse.Nrows() >= m && vSecondWeights.Nrows() >= m &&
         mSecondStdErrors.Nrows() >= m;
}

void kmPairwiseComparison::SetTwoGroupMatrices(
    int iNumGroupsIn, int iGroupValueIn, const GroupArray<Matrix>& vX,
    const GroupArray<Matrix>& vY, const GroupArray<ColumnVector>& vWeights,
    const GroupArray<Matrix>& vAux) {
  WithCallPath("SetTwoGroupMatrices()", kClassName, [&] {
    if (iNumGroupsIn < 0) {
      GenerateKmExceptionF("Invalid number of groups: %d.", kClassName,
                           iNumGroupsIn);
    }
    const size_t iCount = static_cast<size_t>(iNumGroupsIn);
    if (vX.size() != iCount || vY.size() != iCount ||
        vWeights.size() != iCount || vAux.size() != iCount) {
      GenerateKmExceptionF("Each per-group array must hold %d elements.",
                           kClassName, iNumGroupsIn);
    }
    WithMatrixErrorsAsKm("kmCalculator::SetTwoGroupMatrices()", [&] {
      ReleaseGroupArrays();
      iNumGroups_ = iNumGroupsIn;
      iGroupValue_ = iGroupValueIn;
      vGroupDesigns_ = CopyArray(vX);
      vGroupResponses_ = CopyArray(vY);
      vGroupWeights_ = CopyArray(vWeights);
      vGroupStdErrors_ = CopyArray(vAux);
    });
  });
}

void kmPairwiseComparison::ReleaseGroupArrays() {
  vGroupDesigns_.clear();
  vGroupResponses_.clear();
  vGroupStdErrors_.clear();
  vGroupWeights_.clear();
}

void kmPairwiseComparison::AddBadComparison(kmCalcData* pCalcData) {
  WithCallPath("AddBadComparison()", kClassName, [&] {
    if (pCalcData == nullptr) {
      GenerateKmException("No result record was given.", kClassName);
    }
    const PairData& pair = pair_;
    const int n = pair.iObsPerCohort;
    if (!pair.IsInstalled()) {
      GenerateKmException(
          "The comparison's observations must be loaded before a "
          "placeholder record is built.",
          kClassName);
    }
    WithMatrixErrorsAsKm("kmCalculator::AddBadComparison()", [&] {
      // Both groups' rows are kept: the record is the only place the
      // report can show the data of a comparison it could not compute.
      Matrix mRows(2 * n, 4);
      kmCalculator::FillPlaceholderRows(
          mRows, 1, n, pair.mDesign, pair.mFirstResponse, pair.mFirstStdErrors);
      kmCalculator::FillPlaceholderRows(mRows, n + 1, n, pair.mDesign,
                                        pair.mSecondResponse,
                                        pair.mSecondStdErrors);
      kmTable table;
      table.SetNObs(static_cast<int16_t>(n));
      table.SetData(mRows);
      pCalcData->vModels.push_back(table);
    });
  });
}

void kmPairwiseComparison::TwoGroupComp(KmProgressInterface* pTracker,
                                        const ColumnVector& vFinalModels,
                                        KmVector<bool> vGoodFlags) {
  WithCallPath("TwoGroupComp()", kClassName, [&] {
    if (pTracker == nullptr) {
      GenerateKmException("The comparison pass needs a progress tracker.",
                          kClassName);
    }
    KmProgressInterface* pSub = pTracker->AcquireSubProgressInterface();
    if (iNumGroups_ < 2) {
      GenerateKmException("Not enough byGroups to compare.", "TwoGroupComp()");
    }
    kmSession* pSession = calc_.GetCalcSession();
    const kmCombos combos = *calc_.GetCalcHandler()->GetCombos();
    const int iNumComparisons = combos.GetNumComparisons();
    const int G = combos.GetNumCombinations();
    // A good cohort was read for fitting: under a log-linear model its
    // responses are logarithms.
    const bool bLog = pSession->GetBool(kmOptLogLinear);
    // Its values before the jump location were adjusted by the ratio as
    // well: they are shown divided back, as the cohort's own rows show them.
    const kmRatioDisplay ratio(*pSession);
    auto observePlaceholder = [&](int i, Matrix& mY, Matrix& mSE) {
      const size_t u = static_cast<size_t>(i);
      const bool bGood = u < vGoodFlags.size() && vGoodFlags[u];
      ObserveAt(
          *vGroupDesigns_[u], *vGroupResponses_[u], *vGroupStdErrors_[u],
          bLog && bGood,
          bGood && kmRatioDisplay::ShowsCopy(*pSession, i) ? &ratio : nullptr,
          pair_.mDesign, mY, mSE);
    };
    pSub->SetPosition(0);
    WithMatrixErrorsAsKm("kmCalculator::TwoGroupComp()", [&] {
      std::vector<Pair> plans;
      const auto designOf = [this](int i) { return CompleteGroupDesign(i); };
      for (int c = 0; c < iNumComparisons; ++c) {
        plans.push_back(
            Plan(designOf, *pSession, combos, c, vGoodFlags, vFinalModels));
      }
      // Each pair has a calculator and a comparison of its own, which read
      // the cohorts' data from this one.
      kmCalcHandler* pHandler = calc_.GetCalcHandler();
      const PairFit fitPair = [this, pHandler](const Pair& p,
                                               kmCalcData& record,
                                               KmProgressInterface& progress) {
        kmCalculator workerCalc(nullptr, pHandler);
        kmPairwiseComparison worker(workerCalc);
        WithMatrixErrorsAsKm("kmCalculator::TwoGroupComp()",
                             [&] { worker.InstallPair(*this, p.a, p.b, p.m); });
        worker.CompMod(&record, &progress, p.K0);
      };
      std::atomic<bool> bAbandoned(false);
      kmFinishedResults records(iNumComparisons);
      std::exception_ptr failure;
      std::thread pool = StartPairPool(plans, pSession->GetNumCores(), pTracker,
                                       &bAbandoned, records, failure, fitPair);
      try {
        for (int c = 0; c < iNumComparisons; ++c) {
          const Pair& p = plans[c];
          kmCalcData& record = calc_.GetCalcHandler()->GetCurrentCalcData();
          bool bFitted = false;
          if (p.sProblem == nullptr) {
            KmString sText("Processing comparison between By-group ");
            sText << p.a << " and " << p.b << " : " << (c + 1) << " of "
                  << iNumComparisons;
            pTracker->SetProcessText(sText.GetCString());
            std::unique_ptr<kmCalcData> pRecord;
            if (!records.WaitAndTake(c, pRecord)) break;  // a worker failed
            bFitted = pRecord != nullptr;
            if (bFitted) record = *pRecord;
          }
          if (!bFitted) {
            // Not fitted: a placeholder of this pair's own, never the record
            // of an earlier pair again.
            record = kmCalcData();
            if (p.m >= 1) {
              InstallPair(*this, p.a, p.b, p.m);
              observePlaceholder(p.a, pair_.mFirstResponse,
                                 pair_.mFirstStdErrors);
              observePlaceholder(p.b, pair_.mSecondResponse,
                                 pair_.mSecondStdErrors);
              AddBadComparison(&record);
            }
            record.bValid = false;
            record.SetCohortBadDescription(
                KmString(p.sProblem != nullptr ? p.sProblem : kCancelledPair));
          } else if (!pTracker->IsCancelled()) {
            const int iPercent = static_cast<int>(static_cast<double>(c + 1) /
                                                  iNumComparisons * 100.0);
            pTracker->SetPosition(std::min(100, iPercent));
          } else {
            pTracker->SetProcessText("Canceling...");
          }
          record.SetCohortLabel(
              combos.GetCohortLabelEachLevel(p.a, p.b, pSession));
          record.bComparison = true;
          calc_.GetCalcHandler()->WriteComparisonCalcData();
          pTracker->SetPosition((G + 1 + c) * 1000);
        }
      } catch (...) {
        bAbandoned = true;
        pool.join();
        throw;
      }
      pool.join();
      if (failure) std::rethrow_exception(failure);
    });
  });
}
