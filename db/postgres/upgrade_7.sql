-- Version 7: the number of invoice headers, kept by triggers, so that a
-- browse of all headers hands its row count without visiting them. Writers
-- only add rows of changes (no row is updated, so hosts writing headers at
-- the same time never wait for each other); every 32nd change folds the
-- changes into the kept number, unless another transaction is folding.
-- The count is the kept number plus the changes.
CREATE TABLE Table_Rows (
  table_name TEXT NOT NULL PRIMARY KEY,
  row_count BIGINT NOT NULL
);
CREATE TABLE Table_Row_Changes (
  change_id BIGSERIAL PRIMARY KEY,
  table_name TEXT NOT NULL,
  change BIGINT NOT NULL
);
CREATE INDEX Table_Row_Changes_table ON Table_Row_Changes(table_name);
INSERT INTO Table_Rows (table_name, row_count) SELECT 'invoice_header', count(*) FROM Invoice_Header;
CREATE FUNCTION table_rows_change(counted TEXT, change BIGINT) RETURNS void LANGUAGE plpgsql AS '
DECLARE
  id BIGINT;
BEGIN
  IF change = 0 THEN
    RETURN;
  END IF;
  INSERT INTO Table_Row_Changes (table_name, change) VALUES (counted, change) RETURNING change_id INTO id;
  IF id % 32 = 0 AND pg_try_advisory_xact_lock(hashtext(''Table_Rows '' || counted)) THEN
    WITH folded AS (DELETE FROM Table_Row_Changes c WHERE c.table_name = counted RETURNING c.change)
    UPDATE Table_Rows t SET row_count = t.row_count + (SELECT coalesce(sum(f.change), 0) FROM folded f)
      WHERE t.table_name = counted;
  END IF;
END';
CREATE FUNCTION table_rows_added() RETURNS trigger LANGUAGE plpgsql AS '
BEGIN
  PERFORM table_rows_change(lower(TG_TABLE_NAME), (SELECT count(*) FROM added));
  RETURN NULL;
END';
CREATE FUNCTION table_rows_removed() RETURNS trigger LANGUAGE plpgsql AS '
BEGIN
  PERFORM table_rows_change(lower(TG_TABLE_NAME), -(SELECT count(*) FROM removed));
  RETURN NULL;
END';
CREATE TRIGGER Invoice_Header_rows_added AFTER INSERT ON Invoice_Header
  REFERENCING NEW TABLE AS added FOR EACH STATEMENT EXECUTE FUNCTION table_rows_added();
CREATE TRIGGER Invoice_Header_rows_removed AFTER DELETE ON Invoice_Header
  REFERENCING OLD TABLE AS removed FOR EACH STATEMENT EXECUTE FUNCTION table_rows_removed();
