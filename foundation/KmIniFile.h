// Reader of ini-style text files.
#ifndef KM_FOUNDATION_KMINIFILE_H
#define KM_FOUNDATION_KMINIFILE_H

#include <cstdint>
#include <utility>
#include <vector>

#include "foundation/KmIniSection.h"
#include "foundation/KmString.h"

// KmIniFile reads a whole ini-style text file into memory: its sections in
// file order (duplicates kept), each with its keys and values. It serves the
// run file, the run-options and export-options files, the data dictionary
// and the session-parameter file. Section lookups ignore case and find the
// first section of a name. There is no writer.
//
// File layout: lines are trimmed of blanks (bytes 0x01-0x20) at both ends;
// empty lines and lines beginning with ';' are skipped; a line beginning
// with '[' is a section header, read as the name it holds
// (KmIniSection::ReadHeader: blanks inside the brackets and around '=' and
// a comment after the ']' are no part of it); any other line is a key line
// of the current section (KmIniSection::AddLine). Key lines before the
// first section header belong to no section and are ignored. Each section
// and key line keeps its line number. Lines are read by KmLineSource:
// "\r\n" line ends are read as line feeds, a file whose lines end in
// carriage returns alone is refused, and a leading UTF-8 byte-order mark is
// skipped.
class KmIniFile {
 public:
  // Reads the file sPath, kept as its full path (KmFileName). A file that
  // does not exist gives an object without sections. Throws KmException
  // (source "KmIniFile") "Unable to open file \"<full path>\" for reading."
  // when the file exists but cannot be opened, the line source's errors of
  // the input kind ("The file \"<full path>\" is damaged: line <n> holds a
  // NUL byte." for a line, counted from 1, holding a zero byte, and "The
  // file \"<full path>\" has lines that end in carriage returns alone
  // ..."), "The file \"<full path>\", line <n>: the section header
  // \"<text>\" cannot be read; write the section's name between \"[\" and
  // \"]\", with nothing after the \"]\" but a comment beginning with
  // \";\"." (input kind) for a header ReadHeader cannot read, and passes
  // on the errors of the path resolution.
  explicit KmIniFile(const char* sPath);
  // Reads the file sPath as above, its messages naming it as sPath names it
  // (an options file named as its run file names it), not by its full
  // path.
  KmIniFile(const char* sPath, bool bNamedAsGiven);
  virtual ~KmIniFile();

  // The full path of the file read.
  const KmString& GetFileName() const { return sFileName_; }

  // Appends a copy of *pSection (nothing for null).
  void AddSection(const KmIniSection* pSection);
  // Index of the first section named "[" sName "]" (brackets added only when
  // sName does not begin with '['), compared without regard to case; -1
  // when absent. Throws the KmString index error for an empty sName.
  int32_t GetSectionIndex(const char* sName) const;
  // That section, or null when absent. Throws as GetSectionIndex.
  KmIniSection* GetSection(const char* sName);
  const KmIniSection* GetSection(const char* sName) const;
  // Section iIndex; null when iIndex is out of range.
  KmIniSection* GetSectionByIndex(int32_t iIndex);
  const KmIniSection* GetSectionByIndex(int32_t iIndex) const;
  int32_t GetNumSections() const {
    return static_cast<int32_t>(sections_.size());
  }

  // Each section whose name an earlier section has (once per name: its
  // first and its second section), in the order of the second ones, as
  // the indices of the two sections.
  std::vector<std::pair<int32_t, int32_t>> GetSectionsGivenTwice() const;
  // The number of the first line of key sKey in the first section named
  // sSection (GetSectionIndex); 0 when there is none.
  int32_t GetKeyLine(const char* sSection, const char* sKey) const;

 private:
  void ReadFile();

  KmString sFileName_;
  // The name the file is opened by and named by in messages.
  KmString sShownName_;
  std::vector<KmIniSection> sections_;
};

#endif  // KM_FOUNDATION_KMINIFILE_H
