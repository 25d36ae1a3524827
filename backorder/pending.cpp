// Temporary definitions of the BackOrder members whose units are not built
// yet, so the whole interface resolves and answers. Each raises error 445
// naming the member. Delete a group when its unit lands.
#include "backorder/backorder.h"
#include "platform/error.h"

namespace tarvik::backorder {
namespace {

[[noreturn]] void NotBuilt(const char* member) {
  RaiseError(445, std::string("Object doesn't support this action (BackOrder.") + member + ")",
             "TarvikInvoice.BackOrder");
}

}  // namespace

// workflow.cpp
bool BackOrder::RunBackOrder() { NotBuilt("BackOrder"); }
bool BackOrder::AutoBackOrderEnabled() { NotBuilt("AutoBackOrderEnabled"); }
bool BackOrder::ConfirmBackOrder() { NotBuilt("ConfirmBackOrder"); }
bool BackOrder::CreateBackOrders() { NotBuilt("CreateBackOrders"); }
std::string BackOrder::AskNewOrderNumber() { NotBuilt("AskNewOrderNumber"); }
bool BackOrder::OrderNumberExists(const std::string&) { NotBuilt("OrderNumberExists"); }

// creation.cpp
void BackOrder::SetupOrderHeader() { NotBuilt("SetupOrderHeader"); }
void BackOrder::CopyOrderLines() { NotBuilt("CopyOrderLines"); }
std::string BackOrder::RemainingQuantity() { NotBuilt("RemainingQuantity"); }
void BackOrder::UpdateBackOrderLineStatus() { NotBuilt("UpdateBackOrderLineStatus"); }

}  // namespace tarvik::backorder
