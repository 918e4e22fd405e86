// The multi-group clustering of one cohort.
//
// A kmCohortClustering clusters the groups of the clustering data a
// calculator holds for its cohort (kmCalculator::SetClusterMatrix) with the
// session's clustering options; the calculation control collects the
// outcome of every cohort in cohort order, and the run's last step appends
// it to the run's clustering result file.
//
// The calculator is borrowed and must outlive the clustering. The messages
// it raises carry the class text "kmCalculator", as the error files always
// have; its call-path line is "Cluster() of kmCohortClustering".
#ifndef KM_ENGINE_KMCOHORTCLUSTERING_H
#define KM_ENGINE_KMCOHORTCLUSTERING_H

#include <string>

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
  // path "Cluster()".
  std::string Cluster(KmProgressInterface* pProgress) const;

 private:
  const kmCalculator& calc_;
};

// The file the clustering of session appends to, in the folder of
// sResultsFile (the working folder when it names none): "ClusteringResult-"
// + criterion label + "-Type-" + group order + ".txt".
KmString ClusteringResultFile(const kmSession& session,
                              const KmString& sResultsFile);

#endif  // KM_ENGINE_KMCOHORTCLUSTERING_H
