# maketree.py many ARCHIVE: the listing benchmark's archive of 100,000 small
# entries in 500 folders. (The extraction benchmark uses the zip benchmark's
# tree of system files, bench/common/systree.py.)
import sys, zipfile

def make_many(path, count=100000):
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        for i in range(count):
            z.writestr('d%03d/entry%06d.txt' % (i % 500, i), 'entry %d\n' % i)

if __name__ == '__main__':
    what, target = sys.argv[1], sys.argv[2]
    if what != 'many':
        sys.exit('usage: maketree.py many ARCHIVE')
    make_many(target)
