#include "session/kmJumpCRMode.h"

#include "session/internal/CodeTable.h"

namespace {

const char* const kJumpCRModeTexts[] = {"Disable",
                                        "Jump Model",
                                        "Comparability Ratio",
                                        "Jump & Comparability",
                                        "Jump & Standard",
                                        "Comparability & Standard",
                                        "Jump, Comparability, and Standard"};

}  // namespace

const char* kmJumpCRModeText(kmJumpCRMode mode) {
  return CodeTableText(kJumpCRModeTexts, mode);
}
