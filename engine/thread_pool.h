// thread_pool: the fixed set of worker threads that runs the per-cohort tasks
// of a calculation run, with its task queue and joiner.
#ifndef KM_ENGINE_THREAD_POOL_H
#define KM_ENGINE_THREAD_POOL_H

#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// A first-in first-out queue of tasks shared by the pool's workers. Every
// access to the deque holds the mutex; tasks are run by the caller of
// try_pop, outside the lock.
class task_queue {
 public:
  // A task takes no arguments and returns nothing.
  using task = std::function<void()>;

  task_queue() = default;
  task_queue(const task_queue&) = delete;
  task_queue& operator=(const task_queue&) = delete;

  // Appends t at the back. Nothing waits for a push: the pool is filled
  // before its workers start, and a worker that finds the queue empty ends.
  void push(task t);
  // Moves the front task into out and removes it. Returns false, leaving out
  // alone, when the queue is empty.
  bool try_pop(task& out);
  // The number of queued tasks at the moment of the call.
  size_t size() const;

 private:
  mutable std::mutex mutex;
  std::deque<task> tasks;
};

// Joins, when it goes out of scope, every thread of the referenced vector
// that is still joinable, in vector order. It makes sure that no started
// worker is left running when starting a later one fails.
class thread_joiner {
 public:
  explicit thread_joiner(std::vector<std::thread>& threads)
      : threads_(threads) {}
  thread_joiner(const thread_joiner&) = delete;
  thread_joiner& operator=(const thread_joiner&) = delete;
  ~thread_joiner();

 private:
  std::vector<std::thread>& threads_;
};

// A run-to-empty pool of worker threads. The caller queues every task with
// submit, then calls start, which runs the workers until the queue has been
// drained and returns once all of them have ended. The pool is used once:
// tasks submitted after the queue ran empty are never run.
//
// Failures: nothing a task throws escapes a worker thread. The first failure
// is kept, sets the done flag (so the workers take no further tasks and end)
// and is raised again by start once every worker has been joined. A
// KmException or a standard exception is raised again as the same type; the
// container's plain-text index error (a thrown const char*) becomes a
// KmException carrying that text, and any other thrown value a KmException
// "Unknown exception in a worker task"; both with source "thread_pool".
//
// Threads: submit and start from one controlling thread; poll_done from any
// thread.
class thread_pool {
 public:
  thread_pool();
  thread_pool(const thread_pool&) = delete;
  thread_pool& operator=(const thread_pool&) = delete;
  // Sets done. The workers have all been joined by start.
  ~thread_pool();

  // Queues f (a callable with no arguments; its result is dropped).
  template <typename F>
  void submit(F f) {
    queue.push(task_queue::task(std::move(f)));
  }

  // Starts the workers (worker_count_for(requested, allowed_cpu_count())), lets
  // them drain the queue and returns after all of them have ended. Throws: the
  // first failure of a task, as described above, after every worker has ended;
  // when a thread cannot be started, throw_start_failure's refusal (done is
  // then set and the workers already started are joined). REQUIRES: called
  // once, after every submit.
  void start(int16_t requested);

  // Throws KmException (kind 3, source "thread_pool") saying that only
  // started of the wanted worker threads could start ("The run could not
  // start its worker threads" when none did), with the system's reason
  // for error, the limits of the process that bound its threads (the stack
  // each reserves, ulimit -s; the address space, ulimit -v, when limited;
  // the account's processes and threads, ulimit -u, when few) and the
  // "num cores" to set (1 to started; 1 when none started) or the limits
  // to change.
  [[noreturn]] static void throw_start_failure(int32_t started, int32_t wanted,
                                               int error);

  // Sleeps 200 ms, then returns the done flag.
  bool poll_done();

  // The number of workers start runs: the smaller of requested and hardware
  // (compared as 16-bit signed values) when requested > 0, otherwise
  // hardware; never fewer than 1 (a platform that reports 0 hardware
  // threads still gets one worker, so the queue is always drained).
  static int32_t worker_count_for(int16_t requested, uint32_t hardware);

  // The CPUs this process may run on: those of its affinity mask, fewer
  // when a CPU quota of its control group allows less (the quota over the
  // period, rounded up), the platform's hardware thread count where neither
  // can be read; never fewer than 1.
  static uint32_t allowed_cpu_count();

 private:
  // The body of each worker: until done, take and run the front task; the
  // first worker that finds the queue empty sets done.
  void worker_loop();
  // Keeps the first failure and sets done.
  void record_failure(std::exception_ptr failure);

  std::atomic<bool> done;
  task_queue queue;
  std::vector<std::thread> workers;
  // The first failure of a task, raised again by start.
  std::mutex failure_mutex;
  std::exception_ptr failure;
};

#endif  // KM_ENGINE_THREAD_POOL_H
