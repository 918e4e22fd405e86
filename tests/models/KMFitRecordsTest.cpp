// Tests of the fit records of the model framework: KMRegFitStats,
// KMRegFitMatrices, KMRegFit and KMRegFitRecord (with
// BestKMRegModel::resetFitRecord).
#include <gtest/gtest.h>
#include <newmat.h>

#include <limits>
#include <vector>

#include "foundation/OneDimensionArray.h"
#include "models/BestKMRegModel.h"
#include "models/KMRegFit.h"
#include "models/KMRegFitMatrices.h"
#include "models/KMRegFitRecord.h"
#include "models/KMRegFitStats.h"
#include "tests/models/DataClassTestHelpers.h"

namespace {

using km_data_test::Add;
using km_data_test::Dims;
using km_data_test::ExpectSameSnapshot;
using km_data_test::Mat;
using km_data_test::Snapshot;
using km_data_test::Vec;

const double kInf = std::numeric_limits<double>::infinity();
const std::vector<int> kEmptyMatrix = {0, 0};

OneDimensionArray<NEWMAT::ColumnVector> Vectors(
    std::initializer_list<NEWMAT::ColumnVector> vectors) {
  OneDimensionArray<NEWMAT::ColumnVector> a;
  a.Resize(static_cast<int>(vectors.size()));
  int i = 0;
  for (const NEWMAT::ColumnVector& v : vectors) a[i++] = v;
  return a;
}

// ---- snapshots of every member, in declaration order ----

Snapshot Snap(const KMRegFitStats& s) {
  Snapshot out;
  Add(out, "k", s.k);
  Add(out, "nSeries", s.nSeries);
  Add(out, "p", s.p);
  Add(out, "df", s.df);
  Add(out, "segmentTables.size", s.segmentTables.GetSize());
  for (int i = 0; i < s.segmentTables.GetSize(); ++i) {
    Add(out, "segmentTables[i]", s.segmentTables[i]);
  }
  Add(out, "covariance", s.covariance);
  Add(out, "kinkmarkTables.size", s.kinkmarkTables.GetSize());
  for (int i = 0; i < s.kinkmarkTables.GetSize(); ++i) {
    Add(out, "kinkmarkTables[i]", s.kinkmarkTables[i]);
  }
  Add(out, "theta", s.theta);
  Add(out, "beta", s.beta);
  return out;
}

Snapshot Snap(const KMRegFitMatrices& m) {
  Snapshot out;
  Add(out, "candidates", m.candidates);
  Add(out, "candidateIndices", m.candidateIndices);
  Add(out, "distinctX", m.distinctX);
  Add(out, "weight", m.weight);
  Add(out, "covariance", m.covariance);
  Add(out, "transform", m.transform);
  Add(out, "backTransform", m.backTransform);
  Add(out, "p", m.p);
  Add(out, "allX", m.allX);
  Add(out, "allY", m.allY);
  Add(out, "X", m.X);
  Add(out, "XtW", m.XtW);
  Add(out, "XtWX", m.XtWX);
  Add(out, "responses", m.responses);
  Add(out, "yWy.size", m.yWy.GetSize());
  for (int i = 0; i < m.yWy.GetSize(); ++i) Add(out, "yWy[i]", m.yWy[i]);
  Add(out, "XtWY", m.XtWY);
  return out;
}

Snapshot Snap(const KMRegFit& f) {
  Snapshot out;
  Add(out, "seriesSet.xValues", f.seriesSet.xValues);
  Add(out, "seriesSet.yValues", f.seriesSet.yValues);
  Add(out, "seriesSet.covariance", f.seriesSet.covariance);
  Add(out, "responses", f.responses);
  Add(out, "weight", f.weight);
  Add(out, "covariance", f.covariance);
  Add(out, "transform", f.transform);
  Add(out, "backTransform", f.backTransform);
  for (const auto& member : Snap(f.design)) out.push_back(member);
  Add(out, "counts.iMember2", f.counts.iMember2);
  Add(out, "xShift", f.xShift);
  Add(out, "modelType", f.modelType);
  Add(out, "k", f.k);
  Add(out, "iMember8", f.iMember8);
  Add(out, "splineCode", f.splineCode);
  Add(out, "jump", f.jump);
  Add(out, "jumpLocation", f.jumpLocation);
  Add(out, "minObsAtEnds", f.minObsAtEnds);
  Add(out, "minObsBetween", f.minObsBetween);
  Add(out, "gridPointsBetween", f.gridPointsBetween);
  Add(out, "iMember12", f.iMember12);
  Add(out, "userLocations", f.userLocations);
  Add(out, "useUserLocations", f.useUserLocations);
  Add(out, "alpha", f.alpha);
  Add(out, "tauAlpha", f.tauAlpha);
  Add(out, "apcAlpha", f.apcAlpha);
  Add(out, "aapcAlpha", f.aapcAlpha);
  Add(out, "dMember15", f.dMember15);
  return out;
}

Snapshot Snap(const KMRegFitRecord& r) {
  Snapshot out;
  Add(out, "n", r.n);
  for (const auto& member : Snap(r.fit)) out.push_back(member);
  Add(out, "k", r.k);
  Add(out, "p0", r.p0);
  Add(out, "searchDone", r.searchDone);
  Add(out, "residualDF", r.residualDF);
  Add(out, "rss", r.rss);
  Add(out, "rssPerResponse", r.rssPerResponse);
  Add(out, "p", r.p);
  Add(out, "beta", r.beta);
  for (const auto& member : Snap(r.fitStats)) out.push_back(member);
  Add(out, "normalMatrix", r.normalMatrix);
  Add(out, "tau", r.tau);
  Add(out, "profile", r.profile);
  Add(out, "tauInterval", r.tauInterval);
  Add(out, "fittedValues", r.fittedValues);
  Add(out, "valuesAtTau", r.valuesAtTau);
  Add(out, "residuals", r.residuals);
  Add(out, "perfectFit", r.perfectFit);
  Add(out, "stackedX", r.stackedX);
  Add(out, "stackedDesignX", r.stackedDesignX);
  Add(out, "vMember15_3", r.vMember15_3);
  Add(out, "mse", r.mse);
  Add(out, "gofObserved", r.gofObserved);
  Add(out, "gofFitted", r.gofFitted);
  Add(out, "gofResiduals", r.gofResiduals);
  Add(out, "nResiduals", r.nResiduals);
  Add(out, "ssTotal", r.ssTotal);
  Add(out, "ssModel", r.ssModel);
  Add(out, "ssResidual", r.ssResidual);
  Add(out, "ssData", r.ssData);
  Add(out, "rSquared", r.rSquared);
  Add(out, "adjustedRSquared", r.adjustedRSquared);
  Add(out, "gofData", r.gofData);
  Add(out, "apcTable", r.apcTable);
  Add(out, "rangeList", r.rangeList);
  Add(out, "aapcTable", r.aapcTable);
  Add(out, "jumpVector", r.jumpVector);
  Add(out, "segmentSlopes", r.segmentSlopes);
  Add(out, "responseBetas", r.responseBetas);
  Add(out, "responseTaus", r.responseTaus);
  Add(out, "responseSlopes", r.responseSlopes);
  Add(out, "vMember16_9", r.vMember16_9);
  Add(out, "dMember17", r.dMember17);
  return out;
}

// ---- records whose every member differs from its start value ----

KMRegFitStats FilledStats() {
  KMRegFitStats s;
  s.k = 1;
  s.nSeries = 2;
  s.p = 3;
  s.df = 4.5;
  s.segmentTables.Resize(2);
  s.segmentTables[1] = Mat(4, 4, 100);
  s.covariance = Mat(5, 5, 200);
  s.kinkmarkTables.Resize(2);
  s.kinkmarkTables[0] = Mat(3, 4, 300);
  s.theta = Vec({1, 2, 3, 4, 5});
  s.beta = Vec({6, 7, 8, 9});
  return s;
}

KMRegFitMatrices FilledMatrices() {
  KMRegFitMatrices m;
  m.candidates = Vec({1, 2});
  m.candidateIndices = Vec({2, 3});
  m.distinctX = Vec({0, 1, 2, 3});
  m.weight = Mat(4, 4, 1);
  m.covariance = Mat(4, 4, 2);
  m.transform = Mat(4, 4, 3);
  m.backTransform = Mat(4, 4, 4);
  m.p = 2;
  m.allX = Vec({0, 1, 2, 3});
  m.allY = Vec({5, 6, 7, 8});
  m.X = Mat(4, 4, 5);
  m.XtW = Mat(4, 4, 6);
  m.XtWX = Mat(4, 4, 7);
  m.responses = Vectors({Vec({9, 9, 9, 9}), Vec({8, 8, 8, 8})});
  m.yWy.Resize(2);
  m.yWy[1] = 12.5;
  m.XtWY = Mat(4, 2, 8);
  return m;
}

KMRegFit FilledFit() {
  KMRegFit f;
  f.seriesSet.labels.Resize(1);
  f.seriesSet.xValues = Vectors({Vec({1, 2, 3})});
  f.seriesSet.yValues = Vectors({Vec({2, 4, 7})});
  f.seriesSet.covariance.ReSize(3);
  f.seriesSet.covariance = 1.0;
  f.responses = Vectors({Vec({1, 1, 1}), Vec({2, 2, 2})});
  f.weight = Mat(3, 3, 1);
  f.covariance = Mat(3, 3, 2);
  f.transform = Mat(3, 3, 3);
  f.backTransform = Mat(3, 3, 4);
  f.design = FilledMatrices();
  f.counts.iMember2 = 6;
  f.xShift = 1999;
  f.modelType = 1;
  f.k = 2;
  f.iMember8 = 8;
  f.splineCode = 2;
  f.jump = 1;
  f.jumpLocation = 2.5;
  f.minObsAtEnds = 3;
  f.minObsBetween = 4;
  f.gridPointsBetween = 5;
  f.iMember12 = 12;
  f.userLocations = Vec({1.5});
  f.useUserLocations = true;
  f.alpha = 0.01;
  f.tauAlpha = 0.02;
  f.apcAlpha = 0.03;
  f.aapcAlpha = 0.04;
  f.dMember15 = 0.06;
  return f;
}

KMRegFitRecord FilledRecord() {
  KMRegFitRecord r;
  r.n = 3;
  r.fit = FilledFit();
  r.k = 1;
  r.p0 = 2;
  r.searchDone = 1;
  r.residualDF = -1;
  r.rss = 0.25;
  r.rssPerResponse = Vec({0.25, 0.5});
  r.p = 4;
  r.beta = Vec({1, 2, 3});
  r.fitStats = FilledStats();
  r.normalMatrix = Mat(3, 3, 10);
  r.tau = Vec({2});
  r.profile = Mat(2, 1, 20);
  r.tauInterval = Mat(2, 1, 30);
  r.fittedValues = Vectors({Vec({2, 4, 7})});
  r.valuesAtTau = Vectors({Vec({4})});
  r.residuals = Vectors({Vec({0, 0.5, 0})});
  r.perfectFit = true;
  r.stackedX = Vec({1, 2, 3});
  r.stackedDesignX = Vec({4, 5, 6});
  r.vMember15_3 = Vec({7});
  r.mse = 0.125;
  r.gofObserved = Vec({2, 4, 7});
  r.gofFitted = Vec({2, 4.5, 7});
  r.gofResiduals = Vec({0, -0.5, 0});
  r.nResiduals = 3;
  r.ssTotal = 1;
  r.ssModel = 2;
  r.ssResidual = 3;
  r.ssData = 4;
  r.rSquared = 0.9;
  r.adjustedRSquared = 0.8;
  r.gofData = Vec({2, 4.5, 7});
  r.apcTable = Mat(2, 10, 40);
  r.rangeList = Mat(1, 2, 50);
  r.aapcTable = Mat(1, 10, 60);
  r.jumpVector = Vec({1, 2, 3, 4, 5, 6, 7, 8, 9});
  r.segmentSlopes = Vec({2, 3});
  r.responseBetas = Vectors({Vec({1, 2, 3}), Vec({1, 2, 4})});
  r.responseTaus = Vectors({Vec({2.5}), Vec({2})});
  r.responseSlopes = Vectors({Vec({2, 5}), Vec({2, 6})});
  r.vMember16_9 = Vec({16});
  r.dMember17 = 17;
  return r;
}

TEST(KMRegFitStats, ResetKeepsTheTablesAndClearFreesThem) {
  const KMRegFitStats fresh;
  EXPECT_EQ(fresh.k + fresh.nSeries + fresh.p, 0);
  EXPECT_EQ(fresh.df, 0.0);
  EXPECT_EQ(fresh.segmentTables.GetSize(), 0);
  EXPECT_EQ(Dims(fresh.covariance), kEmptyMatrix);

  KMRegFitStats stats = FilledStats();
  stats.reset();
  EXPECT_EQ(stats.k + stats.nSeries + stats.p, 0);
  EXPECT_EQ(stats.df, 0.0);
  EXPECT_EQ(Dims(stats.covariance), kEmptyMatrix);
  EXPECT_EQ(stats.theta.Nrows() + stats.beta.Nrows(), 0);
  EXPECT_EQ(stats.segmentTables.GetSize(), 2);
  EXPECT_EQ(stats.kinkmarkTables.GetSize(), 2);

  stats = FilledStats();
  stats.clear();
  EXPECT_EQ(stats.segmentTables.GetSize(), 0);
  EXPECT_EQ(stats.kinkmarkTables.GetSize(), 0);
  EXPECT_EQ(Dims(stats.covariance), kEmptyMatrix);
  EXPECT_EQ(stats.theta.Nrows(), 0);
  EXPECT_EQ(stats.p, 3);  // counts survive clear
}

// Copy construction and assignment of each record copy every member, and
// later changes to the source reach neither copy.
TEST(KMFitRecords, CopiesAreDeepAndIndependent) {
  {
    SCOPED_TRACE("KMRegFitStats");
    KMRegFitStats source = FilledStats();
    KMRegFitStats copied(source), assigned;
    assigned = source;
    source.segmentTables[1](1, 1) = -1;
    source.covariance(1, 1) = -1;
    source.theta(1) = -1;
    ExpectSameSnapshot(Snap(copied), Snap(FilledStats()));
    ExpectSameSnapshot(Snap(assigned), Snap(FilledStats()));
  }
  {
    SCOPED_TRACE("KMRegFitMatrices");
    KMRegFitMatrices source = FilledMatrices();
    KMRegFitMatrices copied(source), assigned;
    assigned = source;
    source.X(1, 1) = -1;
    source.responses[1](1) = -1;
    source.yWy[1] = -1;
    ExpectSameSnapshot(Snap(copied), Snap(FilledMatrices()));
    ExpectSameSnapshot(Snap(assigned), Snap(FilledMatrices()));
  }
  {
    SCOPED_TRACE("KMRegFit");
    KMRegFit source = FilledFit();
    KMRegFit copied(source), assigned;
    assigned = source;
    source.seriesSet.yValues[0](1) = -1;
    source.responses[0](1) = -1;
    source.transform(1, 1) = -1;
    source.design.X(1, 1) = -1;
    source.userLocations(1) = -1;
    ExpectSameSnapshot(Snap(copied), Snap(FilledFit()));
    ExpectSameSnapshot(Snap(assigned), Snap(FilledFit()));
  }
  {
    SCOPED_TRACE("KMRegFitRecord");
    KMRegFitRecord source = FilledRecord();
    KMRegFitRecord copied(source), assigned;
    assigned = source;
    source.fit.seriesSet.xValues[0](1) = -1;
    source.fitStats.theta(1) = -1;
    source.tau(1) = -1;
    source.responseSlopes[1](1) = -1;
    source.fittedValues[0](1) = -1;
    ExpectSameSnapshot(Snap(copied), Snap(FilledRecord()));
    ExpectSameSnapshot(Snap(assigned), Snap(FilledRecord()));
  }
}

TEST(KMRegFitMatrices, ClearEmptiesTheContainersAndInitTheCount) {
  KMRegFitMatrices m = FilledMatrices();
  m.clear();
  KMRegFitMatrices expected;
  expected.p = 2;  // clear keeps the count
  ExpectSameSnapshot(Snap(m), Snap(expected));
  m.init();
  EXPECT_EQ(m.p, 0);
}

TEST(KMRegFit, InitGivesTheTabledSettings) {
  const KMRegFit fit;
  EXPECT_EQ(fit.xShift, 0.0);
  EXPECT_EQ(fit.modelType, 2);
  EXPECT_EQ(fit.k, 0);
  EXPECT_EQ(fit.iMember8, 0);
  EXPECT_EQ(fit.splineCode, 0);
  EXPECT_EQ(fit.jump, 0);
  EXPECT_EQ(fit.jumpLocation, -1.0);
  EXPECT_EQ(fit.minObsAtEnds, 2);
  EXPECT_EQ(fit.minObsBetween, 2);
  EXPECT_EQ(fit.gridPointsBetween, 0);
  EXPECT_EQ(fit.iMember12, 0);
  EXPECT_EQ(fit.userLocations.Nrows(), 0);
  EXPECT_FALSE(fit.useUserLocations);
  for (double level :
       {fit.alpha, fit.tauAlpha, fit.apcAlpha, fit.aapcAlpha, fit.dMember15}) {
    EXPECT_EQ(level, 0.05);
  }
  EXPECT_EQ(fit.counts.iMember1, 0);
}

TEST(KMRegFit, ResetDropsOnlyTheDataAndTheDesign) {
  KMRegFit fit = FilledFit();
  fit.reset();
  EXPECT_EQ(fit.seriesSet.xValues.GetSize(), 0);
  EXPECT_EQ(Dims(fit.seriesSet.covariance), kEmptyMatrix);
  EXPECT_EQ(Dims(fit.design.X), kEmptyMatrix);
  EXPECT_EQ(fit.responses.GetSize(), 2);
  EXPECT_EQ(fit.weight.Nrows(), 3);
  EXPECT_EQ(fit.k, 2);

  fit.clear();
  EXPECT_EQ(fit.responses.GetSize(), 0);
  EXPECT_EQ(Dims(fit.weight), kEmptyMatrix);
  EXPECT_EQ(Dims(fit.backTransform), kEmptyMatrix);
  EXPECT_EQ(fit.userLocations.Nrows(), 0);
  EXPECT_EQ(fit.k, 2);
}

TEST(KMRegFitRecord, ResetGivesTheTabledValues) {
  KMRegFitRecord rec = FilledRecord();
  rec.reset();
  EXPECT_EQ(rec.n, 0);
  EXPECT_EQ(rec.k, 0);
  EXPECT_EQ(rec.p0, 0);
  EXPECT_EQ(rec.searchDone, 0);
  EXPECT_EQ(rec.residualDF, 0.0);
  EXPECT_EQ(rec.rss, kInf);
  EXPECT_EQ(rec.p, 0);
  EXPECT_FALSE(rec.perfectFit);
  EXPECT_EQ(rec.mse, kInf);
  EXPECT_EQ(rec.nResiduals, 0);
  for (double v : {rec.ssTotal, rec.ssModel, rec.ssResidual, rec.ssData,
                   rec.rSquared, rec.adjustedRSquared, rec.dMember17}) {
    EXPECT_EQ(v, 0.0);
  }
  EXPECT_EQ(rec.tau.Nrows(), 1);  // containers keep their contents
}

TEST(KMRegFitRecord, ResetFitDropsTheFitDataAndKeepsTheResults) {
  OneDimensionArray<KMRegFitRecord> records;
  records.Resize(2);
  records[0] = FilledRecord();
  records[1] = FilledRecord();
  BestKMRegModel::resetFitRecord(records);

  KMRegFitRecord expected = FilledRecord();
  expected.fit.seriesSet = KMSeriesSet();
  expected.fit.design.clear();
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    ExpectSameSnapshot(Snap(records[i]), Snap(expected));
  }
}

TEST(KMRegFitRecord, ArrayResizeGivesFreshRecordsAndClearReleases) {
  OneDimensionArray<KMRegFitRecord> records;
  records.Resize(3);
  ExpectSameSnapshot(Snap(records[2]), Snap(KMRegFitRecord()));
  EXPECT_EQ(records[2].rss, kInf);

  KMRegFitRecord rec = FilledRecord();
  rec.clear();
  EXPECT_EQ(rec.fit.seriesSet.xValues.GetSize(), 0);
  EXPECT_EQ(rec.fit.responses.GetSize(), 0);
  EXPECT_EQ(rec.fitStats.segmentTables.GetSize(), 0);
  EXPECT_EQ(rec.beta.Nrows(), 0);
  EXPECT_EQ(Dims(rec.normalMatrix), kEmptyMatrix);
  EXPECT_EQ(rec.fittedValues.GetSize(), 0);
  EXPECT_EQ(rec.responseBetas.GetSize(), 0);
  EXPECT_EQ(Dims(rec.aapcTable), kEmptyMatrix);
  EXPECT_EQ(rec.rss, 0.25);  // scalars survive clear
}

}  // namespace
