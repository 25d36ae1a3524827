// Error info records of our own runtime: what oleaut32 provides on Windows
// (platform/win/error_info.cpp hands the calls to it).
#include "platform/error_info.h"

#include <new>
#include <utility>

#include "platform/com_object.h"

namespace tarvik {
namespace {

// A copy of text in *slot; false when there is no memory for it.
bool CopyText(const OLECHAR* text, Bstr* slot) {
  BSTR copy = SysAllocString(text);
  if (text && !copy) return false;
  *slot = Bstr::Adopt(copy);
  return true;
}

HRESULT GiveText(const Bstr& text, BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = text.get() ? SysAllocStringLen(text.get(), text.length()) : nullptr;
  return (text.get() && !*out) ? E_OUTOFMEMORY : S_OK;
}

// One record, written through ICreateErrorInfo and read through IErrorInfo.
class ErrorInfoObject final : public ComObject<ErrorInfoObject, IErrorInfo>,
                              public ICreateErrorInfo {
 public:
  // Both interfaces share the one count and identity.
  HRESULT QueryInterface(REFIID riid, void** object) override {
    return ComObject::QueryInterface(riid, object);
  }
  ULONG AddRef() override { return ComObject::AddRef(); }
  ULONG Release() override { return ComObject::Release(); }

  void* QueryInterfaceExtra(REFIID riid) {
    if (riid == IID_IErrorInfo) return static_cast<IErrorInfo*>(this);
    if (riid == IID_ICreateErrorInfo) return static_cast<ICreateErrorInfo*>(this);
    return nullptr;
  }

  HRESULT GetGUID(GUID* guid) override {
    if (!guid) return E_INVALIDARG;
    *guid = guid_;
    return S_OK;
  }
  HRESULT GetSource(BSTR* source) override { return GiveText(source_, source); }
  HRESULT GetDescription(BSTR* description) override {
    return GiveText(description_, description);
  }
  HRESULT GetHelpFile(BSTR* help_file) override { return GiveText(help_file_, help_file); }
  HRESULT GetHelpContext(DWORD* help_context) override {
    if (!help_context) return E_INVALIDARG;
    *help_context = help_context_;
    return S_OK;
  }

  HRESULT SetGUID(REFIID guid) override {
    guid_ = guid;
    return S_OK;
  }
  HRESULT SetSource(OLECHAR* source) override {
    return CopyText(source, &source_) ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT SetDescription(OLECHAR* description) override {
    return CopyText(description, &description_) ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT SetHelpFile(OLECHAR* help_file) override {
    return CopyText(help_file, &help_file_) ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT SetHelpContext(DWORD help_context) override {
    help_context_ = help_context;
    return S_OK;
  }

 private:
  GUID guid_ = IID_NULL;
  Bstr source_;
  Bstr description_;
  Bstr help_file_;
  DWORD help_context_ = 0;
};

thread_local ComPtr<IErrorInfo> tls_pending;

}  // namespace

HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info) {
  if (reserved != 0) return E_INVALIDARG;
  tls_pending = ComPtr<IErrorInfo>(info);
  return S_OK;
}

HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** info) {
  if (!info) return E_INVALIDARG;
  *info = nullptr;
  if (reserved != 0) return E_INVALIDARG;
  *info = tls_pending.detach();
  return *info ? S_OK : S_FALSE;
}

HRESULT CreateErrorInfo(ICreateErrorInfo** info) {
  if (!info) return E_INVALIDARG;
  *info = nullptr;
  auto* created = new (std::nothrow) ErrorInfoObject();
  if (!created) return E_OUTOFMEMORY;
  *info = static_cast<ICreateErrorInfo*>(created);
  (*info)->AddRef();
  return S_OK;
}

}  // namespace tarvik
