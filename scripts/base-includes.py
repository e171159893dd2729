#!/usr/bin/env python3
"""Prints which base/ units include which, and any cycles among them. A unit
is a class's files: Foo.h, Foo.cpp, win32/Foo.cpp, posix/Foo.cpp, and its
operating-system header (FooPlatform.h; RegistryStore.h and RegistryRoot.h
for Registry). Edges come from the #include "base/..." lines.
Usage: scripts/base-includes.py [--dot] [folder, default base/]"""
import os, re, sys

args = [a for a in sys.argv[1:] if not a.startswith("--")]
root = args[0] if args else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "base")
inc = re.compile(r'^\s*#\s*include\s+"base/(?:(?:win32|posix)/)?([A-Za-z0-9_]+)\.h"')

ALIASES = {"RegistryStore": "Registry", "RegistryRoot": "Registry"}

def unit(name):
    if name.endswith("Platform") and len(name) > len("Platform"):
        name = name[: -len("Platform")]
    return ALIASES.get(name, name)

graph = {}
for sub in ("", "win32", "posix"):
    d = os.path.join(root, sub)
    if not os.path.isdir(d):
        continue
    for f in sorted(os.listdir(d)):
        if not f.endswith((".h", ".cpp")):
            continue
        node = unit(os.path.splitext(f)[0])
        deps = graph.setdefault(node, set())
        with open(os.path.join(d, f), encoding="utf-8") as fh:
            for line in fh:
                m = inc.match(line)
                if m and unit(m.group(1)) != node:
                    deps.add(unit(m.group(1)))

def cycles():
    found, index, low, stack, on, n = [], {}, {}, [], set(), [0]
    def visit(v):
        index[v] = low[v] = n[0]; n[0] += 1; stack.append(v); on.add(v)
        for w in graph.get(v, ()):
            if w not in index:
                visit(w); low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            comp = []
            while True:
                w = stack.pop(); on.discard(w); comp.append(w)
                if w == v:
                    break
            if len(comp) > 1:
                found.append(sorted(comp))
    sys.setrecursionlimit(10000)
    for v in sorted(graph):
        if v not in index:
            visit(v)
    return found

if "--dot" in sys.argv:
    print("digraph base {")
    for v in sorted(graph):
        for w in sorted(graph[v]):
            print(f'  "{v}" -> "{w}";')
    print("}")
else:
    for v in sorted(graph):
        print(f"{v} -> {', '.join(sorted(graph[v])) or '-'}")
    cs = cycles()
    print("cycles:", "none" if not cs else "; ".join(" <-> ".join(c) for c in cs))
