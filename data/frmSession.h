// Reading of the data file that a session definition needs before the
// session exists.
#ifndef KM_DATA_FRMSESSION_H
#define KM_DATA_FRMSESSION_H

#include <cstdint>

#include "foundation/KmString.h"

class frmSession {
 public:
  // The number of observations of the first series of the data file
  // sDataFile: the values of the 0-based column iColumn (fields split at
  // sDelimiter) collected line by line until one repeats, since the file
  // lists the observations of each series one after the other. With
  // bVarNamesIncluded the first line is skipped; blank lines hold no value.
  // The file is read through KmLineSource (gzip for a ".gz" name). Returns
  // the count.
  // Throws: KmException (call path "ReadIndependentValues()" of
  // "frmSession") "Unable to open data file \"<name>\"." when the file
  // cannot be opened; the line source's errors.
  static int ReadIndependentValues(KmString sDataFile, int16_t iColumn,
                                   bool bVarNamesIncluded, KmString sDelimiter);
};

#endif  // KM_DATA_FRMSESSION_H
