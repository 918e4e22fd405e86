// KmCheckedReader: reading the binary layouts of KmIO_File from a file that
// may be damaged, refusing it instead of taking the zeros KmIO_File answers
// past the end of the file for data.
#ifndef KM_FOUNDATION_KMCHECKEDREADER_H
#define KM_FOUNDATION_KMCHECKEDREADER_H

#include <cstdint>
#include <functional>
#include <string>

#include "foundation/KmString.h"

class KmIO_File;

// Reads the little-endian primitives of KmIO_File (Bool 1 byte, Short 2,
// Int and Long 4, Double 8, CString, String) and checks every value, count
// and length the file stores before trusting it: a value must lie wholly
// inside the file, a count must not be negative (nor, where the caller
// gives the size of an element, larger than the rest of the file can hold),
// a CString must end in its zero byte. Memory grows with the bytes actually
// present, never with a stored length.
//
// What a refusal says belongs to the caller: every failure is handed to the
// refusal given at construction, which throws the caller's "not a valid
// file" exception. A refusal that returns is followed by a plain KmException
// with the same text as Plain, so a failure never goes on as data.
class KmCheckedReader {
 public:
  // What went wrong.
  enum Fault {
    kEnded,            // the file ends inside a value (or the stream failed)
    kNegativeCount,    // a stored count or length below 0
    kCountBeyondFile,  // a count of elements the rest of the file cannot hold
    kBadText,          // a CString whose last byte is not its zero byte
    kTrailingBytes,    // bytes after the end of what was read
    kBadValue,         // a stored value the caller cannot accept
  };
  // One failure: the fault, the part being read (SetPart; "" when none was
  // named) and the offending count (0 where there is none).
  struct Failure {
    Fault eFault;
    const char* sPart;
    int64_t iValue;
  };
  // Throws the caller's exception for a failure.
  using Refusal = std::function<void(const Failure&)>;

  // The refusal that throws KmException sMessage (source sSource) for every
  // failure. Both texts must outlive the refusal.
  static Refusal Plain(const char* sMessage, const char* sSource);

  // REQUIRES: pIO is open for reading (or is a closed object, which reads
  // as an empty file) and outlives the reader.
  KmCheckedReader(KmIO_File* pIO, Refusal refuse, const char* sPart = "");

  // Names the part of the file read next, for the refusal's message.
  void SetPart(const char* sPart) { sPart_ = sPart != nullptr ? sPart : ""; }

  bool ReadBool();
  int16_t ReadShort();
  int32_t ReadInt();
  int32_t ReadLong() { return ReadInt(); }
  double ReadDouble();
  // One raw byte.
  char ReadByte();
  // Exactly iCount raw bytes into sOut; a negative iCount is refused.
  void ReadBytes(std::string& sOut, int32_t iCount);
  // A CString: a 4-byte length n counting the zero byte, then n bytes ending
  // in it. A negative length, a missing zero byte or a file that ends first
  // is refused. n = 0 gives "".
  void ReadCString(KmString& sOut);
  // A String: bytes up to a zero byte, which the file must hold.
  void ReadString(KmString& sOut);

  // Reads a Short count and refuses a negative one.
  int32_t ReadShortCount();
  // Returns iCount when it is a count the file can hold: refuses a negative
  // one, and, when iBytesEach > 0 and the file's size is known, one whose
  // elements of at least iBytesEach bytes each cannot fit in BytesLeft().
  // sWhat, when given, names the counted elements in the failure in place
  // of the part.
  int32_t CheckCount(int64_t iCount, int64_t iBytesEach = 0,
                     const char* sWhat = nullptr);

  // The bytes between the read position and the end of the file; -1 when
  // that cannot be told.
  int64_t BytesLeft();
  // Refuses (kEnded) when an earlier read of pIO, checked or not, ran past
  // the end of the file or the stream failed.
  void CheckNotEnded();
  // Refuses (kTrailingBytes) unless the read position is the end of the
  // file: for a file that holds exactly one block.
  void CheckAtEnd();

  // Hands the failure to the refusal; never returns. Callers refuse values
  // they cannot accept (a wrong magic text, a position outside the block)
  // with the default kBadValue.
  [[noreturn]] void Refuse(Fault eFault = kBadValue, int64_t iValue = 0);

 private:
  [[noreturn]] void RefuseAs(const char* sPart, Fault eFault, int64_t iValue);
  // Reads n bytes into pBytes or refuses.
  void ReadExactly(void* pBytes, int32_t n);

  KmIO_File* pIO_;
  Refusal refuse_;
  const char* sPart_;
  int64_t lFileSize_;  // -2 until measured, -1 when unknown
};

#endif  // KM_FOUNDATION_KMCHECKEDREADER_H
