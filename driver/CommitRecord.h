// The record a run keeps while it moves its outputs into place, so that a
// run stopped in that step is finished, or reported, by the next one.
#ifndef KM_DRIVER_COMMITRECORD_H
#define KM_DRIVER_COMMITRECORD_H

#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "foundation/KmString.h"
#include "foundation/platform/KmFolder.h"

class KmStepFile;

// A file by its device and inode, as the record holds it.
struct CommitFileId {
  unsigned long long iDevice = 0;
  unsigned long long iInode = 0;
  bool operator==(const CommitFileId& other) const {
    return iDevice == other.iDevice && iInode == other.iInode;
  }
};

// One partial file the step moves into place, and the file it was.
struct CommitMove {
  KmString sPartial;  // "<name>.<6 letters or digits>.partial"
  CommitFileId file;
  bool operator==(const CommitMove& other) const {
    return sPartial == other.sPartial && file == other.file;
  }
};

// Closes the descriptor iFd, where it is one (not negative), when it goes.
struct CommitFdCloser {
  int iFd;
  ~CommitFdCloser() {
    if (iFd >= 0) close(iFd);
  }
};

// A clustering block as the record and the journal name it: where it
// begins in its file, its length, and the checksum of its bytes
// (CommitChecksum). It is whole where the file holds bytes there, as many,
// whose checksum is its own (IsBlockWhole): the one rule by which a block
// is kept or said to be whole.
struct CommitBlock {
  long long iOffset = 0;
  long long iLength = 0;
  std::string sChecksum;
  long long End() const { return iOffset + iLength; }
  bool operator==(const CommitBlock& other) const {
    return iOffset == other.iOffset && iLength == other.iLength &&
           sChecksum == other.sChecksum;
  }
};

// What a run's last step does: the file sAppendedTo it appends its
// clustering block to first ("" when none; the file appendedFile, whose
// journal undoes a block cut off; the block, block); the partial files it
// then moves into place, in order; and the earlier outputs it then removes
// (the exports it did not write). sTag, random, tells one record from
// another: the journal of its clustering block carries it too.
struct CommitPlan {
  std::string sTag;
  KmString sAppendedTo;
  CommitFileId appendedFile;
  CommitBlock block;
  std::vector<CommitMove> moves;
  std::vector<KmString> removals;
  bool operator==(const CommitPlan& other) const {
    return sTag == other.sTag && sAppendedTo == other.sAppendedTo &&
           appendedFile == other.appendedFile && block == other.block &&
           moves == other.moves && removals == other.removals;
  }
};

// The system's reason for iErrno, in words ("No space left on device");
// that of EIO for 0, which names no failure.
std::string SystemReason(int iErrno);

// Throws: KmException "Unable to write the file \"<sName>\": <reason of
// iErrno>." (class "CommitRecord"): a file of the last step cannot be
// written.
[[noreturn]] void RaiseWriteFailure(const KmString& sName, int iErrno);

// The device and inode of info.
CommitFileId CommitFileIdOf(const struct stat& info);

// True when info is of a file this process's account owns (the installed
// KmFileSystem's UserId) that has one name.
bool IsOwnFileWithOneName(const struct stat& info);

// The checksum of the first iLength bytes of sText: 16 hexadecimal digits,
// the last line of a commit record and of a clustering journal
// (KmClusteringJournal), so that one cut short or edited is not whole.
std::string CommitChecksum(const std::string& sText, size_t iLength);

// The block sBytes appended after iOffset bytes.
CommitBlock CommitBlockOf(long long iOffset, const std::string& sBytes);

// True when the file open as iFd holds block whole: the bytes from its
// offset on, as many as its length, have its checksum. False where the
// file is shorter, or they cannot be read.
bool IsBlockWhole(int iFd, const CommitBlock& block);

// "<length> <checksum>" of block, as the record and the journal write it
// after its offset; and the reader of those two fields from sText at iAt
// (moved past them and the space after, when one follows).
std::string BlockFieldsOf(const CommitBlock& block);
bool ReadBlockFields(const std::string& sText, size_t& iAt, CommitBlock& block);

// Reads a number of digits only (at most 18) from sText at iAt up to the
// next space, and moves iAt past that space; false when there is none.
bool ReadDigits(const std::string& sText, size_t& iAt,
                unsigned long long& iNumber);

// "<device> <inode>" of file, as the record and the journal write it; and
// the reader of those two fields, each followed by a space, from sText at
// iAt (moved past them).
std::string FileIdFieldsOf(const CommitFileId& file);
bool ReadFileIdFields(const std::string& sText, size_t& iAt,
                      CommitFileId& file);

// True when sText is 16 lowercase hexadecimal digits, as a tag or a
// checksum of a commit record or a clustering journal is.
bool IsHex(const std::string& sText);

// True when some line of sText after its first is a whole last line of a
// commit record or a clustering journal ("end <16 hexadecimal digits>"
// and its line end): a text with such a line that does not end with it was
// written past its end, not cut short.
bool HoldsEndLine(const std::string& sText);

// The field of a commit record's or a clustering journal's line that holds
// the name sName: its bytes as they are, but a backslash and every control
// byte (a line break, a carriage return, a tab, ...) written as "\x" and
// two lowercase hexadecimal digits, so that the field is one line and any
// name reads back exactly (ReadNameField).
std::string NameField(const KmString& sName);

// Reads sField, as NameField writes it, into sName; false when NameField
// writes no such field: empty, a byte it escapes written as it is, or an
// escape of a byte it writes as it is (one name, one field).
bool ReadNameField(const std::string& sField, KmString& sName);

// CommitRecord: the text of the file "<stem>.commit" of one run's last
// step, in the folder of its results file. Its lines:
//   kinkmark commit record version 5 <tag>
//   append <device> <inode> <offset> <length> <checksum> <clustering
//          result file>          at most one: the file and its block
//   move <device> <inode> <partial name>     one per output, in move order
//   remove <output name>          one per earlier export to remove
//   end <checksum>
// Each name is its NameField. The checksum (16 hexadecimal digits) is of every
// byte before the last line, so a record cut short, edited or put together from
// pieces of records is not whole. A record of another version of the program
// has another first line that begins as this one does (version 4 held each name
// as it is, so its names are not fields of this version).
namespace CommitRecord {

enum class Found {
  kNone,          // no file under the name
  kUnfinished,    // a record cut before its last line: nothing was moved
  kComplete,      // a whole record: the plan holds it
  kOtherVersion,  // a record of another version of the program: sWhy says so
  kUnreadable     // anything else: sWhy says what
};

// The text of plan's record.
std::string Text(const CommitPlan& plan);

// Reads sText as a record: kUnfinished, kComplete (plan filled),
// kOtherVersion or kUnreadable (sWhy set).
Found Parse(const std::string& sText, CommitPlan& plan, std::string& sWhy);

// Reads the record a stopped run left as record (KmStepFile::ReadLeft,
// which holds it from then on): kNone, kUnreadable where ReadLeft refuses
// it, else as Parse reads its text.
Found Read(KmStepFile& record, CommitPlan& plan, std::string& sWhy);

// A tag no other record is likely to have: 16 hexadecimal digits.
std::string NewTag();

}  // namespace CommitRecord

#endif  // KM_DRIVER_COMMITRECORD_H
