// A calculator loaded with the ten-observation data set of the model-table
// and interval-pass tests, and the one-kinkmark fit of it (see
// kmCalculatorTableTest.cpp for the R code behind the values).
#ifndef KM_TESTS_ENGINE_TABLETESTFIXTURE_H
#define KM_TESTS_ENGINE_TABLETESTFIXTURE_H

#include <gtest/gtest.h>
#include <newmat.h>

#include <memory>

#include "engine/kmCalculator.h"
#include "results/kmCalcData.h"
#include "results/kmTable.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/engine/LoadedCalculator.h"
#include "tests/engine/kmCalculatorTestPeer.h"

namespace km_table_test {

constexpr int kN = 10;
constexpr double kY[kN] = {2.1, 3.9,  6.2,  7.8,  9.1,
                           9.5, 10.2, 10.4, 11.0, 11.3};
constexpr double kV[kN] = {1, 2, 1.5, 0.5, 1, 3, 2, 1, 2, 1};
// Segment form of the weighted fit with a kinkmark at 5.5: intercepts,
// slopes, slope difference; and its weighted residual sum of squares.
constexpr double kBeta[5] = {0.87569880233841169, 7.5527235693210901,
                             1.5872615535153536, 0.37325705042759383,
                             -1.2140045030877598};
constexpr double kQ = 1.1934965827454855;
constexpr double kOrigin = 2000.0;

class TableTest : public ::testing::Test {
 protected:
  // A calculator over the first n observations (x = 1..n shifted, weights
  // kV), grid values 3, 4, 5, 6, 7 in the first five grid entries, levels
  // 0.05 and the given scale.
  void MakeCalculator(bool bLogLinear, int n = kN) {
    km_engine_test::LoadedCalculator lc(
        km_engine_test::Observations(km_engine_test::Sequence(n, 1.0),
                                     std::vector<double>(kY, kY + n),
                                     std::vector<double>(kV, kV + n)),
        [&](kmSession& s) {
          s.SetInt(kmOptAutocorrErrors, 0);
          s.SetBool(kmOptLogLinear, bLogLinear);
          s.SetDouble(kmOptKinkmarkAlpha, 0.05);
          s.SetDouble(kmOptAPCAlpha, 0.05);
          ConfigureSession(s);
        });
    session_ = std::move(lc.session);
    calc_ = std::move(lc.calc);
    *CalcMembers(*calc_).pX0 = CalcMembers(*calc_).pDataX->Columns(1, 2);
    if (CalcMembers(*calc_).pGridValues->Nrows() < 5)
      CalcMembers(*calc_).pGridValues->ReSize(5);
    for (int r = 1; r <= 5; ++r)
      (*CalcMembers(*calc_).pGridValues)(r) = r + 2.0;
    NEWMAT::Matrix mB;
    calc_->WLSWgt(0.0, CalcMembers(*calc_).mWorkA, mB);
  }

  // Further options of a test's session, set before the calculator copies
  // it.
  virtual void ConfigureSession(kmSession&) {}

  // Has the calculator write table's APC intervals as a run does once the
  // cohort's models are final, without a resampling pass.
  void WriteAPCs(kmTable& table) {
    kmCalcData record;
    record.vModels.push_back(table);
    calc_->SetAPCIntervals(&record, false);
    table = record.vModels[0];
  }

  // Fills table with the one-kinkmark model under criterion; the profile
  // defaults to {1e50, 3.0, 1.5, 2.0, 1e50}.
  void FillOneKinkmark(kmTable& table, kmModelSelection criterion,
                       const NEWMAT::Matrix* pProfile = nullptr,
                       double dQ = kQ) {
    NEWMAT::ColumnVector vTau(1);
    vTau(1) = 5.5;
    NEWMAT::ColumnVector vQ(1);
    vQ(1) = dQ;
    NEWMAT::ColumnVector vBeta(5);
    for (int i = 1; i <= 5; ++i) vBeta(i) = kBeta[i - 1];
    NEWMAT::Matrix mProfile(5, 1);
    mProfile(1, 1) = 1e50;
    mProfile(2, 1) = 3.0;
    mProfile(3, 1) = 1.5;
    mProfile(4, 1) = 2.0;
    mProfile(5, 1) = 1e50;
    calc_->Table(false, 1, vTau, vQ, vBeta, 5,
                 pProfile != nullptr ? *pProfile : mProfile, &table, criterion,
                 kOrigin);
  }

  std::unique_ptr<kmSession> session_;
  std::unique_ptr<kmCalculator> calc_;
};

}  // namespace km_table_test

#endif  // KM_TESTS_ENGINE_TABLETESTFIXTURE_H
