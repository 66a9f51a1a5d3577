#!/usr/bin/env python3
"""The tree's lint, as the test command runs it.

  lint.py format [--fix]      every C++ file against .clang-format
  lint.py tidy BUILD [SKIP]   .clang-tidy over the program's files that BUILD's
                              compile database holds, less those of SKIP's

Exits 1 on any finding. tests/ is formatted but not linted: its macros are
GoogleTest's.
"""
import json
import os
import re
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAM = re.compile(r"^(app|sched|browser|dde|common|tools)/")


def tool(name):
    for candidate in (name, name + "-14"):
        if shutil.which(candidate):
            return candidate
    sys.exit(f"{name} not found (Debian package clang-format or clang-tidy)")


def sources():
    if os.path.exists(os.path.join(ROOT, ".git")):
        out = subprocess.run(["git", "ls-files", "*.cpp", "*.h"], cwd=ROOT, capture_output=True, text=True, check=True)
        return [f for f in out.stdout.split() if os.path.exists(os.path.join(ROOT, f))]
    found = []
    for base, _, names in os.walk(ROOT):
        if "/build" in base[len(ROOT):] or "/." in base[len(ROOT):]:
            continue
        found += [os.path.relpath(os.path.join(base, n), ROOT) for n in names if n.endswith((".cpp", ".h"))]
    return sorted(found)


def program_files(build):
    with open(os.path.join(build, "compile_commands.json")) as f:
        entries = json.load(f)
    files = set()
    for entry in entries:
        rel = os.path.relpath(entry["file"], ROOT)
        if PROGRAM.match(rel):
            files.add(rel)
    return files


def cross_includes(build):
    # clang finds the MinGW C library from the driver's name but not the C++
    # headers of the -posix g++; ask that compiler where they are.
    with open(os.path.join(build, "compile_commands.json")) as f:
        entries = json.load(f)
    command = entries[0].get("command") or " ".join(entries[0]["arguments"])
    compiler = command.split()[0]
    if "mingw32" not in compiler:
        return []
    probe = subprocess.run([compiler, "-std=c++20", "-E", "-x", "c++", "-", "-v"], input="", capture_output=True,
                           text=True)
    dirs, inside = [], False
    for line in probe.stderr.splitlines():
        if line.startswith("#include <...>"):
            inside = True
        elif line.startswith("End of search"):
            break
        elif inside and "/include/c++" in line:
            dirs.append(line.strip())
    return [f"-extra-arg=-isystem{d}" for d in dirs]


def format_tree(fix):
    files = sources()
    command = [tool("clang-format")] + (["-i"] if fix else ["--dry-run", "-Werror"]) + files
    status = subprocess.run(command, cwd=ROOT).returncode
    print(f"format: {len(files)} files, {'findings' if status else 'as .clang-format writes them'}")
    return 1 if status else 0


def tidy(build, skip):
    files = program_files(build)
    if skip and os.path.exists(os.path.join(skip, "compile_commands.json")):
        files -= program_files(skip)
    if not files:
        print(f"tidy: no program files in {build}/compile_commands.json")
        return 1
    runner = tool("run-clang-tidy")
    command = [runner, "-quiet", "-j", str(os.cpu_count() or 2), "-p", build] + cross_includes(build)
    # GCC's optimisation flags that clang lacks (-ffat-lto-objects) change
    # nothing that the checks see; -Werror would make the warning an error.
    command += ["-extra-arg=-Wno-ignored-optimization-argument"]
    command += ["^" + re.escape(os.path.join(ROOT, f)) + "$" for f in sorted(files)]
    result = subprocess.run(command, cwd=ROOT, capture_output=True, text=True)
    plain = re.sub(r"\x1b\[[0-9;]*m", "", result.stdout)  # run-clang-tidy always asks for colour
    findings = [line for line in plain.splitlines() if re.search(r": (warning|error):", line)]
    for line in sorted(set(findings)):
        print(line)
    print(f"tidy: {len(files)} files, {len(set(findings))} findings")
    return 1 if findings or result.returncode else 0


def main(argv):
    if len(argv) >= 1 and argv[0] == "format":
        return format_tree("--fix" in argv[1:])
    if len(argv) >= 2 and argv[0] == "tidy":
        return tidy(os.path.abspath(argv[1]), os.path.abspath(argv[2]) if len(argv) > 2 else None)
    print(__doc__.strip(), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
