// Tests of the pre-read of a run: the cohorts it cuts are the ones the
// session counts.
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#define KM_TEST_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KM_TEST_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(KM_TEST_ADDRESS_SANITIZER)
#include <sanitizer/allocator_interface.h>
#else
#include <malloc.h>
#endif

#include <algorithm>
#include <string>
#include <vector>

#include "data/kmCohortPreRead.h"
#include "foundation/KmProgressInterface.h"
#include "session/kmSession.h"
#include "tests/data/PrereadFixtures.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using preread_test::MakeSession;
using preread_test::WriteDataFile;

// The session's per-cohort lists after the pre-read, as one comparable
// list: the label count, the counts, then the maximum observations and the
// per-cohort maximum flag.
std::vector<int> CohortLists(const kmSession& session) {
  std::vector<int> v{session.GetNumCohorts()};
  v.insert(v.end(), session.GetObservationCounts().begin(),
           session.GetObservationCounts().end());
  v.push_back(session.GetMaxObservations());
  v.push_back(session.GetBool(kmOptPerCohortMaxKinkmarks) ? 1 : 0);
  return v;
}

// Leaves the session without variables, the data file at sPath.
void DropVariables(kmSession& session, const std::string& sPath) {
  session.Clear();
  km_test::SetCommaDelimitedData(session, sPath);
}

// Every run counts the cohorts the pre-read cuts, whatever its dependent
// variable: a cohort goes on while its by-group key does (a repeated year
// is the verification's to refuse), and a block whose every year the
// format leaves out is no cohort, as the verification finds none there.
TEST(PreReadCohorts, EveryRunCountsTheCohortsThePreReadCuts) {
  const struct {
    const char* sWhat;
    std::string sText;
    bool bNames;
    int iHeaderLines;
    std::vector<int> vExpected;
    const char* sError = nullptr;  // the refusal, in place of vExpected
    // Further settings; a row that has them reads its plain file only.
    void (*pSetUp)(kmSession&, const std::string& sPath) = nullptr;
  } kCases[] = {
      {"cohorts of 3 and 2 with blank lines",
       "1,A,2000,5,100\n\n1,A,2001,6,100\n1,A,2002,6,100\n  \n"
       "2,A,2000,7,100\n2,A,2001,8,100",
       false,
       0,
       {2, 3, 2, 3, 1}},
      {"variable names",
       "Sex,Site,Year,Count,Pop\n1,A,2000,5,100\n"
       "1,A,2001,6,100\n2,A,2000,7,100\n2,A,2001,8,100\n",
       true,
       0,
       {2, 2, 2, 2, 0}},
      {"a line before every block",
       "x,A,Yr,C,P\n1,A,2000,5,100\n1,A,2001,6,100\nx,A,Yr,C,P\n"
       "2,A,2000,7,100\n",
       false,
       1,
       {2, 2, 1, 2, 1}},
      {"a repeated year",
       "1,A,2000,5,100\n1,A,2001,6,100\n1,A,2001,6,100\n2,A,2000,7,100\n"
       "2,A,2001,8,100\n2,A,2002,8,100\n",
       false,
       0,
       {2, 3, 3, 3, 0}},
      {"a block of years left out",
       "1,A,2000,5,100\n1,A,2001,6,100\n2,A,1999,7,100\n2,A,1999,7,100\n"
       "2,B,2000,7,100\n2,B,2001,8,100\n",
       false,
       0,
       {2, 2, 2, 2, 0}},
      {"blank lines before the variable names",
       "\n \nSex,Site,Year,Count,Pop\n1,A,2000,5,100\n1,A,2001,6,100\n"
       "2,A,2000,7,100\n2,A,2001,8,100\n",
       true,
       0,
       {2, 2, 2, 2, 0}},
      {"a session without an independent variable",
       "",
       false,
       0,
       {},
       "KM variable 0 not yet defined.",
       DropVariables},
  };
  KmFormat years;
  years.AddLine("1999", "1999 (not used in calculations)", -1);
  km_test::ScratchDir dir;
  for (const auto& c : kCases) {
    for (bool bGzip : {false, true}) {
      if (bGzip && c.pSetUp != nullptr) continue;
      const std::string sPath = WriteDataFile(dir, "data", c.sText, bGzip);
      for (bool bCalculatedRates : {false, true}) {
        SCOPED_TRACE(std::string(c.sWhat) + (bGzip ? ", gzip" : ", plain") +
                     (bCalculatedRates ? ", calculated rates" : ""));
        auto pSession = MakeSession(2, sPath);
        pSession->SetVarFormat(preread_test::kYearCol - 1, years);
        pSession->SetBool(kmOptVarNamesIncluded, c.bNames);
        pSession->SetInt(kmOptHeaderLines, c.iHeaderLines);
        if (c.pSetUp != nullptr) c.pSetUp(*pSession, sPath);
        bool bVarying = false;
        if (c.sError != nullptr) {
          const KmException e = km_test::CatchKmException(
              [&] { PreReadCohorts(*pSession, bCalculatedRates, &bVarying); });
          EXPECT_STREQ(e.GetMessage(), c.sError);
          continue;
        }
        PreReadCohorts(*pSession, bCalculatedRates, &bVarying);
        EXPECT_EQ(CohortLists(*pSession), c.vExpected);
        EXPECT_EQ(bVarying, c.vExpected.back() == 1);
      }
    }
  }
}

// The bytes the allocator has handed out and not taken back.
size_t HeapBytesInUse() {
#if defined(KM_TEST_ADDRESS_SANITIZER)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

// The most heap in use, above what it was when built, as a read reports.
struct HeapSampler : KmNullProgress {
  void SetPosition(int32_t) override {
    const size_t uInUse = HeapBytesInUse();
    if (uInUse > uBase) uPeak = std::max(uPeak, uInUse - uBase);
  }
  size_t uBase = HeapBytesInUse();
  size_t uPeak = 0;
};

TEST(PreReadCohorts, LongCohortIsReadWithoutKeepingItsRecords) {
  // Fault: every record's year text and number were kept (and copied as
  // the list of cohorts grew), so a data file took two to three times its
  // size in memory before the first cohort was fitted.
  km_test::ScratchDir dir;
  std::vector<size_t> vPeaks;
  std::vector<size_t> vSizes;
  for (int nRecords : {10000, 40000}) {  // one cohort
    std::string sText;
    for (int i = 0; i < nRecords; ++i) {
      sText += "1,A," + std::to_string(1000 + i) + ",5,100\n";
    }
    auto pSession = MakeSession(2, WriteDataFile(dir, "long", sText, false));
    bool bVarying = true;
    HeapSampler sampler;
    PreReadCohorts(*pSession, false, &bVarying, &sampler);
    EXPECT_EQ(pSession->GetObservationCounts().at(0), nRecords);
    vPeaks.push_back(sampler.uPeak);
    vSizes.push_back(sText.size());
  }
  // What the larger file adds stays out of memory; kept, its records took
  // more than twice as much as they add to the file.
  EXPECT_LT(vPeaks[1], vPeaks[0] + (vSizes[1] - vSizes[0]) / 8)
      << vPeaks[0] << " and " << vPeaks[1] << " bytes";
}

}  // namespace
