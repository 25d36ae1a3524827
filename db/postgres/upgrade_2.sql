-- Version 2: postings that survive an interruption, deletions that restore
-- exactly, invoice numbers read as numbers.
--
-- Steps of a posting still to come after its transaction committed: an
-- invoice whose inventory relief has not run (state 0) or whose failed
-- relief is being undone (state 1), and orders whose status was not posted
-- after their lines were invoiced. See docs/schema.md.
CREATE TABLE Invoice_Pending (
  invoice_no BIGINT PRIMARY KEY REFERENCES Invoice_Header(invoice_no) ON DELETE CASCADE,
  state BIGINT NOT NULL DEFAULT 0 CHECK (state IN (0, 1))
);
CREATE TABLE Order_Status_Pending (
  order_key BIGINT PRIMARY KEY
);
-- The status a line or an order had before its first invoice.
ALTER TABLE Order_Detail ADD COLUMN uninvoiced_status BIGINT;
ALTER TABLE Order_Header ADD COLUMN uninvoiced_status BIGINT;
-- Parameters of type Key.
ALTER TABLE QueryDefParams DROP CONSTRAINT querydefparams_type_check;
ALTER TABLE QueryDefParams ADD CONSTRAINT querydefparams_type_check
  CHECK (type IN ('Text','Long','Key','Double','Date','Boolean'));
