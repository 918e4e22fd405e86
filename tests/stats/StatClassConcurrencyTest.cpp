// StatClass objects used on several threads at once, one object per thread,
// as every calculator does: the searches keep their state in the object and
// the kernels keep none, so each thread gets the single-threaded answers.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "stats/StatClass.h"

namespace {

// One call of a distribution routine on the paths the calculators use.
struct Query {
  enum Kind { kFUpper, kFQuantile, kTQuantile, kChiQuantile, kTDf } kind;
  double prob;  // upper tail q for the inverses (p = 1 - q)
  double arg;   // f for kFUpper, t for kTDf, else unused
  double df1;
  double df2;
};

const Query kQueries[] = {
    {Query::kFUpper, 0, 2.7, 2, 17},      {Query::kFUpper, 0, 0.4, 1, 6},
    {Query::kFQuantile, 0.05, 0, 2, 20},  {Query::kFQuantile, 0.01, 0, 1, 60},
    {Query::kTQuantile, 0.025, 0, 8, 0},  {Query::kTQuantile, 0.3, 0, 195, 0},
    {Query::kChiQuantile, 0.05, 0, 7, 0}, {Query::kChiQuantile, 0.9, 0, 41, 0},
    {Query::kTDf, 0.05, 2.1, 0, 0},
};
constexpr int kQueryCount = sizeof(kQueries) / sizeof(kQueries[0]);

// The result of one query on stat (the computed value, or -1e30 on failure).
double RunQuery(StatClass& stat, const Query& query) {
  int status = -99;
  double bound = 0.0;
  double q = query.prob;
  double p = 1.0 - q;
  double df1 = query.df1;
  double df2 = query.df2;
  double x = query.arg;
  int which = 2;
  switch (query.kind) {
    case Query::kFUpper:
      which = 1;
      stat.cdff(&which, &p, &q, &x, &df1, &df2, &status, &bound);
      return status == 0 ? q : -1e30;
    case Query::kFQuantile:
      stat.cdff(&which, &p, &q, &x, &df1, &df2, &status, &bound);
      break;
    case Query::kTQuantile:
      stat.cdft(&which, &p, &q, &x, &df1, &status, &bound);
      break;
    case Query::kChiQuantile:
      stat.cdfchi(&which, &p, &q, &x, &df1, &status, &bound);
      break;
    case Query::kTDf:
      which = 3;
      stat.cdft(&which, &p, &q, &x, &df1, &status, &bound);
      return status == 0 ? df1 : -1e30;
  }
  return status == 0 ? x : -1e30;
}

TEST(StatClassConcurrency, ObjectPerThreadGivesSingleThreadedResults) {
  StatClass reference;
  std::vector<double> expected;
  for (const Query& query : kQueries)
    expected.push_back(RunQuery(reference, query));

  constexpr int kThreads = 8;
  constexpr int kRounds = 40;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &expected, &mismatches] {
      StatClass stat;
      for (int round = 0; round < kRounds; ++round) {
        // Each thread starts at a different query so that different
        // searches are in flight at the same moment.
        for (int i = 0; i < kQueryCount; ++i) {
          const int k = (i + t) % kQueryCount;
          if (RunQuery(stat, kQueries[k]) != expected[k]) ++mismatches[t];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    SCOPED_TRACE(t);
    EXPECT_EQ(mismatches[t], 0);
  }
  for (double value : expected) EXPECT_NE(value, -1e30);
}

}  // namespace
