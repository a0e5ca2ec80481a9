"""Space groups: symbols in every published setting, their numbers and point groups, the
reading of the exports' "Space Group" cells, and the crystal system a group or a cell fixes."""

import pytest

pytest.importorskip("spglib")

from builder import crystallography, ima, symmetry  # noqa: E402
from conftest import FIXTURE_RAW  # noqa: E402


class TestSymbols:
    @pytest.mark.parametrize("symbol, number, short", [
        # The AMCSD's spelling, with blanks and full monoclinic symbols.
        ("P 1 21/c 1", 14, "P21/c"),
        ("P 32 2 1", 154, "P3221"),
        ("R -3 c", 167, "R-3c"),
        ("I 1 2/a 1", 15, "I2/a"),
        ("C 1 m 1", 8, "Cm"),
        # The exports' spelling, "_" before the screw axis's index.
        ("P2_1/c", 14, "P21/c"),
        ("P6_3mc", 186, "P63mc"),
        ("B22_12", 20, "B2212"),
        # Full symbols and settings other than the standard one.
        ("R-32/c", 167, "R-3c"),
        ("Pbnm", 62, "Pbnm"),
        ("Pmcn", 62, "Pmcn"),
        ("P21/n", 14, "P21/n"),
        # Old symbols: Cmca for Cmce, and the cubic groups without the bar on 3.
        ("Cmca", 64, "Cmca"),
        ("Cmce", 64, "Cmce"),
        ("F m 3 m", 225, "Fm-3m"),
        ("Im3m", 229, "Im-3m"),
        ("Pa3", 205, "Pa-3"),
    ])
    def test_lookup_in_any_setting(self, table, symbol, number, short):
        assert table.lookup(symbol) == (number, short)

    @pytest.mark.parametrize("symbol", ["C-1", "C1", "C-42b", "", "Q2/m", "amorphous"])
    def test_symbols_outside_the_table(self, table, symbol):
        assert table.lookup(symbol) is None

    @pytest.mark.parametrize("symbol, number", [
        ("C-1", 2), ("C1", 1),   # centred triclinic cells, as in the exports (Kozlowskiite)
        ("C-42b", 117),          # C-centred tetragonal cell: P-4b2 on the usual axes
        ("P 1 1 21/b", 14),      # unique axis c
    ])
    def test_settings_read_by_rule(self, table, symbol, number):
        found = symmetry.resolve_nonstandard(table, symbol)
        assert found is not None and found[0] == number
        assert found[1] == symmetry.compact(symbol)

    def test_standard_symbols(self, table):
        assert table.standard_symbol(14) == "P21/c"
        assert table.standard_symbol(62) == "Pnma"
        assert table.standard_symbol(167) == "R-3c"
        assert table.standard_symbol(64) == "Cmca"  # the older editions' symbol
        assert table.is_standard(14, "P21/c") and table.is_standard(64, "Cmce")
        assert not table.is_standard(14, "P21/n")
        assert not table.is_standard(62, "Pbnm")
        assert not table.is_standard(15, "I2/a")

    def test_point_groups(self, table):
        assert table.point_group[154] == "32"
        assert table.point_group[225] == "m-3m"
        assert table.point_group[62] == "mmm"
        assert symmetry.point_group_text(table.point_group[167]) == "-3 2/m"
        assert symmetry.point_group_text("2/m") == "2/m"

    def test_symbols_whose_bars_were_lost(self, table):
        # Read only when one group fits.
        assert table.lookup_without_bars("Fm3m") == (225, "Fm-3m")
        assert table.lookup_without_bars("F43m") == (216, "F-43m")
        assert table.lookup_without_bars("Pa3") == (205, "Pa-3")
        # P3m1 or P-3m1, R3c or R-3c: either.
        assert table.lookup_without_bars("P3m1") is None
        assert table.lookup_without_bars("R3c") is None

    def test_compact(self):
        assert symmetry.compact("P 1 2_1/c 1") == "P121/c1"
        assert symmetry.compact("R -3 c") == "R-3c"


class TestOperators:
    def test_parse_operator(self):
        rot, trans = symmetry.parse_operator("1/2+x,-y,z")
        assert rot.tolist() == [[1, 0, 0], [0, -1, 0], [0, 0, 1]]
        assert list(trans) == [0.5, 0.0, 0.0]
        rot, trans = symmetry.parse_operator("-x+y, -x, z+2/3")
        assert rot.tolist() == [[-1, 1, 0], [-1, 0, 0], [0, 0, 1]]
        assert trans[2] == pytest.approx(2 / 3)
        # A negative translation is brought into [0, 1).
        _, trans = symmetry.parse_operator("x-1/4,y,z")
        assert trans[0] == pytest.approx(0.75)

    @pytest.mark.parametrize("op", ["x,y", "x,y,z,1", "x,y,q", "x,y,z*"])
    def test_bad_operators_raise(self, op):
        with pytest.raises(ValueError):
            symmetry.parse_operator(op)

    def test_operators_of_real_structures_give_their_groups(self, amcsd, table):
        import numpy as np
        from builder.structures import lattice_matrix
        for name, cif_id, number, point_group in [("quartz", 6362, 154, "32"),
                                                  ("calcite", 9890, 167, "-3m"),
                                                  ("halite", 3397, 225, "m-3m")]:
            rec = next(r for r in amcsd[name] if r.id == cif_id)
            ops = [symmetry.parse_operator(o) for o in rec.operators]
            found = symmetry.group_of_operators([o[0] for o in ops], [o[1] for o in ops],
                                                lattice_matrix(*rec.cell))
            assert found == (number, point_group)
            # Half of calcite's operators are no group.
            if name == "calcite":
                half = ops[:len(ops) // 2 + 1]
                found = symmetry.group_of_operators(
                    [o[0] for o in half], [o[1] for o in half], np.eye(3) * 5)
                assert found != (number, point_group)


class TestCrystalSystemOfAGroup:
    @pytest.mark.parametrize("number, code, word", [
        (1, "A", "triclinic"), (2, "A", "triclinic"),
        (3, "M", "monoclinic"), (15, "M", "monoclinic"),
        (16, "O", "orthorhombic"), (74, "O", "orthorhombic"),
        (75, "Q", "tetragonal"), (142, "Q", "tetragonal"),
        (143, "H/T", "trigonal"), (145, "H/T", "trigonal"), (154, "H/T", "trigonal"),
        (146, "H/R", "trigonal"), (148, "H/R", "trigonal"), (155, "H/R", "trigonal"),
        (160, "H/R", "trigonal"), (161, "H/R", "trigonal"), (166, "H/R", "trigonal"),
        (167, "H/R", "trigonal"), (164, "H/T", "trigonal"),
        (168, "H", "hexagonal"), (194, "H", "hexagonal"),
        (195, "C", "cubic"), (230, "C", "cubic"),
    ])
    def test_code_and_word(self, number, code, word):
        assert symmetry.crystal_system_code(number) == code
        assert symmetry.crystal_system_word(number) == word

    @pytest.mark.parametrize("words, code", [
        (["triclinic"], "A"), (["monoclinic", "orthorhombic"], "M"), (["cubic"], "C"),
        (["isometric"], "C"), (["hexagonal"], "H"), (["trigonal"], "H"),
        (["Tetragonal"], "Q"), (["orthorhombic", "unknown"], "O"), ([], ""), (["unknown"], ""),
        (["amorphous"], ""),
    ])
    def test_code_from_the_exports_words(self, words, code):
        assert crystallography.system_code_from_words(words) == code


@pytest.fixture(scope="module")
def psg():
    return crystallography.read_point_space_groups(
        f"{FIXTURE_RAW}/rruff_point_space_group_2022-08.csv")


@pytest.fixture(scope="module")
def species():
    found, _ = ima.load_species(f"{FIXTURE_RAW}/rruff_ima_export_2025_with_hey.csv",
                                f"{FIXTURE_RAW}/rruff_ima_export_2021-12-25.csv")
    return {s.name: s for s in found}


class TestSpaceGroupFromTheExports:
    def test_the_2022_table_is_read_by_name(self, psg):
        assert psg["burbankite"] == {"P63mc": 3, "P63/mmc": 1}
        assert psg["quartz"] == {"P6222": 11, "P3121": 14, "P3221": 20}
        assert "abellaite" not in psg  # a name the fixture does not hold
        assert all(sg.strip() for counts in psg.values() for sg in counts)

    def sg(self, table, psg, s):
        code = crystallography.system_code_from_words(s.crystal_system_words)
        return crystallography.space_group_from_exports(table, s.space_group_text,
                                                        psg.get(ima.key(s.name)), code)

    def test_the_first_reported_group(self, table, psg, species):
        assert self.sg(table, psg, species["Calcite"]) == (167, "R-3c", "")
        assert self.sg(table, psg, species["Halite"]) == (225, "Fm-3m", "")
        assert self.sg(table, psg, species["Abelsonite"]) == (2, "P-1", "")
        assert self.sg(table, psg, species["Kozlowskiite"]) == (1, "C1", "")
        # Quartz: P6222 first; the 2022 table's 20 reports of P3221 are not three times its
        # 11 of P6222.
        assert self.sg(table, psg, species["Quartz"]) == (180, "P6222", "")

    def test_a_listed_group_the_2022_table_reports_three_times_as_often(self, table, psg,
                                                                       species):
        assert self.sg(table, psg, species["Burbankite"]) == (
            186, "P63mc", "as most RRUFF reports give it")
        # Not when the first one has a third as many reports or more.
        found = crystallography.space_group_from_exports(
            table, "P6_3/mmc|P6_3mc", {"P63mc": 3, "P63/mmc": 2}, "H")
        assert found == (194, "P63/mmc", "")

    def test_the_2022_table_alone(self, table, psg, species):
        assert self.sg(table, psg, species["Zunyite"]) == (
            216, "F-43m", "from the RRUFF space group table of 2022")
        assert self.sg(table, psg, species["Sicklerite"]) == (
            62, "Pbnm", "from the RRUFF space group table of 2022")
        # Calcite's 42 reports of "R3c" read two ways once the bar is lost, its 3 of "P1" too
        # (and are triclinic): only the 2 of "R32/c" vote.
        assert crystallography.space_group_from_exports(table, "", psg["calcite"], "H") == (
            167, "R-3c", "from the RRUFF space group table of 2022")
        assert crystallography.space_group_from_exports(table, "", {"R3c": 42}, "H") is None
        # A tie reads no way.
        assert crystallography.space_group_from_exports(
            table, "", {"Pnma": 2, "Pbcn": 2}, "O") is None

    def test_a_group_of_another_crystal_system_is_passed_over(self, table):
        # The export's "hexagonal" covers trigonal groups; "cubic" does not.
        assert crystallography.space_group_from_exports(table, "P3_121", {}, "H")[0] == 152
        assert crystallography.space_group_from_exports(table, "P3_121", {}, "C") is None
        assert crystallography.space_group_from_exports(
            table, "P2_1/c|Pnma", {}, "O") == (62, "Pnma", "")
        assert crystallography.space_group_from_exports(
            table, "", {"Fm3m": 5}, "Q") is None

    def test_unknown_and_amorphous(self, table):
        assert crystallography.space_group_from_exports(table, "unknown", {}, "") is None
        assert crystallography.space_group_from_exports(table, "Amorphous", {}, "") is None
