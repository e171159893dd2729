#!/usr/bin/env python3
"""Adds up the ctest JUnit files and fuzz results of one test run and prints
the closing line "N passed, N failed" (", N skipped" when there are any).
Exits non-zero when anything failed or nothing ran."""
import glob
import os
import sys
import xml.etree.ElementTree as ET

results, build_failures = sys.argv[1], int(sys.argv[2])
passed = failed = skipped = 0
for path in sorted(glob.glob(os.path.join(results, "*.xml"))):
    name = os.path.basename(path)[:-4]
    p = f = s = 0
    for case in ET.parse(path).getroot().iter("testcase"):
        status = case.get("status", "")
        if case.find("failure") is not None or case.find("error") is not None or status == "fail":
            f += 1
        elif case.find("skipped") is not None or status in ("notrun", "disabled"):
            s += 1
        else:
            p += 1
    print(f"   {name}: {p} passed, {f} failed, {s} skipped")
    passed, failed, skipped = passed + p, failed + f, skipped + s
for path in sorted(glob.glob(os.path.join(results, "*.fuzz"))):
    if open(path).read().strip() == "pass":
        passed += 1
    else:
        failed += 1
failed += build_failures
line = f"{passed} passed, {failed} failed"
if skipped:
    line += f", {skipped} skipped"
print(line)
sys.exit(1 if failed or passed == 0 else 0)
