// Reading of the data file that a session definition needs before the
// session exists.
#ifndef KM_DRIVER_FRMSESSION_H
#define KM_DRIVER_FRMSESSION_H

#include <cstdint>

#include "foundation/KmString.h"

class frmSession {
 public:
  // The number of observations of the first series of the data file
  // sDataFile: the values of the 0-based column iColumn (fields split at
  // sDelimiter) collected line by line until one repeats, since the file
  // lists the observations of each series one after the other. With
  // bVarNamesIncluded the first line is skipped. A name ending in ".gz" is
  // read through the gzip reader. Returns the count.
  // Throws: KmException (call path "ReadIndependentValues()" of
  // "frmSession") when the file cannot be opened or its compressed data is
  // damaged.
  static int ReadIndependentValues(KmString sDataFile, int16_t iColumn,
                                   bool bVarNamesIncluded, KmString sDelimiter);
};

#endif  // KM_DRIVER_FRMSESSION_H
