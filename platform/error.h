// The automation error model: an error is a number plus a description.
// Inside the libraries errors are C++ exceptions (AutomationError); at an
// interface boundary Guard() turns them into an HRESULT plus a thread-local
// error record, and ThrowIfFailed() turns a failed HRESULT back into an
// exception, keeping number and description.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/bstr.h"
#include "platform/com.h"

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

// The error record of the last failed boundary call on this thread
// (the stand-in for SetErrorInfo / GetErrorInfo).
struct ErrorRecord {
  HRESULT hresult = S_OK;
  std::int32_t number = 0;
  std::string description;
  std::string source;
};
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

// Rethrows a failed HRESULT as AutomationError, using the pending error
// record when it matches.
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
