// KmCheckedReader: the checked binary readers.
#include "foundation/KmCheckedReader.h"

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"

namespace {

// Bytes read at a time, so that a damaged length cannot make the reader
// reserve more memory than the file holds.
constexpr int32_t kReadChunk = 64 * 1024;

constexpr int64_t kSizeNotMeasured = -2;

}  // namespace

KmCheckedReader::Refusal KmCheckedReader::Plain(const char* sMessage,
                                                const char* sSource) {
  return [sMessage, sSource](const Failure&) {
    GenerateKmException(sMessage, sSource);
  };
}

KmCheckedReader::KmCheckedReader(KmIO_File* pIO, Refusal refuse,
                                 const char* sPart)
    : pIO_(pIO),
      refuse_(std::move(refuse)),
      sPart_(sPart != nullptr ? sPart : ""),
      lFileSize_(kSizeNotMeasured) {}

void KmCheckedReader::Refuse(Fault eFault, int64_t iValue) {
  RefuseAs(sPart_, eFault, iValue);
}

void KmCheckedReader::RefuseAs(const char* sPart, Fault eFault,
                               int64_t iValue) {
  if (refuse_) refuse_(Failure{eFault, sPart, iValue});
  // The refusal must throw; one that returns still ends the read.
  GenerateKmException("The file is damaged.", "KmCheckedReader");
}

// The values are read as raw bytes and checked against the number of bytes
// the file delivered: the typed readers of KmIO_File answer 0 past the end,
// which cannot be told apart from a stored 0.
void KmCheckedReader::ReadExactly(void* pBytes, int32_t n) {
  if (pIO_ == nullptr || pIO_->Read(pBytes, n) != n) Refuse(kEnded);
}

bool KmCheckedReader::ReadBool() {
  unsigned char b = 0;
  ReadExactly(&b, 1);
  return b != 0;
}

int16_t KmCheckedReader::ReadShort() {
  unsigned char b[2] = {0, 0};
  ReadExactly(b, 2);
  return static_cast<int16_t>(static_cast<uint16_t>(b[0] | (b[1] << 8)));
}

int32_t KmCheckedReader::ReadInt() {
  unsigned char b[4] = {0, 0, 0, 0};
  ReadExactly(b, 4);
  const uint32_t u =
      static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
      (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
  return static_cast<int32_t>(u);
}

double KmCheckedReader::ReadDouble() {
  unsigned char b[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  ReadExactly(b, 8);
  uint64_t u = 0;
  for (int i = 7; i >= 0; --i) u = (u << 8) | b[i];
  double d = 0.0;
  std::memcpy(&d, &u, sizeof d);
  return d;
}

char KmCheckedReader::ReadByte() {
  char c = 0;
  ReadExactly(&c, 1);
  return c;
}

void KmCheckedReader::ReadBytes(std::string& sOut, int32_t iCount) {
  sOut.clear();
  if (iCount < 0) Refuse(kNegativeCount, iCount);
  std::vector<char> chunk;
  int32_t iLeft = iCount;
  while (iLeft > 0) {
    const int32_t iWant = iLeft < kReadChunk ? iLeft : kReadChunk;
    chunk.resize(static_cast<size_t>(iWant));
    ReadExactly(chunk.data(), iWant);
    sOut.append(chunk.data(), chunk.size());
    iLeft -= iWant;
  }
}

void KmCheckedReader::ReadCString(KmString& sOut) {
  const int32_t n = ReadInt();
  if (n < 0) Refuse(kNegativeCount, n);
  if (n == 0) {
    sOut = "";
    return;
  }
  std::string sBytes;
  ReadBytes(sBytes, n);
  if (sBytes.back() != '\0') Refuse(kBadText);
  sBytes.pop_back();
  sOut = KmString(sBytes);
}

void KmCheckedReader::ReadString(KmString& sOut) {
  std::string sBytes;
  for (char c = ReadByte(); c != '\0'; c = ReadByte()) sBytes.push_back(c);
  sOut = KmString(sBytes);
}

int32_t KmCheckedReader::ReadShortCount() {
  const int32_t iCount = ReadShort();
  if (iCount < 0) Refuse(kNegativeCount, iCount);
  return iCount;
}

int32_t KmCheckedReader::CheckCount(int64_t iCount, int64_t iBytesEach,
                                    const char* sWhat) {
  const char* sPart = sWhat != nullptr ? sWhat : sPart_;
  if (iCount < 0) RefuseAs(sPart, kNegativeCount, iCount);
  // No file this layer reads holds more than 2^31 - 1 elements.
  if (iCount > INT32_MAX) RefuseAs(sPart, kCountBeyondFile, iCount);
  if (iBytesEach > 0) {
    const int64_t iLeft = BytesLeft();
    if (iLeft >= 0 && iCount * iBytesEach > iLeft) {
      RefuseAs(sPart, kCountBeyondFile, iCount);
    }
  }
  return static_cast<int32_t>(iCount);
}

int64_t KmCheckedReader::BytesLeft() {
  if (pIO_ == nullptr) return -1;
  if (lFileSize_ == kSizeNotMeasured) lFileSize_ = pIO_->GetSize();
  const int32_t lPos = pIO_->Tell();
  if (lFileSize_ < 0 || lPos < 0) return -1;
  return lFileSize_ - lPos;
}

void KmCheckedReader::CheckNotEnded() {
  if (pIO_ == nullptr || pIO_->IsEOF()) Refuse(kEnded);
}

void KmCheckedReader::CheckAtEnd() {
  CheckNotEnded();
  const int64_t iLeft = BytesLeft();
  if (iLeft > 0) Refuse(kTrailingBytes, iLeft);
}
