"""Writes the seed messages of the message fuzz target (fuzz/corpus/msg/).

    python3 tools/tcmsg/tests/make_msg_corpus.py fuzz/corpus/msg
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wire import INT, STRING, BYTES, build, element, i32, message, serialise, utf16  # noqa: E402

SEEDS = {
    'minimal': serialise([(INT, 'MsgType', 12)]),
    'header-only': message(b''),
    'application-change': serialise([
        (INT, 'MsgType', 3), (INT, 'UserID', 1234), (INT, 'MachineID', 77),
        (STRING, 'TavelUsername', 'j.doe@example.com'), (STRING, 'EmailAddress', 'j.doe@example.com'),
        (STRING, 'ContextString1', 'R\u00e9sum\u00e9.docx'), (STRING, 'ContextString2', ''),
        (STRING, 'ContextString3', '\U0001F600'), (STRING, 'OriginalFilename', 'Writer.exe'),
        (STRING, 'CompanyName', 'Example Corp'), (BYTES, 'ApplicationHash', bytes(range(20))),
        (BYTES, 'Icon', bytes(range(256)) * 2),
    ]),
    'secure-envelope': serialise([
        (INT, 'MsgType', 5), (BYTES, 'EncryptedData', bytes(48)), (BYTES, 'Signature', bytes(20)),
    ]),
    'same-name-two-maps': serialise([(INT, 'MsgType', 0), (INT, 'X', 1), (STRING, 'X', 'x')]),
    'odd-string-and-loose-int': message(
        element(STRING, utf16('S')) + element(STRING, b'A\x00B') +
        element(STRING, utf16('N')) + i32(INT) + i32(0) + i32(9)),
    'lone-surrogates': build([(STRING, '\ud83d', '\ude00x\ud83d')]),
}


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, name + '.bin'), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
