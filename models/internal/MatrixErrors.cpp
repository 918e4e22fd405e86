#include "models/internal/MatrixErrors.h"

#include <mutex>

namespace km_models_internal {

std::string CopyMatrixErrorText() {
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  const char* sText = NEWMAT::BaseException::what();
  return sText != nullptr ? std::string(sText) : std::string();
}

}  // namespace km_models_internal
