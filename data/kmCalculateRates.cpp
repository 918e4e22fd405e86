// kmCalculateRates: the rate shares of the clustering, and
// SwapFirstTwoColumns.
#include "data/kmCalculateRates.h"

#include <cmath>
#include <utility>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"

namespace {

const char* const kClassName = "kmCalculateRates";

// Rates are given per 100,000 population.
constexpr double kRateMultiplier = 100000.0;

// The group code of a record: dValue truncated toward zero, or false when
// dValue is not a finite number an int32 can hold (converting such a value
// is undefined behaviour, and the readers mark missing codes with -1e30).
bool CodeOf(double dValue, int32_t* pCode) {
  if (!(dValue > -2147483649.0 && dValue < 2147483648.0)) return false;
  *pCode = static_cast<int32_t>(dValue);
  return true;
}

}  // namespace

kmCalculateRates::kmCalculateRates(const kmSession* /*pSession*/) {}

kmCalculateRates::~kmCalculateRates() = default;

void kmCalculateRates::ComputeAgeAdjRates_Clustering(
    kmValueTable table, int iCodeCol, int iCountCol, int iPopCol,
    int iStdPopCol, KmVector<kmClusterFormat> clusterFormats) {
  // The result is stored only once every value is computed, so a failure
  // leaves it empty.
  WithCallPath("ComputeAgeAdjRates_Clustering()", kClassName, [&] {
    vResult_.clear();
    vWorkingRows_.clear();
    if (table.empty()) return;
    if (clusterFormats.empty()) {
      GenerateKmException(
          "No adjustment-group format was given for the age-adjusted rates "
          "of the cohort.",
          kClassName);
    }
    const int columns[] = {iCodeCol, iCountCol, iPopCol, iStdPopCol};
    int iHighestCol = 0;
    for (int iCol : columns) {
      if (iCol < 0) {
        GenerateKmExceptionF(
            "Invalid column number %d for the age-adjusted "
            "rate calculation.",
            kClassName, iCol);
      }
      if (iCol > iHighestCol) iHighestCol = iCol;
    }
    const kmClusterFormat& format = clusterFormats[0];
    const int32_t nGroups = static_cast<int32_t>(format.groups.size());

    kmValueTable result;
    for (int32_t v = 0; v < static_cast<int32_t>(table.size()); ++v) {
      const kmValueRows& records = table[v];
      vWorkingRows_.assign(nGroups, kmValueRow(3, 0.0));

      double dTotalStd = 0.0;
      for (int32_t r = 0; r < static_cast<int32_t>(records.size()); ++r) {
        const kmValueRow& record = records[r];
        if (static_cast<int32_t>(record.size()) <= iHighestCol) {
          GenerateKmExceptionF(
              "Record %d of independent value number %d holds %d values; the "
              "age-adjusted rate calculation reads column %d.",
              kClassName, r + 1, v + 1, static_cast<int>(record.size()),
              iHighestCol);
        }
        dTotalStd += record[iStdPopCol];
      }

      for (const kmValueRow& record : records) {
        int32_t iCode = 0;
        if (!CodeOf(record[iCodeCol], &iCode)) continue;
        const int32_t g = format.FindFormatIndexOfCode(iCode);
        if (g < 0) continue;
        vWorkingRows_[g][kCount] += record[iCountCol];
        vWorkingRows_[g][kPopulation] += record[iPopCol];
        vWorkingRows_[g][kStdPopulation] += record[iStdPopCol];
      }

      for (kmValueRow& row : vWorkingRows_) {
        const double c = row[kCount];
        const double p = row[kPopulation];
        const double s = row[kStdPopulation];
        const double dWeight = dTotalStd > 0.0 ? s / dTotalStd : 0.0;
        const double dRate = p > 0.0 ? c / p * kRateMultiplier : 0.0;
        const double dShare = dRate * dWeight;
        double dVariance = 0.0;
        if (p > 0.0 && dTotalStd != 0.0) {
          const double dStdShare = s / dTotalStd;
          dVariance = c / (p * p) * dStdShare * dStdShare;
        }
        const double dSE = (p > 0.0 && dRate > 0.0 && dVariance >= 0.0)
                               ? std::sqrt(dVariance) * kRateMultiplier
                               : kMissing;
        row.push_back(dShare);
        row.push_back(dSE);
      }
      result.push_back(vWorkingRows_);
    }
    vResult_ = std::move(result);
  });
}

void SwapFirstTwoColumns(kmValueRows* pTable) {
  if (pTable == nullptr) return;
  for (kmValueRow& row : *pTable) {
    if (row.size() < 2) continue;
    std::swap(row[0], row[1]);
  }
}
