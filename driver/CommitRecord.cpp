// CommitRecord: the text of the record and its reader.
#include "driver/CommitRecord.h"

#include <random>

#include "driver/KmStepFile.h"

namespace {

// The first line of a record of this version, and the beginning that the
// first line of every version's record shares.
constexpr const char kHeader[] = "kinkmark commit record version 5 ";
constexpr const char kAnyVersion[] = "kinkmark commit record";
constexpr const char kAppend[] = "append ";
constexpr const char kMove[] = "move ";
constexpr const char kRemove[] = "remove ";
constexpr const char kEnd[] = "end ";
// The length of the tag and of the checksum, in hexadecimal digits.
constexpr size_t kHexLength = 16;
// A record holds a few dozen names; anything longer is not one.
constexpr size_t kLongestRecord = 1u << 20;

// Reads the append line sLine into plan: one only, before any move, and
// a name after the file's device and inode and its block.
bool ReadAppend(const std::string& sLine, CommitPlan& plan) {
  size_t iField = sizeof kAppend - 1;
  unsigned long long iOffset = 0;
  if (!plan.sAppendedTo.IsEmpty() || !plan.moves.empty() ||
      !plan.removals.empty() ||
      !ReadFileIdFields(sLine, iField, plan.appendedFile) ||
      !ReadDigits(sLine, iField, iOffset) ||
      !ReadBlockFields(sLine, iField, plan.block) || iField >= sLine.size() ||
      !ReadNameField(sLine.substr(iField), plan.sAppendedTo)) {
    return false;
  }
  plan.block.iOffset = static_cast<long long>(iOffset);
  return true;
}

// Reads the lines of a whole record between its first line (ending at
// iAt) and its last (starting at iBodyEnd).
bool ParseLines(const std::string& sText, size_t iAt, size_t iBodyEnd,
                CommitPlan& plan, std::string& sWhy) {
  for (int iLine = 2; iAt < iBodyEnd; ++iLine) {
    const size_t iEnd = sText.find('\n', iAt);
    const std::string sLine = sText.substr(iAt, iEnd - iAt);
    iAt = iEnd + 1;
    CommitMove move;
    size_t iField = sizeof kMove - 1;
    if (sLine.rfind(kAppend, 0) == 0 && ReadAppend(sLine, plan)) continue;
    KmString sRemoval;
    if (sLine.rfind(kMove, 0) == 0 &&
        ReadFileIdFields(sLine, iField, move.file) &&
        ReadNameField(sLine.substr(iField), move.sPartial)) {
      plan.moves.push_back(move);
    } else if (sLine.rfind(kRemove, 0) == 0 &&
               ReadNameField(sLine.substr(sizeof kRemove - 1), sRemoval)) {
      plan.removals.push_back(sRemoval);
    } else {
      sWhy = "its line " + std::to_string(iLine) +
             " is not a line of such a record";
      return false;
    }
  }
  return true;
}

}  // namespace

std::string CommitRecord::NewTag() {
  std::random_device random;
  return HexOf((static_cast<unsigned long long>(random()) << 32) ^ random());
}

std::string CommitRecord::Text(const CommitPlan& plan) {
  std::string sText = kHeader + plan.sTag + "\n";
  if (!plan.sAppendedTo.IsEmpty()) {
    sText += kAppend + FileIdFieldsOf(plan.appendedFile) + " " +
             std::to_string(plan.block.iOffset) + " " +
             BlockFieldsOf(plan.block) + " " + NameField(plan.sAppendedTo) +
             "\n";
  }
  for (const CommitMove& move : plan.moves) {
    sText += kMove + FileIdFieldsOf(move.file) + " " +
             NameField(move.sPartial) + "\n";
  }
  for (const KmString& sName : plan.removals) {
    sText += kRemove + NameField(sName) + "\n";
  }
  return sText + kEnd + CommitChecksum(sText, sText.size()) + "\n";
}

CommitRecord::Found CommitRecord::Parse(const std::string& sText,
                                        CommitPlan& plan, std::string& sWhy) {
  const std::string sHeader = kHeader;
  const size_t iFirstEnd = sText.find('\n');
  // Cut inside its first line (an empty file included): its run was
  // stopped while it wrote it.
  if (iFirstEnd == std::string::npos &&
      sText.size() <= sHeader.size() + kHexLength &&
      sHeader.compare(0, sText.size(), sText, 0, sHeader.size()) == 0) {
    return Found::kUnfinished;
  }
  if (sText.compare(0, sHeader.size(), sHeader) != 0 ||
      iFirstEnd == std::string::npos ||
      !IsHex(sText.substr(sHeader.size(), iFirstEnd - sHeader.size()))) {
    const bool bOtherVersion = sText.rfind(kAnyVersion, 0) == 0;
    sWhy = bOtherVersion ? "it is a record of another version of this program"
                         : "it is not a record of this program";
    return bOtherVersion ? Found::kOtherVersion : Found::kUnreadable;
  }
  // The last line: "end <checksum>\n", else the record was cut before it.
  const size_t iLastLine = sText.size() < 2 + sizeof kEnd + kHexLength
                               ? std::string::npos
                               : sText.size() - (sizeof kEnd + kHexLength);
  if (iLastLine == std::string::npos || iLastLine <= iFirstEnd ||
      sText.back() != '\n' || sText[iLastLine - 1] != '\n' ||
      sText.compare(iLastLine, sizeof kEnd - 1, kEnd) != 0 ||
      !IsHex(sText.substr(iLastLine + sizeof kEnd - 1, kHexLength))) {
    if (!HoldsEndLine(sText)) return Found::kUnfinished;
    sWhy = "it holds lines after its last line";
    return Found::kUnreadable;
  }
  if (sText.compare(iLastLine + sizeof kEnd - 1, kHexLength,
                    CommitChecksum(sText, iLastLine)) != 0) {
    sWhy = "it is not whole (its checksum does not match its lines)";
    return Found::kUnreadable;
  }
  plan = CommitPlan();
  plan.sTag = sText.substr(sHeader.size(), kHexLength);
  return ParseLines(sText, iFirstEnd + 1, iLastLine, plan, sWhy)
             ? Found::kComplete
             : Found::kUnreadable;
}

CommitRecord::Found CommitRecord::Read(KmStepFile& record, CommitPlan& plan,
                                       std::string& sWhy) {
  std::string sText;
  switch (record.ReadLeft("record", kLongestRecord, sText, sWhy)) {
    case KmStepFile::Left::kNone:
      return Found::kNone;
    case KmStepFile::Left::kRefused:
      return Found::kUnreadable;
    case KmStepFile::Left::kRead:
      break;
  }
  return Parse(sText, plan, sWhy);
}
