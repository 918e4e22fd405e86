// Option-file numbers by the one number rule, and lower-casing of
// option-file values.
#include "session/internal/OptionText.h"

#include "foundation/KmException.h"
#include "foundation/KmIniSection.h"
#include "session/KmUserParamsDict.h"

namespace km_session_internal {
bool ReadOptionNumber(const KmIniSection& section, const char* sFileName,
                      const OptionRow& row, const char* sKey, double& dValue,
                      const char* sSource) {
  const KmString sValue = ValueOf(section, sKey);
  if (sValue.IsEmpty()) return false;
  double dRead = 0.0;
  const RowNumber read = ReadRowNumber(row, sValue.GetCString(), dRead);
  if (read != RowNumber::kInClass) {
    const char* sKind = read == RowNumber::kNotWhole ? "a whole number"
                        : read == RowNumber::kBeyondDouble
                            ? "a number a double holds"
                            : "a number";
    GenerateKmInputExceptionF(
        "The file \"%s\", line %d: \"%s\" = \"%s\" is not %s; the key "
        "takes %s.",
        sSource, sFileName, section.GetKeyLine(sKey), sKey, sValue.GetCString(),
        sKind, RowValuesText(row).GetCString());
  }
  dValue = dRead;
  return true;
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
