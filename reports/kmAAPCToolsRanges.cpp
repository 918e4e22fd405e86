// kmAAPCTools: the labels and ranges of the AAPC settings
// (CreateAAPCRangeLabels, GetAAPCRanges, GetAAPCEndRange,
// GetAAPCCustomRanges), and the labels of stored AAPCs.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "foundation/KmCallPath.h"
#include "foundation/KmConvertValue.h"
#include "reports/kmAAPCRangeLabels.h"
#include "reports/kmAAPCTools.h"
#include "reports/kmExportLine.h"
#include "reports/kmTextReport.h"
#include "results/kmCalcHandler.h"
#include "session/kmAAPCRanges.h"
#include "session/kmSession.h"

namespace {

const char* const kClassName = "kmAAPCTools";
const char* const kFullRange = "Full Range";

// Two ends agree when they differ by no more than rounding of the same
// value computed two ways.
bool SameEnd(double a, double b) {
  return std::fabs(a - b) <=
         1e-9 * std::max(1.0, std::max(std::fabs(a), std::fabs(b)));
}

bool SameRange(const kmRange& a, const kmRange& b) {
  return SameEnd(a.dStart, b.dStart) && SameEnd(a.dEnd, b.dEnd);
}

KmString LastObsLabel(const char* sLength) {
  return KmString("Last ") << sLength << " Obs.";
}

KmString CustomLabel(double dStart, double dEnd, int32_t iPrecision) {
  const KmString sFormat = PrecisionFormat(iPrecision);
  static const KmString sNoText;
  KmString sStart, sEnd;
  kmTextReport::FormatTableValue(sStart, sFormat, sNoText, dStart);
  kmTextReport::FormatTableValue(sEnd, sFormat, sNoText, dEnd);
  return sStart << "-" << sEnd;
}

kmRange MakeRange(double dStart, double dEnd) {
  kmRange range;
  range.Set(dStart, dEnd);
  return range;
}

// The comma-separated tokens of sList.
std::vector<std::string> SplitAtCommas(const KmString& sList) {
  std::vector<std::string> vTokens;
  const std::string sText(sList.GetCString());
  size_t iStart = 0;
  for (;;) {
    const size_t iEnd = sText.find(',', iStart);
    vTokens.push_back(sText.substr(iStart, iEnd - iStart));
    if (iEnd == std::string::npos) break;
    iStart = iEnd + 1;
  }
  return vTokens;
}

// True when both values are among vX (one walk that stops once both are
// seen).
bool BothAmong(double dStart, double dEnd, const std::vector<double>& vX) {
  bool bStart = false, bEnd = false;
  for (const double x : vX) {
    bStart = bStart || SameEnd(x, dStart);
    bEnd = bEnd || SameEnd(x, dEnd);
    if (bStart && bEnd) return true;
  }
  return false;
}

}  // namespace

std::vector<kmAAPCRangeLabel> SessionAAPCRanges(const kmSession& session,
                                                const kmTable& model,
                                                int32_t iPrecision) {
  const kmAAPCRanges ranges = session.GetAAPCRanges();
  const std::vector<double> vX = model.GetObservationValues();
  const int32_t n = static_cast<int32_t>(vX.size());
  std::vector<kmAAPCRangeLabel> vOut;
  if (ranges.GetFullRange() && n > 0) {
    vOut.push_back({kFullRange, MakeRange(vX[0], vX[n - 1])});
  }
  for (const int32_t L : ranges.GetLastObsRanges()) {
    if (L < 1 || L > n) continue;
    vOut.push_back({LastObsLabel(std::to_string(L).c_str()),
                    MakeRange(vX[n - L], vX[n - 1])});
  }
  const std::vector<double> starts = ranges.GetStartRange();
  const std::vector<double> ends = ranges.GetEndRange();
  for (size_t i = 0; i < std::min(starts.size(), ends.size()); ++i) {
    vOut.push_back({CustomLabel(starts[i], ends[i], iPrecision),
                    MakeRange(starts[i], ends[i])});
  }
  return vOut;
}

KmString LabelOfRange(const std::vector<kmAAPCRangeLabel>& vSessionRanges,
                      int32_t k, const kmRange& range, int32_t iPrecision) {
  if (k >= 0 && k < static_cast<int32_t>(vSessionRanges.size()) &&
      SameRange(vSessionRanges[static_cast<size_t>(k)].range, range)) {
    return vSessionRanges[static_cast<size_t>(k)].sLabel;
  }
  for (const kmAAPCRangeLabel& candidate : vSessionRanges) {
    if (SameRange(candidate.range, range)) return candidate.sLabel;
  }
  return CustomLabel(range.dStart, range.dEnd, iPrecision);
}

void kmAAPCTools::CreateAAPCRangeLabels(const kmSession& session,
                                        KmVector<KmString>& vLabels,
                                        const kmTable& model,
                                        int32_t iPrecision) {
  WithCallPath("CreateAAPCRangeLabels()", kClassName, [&] {
    vLabels.clear();
    for (const kmAAPCRangeLabel& r :
         SessionAAPCRanges(session, model, iPrecision)) {
      vLabels.push_back(r.sLabel);
    }
  });
}

void kmAAPCTools::GetAAPCRanges(kmCalcHandler* pHandler,
                                KmVector<KmString>& vLabels,
                                KmVector<kmRange>& vRanges, int32_t iEntry,
                                int32_t iModel) {
  WithCallPath("GetAAPCRanges()", kClassName, [&] {
    vLabels.clear();
    vRanges.clear();
    if (pHandler == nullptr) {
      ThrowKmException("No results handler was given to the export writer.",
                       kClassName);
    }
    const std::vector<double> vX =
        pHandler->GetCalcData(iEntry).GetModel(iModel).GetObservationValues();
    const OutputDisplayOptions& display = pHandler->GetOutputDisplayOptions();
    if (display.GetBool(kmDispAAPCFullRange) && !vX.empty()) {
      vLabels.push_back(kFullRange);
      vRanges.push_back(MakeRange(vX.front(), vX.back()));
    }
    // Each list takes its tokens by bit: 0x40 the first, 0x80 the second,
    // 0x100 the third.
    auto takeTokens = [&](int32_t iOption, int32_t iText, int32_t nBits,
                          void (*add)(const KmString&, KmVector<kmRange>&,
                                      KmVector<KmString>&,
                                      const std::vector<double>&)) {
      const int32_t iBits = display.GetInt(iOption);
      KmString sList;
      display.GetString(iText, sList);
      const std::vector<std::string> vTokens = SplitAtCommas(sList);
      for (int32_t b = 0; b < nBits; ++b) {
        if ((iBits & (0x40 << b)) != 0 &&
            static_cast<int32_t>(vTokens.size()) > b) {
          add(vTokens[static_cast<size_t>(b)].c_str(), vRanges, vLabels, vX);
        }
      }
    };
    takeTokens(20, 0, 2, &kmAAPCTools::GetAAPCEndRange);
    takeTokens(22, 2, 3, &kmAAPCTools::GetAAPCCustomRanges);
  });
}

void kmAAPCTools::GetAAPCEndRange(const KmString& sToken,
                                  KmVector<kmRange>& vRanges,
                                  KmVector<KmString>& vLabels,
                                  const std::vector<double>& vX) {
  WithCallPath("GetAAPCEndRange()", kClassName, [&] {
    if (sToken.IsEmpty() ||
        !IsValidSignedIntegerText(sToken.GetCString(), true)) {
      return;
    }
    const long L = std::strtol(sToken.GetCString(), nullptr, 10);
    const long n = static_cast<long>(vX.size());
    if (L < 1 || L > n) return;
    vLabels.push_back(LastObsLabel(sToken.GetCString()));
    vRanges.push_back(MakeRange(vX[static_cast<size_t>(n - L)], vX.back()));
  });
}

void kmAAPCTools::GetAAPCCustomRanges(const KmString& sToken,
                                      KmVector<kmRange>& vRanges,
                                      KmVector<KmString>& vLabels,
                                      const std::vector<double>& vX) {
  WithCallPath("GetAAPCCustomRanges()", kClassName, [&] {
    const std::string sText(sToken.GetCString());
    const size_t q = sText.find('-');
    if (q == std::string::npos || q < 1 || q + 1 >= sText.size()) return;
    const std::string sStart = sText.substr(0, q);
    const std::string sEnd = sText.substr(q + 1);
    const double dStart = std::atof(sStart.c_str());
    const double dEnd = std::atof(sEnd.c_str());
    if (!BothAmong(dStart, dEnd, vX)) return;
    vLabels.push_back(KmString(sStart.c_str()) << "-" << sEnd.c_str());
    vRanges.push_back(MakeRange(dStart, dEnd));
  });
}
