// kmCalculatorDistributions: its lifetime and FPValue; kmCalculator:
// RecordObservedF, FTest, FTestObs, FTestPerm.
//
// Turns the weighted residual sums of squares of a null and an alternative
// model, over the observed and the permuted data sets, into F statistics,
// parametric p-values and the permutation p-value of the test's record.
//
// A model with k kinkmarks has 2k + 2 parameters. For null k0 and
// alternative k1 > k0 with weighted residual sums S0 and S1 (element 1 the
// observed data, 2.. the permuted data sets):
//   F = (S0 - S1) / S1 * df2 / df1, df1 = 2 (k1 - k0), df2 = n - 2 k1 - 2
// and the permutation p-value is the share of data sets (the observed one
// included) whose F reaches the observed F.
#include <newmat.h>

#include <cmath>
#include <cstdint>

#include "engine/kmCalculator.h"
#include "engine/kmFitScores.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "results/kmFTest.h"
#include "stats/StatClass.h"

using NEWMAT::ColumnVector;

namespace {

constexpr const char* kClassName = "kmCalculator";

// Parameters of a model with k kinkmarks, in the 16-bit arithmetic of the
// counts.
int16_t NumParameters(int16_t k) { return static_cast<int16_t>(2 * k + 2); }

void RequireLength(const ColumnVector& v0, const ColumnVector& v1, int iNeeded,
                   const char* sSource) {
  if (v0.Nrows() < iNeeded || v1.Nrows() < iNeeded) {
    GenerateKmExceptionF(
        "The residual sums hold %d and %d data sets; %d are needed.", sSource,
        static_cast<int>(v0.Nrows()), static_cast<int>(v1.Nrows()), iNeeded);
  }
}

}  // namespace

// The distribution object is made by kmCalculator::Init; it is complete
// here, where it is deleted.
kmCalculatorDistributions::kmCalculatorDistributions() = default;
kmCalculatorDistributions::~kmCalculatorDistributions() = default;

double kmCalculatorDistributions::FPValue(double dF, int iDf1, int iDf2) {
  if (iDf1 <= 0 || iDf2 <= 0) return 0.0;
  // An F of 0 or less (the larger model fitting no better, as a search on
  // its grid can) is no evidence against the smaller model; nor is an F
  // that is not a number.
  if (!(dF > 0.0)) return 1.0;
  if (pStatClass == nullptr) {
    GenerateKmException("The distribution object does not exist.", kClassName);
  }
  int iWhich = 1;
  double p = 0.0;
  double q = 0.0;
  double f = dF;
  double dDfn = iDf1;
  double dDfd = iDf2;
  int iStatus = 0;
  double dBound = 0.0;
  pStatClass->cdff(&iWhich, &p, &q, &f, &dDfn, &dDfd, &iStatus, &dBound);
  return q;
}

double kmCalculator::RecordObservedF(kmFTest& test, double dSum0, double dSum1,
                                     int iDf1, int iDf2) {
  double dF = 0.0;
  double dP = 1.0;
  if (iDf1 > 0 && iDf2 > 0 && dSum1 > 0.0) {
    dF = FOf(dSum0, dSum1, static_cast<double>(iDf2) / iDf1);
    dP = FPValue(dF, iDf1, iDf2);
  }
  test.dF = dF;
  test.lNumeratorDF = iDf1;
  test.lDenominatorDF = iDf2;
  test.dPValue = dP;
  if (iDf1 == 2 && iDf2 > 0) {
    // One added kinkmark: the same difference of sums spread over three
    // numerator degrees of freedom (the kinkmark location counted).
    test.bSecondStat = true;
    test.dSecondF = dF * 2.0 / 3.0;
    test.lSecondNumeratorDF = 3;
    test.dSecondPValue = FPValue(test.dSecondF, 3, iDf2);
  }
  return dF;
}

double kmCalculator::FTest(int16_t /*iTestsLeft*/, int16_t k0, int16_t k1,
                           double dAlpha, int iNumDataSets,
                           const ColumnVector& vResidSum0,
                           const ColumnVector& vResidSum1, kmFTest& test) {
  constexpr const char* kSource = "kmCalculator::FTest()";
  return WithCallPath("FTest()", kClassName, [&]() -> double {
    return WithMatrixErrorsAsKm(kSource, [&]() -> double {
      RequireLength(vResidSum0, vResidSum1, iNumDataSets > 1 ? iNumDataSets : 1,
                    kSource);
      const int iDf1 = NumParameters(k1) - NumParameters(k0);
      const int iDf2 = static_cast<int16_t>(iNumObs - NumParameters(k1));
      const double dF =
          RecordObservedF(test, vResidSum0(1), vResidSum1(1), iDf1, iDf2);
      test.lNumPermutations = iNumDataSets;
      if (iNumDataSets <= 1) return 0.0;

      const double r = iDf1 > 0 ? static_cast<double>(iDf2) / iDf1 : 0.0;
      int iCount = 0;
      for (int i = 1; i <= iNumDataSets; ++i) {
        const double dFi = FOf(vResidSum0(i), vResidSum1(i), r);
        if (ReachesObservedF(dFi, dF)) ++iCount;
      }
      const double dP = static_cast<double>(iCount) / iNumDataSets;
      test.dPermPValue = dP;
      test.dAlpha = dAlpha;
      return dP;
    });
  });
}

double kmCalculator::FTestObs(kmFTest& test, int16_t k0, int16_t k1,
                              const ColumnVector& vResidSum0,
                              const ColumnVector& vResidSum1) {
  constexpr const char* kSource = "kmCalculator::FTestObs()";
  return WithCallPath("FTestObs()", kClassName, [&]() -> double {
    return WithMatrixErrorsAsKm(kSource, [&]() -> double {
      RequireLength(vResidSum0, vResidSum1, 1, kSource);
      const int iDf1 = NumParameters(k1) - NumParameters(k0);
      const int iDf2 = static_cast<int16_t>(iNumObs - NumParameters(k0));
      // Without added parameters there is no F: 0.0 rather than a division
      // by zero degrees of freedom.
      const double dF = iDf1 > 0 ? FOf(vResidSum0(1), vResidSum1(1),
                                       static_cast<double>(iDf2) / iDf1)
                                 : 0.0;
      test.lNumeratorDF = iDf1;
      test.lDenominatorDF = iDf2;
      test.dF = dF;
      test.dPValue = FPValue(dF, iDf1, iDf2);
      return dF;
    });
  });
}

int kmCalculator::FTestPerm(const kmFTest& test, int16_t i,
                            const ColumnVector& vResidSum0,
                            const ColumnVector& vResidSum1) {
  constexpr const char* kSource = "kmCalculator::FTestPerm()";
  return WithCallPath("FTestPerm()", kClassName, [&]() -> int {
    return WithMatrixErrorsAsKm(kSource, [&]() -> int {
      RequireLength(vResidSum0, vResidSum1, i, kSource);
      if (i < 1) {
        GenerateKmExceptionF("Data set %d does not exist.", kSource,
                             static_cast<int>(i));
      }
      const double r =
          test.lNumeratorDF > 0
              ? static_cast<double>(test.lDenominatorDF) / test.lNumeratorDF
              : 0.0;
      const double dFi = FOf(vResidSum0(i), vResidSum1(i), r);
      return ReachesObservedFExactly(dFi, test.dF) ? 1 : 0;
    });
  });
}
