// The console report of a failed calculation.
#include <gtest/gtest.h>

#include <string>

#include "driver/CreateSession.h"
#include "driver/KmRun.h"
#include "foundation/KmException.h"

namespace {

TEST(ReportCalculationFailure, PrintsTheMessageAndEndsOnlyAFailedFit) {
  const struct {
    const char* sMessage;
    int iStatus;  // -1: the failure goes on to the error file
  } cases[] = {{"ERROR 1 in BestKMRegModel::fit_BestKMRegModel", 1},
               {"Error: SSE < 0.", -1},
               {"ERROR 1 in BestKMRegModel::fit_BestKMRegModel.", -1}};
  for (const auto& c : cases) {
    testing::internal::CaptureStdout();
    int iStatus = -1;
    try {
      ReportCalculationFailure(KmException(c.sMessage, "BestKMRegModel"));
    } catch (const KmRunExit& exit) {
      iStatus = exit.iStatus;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string(c.sMessage) + "\n");
    EXPECT_EQ(iStatus, c.iStatus) << c.sMessage;
  }
}

}  // namespace
