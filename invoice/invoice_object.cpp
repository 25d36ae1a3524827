#include "invoice/invoice_object.h"

namespace tarvik::invoice {

void* InvoiceObject::QueryInterfaceExtra(REFIID riid) {
  if (riid == IID_IProvideClassInfo) return ClassInfoProvider();
  return PublishedInterface(riid);
}

ComPtr<_Invoice> NewInvoice() {
  return ComPtr<_Invoice>(MakeCom<InvoiceObject>().get());
}

HRESULT InvoiceObject::SeekRecord(VARIANT* vSeekValue, VARIANT_BOOL* result) {
  if (!vSeekValue) return E_POINTER;
  return AnswerBool(result, [&] { return invoice_.SeekRecord(Variant(*vSeekValue)); });
}

HRESULT InvoiceObject::putref_Connect(IDispatch* value) {
  return automation::Run([&] { invoice_.Connect(value); });
}

HRESULT InvoiceObject::putref_ReportFormula(IDispatch* value) {
  return automation::Run([&] { invoice_.SetReportFormula(value); });
}

HRESULT InvoiceObject::get_ReportFormula(IDispatch** value) {
  if (!value) return E_POINTER;
  *value = ComPtr<IDispatch>(invoice_.print().formulas).detach();
  return S_OK;
}

}  // namespace tarvik::invoice
