// KmLineSource: the one reader of text input lines, plain or gzip alike.
#ifndef KM_FOUNDATION_KMLINESOURCE_H
#define KM_FOUNDATION_KMLINESOURCE_H

#include <cstdint>
#include <istream>
#include <memory>
#include <string>

#include "foundation/KmGzFile.h"
#include "foundation/KmString.h"

class KmProgressInterface;

// Delivers the lines of a text file one at a time, with one set of rules
// for every reader of data, matrix, option and ini files:
// - a line ends at a line feed, which is not part of it; the carriage
//   returns of a "\r\n" line end are dropped;
// - a carriage return followed by other text within a line is refused: in
//   a line that ends at a line feed it is a stray byte inside the line,
//   named with its line and place; in text that no line feed ends, the
//   file's lines end in carriage returns alone, and read as one line they
//   would join every record or option into one;
// - the text after the last line feed is the last line when it is not
//   empty (a file that ends with its line feed has no empty line after it);
// - a UTF-8 byte-order mark at the start of the file is skipped;
// - a file whose text begins with a spreadsheet's signature is refused,
//   whatever its name (IsSpreadsheetStart): its lines would be binary
//   records, not the user's rows;
// - a line holding a NUL byte is refused (a text file has none; read on,
//   the byte would cut the line's text short unseen);
// - a line longer than kMaxLineBytes is refused (a file without line ends,
//   such as a device of zeros, would otherwise fill the memory);
// - a gzip stream must end in its own end marker: compressed data that is
//   corrupt or cut short is refused, never read as a shorter file.
// A compressed file is read through the gzip reader, which also reads a
// file that is not compressed; any other file is read as it is. A read
// error of a plain file is refused, never read as the file's end. Files
// are opened
// through the installed KmFileSystem. Positions
// (Tell, Seek) are offsets in the uncompressed text.
//
// Not thread-safe: one source serves one reader at a time.
class KmLineSource {
 public:
  // Longest line accepted, in bytes before its carriage returns are dropped.
  static constexpr int64_t kMaxLineBytes = int64_t{1} << 24;

  // sWhat names the kind of file in messages, e.g. "Data file".
  explicit KmLineSource(const char* sWhat);
  KmLineSource(const KmLineSource&) = delete;
  KmLineSource& operator=(const KmLineSource&) = delete;
  ~KmLineSource();

  // Opens sPath (closing any file open before): through the gzip reader
  // when bGzip. Returns false, with nothing open, when the file cannot be
  // opened (a missing file, a directory, no permission): each reader says
  // in its own words which file it wanted, and GetOpenError why.
  bool Open(const char* sPath, bool bGzip);
  // Opens sPath through the gzip reader when its name ends in ".gz".
  bool Open(const char* sPath);
  bool IsOpen() const;
  // The error number of the last Open that failed (EISDIR for a folder,
  // EMFILE for too many open files; EIO when the system gave none); 0
  // after one that succeeded. KmSystemReason words it.
  int GetOpenError() const { return iOpenError_; }
  // Reports to pProgress (null: to nothing; not owned) how far the reading
  // of each file opened from now on has come: Open sets its range to 0 to
  // kProgressRange and its position to 0, each piece read moves it to the
  // share of the file's bytes read so far (of its compressed bytes, for a
  // compressed file), and the end of the file to kProgressRange. A file
  // whose size is unknown (a pipe) reports only its start and its end.
  void SetProgress(KmProgressInterface* pProgress) { pProgress_ = pProgress; }
  static constexpr int32_t kProgressRange = 1000;
  void Close();

  // Reads the next line into sLine (rules above) and returns true; returns
  // false, with sLine empty, once the text is used up (and when no file is
  // open).
  // Throws: KmException (kind 3, source "KmLineSource") RefuseSpreadsheet's
  // refusal for a spreadsheet; "<what> \"<file>\"
  // is damaged: line <n> holds a NUL byte." and "<what> \"<file>\" has no
  // line end within <max> bytes at line <n>."; the gzip reader's
  // "Cannot read compressed file: <file>: <reason>" (source "km_gzFile")
  // for corrupt or cut-short compressed data; KmException (source
  // "KmLineSource") "<what> \"<file>\" could not be read to its end: a read
  // error struck after <n> bytes." for a read error of a plain file;
  // KmException (kind 3, source "KmLineSource") "<what> \"<file>\" has
  // lines that end in carriage returns alone (from line <n>): ..." for a
  // carriage return with text after it in text that no line feed ends, and
  // "<what> \"<file>\", line <n> holds a carriage return inside it
  // (character <c>): ..." in a line that a line feed ends.
  bool ReadLine(KmString& sLine);
  // Reads lines until one is not empty after trimming bytes 0x01 to 0x20
  // at both ends; sLine receives it trimmed. Returns false (sLine "") when
  // the text ends first. Throws: as ReadLine.
  bool ReadNonBlankLine(KmString& sLine);
  // As ReadNonBlankLine, for a data line whose fields are split at
  // cDelimiter: sLine receives it trimmed by TrimDataLine.
  bool ReadNonBlankDataLine(KmString& sLine, char cDelimiter);
  // Trims the blanks (bytes 0x01 to 0x20) at both ends of sLine, a data
  // line whose fields are split at cDelimiter, but never a leading tab when
  // the tab is the delimiter: such a tab ends an empty first field, and
  // dropping it would shift every later column. A line of blanks only
  // becomes "".
  static void TrimDataLine(KmString& sLine, char cDelimiter);
  // True when no line is left (it reads ahead to know). Throws: as
  // ReadLine for damaged compressed data.
  bool AtEnd();

  // The offset of the next line in the uncompressed text.
  int64_t Tell() const { return lPosition_; }
  // Moves to lPosition, an offset that Tell gave. Returns false when the
  // file cannot be positioned there. lLinesBefore, when not -1, is the
  // number of lines in front of lPosition (known to a caller that read up to
  // it before), so that GetLineNumber counts on from there.
  bool Seek(int64_t lPosition, int64_t lLinesBefore = -1);

  // True when the uSize bytes at pStart, the first bytes of a file, begin
  // with a spreadsheet's signature: that of a zip container (50 4B 03 04:
  // ".xlsx", ".xlsm", ".ods", ".numbers") or of a compound document (D0 CF
  // 11 E0 A1 B1 1A E1: ".xls"). Text never begins so; a gzip stream (1F 8B)
  // is read through the gzip reader and tested by its text.
  static bool IsSpreadsheetStart(const char* pStart, size_t uSize);
  // Throws: KmException (kind 3, source sSource) "<what> \"<file>\" is a
  // spreadsheet, which Kinkmark does not read: export it as delimited text
  // (fields separated by tabs, blanks, commas or semicolons) and name that
  // file in its place."
  [[noreturn]] static void RefuseSpreadsheet(const KmString& sWhat,
                                             const KmString& sFile,
                                             const char* sSource);

  const KmString& GetFileName() const { return sFileName_; }
  // The 1-based number of the line ReadLine gave last: 0 before the first
  // line of the file, -1 when unknown (after a Seek elsewhere than the
  // top of the file without the lines before the position).
  int64_t GetLineNumber() const { return lLineNumber_; }

 private:
  // Reads the next piece of the file into the buffer; false at its end.
  bool Fill();
  // Moves pProgress_ to the share of the file read (Fill).
  void ReportProgress();
  // Once, before the first line of the file: refuses a spreadsheet and
  // skips the byte-order mark.
  void ReadFileStart();
  // What is wrong with the line being read.
  enum class BadLine {
    kNul,
    kTooLong,
    kCarriageReturns,
    kCarriageReturnInside
  };
  // Throws the error of fault for the line being read; uOffset is the
  // 0-based place of the carriage return of kCarriageReturnInside.
  [[noreturn]] void ThrowBadLine(BadLine fault, size_t uOffset = 0) const;

  KmString sWhat_;
  KmString sFileName_;
  bool bGzip_;
  km_gzFile pGz_;
  std::unique_ptr<std::istream> pPlain_;
  std::string sBuffer_;
  size_t uBufferPos_;
  // Offset of the buffer's next unread byte in the uncompressed text.
  int64_t lPosition_;
  bool bEnd_;
  // The first line of the file is next: its start is yet to be read.
  bool bAtStart_;
  // Lines ReadLine has given since the top of the file; -1 when unknown.
  int64_t lLineNumber_;
  int iOpenError_ = 0;
  KmProgressInterface* pProgress_ = nullptr;
  // The file's size as stored, for pProgress_; -1 when unknown.
  int64_t lFileBytes_ = -1;
};

#endif  // KM_FOUNDATION_KMLINESOURCE_H
