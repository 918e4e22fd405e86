// The console lines of a long read of the data file.
#ifndef KM_DRIVER_DATAFILEPROGRESS_H
#define KM_DRIVER_DATAFILEPROGRESS_H

#include <cstdint>
#include <cstdio>

#include "foundation/KmProgressInterface.h"
#include "foundation/KmString.h"

// DataFileProgress receives the share of the data file a reader has read
// (KmLineSource::SetProgress: a range, then positions within it) and, for
// a file of at least iShownFrom bytes as stored, writes to pOut, when
// built, sHeading followed by the file's size ("Reading the data file (158
// MB)"; nothing when sHeading is null), then each time the read passes a
// tenth of the file the line "  <p>% of the data file <sDone>" (10% to
// 100%). A smaller file, which is read in a moment, shows nothing. The
// lines are whole lines, the same on a terminal and in a log. Used on one
// thread.
class DataFileProgress : public KmNullProgress {
 public:
  // The size from which a read shows its lines: read in a second or two.
  static constexpr int64_t kShownFromBytes = int64_t{32} << 20;

  DataFileProgress(const KmString& sDataFile, const char* sHeading,
                   const char* sDone, std::FILE* pOut = stdout,
                   int64_t iShownFrom = kShownFromBytes);
  DataFileProgress(const DataFileProgress&) = delete;
  DataFileProgress& operator=(const DataFileProgress&) = delete;
  ~DataFileProgress() override;

  // A new range starts the tenths again (the file opened anew).
  void SetMaximum(int32_t iMaximum) override;
  void SetPosition(int32_t iPosition) override;

 private:
  const char* sDone_;
  std::FILE* pOut_;
  bool bShown_ = false;
  int32_t iMaximum_ = 1;
  // The tenths of the file whose lines have been written.
  int32_t iTenthsShown_ = 0;
};

#endif  // KM_DRIVER_DATAFILEPROGRESS_H
