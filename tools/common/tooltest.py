"""What the tools' end-to-end tests share: checks that are counted rather
than stopping at the first, the tool run as a separate process (under the
emulator for Windows builds, which sees the Unix folders as drive Z:), and the
script's exit code."""
import os
import struct
import subprocess
import zlib

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print('FAIL: ' + what)


def windows_path(unix_path):
    return 'Z:' + unix_path.replace('/', '\\')


class Tool:
    def __init__(self, exe, emulator):
        self.exe = exe
        self.emulator = list(emulator)

    def path(self, unix_path):
        """A path as the tool sees it."""
        return windows_path(unix_path) if self.emulator else unix_path

    def run_bytes(self, *args):
        env = dict(os.environ, LC_ALL='C.UTF-8')
        result = subprocess.run(self.emulator + [self.exe] + list(args), capture_output=True,
                                env=env, timeout=100)
        return result.returncode, result.stdout, result.stderr

    def run(self, *args):
        code, out, err = self.run_bytes(*args)
        return code, out.decode('utf-8'), err.decode('utf-8')


def finish():
    """The script's exit code: 1 when any check failed."""
    if failures:
        print('%d check(s) failed' % len(failures))
        return 1
    print('ok')
    return 0


def screenshot_folder(tool_path):
    """Where the tests leave pictures for a person to look at: the build's
    screenshots/ folder beside bin/ (scripts/test.sh copies it to the results)."""
    folder = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(tool_path))), 'screenshots')
    os.makedirs(folder, exist_ok=True)
    return folder


def bmp_to_png(bmp_path, png_path):
    """A 24-bit bottom-up bitmap file as a PNG file; False when it is not one."""
    with open(bmp_path, 'rb') as f:
        data = f.read()
    if len(data) < 54 or data[:2] != b'BM':
        return False
    offset = struct.unpack_from('<I', data, 10)[0]
    width, height, _, bits = struct.unpack_from('<iiHH', data, 18)
    if bits != 24 or width <= 0 or height <= 0:
        return False
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = data[offset + y * stride: offset + y * stride + width * 3]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]
        rows.append(b'\0' + bytes(rgb))

    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))

    png = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
           chunk(b'IDAT', zlib.compress(b''.join(rows))) + chunk(b'IEND', b''))
    with open(png_path, 'wb') as f:
        f.write(png)
    return True
