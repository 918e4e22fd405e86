// Reader of ini-style text files.
#ifndef KM_FOUNDATION_KMINIFILE_H
#define KM_FOUNDATION_KMINIFILE_H

#include <cstdint>
#include <functional>
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
// with '[' starts a section named by the whole line (trimmed of spaces);
// any other line is a key line of the current section (KmIniSection::
// AddLine). Key lines before the first section header belong to no section
// and are ignored. Lines are read by KmLineSource: "\r\n" line ends are
// read as line feeds, a file whose lines end in carriage returns alone is
// refused, and a leading UTF-8 byte-order mark is skipped.
class KmIniFile {
 public:
  // Reads the file sPath, kept as its full path (KmFileName). A file that
  // does not exist gives an object without sections. Throws KmException
  // (source "KmIniFile") "Unable to open file \"<full path>\" for reading."
  // when the file exists but cannot be opened, the line source's errors of
  // the input kind ("The file \"<full path>\" is damaged: line <n> holds a
  // NUL byte." for a line, counted from 1, holding a zero byte, and "The
  // file \"<full path>\" has lines that end in carriage returns alone
  // ..."), and passes on the errors of the path resolution.
  explicit KmIniFile(const char* sPath);
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

  // Reads the file sPath line by line by the layout above, without keeping
  // it: onHeader gets each section header line (trimmed), onKeyLine each
  // key line (trimmed; also those before the first header). Returns false,
  // calling neither, when the file cannot be opened (a missing file too).
  // Throws the line source's errors of the input kind, and what the
  // callbacks throw.
  static bool ScanLines(
      const char* sPath,
      const std::function<void(const KmString& sHeader)>& onHeader,
      const std::function<void(const KmString& sLine)>& onKeyLine);
  // As ScanLines, each line given with its number in the file (from 1,
  // blank and comment lines counted).
  static bool ScanNumberedLines(
      const char* sPath,
      const std::function<void(const KmString& sHeader, int32_t iLine)>&
          onHeader,
      const std::function<void(const KmString& sLine, int32_t iLine)>&
          onKeyLine);

  // The line number (from 1) of the first line of key sKey in section
  // sSection of the file sPath (names compared as the reader compares
  // them), or 0 when the file has no such line or cannot be opened.
  // Throws the line source's errors of the input kind.
  static int32_t FindKeyLine(const char* sPath, const char* sSection,
                             const char* sKey);

 private:
  void ReadFile();

  KmString sFileName_;
  std::vector<KmIniSection> sections_;
};

#endif  // KM_FOUNDATION_KMINIFILE_H
