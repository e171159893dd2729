#!/usr/bin/env python3
"""Checks that a Windows binary stands alone: it is built for the expected
machine, and every DLL it imports is either one of ours (named on the command
line) or a library of Windows itself, never a MinGW runtime DLL (libgcc,
libstdc++, libwinpthread) that a user's machine would not have.

Windows' own libraries are those of the Wine installation for that machine
(--system FOLDER, its i386-windows or x86_64-windows folder), which is an
independent list of what Windows provides; names compare without case.

    check_imports.py --objdump X --machine i386|x86-64 --system FOLDER
                     [--own A.dll,B.dll] BINARY...

Exit 0 when every binary passes; 1 otherwise, naming each stray import.
"""
import argparse
import os
import re
import subprocess
import sys


def read_headers(objdump, binary):
    text = subprocess.run([objdump, "-p", binary], check=True, capture_output=True, text=True).stdout
    m = re.search(r"file format (\S+)", text)
    return (m.group(1) if m else ""), re.findall(r"^\s*DLL Name: (\S+)", text, re.M)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--machine", required=True, choices=["i386", "x86-64"])
    parser.add_argument("--system", required=True)
    parser.add_argument("--own", default="")
    parser.add_argument("binaries", nargs="+")
    args = parser.parse_args()

    system = {name.lower() for name in os.listdir(args.system)}
    if not any(name.endswith(".dll") for name in system):
        print(f"no Windows libraries in {args.system}")
        return 1
    own = {name.lower() for name in args.own.split(",") if name}
    expected_format = "pei-i386" if args.machine == "i386" else "pei-x86-64"
    faults = 0
    for binary in args.binaries:
        fmt, imports = read_headers(args.objdump, binary)
        name = os.path.basename(binary)
        if fmt != expected_format:
            print(f"{name}: file format {fmt or 'unknown'}, expected {expected_format}")
            faults += 1
        for dll in imports:
            low = dll.lower()
            if low in own:
                continue
            if low.startswith("lib") or low not in system:
                print(f"{name}: imports {dll}, which is not a library of Windows")
                faults += 1
        if not imports:
            print(f"{name}: no imports read")
            faults += 1
    if faults == 0:
        print(f"{len(args.binaries)} binaries stand alone")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
