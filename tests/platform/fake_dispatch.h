// A small late-bound object for the platform tests: members Value (default,
// get/let), Echo(a, b, c) returning "a|b|c", Fail(number) raising that error,
// and a live-object count to check reference counting.
#pragma once

#include <string>
#include <vector>

#include "platform/com_object.h"
#include "platform/error.h"
#include "platform/variant.h"

namespace tarvik::testing {

class FakeDispatch : public ComObject<FakeDispatch, NoTypeInfo<IDispatch>> {
 public:
  static inline int live = 0;
  FakeDispatch() { ++live; }
  ~FakeDispatch() override { --live; }

  void* QueryInterfaceExtra(REFIID riid) {
    return riid == IID_IDispatch ? static_cast<IDispatch*>(this) : nullptr;
  }

  Variant value = Variant::Long(0);
  std::vector<WORD> flags_seen;
  UINT named_seen = 0;
  DISPID named_id = 0;

  HRESULT GetIDsOfNames(REFIID, OLECHAR** names, UINT, LCID, DISPID* ids) override {
    const std::u16string n = names[0];
    if (n == u"Value" || n == u"value") *ids = DISPID_VALUE;
    else if (n == u"Echo") *ids = 1;
    else if (n == u"Fail") *ids = 2;
    else if (n == u"FailPlain") *ids = 3;
    else return DISP_E_UNKNOWNNAME;
    return S_OK;
  }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result,
                 EXCEPINFO* excep, UINT*) override {
    flags_seen.push_back(flags);
    named_seen = p ? p->cNamedArgs : 0;
    named_id = named_seen ? p->rgdispidNamedArgs[0] : 0;
    HRESULT h = Guard([&] {
      Variant answer;
      switch (id) {
        case DISPID_VALUE:
          if (flags & DISPATCH_PROPERTYPUT) {
            value = Variant(p->rgvarg[0]);
          } else {
            answer = value;
          }
          break;
        case 1: {
          std::string text;
          for (UINT i = p->cArgs; i-- > 0;) {
            text += Variant(p->rgvarg[i]).ToString();
            if (i) text += "|";
          }
          answer = Variant::String(text);
          break;
        }
        case 2:
        case 3:
          RaiseError(Variant(p->rgvarg[0]).ToLong(), "fake failure", "Fake.Object");
        default:
          RaiseError(kErrObjectDoesntSupport);
      }
      if (result) answer.CopyTo(result);
    });
    // Fail reports through EXCEPINFO, FailPlain only through the error record.
    if (Failed(h) && id == 2 && excep) {
      std::optional<ErrorRecord> rec = TakeErrorRecord();
      FillExcepInfo(AutomationError(rec->number, rec->description, rec->source), excep);
      return DISP_E_EXCEPTION;
    }
    return h;
  }
};

}  // namespace tarvik::testing
