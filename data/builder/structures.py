"""Crystal structures of the AMCSD: reading, choosing one per species, cell and Z."""

import base64
import json
import math
import re
import sqlite3
from dataclasses import dataclass, field

import numpy as np

from . import symmetry
from .formula import ELEMENT_SET, FormulaError, parse_counts
from .text import match_key

# Isotropic displacement (A^2) assumed for atoms whose structure gives none.
DEFAULT_B = 1.0

_SCALE = 4.0e6


def decode_array(text):
    """larch's coding of per-site numbers: base64 of little-endian int32 values scaled by
    4e6; "0" when the column is absent; 2 and 3 stand for "?" and "." (no value)."""
    if text in (None, "0", 0, "", "<missing>"):
        return None
    raw = np.frombuffer(base64.b64decode(text), dtype="<i4") / _SCALE
    out = []
    for v in raw:
        out.append(None if abs(v - 2.0) < 1e-5 or abs(v - 3.0) < 1e-5 else float(v))
    return out


def _number(text):
    if text is None:
        return None
    m = re.match(r"\s*(-?\d+(?:\.\d*)?|-?\.\d+)", str(text))
    return float(m.group(1)) if m else None


@dataclass
class Publication:
    journal: str
    volume: str
    year: int
    first_page: str
    last_page: str
    authors: list


@dataclass
class CifRecord:
    id: int
    mineral: str
    hm: str
    operators: list
    formula: str
    compound: str
    title: str
    cell: tuple
    volume: float
    density: float
    labels: list
    x: list
    y: list
    z: list
    occupancy: list
    u_iso: list
    aniso_labels: list
    u_aniso: list
    publication: Publication
    elements: set = field(default_factory=set)
    # Structures of a separate file (extra.py): its database code ("AMCSD 0001683"), why it is
    # a model rather than a refinement, how its cell differs from the published one, and the
    # cell content pymatgen's own reading of the file gives.
    origin: str = ""
    model: str = ""
    cell_change: str = ""
    reference_content: dict = None


def load_amcsd(path):
    """Every structure that has a mineral name, by folded lower-case name."""
    db = sqlite3.connect(f"file:{path}?mode=ro", uri=True)
    authors = {}
    for pid, name in db.execute(
            "select pa.publication_id, a.name from publication_authors pa "
            "join authors a on a.id = pa.author_id order by pa.rowid"):
        authors.setdefault(pid, []).append(name)
    pubs = {}
    for pid, journal, volume, year, first, last in db.execute(
            "select id, journalname, volume, year, page_first, page_last from publications"):
        pubs[pid] = Publication(journal or "", volume or "", year or 0, first or "", last or "",
                                authors.get(pid, []))
    elements = {}
    for cid, el in db.execute("select cif_id, element from cif_elements"):
        elements.setdefault(int(cid), set()).add(el)
    out = {}
    rows = db.execute(
        "select c.id, m.name, s.hm_notation, s.symmetry_xyz, c.publication_id, c.formula, "
        "c.compound, c.pub_title, c.a, c.b, c.c, c.alpha, c.beta, c.gamma, c.cell_volume, "
        "c.crystal_density, c.atoms_sites, c.atoms_x, c.atoms_y, c.atoms_z, c.atoms_occupancy, "
        "c.atoms_u_iso, c.atoms_aniso_label, c.atoms_aniso_u11, c.atoms_aniso_u22, "
        "c.atoms_aniso_u33 from cif c join minerals m on m.id = c.mineral_id "
        "join spacegroups s on s.id = c.spacegroup_id order by c.id")
    for r in rows:
        name = r[1]
        if not name or name == "<missing>":
            continue
        labels = json.loads(r[16]) if r[16] not in (None, "<missing>", "0") else []
        aniso = json.loads(r[22]) if r[22] not in (None, "<missing>", "0") else []
        u_aniso = None
        if aniso:
            u11, u22, u33 = decode_array(r[23]), decode_array(r[24]), decode_array(r[25])
            if u11 and u22 and u33:
                u_aniso = list(zip(u11, u22, u33))
        rec = CifRecord(
            id=r[0], mineral=name, hm=re.sub(r"\s*%var\d+%", "", r[2]).strip(),
            operators=json.loads(r[3]), formula=r[5] or "", compound=r[6] or "",
            title=r[7] or "",
            cell=tuple(_number(v) for v in r[8:14]), volume=_number(r[14]),
            density=_number(r[15]), labels=labels, x=decode_array(r[17]) or [],
            y=decode_array(r[18]) or [], z=decode_array(r[19]) or [],
            occupancy=decode_array(r[20]), u_iso=decode_array(r[21]), aniso_labels=aniso,
            u_aniso=u_aniso, publication=pubs.get(r[4]), elements=elements.get(r[0], set()))
        out.setdefault(match_key(name), []).append(rec)
    return out


# --- Reading a site label ----------------------------------------------------------------

_LABEL_ALIASES = {"Wat": "O", "Ow": "O", "OW": "O", "Oh": "O", "D": "H", "Dw": "H"}


def site_element(label, allowed):
    """The element of a site label such as "Si1", "MgM1", "O-H", "Wat", "OW2"."""
    m = re.match(r"[A-Z][a-z]?", label)
    if not m:
        raise ValueError(f"unreadable site label {label!r}")
    two = m.group(0)
    if two in _LABEL_ALIASES and two not in allowed:
        return _LABEL_ALIASES[two]
    if two == "D":
        return "H"
    if two in ELEMENT_SET and (two in allowed or not allowed or len(two) == 1):
        return two
    one = two[0]
    if one in ELEMENT_SET and (one in allowed or not allowed):
        return one
    if two in ELEMENT_SET:
        return two
    if label.startswith("Wat"):
        return "O"
    raise ValueError(f"unreadable site label {label!r}")


# --- Structure analysis -------------------------------------------------------------------

class StructureError(ValueError):
    pass


def lattice_matrix(a, b, c, alpha, beta, gamma):
    al, be, ga = (math.radians(v) for v in (alpha, beta, gamma))
    ax = np.array([a, 0.0, 0.0])
    bx = np.array([b * math.cos(ga), b * math.sin(ga), 0.0])
    cx = c * math.cos(be)
    cy = c * (math.cos(al) - math.cos(be) * math.cos(ga)) / math.sin(ga)
    cz2 = c * c - cx * cx - cy * cy
    if cz2 <= 0:
        raise StructureError("impossible cell")
    return np.array([ax, bx, [cx, cy, math.sqrt(cz2)]])


def cell_volume(a, b, c, alpha, beta, gamma):
    ca, cb, cg = (math.cos(math.radians(v)) for v in (alpha, beta, gamma))
    return a * b * c * math.sqrt(max(0.0, 1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg))


def cell_fits(number, cell):
    """Whether edges and angles obey the metric of the space group's crystal system."""
    a, b, c, al, be, ga = cell

    def same(x, y, rel=0.0015):
        return abs(x - y) <= rel * max(x, y)

    def right(x):
        return abs(x - 90.0) <= 0.05

    code = symmetry.crystal_system_code(number)
    if code == "C":
        return same(a, b) and same(a, c) and right(al) and right(be) and right(ga)
    if code == "Q":
        return same(a, b) and right(al) and right(be) and right(ga)
    if code in ("H", "H/T") or (code == "H/R" and right(al)):
        return same(a, b) and right(al) and right(be) and abs(ga - 120.0) <= 0.05
    if code == "H/R":
        return same(a, b) and same(a, c) and abs(al - be) <= 0.05 and abs(al - ga) <= 0.05
    if code == "O":
        return right(al) and right(be) and right(ga)
    if code == "M":
        return sum(1 for x in (al, be, ga) if right(x)) >= 2
    return True


@dataclass
class Analysis:
    record: CifRecord
    number: int
    point_group: str
    symbol: str            # compact, in the published setting
    standard_symbol: str
    symbol_note: str       # why the symbol is not the standard one, or ""
    cell: tuple
    volume: float
    sites: list            # [(frac xyz, {element: occupancy})] of the full cell
    rhombohedral_axes: bool
    rotations: list = field(default_factory=list)  # of the operators, on fractional xyz


def analyse(rec, table):
    """Symmetry, cell and the expanded sites of one structure; raises StructureError."""
    a, b, c, al, be, ga = rec.cell
    if None in rec.cell or min(a, b, c) <= 0:
        raise StructureError("no cell")
    lat = lattice_matrix(a, b, c, al, be, ga)
    try:
        ops = [symmetry.parse_operator(o) for o in rec.operators]
    except ValueError as e:
        raise StructureError(str(e))
    if not ops:
        raise StructureError("no symmetry operators")
    found = symmetry.group_of_operators([o[0] for o in ops], [o[1] for o in ops], lat)
    if not found:
        raise StructureError("symmetry operators form no group")
    number, point_group = found
    published = symmetry.compact(rec.hm)
    by_symbol = table.lookup(rec.hm) or symmetry.resolve_nonstandard(table, rec.hm)
    standard = table.standard_symbol(number)
    note = ""
    if by_symbol and by_symbol[0] == number:
        symbol = by_symbol[1]
        if not table.is_standard(number, symbol):
            note = f"setting {symbol}"
    elif by_symbol:
        raise StructureError(f"symbol {published} disagrees with its operators ({number})")
    else:
        symbol = standard
        note = f"published as {rec.hm}"
    if not cell_fits(number, rec.cell):
        raise StructureError(f"cell {rec.cell} does not fit space group {number}")
    if not rec.labels or not (len(rec.labels) == len(rec.x) == len(rec.y) == len(rec.z)):
        raise StructureError("no atom sites")
    sites = expand_sites(rec, ops, lat)
    if rec.reference_content is not None:
        _check_content(sites, rec.reference_content)
    rhombohedral = (number in (146, 148, 155, 160, 161, 166, 167)
                    and abs(al - 90) > 0.5 and abs(al - be) < 0.01 and abs(be - ga) < 0.01)
    volume = rec.volume or cell_volume(a, b, c, al, be, ga)
    return Analysis(rec, number, point_group, symbol, standard, note, (a, b, c, al, be, ga),
                    volume, sites, rhombohedral, [o[0] for o in ops])


def expand_sites(rec, ops, lat, tolerance=0.05):
    """All positions of the cell: every site under every operator, duplicates removed, sites
    on one position with different elements joined. Positions count as one when they are
    closer than tolerance (A) along every cell edge."""
    allowed = rec.elements
    rotations = np.array([o[0] for o in ops], dtype=float)
    translations = np.array([o[1] for o in ops])
    occupancy = rec.occupancy or [None] * len(rec.labels)
    frac_tol = tolerance / max(np.linalg.norm(lat, axis=1))
    positions, species = [], []
    for i, label in enumerate(rec.labels):
        try:
            el = site_element(label, allowed)
        except ValueError as e:
            raise StructureError(str(e))
        xyz = (rec.x[i], rec.y[i], rec.z[i])
        if None in xyz:
            raise StructureError("site without coordinates")
        occ = occupancy[i] if i < len(occupancy) and occupancy[i] is not None else 1.0
        if not 0 < occ <= 1.2:
            raise StructureError(f"occupancy {occ} of {label}")
        images = _wrap(rotations @ np.array(xyz) + translations)
        for k in _representatives(images, frac_tol):
            positions.append(images[k])
            species.append({el: occ})
    if len(positions) > 5000:
        raise StructureError(f"{len(positions)} positions")
    positions = np.array(positions)
    groups = {}
    for k, root in enumerate(_roots(positions, frac_tol)):
        groups.setdefault(root, []).append(k)
    sites = []
    for root in sorted(groups):
        sp = {}
        for k in groups[root]:
            for el, occ in species[k].items():
                sp[el] = sp.get(el, 0.0) + occ
        sites.append((positions[root], sp))
    return sites


def _check_content(sites, reference):
    """The expanded cell must hold what another reading of the same file holds (within 2 %
    of each element's amount, or 0.05 atoms)."""
    ours = cell_content(sites)
    for el in sorted(set(ours) | set(reference)):
        a, b = ours.get(el, 0.0), reference.get(el, 0.0)
        if abs(a - b) > max(0.05, 0.02 * max(a, b)):
            raise StructureError(f"cell content: {el} {a:g}, pymatgen reads {b:g}")


def _wrap(frac):
    frac = np.mod(frac, 1.0)
    frac[frac >= 1.0 - 1e-12] = 0.0
    return frac


def _roots(points, frac_tol):
    """For each point, the lowest index of the points it is joined to (closer than frac_tol
    along every axis, across cell edges)."""
    from scipy.spatial import cKDTree

    parent = list(range(len(points)))

    def find(i):
        while parent[i] != i:
            parent[i] = parent[parent[i]]
            i = parent[i]
        return i

    tree = cKDTree(points, boxsize=1.0)
    for i, j in sorted(tree.query_pairs(frac_tol, p=np.inf)):
        ri, rj = find(i), find(j)
        if ri != rj:
            parent[max(ri, rj)] = min(ri, rj)
    return [find(i) for i in range(len(points))]


def _representatives(points, frac_tol):
    roots = _roots(points, frac_tol)
    return sorted(set(roots))


def cell_content(sites):
    content = {}
    for _, sp in sites:
        for el, occ in sp.items():
            content[el] = content.get(el, 0.0) + occ
    return content


def formula_units(sites, formula):
    """Z from the cell content and the formula, or None when they do not agree well enough:
    every counted element group (hydrogen and ambiguous groups left out) must give the same
    whole number within 12 %, the most abundant within 4 %."""
    try:
        counts, ambiguous = parse_counts(formula)
    except FormulaError:
        return None
    content = cell_content(sites)
    ratios = []
    for key, n in counts.items():
        if n <= 0 or "H" in key or key & ambiguous:
            continue
        have = sum(content.get(el, 0.0) for el in key)
        ratios.append((n, have / n))
    if not ratios:
        return None
    main_n, main_ratio = max(ratios, key=lambda t: (t[0], -t[1]))
    z = round(main_ratio)
    if z < 1 or abs(main_ratio - z) > 0.04 * z:
        return None
    if any(abs(r - z) > 0.12 * z for _, r in ratios):
        return None
    return z


def debye_waller(rec, sites):
    """B = 8 pi^2 U per element: the mean of the structure's isotropic displacement parameters
    (or of the equivalent ones of anisotropic sites), DEFAULT_B where it gives none."""
    per = {}
    allowed = rec.elements
    u_of_label = {}
    if rec.u_aniso and rec.aniso_labels:
        for label, (u11, u22, u33) in zip(rec.aniso_labels, rec.u_aniso):
            if None not in (u11, u22, u33):
                u_of_label[label] = (u11 + u22 + u33) / 3.0
    for i, label in enumerate(rec.labels):
        u = None
        if rec.u_iso and i < len(rec.u_iso) and rec.u_iso[i]:
            u = rec.u_iso[i]
        elif label in u_of_label:
            u = u_of_label[label]
        if u is None or not 0.0005 <= u <= 0.2:
            continue
        try:
            el = site_element(label, allowed)
        except ValueError:
            continue
        per.setdefault(el, []).append(u)
    out = {}
    for _, sp in sites:
        for el in sp:
            if el not in out:
                us = per.get(el)
                out[el] = round(8 * math.pi ** 2 * sum(us) / len(us), 3) if us else DEFAULT_B
    return out


# --- Choosing one structure per species ---------------------------------------------------

_COMPUTED = re.compile(r"hypothetical|ab initio|computer[- ]simulated|mathematical model|"
                       r"first[- ]principles|\bDFT\b|theoretical|calculated structure|"
                       r"molecular dynamics|simulation|electronic structure|"
                       r"electronic,? (?:and )?(?:optical|structural)", re.I)
_HIGH_P_WORDS = re.compile(r"high[- ]pressure|at pressure|\bGPa\b|\bkbar\b|compression", re.I)
_HIGH_T_WORDS = re.compile(r"high[- ]temperature|at temperature|heating", re.I)


def _pressure_gpa(title):
    m = re.search(r"\bP\s*=\s*(-?\d*\.?\d+)\s*(GPa|kbar|Kbar|bar|atm|MPa)?", title)
    if not m:
        if re.search(r"\bP\s*=\s*(room|ambient|1 atm)", title):
            return 0.0
        return None
    v = float(m.group(1))
    unit = (m.group(2) or "GPa").lower()
    return v * {"gpa": 1.0, "kbar": 0.1, "bar": 1e-4, "atm": 1e-4, "mpa": 1e-3}[unit]


def _temperature_k(title):
    m = re.search(r"\bT\s*=\s*=?\s*(-?\d*\.?\d+)\s*(?:deg(?:ree)?s?\s*)?(C|K)\b", title)
    if not m:
        if re.search(r"\bT\s*=\s*room", title):
            return 295.0
        return None
    v = float(m.group(1))
    return v + 273.15 if m.group(2) == "C" else v


def conditions(rec):
    """(pressure in GPa or None, temperature in K or None, computed?) from the title notes."""
    text = rec.title + " " + rec.compound
    return _pressure_gpa(text), _temperature_k(text), bool(_COMPUTED.search(text))


def amcsd_composition(formula):
    """Element amounts of an AMCSD formula such as "(Mg1.8 Fe.2) Si O4"."""
    out = {}
    for sym, num in re.findall(r"([A-Z][a-z]?)(\d*\.?\d*)", formula):
        if sym not in ELEMENT_SET:
            continue
        try:
            n = float(num) if num not in ("", ".") else 1.0
        except ValueError:
            n = 1.0
        out[sym] = out.get(sym, 0.0) + n
    return out


def composition_distance(amcsd_formula, ideal_formula):
    """Sum of the differences of atomic fractions (hydrogen and ambiguous sites left out)
    between a structure's formula and the species' ideal formula: 0 for a perfect match,
    up to 2. None when the ideal formula cannot be read."""
    try:
        counts, ambiguous = parse_counts(ideal_formula)
    except FormulaError:
        return None
    ideal = {}
    for key, n in counts.items():
        for el in key:
            ideal[el] = ideal.get(el, 0.0) + n / len(key)
    skip = set(ambiguous) | {"H"}
    ideal = {k: v for k, v in ideal.items() if k not in skip}
    have = {k: v for k, v in amcsd_composition(amcsd_formula).items() if k not in skip}
    ti, th = sum(ideal.values()), sum(have.values())
    if ti <= 0 or th <= 0:
        return None
    keys = set(ideal) | set(have)
    return sum(abs(ideal.get(k, 0.0) / ti - have.get(k, 0.0) / th) for k in keys)


@dataclass
class Choice:
    analysis: Analysis
    z: int
    score: float
    reasons: list


def score_structure(rec, analysis, z, ideal_formulas):
    """Lower is better: ambient, end-member, standard setting, recent, complete."""
    score, reasons = 0.0, []
    p, t, computed = conditions(rec)
    text = rec.title + " " + rec.compound
    if computed or rec.model:
        score += 50
        reasons.append("computed" if computed else "model")
    if p is not None and p > 0.2:
        score += 40
        reasons.append(f"P={p:g} GPa")
    elif p is None and _HIGH_P_WORDS.search(text):
        score += 15
        reasons.append("high pressure study")
    if t is not None and t > 350:
        score += 30
        reasons.append(f"T={t:.0f} K")
    elif t is not None and t < 150:
        score += 4
        reasons.append(f"T={t:.0f} K")
    elif t is None and _HIGH_T_WORDS.search(text):
        score += 10
        reasons.append("high temperature study")
    distances = [d for d in (composition_distance(rec.formula, f) for f in ideal_formulas)
                 if d is not None]
    if distances:
        score += 40 * min(distances)
    if re.search(r"synthetic", text, re.I):
        score += 1
    if analysis.symbol_note.startswith("published as"):
        score += 2
    elif analysis.symbol_note:
        score += 1
    if analysis.rhombohedral_axes:
        score += 3
    if z is None:
        score += 2
    if rec.u_iso or rec.u_aniso:
        score -= 0.5
    year = rec.publication.year if rec.publication else 0
    if year < 1960:
        score += 3
    elif year < 1980:
        score += 1
    return score, reasons


def choose_structure(records, ideal_formulas, table, log):
    """The candidates of a species, best first (see score_structure). Structures that fail to
    be read are skipped and logged. Among the rest, a structure whose volume per formula unit
    strays from the median of the ambient ones counts against it (1 per 1 %), so that an odd
    sample does not win a tie."""
    read = []
    for rec in records:
        try:
            an = analyse(rec, table)
        except StructureError as e:
            log.setdefault("structure rejected", []).append(f"{rec.id} {rec.mineral}: {e}")
            continue
        z = None
        for f in ideal_formulas if not rec.model else []:
            z = formula_units(an.sites, f)
            if z:
                break
        score, reasons = score_structure(rec, an, z, ideal_formulas)
        read.append((rec, an, z, score, reasons))
    ambient = sorted(an.volume / z for _, an, z, _, reasons in read if z and not reasons)
    median = ambient[len(ambient) // 2] if len(ambient) >= 3 else None
    choices = []
    for rec, an, z, score, reasons in read:
        if median and z:
            score += 100.0 * abs(an.volume / z - median) / median
        year = rec.publication.year if rec.publication else 0
        choices.append((round(score, 6), -year, rec.id, Choice(an, z, score, reasons)))
    choices.sort(key=lambda t: t[:3])
    return [c[3] for c in choices]
