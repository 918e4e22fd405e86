// How the error model of a session weights the fits: the weighting mode the
// fitting engine applies, and the refusal of sessions whose error model
// names a variance-covariance matrix that the run would not apply.
#ifndef KM_SESSION_KMERRORMODEL_H
#define KM_SESSION_KMERRORMODEL_H

class kmSession;

// Error models (kmOptHetErrorModel): given standard errors, the Poisson
// rate model, and the variance-covariance matrix from a file.
constexpr int kmHetErrorStandardError = 2;
constexpr int kmHetErrorPoissonRate = 4;
constexpr int kmHetErrorVarCovMatrix = 5;
// The weighting mode of a user-supplied matrix (kmOptAutocorrErrors).
constexpr int kmWeightingVarCovMatrix = 3;

// The weighting mode of the session's fits, in the codes of
// kmOptAutocorrErrors: 3 (the variance-covariance matrix) whenever the
// error model is the variance-covariance matrix from a file, so that a
// matrix the session names is always applied; otherwise kmOptAutocorrErrors
// (0 uncorrelated, 1 and 2 AR(1)).
int kmWeightingMode(const kmSession& session);

// Refuses, before any fit, a session that names a variance-covariance
// matrix it would not apply, or asks for the matrix without naming one:
// the matrix with AR(1) errors (the matrix already holds the errors'
// covariance), with pairwise comparisons or with multi-group clustering
// (neither fits with it), and kmOptAutocorrErrors 3 under another error
// model. Throws an input error (KmException kind 3) naming both options.
void kmRequireAppliedErrorModel(const kmSession& session);

#endif  // KM_SESSION_KMERRORMODEL_H
