// The to-text and from-text of a coded option whose codes 0 to N-1 index a
// table of texts: one lookup and one search that every such enum's text
// functions share.
#ifndef KM_SESSION_INTERNAL_CODETABLE_H
#define KM_SESSION_INTERNAL_CODETABLE_H

#include <cstddef>
#include <cstring>

// The text of code in sTexts, indexed by the codes; nullptr for a code
// outside the table.
template <typename Code, std::size_t N>
const char* CodeTableText(const char* const (&sTexts)[N], Code code) {
  const int i = static_cast<int>(code);
  return i >= 0 && i < static_cast<int>(N) ? sTexts[i] : nullptr;
}

// Sets code to the code whose text in sTexts is sText and returns true;
// returns false, leaving code, when no text matches exactly.
template <typename Code, std::size_t N>
bool CodeTableFind(const char* const (&sTexts)[N], const char* sText,
                   Code& code) {
  for (std::size_t i = 0; i < N; ++i) {
    if (sText != nullptr && std::strcmp(sTexts[i], sText) == 0) {
      code = static_cast<Code>(i);
      return true;
    }
  }
  return false;
}

#endif  // KM_SESSION_INTERNAL_CODETABLE_H
