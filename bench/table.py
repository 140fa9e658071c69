#!/usr/bin/env python3
"""Prints, for each survey, one row per command over the runs given: at 2 ms
a request and on the 30 MB/s link (seconds, × the survey's head-only floor,
MiB served), cold (seconds, × floor, MiB read from the disk) and warm in
turn (seconds, × the baseline build; where the run took them, the mean user
CPU seconds over the rounds, their sum ÷ the baseline's, and the mean system
CPU seconds). Medians; ranges in brackets. Every
ratio is taken within one repetition or one round in turn.

    bench/table.py build/bench/results/A build/bench/results/B
"""
import os
import statistics
import sys

MiB = 1024 * 1024
FLOOR = {"dji": "floor, 24 KiB head, read-ahead off"}
ORDER = ["exifcheck", "exifcheck, today", "floor, 16 KiB head, read-ahead off",
         "floor, 24 KiB head, read-ahead off", "floor, read once, 32 in flight", "exiv2 (one pass)"]


def rows(folder, name):
    p = os.path.join(folder, name)
    if not os.path.exists(p):
        return []
    return [line.rstrip("\n").split("\t") for line in open(p, encoding="utf-8") if line.strip()]


def baseline(folder):
    for line in open(os.path.join(folder, "machine.txt"), encoding="utf-8"):
        if line.startswith("baseline: exifcheck, "):
            return "exifcheck, " + line.split("baseline: exifcheck, ", 1)[1].strip()
    return None


def med(values, fmt):
    if not values:
        return ""
    m = statistics.median(values)
    if len(values) == 1 or min(values) == max(values):
        return fmt(m)
    return f"{fmt(m)} ({fmt(min(values))}–{fmt(max(values))})"


def main(folders):
    # (survey, part) -> name -> {round key: (seconds, bytes)}
    data = {}
    base = None
    for f in folders:
        base = base or baseline(f)
        for r in rows(f, "cold.tsv"):
            data.setdefault((r[0], "cold"), {}).setdefault(r[3], {})[(f, r[1], r[2])] = (
                float(r[4]), int(r[5]))
        for r in rows(f, "latency.tsv"):
            part = "2 ms" if r[1] == "2000" else "link" if r[1] == "500:30000000" else r[1]
            served = int(r[8]) if r[8].isdigit() else None
            data.setdefault((r[0], part), {}).setdefault(r[3], {})[(f, r[2])] = (
                float(r[4]), served)
        for r in rows(f, "paired.tsv"):
            data.setdefault((r[0], "warm"), {}).setdefault(r[2], {})[(f, r[1])] = (float(r[3]), None)
            if len(r) > 5:  # user and system CPU seconds, from runs that took them
                data.setdefault((r[0], "cpu"), {}).setdefault(r[2], {})[(f, r[1])] = (
                    float(r[4]), float(r[5]))
    for s in sorted({k[0] for k in data}):
        floor = FLOOR.get(s, "floor, 16 KiB head, read-ahead off")
        names = sorted({n for (s2, _), v in data.items() if s2 == s for n in v},
                       key=lambda n: (ORDER.index(n) if n in ORDER else len(ORDER), n))
        print(f"\n{s} (× {floor}; warm ÷ {base})\n")
        print("| command | 2 ms: s | 2 ms: × floor | 2 ms: MiB | link: s | link: × floor | link: MiB "
              "| cold: s | cold: × floor | cold: MiB | warm in turn: s | warm: × baseline "
              "| warm: user s, mean | warm: user, × baseline's | warm: system s, mean |")
        print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
        for n in names:
            cells = [n]
            for part in ("2 ms", "link", "cold", "warm"):
                runs = data.get((s, part), {})
                mine = runs.get(n, {})
                ref = runs.get(base if part == "warm" else floor, {})
                secs = [v[0] for v in mine.values()]
                ratio = [v[0] / ref[k][0] for k, v in mine.items() if k in ref]
                cells += [med(secs, lambda x: f"{x:.3f}"), med(ratio, lambda x: f"{x:.2f}")]
                if part != "warm":
                    b = [v[1] / MiB for v in mine.values() if v[1] is not None]
                    cells.append(med(b, lambda x: f"{x:.1f}"))
            # The kernel samples CPU time in clock ticks (about 4 ms here), so
            # a round's figure is a tick or a few: means over the rounds.
            cpu = data.get((s, "cpu"), {})
            mine, ref = cpu.get(n, {}), cpu.get(base, {})
            both = [k for k in mine if k in ref]
            user = [mine[k][0] for k in both]
            ref_user = sum(ref[k][0] for k in both)
            cells += [f"{statistics.mean(user):.4f}" if user else "",
                      f"{sum(user) / ref_user:.2f}" if user and ref_user > 0 else "",
                      f"{statistics.mean(mine[k][1] for k in both):.4f}" if both else ""]
            print("| " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main(sys.argv[1:])
