#!/usr/bin/env python3
"""Reads alternate.py's TIMES.tsv, prints the table and checks goals.

    summary.py table TIMES.tsv
    summary.py ratio TIMES.tsv LABEL A B GOAL TEXT    (median time of A / B <= GOAL)
    summary.py peak  TIMES.tsv LABEL NAME MIB TEXT     (largest peak of NAME < MIB)
    summary.py value MEASURED GOAL UNIT TEXT           (MEASURED <= GOAL)

Checked goals are printed and, when $BENCH_GOALS names a file, appended to it
as TAB-separated lines: benchmark ($BENCH_NAME), goal, measured, met
("met"/"NOT met"), detail. The median decides; the ratio of the best runs is
shown beside it because on a busy machine the fastest run of each command is
the one least disturbed by others.
"""
import collections
import os
import statistics
import sys


def load(path):
    times = collections.defaultdict(list)
    peaks = collections.defaultdict(int)
    cpus = collections.defaultdict(list)
    for line in open(path):
        f = line.rstrip("\n").split("\t")
        label, name, t, pk = f[:4]
        times[(label, name)].append(float(t))
        peaks[(label, name)] = max(peaks[(label, name)], int(pk))
        if len(f) > 4:
            cpus[(label, name)].append(float(f[4]))
    return times, peaks, cpus


def record(goal, measured, met, detail=""):
    verdict = "met" if met else "NOT met"
    print("  %-58s %-22s %s %s" % (goal, measured, verdict, detail))
    out = os.environ.get("BENCH_GOALS")
    if out:
        with open(out, "a") as f:
            f.write("\t".join([os.environ.get("BENCH_NAME", "?"), goal, measured, verdict, detail]) + "\n")


def main():
    cmd = sys.argv[1]
    if cmd == "value":
        measured, goal, unit, text = float(sys.argv[2]), float(sys.argv[3]), sys.argv[4], sys.argv[5]
        record(text, "%.3g%s" % (measured, unit), measured <= goal)
        return
    times, peaks, cpus = load(sys.argv[2])
    if cmd == "table":
        print("  %-12s %-28s %5s %9s %9s %9s %9s" % ("case", "command", "runs", "median s", "min s", "max s", "peak MiB"))
        for (label, name), v in times.items():
            print("  %-12s %-28s %5d %9.3f %9.3f %9.3f %9.1f" % (label, name, len(v), statistics.median(v), min(v),
                                                                 max(v), peaks[(label, name)] / 1024))
    elif cmd == "ratio":
        label, a, b, goal, text = sys.argv[3], sys.argv[4], sys.argv[5], float(sys.argv[6]), sys.argv[7]
        ta, tb = times[(label, a)], times[(label, b)]
        r = statistics.median(ta) / statistics.median(tb)
        best = min(ta) / min(tb)
        detail = "(best runs %.3fx; %.3f s vs %.3f s median" % (best, statistics.median(ta), statistics.median(tb))
        # CPU time is far less disturbed by other users' load than wall time;
        # it shows how much work each command does (not its parallelism).
        ca, cb = cpus.get((label, a)), cpus.get((label, b))
        if ca and cb and statistics.median(cb) > 0:
            detail += "; CPU %.2f s vs %.2f s = %.3fx" % (statistics.median(ca), statistics.median(cb),
                                                         statistics.median(ca) / statistics.median(cb))
        record(text, "%.3fx" % r, r <= goal, detail + ")")
    elif cmd == "peak":
        label, name, mib, text = sys.argv[3], sys.argv[4], float(sys.argv[5]), sys.argv[6]
        got = peaks[(label, name)] / 1024
        record(text, "%.1f MiB" % got, got < mib)
    else:
        sys.exit("summary.py: unknown command " + cmd)


if __name__ == "__main__":
    main()
