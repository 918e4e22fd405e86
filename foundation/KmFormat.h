// Value-label formats of variables.
#ifndef KM_FOUNDATION_KMFORMAT_H
#define KM_FOUNDATION_KMFORMAT_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "foundation/KmFormatLine.h"
#include "foundation/KmString.h"

class KmFormatIndex;
class KmIniSection;

// KmFormat maps values of a variable to labels through an ordered list of
// lines (KmFormatLine): a value takes the label of the first line whose
// value text holds it. The format's data-type letter ('A' text, 'I' 32-bit
// signed, 'N' double, 'S' 16-bit signed, 'U' 16-bit unsigned, 'W' 32-bit
// unsigned; default 'I') says how the value texts of new lines are read and
// how values are matched. Labels and text values compare byte by byte when
// the format is case-sensitive (the default), else without regard to case.
//
// A whole format travels as text: one line per format line, the value text,
// "=", the label and, when there is one, "=" and the display label, each
// ended by "\n" (GetWholeFormat, SetWholeFormat).
//
// Line indices are 0-based; every index is range-checked.
class KmFormat {
 public:
  // Empty name, no lines, type 'I', both flags true.
  KmFormat();
  KmFormat(const KmFormat& other);
  // Copies lines, name, type and both flags; assignment to itself does
  // nothing.
  KmFormat& operator=(const KmFormat& other);
  virtual ~KmFormat();

  // A new copy made by the copy constructor; the caller owns it.
  virtual KmFormat* Clone() const;

  // Copies name, type and both flags of other; the lines stay as they are.
  void Copy(const KmFormat& other);

  // Adds a line with the value, label and display label of rhs; the value
  // text is read again with this format's type. Inserted before line lIndex
  // when 0 <= lIndex < GetNumLines(); appended when lIndex is negative or at
  // or past the number of lines.
  // Throws: the parse errors of KmFormatLine::SetValue; the format is then
  // unchanged.
  void AddLine(const KmFormatLine& rhs, int32_t lIndex = -1);
  // Adds a line from its texts (null gives ""), placed as above.
  void AddLine(const char* sValue, const char* sLabel, const char* sDisplay,
               int32_t lIndex);
  // The same without a display label.
  void AddLine(const char* sValue, const char* sLabel, int32_t lIndex);
  // Parses one line of text and adds it, placed as above. The text is
  // trimmed of blanks. Without bWithDisplay, the value is the text before the
  // first "=" and the label all after it (later "=" belong to the label).
  // With bWithDisplay, the text is split at every "=" into value, label and
  // an optional display label. Each part is trimmed of blanks.
  // Throws: KmException "Invalid line - AddLine(char *sLine)" (class
  // "KmFormat") for a text without "=" when bWithDisplay is false, "Invalid
  // line - AddLine(char *sLine, long lIndex)" for fewer than 2 or more than
  // 3 parts when bWithDisplay is true; the parse errors of the value text.
  void AddLine(const char* sLine, int32_t lIndex, bool bWithDisplay);

  // Replaces all lines by the lines of sText: each piece that ends with
  // "\n" is one line, parsed by AddLine(piece, -1, bWithDisplay); text after
  // the last "\n" is ignored.
  // Throws: the errors of AddLine (an empty piece, from two "\n" in a row,
  // is an invalid line). The format keeps its previous lines after a
  // failure.
  void SetWholeFormat(const char* sText, bool bWithDisplay);
  // sOut becomes the text of all lines (empty for no lines).
  void GetWholeFormat(KmString& sOut) const;

  // Loads the format from an ini section: the name becomes the section's
  // name (with its brackets), and each key of the section, in order, becomes
  // a line with the key as value text and the key's value as label. The
  // optional sections give, under the format's name, the case-sensitive
  // flag (pCaseSection), the second flag (pSecondSection; both GetBool with
  // default true) and the type letter (the first character of the value in
  // pTypeSection); without them the flags are true and the type is
  // cDefaultType.
  // Throws: KmException "Null buffer" (class "KmFormat") for a null
  // pSection; the parse errors of the lines. The format keeps its previous
  // lines after a failure.
  void Read(const KmIniSection* pSection, char cDefaultType,
            const KmIniSection* pCaseSection = nullptr,
            const KmIniSection* pSecondSection = nullptr,
            const KmIniSection* pTypeSection = nullptr);

  // Index of the first line that holds the value, -1 when none does.
  // pValue is a NUL-terminated text when bIsText or the type is 'A', else a
  // number of the format's type (see KmFormatLine::GetIsInFormatLine, which
  // also says what bAllowBlank does).
  // Throws: KmException "Null buffer" (class "KmFormat") for a null pValue;
  // the conversion error of a text that is no number of the type, which ends
  // the search.
  int32_t GetIndexFromValue(const void* pValue, bool bIsText,
                            bool bAllowBlank) const;
  // Index of the first line that holds the value of sField, a field of a
  // data file, -1 when none does. A format of numbers reads the field by
  // the one number rule of data values (kmTools::ReadFieldNumber), so
  // "1998", " 1998.0 ", "+1998" and "1.998e3" are one value; a field that
  // is empty or no number is in no line, and so, in a format of whole
  // numbers, is a number that is not whole or lies outside the type. A text
  // format ('A') looks up the field's text (kmTools::FieldText). Never
  // throws for what a data file may hold.
  int32_t GetIndexFromField(const KmString& sField) const;
  // Index of the first line whose label equals sLabel (as the case flag
  // says), -1 when none does.
  // Throws: KmException "Null buffer" for a null sLabel.
  int32_t GetIndexFromLabel(const char* sLabel) const;

  int32_t GetNumLines() const { return static_cast<int32_t>(vLines_.size()); }
  // Line i and copies of its texts.
  // Throws: KmException "Index %d out of range; vector is from %d to %d"
  // (class "KmFormat") when i is outside 0 to GetNumLines() - 1.
  const KmFormatLine& GetLine(int32_t i) const;
  KmString GetValue(int32_t i) const;
  KmString GetLabel(int32_t i) const;
  KmString GetDisplayLabel(int32_t i) const;

  // Replaces the name (null gives "").
  void SetName(const char* sName);
  const KmString& GetName() const { return sName_; }
  // The type letter used to read the value texts of lines added from now on
  // and to match values.
  void SetDataType(char cDataType) {
    cDataType_ = cDataType;
    DropSearchIndex();
  }
  char GetDataType() const { return cDataType_; }
  void SetCaseSensitive(bool bCaseSensitive) {
    bCaseSensitive_ = bCaseSensitive;
    DropSearchIndex();
  }
  bool GetCaseSensitive() const { return bCaseSensitive_; }
  // A second flag kept, read and copied with the format; no operation of
  // the format uses it.
  void SetSecondFlag(bool bSecondFlag) { bSecondFlag_ = bSecondFlag; }
  bool GetSecondFlag() const { return bSecondFlag_; }

 private:
  // Inserts line before lIndex, or appends it when lIndex is negative or at
  // or past the end.
  void InsertLine(const KmFormatLine& line, int32_t lIndex);
  // Throws the index error unless 0 <= i < GetNumLines().
  void CheckIndex(int32_t i) const;
  // The search index of the present lines, type and case flag, built on
  // the first look-up after a change; look-ups on several threads share it.
  std::shared_ptr<const KmFormatIndex> GetSearchIndex() const;
  // Forgets the search index: every change of the lines, the type or the
  // case flag calls it.
  void DropSearchIndex();

  KmString sName_;
  std::vector<KmFormatLine> vLines_;
  char cDataType_;
  bool bCaseSensitive_;
  bool bSecondFlag_;
  mutable std::mutex mSearchIndex_;
  mutable std::shared_ptr<const KmFormatIndex> pSearchIndex_;
};

#endif  // KM_FOUNDATION_KMFORMAT_H
