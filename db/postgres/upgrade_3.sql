-- Version 3: the order-number range of the stored queries written once.
--
-- Whether an order number lies in a range given as text: as numbers when
-- both ends are digits only (then only order numbers of digits are in
-- range), else as text.
CREATE FUNCTION tarvik_order_in_range(order_number text, first_order text, last_order text) RETURNS boolean
  LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE WHEN first_order <> '' AND last_order <> '' AND first_order !~ '[^0-9]' AND last_order !~ '[^0-9]'
                THEN order_number <> '' AND order_number !~ '[^0-9]'
                     AND tarvik_int(order_number) BETWEEN tarvik_int(first_order) AND tarvik_int(last_order)
                ELSE order_number BETWEEN first_order AND last_order END
  $$;
