// A session and a calculator loaded with one cohort's observations, as the
// calculation control loads them, for the engine tests.
#ifndef KM_TESTS_ENGINE_LOADEDCALCULATOR_H
#define KM_TESTS_ENGINE_LOADEDCALCULATOR_H

#include <newmat.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/kmCalculator.h"
#include "session/kmSession.h"
#include "tests/engine/kmCalculatorTestPeer.h"

namespace km_engine_test {

// One observation of a test cohort: independent value, response, weight
// (the inverse variance) and standard error.
struct Observation {
  double x;
  double y;
  double weight = 1.0;
  double se = 0.1;
};

// Observations (xs[i], ys[i]) with the weights ws (1.0 where ws is empty).
inline std::vector<Observation> Observations(
    const std::vector<double>& xs, const std::vector<double>& ys,
    const std::vector<double>& ws = {}) {
  std::vector<Observation> obs;
  for (size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
    obs.push_back({xs[i], ys[i], i < ws.size() ? ws[i] : 1.0, 0.1});
  }
  return obs;
}

// n independent values dFirst, dFirst + 1, ...
inline std::vector<double> Sequence(int n, double dFirst = 0.0) {
  std::vector<double> xs;
  for (int i = 0; i < n; ++i) xs.push_back(dFirst + i);
  return xs;
}

// Owns a session and a calculator whose members hold the observations:
// pDataX (1, x), pDataY (y), pDataWeightInput (the weights), pDataAux (the
// standard errors) and the weights on the diagonal of pWeightMatrix. The
// session is configured before the calculator copies it and carries the
// cohort's observation count.
struct LoadedCalculator {
  explicit LoadedCalculator(
      const std::vector<Observation>& obs,
      const std::function<void(kmSession&)>& configure = nullptr)
      : n(static_cast<int>(obs.size())) {
    session = std::make_unique<kmSession>();
    if (configure) configure(*session);
    session->ClearObservationCounts();
    session->AddObservationCount(n);
    calc = std::make_unique<kmCalculator>(session.get());
    calc->LoadCalcMembers(nullptr, 0);
    calc->SetNumObservations(static_cast<int16_t>(n));
    CalcMembers(*calc).pDataX = std::make_unique<NEWMAT::Matrix>(n, 2);
    CalcMembers(*calc).pDataY = std::make_unique<NEWMAT::Matrix>(n, 1);
    CalcMembers(*calc).pDataWeightInput =
        std::make_unique<NEWMAT::ColumnVector>(n);
    CalcMembers(*calc).pDataAux = std::make_unique<NEWMAT::Matrix>(n, 1);
    for (int i = 1; i <= n; ++i) {
      const Observation& o = obs[static_cast<size_t>(i - 1)];
      (*CalcMembers(*calc).pDataX)(i, 1) = 1.0;
      (*CalcMembers(*calc).pDataX)(i, 2) = o.x;
      (*CalcMembers(*calc).pDataY)(i, 1) = o.y;
      (*CalcMembers(*calc).pDataWeightInput)(i) = o.weight;
      (*CalcMembers(*calc).pDataAux)(i, 1) = o.se;
      (*CalcMembers(*calc).pWeightMatrix)(i, i) = o.weight;
    }
  }

  // Replaces *pDataY by the given columns, each n long: the observed
  // response first, then permuted data sets.
  void SetResponseColumns(const std::vector<std::vector<double>>& columns) {
    const int D = static_cast<int>(columns.size());
    CalcMembers(*calc).pDataY->ReSize(n, D);
    for (int d = 1; d <= D; ++d) {
      for (int i = 1; i <= n; ++i) {
        (*CalcMembers(*calc).pDataY)(i, d) =
            columns[static_cast<size_t>(d - 1)][static_cast<size_t>(i - 1)];
      }
    }
  }

  int n;
  std::unique_ptr<kmSession> session;
  std::unique_ptr<kmCalculator> calc;
};

}  // namespace km_engine_test

#endif  // KM_TESTS_ENGINE_LOADEDCALCULATOR_H
