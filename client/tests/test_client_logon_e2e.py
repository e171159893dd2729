"""The client program itself under the emulator against the reference server
on the loopback: with the hello servers and a saved sign-in in the registry
it logs on by itself, and what the user has in front (a helper window) is
recorded in the server's database under that user.

usage: test_client_logon_e2e.py ONDRIVEX SETUP QUILL TCSERVER [EMULATOR...]

SETUP is the helper client_signin_setup; QUILL the window program
mon_win_quill of the monitoring tests.
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', '..', 'tools', 'common'))
import tooltest  # noqa: E402
from tooltest import check  # noqa: E402
import tcserver_run  # noqa: E402

TITLE = 'Ledger 2031 - Quill'
# The whole test stays well inside ctest's time-out (300 s), so that it
# always gets to end the programs it started and to clear the registry: a
# test ended from outside would leave the client running in the Wine session
# and the next copy would refuse to start.
BUDGET = 230


def run(emulator, *args, cwd=None):
    return subprocess.run(list(emulator) + list(args), capture_output=True, timeout=120, cwd=cwd)


def eventually(ready, limit, deadline=None):
    """Polls until ready; the limit only guards against a hang."""
    deadline = min(time.monotonic() + limit, deadline or float('inf'))
    while not ready():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.5)
    return True


def quill_rows(server, user_id):
    return server.rows(
        'SELECT a.context1, a.context2, a.context3, a.file_path, p.file_path, a.machine_id '
        'FROM activity a LEFT JOIN applications p ON a.application_id = p.id '
        'WHERE a.user_id = ?', user_id)


def names_quill(row):
    paths = ' '.join(str(v) for v in row[3:5] if v)
    return 'mon_win_quill' in paths.lower()


def touch(window):
    """The user touches the mouse: the helper window turns each byte on its
    input into a small move sent as input. Without it the session may look
    idle to the client (the last input, from whatever ran in this Wine
    session before, is minutes old), and an idle user's windows are not
    recorded."""
    try:
        window.stdin.write(b'.')
        window.stdin.flush()
    except (OSError, ValueError):
        pass


def end(proc, how=None):
    """Ends a program this test started, however it is doing."""
    if proc is None or proc.poll() is not None:
        return
    if how is not None:
        try:
            how()
        except (OSError, subprocess.SubprocessError):
            pass
    try:
        proc.wait(timeout=30)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def terminated(signum, frame):
    # ctest's or a person's stop: the clean-up below still runs.
    raise SystemExit('stopped by signal %d' % signum)


def main():
    ondrivex, setup, quill, tcserver = sys.argv[1:5]
    tcserver_run.require(tcserver)
    emulator = sys.argv[5:]
    signal.signal(signal.SIGTERM, terminated)
    signal.signal(signal.SIGINT, terminated)
    deadline = time.monotonic() + BUDGET
    with tempfile.TemporaryDirectory() as folder:
        server = tcserver_run.TcServer(tcserver, folder)
        server.start()
        window = client = None
        try:
            # A copy left running in this Wine session (by a run that was
            # killed) would make ours refuse to start: end it first.
            run(emulator, ondrivex, 'stopClient', cwd=folder)
            user_id = server.add_user('ann', 'secret')
            prepared = run(emulator, setup, 'set', str(server.port), 'ann', 'secret')
            check(prepared.returncode == 0, 'the registry is prepared: %r' % prepared.stderr)

            # The client's queue file lands in its working folder.
            client = subprocess.Popen(list(emulator) + [ondrivex], cwd=folder,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

            def activity():
                return server.rows('SELECT COUNT(*) FROM activity WHERE user_id = ?', user_id)[0][0]

            eventually(lambda: activity() > 0 or client.poll() is not None, 150, deadline)
            check(client.poll() is None,
                  'the client keeps running (exit %s; a copy already running refuses a second)'
                  % client.poll())
            check(activity() > 0, 'a status message of the signed-in user reaches the server')
            # The window the user works in; its input stays open so that it
            # stays up. The display is shared with other programs that may
            # take the foreground: the window is opened anew (and so asks
            # for the foreground again) until the client has reported it.
            found = False
            for _ in range(8):
                if found or client.poll() is not None or time.monotonic() >= deadline:
                    break
                if window is not None:
                    window.stdin.close()
                    end(window)
                window = subprocess.Popen(list(emulator) + [quill, TITLE], stdin=subprocess.PIPE,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                touched = [0.0]

                def recorded():
                    if time.monotonic() - touched[0] >= 2:
                        touch(window)
                        touched[0] = time.monotonic()
                    return (any(names_quill(r) for r in quill_rows(server, user_id))
                            or client.poll() is not None)

                # A window change reaches the server once it has settled
                # for ten seconds.
                found = eventually(recorded, 25, deadline)
            rows = quill_rows(server, user_id)
            check(found and any(names_quill(r) for r in rows),
                  'the helper window in front is recorded for ann: %s' % rows)
            check(client.poll() is None, 'the client is still running at the end')
            quills = [r for r in rows if names_quill(r)]
            if quills:
                contexts = [' '.join(str(v) for v in r[0:3]) for r in quills]
                check(any('Ledger 2031' in c for c in contexts),
                      'with its window title as context: %s' % contexts)
            machines = server.rows('SELECT COUNT(*) FROM machines')
            check(machines[0][0] >= 1, 'the machine is known to the server: %s' % machines)
        finally:
            # The client's own way to end another copy of it.
            end(client, lambda: run(emulator, ondrivex, 'stopClient', cwd=folder))
            if window is not None and not window.stdin.closed:
                window.stdin.close()
            end(window)
            cleared = run(emulator, setup, 'clear')
            check(cleared.returncode == 0, 'the registry is cleared again')
            server.stop()
            if tooltest.failures:
                with open(os.path.join(folder, 'server.log'), errors='replace') as log:
                    print('server log (end):\n' + log.read()[-3000:])
    return tooltest.finish()


if __name__ == '__main__':
    sys.exit(main())
