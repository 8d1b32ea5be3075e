#!/usr/bin/python3
"""kvstcheck run as a user runs it: the Windows program under Wine, auditing drawing files through
the registered plug-in. Each class is one CTest test: kvstcheck_e2e.py CLASS.

Environment (set by CTest): KVST_WINE_RUN, KVST_EXE, KVST_SOURCE_DIR, KVST_BUILD_DIR, KVST_PLUGIN_DLL,
KVST_SCRATCH (a folder of the build tree this program may fill), KVST_WINEARCH (win32 or win64: the
architecture of the build tree's programs and Wine prefix), KVST_OTHER_PLUGIN_DLL (the plug-in module
built for the other architecture, when the build made one), KVST_LAUNCHER_BUILD_DIR and KVST_LAUNCHER_ARCH
(how kvstcheck.sh reaches this tree).
"""
import csv
import io
import json
import os
import pathlib
import pty
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from xml.etree import ElementTree

import ezdxf
import jsonschema

from terminal import read_until_exit

WINE_RUN = os.environ["KVST_WINE_RUN"]
EXE = os.environ["KVST_EXE"]
SOURCE = pathlib.Path(os.environ["KVST_SOURCE_DIR"])
BUILD = pathlib.Path(os.environ["KVST_BUILD_DIR"])
PLUGIN_DLL = pathlib.Path(os.environ["KVST_PLUGIN_DLL"])
SCRATCH = pathlib.Path(os.environ["KVST_SCRATCH"])
WINEARCH = os.environ["KVST_WINEARCH"]
OTHER_PLUGIN_DLL = os.environ.get("KVST_OTHER_PLUGIN_DLL")
STANDARD = "examples/standard/KVStPluginDefault.ini"
STANDARD_PATH = SOURCE / STANDARD

LAYER, LINETYPE, TEXT_STYLE, DIM_STYLE = "图层", "线型", "文字样式", "标注样式"
# How text output names each kind: in English, or as the plug-in labels it under a Chinese UI language.
ENGLISH_KINDS = {LAYER: "layer", LINETYPE: "linetype", TEXT_STYLE: "text style", DIM_STYLE: "dimension style"}
KIND_KEYS = {LAYER: "layers", LINETYPE: "linetypes", TEXT_STYLE: "textStyles", DIM_STYLE: "dimStyles"}
OFFICE = [(LAYER, "A-WALL-OLD"), (LAYER, "a-door"), (LAYER, "Möbel"), (LINETYPE, "HIDDEN2"),
          (TEXT_STYLE, "Title"), (DIM_STYLE, "Arch-50")]
OFFICE_ZH = [(LAYER, "墙体"), (LAYER, "门窗"), (LINETYPE, "虚线"), (TEXT_STYLE, "说明文字"),
             (DIM_STYLE, "建筑标注")]
SITE = [(LAYER, "C-TOPO"), (LAYER, "c-road"), (TEXT_STYLE, "Labels")]
# What the findings of the bundled drawings add when audited against the bundled standard.
STANDARD_HINTS = {(LAYER, "a-door"): ' (the standard has "A-DOOR": only the letter case differs)'}


def windows_path(path):
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


class Run:
    def __init__(self, status, out, err):
        self.status = status
        self.out = out.decode("utf-8")
        self.err = err.decode("utf-8")
        self.lines = self.out.splitlines()

    def json(self):
        return json.loads(self.out)

    def __repr__(self):
        return f"status {self.status}\n--- out\n{self.out}--- err\n{self.err}"


def kvstcheck(*arguments, cwd=SOURCE, env=None, command=None, stdin=b"", stdout=None):
    """Runs kvstcheck with the arguments; the working folder defaults to the source tree. stdout: an
    open file for the standard output instead of the run's out."""
    full_env = dict(os.environ, **(env or {}))
    # Files, not pipes: Wine's helper processes inherit the handles and would hold a pipe open after
    # the program has ended.
    for attempt in range(3):
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err, tempfile.TemporaryFile() as given:
            given.write(stdin)
            given.seek(0)
            completed = subprocess.run((command or [WINE_RUN, EXE]) + [str(a) for a in arguments], cwd=cwd,
                                       env=full_env, stdin=given, stdout=stdout or out, stderr=err, timeout=300)
            out.seek(0)
            err.seek(0)
            run = Run(completed.returncode, out.read(), err.read())
        # Under load, the Linux loader of 64-bit Wine now and then aborts the process as it exits, after
        # the program has ended (status 127): the program's own result is lost, so it runs again.
        if not (run.status == 127 and LOADER_ABORT in run.err):
            return run
    return run


LOADER_ABORT = "Inconsistency detected by ld.so"


def finding_lines(drawing, findings, names, hints=STANDARD_HINTS, chinese=False):
    lines = [f'{drawing}: {kind if chinese else ENGLISH_KINDS[kind]} "{name}"{hints.get((kind, name), "")}'
             for kind, name in findings]
    count = f"{len(findings)} finding{'' if len(findings) == 1 else 's'}" if findings else "no findings"
    return lines + [f"{drawing}: {count} in {names} names"]


def write_standard(path, kinds, encoding="ascii"):
    """kinds: (type name, [names]) pairs, written as a standard file."""
    lines = ["[Common]", f"TypeCount={len(kinds)}"]
    for number, (type_name, names) in enumerate(kinds, 1):
        lines += [f"[Type{number}]", f"Type={type_name}", f"NameCount={len(names)}"]
        lines += [f"Name{k}={name}" for k, name in enumerate(names, 1)]
    path.write_bytes(("\r\n".join(lines) + "\r\n").encode(encoding))
    return path


def prefix_temp_folders():
    """The temporary folders of the Wine prefix's users, whatever the user's name."""
    return sorted((BUILD / "wineprefix/drive_c/users").glob("*/Temp"))


def scratch(name):
    folder = SCRATCH / name
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    return folder


class SampleDrawings(unittest.TestCase):
    """The bundled drawings against the bundled standard give exactly their findings, in order."""

    def test_office_dxf(self):
        run = kvstcheck("--standard", STANDARD, "examples/drawings/office.dxf")
        self.assertEqual(run.status, 1, run)
        self.assertEqual(run.lines, finding_lines("examples/drawings/office.dxf", OFFICE, 19), run)
        self.assertEqual(run.err, "")

    def test_chinese_names_in_utf8_and_gbk_drawings(self):
        for drawing in ("examples/drawings/office-zh-2010.dxf", "examples/drawings/office-zh-r2000.dxf"):
            run = kvstcheck("--standard", STANDARD, drawing)
            self.assertEqual(run.status, 1, run)
            self.assertEqual(run.lines, finding_lines(drawing, OFFICE_ZH, 15), run)

    def test_json_drawings_and_a_clean_one(self):
        run = kvstcheck("--standard", STANDARD, "examples/drawings/site.json")
        self.assertEqual(run.lines, finding_lines("examples/drawings/site.json", SITE, 7), run)
        self.assertEqual(run.status, 1)
        clean = kvstcheck("--standard", STANDARD, "examples/drawings/clean.json")
        self.assertEqual(clean.lines, ["examples/drawings/clean.json: no findings in 7 names"], clean)
        self.assertEqual(clean.status, 0)

    def test_several_drawings_in_one_run(self):
        drawings = ["examples/drawings/clean.json", "examples/drawings/office.dxf", "examples/drawings/site.json"]
        run = kvstcheck("--standard", STANDARD, *drawings)
        expected = (finding_lines(drawings[0], [], 7) + finding_lines(drawings[1], OFFICE, 19) +
                    finding_lines(drawings[2], SITE, 7) + ["3 drawings: 9 findings"])
        self.assertEqual(run.lines, expected, run)
        self.assertEqual(run.status, 1)

    def test_json_output(self):
        run = kvstcheck("--json", "--standard", STANDARD, "examples/drawings/office-zh-2010.dxf",
                        "examples/drawings/clean.json")
        self.assertEqual(run.status, 1, run)
        document = run.json()
        self.assertEqual(document["status"], 1)
        self.assertEqual(document["findings"], 5)
        zh, clean = document["drawings"]
        self.assertEqual(zh["path"], "examples/drawings/office-zh-2010.dxf")
        self.assertEqual(zh["names"], 15)
        self.assertEqual([(f["kind"], f["name"]) for f in zh["findings"]], OFFICE_ZH)
        self.assertEqual([f["kindKey"] for f in zh["findings"]], [KIND_KEYS[kind] for kind, _ in OFFICE_ZH])
        self.assertEqual(clean["findings"], [])

    def test_a_finding_in_another_letter_case_says_so(self):
        run = kvstcheck("--json", "--standard", STANDARD, "examples/drawings/office.dxf")
        findings = {f["name"]: f["hints"] for f in run.json()["drawings"][0]["findings"]}
        self.assertEqual(findings["a-door"], {"names": ["A-DOOR"], "letterCase": True, "differences": []})
        self.assertEqual(findings["Möbel"], {"names": [], "letterCase": False, "differences": []})


class BrokenInputs(unittest.TestCase):
    """Each broken drawing is reported with its file and line, exit status 2; the others are audited."""

    @classmethod
    def setUpClass(cls):
        cls.folder = scratch("broken")
        office = (SOURCE / "examples/drawings/office.dxf").read_bytes()
        header_end = office.index(b"ENDSEC") + len(b"ENDSEC\n")
        cls.cases = {
            "binary.dxf": (b"Writer1 Binary DXF\r\n\x1a\x00" + bytes(range(256)), 1, "binary DXF"),
            "truncated.dxf": (office[: len(office) // 2], None, "truncated"),
            "no-tables.dxf": (office[:header_end] + b"  0\nEOF\n", None, "no TABLES section"),
            "not-dxf.dxf": (b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n", 1, "not a DXF file"),
            "bad.json": (b'{\n  "Layers": ["0",\n  "Linetypes": []\n}\n', 3, "invalid JSON"),
            "shape.json": (b'{"Layers": "0"}', 1, '"Layers" must be a list'),
            "drawing.dwg": (b"AC1015", None, "must end in .dxf or .json"),
        }
        for name, (content, _, _) in cls.cases.items():
            (cls.folder / name).write_bytes(content)

    def test_each_broken_kind(self):
        for name, (_, line, problem) in self.cases.items():
            with self.subTest(name):
                run = kvstcheck("--standard", windows_path(STANDARD_PATH), name, cwd=self.folder)
                self.assertEqual(run.status, 2, run)
                self.assertIn(f"kvstcheck: {name}: ", run.err)
                self.assertIn(problem, run.err)
                if line is not None:
                    self.assertIn(f"{name}: line {line}: ", run.err)
                else:
                    self.assertRegex(run.err, re.escape(name) + r": (line \d+: )?")
                self.assertEqual(run.out, "", run)

    def test_what_is_not_a_readable_drawing_file(self):
        (self.folder / "folder.dxf").mkdir(exist_ok=True)
        # Sparse, no disk space: 1 GiB without a line end. The reader holds a line at a time, and
        # gives up on this one after its first MiB, in either architecture.
        with open(self.folder / "huge.dxf", "wb") as huge:
            huge.truncate(1 << 30)
        # A folder is walked for drawings, whatever its name; this one holds none.
        cases = {"folder.dxf": "no .dxf or .json files in this folder", "nul.dxf": "is a device",
                 "huge.dxf": "line 1: a line over 1 MiB long: this is not a DXF file"}
        for name, problem in cases.items():
            with self.subTest(name):
                run = kvstcheck("--standard", windows_path(STANDARD_PATH), name,
                                windows_path(SOURCE / "examples/drawings/site.json"), cwd=self.folder)
                self.assertEqual(run.status, 2, run)
                self.assertIn(f"kvstcheck: {name}: ", run.err)
                if problem:
                    self.assertIn(problem, run.err)
                self.assertIn("site.json: 3 findings in 7 names", run.out)

    def test_missing_file(self):
        run = kvstcheck("--standard", STANDARD, "examples/drawings/absent.dxf")
        self.assertEqual(run.status, 2, run)
        self.assertIn("examples/drawings/absent.dxf: cannot open the file", run.err)

    def test_the_other_drawings_are_still_audited(self):
        run = kvstcheck("--json", "--standard", STANDARD, windows_path(self.folder / "truncated.dxf"),
                        "examples/drawings/site.json")
        self.assertEqual(run.status, 2, run)
        broken, site = run.json()["drawings"]
        self.assertIn("truncated", broken["error"])
        self.assertRegex(broken["error"], r"^line \d+: ")
        self.assertEqual([(f["kind"], f["name"]) for f in site["findings"]], SITE)


class StandardAndPlugin(unittest.TestCase):
    """--standard and --plugin choose what audits; the installed plug-in and its folder stay as they were."""

    def test_another_standard_allows_other_names(self):
        folder = scratch("allow-all")
        names = ezdxf.readfile(SOURCE / "examples/drawings/office.dxf")
        allowed = write_standard(folder / "office-allows-all.ini", [
            ("AcadLayer", [e.dxf.name for e in names.layers]),
            ("AcadLineType", [e.dxf.name for e in names.linetypes]),
            ("AcadTextStyle", [e.dxf.name for e in names.styles if e.dxf.name]),
            ("AcadDimStyle", [e.dxf.name for e in names.dimstyles])], encoding="cp1252")
        run = kvstcheck("--standard", windows_path(allowed), "examples/drawings/office.dxf")
        self.assertEqual(run.lines, ["examples/drawings/office.dxf: no findings in 19 names"], run)
        self.assertEqual(run.status, 0)

    def test_the_private_copy_is_removed_and_the_installed_folder_untouched(self):
        temps = prefix_temp_folders()
        self.assertTrue(temps)
        before = sorted(p for temp in temps for p in temp.glob("kvstcheck-*"))
        beside = sorted(PLUGIN_DLL.parent.iterdir())
        run = kvstcheck("--standard", STANDARD, "examples/drawings/office.dxf")
        self.assertEqual(run.status, 1, run)
        # Folders that ended runs left may go too.
        self.assertLessEqual(set(p for temp in temps for p in temp.glob("kvstcheck-*")), set(before))
        self.assertEqual(sorted(PLUGIN_DLL.parent.iterdir()), beside)

    def test_copies_that_ended_runs_left_are_removed_and_nothing_else(self):
        temp = prefix_temp_folders()[0]
        # 4294967292: a process identifier that no process has.
        copies = ["KVStVB7Default.dll", "KVStPluginDefault.ini"]
        cases = {"kvstcheck-4294967292-0": (copies, []),
                 "kvstcheck-4294967292-1": (copies + ["notes.txt"], ["notes.txt"]),
                 "kvstcheck-x-0": (copies, copies),
                 "kvstcheck-4294967296-0": (copies, copies)}
        for name, (files, _) in cases.items():
            shutil.rmtree(temp / name, ignore_errors=True)
            (temp / name).mkdir()
            for file in files:
                (temp / name / file).write_bytes(b"left")
        try:
            run = kvstcheck("--standard", STANDARD, "examples/drawings/office.dxf")
            self.assertEqual(run.status, 1, run)
            for name, (_, remaining) in cases.items():
                with self.subTest(name):
                    folder = temp / name
                    self.assertEqual(sorted(p.name for p in folder.iterdir()) if folder.exists() else None,
                                     sorted(remaining) if remaining else None)
        finally:
            for name in cases:
                shutil.rmtree(temp / name, ignore_errors=True)

    def test_a_standard_file_that_does_not_load_is_an_error(self):
        folder = scratch("standards")
        (folder / "folder.ini").mkdir()
        cases = {
            "absent.ini": ("does not exist", None),
            "folder.ini": ("is a folder", None),
            "no-type-count.ini": ("[Common] has no TypeCount=", b"[Common]\r\nTypes=1\r\n"),
            "no-first-type.ini": ("[Type1]", b"[Common]\r\nTypeCount=1\r\n[Type2]\r\nType=AcadLayer\r\n"),
        }
        for name, (problem, content) in cases.items():
            with self.subTest(name):
                if content is not None:
                    (folder / name).write_bytes(content)
                run = kvstcheck("--standard", windows_path(folder / name), "examples/drawings/office.dxf")
                self.assertEqual(run.status, 2, run)
                self.assertIn(problem, run.err)
                self.assertEqual(run.out, "")

    def test_installed_plugin_without_a_standard_file_says_where_it_looks(self):
        run = kvstcheck("examples/drawings/office.dxf")
        self.assertEqual(run.status, 2, run)
        expected = windows_path(PLUGIN_DLL.parent) + "\\KVStPluginDefault.ini"
        self.assertIn(expected.lower(), run.err.lower())

    def test_a_module_given_with_its_standard_beside_it(self):
        folder = scratch("module")
        shutil.copy(PLUGIN_DLL, folder / "KVStVB7Default.dll")
        shutil.copy(STANDARD_PATH, folder / "KVStPluginDefault.ini")
        run = kvstcheck("--plugin", windows_path(folder / "KVStVB7Default.dll"), "examples/drawings/office.dxf")
        self.assertEqual(run.lines, finding_lines("examples/drawings/office.dxf", OFFICE, 19), run)

    def test_modules_that_cannot_serve(self):
        folder = scratch("not-modules")
        shutil.copy(EXE, folder / "NotAServer.dll")
        (folder / "folder.dll").mkdir()
        cases = {"absent.dll": "does not exist", "NotAServer.dll": "does not export DllGetClassObject",
                 "folder.dll": "is a folder, not a file"}
        for name, problem in cases.items():
            with self.subTest(name):
                run = kvstcheck("--plugin", windows_path(folder / name), "--standard", STANDARD,
                                "examples/drawings/office.dxf")
                self.assertEqual(run.status, 2, run)
                self.assertIn(problem, run.err)

    def test_a_module_of_the_other_architecture_is_named_as_such(self):
        own, other, other_machine = ("32-bit (x86)", "64-bit (x64)", 0x8664) if WINEARCH == "win32" else \
                                    ("64-bit (x64)", "32-bit (x86)", 0x014C)
        folder = scratch("other-architecture")
        # This tree's module with the other machine in its PE header, and the other build's own module.
        image = bytearray(PLUGIN_DLL.read_bytes())
        pe_header = int.from_bytes(image[0x3C:0x40], "little")
        image[pe_header + 4:pe_header + 6] = other_machine.to_bytes(2, "little")
        modules = [folder / "Relabelled.dll"]
        modules[0].write_bytes(image)
        if OTHER_PLUGIN_DLL:
            modules.append(pathlib.Path(OTHER_PLUGIN_DLL))
        for module in modules:
            for standard in ([], ["--standard", STANDARD]):
                with self.subTest(module=module.name, standard=bool(standard)):
                    run = kvstcheck("--plugin", windows_path(module), *standard, "examples/drawings/office.dxf")
                    self.assertEqual(run.status, 2, run)
                    self.assertIn(f"is a {other} module, and this kvstcheck.exe is a {own} program", run.err)
                    self.assertEqual(run.out, "")


class NotRegistered(unittest.TestCase):
    """In a Wine prefix where nothing is registered, the tool says so."""

    def test_fresh_prefix(self):
        prefix = BUILD / "tests/kvstcheck/bare-wineprefix"
        env = {"WINEPREFIX": str(prefix), "WINEARCH": WINEARCH, "WINEDEBUG": "-all",
               "WINEDLLOVERRIDES": "mscoree,mshtml="}
        run = kvstcheck("--standard", STANDARD, "examples/drawings/office.dxf", env=env, command=["wine", EXE])
        self.assertEqual(run.status, 2, run)
        self.assertIn("not registered", run.err)
        run = kvstcheck("examples/drawings/office.dxf", env=env, command=["wine", EXE])
        self.assertEqual(run.status, 2, run)
        self.assertIn("not registered", run.err)


def decode_escapes(text):
    return re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), text)


class OtherPrograms(unittest.TestCase):
    """DXF files that another program writes, of several versions: kvstcheck finds what it reads back."""

    NAMES = {
        "layers": ["Walls", "with space", "Wände", "图层一", "Слой", "x" * 200],
        "linetypes": ["DASH-2", "点划线"],
        "text_styles": ["Notes", "文字"],
        "dim_styles": ["ISO-25", "标注"],
    }

    @classmethod
    def setUpClass(cls):
        cls.folder = scratch("other-programs")
        # Nothing is allowed, so every name of the drawing is a finding.
        cls.standard = write_standard(cls.folder / "nothing.ini", [
            (kind, ["(none)"]) for kind in ("AcadLayer", "AcadLineType", "AcadTextStyle", "AcadDimStyle")])

    def write(self, version, encoding):
        doc = ezdxf.new(version)
        if encoding:
            doc.encoding = encoding
        for name in self.NAMES["layers"]:
            doc.layers.add(name)
        for name in self.NAMES["linetypes"]:
            doc.linetypes.add(name, pattern=[0.5, 0.25, -0.25])
        for name in self.NAMES["text_styles"]:
            doc.styles.add(name, font="simsun.ttc")
        doc.styles.add_shx("ltypeshp.shx")
        for name in self.NAMES["dim_styles"]:
            doc.dimstyles.add(name)
        path = self.folder / f"{version}-{encoding or 'default'}.dxf"
        doc.saveas(path)
        return path

    @staticmethod
    def read_back(path):
        doc = ezdxf.readfile(path)
        names = [(LAYER, e.dxf.name) for e in doc.layers]
        names += [(LINETYPE, e.dxf.name) for e in doc.linetypes]
        names += [(TEXT_STYLE, e.dxf.name) for e in doc.styles if not e.dxf.flags & 1]
        names += [(DIM_STYLE, e.dxf.name) for e in doc.dimstyles]
        return [(kind, decode_escapes(name)) for kind, name in names]

    def test_versions_and_code_pages(self):
        cases = [("R12", None), ("R12", "gbk"), ("R2000", None), ("R2000", "gbk"), ("R2004", "cp1251"),
                 ("R2010", None), ("R2018", None)]
        for version, encoding in cases:
            with self.subTest(version=version, encoding=encoding):
                path = self.write(version, encoding)
                expected = self.read_back(path)
                # Characters beyond the code page come through its escapes.
                self.assertIn((LAYER, "图层一"), expected)
                self.assertIn((DIM_STYLE, "标注"), expected)
                run = kvstcheck("--json", "--standard", windows_path(self.standard), windows_path(path))
                self.assertEqual(run.status, 1, run)
                drawing = run.json()["drawings"][0]
                self.assertEqual([(f["kind"], f["name"]) for f in drawing["findings"]], expected)
                self.assertEqual(drawing["names"], len(expected))


class Paths(unittest.TestCase):
    """Paths in any language, relative or absolute, and the launcher that hands Linux paths over as they are."""

    def test_non_ascii_paths(self):
        folder = scratch("路径")
        (folder / "图纸").mkdir()
        shutil.copy(SOURCE / "examples/drawings/office.dxf", folder / "图纸" / "办公室.dxf")
        shutil.copy(STANDARD_PATH, folder / "标准.ini")
        run = kvstcheck("--standard", "标准.ini", "图纸/办公室.dxf", cwd=folder)
        self.assertEqual(run.lines, finding_lines("图纸/办公室.dxf", OFFICE, 19), run)
        absolute = windows_path(folder / "图纸" / "办公室.dxf")
        run = kvstcheck("--standard", windows_path(folder / "标准.ini"), absolute)
        self.assertEqual(run.lines, finding_lines(absolute, OFFICE, 19), run)

    def test_launcher_keeps_linux_paths(self):
        run = kvstcheck("--standard", STANDARD_PATH, SOURCE / "examples/drawings/site.json",
                        env={"KV_BUILD_DIR": os.environ["KVST_LAUNCHER_BUILD_DIR"],
                             "KV_ARCH": os.environ["KVST_LAUNCHER_ARCH"]},
                        command=[str(SOURCE / "kvstcheck.sh")])
        self.assertEqual(run.status, 1, run)
        self.assertEqual(run.lines, finding_lines(str(SOURCE / "examples/drawings/site.json"), SITE, 7), run)


class ChineseStandard(unittest.TestCase):
    """A standard file in GBK matches Chinese names when the system code page is 936."""

    def test_gbk_standard_under_code_page_936(self):
        folder = scratch("gbk-standard")
        standard = write_standard(folder / "zh.ini", [
            ("AcadLayer", ["0", "Defpoints", "A-WALL", "墙体"]),
            ("AcadLineType", ["ByBlock", "ByLayer", "Continuous", "DASHED", "虚线"]),
            ("AcadTextStyle", ["Standard", "Notes"]),
            ("AcadDimStyle", ["Standard", "建筑标注"])], encoding="gbk")
        drawing = "examples/drawings/office-zh-r2000.dxf"
        run = kvstcheck("--standard", windows_path(standard), drawing, env={"LC_ALL": "zh_CN.UTF-8"})
        self.assertEqual(run.lines, finding_lines(drawing, [(LAYER, "门窗"), (TEXT_STYLE, "说明文字")], 15, chinese=True),
                         run)
        # Under the default code page the same file's Chinese names match nothing.
        run = kvstcheck("--standard", windows_path(standard), drawing)
        self.assertEqual(len(run.lines), 6, run)

    def test_make_standard_under_code_page_936(self):
        folder = scratch("gbk-made")
        made = windows_path(folder / "made.ini")
        drawings = ["examples/drawings/office-zh-2010.dxf", "examples/drawings/office-zh-r2000.dxf"]
        env = {"LC_ALL": "zh_CN.UTF-8"}
        run = kvstcheck("make-standard", *drawings, "-o", made, env=env)
        self.assertEqual(run.status, 0, run)
        self.assertIn("in code page 936", run.out)
        self.assertIn("Name4=墙体\r\n", (folder / "made.ini").read_bytes().decode("gbk"))
        run = kvstcheck("--standard", made, *drawings, env=env)
        self.assertEqual(run.lines[-1], "2 drawings: 0 findings", run)
        self.assertEqual(kvstcheck("lint", made, env=env).status, 0)


class StandardTools(unittest.TestCase):
    """lint explains a standard file, make-standard writes one from reference drawings."""

    def test_lint_the_sample_with_mistakes(self):
        run = kvstcheck("lint", "examples/standard/mistakes.ini")
        self.assertEqual(run.status, 1, run)
        self.assertIn('  layers: 6 names: "0", "A-WALL", "A-DOOR", "A-GLAZ", "a-door", "A-WALL"', run.lines)
        self.assertIn("  loading stops at line 4: TypeCount=5, but there is no [Type5]: the plug-in stops loading there",
                      run.lines)
        self.assertIn("  linetypes: none ([Type2] has Type=AcadLinetype at line 19, not AcadLineType): every linetype of "
                      "a drawing is a finding", run.lines)
        pattern = re.compile(r"^examples/standard/mistakes\.ini:(\d+): (error|warning|note)\[([a-z0-9-]+)\]: ")
        warned = [(int(m.group(1)), m.group(2), m.group(3)) for m in map(pattern.match, run.lines) if m]
        self.assertEqual(warned, [(4, "warning", "type-count-gap"), (5, "note", "unknown-key"),
                                  (13, "warning", "leading-space"), (14, "warning", "letter-case-pair"),
                                  (15, "note", "duplicate-name"), (16, "warning", "name-above-count"),
                                  (19, "warning", "type-name-case"), (26, "warning", "name-gap"),
                                  (35, "warning", "section-above-count")], run)
        self.assertEqual(sum(line.startswith("    fix: ") for line in run.lines), len(warned))
        self.assertEqual(run.lines[-1], "examples/standard/mistakes.ini: 7 warnings, 2 notes")
        # The README shows this very run, and lists each rule it names.
        readme = (SOURCE / "README.md").read_text(encoding="utf-8")
        shown = "    $ ./kvstcheck.sh lint examples/standard/mistakes.ini\n" + "".join(f"    {line}\n" for line in run.lines)
        self.assertIn(shown, readme)
        for _, severity, rule in warned:
            self.assertRegex(readme, rf"\| `{rule}` \| {severity}")

    def test_lint_a_clean_file_and_json(self):
        run = kvstcheck("lint", STANDARD)
        self.assertEqual(run.status, 0, run)
        self.assertEqual(run.lines[-1], f"{STANDARD}: nothing to fix")
        run = kvstcheck("lint", "--json", "examples/standard/mistakes.ini")
        self.assertEqual(run.status, 1, run)
        document = run.json()
        self.assertTrue(document["loads"])
        self.assertEqual(document["typeNames"], ["AcadLayer", "AcadLinetype", "AcadTextStyle", "AcadDimStyle", None])
        self.assertEqual(document["kinds"][2]["names"], ["Standard", "", ""])
        self.assertEqual(len(document["warnings"]), 9)
        self.assertEqual(list(document["warnings"][0]), ["rule", "severity", "line", "problem", "fix", "edit"])
        self.assertEqual(document["warnings"][0]["edit"], {"line": 4, "replace": "TypeCount=4"})
        self.assertEqual([w["severity"] for w in document["warnings"]].count("note"), 2)

    def test_lint_several_files_in_one_run(self):
        files = ["examples/standard/mistakes.ini", STANDARD]
        run = kvstcheck("lint", *files)
        self.assertEqual(run.status, 1, run)
        self.assertEqual([line for line in run.lines if ": ANSI, code page" in line],
                         [f"{file}: ANSI, code page 1252" for file in files], run)
        self.assertEqual(kvstcheck("lint", STANDARD, "missing.ini").status, 2)
        document = kvstcheck("lint", "--json", *files).json()
        self.assertEqual([(entry["path"], entry["status"]) for entry in document["files"]], [(files[0], 1), (files[1], 0)])
        # One file keeps its own document.
        self.assertEqual(kvstcheck("lint", "--json", STANDARD).json()["path"], STANDARD)
        # A rules file among several is linted by its own lint in text; JSON takes one of them alone.
        rules = "examples/rules/office-iso.toml"
        self.assertEqual(kvstcheck("lint", STANDARD, rules).status, kvstcheck("lint", rules).status)
        mixed = kvstcheck("lint", "--json", STANDARD, rules)
        self.assertEqual(mixed.status, 2, mixed)
        self.assertIn("lint --json takes several standard files, or one rules file on its own", mixed.err)

    def test_lint_files_that_cannot_be_read(self):
        folder = scratch("lint-unreadable")
        (folder / "folder.ini").mkdir()
        (folder / "junk.ini").write_bytes(bytes(range(256)) * 16)
        with open(folder / "huge.ini", "wb") as huge:
            huge.truncate(1 << 30)
        cases = {"absent.ini": "does not exist", "folder.ini": "is a folder", "junk.ini": "not a text file",
                 "huge.ini": "at most 64 MiB"}
        for name, problem in cases.items():
            with self.subTest(name):
                run = kvstcheck("lint", name, cwd=folder)
                self.assertEqual(run.status, 2, run)
                self.assertIn(f"kvstcheck: {name}: ", run.err)
                self.assertIn(problem, run.err)
                self.assertEqual(run.out, "")

    def test_lint_a_utf16_file(self):
        folder = scratch("lint-utf16")
        text = "[Common]\r\nTypeCount=1\r\n[Type1]\r\nType=AcadLayer\r\nNameCount=2\r\nName1=Wände\r\nName2=墙体\r\n"
        (folder / "utf16.ini").write_bytes(b"\xff\xfe" + text.encode("utf-16-le"))
        run = kvstcheck("lint", windows_path(folder / "utf16.ini"))
        self.assertEqual(run.status, 1, run)
        self.assertIn("UTF-16 LE with a byte order mark, handed to the plug-in in code page 1252", run.lines[0])
        self.assertIn('  layers: 2 names: "Wände", "??"', run.lines)
        self.assertTrue(any(":7: " in line and 'reads "Name2=??"' in line for line in run.lines), run)

    def test_make_standard_round_trip(self):
        folder = scratch("make-standard")
        drawings = ["examples/drawings/office.dxf", "examples/drawings/site.json", "examples/drawings/clean.json"]
        # clean.json's A-DOOR and office.dxf's a-door are both allowed, and lint points at the pair.
        both = windows_path(folder / "both.ini")
        self.assertEqual(kvstcheck("make-standard", *drawings, "-o", both).status, 0)
        lint = kvstcheck("lint", both)
        self.assertEqual(lint.status, 1, lint)
        self.assertIn('Name11=A-DOOR differs from "a-door" (line 12) only in letter case', lint.out)
        drawings = drawings[:2]
        made = windows_path(folder / "made.ini")
        run = kvstcheck("make-standard", *drawings, "-o", made)
        self.assertEqual(run.status, 0, run)
        self.assertIn("wrote ", run.out)
        # Every name once, in first-seen order, in the system code page.
        office = ezdxf.readfile(SOURCE / "examples/drawings/office.dxf")
        site = json.loads((SOURCE / drawings[1]).read_text(encoding="utf-8"))
        expected = list(dict.fromkeys([e.dxf.name for e in office.layers] + site["Layers"]))
        content = (folder / "made.ini").read_bytes().decode("cp1252")
        layers = content.split("[Type1]")[1].split("[Type2]")[0]
        self.assertEqual(re.findall(r"^Name\d+=(.*)\r$", layers, re.M), expected)
        audit = kvstcheck("--standard", made, *drawings)
        self.assertEqual(audit.status, 0, audit)
        self.assertEqual(audit.lines[-1], "2 drawings: 0 findings")
        lint = kvstcheck("lint", made)
        self.assertEqual(lint.status, 0, lint)

    def test_make_standard_refuses_and_writes_nothing(self):
        folder = scratch("make-refused")
        target = folder / "out.ini"
        run = kvstcheck("make-standard", "examples/drawings/office-zh-2010.dxf", "-o", windows_path(target))
        self.assertEqual(run.status, 2, run)
        self.assertIn('kvstcheck: examples/drawings/office-zh-2010.dxf: layer "墙体" cannot be written in the system '
                      'code page 1252', run.err)
        (folder / "broken.json").write_bytes(b"{")
        run = kvstcheck("make-standard", "examples/drawings/site.json", windows_path(folder / "broken.json"), "-o",
                        windows_path(target))
        self.assertEqual(run.status, 2, run)
        self.assertIn("broken.json: line 1: ", run.err)
        self.assertEqual(sorted(p.name for p in folder.iterdir()), ["broken.json"])

        target.write_bytes(b"keep me")
        run = kvstcheck("make-standard", "examples/drawings/site.json", "-o", windows_path(target))
        self.assertEqual(run.status, 2, run)
        self.assertIn("the file exists; add --force to replace it", run.err)
        self.assertEqual(target.read_bytes(), b"keep me")
        run = kvstcheck("make-standard", "examples/drawings/site.json", "-o", windows_path(target), "--force")
        self.assertEqual(run.status, 0, run)
        self.assertTrue(target.read_bytes().startswith(b"; The names a drawing may use"))
        self.assertEqual(sorted(p.name for p in folder.iterdir()), ["broken.json", "out.ini"])


class Names(unittest.TestCase):
    """Names holding controls, bidirectional and invisible characters, look-alikes and spaces at their
    ends: one line per finding, nothing that acts on a terminal, hints that say what cannot be seen."""

    NAMES = ["0", "A-WALL", "A-WALL ", "0 ", "A\u2011WALL", "\u0410-WALL", "A-WALL\u200b", "\x1b[31mRED\x1b[0m",
             "A\rB", "C\nD", "abc\u202edef"]
    SHOWN = [('"A-WALL<U+0020>"', ' (the standard has "A-WALL": a trailing space)'),
             ('"0<U+0020>"', ' (the standard has "0": a trailing space)'),
             ('"A\u2011WALL"', ' (the standard has "A-WALL": U+2011 NON-BREAKING HYPHEN at position 2 where the '
                               'standard has a hyphen-minus (-))'),
             ('"\u0410-WALL"', ' (the standard has "A-WALL": Cyrillic \u0410 (U+0410) at position 1 where the '
                               'standard has Latin A)'),
             ('"A-WALL<U+200B>"', ' (the standard has "A-WALL": U+200B ZERO WIDTH SPACE after position 6)'),
             ('"<U+001B>[31mRED<U+001B>[0m"', ""), ('"A<U+000D>B"', ""), ('"C<U+000A>D"', ""),
             ('"abc<U+202E>def"', "")]

    @classmethod
    def setUpClass(cls):
        cls.folder = scratch("names")
        cls.drawing = cls.folder / "names.json"
        cls.drawing.write_text(json.dumps({"Layers": cls.NAMES}), encoding="utf-8")

    def test_text_shows_each_name_on_one_line(self):
        run = kvstcheck("--standard", STANDARD, windows_path(self.drawing))
        self.assertEqual(run.status, 1, run)
        path = windows_path(self.drawing)
        expected = [f"{path}: layer {name}{hint}" for name, hint in self.SHOWN]
        self.assertEqual(run.lines, expected + [f"{path}: 9 findings in 11 names"], run)
        for raw in ("\x1b", "\r", "\u202e", "\u200b"):
            self.assertNotIn(raw, run.out)

    def test_json_keeps_the_exact_name_beside_its_display_form(self):
        run = kvstcheck("--json", "--standard", STANDARD, windows_path(self.drawing))
        self.assertEqual(run.status, 1, run)
        findings = run.json()["drawings"][0]["findings"]
        self.assertEqual([f["name"] for f in findings], self.NAMES[2:])
        self.assertEqual([f'"{f["displayName"]}"' for f in findings], [name for name, _ in self.SHOWN])
        self.assertEqual(findings[0]["hints"], {"names": ["A-WALL"], "letterCase": False,
                                                "differences": ["a trailing space"]})

    def test_html_shows_the_display_form_isolated(self):
        page = self.folder / "names.html"
        run = kvstcheck("--standard", STANDARD, "--html", windows_path(page), windows_path(self.drawing))
        self.assertEqual(run.status, 1, run)
        html = page.read_text(encoding="utf-8")
        for raw in ("\x1b", "\r", "\u202e", "\u200b"):
            self.assertNotIn(raw, html)
        self.assertIn("<bdi>abc&lt;U+202E&gt;def</bdi>", html)
        self.assertIn("<bdi>A-WALL&lt;U+0020&gt;</bdi>", html)


OFFICE_DXF, SITE_JSON = "examples/drawings/office.dxf", "examples/drawings/site.json"


class Conventions(unittest.TestCase):
    """What a user of command-line checkers expects: versions, quiet runs, lists, exclusions, help, colours."""

    def test_version_names_the_plugin_module_and_its_file_version(self):
        for plugin in ([], ["--plugin", windows_path(PLUGIN_DLL)]):
            with self.subTest(plugin=bool(plugin)):
                run = kvstcheck("--version", *plugin)
                self.assertEqual(run.status, 0, run)
                self.assertEqual(run.lines[0], "kvstcheck 1.0")
                self.assertRegex(run.lines[1], r"^plug-in: .*\\KVStVB7Default\.dll, file version 1\.0\.0\.0$")
        run = kvstcheck("--version", "--plugin", windows_path(SOURCE / "README.md"))
        self.assertEqual(run.status, 2, run)
        self.assertTrue(run.err.startswith("kvstcheck: "), run)

    def test_quiet_prints_the_summary_only(self):
        run = kvstcheck("-q", "--standard", STANDARD, OFFICE_DXF, SITE_JSON)
        self.assertEqual((run.status, run.lines), (1, ["2 drawings: 9 findings"]), run)
        run = kvstcheck("--quiet", "--standard", STANDARD, "examples/drawings/clean.json")
        self.assertEqual((run.status, run.lines), (0, ["1 drawing: 0 findings"]), run)

    def test_files_from_a_file_or_the_standard_input(self):
        folder = scratch("files-from")
        text = f"{OFFICE_DXF}\r\n\r\n{SITE_JSON}\r\n"
        expected = finding_lines(OFFICE_DXF, OFFICE, 19) + finding_lines(SITE_JSON, SITE, 7) + ["2 drawings: 9 findings"]
        lists = {"utf8.txt": text.encode("utf-8"), "utf16.txt": b"\xff\xfe" + text.encode("utf-16-le"),
                 "utf16be.txt": b"\xfe\xff" + text.encode("utf-16-be")}
        for name, content in lists.items():
            with self.subTest(name):
                (folder / name).write_bytes(content)
                run = kvstcheck("--standard", STANDARD, "--files-from", windows_path(folder / name))
                self.assertEqual((run.status, run.lines), (1, expected), run)
        run = kvstcheck("--standard", STANDARD, "--files-from", "-", stdin=text.replace("\r", "").encode("utf-8"))
        self.assertEqual((run.status, run.lines), (1, expected), run)
        # Drawings named on the command line come first.
        run = kvstcheck("--standard", STANDARD, "--files-from", "-", "examples/drawings/clean.json",
                        stdin=SITE_JSON.encode())
        self.assertEqual(run.lines[0], "examples/drawings/clean.json: no findings in 7 names", run)

    def test_an_empty_or_unreadable_list_stops_the_run(self):
        folder = scratch("files-from-bad")
        (folder / "empty.txt").write_bytes(b"\r\n\n")
        (folder / "latin1.txt").write_bytes(b"examples/drawings/M\xf6bel.dxf\n")
        cases = {"empty.txt": "names no drawings", "latin1.txt": "line 1 is not UTF-8 text", "absent.txt": "cannot open"}
        for name, problem in cases.items():
            with self.subTest(name):
                run = kvstcheck("--standard", STANDARD, "--files-from", windows_path(folder / name))
                self.assertEqual(run.status, 2, run)
                self.assertIn(problem, run.err)
                self.assertTrue(run.err.startswith("kvstcheck: the list of files "), run)
                self.assertEqual(run.out, "")
        run = kvstcheck("--standard", STANDARD, "--files-from", "-")
        self.assertEqual(run.status, 2, run)
        self.assertIn("the standard input names no drawings", run.err)

    def test_folders_in_natural_order_with_exclusions(self):
        folder = scratch("natural")
        for name in ["plan-10.dxf", "plan-2.dxf", "Plan-1.dxf", "old/plan-3.dxf", "plan-2.bak.dxf", "x/old/y.json"]:
            (folder / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy(SOURCE / ("examples/drawings/clean.json" if name.endswith(".json") else OFFICE_DXF),
                        folder / name)
        run = kvstcheck("-q", "--json", "--standard", windows_path(STANDARD_PATH), "natural", cwd=SCRATCH)
        paths = [d["path"] for d in run.json()["drawings"]]
        self.assertEqual(paths, ["natural\\old\\plan-3.dxf", "natural\\Plan-1.dxf", "natural\\plan-2.bak.dxf",
                                 "natural\\plan-2.dxf", "natural\\plan-10.dxf", "natural\\x\\old\\y.json"], run)
        run = kvstcheck("--json", "--standard", windows_path(STANDARD_PATH), "natural/", "--exclude", "old",
                        "--exclude", "**/*.bak.dxf", "--exclude", "x/**/*.JSON", cwd=SCRATCH)
        paths = [d["path"] for d in run.json()["drawings"]]
        self.assertEqual(paths, ["natural/Plan-1.dxf", "natural/plan-2.dxf", "natural/plan-10.dxf"], run)
        run = kvstcheck("--standard", STANDARD, "--exclude", "[old", OFFICE_DXF)
        self.assertEqual(run.status, 2, run)
        self.assertEqual(run.err.splitlines()[0], 'kvstcheck: --exclude: "[old": the [ at character 1 has no closing ]')

    def test_help_per_command_and_every_message_prefixed(self):
        for arguments, text in [(["help"], "--files-from FILE"), (["--help"], "--exclude GLOB"),
                                (["help", "lint"], "Usage: kvstcheck lint"), (["lint", "--help"], "Usage: kvstcheck lint"),
                                (["help", "make-standard"], "--force"), (["make-standard", "--help"], "--force")]:
            with self.subTest(arguments):
                run = kvstcheck(*arguments)
                self.assertEqual(run.status, 0, run)
                self.assertIn(text, run.out)
        for arguments in (["--colour", OFFICE_DXF], [], ["lint"], ["help", "audit"], ["--color", "red", OFFICE_DXF]):
            with self.subTest(arguments):
                run = kvstcheck(*arguments)
                self.assertEqual(run.status, 2, run)
                self.assertTrue(run.err.splitlines(), run)
                for line in run.err.splitlines():
                    self.assertTrue(line.startswith("kvstcheck: "), run)

    @staticmethod
    def on_console(*arguments, env=None):
        """What a console (a pseudo-terminal as the standard output) receives from kvstcheck."""
        master, slave = pty.openpty()
        process = subprocess.Popen([WINE_RUN, EXE] + list(arguments), cwd=SOURCE, env=dict(os.environ, **(env or {})),
                                   stdin=subprocess.DEVNULL, stdout=slave, stderr=subprocess.DEVNULL)
        os.close(slave)
        received = read_until_exit(master, process)
        return received.decode(errors="replace")

    def test_colours_on_a_console_unless_no_color(self):
        shown = self.on_console("--standard", STANDARD, OFFICE_DXF)
        self.assertIn('\x1b[1m"HIDDEN2"\x1b[0m', shown)
        self.assertIn("\x1b[31m6 findings\x1b[0m in 19 names", shown)
        shown = self.on_console("--standard", STANDARD, OFFICE_DXF, env={"NO_COLOR": "1"})
        self.assertIn("6 findings in 19 names", shown)
        self.assertNotIn("\x1b[31m", shown)
        self.assertNotIn("\x1b[1m", shown)

    def test_colours_only_when_asked_or_on_a_console(self):
        plain = kvstcheck("--standard", STANDARD, OFFICE_DXF)
        self.assertNotIn("\x1b", plain.out)
        coloured = kvstcheck("--color", "always", "--standard", STANDARD, OFFICE_DXF)
        self.assertIn('\x1b[1m"A-WALL-OLD"\x1b[0m', coloured.out)
        self.assertEqual(re.sub(r"\x1b\[\d+m", "", coloured.out), plain.out)
        for choice in ("never", "auto"):
            run = kvstcheck("--color", choice, "--standard", STANDARD, OFFICE_DXF, env={"NO_COLOR": "1"})
            self.assertEqual(run.out, plain.out)


def accepted_office(folder):
    """A baseline in folder accepting office.dxf's findings, with comments, and one finding that is gone."""
    baseline = folder / "baseline.json"
    run = kvstcheck("--standard", STANDARD, OFFICE_DXF, "--write-baseline", windows_path(baseline))
    assert run.status == 1, run
    document = json.loads(baseline.read_text(encoding="utf-8"))
    for entry in document["accepted"]:
        entry["comment"] = f"accepted: {entry['name']}"
    document["accepted"].append({"drawing": document["accepted"][0]["drawing"], "kind": "layers", "name": "GONE",
                                 "rule": "", "count": 2, "comment": "fixed since"})
    baseline.write_text(json.dumps(document, ensure_ascii=False), encoding="utf-8")
    return baseline


class FilesForOtherPrograms(unittest.TestCase):
    """CSV for spreadsheets, JUnit XML for CI jobs, baselines of accepted findings."""

    def test_csv_rows_per_finding_and_per_drawing_not_audited(self):
        folder = scratch("csv")
        (folder / "broken.json").write_bytes(b"{")
        run = kvstcheck("--standard", STANDARD, OFFICE_DXF, "examples/drawings/clean.json",
                        windows_path(folder / "broken.json"), "--csv", windows_path(folder / "r.csv"))
        self.assertEqual(run.status, 2, run)
        content = (folder / "r.csv").read_bytes()
        self.assertTrue(content.startswith(b"\xef\xbb\xbfdrawing,result,kind key,kind,name,hint,rule,reason\r\n"))
        rows = list(csv.reader(io.StringIO(content.decode("utf-8-sig"), newline="")))
        self.assertEqual(rows[0], ["drawing", "result", "kind key", "kind", "name", "hint", "rule", "reason"])
        keys = {LAYER: "layers", LINETYPE: "linetypes", TEXT_STYLE: "textStyles", DIM_STYLE: "dimStyles"}
        hints = {"a-door": 'the standard has "A-DOOR": only the letter case differs'}
        # Kinds in English words, whatever the host's labels: a spreadsheet is read by anyone.
        self.assertEqual(rows[1:7], [[OFFICE_DXF, "finding", keys[kind], ENGLISH_KINDS[kind], name, hints.get(name, ""), "", ""]
                                     for kind, name in OFFICE])
        self.assertEqual(rows[7][:2], [windows_path(folder / "broken.json"), "not audited"])
        self.assertIn("line 1", rows[7][7])
        self.assertEqual(len(rows), 8)

    def test_junit_one_case_per_drawing(self):
        folder = scratch("junit")
        (folder / "broken.json").write_bytes(b"{")
        run = kvstcheck("--standard", STANDARD, OFFICE_DXF, "examples/drawings/clean.json",
                        windows_path(folder / "broken.json"), "--junit", windows_path(folder / "r.xml"))
        self.assertEqual(run.status, 2, run)
        suite = ElementTree.parse(folder / "r.xml").getroot().find("testsuite")
        self.assertEqual({k: suite.get(k) for k in ("tests", "failures", "errors")},
                         {"tests": "3", "failures": "1", "errors": "1"})
        office, clean, broken = suite.findall("testcase")
        self.assertEqual((office.get("classname"), office.get("name")), ("examples/drawings", "office.dxf"))
        failure = office.find("failure")
        self.assertEqual(failure.get("message"), "6 findings in 19 names")
        self.assertEqual(failure.text.splitlines()[0], 'layer "A-WALL-OLD"')
        self.assertEqual(list(clean), [])
        self.assertEqual(broken.get("name"), "broken.json")
        self.assertIn("line 1", broken.find("error").get("message"))

    def test_a_baseline_accepts_its_findings_and_lists_those_gone(self):
        folder = scratch("baseline")
        baseline = accepted_office(folder)
        run = kvstcheck("--standard", STANDARD, OFFICE_DXF, SITE_JSON, "--baseline", windows_path(baseline))
        self.assertEqual(run.status, 1, run)  # site.json's findings are new
        accepted = [line[len(OFFICE_DXF) + 2:] for line in finding_lines(OFFICE_DXF, OFFICE, 19)[:-1]]
        self.assertEqual(run.lines[:7], [f"{OFFICE_DXF}: accepted: {line}" for line in accepted] +
                         [f"{OFFICE_DXF}: no findings in 19 names, 6 accepted"], run)
        self.assertIn(f'no longer found: {OFFICE_DXF}: layer "GONE" (2 times): accepted in the baseline', run.lines)
        self.assertEqual(run.lines[-1], "2 drawings: 3 findings, 6 accepted, 1 accepted no longer found")
        only = kvstcheck("--json", "--standard", STANDARD, OFFICE_DXF, "--baseline", windows_path(baseline))
        self.assertEqual(only.status, 0, only)
        document = only.json()
        self.assertEqual((document["findings"], document["accepted"]), (0, 6))
        self.assertTrue(all(f["accepted"] for f in document["drawings"][0]["findings"]))
        self.assertEqual(document["noLongerFound"],
                         [{"drawing": OFFICE_DXF, "kind": "layers", "name": "GONE", "rule": "", "count": 2}])
        # The drawing path is relative to the baseline's folder, whatever the working folder.
        elsewhere = kvstcheck("--standard", windows_path(STANDARD_PATH), windows_path(SOURCE / OFFICE_DXF),
                              "--baseline", windows_path(baseline), cwd=folder)
        self.assertEqual(elsewhere.status, 0, elsewhere)

    def test_rewriting_a_baseline_in_one_run_keeps_its_comments(self):
        folder = scratch("baseline-rewrite")
        baseline = accepted_office(folder)
        run = kvstcheck("--standard", STANDARD, OFFICE_DXF, SITE_JSON, "--baseline", windows_path(baseline),
                        "--write-baseline", windows_path(baseline))
        self.assertEqual(run.status, 1, run)
        text = baseline.read_text(encoding="utf-8")
        entries = json.loads(text)["accepted"]
        self.assertEqual(len(text.splitlines()), len(entries) + 6)  # one line per entry
        self.assertEqual(len(entries), 9)
        self.assertNotIn("GONE", text)
        comments = {e["name"]: e["comment"] for e in entries}
        self.assertEqual(comments["HIDDEN2"], "accepted: HIDDEN2")
        self.assertEqual(comments["C-TOPO"], "")
        self.assertEqual(kvstcheck("--standard", STANDARD, OFFICE_DXF, SITE_JSON, "--baseline",
                                   windows_path(baseline)).status, 0)

    def test_rewriting_a_baseline_keeps_the_entries_the_run_did_not_check(self):
        folder = scratch("baseline-unchecked")
        baseline = accepted_office(folder)
        document = json.loads(baseline.read_text(encoding="utf-8"))
        drawing = document["accepted"][0]["drawing"]
        unchecked = [{"drawing": drawing, "kind": "layers", "name": "a-door", "rule": "layers.pattern", "count": 1,
                      "comment": "waived by the office"},
                     {"drawing": "elsewhere/plan.dxf", "kind": "layers", "name": "X", "rule": "", "count": 1,
                      "comment": "not in this run"}]
        document["accepted"] += unchecked
        baseline.write_text(json.dumps(document, ensure_ascii=False), encoding="utf-8")
        # No --rules: the rules entry was not checked, not fixed.
        run = kvstcheck("--standard", STANDARD, OFFICE_DXF, "--baseline", windows_path(baseline),
                        "--write-baseline", windows_path(baseline))
        self.assertEqual(run.status, 0, run)
        entries = json.loads(baseline.read_text(encoding="utf-8"))["accepted"]
        for entry in unchecked:
            self.assertIn(entry, entries)
        self.assertNotIn("GONE", [e["name"] for e in entries])  # checked, and fixed
        self.assertEqual(len(entries), 6 + len(unchecked))
        self.assertIn(f"the baseline {windows_path(baseline)} keeps 2 entries that this run did not check", run.err)

    def test_a_baseline_that_is_not_ours_stops_the_run_before_anything_is_written(self):
        folder = scratch("baseline-not-ours")
        (folder / "later.json").write_text('{"generator": "kvstcheck baseline", "schemaVersion": 9, "accepted": []}')
        cases = {windows_path(SOURCE / SITE_JSON): "not a kvstcheck baseline",
                 windows_path(folder / "later.json"): "schema version 9",
                 windows_path(folder / "absent.json"): "cannot open the file"}
        for baseline, problem in cases.items():
            with self.subTest(baseline):
                run = kvstcheck("--standard", STANDARD, OFFICE_DXF, "--baseline", baseline,
                                "--csv", windows_path(folder / "r.csv"))
                self.assertEqual(run.status, 2, run)
                self.assertIn(problem, run.err)
                self.assertEqual(run.out, "")
                self.assertFalse((folder / "r.csv").exists())
        run = kvstcheck("--standard", STANDARD, OFFICE_DXF, "--write-baseline", windows_path(SOURCE / SITE_JSON))
        self.assertEqual(run.status, 2, run)
        self.assertIn("not a kvstcheck baseline", run.err)

    def test_outputs_that_clash_or_cannot_be_written_are_refused_first(self):
        folder = scratch("outputs-refused")
        office = (SOURCE / OFFICE_DXF).read_bytes()
        cases = [(["--csv", OFFICE_DXF], "is a drawing of this run"),
                 (["--junit", STANDARD], "is the standard file of this run"),
                 (["--csv", windows_path(folder / "r"), "--junit", windows_path(folder / "r")], "cannot be both"),
                 (["--junit", windows_path(folder / "no-folder" / "r.xml")], "cannot write the JUnit file"),
                 (["--write-baseline", windows_path(folder)], "this is a folder")]
        for arguments, problem in cases:
            with self.subTest(arguments):
                run = kvstcheck("--standard", STANDARD, OFFICE_DXF, *arguments)
                self.assertEqual(run.status, 2, run)
                self.assertIn(problem, run.err)
                self.assertEqual(run.out, "")
        self.assertEqual((SOURCE / OFFICE_DXF).read_bytes(), office)

    def test_every_output_that_cannot_be_written_is_named_in_one_message_before_the_audit(self):
        folder = scratch("outputs-all-refused")
        (folder / "theirs.html").write_text("<html>a page someone wrote</html>")
        missing = windows_path(folder / "no-folder" / "r.csv")
        run = kvstcheck("--standard", windows_path(STANDARD_PATH), windows_path(SOURCE / OFFICE_DXF),
                        "--csv", missing, "--junit", windows_path(SOURCE / OFFICE_DXF),
                        "--html", "theirs.html", "--sarif", "r.sarif", cwd=folder)
        self.assertEqual(run.status, 2, run)
        self.assertEqual(run.out, "")
        self.assertIn("these outputs cannot be written, so no drawing was audited:", run.err)
        for named in (missing + ": cannot write the CSV file there: its folder",
                      windows_path(SOURCE / OFFICE_DXF) + ": cannot write the JUnit file there: it is a drawing",
                      "theirs.html: cannot write the HTML report there: the file exists and kvstcheck did not write it"):
            self.assertIn(named, run.err)
        self.assertNotIn("r.sarif", run.err)
        self.assertFalse((folder / "r.sarif").exists())

    def test_a_device_is_no_output_file(self):
        run = kvstcheck("--standard", STANDARD, OFFICE_DXF, "--csv", "/dev/full")
        self.assertEqual(run.status, 2, run)
        self.assertEqual(run.out, "")
        self.assertIn("/dev/full: cannot write the CSV file there: it is a device, not a file", run.err)
        self.assertNotIn("appeared during the run", run.err)

    def test_an_argument_that_names_nothing_says_so(self):
        run = kvstcheck("--standard", STANDARD, "examples/drawngs")
        self.assertEqual(run.status, 2, run)
        self.assertIn("examples/drawngs: no file or folder of that name", run.err)
        self.assertNotIn("unknown kind of drawing file", run.err)

    def test_quiet_prints_the_summary_alone_even_with_entries_gone(self):
        folder = scratch("baseline-quiet")
        baseline = accepted_office(folder)
        run = kvstcheck("-q", "--standard", STANDARD, OFFICE_DXF, "--baseline", windows_path(baseline))
        self.assertEqual(run.status, 0, run)
        self.assertEqual(run.lines, ["1 drawing: 0 findings, 6 accepted, 1 accepted no longer found"])


DXF_TABLES = {LAYER: "LAYER", LINETYPE: "LTYPE", TEXT_STYLE: "STYLE", DIM_STYLE: "DIMSTYLE"}


def dxf_name_lines(path):
    """{(table, name): line} of a DXF file's table entries: the 1-based line of the value of each name's
    group 2 in the first entry of that name, found by a plain scan of the file's pairs."""
    lines = path.read_bytes().decode("cp1252").split("\n")
    pairs = [(int(lines[i]), lines[i + 1].rstrip("\r"), i + 2) for i in range(0, len(lines) - 1, 2)]
    found, section, table, in_entry, depth = {}, None, None, False, 0
    for (code, value, line), previous in zip(pairs, [(None, None, 0)] + pairs):
        if code == 0:
            table = None if value == "ENDTAB" else table
            in_entry = section == "TABLES" and table is not None and value not in ("TABLE", "ENDTAB")
            depth = 0
        elif code == 2 and previous[:2] == (0, "SECTION"):
            section = value
        elif code == 2 and previous[:2] == (0, "TABLE"):
            table = value
        elif code == 102:
            depth += 1 if value.startswith("{") else -1 if value == "}" and depth else 0
        elif code == 2 and in_entry and depth == 0:
            found.setdefault((table, value), line)
            in_entry = False
    return found


class Sarif(unittest.TestCase):
    """--sarif: SARIF 2.1.0 that its schema and its authors' validator accept."""

    TOOL = pathlib.Path(os.environ.get("KVST_SARIF_TOOL", "/nonexistent"))

    def validate(self, path):
        schema_path = self.TOOL / "node_modules/@microsoft/sarif-multitool-linux/sarif-2.1.0.json"
        schema = json.loads(schema_path.read_text(encoding="utf-8"))
        jsonschema.validators.validator_for(schema)(schema).validate(json.loads(path.read_text(encoding="utf-8")))
        check = subprocess.run([str(self.TOOL / "node_modules/.bin/sarif-multitool"), "validate", str(path)],
                               capture_output=True, text=True, timeout=300)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        errors = [line for line in check.stdout.splitlines() if ": error " in line]
        self.assertEqual(errors, [], check.stdout)
        document = json.loads(path.read_text(encoding="utf-8"))
        # A result without a region is one of a drawing without lines (JSON), never of a DXF drawing.
        for index in map(int, re.findall(r"SARIF2017: runs\[0\]\.results\[(\d+)\]", check.stdout)):
            uri = document["runs"][0]["results"][index]["locations"][0]["physicalLocation"]["artifactLocation"]["uri"]
            self.assertFalse(uri.lower().endswith(".dxf"), uri)
        return document

    def test_a_run_with_a_baseline_rules_and_a_drawing_not_audited(self):
        folder = scratch("sarif")
        baseline = accepted_office(folder)
        (folder / "broken.json").write_bytes(b"{")
        (folder / "rules.toml").write_text('[layers]\npatterns = ["^[A-Z]-.*$"]\n', encoding="utf-8")
        # Outside the working folder (the source tree, which holds the scratch folders too).
        elsewhere = pathlib.Path(tempfile.mkdtemp(prefix="kvst-sarif-"))
        self.addCleanup(shutil.rmtree, elsewhere)
        outside = elsewhere / "site.json"
        shutil.copy(SOURCE / SITE_JSON, outside)
        run = kvstcheck("--standard", STANDARD, OFFICE_DXF, windows_path(outside), windows_path(folder / "broken.json"),
                        "--baseline", windows_path(baseline), "--rules", windows_path(folder / "rules.toml"),
                        "--sarif", windows_path(folder / "r.sarif"))
        self.assertEqual(run.status, 2, run)
        document = self.validate(folder / "r.sarif")
        self.assertEqual(document["version"], "2.1.0")
        sarif_run = document["runs"][0]
        rules = [rule["id"] for rule in sarif_run["tool"]["driver"]["rules"]]
        self.assertEqual(rules[:4], ["layers.standard", "linetypes.standard", "text-styles.standard",
                                     "dimension-styles.standard"])
        self.assertIn("layers.pattern", rules)
        results = sarif_run["results"]
        for result in results:
            self.assertEqual(rules[result["ruleIndex"]], result["ruleId"])
            self.assertEqual(result["level"], "error")
        office = [r for r in results if r["locations"][0]["physicalLocation"]["artifactLocation"]
                  == {"uri": OFFICE_DXF, "uriBaseId": "%SRCROOT%"}]
        self.assertEqual(len([r for r in office if r["ruleId"].endswith(".standard")]), 6)
        self.assertTrue(any(r["ruleId"] == "layers.pattern" for r in office))
        # A rule's finding of a layer points at the layer's line too.
        name_lines = dxf_name_lines(SOURCE / OFFICE_DXF)
        for result in (r for r in office if r["ruleId"] == "layers.pattern"):
            name = re.search(r'"(.*?)"', result["message"]["text"]).group(1)
            self.assertEqual(result["locations"][0]["physicalLocation"]["region"], {"startLine": name_lines[("LAYER", name)]},
                             result["message"]["text"])
        first = next(r for r in office if r["ruleId"] == "layers.standard")
        self.assertEqual(first["message"]["text"], 'layer "A-WALL-OLD"')
        self.assertEqual(first["suppressions"], [{"kind": "external", "status": "accepted",
                                                  "justification": "accepted: A-WALL-OLD"}])
        # Outside the working folder: an absolute file URI.
        site = [r for r in results if "uriBaseId" not in r["locations"][0]["physicalLocation"]["artifactLocation"]]
        self.assertTrue(site)
        self.assertTrue(all(r["locations"][0]["physicalLocation"]["artifactLocation"]["uri"].startswith("file:///Z:/")
                            and "suppressions" not in r and "region" not in r["locations"][0]["physicalLocation"]
                            for r in site))
        notifications = sarif_run["invocations"][0]["toolExecutionNotifications"]
        self.assertFalse(sarif_run["invocations"][0]["executionSuccessful"])
        self.assertEqual(len(notifications), 1)
        self.assertIn("line 1", notifications[0]["message"]["text"])

    def test_the_sample_run(self):
        folder = scratch("sarif-sample")
        run = kvstcheck("--standard", STANDARD, OFFICE_DXF, "--sarif", windows_path(folder / "r.sarif"))
        self.assertEqual(run.status, 1, run)
        document = self.validate(folder / "r.sarif")
        results = document["runs"][0]["results"]
        self.assertEqual([r["message"]["text"] for r in results],
                         [line[len(OFFICE_DXF) + 2:] for line in finding_lines(OFFICE_DXF, OFFICE, 19)[:-1]])
        # Each finding points at the line of its name's value in its table entry.
        name_lines = dxf_name_lines(SOURCE / OFFICE_DXF)
        self.assertEqual([r["locations"][0]["physicalLocation"]["region"] for r in results],
                         [{"startLine": name_lines[(DXF_TABLES[kind], name)]} for kind, name in OFFICE])
        # A file of ours is rewritten without --force; a stranger's is not.
        self.assertEqual(kvstcheck("--standard", STANDARD, OFFICE_DXF, "--sarif", windows_path(folder / "r.sarif")).status, 1)


class Schemas(unittest.TestCase):
    """Every JSON document kvstcheck writes validates against its schema in docs/schemas."""

    @staticmethod
    def validator(name):
        schema = json.loads((SOURCE / "docs/schemas" / f"{name}.schema.json").read_text(encoding="utf-8"))
        jsonschema.Draft202012Validator.check_schema(schema)
        return jsonschema.Draft202012Validator(schema)

    def test_audit_documents(self):
        folder = scratch("schema-audit")
        (folder / "broken.json").write_bytes(b"{")
        baseline = accepted_office(folder)
        runs = [kvstcheck("--json", "--standard", STANDARD, OFFICE_DXF, SITE_JSON, windows_path(folder / "broken.json"),
                          "--baseline", windows_path(baseline)),
                kvstcheck("--json", "--standard", STANDARD, "examples/drawings/clean.json"),
                kvstcheck("--json", "--standard", windows_path(folder / "absent.ini"), OFFICE_DXF)]
        validator = self.validator("audit")
        for run in runs:
            document = run.json()
            self.assertEqual(document["schemaVersion"], 1)
            validator.validate(document)
        self.assertFalse(validator.is_valid({"schemaVersion": 1, "status": 1, "findings": 1, "accepted": 0,
                                             "drawings": [{"path": "a.dxf"}], "noLongerFound": []}))

    def test_lint_documents(self):
        validator = self.validator("lint")
        for standard in ("examples/standard/mistakes.ini", STANDARD, "examples/standard/absent.ini"):
            with self.subTest(standard):
                document = kvstcheck("lint", "--json", standard).json()
                self.assertEqual(document["schemaVersion"], 2)
                validator.validate(document)
        several = kvstcheck("lint", "--json", "examples/standard/mistakes.ini", STANDARD, "examples/standard/absent.ini")
        validator.validate(several.json())
        # A warning without its rule or severity is no lint document.
        document = kvstcheck("lint", "--json", "examples/standard/mistakes.ini").json()
        del document["warnings"][0]["severity"]
        self.assertFalse(validator.is_valid(document))
        # Fixes carry their machine form; a rule outside the catalogue is no lint document.
        document = kvstcheck("lint", "--json", "examples/standard/mistakes.ini").json()
        self.assertTrue(any("edit" in warning for warning in document["warnings"]))
        document["warnings"][0]["rule"] = "no-such-rule"
        self.assertFalse(validator.is_valid(document))

    def test_baseline_files(self):
        folder = scratch("schema-baseline")
        run = kvstcheck("--standard", STANDARD, OFFICE_DXF, SITE_JSON, "--write-baseline", windows_path(folder / "b.json"))
        self.assertEqual(run.status, 1, run)
        document = json.loads((folder / "b.json").read_text(encoding="utf-8"))
        self.validator("baseline").validate(document)
        self.assertEqual(len(document["accepted"]), 9)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]] + sys.argv[1:], verbosity=2)
