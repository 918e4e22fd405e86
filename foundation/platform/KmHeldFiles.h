// Streams over a file this process holds open: a held file is written and
// read back through its own descriptor, never opened again by its name.
#ifndef KM_FOUNDATION_PLATFORM_KMHELDFILES_H
#define KM_FOUNDATION_PLATFORM_KMHELDFILES_H

#include <cstddef>
#include <istream>
#include <memory>
#include <ostream>

// An output stream over a copy of iFd, starting from an empty file unless
// bAppend (then after its last byte). The stream owns its copy; a copy that
// cannot be made gives a stream already in its failed state (errno set).
// The copy shares iFd's position: one writer at a time uses a held file.
std::unique_ptr<std::ostream> KmOpenHeldOutput(int iFd, bool bAppend);

// An input stream over a copy of iFd, reading from the file's first byte
// with its own position; a failed stream when no copy can be made.
std::unique_ptr<std::istream> KmOpenHeldInput(int iFd);

// What KmAppendWhole did.
enum class KmAppendOutcome {
  kAppended,  // every byte follows what the file held, synced
  kCutBack,   // the append failed (errno set); the file is as it was
  kLeftCut,   // the append failed and so did the cut back (errno of the
              // append set): the file ends in part of the bytes
};

// Appends iBytes bytes of pBytes after the last byte of the file held open
// for writing as iFd, whole or not at all: when a write or the sync fails
// part-way (a full device, a quota, the file-size limit), the file is cut
// back to the length it had. The writes go through the installed
// KmFileSystem. While appending, the file's advisory lock is held, so the
// appends of other processes made alike neither interleave with this one
// nor lose their bytes to its cut back.
KmAppendOutcome KmAppendWhole(int iFd, const char* pBytes, size_t iBytes);

#endif  // KM_FOUNDATION_PLATFORM_KMHELDFILES_H
