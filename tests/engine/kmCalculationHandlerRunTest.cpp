// Whole runs of the calculation control: every cohort fitted on the pool,
// written in cohort order, read back; failures of any type in one cohort
// stopping the run without a hang; cancellation; the writer's order and the
// result map.
#include <gtest/gtest.h>
#include <newmat.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/kmCalculationHandler.h"
#include "engine/kmCalculator.h"
#include "engine/kmFinishedResults.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/KmProgressInterface.h"
#include "results/kmCalcData.h"
#include "results/kmCalcHandler.h"
#include "tests/engine/RunFixture.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using run_test::DataSpec;
using run_test::MakeData;
using run_test::MakeSession;

// A run over spec's data with iThreads workers, its files in dir.
std::unique_ptr<run_test::Run> MakeRun(const km_test::ScratchDir& dir,
                                       const DataSpec& spec, int16_t iThreads,
                                       int iPermutations = 19) {
  const std::string sData = dir.File("data.csv");
  km_test::WriteAll(sData, MakeData(spec));
  return std::make_unique<run_test::Run>(
      MakeSession(sData, spec, iPermutations, iThreads));
}

std::string CohortLabel(const kmCalcData& record) {
  return record.vCohortLabel.empty() ? "" : record.vCohortLabel[0].GetCString();
}

// The bytes of the results file sPath with the two recorded times (start
// and elapsed) of its numeric block set to zero; the block is located by
// the values the reader finds in it.
std::string WithoutRecordedTimes(const std::string& sPath) {
  std::string sFile = km_test::ReadAll(sPath);
  kmCalcHandler reader(sPath.c_str(), nullptr);
  const KmVector<double>& vNumeric = reader.GetNumericData();
  EXPECT_EQ(vNumeric.size(), 4u);
  if (vNumeric.size() != 4u) return sFile;
  std::string sBlock(4 * sizeof(double), '\0');
  for (int i = 0; i < 4; ++i) {
    std::memcpy(&sBlock[i * sizeof(double)], &vNumeric[i], sizeof(double));
  }
  const size_t at = sFile.rfind(sBlock);
  EXPECT_NE(at, std::string::npos);
  if (at != std::string::npos) std::memset(&sFile[at], 0, 2 * sizeof(double));
  return sFile;
}

TEST(kmCalculationHandlerRun, SetupRefusesAMissingSession) {
  const KmException e =
      km_test::CatchKmException([] { kmCalculationHandler handler(nullptr); });
  EXPECT_STREQ(e.GetMessage(), "Session does not exist - invalid pointer.");
  EXPECT_NE(std::string(e.GetCallPath()).find("kmCalculationHandler()"),
            std::string::npos);
}

TEST(kmCalculationHandlerRun, FinishedRunReadsBackInCohortOrder) {
  km_test::ScratchDir dir;
  DataSpec spec;
  spec.iCohorts = 9;
  auto pRun = MakeRun(dir, spec, 4);
  const std::string sOut = dir.File("out.kmo");
  ASSERT_TRUE(pRun->Execute(sOut));

  kmCalcHandler reader(sOut.c_str(), nullptr);
  ASSERT_EQ(reader.GetNumCohortRecords(), spec.iCohorts);
  for (int c = 0; c < spec.iCohorts; ++c) {
    SCOPED_TRACE(c);
    const kmCalcData& record = reader.GetCalcData(c);
    EXPECT_EQ(CohortLabel(record), "Group " + std::to_string(c + 1));
    EXPECT_TRUE(record.bValid);
    EXPECT_EQ(record.vModels.size(), 4u);
    // The final model sizes follow the records.
    EXPECT_EQ(pRun->handler.GetFinalModelSizes()(c + 1),
              static_cast<double>(record.uFinalSelectedModel));
  }
}

// Fault: the flag that a cohort's zero counts were read as 0.5 was computed
// and dropped, so the results file never held it.
TEST(kmCalculationHandlerRun, ResultsKeepWhichCohortsHadZeroCountsAdjusted) {
  km_test::ScratchDir dir;
  DataSpec spec;
  spec.iCohorts = 2;
  std::string sData = MakeData(spec);
  // The second cohort's first rate becomes a zero count.
  const size_t at = sData.find("\n", sData.find("2,1990,"));
  sData.replace(sData.rfind(',', at) + 1, at - sData.rfind(',', at) - 1, "0");
  km_test::WriteAll(dir.File("data.csv"), sData);
  auto pSession = MakeSession(dir.File("data.csv"), spec, 19, 2);
  pSession->SetInt(kmOptDependentType, 0);
  run_test::Run run(std::move(pSession));
  const std::string sOut = dir.File("out.kmo");
  ASSERT_TRUE(run.Execute(sOut));
  kmCalcHandler reader(sOut.c_str(), nullptr);
  EXPECT_FALSE(reader.GetCalcData(0).bCohortData);
  EXPECT_TRUE(reader.GetCalcData(1).bCohortData);
}

TEST(kmCalculationHandlerRun, OneAndEightThreadsWriteTheSameFile) {
  // The records, their order and every figure are the same whatever the
  // number of workers; only the recorded start and elapsed times differ.
  km_test::ScratchDir dir;
  DataSpec spec;
  spec.iCohorts = 24;
  std::vector<std::string> files;
  km_test::WriteAll(dir.File("data.csv"), MakeData(spec));
  for (int16_t iThreads : {1, 8}) {
    // Resampled intervals seeded per cohort: a cohort's seed must follow
    // the cohort, not the worker or task that happened to fit it.
    auto pSession = MakeSession(dir.File("data.csv"), spec, 49, iThreads);
    pSession->SetInt(kmOptAAPCCIMethod, 3);
    pSession->SetInt(kmOptNumResamples, 50);
    pSession->SetInt(kmOptEmpQuantileSeedType, 1);
    pSession->SetInt(kmOptEmpQuantileSeed, 11);
    auto pRun = std::make_unique<run_test::Run>(std::move(pSession));
    const std::string sOut =
        dir.File("out" + std::to_string(iThreads) + ".kmo");
    ASSERT_TRUE(pRun->Execute(sOut));
    files.push_back(WithoutRecordedTimes(sOut));
  }
  EXPECT_EQ(files[0].size(), files[1].size());
  EXPECT_TRUE(files[0] == files[1]);
}

// The ways a cohort's fit may fail, each of which must stop the run.
struct FailureCase {
  const char* sName;
  void (*raise)();
  const char* sExpectedMessage;
};

const FailureCase kFailures[] = {
    {"KmException", [] { throw KmException("bad cohort", "test"); },
     "bad cohort"},
    {"runtime_error", [] { throw std::runtime_error("worker broke"); },
     "worker broke"},
    {"empty message", [] { throw KmException("", "test"); }, ""},
    {"foreign type", [] { throw 42; }, "Unknown exception in a cohort task"},
};

TEST(kmCalculationHandlerRun, FailureInOneCohortStopsTheRun) {
  // Faults: a failure with an empty message was taken for no failure, and
  // a failure of another type than KmException ended the process; both
  // must stop the run and reach the caller once every thread has ended.
  for (const FailureCase& c : kFailures) {
    SCOPED_TRACE(c.sName);
    km_test::ScratchDir dir;
    DataSpec spec;
    spec.iCohorts = 24;
    auto pRun = MakeRun(dir, spec, 4);
    std::atomic<int> fitted{0};
    pRun->handler.SetCohortFit([&](kmCalculator& calc, kmCalcData* pRecord,
                                   kmBackgroundProgressTrackerWithBar* pSub,
                                   int iCohort) {
      if (iCohort == 5) c.raise();
      ++fitted;
      // Slow enough that the failure is seen long before the last cohort.
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      calc.SelMod(pRecord, pSub, iCohort, iCohort);
    });
    const std::string sOut = dir.File("out.kmo");
    // The writer stops at the cancel flag instead of waiting for the
    // failed cohort's record.
    KmException e("", "");
    km_test::EndsWithinAMinute("The failed run", [&] {
      e = km_test::CatchKmException([&] { pRun->Execute(sOut); });
    });
    EXPECT_STREQ(e.GetMessage(), c.sExpectedMessage);
    EXPECT_NE(std::string(e.GetCallPath()).find("ExecuteThreaded()"),
              std::string::npos);
    EXPECT_NE(std::string(e.GetCallPath()).find("kmCalculator"),
              std::string::npos);
    EXPECT_TRUE(pRun->pTracker->IsCancelled());
    // The other workers stopped: the five cohorts before the failing one
    // and those already in hand on the three other workers, not all 23.
    EXPECT_LT(fitted.load(), 16);
    // The file of a failed run has no offsets: it does not read back.
    EXPECT_THROW(kmCalcHandler(sOut.c_str(), nullptr), KmException);
  }
}

TEST(kmCalculationHandlerRun, TheFirstFailedCohortInFileOrderIsTheRunsFailure) {
  // Fault: the failure first in time was the run's, so the cohort named
  // depended on the workers. Cohort 1 fails only once cohort 4 has failed
  // on another worker: the run still reports cohort 1's failure.
  for (int iWorkers : {1, 2, 4}) {
    SCOPED_TRACE(iWorkers);
    km_test::ScratchDir dir;
    DataSpec spec;
    spec.iCohorts = 8;
    auto pRun = MakeRun(dir, spec, static_cast<int16_t>(iWorkers));
    std::atomic<bool> bLaterFailed{false};
    pRun->handler.SetCohortFit([&](kmCalculator& calc, kmCalcData* pRecord,
                                   kmBackgroundProgressTrackerWithBar* pSub,
                                   int iCohort) {
      if (iCohort == 4) bLaterFailed = true;
      for (int i = 0; iCohort == 1 && iWorkers > 1 && i < 1000; ++i) {
        if (bLaterFailed) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      if (iCohort == 1 || iCohort == 4) {
        throw KmException(iCohort == 1 ? "cohort 1" : "cohort 4", "test");
      }
      calc.SelMod(pRecord, pSub, iCohort, iCohort);
    });
    const KmException e =
        km_test::CatchKmException([&] { pRun->Execute(dir.File("out.kmo")); });
    EXPECT_STREQ(e.GetMessage(), "cohort 1");
  }
}

TEST(kmCalculationHandlerRun, DataErrorInOneCohortReachesTheCaller) {
  // Cohort 3's years run backwards: its preparation raises the sorting
  // error, which carries the whole call path.
  km_test::ScratchDir dir;
  DataSpec spec;
  spec.iCohorts = 6;
  std::string sData = MakeData(spec);
  const std::string sLast = "4,2001,";
  const size_t at = sData.find(sLast);
  ASSERT_NE(at, std::string::npos);
  sData.replace(at, sLast.size(), "4,1989,");
  km_test::WriteAll(dir.File("data.csv"), sData);
  run_test::Run run(MakeSession(dir.File("data.csv"), spec, 19, 3));
  const KmException e =
      km_test::CatchKmException([&] { run.Execute(dir.File("out.kmo")); });
  EXPECT_NE(std::string(e.GetMessage()).find("not being sorted"),
            std::string::npos);
  const std::string sPath = e.GetCallPath();
  EXPECT_NE(sPath.find("ProcessCohortRecords()"), std::string::npos);
  EXPECT_NE(sPath.find("ReadCohortData"), std::string::npos);
  EXPECT_NE(sPath.find("ExecuteThreaded()"), std::string::npos);
}

TEST(kmCalculationHandlerRun, CancelledRunIsReportedAsCancelled) {
  // A run cancelled while its cohorts are fitted returns false and leaves
  // no finished results file behind.
  km_test::ScratchDir dir;
  DataSpec spec;
  spec.iCohorts = 8;
  auto pRun = MakeRun(dir, spec, 2);
  pRun->handler.SetCohortFit([&](kmCalculator& calc, kmCalcData* pRecord,
                                 kmBackgroundProgressTrackerWithBar* pSub,
                                 int iCohort) {
    if (iCohort == 2) pRun->pTracker->SetCancelFlag(true);
    calc.SelMod(pRecord, pSub, iCohort, iCohort);
  });
  const std::string sOut = dir.File("out.kmo");
  EXPECT_FALSE(pRun->Execute(sOut));
  EXPECT_THROW(kmCalcHandler(sOut.c_str(), nullptr), KmException);
}

// Pairwise comparisons used to be refused before the run; a run with them
// now writes one comparison record per pair after the cohort records, and
// the file reads back whole.
TEST(kmCalculationHandlerRun, PairwiseRunWritesEveryComparisonAndReadsBack) {
  km_test::ScratchDir dir;
  DataSpec spec;
  spec.iCohorts = 3;
  km_test::WriteAll(dir.File("data.csv"), MakeData(spec));
  auto pSession = MakeSession(dir.File("data.csv"), spec, 19, 2);
  pSession->SetInt(kmOptComparisonType, 1);
  pSession->SetInt(kmOptPairwisePermutations, 19);
  run_test::Run run(std::move(pSession));
  const std::string sOut = dir.File("out.kmo");
  ASSERT_TRUE(run.Execute(sOut));

  kmCalcHandler reader(sOut.c_str(), nullptr);
  ASSERT_EQ(reader.GetNumCohortRecords(), 3);
  ASSERT_EQ(reader.GetNumComparisonRecords(), 3);
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    const kmCalcData& record = reader.GetCalcData(3 + k);
    EXPECT_TRUE(record.bComparison);
    EXPECT_TRUE(record.bValid);
    EXPECT_EQ(record.vCohortLabel.size(), 2u);
    EXPECT_EQ(record.vModels.size(), 4u);
    ASSERT_FALSE(record.vFTests.empty());
    EXPECT_EQ(record.vFTests.back().lNumPermutations, 20);
  }
}

TEST(kmCalculationHandlerRun, HudsonsMethodRunsOnThePool) {
  // kmOptMethod 1 fits each cohort by Hudson's method; its records read
  // back in cohort order and do not depend on the number of workers.
  km_test::ScratchDir dir;
  DataSpec spec;
  spec.iCohorts = 8;
  km_test::WriteAll(dir.File("data.csv"), MakeData(spec));
  std::vector<std::string> files;
  for (int16_t iThreads : {1, 4}) {
    auto pSession = MakeSession(dir.File("data.csv"), spec, 19, iThreads, 2);
    pSession->SetInt(kmOptMethod, 1);
    pSession->SetInt(kmOptEarlyStopping, 2);
    run_test::Run run(std::move(pSession));
    const std::string sOut =
        dir.File("hudson" + std::to_string(iThreads) + ".kmo");
    ASSERT_TRUE(run.Execute(sOut));
    kmCalcHandler reader(sOut.c_str(), nullptr);
    ASSERT_EQ(reader.GetNumCohortRecords(), spec.iCohorts);
    for (int c = 0; c < spec.iCohorts; ++c) {
      SCOPED_TRACE(c);
      const kmCalcData& record = reader.GetCalcData(c);
      EXPECT_EQ(CohortLabel(record), "Group " + std::to_string(c + 1));
      EXPECT_EQ(record.vModels.size(), 3u);
    }
    files.push_back(WithoutRecordedTimes(sOut));
  }
  EXPECT_TRUE(files[0] == files[1]);
}

TEST(kmCalculationHandlerRun, TrackerMustHoldOneEntryPerCohort) {
  km_test::ScratchDir dir;
  DataSpec spec;
  spec.iCohorts = 2;
  auto pRun = MakeRun(dir, spec, 1);
  KmNullProgress plain;
  const KmException e = km_test::CatchKmException([&] {
    pRun->handler.ExecuteThreaded(dir.File("o.kmo").c_str(), &plain);
  });
  EXPECT_NE(std::string(e.GetMessage()).find("progress tracker"),
            std::string::npos);
}

// ---- The result map and the writer's order --------------------------------

TEST(kmFinishedResults, RecordsFinishingOutOfOrderAreWrittenInOrder) {
  kmFinishedResults results(3);
  std::vector<int> written;
  std::vector<std::string> attached;
  std::thread writer([&] {
    WriteFinishedResultsInOrder(
        results, [] { return false; },
        [&](const kmCalcData& record, const std::string& sAttached) {
          written.push_back(static_cast<int>(record.uFinalSelectedModel));
          attached.push_back(sAttached);
        },
        std::chrono::milliseconds(5));
  });
  for (int i : {2, 0, 1}) {
    auto pRecord = std::make_unique<kmCalcData>();
    pRecord->uFinalSelectedModel = static_cast<uint16_t>(i);
    results.StoreFinishedResult(i, std::move(pRecord), std::to_string(i));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  writer.join();
  EXPECT_EQ(written, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(attached, (std::vector<std::string>{"0", "1", "2"}));
  EXPECT_EQ(results.Size(), 0u);
}

TEST(kmFinishedResults, WriterNeverWaitsForeverOnAMissingRecord) {
  // Fault: the writer looked for a missing record every 500 ms forever;
  // once the pool has ended it raises instead.
  kmFinishedResults results(3);
  results.StoreFinishedResult(0, std::make_unique<kmCalcData>());
  results.StoreFinishedResult(2, std::make_unique<kmCalcData>());
  results.Close();
  int iWritten = 0;
  const KmException e = km_test::CatchKmException([&] {
    WriteFinishedResultsInOrder(
        results, [] { return false; },
        [&](const kmCalcData&, const std::string&) { ++iWritten; });
  });
  EXPECT_STREQ(e.GetMessage(), "The result record of cohort 1 is missing.");
  EXPECT_EQ(iWritten, 1);
}

TEST(kmFinishedResults, IndicesOutsideTheRunAreRefused) {
  // Fault: a record under an index outside 0 .. N-1 was stored and never
  // written, leaving the writer waiting for the record it expected.
  kmFinishedResults results(2);
  for (int i : {-1, 2}) {
    SCOPED_TRACE(i);
    const KmException e = km_test::CatchKmException([&] {
      results.StoreFinishedResult(i, std::make_unique<kmCalcData>());
    });
    EXPECT_NE(std::string(e.GetMessage()).find("outside the run's cohorts"),
              std::string::npos);
  }
  results.StoreFinishedResult(1, std::make_unique<kmCalcData>());
  EXPECT_NE(results.FindFinishedResult(1), nullptr);
  EXPECT_THROW(results.StoreFinishedResult(1, std::make_unique<kmCalcData>()),
               KmException);
  EXPECT_EQ(results.FindFinishedResult(0), nullptr);
}

// ---- Matrix errors on the workers ------------------------------------------

// The text of the matrix library's error for inverting a singular matrix,
// raised and caught on the calling thread.
std::string SingularInverseError() {
  try {
    NEWMAT::Matrix m(3, 3);
    m = 1.0;
    NEWMAT::Matrix inverse = m.i();
  } catch (NEWMAT::BaseException&) {
    return CopyMatrixErrorText();
  }
  return "";
}

TEST(kmCalculationHandlerMatrixErrors, ErrorsOnSomeWorkersLeaveOthersIntact) {
  // The library keeps its trace list and error text per thread: workers
  // raising matrix errors while others fit neither race (the
  // ThreadSanitizer pass runs this) nor garble each other's texts.
  const std::string sExpected = SingularInverseError();
  ASSERT_NE(sExpected.find("singular"), std::string::npos);
  km_test::ScratchDir dir;
  DataSpec spec;
  spec.iCohorts = 40;
  auto pRun = MakeRun(dir, spec, 8);
  std::atomic<int> raised{0};
  std::atomic<int> garbled{0};
  pRun->handler.SetCohortFit([&](kmCalculator& calc, kmCalcData* pRecord,
                                 kmBackgroundProgressTrackerWithBar* pSub,
                                 int iCohort) {
    if (iCohort % 3 == 1) {
      for (int k = 0; k < 20; ++k) {
        if (SingularInverseError() != sExpected) ++garbled;
        ++raised;
      }
    }
    calc.SelMod(pRecord, pSub, iCohort, iCohort);
  });
  const std::string sOut = dir.File("out.kmo");
  ASSERT_TRUE(pRun->Execute(sOut));
  EXPECT_EQ(garbled.load(), 0);
  EXPECT_EQ(raised.load(), 13 * 20);
  kmCalcHandler reader(sOut.c_str(), nullptr);
  EXPECT_EQ(reader.GetNumCohortRecords(), spec.iCohorts);
}

TEST(kmCalculationHandlerMatrixErrors, ErrorLeavingAFitFailsTheRunWithItsText) {
  const std::string sExpected = SingularInverseError();
  km_test::ScratchDir dir;
  DataSpec spec;
  spec.iCohorts = 24;
  auto pRun = MakeRun(dir, spec, 8);
  pRun->handler.SetCohortFit([&](kmCalculator& calc, kmCalcData* pRecord,
                                 kmBackgroundProgressTrackerWithBar* pSub,
                                 int iCohort) {
    calc.SelMod(pRecord, pSub, iCohort, iCohort);
    if (iCohort == 9) {
      NEWMAT::Matrix m(3, 3);
      m = 1.0;
      NEWMAT::Matrix inverse = m.i();
    }
  });
  const KmException e =
      km_test::CatchKmException([&] { pRun->Execute(dir.File("out.kmo")); });
  EXPECT_EQ(e.GetMessage(), sExpected);
  EXPECT_NE(std::string(e.GetCallPath()).find("ExecuteThreaded()"),
            std::string::npos);
}

}  // namespace
