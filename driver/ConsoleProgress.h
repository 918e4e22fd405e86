// A one-line progress display of the calculation on the terminal.
#ifndef KM_DRIVER_CONSOLEPROGRESS_H
#define KM_DRIVER_CONSOLEPROGRESS_H

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "foundation/KmString.h"

class kmMultiProgressTracker;

// ConsoleProgress shows, while the calculation runs, one line on standard
// output with the percent done and the cohorts fitted, redrawn in place a
// few times a second, and clears it when stopped. The percent counts the
// work inside the cohorts being fitted (their sub's bar position), so it
// moves during a single long cohort. It only reads the
// tracker, whose values are atomic. When standard output is not a terminal
// it shows nothing and starts no thread, so redirected output holds only
// the run's own lines.
class ConsoleProgress {
 public:
  // Starts the display for tracker, which has one sub per cohort
  // (iNumCohorts of them) and must outlive this object.
  ConsoleProgress(const kmMultiProgressTracker& tracker, int32_t iNumCohorts);
  // Stop().
  ~ConsoleProgress();
  ConsoleProgress(const ConsoleProgress&) = delete;
  ConsoleProgress& operator=(const ConsoleProgress&) = delete;

  // Ends the display and clears its line; later calls do nothing.
  void Stop();

  // The line for a tracker: "  <p>% done, <f> of <n> cohorts fitted", p
  // the tracker's position, with the bar share of each running cohort's
  // kmCalculationHandler::kProgressPerCohort added, in percent of its
  // range, f the cohorts whose bar reached 100.
  static KmString FormatLine(const kmMultiProgressTracker& tracker,
                             int32_t iNumCohorts);

 private:
  void Show();

  const kmMultiProgressTracker& tracker_;
  const int32_t iNumCohorts_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool bStop_ = false;  // Guarded by mutex_.
  std::thread thread_;
};

#endif  // KM_DRIVER_CONSOLEPROGRESS_H
