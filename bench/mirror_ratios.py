#!/usr/bin/env python3
"""Prints the mirror benchmark's results as ratios.

Reads Google Benchmark JSON output of mirror_bench (with repetitions) and, for each
layout, frame size and placement (cache / memory), divides the median CPU time of
memcpy and of libyuv by the median CPU time of the in-place mirror: a ratio above
1.0 means the mirror is faster.
"""
import json
import sys
from collections import defaultdict

TARGETS = {"cache": (1.0, 1.3), "memory": (1.2, 1.3)}  # (x memcpy, x libyuv)
TARGET_SIZES = {"1280x720", "1920x1080"}


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
            medians[name] = b["cpu_time"]
    rows = defaultdict(dict)
    for name, t in medians.items():
        layout, size, place, who = name.split("/")
        rows[(layout, size)][(place, who)] = t

    print(f"mirror benchmark: {ctx.get('date', '')}, {ctx.get('num_cpus')} CPUs, "
          f"kernel set {ctx.get('mirror_kernels', '?')}, libyuv {ctx.get('libyuv', '?')}, "
          f"pool {int(ctx.get('pool_bytes', 0)) >> 20} MiB")
    print("ratios = median CPU time of the contender / that of the in-place mirror "
          "(above 1.0: the mirror is faster); * = below target")
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
                gbs = frame / (mine * 1e-9) / 1e9 if data["benchmarks"][0]["time_unit"] == "ns" else \
                    frame / (mine * 1e-6) / 1e9
                parts = [f"{gbs:11.1f}" if place == "cache" else f"{gbs:12.1f}"]
                for i, who in enumerate(("memcpy", "libyuv")):
                    other = r.get((place, who))
                    if other is None:
                        parts.append(f"{'-':>9}")
                        continue
                    ratio = other / mine
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
                c, m = r.get(("cache", s)), r.get(("memory", s))
                mc, mm = r.get(("cache", "memcpy")), r.get(("memory", "memcpy"))
                a = f"{mc / c:5.2f}" if c and mc else "  -  "
                b = f"{mm / m:5.2f}" if m and mm else "  -  "
                cells.append(f"{a} / {b}")
            print(f"{layout:6} {size:>9} | " + " ".join(f"{x:>13}" for x in cells))
    print()
    print(f"targets missed at 1280x720 and 1920x1080: {misses}")


if __name__ == "__main__":
    main(sys.argv[1])
