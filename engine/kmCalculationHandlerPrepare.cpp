// kmCalculationHandler: GetNumObsThisCohort, ProcessCohortRecords,
// ReadDataForAllByGroup and FreeComparisonArrays.
#include <newmat.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "data/kmReadData.h"
#include "engine/kmCalculationHandler.h"
#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/KmProgressInterface.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"
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
constexpr const char* kNotUsedSuffix = " (not used in calculations)";

template <typename T>
void DeleteAndNull(T*& p) {
  delete p;
  p = nullptr;
}

KmString Trimmed(const KmString& sText) {
  KmString s(sText);
  s.TrimLeft();
  s.TrimRight();
  return s;
}

// The number at the start of sText (leading blanks skipped), 0 when the
// text does not begin with a number.
double NumberAtStart(const KmString& sText) {
  return std::strtod(sText.GetCString(), nullptr);
}

// Reads the whole of sText (blanks around it allowed) as a finite number
// into dValue; false, with dValue = kMissing, when it is not one.
bool ReadWhole(const KmString& sText, double& dValue) {
  const KmString s = Trimmed(sText);
  dValue = kMissing;
  if (s.IsEmpty()) return false;
  char* pEnd = nullptr;
  const double d = std::strtod(s.GetCString(), &pEnd);
  if (pEnd == s.GetCString() || *pEnd != '\0' || !std::isfinite(d)) {
    return false;
  }
  dValue = d;
  return true;
}

// True when sField holds no value: empty once trimmed, or the missing text.
bool IsMissing(const KmString& sField, const KmString& sMissing) {
  return Trimmed(sField).IsEmpty() || sField == sMissing ||
         Trimmed(sField) == Trimmed(sMissing);
}

// The field slots of the response and the standard error of analysis copy
// i: the delay copies read the delay-adjusted variables.
void ResponseSlots(const kmSession& session, int i, bool bCountType,
                   int& iResponseRole, int& iStdErrorRole) {
  const int iDelayType = session.GetInt(kmOptDelayType);
  bool bDelay = iDelayType == 1;
  if (iDelayType == 2) {
    const int iMode = session.GetInt(kmOptJumpCRMode);
    int c = i;
    if (iMode == 6) {
      c = i / 3;
    } else if (iMode >= 3 && iMode <= 5) {
      c = i / 2;
    }
    bDelay = c % 2 == 0;
  }
  if (iDelayType == 1 || iDelayType == 2) {
    if (bDelay) {
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

int kmCalculationHandler::GetNumObsThisCohort(int iCohortIndex) const {
  try {
    return GetNumObsForCohortIndex(pSession_, iCohortIndex);
  } catch (KmException& e) {
    e.AddCallPath("GetNumObsThisCohort(int)", kClassName);
    throw;
  }
}

void kmCalculationHandler::ProcessCohortRecords(int iCohortIndex,
                                                kmCalculator* pCalculator,
                                                bool& bZeroAdjusted) {
  try {
    WithMatrixErrorsAsKm("kmReadData::ProcessCohortRecords()", [&] {
      const int i = iCohortIndex;
      const kmSession& session = *pSession_;
      const int iHet = session.GetInt(kmOptHetErrorModel);
      const int iDependentType = session.GetInt(kmOptDependentType);
      const bool bCountType = iDependentType == 0;
      const bool bCalculated = session.GetBool(kmOptDependentCalculated);
      const bool bCountsToCrudeRate =
          bCalculated && iDependentType == 1 && iHet == 4;
      const bool bLogLinear = session.GetBool(kmOptLogLinear);
      const double dShift = session.GetDouble(kmOptDataShift);
      // A multiplier of 0 would turn every rate into 0.
      double dRatesPerN = session.GetInt(kmOptRatesPerN);
      if (dRatesPerN <= 0) dRatesPerN = kDefaultRatesPerN;
      const bool bZeroCountModel =
          iHet == 4 || iHet == 1 || (iHet == 0 && bLogLinear);

      int iResponseRole = kmVarDependent;
      int iStdErrorRole = kmVarStdError;
      ResponseSlots(session, i, bCountType, iResponseRole, iStdErrorRole);
      const int iResponsePos = session.GetKMVarPosition(iResponseRole);
      const int iStdErrorPos = session.GetKMVarPosition(iStdErrorRole);
      const int iIndepPos = session.GetKMVarPosition(kmVarIndependent);
      const int iPopPos = session.GetKMVarPosition(kmVarPopulation);
      KmString sMissing;
      session.GetMissingString(sMissing);

      const bool bGood = pReadData_->GetCohortGoodFlag(i);
      kmCohortRows records = pReadData_->GetCohortRows();
      if (records.empty()) {
        GenerateKmException("Cohort has no data records.", kSource);
      }
      const int iFirstFields = static_cast<int>(records[0].size());
      if (iResponsePos == 0 || iResponsePos > iFirstFields) {
        GenerateKmExceptionF(
            "Invalid position for the response variable.  Position is:  "
            "%d",
            kSource, iResponsePos);
      }
      if (iIndepPos == 0 || iIndepPos > iFirstFields) {
        GenerateKmExceptionF(
            "Invalid position for independent variable.  Position is:  "
            "%d",
            kSource, iIndepPos);
      }

      iCurrentNumObs_ = 0;
      int n = bRatesFromAdjustGroups_ ? pCalcHandler_->GetMaxObservations()
                                      : GetNumObsThisCohort(i);
      if (n < 0) n = 0;
      DeleteAndNull(pCalculator->pDataX);
      DeleteAndNull(pCalculator->pDataY);
      DeleteAndNull(pCalculator->pDataWeightInput);
      DeleteAndNull(pCalculator->pDataAux);
      pCalculator->pDataX = new Matrix(n, 2);
      *pCalculator->pDataX = 0.0;
      pCalculator->pDataY = new Matrix(n, 1);
      *pCalculator->pDataY = 0.0;
      pCalculator->pDataWeightInput = new ColumnVector(n);
      *pCalculator->pDataWeightInput = 0.0;
      pCalculator->pDataAux = new Matrix(n, 1);
      *pCalculator->pDataAux = 0.0;
      Matrix& mX = *pCalculator->pDataX;
      Matrix& mY = *pCalculator->pDataY;
      ColumnVector& vW = *pCalculator->pDataWeightInput;
      Matrix& mS = *pCalculator->pDataAux;

      const kmVariable& indep = session.GetKMVar(kmVarIndependent);
      const KmFormat* pFormat =
          indep.HasFormat() ? &indep.GetFormat() : nullptr;

      // The response as step one reads it: missing -> -1e30, else the
      // number the text begins with; a zero count of a Poisson model in
      // a verified cohort becomes 0.5.
      auto ResponseValue = [&](const KmString& sField) {
        if (IsMissing(sField, sMissing)) return kMissing;
        double v = NumberAtStart(sField);
        if (bGood && v == 0.0 && (bCountType || bCalculated) &&
            bZeroCountModel) {
          v = 0.5;
          bZeroAdjusted = true;
        }
        return v;
      };

      int32_t r = 0;
      for (kmRecordRow& fields : records) {
        const int iFields = static_cast<int>(fields.size());
        // Records shorter than the first one are refused instead of
        // being read past their end.
        if (iIndepPos > iFields) {
          GenerateKmExceptionF(
              "Invalid position for independent variable.  Position is:  "
              "%d",
              kSource, iIndepPos);
        }
        const KmString sIndep = Trimmed(fields[iIndepPos - 1]);

        double dX = 0.0;
        if (pFormat != nullptr) {
          int32_t iLine = -1;
          try {
            iLine = pFormat->GetIndexFromValue(sIndep.GetCString(), true, true);
          } catch (KmException&) {
            iLine = -1;  // a text of the wrong type matches no line
          }
          if (iLine < 0) {
            GenerateKmInputExceptionF(
                "%s is not a valid value for the Independent variable.\n"
                "You must redefine the Independent variable format.",
                kSource, sIndep.GetCString());
          }
          const KmString sLabel = pFormat->GetLabel(iLine);
          if (sLabel.EndsWith(kNotUsedSuffix)) continue;
          dX = NumberAtStart(sLabel);
        } else {
          dX = NumberAtStart(sIndep);
        }

        for (KmString& sField : fields) sField.RemoveAll(',');
        const bool bHaveResponse = iResponsePos <= iFields;
        const double dResponseField =
            bHaveResponse ? ResponseValue(fields[iResponsePos - 1]) : kMissing;
        double dSecondLast = kMissing;
        if (bRatesFromAdjustGroups_ && iFields >= 2) {
          dSecondLast = ResponseValue(fields[iFields - 2]);
        }

        ++r;

        // The reader hands an empty field on as the missing text.
        if (sIndep.IsEmpty() || IsMissing(sIndep, sMissing)) {
          GenerateKmInputExceptionF(
              "\"%s\" is an invalid code for the Independent variable.  "
              "Cohort index:  %d",
              kSource, sIndep.GetCString(), i);
        }
        const double x = dX + dShift;

        double y = kMissing;
        if (!bCalculated || bCountsToCrudeRate) {
          if (!bHaveResponse) {
            GenerateKmExceptionF(
                "Invalid position for response variable.  Cohort Index = "
                "%d",
                kSource, i);
          }
          y = dResponseField;
        } else {
          if (iFields < 2) {
            GenerateKmExceptionF(
                "Invalid position for response variable.  Cohort Index = "
                "%d",
                kSource, i);
          }
          if (bRatesFromAdjustGroups_) {
            y = dSecondLast;
          } else {
            ReadWhole(fields[iFields - 2], y);
          }
        }
        if (!bGood && y < 0) y = kMissing;

        double s = kMissing;
        double w = 1.0;
        if ((iStdErrorPos == 0 && !bCalculated) || iHet == 0) {
          s = kMissing;
        } else {
          KmString sSE;
          if (!bCalculated) {
            if (iStdErrorPos > iFields) {
              GenerateKmExceptionF(
                  "Invalid position for standard error variable.  Cohort "
                  "Index = %d",
                  kSource, i);
            }
            sSE = fields[iStdErrorPos - 1];
          } else {
            sSE = fields[iFields - 1];
          }
          if (bGood) {
            ReadWhole(sSE, s);
          } else {
            if (IsMissing(sSE, sMissing) || !ReadWhole(sSE, s)) {
              s = kMissing;
            }
            w = 0.0;
          }
        }

        if (bGood) {
          double dVar = 1.0;
          if (iHet == 4 || iHet == 1) {
            dVar = y;
          } else if (iHet == 2) {
            dVar = s * s;
          }
          if (iHet == 4 && iPopPos != 0) {
            double p = kMissing;
            if (iPopPos <= iFields) ReadWhole(fields[iPopPos - 1], p);
            if (p <= 0) {
              GenerateKmInputExceptionF(
                  "Error in data file.  Population <= 0.  Cohort Index = "
                  "%d",
                  kSource, i);
            }
            s = std::sqrt(y) / p * dRatesPerN;
            dVar = y * 1e10 / (p * p);
            y = y / p * dRatesPerN;
          }
          if (bLogLinear) {
            if (y <= 0 && iHet != 0) {
              GenerateKmInputExceptionF(
                  "Illegal value for dependent variable.  Dependent value "
                  "= %f  Cohort index:  %d",
                  kSource, y, i);
            }
            dVar = dVar / (y * y);
            y = std::log(y);
          }
          if (iHet != 0) {
            if (!(dVar > 0)) {
              GenerateKmInputExceptionF(
                  "Illegal value for weight.  The value for variance or "
                  "the value for the response value in the data file is "
                  "<= 0.  Cohort Index = %d",
                  kSource, i);
            }
            w = 1.0 / dVar;
          }
        }

        if (r > 0 && r <= n) {
          mX(r, 1) = 1.0;
          mX(r, 2) = x;
          mY(r, 1) = y;
          vW(r) = w;
          mS(r, 1) = s;
          if (r >= 2 && mX(r - 1, 2) > x) {
            GenerateKmInputExceptionF(
                "Error in Data File:  Kinkmark encountered a problem with "
                "your Independent Variable.  Possible causes include your "
                "Independent Variable not being sorted or By-Variable(s) "
                "not properly defined.  Cohort Index = %d",
                kSource, i);
          }
        }
      }
      iCurrentNumObs_ =
          static_cast<int16_t>(r > std::numeric_limits<int16_t>::max()
                                   ? std::numeric_limits<int16_t>::max()
                                   : r);
    });
  } catch (KmException& e) {
    e.AddCallPath("ProcessCohortRecords()", kClassName);
    throw;
  }
}

void kmCalculationHandler::ReadDataForAllByGroup(
    KmProgressInterface* pTracker) {
  try {
    if (pCompCalculator_ == nullptr) {
      GenerateKmException("No calculator for the comparison pass.", kClassName);
    }
    int m = pCalcHandler_->GetCombos()->GetNumCombinations();
    if (m < 1) m = 1;
    const int R = pCalcHandler_->GetMaxObservations();

    FreeComparisonArrays();
    ppCompX_ = new Matrix*[m]();
    ppCompY_ = new Matrix*[m]();
    ppCompAux_ = new Matrix*[m]();
    ppCompWeights_ = new ColumnVector*[m]();
    iCompGroupCount_ = m;
    WithMatrixErrorsAsKm("kmCalculationHandler::ReadDataForAllByGroup()", [&] {
      for (int k = 0; k < m; ++k) {
        ppCompX_[k] = new Matrix(R, 2);
        *ppCompX_[k] = 0.0;
        ppCompY_[k] = new Matrix(R, 1);
        *ppCompY_[k] = 0.0;
        ppCompAux_[k] = new Matrix(R, 1);
        *ppCompAux_[k] = 0.0;
        ppCompWeights_[k] = new ColumnVector(R);
        *ppCompWeights_[k] = 0.0;
      }
    });

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
            *ppCompX_[k] = *pCompCalculator_->pDataX;
            *ppCompY_[k] = *pCompCalculator_->pDataY;
            *ppCompAux_[k] = *pCompCalculator_->pDataAux;
            *ppCompWeights_[k] = *pCompCalculator_->pDataWeightInput;
          });
      const int iPercent = static_cast<int>(static_cast<double>(k + 1) /
                                            static_cast<double>(m) * 100.0);
      pTracker->SetPosition(iPercent < 100 ? iPercent : 100);
    }
    pTracker->SetPosition(100);
  } catch (KmException& e) {
    e.AddCallPath("ReadDataForAllByGroup()", kClassName);
    throw;
  }
}

void kmCalculationHandler::FreeComparisonArrays() {
  for (int k = 0; k < iCompGroupCount_; ++k) {
    if (ppCompX_ != nullptr) delete ppCompX_[k];
    if (ppCompY_ != nullptr) delete ppCompY_[k];
    if (ppCompAux_ != nullptr) delete ppCompAux_[k];
    if (ppCompWeights_ != nullptr) delete ppCompWeights_[k];
  }
  delete[] ppCompX_;
  delete[] ppCompY_;
  delete[] ppCompAux_;
  delete[] ppCompWeights_;
  ppCompX_ = nullptr;
  ppCompY_ = nullptr;
  ppCompAux_ = nullptr;
  ppCompWeights_ = nullptr;
  iCompGroupCount_ = 0;
}
