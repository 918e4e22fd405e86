// kmReadData: the variance-covariance matrix file
// (LoadVarianceCovarianceMatrix).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "data/kmReadData.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmLineSource.h"
#include "foundation/kmTools.h"
#include "models/PositiveDefinite.h"
#include "session/kmDelimiter.h"
#include "session/kmErrorModel.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char kClassName[] = "kmReadData";

// Field delimiter of the matrix file by kmOptVarCovarDelimiter.
char MatrixDelimiter(kmDelimiter delimiter) {
  switch (delimiter) {
    case kmDelimiter::kTab:
      return '\t';
    case kmDelimiter::kComma:
      return ',';
    case kmDelimiter::kSemicolon:
      return ';';
    default:
      return ' ';
  }
}

// Where a matrix line stands and which of its fields the table keeps.
struct MatrixLine {
  const KmString& sFile;
  int32_t iLine;         // line number in the file, from 1
  bool bCheckFields;     // the row is kept (not a dropped header row)
  bool bSkipFirstField;  // the first field is a dropped label
};

// The numbers of one matrix line split at cDelimiter. Fields lose their
// leading and trailing blanks. A kept field that is not read whole as a
// finite number is refused with the file, row and column; the fields of a
// dropped header row or label column read as 0.0. The split is done here in
// one pass rather than through the tokenizer, which rescans the line for
// every field: a matrix row of thousands of fields would cost quadratic time.
KmVector<double> ParseMatrixRow(const KmString& sLine, char cDelimiter,
                                const MatrixLine& where) {
  const std::string sText(sLine.GetCString());
  KmVector<double> vRow;
  size_t lStart = 0;
  for (;;) {
    const size_t lEnd = sText.find(cDelimiter, lStart);
    std::string sField = sText.substr(
        lStart, lEnd == std::string::npos ? std::string::npos : lEnd - lStart);
    // A blank before the delimiter ("1.5 ,2.5") is layout, not part of the
    // number.
    const size_t lFirst = sField.find_first_not_of(' ');
    const size_t lLast = sField.find_last_not_of(" \t");
    sField = lFirst == std::string::npos || lLast == std::string::npos
                 ? std::string()
                 : sField.substr(lFirst, lLast - lFirst + 1);
    // Blank-separated columns are often aligned with runs of blanks; a run
    // is one separator, not a series of empty fields.
    if (!(cDelimiter == ' ' && sField.empty())) {
      double dValue = 0.0;
      const bool bKept =
          where.bCheckFields && !(where.bSkipFirstField && vRow.empty());
      if (kmTools::ReadFieldNumber(KmString(sField.c_str()), KmString(),
                                   dValue) != kmTools::FieldNumber::kNumber) {
        if (bKept) {
          GenerateKmInputExceptionF(
              "The variance-covariance matrix file \"%s\" holds \"%s\" at "
              "row %d, column %d, which is not a number.",
              kClassName, where.sFile.GetCString(), sField.c_str(),
              static_cast<int>(where.iLine), static_cast<int>(vRow.size()) + 1);
        }
        dValue = 0.0;
      }
      vRow.push_back(dValue);
    }
    if (lEnd == std::string::npos) break;
    lStart = lEnd + 1;
  }
  return vRow;
}

// Refuses a table that is no covariance matrix of the observations, naming
// the file and the reason: one that is not square, a variance that is not
// above 0 (the observation would get weight 0, or a negative one), and a
// matrix that is not positive definite, whether it has a negative pivot or
// is singular (a matrix of ones would take every observation as one and
// make up a perfect fit). The generalised inverse would serve for all of
// them without a word.
void RequireCovarianceMatrix(const KmVector<KmVector<double> >& vTable,
                             const KmString& sFile) {
  const int n = static_cast<int>(vTable.size());
  for (int r = 0; r < n; ++r) {
    const int iValues = static_cast<int>(vTable[r].size());
    if (iValues != n) {
      GenerateKmInputExceptionF(
          "The variance-covariance matrix file \"%s\" is not square: row %d "
          "holds %d values, not %d.",
          kClassName, sFile.GetCString(), r + 1, iValues, n);
    }
  }
  NEWMAT::Matrix mTable(n, n);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) mTable(i, j) = vTable[i - 1][j - 1];
    if (!(mTable(i, i) > 0.0)) {
      GenerateKmInputExceptionF(
          "The variance-covariance matrix file \"%s\" is not positive "
          "definite: the variance of observation %d is %g, not above 0.",
          kClassName, sFile.GetCString(), i, mTable(i, i));
    }
  }
  if (n == 0) return;
  NEWMAT::Matrix mInverse;
  int16_t iRank = 0;
  if (!isPositiveDefinite(mTable, mInverse, iRank)) {
    GenerateKmInputExceptionF(
        "The variance-covariance matrix file \"%s\" is not positive "
        "definite.",
        kClassName, sFile.GetCString());
  }
  if (iRank < n) {
    GenerateKmInputExceptionF(
        "The variance-covariance matrix file \"%s\" is not positive "
        "definite: it is singular (rank %d of %d), so some observations are "
        "exact combinations of others.",
        kClassName, sFile.GetCString(), static_cast<int>(iRank), n);
  }
}

// The largest of the session's observation counts; 0 when it has none.
int32_t LargestCount(const kmSession& session) {
  int32_t iLargest = 0;
  for (const int32_t iCount : session.GetObservationCounts()) {
    iLargest = std::max(iLargest, iCount);
  }
  return iLargest;
}

}  // namespace

void kmReadData::LoadVarianceCovarianceMatrix() {
  WithCallPath("LoadVarianceCovarianceMatrix()", kClassName, [&] {
    vvVarCovTable_.clear();
    const char cDelimiter = MatrixDelimiter(kmVarCovarDelimiter(*pSession_));

    if (!KmIO_File::FileExists(sVarCovFileName_.GetCString())) {
      KmString sText;
      sText << "Could not load variance-covariance matrix.  The selected "
               "file: "
            << sVarCovFileName_ << " does not exist.";
      GenerateKmException(sText.GetCString(), kClassName);
    }

    const bool bDropFirstRow = pSession_->GetBool(kmOptVarCovarFlagA);
    const bool bDropFirstColumn = pSession_->GetBool(kmOptVarCovarFlagB);
    KmLineSource source("Variance-covariance matrix file");
    if (!source.Open(sVarCovFileName_.GetCString())) {
      KmString sText;
      sText << "Could not load variance-covariance matrix.  The selected "
               "file: "
            << sVarCovFileName_ << " could not be opened.";
      GenerateKmException(sText.GetCString(), kClassName);
    }
    iVarCovTooWide_ = 0;
    const int32_t iLargestCohort = LargestCount(*pSession_);
    const size_t nFirstRow = bDropFirstRow ? 2 : 1;
    KmString sLine;
    while (source.ReadLine(sLine)) {
      sLine.TrimLeftSpaces();
      sLine.TrimRight();
      if (sLine.IsEmpty()) continue;
      KmString sNoBlanks(sLine);
      sNoBlanks.RemoveAll(' ');
      if (sNoBlanks.IsEmpty()) continue;
      const MatrixLine where{
          sVarCovFileName_, static_cast<int32_t>(source.GetLineNumber()),
          !(bDropFirstRow && vvVarCovTable_.empty()), bDropFirstColumn};
      vvVarCovTable_.push_back(ParseMatrixRow(sLine, cDelimiter, where));
      const int iValues = static_cast<int>(vvVarCovTable_.back().size()) -
                          (bDropFirstColumn ? 1 : 0);
      if (vvVarCovTable_.size() == nFirstRow && iLargestCohort > 0 &&
          iValues > iLargestCohort) {
        iVarCovTooWide_ = iValues;
        vvVarCovTable_.clear();
        break;
      }
    }
    lVarCovLinesRead_ = source.GetLineNumber();

    if (iVarCovTooWide_ == 0 && (bDropFirstRow || bDropFirstColumn)) {
      vvVarCovTable_ = kmTools::ExtractNumericTable(
          vvVarCovTable_, bDropFirstColumn, bDropFirstRow);
    }
  });
}

void kmReadData::RequireVarCovMatrix() const {
  if (iVarCovTooWide_ > 0) return;
  RequireCovarianceMatrix(vvVarCovTable_, sVarCovFileName_);
}

KmString kmReadData::VarCovSizeRefusal(int iObservations) const {
  KmString sRefusal;
  const int n = static_cast<int>(vvVarCovTable_.size());
  if (pSession_->Get<kmErrorModel>() != kmErrorModel::kVarCovMatrix ||
      (iVarCovTooWide_ == 0 && n == iObservations)) {
    return sRefusal;
  }
  KmString sSize;
  if (iVarCovTooWide_ > 0) {
    sSize << "has " << iVarCovTooWide_ << " values in its first row";
  } else {
    sSize << "holds a " << n << " x " << n << " matrix";
  }
  sRefusal.printf(
      "The variance-covariance matrix file \"%s\" %s, but the cohort has %d "
      "observations: the matrix needs a row and a column for each "
      "observation, otherwise Kinkmark will not process this cohort.",
      sVarCovFileName_.GetCString(), sSize.GetCString(), iObservations);
  return sRefusal;
}
