// The multi-group clustering of one cohort.
//
// A kmCohortClustering clusters the groups of the clustering data a
// calculator holds for its cohort (kmCalculator::SetClusterMatrix) with the
// session's clustering options, and appends the outcome to the run's
// clustering result file.
//
// The calculator is borrowed and must outlive the clustering. Call-path
// lines carry the class text "kmCalculator", as the error files always
// have.
#ifndef KM_ENGINE_KMCOHORTCLUSTERING_H
#define KM_ENGINE_KMCOHORTCLUSTERING_H

#include "foundation/KmString.h"

class kmCalculator;
class KmProgressInterface;

class kmCohortClustering {
 public:
  explicit kmCohortClustering(const kmCalculator& calc) : calc_(calc) {}

  // Clusters the groups of the calculator's clustering data (SetClusterMatrix:
  // one series per group label, its rows (x, y, standard error)) by
  // run_ClusteringAnalysis with the session's clustering options, and
  // appends the outcome to "ClusteringResult-<criterion>-Type-<order>.txt"
  // in the folder of sResultsFile (the working folder when it names none).
  // The appends of all clusterings of the process are serialised, so the
  // blocks of one clustering stay together. Stores nothing in a results
  // record. pProgress follows the subset fits and stops them when cancelled
  // (nothing is written then).
  // Throws: KmException when no clustering data is installed; the
  // analysis's input error for too many groups; the errors of the fits; call
  // path "ClusterByGroups()".
  void ClusterByGroups(const KmString& sResultsFile,
                       KmProgressInterface* pProgress);

  // The file the clustering of this session appends to, in the folder of
  // sResultsFile: "ClusteringResult-" + criterion label + "-Type-" + group
  // order + ".txt".
  KmString GetClusteringResultFile(const KmString& sResultsFile) const;

 private:
  const kmCalculator& calc_;
};

#endif  // KM_ENGINE_KMCOHORTCLUSTERING_H
