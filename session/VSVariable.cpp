// VSVariable: construction, copying and the owned format.
#include "session/VSVariable.h"

#include <memory>
#include <utility>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"

namespace {
const char kClassName[] = "VSVariable";
}  // namespace

VSVariable::VSVariable() { Init(); }

VSVariable::VSVariable(const char* sName) {
  Init();
  sName_ = sName;
}

VSVariable::VSVariable(const VSVariable& other) {
  Init();
  WithCallPath("Copy Constructor", kClassName, [&] { Copy(other); });
}

VSVariable::~VSVariable() = default;

VSVariable& VSVariable::operator=(const VSVariable& other) {
  WithCallPath("operator=", kClassName, [&] {
    if (this != &other) Copy(other);
  });
  return *this;
}

void VSVariable::Init() {
  sName_.Clear();
  pFormat_.reset();
}

void VSVariable::Clear() { Init(); }

void VSVariable::Copy(const VSVariable& other) {
  WithCallPath("Copy()", kClassName, [&] {
    // Take copies before letting go of our own members, so that a failed
    // copy leaves this variable as it was and Copy(*this) keeps it whole.
    KmString sName = other.sName_;
    std::unique_ptr<KmFormat> pCopy;
    if (other.pFormat_) pCopy = std::make_unique<KmFormat>(*other.pFormat_);
    sName_ = sName;
    pFormat_ = std::move(pCopy);
  });
}

const KmFormat& VSVariable::GetFormat() const {
  return WithCallPath("GetFormat()", kClassName, [&]() -> const KmFormat& {
    if (pFormat_ == nullptr) {
      GenerateKmExceptionF("Variable \"%s\" does not have a format.",
                           kClassName, sName_.GetCString());
    }
    return *pFormat_;
  });
}

void VSVariable::SetFormat(const KmFormat& format) {
  WithCallPath("SetFormat()", kClassName,
               [&] { pFormat_ = std::make_unique<KmFormat>(format); });
}
