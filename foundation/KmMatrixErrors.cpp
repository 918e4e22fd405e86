#include "foundation/KmMatrixErrors.h"

#include <mutex>

std::string CopyMatrixErrorText() {
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  const char* sText = NEWMAT::BaseException::what();
  return sText != nullptr ? std::string(sText) : std::string();
}
