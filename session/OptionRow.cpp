// The value classes, word lists and ranges of option rows.
#include "session/OptionRow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/KmConvertValue.h"
#include "foundation/KmYesNo.h"
#include "foundation/kmTools.h"

namespace {

// Calls visit(word, length) for each word of the '|'-separated sWords until
// it returns true; returns the position of that word or -1.
template <typename Visit>
int32_t FindWord(const char* sWords, Visit visit) {
  if (sWords == nullptr) return -1;
  const char* p = sWords;
  for (int32_t i = 0;; ++i) {
    const char* pEnd = std::strchr(p, '|');
    const size_t iWord = pEnd ? static_cast<size_t>(pEnd - p) : std::strlen(p);
    if (visit(p, iWord)) return i;
    if (!pEnd) return -1;
    p = pEnd + 1;
  }
}

// The texts joined for a message: "a, b or c".
KmString JoinedText(const std::vector<std::string>& texts) {
  KmString sText;
  for (size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) sText << (i + 1 == texts.size() ? " or " : ", ");
    sText << texts[i].c_str();
  }
  return sText;
}

// True when dValue is the number of a word of sWords that is a number (a
// special value of a row of numbers, such as "-1"), by the one number rule.
bool IsNumberWord(const char* sWords, double dValue) {
  return FindWord(sWords, [&](const char* p, size_t iWord) {
           double dWord = 0.0;
           const NumberKind kind =
               ReadNumber(std::string(p, iWord).c_str(), false, &dWord);
           return (kind == NumberKind::kWholeNumber ||
                   kind == NumberKind::kNumber) &&
                  dWord == dValue;
         }) >= 0;
}

bool IsNumberClass(const OptionRow& row) {
  return row.valueClass == OptionValueClass::kCount ||
         row.valueClass == OptionValueClass::kNumber ||
         row.valueClass == OptionValueClass::kLevel;
}

}  // namespace

int32_t WordCode(const char* sWords, const KmString& sValue) {
  const size_t iLength = static_cast<size_t>(sValue.GetLength());
  return FindWord(sWords, [&](const char* p, size_t iWord) {
    return iWord == iLength && std::strncmp(p, sValue.GetCString(), iWord) == 0;
  });
}

KmString WordAt(const char* sWords, int32_t iCode) {
  KmString sWord;
  FindWord(sWords, [&, i = 0](const char* p, size_t iWord) mutable {
    if (i++ != iCode) return false;
    sWord = std::string(p, iWord);
    return true;
  });
  return sWord;
}

KmString WordListText(const char* sWords) {
  std::vector<std::string> words;
  FindWord(sWords, [&](const char* p, size_t iWord) {
    words.push_back("\"" + std::string(p, iWord) + "\"");
    return false;
  });
  return JoinedText(words);
}

KmString KeyListText(const std::vector<std::string>& vKeys) {
  std::vector<std::string> vShown;
  for (const std::string& sKey : vKeys) {
    const std::string sQuoted = "\"" + sKey + "\"";
    if (std::find(vShown.begin(), vShown.end(), sQuoted) == vShown.end()) {
      vShown.push_back(sQuoted);
    }
  }
  return JoinedText(vShown);
}

bool IsWordCode(const char* sWords, double dCode) {
  if (!(dCode >= 0.0) || dCode != std::floor(dCode)) return false;
  bool bWord = false;
  FindWord(sWords, [&, i = 0.0](const char*, size_t iWord) mutable {
    bWord = i == dCode && iWord > 0;
    i += 1.0;
    return bWord;
  });
  return bWord;
}

KmString WordCodesText(const char* sWords) {
  std::vector<std::string> codes;
  FindWord(sWords, [&, i = 0](const char* p, size_t iWord) mutable {
    if (iWord > 0) {
      codes.push_back(std::to_string(i) + " (" + std::string(p, iWord) + ")");
    }
    ++i;
    return false;
  });
  return JoinedText(codes);
}

bool IsValueOfRow(const OptionRow& row, const KmString& sValue) {
  const char* s = sValue.GetCString();
  if (*s == '\0' || WordCode(row.sWords, sValue) >= 0) return true;
  switch (row.valueClass) {
    case OptionValueClass::kWord:
      return false;
    case OptionValueClass::kText:
      return true;
    case OptionValueClass::kBool:
      return ReadYesNo(sValue) != YesNo::kNeither;
    case OptionValueClass::kLevel:
    case OptionValueClass::kCount:
    case OptionValueClass::kNumber: {
      double d = 0.0;
      if (ReadRowNumber(row, s, d) != RowNumber::kInClass) return false;
      return IsNumberWord(row.sWords, d) ||
             (d >= row.dMin && d <= row.dMax &&
              (row.valueClass != OptionValueClass::kLevel ||
               (d > 0.0 && d < 1.0)));
    }
  }
  return false;
}

RowNumber ReadRowNumber(const OptionRow& row, const char* sValue,
                        double& dValue) {
  switch (ReadNumber(sValue, false, &dValue)) {
    case NumberKind::kWholeNumber:
      return RowNumber::kInClass;
    case NumberKind::kNumber:
      return row.valueClass == OptionValueClass::kCount ? RowNumber::kNotWhole
                                                        : RowNumber::kInClass;
    case NumberKind::kBeyondDouble:
      return RowNumber::kBeyondDouble;
    case NumberKind::kNoNumber:
      break;
  }
  return RowNumber::kNoNumber;
}

KmString OptionValuesText(const OptionRow& row) {
  KmString sText;
  switch (row.valueClass) {
    case OptionValueClass::kWord:
      return WordCodesText(row.sWords);
    case OptionValueClass::kBool:
      sText << "0 (false) or 1 (true)";
      return sText;
    case OptionValueClass::kLevel:
      sText << "a level above 0 and below 1";
      return sText;
    default:
      break;
  }
  char sRange[96];
  if (std::isinf(row.dMax)) {
    std::snprintf(sRange, sizeof(sRange), "a number from %.10g", row.dMin);
  } else {
    std::snprintf(sRange, sizeof(sRange), "%.10g to %.10g", row.dMin, row.dMax);
  }
  sText << (std::isinf(row.dMin) ? "a finite number" : sRange);
  return sText;
}

bool IsKeyOfRow(const OptionRow& row, const KmString& sKey) {
  return row.bPrefix ? sKey.StartsWith(row.sKey) : sKey == row.sKey;
}

KmString RowValuesText(const OptionRow& row) {
  KmString sText = OptionValuesText(row);
  if (!IsNumberClass(row)) return sText;
  FindWord(row.sWords, [&](const char* p, size_t iWord) {
    const std::string sWord(p, iWord);
    const bool bNumber =
        ReadNumber(sWord.c_str(), false, nullptr) != NumberKind::kNoNumber;
    sText << ", or " << (bNumber ? sWord : "\"" + sWord + "\"").c_str();
    return false;
  });
  return sText;
}

KmString RowNumberText(const OptionRow& row, const char* sValue) {
  double dValue = 0.0;
  KmString sText;
  switch (ReadRowNumber(row, sValue, dValue)) {
    case RowNumber::kInClass:
      sText << "the number " << kmTools::ShortestText(dValue);
      break;
    case RowNumber::kNotWhole:
      sText << "not a whole number";
      break;
    case RowNumber::kBeyondDouble:
      sText << "a number beyond those a double holds";
      break;
    case RowNumber::kNoNumber:
      sText << "not a number";
      break;
  }
  return sText;
}
