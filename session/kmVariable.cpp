// kmVariable: lifetime, format ownership, labels and the session-block
// record.
#include "session/kmVariable.h"

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "foundation/KmCallPath.h"
#include "foundation/KmConvertValue.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmIniFile.h"
#include "foundation/kmTools.h"
#include "session/internal/SessionBlockReader.h"

namespace {

const char* const kClassName = "kmVariable";

// Ending of a stored label whose year the fits leave out.
const char kNotUsedSuffix[] = " (not used in calculations)";

// The data-type letters a format can carry.
bool IsFormatType(char cType) {
  switch (cType) {
    case 'A':
    case 'I':
    case 'N':
    case 'S':
    case 'U':
    case 'W':
      return true;
    default:
      return false;
  }
}

}  // namespace

kmVariable::kmVariable() : uPosition_(kPositionNotSet) {}

kmVariable::kmVariable(const char* sName, uint16_t uPosition,
                       const KmFormat* pFormat)
    : kmVariable() {
  WithCallPath("kmVariable(const char*, unsigned short, const KmFormat*)",
               kClassName, [&] {
                 sName_ = sName;
                 uPosition_ = uPosition;
                 SetFormat(pFormat);
               });
}

kmVariable::kmVariable(const kmVariable& other) : kmVariable() { Copy(other); }

kmVariable& kmVariable::operator=(const kmVariable& other) {
  if (this != &other) Copy(other);
  return *this;
}

kmVariable::~kmVariable() = default;

void kmVariable::Init() {
  sName_.Clear();
  uPosition_ = kPositionNotSet;
  pFormat_.reset();
}

void kmVariable::Clear() { Init(); }

void kmVariable::Copy(const kmVariable& other) {
  WithCallPath("Copy", kClassName, [&] {
    if (this == &other) return;
    // Clone first, so that a failed clone leaves this variable as it was.
    std::unique_ptr<KmFormat> pClone(
        other.pFormat_ != nullptr ? other.pFormat_->Clone() : nullptr);
    Clear();
    sName_ = other.sName_;
    uPosition_ = other.uPosition_;
    pFormat_ = std::move(pClone);
  });
}

const KmFormat& kmVariable::GetFormat() const {
  return WithCallPath("GetFormat", kClassName, [&]() -> const KmFormat& {
    if (pFormat_ == nullptr) {
      GenerateKmExceptionF("No Format found for variable %s.", kClassName,
                           sName_.GetCString());
    }
    return *pFormat_;
  });
}

void kmVariable::SetFormat(const KmFormat* pFormat) {
  WithCallPath("SetFormat", kClassName, [&] {
    pFormat_.reset(pFormat != nullptr ? pFormat->Clone() : nullptr);
  });
}

const char* kmVariable::GetLabel(int32_t iValue, KmString& sLabel,
                                 bool bLineNumber) const {
  return WithCallPath("GetLabel", kClassName, [&]() -> const char* {
    if (pFormat_ == nullptr) {
      GenerateKmExceptionF(
          "Requesting label for value %d of variable %s which has no format.",
          kClassName, iValue, sName_.GetCString());
    }
    int32_t iLine = -1;
    if (pFormat_->GetDataType() == 'A') {
      iLine = iValue;
    } else {
      std::string sValue = std::to_string(iValue);
      try {
        iLine = pFormat_->GetIndexFromValue(sValue.c_str(), true, true);
      } catch (const KmMalformedDataException&) {
        // The decimal text of an int can only fail to convert when the value
        // lies outside the format's type (a short or unsigned format); no
        // line of that type can hold it.
        iLine = -1;
      }
    }
    if (bLineNumber) {
      sLabel = KmString(std::to_string(iLine));
      return sLabel.GetCString();
    }
    if (iLine < 0 || iLine >= pFormat_->GetNumLines()) {
      GenerateKmExceptionF(
          "Requesting line %d of format for variable %s which has only %d "
          "lines.",
          kClassName, iLine, sName_.GetCString(), pFormat_->GetNumLines());
    }
    sLabel = pFormat_->GetLabel(iLine);
    return sLabel.GetCString();
  });
}

void kmVariable::Write(KmIO_File* pIO) const {
  WithCallPath("Write", kClassName, [&] {
    pIO->WriteCString(sName_.GetCString());
    pIO->WriteShort(static_cast<int16_t>(uPosition_));
    pIO->WriteBool(pFormat_ != nullptr);
    if (pFormat_ == nullptr) return;
    char cType = pFormat_->GetDataType();
    pIO->Write(&cType, 1);
    KmString sWhole;
    pFormat_->GetWholeFormat(sWhole);
    pIO->WriteCString(sWhole.GetCString());
  });
}

void kmVariable::Read(KmIO_File* pIO, double dFileVersion) {
  WithCallPath("Read", kClassName, [&] {
    KmCheckedReader in =
        km_session_internal::SessionBlockReader(pIO, kClassName);
    kmVariable read;
    in.ReadCString(read.sName_);
    read.uPosition_ = static_cast<uint16_t>(in.ReadShort());
    if (in.ReadBool()) {
      read.pFormat_ = std::make_unique<KmFormat>();
      char cType = 'N';
      if (dFileVersion >= 4.32) {
        cType = in.ReadByte();
        // A letter no format can have means the block is damaged.
        if (!IsFormatType(cType)) in.Refuse();
      }
      // Only numeric formats were written with display labels.
      bool bWithDisplay = cType == 'N';
      read.pFormat_->SetDataType(cType);
      KmString sWhole;
      in.ReadCString(sWhole);
      if (dFileVersion < 4.8) sWhole.Replace("=\n", "\n", true);
      if (!sWhole.IsEmpty()) {
        read.pFormat_->SetWholeFormat(sWhole.GetCString(), bWithDisplay);
      }
    }
    *this = read;
  });
}

bool kmVariable::operator==(const kmVariable& other) const {
  if (sName_ != other.sName_ || uPosition_ != other.uPosition_) return false;
  if ((pFormat_ == nullptr) != (other.pFormat_ == nullptr)) return false;
  if (pFormat_ == nullptr) return true;
  KmString sMine;
  KmString sOther;
  pFormat_->GetWholeFormat(sMine);
  other.pFormat_->GetWholeFormat(sOther);
  return pFormat_->GetDataType() == other.pFormat_->GetDataType() &&
         sMine == sOther;
}

bool kmVariable::LeavesOut(const KmString& sValue) const {
  if (!HasFormat()) return false;
  const int32_t iLine = pFormat_->GetIndexFromField(sValue);
  return iLine >= 0 && IsLeftOutLabel(pFormat_->GetLabel(iLine));
}

CodeText ReadYearLabel(const KmString& sLabel) {
  double dYear = 0.0;
  return ReadWholeNumber(sLabel.GetCString(), true, &dYear);
}

bool IsLabelBeyondNumbers(const KmString& sLabel) {
  return ReadNumber(sLabel.GetCString(), true, nullptr) ==
         NumberKind::kBeyondDouble;
}

const char kBeyondLargestYear[] =
    "is a number of a size above 1e15, and the fits cannot place kinkmarks "
    "between years that large.";

bool IsBeyondLargestYear(double dYear) {
  return std::fabs(dYear) > kLargestYear;
}

bool IsLabelBeyondYears(const KmString& sLabel) {
  double dValue = 0.0;
  const NumberKind read = ReadNumber(sLabel.GetCString(), true, &dValue);
  return (read == NumberKind::kNumber || read == NumberKind::kWholeNumber) &&
         IsBeyondLargestYear(dValue);
}

KmString RepeatedYearLabels(const kmVariable& indep, const KmString& sFile) {
  KmString sText;
  if (!indep.HasFormat()) return sText;
  const KmFormat& format = indep.GetFormat();
  std::map<double, int32_t> firstLine;  // a label's number: its first line
  for (int32_t i = 0; i < format.GetNumLines(); ++i) {
    double dValue = 0.0;
    const NumberKind read =
        ReadNumber(format.GetLabel(i).GetCString(), true, &dValue);
    if (read != NumberKind::kNumber && read != NumberKind::kWholeNumber) {
      continue;
    }
    const auto seen = firstLine.emplace(dValue, i);
    if (seen.second) continue;
    const int32_t iFirst = seen.first->second;
    KmString sSection("Format=");
    sSection << indep.GetName();
    // Asked of the reader only for the message: the session keeps no lines.
    const KmIniFile file(sFile.GetCString());
    const int32_t lFirst = file.GetKeyLine(
        sSection.GetCString(), format.GetValue(iFirst).GetCString());
    const int32_t lSecond =
        file.GetKeyLine(sSection.GetCString(), format.GetValue(i).GetCString());
    sText << "Session file \"" << sFile << "\"";
    if (lFirst > 0 && lSecond > 0) {
      sText << ", line " << lFirst << " and line " << lSecond;
    }
    sText << ": the labels \"" << format.GetLabel(iFirst)
          << "\" of the independent value " << format.GetValue(iFirst)
          << " and \"" << format.GetLabel(i) << "\" of the independent value "
          << format.GetValue(i) << " in [" << sSection
          << "] are one number, so the fits would place the records of both "
             "values at one year.  Give each value a year of its own.";
    return sText;
  }
  return sText;
}

bool LeavesYearOut(const KmString& sLabel, kmLabelRoute route) {
  // A number is never a label that leaves its year out, a centred year
  // written "-1.0" as much as "-1": its "-" is its sign.
  if (ReadYearLabel(sLabel) != CodeText::kText) return false;
  if (sLabel.IsEmpty() || sLabel.EndsWith(kNotUsedSuffix)) return true;
  if (route != kmLabelRoute::kDictionary) return false;
  KmString sLower(sLabel);
  sLower.MakeLower();
  return sLabel.Find("-") >= 0 || sLower.Find("total") >= 0;
}

bool IsLeftOutLabel(const KmString& sLabel) {
  return LeavesYearOut(sLabel, kmLabelRoute::kSessionParameters);
}

KmString RefusedYearLabel(const KmString& sLabel, const KmString& sValue,
                          const KmString& sVariable, const KmString& sFile,
                          kmLabelRoute route) {
  KmString sSection("Format=");
  sSection << sVariable;
  KmString sText("Session file \"");
  sText << sFile << "\"";
  // Asked of the reader only for the message: the session keeps no lines.
  const int32_t iLine =
      KmIniFile(sFile.GetCString())
          .GetKeyLine(sSection.GetCString(), sValue.GetCString());
  if (iLine > 0) sText << ", line " << iLine;
  sText << ": the label \"" << sLabel << "\" of the independent value "
        << sValue << " in [" << sSection << "] ";
  if (IsLabelBeyondNumbers(sLabel)) {
    sText << kmTools::kBeyondDoubleWords
          << ", so the fits can place no record at it.  Label each value "
             "with its year.";
    return sText;
  }
  if (IsLabelBeyondYears(sLabel)) {
    sText << kBeyondLargestYear << "  Label each value with its year.";
    return sText;
  }
  if (ReadYearLabel(sLabel) == CodeText::kNumberNoCode) {
    // Only a data dictionary refuses a number, and only one that is no year.
    sText << "is a number but not a whole one, and in a data dictionary "
             "each label of the independent variable that is a number is "
             "the year the fits place its records at.  Label each value "
             "with its whole year.";
    return sText;
  }
  sText << "is not a number, and the fits place each record at the number "
           "its label gives.  Only an empty label or one ending in \""
        << kNotUsedSuffix << "\"";
  if (route == kmLabelRoute::kDictionary) {
    sText << ", or in a data dictionary one holding \"-\" or \"total\",";
  }
  sText << " leaves its year out of the fits.";
  return sText;
}
