// kmSession: the session file (the constructor from a session file, Write
// and Read of the session block).
#include <cmath>
#include <cstdlib>
#include <string>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "session/internal/SessionBlockReader.h"
#include "session/kmLabels.h"
#include "session/kmSession.h"

namespace {

const char* const kClassName = "kmSession";
// Source text of the refusals of a session block.
const char* const kFileSource = "kmSession.cpp";

// The file version written into every session block, and the newest this
// program reads.
const char* const kFileVersionText = "4.900";
constexpr double kNewestFileVersion = 4.9;
// Versions from which the block carries its later fields.
constexpr double kVersionAAPCRanges = 4.05;
constexpr double kVersionAdjustFormats = 4.12;
constexpr double kVersionSelection = 4.322;
constexpr double kVersionIntSelectionCount = 4.802;

// Option and text slots written and expected by a block.
constexpr int32_t kStoredOptions = 64;
constexpr int32_t kStoredStrings = 8;

// The codes an adjustment variable can have: every Short value once.
constexpr int64_t kMaxAdjustCodes = 65536;

// Mode of KmIO_File::Open for writing a session file (binary write).
constexpr int32_t kWriteMode = KmIO_File::kWrite | KmIO_File::kShared;

[[noreturn]] void ThrowNewerFile(const KmString& sVersion) {
  KmString sMessage;
  sMessage << "Kinkmark cannot open this file.  The file you are trying to "
              "open was created "
           << "by a more recent version of Kinkmark (Version = " << sVersion
           << ").  In order to open this"
           << " file you will need to upgrade your version of Kinkmark.";
  GenerateKmException(sMessage.GetCString(), kFileSource);
}

// A position of a by-variable or role must name a variable of the block.
bool IsVariablePosition(int32_t iPosition, int32_t iNumVars, bool bAllowUnset) {
  if (iPosition == 0) return bAllowUnset;
  return iPosition >= 1 && iPosition <= iNumVars;
}

}  // namespace

kmSession::kmSession(const char* sSessionFile, const char* /*sDataFile*/)
    : iNumCores_(kDefaultNumCores) {
  Init();
  Read(sSessionFile);
}

void kmSession::Write(const KmFileTarget& target) {
  WithCallPath("Write(filename)", kClassName, [&] {
    const char* sFileName = target.GetName();
    KmIO_File file(target, kWriteMode);
    // KmIO_File reports no failure to open; a session that silently is not
    // saved would look saved.
    if (!file.IsOpen()) {
      GenerateKmExceptionF(
          "Unable to open the session file %s for writing: %s.", kFileSource,
          sFileName != nullptr ? sFileName : "",
          file.GetErrorText().GetCString());
    }
    Write(&file);
    file.Close();
  });
}

void kmSession::Write(KmIO_File* pIO) {
  WithCallPath("Write(IO)", kClassName, [&] {
    SetString(kmStrFileVersion, kFileVersionText);
    pIO->WriteCString(KinkMarkSession.GetCString());

    pIO->WriteShort(static_cast<int16_t>(kStoredOptions));
    for (int32_t i = 0; i < kStoredOptions; ++i) {
      pIO->WriteDouble(static_cast<size_t>(i) < vOptions_.size() ? vOptions_[i]
                                                                 : 0.0);
    }

    pIO->WriteShort(static_cast<int16_t>(vStrings_.size()));
    for (const KmString& sText : vStrings_)
      pIO->WriteCString(sText.GetCString());

    pIO->WriteShort(static_cast<int16_t>(vVariables_.size()));
    for (const kmVariable& variable : vVariables_) variable.Write(pIO);

    pIO->WriteShort(static_cast<int16_t>(vByVars_.size()));
    for (int32_t iPosition : vByVars_) pIO->WriteInt(iPosition);

    pIO->WriteShort(static_cast<int16_t>(vKMVarPositions_.size()));
    for (int32_t iPosition : vKMVarPositions_) pIO->WriteInt(iPosition);

    aapcRanges_.Write(pIO);

    pIO->WriteShort(static_cast<int16_t>(vAdjustFormats_.size()));
    for (const kmAdjustVarFormat& format : vAdjustFormats_) {
      // An empty code list is stored as first 1, last 0, which reads back
      // as an empty list.
      int32_t iFirst = format.codes.empty() ? 1 : format.codes.front();
      int32_t iLast = format.codes.empty() ? 0 : format.codes.back();
      pIO->WriteShort(static_cast<int16_t>(iFirst));
      pIO->WriteShort(static_cast<int16_t>(iLast));
      pIO->WriteString(format.sLabel.GetCString(), true);
    }

    pIO->WriteInt(static_cast<int32_t>(vSelectedCohorts_.size()));
    for (bool bSelected : vSelectedCohorts_) pIO->WriteBool(bSelected);
  });
}

int32_t kmSession::Read(const char* sFileName) {
  return WithCallPath("Read(filename)", kClassName, [&]() -> int32_t {
    Init();
    KmIO_File file(sFileName, KmIO_File::kRead);
    Read(&file);
    // A session file holds the block and nothing else: bytes after it mean
    // the block was damaged (a version or count changed) and read short.
    // The damaged block is not kept, nor one whose options a run cannot
    // use.
    try {
      km_session_internal::SessionBlockReader(&file, kFileSource).CheckAtEnd();
      CheckSavedOptions(sFileName);
    } catch (KmException&) {
      Init();
      throw;
    }
    return 0;
  });
}

void kmSession::Read(KmIO_File* pIO) {
  WithCallPath("Read(IO)", kClassName, [&] {
    KmCheckedReader in =
        km_session_internal::SessionBlockReader(pIO, kFileSource);

    // Everything is read into copies first and kept only when the whole
    // block has been read, so a refused block leaves the session as it was.
    // The magic text is checked whole, its zero byte included.
    const std::string sExpectedMagic(KinkMarkSession.GetCString(),
                                     KinkMarkSession.GetLength() + 1);
    const int32_t iMagicLength = static_cast<int32_t>(sExpectedMagic.size());
    if (in.ReadInt() != iMagicLength) in.Refuse();
    std::string sMagic;
    in.ReadBytes(sMagic, iMagicLength);
    if (sMagic != sExpectedMagic) in.Refuse();

    std::vector<double> vOptions = vOptions_;
    int32_t iNumOptions = in.CheckCount(in.ReadShort());
    if (iNumOptions > kStoredOptions) vOptions.assign(iNumOptions, 0.0);
    for (int32_t i = 0; i < iNumOptions; ++i) vOptions[i] = in.ReadDouble();

    KmVector<KmString> vStrings = vStrings_;
    int32_t iNumStrings = in.CheckCount(in.ReadShort());
    if (iNumStrings > kStoredStrings) {
      vStrings.assign(iNumStrings, KmString(""));
    }
    for (int32_t i = 0; i < iNumStrings; ++i) in.ReadCString(vStrings[i]);

    const KmString& sVersion = vStrings[kmStrFileVersion];
    const double dVersion = std::atof(sVersion.GetCString());
    if (!std::isfinite(dVersion)) in.Refuse();
    if (dVersion > kNewestFileVersion) ThrowNewerFile(sVersion);

    KmVector<kmVariable> vVariables;
    for (int32_t n = in.CheckCount(in.ReadShort()); n > 0; --n) {
      kmVariable variable;
      variable.Read(pIO, dVersion);
      vVariables.push_back(variable);
    }
    const int32_t iNumVars = static_cast<int32_t>(vVariables.size());

    KmVector<int32_t> vByVars;
    for (int32_t n = in.CheckCount(in.ReadShort()); n > 0; --n) {
      vByVars.push_back(in.ReadInt());
      if (!IsVariablePosition(vByVars.back(), iNumVars, false)) in.Refuse();
    }

    KmVector<int32_t> vRoles = vKMVarPositions_;
    int32_t iNumRoles = in.CheckCount(in.ReadShort());
    if (iNumRoles > kmNumVarRoles) vRoles.assign(iNumRoles, 0);
    for (int32_t i = 0; i < iNumRoles; ++i) vRoles[i] = in.ReadInt();
    for (int32_t iPosition : vRoles) {
      if (!IsVariablePosition(iPosition, iNumVars, true)) in.Refuse();
    }

    kmAAPCRanges ranges = aapcRanges_;
    if (dVersion >= kVersionAAPCRanges) ranges.Read(pIO);

    KmVector<kmAdjustVarFormat> vAdjustFormats = vAdjustFormats_;
    if (dVersion >= kVersionAdjustFormats) {
      vAdjustFormats.clear();
      int64_t iTotalCodes = 0;
      for (int32_t n = in.CheckCount(in.ReadShort()); n > 0; --n) {
        kmAdjustVarFormat format;
        int32_t iFirst = in.ReadShort();
        int32_t iLast = in.ReadShort();
        in.ReadString(format.sLabel);
        // The ranges are expanded code by code: their codes together are
        // bounded by the codes the variable can have before any is stored.
        if (iFirst <= iLast) iTotalCodes += iLast - iFirst + 1;
        if (iTotalCodes > kMaxAdjustCodes) in.Refuse();
        for (int32_t iCode = iFirst; iCode <= iLast; ++iCode) {
          format.codes.push_back(iCode);
        }
        vAdjustFormats.push_back(format);
      }
    }

    KmVector<bool> vSelected = vSelectedCohorts_;
    if (dVersion >= kVersionSelection) {
      int32_t iCount = dVersion >= kVersionIntSelectionCount
                           ? in.ReadInt()
                           : static_cast<int32_t>(in.ReadShort());
      vSelected.clear();
      for (int32_t n = in.CheckCount(iCount); n > 0; --n) {
        vSelected.push_back(in.ReadBool());
      }
    }

    vOptions_.swap(vOptions);
    vStrings_.swap(vStrings);
    vVariables_.swap(vVariables);
    vByVars_.swap(vByVars);
    vKMVarPositions_.swap(vRoles);
    aapcRanges_ = ranges;
    vAdjustFormats_.swap(vAdjustFormats);
    vSelectedCohorts_.swap(vSelected);
  });
}
