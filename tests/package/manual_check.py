#!/usr/bin/env python3
"""Checks that a manual page and the program's --help say the same.

Usage: manual_check.py MANUAL_PAGE PROGRAM [ARG ...]
  PROGRAM ARG... --help is run; every item line of its output ("  NAME [ARGS]  SUMMARY", NAME an
  option or a command) must appear in the rendered page, NAME, ARGS and SUMMARY in that order
  (white space and line breaks aside), and every tagged item of the page's option and command
  sections must name an option or a command that --help shows. The page must also render with
  groff without warnings other than the ones about lines Japanese text gives it no place to break.
"""
import re
import subprocess
import sys

ITEM = re.compile(r"^  (-[-\w]*(?:, -[-\w]+)?|[a-z][a-z-]*)(?= |$)(.*)$")
TAG_SECTIONS = ("オプション", "コマンド")


def squeeze(text):
    return re.sub(r"\s+", "", text.replace("\u2212", "-").replace("\u2010", "-"))


def render(page):
    result = subprocess.run(["groff", "-man", "-k", "-Tutf8", "-ww", "-rLL=200n", page], capture_output=True,
                            text=True, env={"LC_ALL": "C.UTF-8", "PATH": "/usr/bin:/bin"})
    if result.returncode != 0:
        sys.exit(f"{page}: groff failed: {result.stderr}")
    warnings = [line for line in result.stderr.splitlines()
                if "can't break line" not in line and "cannot adjust line" not in line]
    if warnings:
        sys.exit(f"{page}: groff warns:\n" + "\n".join(warnings))
    # Bold and underline come as overstrikes; keep the characters only.
    return re.sub(r".\x08", "", result.stdout)


def page_tags(page):
    """The first word of each .TP tag in the option and command sections."""
    tags, section, after_tp = [], None, False
    for line in open(page, encoding="utf-8"):
        line = line.rstrip("\n")
        if line.startswith(".SH"):
            section = line[3:].strip().strip('"')
        elif line.startswith(".TP"):
            after_tp = True
            continue
        elif after_tp and section in TAG_SECTIONS:
            words = re.sub(r"\\f[BIRP]|\\-", lambda m: "-" if m.group() == "\\-" else "", line).split()
            if words and words[0].startswith("."):
                words = words[1:]
            if words:
                tags.append(words[0].strip('"'))
        after_tp = False
    return tags


def main():
    page, command = sys.argv[1], sys.argv[2:]
    help_run = subprocess.run(command + ["--help"], capture_output=True, text=True)
    if help_run.returncode != 0 or not help_run.stdout:
        sys.exit(f"{' '.join(command)} --help: status {help_run.returncode}, {help_run.stderr}")
    rendered = squeeze(render(page))
    faults, names = [], set()
    for line in help_run.stdout.splitlines():
        match = ITEM.match(line)
        if not match:
            continue
        for name in match.group(1).split(", "):
            names.add(name)
        if squeeze(line) not in rendered:
            faults.append(f"--help says, the page does not: {line.strip()}")
    # Options named only in the usage line ("[--db DIR]") count too.
    names |= set(re.findall(r"(?<![\w-])--?[a-zA-Z][-\w]*", help_run.stdout))
    if not names:
        faults.append("--help shows no options or commands")
    for tag in page_tags(page):
        if tag not in names:
            faults.append(f"the page lists {tag}, --help does not")
    if faults:
        sys.exit(f"{page}:\n  " + "\n  ".join(faults))
    print(f"{page}: {len(names)} options and commands agree with --help")


main()
