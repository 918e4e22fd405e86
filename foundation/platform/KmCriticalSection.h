// Portable stand-in for the recursive critical section of the original
// platform: a lock that the thread holding it may take again.
#ifndef KM_FOUNDATION_PLATFORM_KMCRITICALSECTION_H
#define KM_FOUNDATION_PLATFORM_KMCRITICALSECTION_H

#include <mutex>

// KmCriticalSection is a recursive lock: the owning thread may lock it again
// without blocking and must unlock it as often as it locked it. It satisfies
// the standard Lockable requirements, so std::lock_guard and std::unique_lock
// can hold it. Not copyable or movable.
class KmCriticalSection {
 public:
  KmCriticalSection() = default;
  KmCriticalSection(const KmCriticalSection&) = delete;
  KmCriticalSection& operator=(const KmCriticalSection&) = delete;

  // Blocks until the calling thread holds the lock (at once when it holds
  // it already).
  void lock() { mutex_.lock(); }
  // Takes the lock when that is possible without blocking; returns whether
  // the calling thread now holds it.
  bool try_lock() { return mutex_.try_lock(); }
  // Gives up one level of ownership.
  // REQUIRES: the calling thread holds the lock.
  void unlock() { mutex_.unlock(); }

 private:
  std::recursive_mutex mutex_;
};

#endif  // KM_FOUNDATION_PLATFORM_KMCRITICALSECTION_H
