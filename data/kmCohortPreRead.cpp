#include "data/kmCohortPreRead.h"

#include <cstdio>

#include "data/kmCohort.h"
#include "data/kmCohortManager.h"
#include "foundation/KmException.h"
#include "foundation/KmShownText.h"
#include "session/kmSession.h"

namespace {

// The data file's field delimiter: the session's character for the codes 0
// to 3, empty for any other code.
KmString FieldDelimiterText(kmDelimiter delimiter) {
  return !kmCodeText(delimiter).IsEmpty()
             ? KmString(kmSession::GetDelimiterChar(delimiter))
             : KmString();
}

}  // namespace

void PreReadCohorts(kmSession& session, bool bCalculatedRates, bool* pbVarying,
                    KmProgressInterface* pProgress) {
  KmString sDataFile;
  session.GetString(kmStrDataFile, sDataFile);
  kmCohortManager cohorts(
      &session, sDataFile, FieldDelimiterText(session.Get<kmDelimiter>()),
      bCalculatedRates, session.GetBool(kmOptVarNamesIncluded));
  cohorts.SetKeepRecords(false);
  cohorts.SetProgress(pProgress);
  cohorts.ReadAllCohorts();
  const KmString sNote = cohorts.GetThousandsNote();
  if (!sNote.IsEmpty()) {
    PrintShown(stderr, KmString(sNote) << "\n");
  }
  if (cohorts.GetNumCohorts() == 0) {
    GenerateKmInputExceptionF("The data file \"%s\" holds no data records.",
                              "main", sDataFile.GetCString());
  }
  // The cohorts as the verification pass cuts them, by-variable codes keyed
  // by their number: a block whose every record its year's label leaves out
  // is no cohort there, so it has neither a label nor a count, and every
  // later cohort keeps its own. Each counts its observations as its fit
  // does (its years where a year has a record per adjustment group), for
  // the default maximum and each cohort's own.
  session.ClearCohortLabels();
  KmVector<int32_t> vCounts;
  for (const kmCohort& cohort : cohorts.GetCohorts()) {
    if (cohort.GetNumObservations() == 0) continue;
    if (session.GetNumByVars() > 0) session.AddCohortLabel(cohort.GetLabel());
    vCounts.push_back(cohorts.GetFittedObservations(cohort));
  }
  session.SetCohortObservationCounts(vCounts, pbVarying);
  session.SetBool(kmOptPerCohortMaxKinkmarks, *pbVarying);
}
