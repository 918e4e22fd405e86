// Shared setup of the pre-read, file-access and cohort-boundary tests: a
// small session over a comma-delimited data layout and file writers for
// plain and gzip twins of one text.
#ifndef KM_TESTS_DATA_PREREADFIXTURES_H
#define KM_TESTS_DATA_PREREADFIXTURES_H

#include <zlib.h>

#include <memory>
#include <string>

#include "session/kmSession.h"
#include "tests/test_util/TestSession.h"
#include "tests/test_util/TestUtil.h"

namespace preread_test {

// Columns of the test layout (1-based): Sex, Site, Year, Count, Pop.
constexpr int kSexCol = 1;
constexpr int kSiteCol = 2;
constexpr int kYearCol = 3;
constexpr int kCountCol = 4;
constexpr int kPopCol = 5;

// A session over the layout above, comma-delimited, missing text ".".
// Sex has a short format (1 Male, 2 Female); Site has none. The first
// nByVars of Sex and Site are by-variables; Year is the independent
// variable, Count the count and Pop the population (unless bRateColumns is
// false: then no role stands beyond Year). sDataFile goes to string slot 0.
inline std::unique_ptr<kmSession> MakeSession(int nByVars,
                                              const std::string& sDataFile,
                                              bool bRateColumns = true) {
  auto pSession = std::make_unique<kmSession>();
  const KmFormat sex = km_test::LabelFormat({"Male", "Female"});
  km_test::AddVariables(
      *pSession, {{"Sex", km_test::kNoRole, nByVars >= 1, &sex},
                  {"Site", km_test::kNoRole, nByVars >= 2},
                  {"Year", kmVarIndependent},
                  {"Count", bRateColumns ? kmVarCount : km_test::kNoRole},
                  {"Pop", bRateColumns ? kmVarPopulation : km_test::kNoRole}});
  km_test::SetCommaDelimitedData(*pSession, sDataFile);
  return pSession;
}

// Writes sText gzip-compressed to sPath.
inline void WriteGz(const std::string& sPath, const std::string& sText) {
  gzFile f = gzopen(sPath.c_str(), "wb");
  ASSERT_NE(f, nullptr) << sPath;
  if (!sText.empty()) {
    ASSERT_EQ(gzwrite(f, sText.data(), static_cast<unsigned>(sText.size())),
              static_cast<int>(sText.size()));
  }
  ASSERT_EQ(gzclose(f), Z_OK);
}

// Writes sText to dir as "<stem>.csv" (plain) or "<stem>.csv.gz" and
// returns the path.
inline std::string WriteDataFile(const km_test::ScratchDir& dir,
                                 const std::string& sStem,
                                 const std::string& sText, bool bGzip) {
  const std::string sPath = dir.File(sStem + (bGzip ? ".csv.gz" : ".csv"));
  if (bGzip) {
    WriteGz(sPath, sText);
  } else {
    km_test::WriteAll(sPath, sText);
  }
  return sPath;
}

// nFields fields of nWidth '1's, each with a comma in front.
inline std::string ExtraFields(int nFields, size_t nWidth) {
  std::string s;
  s.reserve(static_cast<size_t>(nFields) * (nWidth + 1));
  for (int i = 0; i < nFields; ++i) s += "," + std::string(nWidth, '1');
  return s;
}

}  // namespace preread_test

#endif  // KM_TESTS_DATA_PREREADFIXTURES_H
