// KMPartitionMatrix: copying and clear.
#include "models/KMPartitionMatrix.h"

#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

KMPartitionMatrix::KMPartitionMatrix(const KMPartitionMatrix& src) {
  *this = src;
}

KMPartitionMatrix& KMPartitionMatrix::operator=(const KMPartitionMatrix& src) {
  WithStandardCatch([&] {
    if (this == &src) return;
    labels = src.labels;
    matrix = src.matrix;
  });
  return *this;
}

KMPartitionMatrix::~KMPartitionMatrix() { clear(); }

void KMPartitionMatrix::clear() {
  WithStandardCatch([&] {
    labels.clear();
    matrix.CleanUp();
  });
}
