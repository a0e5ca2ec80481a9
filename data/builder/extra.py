"""Structures of data/raw/extra-structures/: CIF files of common species the AMCSD extract
lacks, read with pymatgen's CifParser into the records the AMCSD gives, so that they pass the
same analysis and the same choice as every other candidate."""

import csv
import dataclasses
import math
import os
import re
import warnings
from fractions import Fraction

import numpy as np

from .formula import ELEMENT_SET
from .structures import CifRecord, Publication, StructureError, _number, lattice_matrix

SOURCES = "SOURCES.tsv"

# What some files need beyond reading, by file name.
# A cell to change to (columns: the new edges in the published ones) and why.
CELL_CHANGES = {
    # Published on a C-centred cell with beta 103.58 (c' = a + c of the usual one); the usual
    # cell of dickite (beta 96.7) is the one papers and patterns index.
    "dickite.cif": (((1, 0, 0), (0, -1, 0), (-1, 0, -1)),
                    "the usual cell a, -b, -(a + c) of the published one (beta 103.58)"),
}
# Structures that are models rather than refinements: the note the card carries. Z is left
# out for them.
MODELS = {
    "antigorite.cif": "an HRTEM structure model of the m = 14 polysome, not a diffraction "
                      "refinement: common antigorite (m = 16 to 17) differs in its weak "
                      "superstructure lines, and Z is not given",
}
# What the report says of the files handled in code.
HANDLING = {
    "antigorite.cif": "a structure model, which counts against it like a computed structure "
                      "and gets no Z",
    "dickite.cif": "published on a cell with beta 103.58, changed to the usual cell (beta 96.7)",
    "kaolinite.cif": "the C1 cell of the article, kept and noted as a setting of P1",
    "trilithionite.cif": "the site label O-H4 (a hydroxyl oxygen) read as oxygen; for "
                         "pymatgen's reading it is renamed in memory",
}
# Labels pymatgen's own reading cannot take, renamed for that reading only (the file and the
# builder's reading keep them): "O-H4", a hydroxyl oxygen, reads as an OH group there and is
# lost.
_PYMATGEN_LABEL = re.compile(r"(?m)^([A-Z][a-z]?)-H(\d*)(?=[ \t])")


def read_sources(directory):
    """The rows of SOURCES.tsv: file, species and source for each structure file."""
    path = os.path.join(directory, SOURCES)
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8", newline="") as f:
        return list(csv.DictReader(f, delimiter="\t"))


def load(directory):
    """{folded species key: [CifRecord]} of every file listed in SOURCES.tsv, and a log of
    the files that could not be read."""
    from .text import match_key
    out, log = {}, {}
    for row in read_sources(directory):
        name = row["file"]
        try:
            with open(os.path.join(directory, name), encoding="utf-8") as f:
                rec = read_cif(f.read(), name, row["source"])
        except (OSError, StructureError, ValueError, KeyError) as e:
            log.setdefault("extra structure unreadable", []).append(f"{name}: {e}")
            continue
        out.setdefault(match_key(row["species"]), []).append(rec)
    return out, log


def _block(text):
    from pymatgen.io.cif import CifParser
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        blocks = CifParser.from_string(text).as_dict()
    if len(blocks) != 1:
        raise StructureError(f"{len(blocks)} data blocks")
    return next(iter(blocks.values()))


def _list(block, key):
    v = block.get(key)
    if v is None:
        return []
    return v if isinstance(v, list) else [v]


def _values(block, key, n):
    """A column of the atom-site loop as numbers (None for "?" and "."), or None."""
    col = _list(block, key)
    if not col:
        return None
    if len(col) != n:
        raise StructureError(f"{key}: {len(col)} values for {n} sites")
    return [None if v.strip() in ("?", ".") else _number(v) for v in col]


def _author(name):
    """"Ohashi, Y." -> "Ohashi Y", the AMCSD's way."""
    if "," in name:
        surname, _, initials = name.partition(",")
        name = f"{surname.strip()} {initials.replace('.', ' ').strip()}"
    return re.sub(r"\s+", " ", name).strip()


def _source_id(source):
    """The database number of SOURCES.tsv's "source" cell: AMCSD 0001683, COD 9005777."""
    m = re.match(r"\s*(AMCSD|COD)\s+(\d+)", source)
    if not m:
        raise StructureError(f"no database number in {source!r}")
    return m.group(1), int(m.group(2))


def read_cif(text, file_name, source):
    """A CifRecord of one CIF file. The database number comes from SOURCES.tsv (the AMCSD
    code, else the COD number); the cell content pymatgen reads must match the builder's."""
    block = _block(text)
    labels = _list(block, "_atom_site_label")
    n = len(labels)
    if not n:
        raise StructureError("no atom sites")
    x, y, z = (_values(block, f"_atom_site_fract_{a}", n) for a in "xyz")
    aniso = _list(block, "_atom_site_aniso_label")
    u_aniso = None
    if aniso:
        cols = [_values(block, f"_atom_site_aniso_U_{i}", len(aniso)) for i in ("11", "22", "33")]
        if all(cols):
            u_aniso = list(zip(*cols))
    operators = _list(block, "_space_group_symop_operation_xyz") or \
        _list(block, "_symmetry_equiv_pos_as_xyz")
    hm = block.get("_symmetry_space_group_name_H-M") or block.get("_space_group_name_H-M_alt")
    if not operators or not hm:
        raise StructureError("no symmetry operators or space group symbol")
    cell = tuple(_number(block.get(k)) for k in (
        "_cell_length_a", "_cell_length_b", "_cell_length_c", "_cell_angle_alpha",
        "_cell_angle_beta", "_cell_angle_gamma"))
    formula = block.get("_chemical_formula_sum", "")
    pages = (block.get("_journal_page_first", ""), block.get("_journal_page_last", ""))
    publication = Publication(
        journal=block.get("_journal_name_full", ""), volume=block.get("_journal_volume", ""),
        year=int(_number(block.get("_journal_year")) or 0), first_page=pages[0],
        last_page=pages[1], authors=[_author(a) for a in _list(block, "_publ_author_name")])
    # pymatgen joins the lines of a text field; the notes after the title start a line again,
    # as in the AMCSD's titles.
    title = re.sub(r"\s+(?=(?:Note|Sample)\b)", "\n ", block.get("_publ_section_title", ""))
    database, number = _source_id(source)
    rec = CifRecord(
        id=number, mineral=block.get("_chemical_name_mineral", "").strip(), hm=hm,
        operators=operators, formula=formula,
        compound=block.get("_chemical_compound_source", ""), title=" " + title.strip(),
        cell=cell, volume=_number(block.get("_cell_volume")),
        density=_number(block.get("_exptl_crystal_density_diffrn")), labels=labels,
        x=x or [], y=y or [], z=z or [], occupancy=_values(block, "_atom_site_occupancy", n),
        u_iso=_values(block, "_atom_site_U_iso_or_equiv", n), aniso_labels=aniso,
        u_aniso=u_aniso, publication=publication,
        elements={el for el in re.findall(r"[A-Z][a-z]?", formula) if el in ELEMENT_SET})
    rec.origin = f"{database} {number:07d}" if database == "AMCSD" else f"{database} {number}"
    rec.model = MODELS.get(file_name, "")
    rec.reference_content = _pymatgen_content(text)
    change = CELL_CHANGES.get(file_name)
    if change:
        rec = transform(rec, np.array(change[0], dtype=float).T)
        rec.cell_change = change[1]
    return rec


def _pymatgen_content(text):
    """Element amounts of the cell as pymatgen's CifParser builds it."""
    from pymatgen.io.cif import CifParser
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        structure = CifParser.from_string(_PYMATGEN_LABEL.sub(r"\1\2h", text),
                                          occupancy_tolerance=1.2) \
            .get_structures(primitive=False)[0]
    out = {}
    for el, amount in structure.composition.get_el_amt_dict().items():
        out[el] = out.get(el, 0.0) + amount
    return out


# --- Changing the cell ---------------------------------------------------------------------

def transform(rec, p):
    """The record on new edges given as the columns of p (in the old edges): cell, sites and
    operators. p must keep the lattice (integer, determinant 1)."""
    if round(np.linalg.det(p)) != 1 or not np.allclose(p, np.rint(p)):
        raise StructureError("a cell change must be an integer matrix of determinant 1")
    q = np.linalg.inv(p)
    old = lattice_matrix(*rec.cell)
    new = p.T @ old
    lengths = [float(np.linalg.norm(v)) for v in new]

    def angle(u, v):
        return math.degrees(math.acos(float(np.dot(u, v)) / (np.linalg.norm(u) *
                                                            np.linalg.norm(v))))

    cell = (lengths[0], lengths[1], lengths[2], angle(new[1], new[2]), angle(new[0], new[2]),
            angle(new[0], new[1]))
    cell = tuple(round(v, 4) for v in cell)
    xyz = q @ np.array([rec.x, rec.y, rec.z], dtype=float)
    from .symmetry import parse_operator
    ops = []
    for op in rec.operators:
        r, t = parse_operator(op)
        ops.append(format_operator(q @ r @ p, q @ t))
    x, y, z = (list(map(float, row)) for row in xyz)
    return dataclasses.replace(rec, cell=cell, operators=ops, x=x, y=y, z=z, volume=None)


def format_operator(rotation, translation):
    """"x,-y,1/2+z" from a rotation and a translation."""
    parts = []
    for row, t in zip(np.rint(rotation).astype(int), translation):
        text = ""
        for c, var in zip(row, "xyz"):
            if c:
                text += ("+" if c > 0 and text else "-" if c < 0 else "") + \
                    (str(abs(c)) if abs(c) != 1 else "") + var
        frac = Fraction(float(t) % 1.0).limit_denominator(12)
        if frac:
            text = f"{frac}{'' if text.startswith('-') else '+'}{text}" if text else str(frac)
        parts.append(text)
    return ",".join(parts)

