// The output-options block of the run summary.
#include <gtest/gtest.h>

#include <string>

#include "reports/kmRunSummary.h"
#include "session/DataExportOptions.h"
#include "session/OutputDisplayOptions.h"
#include "session/kmSession.h"
#include "tests/test_util/TestUtil.h"

namespace {

// The block written for the given codes, all switches on.
std::string Block(int iMissing, kmIntervalMethod method, int iModels) {
  km_test::ScratchDir dir;
  const std::string path = dir.File("summary.txt");
  km_test::WriteAll(path, "head");
  DataExportOptions options;
  options.iModels = iModels;
  options.iMissingCharacter = iMissing;
  options.iFieldDelimiter = DataExportOptions::kFieldTab;
  options.bRemoveBestFitFlags = false;
  options.bOutputByGroupHeaders = true;
  options.bAllModelsInSameColumn = false;
  WriteParametersText(path.c_str(), OutputDisplayOptions(), options, true, true,
                      true, true, true, method, "\n");
  return km_test::ReadAll(path);
}

TEST(WriteParametersText, AppendsTheOutputOptionsAndTheReports) {
  EXPECT_EQ(Block(0, kmIntervalMethod::kParametric, 1),
            "head\n--------------\nOutput Options\n--------------\n"
            "X Value Precision = 0\nY Value Precision = 2\n"
            "Squared Error Precision = 5\nEstimated Kinkmarks Precision = 0\n"
            "Regression Coefficients Precision = 6\nP-Value Precision = 7\n"
            "Segment Ranges Precision = 0\nAPC Precision = 1\n"
            "AAPC Precision = 1\nAAPC CI Method = Parametric\n"
            "Covariance Matrix Precision = 6\n"
            "Correlation Matrix Precision = 6\n"
            "Display AAPC Full Range = false\n"
            "Export All Models in Same Column = false\n"
            "Remove Kinkmark Flags = true\nRemove Best Model Flags = false\n"
            "Output Variable Names Before Each By-Group = true\n"
            "Output By-Variables As = Labels Without Quotes\n"
            "Line Delimiter = UNIX\nField Delimiter = Tab\n"
            "Export Models = Best Fit Only\nMissing Characters = Space\n"
            "Export Type = Table\n\n----------------\nReports Exported\n"
            "----------------\nReport\nData\nAPC\nAAPC\nF-Test");
}

TEST(WriteParametersText, CodesWithoutANameLeaveTheirLineOut) {
  const struct {
    int iMissing;
    kmIntervalMethod method;
    int iModels;
    const char* sPresent;
    const char* sAbsent;
  } cases[] = {
      {2, kmIntervalMethod::kParametric, 0, "Export Models = All Models",
       "Missing Characters = "},
      {1, kmIntervalMethod::kEmpiricalQuantile, 5,
       "AAPC CI Method = Emperical Quantile\n", "Export Models = "},
      // A code no method has, as a damaged file may give.
      {1, static_cast<kmIntervalMethod>(9), 0, "AAPC CI Method = \n",
       "AAPC CI Method = P"},
  };
  for (const auto& c : cases) {
    const std::string sBlock = Block(c.iMissing, c.method, c.iModels);
    EXPECT_NE(sBlock.find(c.sPresent), std::string::npos) << c.sPresent;
    EXPECT_EQ(sBlock.find(c.sAbsent), std::string::npos) << c.sAbsent;
  }
}

}  // namespace
