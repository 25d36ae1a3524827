-- Version 4: the seller's own particulars, printed on invoices and kept for
-- electronic invoices; each order's ship-to on the report lines.
CREATE TABLE Company_Settings (
  setting_name TEXT NOT NULL PRIMARY KEY,
  setting_value TEXT NOT NULL
);
-- The seller block of earlier versions lives on as the legal name and address.
INSERT INTO Company_Settings (setting_name, setting_value)
  SELECT 'seller_legal_name', option_value FROM System
  WHERE option_name = 'Company Name' AND coalesce(option_value, '') <> '';
INSERT INTO Company_Settings (setting_name, setting_value)
  SELECT 'seller_address_line1', option_value FROM System
  WHERE option_name = 'Company Address' AND coalesce(option_value, '') <> '';
INSERT INTO Company_Settings (setting_name, setting_value) VALUES ('date_format', 'YYYY-MM-DD');
INSERT INTO Company_Settings (setting_name, setting_value) VALUES ('payment_due_days', '14');
ALTER TABLE RPT_Invoice_Det ADD COLUMN shipto_name TEXT;
ALTER TABLE RPT_Invoice_Det ADD COLUMN shipto_address TEXT;
ALTER TABLE RPT_Invoice_Det ADD COLUMN shipto_city TEXT;
-- The headers marked for export are found by key, and counting
-- the headers (every browse that opens them all) reads this narrow index
-- instead of the whole table.
CREATE INDEX Invoice_Header_export ON Invoice_Header(export_flag, export_date);
