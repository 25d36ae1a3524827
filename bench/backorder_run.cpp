#include "bench/backorder_run.h"

#include <filesystem>
#include <stdexcept>
#include <string>

#include "backorder/backorder.h"
#include "bench/books.h"
#include "bench/component.h"
#include "bench/raw_sqlite.h"
#include "platform/late_bound.h"
#include "platform/regional.h"
#include "platform/ui_services.h"

namespace tarvik::bench {
namespace {

constexpr int kFirstNewOrder = 900001;

// Books with one invoice, 500, over every order of one customer, each line
// one unit short.
void CreateInvoicedBooks(const std::string& path, const BackOrderOptions& o) {
  CreateBooks(path, {o.orders, o.lines_per_order, 1, 0, 1});
  ComponentHost host(path);
  host.Let("InvoiceNo", Variant::String("500"));
  host.Let("PrintInvoiceBy", Variant::Long(2));
  host.Let("CustID", Variant::String("C1001"));
  host.Let("TransactionMode", Variant::Long(1));
  if (!host.Succeeds("Save")) throw std::runtime_error("the invoice to back-order was not made");
  host.connection().Execute("UPDATE System SET option_value = '1' WHERE option_name = 'Auto Backorder'");
}

void Component(const std::string& path, const BackOrderOptions& o) {
  ScriptedUi ui;
  std::vector<ScriptedUi::Answer> answers{{true, kIdYes, std::nullopt}};
  for (int i = 0; i < o.orders; ++i) {
    answers.push_back({false, 0, std::to_string(kFirstNewOrder + i)});
  }
  answers.push_back({true, kIdOk, std::nullopt});
  ui.SetAnswers(std::move(answers));
  InstallUi(&ui);
  ComPtr<data::HostConnection> connection = data::OpenConnection(path);
  ComPtr<IDispatch> bo(backorder::NewBackOrder().get());
  InvokeByName(bo.get(), "Connect", CallKind::kSet, {Variant::Dispatch(connection.get())});
  InvokeByName(bo.get(), "Invoice_No", CallKind::kLet, {Variant::String("500")});
  const bool created = InvokeByName(bo.get(), "BackOrder", CallKind::kMethod).ToBoolean();
  InstallUi(nullptr);
  if (!created) throw std::runtime_error("BackOrder answered False");
}

struct OpenLine {
  std::int64_t order_key;
  std::string order_number, cust_id, ship_to, item, site;
  double ordered, invoiced, price, discount;
  std::int64_t line_code;
};

void Baseline(const std::string& path) {
  RawDatabase db(path);
  db.Run(db.Statement("SELECT option_value FROM System WHERE option_name = ?1"),
         {std::string("Auto Backorder")});
  // The detail rows, read column by column as the record set hands them over.
  std::vector<OpenLine> lines;
  {
    sqlite3_stmt* q = db.Statement("SELECT sql FROM QueryDefs WHERE name = 'v_BO_Detail'");
    sqlite3_reset(q);
    sqlite3_step(q);
    const std::string sql = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
    sqlite3_reset(q);
    sqlite3_stmt* st = db.Statement(sql);
    sqlite3_reset(st);
    sqlite3_bind_text(st, 1, "500", -1, SQLITE_STATIC);
    auto text = [&](int c) {
      const unsigned char* t = sqlite3_column_text(st, c);
      return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
    };
    while (sqlite3_step(st) == SQLITE_ROW) {
      lines.push_back({sqlite3_column_int64(st, 1), text(2), text(3), text(4), text(15), text(16),
                       sqlite3_column_double(st, 17), sqlite3_column_double(st, 22),
                       sqlite3_column_double(st, 19), sqlite3_column_double(st, 20),
                       sqlite3_column_int64(st, 21)});
    }
  }
  sqlite3_stmt* key_of = db.Statement(
      "SELECT order_key FROM Order_Header WHERE cust_id = ?1 AND shipto_name = ?2 AND order_number = ?3");
  sqlite3_stmt* header = db.Statement(
      "INSERT INTO Order_Header (order_number, cust_id, shipto_name, reference_no, order_date, "
      "due_date, order_header_discount, ship_via, price_struct, oeextra1, oeextra2, "
      "nonmerch_order, header_text_a, header_text_b, order_flag, order_comment, order_status) "
      "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, 0)");
  sqlite3_stmt* line = db.Statement(
      "INSERT INTO Order_Detail (order_key, line_no, item_number, site, quantity_ordered, "
      "unit_price, order_detail_discount, line_code, line_flag_a, line_flag_b, line_status) "
      "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, 0)");
  const std::string today = regional::FormatIsoDate(regional::Today());
  db.Exec("BEGIN IMMEDIATE");
  int next = kFirstNewOrder;
  for (std::size_t first = 0; first < lines.size();) {
    const OpenLine& head = lines[first];
    const std::string number = std::to_string(next++);
    const std::vector<RawValue> key{head.cust_id, head.ship_to, number};
    db.Run(key_of, key);  // the existence check
    db.Run(key_of, key);  // and the order component's own before it saves
    db.Exec("SAVEPOINT o");
    db.Run(header, {number, head.cust_id, head.ship_to, std::monostate{}, today, std::monostate{}, 0.0,
                    std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{}, std::int64_t{0},
                    std::monostate{}, std::monostate{}, std::string("1"),
                    "System Generated Backorder.  Original order number: " + head.order_number});
    std::vector<std::int64_t> new_key;
    db.Run(key_of, key, &new_key);
    std::size_t end = first;
    for (std::int64_t n = 1; end < lines.size() && lines[end].order_number == head.order_number; ++end, ++n) {
      const OpenLine& l = lines[end];
      db.Run(line, {new_key.at(0), n, l.item, l.site, l.ordered - l.invoiced, l.price, l.discount,
                    l.line_code, std::int64_t{1}, std::int64_t{1}});
    }
    db.Exec("RELEASE o");
    db.RunStored("v_BO_Update_Line_Status", {new_key.at(0), std::to_string(head.order_key)});
    first = end;
  }
  db.Exec("COMMIT");
}

std::string Outcome(const std::string& path) {
  RawDatabase db(path);
  std::vector<std::int64_t> v;
  for (const char* sql : {"SELECT count(*) FROM Order_Header", "SELECT count(*) FROM Order_Detail",
                          "SELECT CAST(sum(quantity_ordered) AS INTEGER) FROM Order_Detail",
                          "SELECT sum(line_status) FROM Order_Detail",
                          "SELECT count(*) FROM Order_Detail WHERE backorder_key IS NOT NULL"}) {
    db.Run(db.Statement(sql), {}, &v);
  }
  std::string out;
  for (auto n : v) out += std::to_string(n) + " ";
  return out;
}

}  // namespace

void RunBackOrderBenchmarks(const BackOrderOptions& o, Report& report) {
  const std::string dir = std::filesystem::temp_directory_path() / "tarvik-bench";
  std::filesystem::create_directories(dir);
  const std::string books = dir + "/backorder-books.db";
  CreateInvoicedBooks(books, o);
  double component = 1e300, baseline = 1e300;
  std::string component_outcome, baseline_outcome;
  for (int run = 0; run < o.runs; ++run) {
    auto fresh = [&](const std::string& name) { return CopyBooks(books, dir + "/" + name + ".db"); };
    const std::string a = fresh("backorder-component");
    component = std::min(component, Seconds([&] { Component(a, o); }));
    component_outcome = Outcome(a);
    const std::string b = fresh("backorder-baseline");
    baseline = std::min(baseline, Seconds([&] { Baseline(b); }));
    baseline_outcome = Outcome(b);
  }
  if (component_outcome != baseline_outcome) {
    throw std::runtime_error("back orders: component and baseline changed different rows: " +
                             component_outcome + "/ " + baseline_outcome);
  }
  const std::string name = "back orders, " + std::to_string(o.orders * o.lines_per_order) +
                           " lines over " + std::to_string(o.orders) + " orders";
  report.Add({name, "seconds", component, baseline});
  report.Check({"back orders vs baseline", component / baseline, 2, true});
}

}  // namespace tarvik::bench
