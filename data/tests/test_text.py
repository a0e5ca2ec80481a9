"""Text clean-up: free text made fit for a cell, names the records can hold, type localities,
and references in the card's shape from the status notes of the IMA export and from the
articles of the AMCSD structures."""

import csv

import pytest

from builder import ima, references, text
from builder.structures import Publication
from conftest import fixture_path


@pytest.fixture(scope="module")
def notes():
    """Rows of the older export (fixtures/notes_2021.csv) by name."""
    with open(fixture_path("notes_2021.csv"), encoding="utf-8", newline="") as f:
        return {r["Mineral Name"]: r for r in csv.DictReader(f)}


class TestCleanText:
    def test_markup_and_blanks(self):
        assert text.clean_text("  Pb<sub>2</sub>SnInBiS<sub>7</sub>\r\n - the new ") == \
            "Pb2SnInBiS7 - the new"
        assert text.clean_text("Fe &amp; Mn&nbsp;oxides") == "Fe & Mn oxides"
        assert text.clean_text("a | b") == "a / b"  # "|" separates cells of the packed records
        assert text.plain_markup("NaPb^2+^_2_(CO_3_)_2_(OH)") == "NaPb2+2(CO3)2(OH)"
        # Tags of the infoboxes, a damaged one among them; "<" and ">" of a text stay.
        assert text.clean_text("Tectosilicate < br/>Scapolite group") == \
            "Tectosilicate Scapolite group"
        assert text.clean_text('<span class="x">H<sub>2</sub>O</sub ></span>') == "H2O"
        assert text.clean_text("(x < 0.5, n > 3x/2)") == "(x < 0.5, n > 3x/2)"
        assert text.clean_text("(<=0.5 B per formula unit) and prismatine (>0.5 B)") == \
            "(<=0.5 B per formula unit) and prismatine (>0.5 B)"

    def test_letters_outside_windows_1252(self):
        assert text.clean_text("2V ≤ 40°, α ≈ 1.54") == "2V <= 40°, alpha ~ 1.54"
        assert text.clean_text("(Nb,◻)O2 −0.5") == "(Nb,[])O2 -0.5"
        assert text.clean_text("Ti⋅O") == "Ti·O"
        # Cyrillic letters that look Latin, and accents Windows-1252 lacks.
        assert text.clean_text("\u0421a\u041e") == "CaO"
        assert text.clean_text("Petříček") == "Petrícek"
        # What Windows-1252 has stays.
        assert text.clean_text("Brøgger, Südnorwegischen, Å") == "Brøgger, Südnorwegischen, Å"
        assert all(text.in_cp1252(c) for c in text.clean_text("Σ ω ∞ ⊥ ″ \u2153"))

    def test_cells_are_escaped(self):
        assert text.escape_cell("a\tb\\c\nd\x1de") == "a\\tb\\\\c\\nd\\x1de"
        with pytest.raises(ValueError):
            text.escape_cell("a|b")

    def test_sorting_and_matching_keys(self):
        assert text.sort_key("Zýkaite") == "ZYKAITE"
        assert text.sort_key("Ångströmite") == "ANGSTROMITE"
        assert sorted(["Zunyite", "Zýkaite", "Zussmanite"], key=text.sort_key) == [
            "Zunyite", "Zussmanite", "Zýkaite"]
        assert text.match_key("D'ansite") == text.match_key("Dansite")
        assert text.match_key("Halloysite-7Å") == "halloysite-7a"
        assert text.match_key("Nioboixiolite-(Mn<sup>2+</sup>)") == "nioboixiolite-(mn2+)"
        assert text.record_bytes("Petřícekite") == len("Petřícekite") + 2  # ř is 3 bytes


class TestNames:
    def test_a_name_the_export_damages_is_mended_from_its_plain_form(self):
        name, note = ima.clean_name("PaulišÂ¡ite", "Paulisite")
        assert name == "Paulišite"
        assert "damaged characters (PaulišÂ¡ite)" in note
        assert ima.clean_name("Quartz", "Quartz") == ("Quartz", "")
        assert ima.clean_name("Nioboixiolite-(Mn<sup>2+</sup>)", "Nioboixiolite-(Mn2+)") == (
            "Nioboixiolite-(Mn2+)", "")

    def test_letters_the_records_cannot_hold(self):
        name, note = ima.storable_name("Kozłowskiite")
        assert name == "Kozlowskiite"
        assert "latin small letter l with stroke" in note and "plain letter" in note
        # One kind of code per name: ř keeps its code, č is written c.
        name, note = ima.storable_name("Petříčekite")
        assert name == "Petřícekite"
        assert "latin small letter c with caron" in note
        name, note = ima.storable_name("Nioboixiolite-(◻)")
        assert name == "Nioboixiolite-([])" and "sign" in note
        assert ima.storable_name("Zýkaite") == ("Zýkaite", "")
        assert ima.storable_name("Nováčekite") == ("Nováčekite", "")


class TestLocality:
    def locality(self, row):
        s = ima.Species(name=row["Mineral Name"], source_name=row["Mineral Name"],
                        formula=ima.readable_formula(row["IMA Chemistry (concise)"]))
        log = {}
        ima._take_old(s, row, log)
        return s, log

    def test_countries_are_cleaned(self, notes):
        assert self.locality(notes["Arsenbrackebuschite"])[0].type_locality == \
            "Namibia / Germany"
        assert self.locality(notes["Acuminite"])[0].type_locality == "Denmark (Greenland)"
        assert self.locality(notes["Abernathyite"])[0].type_locality == "USA"

    def test_no_country_for_unknown_or_a_question_mark(self, notes):
        assert notes["Arsenic"]["Country of Type Locality"] == "unknown"
        assert self.locality(notes["Arsenic"])[0].type_locality == ""
        assert notes["Alum-(Na)"]["Country of Type Locality"] == "?"
        assert self.locality(notes["Alum-(Na)"])[0].type_locality == ""

    def test_elements_of_the_older_export(self, notes):
        s, log = self.locality(notes["Acuminite"])
        assert s.elements == ["Sr", "Al", "F", "O", "H"]
        assert log == {}


class TestStatusNoteReferences:
    def refs(self, notes, name):
        return references.status_note_references(notes[name]["Status Notes"])

    def test_a_citation(self, notes):
        assert self.refs(notes, "Abernathyite")[0] == (
            "Thompson M E, Ingram B, Gross E B (1956) Abernathyite, a new uranium mineral of "
            "the metatorbernite group. <i>[American Mineralogist 41, 82-90]</i>")

    def test_a_journal_name_that_holds_a_comma(self, notes):
        assert self.refs(notes, "Acuminite") == [
            "Pauly H, Petersen O V (1987) Acuminite, a new Sr-fluoride from Ivigtut, South "
            "Greenland. <i>[Neues Jahrbuch für Mineralogie, Monatshefte 1987, 502-514]</i>"]

    def test_captions_introduce_their_citations(self, notes):
        refs = self.refs(notes, "Aeschynite-(Y)")
        assert refs[0].startswith("Originally named priorite: Brøgger W C (1906) Die mineralien")
        assert refs[0].endswith(
            "<i>[Skrifter udgivne af Videnskabs-Selskabet i Christiania 1906(6), 1-162]</i>")
        assert refs[1] == ("Name changed to aeschynite-(Y): Levinson A A (1966) A system of "
                           "nomenclature for rare-earth minerals. <i>[American Mineralogist "
                           "51, 152-158]</i>")

    def test_markup_and_brackets_in_a_title(self, notes):
        (ref,) = self.refs(notes, "Arsenbrackebuschite")
        # The card splits a reference at "[" and "<": the title's brackets become parentheses.
        assert ref == ("Abraham K, Kautz K, Tillmanns E, Walenta K (1978) Arsenbrackebuschite, "
                       "Pb2(Fe,Zn)(OH,H2O)(AsO4)2, a new arsenate mineral. <i>[Neues Jahrbuch "
                       "für Mineralogie, Monatshefte 1978, 193-196]</i>")
        (ref,) = self.refs(notes, "Amstallite")
        assert "CaAl(OH)2(Al0.8Si3.2O8(OH)2)·((H2O)0.8Cl0.2), a new mineral" in ref
        assert ref.count("[") == 1 and ref.count("<") == 2

    def test_prose_and_unshaped_citations(self, notes):
        assert self.refs(notes, "Arsenic") == []
        refs = self.refs(notes, "Alum-(Na)")
        # "Pliny (77)" has no four-digit year: passed over as prose.
        assert len(refs) == 2
        assert refs[0].startswith("Sodium species distinguished: Palache C, Berman H, "
                                  "Frondel C (1951) 29.5.5.2 Soda alum (NaAl(SO4)2·12H2O)")
        assert refs[0].endswith("<i>[]</i>")
        assert refs[1].endswith("<i>[The Mineralogical Record 39, 131-135]</i>")

    def test_at_most_three(self, notes):
        joined = "\r\n\r\n".join(notes[n]["Status Notes"] for n in
                                 ("Abernathyite", "Acuminite", "Aeschynite-(Y)"))
        refs = references.status_note_references(joined)
        assert len(refs) == 3
        assert references.status_note_references(joined, limit=5)[3].startswith(
            "Originally named priorite:")


class TestStructureReferences:
    def test_from_the_fixture_structures(self, amcsd):
        quartz = next(r for r in amcsd["quartz"] if r.id == 6362)
        assert references.structure_reference(quartz.publication, quartz.title) == (
            "Kihara K (1990) An X-ray study of the temperature dependence of the quartz "
            "structure. <i>[European Journal of Mineralogy 2, 63-77]</i>")
        calcite = next(r for r in amcsd["calcite"] if r.id == 9890)
        # A title over several lines, the sample notes after it left out.
        assert references.structure_reference(calcite.publication, calcite.title) == (
            "Maslen E N, Streltsov V A, Streltsova N R, Ishizawa N (1995) Electron density and "
            "optical anisotropy in rhombohedral carbonates. III. Synchrotron X-ray studies of "
            "CaCO3, MgCO3 and MnCO3. <i>[Acta Crystallographica, Section B 51, 929-939]</i>")

    def test_title_notes_are_cut(self, amcsd):
        halite = next(r for r in amcsd["halite"] if r.id == 3397)
        assert "Sample:" in halite.title
        assert references.structure_title(halite.title) == "Halite-sylvite thermoelasticity"

    def test_author_texts_for_notes(self):
        def pub(*authors):
            return Publication("J", "1", 2013, "1", "2", list(authors))
        assert references.structure_author_text(pub("Kihara K")) == "Kihara (2013)"
        assert references.structure_author_text(pub("Wadoski-Romeijn E", "Armbruster T")) == \
            "Wadoski-Romeijn and Armbruster (2013)"
        assert references.structure_author_text(pub("Maslen E N", "Streltsov V A",
                                                    "Ishizawa N")) == "Maslen et al. (2013)"
        assert references.structure_author_text(pub()) == "an AMCSD structure (2013)"

    def test_pages_and_missing_parts(self):
        p = Publication("American Mineralogist", "98", 2013, "1988", "1988", ["A B"])
        assert references.structure_reference(p, "T") == \
            "A B (2013) T. <i>[American Mineralogist 98, 1988]</i>"
        p = Publication("", "", 0, "", "", ["A B"])
        assert references.structure_reference(p, "Title?") == "A B Title? <i>[]</i>"

    def test_safe(self):
        # A tag goes; a "<" or ">" that is no tag would split the card's reference there.
        assert references.safe("a [b] <i>c</i>") == "a (b) c"
        assert references.safe("T < 300 K, P > 2 GPa") == "T \u2039 300 K, P \u203a 2 GPa"
