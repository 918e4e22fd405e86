// kmSession built from a VESK*Stat data dictionary: ReadIniDictionary and
// its phases, the conversion of the dictionary's settings, variables and
// statistics into options, variables and roles.
#include <cstdint>

#include "foundation/KmCallPath.h"
#include "foundation/KmConvertValue.h"
#include "foundation/KmException.h"
#include "foundation/KmFileName.h"
#include "foundation/KmFormat.h"
#include "session/VSExportDict.h"
#include "session/kmDelayType.h"
#include "session/kmDependentType.h"
#include "session/kmSession.h"

namespace {

const char kClassName[] = "kmSession";

// Statistic codes (GetStatType) that the conversion tells apart.
const int kCount = 0;
const int kTrend = 1;
const int kAgeAdjustedRate = 2;
const int kCrudeRate = 3;
const int kPopulation = 4;
const int kCrudeRateTrend = 5;
const int kAgeAdjustedRateTrend = 6;
const int kStandardError = 7;
const int kStandardErrorPValue = 8;
const int kStandardPopulation = 11;
const int kDelayRate = 16;
const int kDelayCrudeRate = 17;
const int kDelayAgeAdjustedRate = 18;
const int kDelayTrend = 19;
const int kDelayCrudeRateTrend = 21;
const int kDelayAgeAdjustedRateTrend = 22;
const int kDelayCount = 23;
const int kDelaySE = 24;
const int kDelaySEPValue = 35;
const int kLastDelayStat = 40;
const int kDisparity = 41;
const int kTableVariable = 42;

// Second line of the problems of the data-file settings.
const char kUnsupportedVersion[] =
    "This version of the VESK*Stat dictionary is not supported by the "
    "current version of Kinkmark.\n";
// Marks a label of the independent variable that the fits leave out.
const char kNotUsedSuffix[] = " (not used in calculations)";

// True when a variable of dict has value labels.
bool HasLabelledVariable(const VSExportDict& dict) {
  for (int32_t p = 1; p <= dict.GetNumVariables(); ++p) {
    if (dict.GetVariable(p).HasFormat()) return true;
  }
  return false;
}

// The problem of a variable whose name is no statistic the conversion knows
// and that cannot be a table variable either: one that stands after a
// statistic (the table variables come first, the independent variable last
// of them), or a last table variable named as a delay-adjusted statistic.
// Taken for a table variable it would make the year a by-variable and each
// cohort a single year. Empty when there is none.
KmString UnknownStatisticProblem(const VSExportDict& dict) {
  KmString sStatistic;  // the first statistic, in column order
  int32_t iLastTable = 0;
  KmString sProblem;
  for (int32_t p = 1; p <= dict.GetNumVariables() && sProblem.IsEmpty(); ++p) {
    const KmString& sName = dict.GetVariable(p).GetName();
    if (kmSession::GetStatType(sName) != kTableVariable) {
      if (sStatistic.IsEmpty()) sStatistic = sName;
      continue;
    }
    iLastTable = p;
    if (sStatistic.IsEmpty()) continue;
    sProblem << "The variable \"" << sName << "\" (Var" << p
             << "Name) is not a statistic Kinkmark knows, and it stands after "
                "the statistic \""
             << sStatistic
             << "\", where no table variable (a by-variable or the "
                "independent variable) may stand.";
  }
  if (sProblem.IsEmpty() && iLastTable > 0) {
    const KmString& sName = dict.GetVariable(iLastTable).GetName();
    KmString sUpper(sName);
    sUpper.Trim();
    sUpper.MakeUpper();
    if (sUpper.Find("DELAY") == 0) {
      sProblem << "The variable \"" << sName << "\" (Var" << iLastTable
               << "Name) is named as a delay-adjusted statistic, but it is "
                  "none that Kinkmark knows, so it would be taken for the "
                  "independent variable.";
    }
  }
  if (!sProblem.IsEmpty()) {
    sProblem << "  Give it the name of the statistic it holds (the README's "
                "\"A data dictionary\" lists them, the delay-adjusted ones as "
                "\"Delay Rate\", \"Delay SE\" and the like) or remove it.\n";
  }
  return sProblem;
}

// The problem of a label of the independent variable that the dictionary
// cannot use, read being what ReadYearLabel makes of it. A number is named
// at once, and so is a text where other labels are years (bAnyYear): the
// label alone is at fault. A text among no years first gets the likely
// cause: the columns were exported so that the table variable before the
// last is no year (with counts and both populations, the adjustment
// variable is missing and the year was taken for it).
KmString RefusedLabelProblem(const KmString& sLabel, CodeText read,
                             bool bAnyYear, const KmString& sValue,
                             bool bCalculatedRates, const KmString& sVariable,
                             const KmString& sDictionaryFile) {
  KmString sProblem;
  if (read != CodeText::kText || bAnyYear) {
    // The label's own sentence alone.
  } else if (bCalculatedRates) {
    sProblem << "Kinkmark detected Count, Population and Standard "
                "Population variables but no Adjustment Variable.\n"
                "Please double check your VESK*Stat session and add an "
                "Adjustment Variable.  If you are not trying to calculate "
                "Age-Adjusted Rates, please remove your Standard "
                "Population variable from your VESK*Stat session and "
                "re-export your results.\n";
  } else {
    sProblem << "The independent variable (e.g. year) must be a "
                "numeric value.\n\n Please use the export feature of "
                "VESK*Stat to create a new data file. On the VESK*Stat "
                "Table tab put all table variables in the row "
                "dimension. List the Independent variable (year) last "
                "and export as a numeric value\n";
  }
  sProblem << RefusedYearLabel(sLabel, sValue, sVariable, sDictionaryFile,
                               kmLabelRoute::kDictionary);
  return sProblem;
}

}  // namespace

// What the statistics of the dictionary's variables say.
struct kmSession::DictionaryStatistics {
  bool bPresent[kTableVariable + 1] = {};
  // Position of the last table variable, 0 when there is none.
  int32_t iLastTableVar = 0;
  // Set by the roles pass: trend statistics, and crude rates (present, or
  // given by a crude delay trend).
  bool bTrend = false;
  bool bCrude = false;

  bool Has(int iType) const { return bPresent[iType]; }
  bool AgeAdjusted() const {
    return bPresent[kAgeAdjustedRate] || bPresent[kAgeAdjustedRateTrend];
  }
  // Counts and both populations: the rates are calculated from them.
  bool CalculatedRates() const {
    return bPresent[kCount] && bPresent[kPopulation] &&
           bPresent[kStandardPopulation];
  }
};

bool kmSession::ReadIniDictionary(const VSExportDict& dict,
                                  bool bFromPositions) {
  return WithCallPath("ReadIniDictionary", kClassName, [&]() -> bool {
    const int32_t iSessionType = dict.GetSessionType();
    if (iSessionType != kVSRate && iSessionType != kVSFrequency &&
        iSessionType != kVSDisparity) {
      AddDictionaryProblem(
          "Only VESK*Stat dictionaries from Rate and Frequency sessions or "
          "Parlex Disparity session are supported.\n");
      return false;
    }
    if (!ReadDictionarySettings(dict)) return false;
    if (!CheckDictionaryExport(dict)) return false;
    SetBool(kmOptVarNamesIncluded, dict.GetVariableNamesIncluded());
    TakeDictionaryVariables(dict);
    if (!bFromPositions) {
      const KmString sUnknown = UnknownStatisticProblem(dict);
      if (!sUnknown.IsEmpty()) {
        AddDictionaryProblem(sUnknown.GetCString());
        return false;
      }
    }

    DictionaryStatistics stats;
    FindDictionaryStatistics(dict, stats);
    stats.bCrude = stats.Has(kCrudeRate);
    if (!bFromPositions) {
      AssignDictionaryRoles(dict, stats);
    } else {
      for (int32_t iLocation : dict.GetByVarLocations()) {
        AddByVarPosition(iLocation);
      }
      if (dict.GetIndependentVariableLocation() > 0) {
        SetKMVarPosition(kmVarIndependent,
                         dict.GetIndependentVariableLocation());
      }
    }

    if (GetKMVarPosition(kmVarIndependent) == 0) {
      AddDictionaryProblem(
          "The independent variable (e.g. year) is required and must be the "
          "data column just before the VESK*Stat statistics (rate, se, or "
          "count).\n\nPlease use the export feature of VESK*Stat to create a "
          "new data file.  On the VESK*Stat Table tab put all table "
          "variables in the row dimension. List the Independent variable "
          "(year) last.\n");
      return false;
    }
    CheckIndependentLabels(iSessionType, stats, dict.GetGivenName());
    SetDictionaryStatisticOptions(stats);
    return !bDictionaryError_;
  });
}

bool kmSession::ReadDictionarySettings(const VSExportDict& dict) {
  SetString(kmStrDataFile, KmFileName(dict.GetOutputFile()).GetFullName());

  const int iDelimiter = GetDelimiterCode(dict.GetFieldDelimiter());
  if (iDelimiter < 0) {
    KmString sProblem(
        "Invalid field delimiter specified in the export dictionary "
        "(tab, space, comma, semicolon are valid).  \n");
    sProblem << kUnsupportedVersion;
    AddDictionaryProblem(sProblem.GetCString());
    return false;
  }
  SetInt(kmOptFieldDelimiter, iDelimiter);

  const KmString& sMissing = dict.GetMissingCharacter();
  if (sMissing == " ") {
    SetInt(kmOptMissingCharacter, 0);
  } else if (sMissing == ".") {
    SetInt(kmOptMissingCharacter, 1);
  } else if (sMissing == "NA") {
    SetInt(kmOptMissingCharacter, 2);
  } else {
    KmString sProblem(
        "Invalid missing character specified in the export dictionary "
        "(period, space, and NA are valid).  \n");
    sProblem << kUnsupportedVersion;
    AddDictionaryProblem(sProblem.GetCString());
    return false;
  }
  return true;
}

bool kmSession::CheckDictionaryExport(const VSExportDict& dict) {
  if (Get<kmDelimiter>() == kmDelimiter::kComma &&
      !dict.GetRemoveThousandsSeparators()) {
    AddDictionaryProblem(
        "The input data file can not include commas as thousands "
        "separators if commas are used as the field delimiter.  \n"
        "Please use the export feature of VESK*Stat to create a new data "
        "file.  Check 'Remove All Thousands Separators' or use a field "
        "delimiter other than the comma.\n");
    return false;
  }
  if (dict.GetFlagsIncluded()) {
    AddDictionaryProblem(
        "The input data file can not include flag characters.  \n"
        "Please use the export feature of VESK*Stat to create a new data "
        "file. Be sure to check 'Remove Flags' on the VESK*Stat export "
        "dialog.\n");
    return false;
  }
  if (dict.GetVariableFormat() == 1) {
    AddDictionaryProblem(
        "The input file data file can not contain quotes around any "
        "variables.  \nPlease use the export feature of VESK*Stat to "
        "create a new data file.  Chose 'Output variables as - Numeric "
        "Representation'.\n");
    return false;
  }
  if (dict.GetVariableFormat() == 2 && HasLabelledVariable(dict)) {
    // The reader takes the values of a labelled variable for codes.
    AddDictionaryProblem(
        "The data file holds the labels of its variables (Variable "
        "format=labels), which Kinkmark does not read: it reads the codes "
        "that the [Format=...] sections label.  Please use the export "
        "feature of VESK*Stat to create a new data file.  Chose 'Output "
        "variables as - Numeric Representation' (Variable format=numeric); "
        "the exports then show the labels of the format sections.\n");
    return false;
  }
  if (dict.GetQuotes() && dict.GetVariableNamesIncluded()) {
    KmString sProblem(
        "The input file data file can not contain quotes around the header "
        "row variable names.  \nThis is likely caused from field delimiter "
        "appearing in the hearder row.Please use the export feature of "
        "VESK*Stat to create a new data file and chose a different field "
        "delimiter.\n");
    sProblem << "Session file \"" << dict.GetGivenName()
             << "\" sets both \"Fields with delimiter in quotes\" and "
                "\"Variable names included\" in [Export Options].\n";
    AddDictionaryProblem(sProblem.GetCString());
    return false;
  }
  return true;
}

void kmSession::TakeDictionaryVariables(const VSExportDict& dict) {
  const int32_t iNumVars = dict.GetNumVariables();
  ClearVariables();
  for (int32_t p = 1; p <= iNumVars; ++p) {
    const VSVariable& source = dict.GetVariable(p);
    vVariables_.push_back(
        kmVariable(source.GetName().GetCString(), static_cast<uint16_t>(p),
                   source.HasFormat() ? &source.GetFormat() : nullptr));
  }
}

void kmSession::FindDictionaryStatistics(const VSExportDict& dict,
                                         DictionaryStatistics& stats) {
  for (int32_t p = 1; p <= dict.GetNumVariables(); ++p) {
    const int iType = GetStatType(dict.GetVariable(p).GetName());
    stats.bPresent[iType] = true;
    switch (iType) {
      case kDelayRate:
        Set(kmDelayStatKind::kDelayRate);
        break;
      case kDelayCrudeRate:
        Set(kmDelayStatKind::kDelayCrudeRate);
        break;
      case kDelayAgeAdjustedRate:
        Set(kmDelayStatKind::kDelayAgeAdjustedRate);
        break;
      case kDelayTrend:
        Set(kmDelayStatKind::kDelayTrend);
        break;
      case kDelayCrudeRateTrend:
        Set(kmDelayStatKind::kDelayCrudeRateTrend);
        break;
      case kDelayAgeAdjustedRateTrend:
        Set(kmDelayStatKind::kDelayAgeAdjustedRateTrend);
        break;
      case kTableVariable:
        stats.iLastTableVar = p;
        break;
      default:
        break;
    }
  }
}

void kmSession::AssignDictionaryRoles(const VSExportDict& dict,
                                      DictionaryStatistics& stats) {
  // Table variables are the by-variables, the last of them the independent
  // variable.
  int16_t iRate = 0, iCountPos = 0, iSE = 0, iPop = 0, iStdPop = 0;
  int16_t iDelayRatePos = 0, iDelayCountPos = 0, iDelaySEPos = 0;
  int16_t iDisparityPos = 0;
  for (int32_t p = 1; p <= dict.GetNumVariables(); ++p) {
    const int iType = GetStatType(dict.GetVariable(p).GetName());
    const int16_t iPos = static_cast<int16_t>(p);
    switch (iType) {
      case kCount:
        SetKMVarPosition(kmVarCount, p);
        iCountPos = iPos;
        break;
      case kTrend:
        stats.bTrend = true;
        break;
      case kAgeAdjustedRate:
      case kCrudeRate:
        SetKMVarPosition(kmVarRate, p);
        iRate = iPos;
        break;
      case kCrudeRateTrend:
      case kAgeAdjustedRateTrend:
        SetKMVarPosition(kmVarRate, p);
        iRate = iPos;
        stats.bTrend = true;
        break;
      case kPopulation:
        SetKMVarPosition(kmVarPopulation, p);
        iPop = iPos;
        break;
      case kStandardPopulation:
        SetKMVarPosition(kmVarStdPopulation, p);
        iStdPop = iPos;
        break;
      case kStandardError:
      case kStandardErrorPValue:
        iSE = iPos;
        break;
      case kDelayRate:
      case kDelayCrudeRate:
      case kDelayAgeAdjustedRate:
        SetKMVarPosition(kmVarDelayRate, p);
        iDelayRatePos = iPos;
        break;
      case kDelayTrend:
      case kDelayAgeAdjustedRateTrend:
        SetKMVarPosition(kmVarDelayRate, p);
        iDelayRatePos = iPos;
        stats.bTrend = true;
        break;
      case kDelayCrudeRateTrend:
        SetKMVarPosition(kmVarDelayRate, p);
        iDelayRatePos = iPos;
        stats.bTrend = true;
        stats.bCrude = true;
        break;
      case kDelayCount:
        SetKMVarPosition(kmVarDelayCount, p);
        iDelayCountPos = iPos;
        break;
      case kDelaySE:
      case kDelaySEPValue:
        SetKMVarPosition(kmVarDelaySE, p);
        iDelaySEPos = iPos;
        break;
      case kDisparity:
        SetKMVarPosition(kmVarDisparity, p);
        iDisparityPos = iPos;
        break;
      case kTableVariable:
        if (stats.CalculatedRates() && p == stats.iLastTableVar) {
          // Counts and both populations: the last table variable holds the
          // groups over which the rates are adjusted.
          SetBool(kmOptDependentCalculated, true);
          SetKMVarPosition(kmVarAdjustment, p);
        } else {
          AddByVarPosition(p);
          SetKMVarPosition(kmVarIndependent, p);
        }
        break;
      default:
        if (iType > kTableVariable) {
          GenerateKmExceptionF("Invalid stat type %d", "ReadIniDictionary",
                               iType);
        }
        break;
    }
  }
  // The last table variable taken as a by-variable is the independent
  // variable. A dictionary without table variables has none to give back;
  // its missing independent variable is reported by the caller.
  if (!vByVars_.empty()) vByVars_.pop_back();
  SetHeterFromDict(iRate, iCountPos, iSE, iPop, iStdPop, iDelayRatePos,
                   iDelayCountPos, iDelaySEPos, iDisparityPos);
}

void kmSession::CheckIndependentLabels(int32_t iSessionType,
                                       const DictionaryStatistics& stats,
                                       const KmString& sDictionaryFile) {
  // The labels of the independent variable must be years; labels that span
  // years, totals and trend rows are kept but left out of the fits.
  const int32_t iIndependent = GetKMVarPosition(kmVarIndependent);
  bool bNotUsedRows = false;
  bool bLabelsCopied = false;
  KmFormat checkedFormat;
  if (vVariables_[iIndependent - 1].HasFormat()) {
    const KmFormat& source = vVariables_[iIndependent - 1].GetFormat();
    checkedFormat.Copy(source);
    bLabelsCopied = true;
    bool bAnyYear = false;
    for (int32_t i = 0; i < source.GetNumLines(); ++i) {
      bAnyYear =
          bAnyYear || ReadYearLabel(source.GetLabel(i)) == CodeText::kCode;
    }
    for (int32_t i = 0; i < source.GetNumLines(); ++i) {
      KmString sLabel = source.GetLabel(i);
      bool bMark = false;
      if (stats.bTrend && (sLabel.EndsWith(" PC") || sLabel.EndsWith(" APC"))) {
        bMark = true;
      } else {
        bool bRateRow = false;
        if (stats.bTrend && sLabel.EndsWith(" Rate")) {
          sLabel.Truncate(static_cast<uint32_t>(sLabel.GetLength() - 5));
          bRateRow = true;
        }
        // Read as a number first: a "-" that is a sign ("-1.0") leaves no
        // year out.
        const CodeText read = ReadYearLabel(sLabel);
        // A number the fits can place a year at; a disparity dictionary
        // gives years with decimals too.
        const bool bPlaceable =
            !IsLabelBeyondNumbers(sLabel) && !IsLabelBeyondYears(sLabel) &&
            (read == CodeText::kCode ||
             (read == CodeText::kNumberNoCode && iSessionType == kVSDisparity));
        if (bPlaceable) {
          // A year: used as it is.
        } else if (!bRateRow &&
                   LeavesYearOut(sLabel, kmLabelRoute::kDictionary)) {
          bMark = !IsLeftOutLabel(sLabel);  // marked once
          bNotUsedRows = true;
        } else if (!bDictionaryError_) {
          AddDictionaryProblem(
              RefusedLabelProblem(
                  sLabel, read, bAnyYear || iSessionType == kVSDisparity,
                  source.GetValue(i), stats.CalculatedRates(),
                  vVariables_[iIndependent - 1].GetName(), sDictionaryFile)
                  .GetCString());
        }
      }
      if (bMark) {
        sLabel << kNotUsedSuffix;
        ++iNotUsedCount_;
      }
      checkedFormat.AddLine(source.GetValue(i).GetCString(),
                            sLabel.GetCString(),
                            source.GetDisplayLabel(i).GetCString(), -1);
    }
  }

  if (!bDictionaryError_) {
    const KmString sRepeated =
        RepeatedYearLabels(vVariables_[iIndependent - 1], sDictionaryFile);
    if (!sRepeated.IsEmpty()) AddDictionaryProblem(sRepeated.GetCString());
  }
  if (bDictionaryError_) return;
  // The marked labels leave their years out where each reader meets them;
  // no line is passed over for them.
  bDictionaryFlag_ = bNotUsedRows;
  if (!bLabelsCopied) return;
  if (iSessionType == kVSDisparity) {
    // Disparity dictionaries give their independent values as numbers with
    // decimals.
    KmFormat numericFormat;
    numericFormat.Copy(checkedFormat);
    numericFormat.SetDataType('N');
    for (int32_t i = 0; i < checkedFormat.GetNumLines(); ++i) {
      numericFormat.AddLine(checkedFormat.GetValue(i).GetCString(),
                            checkedFormat.GetLabel(i).GetCString(),
                            checkedFormat.GetDisplayLabel(i).GetCString(), -1);
    }
    vVariables_[iIndependent - 1].SetFormat(&numericFormat);
  } else {
    vVariables_[iIndependent - 1].SetFormat(&checkedFormat);
  }
}

void kmSession::SetDictionaryStatisticOptions(
    const DictionaryStatistics& stats) {
  const bool bCount = stats.Has(kCount);
  const bool bAgeAdjusted = stats.AgeAdjusted();
  const bool bDelayCrude = stats.Has(kDelayCrudeRate);
  const bool bDelayAgeAdjusted = stats.Has(kDelayAgeAdjustedRate);
  kmFittedColumns columns;
  columns.bCrudeRate = stats.bCrude || bDelayCrude;
  // Counts that the role pass turned into calculated rates over the
  // adjustment groups are fitted as the age-adjusted rates formed from
  // them, as in a session-parameter file that gives the same columns.
  columns.bAgeAdjustedRate =
      bAgeAdjusted || bDelayAgeAdjusted ||
      (stats.CalculatedRates() && GetBool(kmOptDependentCalculated));
  columns.bCount = bCount || stats.Has(kDelayCount);
  columns.bDisparity = stats.Has(kDisparity);
  fittedColumns_ = columns;
  NameDependentType();

  // Delay options, when the dictionary holds delay statistics.
  bool bAnyDelay = false;
  bool bOtherDelay = false;
  for (int iType = kDelayRate; iType <= kLastDelayStat; ++iType) {
    if (!stats.Has(iType)) continue;
    bAnyDelay = true;
    if (iType != kDelayCount) bOtherDelay = true;
  }
  if (!bAnyDelay) return;
  SetInt(kmOptDictDelayStats, 1);
  if (!bOtherDelay) {
    Set(kmDelayStatKind::kDelayCountOnly);
    Set(bCount ? kmDelayType::kBoth : kmDelayType::kDelay);
  } else if (!bAgeAdjusted && !stats.bCrude) {
    Set(kmDelayType::kDelay);
  } else if (bDelayCrude || bDelayAgeAdjusted ||
             stats.Has(kDelayCrudeRateTrend) ||
             stats.Has(kDelayAgeAdjustedRateTrend) || stats.Has(kDelayTrend)) {
    Set(kmDelayType::kBoth);
  } else {
    Set(kmDelayType::kDelay);
  }
}
