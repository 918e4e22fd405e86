// kmReadData: the verification pass over the whole data set
// (VerifyDelayRateCalcNEW) and the cohort error list (ProcessCohortError).
#include <cstdint>
#include <limits>
#include <memory>

#include "data/kmCohortDataManager.h"
#include "data/kmReadData.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/kmTools.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"

namespace {

const char kClassName[] = "kmReadData";
const char kVerifySource[] = "VerifyDelayRateCalc()";

// More selected cohorts than this raise the large-run question.
constexpr int kLargeRunCohorts = 100;
// Code of the large-run question.
constexpr int kLargeRunQuestionCode = 4;

// Analyses of one cohort (per delay variant) for kmOptJumpCRMode m:
// 0-2 one, 3-5 two, 6 three.
int AnalysesForMode(int iJumpCRMode) {
  if (iJumpCRMode >= 3 && iJumpCRMode <= 5) return 2;
  if (iJumpCRMode == 6) return 3;
  return 1;
}

// The variable locations of the two analysis variants of a cohort.
struct VariantLocations {
  int iDependent1 = 0;
  int iStdError1 = 0;
  int iDependent2 = 0;
  int iStdError2 = 0;
  int iAdjust = 0;
};

// Throws, as an input error, the refusal of a cohort that the session's
// per-cohort lists do not know: the file yields more cohorts than the
// pre-read found (by-variables not sorted, or read differently).
[[noreturn]] void ThrowByVariableProblem(KmString& sMessage, int iCohort) {
  sMessage.Clear();
  sMessage << "There seems to be a problem with one of your By Variables, "
              "possibly due to a non-numeric value or due to the values being "
              "sorted incorrectly (Cohort = "
           << iCohort
           << ").  Kinkmark cannot run with the selected By Variables.";
  GenerateKmInputExceptionF("%s", kVerifySource, sMessage.GetCString());
}

// Throws sText as an input error after copying it into sMessage.
[[noreturn]] void ThrowInputError(KmString& sMessage, const char* sText) {
  sMessage = sText;
  GenerateKmInputExceptionF("%s", kVerifySource, sText);
}

}  // namespace

bool kmReadData::VerifyDelayRateCalcNEW(KmString& sMessage, bool /*bUnused*/) {
  try {
    const int iJumpCRMode = pSession_->GetInt(kmOptJumpCRMode);
    const int iDelayType = pSession_->GetInt(kmOptDelayType);
    const bool bBothDelay = iDelayType == 2;
    const int nAnalyses = AnalysesForMode(iJumpCRMode);
    const int nCopies = bBothDelay ? 2 * nAnalyses : nAnalyses;
    const bool bCalculated = pSession_->GetBool(kmOptDependentCalculated);
    const int iDependentType = pSession_->GetInt(kmOptDependentType);

    // 1. Local combination table and cohort data manager; empty results.
    kmCombos combos(pSession_->GetNumByVars());
    std::unique_ptr<kmCohortDataManager> pManager(
        new kmCohortDataManager(pSession_));
    vGoodFlags_.clear();
    vErrorTexts_.clear();
    vLineCounts_.clear();
    // Positions are appended per copy like the line counts; a second pass
    // must not leave the first pass's positions in front of its own.
    vFilePositions_.clear();
    vCohortErrors_.clear();
    vNotes_.clear();
    sQuestion_.Clear();
    iQuestionCode_ = -1;

    // 2. Variable locations of copy 1 and of the delay variant.
    VariantLocations loc;
    if (bCalculated) {
      loc.iDependent1 =
          iDependentType == 1 ? pSession_->GetKMVarPosition(kmVarCount) : 0;
      if (bClustered_)
        loc.iAdjust = pSession_->GetKMVarPosition(kmVarAdjustment);
    } else if (iJumpCRMode == 0) {
      switch (iDelayType) {
        case 0:
          loc.iDependent1 = pSession_->GetKMVarPosition(kmVarDependent);
          loc.iStdError1 = pSession_->GetKMVarPosition(kmVarStdError);
          break;
        case 1:
          loc.iDependent1 = pSession_->GetKMVarPosition(kmVarDelayRate);
          loc.iStdError1 = pSession_->GetKMVarPosition(kmVarDelaySE);
          break;
        case 2:
          loc.iDependent1 = pSession_->GetKMVarPosition(kmVarDependent);
          loc.iStdError1 = pSession_->GetKMVarPosition(kmVarStdError);
          loc.iDependent2 = pSession_->GetKMVarPosition(kmVarDelayRate);
          loc.iStdError2 = pSession_->GetKMVarPosition(kmVarDelaySE);
          break;
        default:
          sMessage =
              "Invalid run type encountered.  Not a standard run, nor one of "
              "the delay-adjusted run types.";
          GenerateKmException(sMessage.GetCString(), kVerifySource);
      }
    } else {
      loc.iDependent1 = pSession_->GetKMVarPosition(kmVarDependent);
      loc.iStdError1 = pSession_->GetKMVarPosition(kmVarStdError);
      if (bBothDelay) {
        loc.iDependent2 = pSession_->GetKMVarPosition(kmVarDelayRate);
        loc.iStdError2 = pSession_->GetKMVarPosition(kmVarDelaySE);
      }
    }
    if (pSession_->GetInt(kmOptHetErrorModel) != 2) {
      loc.iStdError1 = 0;
      loc.iStdError2 = 0;
    }
    const int iIndependentLoc = pSession_->GetKMVarPosition(kmVarIndependent);

    // 3. Adjustment groups from the adjustment variable's format.
    iNumAdjustGroups_ = 0;
    if (loc.iAdjust > 0 && bCalculated) {
      const kmVariable& adjust = pSession_->GetKMVar(kmVarAdjustment);
      iNumAdjustGroups_ =
          adjust.HasFormat() ? adjust.GetFormat().GetNumLines() : -1;
    }

    // 4. Open the data file, its header line dropped.
    OpenInputFile(true);

    const int iMaxKinkmarks = pSession_->GetInt(kmOptMaxKinkmarks);
    const int iMinObsEnd = pSession_->GetInt(kmOptMinObsEnd);
    const int iMinObsBetween = pSession_->GetInt(kmOptMinObsBetween);
    const bool bPerCohortMax = pSession_->GetBool(kmOptPerCohortMaxKinkmarks);

    kmCohortRows rows;
    KmVector<int> codes;
    bool bEOF = false;
    int iLineCount = 0;
    int iBlankLines = 0;
    int iCohort = 0;
    int64_t lNumByGroups = 0;
    int16_t iLargestN = 0;
    bool bHaveSmallest = false;
    uint16_t uiSmallest = 0;
    double dLargestInterval = 0.0;
    int iPrecision = 0;

    KmString sText1;
    KmString sText2;
    bool bGood1 = true;
    bool bGood2 = true;

    // 5. Cohort by cohort to the end of the file.
    while (!bEOF) {
      const size_t nLineCountsBefore = vLineCounts_.size();
      const size_t nPositionsBefore = vFilePositions_.size();
      ReadInNextCohort(rows, bEOF, iLineCount, iBlankLines, codes);
      if (rows.empty()) {
        // No record: the end of the file, or a block whose records are all
        // kept out of the calculations. Its lines stand before the next
        // cohort's first position, so they must not be read as part of it,
        // and the per-copy entries it appended belong to no copy.
        vLineCounts_.resize(nLineCountsBefore);
        vFilePositions_.resize(nPositionsBefore);
        iLineCount = 0;
        continue;
      }
      ++iCohort;
      const int iCohortIndex = iCohort - 1;
      const int16_t n = static_cast<int16_t>(rows.size());

      // 6. Observation extremes; the minimum counts usable cohorts only.
      const bool bHadSmallest = bHaveSmallest;
      const uint16_t uiPreviousSmallest = uiSmallest;
      if (n > iLargestN) {
        iLargestN = n;
        if (pCalcHandler_ != nullptr) {
          pCalcHandler_->SetMaxObservations(static_cast<uint16_t>(n));
        }
      }
      if (!bHaveSmallest || n < static_cast<int16_t>(uiSmallest)) {
        bHaveSmallest = true;
        uiSmallest = static_cast<uint16_t>(n);
        if (pCalcHandler_ != nullptr)
          pCalcHandler_->SetMinObservations(uiSmallest);
      }

      // 7. Adjustment groups from the first cohort when no format gave them.
      if (iNumAdjustGroups_ < 1 && loc.iAdjust > 0 && bCalculated) {
        iNumAdjustGroups_ = DetermineNumGroupVarCats(rows);
      }

      // 8. Record checks of both variants.
      VerifyCohortFieldValues(rows, &sText1, &bGood1, iCohort,
                              &dLargestInterval, &iPrecision, 0,
                              loc.iDependent1, iIndependentLoc, loc.iStdError1);
      if (bBothDelay) {
        VerifyCohortFieldValues(
            rows, &sText2, &bGood2, iCohort, &dLargestInterval, &iPrecision, 0,
            loc.iDependent2, iIndependentLoc, loc.iStdError2);
      }

      // A cohort beyond the session's per-cohort lists (labels, observation
      // counts) is one the pre-read did not see.
      if ((pSession_->GetNumCohorts() > 0 &&
           iCohortIndex >= pSession_->GetNumCohorts()) ||
          (bPerCohortMax &&
           iCohortIndex >=
               static_cast<int>(pSession_->GetObservationCounts().size()))) {
        ThrowByVariableProblem(sMessage, iCohort);
      }

      // 9. Observation requirement of the largest model.
      int k = iMaxKinkmarks;
      int iAvailable = n;
      if (!bClustered_) {
        if (bPerCohortMax) {
          const int iCohortMax =
              pSession_->GetMaxNumberOfKinkmarksForCohort(iCohortIndex);
          while (k > iCohortMax) --k;
        }
      } else if (iNumAdjustGroups_ > 0) {
        iAvailable = n / iNumAdjustGroups_;
      }
      const int64_t lNeed = (static_cast<int64_t>(k) - 1) * iMinObsBetween + k +
                            2 * static_cast<int64_t>(iMinObsEnd);
      if (lNeed > iAvailable) {
        bGood1 = false;
        KmString sNeed;
        sNeed << static_cast<int32_t>(lNeed);
        KmString sTooFew =
            kmTools::GetErrorMessage(kmTools::TooFewObservations);
        sTooFew.Replace("$$", sNeed.GetCString());
        sText1 << sTooFew;
      }

      // 10. Selection and exclusion, then the rate checks.
      bool bUse = true;
      try {
        bUse = pSession_->GetUserSelectedUseCohort(iCohortIndex);
      } catch (KmException&) {
        ThrowByVariableProblem(sMessage, iCohort);
      }
      if (!bUse) {
        bGood1 = false;
        bGood2 = false;
        sText1 = "User Selected to Exclude This Cohort.";
        if (bBothDelay) sText2 = "User Selected to Exclude This Cohort.";
      }
      // The per-cohort enough-observations flags of
      // kmOptMaxKinkmarksFeasibility 2 are not exposed by the session: no
      // cohort index lies inside them, so that exclusion never applies.

      // The rate checks run whenever the copy is still usable, so a cohort
      // whose only text is the zero-count note still has its counts and
      // populations checked.
      if (bGood1) {
        const bool bRatesGood = pManager->VerifyCohortData(
            rows, iNumAdjustGroups_, &sText1, iCohort, false);
        bGood1 = bGood1 && bRatesGood;
      }
      if (!sText1.IsEmpty()) ProcessCohortError(codes, sText1, false, 0);
      if (bBothDelay) {
        const bool bRatesGood = pManager->VerifyCohortData(
            rows, iNumAdjustGroups_, &sText2, iCohort, true);
        bGood2 = bGood2 && bRatesGood;
        if (!sText2.IsEmpty()) ProcessCohortError(codes, sText2, true, -1);
      }

      // 11. Flags and texts in copy order, the delay copies first.
      if (bBothDelay) {
        for (int a = 0; a < nAnalyses; ++a) {
          vGoodFlags_.push_back(bGood2);
          vErrorTexts_.push_back(sText2);
        }
      }
      for (int a = 0; a < nAnalyses; ++a) {
        vGoodFlags_.push_back(bGood1);
        vErrorTexts_.push_back(sText1);
      }
      if (!bGood1) {
        bHaveSmallest = bHadSmallest;
        uiSmallest = uiPreviousSmallest;
        if (pCalcHandler_ != nullptr) {
          pCalcHandler_->SetMinObservations(uiPreviousSmallest);
        }
      }

      // 12. Number of by-groups.
      if (lNumByGroups + nCopies > std::numeric_limits<int32_t>::max()) {
        sMessage.Clear();
        sMessage << "There are too many by-group combinations in the input "
                    "file.\n The number of combinations exceeds "
                 << std::numeric_limits<int32_t>::max() << ".";
        GenerateKmException(sMessage.GetCString(), kVerifySource);
      }
      lNumByGroups += nCopies;

      // 13. One combination per copy: delay code, then analysis code.
      const bool bAnalysisCode = iJumpCRMode >= 3 && iJumpCRMode <= 6;
      const int nDelayCodes = bBothDelay ? 2 : 1;
      for (int d = 0; d < nDelayCodes; ++d) {
        for (int a = 0; a < nAnalyses; ++a) {
          KmVector<int> combination(codes);
          if (bBothDelay) combination.push_back(d);
          if (bAnalysisCode) combination.push_back(a);
          combos.AddCombination(combination);
        }
      }

      // 14. Ready for the next cohort.
      bGood1 = true;
      bGood2 = true;
      sText1.Clear();
      sText2.Clear();
      rows.clear();
      iLineCount = 0;
    }

    // 15. The large-run question.
    if (pSession_->GetNumSelectedCohorts() > kLargeRunCohorts) {
      sQuestion_.Clear();
      sQuestion_ << "The number of cohorts found in your data file is "
                 << static_cast<int32_t>(lNumByGroups)
                 << ".  Kinkmark will be able to analyze your data, but the "
                    "analysis could take a while.  Do you wish to continue?";
      iQuestionCode_ = kLargeRunQuestionCode;
    }

    // 16. The shift may not exceed the largest independent interval.
    const double dShift = pSession_->GetDouble(kmOptDataShift);
    if (dShift > dLargestInterval) {
      ThrowInputError(sMessage,
                      "Error with shift value: The shift value cannot be "
                      "larger than the largest independent variable "
                      "interval.");
    }

    // 17. Display precision of the independent variable.
    KmString sShift;
    sShift << dShift;
    const int iShiftPrecision = kmTools::GetPrecision(sShift.GetCString());
    pSession_->SetInt(kmOptIndepPrecision, iPrecision > iShiftPrecision
                                               ? iPrecision
                                               : iShiftPrecision);

    // 18. Size of the comparison groups of pairwise comparisons.
    int32_t iGroupSize = 0;
    if (pSession_->GetInt(kmOptComparisonType) == 1) {
      const int32_t nCombinations = combos.GetNumCombinations();
      if (nCombinations <= 1) {
        ThrowInputError(sMessage,
                        "Only one cohort in data file.  You can not compare a "
                        "cohort to itself.");
      }
      const KmVector<int> first = combos.GetCombination(0);
      iGroupSize = 0;
      for (int32_t i = 0; i < nCombinations; ++i) {
        const KmVector<int> other = combos.GetCombination(i);
        bool bSame = other.size() == first.size();
        for (size_t j = 0; bSame && j + 1 < first.size(); ++j) {
          bSame =
              other[static_cast<int32_t>(j)] == first[static_cast<int32_t>(j)];
        }
        if (!bSame) break;
        ++iGroupSize;
      }
      if (iGroupSize < 2) {
        ThrowInputError(sMessage,
                        "You cannot test for pairwise differences when the "
                        "inner-most by variable only has one category.");
      }
    }

    // 19. Hand over to the results-file handler.
    if (pCalcHandler_ != nullptr) {
      pCalcHandler_->SetValidCohorts(KmVector<bool>(vGoodFlags_),
                                     KmVector<KmString>(vErrorTexts_));
      pCalcHandler_->SetupComparisonVector(iGroupSize, &combos);
      pCalcHandler_->SetCombos(combos);
    }

    // 20. Number of by-groups; one cohort's copies when the file had none.
    iNumByGroups_ = iCohort > 0 ? static_cast<int>(lNumByGroups) : nCopies;

    // 21. Close the file (the local manager goes with this scope).
    CloseInputFile();

    // 22. Note of the blank lines met.
    if (iBlankLines > 0) {
      KmString sNote;
      sNote << iBlankLines << " blank lines were skipped";
      vNotes_.push_back(kmTextPair(KmString("Blank Lines"), sNote));
    }

    for (const KmString& sText : vErrorTexts_) {
      if (!sText.IsEmpty()) return false;
    }
    return true;
  } catch (KmException& e) {
    sMessage = e.GetMessage();
    try {
      CloseInputFile();
    } catch (KmException&) {
      // The original error is the one to report.
    }
    e.AddCallPath("VerifyDelayRateCalcNEW(KmString&, bool)", kClassName);
    throw;
  }
}

void kmReadData::ProcessCohortError(KmVector<int> codes, KmString sErrorText,
                                    bool bDelay, int iAnalysis) {
  try {
    KmString sLabel = GetCohortLabel_Test(codes);
    if (pSession_->GetInt(kmOptDelayType) == 2) {
      sLabel << (bDelay ? " Delay" : " Non-Delay");
    }
    const int iMode = pSession_->GetInt(kmOptJumpCRMode);
    if (iMode != 0) {
      switch (iAnalysis) {
        case 0:
          if (iMode == 1 || iMode == 3 || iMode == 4 || iMode == 6) {
            sLabel << " Jump";
          } else if (iMode == 2 || iMode == 5) {
            sLabel << " Comparability Ratio";
          }
          break;
        case 1:
          if (iMode == 3 || iMode == 6) {
            sLabel << " Comparability Ratio";
          } else if (iMode == 4 || iMode == 5) {
            sLabel << " Standard";
          }
          break;
        case 2:
          sLabel << " Standard";
          break;
        default:
          break;
      }
    }
    vCohortErrors_.push_back(kmTextPair(sLabel, sErrorText));
  } catch (KmException& e) {
    e.AddCallPath("ProcessCohortError()", kClassName);
    throw;
  }
}
