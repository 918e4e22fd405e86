// KMRegFitCounts: four counts and a matrix carried by a fit.
#ifndef KM_MODELS_KMREGFITCOUNTS_H
#define KM_MODELS_KMREGFITCOUNTS_H

#include <newmat.h>

#include <cstdint>

// Four counts and a matrix that travel with a KMRegFit between the fitting
// routines; they have no meaning of their own here.
//
// A value class (no virtual operations): the constructor runs reset;
// copies are deep (member by member).
class KMRegFitCounts {
 public:
  // reset; the matrix 0 x 0.
  KMRegFitCounts() { reset(); }

  // Sets the four counts to 0. The matrix keeps its contents.
  void reset() {
    iMember1 = 0;
    iMember2 = 0;
    iMember3 = 0;
    iMember4 = 0;
  }

  int32_t iMember1;
  int32_t iMember2;
  int32_t iMember3;
  int32_t iMember4;
  NEWMAT::Matrix mMember5;
};

#endif  // KM_MODELS_KMREGFITCOUNTS_H
