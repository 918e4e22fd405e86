// WriteErrorFile.
#include "driver/ErrorFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "foundation/KmIO_File.h"
#include "foundation/KmPendingFile.h"
#include "foundation/KmShownText.h"

namespace {

// Write, text, truncated.
constexpr int32_t kWriteTextMode =
    KmIO_File::kWrite | KmIO_File::kText | KmIO_File::kTruncate;
constexpr const char* kDashes = "--------------------------------";
constexpr const char* kHeading = "Error Message\n";

}  // namespace

bool ErrorFileMayReplace(const KmFolder& folder, const std::string& sLeaf) {
  if (!folder.Exists(sLeaf)) return true;
  if (!folder.IsRegularFile(sLeaf)) return false;
  const int iFd = folder.OpenFile(sLeaf, O_RDONLY | O_NONBLOCK);
  if (iFd < 0) return false;
  const std::string sStart = std::string(kHeading) + kDashes + "\n";
  std::string sRead(sStart.size(), '\0');
  const ssize_t iRead = pread(iFd, &sRead[0], sRead.size(), 0);
  close(iFd);
  return iRead == static_cast<ssize_t>(sStart.size()) && sRead == sStart;
}

bool WriteErrorFile(const KmString& sErrorFile, const KmFolder& folder,
                    const KmException& e, int argc, char** argv) {
  KmString sText;
  sText << kHeading << kDashes << "\n" << e.GetMessage();
  sText << "\n\nCall Path\n" << kDashes << "\n" << e.GetCallPath() << "\n";
  sText << "\n\nSource Module\n" << kDashes << "\n" << e.GetSource() << "\n";
  sText << "\n\nExecution Command\n" << kDashes << "\n";
  for (int i = 0; i < argc; ++i) sText << ShownName(argv[i]) << " ";
  // The file shows what the console shows: nothing in it is obeyed.
  sText = ShownMessage(sText);

  KmString sHeading("\n\n");
  sHeading << ShownName(sErrorFile) << "\n\n";
  PrintShown(stdout, sHeading);
  bool bWritten = false;
  std::string sReason = "it could not be created.";
  try {
    const std::string sLeaf = KmFolder::LeafOf(sErrorFile.GetCString());
    if (sErrorFile.IsEmpty()) {
      sReason = "its name is one of the run's inputs.";
    } else if (!ErrorFileMayReplace(folder, sLeaf)) {
      sReason = "the file \"" +
                std::string(ShownName(sErrorFile).GetCString()) +
                "\" is not an error file of this program; it was left as it "
                "was.";
    } else {
      folder.Remove(sLeaf);
      KmPendingFile pending(folder, sErrorFile);
      KmIO_File file(pending.GetFile(), kWriteTextMode);
      if (!file.IsOpen()) sReason = file.GetErrorText().GetCString();
      if (file.IsOpen()) {
        file.WriteString(sText.GetCString(), false);
        file.Close();
        pending.Commit();
        bWritten = folder.Exists(sLeaf);
      }
    }
  } catch (const KmException& failure) {
    sReason = failure.GetMessage();
  } catch (...) {
    // Any other failure keeps the reason above; the text is printed below.
  }
  if (!bWritten) {
    PrintShown(stdout, KmString("The error file could not be written: ")
                           << sReason << "\n\n"
                           << sText << "\n");
  }
  return bWritten;
}
