#!/usr/bin/env python3
"""Turns one bench/run.sh result folder into the Markdown tables of
bench/README.md, and checks the figures against the targets.

    bench/summary.py build/bench/results/DATE
"""
import json
import os
import re
import statistics
import sys

res = sys.argv[1]


def path(name):
    return os.path.join(res, name)


def lines(name):
    try:
        with open(path(name), encoding="utf-8", errors="replace") as f:
            return f.read().splitlines()
    except OSError:
        return []


def hyperfine(name):
    try:
        with open(path(name)) as f:
            return json.load(f)["results"]
    except OSError:
        return []


surveys = {}
for line in lines("surveys.txt"):
    name, files, half, size = line.split()
    surveys[name] = {"files": int(files), "half": int(half), "bytes": int(size)}

print("\n".join(lines("machine.txt")))
print("loads (1, 5, 15 min) as each part began:")
for line in lines("loads.txt"):
    print(f"  {line}")

targets = []  # (target, figure, met)


def ra_key(ra):
    return int(ra) if ra.isdigit() else -1


def span(values, fmt):
    return f"{fmt(min(values))}–{fmt(max(values))}"


def row(*cells):
    print("| " + " | ".join(str(c) for c in cells) + " |")


def warm_table(s, results, floor_name="floor, 16 KiB"):
    info = surveys[s]
    floor = next((r["median"] for r in results if r["command"] == floor_name), None)
    row("command", "median s", "min–max s", "per image µs", "× floor 16 KiB")
    row("---", "---:", "---:", "---:", "---:")
    for r in results:
        n = info["half"] if "half" in r["command"] else info["files"]
        ratio = f"{r['median'] / floor:.2f}" if floor else "–"
        row(r["command"], f"{r['median']:.3f}", f"{min(r['times']):.3f}–{max(r['times']):.3f}",
            f"{r['median'] / n * 1e6:.1f}", ratio)
    print()
    return {r["command"]: r["median"] for r in results}


warm = {}
for s in surveys:
    info = surveys[s]
    print(f"\n## {s} survey: {info['files']} files, {info['bytes'] / 1e9:.2f} GB, warm\n")
    results = hyperfine(f"{s}-warm.json") + hyperfine(f"{s}-exiftool.json")
    if results:
        warm[s] = warm_table(s, results)
    heads = hyperfine(f"{s}-heads.json")
    if heads:
        print("Head sizes (one hyperfine call):\n")
        warm_table(s, heads)
    noexif = hyperfine(f"{s}-noexif.json")
    if noexif:
        print("Frames without EXIF data against regular frames, four checks:\n")
        row("command", "median ms", "min–max ms")
        row("---", "---:", "---:")
        for r in noexif:
            row(r["command"], f"{r['median'] * 1e3:.2f}",
                f"{min(r['times']) * 1e3:.2f}–{max(r['times']) * 1e3:.2f}")
        print()
    out = hyperfine(f"{s}-stdout.json")
    if out:
        print("Console output (through a shell):\n")
        warm_table(s, out, floor_name=None)

# --- warm, in turn ----------------------------------------------------------
paired = {}  # survey -> round -> command -> s
for line in lines("paired.tsv"):
    s, rnd, name, secs = line.split("\t")
    paired.setdefault(s, {}).setdefault(rnd, {})[name] = float(secs)
paired_ratios = {}
for s, rounds in paired.items():
    done = [r for r in rounds.values() if len(r) == 3]
    if not done:
        continue
    print(f"\n## {s} survey, warm, {len(done)} rounds of three commands in turn\n")
    row("command", "median s", "min–max s")
    row("---", "---:", "---:")
    for name in ("floor, 16 KiB", "exifcheck", "exiv2 (one pass)"):
        t = [r[name] for r in done]
        row(name, f"{statistics.median(t):.3f}", span(t, lambda x: f"{x:.3f}"))
    print()
    a = [r["exifcheck"] / r["floor, 16 KiB"] for r in done]
    b = [r["exiv2 (one pass)"] / r["exifcheck"] for r in done]
    paired_ratios[s] = (statistics.median(a), statistics.median(b))
    print(f"exifcheck / floor per round: median {statistics.median(a):.2f}, "
          f"{span(a, lambda x: f'{x:.2f}')}; exiv2 / exifcheck: median "
          f"{statistics.median(b):.2f}, {span(b, lambda x: f'{x:.2f}')}\n")

# --- cold ------------------------------------------------------------------
cold = {}  # (survey, read-ahead, command) -> list of (s, read bytes, disk bytes, load)
for line in lines("cold.tsv"):
    s, ra, rep, name, secs, read_bytes, disk_bytes, load = line.split("\t")
    cold.setdefault((s, ra, name), []).append((float(secs), int(read_bytes), int(disk_bytes),
                                               float(load)))


cold_medians = {}
for s, ra in sorted({(k[0], k[1]) for k in cold}, key=lambda k: (k[0], ra_key(k[1]))):
    info = surveys[s]
    names = [k[2] for k in cold if k[0] == s and k[1] == ra]
    floor = cold.get((s, ra, "floor, 16 KiB"))
    floor_t = statistics.median(v[0] for v in floor) if floor else None
    floor_b = statistics.median(v[1] for v in floor) if floor else None
    loads = [v[3] for k in names for v in cold[(s, ra, k)]]
    print(f"\n## {s} survey, cold, read-ahead {ra} KiB "
          f"(load {min(loads):.2f}–{max(loads):.2f})\n")
    row("command", "runs", "median s", "min–max s", "read MB (process)", "disk MB (device)",
        "KiB per image", "× floor time", "× floor bytes")
    row("---", "---:", "---:", "---:", "---:", "---:", "---:", "---:", "---:")
    for name in sorted(names, key=lambda n: (not n.startswith("floor"), n)):
        v = cold[(s, ra, name)]
        t = statistics.median(x[0] for x in v)
        b = statistics.median(x[1] for x in v)
        d = statistics.median(x[2] for x in v)
        cold_medians[(s, ra, name)] = (t, b)
        row(name, len(v), f"{t:.3f}", span([x[0] for x in v], lambda x: f"{x:.3f}"),
            f"{b / 1e6:.1f} ({span([x[1] for x in v], lambda x: f'{x / 1e6:.1f}')})",
            f"{d / 1e6:.1f}", f"{b / info['files'] / 1024:.1f}",
            f"{t / floor_t:.2f}" if floor_t else "–", f"{b / floor_b:.2f}" if floor_b else "–")
    print()

# --- system calls ----------------------------------------------------------
resumed = re.compile(r"^(?:\d+\s+)?(?:<\.\.\. )?(read|pread64)\b.*=\s+(-?\d+)")
for s in surveys:
    info = surveys[s]
    print(f"\n## {s} survey: system calls per image and pass (strace)\n")
    row("program", "all calls", "openat", "fstat", "pread64", "read", "close", "write",
        "mmap", "bytes read by read/pread64")
    row("---", "---:", "---:", "---:", "---:", "---:", "---:", "---:", "---:", "---:")
    for b in ("exifcheck", "floor", "exiv2"):
        text = lines(f"{s}-{b}.strace-c")
        if not text:
            continue
        passes = info["files"] * (1 if b == "exiv2" else 4)
        calls = {}
        for line in text:
            f = line.split()
            if len(f) >= 5 and f[0][0].isdigit() and f[-1] != "total":
                calls[f[-1]] = int(f[3])
            elif f and f[-1] == "total":
                calls["total"] = int(f[3])
        read_bytes = 0
        for line in lines(f"{s}-{b}.strace-reads"):
            m = resumed.match(line)
            if m and int(m.group(2)) > 0:
                read_bytes += int(m.group(2))
        per = lambda k: f"{calls.get(k, 0) / passes:.2f}"
        fstat = (calls.get("fstat", 0) + calls.get("newfstatat", 0)) / passes
        label = b + (" (1 pass, with find and xargs)" if b == "exiv2" else "")
        row(label, per("total"), per("openat"), f"{fstat:.2f}", per("pread64"), per("read"),
            per("close"), per("write"), per("mmap"), f"{read_bytes / passes:,.0f}")
    print()
    for b in ("default", "whole", "floor"):
        text = lines(f"{s}-{b}.rss")
        if text:
            peak, faults = map(int, text[-1].split()[-2:])
            print(f"{b}: peak memory {peak / 1024:.1f} MB, "
                  f"{faults / (4 * info['files']):.2f} page faults per image and pass")

# --- targets ---------------------------------------------------------------
print("\n## Against the targets\n")
row("target", "figure", "result")
row("---", "---", "---")


def target(text, figure, met):
    row(text, figure, "met" if met else "**missed**")


for s, ahead in (("big", 2), ("small", 1.5)):
    if s not in warm or "exifcheck" not in warm[s]:
        continue
    w = warm[s]
    r = w["exifcheck"] / w["floor, 16 KiB"]
    p = paired_ratios.get(s)
    turn = (lambda i: f" (in turn {p[i]:.2f}×)") if p else (lambda i: "")
    target(f"warm {s}: within 1.15× of the 16 KiB floor", f"{r:.2f}×" + turn(0), r <= 1.15)
    r = w["exiv2 (one pass)"] / w["exifcheck"]
    target(f"warm {s}: exiv2's pass ≥ {ahead}× exifcheck", f"{r:.2f}×" + turn(1),
           r >= ahead)
for ra in sorted({k[1] for k in cold_medians if k[0] == "big"}, key=ra_key):
    m = {k[2]: v for k, v in cold_medians.items() if k[0] == "big" and k[1] == ra}
    if not {"exifcheck", "floor, 16 KiB", "exiv2 (one pass)"} <= m.keys():
        continue
    e, f, x = m["exifcheck"], m["floor, 16 KiB"], m["exiv2 (one pass)"]
    target(f"cold big, read-ahead {ra} KiB: bytes ≤ 2× floor", f"{e[1] / f[1]:.2f}×",
           e[1] <= 2 * f[1])
    target(f"cold big, read-ahead {ra} KiB: time ≤ 1.3× floor", f"{e[0] / f[0]:.2f}×",
           e[0] <= 1.3 * f[0])
    target(f"cold big, read-ahead {ra} KiB: no slower than exiv2", f"{e[0] / x[0]:.2f}×",
           e[0] <= x[0])
