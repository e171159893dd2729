"""Runs `tcmsg queue` on queue files built here byte by byte and checks it.

    test_tcmsg_queue.py CASE TCMSG [EMULATOR...]

CASE is listing, damaged or short. The queue file: a 25,600-byte table of
(offset, length) pairs of 32-bit little-endian integers, oldest first, ended
by the first pair whose offset is 0; then records, each a wire-form message
followed by the SHA-1 digest of its bytes.
"""
import hashlib
import os
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'common'))
from wire import INT, STRING, BYTES, build, canonical  # noqa: E402
from tooltest import Tool, check, finish  # noqa: E402

TABLE = 25600
def record(wire):
    return wire + hashlib.sha1(wire).digest()


def queue_file(records, dead=0, extra_pairs=()):
    """records: byte strings placed one after the other after dead bytes of
    dead space; extra_pairs are appended to the table after theirs."""
    pairs, body, offset = [], b'\xEE' * dead, TABLE + dead
    for r in records:
        pairs.append((offset, len(r)))
        body += r
        offset += len(r)
    pairs += list(extra_pairs)
    table = b''.join(struct.pack('<ii', o, n) for o, n in pairs)
    return table + bytes(TABLE - len(table)) + body, pairs


def state_change(index, state, when):
    return [(INT, 'MsgType', 2), (INT, 'EventTime', when), (INT, 'Index', index), (STRING, 'SystemState', state)]


def app_change(index, description, when):
    return [(INT, 'MsgType', 3), (INT, 'EventTime', when), (INT, 'Index', index),
            (STRING, 'FileDescription', description), (BYTES, 'ApplicationHash', bytes(range(20)))]


def listing(attributes):
    out = ''
    for kind, name, value in canonical(attributes):
        out += name + '=' + (str(len(value)) if kind == BYTES else str(value)) + '\r\n'
    return out


def ctime(seconds):
    return time.strftime('%a %b %e %H:%M:%S %Y', time.gmtime(seconds))


def dump_line(position, attributes):
    values = {name: value for _, name, value in attributes}
    if values['MsgType'] == 2:
        what = 'State Change ' + values['SystemState']
    else:
        what = 'Application Change ' + values['FileDescription']
    return '%d: %s %s\r\n' % (position, ctime(values['EventTime']), what)


def write(folder, name, data):
    path = os.path.join(folder, name)
    with open(path, 'wb') as f:
        f.write(data)
    return path


def messages():
    return [state_change(0, 'Available', 1700000000), app_change(1, 'Text Editor \u00e9', 1700000060),
            state_change(2, 'Meeting', 1700000120)]


def case_listing(tool, folder):
    msgs = messages()
    data, _ = queue_file([record(build(m)) for m in msgs], dead=100)
    path = write(folder, 'system.dat', data)
    before = os.stat(path).st_mtime_ns
    code, out, err = tool.run_bytes('queue', tool.path(path))
    check(code == 0, 'listing: exit code %d, stderr %r' % (code, err))
    check(err == b'', 'listing: stderr %r' % err)
    expected = 'Message Queue:\r\n' + ''.join(dump_line(i, m) for i, m in enumerate(msgs))
    expected += ''.join('Message %d:\r\n%s' % (i, listing(m)) for i, m in enumerate(msgs))
    check(out == expected.encode('utf-8'), 'listing differs:\n got      %r\n expected %r' % (out, expected))
    with open(path, 'rb') as f:
        check(f.read() == data, 'listing: the file changed')
    check(os.stat(path).st_mtime_ns == before, 'listing: the file was written')

    # An empty queue: the dump's heading alone.
    path = write(folder, 'empty.dat', bytes(TABLE))
    code, out, err = tool.run_bytes('queue', tool.path(path))
    check((code, out, err) == (0, b'Message Queue:\r\n', b''), 'empty: %d %r %r' % (code, out, err))


def case_damaged(tool, folder):
    msgs = messages() + [state_change(3, 'Phone', 1700000180)]
    records = [record(build(m)) for m in msgs]
    bad = bytearray(records[1])
    bad[20] ^= 0xFF                       # digest no longer matches
    records[1] = bytes(bad)
    records[2] = record(b'\x02' + build(msgs[2])[1:])   # right digest, version 2
    data, pairs = queue_file(records, extra_pairs=[(TABLE + 10 ** 6, 40)])  # past the end of the file
    path = write(folder, 'damaged.dat', data)
    code, out, err = tool.run_bytes('queue', tool.path(path))
    check(code == 0, 'damaged: exit code %d' % code)
    text = err.decode('utf-8', 'replace')
    for position, reason in ((1, 'digest mismatch'), (2, '1050601'), (4, 'past the end')):
        check('entry %d (offset %d' % (position, pairs[position][0]) in text and reason in text,
              'damaged: stderr lacks entry %d (%s): %r' % (position, reason, text))
    kept = [(0, msgs[0]), (3, msgs[3])]
    expected = 'Message Queue:\r\n' + ''.join(dump_line(i, m) for i, m in kept)
    expected += ''.join('Message %d:\r\n%s' % (i, listing(m)) for i, m in kept)
    check(out == expected.encode('utf-8'), 'damaged differs:\n got      %r\n expected %r' % (out, expected))
    with open(path, 'rb') as f:
        check(f.read() == data, 'damaged: the file changed')


def case_short(tool, folder):
    for size in (0, 100, TABLE - 1):
        path = write(folder, 'short%d.dat' % size, b'\x01' * size)
        code, out, err = tool.run_bytes('queue', tool.path(path))
        check(code == 2, 'short %d: exit code %d' % (size, code))
        check(out == b'', 'short %d: stdout %r' % (size, out))
        check(b'not a message queue' in err, 'short %d: stderr %r' % (size, err))
        check(os.path.getsize(path) == size, 'short %d: the file changed' % size)


def main():
    case, exe, emulator = sys.argv[1], sys.argv[2], sys.argv[3:]
    os.environ['TZ'] = 'UTC'
    tool = Tool(exe, emulator)
    with tempfile.TemporaryDirectory(prefix='tcmsg-queue-') as folder:
        {'listing': case_listing, 'damaged': case_damaged, 'short': case_short}[case](tool, folder)
    return finish()


if __name__ == '__main__':
    sys.exit(main())
