// How a failed run ends: the console report and the error file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>

#include "driver/CreateSession.h"
#include "driver/KmDriver.h"
#include "driver/KmRun.h"
#include "foundation/KmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

TEST(ReportCalculationFailure, PrintsTheMessageAndEndsOnlyAFailedFit) {
  // The decision follows the failure's type; the text is only printed,
  // after one "Standard exception" line per report the failure collected
  // in the workers.
  const struct {
    const char* sMessage;
    KmFailure failure;
    int iStatus;  // -1: the failure goes on to the error file
    int iReports;
  } cases[] = {{"ERROR 1 in BestKMRegModel::fit_BestKMRegModel",
                KmFailure::kFitWithoutLocations, 1, 0},
               {"Error: SSE < 0.", KmFailure::kOther, -1, 0},
               {"ERROR 1 in BestKMRegModel::fit_BestKMRegModel",
                KmFailure::kOther, -1, 0},
               {"ERROR 1 in BestKMRegModel::fit_BestKMRegModel.",
                KmFailure::kOther, -1, 0},
               {"Cannot refit.", KmFailure::kOther, -1, 2},
               {"ERROR 1 in BestKMRegModel::fit_BestKMRegModel",
                KmFailure::kFitWithoutLocations, 1, 1}};
  for (const auto& c : cases) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int iStatus = -1;
    KmException e(c.sMessage, "BestKMRegModel");
    e.SetFailure(c.failure);
    e.SetStandardReports(c.iReports);
    try {
      ReportCalculationFailure(e);
    } catch (const KmRunExit& exit) {
      iStatus = exit.iStatus;
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              iStatus == 1 ? "Error: " + std::string(c.sMessage) + "\n" : "");
    std::string sReports;
    for (int i = 0; i < c.iReports; ++i) {
      sReports += "Standard exception: " + std::string(c.sMessage) + "\n";
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              sReports + c.sMessage + "\n");
    // Printed once: the driver's error file path prints no more of them.
    EXPECT_EQ(e.GetStandardReports(), 0);
    EXPECT_EQ(iStatus, c.iStatus) << c.sMessage;
  }
}

// Every failure reaching the command line ends in the error file, whatever
// its type, with status 2; only KmRunExit ends the run with its own status.
// Running out of memory names what the run was doing.
TEST(EndFailedRun, EveryFailureTypeEndsInTheErrorFile) {
  const struct {
    const char* sName;
    std::function<void()> raise;
    const char* sMessage;  // null: no error file
    const char* sSource;
    int iStatus;
  } cases[] = {
      {"KmException", [] { throw KmException("bad input", "CreateSession()"); },
       "bad input", "CreateSession()", 2},
      {"std::exception", [] { throw std::runtime_error("disk gone"); },
       "disk gone", "main", 2},
      {"std::bad_alloc", [] { throw std::bad_alloc(); },
       "Out of memory while fitting the cohorts.", "main", 2},
      {"a worker's bad_alloc",
       [] { throw KmExceptionFromStandard(std::bad_alloc(), "CohortTask()"); },
       "Out of memory while fitting the cohorts.", "CohortTask()", 2},
      // The kind decides, not the text: a message that reads like an
      // allocation failure is passed on as it is.
      {"the text alone", [] { throw KmException("std::bad_alloc", "x()"); },
       "std::bad_alloc", "x()", 2},
      {"foreign type", [] { throw 42; }, "Unknown exception", "main", 2},
      {"run exit", [] { throw KmRunExit{1}; }, nullptr, "", 1},
  };
  char sProgram[] = "kinkmark";
  char sRunFile[] = "run.ini";
  char* argv[] = {sProgram, sRunFile};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sName);
    km_test::ScratchDir dir;
    const std::string sErrorFile = dir.File("run.ErrorFile.txt");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int iStatus = -1;
    try {
      c.raise();
    } catch (...) {
      iStatus = EndFailedRun(KmString(sErrorFile.c_str()), 2, argv,
                             "fitting the cohorts");
    }
    const std::string sErrors = testing::internal::GetCapturedStderr();
    const std::string sConsole = testing::internal::GetCapturedStdout();
    EXPECT_EQ(iStatus, c.iStatus);
    if (c.sMessage == nullptr) {
      EXPECT_EQ(sConsole, "");
      EXPECT_EQ(sErrors, "");
      EXPECT_FALSE(std::filesystem::exists(sErrorFile));
      continue;
    }
    EXPECT_EQ(sConsole, "\n\n" + sErrorFile + "\n\n");
    EXPECT_EQ(sErrors, "Error: " + std::string(c.sMessage) + "\n");
    const std::string sError = km_test::ReadAll(sErrorFile);
    EXPECT_EQ(sError.rfind("Error Message\n" + std::string(32, '-') + "\n" +
                               c.sMessage + "\n\nCall Path",
                           0),
              0u)
        << sError;
    EXPECT_NE(sError.find("Source Module\n" + std::string(32, '-') + "\n" +
                          c.sSource + "\n"),
              std::string::npos);
    EXPECT_NE(sError.find("kinkmark run.ini "), std::string::npos);
  }
}

TEST(EndFailedRun, MessageIsPrintedWhenTheErrorFileCannotBeWritten) {
  km_test::ScratchDir dir;
  const struct {
    const char* sName;  // the error file, in dir
    bool bFilesUsedUp;  // no file can be opened (ulimit -n)
    const char* sReason;
  } kCases[] = {
      {"no such folder/run.ErrorFile.txt", false, "No such file or directory."},
      // Fault: "No such file or directory", for the folder the run could
      // not open, where the reason was the limit on open files.
      {"run.ErrorFile.txt", true, km_test::kOpenFilesUsedUp},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sName);
    const std::string sErrorFile = dir.File(c.sName);
    char sProgram[] = "kinkmark";
    char sRunFile[] = "run.ini";
    char* argv[] = {sProgram, sRunFile};
    testing::internal::CaptureStdout();
    int iStatus = -1;
    const auto fail = [&] {
      try {
        throw KmException("The data file is damaged.", "kmReadData");
      } catch (...) {
        iStatus = EndFailedRun(KmString(sErrorFile.c_str()), 2, argv, "");
      }
    };
    if (c.bFilesUsedUp) {
      km_test::WithOpenFilesUsedUp(fail);
    } else {
      fail();
    }
    const std::string sConsole = testing::internal::GetCapturedStdout();
    EXPECT_EQ(iStatus, 3);
    EXPECT_FALSE(std::filesystem::exists(sErrorFile));
    EXPECT_EQ(sConsole.rfind("\n\n" + sErrorFile + "\n\n", 0), 0u) << sConsole;
    // With the system's reason (fault: nothing after the colon).
    EXPECT_NE(sConsole.find("The error file could not be written: Unable to "
                            "write the file \"" +
                            sErrorFile + "\": " + c.sReason),
              std::string::npos)
        << sConsole;
    EXPECT_NE(sConsole.find("Error Message\n" + std::string(32, '-') +
                            "\nThe data file is damaged."),
              std::string::npos)
        << sConsole;
  }
}

}  // namespace
