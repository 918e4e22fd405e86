// ValidateOptionCombinations.
#include "driver/OptionCombinations.h"

#include "foundation/KmException.h"
#include "session/kmAnalysisCopies.h"
#include "session/kmComparisonType.h"
#include "session/kmDelayType.h"
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

void CheckDelayStatistics(const kmSession& session,
                          const KmString& sSessionFile, KmString& sMessages) {
  const kmDelayType delayType = session.Get<kmDelayType>();
  if (delayType == kmDelayType::kNonDelay ||
      session.GetInt(kmOptDictDelayStats) != 0) {
    return;
  }
  sMessages << "\"delay type = "
            << kmCodeText(delayType == kmDelayType::kBoth ? kmDelayType::kBoth
                                                          : kmDelayType::kDelay)
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
