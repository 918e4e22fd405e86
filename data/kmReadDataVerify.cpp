// kmReadData: the verification pass over the whole data set
// (VerifyDelayRateCalcNEW) and the cohort error list (ProcessCohortError).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "data/internal/kmCohortReadHelpers.h"
#include "data/kmCohortDataManager.h"
#include "data/kmReadData.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/kmTools.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"
#include "session/kmAnalysisCopies.h"
#include "session/kmComparisonType.h"
#include "session/kmDelayType.h"
#include "session/kmDependentType.h"
#include "session/kmFitMethod.h"
#include "session/kmJumpCRMode.h"
#include "session/kmModelSelection.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"

namespace {

const char kClassName[] = "kmReadData";
const char kVerifySource[] = "VerifyDelayRateCalc()";
// The call-path line of the verification pass.
const char kVerifyMethod[] = "VerifyDelayRateCalcNEW(KmString&, bool)";

// More selected cohorts than this raise the large-run question.
constexpr int kLargeRunCohorts = 100;
// Code of the large-run question.
constexpr int kLargeRunQuestionCode = 4;

// The run-type suffix of analysis iAnalysis of a cohort in the cohort
// error list: " Jump", " Comparability Ratio", " Standard", or "" for a
// run without such analyses or an iAnalysis outside them (-1 names none).
const char* AnalysisLabel(const kmAnalysisCopies& copies, int iAnalysis) {
  if (iAnalysis < 0 || iAnalysis >= copies.NumAnalyses()) return "";
  if (copies.IsJumpCopy(iAnalysis)) return " Jump";
  if (copies.IsComparabilityRatioCopy(iAnalysis)) {
    return " Comparability Ratio";
  }
  return copies.IsStandardBesideJumpOrRatio(iAnalysis) ? " Standard" : "";
}

// The variable locations of the two analysis variants of a cohort.
struct VariantLocations {
  int iDependent1 = 0;
  int iStdError1 = 0;
  int iDependent2 = 0;
  int iStdError2 = 0;
  int iAdjust = 0;
};

// Throws, as an input error, the refusal of a cohort that the session's
// per-cohort lists do not know: the file yields more cohorts than the
// pre-read found (by-variables not sorted, or read differently).
[[noreturn]] void ThrowByVariableProblem(KmString& sMessage, int iCohort) {
  sMessage.Clear();
  sMessage << "There seems to be a problem with one of your By Variables, "
              "possibly due to a non-numeric value or due to the values being "
              "sorted incorrectly (Cohort = "
           << iCohort
           << ").  Kinkmark cannot run with the selected By Variables.";
  GenerateKmInputExceptionF("%s", kVerifySource, sMessage.GetCString());
}

// Throws sText as an input error after copying it into sMessage.
[[noreturn]] void ThrowInputError(KmString& sMessage, const char* sText) {
  sMessage = sText;
  GenerateKmInputExceptionF("%s", kVerifySource, sText);
}

// True when a combination after the first differs from first only in the
// inner-most code: the inner-most by-variable has a second category, which
// the records do not put next to the first.
bool HasLaterCategory(const kmCombos& combos, const KmVector<int>& first) {
  for (int32_t i = 1; i < combos.GetNumCombinations(); ++i) {
    const KmVector<int> other = combos.GetCombination(i);
    if (other.size() != first.size() || first.empty()) continue;
    bool bSame = other[static_cast<int32_t>(first.size() - 1)] !=
                 first[static_cast<int32_t>(first.size() - 1)];
    for (size_t j = 0; bSame && j + 1 < first.size(); ++j) {
      bSame = other[static_cast<int32_t>(j)] == first[static_cast<int32_t>(j)];
    }
    if (bSame) return true;
  }
  return false;
}

// The sentence for records that are not sorted by the first nByVars
// by-variables in the session's order.
KmString UnsortedByVariables(const kmSession& session, int nByVars) {
  KmString sNames;
  for (int b = 0; b < nByVars; ++b) {
    sNames << (b == 0 ? "" : ", then ")
           << session.GetByVar(static_cast<int16_t>(b)).GetName();
  }
  KmString sText;
  sText << "The inner-most by variable "
        << session.GetByVar(static_cast<int16_t>(nByVars - 1)).GetName()
        << " has more than one category, but the records are not sorted by the "
           "by variables in the session's "
           "order: sort the data file by "
        << sNames
        << ", or name the by variables in the session file in the order "
           "the data file is sorted by.";
  return sText;
}

// Refuses, as an input error, a comparability-ratio analysis whose ratio is
// not above 0: the values before the jump are multiplied by the ratio and
// later divided by it, so a ratio of 0 (the value when none is given) would
// turn them into zeros and the reported values into NaN.
void RequirePositiveRatio(const kmSession& session) {
  const kmAnalysisCopies copies(session);
  bool bRatioCopy = false;
  for (int iCopy = 0; iCopy < copies.NumAnalyses(); ++iCopy) {
    bRatioCopy = bRatioCopy || copies.IsComparabilityRatioCopy(iCopy);
  }
  const double dRatio = session.GetDouble(kmOptCRValue);
  if (!bRatioCopy || dRatio > 0.0) return;
  GenerateKmInputExceptionF(
      "The comparability ratio value must be greater than 0 for a "
      "comparability-ratio analysis; it is %g.",
      kVerifySource, dRatio);
}

// True when the location dAt lies outside a cohort's span of independent
// values (each plus dShift), which dFirst and dLast receive: before the
// first, or (bFirstInside false) on it, or on or after the last. False when
// dAt is NaN (the run has no analyses of that location) or no record has an
// independent field.
bool LocationOutside(const kmSession& session, const kmCohortRows& rows,
                     int iIndependentLoc, double dShift, double dAt,
                     bool bFirstInside, double& dFirst, double& dLast) {
  dFirst = std::numeric_limits<double>::infinity();
  dLast = -dFirst;
  if (std::isnan(dAt) || iIndependentLoc < 1) return false;
  for (const kmRecordRow& row : rows) {
    if (static_cast<int>(row.size()) < iIndependentLoc) continue;
    const double x = km_read_internal::IndependentValue(
                         session, row[static_cast<size_t>(iIndependentLoc - 1)],
                         kVerifySource) +
                     dShift;
    dFirst = std::min(dFirst, x);
    dLast = std::max(dLast, x);
  }
  const bool bAfterFirst = bFirstInside ? dFirst <= dAt : dFirst < dAt;
  return dFirst <= dLast && !(bAfterFirst && dAt < dLast);
}

// The refusal of a cohort's jump analyses when the jump location dJumpAt
// does not lie strictly between the cohort's first and last independent
// values (as fitted: shifted by kmOptDataShift): with no observation on
// one side the jump cannot be estimated. "" when it does, or when dJumpAt
// is NaN (no jump analyses).
KmString JumpLocationRefusal(const kmSession& session, const kmCohortRows& rows,
                             int iIndependentLoc, double dJumpAt) {
  KmString sRefusal;
  double dFirst = 0.0;
  double dLast = 0.0;
  if (!LocationOutside(session, rows, iIndependentLoc,
                       session.GetDouble(kmOptDataShift), dJumpAt, false,
                       dFirst, dLast)) {
    return sRefusal;
  }
  sRefusal.printf(
      "The jump location %g does not lie strictly between the cohort's first "
      "and last independent values (%g to %g), so the jump cannot be "
      "estimated. Set \"jump location\" in the run options to a value "
      "inside the data, otherwise Kinkmark will not process this cohort's "
      "jump model.",
      dJumpAt, dFirst, dLast);
  return sRefusal;
}

// The note of a cohort's comparability-ratio analyses when the ratio, which
// adjusts the values at or before dRatioAt (as read, unshifted), adjusts
// none of the cohort's values or every one of them: no break of the data
// then lies within the cohort. "" otherwise, or when dRatioAt is NaN (no
// comparability-ratio analyses).
KmString RatioLocationNote(const kmSession& session, const kmCohortRows& rows,
                           int iIndependentLoc, double dRatioAt) {
  KmString sNote;
  double dFirst = 0.0;
  double dLast = 0.0;
  if (!LocationOutside(session, rows, iIndependentLoc, 0.0, dRatioAt, true,
                       dFirst, dLast)) {
    return sNote;
  }
  const bool bNone = dRatioAt < dFirst;
  sNote.printf(
      "The jump location %g %s the cohort's %s independent value (%g to "
      "%g): the comparability ratio adjusted %s of its values, so no break "
      "in the data lies within the cohort for the ratio to bridge.",
      dRatioAt, bNone ? "lies before" : "is not before",
      bNone ? "first" : "last", dFirst, dLast, bNone ? "none" : "every one");
  return sNote;
}

// The refusal of a cohort whose iObservations observations cannot hold
// iKinkmarks kinkmarks (the minimum; in a clustering run the maximum),
// which need lNeed observations; iPlaceable kinkmarks is what the cohort's
// maximum allows. Names the run options that would let the cohort be
// fitted, or, for fewer than 3 observations, says that none would. A
// clustering run takes its options from its saved session alone (a
// run-options file turns the clustering off), so its refusal says how to
// give that session a maximum the cohort holds.
KmString TooFewObservationsText(int64_t lNeed, int iObservations,
                                int iPlaceable, int iKinkmarks,
                                bool bClustering) {
  KmString sText;
  if (iObservations < kmTools::kMinObservationsForLine) {
    // No option helps: even the model without kinkmarks needs 3.
    sText.printf(
        "Too few observations to fit the specified model. Minimum "
        "observations required: %d. A cohort needs at least %d observations "
        "whatever the run options, otherwise Kinkmark will not process this "
        "cohort.",
        static_cast<int>(lNeed), kmTools::kMinObservationsForLine);
    return sText;
  }
  if (bClustering) {
    sText.printf(
        "Too few observations to fit the specified model. Minimum "
        "observations required: %d. A clustering run fits every cohort with "
        "the saved session's \"maximum kinkmarks\" of %d, and the cohort's "
        "%d years hold at most %d with \"min obs end\" and \"min obs "
        "between\"; run options would turn the clustering off.  Cluster "
        "with a session saved by a run whose \"maximum kinkmarks\" is at "
        "most %d, or cluster the cohorts this short in a run of their own, "
        "with a session saved by a run over their data alone; otherwise "
        "Kinkmark will not process this cohort.",
        static_cast<int>(lNeed), iKinkmarks, iObservations, iPlaceable,
        iPlaceable);
    return sText;
  }
  if (lNeed > iObservations) {
    KmString sNeed;
    sNeed << static_cast<int32_t>(lNeed);
    sText = kmTools::GetErrorMessage(kmTools::TooFewObservations);
    sText.Replace("$$", sNeed.GetCString());
    return sText;
  }
  // The spacing fits, the per-cohort maximum for this length does not.
  sText.printf(
      "Too few observations to fit the specified model: the cohort's %d "
      "observations allow at most %d kinkmarks, fewer than \"minimum "
      "kinkmarks\" (%d). Lower \"minimum kinkmarks\" in the run options, "
      "otherwise Kinkmark will not process this cohort.",
      iObservations, iPlaceable, iKinkmarks);
  return sText;
}

}  // namespace

// Settings of the run and totals carried from cohort to cohort through one
// verification pass.
struct kmReadData::VerifyPass {
  explicit VerifyPass(kmSession* pSession)
      : jumpCRMode(pSession->Get<kmJumpCRMode>()),
        delayType(pSession->Get<kmDelayType>()),
        copies(jumpCRMode, delayType),
        bBothDelay(copies.HasDelaySplit()),
        nAnalyses(copies.NumAnalyses()),
        nCopies(copies.NumCopies()),
        bCalculated(pSession->GetBool(kmOptDependentCalculated)),
        dependentType(pSession->Get<kmDependentType>()),
        combos(pSession->GetNumByVars()),
        pManager(new kmCohortDataManager(pSession)) {}

  const kmJumpCRMode jumpCRMode;
  const kmDelayType delayType;
  const kmAnalysisCopies copies;
  const bool bBothDelay;
  const int nAnalyses;
  const int nCopies;
  const bool bCalculated;
  const kmDependentType dependentType;
  // The pass's own combination table and cohort data manager.
  kmCombos combos;
  std::unique_ptr<kmCohortDataManager> pManager;

  VariantLocations loc;
  int iIndependentLoc = 0;
  int iMaxKinkmarks = 0;
  int iMinObsEnd = 0;
  int iMinObsBetween = 0;
  int iMinKinkmarks = 0;
  bool bPerCohortMax = false;
  // Hudson's method (kmOptMethod 1) places fewer kinkmarks in a cohort.
  bool bHudsons = false;
  // Clustering (kmOptComparisonType 2) fits every cohort up to the maximum.
  bool bClustering = false;
  // The jump location when the run fits jump models; NaN otherwise.
  double dJumpAt = std::numeric_limits<double>::quiet_NaN();
  // The jump location when the run fits comparability ratios; NaN
  // otherwise.
  double dRatioAt = std::numeric_limits<double>::quiet_NaN();

  int iCohort = 0;
  int iBlankLines = 0;
  int64_t lNumByGroups = 0;
  int16_t iLargestN = 0;
  bool bHaveSmallest = false;
  uint16_t uiSmallest = 0;
  double dLargestInterval = 0.0;
  int iPrecision = 0;
};

// Error texts and usable flags of one cohort: variant 1 is the standard
// analysis, variant 2 the delay-adjusted one (kmOptDelayType 2).
struct kmReadData::CohortVerdict {
  KmString sText1;
  KmString sText2;
  bool bGood1 = true;
  bool bGood2 = true;
};

bool kmReadData::VerifyDelayRateCalcNEW(KmString& sMessage, bool /*bUnused*/) {
  return WithCallPath(kVerifyMethod, kClassName, [&]() -> bool {
    try {
      // 1. Local combination table and cohort data manager; empty results.
      VerifyPass pass(pSession_);
      pass.pManager->SetRecordPlaces(
          [this](int32_t r, int c) { return RecordPlace(r, c - 1); });
      ResetVerifyResults();
      RequirePositiveRatio(*pSession_);
      // 2-3. Variable locations and adjustment groups.
      LocateVerifyVariables(pass, sMessage);
      // 4. Open the data file, its header line dropped.
      OpenInputFile(true);
      // 5-14. Cohort by cohort to the end of the file.
      VerifyAllCohorts(pass, sMessage);
      // 15-22. Totals, hand-over and closing.
      FinishVerifyPass(pass, sMessage);
      for (const KmString& sText : vErrorTexts_) {
        if (!sText.IsEmpty()) return false;
      }
      return true;
    } catch (KmException& e) {
      sMessage = e.GetMessage();
      try {
        CloseInputFile();
      } catch (KmException&) {
        // The original error is the one to report.
      }
      throw;
    }
  });
}

void kmReadData::ResetVerifyResults() {
  vGoodFlags_.clear();
  vErrorTexts_.clear();
  vLineCounts_.clear();
  // Positions are appended per copy like the line counts; a second pass
  // must not leave the first pass's positions in front of its own.
  vFilePositions_.clear();
  vCopyLinesBefore_.clear();
  vCohortErrors_.clear();
  vNotes_.clear();
  sQuestion_.Clear();
  iQuestionCode_ = -1;
}

void kmReadData::LocateVerifyVariables(VerifyPass& pass, KmString& sMessage) {
  // Variable locations of copy 1 and of the delay variant.
  VariantLocations& loc = pass.loc;
  if (pass.bCalculated) {
    loc.iDependent1 = pass.dependentType == kmDependentType::kCrudeRate
                          ? pSession_->GetKMVarPosition(kmVarCount)
                          : 0;
    if (bClustered_) loc.iAdjust = pSession_->GetKMVarPosition(kmVarAdjustment);
  } else if (pass.jumpCRMode == kmJumpCRMode::kOff) {
    switch (pass.delayType) {
      case kmDelayType::kNonDelay:
        loc.iDependent1 = pSession_->GetKMVarPosition(kmVarDependent);
        loc.iStdError1 = pSession_->GetKMVarPosition(kmVarStdError);
        break;
      case kmDelayType::kDelay:
        loc.iDependent1 = pSession_->GetKMVarPosition(kmVarDelayRate);
        loc.iStdError1 = pSession_->GetKMVarPosition(kmVarDelaySE);
        break;
      case kmDelayType::kBoth:
        loc.iDependent1 = pSession_->GetKMVarPosition(kmVarDependent);
        loc.iStdError1 = pSession_->GetKMVarPosition(kmVarStdError);
        loc.iDependent2 = pSession_->GetKMVarPosition(kmVarDelayRate);
        loc.iStdError2 = pSession_->GetKMVarPosition(kmVarDelaySE);
        break;
      default:
        sMessage =
            "Invalid run type encountered.  Not a standard run, nor one of "
            "the delay-adjusted run types.";
        GenerateKmException(sMessage.GetCString(), kVerifySource);
    }
  } else {
    loc.iDependent1 = pSession_->GetKMVarPosition(kmVarDependent);
    loc.iStdError1 = pSession_->GetKMVarPosition(kmVarStdError);
    if (pass.bBothDelay) {
      loc.iDependent2 = pSession_->GetKMVarPosition(kmVarDelayRate);
      loc.iStdError2 = pSession_->GetKMVarPosition(kmVarDelaySE);
    }
  }
  if (pSession_->Get<kmErrorModel>() != kmErrorModel::kStandardError) {
    loc.iStdError1 = 0;
    loc.iStdError2 = 0;
  }
  pass.iIndependentLoc = pSession_->GetKMVarPosition(kmVarIndependent);

  // Adjustment groups from the adjustment variable's format.
  iNumAdjustGroups_ = 0;
  vAdjustCodes_.clear();
  if (loc.iAdjust > 0 && pass.bCalculated) {
    const kmVariable& adjust = pSession_->GetKMVar(kmVarAdjustment);
    iNumAdjustGroups_ =
        adjust.HasFormat() ? adjust.GetFormat().GetNumLines() : -1;
  }
}

void kmReadData::VerifyAllCohorts(VerifyPass& pass, KmString& sMessage) {
  pass.iMaxKinkmarks = pSession_->GetInt(kmOptMaxKinkmarks);
  pass.iMinObsEnd = pSession_->GetInt(kmOptMinObsEnd);
  pass.iMinObsBetween = pSession_->GetInt(kmOptMinObsBetween);
  pass.iMinKinkmarks = pSession_->GetInt(kmOptMinKinkmarks);
  pass.bPerCohortMax = pSession_->GetBool(kmOptPerCohortMaxKinkmarks);
  pass.bHudsons = kmIsHudsons(pSession_->Get<kmFitMethod>());
  pass.bClustering =
      pSession_->Get<kmComparisonType>() == kmComparisonType::kClustering;
  for (int a = 0; a < pass.nAnalyses; ++a) {
    if (pass.copies.IsJumpCopy(a)) {
      pass.dJumpAt = pSession_->GetDouble(kmOptJumpLocation);
    }
    if (pass.copies.IsComparabilityRatioCopy(a)) {
      pass.dRatioAt = pSession_->GetDouble(kmOptJumpLocation);
    }
  }

  kmCohortRows rows;
  KmVector<int> codes;
  bool bEOF = false;
  int iLineCount = 0;
  while (!bEOF) {
    const size_t nLineCountsBefore = vLineCounts_.size();
    const size_t nPositionsBefore = vFilePositions_.size();
    ReadInNextCohort(rows, bEOF, iLineCount, pass.iBlankLines, codes);
    if (rows.empty()) {
      // No record: the end of the file, or a block whose records are all
      // kept out of the calculations. Its lines stand before the next
      // cohort's first position, so they must not be read as part of it,
      // and the per-copy entries it appended belong to no copy.
      vLineCounts_.resize(nLineCountsBefore);
      vFilePositions_.resize(nPositionsBefore);
      vCopyLinesBefore_.resize(nPositionsBefore);
      iLineCount = 0;
      continue;
    }
    ++pass.iCohort;
    VerifyCohort(pass, rows, codes, sMessage);
    // 14. Ready for the next cohort.
    rows.clear();
    iLineCount = 0;
  }
}

void kmReadData::VerifyCohort(VerifyPass& pass, const kmCohortRows& rows,
                              const KmVector<int>& codes, KmString& sMessage) {
  const int16_t n = static_cast<int16_t>(rows.size());
  CohortVerdict verdict;

  // 6. Observation extremes; the minimum counts usable cohorts only, so it
  // is restored below when the cohort turns out unusable.
  const bool bHadSmallest = pass.bHaveSmallest;
  const uint16_t uiPreviousSmallest = pass.uiSmallest;
  TrackObservationExtremes(pass, n);

  // 7-8. Adjustment groups and record checks.
  CheckCohortRecords(pass, rows, verdict, sMessage);
  CheckAdjustmentGroups(rows, pass.iCohort, verdict);
  // 9. Room for the smallest model within the cohort's maximum.
  CheckObservationRequirement(pass, n, verdict);
  CheckVarCovSize(n, verdict);
  // 10. Selection and exclusion, then the rate checks.
  ApplySelectionAndRateChecks(pass, rows, codes, verdict, sMessage);

  // The jump analyses of a cohort whose values do not surround the jump. A
  // refused cohort gets no finding: its values may be ones the format does
  // not list.
  const bool bAnyGood = verdict.bGood1 || (pass.bBothDelay && verdict.bGood2);
  KmString sJump;
  if (bAnyGood) {
    sJump = JumpLocationRefusal(*pSession_, rows, pass.iIndependentLoc,
                                pass.dJumpAt);
  }
  if (!sJump.IsEmpty() && verdict.bGood1) {
    ProcessCohortError(codes, sJump, false, 0);
  }
  if (!sJump.IsEmpty() && pass.bBothDelay && verdict.bGood2) {
    ProcessCohortError(codes, sJump, true, 0);
  }

  // The comparability-ratio analyses of a cohort whose values lie on one
  // side of the location are fitted, with a note.
  KmString sRatio;
  if (bAnyGood) {
    sRatio = RatioLocationNote(*pSession_, rows, pass.iIndependentLoc,
                               pass.dRatioAt);
  }

  // 11. Flags and texts in copy order, the delay copies first.
  if (pass.bBothDelay) {
    AppendAnalysisCopies(pass, verdict.bGood2, verdict.sText2, sJump, sRatio);
  }
  AppendAnalysisCopies(pass, verdict.bGood1, verdict.sText1, sJump, sRatio);
  if (!verdict.bGood1) {
    pass.bHaveSmallest = bHadSmallest;
    pass.uiSmallest = uiPreviousSmallest;
    if (pCalcHandler_ != nullptr) {
      pCalcHandler_->SetMinObservations(uiPreviousSmallest);
    }
  }

  // 12-13. By-group count and combinations.
  AddCohortCombinations(pass, codes, sMessage);
}

void kmReadData::TrackObservationExtremes(VerifyPass& pass, int16_t n) {
  if (n > pass.iLargestN) {
    pass.iLargestN = n;
    if (pCalcHandler_ != nullptr) {
      pCalcHandler_->SetMaxObservations(static_cast<uint16_t>(n));
    }
  }
  if (!pass.bHaveSmallest || n < static_cast<int16_t>(pass.uiSmallest)) {
    pass.bHaveSmallest = true;
    pass.uiSmallest = static_cast<uint16_t>(n);
    if (pCalcHandler_ != nullptr) {
      pCalcHandler_->SetMinObservations(pass.uiSmallest);
    }
  }
}

void kmReadData::AppendAnalysisCopies(const VerifyPass& pass, bool bGood,
                                      const KmString& sText,
                                      const KmString& sJumpRefusal,
                                      const KmString& sRatioNote) {
  for (int a = 0; a < pass.nAnalyses; ++a) {
    const KmString* pFinding = nullptr;
    if (bGood && pass.copies.IsJumpCopy(a)) pFinding = &sJumpRefusal;
    if (bGood && pass.copies.IsComparabilityRatioCopy(a)) {
      pFinding = &sRatioNote;
    }
    if (pFinding == nullptr || pFinding->IsEmpty()) {
      AppendCopyVerdict(bGood, sText);
      continue;
    }
    KmString sWithFinding(sText);
    if (!sWithFinding.IsEmpty()) sWithFinding << "  ";
    sWithFinding << *pFinding;
    // The jump is refused; the ratio's note leaves the copy fitted.
    AppendCopyVerdict(pFinding == &sRatioNote, sWithFinding);
  }
}

void kmReadData::AppendCopyVerdict(bool bGood, const KmString& sText) {
  vGoodFlags_.push_back(bGood);
  vErrorTexts_.push_back(sText);
}

void kmReadData::CheckCohortRecords(VerifyPass& pass, const kmCohortRows& rows,
                                    CohortVerdict& verdict,
                                    KmString& sMessage) {
  const VariantLocations& loc = pass.loc;
  // Adjustment groups from the first cohort when no format gave them.
  if (iNumAdjustGroups_ < 1 && loc.iAdjust > 0 && pass.bCalculated) {
    vAdjustCodes_ = FirstYearAdjustCodes(rows);
    iNumAdjustGroups_ = static_cast<int>(vAdjustCodes_.size());
  }

  // Record checks of both variants.
  VerifyCohortFieldValues(rows, &verdict.sText1, &verdict.bGood1, pass.iCohort,
                          &pass.dLargestInterval, &pass.iPrecision, 0,
                          loc.iDependent1, pass.iIndependentLoc,
                          loc.iStdError1);
  if (pass.bBothDelay) {
    VerifyCohortFieldValues(rows, &verdict.sText2, &verdict.bGood2,
                            pass.iCohort, &pass.dLargestInterval,
                            &pass.iPrecision, 0, loc.iDependent2,
                            pass.iIndependentLoc, loc.iStdError2);
  }

  // A cohort beyond the session's per-cohort lists (labels, observation
  // counts) is one the pre-read did not see.
  const int iCohortIndex = pass.iCohort - 1;
  if ((pSession_->GetNumCohorts() > 0 &&
       iCohortIndex >= pSession_->GetNumCohorts()) ||
      (pass.bPerCohortMax &&
       iCohortIndex >=
           static_cast<int>(pSession_->GetObservationCounts().size()))) {
    ThrowByVariableProblem(sMessage, pass.iCohort);
  }
}

void kmReadData::CheckObservationRequirement(const VerifyPass& pass, int16_t n,
                                             CohortVerdict& verdict) {
  // The cohort's maximum: the user's, lowered to the per-cohort maximum of
  // grid search (Hudson's fit takes the user's), then to what the method
  // can place in the cohort's observations. The fit lowers it the same way.
  int k = pass.iMaxKinkmarks;
  int iAvailable = n;
  if (!bClustered_) {
    if (pass.bPerCohortMax && !pass.bHudsons) {
      k = std::min(k,
                   static_cast<int>(pSession_->GetMaxNumberOfKinkmarksForCohort(
                       pass.iCohort - 1)));
    }
  } else if (iNumAdjustGroups_ > 0) {
    iAvailable = n / iNumAdjustGroups_;
  }
  // Clustering fits every cohort with that maximum; the other fits need
  // room for the minimum only.
  const int iMin = pass.bClustering ? k : std::max(pass.iMinKinkmarks, 0);
  const int iPlaceable = kmTools::PlaceableKinkmarks(
      iAvailable, k, pass.iMinObsEnd, pass.iMinObsBetween, pass.bHudsons);
  if (iPlaceable >= iMin) return;
  const int64_t lNeed = kmTools::ObservationsForKinkmarks(
      iMin, pass.iMinObsEnd, pass.iMinObsBetween, pass.bHudsons);
  const KmString sRefusal = TooFewObservationsText(
      lNeed, iAvailable, iPlaceable, iMin, pass.bClustering);
  // The delay-adjusted copy has the same observations: it cannot be fitted
  // either.
  for (auto [pGood, pText] : {std::pair{&verdict.bGood1, &verdict.sText1},
                              std::pair{&verdict.bGood2, &verdict.sText2}}) {
    *pGood = false;
    *pText << sRefusal;
  }
}

void kmReadData::CheckAdjustmentGroups(const kmCohortRows& rows, int iCohort,
                                       CohortVerdict& verdict) const {
  // Records the record checks refused (a year that is no number) are not
  // walked.
  if (!verdict.bGood1) return;
  KmString sRefusal = AdjustmentGroupsRefusal(rows);
  if (sRefusal.IsEmpty()) sRefusal = PreReadCountRefusal(rows, iCohort);
  if (sRefusal.IsEmpty()) return;
  for (auto [pGood, pText] : {std::pair{&verdict.bGood1, &verdict.sText1},
                              std::pair{&verdict.bGood2, &verdict.sText2}}) {
    *pGood = false;
    if (!pText->IsEmpty()) *pText << "  ";
    *pText << sRefusal;
  }
}

KmString kmReadData::PreReadCountRefusal(const kmCohortRows& rows,
                                         int iCohort) const {
  // A cohort the two readings cut otherwise is refused here, rather than
  // fitted with another cohort's count, which stops the whole run.
  const KmVector<int32_t>& vCounts = pSession_->GetObservationCounts();
  if (!bClustered_ || vCounts.empty() || rows.empty() || iCohort < 1) {
    return KmString();
  }
  const int32_t iCounted =
      iCohort <= static_cast<int>(vCounts.size()) ? vCounts[iCohort - 1] : 0;
  // Both count years by the one rule of the fit's rows.
  const size_t iYearColumn = static_cast<size_t>(
      km_read_internal::RoleColumn(*pSession_, kmVarIndependent));
  std::vector<KmString> vYears;
  for (const kmRecordRow& row : rows) {
    vYears.push_back(iYearColumn < row.size() ? row[iYearColumn] : KmString());
  }
  const int32_t iYears = km_read_internal::CountYears(*pSession_, vYears);
  if (iCounted == iYears) return KmString();
  KmString sDataFile;
  pSession_->GetString(kmStrDataFile, sDataFile);
  KmString sRefusal;
  sRefusal << "Data file \"" << sDataFile << "\", lines "
           << static_cast<long>(RowLine(0)) << " to "
           << static_cast<long>(RowLine(rows.size() - 1))
           << ": the cohort holds " << iYears << " years, but the first "
           << "reading of the data file counted " << iCounted
           << " for it: the two readings cut the file's cohorts differently, "
              "so the cohort is not fitted.";
  return sRefusal;
}

void kmReadData::CheckVarCovSize(int16_t n, CohortVerdict& verdict) const {
  // A calculated age-adjusted cohort has a record per year and group.
  const int iObservations =
      bClustered_ && iNumAdjustGroups_ > 0 ? n / iNumAdjustGroups_ : n;
  const KmString sRefusal = VarCovSizeRefusal(iObservations);
  if (sRefusal.IsEmpty()) return;
  for (auto [pGood, pText] : {std::pair{&verdict.bGood1, &verdict.sText1},
                              std::pair{&verdict.bGood2, &verdict.sText2}}) {
    if (!*pGood) continue;
    *pGood = false;
    *pText << sRefusal;
  }
}

bool kmReadData::LacksObservations(const VerifyPass& pass,
                                   int iCohortIndex) const {
  // Only read under kmOptMaxKinkmarksFeasibility 2 with per-cohort maxima;
  // a cohort beyond the session's flags is not excluded.
  if (!pass.bPerCohortMax ||
      pSession_->Get<kmMaxKinkmarksFeasibility>() !=
          kmMaxKinkmarksFeasibility::kExcludeShortCohorts) {
    return false;
  }
  const KmVector<bool>& vEnough = pSession_->GetEnoughObservationsFlags();
  return iCohortIndex >= 0 &&
         static_cast<size_t>(iCohortIndex) < vEnough.size() &&
         !vEnough[static_cast<size_t>(iCohortIndex)];
}

void kmReadData::ExcludeCohort(const VerifyPass& pass, const char* sText,
                               CohortVerdict& verdict) const {
  verdict.bGood1 = false;
  verdict.bGood2 = false;
  verdict.sText1 = sText;
  if (pass.bBothDelay) verdict.sText2 = sText;
}

void kmReadData::ApplySelectionAndRateChecks(VerifyPass& pass,
                                             const kmCohortRows& rows,
                                             const KmVector<int>& codes,
                                             CohortVerdict& verdict,
                                             KmString& sMessage) {
  bool bUse = true;
  try {
    bUse = pSession_->GetUserSelectedUseCohort(pass.iCohort - 1);
  } catch (KmException&) {
    ThrowByVariableProblem(sMessage, pass.iCohort);
  }
  if (!bUse) {
    ExcludeCohort(pass, "User Selected to Exclude This Cohort.", verdict);
  } else if (LacksObservations(pass, pass.iCohort - 1)) {
    ExcludeCohort(pass, "Cohort Not Executed Due To Not Enough Observations.",
                  verdict);
  }

  // The rate checks run whenever the copy is still usable, so a cohort
  // whose only text is the zero-count note still has its counts and
  // populations checked.
  if (verdict.bGood1) {
    const bool bRatesGood = pass.pManager->VerifyCohortData(
        rows, iNumAdjustGroups_, &verdict.sText1, pass.iCohort, false);
    verdict.bGood1 = verdict.bGood1 && bRatesGood;
  }
  if (!verdict.sText1.IsEmpty()) {
    ProcessCohortError(codes, verdict.sText1, false, 0);
  }
  if (pass.bBothDelay) {
    // As for the first copy: a copy the record checks refused has its
    // missing values named once, not again by the rate checks.
    if (verdict.bGood2) {
      verdict.bGood2 = pass.pManager->VerifyCohortData(
          rows, iNumAdjustGroups_, &verdict.sText2, pass.iCohort, true);
    }
    if (!verdict.sText2.IsEmpty()) {
      ProcessCohortError(codes, verdict.sText2, true, -1);
    }
  }
}

void kmReadData::AddCohortCombinations(VerifyPass& pass,
                                       const KmVector<int>& codes,
                                       KmString& sMessage) {
  // Number of by-groups.
  if (pass.lNumByGroups + pass.nCopies > std::numeric_limits<int32_t>::max()) {
    sMessage.Clear();
    sMessage << "There are too many by-group combinations in the input "
                "file.\n The number of combinations exceeds "
             << std::numeric_limits<int32_t>::max() << ".";
    GenerateKmException(sMessage.GetCString(), kVerifySource);
  }
  pass.lNumByGroups += pass.nCopies;

  // One combination per copy: delay code, then analysis code.
  const bool bAnalysisCode = pass.copies.HasAnalysisSplit();
  const int nDelayCodes = pass.bBothDelay ? 2 : 1;
  for (int d = 0; d < nDelayCodes; ++d) {
    for (int a = 0; a < pass.nAnalyses; ++a) {
      KmVector<int> combination(codes);
      if (pass.bBothDelay) combination.push_back(d);
      if (bAnalysisCode) combination.push_back(a);
      pass.combos.AddCombination(combination);
    }
  }
}

void kmReadData::FinishVerifyPass(VerifyPass& pass, KmString& sMessage) {
  // 15. The large-run question.
  if (pSession_->GetNumSelectedCohorts() > kLargeRunCohorts) {
    sQuestion_.Clear();
    sQuestion_ << "The number of cohorts found in your data file is "
               << static_cast<int32_t>(pass.lNumByGroups)
               << ".  Kinkmark will be able to analyze your data, but the "
                  "analysis could take a while.  Do you wish to continue?";
    iQuestionCode_ = kLargeRunQuestionCode;
  }

  // 16. The shift may not exceed the largest independent interval.
  const double dShift = pSession_->GetDouble(kmOptDataShift);
  if (dShift > pass.dLargestInterval) {
    ThrowInputError(sMessage,
                    "Error with shift value: The shift value cannot be "
                    "larger than the largest independent variable "
                    "interval.");
  }

  // 17. Display precision of the independent variable.
  KmString sShift;
  sShift << dShift;
  const int iShiftPrecision = kmTools::GetPrecision(sShift.GetCString());
  pSession_->SetInt(kmOptIndepPrecision, pass.iPrecision > iShiftPrecision
                                             ? pass.iPrecision
                                             : iShiftPrecision);

  // 18. Size of the comparison groups of pairwise comparisons.
  const int32_t iGroupSize = ComparisonGroupSize(pass, sMessage);

  // 19. Hand over to the results-file handler.
  if (pCalcHandler_ != nullptr) {
    pCalcHandler_->SetValidCohorts(KmVector<bool>(vGoodFlags_),
                                   KmVector<KmString>(vErrorTexts_));
    pCalcHandler_->SetupComparisonVector(iGroupSize, &pass.combos);
    pCalcHandler_->SetCombos(pass.combos);
  }

  // 20. Number of by-groups; one cohort's copies when the file had none.
  iNumByGroups_ =
      pass.iCohort > 0 ? static_cast<int>(pass.lNumByGroups) : pass.nCopies;

  // 21. Close the file.
  CloseInputFile();

  // 22. Note of the blank lines met.
  if (pass.iBlankLines > 0) {
    KmString sNote;
    sNote << pass.iBlankLines << " blank lines were skipped";
    vNotes_.push_back(kmTextPair(KmString("Blank Lines"), sNote));
  }
}

int32_t kmReadData::ComparisonGroupSize(const VerifyPass& pass,
                                        KmString& sMessage) const {
  if (pSession_->Get<kmComparisonType>() != kmComparisonType::kPairwise)
    return 0;
  const int32_t nCombinations = pass.combos.GetNumCombinations();
  if (nCombinations <= 1) {
    ThrowInputError(sMessage,
                    "Only one cohort in data file.  You can not compare a "
                    "cohort to itself.");
  }
  // The leading run of combinations that differ from the first only in
  // the inner-most code.
  const KmVector<int> first = pass.combos.GetCombination(0);
  int32_t iGroupSize = 0;
  for (int32_t i = 0; i < nCombinations; ++i) {
    const KmVector<int> other = pass.combos.GetCombination(i);
    bool bSame = other.size() == first.size();
    for (size_t j = 0; bSame && j + 1 < first.size(); ++j) {
      bSame = other[static_cast<int32_t>(j)] == first[static_cast<int32_t>(j)];
    }
    if (!bSame) break;
    ++iGroupSize;
  }
  if (iGroupSize < 2) {
    KmString sText(
        "You cannot test for pairwise differences when the inner-most by "
        "variable only has one category.");
    if (HasLaterCategory(pass.combos, first)) {
      sText << "\n" << UnsortedByVariables(*pSession_, NumDataByVars());
    }
    ThrowInputError(sMessage, sText.GetCString());
  }
  return iGroupSize;
}

void kmReadData::ProcessCohortError(KmVector<int> codes, KmString sErrorText,
                                    bool bDelay, int iAnalysis) {
  WithCallPath("ProcessCohortError()", kClassName, [&] {
    KmString sLabel = GetCohortLabel_Test(codes);
    const kmAnalysisCopies copies(*pSession_);
    if (copies.HasDelaySplit()) sLabel << (bDelay ? " Delay" : " Non-Delay");
    sLabel << AnalysisLabel(copies, iAnalysis);
    vCohortErrors_.push_back(kmTextPair(sLabel, sErrorText));
  });
}
