// The in-memory form of a cohort's records as the data readers split them.
#ifndef KM_DATA_KMCOHORTROWS_H
#define KM_DATA_KMCOHORTROWS_H

#include <vector>

#include "foundation/KmString.h"

// One record of the data file split into its field texts, in column order.
typedef std::vector<KmString> kmRecordRow;

// The records of one cohort (or of the cohort read last), in file order.
typedef std::vector<kmRecordRow> kmCohortRows;

#endif  // KM_DATA_KMCOHORTROWS_H
