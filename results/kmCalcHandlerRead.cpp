// kmCalcHandler, reading the head of a file: the reading constructor, Read,
// ReadNumericData, VersionIsTooOld, Reset, Free and the checks of the graph
// texts and the offset table.
#include <algorithm>
#include <cmath>
#include <string>

#include "foundation/KmCallPath.h"
#include "foundation/KmConvertValue.h"
#include "foundation/KmException.h"
#include "foundation/kmRunProgressTrackers.h"
#include "foundation/kmTools.h"
#include "results/internal/HandlerFileChecks.h"
#include "results/kmCalcHandler.h"
#include "session/kmComparisonType.h"
#include "session/kmSessionOptionIds.h"

using km_results_handler::HandlerReader;
using km_results_handler::RefuseFile;

namespace {

const char kClassName[] = "kmCalcHandler";

// Number of entries of the numeric block.
constexpr int32_t kNumNumericEntries = 4;
// Files up to this version store no valid-cohort flags, cohort labels,
// comparison group size or comparison records.
constexpr double kVersionWithoutCohortBlocks = 3.3;

double VersionNumber(const char* sVersion) {
  double dVersion = 0.0;
  KmConvertValue(dVersion, sVersion, false);
  return dVersion;
}

}  // namespace

kmCalcHandler::kmCalcHandler(const KmFileTarget& file,
                             KmProgressInterface* pProgress)
    : pProgress_(nullptr), combos_(0) {
  WithCallPath("kmCalcHandler(const char*)", kClassName, [&] {
    InitMembers();
    const char* sFileName = file.GetName();
    // A held file is there whatever its name reaches.
    if (sFileName == nullptr ||
        (file.GetFd() < 0 && !KmIO_File::FileExists(sFileName))) {
      GenerateKmException("Invalid file name passed to constructor.",
                          kClassName);
    }
    if (pProgress != nullptr) {
      pProgress_ = pProgress;
    } else {
      pOwnedProgress_ = std::make_unique<kmProgressTracker>();
      pProgress_ = pOwnedProgress_.get();
    }
    Read(file);
    UpdateDependentVariableLabel();
  });
}

void kmCalcHandler::Free() {
  WithCallPath("Free()", kClassName, [&] {
    pSession_.reset();
    pOwnedProgress_.reset();
    pProgress_ = nullptr;
    // Given up, written or not (the destructor runs this too): a writer
    // learns of a failed close from CloseOutFile.
    pFile_.reset();
  });
}

void kmCalcHandler::Reset() {
  WithCallPath("Reset()", kClassName, [&] {
    Free();
    InitMembers();
  });
}

void kmCalcHandler::ReadNumericData(KmIO_File* pIO) {
  WithCallPath("ReadNumericData()", kClassName, [&] {
    if (pIO == nullptr) GenerateKmException("Invalid KmIO_File.", kClassName);
    KmCheckedReader in = HandlerReader(pIO, "the numeric run data");
    const int32_t iCount = in.ReadInt();
    // This program writes exactly four values; any other count is not a
    // block it can place in its four slots.
    if (iCount != kNumNumericEntries) {
      RefuseFile("The numeric run data holds " + std::to_string(iCount) +
                 " values instead of 4.");
    }
    KmVector<double> vValues(kNumNumericEntries, 0.0);
    for (int32_t i = 0; i < kNumNumericEntries; ++i)
      vValues[i] = in.ReadDouble();
    if (!std::isfinite(vValues[3])) {
      RefuseFile(
          "The file version stored in the numeric run data is not a "
          "number.");
    }
    vNumericData_ = vValues;
  });
}

bool kmCalcHandler::VersionIsTooOld() {
  return WithCallPath("VersionIsTooOld()", kClassName, [&]() -> bool {
    return kmTools::CompareVersionNumbers(
               vNumericData_[3], VersionNumber(kOldestReadableVersionText)) ==
           1;
  });
}

void kmCalcHandler::ReadGraphLabels(int32_t lStart) {
  // The graph options keep no getter for their texts, so texts 1 and 2 are
  // taken from the block itself: Short n and n Doubles twice, then Short m
  // and m CStrings.
  KmIO_File& file = *pFile_;
  const int32_t lEnd = file.Tell();
  file.Seek(lStart);
  for (int iBlock = 0; iBlock < 2; ++iBlock) {
    const int32_t n = file.ReadShort();
    if (n > 0) file.Seek(file.Tell() + 8 * n);
  }
  const int32_t m = file.ReadShort();
  for (int32_t i = 0; i < m && i <= GraphDisplayOptions::kDependentNameString;
       ++i) {
    KmString sText;
    file.ReadCString(sText);
    if (i == GraphDisplayOptions::kIndependentNameString) {
      sGraphIndependentLabel_ = sText;
    } else if (i == GraphDisplayOptions::kDependentNameString) {
      sGraphDependentLabel_ = sText;
    }
  }
  HandlerReader(pFile_.get(), "the graph display options").CheckNotEnded();
  file.Seek(lEnd);
}

void kmCalcHandler::CheckOffsets() {
  for (const KmVector<int32_t>* pOffsets :
       {&vCohortOffsets_, &vComparisonOffsets_}) {
    for (int32_t lOffset : *pOffsets) {
      if (lOffset == -1) {
        RefuseFile(
            "Its record offsets were never written: the run that wrote "
            "it did not finish.");
      }
      if (lOffset < lRecordsStart_ ||
          (lFileSize_ >= 0 && lOffset >= lFileSize_)) {
        RefuseFile("A record offset (" + std::to_string(lOffset) +
                   ") lies outside the records of the file.");
      }
    }
  }
  CheckRecordOrder();
}

void kmCalcHandler::CheckRecordOrder() {
  // The writer appends each record where the previous one ended, cohorts and
  // comparisons in the order of their lists, starting right after the
  // offset table: offsets that break this order name records other than
  // the ones their index says.
  for (const KmVector<int32_t>* pOffsets :
       {&vCohortOffsets_, &vComparisonOffsets_}) {
    for (size_t i = 1; i < pOffsets->size(); ++i) {
      const int32_t lPrevious = (*pOffsets)[static_cast<int32_t>(i) - 1];
      const int32_t lOffset = (*pOffsets)[static_cast<int32_t>(i)];
      if (lOffset <= lPrevious) {
        RefuseFile("Its record offsets do not increase (" +
                   std::to_string(lPrevious) + " is followed by " +
                   std::to_string(lOffset) + ").");
      }
    }
  }
  vRecordStarts_.assign(vCohortOffsets_.begin(), vCohortOffsets_.end());
  vRecordStarts_.insert(vRecordStarts_.end(), vComparisonOffsets_.begin(),
                        vComparisonOffsets_.end());
  std::sort(vRecordStarts_.begin(), vRecordStarts_.end());
  if (std::adjacent_find(vRecordStarts_.begin(), vRecordStarts_.end()) !=
      vRecordStarts_.end()) {
    RefuseFile("Two of its records share one offset.");
  }
  if (!vRecordStarts_.empty() && vRecordStarts_.front() != lRecordsStart_) {
    RefuseFile(
        "Its first record does not begin where the offset table "
        "ends.");
  }
}

void kmCalcHandler::Read(const KmFileTarget& file) {
  WithCallPath("Read()", kClassName, [&] {
    const char* sFileName = file.GetName();
    // Reset releases the progress interface; reading reports to the same
    // one.
    KmProgressInterface* pProgress = pProgress_;
    std::unique_ptr<KmProgressInterface> pOwned = std::move(pOwnedProgress_);
    Reset();
    pProgress_ = pProgress;
    pOwnedProgress_ = std::move(pOwned);
    iState_ = kStateReadFromFile;
    KmProgressInterface* pReport = GetProgressInterface();

    if (sFileName == nullptr)
      GenerateKmException("Invalid file name.", kClassName);
    pFile_ = std::make_unique<KmIO_File>(file, KmIO_File::kRead);
    if (!pFile_->IsOpen()) {
      const std::string sMessage =
          std::string("Unable to open the results file ") + sFileName +
          " for reading.";
      GenerateKmException(sMessage.c_str(), kClassName);
    }
    sFileName_ = sFileName;
    lFileSize_ = pFile_->GetSize();

    auto pSession = std::make_unique<kmSession>();
    pSession->Read(pFile_.get());
    pSession_ = std::move(pSession);

    ReadNumericData(pFile_.get());
    const double dVersion = vNumericData_[3];
    CheckReadableVersion(dVersion);

    KmCheckedReader in = HandlerReader(pFile_.get(), "");
    const int32_t lGraphStart = pFile_->Tell();
    graphOptions_.Read(pFile_.get());
    in.SetPart("the graph display options");
    in.CheckNotEnded();
    ReadGraphLabels(lGraphStart);
    outputOptions_.Read(pFile_.get(), dVersion);
    in.SetPart("the output display options");
    in.CheckNotEnded();

    const bool bPairwise =
        pSession_->Get<kmComparisonType>() == kmComparisonType::kPairwise;
    if (bPairwise) pReport->StepBy(5);
    combos_.Read(pFile_.get(), dVersion, pReport);

    if (!ReadCohortBlocks(in, dVersion, bPairwise, pReport)) return;
    lRecordsStart_ = pFile_->Tell();
    CheckOffsets();
  });
}

void kmCalcHandler::CheckReadableVersion(double dVersion) {
  // The version is one of the placeholders patched when a run ends; a run
  // that failed or was cancelled leaves it 0.
  if (dVersion == 0.0) {
    RefuseFile(
        "The run that wrote it did not finish: the file is incomplete and "
        "holds no usable results.");
  }
  if (VersionIsTooOld()) {
    const std::string sMessage =
        std::string(
            "The session you are trying to read was saved with a "
            "version of Kinkmark prior to ") +
        kOldestReadableVersionText + ". Kinkmark cannot read this session.";
    GenerateKmException(sMessage.c_str(), "Error");
  }
  // The layout of a newer program is unknown: reading it by this one's
  // rules would take its fields for others.
  if (kmTools::CompareVersionNumbers(dVersion,
                                     VersionNumber(kFileVersionText)) == -1) {
    GenerateKmExceptionF(
        "Kinkmark cannot open this file.  The file you are trying to open "
        "was created by a more recent version of Kinkmark (Version = "
        "%5.3f).  In order to open this file you will need to upgrade your "
        "version of Kinkmark.",
        "Error", dVersion);
  }
}

bool kmCalcHandler::ReadCohortBlocks(KmCheckedReader& in, double dVersion,
                                     bool bPairwise,
                                     KmProgressInterface* pReport) {
  const int32_t nc = combos_.GetNumCombinations();
  const int32_t np = combos_.GetNumComparisons();
  if (kmTools::CompareVersionNumbers(dVersion, kVersionWithoutCohortBlocks) <
      0) {
    if (pReport->IsCancelled()) return false;
    in.SetPart("the valid-cohort flags");
    const int32_t n = in.ReadLong();
    in.CheckCount(n, 1, "valid-cohort flags");
    KmVector<bool> vFlags;
    for (int32_t i = 0; i < n; ++i) {
      const int iFlag = static_cast<unsigned char>(in.ReadByte());
      // The writer stores 0 or 1: any other byte is damage, not a flag.
      if (iFlag > 1) {
        RefuseFile("The valid-cohort flag of cohort " + std::to_string(i) +
                   " is " + std::to_string(iFlag) + ", not 0 or 1.");
      }
      vFlags.push_back(iFlag == 1);
    }
    // Every label takes at least its terminating zero byte.
    in.CheckCount(n, 1, "cohort labels");
    in.SetPart("the cohort labels");
    KmVector<KmString> vLabels(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) in.ReadString(vLabels[i]);
    vValidCohorts_ = vFlags;
    vCohortLabels_ = vLabels;

    in.SetPart("the comparison group size");
    const int32_t g = in.ReadLong();
    // The comparisons are rebuilt from the group size; they must be the
    // ones the table stores, or the offsets would name other records.
    // Without pairwise comparisons the size is stored as given and unused.
    int64_t iExpected = 0;
    if (bPairwise && (g < 0 || (g > 0 && n % g != 0))) {
      RefuseFile("The comparison group size (" + std::to_string(g) +
                 ") does not divide the " + std::to_string(n) + " cohorts.");
    }
    if (bPairwise && g > 0) {
      iExpected =
          static_cast<int64_t>(n / g) * (static_cast<int64_t>(g) * (g - 1) / 2);
    }
    if (iExpected != np) {
      RefuseFile("The file stores " + std::to_string(np) +
                 " comparisons where its cohorts and group size give " +
                 std::to_string(iExpected) + ".");
    }
    SetupComparisonVector(g, &combos_);
    if (pReport->IsCancelled()) return false;

    const int32_t iSlots = nc + np == 0 ? 1 : nc + np;
    in.SetPart("the offset table");
    in.CheckCount(iSlots, 4, "record offsets");
    for (int32_t i = 0; i < iSlots; ++i) {
      const int32_t lOffset = in.ReadInt();
      if (nc + np == 0 || i < nc) {
        vCohortOffsets_.push_back(lOffset);
      } else {
        vComparisonOffsets_.push_back(lOffset);
      }
    }
  } else {
    if (pReport->IsCancelled()) return false;
    const int32_t m = nc > 1 ? nc : 1;
    vValidCohorts_.assign(static_cast<size_t>(m), true);
    vCohortLabels_.assign(static_cast<size_t>(m), KmString(""));
    const int32_t iSlots = nc + np == 0 ? 1 : nc;
    in.SetPart("the offset table");
    in.CheckCount(iSlots, 4, "record offsets");
    for (int32_t i = 0; i < iSlots; ++i)
      vCohortOffsets_.push_back(in.ReadInt());
    iComparisonGroupSize_ = 0;
    for (int32_t c = 0; c < m; ++c) {
      KmVector<KmVector<int> > vRows;
      vRows.push_back(KmVector<int>{c});
      vCohortComparisons_.push_back(vRows);
    }
  }
  return true;
}
