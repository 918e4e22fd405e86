// kmClusterCompression: construction and setup from the session (the
// merging itself is in kmClusterCompressionMerge.cpp).
#include "data/kmClusterCompression.h"

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
    const KmFormat& format = adjust.GetFormat();
    iNumAdjustGroups_ = format.GetNumLines();
    for (int32_t i = 0; i < iNumAdjustGroups_; ++i) {
      kmAdjustVarFormat group;
      group.sLabel = format.GetLabel(i);
      group.codes.push_back(i);
      vBaseGroups_.push_back(group);
    }
  });
}
