// kmSession: CheckSavedOptions, the values a saved session's options may
// hold. The options that a run-options key sets take that key's row of
// IniSessionDict::Rows, so a saved session and a run-options file pass the
// same ranges and words; the others take the values their codes define.
#include <cmath>
#include <cstdio>
#include <iterator>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/kmTools.h"
#include "session/IniSessionDict.h"
#include "session/OptionRow.h"
#include "session/kmDelimiter.h"
#include "session/kmIntervalMethod.h"
#include "session/kmSession.h"

namespace {

const char* const kClassName = "kmSession";
const char* const kFileSource = "kmSession.cpp";

// An option whose values no run-options row gives as the session stores
// them: the row of the run-options key sRunKey (its range, its words'
// positions as codes), or, with no such key, the row values, whose key is
// the option's name in messages.
struct SavedOptionRule {
  int iOption;
  const char* sRunKey;
  OptionRow values;
};

constexpr SavedOptionRule ByRunKey(int iOption, const char* sRunKey) {
  return {iOption, sRunKey, TextOption(sRunKey)};
}
constexpr SavedOptionRule Own(int iOption, OptionRow values) {
  return {iOption, nullptr, values};
}

constexpr double kIntMax = 2147483647.0;
constexpr const char* kDelimiters = kmCodedOption<kmDelimiter>::kWords;

// The options that a run-options row does not name as its session option
// (the rows with their own rules, and the options no key sets). An empty
// word marks a code without a value.
const SavedOptionRule kRules[] = {
    Own(kmOptFieldDelimiter, WordOption("field delimiter", kDelimiters)),
    Own(kmOptMissingCharacter,
        WordOption("missing character", "space|period|na")),
    Own(kmOptHetErrorModel,
        WordOption("het error", kmCodedOption<kmErrorModel>::kWords)),
    ByRunKey(kmOptMaxKinkmarks, "maximum kinkmarks"),
    Own(kmOptLogLinear, BoolOption("log-linear model")),
    Own(kmOptAutocorrErrors,
        WordOption("autocorr errors", kmCodedOption<kmAutocorrErrors>::kWords)),
    ByRunKey(kmOptAutocorrParameter, "autocorr errors"),
    Own(kmOptComparisonType,
        WordOption("comparison type", "none|pairwise|clustering")),
    Own(kmOptIndepPrecision, CountOption("independent precision", 0, kIntMax)),
    ByRunKey(kmOptPairwiseType, "pairwise"),
    Own(kmOptDependentCalculated, BoolOption("dependent variable calculated")),
    Own(kmOptDependentType,
        WordOption("dependent variable type",
                   "count|crude rate|proportion|percent|age-adjusted rate|"
                   "other")),
    Own(kmOptJumpCRMode, CountOption("jump model mode", 0, 6)),
    Own(kmOptAAPCCIMethod,
        WordOption("ci method", kmCodedOption<kmIntervalMethod>::kWords)),
    Own(kmOptDictDelayStats, CountOption("delay statistics", 0, 1)),
    ByRunKey(kmOptDelayType, "delay type"),
    Own(kmOptDelayStatKind, NumberOption("delay statistic kind", -1, 6)),
    // Counts are never negative: a threshold below 0 only keeps a group of
    // count 0 from being merged, and such a group has no rate to fit.
    Own(kmOptCompressionThreshold, NumberOption("merging threshold", 0.0)),
    Own(kmOptClusterSetting,
        CountOption("largest number of clusters", 0, kIntMax)),
    Own(kmOptEmpQuantileMethod,
        WordOption("empirical quantile method",
                   kmCodedOption<kmEmpQuantileMethod>::kWords)),
    Own(kmOptFSMOnly, BoolOption("fsm only")),
    Own(kmOptHeaderLines, CountOption("header lines", 0, kIntMax)),
    Own(kmOptVarCovarDelimiter,
        WordOption("variance-covariance file delimiter", kDelimiters)),
    Own(kmOptMaxKinkmarksFeasibility,
        CountOption("maximum kinkmarks feasibility", 0, 1)),
};

// True when dValue, as stored, is a value of row: a word's code, 0 or 1 for
// true and false, a number (for kCount a whole number) within the row's
// range.
bool IsStoredValueOfRow(const OptionRow& row, double dValue) {
  switch (row.valueClass) {
    case OptionValueClass::kWord:
      return IsWordCode(row.sWords, dValue);
    case OptionValueClass::kBool:
      return dValue == 0.0 || dValue == 1.0;
    case OptionValueClass::kLevel:
      return dValue > 0.0 && dValue < 1.0;
    case OptionValueClass::kCount:
      return dValue == std::floor(dValue) && dValue >= row.dMin &&
             dValue <= row.dMax;
    case OptionValueClass::kNumber:
      return dValue >= row.dMin && dValue <= row.dMax;
    case OptionValueClass::kText:
      return true;
  }
  return false;
}

// True when dValue can be an option of type iType: a whole number within
// 32 bits, 0 or 1, or a finite number.
bool IsValueOfType(int iType, double dValue) {
  if (!std::isfinite(dValue)) return false;
  if (iType == kmOptTypeBool) return dValue == 0.0 || dValue == 1.0;
  if (iType != kmOptTypeInt) return true;
  return dValue == std::floor(dValue) && std::fabs(dValue) <= kIntMax;
}

const char* TypeValuesText(int iType) {
  if (iType == kmOptTypeBool) return "0 (false) or 1 (true)";
  return iType == kmOptTypeInt ? "a whole number" : "a finite number";
}

void AppendRefusal(const char* sFileName, double dValue, const char* sName,
                   const KmString& sValues, KmString& sMessages) {
  // Every digit the value needs shows, so that a fraction as small as
  // 2.0000000000000004's does not print as a whole number.
  sMessages << "The session file \"" << sFileName << "\" holds "
            << kmTools::ShortestText(dValue) << " for the option \"" << sName
            << "\", which takes " << sValues << ".\n";
}

}  // namespace

void kmSession::CheckSavedOptions(const char* sFileName) const {
  WithCallPath("CheckSavedOptions()", kClassName, [&] {
    const kmSession defaults;
    KmString sMessages;
    bool bChecked[kmNumOptions] = {};
    // A value as Init sets it always passes: some defaults stand for "not
    // set" (rates per n 0, a jump location of -1).
    auto check = [&](int iOption, const OptionRow& row, const char* sName) {
      bChecked[iOption] = true;
      const double dValue = vOptions_[iOption];
      if (dValue == defaults.vOptions_[iOption]) return;
      const int iType = GetOptionType(iOption);
      if (!IsValueOfType(iType, dValue)) {
        AppendRefusal(sFileName, dValue, sName, TypeValuesText(iType),
                      sMessages);
      } else if (!IsStoredValueOfRow(row, dValue)) {
        AppendRefusal(sFileName, dValue, sName, OptionValuesText(row),
                      sMessages);
      }
    };
    size_t iNumRows = 0;
    const RunOptionRow* pRows = IniSessionDict::Rows(iNumRows);
    for (size_t i = 0; i < iNumRows; ++i) {
      const OptionRow& row = pRows[i].option;
      if (pRows[i].iSessionOption >= 0) {
        check(pRows[i].iSessionOption, row, row.sKey);
      }
    }
    for (const SavedOptionRule& rule : kRules) {
      const RunOptionRow* pRow =
          rule.sRunKey == nullptr
              ? nullptr
              : FindRow(pRows, iNumRows, KmString(rule.sRunKey));
      const OptionRow& row = pRow != nullptr ? pRow->option : rule.values;
      check(rule.iOption, row, row.sKey);
    }
    // The options no rule names take the values of their type.
    for (int iOption = 0; iOption < kmNumOptions; ++iOption) {
      if (bChecked[iOption]) continue;
      KmString sName("option ");
      sName << iOption;
      check(iOption, TextOption(""), sName.GetCString());
    }
    if (!sMessages.IsEmpty()) {
      throw KmException(sMessages.GetCString(), kFileSource,
                        KmException::kInputErrorKind);
    }
  });
}
