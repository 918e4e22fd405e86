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
// case. A section read from a file also keeps where each line stands: the
// line of its header and every key line as written, a key given again
// included, so that every check of the file asks the section itself.
class KmIniSection {
 public:
  // One key line as the file gives it.
  struct KeyLine {
    int32_t iLine;   // its number in the file, from 1; 0 when not read
                     // from a file
    KmString sText;  // the line, trimmed of blanks
    KmString sKey;   // the key and value AddLine splits it into
    KmString sValue;
  };
  // A key given again with another value than its first line's.
  struct Repeat {
    const KeyLine* pFirst;  // the key's first line
    const KeyLine* pAgain;  // its first later line with another value
  };

  // Name from sHeader by the bracket rule of SetName; null gives an empty
  // name. No keys. iLine is the number of the header's line in its file (0
  // when it was not read from one); the header text, as GetHeaderText
  // gives it, is sHeader.
  explicit KmIniSection(const char* sHeader, int32_t iLine = 0);
  virtual ~KmIniSection();

  // Stores sName as it is when it begins with '[', else "[" sName "]".
  // Null gives an empty name.
  void SetName(const char* sName);
  // The name with its brackets.
  const KmString& GetName() const { return sName_; }
  // The header as the file writes it (trimmed), "[ Session Options ] ; x"
  // for the section [Session Options]; as given to the constructor.
  const KmString& GetHeaderText() const { return sHeaderText_; }
  // The number of the header's line in its file; 0 when not read from one.
  int32_t GetLine() const { return iLine_; }

  // The section name a header line holds: the text between '[' and the
  // first ']' that is followed by nothing but blanks or a comment (';' and
  // what follows it), trimmed of blanks (bytes 0x01 to 0x20), and of blanks
  // around its first '=' and of quotes (single or double) that enclose the
  // text after it: "[ Format = Region ] ; codes" and "[Format='Region']"
  // name "[Format=Region]". Returns false, leaving sName as it was, when
  // sHeader has no such ']' ("[Session Options", "[A] b") or names nothing
  // ("[ ]").
  static bool ReadHeader(const KmString& sHeader, KmString& sName);

  // Splits sLine at its first '=': the key is the text before it and the
  // value the text after it, each trimmed of blanks (bytes 0x01 to 0x20, a
  // tab as a space) at both ends. A line without '=' is a key with the
  // value "". Then SetString.
  // A null line adds nothing. iLine is the line's number in its file (0
  // when it was not read from one); the line is kept for GetKeyLines.
  void AddLine(const char* sLine, int32_t iLine = 0);
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
  // sOut receives the value of sKey trimmed of blanks when that is not
  // empty, else sDefault (null gives "").
  void GetString(KmString& sOut, const char* sKey, const char* sDefault) const;
  // bDefault for an absent key or an empty value. Otherwise the value read
  // by the one rule of a switch (ReadYesNo): true for yes ("true", "Yes",
  // "1", "01", "1.0"), false for no ("false", "NO", "0").
  // Throws: KmException (kind 3, source "KmIniSection") for a value that is
  // neither ("1x", "2", "on", "Y"), naming the file sFileName (null: none)
  // and the key's line: "The file \"<file>\", line <n>: " followed by
  // YesNoRefusalText of the key and the value as the file writes them.
  bool GetBool(const char* sKey, bool bDefault, const char* sFileName) const;

  // Every line AddLine was given, in order, a key given again included.
  const std::vector<KeyLine>& GetKeyLines() const { return lines_; }
  // The number of the first line that gives sKey (compared as GetKeyIndex
  // compares); 0 when no line gives it or it was not read from a file.
  int32_t GetKeyLine(const char* sKey) const;
  // Each key given again with another value than its first line's (once
  // per key), in the order of those later lines. A key given again with
  // the same value is no repeat.
  std::vector<Repeat> GetKeysGivenTwice() const;

  int32_t GetNumKeys() const { return static_cast<int32_t>(keys_.size()); }
  // sOut receives key (value) iIndex; "" when iIndex is out of range.
  void GetKeyByIndex(KmString& sOut, int32_t iIndex) const;
  void GetValueByIndex(KmString& sOut, int32_t iIndex) const;

 private:
  KmString sName_;
  KmString sHeaderText_;
  int32_t iLine_ = 0;
  std::vector<KeyLine> lines_;
  std::vector<KmString> keys_;
  std::vector<KmString> values_;
  // Index of each key by its text folded to lower case as the lookups
  // compare, so that a section of many keys (a large value-label format)
  // is built and searched in time linear in its keys.
  std::unordered_map<std::string, int32_t> index_;
};

#endif  // KM_FOUNDATION_KMINISECTION_H
