// EarlyStopperSet: the table choice and the cache.
#include "engine/EarlyStopperSet.h"

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "engine/EarlyStoppingTables.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"

namespace {

constexpr const char* kClassName = "EarlyStopperSet";

// The cache: (name, table) in insertion order. It lives in a function
// static so that it is built on first use and deletes its tables when the
// process ends.
struct StopperCache {
  std::mutex mutex;
  std::vector<std::pair<KmString, std::unique_ptr<EarlyStopper>>> vEntries;
};

StopperCache& Cache() {
  static StopperCache cache;
  return cache;
}

// The table named sName, built from the rows fRows gives when it is not
// cached yet. fRows runs under the cache's lock, so a table is built once.
const EarlyStopper* FindOrBuild(
    const KmString& sName,
    const std::function<std::vector<EarlyStopperRow>()>& fRows) {
  StopperCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  for (const auto& entry : cache.vEntries) {
    if (entry.first == sName) return entry.second.get();
  }
  if (sName.IsEmpty()) return nullptr;
  auto pStopper = std::make_unique<EarlyStopper_File>(fRows());
  cache.vEntries.emplace_back(sName, std::move(pStopper));
  return cache.vEntries.back().second.get();
}

// 1 / (effective level) of the table for alpha and the number of tests, or
// 0 when there is none.
int LevelDenominator(double alpha, int numberOfTests) {
  int iClass = 0;
  if (alpha < 0.06) {
    iClass = 20;
  } else if (alpha < 0.2) {
    iClass = 10;
  }
  if (iClass == 0 || numberOfTests < 1 || numberOfTests > 4) return 0;
  return iClass * numberOfTests;
}

}  // namespace

const EarlyStopper* EarlyStopperSet::GetEarlyStopper(double alpha,
                                                     int numberOfTests,
                                                     bool curtailed) {
  return WithCallPath("GetEarlyStopper()", kClassName, [&] {
    const EarlyStoppingTableSpec* pSpec = FindEarlyStoppingTable(
        curtailed, LevelDenominator(alpha, numberOfTests));
    if (pSpec == nullptr) {
      GenerateKmException(
          "Early Stopping is not available for these values. You will have "
          "to generate early stopping tables yourself.",
          kClassName);
    }
    return WithCallPath("GetEarlyStopper(KmString)", kClassName, [&] {
      return FindOrBuild(KmString(pSpec->sName),
                         [pSpec] { return EarlyStoppingTableRows(*pSpec); });
    });
  });
}

const EarlyStopper* EarlyStopperSet::GetEarlyStopper(
    const KmString& sName, const std::vector<EarlyStopperRow>& vRows) {
  return WithCallPath("GetEarlyStopper(KmString)", kClassName, [&] {
    return FindOrBuild(sName, [&vRows] { return vRows; });
  });
}
