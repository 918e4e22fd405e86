// The work data of one kmCalculator: the generator, design and weighting,
// candidate grid, cross products, clustering data, the observations of the
// cohort (or of the caller's fit) and the results handler. The calculator
// holds them as a private base and reaches them by name; callers use its
// services.
#ifndef KM_ENGINE_KMCALCULATORSTATE_H
#define KM_ENGINE_KMCALCULATORSTATE_H

#include <newmat.h>

#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

#include "foundation/KmString.h"

class kmCalcHandler;
class MersenneTwister;

// Members grouped by concern. The owned objects go with their unique_ptrs;
// kmCalculator::Init gives the plain members their first values.
struct kmCalculatorState {
  // -- Services --------------------------------------------------------
  // MT19937 generator of the permutation tests, seeded by the driver (owned).
  std::unique_ptr<MersenneTwister> pRandom;

  // -- Design and weighting --------------------------------------------
  // Design matrix M of the fits: intercept, independent value, one hinge
  // column per grid candidate (owned).
  std::unique_ptr<NEWMAT::Matrix> pX0;
  // n x n weight matrix V of the weighted least squares; zeros until
  // WLSWgt fills it, under the variance-covariance matrix with a copy of
  // the user-supplied matrix (owned).
  std::unique_ptr<NEWMAT::Matrix> pWeightMatrix;
  // The cohort's user-supplied variance-covariance matrix, or null
  // (borrowed from the cohort's record).
  NEWMAT::Matrix* pVarCovMatrix;

  // -- Candidate grid --------------------------------------------------
  // Candidate kinkmark locations, length G (owned).
  std::unique_ptr<NEWMAT::ColumnVector> pGridValues;
  // Per candidate, the first candidate at which a following kinkmark may
  // stand, length G (owned).
  std::unique_ptr<NEWMAT::ColumnVector> pGridAux;

  // -- Cross products --------------------------------------------------
  // M' W* M of the full design (owned).
  std::unique_ptr<NEWMAT::SymmetricMatrix> pXWX;

  // -- Clustering ------------------------------------------------------
  // The group label of each row of the group data of a clustering run.
  std::vector<KmString> vClusterRows;
  // Group data matrix of a clustering run (owned).
  std::unique_ptr<NEWMAT::Matrix> pClusterMatrix;

  // -- Cohort size and label -------------------------------------------
  // Number of observations n of the cohort being fitted.
  int16_t iNumObs;

  // -- Fitting work ----------------------------------------------------
  // X'WX of the model in hand.
  NEWMAT::SymmetricMatrix mWork;

  // Column of the independent values in pDataX.
  int16_t iXColumn;

  // -- Weighting state set by the drivers ------------------------------
  // Weight root A (A'A = V), copied from WLSWgt by the drivers.
  NEWMAT::Matrix mWorkA;
  // Jump location (option 28) less the cohort's integer origin.
  double dJumpLocation;
  // B'B of the weighting step; the symmetric matrix of the series set.
  NEWMAT::Matrix mWorkB;

  // -- Jump-model and comparability-ratio results ----------------------
  // Value, SE, statistic, p-value, lower and upper limit, significance flag.
  NEWMAT::ColumnVector vJumpResults;
  NEWMAT::ColumnVector vCRResults;

  // -- Observations of the cohort (filled by the calculation control) ----
  // n x 2, independent values in column 2.
  std::unique_ptr<NEWMAT::Matrix> pDataX;
  // n x D: column 1 the observed response, columns 2.. permuted data sets.
  std::unique_ptr<NEWMAT::Matrix> pDataY;
  // n weight inputs v (1 / variance).
  std::unique_ptr<NEWMAT::ColumnVector> pDataWeightInput;
  // n x 1 standard error of each observation.
  std::unique_ptr<NEWMAT::Matrix> pDataAux;

  // Results handler, whose session is the source of every option read:
  // borrowed from the calculation control (the job constructor; null after
  // Init) or made by Setup and owned.
  std::variant<kmCalcHandler*, std::unique_ptr<kmCalcHandler>> pCalcHandler;
};

#endif  // KM_ENGINE_KMCALCULATORSTATE_H
