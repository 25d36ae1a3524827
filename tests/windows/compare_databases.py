#!/usr/bin/env python3
"""Compares the books of two SQLite databases table by table.

usage: compare_databases.py WINDOWS.db LINUX.db

The tables the invoicing job writes are read whole and sorted, so the order
rows were stored in does not matter. Columns that hold the moment of the run
are left out (posting and deletion times); dates that are the day of the run
(or the day before, for a run over midnight) are compared as "<today>",
because the two runs happen a few seconds apart and each stamps its own day.
Prints every difference; exits 1 when there is one.
"""
import datetime
import sqlite3
import sys

TABLES = ("Invoice_Header", "Invoice_Detail", "Invoice_Delete", "Order_Header",
          "Order_Detail", "Inventory", "Inventory_Ledger", "RPT_Invoice_Hdr", "RPT_Invoice_Det")
# Time stamps of the run itself, never equal between two runs.
RUN_TIME_COLUMNS = {"posted_at", "deleted_at"}


def day_forms():
    forms = []
    for delta in (0, 1):
        day = datetime.date.today() - datetime.timedelta(days=delta)
        forms += [day.isoformat(), "%d/%d/%d" % (day.month, day.day, day.year)]
    return forms


def normalise(value, forms):
    if isinstance(value, str):
        for form in forms:
            value = value.replace(form, "<today>")
    return value


def read_table(path, table, forms):
    db = sqlite3.connect("file:%s?mode=ro" % path, uri=True)
    try:
        columns = [row[1] for row in db.execute("SELECT * FROM pragma_table_info(?)", (table,))
                   if row[1].lower() not in RUN_TIME_COLUMNS]
        if not columns:
            return None, []
        query = "SELECT %s FROM %s" % (", ".join('"%s"' % c for c in columns), table)
        rows = [tuple(normalise(v, forms) for v in row) for row in db.execute(query)]
    finally:
        db.close()
    return columns, sorted(rows, key=repr)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    windows, linux = sys.argv[1], sys.argv[2]
    forms = day_forms()
    differing = []
    for table in TABLES:
        columns_w, rows_w = read_table(windows, table, forms)
        columns_l, rows_l = read_table(linux, table, forms)
        if columns_w != columns_l:
            print("%s: columns differ: %s / %s" % (table, columns_w, columns_l))
            differing.append(table)
            continue
        if rows_w == rows_l:
            print("%-17s same (%d rows)" % (table, len(rows_w)))
            continue
        differing.append(table)
        only_w = [r for r in rows_w if r not in rows_l]
        only_l = [r for r in rows_l if r not in rows_w]
        print("%s differs (%d rows on Windows, %d on Linux); columns %s" %
              (table, len(rows_w), len(rows_l), ", ".join(columns_w)))
        for row in only_w[:10]:
            print("  only Windows: %r" % (row,))
        for row in only_l[:10]:
            print("  only Linux:   %r" % (row,))
    if differing:
        print("databases differ in: %s" % ", ".join(differing))
        sys.exit(1)
    print("databases agree in all %d tables" % len(TABLES))


if __name__ == "__main__":
    main()
