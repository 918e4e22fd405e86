// What every fuzz target of the file readers shares: the fuzzer's bytes
// written to a file the reader can open, and the one outcome a damaged
// input may have besides being read, a KmException.
#ifndef KM_TESTS_FUZZ_FUZZFILES_H
#define KM_TESTS_FUZZ_FUZZFILES_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/KmException.h"

namespace km_fuzz {

// Writes the bytes to sName in this process's scratch directory (made on
// first use, removed at exit) and returns the file's path. Each call
// replaces the file.
std::string WriteFile(const char* sName, const uint8_t* pData, size_t uSize);

// As WriteFile, for a reader of gzip files: bytes that begin with the gzip
// magic are written as they are (damaged compressed data), any others are
// gzip-compressed first (damaged text inside a sound stream).
std::string WriteGzFile(const char* sName, const uint8_t* pData, size_t uSize);

// WriteGzFile under sName + ".gz" when bGzip, else WriteFile under sName:
// for the targets built twice, over a plain file and over a gzip file.
std::string WriteInputFile(const std::string& sName, const uint8_t* pData,
                           size_t uSize, bool bGzip);

// The path of a fixture below tests/fixtures of the source tree.
std::string FixturePath(const char* sRelative);

// Runs read; a KmException is the reader refusing a damaged input and ends
// the run quietly. Anything else (a crash, a sanitizer report, a foreign
// exception, a hang) is a finding.
template <typename Read>
void ReadOrRefuse(Read&& read) {
  try {
    read();
  } catch (const KmException&) {
  }
}

}  // namespace km_fuzz

#endif  // KM_TESTS_FUZZ_FUZZFILES_H
