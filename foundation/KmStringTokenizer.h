// Splitting one line of text into tokens at delimiter characters.
#ifndef KM_FOUNDATION_KMSTRINGTOKENIZER_H
#define KM_FOUNDATION_KMSTRINGTOKENIZER_H

#include <cstdint>
#include <vector>

#include "foundation/KmString.h"

// KmStringTokenizer splits a line at delimiter characters: every byte of the
// delimiter text is a delimiter on its own. Optionally, a set of marker
// characters (the double quote in practice) quotes fields, as delimited
// files do (RFC 4180).
//
// Tokens lose their leading spaces (0x20) but keep trailing ones; a quoted
// token keeps its quotes. A text without delimiters is one token, the empty
// text one empty token; a delimiter at the end gives an empty last token and
// two adjacent delimiters an empty token.
//
// With markers, a field whose text (after blanks, bytes 0x01 to 0x20 that
// are no delimiter) begins with a marker is quoted: delimiters do not split
// it up to the marker that closes it, a marker written twice ("" in a
// quoted field) standing for the character itself, and it ends at the next
// delimiter. Its misplaced quotes are faults (GetQuoteFault), of which the
// first is kept: a marker inside a field that does not begin with one
// (which does not quote), a quote that nothing closes (the field then runs
// to the end of the text: a field in quotes cannot hold a line break), and
// text other than blanks between the closing quote and the delimiter (which
// stays in the token).
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

  // The first misplaced quote of the text (see above).
  struct QuoteFault {
    enum Kind {
      kNoFault,
      kInUnquotedField,        // a quote in a field not opened by one
      kNotClosed,              // an opening quote that nothing closes
      kTextAfterClosingQuote,  // text between a closing quote and the
                               // delimiter
    };
    Kind eKind = kNoFault;
    int32_t lField = -1;   // the field, 0-based
    size_t lPosition = 0;  // the quote (or the stray text), 0-based byte
  };
  // The first fault of the text; eKind kNoFault when there is none.
  const QuoteFault& GetQuoteFault();
  // What is wrong with fault, found in the field sField (its token), and how
  // a quote is written, for a message that names the line and the column
  // before it: "the double quote at character 3 of the line ...". "" for no
  // fault.
  static KmString QuoteFaultText(const KmString& sField,
                                 const QuoteFault& fault);

  // The fields of one data record: sLine split at the bytes of sDelimiter,
  // quoted fields not split (the quotes stay), the tokens as GetToken gives
  // them; *pFault, when given, receives the first misplaced quote. Every
  // reader of data-file fields splits this way, so that a quoted value
  // holding the delimiter ("North, coast" in a comma file) moves no later
  // column.
  static void SplitRecord(const KmString& sLine, const KmString& sDelimiter,
                          std::vector<KmString>& vTokens,
                          QuoteFault* pFault = nullptr);

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
  QuoteFault quoteFault_;
  bool bTokenized_ = false;

  // Splits the text into vTokens_ unless that is already done.
  void Tokenize();
};

#endif  // KM_FOUNDATION_KMSTRINGTOKENIZER_H
