// ReportCohortOutcomes.
#include "driver/CohortOutcomes.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmShownText.h"
#include "foundation/kmTools.h"
#include "results/kmCalcData.h"
#include "results/kmCalcHandler.h"
#include "session/kmAAPCRanges.h"
#include "session/kmFitMethod.h"
#include "session/kmModelSelection.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

// Labels iFirst .. iFirst + iCount - 1 of the record, joined by ", ".
KmString JoinLabels(const kmCalcData& record, size_t iFirst, size_t iCount) {
  KmString sLabel;
  for (size_t i = iFirst; i < iFirst + iCount && i < record.vCohortLabel.size();
       ++i) {
    sLabel << (i == iFirst ? "" : ", ") << record.vCohortLabel[i];
  }
  return sLabel;
}

// The cohort's labels, one per by-variable, joined by ", "; the cohort's
// number when it has none (a data set without by-variables).
KmString CohortLabel(const kmCalcData& record, int iCohort) {
  KmString sLabel = JoinLabels(record, 0, record.vCohortLabel.size());
  if (sLabel.IsEmpty()) sLabel << (iCohort + 1);
  return sLabel;
}

// The fewest observations for which the table of the most kinkmarks a
// cohort's number of observations allows gives more than iKinkmarks; 0 when
// no number does.
int ObservationsForMoreKinkmarks(int iKinkmarks) {
  for (int n = 1; n <= INT16_MAX; ++n) {
    if (kmTools::MaxKinkmarksForObservations(static_cast<int16_t>(n), false) >
        iKinkmarks) {
      return n;
    }
  }
  return 0;
}

// Why a cohort of n observations got no more than iReached kinkmarks,
// fewer than "maximum kinkmarks", and what would allow more. The fit takes
// the smaller of the table's maximum for n (grid search, when the cohorts
// have different numbers of observations) and what "min obs end" and "min
// obs between" let it place; the table is named when it is what capped.
KmString CapReason(const kmSession& session, int n, int iReached) {
  const bool bTable = session.GetBool(kmOptPerCohortMaxKinkmarks) &&
                      session.Get<kmMaxKinkmarksFeasibility>() ==
                          kmMaxKinkmarksFeasibility::kDefaultForLength &&
                      !kmIsHudsons(session.Get<kmFitMethod>());
  KmString sReason;
  if (!bTable ||
      kmTools::MaxKinkmarksForObservations(
          static_cast<int16_t>(std::min(n, INT16_MAX)), false) != iReached) {
    sReason << "its observations allow no more with \"min obs end\" and "
               "\"min obs between\".";
    return sReason;
  }
  sReason << "its " << n << " observations allow at most " << iReached
          << " by the table of the most kinkmarks for a cohort's number of "
             "observations, which applies as the cohorts have different "
             "numbers of observations";
  const int iMore = ObservationsForMoreKinkmarks(iReached);
  if (iMore > 0) {
    sReason << " (" << iMore << " observations allow "
            << kmTools::MaxKinkmarksForObservations(static_cast<int16_t>(iMore),
                                                    false)
            << ")";
  }
  sReason << "; no run option raises it.";
  return sReason;
}

// The note for a fitted cohort whose models stop below the session's
// "maximum kinkmarks": its number of kinkmarks was lowered to what its
// observations allow (one model is fitted per number from the minimum up).
// Empty when the cohort was fitted up to the maximum.
KmString LoweredMaximumNote(const kmCalcData& record, const kmSession& session,
                            const KmString& sLabel,
                            const KmString& sMaximumOrigin) {
  const int iFitted = static_cast<int>(record.vModels.size());
  const int iMax = session.GetInt(kmOptMaxKinkmarks);
  const int iReached = session.GetInt(kmOptMinKinkmarks) + iFitted - 1;
  KmString sNote;
  if (!record.bValid || iFitted < 1 || iReached >= iMax) return sNote;
  sNote << "Note: cohort \"" << sLabel << "\" was fitted with at most "
        << iReached << (iReached == 1 ? " kinkmark" : " kinkmarks")
        << ", not the " << iMax << " " << sMaximumOrigin << ": "
        << CapReason(session, record.vModels[0].GetNObs(), iReached) << "\n";
  return sNote;
}

// The lines of the comparisons that could not be computed, and their count
// line; adds their number to iFailed. A comparison record holds the labels
// of its first cohort followed by those of its second.
KmString ComparisonLines(kmCalcHandler& results, const KmString& sDataFile,
                         int& iFailed) {
  const int iCohorts = results.GetNumCohortRecords();
  const int iComparisons = results.GetNumComparisonRecords();
  KmString sLines;
  for (int k = 0; k < iComparisons; ++k) {
    const kmCalcData& record = results.GetCalcData(iCohorts + k);
    if (record.bValid) continue;
    ++iFailed;
    const size_t iHalf = record.vCohortLabel.size() / 2;
    sLines << "Comparison of cohorts \"" << JoinLabels(record, 0, iHalf)
           << "\" and \"" << JoinLabels(record, iHalf, iHalf)
           << "\" could not be computed (data file " << sDataFile
           << "): " << KmString(record.sBadDescription).Trim() << "\n";
  }
  if (iFailed > 0) {
    sLines << iFailed << " of " << iComparisons
           << " comparisons could not be computed\n";
  }
  return sLines;
}

// One note per custom AAPC range that some fitted cohorts' independent
// values do not cover, naming those cohorts: their AAPC cells for the range
// hold the missing-value text. The ranges are numbered as in the export
// options; copies of one cohort with the same label are named once.
KmString UncoveredRangeNotes(kmCalcHandler& results, const kmSession& session) {
  const kmAAPCRanges ranges = session.GetAAPCRanges();
  const std::vector<double> starts = ranges.GetStartRange();
  const std::vector<double> ends = ranges.GetEndRange();
  KmString sNotes;
  for (size_t i = 0; i < std::min(starts.size(), ends.size()); ++i) {
    std::vector<KmString> labels;
    for (int c = 0; c < results.GetNumCohortRecords(); ++c) {
      const kmCalcData& record = results.GetCalcData(c);
      if (!record.bValid || record.vModels.empty() ||
          record.GetModel(0).CoversAAPCRange(starts[i], ends[i])) {
        continue;
      }
      const KmString sLabel = CohortLabel(record, c);
      if (labels.empty() || !(labels.back() == sLabel)) {
        labels.push_back(sLabel);
      }
    }
    if (labels.empty()) continue;
    KmString sRange;
    sRange.printf("Note: AAPC range %d (%g to %g) could not be computed for ",
                  static_cast<int>(i + 1), starts[i], ends[i]);
    sNotes << sRange << (labels.size() == 1 ? "cohort " : "cohorts ");
    for (size_t k = 0; k < labels.size(); ++k) {
      sNotes << (k == 0 ? "" : ", ") << "\"" << labels[k] << "\"";
    }
    sNotes << ": it does not lie within "
           << (labels.size() == 1 ? "its" : "their")
           << " independent values, so its AAPC cells hold the missing-value "
              "text.\n";
  }
  return sNotes;
}

// Throws the input error whose message is sLines (without its last line
// end).
[[noreturn]] void ThrowNothingComputed(KmString sLines) {
  sLines.Truncate(sLines.GetLength() - 1);
  throw KmException(sLines.GetCString(), "main", KmException::kInputErrorKind);
}

}  // namespace

KmString MaximumOriginText(bool bGiven, bool bDefault,
                           const KmString& sSessionFile) {
  KmString sText;
  if (bGiven) {
    sText << "of \"maximum kinkmarks\"";
  } else if (bDefault) {
    sText << "that the run set as the default for its cohorts' observations "
             "(no file gives \"maximum kinkmarks\")";
  } else {
    sText << "that the session of \"" << sSessionFile << "\" holds";
  }
  return sText;
}

void ReportCohortOutcomes(kmCalcHandler& results,
                          const KmString& sMaximumOrigin) {
  WithCallPath("ReportCohortOutcomes()", "main", [&] {
    KmString sDataFile;
    if (results.GetSession() != nullptr) {
      results.GetSession()->GetString(kmStrDataFile, sDataFile);
    }
    const int iCohorts = results.GetNumCohortRecords();
    int iRefused = 0;
    KmString sLines;
    for (int i = 0; i < iCohorts; ++i) {
      const kmCalcData& record = results.GetCalcData(i);
      const KmString sLabel = CohortLabel(record, i);
      const KmString sReason = KmString(record.sBadDescription).Trim();
      if (!record.bValid) {
        ++iRefused;
        sLines << "Cohort \"" << sLabel << "\" could not be fitted (data file "
               << sDataFile << "): " << sReason << "\n";
      } else if (!sReason.IsEmpty()) {
        // Verification leaves a cohort it lets be fitted one finding at
        // most, the zero-count note: its zero counts were fitted as 0.5.
        sLines << "Note: cohort \"" << sLabel << "\" was fitted: " << sReason
               << "\n";
      }
      if (results.GetSession() != nullptr) {
        sLines << LoweredMaximumNote(record, *results.GetSession(), sLabel,
                                     sMaximumOrigin);
      }
    }
    if (iRefused > 0) {
      sLines << iRefused << " of " << iCohorts
             << " cohorts could not be fitted\n";
    }
    if (iCohorts > 0 && iRefused == iCohorts) ThrowNothingComputed(sLines);
    if (results.GetSession() != nullptr) {
      sLines << UncoveredRangeNotes(results, *results.GetSession());
    }
    int iFailed = 0;
    // Comparisons that could not be computed are named but do not fail the
    // run: the cohorts' own fits are sound and their exports are kept.
    sLines << ComparisonLines(results, sDataFile, iFailed);
    PrintShown(stderr, sLines);
  });
}
