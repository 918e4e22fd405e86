// CreateSession: a session from a saved session, a data dictionary or a
// session-parameter file.
#include "driver/CreateSession.h"

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>

#include "driver/InputFileValidation.h"
#include "driver/internal/KmConsole.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmFileName.h"
#include "foundation/KmIO_File.h"
#include "session/KmUserParamsDict.h"
#include "session/VSExportDict.h"
#include "session/kmSession.h"

using km_driver_internal::Print;

namespace {

constexpr const char* kFileVersion = "4.900";
constexpr const char* kSource = "CreateSession()";
// The endings of a data dictionary and of a session-parameter file.
constexpr const char* kDictionaryEnding = ".dic";
constexpr const char* kParametersEnding = ".ini";

// Throws the missing-files message when any of the files does not exist.
void CheckFilesExist(std::initializer_list<const KmString*> names) {
  KmString sMissing;
  for (const KmString* pName : names) {
    if (!KmIO_File::FileExists(pName->GetCString())) {
      sMissing << *pName << "\n";
    }
  }
  if (sMissing.IsEmpty()) return;
  KmString sMessage("The following files do not exists:\n ");
  sMessage << sMissing;
  throw KmException(sMessage.GetCString(), kSource);
}

// The data file a session reads: the run file's when it names one, else the
// one the session definition stores, else sDataFile (the run's default).
// Throws: kmSession::RefuseSpreadsheet's refusal of that file.
KmString ChosenDataFile(const KmString& sDataFile, bool bDataFileNamed,
                        const KmString& sStored) {
  const KmString& sChosen =
      bDataFileNamed || sStored.IsEmpty() ? sDataFile : sStored;
  kmSession::RefuseSpreadsheet(sChosen, kSource);
  return sChosen;
}

kmSession* FromSavedSession(const KmString& sSessionFile,
                            const KmString& sDataFile, bool bDataFileNamed) {
  auto pSession = std::make_unique<kmSession>(sSessionFile.GetCString(),
                                              sDataFile.GetCString());
  // The run adds the synthetic by-variables of its own options (KmRun::
  // PrepareSession); those of the run that saved the session stand in no
  // column of the data.
  pSession->RemoveSyntheticByVars();
  KmString sStored;
  pSession->GetString(kmStrDataFile, sStored);
  pSession->SetString(
      kmStrDataFile,
      ChosenDataFile(sDataFile, bDataFileNamed, sStored).GetCString());
  return pSession.release();
}

kmSession* FromDictionary(const KmString& sSessionFile,
                          const KmString& sDataFile, bool bDataFileNamed) {
  VSExportDict dict(sSessionFile.GetCString());
  const KmString sStored(KmFileName(dict.GetOutputFile()).GetFullName());
  dict.SetDataFile(
      ChosenDataFile(sDataFile, bDataFileNamed, sStored).GetCString());
  Print("Creating Session\n");
  auto pSession = std::make_unique<kmSession>(dict, false);
  Print("Session Created\n\n");
  pSession->SetVersion(kFileVersion);
  return pSession.release();
}

kmSession* FromParameters(const KmString& sSessionFile,
                          const KmString& sDataFile, bool bDataFileNamed) {
  // The run file's data file is the one read, so its header row names the
  // variables.
  KmUserParamsDict dict(sSessionFile.GetCString(),
                        bDataFileNamed ? sDataFile.GetCString() : nullptr);
  const KmString sSessionData = ChosenDataFile(
      sDataFile, bDataFileNamed, KmFileName(dict.GetDataFile()).GetFullName());
  CheckFilesExist({&sSessionData});
  Print("Creating Session\n");
  auto pSession = std::make_unique<kmSession>(dict);
  pSession->SetString(kmStrDataFile, sSessionData.GetCString());
  const KmString sNamed(KmFileName(dict.GetDataFile()).GetFullName());
  KmFileName read(sSessionData.GetCString());
  if (!sNamed.IsEmpty() && sNamed != KmString(read.GetFullName())) {
    pSession->SetSessionNamedDataFile(sNamed);
  }
  pSession->SetVersion(kFileVersion);
  Print("Session Created\n\n");
  return pSession.release();
}

}  // namespace

bool MaxKinkmarksFromData(const KmString& sSessionFile) {
  return sSessionFile.EndsWith(kDictionaryEnding) ||
         sSessionFile.EndsWith(kParametersEnding);
}

kmSession* CreateSession(KmString sSessionFile, KmString sDataFile,
                         bool bDataFileNamed, bool bSessionFileNamed) {
  return WithCallPath(
      "CreateSession(KmString sSessionParamsFile)", "kmSession", [&] {
        CheckFilesExist({&sSessionFile, &sDataFile});
        if (sSessionFile.EndsWith(".kms")) {
          return FromSavedSession(sSessionFile, sDataFile, bDataFileNamed);
        }
        if (sSessionFile.EndsWith(kDictionaryEnding)) {
          return FromDictionary(sSessionFile, sDataFile, bDataFileNamed);
        }
        if (sSessionFile.EndsWith(kParametersEnding)) {
          return FromParameters(sSessionFile, sDataFile, bDataFileNamed);
        }
        KmString sMessage("Session file name must end in .kms, .dic, or .ini!");
        if (!bSessionFileNamed) {
          sMessage.Clear();
          sMessage << "The file \"" << sSessionFile
                   << "\" given as the run file is no run file: a run file "
                      "names the session file and the data file in its "
                      "section ["
                   << kRunFileSection
                   << "], and this file names no session file.";
        }
        Print((std::string("\n\nError:  ") + sMessage.GetCString() + "\n\n")
                  .c_str());
        PrintShown(stderr, KmString("Error: ") << sMessage << "\n");
        throw KmRunExit{1};
      });
}
