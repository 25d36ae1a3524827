-- Version 5: the number of invoice headers, kept by triggers, so that a
-- browse of all headers hands its row count without visiting them. Each
-- connection adds to a row of its own (of 64), so that hosts writing
-- headers at the same time do not wait for each other's commits; the count
-- is the sum of the rows.
CREATE TABLE Table_Rows (
  table_name TEXT NOT NULL,
  shard INTEGER NOT NULL,
  row_count BIGINT NOT NULL,
  PRIMARY KEY (table_name, shard)
);
INSERT INTO Table_Rows (table_name, shard, row_count)
  SELECT 'invoice_header', 0, count(*) FROM Invoice_Header;
CREATE FUNCTION table_rows_added() RETURNS trigger LANGUAGE plpgsql AS '
BEGIN
  INSERT INTO Table_Rows AS t (table_name, shard, row_count)
    SELECT lower(TG_TABLE_NAME), pg_backend_pid() % 64, count(*) FROM added HAVING count(*) > 0
  ON CONFLICT (table_name, shard) DO UPDATE SET row_count = t.row_count + excluded.row_count;
  RETURN NULL;
END';
CREATE FUNCTION table_rows_removed() RETURNS trigger LANGUAGE plpgsql AS '
BEGIN
  INSERT INTO Table_Rows AS t (table_name, shard, row_count)
    SELECT lower(TG_TABLE_NAME), pg_backend_pid() % 64, -count(*) FROM removed HAVING count(*) > 0
  ON CONFLICT (table_name, shard) DO UPDATE SET row_count = t.row_count + excluded.row_count;
  RETURN NULL;
END';
CREATE TRIGGER Invoice_Header_rows_added AFTER INSERT ON Invoice_Header
  REFERENCING NEW TABLE AS added FOR EACH STATEMENT EXECUTE FUNCTION table_rows_added();
CREATE TRIGGER Invoice_Header_rows_removed AFTER DELETE ON Invoice_Header
  REFERENCING OLD TABLE AS removed FOR EACH STATEMENT EXECUTE FUNCTION table_rows_removed();
