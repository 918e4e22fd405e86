// Compressed input: one handle type for data files that may or may not be
// gzip-compressed.
#ifndef KM_FOUNDATION_KMGZFILE_H
#define KM_FOUNDATION_KMGZFILE_H

#include <zlib.h>

#include <cstdint>
#include <string>

// A data-file handle of zlib's gzip reader. A file without the gzip header
// is read as it is, so one handle serves compressed and plain files alike.
// Positions are offsets in the uncompressed data.
//
// Damaged compressed data (corrupt, or cut short before the gzip end
// marker) raises KmException (kind 0, source "km_gzFile") from the reading
// calls, whose message names the file and zlib's diagnosis, e.g.
// "Cannot read compressed file: /data/x.gz: unexpected end of file". zlib
// itself reports a cut-short stream as an ordinary end, so without this a
// truncated data file would be read as if it were complete. The call that
// meets the damage raises (zlib sets its end flag in that same call).
typedef gzFile km_gzFile;

// Opens sPath with sMode (always "rb" in this system) through the installed
// KmFileSystem. Returns the handle, or null when the file cannot be opened.
km_gzFile km_gzopen(const char* sPath, const char* sMode);

// Reads up to uLen uncompressed bytes into pBuffer. Returns the number read,
// 0 at the end of the data, -1 for a null handle. Throws KmException on
// damaged data (see above).
int km_gzread(km_gzFile file, void* pBuffer, unsigned uLen);

// Reads one line as zlib's gzgets does: up to and including the next line
// feed, at most iLen - 1 bytes, always zero-terminated. Returns pBuffer, or
// null at the end of the data (or for a null handle, or iLen < 1), leaving
// pBuffer an empty text. Throws KmException on damaged data (see above).
char* km_gzgets(km_gzFile file, char* pBuffer, int iLen);

// Confirms, once the reads of file have reached the end of its data, that
// the compressed stream ended with its own end marker. zlib can answer a
// stream cut short with an ordinary end and no error (when the data
// decompressed from the cut prefix ends just past a multiple of its output
// buffer, the last bytes are dropped unseen). The length in the gzip
// trailer is compared with the bytes delivered; when they differ (a cut
// stream, or a file of several gzip members) the whole file is
// decompressed once more to decide. A file that is not compressed passes.
// sPath is the name the file was opened with. Nothing happens for a null
// handle.
// Throws: KmException (kind 0, source "km_gzFile") "Cannot read compressed
// file: <path>: unexpected end of file" for a stream cut short, with
// zlib's diagnosis in place of the last words for corrupt data.
void km_gzconfirmend(km_gzFile file, const char* sPath);

// Nonzero once the end of the uncompressed data has been reached, and also
// once the handle is in an error state, so that a loop
// "while (!km_gzeof(f)) ..." always ends. Nonzero for a null handle.
int km_gzeof(km_gzFile file);

// Moves to lOffset in the uncompressed data; iWhence is always 0 (from the
// start) in this system, with offsets taken from km_gztell. Returns the new
// offset, or -1 on error (and for a null handle).
int64_t km_gzseek(km_gzFile file, int64_t lOffset, int iWhence);

// The current offset in the uncompressed data; -1 on error or null handle.
int64_t km_gztell(km_gzFile file);

// The offset in the file itself (its compressed bytes) that reading has
// reached, read-ahead included; -1 on error or null handle.
int64_t km_gzoffset(km_gzFile file);

// Closes and frees the handle. Returns zlib's Z_OK on success, an error
// code otherwise (Z_STREAM_ERROR for a null handle).
int km_gzclose(km_gzFile file);

#endif  // KM_FOUNDATION_KMGZFILE_H
