// An Invoice on a demo database, its connection wrapped in a recorder, its
// record sets recorded and its boxes answered from a queue.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "invoice/invoice.h"
#include "platform/ui_services.h"
#include "tests/support/recording_connection.h"
#include "tests/support/recording_recordset.h"
#include "tests/support/temp_database.h"

namespace tarvik::invoice {

// The private steps, reached by the tests of each capability.
struct InvoiceTestPeer {
  static Invoice& Of(const ComPtr<_Invoice>& p) { return *static_cast<Invoice*>(p.get()); }
  static std::string BuildSelectText(Invoice& i) { return i.BuildSelectText(); }
  static void LoadFields(Invoice& i) { i.LoadFields(); }
  static bool CreateInvoiceDetail(Invoice& i) { return i.CreateInvoiceDetail(); }
  static bool UpdateLineStatus(Invoice& i) { return i.UpdateLineStatus(); }
  static bool UpdateOrderStatus(Invoice& i) { return i.UpdateOrderStatus(); }
  static bool RelieveInventory(Invoice& i) { return i.RelieveInventory(); }
  static bool UpdateHeader(Invoice& i) { return i.UpdateHeader(); }
  static bool ResetInventory(Invoice& i) { return i.ResetInventory(); }
  static bool ResetOrderStatus(Invoice& i) { return i.ResetOrderStatus(); }
  static void LogDeletedInvoice(Invoice& i) { i.LogDeletedInvoice(); }
  static bool CheckPartialPicking(Invoice& i) { return i.CheckPartialPicking(); }
  static bool LoadOrderKeys(Invoice& i) { return i.LoadOrderKeys(); }
};

}  // namespace tarvik::invoice

namespace tarvik::testing {

class InvoiceTest : public ::testing::Test {
 protected:
  InvoiceTest();
  ~InvoiceTest() override;

  invoice::Invoice& inv() { return invoice::InvoiceTestPeer::Of(object_); }
  _Invoice* raw() { return object_.get(); }

  // Properties through the published interface, as a host sets them.
  void Let(const std::string& name, const std::string& value);
  std::string Text(const std::string& name);
  void LetNumber(const std::string& name, std::int32_t value);
  std::int32_t Number(const std::string& name);

  // Header rows written with the host's own statements.
  void InsertHeader(std::int32_t number, const std::string& bill_to = "Acme",
                    int export_flag = 0, const std::string& export_date = "Null");
  double Scalar(const std::string& sql) { return ScalarNumber(*real_, sql); }
  std::string ScalarString(const std::string& sql) { return ScalarText(*real_, sql); }
  // Every row of the tables a posting touches, as text, to prove "nothing changed".
  std::string Snapshot();

  // Moves the object to a new demo database (a fresh recorder around it).
  void UseFreshDatabase();

  // Calls on the connection, without the reads the tests make themselves.
  const std::vector<std::string>& Calls() const;
  void Answer(std::vector<int> buttons);
  const std::vector<UiEvent>& Boxes() const { return ui_.events(); }

  TempDatabase db_;
  std::vector<std::unique_ptr<TempDatabase>> more_databases_;
  ComPtr<data::HostConnection> real_;
  ComPtr<RecordingConnection> recorder_;
  RecordsetRecording recordsets_;
  ScriptedUi ui_;
  ComPtr<_Invoice> object_;
};

}  // namespace tarvik::testing
