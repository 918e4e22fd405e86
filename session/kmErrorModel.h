// How the error model of a session weights the fits: the weighting mode the
// fitting engine applies, and the refusal of sessions whose error model
// names a variance-covariance matrix that the run would not apply.
#ifndef KM_SESSION_KMERRORMODEL_H
#define KM_SESSION_KMERRORMODEL_H

#include "session/kmOptionCode.h"
#include "session/kmSessionOptionIds.h"

class kmSession;

// The model of the error variance (kmOptHetErrorModel). Code 3 is unused.
enum class kmErrorModel : int {
  kConstantVariance = 0,
  kPoissonCount = 1,
  kStandardError = 2,  // given in the data or calculated
  kPoissonRate = 4,
  kVarCovMatrix = 5,  // variance-covariance matrix from a file
};
template <>
struct kmCodedOption<kmErrorModel> {
  static constexpr int kId = kmOptHetErrorModel;
  static constexpr const char* kWords =
      "constant variance|poisson count|standard error||poisson rate|"
      "variance-covariance matrix from a file";
};

// The correlation of the errors (kmOptAutocorrErrors), which is also the
// weighting mode of the fits: uncorrelated, AR(1) with an estimated or a
// specified (kmOptAutocorrParameter) parameter, or weighted by the
// variance-covariance matrix from a file, which no file names by a word.
enum class kmAutocorrErrors : int {
  kUncorrelated = 0,
  kEstimated = 1,
  kSpecified = 2,
  kVarCovMatrix = 3,
};
template <>
struct kmCodedOption<kmAutocorrErrors> {
  static constexpr int kId = kmOptAutocorrErrors;
  static constexpr const char* kWords = "uncorrelated|estimated|specified";
};

// True for the AR(1) modes, estimated or specified.
inline bool kmIsAR1(kmAutocorrErrors mode) {
  return mode != kmAutocorrErrors::kUncorrelated &&
         mode != kmAutocorrErrors::kVarCovMatrix;
}

// True for the error models whose variance follows the count, Poisson
// count and Poisson rate, and for constant variance in a log-linear model,
// which fits the logarithm of the count: the models where a zero count
// needs its own treatment.
inline bool kmIsPoissonType(kmErrorModel model, bool bLogLinear) {
  return model == kmErrorModel::kPoissonRate ||
         model == kmErrorModel::kPoissonCount ||
         (model == kmErrorModel::kConstantVariance && bLogLinear);
}

// The weighting mode of the session's fits: kVarCovMatrix whenever the
// error model is the variance-covariance matrix from a file, so that a
// matrix the session names is always applied; otherwise kmOptAutocorrErrors.
kmAutocorrErrors kmWeightingMode(const kmSession& session);

// Refuses, before any fit, a session that names a variance-covariance
// matrix it would not apply, or asks for the matrix without naming one:
// the matrix with AR(1) errors (the matrix already holds the errors'
// covariance), with pairwise comparisons or with multi-group clustering
// (neither fits with it), and kmOptAutocorrErrors 3 under another error
// model; and the matrix model with no matrix file named (kmStrVarCovarFile
// empty). Throws an input error (KmException kind 3) naming the options.
void kmRequireAppliedErrorModel(const kmSession& session);

#endif  // KM_SESSION_KMERRORMODEL_H
