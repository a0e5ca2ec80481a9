"""Structural groups: the group value of each species and the group entries of the list.

The program's group filter keeps the entries whose group starts with the chosen group's name
(upper case). RRUFF writes a group within a supergroup as "Supergroup-group"
("Alunite-crandallite"), so the filter of "Alunite" gathers the whole supergroup, which is
meant. A name that is a prefix of an unrelated group ("Beryl" of "Beryllonite") is not meant:
such groups are written "Beryl group" instead, for their members and their entry alike.
The program already treats "Alum" as an exact name.
"""

from collections import Counter

MIN_MEMBERS = 15
PROGRAM_EXACT = {"ALUM"}


def disambiguate(species_groups):
    """{old group name: new group name} for names that would catch unrelated groups."""
    names = sorted(set(g for g in species_groups if g))
    renames = {}
    for a in names:
        if a.upper() in PROGRAM_EXACT:
            continue
        for b in names:
            if b != a and b.upper().startswith(a.upper()) and b[len(a)] != "-":
                renames[a] = f"{a} group"
                break
    return renames


def members_of(group, species_groups):
    """Indexes of the species the program's filter would list for a group name."""
    g = group.upper()
    out = []
    for i, s in enumerate(species_groups):
        if not s:
            continue
        u = s.upper()
        if g in PROGRAM_EXACT:
            if u == g:
                out.append(i)
        elif u.startswith(g):
            out.append(i)
    return out


def choose(species_groups, min_members=MIN_MEMBERS):
    """The groups that get an entry: every group name and every supergroup prefix ("Alunite"
    of "Alunite-crandallite") that gathers at least min_members species, leaving out names
    such as "Alunite-Alunite" that repeat their supergroup. Returns [(group, kind, members)]
    sorted by name; kind is "Group" or "Supergroup"."""
    exact = Counter(g for g in species_groups if g)
    candidates = set(exact)
    for g in exact:
        if "-" in g:
            candidates.add(g.split("-")[0])
    chosen = []
    for g in sorted(candidates):
        parts = g.split("-")
        if len(parts) == 2 and parts[0].lower() == parts[1].lower():
            continue
        members = members_of(g, species_groups)
        if len(members) < min_members:
            continue
        kind = "Group" if exact.get(g) else "Supergroup"
        chosen.append((g, kind, members))
    return chosen


def entry_name(group, kind):
    base = group[:-len(" group")] if group.endswith(" group") else group
    return f"{base} {kind}"
