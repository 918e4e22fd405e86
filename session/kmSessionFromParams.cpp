// kmSession built from a session-parameter file: the constructor
// kmSession(KmUserParamsDict) and CreateSessionFromUserDict.
#include <cstdint>
#include <initializer_list>

#include "foundation/KmCallPath.h"
#include "foundation/KmConvertValue.h"
#include "foundation/KmException.h"
#include "foundation/KmFileName.h"
#include "foundation/KmFormat.h"
#include "session/KmUserParamsDict.h"
#include "session/kmDependentType.h"
#include "session/kmIntervalMethod.h"
#include "session/kmSession.h"

namespace {

const char kClassName[] = "kmSession";

// The full path of a file name kept by a dictionary.
KmString FullName(const KmFileName& fileName) {
  return KmString(KmFileName(fileName).GetFullName());
}

// What the columns the file fits hold. Under the Poisson rate model the
// count is fitted (as its rates), whatever else is given; otherwise a
// dependent variable location, assigned last, is a column of any type,
// which the columns then do not name. Counts beside a population, a
// standard population and an adjustment variable are the columns of
// age-adjusted rates, as a data dictionary with those columns makes them.
kmFittedColumns FittedColumnsOfUserDict(const KmUserParamsDict& dict) {
  kmFittedColumns columns;
  const bool bPoissonRate =
      dict.GetHetErrorModel() == kmErrorModel::kPoissonRate;
  if (dict.GetDependentVariableLocation() != -1 && !bPoissonRate) {
    return columns;
  }
  const bool bCount = dict.GetCountLocation() != -1;
  columns.bCrudeRate = dict.GetCrudeRateLocation() != -1;
  columns.bAgeAdjustedRate = dict.GetAgeAdjustedRateLocation() != -1 ||
                             (bCount && dict.GetPopulationLocation() != -1 &&
                              dict.GetStandardPopulationLocation() != -1 &&
                              dict.GetAdjustmentVariableLocation() != -1);
  columns.bCount = bCount;
  return columns;
}

// The file must say where the independent variable and the fitted value of
// each record are before anything is read or fitted. A Poisson rate is
// fitted to the count; any other model to the dependent variable or a rate.
// A model of given standard errors needs their column: without it every
// record would be weighted by the reader's missing-value mark.
void RequireLocations(const KmUserParamsDict& dict) {
  if (dict.GetIndependentVariableLocation() == -1) {
    GenerateKmInputExceptionF(
        "Every record needs its independent variable, but the session "
        "parameter file gives no \"independent variable location\".",
        kClassName);
  }
  if (dict.GetHetErrorModel() == kmErrorModel::kStandardError &&
      dict.GetStandardErrorLocation() == -1) {
    GenerateKmInputExceptionF(
        "The \"standard error\" het error model needs the standard error of "
        "each record, but the session parameter file gives no \"standard "
        "error location\".",
        kClassName);
  }
  if (dict.GetHetErrorModel() == kmErrorModel::kPoissonRate) {
    if (dict.GetCountLocation() == -1) {
      GenerateKmInputExceptionF(
          "The \"poisson rate\" het error model needs the count of each "
          "record, but the session parameter file gives no \"count "
          "location\".",
          kClassName);
    }
  } else if (dict.GetDependentVariableLocation() == -1 &&
             dict.GetCountLocation() == -1 &&
             dict.GetAgeAdjustedRateLocation() == -1 &&
             dict.GetCrudeRateLocation() == -1) {
    GenerateKmInputExceptionF(
        "Every record needs the value to be fitted, but the session "
        "parameter file gives none of \"dependent variable location\", "
        "\"crude rate location\", \"age-adjusted rate location\" and "
        "\"count location\".",
        kClassName);
  }
}

// Refuses the first label of the independent variable indep that is neither
// a number a double holds nor one that leaves its year out in a
// session-parameter file: the fits would place its records at no year of
// their own.
void CheckYearLabels(const kmVariable& indep, const KmString& sFile) {
  if (!indep.HasFormat()) return;
  const KmFormat& format = indep.GetFormat();
  for (int32_t i = 0; i < format.GetNumLines(); ++i) {
    const KmString& sLabel = format.GetLabel(i);
    if ((ReadYearLabel(sLabel) != CodeText::kText &&
         !IsLabelBeyondNumbers(sLabel) && !IsLabelBeyondYears(sLabel)) ||
        LeavesYearOut(sLabel, kmLabelRoute::kSessionParameters)) {
      continue;
    }
    GenerateKmInputExceptionF(
        "%s", kClassName,
        RefusedYearLabel(sLabel, format.GetValue(i), indep.GetName(), sFile,
                         kmLabelRoute::kSessionParameters)
            .GetCString());
  }
  const KmString sRepeated = RepeatedYearLabels(indep, sFile);
  if (!sRepeated.IsEmpty()) {
    GenerateKmInputExceptionF("%s", kClassName, sRepeated.GetCString());
  }
}

}  // namespace

kmSession::kmSession(KmUserParamsDict dict) : iNumCores_(kDefaultNumCores) {
  const KmString sFile = FullName(dict.GetDictionaryFile());
  try {
    Init();
    CreateSessionFromUserDict(dict);
  } catch (KmException& e) {
    // Every value used here comes from the user's file, so what fails is a
    // fault of that file (a missing or impossible location).
    e.SetKind(KmException::kInputErrorKind);
    e.AddCallPath("kmSession(const IniSectionDict)", kClassName,
                  sFile.GetCString());
    throw;
  }
}

void kmSession::CreateSessionFromUserDict(KmUserParamsDict dict) {
  WithCallPath(
      "CreateSessionFromUserDict(const IniSessionDict)", kClassName, [&] {
        SetString(kmStrProgramVersion, "V4.9.0.0");
        SetString(kmStrFileVersion, "4.900");
        SetString(kmStrDataFile, FullName(dict.GetDataFile()).GetCString());
        Set(kmIntervalMethod::kEmpiricalQuantile);

        // The reader keeps only the four delimiters; anything else stands for
        // the semicolon.
        const int iDelimiter = GetDelimiterCode(dict.GetFieldDelimiter());
        SetInt(kmOptFieldDelimiter, iDelimiter < 0 ? 3 : iDelimiter);
        // The reader gives a period or a blank; anything else is taken as the
        // blank it stands for.
        SetInt(kmOptMissingCharacter,
               dict.GetMissingCharacter() == '.' ? 1 : 0);
        SetBool(kmOptVarNamesIncluded, dict.GetVariableNamesIncluded());

        ClearVariables();
        const KmVector<VSVariable>& vSource = dict.GetVariables();
        for (int32_t i = 0; i < static_cast<int32_t>(vSource.size()); ++i) {
          const VSVariable& source = vSource[i];
          vVariables_.push_back(kmVariable(
              source.GetName().GetCString(), static_cast<uint16_t>(i + 1),
              source.HasFormat() ? &source.GetFormat() : nullptr));
        }

        RequireLocations(dict);
        // Roles from the location keys, in this order: a later assignment
        // replaces an earlier one, and an absent key (-1) is skipped.
        auto assign = [this](int32_t iLocation,
                             std::initializer_list<int> roles) {
          if (iLocation == -1) return;
          for (int iRole : roles) SetKMVarPosition(iRole, iLocation);
        };
        assign(dict.GetDependentVariableLocation(), {kmVarDependent});
        assign(dict.GetCountLocation(), {kmVarCount, kmVarDependent});
        assign(dict.GetPopulationLocation(), {kmVarPopulation});
        assign(dict.GetAgeAdjustedRateLocation(), {kmVarRate, kmVarDependent});
        assign(dict.GetCrudeRateLocation(), {kmVarRate, kmVarDependent});
        assign(dict.GetDependentVariableLocation(),
               {kmVarRate, kmVarDependent, kmVarCount});
        assign(dict.GetStandardErrorLocation(), {kmVarStdError});
        assign(dict.GetAdjustmentVariableLocation(), {kmVarAdjustment});
        assign(dict.GetStandardPopulationLocation(), {kmVarStdPopulation});

        fittedColumns_ = FittedColumnsOfUserDict(dict);
        NameDependentType();

        SetHeterOptions(dict.GetHetErrorModel());
        if (dict.GetHetErrorModel() == kmErrorModel::kPoissonRate) {
          SetKMVarPosition(kmVarDependent, dict.GetCountLocation());
        }

        for (int32_t iLocation : dict.GetByVarLocations()) {
          AddByVarPosition(iLocation);
        }
        SetKMVarPosition(kmVarIndependent,
                         dict.GetIndependentVariableLocation());
        CheckYearLabels(GetKMVar(kmVarIndependent), dict.GetGivenName());
      });
}
