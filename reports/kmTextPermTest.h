// The writer of the model-selection export, the selection results export
// and the pairwise comparison export.
#ifndef KM_REPORTS_KMTEXTPERMTEST_H
#define KM_REPORTS_KMTEXTPERMTEST_H

#include <cstdint>

#include "foundation/KmFileTarget.h"
#include "foundation/KmIO_File.h"
#include "results/kmCalcData.h"
#include "session/DataExportOptions.h"
#include "session/kmModelSelection.h"

class kmCalcHandler;
class kmExportLine;
class kmSession;

// kmTextPermTest writes, from a finished results file read back through its
// results handler:
//  - the model-selection export (permtestexport.txt, bicexport.txt, ...):
//    how the number of kinkmarks was chosen, one row per F test when the
//    session selects by permutation tests (kmOptModelSelection 0), one row
//    per fitted model when it selects by an information criterion;
//  - selectionresultsexport.txt: the outcome of data-dependent selection
//    (kmOptModelSelection 4) for every entry;
//  - pairwise_comparison.txt: the permutation test of every pairwise
//    comparison of two cohorts of one comparison block.
// Entries are walked in the order of kmExportEntries.h and their
// by-variable cells, the line rules and the MADWD rule are those of
// kmExportLine.h and kmExportEntries.h. Unlike the numeric cells of
// kmTextReport, the numbers of this writer are printed with a fixed printf
// format and written as printed, leading blanks included:
//   "%d" counts, test and model numbers and hypotheses;
//   "%4d" the degrees of freedom and permutation counts of permutation-test
//        rows and the selection results' models;
//   "%16.<p>f" p-values, significance levels, SSE and criteria, p being
//        display option 5 ("Model Tab F Stat Prec"), so precision 4 prints
//        0.0125 as ten blanks and "0.0125".
//
// Each file is created anew and written in binary. A KmException out of any
// step gains that step's line in its call path (class "kmTextPermTest") and
// passes on; the lines already written stay. Not thread-safe.
class kmTextPermTest {
 public:
  // Keeps pHandler (not owned; it must outlive the writer) and bFlag (no
  // output depends on it), and reads kmOptModelSelection of the handler's
  // session once.
  // Throws: KmException "No results handler was given to the export
  // writer." for a null handler; "The results handler holds no session."
  // when it has none.
  kmTextPermTest(kmCalcHandler* pHandler, bool bFlag);
  virtual ~kmTextPermTest();
  // The flag given to the constructor.
  bool GetFlag() const { return bFlag_; }

  // ---- Model-selection export --------------------------------------------

  // Writes the model-selection export to sPath (the caller chooses the file
  // name by the selection method, ModelSelectionExportSuffix).
  // Throws: KmException "Unable to open the export file <path> for
  // writing."; the option errors of kmExportLine before any byte is
  // written; the handler's and the records' errors.
  void WriteExportFile(const KmFileTarget& sPath,
                       const DataExportOptions* pOptions);
  // The one-sided header, then for every entry its rows: F tests 0 .. n - 1
  // (a comparison leaves out its last F test, the comparison's own) under
  // permutation selection, else models 0 .. n - 1. The two-sided header
  // stands once, right before the first comparison entry's rows. A run
  // without entries writes the header alone.
  void WriteTableExportFile(KmIO_File* pFile,
                            const DataExportOptions* pOptions);
  // One header line: the session's by-variable names iSides times, then
  // under permutation selection "Test #", "Null Hypothesis", "Alt
  // Hypothesis", "Selected Hypothesis", "Numerator DF", "Denominator DF",
  // "# of Permutations", "P-Value", "Significance level"; otherwise
  // "Model", "# Kinkmarks", "# Observations", "# Parameters", "D.F.",
  // "SSE", CriterionTitle, and "BIC3" under data-dependent selection.
  void WriteTableHeader(KmIO_File* pFile, const DataExportOptions* pOptions,
                        int32_t iSides);
  // The row of F test iTest of pRecord (entry iEntry): test number (from
  // 0), null and alternative kinkmarks, then the selected hypothesis,
  // degrees of freedom, permutations, permutation p-value and significance
  // level, each "-" when the model of the null or of the alternative is
  // hidden by the MADWD rule.
  // Throws: the record's F-test range error.
  void WriteTablePermTest(KmIO_File* pFile, int32_t iEntry,
                          const kmCalcData* pRecord, int32_t iTest,
                          const DataExportOptions* pOptions);
  // The row of model iModel of pRecord (entry iEntry): model number (from
  // 1), kinkmarks, observations, then parameters, degrees of freedom, SSE,
  // BIC (and BIC3 under data-dependent selection), each "-" when the model
  // is hidden by the MADWD rule; a hidden model's kinkmarks are
  // kmOptMinKinkmarks + iModel.
  // Throws: the record's model range error.
  void WriteTableBIC(KmIO_File* pFile, int32_t iEntry,
                     const kmCalcData* pRecord, int32_t iModel,
                     const DataExportOptions* pOptions);
  // The title of the criterion column for kmOptModelSelection
  // iModelSelection: 1 and 4 "BIC", 2 "Modified BIC", 3 "BIC3", 5
  // "WBIC-Alt", 6 "WBIC"; "BIC" otherwise.
  static const char* CriterionTitle(kmModelSelection selection);

  // ---- Selection results export ------------------------------------------

  // Writes selectionresultsexport.txt to sPath. Throws as WriteExportFile.
  void WriteSelectionResultsExportFile(const KmFileTarget& sPath,
                                       const DataExportOptions* pOptions);
  // The header, then one row per entry: the by-variable cells and eight
  // cells "BIC Selected Model" ("%4d"), "BIC3 Selected Model" ("%4d"),
  // "Delta BIC" and "Delta BIC3" (the two delta statistics, "%16.<p>f"),
  // whether the larger delta is at most the first threshold, whether the
  // larger less the smaller exceeds the second threshold (a NaN answers
  // no), "Chosen Method" (1 BIC, 3 BIC3) and "Final Selected Model"
  // ("%4d"). The yes/no and method cells are the codes 1, 0, 1 and 3 in
  // "%4d" with the "numeric" by-variable format, the words "Yes", "No",
  // "BIC", "BIC3" otherwise (in double quotes with "quoted labels"); a
  // method code without a word is the missing-value text. An invalid
  // record, or one without a final model, has eight missing-value cells; a
  // record whose final model is hidden by the MADWD rule eight "-" cells.
  void WriteSelectionResultsExportFile(KmIO_File* pFile,
                                       const DataExportOptions* pOptions);
  // The header line; the two thresholds come from the first valid record
  // (10 and 200, those data-dependent selection uses, when there is none),
  // truncated toward zero: "maxDelta <= 10", "diffDelta > 200".
  void WriteTableSelectionResultsHeader(KmIO_File* pFile,
                                        const DataExportOptions* pOptions);

  // ---- Pairwise comparison export ----------------------------------------

  // Writes pairwise_comparison.txt to sPath. Throws as WriteExportFile.
  void WriteComparisonExportFile(const KmFileTarget& sPath,
                                 const DataExportOptions* pOptions);
  // The header line, written at once, then the rows of every pair i < j of
  // cohorts of one comparison block (blocks of the handler's comparison
  // group size b: cohorts 0 .. b - 1, b .. 2b - 1, ...), i ascending, then
  // j; a pair whose comparison record is invalid has no row. Cells: the two
  // cohort labels (their level texts joined by " / ": the codes with the
  // "numeric" by-variable format, else the value labels, or the codes of a
  // by-variable without labels; bare whatever the by-variable format, and
  // in double quotes when the label holds the field delimiter, as every
  // label cell, kmExportLine::AddLabelCell), "%d Kinkmark(s) " of the null
  // kinkmarks of the comparison's last F test, its numerator and
  // denominator degrees of freedom and permutations ("%14d"), permutation
  // p-value and significance level ("%14f"), and "Failed to reject" when
  // the p-value exceeds the significance level, else "Rejected". The rows
  // are written in one piece after the last pair, so a failure while the
  // pairs are read leaves the header alone. A group size of 0 or less has
  // no pairs.
  void WriteComparisonExportFile(KmIO_File* pFile,
                                 const DataExportOptions* pOptions);

 private:
  const kmSession& Session() const;
  kmCalcHandler& Handler() const;
  // "%16.<p>f" of dValue, p = display option 5.
  void AddPaddedReal(kmExportLine& line, double dValue) const;
  // The words of a selection results row.
  void AddSelectionWord(kmExportLine& line, int32_t iCode,
                        const char* sWord) const;
  void AddSelectionCells(kmExportLine& line, const kmCalcData& record) const;
  // The row of cohorts i and j, appended to sRows; nothing for an invalid
  // comparison.
  void AppendComparisonRow(KmString& sRows, int32_t i, int32_t j,
                           int32_t iBlockSize,
                           const DataExportOptions& options);

  kmCalcHandler* pHandler_;
  bool bPermutationSelection_;
  bool bFlag_;
};

// The file suffix of the model-selection export for kmOptModelSelection
// iModelSelection: 1 "bicexport.txt", 2 "mbicexport.txt", 3
// "bic3export.txt", 4 "ddcexport.txt", 5 "wbicaltexport.txt", 6
// "wbicexport.txt", any other "permtestexport.txt".
const char* ModelSelectionExportSuffix(kmModelSelection selection);

#endif  // KM_REPORTS_KMTEXTPERMTEST_H
