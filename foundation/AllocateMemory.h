// Raw byte buffers with an emergency reserve, so that an out-of-memory error
// can still be built and reported after an allocation fails.
#ifndef KM_FOUNDATION_ALLOCATEMEMORY_H
#define KM_FOUNDATION_ALLOCATEMEMORY_H

#include <cstdint>

// Returns a new buffer of lBytes bytes (the caller releases it with
// delete[]); its first byte is 0 when lBytes > 0. The first call also sets
// aside a process-wide reserve of 32000 bytes. Throws KmException (source
// "Memory", kind 0): "Bad memory allocation request - tried to allocate %d
// bytes." when lBytes < 0, "Out of memory - tried to allocate %d bytes."
// when the buffer or the reserve cannot be allocated.
char* AllocateMemory(int32_t lBytes);

// Releases the reserve (the next successful AllocateMemory sets aside a new
// one) and throws KmException(message, "Memory"), the message printed from
// sFormat with lBytes and cut to at most 127 characters.
[[noreturn]] void ThrowOutOfMemory(const char* sFormat, int32_t lBytes);

#endif  // KM_FOUNDATION_ALLOCATEMEMORY_H
