#!/usr/bin/python3
"""Cuts the test fixtures of the data builder out of the real raw files in data/raw/.

    /usr/bin/python3 data/tests/cut_fixtures.py

writes data/tests/fixtures/raw/, a miniature of data/raw/ holding only the rows of a few
species (and the rows that reach them through former names, infoboxes, gem files, structures,
structure files and the common-minerals list), data/tests/fixtures/card_numbers.tsv, the lines
of the real registry for those names, and data/tests/fixtures/notes_2021.csv, rows of the older export whose localities and
status notes need cleaning up. CSV rows are copied byte for byte, the JSON objects as they are, the AMCSD rows
as an SQL script (the tests turn it back into an SQLite file). test_fixtures.py checks that
every fixture row is still a row of the raw data.
"""

import json
import os
import shutil
import sqlite3
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.dirname(HERE)
RAW = os.path.join(DATA, "raw")
OUT = os.path.join(HERE, "fixtures")
sys.path.insert(0, DATA)

from builder import encyclopaedia  # noqa: E402
from builder.text import match_key  # noqa: E402

# Species of the newer export: the three minerals whose powder lines are checked against
# published ones, renamed species and their former names, a name the export damages, names
# with letters the records cannot hold, a species with neither structure nor space group
# data beyond the exports, the last name of the newer copy; corundum, the reference of I/Ic;
# struvite, whose structure comes from a separate file; two species whose structures the AMCSD
# files under the older name Tetrahedrite.
NEW_NAMES = ["Abelsonite", "Burbankite", "Calcite", "Corundum", "Gismondine-Ca", "Halite",
             "Halloysite", "Hydrohalloysite", "Kozłowskiite", "Nioboixiolite-(◻)",
             "PaulišÂ¡ite", "Petříčekite", "Quartz", "Struvite", "Tetrahedrite-(Fe)",
             "Tetrahedrite-(Zn)", "Zugshunstite-(Ce)"]
# Names of the older export: the same species, the former names, a name that sorts after the
# end of the newer copy and a name dropped with no successor.
OLD_NAMES = ["Abelsonite", "Burbankite", "Calcite", "Corundum", "Gismondine", "Halite",
             "Halloysite-10Å", "Halloysite-7Å", "Petříčekite", "Quartz", "Sicklerite",
             "Struvite", "Tetrahedrite-(Fe)", "Tetrahedrite-(Zn)", "Zugshunstite-(Ce)",
             "Zunyite"]
# AMCSD structures: those of Gismondine, Halloysite and Sicklerite whole; for quartz,
# calcite and halite the one the build takes beside one it must pass over (quartz at 4 GPa,
# a computed calcite, halite at 50 K); and an arsenopyrite whose symbol contradicts its
# operators; a calcite on rhombohedral axes.
CIF_IDS = [6362, 11008, 9890, 8879, 3397, 7951, 20103, 18093, 18094, 19731, 19732, 19733,
           16964, 17650]
# The structures the build takes for corundum and for the minerals whose I/Ic is checked
# against published values (zincite, rutile, eskolaite, gypsum, magnetite, silicon), and the
# three structures of the AMCSD's Tetrahedrite: one fits Tetrahedrite-(Fe), one
# Tetrahedrite-(Zn), one neither clearly.
CIF_IDS += [9325, 5203, 19092, 17803, 4651, 20589, 11243, 964, 14607, 14608]
# Structure files of extra-structures/ the whole build on the fixtures reads.
EXTRA_FILES = ["struvite.cif"]
# Rows of the older export for the clean-up of localities and status-note citations: a
# locality with a doubled blank, "?" and "unknown" for none; a caption before a citation, a
# journal name that holds a comma, markup and brackets in a title, a note of prose alone.
NOTE_NAMES = ["Abernathyite", "Acuminite", "Aeschynite-(Y)", "Alum-(Na)", "Amstallite",
              "Arsenbrackebuschite", "Arsenic"]
# The plain-letter spellings of names the export damages.
PLAIN_NAMES = ["Paulisite"]
GEM_FILES = ["calcite.yaml", "corundum.yaml", "halite.yaml", "quartz.yaml", "LICENSE"]


def csv_records(path):
    """The header and the records of a CSV file as (raw text, first field), the raw text
    exactly as in the file."""
    import csv
    with open(path, encoding="utf-8", newline="") as f:
        text = f.read()
    lines = [line + "\n" for line in text.split("\n")]
    if text.endswith("\n"):
        lines.pop()
    else:
        lines[-1] = lines[-1][:-1]
    reader = csv.reader(iter(lines))
    out, start = [], 0
    for row in reader:
        out.append(("".join(lines[start:reader.line_num]), row[0] if row else ""))
        start = reader.line_num
    return out


def cut_csv(name, keep, out_name=None):
    records = csv_records(os.path.join(RAW, name))
    header, body = records[0], records[1:]
    chosen = [raw for raw, first in body if keep(first)]
    out = os.path.join(OUT, out_name) if out_name else os.path.join(OUT, "raw", name)
    with open(out, "w", encoding="utf-8", newline="") as f:
        f.write(header[0] + "".join(chosen))
    return chosen


def cut_tsv(name, keep):
    """The header and the lines of a tab-separated file whose first field keep accepts, byte
    for byte."""
    with open(os.path.join(RAW, name), encoding="utf-8", newline="") as f:
        lines = f.read().split("\n")
    chosen = [line for line in lines[1:] if line and keep(line.split("\t", 1)[0])]
    with open(os.path.join(OUT, "raw", name), "w", encoding="utf-8", newline="") as f:
        f.write("\n".join([lines[0]] + chosen) + "\n")
    return chosen


def cut_amcsd():
    src = sqlite3.connect(f"file:{os.path.join(RAW, 'amcsd_amscif_trim.db')}?mode=ro", uri=True)
    dst = sqlite3.connect(":memory:")
    tables = ["minerals", "spacegroups", "authors", "publications", "publication_authors",
              "cif", "cif_elements"]
    for t in tables:
        (sql,) = src.execute("select sql from sqlite_master where type='table' and name=?",
                             (t,)).fetchone()
        dst.execute(sql)
    ids = ",".join(str(i) for i in CIF_IDS)

    def copy(table, where):
        rows = src.execute(f"select * from {table} where {where} order by rowid").fetchall()
        if rows:
            marks = ",".join("?" * len(rows[0]))
            dst.executemany(f"insert into {table} values ({marks})", rows)

    copy("cif", f"id in ({ids})")
    copy("cif_elements", f"cast(cif_id as integer) in ({ids})")
    copy("minerals", f"id in (select mineral_id from cif where id in ({ids}))")
    copy("spacegroups", f"id in (select spacegroup_id from cif where id in ({ids}))")
    pubs = f"(select publication_id from cif where id in ({ids}))"
    copy("publications", f"id in {pubs}")
    copy("publication_authors", f"publication_id in {pubs}")
    copy("authors", f"id in (select author_id from publication_authors "
                    f"where publication_id in {pubs})")
    dst.commit()
    with open(os.path.join(OUT, "raw", "amcsd.sql"), "w", encoding="utf-8", newline="\n") as f:
        for line in dst.iterdump():
            f.write(line + "\n")


def main():
    if os.path.isdir(os.path.join(OUT, "raw")):
        shutil.rmtree(os.path.join(OUT, "raw"))
    os.makedirs(os.path.join(OUT, "raw", "gemmology_yaml"))
    os.makedirs(os.path.join(OUT, "raw", "extra-structures"))
    new = set(NEW_NAMES)
    old = set(OLD_NAMES)
    species_keys = {match_key(n) for n in NEW_NAMES + OLD_NAMES}
    counts = {
        "new export": cut_csv("rruff_ima_export_2025_with_hey.csv", lambda n: n in new),
        "old export": cut_csv("rruff_ima_export_2021-12-25.csv", lambda n: n in old),
        "space groups": cut_csv("rruff_point_space_group_2022-08.csv",
                                lambda n: match_key(n) in species_keys),
        "infobox table": cut_csv("wikipedia_infobox_minerals_2023-01.csv",
                                 lambda n: encyclopaedia.wiki_key(n) in species_keys),
    }
    counts["older export, notes"] = cut_csv("rruff_ima_export_2021-12-25.csv",
                                            lambda n: n in NOTE_NAMES, "notes_2021.csv")
    counts = {k: len(v) for k, v in counts.items()}
    with open(os.path.join(RAW, "wikipedia_infobox_minerals_2016.json"), encoding="utf-8") as f:
        objects = [o for o in json.load(f) if encyclopaedia.wiki_key(o["name"]) in species_keys]
    with open(os.path.join(OUT, "raw", "wikipedia_infobox_minerals_2016.json"), "w",
              encoding="utf-8", newline="\n") as f:
        json.dump(objects, f, ensure_ascii=False, indent="\t")
        f.write("\n")
    counts["infobox objects"] = len(objects)
    for name in GEM_FILES:
        shutil.copyfile(os.path.join(RAW, "gemmology_yaml", name),
                        os.path.join(OUT, "raw", "gemmology_yaml", name))
    cut_amcsd()
    counts["structures"] = len(CIF_IDS)
    counts["structure files"] = len(cut_tsv(os.path.join("extra-structures", "SOURCES.tsv"),
                                            lambda n: n in EXTRA_FILES))
    for name in EXTRA_FILES:
        shutil.copyfile(os.path.join(RAW, "extra-structures", name),
                        os.path.join(OUT, "raw", "extra-structures", name))
    counts["common minerals"] = len(cut_tsv("common-minerals.tsv",
                                            lambda n: match_key(n) in species_keys))
    with open(os.path.join(DATA, "card_numbers.tsv"), encoding="utf-8") as f:
        lines = f.read().splitlines()
    # The real registry's lines for the fixture's names (as the records store them: the
    # plain-letter column's spelling where the export's is damaged), and its last line: a
    # number held by a name the fixture does not build.
    keys = species_keys | {match_key(n) for n in PLAIN_NAMES}
    kept = [lines[0]] + [l for l in lines[1:-1] if match_key(l.split("\t", 1)[1]) in keys]
    kept.append(lines[-1])
    with open(os.path.join(OUT, "card_numbers.tsv"), "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(kept) + "\n")
    counts["registry lines"] = len(kept) - 1
    for k, v in counts.items():
        print(f"{k}: {v}")


if __name__ == "__main__":
    main()
