// kmSession's scans of the data file and the per-cohort limits:
// DetermineMaximumObservations, SetCohortObservationCounts,
// GetEstimatedMaxKMs, GetNumObservationsThisCohort,
// GetMaxNumberOfKinkmarksForCohort and RoleColumn.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmLineSource.h"
#include "foundation/KmStringTokenizer.h"
#include "foundation/kmTools.h"
#include "session/internal/OpenDataLines.h"
#include "session/kmModelSelection.h"
#include "session/kmObservationScan.h"
#include "session/kmSession.h"

namespace {

const char kClassName[] = "kmSession";
const char kDataFile[] = "Data file";

// The maximum number of kinkmarks for n observations; counts beyond the
// 16-bit range get the value of the largest.
int32_t MaxKinkmarksFor(int32_t iObservations) {
  return kmTools::MaxKinkmarksForObservations(
      static_cast<int16_t>(std::min<int32_t>(iObservations, INT16_MAX)), false);
}

// True for data files read through the session's temporary input file.
bool IsSpreadsheet(const KmString& sFileName) {
  return sFileName.EndsWith(".xls") || sFileName.EndsWith(".xlsx");
}

// Splits data lines at the session's delimiter and gives their fields.
class FieldReader {
 public:
  explicit FieldReader(char cDelimiter) {
    sDelimiter_[0] = cDelimiter;
    sDelimiter_[1] = '\0';
  }
  char Delimiter() const { return sDelimiter_[0]; }
  // Field iColumn (0-based) of sLine, trimmed of blanks at both ends; ""
  // when the line has fewer fields. Quoted sections are not split, as the
  // data readers split records.
  KmString Field(const KmString& sLine, int32_t iColumn) const {
    std::vector<KmString> vTokens;
    KmStringTokenizer::SplitRecord(sLine, sDelimiter_, vTokens);
    if (iColumn < 0 || static_cast<size_t>(iColumn) >= vTokens.size()) {
      return KmString();
    }
    return vTokens[static_cast<size_t>(iColumn)].Trim();
  }
  // The number of fields of sLine.
  int32_t NumFields(const KmString& sLine) const {
    std::vector<KmString> vTokens;
    KmStringTokenizer::SplitRecord(sLine, sDelimiter_, vTokens);
    return static_cast<int32_t>(vTokens.size());
  }

 private:
  char sDelimiter_[2];
};

// The common start of every scan: opens the data file (sTempInputFile in
// place of a spreadsheet), drops the header line when bHeader (blank lines
// before it are passed over, as the data reader does), and reads the first
// data line into sFirstLine. Returns false when the file holds no data line.
bool StartScan(KmLineSource& reader, const KmString& sDataFile,
               const KmString& sTempInputFile, bool bHeader, char cDelimiter,
               KmString& sFirstLine) {
  const KmString& sFile = IsSpreadsheet(sDataFile) ? sTempInputFile : sDataFile;
  km_session_internal::OpenDataLines(reader, sFile.GetCString());
  if (bHeader && !reader.ReadNonBlankLine(sFirstLine)) return false;
  return reader.ReadNonBlankDataLine(sFirstLine, cDelimiter);
}

// Records one cohort of iCount observations: appends the count and adds the
// cohort to the record of its count (a new record on its first
// appearance).
void CloseCohort(int32_t iCount, int32_t& iCohortIndex,
                 KmVector<int32_t>& vNumObs, KmVector<NumOfObs>& vRecords) {
  vNumObs.push_back(iCount);
  auto it = std::find_if(
      vRecords.begin(), vRecords.end(),
      [iCount](const NumOfObs& record) { return record.iNumObs == iCount; });
  if (it == vRecords.end()) {
    NumOfObs record;
    record.iNumObs = iCount;
    vRecords.push_back(record);
    it = vRecords.end() - 1;
  }
  ++it->iNumCohorts;
  it->vCohorts.push_back(iCohortIndex);
  it->iMaxKinkmarks = MaxKinkmarksFor(iCount);
  ++iCohortIndex;
}

// The maximum observations and the varying flag from the records.
void FinishScan(const KmVector<NumOfObs>& vRecords, int32_t& iMaxObservations,
                bool* pbVarying) {
  if (vRecords.empty()) {
    iMaxObservations = 0;
    return;
  }
  iMaxObservations = vRecords.front().iNumObs;
  if (vRecords.size() > 1) {
    *pbVarying = true;
    for (const NumOfObs& record : vRecords) {
      iMaxObservations = std::max(iMaxObservations, record.iNumObs);
    }
  }
}

}  // namespace

int32_t kmSession::RoleColumn(int iRole) const {
  GetKMVar(iRole);  // raises "KM variable %d not yet defined." when unset
  return GetKMVarPosition(iRole) - 1;
}

kmObservationScan::kmObservationScan(const kmSession& session)
    : iIndepColumn_(session.RoleColumn(kmVarIndependent)),
      session_(session),
      iSkip_(session.GetInt(kmOptHeaderLines)),
      bHeaderPending_(session.GetBool(kmOptVarNamesIncluded)) {
  sDelimiter_[0] = kmSession::GetDelimiterChar(session.Get<kmDelimiter>());
  sDelimiter_[1] = '\0';
  session.GetMissingString(sMissing_);
  sMissing_.Trim();
}

KmString kmObservationScan::IndependentValue(const KmString& sLine) const {
  return FieldReader(sDelimiter_[0]).Field(sLine, iIndepColumn_);
}

void kmObservationScan::AddLine(const KmString& sRawLine) {
  // Trimmed without a leading tab delimiter, which ends an empty field:
  // dropping it would read the independent value from the wrong column.
  KmString sLine(sRawLine);
  KmLineSource::TrimDataLine(sLine, sDelimiter_[0]);
  if (sLine.IsEmpty()) return;
  if (bHeaderPending_) {
    bHeaderPending_ = false;
    return;
  }
  // Rows whose year the format leaves out stand among the records,
  // uncounted (with header lines, lines that open each cohort, they are
  // among those).
  if (iSkip_ == 0 &&
      session_.GetKMVar(kmVarIndependent).LeavesOut(IndependentValue(sLine)))
    return;
  if (!bStarted_) {
    // The rows the dictionary marked as not used open each cohort.
    bStarted_ = true;
    iCount_ = 1;
    iSkipLeft_ = iSkip_;
    kmTools::ReadIndependentNumber(IndependentValue(sLine), sMissing_,
                                   dPrevious_);
    return;
  }
  KmString sValue = IndependentValue(sLine);
  double dValue = 0.0;
  if (kmTools::ReadIndependentNumber(sValue, sMissing_, dValue) !=
          kmTools::FieldNumber::kNumber &&
      iSkipLeft_ == 0) {
    // A blank or missing year, or one that is no number ("NA"), refuses its
    // cohort when the records are verified; it belongs to the cohort around
    // it, which it must not split.
    ++iCount_;
    return;
  }
  if (iSkipLeft_ > 0) {
    // Of the lines that open a cohort, the last one counts for it.
    --iSkipLeft_;
  } else if (dValue > dPrevious_) {
    ++iCount_;
  } else {
    // A value that does not increase starts the next cohort.
    CloseCohort(iCount_, iCohortIndex_, vCounts_, vRecords_);
    iCount_ = 1;
    iSkipLeft_ = iSkip_;
  }
  dPrevious_ = dValue;
}

void kmObservationScan::Finish(kmSession& session, bool* pbVarying) {
  *pbVarying = false;
  if (bStarted_) CloseCohort(iCount_, iCohortIndex_, vCounts_, vRecords_);
  for (int32_t iCount : vCounts_) session.vNumObs_.push_back(iCount);
  session.vObsRecords_ = vRecords_;
  FinishScan(session.vObsRecords_, session.iMaxObservations_, pbVarying);
}

void kmSession::DetermineMaximumObservations(bool* pbVarying) {
  WithCallPath("DetermineMaximumObservations()", kClassName, [&] {
    vObsRecords_.clear();
    *pbVarying = false;
    kmObservationScan scan(*this);
    KmString sDataFile;
    GetString(kmStrDataFile, sDataFile);
    const KmString& sFile =
        IsSpreadsheet(sDataFile) ? sTempInputFile_ : sDataFile;
    KmLineSource reader(kDataFile);
    km_session_internal::OpenDataLines(reader, sFile.GetCString());
    KmString sLine;
    while (reader.ReadLine(sLine)) scan.AddLine(sLine);
    scan.Finish(*this, pbVarying);
  });
}

void kmSession::SetCohortObservationCounts(const KmVector<int32_t>& vCounts,
                                           bool* pbVarying) {
  vNumObs_.clear();
  vObsRecords_.clear();
  *pbVarying = false;
  int32_t iCohortIndex = 0;
  for (const int32_t iCount : vCounts) {
    CloseCohort(iCount, iCohortIndex, vNumObs_, vObsRecords_);
  }
  FinishScan(vObsRecords_, iMaxObservations_, pbVarying);
}

int16_t kmSession::GetEstimatedMaxKMs() {
  return WithCallPath("GetEstimatedMaxKMs()", kClassName, [&]() -> int16_t {
    KmString sDataFile;
    GetString(kmStrDataFile, sDataFile);
    if (IsSpreadsheet(sDataFile) &&
        !KmIO_File::FileExists(sTempInputFile_.GetCString())) {
      GenerateKmException("Temporary input file does not exist.",
                          "GetEstimatedMaxKMs()");
    }
    FieldReader fields(GetDelimiterChar(Get<kmDelimiter>()));
    KmLineSource reader(kDataFile);
    KmString sLine;
    int32_t iCount = 0;
    const char cDelimiter = fields.Delimiter();
    if (StartScan(reader, sDataFile, sTempInputFile_,
                  GetBool(kmOptVarNamesIncluded), cDelimiter, sLine)) {
      iCount = 1;
      if (vByVars_.empty()) {
        while (reader.ReadNonBlankDataLine(sLine, cDelimiter)) ++iCount;
      } else {
        // The first cohort ends where the last by-variable changes.
        const int32_t iKeyColumn = vByVars_.back() - 1;
        const KmString sKey = fields.Field(sLine, iKeyColumn);
        while (reader.ReadNonBlankDataLine(sLine, cDelimiter)) {
          if (fields.NumFields(sLine) <= iKeyColumn) {
            ++iCount;
            break;
          }
          if (fields.Field(sLine, iKeyColumn) != sKey) break;
          ++iCount;
        }
      }
    }
    return static_cast<int16_t>(MaxKinkmarksFor(iCount));
  });
}

int kmSession::GetNumObservationsThisCohort(int iCohort) const {
  return WithCallPath(
      "GetNumObservationsThisCohort(int)", kClassName, [&]() -> int {
        if (iCohort < 0 || iCohort >= static_cast<int>(vNumObs_.size())) {
          GenerateKmExceptionF("Index out of bounds.  Cohort Number: %d",
                               "GetNumObservationsThisCohort(int)", iCohort);
        }
        return vNumObs_[iCohort];
      });
}

int kmSession::GetMaxNumberOfKinkmarksForCohort(int iCohort) const {
  return WithCallPath(
      "GetMaxNumberOfKinkmarksForCohort(int)", kClassName, [&]() -> int {
        int iKinkmarks = GetInt(kmOptMaxKinkmarks);
        if (!GetBool(kmOptPerCohortMaxKinkmarks)) return iKinkmarks;
        const int iObservations = GetNumObservationsThisCohort(iCohort);
        if (Get<kmMaxKinkmarksFeasibility>() ==
                kmMaxKinkmarksFeasibility::kSpacingRule ||
            GetProgramVersAsDouble() < 4.9) {
          // Lower the maximum until the kinkmarks fit the spacing rule, but
          // never below zero kinkmarks: a cohort too short even for those
          // still gets the model without kinkmarks, not a negative count.
          const int iMinObsEnd = GetInt(kmOptMinObsEnd);
          const int iMinObsBetween = GetInt(kmOptMinObsBetween);
          while (iKinkmarks > 0 &&
                 !kmTools::KinkmarkCountFeasible(iObservations, iKinkmarks,
                                                 iMinObsEnd, iMinObsBetween)) {
            --iKinkmarks;
          }
          return std::max(iKinkmarks, 0);
        }
        // A per-cohort maximum only lowers the user's: a long cohort must
        // not be fitted with more kinkmarks than the run was asked for.
        return std::min(iKinkmarks, MaxKinkmarksFor(iObservations));
      });
}
