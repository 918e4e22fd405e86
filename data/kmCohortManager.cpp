// kmCohortManager: the driver's pre-read of the data file (construction,
// ReadAllCohorts, ReadLine, BuildCohort, GetIndepValue and the accessors).
#include "data/kmCohortManager.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/internal/kmCohortReadHelpers.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/KmLineSource.h"
#include "foundation/kmTools.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"

namespace {

const char kClassName[] = "kmCohortManager";

}  // namespace

kmCohortManager::kmCohortManager(kmSession* pSession, KmString sDataFileName,
                                 KmString sDelimiter, bool bClustered,
                                 bool bVarNamesIncluded)
    : bClustered_(bClustered),
      bEOF_(false),
      bVarNamesIncluded_(bVarNamesIncluded),
      iHeaderLines_(0),
      sDelimiter_(sDelimiter),
      sDataFileName_(sDataFileName),
      pSession_(pSession) {
  WithCallPath(
      "kmCohortManager(kmSession, KmString, KmString, bool, bool, int)",
      kClassName, [&] {
        if (pSession_ == nullptr) {
          GenerateKmException("Session does not exist - invalid pointer.",
                              kClassName);
        }
        iHeaderLines_ = pSession_->GetInt(kmOptHeaderLines);
        // A negative count of lines in front of each block means none.
        if (iHeaderLines_ < 0) iHeaderLines_ = 0;
      });
}

kmCohortManager::~kmCohortManager() = default;

KmString kmCohortManager::ReadLine(KmLineSource& lines) {
  return WithCallPath(
      "ReadLine(KmIO_File theInputFile, km_gzFile pgzInputFile)", kClassName,
      [&]() -> KmString {
        KmString sResult;
        while (sResult.IsEmpty() && !bEOF_) {
          bEOF_ = !lines.ReadLine(sResult);
          if (!bEOF_) ++iLineNumber_;
          // A leading tab of a tab-delimited line ends an empty field.
          KmLineSource::TrimDataLine(
              sResult, sDelimiter_.IsEmpty() ? '\0' : sDelimiter_[0]);
        }
        return sResult;
      });
}

KmString kmCohortManager::BuildCohort(const std::vector<KmString>& vTokens,
                                      KmString& sLabel) {
  return WithCallPath("BuildCohort(KmString)", kClassName, [&]() -> KmString {
    KmString sKey;
    sLabel.Clear();
    const int32_t nByVars = pSession_->GetNumByVars();
    // The synthetic delay and jump by-variables stand in no data column:
    // their position may name a column the session leaves unused.
    const int32_t nDataByVars = km_read_internal::NumDataByVars(*pSession_);
    KmString sField;
    for (int32_t i = 0; i < nByVars; ++i) {
      const kmVariable& byVar = pSession_->GetByVar(static_cast<int16_t>(i));
      sField.Clear();
      if (i < nDataByVars) {
        sField = km_read_internal::ColumnField(
            vTokens, static_cast<int>(byVar.GetPosition()));
      }
      // A code keys and labels its cohort by its number, so that "01",
      // "+1" or "1.0" beside "1" is one cohort, as verification reads it.
      int iCode = 0;
      const bool bCode =
          km_read_internal::ReadNumericByVarCode(byVar, sField, &iCode);
      const KmString sCode = bCode ? KmString(std::to_string(iCode)) : sField;
      sKey << sCode;
      if (bCode && byVar.HasFormat()) {
        // A code that the format does not know is the user's fault: name it
        // and the variable instead of the format's line lookup.
        KmString sLineNumber;
        byVar.GetLabel(iCode, sLineNumber, true);
        if (std::atoi(sLineNumber.GetCString()) < 0) {
          ThrowInvalidCode(byVar, sField);
        }
        KmString sFormatLabel;
        byVar.GetLabel(iCode, sFormatLabel, false);
        sLabel << sFormatLabel;
      } else {
        sLabel << sCode;
      }
      if (i < nByVars - 1) {
        sKey << "/";
        sLabel << "/";
      }
    }
    return sKey;
  });
}

KmString kmCohortManager::GetIndepValue(const std::vector<KmString>& vTokens) {
  return WithCallPath("GetIndepValue(KmString)", kClassName, [&]() -> KmString {
    return km_read_internal::ColumnField(
        vTokens, pSession_->GetKMVarPosition(kmVarIndependent));
  });
}

void kmCohortManager::ReadAllCohorts() {
  WithCallPath("ReadAllCohorts()", kClassName, [&] {
    vCohorts_.clear();
    pSession_->ClearObservationCounts();
    // A second read starts from the top instead of finding the end of the
    // file at once and leaving the session without counts.
    bEOF_ = false;
    // Every record's independent value is kept: refuse a session without
    // an independent variable instead of reading only empty values.
    pSession_->GetKMVar(kmVarIndependent);

    KmLineSource lines("Data file");
    lines.SetProgress(pProgress_);
    if (!lines.Open(sDataFileName_.GetCString())) {
      km_read_internal::ThrowDataFileNotOpened(
          sDataFileName_, lines.GetOpenError(), kClassName);
    }
    PrepareRecordChecks();
    auto readLine = [&]() { return ReadLine(lines); };
    // Reads the next iCount lines into sLine; an empty text means the end
    // of the file, where the reading stops (the count may exceed the lines
    // there are by far).
    KmString sLine;
    auto readLines = [&](int64_t iCount) {
      for (int64_t i = 0; i < iCount; ++i) {
        sLine = readLine();
        if (sLine.IsEmpty()) break;
      }
    };

    if (bVarNamesIncluded_) {
      sLine = readLine();
      std::vector<KmString> vNames;
      SplitChecked(sLine, vNames);
      if (!sLine.IsEmpty()) {
        SetReferenceFields(vNames, kHeaderRow);
        CheckHeaderRow(vNames);
      }
    }
    // The block's header lines, then its first record.
    readLines(static_cast<int64_t>(iHeaderLines_) + 1);

    int iRecord = 1;
    kmCohort working;
    // A file without data lines has no cohort at all.
    bool bHaveWorking = !sLine.IsEmpty();
    KmString sLabel;
    int iLastLine = iLineNumber_;
    // Each record is split once: its key, its checks and its independent
    // value all read these fields.
    std::vector<KmString> vTokens;
    auto keyOfLine = [&]() {
      SplitChecked(sLine, vTokens);
      ResolveDeferredWidth(&vTokens);
      return BuildCohort(vTokens, sLabel);
    };
    // The years of working, in a run whose fits count years.
    km_read_internal::YearCounter years;
    // Checks the record (which may take its fields) and adds it to working.
    auto addRecord = [&](bool bFirstRecord) {
      const KmString sIndepValue = GetIndepValue(vTokens);
      CheckRecord(sLine, vTokens, bFirstRecord);
      // A record whose independent value the format leaves out of the fits
      // is read past, as the data reader reads past it: no observation.
      if (pSession_->GetKMVar(kmVarIndependent).LeavesOut(sIndepValue)) return;
      if (bKeepRecords_) {
        working.AddObservation(sIndepValue, iRecord);
      } else {
        working.CountObservation();
      }
      // Rates formed over the groups of an adjustment variable take one
      // record of every group in each year, and the fit one observation of
      // each year.
      if (bClustered_) years.Add(*pSession_, sIndepValue);
    };
    // Appends working, whose records ended, to the cohorts.
    auto closeWorking = [&]() {
      working.SetFittedObservations(bClustered_ ? years.GetYears()
                                                : working.GetNumObservations());
      vCohorts_.push_back(std::move(working));
      years = km_read_internal::YearCounter();
    };
    if (bHaveWorking) {
      working.SetKey(keyOfLine());
      working.SetLabel(sLabel);
      addRecord(true);
    }

    while (bHaveWorking && !bEOF_) {
      const KmString sPreviousKey = working.GetKey();
      sLine = readLine();
      ++iRecord;
      if (sLine.IsEmpty()) continue;
      KmString sKey = keyOfLine();
      if (sKey == sPreviousKey) {
        addRecord(false);
        iLastLine = iLineNumber_;
        continue;
      }
      CloseCohort(working, iLastLine);
      closeWorking();
      if (iHeaderLines_ > 0) {
        // This line opened the next block's header lines; the last of them
        // is the block's first record, which takes this line's number.
        readLines(iHeaderLines_);
        if (sLine.IsEmpty()) {
          bHaveWorking = false;
          break;
        }
        sKey = keyOfLine();
      }
      CheckCohortNotClosed(sKey);
      working = kmCohort();
      working.SetKey(sKey);
      working.SetLabel(sLabel);
      addRecord(false);
      iLastLine = iLineNumber_;
    }
    ResolveDeferredWidth(nullptr);
    if (bHaveWorking) closeWorking();

    // A cohort with a record that lacks its independent value stays in the
    // list: the session's per-cohort lists must match the cohorts that the
    // verification pass finds (it reports that record), or every later
    // cohort would take its neighbour's count.
    for (const kmCohort& cohort : vCohorts_) {
      pSession_->AddObservationCount(GetFittedObservations(cohort));
    }
  });
}

int32_t kmCohortManager::GetFittedObservations(const kmCohort& cohort) const {
  return cohort.GetFittedObservations();
}

KmString kmCohortManager::GetCohortLabel(int i) const {
  return vCohorts_[i].GetLabel();
}
