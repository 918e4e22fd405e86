// kmCalcData: the record in the results file (Write, Read).
#include <utility>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "results/internal/RecordIO.h"
#include "results/kmCalcData.h"

namespace {

using km_results_internal::CheckNotEnded;
using km_results_internal::CheckRange;
using km_results_internal::ReadCount;
using km_results_internal::ReadFlag;
using km_results_internal::ReadKinkmarks;
using km_results_internal::WriteCount;

const char* const kClassName = "kmCalcData";

// Refuses rows that the reader could not bring back as written: the
// variance-covariance rows must form an n x n matrix, the MADWD rows must
// all have the length of the first.
void RequireRowLengths(const KmVector<KmVector<double> >& vRows, size_t nLength,
                       const char* sWhat) {
  for (size_t r = 0; r < vRows.size(); ++r) {
    const size_t nRow = vRows[static_cast<int32_t>(r)].size();
    if (nRow != nLength) {
      GenerateKmExceptionF(
          "Cannot store the %s: row %d holds %d values where %d are "
          "expected.",
          kClassName, sWhat, static_cast<int>(r) + 1, static_cast<int>(nRow),
          static_cast<int>(nLength));
    }
  }
}

void WriteRows(KmIO_File* pIO, const KmVector<KmVector<double> >& vRows) {
  for (const KmVector<double>& vRow : vRows) {
    for (double dValue : vRow) pIO->WriteDouble(dValue);
  }
}

// Reads nRows rows of nLength doubles. Rows that the rest of the file cannot
// hold are refused before any is read, and rows are added one at a time,
// each checked against the end of the file, so a damaged count costs no
// more memory than the file holds.
KmVector<KmVector<double> > ReadRows(KmIO_File* pIO, int nRows, int nLength,
                                     const char* sWhat) {
  KmCheckedReader in = km_results_internal::RecordReader(pIO, kClassName);
  in.SetPart(sWhat);
  in.CheckCount(static_cast<int64_t>(nRows) * nLength, 8);
  KmVector<KmVector<double> > vRows;
  for (int r = 0; r < nRows; ++r) {
    KmVector<double> vRow(static_cast<size_t>(nLength));
    for (int c = 0; c < nLength; ++c) vRow[c] = pIO->ReadDouble();
    CheckNotEnded(pIO, kClassName);
    vRows.push_back(std::move(vRow));
  }
  return vRows;
}

}  // namespace

void kmCalcData::Write(KmIO_File* pIO) const {
  WithCallPath("Write()", kClassName, [&] {
    km_results_internal::CheckFile(pIO, kClassName);
    // Rows the reader could not bring back are refused before the first
    // byte is written.
    RequireRowLengths(vVarCovRows, vVarCovRows.size(),
                      "variance-covariance matrix");
    const size_t nFirstRow = vMADWDValues.empty() ? 0 : vMADWDValues[0].size();
    RequireRowLengths(vMADWDValues, nFirstRow, "MADWD values");

    pIO->WriteShort(static_cast<int16_t>(uFinalSelectedModel));
    pIO->WriteDouble(dAutocorrelation);
    WriteCount(pIO, vModels.size(), kClassName, "models");
    for (const kmTable& model : vModels) model.Write(pIO);
    WriteCount(pIO, vFTests.size(), kClassName, "F tests");
    for (const kmFTest& test : vFTests) test.Write(pIO);
    pIO->WriteBool(bComparison);
    pIO->WriteBool(bValid);
    pIO->WriteString(sBadDescription.GetCString());
    WriteCount(pIO, vCohortLabel.size(), kClassName, "cohort labels");
    for (const KmString& sLabel : vCohortLabel) {
      pIO->WriteString(sLabel.GetCString());
    }
    pIO->WriteBool(bJumpModel);
    pIO->WriteBool(bComparabilityRatio);
    pIO->WriteBool(bCohortData);
    pIO->WriteLong(lSelectionCriterion);
    pIO->WriteShort(static_cast<int16_t>(uBICSelectedModel));
    pIO->WriteShort(static_cast<int16_t>(uBIC3SelectedModel));
    for (double dValue : dSelectionValues) pIO->WriteDouble(dValue);
    WriteCount(pIO, vVarCovRows.size(), kClassName, "variance-covariance rows");
    WriteRows(pIO, vVarCovRows);
    pIO->WriteBool(bMADWD);
    pIO->WriteDouble(dMADWDPsi);
    WriteCount(pIO, vMADWDValues.size(), kClassName, "MADWD rows");
    WriteCount(pIO, nFirstRow, kClassName, "MADWD values per row");
    WriteRows(pIO, vMADWDValues);
  });
}

void kmCalcData::Read(KmIO_File* pIO, double dFileVersion,
                      double dSessionProgramVersion) {
  WithCallPath("Read()", kClassName, [&] {
    km_results_internal::CheckFile(pIO, kClassName);
    // Fill a fresh record and take it over only once the whole record has
    // been read: fields of older layouts keep their constructor values, and
    // a refused record leaves this one untouched.
    kmCalcData read;
    read.uFinalSelectedModel =
        ReadKinkmarks(pIO, kClassName, "the final selected model", true);
    // The autocorrelation is stored by sessions after 3.54, and by files
    // from 3.42 on whose session is older than 3.44; the two conditions
    // never hold together.
    if (dSessionProgramVersion > 3.54 ||
        (dFileVersion >= 3.42 && dSessionProgramVersion < 3.44)) {
      read.dAutocorrelation = pIO->ReadDouble();
    }
    CheckNotEnded(pIO, kClassName);

    const int nModels = ReadCount(pIO, kClassName, "models");
    for (int i = 0; i < nModels; ++i) {
      kmTable model;
      model.Read(pIO, dFileVersion);
      CheckNotEnded(pIO, kClassName);
      read.vModels.push_back(std::move(model));
    }
    const int nTests = ReadCount(pIO, kClassName, "F tests");
    for (int i = 0; i < nTests; ++i) {
      kmFTest test;
      test.Read(pIO);
      read.vFTests.push_back(test);
    }

    if (dFileVersion > 3.3) {
      read.bComparison = ReadFlag(pIO, kClassName, "the comparison flag");
      read.bValid = ReadFlag(pIO, kClassName, "the valid flag");
      KmString sText;
      pIO->ReadString(sText);
      CheckNotEnded(pIO, kClassName);
      read.SetCohortBadDescription(sText);
      const int nLabels = ReadCount(pIO, kClassName, "cohort labels");
      KmVector<KmString> vLabels;
      for (int i = 0; i < nLabels; ++i) {
        pIO->ReadString(sText);
        CheckNotEnded(pIO, kClassName);
        vLabels.push_back(sText);
      }
      read.SetCohortLabel(vLabels);
    }
    if (dFileVersion >= 4.321) {
      read.bJumpModel = ReadFlag(pIO, kClassName, "the jump-model flag");
      read.bComparabilityRatio =
          ReadFlag(pIO, kClassName, "the comparability-ratio flag");
    }
    if (dFileVersion >= 4.402) {
      read.bCohortData = ReadFlag(pIO, kClassName, "the cohort-data flag");
    }
    if (dFileVersion >= 4.6) {
      read.lSelectionCriterion = pIO->ReadLong();
      read.uBICSelectedModel =
          ReadKinkmarks(pIO, kClassName, "the BIC-selected model", true);
      read.uBIC3SelectedModel =
          ReadKinkmarks(pIO, kClassName, "the BIC3-selected model", true);
      for (double& dValue : read.dSelectionValues) dValue = pIO->ReadDouble();
    }
    CheckNotEnded(pIO, kClassName);
    // Files of 4.702 to 4.801 carry the MADWD block but no var-cov rows.
    if (dFileVersion >= 4.802) {
      const int n = ReadCount(pIO, kClassName, "variance-covariance rows");
      read.vVarCovRows = ReadRows(pIO, n, n, "variance-covariance values");
    }
    if (dFileVersion >= 4.702) {
      read.bMADWD = ReadFlag(pIO, kClassName, "the MADWD flag");
      read.dMADWDPsi = pIO->ReadDouble();
      const int nRows = ReadCount(pIO, kClassName, "MADWD rows");
      const int nLength = ReadCount(pIO, kClassName, "MADWD values per row");
      // The writer stores a row length of 0 when there are no rows.
      if (nRows == 0)
        CheckRange(nLength, 0, 0, kClassName,
                   "a MADWD row length with no rows");
      if (nRows > 0 && nLength > 0) {
        read.vMADWDValues = ReadRows(pIO, nRows, nLength, "MADWD values");
      }
    }
    TakeOver(read);
  });
}
