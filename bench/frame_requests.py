#!/usr/bin/env python3
"""Groups the frames of a traced run by the calls made on each: opens,
posix_fadvise and preads (size@offset; preadv2 with its flags and what it
returned), in the order they returned. The
trace must name each descriptor's file (strace -y):

    strace -f -y -e trace=openat,pread64,preadv2,fadvise64 -o run.st exifcheck settings.ini
    bench/frame_requests.py run.st

prints, per group, how many frames made those calls and three of them.
"""
import collections
import re
import sys

CALL = re.compile(r"^(\d+) +(?:[0-9:.]+ +)?(pread64|preadv2|fadvise64|openat)\((.*)$")
RESUMED = re.compile(r"^(\d+) +(?:[0-9:.]+ +)?<\.\.\. (pread64|preadv2|fadvise64|openat) resumed>(.*)$")
UNFINISHED = "<unfinished ...>"


def is_frame(path):
    return path.upper().endswith((".JPG", ".JPEG"))


def main(trace):
    calls = collections.defaultdict(list)

    def take(call, args):
        if call == "pread64":
            m = re.match(r"\d+<([^>]*)>, .*, (\d+), (\d+)\) += (-?\d+)", args)
            if m and is_frame(m.group(1)):
                calls[m.group(1)].append(f"pread {m.group(2)}@{m.group(3)}")
        elif call == "preadv2":
            # The probe of the cache: a read that takes only what is cached.
            m = re.match(r"\d+<([^>]*)>, \[.*iov_len=(\d+)\}\], \d+, (\d+), (\w+)\) += (-?\d+)", args)
            if m and is_frame(m.group(1)):
                got = m.group(5) if not m.group(5).startswith("-") else "EAGAIN"
                calls[m.group(1)].append(f"preadv2 {m.group(2)}@{m.group(3)} {m.group(4)}={got}")
        elif call == "fadvise64":
            m = re.match(r"\d+<([^>]*)>, (\d+), (\d+), POSIX_FADV_(\w+)", args)
            if m and is_frame(m.group(1)):
                whole = m.group(2) == "0" and m.group(3) == "0"
                calls[m.group(1)].append(f"fadvise {m.group(4)}" +
                                         ("" if whole else f" {m.group(3)}@{m.group(2)}"))
        else:
            m = re.match(r'[^,]*, "([^"]*)"', args)
            if m and is_frame(m.group(1)):
                calls[m.group(1)].append("open")

    pending = {}
    with open(trace, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            m = CALL.match(line)
            if m:
                pid, call, args = m.groups()
                if args.endswith(UNFINISHED):
                    pending[pid] = args[: -len(UNFINISHED)]
                else:
                    take(call, args)
                continue
            m = RESUMED.match(line)
            if m:
                pid, call, rest = m.groups()
                take(call, pending.pop(pid, "") + rest)
    groups = collections.defaultdict(list)
    for path in sorted(calls):
        groups[" | ".join(calls[path])].append(path)
    print(f"{len(calls)} frames")
    for shape, paths in sorted(groups.items(), key=lambda g: -len(g[1])):
        print(f"{len(paths):6d}  {shape}   e.g. {', '.join(p.rsplit('/', 2)[-2] + '/' + p.rsplit('/', 1)[-1] for p in paths[:3])}")


if __name__ == "__main__":
    main(sys.argv[1])
