// A table of option keys with the values each accepts and refuses, checked
// against one line validator of an options file.
#pragma once

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "foundation/KmString.h"

namespace option_table {

// One key with values it accepts and values it refuses (outside its words,
// its class or its range).
struct OptionCase {
  const char* sKey;
  std::vector<const char*> valid;
  std::vector<const char*> invalid;
  bool bSwitch = false;  // a yes/no key, whose refusal is the same in
                         // every file
};

// Checks one option line: the verdict, the messages added to sMessages.
using LineValidator = bool (*)(KmString sKey, KmString sValue,
                               KmString& sMessages);

// Expects every valid value accepted without a message, and every invalid
// one refused with "\"<value>\" is not a valid value for the \"<key>\"
// <sKind>.\n" (sKind: "Session Option", "Export Option"), where a key of
// numbers says what the value is (" (...)") and a key lists the values it
// takes before the full stop ("; use ..."); a switch with
// "\"<value>\" is not a yes or no for \"<key>\"; write yes (...) ...".
template <class Cases>
void ExpectOptionTable(LineValidator isValid, const char* sKind,
                       const Cases& cases) {
  for (const OptionCase& c : cases) {
    for (const char* sValue : c.valid) {
      SCOPED_TRACE(std::string(c.sKey) + " = " + sValue);
      KmString sMessages;
      EXPECT_TRUE(isValid(c.sKey, sValue, sMessages));
      EXPECT_EQ(std::regex_replace(sMessages.GetCString(),
                                   std::regex("; use [^\n]*\\.\n$"), ".\n"),
                "");
    }
    for (const char* sValue : c.invalid) {
      SCOPED_TRACE(std::string(c.sKey) + " = " + sValue);
      KmString sMessages;
      EXPECT_FALSE(isValid(c.sKey, sValue, sMessages));
      if (c.bSwitch) {
        EXPECT_EQ(std::string(sMessages.GetCString()),
                  std::string("\"") + sValue + "\" is not a yes or no for \"" +
                      c.sKey +
                      "\"; write yes (\"yes\", \"true\" or the number 1) or "
                      "no (\"no\", \"false\" or the number 0), in any case.\n");
        continue;
      }
      EXPECT_EQ(std::regex_replace(sMessages.GetCString(),
                                   std::regex("( \\([^()\n]*\\))?; use "
                                              "[^\n]*\\.\n$"),
                                   ".\n"),
                std::string("\"") + sValue +
                    "\" is not a valid value for the \"" + c.sKey + "\" " +
                    sKind + ".\n");
    }
  }
}

}  // namespace option_table
