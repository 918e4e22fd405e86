// kmCalculationHandler: GetNumObsThisCohort, ProcessCohortRecords,
// ReadDataForAllByGroup and FreeComparisonArrays.
#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>

#include "data/kmReadData.h"
#include "engine/kmCalculationHandler.h"
#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/KmProgressInterface.h"
#include "foundation/kmTools.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"
#include "session/kmAnalysisCopies.h"
#include "session/kmDelayType.h"
#include "session/kmDependentType.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr const char* kClassName = "kmCalculationHandler";
// The errors of the record preparation name the calculator as their source.
constexpr const char* kSource = "kmCalculator";
// Marks a value that is missing or could not be read.
constexpr double kMissing = -1e30;
// Rate multiplier used when kmOptRatesPerN is 0 or less (as the data reader
// does when it computes rates).
constexpr double kDefaultRatesPerN = 100000.0;

// Records whose independent position lies past their fields are refused
// instead of being read past their end.
[[noreturn]] void RaiseIndependentPosition(int iPosition) {
  GenerateKmExceptionF(
      "Invalid position for independent variable.  Position is:  %d", kSource,
      iPosition);
}

// The independent field of a record as it was read, and its line.
struct RecordSeen {
  KmString sIndep;
  int64_t lLine = -1;
};

// The independent field's text of a record ("" when it has none).
KmString IndependentText(int iIndepPos, const kmRecordRow& fields) {
  if (iIndepPos < 1 || static_cast<size_t>(iIndepPos) > fields.size()) {
    return KmString();
  }
  return KmString(fields[static_cast<size_t>(iIndepPos - 1)]).Trim();
}

// The independent value sIndep at sPlace is smaller than the one before it:
// the records are not sorted, a cohort's records come in more than one run,
// or a value is out of range and makes the next one look smaller. sNote
// follows the message (by-variable values that read as one).
[[noreturn]] void RaiseOutOfOrder(int i, const KmString& sPlace,
                                  const KmString& sIndep,
                                  const RecordSeen& previous,
                                  const KmString& sNote) {
  KmString sWhere;
  if (previous.lLine >= 1) sWhere << " on line " << previous.lLine;
  GenerateKmInputExceptionF(
      "Error in Data File:  Kinkmark encountered a problem with "
      "your Independent Variable.  Possible causes include your "
      "Independent Variable not being sorted or By-Variable(s) "
      "not properly defined.  Cohort Index = %d\nIn %s, the independent "
      "value \"%s\" follows \"%s\"%s.  A cohort's records must stand "
      "together, sorted by the independent variable from its smallest value "
      "to its largest, each value greater than the one before and a number "
      "a double holds.%s",
      kSource, i, sPlace.GetCString(), sIndep.GetCString(),
      previous.sIndep.GetCString(), sWhere.GetCString(), sNote.GetCString());
}

// The labels of format that the independent values sIndep at sPlace and
// previous.sIndep have (sVariable's format) fall while the values rise: the
// fits place each record at its label's number, so it is the labels that
// are out of order, not the data.
[[noreturn]] void RaiseLabelsOutOfOrder(int i, const KmString& sPlace,
                                        const KmString& sIndep,
                                        const RecordSeen& previous,
                                        const KmFormat& format,
                                        const KmString& sVariable) {
  const KmString sLabel = format.GetLabel(format.GetIndexFromField(sIndep));
  const KmString sPreviousLabel =
      format.GetLabel(format.GetIndexFromField(previous.sIndep));
  KmString sWhere;
  if (previous.lLine >= 1) sWhere << " on line " << previous.lLine;
  GenerateKmInputExceptionF(
      "Error in the format of the Independent Variable:  Cohort Index = "
      "%d\nIn %s, the independent value \"%s\" follows \"%s\"%s, but its "
      "label in [Format=%s], \"%s\", is not greater than \"%s\", the label "
      "of \"%s\".  The fits place each record at the number of its label, "
      "so the labels must rise as the values they label do: correct the "
      "labels in [Format=%s].",
      kSource, i, sPlace.GetCString(), sIndep.GetCString(),
      previous.sIndep.GetCString(), sWhere.GetCString(), sVariable.GetCString(),
      sLabel.GetCString(), sPreviousLabel.GetCString(),
      previous.sIndep.GetCString(), sVariable.GetCString());
}

[[noreturn]] void RaiseResponsePosition(int i) {
  GenerateKmExceptionF(
      "Invalid position for response variable.  Cohort Index = %d", kSource, i);
}

// The number of sText, an independent value or its format's label, by the
// one rule of independent values; the pre-read and the record checks have
// found it a number (a label of a year left out never gets here).
double IndependentNumber(const KmString& sText) {
  double dValue = 0.0;
  kmTools::ReadIndependentNumber(sText, KmString(), dValue);
  return dValue;
}

// Reads sText as the record checks read a value (a standard error when
// bStandardError) into dValue; false, with dValue = kMissing, when it is
// missing or no number. A cell of a refused cohort shows no number that
// its text only begins with.
bool ReadChecked(const KmString& sText, const KmString& sMissing,
                 double& dValue, bool bStandardError = false) {
  dValue = kMissing;
  return kmReadData::CheckedNumber(sText, sMissing, bStandardError, dValue);
}

// True when sField holds no value by the one number rule: empty once
// trimmed, or the missing text.
bool IsMissing(const KmString& sField, const KmString& sMissing) {
  double dValue = 0.0;
  return kmTools::ReadFieldNumber(sField, sMissing, dValue) ==
         kmTools::FieldNumber::kMissing;
}

// The population of a record, true when it is a number above 0.
bool ReadPopulation(int iPopPos, const kmRecordRow& fields,
                    const KmString& sMissing, double& dPop) {
  dPop = kMissing;
  if (iPopPos >= 1 && iPopPos <= static_cast<int>(fields.size())) {
    ReadChecked(fields[static_cast<size_t>(iPopPos - 1)], sMissing, dPop);
  }
  return dPop > 0;
}

// The rate c / p x N of a count c in a population p, and its Poisson
// standard error sqrt(c) / p x N.
void CountToRate(double dPop, double dRatesPerN, double& dY, double& dSE) {
  dSE = std::sqrt(dY) / dPop * dRatesPerN;
  dY = dY / dPop * dRatesPerN;
}

// The field slots of the response and the standard error of analysis copy
// i: the delay copies read the delay-adjusted variables.
void ResponseSlots(const kmSession& session, int i, bool bCountType,
                   int& iResponseRole, int& iStdErrorRole) {
  const kmDelayType delayType = session.Get<kmDelayType>();
  if (delayType == kmDelayType::kDelay || delayType == kmDelayType::kBoth) {
    if (kmAnalysisCopies(session).IsDelayCopy(i)) {
      iResponseRole = bCountType ? kmVarDelayCount : kmVarDelayRate;
      iStdErrorRole = kmVarDelaySE;
    } else {
      iResponseRole = bCountType ? kmVarCount : kmVarDependent;
      iStdErrorRole = kmVarStdError;
    }
  } else {
    iResponseRole = kmVarDependent;
    iStdErrorRole = kmVarStdError;
  }
}

}  // namespace

// What the preparation of one cohort reads from the session: the error
// model, the response type and the field positions.
struct kmCalculationHandler::CohortLayout {
  kmErrorModel het = kmErrorModel::kConstantVariance;
  bool bCountType = false;
  bool bCalculated = false;
  bool bCountsToCrudeRate = false;
  // The reader computed the response and its standard error (a proportion,
  // a percent or an age-adjusted rate); a Poisson rate fits them as they
  // are instead of turning the response into a rate once more.
  bool bComputedResponse = false;
  bool bLogLinear = false;
  bool bZeroCountModel = false;
  bool bGood = false;
  bool bRatesFromAdjustGroups = false;
  double dShift = 0.0;
  double dRatesPerN = kDefaultRatesPerN;
  int iResponsePos = 0;
  int iStdErrorPos = 0;
  int iIndepPos = 0;
  int iPopPos = 0;
  KmString sMissing;
  const KmFormat* pFormat = nullptr;
};

// One observation on its way into the matrices.
struct kmCalculationHandler::CohortRow {
  double x = 0.0;
  double y = kMissing;
  double w = 1.0;
  double s = kMissing;
  // The data file's line of the record; -1 when not known.
  int64_t lLine = -1;
};

KmString kmCalculationHandler::CohortPlace(int i, int64_t lLine) const {
  KmString sDataFile;
  pSession_->GetString(kmStrDataFile, sDataFile);
  KmString sLabels;
  const KmVector<KmString> labels =
      pCalcHandler_->GetCombos()->GetCohortLabelEachLevel(
          i, pCalcHandler_->GetSession());
  for (size_t k = 0; k < labels.size(); ++k) {
    sLabels << (k == 0 ? "" : ", ") << labels[k];
  }
  if (sLabels.IsEmpty()) sLabels << (i + 1);
  KmString sPlace;
  sPlace << "cohort \"" << sLabels << "\", data file \"" << sDataFile << "\"";
  if (lLine >= 1) sPlace << ", line " << static_cast<long>(lLine);
  return sPlace;
}

int kmCalculationHandler::GetNumObsThisCohort(int iCohortIndex) const {
  return WithCallPath("GetNumObsThisCohort(int)", kClassName, [&] {
    return GetNumObsForCohortIndex(pSession_.get(), iCohortIndex);
  });
}

kmCalculationHandler::CohortLayout kmCalculationHandler::ReadCohortLayout(
    int i) const {
  const kmSession& session = *pSession_;
  CohortLayout layout;
  layout.het = session.Get<kmErrorModel>();
  const kmDependentType dependentType = session.Get<kmDependentType>();
  layout.bCountType = dependentType == kmDependentType::kCount;
  layout.bCalculated = session.GetBool(kmOptDependentCalculated);
  layout.bCountsToCrudeRate = layout.bCalculated &&
                              dependentType == kmDependentType::kCrudeRate &&
                              layout.het == kmErrorModel::kPoissonRate;
  layout.bComputedResponse = layout.bCalculated && !layout.bCountsToCrudeRate;
  layout.bLogLinear = session.GetBool(kmOptLogLinear);
  layout.dShift = session.GetDouble(kmOptDataShift);
  // A multiplier of 0 would turn every rate into 0.
  layout.dRatesPerN = session.GetInt(kmOptRatesPerN);
  if (layout.dRatesPerN <= 0) layout.dRatesPerN = kDefaultRatesPerN;
  layout.bZeroCountModel = kmIsPoissonType(layout.het, layout.bLogLinear);
  layout.bRatesFromAdjustGroups = bRatesFromAdjustGroups_;

  int iResponseRole = kmVarDependent;
  int iStdErrorRole = kmVarStdError;
  ResponseSlots(session, i, layout.bCountType, iResponseRole, iStdErrorRole);
  layout.iResponsePos = session.GetKMVarPosition(iResponseRole);
  layout.iStdErrorPos = session.GetKMVarPosition(iStdErrorRole);
  layout.iIndepPos = session.GetKMVarPosition(kmVarIndependent);
  layout.iPopPos = session.GetKMVarPosition(kmVarPopulation);
  session.GetMissingString(layout.sMissing);
  layout.bGood = pReadData_->GetCohortGoodFlag(i);
  const kmVariable& indep = session.GetKMVar(kmVarIndependent);
  layout.pFormat = indep.HasFormat() ? &indep.GetFormat() : nullptr;
  return layout;
}

bool kmCalculationHandler::ReadRecordValues(const CohortLayout& layout, int i,
                                            kmRecordRow& fields,
                                            bool& bZeroAdjusted,
                                            CohortRow& row) const {
  const int iFields = static_cast<int>(fields.size());
  if (layout.iIndepPos > iFields) RaiseIndependentPosition(layout.iIndepPos);
  const KmString sIndep = KmString(fields[layout.iIndepPos - 1]).Trim();

  // A blank or missing year, one that is no number, one above the largest
  // year placed at its own number, and one its format does not hold
  // refused their cohort in the verification (which names the line and
  // column); such a record has no place in the cohort's rows. In a cohort
  // that passed it would be a fault of this program.
  const bool bMissingIndep =
      sIndep.IsEmpty() || IsMissing(sIndep, layout.sMissing);
  double dRead = 0.0;
  if (!layout.bGood &&
      (kmTools::ReadIndependentNumber(sIndep, layout.sMissing, dRead) !=
           kmTools::FieldNumber::kNumber ||
       (layout.pFormat == nullptr && IsBeyondLargestYear(dRead)))) {
    return false;
  }

  // The independent value through its format; a value labelled as not used
  // skips the record.
  double dX = 0.0;
  if (layout.pFormat != nullptr) {
    const int32_t iLine = layout.pFormat->GetIndexFromField(sIndep);
    if (iLine < 0 && !layout.bGood) return false;
    if (iLine < 0) {
      GenerateKmInputExceptionF(
          "%s is not a valid value for the Independent variable.\n"
          "You must redefine the Independent variable format.",
          kSource, sIndep.GetCString());
    }
    const KmString sLabel = layout.pFormat->GetLabel(iLine);
    if (IsLeftOutLabel(sLabel)) return false;
    dX = IndependentNumber(sLabel);
  } else {
    dX = IndependentNumber(sIndep);
  }

  // The response by the record checks' number rule: missing or no number ->
  // -1e30, else its number; a zero count of a Poisson model in a verified
  // cohort becomes 0.5.
  auto ResponseValue = [&](const KmString& sField) {
    double v = kMissing;
    if (!ReadChecked(sField, layout.sMissing, v)) return kMissing;
    if (layout.bGood && v == 0.0 && (layout.bCountType || layout.bCalculated) &&
        layout.bZeroCountModel) {
      v = 0.5;
      bZeroAdjusted = true;
    }
    return v;
  };
  for (KmString& sField : fields) sField.RemoveAll(',');
  const bool bHaveResponse = layout.iResponsePos <= iFields;
  const double dResponseField =
      bHaveResponse ? ResponseValue(fields[layout.iResponsePos - 1]) : kMissing;
  double dSecondLast = kMissing;
  if (layout.bRatesFromAdjustGroups && iFields >= 2) {
    dSecondLast = ResponseValue(fields[iFields - 2]);
  }

  if (bMissingIndep) {
    GenerateKmInputExceptionF(
        "\"%s\" is an invalid code for the Independent variable.  "
        "Cohort index:  %d",
        kSource, sIndep.GetCString(), i);
  }
  row.x = dX + layout.dShift;

  row.y = kMissing;
  if (!layout.bCalculated || layout.bCountsToCrudeRate) {
    if (!bHaveResponse) RaiseResponsePosition(i);
    row.y = dResponseField;
  } else {
    if (iFields < 2) RaiseResponsePosition(i);
    if (layout.bRatesFromAdjustGroups) {
      row.y = dSecondLast;
    } else {
      ReadChecked(fields[iFields - 2], layout.sMissing, row.y);
    }
  }
  if (!layout.bGood && row.y < 0) row.y = kMissing;

  ReadStdError(layout, i, fields, row);
  return true;
}

void kmCalculationHandler::ReadStdError(const CohortLayout& layout, int i,
                                        const kmRecordRow& fields,
                                        CohortRow& row) {
  const int iFields = static_cast<int>(fields.size());
  row.s = kMissing;
  row.w = 1.0;
  if ((layout.iStdErrorPos == 0 && !layout.bCalculated) ||
      layout.het == kmErrorModel::kConstantVariance) {
    return;
  }
  KmString sSE;
  if (!layout.bCalculated) {
    if (layout.iStdErrorPos > iFields) {
      GenerateKmExceptionF(
          "Invalid position for standard error variable.  Cohort "
          "Index = %d",
          kSource, i);
    }
    sSE = fields[layout.iStdErrorPos - 1];
  } else {
    sSE = fields[iFields - 1];
  }
  ReadChecked(sSE, layout.sMissing, row.s, true);
  if (!layout.bGood) row.w = 0.0;
}

bool kmCalculationHandler::FitsCountsAsRates(const CohortLayout& layout) {
  return layout.het == kmErrorModel::kPoissonRate &&
         !layout.bComputedResponse && layout.iPopPos != 0;
}

void kmCalculationHandler::ObserveRefusedRow(const CohortLayout& layout,
                                             const kmRecordRow& fields,
                                             CohortRow& row) {
  if (!FitsCountsAsRates(layout)) return;
  // The count becomes the rate a fit would have used; without a count or a
  // population above 0 there is none.
  double p = kMissing;
  if (row.y >= 0 &&
      ReadPopulation(layout.iPopPos, fields, layout.sMissing, p)) {
    CountToRate(p, layout.dRatesPerN, row.y, row.s);
  } else {
    row.y = kMissing;
    row.s = kMissing;
  }
}

void kmCalculationHandler::WeighRow(const CohortLayout& layout, int i, int r,
                                    const kmRecordRow& fields,
                                    CohortRow& row) const {
  const kmErrorModel het = layout.het;
  const double dResponse = row.y;
  // A computed response under the Poisson rate model carries the standard
  // error of its Poisson count, scaled as the response is.
  const bool bCountResponse =
      !(het == kmErrorModel::kPoissonRate && layout.bComputedResponse);
  double dVar = 1.0;
  if ((het == kmErrorModel::kPoissonRate ||
       het == kmErrorModel::kPoissonCount) &&
      bCountResponse) {
    dVar = row.y;
  } else if (het == kmErrorModel::kStandardError ||
             het == kmErrorModel::kPoissonRate) {
    dVar = row.s * row.s;
  }
  double p = kMissing;
  if (FitsCountsAsRates(layout)) {
    if (!ReadPopulation(layout.iPopPos, fields, layout.sMissing, p)) {
      GenerateKmInputExceptionF(
          "Error in data file.  Population <= 0.  Cohort Index = %d", kSource,
          i);
    }
    // The variance of the rate c / p x N is c N^2 / p^2; the squared
    // multiplier is taken first so that rates per 100000 keep their figures.
    dVar = row.y * (layout.dRatesPerN * layout.dRatesPerN) / (p * p);
    CountToRate(p, layout.dRatesPerN, row.y, row.s);
  }
  // A valid value whose variance, or the rate formed from it, leaves the
  // range of doubles (a rate of 1e308 squared, a count of 1e-320 over its
  // population) is no fault of sign: say which value is out of range.
  auto raiseOutOfRange = [&]() {
    // A standard error whose own square leaves the range is named instead
    // of the dependent value it weights.
    const double dSquare = row.s * row.s;
    const bool bStdError =
        (het == kmErrorModel::kStandardError ||
         (het == kmErrorModel::kPoissonRate && !bCountResponse)) &&
        (dSquare == 0.0 || !std::isfinite(dSquare));
    // So is a population whose square leaves the range, rather than the
    // count it divides.
    const bool bPopulation = !bStdError && FitsCountsAsRates(layout) &&
                             (p * p == 0.0 || !std::isfinite(p * p));
    GenerateKmInputExceptionF(
        "The %s %g of record %d (%s, column %d) is too large or too small "
        "to be weighted: its variance falls outside the range of numbers "
        "the fit can use (about 1e-300 to 1e300).  Correct the value, or "
        "rescale the data (for example rates per 100,000 instead of per "
        "person).",
        kSource,
        bStdError     ? "standard error"
        : bPopulation ? "population"
                      : "dependent value",
        bStdError     ? row.s
        : bPopulation ? p
                      : dResponse,
        r, CohortPlace(i, row.lLine).GetCString(),
        bStdError     ? layout.iStdErrorPos
        : bPopulation ? layout.iPopPos
                      : layout.iResponsePos);
  };
  const bool bValidResponse = dResponse > 0.0 && std::isfinite(dResponse);
  if (layout.bLogLinear) {
    if (row.y <= 0 && het != kmErrorModel::kConstantVariance) {
      if (bValidResponse) raiseOutOfRange();
      GenerateKmInputExceptionF(
          "Illegal value for dependent variable.  Dependent value "
          "= %g  Cohort index:  %d (record %d, %s, column %d)",
          kSource, row.y, i, r, CohortPlace(i, row.lLine).GetCString(),
          layout.iResponsePos);
    }
    dVar = dVar / (row.y * row.y);
    row.y = std::log(row.y);
  }
  if (het != kmErrorModel::kConstantVariance) {
    if ((dVar == 0.0 || !std::isfinite(dVar)) && bValidResponse) {
      raiseOutOfRange();
    }
    if (!(dVar > 0)) {
      GenerateKmInputExceptionF(
          "Illegal value for weight.  The value for variance or "
          "the value for the response value in the data file is "
          "<= 0.  Cohort Index = %d",
          kSource, i);
    }
    row.w = 1.0 / dVar;
  }
}

void kmCalculationHandler::ProcessCohortRecords(int iCohortIndex,
                                                kmCalculator* pCalculator,
                                                bool& bZeroAdjusted) {
  WithCallPath("ProcessCohortRecords()", kClassName, [&] {
    WithMatrixErrorsAsKm("kmReadData::ProcessCohortRecords()", [&] {
      const int i = iCohortIndex;
      const CohortLayout layout = ReadCohortLayout(i);
      kmCohortRows records = pReadData_->GetCohortRows();
      if (records.empty()) {
        GenerateKmException("Cohort has no data records.", kSource);
      }
      const int iFirstFields = static_cast<int>(records[0].size());
      if (layout.iResponsePos == 0 || layout.iResponsePos > iFirstFields) {
        GenerateKmExceptionF(
            "Invalid position for the response variable.  Position is:  %d",
            kSource, layout.iResponsePos);
      }
      if (layout.iIndepPos == 0 || layout.iIndepPos > iFirstFields) {
        RaiseIndependentPosition(layout.iIndepPos);
      }

      iCurrentNumObs_ = 0;
      int n = bRatesFromAdjustGroups_ ? pCalcHandler_->GetMaxObservations()
                                      : GetNumObsThisCohort(i);
      // A refused cohort's years may be more than the longest cohort's (a
      // year whose records stand apart): each keeps its row.
      if (bRatesFromAdjustGroups_ && !layout.bGood) {
        n = std::max(n, static_cast<int>(records.size()));
      }
      if (n < 0) n = 0;
      pCalculator->CreateObservations(n);
      const Matrix& mX = *pCalculator->GetDataX();

      const std::vector<int64_t>& lines = pReadData_->GetCohortRowLines();
      int32_t r = 0;
      RecordSeen previous;
      for (size_t k = 0; k < records.size(); ++k) {
        kmRecordRow& fields = records[k];
        CohortRow row;
        if (k < lines.size()) row.lLine = lines[k];
        const KmString sIndep = IndependentText(layout.iIndepPos, fields);
        if (!ReadRecordValues(layout, i, fields, bZeroAdjusted, row)) continue;
        ++r;
        if (layout.bGood) {
          WeighRow(layout, i, r, fields, row);
        } else {
          ObserveRefusedRow(layout, fields, row);
        }
        if (r > n) continue;  // counted, not stored
        pCalculator->SetObservation(r, row.x, row.y, row.w, row.s);
        // A refused cohort of age-adjusted rates is not fitted; the
        // verification named the records out of order.
        const bool bChecksOrder = layout.bGood || !bRatesFromAdjustGroups_;
        if (bChecksOrder && r >= 2 && mX(r - 1, 2) > row.x) {
          if (layout.pFormat != nullptr &&
              IndependentNumber(sIndep) > IndependentNumber(previous.sIndep)) {
            RaiseLabelsOutOfOrder(
                i, CohortPlace(i, row.lLine), sIndep, previous, *layout.pFormat,
                pSession_->GetKMVar(kmVarIndependent).GetName());
          }
          RaiseOutOfOrder(i, CohortPlace(i, row.lLine), sIndep, previous,
                          pReadData_->ByVarSpellingNote(lines));
        }
        previous = RecordSeen{sIndep, row.lLine};
      }
      // Rates formed over adjustment groups are read into rows for the
      // longest cohort; a shorter cohort's fit must not see the empty rows
      // beyond its own. A refused cohort's record whose year is blank or no
      // number has no row: its placeholder shows the rows read, not an
      // empty one at year 0.
      if ((bRatesFromAdjustGroups_ || !layout.bGood) && r < n) {
        if (r >= 1) {
          pCalculator->KeepFirstObservations(r);
        } else if (!layout.bGood) {
          pCalculator->CreateObservations(0);
        }
      }
      iCurrentNumObs_ =
          static_cast<int16_t>(r > std::numeric_limits<int16_t>::max()
                                   ? std::numeric_limits<int16_t>::max()
                                   : r);
    });
  });
}

void kmCalculationHandler::ReadDataForAllByGroup(
    KmProgressInterface* pTracker) {
  WithCallPath("ReadDataForAllByGroup()", kClassName, [&] {
    if (pCompCalculator_ == nullptr) {
      GenerateKmException("No calculator for the comparison pass.", kClassName);
    }
    int m = pCalcHandler_->GetCombos()->GetNumCombinations();
    if (m < 1) m = 1;
    const int R = pCalcHandler_->GetMaxObservations();

    FreeComparisonArrays();
    WithMatrixErrorsAsKm("kmCalculationHandler::ReadDataForAllByGroup()", [&] {
      for (int k = 0; k < m; ++k) {
        vCompX_.push_back(std::make_unique<Matrix>(R, 2));
        *vCompX_.back() = 0.0;
        vCompY_.push_back(std::make_unique<Matrix>(R, 1));
        *vCompY_.back() = 0.0;
        vCompAux_.push_back(std::make_unique<Matrix>(R, 1));
        *vCompAux_.back() = 0.0;
        vCompWeights_.push_back(std::make_unique<ColumnVector>(R));
        *vCompWeights_.back() = 0.0;
      }
    });
    iCompGroupCount_ = m;

    pTracker->SetPosition(0);
    for (int k = 0; k < m; ++k) {
      if (pTracker->IsCancelled()) {
        pTracker->SetProcessText("Canceling...");
        break;
      }
      int iCohortIndex = k;
      if (bRatesFromAdjustGroups_) {
        pReadData_->ReadDataAndCalcRates(&iCohortIndex);
      } else {
        pReadData_->ReadData(&iCohortIndex);
      }
      bool bZeroAdjusted = false;
      ProcessCohortRecords(iCohortIndex, pCompCalculator_, bZeroAdjusted);
      uiCompNumObs_ = static_cast<uint16_t>(iCurrentNumObs_);

      KmString sText("Reading Data By-group ");
      sText << (k + 1) << " of " << m;
      pTracker->SetProcessText(sText.GetCString());
      WithMatrixErrorsAsKm(
          "kmCalculationHandler::ReadDataForAllByGroup()", [&] {
            *vCompX_[k] = *pCompCalculator_->GetDataX();
            *vCompY_[k] = *pCompCalculator_->GetDataY();
            *vCompAux_[k] = *pCompCalculator_->GetDataAux();
            *vCompWeights_[k] = *pCompCalculator_->GetDataWeightInput();
          });
      const int iPercent = static_cast<int>(static_cast<double>(k + 1) /
                                            static_cast<double>(m) * 100.0);
      pTracker->SetPosition(iPercent < 100 ? iPercent : 100);
    }
    pTracker->SetPosition(100);
  });
}

void kmCalculationHandler::FreeComparisonArrays() {
  vCompX_.clear();
  vCompY_.clear();
  vCompAux_.clear();
  vCompWeights_.clear();
  iCompGroupCount_ = 0;
}
