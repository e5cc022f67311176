#!/usr/bin/python3
"""Writes a FoxPro table with a memo field using python3-dbf, for the engine
to read: TLM.DBF-like fields, three records, the second marked deleted."""
import datetime
import sys

import dbf

table = dbf.Table(sys.argv[1],
                  'SUBJECT C(50); SENT L; DATESENT D; TIMESENT C(5); PAGES N(2,0); RTFDOC M',
                  dbf_type='fp', codepage='cp1252', memo_size=64)
table.open(dbf.READ_WRITE)
table.append(('Quarterly report', True, datetime.date(2024, 3, 15), '09:30', 3, '{\\rtf1 hello}'))
table.append(('invoice 42', False, None, '', 0, ''))
table.append(('Caf\xe9 menu', False, datetime.date(1999, 12, 31), '23:59', 12, 'x' * 700))
dbf.delete(table[1])
table.close()
