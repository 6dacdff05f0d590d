#!/usr/bin/env python3
"""Mutation testing for the module and the host.

Applies one small fault at a time to a source file (a flipped comparison, a
constant changed by one, a dropped statement, two arguments swapped, ...),
rebuilds only the test programs that link that file, runs them under ctest
with a timeout and counts the fault as caught when a test fails.  Reports the
share caught per folder and lists the faults that survived.

  tools/mutate.py --build build                 # fixed-seed sample (default)
  tools/mutate.py --build build --full          # every mutant, by hand
  tools/mutate.py --list --folders unitsel      # show the mutants, run nothing

The sources are mutated in place and restored after each mutant (also on
Ctrl-C), so do not edit them while it runs.  The sample is stable: a mutant is
chosen by a hash of the seed, its file, its line's text and its operator, so
an edit elsewhere does not reshuffle it.
"""

import argparse
import hashlib
import json
import os
import re
import signal
import subprocess
import sys
import time
from collections import defaultdict
from pathlib import Path

FOLDERS = ["core", "trees", "unitdb", "unitsel", "lang_pt_br", "prosody", "voice", "host"]

# Generated or data-only sources: mutating a table entry says nothing about
# the tests, and the tables are checked against their data files elsewhere.
# The SILK decoder is checked bit for bit against the shared vectors, and the
# Windows platform layer is not built here.
SKIP_FILES = re.compile(
    r"(_tables?\.cpp|lexicon_pt_br\.cpp|lts_rules_pt_br\.cpp|stress_open_words_pt_br\.cpp|"
    r"zdur_data\.cpp|platform_win32\.cpp)$|/silk/")

# Test programs that exercise each folder (ctest names, which are also the
# build targets); names that the build does not have are left out.
FOLDER_TESTS = {
    "core": ["core_tests", "lang_pron_tests", "prosody_tests"],
    "trees": ["trees_tests", "lang_tokens_tests", "prosody_tests"],
    "unitdb": ["unitdb_tests", "tools_voicedb_tests", "voice_tests"],
    "unitsel": ["unitsel_tests", "voice_tests"],
    "lang_pt_br": ["lang_text_tests", "lang_tokens_tests",
                   "lang_pron_tests", "lang_pos_phrasing_tests", "prosody_tests"],
    "prosody": ["prosody_tests", "host_segments_tests"],
    "voice": ["voice_tests", "host_info_tests"],
}
# Host files are compiled into different test programs one by one.
HOST_TESTS = {
    "text_io": ["host_tokens_tests"],
    "tokens": ["host_tokens_tests"],
    "words": ["host_pron_tests", "host_words_cmd_tests"],
    "phrasing": ["host_segments_tests"],
    "ssml": ["host_ssml_tests"],
    "voicedb": ["tools_voicedb_tests", "host_info_tests"],
    "cmd_silk_decode": ["silk_tests"],
}
HOST_DEFAULT = ["host_engine_tests", "host_info_tests", "host_words_cmd_tests",
                "host_segments_tests", "host_pron_tests"]


def tests_for(rel):
    parts = Path(rel).parts
    if parts[0] == "host":
        return HOST_TESTS.get(Path(rel).stem, HOST_DEFAULT)
    return FOLDER_TESTS[parts[0]]


# ---------------------------------------------------------------- mutants

class Mutant:
    def __init__(self, rel, line, col, op, old, new, text):
        self.rel, self.line, self.col, self.op = rel, line, col, op
        self.old, self.new, self.text = old, new, text

    @property
    def folder(self):
        return Path(self.rel).parts[0]

    def key(self, seed, occurrence):
        h = hashlib.sha1(f"{seed}|{self.rel}|{self.text.strip()}|{self.op}|{occurrence}".encode())
        return h.hexdigest()

    def describe(self):
        return f"{self.rel}:{self.line}: {self.op}: '{self.old}' -> '{self.new}'   | {self.text.strip()}"


def code_mask(src):
    """Same length as src; comments, string and char literals and preprocessor
    lines replaced by spaces, so that operators are found only in code."""
    out = list(src)
    i, n = 0, len(src)
    at_line_start = True
    while i < n:
        c = src[i]
        if at_line_start and c == "#":
            j = src.find("\n", i)
            j = n if j < 0 else j
            while j > 0 and src[j - 1] == "\\" and j < n:
                j = src.find("\n", j + 1)
                j = n if j < 0 else j
            for k in range(i, j):
                out[k] = " "
            i = j
            continue
        if c == "\n":
            at_line_start = True
            i += 1
            continue
        if not c.isspace():
            at_line_start = False
        if src.startswith("//", i):
            j = src.find("\n", i)
            j = n if j < 0 else j
            for k in range(i, j):
                out[k] = " "
            i = j
        elif src.startswith("/*", i):
            j = src.find("*/", i + 2)
            j = n if j < 0 else j + 2
            for k in range(i, j):
                if src[k] != "\n":
                    out[k] = " "
            i = j
        elif c == 'R' and src.startswith('R"', i) and (i == 0 or not (src[i - 1].isalnum() or src[i - 1] == "_")):
            d = src.find("(", i)
            delim = ")" + src[i + 2:d] + '"'
            j = src.find(delim, d)
            j = n if j < 0 else j + len(delim)
            for k in range(i, j):
                if src[k] != "\n":
                    out[k] = " "
            i = j
        elif c in "\"'":
            if c == "'" and i > 0 and src[i - 1].isalnum():   # digit separator 1'000
                i += 1
                continue
            j = i + 1
            while j < n and src[j] != c and src[j] != "\n":
                j += 2 if src[j] == "\\" else 1
            for k in range(i, min(j + 1, n)):
                out[k] = " "
            i = j + 1
        else:
            i += 1
    return "".join(out)


# (operator name, regex on masked code, replacement function or string)
REL_FLIP = {" < ": " >= ", " > ": " <= ", " <= ": " > ", " >= ": " < ", " == ": " != ", " != ": " == "}
REL_EDGE = {" < ": " <= ", " <= ": " < ", " > ": " >= ", " >= ": " > "}
LOGIC = {" && ": " || ", " || ": " && "}
ARITH = {" + ": " - ", " - ": " + ", " * ": " / ", " / ": " * ", " += ": " -= ", " -= ": " += "}
STATEMENT = re.compile(r"^\s*[A-Za-z_*(+-][^;{}]*;\s*$")
DECLARATION = re.compile(r"^\s*[\w:<>,*&]+(\s+const)?[\s*&]+\w+\s*(=|\{|\(|;|\[)")
DECL_START = re.compile(r"^\s*(const|constexpr|static|auto|int|unsigned|float|double|bool|char|size_t|"
                        r"uint\w*|int\w*|std::|return|using|typedef|struct|class|enum|case|default)\b")
INT_LIT = re.compile(r"(?<![\w.])(\d+)(?![\w.'])")
PARAMETER = re.compile(r"^\s*(const\s+)?[\w:<>]+[\s*&]+\w+\s*$")   # a declaration, not a call
TWO_ARGS = re.compile(r"\b([A-Za-z_][\w:]*)\(([^(),]+), ([^(),]+)\)")
BOOL_LIT = re.compile(r"\b(true|false)\b")
NOT_COND = re.compile(r"(?<=[(\s])!(?=[A-Za-z_(])")
CALL_SKIP = {"if", "while", "for", "switch", "return", "sizeof", "static_cast", "reinterpret_cast",
             "assert", "std::min", "std::max", "min", "max", "memcpy", "memset", "std::memcpy",
             "std::pair", "make_pair", "std::make_pair", "static_assert"}


def mutants_of(root, rel):
    src = (root / rel).read_text(encoding="latin-1")
    masked = code_mask(src)
    lines, mlines = src.split("\n"), masked.split("\n")
    found = []
    for no, (text, code) in enumerate(zip(lines, mlines), 1):
        if not code.strip() or any(w in code for w in ("static_assert", "template", "offsetof", "sizeof(")):
            continue

        def add(col, op, old, new):
            found.append(Mutant(rel, no, col, op, old, new, text))

        for table, op in ((REL_FLIP, "negate-comparison"), (REL_EDGE, "comparison-boundary"),
                          (LOGIC, "swap-and-or"), (ARITH, "swap-arithmetic")):
            for old, new in table.items():
                for m in re.finditer(re.escape(old), code):
                    add(m.start(), op, old, new)
        for m in INT_LIT.finditer(code):
            v = int(m.group(1))
            if "[" in code[max(0, m.start() - 1):m.start()]:
                continue
            add(m.start(), "constant+1", m.group(1), str(v + 1))
            if v > 0:
                add(m.start(), "constant-1", m.group(1), str(v - 1))
        for m in BOOL_LIT.finditer(code):
            add(m.start(), "flip-bool", m.group(1), "false" if m.group(1) == "true" else "true")
        for m in NOT_COND.finditer(code):
            add(m.start(), "drop-not", "!", "")
        for m in TWO_ARGS.finditer(code):
            a, b = text[m.start(2):m.end(2)], text[m.start(3):m.end(3)]
            if (m.group(1) in CALL_SKIP or a.strip() == b.strip() or PARAMETER.match(a) or PARAMETER.match(b)
                    or not m.group(2).strip() and not m.group(3).strip()):
                continue
            add(m.start(), "swap-arguments", text[m.start():m.end()], f"{m.group(1)}({b}, {a})")
        previous = next((c.strip() for c in reversed(mlines[:no - 1]) if c.strip()), ";")
        if (STATEMENT.match(code) and not DECL_START.match(code) and not DECLARATION.match(code)
                and code.count("(") == code.count(")") and previous[-1] in ";{}:"
                and any(t in code for t in ("=", "(", "++", "--"))):
            start = len(code) - len(code.lstrip())
            end = len(code.rstrip())
            add(start, "drop-statement", text[start:end], "")
    return found


def all_mutants(root, folders, core_headers):
    out = []
    for folder in folders:
        for path in sorted((root / folder).rglob("*")):
            rel = path.relative_to(root).as_posix()
            if path.suffix not in (".cpp", ".h") or SKIP_FILES.search("/" + rel):
                continue
            if folder == "core" and path.suffix == ".h" and not core_headers:
                continue  # included everywhere: each mutant rebuilds nearly everything twice
            out.extend(mutants_of(root, rel))
    return out


def sample(mutants, per_folder, seed):
    seen = defaultdict(int)
    keyed = []
    for m in mutants:
        ident = (m.rel, m.text.strip(), m.op)
        keyed.append((m.key(seed, seen[ident]), m))
        seen[ident] += 1
    by_folder = defaultdict(list)
    for k, m in sorted(keyed, key=lambda km: km[0]):
        by_folder[m.folder].append(m)
    chosen = []
    for folder, ms in by_folder.items():
        chosen.extend(ms[:per_folder])
    return chosen


# ---------------------------------------------------------------- running

def apply(root, m):
    path = root / m.rel
    src = path.read_text(encoding="latin-1")
    m.stat = path.stat()
    lines = src.split("\n")
    line = lines[m.line - 1]
    assert line[m.col:m.col + len(m.old)] == m.old, m.describe()
    lines[m.line - 1] = line[:m.col] + m.new + line[m.col + len(m.old):]
    path.write_text("\n".join(lines), encoding="latin-1")
    return src


def restore(root, build, m, original, began):
    """Puts the source back with its old time stamp and removes the objects
    compiled from the mutant, so that only they are compiled again."""
    path = root / m.rel
    path.write_text(original, encoding="latin-1")
    os.utime(path, ns=(m.stat.st_atime_ns, m.stat.st_mtime_ns))
    for obj in build.rglob("*.o"):
        if obj.stat().st_mtime >= began - 1:
            obj.unlink()


def run(cmd, timeout, cwd=None):
    p = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         start_new_session=True)
    try:
        out, _ = p.communicate(timeout=timeout)
        return p.returncode, out.decode(errors="replace")
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        p.communicate()
        return None, ""


def known_tests(build):
    rc, out = run(["ctest", "--test-dir", str(build), "-N"], 120)
    return set(re.findall(r"Test +#\d+: (\S+)", out))


def judge(root, build, m, timeout, jobs, known, fast):
    tests = [t for t in tests_for(m.rel) if t in known]
    rc, out = run(["cmake", "--build", str(build), "-j", str(jobs), "--target", *tests], 900)
    if rc != 0:
        return "stillborn", ""
    rc, out = run(["ctest", "--test-dir", str(build), "--output-on-failure", "--timeout", str(timeout),
                   *(["--stop-on-failure"] if fast else []),
                   "-R", "^(" + "|".join(tests) + ")$"], timeout * len(tests) + 60)
    if rc is None:
        return "killed", "timeout"
    if rc != 0:
        failed = re.findall(r"\d+ - (\w+) \(", out)
        cases = sorted(set(re.findall(r"^\[  FAILED  \] ([^\s,]+\.[^\s,]+)", out, re.M)))
        return "killed", ",".join(failed + cases)
    return "survived", ""


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build", help="a configured build folder (default: build)")
    ap.add_argument("--folders", default="unitsel,unitdb,lang_pt_br,core,host",
                    help="comma-separated source folders (default: %(default)s)")
    ap.add_argument("--per-folder", type=int, default=12, help="mutants per folder in a sample")
    ap.add_argument("--seed", default="21", help="sample seed (default: %(default)s)")
    ap.add_argument("--full", action="store_true", help="every mutant instead of a sample")
    ap.add_argument("--timeout", type=int, default=120, help="seconds per test program")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--fast", action="store_true",
                    help="stop at the first failing test program (quicker; names fewer killers)")
    ap.add_argument("--core-headers", action="store_true",
                    help="also mutate core/*.h (each such mutant rebuilds nearly everything)")
    ap.add_argument("--list", action="store_true", help="list the chosen mutants and stop")
    ap.add_argument("--json", help="also write the results to this file")
    args = ap.parse_args()

    root = Path(__file__).resolve().parent.parent
    build = Path(args.build).resolve()
    folders = [f for f in args.folders.split(",") if f]
    unknown = [f for f in folders if f not in FOLDERS]
    if unknown:
        sys.exit(f"unknown folder(s): {', '.join(unknown)}")
    mutants = all_mutants(root, folders, args.core_headers)
    chosen = mutants if args.full else sample(mutants, args.per_folder, args.seed)
    chosen.sort(key=lambda m: (m.rel, m.line, m.col))   # one file at a time: fewer recompilations
    print(f"{len(chosen)} of {len(mutants)} mutants" + ("" if args.full else f", seed {args.seed}"),
          flush=True)
    if args.list:
        for m in chosen:
            print(m.describe())
        return 0

    known = known_tests(build)
    def stop(signum, frame):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    results = []
    start = time.time()
    for i, m in enumerate(chosen, 1):
        began = time.time()
        original = apply(root, m)
        try:
            verdict, detail = judge(root, build, m, args.timeout, args.jobs, known, args.fast)
        finally:
            restore(root, build, m, original, began)
        results.append((m, verdict, detail))
        shown = detail if len(detail) < 160 else detail[:157] + "..."
        print(f"[{i}/{len(chosen)} {time.time() - start:5.0f}s] {verdict:9} {m.describe()}"
              + (f"  ({shown})" if shown else ""), flush=True)
    # Leave the build as the sources are.
    run(["cmake", "--build", str(build), "-j", str(args.jobs), "--target",
         *sorted({t for m in chosen for t in tests_for(m.rel) if t in known})], 1800)

    per = defaultdict(lambda: [0, 0, []])
    for m, verdict, _ in results:
        if verdict == "stillborn":
            continue
        per[m.folder][1] += 1
        if verdict == "killed":
            per[m.folder][0] += 1
        else:
            per[m.folder][2].append(m)
    print("\nfolder        caught  score")
    total_k = total_n = 0
    for folder in folders:
        k, n, _ = per[folder]
        total_k, total_n = total_k + k, total_n + n
        print(f"{folder:12} {k:3}/{n:<3} " + (f"{100 * k / n:5.1f} %" if n else "    -"))
    if total_n:
        print(f"{'all':12} {total_k:3}/{total_n:<3} {100 * total_k / total_n:5.1f} %")
    stillborn = sum(1 for _, v, _ in results if v == "stillborn")
    print(f"({stillborn} mutants did not compile and are not counted)")
    print("\nsurvivors:")
    for folder in folders:
        for m in per[folder][2]:
            print("  " + m.describe())
    if args.json:
        Path(args.json).write_text(json.dumps(
            [{"file": m.rel, "line": m.line, "op": m.op, "old": m.old, "new": m.new, "verdict": v,
              "failed": d} for m, v, d in results], indent=1))
    return 0


if __name__ == "__main__":
    sys.exit(main())
