// The pre-read of a calculation run: the cohorts of the data file into the
// session.
#ifndef KM_DATA_KMCOHORTPREREAD_H
#define KM_DATA_KMCOHORTPREREAD_H

class KmProgressInterface;
class kmSession;

// Reads the session's data file (kmStrDataFile) once with a kmCohortManager,
// fields split at the delimiter of kmOptFieldDelimiter (none for a code outside
// 0 to 3), the header line by kmOptVarNamesIncluded. The cohorts it cuts are
// the session's, in every run: those with at least one record (a block whose
// every record its year's label leaves out is none) give the session's cohort
// labels in file order (none without by-variables) and its observation counts
// (kmSession::SetCohortObservationCounts), each cohort's as its fit counts
// them (kmCohortManager::GetFittedObservations: its years when
// bCalculatedRates); kmOptPerCohortMaxKinkmarks and *pbVarying record whether
// those counts differ. When numbers were read
// with thousands commas, the manager's note on them goes to standard error
// (PrintShown).
// bCalculatedRates is handed to the manager: the rates are formed over the
// groups of an adjustment variable (a clustered run). The records are
// counted, not kept (kmCohortManager::SetKeepRecords): the read holds per
// cohort its key, label and counts, whatever the size of the file.
// pProgress, when not null, is told how much of the file has been read
// (kmCohortManager::SetProgress).
// Throws: KmException (kind 3, source "main") "The data file \"<name>\"
// holds no data records." when it has none; the manager's errors.
void PreReadCohorts(kmSession& session, bool bCalculatedRates, bool* pbVarying,
                    KmProgressInterface* pProgress = nullptr);

#endif  // KM_DATA_KMCOHORTPREREAD_H
