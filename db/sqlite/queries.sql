-- Stored queries of the catalog. Each block starts with "-- query: NAME KIND"
-- (KIND select or action), then "-- param: NAME TYPE" lines in parameter
-- order, then the SQL (several statements run as one unit). Order-number
-- ranges compare as numbers when both ends are numeric, as text otherwise;
-- as numbers exactly, whatever their length: by the count of significant
-- digits, then by those digits as text (CAST, which stops at 64 bits but
-- never reorders, only narrows the search to the index);
-- a range of all orders is written as two selects, one for each reading,
-- so each searches its own index instead of testing every order.
-- Invoice numbers arrive as text and are read as numbers by the same
-- regional conversion as the component's own (declared type Key).

-- query: v_Order_Keys select
-- param: BeginOrder Text
-- param: EndOrder Text
-- A numeric range is read in order from the index on the number's sort
-- key (its digit count, ten digits wide, then its significant digits),
-- so neither branch sorts: the two are merged. The key is spelled here as
-- in that index; SQLite uses an index on an expression only for the same
-- expression.
SELECT h.order_key, h.order_number,
       CASE WHEN h.order_number <> '' AND h.order_number NOT GLOB '*[^0-9]*'
            THEN printf('%010d', length(ltrim(h.order_number, '0'))) || ltrim(h.order_number, '0') END AS number_key
FROM Order_Header h
WHERE ?1 <> '' AND ?2 <> '' AND ?1 NOT GLOB '*[^0-9]*' AND ?2 NOT GLOB '*[^0-9]*'
  AND CASE WHEN h.order_number <> '' AND h.order_number NOT GLOB '*[^0-9]*'
           THEN printf('%010d', length(ltrim(h.order_number, '0'))) || ltrim(h.order_number, '0') END
      BETWEEN printf('%010d', length(ltrim(?1, '0'))) || ltrim(?1, '0')
          AND printf('%010d', length(ltrim(?2, '0'))) || ltrim(?2, '0')
  AND EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = h.order_key AND d.quantity_packed > 0)
UNION ALL
SELECT h.order_key, h.order_number,
       CASE WHEN h.order_number <> '' AND h.order_number NOT GLOB '*[^0-9]*'
            THEN printf('%010d', length(ltrim(h.order_number, '0'))) || ltrim(h.order_number, '0') END
FROM Order_Header h
WHERE NOT (?1 <> '' AND ?2 <> '' AND ?1 NOT GLOB '*[^0-9]*' AND ?2 NOT GLOB '*[^0-9]*')
  AND h.order_number BETWEEN ?1 AND ?2
  AND EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = h.order_key AND d.quantity_packed > 0)
ORDER BY number_key, order_number, order_key

-- query: v_Invoice_All_Picked select
-- param: BeginOrder Text
-- param: EndOrder Text
SELECT order_number, line_no, item_number, quantity_ordered, quantity_picked FROM (
  SELECT h.order_number, d.line_no, d.item_number, d.quantity_ordered, d.quantity_picked
  FROM Order_Header h JOIN Order_Detail d ON d.order_key = h.order_key
  WHERE ?1 <> '' AND ?2 <> '' AND ?1 NOT GLOB '*[^0-9]*' AND ?2 NOT GLOB '*[^0-9]*'
    AND h.order_number <> '' AND h.order_number NOT GLOB '*[^0-9]*'
    AND CAST(h.order_number AS INTEGER) BETWEEN CAST(?1 AS INTEGER) AND CAST(?2 AS INTEGER)
    AND (length(ltrim(h.order_number, '0')), ltrim(h.order_number, '0')) BETWEEN (length(ltrim(?1, '0')), ltrim(?1, '0')) AND (length(ltrim(?2, '0')), ltrim(?2, '0'))
    AND d.line_status <> 5 AND d.quantity_picked > 0 AND d.quantity_picked < d.quantity_ordered
  UNION ALL
  SELECT h.order_number, d.line_no, d.item_number, d.quantity_ordered, d.quantity_picked
  FROM Order_Header h JOIN Order_Detail d ON d.order_key = h.order_key
  WHERE NOT (?1 <> '' AND ?2 <> '' AND ?1 NOT GLOB '*[^0-9]*' AND ?2 NOT GLOB '*[^0-9]*')
    AND h.order_number BETWEEN ?1 AND ?2
    AND d.line_status <> 5 AND d.quantity_picked > 0 AND d.quantity_picked < d.quantity_ordered) p
ORDER BY order_number, line_no

-- Detail lines: the packed lines of the selection, priced, under the invoice
-- number; the invoice is then marked as waiting for its inventory relief. A
-- header that gets no line (its order was invoiced by another clerk since
-- its keys were read) is not kept: an invoice without lines is none.
-- query: v_InvoiceDet_byOrdPack action
-- param: OrderKey Long
-- param: InvoiceNo Key
INSERT INTO Invoice_Detail (invoice_no, order_key, line_no, item_number, site, quantity, unit_price, discount, amount)
SELECT ?2, d.order_key, d.line_no, d.item_number, d.site, d.quantity_packed, d.unit_price,
       d.order_detail_discount, round(d.quantity_packed * d.unit_price * (100 - d.order_detail_discount) / 100.0, 2)
FROM Order_Detail d WHERE d.order_key = ?1 AND d.quantity_packed > 0;
INSERT OR IGNORE INTO Invoice_Pending (invoice_no, state)
SELECT ?2, 0 WHERE EXISTS (SELECT 1 FROM Invoice_Detail WHERE invoice_no = ?2);
DELETE FROM Invoice_Header WHERE invoice_no = ?2 AND NOT EXISTS (SELECT 1 FROM Invoice_Detail WHERE invoice_no = ?2)

-- query: v_InvoiceDet_byShipPack action
-- param: CustID Text
-- param: ShipTo Text
-- param: InvoiceNo Key
INSERT INTO Invoice_Detail (invoice_no, order_key, line_no, item_number, site, quantity, unit_price, discount, amount)
SELECT ?3, d.order_key, d.line_no, d.item_number, d.site, d.quantity_packed, d.unit_price,
       d.order_detail_discount, round(d.quantity_packed * d.unit_price * (100 - d.order_detail_discount) / 100.0, 2)
FROM Order_Detail d JOIN Order_Header h ON h.order_key = d.order_key
WHERE h.cust_id = ?1 AND h.shipto_name = ?2 AND d.quantity_packed > 0;
INSERT OR IGNORE INTO Invoice_Pending (invoice_no, state)
SELECT ?3, 0 WHERE EXISTS (SELECT 1 FROM Invoice_Detail WHERE invoice_no = ?3);
DELETE FROM Invoice_Header WHERE invoice_no = ?3 AND NOT EXISTS (SELECT 1 FROM Invoice_Detail WHERE invoice_no = ?3)

-- query: v_InvoiceDet_byCustPack action
-- param: CustID Text
-- param: InvoiceNo Key
INSERT INTO Invoice_Detail (invoice_no, order_key, line_no, item_number, site, quantity, unit_price, discount, amount)
SELECT ?2, d.order_key, d.line_no, d.item_number, d.site, d.quantity_packed, d.unit_price,
       d.order_detail_discount, round(d.quantity_packed * d.unit_price * (100 - d.order_detail_discount) / 100.0, 2)
FROM Order_Detail d JOIN Order_Header h ON h.order_key = d.order_key
WHERE h.cust_id = ?1 AND d.quantity_packed > 0;
INSERT OR IGNORE INTO Invoice_Pending (invoice_no, state)
SELECT ?2, 0 WHERE EXISTS (SELECT 1 FROM Invoice_Detail WHERE invoice_no = ?2);
DELETE FROM Invoice_Header WHERE invoice_no = ?2 AND NOT EXISTS (SELECT 1 FROM Invoice_Detail WHERE invoice_no = ?2)

-- query: v_InvoiceDet_byCustOrdPack action
-- param: CustID Text
-- param: BeginOrder Text
-- param: EndOrder Text
-- param: InvoiceNo Key
INSERT INTO Invoice_Detail (invoice_no, order_key, line_no, item_number, site, quantity, unit_price, discount, amount)
SELECT ?4, d.order_key, d.line_no, d.item_number, d.site, d.quantity_packed, d.unit_price,
       d.order_detail_discount, round(d.quantity_packed * d.unit_price * (100 - d.order_detail_discount) / 100.0, 2)
FROM Order_Detail d JOIN Order_Header h ON h.order_key = d.order_key
WHERE h.cust_id = ?1 AND d.quantity_packed > 0
  AND (CASE WHEN ?2 <> '' AND ?3 <> '' AND ?2 NOT GLOB '*[^0-9]*' AND ?3 NOT GLOB '*[^0-9]*'
            THEN h.order_number <> '' AND h.order_number NOT GLOB '*[^0-9]*'
                 AND CAST(h.order_number AS INTEGER) BETWEEN CAST(?2 AS INTEGER) AND CAST(?3 AS INTEGER)
                 AND (length(ltrim(h.order_number, '0')), ltrim(h.order_number, '0')) BETWEEN (length(ltrim(?2, '0')), ltrim(?2, '0')) AND (length(ltrim(?3, '0')), ltrim(?3, '0'))
            ELSE h.order_number BETWEEN ?2 AND ?3 END);
INSERT OR IGNORE INTO Invoice_Pending (invoice_no, state)
SELECT ?4, 0 WHERE EXISTS (SELECT 1 FROM Invoice_Detail WHERE invoice_no = ?4);
DELETE FROM Invoice_Header WHERE invoice_no = ?4 AND NOT EXISTS (SELECT 1 FROM Invoice_Detail WHERE invoice_no = ?4)

-- Line status: packed quantities move to invoiced; 3 in part, 4 in full. A
-- back-ordered line (5) stays so: its open rest lives in another order. The
-- status a line had before its first invoice is kept for a deletion to
-- restore, and the orders are marked for their status posting.
-- query: v_Invoice_Up_LineStat_byOrdPack action
-- param: OrderKey Long
INSERT OR IGNORE INTO Order_Status_Pending (order_key)
SELECT ?1 WHERE EXISTS (SELECT 1 FROM Order_Detail WHERE order_key = ?1 AND quantity_packed > 0);
UPDATE Order_Detail SET
  uninvoiced_status = CASE WHEN quantity_invoiced = 0 AND line_status <> 5 THEN line_status ELSE uninvoiced_status END,
  quantity_invoiced = quantity_invoiced + quantity_packed, quantity_packed = 0,
  line_status = CASE WHEN line_status = 5 THEN 5
                     WHEN quantity_invoiced + quantity_packed >= quantity_ordered THEN 4 ELSE 3 END
WHERE order_key = ?1 AND quantity_packed > 0

-- query: v_Invoice_Up_LineStat_byShipPack action
-- param: CustID Text
-- param: ShipTo Text
INSERT OR IGNORE INTO Order_Status_Pending (order_key)
SELECT DISTINCT d.order_key FROM Order_Detail d JOIN Order_Header h ON h.order_key = d.order_key
WHERE h.cust_id = ?1 AND h.shipto_name = ?2 AND d.quantity_packed > 0;
UPDATE Order_Detail SET
  uninvoiced_status = CASE WHEN quantity_invoiced = 0 AND line_status <> 5 THEN line_status ELSE uninvoiced_status END,
  quantity_invoiced = quantity_invoiced + quantity_packed, quantity_packed = 0,
  line_status = CASE WHEN line_status = 5 THEN 5
                     WHEN quantity_invoiced + quantity_packed >= quantity_ordered THEN 4 ELSE 3 END
WHERE quantity_packed > 0
  AND order_key IN (SELECT order_key FROM Order_Header WHERE cust_id = ?1 AND shipto_name = ?2)

-- query: v_Invoice_Up_LineStat_byCustPack action
-- param: CustID Text
INSERT OR IGNORE INTO Order_Status_Pending (order_key)
SELECT DISTINCT d.order_key FROM Order_Detail d JOIN Order_Header h ON h.order_key = d.order_key
WHERE h.cust_id = ?1 AND d.quantity_packed > 0;
UPDATE Order_Detail SET
  uninvoiced_status = CASE WHEN quantity_invoiced = 0 AND line_status <> 5 THEN line_status ELSE uninvoiced_status END,
  quantity_invoiced = quantity_invoiced + quantity_packed, quantity_packed = 0,
  line_status = CASE WHEN line_status = 5 THEN 5
                     WHEN quantity_invoiced + quantity_packed >= quantity_ordered THEN 4 ELSE 3 END
WHERE quantity_packed > 0 AND order_key IN (SELECT order_key FROM Order_Header WHERE cust_id = ?1)

-- query: v_Invoice_Up_LineStat_ByCustOrdPack action
-- param: CustID Text
-- param: BeginOrder Text
-- param: EndOrder Text
INSERT OR IGNORE INTO Order_Status_Pending (order_key)
SELECT DISTINCT d.order_key FROM Order_Detail d JOIN Order_Header h ON h.order_key = d.order_key
WHERE h.cust_id = ?1 AND d.quantity_packed > 0
  AND (CASE WHEN ?2 <> '' AND ?3 <> '' AND ?2 NOT GLOB '*[^0-9]*' AND ?3 NOT GLOB '*[^0-9]*'
            THEN h.order_number <> '' AND h.order_number NOT GLOB '*[^0-9]*'
                 AND CAST(h.order_number AS INTEGER) BETWEEN CAST(?2 AS INTEGER) AND CAST(?3 AS INTEGER)
                 AND (length(ltrim(h.order_number, '0')), ltrim(h.order_number, '0')) BETWEEN (length(ltrim(?2, '0')), ltrim(?2, '0')) AND (length(ltrim(?3, '0')), ltrim(?3, '0'))
            ELSE h.order_number BETWEEN ?2 AND ?3 END);
UPDATE Order_Detail SET
  uninvoiced_status = CASE WHEN quantity_invoiced = 0 AND line_status <> 5 THEN line_status ELSE uninvoiced_status END,
  quantity_invoiced = quantity_invoiced + quantity_packed, quantity_packed = 0,
  line_status = CASE WHEN line_status = 5 THEN 5
                     WHEN quantity_invoiced + quantity_packed >= quantity_ordered THEN 4 ELSE 3 END
WHERE quantity_packed > 0 AND order_key IN (
  SELECT h.order_key FROM Order_Header h WHERE h.cust_id = ?1
    AND (CASE WHEN ?2 <> '' AND ?3 <> '' AND ?2 NOT GLOB '*[^0-9]*' AND ?3 NOT GLOB '*[^0-9]*'
              THEN h.order_number <> '' AND h.order_number NOT GLOB '*[^0-9]*'
                   AND CAST(h.order_number AS INTEGER) BETWEEN CAST(?2 AS INTEGER) AND CAST(?3 AS INTEGER)
                   AND (length(ltrim(h.order_number, '0')), ltrim(h.order_number, '0')) BETWEEN (length(ltrim(?2, '0')), ltrim(?2, '0')) AND (length(ltrim(?3, '0')), ltrim(?3, '0'))
              ELSE h.order_number BETWEEN ?2 AND ?3 END))

-- Order status: 2 when every line not back-ordered is invoiced in full, 1
-- when some is invoiced. Each query posts the orders of its selection and
-- every order still marked for a status posting (the per-order query runs
-- once per call, with the last order's key; a run that was interrupted
-- leaves its orders marked). The status an order had before it was first
-- invoiced is kept for a deletion to restore.
-- query: v_Invoice_Up_OrderStat_byOrdPack action
-- param: OrderKey Long
UPDATE Order_Header SET
  uninvoiced_status = CASE WHEN order_status NOT IN (1, 2) THEN order_status ELSE uninvoiced_status END,
  order_status = CASE WHEN NOT EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key
                        AND d.line_status <> 5 AND d.quantity_invoiced < d.quantity_ordered) THEN 2 ELSE 1 END
WHERE (order_key = ?1 OR order_key IN (SELECT order_key FROM Order_Status_Pending))
  AND EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key AND d.quantity_invoiced > 0);
DELETE FROM Order_Status_Pending

-- query: v_Invoice_Up_OrderStat_byShipPack action
-- param: CustID Text
-- param: ShipTo Text
UPDATE Order_Header SET
  uninvoiced_status = CASE WHEN order_status NOT IN (1, 2) THEN order_status ELSE uninvoiced_status END,
  order_status = CASE WHEN NOT EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key
                        AND d.line_status <> 5 AND d.quantity_invoiced < d.quantity_ordered) THEN 2 ELSE 1 END
WHERE ((cust_id = ?1 AND shipto_name = ?2) OR order_key IN (SELECT order_key FROM Order_Status_Pending))
  AND EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key AND d.quantity_invoiced > 0);
DELETE FROM Order_Status_Pending

-- query: v_Invoice_Up_OrderStat_byCustPack action
-- param: CustID Text
UPDATE Order_Header SET
  uninvoiced_status = CASE WHEN order_status NOT IN (1, 2) THEN order_status ELSE uninvoiced_status END,
  order_status = CASE WHEN NOT EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key
                        AND d.line_status <> 5 AND d.quantity_invoiced < d.quantity_ordered) THEN 2 ELSE 1 END
WHERE (cust_id = ?1 OR order_key IN (SELECT order_key FROM Order_Status_Pending))
  AND EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key AND d.quantity_invoiced > 0);
DELETE FROM Order_Status_Pending

-- query: v_Invoice_Up_OrderStat_byCustOrdPack action
-- param: CustID Text
-- param: BeginOrder Text
-- param: EndOrder Text
UPDATE Order_Header SET
  uninvoiced_status = CASE WHEN order_status NOT IN (1, 2) THEN order_status ELSE uninvoiced_status END,
  order_status = CASE WHEN NOT EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key
                        AND d.line_status <> 5 AND d.quantity_invoiced < d.quantity_ordered) THEN 2 ELSE 1 END
WHERE ((cust_id = ?1
        AND (CASE WHEN ?2 <> '' AND ?3 <> '' AND ?2 NOT GLOB '*[^0-9]*' AND ?3 NOT GLOB '*[^0-9]*'
                  THEN order_number <> '' AND order_number NOT GLOB '*[^0-9]*'
                       AND CAST(order_number AS INTEGER) BETWEEN CAST(?2 AS INTEGER) AND CAST(?3 AS INTEGER)
                       AND (length(ltrim(order_number, '0')), ltrim(order_number, '0')) BETWEEN (length(ltrim(?2, '0')), ltrim(?2, '0')) AND (length(ltrim(?3, '0')), ltrim(?3, '0'))
                  ELSE order_number BETWEEN ?2 AND ?3 END))
       OR order_key IN (SELECT order_key FROM Order_Status_Pending))
  AND EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key AND d.quantity_invoiced > 0);
DELETE FROM Order_Status_Pending

-- Inventory relief, once per invoice: only while the invoice is marked as
-- waiting for it, so a relief made by anyone (another clerk, a repair) is
-- never made twice. The ledger query ends the wait.
-- query: v_Invoice_Relieve_Inventory action
-- param: InvoiceNo Key
-- One statement: a stock row the books lack starts at the relieved amount.
INSERT INTO Inventory (item_number, site, opening_on_hand, on_hand)
SELECT item_number, site, 0, -sum(quantity) FROM Invoice_Detail
WHERE invoice_no = ?1 AND EXISTS (SELECT 1 FROM Invoice_Pending p WHERE p.invoice_no = ?1 AND p.state = 0)
GROUP BY item_number, site
ON CONFLICT (item_number, site) DO UPDATE SET on_hand = on_hand + excluded.on_hand

-- query: v_Invoice_Relieve_Inventory_LS action
-- param: InvoiceNo Key
INSERT INTO Inventory_Ledger (item_number, site, quantity, invoice_no, reason)
SELECT item_number, site, -sum(quantity), invoice_no, 'invoice'
FROM Invoice_Detail
WHERE invoice_no = ?1 AND EXISTS (SELECT 1 FROM Invoice_Pending p WHERE p.invoice_no = ?1 AND p.state = 0)
GROUP BY item_number, site;
DELETE FROM Invoice_Pending WHERE invoice_no = ?1 AND state = 0

-- Deletion puts back exactly what creation posted: stock only when it was
-- relieved (the invoice no longer waits for its relief).
-- query: v_Invoice_Delete_Reset_Inv_Qty action
-- param: InvoiceNo Key
UPDATE Inventory SET on_hand = on_hand + t.quantity
FROM (SELECT item_number, site, sum(quantity) AS quantity FROM Invoice_Detail
      WHERE invoice_no = ?1 AND NOT EXISTS (SELECT 1 FROM Invoice_Pending p WHERE p.invoice_no = ?1)
      GROUP BY item_number, site) t
WHERE Inventory.item_number = t.item_number AND Inventory.site = t.site

-- query: v_Invoice_Delete_Reset_Inv_Qty_LS action
-- param: InvoiceNo Key
INSERT INTO Inventory_Ledger (item_number, site, quantity, invoice_no, reason)
SELECT item_number, site, sum(quantity), invoice_no, 'invoice deleted'
FROM Invoice_Detail
WHERE invoice_no = ?1 AND NOT EXISTS (SELECT 1 FROM Invoice_Pending p WHERE p.invoice_no = ?1)
GROUP BY item_number, site

-- Invoiced quantities back to packed. A line no longer invoiced at all gets
-- back the status it had before its first invoice; one still invoiced by
-- another invoice is invoiced in part; a back-ordered line stays so. An
-- order no longer invoiced gets back its earlier status, others are posted
-- anew. Runs before the header (and by cascade its lines) is deleted; an
-- invoice whose failed relief was already undone this way (state 1) is not
-- undone twice.
-- query: v_Invoice_Delete_Reset_Status action
-- param: InvoiceNo Key
UPDATE Order_Detail SET
  quantity_invoiced = quantity_invoiced - t.quantity,
  quantity_packed = quantity_packed + t.quantity,
  line_status = CASE WHEN line_status = 5 THEN 5
                     WHEN quantity_invoiced - t.quantity > 0 THEN 3
                     ELSE coalesce(uninvoiced_status, 2) END
FROM (SELECT order_key, line_no, sum(quantity) AS quantity FROM Invoice_Detail
      WHERE invoice_no = ?1 AND NOT EXISTS (SELECT 1 FROM Invoice_Pending p WHERE p.invoice_no = ?1 AND p.state = 1)
      GROUP BY order_key, line_no) t
WHERE Order_Detail.order_key = t.order_key AND Order_Detail.line_no = t.line_no;
UPDATE Order_Header SET order_status =
  CASE WHEN NOT EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key AND d.quantity_invoiced > 0)
       THEN CASE WHEN order_status IN (1, 2) THEN coalesce(uninvoiced_status, 0) ELSE order_status END
       WHEN NOT EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key
                        AND d.line_status <> 5 AND d.quantity_invoiced < d.quantity_ordered) THEN 2
       ELSE 1 END
WHERE order_key IN (SELECT order_key FROM Invoice_Detail WHERE invoice_no = ?1)
  AND NOT EXISTS (SELECT 1 FROM Invoice_Pending p WHERE p.invoice_no = ?1 AND p.state = 1);
UPDATE Invoice_Pending SET state = 1 WHERE invoice_no = ?1

-- query: v_Invoice_Hdr action
-- param: InvoiceNo Key
INSERT INTO RPT_Invoice_Hdr (invoice_no, invoice_date, ship_date, bill_to, invoice_by, extra1, extra2,
                             freight, other_charge, paid, seller_name, seller_address)
SELECT h.invoice_no, h.invoice_date, h.ship_date, h.bill_to, h.invoice_by, h.extra1, h.extra2,
       coalesce(h.freight, 0), coalesce(h.other_charge, 0), coalesce(h.paid, 0),
       (SELECT option_value FROM System WHERE option_name = 'Company Name'),
       (SELECT option_value FROM System WHERE option_name = 'Company Address')
FROM Invoice_Header h WHERE h.invoice_no = ?1

-- query: v_Invoice_Det action
-- param: InvoiceNo Key
INSERT INTO RPT_Invoice_Det (invoice_no, order_number, line_no, item_number, description, site, quantity, unit_price, discount, amount,
                             shipto_name, shipto_address, shipto_city)
SELECT d.invoice_no, o.order_number, d.line_no, d.item_number, coalesce(it.description, d.item_number), d.site,
       d.quantity, d.unit_price, d.discount, d.amount,
       coalesce(s.shipto_name, c.name), coalesce(s.address, c.address), coalesce(s.city, c.city)
FROM Invoice_Detail d JOIN Order_Header o ON o.order_key = d.order_key
LEFT JOIN Item it ON it.item_number = d.item_number
LEFT JOIN ShipTo s ON s.cust_id = o.cust_id AND s.shipto_name = o.shipto_name
LEFT JOIN Customer c ON c.cust_id = o.cust_id
WHERE d.invoice_no = ?1
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
-- One ship-to when every order goes to the same place, none when they differ
-- (each order's own then stands with its lines).
UPDATE RPT_Invoice_Hdr SET
  shipto_name = CASE WHEN (SELECT count(DISTINCT coalesce(o.shipto_name, '')) FROM Invoice_Detail d JOIN Order_Header o ON o.order_key = d.order_key WHERE d.invoice_no = RPT_Invoice_Hdr.invoice_no) = 1
                     THEN (SELECT min(o.shipto_name) FROM Invoice_Detail d JOIN Order_Header o ON o.order_key = d.order_key WHERE d.invoice_no = RPT_Invoice_Hdr.invoice_no) END;
UPDATE RPT_Invoice_Hdr SET
  shipto_address = (SELECT address FROM ShipTo s WHERE s.cust_id = RPT_Invoice_Hdr.cust_id AND s.shipto_name = RPT_Invoice_Hdr.shipto_name),
  shipto_city = (SELECT city FROM ShipTo s WHERE s.cust_id = RPT_Invoice_Hdr.cust_id AND s.shipto_name = RPT_Invoice_Hdr.shipto_name)

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
-- param: InvoiceNo Key
SELECT ?1 AS invoice_no, h.order_key, h.order_number, h.cust_id, h.shipto_name, h.reference_no,
       h.due_date, h.order_header_discount, h.ship_via, h.price_struct, h.oeextra1, h.oeextra2, h.nonmerch_order,
       h.header_text_a, h.header_text_b, d.item_number, d.site, d.quantity_ordered,
       d.quantity_ordered - d.quantity_invoiced AS quantity_to_ship, d.unit_price, d.order_detail_discount,
       d.line_code, d.quantity_invoiced AS quantity_packed
FROM Order_Header h JOIN Order_Detail d ON d.order_key = h.order_key
WHERE h.order_key IN (SELECT order_key FROM Invoice_Detail WHERE invoice_no = ?1)
  AND d.line_status <> 5 AND d.quantity_invoiced < d.quantity_ordered
ORDER BY h.order_number, h.order_key, d.line_no

-- query: v_BO_Update_Line_Status action
-- param: NewOrderKey Long
-- param: OriginalOrderKey Key
UPDATE Order_Detail SET line_status = 5, backorder_key = ?1
WHERE order_key = ?2 AND line_status <> 5 AND quantity_invoiced < quantity_ordered
