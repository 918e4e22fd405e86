// kmSession's observation counts, its estimate from the data file and the
// per-cohort limits: SetCohortObservationCounts, GetEstimatedMaxKMs,
// GetNumObservationsThisCohort, GetMaxNumberOfKinkmarksForCohort and
// IsSpreadsheetName.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmLineSource.h"
#include "foundation/KmStringTokenizer.h"
#include "foundation/kmTools.h"
#include "session/internal/OpenDataLines.h"
#include "session/kmModelSelection.h"
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

// The start of the estimate's read: opens the data file (sTempInputFile in
// place of a spreadsheet), drops the header line when bHeader (blank lines
// before it are passed over, as the data reader does), and reads the first
// data line into sFirstLine. Returns false when the file holds no data line.
bool StartScan(KmLineSource& reader, const KmString& sDataFile,
               const KmString& sTempInputFile, bool bHeader, char cDelimiter,
               KmString& sFirstLine) {
  const KmString& sFile =
      kmSession::IsSpreadsheetName(sDataFile) ? sTempInputFile : sDataFile;
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

bool kmSession::IsSpreadsheetName(const KmString& sFileName) {
  return sFileName.EndsWith(".xls") || sFileName.EndsWith(".xlsx");
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
    if (kmSession::IsSpreadsheetName(sDataFile) &&
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
