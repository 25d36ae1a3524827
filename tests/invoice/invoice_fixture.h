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
  // A function of the published interface and its Boolean answer.
  bool Call(const std::string& member, std::vector<Variant> args = {});
  bool Save() { return Call("Save"); }
  // Messages go to InfoMsg instead of boxes.
  void BoxesOff();
  // The next Save in add mode makes one invoice per order of first..last,
  // numbered from number.
  void SelectOrders(const std::string& first, const std::string& last, const std::string& number);
  // An option of the System table.
  void SetOption(const std::string& name, const std::string& value);

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
  // The same without the catalog reads of the stored-query runner.
  std::vector<std::string> Work() const;
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
