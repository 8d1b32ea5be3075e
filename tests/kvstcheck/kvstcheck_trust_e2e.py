#!/usr/bin/python3
"""What a run can be trusted with, end to end under Wine: no drawing passes against a standard file
the plug-in checks nothing with, no output replaces an input or a stranger's file or is left half
written, messages in plain words with the user's paths, long paths. Each class is one CTest test:
kvstcheck_trust_e2e.py CLASS (environment as for kvstcheck_e2e.py)."""
import json
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import jsonschema

sys.path.insert(0, str(pathlib.Path(__file__).parent))
from kvstcheck_e2e import (EXE, OFFICE, PLUGIN_DLL, SITE, SOURCE, STANDARD, STANDARD_PATH, WINE_RUN, WINEARCH,  # noqa: E402
                           finding_lines, kvstcheck, prefix_temp_folders, scratch, windows_path)

FAULTING_PLUGIN_DLL = pathlib.Path(os.environ["KVST_FAULTING_PLUGIN_DLL"])
OWN_PROGRAMS = "32-bit" if WINEARCH == "win32" else "64-bit"
# What the system says in its own words for the usual file errors; never shown to a user.
RAW_TEXTS = ["Access denied", "Access is denied", "directory name is invalid", "Directory name invalid",
             "Path not found", "cannot find the path", "cannot find the file"]
ZERO = b"[Common]\r\nTypeCount=1\r\n[Type1]\r\nType=AcadLayer\r\nNameCount=0\r\n"
# Standard files the plug-in checks nothing with: (content or None for no file, line, a part of why).
NOTHING_CHECKED = {
    "zero.ini": (ZERO, 5, "NameCount=0 under Type=AcadLayer"),
    "no-common.ini": (b"[Type1]\r\nType=AcadLayer\r\nNameCount=1\r\nName1=0\r\n", 1, "there is no [Common] section"),
    "type-count-0.ini": (b"[Common]\r\nTypeCount=0\r\n", 2, "is not a number from 1 to 32767"),
    "no-type1.ini": (b"[Common]\r\nTypeCount=1\r\n[Type2]\r\nType=AcadLayer\r\n", 2, "there is no [Type1]"),
    "absent.ini": (None, 0, "does not exist"),
}
LAUNCHER_ENV = {"KV_BUILD_DIR": os.environ["KVST_LAUNCHER_BUILD_DIR"], "KV_ARCH": os.environ["KVST_LAUNCHER_ARCH"]}
LAUNCHER = [str(SOURCE / "kvstcheck.sh")]


def assert_plain(case, text):
    for raw in RAW_TEXTS:
        case.assertNotIn(raw.lower(), text.lower())


class FalsePass(unittest.TestCase):
    """A standard file that the plug-in checks nothing with passes no drawing: each is not audited,
    with the user's file, the line where loading stopped, why, and the command that explains."""

    def test_each_drawing_is_not_audited_in_text_and_json(self):
        folder = scratch("false-pass")
        drawings = ["examples/drawings/office.dxf", "examples/drawings/site.json"]
        for name, (content, line, why) in NOTHING_CHECKED.items():
            if content is not None:
                (folder / name).write_bytes(content)
            given = windows_path(folder / name)
            where = f"{given}:{line}: " if line else f"{given}: "
            with self.subTest(name, output="text"):
                run = kvstcheck("--standard", given, *drawings)
                self.assertEqual(run.status, 2, run)
                for drawing in drawings:
                    self.assertIn(f"kvstcheck: {drawing}: not audited: the plug-in checks nothing with the standard "
                                  f"file {where}", run.err)
                self.assertEqual(run.err.count(why), 2, run)
                self.assertEqual(run.err.count(f"run kvstcheck lint {given}\n"), 2, run)
                self.assertEqual(run.out, "2 drawings: 0 findings, 2 not audited\n")
                self.assertNotIn("Temp", run.err)
            with self.subTest(name, output="json"):
                run = kvstcheck("--json", "--standard", given, *drawings)
                self.assertEqual(run.status, 2, run)
                document = run.json()
                self.assertEqual(document["status"], 2)
                for entry in document["drawings"]:
                    self.assertNotIn("findings", entry)
                    self.assertIn(f"standard file {where}", entry["error"])
                    self.assertIn(why, entry["error"])

    def test_a_plug_in_that_faults_fails_the_run_and_says_where(self):
        folder = scratch("false-pass-fault")
        shutil.copy(STANDARD_PATH, folder / "standard.ini")
        for drawing in ("office.dxf", "site.json"):
            shutil.copy(SOURCE / "examples/drawings" / drawing, folder / drawing)
        (folder / "plugin").mkdir()
        shutil.copy(FAULTING_PLUGIN_DLL, folder / "plugin" / "FaultingPlugin.dll")
        shutil.copy(STANDARD_PATH, folder / "plugin" / "KVStPluginDefault.ini")
        # The module as loaded: the one named, with the standard file beside it, or its copy beside a
        # given standard file, which takes the plug-in's name.
        cases = [([], "FaultingPlugin.dll"), (["--standard", "standard.ini"], "KVStVB7Default.dll")]
        for standard, module in cases:
            for jobs in ("1", "2"):
                with self.subTest(module=module, jobs=jobs):
                    run = kvstcheck("--plugin", "plugin/FaultingPlugin.dll", *standard, "--jobs", jobs, "office.dxf",
                                    "site.json", "--html", "report.html", cwd=folder)
                    self.assertEqual(run.status, 2, run)
                    self.assertRegex(run.err, rf"^kvstcheck: the run stopped: a fault in {re.escape(module)} \(exception "
                                              r"0xC0000005 at offset 0x[0-9A-F]+\); files it had yet to write were "
                                              r"not written\n$")
                    self.assertFalse((folder / "report.html").exists())

    def test_a_relative_standard_is_named_as_given(self):
        folder = scratch("false-pass-relative")
        (folder / "zero.ini").write_bytes(ZERO)
        shutil.copy(SOURCE / "examples/drawings/site.json", folder / "site.json")
        run = kvstcheck("--standard", "zero.ini", "site.json", cwd=folder)
        self.assertEqual(run.status, 2, run)
        self.assertEqual(run.err, "kvstcheck: site.json: not audited: the plug-in checks nothing with the standard file "
                                  "zero.ini:5: NameCount=0 under Type=AcadLayer: the plug-in cannot load the file at "
                                  "all, and every audit against it fails; run kvstcheck lint zero.ini\n")

    def test_the_installed_standard_is_named_where_it_is(self):
        beside = PLUGIN_DLL.parent / "KVStPluginDefault.ini"
        beside.write_bytes(ZERO)
        try:
            run = kvstcheck("examples/drawings/office.dxf")
        finally:
            beside.unlink()
        self.assertEqual(run.status, 2, run)
        self.assertIn(f"standard file {windows_path(beside)}:5: NameCount=0".lower(), run.err.lower())
        self.assertEqual(run.out, "")

    def test_a_standard_that_loads_with_problems_is_told_once(self):
        drawings = ["examples/drawings/office.dxf", "examples/drawings/site.json"]
        run = kvstcheck("--standard", "examples/standard/mistakes.ini", *drawings)
        self.assertEqual(run.status, 1, run)
        self.assertEqual(run.err, "kvstcheck: warning: the plug-in reads 7 lines of the standard file "
                                  "examples/standard/mistakes.ini otherwise than its author most likely meant; run "
                                  "kvstcheck lint examples/standard/mistakes.ini\n")
        document = kvstcheck("--json", "--standard", "examples/standard/mistakes.ini", *drawings).json()
        self.assertEqual(document["standard"], {"path": "examples/standard/mistakes.ini", "problems": 7})
        clean = kvstcheck("--json", "--standard", STANDARD, *drawings)
        self.assertEqual(clean.json()["standard"], {"path": STANDARD, "problems": 0})
        self.assertEqual(clean.err, "")


class LintInstalled(unittest.TestCase):
    """lint --installed lints the standard file beside each registered plug-in module."""

    def test_the_registered_modules_standard(self):
        beside = PLUGIN_DLL.parent / "KVStPluginDefault.ini"
        module = windows_path(PLUGIN_DLL).lower()
        run = kvstcheck("lint", "--installed")
        self.assertEqual(run.status, 2, run)
        self.assertIn(f"the plug-in for {OWN_PROGRAMS} programs, {module}, reads ", run.out.lower())
        self.assertIn("kvstplugindefault.ini: the file does not exist", run.out.lower())

        shutil.copy(SOURCE / "examples/standard/mistakes.ini", beside)
        try:
            text = kvstcheck("lint", "--installed")
            document = kvstcheck("lint", "--installed", "--json")
        finally:
            beside.unlink()
        self.assertEqual(text.status, 1, text)
        self.assertTrue(text.lines[-1].endswith("KVStPluginDefault.ini: 7 warnings, 2 notes"), text)
        self.assertEqual(document.status, 1, document)
        self.assertEqual(document.json()["schemaVersion"], 2)
        schema = json.loads((SOURCE / "docs/schemas/lint.schema.json").read_text(encoding="utf-8"))
        jsonschema.Draft202012Validator(schema).validate(document.json())
        entry = next(e for e in document.json()["modules"] if e["module"].lower() == module)
        self.assertEqual(entry["programs"], OWN_PROGRAMS)
        self.assertEqual(len(entry["lint"]["warnings"]), 9)

    def test_lint_takes_a_file_or_installed(self):
        self.assertEqual(kvstcheck("lint").status, 2)
        self.assertEqual(kvstcheck("lint", "--installed", STANDARD).status, 2)


def read_if_there(path):
    """A file's bytes; none when it has gone meanwhile (another run's temporary copy)."""
    try:
        return path.read_bytes()
    except FileNotFoundError:
        return b""


class Outputs(unittest.TestCase):
    """Outputs never replace an input, nor a file kvstcheck did not write unless --force; written
    whole, or not at all."""

    def setUp(self):
        self.folder = scratch("outputs")
        shutil.copy(SOURCE / "examples/drawings/office.dxf", self.folder / "office.dxf")
        shutil.copy(STANDARD_PATH, self.folder / "standard.ini")
        os.link(self.folder / "office.dxf", self.folder / "linked.dxf")
        self.before = {p.name: p.read_bytes() for p in self.folder.iterdir()}

    def test_an_input_is_refused_by_identity_before_the_audit(self):
        cases = {"office.dxf": "a drawing of this run", "OFFICE.DXF": "a drawing of this run",
                 "./sub/../office.dxf": "a drawing of this run", "linked.dxf": "a drawing of this run",
                 windows_path(self.folder / "office.dxf"): "a drawing of this run",
                 "standard.ini": "the standard file of this run"}
        (self.folder / "sub").mkdir()
        for html, what in cases.items():
            with self.subTest(html):
                run = kvstcheck("--standard", "standard.ini", "office.dxf", "--html", html, "--force", cwd=self.folder)
                self.assertEqual(run.status, 2, run)
                self.assertIn(f"kvstcheck: {html}: cannot write the HTML report there: it is {what}", run.err)
                self.assertEqual(run.out, "")
        run = kvstcheck("make-standard", "office.dxf", "-o", "linked.dxf", "--force", cwd=self.folder)
        self.assertEqual(run.status, 2, run)
        self.assertIn("it is a reference drawing of this run", run.err)
        self.assertEqual({p.name: p.read_bytes() for p in self.folder.iterdir() if p.is_file()}, self.before)

    def test_a_strangers_file_needs_force_and_a_report_of_ours_is_rewritten(self):
        report = self.folder / "report.html"
        report.write_bytes(b"<html>the minutes of a meeting</html>")
        audit = ["--standard", "standard.ini", "office.dxf", "--html", "report.html"]
        run = kvstcheck(*audit, cwd=self.folder)
        self.assertEqual(run.status, 2, run)
        self.assertIn("the file exists and kvstcheck did not write it; add --force to replace it", run.err)
        self.assertEqual(report.read_bytes(), b"<html>the minutes of a meeting</html>")
        self.assertEqual(kvstcheck(*audit, "--force", cwd=self.folder).status, 1)
        first = report.read_bytes()
        self.assertIn(b'<meta name="generator" content="kvstcheck">', first)
        # A nightly report is rewritten without --force: kvstcheck wrote it.
        run = kvstcheck("--standard", "standard.ini", "office.dxf", str(SOURCE / "examples/drawings/site.json"),
                        "--html", "report.html", cwd=self.folder)
        self.assertEqual(run.status, 1, run)
        self.assertNotEqual(report.read_bytes(), first)
        self.assertEqual(sorted(p.name for p in self.folder.iterdir()), sorted(list(self.before) + ["report.html"]))

    def test_folders_and_missing_folders_in_plain_words(self):
        (self.folder / "reports").mkdir()
        cases = {"reports": "it is a folder; give a file name", "missing/report.html": "does not exist"}
        for html, words in cases.items():
            with self.subTest(html):
                run = kvstcheck("--standard", "standard.ini", "office.dxf", "--html", html, cwd=self.folder)
                self.assertEqual(run.status, 2, run)
                self.assertIn(words, run.err)
                assert_plain(self, run.err)

    def test_a_folder_walk_skips_the_runs_own_output(self):
        # A report named like a drawing, inside the folder it reports on.
        report = self.folder / "report.json"
        first = kvstcheck("--standard", "standard.ini", ".", "--html", "report.json", cwd=self.folder)
        self.assertEqual(first.status, 1, first)
        again = kvstcheck("--standard", "standard.ini", ".", "--html", "report.json", cwd=self.folder)
        self.assertEqual(again.status, 1, again)
        self.assertNotIn("report.json", again.out + again.err)
        self.assertIn(b"kvstcheck", report.read_bytes())

    def test_a_standard_output_that_cannot_be_written_fails_the_run(self):
        message = "kvstcheck: the standard output could not be written ({}): what it received is incomplete\n"
        # A full disk: Linux's /dev/full refuses every write.
        cases = {"text": ["--standard", "standard.ini", "office.dxf"],
                 "json": ["--json", "--standard", "standard.ini", "office.dxf"],
                 "lint": ["lint", "standard.ini"],
                 "make-standard": ["make-standard", "office.dxf", "-o", "made.ini"]}
        for name, arguments in cases.items():
            with self.subTest(name), open("/dev/full", "wb") as full:
                run = kvstcheck(*arguments, cwd=self.folder, stdout=full)
                self.assertEqual(run.status, 2, run)
                self.assertTrue(run.err.endswith(message.format("its disk is full")), run)
        # A reader that stops early: the findings of many drawings are more than the pipe holds.
        drawings = self.folder / "many"
        drawings.mkdir()
        for i in range(600):
            os.link(self.folder / "office.dxf", drawings / f"{i:03}.dxf")
        with tempfile.TemporaryFile() as err:
            process = subprocess.Popen([WINE_RUN, EXE, "--standard", "standard.ini", "many"], cwd=self.folder,
                                       stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=err)
            self.assertTrue(process.stdout.read(1))
            process.stdout.close()
            self.assertEqual(process.wait(timeout=300), 2)
            err.seek(0)
            self.assertTrue(err.read().decode().endswith(message.format("the program it goes to has stopped reading")))

    def test_an_interrupted_run_fails_and_leaves_the_old_report_whole_and_no_temporary_file(self):
        drawings = self.folder / "many"
        drawings.mkdir()
        for i in range(6000):
            os.link(self.folder / "office.dxf", drawings / f"{i:04}.dxf")
        # The run's temporary copy of its standard file is told from other runs' copies by a comment.
        marker = f"; interrupted run {os.getpid()} {time.time()}\r\n".encode()
        (self.folder / "marked.ini").write_bytes((self.folder / "standard.ini").read_bytes() + marker)
        report = self.folder / "report.html"
        self.assertEqual(kvstcheck("--standard", "marked.ini", "office.dxf", "--html", "report.html",
                                   cwd=self.folder).status, 1)
        old = report.read_bytes()
        out, err = self.folder.parent / "interrupted.out", self.folder.parent / "interrupted.err"
        with out.open("wb") as out_file, err.open("wb") as err_file:
            process = subprocess.Popen([WINE_RUN, EXE, "--standard", "marked.ini", "many", "--html", "report.html",
                                        "--csv", "report.csv"],
                                       cwd=self.folder, stdin=subprocess.DEVNULL, stdout=out_file, stderr=err_file)
            # Interrupted once its findings have begun: the audits are under way, the reports not yet written.
            deadline = time.monotonic() + 120
            while out.stat().st_size == 0 and process.poll() is None and time.monotonic() < deadline:
                time.sleep(0.05)
            self.assertIsNone(process.poll(), "the run ended before it could be interrupted")
            # As Ctrl+C reaches a program under Wine. The signal goes to the program alone: its
            # process group may hold the Wine server that other tests are using.
            process.send_signal(signal.SIGINT)
            status = process.wait(timeout=120)
        self.assertEqual(status, 2, "an interrupted audit must not end as one without findings")
        self.assertEqual(err.read_text(encoding="utf-8"), "kvstcheck: interrupted: the run stopped before it finished; "
                                                          "files it had yet to write were not written\n")
        self.assertEqual(report.read_bytes(), old)
        self.assertFalse((self.folder / "report.csv").exists())
        self.assertEqual([p.name for p in self.folder.iterdir() if p.name.startswith("~kvstcheck")], [])
        left = [copy for temp in prefix_temp_folders() for copy in temp.glob("kvstcheck-*/KVStPluginDefault.ini")
                if read_if_there(copy).endswith(marker)]
        self.assertEqual(left, [], "the run's temporary folder was left behind")


class MakeStandardInputs(unittest.TestCase):
    """make-standard counts what it refuses rightly, and takes folders as audits take them."""

    def test_drawings_without_names(self):
        folder = scratch("make-empty")
        (folder / "empty.json").write_text("{}")
        run = kvstcheck("make-standard", "empty.json", "-o", "out.ini", cwd=folder)
        self.assertEqual(run.status, 2, run)
        self.assertEqual(run.err, "kvstcheck: no standard file written: the reference drawings hold no names to allow\n")
        self.assertEqual(sorted(p.name for p in folder.iterdir()), ["empty.json"])

    def test_a_folder_of_reference_drawings(self):
        folder = scratch("make-folder")
        (folder / "refs" / "deeper").mkdir(parents=True)
        shutil.copy(SOURCE / "examples/drawings/office.dxf", folder / "refs" / "office.dxf")
        shutil.copy(SOURCE / "examples/drawings/site.json", folder / "refs" / "deeper" / "site.json")
        run = kvstcheck("make-standard", "refs", "-o", "made.ini", cwd=folder)
        self.assertEqual(run.status, 0, run)
        files = kvstcheck("make-standard", "refs/office.dxf", "refs/deeper/site.json", "-o", "files.ini", cwd=folder)
        self.assertEqual(files.status, 0, files)
        self.assertEqual(run.out.replace("made.ini", "files.ini"), files.out)
        audit = kvstcheck("--standard", "made.ini", "refs", cwd=folder)
        self.assertEqual(audit.status, 0, audit)


class Messages(unittest.TestCase):
    """System errors in plain words, naming the path as the user gave it."""

    def test_files_and_folders_that_cannot_be_used(self):
        folder = scratch("messages")
        (folder / "a-folder.dxf").mkdir()
        cases = [
            (["--standard", STANDARD, "missing-folder/a.dxf"], "missing-folder/a.dxf: cannot open the file: a folder "
                                                              "on its way does not exist"),
            (["--standard", STANDARD, windows_path(folder / "a-folder.dxf") + "\\x.dxf"], "does not exist"),
            (["--standard", STANDARD, "examples/drawings/office.dxf", "--html", windows_path(folder)],
             "it is a folder; give a file name"),
            (["--standard", windows_path(folder), "examples/drawings/office.dxf"], "is a folder"),
            (["lint", "missing-folder/x.ini"], "missing-folder/x.ini"),
        ]
        for arguments, words in cases:
            with self.subTest(arguments[-1]):
                run = kvstcheck(*arguments)
                self.assertEqual(run.status, 2, run)
                self.assertIn(words, run.err)
                assert_plain(self, run.err)


class LauncherPaths(unittest.TestCase):
    """Through kvstcheck.sh, paths come back as the user gave them."""

    def launch(self, *arguments, cwd):
        return kvstcheck(*arguments, cwd=cwd, env=LAUNCHER_ENV, command=LAUNCHER)

    def test_relative_absolute_and_folders(self):
        folder = scratch("launcher-paths")
        (folder / "proj" / "sub").mkdir(parents=True)
        shutil.copy(SOURCE / "examples/drawings/site.json", folder / "proj" / "sub" / "site.json")
        (folder / "zero.ini").write_bytes(ZERO)
        run = self.launch("--standard", STANDARD_PATH, "proj", "proj/", folder / "proj", cwd=folder)
        self.assertEqual(run.status, 1, run)
        self.assertEqual(run.lines, finding_lines("proj/sub/site.json", SITE, 7) +
                         finding_lines("proj/sub/site.json", SITE, 7) +
                         finding_lines(f"{folder}/proj/sub/site.json", SITE, 7) + ["3 drawings: 9 findings"])
        run = self.launch("--standard", folder / "zero.ini", "proj/sub/site.json", cwd=folder)
        self.assertEqual(run.status, 2, run)
        self.assertIn(f"proj/sub/site.json: not audited: the plug-in checks nothing with the standard file "
                      f"{folder}/zero.ini:5: ", run.err)
        self.assertIn(f"run kvstcheck lint {folder}/zero.ini", run.err)
        run = self.launch("--standard", STANDARD, str(SOURCE / "examples/drawings/office.dxf"), "--html",
                          folder / "report.html", cwd=SOURCE)
        self.assertEqual(run.lines, finding_lines(str(SOURCE / "examples/drawings/office.dxf"), OFFICE, 19), run)
        self.assertTrue((folder / "report.html").exists())


class LongPaths(unittest.TestCase):
    """Paths longer than MAX_PATH in folder walks, drawings, standards and outputs."""

    def test_a_deep_folder(self):
        deep = scratch("long-paths")
        while len(windows_path(deep)) < 300:
            deep = deep / "a-folder-with-a-long-enough-name"
        deep.mkdir(parents=True)
        shutil.copy(SOURCE / "examples/drawings/office.dxf", deep / "office.dxf")
        shutil.copy(STANDARD_PATH, deep / "standard.ini")
        folder, standard, report = windows_path(deep), windows_path(deep / "standard.ini"), windows_path(deep / "r.html")
        for drawing in (folder, windows_path(deep / "office.dxf")):
            with self.subTest(drawing=len(drawing)):
                run = kvstcheck("--standard", standard, drawing, "--html", report, "--force")
                self.assertEqual(run.lines, finding_lines(folder + "\\office.dxf", OFFICE, 19), run)
                self.assertIn(b"A-WALL-OLD", (deep / "r.html").read_bytes())
        self.assertEqual(kvstcheck("lint", standard).status, 0)
        made = kvstcheck("make-standard", folder, "-o", windows_path(deep / "made.ini"))
        self.assertEqual(made.status, 0, made)
        self.assertTrue((deep / "made.ini").exists())
        # The long standard file that checks nothing is caught as well.
        (deep / "zero.ini").write_bytes(ZERO)
        run = kvstcheck("--standard", windows_path(deep / "zero.ini"), folder)
        self.assertEqual(run.status, 2, run)
        self.assertIn(f"{windows_path(deep / 'zero.ini')}:5: NameCount=0", run.err)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]] + sys.argv[1:], verbosity=2)
