#include "backorder/backorder_object.h"

namespace tarvik::backorder {

void* BackOrderObject::QueryInterfaceExtra(REFIID riid) {
  if (riid == IID_IProvideClassInfo) return ClassInfoProvider();
  return PublishedInterface(riid);
}

ComPtr<_BackOrder> NewBackOrder() { return MakeCom<BackOrderObject>(); }

}  // namespace tarvik::backorder
