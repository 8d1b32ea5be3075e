"""scripts/test.sh --tree: a failed test runs again only when its output shows the loader's abort."""
import os
import pathlib
import shutil
import subprocess
import unittest

SOURCE = pathlib.Path(os.environ["KVST_SOURCE_DIR"])
SCRATCH = pathlib.Path(os.environ["KVST_SCRATCH"])
ABORT = "Inconsistency detected by ld.so: dl-close.c: 794: _dl_close: Assertion failed!"

# Each test fails its first run with the given words and status, and passes every later one: a retry
# that should not happen turns a failure into a pass.
PROJECT = """cmake_minimum_required(VERSION 3.16)
project(retries NONE)
enable_testing()
foreach(case {cases})
    add_test(NAME ${{case}} COMMAND /bin/sh "${{CMAKE_SOURCE_DIR}}/case.sh" ${{case}})
endforeach()
"""
CASE = """#!/bin/sh
mark="$(dirname "$0")/ran-$1"
count=$(cat "$mark" 2>/dev/null || echo 0)
echo $((count + 1)) >"$mark"
case "$1" in
  passes) exit 0 ;;
  aborted_once) [ "$count" -gt 0 ] && exit 0; echo "ok 1"; echo "{abort}" >&2; exit 127 ;;
  aborted_always) echo "{abort}" >&2; exit 127 ;;
  aborted_then_fails) [ "$count" -gt 0 ] && {{ echo "expected 2, got 3"; exit 1; }}; echo "{abort}" >&2; exit 127 ;;
  fails_once) [ "$count" -gt 0 ] && exit 0; echo "expected 2, got 3"; exit 1 ;;
esac
"""


def run_cases(name, cases, again=False):
    """Runs test.sh on a new project of these cases, or again on the last one."""
    folder = SCRATCH / name
    if not again:
        shutil.rmtree(folder, ignore_errors=True)
        (folder / "src").mkdir(parents=True)
        (folder / "src" / "CMakeLists.txt").write_text(PROJECT.format(cases=" ".join(cases)))
        (folder / "src" / "case.sh").write_text(CASE.format(abort=ABORT))
        subprocess.run(["cmake", "-S", folder / "src", "-B", folder / "build"], check=True, capture_output=True)
    run = subprocess.run([SOURCE / "scripts" / "test.sh", "--tree", folder / "build"], capture_output=True,
                         text=True, env=dict(os.environ, KV_TEST_JOBS="2"))
    runs = {case: int((folder / "src" / f"ran-{case}").read_text()) for case in cases}
    return run, runs


class Retries(unittest.TestCase):
    def test_only_the_loaders_abort_runs_again(self):
        # case: (runs, fails in the end)
        cases = {"passes": (1, False), "aborted_once": (2, False), "aborted_always": (3, True),
                 "aborted_then_fails": (2, True), "fails_once": (1, True)}
        run, runs = run_cases("mixed", list(cases))
        self.assertEqual(runs, {case: expected[0] for case, expected in cases.items()}, run.stdout)
        failed = [case for case, expected in cases.items() if expected[1]]
        self.assertEqual(run.returncode, 1, run.stdout)
        self.assertEqual(run.stdout.splitlines()[-1], f"2 passed, {len(failed)} failed, 1 retried", run.stdout)
        self.assertIn("retried 1 after the loader's abort, passed then: aborted_once", run.stdout)
        failed_line = next(line for line in run.stdout.splitlines() if line.startswith("failed: "))
        self.assertEqual(sorted(failed_line[len("failed: "):].split()), sorted(failed))

    def test_a_run_whose_only_failure_was_the_abort_passes(self):
        run, runs = run_cases("clean", ["passes", "aborted_once"])
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertEqual(runs, {"passes": 1, "aborted_once": 2})
        self.assertEqual(run.stdout.splitlines()[-1], "2 passed, 0 failed, 1 retried")

    def test_the_failures_of_an_earlier_run_are_not_this_runs(self):
        first, _ = run_cases("again", ["passes", "fails_once"])
        self.assertEqual(first.returncode, 1, first.stdout)
        second, runs = run_cases("again", ["passes", "fails_once"], again=True)
        self.assertEqual(second.returncode, 0, second.stdout)
        self.assertEqual(runs, {"passes": 2, "fails_once": 2})
        self.assertEqual(second.stdout.splitlines()[-1], "2 passed, 0 failed, 0 retried")


if __name__ == "__main__":
    unittest.main()
