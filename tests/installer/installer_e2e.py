#!/usr/bin/python3
"""The setup program as a Windows user meets it, under Wine. Each case starts from a fresh 64-bit
prefix (a copy of one pristine prefix made once per test run), installs silently, and compares
the files and the registry hives (system.reg, user.reg: both registry views, exactly as stored)
with what they were before.

Usage: installer_e2e.py prepare      make the pristine prefix (the CTest fixture)
       installer_e2e.py CASE         run one test class

Environment (set by CTest): KV_PACKAGE_DIR (setup program and its staged files), KV_SOURCE_DIR,
KV_WORK_DIR (a folder of the build tree this program may fill).

Wine 8's COM reads classes only from HKEY_LOCAL_MACHINE\\Software\\Classes (combase ignores the
user's Software\\Classes, which Windows merges in): a current-user install is checked here by what
it writes and removes, and the COM clients run against the all-users install.
"""
import getpass
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

PACKAGE = pathlib.Path(os.environ["KV_PACKAGE_DIR"])
SOURCE = pathlib.Path(os.environ["KV_SOURCE_DIR"])
WORK = pathlib.Path(os.environ["KV_WORK_DIR"])
PRISTINE = WORK / "pristine"
STAGE = PACKAGE / "stage"
HAS_X64 = (STAGE / "x64").is_dir()
# A win64 prefix is run by the 64-bit loader; it starts 32-bit programs beside the 64-bit ones.
WINE = "/usr/lib/wine/wine64"

PLUGIN_CLSID = "{CD0257E4-6183-4688-9DB6-93270B232B36}"
PROGID = "KVStVB7Default.KVStPluginDefault"
UNINSTALL = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\KVStVB7Default"
# Everything the plug-in and the stand-in host library register, below a classes key.
OURS_BELOW_CLASSES = (
    r"(wow6432node\\)?clsid\\({cd0257e4-6183-4688-9db6-93270b232b36}|{ff8da293-c9b6-4d06-ae91-d6a7e120ad88})",
    r"(wow6432node\\)?interface\\({3fcc709d-48d7-4093-9c5a-19958b7446f1}|{5e6bc576-18d1-4158-ab1f-98784b5b59a9}"
    r"|{703692c1-a175-460f-802a-00212e97798c})",
    r"(wow6432node\\)?typelib\\({34778468-c70c-41d8-b056-534670d04504}|{5ad9730a-ac1b-43f5-b402-d1459b883132})",
    r"kvstvb7default\.kvstplugindefault", r"kvstmgr\.kvsterror")
OURS = re.compile(r"^(software\\classes\\(" + "|".join(OURS_BELOW_CLASSES) + r")"
                  r"|software\\(wow6432node\\)?microsoft\\windows\\currentversion\\uninstall\\kvstvb7default)(\\|$)")
# What Wine itself changes from one start to the next: hardware and session state.
VOLATILE = re.compile(r"^(system\\|hardware\\|software\\wine\\|volatile environment|"
                      r"software\\microsoft\\windows\\currentversion\\(explorer|run)|"
                      r"software\\(wow6432node\\)?microsoft\\windows nt\\currentversion\\(profilelist|perflib|networkcards))")
# Standard containers a fresh prefix may lack, left empty once made (Windows has them in every profile).
CONTAINERS = re.compile(r"^software\\classes(\\(wow6432node\\)?(clsid|interface|typelib))?$|^software\\classes\\wow6432node$"
                        r"|^software\\(wow6432node\\)?microsoft\\windows\\currentversion\\uninstall$")

LAYER, LINETYPE, TEXT_STYLE = "图层", "线型", "文字样式"


def escaped(text):
    """JScript's escape() of a kind label."""
    return "".join(c if ord(c) < 128 else f"%u{ord(c):04X}" for c in text)


def setup_program():
    programs = sorted(PACKAGE.glob("KVStVB7Default-*-setup.exe"))
    if len(programs) != 1:
        raise RuntimeError(f"expected one setup program in {PACKAGE}, found {programs}")
    return programs[0]


class Hive:
    """One registry file of a prefix: key (lower case) -> (key as stored, set of value lines)."""

    def __init__(self, path):
        self.keys = {}
        key, values, pending = None, None, ""
        for line in path.read_text(encoding="utf-8", errors="replace").splitlines():
            if pending:
                line, pending = pending + line.strip(), ""
            if line.endswith("\\") and not line.startswith("["):
                pending = line[:-1]
                continue
            if line.startswith("["):
                key = line[1:line.rindex("]")].replace("\\\\", "\\")
                values = set()
                self.keys[key.lower()] = (key, values)
            elif key is not None and line and not line.startswith("#"):
                values.add(line)

    def value(self, key, name=None):
        """A string value (name None: the default value), unescaped, or None."""
        entry = self.keys.get(key.lower())
        if entry is None:
            return None
        prefix = "@=" if name is None else f'"{name}"='
        for line in entry[1]:
            if line.lower().startswith(prefix.lower()):
                data = line[len(prefix):]
                return data[1:-1].replace("\\\\", "\\").replace('\\"', '"') if data.startswith('"') else data
        return None

    def changes_since(self, before):
        """Keys added, removed or with other values, ignoring Wine's own volatile keys."""
        changed = set()
        for name in self.keys.keys() | before.keys.keys():
            if VOLATILE.match(name):
                continue
            if self.keys.get(name, (None, None))[1] != before.keys.get(name, (None, None))[1]:
                changed.add(name)
        return changed


class Prefix:
    """A fresh copy of the pristine prefix; removed at the end unless the case failed."""

    def __init__(self, name):
        self.path = WORK / name
        shutil.rmtree(self.path, ignore_errors=True)
        # Hard links for the big, read-only system files; real copies of what Wine rewrites.
        subprocess.run(["cp", "-al", str(PRISTINE), str(self.path)], check=True)
        for hive in ["system.reg", "user.reg", "userdef.reg", ".update-timestamp"]:
            target = self.path / hive
            if target.exists():
                target.unlink()
                shutil.copy2(PRISTINE / hive, target)
        self.env = dict(os.environ, WINEPREFIX=str(self.path), WINEARCH="win64", WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.drive = self.path / "drive_c"
        self.temp = self.drive / "users" / getpass.getuser() / "Temp"

    def run(self, *arguments, timeout=300):
        """Runs a Windows program and waits until every process of the prefix has ended (an
        uninstaller goes on in a copy of itself). Returns (exit status, output)."""
        with tempfile.TemporaryFile() as out:
            status = subprocess.run([WINE, *map(str, arguments)], env=self.env, stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=subprocess.STDOUT, timeout=timeout).returncode
            self.settle()
            out.seek(0)
            return status, out.read().decode("utf-8", errors="replace")

    def settle(self):
        subprocess.run(["wineserver", "-w"], env=self.env, check=True, timeout=300)

    def hives(self):
        self.settle()
        return Hive(self.path / "system.reg"), Hive(self.path / "user.reg")

    def files(self):
        """Every file and folder below drive_c, except temporary folders and Wine's own logs."""
        skip = re.compile(r"^(windows/(temp|logs|inf)|users/[^/]+/(temp|appdata/local/temp))(/|$)", re.I)
        found = set()
        for root, folders, names in os.walk(self.drive):
            relative = pathlib.Path(root).relative_to(self.drive).as_posix()
            if relative != "." and skip.match(relative):
                folders[:] = []
                continue
            for name in folders + names:
                path = f"{relative}/{name}" if relative != "." else name
                if not skip.match(path):
                    found.add(path)
        return found

    def windows(self, path):
        """The Unix path of a C: path."""
        return self.drive / path[3:].replace("\\", "/")

    def log(self, name):
        path = self.temp / name
        return path.read_bytes().decode("utf-16-le").lstrip("\ufeff") if path.exists() else ""

    def remove(self):
        self.settle()
        shutil.rmtree(self.path, ignore_errors=True)


class InstallerCase(unittest.TestCase):
    maxDiff = None
    mode = "/AllUsers"

    def setUp(self):
        self.prefix = Prefix(f"case-{self.id().split('.')[-2]}-{self._testMethodName}")
        self.machine0, self.user0 = self.prefix.hives()
        self.files0 = self.prefix.files()

    def tearDown(self):
        result = self._outcome.result
        failed = any(test is self for test, _ in result.failures + result.errors)
        if not failed:
            self.prefix.remove()

    def install(self, mode=None):
        status, output = self.prefix.run(setup_program(), "/S", mode or self.mode)
        self.assertEqual(status, 0, output + self.prefix.log("KVStVB7Default-setup.log"))

    def uninstall(self, machine):
        """Runs the quiet uninstall command that the system's list of programs holds."""
        command = machine.value(UNINSTALL, "QuietUninstallString") or self.user_hive().value(
            UNINSTALL, "QuietUninstallString")
        self.assertIsNotNone(command, "no QuietUninstallString")
        program, arguments = re.fullmatch(r'"([^"]+)" (.*)', command).groups()
        status, output = self.prefix.run(program, *arguments.split())
        self.assertEqual(status, 0, output)

    def user_hive(self):
        return self.prefix.hives()[1]

    def assert_only_ours(self, changes, where):
        strangers = sorted(c for c in changes if not OURS.match(c) and not CONTAINERS.match(c))
        self.assertEqual(strangers, [], f"{where}: keys changed that are not the plug-in's")

    def assert_back_to_start(self, kept_files=(), wine_leftovers=None):
        """wine_leftovers: machine keys that Wine alone wrote and may leave (see CurrentUser)."""
        machine, user = self.prefix.hives()
        for hive, before, where in [(machine, self.machine0, "HKLM"), (user, self.user0, "HKCU")]:
            left = sorted(name for name in hive.changes_since(before)
                          if not (CONTAINERS.match(name) and not hive.keys[name][1])
                          and not (where == "HKLM" and wine_leftovers and wine_leftovers.match(name)))
            self.assertEqual(left, [], f"{where}: left behind after uninstall")
        # The user's programs folder is a standard one that a fresh prefix lacks; it may stay, empty.
        new_files = {f for f in self.prefix.files() - self.files0
                     if not (re.fullmatch(r"users/[^/]+/AppData/Local/Programs", f)
                             and not any(self.prefix.drive.joinpath(f).iterdir()))}
        expected = set()
        for kept in kept_files:
            parts = pathlib.PurePosixPath(kept).parts
            expected |= {"/".join(parts[:i]) for i in range(1, len(parts) + 1)}
        self.assertEqual(new_files, expected - self.files0)

    def audit_with_script(self, cscript):
        status, output = self.prefix.run(cscript, "//nologo", "Z:" + str(SOURCE / "tests/installer/AuditDrawing.js"))
        return status, [line.strip() for line in output.splitlines() if "=" in line]

    def expected_script_findings(self):
        return [f"finding={escaped(LAYER)} A-WALL-OLD", f"finding={escaped(LINETYPE)} HIDDEN2",
                f"finding={escaped(TEXT_STYLE)} Title"]


class AllUsers(InstallerCase):
    """Silent install for all users: files, both registry views, COM clients of both
    architectures, kvstcheck, a second install as an upgrade, uninstall twice."""

    def test_install_use_upgrade_and_remove(self):
        self.install()
        folder = r"C:\Program Files\KVStVB7Default"
        root = self.prefix.windows(folder)
        expected_files = {"kvstcheck.exe", "README-Windows.txt", "Uninstall.exe", "x86/KVStVB7Default.dll",
                          "x86/KVStPluginDefault.ini", "x86/KVStMgr.dll", "x86/kvstreg.exe"}
        if HAS_X64:
            expected_files |= {"x64/KVStVB7Default.dll", "x64/KVStPluginDefault.ini", "x64/KVStMgr.dll",
                               "x64/kvstreg.exe", "x64/kvstcheck.exe"}
        installed = {p.relative_to(root).as_posix() for p in root.rglob("*") if p.is_file()}
        self.assertEqual(installed, expected_files)
        for name in expected_files - {"Uninstall.exe", "README-Windows.txt"}:
            self.assertEqual((root / name).read_bytes(), (STAGE / name).read_bytes(), name)
        # The zip holds the same files as the install, laid out the same way.
        with zipfile.ZipFile(setup_program().with_name(setup_program().name.replace("-setup.exe", ".zip"))) as package:
            packed = {info.filename: package.read(info) for info in package.infolist() if not info.is_dir()}
        self.assertEqual(set(packed), expected_files - {"Uninstall.exe"})
        for name, data in packed.items():
            self.assertEqual(data, (root / name).read_bytes(), name)

        machine, user = self.prefix.hives()
        self.assert_only_ours(machine.changes_since(self.machine0), "HKLM")
        self.assertEqual(sorted(user.changes_since(self.user0)), [], "HKCU changed by an all-users install")
        # The 32-bit view: the class and the type library point to the 32-bit module.
        self.assertEqual(machine.value(rf"Software\Classes\Wow6432Node\CLSID\{PLUGIN_CLSID}\InprocServer32"),
                         folder + r"\x86\KVStVB7Default.dll")
        self.assertEqual(machine.value(rf"Software\Classes\{PROGID}\CLSID"), PLUGIN_CLSID)
        self.assertEqual(machine.value(r"Software\Classes\Typelib\{34778468-C70C-41D8-B056-534670D04504}\1.0\0\win32"),
                         folder + r"\x86\KVStVB7Default.dll")
        # The 64-bit view: the 64-bit module, or nothing where the package has none.
        self.assertEqual(machine.value(rf"Software\Classes\CLSID\{PLUGIN_CLSID}\InprocServer32"),
                         folder + r"\x64\KVStVB7Default.dll" if HAS_X64 else None)
        self.assertEqual(machine.value(r"Software\Classes\Typelib\{34778468-C70C-41D8-B056-534670D04504}\1.0\0\win64"),
                         folder + r"\x64\KVStVB7Default.dll" if HAS_X64 else None)
        self.assertEqual(machine.value(UNINSTALL, "HostLibrary_x64"), "dword:00000001" if HAS_X64 else None)
        # The system's list of programs: version and publisher of the module's version resource.
        resource = (SOURCE / "server/KVStVB7Default.rc").read_text(encoding="utf-8")
        self.assertEqual(machine.value(UNINSTALL, "DisplayVersion"),
                         re.search(r'VALUE "ProductVersion", "([^"]+)"', resource).group(1))
        self.assertEqual(machine.value(UNINSTALL, "Publisher"),
                         re.search(r'VALUE "CompanyName", "([^"]+)"', resource).group(1))
        self.assertEqual(machine.value(UNINSTALL, "InstallLocation"), folder)

        # A 32-bit script host loads the 32-bit module, a 64-bit one the 64-bit module.
        status, lines = self.audit_with_script(r"C:\windows\syswow64\cscript.exe")
        self.assertEqual(lines, [f"module={folder}\\x86"] + self.expected_script_findings())
        if HAS_X64:
            status, lines = self.audit_with_script(r"C:\windows\system32\cscript.exe")
            self.assertEqual(lines, [f"module={folder}\\x64"] + self.expected_script_findings())

        # kvstcheck audits the sample drawing against the installed plug-in and standard file: the
        # 32-bit program through the 32-bit plug-in, the 64-bit one through the 64-bit plug-in.
        for program in [r"\kvstcheck.exe"] + ([r"\x64\kvstcheck.exe"] if HAS_X64 else []):
            status, output = self.prefix.run(folder + program, "Z:" + str(SOURCE / "examples/drawings/office.dxf"))
            self.assertEqual(status, 1, program + "\n" + output)
            self.assertIn('"A-WALL-OLD"', output)
            self.assertRegex(output, r"6 findings in 19 names")

        # A second install is an upgrade: one entry, same files, same keys.
        machine, _ = self.prefix.hives()
        self.install()
        machine2, _ = self.prefix.hives()
        self.assertEqual(machine2.changes_since(machine), set())
        installed = {p.relative_to(root).as_posix() for p in root.rglob("*") if p.is_file()}
        self.assertEqual(installed, expected_files)

        # Uninstall removes everything; a second run of the uninstaller does nothing.
        spare = self.prefix.temp / "spare-uninstaller.exe"
        shutil.copy2(root / "Uninstall.exe", spare)
        self.uninstall(machine)
        self.assert_back_to_start()
        self.assertIn("Removed KVStVB7Default (AllUsers)", self.prefix.log("KVStVB7Default-uninstall.log"))
        status, output = self.prefix.run(spare, "/S", "/AllUsers")
        self.assertEqual(status, 0, output)
        self.assertIn("not installed", self.prefix.log("KVStVB7Default-uninstall.log"))
        self.assert_back_to_start()


class CurrentUser(InstallerCase):
    """Silent install for the current user: nothing machine-wide, the user's own classes and
    list of programs, and a clean uninstall."""
    mode = "/CurrentUser"

    def test_install_and_remove_for_the_user(self):
        self.install()
        folder = r"C:\users\%s\AppData\Local\Programs\KVStVB7Default" % getpass.getuser()
        root = self.prefix.windows(folder)
        self.assertTrue((root / "x86/KVStVB7Default.dll").is_file(), sorted(self.prefix.files() - self.files0))
        self.assertEqual((root / "x86/KVStPluginDefault.ini").read_bytes(),
                         (SOURCE / "examples/standard/KVStPluginDefault.ini").read_bytes())
        self.assertFalse(self.prefix.windows(r"C:\Program Files\KVStVB7Default").exists())

        machine, user = self.prefix.hives()
        # Wine's oleaut32 also registers each interface in the other registry view, asking for that
        # view explicitly, which Wine serves from the machine's classes past the process's mapping
        # of HKEY_CLASSES_ROOT; the other architecture's removal, which runs in the user's classes,
        # does not reach them, so one view's copies outlive the uninstall. Windows writes and
        # removes them in the user's classes only. Nothing else may change or stay.
        leaked = re.compile(r"^software\\classes\\(wow6432node\\)?interface\\({3fcc709d-48d7-4093-9c5a-19958b7446f1}"
                            r"|{5e6bc576-18d1-4158-ab1f-98784b5b59a9}|{703692c1-a175-460f-802a-00212e97798c})(\\|$)")
        self.assertEqual(sorted(c for c in machine.changes_since(self.machine0) if not leaked.match(c)), [],
                         "HKLM changed by a current-user install")
        self.assert_only_ours(user.changes_since(self.user0), "HKCU")
        module = folder + (r"\x64" if HAS_X64 else r"\x86") + r"\KVStVB7Default.dll"
        # Wine keeps one view of the user's classes: the module registered last (64-bit, if any) is there.
        self.assertEqual(user.value(rf"Software\Classes\CLSID\{PLUGIN_CLSID}\InprocServer32"), module)
        self.assertEqual(user.value(rf"Software\Classes\{PROGID}\CLSID"), PLUGIN_CLSID)
        self.assertEqual(user.value(r"Software\Classes\Typelib\{34778468-C70C-41D8-B056-534670D04504}\1.0\0\win32"),
                         folder + r"\x86\KVStVB7Default.dll")
        self.assertEqual(user.value(r"Software\Classes\Typelib\{34778468-C70C-41D8-B056-534670D04504}\1.0\0\win64"),
                         folder + r"\x64\KVStVB7Default.dll" if HAS_X64 else None)
        self.assertEqual(user.value(UNINSTALL, "InstallMode"), "CurrentUser")
        self.assertEqual(user.value(UNINSTALL, "HostLibrary_x86"), "dword:00000001")
        self.assertRegex(user.value(UNINSTALL, "QuietUninstallString"), r"Uninstall\.exe\" /CurrentUser /S$")

        self.uninstall(machine)
        self.assert_back_to_start(wine_leftovers=leaked)


class Upgrade(InstallerCase):
    """An edited standard file survives an upgrade and the uninstall, which says so."""

    def test_edited_standard_file_is_kept(self):
        self.install()
        folder = r"C:\Program Files\KVStVB7Default"
        standard = self.prefix.windows(folder + r"\x86\KVStPluginDefault.ini")
        edited = standard.read_bytes().replace(b"NameCount=7", b"NameCount=8").replace(
            b"Name7=A-ANNO-TEXT", b"Name7=A-ANNO-TEXT\r\nName8=A-WALL-OLD")
        self.assertNotEqual(edited, standard.read_bytes())
        standard.write_bytes(edited)

        self.install()
        self.assertEqual(standard.read_bytes(), edited)
        self.assertIn("Kept the edited standard file", self.prefix.log("KVStVB7Default-setup.log"))
        # The upgraded plug-in reads the edited file: A-WALL-OLD is allowed now.
        status, output = self.prefix.run(folder + r"\kvstcheck.exe", "Z:" + str(SOURCE / "examples/drawings/office.dxf"))
        self.assertRegex(output, r"5 findings in 19 names")
        self.assertNotIn('"A-WALL-OLD"', output)

        machine, _ = self.prefix.hives()
        self.uninstall(machine)
        self.assertEqual(standard.read_bytes(), edited)
        self.assertIn("Left the edited standard file", self.prefix.log("KVStVB7Default-uninstall.log"))
        self.assert_back_to_start(kept_files=["Program Files/KVStVB7Default/x86/KVStPluginDefault.ini"])


class InstalledStandardCheck(InstallerCase):
    """After each install or upgrade the setup program lints the standard file beside each registered
    plug-in and logs what lint says: clean after a fresh install, the line at fault after an upgrade
    that kept an edited file with a mistake."""

    def test_install_and_upgrade_log_the_lint_of_the_installed_standards(self):
        self.install()
        first = self.prefix.log("KVStVB7Default-setup.log")
        self.assertIn("kvstcheck lint --installed (exit code 0)", first)
        self.assertRegex(first, r"x86\\KVStPluginDefault\.ini: nothing to fix")
        standard = self.prefix.windows(r"C:\Program Files\KVStVB7Default\x86\KVStPluginDefault.ini")
        standard.write_bytes(standard.read_bytes() + b"Name99=A-WALL-OLD\r\n")

        self.install()
        upgrade = self.prefix.log("KVStVB7Default-setup.log")
        self.assertIn("Kept the edited standard file", upgrade)
        self.assertIn("kvstcheck lint --installed (exit code 1)", upgrade)
        self.assertRegex(upgrade, r"x86\\KVStPluginDefault\.ini:\d+: Name99 is above NameCount")


class ExistingHostLibrary(InstallerCase):
    """A host library registered before the install (here a 32-bit one) is used, not joined by the
    stand-in for any architecture, and stays registered after the uninstall."""

    def test_host_library_of_another_program_is_left_alone(self):
        host = self.prefix.windows(r"C:\host\KVStMgr.dll")
        host.parent.mkdir()
        shutil.copy2(STAGE / "x86/KVStMgr.dll", host)
        status, output = self.prefix.run(r"C:\windows\syswow64\regsvr32.exe", "/s", r"C:\host\KVStMgr.dll")
        self.assertEqual(status, 0, output)
        self.machine0, self.user0 = self.prefix.hives()
        self.files0 = self.prefix.files()

        self.install()
        folder = r"C:\Program Files\KVStVB7Default"
        # One host library registered, for either architecture, keeps the stand-in away from both.
        self.assertFalse(self.prefix.windows(folder + r"\x86\KVStMgr.dll").exists())
        self.assertFalse(self.prefix.windows(folder + r"\x64\KVStMgr.dll").exists())
        self.assertTrue(self.prefix.windows(folder + r"\x86\KVStVB7Default.dll").exists())
        machine, _ = self.prefix.hives()
        self.assertEqual(machine.value(UNINSTALL, "HostLibrary_x86"), "dword:00000000")
        self.assertEqual(machine.value(UNINSTALL, "HostLibrary_x64"), "dword:00000000" if HAS_X64 else None)
        self.assertIn("the stand-in is not installed", self.prefix.log("KVStVB7Default-setup.log"))
        self.assertEqual(
            machine.value(r"Software\Classes\Wow6432Node\CLSID\{FF8DA293-C9B6-4D06-AE91-D6A7E120AD88}\InprocServer32"),
            r"C:\host\KVStMgr.dll")
        status, lines = self.audit_with_script(r"C:\windows\syswow64\cscript.exe")
        self.assertEqual(lines, [f"module={folder}\\x86"] + self.expected_script_findings())

        self.uninstall(machine)
        self.assert_back_to_start()


def prepare():
    """Makes the pristine 64-bit prefix that every case copies."""
    shutil.rmtree(PRISTINE, ignore_errors=True)
    PRISTINE.parent.mkdir(parents=True, exist_ok=True)
    env = dict(os.environ, WINEPREFIX=str(PRISTINE), WINEARCH="win64", WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    subprocess.run([WINE, "wineboot", "-i"], env=env, check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=600)
    # Wine registers the scripting run-time's type library the first time a script uses it: done
    # here, so that no case counts it as a change (the script fails, as no plug-in is installed).
    for cscript in [r"C:\windows\syswow64\cscript.exe", r"C:\windows\system32\cscript.exe"]:
        subprocess.run([WINE, cscript, "//nologo", "Z:" + str(SOURCE / "tests/installer/AuditDrawing.js")], env=env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    subprocess.run(["wineserver", "-w"], env=env, check=True, timeout=300)
    setup_program()


if __name__ == "__main__":
    if sys.argv[1:] == ["prepare"]:
        prepare()
        sys.exit(0)
    suite = unittest.defaultTestLoader.loadTestsFromName(sys.argv[1], sys.modules[__name__])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)
