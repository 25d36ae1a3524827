-- Stored queries of the catalog. Each block starts with "-- query: NAME KIND"
-- (KIND select or action), then "-- param: NAME TYPE" lines in parameter
-- order, then the SQL (several statements run as one unit). Order-number
-- ranges compare as numbers when both ends are numeric, as text otherwise.
-- Invoice numbers arrive as text and are taken by their integer value.

-- query: v_Order_Keys select
-- param: BeginOrder Text
-- param: EndOrder Text
SELECT h.order_key FROM Order_Header h
WHERE (CASE WHEN ?1::text <> '' AND ?2::text <> '' AND ?1::text !~ '[^0-9]' AND ?2::text !~ '[^0-9]'
            THEN h.order_number <> '' AND h.order_number !~ '[^0-9]'
                 AND tarvik_int(h.order_number) BETWEEN tarvik_int(?1::text) AND tarvik_int(?2::text)
            ELSE h.order_number BETWEEN ?1::text AND ?2::text END)
  AND EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = h.order_key AND d.quantity_packed > 0)
ORDER BY CASE WHEN h.order_number !~ '[^0-9]' AND h.order_number <> '' THEN tarvik_int(h.order_number) END NULLS FIRST,
         h.order_number, h.order_key

-- query: v_Invoice_All_Picked select
-- param: BeginOrder Text
-- param: EndOrder Text
SELECT h.order_number, d.line_no, d.item_number, d.quantity_ordered, d.quantity_picked
FROM Order_Header h JOIN Order_Detail d ON d.order_key = h.order_key
WHERE (CASE WHEN ?1::text <> '' AND ?2::text <> '' AND ?1::text !~ '[^0-9]' AND ?2::text !~ '[^0-9]'
            THEN h.order_number <> '' AND h.order_number !~ '[^0-9]'
                 AND tarvik_int(h.order_number) BETWEEN tarvik_int(?1::text) AND tarvik_int(?2::text)
            ELSE h.order_number BETWEEN ?1::text AND ?2::text END)
  AND d.line_status <> 5
  AND d.quantity_picked > 0 AND d.quantity_picked < d.quantity_ordered
ORDER BY h.order_number, d.line_no

-- query: v_InvoiceDet_byOrdPack action
-- param: OrderKey Long
-- param: InvoiceNo Text
INSERT INTO Invoice_Detail (invoice_no, order_key, line_no, item_number, site, quantity, unit_price, discount, amount)
SELECT tarvik_int(?2::text), d.order_key, d.line_no, d.item_number, d.site, d.quantity_packed, d.unit_price,
       d.order_detail_discount, round(d.quantity_packed * d.unit_price * (100 - d.order_detail_discount) / 100.0, 2)
FROM Order_Detail d WHERE d.order_key = ?1 AND d.quantity_packed > 0

-- query: v_InvoiceDet_byShipPack action
-- param: CustID Text
-- param: ShipTo Text
-- param: InvoiceNo Text
INSERT INTO Invoice_Detail (invoice_no, order_key, line_no, item_number, site, quantity, unit_price, discount, amount)
SELECT tarvik_int(?3::text), d.order_key, d.line_no, d.item_number, d.site, d.quantity_packed, d.unit_price,
       d.order_detail_discount, round(d.quantity_packed * d.unit_price * (100 - d.order_detail_discount) / 100.0, 2)
FROM Order_Detail d JOIN Order_Header h ON h.order_key = d.order_key
WHERE h.cust_id = ?1 AND h.shipto_name = ?2 AND d.quantity_packed > 0

-- query: v_InvoiceDet_byCustPack action
-- param: CustID Text
-- param: InvoiceNo Text
INSERT INTO Invoice_Detail (invoice_no, order_key, line_no, item_number, site, quantity, unit_price, discount, amount)
SELECT tarvik_int(?2::text), d.order_key, d.line_no, d.item_number, d.site, d.quantity_packed, d.unit_price,
       d.order_detail_discount, round(d.quantity_packed * d.unit_price * (100 - d.order_detail_discount) / 100.0, 2)
FROM Order_Detail d JOIN Order_Header h ON h.order_key = d.order_key
WHERE h.cust_id = ?1 AND d.quantity_packed > 0

-- query: v_InvoiceDet_byCustOrdPack action
-- param: CustID Text
-- param: BeginOrder Text
-- param: EndOrder Text
-- param: InvoiceNo Text
INSERT INTO Invoice_Detail (invoice_no, order_key, line_no, item_number, site, quantity, unit_price, discount, amount)
SELECT tarvik_int(?4::text), d.order_key, d.line_no, d.item_number, d.site, d.quantity_packed, d.unit_price,
       d.order_detail_discount, round(d.quantity_packed * d.unit_price * (100 - d.order_detail_discount) / 100.0, 2)
FROM Order_Detail d JOIN Order_Header h ON h.order_key = d.order_key
WHERE h.cust_id = ?1 AND d.quantity_packed > 0
  AND (CASE WHEN ?2::text <> '' AND ?3::text <> '' AND ?2::text !~ '[^0-9]' AND ?3::text !~ '[^0-9]'
            THEN h.order_number <> '' AND h.order_number !~ '[^0-9]'
                 AND tarvik_int(h.order_number) BETWEEN tarvik_int(?2::text) AND tarvik_int(?3::text)
            ELSE h.order_number BETWEEN ?2::text AND ?3::text END)

-- query: v_Invoice_Up_LineStat_byOrdPack action
-- param: OrderKey Long
UPDATE Order_Detail SET quantity_invoiced = quantity_invoiced + quantity_packed, quantity_packed = 0,
  line_status = CASE WHEN quantity_invoiced + quantity_packed >= quantity_ordered THEN 4 ELSE 3 END
WHERE order_key = ?1 AND quantity_packed > 0

-- query: v_Invoice_Up_LineStat_byShipPack action
-- param: CustID Text
-- param: ShipTo Text
UPDATE Order_Detail SET quantity_invoiced = quantity_invoiced + quantity_packed, quantity_packed = 0,
  line_status = CASE WHEN quantity_invoiced + quantity_packed >= quantity_ordered THEN 4 ELSE 3 END
WHERE quantity_packed > 0
  AND order_key IN (SELECT order_key FROM Order_Header WHERE cust_id = ?1 AND shipto_name = ?2)

-- query: v_Invoice_Up_LineStat_byCustPack action
-- param: CustID Text
UPDATE Order_Detail SET quantity_invoiced = quantity_invoiced + quantity_packed, quantity_packed = 0,
  line_status = CASE WHEN quantity_invoiced + quantity_packed >= quantity_ordered THEN 4 ELSE 3 END
WHERE quantity_packed > 0 AND order_key IN (SELECT order_key FROM Order_Header WHERE cust_id = ?1)

-- query: v_Invoice_Up_LineStat_ByCustOrdPack action
-- param: CustID Text
-- param: BeginOrder Text
-- param: EndOrder Text
UPDATE Order_Detail SET quantity_invoiced = quantity_invoiced + quantity_packed, quantity_packed = 0,
  line_status = CASE WHEN quantity_invoiced + quantity_packed >= quantity_ordered THEN 4 ELSE 3 END
WHERE quantity_packed > 0 AND order_key IN (
  SELECT h.order_key FROM Order_Header h WHERE h.cust_id = ?1
    AND (CASE WHEN ?2::text <> '' AND ?3::text <> '' AND ?2::text !~ '[^0-9]' AND ?3::text !~ '[^0-9]'
              THEN h.order_number <> '' AND h.order_number !~ '[^0-9]'
                   AND tarvik_int(h.order_number) BETWEEN tarvik_int(?2::text) AND tarvik_int(?3::text)
              ELSE h.order_number BETWEEN ?2::text AND ?3::text END))

-- Order status: 2 when every line not back-ordered is invoiced in full, 1
-- when some is invoiced, else unchanged. The per-order query refreshes
-- every order whose status lags its lines, since it runs once per call
-- with the last order's key. The rows are locked in key order first: clerks
-- finishing at the same moment refresh overlapping sets of orders.
-- query: v_Invoice_Up_OrderStat_byOrdPack action
-- param: OrderKey Long
UPDATE Order_Header SET order_status =
  CASE WHEN NOT EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key
                        AND d.line_status <> 5 AND d.quantity_invoiced < d.quantity_ordered) THEN 2 ELSE 1 END
FROM (SELECT o.order_key FROM Order_Header o
      WHERE (o.order_key = ?1 OR o.order_status < 2)
        AND EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = o.order_key AND d.quantity_invoiced > 0)
      ORDER BY o.order_key FOR UPDATE OF o) t
WHERE Order_Header.order_key = t.order_key

-- query: v_Invoice_Up_OrderStat_byShipPack action
-- param: CustID Text
-- param: ShipTo Text
UPDATE Order_Header SET order_status =
  CASE WHEN NOT EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key
                        AND d.line_status <> 5 AND d.quantity_invoiced < d.quantity_ordered) THEN 2 ELSE 1 END
FROM (SELECT o.order_key FROM Order_Header o
      WHERE o.cust_id = ?1 AND o.shipto_name = ?2
        AND EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = o.order_key AND d.quantity_invoiced > 0)
      ORDER BY o.order_key FOR UPDATE OF o) t
WHERE Order_Header.order_key = t.order_key

-- query: v_Invoice_Up_OrderStat_byCustPack action
-- param: CustID Text
UPDATE Order_Header SET order_status =
  CASE WHEN NOT EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key
                        AND d.line_status <> 5 AND d.quantity_invoiced < d.quantity_ordered) THEN 2 ELSE 1 END
FROM (SELECT o.order_key FROM Order_Header o
      WHERE o.cust_id = ?1
        AND EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = o.order_key AND d.quantity_invoiced > 0)
      ORDER BY o.order_key FOR UPDATE OF o) t
WHERE Order_Header.order_key = t.order_key

-- query: v_Invoice_Up_OrderStat_byCustOrdPack action
-- param: CustID Text
-- param: BeginOrder Text
-- param: EndOrder Text
UPDATE Order_Header SET order_status =
  CASE WHEN NOT EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key
                        AND d.line_status <> 5 AND d.quantity_invoiced < d.quantity_ordered) THEN 2 ELSE 1 END
FROM (SELECT o.order_key FROM Order_Header o
      WHERE o.cust_id = ?1
        AND (CASE WHEN ?2::text <> '' AND ?3::text <> '' AND ?2::text !~ '[^0-9]' AND ?3::text !~ '[^0-9]'
                  THEN o.order_number <> '' AND o.order_number !~ '[^0-9]'
                       AND tarvik_int(o.order_number) BETWEEN tarvik_int(?2::text) AND tarvik_int(?3::text)
                  ELSE o.order_number BETWEEN ?2::text AND ?3::text END)
        AND EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = o.order_key AND d.quantity_invoiced > 0)
      ORDER BY o.order_key FOR UPDATE OF o) t
WHERE Order_Header.order_key = t.order_key

-- The stock postings join the invoice's totals to the stock rows by key, so
-- they touch only those rows however many old versions the table holds
-- while other clerks' long invoicing runs keep them from being pruned. They
-- lock those rows in key order, so that two clerks relieving the same items
-- queue instead of deadlocking; the insert tries only the missing keys, so it
-- does not wait on rows that others are relieving.
-- query: v_Invoice_Relieve_Inventory action
-- param: InvoiceNo Text
INSERT INTO Inventory (item_number, site, opening_on_hand, on_hand)
  SELECT DISTINCT d.item_number, d.site, 0, 0 FROM Invoice_Detail d WHERE d.invoice_no = tarvik_int(?1::text)
    AND NOT EXISTS (SELECT 1 FROM Inventory i WHERE i.item_number = d.item_number AND i.site = d.site)
  ON CONFLICT DO NOTHING;
UPDATE Inventory SET on_hand = Inventory.on_hand - t.quantity
FROM (SELECT i.item_number, i.site, d.quantity
      FROM (SELECT item_number, site, sum(quantity) AS quantity FROM Invoice_Detail
            WHERE invoice_no = tarvik_int(?1::text) GROUP BY item_number, site) d
      JOIN Inventory i ON i.item_number = d.item_number AND i.site = d.site
      ORDER BY i.item_number, i.site FOR UPDATE OF i) t
WHERE Inventory.item_number = t.item_number AND Inventory.site = t.site

-- query: v_Invoice_Relieve_Inventory_LS action
-- param: InvoiceNo Text
INSERT INTO Inventory_Ledger (item_number, site, quantity, invoice_no, reason)
SELECT item_number, site, -sum(quantity), invoice_no, 'invoice'
FROM Invoice_Detail WHERE invoice_no = tarvik_int(?1::text) GROUP BY item_number, site, invoice_no

-- query: v_Invoice_Delete_Reset_Inv_Qty action
-- param: InvoiceNo Text
UPDATE Inventory SET on_hand = Inventory.on_hand + t.quantity
FROM (SELECT i.item_number, i.site, d.quantity
      FROM (SELECT item_number, site, sum(quantity) AS quantity FROM Invoice_Detail
            WHERE invoice_no = tarvik_int(?1::text) GROUP BY item_number, site) d
      JOIN Inventory i ON i.item_number = d.item_number AND i.site = d.site
      ORDER BY i.item_number, i.site FOR UPDATE OF i) t
WHERE Inventory.item_number = t.item_number AND Inventory.site = t.site

-- query: v_Invoice_Delete_Reset_Inv_Qty_LS action
-- param: InvoiceNo Text
INSERT INTO Inventory_Ledger (item_number, site, quantity, invoice_no, reason)
SELECT item_number, site, sum(quantity), invoice_no, 'invoice deleted'
FROM Invoice_Detail WHERE invoice_no = tarvik_int(?1::text) GROUP BY item_number, site, invoice_no

-- Puts the invoiced quantities back to packed and recomputes line and
-- order status; runs before the header (and by cascade its lines) is deleted.
-- query: v_Invoice_Delete_Reset_Status action
-- param: InvoiceNo Text
UPDATE Order_Detail SET
  quantity_invoiced = quantity_invoiced - (SELECT sum(i.quantity) FROM Invoice_Detail i
     WHERE i.invoice_no = tarvik_int(?1::text) AND i.order_key = Order_Detail.order_key AND i.line_no = Order_Detail.line_no),
  quantity_packed = quantity_packed + (SELECT sum(i.quantity) FROM Invoice_Detail i
     WHERE i.invoice_no = tarvik_int(?1::text) AND i.order_key = Order_Detail.order_key AND i.line_no = Order_Detail.line_no),
  line_status = CASE WHEN quantity_invoiced - (SELECT sum(i.quantity) FROM Invoice_Detail i
     WHERE i.invoice_no = tarvik_int(?1::text) AND i.order_key = Order_Detail.order_key AND i.line_no = Order_Detail.line_no) > 0
     THEN 3 ELSE 2 END
WHERE EXISTS (SELECT 1 FROM Invoice_Detail i WHERE i.invoice_no = tarvik_int(?1::text)
     AND i.order_key = Order_Detail.order_key AND i.line_no = Order_Detail.line_no);
UPDATE Order_Header SET order_status =
  CASE WHEN EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key AND d.quantity_invoiced > 0)
       THEN 1 ELSE 0 END
WHERE order_key IN (SELECT order_key FROM Invoice_Detail WHERE invoice_no = tarvik_int(?1::text))

-- query: v_Invoice_Hdr action
-- param: InvoiceNo Text
INSERT INTO RPT_Invoice_Hdr (invoice_no, invoice_date, ship_date, bill_to, invoice_by, extra1, extra2,
                             freight, other_charge, paid, seller_name, seller_address)
SELECT h.invoice_no, h.invoice_date, h.ship_date, h.bill_to, h.invoice_by, h.extra1, h.extra2,
       coalesce(h.freight, 0), coalesce(h.other_charge, 0), coalesce(h.paid, 0),
       (SELECT option_value FROM System WHERE option_name = 'Company Name'),
       (SELECT option_value FROM System WHERE option_name = 'Company Address')
FROM Invoice_Header h WHERE h.invoice_no = tarvik_int(?1::text)

-- query: v_Invoice_Det action
-- param: InvoiceNo Text
INSERT INTO RPT_Invoice_Det (invoice_no, order_number, line_no, item_number, description, site, quantity, unit_price, discount, amount)
SELECT d.invoice_no, o.order_number, d.line_no, d.item_number, coalesce(it.description, d.item_number), d.site,
       d.quantity, d.unit_price, d.discount, d.amount
FROM Invoice_Detail d JOIN Order_Header o ON o.order_key = d.order_key
LEFT JOIN Item it ON it.item_number = d.item_number
WHERE d.invoice_no = tarvik_int(?1::text)
ORDER BY o.order_number, d.line_no

-- Grouping queries: complete the report header from the invoice's orders.
-- query: v_Invoice_Up_OrderNo action
UPDATE RPT_Invoice_Hdr SET
  order_number = (SELECT min(o.order_number) FROM Invoice_Detail d JOIN Order_Header o ON o.order_key = d.order_key WHERE d.invoice_no = RPT_Invoice_Hdr.invoice_no),
  cust_id = (SELECT min(o.cust_id) FROM Invoice_Detail d JOIN Order_Header o ON o.order_key = d.order_key WHERE d.invoice_no = RPT_Invoice_Hdr.invoice_no),
  shipto_name = (SELECT min(o.shipto_name) FROM Invoice_Detail d JOIN Order_Header o ON o.order_key = d.order_key WHERE d.invoice_no = RPT_Invoice_Hdr.invoice_no);
UPDATE RPT_Invoice_Hdr SET
  customer_name = (SELECT name FROM Customer c WHERE c.cust_id = RPT_Invoice_Hdr.cust_id),
  customer_address = (SELECT address FROM Customer c WHERE c.cust_id = RPT_Invoice_Hdr.cust_id),
  customer_city = (SELECT city FROM Customer c WHERE c.cust_id = RPT_Invoice_Hdr.cust_id),
  shipto_address = (SELECT address FROM ShipTo s WHERE s.cust_id = RPT_Invoice_Hdr.cust_id AND s.shipto_name = RPT_Invoice_Hdr.shipto_name),
  shipto_city = (SELECT city FROM ShipTo s WHERE s.cust_id = RPT_Invoice_Hdr.cust_id AND s.shipto_name = RPT_Invoice_Hdr.shipto_name)

-- query: v_invoice_del_custid action
UPDATE RPT_Invoice_Hdr SET order_number = NULL, shipto_name = NULL, shipto_address = NULL, shipto_city = NULL,
  cust_id = (SELECT min(o.cust_id) FROM Invoice_Detail d JOIN Order_Header o ON o.order_key = d.order_key WHERE d.invoice_no = RPT_Invoice_Hdr.invoice_no);
UPDATE RPT_Invoice_Hdr SET
  customer_name = (SELECT name FROM Customer c WHERE c.cust_id = RPT_Invoice_Hdr.cust_id),
  customer_address = (SELECT address FROM Customer c WHERE c.cust_id = RPT_Invoice_Hdr.cust_id),
  customer_city = (SELECT city FROM Customer c WHERE c.cust_id = RPT_Invoice_Hdr.cust_id)

-- query: v_invoice_up_shipto action
UPDATE RPT_Invoice_Hdr SET
  shipto_name = (SELECT min(o.shipto_name) FROM Invoice_Detail d JOIN Order_Header o ON o.order_key = d.order_key WHERE d.invoice_no = RPT_Invoice_Hdr.invoice_no);
UPDATE RPT_Invoice_Hdr SET
  shipto_address = (SELECT address FROM ShipTo s WHERE s.cust_id = RPT_Invoice_Hdr.cust_id AND s.shipto_name = RPT_Invoice_Hdr.shipto_name),
  shipto_city = (SELECT city FROM ShipTo s WHERE s.cust_id = RPT_Invoice_Hdr.cust_id AND s.shipto_name = RPT_Invoice_Hdr.shipto_name)

-- query: v_invoice_up_custid action
UPDATE RPT_Invoice_Hdr SET shipto_name = customer_name, shipto_address = customer_address, shipto_city = customer_city

-- query: v_Invoice_Up_Hdr_Tax action
UPDATE RPT_Invoice_Hdr SET
  tax_rate = coalesce((SELECT tax_rate FROM Customer c WHERE c.cust_id = RPT_Invoice_Hdr.cust_id), 0),
  subtotal = coalesce((SELECT round(sum(amount), 2) FROM RPT_Invoice_Det d WHERE d.invoice_no = RPT_Invoice_Hdr.invoice_no), 0);
UPDATE RPT_Invoice_Hdr SET tax = round(subtotal * tax_rate / 100.0, 2);
UPDATE RPT_Invoice_Hdr SET total = round(subtotal + freight + other_charge + tax, 2)

-- query: v_Invoice_Up_Det_Tax action
UPDATE RPT_Invoice_Det SET tax = round(amount * coalesce(
  (SELECT h.tax_rate FROM RPT_Invoice_Hdr h WHERE h.invoice_no = RPT_Invoice_Det.invoice_no), 0) / 100.0, 2)

-- query: v_BO_Detail select
-- param: InvoiceNo Text
SELECT tarvik_int(?1::text) AS invoice_no, h.order_key, h.order_number, h.cust_id, h.shipto_name, h.reference_no,
       h.due_date, h.order_header_discount, h.ship_via, h.price_struct, h.oeextra1, h.oeextra2, h.nonmerch_order,
       h.header_text_a, h.header_text_b, d.item_number, d.site, d.quantity_ordered,
       d.quantity_ordered - d.quantity_invoiced AS quantity_to_ship, d.unit_price, d.order_detail_discount,
       d.line_code, d.quantity_invoiced AS quantity_packed
FROM Order_Header h JOIN Order_Detail d ON d.order_key = h.order_key
WHERE h.order_key IN (SELECT order_key FROM Invoice_Detail WHERE invoice_no = tarvik_int(?1::text))
  AND d.line_status <> 5 AND d.quantity_invoiced < d.quantity_ordered
ORDER BY h.order_number, h.order_key, d.line_no

-- query: v_BO_Update_Line_Status action
-- param: NewOrderKey Long
-- param: OriginalOrderKey Text
UPDATE Order_Detail SET line_status = 5, backorder_key = ?1::bigint
WHERE order_key = tarvik_int(?2::text) AND line_status <> 5 AND quantity_invoiced < quantity_ordered
