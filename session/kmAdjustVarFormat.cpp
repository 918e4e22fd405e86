// kmClusterFormat: the search for the group of a code.
#include "session/kmAdjustVarFormat.h"

#include <algorithm>

int32_t kmClusterFormat::FindFormatIndexOfCode(int32_t iCode) const {
  for (size_t i = 0; i < groups.size(); ++i) {
    const KmVector<int32_t>& codes = groups.at(i).codes;
    if (std::find(codes.begin(), codes.end(), iCode) != codes.end()) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}
