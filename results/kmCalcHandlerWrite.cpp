// kmCalcHandler, writing side: SetOutFile, WriteSession, WriteCombos,
// WriteCohortCalcData, WriteComparisonCalcData, WriteOffsets,
// WriteNumericData, CloseOutFile and SetCombos, with the state checks.
#include <ctime>
#include <string>

#include "foundation/KmCallPath.h"
#include "foundation/KmConvertValue.h"
#include "foundation/KmException.h"
#include "results/kmCalcHandler.h"

namespace {

const char kClassName[] = "kmCalcHandler";

// Number of entries of the numeric block.
constexpr int32_t kNumNumericEntries = 4;

double Now() { return static_cast<double>(std::time(nullptr)); }

}  // namespace

void kmCalcHandler::CheckWriteState(int32_t iRequired,
                                    const char* sMessage) const {
  if (iState_ == kStateReadFromFile) {
    GenerateKmException(
        "This output file has already been written. You cannot add to it.",
        "Error");
  }
  if (iState_ != iRequired) GenerateKmException(sMessage, "State Error");
}

void kmCalcHandler::CheckWritten() {
  // The file layer reports no write errors itself; a failed output stream
  // answers -1 for its position.
  if (!pFile_ || pFile_->Tell() < 0) {
    const std::string sMessage =
        std::string("Unable to write the results file ") +
        sFileName_.GetCString() + ".";
    GenerateKmException(sMessage.c_str(), kClassName);
  }
}

void kmCalcHandler::SetOutFile(const KmFileTarget& file) {
  WithCallPath("SetOutFile()", kClassName, [&] {
    const char* sFileName = file.GetName();
    if (iState_ != kStateNone) {
      GenerateKmException(
          "You cannot call SetOutFile() if the file name is already set.",
          "Error");
    }
    if (sFileName == nullptr) {
      GenerateKmException("Invalid file name received.", "Error");
    }
    auto pFile = std::make_unique<KmIO_File>(
        file, KmIO_File::kRead | KmIO_File::kWrite | KmIO_File::kShared);
    if (!pFile->IsOpen()) {
      const std::string sMessage =
          std::string("Unable to open the results file ") + sFileName +
          " for writing: " + pFile->GetErrorText().GetCString() + ".";
      GenerateKmException(sMessage.c_str(), kClassName);
    }
    pFile_ = std::move(pFile);
    sFileName_ = sFileName;
    iState_ = kStateFileSet;
  });
}

void kmCalcHandler::WriteSession() {
  WithCallPath("WriteSession()", kClassName, [&] {
    CheckWriteState(
        kStateFileSet,
        "You must call SetOutFile() before calling WriteSession().");
    if (!pSession_)
      GenerateKmException("The handler has no session.", kClassName);
    vNumericData_[1] = Now();
    pSession_->Write(pFile_.get());
    iState_ = kStateSessionWritten;
    lNumericPos_ = pFile_->Tell();
    pFile_->WriteInt(kNumNumericEntries);
    for (int32_t i = 0; i < kNumNumericEntries; ++i) pFile_->WriteDouble(0.0);
    graphOptions_.Write(pFile_.get());
    outputOptions_.Write(pFile_.get());
    pFile_->Flush();
    CheckWritten();
  });
}

void kmCalcHandler::WriteCombos() {
  WithCallPath("WriteCombos()", kClassName, [&] {
    CheckWriteState(
        kStateSessionWritten,
        "You must call WriteSession() before calling WriteCombos().");
    combos_.Write(pFile_.get());
    iState_ = kStateCombosWritten;
    pFile_->WriteLong(static_cast<int32_t>(vValidCohorts_.size()));
    for (bool bValid : vValidCohorts_) pFile_->WriteBool(bValid);
    for (const KmString& sLabel : vCohortLabels_) {
      pFile_->WriteString(sLabel.GetCString(), true);
    }
    pFile_->WriteLong(iComparisonGroupSize_);
    lOffsetPos_ = pFile_->Tell();
    const int32_t iEntries =
        combos_.GetNumCombinations() + combos_.GetNumComparisons();
    const int32_t iSlots = iEntries > 0 ? iEntries : 1;
    for (int32_t i = 0; i < iSlots; ++i) pFile_->WriteInt(-1);
    pFile_->Flush();
    CheckWritten();
  });
}

void kmCalcHandler::AppendRecord(const kmCalcData& calcData,
                                 KmVector<int32_t>& vOffsets) {
  const int32_t lOffset = pFile_->Tell();
  calcData.Write(pFile_.get());
  pFile_->Flush();
  CheckWritten();
  // The offset is noted only once the record is whole in the file, so a
  // failed write leaves no offset pointing at a partial record.
  vOffsets.push_back(lOffset);
  vNumericData_[0] = Now() - vNumericData_[1];
}

void kmCalcHandler::WriteCohortCalcData(const kmCalcData* pCalcData) {
  WithCallPath("WriteCohortCalcData(kmCalcData *)", kClassName, [&] {
    CheckWriteState(
        kStateCombosWritten,
        "You must call WriteCombos() before calling WriteCalcData().");
    if (pCalcData == nullptr) {
      GenerateKmException("Invalid kmCalcData pointer.", kClassName);
    }
    AppendRecord(*pCalcData, vCohortOffsets_);
  });
}

void kmCalcHandler::WriteComparisonCalcData() {
  WithCallPath("WriteComparisonCalcData()", kClassName, [&] {
    CheckWriteState(
        kStateCombosWritten,
        "You must call WriteCombos() before calling WriteCalcData().");
    AppendRecord(currentCalcData_, vComparisonOffsets_);
  });
}

void kmCalcHandler::WriteOffsets() {
  WithCallPath("WriteOffsets()", kClassName, [&] {
    CheckWriteState(
        kStateCombosWritten,
        "You must call WriteCombos() before calling WriteOffsets().");
    const size_t iExpected = static_cast<size_t>(combos_.GetNumCombinations()) +
                             static_cast<size_t>(combos_.GetNumComparisons());
    const size_t iWritten = vCohortOffsets_.size() + vComparisonOffsets_.size();
    // Without combinations the table has its one slot for the single cohort
    // of a run without by-variables: no record at all would leave it -1 and
    // the file unreadable.
    const size_t iNeeded = iExpected == 0 ? 1 : iExpected;
    if (iWritten != iNeeded) {
      GenerateKmException(
          "Number of by-variable value combinations does not match the number "
          "of CalcDatas.",
          "Error");
    }
    pFile_->Seek(lOffsetPos_);
    for (int32_t lOffset : vCohortOffsets_) pFile_->WriteInt(lOffset);
    for (int32_t lOffset : vComparisonOffsets_) pFile_->WriteInt(lOffset);
    pFile_->Flush();
    CheckWritten();
    iState_ = kStateOffsetsWritten;
  });
}

void kmCalcHandler::WriteNumericData() {
  WithCallPath("WriteNumericData()", kClassName, [&] {
    CheckWriteState(
        kStateOffsetsWritten,
        "You must call WriteOffsets() before calling WriteNumericData().");
    pFile_->Seek(lNumericPos_);
    double dVersion = 0.0;
    KmConvertValue(dVersion, kFileVersionText, false);
    vNumericData_[3] = dVersion;
    pFile_->WriteInt(kNumNumericEntries);
    for (int32_t i = 0; i < kNumNumericEntries; ++i) {
      pFile_->WriteDouble(vNumericData_[i]);
    }
    pFile_->Flush();
    CheckWritten();
    iState_ = kStateNumericWritten;
  });
}

void kmCalcHandler::CloseOutFile() {
  WithCallPath("CloseOutFile()", kClassName, [&] {
    if (pFile_) pFile_->Close();
  });
}

void kmCalcHandler::SetCombos(const kmCombos& combos) {
  WithCallPath("SetCombos()", kClassName, [&] {
    if (iState_ == kStateReadFromFile) {
      GenerateKmException(
          "This output file has already been written. You cannot add to it.",
          "Error");
    }
    if (iState_ >= kStateCombosWritten) {
      GenerateKmException(
          "You cannot call SetCombos() after the combos have been written to "
          "the file",
          "State Error");
    }
    combos_ = combos;
  });
}
