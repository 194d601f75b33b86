#!/usr/bin/env python3
"""Writes the fuzz targets' seed inputs from the texts and numbers that the
native unit tests use, so that the seeds follow the tests as they change.

    make_seeds.py <output folder>   ->  <output folder>/<target>/<n>
"""
import hashlib
import pathlib
import re
import struct
import sys

HOST_TESTS = pathlib.Path(__file__).resolve().parent.parent / "host"

# One wide literal, or several written side by side (joined by the compiler).
LITERAL = r'L"(?:[^"\\\n]|\\.)*"'
JOINED = re.compile(LITERAL + r'(?:\s*' + LITERAL + r')*')
ESCAPES = {"n": "\n", "t": "\t", "\\": "\\", '"': '"', "'": "'", "0": "\0"}


def decode(joined):
    text = ""
    for part in re.findall(LITERAL, joined):
        body = part[2:-1]
        text += re.sub(r"\\(.)", lambda m: ESCAPES[m.group(1)], body)
    return text


def texts(test_file):
    source = (HOST_TESTS / test_file).read_text(encoding="utf-8")
    seen = []
    for m in JOINED.finditer(source):
        t = decode(m.group(0))
        if t not in seen:
            seen.append(t)
    return seen


def numbers(test_file):
    """Integer literals of the test, with the major/minor pairs of Ms(a, b)."""
    source = (HOST_TESTS / test_file).read_text(encoding="utf-8")
    values = [int(n, 0) for n in re.findall(r"\b(0[xX][0-9a-fA-F]+|\d+)u?\b", source)]
    pairs = [(int(a), int(b)) for a, b in re.findall(r"Ms\((\d+),\s*(\d+)\)", source)]
    return sorted(set(v & 0xFFFFFFFF for v in values)), pairs


def utf16(text):
    return text.encode("utf-16-le", "surrogatepass")


def u32(value):
    return struct.pack("<I", value & 0xFFFFFFFF)


def write(out, target, seeds):
    folder = out / target
    folder.mkdir(parents=True, exist_ok=True)
    for seed in seeds:
        # Named by content, as libFuzzer names what it finds.
        (folder / hashlib.sha1(seed).hexdigest()).write_bytes(seed)


def main():
    out = pathlib.Path(sys.argv[1])
    command_texts = texts("command_line_test.cpp")
    admin_texts = texts("admin_target_test.cpp")
    arguments = [t for t in command_texts + admin_texts if t not in ("<none>", "<null>")]

    write(out, "command_mode", [utf16(t) for t in arguments])
    write(out, "verify_arguments", [utf16(t) for t in arguments])
    write(out, "admin_target", [utf16(t) for t in arguments])

    # Flags byte (patch, update, /a, configured given, folder given, folder
    # read from "/a" arguments), configured text, NUL unit, folder.
    composed = texts("installer_command_test.cpp")
    configured = [t for t in composed if "=" in t and "ACTION" not in t and "REINSTALL" not in t] + [""]
    folders = [t for t in composed if t.startswith("D:")] + admin_texts[:4]
    seeds = []
    for flags in range(64):
        c = configured[flags % len(configured)]
        f = folders[flags % len(folders)]
        seeds.append(bytes([flags]) + utf16(c) + b"\0\0" + utf16(f))
    write(out, "installer_command", seeds)

    # Insert count, then per insert a kind byte (0 number, 1 text, 2 null
    # text) and its value, then the format. Each text of the test is tried
    # as a format with no inserts and with the inserts the test uses most.
    formats = texts("message_format_test.cpp")
    codes, _ = numbers("message_format_test.cpp")
    inserts = [(1, "Tamaris"), (0, -42), (0, 0x800B0004), (1, "č.msi"), (2, None)]

    def insert_bytes(kind, value):
        if kind == 0:
            return bytes([0]) + u32(value)
        if kind == 1:
            return bytes([1]) + utf16(value) + b"\0\0"
        return bytes([2])

    seeds = []
    for fmt in formats:
        seeds.append(bytes([0]) + utf16(fmt))
        seeds.append(bytes([len(inserts)]) + b"".join(insert_bytes(*i) for i in inserts) + utf16(fmt))
    ten = bytes([10]) + b"".join(insert_bytes(0, 11 * i) for i in range(1, 11))
    seeds.append(ten + utf16("%10|%1|%10!d!|%100"))
    seeds += [bytes([1]) + insert_bytes(0, code) + utf16("%1!d!") for code in codes]
    write(out, "message_format", seeds)

    values, pairs = numbers("version_test.cpp")
    ms = [a << 16 | b for a, b in pairs] + values
    write(out, "version", [u32(m) + u32(v) for m in ms for v in values[:8]] + [u32(v) + u32(v) for v in values])

    # Thirteen bytes of a decision (held, answer), then a header's text.
    headers = texts("transfer_policy_test.cpp")
    write(out, "transfer_headers", [bytes([40, 100, 0, 6, 6, 1, 60, 1, 1, 40, 99, 100, 1]) + utf16(t) for t in headers])
    dictionaries(out)


def dictionary(out, name, words):
    """libFuzzer dictionary of the UTF-16 words the parsers look for."""
    lines = ['"%s"' % "".join("\\x%02X" % b for b in utf16(w)) for w in words]
    (out / (name + ".dict")).write_text("\n".join(lines) + "\n")


def dictionaries(out):
    switches = ["/a", "-A", "/v", "-V", "/?", '"', '""', " ", "\t", "\\", "C:\\"]
    for name in ("command_mode", "verify_arguments", "admin_target", "installer_command"):
        dictionary(out, name, switches + [" ACTION=ADMIN", "TARGETDIR="])
    dictionary(out, "message_format", ["%", "%%", "%1", "%2", "%9", "%10", "%12", "%0", "!d!", "%1!d!", "!s!", "\n"])
    dictionary(out, "transfer_headers", ["bytes ", "*", "-", "/", "http://", "https://", "identity", "0", "9"])


if __name__ == "__main__":
    main()
