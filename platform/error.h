// The automation error model: an error is a number plus a description.
// Inside the libraries errors are C++ exceptions (AutomationError); at an
// interface boundary Guard() turns them into an HRESULT plus the thread's
// error info (CreateErrorInfo + SetErrorInfo, platform/error_info.h), and
// ThrowIfFailed() turns a failed HRESULT back into an exception, taking
// number and description from GetErrorInfo.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/error_info.h"

namespace tarvik {

// Error numbers of the platform that the component relies on.
enum ErrorNumber : std::int32_t {
  kErrInvalidProcedureCall = 5,
  kErrOverflow = 6,
  kErrOutOfMemory = 7,
  kErrSubscriptOutOfRange = 9,
  kErrTypeMismatch = 13,
  kErrObjectVariableNotSet = 91,
  kErrInvalidUseOfNull = 94,
  kErrCannotCreateObject = 429,
  kErrObjectDoesntSupport = 438,
  kErrWrongArguments = 450,
  kErrArgumentNotOptional = 449,
  kErrDuplicateKey = 457,
  kErrDatabase = 3146,           // DAO: "ODBC--call failed." style generic database error
  kErrTooFewParameters = 3061,   // DAO: too few parameters
  kErrItemNotFound = 3265,       // DAO: item not found in this collection
  kErrInvalidOperation = 3219,   // DAO: invalid operation
  kErrNoCurrentRecord = 3021,    // DAO: no current record
  kErrKeyViolation = 3022,       // DAO: duplicate value in index or primary key
  kErrLocked = 3260,             // DAO: record locked by another user
};

// The standard description for a number ("Overflow", "Type mismatch", ...).
std::string DefaultDescription(std::int32_t number);

class AutomationError : public std::runtime_error {
 public:
  AutomationError(std::int32_t number, std::string description, std::string source = {});
  std::int32_t number() const { return number_; }
  const std::string& description() const { return description_; }
  const std::string& source() const { return source_; }
  HRESULT hresult() const { return hresult_; }
  // An error that came in as a plain HRESULT (not in the 0x800A range).
  static AutomationError FromHResult(HRESULT h, std::string description, std::string source);

 private:
  std::int32_t number_;
  std::string description_;
  std::string source_;
  HRESULT hresult_;
};

// Throws AutomationError(number, description or the default description).
[[noreturn]] void RaiseError(std::int32_t number, std::string description = {},
                             std::string source = {});

struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
  HRESULT scode;
};

// The thread's error info seen as one record. SetErrorRecord leaves an error
// info object (description and source) and remembers the HRESULT and number
// it was left for; TakeErrorRecord takes the error info (GetErrorInfo) and
// answers those too when the record is that one. For error info that someone
// else left, hresult is S_OK and number 0: not known.
struct ErrorRecord {
  HRESULT hresult = S_OK;
  std::int32_t number = 0;
  std::string description;
  std::string source;
};
// May throw std::bad_alloc; the thread then has no record.
void SetErrorRecord(ErrorRecord record);
// Returns and clears the record.
std::optional<ErrorRecord> TakeErrorRecord();

// Fills an EXCEPINFO (when given) from an error.
void FillExcepInfo(const AutomationError& e, EXCEPINFO* out);

// Converts an exception escaping `f` into an HRESULT and an error record.
// AutomationError keeps its number; std::bad_alloc becomes 7; anything else
// becomes E_FAIL with its what() text. Never throws.
template <class F>
HRESULT Guard(F&& f) noexcept;

// The error of a call that failed with h: the thread's error info (taken)
// gives description and source; a record our own boundary left for another
// HRESULT is stale and ignored, and without one the default description of
// h's number stands.
AutomationError TakeError(HRESULT h);

// Rethrows a failed HRESULT as AutomationError (TakeError).
void ThrowIfFailed(HRESULT h);

namespace detail {
HRESULT RecordCurrentException() noexcept;
}

template <class F>
HRESULT Guard(F&& f) noexcept {
  try {
    f();
    return S_OK;
  } catch (...) {
    return detail::RecordCurrentException();
  }
}

}  // namespace tarvik
