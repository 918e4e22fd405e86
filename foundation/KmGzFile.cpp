#include "foundation/KmGzFile.h"

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/platform/KmFileSystem.h"

namespace {

const char kSource[] = "km_gzFile";

// Size of zlib's input and output buffers: larger than its 8 KiB default so
// that long data files are read in fewer system calls.
constexpr unsigned kGzBufferBytes = 1u << 16;

bool HasError(km_gzFile file) {
  int iError = Z_OK;
  gzerror(file, &iError);
  return iError != Z_OK;
}

// Raises the damaged-data error when zlib holds one. zlib's "unexpected end
// of file" (Z_BUF_ERROR) is among them: it is how a gzip stream cut short
// shows, and zlib's own calls return as at a normal end.
void ThrowIfDamaged(km_gzFile file, const char* sMethod) {
  int iError = Z_OK;
  const char* sMessage = gzerror(file, &iError);
  if (iError == Z_OK) return;
  WithCallPath(sMethod, kSource, [&] {
    GenerateKmExceptionF("Cannot read compressed file: %s", kSource,
                         sMessage != nullptr ? sMessage : "");
  });
}

}  // namespace

km_gzFile km_gzopen(const char* sPath, const char* sMode) {
  if (sPath == nullptr || sMode == nullptr) return nullptr;
  km_gzFile file = KmGetFileSystem().GzOpen(sPath, sMode);
  if (file != nullptr) gzbuffer(file, kGzBufferBytes);
  return file;
}

int km_gzread(km_gzFile file, void* pBuffer, unsigned uLen) {
  if (file == nullptr) return -1;
  const int iRead = gzread(file, pBuffer, uLen);
  // Raise in the call that meets the damage: zlib sets its end flag in that
  // same call, so a loop testing km_gzeof would never make another.
  ThrowIfDamaged(file, "km_gzread()");
  return iRead;
}

char* km_gzgets(km_gzFile file, char* pBuffer, int iLen) {
  if (pBuffer != nullptr && iLen > 0) pBuffer[0] = '\0';
  if (file == nullptr || pBuffer == nullptr || iLen < 1) return nullptr;
  char* pLine = gzgets(file, pBuffer, iLen);
  if (pLine == nullptr) pBuffer[0] = '\0';
  ThrowIfDamaged(file, "km_gzgets()");
  return pLine;
}

int km_gzeof(km_gzFile file) {
  if (file == nullptr) return 1;
  // zlib's end flag stays clear after corrupt data, where every further
  // read fails at once.
  return (gzeof(file) != 0 || HasError(file)) ? 1 : 0;
}

int64_t km_gzseek(km_gzFile file, int64_t lOffset, int iWhence) {
  if (file == nullptr) return -1;
  return static_cast<int64_t>(
      gzseek(file, static_cast<z_off_t>(lOffset), iWhence));
}

int64_t km_gztell(km_gzFile file) {
  if (file == nullptr) return -1;
  return static_cast<int64_t>(gztell(file));
}

int km_gzclose(km_gzFile file) {
  if (file == nullptr) return Z_STREAM_ERROR;
  return gzclose(file);
}

bool km_gzgetline(km_gzFile file, std::string& sLine) {
  sLine.clear();
  if (file == nullptr) return false;
  // Byte by byte through zlib's buffered gzgetc: a line of any length comes
  // whole, and a NUL byte stays in it instead of ending it unseen.
  for (int c = gzgetc(file); c != -1; c = gzgetc(file)) {
    sLine.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  ThrowIfDamaged(file, "km_gzgetline()");
  return !sLine.empty();
}
