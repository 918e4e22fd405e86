// One row of an options file's table: the key, the class of its values,
// its words and its range. The readers, the validators and the code that
// applies the options all work from rows of this kind.
#ifndef KM_SESSION_OPTIONROW_H
#define KM_SESSION_OPTIONROW_H

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "foundation/KmString.h"

// Value classes. An empty value passes every class: the readers then leave
// their field as it is.
enum class OptionValueClass {
  kWord,    // one of the listed words
  kBool,    // yes or no by the one rule of a switch (ReadYesNo)
  kCount,   // a number in the range, whole by its text (ReadNumber)
  kNumber,  // a number in the range (ReadNumber)
  kLevel,   // a number strictly between 0 and 1
  kText,    // any text
};

// One option. sKey is in lower case. sWords is a '|'-separated list (null for
// none): for kWord the whole of the accepted values, whose codes are their
// positions in the list; for the other classes special values accepted
// beside the class (such as "estimated" beside a number). dMin and dMax
// bound the numbers of kCount and kNumber, both included. Numbers are read
// by the one number rule of every file (ReadNumber, KmConvertValue.h): a
// decimal number, with an exponent or without, that a double holds. With
// bPrefix,
// every key that begins with sKey is this option (numbered keys such as
// "aapc start range1").
struct OptionRow {
  const char* sKey;
  OptionValueClass valueClass;
  const char* sWords;
  double dMin;
  double dMax;
  bool bPrefix;
};

constexpr double kNoLimit = std::numeric_limits<double>::infinity();

// Row builders, so that tables read as one line per option.
constexpr OptionRow WordOption(const char* sKey, const char* sWords) {
  return {sKey, OptionValueClass::kWord, sWords, 0.0, 0.0, false};
}
constexpr OptionRow BoolOption(const char* sKey) {
  return {sKey, OptionValueClass::kBool, nullptr, 0.0, 0.0, false};
}
constexpr OptionRow CountOption(const char* sKey, double dMin, double dMax,
                                const char* sWords = nullptr) {
  return {sKey, OptionValueClass::kCount, sWords, dMin, dMax, false};
}
constexpr OptionRow NumberOption(const char* sKey, double dMin = -kNoLimit,
                                 double dMax = kNoLimit,
                                 const char* sWords = nullptr) {
  return {sKey, OptionValueClass::kNumber, sWords, dMin, dMax, false};
}
constexpr OptionRow TextOption(const char* sKey) {
  return {sKey, OptionValueClass::kText, nullptr, 0.0, 0.0, false};
}
constexpr OptionRow LevelOption(const char* sKey) {
  return {sKey, OptionValueClass::kLevel, nullptr, 0.0, 1.0, false};
}

// True when sValue (already lower-cased) is an accepted value of row: one of
// its words, or a value of its class within its range. A word of a row of
// numbers that is itself a number ("-1" beside the counts 0 to 9) is taken
// by its number, however either is written ("-1.0", "-1e0", "-01").
bool IsValueOfRow(const OptionRow& row, const KmString& sValue);

// What a value of a row of numbers (kCount, kNumber, kLevel) holds, by
// ReadRowNumber.
enum class RowNumber {
  kInClass,       // a number of the row's class (whole for kCount)
  kNotWhole,      // a number, but not a whole one, for kCount
  kBeyondDouble,  // a number no double holds ("1e999", "1e-999")
  kNoNumber       // no number ("3x", "", "0x10")
};
// Reads sValue (already trimmed) by ReadNumber for row: its kind, and its
// value in dValue (0 unless a number a double holds). The range is not
// checked.
RowNumber ReadRowNumber(const OptionRow& row, const char* sValue,
                        double& dValue);

// The values row takes, for a message: "0 (a) or 1 (b)" for words, "0
// (false) or 1 (true)", "a level above 0 and below 1", "1 to 100000", "a
// number from 0" or "a finite number".
KmString OptionValuesText(const OptionRow& row);

// The values a file may write for row, for a message: OptionValuesText, and
// for a row of numbers its special words after it ("0 to 9, or -1"; a word
// that is no number in quotes: "0 to 1, or \"estimated\"").
KmString RowValuesText(const OptionRow& row);

// What the value sValue (already trimmed) of a row of numbers is, for the
// message of a value the row does not take: "not a number", "not a whole
// number" (kCount), "a number beyond those a double holds", or, for a number
// of the row's class outside its range, "the number <value>" in its
// shortest form ("-01" is "the number -1").
KmString RowNumberText(const OptionRow& row, const char* sValue);

// The position of sValue in the '|'-separated list sWords, or -1.
int32_t WordCode(const char* sWords, const KmString& sValue);
// The word at position iCode of sWords; "" for a position beyond the list.
KmString WordAt(const char* sWords, int32_t iCode);

// True when the lower-case key sKey is the key of row (or, for a prefix
// row, begins with it).
bool IsKeyOfRow(const OptionRow& row, const KmString& sKey);

// The row of a table whose option (member `option`) has the key sKey (lower
// case), or null.
template <typename Row>
const Row* FindRow(const Row* pRows, size_t iNumRows, const KmString& sKey) {
  for (size_t i = 0; i < iNumRows; ++i) {
    if (IsKeyOfRow(pRows[i].option, sKey)) return &pRows[i];
  }
  return nullptr;
}

// The words of sWords for a message: "\"a\", \"b\" or \"c\"".
KmString WordListText(const char* sWords);

// The keys vKeys for a message, as WordListText shows words; a key given
// before is shown once.
KmString KeyListText(const std::vector<std::string>& vKeys);

// The option of a table row: the row itself, or its member `option`.
inline const OptionRow& OptionOf(const OptionRow& row) { return row; }
template <typename Row>
const OptionRow& OptionOf(const Row& row) {
  return row.option;
}

// The keys of a table for a message (KeyListText): a prefix row shows as
// its key followed by "<n>" ("aapc start range<n>").
template <typename Row>
KmString TableKeysText(const Row* pRows, size_t iNumRows) {
  std::vector<std::string> vKeys;
  for (size_t i = 0; i < iNumRows; ++i) {
    const OptionRow& option = OptionOf(pRows[i]);
    vKeys.push_back(std::string(option.sKey) + (option.bPrefix ? "<n>" : ""));
  }
  return KeyListText(vKeys);
}

// True when sWords has a non-empty word at position dCode (a whole number):
// an empty word in a list marks a code that has no value.
bool IsWordCode(const char* sWords, double dCode);

// The codes of the non-empty words of sWords with their words, for a
// message: "0 (a), 1 (b) or 3 (d)".
KmString WordCodesText(const char* sWords);

#endif  // KM_SESSION_OPTIONROW_H
