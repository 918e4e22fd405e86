// Streams over a file this process holds open: a held file is written and
// read back through its own descriptor, never opened again by its name.
#ifndef KM_FOUNDATION_PLATFORM_KMHELDFILES_H
#define KM_FOUNDATION_PLATFORM_KMHELDFILES_H

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

#endif  // KM_FOUNDATION_PLATFORM_KMHELDFILES_H
