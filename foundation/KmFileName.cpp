#include "foundation/KmFileName.h"

#include <string>

#include "foundation/KmCallPath.h"
#include "foundation/platform/KmPlatform.h"

namespace {

const char kClassName[] = "KmFileName";
// Every failure of this class carries this one call-path line.
const char kMethodName[] = "Constructor";

void RequireNotNull(const char* sText) {
  if (sText == nullptr) GenerateKmException("Null parameter", kClassName);
}

}  // namespace

KmFileName::KmFileName(const char* sPath) {
  if (sPath != nullptr) SetFullPath(sPath);
}

KmFileName::KmFileName(const KmFileName& other) { Copy(other); }

KmFileName& KmFileName::operator=(const KmFileName& other) {
  sDrive_ = other.sDrive_;
  sDirectory_ = other.sDirectory_;
  sName_ = other.sName_;
  sExtension_ = other.sExtension_;
  sFull_ = other.sFull_;
  return *this;
}

KmFileName::~KmFileName() = default;

void KmFileName::Copy(const KmFileName& other) {
  SetDrive(other.sDrive_.GetCString());
  SetDirectory(other.sDirectory_.GetCString());
  SetName(other.sName_.GetCString());
  SetExtension(other.sExtension_.GetCString());
}

void KmFileName::SetDrive(const char* sDrive) {
  WithCallPath(kMethodName, kClassName, [&] {
    RequireNotNull(sDrive);
    sDrive_ = sDrive;
    if (!sDrive_.IsEmpty() && !sDrive_.StartsWith("\\\\") &&
        !sDrive_.EndsWith(':')) {
      sDrive_ << ':';
    }
  });
}

void KmFileName::SetDirectory(const char* sDirectory) {
  WithCallPath(kMethodName, kClassName, [&] {
    RequireNotNull(sDirectory);
    sDirectory_ = sDirectory;
    if (!sDirectory_.IsEmpty() && !sDirectory_.EndsWith('\\') &&
        !sDirectory_.EndsWith('/')) {
      // Keep to the separator the text already uses.
      const bool bSlashes =
          sDirectory_.Find("/") >= 0 && sDirectory_.Find("\\") < 0;
      sDirectory_ << (bSlashes ? '/' : '\\');
    }
  });
}

void KmFileName::SetName(const char* sName) {
  WithCallPath(kMethodName, kClassName, [&] {
    RequireNotNull(sName);
    sName_ = sName;
  });
}

void KmFileName::SetExtension(const char* sExtension) {
  WithCallPath(kMethodName, kClassName, [&] {
    RequireNotNull(sExtension);
    sExtension_ = sExtension;
    if (!sExtension_.IsEmpty() && !sExtension_.StartsWith(".")) {
      sExtension_.Insert(".", 0);
    }
  });
}

const char* KmFileName::GetFullName() {
  sFull_.Clear();
  sFull_ << sDrive_ << sDirectory_ << sName_ << sExtension_;
  return sFull_.GetCString();
}

void KmFileName::SetFullPath(const char* sPath) {
  WithCallPath(kMethodName, kClassName, [&] { SetFullPathImpl(sPath); });
}

void KmFileName::SetFullPathImpl(const char* sPath) {
  if (sPath == nullptr) GenerateKmException("Null pointer", kClassName);
  std::string sResolved;
  if (*sPath != '\0' && !KmGetFullPathName(sPath, sResolved)) {
    GenerateKmException("Could not get full path name -- ", kClassName);
  }
  std::string s = ZdDeblank(sResolved.c_str(), true, true);

  // Extension: from the last dot, unless a character that cannot be part of
  // an extension (a separator among them) follows it.
  size_t iPos = s.rfind('.');
  if (iPos != std::string::npos &&
      s.find_first_of("<>:\"/\\|", iPos) == std::string::npos) {
    SetExtension(s.substr(iPos).c_str());
    s.resize(iPos);
  } else {
    SetExtension("");
  }

  // Name: after the last separator, or else after the last colon.
  iPos = s.find_last_of("\\/");
  if (iPos == std::string::npos) iPos = s.rfind(':');
  if (iPos == std::string::npos) {
    SetName(s.c_str());
    s.clear();
  } else {
    SetName(s.substr(iPos + 1).c_str());
    s.resize(iPos + 1);
  }

  // Drive: a UNC prefix "\\server\share", or a letter and its colon.
  if (s.size() >= 2 && s[0] == '\\' && s[1] == '\\') {
    const size_t iServerEnd = s.find('\\', 2);
    if (iServerEnd == std::string::npos) {
      GenerateKmException("Invalid UNC name", kClassName);
    }
    // The share name has at least one character, so its closing backslash
    // is searched from the second character after the server's.
    const size_t iShareEnd = s.find('\\', iServerEnd + 2);
    if (iShareEnd == std::string::npos) {
      GenerateKmException("Invalid UNC name", kClassName);
    }
    SetDrive(s.substr(0, iShareEnd).c_str());
    s.erase(0, iShareEnd);
  } else if (s.find(':') == 1) {
    SetDrive(s.substr(0, 2).c_str());
    s.erase(0, 2);
  } else {
    SetDrive("");
  }

  SetDirectory(s.c_str());
}
