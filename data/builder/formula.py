"""Chemical formulas: element symbols in order, and element counts for checks."""

import re

ELEMENTS = (
    "H He Li Be B C N O F Ne Na Mg Al Si P S Cl Ar K Ca Sc Ti V Cr Mn Fe Co Ni Cu Zn Ga Ge As "
    "Se Br Kr Rb Sr Y Zr Nb Mo Tc Ru Rh Pd Ag Cd In Sn Sb Te I Xe Cs Ba La Ce Pr Nd Pm Sm Eu Gd "
    "Tb Dy Ho Er Tm Yb Lu Hf Ta W Re Os Ir Pt Au Hg Tl Pb Bi Po At Rn Fr Ra Ac Th Pa U Np Pu Am "
    "Cm Bk Cf Es Fm Md No Lr").split()
ELEMENT_SET = frozenset(ELEMENTS)


def elements_in_order(formula):
    """Element symbols of a readable formula, each once, in the order they first appear.
    Symbols are read greedily (two letters before one); placeholders such as REE or Ln and
    anything that is no element are skipped."""
    seen = []
    for m in re.finditer(r"[A-Z][a-z]?", formula):
        sym = m.group(0)
        if sym not in ELEMENT_SET and len(sym) == 2 and sym[0] in ELEMENT_SET:
            # "Ln" or "Me": a placeholder, not nitrogen or lithium.
            continue
        if sym in ELEMENT_SET and sym not in seen:
            seen.append(sym)
    return seen


_NUMBER = r"(\d+(?:\.\d+)?|\.\d+)"


class FormulaError(ValueError):
    pass


def parse_counts(formula):
    """Element counts of a readable formula, for checks: ({frozenset(symbols): count},
    set of ambiguous symbols). Elements sharing a site, written (Mg,Fe)2, count as one key;
    symbols inside a shared site whose members are groups, such as (OH,F)2, are ambiguous and
    not counted. Water after "·" is added. Raises FormulaError for variables (x, n) and
    placeholders (REE, Ln)."""
    text = formula.replace("[", "(").replace("]", ")").replace("{", "(").replace("}", ")")
    text = re.sub(r"(?<=[A-Za-z)])\d*[+-]", "", text)  # charges: Fe2+ -> Fe, Fe3+2 -> Fe2
    text = text.replace("\u25fb", "").replace("\u25a1", "").replace("(box)", "")
    text = text.replace(" ", "")
    parts = text.split("\u00b7")
    total, ambiguous = {}, set()
    for i, part in enumerate(parts):
        factor = 1.0
        if i > 0:
            m = re.match(_NUMBER, part)
            if m:
                factor = float(m.group(1))
                part = part[m.end():]
        counts, amb = _parse_sequence(part)
        ambiguous |= amb
        for k, v in counts.items():
            total[k] = total.get(k, 0.0) + v * factor
    return total, ambiguous


def _split_top(text, sep):
    depth, start, out = 0, 0, []
    for i, ch in enumerate(text):
        if ch == "(":
            depth += 1
        elif ch == ")":
            depth -= 1
        elif ch == sep and depth == 0:
            out.append(text[start:i])
            start = i + 1
    out.append(text[start:])
    return out


def _parse_sequence(text):
    counts, ambiguous = {}, set()
    pos = 0
    while pos < len(text):
        ch = text[pos]
        if ch == "(":
            depth, j = 0, pos
            while j < len(text):
                if text[j] == "(":
                    depth += 1
                elif text[j] == ")":
                    depth -= 1
                    if depth == 0:
                        break
                j += 1
            if j >= len(text):
                raise FormulaError(f"unbalanced parentheses in {text!r}")
            inner = text[pos + 1:j]
            pos = j + 1
            mult, pos = _read_number(text, pos)
            alternatives = _split_top(inner, ",")
            if len(alternatives) > 1:
                symbols = []
                simple = True
                for alt in alternatives:
                    m = re.fullmatch(r"([A-Z][a-z]?)", alt)
                    if m and m.group(1) in ELEMENT_SET:
                        symbols.append(m.group(1))
                    else:
                        simple = False
                if simple:
                    key = frozenset(symbols)
                    counts[key] = counts.get(key, 0.0) + mult
                else:
                    for alt in alternatives:
                        sub, amb = _parse_sequence(alt)
                        ambiguous |= amb
                        for key in sub:
                            ambiguous |= set(key)
                continue
            sub, amb = _parse_sequence(inner)
            ambiguous |= amb
            for k, v in sub.items():
                counts[k] = counts.get(k, 0.0) + v * mult
        elif ch.isupper():
            m = re.match(r"[A-Z][a-z]?", text[pos:])
            sym = m.group(0)
            if sym not in ELEMENT_SET:
                if len(sym) == 2 and sym[0] in ELEMENT_SET:
                    raise FormulaError(f"placeholder {sym} in {text!r}")
                raise FormulaError(f"unknown symbol {sym} in {text!r}")
            pos += len(sym)
            mult, pos = _read_number(text, pos)
            key = frozenset([sym])
            counts[key] = counts.get(key, 0.0) + mult
        else:
            raise FormulaError(f"cannot read {text[pos:]!r}")
    return counts, ambiguous


def _read_number(text, pos):
    m = re.match(_NUMBER, text[pos:])
    if not m:
        if pos < len(text) and text[pos].islower():
            raise FormulaError("variable subscript")
        return 1.0, pos
    return float(m.group(1)), pos + m.end()
