// Tests of the pre-read of a run: the observation scan that shares its pass
// over the data file finds what the scan's own pass finds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/kmCohortPreRead.h"
#include "session/kmSession.h"
#include "tests/data/PrereadFixtures.h"
#include "tests/test_util/TestUtil.h"

namespace {

using preread_test::MakeSession;
using preread_test::WriteDataFile;

// The scan's results as one comparable list: the counts, then per record
// its count, cohorts, their indices and maximum kinkmarks, then the
// maximum observations and the varying flag.
std::vector<int> ScanResults(const kmSession& session, bool bVarying) {
  std::vector<int> v(session.GetObservationCounts().begin(),
                     session.GetObservationCounts().end());
  for (const NumOfObs& record : session.GetObservationRecords()) {
    v.push_back(record.iNumObs);
    v.push_back(record.iNumCohorts);
    v.insert(v.end(), record.vCohorts.begin(), record.vCohorts.end());
    v.push_back(record.iMaxKinkmarks);
  }
  v.push_back(session.GetMaxObservations());
  v.push_back(bVarying ? 1 : 0);
  return v;
}

TEST(PreReadCohorts, SharedPassScansAsTheScanOfItsOwn) {
  const struct {
    const char* sWhat;
    std::string sText;
    bool bNames;
    int iHeaderLines;
  } kCases[] = {
      {"cohorts of 3 and 2 with blank lines",
       "1,A,2000,5,100\n\n1,A,2001,6,100\n1,A,2002,6,100\n  \n"
       "2,A,2000,7,100\n2,A,2001,8,100",
       false, 0},
      {"variable names",
       "Sex,Site,Year,Count,Pop\n1,A,2000,5,100\n"
       "1,A,2001,6,100\n2,A,2000,7,100\n2,A,2001,8,100\n",
       true, 0},
      {"a line before every block",
       "x,A,Yr,C,P\n1,A,2000,5,100\n1,A,2001,6,100\nx,A,Yr,C,P\n"
       "2,A,2000,7,100\n",
       false, 1},
  };
  km_test::ScratchDir dir;
  for (const auto& c : kCases) {
    for (bool bGzip : {false, true}) {
      SCOPED_TRACE(std::string(c.sWhat) + (bGzip ? ", gzip" : ", plain"));
      const std::string sPath = WriteDataFile(dir, "data", c.sText, bGzip);
      std::vector<int> results[2];
      for (bool bShared : {true, false}) {
        auto pSession = MakeSession(1, sPath);
        pSession->SetBool(kmOptVarNamesIncluded, c.bNames);
        pSession->SetInt(kmOptHeaderLines, c.iHeaderLines);
        bool bVarying = false;
        // Calculated rates take the pre-read's counts and leave the plain
        // scan to a pass of its own.
        EXPECT_TRUE(PreReadCohorts(*pSession, !bShared, &bVarying));
        if (!bShared) pSession->DetermineMaximumObservations(&bVarying);
        results[bShared ? 0 : 1] = ScanResults(*pSession, bVarying);
      }
      EXPECT_EQ(results[0], results[1]);
    }
  }
}

}  // namespace
