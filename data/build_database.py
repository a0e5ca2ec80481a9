#!/usr/bin/python3
"""Builds Lithora's bundled mineral database from the public raw data in data/raw/.

    /usr/bin/python3 data/build_database.py [--jobs N]

writes data/lithora/{entries,references,optics,patterns}.tsv, updates the card-number registry
data/card_numbers.tsv and the data report docs/data.md, and prints a log of what it did.
Same inputs give the same bytes. Needs the Debian packages python3-pymatgen (with numpy, scipy
and spglib) and python3-yaml; the ordinary build needs neither this script nor them.
"""

import argparse
import os
import sys
import time
from concurrent.futures import ProcessPoolExecutor

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from builder import (candidates, crystallography, encyclopaedia, extra, groups,  # noqa: E402
                     ima, output, powder, references, registry, report, structures, symmetry)
from builder.text import clean_text, sort_key  # noqa: E402

DATA_DATE = "2026-12-06"  # last_updated of every entry: the date of this data build

# The species whose structure is the reference of I/Ic.
IIC_REFERENCE = "Corundum"


def parse_args():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    root = os.path.dirname(HERE)
    p.add_argument("--raw", default=os.path.join(HERE, "raw"))
    p.add_argument("--out", default=os.path.join(HERE, "lithora"))
    p.add_argument("--registry", default=os.path.join(HERE, "card_numbers.tsv"))
    p.add_argument("--report", default=os.path.join(root, "docs", "data.md"))
    p.add_argument("--date", default=DATA_DATE)
    p.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    p.add_argument("--verbose", action="store_true")
    return p.parse_args()


# --- Structures, in worker processes --------------------------------------------------

_TABLE = None


def _worker_table():
    global _TABLE
    if _TABLE is None:
        _TABLE = symmetry.SettingTable()
    return _TABLE


def structure_task(task):
    """Choose a structure for one species and compute its powder pattern; falls back to the
    next candidate when one fails. Returns a plain dict (or None) and a log."""
    index, name, records, formulas, hand = task
    table = _worker_table()
    log = {}
    choices = structures.choose_structure(records, formulas, table, log)
    if hand is not None:
        picked = [c for c in choices if c.analysis.record.id == hand]
        if not picked:
            raise RuntimeError(f"{name}: the structure {hand} chosen by hand is not a candidate")
        if choices[0] is not picked[0]:
            log.setdefault("structure chosen by hand over the best score", []).append(
                f"{name}: {hand} over {choices[0].analysis.record.id}")
        choices = picked + [c for c in choices if c is not picked[0]]
    for choice in choices:
        an = choice.analysis
        try:
            pattern = powder.calculate(an)
        except Exception as e:  # pymatgen raises assorted errors on odd structures
            log.setdefault("powder pattern failed, next candidate taken", []).append(
                f"{an.record.id} {an.record.mineral}: {type(e).__name__}: {e}")
            continue
        rec = an.record
        if pattern.cut:
            log.setdefault("pattern cut to its strongest lines", []).append(
                f"{name}: {pattern.cut} weaker lines dropped")
        return index, {
            "id": rec.id, "number": an.number, "point_group": an.point_group,
            "symbol": an.symbol, "standard": an.standard_symbol, "symbol_note": an.symbol_note,
            "published": rec.hm, "cell": an.cell, "volume": an.volume, "z": choice.z,
            "density": rec.density, "mass": _cell_mass(an.sites), "lines": pattern.card,
            "pattern": pattern.lines, "cut": pattern.cut, "iic_factor": pattern.iic_factor(),
            "rhombohedral": an.rhombohedral_axes, "reasons": choice.reasons,
            "mineral": rec.mineral, "title": rec.title, "publication": rec.publication,
            "origin": rec.origin, "model": rec.model, "cell_change": rec.cell_change,
            "candidates": len(records), "readable": len(choices),
        }, log
    return index, None, log


def _cell_mass(sites):
    from pymatgen.core.periodic_table import Element
    total = 0.0
    for _, sp in sites:
        for el, occ in sp.items():
            total += float(Element(el).atomic_mass) * occ
    return total


# --- Formatting -----------------------------------------------------------------------

def fmt_angle(v):
    return str(int(round(v))) if abs(v - round(v)) < 0.005 else ("%.2f" % v).rstrip("0")


def fmt_cell(a, b, c, al, be, ga, volume):
    return " ".join(["%.3f" % a, "%.3f" % b, "%.3f" % c, fmt_angle(al), fmt_angle(be),
                     fmt_angle(ga), "%.2f" % volume])


def join_notes(notes):
    out = []
    for n in notes:
        n = clean_text(n)
        if n and n not in out:
            out.append(n if n.endswith(".") else n + ".")
    return " ".join(out)


# --- The build ------------------------------------------------------------------------

def main():
    args = parse_args()
    t0 = time.time()
    raw = args.raw
    log = {}

    def merge(extra):
        for k, v in extra.items():
            log.setdefault(k, []).extend(v)

    species, species_log = ima.load_species(
        os.path.join(raw, "rruff_ima_export_2025_with_hey.csv"),
        os.path.join(raw, "rruff_ima_export_2021-12-25.csv"))
    merge(species_log)
    amcsd = structures.load_amcsd(os.path.join(raw, "amcsd_amscif_trim.db"))
    extras, extra_log = extra.load(os.path.join(raw, "extra-structures"))
    merge(extra_log)
    pool_of = candidates.Candidates(species, amcsd, extras)
    merge(pool_of.log)
    table = symmetry.SettingTable()
    psg = crystallography.read_point_space_groups(
        os.path.join(raw, "rruff_point_space_group_2022-08.csv"))
    wiki = encyclopaedia.read_wikipedia(
        os.path.join(raw, "wikipedia_infobox_minerals_2023-01.csv"),
        os.path.join(raw, "wikipedia_infobox_minerals_2016.json"))
    gems = encyclopaedia.read_gems(os.path.join(raw, "gemmology_yaml"))
    print(f"sources read: {len(species)} names, {sum(map(len, amcsd.values()))} named "
          f"structures and {sum(map(len, extras.values()))} of separate files, {len(wiki)} "
          f"infoboxes, {len(gems)} gem files "
          f"({time.time() - t0:.1f} s)", flush=True)

    # Groups: names that would catch unrelated groups are made exact.
    renames = groups.disambiguate([s.group for s in species])
    for s in species:
        s.group = renames.get(s.group, s.group)
    for old, new in sorted(renames.items()):
        log.setdefault("group names made unambiguous", []).append(f"{old} -> {new}")

    # Structures.
    tasks = []
    for i, s in enumerate(species):
        recs = pool_of.records(s)
        if recs:
            tasks.append((i, s.name, recs, [f for f in [s.formula] + s.formula_alternatives if f],
                          candidates.preferred(s)))
    chosen = {}
    with ProcessPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        for index, result, task_log in pool.map(structure_task, tasks, chunksize=8):
            merge(task_log)
            if result:
                chosen[index] = result
            else:
                log.setdefault("no readable structure", []).append(species[index].name)
    print(f"structures: {len(tasks)} species with candidates, {len(chosen)} with a structure "
          f"and powder lines ({time.time() - t0:.1f} s)", flush=True)

    entries, refs_by_name, optics_by_name, patterns_by_name = [], {}, {}, {}
    reference = next((st["iic_factor"] for i, st in chosen.items()
                      if species[i].name == IIC_REFERENCE), None)
    if reference is None:
        log.setdefault("no I/Ic: the reference species has no structure", []).append(
            IIC_REFERENCE)
    for i, s in enumerate(species):
        st = chosen.get(i)
        e, refs, opt = species_entry(s, st, table, psg, wiki, gems, args.date, log)
        entries.append(e)
        refs_by_name[e["name"]] = refs
        if opt:
            optics_by_name[e["name"]] = opt
        if st:
            iic = st["iic_factor"] / reference if reference else None
            patterns_by_name[e["name"]] = (iic, st["cut"], st["pattern"])

    # Group entries.
    species_groups = [e["group"] for e in entries]
    for group, kind, members in groups.choose(species_groups):
        e = group_entry(group, kind, [entries[m] for m in members], wiki, args.date)
        entries.append(e)
        refs_by_name[e["name"]] = []
    names = [e["name"] for e in entries]
    if len(set(names)) != len(names):
        raise SystemExit("two entries have the same name")

    # Order, card numbers.
    entries.sort(key=lambda e: (sort_key(e["name"]), e["name"]))
    reg = registry.read(args.registry)
    cards, new_names = registry.assign(reg, [e["name"] for e in entries])
    for e in entries:
        e["card"] = cards[e["name"]]
    registry.write(args.registry, reg)
    if new_names:
        log.setdefault("card numbers assigned", []).append(f"{len(new_names)} new names")

    ref_rows, opt_rows, pattern_rows = [], [], []
    for e in sorted(entries, key=lambda e: e["card"]):
        for text in refs_by_name.get(e["name"], []):
            ref_rows.append((e["card"], text))
        if e["name"] in optics_by_name:
            opt_rows.append((e["card"], optics_by_name[e["name"]]))
        if e["name"] in patterns_by_name:
            pattern_rows.append((e["card"],) + patterns_by_name[e["name"]])
    output.write_source(args.out, entries, ref_rows, opt_rows, pattern_rows)
    common = report.read_common(os.path.join(raw, report.COMMON_LIST))
    facts = {"extras": extra.read_sources(os.path.join(raw, "extra-structures"))}
    for i, st in chosen.items():
        if species[i].name == IIC_REFERENCE:
            who = references.structure_author_text(st["publication"]) if st["publication"] \
                else "an AMCSD structure"
            facts["iic_reference"] = f"{who}, AMCSD {st['id']}"
    report.write(args.report, entries, ref_rows, opt_rows, pattern_rows, common, facts, log,
                 args.date)
    print(f"written: {len(entries)} entries, {len(ref_rows)} references, {len(opt_rows)} "
          f"optical records, {len(pattern_rows)} patterns of "
          f"{sum(len(p[3]) for p in pattern_rows)} lines ({time.time() - t0:.1f} s)")
    for k in sorted(log):
        v = log[k]
        print(f"  {k}: {len(v)}")
        if args.verbose:
            for x in v:
                print(f"      {x}")


def species_entry(s, st, table, psg, wiki, gems, date, log):
    e = {c: "" for c in output.ENTRY_COLUMNS}
    e["name"] = s.name
    e["formula"] = s.formula
    e["last_updated"] = date
    e["status"] = s.status
    e["group"] = s.group
    e["type_locality"] = s.type_locality
    e["elements"] = " ".join(s.elements)
    notes = list(s.notes)
    refs = references.status_note_references(s.status_notes) if s.status_notes else []
    system_code = crystallography.system_code_from_words(s.crystal_system_words)
    w = wiki.get(ima.key(s.name), {})
    if st:
        number = st["number"]
        e["sg_number"] = str(number)
        e["sg_symbol"] = st["symbol"]
        e["crystal_class"] = symmetry.point_group_text(st["point_group"])
        e["crystal_system"] = symmetry.crystal_system_code(number)
        a, b, c, al, be, ga = st["cell"]
        e["cell"] = fmt_cell(a, b, c, al, be, ga, st["volume"])
        density = st["density"]
        if not density or density <= 0:
            density = st["mass"] * 1.66053907 / st["volume"]
            log.setdefault("density computed from the structure", []).append(s.name)
        e["sg_calc"] = "%.2f" % density
        e["z"] = str(st["z"]) if st["z"] else ""
        e["d_spacings"] = " ".join("%.3f" % d for d, _ in st["lines"])
        e["intensities"] = " ".join(str(i) for _, i in st["lines"])
        pub = st["publication"]
        if st["symbol_note"].startswith("setting"):
            notes.append(f"Cell in the {st['symbol']} setting (standard {st['standard']})")
        elif st["symbol_note"].startswith("published"):
            notes.append(f"Space group published as {clean_text(st['published'])}, cell in "
                         f"that setting; standard symbol {st['standard']}")
        if st["rhombohedral"]:
            notes.append("Cell on rhombohedral axes")
        source = references.structure_author_text(pub) if pub else "an AMCSD structure"
        where = [candidates.filed_note(s, st["mineral"])]
        if st["origin"]:
            where.insert(0, st["origin"])
        where += [st["model"]] + ([f"cell changed to {st['cell_change']}"]
                                  if st["cell_change"] else [])
        where = "; ".join(w for w in where if w)
        extra_text = f" ({where})" if where else ""
        conditions = [r for r in st["reasons"] if r.startswith(("P=", "T="))]
        cond = f", measured at {', '.join(conditions)}" if conditions else ""
        notes.append(f"Powder lines calculated from the structure of {source}{extra_text}{cond}")
        if pub:
            refs.append(references.structure_reference(pub, st["title"]))
    else:
        found = crystallography.space_group_from_exports(
            table, s.space_group_text, psg.get(ima.key(s.name)), system_code)
        if found:
            number, symbol, why = found
            e["sg_number"] = str(number)
            e["sg_symbol"] = symbol
            e["crystal_class"] = symmetry.point_group_text(table.point_group[number])
            e["crystal_system"] = symmetry.crystal_system_code(number)
            if why:
                notes.append(f"Space group {why}")
        else:
            e["crystal_system"] = system_code
        obj = w.get("json")
        cell = crystallography.cell_from_text(obj.get("unit cell") if obj else "",
                                              e["crystal_system"])
        if cell:
            a, b, c, al, be, ga, z = cell
            e["cell"] = fmt_cell(a, b, c, al, be, ga, structures.cell_volume(a, b, c, al, be, ga))
            if z:
                e["z"] = str(z)
            notes.append("Cell from the Wikipedia infobox; no structure in the AMCSD, so no "
                         "powder lines")
    # Encyclopaedic data.
    row, obj = w.get("csv"), w.get("json")
    gem = gems.get(ima.key(s.name))
    e["mohs"] = (encyclopaedia.mohs(row["mohs"]) if row else "") or \
        (encyclopaedia.mohs(obj.get("mohs scale hardness")) if obj else "") or \
        (encyclopaedia.mohs(str(gem.get("hardness", ""))) if gem else "")
    e["sg_meas"] = (encyclopaedia.specific_gravity(row["gravity"]) if row else "") or \
        (encyclopaedia.specific_gravity(obj.get("specific gravity")) if obj else "") or \
        (encyclopaedia.specific_gravity(str(gem.get("sg", ""))) if gem else "")
    e["strunz"] = (encyclopaedia.strunz(row["Strunz class"]) if row else "") or \
        (encyclopaedia.strunz(obj.get("strunz classification")) if obj else "")
    if row:
        e["appearance"] = encyclopaedia.appearance(row["color"], row["luster"], row["habit"],
                                                   row["streak"])
    if not e["appearance"] and obj:
        e["appearance"] = encyclopaedia.appearance(obj.get("color"), obj.get("luster"),
                                                   obj.get("crystal habit"), obj.get("streak"))
    if not e["appearance"] and gem:
        colours = ", ".join(str(c) for c in (gem.get("colors") or [])[:6])
        e["appearance"] = encyclopaedia.appearance(colours, str(gem.get("lustre", "")), "")
    optics = {}
    if obj:
        optics.update(encyclopaedia.optics_from_wikipedia(obj))
    if gem:
        g = encyclopaedia.optics_from_gem(gem)
        infobox_indices = any(x in optics for x in ("n1", "n3"))
        infobox_class = "optical_class" in optics
        for k, v in g.items():
            if k in ("n1", "n3", "n_beta") and infobox_indices:
                continue  # the infobox gives the indices one by one; keep them together
            if k in ("optical_class", "optical_sign") and infobox_class:
                continue
            optics.setdefault(k, v)
    if optics:
        if "luster" not in optics and row and row["luster"]:
            optics["luster"] = encyclopaedia._shorten(clean_text(row["luster"]), 60)
        optics = encyclopaedia.finish_optics(optics)
        substantial = set(optics) - {"luster", "optical_character"}
        if not substantial:
            optics = {}
    e["notes"] = join_notes(notes)
    return e, refs, optics


def group_entry(group, kind, members, wiki, date):
    """The entry that stands for a group in the list and its group menu."""
    e = {c: "" for c in output.ENTRY_COLUMNS}
    e["name"] = groups.entry_name(group, kind)
    e["group"] = group
    e["status"] = "GROUP"
    e["last_updated"] = date
    systems = {m["crystal_system"] for m in members if m["crystal_system"]}
    if len(systems) == 1:
        e["crystal_system"] = systems.pop()
    numbers = {m["sg_number"] for m in members if m["sg_number"]}
    if len(numbers) == 1 and all(m["sg_number"] for m in members):
        e["sg_number"] = numbers.pop()
        symbols = {m["sg_symbol"] for m in members}
        if len(symbols) == 1:
            e["sg_symbol"] = symbols.pop()
        classes = {m["crystal_class"] for m in members}
        if len(classes) == 1:
            e["crystal_class"] = classes.pop()
    w = wiki.get(ima.key(group.replace(" group", "")), {})
    species_named = any(ima.key(m["name"]) == ima.key(group) for m in members)
    row = w.get("csv") if not species_named else None
    if row:
        e["appearance"] = encyclopaedia.appearance(row["color"], row["luster"], row["habit"])
        e["mohs"] = encyclopaedia.mohs(row["mohs"])
    what = "supergroup" if kind == "Supergroup" else "group"
    nested = "" if kind == "Group" else " (its groups are written Supergroup-group)"
    shown = group[:-len(" group")] if group.endswith(" group") else group
    e["notes"] = (f"Entry for the {clean_text(shown)} {what}: {len(members)} entries of the list "
                  f"carry this group name{nested}, after the structural groups of the RRUFF "
                  f"IMA list. Choose the group in the group menu to list them.")
    return e


if __name__ == "__main__":
    main()
