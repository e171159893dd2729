"""Runs `tcmsg decode` on messages built here and checks its output.

    test_tcmsg.py CASE TCMSG [EMULATOR...]

CASE is listing, malformed or usage. With an emulator (Wine for the Windows
builds) file names are handed over as Windows paths on drive Z:.
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'common'))
from wire import INT, STRING, BYTES, build, canonical, element, i32, message, utf16  # noqa: E402
from tooltest import Tool, check, finish  # noqa: E402

def expected_listing(attributes):
    lines = []
    for kind, name, value in canonical(attributes):
        shown = str(len(value)) if kind == BYTES else str(value)
        lines.append(name + '=' + shown + '\r\n')
    return ''.join(lines).encode('utf-8')


def decode(tool, folder, file_name, data):
    path = os.path.join(folder, file_name)
    with open(path, 'wb') as f:
        f.write(data)
    return tool.run_bytes('decode', tool.path(path))


def case_listing(tool, folder):
    emoji = '\U0001F600'       # D83D DE00: sorts before U+FF21 in code-unit order
    fullwidth_a = '\uFF21'
    attributes = [
        (BYTES, 'Icon', bytes(range(256)) * 4),
        (STRING, 'ContextString1', 'R\u00e9sum\u00e9 \u2014 Notes.docx'),
        (INT, fullwidth_a, -2147483648),
        (STRING, emoji, 'smile ' + emoji + ' \U00010348'),
        (INT, emoji, 7),
        (INT, 'MsgType', 3),
        (STRING, 'Empty', ''),
        (BYTES, 'Nothing', b''),
        (INT, 'Dup', 1),
        (STRING, 'Dup', 'same name, string map'),
        (INT, 'Dup', 2),                      # replaces the first "Dup" integer
        (STRING, 'caf\u00e9', 'a=b'),
        (STRING, 'Z', 'upper case before lower case'),
        (BYTES, 'ApplicationHash', bytes(20)),
    ]
    code, out, err = decode(tool, folder, 'listing.bin', build(attributes))
    check(code == 0, 'listing: exit code %d, stderr %r' % (code, err))
    expected = expected_listing(attributes)
    check(out == expected, 'listing differs:\n got      %r\n expected %r' % (out, expected))
    check(err == b'', 'listing: unexpected stderr %r' % err)
    # Spot checks of the rule itself, so that a fault shared by the model
    # above and the tool cannot hide.
    lines = out.split(b'\r\n')
    check(lines[:4] == [b'Dup=2', b'MsgType=3', emoji.encode() + b'=7',
                        fullwidth_a.encode() + b'=-2147483648'],
          'listing: integer lines %r' % lines[:4])
    check(b'Icon=1024\r\n' in out, 'listing: byte array shown by size')
    check(b'\n' not in out.replace(b'\r\n', b''), 'listing: bare line feed')

    # The smallest real message: "MsgType" = 12 in 42 bytes.
    minimal = message(element(STRING, utf16('MsgType')) + element(INT, i32(12)))
    check(len(minimal) == 42, 'minimal message is %d bytes' % len(minimal))
    code, out, err = decode(tool, folder, 'minimal \u00e9.bin', minimal)
    check(code == 0 and out == b'MsgType=12\r\n', 'minimal: %d %r %r' % (code, out, err))

    # A bare header lists nothing.
    code, out, err = decode(tool, folder, 'empty.bin', message(b''))
    check(code == 0 and out == b'', 'empty: %d %r %r' % (code, out, err))


def case_malformed(tool, folder):
    name = element(STRING, utf16('N'))
    cases = [
        ('version', message(b'', version=2), 1050601, 'Unsupported Message Version'),
        ('length', message(b'') + b'!', 1050602, 'Incorrect message length value'),
        ('name type', message(element(INT, i32(1)) + element(INT, i32(1))), 1050603,
         'Unexpected element data type when parsing Attribute Name'),
        ('no value', message(name), 1050604, 'Missing attribute value'),
        ('short header', message(name + i32(2) + b'\x02'), 1050606,
         'Insufficient bytes to read element header'),
        ('short element', message(name + i32(3) + i32(50) + b'abc'), 1050607,
         'Insufficient bytes to read full element'),
        ('negative length', message(name + i32(3) + i32(-1) + b'abcd'), 1050607,
         'Insufficient bytes to read full element'),
        ('tag 4', message(name + element(4, i32(0))), 1050608, 'Unknown element type'),
        ('short int', b'\x01\x00', 1050609, 'Insufficient bytes to read int'),
    ]
    for i, (what, data, error_id, description) in enumerate(cases):
        code, out, err = decode(tool, folder, 'bad%d.bin' % i, data)
        check(code == 2, '%s: exit code %d' % (what, code))
        check(out == b'', '%s: stdout %r' % (what, out))
        text = err.decode('utf-8', 'replace')
        check(str(error_id) in text and description in text,
              '%s: stderr %r lacks %d %s' % (what, text, error_id, description))


def case_usage(tool, folder):
    for args in ([], ['frobnicate'], ['decode'], ['decode', 'a', 'b'],
                 ['decode', tool.path(os.path.join(folder, 'no such file.bin'))]):
        code, out, err = tool.run_bytes(*args)
        check(code == 1, 'usage %r: exit code %d' % (args, code))
        check(out == b'', 'usage %r: stdout %r' % (args, out))
        check(err != b'', 'usage %r: nothing on stderr' % (args,))


def main():
    case, exe, emulator = sys.argv[1], sys.argv[2], sys.argv[3:]
    tool = Tool(exe, emulator)
    with tempfile.TemporaryDirectory(prefix='tcmsg-') as folder:
        {'listing': case_listing, 'malformed': case_malformed, 'usage': case_usage}[case](tool, folder)
    return finish()


if __name__ == '__main__':
    sys.exit(main())
