// The design-matrix builder shared by BaseKMRegModel::calculateX0AllXAllY
// and BaseKMRegModel::prepare_BaseKMRegModel_FittingData, without their
// error conversion, so that a failure is reported once, under the name of
// the method the caller called.
#ifndef KM_MODELS_INTERNAL_DESIGNCOLUMNS_H
#define KM_MODELS_INTERNAL_DESIGNCOLUMNS_H

#include <newmat.h>

#include <cstdint>

#include "foundation/OneDimensionArray.h"

namespace km_models_internal {

// Returns the total number of stacked observations of the series after
// checking that xValues and yValues have the same size and that each
// series' x and y have the same length.
// Throws: KmException with source sSource when they do not.
int32_t CountStackedObservations(
    const OneDimensionArray<NEWMAT::ColumnVector>& xValues,
    const OneDimensionArray<NEWMAT::ColumnVector>& yValues,
    const char* sSource);

// The body of BaseKMRegModel::calculateX0AllXAllY (see BaseKMRegModel.h).
// Throws: as CountStackedObservations, and KmException with source sSource
// when p < 1; the matrix library's exceptions.
void BuildKinkmarkDesign(NEWMAT::Matrix& X, NEWMAT::ColumnVector& allX,
                         NEWMAT::ColumnVector& allY,
                         const OneDimensionArray<NEWMAT::ColumnVector>& xValues,
                         const OneDimensionArray<NEWMAT::ColumnVector>& yValues,
                         int32_t p, const NEWMAT::ColumnVector& tau,
                         int32_t modelType, int32_t jump, double jumpLocation,
                         int32_t splineCode, const char* sSource);

}  // namespace km_models_internal

#endif  // KM_MODELS_INTERNAL_DESIGNCOLUMNS_H
