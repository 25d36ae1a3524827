// `tarvik customer` and `tarvik item` run as the real program: fields
// listed, shown and set; values checked before they are stored, a refused
// one changing nothing.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/host/tarvik_process.h"
#include "tests/support/temp_database.h"

namespace tarvik::host_test {
namespace {

class RecordCommandsTest : public DatabaseTest {
 protected:
  void SetUp() override { db_ = InitDatabase("books.db", true); }
  // The fields the refusals aim at, of every customer and item.
  std::string Snapshot() const {
    return testing::JoinedColumn(*Db(), "SELECT cust_id || '|' || name || '|' || country || '|' || vat_category || "
                                        "'|' || vat_id || '|' || contact_email || '|' || electronic_scheme "
                                        "FROM Customer ORDER BY cust_id") +
           testing::JoinedColumn(*Db(), "SELECT item_number || '|' || unit_code || '|' || vat_category FROM Item "
                                        "ORDER BY item_number");
  }
};

TEST_F(RecordCommandsTest, FieldsAreListedShownAndSet) {
  RunResult all = Run({"customer", "C400"});
  ASSERT_EQ(all.exit_code, 0) << all.err;
  for (const char* text : {"country", "DE", "buyer_reference", "991-33333TEST-33", "vat_exemption_code"}) {
    EXPECT_NE(all.out.find(text), std::string::npos) << text << "\n" << all.out;
  }
  EXPECT_EQ(Run({"customer", "C400", "vat_id"}).out, "DE811569869\n");
  EXPECT_EQ(Run({"item", "GLOVE-L", "vat_category"}).out, "Z\n");

  struct Set {
    std::vector<std::string> args;
    const char* sql;
    const char* stored;
  };
  const Set sets[] = {
      {{"customer", "C300", "country", "FI"}, "SELECT country FROM Customer WHERE cust_id = 'C300'", "FI"},
      {{"customer", "C300", "vat_category", "AE"}, "SELECT vat_category FROM Customer WHERE cust_id = 'C300'", "AE"},
      {{"customer", "C400", "vat_category", ""}, "SELECT vat_category FROM Customer WHERE cust_id = 'C400'", ""},
      {{"customer", "C100", "contact_email", "ap@northwind.example"},
       "SELECT contact_email FROM Customer WHERE cust_id = 'C100'", "ap@northwind.example"},
      {{"customer", "C200", "name", "O'Brien & Sons'); DROP TABLE Customer; --"},
       "SELECT name FROM Customer WHERE cust_id = 'C200'", "O'Brien & Sons'); DROP TABLE Customer; --"},
      {{"customer", "C100", "vat_exemption_code", "VATEX-EU-G"},
       "SELECT vat_exemption_code FROM Customer WHERE cust_id = 'C100'", "VATEX-EU-G"},
      {{"item", "BOLT-10", "unit_code", "KGM"}, "SELECT unit_code FROM Item WHERE item_number = 'BOLT-10'", "KGM"},
      {{"item", "BOLT-10", "vat_category", "E"}, "SELECT vat_category FROM Item WHERE item_number = 'BOLT-10'", "E"},
  };
  for (const auto& s : sets) {
    RunResult r = Run(s.args);
    EXPECT_EQ(r.exit_code, 0) << s.args[2] << ": " << r.err;
    EXPECT_EQ(Text(s.sql), s.stored) << s.args[2];
  }
  EXPECT_EQ(Number("SELECT count(*) FROM Customer"), 4);
}

TEST_F(RecordCommandsTest, RefusedValuesChangeNothing) {
  struct Refusal {
    std::vector<std::string> args;
    const char* says;
  };
  const Refusal refusals[] = {
      {{"customer", "C400", "country", "de"}, "country code"},
      {{"customer", "C400", "country", "DEU"}, "country code"},
      {{"customer", "C400", "vat_category", "X"}, "one of S"},
      {{"customer", "C400", "vat_id", "811569869"}, "country prefix"},
      {{"customer", "C400", "contact_email", "nobody"}, "e-mail"},
      {{"customer", "C400", "electronic_scheme", "88"}, "scheme"},
      {{"customer", "C400", "vat_exemption_code", "EU-IC"}, "VATEX"},
      {{"customer", "C400", "name", ""}, "cannot be empty"},
      {{"customer", "C400", "colour", "red"}, "no field 'colour'"},
      {{"customer", "C999", "country", "DE"}, "no customer 'C999'"},
      {{"item", "BOLT-10", "unit_code", "box"}, "Recommendation 20"},
      {{"item", "BOLT-10", "unit_code", ""}, "Recommendation 20"},
      {{"item", "BOLT-10", "vat_category", "K"}, "S (standard), Z"},
      {{"item", "BOLT-10", "unit_price", "1"}, "no field 'unit_price'"},
      {{"item", "NOPE", "unit_code", "H87"}, "no item 'NOPE'"},
  };
  const std::string before = Snapshot();
  for (const auto& r : refusals) {
    RunResult run = Run(r.args);
    EXPECT_NE(run.exit_code, 0) << r.args[2];
    EXPECT_NE(run.err.find(r.says), std::string::npos) << r.args[2] << ": " << run.err;
  }
  EXPECT_EQ(Snapshot(), before);
}

}  // namespace
}  // namespace tarvik::host_test
