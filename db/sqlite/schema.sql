-- Schema of the order-processing database (SQLite), version 1; the files
-- upgrade_N.sql beside it bring it to version N, applied in order by init and
-- by every host that opens an older database for writing. Dates are ISO text in
-- columns declared DATE. Status codes are listed in docs/schema.md.
CREATE TABLE QueryDefs (name TEXT PRIMARY KEY COLLATE NOCASE, kind TEXT NOT NULL CHECK (kind IN ('select','action')), sql TEXT NOT NULL, description TEXT);
CREATE TABLE QueryDefParams (query_name TEXT NOT NULL COLLATE NOCASE REFERENCES QueryDefs(name) ON DELETE CASCADE, position INTEGER NOT NULL, name TEXT NOT NULL, type TEXT NOT NULL CHECK (type IN ('Text','Long','Double','Date','Boolean')), PRIMARY KEY (query_name, position));

CREATE TABLE System (
  option_name TEXT PRIMARY KEY,
  option_value TEXT NOT NULL DEFAULT ''
);

CREATE TABLE Customer (
  cust_id TEXT PRIMARY KEY,
  name TEXT NOT NULL,
  address TEXT,
  city TEXT,
  tax_rate REAL NOT NULL DEFAULT 0 CHECK (tax_rate >= 0)
);

CREATE TABLE ShipTo (
  cust_id TEXT NOT NULL REFERENCES Customer(cust_id),
  shipto_name TEXT NOT NULL,
  address TEXT,
  city TEXT,
  PRIMARY KEY (cust_id, shipto_name)
);

CREATE TABLE Item (
  item_number TEXT PRIMARY KEY,
  description TEXT NOT NULL,
  unit_price REAL NOT NULL DEFAULT 0
);

CREATE TABLE Inventory (
  item_number TEXT NOT NULL,
  site TEXT NOT NULL,
  opening_on_hand REAL NOT NULL DEFAULT 0,
  on_hand REAL NOT NULL DEFAULT 0,
  PRIMARY KEY (item_number, site)
);

CREATE TABLE Inventory_Ledger (
  entry_id INTEGER PRIMARY KEY,
  item_number TEXT NOT NULL,
  site TEXT NOT NULL,
  quantity REAL NOT NULL,
  invoice_no INTEGER,
  reason TEXT NOT NULL,
  posted_at DATETIME NOT NULL DEFAULT (datetime('now'))
);

CREATE TABLE Order_Header (
  order_key INTEGER PRIMARY KEY,
  order_number TEXT NOT NULL,
  cust_id TEXT NOT NULL,
  shipto_name TEXT NOT NULL DEFAULT '',
  reference_no TEXT,
  order_date DATE,
  due_date DATE,
  order_header_discount REAL NOT NULL DEFAULT 0,
  ship_via TEXT,
  price_struct TEXT,
  oeextra1 TEXT,
  oeextra2 TEXT,
  nonmerch_order INTEGER NOT NULL DEFAULT 0,
  header_text_a TEXT,
  header_text_b TEXT,
  order_flag TEXT,
  order_comment TEXT,
  order_status INTEGER NOT NULL DEFAULT 0,
  UNIQUE (cust_id, shipto_name, order_number)
);
CREATE INDEX Order_Header_number ON Order_Header(order_number);

CREATE TABLE Order_Detail (
  order_key INTEGER NOT NULL REFERENCES Order_Header(order_key),
  line_no INTEGER NOT NULL,
  item_number TEXT NOT NULL,
  site TEXT NOT NULL,
  quantity_ordered REAL NOT NULL DEFAULT 0,
  quantity_picked REAL NOT NULL DEFAULT 0,
  quantity_packed REAL NOT NULL DEFAULT 0,
  quantity_invoiced REAL NOT NULL DEFAULT 0,
  unit_price REAL NOT NULL DEFAULT 0,
  order_detail_discount REAL NOT NULL DEFAULT 0,
  line_code INTEGER NOT NULL DEFAULT 0,
  line_flag_a INTEGER NOT NULL DEFAULT 0,
  line_flag_b INTEGER NOT NULL DEFAULT 0,
  line_status INTEGER NOT NULL DEFAULT 0,
  backorder_key INTEGER,
  PRIMARY KEY (order_key, line_no)
);

CREATE TABLE Invoice_Header (
  invoice_no INTEGER PRIMARY KEY,
  invoice_date DATE,
  ship_date DATE,
  bill_to TEXT,
  freight REAL,
  other_charge REAL,
  invoice_by INTEGER,
  extra1 TEXT,
  extra2 TEXT,
  paid REAL,
  export_flag INTEGER,
  export_date DATE
);

CREATE TABLE Invoice_Detail (
  invoice_no INTEGER NOT NULL REFERENCES Invoice_Header(invoice_no) ON DELETE CASCADE,
  order_key INTEGER NOT NULL,
  line_no INTEGER NOT NULL,
  item_number TEXT NOT NULL,
  site TEXT NOT NULL,
  quantity REAL NOT NULL,
  unit_price REAL NOT NULL,
  discount REAL NOT NULL DEFAULT 0,
  amount REAL NOT NULL,
  PRIMARY KEY (invoice_no, order_key, line_no)
);
CREATE INDEX Invoice_Detail_line ON Invoice_Detail(order_key, line_no);

CREATE TABLE Invoice_Delete (
  delete_id INTEGER PRIMARY KEY,
  Invoice_No INTEGER,
  Invoice_Date DATE,
  UserID TEXT,
  deleted_at DATETIME NOT NULL DEFAULT (datetime('now'))
);

CREATE TABLE RPT_Invoice_Hdr (
  invoice_no INTEGER,
  invoice_date DATE,
  ship_date DATE,
  bill_to TEXT,
  invoice_by INTEGER,
  order_number TEXT,
  cust_id TEXT,
  customer_name TEXT,
  customer_address TEXT,
  customer_city TEXT,
  shipto_name TEXT,
  shipto_address TEXT,
  shipto_city TEXT,
  seller_name TEXT,
  seller_address TEXT,
  extra1 TEXT,
  extra2 TEXT,
  subtotal REAL NOT NULL DEFAULT 0,
  freight REAL NOT NULL DEFAULT 0,
  other_charge REAL NOT NULL DEFAULT 0,
  tax_rate REAL NOT NULL DEFAULT 0,
  tax REAL NOT NULL DEFAULT 0,
  total REAL NOT NULL DEFAULT 0,
  paid REAL NOT NULL DEFAULT 0
);

CREATE TABLE RPT_Invoice_Det (
  invoice_no INTEGER,
  order_number TEXT,
  line_no INTEGER,
  item_number TEXT,
  description TEXT,
  site TEXT,
  quantity REAL,
  unit_price REAL,
  discount REAL,
  amount REAL,
  tax REAL NOT NULL DEFAULT 0
);
