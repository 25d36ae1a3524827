// The back order: the detail rows of one invoice that were not invoiced in
// full (record.cpp), and the workflow that turns them into new orders
// through the order component (workflow.cpp, creation.cpp). This is the C++
// side; BackOrderObject (backorder_object.h) publishes it as _BackOrder.
#pragma once

#include <string>

#include "automation/component_ui.h"
#include "backorder/detail_row.h"
#include "components/sales_order.h"
#include "data/data_recordset.h"
#include "data/host_connection.h"
#include "platform/com.h"
#include "tarvik/interfaces.h"
#include "automation/text_property.h"

namespace tarvik::backorder {

// The component shows its boxes through the services the host installed.
using automation::Ui;

class BackOrder {
 public:
  // Creates the record set and the order component; throws when one of them
  // cannot be created.
  BackOrder();
  // Closes the record set, then releases it, the order component and the
  // connection.
  ~BackOrder();
  BackOrder(const BackOrder&) = delete;
  BackOrder& operator=(const BackOrder&) = delete;

  // --- What the host sets and reads ----------------------------------------
  DetailRow& row() { return row_; }
  automation::TextProperty& query_name() { return query_name_; }
  automation::TextProperty& filter() { return filter_; }
  LONG& record_count() { return record_count_; }
  const automation::TextProperty& info_msg() const { return info_msg_; }

  // Type mismatch when the object is not a database connection.
  void Connect(IDispatch* connection);

  // --- Detail record (record.cpp) ------------------------------------------
  bool OpenRecordset();
  bool Find();
  bool FindByFilter();
  bool MoveNext();
  // Closes the record set and empties InfoMsg; never fails.
  void CloseRecordset() noexcept;

  // --- The workflow behind the interface member BackOrder (workflow.cpp) ---
  bool RunBackOrder();

 private:
  friend struct BackOrderTestPeer;

  // One pass of the creation loop: the original order being copied and the
  // number the user gave its new order.
  struct Pass {
    std::string original_order_number;
    std::string original_order_key;
    std::string new_order_number;
  };

  // The host's connection; error 91 when Connect never handed one over.
  data::HostConnection& Conn();
  // Workflow (workflow.cpp).
  bool AutoBackOrderEnabled();
  bool ConfirmBackOrder();
  bool CreateBackOrders();
  bool CreateNewOrders(std::string& message);
  std::string AskNewOrderNumber();
  bool OrderNumberExists(const std::string& order_number);
  // Creation of one new order (creation.cpp).
  void SetupOrderHeader(const Pass& pass);
  void CopyOrderLines(const Pass& pass);
  std::string RemainingQuantity();
  void UpdateBackOrderLineStatus(const Pass& pass);

  DetailRow row_;
  automation::TextProperty query_name_{"v_BO_Detail"};
  LONG record_count_ = 0;
  automation::TextProperty filter_;
  automation::TextProperty info_msg_;
  ComPtr<data::HostConnection> connection_;
  // Whether the record set stands on the first row of a further original
  // order. Set by the line copy; kept from one call to the next.
  bool more_detail_rows_ = false;
  ComPtr<data::DataRecordset> recordset_;
  ComPtr<components::SalesOrder> sales_order_;
};

// A new back-order object as its default interface; throws when it cannot
// be created.
ComPtr<_BackOrder> NewBackOrder();

}  // namespace tarvik::backorder
