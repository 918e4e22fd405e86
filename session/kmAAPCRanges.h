// The ranges over which the average annual percent change is reported.
#ifndef KM_SESSION_KMAAPCRANGES_H
#define KM_SESSION_KMAAPCRANGES_H

#include <cstdint>
#include <vector>

class KmIO_File;

// kmAAPCRanges says over which ranges of the independent variable the AAPC
// is reported: the full range (a flag), the last N observations for each N
// of a list, and custom ranges whose i-th start value pairs with the i-th
// end value. The start and end lists are independent; nothing requires them
// to have the same length. The session holds one by value and stores it in
// the session file; the driver fills it from the export options.
//
// Record in the session block (little-endian, through KmIO_File):
//   Short full-range flag (1 or 0); Int n, n x Int lengths;
//   Int s, s x Double starts; Int e, e x Double ends.
class kmAAPCRanges {
 public:
  // Flag clear, three empty lists.
  kmAAPCRanges() = default;
  kmAAPCRanges(const kmAAPCRanges& other) = default;
  kmAAPCRanges& operator=(const kmAAPCRanges& other) = default;
  ~kmAAPCRanges() = default;

  bool GetFullRange() const { return bFullRange_; }
  void SetFullRange(bool bFullRange) { bFullRange_ = bFullRange; }

  // Copies of the three lists.
  std::vector<int32_t> GetLastObsRanges() const { return lastObs_; }
  std::vector<double> GetStartRange() const { return starts_; }
  std::vector<double> GetEndRange() const { return ends_; }

  // Each replaces its list with the given values, in order.
  void SetLastObsRanges(std::vector<int32_t> lengths);
  void SetStartRange(std::vector<double> starts);
  void SetEndRange(std::vector<double> ends);

  // Writes the record at the file's position.
  // REQUIRES: pIO is open for writing.
  void Write(KmIO_File* pIO) const;
  // Reads the record at the file's position; the flag is set when its Short
  // is not 0. A negative count, or a record that the file does not hold
  // whole, throws KmException "Error:  This file is not a valid Kinkmark
  // file." and leaves the ranges unchanged.
  // REQUIRES: pIO is open for reading.
  void Read(KmIO_File* pIO);

  bool operator==(const kmAAPCRanges& other) const;
  bool operator!=(const kmAAPCRanges& other) const { return !(*this == other); }

 private:
  bool bFullRange_ = false;
  std::vector<int32_t> lastObs_;
  std::vector<double> starts_;
  std::vector<double> ends_;
};

#endif  // KM_SESSION_KMAAPCRANGES_H
