#!/usr/bin/env python3
"""Identification on measured powder patterns: runs `lithora-cli identify --file` on every
single-phase profile of a folder of measured patterns (a MANIFEST.tsv beside a files/ folder,
as ../shared/real-patterns holds them) and prints, per file, the rank of the true species, its
probability and the fitted faults, then the totals.

A species counts as found at the rank of the first candidate that is it, or that shares a group
the data cannot tell apart with it. A name in square brackets in the manifest is a group or a
series: any member counts (the words before the bracket, or the names listed in it). A species
is "in the library" when the data set holds an entry of that name with diffraction lines.

Not a test: a user's clone has no measured patterns. Run it on a build:

    python3 scripts/real_patterns_report.py --patterns ../shared/real-patterns
"""
import argparse
import csv
import json
import re
import subprocess
import sys
import time
from pathlib import Path


def cli(args, command):
    out = subprocess.run([args.cli, "--data", args.data] + command, capture_output=True,
                         text=True, check=False)
    if out.returncode not in (0, 3):  # 3: nothing found
        raise RuntimeError(f"{' '.join(command)}: {out.stderr.strip()}")
    return json.loads(out.stdout)


def accepted_names(species):
    """The lower-case names that count as the species, and whether any name containing the
    root counts (a series or root name such as hornblende)."""
    bracket = re.search(r"\[(.*)\]", species)
    root = species.split("[")[0].strip().lower()
    if not bracket:
        return {root}, False
    names = {root} if root else set()
    inside = bracket.group(1)
    listed = re.match(r"\s*([A-Za-z/-]+)", inside)
    if listed and "/" in listed.group(1):
        names |= {n.strip().lower() for n in listed.group(1).split("/")}
    return names, True


def is_species(name, names, series):
    name = name.lower()
    if name in names:
        return True
    return series and any(n and n in name for n in names)


def library(args):
    """Names of the entries with diffraction lines, lower case, mapped to card numbers."""
    rows = cli(args, ["list"])["rows"]
    return {r["Name"].lower(): int(r["Card#"]) for r in rows}


def has_lines(args, card):
    try:
        return len(cli(args, ["pattern", str(card)]).get("lines", [])) > 0
    except RuntimeError:
        return False


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--patterns", default="../shared/real-patterns",
                   help="folder with MANIFEST.tsv and files/")
    p.add_argument("--cli", default="build/bin/lithora-cli")
    p.add_argument("--data", default="build/bin/INDEX")
    p.add_argument("--top", type=int, default=20)
    p.add_argument("--mixtures", action="store_true", help="list the mixtures' first answers too")
    args = p.parse_args()

    folder = Path(args.patterns)
    with open(folder / "MANIFEST.tsv", newline="", encoding="utf-8") as f:
        rows = list(csv.DictReader(f, delimiter="\t"))
    names = library(args)

    print(f"{'file':<48} {'species':<22} {'rank':>4} {'P':>5} {'conf':>4} "
          f"{'zero':>7} {'disp mm':>8} {'latt %':>7}  first")
    counts = {"single": 0, "inLibrary": 0, "first": 0, "top3": 0, "firstAll": 0,
              "confidentRight": 0, "confidentWrong": 0}
    misses = []
    mixtures = []
    started = time.monotonic()
    for row in rows:
        species = row["species"]
        if " + " in species and not args.mixtures:
            continue
        mixture = " + " in species
        command = ["identify", "--file", str(folder / "files" / row["file"]),
                   "--wavelength", row["wavelength_A"], "--top", str(args.top)]
        answer = cli(args, command)
        candidates = answer.get("candidates", [])
        if mixture:
            mixtures.append((row, answer))
            continue
        counts["single"] += 1
        accepted, series = accepted_names(species)
        in_library = any(has_lines(args, card) for name, card in names.items()
                         if is_species(name, accepted, series))
        counts["inLibrary"] += in_library
        rank, hit = None, None
        for c in candidates:
            group = c.get("group", 0)
            same_group = group > 0 and any(
                o.get("group") == group and is_species(o["name"], accepted, series)
                for o in candidates)
            if is_species(c["name"], accepted, series) or same_group:
                rank, hit = c["rank"], c
                break
        confident = bool(answer.get("confident"))
        if rank == 1:
            counts["firstAll"] += 1
            counts["first"] += in_library
            counts["confidentRight"] += confident
        elif confident:
            counts["confidentWrong"] += 1
        if rank is not None and rank <= 3:
            counts["top3"] += in_library
        if in_library and rank != 1:
            misses.append(row["file"])
        fit = (hit or (candidates[0] if candidates else {})).get("fit", {})
        probability = f"{100 * hit['probability']:.0f}%" if hit else "-"
        first = candidates[0]["name"] if candidates else "-"
        print(f"{row['file'][:48]:<48} {species[:22]:<22} "
              f"{(str(rank) if rank else '-'):>4} "
              f"{probability:>5} "
              f"{('yes' if confident else 'no'):>4} "
              f"{fit.get('zeroDegrees', 0):>7.3f} {fit.get('displacementMm', 0):>8.3f} "
              f"{fit.get('latticePercent', 0):>7.2f}  {first}"
              f"{'' if in_library else '  (not in the library)'}")
    elapsed = time.monotonic() - started
    n = counts["inLibrary"]
    print()
    print(f"single-phase patterns: {counts['single']}, of them in the library: {n}")
    if n:
        print(f"in-library species first: {counts['first']} of {n} "
              f"({100 * counts['first'] / n:.0f} %); in the top 3: {counts['top3']} of {n}")
    print(f"first over all single-phase patterns: {counts['firstAll']} of {counts['single']}")
    print(f"confident answers: {counts['confidentRight']} right, {counts['confidentWrong']} wrong")
    if misses:
        print("in-library species not first: " + ", ".join(misses))
    if mixtures:
        report_mixtures(args, names, mixtures)
    print(f"{elapsed:.1f} s")
    return 0


def weighed(row):
    """The weighed fractions of a mixture's phases by name (wt %), when its note gives them; the
    same for each when the source says equal weights; None when not given."""
    species = [s.strip() for s in row["species"].split(" + ")]
    given = dict(re.findall(r"([A-Z][A-Za-z-]+) \([^)]*\) (0\.\d+)", row["note"]))
    if given and all(s in given for s in species):
        total = sum(float(given[s]) for s in species)
        return {s: 100 * float(given[s]) / total for s in species}
    if "equal weights" in row["note"]:
        return {s: 100 / len(species) for s in species}
    return None


def report_mixtures(args, names, mixtures):
    """The phases the automatic search found in each measured mixture, against the truth."""
    print()
    print(f"{'mixture':<48} phases found (wt %, ± its uncertainty); [missed]; +false")
    counts = {"phases": 0, "found": 0, "major": 0, "majorFound": 0, "false": 0, "amounts": 0}
    errors = []
    for row, answer in mixtures:
        truth = [s.strip() for s in row["species"].split(" + ")]
        amounts = weighed(row)
        found = answer.get("mixture", {}).get("phases", [])
        words, hits = [], set()
        for phase in found:
            names_of = [phase["name"]] + phase.get("alternatives", [])
            match = next((t for t in truth
                          if any(is_species(n, *accepted_names(t)) for n in names_of)), None)
            amount = ("" if phase.get("weightPercent") is None
                      else f" {phase['weightPercent']:.0f}±{phase['weightSigma']:.0f}")
            if match is None:
                counts["false"] += 1
                words.append(f"+{phase['name']}{amount}")
                continue
            hits.add(match)
            words.append(f"{phase['name']}{amount}")
            if amounts and phase.get("weightPercent") is not None:
                errors.append((abs(phase["weightPercent"] - amounts[match]),
                               "equal weights" not in row["note"]))
        for t in truth:
            accepted, series = accepted_names(t)
            held = any(has_lines(args, card) for name, card in names.items()
                       if is_species(name, accepted, series))
            if not held:
                words.append(f"({t} not in the library)")
                continue
            counts["phases"] += 1
            counts["found"] += t in hits
            # Amounts not given count as major: the sources mix a few reagents each.
            if amounts is None or amounts[t] >= 10:
                counts["major"] += 1
                counts["majorFound"] += t in hits
            if t not in hits:
                words.append(f"[{t}]")
        print(f"{row['file'][:48]:<48} {'; '.join(words)}")
    n = len(mixtures)
    print()
    print(f"mixtures: {n}; phases the library holds: {counts['phases']}, found {counts['found']}")
    if counts["major"]:
        print(f"phases of 10 wt % or more (or amount not given): {counts['majorFound']} of "
              f"{counts['major']} ({100 * counts['majorFound'] / counts['major']:.0f} %)")
    print(f"false phases: {counts['false']} ({counts['false'] / max(n, 1):.2f} a pattern)")
    for label, kept in (("weighed (fractions in the file name)", [e for e, w in errors if w]),
                        ("said to be equal weights", [e for e, w in errors if not w]),
                        ("all", [e for e, _ in errors])):
        if kept:
            print(f"amounts against the truth, {label}: off by {sum(kept) / len(kept):.1f} wt % "
                  f"on average ({len(kept)} phases)")


if __name__ == "__main__":
    sys.exit(main())
