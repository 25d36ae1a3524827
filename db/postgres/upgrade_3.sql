-- Version 3: postings reach their rows by key however large the books grow.
--
-- Numeric order-number ranges search the orders by the number's value.
CREATE INDEX Order_Header_number_value ON Order_Header (tarvik_int(order_number))
  WHERE order_number <> '' AND order_number !~ '[^0-9]';
