// The error model of a session and the correlation of its errors, which
// together give the weighting mode of the fits (kmWeightingMode and
// kmRequireAppliedErrorModel, declared with kmSession).
#ifndef KM_SESSION_KMERRORMODEL_H
#define KM_SESSION_KMERRORMODEL_H

#include "session/kmOptionCode.h"
#include "session/kmSessionOptionIds.h"

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

#endif  // KM_SESSION_KMERRORMODEL_H
