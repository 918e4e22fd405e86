#include "foundation/KmGzFile.h"

#include <istream>
#include <memory>
#include <string>
#include <vector>

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

// The length field of the gzip trailer: the last four bytes of sPath, a
// little-endian count of the data modulo 2^32. False when they cannot be
// read.
bool ReadTrailerLength(const char* sPath, uint32_t& uLength) {
  std::unique_ptr<std::istream> pInput = KmGetFileSystem().OpenInput(sPath);
  if (!pInput || !pInput->good()) return false;
  pInput->seekg(-4, std::ios::end);
  unsigned char bytes[4] = {0, 0, 0, 0};
  pInput->read(reinterpret_cast<char*>(bytes), 4);
  if (pInput->gcount() != 4) return false;
  uLength = static_cast<uint32_t>(bytes[0]) |
            static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 |
            static_cast<uint32_t>(bytes[3]) << 24;
  return true;
}

// Decompresses the whole of sPath, member after member as zlib's gzip
// reader takes them (bytes after a member that do not begin another one
// are ignored, as it ignores them). Returns "" when every member ends with
// its end marker, else the fault: "unexpected end of file" for a stream cut
// short, zlib's diagnosis for corrupt data.
std::string WholeStreamFault(const char* sPath) {
  std::unique_ptr<std::istream> pInput = KmGetFileSystem().OpenInput(sPath);
  if (!pInput || !pInput->good()) return "cannot be read again";
  z_stream stream{};
  if (inflateInit2(&stream, 15 + 16) != Z_OK) return "out of memory";
  std::vector<unsigned char> in(kGzBufferBytes);
  std::vector<unsigned char> out(kGzBufferBytes);
  std::string sFault = "unexpected end of file";
  bool bMemberEnded = false;
  for (;;) {
    if (stream.avail_in == 0) {
      pInput->read(reinterpret_cast<char*>(in.data()),
                   static_cast<std::streamsize>(in.size()));
      stream.next_in = in.data();
      stream.avail_in = static_cast<uInt>(pInput->gcount());
      if (stream.avail_in == 0) break;
    }
    if (bMemberEnded) {
      const bool bNextMember =
          stream.next_in[0] == 0x1f &&
          (stream.avail_in < 2 || stream.next_in[1] == 0x8b);
      if (!bNextMember) break;
      inflateReset(&stream);
      bMemberEnded = false;
    }
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int iResult = inflate(&stream, Z_NO_FLUSH);
    if (iResult == Z_STREAM_END) {
      bMemberEnded = true;
    } else if (iResult != Z_OK && iResult != Z_BUF_ERROR) {
      sFault = stream.msg != nullptr ? stream.msg : "invalid data";
      break;
    }
  }
  inflateEnd(&stream);
  return bMemberEnded ? std::string() : sFault;
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

int64_t km_gzoffset(km_gzFile file) {
  if (file == nullptr) return -1;
  return static_cast<int64_t>(gzoffset(file));
}

int km_gzclose(km_gzFile file) {
  if (file == nullptr) return Z_STREAM_ERROR;
  return gzclose(file);
}

void km_gzconfirmend(km_gzFile file, const char* sPath) {
  if (file == nullptr || sPath == nullptr) return;
  ThrowIfDamaged(file, "km_gzconfirmend()");
  if (gzdirect(file) != 0) return;
  uint32_t uTrailerLength = 0;
  const int64_t lDelivered = km_gztell(file);
  if (ReadTrailerLength(sPath, uTrailerLength) &&
      uTrailerLength == static_cast<uint32_t>(lDelivered)) {
    return;
  }
  const std::string sReason = WholeStreamFault(sPath);
  if (sReason.empty()) return;
  WithCallPath("km_gzconfirmend()", kSource, [&] {
    GenerateKmExceptionF("Cannot read compressed file: %s: %s", kSource, sPath,
                         sReason.c_str());
  });
}
