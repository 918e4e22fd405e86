// CommitRecord.
#include "driver/CommitRecord.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "foundation/KmException.h"
#include "foundation/platform/KmFileSystem.h"

namespace {

constexpr const char kClassName[] = "CommitRecord";
constexpr const char kHeader[] = "kinkmark commit record\n";
constexpr const char kEnd[] = "end\n";
constexpr const char kAppend[] = "append ";
constexpr const char kMove[] = "move ";
constexpr const char kRemove[] = "remove ";
// A record holds a few dozen names; anything longer is not one.
constexpr size_t kLongestRecord = 1 << 20;

std::string RecordText(const CommitPlan& plan) {
  std::string sText = kHeader;
  if (!plan.sAppendedTo.IsEmpty()) {
    sText += std::string(kAppend) + std::to_string(plan.iLengthBefore) + " " +
             std::to_string(plan.iLengthAfter) + " " +
             plan.sAppendedTo.GetCString() + "\n";
  }
  for (const KmString& sPartial : plan.moves) {
    sText += std::string(kMove) + sPartial.GetCString() + "\n";
  }
  for (const KmString& sName : plan.removals) {
    sText += std::string(kRemove) + sName.GetCString() + "\n";
  }
  return sText + kEnd;
}

// Writes all of sText through iFd; false (errno set) on failure.
bool WriteAllOf(int iFd, const std::string& sText) {
  for (size_t iDone = 0; iDone < sText.size();) {
    const ssize_t iWritten =
        write(iFd, sText.data() + iDone, sText.size() - iDone);
    if (iWritten < 0 && errno == EINTR) continue;
    if (iWritten <= 0) return false;
    iDone += static_cast<size_t>(iWritten);
  }
  return true;
}

// Reads the whole record open as iFd into sText; false when it cannot be
// read or is longer than any record.
bool ReadAllOf(int iFd, std::string& sText) {
  char buffer[4096];
  for (;;) {
    const ssize_t iRead = read(iFd, buffer, sizeof buffer);
    if (iRead < 0 && errno == EINTR) continue;
    if (iRead < 0) return false;
    if (iRead == 0) return true;
    sText.append(buffer, static_cast<size_t>(iRead));
    if (sText.size() > kLongestRecord) return false;
  }
}

// Reads a length of an append line, digits only, from sLine at iAt up to
// the next space; false when there is none.
bool ReadLength(const std::string& sLine, size_t& iAt, long long& iLength) {
  const size_t iEnd = sLine.find(' ', iAt);
  if (iEnd == std::string::npos || iEnd == iAt || iEnd - iAt > 18 ||
      sLine.find_first_not_of("0123456789", iAt) < iEnd) {
    return false;
  }
  iLength = std::stoll(sLine.substr(iAt, iEnd - iAt));
  iAt = iEnd + 1;
  return true;
}

// Reads the append line sLine into plan: one only, before any move, its
// lengths growing, and a name after them.
bool ReadAppend(const std::string& sLine, CommitPlan& plan) {
  size_t iAt = sizeof kAppend - 1;
  if (!plan.sAppendedTo.IsEmpty() || !plan.moves.empty() ||
      !plan.removals.empty() || !ReadLength(sLine, iAt, plan.iLengthBefore) ||
      !ReadLength(sLine, iAt, plan.iLengthAfter) ||
      plan.iLengthAfter <= plan.iLengthBefore || iAt == sLine.size()) {
    return false;
  }
  plan.sAppendedTo = sLine.substr(iAt).c_str();
  return true;
}

// Reads the lines of a whole record (between its first and last line).
bool ParseLines(const std::string& sText, CommitPlan& plan, std::string& sWhy) {
  const size_t iHeader = sizeof kHeader - 1;
  const size_t iBodyEnd = sText.size() - (sizeof kEnd - 1);
  int iLine = 1;
  for (size_t iAt = iHeader; iAt < iBodyEnd;) {
    ++iLine;
    const size_t iEnd = sText.find('\n', iAt);
    std::string sLine = sText.substr(iAt, iEnd - iAt);
    iAt = iEnd + 1;
    if (!sLine.empty() && sLine.back() == '\r') sLine.pop_back();
    if (sLine.rfind(kAppend, 0) == 0 && ReadAppend(sLine, plan)) {
      continue;
    }
    if (sLine.rfind(kMove, 0) == 0 && sLine.size() > sizeof kMove - 1) {
      plan.moves.emplace_back(sLine.substr(sizeof kMove - 1).c_str());
    } else if (sLine.rfind(kRemove, 0) == 0 &&
               sLine.size() > sizeof kRemove - 1) {
      plan.removals.emplace_back(sLine.substr(sizeof kRemove - 1).c_str());
    } else {
      sWhy = "its line " + std::to_string(iLine) +
             " is not a line of such a record";
      return false;
    }
  }
  return true;
}

}  // namespace

void RaiseWriteFailure(const KmString& sName, int iErrno) {
  const std::string sReason =
      std::error_code(iErrno, std::generic_category()).message();
  GenerateKmExceptionF("Unable to write the file \"%s\": %s.", kClassName,
                       sName.GetCString(), sReason.c_str());
}

CommitRecord::CommitRecord(const KmFolder& folder, const KmString& sName,
                           const CommitPlan& plan)
    : folder_(folder), sLeaf_(KmFolder::LeafOf(sName.GetCString())) {
  errno = folder_.IsOpen() ? 0 : ENOENT;
  iFd_ = folder_.IsOpen()
             ? KmGetFileSystem().CreateExclusiveAt(folder_.GetFd(), sLeaf_)
             : -1;
  if (iFd_ < 0) RaiseWriteFailure(sName, errno != 0 ? errno : EEXIST);
  if (!WriteAllOf(iFd_, RecordText(plan)) || fsync(iFd_) != 0 ||
      !folder_.Sync()) {
    RaiseWriteFailure(sName, errno != 0 ? errno : EIO);
  }
}

CommitRecord::~CommitRecord() { Remove(); }

void CommitRecord::Remove() noexcept {
  if (iFd_ < 0) return;
  // A name that reaches another file by now is not this run's record.
  if (folder_.Reaches(sLeaf_, iFd_) && folder_.Remove(sLeaf_)) {
    folder_.Sync();
  }
  close(iFd_);
  iFd_ = -1;
}

CommitRecord::Found CommitRecord::Read(const KmFolder& folder,
                                       const KmString& sName, CommitPlan& plan,
                                       std::string& sWhy) {
  const std::string sLeaf = KmFolder::LeafOf(sName.GetCString());
  if (!folder.Exists(sLeaf)) return Found::kNone;
  const int iFd = folder.OpenFile(sLeaf, O_RDONLY | O_NONBLOCK);
  struct stat info;
  std::string sText;
  const bool bRecordFile = iFd >= 0 && fstat(iFd, &info) == 0 &&
                           S_ISREG(info.st_mode) && info.st_nlink == 1;
  const bool bRead = bRecordFile && ReadAllOf(iFd, sText);
  if (iFd >= 0) close(iFd);
  if (!bRecordFile) {
    sWhy = "it is not a regular file with one name";
    return Found::kUnreadable;
  }
  const std::string sHeader = kHeader;
  const bool bHeader = sText.compare(0, sHeader.size(), sHeader) == 0;
  // Cut inside its first line (an empty file included): its run was
  // stopped while it wrote it.
  if (bRead && !bHeader && sHeader.compare(0, sText.size(), sText) == 0) {
    return Found::kUnfinished;
  }
  if (!bRead || !bHeader) {
    sWhy = "it is not a record of this program";
    return Found::kUnreadable;
  }
  const std::string sEnd = std::string("\n") + kEnd;
  if (sText.size() < sHeader.size() + sizeof kEnd - 1 ||
      sText.compare(sText.size() - sEnd.size(), sEnd.size(), sEnd) != 0) {
    return Found::kUnfinished;
  }
  return ParseLines(sText, plan, sWhy) ? Found::kComplete : Found::kUnreadable;
}
