// kmCalcData: the record in the results file (Write, Read).
#include <utility>

#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "results/internal/CohortRecordIO.h"
#include "results/kmCalcData.h"

namespace {

using km_results_cohort::ReadShortCount;
using km_results_cohort::RefuseIfEnded;
using km_results_cohort::ShortCount;

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

// Reads nRows rows of nLength doubles. Rows are added one at a time, each
// checked against the end of the file, so a damaged count costs no more
// memory than the file holds.
KmVector<KmVector<double> > ReadRows(KmIO_File* pIO, int nRows, int nLength,
                                     const char* sWhat) {
  KmVector<KmVector<double> > vRows;
  for (int r = 0; r < nRows; ++r) {
    KmVector<double> vRow(static_cast<size_t>(nLength));
    for (int c = 0; c < nLength; ++c) vRow[c] = pIO->ReadDouble();
    RefuseIfEnded(pIO, sWhat, kClassName);
    vRows.push_back(std::move(vRow));
  }
  return vRows;
}

}  // namespace

void kmCalcData::Write(KmIO_File* pIO) const {
  try {
    km_results_cohort::RequireFile(pIO, kClassName);
    // Everything that could refuse the record is checked before the first
    // byte is written, so a refused record leaves no partial bytes behind.
    const int16_t nModels = ShortCount(vModels.size(), "models", kClassName);
    const int16_t nTests = ShortCount(vFTests.size(), "F tests", kClassName);
    const int16_t nLabels =
        ShortCount(vCohortLabel.size(), "cohort labels", kClassName);
    const int16_t nVarCov =
        ShortCount(vVarCovRows.size(), "variance-covariance rows", kClassName);
    RequireRowLengths(vVarCovRows, vVarCovRows.size(),
                      "variance-covariance matrix");
    const int16_t nMADWDRows =
        ShortCount(vMADWDValues.size(), "MADWD rows", kClassName);
    const size_t nFirstRow = vMADWDValues.empty() ? 0 : vMADWDValues[0].size();
    const int16_t nMADWDLength =
        ShortCount(nFirstRow, "MADWD values per row", kClassName);
    RequireRowLengths(vMADWDValues, nFirstRow, "MADWD values");

    pIO->WriteShort(static_cast<int16_t>(uFinalSelectedModel));
    pIO->WriteDouble(dAutocorrelation);
    pIO->WriteShort(nModels);
    for (const kmTable& model : vModels) model.Write(pIO);
    pIO->WriteShort(nTests);
    for (const kmFTest& test : vFTests) test.Write(pIO);
    pIO->WriteBool(bComparison);
    pIO->WriteBool(bValid);
    pIO->WriteString(sBadDescription.GetCString());
    pIO->WriteShort(nLabels);
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
    pIO->WriteShort(nVarCov);
    WriteRows(pIO, vVarCovRows);
    pIO->WriteBool(bMADWD);
    pIO->WriteDouble(dMADWDPsi);
    pIO->WriteShort(nMADWDRows);
    pIO->WriteShort(nMADWDLength);
    WriteRows(pIO, vMADWDValues);
  } catch (KmException& e) {
    e.AddCallPath("Write()", kClassName);
    throw;
  }
}

void kmCalcData::Read(KmIO_File* pIO, double dFileVersion,
                      double dSessionProgramVersion) {
  try {
    km_results_cohort::RequireFile(pIO, kClassName);
    // Fill a fresh record and take it over only once the whole record has
    // been read: fields of older layouts keep their constructor values, and
    // a refused record leaves this one untouched.
    kmCalcData read;
    read.uFinalSelectedModel = static_cast<uint16_t>(pIO->ReadShort());
    // The autocorrelation is stored by sessions after 3.54, and by files
    // from 3.42 on whose session is older than 3.44; the two conditions
    // never hold together.
    if (dSessionProgramVersion > 3.54 ||
        (dFileVersion >= 3.42 && dSessionProgramVersion < 3.44)) {
      read.dAutocorrelation = pIO->ReadDouble();
    }
    RefuseIfEnded(pIO, "the head of a cohort record", kClassName);

    const int nModels = ReadShortCount(pIO, "models", kClassName);
    for (int i = 0; i < nModels; ++i) {
      kmTable model;
      model.Read(pIO, dFileVersion);
      RefuseIfEnded(pIO, "models", kClassName);
      read.vModels.push_back(std::move(model));
    }
    const int nTests = ReadShortCount(pIO, "F tests", kClassName);
    for (int i = 0; i < nTests; ++i) {
      kmFTest test;
      test.Read(pIO);
      read.vFTests.push_back(test);
    }

    if (dFileVersion > 3.3) {
      read.bComparison = pIO->ReadBool();
      read.bValid = pIO->ReadBool();
      KmString sText;
      pIO->ReadString(sText);
      RefuseIfEnded(pIO, "the bad description", kClassName);
      read.SetCohortBadDescription(sText);
      const int nLabels = ReadShortCount(pIO, "cohort labels", kClassName);
      KmVector<KmString> vLabels;
      for (int i = 0; i < nLabels; ++i) {
        pIO->ReadString(sText);
        RefuseIfEnded(pIO, "cohort labels", kClassName);
        vLabels.push_back(sText);
      }
      read.SetCohortLabel(vLabels);
    }
    if (dFileVersion >= 4.321) {
      read.bJumpModel = pIO->ReadBool();
      read.bComparabilityRatio = pIO->ReadBool();
    }
    if (dFileVersion >= 4.402) read.bCohortData = pIO->ReadBool();
    if (dFileVersion >= 4.6) {
      read.lSelectionCriterion = pIO->ReadLong();
      read.uBICSelectedModel = static_cast<uint16_t>(pIO->ReadShort());
      read.uBIC3SelectedModel = static_cast<uint16_t>(pIO->ReadShort());
      for (double& dValue : read.dSelectionValues) dValue = pIO->ReadDouble();
    }
    RefuseIfEnded(pIO, "the selection fields", kClassName);
    // Files of 4.702 to 4.801 carry the MADWD block but no var-cov rows.
    if (dFileVersion >= 4.802) {
      const int n = ReadShortCount(pIO, "variance-covariance rows", kClassName);
      read.vVarCovRows = ReadRows(pIO, n, n, "variance-covariance rows");
    }
    if (dFileVersion >= 4.702) {
      read.bMADWD = pIO->ReadBool();
      read.dMADWDPsi = pIO->ReadDouble();
      const int nRows = ReadShortCount(pIO, "MADWD rows", kClassName);
      const int nLength =
          ReadShortCount(pIO, "MADWD values per row", kClassName);
      if (nRows > 0 && nLength > 0) {
        read.vMADWDValues = ReadRows(pIO, nRows, nLength, "MADWD values");
      }
    }
    TakeOver(read);
  } catch (KmException& e) {
    e.AddCallPath("Read()", kClassName);
    throw;
  }
}
