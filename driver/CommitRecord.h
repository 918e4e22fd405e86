// The record a run keeps while it moves its outputs into place, so that a
// run stopped in that step is finished, or reported, by the next one.
#ifndef KM_DRIVER_COMMITRECORD_H
#define KM_DRIVER_COMMITRECORD_H

#include <string>
#include <vector>

#include "foundation/KmString.h"
#include "foundation/platform/KmFolder.h"

// What a run's last step does: the clustering block it appends first, to
// the file sAppendedTo ("" when none), which grows from iLengthBefore to
// iLengthAfter bytes; the partial files it then moves into place, in order
// (each "<name>.<6 letters or digits>.partial" names its output); and the
// earlier outputs it then removes (the exports it did not write).
struct CommitPlan {
  KmString sAppendedTo;
  long long iLengthBefore = 0;
  long long iLengthAfter = 0;
  std::vector<KmString> moves;
  std::vector<KmString> removals;
};

// Throws: KmException "Unable to write the file \"<sName>\": <reason of
// iErrno>." (class "CommitRecord"): a file of the last step cannot be
// written.
[[noreturn]] void RaiseWriteFailure(const KmString& sName, int iErrno);

// CommitRecord: the file "<stem>.commit" of one run's last step, in the
// folder of its results file. Its lines:
//   kinkmark commit record
//   append <before> <after> <clustering result file>   at most one
//   move <partial name>      one per output, in the order of the moves
//   remove <output name>     one per earlier export to remove
//   end
// It is created exclusively and never through a link, written and synced
// through the descriptor of that creation, and its folder synced, before
// the first output is moved; it is removed once the step is done. A record
// that is found complete therefore says that its run may have stopped
// part-way through its moves; one without its last line, that its run
// stopped before it moved anything.
class CommitRecord {
 public:
  // Creates and writes the record sName of plan in folder (the folder sName
  // is in, held by the caller), syncing the record and then the folder.
  // Throws: KmException "Unable to write the file \"<name>\": <reason>."
  // (class "CommitRecord") when it cannot be created, written or synced
  // (the record is removed again).
  CommitRecord(const KmFolder& folder, const KmString& sName,
               const CommitPlan& plan);
  // Removes the record unless Remove did, when its name still reaches it.
  ~CommitRecord();
  CommitRecord(const CommitRecord&) = delete;
  CommitRecord& operator=(const CommitRecord&) = delete;

  // Removes the record and syncs its folder: the last step is done. Raises
  // nothing.
  void Remove() noexcept;

  enum class Found {
    kNone,        // no file under the name
    kUnfinished,  // a record cut before its last line: nothing was moved
    kComplete,    // a whole record: plan holds it
    kUnreadable   // anything else: sWhy says what
  };
  // Reads the file sName of folder, never through a link, as a record a
  // stopped run left there.
  static Found Read(const KmFolder& folder, const KmString& sName,
                    CommitPlan& plan, std::string& sWhy);

 private:
  KmFolder folder_;
  std::string sLeaf_;
  int iFd_ = -1;
};

#endif  // KM_DRIVER_COMMITRECORD_H
