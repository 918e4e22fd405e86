// Several threads report through one progress tree at once, as the cohort
// jobs of a calculation do. Run under ThreadSanitizer (label "concurrency"),
// these tests fail on any unguarded access; they also check the end states.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <set>
#include <thread>
#include <vector>

#include "foundation/KmBackgroundProgressTracker.h"
#include "foundation/kmBackgroundProgressTrackerWithBar.h"
#include "foundation/kmRunProgressTrackers.h"

namespace {

constexpr int kThreads = 6;

// Set on the one thread whose first store into a GatedParent is held back.
thread_local bool tHoldFirstStore = false;

// A parent whose first store on the marked thread waits until it is let go,
// so a test can make another thread compute and store in between.
class GatedParent : public KmBackgroundProgressTracker {
 public:
  void SetPosition(int32_t iPosition) override {
    if (tHoldFirstStore) {
      tHoldFirstStore = false;
      computed.set_value();
      letGo.wait();
    }
    KmBackgroundProgressTracker::SetPosition(iPosition);
  }
  std::promise<void> computed;
  std::shared_future<void> letGo;
};

// Fault: a parent stored the average it had computed after giving its lock
// back, so a thread with an older average could overwrite the newer one
// that another thread had just stored, and the parent kept the stale
// position although no sub moved again.
TEST(ProgressTrackerStress, ConcurrentMovesLeaveTheParentAtTheLatestAverage) {
  GatedParent parent;
  std::promise<void> letGo;
  parent.letGo = letGo.get_future().share();
  std::future<void> computed = parent.computed.get_future();
  KmProgressInterface* pFirst = parent.AcquireSubProgressInterface();
  KmProgressInterface* pSecond = parent.AcquireSubProgressInterface();

  // First: (50 + 0) / 2 = 25 %, held back before it is stored.
  std::thread first([pFirst] {
    tHoldFirstStore = true;
    pFirst->SetPosition(50);
  });
  ASSERT_EQ(computed.wait_for(std::chrono::minutes(1)),
            std::future_status::ready);
  // Second, meanwhile: (50 + 100) / 2 = 75 %, computed and stored.
  std::promise<void> secondDone;
  std::thread second([&] {
    pSecond->SetPosition(100);
    secondDone.set_value();
  });
  // Let the first go even if the second blocks, so the test cannot hang.
  secondDone.get_future().wait_for(std::chrono::minutes(1));
  letGo.set_value();
  first.join();
  second.join();

  EXPECT_EQ(pFirst->GetPosition(), 50);
  EXPECT_EQ(pSecond->GetPosition(), 100);
  EXPECT_EQ(parent.GetPosition(), 75);
}

// Fault: the averaging of sub positions read the list of subs without the
// tracker's lock while other threads acquired and released subs, so it
// could walk a vector being reallocated and read subs being deleted.
TEST(ProgressTrackerStress, TreeSurvivesConcurrentAcquireUpdateRelease) {
  constexpr int kRounds = 300;
  KmBackgroundProgressTracker root;
  root.SetSubrange(10, 90);
  // A long-lived sub keeps the list above one entry most of the time, so
  // the averaging path runs, not only the single-sub mapping.
  KmProgressInterface* pAnchor = root.AcquireSubProgressInterface();
  pAnchor->SetPosition(50);

  std::atomic<bool> bDone(false);
  std::thread reader([&] {
    int32_t iSeen = 0;
    while (!bDone.load()) {
      iSeen += root.GetPercent() + root.GetNumSubProgressInterfaces();
      EXPECT_GE(root.GetPosition(), 10);
      EXPECT_LE(root.GetPosition(), 90);
      std::this_thread::yield();
    }
    (void)iSeen;
  });

  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&root, t] {
      for (int round = 0; round < kRounds; ++round) {
        KmProgressInterface* pSub = root.AcquireSubProgressInterface();
        KmProgressInterface* pLeaf = pSub->AcquireSubProgressInterface();
        for (int k = 0; k <= 10; ++k) {
          pLeaf->SetPosition((k * 10 + t) % 101);
          pSub->StepIt();
          if (k % 5 == 0) pSub->SetPercent(static_cast<int16_t>(k * 10));
        }
        pSub->ReleaseSubProgressInterface(pLeaf);
        root.ReleaseSubProgressInterface(pSub);
      }
    });
  }
  for (std::thread& w : workers) w.join();
  bDone.store(true);
  reader.join();

  EXPECT_EQ(root.GetNumSubProgressInterfaces(), 1);
  EXPECT_EQ(root.GetSubProgressInterface(0), pAnchor);
  pAnchor->SetPosition(100);  // The only sub again: mapped, not averaged.
  EXPECT_EQ(root.GetPosition(), 90);
}

// Faults: the run's cancel flag was a plain bool written by a failing job
// and read by all others; the multi-cohort tracker created its subs and
// remembered the latest one without a lock and did not keep them (they were
// orphaned); the top-level position and process text were written by every
// job without a lock.
TEST(ProgressTrackerStress, JobsStepTheRunAndObserveTheCancelFlag) {
  constexpr int kByGroups = 8;
  // Jobs run until they see the flag; the cap only guards against a hang.
  constexpr int kMaxRounds = 1000000;
  kmMultiProgressTracker run(kByGroups);
  run.SetRange(0, 2000000000);
  run.SetPosition(0);

  std::atomic<int> iFinishedJobs(0);
  std::vector<std::vector<KmProgressInterface*>> acquired(kThreads);
  std::vector<char> sawCancel(kThreads, 0);  // One byte per thread.
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      for (int round = 0; round < kMaxRounds; ++round) {
        kmBackgroundProgressTrackerWithBar* pGroup =
            run.GetByGroupSubProgressInterface((t + round) % kByGroups);
        KmProgressInterface* pSub = run.AcquireSubProgressInterface();
        acquired[t].push_back(pSub);
        auto* pBar = dynamic_cast<kmBackgroundProgressTrackerWithBar*>(pSub);
        if (pBar->GetCancelFlag() || !pGroup->CanContinue()) {
          run.SetProcessText("Canceling...");
          sawCancel[t] = 1;
          return;
        }
        pGroup->SetRunningFlag(true);
        pGroup->SetPosition(1);
        pGroup->StepIt();
        pBar->StepBy(3);
        pBar->SetProcessText("fitting");
        pGroup->SetPosition(100);
        pGroup->SetRunningFlag(false);
        run.StepBy(1000);
        iFinishedJobs.fetch_add(1);
      }
    });
  }
  std::thread canceller([&] {
    while (iFinishedJobs.load() < 3000) std::this_thread::yield();
    run.SetCancelFlag(true);
  });
  for (std::thread& w : workers) w.join();
  canceller.join();

  for (int t = 0; t < kThreads; ++t) {
    SCOPED_TRACE(t);
    EXPECT_EQ(sawCancel[t], 1);
  }
  EXPECT_TRUE(run.IsCancelled());
  // Every step landed: one atomic 1000 per finished job.
  EXPECT_EQ(run.GetPosition(), 1000 * iFinishedJobs.load());

  // Each acquire gave a distinct sub, and every one is still alive and
  // sees the flag (the tracker frees them at its end; ASan checks leaks).
  std::set<KmProgressInterface*> distinct;
  size_t iTotal = 0;
  for (const auto& v : acquired) {
    iTotal += v.size();
    distinct.insert(v.begin(), v.end());
  }
  EXPECT_EQ(distinct.size(), iTotal);
  for (KmProgressInterface* p : distinct) {
    EXPECT_TRUE(
        dynamic_cast<kmBackgroundProgressTrackerWithBar*>(p)->GetCancelFlag());
  }
  for (int32_t i = 0; i < kByGroups; ++i) {
    EXPECT_FALSE(run.GetByGroupSubProgressInterface(i)->GetRunningFlag());
  }
}

}  // namespace
