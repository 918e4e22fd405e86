// VSVariable: one variable of a statistics-product data dictionary.
#ifndef KM_SESSION_VSVARIABLE_H
#define KM_SESSION_VSVARIABLE_H

#include <memory>

#include "foundation/KmString.h"

class KmFormat;

// One exported variable of a VESK*Stat data dictionary (or of a
// session-parameter file): its name and, when the file gives value labels
// for it, its value-label format.
//
// The variable owns its format alone: copying, assignment, Copy and
// SetFormat store a copy of the format, Clear and the destructor delete it,
// so two variables never share one format object.
class VSVariable {
 public:
  // Empty name, no format.
  VSVariable();
  // A variable named sName (null gives "") without a format.
  explicit VSVariable(const char* sName);
  VSVariable(const VSVariable& other);
  ~VSVariable();
  // Assignment to itself does nothing; otherwise Copy.
  VSVariable& operator=(const VSVariable& other);

  // Deletes the format, then empties the name.
  void Clear();
  // Clear, then takes the name and a copy of other's format (when it has
  // one).
  // Throws: KmException (call path "Copy()" of "VSVariable") when copying
  // the format fails.
  void Copy(const VSVariable& other);

  const KmString& GetName() const { return sName_; }
  void SetName(const char* sName) { sName_ = sName; }

  // True when the variable has a value-label format.
  bool HasFormat() const { return pFormat_ != nullptr; }
  // The variable's format.
  // Throws: KmException "Variable \"<name>\" does not have a format."
  // (source "VSVariable", kind 0) when it has none.
  const KmFormat& GetFormat() const;
  // Deletes the present format and stores a copy of format.
  void SetFormat(const KmFormat& format);

 private:
  // Empty name and no format; frees nothing (constructors only).
  void Init();

  KmString sName_;
  // Owned; null when the variable has no format.
  std::unique_ptr<KmFormat> pFormat_;
};

#endif  // KM_SESSION_VSVARIABLE_H
