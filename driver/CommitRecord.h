// The record a run keeps while it moves its outputs into place, so that a
// run stopped in that step is finished, or reported, by the next one.
#ifndef KM_DRIVER_COMMITRECORD_H
#define KM_DRIVER_COMMITRECORD_H

#include <unistd.h>

#include <string>
#include <vector>

#include "driver/KmStepFields.h"
#include "foundation/KmString.h"

class KmStepFile;

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
