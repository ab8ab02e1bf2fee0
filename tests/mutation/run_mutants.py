#!/usr/bin/env python3
"""Mutation run: applies each mutant of the catalogue alone, rebuilds, runs the
tests of the mutant's family first and every other test only if those pass,
then restores the file. Prints, per family, the mutants killed and the ones
that survived with their place.

Usage: run_mutants.py [--windows] [--only IDS|smoke] [--matrix FILE] [--catalogue FILE]
                      [--jobs N]

  --windows   the Windows half: builds with MinGW and runs the tests under Wine
              (the family "win"); without it every other family, natively
  --only      a comma-separated list of ids, or "smoke": the fixed sample
              marked in the catalogue, every one of which must be killed
  --list      parse and check the catalogue (each find text occurs exactly
              once in its file) without building anything
  --matrix    run every test program against every mutant, to the end, and
              write to FILE which tests kill which mutants: the measure of
              what each test is worth (a test that kills nothing alone is a
              candidate for removal). Slower than a plain run.

Exit status: 0 when the run finished (and, with --only smoke, every mutant was
killed); 1 when a smoke mutant survived or a mutant is stale; 2 on a usage
error, a dirty work tree or a suite that fails before any mutant is applied.
"""

import argparse
import collections
import concurrent.futures
import json
import os
import re
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
CATALOGUE = os.path.join(ROOT, "tests", "mutation", "mutants.txt")

# The test programs that speak for each family; they run first.
FAMILY_TESTS = {
    "memory": ["jx_memory_test"],
    "lock": ["jx_lock_test"],
    "string": ["jx_string_test"],
    "debug": ["jx_debug_test"],
    "config": ["jx_config_test"],
    "file": ["jx_file_test"],
    "folder": ["jx_folder_test"],
    "utf": ["jx_utf_test"],
    "time": ["jx_time_test"],
    "thread": ["jx_thread_test", "unload_host"],
    "system": ["jx_system_test"],
    "md5": ["jx_md5_test"],
    "log": ["jx_log_test", "jx_log_file_test", "jx_log_init_test", "jx_async_log_test"],
    "async": ["jx_async_test", "jx_async_loop_test", "jx_async_stress_test", "jx_async_log_test"],
    "json": ["jx_json_test", "jx_jvalue_test", "jvalue_example"],
    "check": ["qz_check_test", "qz_check_e2e_test"],
    "tool": ["qz_check_e2e_test"],
}
# Platform files answer to the family of the calls they serve.
PLATFORM_FAMILY = {"os_file": "file", "os_folder": "folder", "os_system": "system",
                   "os_thread": "thread", "os_time": "time", "os_debug": "debug",
                   "os_error": "file"}
PLATFORM_FAMILIES = ("posix", "win")
TEST_TIMEOUT_SECONDS = 60

Mutant = collections.namedtuple("Mutant", "id family smoke file find replace models note line")


def decode(text):
    return re.sub(r"\\(n|\\)", lambda m: "\n" if m.group(1) == "n" else "\\", text)


def parse_catalogue(path):
    mutants, block = [], {}
    header = re.compile(r"^\[(\w+)\] family=(\w+)( smoke)?\s*$")

    def finish():
        if not block:
            return
        missing = [k for k in ("file", "find", "replace") if k not in block]
        if missing:
            sys.exit(f"{path}:{block['line']}: {block['id']} lacks {', '.join(missing)}")
        mutants.append(Mutant(block["id"], block["family"], block["smoke"], block["file"],
                              decode(block["find"]), decode(block["replace"]),
                              block.get("models", ""), block.get("note", ""), block["line"]))
        block.clear()

    with open(path, encoding="utf-8") as lines:
        for number, raw in enumerate(lines, 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            match = header.match(line)
            if match:
                finish()
                block.update(id=match.group(1), family=match.group(2),
                             smoke=bool(match.group(3)), line=number)
                continue
            key, sep, value = line.partition(": ")
            if not block or not sep or key not in ("file", "find", "replace", "models", "note"):
                sys.exit(f"{path}:{number}: cannot read: {line}")
            block[key] = value
    finish()
    ids = [m.id for m in mutants]
    duplicated = {i for i in ids if ids.count(i) > 1}
    if duplicated:
        sys.exit(f"{path}: ids used twice: {', '.join(sorted(duplicated))}")
    unknown = {m.family for m in mutants} - set(FAMILY_TESTS) - set(PLATFORM_FAMILIES)
    if unknown:
        sys.exit(f"{path}: unknown families: {', '.join(sorted(unknown))}")
    return mutants


def first_tests(mutant):
    if mutant.family in PLATFORM_FAMILIES:
        stem = os.path.splitext(os.path.basename(mutant.file))[0]
        return FAMILY_TESTS.get(PLATFORM_FAMILY.get(stem, ""), [])
    return FAMILY_TESTS[mutant.family]


def run(command, log, **kwargs):
    with open(log, "a", encoding="utf-8") as out:
        out.write("$ " + " ".join(command) + "\n")
        out.flush()
        return subprocess.run(command, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT,
                              **kwargs).returncode == 0


class Build:
    """The build of a preset and its tests: native, or MinGW under Wine. The
    presets' own folders are used, so a run after `make test` starts warm."""

    def __init__(self, windows, jobs, log):
        self.windows, self.jobs, self.log = windows, jobs, log
        self.preset = "mingw-x64" if windows else "native"
        self.folder = os.path.join(ROOT, "build", self.preset)

    def configure(self):
        return run(["cmake", "--preset", self.preset], self.log)

    def build(self, targets=None):
        command = ["cmake", "--build", self.folder, "-j", str(self.jobs)]
        if targets:
            command += ["--target"] + targets
        return run(command, self.log)

    def test(self, names=None, exclude=None):
        # One failing test is enough to kill a mutant; stopping there spares
        # the wait for other tests that a hanging mutant would time out too.
        command = ["ctest", "--test-dir", self.folder, "--timeout", str(TEST_TIMEOUT_SECONDS),
                   "-j", str(self.jobs), "--stop-on-failure"]
        if names:
            command += ["-R", "^(" + "|".join(names) + ")$"]
        if exclude:
            command += ["-E", "^(" + "|".join(exclude) + ")$"]
        env = dict(os.environ, WINEDEBUG="-all")
        return run(command, self.log, env=env)

    def programs(self):
        """Each test's name, command and working folder, as ctest would run it."""
        listing = subprocess.run(["ctest", "--test-dir", self.folder, "--show-only=json-v1"],
                                 capture_output=True, text=True, check=True)
        tests = []
        for test in json.loads(listing.stdout)["tests"]:
            folder = next((p["value"] for p in test.get("properties", [])
                           if p["name"] == "WORKING_DIRECTORY"), self.folder)
            tests.append((test["name"], test["command"], folder))
        return tests

    def listed_tests(self, program):
        """The GoogleTest tests of one program ("Suite.Test"), or its name."""
        name, command, folder = program
        try:
            listing = subprocess.run(command + ["--gtest_list_tests"], cwd=folder,
                                     capture_output=True, text=True, timeout=60,
                                     env=dict(os.environ, WINEDEBUG="-all")).stdout
        except subprocess.TimeoutExpired:
            listing = ""
        tests, suite = [], None
        for line in listing.splitlines():
            if not line.strip() or line.startswith("Running main()"):
                continue
            if not line.startswith(" "):
                suite = line.split()[0]
            elif suite:
                tests.append(suite + line.split()[0])
        return tests or [name]

    def failures(self, program):
        """The names of the tests of one program that fail: "Suite.Test" for a
        GoogleTest test, the program's name for a failure outside any test."""
        name, command, folder = program
        env = dict(os.environ, WINEDEBUG="-all")
        try:
            done = subprocess.run(command, cwd=folder, env=env, capture_output=True,
                                  timeout=TEST_TIMEOUT_SECONDS, errors="replace")
            output, status = done.stdout + done.stderr, done.returncode
        except subprocess.TimeoutExpired as timeout:
            output, status = timeout.stdout or "", None
            if isinstance(output, bytes):
                output = output.decode(errors="replace")
        failed, running = set(), None
        for line in output.splitlines():
            if line.startswith("[ RUN      ] "):
                running = line[13:].strip()
            elif line.startswith(("[       OK ] ", "[  SKIPPED ] ")):
                running = None
            elif line.startswith("[  FAILED  ] ") and running:
                failed.add(running)
                running = None
        if running:  # crashed or hung inside this test
            failed.add(running)
        if status != 0 and not failed:
            failed.add(name)
        return failed


def applies(mutant):
    path = os.path.join(ROOT, mutant.file)
    if not os.path.isfile(path):
        return False
    with open(path, encoding="utf-8", newline="") as source:
        return source.read().count(mutant.find) == 1


def apply(mutant):
    """The file's original text, after writing the mutant; None when stale."""
    path = os.path.join(ROOT, mutant.file)
    if not os.path.isfile(path):
        return None
    with open(path, encoding="utf-8", newline="") as source:
        original = source.read()
    if original.count(mutant.find) != 1:
        return None
    with open(path, "w", encoding="utf-8", newline="") as target:
        target.write(original.replace(mutant.find, mutant.replace))
    return original


def restore(mutant, original):
    with open(os.path.join(ROOT, mutant.file), "w", encoding="utf-8", newline="") as target:
        target.write(original)


def place(mutant):
    path = os.path.join(ROOT, mutant.file)
    with open(path, encoding="utf-8", newline="") as source:
        text = source.read()
    at = text.find(mutant.find)
    return f"{mutant.file}:{text.count(chr(10), 0, at) + 1}" if at >= 0 else mutant.file


def judge(mutant, build):
    """'killed', 'survived', 'no-compile' or 'stale'."""
    original = apply(mutant)
    if original is None:
        return "stale"
    try:
        tests = first_tests(mutant)
        if not build.build(tests):
            return "no-compile"
        if tests and not build.test(tests):
            return "killed"
        if not build.build():
            return "no-compile"
        return "survived" if build.test(exclude=tests) else "killed"
    finally:
        restore(mutant, original)


def matrix_row(mutant, build, programs):
    """The tests that fail under `mutant`, or a verdict other than a kill."""
    original = apply(mutant)
    if original is None:
        return "stale", set()
    try:
        if not build.build():
            return "no-compile", set()
        with concurrent.futures.ThreadPoolExecutor(build.jobs) as pool:
            failed = set().union(*pool.map(build.failures, programs))
        return ("killed" if failed else "survived"), failed
    finally:
        restore(mutant, original)


def write_matrix(path, rows, programs, build):
    """Per test the mutants it kills, marking those it alone kills with "!";
    then the tests that kill nothing."""
    killers = collections.defaultdict(set)
    for mutant, (_, failed) in rows.items():
        for test in failed:
            killers[test].add(mutant)
    every_test = set()
    for program in programs:
        every_test.update(build.listed_tests(program))
    with open(path, "w", encoding="utf-8") as out:
        out.write("# test<TAB>mutants it kills (! = no other test kills it)\n")
        for test in sorted(killers):
            marks = [m + ("!" if rows[m][1] == {test} else "") for m in sorted(killers[test])]
            out.write(f"{test}\t{' '.join(marks)}\n")
        for test in sorted(every_test - set(killers)):
            out.write(f"{test}\t-\n")


def work_tree_is_clean():
    status = subprocess.run(["git", "status", "--porcelain"], cwd=ROOT, capture_output=True,
                            text=True, check=True)
    return status.stdout.strip() == ""


def select(mutants, args):
    wanted = [m for m in mutants if (m.family == "win") == args.windows]
    if args.only == "smoke":
        return [m for m in wanted if m.smoke]
    if args.only:
        ids = set(args.only.split(","))
        return [m for m in mutants if m.id in ids]
    return wanted


def report(results, seconds):
    families = collections.OrderedDict()
    for mutant, verdict, spent in results:
        families.setdefault(mutant.family, []).append((mutant, verdict, spent))
    print(f"\n{'family':<8} {'mutants':>7} {'killed':>6} {'survived':>8} {'other':>5} {'seconds':>7}")
    totals = collections.Counter()
    for family, rows in families.items():
        count = collections.Counter(verdict for _, verdict, _ in rows)
        other = len(rows) - count["killed"] - count["survived"]
        spent = sum(s for _, _, s in rows)
        totals.update(count)
        print(f"{family:<8} {len(rows):>7} {count['killed']:>6} {count['survived']:>8} "
              f"{other:>5} {spent:>7.0f}")
    print(f"{'all':<8} {len(results):>7} {totals['killed']:>6} {totals['survived']:>8} "
          f"{len(results) - totals['killed'] - totals['survived']:>5} {seconds:>7.0f}")
    for mutant, verdict, _ in results:
        if verdict != "killed":
            note = f"  ({mutant.note})" if mutant.note else ""
            print(f"{verdict:>10} {mutant.id} {place(mutant)}: {mutant.models}{note}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--windows", action="store_true")
    parser.add_argument("--only", default="")
    parser.add_argument("--catalogue", default=CATALOGUE)
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--matrix", metavar="FILE")
    args = parser.parse_args()

    mutants = parse_catalogue(args.catalogue)
    chosen = select(mutants, args)
    if args.list:
        stale = [m for m in mutants if not applies(m)]
        for mutant in stale:
            print(f"stale {mutant.id}: {mutant.file}:{mutant.line} find text not found once")
        print(f"{len(mutants)} mutants, {len(stale)} stale, {len(chosen)} chosen")
        return 1 if stale else 0
    if not work_tree_is_clean():
        print("run_mutants: the work tree has changes; commit or stash them first")
        return 2
    log = os.path.join(ROOT, "build", "mutants.log")
    os.makedirs(os.path.dirname(log), exist_ok=True)
    open(log, "w").close()
    build = Build(args.windows, args.jobs, log)
    print(f"{len(chosen)} mutants; build and test output in {log}", flush=True)
    if not (build.configure() and build.build() and build.test()):
        print("run_mutants: the suite fails before any mutant is applied")
        return 2
    started, results, rows = time.monotonic(), [], {}
    programs = build.programs() if args.matrix else []
    for mutant in chosen:
        begun = time.monotonic()
        if args.matrix:
            rows[mutant.id] = matrix_row(mutant, build, programs)
            verdict = rows[mutant.id][0]
        else:
            verdict = judge(mutant, build)
        results.append((mutant, verdict, time.monotonic() - begun))
        print(f"{mutant.id:<6} {verdict:<10} {time.monotonic() - begun:5.0f}s  {place(mutant)}",
              flush=True)
    build.build()  # leaves the binaries of the code as it is, not of the last mutant
    if args.matrix:
        write_matrix(args.matrix, rows, programs, build)
    report(results, time.monotonic() - started)
    stale = any(v == "stale" for _, v, _ in results)
    escaped = args.only == "smoke" and any(v != "killed" for _, v, _ in results)
    return 1 if stale or escaped else 0


if __name__ == "__main__":
    sys.exit(main())
