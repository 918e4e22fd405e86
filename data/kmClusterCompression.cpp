// kmClusterCompression: construction and setup from the session (the
// merging itself is in kmClusterCompressionMerge.cpp).
#include "data/kmClusterCompression.h"

#include <vector>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "session/kmDependentType.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"

namespace {

const char* const kClassName = "kmClusterCompression";

// Number of value-label lines of a variable's format, 0 without a format.
int32_t FormatLineCount(const kmVariable& variable) {
  return variable.HasFormat() ? variable.GetFormat().GetNumLines() : 0;
}

// One group per line i of the adjustment variable's format, labelled with
// the line's label, its codes [i]; none without a format.
KmVector<kmAdjustVarFormat> LineGroups(const kmSession& session) {
  KmVector<kmAdjustVarFormat> groups;
  if (session.GetKMVarPosition(kmVarAdjustment) == 0) return groups;
  const kmVariable& adjust = session.GetKMVar(kmVarAdjustment);
  if (!adjust.HasFormat()) return groups;
  const KmFormat& format = adjust.GetFormat();
  for (int32_t i = 0; i < format.GetNumLines(); ++i) {
    kmAdjustVarFormat group;
    group.sLabel = format.GetLabel(i);
    group.codes.push_back(i);
    groups.push_back(group);
  }
  return groups;
}

// The index of the group of format whose codes hold dCode truncated; -1
// when none does or dCode is no code an int32 holds (a missing one).
int32_t GroupOfCode(const kmClusterFormat& format, double dCode) {
  if (!(dCode > -2147483649.0 && dCode < 2147483648.0)) return -1;
  return format.FindFormatIndexOfCode(static_cast<int32_t>(dCode));
}

}  // namespace

kmClusterCompression::kmClusterCompression(kmSession* pSession) {
  WithCallPath("kmClusterCompression(kmSession*)", kClassName, [&] {
    if (pSession == nullptr) {
      GenerateKmException(
          "Cannot create a kmClusterCompression without a valid session "
          "pointer.",
          kClassName);
    }
    pSession_ = pSession;
    dThreshold_ = 0.0;
    bAgeAdjusted_ = false;
    iNumAdjustGroups_ = FormatLineCount(pSession->GetKMVar(kmVarAdjustment));
    iNumIndepValues_ = static_cast<int16_t>(
        FormatLineCount(pSession->GetKMVar(kmVarIndependent)));
    Setup(pSession);
  });
}

kmClusterCompression::~kmClusterCompression() = default;

void kmClusterCompression::Setup(kmSession* pSession) {
  WithCallPath("Setup()", kClassName, [&] {
    if (pSession == nullptr) {
      GenerateKmException(
          "Cannot create a kmClusterCompression without a valid session "
          "pointer.",
          kClassName);
    }
    pSession_ = pSession;
    bAgeAdjusted_ =
        pSession->GetBool(kmOptDependentCalculated) &&
        pSession->Get<kmDependentType>() == kmDependentType::kAgeAdjustedRate;
    dThreshold_ = pSession->GetDouble(kmOptCompressionThreshold);
    const std::vector<kmClusterFormat>& formats = pSession->GetClusterFormats();
    vSessionClusterFormats_.assign(formats.begin(), formats.end());
    SetupAgeGroupVariable();
  });
}

void kmClusterCompression::SetupAgeGroupVariable() {
  WithCallPath("SetupAgeGroupVariable()", kClassName, [&] {
    SetupBaseAdjustmentVarFormat();
    vWorkingGroups_ = pSession_->GetAdjustVarFormats();
    if (vWorkingGroups_.empty()) vWorkingGroups_ = vBaseGroups_;
  });
}

void kmClusterCompression::SetupBaseAdjustmentVarFormat() {
  WithCallPath("SetupBaseAdjustmentVarFormat()", kClassName, [&] {
    if (pSession_->GetKMVarPosition(kmVarAdjustment) == 0 ||
        !pSession_->GetBool(kmOptDependentCalculated)) {
      return;
    }
    // Rebuilt rather than appended to, so a second Setup does not list the
    // groups twice.
    vBaseGroups_.clear();
    const kmVariable& adjust = pSession_->GetKMVar(kmVarAdjustment);
    if (!adjust.HasFormat()) {
      iNumAdjustGroups_ = -1;
      return;
    }
    iNumAdjustGroups_ = adjust.GetFormat().GetNumLines();
    vBaseGroups_ = LineGroups(*pSession_);
  });
}

void kmClusterCompression::SetCodeGroups(const std::vector<KmString>& vCodes) {
  if (iNumAdjustGroups_ != -1) return;
  iNumAdjustGroups_ = static_cast<int32_t>(vCodes.size());
  for (size_t i = 0; i < vCodes.size(); ++i) {
    kmAdjustVarFormat group;
    group.sLabel = vCodes[i];
    group.codes.push_back(static_cast<int>(i));
    vBaseGroups_.push_back(group);
  }
  if (pSession_->GetAdjustVarFormats().empty()) vWorkingGroups_ = vBaseGroups_;
}

bool kmClusterCompression::CompressCohort(const kmValueTable& records) {
  return WithCallPath("CompressCohort()", kClassName, [&]() -> bool {
    // A run whose rates are not computed has no base groups: its groups
    // are still those of the adjustment variable's format.
    kmClusterFormat working;
    working.groups = vWorkingGroups_;
    if (working.groups.empty()) working.groups = LineGroups(*pSession_);
    const size_t nGroups = working.groups.size();
    kmValueTable table;
    for (const kmValueRows& year : records) {
      kmValueRows inFileOrder;
      kmValueRows byGroup(nGroups);
      std::vector<bool> vSeen(nGroups, false);
      bool bOnePerGroup = year.size() == nGroups;
      for (const kmValueRow& record : year) {
        if (record.size() < 4) {
          GenerateKmExceptionF(
              "A clustered record holds %d values; 4 are needed (adjustment "
              "code, count, population, standard population).",
              kClassName, static_cast<int>(record.size()));
        }
        const kmValueRow values({record[1], record[2], record[3]});
        inFileOrder.push_back(values);
        const int32_t g = GroupOfCode(working, record[0]);
        if (g < 0 || vSeen[static_cast<size_t>(g)]) {
          bOnePerGroup = false;
          continue;
        }
        vSeen[static_cast<size_t>(g)] = true;
        byGroup[static_cast<size_t>(g)] = values;
      }
      table.push_back(bOnePerGroup ? byGroup : inFileOrder);
    }
    return CompressAgeGroups(table, working.groups);
  });
}
