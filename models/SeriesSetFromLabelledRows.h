// The series set of labelled rows of numbers, one series per distinct label.
#ifndef KM_MODELS_SERIESSETFROMLABELLEDROWS_H
#define KM_MODELS_SERIESSETFROMLABELLEDROWS_H

#include <cstdint>

#include "models/KMPartitionMatrix.h"
#include "models/KMSeriesSet.h"

// Builds out from the N labelled rows of `rows` (columns 1, 2, 3: x, y and
// the standard error se of y) and returns out:
//  - one series per distinct label (byte-wise comparison), in the order of
//    the label's first row; a series holds its rows in table order, with
//    x(t) = M(r, 1) and y(t) = M(r, 2);
//  - out.covariance is N x N and diagonal over the rows in output order
//    (series by series): V(m, m) = se^2;
//  - logFlag 1 (log-linear model): y(t) = ln M(r, 2) and V(m, m) =
//    se^2 / M(r, 2)^2, the delta-method variance of ln y; no check is made
//    for M(r, 2) <= 0, which gives non-finite values;
//  - weightFlag 0 (unweighted): every V(m, m) = 1.0, overriding the above.
// out's previous contents are released.
// Throws: KmException with source "build_SeriesSetFromLabelledRows" when
// the number of labels differs from the number of matrix rows (the rows
// would be paired with the wrong labels); the matrix library's index error
// when the matrix has fewer than 3 columns. A KmException passing it collects
// a "Standard exception: <text>" report, which the driver writes to standard
// output.
KMSeriesSet& build_SeriesSetFromLabelledRows(KMSeriesSet& out,
                                             const KMPartitionMatrix& rows,
                                             int32_t logFlag,
                                             int32_t weightFlag);

#endif  // KM_MODELS_SERIESSETFROMLABELLEDROWS_H
