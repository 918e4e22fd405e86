#include "data/kmCohortPreRead.h"

#include <cstdio>
#include <memory>

#include "data/kmCohort.h"
#include "data/kmCohortManager.h"
#include "foundation/KmException.h"
#include "session/kmObservationScan.h"
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

bool PreReadCohorts(kmSession& session, bool bCalculatedRates,
                    bool* pbVarying) {
  KmString sDataFile;
  session.GetString(kmStrDataFile, sDataFile);
  kmCohortManager cohorts(
      &session, sDataFile, FieldDelimiterText(session.Get<kmDelimiter>()),
      bCalculatedRates, session.GetBool(kmOptVarNamesIncluded));
  std::unique_ptr<kmObservationScan> pScan;
  const bool bSpreadsheet =
      sDataFile.EndsWith(".xls") || sDataFile.EndsWith(".xlsx");
  if (!bCalculatedRates && !bSpreadsheet) {
    try {
      pScan = std::make_unique<kmObservationScan>(session);
    } catch (KmException&) {
      pScan.reset();
    }
  }
  if (pScan) {
    cohorts.SetLineListener(
        [&pScan](const KmString& sLine) { pScan->AddLine(sLine); });
  }
  cohorts.ReadAllCohorts();
  const KmString sNote = cohorts.GetThousandsNote();
  if (!sNote.IsEmpty()) {
    std::fprintf(stderr, "%s\n", sNote.GetCString());
    std::fflush(stderr);
  }
  if (cohorts.GetNumCohorts() == 0) {
    GenerateKmInputExceptionF("The data file \"%s\" holds no data records.",
                              "main", sDataFile.GetCString());
  }
  session.ClearCohortLabels();
  if (session.GetNumByVars() > 0) {
    for (int i = 0; i < cohorts.GetNumCohorts(); ++i) {
      session.AddCohortLabel(cohorts.GetCohortLabel(i));
    }
  }
  session.SetBool(kmOptPerCohortMaxKinkmarks,
                  cohorts.HasVaryingObservationCounts());
  if (bCalculatedRates) {
    // The cohorts as the verification pass cuts them, by-variable codes
    // keyed by their number: a block whose every record its year's label
    // leaves out is no cohort there.
    KmVector<int32_t> vCounts;
    for (const kmCohort& cohort : cohorts.GetCohorts()) {
      if (cohort.GetNumObservations() > 0) {
        vCounts.push_back(cohort.GetNumObservations());
      }
    }
    session.SetCohortObservationCounts(vCounts, pbVarying);
    return true;
  }
  if (!pScan) return false;
  // After the pre-read's counts, as the scan's own pass would add them.
  pScan->Finish(session, pbVarying);
  return true;
}
