#!/usr/bin/env python3
"""Checks the ".ico" files and version data the product reads from
executables against independent readers.

For each executable (the programs the build made with windres, and programs
of the Wine installation that the project did not build):
  - the icon helper writes the first icon group as an ".ico" file under Wine;
  - "icotool -l" must read it and list exactly what it lists for the group as
    "wrestool -x -t 14" extracts it from the executable;
  - its bytes must equal wrestool's up to the end of its last image (wrestool
    may append a few bytes after that);
  - a file of three images has its first image at offset 54.
For Wine programs with a version resource, the version helper's fields must
equal the strings of the raw resource ("wrestool -x --raw -t 16"), read here
with a parser of this script's own.

Exit 0 when everything agrees, 1 on a difference, 77 when the tools are
missing.
"""
import argparse
import glob
import os
import shutil
import struct
import subprocess
import sys

FIELDS = ['OriginalFilename', 'FileDescription', 'InternalName', 'FileVersion',
          'ProductName', 'ProductVersion', 'CompanyName']
CLEAN = '\\\t/. :;'

failures = []


def fail(message):
    failures.append(message)
    print('FAIL: ' + message)


def windows_path(path):
    return 'Z:' + os.path.abspath(path).replace('/', '\\')


def run(args, **kw):
    return subprocess.run(args, capture_output=True, timeout=120, **kw)


def first_group(exe):
    """The name wrestool gives the first group-icon resource, in directory order."""
    listing = run(['wrestool', '-l', '-t', '14', exe]).stdout.decode('utf-8', 'replace')
    for line in listing.splitlines():
        for part in line.split():
            if part.startswith('--name='):
                return part[len('--name='):].strip("'")
    return None


def icotool_list(path):
    result = run(['icotool', '-l', path])
    if result.returncode != 0:
        return None
    return result.stdout.decode('utf-8', 'replace').replace(path, 'FILE').splitlines()


def check_icon(exe, args, expect_three=False):
    name = os.path.basename(exe)
    label = exe
    out = os.path.join(args.work, name + '.ico')
    ref = os.path.join(args.work, name + '.ref.ico')
    for path in (out, ref):
        if os.path.exists(path):
            os.remove(path)
    group = first_group(exe)
    helper = run([args.run, args.icon_dump, windows_path(exe), windows_path(out)])
    if group is None:
        if helper.returncode != 2 or os.path.exists(out):
            fail(f'{label}: has no icon group, helper gave {helper.returncode}')
        else:
            print(f'ok: {label} has no icon group and none was written')
        return
    if helper.returncode != 0 or not os.path.exists(out):
        fail(f'{name}: icon helper failed ({helper.returncode}): {helper.stdout!r} {helper.stderr[-400:]!r}')
        return
    extracted = run(['wrestool', '-x', '-t', '14', '--name=' + group, exe])
    with open(ref, 'wb') as f:
        f.write(extracted.stdout)
    if extracted.returncode != 0 or not extracted.stdout:
        fail(f'{name}: wrestool could not extract group {group}')
        return

    ours = open(out, 'rb').read()
    theirs = open(ref, 'rb').read()
    mine = icotool_list(out)
    if mine is None:
        fail(f'{name}: icotool cannot read the written file')
        return
    if mine != icotool_list(ref):
        fail(f'{name}: icotool lists {mine} for the written file, {icotool_list(ref)} for the group')
    reserved, kind, count = struct.unpack_from('<HHH', ours, 0)
    if (reserved, kind) != (0, 1) or count != len(mine):
        fail(f'{name}: header {reserved} {kind} {count} for {len(mine)} listed images')
    last_end = 0
    for i in range(count):
        size, offset = struct.unpack_from('<II', ours, 6 + 16 * i + 8)
        last_end = max(last_end, offset + size)
    if last_end != len(ours):
        fail(f'{name}: last image ends at {last_end}, file has {len(ours)} bytes')
    if theirs[:len(ours)] != ours:
        common = min(len(ours), len(theirs))
        at = next((i for i in range(common) if ours[i] != theirs[i]), common)
        fail(f'{name}: bytes differ from wrestool\'s at offset {at} ({len(ours)} against {len(theirs)} bytes)')
    if expect_three:
        first = struct.unpack_from('<I', ours, 6 + 12)[0]
        if count != 3 or first != 54:
            fail(f'{name}: {count} images, first at {first}; expected 3 at 54')
    print(f'ok: {label} group {group}: {count} images, {len(ours)} bytes')


def parse_version(data):
    """{table: {key: value}} and the translations of a VS_VERSIONINFO block."""
    def node(offset, limit):
        length, value_length, kind = struct.unpack_from('<HHH', data, offset)
        end = min(offset + length, limit)
        pos = offset + 6
        key = ''
        while pos + 2 <= end:
            unit = struct.unpack_from('<H', data, pos)[0]
            pos += 2
            if unit == 0:
                break
            key += chr(unit)
        pos = (pos + 3) & ~3
        value = data[pos:pos + (value_length * 2 if kind else value_length)]
        children = (pos + len(value) + 3) & ~3
        return key, kind, value, children, end, length

    def children(offset, limit):
        key, kind, value, pos, end, length = node(offset, limit)
        while pos + 6 <= end:
            child = node(pos, end)
            if child[5] == 0:
                break
            yield pos, child
            pos = (pos + child[5] + 3) & ~3

    tables, translations = {}, []
    for pos, (key, _, _, _, end, _) in children(0, len(data)):
        if key == 'StringFileInfo':
            for tpos, (table, _, _, _, tend, _) in children(pos, end):
                strings = {}
                for _, (skey, _, svalue, _, _, _) in children(tpos, tend):
                    text = svalue.decode('utf-16-le', 'replace')
                    strings[skey] = text.split('\0')[0]
                tables[table.lower()] = strings
        elif key == 'VarFileInfo':
            for _, (vkey, _, vvalue, _, _, _) in children(pos, end):
                if vkey == 'Translation':
                    for i in range(0, len(vvalue) - 3, 4):
                        translations.append(struct.unpack_from('<HH', vvalue, i))
    return tables, translations


def check_version(exe, args):
    name = exe
    raw = run(['wrestool', '-x', '--raw', '-t', '16', exe]).stdout
    if not raw:
        return False
    tables, translations = parse_version(raw)
    if not translations:
        fail(f'{name}: no translation in its version resource')
        return True
    own = '%04x%04x' % translations[0]
    expected = {}
    for key in FIELDS:
        for table in (own, '040904e4', '040904b0'):
            if key in tables.get(table, {}):
                expected[key] = tables[table][key]
                break
    for key in ('OriginalFilename', 'FileDescription', 'InternalName', 'ProductName'):
        if key in expected:
            expected[key] = expected[key].strip(CLEAN)
    missing = [k for k in FIELDS if not expected.get(k)]
    if missing:
        print(f'note: {name} lacks {missing}; only the fields it holds are compared')

    helper = run([args.run, args.version_dump, windows_path(exe)])
    lines = helper.stdout.decode('utf-8', 'replace').splitlines()
    got = dict(line.split('=', 1) for line in lines if '=' in line)
    if helper.returncode != 0 or got.get('Result') != '1':
        fail(f'{name}: version helper failed ({helper.returncode}): {lines}')
        return True
    for key, value in expected.items():
        if value and got.get(key) != value:
            fail(f'{name}: {key} is {got.get(key)!r}, the resource holds {value!r}')
    print(f'ok: {name} version {got.get("FileVersion")!r} "{got.get("FileDescription")}"')
    return True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--run', required=True)
    parser.add_argument('--icon-dump', required=True)
    parser.add_argument('--version-dump', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('--built', action='append', default=[])
    args = parser.parse_args()
    if not shutil.which('icotool') or not shutil.which('wrestool'):
        print('icoutils are not installed')
        return 77
    os.makedirs(args.work, exist_ok=True)

    for exe in args.built:
        check_icon(exe, args, expect_three=os.path.basename(exe).startswith('mon_res_icons'))
        if os.path.basename(exe).startswith('mon_res_us'):
            check_version(exe, args)

    # Programs of the Wine installation: real executables the project did not build.
    wine_programs = []
    for pattern in ('/usr/lib/*/wine/*-windows/regedit.exe', '/usr/lib/*/wine/*-windows/taskmgr.exe',
                    '/usr/lib/wine/*-windows/regedit.exe', '/opt/wine*/lib*/wine/*-windows/regedit.exe'):
        wine_programs += sorted(glob.glob(pattern))
    if not wine_programs:
        fail('no program of the Wine installation found to compare with')
    versions = 0
    for exe in wine_programs:
        check_icon(exe, args)
        if check_version(exe, args):
            versions += 1
    if wine_programs and versions == 0:
        fail('none of the Wine programs has a version resource')

    print(f'{len(failures)} difference(s)')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
