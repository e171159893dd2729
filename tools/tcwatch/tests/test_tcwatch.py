"""Runs `tcwatch` beside a window program and checks what it prints.

    test_tcwatch.py CASE TCWATCH WINDOW_PROGRAM EMULATOR...

CASE is watch or usage. The window program (mon_win_quill) opens a window with
the title it is given and takes the foreground; it ends when its standard
input closes.
"""
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'common'))
from tooltest import bmp_to_png, check, finish, screenshot_folder, windows_path  # noqa: E402

def shared_icon_library(emulator):
    """A file in the client's icon library: %TEMP%\\Ondrivex\\ under Wine."""
    out = subprocess.run(emulator + ['cmd', '/c', 'echo %TEMP%'], capture_output=True, timeout=60).stdout
    temp = out.decode('utf-8', 'replace').strip()
    unix = subprocess.run(['winepath', '-u', temp], capture_output=True, timeout=60).stdout.decode().strip()
    os.makedirs(os.path.join(unix, 'Ondrivex'), exist_ok=True)
    return os.path.join(unix, 'Ondrivex', 'tcwatchkeep%d0001.ico' % os.getpid())


def case_watch(tool, helper, emulator, folder):
    keep = shared_icon_library(emulator)
    with open(keep, 'wb') as f:
        f.write(b'\0\0\1\0\0\0')
    rules = os.path.join(folder, 'ApplicationRules.txt')
    with open(rules, 'w', encoding='utf-8') as f:
        f.write('[QUILLPAD.EXE]\nACTIVITY="Writing"\nSTRING1_EMPTY="-"\nSTRING2_DELETE_AFTER=" - QuillPad"\n')
    title = 'Watched %d.txt - QuillPad' % os.getpid()
    picture = os.path.join(folder, 'watched.bmp')
    window = subprocess.Popen(emulator + [helper, title, windows_path(picture)], stdin=subprocess.PIPE)
    try:
        time.sleep(3)  # the window program starts and takes the foreground
        result = subprocess.run(emulator + [tool, '--seconds', '4', '--rules', windows_path(rules)],
                                capture_output=True, timeout=100)
    finally:
        window.stdin.close()
        window.wait(timeout=60)
    check(result.returncode == 0, 'exit code %d, stderr %r' % (result.returncode, result.stderr))
    # What the watched window looked like, for a person to check.
    png = os.path.join(screenshot_folder(tool), 'tcwatch-watched-window.png')
    check(os.path.exists(picture) and bmp_to_png(picture, png), 'a picture of the watched window')
    check(os.path.exists(keep), 'the client\'s icon library was emptied')
    if os.path.exists(keep):
        os.remove(keep)
    lines = result.stdout.decode('utf-8').splitlines()
    ours = [line.split('\t') for line in lines if 'Watched %d.txt' % os.getpid() in line]
    check(len(ours) == 1, 'one line for the unchanged window, got %r' % lines)
    if ours:
        fields = ours[0]
        check(len(fields) == 6, 'six tab-separated fields: %r' % fields)
        check(len(fields[0]) == 19 and fields[0][4] == '/' and fields[0][13] == ':', 'time: %r' % fields[0])
        check(fields[1].lower().endswith('\\mon_win_quill.exe'), 'executable: %r' % fields[1])
        check(fields[2:] == ['SecondClass', '', 'Watched %d.txt' % os.getpid(), 'Writing'],
              'report: %r' % fields[2:])


def case_usage(tool, helper, emulator, folder):
    for args in (['--seconds'], ['--seconds', 'x'], ['--bogus']):
        result = subprocess.run(emulator + [tool] + args, capture_output=True, timeout=100)
        check(result.returncode == 2, 'usage %r: exit code %d' % (args, result.returncode))
        check(b'usage: tcwatch [--seconds N]' in result.stderr, 'usage %r: stderr %r' % (args, result.stderr))


def main():
    case, tool, helper, emulator = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    with tempfile.TemporaryDirectory() as folder:
        globals()['case_' + case](tool, helper, emulator, folder)
    return finish()


if __name__ == '__main__':
    sys.exit(main())
