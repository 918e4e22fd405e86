// frmSession::ReadIndependentValues.
#include "driver/frmSession.h"

#include <set>
#include <string>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmGzFile.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmStringTokenizer.h"

namespace {

constexpr int32_t kReadTextMode = 1 | 4;

// Delivers the lines of a plain or gzip-compressed text file, each without
// its line end and its carriage returns.
class DataLines {
 public:
  explicit DataLines(const KmString& sName) : bGzip_(sName.EndsWith(".gz")) {
    if (bGzip_) {
      pGz_ = km_gzopen(sName.GetCString(), "rb");
    } else if (KmIO_File::FileExists(sName.GetCString())) {
      file_.Open(sName.GetCString(), kReadTextMode);
    }
    if (bGzip_ ? pGz_ == nullptr : !file_.IsOpen()) {
      GenerateKmExceptionF("Unable to open data file \"%s\".", "frmSession",
                           sName.GetCString());
    }
  }
  ~DataLines() {
    if (pGz_ != nullptr) km_gzclose(pGz_);
  }
  DataLines(const DataLines&) = delete;
  DataLines& operator=(const DataLines&) = delete;

  // The next line into sLine; false at the end of the file.
  bool Next(KmString& sLine) {
    if (!bGzip_) {
      if (file_.IsEOF()) return false;
      file_.Read(sLine);
      return true;
    }
    // The whole line however long: a line cut at a buffer's end would count
    // its tail as one more record.
    std::string sRaw;
    if (!km_gzgetline(pGz_, sRaw)) return false;
    sLine = sRaw;
    sLine.RemoveAll('\r');
    sLine.RemoveAll('\n');
    return true;
  }

 private:
  bool bGzip_;
  km_gzFile pGz_ = nullptr;
  KmIO_File file_;
};

}  // namespace

int frmSession::ReadIndependentValues(KmString sDataFile, int16_t iColumn,
                                      bool bVarNamesIncluded,
                                      KmString sDelimiter) {
  return WithCallPath("ReadIndependentValues()", "frmSession", [&] {
    DataLines lines(sDataFile);
    KmString sLine;
    if (bVarNamesIncluded) lines.Next(sLine);
    std::set<std::string> seen;
    while (lines.Next(sLine)) {
      // Blank lines (such as the one after the last line end) hold no value,
      // as the data readers pass them over.
      KmString sTrimmed(sLine);
      if (sTrimmed.Trim().IsEmpty()) continue;
      KmStringTokenizer tokens(sLine.GetCString(), sDelimiter.GetCString());
      KmString sValue;
      tokens.GetToken(sValue, iColumn);
      if (!seen.insert(sValue.GetCString()).second) break;
    }
    return static_cast<int>(seen.size());
  });
}
