"""Builds messages in the system's wire form, independently of the C++ code.

All integers are 32-bit little-endian. A message is version 1, the total
length, then for each attribute a string element with the name and an element
with the value. An element is a tag (1 int, 2 string, 3 byte array), the data
length in bytes and the data.
"""
import struct

INT, STRING, BYTES = 1, 2, 3


def i32(value):
    return struct.pack('<I', value & 0xFFFFFFFF)


def utf16(text):
    # surrogatepass lets tests carry unpaired surrogates as they stand.
    return text.encode('utf-16-le', 'surrogatepass')


def element(tag, data, length=None):
    return i32(tag) + i32(len(data) if length is None else length) + data


def attribute(kind, name, value):
    if kind == INT:
        data = element(INT, i32(value))
    elif kind == STRING:
        data = element(STRING, utf16(value))
    else:
        data = element(BYTES, bytes(value))
    return element(STRING, utf16(name)) + data


def message(body, version=1, length=None):
    """body: bytes of the elements. The total length is filled in unless given."""
    total = 8 + len(body) if length is None else length
    return i32(version) + i32(total) + body


def build(attributes):
    """attributes: (kind, name, value) in the order they are to be written."""
    return message(b''.join(attribute(k, n, v) for k, n, v in attributes))


def order_key(name):
    # Big-endian UTF-16 bytes compare like the code units themselves, and a
    # prefix sorts first: the order of names on the wire.
    return name.encode('utf-16-be', 'surrogatepass')


def canonical(attributes):
    """The attributes a reader ends with: one per kind and name, the last one
    written winning, sorted as a writer emits them (ints, strings, arrays)."""
    maps = {INT: {}, STRING: {}, BYTES: {}}
    for kind, name, value in attributes:
        maps[kind][name] = value
    return [(kind, name, maps[kind][name])
            for kind in (INT, STRING, BYTES)
            for name in sorted(maps[kind], key=order_key)]


def serialise(attributes):
    """The bytes a writer produces for the message holding these attributes."""
    return build(canonical(attributes))
