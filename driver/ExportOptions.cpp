// ValidateExportOptions, IsValidExportOption, ApplyExportOptions,
// ApplyAAPCRanges and ApplyDisplayPrecisions.
#include "driver/ExportOptions.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "driver/OptionValidation.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmConvertValue.h"
#include "session/kmAAPCRanges.h"
#include "session/kmSession.h"

namespace {

const char kStartPrefix[] = "aapc start range";
const char kEndPrefix[] = "aapc end range";

// One numbered AAPC range key of the file, with a value.
struct RangeKey {
  std::string sSuffix;  // the key's text after its prefix, as written
  std::string sValue;   // the value, trimmed
  bool bNumber;         // the value passed its check
};

// The text of sKey after sPrefix, untrimmed.
std::string RangeSuffix(const KmString& sKey, const char* sPrefix) {
  return std::string(sKey.GetCString()).substr(std::strlen(sPrefix));
}

// The range number of a key suffix, as the reader of the ranges asks for
// it ("aapc start range" followed by 1, 2, ... in decimal digits): 0 for a
// suffix the reader never asks for (a blank, a leading zero, no number).
int32_t RangeIndex(const std::string& sSuffix) {
  if (sSuffix.empty() || sSuffix.size() > 9 || sSuffix[0] == '0') return 0;
  for (const char c : sSuffix) {
    if (c < '0' || c > '9') return 0;
  }
  return static_cast<int32_t>(std::stol(sSuffix));
}

// The suffix of k, trimmed: the number that pairs a start with its end.
KmString RangeNumber(const RangeKey& k) {
  KmString sNumber(k.sSuffix.c_str());
  sNumber.TrimSpaces();
  return sNumber;
}

// Appends a message for every numbered start range without the end range of
// its number, and every end without its start: such a range would be left
// out of the exports without a word (or, an end alone, taken from the first
// year). A start alone is named as the reader of the ranges names it.
bool AllRangesPaired(const std::vector<RangeKey>& starts,
                     const std::vector<RangeKey>& ends, KmString& sMessages) {
  bool bPaired = true;
  const auto check = [&](const std::vector<RangeKey>& mine,
                         const std::vector<RangeKey>& theirs, bool bStarts) {
    const char* sMine = bStarts ? kStartPrefix : kEndPrefix;
    const char* sTheirs = bStarts ? kEndPrefix : kStartPrefix;
    for (const RangeKey& key : mine) {
      const KmString sNumber = RangeNumber(key);
      bool bFound = false;
      for (const RangeKey& other : theirs)
        bFound = bFound || RangeNumber(other) == sNumber;
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

// Appends a message for every range key whose number the reader of the
// ranges never asks for, so that its range would be left out.
bool AllRangeKeysRead(const std::vector<RangeKey>& keys, const char* sPrefix,
                      KmString& sMessages) {
  bool bRead = true;
  for (const RangeKey& key : keys) {
    if (RangeIndex(key.sSuffix) > 0) continue;
    sMessages << "\"" << sPrefix << key.sSuffix.c_str()
              << "\" is never read: an AAPC range key ends in the range's "
                 "number, written without a blank or a leading zero, as in \""
              << sPrefix << "1\".\n";
    bRead = false;
  }
  return bRead;
}

// Appends a message when the start numbers leave a gap: the ranges are read
// from number 1 up to the first number missing, so every later one would
// be left out.
bool RangesWithoutGaps(const std::vector<RangeKey>& starts,
                       KmString& sMessages) {
  std::set<int32_t> numbers;
  for (const RangeKey& key : starts) {
    if (RangeIndex(key.sSuffix) > 0) numbers.insert(RangeIndex(key.sSuffix));
  }
  int32_t iMissing = 1;
  while (numbers.count(iMissing) > 0) ++iMissing;
  const auto firstLeftOut = numbers.upper_bound(iMissing);
  if (firstLeftOut == numbers.end()) return true;
  sMessages << "\"" << kStartPrefix << iMissing
            << "\" is missing: the AAPC ranges are read from range 1 up to "
               "the first start missing, so "
            << (std::next(firstLeftOut) == numbers.end() ? "range "
                                                         : "ranges ");
  for (auto it = firstLeftOut; it != numbers.end(); ++it) {
    const bool bLast = std::next(it) == numbers.end();
    sMessages << (it == firstLeftOut ? "" : (bLast ? " and " : ", ")) << *it;
  }
  sMessages << " would be left out.  Number the ranges 1, 2, 3, ... without "
               "a gap.\n";
  return false;
}

// The number of a range key whose value passed its check, by the one number
// rule its check read it with.
double ValueOf(const RangeKey& key) {
  double dValue = 0.0;
  ReadNumber(key.sValue.c_str(), false, &dValue);
  return dValue;
}

// Appends a message for every range whose end is not after its start: its
// AAPC would be the missing-value text for every cohort.
bool RangesRunForwards(const std::vector<RangeKey>& starts,
                       const std::vector<RangeKey>& ends, KmString& sMessages) {
  bool bForwards = true;
  for (const RangeKey& start : starts) {
    const int32_t i = RangeIndex(start.sSuffix);
    for (const RangeKey& end : ends) {
      if (i == 0 || RangeIndex(end.sSuffix) != i || !start.bNumber ||
          !end.bNumber || ValueOf(start) < ValueOf(end)) {
        continue;
      }
      sMessages << "AAPC range " << i << " does not run forwards: \""
                << kStartPrefix << i << "\" (" << start.sValue.c_str()
                << ") is not before \"" << kEndPrefix << i << "\" ("
                << end.sValue.c_str()
                << ").  Give each range an end later than its start.\n";
      bForwards = false;
    }
  }
  return bForwards;
}

std::vector<double> ToStdVector(const KmVector<double>& values) {
  return std::vector<double>(values.begin(), values.end());
}

}  // namespace

bool ValidateExportOptions(const char* sFileName, KmString& sMessages) {
  std::vector<RangeKey> starts;
  std::vector<RangeKey> ends;
  const bool bLinesValid = ValidateOptionsSection(
      sFileName, "Export Options",
      [&](const KmString& sKey, const KmString& sValue,
          KmString& sLineMessages) {
        KmString sLower(sKey);
        sLower.Trim().MakeLower();
        KmString sTrimmed(sValue);
        sTrimmed.Trim();
        const bool bValid = IsValidExportOption(sKey, sValue, sLineMessages);
        // The reader takes a range key with an empty value for no key.
        if (sTrimmed.IsEmpty()) return bValid;
        for (const char* sPrefix : {kStartPrefix, kEndPrefix}) {
          if (!sLower.StartsWith(sPrefix)) continue;
          (sPrefix == kStartPrefix ? starts : ends)
              .push_back(RangeKey{RangeSuffix(sLower, sPrefix),
                                  sTrimmed.GetCString(), bValid});
          break;
        }
        return bValid;
      },
      sMessages);
  bool bRanges = AllRangesPaired(starts, ends, sMessages);
  bRanges = AllRangeKeysRead(starts, kStartPrefix, sMessages) && bRanges;
  bRanges = AllRangeKeysRead(ends, kEndPrefix, sMessages) && bRanges;
  bRanges = RangesWithoutGaps(starts, sMessages) && bRanges;
  bRanges = RangesRunForwards(starts, ends, sMessages) && bRanges;
  return bRanges && bLinesValid;
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
