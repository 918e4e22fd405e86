#include "foundation/KmIO_File.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "foundation/KmCallPath.h"
#include "foundation/KmSystemReason.h"
#include "foundation/platform/KmFdOutputStream.h"
#include "foundation/platform/KmFileSystem.h"
#include "foundation/platform/KmFolder.h"
#include "foundation/platform/KmHeldFiles.h"
#include "foundation/platform/KmPlatform.h"

namespace {

const char kClassName[] = "KmIO_File";

// Largest piece ReadCString asks for at once, so that a corrupt length does
// not allocate more than the file can deliver.
constexpr int32_t kCStringChunk = 1 << 16;

void EncodeLittleEndian(uint64_t uValue, unsigned char* pBytes, int iCount) {
  for (int i = 0; i < iCount; ++i) {
    pBytes[i] = static_cast<unsigned char>((uValue >> (8 * i)) & 0xFFu);
  }
}

uint64_t DecodeLittleEndian(const unsigned char* pBytes, int iCount) {
  uint64_t uValue = 0;
  for (int i = 0; i < iCount; ++i) {
    uValue |= static_cast<uint64_t>(pBytes[i]) << (8 * i);
  }
  return uValue;
}

// The system's text for iErrno.
KmString ReasonText(int iErrno) {
  return KmString(KmSystemReason(iErrno).c_str());
}

}  // namespace

KmIO_File::KmIO_File() : bReadMode_(true), bOpened_(false) {}

KmIO_File::KmIO_File(const KmFileTarget& file, int32_t lMode)
    : bReadMode_(true), bOpened_(false) {
  Open(file, lMode);
}

KmIO_File::~KmIO_File() {
  int iErrno = 0;
  CloseStreams(iErrno);
}

void KmIO_File::Open(const KmFileTarget& file, int32_t lMode) {
  WithCallPath("Open()", kClassName, [&] {
    // Whatever was open before is given up, written or not.
    int iErrno = 0;
    CloseStreams(iErrno);
    const char* sPath = file.GetName();
    sPath_ = sPath;
    sError_.Clear();
    if (sPath == nullptr) return;
    KmFileSystem& fileSystem = KmGetFileSystem();
    const bool bHeld = file.GetFd() >= 0;
    errno = 0;
    if ((lMode & kWrite) != 0) {
      bReadMode_ = false;
      const bool bAppend = (lMode & kAppend) != 0;
      pOutput_ = bHeld ? KmOpenHeldOutput(file.GetFd(), bAppend)
                       : fileSystem.OpenOutput(sPath, bAppend);
      bOpened_ = pOutput_ && pOutput_->good();
    } else if ((lMode & kRead) != 0) {
      pInput_ =
          bHeld ? KmOpenHeldInput(file.GetFd()) : fileSystem.OpenInput(sPath);
      bOpened_ = pInput_ && pInput_->good();
    } else {
      return;
    }
    if (!bOpened_) sError_ = ReasonText(errno != 0 ? errno : EIO);
  });
}

bool KmIO_File::CloseStreams(int& iErrno) {
  bool bWritten = true;
  if (pOutput_) {
    errno = 0;
    pOutput_->flush();
    if (pOutput_->fail() && iErrno == 0) iErrno = errno;
    if (auto* pFd = dynamic_cast<KmFdOutputStream*>(pOutput_.get())) {
      pFd->close();
      if (pFd->fail() && iErrno == 0) iErrno = errno;
    }
    bWritten = !pOutput_->fail();
    pOutput_.reset();
  }
  pInput_.reset();
  bReadMode_ = true;
  bOpened_ = false;
  return bWritten;
}

void KmIO_File::Close() {
  WithCallPath("Close()", kClassName, [&] {
    int iErrno = 0;
    if (!CloseStreams(iErrno)) CheckOutput(iErrno);
  });
}

void KmIO_File::Flush() {
  WithCallPath("Flush()", kClassName, [&] {
    if (bReadMode_ || !pOutput_) return;
    errno = 0;
    pOutput_->flush();
    if (pOutput_->fail()) CheckOutput(errno);
  });
}

void KmIO_File::CheckOutput(int iErrno) {
  if (iErrno != 0) sError_ = ReasonText(iErrno);
  if (sError_.IsEmpty()) sError_ = ReasonText(EIO);
  GenerateKmExceptionF("Unable to write the file \"%s\": %s.", kClassName,
                       sPath_.GetCString(), sError_.GetCString());
}

bool KmIO_File::IsOpen() const {
  return bOpened_ && (bReadMode_ ? pInput_ != nullptr : pOutput_ != nullptr);
}

bool KmIO_File::IsEOF() const {
  if (bReadMode_) {
    // A failed stream delivers nothing more: answering "not at the end"
    // for it would keep a reading loop going for ever.
    return !pInput_ || pInput_->eof() || pInput_->fail();
  }
  return !pOutput_ || pOutput_->eof();
}

void KmIO_File::Seek(int32_t lPos) {
  if (bReadMode_) {
    if (!pInput_) return;
    pInput_->clear();
    pInput_->seekg(lPos, std::ios::beg);
  } else if (pOutput_) {
    WithCallPath("Seek()", kClassName, [&] {
      errno = 0;
      pOutput_->seekp(lPos, std::ios::beg);
      if (pOutput_->fail()) CheckOutput(errno);
    });
  }
}

int32_t KmIO_File::Tell() {
  std::streampos pos = -1;
  if (bReadMode_) {
    if (!pInput_) return -1;
    // The position stays known after a read past the end: ask with the
    // state cleared and put the state back.
    const std::ios::iostate state = pInput_->rdstate();
    pInput_->clear();
    pos = pInput_->tellg();
    pInput_->clear(state);
  } else {
    if (!pOutput_) return -1;
    pos = pOutput_->tellp();
  }
  return static_cast<int32_t>(static_cast<std::streamoff>(pos));
}

int64_t KmIO_File::GetSize() {
  if (!bReadMode_ || !pInput_) return -1;
  // Measured by a seek to the end and back; the read position and the
  // stream's state are as they were.
  const std::ios::iostate state = pInput_->rdstate();
  pInput_->clear();
  const std::streampos pos = pInput_->tellg();
  pInput_->seekg(0, std::ios::end);
  const std::streampos end = pInput_->tellg();
  pInput_->seekg(pos);
  const bool bKnown =
      pInput_->good() && pos != std::streampos(-1) && end != std::streampos(-1);
  pInput_->clear(state);
  return bKnown ? static_cast<int64_t>(static_cast<std::streamoff>(end)) : -1;
}

int32_t KmIO_File::Read(void* pBuffer, int32_t lBytes) {
  if (!bReadMode_ || !pInput_ || lBytes <= 0) return 0;
  char* pChars = static_cast<char*>(pBuffer);
  pInput_->read(pChars, lBytes);
  const int32_t lRead = static_cast<int32_t>(pInput_->gcount());
  std::memset(pChars + lRead, 0, static_cast<size_t>(lBytes - lRead));
  return lRead;
}

int32_t KmIO_File::Read(KmString& sLine) {
  return WithCallPath("Read()", kClassName, [&]() -> int32_t {
    sLine.Clear();
    if (!bReadMode_ || !pInput_ || !pInput_->good()) return 0;
    std::string sText;
    std::getline(*pInput_, sText);
    sLine = KmString(sText);
    sLine.RemoveAll('\r');
    return sLine.GetLength() + 2;
  });
}

void KmIO_File::ReadRaw(unsigned char* pBytes, int32_t n) {
  std::memset(pBytes, 0, static_cast<size_t>(n));
  Read(pBytes, n);
}

bool KmIO_File::ReadBool() {
  unsigned char byte = 0;
  ReadRaw(&byte, 1);
  return byte != 0;
}

int16_t KmIO_File::ReadShort() {
  unsigned char bytes[2];
  ReadRaw(bytes, 2);
  return static_cast<int16_t>(
      static_cast<uint16_t>(DecodeLittleEndian(bytes, 2)));
}

int32_t KmIO_File::ReadInt() { return ReadLong(); }

int32_t KmIO_File::ReadLong() {
  unsigned char bytes[4];
  ReadRaw(bytes, 4);
  return static_cast<int32_t>(
      static_cast<uint32_t>(DecodeLittleEndian(bytes, 4)));
}

double KmIO_File::ReadDouble() {
  unsigned char bytes[8];
  ReadRaw(bytes, 8);
  const uint64_t uBits = DecodeLittleEndian(bytes, 8);
  double dValue;
  std::memcpy(&dValue, &uBits, sizeof dValue);
  return dValue;
}

void KmIO_File::ReadCString(KmString& sOut) {
  WithCallPath("ReadCString()", kClassName, [&] {
    sOut.Clear();
    const int32_t lStored = ReadLong();
    if (lStored <= 0) return;
    std::string sBytes;
    while (static_cast<int32_t>(sBytes.size()) < lStored) {
      const int32_t lOld = static_cast<int32_t>(sBytes.size());
      const int32_t lWant = std::min(kCStringChunk, lStored - lOld);
      sBytes.resize(static_cast<size_t>(lOld + lWant));
      const int32_t lGot = Read(&sBytes[static_cast<size_t>(lOld)], lWant);
      sBytes.resize(static_cast<size_t>(lOld + lGot));
      if (lGot < lWant) break;
    }
    // The last of the stored bytes is the zero byte; the text ends at the
    // first zero byte in any case.
    if (static_cast<int32_t>(sBytes.size()) == lStored) sBytes.pop_back();
    const size_t iNul = sBytes.find('\0');
    if (iNul != std::string::npos) sBytes.resize(iNul);
    sOut = KmString(sBytes);
  });
}

void KmIO_File::ReadString(KmString& sOut, char cTerminator) {
  WithCallPath("ReadString()", kClassName, [&] {
    sOut.Clear();
    if (!bReadMode_ || !pInput_) return;
    std::string sText;
    for (int iByte = pInput_->get(); iByte != std::char_traits<char>::eof();
         iByte = pInput_->get()) {
      const char c = static_cast<char>(iByte);
      if (c == cTerminator) break;
      if (c != '\0') sText += c;
    }
    sOut = KmString(sText);
  });
}

void KmIO_File::Write(const void* pBuffer, int32_t lBytes) {
  if (bReadMode_ || !pOutput_ || lBytes <= 0) return;
  errno = 0;
  pOutput_->write(static_cast<const char*>(pBuffer), lBytes);
  if (pOutput_->fail()) {
    WithCallPath("Write()", kClassName, [&] { CheckOutput(errno); });
  }
}

void KmIO_File::WriteRaw(const unsigned char* pBytes, int32_t n) {
  Write(pBytes, n);
}

void KmIO_File::WriteBool(bool bValue) {
  WithCallPath("WriteBool()", kClassName, [&] {
    const unsigned char byte = bValue ? 1 : 0;
    WriteRaw(&byte, 1);
  });
}

void KmIO_File::WriteShort(int16_t iValue) {
  WithCallPath("WriteShort()", kClassName, [&] {
    unsigned char bytes[2];
    EncodeLittleEndian(static_cast<uint16_t>(iValue), bytes, 2);
    WriteRaw(bytes, 2);
  });
}

void KmIO_File::WriteInt(int32_t iValue) { WriteLong(iValue); }

void KmIO_File::WriteLong(int32_t lValue) {
  WithCallPath("WriteLong()", kClassName, [&] {
    unsigned char bytes[4];
    EncodeLittleEndian(static_cast<uint32_t>(lValue), bytes, 4);
    WriteRaw(bytes, 4);
  });
}

void KmIO_File::WriteDouble(double dValue) {
  WithCallPath("WriteDouble()", kClassName, [&] {
    uint64_t uBits;
    std::memcpy(&uBits, &dValue, sizeof uBits);
    unsigned char bytes[8];
    EncodeLittleEndian(uBits, bytes, 8);
    WriteRaw(bytes, 8);
  });
}

void KmIO_File::WriteCString(const char* sText) {
  WithCallPath("WriteCString()", kClassName, [&] {
    if (sText == nullptr) {
      WriteLong(0);
      return;
    }
    const int32_t lStored = static_cast<int32_t>(std::strlen(sText) + 1);
    WriteLong(lStored);
    Write(sText, lStored);
  });
}

void KmIO_File::WriteString(const char* sText, bool bWithNul) {
  WithCallPath("WriteString()", kClassName, [&] {
    if (sText == nullptr) {
      GenerateKmException("Null pointer passed to WriteString", kClassName);
    }
    const size_t iLength = std::strlen(sText) + (bWithNul ? 1 : 0);
    Write(sText, static_cast<int32_t>(iLength));
  });
}

bool KmIO_File::RemoveFile(const char* sPath) {
  if (sPath == nullptr || IsSpecialFile(sPath)) return false;
  return KmGetFileSystem().Remove(sPath);
}

bool KmIO_File::IsSpecialFile(const char* sPath) {
  return sPath != nullptr && KmGetFileSystem().IsSpecial(sPath);
}

bool KmIO_File::FileExists(const char* sPath) { return KmAccessExists(sPath); }

void KmIO_File::MoveIntoPlace(const KmFolder& folder, const char* sFrom,
                              const char* sTo) {
  const std::string sToLeaf = KmFolder::LeafOf(sTo);
  if (folder.IsSpecial(sToLeaf)) {
    GenerateKmExceptionF(
        "Unable to write the file \"%s\": it is not a "
        "regular file.",
        kClassName, sTo);
  }
  errno = 0;
  if (folder.Rename(KmFolder::LeafOf(sFrom), sToLeaf)) return;
  const KmString sReason = ReasonText(errno != 0 ? errno : EIO);
  GenerateKmExceptionF("Unable to move the finished file \"%s\" to \"%s\": %s.",
                       kClassName, sFrom, sTo, sReason.GetCString());
}
