#include <gtest/gtest.h>

#include <string>

#include "foundation/KmShownText.h"

namespace {

// Each text as a message (ShownMessage) and as a name (ShownName) shows it.
// Fault: a message printed a quoted text's bytes as they were, so an escape
// sequence in a data value or a process name cleared the user's screen or
// hid the rest of the message.
TEST(KmShownText, ShowsWhatATerminalWouldObey) {
  const struct {
    const char* sText;
    const char* sMessage;
    const char* sName;
  } cases[] = {
      {"x \x1B[2J EVIL", "x \\x1B[2J EVIL", "x \\x1B[2J EVIL"},
      {"\x1B]0;title\a", "\\x1B]0;title\\a", "\\x1B]0;title\\a"},
      {"\r\b\v\f\x01\x1F\x7F", "\\r\\b\\v\\f\\x01\\x1F\\x7F",
       "\\r\\b\\v\\f\\x01\\x1F\\x7F"},
      // A message keeps its own lines and tabs; a name stays on its line.
      {"a\nb\tc", "a\nb\tc", "a\\nb\\tc"},
      // A message's own CR LF (a call path's) ends its line as LF alone.
      // Fault: the error file showed each call path line ending in "\r".
      {"a\r\nb\r", "a\nb\\r", "a\\r\\nb\\r"},
      // C1 controls: a lone byte (an 8-bit terminal's CSI) and U+009B.
      {"\x9B"
       "2J",
       "\\x9B"
       "2J",
       "\\x9B"
       "2J"},
      {"\xC2\x9B\xC2\x80", "\\xC2\\x9B\\xC2\\x80", "\\xC2\\x9B\\xC2\\x80"},
      // Direction overrides, isolates and marks.
      {"\xE2\x80\xAE\xE2\x81\xA6\xE2\x80\x8F\xD8\x9C",
       "\\xE2\\x80\\xAE\\xE2\\x81\\xA6\\xE2\\x80\\x8F\\xD8\\x9C",
       "\\xE2\\x80\\xAE\\xE2\\x81\\xA6\\xE2\\x80\\x8F\\xD8\\x9C"},
      // Text is kept: accented UTF-8, a no-break space, a character of four
      // bytes, a Latin-1 byte; a byte that ends no character is escaped
      // only where an 8-bit terminal obeys it.
      {"Z\xC3\xBCrich \xC2\xA0\xF0\x9F\x98\x80 \xE9t\xE9",
       "Z\xC3\xBCrich \xC2\xA0\xF0\x9F\x98\x80 \xE9t\xE9",
       "Z\xC3\xBCrich \xC2\xA0\xF0\x9F\x98\x80 \xE9t\xE9"},
      {"\xE2\x80 \xC0\x80", "\xE2\\x80 \xC0\\x80", "\xE2\\x80 \xC0\\x80"},
      // A backslash stays, but in a name where it would read as an escape.
      {"C:\\data\\x0a\\\\", "C:\\data\\x0a\\\\", "C:\\data\\\\x0a\\\\\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sText);
    EXPECT_EQ(std::string(ShownMessage(c.sText).GetCString()), c.sMessage);
    EXPECT_EQ(std::string(ShownName(c.sText).GetCString()), c.sName);
    // What is shown is shown again as it is.
    EXPECT_EQ(std::string(ShownMessage(c.sName).GetCString()), c.sName);
  }
}

}  // namespace
