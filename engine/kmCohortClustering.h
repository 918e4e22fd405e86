// The multi-group clustering of one cohort.
//
// A kmCohortClustering clusters the groups of the clustering data a
// calculator holds for its cohort (kmCalculator::SetClusterMatrix) with the
// session's clustering options; the outcome goes to the run's clustering
// result file, in a run in cohort order (the calculation control appends it
// when it writes the cohort's record).
//
// The calculator is borrowed and must outlive the clustering. Call-path
// lines carry the class text "kmCalculator", as the error files always
// have.
#ifndef KM_ENGINE_KMCOHORTCLUSTERING_H
#define KM_ENGINE_KMCOHORTCLUSTERING_H

#include <string>

#include "foundation/KmFileTarget.h"
#include "foundation/KmString.h"

class kmCalculator;
class kmSession;
class KmProgressInterface;

class kmCohortClustering {
 public:
  explicit kmCohortClustering(const kmCalculator& calc) : calc_(calc) {}

  // Clusters the groups of the calculator's clustering data (SetClusterMatrix:
  // one series per group label, its rows (x, y, standard error)) by
  // run_ClusteringAnalysis with the session's clustering options and
  // returns the text of the outcome, the blocks that go to the clustering
  // result file. Stores nothing in a results record. pProgress follows the
  // subset fits and stops them when cancelled (the text is then empty).
  // Throws: KmException when no clustering data is installed; the
  // analysis's input error for too many groups; the errors of the fits; call
  // path "ClusterByGroups()".
  std::string Cluster(KmProgressInterface* pProgress) const;

 private:
  const kmCalculator& calc_;
};

// The file the clustering of session appends to, in the folder of
// sResultsFile (the working folder when it names none): "ClusteringResult-"
// + criterion label + "-Type-" + group order + ".txt".
KmString ClusteringResultFile(const kmSession& session,
                              const KmString& sResultsFile);

// Appends sText to sFile in one piece, never truncating it, whole or not at
// all: an append that fails part-way (a full disk, the file-size limit)
// leaves the file at the length it had (KmIO_File::AppendWhole). The
// appends of every thread of the process are serialised, and those of other
// processes wait on the file's lock, so the blocks of one clustering stay
// together. A file given by name is opened in its folder, never through a
// link, and its lock taken here; a file given by its descriptor is its
// holder's to lock (KmHeldFileLock). An empty text writes nothing.
// Throws: KmException "Unable to open the clustering result "<file>":
// <reason>." (class "kmCalculator") when the named file cannot be opened;
// AppendWhole's failure.
void AppendClusteringResult(const KmFileTarget& file, const std::string& sText);

#endif  // KM_ENGINE_KMCOHORTCLUSTERING_H
