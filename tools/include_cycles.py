#!/usr/bin/env python3
"""Prints the include cycles among the program's modules, largest first.

    tools/include_cycles.py [SOURCE_DIR]

A module is a header with its source (app/app.h and app/app.cpp are one). An
include cycle is a strongly connected component of the graph of their
#include "..." lines with more than one module. Also prints the largest file
and the three longest functions.
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

# Functions defined outside any class: from a line that ends in "{" after a
# ")" at namespace level, to the brace that closes it.
functions = []
for path, lines in files.items():
    depth, namespaces, start = 0, 0, None
    for number, line in enumerate(lines):
        code = re.sub(r'"(\\.|[^"\\])*"|\'(\\.|[^\'\\])*\'|//.*', "", line)
        if start is None and depth == namespaces and code.rstrip().endswith("{"):
            if re.match(r"\s*namespace\b", code):
                namespaces += 1
            elif ")" in code and not re.match(r"\s*(class|struct|enum)\b", code):
                start = number
        depth += code.count("{") - code.count("}")
        if start is not None and depth == namespaces:
            functions.append((number - start + 1, "%s:%d" % (path, start + 1)))
            start = None
        namespaces = min(namespaces, depth)
functions.sort(reverse=True)
print("longest functions: %s" % ", ".join("%s (%d lines)" % (where, n) for n, where in functions[:3]))
