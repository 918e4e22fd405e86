// thread_pool, task_queue and thread_joiner.
#include "engine/thread_pool.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "foundation/KmException.h"

void task_queue::push(task t) {
  std::lock_guard<std::mutex> lock(mutex);
  tasks.push_back(std::move(t));
  condition.notify_one();
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

thread_pool::thread_pool() : done(false) {}

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
  const int32_t count =
      worker_count_for(requested, std::thread::hardware_concurrency());
  {
    // Joins whatever was started, also when starting a thread fails.
    thread_joiner joiner(workers);
    try {
      for (int32_t i = 0; i < count; ++i) {
        workers.emplace_back(&thread_pool::worker_loop, this);
      }
    } catch (...) {
      done.exchange(true);
      throw;
    }
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
