// kmExportLine: the cell and line rules of every export file.
#include "reports/kmExportLine.h"

#include <cstdarg>
#include <cstring>
#include <string>

#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/KmIO_File.h"
#include "reports/kmTextReport.h"
#include "session/kmSession.h"
#include "session/kmVariable.h"

const char* const kCountFormat = "%14.0f";

const DataExportOptions& RequireExportOptions(const DataExportOptions* pOptions,
                                              const char* sClassName) {
  if (pOptions == nullptr) {
    ThrowKmException("No export options were given to the export writer.",
                     sClassName);
  }
  return *pOptions;
}

std::unique_ptr<KmIO_File> OpenExportFile(const KmFileTarget& sPath,
                                          const char* sClassName) {
  auto pFile = std::make_unique<KmIO_File>();
  const char* sName = sPath.GetName();
  if (sName != nullptr) {
    pFile->Open(sPath,
                KmIO_File::kWrite | KmIO_File::kShared | KmIO_File::kTruncate);
  }
  if (sName == nullptr || !pFile->IsOpen()) {
    KmString sMessage("Unable to open the export file ");
    sMessage << (sName == nullptr ? "(no name)" : sName) << " for writing";
    if (!pFile->GetErrorText().IsEmpty()) {
      sMessage << ": " << pFile->GetErrorText();
    }
    sMessage << ".";
    ThrowKmException(sMessage.GetCString(), sClassName);
  }
  return pFile;
}

KmString PrecisionFormat(int32_t iPrecision) {
  KmString sFormat("%14.");
  sFormat << (iPrecision < 0 ? 0 : iPrecision) << "f";
  return sFormat;
}

KmString ByVarLabelText(const kmSession& session, int32_t iByVar, int32_t iCode,
                        int32_t iByVarFormat) {
  const kmVariable& byVar = session.GetByVar(static_cast<int16_t>(iByVar));
  KmString sText;
  if (iByVarFormat != kByVarNumeric && byVar.HasFormat() &&
      byVar.GetFormat().GetNumLines() > 0) {
    byVar.GetLabel(iCode, sText, false);
  } else {
    sText << iCode;
  }
  return sText;
}

KmString LabelCellText(const KmString& sLabel, char cDelimiter, bool bQuote) {
  const char sSpecial[] = {'"', '\n', '\r', cDelimiter, '\0'};
  if (!bQuote && std::strpbrk(sLabel.GetCString(), sSpecial) == nullptr) {
    return sLabel;
  }
  std::string sCell("\"");
  for (const char* p = sLabel.GetCString(); *p != '\0'; ++p) {
    if (*p == '"') sCell += '"';
    sCell += *p;
  }
  sCell += '"';
  return KmString(sCell.c_str());
}

kmExportLine::kmExportLine(const DataExportOptions& options)
    : options_(options),
      cDelimiter_(options.GetFieldDelimeter()),
      iByVarFormat_(options.iByVarFormat),
      bMissingTaken_(false),
      iCells_(0) {
  options.GetLineDelimeter(sLineEnd_);
  if (iByVarFormat_ < kByVarNumeric || iByVarFormat_ > kByVarUnquotedLabels) {
    ThrowKmException("Unsupported by-variable format.", "DataExportOptions");
  }
}

void kmExportLine::AddCell(const KmString& sText) {
  if (iCells_ > 0) sLine_ << cDelimiter_;
  sLine_ << sText;
  ++iCells_;
}

void kmExportLine::AddLabelCell(const KmString& sLabel, bool bQuote) {
  AddCell(LabelCellText(sLabel, cDelimiter_, bQuote));
}

void kmExportLine::AddFormattedLabelCell(const KmString& sLabel) {
  AddLabelCell(sLabel, iByVarFormat_ == kByVarQuotedLabels);
}

void kmExportLine::AddHeaderCell(const KmString& sTitle) {
  AddLabelCell(sTitle, true);
}

void kmExportLine::AddByVarHeaderCells(const kmSession& session,
                                       int32_t iGroups) {
  for (int32_t g = 0; g < iGroups; ++g) {
    for (int32_t j = 0; j < session.GetNumByVars(); ++j) {
      AddHeaderCell(session.GetByVar(static_cast<int16_t>(j)).GetName());
    }
  }
}

void kmExportLine::AddNumber(const KmString& sFormat, double dValue) {
  KmString sCell;
  // The missing text is only needed (and only checked) for the values that
  // print as missing.
  static const KmString sNoText;
  const KmString& sMissing =
      kmTextReport::IsMissingValue(dValue) ? GetMissingText() : sNoText;
  kmTextReport::FormatTableValue(sCell, sFormat, sMissing, dValue);
  AddCell(sCell);
}

void kmExportLine::AddPrinted(const char* sFormat, ...) {
  va_list args;
  va_start(args, sFormat);
  KmString sCell;
  try {
    sCell.vprintf(sFormat, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  AddCell(sCell);
}

void kmExportLine::AddMissing(int32_t iCount) {
  for (int32_t i = 0; i < iCount; ++i) AddCell(GetMissingText());
}

void kmExportLine::AddNotAvailable(int32_t iCount) {
  for (int32_t i = 0; i < iCount; ++i) AddCell("-");
}

void kmExportLine::AddUnavailable(int32_t iCount, bool bShown) {
  if (bShown) {
    AddMissing(iCount);
  } else {
    AddNotAvailable(iCount);
  }
}

void kmExportLine::AddByVarCells(const kmSession& session,
                                 const KmVector<int>& vCodes, bool bBare) {
  const int32_t nByVars = session.GetNumByVars();
  if (nByVars == 0) return;
  for (size_t i = 0; i < vCodes.size(); ++i) {
    const int32_t iByVar = static_cast<int32_t>(i) % nByVars;
    AddLabelCell(ByVarLabelText(session, iByVar, vCodes[i], iByVarFormat_),
                 iByVarFormat_ == kByVarQuotedLabels && !bBare);
  }
}

const KmString& kmExportLine::GetMissingText() {
  if (!bMissingTaken_) {
    sMissing_ = options_.GetMissingChar();
    bMissingTaken_ = true;
  }
  return sMissing_;
}

KmString kmExportLine::Finish() {
  KmString sDone = sLine_;
  sDone << sLineEnd_;
  sLine_.Clear();
  iCells_ = 0;
  return sDone;
}

void kmExportLine::Write(KmIO_File* pFile) {
  const KmString sDone = Finish();
  pFile->WriteString(sDone.GetCString(), false);
}
