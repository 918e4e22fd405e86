// kmSession's scans of the data file and the per-cohort limits:
// DetermineMaximumObservations, DetermineMaximumObservationsForAAR,
// GetEstimatedMaxKMs, GetNumObservationsThisCohort,
// GetMaxNumberOfKinkmarksForCohort and RoleColumn.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmStringTokenizer.h"
#include "foundation/kmTools.h"
#include "session/internal/DataFileLineReader.h"
#include "session/kmSession.h"

namespace {

using km_session_internal::DataFileLineReader;

const char kClassName[] = "kmSession";

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
  // Field iColumn (0-based) of sLine, trimmed of blanks at both ends; ""
  // when the line has fewer fields.
  KmString Field(const KmString& sLine, int32_t iColumn) {
    KmStringTokenizer tokenizer(sLine.GetCString(), sDelimiter_);
    KmString sField;
    tokenizer.GetToken(sField, iColumn);
    sField.Trim();
    return sField;
  }
  // The number of fields of sLine.
  int32_t NumFields(const KmString& sLine) {
    KmStringTokenizer tokenizer(sLine.GetCString(), sDelimiter_);
    return tokenizer.GetNumTokens();
  }

 private:
  char sDelimiter_[2];
};

// Reads up to iCount further non-blank lines; sLine becomes the last one
// read (it stays as it is when the file ends first).
void SkipLines(DataFileLineReader& reader, int32_t iCount, KmString& sLine) {
  KmString sNext;
  for (int32_t i = 0; i < iCount; ++i) {
    if (!reader.ReadNonBlankLine(sNext)) return;
    sLine = sNext;
  }
}

// The common start of every scan: opens the data file (sTempInputFile in
// place of a spreadsheet), drops the header line when bHeader (blank lines
// before it are passed over, as the data reader does), and reads the first
// data line into sFirstLine. Returns false when the file holds no data line.
bool StartScan(std::unique_ptr<DataFileLineReader>& pReader,
               const KmString& sDataFile, const KmString& sTempInputFile,
               bool bHeader, KmString& sFirstLine) {
  const KmString& sFile = IsSpreadsheet(sDataFile) ? sTempInputFile : sDataFile;
  pReader.reset(new DataFileLineReader(sFile.GetCString()));
  if (bHeader && !pReader->ReadNonBlankLine(sFirstLine)) return false;
  return pReader->ReadNonBlankLine(sFirstLine);
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

void kmSession::DetermineMaximumObservations(bool* pbVarying) {
  WithCallPath("DetermineMaximumObservations()", kClassName, [&] {
    vObsRecords_.clear();
    *pbVarying = false;
    const int32_t iIndepColumn = RoleColumn(kmVarIndependent);
    const int32_t iSkip = GetInt(kmOptHeaderLines);
    FieldReader fields(GetDelimiterChar(GetInt(kmOptFieldDelimiter)));
    KmString sDataFile;
    GetString(kmStrDataFile, sDataFile);

    std::unique_ptr<DataFileLineReader> pReader;
    KmString sLine;
    if (StartScan(pReader, sDataFile, sTempInputFile_,
                  GetBool(kmOptVarNamesIncluded), sLine)) {
      // The rows the dictionary marked as not used open each cohort.
      SkipLines(*pReader, iSkip, sLine);
      KmString sPrevious = fields.Field(sLine, iIndepColumn);
      int32_t iCount = 1;
      int32_t iCohortIndex = 0;
      while (pReader->ReadNonBlankLine(sLine)) {
        KmString sValue = fields.Field(sLine, iIndepColumn);
        if (std::atof(sValue.GetCString()) >
            std::atof(sPrevious.GetCString())) {
          ++iCount;
        } else {
          // A value that does not increase starts the next cohort.
          CloseCohort(iCount, iCohortIndex, vNumObs_, vObsRecords_);
          iCount = 1;
          SkipLines(*pReader, iSkip, sLine);
          sValue = fields.Field(sLine, iIndepColumn);
        }
        sPrevious = sValue;
      }
      CloseCohort(iCount, iCohortIndex, vNumObs_, vObsRecords_);
    }
    FinishScan(vObsRecords_, iMaxObservations_, pbVarying);
  });
}

void kmSession::DetermineMaximumObservationsForAAR(bool* pbVarying) {
  WithCallPath("DetermineMaximumObservationsForAAR()", kClassName, [&] {
    vNumObs_.clear();
    vObsRecords_.clear();
    *pbVarying = false;
    const int32_t iIndepColumn = RoleColumn(kmVarIndependent);
    const int32_t iAdjustColumn = RoleColumn(kmVarAdjustment);
    FieldReader fields(GetDelimiterChar(GetInt(kmOptFieldDelimiter)));
    KmString sDataFile;
    GetString(kmStrDataFile, sDataFile);

    std::unique_ptr<DataFileLineReader> pReader;
    KmString sLine;
    if (StartScan(pReader, sDataFile, sTempInputFile_,
                  GetBool(kmOptVarNamesIncluded), sLine)) {
      SkipLines(*pReader, GetInt(kmOptHeaderLines), sLine);
      // A cohort begins at every line with the start key: the independent
      // and adjustment values of the first counted line.
      const KmString sStartIndep = fields.Field(sLine, iIndepColumn);
      const KmString sStartAdjust = fields.Field(sLine, iAdjustColumn);
      int32_t iCount = 1;
      int32_t iCohortIndex = 0;
      bool bMore = pReader->ReadNonBlankLine(sLine);
      // Counts the lines of other adjustment groups up to the next line of
      // the start group.
      auto countOtherGroups = [&]() {
        while (bMore && fields.Field(sLine, iAdjustColumn) != sStartAdjust) {
          ++iCount;
          bMore = pReader->ReadNonBlankLine(sLine);
        }
      };
      countOtherGroups();
      while (bMore) {
        if (fields.Field(sLine, iIndepColumn) != sStartIndep) {
          ++iCount;
        } else {
          CloseCohort(iCount, iCohortIndex, vNumObs_, vObsRecords_);
          iCount = 1;
        }
        bMore = pReader->ReadNonBlankLine(sLine);
        countOtherGroups();
      }
      CloseCohort(iCount, iCohortIndex, vNumObs_, vObsRecords_);
    }
    FinishScan(vObsRecords_, iMaxObservations_, pbVarying);
  });
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
    FieldReader fields(GetDelimiterChar(GetInt(kmOptFieldDelimiter)));
    std::unique_ptr<DataFileLineReader> pReader;
    KmString sLine;
    int32_t iCount = 0;
    if (StartScan(pReader, sDataFile, sTempInputFile_,
                  GetBool(kmOptVarNamesIncluded), sLine)) {
      iCount = 1;
      if (vByVars_.empty()) {
        while (pReader->ReadNonBlankLine(sLine)) ++iCount;
      } else {
        // The first cohort ends where the last by-variable changes.
        const int32_t iKeyColumn = vByVars_.back() - 1;
        const KmString sKey = fields.Field(sLine, iKeyColumn);
        while (pReader->ReadNonBlankLine(sLine)) {
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
        if (GetInt(kmOptMaxKinkmarksFeasibility) == 1 ||
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
