// kmReadData: reading a cohort of clustered data
// (ReadDataAndCalcRates_Cluster).
#include <algorithm>
#include <functional>
#include <vector>

#include "data/internal/kmCohortReadHelpers.h"
#include "data/kmReadData.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/kmTools.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"

using km_read_internal::CleanField;
using km_read_internal::kMissingValue;
using km_read_internal::ReadNumber;
using km_read_internal::RoleColumn;

namespace {

const char kClassName[] = "kmReadData";
const char kClusterSource[] = "kmReadData::ReadDataAndCalcRates_Cluster()";

// The adjustment group of a record: the line of the adjustment variable's
// format whose values hold the record's code, the groups being numbered by
// those lines; without a format, the position among vCodes (the codes of
// the data's first year) of the record's code (SameAdjustmentCode).
// A code no group holds is missing (kMissingValue) in a copy the
// verification refused (bRefused), which named its line.
// Throws: an input error naming the record, its cohort (sPlace gives its
// labels, the data file and the line) and its code when no line holds the
// code (a code outside the format's type holds none) in any other copy.
double AdjustmentGroupOf(const kmVariable& adjust,
                         const std::vector<KmString>& vCodes,
                         const KmString& sCode, int iRecord, int iCopy,
                         bool bRefused,
                         const std::function<KmString()>& sPlace) {
  int32_t iLine = -1;
  if (adjust.HasFormat()) {
    iLine = km_read_internal::FindAdjustmentGroup(adjust.GetFormat(), sCode);
  } else {
    iLine = km_read_internal::FindCodeGroup(vCodes, sCode);
  }
  if (iLine < 0 && bRefused) return kMissingValue;
  if (iLine < 0) {
    GenerateKmInputExceptionF(
        "Data record %d in cohort number %d has the adjustment code \"%s\", "
        "which belongs to no adjustment group of the %s variable's format.\n"
        "The record is in %s: give it a code that a line of the %s format "
        "holds, or add the code to that format.",
        kClusterSource, iRecord, iCopy, sCode.GetCString(),
        adjust.GetName().GetCString(), sPlace().GetCString(),
        adjust.GetName().GetCString());
  }
  return static_cast<double>(iLine);
}

}  // namespace

void kmReadData::ReadDataAndCalcRates_Cluster(int* piCohortIndex,
                                              kmValueTable& table) {
  WithCallPath("ReadDataAndCalcRates_Cluster()", kClassName, [&] {
    table.clear();
    int iCopy = 0;
    const int iLineCount = BeginCopyRead(piCohortIndex, iCopy);
    const KmString sMissing = GetMissingText();

    // Needed columns: the by-variables read from the data (the synthetic
    // delay and jump by-variables have no column), then the independent,
    // adjustment, count, population and standard-population columns.
    std::vector<int> vNeeded;
    const int nByVars = NumDataByVars();
    for (int b = 0; b < nByVars; ++b) {
      vNeeded.push_back(
          static_cast<int>(
              pSession_->GetByVar(static_cast<int16_t>(b)).GetPosition()) -
          1);
    }
    const size_t uIndep = vNeeded.size();
    for (int iRole :
         {static_cast<int>(kmVarIndependent), static_cast<int>(kmVarAdjustment),
          static_cast<int>(kmVarCount), static_cast<int>(kmVarPopulation),
          static_cast<int>(kmVarStdPopulation)}) {
      vNeeded.push_back(RoleColumn(*pSession_, iRole));
    }
    const int iHighest = *std::max_element(vNeeded.begin(), vNeeded.end());

    auto readValue = [&sMissing](const KmString& sField) {
      double dValue = 0.0;
      return ReadNumber(sField, sMissing, dValue) ? dValue : kMissingValue;
    };

    const kmVariable& adjust = pSession_->GetKMVar(kmVarAdjustment);
    int iRecord = 0;
    kmValueRows vGroup;
    double dPreviousIndep = 0.0;
    bool bFirstRecord = true;
    int iLinesLeft = iLineCount;
    KmString sLine;
    std::vector<KmString> vTokens;
    while (ReadCopyRecord(iLinesLeft, false, sLine, vTokens)) {
      ++iRecord;
      const int nTokens = static_cast<int>(vTokens.size());
      // The record must hold the highest needed column itself; one field
      // short would read the absent value as 0.
      if (nTokens <= iHighest) {
        KmString sMessage;
        sMessage << "Data record in cohort number " << iCopy
                 << " does not have enough fields.  Max number of fields "
                    "needed:  "
                 << iHighest + 1
                 << "  Number of fields in data record:  " << nTokens;
        ThrowKmException(sMessage.GetCString(), kClusterSource);
      }
      std::vector<KmString> vCompact(vNeeded.size() + 2);
      for (size_t k = 0; k < vNeeded.size(); ++k) {
        // An unset by-variable column (-1) reads as an empty field.
        if (vNeeded[k] >= 0) {
          vCompact[k] = CleanField(vTokens[static_cast<size_t>(vNeeded[k])]);
        }
      }

      double dIndep = kMissingValue;
      if (kmTools::ReadIndependentNumber(vCompact[uIndep], sMissing, dIndep) !=
          kmTools::FieldNumber::kNumber) {
        dIndep = kMissingValue;
      }
      if (bFirstRecord) {
        bFirstRecord = false;
      } else if (dIndep != dPreviousIndep) {
        table.push_back(vGroup);
        vGroup.clear();
      }
      dPreviousIndep = dIndep;

      kmValueRow entry(4, kMissingValue);
      for (size_t v = 0; v < 4; ++v)
        entry[v] = readValue(vCompact[uIndep + 1 + v]);
      entry[0] = AdjustmentGroupOf(
          adjust, vAdjustCodes_, vCompact[uIndep + 1], iRecord, iCopy,
          !GetCohortGoodFlag(iCopy), [&] {
            KmString sPlace;
            sPlace << "cohort \"" << JoinedCohortLabel(GetByCodes(sLine), ", ")
                   << "\", data file \"" << sDataFileName_ << "\"";
            if (!vRowLines_.empty() && vRowLines_.back() >= 1) {
              sPlace << ", line " << static_cast<long>(vRowLines_.back());
            }
            return sPlace;
          });
      if (entry[1] < 0.0 || entry[2] < 0.0 || entry[3] < 0.0) {
        entry[1] = kMissingValue;
        entry[2] = kMissingValue;
        entry[3] = kMissingValue;
      }
      vGroup.push_back(entry);
    }
    table.push_back(vGroup);
  });
}
