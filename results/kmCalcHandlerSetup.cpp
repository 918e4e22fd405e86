// kmCalcHandler, setup: the writing constructor, InitMembers, Setup,
// SetValidCohorts, SetupComparisonVector, UpdateDependentVariableLabel, the
// display-option getters and the comparability-ratio interval.
#include <string>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/kmRunProgressTrackers.h"
#include "results/kmCalcHandler.h"
#include "session/kmComparisonType.h"
#include "session/kmDependentType.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char kClassName[] = "kmCalcHandler";

const char kNoIndependentName[] = "temp indep var name";
const char kNoDependentName[] = "temp response var name";

// The label of the session's dependent-variable type; "" for a type
// without one.
KmString DependentTypeLabel(const kmSession& session) {
  const char* sLabel = kmDependentTypeText(session.Get<kmDependentType>());
  return KmString(sLabel != nullptr ? sLabel : "");
}

// The name of the variable playing iRole, "" when the role is unset.
KmString RoleVariableName(const kmSession& session, int iRole) {
  if (session.GetKMVarPosition(iRole) == 0) return KmString("");
  return session.GetKMVar(iRole).GetName();
}

// Position of the pair {a, b} (a < b) in the within-group order (0,1),
// (0,2), ..., (0,g-1), (1,2), ..., (g-2,g-1).
int64_t PairPosition(int64_t a, int64_t b, int64_t g) {
  return a * g - a * (a + 1) / 2 + (b - a - 1);
}

}  // namespace

const char* const kmCalcHandler::kFileVersionText = "4.900";
const char* const kmCalcHandler::kOldestReadableVersionText = "3.001";

void kmCalcHandler::InitMembers() {
  iState_ = kStateNone;
  lNumericPos_ = -1;
  lOffsetPos_ = -1;
  currentCalcData_ = kmCalcData();
  pFile_.reset();
  pSession_.reset();
  uiMaxObservations_ = 0;
  uiMinFieldCount_ = 65535;
  uiMinObservations_ = 0;
  vNumericData_.assign(4, 0.0);
  iFetchPercent_.store(0);
  // A handler that reads a second file must not keep display settings or
  // labels of the first where the new file stores fewer.
  graphOptions_ = GraphDisplayOptions();
  outputOptions_ = OutputDisplayOptions();
  sGraphIndependentLabel_ = "";
  sGraphDependentLabel_ = "";
  vCohortOffsets_.clear();
  vComparisonOffsets_.clear();
  iComparisonGroupSize_ = 0;
  vCohortComparisons_.clear();
  vFetched_.clear();
  combos_ = kmCombos(0);
  vValidCohorts_.clear();
  vCohortLabels_.clear();
  sFileName_ = "";
  lFileSize_ = -1;
  lRecordsStart_ = -1;
  vRecordStarts_.clear();
}

kmCalcHandler::kmCalcHandler(kmSession* pSession)
    : pProgress_(nullptr), combos_(0) {
  WithCallPath("kmCalcHandler(kmSession*)", kClassName, [&] {
    InitMembers();
    if (pSession == nullptr) {
      GenerateKmException(
          "Cannot create a kmCalcHandler without a valid session pointer.",
          kClassName);
    }
    pOwnedProgress_ = std::make_unique<kmProgressTracker>();
    pProgress_ = pOwnedProgress_.get();
    Setup(pSession);
  });
}

kmCalcHandler::~kmCalcHandler() { Free(); }

KmProgressInterface* kmCalcHandler::GetProgressInterface() {
  return pProgress_ != nullptr ? pProgress_ : &nullProgress_;
}

void kmCalcHandler::Setup(kmSession* pSession) {
  WithCallPath("Setup()", kClassName, [&] {
    if (pSession == nullptr)
      GenerateKmException("Invalid kmSession.", kClassName);
    pSession_ = std::make_unique<kmSession>(*pSession);
    const kmSession& session = *pSession_;

    KmString sIndependent = RoleVariableName(session, kmVarIndependent);
    if (sIndependent.IsEmpty()) sIndependent = kNoIndependentName;
    graphOptions_.SetString(GraphDisplayOptions::kIndependentNameString,
                            sIndependent);
    sGraphIndependentLabel_ = sIndependent;

    graphOptions_.SetBool(GraphDisplayOptions::kGraphFlagOption,
                          session.GetBool(kmOptGraphFlag));

    KmString sDependent = session.GetBool(kmOptDependentCalculated)
                              ? DependentTypeLabel(session)
                              : RoleVariableName(session, kmVarDependent);
    if (sDependent.IsEmpty()) sDependent = kNoDependentName;
    graphOptions_.SetString(GraphDisplayOptions::kDependentNameString,
                            sDependent);
    sGraphDependentLabel_ = sDependent;
  });
}

void kmCalcHandler::SetValidCohorts(const KmVector<bool>& vFlags,
                                    const KmVector<KmString>& vLabels) {
  WithCallPath("SetValidCohorts()", kClassName, [&] {
    // The file stores the labels without a count of their own: the reader
    // takes one per flag, so lists of different lengths would make every
    // later block of the file unreadable.
    if (vFlags.size() != vLabels.size()) {
      GenerateKmExceptionF(
          "The number of cohort labels (%d) does not match the number of "
          "valid-cohort flags (%d).",
          kClassName, static_cast<int>(vLabels.size()),
          static_cast<int>(vFlags.size()));
    }
    vValidCohorts_ = vFlags;
    vCohortLabels_ = vLabels;
  });
}

void kmCalcHandler::SetupComparisonVector(int32_t iGroupSize,
                                          kmCombos* pCombos) {
  WithCallPath("SetupComparisonVector()", kClassName, [&] {
    if (pCombos == nullptr)
      GenerateKmException("Invalid kmCombos.", kClassName);
    if (!pSession_)
      GenerateKmException("The handler has no session.", kClassName);
    KmProgressInterface* pProgress = GetProgressInterface();
    const int32_t n = static_cast<int32_t>(vValidCohorts_.size());
    const bool bPairwise =
        pSession_->Get<kmComparisonType>() == kmComparisonType::kPairwise;
    // A group size of 0 means no comparisons. Groups must tile the cohorts:
    // a last, short group would name cohorts that do not exist.
    if (bPairwise &&
        (iGroupSize < 0 || (iGroupSize > 0 && n % iGroupSize != 0))) {
      GenerateKmExceptionF(
          "Cannot build pairwise comparisons: %d cohorts do not form groups "
          "of %d.",
          kClassName, n, iGroupSize);
    }
    const bool bPairs = bPairwise && iGroupSize > 0;
    const int64_t g = iGroupSize;
    const int64_t iPairsPerGroup = g * (g - 1) / 2;
    if (bPairs && (n / g) * iPairsPerGroup > INT32_MAX) {
      GenerateKmExceptionF(
          "Cannot build pairwise comparisons: %d cohorts in groups of %d give "
          "too many comparisons.",
          kClassName, n, iGroupSize);
    }

    iComparisonGroupSize_ = iGroupSize;
    vCohortComparisons_.clear();

    if (bPairwise) pProgress->StepBy(5);
    pCombos->ResetComparisons();
    if (bPairwise) pProgress->StepBy(5);

    pCombos->ResetCohortIndices();
    for (int32_t c = 0; c < n && !pProgress->IsCancelled(); ++c) {
      pCombos->AddCohortIndices(KmVector<int>{c});
    }

    if (bPairwise) pProgress->StepBy(5);
    if (bPairs) {
      for (int32_t b = 0; b < n && !pProgress->IsCancelled(); b += iGroupSize) {
        for (int32_t i = b; i < b + iGroupSize; ++i) {
          for (int32_t j = i + 1; j < b + iGroupSize; ++j) {
            pCombos->AddComparison(KmVector<int>{i, j});
            pCombos->AddCohortIndices(KmVector<int>{i, j});
          }
        }
      }
    }

    const int32_t iStep = n < 50 ? 1 : n / 50;
    for (int32_t c = 0; c < n && !pProgress->IsCancelled(); ++c) {
      KmVector<KmVector<int> > vRows;
      vRows.push_back(KmVector<int>{c});
      if (bPairs) {
        const int32_t r = c % iGroupSize;
        const int64_t q = c / iGroupSize;
        for (int32_t v = 0; v < iGroupSize; ++v) {
          if (v == r) continue;
          const int64_t t = PairPosition(v < r ? v : r, v < r ? r : v, g);
          vRows.push_back(KmVector<int>{
              c, c + (v - r), static_cast<int>(q * iPairsPerGroup + t)});
        }
      }
      vCohortComparisons_.push_back(vRows);
      if (bPairwise && (c + 1) % iStep == 0) pProgress->StepBy(1);
    }
  });
}

void kmCalcHandler::UpdateDependentVariableLabel() {
  WithCallPath("UpdateDependentVariableLabel()", kClassName, [&] {
    if (!pSession_) return;
    if (pSession_->GetBool(kmOptVarNamesIncluded)) return;
    if (!sGraphDependentLabel_.StartsWith("Column")) return;
    const KmString sLabel = DependentTypeLabel(*pSession_);
    if (sLabel.IsEmpty()) return;
    graphOptions_.SetString(GraphDisplayOptions::kDependentNameString, sLabel);
    sGraphDependentLabel_ = sLabel;
  });
}

bool kmCalcHandler::GetBoolDisplayOption(int32_t iId) const {
  return WithCallPath("GetBoolDisplayOption()", kClassName,
                      [&]() -> bool { return outputOptions_.GetBool(iId); });
}

int32_t kmCalcHandler::GetIntDisplayOption(int32_t iId) const {
  return WithCallPath("GetIntDisplayOption()", kClassName,
                      [&]() -> int32_t { return outputOptions_.GetInt(iId); });
}

void kmCalcHandler::CalculateComparabilityRatioCI(kmTable& model) {
  WithCallPath("CalculateComparabilityRatioCI()", kClassName, [&] {
    if (!pSession_)
      GenerateKmException("The handler has no session.", kClassName);
    if (pCRCalculator_ == nullptr) {
      GenerateKmException(
          "No comparability-ratio calculator has been installed.", kClassName);
    }
    pCRCalculator_(pSession_.get(), model, pSession_->GetDouble(kmOptCRValue),
                   pSession_->GetDouble(kmOptCRVariance),
                   pSession_->GetDouble(kmOptJumpCRAlpha));
  });
}
