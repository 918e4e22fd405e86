// The typed face of the session's coded options: an option whose stored
// value is one of a few codes is read and written as its enum class, never
// as a bare number. Each enum names its option, and the words that name its
// codes in the option files, by a specialisation of kmCodedOption next to
// its declaration:
//
//   enum class kmErrorModel : int { kConstantVariance = 0, ... };
//   template <> struct kmCodedOption<kmErrorModel> {
//     static constexpr int kId = kmOptHetErrorModel;
//     static constexpr const char* kWords = "constant variance|...";
//   };
//
// and kmSession::Get<kmErrorModel>() reads it. The stored codes, and so
// every file layout, are the enumerators' values.
#ifndef KM_SESSION_KMOPTIONCODE_H
#define KM_SESSION_KMOPTIONCODE_H

#include <cstdint>

#include "foundation/KmString.h"
#include "session/OptionRow.h"

// The option identifier (kmOptionId) a coded enum is stored under, kId, and
// kWords: the '|'-separated words of its codes, each at the position of its
// code; an empty word marks a code that no file names by a word.
template <typename Code>
struct kmCodedOption;

// The word of code ("" for a code without one).
template <typename Code>
KmString kmCodeText(Code code) {
  return WordAt(kmCodedOption<Code>::kWords, static_cast<int32_t>(code));
}

// The code that sWord (lower case) names; false, leaving code, for a word
// that names none.
template <typename Code>
bool kmCodeFromText(const KmString& sWord, Code& code) {
  const int32_t iCode = WordCode(kmCodedOption<Code>::kWords, sWord);
  if (iCode < 0 || sWord.IsEmpty()) return false;
  code = static_cast<Code>(iCode);
  return true;
}

#endif  // KM_SESSION_KMOPTIONCODE_H
