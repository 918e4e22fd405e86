// Checked reading of the binary records of the session block and of the
// output display record: every value must lie wholly inside the file, and
// counts and lengths stored in the file are never trusted.
#ifndef KM_SESSION_INTERNAL_SESSIONBLOCKREADER_H
#define KM_SESSION_INTERNAL_SESSIONBLOCKREADER_H

#include <cstdint>
#include <string>

#include "foundation/KmString.h"

class KmIO_File;

namespace km_session_internal {

// The message of a session block that is foreign, truncated or corrupted.
extern const char* const kNotValidFileMessage;

// Reads the little-endian primitives of KmIO_File (Bool 1 byte, Short 2,
// Int 4, Double 8, CString, String) and refuses the file, instead of
// returning the zeros that KmIO_File gives past the end, when a value does
// not lie wholly inside it. Every refusal is a KmException (kind 0) with
// kNotValidFileMessage and the source given at construction.
class SessionBlockReader {
 public:
  // REQUIRES: pIO is open for reading and outlives the reader.
  SessionBlockReader(KmIO_File* pIO, const char* sSource);

  bool ReadBool();
  int16_t ReadShort();
  int32_t ReadInt();
  double ReadDouble();

  // One raw byte.
  char ReadByte();
  // Exactly iCount raw bytes into sOut (iCount >= 0).
  void ReadBytes(std::string& sOut, int32_t iCount);

  // A CString: a 4-byte length n that counts the terminating zero byte,
  // then n bytes ending in a zero byte; sOut receives the text. A negative
  // length, a missing terminator or a file that ends first refuses the
  // file. Memory grows with the bytes actually present, never with n.
  void ReadCString(KmString& sOut);
  // A zero-terminated String without length; the file must hold the
  // terminator.
  void ReadString(KmString& sOut);

  // A count stored in the file: refuses it when negative.
  int32_t CheckCount(int32_t iCount) const;

  // Throws the refusal.
  [[noreturn]] void Refuse() const;

 private:
  KmIO_File* pIO_;
  const char* sSource_;
};

}  // namespace km_session_internal

#endif  // KM_SESSION_INTERNAL_SESSIONBLOCKREADER_H
