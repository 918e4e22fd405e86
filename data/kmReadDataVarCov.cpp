// kmReadData: the variance-covariance matrix file
// (LoadVarianceCovarianceMatrix).
#include <cmath>
#include <cstdint>
#include <string>

#include "data/kmReadData.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmLineSource.h"
#include "foundation/kmTools.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char kClassName[] = "kmReadData";

// Field delimiter of the matrix file by kmOptVarCovarDelimiter.
char MatrixDelimiter(int iCode) {
  switch (iCode) {
    case 0:
      return '\t';
    case 2:
      return ',';
    case 3:
      return ';';
    default:
      return ' ';
  }
}

// The numbers of one matrix line split at cDelimiter: a field that is not
// read whole as a finite number gives 0.0. Fields lose their leading and
// trailing blanks. The split is done here in one pass rather than through
// the tokenizer, which rescans the line for every field: a matrix row of
// thousands of fields would cost quadratic time.
KmVector<double> ParseMatrixRow(const KmString& sLine, char cDelimiter) {
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
      if (!kmTools::StringToDouble(dValue, sField.c_str(), true) ||
          !std::isfinite(dValue)) {
        dValue = 0.0;
      }
      vRow.push_back(dValue);
    }
    if (lEnd == std::string::npos) break;
    lStart = lEnd + 1;
  }
  return vRow;
}

}  // namespace

void kmReadData::LoadVarianceCovarianceMatrix() {
  WithCallPath("LoadVarianceCovarianceMatrix()", kClassName, [&] {
    vvVarCovTable_.clear();
    const char cDelimiter =
        MatrixDelimiter(pSession_->GetInt(kmOptVarCovarDelimiter));

    if (!KmIO_File::FileExists(sVarCovFileName_.GetCString())) {
      KmString sText;
      sText << "Could not load variance-covariance matrix.  The selected "
               "file: "
            << sVarCovFileName_ << " does not exist.";
      GenerateKmException(sText.GetCString(), kClassName);
    }

    KmLineSource source("Variance-covariance matrix file");
    if (!source.Open(sVarCovFileName_.GetCString())) {
      KmString sText;
      sText << "Could not load variance-covariance matrix.  The selected "
               "file: "
            << sVarCovFileName_ << " could not be opened.";
      GenerateKmException(sText.GetCString(), kClassName);
    }
    KmString sLine;
    while (source.ReadLine(sLine)) {
      sLine.TrimLeftSpaces();
      sLine.TrimRight();
      if (sLine.IsEmpty()) continue;
      KmString sNoBlanks(sLine);
      sNoBlanks.RemoveAll(' ');
      if (sNoBlanks.IsEmpty()) continue;
      vvVarCovTable_.push_back(ParseMatrixRow(sLine, cDelimiter));
    }

    const bool bDropFirstRow = pSession_->GetBool(kmOptVarCovarFlagA);
    const bool bDropFirstColumn = pSession_->GetBool(kmOptVarCovarFlagB);
    if (bDropFirstRow || bDropFirstColumn) {
      vvVarCovTable_ = kmTools::ExtractNumericTable(
          vvVarCovTable_, bDropFirstColumn, bDropFirstRow);
    }
  });
}
