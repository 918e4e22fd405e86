// Reader of the comma-separated matrix file of the multi-group clustering.
#ifndef KM_MODELS_MATRIXCSVFILE_H
#define KM_MODELS_MATRIXCSVFILE_H

#include <string>

#include "models/KMPartitionMatrix.h"

// Reads a small comma-separated text file of labelled rows into result.
//
// File layout (lines end in "\n" or "\r\n", read by KmLineSource):
//   line 1      a header, echoed and not parsed;
//   every other line: label,number,number,number[,ignored fields...]
// The label is the whole first field, untrimmed. There is no quoting: a
// comma always separates. A number is a decimal number as a stream reads a
// double, with optional blanks around it and nothing else in the field.
// Empty lines, and lines of blanks only, are skipped.
//
// Every line read, the header included, is written to standard output with
// a line end (the clustering's log of the file it used), its controls shown
// (PrintShown).
//
// On success result.labels holds the label of every data line and
// result.matrix (r x 3) its three numbers, one row per label, in file order
// (r = 0 gives a 0 x 3 matrix).
//
// Throws KmException (result is then left empty: no labels, 0 x 3):
//   - "Unable to open file \"<name>\" for reading." when the file cannot be
//     opened;
//   - KmLineSource's errors (the file named as a "Matrix file") when a read
//     fails part-way or a line is refused (a NUL byte, a carriage return with
//     text after it, no line end within its limit);
//   - kind 3 (an error in the user's input) when a data line has fewer than
//     four fields, or a number field is empty or not a whole number
//     ("1.5abc", "x"); the message names the file, the line and the field.
// The call path names readMatrixFromCSVFile. A KmException from below
// collects a "Standard exception: <text>" report, which the driver writes to
// standard output.
//
// Files are opened through the installed KmFileSystem.
void readMatrixFromCSVFile(KMPartitionMatrix& result,
                           const std::string& sFileName);

#endif  // KM_MODELS_MATRIXCSVFILE_H
