// Tests of thread_pool: the worker-count rule, draining the queue, and the
// failure boundary of the workers.
#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/kmRunMemory.h"
#include "engine/thread_pool.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/OneDimensionArray.h"
#include "session/kmSession.h"
#include "session/kmVariable.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

TEST(ThreadPool, WorkerCountFollowsRequestAndHardware) {
  struct Case {
    int16_t requested;
    uint32_t hardware;
    int32_t expected;
  };
  const Case kCases[] = {
      {2, 8, 2},      {16, 8, 8}, {8, 8, 8},    {0, 8, 8},          {-1, 8, 8},
      {-32768, 8, 8}, {1, 1, 1},  {9999, 4, 4}, {0, 100000, 32767},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE("requested " + std::to_string(c.requested) + ", hardware " +
                 std::to_string(c.hardware));
    EXPECT_EQ(thread_pool::worker_count_for(c.requested, c.hardware),
              c.expected);
  }
}

TEST(ThreadPool, AllowedCpusFollowTheAffinityMask) {
  // Fault: the default worker count took every CPU of the machine, so a
  // run restricted to two CPUs (taskset, a container) started one worker
  // per machine CPU.
  cpu_set_t saved;
  ASSERT_EQ(sched_getaffinity(0, sizeof(saved), &saved), 0);
  for (int iCpus : {1, 2}) {
    if (CPU_COUNT(&saved) < iCpus) continue;
    cpu_set_t mask;
    CPU_ZERO(&mask);
    for (int c = 0, iTaken = 0; c < CPU_SETSIZE && iTaken < iCpus; ++c) {
      if (CPU_ISSET(c, &saved)) {
        CPU_SET(c, &mask);
        ++iTaken;
      }
    }
    ASSERT_EQ(sched_setaffinity(0, sizeof(mask), &mask), 0);
    EXPECT_LE(thread_pool::allowed_cpu_count(), static_cast<uint32_t>(iCpus));
    EXPECT_GE(thread_pool::allowed_cpu_count(), 1u);
  }
  ASSERT_EQ(sched_setaffinity(0, sizeof(saved), &saved), 0);
}

TEST(ThreadPool, WorkersAreSizedToTheMemoryTheRunMayTake) {
  constexpr double kMB = 1024.0 * 1024.0;
  struct Case {
    int32_t workers;
    double need;
    double available;
    int32_t expected;  // 0: refused
  };
  const Case kCases[] = {
      {8, 100 * kMB, 1000 * kMB, 8},  {8, 300 * kMB, 1000 * kMB, 3},
      {8, 1000 * kMB, 1000 * kMB, 1}, {8, 1500 * kMB, 0.0, 8},
      {8, 1500 * kMB, 1000 * kMB, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE("need " + std::to_string(c.need / kMB) + " MB");
    if (c.expected > 0) {
      EXPECT_EQ(
          km_run_memory::WorkersWithinMemory(c.workers, c.need, c.available),
          c.expected);
      continue;
    }
    const KmException e = km_test::CatchKmException([&] {
      km_run_memory::WorkersWithinMemory(c.workers, c.need, c.available);
    });
    EXPECT_STREQ(e.GetMessage(),
                 "The run needs about 1500 MB of memory for each cohort, but "
                 "only 1000 MB are available.");
  }
}

TEST(ThreadPool, ClusteringCountsInTheMemoryOfACohort) {
  // Fault: the estimate left clustering out, so one cohort clustered over
  // 12 unordered groups (10.1 GB at its peak with 20 observations and
  // models of 0 and 1 kinkmarks) started as many workers as a plain fit.
  constexpr double kGB = 1024.0 * 1024.0 * 1024.0;
  struct Case {
    int32_t groups;
    int32_t ordering;        // 0 ordered, 1 unordered
    int32_t comparisonType;  // 2 clustering
    double minGB;
    double maxGB;
  };
  const Case kCases[] = {
      {12, 1, 2, 9.0, 11.0},  // measured 10.1 GB
      {10, 1, 2, 1.6, 2.0},   // measured 1.9 GB
      {10, 0, 2, 0.05, 0.1},  // measured 0.1 GB
      {12, 1, 0, 0.0, 0.01},  // no clustering
      {13, 1, 2, 0.0, 0.01},  // refused by the clustering itself
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::to_string(c.groups) + " groups, ordering " +
                 std::to_string(c.ordering));
    KmFormat groups;
    for (int32_t g = 0; g < c.groups; ++g) {
      groups.AddLine(std::to_string(g).c_str(), "group", -1);
    }
    kmSession session;
    session.AddVariable(kmVariable("Age", 1, &groups));
    session.SetKMVarPosition(kmVarAdjustment, 1);
    session.SetInt(kmOptComparisonType, c.comparisonType);
    session.SetInt(kmOptClusterOrdering, c.ordering);
    session.SetInt(kmOptMaxKinkmarks, 1);
    session.SetInt(kmOptNumPermutations, 9);
    const double dGB = km_run_memory::CohortTaskBytes(session, 20) / kGB;
    EXPECT_GE(dGB, c.minGB);
    EXPECT_LE(dGB, c.maxGB);
  }
}

TEST(ThreadPool, ZeroHardwareThreadsStillGetsOneWorker) {
  // Fault: a platform reporting 0 hardware threads gave 0 workers, so the
  // queue was never drained and the done flag never set (the caller's poll
  // loop never ended).
  EXPECT_EQ(thread_pool::worker_count_for(0, 0), 1);
  EXPECT_EQ(thread_pool::worker_count_for(5, 0), 1);
  EXPECT_EQ(thread_pool::worker_count_for(-2, 0), 1);
}

TEST(ThreadPool, EveryTaskRunsExactlyOnce) {
  struct Case {
    int16_t requested;
    int32_t tasks;
  };
  // Many small tasks on several workers, more workers than tasks, and the
  // hardware count (requested 0).
  const Case kCases[] = {{4, 5000}, {32, 3}, {0, 1000}, {1, 200}};
  for (const Case& c : kCases) {
    SCOPED_TRACE("requested " + std::to_string(c.requested) + ", tasks " +
                 std::to_string(c.tasks));
    std::vector<std::atomic<int32_t>> runs(static_cast<size_t>(c.tasks));
    for (auto& r : runs) r.store(0);
    thread_pool pool;
    for (int32_t i = 0; i < c.tasks; ++i) {
      pool.submit([&runs, i] { runs[static_cast<size_t>(i)].fetch_add(1); });
    }
    pool.start(c.requested);
    for (int32_t i = 0; i < c.tasks; ++i) {
      ASSERT_EQ(runs[static_cast<size_t>(i)].load(), 1) << "task " << i;
    }
    EXPECT_TRUE(pool.poll_done());
  }
}

TEST(ThreadPool, OneWorkerRunsTasksInQueueOrder) {
  std::vector<int32_t> order;
  thread_pool pool;
  for (int32_t i = 0; i < 50; ++i) {
    pool.submit([&order, i] { order.push_back(i); });
  }
  pool.start(1);
  ASSERT_EQ(order.size(), 50u);
  for (int32_t i = 0; i < 50; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
}

TEST(ThreadPool, EmptyQueueEndsAtOnceAndPollReportsDone) {
  // A worker that waited for tasks to come would never end.
  thread_pool pool;
  km_test::EndsWithinAMinute("An empty pool", [&] { pool.start(4); });
  EXPECT_TRUE(pool.poll_done());
}

TEST(ThreadPool, TasksSharingStateUnderALockSeeEveryUpdate) {
  std::mutex mutex;
  int64_t sum = 0;
  thread_pool pool;
  for (int32_t i = 1; i <= 2000; ++i) {
    pool.submit([&mutex, &sum, i] {
      std::lock_guard<std::mutex> lock(mutex);
      sum += i;
    });
  }
  pool.start(8);
  EXPECT_EQ(sum, int64_t{2000} * 2001 / 2);
}

// How a failing task throws, and what start must raise for it.
enum class Throw { kKmException, kOneDimensionArrayIndex, kStandard, kOther };

void ThrowAs(Throw kind) {
  switch (kind) {
    case Throw::kKmException:
      GenerateKmException("Error: SSE < 0.", "kmCalculator");
    case Throw::kOneDimensionArrayIndex: {
      OneDimensionArray<int> values;
      values.Resize(2);
      values[2] = 1;  // throws the container's bare text
      break;
    }
    case Throw::kStandard:
      throw std::runtime_error("standard failure");
    case Throw::kOther:
      throw 42;
  }
}

// Runs start and checks that it raises the failure a task threw as kind.
void ExpectFailure(thread_pool& pool, int16_t requested, Throw kind) {
  try {
    pool.start(requested);
    ADD_FAILURE() << "start returned without raising the task's failure";
  } catch (const KmException& e) {
    switch (kind) {
      case Throw::kKmException:
        EXPECT_STREQ(e.GetMessage(), "Error: SSE < 0.");
        EXPECT_STREQ(e.GetSource(), "kmCalculator");
        break;
      case Throw::kOneDimensionArrayIndex:
        EXPECT_STREQ(e.GetMessage(), kOneDimensionArrayIndexError);
        EXPECT_STREQ(e.GetSource(), "thread_pool");
        break;
      case Throw::kOther:
        EXPECT_STREQ(e.GetMessage(), "Unknown exception in a worker task");
        break;
      case Throw::kStandard:
        ADD_FAILURE() << "standard exception raised as KmException";
        break;
    }
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(kind, Throw::kStandard);
    EXPECT_STREQ(e.what(), "standard failure");
  } catch (...) {
    ADD_FAILURE() << "unexpected exception type from start";
  }
}

const struct FailureCase {
  const char* name;
  Throw kind;
} kFailureCases[] = {
    {"KmException", Throw::kKmException},
    {"OneDimensionArray index text", Throw::kOneDimensionArrayIndex},
    {"standard exception", Throw::kStandard},
    {"other thrown value", Throw::kOther},
};

TEST(ThreadPool, TaskFailureIsRaisedByStartNotEscapingTheWorker) {
  // Fault: an exception escaping a task propagated out of the worker
  // thread's function, which ends the whole process (std::terminate) instead
  // of reaching the caller.
  for (const FailureCase& c : kFailureCases) {
    SCOPED_TRACE(c.name);
    std::atomic<int32_t> runs{0};
    thread_pool pool;
    for (int32_t i = 0; i < 500; ++i) {
      pool.submit([&runs, i, &c] {
        runs.fetch_add(1);
        if (i == 100) ThrowAs(c.kind);
      });
    }
    ExpectFailure(pool, 4, c.kind);
    EXPECT_GE(runs.load(), 101);
    EXPECT_LE(runs.load(), 500);
    EXPECT_TRUE(pool.poll_done());
  }
}

TEST(ThreadPool, EveryTaskFailingRaisesOneFailureAndEndsAllWorkers) {
  for (const FailureCase& c : kFailureCases) {
    SCOPED_TRACE(c.name);
    thread_pool pool;
    for (int32_t i = 0; i < 300; ++i) {
      pool.submit([&c] { ThrowAs(c.kind); });
    }
    ExpectFailure(pool, 8, c.kind);
  }
}

TEST(ThreadPool, FailureStopsTheRemainingTasks) {
  // With one worker the queue order is fixed: the tasks behind the failing
  // one are never started.
  std::vector<int32_t> ran;
  thread_pool pool;
  for (int32_t i = 0; i < 10; ++i) {
    pool.submit([&ran, i] {
      ran.push_back(i);
      if (i == 3) ThrowAs(Throw::kKmException);
    });
  }
  ExpectFailure(pool, 1, Throw::kKmException);
  EXPECT_EQ(ran, (std::vector<int32_t>{0, 1, 2, 3}));
}

TEST(ThreadPool, TaskResultIsDropped) {
  auto shared = std::make_shared<int32_t>(0);
  thread_pool pool;
  pool.submit([shared] {
    *shared = 7;
    return 1.5;  // a task's result is ignored
  });
  pool.start(2);
  EXPECT_EQ(*shared, 7);
}

TEST(TaskQueue, PopsInPushOrderAndReportsEmpty) {
  task_queue queue;
  std::vector<int32_t> seen;
  for (int32_t i = 0; i < 3; ++i) queue.push([&seen, i] { seen.push_back(i); });
  EXPECT_EQ(queue.size(), 3u);
  task_queue::task t;
  while (queue.try_pop(t)) t();
  EXPECT_EQ(seen, (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(queue.size(), 0u);
  EXPECT_FALSE(queue.try_pop(t));
}

}  // namespace
