// The AAPC ranges that a session asks for, with their labels, and the label
// of a stored AAPC's range.
#ifndef KM_REPORTS_KMAAPCRANGELABELS_H
#define KM_REPORTS_KMAAPCRANGELABELS_H

#include <cstdint>
#include <vector>

#include "foundation/KmString.h"
#include "results/kmRange.h"

class kmSession;
class kmTable;

// One AAPC range and its label.
struct kmAAPCRangeLabel {
  KmString sLabel;
  kmRange range;
};

// The ranges of the session's AAPC settings over model, in the order in
// which kmTable::RunAAPCCalc computes them: the full range when its flag is
// set; each last-observations length L with 0 < L <= the number of
// observations ("Last <L> Obs."); each complete custom pair, labelled by
// its ends printed with "%14.<iPrecision>f", trimmed and joined by "-".
// A model without observations has no full range.
std::vector<kmAAPCRangeLabel> SessionAAPCRanges(const kmSession& session,
                                                const kmTable& model,
                                                int32_t iPrecision);

// The label of the k-th AAPC of a model, whose range is range: the label of
// the k-th session range when their ranges agree, else of the first session
// range that agrees (the model's AAPCs were computed over other settings),
// else the range's own ends as a custom label.
KmString LabelOfRange(const std::vector<kmAAPCRangeLabel>& vSessionRanges,
                      int32_t k, const kmRange& range, int32_t iPrecision);

#endif  // KM_REPORTS_KMAAPCRANGELABELS_H
