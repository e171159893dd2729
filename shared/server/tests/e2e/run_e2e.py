"""The client's transport and logon services (the EndToEnd tests of the
server test program, under Wine for Windows builds) against the reference
server running natively on the loopback. Starts the server with an account,
runs one scenario of the test program with the server's address in the
environment, and then reads the server's database with Python's own SQLite
module against what the client wrote down that it sent.

usage: run_e2e.py SCENARIO TESTS_EXE TCSERVER [EMULATOR...]
Exit 77 (skipped) when the native build's tcserver is absent.
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', '..', '..', '..', 'tools', 'common'))
import tcserver_run  # noqa: E402
import tooltest  # noqa: E402
from tooltest import check  # noqa: E402

USER, PASSWORD = 'E2E.User', 'e2e password'
TESTS = {
    'stream': 'EndToEndTest.MessagesOnlineOfflineAndAcrossLostRepliesAreStoredOnceWithTheirTime',
    'suspended': 'EndToEndTest.SuspendedAccountIsRefused',
    'tooold': 'EndToEndTest.TooOldClientIsRefused',
    'wrongkey': 'EndToEndTest.UpdateUnderTheWrongKeyIsASecureSessionFailure',
    'events': 'EndToEndTest.DeviceEventsOf404ARefusedConnectionAndAnOversizedMessage',
    'proxy': 'EndToEndTest.HelloThroughARealProxy',
    'latency': 'EndToEndTest.DISABLED_LatencyFromStatusToStoredRow',  # by hand
}


def free_port(host='127.0.0.1'):
    s = socket.socket()
    s.bind((host, 0))
    port = s.getsockname()[1]
    s.close()
    return port


def run_tests(exe, emulator, scenario, server, out, proxy=None):
    env = dict(os.environ, TC_E2E_SERVER='%s:%d' % (server.host, server.port),
               TC_E2E_CONTROL=str(server.control), TC_E2E_USER=USER, TC_E2E_PASSWORD=PASSWORD,
               TC_E2E_OUT=tooltest.windows_path(out) if emulator else out)
    if proxy:
        env['TC_E2E_PROXY'] = proxy
    result = subprocess.run(emulator + [exe, '--gtest_filter=' + TESTS[scenario],
                                        '--gtest_also_run_disabled_tests'], env=env,
                            capture_output=True, text=True, timeout=280)
    for line in result.stdout.splitlines():
        if line.startswith('latency'):
            print(line)
    passed = result.returncode == 0 and '[  PASSED  ] 1 test' in result.stdout
    check(passed, 'the client side of %s passes:\n%s\n%s' % (scenario, result.stdout[-20000:],
                                                             result.stderr[-2000:]))


def sent(out):
    lines = open(out).read().split() if os.path.exists(out) else []
    return [(lines[i], int(lines[i + 1]), lines[i + 2]) for i in range(0, len(lines), 3)]


def check_rows(server, out, user_id):
    messages = sent(out)
    check(len(messages) == 12, 'the client wrote down 12 messages: %d' % len(messages))
    for tag, created, how in messages:
        rows = server.rows('SELECT user_id, machine_id, event_time, event_time_delta, msg_type, '
                           'application_id, context1, context2, context3 FROM activity '
                           'WHERE context1 = ?', tag)
        check(len(rows) == 1, '%s stored once: %d rows' % (tag, len(rows)))
        if not rows:
            continue
        user, machine, event_time, delta, msg_type, app, c1, c2, c3 = rows[0]
        check(user == user_id, '%s: the user %s' % (tag, user))
        check(machine is not None, '%s: a machine' % tag)
        check(app is not None, '%s: an application' % tag)
        check(msg_type == 3, '%s: an application change' % tag)
        check(c2 == 'document of ' + tag and c3 == 'Unspecified', '%s: context strings' % tag)
        check(abs(event_time - created) <= 2,
              '%s: its true time %d, stored %d' % (tag, created, event_time))
        if how == 'queued':
            check(delta is not None and delta >= 3, '%s: queued, its age %s' % (tag, delta))
    machines = server.rows('SELECT name, domain FROM machines')
    check(('E2EPC', 'E2EDOM') in machines, 'the machine by name and domain: %s' % machines)
    apps = server.rows('SELECT file_path, file_description, icon FROM applications')
    check(any(a[0] == 'C:\\Tools\\editor.exe' and a[1] == 'Editor' for a in apps),
          'the application with its version fields: %s' % [a[:2] for a in apps])
    check(all(a[2] is None or len(a[2]) == 0 or a[2] == b'icon bytes' for a in apps),
          'no icon other than the one sent')


def main():
    scenario, exe, tcserver = sys.argv[1:4]
    emulator = sys.argv[4:]
    tcserver_run.require(tcserver)
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, 'sent.txt')
        args = []
        host = '127.0.0.1'
        if scenario == 'tooold':
            args = ['--min-client-version', '2.0']
        if scenario == 'proxy':
            # tinyproxy turns away requests for the address it listens on.
            host = '127.0.0.2'
            args = ['--host', host]
        server = tcserver_run.TcServer(tcserver, folder, *args)
        user_id = server.add_user(USER, PASSWORD)
        if scenario == 'suspended':
            server.tool('user', 'suspend', USER)
        server.host = host
        proxy_proc = None
        try:
            server.start(port=free_port(host))
            proxy = None
            if scenario == 'proxy':
                if not shutil.which('tinyproxy'):
                    print('SKIP: tinyproxy is not installed (scripts/setup.sh installs it)')
                    return tcserver_run.SKIP
                proxy_port = free_port()
                conf = os.path.join(folder, 'tinyproxy.conf')
                with open(conf, 'w') as f:
                    f.write('Port %d\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\n'
                            'MaxClients 8\nLogFile "%s"\nLogLevel Info\n'
                            % (proxy_port, os.path.join(folder, 'tinyproxy.log')))
                proxy_proc = subprocess.Popen(['tinyproxy', '-d', '-c', conf],
                                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                for _ in range(200):
                    try:
                        socket.create_connection(('127.0.0.1', proxy_port), timeout=1).close()
                        break
                    except OSError:
                        import time
                        time.sleep(0.05)
                proxy = '127.0.0.1:%d' % proxy_port
            run_tests(exe, emulator, scenario, server, out, proxy)
            if scenario == 'stream':
                check_rows(server, out, user_id)
            if scenario == 'proxy':
                log = open(os.path.join(folder, 'tinyproxy.log')).read()
                check('/Hello' in log or 'POST' in log, 'tinyproxy carried the requests: ' + log[-500:])
        finally:
            server.stop()
            if proxy_proc:
                proxy_proc.terminate()
                proxy_proc.wait(timeout=10)
    return tooltest.finish()


if __name__ == '__main__':
    sys.exit(main())
