// CommitRecord: the text of the record and its reader.
#include "driver/CommitRecord.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

#include "driver/KmStepFile.h"
#include "foundation/KmException.h"
#include "foundation/platform/KmFileSystem.h"

namespace {

constexpr const char kClassName[] = "CommitRecord";
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

// FNV-1a, 64 bits: the hash of no bytes, and iHash carried over iLength
// more bytes of pBytes.
constexpr unsigned long long kNoBytesHash = 14695981039346656037ull;
unsigned long long Hash(unsigned long long iHash, const char* pBytes,
                        size_t iLength) {
  for (size_t i = 0; i < iLength; ++i) {
    iHash = (iHash ^ static_cast<unsigned char>(pBytes[i])) * 1099511628211ull;
  }
  return iHash;
}

std::string HexOf(unsigned long long iHash) {
  char sHex[kHexLength + 1];
  std::snprintf(sHex, sizeof sHex, "%016llx", iHash);
  return sHex;
}

// The checksum of a record's text before its last line, or of a block.
std::string Checksum(const std::string& sText, size_t iLength) {
  return HexOf(Hash(kNoBytesHash, sText.data(), iLength));
}

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

// True when c is a byte NameField writes as "\x" and two hexadecimal
// digits.
bool IsEscaped(unsigned char c) { return c < 0x20 || c == 0x7f || c == '\\'; }

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

std::string CommitChecksum(const std::string& sText, size_t iLength) {
  return Checksum(sText, iLength);
}

CommitBlock CommitBlockOf(long long iOffset, const std::string& sBytes) {
  return CommitBlock{iOffset, static_cast<long long>(sBytes.size()),
                     Checksum(sBytes, sBytes.size())};
}

bool IsBlockWhole(int iFd, const CommitBlock& block) {
  char buffer[1 << 14];
  unsigned long long iHash = kNoBytesHash;
  for (long long iAt = block.iOffset; iAt < block.End();) {
    const size_t iWant = static_cast<size_t>(
        std::min<long long>(sizeof buffer, block.End() - iAt));
    const ssize_t iRead = pread(iFd, buffer, iWant, static_cast<off_t>(iAt));
    if (iRead < 0 && errno == EINTR) continue;
    if (iRead <= 0) return false;
    iHash = Hash(iHash, buffer, static_cast<size_t>(iRead));
    iAt += iRead;
  }
  return HexOf(iHash) == block.sChecksum;
}

std::string BlockFieldsOf(const CommitBlock& block) {
  return std::to_string(block.iLength) + " " + block.sChecksum;
}

bool ReadBlockFields(const std::string& sText, size_t& iAt,
                     CommitBlock& block) {
  unsigned long long iLength = 0;
  const std::string sWithEnd = sText + " ";
  if (!ReadDigits(sWithEnd, iAt, iLength) || iLength == 0 ||
      !IsHex(sWithEnd.substr(iAt, kHexLength)) ||
      sWithEnd[iAt + kHexLength] != ' ') {
    return false;
  }
  block.iLength = static_cast<long long>(iLength);
  block.sChecksum = sWithEnd.substr(iAt, kHexLength);
  iAt = std::min(iAt + kHexLength + 1, sText.size());
  return true;
}

bool IsHex(const std::string& sText) {
  return sText.size() == kHexLength &&
         sText.find_first_not_of("0123456789abcdef") == std::string::npos;
}

bool HoldsEndLine(const std::string& sText) {
  const std::string sLead = std::string("\n") + kEnd;
  for (size_t iAt = sText.find(sLead); iAt != std::string::npos;
       iAt = sText.find(sLead, iAt + 1)) {
    const size_t iHex = iAt + sLead.size();
    if (IsHex(sText.substr(iHex, kHexLength)) &&
        sText.compare(iHex + kHexLength, 1, "\n") == 0) {
      return true;
    }
  }
  return false;
}

std::string NameField(const KmString& sName) {
  std::string sField;
  for (const char* p = sName.GetCString(); *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (!IsEscaped(c)) {
      sField += *p;
      continue;
    }
    char sEscape[5];
    std::snprintf(sEscape, sizeof sEscape, "\\x%02x", c);
    sField += sEscape;
  }
  return sField;
}

bool ReadNameField(const std::string& sField, KmString& sName) {
  std::string sRead;
  for (size_t i = 0; i < sField.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(sField[i]);
    if (c != '\\') {
      if (IsEscaped(c)) return false;
      sRead += sField[i];
      continue;
    }
    const std::string sEscape = sField.substr(i + 1, 3);
    if (sEscape.size() != 3 || sEscape[0] != 'x' ||
        sEscape.find_first_not_of("0123456789abcdef", 1) != std::string::npos) {
      return false;
    }
    const unsigned char cByte =
        static_cast<unsigned char>(std::stoul(sEscape.substr(1), nullptr, 16));
    // NUL ends a name: no field holds it.
    if (cByte == 0 || !IsEscaped(cByte)) return false;
    sRead += static_cast<char>(cByte);
    i += 3;
  }
  if (sRead.empty()) return false;
  sName = sRead.c_str();
  return true;
}

bool ReadDigits(const std::string& sText, size_t& iAt,
                unsigned long long& iNumber) {
  const size_t iEnd = sText.find(' ', iAt);
  if (iEnd == std::string::npos || iEnd == iAt || iEnd - iAt > 18 ||
      sText.find_first_not_of("0123456789", iAt) < iEnd) {
    return false;
  }
  iNumber = std::stoull(sText.substr(iAt, iEnd - iAt));
  iAt = iEnd + 1;
  return true;
}

std::string FileIdFieldsOf(const CommitFileId& file) {
  return std::to_string(file.iDevice) + " " + std::to_string(file.iInode);
}

bool ReadFileIdFields(const std::string& sText, size_t& iAt,
                      CommitFileId& file) {
  return ReadDigits(sText, iAt, file.iDevice) &&
         ReadDigits(sText, iAt, file.iInode);
}

std::string SystemReason(int iErrno) {
  return std::error_code(iErrno != 0 ? iErrno : EIO, std::generic_category())
      .message();
}

void RaiseWriteFailure(const KmString& sName, int iErrno) {
  GenerateKmExceptionF("Unable to write the file \"%s\": %s.", kClassName,
                       sName.GetCString(), SystemReason(iErrno).c_str());
}

CommitFileId CommitFileIdOf(const struct stat& info) {
  return CommitFileId{static_cast<unsigned long long>(info.st_dev),
                      static_cast<unsigned long long>(info.st_ino)};
}

bool IsOwnFileWithOneName(const struct stat& info) {
  return info.st_uid == KmGetFileSystem().UserId() && info.st_nlink == 1;
}

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
  return sText + kEnd + Checksum(sText, sText.size()) + "\n";
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
                    Checksum(sText, iLastLine)) != 0) {
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
