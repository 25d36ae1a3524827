#include "platform/error.h"

#include <new>
#include <utility>

namespace tarvik {

namespace {

struct Description {
  std::int32_t number;
  const char* text;
};

constexpr Description kDescriptions[] = {
    {3, "Return without GoSub"},
    {5, "Invalid procedure call or argument"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {9, "Subscript out of range"},
    {10, "This array is fixed or temporarily locked"},
    {11, "Division by zero"},
    {13, "Type mismatch"},
    {14, "Out of string space"},
    {17, "Can't perform requested operation"},
    {28, "Out of stack space"},
    {35, "Sub or Function not defined"},
    {48, "Error in loading DLL"},
    {51, "Internal error"},
    {52, "Bad file name or number"},
    {53, "File not found"},
    {54, "Bad file mode"},
    {55, "File already open"},
    {57, "Device I/O error"},
    {58, "File already exists"},
    {61, "Disk full"},
    {62, "Input past end of file"},
    {67, "Too many files"},
    {68, "Device unavailable"},
    {70, "Permission denied"},
    {71, "Disk not ready"},
    {75, "Path/File access error"},
    {76, "Path not found"},
    {91, "Object variable or With block variable not set"},
    {92, "For loop not initialized"},
    {93, "Invalid pattern string"},
    {94, "Invalid use of Null"},
    {424, "Object required"},
    {429, "ActiveX component can't create object"},
    {430, "Class doesn't support Automation or does not support expected interface"},
    {438, "Object doesn't support this property or method"},
    {440, "Automation error"},
    {445, "Object doesn't support this action"},
    {446, "Object doesn't support named arguments"},
    {448, "Named argument not found"},
    {449, "Argument not optional"},
    {450, "Wrong number of arguments or invalid property assignment"},
    {451, "Property let procedure not defined and property get procedure did not return an object"},
    {457, "This key is already associated with an element of this collection"},
    {458, "Variable uses an Automation type not supported in Visual Basic"},
    {3021, "No current record."},
    {3022, "The changes you requested to the table were not successful because they would "
           "create duplicate values in the index, primary key, or relationship."},
    {3061, "Too few parameters."},
    {3146, "ODBC--call failed."},
    {3219, "Invalid operation."},
    {3260, "Couldn't update; currently locked."},
    {3265, "Item not found in this collection."},
};

// HRESULTs of the dispatch machinery that a client sees as the matching
// runtime error number.
struct HResultNumber {
  HRESULT hresult;
  std::int32_t number;
};

constexpr HResultNumber kHResultNumbers[] = {
    {E_OUTOFMEMORY, kErrOutOfMemory},
    {E_INVALIDARG, kErrInvalidProcedureCall},
    {E_NOINTERFACE, 430},
    {E_NOTIMPL, 445},
    {DISP_E_MEMBERNOTFOUND, kErrObjectDoesntSupport},
    {DISP_E_UNKNOWNNAME, kErrObjectDoesntSupport},
    {DISP_E_TYPEMISMATCH, kErrTypeMismatch},
    {DISP_E_OVERFLOW, kErrOverflow},
    {DISP_E_BADPARAMCOUNT, kErrWrongArguments},
    {DISP_E_PARAMNOTOPTIONAL, kErrArgumentNotOptional},
    {DISP_E_PARAMNOTFOUND, 448},
    {hr(0x8002000B), kErrSubscriptOutOfRange},  // DISP_E_BADINDEX
    {REGDB_E_CLASSNOTREG, kErrCannotCreateObject},
    {CLASS_E_CLASSNOTAVAILABLE, kErrCannotCreateObject},
};

// Numbers above the 16-bit error range are HRESULTs standing as numbers.
HRESULT HResultOf(std::int32_t number) {
  return number < 0 ? number : HResultFromError(number);
}

// What the error info this thread's boundary left last was left for. The
// reference keeps the object alive, so a pointer compared against it is never
// a new object at a reused address.
struct OwnRecord {
  ComPtr<IErrorInfo> info;
  HRESULT hresult = S_OK;
  std::int32_t number = 0;
};
thread_local OwnRecord tls_own;

std::string TextOf(HRESULT (IErrorInfo::*get)(BSTR*), IErrorInfo* info) {
  BSTR raw = nullptr;
  if (Failed((info->*get)(&raw))) return {};
  return Bstr::Adopt(raw).utf8();
}

}  // namespace

std::string DefaultDescription(std::int32_t number) {
  for (const auto& d : kDescriptions) {
    if (d.number == number) return d.text;
  }
  if (number < 0) return "Automation error";
  return "Application-defined or object-defined error";
}

AutomationError::AutomationError(std::int32_t number, std::string description, std::string source)
    : std::runtime_error(description.empty() ? DefaultDescription(number) : description),
      number_(number),
      description_(description.empty() ? DefaultDescription(number) : std::move(description)),
      source_(std::move(source)),
      hresult_(HResultOf(number)) {}

AutomationError AutomationError::FromHResult(HRESULT h, std::string description,
                                             std::string source) {
  std::int32_t number = h;
  if ((static_cast<std::uint32_t>(h) & 0xFFFF0000u) == 0x800A0000u) {
    number = static_cast<std::int32_t>(static_cast<std::uint32_t>(h) & 0xFFFFu);
  } else {
    for (const auto& m : kHResultNumbers) {
      if (m.hresult == h) number = m.number;
    }
  }
  AutomationError e(number, std::move(description), std::move(source));
  e.hresult_ = h;
  return e;
}

void RaiseError(std::int32_t number, std::string description, std::string source) {
  throw AutomationError(number, std::move(description), std::move(source));
}

void SetErrorRecord(ErrorRecord record) {
  tls_own = OwnRecord{};
  SetErrorInfo(0, nullptr);
  ComPtr<ICreateErrorInfo> create;
  HRESULT h = CreateErrorInfo(create.put());
  if (Failed(h) || !create) throw std::bad_alloc();
  std::u16string source = Utf16(record.source);
  std::u16string description = Utf16(record.description);
  ComPtr<IErrorInfo> info = create.As<IErrorInfo>(IID_IErrorInfo);
  if (!info || Failed(create->SetGUID(IID_NULL)) || Failed(create->SetSource(source.data())) ||
      Failed(create->SetDescription(description.data())) ||
      Failed(SetErrorInfo(0, info.get()))) {
    throw std::bad_alloc();
  }
  tls_own = OwnRecord{std::move(info), record.hresult, record.number};
}

std::optional<ErrorRecord> TakeErrorRecord() {
  OwnRecord own = std::exchange(tls_own, OwnRecord{});
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK || !info) return std::nullopt;
  ErrorRecord record;
  if (info.get() == own.info.get()) {
    record.hresult = own.hresult;
    record.number = own.number;
  }
  record.description = TextOf(&IErrorInfo::GetDescription, info.get());
  record.source = TextOf(&IErrorInfo::GetSource, info.get());
  return record;
}

void FillExcepInfo(const AutomationError& e, EXCEPINFO* out) {
  if (!out) return;
  *out = EXCEPINFO{};
  out->bstrSource = Bstr(e.source()).detach();
  out->bstrDescription = Bstr(e.description()).detach();
  out->scode = e.hresult();
}

AutomationError TakeError(HRESULT h) {
  std::optional<ErrorRecord> rec = TakeErrorRecord();
  if (rec && rec->hresult == h) {
    AutomationError e = AutomationError::FromHResult(h, rec->description, rec->source);
    if (e.number() != rec->number) e = AutomationError(rec->number, rec->description, rec->source);
    return e;
  }
  if (rec && rec->hresult == S_OK) {  // left by another party: it speaks for h
    return AutomationError::FromHResult(h, rec->description, rec->source);
  }
  return AutomationError::FromHResult(h, {}, {});
}

void ThrowIfFailed(HRESULT h) {
  if (Succeeded(h)) return;
  throw TakeError(h);
}

namespace detail {

HRESULT RecordCurrentException() noexcept {
  ErrorRecord rec;
  try {
    throw;
  } catch (const AutomationError& e) {
    rec.hresult = e.hresult();
    rec.number = e.number();
    rec.description = e.description();
    rec.source = e.source();
  } catch (const std::bad_alloc&) {
    rec.hresult = HResultFromError(kErrOutOfMemory);
    rec.number = kErrOutOfMemory;
  } catch (const std::exception& e) {
    rec.hresult = E_FAIL;
    rec.number = E_FAIL;
    rec.description = e.what();
  } catch (...) {
    rec.hresult = E_FAIL;
    rec.number = E_FAIL;
  }
  const HRESULT result = Failed(rec.hresult) ? rec.hresult : E_FAIL;
  try {
    if (rec.description.empty()) rec.description = DefaultDescription(rec.number);
    SetErrorRecord(std::move(rec));
  } catch (...) {
    // No memory even for the record: the code alone has to do.
  }
  return result;
}

}  // namespace detail

}  // namespace tarvik
