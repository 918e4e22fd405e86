// The one file layer of the system: binary primitives for the session and
// results files, the line reader for the ini-style files and the string
// writer for the reports, exports and the error file.
#ifndef KM_FOUNDATION_KMIO_FILE_H
#define KM_FOUNDATION_KMIO_FILE_H

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>

#include "foundation/KmFileTarget.h"
#include "foundation/KmString.h"

class KmFolder;

// KmIO_File: a file open for reading, open for writing, or closed.
//
// On-disk layouts, the same on every host (little-endian, two's complement,
// doubles IEEE-754 binary64):
//   Bool 1 byte (written 0 or 1; any non-zero byte reads true);
//   Short 2 bytes; Int and Long 4 bytes; Double 8 bytes;
//   CString: Long n = text length + 1 (0 for an absent text), then the text
//     and its zero byte;
//   String: the text's bytes, then a zero byte unless written without one.
//
// The read-mode flag decides which stream every operation uses: writes do
// nothing in read mode, reads return 0 (or false, or "") in write mode and
// on a closed object.
//
// A read that runs past the end of the file leaves the bytes it could not
// read as 0 and sets the end-of-file state. IsEOF also answers true for a
// stream that cannot deliver any more bytes for another reason (the file
// could not be opened, a read error), so a loop "while (!IsEOF()) Read(...)"
// always ends.
//
// Open reports no failure (the stream is left in its failed state, IsOpen
// tells and GetErrorText gives the system's reason); read errors raise
// nothing. Every write, flush, seek and close of a file open for writing is
// checked: a failure (a full device, a write error) raises KmException
// "Unable to write the file \"<path>\": <reason>." (source "KmIO_File"), so
// no output is ever taken for written when it was not. The destructor closes
// without raising; a writer closes with Close to learn of a failure. Text mode
// (bit 4) translates nothing on this platform: text is written with "\n" line
// ends as given, and the line reader drops every carriage return, so files from
// either platform read the same.
//
// Files are opened through the installed KmFileSystem; path texts may use
// '/' or '\' as the directory separator.
class KmIO_File {
 public:
  // Mode bits of Open.
  static constexpr int32_t kRead = 1;       // used when kWrite is clear
  static constexpr int32_t kWrite = 2;      // wins over kRead
  static constexpr int32_t kText = 4;       // no translation on this platform
  static constexpr int32_t kShared = 8;     // no effect
  static constexpr int32_t kTruncate = 16;  // write from an empty file
  static constexpr int32_t kAppend = 32;    // write after the existing bytes

  // A closed object (read mode, no stream).
  KmIO_File();
  // Constructs, then Open(file, lMode).
  KmIO_File(const KmFileTarget& file, int32_t lMode);
  KmIO_File(const KmIO_File&) = delete;
  KmIO_File& operator=(const KmIO_File&) = delete;
  // Closes the file.
  virtual ~KmIO_File();

  // Closes, keeps the target's name, then opens by the mode bits: kWrite
  // opens for writing (appending with kAppend, otherwise from an empty
  // file), else kRead opens for reading; a mode with neither opens nothing.
  // A null name opens nothing. A held file's target (KmFileTarget) is
  // written and read through its descriptor.
  void Open(const KmFileTarget& file, int32_t lMode);
  // Flushes and closes whichever stream is open; the object is then closed
  // (read mode, no stream).
  // Throws: the write failure above when the output could not be written in
  // full (the object is closed all the same).
  void Close();
  // Flushes the output stream (write mode only).
  // Throws: the write failure above.
  void Flush();
  // The system's reason for the last failure to open or write ("" when
  // there was none), e.g. "No space left on device".
  const KmString& GetErrorText() const { return sError_; }

  // True when the last Open produced a stream that opened successfully and
  // the object has not been closed since.
  bool IsOpen() const;
  // Read mode: true at the end of the file, and whenever the stream can
  // deliver nothing more (not open, failed). Write mode: the output stream's
  // end-of-file state. Closed: true.
  bool IsEOF() const;

  // Read mode: clears the error and end-of-file state, then moves the read
  // position to lPos bytes from the start. Write mode: moves the write
  // position. Closed: nothing.
  void Seek(int32_t lPos);
  // The current read or write position; -1 when closed or unknown.
  int32_t Tell();
  // Read mode: the size of the file in bytes, leaving the read position and
  // state as they were; -1 in write mode, when closed or unknown.
  int64_t GetSize();

  // Read mode: reads up to lBytes bytes into pBuffer and returns how many
  // were read; the rest of the lBytes bytes are set to 0. Returns 0 in write
  // mode, when closed, or for lBytes <= 0. REQUIRES: pBuffer holds lBytes.
  int32_t Read(void* pBuffer, int32_t lBytes);
  // Read one line up to a line feed, which is consumed and not stored, with
  // every carriage return removed. At the end of the file the line is the
  // text after the last line feed (possibly empty). Returns the line's
  // length + 2, or 0 (and sLine "") in write mode, when closed, or when the
  // stream could deliver nothing at all.
  int32_t Read(KmString& sLine);

  // Primitive readers (layouts above); false or 0 in write mode or when
  // closed.
  bool ReadBool();
  int16_t ReadShort();
  int32_t ReadInt();
  int32_t ReadLong();
  double ReadDouble();
  // Reads the CString layout: a Long n, then n bytes of which the last is
  // the stored zero byte. sOut receives the text up to its first zero byte
  // (n - 1 bytes normally); n <= 0 gives "". A length larger than the rest
  // of the file reads only what is there.
  void ReadCString(KmString& sOut);
  // Empties sOut, then reads bytes one at a time until a byte equal to
  // cTerminator has been read or the file ends, appending every byte that
  // is neither the terminator nor zero. Reads the String layout with the
  // terminator 0.
  void ReadString(KmString& sOut, char cTerminator = '\0');

  // Writes lBytes bytes of pBuffer (nothing in read mode or for
  // lBytes <= 0). Throws KmException "Unable to write the file \"<path>\":
  // <reason>." (source "KmIO_File") when the stream refuses the bytes.
  void Write(const void* pBuffer, int32_t lBytes);
  // Primitive writers (layouts above); nothing in read mode. A failed write
  // raises Write's failure with the writer's own line ("WriteBool()", ...,
  // "WriteCString()"; WriteInt names "WriteLong()") after "Write()" in the
  // call path, so the failure names the kind of value being written.
  void WriteBool(bool bValue);
  void WriteShort(int16_t iValue);
  void WriteInt(int32_t iValue);
  void WriteLong(int32_t lValue);
  void WriteDouble(double dValue);
  // Writes the CString layout of sText; a null sText writes the Long 0.
  void WriteCString(const char* sText);
  // Writes the bytes of sText, then its zero byte when bWithNul.
  // Throws KmException "Null pointer passed to WriteString" (source
  // "KmIO_File") when sText is null.
  void WriteString(const char* sText, bool bWithNul = true);

  // Deletes the file sPath; true on success. A name that is not a regular
  // file (a device such as /dev/full, a pipe, a directory, or a link to one
  // of them) is never removed: false. A symbolic link to a regular file is
  // removed as a link, its target left alone.
  static bool RemoveFile(const char* sPath);
  // True when sPath exists and is not a regular file, or is a symbolic link
  // to something that is not; false for null (KmFileSystem::IsSpecial).
  static bool IsSpecialFile(const char* sPath);
  // Renames the finished file sFrom to sTo, both in folder (the names'
  // last components are used there), replacing an older sTo in one step.
  // Throws: KmException "Unable to write the file \"<sTo>\": it is not a
  // regular file." (source "KmIO_File") when sTo is a device, a pipe or a
  // directory, or a link to one; "Unable to move the finished file
  // \"<sFrom>\" to \"<sTo>\": <reason>." when the rename fails.
  static void MoveIntoPlace(const KmFolder& folder, const char* sFrom,
                            const char* sTo);
  // True when sPath exists (the access test with mode 0); false for null.
  static bool FileExists(const char* sPath);

 private:
  // Reads exactly n bytes into pBytes, zero-filling what is missing.
  void ReadRaw(unsigned char* pBytes, int32_t n);
  void WriteRaw(const unsigned char* pBytes, int32_t n);
  // Raises the write failure when the output stream has failed.
  void CheckOutput(int iErrno);
  // Flushes and closes the streams; true when the output was written in
  // full. Raises nothing.
  bool CloseStreams(int& iErrno);

  KmString sPath_;
  bool bReadMode_;
  std::unique_ptr<std::istream> pInput_;
  std::unique_ptr<std::ostream> pOutput_;
  bool bOpened_;     // the stream of the last Open opened successfully
  KmString sError_;  // the system's reason for the last failure
};

#endif  // KM_FOUNDATION_KMIO_FILE_H
