// A one-line progress display of long work (the calculation, an export) on
// the terminal.
#ifndef KM_DRIVER_CONSOLEPROGRESS_H
#define KM_DRIVER_CONSOLEPROGRESS_H

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "foundation/KmString.h"

class kmMultiProgressTracker;

// ConsoleProgress shows, while long work runs, one line on standard output
// (the calculation's percent done and cohorts fitted, an export's share
// written), redrawn in place a few times a second, and clears it when
// stopped. The calculation's percent counts the work inside the cohorts being
// fitted (their sub's bar position), so it moves during a single long cohort.
// It only reads what its line is made from, which must be safe to read from
// another thread (the trackers' values and the results handler's fetch share
// are atomic). When standard output is not a terminal it shows nothing and
// starts no thread, so redirected output holds only the run's own lines.
class ConsoleProgress {
 public:
  // Makes the line shown at each redraw.
  using LineSource = std::function<KmString()>;

  // Starts the display of the lines of line, which must stay callable until
  // Stop.
  explicit ConsoleProgress(LineSource line);
  // Starts the display for tracker, which has one sub per cohort
  // (iNumCohorts of them) and must outlive this object: FormatLine.
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

  const LineSource line_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool bStop_ = false;  // Guarded by mutex_.
  std::thread thread_;
};

#endif  // KM_DRIVER_CONSOLEPROGRESS_H
