// kmSession's error model as the fits apply it: kmWeightingMode,
// kmRequireAppliedErrorModel and kmVarCovarDelimiter.
#include "foundation/KmException.h"
#include "session/kmComparisonType.h"
#include "session/kmErrorModel.h"
#include "session/kmFitMethod.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char kSource[] = "kmErrorModel";
const char kMatrixModel[] =
    "The error model \"variance-covariance matrix from a file\"";

}  // namespace

kmAutocorrErrors kmWeightingMode(const kmSession& session) {
  if (session.Get<kmErrorModel>() == kmErrorModel::kVarCovMatrix) {
    return kmAutocorrErrors::kVarCovMatrix;
  }
  return session.Get<kmAutocorrErrors>();
}

void kmRequireAppliedErrorModel(const kmSession& session) {
  const bool bMatrix =
      session.Get<kmErrorModel>() == kmErrorModel::kVarCovMatrix;
  const kmAutocorrErrors autocorr = session.Get<kmAutocorrErrors>();
  if (!bMatrix) {
    if (autocorr == kmAutocorrErrors::kVarCovMatrix) {
      GenerateKmInputExceptionF(
          "\"autocorr errors\" = 3 weights the fits by a variance-covariance "
          "matrix, but the session's error model (\"het error\") is not "
          "\"variance-covariance matrix from a file\", so no matrix is given.",
          kSource);
    }
    return;
  }
  KmString sMatrixFile;
  session.GetString(kmStrVarCovarFile, sMatrixFile);
  if (sMatrixFile.IsEmpty()) {
    GenerateKmInputExceptionF(
        "%s needs the name of its matrix file, but the session names none "
        "(the saved session's matrix file name, its text 6, is empty).",
        kSource, kMatrixModel);
  }
  if (kmIsAR1(autocorr)) {
    GenerateKmInputExceptionF(
        "%s cannot be combined with \"autocorr errors\" (%s): the matrix "
        "already gives the errors' covariance.  Set \"autocorr errors\" to "
        "uncorrelated.",
        kSource, kMatrixModel,
        autocorr == kmAutocorrErrors::kEstimated ? "estimated" : "AR(1)");
  }
  if (kmIsHudsons(session.Get<kmFitMethod>())) {
    GenerateKmInputExceptionF(
        "%s cannot be combined with \"method = hudsons\": Hudson's method "
        "weights its fits by the matrix's variances alone, not by the "
        "covariances it gives.  Use \"method = grid\".",
        kSource, kMatrixModel);
  }
  const kmComparisonType comparison = session.Get<kmComparisonType>();
  const bool bPairwise = comparison == kmComparisonType::kPairwise;
  if (bPairwise || comparison == kmComparisonType::kClustering) {
    GenerateKmInputExceptionF(
        "%s cannot be combined with %s: %s do not apply the matrix.", kSource,
        kMatrixModel,
        bPairwise ? "\"pairwise\" comparisons" : "multi-group clustering",
        bPairwise ? "pairwise comparisons" : "clustering fits");
  }
}

kmDelimiter kmVarCovarDelimiter(const kmSession& session) {
  return static_cast<kmDelimiter>(session.GetInt(kmOptVarCovarDelimiter));
}
