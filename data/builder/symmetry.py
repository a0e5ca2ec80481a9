"""Space groups: symbols in their published settings, numbers, point groups, crystal systems.

The table of settings comes from spglib's 530 Hall settings. A symbol is "compact" when its
blanks and the underscores of screw axes are removed ("P 1 21/c 1" -> "P121/c1").
"""

import re
from fractions import Fraction

import numpy as np
import spglib

# Symbols of the 1983-2002 editions, which the published settings of most structures use, for the
# five groups whose standard symbol later gained an "e".
_TRADITIONAL = {39: "Abm2", 41: "Aba2", 64: "Cmca", 67: "Cmma", 68: "Ccca"}

_R_GROUPS = {146, 148, 155, 160, 161, 166, 167}


def compact(symbol):
    return re.sub(r"[\s_]", "", symbol)


def crystal_system_code(number):
    """The card's code of the crystal system of a space group number."""
    if number <= 2:
        return "A"
    if number <= 15:
        return "M"
    if number <= 74:
        return "O"
    if number <= 142:
        return "Q"
    if number <= 167:
        return "H/R" if number in _R_GROUPS else "H/T"
    if number <= 194:
        return "H"
    return "C"


def crystal_system_word(number):
    return {"A": "triclinic", "M": "monoclinic", "O": "orthorhombic", "Q": "tetragonal",
            "H/R": "trigonal", "H/T": "trigonal", "H": "hexagonal",
            "C": "cubic"}[crystal_system_code(number)]


def point_group_text(point_group):
    """The card's way of writing a point group: short symbols, -3m written -3 2/m."""
    return "-3 2/m" if point_group == "-3m" else point_group


class SettingTable:
    """Every symbol of every setting spglib knows, mapped to its space group number."""

    def __init__(self):
        self.number_of = {}      # compact symbol -> number
        self.short_of = {}       # compact symbol -> compact short symbol of that setting
        self.standard = {}       # number -> compact standard short symbol
        self.point_group = {}    # number -> point group (spglib's short form)
        for hall in range(1, 531):
            t = spglib.get_spacegroup_type(hall)
            n = t["number"]
            short = compact(t["international_short"])
            full = compact(t["international_full"])
            setting = compact(t["international"].split("=")[-1])
            if n not in self.standard:
                self.standard[n] = _TRADITIONAL.get(n, short)
                self.point_group[n] = t["pointgroup_international"]
            setting_short = setting
            if 3 <= n <= 15:
                m = re.fullmatch(r"([PABCIF])1(.+)1", full)
                setting_short = m.group(1) + m.group(2) if m else full
            names = {short, full, setting, setting_short}
            for name in names:
                self.number_of.setdefault(name, n)
                self.short_of.setdefault(name, setting_short)
        for n, name in _TRADITIONAL.items():
            self.number_of.setdefault(name, n)
            self.short_of.setdefault(name, name)
        # Old cubic notation without the overbar on 3 (Fd3m for Fd-3m) reads one way only.
        for name, n in list(self.number_of.items()):
            if n >= 195 and "-3" in name:
                plain = name.replace("-3", "3", 1)
                if plain not in self.number_of:
                    self.number_of[plain] = n
                    self.short_of[plain] = self.short_of[name]
        # Every symbol with its overbars removed, for sources that lose them.
        self.without_bars = {}
        for name, n in self.number_of.items():
            self.without_bars.setdefault(name.replace("-", ""), set()).add(n)

    def lookup(self, symbol):
        """(number, compact short symbol) of a symbol in any setting, or None."""
        c = compact(symbol)
        if c in self.number_of:
            return self.number_of[c], self.short_of[c]
        return None

    def lookup_without_bars(self, symbol):
        """For a symbol whose overbars may be lost: the reading when there is only one."""
        c = compact(symbol).replace("-", "")
        numbers = self.without_bars.get(c, set())
        if len(numbers) != 1:
            return None
        n = next(iter(numbers))
        for name, m in self.number_of.items():
            if m == n and name.replace("-", "") == c:
                return n, self.short_of[name]
        return None

    def standard_symbol(self, number):
        return self.standard[number]

    def is_standard(self, number, short):
        return short == self.standard[number] or short == compact(
            spglib.get_spacegroup_type(_first_hall(number))["international_short"])


_FIRST_HALL = {}


def _first_hall(number):
    if not _FIRST_HALL:
        for hall in range(1, 531):
            _FIRST_HALL.setdefault(spglib.get_spacegroup_type(hall)["number"], hall)
    return _FIRST_HALL[number]


def parse_operator(op):
    """'1/2+x,-y,z' -> (3x3 integer rotation, translation in [0,1))."""
    rotation = np.zeros((3, 3), dtype=int)
    translation = np.zeros(3)
    parts = op.replace(" ", "").lower().split(",")
    if len(parts) != 3:
        raise ValueError(f"bad symmetry operator {op!r}")
    for i, expr in enumerate(parts):
        pos = 0
        for m in re.finditer(r"([+-]?)(\d+/\d+|\d*\.\d+|\d+)?\*?([xyz])?", expr):
            sign, num, var = m.groups()
            if not num and not var:
                continue
            if m.start() != pos:
                raise ValueError(f"bad symmetry operator {op!r}")
            pos = m.end()
            s = -1 if sign == "-" else 1
            if var:
                coefficient = Fraction(num) if num else 1
                rotation[i, "xyz".index(var)] += s * int(coefficient)
            else:
                translation[i] += s * float(Fraction(num))
        if pos != len(expr):
            raise ValueError(f"bad symmetry operator {op!r}")
    return rotation, np.mod(translation, 1.0)


def group_of_operators(rotations, translations, lattice):
    """spglib's reading of a list of operators: number and point group, or None."""
    try:
        t = spglib.get_spacegroup_type_from_symmetry(
            np.array(rotations), np.array(translations), lattice=lattice, symprec=1e-3)
    except Exception:  # spglib raises on operator sets that form no group
        return None
    if not t:
        return None
    return t["number"], t["pointgroup_international"]


_TOKEN = re.compile(r"(21|2|1|[mabcnde])(?:/([mabcnde]))?")


def _map_token(token, perm):
    out = []
    for ch in token:
        out.append("abc"[perm["abc".index(ch)]] if ch in "abc" else ch)
    return "".join(out)


def resolve_nonstandard(table, symbol):
    """Number and compact symbol of a setting spglib's table lacks, read by the rules of the
    International Tables, or None. Handles centred triclinic cells (C-1), monoclinic and
    orthorhombic symbols with another centring or axis order (B21/d, Bbam) and C- or F-centred
    tetragonal cells (C-42b)."""
    c = compact(symbol).split(":")[0]
    if not c or c[0] not in "PABCIF":
        return None
    lattice, rest = c[0], c[1:]
    if rest in ("1", "-1"):
        return (1 if rest == "1" else 2), c
    m = re.fullmatch(r"(-4|4|41|42|43)(.*)", rest)
    if lattice in "CF" and m:
        tokens = _TOKEN.findall(m.group(2))
        if len(tokens) == 2:
            swapped = "".join(a + ("/" + b if b else "") for a, b in reversed(tokens))
            found = table.lookup(("P" if lattice == "C" else "I") + m.group(1) + swapped)
            if found:
                return found[0], c
        return None
    tokens = ["".join(t[0] + ("/" + t[1] if t[1] else "")) for t in _TOKEN.findall(rest)]
    if "".join(tokens) != rest.replace("/", "/"):
        return None
    if len(tokens) == 3 and tokens.count("1") == 2:
        # A full monoclinic symbol: turn the unique axis into b, then read it as below.
        unique = next(i for i, tok in enumerate(tokens) if tok != "1")
        perm = {0: (1, 0, 2), 1: (0, 1, 2), 2: (0, 2, 1)}[unique]
        new_lattice = "ABC"[perm["ABC".index(lattice)]] if lattice in "ABC" else lattice
        tokens = [_map_token(tokens[unique], perm)]
        lattice = new_lattice
        found = table.lookup(lattice + tokens[0])
        if found:
            return found[0], c
    if len(tokens) == 3:
        from itertools import permutations
        for perm in permutations(range(3)):
            new_lattice = lattice
            if lattice in "ABC":
                new_lattice = "ABC"[perm["ABC".index(lattice)]]
            new_tokens = [None] * 3
            for i, tok in enumerate(tokens):
                new_tokens[perm[i]] = _map_token(tok, perm)
            found = table.lookup(new_lattice + "".join(new_tokens))
            if found:
                return found[0], c
        return None
    if len(tokens) == 1:
        # Monoclinic short symbol, read with b as the unique axis: B centring lies in the plane
        # normal to b and leaves a primitive lattice; A, C, I and F leave a C-centred one.
        tok = tokens[0]
        axis, _, plane = tok.partition("/")
        if axis in ("2", "21"):
            rotation, glide = axis, plane
        else:
            rotation, glide = "", axis
        mirror = glide == "m"
        glide_plane = glide in ("a", "b", "c", "n", "d", "e")
        if lattice in "PB":
            screw = rotation == "21"
            if rotation and (mirror or glide_plane):
                n = (11 if screw else 10) if mirror else (14 if screw else 13)
            elif rotation:
                n = 4 if screw else 3
            else:
                n = 6 if mirror else 7
        else:
            if rotation and (mirror or glide_plane):
                n = 12 if mirror else 15
            elif rotation:
                n = 5
            else:
                n = 8 if mirror else 9
        return n, c
    return None
