"""The RRUFF exports of the IMA list: species, their names, formulas, status and groups."""

import csv
import re
import unicodedata
from dataclasses import dataclass, field

from .formula import elements_in_order
from .text import (clean_text, fold, fold_letter, match_key, name_letters, plain_markup,
                   sort_key)


@dataclass
class Species:
    name: str                    # as the card stores it (č etc. kept, other letters folded)
    source_name: str             # as the export writes it
    formula: str = ""            # readable
    formula_alternatives: list = field(default_factory=list)  # further formulas for checks
    status: str = "A"
    database_id: str = ""
    group: str = ""
    crystal_system_words: list = field(default_factory=list)
    space_group_text: str = ""
    elements: list = field(default_factory=list)
    type_locality: str = ""
    status_notes: str = ""
    ima_status: str = ""
    notes: list = field(default_factory=list)
    successor: str = ""          # for a name no longer in use: the current species
    former_names: list = field(default_factory=list)
    in_newer_list: bool = True


def read_csv(path):
    with open(path, encoding="utf-8", newline="") as f:
        return list(csv.DictReader(f))


def key(name):
    """Matching key of a name across sources."""
    return match_key(name)


def clean_name(raw, plain):
    """The export's name without markup, with stray bytes of a damaged encoding dropped when
    the plain-letter column shows what the name should be. Returns (name, note or "")."""
    name = plain_markup(raw).strip()
    plain = plain.strip()

    def letters(text):
        return re.sub(r"[^a-z0-9()\-]", "", fold(text).lower())

    def matches(candidate):
        return letters(name_letters(candidate)[0]) == letters(plain)

    if matches(name):
        return name, ""
    # Walk the name against its plain form and drop what has no counterpart there.
    kept, j = [], 0
    for ch in name:
        f = fold_letter(ch)
        if plain[j:j + len(f)].lower() == f.lower():
            kept.append(ch)
            j += len(f)
        elif ch in "'\u2019 ":
            kept.append(ch)
    candidate = "".join(kept)
    if j == len(plain) and matches(candidate):
        return candidate, (f"The IMA list export writes this name with damaged characters "
                           f"({clean_text(name)}); they are left out here.")
    return plain, ""


def storable_name(name):
    """The name as the records can store it, and a note when letters had to be folded."""
    stored, folded = name_letters(name)
    note = ""
    if folded:
        described = ", ".join(sorted({unicodedata.name(ch, ch).lower() for ch in folded}))
        if all(unicodedata.name(ch, "").startswith("GREEK") for ch in folded):
            note = (f"The IMA list spells this name with the {described}, which the records "
                    f"cannot hold; it is written out here as a word.")
        elif all(unicodedata.category(ch).startswith("L") for ch in folded):
            note = (f"The IMA list spells this name with the {described}, which the records "
                    f"cannot hold; it is written here with the plain letter.")
        else:
            note = (f"The IMA list writes this name with the sign {described}, which the "
                    f"records cannot hold; it is written here as in the plain-letter column "
                    f"of the list.")
    return stored, note


def first_group(text):
    """The structural group of an export cell: its first name, or "" for none."""
    g = text.replace("\u00a0", " ").strip().split(", ")[0].strip()
    if g.lower() in ("", "not in a structural group", "amorphous"):
        return ""
    g = clean_text(g)
    return g[0].upper() + g[1:]


def readable_formula(concise):
    text = concise.replace("[box]", "\u25fb")
    text = plain_markup(text)
    text = text.replace("\u25fb", "[]").replace("\u25a1", "[]")
    return clean_text(text)


def load_species(new_path, old_path):
    """Every species of the newer export, then the names of the older export it lacks.
    Returns (list of Species, log dict)."""
    log = {}
    new_rows = read_csv(new_path)
    old_rows = read_csv(old_path)
    old_by_key = {key(r["Mineral Name (plain)"]): r for r in old_rows}
    new_by_id = {}
    species = []
    seen = set()
    last_new_key = max(sort_key(plain_markup(r["Mineral Name"])) for r in new_rows)
    for r in new_rows:
        name, note = clean_name(r["Mineral Name"], r["Mineral Name (plain)"])
        stored, fold_note = storable_name(name)
        s = Species(name=stored, source_name=r["Mineral Name"])
        for n in (note, fold_note):
            if n:
                s.notes.append(n)
                log.setdefault("names repaired or folded", []).append(f"{r['Mineral Name']}")
        s.formula = readable_formula(r["IMA Chemistry (concise)"] or r["IMA Chemistry (plain)"])
        rruff = readable_formula(r["RRUFF Chemistry (concise)"])
        s.formula_alternatives = [f for f in (rruff,) if f and f != s.formula]
        s.database_id = r["Database ID"].strip()
        s.group = first_group(r["Structural Groupname"])
        s.crystal_system_words = [w for w in re.split(r"[|,]\s*", r["Crystal System"].strip())
                                  if w]
        s.space_group_text = r["Space Group"].strip()
        old = old_by_key.get(key(r["Mineral Name (plain)"]))
        _take_old(s, old, log)
        if not s.elements:
            s.elements = elements_in_order(s.formula)
        k = key(s.name)
        if k in seen:
            log.setdefault("duplicate names skipped", []).append(s.name)
            continue
        seen.add(k)
        species.append(s)
        if s.database_id:
            new_by_id[s.database_id] = s
    # Names of the older export that the newer one lacks.
    for r in old_rows:
        k = key(r["Mineral Name (plain)"])
        if k in seen:
            continue
        name, note = clean_name(r["Mineral Name"], r["Mineral Name (plain)"])
        stored, fold_note = storable_name(name)
        s = Species(name=stored, source_name=r["Mineral Name"], in_newer_list=False)
        s.notes += [n for n in (note, fold_note) if n]
        s.formula = readable_formula(r["IMA Chemistry (concise)"] or r["IMA Chemistry (plain)"])
        rruff = readable_formula(r["RRUFF Chemistry (concise)"])
        s.formula_alternatives = [f for f in (rruff,) if f and f != s.formula]
        s.database_id = r["Database ID"].strip()
        s.group = first_group(r["Structural Groupname"])
        s.crystal_system_words = [w for w in re.split(r"[|,]\s*", r["Crystal Systems"].strip())
                                  if w]
        _take_old(s, r, log)
        if not s.elements:
            s.elements = elements_in_order(s.formula)
        successor = new_by_id.get(s.database_id)
        if sort_key(name) > last_new_key:
            # The newer copy ends before this name: the older export is the latest word.
            s.status = "A"
            s.notes.append("Approved in the IMA list of 2021-12-25; the newer list used here "
                           "ends before this name.")
            log.setdefault("kept from the older list (newer copy ends before them)",
                           []).append(s.name)
        elif successor is not None:
            s.status = "R"
            s.successor = successor.name
            successor.former_names.append(s.name)
            s.notes.append(f"Name no longer in use: the species is now {successor.name} "
                           f"(same RRUFF entry in the IMA list of 2025).")
            log.setdefault("renamed", []).append(f"{s.name} -> {successor.name}")
        else:
            s.status = "D"
            s.notes.append("Not in the IMA list of 2025: discredited or renamed; the sources "
                           "name no current species for it.")
            log.setdefault("dropped", []).append(s.name)
        seen.add(k)
        species.append(s)
    return species, log


def _take_old(s, old, log):
    """What the 2021 export adds for a name it has."""
    if old is None:
        return
    country = clean_text(old["Country of Type Locality"])
    if country and country.lower() not in ("unknown", "not given", "?"):
        s.type_locality = country.replace("|", "; ")
    s.status_notes = old["Status Notes"]
    s.ima_status = old["IMA Status"]
    if "Questionable" in s.ima_status:
        s.notes.append("Marked as a questionable species in the IMA list of 2021-12-25.")
    elements = old["Chemistry Elements"].split()
    parsed = elements_in_order(s.formula)
    if elements and (not parsed or set(elements) == set(parsed)):
        s.elements = elements
    elif elements:
        log.setdefault("element list of 2021 differs from the current formula", []).append(
            s.name)
