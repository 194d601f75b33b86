#!/usr/bin/env python3
"""Fails on a test script or program that reaches HKLM\\Software or Program
Files through the view of its build's bitness (a 32-bit `reg` or test sees the
32-bit registry and Program Files (x86)) without naming the view: /reg:,
KEY_WOW64_*KEY, kOwnView (the build's own, where the program under test reads),
ProgramW6432, ProgramFiles(x86), ... It first proves itself on known texts.
Usage: check_views.py <folder>...
"""
import os, re, sys

DEPENDENT = re.compile(r"(?i:\breg(?:\.exe)?\s+(?:query|add|delete|export|copy)\s+[\"']?(?:HKLM|HKEY_LOCAL_MACHINE)\\+Software)"
                       r'|HKEY_LOCAL_MACHINE\s*,(?!\s*L"(?:System|Hardware)\\)|(?i:%(?:Common)?ProgramFiles%)'
                       r'|\bCSIDL_PROGRAM_FILES(?:_COMMON)?\b|\bFOLDERID_ProgramFiles(?:Common)?\b|L"(?:Common)?ProgramFiles"')
NAMED = re.compile(r"(?i:/reg:)|\bkOwnView\b|KEY_WOW64_(?:32|64)KEY|RRF_SUBKEY_WOW64(?:32|64)KEY|ProgramW6432|ProgramFiles\(x86\)"
                   r"|CSIDL_PROGRAM_FILESX86|FOLDERID_ProgramFiles(?:X64|X86)")
CODE, SCRIPTS = (".cpp", ".h", ".c"), (".sh", ".py", ".cmake", ".txt", ".bat", ".cmd", ".ps1")


def units(name, text):
    """Statements of a program, logical lines of a script, without comments."""
    if name.endswith(CODE):
        return re.split(r"[;{}]", re.sub(r"//[^\n]*|/\*.*?\*/", "", text, flags=re.S))
    return [line for line in text.replace("\\\n", " ").splitlines() if not line.lstrip().startswith("#")]


def faults(name, text):
    return [u.strip() for u in units(name, text) if DEPENDENT.search(u) and not NAMED.search(u)]


BAD = [("a.sh", "state=$(wine reg query 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\X' /v V)"),
       ("a.cpp", 'RegOpenKeyExW(HKEY_LOCAL_MACHINE,\n L"Software\\\\Tamaris", 0, KEY_READ, &key);'),
       ("a.cpp", "SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, path); // ProgramW6432"),
       ("a.cpp", 'GetEnvironmentVariableW(L"ProgramFiles", path, MAX_PATH);'),
       ("a.sh", 'wine cmd /c dir "%ProgramFiles%\\Tamaris"')]
GOOD = [("a.sh", "wine reg query 'HKLM\\Software\\X' \\\n /v V /reg:64"),
        ("a.sh", "wine reg query 'HKLM\\System\\CurrentControlSet' /v V"),
        ("a.cpp", 'RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\\\T", 0, KEY_READ | KEY_WOW64_64KEY, &key);'),
        ("a.cpp", 'RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\\\CurrentControlSet", 0, KEY_READ, &key);'),
        ("a.cpp", 'GetEnvironmentVariableW(L"ProgramW6432", path, MAX_PATH);')]
failed = [text for name, text in BAD if not faults(name, text)] + [text for name, text in GOOD if faults(name, text)]
for text in failed:
    print("FAIL  the check itself misjudges: " + text)

scanned = named = 0
for top in sys.argv[1:]:
    for folder, _, names in os.walk(top):
        for name in sorted(names):
            path = os.path.join(folder, name)
            if not name.endswith(CODE + SCRIPTS) or os.path.samefile(path, __file__):
                continue
            text = open(path, encoding="utf-8", errors="replace").read()
            scanned += 1
            named += sum(1 for u in units(name, text) if NAMED.search(u))
            for unit in faults(name, text):
                failed.append(unit)
                print("FAIL  %s: the view depends on the build's bitness: %s" % (path, " ".join(unit.split())))
# Seeing no named view at all would mean that the files were not read.
if not named:
    failed.append(0)
    print("FAIL  no named view seen in %d files" % scanned)
print("%d files, %d named views, %d faults" % (scanned, named, len(failed)))
sys.exit(1 if failed else 0)
