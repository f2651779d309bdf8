# Writes a zip whose entries carry data compressed elsewhere (say, by the
# zstd tool), plain or with traditional encryption:
#   rawzip.py OUT METHOD [--password PW] NAME=PLAINFILE:PACKEDFILE ...
# or of every file below PLAINDIR, its data in PACKEDDIR/<same path><SUFFIX>:
#   rawzip.py OUT METHOD --tree PLAINDIR PACKEDDIR SUFFIX
# or retags the one entry of an AES archive that 7z made with -mm=Copy:
#   rawzip.py --retag ZIP METHOD PLAINFILE
import os, struct, sys, zlib

def crcupd(v, b):
    return zlib.crc32(bytes([b]), v ^ 0xFFFFFFFF) ^ 0xFFFFFFFF

class ZipCrypto:
    def __init__(self, pw):
        self.k = [0x12345678, 0x23456789, 0x34567890]
        for c in pw: self.update(c)
    def update(self, c):
        k = self.k
        k[0] = crcupd(k[0], c)
        k[1] = ((k[1] + (k[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        k[2] = crcupd(k[2], k[1] >> 24)
    def encrypt(self, data):
        out = bytearray()
        for p in data:
            t = (self.k[2] | 2) & 0xFFFF
            out.append(p ^ (((t * (t ^ 1)) >> 8) & 0xFF))
            self.update(p)
        return bytes(out)

def retag(path, method, plain_size):
    """Turns the one entry of an AES archive made with -mm=Copy into one of
    METHOD: its stored bytes are taken as METHOD's data."""
    z = bytearray(open(path, "rb").read())
    for sig, name_at, usize_at in ((b"PK\3\4", 26, 22), (b"PK\1\2", 28, 24)):
        at = z.find(sig)
        nlen, xlen = struct.unpack_from("<HH", z, at + name_at)
        struct.pack_into("<I", z, at + usize_at, plain_size)
        x = at + name_at + (18 if sig == b"PK\1\2" else 4) + nlen
        end = x + xlen
        while x + 4 <= end:
            tag, size = struct.unpack_from("<HH", z, x)
            if tag == 0x9901: struct.pack_into("<H", z, x + 9, method)
            x += 4 + size
    open(path, "wb").write(bytes(z))

args = sys.argv[1:]
if args[0] == "--retag":
    retag(args[1], int(args[2]), os.path.getsize(args[3])); sys.exit(0)
out, method = args[0], int(args[1])
args = args[2:]
password = None
if args and args[0] == "--password":
    password = args[1].encode(); args = args[2:]
entries = []
if args and args[0] == "--tree":
    plain_dir, packed_dir, suffix = args[1:4]
    for dirpath, dirs, files in os.walk(plain_dir):
        dirs.sort()
        for f in sorted(files):
            rel = os.path.relpath(os.path.join(dirpath, f), plain_dir)
            entries.append((rel, os.path.join(plain_dir, rel), os.path.join(packed_dir, rel) + suffix))
else:
    for arg in args:
        name, files = arg.split("=", 1)
        entries.append((name, *files.rsplit(":", 1)))
body, central = bytearray(), bytearray()
for name, plain_path, packed_path in entries:
    plain = open(plain_path, "rb").read()
    data = open(packed_path, "rb").read()
    crc = zlib.crc32(plain)
    flags = 0
    if password is not None:
        flags |= 1
        z = ZipCrypto(password)
        data = z.encrypt(os.urandom(11) + bytes([crc >> 24])) + z.encrypt(data)
    n = name.encode()
    head = struct.pack("<HHHHHIIIHH", 20, flags, method, 0, 0x5821, crc, len(data), len(plain), len(n), 0)
    offset = len(body)
    body += b"PK\3\4" + head + n + data
    central += b"PK\1\2" + struct.pack("<H", 63) + head + struct.pack("<HHHII", 0, 0, 0, 0, offset) + n
end = struct.pack("<4sHHHHIIH", b"PK\5\6", 0, 0, len(entries), len(entries), len(central), len(body), 0)
open(out, "wb").write(bytes(body + central + end))
