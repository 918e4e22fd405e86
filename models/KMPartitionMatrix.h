// KMPartitionMatrix: labelled rows of numbers read from a matrix file.
#ifndef KM_MODELS_KMPARTITIONMATRIX_H
#define KM_MODELS_KMPARTITIONMATRIX_H

#include <newmat.h>

#include <string>
#include <vector>

// The labelled rows of a comma-separated matrix file: the label of each
// data line and one matrix row of its numbers (columns 1 to 3: independent
// value, dependent value, standard error). The reader refuses a line with
// too few numbers, so label i belongs to row i.
//
// A value class (no virtual operations): construction leaves both members
// empty; copies are deep; destruction runs clear. Assignment and clear pass
// every exception on; a KmException passing them collects a "Standard
// exception: <text>" report, which the driver writes to standard output.
class KMPartitionMatrix {
 public:
  // No labels, a 0 x 0 matrix.
  KMPartitionMatrix() = default;
  // A deep copy of src (built empty, then assigned).
  KMPartitionMatrix(const KMPartitionMatrix& src);
  // Copies the labels and the matrix. Returns this object.
  KMPartitionMatrix& operator=(const KMPartitionMatrix& src);
  // Calls clear.
  ~KMPartitionMatrix();

  // Empties the labels and resizes the matrix to 0 x 0.
  void clear();

  // The label of every data line, in file order, untrimmed.
  std::vector<std::string> labels;
  // One row of numbers per data line, in file order.
  NEWMAT::Matrix matrix;
};

#endif  // KM_MODELS_KMPARTITIONMATRIX_H
