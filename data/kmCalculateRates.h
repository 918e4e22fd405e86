// Age-adjusted rate shares per adjustment group for the clustering of one
// cohort.
#ifndef KM_DATA_KMCALCULATERATES_H
#define KM_DATA_KMCALCULATERATES_H

#include <cstdint>

#include "data/kmValueTable.h"
#include "foundation/KmVector.h"
#include "session/kmAdjustVarFormat.h"

class kmSession;

// kmCalculateRates computes, for every independent value of a clustered
// cohort and every adjustment group of a (compressed) grouping, the group's
// share of the age-adjusted rate and the standard error of that share.
//
// Model. For one independent value, let T be the standard population summed
// over all records, and for group i let c_i, p_i, s_i be its summed count,
// population and standard population. With weight w_i = s_i / T and crude
// rate r_i = c_i / p_i (counts taken as Poisson, so var(r_i) = c_i / p_i^2):
//   share a_i = 100000 * r_i * w_i,
//   SE(a_i)   = 100000 * sqrt(c_i / p_i^2 * w_i^2).
// The age-adjusted rate of the independent value is sum_i a_i (direct
// standardisation), and its variance is sum_i SE(a_i)^2; only the shares are
// stored. Reference: Keyfitz (1966), Sampling variance of standardized
// mortality rates, Human Biology 38:309-317.
// The multiplier is fixed at 100000; kmOptRatesPerN does not apply.
//
// The calculation control makes one object per run and calls
// ComputeAgeAdjRates_Clustering once per clustered cohort, one cohort at a
// time. Every method adds its name and "kmCalculateRates" to the call path
// of a passing KmException and rethrows it.
class kmCalculateRates {
 public:
  // Index of each value in a row of GetAgeAdjRateTable().
  enum RateColumn : int32_t {
    kCount = 0,
    kPopulation = 1,
    kStdPopulation = 2,
    kRateShare = 3,
    kRateShareSE = 4,
    kNumRateColumns = 5
  };
  // Standard error of a share that cannot be computed.
  static constexpr double kMissing = -1e30;

  // Empty lists. pSession is not used and not kept.
  explicit kmCalculateRates(const kmSession* pSession);
  kmCalculateRates(const kmCalculateRates& other) = default;
  kmCalculateRates& operator=(const kmCalculateRates& other) = default;
  virtual ~kmCalculateRates();

  // Replaces the result with one entry per entry of table (one per
  // independent value, in order); each entry holds one row per group of the
  // first cluster format: summed count, population and standard
  // population, the rate share and its standard error (see the class
  // comment). A record's group is the first group whose codes hold its
  // code-column value truncated toward zero; a record in no group (also a
  // code that is not a finite number within the int range, such as the
  // missing marker -1e30) adds to no group, but its standard population
  // still counts in T. A group with population 0 or less has share 0; its
  // standard error, and that of a group whose rate is not above 0, is
  // -1e30. When T is 0 every share is 0 and a group with a positive count
  // and population has standard error 0.
  // Throws: KmException when table is not empty and clusterFormats is, when
  // a column number is negative or a record has no value in one of the four
  // columns; the result is then empty.
  void ComputeAgeAdjRates_Clustering(kmValueTable table, int iCodeCol,
                                     int iCountCol, int iPopCol, int iStdPopCol,
                                     KmVector<kmClusterFormat> clusterFormats);

  // A copy of the result of the last computation (empty before the first).
  kmValueTable GetAgeAdjRateTable() const { return vResult_; }

 private:
  // The group rows of the independent value computed last.
  kmValueRows vWorkingRows_;
  // One copy of the working rows per independent value.
  kmValueTable vResult_;
};

// Exchanges elements 0 and 1 of every row of *pTable. A null pointer, and
// rows with fewer than two values, are left alone.
void SwapFirstTwoColumns(kmValueRows* pTable);

#endif  // KM_DATA_KMCALCULATERATES_H
