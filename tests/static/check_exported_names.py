#!/usr/bin/env python3
"""Checks the export tables of the libraries that the Windows tests load.

The tests look entries up by their plain names. On 32-bit Windows the
compiler decorates the names of WINAPI and CALLBACK functions
("CancelOnStatusText@12") unless the library is linked with --kill-at; a
lookup by the plain name then finds nothing, and a test that expects an entry
to be absent passes whether or not the library was loaded. This check needs
no Windows, so it runs on every machine, for both processors.

Each library is read twice, by the parser below and by objdump, so that a
fault of either reading shows as a disagreement.

Usage: check_exported_names.py <objdump> [--decorated] <library>=<name>,<name>... ...
  --decorated: the next library is the control, linked without --kill-at; on
  i386 its WINAPI export must show decorated, proving that the check would
  see the fault.
"""
import re
import struct
import subprocess
import sys

sys.path.insert(0, __file__.rsplit("/", 1)[0])
from check_executable import PE  # noqa: E402

DECORATED = re.compile(r"^_?[A-Za-z_][A-Za-z0-9_]*@\d+$")


def exported_names(pe):
    rva, size = pe.directories[0]
    if not rva:
        return []
    off = pe.offset(rva)
    count, names_rva = struct.unpack_from("<I", pe.data, off + 24)[0], struct.unpack_from("<I", pe.data, off + 32)[0]
    table = pe.offset(names_rva) if count else 0
    return [pe.cstring(struct.unpack_from("<I", pe.data, table + 4 * i)[0]) for i in range(count)]


def objdump_names(objdump, path):
    text = subprocess.run([objdump, "-p", path], capture_output=True, text=True, check=True).stdout
    names, in_table = [], False
    for line in text.splitlines():
        if line.startswith("[Ordinal/Name Pointer] Table"):
            in_table = True
        elif in_table:
            m = re.match(r"^\s*\[\s*\d+\]\s+(\S+)", line)
            if not m:
                break
            names.append(m.group(1))
    return names


def main():
    objdump, args = sys.argv[1], sys.argv[2:]
    failures, decorated_next = [], False
    for arg in args:
        if arg == "--decorated":
            decorated_next = True
            continue
        path, _, wanted = arg.partition("=")
        pe = PE(open(path, "rb").read())
        i386 = pe.machine == 0x014C
        names = exported_names(pe)
        if sorted(names) != sorted(objdump_names(objdump, path)):
            failures.append("%s: the export table reads differently from objdump's (%s)" % (path, names))
        wanted = [n for n in wanted.split(",") if n]
        if decorated_next:
            decorated_next = False
            for n in wanted:
                expect = [x for x in names if x.split("@")[0].lstrip("_") == n]
                if i386 and not any(DECORATED.match(x) for x in expect):
                    failures.append("%s: control library exports %s undecorated; the check would not see the fault"
                                    % (path, expect or n))
                if not i386 and n not in names:
                    failures.append("%s: control library lacks %s" % (path, n))
            print("%s (control, %s): %s" % (path, "i386" if i386 else "x86-64", ", ".join(names)))
            continue
        for n in names:
            if "@" in n:
                failures.append("%s: exports the decorated name %s; it is looked up as %s"
                                % (path, n, n.split("@")[0].lstrip("_")))
        for n in wanted:
            if n not in names:
                failures.append("%s: does not export %s, which the tests look up" % (path, n))
        print("%s (%s): %s" % (path, "i386" if i386 else "x86-64", ", ".join(names)))
    for f in failures:
        print("FAILED: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
