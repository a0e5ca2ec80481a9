"""Card numbers: a name keeps its number from build to build, a new name gets the next number
above the highest ever given, no number is given twice, and a renamed species is a former name
with a number of its own that points at the current one."""

import os
import shutil

import pytest

from builder import registry
from builder.text import to_cp1252_text
from conftest import DATA, fixture_path


@pytest.fixture
def reg_file(tmp_path):
    path = tmp_path / "card_numbers.tsv"
    shutil.copyfile(fixture_path("card_numbers.tsv"), path)
    return str(path)


class TestReadWrite:
    def test_read(self, reg_file):
        reg = registry.read(reg_file)
        assert reg["Abelsonite"] == 2
        assert reg["Quartz"] == 4550
        assert reg["Petřícekite"] == 4284
        assert reg["Zýkaite"] == 6100
        assert len(reg) == 23

    def test_a_missing_file_is_an_empty_registry(self, tmp_path):
        assert registry.read(str(tmp_path / "none.tsv")) == {}

    def test_written_in_card_order_and_read_back_unchanged(self, reg_file, tmp_path):
        reg = registry.read(reg_file)
        out = str(tmp_path / "again.tsv")
        registry.write(out, dict(sorted(reg.items())))  # name order in, card order out
        with open(out, encoding="utf-8") as a, open(reg_file, encoding="utf-8") as b:
            assert a.read() == b.read()

    @pytest.mark.parametrize("text, problem", [
        ("name\tcard\n1\tQuartz\n", "first line"),
        ("card\tname\n1\tQuartz\n2\tQuartz\n", "twice"),
        ("card\tname\n1\tQuartz\n1\tHalite\n", "twice"),
    ])
    def test_damaged_registries_are_refused(self, tmp_path, text, problem):
        path = tmp_path / "bad.tsv"
        path.write_text(text, encoding="utf-8")
        with pytest.raises(ValueError, match=problem):
            registry.read(str(path))


class TestAssign:
    def test_known_names_keep_their_numbers(self, reg_file):
        reg = registry.read(reg_file)
        before = dict(reg)
        names = ["Calcite", "Quartz", "Halite", "Gismondine", "Gismondine-Ca"]
        cards, new = registry.assign(reg, names)
        assert cards == {n: before[n] for n in names}
        assert new == [] and reg == before

    def test_a_new_name_gets_the_next_number_above_the_highest_ever_given(self, reg_file):
        reg = registry.read(reg_file)
        # Zýkaite (6100) is not built here: its number still counts and is not reused.
        cards, new = registry.assign(reg, ["Calcite", "Abellaite", "Quartz", "Aragonite"])
        assert cards["Abellaite"] == 6101 and cards["Aragonite"] == 6102
        assert cards["Calcite"] == 814 and cards["Quartz"] == 4550
        assert new == ["Abellaite", "Aragonite"]
        assert reg["Zýkaite"] == 6100
        assert len(set(reg.values())) == len(reg)

    def test_numbers_of_names_that_left_are_never_given_again(self, reg_file, tmp_path):
        reg = registry.read(reg_file)
        # A build without Zýkaite and Quartz, written and read back, then a build that
        # brings Quartz back and two new names.
        registry.assign(reg, ["Calcite", "Halite"])
        path = str(tmp_path / "next.tsv")
        registry.write(path, reg)
        reg = registry.read(path)
        assert reg["Zýkaite"] == 6100 and reg["Quartz"] == 4550
        cards, new = registry.assign(reg, ["New-one", "Quartz", "New-two"])
        assert cards == {"New-one": 6101, "Quartz": 4550, "New-two": 6102}
        assert new == ["New-one", "New-two"]

    def test_the_first_build_numbers_from_one(self):
        reg = {}
        cards, new = registry.assign(reg, ["Abellaite", "Abelsonite"])
        assert cards == {"Abellaite": 1, "Abelsonite": 2} and new == ["Abellaite", "Abelsonite"]

    def test_numbers_run_out_at_the_maximum(self):
        reg = {"Quartz": 9999}
        cards, _ = registry.assign(reg, ["A"], maximum=10000)
        assert cards["A"] == 10000
        with pytest.raises(ValueError, match="exhausted"):
            registry.assign(reg, ["B"], maximum=10000)


class TestTheCommittedRegistry:
    """The committed registry and the committed entries agree: a build over the same names
    hands out no number."""

    @pytest.fixture(scope="class")
    def committed(self):
        reg = registry.read(os.path.join(DATA, "card_numbers.tsv"))
        with open(os.path.join(DATA, "lithora", "entries.tsv"), encoding="utf-8") as f:
            lines = f.read().split("\n")
        header = lines[0].split("\t")
        rows = [dict(zip(header, l.split("\t"))) for l in lines[1:] if l]
        return reg, rows

    def test_every_entry_has_its_registered_number(self, committed):
        reg, rows = committed
        # The readable source escapes backslashes; names hold none.
        assert all(reg[r["name"]] == int(r["card"]) for r in rows)
        cards, new = registry.assign(dict(reg), [r["name"] for r in rows])
        assert new == []
        assert len(set(cards.values())) == len(rows)

    def test_a_renamed_species_has_its_own_number_and_names_the_current_one(self, committed):
        reg, rows = committed
        by_name = {r["name"]: r for r in rows}
        # Notes hold Windows-1252 only: Hydronováčekite is written Hydronovácekite there.
        by_note_name = {to_cp1252_text(r["name"]): r for r in rows}
        former = [r for r in rows if r["status"] == "R"]
        assert len(former) == 33
        for r in former:
            current = r["notes"].split("the species is now ", 1)[1].split(" (same RRUFF")[0]
            assert current in by_note_name, r["name"]
            assert by_note_name[current]["status"] == "A"
            assert by_note_name[current]["card"] != r["card"]
        assert by_name["Gismondine"]["card"] == "2044"
        assert by_name["Gismondine-Ca"]["card"] == "2045"
