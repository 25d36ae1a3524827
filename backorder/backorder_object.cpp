#include "backorder/backorder_object.h"

namespace tarvik::backorder {

void* BackOrderObject::QueryInterfaceExtra(REFIID riid) {
  if (riid == IID_IDispatch || riid == server::IID__BackOrder) {
    return static_cast<server::_BackOrder*>(this);
  }
  return nullptr;
}

ComPtr<server::_BackOrder> NewBackOrder() { return MakeCom<BackOrderObject>(); }

}  // namespace tarvik::backorder
