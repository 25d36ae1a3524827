#include "backorder/backorder_object.h"

namespace tarvik::backorder {

void* BackOrderObject::QueryInterfaceExtra(REFIID riid) {
  if (riid == IID_IDispatch || riid == IID__BackOrder) {
    return static_cast<_BackOrder*>(this);
  }
  if (riid == IID_IProvideClassInfo) return ClassInfoProvider();
  return nullptr;
}

ComPtr<_BackOrder> NewBackOrder() { return MakeCom<BackOrderObject>(); }

}  // namespace tarvik::backorder
