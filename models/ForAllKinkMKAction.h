// ForAllKinkMKAction: the fit engine of the grid searches.
#ifndef KM_MODELS_FORALLKINKMKACTION_H
#define KM_MODELS_FORALLKINKMKACTION_H

#include <cstdint>

#include <newmat.h>

// Members and fit results of the engine (object and lifecycle section).
#include "foundation/OneDimensionArray.h"
#include "models/KMModelScoreRec.h"
#include "models/KMRegFitStats.h"
#include "models/KMRegModelSettings.h"
#include "models/KMSeriesSet.h"
#include "models/KinkMKFitResult.h"

// ForAllKinkMKAction fits kinkmark models for the calculator's grid
// searches: it holds the data of one series set, the model settings and the
// working state of a search over kinkmark locations.
//
// Each group of methods below is defined in its own ForAllKinkMKAction<Concern>
// source file. New groups are added as their own commented sections.
class ForAllKinkMKAction {
 public:
  // ---- Kinkmark-location enumeration (ForAllKinkMKActionEnumeration.cpp) ----
  //
  // The placement iterator of the engine's own location search, with the
  // same steps, order and results as BaseKMRegModel::first_TauIndices,
  // next_TauIndices and next_TauIndices_Recursive (see BaseKMRegModel.h for
  // placements, the successor table L and the caller's loop). The first
  // placement with the smallest SSE wins a tie, so the lexicographic order is
  // part of the search's result.

  // Writes the lexicographically smallest admissible placement into T and
  // answers true, or answers false when there is none. k = 0 answers true.
  // REQUIRES: T has k rows; L has m rows.
  static bool first_TauIndices(NEWMAT::ColumnVector& T,
                               const NEWMAT::ColumnVector& L);

  // Steps T to the next admissible placement and answers true, or answers
  // false after the last one (T must then not be used).
  static bool next_TauIndices(NEWMAT::ColumnVector& T,
                              const NEWMAT::ColumnVector& L);

  // One step of next_TauIndices at position j (1-based), carrying to j - 1
  // when the rebuilt tail does not fit; false when j = 0 or exhausted.
  static bool next_TauIndices_Recursive(NEWMAT::ColumnVector& T,
                                        const NEWMAT::ColumnVector& L,
                                        int32_t j);
  // ---- end of kinkmark-location enumeration ----

  // ---- Object, lifecycle and entry routines (ForAllKinkMKActionLifetime.cpp,
  // ForAllKinkMKActionShift.cpp, ForAllKinkMKActionRunFit.cpp,
  // ForAllKinkMKActionPositiveDefinite.cpp) ----
  //
  // The engine is a plain value object (no virtual operations): built, filled
  // by one fit, read, and destroyed or reused after clear. Every routine but
  // the constructor writes "Standard exception: <text>" to standard output
  // when a standard exception passes, and rethrows it; other exceptions (the
  // matrix library's) pass untouched.

  // workMatrix 0 x 0, seriesSet empty, settings at their defaults, every
  // array empty, fitStats reset.
  ForAllKinkMKAction();
  // A deep copy of src (built with the start values, then assigned).
  ForAllKinkMKAction(const ForAllKinkMKAction& src);
  // Copies every member in declaration order. Returns this object.
  ForAllKinkMKAction& operator=(const ForAllKinkMKAction& src);
  // Calls clear.
  ~ForAllKinkMKAction();

  // The start values: workMatrix 0 x 0, settings.setDefaults, fitStats.reset.
  // seriesSet and the arrays keep their contents.
  void init();
  // In this order: workMatrix 0 x 0; seriesSet cleared and its matrix
  // 0 x 0; settings cleared and back at their defaults; fitResults,
  // modelScores, vectorSets (each inner array first), fitResultSets, values
  // and modelScoreSets released to size 0; fitStats cleared.
  void clear();

  // Moves a fitted model and its independent values by c along the x axis;
  // the model b(i) + b(p) x + ... is unchanged when x becomes x + c and
  // every level parameter is lowered by b(p) c:
  //  1. c is added to every element of every vector of xValues;
  //  2. c is added to every element of result.tauLimits, then of result.tau;
  //  3. with p = result.p: beta(i) -= beta(p) * c for i = 1..p - 1 (nothing
  //     when p <= 1);
  //  4. when result.settings.jump is non-zero, c is added to
  //     result.settings.jumpLocation.
  // Throws: the matrix library's index error when result.beta has fewer
  // than p entries (p > 1).
  static void shift_XValues(OneDimensionArray<NEWMAT::ColumnVector>& xValues,
                            KinkMKFitResult& result, double c);

  // Refits the model held in result on seriesSet under result.settings and
  // completes result: builds a local engine whose seriesSet is seriesSet and
  // whose settings are result.settings, runs its fit_KinkMKModel on result,
  // and copies its fitStats into result.fitStats. Exceptions of the fit
  // pass on after the local engine is destroyed; result then holds what the
  // fit had written.
  static void run_Fit(const KMSeriesSet& seriesSet, KinkMKFitResult& result);

  // The engine's own positive-definiteness test and generalised inverse:
  // the same steps, tolerance (1e-8) and results as check_PositiveDefinite
  // (models/PositiveDefinite.h), to which it forwards. Returns true when no
  // negative pivot was met; inverse then holds the generalised inverse of
  // the n x n matrix A and rank the number of kept pivots.
  static bool isPositiveDefinite(int n, const NEWMAT::Matrix& A,
                                 NEWMAT::Matrix& inverse, int16_t& rank);

  // The segment-form refit of the model held in result (defined with the
  // refit; see run_Fit). Writes this engine's fitStats and result's
  // jumpVector, levelVector and jumpRetest.
  void fit_KinkMKModel(KinkMKFitResult& result);

  // Matrix used by the fit.
  NEWMAT::Matrix workMatrix;
  // The data of the fit: per series a label, the independent values and the
  // responses, and the symmetric matrix over the observations.
  KMSeriesSet seriesSet;
  // The model settings of the fit.
  KMRegModelSettings settings;
  // Working arrays held for the users of the engine (the search and the
  // refit do not read them); released by clear.
  OneDimensionArray<KinkMKFitResult> fitResults;
  OneDimensionArray<KMModelScoreRec> modelScores;
  OneDimensionArray<OneDimensionArray<NEWMAT::ColumnVector>> vectorSets;
  OneDimensionArray<OneDimensionArray<KinkMKFitResult>> fitResultSets;
  OneDimensionArray<int32_t> values;
  OneDimensionArray<OneDimensionArray<KMModelScoreRec>> modelScoreSets;
  // Statistics of the last fit; copied out by run_Fit.
  KMRegFitStats fitStats;
  // ---- end of object, lifecycle and entry routines ----
};

#endif  // KM_MODELS_FORALLKINKMKACTION_H
