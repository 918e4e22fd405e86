// Shared setup of the whole-run tests and benchmarks of the calculation
// control: a generated data file of many cohorts, a session that fits them
// by grid search with permutation tests, and a run of kmCalculationHandler
// over it.
#ifndef KM_TESTS_ENGINE_RUNFIXTURE_H
#define KM_TESTS_ENGINE_RUNFIXTURE_H

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/kmCalculationHandler.h"
#include "foundation/kmRunProgressTrackers.h"
#include "session/kmSession.h"
#include "tests/test_util/TestSession.h"

namespace run_test {

// What the generated data set holds.
struct DataSpec {
  int iCohorts = 20;
  int iYears = 12;
  // Cohort c bends (c mod iKinkCycle) times, so the cohorts need 0 .. 3
  // kinkmarks.
  int iKinkCycle = 4;
};

// The data file: Group, Year, Rate; cohort c (value c + 1) holds iYears
// years from 1990 with a positive rate that bends (c mod iKinkCycle) times
// and carries a small deterministic wobble.
inline std::string MakeData(const DataSpec& spec) {
  std::string sText;
  uint32_t state = 12345u;
  char sLine[96];
  for (int c = 0; c < spec.iCohorts; ++c) {
    const int iKinks = c % spec.iKinkCycle;
    double y = 10.0 + c % 7;
    double slope = 0.4;
    for (int t = 0; t < spec.iYears; ++t) {
      // A bend every iYears / (iKinks + 1) years reverses the slope.
      if (iKinks > 0 && t > 0 && t % (spec.iYears / (iKinks + 1)) == 0) {
        slope = -slope * 1.5;
      }
      state = state * 1103515245u + 12345u;
      const double wobble = ((state >> 16) % 1000) / 1000.0 * 0.3;
      y += slope;
      std::snprintf(sLine, sizeof sLine, "%d,%d,%.4f\n", c + 1, 1990 + t,
                    std::fabs(y) + 1.0 + wobble);
      sText += sLine;
    }
  }
  return sText;
}

// A session over sDataFile as the driver prepares it: Group is the
// by-variable (with a format naming every cohort), Year the independent
// variable, Rate the response; grid search with permutation tests for 0 to
// iMaxKinkmarks kinkmarks on a log-linear model, iThreads workers.
inline std::unique_ptr<kmSession> MakeSession(const std::string& sDataFile,
                                              const DataSpec& spec,
                                              int iPermutations,
                                              int16_t iThreads,
                                              int iMaxKinkmarks = 3) {
  auto pSession = std::make_unique<kmSession>();
  std::vector<std::string> vGroups;
  for (int c = 0; c < spec.iCohorts; ++c) {
    vGroups.push_back("Group " + std::to_string(c + 1));
  }
  const KmFormat groups = km_test::LabelFormat(vGroups);
  km_test::AddVariables(*pSession, {{"Group", km_test::kNoRole, true, &groups},
                                    {"Year", kmVarIndependent},
                                    {"Rate", kmVarDependent}});
  km_test::SetCommaDelimitedData(*pSession, sDataFile);
  pSession->SetInt(kmOptHetErrorModel, 0);
  pSession->SetBool(kmOptLogLinear, true);
  pSession->SetInt(kmOptMethod, 0);
  pSession->SetInt(kmOptModelSelection, 0);
  pSession->SetInt(kmOptMinKinkmarks, 0);
  pSession->SetInt(kmOptMaxKinkmarks, iMaxKinkmarks);
  pSession->SetInt(kmOptMinObsEnd, 2);
  pSession->SetInt(kmOptMinObsBetween, 2);
  pSession->SetInt(kmOptGridPointsBetween, 0);
  pSession->SetInt(kmOptAutocorrErrors, 0);
  pSession->SetInt(kmOptNumPermutations, iPermutations);
  pSession->SetDouble(kmOptPermSignificance, 0.05);
  pSession->SetInt(kmOptPermutationSeed, 7);
  for (int c = 0; c < spec.iCohorts; ++c) {
    pSession->AddObservationCount(spec.iYears);
  }
  pSession->SetNumCores(iThreads);
  return pSession;
}

// One run: a handler on the session, verified, executed into sOutFile with
// a tracker sized as the driver sizes it.
struct Run {
  explicit Run(std::unique_ptr<kmSession> pNewSession)
      : pSession(std::move(pNewSession)), handler(pSession.get()) {
    handler.Verify(false);
    pTracker =
        std::make_unique<kmMultiProgressTracker>(handler.GetNumByGroups());
  }
  bool Execute(const std::string& sOutFile) {
    return handler.ExecuteThreaded(sOutFile.c_str(), pTracker.get());
  }

  std::unique_ptr<kmSession> pSession;
  kmCalculationHandler handler;
  std::unique_ptr<kmMultiProgressTracker> pTracker;
};

}  // namespace run_test

#endif  // KM_TESTS_ENGINE_RUNFIXTURE_H
