// The catch block shared by the numeric operations of the model framework:
// a standard exception is reported on standard output and passed on
// unchanged; anything else (the matrix library's exceptions, the container's
// plain-text index error) passes through untouched.
#ifndef KM_MODELS_INTERNAL_STANDARDCATCH_H
#define KM_MODELS_INTERNAL_STANDARDCATCH_H

#include <cstdio>
#include <exception>

namespace km_models_internal {

// Writes "Standard exception: " and the exception's text (or "Unknown
// exception" when it has none) and a line end to standard output.
inline void ReportStandardException(const std::exception& e) {
  const char* sText = e.what();
  if (sText == nullptr || *sText == '\0') sText = "Unknown exception";
  std::fputs("Standard exception: ", stdout);
  std::fputs(sText, stdout);
  std::fputs("\n", stdout);
}

// Runs body and returns its result. A std::exception (KmException included)
// thrown by body is reported by ReportStandardException and rethrown as the
// same object.
template <typename Body>
auto WithStandardCatch(Body&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const std::exception& e) {
    ReportStandardException(e);
    throw;
  }
}

}  // namespace km_models_internal

#endif  // KM_MODELS_INTERNAL_STANDARDCATCH_H
