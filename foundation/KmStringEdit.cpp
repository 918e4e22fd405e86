// KmString: the editing methods (GetSubstring, Insert, Remove, RemoveAll,
// Replace, Truncate, Clear, MakeLower, MakeUpper), the trimming methods and
// the trim routines ZdDeblank and ZdDeblankSpaces.
#include <cstring>

#include "foundation/KmCallPath.h"
#include "foundation/KmString.h"

namespace {

const char kClassName[] = "KmString";

// Shared body of the two trim routines: IsTrimmed tells which bytes go.
template <typename IsTrimmed>
std::string Deblank(const char* sString, bool bLeft, bool bRight,
                    IsTrimmed isTrimmed) {
  if (sString == nullptr) {
    GenerateKmException("null pointer: sString", "ZdDeblank");
  }
  std::string text(sString);
  if (text.empty()) return text;
  if (bRight) {
    size_t end = text.size();
    while (end > 0 && isTrimmed(static_cast<unsigned char>(text[end - 1])))
      --end;
    text.resize(end);
  }
  if (bLeft) {
    size_t begin = 0;
    while (begin < text.size() &&
           isTrimmed(static_cast<unsigned char>(text[begin])))
      ++begin;
    text.erase(0, begin);
  }
  return text;
}

// A blank is any byte from 0x01 to 0x20 (the terminating NUL never reaches
// the test).
bool IsBlank(unsigned char c) { return c <= 0x20; }
bool IsSpace(unsigned char c) { return c == 0x20; }

}  // namespace

std::string ZdDeblank(const char* sString, bool bLeft, bool bRight) {
  return Deblank(sString, bLeft, bRight, IsBlank);
}

std::string ZdDeblankSpaces(const char* sString, bool bLeft, bool bRight) {
  return Deblank(sString, bLeft, bRight, IsSpace);
}

KmString& KmString::GetSubstring(KmString& out, int32_t lStart,
                                 int32_t lLength) {
  WithCallPath("GetSubstring()", kClassName, [&] {
    if (lStart < 0) {
      GenerateKmExceptionF("lStart (value=%d) must not be less than 0",
                           kClassName, lStart);
    }
    if (lStart > GetLength()) {
      GenerateKmExceptionF(
          "lStart (value=%d) must not be greater than GetLength (value=%d)",
          kClassName, lStart, GetLength());
    }
    if (lLength >= 0 && lLength > GetLength() - lStart) {
      GenerateKmExceptionF(
          "Substring length (value=%d) must be less than or equal to "
          "GetLength (value=%d) minus lStart (value=%d).",
          kClassName, lLength, GetLength(), lStart);
    }
  });
  // Copy first: out may be this string itself.
  const std::string part = lLength < 0
                               ? sText_.substr(static_cast<size_t>(lStart))
                               : sText_.substr(static_cast<size_t>(lStart),
                                               static_cast<size_t>(lLength));
  out.sText_ = part;
  return *this;
}

KmString& KmString::Insert(const KmString& sText, int32_t lPos) {
  WithCallPath("Insert()", kClassName, [&] {
    if (lPos < 0 || lPos > GetLength()) {
      GenerateKmExceptionF(
          "Cannot insert at position %d into string of length %d.", kClassName,
          lPos, GetLength());
    }
  });
  // Copy first: sText may be this string itself.
  const std::string inserted(sText.GetCString());
  sText_.insert(static_cast<size_t>(lPos), inserted);
  return *this;
}

KmString& KmString::Remove(int32_t lStart, int32_t n) {
  WithCallPath("Remove()", kClassName, [&] {
    if (lStart < 0 || n < 0 || static_cast<int64_t>(lStart) + n > GetLength()) {
      GenerateKmExceptionF(
          "Cannot remove %d characters starting at position %d from string "
          "of length %d.",
          kClassName, n, lStart, GetLength());
    }
  });
  sText_.erase(static_cast<size_t>(lStart), static_cast<size_t>(n));
  return *this;
}

KmString& KmString::RemoveAll(char c) {
  std::string kept;
  kept.reserve(sText_.size());
  for (char b : sText_) {
    if (b != c) kept += b;
  }
  sText_.swap(kept);
  return *this;
}

KmString& KmString::Replace(const char* sOriginal, const char* sReplace,
                            bool bAll) {
  WithCallPath("Replace()", kClassName, [&] {
    if (sOriginal == nullptr) {
      GenerateKmException("null pointer: sOriginal", kClassName);
    }
    if (sReplace == nullptr) {
      GenerateKmException("null pointer: sReplace", kClassName);
    }
  });
  // An empty search text would match at every step without consuming any
  // text; it replaces nothing.
  const size_t n = std::strlen(sOriginal);
  if (n == 0) return *this;

  std::string result;
  size_t from = 0;
  for (size_t pos = sText_.find(sOriginal, from); pos != std::string::npos;
       pos = sText_.find(sOriginal, from)) {
    result.append(sText_, from, pos - from);
    result += sReplace;
    from = pos + n;
    if (!bAll) break;
  }
  result.append(sText_, from, std::string::npos);
  sText_.swap(result);
  return *this;
}

KmString& KmString::Truncate(uint32_t ulLength) {
  WithCallPath("Truncate()", kClassName, [&] {
    if (ulLength > sText_.size()) {
      GenerateKmExceptionF(
          "ulLength (value=%d) must not be greater than string length "
          "(value=%d).",
          kClassName, static_cast<int>(ulLength), GetLength());
    }
  });
  sText_.resize(ulLength);
  return *this;
}

KmString& KmString::Clear() {
  sText_.clear();
  return *this;
}

KmString& KmString::MakeLower() {
  for (char& c : sText_) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return *this;
}

KmString& KmString::MakeUpper() {
  for (char& c : sText_) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return *this;
}

KmString& KmString::Trim() {
  sText_ = ZdDeblank(sText_.c_str(), true, true);
  return *this;
}

KmString& KmString::TrimLeft() {
  sText_ = ZdDeblank(sText_.c_str(), true, false);
  return *this;
}

KmString& KmString::TrimRight() {
  sText_ = ZdDeblank(sText_.c_str(), false, true);
  return *this;
}

KmString& KmString::TrimSpaces() {
  sText_ = ZdDeblankSpaces(sText_.c_str(), true, true);
  return *this;
}

KmString& KmString::TrimLeftSpaces() {
  sText_ = ZdDeblankSpaces(sText_.c_str(), true, false);
  return *this;
}

KmString& KmString::TrimRightSpaces() {
  sText_ = ZdDeblankSpaces(sText_.c_str(), false, true);
  return *this;
}
