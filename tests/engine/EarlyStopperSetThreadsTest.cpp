// The stopping-table cache asked from several threads at once.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "engine/EarlyStopper.h"
#include "engine/EarlyStopperSet.h"

namespace {

TEST(EarlyStopperSetThreads, ConcurrentRequestsShareOneTable) {
  constexpr int kThreads = 8;
  std::vector<const EarlyStopper*> vGot(kThreads, nullptr);
  std::vector<int> vStop(kThreads, 0);
  std::vector<std::thread> vThreads;
  for (int t = 0; t < kThreads; ++t) {
    vThreads.emplace_back([t, &vGot, &vStop] {
      // Half the threads ask for a B-value table, half for a curtailed one.
      const bool bCurtailed = t % 2 == 1;
      vGot[t] = EarlyStopperSet::GetEarlyStopper(0.05, 3, bCurtailed);
      vStop[t] = vGot[t]->CanStop(bCurtailed ? 97 : 14, bCurtailed ? 97 : 14);
    });
  }
  for (std::thread& th : vThreads) th.join();
  for (int t = 2; t < kThreads; ++t) {
    EXPECT_EQ(vGot[t], vGot[t % 2]);
    EXPECT_TRUE(vStop[t]);
  }
  EXPECT_NE(vGot[0], vGot[1]);
}

}  // namespace
