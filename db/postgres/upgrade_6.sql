-- Version 6: numeric order-number ranges compare exactly, however many
-- digits the numbers have: by the count of significant digits, then by the
-- digits as text. This index replaces the one of version 3, whose key kept
-- only the first 18 digits.
DROP INDEX IF EXISTS Order_Header_number_value;
CREATE INDEX Order_Header_number_exact
  ON Order_Header (length(ltrim(order_number, '0')), (ltrim(order_number, '0') COLLATE "C"))
  WHERE order_number <> '' AND order_number !~ '[^0-9]';
