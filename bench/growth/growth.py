#!/usr/bin/env python3
"""Growth table and plot from alternate.py's TIMES.tsv.

    growth.py TIMES.tsv TABLE.md PLOT.png LABEL=UNIT [LABEL=UNIT ...]

Commands are named "SERIES#SIZE" (e.g. "packwell list#100000"); each LABEL
(list, extract, zip, split, join) is one kind of work whose size is counted
in UNIT. For every step from one size to the next the table shows

    time step   = (median time ratio) / (size ratio)    goal <= 1.15
    memory step = (peak memory ratio) / (size ratio)    goal <= 1.0

i.e. how much more than its share of the larger size a step costs. The goals
are checked for packwell's series only; the others (Info-ZIP's, say) are
shown beside them because they tell how the machine itself grows (a file
system that slows down with a million files slows every tool down).
"""
import collections
import os
import statistics
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
import summary  # noqa: E402  (shares the goal records with the other benchmarks)

TIME_GOAL = 1.15
MEMORY_GOAL = 1.0


def series_of(times, peaks, cpus, labels):
    """{label: {series: [(size, median s, median CPU s, peak MiB, runs)]}} in size order."""
    out = collections.OrderedDict((lab, collections.OrderedDict()) for lab in labels)
    for (label, name), ts in times.items():
        if label not in out or "#" not in name:
            continue
        series, size = name.rsplit("#", 1)
        c = cpus.get((label, name)) or [0.0]
        out[label].setdefault(series, []).append(
            (int(size), statistics.median(ts), statistics.median(c), peaks[(label, name)] / 1024, len(ts)))
    for s in out.values():
        for rows in s.values():
            rows.sort()
    return out


def steps(rows):
    """Per row after the first: (time step, CPU step, memory step) against the row before."""
    res = [None]
    for (s0, t0, c0, m0, _), (s1, t1, c1, m1, _) in zip(rows, rows[1:]):
        k = s1 / s0
        res.append((t1 / t0 / k, (c1 / c0 / k) if c0 > 0 else float("nan"), m1 / m0 / k))
    return res


def size_text(n, unit):
    if unit == "MiB" and n >= 1024 and n % 1024 == 0:
        return "%d GiB" % (n // 1024)
    return "{:,} {}".format(n, unit)


def write_table(data, units, path):
    with open(path, "w") as f:
        f.write("| Work | Size | Runs | Median s | CPU s | Peak MiB | Time step (goal <= %.2fx) "
                "| CPU step | Memory step (goal <= %.1fx) |\n|---|---|---|---|---|---|---|---|---|\n"
                % (TIME_GOAL, MEMORY_GOAL))
        for label, ss in data.items():
            for series, rows in ss.items():
                for row, st in zip(rows, steps(rows)):
                    size, t, c, m, n = row
                    checked = series.startswith("packwell")
                    if st is None:
                        ts = cs = ms = "-"
                    else:
                        ts = "%.3fx" % st[0] + ("" if not checked or st[0] <= TIME_GOAL else " **over**")
                        cs = "%.3fx" % st[1]
                        ms = "%.3fx" % st[2] + ("" if not checked or st[2] <= MEMORY_GOAL else " **over**")
                    f.write("| %s | %s | %d | %.3f | %.3f | %.1f | %s | %s | %s |\n"
                            % (series, size_text(size, units[label]), n, t, c, m, ts, cs, ms))


def check_goals(data, units):
    for label, ss in data.items():
        for series, rows in ss.items():
            if not series.startswith("packwell"):
                continue
            for (s0, *_), (s1, *_), st in zip(rows, rows[1:], steps(rows)[1:]):
                summary.record("growth: %s %s -> %s: time step <= %.2fx, memory step <= %.1fx"
                               % (series, size_text(s0, units[label]), size_text(s1, units[label]),
                                  TIME_GOAL, MEMORY_GOAL),
                               "%.3fx, %.3fx" % (st[0], st[2]), st[0] <= TIME_GOAL and st[2] <= MEMORY_GOAL,
                               "(CPU step %.3fx)" % st[1])


def plot(data, units, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from matplotlib.ticker import FuncFormatter, NullFormatter
    plain = FuncFormatter(lambda v, _: "%g" % v)
    labels = [lab for lab, ss in data.items() if ss]
    fig, axes = plt.subplots(2, len(labels), figsize=(3.6 * len(labels), 6.4), squeeze=False)
    for col, label in enumerate(labels):
        top, bottom = axes[0][col], axes[1][col]
        for series, rows in data[label].items():
            x = [r[0] for r in rows]
            for ax, y in ((top, [r[1] for r in rows]), (bottom, [r[3] for r in rows])):
                line, = ax.plot(x, y, marker="o", label=series)
                if series.startswith("packwell"):
                    # Proportional growth from the smallest size, for the eye.
                    ax.plot(x, [y[0] * v / x[0] for v in x], linestyle=":", color=line.get_color(), alpha=0.6)
        top.set_title(label)
        bottom.set_xlabel(units[label])
        sizes = sorted({r[0] for rows in data[label].values() for r in rows})
        for ax in (top, bottom):
            ax.set_xscale("log")
            ax.set_yscale("log")
            ax.grid(True, which="both", alpha=0.3)
            ax.set_xticks(sizes)
            ax.xaxis.set_major_formatter(FuncFormatter(lambda v, _: "{:,}".format(int(v))))
            ax.xaxis.set_minor_formatter(NullFormatter())
            ax.yaxis.set_major_formatter(plain)
            # Within one decade the major ticks alone would leave the axis bare.
            low, high = ax.get_ylim()
            ax.yaxis.set_minor_formatter(plain if high / low < 10 else NullFormatter())
            ax.tick_params(axis="y", which="minor", labelsize=6)
        top.legend(fontsize=7)
    axes[0][0].set_ylabel("median wall time, s")
    axes[1][0].set_ylabel("peak resident memory, MiB")
    fig.suptitle("Growth with size (dotted: proportional to size)", fontsize=10)
    fig.tight_layout()
    fig.savefig(path, dpi=90)


def main():
    times_path, table_path, png_path = sys.argv[1:4]
    units = collections.OrderedDict(a.split("=", 1) for a in sys.argv[4:])
    times, peaks, cpus = summary.load(times_path)
    data = series_of(times, peaks, cpus, units)
    write_table(data, units, table_path)
    print(open(table_path).read())
    check_goals(data, units)
    try:
        plot(data, units, png_path)
        print("wrote", png_path)
    except ImportError:
        print("growth.py: no matplotlib in %s (scripts/install-deps installs python3-matplotlib for "
              "/usr/bin/python3); no plot" % sys.executable)


if __name__ == "__main__":
    main()
