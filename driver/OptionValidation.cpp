// The shared half of the options validators: the validation text, the
// message builder, the section scan and the value classes.
#include "driver/OptionValidation.h"

#include <cstdlib>
#include <cstring>

#include "foundation/KmIO_File.h"
#include "foundation/KmLineSource.h"

namespace {

// True when s is an unsigned decimal number: digits with at most one '.'
// and at least one digit. The empty text passes (the reader ignores it).
bool IsUnsignedDecimal(const char* s) {
  if (*s == '\0') return true;
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

// True when sValue is one of the '|'-separated words of sWords.
bool IsOneOfWords(const KmString& sValue, const char* sWords) {
  const char* p = sWords;
  const size_t iLength = static_cast<size_t>(sValue.GetLength());
  while (true) {
    const char* pEnd = std::strchr(p, '|');
    const size_t iWord = pEnd ? static_cast<size_t>(pEnd - p) : std::strlen(p);
    if (iWord == iLength && std::strncmp(p, sValue.GetCString(), iWord) == 0) {
      return true;
    }
    if (!pEnd) return false;
    p = pEnd + 1;
  }
}

// The key and value of a trimmed key line as the ini reader splits it: at
// the first '=', each side trimmed of spaces; no '=' gives an empty value.
void SplitKeyLine(const KmString& sLine, KmString& sKey, KmString& sValue) {
  const int32_t iEquals = sLine.Find("=");
  KmString sCopy(sLine);
  if (iEquals < 0) {
    sKey = sLine;
    sValue = "";
  } else {
    sCopy.GetSubstring(sKey, 0, iEquals);
    sCopy.GetSubstring(sValue, iEquals + 1, -1);
  }
  sKey.TrimSpaces();
  sValue.TrimSpaces();
}

}  // namespace

KmString& GetValidationText() {
  static KmString sText;
  return sText;
}

void ClearValidationText() { GetValidationText().Clear(); }

void AppendOptionMessage(const char* sOptionKind, bool bBadKey,
                         const KmString& sKey, const KmString& sValue) {
  KmString& sText = GetValidationText();
  if (bBadKey) {
    sText << "\"" << sKey << "\" is not a valid ";
  } else {
    sText << "\"" << sValue << "\" is not a valid value for the \"" << sKey
          << "\" ";
  }
  sText << sOptionKind << " Option.\n";
}

bool ValidateOptionsSection(
    const char* sFileName, const char* sSection,
    const std::function<bool(const KmString&, const KmString&)>& isValid) {
  KmString sHeader;
  sHeader << "[" << sSection << "]";
  sHeader.MakeLower();

  bool bInSection = false;
  bool bFound = false;
  bool bAllValid = true;
  if (KmIO_File::FileExists(sFileName)) {
    KmLineSource file("The file");
    file.Open(sFileName, false);
    KmString sLine;
    while (file.ReadLine(sLine)) {
      sLine.Trim();
      if (sLine.IsEmpty() || sLine.StartsWith(";")) continue;
      if (sLine.StartsWith("[")) {
        // Only the first section of the name is read by the options
        // readers; a later one of the same name is ignored, as they ignore
        // it.
        KmString sName(sLine);
        sName.TrimSpaces().MakeLower();
        bInSection = !bFound && sName == sHeader;
        bFound = bFound || bInSection;
        continue;
      }
      if (!bInSection) continue;
      KmString sKey;
      KmString sValue;
      SplitKeyLine(sLine, sKey, sValue);
      if (!isValid(sKey, sValue)) bAllValid = false;
    }
  }
  if (!bFound) {
    GetValidationText() << "Missing [" << sSection
                        << "] in Options file: " << sFileName << "\n";
    return false;
  }
  return bAllValid;
}

bool IsValueOfClass(OptionValueClass valueClass, const KmString& sValue,
                    const char* sWords) {
  const char* s = sValue.GetCString();
  if (sWords != nullptr && IsOneOfWords(sValue, sWords)) return true;
  switch (valueClass) {
    case OptionValueClass::kWord:
      return false;
    case OptionValueClass::kBool:
      return sValue == "true" || sValue == "false";
    case OptionValueClass::kProbability:
      return IsUnsignedDecimal(s) && std::atof(s) <= 1.0;
    case OptionValueClass::kCount:
      return IsUnsignedDecimal(s);
    case OptionValueClass::kNumber:
      return IsUnsignedDecimal(s[0] == '-' && s[1] != '\0' ? s + 1 : s);
  }
  return false;
}

bool IsValidTableOption(const OptionRecord* pTable, size_t iNumRecords,
                        const char* sOptionKind, KmString sKey,
                        KmString sValue) {
  sKey.Trim().MakeLower();
  sValue.Trim().MakeLower();
  for (size_t i = 0; i < iNumRecords; ++i) {
    const OptionRecord& record = pTable[i];
    const bool bMatch =
        record.bPrefix ? sKey.StartsWith(record.sKey) : sKey == record.sKey;
    if (!bMatch) continue;
    if (IsValueOfClass(record.valueClass, sValue, record.sWords)) return true;
    AppendOptionMessage(sOptionKind, false, sKey, sValue);
    return false;
  }
  AppendOptionMessage(sOptionKind, true, sKey, sValue);
  return false;
}
