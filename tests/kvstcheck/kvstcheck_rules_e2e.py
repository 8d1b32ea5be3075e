#!/usr/bin/python3
"""kvstcheck with rules files, as a user runs it under Wine: drawings written by ezdxf, which also reads
every layer property back as the second reader. Each class is one CTest test:
kvstcheck_rules_e2e.py CLASS. Environment: as kvstcheck_e2e.py.
"""
import json
import sys
import unittest

import ezdxf
import jsonschema

from kvstcheck_e2e import SOURCE, kvstcheck as run_kvstcheck, scratch, windows_path, write_standard

OFFICE_RULES = "examples/rules/office-us.toml"
# The lineweights a layer can have, in hundredths of a millimetre.
LINEWEIGHTS = [0, 5, 9, 13, 15, 18, 20, 25, 30, 35, 40, 50, 53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211]
STANDARD = "examples/standard/KVStPluginDefault.ini"
OFFICE_DXF = "examples/drawings/office.dxf"
NOTEPAD_RULES = '[layers]\r\npatterns = [\'^[A-Z]-[A-Z]{4}$\', \'^0$\']\r\nrequired = ["Möbel"]\r\n'


def lint_validator():
    schema = json.loads((SOURCE / "docs/schemas/lint.schema.json").read_text(encoding="utf-8"))
    jsonschema.Draft202012Validator.check_schema(schema)
    return jsonschema.Draft202012Validator(schema)

PROJECT_RULES = "examples/rules/project.toml"


def kvstcheck(*arguments, **options):
    """kvstcheck with absolute paths given as Wine shows them to the program."""
    return run_kvstcheck(*[windows_path(a) if hasattr(a, "resolve") else a for a in arguments], **options)


def rule_findings(run):
    """(rule, name, message) of each rules finding of a --json run, drawing by drawing."""
    return [[(f["rule"], f["name"], f["message"]) for f in d.get("findings", []) if "rule" in f]
            for d in run.json()["drawings"]]


def allow_all(folder, doc):
    """A standard file that allows every name of the drawing, so that only the rules find anything."""
    return write_standard(folder / "all.ini", [
        ("AcadLayer", [e.dxf.name for e in doc.layers]),
        ("AcadLineType", [e.dxf.name for e in doc.linetypes]),
        ("AcadTextStyle", [e.dxf.name for e in doc.styles if e.dxf.name]),
        ("AcadDimStyle", [e.dxf.name for e in doc.dimstyles])])


def layer_drawing(path, version):
    """Layers on and off, in colours, linetypes, lineweights, plotted and not."""
    doc = ezdxf.new(version)
    doc.linetypes.add("DASHED", [0.6, 0.5, -0.1])
    layer_settings = [("A-WALL", 1, "CONTINUOUS", 35, True, True), ("A-DOOR", 3, "DASHED", 25, False, False),
             ("A-GLAZ", 250, "Continuous", 211, True, False), ("A-ANNO-TTLB", 7, "Continuous", -3, False, True),
             ("Defpoints", 7, "Continuous", 0, True, False)]
    for name, color, linetype, lineweight, on, plot in layer_settings:
        layer = doc.layers.get(name) if doc.layers.has_entry(name) else doc.layers.add(name)
        layer.dxf.color, layer.dxf.linetype, layer.dxf.lineweight = color, linetype, lineweight
        layer.dxf.plot = 1 if plot else 0
        if not on:
            layer.off()
    doc.saveas(path)
    return ezdxf.readfile(path)


def properties_rules(path, doc, change):
    """A rules file asking each layer of the drawing (as ezdxf reads it) for its properties, changed by change."""
    lines = []
    for layer in doc.layers:
        color, linetype = abs(layer.dxf.color), layer.dxf.linetype
        lineweight, plot = layer.dxf.lineweight, bool(layer.dxf.plot)
        if change:
            lineweight = LINEWEIGHTS[(LINEWEIGHTS.index(lineweight) + 1) % len(LINEWEIGHTS)] if lineweight >= 0 else 35
            color, linetype, plot = color % 255 + 1, linetype + "X", not plot
        weight = '"default"' if lineweight == -3 else str(lineweight)
        lines += [f'[layers.properties."{layer.dxf.name}"]', f"color = {color}", f'linetype = "{linetype}"',
                  f"lineweight = {weight}", f"plot = {'true' if plot else 'false'}"]
    path.write_text("\n".join(lines) + "\n", encoding="utf-8")
    return path


class RulesLayerProperties(unittest.TestCase):
    """Every property kvstcheck reads from a layer is the one ezdxf reads, in R12-era and UTF-8 files."""

    def test_properties_agree_with_ezdxf(self):
        folder = scratch("rules-properties")
        for version in ("R2000", "R2010"):
            drawing = folder / f"layers-{version}.dxf"
            doc = layer_drawing(drawing, version)
            standard = allow_all(folder, doc)
            same = properties_rules(folder / "same.toml", doc, change=False)
            run = kvstcheck("--json", "--standard", standard, "--rules", same, drawing)
            self.assertEqual(run.status, 0, run)
            self.assertEqual(rule_findings(run), [[]], run)

            other = properties_rules(folder / "other.toml", doc, change=True)
            run = kvstcheck("--json", "--standard", standard, "--rules", other, drawing)
            self.assertEqual(run.status, 1, run)
            found = {(rule, name): message for rule, name, message in rule_findings(run)[0]}
            for layer in doc.layers:
                name = layer.dxf.name
                self.assertIn(f"has colour {abs(layer.dxf.color)} ", found[("layers.color", name)])
                self.assertIn(f'has linetype "{layer.dxf.linetype}"', found[("layers.linetype", name)])
                weight = layer.dxf.lineweight
                shown = "the default lineweight" if weight == -3 else f"lineweight {weight // 100}.{weight % 100:02d} mm"
                self.assertIn(f"has {shown} ", found[("layers.lineweight", name)])
                plotted = "is plotted" if layer.dxf.plot else "is not plotted"
                self.assertIn(plotted, found[("layers.plot", name)])
            self.assertEqual(len(found), 4 * len(doc.layers), run)

    def test_off_layers_keep_their_colour(self):
        folder = scratch("rules-off")
        doc = layer_drawing(folder / "off.dxf", "R2010")
        self.assertTrue(doc.layers.get("A-DOOR").is_off())
        rules = folder / "door.toml"
        rules.write_text('[layers.properties."A-DOOR"]\ncolor = 3\n[layers.properties."a-glaz"]\ncolor = 250\n',
                         encoding="utf-8")
        run = kvstcheck("--json", "--standard", allow_all(folder, doc), "--rules", rules, folder / "off.dxf")
        self.assertEqual(rule_findings(run), [[]], run)


class RulesAudit(unittest.TestCase):
    """Rules findings beside the plug-in's: text, JSON, HTML and the exit status."""

    def test_sample_rules_on_the_sample_drawing(self):
        run = kvstcheck("--standard", "examples/standard/KVStPluginDefault.ini", "--rules", OFFICE_RULES,
                        "examples/drawings/office.dxf")
        self.assertEqual(run.status, 1, run)
        self.assertIn('examples/drawings/office.dxf: layer "A-WALL-OLD"', run.lines)
        self.assertIn("examples/drawings/office.dxf: [layers.required] the drawing has no layer \"A-ANNO-TTLB\", "
                      "which the rules require", run.lines)
        self.assertIn("examples/drawings/office.dxf: [layers.fields] layer \"A-GLAZ\": major group \"GLAZ\" is not "
                      "a code", run.lines)
        self.assertIn("examples/drawings/office.dxf: [layers.color] layer \"A-WALL\" has colour 7 (the rules ask "
                      "for 1)", run.lines)
        self.assertEqual(run.lines[-1], "examples/drawings/office.dxf: 20 findings in 19 names", run)

    def test_rules_findings_alone_set_the_exit_status(self):
        folder = scratch("rules-status")
        doc = ezdxf.new("R2010")
        doc.layers.add("A-WALL")
        doc.layers.add("A-WAL")
        doc.saveas(folder / "plan.dxf")
        standard = allow_all(folder, ezdxf.readfile(folder / "plan.dxf"))
        run = kvstcheck("--json", "--standard", standard, "--rules", OFFICE_RULES, folder / "plan.dxf")
        self.assertEqual(run.status, 1, run)
        document = run.json()
        self.assertEqual(document["findings"], len(document["drawings"][0]["findings"]))
        plugin = [f for f in document["drawings"][0]["findings"] if "rule" not in f]
        self.assertEqual(plugin, [])
        self.assertIn(("layers.fields", "A-WAL", 'layer "A-WAL": major group "WAL" is not a code (nearest: WALL)'),
                      rule_findings(run)[0])
        finding = next(f for f in document["drawings"][0]["findings"] if f["rule"] == "layers.required")
        # kind is the host's label, as for the plug-in's findings: one kind whoever found it.
        self.assertEqual(finding, {"rule": "layers.required", "kind": "\u56fe\u5c42", "kindKey": "layers",
                                   "name": "A-ANNO-TTLB", "displayName": "A-ANNO-TTLB",
                                   "message": 'the drawing has no layer "A-ANNO-TTLB", which the rules require',
                                   "accepted": False})

    def test_a_project_file_adds_to_the_office(self):
        folder = scratch("rules-project")
        drawing = folder / "site.json"
        layers = ["0", "A-ANNO-TTLB", "SURVEY_2024", {"name": "A-WALL", "color": -1, "linetype": "Continuous",
                                                     "lineweight": 35, "plot": True}]
        drawing.write_text(json.dumps({"Layers": layers, "TextStyles": ["Standard"]}), encoding="utf-8")
        standard = write_standard(folder / "all.ini", [("AcadLayer", ["0", "A-ANNO-TTLB", "SURVEY_2024", "A-WALL"]),
                                                       ("AcadTextStyle", ["Standard"])])
        office = kvstcheck("--json", "--standard", standard, "--rules", OFFICE_RULES, drawing)
        self.assertEqual(sorted((r, n) for r, n, _ in rule_findings(office)[0]),
                         [("layers.pattern", "SURVEY_2024")], office)
        both = kvstcheck("--json", "--standard", standard, "--rules", OFFICE_RULES, "--rules", PROJECT_RULES, drawing)
        self.assertEqual(sorted((r, n) for r, n, _ in rule_findings(both)[0]),
                         [("layers.lineweight", "A-WALL"), ("layers.required", "A-GRID")], both)

    def test_names_checks_on_json_drawings(self):
        folder = scratch("rules-names")
        drawing = folder / "names.json"
        layers = ["0", "A:WALL", " A-DOOR", "A\u200bGLAZ", "PLAN|A-WALL", "a-door", "A-DOOR"]
        drawing.write_text(json.dumps({"Layers": layers}), encoding="utf-8")
        standard = write_standard(folder / "all.ini", [("AcadLayer", ["0"])])
        rules = folder / "empty.toml"
        rules.write_text("", encoding="utf-8")
        run = kvstcheck("--json", "--standard", standard, "--rules", rules, drawing)
        self.assertEqual(sorted((r, n) for r, n, _ in rule_findings(run)[0]),
                         [("names.characters", "A:WALL"), ("names.invisible", "A\u200bGLAZ"),
                          ("names.letter-case", "A-DOOR"), ("names.spaces", " A-DOOR")], run)

    def test_notepad_files_and_semicolon_code_lists(self):
        folder = scratch("rules-saved")
        (folder / "major.csv").write_bytes("\ufeffcode;meaning\r\nWALL;Wände\r\nDOOR;Türen\r\n".encode("utf-8"))
        rules = ('[layers]\r\nformat = "{discipline}-{major_group}"\r\n[layers.fields]\r\ndiscipline = ["A"]\r\n'
                 'major_group = { csv = "major.csv" }\r\n')
        (folder / "office.toml").write_bytes(b"\xff\xfe" + rules.encode("utf-16-le"))
        drawing = folder / "plan.json"
        drawing.write_text(json.dumps({"Layers": ["A-WALL", "A-WAL", "A-DOOR"]}), encoding="utf-8")
        standard = write_standard(folder / "all.ini", [("AcadLayer", ["A-WALL", "A-WAL", "A-DOOR"])])
        run = kvstcheck("--json", "--standard", standard, "--rules", folder / "office.toml", drawing)
        self.assertEqual(rule_findings(run), [[("layers.fields", "A-WAL",
                                                'layer "A-WAL": major group "WAL" is not a code (nearest: WALL)')]], run)

    def test_html_report_shows_rules_findings(self):
        folder = scratch("rules-html")
        page = folder / "report.html"
        run = kvstcheck("--standard", "examples/standard/KVStPluginDefault.ini", "--rules", OFFICE_RULES,
                        "--html", page, "examples/drawings/office.dxf")
        self.assertEqual(run.status, 1, run)
        html = page.read_text(encoding="utf-8")
        self.assertIn("layers.required: the drawing has no layer &quot;A-ANNO-TTLB&quot;", html)


class RulesFileErrors(unittest.TestCase):
    """A broken rules file stops the run before any audit: exit 2, file, line, column and the fix."""

    def test_errors_name_file_line_and_column(self):
        folder = scratch("rules-errors")
        cases = {
            "not-toml.toml": ("[layers\n", "not-toml.toml:1:8: not a TOML file"),
            "bad-pattern.toml": ("[layers]\npatterns = ['^A-(?!OLD)']\n",
                                 "bad-pattern.toml:2:13: pattern '^A-(?!OLD)' does not compile: at character 4"),
            "bad-type.toml": ("[layers.properties.'A']\nplot = 'yes'\n",
                              "bad-type.toml:2:8: [layers.properties.\"A\"] plot must be true or false"),
            "unknown.toml": ("[layer]\n", "unknown.toml:1:2: unknown section [layer]"),
        }
        for name, (text, expected) in cases.items():
            (folder / name).write_text(text, encoding="utf-8")
            run = kvstcheck("--standard", "examples/standard/KVStPluginDefault.ini", "--rules", folder / name,
                            "examples/drawings/office.dxf")
            self.assertEqual(run.status, 2, run)
            self.assertEqual(run.out, "", run)
            self.assertIn(expected, run.err, run)
            self.assertIn("fix: ", run.err, run)

    def test_missing_rules_file(self):
        run = kvstcheck("--rules", "no-such-rules.toml", "examples/drawings/office.dxf")
        self.assertEqual(run.status, 2, run)
        self.assertIn("rules file no-such-rules.toml: cannot open the file", run.err)


class RulesLint(unittest.TestCase):
    """lint explains a rules file with lines: the examples are clean, mistakes are found."""

    def test_examples_are_clean(self):
        for rules in ("examples/rules/office-us.toml", "examples/rules/office-iso.toml", PROJECT_RULES):
            run = kvstcheck("lint", rules)
            self.assertEqual(run.status, 0, run)
            self.assertEqual(run.lines, [f"{rules}: nothing to fix"], run)

    def test_mistakes_are_found_with_lines(self):
        folder = scratch("rules-lint")
        rules = folder / "mistakes.toml"
        rules.write_text("[layers]\npatterns = ['^A-[A-Z]{4}$', '^A-[]$']\nrequired = ['0']\n"
                         "[layers.properties.'A-WALLS']\ncolor = 1\n[text-styles]\ncolour = 2\n", encoding="utf-8")
        run = kvstcheck("lint", "--json", rules.name, cwd=folder)
        self.assertEqual(run.status, 1, run)
        warnings = [(w["line"], w["problem"].split(" ")[0]) for w in run.json()["warnings"]]
        self.assertEqual(warnings, [(2, "pattern"), (3, "the"), (4, "properties"), (7, "unknown")], run)
        self.assertEqual([(w["rule"], w["severity"]) for w in run.json()["warnings"]],
                         [("never-matches", "warning"), ("required-rejected", "warning"),
                          ("properties-rejected", "warning"), ("unknown-key", "error")], run)
        text = kvstcheck("lint", rules.name, cwd=folder)
        self.assertIn("mistakes.toml:7:1: error[unknown-key]: unknown key [text-styles] colour", text.lines, text)
        self.assertEqual(text.lines[-1], "mistakes.toml: 1 error (the audit refuses the file), 3 warnings", text)

    def test_lint_documents_validate(self):
        folder = scratch("rules-lint-schema")
        files = {
            "clean.toml": "[layers]\nrequired = ['0']\n",
            "edits.toml": "[layers]\nrequired = ['0', 'A', '0']\nformat = '{a}-{b}'\n[layers.fields]\na = ['A']\n"
                          "b = ['WALL']\nc = ['X']\n[layers.properties.'A-WALL']\nlineweight = 33\n",
            "picture.toml": b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR",
        }
        validator = lint_validator()
        for name, content in files.items():
            with self.subTest(name):
                path = folder / name
                path.write_bytes(content if isinstance(content, bytes) else content.encode("utf-8"))
                run = kvstcheck("lint", "--json", name, cwd=folder)
                document = run.json()
                validator.validate(document)
                self.assertEqual((document["schemaVersion"], document["fileKind"], document["status"]),
                                 (2, "rules", run.status), run)
        edits = [(w["rule"], w.get("edit")) for w in kvstcheck("lint", "--json", "edits.toml", cwd=folder).json()["warnings"]]
        for edit in [("duplicate-required", {"line": 2, "replace": "required = ['0', 'A']"}),
                     ("required-rejected", {"line": 3, "insertAfter": "patterns = ['^A$', '^(?:[^\\-]+-.+)$']"}),
                     ("unused-field", {"line": 7, "delete": True}),
                     ("lineweight-value", {"line": 9, "replace": "lineweight = 35"})]:
            self.assertIn(edit, edits)
        self.assertIn("not a text file", kvstcheck("lint", "--json", "picture.toml", cwd=folder).json()["error"])
        self.assertFalse(validator.is_valid({"schemaVersion": 2, "path": "a.toml", "status": 1, "fileKind": "rules",
                                             "warnings": [{"rule": "no-such-rule", "severity": "error", "line": 1,
                                                           "column": 1, "problem": "p", "fix": "f"}]}))

    def assert_agree(self, folder, name, content):
        """Lint's verdict on the rules file is the audit's: refused exactly for lint's errors, named in order.
        Lint's status."""
        (folder / name).write_bytes(content)
        lint = kvstcheck("lint", "--json", name, cwd=folder)
        audit = kvstcheck("--standard", windows_path(SOURCE / STANDARD), "--rules", name,
                          windows_path(SOURCE / OFFICE_DXF), cwd=folder)
        document = lint.json()
        if "error" in document:
            self.assertEqual((lint.status, audit.status), (2, 2), audit)
            self.assertIn("not a text file", audit.err, audit)
            return lint.status
        errors = [w for w in document["warnings"] if w["severity"] == "error"]
        self.assertEqual(audit.status, 2 if errors else 1, audit)
        shown = [line.removeprefix("kvstcheck: ") for line in audit.err.splitlines()
                 if line.removeprefix("kvstcheck: ").startswith(name + ":")]
        self.assertEqual(shown, [f"{name}:{w['line']}:{w['column']}: {w['problem']}" for w in errors], audit)
        return lint.status

    def test_lint_and_the_audit_agree(self):
        """The audit refuses a file exactly when lint finds an error in it, and names the same errors in order."""
        folder = scratch("rules-agree")
        files = {
            "notepad.toml": b"\xef\xbb\xbf" + NOTEPAD_RULES.encode("utf-8"),
            "unicode.toml": b"\xff\xfe" + NOTEPAD_RULES.encode("utf-16-le"),
            "picture.toml": b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR",
            "no-break.toml": "[layers]\nrequired = ['0',\u00a0'A-WALL']\n".encode("utf-8"),
            "order.toml": b"[layers]\nrequired = 1\npatterns = 2\n[layers.properties.'A']\nlineweight = 33\n",
            "case.toml": b"[layers.properties.'A-WALL']\ncolor = 2\n[layers.properties.'a-wall']\ncolor = 1\n",
            "warned.toml": b"[layers]\nrequired = ['0', '0']\n[layers.properties.'A-*']\ncolor = 1\n",
        }
        for name, content in files.items():
            with self.subTest(name):
                self.assert_agree(folder, name, content)
        no_break = kvstcheck("lint", "no-break.toml", cwd=folder)
        self.assertIn("no-break.toml:2:17: error[invisible-character]: not a TOML file: the space character U+00A0 "
                      "outside quotes", no_break.lines, no_break)

    def test_lint_and_the_audit_agree_on_fix_tables(self):
        """A rules file's [fix] tables: lint reports what the audit refuses, with the catalogue's rules, in
        line order among the file's other problems."""
        folder = scratch("rules-agree-fix")
        patterns = "[layers]\npatterns = ['^A-[A-Z]{4}$', '^0$']\n"
        # name: (content, [(line, rule)] lint reports)
        files = {
            "example.toml": ((SOURCE / "examples/fix/office-fix.toml").read_bytes(), []),
            "allowed.toml": ((patterns + "[fix.layers]\n'A-WALL-OLD' = 'A-WALL'\n").encode(), []),
            "rejected.toml": ((patterns + "[fix.layers]\n'A-WALL-OLD' = 'WALLS'\n").encode(), [(4, "fix-target")]),
            "two-targets.toml": (b"[fix.layers]\n'WALLS' = 'A-WALL'\n'walls' = 'A-DOOR'\n", [(3, "fix-target")]),
            "reserved.toml": (b"[fix.layers]\n'0' = 'A-WALL'\n[fix.linetypes]\n'X|DASH' = 'DASHED'\n",
                              [(2, "fix-target"), (4, "fix-target")]),
            "entries.toml": (b"[fix]\nauto = 'letter-case'\ncolour = 1\n[fix.layers]\n'A' = 1\n",
                             [(2, "fix-entry"), (3, "fix-entry"), (5, "fix-entry")]),
            "among-others.toml": (b"[fix.layers]\n'0' = 'A-WALL'\n[layers]\nrequired = 1\n[fix.text-styles]\n"
                                  b"'Title' = 'Notes'\n'title' = 'Other'\n",
                                  [(2, "fix-target"), (4, "wrong-type"), (7, "fix-target")]),
            "unicode.toml": (b"\xff\xfe" + (patterns + "[fix.layers]\n'M\u00f6bel' = 'FURN'\n").replace("\n", "\r\n")
                             .encode("utf-16-le"), [(4, "fix-target")]),
        }
        for name, (content, expected) in files.items():
            with self.subTest(name):
                self.assertEqual(self.assert_agree(folder, name, content), 1 if expected else 0)
                warnings = kvstcheck("lint", "--json", name, cwd=folder).json()["warnings"]
                self.assertEqual([(w["line"], w["rule"]) for w in warnings], expected)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]] + sys.argv[1:], verbosity=2)
