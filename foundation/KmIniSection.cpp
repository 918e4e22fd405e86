#include "foundation/KmIniSection.h"

#include <cstdlib>
#include <cstring>

#include "foundation/platform/KmPlatform.h"

namespace {

const char kClassName[] = "KmIniSection";

KmString BracketedName(const char* sName) {
  KmString sOut;
  if (sName == nullptr) return sOut;
  if (sName[0] == '[') {
    sOut = sName;
  } else {
    sOut << "[" << sName << "]";
  }
  return sOut;
}

}  // namespace

KmIniSection::KmIniSection(const char* sHeader)
    : sName_(BracketedName(sHeader)) {}

KmIniSection::~KmIniSection() = default;

void KmIniSection::SetName(const char* sName) { sName_ = BracketedName(sName); }

void KmIniSection::AddLine(const char* sLine) {
  try {
    if (sLine == nullptr) return;
    const char* pEquals = std::strchr(sLine, '=');
    std::string sKey;
    std::string sValue;
    if (pEquals == nullptr) {
      sKey = sLine;
    } else {
      sKey.assign(sLine, static_cast<size_t>(pEquals - sLine));
      sValue = pEquals + 1;
    }
    SetString(ZdDeblankSpaces(sKey.c_str()).c_str(),
              ZdDeblankSpaces(sValue.c_str()).c_str());
  } catch (KmException& e) {
    e.AddCallPath("AddLine()", kClassName);
    throw;
  }
}

void KmIniSection::SetString(const char* sKey, const char* sValue) {
  try {
    const int32_t iIndex = GetKeyIndex(sKey == nullptr ? "" : sKey);
    if (iIndex >= 0) {
      keys_[static_cast<size_t>(iIndex)] = sKey;
      values_[static_cast<size_t>(iIndex)] = sValue;
    } else {
      keys_.emplace_back(sKey);
      values_.emplace_back(sValue);
    }
  } catch (KmException& e) {
    e.AddCallPath("SetString()", kClassName);
    throw;
  }
}

int32_t KmIniSection::GetKeyIndex(const char* sKey) const {
  if (sKey == nullptr) return -1;
  for (size_t i = 0; i < keys_.size(); ++i) {
    if (KmStricmp(keys_[i].GetCString(), sKey) == 0) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

void KmIniSection::GetString(KmString& sOut, const char* sKey) const {
  try {
    const int32_t iIndex = GetKeyIndex(sKey);
    if (iIndex < 0) {
      sOut.Clear();
    } else {
      sOut = values_[static_cast<size_t>(iIndex)];
    }
  } catch (KmException& e) {
    e.AddCallPath("GetString(Keyname)", kClassName);
    throw;
  }
}

void KmIniSection::GetString(KmString& sOut, const char* sKey,
                             const char* sDefault) const {
  try {
    KmString sValue;
    GetString(sValue, sKey);
    sValue.TrimSpaces();
    if (sValue.IsEmpty()) {
      sOut = sDefault;
    } else {
      sOut = sValue;
    }
  } catch (KmException& e) {
    e.AddCallPath("GetString()", kClassName);
    throw;
  }
}

bool KmIniSection::GetBool(const char* sKey, bool bDefault) const {
  try {
    KmString sValue;
    GetString(sValue, sKey);
    if (sValue.IsEmpty()) return bDefault;
    sValue.TrimSpaces();
    if (KmStricmp(sValue.GetCString(), "true") == 0 ||
        KmStricmp(sValue.GetCString(), "yes") == 0) {
      return true;
    }
    // The leading integer, as the standard text-to-int conversion reads it
    // (strtol saturates where atoi's overflow would be undefined).
    return std::strtol(sValue.GetCString(), nullptr, 10) == 1;
  } catch (KmException& e) {
    e.AddCallPath("GetBool()", kClassName);
    throw;
  }
}

void KmIniSection::GetKeyByIndex(KmString& sOut, int32_t iIndex) const {
  try {
    if (iIndex < 0 || iIndex >= GetNumKeys()) {
      sOut.Clear();
    } else {
      sOut = keys_[static_cast<size_t>(iIndex)];
    }
  } catch (KmException& e) {
    e.AddCallPath("GetKeyByIndex()", kClassName);
    throw;
  }
}

void KmIniSection::GetValueByIndex(KmString& sOut, int32_t iIndex) const {
  try {
    if (iIndex < 0 || iIndex >= GetNumKeys()) {
      sOut.Clear();
    } else {
      sOut = values_[static_cast<size_t>(iIndex)];
    }
  } catch (KmException& e) {
    e.AddCallPath("GetValueByIndex()", kClassName);
    throw;
  }
}
