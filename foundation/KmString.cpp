// KmString: construction, assignment, appending, access, comparison,
// searching and formatted assignment. Editing and trimming are in
// KmStringEdit.cpp.
#include "foundation/KmString.h"

#include <cstdio>
#include <cstring>

#include "foundation/KmCallPath.h"
#include "foundation/internal/VFormat.h"

namespace {

const char kClassName[] = "KmString";

std::string TextOrEmpty(const char* sText) {
  return sText == nullptr ? std::string() : std::string(sText);
}

}  // namespace

KmString::KmString(const char* sText) : sText_(TextOrEmpty(sText)) {}

KmString::KmString(const std::string& sText) : sText_(sText) {}

KmString::KmString(char c) {
  if (c != '\0') sText_.assign(1, c);
}

KmString::~KmString() = default;

KmString& KmString::operator=(const char* sText) {
  sText_ = TextOrEmpty(sText);
  return *this;
}

KmString& KmString::operator=(char c) {
  sText_.clear();
  if (c != '\0') sText_.assign(1, c);
  return *this;
}

KmString& KmString::operator=(int iValue) {
  sText_.clear();
  return Append(iValue);
}

KmString& KmString::operator=(double dValue) {
  sText_.clear();
  return Append(dValue);
}

KmString& KmString::operator<<(const KmString& sText) {
  // Up to the first NUL byte, like every text input of the class.
  sText_ += sText.GetCString();
  return *this;
}

KmString& KmString::operator<<(const char* sText) {
  if (sText != nullptr) sText_ += sText;
  return *this;
}

KmString& KmString::operator<<(char c) {
  if (c != '\0') sText_ += c;
  return *this;
}

KmString& KmString::operator<<(KmStringManipulator manipulator) {
  if (manipulator == KmClear) {
    sText_.clear();
  } else if (manipulator == KmEndl) {
    sText_ += "\r\n";
  }
  return *this;
}

void KmString::AppendNumber(const char* sFormat, ...) {
  // Most numbers fit the local buffer; a longer text (a double of large
  // magnitude in fixed notation) is formatted again in a buffer sized from
  // the formatter's answer, so it is never cut short.
  char buffer[64];
  va_list args;
  va_start(args, sFormat);
  va_list again;
  va_copy(again, args);
  const int iNeeded = std::vsnprintf(buffer, sizeof buffer, sFormat, args);
  va_end(args);
  std::string text;
  if (iNeeded >= 0 && static_cast<size_t>(iNeeded) >= sizeof buffer) {
    km_internal::VFormat(text, sFormat, again);
  } else if (iNeeded >= 0) {
    text = buffer;
  }
  va_end(again);
  if (iNeeded < 0) {
    GenerateKmExceptionF(
        "error encountered in call to 'vsnprintf' with "
        "format string, \"%s\".",
        kClassName, sFormat);
  }
  sText_ += ZdDeblank(text.c_str(), true, true);
}

KmString& KmString::Append(short iValue) {
  WithCallPath("Append(short)", kClassName,
               [&] { AppendNumber("%-d", static_cast<int>(iValue)); });
  return *this;
}

KmString& KmString::Append(int iValue) {
  WithCallPath("Append(int)", kClassName, [&] { AppendNumber("%-d", iValue); });
  return *this;
}

KmString& KmString::Append(unsigned int uiValue) {
  WithCallPath("Append(unsigned int)", kClassName,
               [&] { AppendNumber("%-u", uiValue); });
  return *this;
}

KmString& KmString::Append(long lValue) {
  // A long of the system is 32 bits wide: format the 32-bit value.
  WithCallPath("Append(long)", kClassName, [&] {
    AppendNumber("%-d", static_cast<int>(static_cast<int32_t>(lValue)));
  });
  return *this;
}

KmString& KmString::Append(unsigned long ulValue) {
  // An unsigned long of the system is 32 bits wide: format the 32-bit value.
  WithCallPath("Append(unsigned long)", kClassName, [&] {
    AppendNumber("%-u",
                 static_cast<unsigned int>(static_cast<uint32_t>(ulValue)));
  });
  return *this;
}

KmString& KmString::Append(double dValue) {
  WithCallPath("Append(double)", kClassName,
               [&] { AppendNumber("%-lf", dValue); });
  return *this;
}

char& KmString::operator[](int32_t i) {
  WithCallPath("operator[]", kClassName, [&] {
    if (i < 0 || i >= GetLength()) {
      GenerateKmExceptionF("Index (value=%d) is out of range, [%d, %d]",
                           kClassName, i, 0, GetLength() - 1);
    }
  });
  return sText_[static_cast<size_t>(i)];
}

char KmString::operator[](int32_t i) const {
  WithCallPath("operator[]", kClassName, [&] {
    if (i < 0 || i >= GetLength()) {
      GenerateKmExceptionF("Index (value=%d) is out of range, [%d, %d]",
                           kClassName, i, 0, GetLength() - 1);
    }
  });
  return sText_[static_cast<size_t>(i)];
}

char KmString::GetCharAt(int32_t i) const {
  WithCallPath("GetCharAt", kClassName, [&] {
    if (static_cast<uint32_t>(i) >= sText_.size()) {
      GenerateKmExceptionF("index (value=%d) is out of range, [%d, %d]",
                           kClassName, i, 0, GetLength() - 1);
    }
  });
  return sText_[static_cast<size_t>(i)];
}

bool KmString::operator==(const KmString& other) const {
  return sText_ == other.sText_;
}

bool KmString::operator==(const char* sText) const {
  return sText_ == TextOrEmpty(sText);
}

bool KmString::StartsWith(const char* sText) const {
  if (sText == nullptr) return true;
  return sText_.compare(0, std::strlen(sText), sText) == 0;
}

bool KmString::EndsWith(char c) const {
  if (c == '\0') return true;
  return !sText_.empty() && sText_.back() == c;
}

bool KmString::EndsWith(const char* sText) const {
  if (sText == nullptr) return true;
  const size_t n = std::strlen(sText);
  if (n > sText_.size()) return false;
  return sText_.compare(sText_.size() - n, n, sText) == 0;
}

int32_t KmString::Find(const char* sText, int32_t lStart, bool bReverse) const {
  if (sText == nullptr) return -1;
  size_t pos;
  if (bReverse) {
    const int64_t last = static_cast<int64_t>(sText_.size()) - lStart;
    if (last < 0) return -1;
    pos = sText_.rfind(sText, static_cast<size_t>(last));
  } else {
    pos = sText_.find(sText, lStart < 0 ? 0 : static_cast<size_t>(lStart));
  }
  return pos == std::string::npos ? -1 : static_cast<int32_t>(pos);
}

int32_t KmString::Find(const KmString& sText, int32_t lStart,
                       bool bReverse) const {
  return Find(sText.GetCString(), lStart, bReverse);
}

int32_t KmString::GetCharCount(const char* pFindChars) const {
  WithCallPath("GetCharCount()", kClassName, [&] {
    if (pFindChars == nullptr) {
      GenerateKmException("null pointer: pFindChars", kClassName);
    }
  });
  if (*pFindChars == '\0') return 0;
  int32_t iCount = 0;
  for (size_t pos = sText_.find(pFindChars); pos != std::string::npos;
       pos = sText_.find(pFindChars, pos + 1)) {
    ++iCount;
  }
  return iCount;
}

KmString& KmString::printf(const char* sFormat, ...) {
  va_list args;
  va_start(args, sFormat);
  try {
    vprintf(sFormat, args);
  } catch (KmException& e) {
    va_end(args);
    e.AddCallPath("printf()", kClassName);
    throw;
  }
  va_end(args);
  return *this;
}

KmString& KmString::vprintf(const char* sFormat, va_list args) {
  WithCallPath("vprintf()", kClassName, [&] {
    std::string text;
    if (km_internal::VFormat(text, sFormat, args) < 0) {
      GenerateKmExceptionF(
          "error encountered in call to 'vsnprintf' with "
          "format string, \"%s\".",
          kClassName, sFormat);
    }
    sText_.swap(text);
  });
  return *this;
}
