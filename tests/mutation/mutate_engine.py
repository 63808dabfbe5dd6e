#!/usr/bin/env python3
"""Mutation check of the fall detection engine's decision code.

Copies the working tree to a scratch directory, builds the engine's tests there once, then
changes the decision code one place at a time: every comparison is moved across its boundary
(< and <=, > and >=, == and !=) and every integer constant is moved by one in each direction.
Each change is built and the engine's tests are run; a change the tests do not notice is a
survivor. Survivors that cannot change any result are listed, once, with the reason, in
equivalent.txt next to this script; every other survivor is a hole in the tests.

Slow (a build per change): not part of CI. Examples:

    tests/mutation/mutate_engine.py                  # the device engine, every change
    tests/mutation/mutate_engine.py --list           # only list the changes
    tests/mutation/mutate_engine.py --only Collision # changes in functions matching a word
    tests/mutation/mutate_engine.py --engine variant # the data-logging image's variant

Exit status: 0 when every survivor is listed as equivalent, 1 otherwise, 2 on a usage error or
when the unchanged tree does not pass its own tests.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
EQUIVALENT_FILE = os.path.join(HERE, "equivalent.txt")

# The decision code of each engine: file and the functions (and named constants) in it whose
# comparisons and constants are changed. The tests are the build targets to rebuild and the programs to run
# (paths relative to the build directory).
# The pieces both engines share, tested by each engine's tests.
COMMON_REGIONS = [
    ("FallDetector/FallDetectorCommon.cpp", [
        "kWarmUpSamples", "kLastPlainCount", "kRebase", "kOldest", "kAhead",
        "FallDetectorWarmingUp", "FallDetectorNextSlot", "FallDetectorCountAtLimit",
        "FallDetectorRebaseIndex", "FallDetectorNextCount", "FallDetectorCountTurning",
        "FallDetectorTurningType", "FallDetectorLastItem", "FallDetectorFallNear",
        "FallDetectorImpactType", "FallDetectorOpenWatch", "FallDetectorTrackPeak",
        "FallDetectorCollisionPeak", "FallDetectorCollisionGap",
        "FallDetectorRotationDiscount", "FallDetectorStandingAdjustment"]),
]

# The decision code of each engine: file and the functions (and named constants) in it whose
# comparisons and constants are changed.
ENGINES = {
    "main": {
        "regions": COMMON_REGIONS + [
            ("FallDetector/FallDetector.cpp", ["FallDetectorWork"]),
            ("FallDetector/FallDetectorHelpers.cpp", [
                "FallDetectorJumpOverCount", "FallDetectorClearMaxJumpData",
                "FallDetectorMakeJumpData", "FallDetectorClearHighLowFallCounter",
                "FallDetectorMakeFallCounter", "FallDetectorMakeConditions",
                "FallDetectorConfirmDecision", "FallDetectorThreeGravityImpact"]),
            ("FallDetector/FallDetectorCollision.cpp", ["FallDetectorCheckCollisionFall"]),
            ("FallDetector/FallDetectorHistory.cpp", ["FallDetectorPushFallHistory"]),
        ],
        # Build target and program (relative to the build directory) of each test, in the
        # order they run; the first that fails kills the change and the rest are skipped.
        "tests": [
            ("engine_tests", ["tests/engine/engine_tests"]),
            ("replay_tests", ["tests/replay/replay_tests", "--gtest_filter=Regression.*"]),
        ],
    },
    # The data-logging image's variant: its own rules (the shared pieces are the device
    # engine's to test).
    "variant": {
        "regions": [
            ("datalogger/FallDetector/FallDetectorRules.cpp", ["FallDetectorIsStanding"]),
            ("datalogger/FallDetector/FallDetector.cpp", [
                "FallDetectorSetDefaultConfig", "FallDetectorSet", "FallDetectorWork"]),
            ("datalogger/FallDetector/FallDetectorRules.cpp", [
                "FallDetectorJumpWindow", "FallDetectorMakeJump", "FallDetectorPushFallHistory",
                "FallDetectorCollisionType", "FallDetectorMakeFallPhase",
                "FallDetectorMakeRawFall", "FallDetectorConfirmDecision", "FallDetectorImpact"]),
            ("datalogger/FallDetector/FallDetectorFlip.cpp", [
                "DominantAxis", "KeepsSign", "FallDetectorTrackFlip"]),
        ],
        "tests": [
            ("engine_variant_tests", ["tests/engine_variant/engine_variant_tests"]),
            ("variant_regression_tests", ["tests/replay/variant_regression_tests"]),
        ],
    },
}

SWAP = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
OPERATOR = re.compile(r"<=|>=|==|!=|<|>")
INTEGER = re.compile(r"(?<![\w.])\d+(?![\w.])")
# Text that looks like a comparison or a constant but is not one: template arguments, member
# access, shifts, array sizes and subscripts, where a loop starts, and comments.
TEMPLATE = re.compile(r"\b(?:\w+_cast|std::\w+)\s*<[^<>;]*>")
ARRAY_SIZE = re.compile(r"(?<=\w)\[\d+\]")
LOOP_START = re.compile(r"(?<=for \(int )\w+ = \d+")
NOT_OPERATORS = re.compile(r"->|<<|>>")
RESULT_ONLY = re.compile(r"\s*return\s+\d+\s*;\s*$")


def masked(line):
    """The line with everything that must not be changed blanked out (same columns)."""
    code = line
    cut = code.find("//")
    if cut >= 0:
        code = code[:cut] + " " * (len(code) - cut)
    for pattern in (TEMPLATE, NOT_OPERATORS, ARRAY_SIZE, LOOP_START):
        code = pattern.sub(lambda m: " " * len(m.group(0)), code)
    return code


def regions_of(lines, names):
    """Yields (name, first, last) line indices of the lines to change for each name: the body
    of a top-level function definition, or the one line that defines a named constant.

    The sources are formatted so that definitions start (and functions end) in column 0."""
    found = set()
    for i, text in enumerate(lines):
        if not text or text[0] in " \t}#/":
            continue
        for name in names:
            if re.search(r"\b" + name + r"\s*=", text) and text.rstrip().endswith(";"):
                found.add(name)
                yield name, i, i
            elif re.search(r"\b" + name + r"\s*\(", text) and not text.rstrip().endswith(";"):
                end = i
                while end < len(lines) and lines[end].rstrip() != "}":
                    end += 1
                found.add(name)
                # The signature line is left alone: only the body decides.
                yield name, i + 1, end - 1
    missing = set(names) - found
    if missing:
        sys.exit("mutate_engine: not found: " + ", ".join(sorted(missing)))


class Mutant:
    def __init__(self, path, function, lineno, text, col, old, new, occurrence):
        self.path, self.function, self.lineno = path, function, lineno
        self.text, self.col, self.old, self.new = text, col, old, new
        self.occurrence = occurrence

    @property
    def change(self):
        return f"{self.old} -> {self.new} #{self.occurrence}"

    @property
    def key(self):
        return (self.path, self.function, self.text.strip(), self.change)

    def where(self):
        return f"{self.path}:{self.lineno}: {self.function}: {self.change}: {self.text.strip()}"

    def apply(self, line):
        assert line[self.col:self.col + len(self.old)] == self.old
        return line[:self.col] + self.new + line[self.col + len(self.old):]


def mutants_of(engine):
    out = []
    for path, functions in ENGINES[engine]["regions"]:
        with open(os.path.join(ROOT, path)) as f:
            lines = f.read().split("\n")
        for function, first, last in regions_of(lines, functions):
            for i in range(first, last + 1):
                line = lines[i]
                # A line that occurs more than once in the function is named by its place.
                name = line.strip()
                same = [k for k in range(first, last + 1) if lines[k].strip() == name]
                if len(same) > 1:
                    name += f"  [{same.index(i) + 1} of {len(same)}]"
                code = masked(line)
                seen = {}
                for m in OPERATOR.finditer(code):
                    seen[m.group(0)] = seen.get(m.group(0), 0) + 1
                    out.append(Mutant(path, function, i + 1, name, m.start(), m.group(0),
                                      SWAP[m.group(0)], seen[m.group(0)]))
                # A function's plain result values are not boundaries.
                if RESULT_ONLY.match(code):
                    continue
                for m in INTEGER.finditer(code):
                    seen[m.group(0)] = seen.get(m.group(0), 0) + 1
                    n = int(m.group(0))
                    for new in (n + 1, n - 1):
                        out.append(Mutant(path, function, i + 1, name, m.start(), m.group(0),
                                          str(new) if new >= 0 else f"({new})",
                                          seen[m.group(0)]))
    return out


def read_equivalents():
    """path | function | line text | change | reason, one per line; '#' starts a comment."""
    table = {}
    if not os.path.exists(EQUIVALENT_FILE):
        return table
    with open(EQUIVALENT_FILE) as f:
        for n, raw in enumerate(f, 1):
            line = raw.strip()
            if not line or line.startswith("#"):
                continue
            parts = [p.strip() for p in line.split(" | ")]
            if len(parts) != 5 or not parts[4]:
                sys.exit(f"{EQUIVALENT_FILE}:{n}: expected 'path | function | line | change | "
                         "reason'")
            table[tuple(parts[:4])] = parts[4]
    return table


def run(cmd, cwd, timeout=None):
    try:
        p = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           timeout=timeout)
        return p.returncode, p.stdout.decode(errors="replace")
    except subprocess.TimeoutExpired:
        return None, "timed out"


def scratch_copy(dest):
    """The working tree as it is now (tracked and new files, not ignored ones)."""
    files = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT,
                           check=True, stdout=subprocess.PIPE).stdout.split(b"\0")
    for rel in files:
        if not rel:
            continue
        rel = rel.decode()
        src = os.path.join(ROOT, rel)
        if not os.path.isfile(src):
            continue
        os.makedirs(os.path.dirname(os.path.join(dest, rel)), exist_ok=True)
        shutil.copy2(src, os.path.join(dest, rel))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--engine", choices=sorted(ENGINES), default="main")
    ap.add_argument("--list", action="store_true", help="list the changes, run nothing")
    ap.add_argument("--only", metavar="WORD", help="only functions whose name contains WORD")
    ap.add_argument("--keep", action="store_true", help="keep the scratch directory")
    args = ap.parse_args()

    engine = ENGINES[args.engine]
    mutants = mutants_of(args.engine)
    if args.only:
        mutants = [m for m in mutants if args.only in m.function]
    if args.list:
        for m in mutants:
            print(m.where())
        print(f"{len(mutants)} changes")
        return 0

    equivalents = read_equivalents()
    scratch = tempfile.mkdtemp(prefix="engine-mutation-")
    build = os.path.join(scratch, "build")
    try:
        scratch_copy(scratch)
        # -O1 builds faster than the presets' optimisation and gives the same bits (no
        # contraction, SSE arithmetic); the unchanged tree must pass before anything is changed.
        rc, out = run(["cmake", "-S", scratch, "-B", build, "-G", "Ninja",
                       "-DCMAKE_BUILD_TYPE=Release", "-DCMAKE_CXX_FLAGS_RELEASE=-O1"], scratch)
        if rc != 0:
            print(out)
            return 2

        def test():
            for target, program in engine["tests"]:
                rc, out = run(["cmake", "--build", build, "-j2", "--target", target], scratch)
                if rc != 0:
                    return "no build", out
                rc, out = run([os.path.join(build, program[0])] + program[1:] +
                              ["--gtest_brief=1"], build, timeout=120)
                if rc is None:
                    return "killed (time-out)", out
                if rc != 0:
                    return "killed", out
            return "survived", ""

        verdict, out = test()
        if verdict != "survived":
            print(out)
            print("mutate_engine: the unchanged tree does not pass its tests")
            return 2

        counts = {}
        survivors = []
        started = time.time()
        for n, m in enumerate(mutants, 1):
            path = os.path.join(scratch, m.path)
            with open(path) as f:
                original = f.read()
            lines = original.split("\n")
            lines[m.lineno - 1] = m.apply(lines[m.lineno - 1])
            with open(path, "w") as f:
                f.write("\n".join(lines))
            try:
                verdict, _ = test()
            finally:
                with open(path, "w") as f:
                    f.write(original)
            counts[verdict] = counts.get(verdict, 0) + 1
            if verdict == "survived":
                survivors.append(m)
            print(f"[{n}/{len(mutants)}] {verdict}: {m.where()}", flush=True)
        test()  # leave the scratch build as the tree is

        print()
        print(f"{len(mutants)} changes in {time.time() - started:.0f} s: " +
              ", ".join(f"{v} {c}" for v, c in sorted(counts.items())))
        listed = [m for m in survivors if m.key in equivalents]
        unlisted = [m for m in survivors if m.key not in equivalents]
        print(f"survivors listed as equivalent: {len(listed)}")
        for m in listed:
            print(f"  {m.where()}\n      {equivalents[m.key]}")
        print(f"survivors not listed as equivalent: {len(unlisted)}")
        for m in unlisted:
            print(f"  {m.where()}")
        # Entries that no longer match a survivor (the code moved or the tests now see the
        # change) make the list lie; name them so they are removed.
        keys = {m.key for m in mutants}
        paths = {path for path, _ in engine["regions"]}
        stale = [k for k in equivalents if k in keys and k not in {m.key for m in survivors}]
        gone = [k for k in equivalents
                if k[0] in paths and k not in keys and (not args.only or args.only in k[1])]
        for k in stale:
            print(f"equivalent.txt lists a change the tests now notice: {' | '.join(k)}")
        for k in gone:
            print(f"equivalent.txt lists a change that no longer exists: {' | '.join(k)}")
        return 1 if unlisted else 0
    finally:
        if args.keep:
            print(f"scratch tree kept in {scratch}")
        else:
            shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
