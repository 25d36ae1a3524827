// Every statement a posting runs reaches the rows of its invoice and orders
// by key: the planner is asked, and a full scan of a table of the books
// fails, naming the query and the table. The stored queries are planned in
// the very text the connection runs (the catalog's, split and translated as
// it does), once with each kind of value their parameters get.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "data/host_connection.h"
#include "data/sql_text.h"
#include "db/initialize.h"
#include "tests/support/temp_database.h"

namespace tarvik::db {
namespace {

using data::HostConnection;
using testing::TempDatabase;

// Tables that grow with the business; a posting may only search them.
// The others are not checked, each for its reason: Invoice_Pending and
// Order_Status_Pending hold only postings not yet finished and are read
// whole by contract (status posting, recovery); RPT_Invoice_Hdr and
// RPT_Invoice_Det hold the one print job being prepared and are emptied
// before each; System and the catalog are a few fixed rows.
const std::set<std::string> kBooksTables = {"customer",        "shipto",         "item",
                                            "inventory",       "inventory_ledger", "order_header",
                                            "order_detail",    "invoice_header", "invoice_detail",
                                            "invoice_delete"};

std::string Lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

// One statement to plan: what it is called in a failure, its text in the
// classic dialect and the values of its markers.
struct Probe {
  std::string label;
  std::string sql;
  std::vector<Variant> values;
};

// Representative values by parameter name, one set per kind of run: order
// ranges are compared as numbers or as text, two different plans.
using ValueSet = std::map<std::string, Variant>;
std::vector<ValueSet> RepresentativeValues() {
  const ValueSet common = {
      {"OrderKey", Variant::Long(1)},         {"InvoiceNo", Variant::Long(7)},
      {"CustID", Variant::String("C100")},    {"ShipTo", Variant::String("Main")},
      {"NewOrderKey", Variant::Long(25)},     {"OriginalOrderKey", Variant::Long(1)},
  };
  ValueSet numbers = common, text = common;
  numbers["BeginOrder"] = Variant::String("1001");
  numbers["EndOrder"] = Variant::String("1003");
  text["BeginOrder"] = Variant::String("1001x");
  text["EndOrder"] = Variant::String("1003");
  return {numbers, text};
}

// The highest ?n marker of a statement: how many values it takes.
std::size_t MarkerCount(const std::string& sql) {
  std::size_t highest = 0;
  data::ScanSql(sql, [&](data::SqlPiece kind, std::string_view text) {
    if (kind != data::SqlPiece::kCode) return;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '?') continue;
      std::size_t n = 0, j = i + 1;
      for (; j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])); ++j) n = n * 10 + (text[j] - '0');
      highest = std::max(highest, n);
    }
  });
  return highest;
}

// Every statement of every stored query, as the catalog holds it.
std::vector<Probe> CatalogProbes(HostConnection& c) {
  std::vector<Probe> out;
  const auto value_sets = RepresentativeValues();
  for (const auto& q : ShippedQueries(c.SqlDialect())) {
    const std::string sql = c.GetDatabase()->GetQueryDefs().Item(q.name)->SQL();
    const auto statements = data::SplitStatements(sql);
    bool ranged = false;
    for (const auto& p : q.params) ranged = ranged || p.first == "BeginOrder";
    for (std::size_t set = 0; set < (ranged ? value_sets.size() : 1); ++set) {
      std::vector<Variant> values;
      for (const auto& p : q.params) {
        auto it = value_sets[set].find(p.first);
        EXPECT_NE(it, value_sets[set].end()) << q.name << ": no representative value for " << p.first;
        values.push_back(it == value_sets[set].end() ? Variant::Null() : it->second);
      }
      for (std::size_t i = 0; i < statements.size(); ++i) {
        const std::size_t n = std::min(MarkerCount(statements[i]), values.size());
        out.push_back({q.name + " statement " + std::to_string(i + 1) + (set ? " (text range)" : ""),
                       statements[i], std::vector<Variant>(values.begin(), values.begin() + n)});
      }
    }
  }
  return out;
}

// What the component, the back-order workflow and recovery send around the
// stored queries, in the shapes they build.
std::vector<Probe> ComponentProbes() {
  const Variant key = Variant::Long(7);
  return {
      {"next invoice number", "Select Max(invoice_no) From Invoice_Header", {}},
      {"header update",
       "UPDATE Invoice_Header SET Ship_Date = Null, Bill_To = 'x', Freight = 0, Other_Charge = 0, Extra1 = Null, "
       "Extra2 = Null, Paid = 0, Export_Flag = 0, Export_Date = Null WHERE Invoice_No = 7",
       {}},
      {"header deletion", "DELETE FROM Invoice_Header WHERE Invoice_No = 7", {}},
      {"header read", "SELECT * FROM Invoice_Header WHERE Invoice_No = 7 ORDER BY Invoice_No ", {}},
      // The export selection, as browsing and DeleteByFilter build it.
      {"headers to export",
       "SELECT * FROM Invoice_Header Where (Export_Flag=1) And (Export_Date Is Null)  ORDER BY Invoice_No ", {}},
      {"exported headers' deletion", "DELETE FROM Invoice_Header Where (Export_Flag=1) And (Export_Date Is Null) ",
       {}},
      {"recovery's abandoned invoice", "DELETE FROM Invoice_Header Where Invoice_No = ?1", {key}},
      {"back order's key",
       "SELECT order_key FROM Order_Header WHERE cust_id = ?1 AND shipto_name = ?2 AND order_number = ?3",
       {Variant::String("C100"), Variant::String("Main"), Variant::String("1001-B")}},
      {"recovery's unfinished invoices", "SELECT invoice_no FROM Invoice_Pending WHERE state = ?1 ORDER BY invoice_no",
       {Variant::Long(0)}},
      {"recovery's marked orders", "SELECT count(*) FROM Order_Status_Pending", {}},
      // Deleting a header cascades to its lines and its mark.
      {"cascade to lines", "DELETE FROM Invoice_Detail WHERE invoice_no = ?1", {key}},
      {"cascade to mark", "DELETE FROM Invoice_Pending WHERE invoice_no = ?1", {key}},
  };
}

// Names an alias stands for: "FROM Order_Detail d", "JOIN Inventory AS i".
std::map<std::string, std::string> Aliases(const std::string& sql) {
  static const std::set<std::string> kNotAlias = {"where", "on",    "join",  "left",  "inner", "set",
                                                  "group", "order", "using", "limit", "union", "values",
                                                  "for",   "as",    "natural", "cross", "returning"};
  std::vector<std::string> words;
  std::string word;
  data::ScanSql(sql, [&](data::SqlPiece kind, std::string_view text) {
    if (kind != data::SqlPiece::kCode) return;
    for (char ch : text) {
      if (std::isalnum(static_cast<unsigned char>(ch)) || ch == '_') {
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      } else {
        if (!word.empty()) words.push_back(word);
        word.clear();
        if (ch == '(' || ch == ')' || ch == ',') words.push_back(std::string(1, ch));
      }
    }
    if (!word.empty()) words.push_back(word);
    word.clear();
  });
  std::map<std::string, std::string> out;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (!kBooksTables.count(words[i])) continue;
    out[words[i]] = words[i];
    std::size_t j = i + 1;
    if (j < words.size() && words[j] == "as") ++j;
    if (j < words.size() && !kNotAlias.count(words[j]) && std::isalpha(static_cast<unsigned char>(words[j][0]))) {
      out[words[j]] = words[i];
    }
  }
  return out;
}

// SQLite: "SCAN <name>" of a books table (by name or alias) is a full scan,
// with or without an index to walk; "SEARCH" is a key lookup.
std::vector<std::string> SqliteScans(HostConnection& c, const Probe& p) {
  std::vector<std::string> out;
  const auto aliases = Aliases(p.sql);
  auto rs = c.QueryWith("EXPLAIN QUERY PLAN " + p.sql, p.values);
  for (std::int64_t row = 0; rs->Seek(row); ++row) {
    const std::string detail = std::get<std::string>(rs->Column(3));
    if (detail.rfind("SCAN ", 0) != 0) continue;
    const std::string name = Lower(detail.substr(5, detail.find(' ', 5) == std::string::npos
                                                        ? std::string::npos
                                                        : detail.find(' ', 5) - 5));
    auto it = aliases.find(name);
    if (it != aliases.end()) out.push_back(it->second + " (" + detail + ")");
  }
  return out;
}

// A Seq Scan, or an index walked from end to end (no condition on its key),
// which is what the planner picks for a full pass once scans are off.
void CollectSeqScans(const nlohmann::json& plan, std::vector<std::string>& out) {
  const std::string node = plan.value("Node Type", "");
  const bool whole_index = node.find("Index") != std::string::npos && !plan.contains("Index Cond");
  const std::string table = Lower(plan.value("Relation Name", ""));
  if ((node == "Seq Scan" || whole_index) && kBooksTables.count(table)) out.push_back(table + " (" + node + ")");
  if (plan.contains("Plans")) {
    for (const auto& child : plan["Plans"]) CollectSeqScans(child, out);
  }
}

// The plan as a short indented tree, for a failure to show.
void Outline(const nlohmann::json& plan, int depth, std::string& out) {
  out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + plan.value("Node Type", "?");
  for (const char* key : {"Join Type", "Relation Name", "Alias", "Index Name", "Index Cond", "Filter"}) {
    if (plan.contains(key)) out += std::string(" ") + key + "=" + plan[key].get<std::string>();
  }
  out += "\n";
  if (plan.contains("Plans")) {
    for (const auto& child : plan["Plans"]) Outline(child, depth + 1, out);
  }
}

std::string Outline(const std::string& explained) {
  std::string out;
  for (const auto& entry : nlohmann::json::parse(explained)) Outline(entry["Plan"], 1, out);
  return out;
}

std::vector<std::string> PostgresSeqScans(const std::string& explained) {
  std::vector<std::string> out;
  for (const auto& entry : nlohmann::json::parse(explained)) CollectSeqScans(entry["Plan"], out);
  return out;
}

// PostgreSQL: the plan for these values, and the generic plan a prepared
// statement may settle on after a few runs, which cannot lean on the values.
// Scans, and the hash and merge joins that read a whole side, are switched
// off so that the tiny demo tables do not make them the cheaper choice: a
// scan that remains had no key to search by.
void SwitchOffScans(HostConnection& c) {
  for (const char* setting : {"enable_seqscan", "enable_hashjoin", "enable_mergejoin"}) {
    c.ExecuteWith(std::string("SET ") + setting + " = off", {});
  }
  c.ExecuteWith("SET plan_cache_mode = force_generic_plan", {});
}

// Each scan found is followed by the plan it was found in.
std::vector<std::string> PostgresScans(HostConnection& c, const Probe& p) {
  auto rs = c.QueryWith("EXPLAIN (FORMAT JSON) " + p.sql, p.values);
  EXPECT_TRUE(rs->Seek(0)) << p.label;
  const std::string custom = std::get<std::string>(rs->Column(0));
  std::vector<std::string> out;
  for (auto& scan : PostgresSeqScans(custom)) out.push_back(scan + "\n" + Outline(custom));
  c.ExecuteWith("PREPARE tarvik_plan_probe AS " + p.sql, {});
  std::string nulls;
  for (std::size_t i = 0; i < p.values.size(); ++i) nulls += i ? ", NULL" : "(NULL";
  if (!nulls.empty()) nulls += ")";
  auto rs_generic = c.QueryWith("EXPLAIN (FORMAT JSON) EXECUTE tarvik_plan_probe" + nulls, {});
  EXPECT_TRUE(rs_generic->Seek(0)) << p.label;
  const std::string generic = std::get<std::string>(rs_generic->Column(0));
  for (auto& scan : PostgresSeqScans(generic)) out.push_back(scan + " in the generic plan\n" + Outline(generic));
  c.ExecuteWith("DEALLOCATE tarvik_plan_probe", {});
  return out;
}

TEST(QueryPlans, PostingsSearchTheBooksByKeyAndNeverScanThem) {
  TempDatabase db;
  auto c = db.Connect();
  const bool postgres = c->SqlDialect() == data::Dialect::kPostgres;
  if (postgres) SwitchOffScans(*c);
  std::vector<Probe> probes = CatalogProbes(*c);
  for (auto& p : ComponentProbes()) probes.push_back(std::move(p));
  ASSERT_GT(probes.size(), 40u);
  for (const auto& p : probes) {
    const auto scans = postgres ? PostgresScans(*c, p) : SqliteScans(*c, p);
    for (const auto& scan : scans) ADD_FAILURE() << p.label << " scans " << scan << "\n" << p.sql;
  }
}

// A numeric range of order keys comes in invoicing order straight from an
// index; only the text range, its other branch, may sort.
TEST(QueryPlans, ANumericOrderRangeIsReadInOrderWithoutASort) {
  TempDatabase db;
  auto c = db.Connect();
  if (c->SqlDialect() != data::Dialect::kSqlite) GTEST_SKIP() << "SQLite's plan";
  const std::string sql = c->GetDatabase()->GetQueryDefs().Item("v_Order_Keys")->SQL();
  auto rs = c->QueryWith("EXPLAIN QUERY PLAN " + sql, {Variant::String("1001"), Variant::String("1003")});
  std::vector<std::string> plan;
  for (std::int64_t row = 0; rs->Seek(row); ++row) plan.push_back(std::get<std::string>(rs->Column(3)));
  std::string shown;
  for (const auto& line : plan) shown += line + "\n";
  const auto right = std::find(plan.begin(), plan.end(), "RIGHT");
  ASSERT_NE(right, plan.end()) << shown;
  bool keyed = false;
  for (auto it = plan.begin(); it != right; ++it) {
    EXPECT_EQ(it->find("TEMP B-TREE"), std::string::npos) << shown;
    keyed = keyed || it->find("Order_Header_number_key") != std::string::npos;
  }
  EXPECT_TRUE(keyed) << shown;
}

// The checker itself: a query that can only scan is caught, under an alias
// too, and a key lookup is not.
TEST(QueryPlans, TheCheckTellsAScanFromASearch) {
  TempDatabase db;
  auto c = db.Connect();
  const bool postgres = c->SqlDialect() == data::Dialect::kPostgres;
  if (postgres) SwitchOffScans(*c);
  auto scans = [&](const Probe& p) { return postgres ? PostgresScans(*c, p) : SqliteScans(*c, p); };
  const Probe scan{"scan", "SELECT sum(on_hand) FROM Inventory i WHERE i.on_hand > ?1", {Variant::Long(0)}};
  const Probe search{"search", "SELECT on_hand FROM Inventory i WHERE i.item_number = ?1 AND i.site = ?2",
                     {Variant::String("NUT-10"), Variant::String("MAIN")}};
  ASSERT_FALSE(scans(scan).empty());
  EXPECT_EQ(scans(scan).front().rfind("inventory (", 0), 0u) << scans(scan).front();
  EXPECT_TRUE(scans(search).empty()) << scans(search).front();
}

}  // namespace
}  // namespace tarvik::db
