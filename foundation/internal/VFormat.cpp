#include "foundation/internal/VFormat.h"

#include <cstdio>

namespace km_internal {

int VFormat(std::string& out, const char* sFormat, va_list args) {
  if (sFormat == nullptr) {
    out.clear();
    return 0;
  }
  // First pass measures; the formatter returns the full length even when
  // the bound is too small.
  va_list measure;
  va_copy(measure, args);
  const int iNeeded = std::vsnprintf(nullptr, 0, sFormat, measure);
  va_end(measure);
  if (iNeeded < 0) return iNeeded;

  std::string text(static_cast<size_t>(iNeeded) + 1, '\0');
  va_list print;
  va_copy(print, args);
  const int iWritten = std::vsnprintf(&text[0], text.size(), sFormat, print);
  va_end(print);
  if (iWritten < 0) return iWritten;
  text.resize(static_cast<size_t>(iNeeded));
  out.swap(text);
  return iNeeded;
}

}  // namespace km_internal
