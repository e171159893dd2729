#!/usr/bin/env python3
"""Checks that a DLL exports its marked interface and nothing else.

Reads the DLL's export names (objdump -p), demangles them (c++filt) and
compares each with what the headers mark with the library's export macro:
the classes declared "class MACRO Name" and the functions declared
"MACRO ... name(". Exit 0 when every export belongs to something marked and
the marked functions are there; 1 otherwise, listing the strays.

    check_exports.py --objdump X [--cxxfilt Y] --dll TCBase.dll --macro TCBASE_API FOLDER...

Headers are read from each FOLDER and the folders below it.
"""
import argparse
import os
import re
import subprocess
import sys


def exported_names(objdump, dll):
    text = subprocess.run([objdump, "-p", dll], check=True, capture_output=True, text=True).stdout
    names, in_table = [], False
    for line in text.splitlines():
        if line.startswith("[Ordinal/Name Pointer] Table"):
            in_table = True
            continue
        if in_table:
            m = re.match(r"\s*\[\s*\d+\]\s+(\S+)", line)
            if not m:
                break
            names.append(m.group(1))
    return names


def demangle(cxxfilt, names):
    # The 32-bit build decorates stdcall names (Name@8); c++filt reads them
    # without the decoration.
    plain = [re.sub(r"@\d+$", "", n) for n in names]
    out = subprocess.run([cxxfilt], input="\n".join(plain), check=True, capture_output=True,
                         text=True).stdout.splitlines()
    return dict(zip(names, out))


def marked(macro, headers):
    classes, functions = set(), set()
    namespace = None
    for path in headers:
        for line in open(path, encoding="utf-8"):
            m = re.match(r"namespace (\w+) \{", line)
            if m:
                namespace = m.group(1)
            elif line.startswith("} // namespace"):
                namespace = None
            m = re.match(r"(?:class|struct) %s (\w+)" % macro, line)
            if m:
                classes.add(m.group(1))
                continue
            m = re.match(r"(?:extern )?%s (.*)" % macro, line)
            if m:
                declaration = m.group(1)
                if "(" in declaration:
                    before = declaration[:declaration.index("(")]
                    at = before.find("operator")
                    name = before[at:] if at >= 0 else before.split()[-1]
                else:
                    name = declaration.rstrip(";").split()[-1]
                functions.add(f"{namespace}::{name}" if namespace else name)
    return classes, functions


def owner(demangled):
    """The class or function an exported symbol belongs to."""
    for prefix in ("vtable for ", "typeinfo for ", "typeinfo name for "):
        if demangled.startswith(prefix):
            return demangled[len(prefix):], None
    m = re.match(r"(operator\W+?)\(", demangled)
    if m:
        return m.group(1), m.group(1)
    # Cut the parameter list and template arguments off the qualified name.
    depth, end = 0, len(demangled)
    for i, c in enumerate(demangled):
        if c == "<":
            depth += 1
        elif c == ">":
            depth -= 1
        elif c == "(" and depth == 0:
            end = i
            break
    name = re.sub(r"\[abi:\w+\]", "", demangled[:end]).split(" ")[-1]
    return name.split("::")[0], name


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--cxxfilt", default="c++filt")
    parser.add_argument("--dll", required=True)
    parser.add_argument("--macro", required=True)
    parser.add_argument("folders", nargs="+")
    args = parser.parse_args()

    headers = sorted(os.path.join(top, name)
                     for folder in args.folders for top, _, names in os.walk(folder)
                     for name in names if name.endswith(".h"))
    classes, functions = marked(args.macro, headers)
    names = exported_names(args.objdump, args.dll)
    strays, seen = [], set()
    for raw, demangled in demangle(args.cxxfilt, names).items():
        scope, full = owner(demangled)
        if scope in classes:
            seen.add(scope)
        elif scope.startswith("std::") and demangled.startswith("typeinfo"):
            # GCC exports the type information of the standard exceptions
            # that a DLL throws along with the DLL's own classes.
            pass
        elif full in functions:
            seen.add(full)
        else:
            strays.append(demangled)
    missing = sorted((classes | functions) - seen)
    print(f"{args.dll}: {len(names)} exports, {len(classes)} marked classes, "
          f"{len(functions)} marked functions")
    for s in strays:
        print(f"  exported but not marked: {s}")
    # A marked class of inline members only exports nothing; that is fine.
    # Marked functions must be there.
    missing_functions = [m for m in missing if m in functions]
    for m in missing_functions:
        print(f"  marked but not exported: {m}")
    if not names:
        print("  no exports at all")
    return 1 if strays or missing_functions or not names else 0


if __name__ == "__main__":
    sys.exit(main())
