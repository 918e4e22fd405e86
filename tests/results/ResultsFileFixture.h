// Test helpers of the results-file handler: sessions with by-variables,
// small cohort records, a whole results file written through the handler,
// and a record-by-record comparison.
#ifndef KM_TESTS_RESULTS_RESULTSFILEFIXTURE_H
#define KM_TESTS_RESULTS_RESULTSFILEFIXTURE_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "foundation/KmFormat.h"
#include "results/kmCalcData.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"
#include "session/kmSession.h"

namespace km_results_test {

// A session with the variables "Year" (independent) and "Rate" (response)
// and the first iNumByVars of the by-variables "Sex" (1 "M", 2 "W") and
// "Race" (1 "White", 2 "Black", 3 "Other"); program version "V4.9.0.0";
// pairwise comparisons (kmOptComparisonType 1) when bPairwise.
kmSession MakeSession(int iNumByVars, bool bPairwise);

// The combination table of such a session: every level combination in
// cohort order, the last by-variable varying fastest.
kmCombos MakeCombos(int iNumByVars);
// Number of cohorts of a session with iNumByVars by-variables (1 without
// any) and the group size of its pairwise comparisons (levels of the last
// by-variable, 0 without by-variables).
int32_t NumCohorts(int iNumByVars);
int32_t GroupSize(int iNumByVars);

// A small record whose every stored field depends on iSeed: two models
// (with kinkmark, segment, slope change, AAPC, matrices), one F test,
// labels, selection values, a 2 x 2 variance-covariance block and one
// MADWD row. Odd seeds give an invalid record with a bad description.
kmCalcData MakeRecord(int iSeed);

// The bytes write() puts into a fresh file.
std::string BytesOf(const std::function<void(KmIO_File*)>& write);

// Expects every stored field of actual to equal those of expected.
void ExpectSameRecord(const kmCalcData& actual, const kmCalcData& expected);

// What a whole file was written from.
struct WrittenFile {
  std::vector<kmCalcData> vCohorts;
  std::vector<kmCalcData> vComparisons;
  KmVector<bool> vFlags;
  KmVector<KmString> vLabels;
};

// Writes a complete results file at sPath for a session with iNumByVars
// by-variables through the writing handler, in the order the calculation
// control uses; one record per cohort and per comparison (MakeRecord with
// seeds 0, 1, ...; comparison records carry no label).
WrittenFile WriteWholeFile(const std::string& sPath, int iNumByVars,
                           bool bPairwise);

// A damaged results file that an earlier reader accepted or hung on: its
// bytes and the reason the reader now gives when refusing it (the text
// after the opening sentence of every refusal of a damaged file).
struct DamagedFile {
  std::string sName;
  std::string sBytes;
  std::string sReason;
};

// The damaged files, made from a whole file of two by-variables (six
// cohorts, the last one invalid with a bad description) written at sPath:
// a matrix of 0 columns whose row count overflowed the reader's loop, and
// a byte deleted from the last record that shifted a text into its valid
// flag.
std::vector<DamagedFile> DamagedFiles(const std::string& sPath);

// A writing handler brought up to state 3 (combinations written) for a
// session with iNumByVars by-variables, file sPath.
void PrepareWriter(kmCalcHandler& handler, const std::string& sPath,
                   int iNumByVars);

}  // namespace km_results_test

#endif  // KM_TESTS_RESULTS_RESULTSFILEFIXTURE_H
