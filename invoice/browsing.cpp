// Invoice browsing: the object as a cursor over the invoice headers, the
// selection texts shared with DeleteByFilter, and the row load.
#include <string>

#include "data/field_conversion.h"
#include "invoice/invoice.h"
#include "platform/collection.h"
#include "platform/regional.h"

namespace tarvik::invoice {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

std::string Invoice::ExportFilterText() {
  const std::string filter = Upper(filter_.utf8());
  if (filter == "EXPORT") return " Where (Export_Flag=1) And (Export_Date Is Null) ";
  if (filter == "INVOICE_NUMBER") {
    return " Where Invoice_No = " +
           std::to_string(data::Field2Long(Variant::String16(invoice_no_.value())));
  }
  return std::string();
}

std::string Invoice::OrderByText() { return " ORDER BY Invoice_No "; }

std::string Invoice::BuildSelectText() {
  return "SELECT * FROM " + header_table_ + ExportFilterText() + OrderByText();
}

bool Invoice::OpenRecordset() {
  ComPtr<Collection> params = NewCollection();
  browse_->SetConnection(connection_);
  browse_->SetParameters(params);
  bool found = browse_->OpenRecordset(BuildSelectText(), -1, -1, -1);
  if (found) {
    MoveLast();
    LoadFields();
  } else {
    ClearFields();
    browse_->CloseRecordset();
  }
  record_count_ = browse_->RecordCount();
  return found;
}

bool Invoice::FindByFilter() {
  bool found = OpenRecordset();
  if (!found) browse_->CloseRecordset();
  return found;
}

bool Invoice::Find() {
  TextProperty kept = filter_;
  bool found = FindByFilter();
  filter_ = kept;
  return found;
}

bool Invoice::MoveFirst() {
  if (!browse_->MoveFirst()) return false;
  LoadFields();
  return true;
}

bool Invoice::MoveNext() {
  if (!browse_->MoveNext()) return false;
  LoadFields();
  return true;
}

bool Invoice::MovePrevious() {
  if (!browse_->MovePrevious()) return false;
  LoadFields();
  return true;
}

// Loads whatever the move answered: on an empty selection the readers give
// their Null values.
bool Invoice::MoveLast() {
  bool moved = browse_->MoveLast();
  LoadFields();
  return moved;
}

bool Invoice::SeekRecord(const Variant& seek_value) {
  const std::string criteria = "invoice_no = " + std::to_string(data::Field2Long(seek_value));
  if (!browse_->FindFirst(Variant::String(criteria))) return false;
  LoadFields();
  return true;
}

// Column order of the header table; each member is written as soon as its
// column is read, so a failing read leaves the earlier ones replaced.
void Invoice::LoadFields() {
  data::DataRecordset& rs = *browse_;
  invoice_no_.set_utf8(rs.ReadString(0));
  invoice_date_.set_utf8(rs.ReadString());
  ship_date_.set_utf8(rs.ReadString());
  bill_to_.set_utf8(rs.ReadString());
  freight_amount_.set_utf8(rs.ReadString());
  other_charge_.set_utf8(rs.ReadString());
  print_invoice_by_ = static_cast<InvoiceBy>(static_cast<std::int32_t>(rs.ReadInteger()));
  extra1_.set_utf8(rs.ReadString());
  extra2_.set_utf8(rs.ReadString());
  paid_.set_utf8(rs.ReadString());
  const std::int16_t flag = rs.ReadInteger();
  if (flag < 0 || flag > 255) RaiseError(kErrOverflow);
  export_flag_ = static_cast<BYTE>(flag);
  export_date_.set_utf8(rs.ReadString());
}

}  // namespace tarvik::invoice
