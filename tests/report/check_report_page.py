#!/usr/bin/env python3
"""Checks exifcheck-report.html as a browser shows it: the DOM that chromium
--dump-dom printed, against the run's error.json and what the stage knows of
the survey. Prints what it found; ends with status 1 on any fault.

  check_report_page.py --dom DOM --page PAGE --error-json JSON --status N
      --files N --no-position NAME... [--bad-position NAME...] [--charset C]
      [--ascii] [--make TEXT] [--thumbnail NAME=FILE] --thumbnails-carried N
      [--findings FILE]

With --findings, FILE holds the frames each finding before processing must
name, one "finding<TAB>path below the image folder" a line: the page must
list exactly those under each finding, and mark them on the map and plots.
"""
import argparse
import base64
import codecs
import json
import re
import sys
from html.parser import HTMLParser

VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"}
CSP = "default-src 'none'; style-src 'unsafe-inline'; img-src data:"
# errcode in error.json, and the id of the check's section on the page.
CHECKS = {101: "check-resolution", 102: "check-maker", 103: "check-focal-length", 104: "check-gps"}
# Half the earth's circumference: no scale bar of positions on it is longer.
LONGEST_SCALE_METRES = 20_000_000
# The findings before processing, in the page's order.
FINDINGS = ["position_invalid", "position_outlier", "flight", "flight_altitude", "camera_other", "oblique",
            "horizon", "rtk_not_fixed", "no_time", "time_backwards", "duplicate", "gap_before", "gsd_outlier",
            "low_overlap", "blur_risk"]
# The findings the map rings on the frame itself.
RINGED = set(FINDINGS) - {"flight", "flight_altitude", "gap_before", "position_outlier"}
PLOTS = ["plot-altitude", "plot-pitch", "plot-gsd", "plot-overlap"]
# How far a dot may stand from its flight's track, which leaves out points a
# third of a unit off its line.
ON_TRACK = 0.6


class Node:
    def __init__(self, tag, attrs, parent):
        self.tag, self.attrs, self.parent, self.children = tag, dict(attrs), parent, []

    def walk(self):
        yield self
        for child in self.children:
            if isinstance(child, Node):
                yield from child.walk()

    def find(self, tag=None, cls=None, id_=None):
        return [n for n in self.walk() if (tag is None or n.tag == tag) and (id_ is None or n.attrs.get("id") == id_)
                and (cls is None or cls in (n.attrs.get("class") or "").split())]

    def text(self):
        return "".join(c if isinstance(c, str) else c.text() for c in self.children)


class Tree(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.root = self.at = Node("#document", {}, None)

    def handle_starttag(self, tag, attrs):
        node = Node(tag, attrs, self.at)
        self.at.children.append(node)
        if tag not in VOID:
            self.at = node

    def handle_startendtag(self, tag, attrs):
        self.at.children.append(Node(tag, attrs, self.at))

    def handle_endtag(self, tag):
        node = self.at
        while node.parent is not None and node.tag != tag:
            node = node.parent
        if node.parent is not None:
            self.at = node.parent

    def handle_data(self, data):
        self.at.children.append(data)


def base_name(path):
    return re.split(r"[/\\]", path.strip())[-1]


def slashed(path):
    return path.strip().replace("\\", "/")


def numbers(text):
    return [float(v) for v in re.findall(r"-?[0-9.]+", text or "")]


def off_track(point, lines):
    """How far a point stands from the nearest segment of any of the polylines."""
    best = float("inf")
    for line in lines:
        for (ax, ay), (bx, by) in zip(line, line[1:] or line):
            dx, dy = bx - ax, by - ay
            t = 0 if dx == dy == 0 else max(0, min(1, ((point[0] - ax) * dx + (point[1] - ay) * dy) / (dx * dx + dy * dy)))
            best = min(best, ((point[0] - ax - t * dx) ** 2 + (point[1] - ay - t * dy) ** 2) ** 0.5)
    return best


def flight_class(node):
    return next((c for c in (node.attrs.get("class") or "").split() if re.fullmatch(r"f[0-9]+", c)), None)


def check_findings(doc, args, expect):
    """The part before processing: above the checks, each finding with the frames it names, the plots."""
    sections = doc.find("section")
    ids = [s.attrs.get("id") for s in sections]
    checks = [i for i, s in enumerate(sections) if "check" in (s.attrs.get("class") or "").split()]
    if not expect("before-processing" in ids, "no <section id=before-processing>"):
        return
    at = ids.index("before-processing")
    expect(ids[:at] == ["verdict"], f"before-processing follows {ids[:at]}, not the verdict alone")
    expect(not checks or at < checks[0], "before-processing stands below a check's groups")
    part = sections[at]
    rows = [r for r in part.find("tr") if (r.attrs.get("id") or "").startswith("finding-")]
    expect([r.attrs["id"][8:] for r in rows] == FINDINGS, f"findings {[r.attrs['id'] for r in rows]}, not in order")
    listed = {}
    for row in rows:
        finding = row.attrs["id"][8:]
        items = [li for ul in row.find("ul", "named-frames") for li in ul.find("li")]
        listed[finding] = [slashed(li.find("bdi")[0].text()) if li.find("bdi") else "" for li in items]
        named = row.attrs.get("data-named", "")
        expect(named.isdigit() and (int(named) == len(items) or len(items) == 30 and int(named) > 30),
               f"{finding}: data-named {named!r} for {len(items)} frames listed")
        if "no-data" in (row.attrs.get("class") or "").split():
            expect("Not judged:" in row.text() and not items, f"{finding}: no data, and no reason or frames listed")
        if finding == "duplicate":
            for li in items:
                bdis = li.find("bdi")
                expect(len(bdis) == 2 and base_name(bdis[0].text()) == base_name(bdis[1].text()),
                       f"duplicate {li.text()!r} does not name the frame it repeats")
    if args.findings is None:
        return listed
    wanted = {f: [] for f in FINDINGS}
    with open(args.findings, encoding="utf-8") as f:
        for line in f:
            if line.strip():
                finding, path = line.rstrip("\n").split("\t")
                wanted[finding].append(path)
    for finding in FINDINGS:
        expect(sorted(listed.get(finding, [])) == sorted(wanted[finding]),
               f"{finding} lists {listed.get(finding)}, not {wanted[finding]}")

    # The map: a track a flight in its own colour, a ring on each frame drawn
    # that a finding names, a dashed step into each gap.
    svg = doc.find("svg", id_="map")
    flights = [r for t in part.find("table", id_="flights") for r in t.find("tr") if r.find("td")]
    if expect(svg and flights, "no map, or no table of the flights"):
        colours = {flight_class(t) for t in svg[0].find("polyline", "track")}
        expect(len(colours) == len(flights), f"{len(colours)} track colours for {len(flights)} flights")
        ringed = {p for f in RINGED for p in wanted[f] if base_name(p) not in args.no_position}
        rings = svg[0].find("circle", "named")
        expect(len(rings) == len(ringed), f"{len(rings)} rings on the map for {len(ringed)} frames: {sorted(ringed)}")
        for ring in rings:
            title = ring.find("title")[0].text() if ring.find("title") else ""
            m = re.match(r"\u2068([^\u2069]*)\u2069: ", title)
            expect(m and slashed(m.group(1)) in ringed, f"a ring titled {title!r}, for no frame named")
        gaps = svg[0].find("line", "gap")
        expect(len(gaps) == len(wanted["gap_before"]), f"{len(gaps)} gap steps for {wanted['gap_before']}")

    # The plots: SVG, each with its axes, lines and the frames named marked.
    plots = {p.attrs.get("id"): p for p in part.find("svg", "plot")}
    expect(sorted(plots) == sorted(PLOTS), f"plots {sorted(plots)}, not {PLOTS}")
    marked = {"plot-pitch": wanted["oblique"] + wanted["horizon"], "plot-overlap": wanted["low_overlap"],
              "plot-gsd": wanted["gsd_outlier"], "plot-altitude": wanted["gsd_outlier"]}
    for id_, plot in plots.items():
        box = numbers(plot.attrs.get("viewbox"))
        expect(plot.find("polyline", "series") and plot.find("text", "tick"), f"{id_}: no line or no tick labels")
        for line in plot.find("polyline") + plot.find("circle"):
            xy = numbers(line.attrs.get("points")) or numbers(f"{line.attrs.get('cx')} {line.attrs.get('cy')}")
            expect(len(box) == 4 and all(box[0] <= x <= box[2] and box[1] <= y <= box[3]
                                         for x, y in zip(xy[0::2], xy[1::2])), f"{id_}: a point outside {box}")
        expect(len(plot.find("circle", "plot-mark")) == len(set(marked[id_])),
               f"{id_}: {len(plot.find('circle', 'plot-mark'))} marks for {marked[id_]}")
    print("before processing: " + "; ".join(f"{f} {', '.join(p)}" for f, p in listed.items() if p))
    return listed


def main():
    ap = argparse.ArgumentParser()
    for flag in ("--dom", "--page", "--error-json"):
        ap.add_argument(flag, required=True)
    ap.add_argument("--status", required=True)
    ap.add_argument("--files", type=int, required=True)
    ap.add_argument("--no-position", nargs="*", default=[])
    ap.add_argument("--bad-position", nargs="*", default=[])
    ap.add_argument("--thumbnails-carried", type=int, required=True)
    ap.add_argument("--charset")
    ap.add_argument("--ascii", action="store_true")
    ap.add_argument("--make")
    ap.add_argument("--thumbnail")
    ap.add_argument("--findings")
    args = ap.parse_args()
    faults = []

    def expect(ok, fault):
        if not ok:
            faults.append(fault)
        return ok

    tree = Tree()
    with open(args.dom, encoding="utf-8") as f:
        tree.feed(f.read())
    doc = tree.root
    raw = open(args.page, "rb").read()
    nodes = list(doc.walk())

    # Only the page itself: no script, no handler, nothing fetched from elsewhere.
    csp = [n for n in doc.find("meta") if (n.attrs.get("http-equiv") or "").lower() == "content-security-policy"]
    expect(csp and " ".join(csp[0].attrs.get("content", "").split()) == CSP, f"no CSP meta with content {CSP!r}")
    expect(csp and all(n.tag not in ("style", "img", "svg") for n in nodes[:nodes.index(csp[0])]),
           "the CSP meta comes after content it should govern")
    for n in nodes:
        expect(n.tag not in ("script", "iframe", "object", "embed", "base", "link", "frame"), f"a <{n.tag}> element")
        for name, value in n.attrs.items():
            expect(not name.startswith("on"), f"<{n.tag} {name}=...>: an event handler")
            if name in ("src", "href", "xlink:href", "data", "srcset", "action", "formaction", "poster", "background"):
                expect((value or "").startswith(("data:", "#")), f"<{n.tag} {name}={value!r}>: not data: or #")
        if (n.attrs.get("http-equiv") or "").lower() == "refresh":
            faults.append("a meta refresh")
    for style in [n.text() for n in doc.find("style")] + [n.attrs["style"] or "" for n in nodes if "style" in n.attrs]:
        for target in re.findall(r"url\(\s*['\"]?([^'\")]*)", style) + re.findall(r"@import\s+['\"]?([^'\";]*)", style):
            expect(target.startswith(("data:", "#")), f"a style loads {target!r}")

    # The encoding: the declared one reads the file; the page's own texts are ASCII.
    charset = next((n.attrs["charset"] for n in doc.find("meta") if n.attrs.get("charset")), None)
    if expect(charset, "no <meta charset>"):
        expect(not args.charset or charset.lower() == args.charset, f"charset {charset}, not {args.charset}")
        try:
            codec = codecs.lookup(charset).name
            raw.decode(codec)
        except (LookupError, UnicodeDecodeError) as e:
            codec = "latin-1"
            faults.append(f"the page does not read as its charset {charset}: {e}")
    else:
        codec = "latin-1"
    expect(not args.ascii or max(raw, default=0) < 0x80, "non-ASCII bytes in a page of ASCII names")

    # error.json's names are bytes of the same code page as the page's.
    with open(args.error_json, "rb") as f:
        records = json.loads(f.read().decode("latin-1"))["errors"]
    reported = {r["errcode"]: [n.encode("latin-1").decode(codec, "replace") for n in r["images"]] for r in records}
    every = set(sum(reported.values(), []))
    odd_names = every - set(args.no_position) - set(args.bad_position)

    status = doc.find(id_="status")
    expect(status and status[0].attrs.get("data-status") == args.status,
           f"data-status {status and status[0].attrs.get('data-status')!r}, not {args.status}")
    holder = status[0].parent if status else None
    while holder is not None and holder.attrs.get("id") != "verdict":
        holder = holder.parent
    expect(holder is not None and holder.tag == "section", "no <section id=verdict> holding p#status")

    # The map: a dot per frame with a position, marked where a check reported
    # it, each on the track of its flight (of its colour).
    svg = doc.find("svg", id_="map")
    dots = odd = titles = tracks = []
    if expect(svg, "no <svg id=map>"):
        svg = svg[0]
        dots, odd = svg.find("circle", "dot"), svg.find("circle", "odd")
        titles = [g.find("title")[0].text() if g.find("title") else "" for g in svg.find("g", "odd")]
        tracks = [(flight_class(line), list(zip(*[iter(numbers(line.attrs.get("points")))] * 2)))
                  for line in svg.find("polyline", "track")]
        scale = " ".join(t.text() for g in svg.find("g", id_="scale") for t in g.find("text"))
        m = re.fullmatch(r"([0-9.]+) (k?m)", scale.strip())
        expect(m and 0 < float(m.group(1)) * (1000 if m.group(2) == "km" else 1) <= LONGEST_SCALE_METRES,
               f"a scale bar of {scale!r}: none, or a position off the earth drawn")
        box = [float(v) for v in (svg.attrs.get("viewbox") or "").replace(",", " ").split()]
        outliers = {(float(c.attrs.get("cx", "nan")), float(c.attrs.get("cy", "nan"))) for c in svg.find("circle", "outlier")}
        for c in dots:
            x, y = float(c.attrs.get("cx", "nan")), float(c.attrs.get("cy", "nan"))
            expect(len(box) == 4 and box[0] <= x <= box[0] + box[2] and box[1] <= y <= box[1] + box[3],
                   f"a dot at {x},{y} outside the viewBox {box}")
            if "none" in c.attrs.get("class", "").split() or (x, y) in outliers:
                continue  # in no flight, or an outlier at the map's edge: on no track
            own = flight_class(c)
            lines = [t for f, t in tracks if own is None or f == own]
            # A flight of one frame has no track.
            expect(not lines and own or off_track((x, y), lines) <= ON_TRACK,
                   f"the dot at {x},{y} ({own or 'odd'}) is off its flight's track")
    positions = args.files - len(args.no_position) - len(args.bad_position)
    expect(len(dots) == positions, f"{len(dots)} dots for {positions} frames with a position")
    expect(len(odd) == len(odd_names), f"{len(odd)} odd dots for {len(odd_names)} reported frames with a position")
    # A title sets its path apart: "\u2068flight_1/IMG_0007.JPG\u2069: Resolution".
    paths = [re.match(r"\u2068([^\u2069]*)\u2069: ", t) for t in titles]
    expect(all(paths), f"odd dots' titles without a path between U+2068 and U+2069: {titles}")
    for name in sorted(odd_names):
        expect(any(p and base_name(p.group(1)) == name for p in paths), f"no odd dot titled {name!r}")

    no_position = [base_name(li.text()) for ul in doc.find("ul", id_="no-position") for li in ul.find("li")]
    expect(sorted(no_position) == sorted(args.no_position), f"no-position lists {no_position}, not {args.no_position}")
    bad = [base_name(li.find("bdi")[0].text()) for ul in doc.find("ul", id_="bad-position") for li in ul.find("li")
           if li.find("bdi")]
    expect(sorted(bad) == sorted(args.bad_position), f"bad-position lists {bad}, not {args.bad_position}")

    # Every text from a file stands in a <bdi> of its own, so that its
    # direction stays inside it: each listed frame, group key and caption
    # starts with one, and the heading holds the image folder in one.
    lists = [li for ul in doc.find("ul") for li in ul.find("li")
             if ul.attrs.get("id") in ("no-position", "bad-position", "not-checked")
             or {"reported-frames", "named-frames"} & set((ul.attrs.get("class") or "").split())]
    keys = [td for td in doc.find("td", "key") if "(empty)" not in td.text()]
    for n in lists + keys + doc.find("figcaption"):
        first = next((c for c in n.children if isinstance(c, Node) or c.strip()), None)
        expect(isinstance(first, Node) and first.tag == "bdi",
               f"<{n.tag}> {n.text()[:60]!r}: its text from a file is not in a <bdi>")
    expect(all(h.find("bdi") for h in doc.find("h1")), "the image folder in <h1> is not in a <bdi>")

    listed = check_findings(doc, args, expect) or {}

    # Each check's groups and reported frames, as error.json has them.
    for code, id_ in CHECKS.items():
        section = doc.find("section", "check", id_)
        if not expect(section, f"no <section class=check id={id_}>"):
            continue
        frames = [base_name(li.text()) for ul in section[0].find("ul", "reported-frames") for li in ul.find("li")]
        expect(sorted(frames) == sorted(reported.get(code, [])),
               f"{id_} lists {frames}, error.json {reported.get(code)}")
        rows = [r for t in section[0].find("table", "groups") for r in t.find("tr") if r.find("td", "key")]
        expect(rows and all(set(r.attrs.get("class", "").split()) & {"majority", "reported", "left-out"} for r in rows),
               f"{id_}: group rows without a majority, reported or left-out class")
        sizes = [int("0" + "".join(td.text() for td in r.find("td", "size")).strip())
                 for r in rows if "reported" in r.attrs.get("class", "").split()]
        expect(sum(sizes) == len(frames), f"{id_}: reported groups hold {sum(sizes)} frames, the list {len(frames)}")
        print(f"{id_}: {len(rows)} groups, reported {', '.join(frames) or 'none'}")
    if args.make is not None:
        keys = [td.text() for s in doc.find("section", id_="check-maker") for td in s.find("td", "key")]
        expect(args.make in keys, f"the Make {args.make!r} is no group key as text; keys: {keys}")

    # A thumbnail is a whole JPEG, and only a reported frame has one shown.
    figures = [f for s in doc.find("section", id_="thumbnails") for f in s.find("figure")]
    expect(len(figures) <= len(every), f"{len(figures)} thumbnails for {len(every)} reported frames")
    shown = {}
    for f in figures:
        src = f.find("img")[0].attrs.get("src", "") if f.find("img") else ""
        caption = f.find("figcaption")[0].text() if f.find("figcaption") else ""
        data = base64.b64decode(src.split(",", 1)[1]) if src.startswith("data:image/jpeg;base64,") else b""
        expect(data[:2] == b"\xff\xd8" and data[-2:] == b"\xff\xd9",
               f"the thumbnail of {caption!r} is no whole JPEG")
        expect(base_name(caption) in every, f"a thumbnail of {caption!r}, which no check reported")
        shown[caption] = data
    counted = " ".join(p.text() for p in doc.find("p", id_="thumbnails-shown"))
    expect(not figures or f"Shown {len(figures)} of the {args.thumbnails_carried} thumbnails" in counted,
           f"{len(figures)} thumbnails of {args.thumbnails_carried}, and the page says {counted!r}")
    if args.thumbnail:
        name, path = args.thumbnail.split("=", 1)
        expect(any(name in caption and data == open(path, "rb").read() for caption, data in shown.items()),
               f"no thumbnail of {name!r} with its EXIF thumbnail bytes")

    print(f"page: {len(raw)} bytes, charset {charset}, status {status and status[0].attrs.get('data-status')}; "
          f"map: {len(dots)} dots, {len(odd)} odd, {len(tracks)} tracks; "
          f"findings naming frames: {sum(1 for v in listed.values() if v)}; "
          f"no position: {', '.join(no_position) or 'none'}; cannot be right: {', '.join(bad) or 'none'}; "
          f"{len(figures)} thumbnails of {args.thumbnails_carried}")
    for fault in faults:
        print(f"FAULT: {fault}", file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
