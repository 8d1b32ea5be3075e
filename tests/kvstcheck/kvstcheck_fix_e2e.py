#!/usr/bin/python3
"""kvstcheck fix as a user runs it under Wine: plans printed and kept, applied to copies and in place,
refusals, backups; ezdxf reads every fixed drawing as the second reader. Each class is one CTest test:
kvstcheck_fix_e2e.py CLASS. Environment: as kvstcheck_e2e.py.
"""
import csv
import hashlib
import io
import json
import shutil
import signal
import subprocess
import sys
import time
import unittest

import ezdxf
import jsonschema

from kvstcheck_e2e import (EXE, SOURCE, STANDARD, WINE_RUN, kvstcheck as run_kvstcheck, scratch, windows_path,  # noqa: E402
                           write_standard)

OFFICE = SOURCE / "examples/drawings/office.dxf"
FIX_RULES = SOURCE / "examples/fix/office-fix.toml"
FIX_MAP = SOURCE / "examples/fix/office-map.csv"
STANDARD_FILE = SOURCE / STANDARD


def kvstcheck(*arguments, **options):
    """kvstcheck with absolute paths given as Wine shows them to the program."""
    return run_kvstcheck(*[windows_path(a) if hasattr(a, "resolve") else a for a in arguments], **options)


def fix(*arguments):
    return kvstcheck("fix", "--standard", STANDARD_FILE, *arguments)


def sha256(path):
    return hashlib.sha256(path.read_bytes()).hexdigest()


def names(doc):
    """Each kind's names as ezdxf reads them, in upper case, as sets."""
    return {"layers": {e.dxf.name.upper() for e in doc.layers},
            "linetypes": {e.dxf.name.upper() for e in doc.linetypes},
            "styles": {e.dxf.name.upper() for e in doc.styles if e.dxf.name},
            "dimstyles": {e.dxf.name.upper() for e in doc.dimstyles}}


def attribute(entity, name):
    """The entity's name-bearing attribute in upper case; empty where the entity has none."""
    return (entity.dxf.get(name) or "").upper() if entity.dxf.is_supported(name) else ""


def entity_facts(doc):
    """(type, handle, layer, linetype, style or dimension style) of every entity in model space and in blocks."""
    facts = []
    for layout in [doc.modelspace(), *doc.blocks]:
        for entity in layout:
            facts.append((entity.dxftype(), entity.dxf.handle, attribute(entity, "layer"), attribute(entity, "linetype"),
                          attribute(entity, "style") or attribute(entity, "dimstyle")))
    return facts


OFFICE_RENAMES = {"A-WALL-OLD": "A-WALL", "MÖBEL": "A-FURN", "HIDDEN2": "DASHED", "TITLE": "NOTES",
                  "ARCH-50": "ISO-25", "A-DOOR": "A-DOOR"}


class FixDryRun(unittest.TestCase):
    """A plan alone: printed, kept as JSON and CSV, nothing else written."""

    def test_dry_run_prints_the_plan_and_writes_nothing(self):
        folder = scratch("fix-dry")
        drawing = folder / "office.dxf"
        shutil.copy(OFFICE, drawing)
        before = sorted(p.name for p in folder.iterdir()), sha256(drawing)
        run = fix("--rules", FIX_RULES, drawing)
        self.assertEqual(run.status, 0, run)
        self.assertIn('  layer "A-WALL-OLD" -> "A-WALL"', run.out)
        self.assertRegex(run.out, r'  layer "a-door" -> "A-DOOR": \d+ references \[letter-case\]')
        self.assertIn('  linetype "HIDDEN2" -> "DASHED"', run.out)
        self.assertIn("(a dry run: nothing was written)", run.out)
        self.assertEqual((sorted(p.name for p in folder.iterdir()), sha256(drawing)), before)

    def test_findings_nothing_maps_give_status_1(self):
        folder = scratch("fix-unmapped")
        drawing = folder / "office.dxf"
        shutil.copy(OFFICE, drawing)
        only = folder / "only-walls.csv"
        only.write_text("kind,from,to\nlayers,A-WALL-OLD,A-WALL\n", encoding="utf-8")
        run = fix("--map", only, drawing)
        self.assertEqual(run.status, 1, run)
        self.assertIn('still a finding: linetype "HIDDEN2": nothing maps it', run.out)

    def test_the_plan_validates_and_the_csv_lists_each_rename(self):
        folder = scratch("fix-plan-files")
        plan, table = folder / "plan.json", folder / "plan.csv"
        run = fix("--map", FIX_MAP, "--write-plan", plan, "--csv", table, OFFICE)
        self.assertEqual(run.status, 0, run)
        schema = json.loads((SOURCE / "docs/schemas/fix-plan.schema.json").read_text(encoding="utf-8"))
        jsonschema.Draft202012Validator.check_schema(schema)
        document = json.loads(plan.read_text(encoding="utf-8"))
        jsonschema.validate(document, schema)
        self.assertEqual(document["drawings"][0]["sha256"], sha256(OFFICE))
        self.assertEqual(document["standard"]["sha256"], sha256(STANDARD_FILE))
        rows = list(csv.DictReader(io.StringIO(table.read_text(encoding="utf-8"))))
        renamed = {(r["kind"], r["from"].upper(), r["to"]) for r in rows if r["action"] in ("rename", "merge")}
        self.assertEqual({(k, f, t) for k, f, t in renamed if k == "layers"},
                         {("layers", "A-WALL-OLD", "A-WALL"), ("layers", "MÖBEL", "A-FURN"), ("layers", "A-DOOR", "A-DOOR")})
        json_run = fix("--map", FIX_MAP, "--json", OFFICE)
        jsonschema.validate(json_run.json(), schema)


class FixApply(unittest.TestCase):
    """Copies below --output and drawings in place, each proven; ezdxf reads what was written."""

    def check_fixed(self, original, fixed):
        before, after = ezdxf.readfile(original), ezdxf.readfile(fixed)
        renamed = {kind: {OFFICE_RENAMES.get(n, n) for n in found} for kind, found in names(before).items()}
        self.assertEqual(names(after), renamed)
        expected = [(t, h, OFFICE_RENAMES.get(l, l), OFFICE_RENAMES.get(lt, lt), OFFICE_RENAMES.get(s, s))
                    for t, h, l, lt, s in entity_facts(before)]
        self.assertEqual(entity_facts(after), expected)
        self.assertEqual(after.header.get("$CLAYER", "0").upper(),
                         OFFICE_RENAMES.get(before.header.get("$CLAYER", "0").upper(), before.header.get("$CLAYER", "0").upper()))
        self.assertLessEqual(len(after.audit().errors), len(before.audit().errors))
        self.assertEqual(kvstcheck("--standard", STANDARD_FILE, fixed).status, 0)

    def test_a_plan_applied_to_copies(self):
        folder = scratch("fix-output")
        source = folder / "in" / "sub"
        source.mkdir(parents=True)
        shutil.copy(OFFICE, source / "office.dxf")
        clean = source / "clean.dxf"
        doc = ezdxf.new("R2010")
        doc.modelspace().add_line((0, 0), (1, 1), dxfattribs={"layer": "A-WALL"})
        doc.saveas(clean)
        plan = folder / "plan.json"
        self.assertEqual(fix("--rules", FIX_RULES, "--write-plan", plan, folder / "in").status, 0)
        run = kvstcheck("fix", "--standard", STANDARD_FILE, "--plan", plan, "--output", folder / "out")
        self.assertEqual(run.status, 0, run)
        self.check_fixed(source / "office.dxf", folder / "out" / "sub" / "office.dxf")
        self.assertEqual((folder / "out" / "sub" / "clean.dxf").read_bytes(), clean.read_bytes())
        self.assertEqual(sha256(source / "office.dxf"), sha256(OFFICE))

    def test_in_place_keeps_every_backup(self):
        folder = scratch("fix-in-place")
        drawing = folder / "office.dxf"
        for round_number in range(2):
            shutil.copy(OFFICE, drawing)
            run = fix("--rules", FIX_RULES, "--in-place", drawing)
            self.assertEqual(run.status, 0, run)
            self.check_fixed(OFFICE, drawing)
        self.assertEqual(sha256(folder / "office.dxf.bak"), sha256(OFFICE))
        self.assertEqual(sha256(folder / "office.dxf.1.bak"), sha256(OFFICE))
        self.assertEqual(sorted(p.name for p in folder.iterdir()), ["office.dxf", "office.dxf.1.bak", "office.dxf.bak"])
        # The backups end in .bak: a folder audit sees the fixed drawing alone.
        self.assertEqual(kvstcheck("--standard", STANDARD_FILE, folder).status, 0)

    def test_backup_dir_keeps_the_relative_path(self):
        folder = scratch("fix-backup-dir")
        (folder / "in" / "a").mkdir(parents=True)
        shutil.copy(OFFICE, folder / "in" / "a" / "office.dxf")
        run = fix("--map", FIX_MAP, "--in-place", "--backup-dir", folder / "backups", folder / "in")
        self.assertEqual(run.status, 0, run)
        self.assertEqual(sha256(folder / "backups" / "a" / "office.dxf.bak"), sha256(OFFICE))
        self.assertIn("backup: ", run.out)


def busy_drawing(path, version):
    """Names that need fixing used everywhere: entities in model space and in a block, a block reference
    with an attribute, a text style, a linetype, a dimension style, the current layer."""
    doc = ezdxf.new(version, setup=True)
    doc.layers.add("WALLS", color=5)
    doc.layers.add("a-door", color=3)
    doc.linetypes.add("HIDDEN2", [0.75, 0.5, -0.25])
    doc.styles.add("Title", font="txt")
    doc.dimstyles.new("Arch-50")
    doc.header["$CLAYER"] = "WALLS"
    block = doc.blocks.new("DOOR")
    block.add_line((0, 0), (1, 0), dxfattribs={"layer": "a-door", "linetype": "HIDDEN2"})
    block.add_attdef("TAG", (0, 0), dxfattribs={"layer": "WALLS", "style": "Title"})
    space = doc.modelspace()
    space.add_line((0, 0), (10, 0), dxfattribs={"layer": "WALLS", "linetype": "HIDDEN2"})
    space.add_text("wall", dxfattribs={"layer": "WALLS", "style": "Title"})
    space.add_lwpolyline([(0, 0), (5, 5), (10, 0)], dxfattribs={"layer": "a-door"})
    space.add_blockref("DOOR", (2, 2), dxfattribs={"layer": "WALLS"}).add_attrib("TAG", "D1", (2, 2),
                                                                                     dxfattribs={"layer": "a-door"})
    space.add_linear_dim(base=(0, 3), p1=(0, 0), p2=(10, 0), dimstyle="Arch-50",
                         dxfattribs={"layer": "WALLS"}).render()
    doc.saveas(path)


BUSY_MAP = "kind,from,to\nlayers,WALLS,A-WALL\nlinetypes,HIDDEN2,DASHED\ntext-styles,Title,Notes\ndimension-styles,Arch-50,ISO-25\n"
BUSY_RENAMES = {"WALLS": "A-WALL", "A-DOOR": "A-DOOR", "HIDDEN2": "DASHED", "TITLE": "NOTES", "ARCH-50": "ISO-25"}


class FixGenerated(unittest.TestCase):
    """Drawings ezdxf writes, R12 to 2018, with every place that names a layer, linetype or style."""

    def test_every_reference_follows_the_rename(self):
        folder = scratch("fix-generated")
        (folder / "map.csv").write_text(BUSY_MAP, encoding="utf-8")
        rules = folder / "auto.toml"
        rules.write_text('[fix]\nauto = ["letter-case"]\n[layers.properties."A-WALL"]\ncolor = 1\n', encoding="utf-8")
        for version in ("R2000", "R2004", "R2010", "R2018"):
            with self.subTest(version=version):
                original, fixed = folder / f"busy-{version}.dxf", folder / "out" / f"busy-{version}.dxf"
                busy_drawing(original, version)
                before = ezdxf.readfile(original)
                allowed = write_standard(folder / "allowed.ini", [
                    ("AcadLayer", ["A-WALL", "A-DOOR"] +
                     [e.dxf.name for e in before.layers if e.dxf.name.upper() not in BUSY_RENAMES]),
                    ("AcadLineType", ["ByBlock", "ByLayer", "Continuous", "DASHED"] +
                     [e.dxf.name for e in before.linetypes if e.dxf.name.upper() not in BUSY_RENAMES]),
                    ("AcadTextStyle", ["Standard", "Notes"] +
                     [e.dxf.name for e in before.styles if e.dxf.name and e.dxf.name.upper() not in BUSY_RENAMES]),
                    ("AcadDimStyle", ["Standard", "ISO-25"] +
                     [e.dxf.name for e in before.dimstyles if e.dxf.name.upper() not in BUSY_RENAMES])])
                run = kvstcheck("fix", "--standard", allowed, "--map", folder / "map.csv", "--rules", rules,
                                "--output", folder / "out", original)
                self.assertEqual(run.status, 0, run)
                after = ezdxf.readfile(fixed)
                expected = [(t, h, BUSY_RENAMES.get(l, l), BUSY_RENAMES.get(lt, lt), BUSY_RENAMES.get(st, st))
                            for t, h, l, lt, st in entity_facts(before)]
                self.assertEqual(entity_facts(after), expected)
                self.assertEqual(after.header["$CLAYER"], "A-WALL")
                self.assertEqual(after.layers.get("A-WALL").color, 1)
                self.assertEqual(after.layers.get("A-DOOR").color, 3)
                self.assertFalse(after.layers.has_entry("WALLS"))
                self.assertLessEqual(len(after.audit().errors), len(before.audit().errors))
                self.assertEqual(kvstcheck("--standard", allowed, fixed).status, 0)


class FixJson(unittest.TestCase):
    """This project's JSON drawings are fixed as JSON, proven by reading their names back."""

    def test_a_json_drawing_fixed_in_place(self):
        folder = scratch("fix-json")
        drawing = folder / "site.json"
        shutil.copy(SOURCE / "examples/drawings/site.json", drawing)
        site_map = folder / "site.csv"
        site_map.write_text("kind,from,to\nlayers,C-TOPO,A-FURN\nlayers,c-road,A-WALL\ntext-styles,Labels,Notes\n",
                            encoding="utf-8")
        run = fix("--map", site_map, "--in-place", drawing)
        self.assertEqual(run.status, 0, run)
        self.assertIn('layer "c-road" -> "A-WALL" (merged)', run.out)
        fixed = json.loads(drawing.read_text(encoding="utf-8"))
        self.assertEqual(fixed["Layers"], ["0", "A-FURN", "A-WALL"])
        self.assertEqual(fixed["TextStyles"], ["Standard", "Notes"])
        self.assertEqual((folder / "site.json.bak").read_bytes(), (SOURCE / "examples/drawings/site.json").read_bytes())
        self.assertEqual(kvstcheck("--standard", STANDARD_FILE, drawing).status, 0)


class FixRefusals(unittest.TestCase):
    """What is refused, in plain words, and nothing written for it."""

    def test_a_drawing_changed_since_its_plan(self):
        folder = scratch("fix-changed")
        drawing = folder / "office.dxf"
        shutil.copy(OFFICE, drawing)
        plan = folder / "plan.json"
        self.assertEqual(fix("--rules", FIX_RULES, "--write-plan", plan, drawing).status, 0)
        # Saved again by someone: a comment more, which changes no name.
        drawing.write_bytes(b"999\nsaved again\n" + drawing.read_bytes())
        changed = sha256(drawing)
        run = kvstcheck("fix", "--standard", STANDARD_FILE, "--plan", plan, "--in-place")
        self.assertEqual(run.status, 2, run)
        self.assertIn("the drawing changed since the plan was made", run.err)
        self.assertEqual(sha256(drawing), changed)
        self.assertEqual(sorted(p.name for p in folder.iterdir()), ["office.dxf", "plan.json"])

    def test_targets_the_standard_does_not_allow(self):
        folder = scratch("fix-bad-map")
        bad = folder / "bad.csv"
        bad.write_text("kind,from,to\nlayers,WALLS,A-WALLS\nlayers,walls,A-WALL\n", encoding="utf-8")
        run = fix("--map", bad, OFFICE)
        self.assertEqual(run.status, 2, run)
        self.assertIn(':2:1: [fix.layers] "WALLS" = "A-WALLS": "A-WALLS" is not a name the standard and the rules allow', run.err)
        self.assertIn('"walls" is also mapped to "A-WALLS"', run.err)

    def test_options_that_conflict(self):
        run = fix("--in-place", "--output", "x", OFFICE)
        self.assertEqual(run.status, 2, run)
        self.assertIn("excludes", run.err)

    def test_a_copy_never_replaces_its_own_drawing(self):
        folder = scratch("fix-over-itself")
        drawing = folder / "office.dxf"
        shutil.copy(OFFICE, drawing)
        for force in ([], ["--force"]):
            run = fix("--map", FIX_MAP, "--output", folder, *force, drawing)
            self.assertEqual(run.status, 2, run)
            self.assertIn("would replace the drawing itself", run.err)
            self.assertEqual(sha256(drawing), sha256(OFFICE))
            self.assertEqual(sorted(p.name for p in folder.iterdir()), ["office.dxf"])

    def test_the_standard_changed_since_the_plan(self):
        folder = scratch("fix-standard-changed")
        standard = folder / "std.ini"
        shutil.copy(STANDARD_FILE, standard)
        plan = folder / "plan.json"
        self.assertEqual(kvstcheck("fix", "--standard", standard, "--map", FIX_MAP, "--write-plan", plan, OFFICE).status, 0)
        standard.write_bytes(standard.read_bytes() + b"; edited\r\n")
        run = kvstcheck("fix", "--standard", standard, "--plan", plan)
        self.assertEqual(run.status, 2, run)
        self.assertIn("is not the one the plan was made against", run.err)


INTERRUPTED = "kvstcheck: interrupted: the run stopped before it finished; files it had yet to write were not written\n"


def large_drawing(path, lines):
    """A drawing of many lines on a layer the fix renames: ezdxf's one line repeated with handles of its own."""
    doc = ezdxf.new("R2010")
    doc.layers.add("A-WALL-OLD")
    line = doc.modelspace().add_line((0, 0), (1, 1), dxfattribs={"layer": "A-WALL-OLD"})
    stream = io.StringIO()
    doc.write(stream)
    text = stream.getvalue()
    start = text.index(f"  0\nLINE\n  5\n{line.dxf.handle}\n")
    end = text.index("  0\n", start + 1)
    entity = text[start:end]
    copies = "".join(entity.replace(f"\n  5\n{line.dxf.handle}\n", f"\n  5\n{0x100000 + i:X}\n", 1) for i in range(lines))
    path.write_text(text[:start] + copies + text[end:], encoding="ascii", newline="")


def fixing_files(folder):
    return sorted(p.name for p in folder.rglob("*.fixing"))


class FixInterrupted(unittest.TestCase):
    """Ctrl+C during a fix ends it as it ends an audit (status 2, the same message, no plan or summary),
    and a killed fix leaves nothing half written: no temporary file, no drawing replaced by part of
    one, no backup without its fixed drawing."""

    def start(self, folder, *arguments):
        out, err = (folder / "run.out").open("wb"), (folder / "run.err").open("wb")
        self.addCleanup(out.close)
        self.addCleanup(err.close)
        arguments = [windows_path(a) if hasattr(a, "resolve") else a for a in arguments]
        # Files, not pipes: Wine's helper processes would hold a pipe open.
        return subprocess.Popen([WINE_RUN, EXE, "fix", "--standard", windows_path(STANDARD_FILE), *arguments], cwd=folder,
                                stdin=subprocess.DEVNULL, stdout=out, stderr=err)

    def wait_for(self, process, ready, what):
        deadline = time.monotonic() + 120
        while not ready() and process.poll() is None and time.monotonic() < deadline:
            time.sleep(0.02)
        self.assertIsNone(process.poll(), f"the run ended before {what}")

    def interrupt(self, process):
        # As Ctrl+C reaches a program under Wine. The signal goes to the program alone: its process
        # group may hold the Wine server that other tests are using.
        process.send_signal(signal.SIGINT)
        return process.wait(timeout=120)

    def test_ctrl_c_while_a_drawing_is_rewritten_leaves_it_as_it_was(self):
        for where in ("--in-place", "--output"):
            with self.subTest(where):
                folder = scratch(f"fix-interrupt-large{where}")
                drawing = folder / "large.dxf"
                large_drawing(drawing, 150000)
                before = sha256(drawing)
                copies = [] if where == "--in-place" else [folder / "out"]
                process = self.start(folder, "--rules", FIX_RULES, where, *copies, drawing)
                self.wait_for(process, lambda: fixing_files(folder), "its temporary file was made")
                self.assertEqual(self.interrupt(process), 2)
                self.assertEqual((folder / "run.err").read_text(encoding="utf-8"), INTERRUPTED)
                self.assertEqual((folder / "run.out").read_text(encoding="utf-8"), "")
                self.assertEqual(fixing_files(folder), [])
                self.assertEqual(sha256(drawing), before)
                self.assertEqual(sorted(p.name for p in folder.rglob("*.dxf*")), ["large.dxf"])

    def test_ctrl_c_between_drawings_leaves_each_whole_with_its_backup(self):
        folder = scratch("fix-interrupt-many")
        drawings = folder / "in"
        drawings.mkdir()
        for i in range(300):
            shutil.copy(OFFICE, drawings / f"{i:03}.dxf")
        plan = folder / "plan.json"
        process = self.start(folder, "--rules", FIX_RULES, "--in-place", "--write-plan", plan, drawings)
        # Interrupted once the first drawings are fixed: each prints its plan as it is done.
        self.wait_for(process, lambda: (folder / "run.out").stat().st_size > 0, "its first drawing was fixed")
        self.assertEqual(self.interrupt(process), 2)
        self.assertEqual((folder / "run.err").read_text(encoding="utf-8"), INTERRUPTED)
        self.assertNotIn(" drawings: ", (folder / "run.out").read_text(encoding="utf-8"))
        self.assertFalse(plan.exists(), "a plan of part of the run was written")
        self.assertEqual(fixing_files(folder), [])
        fixed = untouched = 0
        for i in range(300):
            drawing, backup = drawings / f"{i:03}.dxf", drawings / f"{i:03}.dxf.bak"
            if backup.exists():
                self.assertEqual(sha256(backup), sha256(OFFICE), backup)
                self.assertNotEqual(sha256(drawing), sha256(OFFICE), drawing)
                fixed += 1
            else:
                self.assertEqual(sha256(drawing), sha256(OFFICE), drawing)
                untouched += 1
        self.assertGreater(fixed, 0)
        self.assertGreater(untouched, 0, "the run finished before the interrupt came")
        self.assertEqual(len(list(drawings.iterdir())), 300 + fixed)

    def test_a_killed_fix_leaves_no_temporary_file(self):
        folder = scratch("fix-killed")
        drawing = folder / "large.dxf"
        large_drawing(drawing, 150000)
        before = sha256(drawing)
        process = self.start(folder, "--rules", FIX_RULES, "--in-place", drawing)
        self.wait_for(process, lambda: fixing_files(folder), "its temporary file was made")
        process.kill()
        process.wait(timeout=120)
        # The Wine server closes a killed program's files, and deletes those marked so, as it learns of the end.
        deadline = time.monotonic() + 30
        while fixing_files(folder) and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertEqual(fixing_files(folder), [])
        self.assertEqual(sha256(drawing), before)
        self.assertEqual(sorted(p.name for p in folder.iterdir() if p.name.startswith("large")), ["large.dxf"])


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]] + sys.argv[1:], verbosity=2)
