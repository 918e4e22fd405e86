#include "foundation/KmLineSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <istream>
#include <stdexcept>
#include <system_error>

#include "foundation/KmException.h"
#include "foundation/KmProgressInterface.h"
#include "foundation/platform/KmFileSystem.h"
#include "foundation/platform/KmPlatform.h"

namespace {

const char kClassName[] = "KmLineSource";

// Bytes read from the file per piece.
constexpr size_t kPieceBytes = size_t{1} << 16;

const char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr size_t kByteOrderMarkBytes = 3;

// The offset of the first carriage return among the uSize bytes at pText
// that is followed by a byte other than a carriage return; npos when there
// is none. Carriage returns at the end (before the line feed) are those of
// a "\r\n" line end.
size_t LoneCarriageReturnAt(const char* pText, size_t uSize) {
  const char* pEnd = pText + uSize;
  const char* p = static_cast<const char*>(std::memchr(pText, '\r', uSize));
  if (p == nullptr) return std::string::npos;
  const char* pFirst = p;
  while (p < pEnd && *p == '\r') ++p;
  return p < pEnd ? static_cast<size_t>(pFirst - pText) : std::string::npos;
}

bool HasLoneCarriageReturn(const char* pText, size_t uSize) {
  return LoneCarriageReturnAt(pText, uSize) != std::string::npos;
}

// Reads up to kPieceBytes bytes of a plain file into pBuffer and returns
// how many. A read error stops the piece where it struck and sets the
// stream's bad bit.
size_t ReadPlainPiece(std::istream& input, char* pBuffer) {
  std::streambuf* pBuf = input.rdbuf();
  size_t uGot = 0;
  try {
    while (uGot < kPieceBytes) {
      const std::streamsize lReady = pBuf->in_avail();
      if (lReady > 0) {
        const std::streamsize lWant = std::min<std::streamsize>(
            lReady, static_cast<std::streamsize>(kPieceBytes - uGot));
        uGot += static_cast<size_t>(pBuf->sgetn(pBuffer + uGot, lWant));
        continue;
      }
      const int c = pBuf->sbumpc();
      if (c == std::char_traits<char>::eof()) break;
      pBuffer[uGot++] = static_cast<char>(c);
    }
  } catch (const std::exception&) {
    input.setstate(std::ios::badbit);
  }
  return uGot;
}

}  // namespace

KmLineSource::KmLineSource(const char* sWhat)
    : sWhat_(sWhat),
      bGzip_(false),
      pGz_(nullptr),
      uBufferPos_(0),
      lPosition_(0),
      bEnd_(true),
      bAtStart_(false),
      lLineNumber_(0) {}

KmLineSource::~KmLineSource() { Close(); }

bool KmLineSource::Open(const char* sPath) {
  return Open(sPath, sPath != nullptr && KmString(sPath).EndsWith(".gz"));
}

bool KmLineSource::Open(const char* sPath, bool bGzip) {
  Close();
  iOpenError_ = EIO;
  if (sPath == nullptr) return false;
  sFileName_ = sPath;
  bGzip_ = bGzip;
  errno = 0;
  if (bGzip_) {
    pGz_ = km_gzopen(sPath, "rb");
  } else {
    pPlain_ = KmGetFileSystem().OpenInput(sPath);
    if (pPlain_ && !pPlain_->good()) pPlain_.reset();
  }
  if (!IsOpen()) {
    std::error_code error;
    // The file system's open refuses a folder without asking the system.
    if (errno == 0 &&
        std::filesystem::is_directory(KmNativePath(sPath), error)) {
      errno = EISDIR;
    }
    if (errno != 0) iOpenError_ = errno;
    return false;
  }
  iOpenError_ = 0;
  bEnd_ = false;
  bAtStart_ = true;
  lLineNumber_ = 0;
  if (pProgress_ != nullptr) {
    std::error_code error;
    const auto uSize = std::filesystem::file_size(KmNativePath(sPath), error);
    lFileBytes_ = error ? -1 : static_cast<int64_t>(uSize);
    pProgress_->SetRange(0, kProgressRange);
    pProgress_->SetPosition(0);
  }
  return true;
}

bool KmLineSource::IsOpen() const { return pGz_ != nullptr || pPlain_; }

void KmLineSource::Close() {
  if (pGz_ != nullptr) km_gzclose(pGz_);
  pGz_ = nullptr;
  pPlain_.reset();
  sBuffer_.clear();
  uBufferPos_ = 0;
  lPosition_ = 0;
  bEnd_ = true;
  bAtStart_ = false;
  lLineNumber_ = 0;
}

bool KmLineSource::Fill() {
  if (bEnd_) return false;
  sBuffer_.resize(kPieceBytes);
  int64_t lRead = 0;
  if (pGz_ != nullptr) {
    // km_gzread raises on corrupt or cut-short compressed data in the call
    // that meets it, the last one included.
    lRead = km_gzread(pGz_, &sBuffer_[0], static_cast<unsigned>(kPieceBytes));
  } else {
    lRead = static_cast<int64_t>(ReadPlainPiece(*pPlain_, &sBuffer_[0]));
    // A read error is not the end of the text: read on as if it were, the
    // file would pass for a shorter one and lose its last records unseen.
    if (pPlain_->bad()) {
      KmString sMessage;
      sMessage << sWhat_ << " \"" << sFileName_
               << "\" could not be read to its end: a read error struck after "
               << static_cast<int32_t>(
                      std::min<int64_t>(lPosition_ + lRead, INT32_MAX))
               << " bytes.";
      GenerateKmExceptionF("%s", kClassName, sMessage.GetCString());
    }
  }
  sBuffer_.resize(static_cast<size_t>(std::max<int64_t>(lRead, 0)));
  uBufferPos_ = 0;
  if (lRead <= 0) {
    if (pGz_ != nullptr) km_gzconfirmend(pGz_, sFileName_.GetCString());
    bEnd_ = true;
  }
  ReportProgress();
  return lRead > 0;
}

void KmLineSource::ReportProgress() {
  if (pProgress_ == nullptr) return;
  if (bEnd_) {
    pProgress_->SetPosition(kProgressRange);
    return;
  }
  if (lFileBytes_ <= 0) return;
  // The buffer holds the file's bytes from lPosition_ on (plain files).
  const int64_t lRead =
      pGz_ != nullptr ? km_gzoffset(pGz_)
                      : lPosition_ + static_cast<int64_t>(sBuffer_.size());
  const int64_t lShare = std::min<int64_t>(
      std::max<int64_t>(lRead, 0) * kProgressRange / lFileBytes_,
      kProgressRange);
  pProgress_->SetPosition(static_cast<int32_t>(lShare));
}

bool KmLineSource::IsSpreadsheetStart(const char* pStart, size_t uSize) {
  static const char kZip[] = "PK\x03\x04";
  static const char kCompoundDocument[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
  for (const char* sSignature : {kZip, kCompoundDocument}) {
    const size_t uLength = std::strlen(sSignature);
    if (uSize >= uLength && std::memcmp(pStart, sSignature, uLength) == 0) {
      return true;
    }
  }
  return false;
}

void KmLineSource::RefuseSpreadsheet(const KmString& sWhat,
                                     const KmString& sFile,
                                     const char* sSource) {
  GenerateKmInputExceptionF(
      "%s \"%s\" is a spreadsheet, which Kinkmark does not read: export it "
      "as delimited text (fields separated by tabs, blanks, commas or "
      "semicolons) and name that file in its place.",
      sSource, sWhat.GetCString(), sFile.GetCString());
}

void KmLineSource::ReadFileStart() {
  if (!bAtStart_) return;
  bAtStart_ = false;
  if (lPosition_ != 0 || !Fill()) return;
  // Read on, a spreadsheet's first record would be refused for a NUL byte,
  // and with none before its first line feed read as a row of binary text.
  if (IsSpreadsheetStart(sBuffer_.data(), sBuffer_.size())) {
    RefuseSpreadsheet(sWhat_, sFileName_, kClassName);
  }
  if (sBuffer_.compare(0, kByteOrderMarkBytes, kByteOrderMark) == 0) {
    uBufferPos_ = kByteOrderMarkBytes;
    lPosition_ = kByteOrderMarkBytes;
  }
}

bool KmLineSource::ReadLine(KmString& sLine) {
  sLine.Clear();
  ReadFileStart();
  std::string sText;
  bool bEnded = false;
  while (!bEnded) {
    if (uBufferPos_ >= sBuffer_.size() && !Fill()) break;
    const char* pStart = sBuffer_.data() + uBufferPos_;
    const size_t uLeft = sBuffer_.size() - uBufferPos_;
    const void* pFeed = std::memchr(pStart, '\n', uLeft);
    const size_t uTake =
        pFeed != nullptr
            ? static_cast<size_t>(static_cast<const char*>(pFeed) - pStart)
            : uLeft;
    if (static_cast<int64_t>(sText.size() + uTake) > kMaxLineBytes) {
      // A large file of carriage-return line ends has no line feed at all.
      const bool bCarriageReturns =
          HasLoneCarriageReturn(sText.data(), sText.size()) ||
          HasLoneCarriageReturn(pStart, uTake);
      ThrowBadLine(bCarriageReturns ? BadLine::kCarriageReturns
                                    : BadLine::kTooLong);
    }
    sText.append(pStart, uTake);
    bEnded = pFeed != nullptr;
    const size_t uUsed = uTake + (bEnded ? 1 : 0);
    uBufferPos_ += uUsed;
    lPosition_ += static_cast<int64_t>(uUsed);
  }
  if (!bEnded && sText.empty()) return false;
  if (std::memchr(sText.data(), '\0', sText.size()) != nullptr) {
    ThrowBadLine(BadLine::kNul);
  }
  // A line that ends at a line feed belongs to a file of line-feed line
  // ends: a carriage return inside it is a stray byte of that line. Text
  // with no line feed to end it is a file whose lines end in carriage
  // returns alone; dropped, those would join every line into one.
  const size_t uCarriageReturn =
      LoneCarriageReturnAt(sText.data(), sText.size());
  if (uCarriageReturn != std::string::npos) {
    if (bEnded) ThrowBadLine(BadLine::kCarriageReturnInside, uCarriageReturn);
    ThrowBadLine(BadLine::kCarriageReturns);
  }
  sText.erase(std::remove(sText.begin(), sText.end(), '\r'), sText.end());
  sLine = sText;
  if (lLineNumber_ >= 0) ++lLineNumber_;
  return true;
}

bool KmLineSource::ReadNonBlankLine(KmString& sLine) {
  // Without a tab delimiter TrimDataLine trims the blanks at both ends.
  return ReadNonBlankDataLine(sLine, '\0');
}

bool KmLineSource::ReadNonBlankDataLine(KmString& sLine, char cDelimiter) {
  while (ReadLine(sLine)) {
    TrimDataLine(sLine, cDelimiter);
    if (!sLine.IsEmpty()) return true;
  }
  sLine.Clear();
  return false;
}

void KmLineSource::TrimDataLine(KmString& sLine, char cDelimiter) {
  sLine.TrimRight();
  if (cDelimiter != '\t') {
    sLine.TrimLeft();
    return;
  }
  const char* sChars = sLine.GetCString();
  size_t uStart = 0;
  while (sChars[uStart] != '\0' && sChars[uStart] != '\t' &&
         static_cast<unsigned char>(sChars[uStart]) <= 0x20) {
    ++uStart;
  }
  if (uStart > 0) sLine = KmString(sChars + uStart);
}

bool KmLineSource::AtEnd() {
  ReadFileStart();
  return uBufferPos_ >= sBuffer_.size() && !Fill();
}

bool KmLineSource::Seek(int64_t lPosition, int64_t lLinesBefore) {
  if (!IsOpen() || lPosition < 0) return false;
  bool bMoved = false;
  if (pGz_ != nullptr) {
    bMoved = km_gzseek(pGz_, lPosition, 0) == lPosition;
  } else {
    pPlain_->clear();
    pPlain_->seekg(static_cast<std::streamoff>(lPosition), std::ios::beg);
    bMoved = pPlain_->good() &&
             static_cast<std::streamoff>(pPlain_->tellg()) == lPosition;
  }
  sBuffer_.clear();
  uBufferPos_ = 0;
  lPosition_ = lPosition;
  bEnd_ = !bMoved;
  bAtStart_ = bMoved && lPosition == 0;
  // The top of the file has a known line number; elsewhere the caller's.
  lLineNumber_ = lPosition == 0 ? 0 : lLinesBefore;
  return bMoved;
}

void KmLineSource::ThrowBadLine(BadLine fault, size_t uOffset) const {
  // The faulty line is the one after the last line read; 0 when unknown.
  const int64_t lLine = lLineNumber_ >= 0 ? lLineNumber_ + 1 : 0;
  KmString sMessage;
  sMessage << sWhat_ << " \"" << sFileName_ << "\" ";
  switch (fault) {
    case BadLine::kNul:
      sMessage << "is damaged: ";
      if (lLine > 0) {
        sMessage << "line " << static_cast<int32_t>(lLine);
      } else {
        sMessage << "a line";
      }
      sMessage << " holds a NUL byte.";
      break;
    case BadLine::kTooLong:
      sMessage << "has no line end within "
               << static_cast<int32_t>(kMaxLineBytes) << " bytes at line "
               << static_cast<int32_t>(std::max<int64_t>(lLine, 1))
               << "; it is not a text file of lines.";
      break;
    case BadLine::kCarriageReturns:
      sMessage << "has lines that end in carriage returns alone";
      if (lLine > 0)
        sMessage << " (from line " << static_cast<int32_t>(lLine) << ")";
      sMessage << ": a line ends at a line feed, or a carriage return and a "
                  "line feed.  Save the file with those line ends.";
      break;
    case BadLine::kCarriageReturnInside:
      // "Data file \"x\", line 6 holds ...": the line is named after the file.
      sMessage.Clear();
      sMessage << sWhat_ << " \"" << sFileName_ << "\", line "
               << static_cast<int32_t>(std::max<int64_t>(lLine, 1))
               << " holds a carriage return inside it (character "
               << static_cast<int32_t>(std::min<size_t>(uOffset + 1, INT32_MAX))
               << "): a carriage return may only stand just before the line "
                  "feed that ends a line.  Remove it from the line.";
      break;
  }
  GenerateKmInputExceptionF("%s", kClassName, sMessage.GetCString());
}
