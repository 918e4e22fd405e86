// What a run tells its user about cohorts it could not fit and comparisons
// it could not compute.
#ifndef KM_DRIVER_COHORTOUTCOMES_H
#define KM_DRIVER_COHORTOUTCOMES_H

#include "foundation/KmString.h"

class kmCalcHandler;

// Reads every cohort record of the results file and writes on standard
// error (PrintShown), in cohort order:
//   for a cohort that could not be fitted:
//     Cohort "<labels>" could not be fitted (data file <name>): <reason>
//   for a cohort fitted with its zero counts raised to 0.5:
//     Note: cohort "<labels>" was fitted: <the note>
//   for a cohort fitted with fewer kinkmarks than the session's maximum:
//     Note: cohort "<labels>" was fitted with at most <k> kinkmarks, not
//     the <max> <sMaximumOrigin>: <why>
// then, when some cohorts could not be fitted, "N of M cohorts could not be
// fitted". Then, in the same way, every comparison record, in comparison
// order:
//   for a comparison that could not be computed:
//     Comparison of cohorts "<labels>" and "<labels>" could not be computed
//     (data file <name>): <reason>
// and, when some comparisons could not be computed, "N of M comparisons
// could not be computed". The reasons are those stored in the results file.
// Last, for every custom AAPC range of the session that the independent
// values of some fitted cohorts do not cover, one line naming them:
//   Note: AAPC range <n> (<start> to <end>) could not be computed for
//   cohort(s) "<labels>", ...: it does not lie within its (their)
//   independent values, so its AAPC cells hold the missing-value text.
// Throws: KmException (input kind, source "main") whose message is those
// lines, when no cohort at all could be fitted; nothing is printed then.
// Comparisons that could not be computed never fail the run.
// sMaximumOrigin names where the maximum came from, as its value is shown:
// MaximumOriginText.
void ReportCohortOutcomes(kmCalcHandler& results,
                          const KmString& sMaximumOrigin);

// Where a run's maximum number of kinkmarks came from, for the note above:
//   of "maximum kinkmarks"        the run options gave it (bGiven);
//   that the run set as the default for its cohorts' observations (no file
//   gives "maximum kinkmarks")   no file gave it (bDefault);
//   that the session of "<sSessionFile>" holds   a saved session, or the
//   results file of an export-only run, gave it.
KmString MaximumOriginText(bool bGiven, bool bDefault,
                           const KmString& sSessionFile);

#endif  // KM_DRIVER_COHORTOUTCOMES_H
