// KMRegModelSettings: the options of one model fit.
#ifndef KM_MODELS_KMREGMODELSETTINGS_H
#define KM_MODELS_KMREGMODELSETTINGS_H

#include <newmat.h>

#include <cstdint>
#include <string>

#include "foundation/KmString.h"

// The options of one fit of the model framework, handed by value to the
// location search and copied into every fit result. Members are in their
// fixed order; each comment gives the value setDefaults writes and the
// member's effect. Members named only by type and position (iMember2, ...)
// carry values between the fitting routines and have no meaning of their
// own here.
//
// A value class (no virtual operations): the constructor runs setDefaults;
// copies are deep; destruction runs clear. Every routine but the
// constructor passes every exception on; a KmException passing one collects a
// "Standard exception: <text>" report, which the driver writes to standard
// output.
class KMRegModelSettings {
 public:
  // Every member at its default (setDefaults); member 39 empty.
  KMRegModelSettings();
  // A deep copy of src (built empty, then assigned).
  KMRegModelSettings(const KMRegModelSettings& src);
  // Copies every member in declaration order. Returns this object.
  KMRegModelSettings& operator=(const KMRegModelSettings& src);
  // Calls clear.
  ~KMRegModelSettings();

  // Writes the default of every member except vMember39, which keeps its
  // contents.
  void setDefaults();
  // Empties the texts, vectors and matrices. Numbers and flags keep their
  // values.
  void clear();

  // 1. Number of data sets of a search: the observed response plus its
  // permuted or simulated copies. Default 0.
  int32_t nDataSets;
  // 2, 3. Default 0.
  int32_t iMember2;
  int32_t iMember3;
  // 4. Offset added to the x column of the second design (secondDesign).
  // Default 0.0.
  double xOffset;
  // 5. Significance level of the permutation tests. Default 0.05.
  double permutationAlpha;
  // 6. Significance level of the kinkmark-location intervals; the location
  // search copies it into its result. Default 0.05.
  double alpha;
  // 7, 8. Default 0.05.
  double dMember7;
  double dMember8;
  // 9. Significance level of the jump (and comparability-ratio) tests.
  // Default 0.05.
  double jumpAlpha;
  // 10. Model type: 1 = one intercept for all series; any other value
  // (2 = "Parallel") one intercept per series. Default 2.
  int32_t modelType;
  // 11. Test kind of the coefficient re-test: 1 tests exp(b) against 1.0
  // (log-linear model); any other value leaves the test as it is.
  // Default 1.
  int32_t testKind;
  // 12. Jump model: non-zero puts a step at jumpLocation. Default 0.
  int32_t jump;
  // 13. Jump location J. Default -1.0.
  double jumpLocation;
  // 14. Error type: 0 independent errors; 1 and 2 first-order
  // autocorrelated errors. Default 0.
  int32_t errorType;
  // 15. Default false.
  bool bMember15;
  // 16. Default 1.0.
  double scale;
  // 17. a: distinct independent values left out at each end of the
  // candidate-location grid (the minimum observations at the ends).
  // Default 0.
  int32_t minObsAtEnds;
  // 18. b: base of the grid's index numbers (the minimum observations
  // between kinkmarks). Default 0.
  int32_t minObsBetween;
  // 19. c: grid points inserted between neighbouring distinct independent
  // values. Default 0.
  int32_t gridPointsBetween;
  // 20. Default "".
  KmString sMember20;
  // 21, 22. Smallest and largest number of kinkmarks of the fit (the grid
  // search sets both to its k). Default 0.
  int32_t minKinkmarks;
  int32_t maxKinkmarks;
  // 23. Default 0.
  int32_t iMember23;
  // 24. Default 0.0.
  double dMember24;
  // 25. The user's candidate kinkmark locations. Default empty.
  NEWMAT::ColumnVector userLocations;
  // 26. Use userLocations instead of the grid. Default false.
  bool useUserLocations;
  // 27. Resampling mode of the confidence intervals: "Simulating",
  // "SimulatingQuantile", "SimulatingEmpiricalCDF" or
  // "SimulatingEmpiricalCDFConnectedLines". Default "Simulating".
  std::string resamplingMode;
  // 28. Method key of the intervals and p-values ("ZValue", "TValue",
  // "EmpCDFT", "EmpCDFZ", ...). Default "ZValue".
  std::string ciMethod;
  // 29. Order text. Default "ordered".
  KmString order;
  // 30. Default -1.
  int32_t iMember30;
  // 31. Default false.
  bool bMember31;
  // 32. Default 0.
  int32_t iMember32;
  // 33. Default 0.0.
  double dMember33;
  // 34. Optional second cross-product over all design columns; empty when
  // not used. Default 0 x 0.
  NEWMAT::Matrix secondCrossProduct;
  // 35. The all-columns design with its x column moved by xOffset, written
  // by ForAllKinkMKAction::calculateX0AllXAllY. Default 0 x 0.
  NEWMAT::Matrix secondDesign;
  // 36. Default 0.0.
  double dMember36;
  // 37, 38. Default -infinity.
  double dMember37;
  double dMember38;
  // 39. Not touched by setDefaults (empty at construction).
  NEWMAT::ColumnVector vMember39;
  // 40. Default false.
  bool bMember40;
  // 41. Default 0.0.
  double dMember41;
};

#endif  // KM_MODELS_KMREGMODELSETTINGS_H
