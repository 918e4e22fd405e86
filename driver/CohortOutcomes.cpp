// ReportCohortOutcomes.
#include "driver/CohortOutcomes.h"

#include <cstdio>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "results/kmCalcData.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"

namespace {

// The note of a cohort whose zero counts were fitted as 0.5.
constexpr const char* kZeroCountNote = "added to each zero count";

// The cohort's labels, one per by-variable, joined by ", "; the cohort's
// number when it has none (a data set without by-variables).
KmString CohortLabel(const kmCalcData& record, int iCohort) {
  KmString sLabel;
  for (size_t i = 0; i < record.vCohortLabel.size(); ++i) {
    sLabel << (i == 0 ? "" : ", ") << record.vCohortLabel[i];
  }
  if (sLabel.IsEmpty()) sLabel << (iCohort + 1);
  return sLabel;
}

KmString Trimmed(const KmString& sText) {
  KmString sOut(sText);
  sOut.Trim();
  return sOut;
}

}  // namespace

void ReportCohortOutcomes(kmCalcHandler& results) {
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
      const KmString sReason = Trimmed(record.sBadDescription);
      if (!record.bValid) {
        ++iRefused;
        sLines << "Cohort \"" << sLabel << "\" could not be fitted (data file "
               << sDataFile << "): " << sReason << "\n";
      } else if (sReason.Find(kZeroCountNote) >= 0) {
        sLines << "Note: cohort \"" << sLabel << "\" was fitted: " << sReason
               << "\n";
      }
    }
    if (iRefused > 0) {
      sLines << iRefused << " of " << iCohorts
             << " cohorts could not be fitted\n";
    }
    if (iCohorts > 0 && iRefused == iCohorts) {
      sLines.Truncate(sLines.GetLength() - 1);
      throw KmException(sLines.GetCString(), "main",
                        KmException::kInputErrorKind);
    }
    std::fputs(sLines.GetCString(), stderr);
    std::fflush(stderr);
  });
}
