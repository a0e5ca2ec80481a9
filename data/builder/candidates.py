"""Which structures may stand for a species, and the few choices made by hand."""

import re

from . import ima
from .formula import FormulaError, parse_counts
from .structures import composition_distance

# AMCSD names that differ from the IMA names.
AMCSD_ALIASES = {"sulphur": ["sulfur"], "baryte": ["barite"], "sylvite": ["sylvine"]}

# Structures chosen by hand where the score leaves little between the candidates of a species
# of the common-minerals list: species -> (structure id, why). Checked against the articles;
# where the builder's own choice is right the entry keeps it from turning on a small change
# of the score.
HAND_CHOICES = {
    "Corundum": (9325, "the reference of every I/Ic: an ambient single-crystal refinement "
                       "(Lewis et al. 1982), within 0.03 of a Rietveld size-strain study"),
}

# A structure filed under a name the IMA list no longer uses, whose species now carry a
# suffix (Tetrahedrite -> Tetrahedrite-(Fe), -(Zn), ...), goes to the species whose formula
# its composition fits: among the species whose suffix element it holds, the nearest by
# composition_distance, when that is at most ROOT_FIT and ROOT_MARGIN nearer than the next.
ROOT_FIT = 0.3
ROOT_MARGIN = 0.05


def polytype_index(amcsd):
    """AMCSD names with a polytype suffix ("Wurtzite-2H", "Lizardite 1T") by their base."""
    out = {}
    for name, recs in sorted(amcsd.items()):
        m = re.fullmatch(r"(.+?)-?(\d+[a-z][a-z0-9]*)", name)
        if m:
            out.setdefault(m.group(1), []).extend(recs)
    return out


def _suffix_elements(formula, suffix):
    """The element a species' suffix names ("fe" of Tetrahedrite-(Fe)), if it is one."""
    sym = suffix[:1].upper() + suffix[1:]
    try:
        counts, _ = parse_counts(formula)
    except FormulaError:
        return None
    present = {el for key in counts for el in key}
    return sym if sym in present else None


def root_assignments(species, amcsd):
    """{species key: [records]} of the structures filed under an old root name, and the log
    of where each went."""
    names = {ima.key(s.name) for s in species}
    names |= {ima.key(f) for s in species for f in s.former_names}
    siblings = {}
    for s in species:
        m = re.fullmatch(r"(.+)-\(([a-z]+)\)", ima.key(s.name))
        if m and s.formula:
            siblings.setdefault(m.group(1), []).append((m.group(2), s))
    out, log = {}, {}
    for root, members in sorted(siblings.items()):
        if root in names or root not in amcsd:
            continue
        for rec in amcsd[root]:
            held = set(re.findall(r"[A-Z][a-z]?", rec.formula))
            fits = []
            for suffix, s in members:
                el = _suffix_elements(s.formula, suffix)
                d = composition_distance(rec.formula, s.formula)
                if el and el in held and d is not None:
                    fits.append((d, s.name, s))
            fits.sort(key=lambda t: t[:2])
            if not fits or fits[0][0] > ROOT_FIT or (
                    len(fits) > 1 and fits[1][0] - fits[0][0] < ROOT_MARGIN):
                continue
            s = fits[0][2]
            out.setdefault(ima.key(s.name), []).append(rec)
            log.setdefault("structures filed under an old root name", []).append(
                f"{rec.id} {rec.mineral} -> {s.name} (composition distance {fits[0][0]:.3f})")
    return out, log


class Candidates:
    """The structures that may stand for a species: those filed under its name and its
    polytypes' names, and the species' structures of separate files; when there are none,
    those filed under a spelling of the AMCSD, a former name, the current name (for a former
    name), a polytype name, or an old root name whose structure fits the species best."""

    def __init__(self, species, amcsd, extras):
        self.amcsd = amcsd
        self.extras = extras
        self.polytypes = polytype_index(amcsd)
        self.by_root, self.log = root_assignments(species, amcsd)

    def records(self, s):
        k = ima.key(s.name)
        own = self.amcsd.get(k, []) + self.extras.get(k, [])
        if own:
            return own + self.polytypes.get(k, [])
        for alias in AMCSD_ALIASES.get(k, []):
            if self.amcsd.get(alias):
                return self.amcsd[alias]
        for former in s.former_names:
            if self.amcsd.get(ima.key(former)):
                return self.amcsd[ima.key(former)]
        if s.successor and self.amcsd.get(ima.key(s.successor)):
            return self.amcsd[ima.key(s.successor)]
        return self.polytypes.get(k, []) or self.by_root.get(k, [])


def filed_note(s, filed_name):
    """Where the structure used was filed, when that is not under the species' own name."""
    if not filed_name or ima.key(filed_name) == ima.key(s.name):
        return ""
    if any(ima.key(filed_name) == ima.key(f) for f in s.former_names):
        return f"filed in the AMCSD under the former name {filed_name}"
    if ima.key(s.name).startswith(ima.key(filed_name) + "-("):
        return (f"filed in the AMCSD under the older name {filed_name}, its composition "
                f"fitting this species")
    return f"filed in the AMCSD as {filed_name}"


def preferred(s):
    """The structure id chosen by hand for a species, or None."""
    choice = HAND_CHOICES.get(s.name)
    return choice[0] if choice else None
