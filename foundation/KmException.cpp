#include "foundation/KmException.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "foundation/internal/VFormat.h"

namespace {

std::string TextOrEmpty(const char* sText) {
  return sText == nullptr ? std::string() : std::string(sText);
}

std::string FormatOrEmpty(const char* sFormat, va_list args) {
  std::string text;
  // A formatter error leaves the text empty; building an exception must
  // not fail because of its own message.
  km_internal::VFormat(text, sFormat, args);
  return text;
}

// printf-style text of sFormat and the further arguments.
std::string FormatText(const char* sFormat, ...) {
  va_list args;
  va_start(args, sFormat);
  std::string text = FormatOrEmpty(sFormat, args);
  va_end(args);
  return text;
}

// Length of the leading part of sFormat that ends with its first conversion
// directive ("%%" is not one), or 0 when it has none.
size_t EndOfFirstConversion(const char* sFormat) {
  const size_t n = std::strlen(sFormat);
  size_t i = 0;
  while (i < n) {
    if (sFormat[i] != '%') {
      ++i;
      continue;
    }
    if (i + 1 < n && sFormat[i + 1] == '%') {
      i += 2;
      continue;
    }
    // Skip flags, width, precision and length modifiers up to the
    // conversion letter.
    size_t j = i + 1;
    while (j < n && std::strchr("-+ #0123456789.*hlLqjzt'", sFormat[j])) ++j;
    return j < n ? j + 1 : n;
  }
  return 0;
}

// Builds an exception with a number; the number has no setter, so this goes
// through the formatting constructor.
KmException ExceptionWithNumber(const char* sSource, int32_t iKind,
                                int32_t iNumber, const char* sFormat, ...) {
  va_list args;
  va_start(args, sFormat);
  KmException exception(args, sFormat, sSource, iKind, iNumber);
  va_end(args);
  return exception;
}

}  // namespace

KmException::KmException() : iNumber_(-1), iKind_(0) {}

KmException::KmException(const char* sMessage, const char* sSource)
    : sMessage_(TextOrEmpty(sMessage)),
      sSource_(TextOrEmpty(sSource)),
      iNumber_(-1),
      iKind_(0) {}

KmException::KmException(const char* sMessage, const char* sSource,
                         int32_t iKind)
    : sMessage_(TextOrEmpty(sMessage)),
      sSource_(TextOrEmpty(sSource)),
      iNumber_(-1),
      iKind_(iKind) {}

KmException::KmException(va_list args, const char* sFormat, const char* sSource,
                         int32_t iKind)
    : sMessage_(FormatOrEmpty(sFormat, args)),
      sSource_(TextOrEmpty(sSource)),
      iNumber_(-1),
      iKind_(iKind) {}

KmException::KmException(va_list args, const char* sFormat, const char* sSource,
                         int32_t iKind, int32_t iNumber)
    : sMessage_(FormatOrEmpty(sFormat, args)),
      sSource_(TextOrEmpty(sSource)),
      iNumber_(iNumber),
      iKind_(iKind) {}

KmException::KmException(const KmException& other) = default;
KmException& KmException::operator=(const KmException& other) = default;
KmException::~KmException() = default;

const char* KmException::what() const noexcept { return sMessage_.c_str(); }

void KmException::SetMessage(const char* sText) {
  sMessage_ = TextOrEmpty(sText);
}

void KmException::SetMessageF(const char* sFormat, ...) {
  va_list args;
  va_start(args, sFormat);
  SetMessage(args, sFormat);
  va_end(args);
}

void KmException::SetMessage(va_list args, const char* sFormat) {
  sMessage_ = FormatOrEmpty(sFormat, args);
}

void KmException::SetSource(const char* sSource) {
  sSource_ = TextOrEmpty(sSource);
}

void KmException::SetCallPath(const char* sCallPath) {
  sCallPath_ = TextOrEmpty(sCallPath);
}

void KmException::Init() {
  sMessage_.clear();
  sSource_.clear();
  sCallPath_.clear();
  iNumber_ = -1;
  failure_ = KmFailure::kOther;
  iStandardReports_ = 0;
}

void KmException::AddCallPath(const char* sMethod, const char* sClassName,
                              const char* sDetail) {
  std::string path = sCallPath_;
  if (!path.empty()) path += "\r\n";
  if (sMethod != nullptr) path += sMethod;
  if (sClassName != nullptr) {
    path += " of ";
    path += sClassName;
  }
  if (sDetail != nullptr) {
    path += " (";
    path += sDetail;
    path += ")";
  }
  sCallPath_.swap(path);
}

KmMalformedDataException::KmMalformedDataException() : cDataType_('\0') {}

KmMalformedDataException::KmMalformedDataException(va_list args,
                                                   const char* sFormat,
                                                   char cDataType,
                                                   const char* sText,
                                                   const char* sSource)
    : KmException(args, sFormat, sSource, 0),
      cDataType_(cDataType),
      sText_(TextOrEmpty(sText)) {}

KmMalformedDataException::KmMalformedDataException(
    const KmMalformedDataException& other)
    : KmException(other), cDataType_(other.cDataType_), sText_(other.sText_) {}

KmMalformedDataException& KmMalformedDataException::operator=(
    const KmMalformedDataException& other) {
  KmException::operator=(other);
  cDataType_ = other.cDataType_;
  sText_ = other.sText_;
  return *this;
}

KmMalformedDataException::~KmMalformedDataException() = default;

void GenerateKmException(const char* sMessage, const char* sSource) {
  KmException exception(sMessage, sSource);
  throw exception;
}

void ThrowKmException(const char* sMessage, const char* sSource) {
  throw KmException(sMessage, sSource);
}

void GenerateKmExceptionF(const char* sFormat, const char* sSource, ...) {
  va_list args;
  va_start(args, sSource);
  KmException exception(args, sFormat, sSource, 0);
  va_end(args);
  throw exception;
}

void GenerateKmInputExceptionF(const char* sFormat, const char* sSource, ...) {
  va_list args;
  va_start(args, sSource);
  KmException exception(args, sFormat, sSource, KmException::kInputErrorKind);
  va_end(args);
  throw exception;
}

void GenerateKmInputExceptionN(const char* sFormat, const char* sSource,
                               int32_t iNumber, ...) {
  // The number is the first argument of the format but a named parameter
  // here, so the format is split after its first conversion: the head is
  // printed with the number, the tail with the further arguments.
  std::string message;
  if (sFormat != nullptr) {
    const size_t headLength = EndOfFirstConversion(sFormat);
    const std::string head(sFormat, headLength);
    const std::string headText =
        FormatText(head.c_str(), static_cast<int>(iNumber));
    va_list args;
    va_start(args, iNumber);
    message = headText + FormatOrEmpty(sFormat + headLength, args);
    va_end(args);
  }
  throw ExceptionWithNumber(sSource, KmException::kInputErrorKind, iNumber,
                            "%s", message.c_str());
}

void GenerateKmMalformedDataException(const char* sFormat, char cDataType,
                                      const char* sText, const char* sSource,
                                      ...) {
  va_list args;
  va_start(args, sSource);
  KmMalformedDataException exception(args, sFormat, cDataType, sText, sSource);
  va_end(args);
  throw exception;
}

KmException KmExceptionFromStandard(const std::exception& e,
                                    const char* sSource) {
  KmException failure(e.what(), sSource);
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) {
    failure.SetFailure(KmFailure::kOutOfMemory);
  }
  return failure;
}
