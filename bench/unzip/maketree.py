# Makes the benchmark inputs: a tree of about 205 MiB in 8,233 files (text,
# source-like and incompressible files of mixed sizes) and an archive of
# 100,000 small entries. Repeatable: the same seed gives the same bytes.
import os, random, sys, zipfile

def make_tree(root, files=8233, total=205 << 20, seed=42):
    rnd = random.Random(seed)
    words = [''.join(rnd.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rnd.randint(2, 10))) for _ in range(4000)]
    # Sizes: many small files, a few large ones, scaled to the total.
    raw = [rnd.paretovariate(1.2) for _ in range(files)]
    scale = total / sum(raw)
    sizes = [max(1, int(r * scale)) for r in raw]
    for i, size in enumerate(sizes):
        d = os.path.join(root, 'dir%02d' % (i % 40), 'sub%d' % (i % 7))
        os.makedirs(d, exist_ok=True)
        kind = i % 5
        path = os.path.join(d, 'file%05d.%s' % (i, ['txt', 'c', 'bin', 'log', 'dat'][kind]))
        with open(path, 'wb') as f:
            if kind == 2:
                f.write(rnd.randbytes(size))
            else:
                out = []
                n = 0
                while n < size:
                    line = ' '.join(rnd.choice(words) for _ in range(rnd.randint(3, 14))) + '\n'
                    out.append(line)
                    n += len(line)
                f.write(''.join(out).encode()[:size])

def make_many(path, count=100000):
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        for i in range(count):
            z.writestr('d%03d/entry%06d.txt' % (i % 500, i), 'entry %d\n' % i)

if __name__ == '__main__':
    what, target = sys.argv[1], sys.argv[2]
    if what == 'tree':
        make_tree(target)
    else:
        make_many(target)
