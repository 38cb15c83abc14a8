"""Lists a DBF table through two independent xBase readers, python3-dbf and
dbfread, one line per record: reader, deletion flag, then FIELD=hex of the
value's Windows-1252 bytes (text without trailing blanks, dates YYYYMMDD,
logicals T/F, numbers as integers, memos exactly)."""
import sys

import dbf
import dbfread


def norm(value):
    if value is None:
        return ""
    if isinstance(value, bool):
        return "T" if value else "F"
    if hasattr(value, "strftime"):
        return value.strftime("%Y%m%d")
    if isinstance(value, (int, float)):
        return str(int(value))
    return str(value)


def line(reader, deleted, names, values, memo_fields):
    parts = [reader, "1" if deleted else "0"]
    for name, value in zip(names, values):
        text = norm(value)
        if name.upper() not in memo_fields:
            text = text.rstrip(" ")
        parts.append(name.upper() + "=" + text.encode("cp1252").hex())
    return " ".join(parts)


def main(path):
    table = dbf.Table(path, codepage="cp1252")
    table.open(dbf.READ_ONLY)
    memo_fields = {
        n.upper() for n in table.field_names if table.field_info(n).field_type == ord("M")
    }
    for record in table:
        values = [record[n] for n in table.field_names]
        print(line("dbf", dbf.is_deleted(record), table.field_names, values, memo_fields))
    table.close()
    other = dbfread.DBF(path, encoding="cp1252", load=True, char_decode_errors="strict")
    for deleted, records in ((False, other.records), (True, other.deleted)):
        for record in records:
            print(line("dbfread", deleted, list(record.keys()), list(record.values()), memo_fields))


if __name__ == "__main__":
    main(sys.argv[1])
