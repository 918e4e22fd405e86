// Test helpers for the file layer: a file system that fails on chosen paths
// (reads and writes) and an installer that puts the previous one back.
#ifndef KM_TESTS_FOUNDATION_FAULTYFILESYSTEM_H
#define KM_TESTS_FOUNDATION_FAULTYFILESYSTEM_H

#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <set>
#include <stdexcept>
#include <streambuf>
#include <string>

#include "foundation/platform/KmFileSystem.h"
#include "foundation/platform/KmPlatform.h"

namespace km_test {

// Serves the bytes it is given, then fails every further read as a device
// error would (the stream gets its bad bit, not its end-of-file bit).
class ReadErrorStreamBuf : public std::streambuf {
 public:
  explicit ReadErrorStreamBuf(std::string sBytes) : sBytes_(std::move(sBytes)) {
    char* pBegin = sBytes_.empty() ? nullptr : &sBytes_[0];
    setg(pBegin, pBegin, pBegin + sBytes_.size());
  }

 protected:
  int_type underflow() override {
    throw std::runtime_error("injected read error");
  }

 private:
  std::string sBytes_;
};

class ReadErrorStream : public std::istream {
 public:
  explicit ReadErrorStream(std::string sBytes)
      : std::istream(nullptr), buf_(std::move(sBytes)) {
    rdbuf(&buf_);
  }

 private:
  ReadErrorStreamBuf buf_;
};

// A stream that accepts iLimit bytes in all and then fails, as a full disk
// does; it can seek, so the patches at the end of a results file reach it.
class LimitedBuf : public std::streambuf {
 public:
  explicit LimitedBuf(int64_t iLimit) : iLimit_(iLimit) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return 0;
    if (iPos_ >= iLimit_) return traits_type::eof();
    ++iPos_;
    return c;
  }
  pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                   std::ios_base::openmode) override {
    if (dir == std::ios_base::beg) iPos_ = off;
    if (dir == std::ios_base::cur) iPos_ += off;
    return pos_type(iPos_);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode) override {
    iPos_ = pos;
    return pos;
  }

 private:
  int64_t iLimit_;
  int64_t iPos_ = 0;
};

class LimitedStream : public std::ostream {
 public:
  explicit LimitedStream(int64_t iLimit) : std::ostream(nullptr), buf_(iLimit) {
    rdbuf(&buf_);
  }

 private:
  LimitedBuf buf_;
};

// The real file system, except for the faults switched on below.
class FaultyFileSystem : public KmFileSystem {
 public:
  // Paths (native form) that exist but cannot be opened.
  std::set<std::string> unreadable;
  // Path (native form) whose reads deliver sReadErrorPrefix and then fail.
  std::string sReadErrorPath;
  std::string sReadErrorPrefix;
  // The working directory reported, when not empty; with
  // bNoWorkingDirectory it cannot be determined at all.
  std::string sWorkingDirectory;
  bool bNoWorkingDirectory = false;
  // Path (native form) written as to a full disk: its writes fail once
  // iFullDiskLimit bytes have been accepted.
  std::string sFullDiskPath;
  int64_t iFullDiskLimit = 0;

  std::unique_ptr<std::istream> OpenInput(const std::string& sPath) override {
    const std::string sNative = KmNativePath(sPath);
    if (unreadable.count(sNative) != 0) {
      auto pStream = std::make_unique<std::istream>(nullptr);
      pStream->setstate(std::ios::failbit);
      return pStream;
    }
    if (!sReadErrorPath.empty() && sNative == sReadErrorPath) {
      return std::make_unique<ReadErrorStream>(sReadErrorPrefix);
    }
    return KmFileSystem::OpenInput(sPath);
  }

  std::unique_ptr<std::ostream> OpenOutput(const std::string& sPath,
                                           bool bAppend) override {
    if (!sFullDiskPath.empty() && KmNativePath(sPath) == sFullDiskPath) {
      return std::make_unique<LimitedStream>(iFullDiskLimit);
    }
    return KmFileSystem::OpenOutput(sPath, bAppend);
  }

  gzFile GzOpen(const std::string& sPath, const char* sMode) override {
    if (unreadable.count(KmNativePath(sPath)) != 0) return nullptr;
    return KmFileSystem::GzOpen(sPath, sMode);
  }

  bool Exists(const std::string& sPath) override {
    return unreadable.count(KmNativePath(sPath)) != 0 ||
           KmFileSystem::Exists(sPath);
  }

  bool GetCurrentDirectory(std::string& sDir) override {
    if (bNoWorkingDirectory) return false;
    if (!sWorkingDirectory.empty()) {
      sDir = sWorkingDirectory;
      return true;
    }
    return KmFileSystem::GetCurrentDirectory(sDir);
  }
};

// Installs a file system for the lifetime of the object.
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(KmFileSystem* pFileSystem)
      : pPrevious_(KmSetFileSystem(pFileSystem)) {}
  ~ScopedFileSystem() { KmSetFileSystem(pPrevious_); }
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  KmFileSystem* pPrevious_;
};

}  // namespace km_test

#endif  // KM_TESTS_FOUNDATION_FAULTYFILESYSTEM_H
