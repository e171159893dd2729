"""tcnet under the emulator against the reference server running natively on
the loopback: the hello attempts and echoes, the logon steps, the server's
refusals, and the usage.

usage: test_tcnet.py CASE TCNET TCSERVER [EMULATOR...]
"""
import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', '..', 'common'))
import tooltest  # noqa: E402
from tooltest import check  # noqa: E402
import tcserver_run  # noqa: E402


def hello(tool, server):
    code, out, err = tool.run('hello', '127.0.0.1:%d' % server.port, '--user', 'Ann')
    check(code == 0, 'hello exits 0 (%d): %s %s' % (code, out, err))
    check('hello DIRECT DIRECT: Success' in out, 'the direct attempt succeeds: ' + out)
    check('motd=Welcome' in out, 'the hello answer is shown: ' + out)
    check('submit server 127.0.0.1:%d' % server.port in out, 'the submit server is named')
    check('echo 127.0.0.1:%d DIRECT: Success' % server.port in out, 'the echo answers: ' + out)
    for label in ('HKLM', 'HKCU'):
        check('hello %s: no proxy candidates' % label in out, label + ' is tried: ' + out)

    server.fault('htmlhello')
    code, out, err = tool.run('hello', '127.0.0.1:%d' % server.port)
    check(code == 1, 'a web page is no answer: exit 1 (%d)' % code)
    check('no answer (an empty reply or a web page)' in out, 'said so: ' + out)
    server.fault('none')

    server.fault('404')
    code, out, err = tool.run('hello', '127.0.0.1:%d' % server.port)
    check('ResponseFailure' in out, '404 is a response failure: ' + out)
    server.fault('none')

    server.stop()
    code, out, err = tool.run('hello', '127.0.0.1:%d' % server.port)
    check(code == 1, 'no server: exit 1 (%d)' % code)
    check('hello DIRECT DIRECT: ConnectFailure' in out, 'a refused connection: ' + out)
    code, out, err = tool.run('hello', 'no-such-host.invalid:80')
    check('ResolveFailure' in out, 'an unresolvable name: ' + out)


def logon(tool, server):
    code, out, err = tool.run_input('secret\n', 'logon', '127.0.0.1:%d' % server.port, 'Ann')
    check(code == 0, 'logon exits 0 (%d): %s %s' % (code, out, err))
    check('challenge: 16 bytes' in out, 'the challenge is shown: ' + out)
    check('result: logged on, user id %d' % server.ann in out, 'the user id is shown: ' + out)
    code, out, err = tool.run_input('wrong\n', 'logon', '127.0.0.1:%d' % server.port, 'ann')
    check(code == 1, 'a wrong password: exit 1 (%d)' % code)
    check('the name or password was not accepted' in out, 'said so: ' + out)


def refusals(tool, server):
    server.tool('user', 'suspend', 'ann')
    code, out, err = tool.run_input('secret\n', 'logon', '127.0.0.1:%d' % server.port, 'ann')
    check(code == 1 and 'AccountSuspended' in out, 'a suspended account: ' + out)
    server.tool('user', 'resume', 'ann')
    server.fault('wrongkey')
    code, out, err = tool.run_input('secret\n', 'logon', '127.0.0.1:%d' % server.port, 'ann')
    check(code == 1 and 'does not verify' in out, 'a reply under the wrong key: ' + out)


def usage(tool, server):
    code, out, err = tool.run()
    check(code == 2 and 'usage' in err, 'no arguments: usage')
    code, out, err = tool.run('hello', 'host:notaport')
    check(code == 2, 'a bad port: usage')
    code, out, err = tool.run_input('', 'logon', '127.0.0.1:1', 'ann')
    check(code == 2, 'no password: exit 2')


class Tool(tooltest.Tool):
    def run_input(self, text, *args):
        import subprocess
        env = dict(os.environ, LC_ALL='C.UTF-8')
        result = subprocess.run(self.emulator + [self.exe] + list(args), input=text.encode(),
                                capture_output=True, env=env, timeout=100)
        return result.returncode, result.stdout.decode(), result.stderr.decode()


def main():
    case, exe, tcserver = sys.argv[1:4]
    tcserver_run.require(tcserver)
    tool = Tool(exe, sys.argv[4:])
    with tempfile.TemporaryDirectory() as folder:
        server = tcserver_run.TcServer(tcserver, folder, '--motd', 'Welcome')
        server.ann = server.add_user('ann', 'secret')
        server.start()
        try:
            {'hello': hello, 'logon': logon, 'refusals': refusals, 'usage': usage}[case](tool, server)
        finally:
            server.stop()
    return tooltest.finish()


if __name__ == '__main__':
    sys.exit(main())
