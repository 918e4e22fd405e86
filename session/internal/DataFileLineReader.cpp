// Line-by-line reading of a plain or gzip-compressed data file.
#include "session/internal/DataFileLineReader.h"

#include <cstring>

#include "foundation/KmException.h"

namespace km_session_internal {

namespace {
const char kClassName[] = "DataFileLineReader";
// Bytes asked of the gzip reader per call.
const unsigned kChunkBytes = 64 * 1024;
}  // namespace

bool FileNameEndsWith(const KmString& sFileName, const char* sExtension) {
  return sFileName.EndsWith(sExtension);
}

DataFileLineReader::DataFileLineReader(const char* sFileName)
    : sFileName_(sFileName),
      bGzip_(FileNameEndsWith(sFileName_, ".gz")),
      gzFile_(nullptr),
      iBufferPos_(0),
      bGzEnd_(false),
      iLine_(0) {
  if (!KmIO_File::FileExists(sFileName_.GetCString())) {
    GenerateKmInputExceptionF("Data file \"%s\" does not exist.", kClassName,
                              sFileName_.GetCString());
  }
  if (bGzip_) {
    gzFile_ = km_gzopen(sFileName_.GetCString(), "rb");
    if (gzFile_ == nullptr) {
      GenerateKmInputExceptionF("Data file \"%s\" could not be opened.",
                                kClassName, sFileName_.GetCString());
    }
  } else {
    plainFile_.Open(sFileName_.GetCString(),
                    KmIO_File::kRead | KmIO_File::kText);
    if (!plainFile_.IsOpen()) {
      GenerateKmInputExceptionF("Data file \"%s\" could not be opened.",
                                kClassName, sFileName_.GetCString());
    }
  }
}

DataFileLineReader::~DataFileLineReader() {
  if (gzFile_ != nullptr) km_gzclose(gzFile_);
}

bool DataFileLineReader::FillBuffer() {
  if (bGzEnd_) return false;
  sBuffer_.resize(kChunkBytes);
  int iRead = -1;
  KmString sReason;
  try {
    // km_gzread raises on a damaged or cut-short stream.
    iRead = km_gzread(gzFile_, &sBuffer_[0], kChunkBytes);
  } catch (KmException& e) {
    sReason = e.GetMessage();
    iRead = -1;
  }
  if (iRead < 0) {
    GenerateKmInputExceptionF(
        "Data file \"%s\" could not be read to its end; it is damaged or not "
        "a complete gzip file (%s).",
        kClassName, sFileName_.GetCString(), sReason.GetCString());
  }
  sBuffer_.resize(static_cast<size_t>(iRead));
  iBufferPos_ = 0;
  if (iRead == 0) bGzEnd_ = true;
  return iRead > 0;
}

void DataFileLineReader::CheckLine(const KmString& sLine) {
  ++iLine_;
  if (std::memchr(sLine.GetCString(), '\0',
                  static_cast<size_t>(sLine.GetLength())) != nullptr) {
    GenerateKmInputExceptionF(
        "Data file \"%s\" is damaged: line %d holds a NUL byte.", kClassName,
        sFileName_.GetCString(), static_cast<int>(iLine_));
  }
}

bool DataFileLineReader::ReadLine(KmString& sLine) {
  sLine.Clear();
  if (!bGzip_) {
    if (plainFile_.IsEOF()) return false;
    plainFile_.Read(sLine);
    CheckLine(sLine);
    return true;
  }
  std::string sText;
  bool bAny = false;
  for (;;) {
    if (iBufferPos_ >= sBuffer_.size() && !FillBuffer()) break;
    bAny = true;
    const size_t iEnd = sBuffer_.find('\n', iBufferPos_);
    if (iEnd == std::string::npos) {
      sText.append(sBuffer_, iBufferPos_, std::string::npos);
      iBufferPos_ = sBuffer_.size();
      continue;
    }
    sText.append(sBuffer_, iBufferPos_, iEnd - iBufferPos_);
    iBufferPos_ = iEnd + 1;
    sLine = sText;
    sLine.RemoveAll('\r');
    CheckLine(sLine);
    return true;
  }
  sLine = sText;
  sLine.RemoveAll('\r');
  if (!bAny || sText.empty()) return false;
  CheckLine(sLine);
  return true;
}

bool DataFileLineReader::ReadNonBlankLine(KmString& sLine) {
  while (ReadLine(sLine)) {
    sLine.Trim();
    if (!sLine.IsEmpty()) return true;
  }
  sLine.Clear();
  return false;
}

}  // namespace km_session_internal
