// An Invoice on a demo database, its connection wrapped in a recorder, its
// record sets recorded and its boxes answered from a queue.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "invoice/invoice.h"
#include "tests/invoice/invoice_test_peer.h"
#include "platform/ui_services.h"
#include "tests/support/recording_connection.h"
#include "tests/support/recording_recordset.h"
#include "tests/support/temp_database.h"

namespace tarvik::testing {

using server::_Invoice;

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
