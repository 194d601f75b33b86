#!/usr/bin/env python3
"""Fails on a test script or program that reaches HKLM\\Software or Program
Files through the view of its own bitness without naming the view. A 32-bit
process (a 32-bit `reg`, a test built by mingw-x86) sees the 32-bit registry
view and Program Files (x86), a 64-bit one the native ones; such a check
passes under one build and fails under the other. Named views: /reg:,
KEY_WOW64_*KEY, RRF_SUBKEY_WOW64*KEY, kOwnView (the view of the build where
the program under test reads its own keys), ProgramW6432, ProgramFiles(x86),
CSIDL_PROGRAM_FILESX86, FOLDERID_ProgramFilesX64/X86.

It first proves itself on known texts, then checks the files under the folders.
Usage: check_views.py <folder>...
"""
import os
import re
import sys

DEPENDENT = re.compile(r"(?i:\breg(?:\.exe)?\s+(?:query|add|delete|export|copy)\s+[\"']?(?:HKLM|HKEY_LOCAL_MACHINE)\\+Software)"
                       r'|HKEY_LOCAL_MACHINE\s*,(?!\s*L"(?:System|Hardware)\\)|(?i:%(?:Common)?ProgramFiles%)'
                       r'|\bCSIDL_PROGRAM_FILES(?:_COMMON)?\b|\bFOLDERID_ProgramFiles(?:Common)?\b|L"(?:Common)?ProgramFiles"')
NAMED = re.compile(r"(?i:/reg:)|\bkOwnView\b|KEY_WOW64_(?:32|64)KEY|RRF_SUBKEY_WOW64(?:32|64)KEY|ProgramW6432|ProgramFiles\(x86\)"
                   r"|CSIDL_PROGRAM_FILESX86|FOLDERID_ProgramFiles(?:X64|X86)")
CODE = (".cpp", ".h", ".c")
SCRIPTS = (".sh", ".py", ".cmake", ".txt", ".bat", ".cmd", ".ps1")


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
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            scanned += 1
            named += sum(1 for u in units(name, text) if NAMED.search(u))
            for unit in faults(name, text):
                failed.append(unit)
                print("FAIL  %s: the view depends on the build's bitness: %s" % (path, " ".join(unit.split())))
# Seeing no named view at all would mean that the files were not read.
if not named:
    failed.append("none")
    print("FAIL  no named view seen in %d files" % scanned)
print("%d files, %d named views, %d faults" % (scanned, named, len(failed)))
sys.exit(1 if failed else 0)
