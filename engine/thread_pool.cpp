// thread_pool, task_queue and thread_joiner.
#include "engine/thread_pool.h"

#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <string>
#include <system_error>

#include "foundation/KmException.h"
#include "foundation/KmString.h"
#include "foundation/KmSystemReason.h"

void task_queue::push(task t) {
  std::lock_guard<std::mutex> lock(mutex);
  tasks.push_back(std::move(t));
}

bool task_queue::try_pop(task& out) {
  std::lock_guard<std::mutex> lock(mutex);
  if (tasks.empty()) return false;
  out = std::move(tasks.front());
  tasks.pop_front();
  return true;
}

size_t task_queue::size() const {
  std::lock_guard<std::mutex> lock(mutex);
  return tasks.size();
}

thread_joiner::~thread_joiner() {
  for (std::thread& t : threads_) {
    if (t.joinable()) t.join();
  }
}

namespace {

// CPUs allowed by a control group's quota, 0 when there is none: cgroup v2
// "cpu.max" ("max 100000" or "<quota> <period>"), else cgroup v1
// "cpu.cfs_quota_us" (-1 for none) over "cpu.cfs_period_us".
uint32_t CgroupCpuLimit() {
  double dQuota = 0.0;
  double dPeriod = 0.0;
  std::ifstream v2("/sys/fs/cgroup/cpu.max");
  std::string sQuota;
  if (v2 >> sQuota >> dPeriod) {
    if (sQuota == "max") return 0;
    dQuota = std::atof(sQuota.c_str());
  } else {
    std::ifstream q("/sys/fs/cgroup/cpu/cpu.cfs_quota_us");
    std::ifstream p("/sys/fs/cgroup/cpu/cpu.cfs_period_us");
    if (!(q >> dQuota) || !(p >> dPeriod)) return 0;
  }
  if (!(dQuota > 0.0) || !(dPeriod > 0.0)) return 0;
  return static_cast<uint32_t>(std::max(1.0, std::ceil(dQuota / dPeriod)));
}

// The soft limit of resource for this process; RLIM_INFINITY when none.
rlim_t SoftLimit(int resource) {
  struct rlimit limit;
  return getrlimit(resource, &limit) == 0 ? limit.rlim_cur : RLIM_INFINITY;
}

// bytes in whole megabytes, rounded.
std::string Megabytes(rlim_t bytes) {
  return std::to_string((bytes + (rlim_t{1} << 19)) >> 20);
}

// A limit on an account's processes and threads that a run's threads may
// reach; the systems' defaults lie far above it.
constexpr rlim_t kFewThreads = 4096;

}  // namespace

thread_pool::thread_pool() : done(false) {}

uint32_t thread_pool::allowed_cpu_count() {
  uint32_t count = std::thread::hardware_concurrency();
  cpu_set_t mask;
  CPU_ZERO(&mask);
  if (sched_getaffinity(0, sizeof(mask), &mask) == 0) {
    const int iAllowed = CPU_COUNT(&mask);
    if (iAllowed > 0) count = static_cast<uint32_t>(iAllowed);
  }
  const uint32_t quota = CgroupCpuLimit();
  if (quota > 0) count = count == 0 ? quota : std::min(count, quota);
  return std::max<uint32_t>(count, 1);
}

thread_pool::~thread_pool() { done.exchange(true); }

int32_t thread_pool::worker_count_for(int16_t requested, uint32_t hardware) {
  const uint32_t kMax16 =
      static_cast<uint32_t>(std::numeric_limits<int16_t>::max());
  const int16_t hardware16 = static_cast<int16_t>(std::min(hardware, kMax16));
  const int16_t count =
      requested > 0 ? std::min(requested, hardware16) : hardware16;
  return std::max<int32_t>(count, 1);
}

void thread_pool::start(int16_t requested) {
  done.exchange(false);
  const int32_t count = worker_count_for(requested, allowed_cpu_count());
  int start_error = 0;
  bool start_failed = false;
  {
    // Joins whatever was started, also when starting a thread fails.
    thread_joiner joiner(workers);
    try {
      for (int32_t i = 0; i < count; ++i) {
        workers.emplace_back(&thread_pool::worker_loop, this);
      }
    } catch (const std::system_error& e) {
      done.exchange(true);
      start_error = e.code().value();
      start_failed = true;
    } catch (...) {
      done.exchange(true);
      throw;
    }
  }
  if (start_failed) {
    throw_start_failure(static_cast<int32_t>(workers.size()), count,
                        start_error);
  }
  std::exception_ptr first;
  {
    std::lock_guard<std::mutex> lock(failure_mutex);
    first = failure;
  }
  if (first) std::rethrow_exception(first);
}

bool thread_pool::poll_done() {
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  return done.load();
}

void thread_pool::record_failure(std::exception_ptr caught) {
  {
    std::lock_guard<std::mutex> lock(failure_mutex);
    if (!failure) failure = std::move(caught);
  }
  done.exchange(true);
}

void thread_pool::throw_start_failure(int32_t started, int32_t wanted,
                                      int error) {
  KmString sMessage;
  const std::string sReason = KmSystemReason(error != 0 ? error : EAGAIN);
  if (started > 0) {
    sMessage.printf("Only %d of the run's %d worker threads could start (%s):",
                    started, wanted, sReason.c_str());
  } else {
    sMessage.printf("The run could not start its worker threads (%s):",
                    sReason.c_str());
  }
  const rlim_t stack = SoftLimit(RLIMIT_STACK);
  sMessage << " each thread reserves its stack";
  if (stack != RLIM_INFINITY) {
    sMessage << ", " << Megabytes(stack).c_str() << " MB (ulimit -s),";
  }
  const rlim_t space = SoftLimit(RLIMIT_AS);
  if (space != RLIM_INFINITY) {
    sMessage << " and room for its memory in the " << Megabytes(space).c_str()
             << " MB of address space the process may use (ulimit -v)";
  } else {
    sMessage << " and room for its memory";
  }
  const rlim_t threads = SoftLimit(RLIMIT_NPROC);
  if (threads <= kFewThreads) {
    sMessage << ", and the account may run " << std::to_string(threads).c_str()
             << " processes and threads at once (ulimit -u)";
  }
  if (started > 1) {
    sMessage << ".  Set \"num cores\" to a number from 1 to " << started;
  } else {
    sMessage << ".  Set \"num cores = 1\"";
  }
  sMessage << " in the run options file, or change those limits.";
  GenerateKmInputExceptionF("%s", "thread_pool", sMessage.GetCString());
}

void thread_pool::worker_loop() {
  while (!done.load()) {
    if (queue.size() == 0) {
      done.exchange(true);
      break;
    }
    task_queue::task t;
    if (!queue.try_pop(t)) {
      // Another worker took the last task in between; the next look finds
      // the queue empty.
      std::this_thread::yield();
      continue;
    }
    // A throw out of a thread's function would end the process, so every
    // failure stops here and is handed to start.
    try {
      t();
    } catch (const std::exception&) {  // KmException included
      record_failure(std::current_exception());
    } catch (const char* text) {
      record_failure(std::make_exception_ptr(
          KmException(text != nullptr ? text : "", "thread_pool")));
    } catch (...) {
      record_failure(std::make_exception_ptr(
          KmException("Unknown exception in a worker task", "thread_pool")));
    }
  }
}
