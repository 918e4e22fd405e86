// A search index over the lines of a value-label format.
#ifndef KM_FOUNDATION_KMFORMATINDEX_H
#define KM_FOUNDATION_KMFORMATINDEX_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "foundation/KmFormatLine.h"

// KmFormatIndex answers the two look-ups of a format, value to first
// matching line and label to first equal label, in logarithmic time. It is
// built from the lines, the data type and the case flag of the format and
// gives exactly the line the scan of the lines in order would give.
//
// Every value and range of the lines becomes a closed span of positions in
// a total order: a value v stands at (v, 0), just above it is (v, +1) and
// just below it (v, -1), so an exclusive end becomes an inclusive one. The
// ends of all spans, sorted, cut the order into points and the gaps between
// them; each piece belongs to the first line whose span covers it.
class KmFormatIndex {
 public:
  // Text values ('A'), compared byte by byte or, without bCaseSensitive,
  // with 'A' to 'Z' folded to lower case.
  KmFormatIndex(const std::vector<KmFormatLine>& vLines, char cDataType,
                bool bCaseSensitive);

  char GetDataType() const { return cDataType_; }
  bool GetCaseSensitive() const { return bCaseSensitive_; }
  // The first line with any range, -1 when no line has one.
  int32_t GetFirstRangedLine() const { return lFirstRanged_; }

  // The first line holding the value, -1 when none does. A NaN lies in no
  // line.
  int32_t FindNumber(double dValue) const;
  int32_t FindText(const char* sValue) const;
  // The first line whose label equals sLabel, -1 when none does.
  int32_t FindLabel(const char* sLabel) const;

 private:
  // One position of the order: a number, or a text, and its side.
  struct Position {
    double dKey;
    std::string sKey;
    int iSide;
  };
  struct Span {
    Position low;
    Position high;
    int32_t lLine;
  };

  bool Less(const Position& a, const Position& b) const;
  // The text as it is compared: folded to lower case without the case flag.
  std::string Key(const char* sText) const;
  // The span of one range, false when the range holds no value this
  // format's type can match.
  bool SpanOf(const KmFormatRange& range, int32_t lLine, Span& span) const;
  // Sorts the ends of the spans and gives each piece its first line.
  void Build(const std::vector<Span>& vSpans);
  int32_t Find(const Position& value) const;

  char cDataType_;
  bool bCaseSensitive_;
  int32_t lFirstRanged_ = -1;
  // The sorted, distinct ends of the spans; piece 2i + 1 is point i, piece
  // 2i the gap below it and the last piece the gap above all.
  std::vector<Position> vPoints_;
  std::vector<int32_t> vPieceLine_;
  std::map<std::string, int32_t> mLabels_;
};

#endif  // KM_FOUNDATION_KMFORMATINDEX_H
