// GraphDisplayOptions: defaults, setters and the results-file record.
#include "session/GraphDisplayOptions.h"

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"

namespace {

const char kClassName[] = "GraphDisplayOptions";

// Registry defaults in index order; the booleans hold 1.0 or 0.0.
// Index 11 is the colour 0xFF0000FF read as a signed 32-bit integer.
constexpr double kRegistryDefaults[GraphDisplayOptions::kNumRegistryOptions] = {
    0, 1, 6, 1, 1, 1, 2, 2, 1, 0, 0, -16776961, 1, 4};

constexpr double kOptionDefaults[GraphDisplayOptions::kNumOptions] = {
    0, 0, 1, 0, 0, 0.1, 0, 0, 0, 0, -1, -1, 0, 45};

bool IsRegistryBoolean(int32_t iIndex) {
  return iIndex == 3 || iIndex == 5 || iIndex == 8 || iIndex == 10;
}

}  // namespace

GraphDisplayOptions::GraphDisplayOptions() {
  WithCallPath("GraphDisplayOptions()", kClassName, [&] {
    dRegOptions_.assign(kNumRegistryOptions, kUnset);
    SetUninitializedToDefaults();
    sStrings_.assign(kNumStrings, KmString());
    dOptions_.assign(kOptionDefaults, kOptionDefaults + kNumOptions);
  });
}

void GraphDisplayOptions::SetUninitializedToDefaults() {
  WithCallPath("SetUninitializedToDefaults()", kClassName, [&] {
    const int32_t iCount = static_cast<int32_t>(dRegOptions_.size());
    for (int32_t i = 0; i < iCount; ++i) {
      if (dRegOptions_[i] != kUnset) continue;
      if (i >= kNumRegistryOptions) {
        GenerateKmExceptionF(
            "Graph Display Registry Option %d has no initialization value.",
            kClassName, i);
      }
      if (IsRegistryBoolean(i)) {
        SetRegBool(i, kRegistryDefaults[i] == 1.0);
      } else {
        SetRegInt(i, static_cast<int32_t>(kRegistryDefaults[i]));
      }
    }
  });
}

void GraphDisplayOptions::SetBool(int32_t iIndex, bool bValue) {
  WithCallPath("SetBool(Option, bool)", kClassName, [&] {
    // Every option of this block may hold a switch.
    dOptions_[iIndex] = bValue ? 1.0 : 0.0;
  });
}

void GraphDisplayOptions::SetRegBool(int32_t iIndex, bool bValue) {
  WithCallPath("SetRegBool(RegistryOption, bool)", kClassName, [&] {
    if (!IsRegistryBoolean(iIndex)) {
      GenerateKmExceptionF(
          "Non-Boolean Graph Display Option %d received by function",
          kClassName, iIndex);
    }
    dRegOptions_[iIndex] = bValue ? 1.0 : 0.0;
  });
}

void GraphDisplayOptions::SetRegInt(int32_t iIndex, int32_t iValue) {
  WithCallPath("SetRegInt(RegistryOption, int)", kClassName,
               [&] { dRegOptions_[iIndex] = static_cast<double>(iValue); });
}

void GraphDisplayOptions::SetString(int32_t iIndex, KmString sValue) {
  WithCallPath("SetString()", kClassName, [&] { sStrings_[iIndex] = sValue; });
}

void GraphDisplayOptions::Write(KmIO_File* pIO) const {
  WithCallPath("Write()", kClassName, [&] {
    pIO->WriteShort(static_cast<int16_t>(kNumRegistryOptions));
    for (int32_t i = 0; i < kNumRegistryOptions; ++i) {
      pIO->WriteDouble(dRegOptions_[i]);
    }
    pIO->WriteShort(static_cast<int16_t>(kNumOptions));
    for (int32_t i = 0; i < kNumOptions; ++i) pIO->WriteDouble(dOptions_[i]);
    pIO->WriteShort(static_cast<int16_t>(kNumStrings));
    for (int32_t i = 0; i < kNumStrings; ++i) {
      pIO->WriteCString(sStrings_[i].GetCString());
    }
  });
}

void GraphDisplayOptions::Read(KmIO_File* pIO) {
  WithCallPath("Read()", kClassName, [&] {
    // The checked element access refuses a stored count larger than the
    // block, so a damaged record never writes past the last slot.
    const int16_t iRegCount = pIO->ReadShort();
    for (int32_t i = 0; i < iRegCount; ++i) {
      const double dValue = pIO->ReadDouble();
      dRegOptions_[i] = dValue;
    }
    const int16_t iOptCount = pIO->ReadShort();
    for (int32_t i = 0; i < iOptCount; ++i) {
      const double dValue = pIO->ReadDouble();
      dOptions_[i] = dValue;
    }
    const int16_t iStrCount = pIO->ReadShort();
    for (int32_t i = 0; i < iStrCount; ++i) {
      KmString sValue;
      pIO->ReadCString(sValue);
      sStrings_[i] = sValue;
    }
  });
}
