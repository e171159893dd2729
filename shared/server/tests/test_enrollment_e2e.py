"""The client's server services under the emulator against the reference
server running natively on the loopback: automatic enrollment (at once, and
with approval), the profile reaching the user's registry, a hostile profile
name ignored, a refused saved sign-in enrolling once.

usage: test_enrollment_e2e.py CASE CLIENT TCSERVER [EMULATOR...]

CLIENT is the helper srv_enroll_client; what it prints is matched line by
line while the test talks to the server between the steps.
"""
import os
import queue
import re
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', '..', '..', 'tools', 'common'))
import tooltest  # noqa: E402
from tooltest import check  # noqa: E402
import tcserver_run  # noqa: E402


class Client:
    """The helper running; its output lines are read on a thread."""

    def __init__(self, exe, emulator, folder, *args):
        env = dict(os.environ, LC_ALL='C.UTF-8')
        self.err = open(os.path.join(folder, 'client.err'), 'wb')
        # The events go to a file of their own that the helper writes
        # through: the emulator passes a program's standard error on only
        # some time after the program has ended (scripts/wine-run), later
        # than a look right after its exit.
        self.events_file = os.path.join(folder, 'client.events')
        events = tooltest.windows_path(self.events_file) if emulator else self.events_file
        self.proc = subprocess.Popen(list(emulator) + [exe] + list(args) + ['--events', events],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self.err,
                                     env=env)
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.proc.stdout:
            self.lines.put(raw.decode('utf-8', 'replace').rstrip('\r\n'))
        self.lines.put(None)

    def expect(self, pattern, limit=60):
        """The first line from now on that matches; None when none comes."""
        deadline = time.monotonic() + limit
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            try:
                line = self.lines.get(timeout=left)
            except queue.Empty:
                return None
            if line is None:
                return None
            self.seen.append(line)
            match = re.search(pattern, line)
            if match:
                return match

    def send(self, command):
        self.proc.stdin.write((command + '\n').encode())
        self.proc.stdin.flush()

    def finish(self):
        try:
            self.send('quit')
        except OSError:
            pass
        try:
            code = self.proc.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            code = self.proc.wait()
        self.err.close()
        return code

    def events(self):
        """The events the helper traced (after finish: all of them)."""
        if not os.path.exists(self.events_file):
            return ''
        with open(self.events_file, 'rb') as f:
            return f.read().decode('utf-8', 'replace')


def eventually(ready, limit=30):
    deadline = time.monotonic() + limit
    while not ready():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.1)
    return True


def org_token(server, *args):
    result = server.tool('org', 'add', *args)
    assert result.returncode == 0, result.stderr
    return result.stdout.strip()


def enrolled_as_user(client, server, what):
    """From the answer with the credentials to a logon of the new account
    that saved its name and sent a status message; the account's name."""
    check(client.expect(r'^enroll Disabled$') is not None, what + ': the enrollment ends: %s' % client.seen)
    user = client.expect(r'^connected (\S+) (\d+)$')
    check(user is not None, what + ': a logon follows: %s' % client.seen)
    if user is None:
        return None
    name, user_id = user.group(1), int(user.group(2))
    check('autoenroll@' not in name, what + ': as the new account, not the organisation: ' + name)
    saved = client.expect(r'^saved (.*)$')
    check(saved is not None and saved.group(1) == name,
          what + ': the new name is the saved sign-in: %s' % (saved and saved.group(1)))
    check(client.expect(r'^reply ') is not None, what + ': the status message is answered')
    rows = server.rows('SELECT COUNT(*) FROM activity WHERE user_id = ? AND system_state = ?',
                       user_id, 'SystemStateLocked')
    check(rows[0][0] == 1, what + ': the status row is stored under the new account: %s' % rows)
    rows = server.rows('SELECT COUNT(*) FROM activity a JOIN users u ON a.user_id = u.id '
                       "WHERE u.name LIKE 'autoenroll@%'")
    check(rows[0][0] == 0, what + ': nothing stored under the organisation account: %s' % rows)
    return name


def enroll(exe, emulator, server, folder):
    token = org_token(server, '42')
    client = Client(exe, emulator, folder, str(server.port), '--org', '42', token)
    try:
        check(client.expect(r'^enroll Waiting$') is not None, 'starts waiting: %s' % client.seen)
        check(client.expect(r'^enroll LoggingOn$', 30) is not None,
              'logs on as the organisation within a tick: %s' % client.seen)
        check(client.expect(r'^connected autoenroll@42\.org \d+$') is not None,
              'the enrollment account is logged on: %s' % client.seen)
        check(client.expect(r'^enroll AwaitingResponse$') is not None, 'the request is sent')
        name = enrolled_as_user(client, server, 'enroll')
        check(client.expect(r'^user-info-sent$', 30) is not None,
              'the directory details go out under the new account: %s' % client.seen)
        rows = server.rows('SELECT state, user_id FROM enrollments')
        check(len(rows) == 1 and rows[0][0] == 'enrolled', 'one enrollment, enrolled: %s' % rows)
        if name:
            # Sent is not yet answered: wait for the row (the limit only
            # guards against a hang).
            users = server.rows('SELECT id FROM users WHERE name = ?', name.lower())
            check(eventually(lambda: server.rows(
                'SELECT COUNT(*) FROM user_details WHERE user_id = ?', users[0][0])[0][0] == 1),
                'the server stored the details under the new account')
    finally:
        code = client.finish()
    check(code == 0, 'the client ends cleanly (%d)' % code)
    events = client.events()
    for event in ('1063702 ', '1063703 ', '1063707 '):
        check(event in events, 'traced ' + event)


def pending(exe, emulator, server, folder):
    token = org_token(server, '43', '--approval')
    client = Client(exe, emulator, folder, str(server.port), '--org', '43', token)
    try:
        check(client.expect(r'^enroll Pending$', 40) is not None,
              'the first answer is pending: %s' % client.seen)
        check(client.expect(r'^status NotConnected') is not None, 'the enrollment session is closed')
        # Five minutes pass: asked again under a new logon, still pending.
        client.send('tick')
        check(client.expect(r'^enroll LoggingOn$') is not None, 'logs on again: %s' % client.seen)
        check(client.expect(r'^enroll AwaitingResponse$') is not None, 'asks again')
        check(client.expect(r'^enroll Pending$') is not None, 'still pending: %s' % client.seen)
        rows = server.rows('SELECT id, state FROM enrollments')
        check(len(rows) == 1 and rows[0][1] == 'pending', 'one pending enrollment: %s' % rows)
        approve = server.tool('enroll', 'approve', str(rows[0][0]))
        check(approve.returncode == 0, 'approved: ' + approve.stderr)
        client.send('tick')
        check(client.expect(r'^enroll LoggingOn$') is not None, 'the next re-send: %s' % client.seen)
        enrolled_as_user(client, server, 'pending')
        rows = server.rows('SELECT state FROM enrollments')
        check(rows == [('enrolled',)], 'enrolled after approval: %s' % rows)
    finally:
        code = client.finish()
    check(code == 0, 'the client ends cleanly (%d)' % code)
    events = client.events()
    check(events.count('1063705 ') == 2, 'pending traced twice')


def profile(exe, emulator, server, folder):
    server.add_user('ann', 'secret')
    for args in (('AllowPhoneOverrideActivity', '1'), ('MaximumMeetingTimeSpan', '45'),
                 ('Sub\\Evil', '1'), ('Username', '--text', 'mallory'),
                 ('Comment', '--text', 'hello')):
        result = server.tool('profile', 'ann', *args)
        check(result.returncode == 0, 'profile setting %s: %s' % (args[0], result.stderr))
    client = Client(exe, emulator, folder, str(server.port), '--user', 'ann', 'secret')
    try:
        check(client.expect(r'^connected ann \d+$', 40) is not None, 'ann logs on: %s' % client.seen)
        change = client.expect(r'^profile-change override=(\d) meeting=(\d+)$')
        check(change is not None, 'the profile arrives: %s' % client.seen)
        if change:
            check(change.group(1) == '1', 'the phone-call override is on for this run')
            check(change.group(2) == '45', 'the longest meeting is 45 minutes')
        values = {}
        for _ in range(5):
            m = client.expect(r'^registry (.+?)=(.*)$')
            if m:
                values[m.group(1)] = m.group(2)
        check(values.get('AllowPhoneOverrideActivity') == '1', 'stored: %s' % values)
        check(values.get('MaximumMeetingTimeSpan') == '45', 'stored: %s' % values)
        check(values.get('Username') == 'ann', 'the saved sign-in is untouched: %s' % values)
        check(values.get('Sub\\Evil') == '-1', 'nothing in a subkey: %s' % values)
        check(values.get('Comment') == '<missing>', 'an unknown text is not stored: %s' % values)
        check(client.expect(r'^next-start override=1$') is not None, 'the next start reads it')
    finally:
        code = client.finish()
    check(code == 0, 'the client ends cleanly (%d)' % code)
    events = client.events()
    ignored = [line for line in events.splitlines() if line.startswith('1063301 ')]
    check(len(ignored) == 1, 'one trace of what was ignored: %s' % ignored)
    if ignored:
        for name in ('"Sub\\Evil"', '"Username" (text)', '"Comment" (text)'):
            check(name in ignored[0], name + ' is named: ' + ignored[0])


def refused(exe, emulator, server, folder):
    """A saved sign-in the server refuses starts one enrollment."""
    server.add_user('ann', 'secret')
    token = org_token(server, '44')
    client = Client(exe, emulator, folder, str(server.port), '--org', '44', token,
                    '--user', 'ann', 'stale')
    try:
        check(client.expect(r'^status ConnectionError AuthenticationFailed$', 40) is not None,
              'the saved password is refused: %s' % client.seen)
        check(client.expect(r'^enroll LoggingOn$', 30) is not None,
              'enrollment starts: %s' % client.seen)
        enrolled_as_user(client, server, 'refused')
    finally:
        code = client.finish()
    check(code == 0, 'the client ends cleanly (%d)' % code)


def main():
    case, exe, tcserver = sys.argv[1:4]
    tcserver_run.require(tcserver)
    emulator = sys.argv[4:]
    with tempfile.TemporaryDirectory() as folder:
        server = tcserver_run.TcServer(tcserver, folder)
        server.start()
        try:
            {'enroll': enroll, 'pending': pending, 'profile': profile,
             'refused': refused}[case](exe, emulator, server, folder)
        finally:
            server.stop()
    return tooltest.finish()


if __name__ == '__main__':
    sys.exit(main())
