#include "foundation/KmStringTokenizer.h"

#include <limits>
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

}  // namespace

KmStringTokenizer::KmStringTokenizer() : lCurrentIndex_(-1) {}

KmStringTokenizer::KmStringTokenizer(const char* sText, const char* sDelimiter)
    : sText_(sText), sDelimiter_(sDelimiter), lCurrentIndex_(-1) {}

KmStringTokenizer::~KmStringTokenizer() = default;

void KmStringTokenizer::SetString(const char* sText) {
  WithCallPath("SetString", kClassName, [&] { sText_ = sText; });
}

void KmStringTokenizer::SetDelimiter(const char* sDelimiter) {
  WithCallPath("SetDelimiter", kClassName, [&] { sDelimiter_ = sDelimiter; });
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
    KmString unused;
    return GetTokenInternal(unused, std::numeric_limits<int32_t>::max(), true);
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
    const std::string text(sText_.GetCString());
    const std::string delimiters(sDelimiter_.GetCString());
    const std::string markers(sMarkers_.GetCString());
    const size_t q = markers.size();
    const size_t d = delimiters.size();
    // kNone stands for "no such position".
    auto firstOf = [&text](const std::string& set, size_t lFrom) {
      return set.empty() ? kNone : text.find_first_of(set, lFrom);
    };

    int32_t k = -1;
    size_t lStart = 0;
    size_t lEnd = 0;
    bool bFirst = true;
    bool bFound = false;
    bool bOpenSection = false;
    for (;;) {
      ++k;
      lStart = bFirst ? 0 : lEnd + 1;
      bFirst = false;
      lEnd = firstOf(delimiters, lStart);
      bool bHadSection = false;
      if (!markers.empty() && lEnd != kNone) {
        const size_t lOpen = firstOf(markers, lStart);
        if (lOpen != kNone && lOpen < lEnd) {
          const size_t lClose = firstOf(markers, lOpen + q);
          if (lClose == kNone) {
            bOpenSection = true;
          } else {
            lEnd = lClose + q;
            bHadSection = true;
          }
        }
      }
      if (k == lIndex && lEnd != kNone && !bCountOnly) {
        out = TokenText(text, lStart, lEnd);
        bFound = true;
      }
      if (bHadSection) {
        // The byte right after a section is taken as its delimiter. When it
        // is stray text rather than a delimiter and exactly one more byte
        // stands before the next delimiter, that delimiter is skipped too.
        // When it is a real delimiter, nothing more is skipped: the field
        // after it is kept even when it is one byte long.
        const bool bDelimiterFollows =
            lEnd < text.size() && delimiters.find(text[lEnd]) != kNone;
        const size_t lNext = firstOf(delimiters, lEnd + 1);
        if (!bDelimiterFollows && lNext != kNone && lNext == lEnd + 2) {
          lEnd = lEnd + d + 1;
        }
        // A section that closes at the end of the text ends the last token;
        // scanning on would start past the end.
        if (lEnd >= text.size()) break;
      }
      if (lEnd == kNone || bFound || bOpenSection) break;
    }
    if (k == lIndex && !bCountOnly) {
      if (bOpenSection || !bFound) out = TokenText(text, lStart, kNone);
    }
    return k + 1;
  });
}
