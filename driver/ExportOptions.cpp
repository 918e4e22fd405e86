// ValidateExportOptions, IsValidExportOption, ApplyExportOptions,
// ApplyAAPCRanges and ApplyDisplayPrecisions.
#include "driver/ExportOptions.h"

#include <initializer_list>
#include <vector>

#include "driver/OptionValidation.h"
#include "foundation/KmCallPath.h"
#include "session/kmAAPCRanges.h"
#include "session/kmSession.h"

namespace {

// The suffix of a numbered AAPC range key after sPrefix, trimmed.
KmString RangeNumber(const KmString& sKey, const char* sPrefix) {
  KmString sNumber;
  KmString(sKey).GetSubstring(sNumber, KmString(sPrefix).GetLength(), -1);
  sNumber.TrimSpaces();
  return sNumber;
}

// Appends a message for every numbered start range without the end range of
// its number, and every end without its start: such a range would be left
// out of the exports without a word (or, an end alone, taken from the first
// year). A start alone is named as the reader of the ranges names it.
bool AllRangesPaired(const std::vector<KmString>& starts,
                     const std::vector<KmString>& ends, KmString& sMessages) {
  bool bPaired = true;
  const auto check = [&](const std::vector<KmString>& mine,
                         const std::vector<KmString>& theirs, bool bStarts) {
    const char* sMine = bStarts ? "aapc start range" : "aapc end range";
    const char* sTheirs = bStarts ? "aapc end range" : "aapc start range";
    for (const KmString& sNumber : mine) {
      bool bFound = false;
      for (const KmString& sOther : theirs)
        bFound = bFound || sOther == sNumber;
      if (bFound) continue;
      if (bStarts) {
        sMessages << sMine << sNumber
                  << " found but no corresponding End Range found: the "
                     "Export Options need \""
                  << sTheirs << sNumber << "\" as well.\n";
      } else {
        sMessages << "\"" << sMine << sNumber << "\" has no matching \""
                  << sTheirs << sNumber << "\" Export Option.\n";
      }
      bPaired = false;
    }
  };
  check(starts, ends, true);
  check(ends, starts, false);
  return bPaired;
}

std::vector<double> ToStdVector(const KmVector<double>& values) {
  return std::vector<double>(values.begin(), values.end());
}

}  // namespace

bool ValidateExportOptions(const char* sFileName, KmString& sMessages) {
  std::vector<KmString> starts;
  std::vector<KmString> ends;
  const bool bLinesValid = ValidateOptionsSection(
      sFileName, "Export Options",
      [&](const KmString& sKey, const KmString& sValue) {
        KmString sLower(sKey);
        sLower.Trim().MakeLower();
        if (sLower.StartsWith("aapc start range")) {
          starts.push_back(RangeNumber(sLower, "aapc start range"));
        } else if (sLower.StartsWith("aapc end range")) {
          ends.push_back(RangeNumber(sLower, "aapc end range"));
        }
        return IsValidExportOption(sKey, sValue, sMessages);
      },
      sMessages);
  return AllRangesPaired(starts, ends, sMessages) && bLinesValid;
}

bool IsValidExportOption(KmString sKey, KmString sValue, KmString& sMessages) {
  size_t iNumRows = 0;
  const ExportOptionRow* pRows = ExportOptionRows(iNumRows);
  return IsValidTableOption(pRows, iNumRows, "Export", sKey, sValue, sMessages);
}

void ApplyExportOptions(IniExportDict dict, DataExportOptions& options) {
  size_t iNumRows = 0;
  const ExportOptionRow* pRows = ExportOptionRows(iNumRows);
  for (size_t i = 0; i < iNumRows; ++i) {
    const ExportOptionRow& row = pRows[i];
    if (row.pbLayout != nullptr) options.*row.pbLayout = dict.*row.pbField;
    if (row.piLayout != nullptr) options.*row.piLayout = dict.*row.piField;
  }
}

void ApplyAAPCRanges(kmSession* pSession, IniExportDict dict) {
  kmAAPCRanges ranges;
  ranges.SetFullRange(dict.bAAPCFullRange);
  if (dict.bAAPCLastObs) ranges.SetLastObsRanges({5, 10});
  if (dict.dAAPCStartRanges.size() == dict.dAAPCEndRanges.size()) {
    ranges.SetStartRange(ToStdVector(dict.dAAPCStartRanges));
    ranges.SetEndRange(ToStdVector(dict.dAAPCEndRanges));
  }
  pSession->SetAAPCRanges(ranges);
}

void ApplyDisplayPrecisions(IniExportDict dict, OutputDisplayOptions& options) {
  WithCallPath("ApplyDisplayPrecisions()", "main", [&] {
    size_t iNumRows = 0;
    const ExportOptionRow* pRows = ExportOptionRows(iNumRows);
    for (size_t i = 0; i < iNumRows; ++i) {
      const ExportOptionRow& row = pRows[i];
      for (int32_t iDisplay : {row.iDisplay, row.iDisplay2}) {
        if (iDisplay < 0) continue;
        if (row.pbField != nullptr) {
          options.SetBool(iDisplay, dict.*row.pbField);
        } else {
          options.SetInt(iDisplay, dict.*row.piField);
        }
      }
    }
  });
}
