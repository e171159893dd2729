"""The reference server as the client's end-to-end tests run it: started on
a free loopback port with its own database and fault-switch port, told what
to do, read back with Python's own SQLite module, stopped at the end."""
import os
import signal
import sqlite3
import subprocess
import sys
import urllib.request

SKIP = 77  # ctest's SKIP_RETURN_CODE for the tests that need the native build


def require(tcserver):
    """Leaves the test as skipped, saying why, when the native build is absent."""
    if not os.path.exists(tcserver):
        print('SKIP: the reference server %s is not built; build the native '
              'configuration first (scripts/test.sh builds it before win32)' % tcserver)
        sys.exit(SKIP)


class TcServer:
    def __init__(self, exe, folder, *args):
        self.exe = exe
        self.db = os.path.join(folder, 'tcserver.db')
        self.folder = folder
        self.args = list(args)
        self.proc = None
        self.port = self.control = None

    def tool(self, *args, stdin=None):
        return subprocess.run([self.exe] + list(args) + ['--db', self.db], input=stdin,
                              capture_output=True, text=True, timeout=30)

    def add_user(self, name, password):
        result = self.tool('user', 'add', name, stdin=password + '\n')
        assert result.returncode == 0, result.stderr
        return int(result.stdout.split()[-1]) if result.stdout.split() else None

    def start(self, port=0):
        self.proc = subprocess.Popen(
            [self.exe, 'serve', '--port', str(port), '--control-port', '0', '--db', self.db]
            + self.args, stdout=subprocess.PIPE, stderr=open(os.path.join(self.folder, 'server.log'), 'a'),
            text=True)
        line = self.proc.stdout.readline()
        assert line.startswith('tcserver ready'), 'tcserver did not start: %r' % line
        fields = dict(f.split('=') for f in line.split()[2:])
        self.port = int(fields['port'])
        self.control = int(fields['control'])
        return self

    def fault(self, switch):
        request = urllib.request.Request('http://127.0.0.1:%d/fault' % self.control,
                                         data=switch.encode(), method='POST')
        with urllib.request.urlopen(request, timeout=10) as reply:
            return reply.read().decode()

    def rows(self, sql, *params):
        with sqlite3.connect(self.db, timeout=10) as db:
            return db.execute(sql, params).fetchall()

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc = None
