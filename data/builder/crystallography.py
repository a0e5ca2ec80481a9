"""Space group, crystal system and cell of species the structure database lacks."""

import csv
import re
from collections import Counter

from . import symmetry
from .text import match_key

SYSTEM_CODES = {"triclinic": "A", "monoclinic": "M", "orthorhombic": "O", "tetragonal": "Q",
                "cubic": "C", "isometric": "C", "hexagonal": "H", "rhombohedral": "H/R",
                "trigonal": "H"}


def read_point_space_groups(path):
    """{folded lower-case name: Counter of space group symbols} of the 2022 RRUFF table."""
    out = {}
    with open(path, encoding="utf-8", newline="") as f:
        for row in csv.DictReader(f):
            sg = row["space group"].replace("\u00a0", " ").strip()
            if sg:
                out.setdefault(match_key(row["mineral name"]), Counter())[sg] += 1
    return out


def _resolve(table, text, bars_reliable):
    text = text.strip()
    if not text or text.lower() in ("unknown", "amorphous"):
        return None
    found = table.lookup(text)
    if found and (bars_reliable or "-" in symmetry.compact(text)):
        return found
    unique = table.lookup_without_bars(text)
    if unique:
        return unique
    if found and bars_reliable:
        return found
    return symmetry.resolve_nonstandard(table, text) if bars_reliable else None


def space_group_from_exports(table, text_2025, counts_2022, system_code=""):
    """(number, compact symbol, note) from the newer export's "Space Group" cell, which lists
    the first-reported group before "|" and others after it. When the 2022 table reports one
    of the others at least three times as often as the first (and at least three times), that
    one is taken. A group whose crystal system contradicts the export's first system word is
    passed over. The 2022 table alone (overbars lost) is used only when it reads one way."""

    def agrees(number):
        if not system_code:
            return True
        own = symmetry.crystal_system_code(number)
        return own == system_code or (system_code == "H" and own.startswith("H"))

    listed = []
    for part in re.split(r"[|,]", text_2025):
        r = _resolve(table, part, bars_reliable=True)
        if r and r not in listed and agrees(r[0]):
            listed.append(r)
    votes = Counter()
    readings = {}
    for sg, n in sorted((counts_2022 or {}).items()):
        r = _resolve(table, sg, bars_reliable=False)
        if r and agrees(r[0]):
            votes[r[0]] += n
            readings.setdefault(r[0], r[1])
    if listed:
        first = listed[0]
        best = max(listed, key=lambda r: (votes.get(r[0], 0), r == first))
        if best != first and votes[best[0]] >= 3 and votes[best[0]] >= 3 * votes.get(first[0], 0):
            return best[0], best[1], "as most RRUFF reports give it"
        return first[0], first[1], ""
    if votes:
        top = votes.most_common()
        if len(top) == 1 or top[0][1] > top[1][1]:
            number = top[0][0]
            return number, readings[number], "from the RRUFF space group table of 2022"
    return None


def system_code_from_words(words):
    """The crystal system code from the export's words; "hexagonal" stands for hexagonal and
    trigonal alike there, so it gives "H" alone. Empty for unknown or amorphous."""
    if not words:
        return ""
    return SYSTEM_CODES.get(words[0].strip().lower(), "")


_NUM = r"(\d+(?:\.\d+)?)"


def cell_from_text(text, system_code):
    """(a, b, c, alpha, beta, gamma, Z or None) from an infobox "unit cell" text such as
    "a = 5.199 Å, b = 9.027 Å, c = 20.106 Å, β = 95.78°; Z = 4". Edges and angles the text
    leaves out follow from the crystal system; None when the system does not fix them."""
    if not text or text.strip() in ("None", ""):
        return None
    t = text.replace("\u00a0", " ").replace("Å", " ").replace("°", " ")
    t = re.sub(r"\(\d+\)", "", t)

    def value(pattern):
        m = re.search(pattern + r"\s*[=:]\s*" + _NUM, t)
        return float(m.group(1)) if m else None

    a = value(r"(?<![A-Za-z])a")
    b = value(r"(?<![A-Za-z])b")
    c = value(r"(?<![A-Za-z])c")
    alpha = value(r"(?:α|alpha)")
    beta = value(r"(?:β|beta)")
    gamma = value(r"(?:γ|gamma)")
    zm = re.search(r"Z\s*[=:]\s*(\d+)", t)
    z = int(zm.group(1)) if zm else None
    if a is None:
        return None
    code = system_code
    if code == "C":
        b = b or a
        c = c or a
        alpha = beta = gamma = 90.0
    elif code == "Q":
        b = b or a
        alpha = beta = gamma = 90.0
    elif code in ("H", "H/T") or (code == "H/R" and c is not None and alpha is None):
        b = b or a
        alpha, beta, gamma = 90.0, 90.0, 120.0
    elif code == "O":
        alpha = beta = gamma = 90.0
    elif code == "M":
        if beta is None:
            return None
        alpha = alpha or 90.0
        gamma = gamma or 90.0
    elif code == "A":
        if None in (alpha, beta, gamma):
            return None
    else:
        return None
    if None in (a, b, c):
        return None
    for v in (a, b, c):
        if not 1.0 < v < 200.0:
            return None
    return a, b, c, alpha, beta, gamma, z
