// WriteErrorFile.
#include "driver/ErrorFile.h"

#include <cstdio>

#include "foundation/KmIO_File.h"
#include "foundation/KmPendingFile.h"

namespace {

// Write, text, truncated (KmIO_File mode bits 2, 4, 16).
constexpr int32_t kWriteTextMode = 2 | 4 | 16;
constexpr const char* kDashes = "--------------------------------";

}  // namespace

bool WriteErrorFile(const KmString& sErrorFile, const KmFolder& folder,
                    const KmException& e, int argc, char** argv) {
  KmString sText;
  sText << "Error Message\n" << kDashes << "\n" << e.GetMessage();
  sText << "\n\nCall Path\n" << kDashes << "\n" << e.GetCallPath() << "\n";
  sText << "\n\nSource Module\n" << kDashes << "\n" << e.GetSource() << "\n";
  sText << "\n\nExecution Command\n" << kDashes << "\n";
  for (int i = 0; i < argc; ++i) sText << argv[i] << " ";

  KmString sHeading("\n\n");
  sHeading << sErrorFile << "\n\n";
  std::fputs(sHeading.GetCString(), stdout);
  bool bWritten = false;
  try {
    // No name: the error file would replace one of the run's inputs.
    if (sErrorFile.IsEmpty()) throw KmException("no error file", "main");
    const std::string sLeaf = KmFolder::LeafOf(sErrorFile.GetCString());
    folder.Remove(sLeaf);
    KmPendingFile pending(folder, sErrorFile);
    KmIO_File file(pending.GetFile(), kWriteTextMode);
    if (file.IsOpen()) {
      file.WriteString(sText.GetCString(), false);
      file.Close();
      pending.Commit();
      bWritten = folder.Exists(sLeaf);
    }
  } catch (...) {
    bWritten = false;
  }
  if (!bWritten) {
    std::fputs("The error file could not be written:\n\n", stdout);
    std::fputs(sText.GetCString(), stdout);
    std::fputs("\n", stdout);
  }
  std::fflush(stdout);
  return bWritten;
}
