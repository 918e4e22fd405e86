// ConsoleProgress: the terminal's progress line.
#include "driver/ConsoleProgress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <utility>

#include "engine/kmCalculationHandler.h"
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
  // The tracker holds the cohorts finished; a cohort being fitted adds the
  // share of its work done, its bar position out of kCohortDone. The
  // tracker is read first: a cohort's bar reaches kCohortDone before the
  // tracker counts it, so no cohort is counted twice.
  int64_t iDone =
      static_cast<int64_t>(tracker.GetPosition()) - tracker.GetMinimum();
  int32_t iFitted = 0;
  for (int32_t i = 0; i < iNumCohorts; ++i) {
    const kmBackgroundProgressTrackerWithBar* pSub =
        tracker.GetByGroupSubProgressInterface(i);
    const int32_t iBar = pSub->GetBarPosition();
    if (iBar >= kCohortDone) {
      ++iFitted;
    } else if (iBar > 0 && pSub->GetRunningFlag()) {
      iDone += int64_t{iBar} * kmCalculationHandler::kProgressPerCohort /
               kCohortDone;
    }
  }
  int64_t iPercent = iRange > 0 ? iDone * 100 / iRange : 0;
  iPercent = iPercent < 0 ? 0 : (iPercent > 100 ? 100 : iPercent);
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
