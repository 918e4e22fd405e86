// The presentation settings of the results: precisions, shown tables and
// columns, and the listed AAPC ranges.
#ifndef KM_SESSION_OUTPUTDISPLAYOPTIONS_H
#define KM_SESSION_OUTPUTDISPLAYOPTIONS_H

#include <cstdint>

#include "foundation/KmString.h"
#include "foundation/KmVector.h"

class KmIO_File;

// The numbered display options by name (the index of each in the table
// above). Callers use these names, never the raw indices.
enum kmDisplayOption : int32_t {
  kmDispXValuesPrec = 0,
  kmDispYValuesPrec = 1,
  kmDispModelStatisticsPrec = 2,
  kmDispKinkmarkPrec = 3,
  kmDispCoefficientsPrec = 4,
  kmDispPValuePrec = 5,
  kmDispShowModelInfo = 6,
  kmDispShowKinkmarks = 7,
  kmDispShowCoefficients = 8,
  kmDispShowAPCs = 9,
  kmDispSegmentRangePrec = 10,
  kmDispDataShowAPCs = 11,
  kmDispDataAPCPrec = 12,
  kmDispShowCovariance = 13,
  kmDispCovariancePrec = 14,
  kmDispShowCorrelation = 15,
  kmDispCorrelationPrec = 16,
  kmDispShowAAPCs = 17,
  kmDispAAPCPrec = 18,
  kmDispAAPCFullRange = 19,
  kmDispAAPCEndRanges = 20,
  kmDispAAPCStartRanges = 21,
  kmDispAAPCCustomRanges = 22,
  kmDispAAPCEndRangesLength = 23,
  kmDispAAPCStartRangesLength = 24,
  kmDispAAPCCustomRangesLength = 25,
  kmDispAAPCFinalRangesLength = 26,
  kmDispTrendShowKinkmarks = 27,
  kmDispTrendKinkmarkPrec = 28,
  kmDispTrendAPCPrec = 29,
  kmDispDataSEPrec = 30,
  kmDispComparisonPValuePrec = 31,
  kmDispComparisonSignificancePrec = 32,
  kmDispDataShowSEs = 33,
  kmDispJumpPrec = 34,
  kmDispCRPrec = 35,
  kmDispShowJump = 36,
  kmDispShowCR = 37,
  kmDispDataMatrixPrec = 38,
  kmDispDataShowMatrix = 39,
  kmDispMADWDPrec = 40,
  kmDispTrendPtPrec = 41,
  kmDispTrendAPCRangePrec = 42,
  kmDispTrendPValuePrec = 43,
};

// The texts by name.
enum kmDisplayString : int32_t {
  kmDispStrEndRanges = 0,
  kmDispStrStartRanges = 1,
  kmDispStrCustomRanges = 2,
  kmDispStrFinalRanges = 3,
};

// OutputDisplayOptions holds 44 numbered numeric settings and 4 texts. Each
// results-file handler owns one and stores it in the results file right
// after the graph display options; the driver overwrites some precisions
// and switches from the export options after reading a results file back,
// and the report and export writers read the settings by index.
//
// Settings are doubles; 9999.0 means "not set". A precision is a number of
// decimals after the point. Booleans hold 1.0 or 0.0 and are the indices of
// IsBooleanOption. Defaults, by index (b = boolean):
//   0 "Data Tab X Val Prec" 0            22 "AAPC Custom Ranges" 1 (mask)
//   1 "Data Tab Y Val Prec" 2            23 "AAPC StrL EndRanges" 4
//   2 "Model Tab Squared Error Prec" 5   24 "AAPC StrL Start Ranges" 0
//   3 "Model Tab Kinkmark Value Prec" 0  25 "AAPC Strl Custom Ranges" 0
//   4 "Model Tab Parameter Estimate      26 "AAPC Strl Final Ranges" 0
//      Prec" 6                           27 "Trend Tab Show Kinkmarks" b true
//   5 "Model Tab F Stat Prec" 7          28 "Trend Tab Kinkmark Value Prec" 0
//   6 "Model Tab Show Model Info" b true 29 "Trend Tab APC Prec" 1
//   7 "Model Tab Show Kinkmarks" b true  30 "Data Tab Standard Error Prec" 2
//   8 "Model Tab Show Regular            31 "Comparison Tab P-Value" 7
//      Coeffeicents" b true              32 "Comparison Tab Significance
//   9 "Model Tab Show APCs" b true          Level" 7
//  10 "Model Tab Segment Range Prec" 0   33 "Data Tab Show SEs" b true
//  11 "Data Tab Show APCs" b false       34 "Model Tab Jump Prec" 5
//  12 "Data Tab APC Prec" 2              35 "Model Tab CR Prec" 5
//  13 "Model Tab Show Covariance         36 "Model Tab Show Jump" b true
//      Matrix" b false                   37 "Model Tab Show CR" b true
//  14 "Model Tab Covariance Prec" 6      38 "Data Tab Matrix Prec" 4
//  15 "Model Tab Show Correlation        39 "Data Tab Show Matrix" b true
//      Matrix" b false                   40 "MADWD Prec" 2
//  16 "Model Tab Correlation Prec" 6     41 "Trends Tab P > |t|" 3
//  17 "Model Tab Show AAPCs" b true      42 "Trends Tab APC Range Prec" 0
//  18 "Model Tab AAPC Prec" 1            43 "Trends Tab P-Value" 3
//  19 "AAPC Full Range" b false
//  20 "AAPC End Ranges" 192: bit 64 selects the first and bit 128 the
//      second entry of text 0 (boolean-typed, holds the mask)
//  21 "AAPC Start Ranges" 0
// Option 22 (boolean-typed) is a mask over the entries of text 2: bits 64,
// 128 and 256 select its first, second and third entry. Options 23 to 26
// hold the lengths of texts 0 to 3.
//
// Texts, comma-separated lists such as "5,10": 0 the AAPC end ranges
// (default "5,10"), 1 the start ranges, 2 the custom ranges, 3 the final
// ranges (all three empty by default).
//
// Every failing operation adds its name and "OutputDisplayOptions" to the
// call path of the KmException and rethrows it.
class OutputDisplayOptions {
 public:
  static constexpr int32_t kNumOptions = 44;
  static constexpr int32_t kNumStrings = 4;
  static constexpr double kUnset = 9999.0;

  // Four empty texts, every option unset, then SetUninitializedToDefault.
  OutputDisplayOptions();

  // Gives each option that holds exactly 9999.0 its default, in index
  // order; option 20 together with text 0 ("5,10"), option 23 the length of
  // "5,10". Other values are left alone.
  void SetUninitializedToDefault();

  // True when iIndex is one of the boolean options 6, 7, 8, 9, 11, 13, 15,
  // 17, 19, 20, 22, 27, 33, 36, 37, 39.
  static bool IsBooleanOption(int32_t iIndex);

  // True when option iIndex equals 1.0 exactly. Throws KmException
  // "Non-Boolean Output Display Option %d received by function" unless
  // IsBooleanOption(iIndex).
  bool GetBool(int32_t iIndex) const;
  // Option iIndex truncated toward zero. Throws the KmVector index error
  // "Index %d out of range; vector is from %d to %d" outside 0 to 43; a
  // KmException "Output Display Option %d holds %g, which is not an integer
  // value." when the slot holds a NaN or a value beyond the int range (only
  // a damaged results file can put one there).
  int32_t GetInt(int32_t iIndex) const;
  // Copies text iIndex into sOut and returns sOut's text. Throws the
  // KmVector index error outside 0 to 3.
  const char* GetString(int32_t iIndex, KmString& sOut) const;
  // Stores 1.0 or 0.0. Throws as GetBool.
  void SetBool(int32_t iIndex, bool bValue);
  // Stores iValue (any index, the boolean ones included). Throws as GetInt.
  void SetInt(int32_t iIndex, int32_t iValue);

  // Writes the record: Short 44, the 44 options as Doubles, Short 4, the
  // four texts each followed by a zero byte.
  // REQUIRES: pIO is open for writing.
  void Write(KmIO_File* pIO) const;
  // Reads the record written by Write, of a results file of version
  // dFileVersion. Options beyond the stored count keep their values; a
  // count above 44 reads and discards the surplus. Below version 4.9
  // option 42 becomes option 28; below version 3.1 (compared at three
  // decimals) no texts are stored and the texts keep their values. A text
  // count above 4 throws the KmVector index error after the fourth text. A
  // record that the file does not hold whole throws KmException
  // "Error:  This file is not a valid Kinkmark file."; what was read before
  // stays.
  // REQUIRES: pIO is open for reading.
  void Read(KmIO_File* pIO, double dFileVersion);

 private:
  KmVector<double> options_;
  KmVector<KmString> strings_;
};

#endif  // KM_SESSION_OUTPUTDISPLAYOPTIONS_H
