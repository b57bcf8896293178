#!/usr/bin/env python3
"""Prints the mirror benchmark's results as ratios.

Reads Google Benchmark JSON output of mirror_bench (with repetitions). In cache, for
each layout and frame size, the median CPU time of memcpy and of libyuv is divided
by the median CPU time of the in-place mirror. From memory the contenders ran in
turn within one benchmark, which reports their ratios (x_memcpy, x_libyuv) and the
mirror's time per frame (mirror_ns); their medians over the repetitions are shown.
A ratio above 1.0 means the mirror is faster.
"""
import json
import sys
from collections import defaultdict

TARGETS = {"cache": (1.0, 1.3), "memory": (1.2, 1.3)}  # (x memcpy, x libyuv)
TARGET_SIZES = {"1280x720", "1920x1080"}


def Ratio(row, place, mine, who):
    """The yardstick's time over the mirror's (None when either is missing)."""
    entry = row.get((place, mine))
    if entry is None:
        return None
    if place == "memory":
        return entry[1] if who == "memcpy" else entry[2]
    other = row.get((place, who))
    return other[0] / entry[0] if other else None


def main(path):
    with open(path) as f:
        data = json.load(f)
    ctx = data["context"]
    medians = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b.get("run_name", b["name"])
        # Without repetitions there are no aggregates: take the single run.
        if b.get("run_type") == "aggregate" or name not in medians:
            medians[name] = b
    scale = 1e-9 if data["benchmarks"][0]["time_unit"] == "ns" else 1e-6
    # rows[(layout, size)][(place, who)] = (seconds per frame, x memcpy, x libyuv);
    # the ratios are None in cache, where they come from the yardsticks' own times.
    rows = defaultdict(dict)
    for name, b in medians.items():
        layout, size, place, who = name.split("/")
        if place == "memory":
            entry = (b["mirror_ns"] * 1e-9, b.get("x_memcpy"), b.get("x_libyuv"))
        else:
            entry = (b["cpu_time"] * scale, None, None)
        rows[(layout, size)][(place, who)] = entry

    print(f"mirror benchmark: {ctx.get('date', '')}, {ctx.get('num_cpus')} CPUs, "
          f"kernel set {ctx.get('mirror_kernels', '?')}, libyuv {ctx.get('libyuv', '?')}, "
          f"pool {int(ctx.get('pool_bytes', 0)) >> 20} MiB")
    print("ratios = CPU time of the contender / that of the in-place mirror, medians "
          "(above 1.0: the mirror is faster); * = below target")
    print("from memory the mirror and its yardsticks ran in turn, a lap of frames each")
    head = f"{'layout':6} {'size':>9} | {'cache: GB/s':>11} {'x memcpy':>9} {'x libyuv':>9} | " \
           f"{'memory: GB/s':>12} {'x memcpy':>9} {'x libyuv':>9}"
    print(head)
    print("-" * len(head))
    layouts = ["I420", "YUY2", "RGB24", "RGB32"]
    sizes = ["640x480", "1280x720", "1920x1080"]
    misses = 0
    for layout in layouts:
        for size in sizes:
            r = rows.get((layout, size))
            if not r:
                continue
            w, h = (int(x) for x in size.split("x"))
            frame = w * h * {"I420": 1.5, "YUY2": 2, "RGB24": 3, "RGB32": 4}[layout]
            cells = []
            for place in ("cache", "memory"):
                mine = r.get((place, "mirror"))
                if mine is None:
                    cells.append(f"{'-':>11} {'-':>9} {'-':>9}")
                    continue
                gbs = frame / mine[0] / 1e9
                parts = [f"{gbs:11.1f}" if place == "cache" else f"{gbs:12.1f}"]
                for i, who in enumerate(("memcpy", "libyuv")):
                    ratio = Ratio(r, place, "mirror", who)
                    if ratio is None:
                        parts.append(f"{'-':>9}")
                        continue
                    low = size in TARGET_SIZES and ratio < TARGETS[place][i]
                    misses += low
                    parts.append(f"{ratio:8.2f}{'*' if low else ' '}")
                cells.append(" ".join(parts))
            print(f"{layout:6} {size:>9} | {cells[0]} | {cells[1]}")
    print()
    print("each kernel set, x memcpy (cache / memory):")
    order = ["mirror-plain", "mirror-sse2", "mirror-ssse3", "mirror-avx2", "mirror-avx512"]
    sets = sorted({who for r in rows.values() for (_, who) in r if who.startswith("mirror-")},
                  key=lambda s: order.index(s) if s in order else len(order))
    print(f"{'layout':6} {'size':>9} | " + " ".join(f"{s[7:]:>13}" for s in sets))
    for layout in layouts:
        for size in sizes:
            r = rows.get((layout, size))
            if not r:
                continue
            cells = []
            for s in sets:
                a, b = Ratio(r, "cache", s, "memcpy"), Ratio(r, "memory", s, "memcpy")
                a = f"{a:5.2f}" if a else "  -  "
                b = f"{b:5.2f}" if b else "  -  "
                cells.append(f"{a} / {b}")
            print(f"{layout:6} {size:>9} | " + " ".join(f"{x:>13}" for x in cells))
    print()
    print(f"targets missed at 1280x720 and 1920x1080: {misses}")


if __name__ == "__main__":
    main(sys.argv[1])
