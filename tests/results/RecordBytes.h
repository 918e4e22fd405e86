// Byte builders and file round trips for the result-record tests.
#ifndef KM_TESTS_RESULTS_RECORDBYTES_H
#define KM_TESTS_RESULTS_RECORDBYTES_H

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "foundation/KmIO_File.h"

namespace km_results_test {

using Bytes = std::vector<unsigned char>;

// Little-endian pieces of a hand-written record. D takes the top two bytes
// of a double whose other six bytes are zero (1.0 is D(0x3FF0), 2.0
// D(0x4000), 0.5 D(0x3FE0), -1.0 D(0xBFF0), 3.0 D(0x4008), 4.0 D(0x4010));
// D9999 is 9999.0 (0x40C3878000000000).
Bytes D(uint16_t iTop);
Bytes D9999();
Bytes S(int16_t iValue);
Bytes I(int32_t iValue);
Bytes B(bool bValue);
// Concatenation of the pieces in order.
Bytes Cat(std::initializer_list<Bytes> pieces);
// A double's 8 stored bytes, for values without a hand-written form.
Bytes AnyDouble(double dValue);

// Bytes produced by write() on a fresh file opened for writing.
Bytes WriteBytes(const std::function<void(KmIO_File*)>& write);
// Runs read() on a file holding exactly bytes; returns the read position
// after it (the number of bytes consumed).
int32_t ReadBytesWith(const Bytes& bytes,
                      const std::function<void(KmIO_File*)>& read);

}  // namespace km_results_test

#endif  // KM_TESTS_RESULTS_RECORDBYTES_H
