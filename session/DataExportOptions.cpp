// DataExportOptions: the delimiter and missing texts.
#include "session/DataExportOptions.h"

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"

namespace {
const char kClassName[] = "DataExportOptions";
}  // namespace

char DataExportOptions::GetFieldDelimeter() const {
  return WithCallPath("GetFieldDelimeter()", kClassName, [&]() -> char {
    switch (iFieldDelimiter) {
      case kFieldTab:
        return '\t';
      case kFieldComma:
        return ',';
      case kFieldSemicolon:
        return ';';
      default:
        GenerateKmException("Unsupported field delimiter.", kClassName);
    }
  });
}

KmString& DataExportOptions::GetLineDelimeter(KmString& sDelimiter) const {
  return WithCallPath("GetLineDelimeter()", kClassName, [&]() -> KmString& {
    switch (iLineDelimiter) {
      case kLineDos:
        sDelimiter = "\r\n";
        break;
      case kLineUnix:
        sDelimiter = "\n";
        break;
      default:
        GenerateKmException("Unsupported line delimiter.", kClassName);
    }
    return sDelimiter;
  });
}

KmString DataExportOptions::GetLineDelimeter() const {
  return WithCallPath("GetLineDelimeter()", kClassName, [&]() -> KmString {
    KmString sDelimiter;
    GetLineDelimeter(sDelimiter);
    return sDelimiter;
  });
}

KmString DataExportOptions::GetMissingChar() const {
  return WithCallPath("GetMissingChar()", kClassName, [&]() -> KmString {
    switch (iMissingCharacter) {
      case kMissingSpace:
        return KmString(" ");
      case kMissingPeriod:
        return KmString(".");
      case kMissingNA:
        return KmString("NA");
      default:
        GenerateKmException("Unsupported missing character.", kClassName);
    }
  });
}
