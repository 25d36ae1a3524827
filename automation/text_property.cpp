#include "automation/text_property.h"

#include <new>

namespace tarvik::automation {

HRESULT TextProperty::Put(BSTR v) noexcept {
  try {
    value_.assign(v ? v : u"", SysStringLen(v));
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT TextProperty::Get(BSTR* out) const noexcept {
  if (!out) return E_POINTER;
  *out = SysAllocStringLen(value_.data(), static_cast<UINT>(value_.size()));
  return (*out || value_.empty()) ? S_OK : E_OUTOFMEMORY;
}

}  // namespace tarvik::automation
