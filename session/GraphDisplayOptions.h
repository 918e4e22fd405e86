// The settings of the package's trend graphs, carried in the results file.
#ifndef KM_SESSION_GRAPHDISPLAYOPTIONS_H
#define KM_SESSION_GRAPHDISPLAYOPTIONS_H

#include <cstdint>

#include "foundation/KmString.h"
#include "foundation/KmVector.h"

class KmIO_File;

// GraphDisplayOptions holds the settings of the package's trend graphs (line
// and symbol style, legend, grid, labels, colours, precisions). This program
// draws no graphs: each results-file handler owns one, sets the graph flag
// and the two variable names when it prepares a results file, and writes the
// record right after the run-data block.
//
// Three blocks, all addressed by index:
//  - 14 registry options (doubles; 9999.0 means "not set"), with defaults
//    0 "Color" 0, 1 "Symbol" 1, 2 "Symbol Size" 6, 3 "Show Grid" true,
//    4 "Line Width" 1, 5 "Show Legend" true, 6 "Legend Prec" 2,
//    7 "Comp Symbol" 2, 8 "Show APC Ranges" true, 9 "Legend Location" 0,
//    10 "Kinkmark Labels" false, 11 "Single Color" -16776961 (0xFF0000FF),
//    12 "APC Segment Precision" 1, 13 "CR Estimate Precision" 4. The
//    booleans are 3, 5, 8 and 10.
//  - 14 options (doubles), defaults 0, 0, 1, 0, 0, 0.1, 0, 0, 0, 0, -1, -1,
//    0 (the graph flag), 45. Every option may be set as a boolean.
//  - 3 texts, empty by default; 1 and 2 name the independent and the
//    dependent variable.
// A boolean is stored as 1.0 or 0.0.
//
// Every failing operation adds its name and "GraphDisplayOptions" to the
// call path of the KmException and rethrows it.
class GraphDisplayOptions {
 public:
  static constexpr int32_t kNumRegistryOptions = 14;
  static constexpr int32_t kNumOptions = 14;
  static constexpr int32_t kNumStrings = 3;
  // Option set from the session's kmOptGraphFlag by the results-file handler.
  static constexpr int32_t kGraphFlagOption = 12;
  // Texts naming the independent and the dependent variable.
  static constexpr int32_t kIndependentNameString = 1;
  static constexpr int32_t kDependentNameString = 2;
  // "Not set" marker of a registry option.
  static constexpr double kUnset = 9999.0;

  // Every option at its default, the three texts empty.
  GraphDisplayOptions();

  // Gives each registry option that holds exactly 9999.0 its default, in
  // index order. Throws KmException "Graph Display Registry Option %d has no
  // initialization value." for an unset option without a default.
  void SetUninitializedToDefaults();

  // Stores 1.0 or 0.0 as option iIndex. Throws the KmVector index error when
  // iIndex lies outside 0 to 13.
  void SetBool(int32_t iIndex, bool bValue);
  // Stores 1.0 or 0.0 as registry option iIndex. Throws KmException
  // "Non-Boolean Graph Display Option %d received by function" unless iIndex
  // is 3, 5, 8 or 10.
  void SetRegBool(int32_t iIndex, bool bValue);
  // Stores iValue as registry option iIndex. Throws the KmVector index error
  // when iIndex lies outside 0 to 13.
  void SetRegInt(int32_t iIndex, int32_t iValue);
  // Replaces text iIndex. Throws the KmVector index error when iIndex lies
  // outside 0 to 2; nothing changes then.
  void SetString(int32_t iIndex, KmString sValue);

  // Writes the record: Short 14 and the 14 registry options as Doubles,
  // Short 14 and the 14 options, Short 3 and the 3 texts as CStrings.
  // REQUIRES: pIO is open for writing.
  void Write(KmIO_File* pIO) const;
  // Reads a record written by Write. Each block's count says how many
  // values follow; a count of 0 or below reads none and values beyond the
  // count keep what they held. A count larger than the block (14, 14, 3)
  // throws the KmVector index error when the first surplus value would be
  // stored; the values before it are kept.
  // REQUIRES: pIO is open for reading.
  void Read(KmIO_File* pIO);

 private:
  KmVector<double> dOptions_;
  KmVector<double> dRegOptions_;
  KmVector<KmString> sStrings_;
};

#endif  // KM_SESSION_GRAPHDISPLAYOPTIONS_H
