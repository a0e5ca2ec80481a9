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
            first = candidates[0]["name"] if candidates else "-"
            print(f"{row['file'][:48]:<48} {'(mixture)':<22} {'':>4} {'':>5} {'':>4} "
                  f"{'':>7} {'':>8} {'':>7}  {first}  [{species}]")
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
    print(f"{elapsed:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
