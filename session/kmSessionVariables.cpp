// kmSession: variables, roles and by-variables (GetVar, AddVariable,
// GetByVar, AddByVarPosition, GetKMVar, GetKMVarPosition, SetKMVarPosition,
// AddByVar, AddByVarJump, RemoveSyntheticByVars), cohort selection
// (SetSelectCohortsVector, GetUserSelectedUseCohort, GetNumSelectedCohorts) and
// the report-header helpers (GetBlankString, GetIndependentVarLabels).
#include <cstdint>
#include <initializer_list>
#include <string>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "session/internal/SessionBlockReader.h"
#include "session/kmAnalysisCopies.h"
#include "session/kmSession.h"

namespace {

const char* const kClassName = "kmSession";

// A format of single short-typed values 0, 1, ... labelled in order.
KmFormat MakeNumberedFormat(const std::vector<const char*>& labels) {
  KmFormat format;
  format.SetDataType('S');
  for (size_t i = 0; i < labels.size(); ++i) {
    std::string sValue = std::to_string(i);
    format.AddLine(sValue.c_str(), labels[i], -1);
  }
  return format;
}

// A saved session whose synthetic by-variables are not where the run that
// saved it put them.
[[noreturn]] void ThrowNotValidFile() {
  GenerateKmException(km_session_internal::kNotValidFileMessage,
                      "kmSession.cpp");
}

}  // namespace

const kmVariable& kmSession::GetVar(int16_t i) const {
  return WithCallPath("GetVar", kClassName, [&]() -> const kmVariable& {
    if (i >= GetNumVars()) {
      GenerateKmExceptionF("Variable %d does not exist.", kClassName, i);
    }
    return vVariables_[i];
  });
}

int32_t kmSession::AddVariable(const kmVariable& variable) {
  vVariables_.push_back(variable);
  return GetNumVars();
}

const kmVariable& kmSession::GetByVar(int16_t i) const {
  return WithCallPath("GetByVar", kClassName, [&]() -> const kmVariable& {
    if (i < 0 || i >= GetNumByVars()) {
      GenerateKmExceptionF("Attempt to access By-variable %d of %d.",
                           "kmVariable", i, GetNumByVars());
    }
    return vVariables_[vByVars_[i] - 1];
  });
}

void kmSession::AddByVarPosition(int32_t iPosition) {
  WithCallPath("AddByVarPosition()", kClassName, [&] {
    if (iPosition < 1 || iPosition > GetNumVars()) {
      GenerateKmExceptionF("%i is out of bounds in vector of size %d.",
                           kClassName, iPosition, GetNumVars());
    }
    vByVars_.push_back(iPosition);
  });
}

const kmVariable& kmSession::GetKMVar(int iRole) const {
  return WithCallPath("GetKMVar()", kClassName, [&]() -> const kmVariable& {
    int32_t iPosition = vKMVarPositions_[iRole];
    if (iPosition == 0) {
      GenerateKmExceptionF("KM variable %d not yet defined.", kClassName,
                           iRole);
    }
    return vVariables_[iPosition - 1];
  });
}

int32_t kmSession::GetKMVarPosition(int iRole) const {
  return WithCallPath("GetKMVarPosition()", kClassName,
                      [&]() -> int32_t { return vKMVarPositions_[iRole]; });
}

void kmSession::SetKMVarPosition(int iRole, int iPosition) {
  WithCallPath("SetKMVarPosition()", kClassName, [&] {
    if (iPosition < 1 || iPosition > GetNumVars()) {
      GenerateKmExceptionF("%i is out of bounds in vector of size %d.",
                           kClassName, iPosition, GetNumVars());
    }
    vKMVarPositions_[iRole] = iPosition;
  });
}

void kmSession::AddByVar() {
  WithCallPath(
      "AddByVar(const char*, short, const KmFormat*)", kClassName, [&] {
        KmFormat format = MakeNumberedFormat({"Delay", "Non-Delay"});
        int32_t iPosition = GetNumVars() + 1;
        vVariables_.push_back(kmVariable(
            "Delay and NonDelay", static_cast<uint16_t>(iPosition), &format));
        vByVars_.push_back(iPosition);
        vKMVarPositions_.push_back(iPosition);
      });
}

void kmSession::AddByVarJump() {
  WithCallPath("AddByVarJump()", kClassName, [&] {
    // A mode of one analysis needs no by-variable to tell its analyses
    // apart, and one without labels would fail every label lookup later.
    const kmAnalysisCopies copies(*this);
    if (!copies.HasAnalysisSplit()) return;
    std::vector<const char*> labels;
    for (int i = 0; i < copies.NumAnalyses(); ++i) {
      switch (copies.KindOfCopy(i)) {
        case kmAnalysisCopies::Kind::kJump:
          labels.push_back("Jump");
          break;
        case kmAnalysisCopies::Kind::kComparabilityRatio:
          labels.push_back("Comparability");
          break;
        case kmAnalysisCopies::Kind::kStandard:
          labels.push_back("Standard");
          break;
      }
    }
    KmFormat format = MakeNumberedFormat(labels);
    int32_t iPosition = GetNumVars() + 1;
    vVariables_.push_back(kmVariable("Jump, Comparability, Standard",
                                     static_cast<uint16_t>(iPosition),
                                     &format));
    vByVars_.push_back(iPosition);
    vKMVarPositions_.push_back(iPosition);
  });
}

void kmSession::RemoveSyntheticByVars() {
  WithCallPath("RemoveSyntheticByVars()", kClassName, [&] {
    // Each was appended last to the variables, the by-variables and the
    // role positions, the analysis split after the delay split.
    while (GetNumKMVarPositions() > kmNumVarRoles) {
      const int32_t iPosition = vKMVarPositions_.back();
      if (iPosition != GetNumVars() || vByVars_.empty() ||
          vByVars_.back() != iPosition) {
        ThrowNotValidFile();
      }
      vVariables_.pop_back();
      vByVars_.pop_back();
      vKMVarPositions_.pop_back();
    }
    for (const KmVector<int32_t>* pPositions : {&vByVars_, &vKMVarPositions_}) {
      for (int32_t iPosition : *pPositions) {
        if (iPosition > GetNumVars()) ThrowNotValidFile();
      }
    }
  });
}

void kmSession::SetSelectCohortsVector(bool bValue) {
  vSelectedCohorts_.assign(vCohortLabels_.size(), bValue);
}

bool kmSession::GetUserSelectedUseCohort(int iCohortIndex) const {
  return WithCallPath(
      "GetUserSelectedUseCohort(int)", kClassName, [&]() -> bool {
        if (vSelectedCohorts_.empty()) return true;
        if (iCohortIndex < 0 ||
            static_cast<size_t>(iCohortIndex) >= vSelectedCohorts_.size()) {
          KmString sMessage("Index out of range.  Requested index = ");
          sMessage << iCohortIndex << ".  Vector size = "
                   << static_cast<int32_t>(vSelectedCohorts_.size());
          GenerateKmException(sMessage.GetCString(),
                              "kmSession::GetUserSelectedUseCohort(int "
                              "iCohortIndex)");
        }
        return vSelectedCohorts_[iCohortIndex];
      });
}

int kmSession::GetNumSelectedCohorts() const {
  int iCount = 0;
  for (bool bSelected : vSelectedCohorts_) {
    if (bSelected) ++iCount;
  }
  return iCount;
}

KmString kmSession::GetBlankString(int32_t iCount) {
  if (iCount < 1) return KmString("");
  return KmString(std::string(static_cast<size_t>(iCount), ' '));
}

void kmSession::GetIndependentVarLabels(KmVector<KmString>& vLabels) const {
  WithCallPath("GetIndependentVarLabels()", kClassName, [&] {
    const kmVariable& independent = GetKMVar(kmVarIndependent);
    if (!independent.HasFormat()) return;
    const KmFormat& format = independent.GetFormat();
    for (int32_t i = 0; i < format.GetNumLines(); ++i) {
      KmString sLabel(format.GetLabel(i));
      if (sLabel.Find("not used") < 0) vLabels.push_back(sLabel);
    }
  });
}
