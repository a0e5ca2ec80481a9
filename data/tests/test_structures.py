"""AMCSD structures: reading the records, the crystal system their cell and group fix, the
expanded cell and Z, the choice of one structure per species, and the powder lines, checked
against the published powder patterns of quartz, halite and calcite."""

import dataclasses
import math

import pytest

np = pytest.importorskip("numpy")
pytest.importorskip("scipy")
pytest.importorskip("spglib")

from builder import crystallography, powder, structures  # noqa: E402
from builder.structures import StructureError  # noqa: E402


def record(amcsd, name, cif_id):
    return next(r for r in amcsd[name] if r.id == cif_id)


@pytest.fixture(scope="module")
def analysed(amcsd, table):
    """The structures the build takes for quartz, calcite and halite, analysed."""
    return {name: structures.analyse(record(amcsd, name, cif_id), table)
            for name, cif_id in (("quartz", 6362), ("calcite", 9890), ("halite", 3397))}


class TestReading:
    def test_records_by_folded_name(self, amcsd):
        assert sorted(r.id for r in amcsd["quartz"]) == [6362, 11008]
        assert sorted(r.id for r in amcsd["calcite"]) == [8879, 9890, 17650]
        # Names of the AMCSD are folded like the others: "Halloysite-7A".
        assert [r.id for r in amcsd["halloysite-7a"]] == [18093]

    def test_a_record(self, amcsd):
        q = record(amcsd, "quartz", 6362)
        assert q.mineral == "Quartz"
        assert q.hm == "P 32 2 1"  # the "%var1%" of a second operator set is dropped
        assert q.cell == pytest.approx((4.9137, 4.9137, 5.4047, 90, 90, 120))
        assert q.elements == {"Si", "O"}
        assert q.labels == ["Si", "O"]
        assert len(q.x) == len(q.y) == len(q.z) == 2
        assert q.x[0] == pytest.approx(0.4697, abs=1e-4)  # Si on (x, 0, 2/3)
        assert q.y[0] == 0.0
        assert q.publication.year == 1990
        assert q.publication.authors == ["Kihara K"]
        assert q.publication.journal == "European Journal of Mineralogy"
        assert len(q.operators) == 6

    def test_coded_site_numbers(self):
        import base64
        raw = (np.array([0.5, 0.0, 2.0, 3.0, -0.25]) * 4e6).astype("<i4").tobytes()
        text = base64.b64encode(raw).decode()
        # 2 and 3 stand for "?" and ".".
        assert structures.decode_array(text) == [0.5, 0.0, None, None, -0.25]
        assert structures.decode_array("0") is None
        assert structures.decode_array(None) is None

    @pytest.mark.parametrize("label, allowed, element", [
        ("Si1", {"Si", "O"}, "Si"), ("O2", {"Si", "O"}, "O"), ("Ca", {"Ca", "C", "O"}, "Ca"),
        ("C1", {"Ca", "C", "O"}, "C"), ("Co1", {"C", "O"}, "C"), ("Co1", {"Co", "O"}, "Co"),
        ("Wat", {"Ca", "O"}, "O"), ("OW2", {"Ca", "O", "H"}, "O"), ("D1", {"O", "H"}, "H"),
        ("Na1", set(), "Na"),
    ])
    def test_site_labels(self, label, allowed, element):
        assert structures.site_element(label, allowed) == element

    def test_unreadable_site_label(self):
        with pytest.raises(ValueError):
            structures.site_element("1X", {"O"})


class TestCrystalSystemOfACell:
    def test_cells_of_real_structures_fit_their_groups(self, amcsd):
        assert structures.cell_fits(154, record(amcsd, "quartz", 6362).cell)
        assert structures.cell_fits(167, record(amcsd, "calcite", 9890).cell)
        assert structures.cell_fits(161, record(amcsd, "calcite", 17650).cell)  # a = b = c
        assert structures.cell_fits(225, record(amcsd, "halite", 3397).cell)
        assert structures.cell_fits(62, record(amcsd, "sicklerite", 19731).cell)
        assert structures.cell_fits(15, record(amcsd, "gismondine", 20103).cell)

    def test_cells_of_another_system_do_not(self, amcsd):
        quartz = record(amcsd, "quartz", 6362).cell
        halite = record(amcsd, "halite", 3397).cell
        sicklerite = record(amcsd, "sicklerite", 19731).cell
        gismondine = record(amcsd, "gismondine", 20103).cell
        assert not structures.cell_fits(225, quartz)       # hexagonal cell, cubic group
        assert not structures.cell_fits(136, sicklerite)   # a != b, tetragonal group
        assert not structures.cell_fits(62, gismondine)    # beta != 90, orthorhombic group
        assert not structures.cell_fits(191, halite)       # gamma 90, hexagonal group
        assert structures.cell_fits(2, quartz)             # triclinic takes any cell
        assert not structures.cell_fits(225, (5.64, 5.64, 5.70, 90, 90, 90))
        assert not structures.cell_fits(166, (6.36, 6.36, 6.36, 46.1, 46.1, 47.0))

    def test_analysis_takes_system_and_axes_from_group_and_cell(self, amcsd, table, analysed):
        from builder.symmetry import crystal_system_code
        assert [crystal_system_code(analysed[n].number) for n in ("quartz", "calcite",
                                                                  "halite")] == ["H/T", "H/R",
                                                                                 "C"]
        assert not analysed["calcite"].rhombohedral_axes
        rhombohedral = structures.analyse(record(amcsd, "calcite", 17650), table)
        assert rhombohedral.number == 161 and rhombohedral.rhombohedral_axes

    def test_a_cell_that_does_not_fit_its_group_is_rejected(self, amcsd, table):
        halite = record(amcsd, "halite", 3397)
        stretched = dataclasses.replace(halite, cell=(5.6401, 5.6401, 5.70, 90.0, 90.0, 90.0))
        with pytest.raises(StructureError, match="does not fit"):
            structures.analyse(stretched, table)

    def test_a_symbol_that_contradicts_its_operators_is_rejected(self, amcsd, table):
        arsenopyrite = record(amcsd, "arsenopyrite", 16964)
        with pytest.raises(StructureError, match="disagrees with its operators"):
            structures.analyse(arsenopyrite, table)

    def test_a_setting_other_than_the_standard_is_noted(self, amcsd, table):
        an = structures.analyse(record(amcsd, "sicklerite", 19731), table)
        assert (an.number, an.symbol, an.standard_symbol, an.symbol_note) == (
            62, "Pbnm", "Pnma", "setting Pbnm")
        an = structures.analyse(record(amcsd, "gismondine", 20103), table)
        assert (an.number, an.symbol, an.standard_symbol) == (15, "I2/a", "C2/c")

    def test_cell_volume(self, analysed):
        # Halite's title gives its cell volume: 179.42 A^3.
        assert structures.cell_volume(5.6401, 5.6401, 5.6401, 90, 90, 90) == pytest.approx(
            179.42, abs=0.005)
        a, _, c, *_ = analysed["quartz"].cell
        assert structures.cell_volume(a, a, c, 90, 90, 120) == pytest.approx(
            a * a * c * math.sqrt(3) / 2)
        # A rhombohedral cell: V = a^3 sqrt(1 - 3 cos^2 + 2 cos^3).
        ca = math.cos(math.radians(46.1))
        assert structures.cell_volume(6.36, 6.36, 6.36, 46.1, 46.1, 46.1) == pytest.approx(
            6.36 ** 3 * math.sqrt(1 - 3 * ca * ca + 2 * ca ** 3))
        with pytest.raises(StructureError):
            structures.lattice_matrix(5, 5, 5, 150, 150, 150)


class TestInfoboxCells:
    """Cells from the unit cell texts of the Wikipedia infoboxes (fixture objects)."""

    @pytest.fixture(scope="class")
    def cells(self):
        import json
        from conftest import FIXTURE_RAW
        with open(f"{FIXTURE_RAW}/wikipedia_infobox_minerals_2016.json", encoding="utf-8") as f:
            return {o["name"]: o.get("unit cell") for o in json.load(f)}

    def test_edges_and_angles_the_system_fixes(self, cells):
        f = crystallography.cell_from_text
        assert f(cells["Halite"], "C") == (5.6404, 5.6404, 5.6404, 90, 90, 90, 4)
        assert f(cells["Calcite"], "H/R") == (4.9896, 4.9896, 17.061, 90, 90, 120, 6)
        assert f(cells["Halloysite"], "M") == (5.14, 8.9, 7.214, 90, 99.7, 90, 4)
        assert f(cells["Abelsonite"], "A") == (8.508, 11.185, 7.299, 90.85, 114.1, 79.99, 1)
        # A range of edges: its first value.
        assert f(cells["Zunyite"], "C") == (13.8654, 13.8654, 13.8654, 90, 90, 90, 4)

    def test_cells_the_system_leaves_open(self, cells):
        f = crystallography.cell_from_text
        assert f(cells["Halloysite"], "A") is None   # triclinic needs all angles
        assert f(cells["Halite"], "M") is None       # monoclinic needs beta
        assert f(cells["Halite"], "O") is None       # orthorhombic needs b and c
        assert f(cells["Halite"], "") is None        # no system
        assert f("None", "C") is None
        assert f("a = 0.5 Å", "C") is None           # no real edge


class TestCellContent:
    def test_expanded_cells(self, analysed):
        halite = analysed["halite"]
        assert len(halite.sites) == 8
        assert structures.cell_content(halite.sites) == pytest.approx({"Na": 4.0, "Cl": 4.0})
        positions = sorted(tuple(round(float(v), 3) for v in p) for p, sp in halite.sites
                           if "Na" in sp)
        assert positions == [(0.0, 0.0, 0.0), (0.0, 0.5, 0.5), (0.5, 0.0, 0.5),
                             (0.5, 0.5, 0.0)]
        assert structures.cell_content(analysed["quartz"].sites) == pytest.approx(
            {"Si": 3.0, "O": 6.0})
        assert structures.cell_content(analysed["calcite"].sites) == pytest.approx(
            {"Ca": 6.0, "C": 6.0, "O": 18.0})

    def test_formula_units(self, amcsd, table, analysed):
        assert structures.formula_units(analysed["halite"].sites, "NaCl") == 4
        assert structures.formula_units(analysed["quartz"].sites, "SiO2") == 3
        assert structures.formula_units(analysed["calcite"].sites, "Ca(CO3)") == 6
        rhombohedral = structures.analyse(record(amcsd, "calcite", 17650), table)
        assert structures.formula_units(rhombohedral.sites, "Ca(CO3)") == 2
        # A formula the content contradicts, or one that cannot be read, gives none.
        assert structures.formula_units(analysed["calcite"].sites, "Ca2(CO3)") is None
        assert structures.formula_units(analysed["calcite"].sites, "(Ca,REE)(CO3)") is None

    def test_composition_distance(self):
        assert structures.composition_distance("Ca C O3", "Ca(CO3)") == pytest.approx(0)
        # A magnesian calcite of the AMCSD: 0.02 of the atoms Mg instead of Ca.
        assert structures.composition_distance("(Ca.9 Mg.1) C O3", "Ca(CO3)") == \
            pytest.approx(0.04)
        # Quartz against calcite: Si 1/3 and O 2/3 against Ca, C 1/5 and O 3/5.
        assert structures.composition_distance("Si O2", "Ca(CO3)") == pytest.approx(
            1 / 3 + 0.2 + 0.2 + (2 / 3 - 0.6))
        assert structures.composition_distance("Ca C O3", "(Nd,Ln)CO3") is None

    def test_conditions_from_the_titles(self, amcsd):
        assert structures.conditions(record(amcsd, "quartz", 6362)) == (None, 298.0, False)
        assert structures.conditions(record(amcsd, "quartz", 11008)) == (4.0, None, False)
        p, t, computed = structures.conditions(record(amcsd, "halite", 3397))
        assert (p, t, computed) == (0.0, pytest.approx(298.15), False)
        assert structures.conditions(record(amcsd, "calcite", 8879))[2] is True
        assert structures.conditions(record(amcsd, "halite", 7951)) == (None, 50.0, False)


class TestChoice:
    @pytest.mark.parametrize("name, formula, best, passed_over", [
        ("quartz", "SiO2", 6362, {11008: ["P=4 GPa"]}),
        ("calcite", "Ca(CO3)", 9890, {8879: ["computed"], 17650: []}),
        ("halite", "NaCl", 3397, {7951: ["high pressure study", "T=50 K"]}),
    ])
    def test_the_ambient_measured_structure_wins(self, amcsd, table, name, formula, best,
                                                 passed_over):
        log = {}
        choices = structures.choose_structure(amcsd[name], [formula], table, log)
        assert choices[0].analysis.record.id == best
        assert choices[0].reasons == []
        assert {c.analysis.record.id: c.reasons for c in choices[1:]} == passed_over
        assert log == {}

    def test_unreadable_structures_are_logged_and_skipped(self, amcsd, table):
        log = {}
        assert structures.choose_structure(amcsd["arsenopyrite"], ["FeAsS"], table, log) == []
        assert log["structure rejected"] == [
            "16964 Arsenopyrite: symbol B1121/d disagrees with its operators (1)"]


# Published powder patterns (Cu K-alpha). Quartz: a = 4.9134, c = 5.4052 A; calcite:
# a = 4.989, c = 17.062 A; halite: a = 5.6402 A, so d(hkl) = a / sqrt(h^2 + k^2 + l^2).
PUBLISHED = {
    "quartz": {"101": 3.343, "100": 4.255, "110": 2.457, "102": 2.282, "112": 1.818,
               "211": 1.541, "212": 1.382},
    "calcite": {"104": 3.035, "110": 2.495, "113": 2.285, "202": 2.095, "018": 1.913,
                "116": 1.875, "122": 1.604},
    "halite": {"200": 2.8201, "220": 1.9941, "111": 3.2564, "222": 1.6282, "420": 1.2612,
               "422": 1.1513, "400": 1.4101},
}
STRONGEST = {"quartz": "101", "calcite": "104", "halite": "200"}


class TestPowderLines:
    @pytest.fixture(scope="class")
    def lines(self, analysed):
        pytest.importorskip("pymatgen")
        return {name: powder.calculate(an).card for name, an in analysed.items()}

    @pytest.mark.parametrize("name", ["quartz", "calcite", "halite"])
    def test_published_lines_within_0_005(self, lines, name):
        computed = [d for d, _ in lines[name]]
        for hkl, d in PUBLISHED[name].items():
            nearest = min(computed, key=lambda x: abs(x - d))
            assert abs(nearest - d) <= 0.005, f"{name} d({hkl}) = {d}: nearest {nearest}"

    @pytest.mark.parametrize("name", ["quartz", "calcite", "halite"])
    def test_the_strongest_line_is_the_published_one(self, lines, name):
        d, intensity = lines[name][0]
        assert intensity == 100
        assert abs(d - PUBLISHED[name][STRONGEST[name]]) <= 0.005

    def test_eight_lines_strongest_first_on_1_to_100(self, lines):
        for name, ls in lines.items():
            assert len(ls) == powder.LINE_COUNT
            intensities = [i for _, i in ls]
            assert intensities == sorted(intensities, reverse=True)
            assert all(1 <= i <= 100 for i in intensities)
            assert all(d == round(d, 3) for d, _ in ls)
            ds = sorted(d for d, _ in ls)
            assert all(b - a >= powder.MERGE_D - 1e-9 for a, b in zip(ds, ds[1:]))

    def test_halite_lines_follow_the_cell(self, lines, analysed):
        # Every halite line is a/sqrt(N) for the N of an F-centred cubic lattice.
        a = analysed["halite"].cell[0]
        allowed = {h * h + k * k + l * l for h in range(8) for k in range(8) for l in range(8)
                   if (h % 2 == k % 2 == l % 2) and h + k + l > 0}
        for d, _ in lines["halite"]:
            n = (a / d) ** 2
            assert round(n) in allowed and abs(n - round(n)) < 0.02, d
