// DataFileProgress.
#include "driver/DataFileProgress.h"

#include <filesystem>
#include <system_error>

#include "foundation/platform/KmPlatform.h"

namespace {

constexpr int64_t kMegabyte = int64_t{1} << 20;

}  // namespace

DataFileProgress::DataFileProgress(const KmString& sDataFile,
                                   const char* sHeading, const char* sDone,
                                   std::FILE* pOut, int64_t iShownFrom)
    : sDone_(sDone), pOut_(pOut) {
  std::error_code error;
  const auto uSize =
      std::filesystem::file_size(KmNativePath(sDataFile.GetCString()), error);
  bShown_ = !error && static_cast<int64_t>(uSize) >= iShownFrom;
  if (bShown_ && sHeading != nullptr) {
    std::fprintf(
        pOut_, "%s (%lld MB)\n", sHeading,
        static_cast<long long>((static_cast<int64_t>(uSize) + kMegabyte / 2) /
                               kMegabyte));
    std::fflush(pOut_);
  }
}

DataFileProgress::~DataFileProgress() = default;

void DataFileProgress::SetMaximum(int32_t iMaximum) {
  iMaximum_ = iMaximum > 0 ? iMaximum : 1;
  iTenthsShown_ = 0;
}

void DataFileProgress::SetPosition(int32_t iPosition) {
  if (!bShown_) return;
  const int64_t iTenths = static_cast<int64_t>(iPosition) * 10 / iMaximum_;
  if (iTenths <= iTenthsShown_) return;
  iTenthsShown_ = static_cast<int32_t>(iTenths > 10 ? 10 : iTenths);
  std::fprintf(pOut_, "  %d%% of the data file %s\n", iTenthsShown_ * 10,
               sDone_);
  std::fflush(pOut_);
}
