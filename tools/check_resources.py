#!/usr/bin/env python3
"""Checks the resources of Pelorin without running Windows code.

    python3 tools/check_resources.py ico PATH.ico   # the icon file drawn by make_icon.py
    python3 tools/check_resources.py exe PATH.exe   # the resources linked into an executable

`ico` checks the icon file: 37 images with the expected sizes, colour depths
and storage (DIBs up to 64 pixels, PNG above), and that every DIB is well
formed (header, palette, colour bitmap and AND mask of the right sizes).

`exe` reads the resource section of a PE file (32- or 64-bit) and checks:
icon group 128 with its 37 images; a string table in each of the four
languages (1033, 1040, 1052, 1060) with exactly the message IDs of
ui/resource.h and the texts of tests/catalogue.inc, which must hold one row
per ID; the two dialog templates 129 and 1101 in each language, field by
field (frame, styles, font, controls, captions and button labels, also from
tests/catalogue.inc); the manifest (asInvoker, uiAccess false, DPI-aware);
and the version information.

Prints one line per problem and exits with 1 when there is any; prints
nothing and exits with 0 otherwise. Standard library only.
"""

import os
import re
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

FOUR_BPP_SIZES = (32, 16)
SMALL_SIZES = (4, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 40, 48, 56, 64)
PNG_SIZES = (80, 96, 112, 128, 256)

# (size, bits per pixel, stored as PNG) in file order.
EXPECTED_IMAGES = ([(s, 4, False) for s in FOUR_BPP_SIZES]
                   + [(s, 8, False) for s in SMALL_SIZES]
                   + [(s, 32, False) for s in SMALL_SIZES]
                   + [(s, 32, True) for s in PNG_SIZES])

LANGUAGES = (1033, 1040, 1052, 1060)


def message_ids(root=ROOT):
    """{name: ID} of the message catalogue, as ui/resource.h defines it."""
    text = open(os.path.join(root, "ui", "resource.h"), encoding="utf-8").read()
    return {name: int(value) for name, value in re.findall(r"^#define (MSG_\w+) (\d+)", text, re.M)}


def unescape(literal):
    return re.sub(r"\\(u[0-9A-Fa-f]{4}|.)",
                  lambda m: chr(int(m.group(1)[1:], 16)) if m.group(1)[0] == "u"
                  else {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1)), literal)


def catalogue_rows(root=ROOT):
    """[(kind, key, {language: text})] of tests/catalogue.inc, in order."""
    text = open(os.path.join(root, "tests", "catalogue.inc"), encoding="utf-8").read()
    text = re.sub(r"^\s*//.*$", "", text, flags=re.M)
    rows = []
    for kind, key, body in re.findall(r"\b(MESSAGE|LABEL)\(\s*(\w+)\s*,(.*?)\)\s*$", text, re.S | re.M):
        texts = [unescape(t) for t in re.findall(r'L"((?:[^"\\]|\\.)*)"', body)]
        rows.append((kind, key, dict(zip(LANGUAGES, texts)) if len(texts) == len(LANGUAGES) else None))
    return rows


RT_ICON, RT_STRING, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 6, 5, 14, 16, 24

# Window and control styles.
WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_CAPTION, WS_BORDER, WS_VSCROLL = 0x00C00000, 0x00800000, 0x00200000
WS_GROUP, WS_TABSTOP = 0x00020000, 0x00010000
DS_3DLOOK, DS_SETFONT, DS_MODALFRAME, DS_CENTER = 0x4, 0x40, 0x80, 0x800
CBS_DROPDOWNLIST, CBS_SORT = 0x3, 0x100
BS_PUSHBUTTON, BS_DEFPUSHBUTTON = 0x0, 0x1
SS_LEFT, SS_ICON = 0x0, 0x3

DIALOG_STYLE = WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_CENTER | DS_SETFONT | DS_3DLOOK
CHILD = WS_CHILD | WS_VISIBLE

# Predefined control classes, as ordinals in a template.
CLASS_ORDINALS = {0x80: "button", 0x81: "edit", 0x82: "static", 0x83: "listbox",
                  0x84: "scrollbar", 0x85: "combobox"}

# Dialog 129: (id, class, text or None for the OK/Cancel labels, x, y, cx, cy, style)
LANGUAGE_DIALOG = [
    (1001, "static", "language", 7, 9, 40, 8, CHILD | SS_LEFT),
    (1000, "combobox", "", 50, 7, 129, 50,
     CHILD | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST | CBS_SORT),
    (1, "button", "ok", 35, 26, 50, 14, CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON),
    (2, "button", "cancel", 101, 26, 50, 14, CHILD | WS_TABSTOP | BS_PUSHBUTTON),
]
PROGRESS_DIALOG = [
    (101, "static", 128, 7, 7, 20, 20, CHILD | SS_ICON),
    (103, "static", "", 31, 7, 215, 28, CHILD | WS_GROUP | SS_LEFT),
    (105, "static", "", 7, 40, 239, 16, CHILD | WS_GROUP | SS_LEFT),
    (104, "msctls_progress32", "bar", 7, 60, 182, 10, CHILD | WS_BORDER),
    (2, "button", "cancel", 196, 58, 50, 14, CHILD | WS_TABSTOP | BS_PUSHBUTTON),
]
class Problems:
    def __init__(self):
        self.lines = []

    def __call__(self, text):
        self.lines.append(text)


# ---------------------------------------------------------------- icon file

def check_dib(data, size, bpp, where, problem):
    if len(data) < 40:
        problem("%s: DIB shorter than its header" % where)
        return
    (hsize, width, height, planes, bits, compression, _image_size, _xppm, _yppm,
     used, _important) = struct.unpack_from("<IiiHHIIiiII", data)
    if (hsize, width, height, planes, bits, compression) != (40, size, 2 * size, 1, bpp, 0):
        problem("%s: header %r, expected (40, %d, %d, 1, %d, 0)"
                % (where, (hsize, width, height, planes, bits, compression), size, 2 * size, bpp))
        return
    colours = (used or (1 << bpp)) if bpp <= 8 else 0
    if bpp <= 8 and colours != 1 << bpp:
        problem("%s: palette of %d colours, expected %d" % (where, colours, 1 << bpp))
    xor_row = (size * bpp + 31) // 32 * 4
    and_row = (size + 31) // 32 * 4
    expected = 40 + 4 * colours + size * (xor_row + and_row)
    if len(data) != expected:
        problem("%s: %d bytes, expected %d" % (where, len(data), expected))


def check_png(data, size, where, problem):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        problem("%s: not a PNG image" % where)
        return
    width, height, depth, colour_type = struct.unpack_from(">IIBB", data, 16)
    if (width, height, depth, colour_type) != (size, size, 8, 6):
        problem("%s: PNG %dx%d depth %d type %d, expected %dx%d RGBA 8 bits"
                % (where, width, height, depth, colour_type, size, size))


def check_icon_file(path, problem):
    data = open(path, "rb").read()
    reserved, kind, count = struct.unpack_from("<HHH", data)
    if (reserved, kind) != (0, 1):
        problem("%s: not an icon file" % path)
        return
    if count != len(EXPECTED_IMAGES):
        problem("%s: %d images, expected %d" % (path, count, len(EXPECTED_IMAGES)))
        return
    for i, (size, bpp, is_png) in enumerate(EXPECTED_IMAGES):
        w, h, colours, _, planes, bits, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        where = "%s image %d (%d px, %d bpp)" % (path, i, size, bpp)
        dim = 0 if size >= 256 else size
        want_colours = 16 if bpp == 4 else 0
        if (w, h, colours, planes, bits) != (dim, dim, want_colours, 1, bpp):
            problem("%s: directory entry %r" % (where, (w, h, colours, planes, bits)))
        image = data[offset:offset + length]
        if len(image) != length:
            problem("%s: runs past the end of the file" % where)
            continue
        if is_png:
            check_png(image, size, where, problem)
        else:
            check_dib(image, size, bpp, where, problem)


# ---------------------------------------------------------------- PE resources

def read_resources(path):
    """Returns {(type, name, language): bytes} from a PE file's resource
    section; type and name are ints or strings."""
    data = open(path, "rb").read()
    if data[:2] != b"MZ":
        raise ValueError("not an executable")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE header")
    sections, opt_size = struct.unpack_from("<H12xH", data, pe + 6)
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    dirs = opt + (96 if magic == 0x10B else 112)
    rsrc_rva, _rsrc_size = struct.unpack_from("<II", data, dirs + 2 * 8)
    table = opt + opt_size
    mapping = []
    for i in range(sections):
        vsize, vaddr, rsize, raddr = struct.unpack_from("<IIII", data, table + 40 * i + 8)
        mapping.append((vaddr, max(vsize, rsize), raddr))

    def offset(rva):
        for vaddr, size, raddr in mapping:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raddr
        raise ValueError("RVA 0x%x outside the sections" % rva)

    base = offset(rsrc_rva)

    def name_of(value):
        if value & 0x80000000:
            at = base + (value & 0x7FFFFFFF)
            n = struct.unpack_from("<H", data, at)[0]
            return data[at + 2:at + 2 + 2 * n].decode("utf-16-le")
        return value

    def entries(at):
        named, ids = struct.unpack_from("<HH", data, base + at + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + at + 16 + 8 * i)
            yield name_of(name), target

    out = {}
    for rtype, t in entries(0):
        for rname, n in entries(t & 0x7FFFFFFF):
            for lang, leaf in entries(n & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                at = offset(rva)
                out[(rtype, rname, lang)] = data[at:at + size]
    return out


def strings_of(resources, lang):
    found = {}
    for (rtype, name, rlang), block in resources.items():
        if rtype != RT_STRING or rlang != lang:
            continue
        at = 0
        for i in range(16):
            n = struct.unpack_from("<H", block, at)[0]
            at += 2
            if n:
                found[(name - 1) * 16 + i] = block[at:at + 2 * n].decode("utf-16-le")
            at += 2 * n
    return found


class Reader:
    def __init__(self, data):
        self.data = data
        self.at = 0

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.at)
        self.at += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def text(self):
        end = self.at
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        value = self.data[self.at:end].decode("utf-16-le")
        self.at = end + 2
        return value

    def sz_or_ord(self):
        if self.data[self.at:self.at + 2] == b"\xff\xff":
            self.at += 2
            return self.take("H")
        return self.text()

    def align(self):
        self.at = (self.at + 3) & ~3


def check_dialog(data, width, height, caption, controls, labels, where, problem):
    r = Reader(data)
    version, signature, _help, ex_style, style, count, x, y, cx, cy = r.take("HHIIIHhhhh")
    if (version, signature) != (1, 0xFFFF):
        problem("%s: not an extended dialog template" % where)
        return
    if (ex_style, style) != (0, DIALOG_STYLE):
        problem("%s: style 0x%08X ex 0x%X, expected 0x%08X ex 0" % (where, style, ex_style, DIALOG_STYLE))
    if (x, y, cx, cy) != (0, 0, width, height):
        problem("%s: frame %r" % (where, (x, y, cx, cy)))
    menu, wclass, title = r.sz_or_ord(), r.sz_or_ord(), r.text()
    if menu != "" or wclass != "":
        problem("%s: menu %r class %r" % (where, menu, wclass))
    if title != caption:
        problem("%s: caption %r, expected %r" % (where, title, caption))
    points, weight, italic, charset = r.take("HHBB")
    face = r.text()
    if (points, weight, italic, charset, face) != (8, 0, 0, 1, "MS Shell Dlg"):
        problem("%s: font %r" % (where, (points, weight, italic, charset, face)))
    if count != len(controls):
        problem("%s: %d controls, expected %d" % (where, count, len(controls)))
        return
    for ident, cls, text, ex, ey, ew, eh, estyle in controls:
        r.align()
        _help, c_ex, c_style, x, y, cx, cy, c_id = r.take("IIIhhhhI")
        c_class, c_text = r.sz_or_ord(), r.sz_or_ord()
        extra = r.take("H")
        r.at += extra
        if isinstance(c_class, int):
            c_class = CLASS_ORDINALS.get(c_class, c_class)
        else:
            c_class = c_class.lower()
        want_text = labels.get(text, text)
        got = (c_id, c_class, c_text, x, y, cx, cy, "0x%08X" % c_style, c_ex)
        want = (ident, cls, want_text, ex, ey, ew, eh, "0x%08X" % estyle, 0)
        if got != want:
            problem("%s: control %r, expected %r" % (where, got, want))


def expected_catalogue(problem):
    """The message IDs of ui/resource.h by name, and the catalogue rows'
    texts by message ID or label name; a problem for every ID without one
    row and every row that is no ID."""
    ids = message_ids()
    expected = {}
    for kind, key, texts in catalogue_rows():
        if texts is None:
            problem("catalogue row %s: not one text per language" % key)
        elif kind == "LABEL":
            expected[key] = texts
        elif key not in ids:
            problem("catalogue row %s: no such message in ui/resource.h" % key)
        elif ids[key] in expected:
            problem("catalogue row %s: a second row" % key)
        else:
            expected[ids[key]] = texts
    for name, ident in sorted(ids.items()):
        if ident not in expected:
            problem("catalogue: no row for %s" % name)
    return ids, expected


def check_executable(path, problem):
    res = read_resources(path)

    # Icon group 128 and its images.
    groups = [k for k in res if k[0] == RT_GROUP_ICON]
    if [k[1] for k in groups] != [128]:
        problem("icon groups %r, expected only 128" % [k[1] for k in groups])
    for key in groups:
        data = res[key]
        count = struct.unpack_from("<H", data, 4)[0]
        if count != len(EXPECTED_IMAGES):
            problem("icon group %r: %d images" % (key[1], count))
            continue
        icons = {k[1]: v for k, v in res.items() if k[0] == RT_ICON}
        for i, (size, bpp, is_png) in enumerate(EXPECTED_IMAGES):
            w, h, colours, _, planes, bits, length, ident = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)
            where = "icon group image %d (%d px, %d bpp)" % (i, size, bpp)
            dim = 0 if size >= 256 else size
            if (w, h, planes, bits) != (dim, dim, 1, bpp):
                problem("%s: entry %r" % (where, (w, h, colours, planes, bits)))
            image = icons.get(ident)
            if image is None or len(image) != length:
                problem("%s: icon resource %r missing or of another size" % (where, ident))
            elif is_png:
                check_png(image, size, where, problem)
            else:
                check_dib(image, size, bpp, where, problem)

    # Message catalogue and dialogs, language by language.
    ids, expected = expected_catalogue(problem)
    for lang in LANGUAGES:
        strings = strings_of(res, lang)
        if sorted(strings) != sorted(ids.values()):
            problem("string table %d: IDs %r, expected %r" % (lang, sorted(strings), sorted(ids.values())))
        for ident, texts in expected.items():
            if isinstance(ident, int) and ident in strings and strings[ident] != texts[lang]:
                problem("string %d in %d is %r, expected %r" % (ident, lang, strings[ident], texts[lang]))
        for name in ("MSG_ASK_INSTALL", "MSG_USAGE"):
            if "\n" not in strings.get(ids.get(name), ""):
                problem("%s in %d has no line feed" % (name, lang))
        if not strings.get(ids.get("MSG_USAGE"), "").endswith("\n"):
            problem("MSG_USAGE in %d does not end with a line feed" % lang)
        for ident, text in strings.items():
            if "\\" in text or "\r" in text:
                problem("string %d in %d holds a backslash or carriage return" % (ident, lang))
        label = lambda key: expected.get(key, {}).get(lang)
        caption, title = label("LANGUAGE_CAPTION"), strings.get(ids.get("MSG_APP_TITLE"))
        labels = {"ok": label("OK"), "cancel": label("CANCEL"), "language": label("LANGUAGE_LABEL"),
                  "bar": label("BAR")}
        for ident, w, h, dialog_caption, controls in (
                (129, 186, 47, caption, LANGUAGE_DIALOG),
                (1101, 253, 79, title, PROGRESS_DIALOG)):
            data = res.get((RT_DIALOG, ident, lang))
            if data is None:
                problem("dialog %d missing in %d" % (ident, lang))
            else:
                check_dialog(data, w, h, dialog_caption, controls, labels,
                             "dialog %d in %d" % (ident, lang), problem)
    languages = sorted({k[2] for k in res if k[0] in (RT_STRING, RT_DIALOG)})
    if languages != sorted(LANGUAGES):
        problem("string tables and dialogs in languages %r" % languages)

    # Manifest.
    manifests = [v for k, v in res.items() if k[0] == RT_MANIFEST and k[1] == 1]
    if len(manifests) != 1:
        problem("%d manifests with ID 1" % len(manifests))
    else:
        text = manifests[0].decode("utf-8")
        for needle in ('level="asInvoker"', 'uiAccess="false"', ">true</dpiAware>",
                       "http://schemas.microsoft.com/SMI/2005/WindowsSettings"):
            if needle not in text:
                problem("manifest lacks %s" % needle)

    # Version information.
    versions = [v for k, v in res.items() if k[0] == RT_VERSION]
    if len(versions) != 1:
        problem("%d version resources" % len(versions))
    else:
        # A key ends with a zero, padding follows, then the value.
        text = versions[0].decode("utf-16-le", "replace")
        for key, value in (("ProductName", "Pelorin"),
                           ("FileDescription", "Windows Installer Installation Wrapper")):
            if not re.search(re.escape(key) + "\0+" + re.escape(value) + "\0", text):
                problem("version information lacks %s %r" % (key, value))


def main(argv):
    if len(argv) != 3 or argv[1] not in ("ico", "exe"):
        sys.stderr.write(__doc__)
        return 2
    problem = Problems()
    try:
        if argv[1] == "ico":
            check_icon_file(argv[2], problem)
        else:
            check_executable(argv[2], problem)
    except (OSError, ValueError, struct.error) as error:
        problem("%s: %s" % (argv[2], error))
    for line in problem.lines:
        print(line)
    return 1 if problem.lines else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
