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
// <sWhat>." (source sClass). Every element takes at least one byte, so a
// count larger than the rest of the file is refused too ("... found a count
// of <n> <sWhat>, more than the rest of the file can hold.").
int32_t ReadCount(KmIO_File* pIO, const char* sClass, const char* sWhat);

// Refuses iValue outside iLow..iHigh with KmException "This KMO is either
// corrupt or not compatible with this version of Kinkmark.  The KMO read
// process found <sWhat> of <n>, outside <iLow> to <iHigh>." (source
// sClass). A byte shifted by damage into a field of a small range is
// caught here even where the record still ends where it should.
void CheckRange(int64_t iValue, int64_t iLow, int64_t iHigh, const char* sClass,
                const char* sWhat);

// Reads a Bool flag; the writer stores 0 or 1, any other byte is refused
// (CheckRange), as is a file that ends first (RecordReader).
bool ReadFlag(KmIO_File* pIO, const char* sClass, const char* sWhat);

// Reads a number of kinkmarks stored as a Short: 0 to kRunMaxKinkmarks (the
// most a run may ask for), or 65535 where bNoneAllowed ("no model");
// anything else is refused (CheckRange).
uint16_t ReadKinkmarks(KmIO_File* pIO, const char* sClass, const char* sWhat,
                       bool bNoneAllowed);

// Writes iCount as the Short count of a list; throws KmException "Cannot
// store <n> <sWhat> in the results file (at most 32767)." (source sClass)
// when it does not fit.
void WriteCount(KmIO_File* pIO, size_t iCount, const char* sClass,
                const char* sWhat);

}  // namespace km_results_internal

#endif  // KM_RESULTS_INTERNAL_RECORDIO_H
