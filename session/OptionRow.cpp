// The value classes, word lists and ranges of option rows.
#include "session/OptionRow.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// True when s is an unsigned decimal number: digits with at most one '.'
// and at least one digit.
bool IsUnsignedDecimal(const char* s) {
  int iDigits = 0;
  int iPoints = 0;
  for (; *s != '\0'; ++s) {
    if (*s >= '0' && *s <= '9') {
      ++iDigits;
    } else if (*s == '.') {
      ++iPoints;
    } else {
      return false;
    }
  }
  return iDigits > 0 && iPoints <= 1;
}

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

}  // namespace

int32_t WordCode(const char* sWords, const KmString& sValue) {
  const size_t iLength = static_cast<size_t>(sValue.GetLength());
  return FindWord(sWords, [&](const char* p, size_t iWord) {
    return iWord == iLength && std::strncmp(p, sValue.GetCString(), iWord) == 0;
  });
}

KmString WordListText(const char* sWords) {
  std::vector<std::string> words;
  FindWord(sWords, [&](const char* p, size_t iWord) {
    words.emplace_back(p, iWord);
    return false;
  });
  KmString sText;
  for (size_t i = 0; i < words.size(); ++i) {
    if (i > 0) sText << (i + 1 == words.size() ? " or " : ", ");
    sText << "\"" << words[i].c_str() << "\"";
  }
  return sText;
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
      return sValue == "true" || sValue == "false";
    case OptionValueClass::kLevel: {
      const double d = std::atof(s);
      return IsUnsignedDecimal(s) && d > 0.0 && d < 1.0;
    }
    case OptionValueClass::kCount:
    case OptionValueClass::kNumber: {
      const bool bSigned =
          row.valueClass == OptionValueClass::kNumber && s[0] == '-';
      const double d = std::atof(s);
      return IsUnsignedDecimal(bSigned ? s + 1 : s) && d >= row.dMin &&
             d <= row.dMax;
    }
  }
  return false;
}

bool IsKeyOfRow(const OptionRow& row, const KmString& sKey) {
  return row.bPrefix ? sKey.StartsWith(row.sKey) : sKey == row.sKey;
}
