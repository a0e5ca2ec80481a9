#!/usr/bin/env python3
"""Spot check of the bundled database against the raw sources it was built from.

    python3 spot_check.py PATH/TO/lithora-cli PATH/TO/data/raw

Reads the packed database beside lithora-cli (through `lithora-cli list` and `card N`, and an
unpacked copy made with the lithora-pack beside it) and compares it with what this test reads
itself from the raw files: the IMA exports, the AMCSD structure database and the Wikipedia
infobox table. Python standard library only.
"""

import csv
import html
import json
import math
import os
import re
import sqlite3
import subprocess
import sys
import tempfile
import unicodedata
import unittest

CLI = None
RAW = None

# Well-known species; the first ten are those every release must show correctly.
SPECIES = ["Quartz", "Calcite", "Pyrite", "Forsterite", "Muscovite", "Halite", "Gypsum",
           "Orthoclase", "Hematite", "Magnetite", "Fluorite", "Galena", "Corundum", "Almandine",
           "Diopside", "Albite", "Rutile", "Zircon", "Baryte", "Sphalerite", "Dolomite",
           "Aragonite", "Beryl", "Topaz", "Kyanite", "Diamond", "Anatase", "Cassiterite"]

CODED_LETTERS = {"č": "c", "ć": "c", "ň": "n", "ń": "n", "ě": "e", "ř": "r", "ő": "o", "Č": "C"}
# The records' codes for those letters; the list turns only the first kind of code in a name
# into its letter, so a name with two kinds still shows one code.
CODES = {"@CK": "c", "@CA": "c", "@NK": "n", "@NA": "n", "@EK": "e", "@RK": "r", "@OD": "o",
         "!CK": "C"}


# --- Reading the program's output and the raw files ----------------------------------------

def run(*args):
    out = subprocess.run([CLI, *args], capture_output=True, text=True, encoding="utf-8",
                         check=False)
    if out.returncode != 0:
        raise AssertionError(f"lithora-cli {' '.join(args)} failed: {out.stderr}")
    return json.loads(out.stdout)


_UNDECOMPOSED = {"ø": "o", "Ø": "O", "æ": "ae", "Æ": "AE", "œ": "oe", "Œ": "OE", "ß": "ss",
                 "ł": "l", "Ł": "L", "đ": "d", "Đ": "D"}


def fold(text):
    """Accents folded to the base letter (ø and the like, which Unicode does not decompose,
    included)."""
    text = "".join(_UNDECOMPOSED.get(c, c) for c in text)
    return "".join(c for c in unicodedata.normalize("NFKD", text)
                   if not unicodedata.combining(c))


def letters(name):
    """Letters and digits of a name, accents folded, lower case: how names are matched."""
    return re.sub(r"[^a-z0-9()+\-]", "", fold(html.unescape(re.sub(r"<[^>]+>", "", name)))
                  .lower())


def name_key(name):
    """A registry name or a name of the list, reduced to its letters: coded letters and codes
    as base letters, accents folded."""
    for code, letter in CODES.items():
        name = name.replace(code, letter)
    return letters("".join(CODED_LETTERS.get(c, c) for c in name))


def plain(markup):
    """RRUFF markup (_x_ subscripts, ^x^ superscripts, HTML) as plain text."""
    text = html.unescape(re.sub(r"<[^>]+>", "", markup.replace("[box]", "[]")))
    return text.replace("_", "").replace("^", "")


def read_csv(name):
    with open(os.path.join(RAW, name), encoding="utf-8", newline="") as f:
        return list(csv.DictReader(f))


def compact_symbol(symbol):
    return re.sub(r"[\s_]|%var\d+%", "", symbol)


def without_bars(symbol):
    return compact_symbol(symbol).replace("-", "")


def point_group_of(symbol):
    """The point group of a short H-M symbol, by the rules of the International Tables:
    lattice letter dropped, screw axes as rotations (a digit after a rotation digit is a screw
    subscript when it is smaller and the rotation is no rotoinversion), glide planes as
    mirrors."""
    s = compact_symbol(symbol)[1:]
    out, i = [], 0
    while i < len(s):
        ch = s[i]
        if ch.isdigit():
            bar = i > 0 and s[i - 1] == "-"
            out.append(ch)
            if not bar and i + 1 < len(s) and s[i + 1].isdigit() and s[i + 1] < ch:
                i += 1  # screw subscript
        elif ch in "abcdne":
            out.append("m")
        else:
            out.append(ch)
        i += 1
    return "".join(out)


def d_spacing(cell, h, k, l):
    a, b, c, al, be, ga = cell
    ca, cb, cg = (math.cos(math.radians(x)) for x in (al, be, ga))
    sa, sb, sg = (math.sin(math.radians(x)) for x in (al, be, ga))
    v = a * b * c * math.sqrt(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg)
    s11, s22, s33 = (b * c * sa) ** 2, (a * c * sb) ** 2, (a * b * sg) ** 2
    s12 = a * b * c * c * (ca * cb - cg)
    s23 = a * a * b * c * (cb * cg - ca)
    s13 = a * b * b * c * (cg * ca - cb)
    inv = (s11 * h * h + s22 * k * k + s33 * l * l + 2 * s12 * h * k + 2 * s23 * k * l
           + 2 * s13 * h * l) / (v * v)
    return 1 / math.sqrt(inv) if inv > 0 else float("inf")


def report_counts():
    """The "| `name` | count |" rows of docs/data.md."""
    path = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(RAW))), "docs",
                        "data.md")
    counts = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = re.match(r"\|\s*`([^`]+)`\s*\|\s*(\d+)\s*\|", line)
            if m:
                counts.setdefault(m.group(1), int(m.group(2)))
    return counts


class Database:
    """What the tests share: the list, the registry, the raw exports and the unpacked set."""
    _loaded = False

    @classmethod
    def load(cls):
        if cls._loaded:
            return cls
        cls.listing = run("list")
        cls.rows = cls.listing["rows"]
        cls.by_name = {r["Name"]: r for r in cls.rows}
        cls.new_export = read_csv("rruff_ima_export_2025_with_hey.csv")
        cls.new_by_name = {plain(r["Mineral Name"]): r for r in cls.new_export}
        cls.wiki = {r["name"]: r for r in read_csv("wikipedia_infobox_minerals_2023-01.csv")}
        with open(os.path.join(RAW, "wikipedia_infobox_minerals_2016.json"), encoding="utf-8") as f:
            cls.wiki2016 = {o["name"]: o for o in json.load(f)}
        cls.db = sqlite3.connect(f"file:{os.path.join(RAW, 'amcsd_amscif_trim.db')}?mode=ro",
                                 uri=True)
        registry = os.path.join(os.path.dirname(os.path.abspath(RAW)), "card_numbers.tsv")
        with open(registry, encoding="utf-8") as f:
            lines = f.read().splitlines()
        cls.registry = {}
        for line in lines[1:]:
            card, name = line.split("\t")
            cls.registry[name] = int(card)
        cls.tmp = tempfile.TemporaryDirectory()
        pack = os.path.join(os.path.dirname(CLI), "lithora-pack")
        index = os.path.join(os.path.dirname(CLI), "INDEX")
        out = subprocess.run([pack, "unpack", index, cls.tmp.name], capture_output=True,
                             text=True, check=False)
        if out.returncode != 0:
            raise AssertionError(f"lithora-pack unpack failed: {out.stderr}")
        cls.unpacked = {}
        for name in ("entries", "references", "optics"):
            with open(os.path.join(cls.tmp.name, f"{name}.tsv"), encoding="utf-8") as f:
                cls.unpacked[name] = [line.split("\t") for line in f.read().splitlines()]
        cls._loaded = True
        return cls

    @classmethod
    def structures_of(cls, name):
        """(a, b, c, alpha, beta, gamma, symbol, journal, volume, first page) of every structure
        of the species: the AMCSD's, and those of the separate structure files."""
        found = cls.db.execute(
            "select c.a, c.b, c.c, c.alpha, c.beta, c.gamma, s.hm_notation, p.journalname, "
            "p.volume, p.page_first from cif c join minerals m on m.id = c.mineral_id "
            "join spacegroups s on s.id = c.spacegroup_id "
            "join publications p on p.id = c.publication_id where lower(m.name) = lower(?)",
            (name,)).fetchall()
        return found + extra_structures_of(name)


def extra_structures_of(name):
    """The structures of data/raw/extra-structures filed under a species, read from the CIF
    keys as the AMCSD query gives them."""
    folder = os.path.join(RAW, "extra-structures")
    out = []
    with open(os.path.join(folder, "SOURCES.tsv"), encoding="utf-8") as f:
        for row in csv.DictReader(f, delimiter="\t"):
            if row["species"].lower() != name.lower():
                continue
            with open(os.path.join(folder, row["file"]), encoding="utf-8") as cif:
                text = cif.read()

            def key(k):
                m = re.search(r"^" + re.escape(k) + r"\s+(.+?)\s*$", text, re.M)
                return m.group(1).strip("'\"") if m else ""
            cell = [float(re.sub(r"\(.*", "", key(k))) for k in (
                "_cell_length_a", "_cell_length_b", "_cell_length_c", "_cell_angle_alpha",
                "_cell_angle_beta", "_cell_angle_gamma")]
            out.append((*cell, key("_symmetry_space_group_name_H-M"), key("_journal_name_full"),
                        key("_journal_volume"), key("_journal_page_first")))
    return out


# --- The tests -------------------------------------------------------------------------------

class WellKnownSpecies(unittest.TestCase):
    """Cards of well-known species agree with the raw sources."""

    @classmethod
    def setUpClass(cls):
        cls.d = Database.load()

    def card(self, name):
        row = self.d.by_name.get(name)
        self.assertIsNotNone(row, f"{name} is not in the list")
        return run("card", row["Card#"])["state"]

    def test_names_and_formulas_are_those_of_the_ima_export(self):
        for name in SPECIES:
            with self.subTest(species=name):
                raw = self.d.new_by_name[name]
                state = self.card(name)
                self.assertEqual(state["currentName"], name)
                self.assertEqual(state["currentFormula"], plain(raw["IMA Chemistry (concise)"]))
                formula_symbols = set(re.findall(r"[A-Z][a-z]?", state["currentFormula"]))
                self.assertTrue(set(state["currentElements"].split()) <= formula_symbols,
                                state["currentElements"])
                self.assertEqual(state["currentStatus"], "A")

    def test_crystal_system_and_space_group_agree_with_the_export(self):
        words = {"A": {"triclinic"}, "M": {"monoclinic"}, "O": {"orthorhombic"},
                 "Q": {"tetragonal"}, "C": {"cubic"}, "H": {"hexagonal"},
                 "H/R": {"hexagonal", "rhombohedral", "trigonal"},
                 "H/T": {"hexagonal", "trigonal"}}
        for name in SPECIES:
            with self.subTest(species=name):
                raw = self.d.new_by_name[name]
                state = self.card(name)
                code = state["currentCrystalSystemCode"]
                listed_systems = set(re.split(r"[|,]\s*", raw["Crystal System"]))
                self.assertTrue(words[code] & listed_systems, f"{code} vs {listed_systems}")
                symbol, number = re.match(r"(\S+)\s+\((\d+)\)",
                                          state["currentSpaceGroup"]).groups()
                listed = {without_bars(s) for s in re.split(r"[|,]\s*", raw["Space Group"])}
                self.assertIn(without_bars(symbol), listed)
                self.assertEqual(code, system_code(int(number), symbol))
                expected_class = point_group_of(symbol)
                shown = state["currentCrystalClass"].replace("-3 2/m", "-3m")
                self.assertEqual(compact_symbol(shown).replace("/", ""),
                                 short_point_group(expected_class))

    def test_cell_is_that_of_the_cited_structure_or_the_infobox(self):
        for name in SPECIES:
            with self.subTest(species=name):
                state = self.card(name)
                cell = [float(x) for x in state["currentCell"].split()]
                self.assertEqual(len(cell), 6)
                refs = " ".join(state["currentReferences"])
                cited = [s for s in self.d.structures_of(name)
                         if f"{s[7]} {s[8]}, {s[9]}" in refs]
                if state["currentDSpacingText"]:
                    self.assertTrue(cited, "lines without a cited structure")
                    # An article may hold several structures (a temperature series): one of
                    # them is the card's.
                    same = [s for s in cited
                            if all(abs(got - float(want)) <= tol for got, want, tol in
                                   zip(cell, s[:6], [6e-4] * 3 + [6e-3] * 3))]
                    self.assertTrue(same, f"{cell} is no cell of the cited article")
                    published = compact_symbol(same[0][6])
                    symbol = state["currentSpaceGroup"].split()[0]
                    self.assertIn(without_bars(symbol),
                                  {without_bars(published),
                                   without_bars(re.sub(r"^([PABCIF])1(.+)1$", r"\1\2",
                                                       published))})
                else:
                    self.assertEqual(self.d.structures_of(name), [],
                                     "a structure exists but the card has no lines")
                    text = self.d.wiki2016[name]["unit cell"]
                    for label, got in zip("abc", cell[:3]):
                        m = re.search(rf"\b{label}\s*=\s*(\d+\.\d+)", text)
                        if m:
                            self.assertAlmostEqual(got, float(m.group(1)), delta=6e-4)

    def test_strongest_line_belongs_to_the_cell(self):
        with_lines = 0
        for name in SPECIES:
            with self.subTest(species=name):
                state = self.card(name)
                if not state["currentDSpacingText"]:
                    continue
                with_lines += 1
                d = [float(x) for x in state["currentDSpacingText"].split()]
                i = [int(x) for x in state["currentIntensityText"].split()]
                self.assertEqual(len(d), len(i))
                self.assertEqual(i[0], 100)
                self.assertEqual(i, sorted(i, reverse=True))
                cell = [float(x) for x in state["currentCell"].split()]
                best = min(abs(d_spacing(cell, h, k, l) - d[0])
                           for h in range(-4, 5) for k in range(-4, 5) for l in range(-6, 7)
                           if (h, k, l) != (0, 0, 0))
                self.assertLess(best, 0.01, f"{d[0]} is no d(hkl) of {cell}")
        self.assertGreaterEqual(with_lines, 20)

    def test_physical_data_come_from_the_infobox(self):
        for name in SPECIES:
            wiki = self.d.wiki.get(name)
            if not wiki:
                continue
            with self.subTest(species=name):
                state = self.card(name)
                m = re.match(r"\s*(\d+(?:\.\d+)?)", wiki["mohs"])
                if m:
                    low = re.match(r"[\d.]+", state["currentMohs"])
                    self.assertIsNotNone(low, state["currentMohs"])
                    self.assertEqual(float(low.group(0)), float(m.group(1)))
                strunz = re.sub(r"^0", "", wiki["Strunz class"].strip())
                if re.match(r"\d+\.[A-Z]{2}\.\d+", strunz):
                    self.assertEqual(state["currentStrunzClass"], strunz)


def system_code(number, symbol):
    if number <= 2:
        return "A"
    if number <= 15:
        return "M"
    if number <= 74:
        return "O"
    if number <= 142:
        return "Q"
    if number <= 167:
        return "H/R" if symbol.startswith("R") else "H/T"
    if number <= 194:
        return "H"
    return "C"


def short_point_group(pg):
    """Point groups in their short form: 4/m-32/m -> m-3m, 2/m2/m2/m -> mmm, -32/m -> -3m."""
    pg = pg.replace("/", "")
    full_to_short = {"2m2m2m": "mmm", "4m-32m": "m-3m", "2m-3": "m-3", "-32m": "-3m",
                     "4m2m2m": "4mmm", "6m2m2m": "6mmm", "-3m1": "-3m", "-31m": "-3m",
                     "321": "32", "312": "32", "3m1": "3m", "31m": "3m", "-4m2": "-42m",
                     "-62m": "-6m2", "m-3": "m-3", "m-3m": "m-3m", "mmm": "mmm"}
    return full_to_short.get(pg, pg)


class TheWholeList(unittest.TestCase):
    """Order, completeness, card numbers and groups of the whole list."""

    @classmethod
    def setUpClass(cls):
        cls.d = Database.load()

    def test_rows_are_in_alphabetical_order(self):
        keys = [fold(r["Name"]).upper() for r in self.d.rows]
        for n, (a, b) in enumerate(zip(keys, keys[1:])):
            self.assertLessEqual(a, b, f"rows {n + 1} and {n + 2} out of order")

    def test_every_species_of_the_newer_export_is_listed_as_approved(self):
        listed = {}
        for r in self.d.rows:
            listed.setdefault(name_key(r["Name"]), []).append(r["Status"])
        for raw in self.d.new_export:
            key = letters(raw["Mineral Name"])
            if key not in listed:
                key = letters(raw["Mineral Name (plain)"])
            with self.subTest(species=raw["Mineral Name"]):
                self.assertIn(key, listed)
                self.assertIn("A", listed[key])

    def test_card_numbers_are_those_of_the_registry(self):
        by_key = {name_key(n): c for n, c in self.d.registry.items()}
        self.assertEqual(len(by_key), len(self.d.registry), "registry names not distinct")
        self.assertEqual(len(set(self.d.registry.values())), len(self.d.registry))
        for r in self.d.rows:
            with self.subTest(name=r["Name"]):
                self.assertEqual(int(r["Card#"]), by_key[name_key(r["Name"])])

    def test_group_entries_list_their_members_only(self):
        group_rows = [r for r in self.d.rows if r["Status"] == "GROUP"]
        self.assertGreaterEqual(len(group_rows), 30)
        captions = self.d.listing["groups"]
        self.assertEqual(len(captions), len(group_rows))
        for r in group_rows:
            with self.subTest(group=r["Group"]):
                members = run("list", "--group", r["Group"])["rows"]
                species = [m for m in members if m["Status"] != "GROUP"]
                self.assertGreaterEqual(len(species), 15)
                g = r["Group"].upper()
                for m in members:
                    mg = m["Group"].upper()
                    self.assertTrue(mg == g or mg.startswith(g + "-"),
                                    f"{m['Name']} ({m['Group']}) listed under {r['Group']}")

    def test_data_report_counts_match_the_packed_set(self):
        counts = report_counts()
        entries = self.d.unpacked["entries"]
        header, body = entries[0], entries[1:]
        self.assertEqual(len(body), len(self.d.rows))
        for column, name in enumerate(header):
            if name == "card":
                continue
            with self.subTest(field=name):
                filled = sum(1 for row in body if row[column].strip())
                self.assertEqual(counts.get(name), filled)
        for status in ("A", "R", "D", "GROUP"):
            with self.subTest(status=status):
                self.assertEqual(counts.get(status),
                                 sum(1 for r in self.d.rows if r["Status"] == status))
        self.assertEqual(counts.get("references"), len(self.d.unpacked["references"]) - 1)
        self.assertEqual(counts.get("optical records"), len(self.d.unpacked["optics"]) - 1)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    CLI = os.path.abspath(sys.argv[1])
    RAW = os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)
