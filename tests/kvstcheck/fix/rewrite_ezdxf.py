#!/usr/bin/env python3
"""The rewriter checked by a second DXF reader (ezdxf): every name of every kind of each drawing is
renamed (the driver picks new names), and ezdxf must find every entity's layer, linetype, text style
and dimension style mapped, the same entities by handle, the header's current names mapped, and no
more audit problems than in the original. Drawings: generated ones (R12 to 2018), the examples, the
drawings of a Debian package (scripts/setup.sh installs it). Prints the figures (drawings fixed, references changed,
refusals by reason).

Usage: rewrite_ezdxf.py WINE_RUN DRIVER_EXE SOURCE_DIR
"""
import collections
import glob
import json
import os
import subprocess
import sys
import tempfile
import unittest

import ezdxf

WINE_RUN, DRIVER, SOURCE = sys.argv[1:4]
PACKAGED_DRAWINGS = "/usr/share/librecad"  # the package librecad-data
VERSIONS = ["R12", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"]


def make_drawing(version, path):
    doc = ezdxf.new(version, setup=True)
    doc.appids.new("KVAPP")
    doc.layers.add("WALLS", color=3, linetype="DASHED")
    doc.layers.add("Doors", color=2).off()
    doc.styles.new("Notes", dxfattribs={"font": "arial.ttf"})
    doc.dimstyles.new("Arch", dxfattribs={"dimtxt": 2.5})
    doc.header["$CLAYER"] = "WALLS"
    doc.header["$CELTYPE"] = "DASHED"
    doc.header["$TEXTSTYLE"] = "Notes"
    doc.header["$DIMSTYLE"] = "Arch"
    block = doc.blocks.new("DOOR", dxfattribs={"layer": "Doors"})
    block.add_line((0, 0), (1, 0), dxfattribs={"layer": "WALLS", "linetype": "DASHED"})
    block.add_attdef("TAG", (0, 1), dxfattribs={"layer": "Doors", "style": "Notes"})
    msp = doc.modelspace()
    insert = msp.add_blockref("DOOR", (5, 5), dxfattribs={"layer": "Doors"})
    insert.add_auto_attribs({"TAG": "D1"})
    line = msp.add_line((0, 0), (10, 0), dxfattribs={"layer": "WALLS", "linetype": "DASHED"})
    line.set_xdata("KVAPP", [(1003, "WALLS"), (1040, 1.0)])
    msp.add_polyline2d([(0, 0), (1, 1), (2, 0)], dxfattribs={"layer": "Doors"})
    msp.add_text("Notes on WALLS", dxfattribs={"layer": "WALLS", "style": "Notes"})
    if version != "R12":
        msp.add_lwpolyline([(0, 0), (3, 3)], dxfattribs={"layer": "WALLS"})
        msp.add_mtext("Mtext", dxfattribs={"layer": "Doors", "style": "Notes"})
    msp.add_linear_dim(base=(0, 3), p1=(0, 0), p2=(10, 0), dimstyle="Arch", dxfattribs={"layer": "WALLS"}).render()
    doc.saveas(path)


def windows(path):
    return "Z:" + path.replace("/", "\\")


def run_driver(pairs, folder):
    listing = os.path.join(folder, "drawings.txt")
    with open(listing, "w", encoding="utf-8") as out:
        out.writelines(f"{windows(source)}\t{windows(target)}\n" for source, target in pairs)
    output = subprocess.run([WINE_RUN, DRIVER, windows(listing)], check=True, capture_output=True, text=True,
                            errors="replace").stdout
    return [json.loads(line) for line in output.splitlines() if line.startswith("{")]


def fold(name):
    return name.upper()


def audit_count(doc):
    auditor = doc.audit()
    return len(auditor.errors) + len(auditor.fixes)


ATTRIBUTES = {"layers": "layer", "linetypes": "linetype", "text-styles": "style", "dimension-styles": "dimstyle"}
HEADER = {"$CLAYER": "layers", "$CELTYPE": "linetypes", "$TEXTSTYLE": "text-styles", "$DIMSTYLE": "dimension-styles"}


def differences(source, target, result):
    """What ezdxf finds wrong in the fixed drawing, as a list of words; None when it cannot read the original."""
    maps = collections.defaultdict(dict)
    for rename in result["renames"]:
        maps[rename["kind"]][fold(rename["from"])] = rename["to"]
    try:
        before = ezdxf.readfile(source)
    except ezdxf.DXFStructureError:
        return None  # the second reader cannot read the original (a stray ENDSEC, for one): nothing to compare
    after = ezdxf.readfile(target)
    problems = []
    fixed = {entity.dxf.handle: entity for entity in after.entitydb.values()}
    for entity in before.entitydb.values():
        handle = entity.dxf.handle
        if handle not in fixed:
            if entity.dxftype() not in ("LAYER", "LTYPE", "STYLE", "DIMSTYLE"):
                problems.append(f"{entity.dxftype()} {handle} is gone")
            continue
        for kind, attribute in ATTRIBUTES.items():
            if entity.dxftype() in ("LAYER", "LTYPE", "STYLE", "DIMSTYLE", "BLOCK_RECORD") and attribute != "layer":
                continue
            if not entity.dxf.hasattr(attribute) or attribute == "style" and entity.dxftype() not in (
                    "TEXT", "MTEXT", "ATTRIB", "ATTDEF"):
                continue
            old = entity.dxf.get(attribute)
            wanted = maps[kind].get(fold(old), old)
            got = fixed[handle].dxf.get(attribute)
            if got != wanted:
                problems.append(f"{entity.dxftype()} {handle}: {attribute} {got!r}, not {wanted!r}")
    for variable, kind in HEADER.items():
        if variable in before.header:
            old = before.header[variable]
            wanted = maps[kind].get(fold(old), old)
            if after.header.get(variable) != wanted:
                problems.append(f"{variable} {after.header.get(variable)!r}, not {wanted!r}")
    if audit_count(after) > audit_count(before):
        problems.append(f"audit: {audit_count(after)} problems where the original has {audit_count(before)}")
    return problems


class RewriteWithSecondReader(unittest.TestCase):
    def check(self, drawings, folder):
        pairs = [(path, os.path.join(folder, f"fixed{i}.dxf")) for i, path in enumerate(drawings)]
        results = run_driver(pairs, folder)
        self.assertEqual(len(results), len(pairs))
        figures = collections.Counter()
        refusals = collections.Counter()
        for (source, target), result in zip(pairs, results):
            with self.subTest(drawing=source):
                if "error" in result:
                    figures["unreadable"] += 1
                    continue
                if "refusal" in result:
                    refusals[result["refusal"].split(":")[0][:70]] += 1
                    continue
                self.assertNotIn("proof", result)
                figures["fixed"] += 1
                figures["references"] += sum(r["references"] for r in result["renames"])
                figures["renames"] += len(result["renames"])
                found = differences(source, target, result)
                if found is None:
                    figures["unreadable by ezdxf"] += 1
                    continue
                self.assertEqual(found, [])
        print(f"\n{len(pairs)} drawings: {dict(figures)}; refusals: {dict(refusals)}", file=sys.stderr)
        return figures

    def test_generated_drawings_of_every_version(self):
        with tempfile.TemporaryDirectory() as folder:
            drawings = []
            for version in VERSIONS:
                path = os.path.join(folder, f"made-{version}.dxf")
                make_drawing(version, path)
                drawings.append(path)
            figures = self.check(drawings, folder)
            self.assertEqual(figures["fixed"], len(VERSIONS))

    def test_example_drawings(self):
        with tempfile.TemporaryDirectory() as folder:
            drawings = sorted(glob.glob(os.path.join(SOURCE, "examples", "drawings", "*.dxf")))
            self.assertGreater(self.check(drawings, folder)["fixed"], 0)

    def test_packaged_drawings(self):
        drawings = sorted(glob.glob(os.path.join(PACKAGED_DRAWINGS, "**", "*.dxf"), recursive=True))
        if not drawings:
            self.fail("the packaged drawings are missing: run scripts/setup.sh")
        with tempfile.TemporaryDirectory() as folder:
            self.assertGreater(self.check(drawings, folder)["fixed"], len(drawings) // 2)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[4:], verbosity=2)
