-- Version 9: the orders of a numeric order-number range are read in their
-- invoicing order from an index, without a sort.
--
-- The sort key of a number: its count of significant digits, ten digits
-- wide, then those digits; Null for an order number that is not a number.
CREATE INDEX Order_Header_number_key ON Order_Header (
  (CASE WHEN order_number <> '' AND order_number NOT GLOB '*[^0-9]*'
        THEN printf('%010d', length(ltrim(order_number, '0'))) || ltrim(order_number, '0') END),
  order_number);
