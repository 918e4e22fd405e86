// kmReadData: the record checks of one cohort (VerifyCohortFieldValues,
// VerifyResponseVariable, VerifyIndependentVariable, VerifyStandardError,
// VerifyPopulation, ValidFloat).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/internal/kmCohortReadHelpers.h"
#include "data/kmReadData.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmConvertValue.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/kmTools.h"
#include "session/kmDependentType.h"
#include "session/kmErrorModel.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"

namespace {

const char kClassName[] = "kmReadData";

// Previous independent number of a cohort's first record: none yet.
constexpr double kNoPreviousValue = -9999.0;

// Previous independent text of a cohort's first record.
const char kNoPreviousText[] = "empty";

// Appends one report: the sentence and where it is in the data file,
// " (record r, column c)  ", r the 1-based record of the cohort, c the
// 1-based column (iRow and iCol count from 0), then sDetail and "  " when
// it is not empty.
void AppendReport(KmString* psErrorText, const char* sSentence, int32_t iRow,
                  int iCol, const KmString& sDetail = KmString()) {
  if (psErrorText == nullptr) return;
  *psErrorText << sSentence << " (record " << (iRow + 1) << ", column "
               << (iCol + 1) << ")  ";
  if (!sDetail.IsEmpty()) *psErrorText << sDetail << "  ";
}

// Clears the good flag and, the first time its kind is met in the cohort,
// reports it.
void Flag(KmString* psErrorText, bool* pbGood, bool& bReported,
          const char* sSentence, int32_t iRow, int iCol,
          const KmString& sDetail = KmString()) {
  if (pbGood != nullptr) *pbGood = false;
  if (bReported) return;
  bReported = true;
  AppendReport(psErrorText, sSentence, iRow, iCol, sDetail);
}

// Why a standard error that the number rule refused cannot be used: it is
// no number, its square (the variance that weights the record) leaves the
// range of doubles, or it is written with an exponent but no decimal point.
KmString StandardErrorFault(const KmString& sField) {
  const KmString sText = KmString(sField).Trim();
  double d = 0.0;
  KmString sFault;
  if (!kmReadData::CheckedNumber(sText, KmString(), false, d)) {
    sFault << "\"" << sText
           << "\" is not a number, and the session reads the standard errors "
              "from this column (\"standard error location\").";
  } else if (d * d == 0.0 || !std::isfinite(d * d)) {
    sFault << "the standard error " << sText
           << " cannot be used: its square, the variance that weights the "
              "record, lies outside the range of numbers the fit can use "
              "(about 1e-300 to 1e300).  Correct the value, or rescale the "
              "data.";
  } else {
    sFault << "\"" << sText
           << "\" is read as no number: a number with an exponent needs a "
              "decimal point before the exponent (as in 1.5e-3).";
  }
  return sFault;
}

// Throws the refusal of a variable location beyond a record's fields.
[[noreturn]] void ThrowLocationBeyondRow(const char* sWhat, int iLocation,
                                         size_t nFields) {
  KmString sText;
  sText << sWhat << iLocation
        << " ) is beyond the end of the vvCohortRecord row length ( "
        << static_cast<int32_t>(nFields) << " ).";
  GenerateKmException(sText.GetCString(), "kmCalculationHandler");
}

// The population location of records whose count or rate the fit divides
// by the population: the Poisson rate model with a response the reader
// does not compute (a computed crude rate has its populations checked with
// its counts). 0 when the fit reads no population.
int DividingPopulationLocation(const kmSession& session) {
  if (session.Get<kmErrorModel>() != kmErrorModel::kPoissonRate ||
      session.GetBool(kmOptDependentCalculated)) {
    return 0;
  }
  return session.GetKMVarPosition(kmVarPopulation);
}

// The number of sText, a value of the independent variable or a label of
// its format, by the one rule of independent values; false when it is none.
bool LabelNumber(const KmString& sText, double& dValue) {
  return kmTools::ReadIndependentNumber(sText, KmString(), dValue) ==
         kmTools::FieldNumber::kNumber;
}

// The "%-lf" text of the number of sText (sMissing its missing text), by
// the one rule of independent values, so that "-0" and "0", "2005" and
// "2005.0" give one text; a text that is no number stays as it is and
// equals no number's text.
KmString NumberText(const KmString& sText,
                    const KmString& sMissing = KmString()) {
  double dValue = 0.0;
  if (kmTools::ReadIndependentNumber(sText, sMissing, dValue) !=
      kmTools::FieldNumber::kNumber) {
    return sText;
  }
  KmString sOut;
  sOut = dValue;
  return sOut;
}

}  // namespace

KmString kmReadData::RecordPlace(int32_t iRow, int iCol) const {
  KmString sDataFile;
  pSession_->GetString(kmStrDataFile, sDataFile);
  KmString sPlace;
  sPlace << "Data file \"" << sDataFile << "\"";
  if (iRow >= 0 && static_cast<size_t>(iRow) < vRowLines_.size() &&
      vRowLines_[static_cast<size_t>(iRow)] >= 1) {
    sPlace << ", line " << static_cast<long>(vRowLines_[iRow]);
  }
  sPlace << ", column " << (iCol + 1);
  return sPlace;
}

void kmReadData::VerifyCohortFieldValues(
    kmCohortRows vRows, KmString* psErrorText, bool* pbGood, int iCohortNumber,
    double* pdLargestInterval, int* piPrecision, int /*iUnused*/,
    int iDependentLoc, int iIndependentLoc, int iStdErrorLoc) {
  WithCallPath("VerifyCohortFieldValues()", kClassName, [&] {
    KmString sMissing;
    pSession_->GetMissingString(sMissing);
    const bool bStdErrorsInData =
        pSession_->Get<kmErrorModel>() == kmErrorModel::kStandardError;
    const int iPopulationLoc = DividingPopulationLocation(*pSession_);

    bool bMissingDep = false;
    bool bZeroCount = false;
    bool bZeroDep = false;
    bool bNegativeDep = false;
    bool bLogNegativeDep = false;
    bool bIndepMissingOrEqual = false;
    bool bIndepNonNumeric = false;
    bool bSEMissing = false;
    bool bSENonNumeric = false;
    bool bSENotPositive = false;
    bool bPopulationReported = false;
    double dPrevious = kNoPreviousValue;
    double dSum = 0.0;
    double dLargestLocal = 0.0;
    int iPrecisionLocal = 0;
    double& dLargest =
        pdLargestInterval != nullptr ? *pdLargestInterval : dLargestLocal;
    int& iPrecision = piPrecision != nullptr ? *piPrecision : iPrecisionLocal;

    const size_t nRecords = vRows.size();
    for (size_t r = 0; r < nRecords; ++r) {
      const kmRecordRow& record = vRows[r];
      // Wide arithmetic; the text shows the 32-bit value.
      const int32_t iRow = static_cast<int32_t>(r);

      if (iDependentLoc > 0) {
        if (static_cast<size_t>(iDependentLoc) > record.size()) {
          ThrowLocationBeyondRow("The response variable location ( ",
                                 iDependentLoc, record.size());
        }
        VerifyResponseVariable(record[static_cast<size_t>(iDependentLoc - 1)],
                               sMissing, iRow, iDependentLoc - 1, psErrorText,
                               pbGood, bMissingDep, bZeroCount, bZeroDep,
                               bNegativeDep, bLogNegativeDep, dSum);
      }
      if (iIndependentLoc > 0) {
        if (static_cast<size_t>(iIndependentLoc) > record.size()) {
          ThrowLocationBeyondRow("The independent variable location ( ",
                                 iIndependentLoc, record.size());
        }
        const size_t iCol = static_cast<size_t>(iIndependentLoc - 1);
        // The previous record passed the same location test.
        const KmString sPrevious =
            r == 0 ? KmString(kNoPreviousText) : vRows[r - 1][iCol];
        VerifyIndependentVariable(record[iCol], sMissing, iRow,
                                  iIndependentLoc - 1, psErrorText, pbGood,
                                  dPrevious, dLargest, iPrecision, sPrevious,
                                  bIndepMissingOrEqual, bIndepNonNumeric);
      }
      if (bStdErrorsInData && iStdErrorLoc > 0) {
        if (static_cast<size_t>(iStdErrorLoc) > record.size()) {
          ThrowLocationBeyondRow("The standard error variable location ( ",
                                 iStdErrorLoc, record.size());
        }
        VerifyStandardError(record[static_cast<size_t>(iStdErrorLoc - 1)],
                            sMissing, iRow, iStdErrorLoc - 1, psErrorText,
                            pbGood, bSEMissing, bSENonNumeric, bSENotPositive);
      }
      if (iPopulationLoc > 0) {
        if (static_cast<size_t>(iPopulationLoc) > record.size()) {
          ThrowLocationBeyondRow("The population variable location ( ",
                                 iPopulationLoc, record.size());
        }
        VerifyPopulation(record[static_cast<size_t>(iPopulationLoc - 1)], iRow,
                         iPopulationLoc - 1, iCohortNumber, psErrorText, pbGood,
                         bPopulationReported);
      }
    }

    if (pbGood != nullptr && *pbGood && bZeroCount && dSum == 0.0) {
      *pbGood = false;
      if (psErrorText != nullptr) {
        *psErrorText =
            "  Kinkmark cannot process cohorts where all of the counts are "
            "zero.  Kinkmark will not analyze cohorts that have this error.";
      }
    }
  });
}

void kmReadData::VerifyResponseVariable(
    KmString sField, KmString sMissing, int32_t iRow, int iCol,
    KmString* psErrorText, bool* pbGood, bool& bMissingReported,
    bool& bZeroCountReported, bool& bZeroReported, bool& bNegativeReported,
    bool& bLogNegativeReported, double& dSum) {
  WithCallPath("VerifyResponseVariable()", kClassName, [&] {
    const kmDependentType type = pSession_->Get<kmDependentType>();
    const bool bCalculated = pSession_->GetBool(kmOptDependentCalculated);
    const bool bLogLinear = pSession_->GetBool(kmOptLogLinear);
    const bool bCount = type == kmDependentType::kCount;
    const bool bCalcCrudeRate =
        type == kmDependentType::kCrudeRate && bCalculated;
    const bool bProvidedRate =
        !bCalculated && (type == kmDependentType::kCrudeRate ||
                         type == kmDependentType::kAgeAdjustedRate);
    const bool bPoissonType =
        kmIsPoissonType(pSession_->Get<kmErrorModel>(), bLogLinear);

    double dValue = 0.0;
    if (!CheckedNumber(sField, sMissing, false, dValue)) {
      // A text that is there but no number is named as such.
      KmString sDetail;
      const KmString sText = KmString(sField).Trim();
      if (!sText.IsEmpty() && sText != KmString(sMissing).Trim()) {
        double dIgnored = 0.0;
        sDetail << RecordPlace(iRow, iCol) << ": \"" << sText
                << km_read_internal::NoNumberEnding(
                       kmTools::ReadFieldNumber(sField, sMissing, dIgnored));
      }
      Flag(psErrorText, pbGood, bMissingReported,
           "  Kinkmark cannot process records with missing dependent variable "
           "values.  Kinkmark will not analyze by-groups that have this "
           "error.",
           iRow, iCol, sDetail);
      return;
    }
    dSum += dValue;

    if (dValue == 0.0) {
      if ((bCount || bCalcCrudeRate) && bPoissonType) {
        // A note only: the rates step adds 0.5 to the zero counts.
        if (!bZeroCountReported) {
          bZeroCountReported = true;
          AppendReport(psErrorText, km_read_internal::kZeroCountNote, iRow,
                       iCol);
        }
      } else if (bLogLinear) {
        Flag(psErrorText, pbGood, bZeroReported,
             "  Kinkmark cannot process records with dependent variable = 0.  "
             "Kinkmark will not analyze by-groups that have this error.",
             iRow, iCol);
      }
    } else if (dValue < 0.0) {
      if (bCount) {
        Flag(psErrorText, pbGood, bNegativeReported,
             "  Kinkmark cannot process records where the dependent variable "
             "is a COUNT and is negative.  Kinkmark will not analyze "
             "by-groups that have this error.",
             iRow, iCol);
      } else if (bProvidedRate) {
        Flag(psErrorText, pbGood, bNegativeReported,
             "  Kinkmark cannot process records where the dependent variable "
             "is a Crude or Age-Adjusted rate and is negative.  Kinkmark will "
             "not analyze by-groups that have this error.",
             iRow, iCol);
      } else if (bLogLinear) {
        Flag(psErrorText, pbGood, bLogNegativeReported,
             "  Kinkmark cannot process records when the dependent variable "
             "is less than 0 for Log Linear analyses.  Kinkmark will not "
             "analyze by-groups that have this error.",
             iRow, iCol);
      }
    }
  });
}

KmString kmReadData::AgeGroupsOfOneYearText() const {
  KmString sText;
  const int iAdjust = pSession_->GetKMVarPosition(kmVarAdjustment);
  if (iAdjust == 0 || pSession_->GetBool(kmOptDependentCalculated)) {
    return sText;
  }
  sText << "  The session names the adjustment variable "
        << pSession_->GetKMVar(kmVarAdjustment).GetName() << " (column "
        << iAdjust
        << "), so the records of one year are its age groups, but the run "
           "reads each record as a year's own value: the run options must "
           "say \"run type = calculated\" (with \"dependent variable type = "
           "age-adjusted rate\") for the run to form each year's age-adjusted "
           "rate from them; without a run-options file, or with one that "
           "gives no \"run type\", the run type is \"provided\".";
  return sText;
}

void kmReadData::VerifyIndependentVariable(
    KmString sField, KmString sMissing, int32_t iRow, int iCol,
    KmString* psErrorText, bool* pbGood, double& dPrevious,
    double& dLargestInterval, int& iPrecision, KmString sPrevious,
    bool& bMissingOrEqualReported, bool& bNonNumericReported) {
  WithCallPath("VerifyIndependentVariable()", kClassName, [&] {
    KmString v(sField);
    v.TrimLeft();
    v.TrimRight();
    const bool bHasPrevious = sPrevious != kNoPreviousText;
    double dNumber = 0.0;
    const kmTools::FieldNumber read =
        kmTools::ReadIndependentNumber(v, sMissing, dNumber);
    if (read == kmTools::FieldNumber::kMissing) {
      // Named where it stands: the file may hold no missing-value text.
      KmString sDetail;
      sDetail << RecordPlace(iRow, iCol)
              << ": the independent value is blank or missing.";
      Flag(psErrorText, pbGood, bMissingOrEqualReported,
           "  Kinkmark cannot process records with no independent variable.  "
           "Kinkmark will not analyze by-groups that have this error.",
           iRow, iCol, sDetail);
      v.Clear();
    } else if (read == kmTools::FieldNumber::kNotNumber ||
               read == kmTools::FieldNumber::kBeyondDouble) {
      // Like a blank year, a year that is not a number as a whole ("NA",
      // "2020-2021", "2020+"), or one no double holds ("1e-999" would be
      // the year 0), keeps only its cohort from being fitted.
      KmString sDetail;
      sDetail << RecordPlace(iRow, iCol) << ": the independent value \"" << v
              << km_read_internal::NoNumberEnding(read);
      Flag(psErrorText, pbGood, bNonNumericReported,
           read == kmTools::FieldNumber::kBeyondDouble
               ? "  Kinkmark cannot process records with independent "
                 "variable values beyond the numbers a double holds."
               : "  Kinkmark cannot process records with independent "
                 "variable values that are non-numeric.",
           iRow, iCol, sDetail);
    } else {
      const kmVariable& indep = pSession_->GetKMVar(kmVarIndependent);
      if (indep.HasFormat()) {
        const KmFormat& format = indep.GetFormat();
        const int32_t iLine = format.GetIndexFromField(v);
        if (iLine < 0) {
          // A value the format does not list refuses its cohort, naming
          // where it stands.
          KmString sDetail;
          sDetail << RecordPlace(iRow, iCol) << ": the independent value \""
                  << v << "\" is none of the values the format of "
                  << indep.GetName() << " lists.";
          Flag(psErrorText, pbGood, bNonNumericReported,
               "  Kinkmark cannot process records with independent variable "
               "values that its format does not list.",
               iRow, iCol, sDetail);
          return;
        }
        const KmString sLabel = format.GetLabel(iLine);
        if (!IsLeftOutLabel(sLabel) && !LabelNumber(sLabel, dNumber)) {
          Flag(psErrorText, pbGood, bNonNumericReported,
               "  Kinkmark cannot process by-groups where independent "
               "variable values are non-numeric.",
               iRow, iCol);
        }
        v = NumberText(sLabel);
        if (bHasPrevious) {
          const int32_t iPrevLine =
              format.GetIndexFromField(KmString(sPrevious).Trim());
          if (iPrevLine >= 0)
            sPrevious = NumberText(format.GetLabel(iPrevLine));
        }
      } else if (IsBeyondLargestYear(dNumber)) {
        // The fits place the record at this number itself: a year the
        // label route refuses keeps its cohort from being fitted here.
        KmString sDetail;
        sDetail << RecordPlace(iRow, iCol) << ": the independent value \"" << v
                << "\" " << kBeyondLargestYear;
        Flag(psErrorText, pbGood, bNonNumericReported,
             "  Kinkmark cannot process records with independent variable "
             "values of a size above 1e15.",
             iRow, iCol, sDetail);
        v.Clear();
      } else {
        v = NumberText(v, sMissing);
        if (bHasPrevious) sPrevious = NumberText(sPrevious, sMissing);
      }
    }

    // Bookkeeping for every record, with the text as it now stands (an
    // empty text or one that is no number counts as 0).
    double dValue = 0.0;
    kmTools::ReadIndependentNumber(v, KmString(), dValue);
    if (dPrevious != kNoPreviousValue &&
        dValue - dPrevious > dLargestInterval) {
      dLargestInterval = dValue - dPrevious;
    }
    dPrevious = dValue;
    const int iDecimals = kmTools::GetPrecision(v.GetCString());
    if (iDecimals > iPrecision) iPrecision = iDecimals;

    // Age-adjusted rates from adjustment groups share each independent value
    // over several records, so equal values are expected there.
    if (read == kmTools::FieldNumber::kNumber && v == sPrevious &&
        !bClustered_) {
      if (pbGood != nullptr) *pbGood = false;
      if (!bMissingOrEqualReported) {
        bMissingOrEqualReported = true;
        KmString sSentence;
        sSentence << "  Kinkmark cannot process by-groups where two or more "
                     "independent variable values are equal."
                  << "  Current Value: " << v
                  << "  Previous Value: " << sPrevious
                  << AgeGroupsOfOneYearText();
        AppendReport(psErrorText, sSentence.GetCString(), iRow, iCol);
      }
    }
  });
}

void kmReadData::VerifyStandardError(KmString sField, KmString sMissing,
                                     int32_t iRow, int iCol,
                                     KmString* psErrorText, bool* pbGood,
                                     bool& bMissingReported,
                                     bool& bNonNumericReported,
                                     bool& bNotPositiveReported) {
  WithCallPath("VerifyStandardError()", kClassName, [&] {
    double dValue = 0.0;
    if (km_read_internal::IsMissingField(sField, sMissing)) {
      Flag(psErrorText, pbGood, bMissingReported,
           "  Kinkmark cannot process records with missing weight values.  "
           "Kinkmark will not analyze by-groups that have this error.",
           iRow, iCol);
    } else if (KmString sNumber(sField);
               !ValidFloat(sNumber, false) ||
               !CheckedNumber(sField, sMissing, true, dValue)) {
      Flag(psErrorText, pbGood, bNonNumericReported,
           "  Kinkmark cannot process records with weight variable is not "
           "numeric.  Kinkmark will not analyze by-groups that have this "
           "error.",
           iRow, iCol,
           KmString(RecordPlace(iRow, iCol))
               << ": " << StandardErrorFault(sField));
    } else if (dValue <= 0.0) {
      Flag(psErrorText, pbGood, bNotPositiveReported,
           "  Kinkmark cannot process records with weight variable <= 0.  "
           "Kinkmark will not analyze by-groups that have this error.",
           iRow, iCol);
    }
  });
}

void kmReadData::VerifyPopulation(const KmString& sField, int32_t iRow,
                                  int iCol, int iCohortNumber,
                                  KmString* psErrorText, bool* pbGood,
                                  bool& bReported) {
  WithCallPath("VerifyPopulation()", kClassName, [&] {
    // Read as the fit reads it: thousands commas dropped, the whole text a
    // finite number.
    const KmString sText = KmString(sField).RemoveAll(',').Trim();
    KmString sMissing;
    pSession_->GetMissingString(sMissing);
    double p = 0.0;
    if (CheckedNumber(sText, sMissing, false, p) && p > 0.0) return;
    KmString sSentence;
    sSentence << "  Error in data file.  Population <= 0.  Cohort Index = "
              << (iCohortNumber - 1);
    KmString sDetail;
    sDetail << RecordPlace(iRow, iCol) << ": the population is ";
    if (sText.IsEmpty() || sText == sMissing.Trim()) {
      sDetail << "missing";
    } else {
      sDetail << "\"" << sText << "\"";
    }
    sDetail << "; a population must be a number greater than 0.";
    Flag(psErrorText, pbGood, bReported, sSentence.GetCString(), iRow, iCol,
         sDetail);
  });
}

bool kmReadData::CheckedNumber(const KmString& sField, const KmString& sMissing,
                               bool bStandardError, double& dValue) {
  double d = 0.0;
  if (kmTools::ReadFieldNumber(sField, sMissing, d) !=
      kmTools::FieldNumber::kNumber) {
    return false;
  }
  // A standard error also meets the record checks' own number test.
  if (KmString sCopy = kmTools::FieldText(sField);
      bStandardError && !ValidFloat(sCopy, false)) {
    return false;
  }
  dValue = d;
  return true;
}

bool kmReadData::ValidFloat(KmString& s, bool /*bUnused*/) {
  return WithCallPath(
      "ValidFloat(KmString &, bool)", kClassName, [&]() -> bool {
        bool bResult = true;
        bool bSeenPoint = false;
        std::string sKept;
        const char* p = s.GetCString();
        for (int32_t i = 0; i < s.GetLength(); ++i) {
          const char c = p[i];
          if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == 'e' ||
              c == 'E' || c == '\b') {
            sKept += c;
          } else if (c == '.' && !bSeenPoint) {
            sKept += c;
            bSeenPoint = true;
          } else {
            bResult = false;
          }
        }
        s = sKept.c_str();
        // Signs, points and exponent letters alone ("-", ".") are no number.
        if (sKept.find_first_of("0123456789") == std::string::npos)
          bResult = false;

        const size_t nExponents =
            static_cast<size_t>(std::count(sKept.begin(), sKept.end(), 'e') +
                                std::count(sKept.begin(), sKept.end(), 'E'));
        if (nExponents == 0) return bResult;
        if (nExponents > 1) {
          bResult = false;
        } else {
          const size_t iExponent = sKept.find_first_of("eE");
          const size_t iPoint = sKept.find('.');
          if (iPoint == std::string::npos || iExponent < iPoint)
            bResult = false;
        }
        // The kept text is read by the one number rule: one that is no
        // number as a whole, or one no double holds, gives no usable number
        // and stays as it is kept.
        double dValue = 0.0;
        const NumberKind read = ReadNumber(sKept.c_str(), false, &dValue);
        if (read != NumberKind::kNumber && read != NumberKind::kWholeNumber)
          return false;
        s.printf("%.10f", dValue);
        return bResult;
      });
}
