// The suite's order component: builds a new order with its lines in memory
// and stores it through the connection it was given, inside the caller's
// transaction. Operations stand in the order of their interfaces.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "data/host_connection.h"
#include "platform/com.h"
#include "platform/variant.h"

namespace tarvik::components {

struct SalesOrderDetail : IUnknown {
  virtual void SetLine_Flag_A(std::uint8_t v) = 0;
  virtual void SetOrder_Detail_Discount(const std::string& v) = 0;
  virtual void SetUnit_Price(const std::string& v) = 0;
  virtual void SetQuantity_To_Ship(const std::string& v) = 0;
  virtual void SetQuantity_Ordered(const std::string& v) = 0;
  virtual std::string Quantity_Ordered() = 0;
  virtual void SetSite(const std::string& v) = 0;
  virtual void SetItem_Number(const std::string& v) = 0;
  virtual void SetLine_Flag_B(std::int32_t v) = 0;
  virtual void SetLine_Code(std::uint8_t v) = 0;

 protected:
  ~SalesOrderDetail() = default;
};

struct SalesOrderDetails : IUnknown {
  // A key already present raises 457.
  virtual ComPtr<SalesOrderDetail> Add(const std::string& key) = 0;
  // 1-based position (a 16-bit integer in a Variant); bad position raises 5.
  virtual ComPtr<SalesOrderDetail> Item(const Variant& position) = 0;

 protected:
  ~SalesOrderDetails() = default;
};

struct SalesOrder : IUnknown {
  virtual void SetNonMerchOrder(bool v) = 0;
  virtual void SetOEextra2(const std::string& v) = 0;
  virtual void SetOEextra1(const std::string& v) = 0;
  virtual void SetPrice_Struct(const std::string& v) = 0;
  // A new empty line collection when none is held.
  virtual ComPtr<SalesOrderDetails> Details() = 0;
  // nullptr empties the lines.
  virtual void SetDetails(ComPtr<SalesOrderDetails> details) = 0;
  virtual std::int32_t Order_Key() = 0;
  virtual void SetOrder_Header_Discount(const std::string& v) = 0;
  virtual void SetShip_Via(const std::string& v) = 0;
  virtual void SetOrder_Number(const std::string& v) = 0;
  virtual void SetOrder_Flag(const std::string& v) = 0;
  virtual void SetDue_Date(const std::string& v) = 0;
  virtual void SetOrder_Date(const std::string& v) = 0;
  virtual void SetReference_No(const std::string& v) = 0;
  virtual bool Save() = 0;
  virtual void SetTransactionMode(std::int32_t v) = 0;
  virtual void SetOrder_Comment(const std::string& v) = 0;
  virtual void SetShipTo_Name(const std::string& v) = 0;
  virtual void SetCust_ID(const std::string& v) = 0;
  virtual void SetConnect(ComPtr<data::HostConnection> connection) = 0;
  virtual void SetFilter(const std::string& v) = 0;
  virtual bool Find() = 0;
  virtual void SetHeader_Text_A(const std::string& v) = 0;
  virtual void SetHeader_Text_B(const std::string& v) = 0;

 protected:
  ~SalesOrder() = default;
};

ComPtr<SalesOrder> NewSalesOrder();
// Tests can replace the factory (fakes, recording); nullptr restores the default.
using SalesOrderFactory = std::function<ComPtr<SalesOrder>()>;
void SetSalesOrderFactory(SalesOrderFactory factory);
// The default implementation, for factories that decorate it.
ComPtr<SalesOrder> NewDefaultSalesOrder();

}  // namespace tarvik::components
