#!/usr/bin/env python3
"""Checks a built setup executable without running it.

- a Windows GUI executable for the expected processor (PE32 i386 for the
  shipped setup);
- it imports only libraries that Windows always loads from its system folder,
  so that no DLL planted beside the setup (in a Downloads folder, say) can be
  loaded at start; every other library is loaded at run time from the system
  folder;
- it carries icon group 128 with 37 images, dialog templates 129 and 1101 in
  the four languages, the string tables and a manifest that asks for no
  elevation and declares DPI and long path awareness.

Usage: check_executable.py <exe> <i686|x86_64>
"""
import re
import struct
import sys

ALLOWED_IMPORTS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
                   "ole32.dll", "oleaut32.dll", "msvcrt.dll"}
LANGUAGES = {1033, 1040, 1052, 1060}
RT_ICON, RT_STRING, RT_DIALOG, RT_GROUP_ICON, RT_MANIFEST = 3, 6, 5, 14, 24

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


class PE:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        check(data[pe:pe + 4] == b"PE\0\0", "PE signature")
        self.machine, nsections, _, _, _, optsize, self.characteristics = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        self.dll_characteristics = struct.unpack_from("<H", data, opt + 70)[0]
        dirs = opt + (96 if self.magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        for i in range(nsections):
            off = opt + optsize + 40 * i
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, off)
            self.sections.append((va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError("rva %#x outside sections" % rva)

    def cstring(self, rva):
        off = self.offset(rva)
        return self.data[off:self.data.index(b"\0", off)].decode("ascii")

    def imports(self):
        rva, size = self.directories[1]
        names = []
        off = self.offset(rva)
        while True:
            entry = struct.unpack_from("<IIIII", self.data, off)
            if entry == (0, 0, 0, 0, 0):
                return names
            names.append(self.cstring(entry[3]).lower())
            off += 20

    def resources(self):
        """{type: {id: {lang: (offset, size)}}}"""
        rva, _ = self.directories[2]
        base = self.offset(rva)

        def directory(off):
            _, _, _, _, named, ids = struct.unpack_from("<IIHHHH", self.data, off)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, off + 16 + 8 * i)
                yield name, target

        result = {}
        for type_id, t in directory(base):
            for res_id, r in directory(base + (t & 0x7FFFFFFF)):
                for lang, l in directory(base + (r & 0x7FFFFFFF)):
                    data_rva, size = struct.unpack_from("<II", self.data, base + l)
                    result.setdefault(type_id, {}).setdefault(res_id, {})[lang] = (self.offset(data_rva), size)
        return result


def main():
    path, processor = sys.argv[1], sys.argv[2]
    pe = PE(open(path, "rb").read())
    if processor in ("i686", "x86"):
        check(pe.machine == 0x014C and pe.magic == 0x10B, "a PE32 executable for i386")
    else:
        check(pe.machine == 0x8664 and pe.magic == 0x20B, "a PE32+ executable for x86-64")
    check(pe.subsystem == 2, "the Windows GUI subsystem")
    check(pe.dll_characteristics & 0x0040, "address space layout randomisation (dynamic base)")
    check(pe.dll_characteristics & 0x0100, "data execution prevention (NX compatible)")

    imports = pe.imports()
    unexpected = sorted(set(imports) - ALLOWED_IMPORTS)
    check(not unexpected, "imports only system-folder libraries, not %s" % unexpected)

    res = pe.resources()
    group = res.get(RT_GROUP_ICON, {}).get(128)
    check(group is not None, "icon group 128")
    if group:
        off, size = next(iter(group.values()))
        count = struct.unpack_from("<H", pe.data, off + 4)[0]
        check(count == 37, "37 images in icon group 128 (found %d)" % count)
    for dialog in (129, 1101):
        langs = set(res.get(RT_DIALOG, {}).get(dialog, {}))
        check(langs == LANGUAGES, "dialog %d in the four languages (found %s)" % (dialog, sorted(langs)))
    # String IDs 12..15 live in block 1, 16..31 in block 2, 32..38 in block 3, 57344 in block 3585.
    for block in (1, 2, 3, 3585):
        langs = set(res.get(RT_STRING, {}).get(block, {}))
        check(langs == LANGUAGES, "string block %d in the four languages (found %s)" % (block, sorted(langs)))
    manifests = res.get(RT_MANIFEST, {})
    check(1 in manifests, "a manifest (resource 1)")
    if 1 in manifests:
        off, size = next(iter(manifests[1].values()))
        text = pe.data[off:off + size].decode("utf-8", "replace")
        check('level="asInvoker"' in text, "the manifest asks for asInvoker")
        check("dpiAware" in text and ">true<" in text, "the manifest declares DPI awareness")
        check(re.search(r"<longPathAware[^>]*>true</longPathAware>", text), "the manifest declares long path awareness")

    for f in failures:
        print("FAILED: expected %s" % f)
    print("%s: %d bytes, imports %s" % (path, len(pe.data), ", ".join(imports)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
