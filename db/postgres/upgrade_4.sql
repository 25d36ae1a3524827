-- Version 4: the headers marked for export are found by key.
CREATE INDEX Invoice_Header_export ON Invoice_Header (export_flag, export_date);
