// Merging of small adjustment groups (for example age groups) of one
// clustered cohort before its age-adjusted rates are formed.
#ifndef KM_DATA_KMCLUSTERCOMPRESSION_H
#define KM_DATA_KMCLUSTERCOMPRESSION_H

#include <cstdint>
#include <vector>

#include "data/kmValueTable.h"
#include "foundation/KmString.h"
#include "foundation/KmVector.h"
#include "session/kmAdjustVarFormat.h"

class kmSession;

// The span of one merged group: the 0-based positions, in the input group
// list, of its first and last input group (both ends included).
struct kmGroupRange {
  int32_t iFirst = 0;
  int32_t iLast = 0;
};

// kmClusterCompression merges adjustment groups whose count is at or below
// a threshold, for any independent value, with a neighbouring group, so that
// the rates of a clustered analysis are not computed from nearly empty
// groups.
//
// Input table: one entry per independent value; each entry holds one row
// per adjustment group, in group order; elements 0, 1 and 2 of a row are the
// count, the population and the standard population. Only the counts decide
// the merging.
//
// Forward merging (the default) absorbs a small group into the group in
// front of it, i.e. the group at position g + 1 is added to the current
// group while the current group's accumulated count is still at or below the
// threshold for some independent value; when the last group is still small
// after that pass, a backward pass follows. Backward merging
// (kmOptCompressBackward not 0) walks from the last group down to the second
// and adds a small group to the one before it; the first group is never
// merged backward.
//
// The calculation control builds one object per clustered cohort, calls
// CompressAgeGroups once and hands GetClusterFormats() to the clustering
// rates (kmCalculateRates). The object keeps a pointer to the session, which
// it only reads and does not own.
//
// Every method adds its name and "kmClusterCompression" to the call path of
// a passing KmException and rethrows it.
class kmClusterCompression {
 public:
  // Reads the format line counts of the adjustment variable (role 6) and of
  // the independent variable (role 0), then runs Setup.
  // Throws: KmException "Cannot create a kmClusterCompression without a
  // valid session pointer." (source "kmClusterCompression") for a null
  // session; the session's "KM variable %d not yet defined." when role 6 or
  // role 0 is not set.
  explicit kmClusterCompression(kmSession* pSession);
  kmClusterCompression(const kmClusterCompression& other) = default;
  kmClusterCompression& operator=(const kmClusterCompression& other) = default;
  virtual ~kmClusterCompression();

  // Takes pSession as the session, then sets the age-adjusted flag
  // (kmOptDependentCalculated true and kmOptDependentType 4), the threshold
  // (kmOptCompressionThreshold), a copy of the session's cluster formats,
  // and the groups (SetupAgeGroupVariable).
  // Throws: the null-session KmException above for a null pSession; the
  // session's option errors.
  void Setup(kmSession* pSession);
  // Builds the base groups (SetupBaseAdjustmentVarFormat) and makes the
  // working groups a copy of the session's adjustment formats, or of the
  // base groups when the session has none.
  void SetupAgeGroupVariable();
  // When the adjustment variable is set and kmOptDependentCalculated is
  // true, rebuilds the base groups: with a format, one group per format line
  // i, labelled with the line's label, with codes [i], statistics 0 and both
  // flags false, and the adjustment-group count becomes the line count;
  // without a format, no groups and the count becomes -1. Otherwise nothing
  // changes.
  void SetupBaseAdjustmentVarFormat();
  // For an adjustment variable without a format (the count -1 after
  // SetupBaseAdjustmentVarFormat): its groups are vCodes, the codes of the
  // data's first year (kmReadData::FirstYearAdjustCodes), one group per
  // code i labelled with the code, with codes [i], as a format's lines
  // give them; the count becomes their number and, when the session has no
  // adjustment formats, the working groups become these groups. Otherwise
  // nothing changes.
  void SetCodeGroups(const std::vector<KmString>& vCodes);

  // Merges the groups of table. vGroups is the input group list, one record
  // per row of every table entry. When some count is at or below the
  // threshold, merges forward or backward (kmOptCompressBackward) and builds
  // one group per merged range: label "<first> to <last>" (or the single
  // group's label), codes the input positions first..last, merged flag set
  // when the range spans more than one group; the compressed table then
  // holds per independent value and range the element-wise sum of elements
  // 0, 1 and 2 of the rows in the range. When no count is small, the
  // compressed table is the input table and the compressed groups are the
  // input groups (own codes kept) with the merged flag cleared. Fills the
  // groups' statistics (SetGroupStatistics), appends one cluster format
  // (index = number of formats before, the compressed groups, empty name,
  // 0) and returns true.
  // Throws: KmException of the input kind when an entry of table does not
  // hold exactly one row per group or a row holds fewer than three values;
  // nothing is changed then.
  bool CompressAgeGroups(kmValueTable table,
                         KmVector<kmAdjustVarFormat> vGroups);

  // Compresses one clustered cohort. records are its records as
  // kmReadData::ReadDataAndCalcRates_Cluster gives them: per independent
  // value, one row {group, count, population, standard population} per
  // record. Each independent value's rows are put in the order of the
  // working groups (a record belongs to the working group whose codes hold
  // its group, truncated), so that the merge reads each group's own counts
  // whatever order its records come in; an independent value whose records
  // are not one per group keeps their order. Then CompressAgeGroups with
  // the working groups. Returns true.
  // Throws: KmException "A clustered record holds %d values; 4 are needed
  // (adjustment code, count, population, standard population)." for a short
  // row; the errors of CompressAgeGroups.
  bool CompressCohort(const kmValueTable& records);

  // Forward merge of *pRanges over a copy of table: InternalCompressForward,
  // then InternalCompressBackward when the last group is still small.
  // Returns true.
  // REQUIRES: pRanges is not null; every entry of table has a row (with a
  // count in element 0) for each position the ranges span.
  bool CompressForward(kmValueTable table, KmVector<kmGroupRange>* pRanges);
  // Backward merge of *pRanges over a copy of table. Returns true.
  // REQUIRES: as CompressForward.
  bool CompressBackward(kmValueTable table, KmVector<kmGroupRange>* pRanges);
  // One forward pass from the first range to the last. Row j of every entry
  // of table becomes the accumulated count (element 0) of new range j.
  // Replaces ranges with the merged ranges. Returns true when the last range
  // was still at or below the threshold for some independent value (it
  // could not be absorbed forward); false otherwise, also for no ranges.
  bool InternalCompressForward(kmValueTable& table,
                               KmVector<kmGroupRange>& ranges);
  // One backward pass from the last range down to the second: a range whose
  // row r has a count at or below the threshold for some independent value
  // is added to range r - 1 (counts summed into row r - 1, row r removed)
  // and the pass goes on with the merged range. Position 0 is never merged.
  void InternalCompressBackward(kmValueTable& table,
                                KmVector<kmGroupRange>& ranges);
  // Sets, for each group g of vGroups, the minimum, maximum and mean over
  // the independent values of the counts table[v][g][0]; all three are 0
  // when table has no entries.
  // REQUIRES: every entry of table has a row for each group.
  void SetGroupStatistics(const kmValueTable& table,
                          KmVector<kmAdjustVarFormat>& vGroups);

  // A copy of the cluster formats, one appended per CompressAgeGroups call;
  // the calculation control uses the first.
  KmVector<kmClusterFormat> GetClusterFormats() const {
    return vClusterFormats_;
  }
  // The table of the last CompressAgeGroups call, summed over the final
  // groups (three values per row).
  const kmValueTable& GetCompressedTable() const { return compressedTable_; }
  // The final groups of the last CompressAgeGroups call, with statistics.
  const KmVector<kmAdjustVarFormat>& GetCompressedGroups() const {
    return vCompressedGroups_;
  }
  // One group per line of the adjustment variable's format (see
  // SetupBaseAdjustmentVarFormat).
  const KmVector<kmAdjustVarFormat>& GetBaseGroups() const {
    return vBaseGroups_;
  }
  // The session's adjustment formats, or the base groups when it has none:
  // the input group list the calculation control hands to CompressAgeGroups.
  const KmVector<kmAdjustVarFormat>& GetWorkingGroups() const {
    return vWorkingGroups_;
  }
  // The session's cluster formats as copied by Setup.
  const KmVector<kmClusterFormat>& GetSessionClusterFormats() const {
    return vSessionClusterFormats_;
  }
  double GetThreshold() const { return dThreshold_; }
  bool IsAgeAdjusted() const { return bAgeAdjusted_; }
  // Number of lines of the independent variable's format; 0 without one.
  int16_t GetNumIndependentValues() const { return iNumIndepValues_; }
  // Number of lines of the adjustment variable's format; 0 without one, or
  // -1 once SetupBaseAdjustmentVarFormat found no format.
  int32_t GetNumAdjustmentGroups() const { return iNumAdjustGroups_; }

 private:
  double dThreshold_ = 0.0;
  int16_t iNumIndepValues_ = 0;
  kmSession* pSession_ = nullptr;
  int32_t iNumAdjustGroups_ = 0;
  KmVector<kmAdjustVarFormat> vBaseGroups_;
  bool bAgeAdjusted_ = false;
  kmValueTable compressedTable_;
  KmVector<kmAdjustVarFormat> vCompressedGroups_;
  KmVector<kmClusterFormat> vClusterFormats_;
  KmVector<kmClusterFormat> vSessionClusterFormats_;
  KmVector<kmAdjustVarFormat> vWorkingGroups_;
};

#endif  // KM_DATA_KMCLUSTERCOMPRESSION_H
