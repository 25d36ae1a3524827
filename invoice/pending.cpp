// Temporary definitions of the Invoice members whose units are not built yet,
// so the whole interface resolves and answers. Each raises error 445 naming
// the member. Delete a group when its unit lands.
#include "invoice/invoice.h"

namespace tarvik::invoice {
namespace {

[[noreturn]] void NotBuilt(const char* member) {
  RaiseError(445, std::string("Object doesn't support this action (Invoice.") + member + ")",
             "TarvikInvoice.Invoice");
}

}  // namespace

// browsing.cpp
bool Invoice::MoveNext() { NotBuilt("MoveNext"); }
bool Invoice::Find() { NotBuilt("Find"); }
bool Invoice::FindByFilter() { NotBuilt("FindByFilter"); }
bool Invoice::OpenRecordset() { NotBuilt("OpenRecordset"); }
bool Invoice::MoveLast() { NotBuilt("MoveLast"); }
bool Invoice::SeekRecord(const Variant&) { NotBuilt("SeekRecord"); }
bool Invoice::MoveFirst() { NotBuilt("MoveFirst"); }
bool Invoice::MovePrevious() { NotBuilt("MovePrevious"); }
void Invoice::LoadFields() { NotBuilt("LoadFields"); }
std::string Invoice::ExportFilterText() { NotBuilt("ExportFilterText"); }
std::string Invoice::OrderByText() { NotBuilt("OrderByText"); }
std::string Invoice::BuildSelectText() { NotBuilt("BuildSelectText"); }

// creation.cpp
bool Invoice::Save() { NotBuilt("Save"); }
bool Invoice::AddNew() { NotBuilt("AddNew"); }
bool Invoice::LoadOrderKeys() { NotBuilt("LoadOrderKeys"); }
bool Invoice::NextOrderKey() { NotBuilt("NextOrderKey"); }

// numbering.cpp
std::string Invoice::Get_Next_Invoice_No() { NotBuilt("Get_Next_Invoice_No"); }
bool Invoice::AddHeader() { NotBuilt("AddHeader"); }

// postings.cpp
bool Invoice::CreateInvoiceDetail() { NotBuilt("CreateInvoiceDetail"); }
bool Invoice::UpdateLineStatus() { NotBuilt("UpdateLineStatus"); }
bool Invoice::UpdateOrderStatus() { NotBuilt("UpdateOrderStatus"); }
bool Invoice::RelieveInventory() { NotBuilt("RelieveInventory"); }

// picking_check.cpp
bool Invoice::CheckPartialPicking() { NotBuilt("CheckPartialPicking"); }
bool Invoice::RunAutoBackOrder() { NotBuilt("RunAutoBackOrder"); }

// header_update.cpp
bool Invoice::UpdateHeader() { NotBuilt("UpdateHeader"); }

// deletion.cpp
bool Invoice::Delete() { NotBuilt("Delete"); }
bool Invoice::DeleteByFilter() { NotBuilt("DeleteByFilter"); }
bool Invoice::ResetInventory() { NotBuilt("ResetInventory"); }
bool Invoice::ResetOrderStatus() { NotBuilt("ResetOrderStatus"); }
void Invoice::LogDeletedInvoice() { NotBuilt("LogDeletedInvoice"); }

// print_preparation.cpp
bool Invoice::ClearReportTables() { NotBuilt("ClearReportTables"); }
bool Invoice::PreparePrintSelection() { NotBuilt("PreparePrintSelection"); }

// printing.cpp
bool Invoice::PrintInvoice() { NotBuilt("PrintInvoice"); }
bool Invoice::RunInvoiceReport() { NotBuilt("RunInvoiceReport"); }

}  // namespace tarvik::invoice
