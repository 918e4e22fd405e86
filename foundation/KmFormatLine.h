// One line of a value-label format: a value text, its label, an optional
// display label, and the ranges parsed from the value text.
#ifndef KM_FOUNDATION_KMFORMATLINE_H
#define KM_FOUNDATION_KMFORMATLINE_H

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/KmFormatRange.h"

// KmFormatLine maps the values its value text stands for to a label. The
// value text is one of:
//   - a single value ("3");
//   - a comma-separated list ("1,3,5"); each piece may be a range, and an
//     empty piece ("1,,3", a trailing comma) stands for no value;
//   - a range: low and high bound around "-" ("1-4"); a '<' directly before
//     the "-" makes the low end exclusive, one directly after it the high
//     end ("1-<5" holds 1 to 4 of the integers); one blank on each side of
//     the "-" is allowed ("1 - 4");
//   - a value in double quotes, taken whole without its quotes ("\"1-2\"");
//   - the empty text, which stands for the blank value of the type
//     ('A' "", 'I' -2147483648, 'N' -1e30, 'S' -32768, 'U' and 'W' 0).
// A "-" cannot stand first, so a negative single value cannot be written.
// Number texts are read strictly (KmConvertValue); a text bound holds at
// most 32 characters.
class KmFormatLine {
 public:
  // Init, keeps cDataType as the line's own letter, then
  // SetValue(sValue, cDataType), SetLabel(sLabel), SetDisplayLabel(sDisplay).
  // Throws: KmException "Invalid character type" (class "KmFormatLine") for
  // a letter other than A, I, N, S, U, W; the parse errors of SetValue.
  KmFormatLine(const char* sValue, const char* sLabel, char cDataType,
               const char* sDisplay = nullptr);
  KmFormatLine(const KmFormatLine& other) = default;
  KmFormatLine& operator=(const KmFormatLine& other) = default;
  virtual ~KmFormatLine();

  // Empties the value text and the label.
  void Init();

  // Replaces the value text (null gives "") and rebuilds the ranges from it,
  // reading it as type cDataType.
  // Throws: KmException "Invalid range" (class "KmFormatLine") for a range
  // whose "-" stands first; "Invalid character type" for an unknown letter;
  // "Invalid format range" for a text bound over 32 characters; the
  // KmMalformedDataException of KmConvertValue for a bound that is no
  // number of the type. The line is unchanged after a failure.
  void SetValue(const char* sValue, char cDataType);
  // The same with the line's own letter.
  void SetValue(const char* sValue);
  // Replace the label or the display label (null gives "").
  void SetLabel(const char* sLabel);
  void SetDisplayLabel(const char* sDisplay);

  const std::string& GetValue() const { return sValue_; }
  const std::string& GetLabel() const { return sLabel_; }
  // "" when the line has none.
  const std::string& GetDisplayLabel() const { return sDisplayLabel_; }
  char GetDataType() const { return cDataType_; }

  int32_t GetNumRanges() const { return static_cast<int32_t>(vRanges_.size()); }
  // Range i. Throws: KmException (class "KmFormatLine") when i is outside
  // 0 to GetNumRanges() - 1.
  const KmFormatRange& GetRange(int32_t i) const;
  // Appends a copy of range.
  void AddRange(const KmFormatRange& range);
  // Removes range i. Throws: KmException when i is out of range.
  void DeleteRange(int32_t i);
  // Removes every range, the last first.
  void DeleteAllRanges();

  // The single-value range holding the blank value of cDataType.
  // Throws: KmException "Invalid character type" for an unknown letter.
  static KmFormatRange CreateBlankRange(char cDataType);
  // The range a piece of value text without commas stands for: a single
  // value without "-", else a range whose kind follows from the '<' beside
  // the first "-". Throws as SetValue.
  static KmFormatRange CreateRange(const char* sRange, char cDataType);
  // The range from the bound texts: for 'A' the texts themselves; for a
  // number type sLow converted, and sHigh converted unless empty (empty gives
  // 0), a leading blank allowed. Throws as SetValue.
  static KmFormatRange CreateRange(const char* sLow, const char* sHigh,
                                   char cDataType, int32_t lKind);

  // Does the value at pValue fall in any range of this line? pValue is a
  // NUL-terminated text when bIsText or cDataType is 'A', else a number of
  // the type cDataType names (int16_t 'S', uint16_t 'U', int32_t 'I',
  // uint32_t 'W', double 'N'). A text value of a number type is converted
  // with leading blanks allowed when bAllowBlank; when bAllowBlank is false a
  // text beginning with a space matches nothing. Text values compare as
  // bCaseSensitive says. A null value or a line without ranges gives false.
  // Throws: the KmMalformedDataException of KmConvertValue for a text that
  // is no number of the type; "Invalid character type" for an unknown
  // letter.
  bool GetIsInFormatLine(const void* pValue, char cDataType, bool bIsText,
                         bool bAllowBlank, bool bCaseSensitive) const;

 private:
  // Rebuilds the ranges from the value text (quoted, empty or a
  // comma-separated list).
  void SetAllRanges(char cDataType);

  std::string sValue_;
  std::string sLabel_;
  std::string sDisplayLabel_;
  std::vector<KmFormatRange> vRanges_;
  char cDataType_;
};

#endif  // KM_FOUNDATION_KMFORMATLINE_H
