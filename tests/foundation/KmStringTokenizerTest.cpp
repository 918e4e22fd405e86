#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/KmStringTokenizer.h"

namespace {

std::vector<std::string> AllTokens(KmStringTokenizer& tokenizer) {
  std::vector<std::string> tokens;
  const int32_t n = tokenizer.GetNumTokens();
  KmString token;
  for (int32_t i = 0; i < n; ++i) {
    tokens.push_back(tokenizer.GetToken(token, i).GetCString());
  }
  return tokens;
}

// The first misplaced quote as "<kind> <field> <position>"; "" for none.
std::string FaultText(KmStringTokenizer& tokenizer) {
  const KmStringTokenizer::QuoteFault& fault = tokenizer.GetQuoteFault();
  const char* const kKinds[] = {"", "unquoted", "open", "after"};
  if (fault.eKind == KmStringTokenizer::QuoteFault::kNoFault) return "";
  return std::string(kKinds[fault.eKind]) + " " + std::to_string(fault.lField) +
         " " + std::to_string(fault.lPosition);
}

TEST(KmStringTokenizer, SplitsAtDelimiters) {
  struct Case {
    const char* sText;
    const char* sDelimiter;
    const char* sMarkers;  // null: plain tokenizer
    std::vector<std::string> tokens;
    const char* sFault = "";  // as FaultText gives it
  };
  const Case cases[] = {
      {"a,b,c", ",", nullptr, {"a", "b", "c"}},
      {"a,,c", ",", nullptr, {"a", "", "c"}},
      {"a,b,", ",", nullptr, {"a", "b", ""}},
      {"", ",", nullptr, {""}},
      {"abc", ",", nullptr, {"abc"}},
      {" a, b", ",", nullptr, {"a", "b"}},
      {"a ,b", ",", nullptr, {"a ", "b"}},
      {"a\tb c", "\t ", nullptr, {"a", "b", "c"}},
      {"a;b", "", nullptr, {"a;b"}},
      {"\"x,y\",z", ",", "\"", {"\"x,y\"", "z"}},
      {"\"x,y\"q,z", ",", "\"", {"\"x,y\"q", "z"}, "after 0 5"},
      {"\"x,y\"qq,z", ",", "\"", {"\"x,y\"qq", "z"}, "after 0 5"},
      {"a,\"b,c", ",", "\"", {"a", "\"b,c"}, "open 1 2"},
      {"\"x,y\",z", ",", nullptr, {"\"x", "y\"", "z"}},
      {"\"xy\",z", ",", "\"", {"\"xy\"", "z"}},
      // Blanks around a quoted field are no text of it.
      {" \"a,b\" ,c", ",", "\"", {"\"a,b\" ", "c"}},
      // Quotes out of place: the field as written, and the first fault.
      {"1,No\"rth,2", ",", "\"", {"1", "No\"rth", "2"}, "unquoted 1 4"},
      {"1\t2\"", "\t", "\"", {"1", "2\""}, "unquoted 1 3"},
      {"\"North;2", ";", "\"", {"\"North;2"}, "open 0 0"},
      {"1 \"No\"rth\" 2", " ", "\"", {"1", "\"No\"rth\"", "2"}, "after 1 6"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("text [") + c.sText + "]");
    KmStringTokenizer tokenizer(c.sText, c.sDelimiter);
    if (c.sMarkers != nullptr) {
      tokenizer.ParseStringWithIgnoredSections(c.sText, c.sMarkers);
    }
    EXPECT_EQ(tokenizer.GetNumTokens(), static_cast<int32_t>(c.tokens.size()));
    EXPECT_EQ(AllTokens(tokenizer), c.tokens);
    EXPECT_EQ(FaultText(tokenizer), c.sFault);
  }
}

TEST(KmStringTokenizer, QuotedFieldClosingTheLineIsTheLastToken) {
  // Fault: a quoted field holding a delimiter at the very end of the line
  // made the scan start past the end of the text, which failed instead of
  // giving the field as the last token.
  for (const char* sText : {"a,\"x,y\"", "\"x,y\""}) {
    SCOPED_TRACE(sText);
    KmStringTokenizer tokenizer;
    tokenizer.SetDelimiter(",");
    tokenizer.ParseStringWithIgnoredSections(sText, "\"");
    const std::vector<std::string> tokens = AllTokens(tokenizer);
    ASSERT_FALSE(tokens.empty());
    EXPECT_EQ(tokens.back(), "\"x,y\"");
    KmString past("junk");
    EXPECT_STREQ(tokenizer.GetToken(past, 5).GetCString(), "");
  }
}

TEST(KmStringTokenizer, OneByteFieldAfterQuotedFieldIsKept) {
  // Fault: after a quoted field, a following field of exactly one byte was
  // skipped together with its delimiter, so "\"x,y\",1,2" lost the 1.
  struct Case {
    const char* sText;
    std::vector<std::string> tokens;
  };
  const Case cases[] = {
      {"\"x,y\",1,2", {"\"x,y\"", "1", "2"}},
      {"a,\"b,c\",d,e", {"a", "\"b,c\"", "d", "e"}},
      {"\"x,y\",12,3", {"\"x,y\"", "12", "3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sText);
    KmStringTokenizer tokenizer("", ",");
    tokenizer.ParseStringWithIgnoredSections(c.sText, "\"");
    EXPECT_EQ(AllTokens(tokenizer), c.tokens);
  }
}

TEST(KmStringTokenizer, IteratesWithGetNextToken) {
  KmStringTokenizer tokenizer("a,b,c", ",");
  KmString token;
  std::string joined;
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(tokenizer.HasMoreTokens());
    joined += tokenizer.GetNextToken(token).GetCString();
  }
  EXPECT_EQ(joined, "abc");
  EXPECT_FALSE(tokenizer.HasMoreTokens());
  EXPECT_STREQ(tokenizer.GetNextToken(token).GetCString(), "");
  EXPECT_STREQ(tokenizer.GetToken(token, 3).GetCString(), "");
  EXPECT_STREQ(tokenizer.GetToken(token, -1).GetCString(), "");
}

TEST(KmStringTokenizer, SetStringKeepsThePosition) {
  KmStringTokenizer tokenizer("a,b,c", ",");
  KmString token;
  tokenizer.GetNextToken(token);
  tokenizer.SetString("x,y,z");
  EXPECT_STREQ(tokenizer.GetNextToken(token).GetCString(), "y");
  tokenizer.SetDelimiter(";");
  EXPECT_EQ(tokenizer.GetNumTokens(), 1);
}

}  // namespace
