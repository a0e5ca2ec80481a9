"""The whole build, data/build_database.py, on the cut raw data of fixtures/raw/: the rows it
writes (entries, references, optics, whole patterns) are those of the committed database for
the same names, a second build writes the same bytes, and card numbers hold from build to
build."""

import os
import shutil
import subprocess
import sys

import pytest

pytest.importorskip("pymatgen")
pytest.importorskip("yaml")

from conftest import DATA, fixture_path  # noqa: E402

SCRIPT = os.path.join(DATA, "build_database.py")


def read_tsv(path):
    with open(path, encoding="utf-8", newline="") as f:
        lines = f.read().split("\n")
    assert lines[-1] == ""
    return lines[0].split("\t"), [l.split("\t") for l in lines[1:-1]]


def run_build(raw_dir, out_dir, registry, *extra):
    out_dir.mkdir(exist_ok=True)
    result = subprocess.run(
        [sys.executable, SCRIPT, "--raw", str(raw_dir), "--out", str(out_dir / "lithora"),
         "--registry", str(registry), "--report", str(out_dir / "data.md"), "--jobs", "1",
         *extra], capture_output=True, text=True, timeout=300)
    assert result.returncode == 0, result.stderr
    return result.stdout


def file_bytes(*paths):
    out = []
    for p in paths:
        with open(p, "rb") as f:
            out.append(f.read())
    return out


@pytest.fixture(scope="module")
def first(raw_dir, tmp_path_factory):
    d = tmp_path_factory.mktemp("build1")
    registry = d / "card_numbers.tsv"
    shutil.copyfile(fixture_path("card_numbers.tsv"), registry)
    log = run_build(raw_dir, d, registry)
    return d, registry, log


@pytest.fixture(scope="module")
def committed():
    tables = {}
    for name in ("entries", "references", "optics", "patterns"):
        tables[name] = read_tsv(os.path.join(DATA, "lithora", f"{name}.tsv"))
    return tables


class TestFirstBuild:
    def test_the_log(self, first):
        _, _, log = first
        assert "written: 22 entries" in log
        assert "structures: 14 species with candidates, 14 with a structure" in log
        assert "renamed: 3" in log and "dropped: 1" in log
        assert "and 1 of separate files" in log

    def test_rows_are_the_committed_rows_of_the_same_names(self, first, committed):
        d, _, _ = first
        header, rows = read_tsv(d / "lithora" / "entries.tsv")
        c_header, c_rows = committed["entries"]
        assert header == c_header
        by_name = {r[1]: r for r in c_rows}
        assert len(rows) == 22
        for row in rows:
            assert row == by_name[row[1]], row[1]

    def test_references_and_optics_are_the_committed_ones(self, first, committed):
        d, _, _ = first
        _, rows = read_tsv(d / "lithora" / "entries.tsv")
        cards = {r[0] for r in rows}
        for name in ("references", "optics", "patterns"):
            header, got = read_tsv(d / "lithora" / f"{name}.tsv")
            c_header, c_rows = committed[name]
            assert header == c_header
            assert got == [r for r in c_rows if r[0] in cards], name
            assert got  # quartz has references; quartz, calcite, halite optics

    def test_the_powder_lines_of_quartz_halite_and_calcite(self, first):
        d, _, _ = first
        header, rows = read_tsv(d / "lithora" / "entries.tsv")
        e = {r[1]: dict(zip(header, r)) for r in rows}
        assert e["Quartz"]["d_spacings"].split()[:2] == ["3.343", "4.255"]
        assert e["Halite"]["d_spacings"].split()[:2] == ["2.820", "1.994"]
        assert e["Calcite"]["d_spacings"].split()[0] == "3.036"
        assert e["Quartz"]["intensities"].split()[0] == "100"
        assert (e["Calcite"]["sg_number"], e["Calcite"]["crystal_system"],
                e["Calcite"]["z"]) == ("167", "H/R", "6")

    def test_a_renamed_species_and_its_former_name(self, first):
        d, _, _ = first
        header, rows = read_tsv(d / "lithora" / "entries.tsv")
        e = {r[1]: dict(zip(header, r)) for r in rows}
        old, new = e["Gismondine"], e["Gismondine-Ca"]
        assert (old["status"], new["status"]) == ("R", "A")
        assert (old["card"], new["card"]) == ("2044", "2045")
        assert "the species is now Gismondine-Ca" in old["notes"]
        assert "filed in the AMCSD under the former name Gismondine" in new["notes"]

    def test_structures_filed_elsewhere(self, first):
        d, _, _ = first
        header, rows = read_tsv(d / "lithora" / "entries.tsv")
        e = {r[1]: dict(zip(header, r)) for r in rows}
        # The AMCSD's Tetrahedrite: Fe-dominant to -(Fe), Zn-dominant to -(Zn).
        for name in ("Tetrahedrite-(Fe)", "Tetrahedrite-(Zn)"):
            assert "under the older name Tetrahedrite" in e[name]["notes"]
            assert e[name]["d_spacings"] and e[name]["sg_number"] == "217"
        # Struvite from its structure file, with its database number.
        assert "Ferraris et al. (1986) (COD 9007674)" in e["Struvite"]["notes"]
        _, refs = read_tsv(d / "lithora" / "references.tsv")
        assert any(r[0] == e["Struvite"]["card"] and "Neutron diffraction study" in r[1]
                   for r in refs)

    def test_the_registry_is_unchanged_when_no_name_is_new(self, first):
        _, registry, _ = first
        assert file_bytes(registry) == file_bytes(fixture_path("card_numbers.tsv"))

    def test_the_report_counts_the_rows_written(self, first):
        d, _, _ = first
        with open(d / "data.md", encoding="utf-8") as f:
            report = f.read()
        assert "22 entries in all." in report
        assert "| `A` | 18 |" in report and "| `R` | 3 |" in report
        assert "| `D` | 1 |" in report
        assert "Data build of 2026-12-06" in report


def test_a_second_build_writes_the_same_bytes(first, raw_dir, tmp_path):
    d, registry, _ = first
    again = tmp_path / "card_numbers.tsv"
    shutil.copyfile(registry, again)
    run_build(raw_dir, tmp_path, again)
    names = ["lithora/entries.tsv", "lithora/references.tsv", "lithora/optics.tsv",
             "lithora/patterns.tsv", "data.md"]
    assert file_bytes(*(tmp_path / n for n in names)) == file_bytes(*(d / n for n in names))
    assert file_bytes(again) == file_bytes(registry)


def test_new_names_get_numbers_above_the_highest_ever_given(first, raw_dir, tmp_path):
    d, _, _ = first
    registry = tmp_path / "card_numbers.tsv"
    with open(fixture_path("card_numbers.tsv"), encoding="utf-8") as f:
        lines = f.read().splitlines()
    # A registry that has never seen Quartz and Calcite; Zýkaite (6100) is not built.
    registry.write_text("\n".join(l for l in lines if not l.endswith(("\tQuartz", "\tCalcite")))
                        + "\n", encoding="utf-8")
    log = run_build(raw_dir, tmp_path, registry, "--date", "2027-01-02")
    assert "card numbers assigned: 1" in log
    header, rows = read_tsv(tmp_path / "lithora" / "entries.tsv")
    _, first_rows = read_tsv(d / "lithora" / "entries.tsv")
    cards = {r[1]: r[0] for r in rows}
    # New numbers in the order of the list: Calcite sorts before Quartz.
    assert (cards["Calcite"], cards["Quartz"]) == ("6101", "6102")
    assert {n: c for n, c in cards.items() if n not in ("Calcite", "Quartz")} == \
        {r[1]: r[0] for r in first_rows if r[1] not in ("Calcite", "Quartz")}
    # Rows are sorted by name, so numbers need not be in order.
    assert [r[1] for r in rows] == [r[1] for r in first_rows]
    assert {r[header.index("last_updated")] for r in rows} == {"2027-01-02"}
    with open(registry, encoding="utf-8") as f:
        written = f.read().splitlines()
    assert written[-3:] == ["6100\tZýkaite", "6101\tCalcite", "6102\tQuartz"]
    assert set(lines) - {"814\tCalcite", "4550\tQuartz"} <= set(written)
