// A stopping table decoded from its rows.
#ifndef KM_ENGINE_EARLYSTOPPER_FILE_H
#define KM_ENGINE_EARLYSTOPPER_FILE_H

#include <array>
#include <cstdint>
#include <vector>

#include "engine/EarlyStopper.h"

// One row of a stopping table: (j exceedances, i data sets, decision). The
// decision is 1.0 (reject the null model), 0.0 (keep it) or, on the one
// boundary row, the probability strictly between them with which the
// boundary rejects. A row whose first value is not greater than 0 ends the
// table and is not part of it.
using EarlyStopperRow = std::array<double, 3>;

// A stopping table built from its rows and held as one code byte per cell.
class EarlyStopper_File : public EarlyStopper {
 public:
  // Largest i or j a table may hold; the engine's tables stay below 10000.
  static constexpr int kMaxIndex = 1000000;

  // Decodes vRows (ReadTableArray).
  // Throws: as ReadTableArray.
  explicit EarlyStopper_File(const std::vector<EarlyStopperRow>& vRows);

  EarlyStopper_File(const EarlyStopper_File&) = delete;
  EarlyStopper_File& operator=(const EarlyStopper_File&) = delete;

  const uint8_t* GetCell(int i, int j) const override;
  double GetProbability() const override { return dProbability_; }
  int GetNumCols() const override { return iNumCols_; }
  int GetNumRows() const override { return iNumRows_; }

  // Replaces the table by the rows of vRows up to the first whose j is not
  // greater than 0: j and i are truncated to whole numbers, the dimensions
  // become the largest j and i seen, the cell (i, j) of each row gets code
  // 3 (and the probability its decision) when 0 < decision < 1, code 2 when
  // it is 0.0 and code 1 when it is 1.0; every other cell is 0.
  // Throws: KmException (source "EarlyStopper_File", call path
  // "ReadTableArray()") for rows without an end row, an i outside
  // 0..kMaxIndex or a j above kMaxIndex, or a decision that is not in
  // [0, 1]; the table is then empty.
  void ReadTableArray(const std::vector<EarlyStopperRow>& vRows);

 private:
  double dProbability_;
  int iNumCols_;
  int iNumRows_;
  // (iNumRows_ + 1) rows of (iNumCols_ + 1) codes, row by row.
  std::vector<uint8_t> vCells_;
};

#endif  // KM_ENGINE_EARLYSTOPPER_FILE_H
