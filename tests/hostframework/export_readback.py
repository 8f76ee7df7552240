#!/usr/bin/env python3
"""Reads an exported file back with independent readers and prints JSON.

xlsx: per sheet its name, frozen cell, autofilter range, whether the header
is bold, and every cell as [type, number format, value].
csv: whether it starts with a UTF-8 BOM, and the rows as the csv module
reads them with ';'.
"""
import csv
import datetime
import json
import sys


def xlsx(path):
    import openpyxl
    book = openpyxl.load_workbook(path)
    sheets = []
    for ws in book.worksheets:
        rows = []
        for row in ws.iter_rows():
            cells = []
            for c in row:
                value = c.value
                if isinstance(value, datetime.datetime):
                    value = value.date().isoformat()
                cells.append([c.data_type, c.number_format, value])
            rows.append(cells)
        sheets.append({
            "name": ws.title,
            "freeze": ws.freeze_panes,
            "filter": ws.auto_filter.ref,
            "headerBold": all(c.font.b for c in ws[1]),
            "rows": rows,
        })
    return sheets


def csv_rows(path):
    with open(path, "rb") as f:
        bom = f.read(3) == b"\xef\xbb\xbf"
    with open(path, newline="", encoding="utf-8-sig") as f:
        rows = list(csv.reader(f, delimiter=";"))
    return {"bom": bom, "rows": rows}


if __name__ == "__main__":
    kind, path = sys.argv[1], sys.argv[2]
    print(json.dumps(xlsx(path) if kind == "xlsx" else csv_rows(path)))
