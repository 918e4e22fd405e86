// One section of an ini-style file: its bracketed name and its keys.
#ifndef KM_FOUNDATION_KMINISECTION_H
#define KM_FOUNDATION_KMINISECTION_H

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/KmString.h"

// KmIniSection holds the name of a section, always with its brackets
// ("[Export Options]"), and its keys and values in file order. Keys are
// unique under case-insensitive comparison: setting a key that is already
// there replaces both its key text and its value in place. Lookups ignore
// case.
class KmIniSection {
 public:
  // Name from sHeader by the bracket rule of SetName; null gives an empty
  // name. No keys.
  explicit KmIniSection(const char* sHeader);
  virtual ~KmIniSection();

  // Stores sName as it is when it begins with '[', else "[" sName "]".
  // Null gives an empty name.
  void SetName(const char* sName);
  // The name with its brackets.
  const KmString& GetName() const { return sName_; }

  // Splits sLine at its first '=': the key is the text before it and the
  // value the text after it, each trimmed of spaces (0x20 only) at both
  // ends. A line without '=' is a key with the value "". Then SetString.
  // A null line adds nothing.
  void AddLine(const char* sLine);
  // The key and value of a key line by the rule of AddLine, without
  // storing them. REQUIRES: sLine is not null.
  static void SplitLine(const char* sLine, KmString& sKey, KmString& sValue);
  // True when the section header sHeader names the section sName: both
  // taken by the bracket rule of SetName and compared without regard to
  // case.
  static bool IsNamed(const char* sHeader, const char* sName);
  // Replaces the key equal to sKey without regard to case (key text and
  // value), or appends the pair. Null texts count as "".
  void SetString(const char* sKey, const char* sValue);

  // Index of the first key equal to sKey without regard to case; -1 when
  // absent or sKey is null.
  int32_t GetKeyIndex(const char* sKey) const;
  // sOut receives the value of sKey; "" when absent.
  void GetString(KmString& sOut, const char* sKey) const;
  // sOut receives the value of sKey trimmed of spaces when that is not
  // empty, else sDefault (null gives "").
  void GetString(KmString& sOut, const char* sKey, const char* sDefault) const;
  // bDefault for an absent key or an empty value. Otherwise, after trimming
  // spaces: true when the value is "true" or "yes" without regard to case,
  // or when its leading integer (0 when there is none) is 1, as in "01" and
  // "1x"; false otherwise.
  bool GetBool(const char* sKey, bool bDefault) const;

  int32_t GetNumKeys() const { return static_cast<int32_t>(keys_.size()); }
  // sOut receives key (value) iIndex; "" when iIndex is out of range.
  void GetKeyByIndex(KmString& sOut, int32_t iIndex) const;
  void GetValueByIndex(KmString& sOut, int32_t iIndex) const;

 private:
  KmString sName_;
  std::vector<KmString> keys_;
  std::vector<KmString> values_;
  // Index of each key by its text folded to lower case as the lookups
  // compare, so that a section of many keys (a large value-label format)
  // is built and searched in time linear in its keys.
  std::unordered_map<std::string, int32_t> index_;
};

#endif  // KM_FOUNDATION_KMINISECTION_H
