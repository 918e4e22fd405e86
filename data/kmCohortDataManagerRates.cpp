// kmCohortDataManager: the rate checks ValidateCrudeRates,
// ValidateCrudeOrAgeAdjRate and ValidateProportionPercent.
#include <cmath>
#include <cstdlib>

#include "data/internal/kmCohortReadHelpers.h"
#include "data/kmCohortDataManager.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/kmTools.h"
#include "session/kmErrorModel.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char* const kClassName = "kmCohortDataManager";

// Rates per this many persons when kmOptRatesPerN is below 1.
constexpr double kDefaultRatesPerN = 100000.0;

// One numeric field of a record by the one number rule
// (kmTools::ReadFieldNumber): missing (empty, or the missing text), numeric,
// and its value (0 for a field that is missing or no number), and its text.
struct FieldValue {
  bool bMissing;
  bool bNumeric;
  double dValue;
  KmString sText;
};

// Follows a missing column of computed age-adjusted rates: the type in
// force and the columns it needs, since a run that computes its rates
// without naming the type computes age-adjusted ones.
const char kAgeAdjustedNeeds[] =
    "  The run computes its dependent variable (\"run type = calculated\") "
    "and the dependent variable type in force is age-adjusted rate, the "
    "default when the run options give no \"dependent variable type\": an "
    "age-adjusted rate needs a count, a population and a standard "
    "population column (\"count location\", \"population location\" and "
    "\"standard population location\" in a session-parameter file) and an "
    "adjustment variable.  To compute crude rates from counts and "
    "populations, set \"dependent variable type = crude rate\" in the run "
    "options.";

FieldValue ReadField(const KmString& sField, const KmString& sMissing) {
  FieldValue field;
  double dParsed = 0.0;
  const kmTools::FieldNumber read =
      kmTools::ReadFieldNumber(sField, sMissing, dParsed);
  field.bMissing = read == kmTools::FieldNumber::kMissing;
  field.bNumeric = read == kmTools::FieldNumber::kNumber;
  field.dValue = dParsed;
  field.sText = sField;
  return field;
}

// Throws the "not enough elements" refusal for the field named sWhat at
// 1-based iLocation of a first record of nFields fields.
[[noreturn]] void ThrowTooShort(const char* sWhat, int iLocation,
                                int32_t nFields, const char* sTail,
                                const char* sSource) {
  KmString sText;
  sText << "Cohort Row Vector does not contain enough elements for rate "
           "calculations.  Kinkmark is trying to access the "
        << sWhat << iLocation << "), but the cohort row vector only has "
        << nFields << sTail;
  GenerateKmException(sText.GetCString(), sSource);
}

}  // namespace

void kmCohortDataManager::ValidateCrudeRates(KmString sMissing,
                                             int /*iCohortNumber*/) {
  static const char* const kSource = "ValidateCrudeRates";
  WithCallPath("ValidateCrudeRates()", kClassName, [&] {
    if (pRows_ == nullptr || pRows_->empty()) {
      GenerateKmException("Cohort Data Vector Empty.", kSource);
    }
    if (iCountLoc_ < 1 || iPopulationLoc_ < 1) {
      GenerateKmException(
          "Count or Population variable offset is zero or "
          "less.",
          kSource);
    }
    const int32_t nFirst = static_cast<int32_t>((*pRows_)[0].size());
    if (nFirst == 0) {
      GenerateKmException(
          "Cohort row vector is empty.  This most likely means that there is "
          "one or more blank lines in the data file.  Kinkmark should "
          "automatically skip blank lines but somehow an empty/blank line is "
          "getting through.  Please remove all blank lines from your data "
          "file and try it again.  If this does not resolve the problem, "
          "please contact Technical Support.",
          kSource);
    }
    if (nFirst < iCountLoc_) {
      ThrowTooShort("count variable (field position ", iCountLoc_, nFirst,
                    " fields. Zero-based index.", kSource);
    }
    if (nFirst < iPopulationLoc_) {
      ThrowTooShort("population variable (field position ", iPopulationLoc_,
                    nFirst, " fields. Zero-based index.", kSource);
    }

    const bool bPoisson = IsPoissonType();
    const bool bNonConstant =
        pSession_->Get<kmErrorModel>() != kmErrorModel::kConstantVariance;
    const bool bLogLinear = pSession_->GetBool(kmOptLogLinear);
    bool bRateProblem = false;

    const int32_t nRecords = static_cast<int32_t>(pRows_->size());
    for (int32_t r = 0; r < nRecords && bValid_; ++r) {
      const kmRecordRow& vRecord = (*pRows_)[static_cast<size_t>(r)];
      // Later records may be shorter than the first: an absent field reads
      // as an empty field (" "), as the splitter gives it.
      const int32_t nFields = static_cast<int32_t>(vRecord.size());
      const KmString sCount = nFields >= iCountLoc_
                                  ? vRecord[static_cast<size_t>(iCountLoc_ - 1)]
                                  : KmString(" ");
      const KmString sPop =
          nFields >= iPopulationLoc_
              ? vRecord[static_cast<size_t>(iPopulationLoc_ - 1)]
              : KmString(" ");
      const FieldValue count = ReadField(sCount, sMissing);
      const FieldValue pop = ReadField(sPop, sMissing);

      bool bCountGood = true;
      bool bPopGood = true;
      if (count.bMissing) {
        Report("  There was one or more missing count values.", r, iCountLoc_);
        bCountGood = false;
      } else if (!count.bNumeric) {
        ReportNoNumber("  One or more count values were not numeric.", r,
                       iCountLoc_, "count", count.sText);
        bCountGood = false;
      }
      if (pop.bMissing) {
        Report("  There was one or more missing population values.", r,
               iPopulationLoc_);
        bPopGood = false;
      } else if (!pop.bNumeric) {
        ReportNoNumber("  One or more population values were not numeric.", r,
                       iPopulationLoc_, "population", pop.sText);
        bPopGood = false;
      }
      if (!bCountGood || !bPopGood) continue;

      const double c = count.dValue;
      const double p = pop.dValue;
      if (c < 0.0) {
        Report("  There was one or more count values less than zero.", r,
               iCountLoc_);
        bRateProblem = true;
      }
      if (p < 0.0) {
        Report(
            "  There was one or more population values that was less than "
            "zero.",
            r, iPopulationLoc_);
        bRateProblem = true;
      }
      if (p == 0.0 && !bRateProblem) {
        Report(
            "  There was one or more records where the population was "
            "zero.  No Crude Rate is calculated when this occurs.",
            r, iPopulationLoc_);
        bRateProblem = true;
      } else if (c == 0.0 && bNonConstant && !bPoisson) {
        Report(
            "  The standard error cannot be computed when the count is "
            "zero.  This cohort will be bypassed because of this.",
            r, iCountLoc_);
      }
      // A population of 0 gives no rate at all, as reported above: the
      // count is no zero rate.
      if (bLogLinear && c == 0.0 && !bPoisson && p != 0.0) {
        Report(
            "  The calculated crude rate is zero.  Kinkmark cannot process "
            "records with dependent variable = 0.  Kinkmark will not "
            "analyze by-groups that have this error.",
            r, iCountLoc_);
      }
    }
  });
}

void kmCohortDataManager::CheckRateLayout(bool bAgeAdjusted,
                                          const char* kSource) const {
  if (pRows_ == nullptr || pRows_->empty()) {
    GenerateKmException("Cohort Data Vector Empty.", kSource);
  }
  const char* sNeeds = bAgeAdjusted ? kAgeAdjustedNeeds : "";
  if (iCountLoc_ < 1) {
    GenerateKmExceptionF("Count variable offset is zero or less.%s", kSource,
                         sNeeds);
  }
  if (iPopulationLoc_ < 1) {
    GenerateKmExceptionF("Pop variable offset is zero or less.%s", kSource,
                         sNeeds);
  }
  if (bAgeAdjusted && iStdPopulationLoc_ < 1) {
    GenerateKmExceptionF("Stnd Pop variable offset is zero or less.%s", kSource,
                         sNeeds);
  }
  const int32_t nFirst = static_cast<int32_t>((*pRows_)[0].size());
  if (nFirst == 0) {
    GenerateKmException("Cohort row vector is empty.", kSource);
  }
  if (nFirst < iCountLoc_) {
    ThrowTooShort("count variable (field position ", iCountLoc_, nFirst,
                  " fields.", kSource);
  }
  if (nFirst < iPopulationLoc_) {
    ThrowTooShort("population variable (field position ", iPopulationLoc_,
                  nFirst, " fields.", kSource);
  }
  if (bAgeAdjusted && nFirst < iStdPopulationLoc_) {
    ThrowTooShort("standard population variable (field position ",
                  iStdPopulationLoc_, nFirst, " fields.", kSource);
  }
}

void kmCohortDataManager::ValidateCrudeOrAgeAdjRate(bool bAgeAdjusted,
                                                    int iNumAdjustGroups,
                                                    int /*iCohortNumber*/,
                                                    KmString sMissing) {
  static const char* const kSource = "ValidateCrudeOrAgeAdjRate";
  WithCallPath("ValidateCrudeOrAgeAdjRate()", kClassName, [&] {
    CheckRateLayout(bAgeAdjusted, kSource);

    const int32_t nRecords = static_cast<int32_t>(pRows_->size());
    // Without age adjustment the whole cohort is walked record by record.
    int32_t nGroup = 1;
    if (bAgeAdjusted) {
      if (iNumAdjustGroups < 2) {
        GenerateKmException(
            "Adjustment variable has less than 2 groups.  This is invalid for "
            "age-adjustment calculations.",
            kSource);
      }
      nGroup = iNumAdjustGroups;
      if (nRecords % nGroup != 0) {
        bValid_ = false;
        sMessage_ << "  The total number of records for the cohort is not "
                     "evenly divisible by the number of adjustment variable "
                     "groups.  "
                  << "  Cohort records (all independent variable categories):"
                     "  "
                  << nRecords
                  << "  Adjustment variable categories:  " << nGroup;
      }
      if (dTotalStdPopulation_ == -1.0 && bValid_) {
        ComputeTotalStdPopulation(nGroup, sMissing);
      }
    }

    double dRatesPerN = pSession_->GetInt(kmOptRatesPerN);
    if (dRatesPerN < 1.0) dRatesPerN = kDefaultRatesPerN;
    const bool bLogLinear = pSession_->GetBool(kmOptLogLinear);
    double dTotalPopulation = 0.0;
    double dGroupRate = 0.0;
    bool bNegativePopReported = false;
    bool bNegativeStdPopReported = false;

    for (int32_t r = 0; r < nRecords && bValid_; ++r) {
      const kmRecordRow& vRecord = (*pRows_)[static_cast<size_t>(r)];
      const int32_t nFields = static_cast<int32_t>(vRecord.size());
      const FieldValue count = ReadField(
          nFields >= iCountLoc_ ? vRecord[static_cast<size_t>(iCountLoc_ - 1)]
                                : KmString(" "),
          sMissing);
      const FieldValue pop =
          ReadField(nFields >= iPopulationLoc_
                        ? vRecord[static_cast<size_t>(iPopulationLoc_ - 1)]
                        : KmString(" "),
                    sMissing);

      if (count.bMissing) {
        Report("  There was one or more missing count values.", r, iCountLoc_);
      } else if (!count.bNumeric) {
        ReportNoNumber("  One or more count values were not numeric.", r,
                       iCountLoc_, "count", count.sText);
      } else if (count.dValue < 0.0) {
        Report("  There was one or more count values less than zero.", r,
               iCountLoc_);
      }
      double p = pop.dValue;
      if (pop.bMissing) {
        Report("  There was one or more missing population values.", r,
               iPopulationLoc_);
      } else if (!pop.bNumeric) {
        ReportNoNumber("  One or more population values were not numeric.", r,
                       iPopulationLoc_, "population", pop.sText);
      } else {
        dTotalPopulation += p;
        if (p < 0.0 && !bNegativePopReported) {
          Report("  There was one or more population values less than zero.", r,
                 iPopulationLoc_);
          bNegativePopReported = true;
        }
      }
      const double c = count.dValue;
      if (p == 0.0 && c > 0.0) p = c;

      if (!bAgeAdjusted) continue;

      const double s =
          nFields >= iStdPopulationLoc_
              ? ReadField(vRecord[static_cast<size_t>(iStdPopulationLoc_ - 1)],
                          sMissing)
                    .dValue
              : 0.0;
      if (s < 0.0 && !bNegativeStdPopReported) {
        Report(
            "  There was one or more standard population value less than "
            "zero.",
            r, iStdPopulationLoc_);
        bNegativeStdPopReported = true;
      }
      if (bValid_ && dTotalStdPopulation_ != 0.0 && p != 0.0) {
        dGroupRate += (c / p) * dRatesPerN * (s / dTotalStdPopulation_);
      }
      if ((r + 1) % nGroup == 0) {
        if (bValid_ && bLogLinear && dGroupRate == 0.0) {
          bValid_ = false;
          sMessage_ << "  The calculated age-adjusted rate is zero.  Kinkmark "
                       "cannot process records with dependent variable = 0.  "
                       "Kinkmark will not analyze by-groups that have this "
                       "error."
                    << " (record " << static_cast<int32_t>(r + 1) << ")  ";
        }
        dGroupRate = 0.0;
      }
    }

    // Only a cohort that passed every other check is judged by its total:
    // after an earlier refusal the walk stopped short (or never ran) and
    // the sum would claim a zero total that the data do not have.
    if (bAgeAdjusted && bValid_ && dTotalPopulation == 0.0) {
      bValid_ = false;
      sMessage_ << "  The total population for this cohort is zero.  Kinkmark "
                   "cannot compute age-adjusted rates when this occurs.";
    }
  });
}

void kmCohortDataManager::ComputeTotalStdPopulation(int32_t nGroup,
                                                    const KmString& sMissing) {
  const int32_t nRecords = static_cast<int32_t>(pRows_->size());
  const int32_t nTake = nGroup < nRecords ? nGroup : nRecords;
  double dTotal = 0.0;
  bool bFailed = false;
  for (int32_t r = 0; r < nTake; ++r) {
    const kmRecordRow& vRecord = (*pRows_)[static_cast<size_t>(r)];
    const KmString sField =
        static_cast<int32_t>(vRecord.size()) >= iStdPopulationLoc_
            ? vRecord[static_cast<size_t>(iStdPopulationLoc_ - 1)]
            : KmString(" ");
    const FieldValue s = ReadField(sField, sMissing);
    const char* sSentence = nullptr;
    if (s.bMissing) {
      sSentence =
          "  The standard population value read from the data line is "
          "missing.  Kinkmark cannot calculate age-adjusted rates for this "
          "cohort.";
    } else if (!s.bNumeric) {
      sSentence =
          "  The standard population value read from the data line is not "
          "numeric.  Kinkmark cannot calculate age-adjusted rates for this "
          "cohort.";
    } else if (s.dValue < 0.0) {
      sSentence =
          "  The standard population value read from the data line is "
          "negative.  Kinkmark cannot calculate age-adjusted rates for this "
          "cohort.";
    }
    if (sSentence != nullptr) {
      Report(sSentence, r, iStdPopulationLoc_);
      bFailed = true;
    } else {
      dTotal += s.dValue;
    }
  }
  // A failed total is not kept: a cohort with a bad standard population must
  // not leave a zero total behind, which would make every later cohort's
  // age-adjusted rates zero. The next cohort computes the total anew.
  if (!bFailed) dTotalStdPopulation_ = dTotal;
}

void kmCohortDataManager::ValidateProportionPercent(KmString sMissing,
                                                    int /*iCohortNumber*/) {
  static const char* const kSource = "ValidateProportionPercent";
  WithCallPath("ValidateProportionPercent()", kClassName, [&] {
    if (pRows_ == nullptr || pRows_->empty()) {
      GenerateKmException("Cohort Data Vector Empty.", kSource);
    }
    if (iCountLoc_ < 1 || iPopulationLoc_ < 1) {
      GenerateKmException(
          "Numerator or Denominator variable offset is zero or less.", kSource);
    }
    const int32_t nFirst = static_cast<int32_t>((*pRows_)[0].size());
    if (nFirst == 0) {
      GenerateKmException("Cohort row vector is empty.", kSource);
    }
    if (nFirst < iCountLoc_ || nFirst < iPopulationLoc_) {
      GenerateKmException(
          "Cohort Row Vector does not contain enough elements for percent or "
          "proportion calculations.",
          kSource);
    }

    const kmErrorModel model = pSession_->Get<kmErrorModel>();
    const bool bNonConstant = model != kmErrorModel::kConstantVariance;
    // Only the standard-error model weighs by the binomial standard error,
    // which is 0 when the numerator equals the denominator.
    const bool bBinomialWeights = model == kmErrorModel::kStandardError;
    // The reader fits a zero numerator of a log-linear constant-variance
    // model as 0.5, as it does a zero count; the cohort gets its note.
    const bool bHalfZero = model == kmErrorModel::kConstantVariance &&
                           pSession_->GetBool(kmOptLogLinear);
    bool bZeroNoted = false;
    const int32_t nRecords = static_cast<int32_t>(pRows_->size());
    for (int32_t r = 0; r < nRecords && bValid_; ++r) {
      const kmRecordRow& vRecord = (*pRows_)[static_cast<size_t>(r)];
      const int32_t nFields = static_cast<int32_t>(vRecord.size());
      const FieldValue a = ReadField(
          nFields >= iCountLoc_ ? vRecord[static_cast<size_t>(iCountLoc_ - 1)]
                                : KmString(" "),
          sMissing);
      const FieldValue b =
          ReadField(nFields >= iPopulationLoc_
                        ? vRecord[static_cast<size_t>(iPopulationLoc_ - 1)]
                        : KmString(" "),
                    sMissing);
      bool bGood = true;
      if (a.bMissing) {
        Report("  There was one or more missing numerator values.", r,
               iCountLoc_);
        bGood = false;
      } else if (!a.bNumeric) {
        ReportNoNumber("  One or more numerator values were not numeric.", r,
                       iCountLoc_, "numerator", a.sText);
        bGood = false;
      }
      if (b.bMissing) {
        Report("  There was one or more missing denominator values.", r,
               iPopulationLoc_);
        bGood = false;
      } else if (!b.bNumeric) {
        ReportNoNumber("  One or more denominator values were not numeric.", r,
                       iPopulationLoc_, "denominator", b.sText);
        bGood = false;
      }
      if (!bGood) continue;

      if (b.dValue == 0.0) {
        Report(
            "  There was one or more records where the denominator was "
            "zero.  A Proportion or Percentage will NOT be computed when "
            "this happens.",
            r, iPopulationLoc_);
      } else if (a.dValue < 0.0 || b.dValue < 0.0) {
        Report(
            "  There was one or more records where the numerator or "
            "denominator was negative.  A Proportion or Percentage will "
            "NOT be computed when this happens.",
            r, iCountLoc_);
      } else if (a.dValue > b.dValue) {
        Report(
            "  There was one or more records where the numerator was "
            "greater than the denominator.  A Proportion or Percentage "
            "will NOT be computed when this happens.",
            r, iCountLoc_);
      } else if (a.dValue == 0.0 && bNonConstant) {
        Report(
            "  The standard error cannot be computed when the numerator "
            "is zero.  This cohort will be bypassed because of this.",
            r, iCountLoc_);
      } else if (a.dValue == b.dValue && bBinomialWeights) {
        Report(
            "  The standard error is zero when the numerator equals the "
            "denominator.  This cohort will be bypassed because of this.",
            r, iCountLoc_);
      } else if (a.dValue == 0.0 && bHalfZero && !bZeroNoted) {
        bZeroNoted = true;
        sMessage_ << km_read_internal::kZeroCountNote
                  << RowColText(r, iCountLoc_);
      }
    }
  });
}
