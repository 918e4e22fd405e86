// The one error type of the system and the free functions that build and
// throw it.
#ifndef KM_FOUNDATION_KMEXCEPTION_H
#define KM_FOUNDATION_KMEXCEPTION_H

#include <cstdarg>
#include <cstdint>
#include <exception>
#include <string>

#if defined(__GNUC__)
#define KM_PRINTF_FORMAT(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define KM_PRINTF_FORMAT(fmt, first)
#endif

// What a failure means to the control of the run, carried beside its text
// so that no decision reads the message.
enum class KmFailure : int32_t {
  // Any failure the run reports and ends with in the error file.
  kOther = 0,
  // A best-model fit met a model with kinkmarks but no locations: the run
  // reports the message and ends with status 1 once every worker stopped.
  kFitWithoutLocations = 1,
  // The memory a step asked for could not be had: the driver names what the
  // run was doing.
  kOutOfMemory = 2,
};

// KmException carries an error from the point of failure to the driver.
// It is thrown by value and caught by reference; each catching layer appends
// one line naming its method and class to the call path (AddCallPath) and
// rethrows the same object. The driver writes the message, the source (the
// class or module that raised it) and the call path into the error file.
//
// Kind 0 marks internal and environment errors, kind 3 errors in the user's
// input (option files, session definitions, input limits). The number is -1
// unless the exception was built by GenerateKmInputExceptionN.
//
// Each copy owns its own texts; none of them is ever null.
class KmException : public std::exception {
 public:
  // Kind used for errors in the user's input files.
  static constexpr int32_t kInputErrorKind = 3;

  // Empty message, source and call path; kind 0, number -1.
  KmException();
  // Message and source as given (null gives ""); kind 0, number -1.
  KmException(const char* sMessage, const char* sSource);
  // As above with the given kind.
  KmException(const char* sMessage, const char* sSource, int32_t iKind);
  // Message printed from sFormat with args; number -1.
  KmException(va_list args, const char* sFormat, const char* sSource,
              int32_t iKind);
  // Message printed from sFormat with args, and the given number.
  KmException(va_list args, const char* sFormat, const char* sSource,
              int32_t iKind, int32_t iNumber);
  // Copies all five fields, the call path included.
  KmException(const KmException& other);
  KmException& operator=(const KmException& other);
  ~KmException() override;

  // The message, so that a handler of the standard exception type that
  // meets a KmException still reports its text.
  const char* what() const noexcept override;

  const char* GetMessage() const { return sMessage_.c_str(); }
  const char* GetSource() const { return sSource_.c_str(); }
  const char* GetCallPath() const { return sCallPath_.c_str(); }
  int32_t GetKind() const { return iKind_; }
  int32_t GetNumber() const { return iNumber_; }
  // KmFailure::kOther unless set; copies keep it.
  KmFailure GetFailure() const { return failure_; }
  void SetFailure(KmFailure failure) { failure_ = failure; }
  // The number of "Standard exception" reports the exception collected on
  // its way (one per catch block of the model framework it passed); the
  // driver writes one line per report on standard output. Copies keep it.
  int32_t GetStandardReports() const { return iStandardReports_; }
  void AddStandardReport() { ++iStandardReports_; }
  void SetStandardReports(int32_t iReports) { iStandardReports_ = iReports; }

  // Replaces the message with sText (null gives "").
  void SetMessage(const char* sText);
  // Replaces the message with the printf-style text of sFormat and the
  // further arguments (a null format gives ""). The text is never cut short.
  template <typename First, typename... Rest>
  void SetMessage(const char* sFormat, First first, Rest... rest) {
    SetMessageF(sFormat, first, rest...);
  }
  void SetMessage(va_list args, const char* sFormat);
  // Replace the source or the call path (null gives "").
  void SetSource(const char* sSource);
  void SetCallPath(const char* sCallPath);
  void SetKind(int32_t iKind) { iKind_ = iKind; }

  // Message, source and call path "", number -1, failure kOther, no
  // standard-exception reports (the kind stays).
  void Init();

  // Appends one line to the call path: sMethod, then " of " and sClassName
  // when sClassName is given, then " (" sDetail ")" when sDetail is given.
  // Lines are separated by "\r\n"; the first line has no separator before it.
  // Null arguments leave their part out.
  void AddCallPath(const char* sMethod, const char* sClassName,
                   const char* sDetail = nullptr);

 private:
  void SetMessageF(const char* sFormat, ...);

  std::string sMessage_;
  std::string sSource_;
  std::string sCallPath_;
  int32_t iNumber_;
  int32_t iKind_;
  KmFailure failure_ = KmFailure::kOther;
  int32_t iStandardReports_ = 0;
};

// The exception raised by the text-to-number conversions (KmConvertValue):
// a KmException that also names the data-type letter of the failed
// conversion ('S' short, 'U' unsigned short, 'I' long, 'W' unsigned long,
// 'N' double) and the offending text.
class KmMalformedDataException : public virtual KmException {
 public:
  KmMalformedDataException();
  // Message printed from sFormat with args, source sSource, kind 0.
  KmMalformedDataException(va_list args, const char* sFormat, char cDataType,
                           const char* sText, const char* sSource);
  KmMalformedDataException(const KmMalformedDataException& other);
  KmMalformedDataException& operator=(const KmMalformedDataException& other);
  ~KmMalformedDataException() override;

  char GetDataType() const { return cDataType_; }
  const std::string& GetText() const { return sText_; }

 private:
  char cDataType_;
  std::string sText_;
};

// A standard exception as a KmException: its text (what()) and sSource,
// kind 0; an allocation failure (std::bad_alloc) also gets the failure
// KmFailure::kOutOfMemory.
KmException KmExceptionFromStandard(const std::exception& e,
                                    const char* sSource);

// Throw functions. Each builds the exception and throws it; none returns.
// A null format gives an empty message, a null source an empty source.

// Throws KmException(sMessage, sSource): kind 0, number -1.
[[noreturn]] void GenerateKmException(const char* sMessage,
                                      const char* sSource);
// Same result as GenerateKmException.
[[noreturn]] void ThrowKmException(const char* sMessage, const char* sSource);
// Internal error with values: message printed from sFormat and the further
// arguments; kind 0, number -1.
[[noreturn]] void GenerateKmExceptionF(const char* sFormat, const char* sSource,
                                       ...) KM_PRINTF_FORMAT(1, 3);
// Error in the user's input: as GenerateKmExceptionF with kind 3.
[[noreturn]] void GenerateKmInputExceptionF(const char* sFormat,
                                            const char* sSource, ...)
    KM_PRINTF_FORMAT(1, 3);
// Input limit: the message is printed from sFormat with iNumber as its first
// argument and the further arguments after it; kind 3, number iNumber.
// REQUIRES: the first conversion of sFormat takes an int.
[[noreturn]] void GenerateKmInputExceptionN(const char* sFormat,
                                            const char* sSource,
                                            int32_t iNumber, ...);
// Conversion failure: KmMalformedDataException with the message printed from
// sFormat and the further arguments, the data-type letter and the text.
[[noreturn]] void GenerateKmMalformedDataException(const char* sFormat,
                                                   char cDataType,
                                                   const char* sText,
                                                   const char* sSource, ...)
    KM_PRINTF_FORMAT(1, 5);

#endif  // KM_FOUNDATION_KMEXCEPTION_H
