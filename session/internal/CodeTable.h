// The to-text of a coded option whose codes 0 to N-1 index a table of
// texts: one lookup that every such enum's text function shares.
#ifndef KM_SESSION_INTERNAL_CODETABLE_H
#define KM_SESSION_INTERNAL_CODETABLE_H

#include <cstddef>

// The text of code in sTexts, indexed by the codes; nullptr for a code
// outside the table.
template <typename Code, std::size_t N>
const char* CodeTableText(const char* const (&sTexts)[N], Code code) {
  const int i = static_cast<int>(code);
  return i >= 0 && i < static_cast<int>(N) ? sTexts[i] : nullptr;
}

#endif  // KM_SESSION_INTERNAL_CODETABLE_H
