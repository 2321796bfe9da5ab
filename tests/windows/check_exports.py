#!/usr/bin/env python3
"""Compare a Windows build's export table with engine/include/lodex32.h and Lodex32.def.

    check_exports.py --objdump OBJDUMP --header lodex32.h --def Lodex32.def Lodex32.dll

Every function the header declares must be exported, under the name Lodex32.def gives
it where the .def renames it, and nothing else may be. Names must be plain: a stdcall
export would carry "@<bytes>" and a C++ one a mangled name. Prints both lists' sizes and
every difference; exits 1 when there is one.
"""

import argparse
import re
import subprocess
import sys

DECLARATION = re.compile(r"^LODEX_API\w*\s+[\w\s\*]+?\b(\w+)\s*\(", re.M)
RENAME = re.compile(r'^\s*"?([^"=\s]+)"?\s*=\s*(\w+)\s*$')


def header_names(path):
    with open(path, encoding="utf-8") as fh:
        return set(DECLARATION.findall(fh.read()))


def def_renames(path):
    """{internal name: exported name} from the .def's EXPORTS section."""
    renames, in_exports = {}, False
    with open(path, encoding="utf-8") as fh:
        for line in fh:
            line = line.split(";", 1)[0].strip()
            if not line:
                continue
            if line.upper() == "EXPORTS":
                in_exports = True
                continue
            if in_exports:
                m = RENAME.match(line)
                if m:
                    renames[m.group(2)] = m.group(1)
    return renames


def dll_exports(objdump, dll):
    text = subprocess.run([objdump, "-p", dll], check=True, capture_output=True,
                          text=True, errors="replace").stdout
    names, in_table = set(), False
    for line in text.splitlines():
        if line.startswith("[Ordinal/Name Pointer] Table"):
            in_table = True
            continue
        if in_table:
            m = re.match(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", line)
            if not m:
                break
            names.add(m.group(1))
    machine = re.search(r"file format (\S+)", text)
    return names, machine.group(1) if machine else "?"


def main(argv=None):
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--header", required=True)
    parser.add_argument("--def", dest="deffile", required=True)
    parser.add_argument("dll")
    opts = parser.parse_args(argv)

    declared = header_names(opts.header)
    renames = def_renames(opts.deffile)
    unknown = set(renames) - declared
    expected = {renames.get(n, n) for n in declared}
    exported, machine = dll_exports(opts.objdump, opts.dll)

    problems = ["the .def renames %s, which the header does not declare" % n
                for n in sorted(unknown)]
    problems += ["missing export %s" % n for n in sorted(expected - exported)]
    problems += ["unexpected export %s" % n for n in sorted(exported - expected)]
    print("%s (%s): %d exports; header %d functions, .def %d renamed" % (
        opts.dll, machine, len(exported), len(declared), len(renames)))
    for p in problems:
        print("  " + p)
    print("exports match the header and the .def" if not problems else
          "%d differences" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
