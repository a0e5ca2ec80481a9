"""The species of the two IMA exports (fixture rows): names, status, former names and their
successors, groups; and the group entries of the list."""

import pytest

from builder import groups, ima
from conftest import FIXTURE_RAW


@pytest.fixture(scope="module")
def loaded():
    return ima.load_species(f"{FIXTURE_RAW}/rruff_ima_export_2025_with_hey.csv",
                            f"{FIXTURE_RAW}/rruff_ima_export_2021-12-25.csv")


@pytest.fixture(scope="module")
def species(loaded):
    return {s.name: s for s in loaded[0]}


class TestSpecies:
    def test_every_species_of_the_newer_export_then_the_names_it_lacks(self, loaded):
        names = [s.name for s in loaded[0]]
        assert names[:17] == ["Abelsonite", "Burbankite", "Calcite", "Corundum",
                              "Gismondine-Ca", "Halite", "Halloysite", "Hydrohalloysite",
                              "Kozlowskiite", "Nioboixiolite-([])", "Paulišite", "Petřícekite",
                              "Quartz", "Struvite", "Tetrahedrite-(Fe)", "Tetrahedrite-(Zn)",
                              "Zugshunstite-(Ce)"]
        assert sorted(names[17:]) == ["Gismondine", "Halloysite-10Å", "Halloysite-7Å",
                                      "Sicklerite", "Zunyite"]
        assert all(s.in_newer_list for s in loaded[0][:17])
        assert not any(s.in_newer_list for s in loaded[0][17:])

    def test_fields_of_the_newer_export(self, species):
        q = species["Quartz"]
        assert (q.formula, q.status, q.database_id, q.group) == ("SiO2", "A", "3763", "Quartz")
        assert q.crystal_system_words == ["hexagonal"]
        assert q.space_group_text == "P6_222|P3_121, P3_221"
        b = species["Burbankite"]
        assert b.formula == "(Na,Ca)3(Sr,Ba,Ce)3(CO3)5"
        assert b.group == "Burbankite"
        assert species["Halloysite"].group == "Clay"
        assert species["Zugshunstite-(Ce)"].group == "Oxalate"
        # A second formula of the RRUFF columns, kept for the checks of Z, when it differs.
        assert species["Burbankite"].formula_alternatives == ["(Na,Ca)3(Sr,Ba,Ce3+)3(CO3)5"]
        assert species["Halite"].formula_alternatives == []

    def test_elements_from_the_older_export_or_the_formula(self, species):
        assert species["Abelsonite"].elements == ["Ni", "C", "H", "N"]
        assert species["Zunyite"].elements == ["Al", "Si", "O", "H", "F", "Cl"]
        # Not in the older export: read from the formula.
        assert species["Hydrohalloysite"].elements == ["Al", "Si", "O", "H"]
        assert species["Kozlowskiite"].elements == ["Ca", "Fe", "Sn", "Si", "O", "H"]

    def test_renamed_species_point_at_the_current_one(self, loaded, species):
        g = species["Gismondine"]
        assert (g.status, g.successor) == ("R", "Gismondine-Ca")
        assert g.notes == ["Name no longer in use: the species is now Gismondine-Ca (same RRUFF "
                           "entry in the IMA list of 2025)."]
        assert species["Gismondine-Ca"].former_names == ["Gismondine"]
        assert species["Gismondine-Ca"].status == "A"
        assert species["Halloysite-7Å"].successor == "Halloysite"
        assert species["Halloysite-10Å"].successor == "Hydrohalloysite"
        assert species["Hydrohalloysite"].former_names == ["Halloysite-10Å"]
        # The former name keeps what the older export says of it.
        assert species["Halloysite-10Å"].type_locality == "Algeria / Poland"
        assert species["Halloysite-10Å"].formula == "Al2Si2O5(OH)4·2H2O"
        assert sorted(loaded[1]["renamed"]) == ["Gismondine -> Gismondine-Ca",
                                                "Halloysite-10Å -> Hydrohalloysite",
                                                "Halloysite-7Å -> Halloysite"]

    def test_a_name_dropped_with_no_successor(self, loaded, species):
        s = species["Sicklerite"]
        assert (s.status, s.successor) == ("D", "")
        assert "discredited or renamed" in s.notes[0]
        assert loaded[1]["dropped"] == ["Sicklerite"]

    def test_names_after_the_end_of_the_newer_copy_stay_approved(self, loaded, species):
        z = species["Zunyite"]
        assert z.status == "A" and z.successor == ""
        assert z.notes == ["Approved in the IMA list of 2021-12-25; the newer list used here "
                           "ends before this name."]
        assert loaded[1]["kept from the older list (newer copy ends before them)"] == ["Zunyite"]

    def test_repaired_and_folded_names_carry_a_note(self, loaded, species):
        assert "damaged characters" in species["Paulišite"].notes[0]
        assert "plain letter" in species["Kozlowskiite"].notes[0]
        assert species["Petřícekite"].source_name == "Petříčekite"
        assert len(loaded[1]["names repaired or folded"]) == 4
        assert species["Quartz"].notes == []

    def test_the_same_name_twice_is_taken_once(self, tmp_path):
        with open(f"{FIXTURE_RAW}/rruff_ima_export_2025_with_hey.csv", encoding="utf-8",
                  newline="") as f:
            lines = f.read().split("\r\n")
        quartz = next(l for l in lines if l.startswith("Quartz,"))
        path = tmp_path / "twice.csv"
        path.write_text("\r\n".join(lines[:1] + [quartz, quartz]) + "\r\n", encoding="utf-8",
                        newline="")
        found, log = ima.load_species(str(path),
                                      f"{FIXTURE_RAW}/rruff_ima_export_2021-12-25.csv")
        assert [s.name for s in found].count("Quartz") == 1
        assert log["duplicate names skipped"] == ["Quartz"]


class TestGroups:
    # Group names as the exports write them.
    NAMES = ["Beryl"] * 3 + ["Beryllonite"] * 2 + ["Alunite-crandallite"] * 9 + \
        ["Alunite-alunite"] * 4 + ["Alunite-beudantite"] * 3 + ["Alum"] * 15 + \
        ["Alumohydrocalcite"] + [""] * 2

    def test_names_that_would_catch_unrelated_groups_are_made_exact(self):
        renames = groups.disambiguate(self.NAMES)
        # "Alunite" groups are within their supergroup; "Alum" the program keeps exact.
        assert renames == {"Beryl": "Beryl group"}

    def test_group_entries_of_at_least_fifteen_members(self):
        chosen = groups.choose(self.NAMES)
        assert [(g, kind, len(m)) for g, kind, m in chosen] == [
            ("Alum", "Group", 15), ("Alunite", "Supergroup", 16)]
        alunite = dict((g, m) for g, _, m in chosen)["Alunite"]
        assert all(self.NAMES[i].startswith("Alunite-") for i in alunite)
        # With a lower bar: "Alunite-alunite" repeats its supergroup and gets no entry.
        names = [g for g, _, _ in groups.choose(self.NAMES, min_members=3)]
        assert "Alunite-crandallite" in names and "Alunite-alunite" not in names
        assert "Beryl" in names  # the filter of "Beryl" catches "Beryllonite": 5 members

    def test_entry_names(self):
        assert groups.entry_name("Alunite", "Supergroup") == "Alunite Supergroup"
        assert groups.entry_name("Beryl group", "Group") == "Beryl Group"
