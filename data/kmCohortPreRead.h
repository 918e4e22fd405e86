// The pre-read of a calculation run: the cohorts of the data file into the
// session.
#ifndef KM_DATA_KMCOHORTPREREAD_H
#define KM_DATA_KMCOHORTPREREAD_H

class kmSession;

// Reads the session's data file (kmStrDataFile) once with a kmCohortManager,
// fields split at the delimiter of kmOptFieldDelimiter (none for a code
// outside 0 to 3), the header line by kmOptVarNamesIncluded. Then the
// session's cohort labels become the cohorts' labels in file order (none
// without by-variables), kmOptPerCohortMaxKinkmarks records whether the
// cohorts' record counts differ, and the observation counts are refilled.
// When numbers were read with thousands commas, the manager's note on them
// goes to standard error.
// bCalculatedRates is handed to the manager (a clustered run); the
// observation counts are then the records of each cohort the pre-read found
// (kmSession::SetCohortObservationCounts), those of no record left out.
// Without bCalculatedRates the same pass also feeds the plain observation
// scan (kmSession::DetermineMaximumObservations, through
// kmObservationScan), so the file is read once for both; *pbVarying then
// says whether the counts vary. Returns whether the counts were made: not
// for a spreadsheet data file without bCalculatedRates (the scan reads the
// temporary input file) or settings the scan refuses (it reports them in a
// pass of its own).
// Throws: KmException (kind 3, source "main") "The data file \"<name>\"
// holds no data records." when it has none; the manager's errors.
bool PreReadCohorts(kmSession& session, bool bCalculatedRates, bool* pbVarying);

#endif  // KM_DATA_KMCOHORTPREREAD_H
