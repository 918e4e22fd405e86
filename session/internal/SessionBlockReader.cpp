// SessionBlockReader: the checked primitive readers of the session block.
#include "session/internal/SessionBlockReader.h"

#include <cstring>
#include <vector>

#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"

namespace km_session_internal {

const char* const kNotValidFileMessage =
    "Error:  This file is not a valid Kinkmark file.";

namespace {

// Bytes read at a time, so that a corrupted length cannot make the reader
// reserve more memory than the file holds.
constexpr int32_t kReadChunk = 64 * 1024;

}  // namespace

SessionBlockReader::SessionBlockReader(KmIO_File* pIO, const char* sSource)
    : pIO_(pIO), sSource_(sSource) {}

void SessionBlockReader::Refuse() const {
  GenerateKmException(kNotValidFileMessage, sSource_);
}

int32_t SessionBlockReader::CheckCount(int32_t iCount) const {
  if (iCount < 0) Refuse();
  return iCount;
}

// The values are read as raw bytes and checked against the number of bytes
// the file delivered: the typed readers of KmIO_File answer 0 past the end,
// which cannot be told apart from a stored 0.
bool SessionBlockReader::ReadBool() {
  unsigned char b = 0;
  if (pIO_->Read(&b, 1) != 1) Refuse();
  return b != 0;
}

int16_t SessionBlockReader::ReadShort() {
  unsigned char b[2] = {0, 0};
  if (pIO_->Read(b, 2) != 2) Refuse();
  return static_cast<int16_t>(static_cast<uint16_t>(b[0] | (b[1] << 8)));
}

int32_t SessionBlockReader::ReadInt() {
  unsigned char b[4] = {0, 0, 0, 0};
  if (pIO_->Read(b, 4) != 4) Refuse();
  uint32_t u =
      static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
      (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
  return static_cast<int32_t>(u);
}

double SessionBlockReader::ReadDouble() {
  unsigned char b[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  if (pIO_->Read(b, 8) != 8) Refuse();
  uint64_t u = 0;
  for (int i = 7; i >= 0; --i) u = (u << 8) | b[i];
  double d = 0.0;
  std::memcpy(&d, &u, sizeof d);
  return d;
}

char SessionBlockReader::ReadByte() {
  char c = 0;
  if (pIO_->Read(&c, 1) != 1) Refuse();
  return c;
}

void SessionBlockReader::ReadBytes(std::string& sOut, int32_t iCount) {
  sOut.clear();
  std::vector<char> chunk;
  int32_t iLeft = CheckCount(iCount);
  while (iLeft > 0) {
    int32_t iWant = iLeft < kReadChunk ? iLeft : kReadChunk;
    chunk.resize(static_cast<size_t>(iWant));
    if (pIO_->Read(chunk.data(), iWant) != iWant) Refuse();
    sOut.append(chunk.data(), chunk.size());
    iLeft -= iWant;
  }
}

void SessionBlockReader::ReadCString(KmString& sOut) {
  int32_t n = CheckCount(ReadInt());
  if (n == 0) {
    sOut = "";
    return;
  }
  std::string sBytes;
  ReadBytes(sBytes, n);
  if (sBytes.back() != '\0') Refuse();
  sBytes.pop_back();
  sOut = KmString(sBytes);
}

void SessionBlockReader::ReadString(KmString& sOut) {
  std::string sBytes;
  char c = 0;
  for (;;) {
    if (pIO_->Read(&c, 1) != 1) Refuse();
    if (c == '\0') break;
    sBytes.push_back(c);
  }
  sOut = KmString(sBytes);
}

}  // namespace km_session_internal
