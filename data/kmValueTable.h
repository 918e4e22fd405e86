// The numeric table of one clustered cohort as the clustering steps pass it
// around: per independent value, a list of rows of doubles.
#ifndef KM_DATA_KMVALUETABLE_H
#define KM_DATA_KMVALUETABLE_H

#include "foundation/KmVector.h"

// One row of numbers (one record, or one adjustment group's totals).
using kmValueRow = KmVector<double>;
// The rows of one independent value, in record or group order.
using kmValueRows = KmVector<kmValueRow>;
// The whole cohort: one entry per independent value, in file order.
using kmValueTable = KmVector<kmValueRows>;

#endif  // KM_DATA_KMVALUETABLE_H
