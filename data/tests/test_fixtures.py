"""The fixtures are cuts of the real raw data, not made-up rows: every row of them is a row of
the file in data/raw/ it was cut from (cut_fixtures.py makes them again)."""

import csv
import json
import os
import sqlite3

import pytest

from conftest import DATA, FIXTURE_RAW, fixture_path, make_amcsd
from cut_fixtures import csv_records

RAW = os.path.join(DATA, "raw")


def csv_rows(path):
    with open(path, encoding="utf-8", newline="") as f:
        return [tuple(r) for r in csv.reader(f)]


@pytest.mark.parametrize("fixture, source", [
    ("raw/rruff_ima_export_2025_with_hey.csv", "rruff_ima_export_2025_with_hey.csv"),
    ("raw/rruff_ima_export_2021-12-25.csv", "rruff_ima_export_2021-12-25.csv"),
    ("raw/rruff_point_space_group_2022-08.csv", "rruff_point_space_group_2022-08.csv"),
    ("raw/wikipedia_infobox_minerals_2023-01.csv", "wikipedia_infobox_minerals_2023-01.csv"),
    ("notes_2021.csv", "rruff_ima_export_2021-12-25.csv"),
])
def test_csv_fixtures_are_rows_of_the_raw_files(fixture, source):
    cut = csv_rows(fixture_path(fixture))
    raw = csv_rows(os.path.join(RAW, source))
    assert cut[0] == raw[0], "header differs"
    assert len(cut) > 1
    known = set(raw[1:])
    assert [r for r in cut[1:] if r not in known] == []
    # Copied byte for byte, line ends and quoting included.
    with open(os.path.join(RAW, source), encoding="utf-8", newline="") as f:
        raw_text = f.read()
    for text, _ in csv_records(fixture_path(fixture)):
        assert text in raw_text


def test_infobox_objects_are_objects_of_the_raw_file():
    with open(os.path.join(FIXTURE_RAW, "wikipedia_infobox_minerals_2016.json"),
              encoding="utf-8") as f:
        cut = json.load(f)
    with open(os.path.join(RAW, "wikipedia_infobox_minerals_2016.json"), encoding="utf-8") as f:
        raw = json.load(f)
    assert cut and all(o in raw for o in cut)


def test_gem_files_are_copies():
    d = os.path.join(FIXTURE_RAW, "gemmology_yaml")
    names = sorted(os.listdir(d))
    assert "quartz.yaml" in names and "LICENSE" in names
    for name in names:
        with open(os.path.join(d, name), "rb") as a, \
                open(os.path.join(RAW, "gemmology_yaml", name), "rb") as b:
            assert a.read() == b.read(), name


def test_registry_lines_are_lines_of_the_real_registry():
    with open(fixture_path("card_numbers.tsv"), encoding="utf-8") as f:
        cut = f.read().splitlines()
    with open(os.path.join(DATA, "card_numbers.tsv"), encoding="utf-8") as f:
        real = f.read().splitlines()
    assert cut[0] == real[0]
    assert set(cut) <= set(real)
    assert cut[-1] == real[-1]  # the highest number given


def test_structure_rows_are_rows_of_the_raw_database(tmp_path):
    cut = sqlite3.connect(make_amcsd(str(tmp_path / "cut.db")))
    raw = sqlite3.connect(f"file:{os.path.join(RAW, 'amcsd_amscif_trim.db')}?mode=ro", uri=True)
    tables = [t for (t,) in cut.execute("select name from sqlite_master where type='table'")]
    assert set(tables) == {"cif", "minerals", "spacegroups", "publications", "authors",
                           "publication_authors", "cif_elements"}
    for t in tables:
        (schema,) = cut.execute("select sql from sqlite_master where name=?", (t,)).fetchone()
        (raw_schema,) = raw.execute("select sql from sqlite_master where name=?", (t,)).fetchone()
        assert schema == raw_schema
        columns = [r[1] for r in cut.execute(f"pragma table_info({t})")]
        where = " and ".join(f"{c} is ?" for c in columns)
        rows = cut.execute(f"select * from {t}").fetchall()
        assert rows, t
        for row in rows:
            (n,) = raw.execute(f"select count(*) from {t} where {where}", row).fetchone()
            assert n >= 1, (t, row[:3])
    # Authors in the order the raw database lists them: the order of a reference.
    (ids,) = cut.execute("select group_concat(id) from cif").fetchone()
    query = ("select publication_id, author_id from publication_authors where publication_id "
             f"in (select publication_id from cif where id in ({ids})) order by rowid")
    assert cut.execute(query).fetchall() == raw.execute(query).fetchall()


@pytest.mark.parametrize("name", ["common-minerals.tsv", "extra-structures/SOURCES.tsv"])
def test_tsv_fixtures_are_lines_of_the_raw_files(name):
    with open(os.path.join(FIXTURE_RAW, name), encoding="utf-8", newline="") as f:
        cut = f.read().split("\n")
    with open(os.path.join(RAW, name), encoding="utf-8", newline="") as f:
        raw = f.read().split("\n")
    assert cut[0] == raw[0] and len(cut) > 2
    assert set(cut[1:]) <= set(raw[1:])


def test_structure_files_are_copies():
    d = os.path.join(FIXTURE_RAW, "extra-structures")
    names = [n for n in sorted(os.listdir(d)) if n.endswith(".cif")]
    assert names
    for name in names:
        with open(os.path.join(d, name), "rb") as a, \
                open(os.path.join(RAW, "extra-structures", name), "rb") as b:
            assert a.read() == b.read(), name
