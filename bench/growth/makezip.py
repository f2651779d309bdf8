#!/usr/bin/env python3
"""makezip.py ARCHIVE COUNT: an archive of COUNT tiny stored entries.

Entries are d0000/e0000000.txt ... in folders of 1,000, each holding a short
line of text. Written directly (local headers, central directory, Zip64 end
records once COUNT passes 65,535) rather than through zipfile, so that a
million entries take seconds, not minutes. Written under ARCHIVE.part and
renamed, so an interrupted run is never taken for a finished archive.
"""
import os
import struct
import sys
import zlib

path, count = sys.argv[1], int(sys.argv[2])
part = path + ".part"
# 2026-01-01 12:00:00 as a DOS date and time.
dos_time, dos_date = (12 << 11), ((2026 - 1980) << 9) | (1 << 5) | 1
central = []
offset = 0
with open(part, "wb", buffering=1 << 20) as f:
    for i in range(count):
        name = ("d%04d/e%07d.txt" % (i // 1000, i)).encode()
        data = b"entry %d\n" % i
        crc = zlib.crc32(data)
        local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 10, 0, 0, dos_time, dos_date, crc, len(data), len(data),
                            len(name), 0)
        f.write(local + name + data)
        if offset > 0xFFFFFFFF:
            sys.exit("makezip.py: the archive passed 4 GiB (entry offsets would need Zip64 extra fields)")
        central.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 0x031E, 10, 0, 0, dos_time, dos_date, crc,
                                   len(data), len(data), len(name), 0, 0, 0, 0, 0o100644 << 16, offset) + name)
        offset += len(local) + len(name) + len(data)
    cd_start = offset
    cd = b"".join(central)
    f.write(cd)
    cd_end = cd_start + len(cd)
    if count >= 0xFFFF:
        f.write(struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 0x031E, 45, 0, 0, count, count, len(cd), cd_start))
        f.write(struct.pack("<IIQI", 0x07064B50, 0, cd_end, 1))
        n16 = 0xFFFF
    else:
        n16 = count
    f.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, n16, n16, len(cd), cd_start, 0))
os.rename(part, path)
