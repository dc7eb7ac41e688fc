#!/usr/bin/env python3
"""Moves the debug data of a linked DLL into its section JCLDEBUG.

Reads the DWARF line table (objdump --dwarf=decodedline) and the code symbols (nm) of the DLL,
writes the compact table that src/lib/JclDebug.h describes, strips the DWARF and adds the table as
a loaded, read-only section after the last one. Optionally keeps a copy of the stripped DLL without
the section, which behaves as a library without debug data.

usage: jcldebug.py --dll X.dll --tool-prefix i686-w64-mingw32- [--no-debug-copy OUT.dll]
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

MAGIC = b"DCTLINE1"
NO_TEXT = 0xFFFFFFFF
ROW = re.compile(r"^(\S.*?)\s+(\d+|-)\s+(0x[0-9a-fA-F]+)(?:\s|$)")


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True, errors="replace").stdout


def pe_header(tool, dll):
    out = run(tool + "objdump", "-p", dll)
    base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", out, re.M).group(1), 16)
    align = int(re.search(r"^SectionAlignment\s+([0-9a-fA-F]+)", out, re.M).group(1), 16)
    return base, align


def sections(tool, dll):
    """name -> (vma, size) of every section."""
    out = run(tool + "objdump", "-h", dll)
    found = {}
    for m in re.finditer(r"^\s*\d+\s+(\S+)\s+([0-9a-fA-F]+)\s+([0-9a-fA-F]+)\s", out, re.M):
        found[m.group(1)] = (int(m.group(3), 16), int(m.group(2), 16))
    return found


def unit_name(file_name):
    base = re.split(r"[\\/]", file_name)[-1]
    return os.path.splitext(base)[0]


def line_rows(tool, dll, text_start, text_end):
    """(address, unit or None, line) per address, None marking code without line information.
    Sequences of code that the linker dropped keep address 0 in the DWARF: only rows inside the
    code section count."""
    out = run(tool + "objdump", "--dwarf=decodedline", "--wide", dll)
    by_address = {}
    for text in out.splitlines():
        m = ROW.match(text)
        if not m or m.group(1) in ("File name",):
            continue
        address = int(m.group(3), 16)
        if not text_start <= address <= text_end:
            continue
        if m.group(2) == "-":
            # End of a sequence: the code after it has no line, unless another sequence starts here.
            by_address.setdefault(address, None)
            continue
        # Several rows at one address: the last of them describes the instruction there.
        by_address[address] = (unit_name(m.group(1)), int(m.group(2)))
    rows = []
    for address in sorted(by_address):
        entry = by_address[address]
        unit, line = entry if entry else (None, 0)
        if rows and rows[-1][1] == unit and rows[-1][2] == line:
            continue
        rows.append((address, unit, line))
    return rows


def procedures(tool, dll, text_start, text_end):
    out = run(tool + "nm", "--defined-only", "-C", dll)
    by_address = {}
    for text in out.splitlines():
        parts = text.split(" ", 2)
        if len(parts) != 3 or parts[1] not in ("T", "t"):
            continue
        address = int(parts[0], 16)
        if text_start <= address < text_end:
            by_address.setdefault(address, parts[2])
    procs = [(a, by_address[a]) for a in sorted(by_address)]
    procs.append((text_end, None))
    return procs


def build_table(rows, procs, image_base):
    strings = bytearray()
    offsets = {}

    def text(value):
        if value is None:
            return NO_TEXT
        if value not in offsets:
            offsets[value] = len(strings)
            strings.extend(value.encode("utf-8", "replace") + b"\0")
        return offsets[value]

    body = bytearray()
    for address, unit, line in rows:
        body += struct.pack("<IIi", address - image_base, text(unit), line)
    for address, name in procs:
        body += struct.pack("<II", address - image_base, text(name))
    if not strings:
        strings.extend(b"\0")
    return MAGIC + struct.pack("<III", len(rows), len(procs), len(strings)) + bytes(body) + bytes(strings)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dll", required=True)
    parser.add_argument("--tool-prefix", default="i686-w64-mingw32-")
    parser.add_argument("--no-debug-copy")
    args = parser.parse_args()
    tool, dll = args.tool_prefix, args.dll

    image_base, alignment = pe_header(tool, dll)
    text_vma, text_size = sections(tool, dll)[".text"]
    rows = line_rows(tool, dll, text_vma, text_vma + text_size)
    if not rows:
        sys.exit("jcldebug: %s has no line information (built without -g?)" % dll)
    procs = procedures(tool, dll, text_vma, text_vma + text_size)
    table = build_table(rows, procs, image_base)

    with tempfile.TemporaryDirectory() as work:
        stripped = os.path.join(work, "stripped.dll")
        table_file = os.path.join(work, "jcldebug.bin")
        result = os.path.join(work, "result.dll")
        run(tool + "strip", "--strip-debug", "-o", stripped, dll)
        if args.no_debug_copy:
            os.makedirs(os.path.dirname(os.path.abspath(args.no_debug_copy)), exist_ok=True)
            shutil.copyfile(stripped, args.no_debug_copy)
        with open(table_file, "wb") as f:
            f.write(table)
        # A section added without an address lands at 0, below the image base: place it on the
        # first aligned address after the last section.
        end = max(vma + size for vma, size in sections(tool, stripped).values())
        vma = (end + alignment - 1) // alignment * alignment
        run(tool + "objcopy", "--add-section", "JCLDEBUG=" + table_file,
            "--set-section-flags", "JCLDEBUG=alloc,load,readonly,data",
            "--change-section-vma", "JCLDEBUG=0x%x" % vma, stripped, result)
        shutil.copyfile(result, dll)
    print("jcldebug: %s: %d line rows, %d procedures, %d bytes of debug data"
          % (os.path.basename(dll), len(rows), len(procs), len(table)))


if __name__ == "__main__":
    main()
