// The automatic back-order workflow: the option check, the confirmation,
// one number prompt per original order and all new orders in one
// transaction.
#include <string>

#include "backorder/backorder.h"
#include "components/system_options.h"
#include "data/transaction.h"
#include "platform/error.h"
#include "platform/ui_services.h"

namespace tarvik::backorder {
namespace {

constexpr int kBusyPointer = 11;
constexpr int kDefaultPointer = 0;
constexpr const char* kNumberTitle = "New Order Number";
constexpr const char* kNotCreatedTitle = "New Orders Not Created";

// Only blanks, as the number prompt's answer is trimmed.
std::string TrimSpaces(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void ShowError(const AutomationError& error) {
  Ui().MessageBox(error.description(), kMbOk | kMbCritical, Ui().AppTitle());
}

}  // namespace

bool BackOrder::RunBackOrder() {
  bool created = false;
  try {
    Ui().SetMousePointer(kBusyPointer);
    if (AutoBackOrderEnabled() && Find() && ConfirmBackOrder()) created = CreateBackOrders();
  } catch (const AutomationError& error) {
    ShowError(error);
    created = false;
  }
  Ui().SetMousePointer(kDefaultPointer);
  return created;
}

bool BackOrder::AutoBackOrderEnabled() {
  ComPtr<components::SystemOptions> options = components::NewSystemOptions();
  options->SetConnection(connection_);
  if (!options->Open()) return false;
  if (!options->FindOption(Variant::String("Auto Backorder"))) return false;
  return options->OptionValue() == "1";
}

bool BackOrder::ConfirmBackOrder() {
  const std::string text = "There are " + std::to_string(recordset_->RecordCount()) +
                           " line items" + " that were not completely invoiced." +
                           "  Do you want to backorder these line items now?";
  return Ui().MessageBox(text, kMbYesNo | kMbInformation, "Backorder Incomplete Line Items") ==
         kIdYes;
}

// All new orders in one transaction: a failure in any pass undoes the
// orders of the earlier passes, and the level is ended before the closing
// box. The handler ends the level itself when it could not be opened or
// had been ended already.
bool BackOrder::CreateBackOrders() {
  bool created = false;
  bool scope_ends_level = false;
  try {
    std::string message;
    {
      data::Transaction transaction(Conn());
      scope_ends_level = true;
      sales_order_->SetTransactionMode(1);
      created = CreateNewOrders(message);
      if (created) transaction.Commit();
    }
    scope_ends_level = false;
    if (!created) {
      Ui().MessageBox(message, kMbOk | kMbExclamation, kNotCreatedTitle);
    } else {
      Ui().MessageBox("New orders successfully created.", kMbOk | kMbInformation,
                      "Operation Complete");
    }
  } catch (const AutomationError& error) {
    if (!scope_ends_level && connection_) connection_->Rollback();
    ShowError(error);
    created = false;
  }
  return created;
}

// One new order per original order, each under a number the user gives.
// The loop never goes on after a failed save, so the last save decides;
// message says why when it answers false.
bool BackOrder::CreateNewOrders(std::string& message) {
  for (;;) {
    Pass pass;
    pass.original_order_number = row_.order_number.utf8();
    pass.original_order_key = row_.order_key;
    pass.new_order_number = AskNewOrderNumber();
    if (pass.new_order_number.empty()) {
      message = "Backorder operation cancelled.";
      return false;
    }
    SetupOrderHeader(pass);
    const bool saved = sales_order_->Save();
    if (saved) UpdateBackOrderLineStatus(pass);
    message = "Could not save orders";
    if (!more_detail_rows_ || !saved) return saved;
  }
}

std::string BackOrder::AskNewOrderNumber() {
  const std::string prompt =
      "Enter a new order number to backorder line items from order '" + row_.order_number.utf8() +
      "'.  Customer ID:  " + row_.cust_id.utf8() + ".  Ship To Location:  " + row_.ship_to_name.utf8() +
      "." + "\r\r" + "Click 'Cancel' to abort the operation.";
  for (;;) {
    std::optional<std::string> typed = Ui().InputBox(prompt, kNumberTitle, row_.order_number.utf8());
    const std::string answer = typed ? TrimSpaces(*typed) : std::string();
    if (answer.empty()) return std::string();
    if (!OrderNumberExists(answer)) return answer;
    Ui().MessageBox("Order number '" + answer +
                        "' already exists for this customer.  Enter a new order number.",
                    kMbOk | kMbExclamation, kNumberTitle);
  }
}

// Also hands the connection to the order component, so every save that
// follows runs inside the open transaction.
bool BackOrder::OrderNumberExists(const std::string& order_number) {
  sales_order_->SetConnect(connection_);
  sales_order_->SetFilter("BACKORDER");
  sales_order_->SetCust_ID(row_.cust_id.utf8());
  sales_order_->SetShipTo_Name(row_.ship_to_name.utf8());
  sales_order_->SetOrder_Number(order_number);
  return sales_order_->Find();
}

}  // namespace tarvik::backorder
