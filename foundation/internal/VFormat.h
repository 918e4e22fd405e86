// printf-style formatting into a standard string of exactly the needed
// length, shared by the text and error classes of the foundation.
#ifndef KM_FOUNDATION_INTERNAL_VFORMAT_H
#define KM_FOUNDATION_INTERNAL_VFORMAT_H

#include <cstdarg>
#include <string>

namespace km_internal {

// Formats sFormat with args into out, sized from the formatter's own answer,
// so the text is never cut short. A null format gives "". Returns the length
// of the text, or a negative value when the formatter reports an error (out
// is then left unchanged). args is not consumed (it is copied).
int VFormat(std::string& out, const char* sFormat, va_list args);

}  // namespace km_internal

#endif  // KM_FOUNDATION_INTERNAL_VFORMAT_H
