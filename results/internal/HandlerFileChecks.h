// Checks of the results-file reader: the refusal of a damaged file whose
// counts, offsets or length cannot be trusted.
#ifndef KM_RESULTS_INTERNAL_HANDLERFILECHECKS_H
#define KM_RESULTS_INTERNAL_HANDLERFILECHECKS_H

#include <string>

#include "foundation/KmCheckedReader.h"

class KmIO_File;

namespace km_results_handler {

// Opening text of every refusal of a damaged results file.
extern const char* const kCorruptFileMessage;

// Throws KmException kCorruptFileMessage + "  " + sDetail (source
// "kmCalcHandler").
[[noreturn]] void RefuseFile(const std::string& sDetail);

// The checked reader of the handler's own parts of pIO, sPart naming the
// part read first (SetPart names the next ones: "the offset table"). Its
// refusals (RefuseFile) say "The file ends early, while reading <part>." for
// a file that ends inside a value or a stream that failed, and, for the
// counts of CheckCount(n, size, what), "The KMO read process found a count
// of <n> <what>." (", more than the rest of the file can hold." for a count
// beyond the file).
KmCheckedReader HandlerReader(KmIO_File* pIO, const char* sPart);

}  // namespace km_results_handler

#endif  // KM_RESULTS_INTERNAL_HANDLERFILECHECKS_H
