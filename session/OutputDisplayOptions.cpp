// OutputDisplayOptions: defaults, typed access and the results-file record.
#include "session/OutputDisplayOptions.h"

#include <cstring>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/kmTools.h"
#include "session/internal/SessionBlockReader.h"

namespace {

const char* const kClass = "OutputDisplayOptions";
const char* const kDefaultEndRanges = "5,10";

// Default of each option; the boolean ones hold 1 or 0.
constexpr int32_t kDefaults[OutputDisplayOptions::kNumOptions] = {
    0,   2, 5, 0, 6, 7, 1, 1, 1, 1,  // 0-9
    0,   0, 2, 0, 6, 0, 6, 1, 1, 0,  // 10-19
    192, 0, 1, 4, 0, 0, 0, 1, 0, 1,  // 20-29
    2,   7, 7, 1, 5, 5, 1, 1, 4, 1,  // 30-39
    2,   3, 0, 3};                   // 40-43

// Options 20 and 22 are boolean-typed but hold bit masks, so they take
// their defaults as integers.
bool IsMaskOption(int32_t iIndex) {
  return iIndex == kmDispAAPCEndRanges || iIndex == kmDispAAPCCustomRanges;
}

}  // namespace

OutputDisplayOptions::OutputDisplayOptions() {
  WithCallPath("OutputDisplayOptions()", kClass, [&] {
    strings_.assign(kNumStrings, KmString(""));
    options_.assign(kNumOptions, kUnset);
    SetUninitializedToDefault();
  });
}

void OutputDisplayOptions::SetUninitializedToDefault() {
  WithCallPath("SetUninitializedToDefault()", kClass, [&] {
    for (int32_t i = 0; i < static_cast<int32_t>(options_.size()); ++i) {
      if (options_[i] != kUnset) continue;
      if (i >= kNumOptions) {
        GenerateKmExceptionF(
            "Output Display Option %d has no initialization value.", kClass, i);
      }
      if (i == kmDispAAPCEndRanges) {
        SetInt(i, kDefaults[i]);
        strings_[kmDispStrEndRanges] = kDefaultEndRanges;
      } else if (i == kmDispAAPCEndRangesLength) {
        SetInt(i, static_cast<int32_t>(std::strlen(kDefaultEndRanges)));
      } else if (IsBooleanOption(i) && !IsMaskOption(i)) {
        SetBool(i, kDefaults[i] != 0);
      } else {
        SetInt(i, kDefaults[i]);
      }
    }
  });
}

bool OutputDisplayOptions::IsBooleanOption(int32_t iIndex) {
  switch (iIndex) {
    case kmDispShowModelInfo:
    case kmDispShowKinkmarks:
    case kmDispShowCoefficients:
    case kmDispShowAPCs:
    case kmDispDataShowAPCs:
    case kmDispShowCovariance:
    case kmDispShowCorrelation:
    case kmDispShowAAPCs:
    case kmDispAAPCFullRange:
    case kmDispAAPCEndRanges:
    case kmDispAAPCCustomRanges:
    case kmDispTrendShowKinkmarks:
    case kmDispDataShowSEs:
    case kmDispShowJump:
    case kmDispShowCR:
    case kmDispDataShowMatrix:
      return true;
    default:
      return false;
  }
}

bool OutputDisplayOptions::GetBool(int32_t iIndex) const {
  return WithCallPath("GetBool()", kClass, [&]() -> bool {
    if (!IsBooleanOption(iIndex)) {
      GenerateKmExceptionF(
          "Non-Boolean Output Display Option %d received by function", kClass,
          iIndex);
    }
    return options_[iIndex] == 1.0;
  });
}

int32_t OutputDisplayOptions::GetInt(int32_t iIndex) const {
  return WithCallPath("GetInt()", kClass, [&]() -> int32_t {
    const double dValue = options_[iIndex];
    // Only whole numbers are stored here, but a damaged results file can put
    // any double into a slot; converting one beyond the int range would be
    // undefined.
    if (!(dValue > -2147483649.0 && dValue < 2147483648.0)) {
      GenerateKmExceptionF(
          "Output Display Option %d holds %g, which is not an integer value.",
          kClass, iIndex, dValue);
    }
    return static_cast<int32_t>(dValue);
  });
}

const char* OutputDisplayOptions::GetString(int32_t iIndex,
                                            KmString& sOut) const {
  return WithCallPath("GetString()", kClass, [&]() -> const char* {
    sOut = strings_[iIndex];
    return sOut.GetCString();
  });
}

void OutputDisplayOptions::SetBool(int32_t iIndex, bool bValue) {
  WithCallPath("SetBool()", kClass, [&] {
    if (!IsBooleanOption(iIndex)) {
      GenerateKmExceptionF(
          "Non-Boolean Output Display Option %d received by function", kClass,
          iIndex);
    }
    options_[iIndex] = bValue ? 1.0 : 0.0;
  });
}

void OutputDisplayOptions::SetInt(int32_t iIndex, int32_t iValue) {
  WithCallPath("SetInt()", kClass,
               [&] { options_[iIndex] = static_cast<double>(iValue); });
}

void OutputDisplayOptions::Write(KmIO_File* pIO) const {
  WithCallPath("Write()", kClass, [&] {
    pIO->WriteShort(static_cast<int16_t>(kNumOptions));
    for (int32_t i = 0; i < kNumOptions; ++i) pIO->WriteDouble(options_[i]);
    pIO->WriteShort(static_cast<int16_t>(kNumStrings));
    for (int32_t i = 0; i < kNumStrings; ++i) {
      pIO->WriteString(strings_[i].GetCString(), true);
    }
  });
}

void OutputDisplayOptions::Read(KmIO_File* pIO, double dFileVersion) {
  WithCallPath("Read()", kClass, [&] {
    KmCheckedReader in = km_session_internal::SessionBlockReader(pIO, kClass);
    int32_t iCount = in.ReadShort();
    for (int32_t i = 0; i < iCount; ++i) {
      double dValue = in.ReadDouble();
      // A stored count above 44 is read past, never stored past the last
      // slot, so the record is consumed whole.
      if (i < kNumOptions) options_[i] = dValue;
    }
    if (dFileVersion < 4.9)
      options_[kmDispTrendAPCRangePrec] = options_[kmDispTrendKinkmarkPrec];
    if (kmTools::CompareVersionNumbers(dFileVersion, 3.1) == 1) return;
    int32_t iStrings = in.ReadShort();
    for (int32_t i = 0; i < iStrings; ++i) {
      KmString& sText = strings_[i];
      in.ReadString(sText);
    }
  });
}
