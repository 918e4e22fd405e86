// kmCalculationHandler: CompressData and ProcessClusterCohortData, the data
// preparation of a multi-group clustering run.
#include <newmat.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <utility>

#include "data/kmCalculateRates.h"
#include "data/kmClusterCompression.h"
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

}  // namespace

void kmCalculationHandler::CompressData(const kmValueTable& records) {
  WithCallPath("CompressData", kClassName, [&] {
    if (pRatesCalculator_ == nullptr) GenerateKmException(kNoRates, kClassName);
    kmClusterCompression compression(pSession_.get());

    KmVector<kmAdjustVarFormat> formats = pSession_->GetAdjustVarFormats();
    if (formats.empty() && pSession_->GetKMVarPosition(kmVarAdjustment) != 0) {
      const kmVariable& adjust = pSession_->GetKMVar(kmVarAdjustment);
      if (adjust.HasFormat()) {
        const KmFormat& format = adjust.GetFormat();
        for (int32_t iLine = 0; iLine < format.GetNumLines(); ++iLine) {
          kmAdjustVarFormat group;
          group.sLabel = format.GetLabel(iLine);
          group.codes.push_back(iLine);
          formats.push_back(group);
        }
      }
    }

    // Count, population and standard population of every record.
    kmValueTable values;
    for (const kmValueRows& group : records) {
      kmValueRows rows;
      for (const kmValueRow& record : group) {
        if (record.size() < 4) {
          GenerateKmExceptionF(
              "A clustered record holds %d values; 4 are needed (adjustment "
              "code, count, population, standard population).",
              kClassName, static_cast<int>(record.size()));
        }
        rows.push_back(kmValueRow({record[1], record[2], record[3]}));
      }
      values.push_back(rows);
    }

    compression.CompressAgeGroups(values, formats);
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
    const size_t nValues = rates.size();
    iCurrentNumObs_ = static_cast<int16_t>(
        nValues > static_cast<size_t>(std::numeric_limits<int16_t>::max())
            ? std::numeric_limits<int16_t>::max()
            : nValues);
  });
}
