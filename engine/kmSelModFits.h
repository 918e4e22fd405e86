// kmSelModFits: the working state that both model-selection drivers
// (SelMod and SelModESR) keep for one cohort, and the cancellation they
// poll.
#ifndef KM_ENGINE_KMSELMODFITS_H
#define KM_ENGINE_KMSELMODFITS_H

#include <newmat.h>

#include "foundation/kmBackgroundProgressTrackerWithBar.h"

// The fits of every number of kinkmarks and the weighting of the cohort.
struct kmSelModFits {
  NEWMAT::ColumnVector vResidSum0;
  NEWMAT::ColumnVector vResidSum1;
  NEWMAT::ColumnVector vLocations;
  NEWMAT::ColumnVector vEstimates;
  NEWMAT::Matrix mFitted;
  NEWMAT::Matrix mResid;
  NEWMAT::Matrix mProfile;
  // Weighting: A for the residuals, L for the permuted data sets.
  NEWMAT::Matrix mA;
  NEWMAT::Matrix mL;
};

// The run's cancel flag, or a cancellation reported through the parent.
inline bool IsSelModCancelled(
    const kmBackgroundProgressTrackerWithBar* pProgress) {
  return pProgress != nullptr &&
         (pProgress->GetCancelFlag() || pProgress->IsCancelled());
}

#endif  // KM_ENGINE_KMSELMODFITS_H
