// Invoice browsing: the object as a cursor over the invoice headers.
#include <string>

#include "data/field_conversion.h"
#include "invoice/invoice.h"
#include "invoice/table_names.h"
#include "platform/collection.h"

namespace tarvik::invoice {

std::string Invoice::BuildSelectText() {
  return std::string("SELECT * FROM ") + names::kHeaderTable +
         FilterClause(selection_.filter.utf8(), header_.invoice_no.value()) + " ORDER BY Invoice_No ";
}

bool Invoice::OpenRecordset() {
  ComPtr<Collection> params = NewCollection();
  data::DataRecordset& browse = links_.browse();
  browse.SetConnection(links_.connection());
  browse.SetParameters(params);
  bool found = browse.OpenRecordset(BuildSelectText(), -1, -1, -1);
  if (found) {
    MoveLast();
    LoadFields();
  } else {
    ClearFields();
    browse.CloseRecordset();
  }
  selection_.record_count = browse.RecordCount();
  return found;
}

bool Invoice::FindByFilter() {
  bool found = OpenRecordset();
  if (!found) links_.browse().CloseRecordset();
  return found;
}

bool Invoice::Find() {
  const automation::TextProperty kept = selection_.filter;
  bool found = FindByFilter();
  selection_.filter = kept;
  return found;
}

bool Invoice::MoveFirst() {
  if (!links_.browse().MoveFirst()) return false;
  LoadFields();
  return true;
}

bool Invoice::MoveNext() {
  if (!links_.browse().MoveNext()) return false;
  LoadFields();
  return true;
}

bool Invoice::MovePrevious() {
  if (!links_.browse().MovePrevious()) return false;
  LoadFields();
  return true;
}

// Loads whatever the move answered: on an empty selection the readers give
// their Null values.
bool Invoice::MoveLast() {
  bool moved = links_.browse().MoveLast();
  LoadFields();
  return moved;
}

bool Invoice::SeekRecord(const Variant& seek_value) {
  const std::string criteria = "invoice_no = " + std::to_string(data::Field2Long(seek_value));
  if (!links_.browse().FindFirst(Variant::String(criteria))) return false;
  LoadFields();
  return true;
}

}  // namespace tarvik::invoice
