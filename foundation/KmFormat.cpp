// KmFormat: construction, copying, adding lines, the text form of a whole
// format, the value and label look-ups and the line accessors.
#include "foundation/KmFormat.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "foundation/KmCallPath.h"
#include "foundation/KmConvertValue.h"
#include "foundation/KmException.h"
#include "foundation/KmFormatIndex.h"
#include "foundation/KmStringTokenizer.h"
#include "foundation/kmTools.h"
#include "foundation/platform/KmPlatform.h"

namespace {

const char* const kClassName = "KmFormat";

// The value at pValue as a T (read from text when bIsText), as a double.
template <typename T>
double NumberOf(const void* pValue, bool bIsText, bool bAllowBlank) {
  T value = 0;
  if (bIsText) {
    KmConvertValue(value, static_cast<const char*>(pValue), bAllowBlank);
  } else {
    // The caller's buffer need not be aligned for T.
    std::memcpy(&value, pValue, sizeof(value));
  }
  return static_cast<double>(value);
}

// dValue as a T in *pValue, false when it is not whole or T cannot hold it.
template <typename T>
bool WholeNumberAs(double dValue, T* pValue) {
  if (std::floor(dValue) != dValue ||
      dValue < static_cast<double>(std::numeric_limits<T>::min()) ||
      dValue > static_cast<double>(std::numeric_limits<T>::max())) {
    return false;
  }
  *pValue = static_cast<T>(dValue);
  return true;
}

}  // namespace

KmFormat::KmFormat()
    : cDataType_('I'), bCaseSensitive_(true), bSecondFlag_(true) {}

KmFormat::KmFormat(const KmFormat& other)
    : cDataType_('I'), bCaseSensitive_(true), bSecondFlag_(true) {
  WithCallPath("Constructor()", kClassName, [&] { *this = other; });
}

KmFormat& KmFormat::operator=(const KmFormat& other) {
  return WithCallPath("Assignment operator", kClassName, [&]() -> KmFormat& {
    if (this != &other) {
      vLines_ = other.vLines_;
      Copy(other);
      DropSearchIndex();
    }
    return *this;
  });
}

KmFormat::~KmFormat() = default;

KmFormat* KmFormat::Clone() const { return new KmFormat(*this); }

void KmFormat::Copy(const KmFormat& other) {
  WithCallPath("Copy()", kClassName, [&] {
    sName_ = other.sName_;
    cDataType_ = other.cDataType_;
    bCaseSensitive_ = other.bCaseSensitive_;
    bSecondFlag_ = other.bSecondFlag_;
    DropSearchIndex();
  });
}

std::shared_ptr<const KmFormatIndex> KmFormat::GetSearchIndex() const {
  std::lock_guard<std::mutex> lock(mSearchIndex_);
  if (!pSearchIndex_) {
    pSearchIndex_ =
        std::make_shared<KmFormatIndex>(vLines_, cDataType_, bCaseSensitive_);
  }
  return pSearchIndex_;
}

void KmFormat::DropSearchIndex() {
  std::lock_guard<std::mutex> lock(mSearchIndex_);
  pSearchIndex_.reset();
}

void KmFormat::InsertLine(const KmFormatLine& line, int32_t lIndex) {
  DropSearchIndex();
  if (lIndex < 0 || lIndex >= GetNumLines()) {
    vLines_.push_back(line);
  } else {
    vLines_.insert(vLines_.begin() + lIndex, line);
  }
}

void KmFormat::AddLine(const KmFormatLine& rhs, int32_t lIndex) {
  WithCallPath("AddLine(KmFormatLine &rhs)", kClassName, [&] {
    AddLine(rhs.GetValue().c_str(), rhs.GetLabel().c_str(),
            rhs.GetDisplayLabel().c_str(), lIndex);
  });
}

void KmFormat::AddLine(const char* sValue, const char* sLabel,
                       const char* sDisplay, int32_t lIndex) {
  WithCallPath("AddLine(char *sValue, char *sLabel)", kClassName, [&] {
    // The line takes the format's type, so its ranges and its own letter
    // agree.
    InsertLine(KmFormatLine(sValue, sLabel, cDataType_, sDisplay), lIndex);
  });
}

void KmFormat::AddLine(const char* sValue, const char* sLabel, int32_t lIndex) {
  WithCallPath("AddLine(char *sValue, char *sLabel)", kClassName, [&] {
    InsertLine(KmFormatLine(sValue, sLabel, cDataType_, nullptr), lIndex);
  });
}

void KmFormat::AddLine(const char* sLine, int32_t lIndex, bool bWithDisplay) {
  WithCallPath("AddLine(char *sLine)", kClassName, [&] {
    KmString sText(sLine);
    sText.Trim();
    KmString sValue;
    KmString sLabel;
    KmString sDisplay;
    if (!bWithDisplay) {
      const int32_t lEquals = sText.Find("=");
      if (lEquals < 0) {
        GenerateKmException("Invalid line - AddLine(char *sLine)", kClassName);
      }
      sText.GetSubstring(sValue, 0, lEquals);
      sText.GetSubstring(sLabel, lEquals + 1, -1);
    } else {
      KmStringTokenizer tokenizer(sText.GetCString(), "=");
      const int32_t lNumParts = tokenizer.GetNumTokens();
      if (lNumParts < 2 || lNumParts > 3) {
        GenerateKmException("Invalid line - AddLine(char *sLine, long lIndex)",
                            kClassName);
      }
      tokenizer.GetToken(sValue, 0);
      tokenizer.GetToken(sLabel, 1);
      if (lNumParts == 3) tokenizer.GetToken(sDisplay, 2);
    }
    sValue.Trim();
    sLabel.Trim();
    sDisplay.Trim();
    AddLine(sValue.GetCString(), sLabel.GetCString(), sDisplay.GetCString(),
            lIndex);
  });
}

void KmFormat::SetWholeFormat(const char* sText, bool bWithDisplay) {
  DropSearchIndex();
  std::vector<KmFormatLine> vPrevious;
  vPrevious.swap(vLines_);
  try {
    const std::string sAll = sText ? sText : "";
    size_t uStart = 0;
    size_t uEnd = 0;
    while ((uEnd = sAll.find('\n', uStart)) != std::string::npos) {
      KmString sPiece(sAll.substr(uStart, uEnd - uStart));
      sPiece.Trim();
      AddLine(sPiece.GetCString(), -1, bWithDisplay);
      uStart = uEnd + 1;
    }
  } catch (KmException& e) {
    // A text that cannot be read leaves the format as it was.
    vLines_.swap(vPrevious);
    e.AddCallPath("SetWholeFormat()", kClassName);
    throw;
  } catch (...) {
    vLines_.swap(vPrevious);
    throw;
  }
}

void KmFormat::GetWholeFormat(KmString& sOut) const {
  WithCallPath("GetWholeFormat()", kClassName, [&] {
    sOut.Clear();
    for (const KmFormatLine& line : vLines_) {
      sOut << line.GetValue().c_str() << "=" << line.GetLabel().c_str();
      if (!line.GetDisplayLabel().empty()) {
        sOut << "=" << line.GetDisplayLabel().c_str();
      }
      sOut << "\n";
    }
  });
}

int32_t KmFormat::GetIndexFromValue(const void* pValue, bool bIsText,
                                    bool bAllowBlank) const {
  return WithCallPath("GetIndexFromValue()", kClassName, [&]() -> int32_t {
    if (pValue == nullptr) GenerateKmException("Null buffer", kClassName);
    const char* sText = static_cast<const char*>(pValue);
    // A number text with a leading blank, blanks not allowed, is in no line.
    if (bIsText && !bAllowBlank && cDataType_ != 'A' && sText[0] == ' ') {
      return -1;
    }
    const std::shared_ptr<const KmFormatIndex> pIndex = GetSearchIndex();
    const int32_t lFirst = pIndex->GetFirstRangedLine();
    if (lFirst < 0) return -1;
    // The first line that can hold a value reads it as a scan would, so a
    // value that is no number of the type fails there.
    if (vLines_[static_cast<size_t>(lFirst)].GetIsInFormatLine(
            pValue, cDataType_, bIsText, bAllowBlank, bCaseSensitive_)) {
      return lFirst;
    }
    switch (cDataType_) {
      case 'A':
        return pIndex->FindText(sText);
      case 'I':
        return pIndex->FindNumber(
            NumberOf<int32_t>(pValue, bIsText, bAllowBlank));
      case 'N':
        return pIndex->FindNumber(
            NumberOf<double>(pValue, bIsText, bAllowBlank));
      case 'S':
        return pIndex->FindNumber(
            NumberOf<int16_t>(pValue, bIsText, bAllowBlank));
      case 'U':
        return pIndex->FindNumber(
            NumberOf<uint16_t>(pValue, bIsText, bAllowBlank));
      case 'W':
        return pIndex->FindNumber(
            NumberOf<uint32_t>(pValue, bIsText, bAllowBlank));
      default:
        return -1;
    }
  });
}

int32_t KmFormat::GetIndexFromField(const KmString& sField) const {
  if (cDataType_ == 'A') {
    return GetIndexFromValue(kmTools::FieldText(sField).GetCString(), true,
                             true);
  }
  double dValue = 0.0;
  if (cDataType_ == 'N') {
    if (kmTools::ReadFieldNumber(sField, KmString(), dValue) !=
        kmTools::FieldNumber::kNumber) {
      return -1;
    }
  } else if (ReadWholeNumber(kmTools::FieldText(sField).GetCString(), false,
                             &dValue) != CodeText::kCode) {
    // A format of whole numbers holds codes, read as every code is.
    return -1;
  }
  // Each type is looked up by its own value, as its lines were read.
  auto find = [this](auto value) {
    return GetIndexFromValue(&value, false, true);
  };
  int32_t lValue = 0;
  int16_t iValue = 0;
  uint16_t uValue = 0;
  uint32_t ulValue = 0;
  switch (cDataType_) {
    case 'N':
      return find(dValue);
    case 'I':
      return WholeNumberAs(dValue, &lValue) ? find(lValue) : -1;
    case 'S':
      return WholeNumberAs(dValue, &iValue) ? find(iValue) : -1;
    case 'U':
      return WholeNumberAs(dValue, &uValue) ? find(uValue) : -1;
    case 'W':
      return WholeNumberAs(dValue, &ulValue) ? find(ulValue) : -1;
    default:
      return -1;
  }
}

int32_t KmFormat::GetIndexFromLabel(const char* sLabel) const {
  return WithCallPath("GetIndexFromLabel()", kClassName, [&]() -> int32_t {
    if (sLabel == nullptr) GenerateKmException("Null buffer", kClassName);
    return GetSearchIndex()->FindLabel(sLabel);
  });
}

void KmFormat::CheckIndex(int32_t i) const {
  if (i < 0 || i >= GetNumLines()) {
    GenerateKmExceptionF("Index %d out of range; vector is from %d to %d",
                         kClassName, i, 0, GetNumLines() - 1);
  }
}

const KmFormatLine& KmFormat::GetLine(int32_t i) const {
  return WithCallPath("GetLine()", kClassName, [&]() -> const KmFormatLine& {
    CheckIndex(i);
    return vLines_[static_cast<size_t>(i)];
  });
}

KmString KmFormat::GetValue(int32_t i) const {
  return WithCallPath("GetValue()", kClassName, [&]() -> KmString {
    CheckIndex(i);
    return KmString(vLines_[static_cast<size_t>(i)].GetValue());
  });
}

KmString KmFormat::GetLabel(int32_t i) const {
  return WithCallPath("GetLabel()", kClassName, [&]() -> KmString {
    CheckIndex(i);
    return KmString(vLines_[static_cast<size_t>(i)].GetLabel());
  });
}

KmString KmFormat::GetDisplayLabel(int32_t i) const {
  return WithCallPath("GetDisplayLabel()", kClassName, [&]() -> KmString {
    CheckIndex(i);
    return KmString(vLines_[static_cast<size_t>(i)].GetDisplayLabel());
  });
}

void KmFormat::SetName(const char* sName) {
  WithCallPath("SetName()", kClassName, [&] { sName_ = sName; });
}
