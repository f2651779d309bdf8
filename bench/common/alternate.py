#!/usr/bin/env python3
"""Times several commands against each other on a noisy, shared machine.

    alternate.py --label L --rounds N [--warmup 0] --out TIMES.tsv --work DIR \
        NAME PREPARE COMMAND [NAME PREPARE COMMAND ...]

Round 0 only warms the caches (--warmup 0 leaves it out, for runs so long or
so large in output that a second pass would cost more than the caches it
warms); then every round runs each command once, in
turn, so that a burst of load from other users hits all of them alike rather
than one command's whole series. Each run is timed by hyperfine (its
PREPARE, typically moving the previous output aside, is not timed) and
measured by /usr/bin/time -v for its peak resident memory. Appends one line a
run to TIMES.tsv: label, name, seconds, peak KiB.
"""
import argparse
import json
import os
import subprocess
import sys


def peak_kib(path):
    with open(path) as f:
        for line in f:
            if "Maximum resident set size" in line:
                return int(line.rsplit(":", 1)[1])
    return 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--label", required=True)
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--warmup", type=int, choices=(0, 1), default=1)
    ap.add_argument("--out", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("triples", nargs="+")
    a = ap.parse_args()
    if len(a.triples) % 3:
        sys.exit("alternate.py: commands come as NAME PREPARE COMMAND triples")
    cmds = [a.triples[i:i + 3] for i in range(0, len(a.triples), 3)]
    os.makedirs(a.work, exist_ok=True)
    for r in range(1 - a.warmup, a.rounds + 1):
        for i, (name, prep, cmd) in enumerate(cmds):
            script = os.path.join(a.work, "%s.%d.sh" % (a.label, i))
            with open(script, "w") as f:
                f.write(cmd + "\n")
            pk = os.path.join(a.work, "%s.%d.peak" % (a.label, i))
            js = os.path.join(a.work, "%s.%d.json" % (a.label, i))
            hf = ["hyperfine", "-N", "--style", "none", "--runs", "1", "--export-json", js, "-n", name,
                  "/usr/bin/time -v -o %s sh -e %s" % (pk, script)]
            if prep:
                hf[1:1] = ["--prepare", prep]
            res = subprocess.run(hf, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
            if res.returncode != 0:
                sys.stderr.write(res.stderr)
                sys.exit("alternate.py: %s failed: %s" % (name, cmd))
            res0 = json.load(open(js))["results"][0]
            t = res0["times"][0]
            cpu = res0.get("user", 0) + res0.get("system", 0)
            if r == 0:
                continue
            with open(a.out, "a") as f:
                f.write("%s\t%s\t%.6f\t%d\t%.6f\n" % (a.label, name, t, peak_kib(pk), cpu))
            print("   round %d  %-28s %8.3f s  %7.1f MiB  CPU %6.2f s" % (r, name, t, peak_kib(pk) / 1024, cpu),
                  flush=True)


if __name__ == "__main__":
    main()
