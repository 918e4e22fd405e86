// kmSession: the session-object share of Init (InitSessionMembers), the copy
// constructor, assignment, Copy and ClearVariables.
#include <algorithm>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "session/kmSession.h"

namespace {

const char* const kClassName = "kmSession";

}  // namespace

void kmSession::InitSessionMembers() {
  fittedColumns_.reset();
  bDictionaryFlag_ = false;
  iMaxObservations_ = 0;
  iNotUsedCount_ = GetInt(kmOptHeaderLines);
  bDictionaryError_ = false;
  sDictionaryMessages_.Clear();
  vAdjustFormats_.clear();
  vCalcAdjustFormats_.clear();
  vNumObs_.clear();
  vClusterFormats_.clear();
  vObsRecords_.clear();
  vSelectedCohorts_.clear();
  vSecondFlags_.clear();
  vEnoughObservations_.clear();
  aapcRanges_ = kmAAPCRanges();
  sSessionNamedDataFile_.Clear();
  vCohortLabels_.clear();
  std::fill(std::begin(aReservedWords_), std::end(aReservedWords_), 0);
  ClearVariables();
}

kmSession::kmSession(const kmSession& other) : iNumCores_(kDefaultNumCores) {
  WithCallPath("Copy Constructor", kClassName, [&] {
    Init();
    Copy(other);
  });
}

kmSession& kmSession::operator=(const kmSession& other) {
  if (this != &other) Copy(other);
  return *this;
}

void kmSession::Copy(const kmSession& other) {
  WithCallPath("Copy", kClassName, [&] {
    if (this == &other) return;
    Clear();
    vOptions_ = other.vOptions_;
    vStrings_ = other.vStrings_;
    iNumCores_ = other.iNumCores_;
    fittedColumns_ = other.fittedColumns_;
    vVariables_ = other.vVariables_;
    vByVars_ = other.vByVars_;
    vKMVarPositions_ = other.vKMVarPositions_;
    vAdjustFormats_ = other.vAdjustFormats_;
    vNumObs_ = other.vNumObs_;
    vClusterFormats_ = other.vClusterFormats_;
    aapcRanges_ = other.aapcRanges_;
    iMaxObservations_ = other.iMaxObservations_;
    sSessionNamedDataFile_ = other.sSessionNamedDataFile_;
    vCohortLabels_ = other.vCohortLabels_;
    vObsRecords_ = other.vObsRecords_;
    vSelectedCohorts_ = other.vSelectedCohorts_;
    std::copy(std::begin(other.aReservedWords_),
              std::end(other.aReservedWords_), std::begin(aReservedWords_));
    vEnoughObservations_ = other.vEnoughObservations_;
  });
}

void kmSession::ClearVariables() {
  vVariables_.clear();
  vByVars_.clear();
  vKMVarPositions_.assign(kmNumVarRoles, 0);
}
