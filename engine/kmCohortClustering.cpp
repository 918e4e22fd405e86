// kmCohortClustering: Cluster, the multi-group clustering of one cohort's
// groups, and the name of its result file.
#include "engine/kmCohortClustering.h"

#include <newmat.h>

#include <cstdint>
#include <sstream>
#include <string>

#include "engine/KMClusterResampleState.h"
#include "engine/KMClusteringAnalysis.h"
#include "engine/KMClusteringSetup.h"
#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmProgressInterface.h"
#include "models/KMPartitionMatrix.h"
#include "models/MatrixBuilders.h"
#include "models/MatrixDump.h"
#include "models/SeriesSetFromLabelledRows.h"
#include "session/kmClusterOptions.h"
#include "session/kmComparisonType.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "stats/MTRandomGenerator.h"

namespace {

// The class text of the messages, as the error files have always carried
// it.
constexpr const char* kClassName = "kmCalculator";
constexpr const char* kNumberFormat = "%.10f";
// Permutation data sets of each best-model fit.
constexpr int32_t kClusterPermutations = 20;

// The folder part of sPath, with its trailing separator; empty when the
// path names no folder.
std::string FolderOf(const std::string& sPath) {
  const size_t iLast = sPath.find_last_of("/\\");
  return iLast == std::string::npos ? std::string()
                                    : sPath.substr(0, iLast + 1);
}

void WriteValue(std::ostream& out, const char* sLabel, double dValue) {
  NEWMAT::Matrix mValue(1, 1);
  mValue(1, 1) = dValue;
  writeMatrixText(out, sLabel, mValue, kNumberFormat);
}

// The clustering setup from the session's options and the groups.
void FillSetup(KMClusteringSetup& setup, const kmSession& session,
               const KMSeriesSet& groups) {
  setup.seriesSet = groups;
  setup.modelType =
      session.Get<kmPairwiseType>() == kmPairwiseType::kCoincident ? 1 : 2;
  setup.bestModelFit.kMin = session.GetInt(kmOptMinKinkmarks);
  setup.bestModelFit.kMax = session.GetInt(kmOptMaxKinkmarks);
  setup.bestModelFit.criterionCode = 0;
  setup.bestModelFit.selection = "NotkDeltaStar";
  setup.bestModelFit.N = kClusterPermutations;
  setup.minObsAtEnds = session.GetInt(kmOptMinObsEnd);
  setup.minObsBetween = session.GetInt(kmOptMinObsBetween);
  setup.gridPointsBetween = session.GetInt(kmOptGridPointsBetween);
  if (setup.gridPointsBetween > 0) {
    setup.minObsAtEnds += 1;
    setup.minObsBetween += 2;
  }
  setup.logLinear = session.GetBool(kmOptLogLinear);
  setup.permAlpha = session.GetDouble(kmOptPermSignificance);
  setup.kinkmarkAlpha = session.GetDouble(kmOptKinkmarkAlpha);
  setup.apcAlpha = session.GetDouble(kmOptAPCAlpha);
  setup.aapcAlpha = session.GetDouble(kmOptAAPCAlpha);
  setup.subsetLevel = setup.permAlpha;
  setup.secondLevel = 0.05;
  setup.maxClusters = session.GetInt(kmOptClusterSetting);
  setup.userLocations.CleanUp();
  setup.useUserLocations = false;
  setup.counter = 0;
  setup.splineCode = 0;
  setup.value = -1.0;
  setup.criterionLabel =
      kmClusterCriterionText(session.Get<kmClusterCriterion>());
  setup.groupOrder = kmClusterOrderingText(session.Get<kmClusterOrdering>());
  // A negative seed wraps to its unsigned 32-bit pattern.
  setup.generator.sgenrand(static_cast<uint32_t>(
      static_cast<int64_t>(session.GetInt(kmOptPermutationSeed))));
}

// The text of one clustering's outcome.
std::string ClusteringResultText(const kmSession& session,
                                 const KMSeriesSet& groups,
                                 const KMClusterResampleState& state) {
  std::ostringstream out;
  WriteValue(out, "lKMax is ", session.GetInt(kmOptMaxKinkmarks));
  WriteValue(out, "lKMin is ", session.GetInt(kmOptMinKinkmarks));
  WriteValue(out, "lNumAllPerm is ", kClusterPermutations);
  WriteValue(out, "lMaxNumClust is ", session.GetInt(kmOptClusterSetting));
  for (int32_t i = 1; i <= groups.labels.GetSize(); ++i) {
    out << "(Group Index, Group ID) = (" << i << ", "
        << groups.labels[i - 1].GetCString() << ")\n";
  }
  WriteValue(out, "lBestNumClusters is ", state.chosenK);
  for (int32_t k = 1; k <= state.scores.GetSize(); ++k) {
    WriteValue(out, "lNumClust : --- ", k);
    writeMatrixText(out, "Best clusters: ",
                    partitionsToMatrix(collect_PartitionGroups(
                        state.scores[k - 1].groupLists)),
                    kNumberFormat);
  }
  return out.str();
}

}  // namespace

KmString ClusteringResultFile(const kmSession& session,
                              const KmString& sResultsFile) {
  std::string sName = FolderOf(sResultsFile.GetCString());
  sName += "ClusteringResult-";
  sName += kmClusterCriterionText(session.Get<kmClusterCriterion>());
  sName += "-Type-";
  sName += kmClusterOrderingText(session.Get<kmClusterOrdering>());
  sName += ".txt";
  return KmString(sName.c_str());
}

std::string kmCohortClustering::Cluster(KmProgressInterface* pProgress) const {
  return WithCallPath("Cluster()", "kmCohortClustering", [&]() -> std::string {
    if (calc_.GetClusterMatrix() == nullptr) {
      GenerateKmException("No clustering data has been installed.", kClassName);
    }
    const kmSession& session = *calc_.GetCalcSession();
    KMPartitionMatrix rows;
    for (const KmString& sRow : calc_.GetClusterRows()) {
      rows.labels.push_back(sRow.GetCString());
    }
    rows.matrix = *calc_.GetClusterMatrix();
    KMSeriesSet groups;
    build_SeriesSetFromLabelledRows(
        groups, rows, session.GetBool(kmOptLogLinear) ? 1 : 0,
        session.Get<kmErrorModel>() == kmErrorModel::kStandardError ? 2 : 0);

    KMClusteringSetup setup;
    FillSetup(setup, session, groups);
    KMClusterResampleState state;
    run_ClusteringAnalysis(state, setup, pProgress);
    if (pProgress != nullptr && pProgress->IsCancelled()) return std::string();
    return ClusteringResultText(session, groups, state);
  });
}
