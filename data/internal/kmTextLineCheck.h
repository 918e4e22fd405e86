// The check every reader of a text input file in data/ makes on each line
// it reads: a text file holds no NUL byte, so a line with one means a
// damaged file. Refusing it keeps plain and compressed files alike; read on,
// the byte would end the line's text early and silently drop its tail.
#ifndef KM_DATA_INTERNAL_KMTEXTLINECHECK_H
#define KM_DATA_INTERNAL_KMTEXTLINECHECK_H

#include <cstdint>

#include "foundation/KmString.h"

namespace km_read_internal {

// True when the bytes of sLine (all GetLength() of them) hold a NUL.
bool HoldsNulByte(const KmString& sLine);

// Throws KmException (kind 0, source sSource) "<sWhat> "<sFile>" is
// damaged: line <n> holds a NUL byte.", where n is the number of the line
// that ends just before byte lLineEnd of the file (of its uncompressed text
// for a gzip file; the position after the read), counted by reading the
// file again up to there. Readers ask for the position only then, so the
// check costs nothing per line.
[[noreturn]] void ThrowNulByte(const char* sWhat, const KmString& sFile,
                               int64_t lLineEnd, const char* sSource);

}  // namespace km_read_internal

#endif  // KM_DATA_INTERNAL_KMTEXTLINECHECK_H
