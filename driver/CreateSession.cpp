// CreateSession: a session from a saved session, a data dictionary or a
// session-parameter file.
#include "driver/CreateSession.h"

#include <cstdio>
#include <memory>

#include "data/frmSession.h"
#include "driver/internal/KmConsole.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/kmTools.h"
#include "session/KmUserParamsDict.h"
#include "session/VSExportDict.h"
#include "session/kmSession.h"

using km_driver_internal::Print;

namespace {

constexpr const char* kFileVersion = "4.900";

// Throws the missing-files message when either file does not exist.
void CheckFilesExist(const KmString& sSessionFile, const KmString& sDataFile) {
  KmString sMissing;
  for (const KmString* pName : {&sSessionFile, &sDataFile}) {
    if (!KmIO_File::FileExists(pName->GetCString())) {
      sMissing << *pName << "\n";
    }
  }
  if (sMissing.IsEmpty()) return;
  KmString sMessage("The following files do not exists:\n ");
  sMessage << sMissing;
  throw KmException(sMessage.GetCString(), "CreateSession()");
}

kmSession* FromSavedSession(const KmString& sSessionFile,
                            const KmString& sDataFile) {
  auto pSession = std::make_unique<kmSession>(sSessionFile.GetCString(),
                                              sDataFile.GetCString());
  pSession->SetString(kmStrDataFile, sDataFile.GetCString());
  return pSession.release();
}

kmSession* FromDictionary(const KmString& sSessionFile,
                          const KmString& sDataFile) {
  VSExportDict dict(sSessionFile.GetCString());
  dict.SetDataFile(sDataFile.GetCString());
  Print("Creating Session\n");
  auto pSession = std::make_unique<kmSession>(dict, false);
  Print("Session Created\n\n");
  pSession->SetVersion(kFileVersion);
  return pSession.release();
}

kmSession* FromParameters(const KmString& sSessionFile,
                          const KmString& sDataFile) {
  KmUserParamsDict dict(sSessionFile.GetCString());
  Print("Creating Session\n");
  auto pSession = std::make_unique<kmSession>(dict);
  KmString sSessionData;
  pSession->GetString(kmStrDataFile, sSessionData);
  if (sSessionData.IsEmpty()) {
    pSession->SetString(kmStrDataFile, sDataFile.GetCString());
    sSessionData = sDataFile;
  }
  pSession->SetVersion(kFileVersion);
  const int iCount = frmSession::ReadIndependentValues(
      sSessionData,
      static_cast<int16_t>(dict.GetIndependentVariableLocation() - 1),
      dict.GetVariableNamesIncluded(), KmString(dict.GetFieldDelimiter()));
  // More values than a 16-bit count holds still give the largest maximum.
  const int16_t iObservations =
      static_cast<int16_t>(iCount > 32767 ? 32767 : iCount);
  pSession->SetInt(kmOptMaxKinkmarks,
                   kmTools::MaxKinkmarksForObservations(iObservations, false));
  Print("Session Created\n\n");
  return pSession.release();
}

}  // namespace

kmSession* CreateSession(KmString sSessionFile, KmString sDataFile) {
  return WithCallPath(
      "CreateSession(KmString sSessionParamsFile)", "kmSession", [&] {
        CheckFilesExist(sSessionFile, sDataFile);
        if (sSessionFile.EndsWith(".kms")) {
          return FromSavedSession(sSessionFile, sDataFile);
        }
        if (sSessionFile.EndsWith(".dic")) {
          return FromDictionary(sSessionFile, sDataFile);
        }
        if (sSessionFile.EndsWith(".ini")) {
          return FromParameters(sSessionFile, sDataFile);
        }
        Print(
            "\n\nError:  Session file name must end in .kms, .dic, or "
            ".ini!\n\n");
        throw KmRunExit{1};
      });
}
