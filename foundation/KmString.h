// The text type of every interface in the system, and the two trim routines
// behind its trimming methods.
#ifndef KM_FOUNDATION_KMSTRING_H
#define KM_FOUNDATION_KMSTRING_H

#include <cstdarg>
#include <cstdint>
#include <string>

#include "foundation/KmException.h"

// Argument of KmString::operator<< that edits instead of appending:
// KmClear (0) empties the string, KmEndl (1) appends the line break "\r\n";
// any other value leaves the string unchanged.
enum KmStringManipulator : int32_t { KmClear = 0, KmEndl = 1 };

// KmString: a byte string (no character set is interpreted) held by value,
// with stream-style appending, fixed number formats, trimming, searching,
// substrings and printf-style formatting. Its only virtual operation is the
// destructor, so it can be deleted through a pointer and kept in arrays.
//
// Lengths and positions are byte counts; positions are 0-based. Inputs given
// as a NUL-terminated text or as another KmString are used up to their first
// NUL byte. Range and null-pointer failures raise KmException (kind 0, source
// "KmString") and leave the string unchanged; the failing method adds its own
// line to the call path.
//
// Width of "long": the system's long values are 32 bits wide. The long and
// unsigned long overloads below take the host's long (64 bits on this
// platform) so that calls with long arguments resolve without ambiguity, and
// treat the value as the 32-bit value it stands for (it is cut to its low
// 32 bits before formatting). Code holding 32-bit values in int32_t or
// uint32_t reaches the int and unsigned int overloads, which format the same.
class KmString {
 public:
  // The empty text.
  KmString() = default;
  // Copy of the NUL-terminated text; a null pointer gives "".
  KmString(const char* sText);  // NOLINT: implicit by design.
  // Copy of the text of a standard string.
  KmString(const std::string& sText);  // NOLINT: implicit by design.
  // One-character text; the NUL character gives "".
  explicit KmString(char c);
  KmString(const KmString& other) = default;
  KmString(KmString&& other) noexcept = default;
  virtual ~KmString();

  KmString& operator=(const KmString& other) = default;
  KmString& operator=(KmString&& other) noexcept = default;
  // Assigns the NUL-terminated text (null gives "").
  KmString& operator=(const char* sText);
  // Assigns one character; NUL gives "".
  KmString& operator=(char c);
  // Empties the string, then Append(int).
  KmString& operator=(int iValue);
  // Empties the string, then Append(double).
  KmString& operator=(double dValue);

  // Appending. Each returns the string itself so calls chain.
  KmString& operator<<(const KmString& sText);
  KmString& operator<<(const char* sText);
  // Appends c; NUL appends nothing.
  KmString& operator<<(char c);
  KmString& operator<<(short iValue) { return Append(iValue); }
  KmString& operator<<(int iValue) { return Append(iValue); }
  KmString& operator<<(unsigned int uiValue) { return Append(uiValue); }
  KmString& operator<<(long lValue) { return Append(lValue); }
  KmString& operator<<(unsigned long ulValue) { return Append(ulValue); }
  KmString& operator<<(double dValue) { return Append(dValue); }
  KmString& operator<<(KmStringManipulator manipulator);

  // Number appending: printf format "%-d" (short, int), "%-u" (unsigned int),
  // "%-ld" and "%-lu" of the 32-bit value (long, unsigned long), "%-lf"
  // (double: fixed notation, six decimals, any magnitude), trimmed of blanks
  // at both ends. Throws KmException only when the formatter fails.
  KmString& Append(short iValue);
  KmString& Append(int iValue);
  KmString& Append(unsigned int uiValue);
  KmString& Append(long lValue);
  KmString& Append(unsigned long ulValue);
  KmString& Append(double dValue);

  int32_t GetLength() const { return static_cast<int32_t>(sText_.size()); }
  bool IsEmpty() const { return sText_.empty(); }
  // The NUL-terminated text; valid until the string changes.
  const char* GetCString() const { return sText_.c_str(); }

  // The byte at i. Throws KmException "Index (value=i) is out of range,
  // [0, length - 1]" (call path "operator[]") when i < 0 or i >= length.
  char& operator[](int32_t i);
  char operator[](int32_t i) const;
  // The byte at i. Throws KmException "index (value=i) is out of range,
  // [0, length - 1]" (call path "GetCharAt") when i < 0 or i >= length.
  char GetCharAt(int32_t i) const;

  // Byte-for-byte equality of text and length (case-sensitive).
  bool operator==(const KmString& other) const;
  bool operator==(const char* sText) const;
  bool operator!=(const KmString& other) const { return !(*this == other); }
  bool operator!=(const char* sText) const { return !(*this == sText); }

  // True when sText occurs at position 0 (an empty or null text: true).
  bool StartsWith(const char* sText) const;
  // True when the string ends with c; NUL gives true; the empty string ends
  // with no character.
  bool EndsWith(char c) const;
  // True when the string ends with sText; an empty or null text gives true;
  // a text longer than the string is never its ending.
  bool EndsWith(const char* sText) const;

  // Without bReverse: the first position >= lStart (a negative lStart counts
  // as 0) where sText occurs. With bReverse: the last position
  // <= length - lStart where it occurs (lStart 0 searches the whole string).
  // Returns -1 when absent or sText is null.
  int32_t Find(const char* sText, int32_t lStart = 0,
               bool bReverse = false) const;
  int32_t Find(const KmString& sText, int32_t lStart = 0,
               bool bReverse = false) const;
  // Number of occurrences of pFindChars, each search resuming one byte after
  // the previous match (overlaps count); 0 when absent or pFindChars is
  // empty. Throws KmException "null pointer: pFindChars" when null.
  int32_t GetCharCount(const char* pFindChars) const;

  // out receives lLength bytes from lStart, or the rest of the string when
  // lLength < 0; lStart equal to the length gives "". Throws KmException
  // (call path "GetSubstring()") when lStart is negative or greater than the
  // length, or lLength is greater than length - lStart. Returns *this.
  KmString& GetSubstring(KmString& out, int32_t lStart, int32_t lLength);
  // Inserts sText before position lPos (lPos equal to the length appends).
  // Throws KmException (call path "Insert()") when lPos < 0 or
  // lPos > length.
  KmString& Insert(const KmString& sText, int32_t lPos);
  // Deletes n bytes from lStart. Throws KmException "Cannot remove n
  // characters starting at position lStart from string of length len."
  // (call path "Remove()") when lStart or n is negative or lStart + n
  // exceeds the length.
  KmString& Remove(int32_t lStart, int32_t n);
  // Deletes every occurrence of c.
  KmString& RemoveAll(char c);
  // Replaces sOriginal by sReplace, every occurrence (bAll) or the first
  // only; replaced text is never searched again. An empty sOriginal leaves
  // the string unchanged. Throws KmException "null pointer: sOriginal" /
  // "null pointer: sReplace" (call path "Replace()").
  KmString& Replace(const char* sOriginal, const char* sReplace,
                    bool bAll = true);
  // Keeps the first ulLength bytes. Throws KmException (call path
  // "Truncate()") when ulLength > length.
  KmString& Truncate(uint32_t ulLength);
  // Makes the string empty.
  KmString& Clear();
  // Change the letters 'A'-'Z' (or 'a'-'z') in place; other bytes stay.
  KmString& MakeLower();
  KmString& MakeUpper();

  // Trimming in place. Trim, TrimLeft and TrimRight remove blanks (byte
  // values 0x01 to 0x20); the Spaces forms remove the space 0x20 only.
  KmString& Trim();
  KmString& TrimLeft();
  KmString& TrimRight();
  KmString& TrimSpaces();
  KmString& TrimLeftSpaces();
  KmString& TrimRightSpaces();

  // Replace the whole content with the formatted text, however long (they do
  // not append). A null format gives "". Throws KmException "error
  // encountered in call to 'vsnprintf' with format string, \"...\"." when
  // the formatter fails (call path "vprintf()", then "printf()").
  KmString& printf(const char* sFormat, ...) KM_PRINTF_FORMAT(2, 3);
  KmString& vprintf(const char* sFormat, va_list args);

 private:
  // Appends the blank-trimmed text of a formatted number.
  void AppendNumber(const char* sFormat, ...) KM_PRINTF_FORMAT(2, 3);

  std::string sText_;
};

// Copy of sString without blanks (byte values 0x01 to 0x20) at the right end
// when bRight and at the left end when bLeft. Throws KmException "null
// pointer: sString" (source "ZdDeblank") when sString is null.
std::string ZdDeblank(const char* sString, bool bLeft = true,
                      bool bRight = true);
// The same for the space character 0x20 only.
std::string ZdDeblankSpaces(const char* sString, bool bLeft = true,
                            bool bRight = true);

#endif  // KM_FOUNDATION_KMSTRING_H
