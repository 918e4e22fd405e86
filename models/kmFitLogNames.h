// kmFitLogNames: the file name and labels of the fitting log.
#ifndef KM_MODELS_KMFITLOGNAMES_H
#define KM_MODELS_KMFITLOGNAMES_H

#include "foundation/KmString.h"

// The names used when a fit writes its diagnostic log: the log file and
// the labels of the observed and the simulated data sets.
struct kmFitLogNames {
  // The log file, "LogFile.txt".
  KmString logFileName = "LogFile.txt";
  // The label of the observed data set, "Observed".
  KmString observedLabel = "Observed";
  // The label of a simulated data set, "Simulation".
  KmString simulationLabel = "Simulation";
};

#endif  // KM_MODELS_KMFITLOGNAMES_H
