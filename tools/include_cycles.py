#!/usr/bin/env python3
"""Prints the include cycles among the program's modules, largest first.

    tools/include_cycles.py [SOURCE_DIR]

A module is a header with its source (app/app.h and app/app.cpp are one). An
include cycle is a strongly connected component of the graph of their
#include "..." lines with more than one module. Also prints the largest file
and the longest function (by lines between a definition's opening brace at
the line's end and its closing brace alone in the first column).
"""
import os
import re
import sys

FOLDERS = ("afx", "app", "engine", "install", "ui")
root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")

files = {}
for folder in FOLDERS:
    for name in sorted(os.listdir(os.path.join(root, folder))):
        if name.endswith((".h", ".cpp")):
            path = folder + "/" + name
            with open(os.path.join(root, path), encoding="utf-8") as f:
                files[path] = f.read().splitlines()

module = lambda path: path.rsplit(".", 1)[0]
edges = {}
for path, lines in files.items():
    for line in lines:
        m = re.match(r'\s*#include "([^"]+)"', line)
        if m and m.group(1) in files and module(m.group(1)) != module(path):
            edges.setdefault(module(path), set()).add(module(m.group(1)))
nodes = sorted({module(p) for p in files})

# Tarjan's strongly connected components.
index, low, stack, on_stack, components = {}, {}, [], set(), []
def visit(v):
    index[v] = low[v] = len(index)
    stack.append(v)
    on_stack.add(v)
    for w in sorted(edges.get(v, ())):
        if w not in index:
            visit(w)
            low[v] = min(low[v], low[w])
        elif w in on_stack:
            low[v] = min(low[v], index[w])
    if low[v] == index[v]:
        component = []
        while True:
            w = stack.pop()
            on_stack.discard(w)
            component.append(w)
            if w == v:
                break
        components.append(sorted(component))
sys.setrecursionlimit(10000)
for v in nodes:
    if v not in index:
        visit(v)

cycles = sorted((c for c in components if len(c) > 1), key=len, reverse=True)
print("modules: %d; include cycles: %s" % (len(nodes), ", ".join(str(len(c)) for c in cycles) or "none"))
for c in cycles:
    print("  cycle of %d: %s" % (len(c), " ".join(c)))
afx_up = sorted("%s -> %s" % (v, w) for v in edges if v.startswith("afx/") for w in edges[v] if not w.startswith("afx/"))
print("afx/ includes from above it: %s" % (", ".join(afx_up) or "nothing"))

largest = max(files, key=lambda p: len(files[p]))
print("largest file: %s, %d lines" % (largest, len(files[largest])))
longest, where = 0, ""
for path, lines in files.items():
    start = None
    for number, line in enumerate(lines):
        if start is None and re.match(r"^\S.*\)\s*(const\s*)?(override\s*)?\{$", line):
            start = number
        elif start is not None and line == "}":
            if number - start + 1 > longest:
                longest, where = number - start + 1, "%s:%d" % (path, start + 1)
            start = None
print("longest function: %s, %d lines" % (where, longest))
