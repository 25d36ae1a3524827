// The private steps of an invoice, reached by the tests of each capability.
// The steps that take an invoice number get the one InvoiceNo holds.
#pragma once

#include <string>

#include "invoice/invoice_object.h"

namespace tarvik::invoice {

struct InvoiceTestPeer {
  static Invoice& Of(const ComPtr<_Invoice>& p) {
    return static_cast<InvoiceObject*>(p.get())->invoice();
  }
  static std::string BuildSelectText(Invoice& i) { return i.BuildSelectText(); }
  static void LoadFields(Invoice& i) { i.LoadFields(); }
  static void ClearFields(Invoice& i) { i.ClearFields(); }
  static bool CreateInvoiceDetail(Invoice& i) { return i.CreateInvoiceDetail(Number(i)); }
  static bool UpdateLineStatus(Invoice& i) { return i.UpdateLineStatus(); }
  static bool UpdateOrderStatus(Invoice& i) { return i.UpdateOrderStatus(); }
  static bool RelieveInventory(Invoice& i) { return i.RelieveInventory(Number(i)); }
  static bool UpdateHeader(Invoice& i) { return i.UpdateHeader(); }
  static bool ResetInventory(Invoice& i) { return i.ResetInventory(Number(i)); }
  static bool ResetOrderStatus(Invoice& i) { return i.ResetOrderStatus(Number(i)); }
  static void LogDeletedInvoice(Invoice& i) { i.LogDeletedInvoice(); }
  static bool CheckPartialPicking(Invoice& i) { return i.CheckPartialPicking(); }
  static bool LoadOrderKeys(Invoice& i) { return i.LoadOrderKeys(); }

 private:
  static std::u16string Number(Invoice& i) { return i.header().invoice_no.value(); }
};

}  // namespace tarvik::invoice
