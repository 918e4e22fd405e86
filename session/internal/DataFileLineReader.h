// Line-by-line reading of a data file that may be gzip-compressed.
#ifndef KM_SESSION_INTERNAL_DATAFILELINEREADER_H
#define KM_SESSION_INTERNAL_DATAFILELINEREADER_H

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/KmGzFile.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmString.h"

namespace km_session_internal {

// Reads the lines of a data file one at a time. A file whose name ends in
// ".gz" is read through the gzip reader; any other file through KmIO_File as
// text. Either way a line loses its line feed and every carriage return, so
// the two forms of one file give the same lines.
class DataFileLineReader {
 public:
  // Opens sFileName for reading.
  // Throws: KmException (kind 3, source "DataFileLineReader") "Data file
  // \"<name>\" does not exist." or "Data file \"<name>\" could not be
  // opened."
  explicit DataFileLineReader(const char* sFileName);
  DataFileLineReader(const DataFileLineReader&) = delete;
  DataFileLineReader& operator=(const DataFileLineReader&) = delete;
  ~DataFileLineReader();

  // Reads the next line into sLine and returns true; returns false (sLine
  // "") once the file is used up. The text after the last line feed, when
  // there is any, is the last line.
  // Throws: KmException (kind 3) "Data file \"<name>\" could not be read to
  // its end; it is damaged or not a complete gzip file." when the
  // compressed data is corrupt or cut short; "Data file \"<name>\" is
  // damaged: line <n> holds a NUL byte." when the line holds one (a text
  // file has none; read on, the byte would cut the line short unseen).
  bool ReadLine(KmString& sLine);
  // Reads lines until one is not empty after trimming blanks (bytes 0x01 to
  // 0x20) at both ends; sLine receives it trimmed. Returns false (sLine "")
  // when the file ends first.
  bool ReadNonBlankLine(KmString& sLine);

 private:
  // Refills the gzip buffer; false at the end of the data.
  bool FillBuffer();
  // Counts the line just read and refuses it when it holds a NUL byte.
  void CheckLine(const KmString& sLine);

  KmString sFileName_;
  bool bGzip_;
  KmIO_File plainFile_;
  km_gzFile gzFile_;
  std::string sBuffer_;
  size_t iBufferPos_;
  bool bGzEnd_;
  // Lines read so far, blank ones included.
  int32_t iLine_;
};

// True when sFileName ends in sExtension (exact, case-sensitive).
bool FileNameEndsWith(const KmString& sFileName, const char* sExtension);

}  // namespace km_session_internal

#endif  // KM_SESSION_INTERNAL_DATAFILELINEREADER_H
