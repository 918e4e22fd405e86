// kmCalculationHandler: CompressData and ProcessClusterCohortData, the data
// preparation of a multi-group clustering run.
#include <newmat.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <utility>

#include "data/kmCalculateRates.h"
#include "data/kmClusterCompression.h"
#include "data/kmReadData.h"
#include "engine/kmCalculationHandler.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/KmMatrixErrors.h"
#include "session/kmAdjustVarFormat.h"
#include "session/kmSession.h"
#include "session/kmVariable.h"

namespace {

constexpr const char* kClassName = "kmCalculationHandler";
constexpr const char* kNoRates =
    "No rates calculator: the run is not a clustering run.";

// n as a count of observations, at most the largest a short holds.
int16_t ClampedCount(size_t n) {
  const size_t nMax = static_cast<size_t>(std::numeric_limits<int16_t>::max());
  return static_cast<int16_t>(n > nMax ? nMax : n);
}

}  // namespace

void kmCalculationHandler::CompressData(const kmValueTable& records) {
  WithCallPath("CompressData", kClassName, [&] {
    if (pRatesCalculator_ == nullptr) GenerateKmException(kNoRates, kClassName);
    kmClusterCompression compression(pSession_.get());
    compression.SetCodeGroups(pReadData_->GetAdjustCodes());
    compression.CompressCohort(records);
    pRatesCalculator_->ComputeAgeAdjRates_Clustering(
        records, 0, 1, 2, 3, compression.GetClusterFormats());
  });
}

void kmCalculationHandler::ProcessClusterCohortData(int /*iCohortIndex*/) {
  WithCallPath("ProcessClusterCohortData()", kClassName, [&] {
    if (pRatesCalculator_ == nullptr) GenerateKmException(kNoRates, kClassName);
    const kmValueTable rates = pRatesCalculator_->GetAgeAdjRateTable();

    kmValueRows table;
    for (size_t a = 0; a < rates.size(); ++a) {
      for (size_t b = 0; b < rates[a].size(); ++b) {
        const kmValueRow& rate = rates[a][b];
        if (rate.size() < 2) {
          GenerateKmException("A rate row holds fewer than two values.",
                              kClassName);
        }
        table.push_back(
            kmValueRow({static_cast<double>(a), static_cast<double>(b),
                        rate[rate.size() - 2], rate[rate.size() - 1]}));
      }
    }
    SwapFirstTwoColumns(&table);

    WithMatrixErrorsAsKm("ProcessClusterCohortData()", [&] {
      const int iRows = static_cast<int>(table.size());
      auto pMatrix = std::make_unique<NEWMAT::Matrix>(iRows, 3);
      vClusterRows_.clear();
      for (int r = 0; r < iRows; ++r) {
        const kmValueRow& row = table[r];
        KmString sRow;
        sRow << static_cast<int32_t>(row[0]);
        vClusterRows_.push_back(sRow);
        (*pMatrix)(r + 1, 1) = row[1];
        (*pMatrix)(r + 1, 2) = row[2];
        (*pMatrix)(r + 1, 3) = row[3];
      }
      pClusterMatrix_ = std::move(pMatrix);
    });
    iCurrentNumObs_ = ClampedCount(rates.size());
  });
}

void kmCalculationHandler::RefusedClusterCohort(size_t nValues) {
  WithMatrixErrorsAsKm("RefusedClusterCohort()", [&] {
    vClusterRows_.clear();
    pClusterMatrix_ = std::make_unique<NEWMAT::Matrix>(0, 3);
  });
  iCurrentNumObs_ = ClampedCount(nValues);
}
