#!/usr/bin/env python3
"""Checks the lodex command-line client against the conformance suite's bases.

usage: lodex_test.py LODEX SUITE_DIR

The expected answers come from the suite itself: the case files' search counts and
word pages, and each base's .source.json for the schema and the records. Exits 77
(skipped) when the suite is not there.
"""
import csv
import io
import json
import os
import subprocess
import sys
import tempfile

BASES = ["katalog", "blandet"]
MAX_SEARCH_CASES = 40  # per base, enough to cover every query form the cases use

failures = []


def run(lodex, *args):
    proc = subprocess.run([lodex, *args], capture_output=True, timeout=60)
    return proc.returncode, proc.stdout.decode("utf-8"), proc.stderr.decode("utf-8")


def check(condition, what):
    if not condition:
        failures.append(what)


def plain_search_cases(cases):
    """Cases that only set conditions, search and count: (field, text, combine, exact, hits)."""
    allowed = {"APIOpenBaseEx", "APICreateSession", "APISearchConditions", "APISearch",
               "APISearchExact", "APIHitCount", "APIDestroySession", "APICloseBase"}
    for case in cases:
        if not case["name"].startswith("search:"):
            continue
        steps = [s for s in case["steps"] if "call" in s]
        if any(s["call"] not in allowed for s in steps):
            continue
        exact, cond = 1, None
        for s in steps:
            if s["call"] == "APISearchExact":
                exact = s["args"][1]
            elif s["call"] == "APISearchConditions":
                cond = s["args"][1:4] if s.get("expect") == 0 else None
            elif s["call"] == "APIHitCount" and cond and "expect" in s:
                field, text, combine = cond
                if isinstance(text, str) and s["expect"] >= 0:
                    yield field, text, combine, exact, s["expect"]
                break


def word_page_cases(cases):
    for case in cases:
        for s in case["steps"]:
            if (s.get("call") == "APIGetIndexWords" and s["args"][4] == 1
                    and "expect_entries" in s and isinstance(s["args"][2], str)):
                yield s["args"][1], s["args"][2], s["args"][3], s["expect_entries"]


def check_base(lodex, suite, name):
    base = os.path.join(suite, "bases", name)
    with open(os.path.join(suite, "bases", name + ".source.json"), encoding="utf-8") as f:
        source = json.load(f)
    with open(os.path.join(suite, "cases", name + ".json"), encoding="utf-8") as f:
        cases = json.load(f)["cases"]

    # schema: every table with its count, every field by number and name.
    rc, out, err = run(lodex, base, "schema")
    check(rc == 0, f"{name}: schema exits {rc}: {err}")
    check(f"records {len(source['records'])}" in out, f"{name}: schema record total")
    for t in source["tables"]:
        check(any(t["name"] in line and f"{t['count']} records" in line for line in out.splitlines()),
              f"{name}: schema table {t['name']}")
    for kind in ("data_fields", "search_fields", "sort_fields"):
        for fld in source[kind]:
            check(any(line.split()[:1] == [str(fld["number"])] and fld["name"] in line
                      for line in out.splitlines()), f"{name}: schema {kind} {fld['number']}")

    # count: the suite's hit counts, by field number.
    for n, (field, text, combine, exact, hits) in enumerate(plain_search_cases(cases)):
        if n >= MAX_SEARCH_CASES:
            break
        flags = (["--any"] if combine else []) + ([] if exact else ["--prefix"])
        rc, out, err = run(lodex, base, "count", str(field), *flags, "--", text)
        check(rc == 0 and out == f"{hits}\n", f"{name}: count {field} {text!r}: {out!r} {err!r}, want {hits}")

    # words: the suite's pages of words from a text.
    for field, text, count, entries in word_page_cases(cases):
        rc, out, err = run(lodex, base, "words", str(field), "--limit", str(count), "--", text)
        want = "".join(f"{w}\t{c}\n" for w, c in entries if w)
        check(rc == 0 and out == want, f"{name}: words {field} {text!r}: {out!r}, want {want!r}")

    # search: fields by name, the header of field names, and the records shown.
    first_search = source["search_fields"][0]
    rc, out, err = run(lodex, base, "count", first_search["name"].swapcase(), "*")
    with_words = sum(1 for r in source["records"] if r["words"].get(str(first_search["number"])))
    check(rc == 0 and out == f"{with_words}\n", f"{name}: count by name: {out!r} {err!r}, want {with_words}")

    rc, out, err = run(lodex, base, "search", str(first_search["number"]), "*", "--tsv", "--limit", "4")
    lines = out.splitlines()
    check(rc == 0, f"{name}: search --tsv exits {rc}: {err}")
    check(lines[:1] == ["\t".join(f["name"] for f in source["data_fields"])], f"{name}: tsv header {lines[:1]}")
    check(len(lines) == 1 + min(4, with_words), f"{name}: tsv rows {len(lines)}")
    texts = {"\t".join(" ".join(v.split("\t")) for v in r["data"]) for r in source["records"]}
    for line in lines[1:]:
        check(line in texts, f"{name}: tsv row not a record of the base: {line!r}")

    rc, out, err = run(lodex, base, "search", str(first_search["number"]), "*", "--limit", "2")
    check(rc == 0 and out.startswith(f"{with_words} hit"), f"{name}: search table: {out[:80]!r} {err!r}")

    # search --sort: ascending, the record with the smallest sort value comes first.
    sort_field = source["sort_fields"][0]
    values = [(r["sort"].get(str(sort_field["number"])), r) for r in source["records"]
              if r["words"].get(str(first_search["number"]))]
    values = [(v.encode("cp1252"), r) for v, r in values if v is not None]
    if values:
        smallest = min(v for v, _ in values)
        firsts = {"\t".join(r["data"]) for v, r in values if v == smallest}
        rc, out, err = run(lodex, base, "search", str(first_search["number"]), "*", "--tsv",
                           "--limit", "1", "--sort", str(sort_field["number"]))
        rows = out.splitlines()[1:]
        check(rc == 0 and rows and rows[0] in firsts, f"{name}: sorted first row {rows[:1]!r} {err!r}")
        rc, out, err = run(lodex, base, "search", str(first_search["number"]), "*", "--tsv",
                           "--limit", "3", "--sort", sort_field["name"], "--desc")
        check(rc == 0 and len(out.splitlines()) == 1 + min(3, with_words), f"{name}: --desc: {err!r}")


def check_errors(lodex, suite):
    base = os.path.join(suite, "bases", BASES[0])
    rc, out, _ = run(lodex, "--help")
    check(rc == 0 and all(c in out for c in ("count", "search", "words", "schema", "--time")), "help text")
    for args, needle in [
        ((base, "count", "99999", "x"), "no search field"),
        ((base, "count", "No such name", "x"), "no search field"),
        ((base, "frobnicate"), "unknown command"),
        ((base, "count", "100"), "takes 2 arguments"),
        ((base, "search", "100", "x", "--limit", "-3"), "--limit"),
        ((base, "search", "100", "x", "--sort", "99999"), "no sort field"),
        ((base, "count", "100", "x", "--bogus"), "unknown option"),
        ((base, "search", "100", "x", "--desc"), "--desc goes with --sort"),
        ((os.path.join(suite, "no-such-base"), "schema"), "meta.dat"),
        ((base,), "give a base directory"),
    ]:
        rc, _, err = run(lodex, *args)
        check(rc == 2 and needle in err, f"error {args[1:]}: rc {rc}, {err!r}")

    rc, _, err = run(lodex, base, "count", "100", "KABEL", "--time")
    check(rc == 0 and "time open" in err and "time search" in err, f"--time: {err!r}")


def check_json(lodex, suite):
    """--json output parses with Python's json and carries the suite's answers."""
    name = BASES[0]
    base = os.path.join(suite, "bases", name)
    with open(os.path.join(suite, "bases", name + ".source.json"), encoding="utf-8") as f:
        source = json.load(f)
    first = source["search_fields"][0]
    with_words = sum(1 for r in source["records"] if r["words"].get(str(first["number"])))

    rc, out, err = run(lodex, base, "count", first["name"], "*", "--json")
    doc = json.loads(out) if rc == 0 else {}
    check(doc.get("hits") == with_words and doc.get("search_field") == {"number": first["number"], "name": first["name"]},
          f"count --json: {out!r} {err!r}")

    rc, out, err = run(lodex, base, "search", str(first["number"]), "*", "--json", "--limit", "3")
    doc = json.loads(out) if rc == 0 else {}
    records = doc.get("records", [])
    names = [f["name"] for f in source["data_fields"]]
    tables = {t["name"] for t in source["tables"]}
    texts = {tuple(r["data"]) for r in source["records"]}
    check(doc.get("hits") == with_words and len(records) == 3, f"search --json: {out[:200]!r} {err!r}")
    for r in records:
        check(isinstance(r, dict) and r.get("Table") in tables and tuple(r.get(n) for n in names) in texts,
              f"search --json record {r!r}")

    for field, text, count, entries in list(word_page_cases(json.load(open(
            os.path.join(suite, "cases", name + ".json"), encoding="utf-8"))["cases"]))[:3]:
        rc, out, err = run(lodex, base, "words", str(field), "--json", "--limit", str(count), "--", text)
        doc = json.loads(out) if rc == 0 else {}
        want = [{"word": w, "count": c} for w, c in entries if w]
        check(doc.get("words") == want and doc["search_field"]["number"] == field, f"words --json {text!r}: {out!r}")

    rc, out, err = run(lodex, base, "schema", "--json")
    doc = json.loads(out) if rc == 0 else {}
    check(doc.get("tables") == [t["name"] for t in source["tables"]], f"schema --json tables: {out[:200]!r}")
    check([(f["number"], f["name"]) for f in doc.get("data_fields", [])]
          == [(f["number"], f["name"]) for f in source["data_fields"]], "schema --json data fields")
    check([f.get("number", f.get("reverse_of", 0) + 32768) for f in doc.get("search_fields", [])]
          == [f["number"] for f in source["search_fields"]], "schema --json search fields")
    check(all(isinstance(f["length"], int) for f in doc.get("data_fields", [])), "schema --json numbers as numbers")

    # Errors: a JSON object on standard error with the engine's code and name.
    for args, code, name_ in [((base, "count", "99999", "x"), -103, "ERROR_BadField"),
                              ((os.path.join(suite, "no-such-base"), "schema"), -300, "ERROR_OpenMetaFile")]:
        rc, out, err = run(lodex, *args, "--json")
        try:
            error = json.loads(err)["error"]
        except (ValueError, KeyError):
            error = {}
        check(rc != 0 and out == "" and error.get("code") == code and error.get("name") == name_
              and error.get("message"), f"--json error {args[1:]}: rc {rc}, {err!r}")


def check_export(lodex, suite):
    """export: every record, each format, one table, both encodings, --out."""
    name = BASES[0]
    base = os.path.join(suite, "bases", name)
    with open(os.path.join(suite, "bases", name + ".source.json"), encoding="utf-8") as f:
        source = json.load(f)
    names = [f["name"] for f in source["data_fields"]]
    owner = [t["name"] for t in source["tables"] for _ in range(t["count"])]
    want = [[t] + r["data"] for t, r in zip(owner, source["records"])]

    rc, out, err = run(lodex, base, "export", "--format", "csv")
    rows = list(csv.reader(io.StringIO(out, newline="")))
    check(rc == 0 and rows[0] == ["Table"] + names, f"export csv header: {rows[:1]} {err!r}")
    check(rows[1:] == want, f"export csv rows: {len(rows) - 1} rows, want {len(want)}")

    rc, out, err = run(lodex, base, "export", "--format", "jsonl", "--table", source["tables"][-1]["name"])
    lines = [json.loads(line) for line in out.splitlines()]
    last = [w for w in want if w[0] == source["tables"][-1]["name"]]
    check(rc == 0 and [[d["Table"]] + [d[n] for n in names] for d in lines] == last,
          f"export jsonl --table: {len(lines)} lines, want {len(last)} {err!r}")

    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "out.tsv")
        proc = subprocess.run([lodex, base, "export", "--encoding", "windows-1252", "--out", path],
                              capture_output=True, timeout=60)
        with open(path, "rb") as f:
            text = f.read()
        check(proc.returncode == 0 and proc.stdout == b"", f"export --out: {proc.stderr!r}")
        check(text.decode("cp1252").splitlines()[0].split("\t") == ["Table"] + names,
              "export windows-1252 header")
        check(any(c in text for c in "ÆØÅæøå".encode("cp1252")) and b"\xc3" not in text,
              "export windows-1252 holds Windows-1252 bytes, not UTF-8")

    for args, needle in [((base, "export", "--table", "No such table"), "no table named"),
                         ((base, "export", "--format", "xml"), "--format"),
                         ((base, "export", "--format", "jsonl", "--encoding", "windows-1252"), "JSON Lines"),
                         ((base, "count", "100", "x", "--out", "f"), "--out goes with"),
                         ((base, "words", "100", "x", "--encoding", "utf-8"), "--encoding goes with"),
                         ((base, "count", "100", "x", "--json", "--tsv"), "not both")]:
        rc, _, err = run(lodex, *args)
        check(rc == 2 and needle in err, f"error {args[1:]}: rc {rc}, {err!r}")


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    lodex, suite = sys.argv[1], sys.argv[2]
    if not os.path.isdir(os.path.join(suite, "bases")):
        print(f"skipped: no conformance suite at {suite}")
        return 77
    for name in BASES:
        check_base(lodex, suite, name)
    check_errors(lodex, suite)
    check_json(lodex, suite)
    check_export(lodex, suite)
    for f in failures:
        print("FAIL", f)
    print(f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
