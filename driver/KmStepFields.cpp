// The fields and rules both files of the last step share.
#include "driver/KmStepFields.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "foundation/KmException.h"
#include "foundation/KmSystemReason.h"
#include "foundation/platform/KmFileSystem.h"

namespace {

// Every file of the last step is the step's: its failures name it.
constexpr const char kClassName[] = "KmLastStep";
// The line end and last line of a record or a journal begin so.
constexpr const char kEndLead[] = "\nend ";
// The length of a tag and of a checksum, in hexadecimal digits.
constexpr size_t kHexLength = 16;

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

// True when c is a byte NameField writes as "\x" and two hexadecimal
// digits.
bool IsEscaped(unsigned char c) { return c < 0x20 || c == 0x7f || c == '\\'; }

}  // namespace

std::string HexOf(unsigned long long iNumber) {
  char sHex[kHexLength + 1];
  std::snprintf(sHex, sizeof sHex, "%016llx", iNumber);
  return sHex;
}

std::string CommitChecksum(const std::string& sText, size_t iLength) {
  return HexOf(Hash(kNoBytesHash, sText.data(), iLength));
}

CommitBlock CommitBlockOf(long long iOffset, const std::string& sBytes) {
  return CommitBlock{iOffset, static_cast<long long>(sBytes.size()),
                     CommitChecksum(sBytes, sBytes.size())};
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
  const std::string sLead = kEndLead;
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

void RaiseWriteFailure(const KmString& sName, int iErrno) {
  GenerateKmExceptionF("Unable to write the file \"%s\": %s.", kClassName,
                       sName.GetCString(), KmSystemReason(iErrno).c_str());
}

CommitFileId CommitFileIdOf(const struct stat& info) {
  return CommitFileId{static_cast<unsigned long long>(info.st_dev),
                      static_cast<unsigned long long>(info.st_ino)};
}

bool IsOwnFileWithOneName(const struct stat& info) {
  return info.st_uid == KmGetFileSystem().UserId() && info.st_nlink == 1;
}
