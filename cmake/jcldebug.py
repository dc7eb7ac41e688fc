#!/usr/bin/env python3
"""Moves the debug data of a linked DLL into its section JCLDEBUG.

Reads the DWARF line table (objdump --dwarf=decodedline) and the code symbols (nm) of the DLL,
writes the compact table that src/lib/JclDebug.h describes, strips the DWARF and the COFF symbol
table and adds the table as a loaded, read-only section after the last one. Optionally keeps a copy
of the stripped DLL without the section, which behaves as a library without debug data.

Only what a trace line can print goes into the table: a frame shows the unit and line where a
unit is known and the procedure's name only where none is, so the name of a procedure whose every
address has a unit is left out. Before the table is written it is decoded again and checked to
tell, for every address, what the full table would.

usage: jcldebug.py --dll X.dll --tool-prefix i686-w64-mingw32- [--no-debug-copy OUT.dll]
"""
import argparse
import bisect
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

MAGIC = b"DCTLINE2"
BLOCK = 32  # entries per block: a lookup decodes at most this many
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


def without_unit(rows):
    """The stretches [start, end) of addresses for which no unit is known."""
    stretches = [(0, rows[0][0])] if rows and rows[0][0] > 0 else []
    for i, (address, unit, _) in enumerate(rows):
        if unit is None:
            stretches.append((address, rows[i + 1][0] if i + 1 < len(rows) else 1 << 64))
    return stretches or [(0, 1 << 64)]


def printable_procs(rows, procs):
    """The procedures whose name some address can show: those that reach into code without a unit.
    Leaving one out lends its addresses to the one before, which shows a unit there all the same."""
    stretches = without_unit(rows)
    starts = [s for s, _ in stretches]
    kept = []
    for i, (address, name) in enumerate(procs):
        end = procs[i + 1][0] if i + 1 < len(procs) else 1 << 64
        k = bisect.bisect_right(starts, address) - 1
        if (k >= 0 and stretches[k][1] > address) or (k + 1 < len(starts) and starts[k + 1] < end):
            kept.append((address, name))
    return kept


def varint(value):
    out = bytearray()
    while value >= 0x80:
        out.append(value & 0x7F | 0x80)
        value >>= 7
    out.append(value)
    return out


def zigzag(value):
    return value << 1 if value >= 0 else ((-value) << 1) - 1


def blocked(entries, coder):
    """(index, stream): entries cut into blocks of BLOCK, each block {uint32 rva, uint32 offset}
    in the index; inside a block every entry but the first starts with its address delta, and
    coder() gives the encoder of the rest with the state a block starts from."""
    index, stream = bytearray(), bytearray()
    for start in range(0, len(entries), BLOCK):
        block = entries[start:start + BLOCK]
        index += struct.pack("<II", block[0][0], len(stream))
        encode = coder()
        for k, entry in enumerate(block):
            if k:
                stream += varint(entry[0] - block[k - 1][0])
            stream += encode(entry)
    return index, stream


def build_table(rows, procs, image_base):
    """rows: (address, unit or None, line); procs: (address, name or None); both sorted."""
    strings = bytearray()
    offsets = {}

    def text(value):
        if value not in offsets:
            offsets[value] = len(strings)
            strings.extend(value.encode("utf-8", "replace") + b"\0")
        return offsets[value]

    # The most frequent units get the smallest numbers, so most changes of unit take one byte.
    counts = {}
    for _, unit, _ in rows:
        if unit is not None:
            counts[unit] = counts.get(unit, 0) + 1
    units = sorted(counts, key=lambda u: (-counts[u], u))
    unit_number = {u: i + 1 for i, u in enumerate(units)}
    unit_offsets = b"".join(struct.pack("<I", text(u)) for u in units)

    def row_coder():
        state = {"unit": 0, "line": 0}

        def encode(entry):
            unit, line = unit_number.get(entry[1], 0), entry[2]
            changed = unit != state["unit"]
            out = varint(zigzag(line - state["line"]) << 1 | changed)
            if changed:
                out += varint(unit)
            state["unit"], state["line"] = unit, line
            return out
        return encode

    def proc_coder():
        return lambda entry: varint(0 if entry[1] is None else text(entry[1]) + 1)

    row_index, row_stream = blocked([(a - image_base, u, l) for a, u, l in rows], row_coder)
    proc_index, proc_stream = blocked([(a - image_base, n) for a, n in procs], proc_coder)
    if not strings:
        strings.extend(b"\0")
    header = MAGIC + struct.pack("<7I", BLOCK, len(units), len(rows), len(row_stream), len(procs),
                                 len(proc_stream), len(strings))
    return (header + unit_offsets + bytes(row_index) + bytes(row_stream) + bytes(proc_index) +
            bytes(proc_stream) + bytes(strings))


def decode_table(table):
    """The rows and procedures a table holds, relative addresses: the reader's view, for the check."""
    block, unit_count, row_count, row_bytes, proc_count, proc_bytes, strings_size = \
        struct.unpack_from("<7I", table, 8)
    at = 8 + 28
    strings = table[len(table) - strings_size:]

    def text(offset):
        return strings[offset:strings.index(b"\0", offset)].decode("utf-8")

    units = [text(o) for o in struct.unpack_from("<%dI" % unit_count, table, at)]
    at += 4 * unit_count

    def read(count, size, entry):
        nonlocal at
        blocks = (count + block - 1) // block
        index = [struct.unpack_from("<II", table, at + 8 * b) for b in range(blocks)]
        stream = table[at + 8 * blocks:at + 8 * blocks + size]
        at += 8 * blocks + size
        entries, pos = [], 0

        def number():
            nonlocal pos
            value, shift = 0, 0
            while True:
                byte = stream[pos]
                pos += 1
                value |= (byte & 0x7F) << shift
                shift += 7
                if byte < 0x80:
                    return value
        for b, (rva, offset) in enumerate(index):
            pos, state = offset, {"unit": 0, "line": 0}
            for k in range(min(block, count - b * block)):
                if k:
                    rva += number()
                entries.append((rva,) + entry(number, state))
        return entries

    def row(number, state):
        word = number()
        delta = word >> 1
        state["line"] += -((delta + 1) >> 1) if delta & 1 else delta >> 1
        if word & 1:
            state["unit"] = number()
        return (units[state["unit"] - 1] if state["unit"] else None, state["line"])

    def proc(number, _state):
        name = number()
        return (text(name - 1) if name else None,)

    rows = read(row_count, row_bytes, row)
    procs = read(proc_count, proc_bytes, proc)
    return rows, procs


def check_table(table, rows, procs, image_base):
    """Fails when the compact table would print anything else than the full data, at any address."""
    full_rows = [(a - image_base, u, l) for a, u, l in rows]
    full_procs = [(a - image_base, n) for a, n in procs]
    got_rows, got_procs = decode_table(table)
    row_starts, got_row_starts = [a for a, _, _ in full_rows], [a for a, _, _ in got_rows]
    proc_starts, got_proc_starts = [a for a, _ in full_procs], [a for a, _ in got_procs]

    def at(rs, starts_r, ps, starts_p, address):
        r = bisect.bisect_right(starts_r, address) - 1
        if r >= 0 and rs[r][1] is not None:
            return (rs[r][1], rs[r][2])
        p = bisect.bisect_right(starts_p, address) - 1
        return (None, ps[p][1] if p >= 0 else None)
    # Both sides are constant between the addresses where an entry of either starts.
    for address in sorted({0} | set(row_starts) | set(proc_starts) | set(got_proc_starts)):
        want = at(full_rows, row_starts, full_procs, proc_starts, address)
        got = at(got_rows, got_row_starts, got_procs, got_proc_starts, address)
        if want != got:
            sys.exit("jcldebug: the compact table prints %r at %#x where the full data prints %r"
                     % (got, address, want))


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
    kept = printable_procs(rows, procs)
    table = build_table(rows, kept, image_base)
    check_table(table, rows, procs, image_base)

    with tempfile.TemporaryDirectory() as work:
        stripped = os.path.join(work, "stripped.dll")
        table_file = os.path.join(work, "jcldebug.bin")
        result = os.path.join(work, "result.dll")
        # The symbols were read above; nothing reads the COFF symbol table of the shipped file.
        run(tool + "strip", "--strip-all", "-o", stripped, dll)
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
    print("jcldebug: %s: %d line rows, %d of %d procedures, %d bytes of debug data, %d bytes in all"
          % (os.path.basename(dll), len(rows), len(kept), len(procs), len(table), os.path.getsize(dll)))


if __name__ == "__main__":
    main()
