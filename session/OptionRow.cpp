// The value classes, word lists and ranges of option rows.
#include "session/OptionRow.h"

#include <cmath>
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

// The texts joined for a message: "a, b or c".
KmString JoinedText(const std::vector<std::string>& texts) {
  KmString sText;
  for (size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) sText << (i + 1 == texts.size() ? " or " : ", ");
    sText << texts[i].c_str();
  }
  return sText;
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
    words.push_back("\"" + std::string(p, iWord) + "\"");
    return false;
  });
  return JoinedText(words);
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
