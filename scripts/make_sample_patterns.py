#!/usr/bin/env python3
"""Writes the sample patterns of the guide (help/samples/) from the bundled database's lines.

Usage: scripts/make_sample_patterns.py

quartz-calcite.xy is a synthetic Cu Kα profile of 70 % quartz and 30 % calcite: pseudo-Voigt
peaks 0.12° wide on a falling background, with counting noise, a zero error of +0.02° and
intensities a little off, as a laboratory measurement would give. quartz-calcite-peaks.txt is
the same mixture as a typed peak list (d and intensity). The numbers come from a fixed seed, so
the files are the same on every run.
"""

import csv
import math
import os
import random

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ENTRIES = os.path.join(ROOT, "data", "lithora", "entries.tsv")
OUT = os.path.join(ROOT, "help", "samples")
CU = 1.5406


def lines_of(name):
    with open(ENTRIES, encoding="utf-8", newline="") as f:
        for row in csv.DictReader(f, delimiter="\t"):
            if row["name"] == name:
                d = [float(x) for x in row["d_spacings"].split()]
                i = [float(x) for x in row["intensities"].split()]
                return list(zip(d, i))
    raise SystemExit(f"{name} is not in {ENTRIES}")


def two_theta(d):
    return 2 * math.degrees(math.asin(CU / (2 * d)))


def main():
    rng = random.Random(4550814)
    phases = [(lines_of("Quartz"), 0.7), (lines_of("Calcite"), 0.3)]
    peaks = []
    for lines, share in phases:
        for d, i in lines:
            peaks.append((two_theta(d) + 0.02, share * i * rng.uniform(0.85, 1.15)))
    os.makedirs(OUT, exist_ok=True)
    width = 0.12
    with open(os.path.join(OUT, "quartz-calcite.xy"), "w", encoding="utf-8") as f:
        f.write("# Synthetic Cu Ka profile: 70 % quartz, 30 % calcite (Lithora sample)\n")
        f.write("# 2theta counts\n")
        steps = int((80.0 - 10.0) / 0.02) + 1
        for k in range(steps):
            x = 10.0 + 0.02 * k
            y = 120.0 + 900.0 * math.exp(-x / 12.0)
            for centre, height in peaks:
                t = (x - centre) / (width / 2)
                y += 40.0 * height * (0.5 / (1 + t * t) + 0.5 * math.exp(-math.log(2) * t * t))
            y = max(0.0, rng.gauss(y, math.sqrt(y)))
            f.write(f"{x:.2f} {y:.0f}\n")
    with open(os.path.join(OUT, "quartz-calcite-peaks.txt"), "w", encoding="utf-8") as f:
        f.write("# 70 % quartz, 30 % calcite: d (Å) and intensity\n")
        strongest = max(h for _, h in peaks)
        for centre, height in sorted(peaks):
            d = CU / (2 * math.sin(math.radians(centre / 2)))
            f.write(f"{d:.4f} {100 * height / strongest:.0f}\n")


if __name__ == "__main__":
    main()
