// Checks of the results-file reader: the size of the file and the refusal
// of a damaged file whose counts, offsets or length cannot be trusted.
#ifndef KM_RESULTS_INTERNAL_HANDLERFILECHECKS_H
#define KM_RESULTS_INTERNAL_HANDLERFILECHECKS_H

#include <cstdint>
#include <string>

class KmIO_File;

namespace km_results_handler {

// Opening text of every refusal of a damaged results file.
extern const char* const kCorruptFileMessage;

// Throws KmException kCorruptFileMessage + "  " + sDetail (source
// "kmCalcHandler").
[[noreturn]] void RefuseFile(const std::string& sDetail);

// Refuses the file (RefuseFile) with "The file ends early, while reading
// <sWhat>." when the last read ran past the end of pIO or the stream can
// deliver nothing more.
void RefuseIfEnded(KmIO_File* pIO, const char* sWhat);

// The size in bytes of the file sPath, opened through the installed file
// system; -1 when it cannot be opened or measured.
int64_t FileSize(const char* sPath);

// Refuses a count of sWhat read from the file when it is negative, or when
// iCount elements of at least iBytesEach bytes each cannot fit in the
// iBytesLeft bytes that remain of the file.
void CheckCount(int64_t iCount, int64_t iBytesEach, int64_t iBytesLeft,
                const char* sWhat);

}  // namespace km_results_handler

#endif  // KM_RESULTS_INTERNAL_HANDLERFILECHECKS_H
