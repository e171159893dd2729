"""What the tools' end-to-end tests share: checks that are counted rather
than stopping at the first, the tool run as a separate process (under the
emulator for Windows builds, which sees the Unix folders as drive Z:), and the
script's exit code."""
import os
import subprocess

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print('FAIL: ' + what)


def windows_path(unix_path):
    return 'Z:' + unix_path.replace('/', '\\')


class Tool:
    def __init__(self, exe, emulator):
        self.exe = exe
        self.emulator = list(emulator)

    def path(self, unix_path):
        """A path as the tool sees it."""
        return windows_path(unix_path) if self.emulator else unix_path

    def run_bytes(self, *args):
        env = dict(os.environ, LC_ALL='C.UTF-8')
        result = subprocess.run(self.emulator + [self.exe] + list(args), capture_output=True,
                                env=env, timeout=100)
        return result.returncode, result.stdout, result.stderr

    def run(self, *args):
        code, out, err = self.run_bytes(*args)
        return code, out.decode('utf-8'), err.decode('utf-8')


def finish():
    """The script's exit code: 1 when any check failed."""
    if failures:
        print('%d check(s) failed' % len(failures))
        return 1
    print('ok')
    return 0
