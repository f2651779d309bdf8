#!/usr/bin/env python3
"""systree.py TREE [MIB]: the zip and unzip benchmarks' data tree.

Copies system files into TREE: headers from /usr/include (40%), documentation
with its .gz files from /usr/share/doc (20%) and shared libraries (40%), about
MIB MiB in all (default 200). Built once into a temporary folder and renamed,
so an interrupted build is never taken for a finished tree.
"""
import os
import shutil
import sys

tree = sys.argv[1]
total = int(sys.argv[2]) if len(sys.argv) > 2 else 200
part = tree + ".part"
shutil.rmtree(part, ignore_errors=True)


def take(src_root, budget, dest, want):
    used = 0
    for dirpath, dirs, files in os.walk(src_root):
        dirs.sort()
        for f in sorted(files):
            p = os.path.join(dirpath, f)
            if os.path.islink(p) or not os.path.isfile(p) or not want(f):
                continue
            size = os.path.getsize(p)
            if size == 0 or size > 24 << 20 or used + size > budget:
                continue
            d = os.path.join(part, dest, os.path.relpath(dirpath, src_root))
            os.makedirs(d, exist_ok=True)
            shutil.copy2(p, os.path.join(d, f))
            used += size
    return used


a = take("/usr/include", total * 2 // 5 << 20, "include", lambda f: True)
b = take("/usr/share/doc", total // 5 << 20, "doc", lambda f: True)
c = take("/usr/lib/x86_64-linux-gnu", total * 2 // 5 << 20, "lib", lambda f: ".so" in f)
os.rename(part, tree)
print("headers %.1f MiB, documentation %.1f MiB, libraries %.1f MiB" % (a / 2**20, b / 2**20, c / 2**20))
