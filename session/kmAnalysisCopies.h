// The numbering of the analysis copies of a cohort: which copy is a jump,
// comparability-ratio, standard or delay-adjusted analysis, and which
// cohort a copy belongs to.
#ifndef KM_SESSION_KMANALYSISCOPIES_H
#define KM_SESSION_KMANALYSISCOPIES_H

#include "session/kmDelayType.h"
#include "session/kmJumpCRMode.h"

class kmSession;

// Every cohort of the data file is analysed as one or more copies, numbered
// from 0 over all cohorts in file order; results, good flags and error
// texts are keyed by that number. The copies of one cohort are laid out
// with the jump / comparability-ratio analyses innermost and the delay /
// non-delay variants next, so copy i belongs to cohort i / NumCopies().
//
// By kmOptJumpCRMode m the analyses of one delay variant are:
//   m 0: one standard analysis; 1: one jump analysis; 2: one
//   comparability-ratio analysis; 3: jump, comparability ratio; 4: jump,
//   standard; 5: comparability ratio, standard; 6: jump, comparability
//   ratio, standard; any other m: one standard analysis.
// By kmOptDelayType d: 0 every copy is non-delay, 1 every copy is delay,
// 2 each cohort has a delay variant (first) and a non-delay variant.
//
// This is the one definition of the numbering and of the analyses of each
// jump mode: the session's synthetic by-variables, the reader, the
// verification pass, the calculation control, the cohort labels and the
// option checks all ask it.
class kmAnalysisCopies {
 public:
  // The kind of one analysis.
  enum class Kind { kJump, kComparabilityRatio, kStandard };

  kmAnalysisCopies(kmJumpCRMode jumpCRMode, kmDelayType delayType)
      : jumpCRMode_(jumpCRMode), delayType_(delayType) {}
  // The numbering of the session's kmOptJumpCRMode and kmOptDelayType.
  explicit kmAnalysisCopies(const kmSession& session);

  // Analyses of one delay variant: 1, 2 (m 3 to 5) or 3 (m 6).
  int NumAnalyses() const;
  // Copies of one cohort: NumAnalyses(), doubled when d is 2.
  int NumCopies() const;
  // True when the mode splits a cohort into several analyses (m 3 to 6),
  // which the synthetic analysis by-variable then tells apart.
  bool HasAnalysisSplit() const { return NumAnalyses() > 1; }
  // True when d is 2: a cohort has a delay and a non-delay variant, which
  // the synthetic delay by-variable tells apart.
  bool HasDelaySplit() const { return delayType_ == kmDelayType::kBoth; }
  // Of nByVars by-variables, those read from the data file: the synthetic
  // analysis and delay by-variables come last and stand in no data column.
  int DataByVars(int nByVars) const {
    const int n =
        nByVars - (HasAnalysisSplit() ? 1 : 0) - (HasDelaySplit() ? 1 : 0);
    return n < 0 ? 0 : n;
  }
  // True when the mode has an analysis of that kind: a jump analysis for
  // m 1, 3, 4, 6, a comparability-ratio analysis for m 2, 3, 5, 6.
  bool HasAnalysis(Kind kind) const;
  bool HasJumpAnalysis() const { return HasAnalysis(Kind::kJump); }
  bool HasComparabilityRatioAnalysis() const {
    return HasAnalysis(Kind::kComparabilityRatio);
  }

  // True when the session's last by-variable is a synthetic split that
  // cohort labels leave out: the analysis split of the jump mode, or the
  // delay / non-delay split of a session (file version 4.2 or later) whose
  // dictionary has delay statistics (kmOptDictDelayStats).
  static bool LastByVarIsSynthetic(const kmSession& session);

  // The kind of copy iCopy (iCopy >= 0), by the table above.
  Kind KindOfCopy(int iCopy) const;
  bool IsJumpCopy(int iCopy) const { return KindOfCopy(iCopy) == Kind::kJump; }
  bool IsComparabilityRatioCopy(int iCopy) const {
    return KindOfCopy(iCopy) == Kind::kComparabilityRatio;
  }
  // True for the standard analysis beside jump or comparability-ratio
  // analyses (m 4 to 6); false for every copy of a mode without them (the
  // one standard analysis of m 0) and for jump and comparability-ratio
  // copies.
  bool IsStandardBesideJumpOrRatio(int iCopy) const;
  // True when copy iCopy reads the delay-adjusted variables.
  bool IsDelayCopy(int iCopy) const;
  // The index of the cohort that copy iCopy analyses (truncated division).
  int CohortOfCopy(int iCopy) const { return iCopy / NumCopies(); }

 private:
  kmJumpCRMode jumpCRMode_;
  kmDelayType delayType_;
};

#endif  // KM_SESSION_KMANALYSISCOPIES_H
