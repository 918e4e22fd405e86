// VSVariable: construction, copying and the owned format.
#include "session/VSVariable.h"

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
  try {
    Copy(other);
  } catch (KmException& e) {
    e.AddCallPath("Copy Constructor", kClassName);
    throw;
  }
}

VSVariable::~VSVariable() { delete pFormat_; }

VSVariable& VSVariable::operator=(const VSVariable& other) {
  try {
    if (this != &other) Copy(other);
  } catch (KmException& e) {
    e.AddCallPath("operator=", kClassName);
    throw;
  }
  return *this;
}

void VSVariable::Init() {
  sName_.Clear();
  pFormat_ = nullptr;
}

void VSVariable::Clear() {
  delete pFormat_;
  Init();
}

void VSVariable::Copy(const VSVariable& other) {
  try {
    // Take copies before letting go of our own members, so that a failed
    // copy leaves this variable as it was and Copy(*this) keeps it whole.
    KmString sName = other.sName_;
    KmFormat* pCopy =
        other.pFormat_ != nullptr ? new KmFormat(*other.pFormat_) : nullptr;
    Clear();
    sName_ = sName;
    pFormat_ = pCopy;
  } catch (KmException& e) {
    e.AddCallPath("Copy()", kClassName);
    throw;
  }
}

const KmFormat& VSVariable::GetFormat() const {
  try {
    if (pFormat_ == nullptr) {
      GenerateKmExceptionF("Variable \"%s\" does not have a format.",
                           kClassName, sName_.GetCString());
    }
    return *pFormat_;
  } catch (KmException& e) {
    e.AddCallPath("GetFormat()", kClassName);
    throw;
  }
}

void VSVariable::SetFormat(const KmFormat& format) {
  try {
    KmFormat* pCopy = new KmFormat(format);
    delete pFormat_;
    pFormat_ = pCopy;
  } catch (KmException& e) {
    e.AddCallPath("SetFormat()", kClassName);
    throw;
  }
}
