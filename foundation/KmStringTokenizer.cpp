#include "foundation/KmStringTokenizer.h"

#include <string>

#include "foundation/KmCallPath.h"

namespace {

const char kClassName[] = "KmStringTokenizer";
constexpr size_t kNone = std::string::npos;

// The bytes from lStart (to lEnd, or to the end of the text when lEnd is
// kNone) with their leading spaces removed. A start past the end gives "".
std::string TokenText(const std::string& text, size_t lStart, size_t lEnd) {
  if (lStart >= text.size()) return std::string();
  const std::string part =
      lEnd == kNone ? text.substr(lStart) : text.substr(lStart, lEnd - lStart);
  return ZdDeblankSpaces(part.c_str(), true, false);
}

// The first byte of a set at or after a position. The last answer is kept:
// while the positions asked for move forward, as they do in one scan, every
// byte of the text is searched once, so a scan stays linear in the length
// of the text however many tokens it holds.
class NextOf {
 public:
  NextOf(const std::string& text, const std::string& set)
      : text_(text), set_(set) {}

  size_t From(size_t lPos) {
    if (set_.empty()) return kNone;
    const bool bKnown =
        bValid_ && lFrom_ <= lPos && (lFound_ == kNone || lFound_ >= lPos);
    if (!bKnown) {
      lFrom_ = lPos;
      lFound_ = text_.find_first_of(set_, lPos);
      bValid_ = true;
    }
    return lFound_;
  }

 private:
  const std::string& text_;
  const std::string& set_;
  bool bValid_ = false;
  size_t lFrom_ = 0;
  size_t lFound_ = kNone;
};

using QuoteFault = KmStringTokenizer::QuoteFault;

// The scan of one field of a text split with quote markers.
struct FieldScan {
  int32_t lField;  // 0-based
  NextOf& nextDelimiter;
  NextOf& nextMarker;
  QuoteFault& fault;  // the first fault of the text
};

void NoteFault(const FieldScan& scan, QuoteFault::Kind eKind,
               size_t lPosition) {
  if (scan.fault.eKind != QuoteFault::kNoFault) return;
  scan.fault.eKind = eKind;
  scan.fault.lField = scan.lField;
  scan.fault.lPosition = lPosition;
}

bool IsBlank(char c) {
  return c != '\0' && static_cast<unsigned char>(c) <= 0x20;
}

// The first byte at or after lStart that is no blank (byte 0x01 to 0x20
// other than a delimiter): where a field's own text begins.
size_t FirstNonBlank(const std::string& text, size_t lStart,
                     const std::string& delimiters) {
  size_t p = lStart;
  while (p < text.size() && IsBlank(text[p]) &&
         delimiters.find(text[p]) == kNone) {
    ++p;
  }
  return p;
}

// The end (its delimiter, or kNone at the end of the text) of a field that
// opens with the quote at lOpen. The field runs to the quote that closes
// it, a quote written twice standing for one quote, then to the next
// delimiter; only blanks may stand between the two. A quote that no quote
// closes runs the field to the end of the text.
size_t QuotedFieldEnd(const std::string& text, size_t lOpen,
                      const FieldScan& scan) {
  size_t lClose = scan.nextMarker.From(lOpen + 1);
  while (lClose != kNone && lClose + 1 < text.size() &&
         text[lClose + 1] == text[lClose]) {
    lClose = scan.nextMarker.From(lClose + 2);
  }
  if (lClose == kNone) {
    NoteFault(scan, QuoteFault::kNotClosed, lOpen);
    return kNone;
  }
  const size_t lEnd = scan.nextDelimiter.From(lClose + 1);
  const size_t lStop = lEnd == kNone ? text.size() : lEnd;
  for (size_t p = lClose + 1; p < lStop; ++p) {
    if (!IsBlank(text[p])) {
      NoteFault(scan, QuoteFault::kTextAfterClosingQuote, p);
      break;
    }
  }
  return lEnd;
}

// The end of a field that does not open with a quote: its delimiter, or
// kNone at the end of the text. A quote inside it is a fault.
size_t PlainFieldEnd(size_t lStart, const FieldScan& scan) {
  const size_t lEnd = scan.nextDelimiter.From(lStart);
  const size_t lQuote = scan.nextMarker.From(lStart);
  if (lQuote != kNone && (lEnd == kNone || lQuote < lEnd)) {
    NoteFault(scan, QuoteFault::kInUnquotedField, lQuote);
  }
  return lEnd;
}

}  // namespace

KmStringTokenizer::KmStringTokenizer() : lCurrentIndex_(-1) {}

KmStringTokenizer::KmStringTokenizer(const char* sText, const char* sDelimiter)
    : sText_(sText), sDelimiter_(sDelimiter), lCurrentIndex_(-1) {}

KmStringTokenizer::~KmStringTokenizer() = default;

void KmStringTokenizer::SetString(const char* sText) {
  WithCallPath("SetString", kClassName, [&] {
    sText_ = sText;
    bTokenized_ = false;
  });
}

void KmStringTokenizer::SetDelimiter(const char* sDelimiter) {
  WithCallPath("SetDelimiter", kClassName, [&] {
    sDelimiter_ = sDelimiter;
    bTokenized_ = false;
  });
}

void KmStringTokenizer::ParseStringWithIgnoredSections(const char* sText,
                                                       const char* sMarkers) {
  WithCallPath("ParseStringWithIgnoredSections", kClassName, [&] {
    sMarkers_ = sMarkers;
    SetString(sText);
  });
}

int32_t KmStringTokenizer::GetNumTokens() {
  return WithCallPath("GetNumTokens", kClassName, [&]() -> int32_t {
    Tokenize();
    return static_cast<int32_t>(vTokens_.size());
  });
}

KmString& KmStringTokenizer::GetToken(KmString& out, int32_t lIndex) {
  WithCallPath("GetToken", kClassName, [&] {
    out.Clear();
    if (lIndex >= 0) GetTokenInternal(out, lIndex, false);
  });
  return out;
}

KmString& KmStringTokenizer::GetNextToken(KmString& out) {
  WithCallPath("GetNextToken", kClassName, [&] {
    ++lCurrentIndex_;
    GetToken(out, lCurrentIndex_);
  });
  return out;
}

bool KmStringTokenizer::HasMoreTokens() {
  return WithCallPath("HasMoreTokens", kClassName, [&]() -> bool {
    return lCurrentIndex_ < GetNumTokens() - 1;
  });
}

int32_t KmStringTokenizer::GetTokenInternal(KmString& out, int32_t lIndex,
                                            bool bCountOnly) {
  return WithCallPath("GetTokenInternal", kClassName, [&]() -> int32_t {
    Tokenize();
    const int32_t n = static_cast<int32_t>(vTokens_.size());
    if (bCountOnly || lIndex < 0 || lIndex >= n) return n;
    out = vTokens_[static_cast<size_t>(lIndex)];
    return lIndex + 1;
  });
}

const KmStringTokenizer::QuoteFault& KmStringTokenizer::GetQuoteFault() {
  Tokenize();
  return quoteFault_;
}

KmString KmStringTokenizer::QuoteFaultText(const KmString& sField,
                                           const QuoteFault& fault) {
  KmString sText;
  const int iCharacter = static_cast<int>(fault.lPosition) + 1;
  KmString sTrimmed(sField);
  sTrimmed.Trim();
  switch (fault.eKind) {
    case QuoteFault::kNoFault:
      break;
    case QuoteFault::kInUnquotedField: {
      std::string sQuoted("\"");
      for (const char* p = sTrimmed.GetCString(); *p != '\0'; ++p) {
        sQuoted += *p;
        if (*p == '"') sQuoted += '"';
      }
      sQuoted += '"';
      sText << "the double quote at character " << iCharacter
            << " of the line stands inside the field " << sTrimmed
            << ", which does not begin with one.  A field that holds a "
               "double quote is enclosed in double quotes, each quote inside "
               "written twice ("
            << sQuoted.c_str() << ").";
      break;
    }
    case QuoteFault::kNotClosed:
      sText << "the double quote at character " << iCharacter
            << " of the line opens a field that no quote closes on the "
               "line.  A field in double quotes ends with its closing quote "
               "on the same line (it cannot hold a line break), and a quote "
               "inside it is written twice (\"\").";
      break;
    case QuoteFault::kTextAfterClosingQuote:
      sText << "the field " << sTrimmed
            << " has text after the double quote that closes it (character "
            << iCharacter
            << " of the line).  A field in double quotes ends at its closing "
               "quote, and a quote inside it is written twice (\"\").";
      break;
  }
  return sText;
}

void KmStringTokenizer::SplitRecord(const KmString& sLine,
                                    const KmString& sDelimiter,
                                    std::vector<KmString>& vTokens,
                                    QuoteFault* pFault) {
  KmStringTokenizer tokenizer;
  tokenizer.SetDelimiter(sDelimiter.GetCString());
  tokenizer.ParseStringWithIgnoredSections(sLine.GetCString(), "\"");
  tokenizer.Tokenize();
  vTokens = tokenizer.vTokens_;
  if (pFault != nullptr) *pFault = tokenizer.quoteFault_;
}

void KmStringTokenizer::Tokenize() {
  if (bTokenized_) return;
  vTokens_.clear();
  quoteFault_ = QuoteFault();
  const std::string text(sText_.GetCString());
  const std::string delimiters(sDelimiter_.GetCString());
  const std::string markers(sMarkers_.GetCString());
  NextOf nextDelimiter(text, delimiters);
  NextOf nextMarker(text, markers);
  for (size_t lStart = 0;; ++lStart) {
    const int32_t lField = static_cast<int32_t>(vTokens_.size());
    size_t lEnd = kNone;
    if (markers.empty()) {
      lEnd = nextDelimiter.From(lStart);
    } else {
      const size_t lFirst = FirstNonBlank(text, lStart, delimiters);
      const FieldScan scan{lField, nextDelimiter, nextMarker, quoteFault_};
      lEnd = lFirst < text.size() && markers.find(text[lFirst]) != kNone
                 ? QuotedFieldEnd(text, lFirst, scan)
                 : PlainFieldEnd(lStart, scan);
    }
    vTokens_.push_back(TokenText(text, lStart, lEnd));
    if (lEnd == kNone) break;
    lStart = lEnd;
  }
  bTokenized_ = true;
}
