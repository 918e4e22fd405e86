#include "foundation/KmYesNo.h"

#include "foundation/KmConvertValue.h"
#include "foundation/KmShownText.h"
#include "foundation/platform/KmPlatform.h"

YesNo ReadYesNo(const KmString& sText) {
  KmString sValue(sText);
  sValue.Trim();
  const char* s = sValue.GetCString();
  if (KmStricmp(s, "true") == 0 || KmStricmp(s, "yes") == 0) {
    return YesNo::kYes;
  }
  if (KmStricmp(s, "false") == 0 || KmStricmp(s, "no") == 0) {
    return YesNo::kNo;
  }
  // By the number rule itself, not a data field's: a switch is no field,
  // and "\"1\"" is no more a number there than "\"yes\"" a word.
  double dValue = 0.0;
  const NumberKind kind = ReadNumber(s, false, &dValue);
  if (kind == NumberKind::kNoNumber || kind == NumberKind::kBeyondDouble) {
    return YesNo::kNeither;
  }
  if (dValue == 1.0) return YesNo::kYes;
  return dValue == 0.0 ? YesNo::kNo : YesNo::kNeither;
}

KmString YesNoValuesText() {
  return KmString(
      "yes (\"yes\", \"true\" or the number 1) or no (\"no\", \"false\" or "
      "the number 0), in any case");
}

KmString YesNoRefusalText(const KmString& sKey, const KmString& sValue) {
  KmString sText("\"");
  sText << ShownText(sValue) << "\" is not a yes or no for \""
        << ShownText(sKey) << "\"; write " << YesNoValuesText() << ".";
  return sText;
}
