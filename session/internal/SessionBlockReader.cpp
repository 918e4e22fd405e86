// The checked reader of the session block.
#include "session/internal/SessionBlockReader.h"

namespace km_session_internal {

const char* const kNotValidFileMessage =
    "Error:  This file is not a valid Kinkmark file.";

KmCheckedReader SessionBlockReader(KmIO_File* pIO, const char* sSource) {
  return KmCheckedReader(pIO,
                         KmCheckedReader::Plain(kNotValidFileMessage, sSource));
}

}  // namespace km_session_internal
