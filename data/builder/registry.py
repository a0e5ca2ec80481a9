"""The card-number registry: name -> card number, assigned once and kept."""

import os

HEADER = "card\tname"


def read(path):
    """{name: card} from the registry file (empty when it does not exist yet)."""
    out = {}
    if not os.path.exists(path):
        return out
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    if not lines or lines[0] != HEADER:
        raise ValueError(f"{path}: first line must be {HEADER!r}")
    used = set()
    for n, line in enumerate(lines[1:], start=2):
        if not line:
            continue
        card, _, name = line.partition("\t")
        card = int(card)
        if name in out or card in used:
            raise ValueError(f"{path}:{n}: {name!r} or card {card} appears twice")
        out[name] = card
        used.add(card)
    return out


def assign(registry, names, maximum=10000):
    """Cards for names: the registered number when there is one, else a new number above
    every number the registry has ever held, in the order names are given. Returns
    ({name: card}, list of newly registered names)."""
    cards = {}
    new = []
    top = max(registry.values(), default=0)
    for name in names:
        if name in registry:
            cards[name] = registry[name]
        else:
            top += 1
            if top > maximum:
                raise ValueError(f"card numbers exhausted at {name!r}")
            registry[name] = top
            cards[name] = top
            new.append(name)
    return cards, new


def write(path, registry):
    """The registry in card order; names that left the database keep their numbers, so that
    no number is ever given to another name."""
    lines = [HEADER] + [f"{card}\t{name}" for name, card in
                        sorted(registry.items(), key=lambda t: t[1])]
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
