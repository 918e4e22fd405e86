// The fields and rules that both files of a run's last step share, its
// commit record (CommitRecord) and the journal of a clustering result file
// (KmClusteringJournal): a file by its device and inode, a name as one
// field, a number of digits, the clustering block and the checksum that
// makes either file whole; the owner rule of a file either may act on; and
// the failure to write a file of the step.
#ifndef KM_DRIVER_KMSTEPFIELDS_H
#define KM_DRIVER_KMSTEPFIELDS_H

#include <sys/stat.h>

#include <string>

#include "foundation/KmString.h"

// A file by its device and inode, as the record and the journal hold it.
struct CommitFileId {
  unsigned long long iDevice = 0;
  unsigned long long iInode = 0;
  bool operator==(const CommitFileId& other) const {
    return iDevice == other.iDevice && iInode == other.iInode;
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

// Throws: KmException "Unable to write the file \"<sName>\": <reason of
// iErrno>." (class "KmLastStep"): a file of the last step cannot be
// written.
[[noreturn]] void RaiseWriteFailure(const KmString& sName, int iErrno);

// The device and inode of info.
CommitFileId CommitFileIdOf(const struct stat& info);

// True when info is of a file this process's account owns (the installed
// KmFileSystem's UserId) that has one name.
bool IsOwnFileWithOneName(const struct stat& info);

// 16 lowercase hexadecimal digits of iNumber, as IsHex reads them: a tag
// or a checksum.
std::string HexOf(unsigned long long iNumber);

// The checksum of the first iLength bytes of sText: 16 hexadecimal digits,
// the last line of a commit record and of a clustering journal, so that one
// cut short or edited is not whole.
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

#endif  // KM_DRIVER_KMSTEPFIELDS_H
