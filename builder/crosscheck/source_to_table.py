#!/usr/bin/env python3
"""Turns a catalogue spelled out as JSON (tables, fields with numbers, flags, lengths and
table maps, every record's data texts, stored words per search field and sort values)
into a product table (CSV, UTF-8) and a lodex-build schema that rebuild the same base.

Each data field becomes a column d<i>; each search field a column w<i> holding its
stored words one per line (split only at line breaks); each sort field a column s<i>
holding its value (empty for none), ordered by its bytes.

usage: source_to_table.py SOURCE.json OUTDIR   (writes OUTDIR/products.csv, schema.json)
"""
import csv
import json
import os
import sys

SPLIT_BASE = 123456


def bits(flags, shift):
    return (flags >> shift) & 0xFF


def data_field(i, f):
    fl = f["flags"]
    out = {"number": f["number"], "name": f["name"], "column": "d%d" % i, "length": f["length"],
           "searchable": bool(fl & 1), "sortable": bool(fl & 2), "numeric": bool(fl & 4),
           "not_in_base": bool(fl & 8), "multiline": bool(fl & 16),
           "int_digits": bits(fl, 5), "frac_digits": bits(fl, 13),
           "published": bool(fl & (1 << 21)), "exportable": bool(fl & (1 << 22)),
           "table_map": f["tablemap"]}
    known = 0x1F | (0xFF << 5) | (0xFF << 13) | (1 << 21) | (1 << 22)
    assert fl & ~known == 0, ("data field flags with bits the schema cannot express", f)
    return out


def search_field(i, f):
    fl = f["flags"]
    lw = f["length_word"]
    out = {"number": f["number"], "name": f["name"], "column": "w%d" % i,
           "words": "word" if fl & 1 else "line" if fl & 2 else "value",
           "int_digits": bits(fl, 3), "frac_digits": bits(fl, 11),
           "published": bool(fl & (1 << 19)), "exportable": bool(fl & (1 << 20)),
           "table_map": f["tablemap"]}
    assert not (fl & 1 and fl & 2), ("search field both by word and by line", f)
    known = 0x7 | (0xFF << 3) | (0xFF << 11) | (1 << 19) | (1 << 20)
    assert fl & ~known == 0, ("search field flags with bits the schema cannot express", f)
    if out["words"] == "word":
        out["separators"] = "\n"
    if SPLIT_BASE <= lw <= SPLIT_BASE + 2:
        assert not fl & 4, ("numeric split field", f)
        out["kind"] = "split"
        out["split_mode"] = lw - SPLIT_BASE
    else:
        out["length"] = lw
        out["kind"] = "numeric" if fl & 4 else "text"
    return out


def sort_field(i, f):
    fl = f["flags"]
    known = 0x1 | (0xFF << 1) | (0xFF << 9) | (1 << 17) | (1 << 18)
    assert fl & ~known == 0, ("sort field flags with bits the schema cannot express", f)
    return {"number": f["number"], "name": f["name"], "column": "s%d" % i, "length": f["length"],
            "numeric": bool(fl & 1), "int_digits": bits(fl, 1), "frac_digits": bits(fl, 9),
            "published": bool(fl & (1 << 17)), "exportable": bool(fl & (1 << 18)),
            "collation": "bytes", "table_map": f["tablemap"]}


def main():
    source, outdir = sys.argv[1], sys.argv[2]
    src = json.load(open(source, encoding="utf-8"))
    os.makedirs(outdir, exist_ok=True)
    tables = [t["name"] for t in src["tables"]]
    schema = {"tables": tables, "table_column": "table", "encoding": "utf-8", "delimiter": "comma",
              "data_fields": [data_field(i, f) for i, f in enumerate(src["data_fields"])],
              "search_fields": [search_field(i, f) for i, f in enumerate(src["search_fields"])],
              "sort_fields": [sort_field(i, f) for i, f in enumerate(src["sort_fields"])]}
    if src.get("options", {}).get("block_words"):
        schema["block_words"] = src["options"]["block_words"]
    with open(os.path.join(outdir, "schema.json"), "w", encoding="utf-8") as f:
        json.dump(schema, f, ensure_ascii=False, indent=1)

    # Records are listed table after table, in bit order.
    owner = []
    for t, table in enumerate(src["tables"]):
        owner += [table["name"]] * table["count"]
    assert len(owner) == len(src["records"]), "record count differs from the tables' counts"
    header = (["table"] + ["d%d" % i for i in range(len(src["data_fields"]))]
              + ["w%d" % i for i in range(len(src["search_fields"]))]
              + ["s%d" % i for i in range(len(src["sort_fields"]))])
    with open(os.path.join(outdir, "products.csv"), "w", encoding="utf-8", newline="") as f:
        w = csv.writer(f, quoting=csv.QUOTE_ALL, lineterminator="\n")
        w.writerow(header)
        for rec, table in zip(src["records"], owner):
            row = [table] + list(rec["data"])
            for sf in src["search_fields"]:
                row.append("\n".join(rec["words"].get(str(sf["number"]), [])))
            for sf in src["sort_fields"]:
                v = rec["sort"].get(str(sf["number"]))
                row.append("" if v is None else v)
            w.writerow(row)


if __name__ == "__main__":
    main()
