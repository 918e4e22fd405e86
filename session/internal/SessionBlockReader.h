// The checked reader of the session block and of the records it holds (and
// of the output display record): every failure is the session file's "not a
// valid file" message.
#ifndef KM_SESSION_INTERNAL_SESSIONBLOCKREADER_H
#define KM_SESSION_INTERNAL_SESSIONBLOCKREADER_H

#include "foundation/KmCheckedReader.h"

class KmIO_File;

namespace km_session_internal {

// The message of a session block that is foreign, truncated or corrupted.
extern const char* const kNotValidFileMessage;

// A checked reader of pIO whose every refusal is a KmException (kind 0)
// with kNotValidFileMessage and the source sSource.
// REQUIRES: pIO and sSource outlive the reader.
KmCheckedReader SessionBlockReader(KmIO_File* pIO, const char* sSource);

}  // namespace km_session_internal

#endif  // KM_SESSION_INTERNAL_SESSIONBLOCKREADER_H
