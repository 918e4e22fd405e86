// kmTable: Write and Read of the record in the results file.
#include <cstdint>
#include <exception>
#include <limits>
#include <vector>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/kmTools.h"
#include "results/internal/RecordIO.h"
#include "results/kmTable.h"

namespace {
const char kClass[] = "kmTable";
const char kReadSource[] = "kmTable::Read(KmIO_File *pIO, double dFileVersion)";

// File versions at which fields were added to the record.
constexpr double kStatisticsListVersion = 3.1;  // counted statistics/counts
constexpr double kParallelVersion = 3.41;       // parallel segments
constexpr double kAAPCVersion = 4.05;           // AAPCs
constexpr double kFlagsVersion = 4.702;         // MADWD and spare flags

// Statistics held by a record of a file older than kStatisticsListVersion.
constexpr int32_t kOldStatistics = 3;

using km_results_internal::CheckNotEnded;
using km_results_internal::ReadCount;
using km_results_internal::ReadFlag;
using km_results_internal::WriteCount;

// Writes a list as a Short count followed by its elements.
template <typename T>
void WriteList(KmIO_File* pIO, const KmVector<T>& values, const char* sWhat) {
  WriteCount(pIO, values.size(), kClass, sWhat);
  for (const T& value : values) value.Write(pIO);
}

// Reads a Short count, resizes values to it and reads the elements, each
// with the file version.
template <typename T>
void ReadList(KmIO_File* pIO, double dFileVersion, KmVector<T>& values,
              const char* sWhat) {
  const int32_t iCount = ReadCount(pIO, kClass, sWhat);
  values.resize(static_cast<size_t>(iCount));
  for (T& value : values) value.Read(pIO, dFileVersion);
}

// The same for kmBetaCoefficient, whose layout has no version gate.
void ReadList(KmIO_File* pIO, KmVector<kmBetaCoefficient>& values,
              const char* sWhat) {
  const int32_t iCount = ReadCount(pIO, kClass, sWhat);
  values.resize(static_cast<size_t>(iCount));
  for (kmBetaCoefficient& value : values) value.Read(pIO);
}

// Writes Int columns, Int rows, then the elements row by row. The loops
// count from 0 below the dimensions, so no bound can overflow.
void WriteMatrix(KmIO_File* pIO, const NEWMAT::Matrix& m) {
  const int iRows = m.Nrows();
  const int iCols = m.Ncols();
  pIO->WriteInt(iCols);
  pIO->WriteInt(iRows);
  for (int i = 0; i < iRows; ++i) {
    for (int j = 0; j < iCols; ++j) pIO->WriteDouble(m(i + 1, j + 1));
  }
}

// Reads the layout of WriteMatrix into m. The stored dimensions are not
// trusted: a negative one, more elements than a matrix can index, or a
// size the bytes left in the file cannot stand behind is refused. Each
// dimension counts as at least one Double, so that a matrix of 0 columns
// cannot declare rows beyond what its record holds either. The elements
// are collected before the matrix is sized, so a damaged header cannot make
// it allocate more than the file holds.
void ReadMatrix(KmIO_File* pIO, NEWMAT::Matrix& m, const char* sWhat) {
  KmCheckedReader in = km_results_internal::RecordReader(pIO, kClass);
  const int32_t iCols = in.ReadInt();
  const int32_t iRows = in.ReadInt();
  const int64_t iElements = static_cast<int64_t>(iRows) * iCols;
  const int64_t iDoublesLeft = in.BytesLeft() < 0
                                   ? std::numeric_limits<int32_t>::max()
                                   : in.BytesLeft() / 8;
  if (iRows < 0 || iCols < 0 || iRows > iDoublesLeft || iCols > iDoublesLeft ||
      iElements > iDoublesLeft ||
      iElements > std::numeric_limits<int32_t>::max()) {
    GenerateKmExceptionF(
        "This KMO is either corrupt or not compatible with this version of "
        "Kinkmark.  The KMO read process found a %d x %d %s matrix.",
        kClass, iRows, iCols, sWhat);
  }
  std::vector<double> elements;
  for (int64_t k = 0; k < iElements; ++k) elements.push_back(in.ReadDouble());
  m.ReSize(iRows, iCols);
  size_t k = 0;
  for (int i = 0; i < iRows; ++i) {
    for (int j = 0; j < iCols; ++j) m(i + 1, j + 1) = elements[k++];
  }
}
}  // namespace

void kmTable::Write(KmIO_File* pIO) const {
  WithCallPath("Write()", kClass, [&] {
    km_results_internal::CheckFile(pIO, kClass);
    WriteCount(pIO, statistics_.size(), kClass, "statistics");
    for (double dValue : statistics_) pIO->WriteDouble(dValue);
    WriteCount(pIO, counts_.size(), kClass, "counts");
    for (int16_t iValue : counts_) pIO->WriteShort(iValue);
    WriteList(pIO, kinkmarks_, "kinkmarks");
    WriteList(pIO, segments_, "segments");
    WriteList(pIO, parallelSegments_, "parallel segments");
    WriteList(pIO, slopeDiffs_, "slope differences");
    WriteMatrix(pIO, data_);
    WriteMatrix(pIO, covariance_);
    WriteList(pIO, aapcs_, "AAPCs");
    pIO->WriteBool(bMADWDPass_);
    pIO->WriteBool(bSpare_);
  });
}

void kmTable::Read(KmIO_File* pIO, double dFileVersion) {
  WithCallPath("Read()", kClass, [&] {
    try {
      km_results_internal::CheckFile(pIO, kClass);
      // Read into a copy so that a record cut short leaves this one intact.
      kmTable read(*this);
      if (kmTools::CompareVersionNumbers(dFileVersion,
                                         kStatisticsListVersion) == 1) {
        for (int32_t i = 0; i < kOldStatistics; ++i) {
          read.statistics_[i] = pIO->ReadDouble();
        }
        for (int32_t i = 0; i < kNumCounts; ++i) {
          read.counts_[i] = pIO->ReadShort();
        }
        CheckNotEnded(pIO, kClass);
      } else {
        read.ReadCurrentCounts(pIO);
      }
      ReadList(pIO, dFileVersion, read.kinkmarks_, "kinkmarks");
      ReadList(pIO, dFileVersion, read.segments_, "segments");
      if (dFileVersion >= kParallelVersion) {
        ReadList(pIO, dFileVersion, read.parallelSegments_,
                 "parallel segments");
      }
      ReadList(pIO, read.slopeDiffs_, "slope differences");
      ReadMatrix(pIO, read.data_, "data");
      ReadMatrix(pIO, read.covariance_, "covariance");
      if (dFileVersion >= kAAPCVersion) {
        ReadList(pIO, dFileVersion, read.aapcs_, "AAPCs");
      }
      if (dFileVersion >= kFlagsVersion) {
        read.bMADWDPass_ = ReadFlag(pIO, kClass, "the MADWD-pass flag");
        read.bSpare_ = ReadFlag(pIO, kClass, "the spare flag");
      }
      *this = read;
    } catch (KmException&) {
      throw;
    } catch (std::exception& e) {
      throw KmExceptionFromStandard(e, kReadSource);
    } catch (...) {
      ThrowKmException("Internal system error occured.", kReadSource);
    }
  });
}

// Reads the counted statistics and counts of a file of version 3.1 or
// later.
void kmTable::ReadCurrentCounts(KmIO_File* pIO) {
  const int32_t iStatistics = pIO->ReadShort();
  CheckNotEnded(pIO, kClass);
  if (iStatistics < 0 || iStatistics > kMaxStoredStatistics) {
    // The message continues the compatibility sentence with a second
    // one, each part carrying its own two blanks.
    GenerateKmExceptionF(
        "This KMO is either corrupt or not compatible with this version of "
        "Kinkmark.    The KMO read process is trying to read in %d shorts.",
        kReadSource, static_cast<int>(iStatistics));
  }
  if (statistics_.size() < static_cast<size_t>(iStatistics)) {
    statistics_.resize(static_cast<size_t>(iStatistics));
  }
  for (int32_t i = 0; i < iStatistics; ++i) statistics_[i] = pIO->ReadDouble();
  for (int32_t i = iStatistics; i < kNumStatistics; ++i) statistics_[i] = 0.0;
  CheckNotEnded(pIO, kClass);

  const int32_t iCounts = ReadCount(pIO, kClass, "counts");
  if (counts_.size() < static_cast<size_t>(iCounts)) {
    counts_.resize(static_cast<size_t>(iCounts));
  }
  for (int32_t i = 0; i < iCounts; ++i) counts_[i] = pIO->ReadShort();
  for (int32_t i = iCounts; i < kNumCounts; ++i) counts_[i] = 0;
  CheckNotEnded(pIO, kClass);
}
