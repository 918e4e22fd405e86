#include "session/internal/OpenDataLines.h"

#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"

namespace km_session_internal {

namespace {
const char kSource[] = "DataFileLineReader";
}  // namespace

void OpenDataLines(KmLineSource& source, const char* sFileName) {
  if (!KmIO_File::FileExists(sFileName)) {
    GenerateKmInputExceptionF("Data file \"%s\" does not exist.", kSource,
                              sFileName);
  }
  if (!source.Open(sFileName)) {
    GenerateKmInputExceptionF("Data file \"%s\" could not be opened.", kSource,
                              sFileName);
  }
}

}  // namespace km_session_internal
