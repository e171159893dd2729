"""tcserver as a separate process, driven by peers that share none of its
code: curl for the fault switches, and a client of the protocol written here
in Python (the wire form built byte by byte, SHA-1 from hashlib, AES from the
openssl command) for the logon and the status rows, read back with Python's
own SQLite module.

usage: test_tcserver.py CASE TCSERVER SOURCE_DIR
"""
import hashlib
import os
import re
import signal
import sqlite3
import struct
import subprocess
import sys
import tempfile
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', '..', 'common'))
sys.path.insert(0, os.path.join(HERE, '..', '..', 'tcmsg', 'tests'))
import tooltest  # noqa: E402
import wire  # noqa: E402
from tooltest import check  # noqa: E402

INT, STRING, BYTES = wire.INT, wire.STRING, wire.BYTES
CHALLENGE_REQUEST, CHALLENGE_RESPONSE = 6, 7
AUTHENTICATION_REQUEST, AUTHENTICATION_RESPONSE = 8, 9
SYSTEM_STATE_CHANGE, UPDATE, ERROR_MSG = 2, 5, 1


def constants(source_dir):
    """The shared salts and IV, as the source declares them."""
    text = open(os.path.join(source_dir, 'shared', 'server', 'SecurityConstants.h')).read()
    values = {}
    for name, body in re.findall(r'const uint8_t (\w+)\[\w+\] = \{([^}]*)\}', text):
        values[name] = bytes(int(x, 16) for x in re.findall(r'0x([0-9A-Fa-f]{2})', body))
    return values


def parse(data):
    """A wire-form message as {name: value} per kind."""
    version, total = struct.unpack_from('<II', data, 0)
    assert version == 1 and total == len(data), 'not a message'
    pos, out, name = 8, {INT: {}, STRING: {}, BYTES: {}}, None
    while pos < len(data):
        tag, length = struct.unpack_from('<II', data, pos)
        value = data[pos + 8: pos + 8 + length]
        pos += 8 + length
        if name is None:
            name = value.decode('utf-16-le')
            continue
        if tag == INT:
            value = struct.unpack('<i', value)[0]
        elif tag == STRING:
            value = value.decode('utf-16-le')
        out[tag][name] = value
        name = None
    return out


def aes(data, key, iv, decrypt=False):
    args = ['openssl', 'enc', '-aes-128-cbc', '-nopad', '-K', key.hex(), '-iv', iv.hex()]
    if decrypt:
        args.append('-d')
    return subprocess.run(args, input=data, capture_output=True, check=True).stdout


class Peer:
    """The client side of the protocol, written from the formats alone."""

    def __init__(self, port, salts):
        self.url = 'http://127.0.0.1:%d' % port
        self.s = salts
        self.key = None
        self.user_id = None

    def post(self, path, body):
        request = urllib.request.Request(self.url + path, data=body, method='POST', headers={
            'User-Agent': 'Tavelin Client/1.0', 'Content-Type': 'application/octet-stream'})
        with urllib.request.urlopen(request, timeout=30) as response:
            return response.status, response.read()

    def submit(self, attributes):
        status, body = self.post('/Tavelin/SubmitMsg', wire.serialise(attributes))
        check(status == 200, 'submit answered %d' % status)
        return parse(body)

    def password_hash(self, password):
        import base64
        digest = hashlib.sha1(password.encode('utf-16-le') + self.s['PasswordSalt']).digest()
        return base64.b64encode(digest)

    def envelope(self, msg_type, attributes, clear):
        plain = wire.serialise([(INT, 'MsgType', msg_type)] + attributes)
        padded = plain + b'\0' * (16 - len(plain) % 16)
        encrypted = aes(padded, self.key, self.s['EnvelopeIV'])
        signature = hashlib.sha1(encrypted + self.key + self.s['SignatureSalt']).digest()
        return [(INT, 'MsgType', msg_type)] + clear + [
            (BYTES, 'EncryptedData', encrypted), (BYTES, 'Signature', signature)]

    def open(self, reply):
        """The plain message of an envelope; None when its signature is wrong."""
        encrypted, signature = reply[BYTES]['EncryptedData'], reply[BYTES]['Signature']
        if hashlib.sha1(encrypted + self.key + self.s['SignatureSalt']).digest() != signature:
            return None
        plain = aes(encrypted, self.key, self.s['EnvelopeIV'], decrypt=True)
        length = struct.unpack_from('<I', plain, 4)[0]
        return parse(plain[:length])

    def log_on(self, name, password):
        reply = self.submit([(INT, 'MsgType', CHALLENGE_REQUEST), (STRING, 'TavelUsername', name.lower()),
                             (STRING, 'EmailAddress', name.lower())])
        check(reply[INT]['MsgType'] == CHALLENGE_RESPONSE, 'challenge answered')
        challenge = reply[BYTES]['ChallengeData']
        check(len(challenge) == 16, 'a 16-byte challenge')
        self.key = hashlib.sha1(self.password_hash(password) + challenge + self.s['SessionKeySalt']).digest()[:16]
        names = [(STRING, 'TavelUsername', name), (STRING, 'EmailAddress', name)]
        reply = self.submit(self.envelope(AUTHENTICATION_REQUEST, names, names))
        if reply[INT]['MsgType'] != AUTHENTICATION_RESPONSE or 'Signature' not in reply[BYTES]:
            return reply
        plain = self.open(reply)
        check(plain is not None, 'the authentication response verifies under the session key')
        check(plain[STRING].get('Result') == 'True', 'Result True')
        self.user_id = plain[INT]['UserID']
        return plain

    def status(self, attributes):
        return self.submit(self.envelope(SYSTEM_STATE_CHANGE, attributes + [(INT, 'UserID', self.user_id)],
                                         [(INT, 'UserID', self.user_id)]))


class Server:
    def __init__(self, exe, folder, *options):
        self.db = os.path.join(folder, 'server.db')
        self.process = subprocess.Popen([exe, '--db', self.db, 'serve', '--port', '0', '--control-port', '0']
                                        + list(options), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        line = self.process.stdout.readline().decode()
        match = re.match(r'tcserver ready port=(\d+) control=(\d+)$', line.strip())
        check(match is not None, 'ready line: %r' % line)
        self.port, self.control = int(match.group(1)), int(match.group(2))

    def fault(self, text):
        return curl('-d', text, 'http://127.0.0.1:%d/fault' % self.control)

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        return self.process.wait(timeout=60)


def curl(*args):
    result = subprocess.run(['curl', '-s', '-w', '\n%{http_code}'] + list(args), capture_output=True,
                            timeout=60)
    out = result.stdout
    body, _, code = out.rpartition(b'\n')
    return result.returncode, int(code or 0), body


def add_user(exe, db, name, password):
    result = subprocess.run([exe, '--db', db, 'user', 'add', name], input=(password + '\n').encode(),
                            capture_output=True, timeout=60)
    check(result.returncode == 0, 'user add %s: %s' % (name, result.stderr))


def case_protocol(exe, source_dir, folder):
    salts = constants(source_dir)
    db = os.path.join(folder, 'server.db')
    add_user(exe, db, 'Alice', 'Correct Horse')
    row = sqlite3.connect(db).execute('SELECT name, password_hash FROM users').fetchone()
    check(row[0] == 'alice', 'names kept in lower case')
    check(row[1].encode() == Peer(0, salts).password_hash('Correct Horse'), 'password hash as the peer makes it')

    server = Server(exe, folder)
    peer = Peer(server.port, salts)
    code, status, body = curl('-A', 'Tavelin Client/1.0', '--data-binary', 'email=alice',
                              'http://127.0.0.1:%d/Hello' % server.port)
    check(status == 200 and body == b'server=http://127.0.0.1:%d/' % server.port, 'hello: %r' % body)

    refused = Peer(server.port, salts).log_on('alice', 'wrong')
    check(refused[INT]['MsgType'] == AUTHENTICATION_RESPONSE and refused[STRING].get('Result') == 'False',
          'a wrong password gets a plain False')
    peer.log_on('Alice', 'Correct Horse')
    check(peer.user_id == 1, 'user id 1')

    reply = peer.status([(STRING, 'SystemState', 'SystemStateLocked'), (INT, 'MachineID', -1),
                         (STRING, 'MachineName', 'DESK-7'), (STRING, 'MachineDomain', 'OFFICE'),
                         (INT, 'EventTimeDelta', 120)])
    check(reply[INT]['MsgType'] == UPDATE, 'the machine named gets an UPDATE')
    update = peer.open(reply)
    check(update is not None and update[INT].get('MachineID', 0) > 0, 'UPDATE carries the machine id')
    rows = sqlite3.connect(server.db).execute(
        'SELECT system_state, machine_id, arrival_time - event_time, event_time_delta FROM activity').fetchall()
    check(rows == [('SystemStateLocked', update[INT]['MachineID'], 120, 120)], 'row: %r' % rows)

    server.fault('wrongkey')
    reply = peer.status([(STRING, 'SystemState', 'SystemStateIdle'), (INT, 'MachineID', -1),
                         (STRING, 'MachineName', 'DESK-7'), (STRING, 'MachineDomain', 'OFFICE')])
    check(reply[INT]['MsgType'] == UPDATE and peer.open(reply) is None, 'wrongkey: the signature fails')
    server.fault('none')

    bad = peer.envelope(SYSTEM_STATE_CHANGE, [(STRING, 'SystemState', 'SystemStateIdle')],
                        [(INT, 'UserID', peer.user_id)])
    bad[-1] = (BYTES, 'Signature', bytes(20))
    reply = peer.submit(bad)
    check(reply[INT]['MsgType'] == ERROR_MSG and reply[STRING]['ErrorType'] == 'VerifyDecryptFailed',
          'a bad signature: VerifyDecryptFailed')
    check(server.stop() == 0, 'SIGTERM ends serve with 0')


def case_faults(exe, source_dir, folder):
    server = Server(exe, folder, '--fault', 'htmlhello')
    base = 'http://127.0.0.1:%d' % server.port
    code, status, body = curl('-d', 'email=x', base + '/Hello')
    check(status == 200 and body.startswith(b'<'), 'htmlhello from the start: %r' % body)
    code, status, body = curl('http://127.0.0.1:%d/fault' % server.control)
    check(body == b'htmlhello\n', 'GET /fault lists the switches: %r' % body)
    server.fault('none')
    code, status, body = curl('-d', 'email=x', base + '/Hello')
    check(body.startswith(b'server='), 'hello back to normal')

    check(server.fault('404')[1] == 200, 'switch 404')
    check(curl('-d', 'echo', base + '/Tavelin/Echo')[1] == 404, '404 on echo')
    server.fault('none')

    server.fault('garbage')
    code, status, body = curl('--data-binary', 'x', base + '/Tavelin/SubmitMsg')
    check(status == 200 and len(body) == 64 and body[:4] != b'\x01\0\0\0', 'garbage is no message')
    code, status, body = curl('-d', 'email=x', base + '/Hello')
    check(not body.startswith(b'<') and b'server=' not in body, 'garbage is no hello text')
    server.fault('none')

    # A reply held 4 s does not come within a 1 s limit, and comes without one.
    server.fault('slow=4000')
    code, status, body = curl('--max-time', '1', '-d', 'echo', base + '/Tavelin/Echo')
    check(code == 28, 'slow: curl timed out (exit %d)' % code)
    server.fault('slow=300')
    code, status, body = curl('-d', 'echo', base + '/Tavelin/Echo')
    check(code == 0 and status == 200, 'slow: answered in the end')
    server.fault('none')

    server.fault('refuse')
    code, status, body = curl('-d', 'echo', base + '/Tavelin/Echo')
    check(code == 7, 'refuse: connection refused (curl exit %d)' % code)
    server.fault('none')
    check(curl('-d', 'echo', base + '/Tavelin/Echo')[1] == 200, 'listening again after none')

    check(server.fault('sideways')[1] == 400, 'an unknown switch is refused')
    check(server.stop() == 0, 'SIGTERM ends serve with 0')


def case_usage(exe, source_dir, folder):
    result = subprocess.run([exe, 'serve', '--fault', 'sideways'], capture_output=True, timeout=60)
    check(result.returncode == 1 and b'unknown fault' in result.stderr, 'serve refuses an unknown fault')
    result = subprocess.run([exe], capture_output=True, timeout=60)
    check(result.returncode == 1 and b'usage' in result.stderr, 'no command: usage')


def main():
    case, exe, source_dir = sys.argv[1], sys.argv[2], sys.argv[3]
    with tempfile.TemporaryDirectory() as folder:
        globals()['case_' + case](exe, source_dir, folder)
    return tooltest.finish()


if __name__ == '__main__':
    sys.exit(main())
