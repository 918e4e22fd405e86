// kmClusterCompression: CompressAgeGroups, CompressForward,
// CompressBackward, InternalCompressForward, InternalCompressBackward and
// SetGroupStatistics.
#include "data/kmClusterCompression.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char* const kClassName = "kmClusterCompression";

// Elements of an input row that are summed over a merged group: count,
// population and standard population.
constexpr int32_t kSummedValues = 3;

int32_t Size(const kmValueTable& table) {
  return static_cast<int32_t>(table.size());
}

// True when the count (element 0) of row iRow is at or below dThreshold for
// some independent value of table.
bool RowHasSmallCount(const kmValueTable& table, int32_t iRow,
                      double dThreshold) {
  for (int32_t v = 0; v < Size(table); ++v) {
    if (table[v][iRow][0] <= dThreshold) return true;
  }
  return false;
}

// Throws an input error unless every entry of table holds exactly nGroups
// rows of at least three values. Every later step indexes rows by group
// position, so a cohort with a record too many or too few for some
// independent value is stopped here instead of being merged wrongly.
void CheckTableShape(const kmValueTable& table, int32_t nGroups) {
  for (int32_t v = 0; v < Size(table); ++v) {
    const int32_t nRows = static_cast<int32_t>(table[v].size());
    if (nRows != nGroups) {
      GenerateKmInputExceptionF(
          "Independent value number %d of the cohort has %d adjustment-group "
          "records, but there are %d adjustment groups.  Each independent "
          "value needs one record per adjustment group.",
          kClassName, v + 1, nRows, nGroups);
    }
    for (int32_t r = 0; r < nRows; ++r) {
      const int32_t nValues = static_cast<int32_t>(table[v][r].size());
      if (nValues < kSummedValues) {
        GenerateKmInputExceptionF(
            "Record %d of independent value number %d holds %d values; a "
            "count, a population and a standard population are needed.",
            kClassName, r + 1, v + 1, nValues);
      }
    }
  }
}

// The label of a merged range: the single group's label, or the first and
// last labels joined by " to ".
KmString RangeLabel(const KmVector<kmAdjustVarFormat>& vGroups,
                    const kmGroupRange& range) {
  KmString sLabel = vGroups[range.iFirst].sLabel;
  if (range.iFirst != range.iLast) {
    sLabel << " to " << vGroups[range.iLast].sLabel;
  }
  return sLabel;
}

}  // namespace

bool kmClusterCompression::CompressAgeGroups(
    kmValueTable table, KmVector<kmAdjustVarFormat> vGroups) {
  return WithCallPath("CompressAgeGroups()", kClassName, [&]() -> bool {
    const int32_t nGroups = static_cast<int32_t>(vGroups.size());
    CheckTableShape(table, nGroups);

    KmVector<kmGroupRange> ranges;
    for (int32_t i = 0; i < nGroups; ++i) ranges.push_back({i, i});

    bool bFound = false;
    for (int32_t g = 0; g < nGroups && !bFound; ++g) {
      bFound = RowHasSmallCount(table, g, dThreshold_);
    }
    if (bFound) {
      if (pSession_->GetInt(kmOptCompressBackward) != 0) {
        CompressBackward(table, &ranges);
      } else {
        CompressForward(table, &ranges);
      }
    }

    kmValueTable compressed;
    KmVector<kmAdjustVarFormat> vCompressed;
    if (!bFound) {
      compressed = table;
      vCompressed = vGroups;
      for (kmAdjustVarFormat& group : vCompressed) group.bMerged = false;
    } else {
      for (const kmGroupRange& range : ranges) {
        kmAdjustVarFormat group;
        group.sLabel = RangeLabel(vGroups, range);
        for (int32_t code = range.iFirst; code <= range.iLast; ++code) {
          group.codes.push_back(code);
        }
        group.bMerged = range.iFirst != range.iLast;
        vCompressed.push_back(group);
      }
      for (int32_t v = 0; v < Size(table); ++v) {
        kmValueRows rows;
        for (const kmGroupRange& range : ranges) {
          kmValueRow sum(kSummedValues, 0.0);
          for (int32_t k = range.iFirst; k <= range.iLast; ++k) {
            for (int32_t e = 0; e < kSummedValues; ++e)
              sum[e] += table[v][k][e];
          }
          rows.push_back(sum);
        }
        compressed.push_back(rows);
      }
    }
    SetGroupStatistics(compressed, vCompressed);

    compressedTable_ = compressed;
    vCompressedGroups_ = vCompressed;
    kmClusterFormat format;
    format.iFirstValue = static_cast<int32_t>(vClusterFormats_.size());
    format.groups = vCompressedGroups_;
    format.sName = "";
    format.iSecondValue = 0;
    vClusterFormats_.push_back(format);
    return true;
  });
}

bool kmClusterCompression::CompressForward(kmValueTable table,
                                           KmVector<kmGroupRange>* pRanges) {
  return WithCallPath("CompressForward()", kClassName, [&]() -> bool {
    // A last group too small to be absorbed forward goes into the group
    // before it; the working counts are those the forward pass left.
    if (InternalCompressForward(table, *pRanges)) {
      InternalCompressBackward(table, *pRanges);
    }
    return true;
  });
}

bool kmClusterCompression::CompressBackward(kmValueTable table,
                                            KmVector<kmGroupRange>* pRanges) {
  return WithCallPath("CompressBackward()", kClassName, [&]() -> bool {
    InternalCompressBackward(table, *pRanges);
    return true;
  });
}

bool kmClusterCompression::InternalCompressForward(
    kmValueTable& table, KmVector<kmGroupRange>& ranges) {
  return WithCallPath("InternalCompressForward()", kClassName, [&]() -> bool {
    const int32_t nRanges = static_cast<int32_t>(ranges.size());
    if (nRanges == 0) return false;
    KmVector<kmGroupRange> merged;
    merged.push_back(ranges[0]);
    bool bLastSmall = false;
    int32_t j = 0;  // output group; its accumulated counts are in row j
    for (int32_t g = 0; g < nRanges; ++g) {
      const bool bLast = g == nRanges - 1;
      if (RowHasSmallCount(table, j, dThreshold_)) {
        if (bLast) {
          bLastSmall = true;
          break;
        }
        for (int32_t v = 0; v < Size(table); ++v) {
          table[v][j][0] += table[v][g + 1][0];
        }
        merged[j].iLast = ranges[g + 1].iLast;
        continue;
      }
      if (bLast) break;
      merged.push_back(ranges[g + 1]);
      for (int32_t v = 0; v < Size(table); ++v) {
        table[v][j + 1][0] = table[v][g + 1][0];
      }
      ++j;
    }
    ranges = merged;
    return bLastSmall;
  });
}

void kmClusterCompression::InternalCompressBackward(
    kmValueTable& table, KmVector<kmGroupRange>& ranges) {
  WithCallPath("InternalCompressBackward()", kClassName, [&] {
    KmVector<kmGroupRange> work = ranges;
    for (int32_t r = static_cast<int32_t>(work.size()) - 1; r >= 1; --r) {
      if (!RowHasSmallCount(table, r, dThreshold_)) continue;
      for (int32_t v = 0; v < Size(table); ++v) {
        table[v][r - 1][0] += table[v][r][0];
        table[v].erase(table[v].begin() + r);
      }
      work[r - 1].iLast = work[r].iLast;
      work.erase(work.begin() + r);
    }
    ranges = work;
  });
}

void kmClusterCompression::SetGroupStatistics(
    const kmValueTable& table, KmVector<kmAdjustVarFormat>& vGroups) {
  WithCallPath("SetGroupStatistics()", kClassName, [&] {
    const int32_t nValues = Size(table);
    for (int32_t g = 0; g < static_cast<int32_t>(vGroups.size()); ++g) {
      double dMin = 0.0;
      double dMax = 0.0;
      double dSum = 0.0;
      for (int32_t v = 0; v < nValues; ++v) {
        const double dCount = table[v][g][0];
        if (v == 0) {
          dMin = dCount;
          dMax = dCount;
          dSum = dCount;
          continue;
        }
        if (dCount < dMin) dMin = dCount;
        if (dCount > dMax) dMax = dCount;
        dSum += dCount;
      }
      vGroups[g].dValue1 = dMin;
      vGroups[g].dValue2 = dMax;
      // The mean is taken over the independent values actually summed, not
      // over the lines of the independent variable's format: that format
      // may be absent (the mean would always be 0) or list values the
      // cohort does not have.
      vGroups[g].dValue3 = nValues > 0 ? dSum / nValues : 0.0;
    }
  });
}
