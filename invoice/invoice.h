// The invoice: one invoice header at a time, the selection with which
// invoices are created, the print settings, the message channel and the
// outside objects it works through. This is the C++ side; InvoiceObject
// (invoice_object.h) publishes it as _Invoice.
//
// The capabilities live one source unit each: browsing.cpp, creation.cpp,
// numbering.cpp, postings.cpp, picking_check.cpp, header_update.cpp,
// deletion.cpp, print_preparation.cpp, printing.cpp; state.cpp holds the
// object's own state (ReportFormula, ClearFields).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "data/transaction.h"

#include "invoice/data_links.h"
#include "invoice/invoice_header.h"
#include "invoice/message_channel.h"
#include "invoice/operation_settings.h"
#include "invoice/print_settings.h"
#include "invoice/selection.h"
#include "platform/com.h"
#include "platform/error.h"
#include "platform/variant.h"
#include "tarvik/interfaces.h"

namespace tarvik::invoice {

class Invoice {
 public:
  // Throws when a record set or the report component cannot be created.
  Invoice() = default;

  // --- What the host sets and reads ----------------------------------------
  InvoiceHeader& header() { return header_; }
  Selection& selection() { return selection_; }
  PrintSettings& print() { return print_; }
  OperationSettings& settings() { return settings_; }
  MessageChannel& messages() { return messages_; }

  // Keeps the host's connection and hands it to the report component.
  void Connect(IDispatch* connection) { links_.Connect(connection); }
  // Keeps the host's Collection (or none): any object answering Count and
  // Item by name; type mismatch for another object.
  void SetReportFormula(IDispatch* formula);

  // --- Browsing (browsing.cpp) ---------------------------------------------
  bool OpenRecordset();
  bool FindByFilter();
  bool Find();
  bool MoveFirst();
  bool MoveNext();
  bool MovePrevious();
  bool MoveLast();
  bool SeekRecord(const Variant& seek_value);
  // --- Save and creation (creation.cpp) ------------------------------------
  bool Save();
  bool AddNew();
  // --- Numbering and header insert (numbering.cpp) -------------------------
  std::string NextInvoiceNumber();
  bool AddHeader();
  // --- Deletion (deletion.cpp) ---------------------------------------------
  bool Delete();
  bool DeleteByFilter();
  // --- Printing (printing.cpp) ---------------------------------------------
  bool PrintInvoice();

 private:
  friend struct InvoiceTestPeer;
  class CreatedNumbers;

  // Browsing (browsing.cpp).
  void LoadFields() { header_.Load(links_.browse()); }
  std::string BuildSelectText();
  // Empties the current header (state.cpp).
  void ClearFields();
  // Creation (creation.cpp). The order keys of BeginOrder..EndOrder; the
  // next one into OrderKey, false once they are used up.
  bool LoadOrderKeys();
  bool NextOrderKey(bool& exhausted);
  bool CreateInvoices(CreatedNumbers& created);
  // Numbering (numbering.cpp): AddHeader for the number given. Without
  // `answer` on a connection that queues, the insert is only queued and
  // true says nothing of its rows.
  bool InsertHeader(const std::u16string& invoice_no, bool answer = true);
  bool RelieveOrUndo(const CreatedNumbers& created);
  // Postings (postings.cpp), for the invoice number given.
  enum class Posting : int;
  bool RunPosting(Posting posting, const std::u16string& invoice_no);
  bool CreateInvoiceDetail(const std::u16string& invoice_no);
  bool UpdateLineStatus();
  bool UpdateOrderStatus();
  bool RelieveInventory(const std::u16string& invoice_no);
  // RelieveInventory in two halves: the relief sent (its commit ahead where
  // the connection can), then its outcome read, reported and DoEvents run.
  struct Relief {
    std::u16string number;
    data::PendingCommit commit;
    bool sent = false;
    std::optional<AutomationError> error;
  };
  Relief StartRelief(const std::u16string& invoice_no);
  bool FinishRelief(Relief& relief);
  // Picking check and back-order hand-over (picking_check.cpp).
  bool CheckPartialPicking();
  bool RunAutoBackOrder(const std::u16string& invoice_no);
  // Header update (header_update.cpp).
  bool UpdateHeader();
  // Deletion (deletion.cpp).
  bool ResetInventory(const std::u16string& invoice_no);
  bool ResetOrderStatus(const std::u16string& invoice_no);
  bool DeleteHeaders(const std::string& filter, const std::u16string& invoice_no);
  void LogDeletedInvoice();
  // Print preparation (print_preparation.cpp).
  bool ClearReportTables();
  bool PreparePrintSelection(const std::u16string& invoice_no);
  // Printing (printing.cpp).
  bool RunInvoiceReport();

  DataLinks links_;
  InvoiceHeader header_;
  Selection selection_;
  PrintSettings print_;
  OperationSettings settings_;
  MessageChannel messages_;
};

// A new invoice object as its default interface; throws when it cannot be
// created.
ComPtr<_Invoice> NewInvoice();

}  // namespace tarvik::invoice
