"""Formulas: the readable formula of an export cell, its element list and its element counts.
The formulas are those of the IMA exports in data/raw/."""

import pytest

from builder.formula import FormulaError, elements_in_order, parse_counts
from builder.ima import readable_formula


def counts(formula):
    c, ambiguous = parse_counts(formula)
    return {"/".join(sorted(k)): v for k, v in c.items()}, ambiguous


class TestReadableFormula:
    @pytest.mark.parametrize("concise, readable", [
        ("Ca(CO_3_)", "Ca(CO3)"),
        ("NaPb_2_(CO_3_)_2_(OH)", "NaPb2(CO3)2(OH)"),
        ("Ca_2_(Si_4_Al_4_)O_16_·8H_2_O", "Ca2(Si4Al4)O16·8H2O"),
        # Charges written plainly, the vacancy as [].
        ("(Nb_0.8_[box]_0.2_)^4+^O_2_", "(Nb0.8[]0.2)4+O2"),
        ("Ca_4_Fe^2+^Sn_3_(Si_2_O_7_)_2_(Si_2_O_6_OH)_2_", "Ca4Fe2+Sn3(Si2O7)2(Si2O6OH)2"),
        # "<" and ">" of a condition are no HTML tag (Carrboydite, Glaucocerinite).
        ("(Ni_1-x_Al_x_)(SO_4_)_x/2_(OH)_2_·nH_2_O (x < 0.5, n > 3x/2)",
         "(Ni1-xAlx)(SO4)x/2(OH)2·nH2O (x < 0.5, n > 3x/2)"),
        ("Zn^2+^_1-x_Al_x_(S^6+^O_4_)_x/2_(OH)_2_·nH_2_O  (x<0.5, n>3x/2)",
         "Zn2+1-xAlx(S6+O4)x/2(OH)2·nH2O (x<0.5, n>3x/2)"),
        ("Ag_x_Pb_40-2x_As_48+x_S_112_ (3 < x < 4)", "AgxPb40-2xAs48+xS112 (3 < x < 4)"),
    ])
    def test_markup_becomes_plain_text(self, concise, readable):
        assert readable_formula(concise) == readable


class TestElementList:
    @pytest.mark.parametrize("formula, elements", [
        ("Ca(CO3)", ["Ca", "C", "O"]),
        ("SiO2", ["Si", "O"]),
        ("NaCl", ["Na", "Cl"]),
        # Two letters before one: Cl is chlorine, not carbon; Co cobalt, not C and O.
        ("K6(Ca2Na)(CO3)5Cl·6H2O", ["K", "Ca", "Na", "C", "O", "Cl", "H"]),
        ("NiC31H32N4", ["Ni", "C", "H", "N"]),
        # Each element once, in the order it first appears, water included.
        ("CeAl(SO4)2(C2O4)·12H2O", ["Ce", "Al", "S", "O", "C", "H"]),
        ("(Na,Ca)3(Sr,Ba,Ce)3(CO3)5", ["Na", "Ca", "Sr", "Ba", "Ce", "C", "O"]),
        # Placeholders are no elements: REE is not rhenium and Ln not nitrogen.
        ("(Ce,REE,Ca)9(Al,Fe3+)(SiO4)3[SiO3(OH)]4(OH)3",
         ["Ce", "Ca", "Al", "Fe", "Si", "O", "H"]),
        ("(Nd,Ln,Ca)(Ti,Nb)2(O,OH)6", ["Nd", "Ca", "Ti", "Nb", "O", "H"]),
        # Charges, vacancies and variable subscripts leave the list alone.
        ("(Nb0.8[]0.2)4+O2", ["Nb", "O"]),
        ("Na5+xTi4(Si2O7)2", ["Na", "Ti", "Si", "O"]),
    ])
    def test_elements_in_order(self, formula, elements):
        assert elements_in_order(formula) == elements


class TestCounts:
    def test_simple_formulas(self):
        assert counts("Ca(CO3)") == ({"Ca": 1, "C": 1, "O": 3}, set())
        assert counts("NaCl") == ({"Na": 1, "Cl": 1}, set())
        assert counts("Mg2(SiO4)") == ({"Mg": 2, "Si": 1, "O": 4}, set())

    def test_water_after_the_dot_is_added(self):
        c, _ = counts("Ca2(Si4Al4)O16·8H2O")
        assert c == {"Ca": 2, "Si": 4, "Al": 4, "O": 24, "H": 16}
        c, _ = counts("CeAl(SO4)2(C2O4)·12H2O")
        assert c == {"Ce": 1, "Al": 1, "S": 2, "O": 8 + 4 + 12, "C": 2, "H": 24}

    def test_charges_are_dropped_and_their_subscripts_kept(self):
        # Amarantite: Fe3+2 is two iron atoms.
        c, _ = counts("Fe3+2O(SO4)2·7H2O")
        assert c == {"Fe": 2, "O": 1 + 8 + 7, "S": 2, "H": 14}
        c, _ = counts("(Nb0.8[]0.2)4+O2")
        assert c == pytest.approx({"Nb": 0.8, "O": 2})

    def test_nested_brackets_of_every_kind(self):
        c, _ = counts("Li{Ti2(OH)2[Si4O11(OH)]}·H2O")
        assert c == {"Li": 1, "Ti": 2, "O": 2 + 11 + 1 + 1, "H": 2 + 1 + 2, "Si": 4}
        c, _ = counts("[Cu5O2](AsO4)(VO4)·(Cu0.5[]0.5)Cl")
        assert c == pytest.approx({"Cu": 5.5, "O": 10, "As": 1, "V": 1, "Cl": 1})

    def test_a_shared_site_counts_as_one_key(self):
        c, ambiguous = counts("(Na,Ca)3(Sr,Ba,Ce)3(CO3)5")
        assert c == {"Ca/Na": 3, "Ba/Ce/Sr": 3, "C": 5, "O": 15}
        assert ambiguous == set()

    def test_a_shared_site_of_groups_is_ambiguous_and_not_counted(self):
        c, ambiguous = counts("(K,Na)2.5(Ca,Na)7Si16O38(OH,F)2·3.5H2O")
        assert c == pytest.approx({"K/Na": 2.5, "Ca/Na": 7, "Si": 16, "O": 38 + 3.5, "H": 7})
        assert ambiguous == {"O", "H", "F"}
        c, ambiguous = counts("Al13Si5O20(OH,F)18Cl")
        assert c == {"Al": 13, "Si": 5, "O": 20, "Cl": 1}
        assert ambiguous == {"O", "H", "F"}

    @pytest.mark.parametrize("formula", [
        "(Nd,Ln,Ca)(Ti,Nb)2(O,OH)6",                   # placeholder Ln
        "(Ce,REE,Ca)9(Al,Fe3+)(SiO4)3[SiO3(OH)]4(OH)3",  # placeholder REE
        "Na5+xTi4(Si2O7)2",                            # variable subscript
        "(K,Sr,Ba,Mn)15-16(Ca,Na)32[Si70(O,OH)180](OH,F)4·nH2O",  # range, n water
        "[]Ca2(Mg4.5-2.5Fe2+0.5-2.5)Si8O22(OH)2",      # ranges of subscripts
        "Ca2(Si4Al4O16",                               # unbalanced
    ])
    def test_formulas_that_give_no_counts_raise(self, formula):
        with pytest.raises(FormulaError):
            parse_counts(formula)
