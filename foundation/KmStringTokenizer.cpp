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

void KmStringTokenizer::SplitRecord(const KmString& sLine,
                                    const KmString& sDelimiter,
                                    std::vector<KmString>& vTokens) {
  KmStringTokenizer tokenizer;
  tokenizer.SetDelimiter(sDelimiter.GetCString());
  tokenizer.ParseStringWithIgnoredSections(sLine.GetCString(), "\"");
  tokenizer.Tokenize();
  vTokens = tokenizer.vTokens_;
}

void KmStringTokenizer::Tokenize() {
  if (bTokenized_) return;
  vTokens_.clear();
  const std::string text(sText_.GetCString());
  const std::string delimiters(sDelimiter_.GetCString());
  const std::string markers(sMarkers_.GetCString());
  const size_t q = markers.size();
  const size_t d = delimiters.size();
  NextOf nextDelimiter(text, delimiters);
  NextOf nextMarker(text, markers);
  auto isDelimiter = [&](size_t lPos) {
    return lPos < text.size() && delimiters.find(text[lPos]) != kNone;
  };

  size_t lEnd = 0;
  for (bool bFirst = true;; bFirst = false) {
    const size_t lStart = bFirst ? 0 : lEnd + 1;
    lEnd = nextDelimiter.From(lStart);
    bool bHadSection = false;
    bool bOpenSection = false;
    if (!markers.empty() && lEnd != kNone) {
      const size_t lOpen = nextMarker.From(lStart);
      if (lOpen != kNone && lOpen < lEnd) {
        size_t lClose = nextMarker.From(lOpen + q);
        // A marker written twice inside a section ("" in a quoted field)
        // stands for the character itself and does not close the section.
        while (lClose != kNone && lClose + 1 < text.size() &&
               text[lClose + 1] == text[lClose]) {
          lClose = nextMarker.From(lClose + 2);
        }
        if (lClose == kNone) {
          bOpenSection = true;
        } else {
          lEnd = lClose + q;
          bHadSection = true;
        }
      }
    }
    // The last token, and one in an unterminated section, runs to the end
    // of the text.
    const bool bToEnd = bOpenSection || lEnd == kNone;
    vTokens_.push_back(TokenText(text, lStart, bToEnd ? kNone : lEnd));
    if (bHadSection) {
      // The byte right after a section is taken as its delimiter. When it
      // is stray text rather than a delimiter and exactly one more byte
      // stands before the next delimiter, that delimiter is skipped too.
      // When it is a real delimiter, nothing more is skipped: the field
      // after it is kept even when it is one byte long.
      if (!isDelimiter(lEnd) && lEnd + 1 < text.size() &&
          !isDelimiter(lEnd + 1) && isDelimiter(lEnd + 2)) {
        lEnd = lEnd + d + 1;
      }
      // A section that closes at the end of the text ends the last token;
      // scanning on would start past the end.
      if (lEnd >= text.size()) break;
    }
    if (bToEnd) break;
  }
  bTokenized_ = true;
}
