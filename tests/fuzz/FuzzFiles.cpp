#include "tests/fuzz/FuzzFiles.h"

#include <stdlib.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <vector>

namespace km_fuzz {

namespace {

// The scratch directory, removed with its files when the process ends.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    const char* sBase = std::getenv("TMPDIR");
    std::string sPattern =
        std::string(sBase != nullptr && *sBase != '\0' ? sBase : "/tmp") +
        "/kmfuzz-XXXXXX";
    std::vector<char> buffer(sPattern.begin(), sPattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
      std::perror("kmfuzz: cannot make a scratch directory");
      std::abort();
    }
    sPath_ = buffer.data();
  }
  ~ScratchDirectory() {
    for (const std::string& sFile : vFiles_) std::remove(sFile.c_str());
    rmdir(sPath_.c_str());
  }
  std::string File(const char* sName) {
    const std::string sFile = sPath_ + "/" + sName;
    for (const std::string& s : vFiles_) {
      if (s == sFile) return sFile;
    }
    vFiles_.push_back(sFile);
    return sFile;
  }

 private:
  std::string sPath_;
  std::vector<std::string> vFiles_;
};

ScratchDirectory& Scratch() {
  static ScratchDirectory dir;
  return dir;
}

}  // namespace

std::string WriteFile(const char* sName, const uint8_t* pData, size_t uSize) {
  const std::string sPath = Scratch().File(sName);
  std::ofstream out(sPath, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(pData),
            static_cast<std::streamsize>(uSize));
  return sPath;
}

std::string WriteGzFile(const char* sName, const uint8_t* pData, size_t uSize) {
  if (uSize >= 2 && pData[0] == 0x1f && pData[1] == 0x8b) {
    return WriteFile(sName, pData, uSize);
  }
  const std::string sPath = Scratch().File(sName);
  gzFile file = gzopen(sPath.c_str(), "wb1");
  if (file == nullptr) std::abort();
  if (uSize > 0) gzwrite(file, pData, static_cast<unsigned>(uSize));
  gzclose(file);
  return sPath;
}

std::string WriteInputFile(const std::string& sName, const uint8_t* pData,
                           size_t uSize, bool bGzip) {
  return bGzip ? WriteGzFile((sName + ".gz").c_str(), pData, uSize)
               : WriteFile(sName.c_str(), pData, uSize);
}

std::string FixturePath(const char* sRelative) {
  return std::string(KM_FIXTURE_DIR) + "/" + sRelative;
}

}  // namespace km_fuzz
