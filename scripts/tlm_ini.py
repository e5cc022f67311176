#!/usr/bin/env python3
"""Reads or sets one key of TLM.INI, keeping every other line as it is.

    tlm_ini.py get FILE SECTION KEY      prints the value (nothing when absent)
    tlm_ini.py set FILE SECTION KEY VALUE

Sections and keys match without regard to letter case, as the program reads
them. A set writes a temporary file and renames it over the old one.
"""
import os
import sys


def find(lines, section, key):
    """(index of the section header or None, index of the key line or None)."""
    header = None
    current = None
    for i, line in enumerate(lines):
        text = line.strip()
        if text.startswith("[") and text.endswith("]"):
            current = text[1:-1].strip().lower()
            if current == section.lower() and header is None:
                header = i
            continue
        if current == section.lower() and "=" in text and not text.startswith(";"):
            if text.split("=", 1)[0].strip().lower() == key.lower():
                return header, i
    return header, None


def main(argv):
    if len(argv) < 5 or argv[1] not in ("get", "set") or (argv[1] == "set" and len(argv) != 6):
        sys.stderr.write(__doc__)
        return 2
    path, section, key = argv[2], argv[3], argv[4]
    lines = []
    if os.path.exists(path):
        with open(path, encoding="latin-1", newline="") as f:
            lines = f.read().splitlines()
    header, at = find(lines, section, key)
    if argv[1] == "get":
        if at is not None:
            print(lines[at].split("=", 1)[1].strip())
        return 0
    entry = "%s=%s" % (key, argv[5])
    if at is not None:
        lines[at] = entry
    elif header is not None:
        lines.insert(header + 1, entry)
    else:
        if lines and lines[-1].strip():
            lines.append("")
        lines += ["[%s]" % section, entry]
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="latin-1", newline="") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(tmp, path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
