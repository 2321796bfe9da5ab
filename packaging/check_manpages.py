#!/usr/bin/env python3
"""Checks that each program's manual page lists the options its --help lists.

usage: check_manpages.py MAN_DIR PROGRAM...

For every PROGRAM the page MAN_DIR/<name>.1.in is read; the options are the
dashed words that head the items (.TP) of its OPTIONS section, the commands
those of its COMMANDS section. From the program's --help output the options
are the dashed words that start an indented line, the commands the words that
start the lines of its "commands:" block. Both lists must be equal.
"""
import os
import re
import subprocess
import sys

OPTION = re.compile(r"(?<![\w-])--?[A-Za-z][\w-]*")


def help_lists(program):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    run = subprocess.run([program, "--help"], capture_output=True, text=True, env=env,
                         timeout=60)
    text = run.stdout + run.stderr
    options, commands = set(), set()
    in_commands = False
    for line in text.splitlines():
        if line.strip().lower() == "commands:":
            in_commands = True
            continue
        if in_commands:
            match = re.match(r"^  (\w+)\b", line)
            if match:
                commands.add(match.group(1))
                continue
            if not line.startswith("    "):
                in_commands = False
        match = re.match(r"^\s{1,8}(-[^\s,]+(?:,\s*-[^\s,]+)*)", line)
        if match:
            options.update(OPTION.findall(match.group(1)))
    return run.returncode, options, commands


def page_lists(path):
    with open(path, encoding="utf-8") as page:
        lines = page.read().replace("\\-", "-").splitlines()
    lists = {"OPTIONS": set(), "COMMANDS": set()}
    section = None
    for number, line in enumerate(lines):
        if line.startswith(".SH"):
            section = line[3:].strip().strip('"')
            continue
        if section in lists and line.strip() == ".TP" and number + 1 < len(lines):
            item = lines[number + 1]
            words = item.split()[1:] if item.startswith(".") else item.split()
            if section == "OPTIONS":
                lists[section].update(OPTION.findall(" ".join(words)))
            elif words:
                lists[section].add(words[0].strip('"'))
    return lists["OPTIONS"], lists["COMMANDS"]


def main():
    if len(sys.argv) < 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    man_dir, programs = sys.argv[1], sys.argv[2:]
    failures = 0
    for program in programs:
        name = os.path.basename(program)
        code, help_options, help_commands = help_lists(program)
        page_options, page_commands = page_lists(os.path.join(man_dir, name + ".1.in"))
        problems = []
        if code != 0:
            problems.append(f"--help exited with {code}")
        if not help_options:
            problems.append("--help lists no options")
        for what, in_help, in_page in (("option", help_options, page_options),
                                       ("command", help_commands, page_commands)):
            for word in sorted(in_help - in_page):
                problems.append(f"{what} {word} is in --help but not in the manual page")
            for word in sorted(in_page - in_help):
                problems.append(f"{what} {word} is in the manual page but not in --help")
        if problems:
            failures += 1
            for problem in problems:
                print(f"{name}: {problem}")
        else:
            print(f"{name}: {len(help_options)} options"
                  + (f", {len(help_commands)} commands" if help_commands else "") + " agree")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
