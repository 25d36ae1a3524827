-- Version 5: what electronic invoices need of customers, ship-to locations
-- and items, and credit notes kept beside the invoices they cancel.
--
-- Customers: the buyer's particulars. An empty vat_category leaves the VAT
-- category to each item; a customer's own category (AE, K, G, O, E) covers
-- every line of its documents.
ALTER TABLE Customer ADD COLUMN address_line2 TEXT NOT NULL DEFAULT '';
ALTER TABLE Customer ADD COLUMN postcode TEXT NOT NULL DEFAULT '';
ALTER TABLE Customer ADD COLUMN subdivision TEXT NOT NULL DEFAULT '';
ALTER TABLE Customer ADD COLUMN country TEXT NOT NULL DEFAULT '';
ALTER TABLE Customer ADD COLUMN vat_id TEXT NOT NULL DEFAULT '';
ALTER TABLE Customer ADD COLUMN legal_registration_id TEXT NOT NULL DEFAULT '';
ALTER TABLE Customer ADD COLUMN electronic_address TEXT NOT NULL DEFAULT '';
ALTER TABLE Customer ADD COLUMN electronic_scheme TEXT NOT NULL DEFAULT '';
ALTER TABLE Customer ADD COLUMN buyer_reference TEXT NOT NULL DEFAULT '';
ALTER TABLE Customer ADD COLUMN contact_name TEXT NOT NULL DEFAULT '';
ALTER TABLE Customer ADD COLUMN contact_phone TEXT NOT NULL DEFAULT '';
ALTER TABLE Customer ADD COLUMN contact_email TEXT NOT NULL DEFAULT '';
ALTER TABLE Customer ADD COLUMN vat_category TEXT NOT NULL DEFAULT ''
  CHECK (vat_category IN ('', 'S', 'Z', 'E', 'AE', 'K', 'G', 'O'));
ALTER TABLE Customer ADD COLUMN vat_exemption_reason TEXT NOT NULL DEFAULT '';
ALTER TABLE Customer ADD COLUMN vat_exemption_code TEXT NOT NULL DEFAULT '';
ALTER TABLE ShipTo ADD COLUMN postcode TEXT NOT NULL DEFAULT '';
ALTER TABLE ShipTo ADD COLUMN country TEXT NOT NULL DEFAULT '';
-- Items: the unit of measure (UN/ECE Recommendation 20; C62 "one" for the
-- items of earlier versions) and the VAT category of the item itself. S
-- keeps what earlier versions did: every line taxed at the customer's rate.
ALTER TABLE Item ADD COLUMN unit_code TEXT NOT NULL DEFAULT 'C62';
ALTER TABLE Item ADD COLUMN vat_category TEXT NOT NULL DEFAULT 'S'
  CHECK (vat_category IN ('S', 'Z', 'E'));
ALTER TABLE Item ADD COLUMN vat_exemption_reason TEXT NOT NULL DEFAULT '';
ALTER TABLE Item ADD COLUMN vat_exemption_code TEXT NOT NULL DEFAULT '';
-- A credit note: a copy of the invoice it cancels (the invoice itself is
-- deleted), under a number of its own series.
CREATE TABLE Credit_Note_Header (
  credit_no BIGINT PRIMARY KEY,
  invoice_no BIGINT NOT NULL,
  credit_date TIMESTAMP(0),
  invoice_date TIMESTAMP(0),
  ship_date TIMESTAMP(0),
  bill_to TEXT,
  freight DOUBLE PRECISION,
  other_charge DOUBLE PRECISION,
  invoice_by BIGINT,
  extra1 TEXT,
  extra2 TEXT,
  paid DOUBLE PRECISION,
  export_flag BIGINT,
  export_date TIMESTAMP(0)
);
CREATE INDEX Credit_Note_Header_export ON Credit_Note_Header(export_flag, export_date);
CREATE TABLE Credit_Note_Detail (
  credit_no BIGINT NOT NULL REFERENCES Credit_Note_Header(credit_no) ON DELETE CASCADE,
  order_key BIGINT NOT NULL,
  line_no BIGINT NOT NULL,
  item_number TEXT NOT NULL,
  site TEXT NOT NULL,
  quantity DOUBLE PRECISION NOT NULL,
  unit_price DOUBLE PRECISION NOT NULL,
  discount DOUBLE PRECISION NOT NULL DEFAULT 0,
  amount DOUBLE PRECISION NOT NULL,
  PRIMARY KEY (credit_no, order_key, line_no)
);
