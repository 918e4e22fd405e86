// Leading-number conversions and lower-casing of option-file values.
#include "session/internal/OptionText.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "foundation/KmIniSection.h"
#include "session/KmUserParamsDict.h"

namespace km_session_internal {
namespace {

// strtoll with atoi's rules; bOverflow tells whether the value left the
// 32-bit range (strtoll saturates, so the sign of the result still holds).
int64_t ParseLeading(const char* sText, bool& bOverflow) {
  bOverflow = false;
  if (sText == nullptr) return 0;
  errno = 0;
  char* pEnd = nullptr;
  const long long llValue = std::strtoll(sText, &pEnd, 10);
  if (pEnd == sText) return 0;
  if (errno == ERANGE || llValue > std::numeric_limits<int32_t>::max() ||
      llValue < std::numeric_limits<int32_t>::min()) {
    bOverflow = true;
  }
  return static_cast<int64_t>(llValue);
}

}  // namespace

bool LeadingInt32(const char* sText, int32_t& iValue) {
  bool bOverflow = false;
  const int64_t llValue = ParseLeading(sText, bOverflow);
  if (bOverflow) return false;
  iValue = static_cast<int32_t>(llValue);
  return true;
}

int32_t LeadingInt32Clamped(const char* sText) {
  bool bOverflow = false;
  const int64_t llValue = ParseLeading(sText, bOverflow);
  if (!bOverflow) return static_cast<int32_t>(llValue);
  return llValue < 0 ? std::numeric_limits<int32_t>::min()
                     : std::numeric_limits<int32_t>::max();
}

double LeadingDouble(const char* sText) {
  if (sText == nullptr) return 0.0;
  return std::strtod(sText, nullptr);
}

KmString Lowered(const KmString& sText) {
  KmString sLower(sText);
  sLower.MakeLower();
  return sLower;
}

const FieldDelimiterWord kFieldDelimiterWords[4] = {
    {"tab", '\t'}, {"space", ' '}, {"comma", ','}, {"semi-colon", ';'}};

bool FieldDelimiterFromWord(const KmString& sWord, char& c) {
  for (const FieldDelimiterWord& entry : kFieldDelimiterWords) {
    if (sWord == entry.sWord) {
      c = entry.c;
      return true;
    }
  }
  return false;
}

const char* WordOfFieldDelimiter(char c) {
  for (const FieldDelimiterWord& entry : kFieldDelimiterWords) {
    if (c == entry.c) return entry.sWord;
  }
  return nullptr;
}

const FieldDelimiterWord* OtherFieldDelimiter(
    char cDelimiter, int iFields, const std::function<int(char)>& countFields) {
  for (const FieldDelimiterWord& entry : kFieldDelimiterWords) {
    if (entry.c != cDelimiter && countFields(entry.c) >= iFields) {
      return &entry;
    }
  }
  return nullptr;
}

bool HetErrorModelFromWord(const KmString& sWord, kmErrorModel& model) {
  kmErrorModel named = model;
  if (!kmCodeFromText(sWord, named) || named == kmErrorModel::kVarCovMatrix) {
    return false;
  }
  model = named;
  return true;
}

KmString ValueOf(const KmIniSection& section, const char* sKey) {
  KmString sValue;
  section.GetString(sValue, sKey);
  return sValue;
}

}  // namespace km_session_internal
