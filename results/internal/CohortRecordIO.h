// Checked reading and writing of the counts and fields of the per-cohort
// records (kmFTest, kmCalcData, kmCombos): a count stored in a results file
// is never trusted, and a file that ends inside a record is refused instead
// of handing back the zeros that KmIO_File gives past the end.
#ifndef KM_RESULTS_INTERNAL_COHORTRECORDIO_H
#define KM_RESULTS_INTERNAL_COHORTRECORDIO_H

#include <cstddef>
#include <cstdint>

class KmIO_File;

namespace km_results_cohort {

// Opening text of every refusal of a damaged results file.
extern const char* const kCorruptKmoMessage;

// Throws KmException "Invalid KmIO_File." with source sSource when pIO is
// null.
void RequireFile(const KmIO_File* pIO, const char* sSource);

// Throws KmException kCorruptKmoMessage + "  The file ends early, while
// reading " + sWhat + "." (source sSource) when the last read ran past the
// end of the file or the file can deliver nothing more. sWhat names what was
// being read ("F tests", "a combination entry").
void RefuseIfEnded(KmIO_File* pIO, const char* sWhat, const char* sSource);

// Reads a Short count of sWhat. Refuses (as RefuseIfEnded) a file that ends
// inside it, and a negative count with kCorruptKmoMessage + "  The KMO read
// process found the negative count <n> for <sWhat>.".
int16_t ReadShortCount(KmIO_File* pIO, const char* sWhat, const char* sSource);
// The same for a Long (32-bit) count.
int32_t ReadLongCount(KmIO_File* pIO, const char* sWhat, const char* sSource);

// The Short a writer stores for a count of n elements.
// Throws: KmException "Cannot store <n> <sWhat> in a results file; a record
// holds at most 32767." (source sSource) when n does not fit a Short.
int16_t ShortCount(size_t n, const char* sWhat, const char* sSource);
// The same for a Long count (at most 2147483647).
int32_t LongCount(size_t n, const char* sWhat, const char* sSource);

}  // namespace km_results_cohort

#endif  // KM_RESULTS_INTERNAL_COHORTRECORDIO_H
