// KmFormatIndex: building the pieces of the order and the look-ups.
#include "foundation/KmFormatIndex.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

namespace {

// 'A' to 'Z' to lower case, as the case-blind text comparison folds them.
char FoldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

KmFormatIndex::KmFormatIndex(const std::vector<KmFormatLine>& vLines,
                             char cDataType, bool bCaseSensitive)
    : cDataType_(cDataType), bCaseSensitive_(bCaseSensitive) {
  std::vector<Span> vSpans;
  for (size_t i = 0; i < vLines.size(); ++i) {
    const KmFormatLine& line = vLines[i];
    const int32_t lLine = static_cast<int32_t>(i);
    if (lFirstRanged_ < 0 && line.GetNumRanges() > 0) lFirstRanged_ = lLine;
    for (int32_t r = 0; r < line.GetNumRanges(); ++r) {
      Span span;
      if (SpanOf(line.GetRange(r), lLine, span)) vSpans.push_back(span);
    }
    mLabels_.emplace(Key(line.GetLabel().c_str()), lLine);
  }
  Build(vSpans);
}

bool KmFormatIndex::Less(const Position& a, const Position& b) const {
  if (cDataType_ == 'A') {
    const int iOrder = a.sKey.compare(b.sKey);
    if (iOrder != 0) return iOrder < 0;
  } else if (a.dKey != b.dKey) {
    return a.dKey < b.dKey;
  }
  return a.iSide < b.iSide;
}

std::string KmFormatIndex::Key(const char* sText) const {
  std::string sKey(sText);
  if (!bCaseSensitive_) {
    for (char& c : sKey) c = FoldCase(c);
  }
  return sKey;
}

bool KmFormatIndex::SpanOf(const KmFormatRange& range, int32_t lLine,
                           Span& span) const {
  span.lLine = lLine;
  if (cDataType_ == 'A') {
    if (range.GetLowText() == nullptr) return false;
    span.low = {0.0, Key(range.GetLowText()), 0};
    span.high = {0.0, Key(range.GetHighText()), 0};
  } else {
    double dLow = 0.0;
    double dHigh = 0.0;
    if (!range.GetNumericBounds(dLow, dHigh)) return false;
    span.low = {dLow, std::string(), 0};
    span.high = {dHigh, std::string(), 0};
  }
  switch (range.GetKind()) {
    case 0:
      span.high = span.low;
      break;
    case 1:
      break;
    case 2:
      span.high.iSide = -1;
      break;
    case 3:
      span.low.iSide = 1;
      break;
    case 4:
      span.low.iSide = 1;
      span.high.iSide = -1;
      break;
    default:
      return false;
  }
  // A NaN bound holds nothing, nor does a span whose ends cross.
  if (std::isnan(span.low.dKey) || std::isnan(span.high.dKey)) return false;
  return !Less(span.high, span.low);
}

void KmFormatIndex::Build(const std::vector<Span>& vSpans) {
  for (const Span& span : vSpans) {
    vPoints_.push_back(span.low);
    vPoints_.push_back(span.high);
  }
  auto less = [this](const Position& a, const Position& b) {
    return Less(a, b);
  };
  std::sort(vPoints_.begin(), vPoints_.end(), less);
  vPoints_.erase(std::unique(vPoints_.begin(), vPoints_.end(),
                             [&](const Position& a, const Position& b) {
                               return !less(a, b) && !less(b, a);
                             }),
                 vPoints_.end());
  const size_t uPieces = 2 * vPoints_.size() + 1;
  vPieceLine_.assign(uPieces, -1);
  // The spans come in line order, so the first to reach a piece owns it;
  // vNext skips the pieces already owned.
  std::vector<size_t> vNext(uPieces + 1);
  std::iota(vNext.begin(), vNext.end(), 0);
  auto nextFree = [&vNext](size_t p) {
    size_t q = p;
    while (vNext[q] != q) q = vNext[q];
    while (vNext[p] != q) p = std::exchange(vNext[p], q);
    return q;
  };
  auto indexOf = [&](const Position& position) {
    return static_cast<size_t>(
        std::lower_bound(vPoints_.begin(), vPoints_.end(), position, less) -
        vPoints_.begin());
  };
  for (const Span& span : vSpans) {
    const size_t uLast = 2 * indexOf(span.high) + 1;
    for (size_t p = nextFree(2 * indexOf(span.low) + 1); p <= uLast;
         p = nextFree(p + 1)) {
      vPieceLine_[p] = span.lLine;
      vNext[p] = p + 1;
    }
  }
}

int32_t KmFormatIndex::Find(const Position& value) const {
  auto less = [this](const Position& a, const Position& b) {
    return Less(a, b);
  };
  const size_t u = static_cast<size_t>(
      std::upper_bound(vPoints_.begin(), vPoints_.end(), value, less) -
      vPoints_.begin());
  if (u > 0 && !Less(vPoints_[u - 1], value)) return vPieceLine_[2 * u - 1];
  return vPieceLine_[2 * u];
}

int32_t KmFormatIndex::FindNumber(double dValue) const {
  if (cDataType_ == 'A' || std::isnan(dValue)) return -1;
  return Find({dValue, std::string(), 0});
}

int32_t KmFormatIndex::FindText(const char* sValue) const {
  if (cDataType_ != 'A') return -1;
  return Find({0.0, Key(sValue), 0});
}

int32_t KmFormatIndex::FindLabel(const char* sLabel) const {
  const auto it = mLabels_.find(Key(sLabel));
  return it == mLabels_.end() ? -1 : it->second;
}
