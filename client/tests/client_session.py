"""What the client's window test keeps aside and the helper it works the
windows with: the client's registry keys (exported, cleared for the run and
put back with reg.exe, the machine's key in the 32-bit view the client
reads), the client's queue file of unsent messages, and the driver program
client_ui_driver, spoken to one command a line."""
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', '..', 'tools', 'common'))
import tooltest  # noqa: E402

KEYS = [r'HKEY_LOCAL_MACHINE\Software\Ondrivex', r'HKEY_CURRENT_USER\Software\Ondrivex']


class Registry:
    """The client's keys, saved before the run and put back after it."""

    def __init__(self, emulator, folder):
        self.emulator = list(emulator)
        self.folder = folder
        self.saved = {}

    def run(self, *args):
        # The client reads the machine's keys in the 32-bit view in both
        # builds (base/win32/Registry.cpp); the user's are the same in both.
        return subprocess.run(self.emulator + ['reg'] + list(args) + ['/reg:32'],
                              capture_output=True, timeout=60)

    def save(self):
        for n, key in enumerate(KEYS):
            path = os.path.join(self.folder, 'saved%d.reg' % n)
            exported = self.run('export', key, tooltest.windows_path(path), '/y')
            self.saved[key] = path if exported.returncode == 0 else None

    def clear(self):
        for key in KEYS:
            self.run('delete', key, '/f')
        return all(self.run('query', key).returncode != 0 for key in KEYS)

    def load(self, text):
        path = os.path.join(self.folder, 'prepared.reg')
        with open(path, 'w', newline='\r\n') as f:
            f.write(text)
        # reg.exe now and then fails to open a file just written: a few tries.
        for _ in range(3):
            if self.run('import', tooltest.windows_path(path)).returncode == 0:
                return True
            time.sleep(1)
        return False

    def restore(self):
        ok = self.clear()
        for key, path in self.saved.items():
            if path is not None:
                ok = self.run('import', tooltest.windows_path(path)).returncode == 0 and ok
        return ok


class QueueFile:
    """The client's queue of messages not yet sent (%TEMP%\\Ondrivex\\system.dat
    of the Wine session): put aside for the run, so that what an earlier
    client left unsent is not posted under this run's user, and put back."""

    def __init__(self, emulator, folder):
        temp = subprocess.run(list(emulator) + ['cmd', '/c', 'echo %TEMP%'], capture_output=True,
                              text=True, timeout=60).stdout.strip()
        prefix = os.environ.get('WINEPREFIX') or os.path.join(HERE, '..', '..', 'build',
                                                              'wineprefix')
        self.path = None
        if len(temp) > 2 and temp[1] == ':' and temp[0].upper() == 'C':
            self.path = os.path.join(prefix, 'drive_c', *temp[3:].split('\\'),
                                     'Ondrivex', 'system.dat')
        self.kept = os.path.join(folder, 'system.dat')
        self.moved = False

    def aside(self):
        if self.path and os.path.exists(self.path):
            os.replace(self.path, self.kept)
            self.moved = True
        return self.path is not None

    def restore(self):
        if self.path and os.path.exists(self.path):
            os.remove(self.path)
        if self.moved:
            os.replace(self.kept, self.path)


class Driver:
    """The helper that works the client's windows, one command at a time."""

    def __init__(self, emulator, exe):
        self.proc = subprocess.Popen(list(emulator) + [exe], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     text=True, encoding='utf-8')

    def ask(self, command):
        self.proc.stdin.write(command + '\n')
        self.proc.stdin.flush()
        line = self.proc.stdout.readline().rstrip('\n')
        fields = line.split('\t')
        if not line.startswith('ok'):
            print('driver: %s -> %s' % (command, line))
            return None
        return fields[1:]

    def controls(self, command='view'):
        """{id: text} of the view on show (or of a dialog, or the menu)."""
        fields = self.ask(command)
        if fields is None:
            return {}
        out = {}
        for f in fields:
            key, _, value = f.partition('=')
            out[int(key)] = value
        return out

    def close(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write('quit\n')
                self.proc.stdin.close()
                self.proc.wait(timeout=30)
            except (OSError, subprocess.TimeoutExpired):
                self.proc.kill()
                self.proc.wait()
