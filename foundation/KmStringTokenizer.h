// Splitting one line of text into tokens at delimiter characters.
#ifndef KM_FOUNDATION_KMSTRINGTOKENIZER_H
#define KM_FOUNDATION_KMSTRINGTOKENIZER_H

#include <cstdint>
#include <vector>

#include "foundation/KmString.h"

// KmStringTokenizer splits a line at delimiter characters: every byte of the
// delimiter text is a delimiter on its own. Optionally, a set of marker
// characters (the double quote in practice) opens and closes sections in
// which delimiters do not split.
//
// Tokens lose their leading spaces (0x20) but keep trailing ones; a quoted
// token keeps its quotes. A text without delimiters is one token, the empty
// text one empty token; a delimiter at the end gives an empty last token and
// two adjacent delimiters an empty token. After a quoted section the token
// ends at the section's end and the byte right after it is skipped as if it
// were the delimiter. Inside a section a marker written twice ("" in a
// quoted field) does not close it. An unterminated section runs to the end
// of the text.
// A quoted section that closes at the end of the text is the last token.
//
// The text is split once, on the first request after it (or the delimiters)
// was set, in time linear in its length; every request then answers from
// the tokens kept.
class KmStringTokenizer {
 public:
  // Empty text, delimiters and markers.
  KmStringTokenizer();
  // Splits sText (null gives "") at the bytes of sDelimiter.
  KmStringTokenizer(const char* sText, const char* sDelimiter);
  virtual ~KmStringTokenizer();

  // Replaces the text; the position of GetNextToken is not reset.
  void SetString(const char* sText);
  // Replaces the set of delimiter characters.
  void SetDelimiter(const char* sDelimiter);
  // Sets the marker characters of the sections in which delimiters do not
  // split (empty: no sections), then the text.
  void ParseStringWithIgnoredSections(const char* sText, const char* sMarkers);

  // The number of tokens (at least 1).
  int32_t GetNumTokens();
  // out receives token lIndex (0-based), or "" when there is no such token.
  // Returns out.
  KmString& GetToken(KmString& out, int32_t lIndex);
  // Advances to the next token and gives it as GetToken does. Returns out.
  KmString& GetNextToken(KmString& out);
  // True while GetNextToken has tokens left to give.
  bool HasMoreTokens();

  // The fields of one data record: sLine split at the bytes of sDelimiter,
  // double-quoted sections not split (the quotes stay), the tokens as
  // GetToken gives them. Every reader of data-file fields splits this way,
  // so that a quoted value holding the delimiter ("North, coast" in a
  // comma file) moves no later column.
  static void SplitRecord(const KmString& sLine, const KmString& sDelimiter,
                          std::vector<KmString>& vTokens);

  // Writes token lIndex to out unless bCountOnly, and returns the number of
  // tokens up to and including lIndex when it exists and bCountOnly is
  // false, or else all of them.
  int32_t GetTokenInternal(KmString& out, int32_t lIndex, bool bCountOnly);

 private:
  KmString sText_;
  KmString sDelimiter_;
  int32_t lCurrentIndex_;
  KmString sMarkers_;
  // The tokens of the text, valid while bTokenized_.
  std::vector<KmString> vTokens_;
  bool bTokenized_ = false;

  // Splits the text into vTokens_ unless that is already done.
  void Tokenize();
};

#endif  // KM_FOUNDATION_KMSTRINGTOKENIZER_H
