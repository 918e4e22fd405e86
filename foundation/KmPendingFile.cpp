// KmPendingFile.
#include "foundation/KmPendingFile.h"

#include "foundation/KmIO_File.h"

KmPendingFile::KmPendingFile(const KmString& sPath)
    : sPath_(sPath), sPartial_(KmIO_File::PartialName(sPath.GetCString())) {}

KmPendingFile::~KmPendingFile() {
  if (!bCommitted_) KmIO_File::RemoveFile(sPartial_.GetCString());
}

void KmPendingFile::Commit() {
  KmIO_File::MoveIntoPlace(sPartial_.GetCString(), sPath_.GetCString());
  bCommitted_ = true;
}
