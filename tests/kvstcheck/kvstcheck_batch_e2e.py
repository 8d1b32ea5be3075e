#!/usr/bin/python3
"""kvstcheck on a whole office's drawings, run as a user runs it under Wine: DXF files as other
programs write them, folders, the progress line on a console, the HTML report in a real browser.
Each class is one CTest test: kvstcheck_batch_e2e.py CLASS. Environment as for kvstcheck_e2e.py,
plus KVST_CHROMIUM (the browser) for HtmlReport.
"""
import hashlib
import html.parser
import json
import os
import pathlib
import pty
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import unittest

import ezdxf
import ezdxf.recover

from kvstcheck_e2e import (DIM_STYLE, ENGLISH_KINDS, LAYER, LINETYPE, OFFICE, SITE, SOURCE, STANDARD, STANDARD_PATH,
                           TEXT_STYLE,
                           WINE_RUN, EXE, decode_escapes, finding_lines, kvstcheck, scratch, windows_path,
                           write_standard)
from terminal import read_until_exit

NOTHING_ALLOWED = [(kind, ["(none)"]) for kind in ("AcadLayer", "AcadLineType", "AcadTextStyle", "AcadDimStyle")]


def names_in(doc):
    """The names a drawing read by ezdxf holds, in the order and with the kinds kvstcheck reports."""
    names = [(LAYER, e.dxf.name) for e in doc.layers]
    names += [(LINETYPE, e.dxf.name) for e in doc.linetypes]
    names += [(TEXT_STYLE, e.dxf.name) for e in doc.styles if not e.dxf.flags & 1]
    names += [(DIM_STYLE, e.dxf.name) for e in doc.dimstyles]
    return [(kind, decode_escapes(name)) for kind, name in names]


def findings_of(drawing):
    return [(f["kind"], f["name"]) for f in drawing["findings"]]


# Deviations as other writers produce them, applied to the (code line, value line) pairs of a file.
def pairs_of(data):
    lines = data.split(b"\n")
    if lines[-1] == b"":
        lines.pop()
    return [(lines[i], lines[i + 1]) for i in range(0, len(lines) - 1, 2)]


def joined(pairs, ends=(b"\n",)):
    out = []
    for number, (code, value) in enumerate(pairs):
        out += [code, ends[(2 * number) % len(ends)], value, ends[(2 * number + 1) % len(ends)]]
    return b"".join(out)


def is_pair(pair, code, value):
    return pair[0].strip() == str(code).encode() and pair[1] == value


def early_header_end(pairs):
    """ENDSEC right after $ACADVER's value; the other header variables follow it."""
    at = next(i for i, p in enumerate(pairs) if is_pair(p, 9, b"$ACADVER"))
    return pairs[:at + 2] + [(b"  0", b"ENDSEC")] + pairs[at + 2:]


def groups_between_sections(pairs):
    out = []
    for pair in pairs:
        out.append(pair)
        if is_pair(pair, 0, b"ENDSEC"):
            out += [(b"  5", b"FF"), (b"  0", b"LINE"), (b"  8", b"0"), (b"999", b"between sections")]
    return out


def without_eof(pairs):
    assert is_pair(pairs[-1], 0, b"EOF")
    return pairs[:-1]


def comments_everywhere(pairs):
    out = [(b"999", b"written by a script")]
    for pair in pairs:
        out += [pair, (b"999", b"  0")]
    return out


def padded_codes(pairs):
    return [(b" \t" + code.strip() + b" ", value) for code, value in pairs]


def codes_in_every_blank(pairs):
    return [(b" \v\f\t" + code.strip() + b"\f\v\t ", value) for code, value in pairs]


DEVIATIONS = {
    "early-header-end": (early_header_end, (b"\n",)),
    "groups-between-sections": (groups_between_sections, (b"\n",)),
    "no-eof": (without_eof, (b"\n",)),
    "padded-codes-mixed-line-ends": (padded_codes, (b"\r\n", b"\n", b"\r\r\n")),
    "codes-in-every-blank": (codes_in_every_blank, (b"\n",)),
    "comments-everywhere": (comments_everywhere, (b"\n",)),
    "all-at-once": (lambda p: comments_everywhere(groups_between_sections(early_header_end(without_eof(p)))),
                    (b"\n", b"\r\n")),
}


class OtherWriters(unittest.TestCase):
    """Each deviation of other writers, applied to files ezdxf writes: kvstcheck reads the names that
    ezdxf's recovering reader reads, where its strict reader may refuse the file."""

    @classmethod
    def setUpClass(cls):
        cls.folder = scratch("other-writers")
        cls.standard = write_standard(cls.folder / "nothing.ini", NOTHING_ALLOWED)

    def base(self, version, encoding):
        doc = ezdxf.new(version)
        if encoding:
            doc.encoding = encoding
        for name in ("Walls", "Wände", "图层一", "with space"):
            doc.layers.add(name)
        doc.linetypes.add("点划线", pattern=[0.5, 0.25, -0.25])
        doc.styles.add("Notes", font="simsun.ttc")
        doc.dimstyles.add("标注")
        path = self.folder / f"base-{version}-{encoding or 'default'}.dxf"
        doc.saveas(path)
        return path.read_bytes()

    def test_each_deviation_reads_as_the_recovering_reader_reads_it(self):
        for version, encoding in (("R12", None), ("R2000", "gbk"), ("R2013", None)):
            base = self.base(version, encoding)
            for label, (change, ends) in DEVIATIONS.items():
                with self.subTest(version=version, encoding=encoding, deviation=label):
                    path = self.folder / f"{label}-{version}-{encoding or 'default'}.dxf"
                    path.write_bytes(joined(change(pairs_of(base)), ends))
                    doc, _ = ezdxf.recover.readfile(path)
                    expected = names_in(doc)
                    self.assertIn((LAYER, "图层一"), expected)
                    run = kvstcheck("--json", "--standard", windows_path(self.standard), windows_path(path))
                    self.assertEqual(run.status, 1, run)
                    drawing = run.json()["drawings"][0]
                    self.assertEqual(findings_of(drawing), expected)
                    if label in ("no-eof", "all-at-once"):
                        self.assertIn("may be cut short", " ".join(drawing["warnings"]))
                        self.assertIn(": warning: line ", run.err)
                    else:
                        self.assertNotIn("warnings", drawing)
                        self.assertEqual(run.err, "")

    def test_the_deviations_are_ones_a_strict_reader_refuses(self):
        base = self.base("R2000", "gbk")
        for label in ("early-header-end", "no-eof"):
            with self.subTest(label):
                path = self.folder / f"strict-{label}.dxf"
                path.write_bytes(joined(DEVIATIONS[label][0](pairs_of(base))))
                with self.assertRaises(ezdxf.DXFStructureError):
                    ezdxf.readfile(path)

    def test_what_both_readers_refuse(self):
        base = pairs_of(self.base("R2000", None))
        at = next(i for i, p in enumerate(base) if is_pair(p, 0, b"LAYER"))
        cases = {
            "bad-group-code": joined(base[:at] + [(b"x", b"Walls")] + base[at:]),
            "binary-marker": b"AnyName Binary DXF\r\n\x1a\x00" + joined(base),
        }
        for label, data in cases.items():
            with self.subTest(label):
                path = self.folder / f"refused-{label}.dxf"
                path.write_bytes(data)
                with self.assertRaises(ezdxf.DXFStructureError):
                    ezdxf.recover.readfile(path)
                run = kvstcheck("--json", "--standard", windows_path(self.standard), windows_path(path))
                self.assertEqual(run.status, 2, run)
                self.assertIn("line ", run.json()["drawings"][0]["error"])


def generated_dxf(layers, linetypes, version="AC1015", eof=True):
    pairs = [(0, "SECTION"), (2, "HEADER"), (9, "$ACADVER"), (1, version), (9, "$DWGCODEPAGE"), (3, "ANSI_1252"),
             (0, "ENDSEC"), (0, "SECTION"), (2, "TABLES")]
    for table, names in (("LTYPE", linetypes), ("LAYER", layers)):
        pairs += [(0, "TABLE"), (2, table), (70, len(names))]
        for name in names:
            pairs += [(0, table), (2, name), (70, 0)]
        pairs.append((0, "ENDTAB"))
    pairs += [(0, "ENDSEC"), (0, "SECTION"), (2, "ENTITIES")]
    for number, layer in enumerate(layers):
        pairs += [(0, "LINE"), (8, layer), (10, number), (20, 0.5)]
    pairs.append((0, "ENDSEC"))
    if eof:
        pairs.append((0, "EOF"))
    return "".join(f"{code}\n{value}\n" for code, value in pairs).encode("cp1252")


def jobs_corpus(root, count):
    """count drawings in nested folders: allowed and not allowed names, warnings, drawings that
    cannot be read, slow big ones among small ones."""
    allowed = ["0", "A-WALL", "A-DOOR", "A-GLAZ"]
    other = ["a-wall", "Walls", "A-WAL", "Möbel", "X-{0}"]
    for number in range(count):
        folder = root / f"level-{number % 7}" / f"part-{number % 3}"
        folder.mkdir(parents=True, exist_ok=True)
        path = folder / f"drawing-{number:04}.dxf"
        kind = number % 10
        layers = allowed[: 1 + number % 4] + [other[number % 5].format(number)] * (number % 3 > 0)
        if kind == 0:
            path.write_bytes(generated_dxf(layers, ["Continuous"], eof=False))  # a warning
        elif kind == 1 and number % 20 == 1:
            path.write_bytes(generated_dxf(layers, ["DASHED"])[:60])  # cut before its tables end
        elif kind == 2 and number % 40 == 2:
            path.with_suffix(".json").write_text('{"Layers": ["A-WALL", "Walls"', encoding="utf-8")  # broken JSON
        elif kind == 3 and number % 100 == 3:
            path.write_bytes(generated_dxf(layers * 200, ["Continuous"]))  # a slow one
        elif kind == 4:
            shutil.copy(SOURCE / "examples/drawings/office.dxf", path)
        else:
            path.write_bytes(generated_dxf(layers, ["Continuous", "DASHED", "Dots"][: 1 + number % 3]))


class Jobs(unittest.TestCase):
    """Several workers report what one reports: the same lines, messages, JSON, HTML page and exit
    status, in the same order."""

    @classmethod
    def setUpClass(cls):
        cls.folder = scratch("jobs")
        jobs_corpus(cls.folder / "corpus", 1000)

    def run_with(self, jobs, *arguments):
        return kvstcheck("--jobs", jobs, "--standard", windows_path(STANDARD_PATH), *arguments, "corpus",
                         windows_path(SOURCE / "examples/drawings"), cwd=self.folder)

    def test_text_and_messages_alike_whatever_the_jobs(self):
        one = self.run_with(1)
        self.assertEqual(one.status, 2, one)
        # 50 cut drawings and 25 broken JSON files are not audited; 100 drawings without EOF warn.
        summaries = [line for line in one.lines if re.search(r": (no findings|\d+ findings?) in \d+ names?$", line)]
        self.assertEqual(len(summaries), 930, one.lines[-1])
        findings = len(one.lines) - len(summaries) - 1
        self.assertEqual(one.lines[-1], f"1005 drawings: {findings} findings, 75 not audited")
        self.assertEqual(one.err.count(": warning: line "), 100)
        self.assertEqual(one.err.count(": line ") - one.err.count(": warning: line "), 50 + 25)
        self.assertTrue(any(": no findings in " in line for line in summaries))
        self.assertGreater(findings, 1000)
        for jobs in (2, 3, 8):
            with self.subTest(jobs=jobs):
                many = self.run_with(jobs)
                self.assertEqual((many.status, many.out, many.err), (one.status, one.out, one.err))

    def test_json_and_html_alike_whatever_the_jobs(self):
        outputs = {}
        for jobs in (1, 4):
            page = self.folder / f"report-{jobs}.html"
            run = self.run_with(jobs, "--json", "--html", windows_path(page))
            # The page's time of writing is the one thing two runs may not share.
            written = re.sub(rb"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d UTC[+-]\d\d:\d\d", b"(time)", page.read_bytes())
            outputs[jobs] = (run.status, run.out, run.err, written)
        self.assertEqual(outputs[4], outputs[1])
        document = json.loads(outputs[1][1])
        self.assertEqual(len(document["drawings"]), 1005)
        self.assertEqual(document["status"], 2)


def office_tree(root):
    """A project folder: drawings at several depths, names in several scripts, files that are not drawings."""
    drawings = SOURCE / "examples/drawings"
    for relative, source in (("A/office.dxf", "office.dxf"), ("A/sub/clean.json", "clean.json"),
                             ("b/site.json", "site.json"), ("été/plan.DXF", "office.dxf"),
                             ("图纸/办公室.dxf", "office.dxf"), ("readme.txt", "clean.json")):
        (root / relative).parent.mkdir(parents=True, exist_ok=True)
        shutil.copy(drawings / source, root / relative)
    return ["A/office.dxf", "A/sub/clean.json", "b/site.json", "été/plan.DXF", "图纸/办公室.dxf"]


def without_capabilities(command):
    """As root, file permissions bind only without the capabilities that override them."""
    if os.geteuid() != 0:
        return command
    caps = "-dac_override,-dac_read_search"
    return ["setpriv", f"--inh-caps={caps}", f"--bounding-set={caps}"] + command


class Folders(unittest.TestCase):
    """A folder stands for every drawing below it; what cannot be read is reported for itself."""

    def test_every_drawing_below_in_a_stable_order(self):
        folder = scratch("folders")
        # Without a separator in the folder given, the paths shown use the system's own.
        expected = ["project\\" + relative.replace("/", "\\") for relative in office_tree(folder / "project")]
        run = kvstcheck("--json", "--standard", windows_path(STANDARD_PATH), "project", cwd=folder)
        self.assertEqual(run.status, 1, run)
        drawings = run.json()["drawings"]
        self.assertEqual([d["path"] for d in drawings], expected)
        self.assertEqual([findings_of(d) for d in drawings], [OFFICE, [], SITE, OFFICE, OFFICE])
        again = kvstcheck("--json", "--standard", windows_path(STANDARD_PATH), "project", cwd=folder)
        self.assertEqual(again.out, run.out)
        # With the user's slashes, the paths below keep them.
        text = kvstcheck("--standard", windows_path(STANDARD_PATH), "project/A/", cwd=folder)
        self.assertEqual(text.lines, finding_lines("project/A/office.dxf", OFFICE, 19) +
                         finding_lines("project/A/sub/clean.json", [], 7) + ["2 drawings: 6 findings"], text)

    def test_links_that_loop_and_unreadable_folders(self):
        folder = scratch("bad-folders")
        office_tree(folder / "project")
        (folder / "project/b/x").mkdir()
        os.symlink("../../A", folder / "project/b/x/to-a")
        os.symlink("../b", folder / "project/A/to-b")  # A/to-b/x/to-a is A again
        locked = folder / "project/locked"
        locked.mkdir()
        shutil.copy(SOURCE / "examples/drawings/site.json", locked / "site.json")
        locked.chmod(0)
        try:
            run = kvstcheck("--json", "--standard", windows_path(STANDARD_PATH), "project/", cwd=folder,
                            command=without_capabilities([WINE_RUN, EXE]))
        finally:
            locked.chmod(0o755)
        self.assertEqual(run.status, 2, run)
        drawings = {d["path"]: d for d in run.json()["drawings"]}
        loops = [p for p, d in drawings.items() if "links back to a folder above it" in d.get("error", "")]
        self.assertEqual(sorted(loops), ["project/A/to-b/x/to-a", "project/b/x/to-a/to-b"], run)
        self.assertIn("cannot read the folder", drawings["project/locked"]["error"])
        self.assertIn("kvstcheck: project/locked: cannot read the folder", run.err)
        for path in ("project/A/office.dxf", "project/été/plan.DXF", "project/图纸/办公室.dxf"):
            self.assertEqual(findings_of(drawings[path]), OFFICE, path)
        self.assertEqual(findings_of(drawings["project/A/to-b/site.json"]), SITE)

    def test_a_file_that_vanishes_during_the_run(self):
        # The output goes to a pipe nobody reads yet: kvstcheck stops when it is full, long before the
        # last drawing, which is deleted then. The folder was walked before the first line was written.
        folder = scratch("vanishing")
        count = 400
        for number in range(count):
            shutil.copy(SOURCE / "examples/drawings/office.dxf", folder / f"drawing-{number:03}.dxf")
        last = folder / f"drawing-{count - 1:03}.dxf"
        process = subprocess.Popen([WINE_RUN, EXE, "--standard", windows_path(STANDARD_PATH), "."], cwd=folder,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        chunks = [process.stdout.read(4096)]
        last.unlink()
        # Wine's helpers may hold the pipes after the program ends: read while it runs, not to their end.
        errors = []
        reader = threading.Thread(target=lambda: errors.append(process.stderr.read()), daemon=True)
        reader.start()
        drainer = threading.Thread(target=lambda: [chunks.append(c) for c in iter(lambda: process.stdout.read(4096), b"")],
                                   daemon=True)
        drainer.start()
        status = process.wait(timeout=300)
        drainer.join(timeout=10)
        reader.join(timeout=10)
        out = b"".join(chunks).decode()
        self.assertEqual(status, 2)
        self.assertIn(f".\\drawing-{count - 1:03}.dxf: cannot open the file", b"".join(errors).decode())
        self.assertEqual(out.count(": 6 findings in 19 names"), count - 1)
        self.assertTrue(out.endswith(f"{count} drawings: {6 * (count - 1)} findings, 1 not audited\n"), out[-200:])


def strip_terminal(text):
    """Text shown on the terminal, without its escape sequences."""
    return re.sub(r"\x1b\[[0-9;?]*[A-Za-z]|\x1b\][^\x07]*\x07", "", text)


def on_terminal(arguments, cwd, columns=100):
    """Runs kvstcheck with its standard error on a pseudo-terminal, as in a console window; the
    standard output goes to a file. Gives the status, the output and what the terminal received."""
    import fcntl
    import termios
    master, slave = pty.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 40, columns, 0, 0))
    with tempfile.TemporaryFile() as out:
        process = subprocess.Popen([WINE_RUN, EXE] + arguments, cwd=cwd, stdin=subprocess.DEVNULL, stdout=out,
                                   stderr=slave)
        os.close(slave)
        received = read_until_exit(master, process)
        out.seek(0)
        return process.returncode, out.read().decode(), received.decode(errors="replace")


class Progress(unittest.TestCase):
    """A console sees a progress line during a long run, which leaves nothing behind; a file does not."""

    @classmethod
    def setUpClass(cls):
        cls.folder = scratch("progress")
        for number in range(8):
            shutil.copy(SOURCE / "examples/drawings/office.dxf", cls.folder / f"plan-{number}.dxf")

    def test_a_console_sees_the_drawings_done_the_file_and_the_time_left(self):
        status, out, terminal = on_terminal(["--standard", windows_path(STANDARD_PATH), "."], self.folder)
        self.assertEqual(status, 1, terminal)
        shown = strip_terminal(terminal)
        self.assertIn("0 of 8 drawings: .\\plan-0.dxf", shown)
        self.assertRegex(shown, r"7 of 8 drawings, \d+ s left: \.\\plan-7\.dxf")
        # The line is cleared at the end: nothing but blanks follows the last one.
        self.assertEqual(shown[shown.rindex("plan-7.dxf") + len("plan-7.dxf"):].strip(), "", repr(terminal[-300:]))
        # The output is the same as without a console.
        expected = [line for n in range(8) for line in finding_lines(f".\\plan-{n}.dxf", OFFICE, 19)]
        self.assertEqual(out.splitlines(), expected + ["8 drawings: 48 findings"])

    def test_none_when_redirected_with_json_or_for_a_few_drawings(self):
        run = kvstcheck("--standard", windows_path(STANDARD_PATH), ".", cwd=self.folder)
        self.assertEqual(run.err, "")
        self.assertEqual(run.status, 1)
        _, out, terminal = on_terminal(["--json", "--standard", windows_path(STANDARD_PATH), "."], self.folder)
        self.assertNotIn("drawings", strip_terminal(terminal))
        self.assertEqual(len(json.loads(out)["drawings"]), 8)
        few = [f"plan-{n}.dxf" for n in range(5)]
        _, _, terminal = on_terminal(["--standard", windows_path(STANDARD_PATH)] + few, self.folder)
        self.assertNotIn("drawings", strip_terminal(terminal))


class RenderedPage(html.parser.HTMLParser):
    """What a rendered report shows: its facts, totals, the findings by name, the table of drawings,
    each drawing's counts and findings, and any element that a text of the run should never have become."""

    def __init__(self):
        super().__init__()
        self.facts = {}
        self.totals = {}
        self.by_name = []  # (name, kind key, drawings)
        self.index = []  # (link target, path, findings)
        self.drawings = []  # {"path", "id", "findings" (data), "counts": {kind key: n}, "rows": [(kind, name)]}
        self.elements = {}
        self._stack = []  # (tag, attrs, classes, text so far)
        self._row = []  # the cells of the table row being read: (text, attributes)

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        self.elements[tag] = self.elements.get(tag, 0) + 1
        classes = (attrs.get("class") or "").split()
        if tag == "section" and "drawing" in classes:
            self.drawings.append({"findings": int(attrs["data-findings"]), "counts": {}, "rows": [], "path": "",
                                  "id": attrs["id"]})
        if tag == "tr" and self._inside("tr") is None:
            self._row = []
        self._stack.append([tag, attrs, classes, ""])

    def handle_endtag(self, tag):
        opened, attrs, classes, text = self._stack.pop()
        if opened == "td" and "data-fact" in attrs:
            self.facts[attrs["data-fact"]] = text
        if opened == "code" and "data-fact" in attrs:
            self.facts[attrs["data-fact"]] = text
        if opened == "td" and "data-total" in attrs:
            self.totals[attrs["data-total"]] = int(text)
        section = self._inside("section")
        if opened == "td" and section is not None:
            self._row.append((text, attrs))
        if opened == "a" and section is not None and "index" in section[2]:
            self._row.append((attrs["href"], {}))
        if opened == "tr" and section is not None and self._row:
            self._end_row(section, classes)
        if opened == "h2" and "path" in classes:
            self.drawings[-1]["path"] = text
        if self._stack:
            self._stack[-1][3] += text

    def _end_row(self, section, row_classes):
        cells = [text for text, _ in self._row]
        if "by-name" in section[2]:
            self.by_name.append((cells[0], self._row[1][1]["data-kind"], int(cells[2])))
        elif "index" in section[2]:
            self.index.append((cells[0], cells[1], cells[2]))
        elif "drawing" in section[2] and "finding" in row_classes:
            self.drawings[-1]["rows"].append((cells[0], cells[1]))
        elif "drawing" in section[2]:
            self.drawings[-1]["counts"][self._row[1][1]["data-kind"]] = int(cells[1])
        self._row = []

    def handle_data(self, data):
        if self._stack:
            self._stack[-1][3] += data

    def _inside(self, tag):
        return next((entry for entry in reversed(self._stack) if entry[0] == tag), None)


HOSTILE = ["<script>document.title='x'</script>", "</td></tr></table><b>bold", 'a & b "c" \'d\'', "&amp;",
           "abc\u202edef", "TRAIL ", "\x1b[2J"]


def by_name_of(document):
    """The findings-by-name table as the JSON gives it: (display name, kind key, drawings), most first."""
    drawings_of = {}
    for drawing in document["drawings"]:
        for finding in drawing.get("findings", []):
            key = (finding["displayName"], finding["kindKey"])
            drawings_of.setdefault(key, set()).add(drawing["path"])
    rows = [(name, kind, len(paths)) for (name, kind), paths in drawings_of.items()]
    return rows


class HtmlReport(unittest.TestCase):
    """--html writes a page that a real browser renders with the JSON's counts and names."""

    def browser(self, *arguments, profile):
        command = [os.environ.get("KVST_CHROMIUM", "chromium"), "--headless", "--no-sandbox", "--disable-gpu",
                   "--disable-quic", "--no-first-run", "--disable-background-networking",
                   "--disable-component-update", "--disable-sync", f"--user-data-dir={profile}", *arguments]
        return subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)

    def probed(self, page, folder, probe, replacements=(), width=1000):
        """The DOM of a copy of the page with a probe script added (the page itself has none)."""
        text = page.read_text(encoding="utf-8")
        self.assertNotIn("<script", text)
        for old, new in replacements:
            self.assertIn(old, text)
            text = text.replace(old, new)
        copy = folder / f"probed-{len(list(folder.glob('probed-*')))}.html"
        copy.write_text(text.replace("</body>", f"<script>{probe}</script></body>"), encoding="utf-8")
        rendered = self.browser(f"--window-size={width},800", "--dump-dom", copy.as_uri(),
                                profile=tempfile.mkdtemp(dir=folder))
        self.assertEqual(rendered.returncode, 0, rendered.stderr)
        return rendered.stdout.decode()

    def test_the_rendered_page_shows_the_json_counts_and_names(self):
        folder = scratch("html")
        drawings = folder / "R&D drawings"
        office_tree(drawings)
        # DXF writers refuse such names; a JSON drawing holds any.
        (drawings / "hostile.json").write_text(json.dumps({"Layers": HOSTILE, "DimStyles": HOSTILE[:1]}))
        (drawings / "broken.dxf").write_bytes(b"not a drawing\n")
        page = folder / "report.html"
        run = kvstcheck("--json", "--html", windows_path(page), "--standard", windows_path(STANDARD_PATH),
                        windows_path(drawings))
        self.assertEqual(run.status, 2, run)
        document = run.json()
        profile = tempfile.mkdtemp(prefix="kvst-browser-", dir=folder)
        rendered = self.browser("--dump-dom", page.as_uri(), profile=profile)
        self.assertEqual(rendered.returncode, 0, rendered.stderr)
        shown = RenderedPage()
        shown.feed(rendered.stdout.decode())

        self.assertEqual(shown.elements.get("script", 0), 0)
        self.assertEqual(shown.elements.get("b", 0), 0)
        self.assertEqual(shown.elements.get("link", 0) + shown.elements.get("img", 0), 0)
        audited = [d for d in document["drawings"] if "error" not in d]
        self.assertEqual(shown.totals, {"drawings": len(document["drawings"]), "findings": document["findings"],
                                        "accepted": document["accepted"], "names": sum(d["names"] for d in audited),
                                        "not-audited": len(document["drawings"]) - len(audited)})
        self.assertEqual([d["path"] for d in shown.drawings], [d["path"] for d in document["drawings"]])
        for page_drawing, drawing in zip(shown.drawings, document["drawings"]):
            with self.subTest(drawing["path"]):
                findings = [(ENGLISH_KINDS[f["kind"]], f["displayName"]) for f in drawing.get("findings", [])]
                self.assertEqual(page_drawing["findings"], len(findings))
                self.assertEqual(page_drawing["rows"], findings)
                per_kind = {}
                for finding in drawing.get("findings", []):
                    per_kind[finding["kindKey"]] = per_kind.get(finding["kindKey"], 0) + 1
                self.assertEqual(page_drawing["counts"], per_kind)
        hostile = next(d for d in shown.drawings if d["path"].endswith("hostile.json"))
        self.assertTrue({"abc<U+202E>def", "TRAIL<U+0020>", "<U+001B>[2J"} | set(HOSTILE[:4]) <=
                        {name for _, name in hostile["rows"]})

        # The facts a reader elsewhere needs, the findings by name, and a link to every drawing.
        standard = STANDARD_PATH.read_bytes()
        self.assertRegex(shown.facts["when"], r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d UTC[+-]\d\d:\d\d$")
        self.assertRegex(shown.facts["tool"], r"^kvstcheck \d+\.\d+")
        self.assertRegex(shown.facts["plugin"], r"KVStVB7Default\.dll, file version 1\.0\.0\.0$")
        self.assertIn(f"KVStPluginDefault.ini, {len(standard)} bytes, SHA-256 ", shown.facts["standard"])
        self.assertEqual(shown.facts["sha256"], hashlib.sha256(standard).hexdigest())
        self.assertEqual(sorted(shown.by_name), sorted(by_name_of(document)))
        counts = [count for _, _, count in shown.by_name]
        self.assertEqual(counts, sorted(counts, reverse=True))
        self.assertEqual(shown.by_name[0], ("A-WALL-OLD", "layers", 3))
        self.assertEqual([(target, path) for target, path, _ in shown.index],
                         [("#" + d["id"], d["path"]) for d in shown.drawings])
        self.assertEqual([findings for _, _, findings in shown.index],
                         [str(len(d["findings"])) if "error" not in d else "not audited"
                          for d in document["drawings"]])

        shot = folder / "report.png"
        taken = self.browser(f"--screenshot={shot}", "--window-size=1000,800", "--hide-scrollbars", page.as_uri(),
                             profile=profile)
        self.assertEqual(taken.returncode, 0, taken.stderr)
        png = shot.read_bytes()
        self.assertEqual(png[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(struct.unpack(">II", png[16:24]), (1000, 800))

    def test_the_page_filters_by_kind_and_shows_only_drawings_with_findings(self):
        # Copies of the page with the first kind cleared, or "only with findings" checked, and a probe
        # that records which rows the browser lays out.
        folder = scratch("html-filters")
        page = folder / "report.html"
        run = kvstcheck("--html", windows_path(page), "--standard", windows_path(STANDARD_PATH), "examples/drawings")
        self.assertEqual(run.status, 1, run)
        probe = ("for (const e of document.querySelectorAll('section.drawing, tr'))"
                 " e.setAttribute('data-laid-out', e.getClientRects().length > 0 ? 'yes' : 'no');")
        dom = self.probed(page, folder, probe, [('id="kind-0" checked>', 'id="kind-0">')])
        rows = re.findall(r'<tr class="finding (k\d+)"[^>]*data-laid-out="(yes|no)"', dom)
        self.assertEqual(len(rows), 19)
        self.assertEqual({kind for kind, shown in rows if shown == "no"}, {"k0"})
        self.assertTrue(any(shown == "yes" for kind, shown in rows if kind != "k0"))
        summary = dom[dom.index('class="by-name"'):dom.index('class="index"')]
        self.assertEqual({kind for kind, shown in re.findall(r'<tr class="(k\d+)"[^>]*data-laid-out="(yes|no)"',
                                                             summary) if shown == "no"}, {"k0"})

        dom = self.probed(page, folder, probe, [('id="only-findings">', 'id="only-findings" checked>')])
        sections = re.findall(r'<section class="drawing d\d+ ([a-z-]+)"[^>]*data-laid-out="(yes|no)"', dom)
        self.assertEqual(len(sections), 5)
        self.assertEqual({state for state, shown in sections if shown == "no"}, {"no-findings"})
        self.assertEqual({state for state, shown in sections if shown == "yes"}, {"has-findings"})
        index = re.findall(r'<tr class="([a-z-]+)"[^>]*data-laid-out="(yes|no)"><td class="path">', dom)
        self.assertEqual(sorted(index), [("has-findings", "yes")] * 4 + [("no-findings", "no")])

    def test_names_stay_on_one_line_and_links_reach_each_drawing(self):
        folder = scratch("html-layout")
        drawings = folder / "many"
        drawings.mkdir()
        long_names = ["A-WALL-EXTERIOR-INSULATION-2024", "M-HVAC-SUPPLY-DUCT-LEVEL-03-NORTH", "TRAIL  "]
        for number in range(60):
            (drawings / f"plan-{number:03}.json").write_text(json.dumps(
                {"Layers": long_names + [f"X-{number}"] if number % 3 else ["0"]}))
        page = folder / "report.html"
        run = kvstcheck("--html", windows_path(page), "--standard", windows_path(STANDARD_PATH), windows_path(drawings))
        self.assertEqual(run.status, 1, run)
        probe = ("for (const e of document.querySelectorAll('td.name bdi'))"
                 " e.setAttribute('data-lines', String(e.getClientRects().length));"
                 "for (const a of document.querySelectorAll('.index a'))"
                 " a.setAttribute('data-reaches', document.getElementById(a.getAttribute('href').slice(1)) ? 'yes' : 'no');")
        # A narrow window, where the hints column competes with the names for room.
        dom = self.probed(page, folder, probe, width=520)
        lines = re.findall(r'<bdi data-lines="(\d+)">', dom)
        self.assertGreater(len(lines), 120)
        self.assertEqual(set(lines), {"1"})
        # The probe sees a name that breaks: with names allowed to wrap, some do.
        wrapping = self.probed(page, folder, probe, [(".name { font-family: ui-monospace, monospace; white-space: pre; }",
                                                      ".name { white-space: pre-wrap; overflow-wrap: anywhere; }")],
                               width=520)
        self.assertNotEqual(set(re.findall(r'<bdi data-lines="(\d+)">', wrapping)), {"1"})
        reaches = re.findall(r'data-reaches="(yes|no)"', dom)
        self.assertEqual(reaches, ["yes"] * 60)

    def test_a_report_that_cannot_be_written_stops_the_run_first(self):
        folder = scratch("html-unwritable")
        (folder / "taken.html").mkdir()
        run = kvstcheck("--html", windows_path(folder / "taken.html"), "--standard", windows_path(STANDARD_PATH),
                        "examples/drawings/office.dxf")
        self.assertEqual(run.status, 2, run)
        self.assertIn("cannot write the HTML report", run.err)
        self.assertEqual(run.out, "")


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]] + sys.argv[1:], verbosity=2)
