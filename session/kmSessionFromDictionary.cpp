// kmSession built from a VESK*Stat data dictionary: the constructor
// kmSession(const VSExportDict&, bool), AddDictionaryProblem, GetStatType
// and SetHeterFromDict (ReadIniDictionary is in
// kmSessionReadDictionary.cpp).
#include <cstdint>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmFileName.h"
#include "session/VSExportDict.h"
#include "session/kmSession.h"

namespace {

const char kClassName[] = "kmSession";

// Keywords of the statistics, by code; "STD POP" and "STANDARD POPULATION"
// both give 11.
struct StatKeyword {
  const char* sKeyword;
  int iCode;
};
const StatKeyword kStatKeywords[] = {
    {"COUNT", 0},
    {"TREND", 1},
    {"AGE-ADJUSTED RATE", 2},
    {"CRUDE RATE", 3},
    {"POPULATION", 4},
    {"CRUDE RATE/TREND", 5},
    {"AGE-ADJUSTED RATE/TREND", 6},
    {"STANDARD ERROR", 7},
    {"STANDARD ERROR/P-VALUE", 8},
    {"LOWER CONFIDENCE INTERVAL", 9},
    {"UPPER CONFIDENCE INTERVAL", 10},
    {"STD POP", 11},
    {"STANDARD POPULATION", 11},
    {"RATE RATIO", 12},
    {"RATIO LOWER CONFIDENCE INTERVAL", 13},
    {"RATIO UPPER CONFIDENCE INTERVAL", 14},
    {"RATIO P-VALUE", 15},
    {"DELAY RATE", 16},
    {"DELAY CRUDE RATE", 17},
    {"DELAY AGE-ADJUSTED RATE", 18},
    {"DELAY TREND", 19},
    {"DELAY RATE/TREND", 20},
    {"DELAY CRUDE RATE/TREND", 21},
    {"DELAY AGE-ADJUSTED RATE/TREND", 22},
    {"DELAY COUNT", 23},
    {"DELAY SE", 24},
    {"DELAY LOWER CI", 25},
    {"DELAY UPPER CI", 26},
    {"DELAY ROW PERCENT", 27},
    {"DELAY CUM ROW PERCENT", 28},
    {"DELAY COLUMN PERCENT", 29},
    {"DELAY CUM COLUMN PERCENT", 30},
    {"DELAY RATE RATIO", 31},
    {"DELAY RATIO LOWER CI", 32},
    {"DELAY RATIO UPPER CI", 33},
    {"DELAY RATIO P-VALUE", 34},
    {"DELAY SE/P-VALUE", 35},
    {"IMPLICIT DELAY FACTOR", 36},
    {"IMPLICIT DELAY FACTOR (RATE)", 37},
    {"IMPLICIT DELAY FACTOR (COUNT)", 38},
    {"COMPOSITE DELAY FACTOR (COUNT)", 39},
    {"COMPOSITE DELAY FACTOR (RATE)", 40},
    {"DISPARITY", 41},
};

// The full path of a file name kept by a dictionary.
KmString FullName(const KmFileName& fileName) {
  return KmString(KmFileName(fileName).GetFullName());
}

}  // namespace

kmSession::kmSession(const VSExportDict& dict, bool bFromPositions)
    : iNumCores_(kDefaultNumCores) {
  const KmString sDictionary = FullName(dict.GetDictionaryFile());
  WithCallPath("kmSession(const VSExportDict & )", kClassName,
               sDictionary.GetCString(), [&] {
                 Init();
                 bool bConverted = false;
                 try {
                   bConverted = ReadIniDictionary(dict, bFromPositions);
                 } catch (KmException& e) {
                   // What the conversion raises is a fault of the dictionary.
                   e.SetKind(KmException::kInputErrorKind);
                   throw;
                 }
                 SetBool(kmOptDisparityDict,
                         dict.GetSessionType() == kVSDisparity);
                 if (!bConverted) {
                   // The problems are recorded in the session, but a session
                   // that could not be converted must not go on into a run as
                   // if it had been.
                   GenerateKmInputExceptionF("%s", kClassName,
                                             sDictionaryMessages_.GetCString());
                 }
               });
}

void kmSession::AddDictionaryProblem(const char* sMessage) {
  bDictionaryError_ = true;
  sDictionaryMessages_ << sMessage;
}

int kmSession::GetStatType(const KmString& sName) {
  return WithCallPath("GetStatType()", kClassName, [&]() -> int {
    KmString sKey(sName);
    sKey.Trim();
    sKey.MakeUpper();
    for (const StatKeyword& keyword : kStatKeywords) {
      if (sKey == keyword.sKeyword) return keyword.iCode;
    }
    return 42;  // not a statistic: a table variable
  });
}

void kmSession::SetHeterFromDict(int16_t iRate, int16_t iCount, int16_t iSE,
                                 int16_t iPopulation, int16_t iStdPop,
                                 int16_t iDelayRate, int16_t iDelayCount,
                                 int16_t iDelaySE, int16_t iDisparity) {
  WithCallPath("SetHeterFromDict()", kClassName, [&] {
    if (iRate < 0 || iCount < 0 || iSE < 0) {
      GenerateKmException(
          "Error setting positions from VESK*Stat "
          "dictionary.",
          "SetHeterFromDict()");
    }
    kmErrorModel model = kmErrorModel::kConstantVariance;
    // The count-based roles, shared by a plain count and a disparity.
    bool bFromCount = false;
    if (iRate > 0) {
      SetKMVarPosition(kmVarDependent, iRate);
      if (iSE > 0) {
        SetKMVarPosition(kmVarStdError, iSE);
        model = kmErrorModel::kStandardError;
      } else {
        model = kmErrorModel::kConstantVariance;
      }
      if (iDelaySE > 0) SetKMVarPosition(kmVarDelaySE, iDelaySE);
    } else if (iCount == 0 && iDelayRate == 0) {
      if (iDelayCount == 0 && iDisparity == 0) {
        GenerateKmException(
            "Error in dictionary.  Rate, count, or disparity "
            "required.",
            "SetHeterFromDict()");
      }
      bFromCount = true;
    } else if (iDelayRate > 0) {
      SetKMVarPosition(kmVarDelayRate, iDelayRate);
      if (iDelaySE > 0) {
        SetKMVarPosition(kmVarDelaySE, iDelaySE);
        model = kmErrorModel::kStandardError;
      } else {
        model = kmErrorModel::kConstantVariance;
      }
    } else if (iPopulation > 0 && iStdPop > 0) {
      // Counts with both populations: the program calculates age-adjusted
      // rates with their standard errors. The counts are the response the
      // rates are formed from, as a session-parameter file's count location
      // makes them.
      SetKMVarPosition(kmVarPopulation, iPopulation);
      SetKMVarPosition(kmVarStdPopulation, iStdPop);
      SetKMVarPosition(kmVarCount, iCount);
      SetKMVarPosition(kmVarDependent, iCount);
      model = kmErrorModel::kStandardError;
    } else {
      bFromCount = true;
    }

    if (bFromCount) {
      if (iDisparity == 0) {
        SetKMVarPosition(kmVarDependent, iCount > 0 ? iCount : iDelayCount);
        if (iPopulation > 0) {
          SetKMVarPosition(kmVarPopulation, iPopulation);
          model = kmErrorModel::kPoissonRate;
        } else {
          model = kmErrorModel::kPoissonCount;
        }
      } else {
        SetKMVarPosition(kmVarCount, iDisparity);
        SetKMVarPosition(kmVarDependent, iDisparity);
        if (iSE > 0) {
          SetKMVarPosition(kmVarStdError, iSE);
          model = kmErrorModel::kStandardError;
        } else {
          model = kmErrorModel::kConstantVariance;
        }
      }
    }
    SetHeterOptions(model);
  });
}
