-- Version 2: postings that survive an interruption, deletions that restore
-- exactly, invoice numbers read as numbers.
--
-- Steps of a posting still to come after its transaction committed: an
-- invoice whose inventory relief has not run (state 0) or whose failed
-- relief is being undone (state 1), and orders whose status was not posted
-- after their lines were invoiced. See docs/schema.md.
CREATE TABLE Invoice_Pending (
  invoice_no INTEGER PRIMARY KEY REFERENCES Invoice_Header(invoice_no) ON DELETE CASCADE,
  state INTEGER NOT NULL DEFAULT 0 CHECK (state IN (0, 1))
);
CREATE TABLE Order_Status_Pending (
  order_key INTEGER PRIMARY KEY
);
-- The status a line or an order had before its first invoice.
ALTER TABLE Order_Detail ADD COLUMN uninvoiced_status INTEGER;
ALTER TABLE Order_Header ADD COLUMN uninvoiced_status INTEGER;
-- Parameters of type Key (SQLite cannot change a CHECK in place).
CREATE TABLE QueryDefParams_2 (query_name TEXT NOT NULL COLLATE NOCASE REFERENCES QueryDefs(name) ON DELETE CASCADE, position INTEGER NOT NULL, name TEXT NOT NULL, type TEXT NOT NULL CHECK (type IN ('Text','Long','Key','Double','Date','Boolean')), PRIMARY KEY (query_name, position));
INSERT INTO QueryDefParams_2 SELECT query_name, position, name, type FROM QueryDefParams;
DROP TABLE QueryDefParams;
ALTER TABLE QueryDefParams_2 RENAME TO QueryDefParams;
