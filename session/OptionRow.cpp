// The value classes, word lists and ranges of option rows.
#include "session/OptionRow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/KmYesNo.h"

namespace {

// The form of an unsigned number text: digits with at most one '.' and at
// least one digit. It is whole when no digit but 0 follows the point.
enum class NumberText { kNone, kWhole, kDecimal };

NumberText UnsignedNumberText(const char* s) {
  int iDigits = 0;
  int iPoints = 0;
  bool bFraction = false;
  for (; *s != '\0'; ++s) {
    if (*s >= '0' && *s <= '9') {
      ++iDigits;
      bFraction = bFraction || (iPoints > 0 && *s != '0');
    } else if (*s == '.') {
      ++iPoints;
    } else {
      return NumberText::kNone;
    }
  }
  if (iDigits == 0 || iPoints > 1) return NumberText::kNone;
  return bFraction ? NumberText::kDecimal : NumberText::kWhole;
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
    case OptionValueClass::kLevel: {
      const double d = std::atof(s);
      return UnsignedNumberText(s) != NumberText::kNone && d > 0.0 && d < 1.0;
    }
    case OptionValueClass::kCount:
    case OptionValueClass::kNumber: {
      // A '-' is written only where the range goes below 0.
      const bool bSigned = row.dMin < 0.0 && s[0] == '-';
      const NumberText form = UnsignedNumberText(bSigned ? s + 1 : s);
      // A count read as its leading whole number must not lose a fraction.
      const bool bForm = row.valueClass == OptionValueClass::kCount
                             ? form == NumberText::kWhole
                             : form != NumberText::kNone;
      const double d = std::atof(s);
      return bForm && d >= row.dMin && d <= row.dMax;
    }
  }
  return false;
}

bool IsKeyOfRow(const OptionRow& row, const KmString& sKey) {
  return row.bPrefix ? sKey.StartsWith(row.sKey) : sKey == row.sKey;
}
