"""Runs `tcwatch` beside a window program and checks what it prints.

    test_tcwatch.py CASE TCWATCH WINDOW_PROGRAM EMULATOR...

CASE is watch, events or usage. The window program (mon_win_quill) opens a
window with the title it is given and takes the foreground; each byte written
to its standard input is a small mouse move sent as the user's input, and it
ends when its standard input closes.
"""
import os
import subprocess
import sys
import tempfile
import threading
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
    check(not [line for line in lines if '\tevent\t' in line or '\tserver\t' in line],
          'no announcements or server messages without --events and --server: %r' % lines)
    ours = [line.split('\t') for line in lines if 'Watched %d.txt' % os.getpid() in line]
    check(len(ours) == 1, 'one line for the unchanged window, got %r' % lines)
    if ours:
        fields = ours[0]
        check(len(fields) == 6, 'six tab-separated fields: %r' % fields)
        check(len(fields[0]) == 19 and fields[0][4] == '/' and fields[0][13] == ':', 'time: %r' % fields[0])
        check(fields[1].lower().endswith('\\mon_win_quill.exe'), 'executable: %r' % fields[1])
        check(fields[2:] == ['SecondClass', '', 'Watched %d.txt' % os.getpid(), 'Writing'],
              'report: %r' % fields[2:])


class Nudger:
    """Keeps the user active: a byte to the window program every half second,
    each a mouse move sent as input, so that the idle monitor (three minutes
    without input on a display nobody touches) stays quiet."""

    def __init__(self, window):
        self.window = window
        self.stopped = threading.Event()
        self.thread = threading.Thread(target=self.run)

    def run(self):
        while not self.stopped.is_set():
            try:
                self.window.stdin.write(b'.')
                self.window.stdin.flush()
            except OSError:
                return
            self.stopped.wait(0.5)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stopped.set()
        self.thread.join()


def listing_blocks(lines):
    """The --server blocks: (header fields, {name: value}) in order."""
    blocks = []
    for line in lines:
        fields = line.split('\t')
        if len(fields) == 3 and fields[1] == 'server':
            blocks.append((fields, {}))
        elif blocks and '\t' not in line and '=' in line:
            name, value = line.split('=', 1)
            blocks[-1][1][name] = value
    return blocks


def case_events(tool, helper, emulator, folder):
    rules = os.path.join(folder, 'ApplicationRules.txt')
    with open(rules, 'w', encoding='utf-8') as f:
        f.write('[QUILLPAD.EXE]\nACTIVITY="Writing"\nSTRING1_EMPTY="-"\nSTRING2_DELETE_AFTER=" - QuillPad"\n')
    document = 'Events %d.txt' % os.getpid()
    window = subprocess.Popen(emulator + [helper, document + ' - QuillPad'], stdin=subprocess.PIPE)
    try:
        with Nudger(window):
            time.sleep(3)  # the window program starts and takes the foreground
            # The delayed change follows the first report (at 1 s) by 10 s.
            result = subprocess.run(emulator + [tool, '--seconds', '16', '--events', '--server',
                                                '--rules', windows_path(rules)],
                                    capture_output=True, timeout=100)
    finally:
        window.stdin.close()
        window.wait(timeout=60)
    check(result.returncode == 0, 'exit code %d, stderr %r' % (result.returncode, result.stderr))
    lines = result.stdout.decode('utf-8').splitlines()
    events = [line.split('\t')[2] for line in lines if line.count('\t') == 2 and line.split('\t')[1] == 'event']
    check(events[:3] == ['onWindowChange', 'onContextInfoChange', 'onDelayedSystemChange'],
          'announced: the backup check\'s window change, the first report, the settled change: %r' % lines)
    check('onUserIdle' not in events and 'onPCLock' not in events,
          'an active user at an unlocked desktop: %r' % events)
    blocks = listing_blocks(lines)
    check(len(blocks) == 1, 'one message for the server, after the settled change: %r' % lines)
    if not blocks:
        return
    header, attributes = blocks[0]
    check(header[2] == 'APPLICATION_CHANGE', 'type: %r' % header)
    server_line = lines.index('\t'.join(header))
    delayed_line = [i for i, line in enumerate(lines) if line.endswith('\tevent\tonDelayedSystemChange')]
    check(delayed_line and delayed_line[0] < server_line, 'the message follows the settled change')
    expected = {
        'MsgType': '3', 'UserID': '-1', 'TavelUsername': '', 'EmailAddress': '',
        'ContextString1': '', 'ContextString2': document, 'ContextString3': 'Writing',
        'OriginalFilename': 'QuillPad.exe', 'FileDescription': 'QuillPad Writer',
        'InternalName': 'quillpad', 'FileVersion': '3.1.4.1', 'ProductName': 'QuillPad',
        'ProductVersion': '3.1', 'CompanyName': 'Quill Software Ltd',
    }
    for name, value in expected.items():
        check(attributes.get(name) == value, '%s: %r, expected %r' % (name, attributes.get(name), value))
    check(attributes.get('FilePath', '').lower().endswith('\\mon_win_quill.exe'), 'FilePath: %r' % attributes)
    check(attributes.get('MachineName', '') != '' and 'MachineDomain' in attributes and 'MachineID' not in attributes,
          'a machine without an id is named: %r' % attributes)
    check(int(attributes.get('Icon', '0')) > 0 and int(attributes.get('ApplicationHash', '0')) > 0,
          'icon and hash: %r' % attributes)
    check(sorted(attributes) == sorted(list(expected) + ['FilePath', 'MachineName', 'MachineDomain',
                                                          'Icon', 'ApplicationHash']),
          'nothing else: %r' % sorted(attributes))
    err = result.stderr.decode('utf-8', 'replace')
    check('1060903 Msg To Server:' in err and 'S2:' + document in err, 'the message is traced: %r' % err)


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
