// ValidateOptionCombinations.
#include "driver/OptionCombinations.h"

#include "foundation/KmException.h"
#include "session/kmAnalysisCopies.h"
#include "session/kmComparisonType.h"
#include "session/kmDelayType.h"
#include "session/kmDependentType.h"
#include "session/kmErrorModel.h"
#include "session/kmFitMethod.h"
#include "session/kmIntervalMethod.h"
#include "session/kmModelSelection.h"
#include "session/kmSession.h"

namespace {

// The run options that ask for the jump and comparability-ratio analyses
// of copies.
const char* JumpOptionText(const kmAnalysisCopies& copies) {
  if (!copies.HasComparabilityRatioAnalysis()) return "\"jump model = true\"";
  if (!copies.HasJumpAnalysis()) return "\"comparability ratio = true\"";
  return "\"jump model = true\" and \"comparability ratio = true\"";
}

// The "ci method" of the session's resampled intervals.
KmString ResampledCIMethodText(const kmSession& session) {
  KmString sText;
  if (session.Get<kmIntervalMethod>() != kmIntervalMethod::kEmpiricalQuantile) {
    sText << "resampled t intervals (\"ci method\")";
    return sText;
  }
  // The run options name method 2, and method 1 for every other code.
  const bool bMethod2 =
      session.Get<kmEmpQuantileMethod>() == kmEmpQuantileMethod::kMethod2;
  sText << "\"ci method = empirical quantile "
        << kmCodeText(bMethod2 ? kmEmpQuantileMethod::kMethod2
                               : kmEmpQuantileMethod::kMethod1)
        << (session.GetBool(kmOptFSMOnly) ? " fsm only\"" : "\"");
  return sText;
}

void CheckJumpCombinations(const kmSession& session, KmString& sMessages) {
  const kmAnalysisCopies copies(session);
  if (!copies.HasJumpAnalysis() && !copies.HasComparabilityRatioAnalysis()) {
    return;
  }
  if (kmIsHudsons(session.Get<kmFitMethod>())) {
    sMessages << JumpOptionText(copies)
              << " cannot be combined with \"method = hudsons\": Hudson's "
                 "method fits no jump model.  Use \"method = grid\".\n";
  }
  if (kmIsResampled(session.Get<kmIntervalMethod>())) {
    sMessages << JumpOptionText(copies) << " cannot be combined with "
              << ResampledCIMethodText(session)
              << ": the resampled refits have no jump.  Use \"ci method = "
                 "parametric\".\n";
  }
}

void CheckPairwiseSelection(const kmSession& session, KmString& sMessages) {
  if (session.Get<kmComparisonType>() != kmComparisonType::kPairwise ||
      session.Get<kmModelSelection>() != kmModelSelection::kDataDependent) {
    return;
  }
  sMessages << "\"pairwise\" cannot be combined with \"model selection method "
               "= data dependent selection\": data-dependent selection "
               "chooses no joint model for a comparison.  Choose another "
               "\"model selection method\".\n";
}

// The delay-adjusted copies of the cohorts read the dictionary's delay
// statistics: the delay-adjusted rate (the delay count when counts are
// fitted) and, under the "standard error" model, the delay-adjusted
// standard error that weights it. Fault: without them the copies were
// fitted with weights read from no column (SSE 0), or stopped with an
// invalid position.
void CheckDelayCopyStatistics(const kmSession& session,
                              const KmString& sDelayType,
                              const KmString& sSessionFile,
                              KmString& sMessages) {
  const bool bCounts =
      session.Get<kmDependentType>() == kmDependentType::kCount;
  if (session.GetKMVarPosition(bCounts ? kmVarDelayCount : kmVarDelayRate) ==
      0) {
    sMessages << "\"delay type = " << sDelayType
              << "\" (the data dictionary's own when the run options give "
                 "none) fits the delay-adjusted "
              << (bCounts ? "counts (\"Delay Count\")"
                          : "rates (\"Delay Rate\", \"Delay Crude Rate\", "
                            "\"Delay Age-Adjusted Rate\" or a delay trend)")
              << ", but the data dictionary \"" << sSessionFile
              << "\" holds none.  Add them to it, or use \"delay type = "
                 "non-delay\".\n";
    return;
  }
  if (bCounts || session.Get<kmErrorModel>() != kmErrorModel::kStandardError ||
      session.GetKMVarPosition(kmVarDelaySE) != 0) {
    return;
  }
  sMessages << "\"delay type = " << sDelayType
            << "\" weights the delay-adjusted rates \""
            << session.GetKMVar(kmVarDelayRate).GetName()
            << "\" by their standard errors (the \"standard error\" error "
               "model), but the data dictionary \""
            << sSessionFile
            << "\" holds no delay-adjusted standard error (\"Delay SE\").  Add "
               "a \"Delay SE\" variable to it, or use \"het error = constant "
               "variance\" or \"delay type = non-delay\".\n";
}

// The non-delay copies of the cohorts ("non-delay", and "both" beside the
// delay copies) read the dictionary's observed statistic: the rate (the
// count when counts are fitted under a delay type). A dictionary of
// delay-adjusted statistics alone has none, and such a run stopped at its
// first cohort with an invalid position.
void CheckNonDelayCopyStatistics(const kmSession& session,
                                 kmDelayType delayType,
                                 const KmString& sSessionFile,
                                 KmString& sMessages) {
  const bool bCounts =
      delayType != kmDelayType::kNonDelay &&
      session.Get<kmDependentType>() == kmDependentType::kCount;
  if (session.GetKMVarPosition(bCounts ? kmVarCount : kmVarDependent) != 0) {
    return;
  }
  const bool bBoth = delayType == kmDelayType::kBoth;
  sMessages << "\"delay type = "
            << kmCodeText(bBoth ? kmDelayType::kBoth : kmDelayType::kNonDelay)
            << "\""
            << (bBoth ? " (the data dictionary's own when the run options give "
                        "none)"
                      : "")
            << " fits the observed "
            << (bCounts ? "counts (\"Count\")"
                        : "rates (\"Crude Rate\", \"Age-Adjusted Rate\" or "
                          "a trend of either)")
            << ", but the data dictionary \"" << sSessionFile
            << "\" holds none.  Add them to it, or use \"delay type = "
               "delay\".\n";
}

void CheckDelayStatistics(const kmSession& session,
                          const KmString& sSessionFile, KmString& sMessages) {
  const kmDelayType delayType = session.Get<kmDelayType>();
  if (session.GetInt(kmOptDictDelayStats) != 0 &&
      (delayType == kmDelayType::kNonDelay ||
       delayType == kmDelayType::kBoth)) {
    CheckNonDelayCopyStatistics(session, delayType, sSessionFile, sMessages);
  }
  if (delayType == kmDelayType::kNonDelay) return;
  const KmString sDelayType =
      kmCodeText(delayType == kmDelayType::kBoth ? kmDelayType::kBoth
                                                 : kmDelayType::kDelay);
  if (session.GetInt(kmOptDictDelayStats) != 0) {
    CheckDelayCopyStatistics(session, sDelayType, sSessionFile, sMessages);
    return;
  }
  sMessages << "\"delay type = " << sDelayType
            << "\" needs the delay-adjusted statistics that only a data "
               "dictionary holding them gives, and the session file \""
            << sSessionFile
            << "\" has none.  Use \"delay type = non-delay\".\n";
}

}  // namespace

void ValidateOptionCombinations(const kmSession& session,
                                const KmString& sSessionFile) {
  KmString sMessages;
  CheckJumpCombinations(session, sMessages);
  CheckPairwiseSelection(session, sMessages);
  CheckDelayStatistics(session, sSessionFile, sMessages);
  if (sMessages.IsEmpty()) return;
  throw KmException(sMessages.GetCString(), "ValidateOptionCombinations()",
                    KmException::kInputErrorKind);
}
