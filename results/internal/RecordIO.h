// Checks shared by the readers and writers of the result records.
#ifndef KM_RESULTS_INTERNAL_RECORDIO_H
#define KM_RESULTS_INTERNAL_RECORDIO_H

#include <cstdint>

#include "foundation/KmCheckedReader.h"
#include "foundation/KmIO_File.h"

namespace km_results_internal {

// Throws KmException "Invalid KmIO_File." with source sClass when pIO is
// null.
void CheckFile(const KmIO_File* pIO, const char* sClass);

// The checked reader of a <sClass> record: a file that ends inside the
// record (or a damaged text) is refused with KmException "Unexpected end of
// the results file while reading a <sClass> record.", a negative count with
// the message of ReadCount (source sClass). sClass must outlive the reader.
KmCheckedReader RecordReader(KmIO_File* pIO, const char* sClass);

// The file layer answers zeros for bytes past the end of the file; a record
// read must not take those for data. Refuses the record (RecordReader) when
// the last read ran past the end of pIO or the stream failed.
void CheckNotEnded(KmIO_File* pIO, const char* sClass);

// Reads a Short element count and refuses an ended file (RecordReader) or a
// negative count with KmException
// "This KMO is either corrupt or not compatible with this version of
// Kinkmark.  The KMO read process found a negative count (<n>) of
// <sWhat>." (source sClass).
int32_t ReadCount(KmIO_File* pIO, const char* sClass, const char* sWhat);

// Writes iCount as the Short count of a list; throws KmException "Cannot
// store <n> <sWhat> in the results file (at most 32767)." (source sClass)
// when it does not fit.
void WriteCount(KmIO_File* pIO, size_t iCount, const char* sClass,
                const char* sWhat);

}  // namespace km_results_internal

#endif  // KM_RESULTS_INTERNAL_RECORDIO_H
