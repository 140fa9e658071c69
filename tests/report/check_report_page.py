#!/usr/bin/env python3
"""Checks exifcheck-report.html as a browser shows it: the DOM that chromium
--dump-dom printed, against the run's error.json and what the stage knows of
the survey. Prints what it found; ends with status 1 on any fault.

  check_report_page.py --dom DOM --page PAGE --error-json JSON --status N
      --files N --no-position NAME... [--bad-position NAME...] [--charset C]
      [--ascii] [--make TEXT] [--thumbnail NAME=FILE] --thumbnails-carried N
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

    # The map: a dot per frame with a position, marked where a check reported it.
    svg = doc.find("svg", id_="map")
    dots = odd = titles = track = []
    if expect(svg, "no <svg id=map>"):
        svg = svg[0]
        dots, odd = svg.find("circle", "dot"), svg.find("circle", "odd")
        titles = [g.find("title")[0].text() if g.find("title") else "" for g in svg.find("g", "odd")]
        track = [tuple(map(float, p.split(",")))
                 for line in svg.find("polyline", "track") for p in line.attrs.get("points", "").split()]
        scale = " ".join(t.text() for g in svg.find("g", id_="scale") for t in g.find("text"))
        m = re.fullmatch(r"([0-9.]+) (k?m)", scale.strip())
        expect(m and 0 < float(m.group(1)) * (1000 if m.group(2) == "km" else 1) <= LONGEST_SCALE_METRES,
               f"a scale bar of {scale!r}: none, or a position off the earth drawn")
        box = [float(v) for v in (svg.attrs.get("viewbox") or "").replace(",", " ").split()]
        for c in dots:
            x, y = float(c.attrs.get("cx", "nan")), float(c.attrs.get("cy", "nan"))
            expect(len(box) == 4 and box[0] <= x <= box[0] + box[2] and box[1] <= y <= box[1] + box[3],
                   f"a dot at {x},{y} outside the viewBox {box}")
            expect(any(abs(x - tx) < 0.5 and abs(y - ty) < 0.5 for tx, ty in track),
                   f"the track misses the dot at {x},{y}")
    positions = args.files - len(args.no_position) - len(args.bad_position)
    expect(len(dots) == positions, f"{len(dots)} dots for {positions} frames with a position")
    expect(len(track) == positions, f"the track has {len(track)} points for {positions} frames with a position")
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
             or "reported-frames" in (ul.attrs.get("class") or "").split()]
    keys = [td for td in doc.find("td", "key") if "(empty)" not in td.text()]
    for n in lists + keys + doc.find("figcaption"):
        first = next((c for c in n.children if isinstance(c, Node) or c.strip()), None)
        expect(isinstance(first, Node) and first.tag == "bdi",
               f"<{n.tag}> {n.text()[:60]!r}: its text from a file is not in a <bdi>")
    expect(all(h.find("bdi") for h in doc.find("h1")), "the image folder in <h1> is not in a <bdi>")

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
          f"map: {len(dots)} dots, {len(odd)} odd, track of {len(track)}; "
          f"no position: {', '.join(no_position) or 'none'}; cannot be right: {', '.join(bad) or 'none'}; "
          f"{len(figures)} thumbnails of {args.thumbnails_carried}")
    for fault in faults:
        print(f"FAULT: {fault}", file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
