#!/usr/bin/python3
"""Prints every record of a DBF table (deleted ones too) as JSON lines,
read with python3-dbf (an independent reader): the deletion mark, then the
fields in order, dates as YYYYMMDD, memos as their text."""
import json
import sys

import dbf

table = dbf.Table(sys.argv[1])
table.open(dbf.READ_ONLY)
print(json.dumps({"version": table.version, "fields": list(table.field_names)}))
for record in table:
    values = []
    for value in record:
        if value is None:
            values.append(None)
        elif hasattr(value, "strftime"):
            values.append(value.strftime("%Y%m%d"))
        elif isinstance(value, bool):
            values.append("T" if value else "F")
        elif isinstance(value, (int, float)):
            values.append(str(value))
        else:
            values.append(str(value).rstrip())
    print(json.dumps({"deleted": dbf.is_deleted(record), "values": values}))
table.close()
