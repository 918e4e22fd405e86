// kmCalcHandler, fetching records: GetCalcData, both GetCalcDataVector
// forms and the checked read of one record at its offset.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "results/internal/HandlerFileChecks.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"
#include "session/kmVariable.h"

using km_results_handler::HandlerReader;
using km_results_handler::RefuseFile;

namespace {

const char kClassName[] = "kmCalcHandler";

// Records read by one call, owned until they are handed to the caller.
typedef std::vector<std::unique_ptr<kmCalcData> > RecordList;

// The level texts of combination iCohort: per by-variable the value label of
// its level when the by-variable's format holds one, else the level's code,
// so that a by-variable without value labels does not stop the read.
KmVector<KmString> LevelTexts(const kmCombos& combos, const kmSession& session,
                              int32_t iCohort) {
  const KmVector<int> vCodes = combos.GetCombination(iCohort);
  KmVector<KmString> vTexts;
  for (int32_t j = 0;
       j < session.GetNumByVars() && j < static_cast<int32_t>(vCodes.size());
       ++j) {
    const kmVariable& byVar = session.GetByVar(static_cast<int16_t>(j));
    const int iCode = vCodes[static_cast<size_t>(j)];
    KmString sText;
    if (byVar.HasFormat()) {
      byVar.GetLabel(iCode, sText, true);
      if (sText != "-1") {
        byVar.GetLabel(iCode, sText, false);
        vTexts.push_back(sText);
        continue;
      }
    }
    vTexts.push_back(KmString() << iCode);
  }
  return vTexts;
}

}  // namespace

void kmCalcHandler::ThrowIndexError(int32_t iIndex, int32_t iSize) {
  GenerateKmExceptionF("Attempt to access element %d in vector of size %d.",
                       kClassName, iIndex, iSize);
}

void kmCalcHandler::NoteFetch(int32_t iIndex, int32_t iSize) {
  iFetchPercent_.store(static_cast<int32_t>((static_cast<int64_t>(iIndex) + 1) *
                                            100 / (iSize > 0 ? iSize : 1)));
}

void kmCalcHandler::ReadRecordAt(int32_t lOffset, kmCalcData& record) {
  if (iState_ != kStateReadFromFile || !pFile_ || !pSession_) {
    GenerateKmException("No results file has been read.", kClassName);
  }
  // Read has checked every offset already; the check is repeated so that no
  // path seeks to a position outside the records.
  if (lOffset < lRecordsStart_ || (lFileSize_ >= 0 && lOffset >= lFileSize_)) {
    RefuseFile("A record offset (" + std::to_string(lOffset) +
               ") lies outside the records of the file.");
  }
  pFile_->Seek(lOffset);
  record.Read(pFile_.get(), vNumericData_[3],
              pSession_->GetProgramVersAsDouble());
  HandlerReader(pFile_.get(), "a cohort or comparison record").CheckNotEnded();
  // A record that ends short of the next one, or runs into it, was read
  // from damaged bytes even where each value looked sound.
  const auto next =
      std::upper_bound(vRecordStarts_.begin(), vRecordStarts_.end(), lOffset);
  const int64_t lExpectedEnd =
      next != vRecordStarts_.end() ? *next : lFileSize_;
  const int64_t lEnd = pFile_->Tell();
  if (lExpectedEnd >= 0 && lEnd != lExpectedEnd) {
    RefuseFile("The record at offset " + std::to_string(lOffset) +
               " ends at byte " + std::to_string(lEnd) +
               ", not where the next one begins (byte " +
               std::to_string(lExpectedEnd) + ").");
  }
}

kmCalcData& kmCalcHandler::GetCalcData(int32_t iIndex) {
  return WithCallPath("GetCalcData()", kClassName, [&]() -> kmCalcData& {
    const int32_t iCohorts = GetNumCohortRecords();
    const int32_t iTotal = iCohorts + GetNumComparisonRecords();
    if (iIndex < 0 || iIndex >= iTotal) ThrowIndexError(iIndex, iTotal);
    NoteFetch(iIndex, iTotal);
    const int32_t lOffset = iIndex < iCohorts
                                ? vCohortOffsets_[iIndex]
                                : vComparisonOffsets_[iIndex - iCohorts];
    // Read expects a fresh record; a failed read must not leave a half-read
    // one behind for the next caller.
    currentCalcData_ = kmCalcData();
    try {
      ReadRecordAt(lOffset, currentCalcData_);
    } catch (KmException&) {
      currentCalcData_ = kmCalcData();
      throw;
    }
    return currentCalcData_;
  });
}

namespace {

// Refuses an index into the stored records that the comparison structure
// gives but the file does not hold.
void CheckStoredIndex(int32_t iIndex, int32_t iStored, const char* sWhat) {
  if (iIndex < 0 || iIndex >= iStored) {
    RefuseFile("Its comparison table names " + std::string(sWhat) + " " +
               std::to_string(iIndex) + " of " + std::to_string(iStored) +
               " stored.");
  }
}

}  // namespace

std::unique_ptr<kmCalcData> kmCalcHandler::ReadCohortRecord(int32_t iCohort) {
  CheckStoredIndex(iCohort, GetNumCohortRecords(), "cohort");
  auto pRecord = std::make_unique<kmCalcData>();
  ReadRecordAt(vCohortOffsets_[iCohort], *pRecord);
  // A file without by-variables has no combination to label from; its
  // cohort keeps the empty label.
  if (pRecord->vCohortLabel.empty() && iCohort < combos_.GetNumCombinations()) {
    pRecord->SetCohortLabel(LevelTexts(combos_, *pSession_, iCohort));
  }
  return pRecord;
}

std::unique_ptr<kmCalcData> kmCalcHandler::ReadComparisonRecord(
    int32_t iComparison, int32_t a, int32_t b) {
  CheckStoredIndex(iComparison, GetNumComparisonRecords(), "comparison");
  auto pRecord = std::make_unique<kmCalcData>();
  ReadRecordAt(vComparisonOffsets_[iComparison], *pRecord);
  // A comparison is labelled by the levels of both of its cohorts.
  const int32_t nc = combos_.GetNumCombinations();
  if (pRecord->vCohortLabel.empty() && a >= 0 && a < nc && b >= 0 && b < nc) {
    KmVector<KmString> vLabels = LevelTexts(combos_, *pSession_, a);
    const KmVector<KmString> vSecond = LevelTexts(combos_, *pSession_, b);
    vLabels.insert(vLabels.end(), vSecond.begin(), vSecond.end());
    pRecord->SetCohortLabel(vLabels);
  }
  return pRecord;
}

KmVector<kmCalcData*>& kmCalcHandler::GetCalcDataVector(int32_t iIndex) {
  return WithCallPath(
      "GetCalcDataVector()", kClassName, [&]() -> KmVector<kmCalcData*>& {
        const int32_t iCohorts = GetNumCohortRecords();
        const int32_t iComparisons = GetNumComparisonRecords();
        const int32_t iTotal = iCohorts + iComparisons;
        if (iIndex < 0 || iIndex >= iTotal) ThrowIndexError(iIndex, iTotal);
        NoteFetch(iIndex, iTotal);
        // The records of the previous call belong to its caller.
        vFetched_.clear();

        RecordList vRead;
        if (iIndex < iCohorts) {
          vRead.push_back(ReadCohortRecord(iIndex));
        } else {
          const int32_t iComparison = iIndex - iCohorts;
          const KmVector<int> vPair = combos_.GetComparison(iComparison);
          if (vPair.size() != 2) {
            RefuseFile("Comparison " + std::to_string(iComparison) +
                       " does not name two cohorts.");
          }
          vRead.push_back(ReadCohortRecord(vPair[0]));
          vRead.push_back(ReadCohortRecord(vPair[1]));
          vRead.push_back(
              ReadComparisonRecord(iComparison, vPair[0], vPair[1]));
        }
        for (std::unique_ptr<kmCalcData>& pRecord : vRead) {
          vFetched_.push_back(pRecord.release());
        }
        return vFetched_;
      });
}

KmVector<kmCalcData*>& kmCalcHandler::GetCalcDataVector(int32_t iCohort,
                                                        int32_t iEntry) {
  return WithCallPath(
      "GetCalcDataVector()", kClassName, [&]() -> KmVector<kmCalcData*>& {
        const int32_t iTableSize =
            static_cast<int32_t>(vCohortComparisons_.size());
        if (iCohort < 0 || iCohort >= iTableSize)
          ThrowIndexError(iCohort, iTableSize);
        const KmVector<KmVector<int> >& vRows = vCohortComparisons_[iCohort];
        const int32_t iRows = static_cast<int32_t>(vRows.size());
        if (iEntry >= iRows) ThrowIndexError(iEntry, iRows);
        NoteFetch(iCohort, iTableSize);
        vFetched_.clear();

        RecordList vRead;
        if (iEntry < 1) {
          vRead.push_back(ReadCohortRecord(vRows[0][0]));
        } else {
          // Row {c, other, k}: both cohorts, then their comparison k.
          const KmVector<int>& vRow = vRows[iEntry];
          const int32_t c = vRow[0];
          const int32_t iOther = vRow[1];
          vRead.push_back(ReadCohortRecord(c));
          vRead.push_back(ReadCohortRecord(iOther));
          vRead.push_back(ReadComparisonRecord(vRow[2], c < iOther ? c : iOther,
                                               c < iOther ? iOther : c));
        }
        for (std::unique_ptr<kmCalcData>& pRecord : vRead) {
          vFetched_.push_back(pRecord.release());
        }
        return vFetched_;
      });
}
