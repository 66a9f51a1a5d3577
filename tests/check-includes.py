#!/usr/bin/env python3
"""Checks the include graph of the program's code (tests excluded).

Folders are floors: a file may include its own folder and the floors below
it, never one above. Within and across folders, no two units (a header and
its source) may reach each other through includes. Exits 1 on any finding.
"""
import os
import re
import sys

# What each folder may include besides itself. The program's layers run
# app -> browser -> dde -> common and app -> sched -> common; res/resource.h
# holds only resource numbers, so every layer may use it.
ALLOWED = {
    "common": set(),
    "res": set(),
    "dde": {"common", "res"},
    "sched": {"common", "res"},
    "browser": {"dde", "common", "res"},
    "app": {"browser", "dde", "sched", "common", "res"},
    # Tools and benchmarks stand outside the program and may use any layer;
    # benchmarks also reuse the tests' support code.
    "tools": {"app", "browser", "dde", "sched", "common", "res"},
    "bench": {"app", "browser", "dde", "sched", "common", "res", "tools", "tests"},
}
SOURCE = re.compile(r"\.(h|hpp|c|cpp)$")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def folder(path):
    return path.split("/", 1)[0]


def unit(path):
    return os.path.splitext(path)[0]


def program_files(root):
    for top in ALLOWED:
        for base, _, names in os.walk(os.path.join(root, top)):
            for name in names:
                if SOURCE.search(name):
                    yield os.path.relpath(os.path.join(base, name), root).replace(os.sep, "/")


def resolve(root, including, target):
    # Includes are written from the tree's root; a bare name means the
    # including file's own folder.
    if os.path.exists(os.path.join(root, target)):
        return target
    local = os.path.normpath(os.path.join(os.path.dirname(including), target)).replace(os.sep, "/")
    return local if os.path.exists(os.path.join(root, local)) else None


def find_cycle(graph):
    state, stack = {}, []

    def visit(node):
        state[node] = 1
        stack.append(node)
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == 1:
                return stack[stack.index(nxt):] + [nxt]
            if nxt not in state:
                found = visit(nxt)
                if found:
                    return found
        stack.pop()
        state[node] = 2
        return None

    for node in sorted(graph):
        if node not in state:
            found = visit(node)
            if found:
                return found
    return None


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    findings = []
    units = {}
    files = sorted(program_files(root))
    if not files:
        print("no program files found under " + root)
        return 1
    for path in files:
        with open(os.path.join(root, path), encoding="latin-1") as f:
            text = f.read()
        here = folder(path)
        for target in INCLUDE.findall(text):
            resolved = resolve(root, path, target)
            if resolved is None:
                continue  # a system header written with quotes
            there = folder(resolved)
            if there != here and there not in ALLOWED[here]:
                findings.append(f"{path}: includes {resolved} ({here} may not include {there})")
            if unit(resolved) != unit(path):
                units.setdefault(unit(path), set()).add(unit(resolved))
    cycle = find_cycle(units)
    if cycle:
        findings.append("include circle: " + " -> ".join(cycle))
    for line in findings:
        print(line)
    print(f"{len(files)} files checked, {len(findings)} findings")
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
