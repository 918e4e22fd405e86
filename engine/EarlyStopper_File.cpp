// EarlyStopper_File: construction, ReadTableArray and the cell access.
#include "engine/EarlyStopper_File.h"

#include <cmath>
#include <cstddef>
#include <new>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"

namespace {

constexpr const char* kClassName = "EarlyStopper_File";

enum CellCode : uint8_t {
  kNoStop = 0,
  kReject = 1,
  kAccept = 2,
  kBoundary = 3,
};

struct DecodedRow {
  int i;
  int j;
  uint8_t code;
};

// The code of one row's decision; the decision must lie in [0, 1].
uint8_t CodeOf(double dDecision, int iRow) {
  if (dDecision == 0.0) return kAccept;
  if (dDecision == 1.0) return kReject;
  if (dDecision > 0.0 && dDecision < 1.0) return kBoundary;
  GenerateKmExceptionF(
      "Row %d of the stopping table has the decision %g; it must lie "
      "between 0 and 1.",
      kClassName, iRow + 1, dDecision);
}

// i and j of one row, truncated, checked against the table's limits.
void IndicesOf(const EarlyStopperRow& row, int iRow, int& i, int& j) {
  const double dMax = EarlyStopper_File::kMaxIndex;
  if (!(row[1] >= 0.0 && row[1] < dMax + 1.0 && row[0] < dMax + 1.0)) {
    GenerateKmExceptionF(
        "Row %d of the stopping table, (%g, %g), lies outside the table's "
        "limits of 0 to %d.",
        kClassName, iRow + 1, row[0], row[1], EarlyStopper_File::kMaxIndex);
  }
  j = static_cast<int>(std::trunc(row[0]));
  i = static_cast<int>(std::trunc(row[1]));
}

}  // namespace

EarlyStopper_File::EarlyStopper_File(const std::vector<EarlyStopperRow>& vRows)
    : dProbability_(0.0), iNumCols_(0), iNumRows_(0) {
  ReadTableArray(vRows);
}

const uint8_t* EarlyStopper_File::GetCell(int i, int j) const {
  return &vCells_[static_cast<size_t>(i) * (iNumCols_ + 1) + j];
}

void EarlyStopper_File::ReadTableArray(
    const std::vector<EarlyStopperRow>& vRows) {
  WithCallPath("ReadTableArray()", kClassName, [&] {
    dProbability_ = 0.0;
    iNumCols_ = 0;
    iNumRows_ = 0;
    // Until the rows are decoded the table is the single cell (0, 0), so
    // that a failed decoding leaves nothing CanStop could read past.
    vCells_.assign(1, kNoStop);
    std::vector<DecodedRow> vKept;
    double dProbability = 0.0;
    int iCols = 0;
    int iRows = 0;
    size_t r = 0;
    for (; r < vRows.size() && vRows[r][0] > 0.0; ++r) {
      DecodedRow row{0, 0, kNoStop};
      IndicesOf(vRows[r], static_cast<int>(r), row.i, row.j);
      row.code = CodeOf(vRows[r][2], static_cast<int>(r));
      if (row.code == kBoundary) dProbability = vRows[r][2];
      if (row.j > iCols) iCols = row.j;
      if (row.i > iRows) iRows = row.i;
      vKept.push_back(row);
    }
    // A NaN first value also ends the loop; only a row that really is not
    // greater than 0 is an end row.
    if (r == vRows.size() || std::isnan(vRows[r][0])) {
      GenerateKmException("The stopping table has no end row.", kClassName);
    }
    std::vector<uint8_t> vCells;
    try {
      vCells.assign(static_cast<size_t>(iRows + 1) * (iCols + 1), kNoStop);
    } catch (std::bad_alloc&) {
      GenerateKmExceptionF(
          "Not enough memory for a stopping table of %d by %d cells.",
          kClassName, iRows + 1, iCols + 1);
    }
    vCells_.swap(vCells);
    iNumCols_ = iCols;
    iNumRows_ = iRows;
    dProbability_ = dProbability;
    for (const DecodedRow& row : vKept) {
      vCells_[static_cast<size_t>(row.i) * (iCols + 1) + row.j] = row.code;
    }
  });
}
