// KmClusteringJournal: its text, its reader, and the cut back it proves.
#include "driver/KmClusteringJournal.h"

#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "foundation/KmException.h"
#include "foundation/KmShownText.h"
#include "foundation/platform/KmFileSystem.h"
#include "foundation/platform/KmHeldFiles.h"

namespace {

constexpr const char kHeader[] = "kinkmark clustering journal ";
constexpr const char kLength[] = "length ";
constexpr const char kBlock[] = "block ";
constexpr const char kRunFile[] = "run file ";
constexpr const char kOutputFile[] = "output file ";
constexpr const char kEnd[] = "end ";
// A journal holds five numbers, a checksum and two names; anything longer is
// not one.
constexpr size_t kLongestJournal = 1 << 16;

// What a journal holds.
struct Entry {
  std::string sTag;
  CommitBlock block;
  CommitFileId file;
  KmString sRunFile;
  KmString sOutputFile;
};

enum class Found {
  kUnfinished,  // cut before its last line: no byte of its block was written
  kWhole,
  kOtherVersion,  // whole, of the version before this one: its run file read
  kUnreadable     // sWhy says why
};

std::string TextOf(const Entry& entry) {
  std::string sText = kHeader + entry.sTag + "\n" + kLength +
                      std::to_string(entry.block.iOffset) + " " +
                      FileIdFieldsOf(entry.file) + "\n" + kBlock +
                      BlockFieldsOf(entry.block) + "\n" + kRunFile +
                      NameField(entry.sRunFile) + "\n" + kOutputFile +
                      NameField(entry.sOutputFile) + "\n";
  return sText + kEnd + CommitChecksum(sText, sText.size()) + "\n";
}

// The rest of sLine after sLead, when it begins so and something follows.
bool After(const std::string& sLine, const char* sLead, std::string& sRest) {
  const std::string sBegin = sLead;
  if (sLine.size() <= sBegin.size() || sLine.compare(0, sBegin.size(), sBegin))
    return false;
  sRest = sLine.substr(sBegin.size());
  return true;
}

// True when lines, those of a whole journal before its last, are laid out
// as the version before this one wrote them: its lines but the block's,
// each name as it is. Its run file is read into entry.
bool IsOfVersionBefore(const std::vector<std::string>& lines, Entry& entry) {
  std::string sRest;
  std::string sRunFile;
  if (lines.size() != 4 || !After(lines[0], kHeader, sRest) ||
      !After(lines[1], kLength, sRest) ||
      !After(lines[2], kRunFile, sRunFile) ||
      !After(lines[3], kOutputFile, sRest)) {
    return false;
  }
  entry.sRunFile = sRunFile.c_str();
  return true;
}

// Reads "<length> <device> <inode>", digits only, into entry.
bool ReadLengthLine(const std::string& sFields, Entry& entry) {
  const std::string sWithEnd = sFields + " ";
  size_t iAt = 0;
  unsigned long long iLength = 0;
  if (!ReadDigits(sWithEnd, iAt, iLength) ||
      !ReadFileIdFields(sWithEnd, iAt, entry.file) || iAt != sWithEnd.size()) {
    return false;
  }
  entry.block.iOffset = static_cast<long long>(iLength);
  return true;
}

Found Parse(const std::string& sText, Entry& entry, std::string& sWhy) {
  const std::string sHeader = kHeader;
  const size_t iLastLine =
      sText.size() < 2 ? 0 : sText.rfind('\n', sText.size() - 2) + 1;
  std::string sChecksum;
  const bool bEnds =
      !sText.empty() && sText.back() == '\n' && iLastLine > 0 &&
      After(sText.substr(iLastLine, sText.size() - iLastLine - 1), kEnd,
            sChecksum) &&
      IsHex(sChecksum);
  // Its run was stopped while it wrote it, before any byte of its block;
  // one written past its last line was not.
  if (!bEnds && (sText.compare(0, sHeader.size(), sHeader) == 0 ||
                 sHeader.compare(0, sText.size(), sText) == 0)) {
    if (!HoldsEndLine(sText)) return Found::kUnfinished;
    sWhy = "it holds lines after its last line";
    return Found::kUnreadable;
  }
  if (!bEnds || sText.compare(0, sHeader.size(), sHeader) != 0) {
    sWhy = "it is not a journal of this program";
    return Found::kUnreadable;
  }
  if (sChecksum != CommitChecksum(sText, iLastLine)) {
    sWhy = "it is not whole (its checksum does not match its lines)";
    return Found::kUnreadable;
  }
  std::vector<std::string> lines;
  size_t iAt = 0;
  while (iAt < iLastLine) {
    const size_t iEnd = sText.find('\n', iAt);
    lines.push_back(sText.substr(iAt, iEnd - iAt));
    iAt = iEnd + 1;
  }
  if (IsOfVersionBefore(lines, entry)) return Found::kOtherVersion;
  std::string sLengths;
  std::string sBlock;
  size_t iBlockEnd = 0;
  std::string sRunFile;
  std::string sOutputFile;
  if (lines.size() != 5 || !After(lines[0], kHeader, entry.sTag) ||
      !IsHex(entry.sTag) || !After(lines[1], kLength, sLengths) ||
      !ReadLengthLine(sLengths, entry) || !After(lines[2], kBlock, sBlock) ||
      !ReadBlockFields(sBlock, iBlockEnd, entry.block) ||
      iBlockEnd != sBlock.size() || !After(lines[3], kRunFile, sRunFile) ||
      !ReadNameField(sRunFile, entry.sRunFile) ||
      !After(lines[4], kOutputFile, sOutputFile) ||
      !ReadNameField(sOutputFile, entry.sOutputFile)) {
    sWhy = "its lines are not those of a journal";
    return Found::kUnreadable;
  }
  return Found::kWhole;
}

// True when the text of entry, read as Recover reads it, gives every field
// of entry back.
bool ReadsBack(const Entry& entry) {
  Entry read;
  std::string sWhy;
  return Parse(TextOf(entry), read, sWhy) == Found::kWhole &&
         read.sTag == entry.sTag && read.block == entry.block &&
         read.file == entry.file && read.sRunFile == entry.sRunFile &&
         read.sOutputFile == entry.sOutputFile;
}

}  // namespace

std::string KmJournalCut::Sentence(const KmString& sFile,
                                   const KmString& sJournal) const {
  // The names the journal holds are shown as names: one may hold a line
  // break.
  std::string sText = std::string("The clustering result file \"") +
                      sFile.GetCString() + "\" held the journal \"" +
                      sJournal.GetCString() + "\" of a run of \"" +
                      ShownName(sRunFile).GetCString() + "\" into \"" +
                      ShownName(sOutputFile).GetCString() +
                      "\" that stopped while it appended its block: ";
  if (bKept) {
    return sText + "that block was whole (bytes " + std::to_string(iTo) +
           " to " + std::to_string(iFrom) +
           " of that file, by its checksum), and this run kept it and removed "
           "the journal.";
  }
  if (iFrom == iTo) {
    return sText + "no byte of that block had reached the file (it holds the " +
           std::to_string(iTo) +
           " bytes it held before), and this run removed the journal.";
  }
  return sText + "this run cut that file back from " + std::to_string(iFrom) +
         " to the " + std::to_string(iTo) + " bytes it held before that block.";
}

KmClusteringJournal::KmClusteringJournal(const KmFolder& folder,
                                         const KmString& sFile, int iFd)
    : folder_(folder),
      sFile_(sFile),
      sJournal_(NameOf(sFile)),
      iFileFd_(iFd),
      journal_(folder, sJournal_) {}

KmClusteringJournal::~KmClusteringJournal() = default;

KmString KmClusteringJournal::NameOf(const KmString& sFile) {
  KmString sJournal(sFile);
  sJournal << ".journal";
  return sJournal;
}

void KmClusteringJournal::Refuse(const std::string& sWhy,
                                 const KmString* pOtherVersionsRunFile) const {
  KmString sMessage;
  sMessage << "The clustering result file \"" << sFile_ << "\" has a journal \""
           << sJournal_;
  if (pOtherVersionsRunFile != nullptr) {
    sMessage << "\" of a run that stopped while it appended its block: it is "
                "a journal of another version of this program";
  } else {
    sMessage << "\" that proves nothing: " << sWhy.c_str();
  }
  sMessage << "; this run appended nothing to that file and cut nothing "
              "back. ";
  if (pOtherVersionsRunFile != nullptr) {
    sMessage << "Run that run's run file \""
             << ShownName(*pOtherVersionsRunFile)
             << "\" again with the version of the program that wrote the "
                "journal, which cuts that file back, or check";
  } else {
    sMessage << "Check";
  }
  sMessage << " the end of that file (a run stopped while it appended may "
              "have left part of its block there) and remove \""
           << sJournal_
           << "\", or name another \"Output File\" in the run file, in "
              "another folder.";
  throw KmException(sMessage.GetCString(), "main");
}

void KmClusteringJournal::RequireItsFile(int iJournalFd,
                                         const CommitBlock& block,
                                         const struct stat& info) const {
  long long iFileBorn = 0;
  long long iJournalBorn = 0;
  KmFileSystem& fileSystem = KmGetFileSystem();
  if (fileSystem.BirthTime(iFileFd_, iFileBorn) &&
      fileSystem.BirthTime(iJournalFd, iJournalBorn) &&
      iFileBorn > iJournalBorn) {
    Refuse(
        "it names another file (one born after the journal, at its "
        "device and inode)");
  }
  const std::string sHolds =
      "that file holds " + std::to_string(info.st_size) + " bytes";
  if (block.iOffset > info.st_size) {
    Refuse("it names " + std::to_string(block.iOffset) +
           " bytes before its block, more than the " +
           std::to_string(info.st_size) + " that file holds");
  }
  if (info.st_size > block.End()) {
    Refuse("it names another file (" + sHolds + ", more than the " +
           std::to_string(block.iOffset) + " before its block and the " +
           std::to_string(block.iLength) + " of its block together)");
  }
  if (info.st_size == block.End() && !IsBlockWhole(iFileFd_, block)) {
    Refuse("it names another file (" + sHolds +
           ", as many as before its block and with it, but bytes " +
           std::to_string(block.iOffset) + " to " +
           std::to_string(block.End()) + " do not hold its block's checksum)");
  }
}

void KmClusteringJournal::RemoveFound(KmStepFile& found) const {
  if (!found.Remove()) RaiseWriteFailure(sJournal_, errno);
}

KmJournalCut KmClusteringJournal::Recover() {
  KmJournalCut cut;
  KmStepFile journal(folder_, sJournal_);
  std::string sText;
  std::string sWhy;
  const KmStepFile::Left left =
      journal.ReadLeft("journal", kLongestJournal, sText, sWhy);
  if (left == KmStepFile::Left::kNone) return cut;
  if (left == KmStepFile::Left::kRefused) Refuse(sWhy);
  Entry entry;
  const Found found = Parse(sText, entry, sWhy);
  if (found == Found::kUnreadable) Refuse(sWhy);
  if (found == Found::kOtherVersion) Refuse("", &entry.sRunFile);
  if (found == Found::kUnfinished) {
    RemoveFound(journal);
    return cut;
  }
  struct stat file;
  if (fstat(iFileFd_, &file) != 0) RaiseWriteFailure(sFile_, errno);
  if (!(entry.file == CommitFileIdOf(file))) {
    Refuse("it names another file (another device and inode)");
  }
  RequireItsFile(journal.GetFd(), entry.block, file);
  cut.bKept = file.st_size == entry.block.End();
  // The cut reaches the disk before the journal that asks for it goes.
  if (!cut.bKept &&
      (!KmCutBack(iFileFd_, static_cast<off_t>(entry.block.iOffset)) ||
       !KmGetFileSystem().Sync(iFileFd_))) {
    RaiseWriteFailure(sFile_, errno);
  }
  RemoveFound(journal);
  cut.bFound = true;
  cut.sTag = entry.sTag;
  cut.sRunFile = entry.sRunFile;
  cut.sOutputFile = entry.sOutputFile;
  cut.iFrom = file.st_size;
  cut.iTo = entry.block.iOffset;
  return cut;
}

bool KmClusteringJournal::NamesReadBack(const std::string& sTag,
                                        const KmString& sRunFile,
                                        const KmString& sOutputFile) {
  Entry entry;
  entry.sTag = sTag;
  // Any block the journal may name: only the names are in question here.
  entry.block = CommitBlockOf(0, " ");
  entry.sRunFile = sRunFile;
  entry.sOutputFile = sOutputFile;
  return ReadsBack(entry);
}

void KmClusteringJournal::Write(const std::string& sTag,
                                const CommitBlock& block,
                                const KmString& sRunFile,
                                const KmString& sOutputFile) {
  struct stat file;
  if (fstat(iFileFd_, &file) != 0) RaiseWriteFailure(sFile_, errno);
  Entry entry;
  entry.sTag = sTag;
  entry.block = block;
  entry.file = CommitFileIdOf(file);
  entry.sRunFile = sRunFile;
  entry.sOutputFile = sOutputFile;
  // A journal that would not read back as written is never written.
  if (!ReadsBack(entry)) RaiseWriteFailure(sJournal_, EINVAL);
  journal_.Create(TextOf(entry));
}

bool KmClusteringJournal::Remove() { return journal_.Remove(); }
