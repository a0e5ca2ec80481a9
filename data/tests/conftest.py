"""Shared fixtures of the data builder's tests: the builder on the import path, the cut raw
data of fixtures/raw/ (with its AMCSD rows turned back into an SQLite file) and the space-group
table, which takes a moment to make."""

import os
import shutil
import sqlite3
import sys

import pytest

TESTS = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.dirname(TESTS)
FIXTURES = os.path.join(TESTS, "fixtures")
FIXTURE_RAW = os.path.join(FIXTURES, "raw")
sys.path.insert(0, DATA)


def fixture_path(*parts):
    return os.path.join(FIXTURES, *parts)


def make_amcsd(path):
    """The fixture's AMCSD rows as an SQLite file at path, the way the raw database has them."""
    with open(os.path.join(FIXTURE_RAW, "amcsd.sql"), encoding="utf-8") as f:
        script = f.read()
    db = sqlite3.connect(path)
    db.executescript(script)
    db.commit()
    db.close()
    return path


@pytest.fixture(scope="session")
def raw_dir(tmp_path_factory):
    """A miniature of data/raw/: the fixture's files and amcsd_amscif_trim.db made from its
    SQL script."""
    d = tmp_path_factory.mktemp("raw")
    for name in os.listdir(FIXTURE_RAW):
        src = os.path.join(FIXTURE_RAW, name)
        if os.path.isdir(src):
            shutil.copytree(src, d / name)
        elif name != "amcsd.sql":
            shutil.copyfile(src, d / name)
    make_amcsd(str(d / "amcsd_amscif_trim.db"))
    return d


@pytest.fixture(scope="session")
def amcsd(raw_dir):
    """The fixture's structures as the builder reads them: {folded name: [CifRecord]}."""
    structures = pytest.importorskip("builder.structures")
    return structures.load_amcsd(str(raw_dir / "amcsd_amscif_trim.db"))


@pytest.fixture(scope="session")
def table():
    symmetry = pytest.importorskip("builder.symmetry")
    return symmetry.SettingTable()
