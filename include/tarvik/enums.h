// The published enumerations. They travel as 32-bit integers.
#pragma once

#include "platform/com.h"

namespace tarvik {

enum TransMode : LONG { tmCancel = 0, tmAdd = 1, tmEdit = 2, tmDelete = 3 };
enum InvoiceBy : LONG {
  ibOrderNumber = 0,
  ibShipToLocation = 1,
  ibCustomer = 2,
  ibCustomerOrderNumber = 3
};
static_assert(sizeof(TransMode) == 4 && sizeof(InvoiceBy) == 4, "published enums are 32-bit");

}  // namespace tarvik
