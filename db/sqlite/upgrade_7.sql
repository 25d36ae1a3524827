-- Version 7: the number of invoice headers, kept by triggers, so that a
-- browse of all headers hands its row count without visiting them.
CREATE TABLE Table_Rows (
  table_name TEXT NOT NULL PRIMARY KEY,
  row_count INTEGER NOT NULL
);
INSERT INTO Table_Rows (table_name, row_count) SELECT 'invoice_header', count(*) FROM Invoice_Header;
CREATE TRIGGER Invoice_Header_rows_added AFTER INSERT ON Invoice_Header BEGIN
  UPDATE Table_Rows SET row_count = row_count + 1 WHERE table_name = 'invoice_header';
END;
CREATE TRIGGER Invoice_Header_rows_removed AFTER DELETE ON Invoice_Header BEGIN
  UPDATE Table_Rows SET row_count = row_count - 1 WHERE table_name = 'invoice_header';
END;
