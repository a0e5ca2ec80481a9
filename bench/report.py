#!/usr/bin/env python3
"""Runs the benchmarks of a build directory and prints the table of every figure.

Usage: bench/report.py BUILD_DIR [--quick]

Each cost is the median CPU time of three repetitions, on synthetic sets of 1,000, 5,000 and
10,000 entries. A search is measured as its scan (the flags of the matching entries, what the
peer's card-number query answers) beside the floor (reading the entry index whole and
unscrambling it) and the same query in an in-memory SQLite table, as ratios; the whole search
with its match list, as the user waits for it, stands beside. The start-up of the desktop program is
timed over repeated runs with /usr/bin/time on the offscreen platform.
"""

import json
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile

SIZES = (1000, 5000, 10000)

# label, benchmark, the whole search with its match list (or None), peer query, compare with the
# floor, target text, target check(ms, floor, peer, whole search ms)
SCAN = "≤ 1.5× floor, < SQLite"


def scan_ok(ms, f, p, whole):
    return ms <= 1.5 * f and ms < p


ROWS = [
    ("Floor: read and unscramble lithora.a", "BM_ReadAndUnscrambleEntries", None, None, False, "",
     None),
    ("Table loading (four tables)", "BM_LoadTables", None, None, False, "", None),
    ("Full list (core rows)", "BM_FullList", None, None, False, "", None),
    ("Tables and full list (start-up data)", "BM_TablesAndFullList", None, None, False, "", None),
    ("List model, rows in the view (offscreen)", "gui:BM_ListModelRefill", None, None, False,
     "< 20 ms", lambda ms, f, p, w: ms < 20),
    ("Loading a card", "BM_LoadSelectedCard", None, None, False, "< 50 µs",
     lambda ms, f, p, w: ms < 0.050),
    ("Card form: text (name and notes)", "BM_FormPass/text", "BM_FormSearchText",
     "query/form_text", True, SCAN, scan_ok),
    ("Card form: numbers (Mohs, a, Z)", "BM_FormPass/numbers", "BM_FormSearchNumbers",
     "query/form_numbers", True, SCAN, scan_ok),
    ("Card form: d-spacings", "BM_FormPass/dspacings", "BM_FormSearchDSpacings",
     "query/form_dspacings", True, SCAN, scan_ok),
    ("Optics (scans lithora.h)", "BM_OpticsPass", "BM_OpticsSearch", "query/optics", False,
     "< SQLite", lambda ms, f, p, w: ms < p),
    ("Elements (scans lithora.e)", "BM_ElementPass", "BM_ElementSearch", "query/elements", False,
     "< 2 ms with its list, < SQLite", lambda ms, f, p, w: w < 2 and ms < p),
    ("Text: group keyword", "BM_TextPass/group", "BM_TextSearch/group", "query/text_group", True,
     SCAN, scan_ok),
    ("Text: d-spacings", "BM_TextPass/dspacings", "BM_TextSearch/dspacings",
     "query/form_dspacings", True, SCAN, scan_ok),
    ("Text: unit cell", "BM_TextPass/unitcell", "BM_TextSearch/unitcell", "query/unit_cell", True,
     SCAN, scan_ok),
    ("Match list of 1,000 matches", "BM_MatchList1000", None, None, False, "< 5 ms",
     lambda ms, f, p, w: ms < 5),
    ("Identification: every entry ranked for 30 peaks", "BM_IdentifyPattern", None, None, True,
     "< 5 ms, ≤ 3× floor", lambda ms, f, p, w: ms < 5 and ms <= 3 * f),
    ("Peak finding (columns: 1,000 / 5,000 / 10,000 points)", "BM_FindPeaks", None, None, False,
     "< 5 ms", lambda ms, f, p, w: ms < 5),
    ("Reference patterns: lithora.p loaded, every card's lines read", "BM_LoadReferencePatterns",
     None, None, False, "< 5 ms", lambda ms, f, p, w: ms < 5),
    ("Reference patterns kept: every card's lines read again", "BM_ReadKeptReferencePatterns",
     None, None, False, "", None),
]


def run_benchmarks(binary, quick):
    args = [binary, "--benchmark_format=json"]
    if quick:
        args.append("--benchmark_min_time=0.05")
    else:
        args += ["--benchmark_repetitions=3", "--benchmark_report_aggregates_only=true"]
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    out = subprocess.run(args, check=True, capture_output=True, text=True, env=env).stdout
    results = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b.get("run_name", b["name"])
        unit = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
        results[name] = b["cpu_time"] * unit  # milliseconds
    return results


def startup(program_dir, data_dir, runs):
    """Median wall seconds and peak kilobytes of the program until its first card is shown."""
    with tempfile.TemporaryDirectory() as scratch:
        program = program_dir
        if data_dir is not None:
            shutil.copy2(os.path.join(program_dir, "lithora"), scratch)
            shutil.copytree(data_dir, os.path.join(scratch, "INDEX"))
            program = scratch
        home = os.path.join(scratch, "home")
        os.makedirs(home, exist_ok=True)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", LITHORA_QUIT_AFTER_START="1",
                   LITHORA_UNATTENDED="1", HOME=home)
        walls, peaks = [], []
        for _ in range(runs):
            r = subprocess.run(["/usr/bin/time", "-f", "%e %M", os.path.join(program, "lithora")],
                               env=env, capture_output=True, text=True)
            if r.returncode != 0:
                raise SystemExit("the program failed: " + r.stderr)
            wall, peak = r.stderr.strip().splitlines()[-1].split()
            walls.append(float(wall))
            peaks.append(int(peak))
        return statistics.median(walls), max(peaks)


def fmt(ms):
    if ms is None:
        return "–"
    if ms < 0.1:
        return f"{ms * 1000:.1f} µs"
    return f"{ms:.2f} ms"


def main():
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    build = sys.argv[1]
    quick = "--quick" in sys.argv
    core = run_benchmarks(os.path.join(build, "bench", "lithora_core_bench"), quick)
    peer = run_benchmarks(os.path.join(build, "bench", "lithora_peer_bench"), quick)
    gui = run_benchmarks(os.path.join(build, "bench", "lithora_gui_bench"), quick)

    def core_ms(name, size):
        if name.startswith("gui:"):
            return gui.get(f"{name[4:]}/{size}")
        return core.get(f"{name}/{size}")

    floor = core_ms("BM_ReadAndUnscrambleEntries", 10000)
    lines = []
    lines.append(f"Machine: {platform.processor() or platform.machine()}, {os.cpu_count()} cores, "
                 f"{platform.system()} {platform.release()}. CPU time, median of "
                 f"{'1' if quick else '3'} repetitions.")
    lines.append("")
    lines.append("| Cost | 1,000 | 5,000 | 10,000 | growth 1k→10k | × floor | SQLite (10,000) "
                 "| × SQLite | with its match list (10,000) | target | met |")
    lines.append("|---|---|---|---|---|---|---|---|---|---|---|")
    missed = []
    for label, name, whole_name, query, vs_floor, target, check in ROWS:
        ms = [core_ms(name, n) for n in SIZES]
        at10k = ms[-1]
        whole = core_ms(whole_name, 10000) if whole_name else None
        p = peer.get(f"{query}/10000") if query else None
        growth = f"{ms[-1] / ms[0]:.1f}×" if ms[0] and ms[-1] else "–"
        xf = f"{at10k / floor:.2f}" if vs_floor and at10k else "–"
        xp = f"{at10k / p:.2f}" if p and at10k else "–"
        met = ""
        if check and at10k is not None:
            ok = check(at10k, floor, p if p else float("inf"), whole)
            met = "yes" if ok else "**no**"
            if not ok:
                missed.append(label)
        lines.append(f"| {label} | {fmt(ms[0])} | {fmt(ms[1])} | {fmt(ms[2])} | {growth} | {xf} "
                     f"| {fmt(p)} | {xp} | {fmt(whole) if whole else ''} | {target} | {met} |")
    layout = core.get("BM_PrintLayout")
    lines.append(f"| Print layout of one card | | | {fmt(layout)} | | | | | | | |")

    program_dir = os.path.join(build, "bin")
    runs = 3 if quick else 10
    with tempfile.TemporaryDirectory() as synth:
        subprocess.run([os.path.join(program_dir, "lithora-pack"), "synth", "10000", synth],
                       check=True, capture_output=True)
        for label, data_dir in (("bundled database", None), ("10,000 entries", synth)):
            wall, peak = startup(program_dir, data_dir, runs)
            ok = wall < 0.3 and peak < 100 * 1024
            lines.append(f"| Start-up to the first card, {label} (wall, peak memory) | | | "
                         f"{wall * 1000:.0f} ms, {peak / 1024:.0f} MB | | | | | | "
                         f"< 300 ms, < 100 MB | {'yes' if ok else '**no**'} |")
            if not ok:
                missed.append(f"start-up ({label})")
    print("\n".join(lines))
    print()
    print("Targets missed: " + (", ".join(missed) if missed else "none"))


if __name__ == "__main__":
    main()
