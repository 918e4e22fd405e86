// Entry order, entry records and the MADWD rule of the export writers.
#include "reports/kmExportEntries.h"

#include "foundation/KmException.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

int32_t NumExportEntries(const kmCalcHandler& handler) {
  return handler.GetNumCohortRecords() + handler.GetNumComparisonRecords();
}

KmVector<int> EntryByVarCodes(const kmCombos& combos, int32_t e) {
  if (!combos.IsComparisonIndex(e)) {
    if (e >= combos.GetNumCombinations()) return KmVector<int>();
    return combos.GetCombination(e);
  }
  // A comparison stores the indices of its two cohorts; its rows name both
  // cohorts by their level codes.
  const KmVector<int> vPair =
      combos.GetComparison(e - combos.GetNumCombinations());
  KmVector<int> vCodes = combos.GetCombination(vPair[0]);
  const KmVector<int> vSecond = combos.GetCombination(vPair[1]);
  vCodes.insert(vCodes.end(), vSecond.begin(), vSecond.end());
  return vCodes;
}

kmEntryRecords::kmEntryRecords(kmCalcHandler& handler, int32_t iEntry) {
  TakeOver(handler.GetCalcDataVector(iEntry));
}

kmEntryRecords::kmEntryRecords(kmCalcHandler& handler, int32_t iCohort,
                               int32_t iRow) {
  TakeOver(handler.GetCalcDataVector(iCohort, iRow));
}

void kmEntryRecords::TakeOver(KmVector<kmCalcData*>& vFetched) {
  // The handler hands the records over; own them at once so that each is
  // deleted whatever happens next.
  vRecords_.reserve(vFetched.size());
  for (kmCalcData* pRecord : vFetched) vRecords_.emplace_back(pRecord);
  vFetched.clear();
}

const kmCalcData& kmEntryRecords::Last() const {
  if (vRecords_.empty()) {
    ThrowKmException("The results file returned no record for this entry.",
                     "kmEntryRecords");
  }
  return *vRecords_.back();
}

const kmCalcData& kmEntryRecords::At(int32_t i) const {
  if (i < 0 || i >= Size()) {
    GenerateKmExceptionF("Attempt to access element %d in vector of size %d.",
                         "kmEntryRecords", i, Size());
  }
  return *vRecords_[static_cast<size_t>(i)];
}

int32_t ModelIndexOfKinkmarks(const kmSession& session, int32_t iKinkmarks) {
  const int32_t iIndex = iKinkmarks - session.GetInt(kmOptMinKinkmarks);
  return iIndex < 0 ? 0 : iIndex;
}

bool HasFinalModel(const kmCalcData& record) {
  return record.uFinalSelectedModel != kmCalcData::kNoModel;
}

bool IsModelMADWDExcluded(const kmSession& session, const kmCalcData& record,
                          int32_t iModel) {
  if (!session.GetBool(kmOptMADWD) || !record.bValid || !record.bMADWD) {
    return false;
  }
  if (iModel < 0 || iModel >= static_cast<int32_t>(record.vModels.size())) {
    return true;
  }
  return !record.GetModel(iModel).GetMADWDPass();
}

char RateUnitLetter(const kmSession& session) {
  KmString sUnit;
  session.GetString(kmStrRateUnit, sUnit);
  return sUnit.IsEmpty() ? 'A' : sUnit[0];
}
