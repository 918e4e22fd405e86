// ConsoleProgress: the terminal's progress line.
#include "driver/ConsoleProgress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <utility>

#include "foundation/kmRunProgressTrackers.h"

namespace {

// A fitted cohort's sub reaches this bar position.
constexpr int32_t kCohortDone = 100;
constexpr auto kRedraw = std::chrono::milliseconds(250);

}  // namespace

ConsoleProgress::ConsoleProgress(LineSource line) : line_(std::move(line)) {
  if (isatty(STDOUT_FILENO) == 1) thread_ = std::thread([this] { Show(); });
}

ConsoleProgress::ConsoleProgress(const kmMultiProgressTracker& tracker,
                                 int32_t iNumCohorts)
    : ConsoleProgress([&tracker, iNumCohorts] {
        return FormatLine(tracker, iNumCohorts);
      }) {}

ConsoleProgress::~ConsoleProgress() { Stop(); }

void ConsoleProgress::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    bStop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

KmString ConsoleProgress::FormatLine(const kmMultiProgressTracker& tracker,
                                     int32_t iNumCohorts) {
  const int64_t iRange =
      static_cast<int64_t>(tracker.GetMaximum()) - tracker.GetMinimum();
  int64_t iPercent = 0;
  if (iRange > 0) {
    iPercent =
        (static_cast<int64_t>(tracker.GetPosition()) - tracker.GetMinimum()) *
        100 / iRange;
  }
  iPercent = iPercent < 0 ? 0 : (iPercent > 100 ? 100 : iPercent);
  int32_t iFitted = 0;
  for (int32_t i = 0; i < iNumCohorts; ++i) {
    if (tracker.GetByGroupSubProgressInterface(i)->GetBarPosition() >=
        kCohortDone) {
      ++iFitted;
    }
  }
  KmString sLine;
  sLine.printf("  %d%% done, %d of %d cohorts fitted",
               static_cast<int>(iPercent), iFitted, iNumCohorts);
  return sLine;
}

void ConsoleProgress::Show() {
  int32_t iWidth = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_for(lock, kRedraw, [this] { return bStop_; })) {
    const KmString sLine = line_();
    std::fprintf(stdout, "\r%-*s", static_cast<int>(iWidth),
                 sLine.GetCString());
    std::fflush(stdout);
    if (sLine.GetLength() > iWidth) iWidth = sLine.GetLength();
  }
  if (iWidth > 0) std::fprintf(stdout, "\r%*s\r", static_cast<int>(iWidth), "");
  std::fflush(stdout);
}
