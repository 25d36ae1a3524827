#include "bench/books.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "data/backend.h"
#include "data/dialect.h"
#include "db/initialize.h"

namespace tarvik::bench {

void RemoveBooks(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
}

namespace {

void Flush(const std::string& path) {
  struct File {
    int fd;
    ~File() {
      if (fd >= 0) close(fd);
    }
  } file{open(path.c_str(), O_RDONLY)};
  if (file.fd < 0 || fsync(file.fd) != 0) throw std::runtime_error("could not flush " + path);
}

// A file and the folder that names it.
void FlushWithFolder(const std::string& path) {
  Flush(path);
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  Flush(folder.empty() ? "." : folder.string());
}

}  // namespace

// Both files go to disk before the run is measured: a clerk's books are
// there already. Otherwise the first checkpoint's flush of the copy would
// write all of it inside the measured run, and the kernel's write-back of
// books just made would meet the run's own flushes; both cost more the
// larger the books.
std::string CopyBooks(const std::string& from, const std::string& to) {
  RemoveBooks(to);
  Flush(from);
  std::filesystem::copy_file(from, to);
  FlushWithFolder(to);
  return to;
}

void CreateBooks(const std::string& path, const BooksShape& shape) {
  RemoveBooks(path);
  auto db = data::OpenBackend(path);
  db::InitializeDatabase(*db, false);
  // The books are written in the classic SQL the catalog uses, on either backend.
  auto exec = [&](const std::string& sql, const std::vector<data::Value>& values) {
    db->Execute(data::TranslateClassic(sql, db->dialect()), values);
  };
  db->Begin();
  exec("UPDATE System SET option_value = '0' WHERE option_name IN "
              "('Auto Backorder', 'Invoice No Partial Picking')", {});
  for (int c = 1; c <= shape.customers; ++c) {
    std::string id = "C";  // built in steps: gcc 12 warns falsely on "C" + text
    id += std::to_string(1000 + c);
    exec("INSERT INTO Customer (cust_id, name, tax_rate) VALUES (?1, ?2, 5)",
                {id, "Customer " + id});
    exec("INSERT INTO ShipTo (cust_id, shipto_name) VALUES (?1, 'HQ')", {id});
  }
  // Items and their stock come from a counter, so that a warehouse's worth
  // costs one statement.
  const std::string items = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                            std::to_string(shape.items) + ") ";
  exec(items + "INSERT INTO Item (item_number, description, unit_price) SELECT 'ITEM-' || i, 'Item ' || i, 1.0 + i FROM n",
       {});
  exec(items + "INSERT INTO Inventory (item_number, site, opening_on_hand, on_hand) "
               "SELECT 'ITEM-' || i, s.site, 1e9, 1e9 FROM n, (SELECT 'MAIN' AS site UNION ALL SELECT 'EAST') s",
       {});
  for (int o = 1; o <= shape.orders; ++o) {
    std::string cust = "C";
    cust += std::to_string(1000 + 1 + (o - 1) % shape.customers);
    exec("INSERT INTO Order_Header (order_key, order_number, cust_id, shipto_name, "
                "order_date, order_status) VALUES (?1, ?2, ?3, 'HQ', '2026-12-01', 0)",
                {std::int64_t{o}, std::to_string(100000 + o), cust});
    for (int l = 1; l <= shape.lines_per_order; ++l) {
      const int item = 1 + (o * 7 + l) % shape.items;
      exec("INSERT INTO Order_Detail (order_key, line_no, item_number, site, quantity_ordered, "
                  "quantity_picked, quantity_packed, unit_price, line_status) "
                  "VALUES (?1, ?2, ?3, ?4, ?6, 2, 2, ?5, 2)",
                  {std::int64_t{o}, std::int64_t{l}, "ITEM-" + std::to_string(item),
                   std::string(l % 2 ? "MAIN" : "EAST"), 1.0 + item,
                   2.0 + shape.open_per_line});
    }
  }
  for (int n = 1; n <= shape.invoice_headers; ++n) {
    exec("INSERT INTO Invoice_Header (invoice_no, invoice_date, bill_to, freight, "
                "other_charge, invoice_by, paid, export_flag) VALUES (?1, '2026-01-01', 'B', 0, 0, 0, 0, 0)",
                {std::int64_t{n}});
  }
  db->Commit();
  db.reset();
  // Books measured where they were made (the host's list and info runs)
  // start on disk too, as CopyBooks leaves its copies.
  if (!data::IsPostgresUri(path)) FlushWithFolder(path);
}

}  // namespace tarvik::bench
